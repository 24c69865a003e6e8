#include "widgets/FailureText.h"

#include "transport/Errors.h"

namespace velmora {

namespace {
const char* const kConnectionLost = "与服务器的连接已断开。";
const char* const kServerFailed = "服务器未能完成这项操作。";
const char* const kOperationFailed = "操作未能完成。";
}  // namespace

bool opensInChinese(const QString& text) {
    if (text.isEmpty()) return false;
    char32_t first = text.at(0).isHighSurrogate() && text.size() > 1
                         ? QChar::surrogateToUcs4(text.at(0), text.at(1))
                         : text.at(0).unicode();
    // The CJK radicals, punctuation, ideographs and the full-width forms.
    return (first >= 0x2E80 && first <= 0x9FFF) || (first >= 0xF900 && first <= 0xFAFF) ||
           (first >= 0xFF00 && first <= 0xFFEF) || (first >= 0x20000 && first <= 0x3FFFF);
}

FailureText describeFailure(const std::exception& failure) {
    QString own = QString::fromUtf8(failure.what());
    if (dynamic_cast<const SocketConnectionError*>(&failure) || dynamic_cast<const SocketError*>(&failure))
        return {QString::fromUtf8(kConnectionLost), own, true};
    if (opensInChinese(own)) return {own, QString(), false};
    if (dynamic_cast<const RemoteError*>(&failure)) return {QString::fromUtf8(kServerFailed), own, false};
    return {QString::fromUtf8(kOperationFailed), own, false};
}

QString refusalText(const std::exception& refusal) {
    QString text = QString::fromUtf8(refusal.what()).trimmed();
    const qsizetype gloss = text.lastIndexOf(QStringLiteral(" ("));
    if (gloss > 0 && text.endsWith(QLatin1Char(')'))) text.truncate(gloss);
    return text;
}

}  // namespace velmora
