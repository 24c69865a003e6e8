#pragma once

#include <QPushButton>

namespace velmora {

// A push button with a picture. The standard kinds take their caption from Qt's own translated
// texts (确定, 取消 with the Chinese translations loaded) and a picture of their own.
class BitBtn : public QPushButton {
    Q_OBJECT

  public:
    enum class Kind { Custom, Ok, Cancel };

    explicit BitBtn(Kind kind, QWidget* parent = nullptr);
    BitBtn(const QString& caption, const QPixmap& glyph, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }

    // The caption of a standard button in the current language.
    static QString standardCaption(Kind kind);

  private:
    Kind kind_;
};

}  // namespace velmora
