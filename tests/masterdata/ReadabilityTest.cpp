// What an office user reads, against the real server in the program's own look: values in
// disabled boxes stay legible, tool buttons carry pictures and a visible disabled look, the
// category tree shows codes and names whole and keeps the width the user dragged, grid titles
// and navigation labels are never cut.
#include <QAbstractButton>
#include <QHeaderView>
#include <QImage>
#include <QSplitter>
#include <QTabWidget>
#include <map>
#include <memory>

#include "app/NavLabel.h"
#include "app/NavPanel.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "masterdata/TFrmch.h"
#include "masterdata/TFrmchfl.h"
#include "masterdata/TFrmkh.h"
#include "sales/TFrmkp.h"
#include "tests/masterdata/MasterDataSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/FolderTreeView.h"
#include "widgets/Panel.h"

using namespace velmora;
using velmora::test::clickNode;
using velmora::test::findNode;

namespace {

// WCAG 2 relative luminance and contrast ratio.
double luminance(QColor c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(QColor a, QColor b) {
    double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the text a box shows as painted: its most frequent colour is the background,
// its darkest the ink of the glyphs.
double paintedContrast(QWidget* box) {
    QImage image = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::map<QRgb, int> counts;
    QColor darkest = Qt::white;
    // Inside the frame only.
    for (int y = 3; y < image.height() - 3; ++y)
        for (int x = 3; x < image.width() - 3; ++x) {
            QRgb rgb = image.pixel(x, y);
            ++counts[rgb];
            if (luminance(QColor(rgb)) < luminance(darkest)) darkest = QColor(rgb);
        }
    QRgb background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                          return a.second < b.second;
                      })->first;
    return contrast(QColor(background), darkest);
}

}  // namespace

class ReadabilityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::MasterDataSession> s;

    void checkLegible(DBEdit* box) {
        QVERIFY2(!box->isEnabled(), qPrintable(box->objectName()));
        QVERIFY2(!box->text().isEmpty(), qPrintable(box->objectName()));
        double ratio = paintedContrast(box);
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 in %2: %3:1")
                                              .arg(box->objectName(), box->window()->objectName())
                                              .arg(ratio)));
    }

  private slots:
    void init() { s = std::make_unique<test::MasterDataSession>(); }
    void cleanup() { s.reset(); }

    void disabledBoxesKeepTheirValuesLegible() {
        TFrmkp* kp = s->open(Frmkp);
        for (DBEdit* box : {kp->DBEdit1, kp->DBEdit2, kp->DBEdit3, kp->DBEdit4, kp->DBEdit7})
            checkLegible(box);

        TFrmchfl* categories = s->open(Frmchfl);
        clickNode(categories->TreeView1, findNode(categories->TreeView1, QStringLiteral("(01)")));
        categories->PageControl1->setCurrentWidget(categories->TabSheet1);
        checkLegible(categories->DBEdit1);
        checkLegible(categories->DBEdit2);

        TFrmkh* customers = s->open(Frmkh);
        checkLegible(customers->DBEdits[0]);
        checkLegible(customers->DBEdits[1]);
    }

    void invoicingToolButtonsHavePicturesAndAVisibleDisabledLook() {
        TFrmkp* kp = s->open(Frmkp);
        const QColor bar = kp->Panel1->Color();
        for (QToolButton* b :
             {kp->n_insert, kp->n_edit, kp->n_delete, kp->n_cancel, kp->n_save, kp->n_print, kp->n_refresh,
              kp->n_insertone, kp->n_deleteone, kp->n_approve, kp->n_withdraw, kp->n_exit}) {
            QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
        }
        // 保存 is disabled in browse state: its caption stays plainly visible, yet unlike enabled.
        QVERIFY(!kp->n_save->isEnabled());
        QColor disabled = kp->n_save->palette().color(QPalette::Disabled, QPalette::ButtonText);
        QColor enabled = kp->n_save->palette().color(QPalette::Active, QPalette::ButtonText);
        QVERIFY2(contrast(disabled, bar) >= 2.5, qPrintable(QString::number(contrast(disabled, bar))));
        QVERIFY(contrast(enabled, bar) > contrast(disabled, bar) + 2);
    }

    void categoryTreeShowsCodesAndNamesAndKeepsTheDraggedWidth() {
        TFrmchfl* categories = s->open(Frmchfl);
        QTreeWidget* tree = categories->TreeView1;
        QTreeWidgetItem* deepest = findNode(tree, QStringLiteral("(01-001)"));
        QVERIFY(deepest);
        QRect shown = tree->visualItemRect(deepest);
        int textWidth = tree->fontMetrics().horizontalAdvance(deepest->text(0));
        QVERIFY2(shown.left() + textWidth <= tree->viewport()->width(),
                 qPrintable(QStringLiteral("%1 + %2 > %3")
                                .arg(shown.left())
                                .arg(textWidth)
                                .arg(tree->viewport()->width())));
        QVERIFY(categories->Panel2->width() >= 137);

        // Dragged wider, the width holds for the next category or item window of the run.
        QSplitterHandle* handle = categories->Splitter1->handle(1);
        QPoint grip = handle->rect().center();
        int before = categories->Panel2->width();
        QTest::mousePress(handle, Qt::LeftButton, {}, grip);
        QTest::mouseMove(handle, grip + QPoint(60, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, grip + QPoint(60, 0));
        int dragged = categories->Panel2->width();
        QVERIFY2(dragged > before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(dragged)));
        s->close(categories);
        categories = s->open(Frmchfl);
        QCOMPARE(categories->Panel2->width(), dragged);
        // The item window's pages need more room: its panel is as wide as they leave, up to the width.
        TFrmch* items = s->open(Frmch);
        int room = items->Splitter1->width() - items->Splitter1->handleWidth() -
                   items->PageControl1->minimumSizeHint().width();
        QCOMPARE(items->Panel2->width(), std::min(dragged, room));
    }

    void gridTitlesAreNeverCut() {
        TFrmchfl* categories = s->open(Frmchfl);
        TFrmch* items = s->open(Frmch);
        TFrmkp* kp = s->open(Frmkp);
        for (DBGrid* grid : {categories->DBGrid1, items->DBGrid1, kp->DBGrid1}) {
            QHeaderView* header = grid->horizontalHeader();
            for (int c = 0; c < header->count(); ++c) {
                QString title = grid->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(header->sectionSize(c) >= header->fontMetrics().horizontalAdvance(title) + 4,
                         qPrintable(title));
            }
        }
    }

    void navigationLabelsFitTheirPanel() {
        for (NavLabel* label : MainForm->NavLabels) {
            QRect inPanel(label->mapTo(MainForm->Panel1, QPoint(0, 0)), label->size());
            QRect room = MainForm->Panel1->contentsRect().adjusted(0, 0, -MainForm->Panel3->bevelWidth(), 0);
            QVERIFY2(room.contains(inPanel), qPrintable(QStringLiteral("%1 ends at %2, room to %3")
                                                            .arg(label->text())
                                                            .arg(inPanel.right())
                                                            .arg(room.right())));
            QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        }
    }
};

VELMORA_GUI_TEST_MAIN(ReadabilityTest)
#include "ReadabilityTest.moc"
