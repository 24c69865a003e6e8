#include "app/TFrmchangepassword.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

TFrmchangepassword::TFrmchangepassword(Tdm& module, QWidget* parent) : DialogForm(parent), dm_(module) {
    setObjectName(QStringLiteral("Frmchangepassword"));
    setCaption(QStringLiteral("更改口令"));
    setClientSize(370, 212);
    setBackground(clBtnFace());
    setFont(songFont(12));

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(176, 32, 121, 21);
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->installEventFilter(this);
    Label2 = new QLabel(QStringLiteral("请输入口令："), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(48, 32);
    Label2->setBuddy(Edit1);

    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(176, 96, 121, 21);
    Edit2->setEchoMode(QLineEdit::Password);
    Label1 = new QLabel(QStringLiteral("请确认："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(48, 96);
    Label1->setBuddy(Edit2);

    BitBtn1 = addStandardButton(BitBtn::Kind::Ok, "BitBtn1", 64, 152, mrNone);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        guarded([this] { BitBtn1Click(); });
        // The dialog ends with OK whatever the handler met, as the OK button's result says.
        done(mrOk);
    });
    BitBtn2 = addStandardButton(BitBtn::Kind::Cancel, "BitBtn2", 216, 152, mrCancel);
    BitBtn2->setAutoDefault(false);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

void TFrmchangepassword::FormShow() {
    Edit1->clear();
    Edit2->clear();
    Edit1->setFocus();
}

bool TFrmchangepassword::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the first box moves on to the confirmation instead of pressing OK.
    if (watched == Edit1 && event->type() == QEvent::KeyPress &&
        isEnterKey(*static_cast<QKeyEvent*>(event))) {
        Edit2->setFocus();
        return true;
    }
    return DialogForm::eventFilter(watched, event);
}

void TFrmchangepassword::BitBtn1Click() {
    if (Edit1->text() != Edit2->text()) {
        MessageService::showMessage(QStringLiteral("两次口令输入不一致"));
        return;
    }
    // Only the logged-in user's row changes; the typed text is quoted safely.
    QString user = MainForm ? MainForm->Session.CurrentUserName : QString();
    ClientDataSet& hz = dm_.ClientDataSethz;
    hz.Close();
    hz.setCommandText("");
    hz.setCommandText(toStdString(
        QStringLiteral("update  user1  set  password1 ='") + sqlEscaped(Edit1->text()) + QStringLiteral("'") +
        QStringLiteral(" where username='") + sqlEscaped(user) + QStringLiteral("'")));
    // The statement holds the new password: it goes once, and nothing of the client keeps it.
    struct ForgetStatement {
        ClientDataSet& ds;
        ~ForgetStatement() { ds.setCommandText(""); }
    } forget{hz};
    hz.Execute();
    Edit1->clear();
    Edit2->clear();
}

}  // namespace velmora
