#pragma once
// The salesman picker.

#include <QString>
#include <optional>

#include "widgets/DialogForm.h"

class QListWidget;

namespace velmora {

class BitBtn;
class Tdm;

// The salesman picker: a list of "code name" lines read from the server each time it is shown;
// after it closes, chosenCode() holds the code of the line chosen, for the invoicing window to
// write into its salesman code box. One instance, created hidden at start-up and reused.
class TFrmywyquery : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmywyquery(Tdm& dm);

    QListWidget* ListBox1 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    void ListBox1DblClick();
    void BitBtn1Click();

    // The code chosen in the last showing; none when it was cancelled.
    const std::optional<QString>& chosenCode() const { return chosenCode_; }

  protected:
    void FormShow() override;

  private:
    void choose();

    Tdm& dm;
    std::optional<QString> chosenCode_;
};

inline TFrmywyquery* Frmywyquery = nullptr;

}  // namespace velmora
