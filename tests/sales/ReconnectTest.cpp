// A lost connection while an order is being entered: the server stops and starts again on the
// same database and port, the client reconnects without asking for the password, and the order
// is saved afterwards with all its lines, once. Quitting instead names the unsaved order, lets
// the user keep working, or keeps the order as a draft that the next login offers back.
#include <QAction>
#include <QFile>
#include <QToolButton>
#include <algorithm>

#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "sales/OrderDraft.h"
#include "sales/TFrmkp.h"
#include "tests/sales/SalesSession.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

using namespace velmora;
using velmora::test::SalesSession;

class ReconnectTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;

    const std::vector<MessageRequest>& boxes() const { return s->shell->messages.boxes(); }
    QString addressText() const { return QString::fromStdString(s->server->address()); }

    // 增加, the number, customer and salesman typed, two items picked with quantity and price.
    void enterOrderWithTwoLines(TFrmkp& f, const QString& number) {
        SalesSession::click(f.n_insert);
        test::typeText(f.DBEdit1, number);
        QTest::keyClick(f.DBEdit1, Qt::Key_Return);
        test::typeText(f.DBEdit3, "K002");
        QTest::keyClick(f.DBEdit3, Qt::Key_Return);
        test::typeText(f.DBEdit5, "Y03");
        QTest::keyClick(f.DBEdit5, Qt::Key_Return);
        s->addLines({0, 2});
        QTRY_COMPARE(f.DBGrid1->model()->rowCount(), 2);
        SalesSession::typeCell(f.DBGrid1, 0, 4, "3");
        SalesSession::typeCell(f.DBGrid1, 0, 5, "2.5");
        SalesSession::typeCell(f.DBGrid1, 1, 4, "4");
        SalesSession::typeCell(f.DBGrid1, 1, 5, "1.25");
    }

    // The order of enterOrderWithTwoLines, stored once with both its lines.
    void verifyStoredOnce(const std::string& number) {
        QCOMPARE(s->scalar("select count(*) || '|' || khid || '|' || ywyid from xsdtb where xsdid = '" +
                           number + "' group by khid, ywyid"),
                 std::string("1|K002|Y03"));
        QCOMPARE(s->query("select cast(round(quantity1 * 100) as integer) || '|' || "
                          "cast(round(money1 * 100) as integer) from xsdzb where xsdid = '" +
                          number + "' order by quantity1"),
                 (std::vector<std::string>{"300|750", "400|500"}));
    }

    // The order's stored lines as "item|quantity×100|amount×100", by item.
    std::vector<std::string> storedLines(const std::string& number) const {
        return s->query(
            "select chid || '|' || cast(round(quantity1 * 100) as integer) || '|' || "
            "cast(round(money1 * 100) as integer) from xsdzb where xsdid = '" +
            number + "' order by chid");
    }
    static int gridRow(TFrmkp& f, const std::string& item) {
        for (int row = 0; row < f.DBGrid1->model()->rowCount(); ++row)
            if (f.DBGrid1->model()->index(row, 0).data().toString().toStdString() == item) return row;
        return -1;
    }

    // The program starts anew (and the server with it, when restartServer) and logs in as
    // 管理员; the offered draft is answered 是.
    void startAgainAndRestore(bool restartServer) {
        s->shell.reset();
        if (restartServer) s->server->restart();
        s->shell = std::make_unique<test::ShellSession>();
        s->shell->messages.answerNext(MessageButton::Yes);
        const QString at = addressText();
        s->shell->showAndLogin(
            [&](TFrmlogin& login) { test::ShellSession::connectAndChoose(login, at, "管理员", "vantu"); });
        QCOMPARE(s->shell->ending.count(), 0);
        QVERIFY(!boxes().empty());
    }

    QString draftFile() const { return orderDraftPath(addressText(), QStringLiteral("管理员")); }

    void verifyLostBox(size_t index) {
        QVERIFY(boxes().size() > index);
        const MessageRequest& box = boxes()[index];
        QCOMPARE(box.text, QString("与服务器的连接已断开。"));
        QCOMPARE(box.buttons, MessageButtons::ReconnectOk);
        QCOMPARE(box.icon, MessageIcon::Error);
        QVERIFY2(!box.details.isEmpty(), "the socket's own text is not shown below");
    }

  private slots:
    void init() { s = std::make_unique<SalesSession>(); }
    void cleanup() { s.reset(); }

    void orderHalfEnteredSurvivesARestartedServerAndIsSavedOnce() {
        TFrmkp& f = s->openInvoicing();
        enterOrderWithTwoLines(f, "XS800001");
        // The password went into the login's check; nothing of the client keeps it.
        QVERIFY(!QString::fromStdString(dm->ClientDataSethz.CommandText()).contains("vantu"));

        // The server stops while the order is on screen: the client hears of it while idle. A
        // reconnect at once cannot reach the server; the user leaves it for now.
        s->shell->messages.answerNext(MessageButton::Reconnect);
        s->shell->messages.answerNext(MessageButton::Cancel);
        s->server->stop();
        QTRY_COMPARE(boxes().size(), size_t(2));
        verifyLostBox(0);
        QCOMPARE(boxes()[1].text, "无法连接服务器 " + addressText() + "。");
        QCOMPARE(boxes()[1].buttons, MessageButtons::RetryQuitCancel);
        QVERIFY(!boxes()[1].details.isEmpty());
        QCOMPARE(s->shell->ending.count(), 0);

        // Started again on the same database and port. 保存 meets the closed connection and
        // offers to reconnect; the login is resumed without the password.
        s->server->restart();
        s->shell->messages.answerNext(MessageButton::Reconnect);
        SalesSession::click(f.n_save);
        QCOMPARE(boxes().size(), size_t(3));
        verifyLostBox(2);
        QVERIFY(MainForm->SocketConnection1.connected());
        QVERIFY(s->server->log().find("resumed the session as 管理员") != std::string::npos);
        QCOMPARE(s->scalar("select count(*) from xsdtb where xsdid = 'XS800001'"), std::string("0"));
        QCOMPARE(f.DBGrid1->model()->rowCount(), 2);

        // The order as entered is saved now, once, with both lines.
        SalesSession::click(f.n_save);
        QCOMPARE(boxes().size(), size_t(3));
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        verifyStoredOnce("XS800001");

        // 刷新 fetches the orders on the new connection as well.
        SalesSession::click(f.n_refresh);
        QCOMPARE(boxes().size(), size_t(3));
        QVERIFY(SalesSession::gotoOrder("XS800001"));
    }

    void refusedResumeIsToldAndTheUserMayQuit() {
        TFrmkp& f = s->openInvoicing();
        enterOrderWithTwoLines(f, "XS800002");
        s->server->stop();
        QTRY_COMPARE(boxes().size(), size_t(1));  // answered 确定: no reconnect for now
        verifyLostBox(0);
        // An administrator resets the password meanwhile, which ends every resumable login.
        QCOMPARE(s->server->runCommand({"user", "passwd", "管理员"}, "另一个口令\n"), 0);
        s->server->restart();

        s->shell->messages.answerNext(MessageButton::Reconnect);
        s->shell->messages.answerNext(MessageButton::Quit);
        s->shell->messages.answerNext(MessageButton::Quit);  // 不保存退出
        SalesSession::click(f.n_save);
        QCOMPARE(boxes().size(), size_t(4));
        QCOMPARE(boxes()[2].text, QString("无法以用户 管理员 恢复登录。"));
        QCOMPARE(boxes()[2].caption, QString("Velmora系统"));
        QVERIFY2(boxes()[2].details.contains("凭据无效"), qPrintable(boxes()[2].details));
        QCOMPARE(boxes()[3].buttons, MessageButtons::DraftQuitCancel);
        QCOMPARE(s->shell->ending.count(), 1);
        QVERIFY(!MainForm->SocketConnection1.connected());
        QVERIFY(s->server->log().find("resume as 管理员 refused") != std::string::npos);
    }

    void quittingWithAnUnsavedOrderKeepsItAsADraftTheNextLoginOffersBack() {
        TFrmkp& f = s->openInvoicing();
        enterOrderWithTwoLines(f, "XS800003");
        s->server->stop();
        QTRY_COMPARE(boxes().size(), size_t(1));  // answered 确定: no reconnect for now

        // 重新连接 fails, the user chooses 退出: told what would be lost, the user keeps working.
        s->shell->messages.answerNext(MessageButton::Reconnect);
        s->shell->messages.answerNext(MessageButton::Quit);
        s->shell->messages.answerNext(MessageButton::Cancel);
        SalesSession::click(f.n_save);
        QCOMPARE(boxes().size(), size_t(4));
        QCOMPARE(boxes()[2].caption, QString("Velmora系统"));
        const MessageRequest& unsaved = boxes()[3];
        QVERIFY2(unsaved.text.contains("销售开票"), qPrintable(unsaved.text));
        QCOMPARE(unsaved.caption, QString("Velmora系统"));
        QCOMPARE(unsaved.buttons, MessageButtons::DraftQuitCancel);
        QCOMPARE(s->shell->ending.count(), 0);
        QVERIFY(f.editingOrder());
        QCOMPARE(f.DBGrid1->model()->rowCount(), 2);

        // Once more, and the order is kept as a draft before the program ends.
        s->shell->messages.answerNext(MessageButton::Reconnect);
        s->shell->messages.answerNext(MessageButton::Quit);
        s->shell->messages.answerNext(MessageButton::SaveDraft);
        SalesSession::click(f.n_save);
        QCOMPARE(s->shell->ending.count(), 1);
        QVERIFY(QFile::exists(draftFile()));
        std::optional<OrderDraft> kept = loadOrderDraft(draftFile());
        QVERIFY(kept && !kept->changedOrder);
        QCOMPARE(kept->number, QString("XS800003"));
        QCOMPARE(kept->customer, QString("K002"));
        QCOMPARE(int(kept->lines.size()), 2);

        // The next start on the same server: the login offers the draft, 是 types it back into
        // 销售开票, and 保存 sends it through the server like any order.
        startAgainAndRestore(true);
        QVERIFY2(boxes().back().text.contains("XS800003"), qPrintable(boxes().back().text));
        QVERIFY(Frmkp && Frmkp->editingOrder());
        QCOMPARE(Frmkp->DBEdit1->text(), QString("XS800003"));
        QCOMPARE(Frmkp->DBGrid1->model()->rowCount(), 2);
        QVERIFY(!QFile::exists(draftFile()));
        QCOMPARE(s->scalar("select count(*) from xsdtb where xsdid = 'XS800003'"), std::string("0"));
        SalesSession::click(Frmkp->n_save);
        verifyStoredOnce("XS800003");
    }

    void aChangedOrderKeptAsADraftIsRestoredIntoTheStoredOrder() {
        TFrmkp& f = s->openInvoicing();
        enterOrderWithTwoLines(f, "XS800004");
        s->addLines({3});
        QTRY_COMPARE(f.DBGrid1->model()->rowCount(), 3);
        const int third = f.DBGrid1->currentIndex().row();
        SalesSession::typeCell(f.DBGrid1, third, 4, "6");
        SalesSession::typeCell(f.DBGrid1, third, 5, "1");
        SalesSession::click(f.n_save);
        QCOMPARE(storedLines("XS800004").size(), size_t(3));

        // 修改: another customer; one line's quantity and price; the line the server hands out
        // last removed (the restore walks the lines in that order); an item added; one line left as
        // stored. Then 退出 keeps it all as a draft.
        const std::vector<std::string> items =
            s->query("select chid from xsdzb where xsdid = 'XS800004' order by lineid");
        QCOMPARE(items.size(), size_t(3));
        const std::string &changed = items[0], &kept = items[1], &removed = items[2];
        SalesSession::click(f.n_edit);
        const std::string keptAsStored = s->scalar(
            "select chid || '|' || cast(round(quantity1 * 100) as integer) || '|' || "
            "cast(round(money1 * 100) as integer) from xsdzb where xsdid = 'XS800004' and chid = '" +
            kept + "'");
        f.DBEdit3->selectAll();
        test::typeText(f.DBEdit3, "K003");
        QTest::keyClick(f.DBEdit3, Qt::Key_Return);
        const QString customerName = f.DBEdit4->text();
        QVERIFY(!customerName.isEmpty());
        SalesSession::typeCell(f.DBGrid1, gridRow(f, changed), 4, "7");
        SalesSession::typeCell(f.DBGrid1, gridRow(f, changed), 5, "3");
        f.DBGrid1->setCurrentIndex(f.DBGrid1->model()->index(gridRow(f, removed), 0));
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_deleteone);
        QCOMPARE(f.DBGrid1->model()->rowCount(), 2);
        s->addLines({4});
        QTRY_COMPARE(f.DBGrid1->model()->rowCount(), 3);
        const int added = f.DBGrid1->currentIndex().row();
        const std::string addedItem = f.DBGrid1->model()->index(added, 0).data().toString().toStdString();
        SalesSession::typeCell(f.DBGrid1, added, 4, "2");
        SalesSession::typeCell(f.DBGrid1, added, 5, "10");
        s->shell->messages.answerNext(MessageButton::SaveDraft);
        MainForm->FileOpenItem->trigger();
        QCOMPARE(s->shell->ending.count(), 1);
        std::optional<OrderDraft> draft = loadOrderDraft(draftFile());
        QVERIFY(draft && draft->changedOrder);
        QCOMPARE(int(draft->lines.size()), 3);
        const std::vector<std::string> storedBefore = storedLines("XS800004");

        // The next start: 是 opens the stored order for 修改 with the draft's changes in it.
        startAgainAndRestore(false);
        QVERIFY2(boxes().back().text.contains("XS800004"), qPrintable(boxes().back().text));
        QVERIFY(Frmkp && Frmkp->editingOrder());
        QVERIFY2(!IsInserting, "the stored order is changed, not entered anew");
        QVERIFY(!QFile::exists(draftFile()));
        QCOMPARE(Frmkp->DBEdit1->text(), QString("XS800004"));
        QCOMPARE(Frmkp->DBEdit3->text(), QString("K003"));
        QCOMPARE(Frmkp->DBEdit4->text(), customerName);
        QCOMPARE(Frmkp->DBGrid1->model()->rowCount(), 3);
        QCOMPARE(storedLines("XS800004"), storedBefore);  // nothing reaches the server before 保存

        // 保存 stores the changes into the one order: no second order, no line lost or twice.
        SalesSession::click(Frmkp->n_save);
        QVERIFY(!Frmkp->editingOrder());
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        QCOMPARE(QString::fromStdString(
                     s->scalar("select count(*) || '|' || khid || '|' || khname || '|' || ywyid from xsdtb "
                               "where xsdid like 'XS800004%' group by khid, khname, ywyid")),
                 "1|K003|" + customerName + "|Y03");
        QVERIFY(removed != addedItem);
        std::vector<std::string> expected{changed + "|700|2100", keptAsStored, addedItem + "|200|2000"};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(storedLines("XS800004"), expected);
    }

    void leavingByTheMenuAsksOnlyWhenSomethingIsUnsaved() {
        TFrmkp& f = s->openInvoicing();
        MainForm->FileOpenItem->trigger();
        QCOMPARE(s->shell->ending.count(), 1);  // nothing typed: at once, without a question
        QVERIFY(boxes().empty());

        resetApplicationTerminated();
        SalesSession::click(f.n_insert);
        s->shell->messages.answerNext(MessageButton::Cancel);
        MainForm->FileOpenItem->trigger();
        QCOMPARE(boxes().size(), size_t(1));
        QCOMPARE(boxes()[0].buttons, MessageButtons::DraftQuitCancel);
        QCOMPARE(s->shell->ending.count(), 1);
        QVERIFY(f.editingOrder());
    }
};

VELMORA_GUI_TEST_MAIN(ReconnectTest)
#include "ReconnectTest.moc"
