#pragma once
// Every message box of the program goes through here: the text, the caption, the icon and the
// buttons, and back the button pressed. Tests install a handler to read and answer the boxes.

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;

namespace velmora {

enum class MessageIcon { None, Information, Warning, Error, Question };
// ReconnectOk: 重新连接 and 确定; RetryQuitCancel: 重试, 退出 and 取消; QuitCancel: 退出 and 取消;
// DraftQuitCancel: 保存草稿并退出, 不保存退出 and 取消.
enum class MessageButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    ReconnectOk,
    RetryQuitCancel,
    QuitCancel,
    DraftQuitCancel
};
enum class MessageButton { None, Ok, Cancel, Yes, No, Reconnect, Retry, Quit, SaveDraft };

struct MessageRequest {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    // A lower layer's own text (a socket's, a database's), shown below text in smaller type.
    QString details{};
};

// Flags of the message box call the windows make (MessageBox(text, caption, flags)): the low
// nibble picks the buttons, the next one the icon.
enum MessageBoxFlags : unsigned {
    MB_OK = 0x00,
    MB_OKCANCEL = 0x01,
    MB_YESNOCANCEL = 0x03,
    MB_YESNO = 0x04,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};

// The kinds of the message dialog (captioned by kind).
enum class DialogKind { Warning, Error, Information, Confirmation, Custom };

class MessageService {
  public:
    using Handler = std::function<MessageButton(const MessageRequest&)>;

    // Shows the box modally over the active window and returns the button pressed (Cancel, or No
    // when there is no Cancel, when the box is closed otherwise). Call on the UI thread.
    static MessageButton show(const MessageRequest& request);

    // The application's message box: MessageBox(text, caption, MB_YESNO | MB_ICONINFORMATION).
    static MessageButton messageBox(const QString& text, const QString& caption, unsigned flags);
    // The plain message: the application title as caption, no icon, one OK button; details, a
    // lower layer's own text, below it.
    static void showMessage(const QString& text, const QString& details = QString());
    // The message dialog: captioned 警告, 错误, 信息 or 确认 by its kind.
    static MessageButton messageDlg(const QString& text, DialogKind kind, MessageButtons buttons);
    // The standard error box of an uncaught failure: the application title, the error icon, one
    // OK button.
    static void showError(const QString& text, const QString& details = QString());

    // Replaces the real boxes (an empty handler restores them).
    static void setHandler(Handler handler);

    // The box show() would run, for a look at its texts without running it.
    static std::unique_ptr<QMessageBox> buildBox(const MessageRequest& request);

    // The application title: the executable's name, as no other title is set.
    static QString applicationTitle();
    // The caption of the program's own boxes, "Velmora系统".
    static QString productCaption();
};

}  // namespace velmora
