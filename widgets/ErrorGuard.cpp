#include "widgets/ErrorGuard.h"

#include <stdexcept>

#include "widgets/ConnectionLoss.h"
#include "widgets/MessageService.h"

namespace velmora {

QString withFullStop(const QString& text) {
    if (text.isEmpty()) return text;
    QChar last = text.back();
    if (last.unicode() < 0x80) return last > QLatin1Char('.') ? text + QLatin1Char('.') : text;
    // A Chinese sentence ends in a Chinese full stop; one that already ends in punctuation of
    // its own ("。", "！", "？") gets none.
    return last.isPunct() ? text : text + QStringLiteral("。");
}

void showErrorText(const QString& text) {
    MessageService::showError(withFullStop(text));
}

void showFailure(const FailureText& failure) {
    if (failure.connectionLost) return ConnectionLoss::report(failure.details);
    if (failure.details.isEmpty()) return showErrorText(failure.sentence);
    MessageService::showError(failure.sentence, failure.details);
}

void showCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        showFailure(describeFailure(e));
    } catch (...) {
        showFailure({QStringLiteral("操作未能完成。"), QStringLiteral("Unknown error")});
    }
}

}  // namespace velmora
