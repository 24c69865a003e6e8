// 系统管理 → 操作日志 against the real velmora-server: the query's criteria select exactly the rows
// the database holds, newest first, in the windows' words; export writes them; a result cut off
// by the server's cap says so; a user without the right is refused by the server, visibly.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "admin/TFrmauditquery.h"
#include "admin/TFrmauditresult.h"
#include "app/TMainForm.h"
#include "data/Tdm.h"
#include "tests/sales/SalesSession.h"
#include "transport/DispatchAppServer.h"
#include "widgets/BitBtn.h"
#include "widgets/FileDialogService.h"

using namespace velmora;
using velmora::test::SalesSession;
using velmora::test::whenModal;

namespace {

void choose(QComboBox* box, const char* caption) {
    const int index = box->findText(QString::fromUtf8(caption));
    QVERIFY2(index >= 0, caption);
    box->setCurrentIndex(index);
}

// Everything back to the dialog's first state, then fill.
TFrmauditresult* runQuery(const std::function<void(TFrmauditquery&)>& fill) {
    whenModal([fill](QWidget* dialog) {
        auto* q = qobject_cast<TFrmauditquery*>(dialog);
        QVERIFY(q);
        q->ComboBox1->setEditText(QString());
        q->ComboBox2->setCurrentIndex(0);
        q->ComboBox3->setCurrentIndex(0);
        q->Edit1->clear();
        fill(*q);
        q->BitBtn1->click();
    });
    MainForm->N18->trigger();
    QCoreApplication::processEvents();
    return Frmauditresult;
}

// One column of the result's rows, top to bottom.
QStringList column(TFrmauditresult* result, const char* field) {
    QStringList out;
    ClientDataSet& rows = result->rows();
    const int f = rows.FieldByName(field).Index();
    for (int r = 0; r < rows.RecordCount(); ++r) out << QString::fromStdString(rows.textAt(r, f));
    return out;
}

QStringList strings(const std::vector<std::string>& values) {
    QStringList out;
    for (const std::string& v : values) out << QString::fromStdString(v);
    return out;
}

}  // namespace

class AuditLogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;
    QTemporaryDir dir;

    QString oldTel;  // K002's before makeHistory

    QStringList texts() const { return s->shell->messages.texts(); }
    QStringList dbColumn(const std::string& expression, const std::string& where) const {
        return strings(s->query("select " + expression + " from audit_log " + where + " order by seq desc"));
    }

    // Some history: customers changed, a user added and changed, as the windows would.
    void makeHistory() {
        oldTel = QString::fromStdString(s->scalar("select tel from kh where khid = 'K002'"));
        ClientDataSet& kh = dm->ClientDataSetkh;
        kh.Close();
        kh.setCommandText("select * from kh");
        kh.Open();
        for (const char* code : {"K001", "K002"}) {
            for (kh.First(); kh.FieldByName("khid").AsString() != code; kh.Next()) {
            }
            kh.Edit();
            kh.FieldByName("tel").setAsString(std::string("tel-") + code);
            kh.Post();
        }
        QCOMPARE(kh.ApplyUpdates(0), 0);
        std::shared_ptr<DispatchAppServer> server = MainForm->SocketConnection1.getServer();
        server->CreateUser("赵会计", "operator", "", "s3cret");
        server->ChangeUser("赵会计", "approver", "approve");
    }

  private slots:
    void initTestCase() {
        FileDialogService::setHandler(
            [this](const SaveFileRequest&) { return dir.filePath(QStringLiteral("audit.csv")); });
    }
    void cleanupTestCase() { FileDialogService::setHandler({}); }
    void cleanup() { s.reset(); }

    void theCriteriaSelectWhatTheDatabaseHoldsNewestFirst() {
        s = std::make_unique<SalesSession>();
        makeHistory();

        // The last seven days by default: every row, the newest first.
        TFrmauditresult* r = runQuery([](TFrmauditquery& q) {
            QCOMPARE(q.dp2->date(), QDate::currentDate());
            QCOMPARE(q.dp1->date(), QDate::currentDate().addDays(-6));
            QVERIFY(q.ComboBox1->findText(QStringLiteral("李出纳")) > 0);
        });
        QVERIFY(r);
        QCOMPARE(column(r, "action").size(), std::stoi(s->scalar("select count(*) from audit_log")));
        QCOMPARE(column(r, "recordkey").first(), QStringLiteral("赵会计"));
        QCOMPARE(column(r, "action").first(), QStringLiteral("修改用户"));
        QCOMPARE(column(r, "object").first(), QStringLiteral("用户"));
        QCOMPARE(column(r, "content").first(), QStringLiteral("角色：审核员；权限：审核"));
        QVERIFY(column(r, "action").contains(QStringLiteral("登录")));
        QVERIFY(r->Label5->text().startsWith(QStringLiteral("共 %1 条").arg(column(r, "action").size())));

        // User, action, table and key together.
        r = runQuery([](TFrmauditquery& q) {
            q.ComboBox1->setEditText(QStringLiteral("管理员"));
            choose(q.ComboBox2, "修改");
            choose(q.ComboBox3, "客户档案");
            q.Edit1->setText(QStringLiteral("002"));
        });
        QCOMPARE(column(r, "recordkey"),
                 dbColumn("recordkey",
                          "where username = '管理员' and action = 'modify' and tablename = 'kh' "
                          "and recordkey like '%002%'"));
        QCOMPARE(column(r, "recordkey"), QStringList({"K002"}));
        QCOMPARE(column(r, "content"), QStringList({"联系电话：" + oldTel + " → tel-K002"}));
        // Each criterion alone.
        r = runQuery([](TFrmauditquery& q) { choose(q.ComboBox3, "客户档案"); });
        QCOMPARE(column(r, "recordkey"), dbColumn("recordkey", "where tablename = 'kh'"));
        r = runQuery([](TFrmauditquery& q) { choose(q.ComboBox2, "增加用户"); });
        QCOMPARE(column(r, "recordkey"), QStringList({"赵会计"}));
        r = runQuery([](TFrmauditquery& q) { q.ComboBox1->setEditText(QStringLiteral("李出纳")); });
        QCOMPARE(column(r, "action"), QStringList());
        // Days before any row.
        r = runQuery([](TFrmauditquery& q) {
            q.dp1->setDate(QDate(2001, 1, 1));
            q.dp2->setDate(QDate(2001, 1, 7));
        });
        QCOMPARE(r->rows().RecordCount(), 0);
        QCOMPARE(texts(), QStringList());
    }

    void exportWritesTheRowsShownWithoutATotalsRow() {
        s = std::make_unique<SalesSession>();
        makeHistory();
        TFrmauditresult* r = runQuery([](TFrmauditquery& q) { choose(q.ComboBox3, "客户档案"); });
        QCOMPARE(r->rows().RecordCount(), 2);
        QTest::mouseClick(r->n_export, Qt::LeftButton);
        QFile file(dir.filePath(QStringLiteral("audit.csv")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines =
            QString::fromUtf8(file.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("时间,用户,操作,对象,关键字,内容,地址,计算机"));
        for (int i : {1, 2}) {
            QVERIFY2(lines[i].contains(QStringLiteral(",管理员,修改,客户档案,K00")), qPrintable(lines[i]));
            QVERIFY2(lines[i].contains(QStringLiteral(",127.0.0.1:")), qPrintable(lines[i]));
            QVERIFY2(lines[i].contains(QStringLiteral("联系电话：")), qPrintable(lines[i]));
        }
        QVERIFY(lines[1].contains(QStringLiteral("K002")));  // newest first
    }

    void aResultCutOffByTheServersCapSaysSo() {
        s = std::make_unique<SalesSession>();
        // One row more than the server returns for a query, long ago.
        s->executeElsewhere(
            "insert into audit_log (seq, at, username, action, hash) with recursive n(i) as "
            "(select "
            "1000000 union all select i + 1 from n where i < 1100000) select i, '2001-01-02T00:00:00.000Z', "
            "'旧用户', 'login', '' from n");
        TFrmauditresult* r = runQuery([](TFrmauditquery& q) {
            q.dp1->setDate(QDate(2001, 1, 1));
            q.dp2->setDate(QDate(2001, 1, 3));
        });
        QCOMPARE(r->rows().RecordCount(), 100000);
        QVERIFY2(r->Label5->text().contains(QStringLiteral("最多列出最新的 100000 条")),
                 qPrintable(r->Label5->text()));
        QVERIFY(r->reportTable().criteria.back().find("100000") != std::string::npos);
        // Fewer rows: no such words.
        r = runQuery([](TFrmauditquery& q) {
            q.dp1->setDate(QDate::currentDate());
            q.dp2->setDate(QDate::currentDate());
        });
        QVERIFY(r->rows().RecordCount() > 0);
        QVERIFY(!r->Label5->text().contains(QStringLiteral("最多")));
    }

    void aUserWithoutTheRightIsRefusedByTheServerVisibly() {
        s = std::make_unique<SalesSession>(QStringLiteral("李出纳"), "5678");
        QVERIFY(!MainForm->N18->isEnabled());
        // As a client that offered it anyway would.
        Frmauditquery->BitBtn1Click();
        QCOMPARE(texts().size(), 1);
        QVERIFY2(texts()[0].startsWith(QStringLiteral("没有权限：查看操作日志")), qPrintable(texts()[0]));
        QVERIFY(!Frmauditresult);
    }
};

VELMORA_GUI_TEST_MAIN(AuditLogTest)
#include "AuditLogTest.moc"
