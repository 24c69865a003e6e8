#pragma once
// Comma-separated text for spreadsheet programs: UTF-8 with a byte-order mark (without it they
// read Chinese text in the local code page), fields quoted where the format needs it.

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One field: text, or a number written plainly (no thousands separators, at most 15 significant
// digits) so that the spreadsheet reads it as a number.
struct CsvCell {
    std::string text;
    std::optional<double> number;
};

class CsvWriter {
  public:
    // Writes the byte-order mark at once; out must outlive the writer.
    explicit CsvWriter(std::ostream& out);

    void writeRow(const std::vector<CsvCell>& cells);
    void writeRow(const std::vector<std::string>& texts);

  private:
    std::ostream& out_;
};

// text as one field: in double quotes, inner quotes doubled, when it holds a comma, a quote, a line
// break or blanks at either end; as it is otherwise. Text that a spreadsheet would take for a
// formula (starting with = + - @, a tab or a carriage return) gets a leading apostrophe.
std::string csvField(std::string_view text);

}  // namespace velmora
