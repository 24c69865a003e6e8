#pragma once
// The whole client as the program starts it, for tests of the shell: every start-up object in
// its global reference, message boxes answered by a recorder, the program's end observed.

#include <functional>

#include "app/ProgramEntry.h"
#include "tests/gui/GuiTestSupport.h"

namespace velmora {
class TFrmlogin;
}

namespace velmora::test {

class ShellSession {
  public:
    ShellSession();
    ~ShellSession();
    ShellSession(const ShellSession&) = delete;
    ShellSession& operator=(const ShellSession&) = delete;

    // Shows the main window, whose first showing runs the login; fill acts in the login dialog
    // and must end it. Returns once the login sequence is over.
    void showAndLogin(const std::function<void(TFrmlogin&)>& fill);
    // Shows the main window with the login left out.
    void showWithoutLogin();
    // The login of the tests' server: address, connect, user, password, OK.
    static void connectAndChoose(TFrmlogin& login, const QString& address, const QString& user,
                                 const QString& password);

    MessageRecorder messages;
    TerminationRecorder ending;
    ProgramEntry entry;
};

}  // namespace velmora::test
