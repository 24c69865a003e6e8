#include "widgets/ConnectionLoss.h"

#include "widgets/ApplicationQuit.h"
#include "widgets/MessageService.h"

namespace velmora {

namespace {

ConnectionLoss::Reconnect& installed() {
    static ConnectionLoss::Reconnect reconnect;
    return reconnect;
}

MessageButton ask(const QString& sentence, const QString& details, MessageButtons buttons) {
    return MessageService::show(
        MessageRequest{sentence, MessageService::productCaption(), MessageIcon::Error, buttons, details});
}

// Runs the reconnect until it succeeds or the user stops trying.
void reconnectUntilDone() {
    for (;;) {
        // A copy: the reconnect may take the offer back or install another.
        ConnectionLoss::Reconnect reconnect = installed();
        ReconnectResult result = reconnect();
        if (result.ok) return;
        MessageButton answer = ask(result.sentence, result.details, MessageButtons::RetryQuitCancel);
        if (answer == MessageButton::Quit) {
            // Unsaved work is named first; the user may choose to keep working without the server.
            if (ConfirmQuitWithUnsavedWork()) TerminateApplication();
            return;
        }
        if (answer != MessageButton::Retry) return;
    }
}

}  // namespace

void ConnectionLoss::setReconnect(Reconnect reconnect) {
    installed() = std::move(reconnect);
}

void ConnectionLoss::report(const QString& details) {
    static bool handling = false;
    if (handling) return;
    struct Handling {
        Handling() { handling = true; }
        ~Handling() { handling = false; }
        Handling(const Handling&) = delete;
        Handling& operator=(const Handling&) = delete;
    } scope;
    const QString sentence = QStringLiteral("与服务器的连接已断开。");
    if (!installed()) {
        ask(sentence, details, MessageButtons::Ok);
    } else if (ask(sentence, details, MessageButtons::ReconnectOk) == MessageButton::Reconnect) {
        reconnectUntilDone();
    }
}

}  // namespace velmora
