#include "widgets/PictureBox.h"

#include <QMouseEvent>

namespace velmora {

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_TranslucentBackground);
}

PictureBox::PictureBox(const QPixmap& picture, QWidget* parent) : PictureBox(parent) {
    setPixmap(picture);
    resize(picture.size());
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

}  // namespace velmora
