#pragma once
// Opening the sales order list's result window on the order lines a condition selects.

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace velmora {

class ClientSession;
class TFrmxsdresult;

// Fetches the first lines of xsdview that pass where (conditions each starting with " and") and
// shows them in 销售单查询结果 (bringing an open one forward), whose printout names criteria; the
// window brings in the rest and sets the list totals from every line. A failure of the server
// propagates before any window opens or changes.
TFrmxsdresult* openOrderList(ClientSession& session, const std::string& where,
                             const std::vector<std::string>& criteria, QWidget* owner);

}  // namespace velmora
