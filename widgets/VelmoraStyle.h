#pragma once

#include <QProxyStyle>

namespace velmora {

// The look of every window: Qt's Fusion style with the habits of the desktop the windows were
// laid out for (a password box shows each character as "*"), and the flat menu look the product
// records: menus in 宋体 9 points in the menu-text colour with a 24-pixel icon column, a selected
// item filled with the highlight colour dimmed and bordered in the highlight colour, its text
// staying in the menu-text colour, disabled items in the inactive-caption colour, no gradient.
// The tool bar, tool buttons and push buttons are drawn flat as well, and panels drop their
// raised bevels (a lowered bevel, which the layouts name where a panel has one, stays).
class VelmoraStyle : public QProxyStyle {
  public:
    VelmoraStyle();

    // Asked by Panel: 1 when raised panel bevels are drawn flat.
    static constexpr StyleHint SH_FlatPanels = static_cast<StyleHint>(SH_CustomBase + 1);

    // The recorded colours of the menu look.
    static QColor menuTextColor(const QPalette& palette);
    static QColor inactiveCaptionColor();
    static QColor selectionFillColor(const QPalette& palette);
    static constexpr int kIconColumnWidth = 24;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void polish(QPalette& palette) override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;

  private:
    void drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    void drawMenuBarItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const;
    // A selected menu item, a hot tool button: dimmed highlight inside a highlight border.
    static void drawSelection(QPainter* painter, const QRect& rect, const QPalette& palette, bool pressed);
};

}  // namespace velmora
