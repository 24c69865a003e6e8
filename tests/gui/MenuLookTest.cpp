// The menu look the product records, painted by the program's style: 宋体 9 points, a 24-pixel
// icon column, a selected item filled and bordered in the highlight colour with its text in the
// menu-text colour, disabled items in the inactive-caption colour, flat panels that keep their
// lowered bevels.
#include <QMenu>
#include <QTest>
#include <memory>

#include "tests/gui/GuiTestSupport.h"
#include "widgets/Panel.h"
#include "widgets/VelmoraStyle.h"

using namespace velmora;

namespace {

// How many pixels of the colour the rectangle of image holds.
int countOf(const QImage& image, const QRect& rect, const QColor& color) {
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).rgb() == color.rgb()) ++n;
    return n;
}

// The darkest pixel of the rectangle: the core of the glyphs written there.
QColor darkest(const QImage& image, const QRect& rect) {
    QColor dark = Qt::white;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (image.pixelColor(x, y).lightness() < dark.lightness()) dark = image.pixelColor(x, y);
    return dark;
}

}  // namespace

class MenuLookTest : public QObject {
    Q_OBJECT

  private slots:
    void menusArePaintedWithTheRecordedSettings() {
        QMenu menu;
        QPixmap picture(16, 16);
        picture.fill(Qt::darkGreen);
        QAction* chosen = menu.addAction(QIcon(picture), QStringLiteral("存货档案"));
        QAction* off = menu.addAction(QStringLiteral("未完成"));
        off->setEnabled(false);
        menu.show();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QCOMPARE(menu.font().pointSize(), 9);
        menu.setActiveAction(chosen);

        QImage image = menu.grab().toImage();
        const QPalette& pal = menu.palette();
        QRect selected = menu.actionGeometry(chosen);
        // Filled with the dimmed highlight, bordered with the highlight itself: no gradient.
        QColor fill = VelmoraStyle::selectionFillColor(pal);
        QVERIFY(countOf(image, selected.adjusted(1, 1, -1, -1), fill) >
                selected.width() * selected.height() / 2);
        QCOMPARE(image.pixelColor(selected.left(), selected.center().y()).rgb(),
                 pal.color(QPalette::Highlight).rgb());
        // The text stays in the menu-text colour, not white.
        QRect text = selected.adjusted(VelmoraStyle::kIconColumnWidth + 2, 1, -1, -1);
        QVERIFY(darkest(image, text).lightness() <= VelmoraStyle::menuTextColor(pal).lightness() + 40);
        QCOMPARE(countOf(image, text, Qt::white), 0);
        // The picture sits in the 24-pixel column.
        QRect column(selected.left(), selected.top(), VelmoraStyle::kIconColumnWidth, selected.height());
        QVERIFY(countOf(image, column, Qt::darkGreen) >= 16 * 16);
        // A disabled item is written in the inactive-caption colour.
        QRect disabled = menu.actionGeometry(off).adjusted(VelmoraStyle::kIconColumnWidth, 0, 0, 0);
        QColor ink = darkest(image, disabled);
        // Grey (smoothed glyph edges come out a little lighter), never the black of enabled text.
        int grey = VelmoraStyle::inactiveCaptionColor().lightness();
        QVERIFY2(ink.lightness() >= grey - 8 && ink.lightness() <= grey + 40 && ink.saturation() < 20,
                 qPrintable(ink.name()));
    }

    void panelsDropRaisedBevelsAndKeepLoweredOnes() {
        Panel raised(nullptr, Panel::Bevel::Raised, Panel::Bevel::None);
        Panel lowered(nullptr, Panel::Bevel::None, Panel::Bevel::Lowered);
        for (Panel* p : {&raised, &lowered}) {
            p->setColor(QColor(200, 200, 255));
            p->resize(40, 20);
        }
        QImage flat = raised.grab().toImage();
        QCOMPARE(flat.pixelColor(0, 0).rgb(), QColor(200, 200, 255).rgb());
        QImage bevel = lowered.grab().toImage();
        QCOMPARE(bevel.pixelColor(0, 0).rgb(), QColor(128, 128, 128).rgb());  // the shadow of a lowered bevel
    }
};

VELMORA_GUI_TEST_MAIN(MenuLookTest)
#include "MenuLookTest.moc"
