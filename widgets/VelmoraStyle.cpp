#include "widgets/VelmoraStyle.h"

#include <cmath>

#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace velmora {

namespace {

// How much of the highlight colour a selected item's fill takes (the recorded dim level 30).
constexpr double kDimLevel = 0.30;
constexpr int kTextGap = 6;
constexpr int kArrowWidth = 12;

QColor blend(const QColor& over, const QColor& under, double share) {
    auto mix = [share](int a, int b) { return static_cast<int>(std::lround(a * share + b * (1.0 - share))); };
    return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()),
                  mix(over.blue(), under.blue()));
}

QFont menuFont() {
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    return font;
}

bool isMenu(const QWidget* widget) {
    return qobject_cast<const QMenu*>(widget) || qobject_cast<const QMenuBar*>(widget);
}

}  // namespace

VelmoraStyle::VelmoraStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

QColor VelmoraStyle::menuTextColor(const QPalette& palette) {
    return palette.color(QPalette::Active, QPalette::WindowText);
}

QColor VelmoraStyle::inactiveCaptionColor() {
    return QColor(128, 128, 128);
}

QColor VelmoraStyle::selectionFillColor(const QPalette& palette) {
    return blend(palette.color(QPalette::Active, QPalette::Highlight),
                 palette.color(QPalette::Active, QPalette::Base), kDimLevel);
}

int VelmoraStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                            QStyleHintReturn* returnData) const {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    if (hint == SH_FlatPanels) return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

int VelmoraStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    switch (metric) {
        case PM_MenuPanelWidth:
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            return 1;
        case PM_MenuBarPanelWidth:
        case PM_ToolBarHandleExtent:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

QSize VelmoraStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                     const QWidget* widget) const {
    if (type != CT_MenuItem) return QProxyStyle::sizeFromContents(type, option, size, widget);
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return QProxyStyle::sizeFromContents(type, option, size, widget);
    if (item->menuItemType == QStyleOptionMenuItem::Separator) return QSize(size.width(), 5);
    QFontMetrics metrics(item->font);
    QString text = item->text;
    int tab = static_cast<int>(text.indexOf(QLatin1Char('\t')));
    int width =
        kIconColumnWidth + kTextGap + metrics.horizontalAdvance(text.left(tab < 0 ? text.size() : tab));
    if (tab >= 0) width += 2 * kTextGap + metrics.horizontalAdvance(text.mid(tab + 1));
    width += kArrowWidth + kTextGap;
    int height = std::max(22, metrics.height() + 8);
    return QSize(std::max(width, size.width()), height);
}

void VelmoraStyle::drawSelection(QPainter* painter, const QRect& rect, const QPalette& palette,
                                 bool pressed) {
    QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    QColor fill = pressed ? blend(highlight, palette.color(QPalette::Active, QPalette::Base), 2 * kDimLevel)
                          : selectionFillColor(palette);
    painter->fillRect(rect, fill);
    painter->setPen(highlight);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
}

void VelmoraStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    const QPalette& pal = option->palette;
    switch (element) {
        case PE_PanelMenu:
        case PE_FrameMenu:
            painter->save();
            if (element == PE_PanelMenu) painter->fillRect(option->rect, pal.color(QPalette::Base));
            painter->setPen(pal.color(QPalette::Active, QPalette::Mid));
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
            return;
        case PE_PanelMenuBar:
        case PE_PanelToolBar:
            painter->fillRect(option->rect, pal.color(QPalette::Window));
            return;
        case PE_IndicatorToolBarHandle:
            return;
        case PE_IndicatorToolBarSeparator: {
            painter->save();
            painter->setPen(pal.color(QPalette::Active, QPalette::Mid));
            QPoint c = option->rect.center();
            if (option->state & State_Horizontal)
                painter->drawLine(c.x(), option->rect.top() + 3, c.x(), option->rect.bottom() - 3);
            else
                painter->drawLine(option->rect.left() + 3, c.y(), option->rect.right() - 3, c.y());
            painter->restore();
            return;
        }
        case PE_PanelButtonTool: {
            bool enabled = option->state & State_Enabled;
            bool hot = enabled && (option->state & (State_MouseOver | State_Sunken | State_On));
            painter->save();
            if (hot) {
                drawSelection(painter, option->rect, pal, option->state & (State_Sunken | State_On));
            } else if (!(option->state & State_AutoRaise)) {
                painter->fillRect(option->rect, pal.color(QPalette::Button));
                painter->setPen(pal.color(QPalette::Active, QPalette::Mid));
                painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            }
            painter->restore();
            return;
        }
        case PE_PanelButtonCommand: {
            bool enabled = option->state & State_Enabled;
            painter->save();
            if (enabled && (option->state & (State_Sunken | State_On))) {
                drawSelection(painter, option->rect, pal, true);
            } else if (enabled && (option->state & State_MouseOver)) {
                drawSelection(painter, option->rect, pal, false);
            } else {
                painter->fillRect(option->rect, pal.color(QPalette::Button));
                bool marked = enabled && (option->state & State_HasFocus);
                painter->setPen(marked ? pal.color(QPalette::Active, QPalette::Highlight)
                                       : pal.color(QPalette::Active, QPalette::Mid));
                painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            }
            painter->restore();
            return;
        }
        default:
            QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void VelmoraStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const {
    switch (element) {
        case CE_MenuItem:
            drawMenuItem(option, painter, widget);
            return;
        case CE_MenuBarItem:
            drawMenuBarItem(option, painter, widget);
            return;
        case CE_MenuBarEmptyArea:
        case CE_MenuEmptyArea:
            painter->fillRect(
                option->rect,
                option->palette.color(element == CE_MenuEmptyArea ? QPalette::Base : QPalette::Window));
            return;
        case CE_ToolBar:
            painter->fillRect(option->rect, option->palette.color(QPalette::Window));
            return;
        default:
            QProxyStyle::drawControl(element, option, painter, widget);
    }
}

void VelmoraStyle::drawMenuItem(const QStyleOption* option, QPainter* painter, const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return QProxyStyle::drawControl(CE_MenuItem, option, painter, widget);
    const QPalette& pal = item->palette;
    const QRect r = item->rect;
    painter->save();
    painter->fillRect(r, pal.color(QPalette::Base));
    painter->fillRect(QRect(r.left(), r.top(), kIconColumnWidth, r.height()), pal.color(QPalette::Button));
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
        painter->setPen(pal.color(QPalette::Active, QPalette::Mid));
        int y = r.center().y();
        painter->drawLine(r.left() + kIconColumnWidth + kTextGap, y, r.right() - kTextGap, y);
        painter->restore();
        return;
    }
    bool enabled = item->state & State_Enabled;
    if (enabled && (item->state & State_Selected)) drawSelection(painter, r, pal, false);

    QRect iconRect(r.left(), r.top(), kIconColumnWidth, r.height());
    if (!item->icon.isNull()) {
        QPixmap picture = item->icon.pixmap(QSize(16, 16), painter->device()->devicePixelRatio(),
                                            enabled ? QIcon::Normal : QIcon::Disabled,
                                            item->checked ? QIcon::On : QIcon::Off);
        QRect at = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(16, 16), iconRect);
        painter->drawPixmap(at, picture);
    } else if (item->checkType != QStyleOptionMenuItem::NotCheckable && item->checked) {
        QStyleOptionMenuItem check = *item;
        check.rect = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(12, 12), iconRect);
        proxy()->drawPrimitive(PE_IndicatorCheckBox, &check, painter, widget);
    }

    painter->setPen(enabled ? menuTextColor(pal) : inactiveCaptionColor());
    painter->setFont(item->font);
    QRect textRect = r.adjusted(kIconColumnWidth + kTextGap, 0, -(kArrowWidth + kTextGap), 0);
    QString text = item->text;
    int tab = static_cast<int>(text.indexOf(QLatin1Char('\t')));
    int flags = Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    painter->drawText(textRect, flags | Qt::AlignLeft, tab < 0 ? text : text.left(tab));
    if (tab >= 0) painter->drawText(textRect, flags | Qt::AlignRight, text.mid(tab + 1));
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
        QStyleOptionMenuItem arrow = *item;
        arrow.rect = QRect(r.right() - kArrowWidth, r.top(), kArrowWidth, r.height());
        arrow.palette.setColor(QPalette::ButtonText, painter->pen().color());
        proxy()->drawPrimitive(PE_IndicatorArrowRight, &arrow, painter, widget);
    }
    painter->restore();
}

void VelmoraStyle::drawMenuBarItem(const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (!item) return QProxyStyle::drawControl(CE_MenuBarItem, option, painter, widget);
    const QPalette& pal = item->palette;
    painter->save();
    painter->fillRect(item->rect, pal.color(QPalette::Window));
    bool enabled = item->state & State_Enabled;
    if (enabled && (item->state & (State_Selected | State_Sunken)))
        drawSelection(painter, item->rect, pal, item->state & State_Sunken);
    painter->setPen(enabled ? menuTextColor(pal) : inactiveCaptionColor());
    painter->setFont(item->font);
    painter->drawText(item->rect, Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine, item->text);
    painter->restore();
}

void VelmoraStyle::polish(QPalette& palette) {
    QProxyStyle::polish(palette);
    // Disabled captions stay visible against the coloured tool bars: a mid grey instead of the
    // pale one, still plainly not the black of an enabled caption.
    for (QPalette::ColorRole role : {QPalette::ButtonText, QPalette::WindowText, QPalette::Text})
        palette.setColor(QPalette::Disabled, role, QColor(109, 109, 109));
}

void VelmoraStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (isMenu(widget)) widget->setFont(menuFont());
}

}  // namespace velmora
