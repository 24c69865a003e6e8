#include "app/TFrmlogin.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>

#include "app/LoginValues.h"
#include "app/Pictures.h"
#include "app/ServerTrust.h"
#include "data/Tdm.h"
#include "reports/ReportControls.h"
#include "transport/SocketConnection.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Glyphs.h"
#include "widgets/MessageService.h"
#include "widgets/PictureBox.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

QLabel* label(QWidget* parent, const char* name, int left, int top, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->move(left, top);
    l->adjustSize();
    return l;
}

}  // namespace

TFrmlogin::TFrmlogin(SocketConnection& connection, ServerTrust& trust, Tdm& module, QWidget* parent)
    : DialogForm(parent), connection_(connection), trust_(trust), dm_(module) {
    setObjectName(QStringLiteral("Frmlogin"));
    setCaption(QStringLiteral("系统登录"));
    setClientSize(432, 345);
    setBackground(colorFromBgr(16766935));
    setFont(songFont(12));

    Label10 = label(this, "Label10", 168, 16, "系统登录");
    Label10->setFont(songFont(19));
    Label10->adjustSize();
    buildExplanation();
    buildInputRows();
    buildButtons();

    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, ComboBox1);
    setTabOrder(ComboBox1, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    BitBtn1->setFocus();
}

void TFrmlogin::buildExplanation() {
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(16, 56, 401, 113);
    label(this, "Label5", 32, 64, "关于IP地址的输入：");
    label(this, "Label4", 32, 80, "1，如果是在本机上运行，则输入127.0.0.1");
    label(this, "Label6", 32, 96, "2，如果是在局域网上运行，则输入局域网上服务器的IP地址。");
    label(this, "Label7", 32, 112, "3，如果是在因特网上运行，下面输入服务器在因特网上的地址。");
    label(this, "Label8", 32, 128, "4，关于服务器在因特网上的IP地址每次联网是变动的（除非固定IP）。");
    label(this, "Label9", 48, 144, "有可行性解决方案。");
}

void TFrmlogin::buildInputRows() {
    Image1 = new PictureBox(loginIcon(LoginPicture::Server), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->move(40, 176);
    Image3 = new PictureBox(loginIcon(LoginPicture::User), this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->move(41, 211);
    Image2 = new PictureBox(loginIcon(LoginPicture::Password), this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->move(40, 248);

    Label3 = label(this, "Label3", 89, 184, "请输入服务器IP地址：");
    Edit2 = new QLineEdit(QStringLiteral("127.0.0.1"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(216, 184, 129, 21);
    Label3->setBuddy(Edit2);

    Button1 = new QPushButton(QStringLiteral("确定"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(352, 184, 33, 21);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, guardedSlot([this] { Button1Click(); }));
    Label11 = label(this, "Label11", 389, 186, "");
    Label11->hide();

    Label1 = label(this, "Label1", 89, 224, "请选择用户名：");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setGeometry(216, 224, 129, 20);
    // Rows of the drop-down list as high as a line of the Song typeface needs.
    ComboBox1->setItemDelegate(new QStyledItemDelegate(ComboBox1));
    ComboBox1->setEnabled(false);
    setControlColor(ComboBox1, clInfoBk());
    Label1->setBuddy(ComboBox1);

    Label2 = label(this, "Label2", 89, 264, "请输入密码：");
    Edit1 = new QLineEdit(QStringLiteral("vantu"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(216, 264, 129, 21);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->setEnabled(false);
    setControlColor(Edit1, clInfoBk());
    Label2->setBuddy(Edit1);
}

void TFrmlogin::buildButtons() {
    BitBtn1 = new BitBtn(QStringLiteral("OK"), checkGlyph(), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(104, 296, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));

    BitBtn2 = new BitBtn(BitBtn::Kind::Cancel, this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(248, 296, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, guardedSlot([this] { BitBtn2Click(); }));
}

void TFrmlogin::Button1Click() {
    std::optional<ServerAddress> target = parseServerAddress(toStdString(Edit2->text()));
    bool opened = false;
    QString reason;
    if (target) {
        connection_.setAddress(target->address);
        if (target->port) connection_.setPort(*target->port);
        try {
            if (!openTrusted(connection_, trust_)) {
                // The user declined the server's certificate, or was warned about it.
                endProgram();
                return;
            }
            opened = true;
        } catch (const std::exception& e) {
            reason = QString::fromUtf8(e.what());
        }
    }
    if (!opened) {
        // The message names every likely reason; the lower layer's own text goes below it.
        MessageService::showMessage(
            QStringLiteral(
                "你输入的IP地址不正确或者远程服务器未正确安装或者服务器端velmora-server程序未运行"),
            reason);
        endProgram();
        return;
    }
    showEncryptionMark(Label11, connection_);

    MessageService::showMessage(QStringLiteral("请选择用户名"));
    setControlColor(ComboBox1, clWindow());
    setControlColor(Edit1, clWindow());
    ComboBox1->setEnabled(true);
    Edit1->setEnabled(true);

    // Pressed again, the button reads the list anew rather than adding the names a second time.
    fillUserNames(ComboBox1, dm_.ClientDataSethz, false);
}

void TFrmlogin::BitBtn1Click() {
    FormClose();
}

void TFrmlogin::BitBtn2Click() {
    endProgram();
}

void TFrmlogin::reject() {
    // Esc presses the Cancel button.
    BitBtn2Click();
}

void TFrmlogin::closeEvent(QCloseEvent* event) {
    // The close box logs in as OK does.
    event->ignore();
    guarded([this] { FormClose(); });
}

void TFrmlogin::FormClose() {
    if (ComboBox1->currentText().trimmed().isEmpty()) {
        endProgram();
        return;
    }
    done(mrOk);
}

void TFrmlogin::endProgram() {
    TerminateApplication();
    done(mrCancel);
}

}  // namespace velmora
