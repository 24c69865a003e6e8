#include "widgets/MessageService.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace velmora {

namespace {

MessageService::Handler& installedHandler() {
    static MessageService::Handler handler;
    return handler;
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::ReconnectOk:
        case MessageButtons::RetryQuitCancel:
        case MessageButtons::QuitCancel:
        case MessageButtons::DraftQuitCancel:
            return QMessageBox::NoButton;  // buttons of our own, see ownButtons()
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// The buttons the platform's standard set lacks; the first is the default, the last answers Esc.
struct OwnButton {
    MessageButton button;
    const char* text;
    QMessageBox::ButtonRole role;
};

std::vector<OwnButton> ownButtons(MessageButtons buttons) {
    if (buttons == MessageButtons::ReconnectOk)
        return {{MessageButton::Reconnect, "重新连接", QMessageBox::AcceptRole},
                {MessageButton::Ok, "确定", QMessageBox::RejectRole}};
    if (buttons == MessageButtons::RetryQuitCancel)
        return {{MessageButton::Retry, "重试", QMessageBox::AcceptRole},
                {MessageButton::Quit, "退出", QMessageBox::DestructiveRole},
                {MessageButton::Cancel, "取消", QMessageBox::RejectRole}};
    if (buttons == MessageButtons::QuitCancel)
        return {{MessageButton::Quit, "退出", QMessageBox::DestructiveRole},
                {MessageButton::Cancel, "取消", QMessageBox::RejectRole}};
    if (buttons == MessageButtons::DraftQuitCancel)
        return {{MessageButton::SaveDraft, "保存草稿并退出", QMessageBox::AcceptRole},
                {MessageButton::Quit, "不保存退出", QMessageBox::DestructiveRole},
                {MessageButton::Cancel, "取消", QMessageBox::RejectRole}};
    return {};
}

constexpr const char* kOwnButton = "velmoraMessageButton";

void addOwnButtons(QMessageBox& box, MessageButtons buttons) {
    std::vector<OwnButton> own = ownButtons(buttons);
    for (const OwnButton& o : own) {
        QPushButton* b = box.addButton(QString::fromUtf8(o.text), o.role);
        b->setProperty(kOwnButton, static_cast<int>(o.button));
        if (&o == &own.front()) box.setDefaultButton(b);
        if (&o == &own.back()) box.setEscapeButton(b);
    }
}

// The technical text under the sentence: smaller, and never read as markup.
void addDetails(QMessageBox& box, const QString& details) {
    if (details.isEmpty()) return;
    box.setInformativeText(details);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!label) return;
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont smaller = label->font();
    if (smaller.pointSizeF() > 0)
        smaller.setPointSizeF(smaller.pointSizeF() * 0.85);
    else
        smaller.setPixelSize(std::max(8, smaller.pixelSize() * 85 / 100));
    label->setFont(smaller);
}

MessageButton fromQt(int button, MessageButtons offered) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageButton::Ok;
        case QMessageBox::Yes:
            return MessageButton::Yes;
        case QMessageBox::No:
            return MessageButton::No;
        case QMessageBox::Cancel:
            return MessageButton::Cancel;
        default:
            break;
    }
    // Closed by its close box or Esc.
    if (offered == MessageButtons::YesNo) return MessageButton::No;
    if (offered == MessageButtons::Ok) return MessageButton::Ok;
    return MessageButton::Cancel;
}

}  // namespace

std::unique_ptr<QMessageBox> MessageService::buildBox(const MessageRequest& request) {
    auto box = std::make_unique<QMessageBox>(qtIcon(request.icon), request.caption, request.text,
                                             qtButtons(request.buttons), QApplication::activeWindow());
    if (request.buttons == MessageButtons::YesNo) box->setEscapeButton(QMessageBox::No);
    addOwnButtons(*box, request.buttons);
    addDetails(*box, request.details);
    return box;
}

MessageButton MessageService::show(const MessageRequest& request) {
    if (installedHandler()) return installedHandler()(request);
    std::unique_ptr<QMessageBox> box = buildBox(request);
    int result = box->exec();
    if (QAbstractButton* clicked = box->clickedButton()) {
        QVariant own = clicked->property(kOwnButton);
        if (own.isValid()) return static_cast<MessageButton>(own.toInt());
    }
    return fromQt(result, request.buttons);
}

MessageButton MessageService::messageBox(const QString& text, const QString& caption, unsigned flags) {
    MessageRequest request{text, caption, MessageIcon::None, MessageButtons::Ok};
    switch (flags & 0x0F) {
        case MB_OKCANCEL:
            request.buttons = MessageButtons::OkCancel;
            break;
        case MB_YESNOCANCEL:
            request.buttons = MessageButtons::YesNoCancel;
            break;
        case MB_YESNO:
            request.buttons = MessageButtons::YesNo;
            break;
        default:
            break;
    }
    switch (flags & 0xF0) {
        case MB_ICONERROR:
            request.icon = MessageIcon::Error;
            break;
        case MB_ICONQUESTION:
            request.icon = MessageIcon::Question;
            break;
        case MB_ICONWARNING:
            request.icon = MessageIcon::Warning;
            break;
        case MB_ICONINFORMATION:
            request.icon = MessageIcon::Information;
            break;
        default:
            break;
    }
    return show(request);
}

void MessageService::showMessage(const QString& text, const QString& details) {
    show(MessageRequest{text, applicationTitle(), MessageIcon::None, MessageButtons::Ok, details});
}

MessageButton MessageService::messageDlg(const QString& text, DialogKind kind, MessageButtons buttons) {
    MessageRequest request{text, applicationTitle(), MessageIcon::None, buttons};
    switch (kind) {
        case DialogKind::Warning:
            request.caption = QStringLiteral("警告");
            request.icon = MessageIcon::Warning;
            break;
        case DialogKind::Error:
            request.caption = QStringLiteral("错误");
            request.icon = MessageIcon::Error;
            break;
        case DialogKind::Information:
            request.caption = QStringLiteral("信息");
            request.icon = MessageIcon::Information;
            break;
        case DialogKind::Confirmation:
            request.caption = QStringLiteral("确认");
            request.icon = MessageIcon::Question;
            break;
        case DialogKind::Custom:
            break;
    }
    return show(request);
}

void MessageService::showError(const QString& text, const QString& details) {
    show(MessageRequest{text, applicationTitle(), MessageIcon::Error, MessageButtons::Ok, details});
}

void MessageService::setHandler(Handler handler) {
    installedHandler() = std::move(handler);
}

QString MessageService::applicationTitle() {
    return QCoreApplication::applicationName();
}

QString MessageService::productCaption() {
    return QStringLiteral("Velmora系统");
}

}  // namespace velmora
