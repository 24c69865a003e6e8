// 审核 and 弃审 in the invoicing window against the real velmora-server: which user is offered
// which button for which order, approving and withdrawing with the database and the footer
// following at once, and the server's refusals shown as it gives them.
#include <QToolButton>

#include "data/Tdm.h"
#include "sales/TFrmkp.h"
#include "tests/sales/SalesSession.h"
#include "widgets/DBEdit.h"

using namespace velmora;
using velmora::test::SalesSession;

namespace {

const QString kApprover = QStringLiteral("王会计");

// Which of 审核 and 弃审 are offered, as "审核", "弃审", "审核 弃审" or "".
QString offered(const TFrmkp& f) {
    QStringList on;
    if (f.n_approve->isEnabled()) on << QStringLiteral("审核");
    if (f.n_withdraw->isEnabled()) on << QStringLiteral("弃审");
    return on.join(QLatin1Char(' '));
}

std::string current() {
    return dm->ClientDataSetxsdtb.FieldByName("xsdid").AsString();
}

}  // namespace

class ApprovalTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;

    QStringList texts() const { return s->shell->messages.texts(); }
    // An order not approved, made by someone other than user, respectively by user.
    std::string othersOrder(const QString& user) const {
        return s->scalar("select min(xsdid) from xsdtb where not ischeck and username <> '" +
                         user.toStdString() + "'");
    }
    std::string ownOrder(const QString& user) const {
        return s->scalar("select min(xsdid) from xsdtb where not ischeck and username = '" +
                         user.toStdString() + "'");
    }
    std::string approval(const std::string& number) const {
        return s->scalar(
            "select case when ischeck then '1' else '0' end || '|' || coalesce(shrname, '') from xsdtb where "
            "xsdid = '" +
            number + "'");
    }

  private slots:
    void cleanup() { s.reset(); }

    void theApproverIsOfferedWhatTheOrderShownAllows() {
        s = std::make_unique<SalesSession>(kApprover, "1234");
        TFrmkp& f = s->openInvoicing();
        QVERIFY(SalesSession::gotoOrder(othersOrder(kApprover)));
        QCOMPARE(offered(f), QString("审核"));
        QVERIFY(f.n_delete->isEnabled());
        QVERIFY(SalesSession::gotoOrder("XS000004"));  // approved
        QCOMPARE(offered(f), QString("弃审"));
        // Moving with the navigator's own buttons follows as well.
        dm->ClientDataSetxsdtb.Prior();
        QCOMPARE(offered(f), QString("审核"));
        // Neither while an order is entered, and back after it is dropped.
        SalesSession::click(f.n_insert);
        QCOMPARE(offered(f), QString());
        SalesSession::click(f.n_cancel);
        QCOMPARE(offered(f), QString("审核"));
        QVERIFY(SalesSession::gotoOrder(othersOrder(kApprover)));
        SalesSession::click(f.n_edit);
        QCOMPARE(offered(f), QString());
        SalesSession::click(f.n_save);
        QCOMPARE(offered(f), QString("审核"));
        QCOMPARE(texts(), QStringList());
    }

    void theOperatorIsOfferedNeitherAndTheAdministratorBoth() {
        s = std::make_unique<SalesSession>("李出纳", "5678");
        TFrmkp& f = s->openInvoicing();
        for (const char* number : {"XS000001", "XS000004"}) {
            QVERIFY(SalesSession::gotoOrder(number));
            QCOMPARE(offered(f), QString());
            QVERIFY(f.n_delete->isEnabled());
        }
        s.reset();  // one client at a time
        s = std::make_unique<SalesSession>();
        TFrmkp& g = s->openInvoicing();
        QVERIFY(SalesSession::gotoOrder("XS000004"));
        QCOMPARE(offered(g), QString("弃审"));
        QVERIFY(SalesSession::gotoOrder(othersOrder("管理员")));
        QCOMPARE(offered(g), QString("审核"));
    }

    void withoutDeleteOrdersTheDeleteButtonStaysOffInEveryState() {
        s = std::make_unique<SalesSession>("李出纳", "5678",
                                           "update user1 set rights='view_reports' where username='李出纳'");
        TFrmkp& f = s->openInvoicing();
        QVERIFY(!f.n_delete->isEnabled() && f.n_edit->isEnabled());
        SalesSession::click(f.n_insert);
        QVERIFY(!f.n_delete->isEnabled());
        SalesSession::click(f.n_cancel);
        QVERIFY(!f.n_delete->isEnabled() && f.n_insert->isEnabled());
    }

    void approvingAndWithdrawingShowTheApproverAtOnceWithoutLosingThePlace() {
        s = std::make_unique<SalesSession>(kApprover, "1234");
        TFrmkp& f = s->openInvoicing();
        const std::string number = othersOrder(kApprover);
        QVERIFY(SalesSession::gotoOrder(number));
        const int place = dm->ClientDataSetxsdtb.RecNo();

        s->shell->messages.answerNext(MessageButton::No);
        SalesSession::click(f.n_approve);
        QCOMPARE(texts(), QStringList({"确认审核此单据吗？"}));
        QCOMPARE(s->shell->messages.boxes().back().caption, QString("Velmora系统"));
        QCOMPARE(s->shell->messages.boxes().back().buttons, MessageButtons::YesNo);
        QCOMPARE(approval(number), std::string("0|"));

        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_approve);
        QCOMPARE(approval(number), "1|" + kApprover.toStdString());
        QCOMPARE(f.DBEdit8->text(), kApprover);
        QCOMPARE(offered(f), QString("弃审"));
        QCOMPARE(current(), number);
        QCOMPARE(dm->ClientDataSetxsdtb.RecNo(), place);
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        // Locked at once, as the server locks it.
        SalesSession::click(f.n_edit);
        QCOMPARE(texts().last(), QString("此单据已审核，不能编辑"));

        s->shell->messages.clear();
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_withdraw);
        QCOMPARE(texts(), QStringList({"确认弃审此单据吗？"}));
        QCOMPARE(approval(number), std::string("0|"));
        QCOMPARE(f.DBEdit8->text(), QString());
        QCOMPARE(offered(f), QString("审核"));
        QCOMPARE(current(), number);
        QCOMPARE(dm->ClientDataSetxsdtb.ChangeCount(), 0);
        // Unlocked again: a change goes through and is stored.
        SalesSession::click(f.n_edit);
        SalesSession::click(f.n_save);
        QCOMPARE(texts(), QStringList({"确认弃审此单据吗？"}));
    }

    void anApproverOwnOrderIsRefusedWithTheServersReason() {
        s = std::make_unique<SalesSession>(kApprover, "1234");
        TFrmkp& f = s->openInvoicing();
        const std::string number = ownOrder(kApprover);
        QVERIFY(!number.empty());
        QVERIFY(SalesSession::gotoOrder(number));
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_approve);
        QCOMPARE(texts(), QStringList({"确认审核此单据吗？", "不能审核自己制作的单据"}));
        QCOMPARE(s->shell->messages.boxes().back().icon, MessageIcon::Warning);
        QCOMPARE(approval(number), std::string("0|"));
        QCOMPARE(f.DBEdit8->text(), QString());
        QCOMPARE(offered(f), QString("审核"));
    }

    void anApproverWhoLostTheRaceIsToldAndShownTheWinner() {
        s = std::make_unique<SalesSession>(kApprover, "1234");
        TFrmkp& f = s->openInvoicing();
        const std::string number = othersOrder(kApprover);
        QVERIFY(SalesSession::gotoOrder(number));
        QCOMPARE(offered(f), QString("审核"));
        s->executeElsewhere("update xsdtb set ischeck = true, shrname = '管理员' where xsdid = '" + number +
                            "'");
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f.n_approve);
        QCOMPARE(texts(), QStringList({"确认审核此单据吗？", "此单据已审核"}));
        QCOMPARE(approval(number), std::string("1|管理员"));
        QCOMPARE(f.DBEdit8->text(), QString("管理员"));
        QCOMPARE(offered(f), QString("弃审"));
        QCOMPARE(current(), number);
    }
};

VELMORA_GUI_TEST_MAIN(ApprovalTest)
#include "ApprovalTest.moc"
