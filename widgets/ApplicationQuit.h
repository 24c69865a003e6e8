#pragma once
// The one way the program ends on its own: the exit menu item, a failed login and a confirmed
// close all come here, so that a test can observe the ending instead of losing its process.

#include <functional>

namespace velmora {

// Asks the application to end: every running event loop stops (modal dialogs included) and no
// window's close handler runs, so nothing asks a question. Callers return at once afterwards.
void TerminateApplication();

// True once TerminateApplication was called; code after a modal dialog checks it.
bool ApplicationTerminated();

// Before the user's own choice ends the program: asks what becomes of work not yet saved, when
// there is any. True when the program may end (nothing unsaved, or the user chose to quit, a
// draft kept if asked); false when the user keeps working. The main window installs the check;
// without one the program may always end. Call on the UI thread.
bool ConfirmQuitWithUnsavedWork();
void setUnsavedWorkCheck(std::function<bool()> check);

// For tests: replaces the stopping of the event loops by handler (the flag is still set), or
// restores it with an empty handler.
void setTerminateHandler(std::function<void()> handler);
// For tests: clears the flag before the next run.
void resetApplicationTerminated();

}  // namespace velmora
