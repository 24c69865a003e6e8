// What a screen reader learns through Qt's accessibility interface, against the real server:
// every control a user reads or uses has a name, values are told, what acts offers its action,
// grids have names of their own, the status bar's message is exposed and open windows say they
// are visible.
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <set>

#include "app/NavLabel.h"
#include "data/Tdm.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmkhhzresult.h"
#include "sales/TFrmkp.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"

using namespace velmora;

namespace {

QAccessibleInterface* describe(QObject* object) {
    QAccessible::setActive(true);
    return QAccessible::queryAccessibleInterface(object);
}

QString nameOf(QObject* object) {
    QAccessibleInterface* iface = describe(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// Every control in window that a user reads or uses, and that shows.
QList<QWidget*> controlsOf(QWidget* window) {
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        // A grid's header is part of the grid's table, told through it.
        if (!w->isVisibleTo(window) || qobject_cast<QHeaderView*>(w) ||
            qobject_cast<QAbstractItemView*>(w->parentWidget()))
            continue;
        if (qobject_cast<QLineEdit*>(w) && qobject_cast<QComboBox*>(w->parentWidget())) continue;
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
            qobject_cast<QAbstractItemView*>(w))
            controls << w;
    }
    return controls;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;

  private slots:
    void init() { s = std::make_unique<test::MasterDataSession>(); }
    void cleanup() { s.reset(); }

    void everyControlOfTheWindowsHasAName() {
        const QList<QWidget*> windows = {s->open(Frmchfl), s->open(Frmch), s->open(Frmkh),
                                         s->open(Frmywy),  s->open(Frmkp), s->open(Frmkhhzresult),
                                         MainForm};
        for (QWidget* window : windows) {
            const QList<QWidget*> controls = controlsOf(window);
            // Each window has a grid or a tree and the buttons that act on it, at the least.
            QVERIFY2(controls.size() >= 3, qPrintable(window->objectName()));
            for (QWidget* control : controls)
                QVERIFY2(!nameOf(control).trimmed().isEmpty(),
                         qPrintable(window->objectName() + QStringLiteral(": ") + control->objectName() +
                                    QStringLiteral(" ") + control->metaObject()->className()));
        }
    }

    void editBoxesTellTheirCaptionAndValue() {
        TFrmkp* kp = s->open(Frmkp);
        QAccessibleInterface* box = describe(kp->DBEdit1);
        QCOMPARE(box->text(QAccessible::Name), QStringLiteral("销售发票号："));
        QCOMPARE(box->text(QAccessible::Value), kp->DBEdit1->text());
        QVERIFY(!kp->DBEdit1->text().isEmpty());
    }

    void gridsHaveNamesOfTheirOwn() {
        const QList<MdiChildForm*> windows = {s->open(Frmchfl), s->open(Frmch), s->open(Frmkh),
                                              s->open(Frmywy), s->open(Frmkp)};
        std::set<QString> names;
        int grids = 0;
        for (QWidget* window : windows)
            for (DBGrid* grid : window->findChildren<DBGrid*>()) {
                ++grids;
                names.insert(nameOf(grid));
            }
        QCOMPARE(grids, 5);
        QCOMPARE(int(names.size()), 5);
        QVERIFY(!names.count(DBGrid::kDefaultAccessibleName));
    }

    void totalsTellTheirValues() {
        TFrmkhhzresult* result = s->open(Frmkhhzresult);
        // Two rows as a summary query delivers them, from the server.
        auto rows = std::make_unique<ClientDataSet>("ClientDataSethz");
        rows->setRemoteServer(MainForm->Session.providerSource());
        rows->setProviderName("DataSetProviderhz");
        rows->setCommandText("select 3 as sl, 6 as je union all select 15.5, 31");
        rows->Open();
        result->ShowRows(std::move(rows));
        QAccessibleInterface* quantity = describe(result->Label1);
        QAccessibleInterface* money = describe(result->Label2);
        QCOMPARE(quantity->text(QAccessible::Name), QStringLiteral("数量合计 18.5"));
        QCOMPARE(quantity->text(QAccessible::Value), QStringLiteral("18.5"));
        QCOMPARE(money->text(QAccessible::Name), QStringLiteral("金额合计 37.00"));
        QCOMPARE(money->text(QAccessible::Value), QStringLiteral("37.00"));
        QVERIFY(result->Label2->alignment() & Qt::AlignRight);
    }

    void navigationLabelsOfferTheirAction() {
        for (NavLabel* label : MainForm->NavLabels) {
            QAccessibleInterface* iface = describe(label);
            QCOMPARE(iface->text(QAccessible::Name), label->text().trimmed());
            QVERIFY(iface->actionInterface());
            QCOMPARE(iface->actionInterface()->actionNames(),
                     QStringList{QAccessibleActionInterface::pressAction()});
        }
        // 业务员档案, pressed through the interface, opens the salesman window as a click does.
        QVERIFY(!Frmywy);
        QAccessibleActionInterface* press = describe(MainForm->NavLabels[3])->actionInterface();
        QVERIFY(press);
        press->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(Frmywy);
    }

    void statusBarTellsItsMessage() {
        QStatusBar* bar = MainForm->statusBar();
        bar->showMessage(QStringLiteral("Help topics"));
        QAccessibleInterface* iface = describe(bar);
        QCOMPARE(iface->role(), QAccessible::StatusBar);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("状态栏"));
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("Help topics"));
    }

    void openWindowsSayTheyAreVisible() {
        // Each as it comes to the front. A maximised window wider than the client area reaches past
        // its edge and counts as off screen: the customer window did, at 692 pixels.
        for (auto open : std::initializer_list<std::function<MdiChildForm*()>>{
                 [this] { return s->open(Frmkh); }, [this] { return s->open(Frmchfl); },
                 [this] { return s->open(Frmkp); }, [this] { return s->open(Frmywy); },
                 [this] { return s->open(Frmch); }, [this] { return s->open(Frmkh); }}) {
            MdiChildForm* window = open();
            for (QWidget* shown : {static_cast<QWidget*>(window), window->frame()}) {
                QAccessible::State state = describe(shown)->state();
                QVERIFY2(!state.invisible, qPrintable(window->objectName()));
                QVERIFY2(!state.offscreen, qPrintable(window->objectName()));
            }
        }
    }
};

VELMORA_GUI_TEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
