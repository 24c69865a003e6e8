#pragma once
// The print preview every printout of the program goes through.

#include <functional>
#include <limits>

class QPrinter;
class QString;
class QWidget;

namespace velmora {

struct PrintSheet;

// Paints sheet (at most maxPages of it) on printer while a progress dialog over parent counts the
// pages; its Cancel stops the painting. False when cancelled. Call on the UI thread.
bool printWithProgress(const PrintSheet& sheet, QPrinter& printer, QWidget* parent,
                       int maxPages = std::numeric_limits<int>::max());

// The most pages a preview shows. A preview holds every page it shows in memory (some 100 KB a
// page of a wide report), so a report of many thousand pages shows its first pages; printing it,
// or saving it as PDF, from the preview puts out every page.
constexpr int kPreviewPages = 300;

// Whether printer is painting a preview rather than printing.
bool isPreview(QPrinter& printer);

// The printer chosen in the printer setup, which previews print on; empty for the system's default.
void setChosenPrinter(const QString& name);
QString chosenPrinter();

// Shows the preview of sheet on A4 (landscape where its columns need it); from it the user prints
// or saves a PDF. Cancelling the progress closes the preview.
void showPrintPreview(const PrintSheet& sheet, QWidget* parent);

}  // namespace velmora
