#include "widgets/ErrorGuard.h"

#include <stdexcept>

#include "widgets/MessageService.h"

namespace velmora {

void showErrorText(const QString& text) {
    QString shown = text;
    if (!shown.isEmpty() && shown.back() > QLatin1Char('.')) shown += QLatin1Char('.');
    MessageService::showError(shown);
}

void showCurrentException() {
    try {
        throw;
    } catch (const std::exception& e) {
        showErrorText(QString::fromUtf8(e.what()));
    } catch (...) {
        showErrorText(QStringLiteral("Unknown error"));
    }
}

}  // namespace velmora
