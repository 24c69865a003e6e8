// 历史 against the real velmora-server: a change made in a window shows in the record's history
// with its old and new value in the windows' words, an order's history holds its approval and
// its lines' changes, the button is offered only where it can serve, and the server's refusal is
// shown.
#include <QDateTime>
#include <QLabel>
#include <QTableWidget>
#include <QToolButton>

#include "app/TMainForm.h"
#include "audit/TFrmhistory.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "sales/TFrmkp.h"
#include "tests/masterdata/MasterDataSession.h"
#include "tests/sales/SalesSession.h"
#include "widgets/BitBtn.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"

using namespace velmora;
using velmora::test::SalesSession;
using velmora::test::whenModal;

namespace {

struct Seen {
    QString title;
    QStringList rows;  // "time|user|action|content", content lines joined by " / "
};

// Presses button, reads the history window it opens and closes it.
Seen historyOf(QAbstractButton* button) {
    Seen seen;
    whenModal([&seen](QWidget* dialog) {
        auto* h = qobject_cast<TFrmhistory*>(dialog);
        QVERIFY(h);
        seen.title = h->windowTitle();
        for (int r = 0; r < h->HistoryGrid->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < 4; ++c) cells << h->HistoryGrid->item(r, c)->text();
            seen.rows << cells.join(QLatin1Char('|')).replace(QLatin1Char('\n'), QStringLiteral(" / "));
        }
        h->BitBtn1->click();
    });
    SalesSession::click(button);
    return seen;
}

bool gotoRow(ClientDataSet& rows, const char* field, const std::string& value) {
    for (rows.First(); !rows.Eof(); rows.Next())
        if (rows.FieldByName(field).AsString() == value) return true;
    return false;
}

template <typename T>
T& open(T*& reference) {
    T* form = MainForm->ShowOrCreateForm(reference, MainForm);
    QCoreApplication::processEvents();
    return *form;
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;

    QStringList texts() const { return s->shell->messages.texts(); }
    // The local time of the newest audit row of a record, as the window must show it.
    QString newestTime(const std::string& table, const std::string& key) const {
        const std::string at = s->scalar("select at from audit_log where tablename = '" + table +
                                         "' and recordkey = '" + key + "' order by seq desc limit 1");
        return QDateTime::fromString(QString::fromStdString(at), Qt::ISODateWithMs)
            .toLocalTime()
            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    }

  private slots:
    void cleanup() { s.reset(); }

    void aCustomerChangedInItsWindowShowsOldAndNewInItsHistory() {
        s = std::make_unique<SalesSession>();
        TFrmkh& w = open(Frmkh);
        QVERIFY(gotoRow(dm->ClientDataSetkh, "khid", "K002"));
        const QString name = QString::fromStdString(s->scalar("select khname from kh where khid = 'K002'"));
        const QString tel = QString::fromStdString(s->scalar("select tel from kh where khid = 'K002'"));
        QVERIFY(!tel.isEmpty());
        SalesSession::click(w.Panel1->n_edit);
        QVERIFY(!w.Panel1->n_history->isEnabled());  // not while a change is pending
        w.DBEdits[2]->selectAll();
        test::typeText(w.DBEdits[2], QStringLiteral("0571-99"));
        SalesSession::click(w.Panel1->n_save);
        QCOMPARE(texts(), QStringList());

        Seen seen = historyOf(w.Panel1->n_history);
        QCOMPARE(seen.title, QStringLiteral("历史 - 客户档案 K002 ") + name);
        QCOMPARE(seen.rows.size(), 1);
        QCOMPARE(seen.rows[0], newestTime("kh", "K002") + QStringLiteral("|管理员|修改|联系电话：") + tel +
                                   QStringLiteral(" → 0571-99"));

        // A record added shows what it was given, newest first above what came before.
        SalesSession::click(w.Panel1->n_insert);
        test::typeText(w.DBEdits[0], QStringLiteral("K901"));
        test::typeText(w.DBEdits[1], QStringLiteral("新客户"));
        SalesSession::click(w.Panel1->n_save);
        QVERIFY(gotoRow(dm->ClientDataSetkh, "khid", "K901"));
        seen = historyOf(w.Panel1->n_history);
        QCOMPARE(seen.rows.size(), 1);
        QVERIFY2(seen.rows[0].endsWith(
                     QStringLiteral("|新增|客户编号：K901 / 客户名称：新客户 / 联系电话：空 / 联系地址：空 / "
                                    "帐号：空 / 税号：空")),
                 qPrintable(seen.rows[0]));
    }

    void anOrdersHistoryHoldsItsApprovalAndItsLinesChanges() {
        // The administrator changes a line of another's order, approves it and reads its history.
        s = std::make_unique<SalesSession>();
        const std::string number = s->scalar(
            "select min(xsdid) from xsdtb where not ischeck and username = '李出纳' and xsdid in "
            "(select xsdid from xsdzb)");
        TFrmkp* f = &s->openInvoicing();
        QVERIFY(SalesSession::gotoOrder(number));
        const std::string firstLine = dm->ClientDataSetxsdzb.FieldByName("lineid").AsString();
        const QString item = QString::fromStdString(dm->ClientDataSetxsdzb.FieldByName("chname").AsString());
        const QString quantity =
            QString::fromStdString(s->scalar("select quantity1 from xsdzb where lineid = " + firstLine))
                .remove(QRegularExpression("\\.0+$"));
        SalesSession::click(f->n_edit);
        QVERIFY(!f->n_history->isEnabled());
        SalesSession::typeCell(f->DBGrid1, 0, 4, "777");
        SalesSession::click(f->n_save);
        QCOMPARE(texts(), QStringList());
        QVERIFY(f->n_history->isEnabled());
        s->shell->messages.answerNext(MessageButton::Yes);
        SalesSession::click(f->n_approve);
        QCOMPARE(texts(), QStringList({"确认审核此单据吗？"}));

        Seen seen = historyOf(f->n_history);
        QCOMPARE(seen.title, QStringLiteral("历史 - 销售发票 ") + QString::fromStdString(number));
        QVERIFY2(seen.rows.size() >= 2, qPrintable(seen.rows.join('\n')));
        QVERIFY2(seen.rows[0].endsWith(QStringLiteral("|管理员|审核|审核：否 → 是 / 审核人：空 → 管理员")),
                 qPrintable(seen.rows[0]));
        // The line says which it is: first in the grid, with its item.
        QVERIFY2(seen.rows[1].contains(QStringLiteral("|管理员|修改|第1行（") + item +
                                       QStringLiteral("）： / 数量：") + quantity + QStringLiteral(" → 777")),
                 qPrintable(seen.rows[1]));
    }

    void historyIsOfferedInBrowseStateForARecordShownAndTheRightOnly() {
        s = std::make_unique<SalesSession>();
        TFrmchfl& categories = open(Frmchfl);
        // The root is no category; a category selected has a history.
        QVERIFY(!categories.Panel1->n_history->isEnabled());
        categories.TreeView1->setCurrentItem(categories.RootNode()->child(0));
        QVERIFY(categories.Panel1->n_history->isEnabled());
        Seen seen = historyOf(categories.Panel1->n_history);
        QVERIFY2(seen.title.startsWith(QStringLiteral("历史 - 存货分类档案 ") +
                                       QString::fromStdString(s->scalar("select min(chflid) from chfl"))),
                 qPrintable(seen.title));
        QCOMPARE(seen.rows, QStringList());
        categories.Close();

        TFrmywy& salesmen = open(Frmywy);
        QVERIFY(salesmen.Panel1->n_history->isEnabled());
        SalesSession::click(salesmen.Panel1->n_insert);
        QVERIFY(!salesmen.Panel1->n_history->isEnabled());
        SalesSession::click(salesmen.Panel1->n_cancel);
        QVERIFY(salesmen.Panel1->n_history->isEnabled());
        salesmen.Close();

        TFrmch& items = open(Frmch);
        QVERIFY(!items.Panel1->n_history->isEnabled());  // no category clicked: no item shown
        test::clickNode(items.TreeView1, test::findNode(items.TreeView1, QStringLiteral("(01-001)")));
        QVERIFY(!dm->ClientDataSetch.IsEmpty());
        QVERIFY(items.Panel1->n_history->isEnabled());
        items.Close();
        s.reset();

        // A user without the right is offered it nowhere.
        s = std::make_unique<SalesSession>(QStringLiteral("李出纳"), "5678");
        QVERIFY(!MainForm->N18->isEnabled());
        TFrmkp& f = s->openInvoicing();
        QVERIFY(!dm->ClientDataSetxsdtb.IsEmpty());
        QVERIFY(!f.n_history->isEnabled());
        QVERIFY(!open(Frmkh).Panel1->n_history->isEnabled());
        QVERIFY(!open(Frmywy).Panel1->n_history->isEnabled());
        TFrmchfl& c = open(Frmchfl);
        c.TreeView1->setCurrentItem(c.RootNode()->child(0));
        QVERIFY(!c.Panel1->n_history->isEnabled());
    }

    void theServersRefusalIsShownAndNoWindowOpens() {
        s = std::make_unique<SalesSession>(QStringLiteral("李出纳"), "5678");
        TFrmkh& w = open(Frmkh);
        w.n_historyClick();  // as an older client would, which offers the button to everyone
        QCOMPARE(texts().size(), 1);
        QVERIFY2(texts()[0].startsWith(QStringLiteral("没有权限：查看操作日志")), qPrintable(texts()[0]));
        QCOMPARE(s->shell->messages.boxes().back().icon, MessageIcon::Warning);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(s->scalar("select count(*) from audit_log where action = 'refused' and username = '李出纳'"),
                 std::string("1"));
    }
};

VELMORA_GUI_TEST_MAIN(HistoryWindowTest)
#include "HistoryWindowTest.moc"
