#include "tests/masterdata/MasterDataSession.h"

#include <QTreeWidget>

#include "app/TFrmlogin.h"
#include "tests/support/TestLogin.h"
#include "widgets/MdiChildForm.h"

namespace velmora::test {

MasterDataSession::MasterDataSession() {
    entry.createAll();
    delete Frmlogin;  // no login dialog: the tests connect and log in directly
    Frmlogin = nullptr;
    MainForm->SocketConnection1.setAddress("127.0.0.1");
    MainForm->SocketConnection1.setPort(server.port());
    MainForm->SocketConnection1.open();
    loginAs(MainForm->SocketConnection1);
    MainForm->Session.CurrentUserName = QStringLiteral("管理员");
    MainForm->show();
    if (!QTest::qWaitForWindowExposed(MainForm)) qWarning("the main window was not exposed");
}

MasterDataSession::~MasterDataSession() {
    entry.destroyAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void MasterDataSession::close(MdiChildForm* form) {
    form->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QStringList MasterDataSession::takeTexts() {
    QStringList texts = messages.texts();
    messages.clear();
    return texts;
}

MessageRequest MasterDataSession::lastBox() const {
    return messages.boxes().empty() ? MessageRequest{} : messages.boxes().back();
}

int MasterDataSession::count(const std::string& sql) const {
    return std::stoi(server.scalar(sql));
}

void MasterDataSession::executeElsewhere(const std::string& sql) const {
    server.execute(sql);
}

void press(QToolButton* button) {
    QVERIFY2(button->isEnabled(), qPrintable(button->objectName() + QStringLiteral(" is disabled")));
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickNode(QTreeWidget* tree, QTreeWidgetItem* node) {
    QVERIFY(node);
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

QTreeWidgetItem* findNode(QTreeWidget* tree, const QString& prefix) {
    QTreeWidgetItemIterator it(tree);
    for (; *it; ++it)
        if ((*it)->text(0).startsWith(prefix)) return *it;
    return nullptr;
}

QStringList childTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; node && i < node->childCount(); ++i) texts << node->child(i)->text(0);
    return texts;
}

}  // namespace velmora::test
