#pragma once
// Text between the layers: the core holds UTF-8 std::string, the windows hold QString.

#include <QString>
#include <string>

namespace velmora {

inline QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}
inline std::string toStdString(const QString& text) {
    return text.toStdString();
}

// A value typed by the user, made safe to stand between single quotes in SQL text: every single
// quote is doubled, so the value can never end the literal early.
inline QString sqlEscaped(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

}  // namespace velmora
