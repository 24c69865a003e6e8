// What a keyboard user reaches, against the real server: F1 opens the manual at the child window
// worked in wherever the focus rests (its frame, a box, a grid, the main window around it), and
// every button of a button bar or record navigator acts by a key that its tooltip shows, also
// where the window holds no control that takes the focus.
#include <QAbstractItemView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolButton>
#include <set>

#include "admin/TFrmauditresult.h"
#include "admin/TFrmbackup.h"
#include "admin/TFrmusers.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "masterdata/TFrmywy.h"
#include "reports/TFrmchhzresult.h"
#include "reports/TFrmkhhzresult.h"
#include "reports/TFrmxsdresult.h"
#include "reports/TFrmywyhzresult.h"
#include "sales/TFrmkp.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/HelpWindow.h"

using namespace velmora;

namespace {

void activateMainWindow() {
    MainForm->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(MainForm));
}

// F1 where the keyboard's focus is (the active window when nothing has it): the section the
// manual opened at. The help window is closed again.
QString sectionOfF1() {
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target ? target : MainForm, Qt::Key_F1);
    HelpWindow* help = HelpWindow::instance();
    const QString section = help && help->isVisible() ? help->currentSection() : QStringLiteral("(none)");
    HelpWindow::destroyInstance();
    activateMainWindow();
    return section;
}

template <typename T>
T* firstShown(QWidget* window) {
    for (T* w : window->findChildren<T*>())
        if (w->isVisibleTo(window)) return w;
    return nullptr;
}

// Presses key where the focus is, as a user does. A button pressed by its key shows itself pressed
// for a moment before it acts: wait for the effect.
void press(QKeySequence key) {
    QWidget* target = QApplication::focusWidget();
    QTest::keySequence(target ? target : MainForm, key);
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;

    QList<MdiChildForm*> openEveryWindow() {
        return {s->open(Frmchfl),       s->open(Frmch),         s->open(Frmkh),
                s->open(Frmywy),        s->open(Frmkp),         s->open(Frmxsdresult),
                s->open(Frmkhhzresult), s->open(Frmchhzresult), s->open(Frmywyhzresult),
                s->open(Frmusers),      s->open(Frmbackup),     s->open(Frmauditresult)};
    }

  private slots:
    void init() {
        s = std::make_unique<test::MasterDataSession>();
        activateMainWindow();
    }
    void cleanup() { s.reset(); }

    void f1OpensTheSectionOfTheWindowInFrontWhereverTheFocusRests() {
        for (MdiChildForm* window : openEveryWindow()) {
            const QString name = window->objectName();
            QVERIFY2(HelpWindow::sections().contains(name), qPrintable(name));
            window->bringToFrontAndFocus();
            QTRY_COMPARE(MdiChildForm::mdiArea()->currentSubWindow(), window->subWindow());

            window->subWindow()->setFocus();
            QCOMPARE(sectionOfF1(), name);
            // A box or a grid clicked: disabled in browse state, it leaves the focus where it was.
            if (auto* box = firstShown<QLineEdit>(window)) {
                QTest::mouseClick(box, Qt::LeftButton);
                QVERIFY2(sectionOfF1() == name, qPrintable(name + " box"));
            }
            if (auto* grid = firstShown<QAbstractItemView>(window)) {
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(8, 8));
                QVERIFY2(sectionOfF1() == name, qPrintable(name + " grid"));
            }
            // The focus on the main window's own controls: the window in front is meant.
            MainForm->ClientArea->setFocus();
            QVERIFY2(sectionOfF1() == name, qPrintable(name + " client area"));
        }
        // With no child window open, the main window's own section.
        for (MdiChildForm* window : openEveryWindow()) s->close(window);
        MainForm->setFocus();
        QCOMPARE(sectionOfF1(), QStringLiteral("MainForm"));
    }

    void everyToolButtonHasItsOwnKeyShownInItsTooltip() {
        for (MdiChildForm* window : openEveryWindow()) {
            std::set<QString> keys;
            int buttons = 0;
            for (QToolButton* button : window->findChildren<QToolButton*>()) {
                if (!button->isVisibleTo(window)) continue;
                ++buttons;
                const QString where = window->objectName() + "." + button->objectName();
                const QString key = button->shortcut().toString(QKeySequence::NativeText);
                QVERIFY2(!key.isEmpty(), qPrintable(where + " has no key"));
                QVERIFY2(button->toolTip().contains(key), qPrintable(where + ": " + button->toolTip()));
                QVERIFY2(keys.insert(key).second, qPrintable(where + " shares " + key));
            }
            QVERIFY2(buttons >= 3, qPrintable(window->objectName()));
        }
        // The same act has the same key everywhere.
        QCOMPARE(Frmkp->n_save->shortcut(), Frmkh->Panel1->n_save->shortcut());
        QCOMPARE(Frmkp->n_exit->shortcut(), Frmkhhzresult->n_exit->shortcut());
    }

    void customersAreBrowsedAndEditedByKeysThoughNothingInTheWindowTakesTheFocus() {
        TFrmkh* f = s->open(Frmkh);
        f->bringToFrontAndFocus();
        ClientDataSet& rows = dm->ClientDataSetkh;
        QVERIFY(rows.RecordCount() >= 3);
        QVERIFY(!f->DBGrid1->isEnabled());  // as the window specifies: the grid takes no input
        rows.First();
        const QString first = f->DBEdits[0]->text();

        press(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
        QCOMPARE(rows.RecNo(), 2);
        QVERIFY(f->DBEdits[0]->text() != first);  // the row shown follows
        press(QKeySequence(Qt::CTRL | Qt::Key_End));
        QCOMPARE(rows.RecNo(), rows.RecordCount());
        press(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
        QCOMPARE(rows.RecNo(), rows.RecordCount() - 1);
        press(QKeySequence(Qt::CTRL | Qt::Key_Home));
        QCOMPARE(f->DBEdits[0]->text(), first);

        // 增加 by its key, the row typed, 放弃 by Esc: nothing is left behind.
        const int before = rows.RecordCount();
        press(QKeySequence(Qt::CTRL | Qt::Key_N));
        QTRY_VERIFY(f->DBEdits[0]->isEnabled() && f->DBEdits[0]->hasFocus());
        test::typeText(f->DBEdits[0], "K900");
        // While a row is entered the navigator's keys do not move away from it.
        press(QKeySequence(Qt::CTRL | Qt::Key_Home));
        QCOMPARE(f->DBEdits[0]->text(), QStringLiteral("K900"));
        press(QKeySequence(Qt::Key_Escape));
        QTRY_VERIFY(!f->DBEdits[0]->isEnabled());
        QCOMPARE(rows.RecordCount(), before);

        // 退出 by its key closes the window.
        press(QKeySequence(Qt::CTRL | Qt::Key_W));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTRY_VERIFY(!Frmkh);
    }

    void theInvoicingNavigatorMovesByKeysAndRestsWhileAnOrderIsTyped() {
        TFrmkp* f = s->open(Frmkp);
        f->bringToFrontAndFocus();
        ClientDataSet& orders = dm->ClientDataSetxsdtb;
        QVERIFY(orders.RecordCount() >= 2);
        orders.First();
        press(QKeySequence(Qt::CTRL | Qt::Key_End));
        QTRY_COMPARE(orders.RecNo(), orders.RecordCount());
        press(QKeySequence(Qt::CTRL | Qt::Key_Home));
        QTRY_COMPARE(orders.RecNo(), 1);

        press(QKeySequence(Qt::CTRL | Qt::Key_N));
        QTRY_VERIFY(f->editingOrder());
        // The navigator rests while the order is typed: its key does nothing.
        press(QKeySequence(Qt::CTRL | Qt::Key_End));
        QCOMPARE(orders.State(), DataSetState::Insert);
        press(QKeySequence(Qt::Key_Escape));
        QTRY_VERIFY(!f->editingOrder());
    }
};

VELMORA_GUI_TEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
