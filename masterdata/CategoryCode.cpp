#include "masterdata/CategoryCode.h"

namespace velmora {

CategoryLevel categoryLevel(const QString& code) {
    switch (code.trimmed().size()) {
        case 2:
            return CategoryLevel::Top;
        case 6:
            return CategoryLevel::Sub;
        default:
            return CategoryLevel::None;
    }
}

QString categoryNodeText(const QString& code, const QString& name) {
    return QLatin1Char('(') + code + QStringLiteral(") ") + name;
}

QString codeByPosition(const QString& nodeText, CategoryLevel level) {
    switch (level) {
        case CategoryLevel::Top:
            return nodeText.mid(1, 2);
        case CategoryLevel::Sub:
            return nodeText.mid(1, 6);
        case CategoryLevel::None:
            break;
    }
    return QString();
}

QString codeBetweenParentheses(const QString& nodeText) {
    qsizetype close = nodeText.indexOf(QLatin1Char(')'));
    QString head = close < 0 ? nodeText : nodeText.left(close + 1);
    // The leading "(" and the closing ")" go; a text without them keeps its other characters.
    if (head.startsWith(QLatin1Char('('))) head.remove(0, 1);
    if (head.endsWith(QLatin1Char(')'))) head.chop(1);
    return head;
}

}  // namespace velmora
