#include "masterdata/TFrmch.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>

#include "audit/TFrmhistory.h"
#include "data/DataSetFollower.h"
#include "data/ProviderProbe.h"
#include "data/Tdm.h"
#include "masterdata/MaintenanceBar.h"
#include "session/ClientSession.h"
#include "transport/Errors.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FolderTreeView.h"
#include "widgets/Fonts.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("Velmora系统");

void notice(const QString& text) {
    MessageService::messageBox(text, kCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

TFrmch::TFrmch(QWidget* owner, ClientSession& session)
    : CategoryTreeForm(owner), session_(session), dm(session.dm()) {
    setObjectName(QStringLiteral("Frmch"));
    // Browsing only for a user who may not change master data; the server refuses it anyway.
    Panel1->setBrowseOnly(!session.CurrentUserRights.has(UserRight::MaintainMasterData));
    setCaption(QStringLiteral("存货档案设置"));
    setFont(songFont(12));

    struct BoxDef {
        const char* field;
        const char* label;
    };
    const BoxDef defs[] = {{"chid", "存货编号："},
                           {"chname", "存货名称："},
                           {"ggxh", "规格型号："},
                           {"jldw", "计量单位："},
                           {"chflid", "存货分类编号："}};
    std::array<DBEdit*, 5> boxes{};
    auto* single = new QGridLayout(TabSheet1);
    single->setContentsMargins(40, 30, 40, 30);
    single->setVerticalSpacing(14);
    for (int i = 0; i < 5; ++i) {
        auto* box = new DBEdit(TabSheet1);
        box->setObjectName(QStringLiteral("DBEdit%1").arg(i + 1));
        box->setDataSource(&dm.DataSourcech);
        box->setDataField(QString::fromLatin1(defs[i].field));
        box->setEnabled(false);
        box->setColor(clInfoBk());
        box->setFixedWidth(220);
        auto* label = new QLabel(QString::fromUtf8(defs[i].label), TabSheet1);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setBuddy(box);
        single->addWidget(label, i, 0);
        single->addWidget(box, i, 1);
        Labels[static_cast<size_t>(i)] = label;
        boxes[static_cast<size_t>(i)] = box;
    }
    single->setColumnStretch(2, 1);
    single->setRowStretch(5, 1);
    DBEdit1 = boxes[0];
    DBEdit2 = boxes[1];
    DBEdit3 = boxes[2];
    DBEdit4 = boxes[3];
    DBEdit5 = boxes[4];
    for (int i = 0; i < 3; ++i) {
        DBEdit* next = boxes[static_cast<size_t>(i) + 1];
        boxes[static_cast<size_t>(i)]->setKeyPressHook([next](QKeyEvent& key) {
            if (isEnterKey(key)) next->setFocus();
            return false;
        });
    }

    DBGrid1 = new DBGrid(TabSheet2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(&dm.DataSourcech);
    DBGrid1->setColumns({{QStringLiteral("chflid"), QStringLiteral("存货分类编号"), 150},
                         {QStringLiteral("chid"), QStringLiteral("存货编号"), 150},
                         {QStringLiteral("chname"), QStringLiteral("存货名称"), 150},
                         {QStringLiteral("ggxh"), QStringLiteral("规格型号"), 150},
                         {QStringLiteral("jldw"), QStringLiteral("计量单位"), 150}});
    DBGrid1->setReadOnly(true);
    auto* list = new QGridLayout(TabSheet2);
    list->setContentsMargins(0, 0, 0, 0);
    list->addWidget(DBGrid1);

    connect(TreeView1, &FolderTreeView::nodeClicked, this, guardedSlot([this] { TreeView1Click(); }));
    Panel1->connectHandlers(this);

    dm.Users.use(this, {&dm.ClientDataSetchfl, &dm.ClientDataSetxsdzb, &dm.ClientDataSetch});
    Panel1->setHistoryAllowed(mayReadHistory(session));
    auto follow = [this] {
        ClientDataSet& items = dm.ClientDataSetch;
        Panel1->setRecordShown(items.Active() && !items.IsEmpty());
    };
    follower_ = std::make_unique<DataSetFollower>(dm.ClientDataSetch, follow);
    follow();
}

TFrmch::~TFrmch() = default;

void TFrmch::FormShow() {
    if (!firstShowing()) return;
    BuildTree(dm.ClientDataSetchfl);
    fitTreePanel();
    TreeView1->selectNode(RootNode());
    for (DBEdit* box : {DBEdit1, DBEdit2, DBEdit3, DBEdit4}) box->setEnabled(false);
    Panel1->setBrowseState();
    TreeView1->setEnabled(true);
}

void TFrmch::FormClose(CloseAction& action) {
    // Closed unless another open window (categories, invoicing) still uses them.
    dm.Users.release(this, {&dm.ClientDataSetchfl, &dm.ClientDataSetch, &dm.ClientDataSetxsdzb});
    action = CloseAction::Free;
}

void TFrmch::ToggleEditState() {
    for (DBEdit* box : {DBEdit1, DBEdit2, DBEdit3, DBEdit4}) {
        box->setEnabled(!box->isEnabled());
        toggleEditColor(box);
    }
    Panel1->toggleEnabled();
    TreeView1->setEnabled(!TreeView1->isEnabled());
}

void TFrmch::setItemFilter(const QString& code) {
    dm.ClientDataSetch.setFilter(
        toStdString(QStringLiteral("chflid='") + sqlEscaped(code) + QLatin1Char('\'')));
    dm.ClientDataSetch.setFiltered(true);
}

void TFrmch::TreeView1Click() {
    QTreeWidgetItem* node = TreeView1->selectedNode();
    if (!node) return;
    // No category code is the letter T: the root and the top level list no items.
    if (nodeKind(node) == CategoryLevel::Sub)
        setItemFilter(codeBetweenParentheses(node->text(0).trimmed()));
    else
        setItemFilter(QStringLiteral("T"));
    showPage(TabSheet2);
}

void TFrmch::n_insertClick() {
    QTreeWidgetItem* node = TreeView1->selectedNode();
    if (!node) return;
    if (nodeKind(node) != CategoryLevel::Sub) {
        notice(QStringLiteral("非末级不能添加."));
        return;
    }
    ToggleEditState();
    QString code = codeBetweenParentheses(node->text(0).trimmed());
    dm.ClientDataSetch.Insert();
    dm.ClientDataSetch.FieldByName("chflid").setAsString(toStdString(code));
    showPage(TabSheet1);
    DBEdit1->setFocus();
}

void TFrmch::n_editClick() {
    if (dm.ClientDataSetch.RecordCount() == 0) {
        MessageService::showMessage(QStringLiteral("请先正确地选择到存货的分类或者当前分类下无存货"));
        return;
    }
    ToggleEditState();
    dm.ClientDataSetch.Edit();
    showPage(TabSheet1);
    DBEdit1->setFocus();
}

void TFrmch::n_saveClick() {
    ClientDataSet& items = dm.ClientDataSetch;
    items.Post();
    if (items.ApplyUpdates(-1) > 0) {
        // Every change is attempted; one the server refused (a taken item code, say) stays in the
        // change log and the window stays in edit state, so it can be corrected or discarded.
        // The reason is the server's own text (the database's, mostly).
        std::string reason = items.UpdateError();
        throw RemoteError(reason.empty() ? "服务器没有保存这个存货" : reason);
    }
    ToggleEditState();
}

void TFrmch::n_cancelClick() {
    // A save the server refused left its row in the change log; discarding drops it as well.
    dm.ClientDataSetch.CancelUpdates();
    ToggleEditState();
}

void TFrmch::n_deleteClick() {
    if (nodeKind(TreeView1->selectedNode()) != CategoryLevel::Sub) return;
    ClientDataSet& items = dm.ClientDataSetch;
    QString chid = items.RecordCount() > 0 ? toQString(items.FieldByName("chid").AsString()) : QString();
    ProviderProbe lines(dm.ClientDataSetxsdzb2, session_.providerSource(), "select * from xsdzb");
    int used = lines.count(toStdString(QStringLiteral("select * from xsdzb where chid = '") +
                                       sqlEscaped(chid) + QLatin1Char('\'')));
    if (used > 0) {
        notice(QStringLiteral("该存货已使用，不可删除"));
        return;
    }
    if (MessageService::messageBox(QStringLiteral("请确认是否要删除"), QStringLiteral("Ostrel系统"),
                                   MB_YESNO | MB_ICONINFORMATION) != MessageButton::Yes)
        return;
    if (items.RecordCount() == 0) {
        notice(QStringLiteral("无记录可删除"));
        return;
    }
    items.Delete();
    try {
        items.ApplyUpdates(0);
    } catch (...) {
        // The item is still on the server: show it again rather than keep a delete nobody sent.
        items.CancelUpdates();
        throw;
    }
}

void TFrmch::n_refreshClick() {
    BuildTree(dm.ClientDataSetchfl);
    TreeView1->selectNode(RootNode());
}

void TFrmch::n_historyClick() {
    ClientDataSet& items = dm.ClientDataSetch;
    if (!items.Active() || items.IsEmpty() || items.State() != DataSetState::Browse) return;
    HistorySubject subject;
    subject.table = "ch";
    subject.key = items.FieldByName("chid").AsString();
    subject.name = toQString(items.FieldByName("chname").AsString());
    showRecordHistory(session_, this, subject);
}

void TFrmch::n_exitClick() {
    Close();
}

}  // namespace velmora
