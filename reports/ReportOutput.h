#pragma once
// Printing and exporting a report: the result windows hand over their table, these functions do
// the rest (preview, save dialog, progress, messages).

class QWidget;

namespace velmora {

class ReportTable;
struct PrintSheet;

// The report as a printout: its title, criteria, columns, rows and totals. table must outlive
// the sheet.
PrintSheet printSheetOf(const ReportTable& table);

// Shows the print preview of table.
void previewReport(const ReportTable& table, QWidget* parent);

// Asks where to save table (CSV or XLSX) and writes it with a cancellable progress; says where the
// file went. A file that cannot be written reaches the error box.
void exportReport(const ReportTable& table, QWidget* parent);

}  // namespace velmora
