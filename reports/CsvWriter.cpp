#include "reports/CsvWriter.h"

#include "transport/Variant.h"

namespace velmora {

CsvWriter::CsvWriter(std::ostream& out) : out_(out) {
    out_ << "\xEF\xBB\xBF";
}

std::string csvField(std::string_view text) {
    // A spreadsheet runs text that starts like a formula; a typed name must stay a name.
    std::string guarded;
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos) {
        guarded = "'" + std::string(text);
        text = guarded;
    }
    bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                 (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

void CsvWriter::writeRow(const std::vector<CsvCell>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) {
        if (i) out_ << ',';
        out_ << (cells[i].number ? formatDouble15(*cells[i].number) : csvField(cells[i].text));
    }
    out_ << "\r\n";
}

void CsvWriter::writeRow(const std::vector<std::string>& texts) {
    std::vector<CsvCell> cells;
    cells.reserve(texts.size());
    for (const std::string& text : texts) cells.push_back({text, std::nullopt});
    writeRow(cells);
}

}  // namespace velmora
