#include "widgets/ApplicationQuit.h"

#include <QCoreApplication>

namespace velmora {

namespace {
bool terminated = false;
std::function<void()>& handler() {
    static std::function<void()> h;
    return h;
}
std::function<bool()>& unsavedWorkCheck() {
    static std::function<bool()> check;
    return check;
}
}  // namespace

bool ConfirmQuitWithUnsavedWork() {
    // A copy: the check may install another while it runs.
    std::function<bool()> check = unsavedWorkCheck();
    return !check || check();
}

void setUnsavedWorkCheck(std::function<bool()> check) {
    unsavedWorkCheck() = std::move(check);
}

void TerminateApplication() {
    terminated = true;
    if (handler()) {
        handler()();
        return;
    }
    // exit(), unlike quit(), does not first close the windows, whose close handlers would ask.
    QCoreApplication::exit(0);
}

bool ApplicationTerminated() {
    return terminated;
}

void setTerminateHandler(std::function<void()> h) {
    handler() = std::move(h);
}

void resetApplicationTerminated() {
    terminated = false;
}

}  // namespace velmora
