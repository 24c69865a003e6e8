#include "widgets/EditMask.h"

#include <QStringList>

namespace velmora {

namespace {

// Characters with a meaning of their own in a Qt input mask.
bool qtSpecial(QChar c) {
    return QStringLiteral("AaNnXx90Dd#HhBb><![]{}\\").contains(c);
}

QString qtSlot(QChar c) {
    switch (c.unicode()) {
        case '0':
            return QStringLiteral("9");
        case '9':
            return QStringLiteral("0");
        case 'L':
            return QStringLiteral("A");
        case 'l':
            return QStringLiteral("a");
        case 'A':
            return QStringLiteral("N");
        case 'a':
            return QStringLiteral("n");
        case 'C':
            return QStringLiteral("X");
        case 'c':
            return QStringLiteral("x");
        case '#':
            return QStringLiteral("#");
        default:
            return QString();
    }
}

}  // namespace

InputMask translateEditMask(const std::string& editMask) {
    InputMask result;
    QString text = QString::fromStdString(editMask);
    if (text.isEmpty()) return result;

    // The mask ends at the first unescaped ";"; then come the save flag and the blank.
    QString mask;
    QString rest;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size()) {
            mask += text[i];
            mask += text[++i];
        } else if (text[i] == QLatin1Char(';')) {
            rest = text.mid(i + 1);
            break;
        } else {
            mask += text[i];
        }
    }
    QStringList options = rest.split(QLatin1Char(';'));
    if (!rest.isEmpty() && !options.isEmpty()) result.saveLiterals = options[0] != QLatin1String("0");
    QChar blank = options.size() > 1 && !options[1].isEmpty() ? options[1][0] : QLatin1Char('_');

    QString out;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        QChar c = mask[i];
        if (c == QLatin1Char('\\') && i + 1 < mask.size()) {
            QChar lit = mask[++i];
            out += qtSpecial(lit) ? QStringLiteral("\\") + lit : QString(lit);
            result.literal.push_back(true);
        } else if (c == QLatin1Char('>') || c == QLatin1Char('<')) {
            if (c == QLatin1Char('<') && i + 1 < mask.size() && mask[i + 1] == QLatin1Char('>')) {
                out += QLatin1Char('!');
                ++i;
            } else {
                out += c;
            }
        } else if (c == QLatin1Char('!')) {
            // Leading or trailing blanks: Qt keeps the typed positions as they are.
        } else if (QString slot = qtSlot(c); !slot.isEmpty()) {
            out += slot;
            result.literal.push_back(false);
        } else {
            QChar lit = c == QLatin1Char('_') ? QLatin1Char(' ') : c;
            out += qtSpecial(lit) ? QStringLiteral("\\") + lit : QString(lit);
            result.literal.push_back(true);
        }
    }
    if (result.literal.empty()) return InputMask{};
    result.qtMask = out + QLatin1Char(';') + blank;
    return result;
}

QString maskedValue(const QString& displayText, QChar blank, const InputMask& mask) {
    QString value;
    bool typed = false;
    for (qsizetype i = 0; i < displayText.size(); ++i) {
        bool isLiteral = static_cast<size_t>(i) < mask.literal.size() && mask.literal[static_cast<size_t>(i)];
        QChar c = displayText[i];
        if (isLiteral) {
            if (mask.saveLiterals) value += c;
        } else if (c != blank) {
            value += c;
            typed = true;
        }
    }
    return typed ? value : QString();
}

}  // namespace velmora
