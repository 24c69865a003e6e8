#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QMdiArea;
class QMdiSubWindow;

namespace velmora {

// What a window's close handler decides: keep it open, hide it, destroy it or minimise it.
enum class CloseAction { None, Hide, Free, Minimize };

// A child window of the main window's client area. It lives in a sub-window of the MDI area the
// main window registered (or is a top-level window when there is none), is destroyed with its
// owner, and offers the handlers the windows are written with: FormShow each time it is shown,
// FormActivate each time it becomes the active child, FormClose when it is asked to close.
// Use on the UI thread only.
class MdiChildForm : public QWidget {
    Q_OBJECT

  public:
    explicit MdiChildForm(QWidget* owner);
    ~MdiChildForm() override;

    // The client area every child window opens in; set by the main window.
    static void setMdiArea(QMdiArea* area);
    static QMdiArea* mdiArea();

    QWidget* Owner() const { return owner_; }
    // The sub-window frame around this form, or null when it is a top-level window.
    QMdiSubWindow* subWindow() const { return subWindow_; }
    // The widget that is moved, shown and hidden: the sub-window, or this form itself.
    QWidget* frame() const;

    void setCaption(const QString& caption);
    QString Caption() const { return windowTitle(); }
    // The size of the window's frame when it is not maximised; also what cascading and tiling
    // start from.
    void setFrameSize(int width, int height);
    // The design size given to setFrameSize, or a size a child window of few controls still
    // reads well at.
    QSize sizeHint() const override;

    void Show();
    // Asks the window to close: FormClose decides what happens.
    void Close();
    bool isMinimizedWindow() const;
    bool isMaximizedWindow() const;
    void Maximize();
    void ShowNormal();
    // ShowOrCreateForm's steps on a window that is already open.
    void restoreOrShowWithoutActivating();
    void makeVisible();
    void bringToFrontAndFocus();

    // Whether the window holds changes the server has not got yet (a row being entered or
    // changed), which quitting now would lose.
    virtual bool hasUnsavedChanges() const { return false; }

    // Called by ShowOrCreateForm before a constructor runs: the next form created clears the
    // caller's reference with this function when it is destroyed.
    static void setNextReferenceClearer(std::function<void()> clear);

  protected:
    virtual void FormShow() {}
    virtual void FormActivate() {}
    // The default destroys the window, as every child window of the program does.
    virtual void FormClose(CloseAction& action) { action = CloseAction::Free; }

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void activated();
    void nameUnnamedGrids();
    void yieldFrameKeys();

    QPointer<QWidget> owner_;
    QSize designSize_;
    QMdiSubWindow* subWindow_ = nullptr;
    std::function<void()> clearReference_;
};

}  // namespace velmora
