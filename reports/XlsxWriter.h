#pragma once
// A workbook of one sheet or more, written row by row: bold column titles in a frozen first row, numbers
// as numbers (amounts with two decimals), text as text. Rows are streamed to the file, so a
// large report costs little memory.

#include <optional>
#include <string>
#include <vector>

#include "transport/Errors.h"

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace velmora {

// A workbook that could not be written; what() says why, for the operator.
class XlsxError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

class XlsxWriter {
  public:
    enum class CellKind { Text, Number, Amount };
    struct Cell {
        std::string text;
        std::optional<double> number;  // written as a number when set
        CellKind kind = CellKind::Text;
    };

    // Creates the workbook at path (replacing a file there when closed) with one sheet.
    XlsxWriter(const std::string& path, const std::string& sheetName);
    ~XlsxWriter();
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    // Starts another sheet after the current one, which is finished; rows go to it from its first.
    void addSheet(const std::string& sheetName);
    // The first row, in bold and frozen; widths follow the titles.
    void writeTitles(const std::vector<std::string>& titles);
    void writeRow(const std::vector<Cell>& cells);
    // A row in bold (the totals).
    void writeBoldRow(const std::vector<Cell>& cells);
    // Finishes the file; XlsxError when it could not be written.
    void close();

  private:
    void write(const std::vector<Cell>& cells, bool bold);
    void check(int error, const char* what) const;

    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* bold_ = nullptr;
    lxw_format* amount_ = nullptr;
    lxw_format* boldAmount_ = nullptr;
    unsigned row_ = 0;
    std::string path_;
};

}  // namespace velmora
