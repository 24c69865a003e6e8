#pragma once
// A sheet laid out on the pages of one printer: the title and header lines on the first page,
// the column titles repeated on every page, the totals and closing lines after the last row, and
// on every page its number, the page count and the printing date. A stamp, if any, stands framed in
// red at the right of the title. Rows are read only for the page
// being drawn, so a sheet of many rows costs nothing until it is printed.

#include <QFont>
#include <QRectF>
#include <QStringList>
#include <functional>
#include <limits>
#include <vector>

#include "widgets/PrintSheet.h"

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace velmora {

// The typeface of the windows ("宋体") at a size in points, for printing.
QFont printFont(double points, bool bold = false);

class PrintLayout {
  public:
    // Lays sheet out on the pages of device (its page rectangle and resolution, as set now).
    PrintLayout(const PrintSheet& sheet, QPagedPaintDevice& device);

    int pageCount() const { return pageCount_; }
    // The first row on page and the count of rows it holds.
    int firstRowOf(int page) const;
    int rowsOn(int page) const;

    void paintPage(QPainter& painter, int page) const;
    // Every text drawn on page, in the order drawn (for checks that read pages, not pixels).
    QStringList pageTexts(int page) const;

    // Whether the columns' natural widths exceed the width of a portrait page of device.
    static bool needsLandscape(const PrintSheet& sheet, QPagedPaintDevice& device);

  private:
    struct Piece {
        QRectF rect;
        QString text;
        int flags;
        const QFont* font;
    };
    using TextSink = std::function<void(const Piece&)>;

    void layOutColumns(QPagedPaintDevice& device);
    void paginate();
    // Calls sink for each text of page; lines go to the painter when there is one.
    void walkPage(int page, const TextSink& sink, QPainter* painter) const;
    double headerHeight(int page) const;
    double closingHeight() const;
    void walkRow(double top, const QStringList& texts, const QFont& font, const TextSink& sink) const;
    void paintStamp(QPainter& painter, const Piece& piece) const;

    const PrintSheet& sheet_;
    QFont body_, bold_, title_, stamp_;  // a piece in stamp_ is drawn as the sheet's stamp
    QRectF page_;                        // the printable area, in device pixels
    QRectF stampRect_;                   // where the stamp stands on the first page
    double rowHeight_ = 0, lineHeight_ = 0, titleHeight_ = 0, pad_ = 0;
    std::vector<double> columnLeft_, columnWidth_;
    int firstPageRows_ = 0, pageRows_ = 0, pageCount_ = 1;
    bool closingOnOwnPage_ = false;
};

// Paints the pages of sheet on printer, at most maxPages of them; progress(pagesDone, pagesToPaint)
// after each page, and returning false stops the printing there. False when stopped.
bool printSheet(const PrintSheet& sheet, QPrinter& printer,
                const std::function<bool(int, int)>& progress = {},
                int maxPages = std::numeric_limits<int>::max());

}  // namespace velmora
