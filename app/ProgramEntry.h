#pragma once

#include <functional>

class QApplication;

namespace velmora {

// The program's start-up and end: the splash, the long-lived objects in their fixed order, the
// message loop, and the teardown. The objects live in their global references (MainForm,
// AboutBox, dm, Frmywyquery, Frmxsdquery, Frmkhhzquery, Frmchhzquery, Frmywyhzquery, Frmlogin,
// Frmchangepassword).
class ProgramEntry {
  public:
    ProgramEntry() = default;
    ~ProgramEntry();
    ProgramEntry(const ProgramEntry&) = delete;
    ProgramEntry& operator=(const ProgramEntry&) = delete;

    // Shows the splash and creates the objects; the splash is destroyed also when a creation
    // throws, and the failure is passed on. No connection is made.
    void createAll();
    // Shows the main window maximised, whose first showing runs the login, and runs the message
    // loop until the application ends. Returns its exit code.
    int run(QApplication& app);
    // Destroys what createAll made: child windows and dialogs first, the data module before the
    // main window whose connection it uses.
    void destroyAll();

    // For tests: called with each class name before that object is created; may throw.
    std::function<void(const char* className)> beforeCreate;
};

}  // namespace velmora
