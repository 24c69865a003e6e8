#include "admin/TFrmuseredit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "widgets/Colors.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"

namespace velmora {

namespace {

const char* const kRoles[] = {"admin", "approver", "operator"};

const char* const kRightBoxes[] = {"审核与弃审", "可维护基础资料", "可删除单据",
                                   "可管理用户", "可查看报表",     "可查看操作日志"};

QLineEdit* passwordBox(QWidget* parent, const char* name, int top) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(120, top, 180, 21);
    box->setEchoMode(QLineEdit::Password);
    return box;
}

QLabel* labelFor(QWidget* box, const QString& text, int top) {
    auto* label = new QLabel(text, box->parentWidget());
    label->move(30, top + 3);
    label->setBuddy(box);
    return label;
}

}  // namespace

TFrmuseredit::TFrmuseredit(QWidget* parent) : DialogForm(parent) {
    setObjectName(QStringLiteral("Frmuseredit"));
    setClientSize(360, 330);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(120, 20, 180, 21);
    Edit1->setMaxLength(50);
    Label1 = labelFor(Edit1, QStringLiteral("用户名："), 20);
    Label1->setObjectName(QStringLiteral("Label1"));

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(120, 52, 180, 22);
    for (const char* role : kRoles)
        ComboBox1->addItem(UserRights::roleCaption(QLatin1String(role)), QLatin1String(role));
    Label2 = labelFor(ComboBox1, QStringLiteral("角色："), 52);
    Label2->setObjectName(QStringLiteral("Label2"));
    connect(ComboBox1, &QComboBox::activated, this, [this] { RoleChanged(); });

    GroupBox1 = new QGroupBox(QStringLiteral("权限"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(30, 86, 300, 116);
    auto* ticks = new QGridLayout(GroupBox1);
    for (size_t i = 0; i < CheckBoxes.size(); ++i) {
        CheckBoxes[i] = new QCheckBox(QString::fromUtf8(kRightBoxes[i]), GroupBox1);
        CheckBoxes[i]->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
        ticks->addWidget(CheckBoxes[i], static_cast<int>(i / 2), static_cast<int>(i % 2));
    }

    Edit2 = passwordBox(this, "Edit2", 214);
    Label3 = labelFor(Edit2, QStringLiteral("口令："), 214);
    Label3->setObjectName(QStringLiteral("Label3"));
    Edit3 = passwordBox(this, "Edit3", 246);
    Label4 = labelFor(Edit3, QStringLiteral("确认口令："), 246);
    Label4->setObjectName(QStringLiteral("Label4"));

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 84, 286, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 200, 286, mrCancel);
    BitBtn2->setAutoDefault(false);
}

int TFrmuseredit::Ask(Mode mode, const UserEntry& user) {
    mode_ = mode;
    const bool adding = mode == Mode::Add;
    setCaption(adding                 ? QStringLiteral("增加用户")
               : mode == Mode::Change ? QStringLiteral("修改用户")
                                      : QStringLiteral("重设口令"));
    Edit1->setText(adding ? QString() : user.name);
    Edit1->setReadOnly(!adding);
    const UserRights shown = adding ? UserRights::presetOf(QStringLiteral("operator")) : user.rights;
    ComboBox1->setCurrentIndex(std::max(0, ComboBox1->findData(shown.role())));
    showRights(shown);
    for (QWidget* w : std::initializer_list<QWidget*>{Label2, ComboBox1, GroupBox1})
        w->setVisible(mode != Mode::Password);
    for (QWidget* w : std::initializer_list<QWidget*>{Label3, Edit2, Label4, Edit3})
        w->setVisible(mode != Mode::Change);
    // The rows shown close up, and the buttons follow them.
    const int passwords = mode == Mode::Password ? 52 : 214;
    Edit2->move(Edit2->x(), passwords);
    Label3->move(Label3->x(), passwords + 3);
    Edit3->move(Edit3->x(), passwords + 32);
    Label4->move(Label4->x(), passwords + 35);
    const int buttons = mode == Mode::Change ? 218 : passwords + 72;
    BitBtn1->move(BitBtn1->x(), buttons);
    BitBtn2->move(BitBtn2->x(), buttons);
    setClientSize(360, buttons + 44);
    Edit2->clear();
    Edit3->clear();
    return ShowModal();
}

void TFrmuseredit::FormShow() {
    if (mode_ == Mode::Add)
        Edit1->setFocus();
    else if (mode_ == Mode::Change)
        ComboBox1->setFocus();
    else
        Edit2->setFocus();
}

void TFrmuseredit::RoleChanged() {
    showRights(UserRights::presetOf(ComboBox1->currentData().toString()));
}

void TFrmuseredit::showRights(const UserRights& rights) {
    for (size_t i = 0; i < CheckBoxes.size(); ++i)
        CheckBoxes[i]->setChecked(rights.has(UserRights::kEvery[i]));
}

QString TFrmuseredit::userName() const {
    return Edit1->text().trimmed();
}

UserRights TFrmuseredit::rights() const {
    UserRights r = UserRights::presetOf(ComboBox1->currentData().toString());
    for (size_t i = 0; i < CheckBoxes.size(); ++i)
        r = r.with(UserRights::kEvery[i], CheckBoxes[i]->isChecked());
    return r;
}

QString TFrmuseredit::password() const {
    return Edit2->text();
}

QString TFrmuseredit::fault() const {
    if (userName().isEmpty()) return QStringLiteral("用户名不能为空");
    if (mode_ == Mode::Change) return {};
    if (Edit2->text().isEmpty()) return QStringLiteral("口令不能为空");
    if (Edit2->text() != Edit3->text()) return QStringLiteral("两次口令输入不一致");
    return {};
}

void TFrmuseredit::BitBtn1Click() {
    const QString problem = fault();
    if (problem.isEmpty()) return done(mrOk);
    // The dialog stays, with what was typed, for the user to mend.
    MessageService::messageBox(problem, windowTitle(), MB_OK | MB_ICONWARNING);
    (Edit1->text().trimmed().isEmpty() ? Edit1 : Edit2)->setFocus();
}

}  // namespace velmora
