#include "tests/gui/ShellSession.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/TAboutBox.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/BitBtn.h"

namespace velmora::test {

ShellSession::ShellSession() {
    TAboutBox::BusyDelayPasses = 10;
    entry.createAll();
}

ShellSession::~ShellSession() {
    entry.destroyAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ShellSession::showAndLogin(const std::function<void(TFrmlogin&)>& fill) {
    whenModal([fill](QWidget* dialog) {
        QCOMPARE(dialog, static_cast<QWidget*>(Frmlogin));
        fill(*Frmlogin);
    });
    MainForm->show();
    QTRY_VERIFY_WITH_TIMEOUT(ApplicationTerminated() || !Frmlogin, 20000);
}

void ShellSession::showWithoutLogin() {
    delete Frmlogin;
    Frmlogin = nullptr;
    MainForm->show();
    QVERIFY(QTest::qWaitForWindowExposed(MainForm));
}

void ShellSession::connectAndChoose(TFrmlogin& login, const QString& address, const QString& user,
                                    const QString& password) {
    login.Edit2->setText(address);
    QTest::mouseClick(login.Button1, Qt::LeftButton);
    login.ComboBox1->setEditText(user);
    login.Edit1->setText(password);
    QTest::mouseClick(login.BitBtn1, Qt::LeftButton);
}

}  // namespace velmora::test
