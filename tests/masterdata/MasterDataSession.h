#pragma once
// The whole client as the program starts it, connected to a real velmora-server with the demo
// database and logged in as the administrator, the main window shown without the login dialog;
// message boxes go to a recorder.

#include <QToolButton>
#include <QTreeWidgetItem>

#include "app/ProgramEntry.h"
#include "app/TMainForm.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/ServerProcess.h"

namespace velmora::test {

class MasterDataSession {
  public:
    MasterDataSession();
    ~MasterDataSession();
    MasterDataSession(const MasterDataSession&) = delete;
    MasterDataSession& operator=(const MasterDataSession&) = delete;

    template <typename T>
    T* open(T*& reference) {
        T* form = MainForm->ShowOrCreateForm(reference, MainForm);
        QCoreApplication::processEvents();
        return form;
    }
    // Closes the window as its exit button does and lets it go.
    void close(MdiChildForm* form);

    // The texts of the boxes shown since the last call, and forgets them.
    QStringList takeTexts();
    // The last box shown, or an empty request.
    MessageRequest lastBox() const;
    int count(const std::string& sql) const;
    // Writes to the server's database directly, as another workstation's entry would.
    void executeElsewhere(const std::string& sql) const;

    ServerProcess server;
    MessageRecorder messages;
    ProgramEntry entry;
};

// Presses a tool button with the mouse; it must be enabled.
void press(QToolButton* button);
// Clicks a node of a tree with the mouse.
void clickNode(QTreeWidget* tree, QTreeWidgetItem* node);
// The first node whose text starts with prefix, searched through the whole tree.
QTreeWidgetItem* findNode(QTreeWidget* tree, const QString& prefix);
// The texts of a node's children.
QStringList childTexts(const QTreeWidgetItem* node);

}  // namespace velmora::test
