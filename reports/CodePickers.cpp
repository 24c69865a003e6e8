#include "reports/CodePickers.h"

#include <memory>

#include "reports/SqlText.h"
#include "sales/TFrmkhquery.h"
#include "sales/TFrmywyquery.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "session/ClientSession.h"
#include "widgets/Text.h"

namespace velmora {

std::optional<QString> pickCustomerCode(ClientSession& session, QWidget* owner) {
    auto picker = std::make_unique<TFrmkhquery>(owner, session);
    if (picker->ShowModal() != mrOk) return std::nullopt;
    return session.PickedCustomerCode;
}

std::optional<QString> pickSalesmanCode() {
    if (!Frmywyquery) return std::nullopt;
    Frmywyquery->ShowModal();
    return Frmywyquery->chosenCode();
}

std::optional<QString> pickItemCode(ClientSession& session, QWidget* owner) {
    auto picker = std::make_unique<TfrmClbm_Fzlr>(session, owner);
    if (picker->ShowModal() != mrOk || session.PickedItems.empty()) return std::nullopt;
    return toQString(std::string(trimmedText(session.PickedItems.front().chid)));
}

}  // namespace velmora
