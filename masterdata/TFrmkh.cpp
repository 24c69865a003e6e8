#include "masterdata/TFrmkh.h"

#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "session/ClientSession.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"

namespace velmora {

TFrmkh::TFrmkh(QWidget* owner, ClientSession& session)
    : RecordListForm(owner, session.dm().DataSourcekh,
                     {{"khid", "客户编号：", "客户编号"},
                      {"khname", "客户名称：", "客户名称"},
                      {"tel", "联系电话：", "联系电话"},
                      {"address", "联系地址：", "联系地址"},
                      {"accountid", "帐号：", "帐号"},
                      {"tax", "税号：", "税号"}}),
      dm(session.dm()) {
    setObjectName(QStringLiteral("Frmkh"));
    // Browsing only for a user who may not change master data; the server refuses it anyway.
    Panel1->setBrowseOnly(!session.CurrentUserRights.has(UserRight::MaintainMasterData));
    offerHistory(session, "kh", "khid", "khname");
    setCaption(QStringLiteral("客户档案"));
    setFont(songFont(12));

    // Every customer, whatever query another window ran through the dataset last.
    dm.ClientDataSetkh.Close();
    dm.ClientDataSetkh.setCommandText("select * from kh");
    holdDataSet(dm.Users);
}

void TFrmkh::n_saveClick() {
    try {
        dm.ClientDataSetkh.Post();
        dm.ClientDataSetkh.ApplyUpdates(0);
        ToggleEditState();
    } catch (...) {
        MessageService::showMessage(QStringLiteral("客户编号有无重复？"));
    }
}

}  // namespace velmora
