#include "reports/TableExport.h"

#include <cstdio>
#include <fstream>

#include "data/ValueText.h"
#include "reports/CsvWriter.h"
#include "reports/ReportTable.h"
#include "reports/XlsxWriter.h"

namespace velmora {

namespace {

constexpr int kProgressEvery = 500;

bool keepGoing(const ExportProgress& progress, int row, int total) {
    if (!progress || row % kProgressEvery != 0) return true;
    return progress(row, total);
}

std::vector<std::string> titlesOf(const ReportTable& table) {
    std::vector<std::string> titles;
    for (const ReportColumn& column : table.columns()) titles.push_back(column.title);
    return titles;
}

XlsxWriter::CellKind kindOf(const ReportColumn& column) {
    switch (column.kind) {
        case ReportColumn::Kind::Amount:
            return XlsxWriter::CellKind::Amount;
        case ReportColumn::Kind::Number:
            return XlsxWriter::CellKind::Number;
        default:
            return XlsxWriter::CellKind::Text;
    }
}

// A cell of row (or of the totals row, row -1) with its number where the column holds one.
XlsxWriter::Cell cellOf(const ReportTable& table, int row, int column) {
    const ReportColumn& def = table.columns()[static_cast<size_t>(column)];
    XlsxWriter::Cell cell;
    cell.kind = kindOf(def);
    if (row < 0) {
        cell.text = table.totals()[static_cast<size_t>(column)];
        if (def.kind != ReportColumn::Kind::Text) cell.number = parseNumber(cell.text);
    } else {
        cell.number = table.cellNumber(row, column);
        if (!cell.number) cell.text = table.cellText(row, column);
    }
    if (cell.number) cell.text.clear();
    return cell;
}

std::vector<XlsxWriter::Cell> rowOf(const ReportTable& table, int row) {
    std::vector<XlsxWriter::Cell> cells;
    cells.reserve(static_cast<size_t>(table.columnCount()));
    for (int c = 0; c < table.columnCount(); ++c) cells.push_back(cellOf(table, row, c));
    return cells;
}

std::vector<CsvCell> csvRowOf(const ReportTable& table, int row) {
    std::vector<CsvCell> cells;
    for (XlsxWriter::Cell& cell : rowOf(table, row)) cells.push_back({std::move(cell.text), cell.number});
    return cells;
}

bool writeCsv(const ReportTable& table, const std::string& path, const ExportProgress& progress) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw VelmoraError("无法写入文件“" + path + "”。");
    CsvWriter csv(out);
    csv.writeRow(titlesOf(table));
    for (int row = 0, rows = table.rowCount(); row < rows; ++row) {
        if (!keepGoing(progress, row, rows)) return false;
        csv.writeRow(csvRowOf(table, row));
    }
    if (table.hasTotals()) csv.writeRow(csvRowOf(table, -1));
    out.flush();
    if (!out) throw VelmoraError("写入文件“" + path + "”失败。");
    return true;
}

bool writeXlsx(const ReportTable& table, const std::string& path, const ExportProgress& progress) {
    XlsxWriter xlsx(path, table.title().empty() ? "Sheet1" : table.title());
    xlsx.writeTitles(titlesOf(table));
    for (int row = 0, rows = table.rowCount(); row < rows; ++row) {
        if (!keepGoing(progress, row, rows)) return false;
        xlsx.writeRow(rowOf(table, row));
    }
    if (table.hasTotals()) xlsx.writeBoldRow(rowOf(table, -1));
    xlsx.close();
    return true;
}

}  // namespace

ExportFormat exportFormatOf(const std::string& path) {
    if (path.size() < 5) return ExportFormat::Csv;
    std::string suffix = path.substr(path.size() - 5);
    for (char& c : suffix) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".xlsx" ? ExportFormat::Xlsx : ExportFormat::Csv;
}

bool exportTable(const ReportTable& table, const std::string& path, ExportFormat format,
                 const ExportProgress& progress) {
    bool finished = false;
    try {
        finished =
            format == ExportFormat::Xlsx ? writeXlsx(table, path, progress) : writeCsv(table, path, progress);
    } catch (...) {
        std::remove(path.c_str());
        throw;
    }
    if (!finished) std::remove(path.c_str());
    return finished;
}

}  // namespace velmora
