#include "widgets/ErrorGuard.h"

#include <stdexcept>

#include "widgets/ConnectionLoss.h"
#include "widgets/MessageService.h"

namespace velmora {

void showErrorText(const QString& text) {
    QString shown = text;
    if (!shown.isEmpty() && shown.back() > QLatin1Char('.')) shown += QLatin1Char('.');
    MessageService::showError(shown);
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
