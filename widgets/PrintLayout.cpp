#include "widgets/PrintLayout.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "transport/Errors.h"

namespace velmora {

namespace {

// Rows read to size the columns: enough to see the usual widths, few enough for any sheet.
constexpr int kSampleRows = 200;

std::vector<double> naturalWidths(const PrintSheet& sheet, const QFontMetricsF& body,
                                  const QFontMetricsF& bold, double pad) {
    std::vector<double> widths;
    for (size_t c = 0; c < sheet.columns.size(); ++c) {
        double width = bold.horizontalAdvance(sheet.columns[c].title);
        int column = static_cast<int>(c);
        for (int row = 0, rows = std::min(sheet.rowCount, kSampleRows); row < rows; ++row)
            width = std::max(width, body.horizontalAdvance(sheet.cell(row, column)));
        if (c < static_cast<size_t>(sheet.totals.size()))
            width = std::max(width, bold.horizontalAdvance(sheet.totals[column]));
        widths.push_back(width + 2 * pad);
    }
    return widths;
}

double padOf(const QFontMetricsF& body) {
    return body.height() * 0.4;
}

}  // namespace

QFont printFont(double points, bool bold) {
    QFont font(QStringLiteral("宋体"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

PrintLayout::PrintLayout(const PrintSheet& sheet, QPagedPaintDevice& device)
    : sheet_(sheet),
      body_(printFont(9)),
      bold_(printFont(9, true)),
      title_(printFont(16, true)),
      stamp_(printFont(14, true)) {
    page_ = QRectF(0, 0, device.width(), device.height());
    QFontMetricsF body(body_, &device);
    lineHeight_ = body.height() * 1.4;
    rowHeight_ = body.height() * 1.6;
    titleHeight_ = QFontMetricsF(title_, &device).height() * 1.8;
    pad_ = padOf(body);
    // The stamp stands at the right, centred on the title's line.
    QFontMetricsF stamp(stamp_, &device);
    const double stampHeight = stamp.height() * 1.5;
    const double stampWidth = stamp.horizontalAdvance(sheet_.stamp) + stamp.height() * 1.2;
    stampRect_ =
        QRectF(page_.width() - stampWidth - pad_, (titleHeight_ - stampHeight) / 2, stampWidth, stampHeight);
    layOutColumns(device);
    paginate();
}

bool PrintLayout::needsLandscape(const PrintSheet& sheet, QPagedPaintDevice& device) {
    QFontMetricsF body(printFont(9), &device);
    std::vector<double> widths =
        naturalWidths(sheet, body, QFontMetricsF(printFont(9, true), &device), padOf(body));
    double total = 0;
    for (double w : widths) total += w;
    return total > std::min(device.width(), device.height());
}

void PrintLayout::layOutColumns(QPagedPaintDevice& device) {
    columnWidth_ = naturalWidths(sheet_, QFontMetricsF(body_, &device), QFontMetricsF(bold_, &device), pad_);
    double total = 0;
    for (double w : columnWidth_) total += w;
    // The table spans the page: narrow columns widen, wide ones shrink and their texts are cut.
    double scale = total > 0 ? page_.width() / total : 1;
    double left = 0;
    for (double& w : columnWidth_) {
        w *= scale;
        columnLeft_.push_back(left);
        left += w;
    }
}

double PrintLayout::headerHeight(int page) const {
    if (page == 0)
        return titleHeight_ + sheet_.headerLines.size() * lineHeight_ + lineHeight_ * 0.5 + rowHeight_;
    return lineHeight_ + rowHeight_;  // the running title and the column titles
}

double PrintLayout::closingHeight() const {
    double height = sheet_.totals.isEmpty() ? 0 : rowHeight_;
    if (!sheet_.footerLines.isEmpty()) height += lineHeight_ * (0.5 + sheet_.footerLines.size());
    return height;
}

void PrintLayout::paginate() {
    double footer = lineHeight_ * 1.5;
    auto rowsFitting = [&](int page) {
        return std::max(
            1, static_cast<int>(std::floor((page_.height() - headerHeight(page) - footer) / rowHeight_)));
    };
    firstPageRows_ = rowsFitting(0);
    pageRows_ = rowsFitting(1);
    int rows = sheet_.rowCount;
    pageCount_ = rows <= firstPageRows_ ? 1 : 1 + (rows - firstPageRows_ + pageRows_ - 1) / pageRows_;
    int last = pageCount_ - 1;
    double room = page_.height() - headerHeight(last) - footer - rowsOn(last) * rowHeight_;
    closingOnOwnPage_ = room < closingHeight();
    if (closingOnOwnPage_) ++pageCount_;
}

int PrintLayout::firstRowOf(int page) const {
    if (page <= 0) return 0;
    return std::min(sheet_.rowCount, firstPageRows_ + (page - 1) * pageRows_);
}

int PrintLayout::rowsOn(int page) const {
    int capacity = page == 0 ? firstPageRows_ : pageRows_;
    return std::clamp(sheet_.rowCount - firstRowOf(page), 0, capacity);
}

void PrintLayout::walkRow(double top, const QStringList& texts, const QFont& font,
                          const TextSink& sink) const {
    for (size_t c = 0; c < columnLeft_.size() && c < static_cast<size_t>(texts.size()); ++c) {
        const QString& text = texts[static_cast<qsizetype>(c)];
        if (text.isEmpty()) continue;
        int align = sheet_.columns[c].number ? Qt::AlignRight : Qt::AlignLeft;
        sink({QRectF(columnLeft_[c] + pad_, top, columnWidth_[c] - 2 * pad_, rowHeight_), text,
              align | Qt::AlignVCenter | Qt::TextSingleLine, &font});
    }
}

void PrintLayout::walkPage(int page, const TextSink& sink, QPainter* painter) const {
    const double width = page_.width();
    double y = 0;
    if (page == 0) {
        sink({QRectF(0, 0, width, titleHeight_), sheet_.title, Qt::AlignCenter, &title_});
        if (!sheet_.stamp.isEmpty()) sink({stampRect_, sheet_.stamp, Qt::AlignCenter, &stamp_});
        y = titleHeight_;
        for (const QString& line : sheet_.headerLines) {
            sink({QRectF(0, y, width, lineHeight_), line, Qt::AlignLeft | Qt::AlignVCenter, &body_});
            y += lineHeight_;
        }
        y += lineHeight_ * 0.5;
    } else {
        sink({QRectF(0, 0, width, lineHeight_), sheet_.title + QStringLiteral("（续）"),
              Qt::AlignLeft | Qt::AlignVCenter, &body_});
        y = lineHeight_;
    }

    const double tableTop = y;
    QStringList titles;
    for (const PrintColumn& column : sheet_.columns) titles << column.title;
    walkRow(y, titles, bold_, sink);
    y += rowHeight_;
    if (painter) painter->drawLine(QPointF(0, y), QPointF(width, y));

    QStringList texts;
    const int columns = static_cast<int>(sheet_.columns.size());
    for (int row = firstRowOf(page), end = row + rowsOn(page); row < end; ++row) {
        texts.clear();
        for (int c = 0; c < columns; ++c) texts << sheet_.cell(row, c);
        walkRow(y, texts, body_, sink);
        y += rowHeight_;
        if (painter) painter->drawLine(QPointF(0, y), QPointF(width, y));
    }

    bool last = page == pageCount_ - 1;
    if (last && !sheet_.totals.isEmpty()) {
        walkRow(y, sheet_.totals, bold_, sink);
        y += rowHeight_;
        if (painter) painter->drawLine(QPointF(0, y), QPointF(width, y));
    }
    if (painter && y > tableTop) {
        painter->drawLine(QPointF(0, tableTop), QPointF(width, tableTop));
        for (double left : columnLeft_) painter->drawLine(QPointF(left, tableTop), QPointF(left, y));
        painter->drawLine(QPointF(width, tableTop), QPointF(width, y));
    }
    if (last && !sheet_.footerLines.isEmpty()) {
        y += lineHeight_ * 0.5;
        for (const QString& line : sheet_.footerLines) {
            sink({QRectF(0, y, width, lineHeight_), line, Qt::AlignLeft | Qt::AlignVCenter, &body_});
            y += lineHeight_;
        }
    }

    QRectF footer(0, page_.height() - lineHeight_, width, lineHeight_);
    sink({footer, QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(pageCount_), Qt::AlignCenter,
          &body_});
    sink({footer, QStringLiteral("打印日期：%1").arg(sheet_.printDate.toString(QStringLiteral("yyyy-MM-dd"))),
          Qt::AlignRight | Qt::AlignVCenter, &body_});
}

void PrintLayout::paintPage(QPainter& painter, int page) const {
    painter.save();
    painter.setPen(QPen(Qt::black, 0));
    walkPage(
        page,
        [this, &painter](const Piece& piece) {
            if (piece.font == &stamp_) return paintStamp(painter, piece);
            painter.setFont(*piece.font);
            QString text =
                painter.fontMetrics().elidedText(piece.text, Qt::ElideRight, qFloor(piece.rect.width()));
            painter.drawText(piece.rect, piece.flags, text);
        },
        &painter);
    painter.restore();
}

void PrintLayout::paintStamp(QPainter& painter, const Piece& piece) const {
    painter.save();
    const QColor red(200, 0, 0);
    painter.setPen(QPen(red, pad_ * 0.35));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(piece.rect);
    painter.setFont(*piece.font);
    painter.drawText(piece.rect, piece.flags, piece.text);
    painter.restore();
}

QStringList PrintLayout::pageTexts(int page) const {
    QStringList texts;
    walkPage(
        page, [&texts](const Piece& piece) { texts << piece.text; }, nullptr);
    return texts;
}

bool printSheet(const PrintSheet& sheet, QPrinter& printer, const std::function<bool(int, int)>& progress,
                int maxPages) {
    PrintLayout layout(sheet, printer);
    QPainter painter;
    if (!painter.begin(&printer)) throw VelmoraError("无法开始打印：打印机或文件不可用。");
    const int pages = std::min(layout.pageCount(), std::max(1, maxPages));
    for (int page = 0; page < pages; ++page) {
        if (page > 0) printer.newPage();
        layout.paintPage(painter, page);
        if (progress && !progress(page + 1, pages)) {
            painter.end();
            return false;
        }
    }
    painter.end();
    return true;
}

}  // namespace velmora
