#pragma once

#include <QLabel>

namespace velmora {

// An entry label of the navigation panel: reports mouse movements over it and clicks on it, and
// shows itself highlighted (underlined, pure blue, hand cursor) or plain.
class NavLabel : public QLabel {
    Q_OBJECT

  public:
    NavLabel(const QString& caption, QWidget* parent);

    void setHighlighted(bool on);
    // What a click does; also the press action assistive technology offers.
    Q_INVOKABLE void click() { emit clicked(); }
    bool highlighted() const { return highlighted_; }

  signals:
    void mouseMoved();
    void clicked();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool highlighted_ = false;
    bool pressed_ = false;
};

}  // namespace velmora
