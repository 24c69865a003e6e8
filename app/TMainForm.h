#pragma once
// The main window: the multiple-document frame of the client. It owns the connection and the
// session it hands to every window it opens; the windows reach it only through that session.

#include <QMainWindow>
#include <QString>
#include <array>
#include <vector>

#include "app/ServerTrust.h"
#include "session/ClientSession.h"
#include "transport/SocketConnection.h"
#include "widgets/ConnectionLoss.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;

namespace velmora {

class NavLabel;
class NavPanel;
class Panel;
class PictureBox;

class TMainForm : public QMainWindow {
    Q_OBJECT

  public:
    TMainForm();
    ~TMainForm() override;

    // The one connection to the application server; the data module's datasets use it.
    SocketConnection SocketConnection1{"SocketConnection1"};

    // Which servers this workstation trusts; the login and every reconnect open under it.
    ServerTrust Trust;

    // What the windows share: the logged-in user (CurrentUserName, written by the login), the
    // list totals, the picker results, the data module; handed to every window opened.
    ClientSession Session{*this, SocketConnection1};

    // Brings the open window of exactly class T to the front, or creates one (owner: owner).
    template <typename T>
    T* ShowOrCreateForm(T*& reference, QWidget* owner) {
        return Session.ShowOrCreateForm(reference, owner);
    }

    // Components other code and the tests reach by name.
    std::vector<QIcon> ImageList1;
    QTimer* Timer1 = nullptr;
    QMdiArea* ClientArea = nullptr;
    QToolBar* ToolBar2 = nullptr;
    Panel* Panel1 = nullptr;
    Panel* Panel2 = nullptr;
    NavPanel* Panel3 = nullptr;
    Panel* Panel4 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* EncryptionLabel = nullptr;     // in the status bar: 未加密 or 已加密 once logged in
    std::array<NavLabel*, 8> NavLabels{};  // Label2 to Label9
    std::array<PictureBox*, 9> Images{};   // Image1 (the strip) to Image9

    // Menu items.
    QMenu* File1 = nullptr;
    QMenu* N2 = nullptr;
    QMenu* N7 = nullptr;
    QMenu* N16 = nullptr;  // 系统管理
    QMenu* Help1 = nullptr;
    QAction* FileNewItem = nullptr;
    QAction* N15 = nullptr;
    QAction* FileOpenItem = nullptr;
    QAction* N6 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N8 = nullptr;
    QAction* N10 = nullptr;
    QAction* N11 = nullptr;
    QAction* N13 = nullptr;
    QAction* N12 = nullptr;
    QAction* N20 = nullptr;  // 经营分析
    QAction* N14 = nullptr;
    QAction* N17 = nullptr;  // 用户管理
    QAction* N18 = nullptr;  // 操作日志
    QAction* N19 = nullptr;  // 数据备份
    QAction* HelpAboutItem = nullptr;

    // Actions of ActionList1.
    QAction* FileNew1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileClose1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* WindowCascade1 = nullptr;
    QAction* WindowTileHorizontal1 = nullptr;
    QAction* WindowTileVertical1 = nullptr;
    QAction* WindowMinimizeAll1 = nullptr;
    QAction* WindowArrangeAll1 = nullptr;
    QAction* HelpAbout1 = nullptr;

    // Handlers.
    void FormShow();
    bool FormCloseQuery();
    void Timer1Timer();
    void FileNewItemClick();
    void N15Click();
    void FileOpenItemClick();
    void N6Click();
    void N3Click();
    void N4Click();
    void N5Click();
    void N8Click();
    void N10Click();
    void N11Click();
    void N13Click();
    void N12Click();
    void N20Click();
    void N14Click();
    void N17Click();
    void N18Click();
    void N19Click();
    void HelpAbout1Execute();
    void LabelMouseMove(NavLabel* label);
    void Panel3MouseMove();
    // Enables the clipboard and window actions that have a target, as after every event.
    void updateActions();

    // Shows the window maximised, as the program starts it, also where no window manager
    // honours the request.
    void showAtStart();

    // Destroys the child windows; called at the end of the run, before the data module goes.
    void destroyChildWindows();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    // What becomes of work not saved yet, asked before the user's own choice ends the program.
    enum class UnsavedWork { None, Quit, KeepWorking };
    // Names the windows holding changes the server has not got and asks whether to quit anyway
    // (an order being typed may be kept as a draft first) or keep working. None: nothing is
    // unsaved and nothing was asked.
    UnsavedWork AskAboutUnsavedWork();
    // After the login: offers the order draft kept at this user's last quit from this server.
    void OfferOrderDraft();

  private:
    void buildLayout();
    void buildDescriptionPanel(QWidget* parent);
    void buildNavigationPanel();
    void buildActions();
    void buildMenu();
    void buildToolBar();
    void RunLogin();
    // After the login check: asks the server what the user may do, keeps it in the session and
    // offers only that. A lost connection resumed keeps what was learnt.
    void LearnUserRights();
    // Enables the report items for a user who may view reports, user management and backups for
    // one who may manage users.
    void ApplyUserRights();
    // After the login: what lets a lost connection be resumed without the password.
    void PrepareReconnect();
    // Connects again to the same server, resumes the login and binds the open datasets to the
    // new connection; their unapplied changes stay.
    ReconnectResult Reconnect();
    void tileChildren(bool stacked);
    // The server as the user reached it, "10.0.0.9:211".
    QString serverAddressText() const;
    QString orderDraftFile() const;
    bool keepOrderDraft();

    bool shown_ = false;
    // The token the server gave for resuming this login; no password is kept. It is handed only
    // to the server that showed the login's certificate (none for a plain login).
    std::string resumeToken_;
    std::string loginFingerprint_;
};

// The main window, set at start-up.
inline TMainForm* MainForm = nullptr;

}  // namespace velmora
