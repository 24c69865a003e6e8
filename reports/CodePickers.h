#pragma once
// The code pickers the report criteria open on a double-click: the code chosen, or none when the
// picker was cancelled.

#include <QString>
#include <optional>

class QWidget;

namespace velmora {

class ClientSession;

std::optional<QString> pickCustomerCode(ClientSession& session, QWidget* owner);
std::optional<QString> pickSalesmanCode();
// The picker selects many items; a report takes one, the first selected.
std::optional<QString> pickItemCode(ClientSession& session, QWidget* owner);

}  // namespace velmora
