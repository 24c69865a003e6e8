#pragma once

#include <QString>
#include <optional>

#include "widgets/DialogForm.h"

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;

namespace velmora {

class BitBtn;
class ClientSession;
class SummaryResultForm;
struct SummaryCriteria;
struct SummaryShape;

// What the sales summary query dialogs share: a date range and an optional code whose picker opens
// on a double-click, laid out alike; OK runs the summary's grouped statement and shows its rows in
// the summary's result window. Created at start-up and reused; the dates persist, the code is
// emptied on every showing.
class SummaryQueryForm : public DialogForm {
    Q_OBJECT

  public:
    QLabel* Label3 = nullptr;  // heading
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* dp1 = nullptr;  // first date
    QLabel* Label9 = nullptr;
    QDateEdit* dp2 = nullptr;  // last date
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;  // the code
    QLabel* Label4 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    // Opens the picker and takes the code chosen.
    void Edit1DblClick();
    // Runs the summary, shows the result window and ends the dialog.
    void BitBtn1Click();

  protected:
    // The texts that tell one summary's dialog from another's.
    struct Texts {
        QString caption;
        QString heading;
        QString codeCaption;  // "客户编号："
        QString hint;
    };
    SummaryQueryForm(ClientSession& session, const Texts& texts);

    // The picker of the code: the code chosen, or none when it was cancelled.
    virtual std::optional<QString> pickCode() = 0;
    virtual const SummaryShape& shape() const = 0;
    // Opens (or brings forward) the result window.
    virtual SummaryResultForm* resultWindow() = 0;

    // Empties the code; the dates stay.
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    ClientSession& session_;

  private:
    SummaryCriteria criteria() const;
};

}  // namespace velmora
