#pragma once
// The print preview every printout of the program goes through.

#include <functional>

class QPrinter;
class QWidget;

namespace velmora {

struct PrintSheet;

// Paints sheet on printer while a progress dialog over parent counts the pages; its Cancel stops
// the painting. False when cancelled. Call on the UI thread.
bool printWithProgress(const PrintSheet& sheet, QPrinter& printer, QWidget* parent);

// Shows the preview of sheet on A4 (landscape where its columns need it); from it the user prints
// or saves a PDF. Cancelling the progress closes the preview.
void showPrintPreview(const PrintSheet& sheet, QWidget* parent);

}  // namespace velmora
