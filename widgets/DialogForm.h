#pragma once

#include <QDialog>

#include "widgets/BitBtn.h"

namespace velmora {

// Modal results, numbered as the windows' code expects them.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// A dialog of the program: a fixed client size, a single border with the system menu and the
// minimise button, centred on the screen when it is shown, reused between showings. Esc and the
// close box end it with mrCancel unless a subclass decides otherwise.
class DialogForm : public QDialog {
    Q_OBJECT

  public:
    explicit DialogForm(QWidget* parent = nullptr);
    ~DialogForm() override;

    void setCaption(const QString& caption) { setWindowTitle(caption); }
    // Fixes the size of the client area.
    void setClientSize(int width, int height);
    void setBackground(const QColor& color);

    // Shows the dialog modally and returns its modal result.
    int ShowModal();
    // Ends a modal showing with result (the dialog is hidden).
    void setModalResult(int result) { done(result); }

    void reject() override { done(mrCancel); }

    // A standard OK or Cancel button (75 x 25) at left, top that ends the dialog with result;
    // mrNone leaves the click to the caller.
    BitBtn* addStandardButton(BitBtn::Kind kind, const char* name, int left, int top, int result);

  protected:
    // Runs each time the dialog is shown, before it is painted.
    virtual void FormShow() {}

    void showEvent(QShowEvent* event) override;

  private:
    void centreOnScreen();
};

}  // namespace velmora
