#include "masterdata/TFrmywy.h"

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "session/ClientSession.h"
#include "widgets/Fonts.h"

namespace velmora {

TFrmywy::TFrmywy(QWidget* owner, ClientSession& session)
    : RecordListForm(owner, session.dm().DataSourceywy,
                     {{"ywyid", "业务员编号：", "业务员编号"},
                      {"ywyname", "业务员名称：", "业务员名称"},
                      {"tel", "联系电话：", "电话"},
                      {"address", "联系地址：", "地址"}}),
      dm(session.dm()) {
    setObjectName(QStringLiteral("Frmywy"));
    // Browsing only for a user who may not change master data; the server refuses it anyway.
    Panel1->setBrowseOnly(!session.CurrentUserRights.has(UserRight::MaintainMasterData));
    offerHistory(session, "ywy", "ywyid", "ywyname");
    setCaption(QStringLiteral("业务员档案"));
    setFont(songFont(12));

    // With the command text the dataset holds: the provider's own query, or the salesman
    // picker's, which lists every salesman too.
    holdDataSet(dm.Users);
}

void TFrmywy::n_saveClick() {
    dm.ClientDataSetywy.Post();
    dm.ClientDataSetywy.ApplyUpdates(0);
    ToggleEditState();
}

}  // namespace velmora
