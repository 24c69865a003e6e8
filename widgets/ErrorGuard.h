#pragma once
// The error display: every handler a user action starts runs inside guarded(), so that a failure
// it throws is shown in the standard error box (MessageService::showError) and the action simply
// ends there.
// Exceptions must never cross Qt's event delivery.

#include <QString>
#include <exception>
#include <utility>

#include "widgets/FailureText.h"

namespace velmora {

// The text as the error box shows it: an English text gets a "." unless it ends in a character
// that sorts at or before "."; a Chinese one gets "。" unless it ends in punctuation.
QString withFullStop(const QString& text);
// Shows text in the standard error box, with its full stop.
void showErrorText(const QString& text);
// Shows a failure: its Chinese sentence with the lower layer's text below it; a lost
// connection goes to ConnectionLoss, which offers to reconnect.
void showFailure(const FailureText& failure);
// Shows the exception in flight (call inside a catch block).
void showCurrentException();

// Runs action; returns false when it threw, after showing what it threw.
template <typename Action>
bool guarded(Action&& action) {
    try {
        std::forward<Action>(action)();
        return true;
    } catch (...) {
        showCurrentException();
        return false;
    }
}

// A slot that runs action guarded, whatever arguments the signal carries.
template <typename Action>
auto guardedSlot(Action action) {
    return [action = std::move(action)](auto&&...) { guarded(action); };
}

}  // namespace velmora
