#pragma once
// The about box.

#include "widgets/DialogForm.h"

class QLabel;
class QPushButton;

namespace velmora {

class Panel;

// The about box: the product's name, version and its author's contact lines. Created during
// start-up, where its creation holds the start-up for a busy delay that keeps the splash on
// screen; reused for every showing.
class TAboutBox : public DialogForm {
    Q_OBJECT

  public:
    TAboutBox();

    // Passes of the creation's busy delay, each counting 10,001 steps. Tests shorten it.
    static inline int BusyDelayPasses = 50000;

    Panel* Panel1 = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* OKButton = nullptr;

  protected:
    void FormShow() override;

  private:
    static void busyDelay(int passes);
};

inline TAboutBox* AboutBox = nullptr;

}  // namespace velmora
