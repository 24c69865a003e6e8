// What the client offers each user, learnt from the real velmora-server at the login: the demo
// users' rights, the report items, and the master-data windows for a user who may only browse.
#include <QAction>
#include <QToolButton>

#include "app/NavLabel.h"
#include "app/TMainForm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "session/ClientSession.h"
#include "tests/sales/SalesSession.h"

using namespace velmora;
using velmora::test::SalesSession;

namespace {

const UserRights& rights() {
    return MainForm->Session.CurrentUserRights;
}

// The change buttons of a master-data bar are offered exactly when may, browsing always.
void checkBar(MaintenanceBar* bar, bool may) {
    for (QToolButton* b : {bar->n_insert, bar->n_edit, bar->n_delete})
        QVERIFY2(b->isEnabled() == may, qPrintable(b->objectName()));
    QVERIFY(!bar->n_save->isEnabled() && !bar->n_cancel->isEnabled());
    QVERIFY(bar->n_refresh->isEnabled() && bar->n_exit->isEnabled());
}

template <typename T>
MaintenanceBar* openBar(T*& reference) {
    T* form = MainForm->ShowOrCreateForm(reference, MainForm);
    QCoreApplication::processEvents();
    return form->Panel1;
}

void checkMasterData(bool may) {
    checkBar(openBar(Frmchfl), may);
    checkBar(openBar(Frmch), may);
    checkBar(openBar(Frmkh), may);
    checkBar(openBar(Frmywy), may);
}

}  // namespace

class UserRightsTest : public QObject {
    Q_OBJECT

  private slots:
    void theAdministratorHoldsEveryRightAndMayChangeMasterData() {
        SalesSession s;
        QCOMPARE(rights().role(), QString("admin"));
        for (UserRight r : {UserRight::Approve, UserRight::MaintainMasterData, UserRight::DeleteOrders,
                            UserRight::ManageUsers, UserRight::ViewReports})
            QVERIFY(rights().has(r));
        QVERIFY(MainForm->N17->isEnabled());
        checkMasterData(true);
    }

    void theApproverMayApproveButNotChangeMasterData() {
        SalesSession s("王会计", "1234");
        QCOMPARE(rights().role(), QString("approver"));
        QVERIFY(rights().has(UserRight::Approve) && rights().has(UserRight::DeleteOrders) &&
                rights().has(UserRight::ViewReports));
        QVERIFY(!rights().has(UserRight::MaintainMasterData) && !rights().has(UserRight::ManageUsers));
        QVERIFY(MainForm->N10->isEnabled() && MainForm->N11->isEnabled());
        QVERIFY(!MainForm->N17->isEnabled());  // user management
        checkMasterData(false);
    }

    void theOperatorOnlyBrowsesMasterData() {
        SalesSession s("李出纳", "5678");
        QCOMPARE(rights().role(), QString("operator"));
        QVERIFY(!rights().has(UserRight::Approve) && !rights().has(UserRight::MaintainMasterData));
        QVERIFY(rights().has(UserRight::DeleteOrders) && rights().has(UserRight::ViewReports));
        checkMasterData(false);
        QCOMPARE(s.shell->messages.texts(), QStringList());
    }

    void withoutViewReportsTheReportItemsAreDisabled() {
        SalesSession s("李出纳", "5678", "update user1 set rights='delete_orders' where username='李出纳'");
        QVERIFY(!rights().has(UserRight::ViewReports));
        for (QAction* item : {MainForm->N10, MainForm->N11, MainForm->N13, MainForm->N12})
            QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
        QVERIFY(!MainForm->NavLabels[5]->isEnabled() && !MainForm->NavLabels[6]->isEnabled());
        QVERIFY(MainForm->N8->isEnabled() && MainForm->N3->isEnabled());
    }
};

VELMORA_GUI_TEST_MAIN(UserRightsTest)
#include "UserRightsTest.moc"
