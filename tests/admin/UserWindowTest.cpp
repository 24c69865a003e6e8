// The user management window against the real velmora-server: what the administrator sees and is
// offered, each step through its dialog down to the user store, the server's refusals as it gives
// them, and the window kept from users who may not manage users.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QToolButton>

#include "admin/TFrmuseredit.h"
#include "admin/TFrmusers.h"
#include "app/TMainForm.h"
#include "tests/sales/SalesSession.h"
#include "widgets/BitBtn.h"

using namespace velmora;
using velmora::test::SalesSession;
using velmora::test::whenModal;

namespace {

TFrmusers& openUsers() {
    MainForm->N17->trigger();
    QCoreApplication::processEvents();
    return *Frmusers;
}

// The grid's rows as "name|role|rights|state".
QStringList rows(const TFrmusers& f) {
    QStringList out;
    for (int r = 0; r < f.UserGrid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c) cells << f.UserGrid->item(r, c)->text();
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

// Fills the dialog once it is up, then presses OK (or Cancel).
void answerDialog(std::function<void(TFrmuseredit&)> fill, bool ok = true) {
    whenModal([fill, ok](QWidget* dialog) {
        auto* d = qobject_cast<TFrmuseredit*>(dialog);
        QVERIFY(d);
        fill(*d);
        (ok ? d->BitBtn1 : d->BitBtn2)->click();
    });
}

void tick(TFrmuseredit& d, UserRight right, bool on) {
    for (size_t i = 0; i < d.CheckBoxes.size(); ++i)
        if (UserRights::kEvery[i] == right) d.CheckBoxes[i]->setChecked(on);
}

void chooseRole(TFrmuseredit& d, const char* role) {
    d.ComboBox1->setCurrentIndex(d.ComboBox1->findData(QString::fromLatin1(role)));
    emit d.ComboBox1->activated(d.ComboBox1->currentIndex());
}

}  // namespace

class UserWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SalesSession> s;

    QStringList texts() const { return s->shell->messages.texts(); }
    QString stored(const char* user) const {
        return QString::fromStdString(
            s->scalar(std::string("select role || '|' || coalesce(rights, 'preset') || '|' || case when "
                                  "disabled then '1' else '0' end from "
                                  "user1 where username = '") +
                      user + "'"));
    }

  private slots:
    void cleanup() { s.reset(); }

    void theAdministratorSeesEveryUserAndMayNotRemoveOrDisableThemselves() {
        s = std::make_unique<SalesSession>();
        TFrmusers& f = openUsers();
        QCOMPARE(f.Caption(), QString("用户管理"));
        QCOMPARE(
            rows(f),
            QStringList({"管理员|系统管理员|审核、维护基础资料、删除单据、用户管理、查看报表、查看日志|正常",
                         "王会计|审核员|审核、删除单据、查看报表、查看日志|正常",
                         "李出纳|操作员|删除单据、查看报表|正常"}));
        f.selectUser("管理员");
        QVERIFY(f.n_change->isEnabled() && f.n_password->isEnabled());
        QVERIFY(!f.n_enable->isEnabled() && !f.n_remove->isEnabled());
        f.selectUser("李出纳");
        QVERIFY(f.n_enable->isEnabled() && f.n_remove->isEnabled());
        QCOMPARE(f.n_enable->text(), QString("停用"));
        QCOMPARE(texts(), QStringList());
    }

    void addingAUserChecksTheDialogThenStoresWhatWasTicked() {
        s = std::make_unique<SalesSession>();
        TFrmusers& f = openUsers();
        answerDialog([](TFrmuseredit& d) {
            QCOMPARE(d.windowTitle(), QString("增加用户"));
            QVERIFY(d.Edit2->isVisible() && d.GroupBox1->isVisible());
            // An operator's preset is ticked at first.
            QCOMPARE(d.rights().names(), QString("delete_orders,view_reports"));
            d.Edit1->setText(QStringLiteral("赵会计"));
            tick(d, UserRight::MaintainMasterData, true);
            d.Edit2->setText(QStringLiteral("s3cret"));
            d.Edit3->setText(QStringLiteral("other"));
            d.BitBtn1->click();  // refused by the dialog itself; it stays for mending
            QVERIFY(d.isVisible());
            d.Edit3->setText(QStringLiteral("s3cret"));
        });
        SalesSession::click(f.n_add);
        QCOMPARE(texts(), QStringList({"两次口令输入不一致"}));
        QCOMPARE(stored("赵会计"), QString("operator|maintain_master_data,delete_orders,view_reports|0"));
        QCOMPARE(s->scalar("select count(*) from user1 where password1 like '%s3cret%'"), std::string("0"));
        QCOMPARE(f.selectedUser()->name, QString("赵会计"));
        QVERIFY(rows(f).contains("赵会计|操作员|维护基础资料、删除单据、查看报表|正常"));

        // A name that is there already: the server's reason, and nothing changed.
        s->shell->messages.clear();
        answerDialog([](TFrmuseredit& d) {
            d.Edit1->setText(QStringLiteral("王会计"));
            d.Edit2->setText(QStringLiteral("x"));
            d.Edit3->setText(QStringLiteral("x"));
        });
        SalesSession::click(f.n_add);
        QCOMPARE(texts(), QStringList({"用户 王会计 已存在"}));
        QCOMPARE(s->shell->messages.boxes().back().icon, MessageIcon::Warning);
        QCOMPARE(stored("王会计"), QString("approver|preset|0"));
    }

    void changingARoleTicksItsPresetAndSingleRightsMayDiffer() {
        s = std::make_unique<SalesSession>();
        TFrmusers& f = openUsers();
        f.selectUser("李出纳");
        answerDialog([](TFrmuseredit& d) {
            QCOMPARE(d.windowTitle(), QString("修改用户"));
            QVERIFY(d.Edit1->isReadOnly() && !d.Edit2->isVisible());
            chooseRole(d, "approver");
            QCOMPARE(d.rights().names(), QString("approve,delete_orders,view_reports,view_audit"));
            tick(d, UserRight::DeleteOrders, false);
        });
        SalesSession::click(f.n_change);
        QCOMPARE(stored("李出纳"), QString("approver|approve,view_reports,view_audit|0"));
        QCOMPARE(f.selectedUser()->name, QString("李出纳"));
        // Back to the preset: stored as none of its own, so that the user follows the role.
        answerDialog([](TFrmuseredit& d) { chooseRole(d, "operator"); });
        SalesSession::click(f.n_change);
        QCOMPARE(stored("李出纳"), QString("operator|preset|0"));
        // Cancel changes nothing.
        answerDialog([](TFrmuseredit& d) { chooseRole(d, "admin"); }, false);
        SalesSession::click(f.n_change);
        QCOMPARE(stored("李出纳"), QString("operator|preset|0"));

        // The last administrator stays one: the server's reason is shown.
        f.selectUser("管理员");
        answerDialog([](TFrmuseredit& d) { chooseRole(d, "operator"); });
        SalesSession::click(f.n_change);
        QCOMPARE(texts(), QStringList({"不能改变最后一个系统管理员"}));
        QCOMPARE(stored("管理员"), QString("admin|preset|0"));
    }

    void passwordsAreSetAnewAndUsersDisabledEnabledAndRemoved() {
        s = std::make_unique<SalesSession>();
        TFrmusers& f = openUsers();
        const std::string before = s->scalar("select password1 from user1 where username = '王会计'");
        f.selectUser("王会计");
        answerDialog([](TFrmuseredit& d) {
            QCOMPARE(d.windowTitle(), QString("重设口令"));
            QVERIFY(!d.GroupBox1->isVisible() && !d.ComboBox1->isVisible());
            d.Edit2->setText(QStringLiteral("n3w"));
            d.Edit3->setText(QStringLiteral("n3w"));
        });
        SalesSession::click(f.n_password);
        QCOMPARE(texts(), QStringList({"用户 王会计 的口令已重新设置"}));
        QVERIFY(s->scalar("select password1 from user1 where username = '王会计'") != before);

        s->shell->messages.clear();
        s->shell->messages.answerNext(MessageButton::No);
        SalesSession::click(f.n_enable);
        QCOMPARE(stored("王会计"), QString("approver|preset|0"));
        SalesSession::click(f.n_enable);  // answered Yes
        QCOMPARE(stored("王会计"), QString("approver|preset|1"));
        QVERIFY(rows(f).contains("王会计|审核员|审核、删除单据、查看报表、查看日志|停用"));
        QCOMPARE(f.n_enable->text(), QString("启用"));
        SalesSession::click(f.n_enable);  // enabling asks nothing
        QCOMPARE(stored("王会计"), QString("approver|preset|0"));
        QCOMPARE(f.n_enable->text(), QString("停用"));

        f.selectUser("李出纳");
        s->shell->messages.clear();
        s->shell->messages.answerNext(MessageButton::No);
        SalesSession::click(f.n_remove);
        QCOMPARE(texts(), QStringList({"确认删除用户 李出纳 吗？"}));
        QCOMPARE(s->scalar("select count(*) from user1 where username = '李出纳'"), std::string("1"));
        SalesSession::click(f.n_remove);
        QCOMPARE(s->scalar("select count(*) from user1 where username = '李出纳'"), std::string("0"));
        QCOMPARE(f.users().size(), size_t(2));
    }

    void aUserWithoutTheRightIsRefusedByTheServerEvenWhenTheWindowOpens() {
        s = std::make_unique<SalesSession>(QStringLiteral("王会计"), QStringLiteral("1234"));
        QVERIFY(!MainForm->N17->isEnabled());
        // Opened regardless, as a modified client would: the server refuses the list.
        MainForm->N17Click();
        QCoreApplication::processEvents();
        QVERIFY(Frmusers);
        QCOMPARE(Frmusers->users().size(), size_t(0));
        QVERIFY(texts().join(' ').contains("没有权限：用户管理"));
    }
};

VELMORA_GUI_TEST_MAIN(UserWindowTest)
#include "UserWindowTest.moc"
