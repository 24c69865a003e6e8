#pragma once
// A report's rows written to a file for a spreadsheet: the column titles, every row, the totals
// row last.

#include <functional>
#include <string>

namespace velmora {

class ReportTable;

enum class ExportFormat { Csv, Xlsx };

// Told the rows written so far out of all; returns false to stop. Called every few hundred rows.
using ExportProgress = std::function<bool(int done, int total)>;

// The format a file name asks for by its suffix (".xlsx" in any case), CSV otherwise.
ExportFormat exportFormatOf(const std::string& path);

// Writes table to path in format. False when progress stopped it; the partial file is then
// removed. A file that cannot be written raises VelmoraError with a text for the operator.
bool exportTable(const ReportTable& table, const std::string& path, ExportFormat format,
                 const ExportProgress& progress = {});

}  // namespace velmora
