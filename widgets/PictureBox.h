#pragma once

#include <QLabel>

namespace velmora {

// A picture on a window. It takes the mouse movements over it for itself, so the panel below it
// does not see them as movements over its bare background.
class PictureBox : public QLabel {
    Q_OBJECT

  public:
    explicit PictureBox(QWidget* parent = nullptr);
    PictureBox(const QPixmap& picture, QWidget* parent);

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

}  // namespace velmora
