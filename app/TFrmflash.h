#pragma once
// The splash window.

#include <QWidget>

namespace velmora {

class PictureBox;

// The splash window: a borderless picture centred on the screen while the program builds its
// windows. It has no controls; clicks and keys do nothing.
class TFrmflash : public QWidget {
    Q_OBJECT

  public:
    TFrmflash();
    ~TFrmflash() override;

    // Shows the window and paints it at once, before the start-up goes on without the loop.
    void showAndPaint();

    PictureBox* Image1 = nullptr;
};

inline TFrmflash* Frmflash = nullptr;

}  // namespace velmora
