#pragma once
// Edit masks as the fields carry them ("99-999;1;_": the mask, whether literal characters are
// saved with the value, the blank character) translated to Qt input masks.

#include <QString>
#include <string>
#include <vector>

namespace velmora {

struct InputMask {
    QString qtMask;             // for QLineEdit::setInputMask, blank included ("00-000;_"); empty: none
    bool saveLiterals = true;   // the literal characters are part of the value
    std::vector<bool> literal;  // per text position: a literal character rather than an input slot

    bool empty() const { return qtMask.isEmpty(); }
};

// In the fields' masks 0 is a required digit and 9 an optional one, L/l a required/optional
// letter, A/a a required/optional letter or digit, C/c a required/optional character, # an
// optional digit or sign, \x the literal x, > and < case conversion, _ a blank; anything else is
// a literal. Qt's masks swap the digit characters and name the others differently.
InputMask translateEditMask(const std::string& editMask);

// The value a masked box holds for its field: "" when nothing was typed into any slot, else the
// text without blanks, and without the literals when they are not saved.
QString maskedValue(const QString& displayText, QChar blank, const InputMask& mask);

}  // namespace velmora
