#include "reports/XlsxWriter.h"

#include <xlsxwriter.h>

#include <algorithm>

namespace velmora {

namespace {

lxw_format* addFormat(lxw_workbook* workbook, bool bold, bool amount) {
    lxw_format* format = workbook_add_format(workbook);
    if (bold) format_set_bold(format);
    if (amount) format_set_num_format(format, "0.00");
    return format;
}

// Characters of a UTF-8 text, a Chinese one counting two, as a column width of the spreadsheet.
double displayWidth(const std::string& text) {
    double width = 0;
    for (unsigned char c : text) {
        if (c >= 0xE0)
            width += 2;  // the lead byte of a three- or four-byte character
        else if (c < 0x80 || c >= 0xC0)
            width += 1;  // ASCII, or the lead byte of a two-byte character
    }
    return width;
}

}  // namespace

XlsxWriter::XlsxWriter(const std::string& path, const std::string& sheetName) : path_(path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;  // rows go to a temporary file as they come
    workbook_ = workbook_new_opt(path.c_str(), &options);
    if (!workbook_) throw XlsxError("无法创建文件“" + path + "”。");
    sheet_ = workbook_add_worksheet(workbook_, sheetName.c_str());
    bold_ = addFormat(workbook_, true, false);
    amount_ = addFormat(workbook_, false, true);
    boldAmount_ = addFormat(workbook_, true, true);
    if (!sheet_) {
        workbook_close(workbook_);
        workbook_ = nullptr;
        throw XlsxError("无法创建工作表“" + sheetName + "”。");
    }
}

void XlsxWriter::addSheet(const std::string& sheetName) {
    lxw_worksheet* sheet = workbook_add_worksheet(workbook_, sheetName.c_str());
    if (!sheet) throw XlsxError("无法创建工作表“" + sheetName + "”。");
    sheet_ = sheet;
    row_ = 0;
}

XlsxWriter::~XlsxWriter() {
    // An unfinished workbook is still freed; the caller removes the partial file.
    if (workbook_) workbook_close(workbook_);
}

void XlsxWriter::check(int error, const char* what) const {
    if (error == LXW_NO_ERROR) return;
    throw XlsxError(std::string(what) + "失败（" + lxw_strerror(static_cast<lxw_error>(error)) + "）：" +
                    path_);
}

void XlsxWriter::writeTitles(const std::vector<std::string>& titles) {
    for (size_t c = 0; c < titles.size(); ++c) {
        auto column = static_cast<lxw_col_t>(c);
        check(worksheet_set_column(sheet_, column, column, std::max(10.0, displayWidth(titles[c]) + 4),
                                   nullptr),
              "设置列宽");
    }
    std::vector<Cell> cells;
    cells.reserve(titles.size());
    for (const std::string& title : titles) cells.push_back({title, std::nullopt, CellKind::Text});
    write(cells, true);
    worksheet_freeze_panes(sheet_, 1, 0);
}

void XlsxWriter::writeRow(const std::vector<Cell>& cells) {
    write(cells, false);
}

void XlsxWriter::writeBoldRow(const std::vector<Cell>& cells) {
    write(cells, true);
}

void XlsxWriter::write(const std::vector<Cell>& cells, bool bold) {
    if (row_ >= LXW_ROW_MAX)
        throw XlsxError("行数超过工作表的上限（" + std::to_string(LXW_ROW_MAX) + " 行）。");
    for (size_t c = 0; c < cells.size(); ++c) {
        const Cell& cell = cells[c];
        auto column = static_cast<lxw_col_t>(c);
        if (cell.number) {
            lxw_format* format =
                cell.kind == CellKind::Amount ? (bold ? boldAmount_ : amount_) : (bold ? bold_ : nullptr);
            check(worksheet_write_number(sheet_, row_, column, *cell.number, format), "写入数字");
        } else if (!cell.text.empty()) {
            check(worksheet_write_string(sheet_, row_, column, cell.text.c_str(), bold ? bold_ : nullptr),
                  "写入文字");
        }
    }
    ++row_;
}

void XlsxWriter::close() {
    lxw_workbook* workbook = workbook_;
    workbook_ = nullptr;
    check(workbook_close(workbook), "保存工作簿");
}

}  // namespace velmora
