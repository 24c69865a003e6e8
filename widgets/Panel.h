#pragma once

#include <QFrame>

namespace velmora {

// A panel with an outer and an inner bevel of one pixel each, raised, lowered or none, and a
// background colour of its own.
class Panel : public QFrame {
    Q_OBJECT

  public:
    enum class Bevel { None, Lowered, Raised };

    explicit Panel(QWidget* parent = nullptr, Bevel outer = Bevel::Raised, Bevel inner = Bevel::None);

    void setBevels(Bevel outer, Bevel inner);
    void setColor(const QColor& color);
    QColor Color() const;
    // The width of the bevels: children aligned to the panel's edges start inside it.
    int bevelWidth() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Bevel outer_;
    Bevel inner_;
};

}  // namespace velmora
