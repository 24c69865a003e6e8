#include "reports/OrderListOpen.h"

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "reports/ListCriteria.h"
#include "reports/TFrmxsdresult.h"
#include "session/ClientSession.h"

namespace velmora {

TFrmxsdresult* openOrderList(ClientSession& session, const std::string& where,
                             const std::vector<std::string>& criteria, QWidget* owner) {
    // Closed first: an open result window holds the rows of the last query, and an open dataset
    // would not fetch the new ones.
    ClientDataSet& rows = session.dm().ClientDataSetxsdview;
    rows.Close();
    rows.setCommandText("");
    rows.setCommandText(listRowsStatement(where));
    // The first screenful comes now; the result window brings in the rest while it is shown and
    // sums the totals over every row once they are there.
    rows.setPacketRecords(TFrmxsdresult::FirstPartRows);
    rows.Open();

    TFrmxsdresult* result = session.ShowOrCreateForm(Frmxsdresult, owner);
    result->setCriteria(criteria);
    result->FetchRows();
    return result;
}

}  // namespace velmora
