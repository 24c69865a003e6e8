#include "reports/OrderListOpen.h"

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/ColumnTotal.h"
#include "reports/ListCriteria.h"
#include "reports/TFrmxsdresult.h"
#include "session/ClientSession.h"
#include "widgets/Text.h"

namespace velmora {

TFrmxsdresult* openOrderList(ClientSession& session, const std::string& where,
                             const std::vector<std::string>& criteria, QWidget* owner) {
    // Closed first: an open result window holds the rows of the last query, and an open dataset
    // would not fetch the new ones.
    ClientDataSet& rows = session.dm().ClientDataSetxsdview;
    rows.Close();
    rows.setCommandText("");
    rows.setCommandText(listRowsStatement(where));
    rows.Open();
    // The totals are the sums over the rows fetched: no second scan of the same rows on the server.
    session.ListTotalQuantity = toQString(columnTotalText(rows, "quantity1"));
    session.ListTotalMoney = toQString(columnTotalText(rows, "money1"));

    TFrmxsdresult* result = session.ShowOrCreateForm(Frmxsdresult, owner);
    result->ShowTotals();
    result->setCriteria(criteria);
    return result;
}

}  // namespace velmora
