// Quitting with work the server has not got: the user hears which windows hold it and may keep
// working; an order being typed may be kept as a draft on this workstation, offered again at the
// next login to the same server as the same user.
#include "app/TMainForm.h"
#include "sales/OrderDraft.h"
#include "sales/TFrmkp.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FormRegistry.h"
#include "widgets/MdiChildForm.h"
#include "widgets/MessageService.h"

namespace velmora {

namespace {

QStringList windowsWithUnsavedChanges() {
    QStringList captions;
    for (QWidget* form : FormRegistry::forms())
        if (auto* child = qobject_cast<MdiChildForm*>(form); child && child->hasUnsavedChanges())
            captions << child->Caption().trimmed();
    return captions;
}

}  // namespace

QString TMainForm::orderDraftFile() const {
    return orderDraftPath(serverAddressText(), Session.CurrentUserName);
}

TMainForm::UnsavedWork TMainForm::AskAboutUnsavedWork() {
    const QStringList windows = windowsWithUnsavedChanges();
    if (windows.isEmpty()) return UnsavedWork::None;
    const bool orderTyped = Frmkp && Frmkp->editingOrder();
    QString text =
        QStringLiteral(
            "以下窗口中有尚未保存的修改：%1。\n现在退出，这些修改将会丢失；选择“取消”可以继续工作。")
            .arg(windows.join(QStringLiteral("、")));
    if (orderTyped)
        text += QStringLiteral("\n选择“保存草稿并退出”，正在录入的销售单将保存在本机，下次登录时可以恢复。");
    MessageButton answer = MessageService::show(
        MessageRequest{text, MessageService::productCaption(), MessageIcon::Warning,
                       orderTyped ? MessageButtons::DraftQuitCancel : MessageButtons::QuitCancel});
    if (answer == MessageButton::SaveDraft)
        return keepOrderDraft() ? UnsavedWork::Quit : UnsavedWork::KeepWorking;
    return answer == MessageButton::Quit ? UnsavedWork::Quit : UnsavedWork::KeepWorking;
}

bool TMainForm::keepOrderDraft() {
    std::optional<OrderDraft> draft = Frmkp ? Frmkp->unsavedOrder() : std::nullopt;
    QString error = QStringLiteral("没有正在录入的销售单");
    if (draft && saveOrderDraft(orderDraftFile(), *draft, &error)) return true;
    // Nothing is lost yet: the order is still on screen.
    MessageService::show(MessageRequest{QStringLiteral("未能保存草稿，程序没有退出。"),
                                        MessageService::productCaption(), MessageIcon::Error,
                                        MessageButtons::Ok, error});
    return false;
}

void TMainForm::OfferOrderDraft() {
    const QString path = orderDraftFile();
    std::optional<OrderDraft> draft = loadOrderDraft(path);
    if (!draft) return;
    const QString number = draft->number.isEmpty() ? QStringLiteral("未填") : draft->number;
    const QString text = QStringLiteral(
                             "上次退出时保存了一张尚未保存到服务器的销售单草稿（销售发票号 %1，%2 行）。\n"
                             "是否在销售开票中恢复它？恢复后请检查并保存。\n"
                             "选择“否”删除草稿，选择“取消”下次登录时再问。")
                             .arg(number)
                             .arg(draft->lines.size());
    MessageButton answer = MessageService::show(MessageRequest{
        text, MessageService::productCaption(), MessageIcon::Question, MessageButtons::YesNoCancel});
    if (answer == MessageButton::No) removeOrderDraft(path);
    if (answer != MessageButton::Yes) return;
    guarded([&] {
        TFrmkp* window = ShowOrCreateForm(Frmkp, this);
        // Now in the window; saving it is the user's step, through the server's checks.
        if (window && window->restoreDraft(*draft)) removeOrderDraft(path);
    });
}

}  // namespace velmora
