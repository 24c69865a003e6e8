#include "masterdata/TFrmchfl.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTabWidget>
#include <QToolButton>

#include "audit/TFrmhistory.h"
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

const char* const kTopLevelMask = "99;1;_";
const char* const kSubCategoryMask = "99-999;1;_";
const QString kCaption = QStringLiteral("Velmora系统");
const char* const kRowMissing = "找不到这个分类的记录，请先刷新";

void notice(const QString& text) {
    MessageService::messageBox(text, kCaption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

TFrmchfl::TFrmchfl(QWidget* owner, ClientSession& session)
    : CategoryTreeForm(owner), session_(session), dm(session.dm()) {
    setObjectName(QStringLiteral("Frmchfl"));
    // Browsing only for a user who may not change master data; the server refuses it anyway.
    Panel1->setBrowseOnly(!session.CurrentUserRights.has(UserRight::MaintainMasterData));
    setCaption(QStringLiteral("存货分类设置"));
    setFont(songFont(12));

    Label1 = new QLabel(QStringLiteral("本软件存货分类编码格式为：xx-xxx"), TabSheet1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("存货分类编号："), TabSheet1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("存货分类名称："), TabSheet1);
    Label3->setObjectName(QStringLiteral("Label3"));
    DBEdit1 = new DBEdit(TabSheet1);
    DBEdit1->setObjectName(QStringLiteral("DBEdit1"));
    DBEdit2 = new DBEdit(TabSheet1);
    DBEdit2->setObjectName(QStringLiteral("DBEdit2"));
    Label2->setBuddy(DBEdit1);
    Label3->setBuddy(DBEdit2);
    for (DBEdit* box : {DBEdit1, DBEdit2}) {
        box->setDataSource(&dm.DataSourcechfl);
        box->setEnabled(false);
        box->setColor(clInfoBk());
        box->setFixedWidth(200);
    }
    DBEdit1->setDataField(QStringLiteral("chflid"));
    DBEdit2->setDataField(QStringLiteral("chflname"));
    DBEdit1->setKeyPressHook([this](QKeyEvent& key) {
        if (isEnterKey(key)) DBEdit2->setFocus();
        return false;
    });

    auto* single = new QGridLayout(TabSheet1);
    single->setContentsMargins(40, 30, 40, 30);
    single->setVerticalSpacing(14);
    single->addWidget(Label1, 0, 0, 1, 2);
    single->addWidget(Label2, 1, 0);
    single->addWidget(DBEdit1, 1, 1);
    single->addWidget(Label3, 2, 0);
    single->addWidget(DBEdit2, 2, 1);
    single->setColumnStretch(2, 1);
    single->setRowStretch(3, 1);

    DBGrid1 = new DBGrid(TabSheet2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(&dm.DataSourcechfl);
    DBGrid1->setColumns({{QStringLiteral("chflid"), QStringLiteral("存货分类编码"), 140},
                         {QStringLiteral("chflname"), QStringLiteral("存货分类名称"), -1}});
    DBGrid1->setReadOnly(true);
    DBGrid1->setEnabled(false);
    DBGrid1->setColor(clInfoBk());
    auto* list = new QGridLayout(TabSheet2);
    list->setContentsMargins(0, 0, 0, 0);
    list->addWidget(DBGrid1);

    connect(TreeView1, &FolderTreeView::nodeClicked, this, guardedSlot([this] { TreeView1Click(); }));
    // 历史 concerns the category selected, however it was selected; the root is none.
    Panel1->setHistoryAllowed(mayReadHistory(session));
    connect(TreeView1, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* node) { Panel1->setRecordShown(nodeKind(node) != CategoryLevel::None); });
    Panel1->connectHandlers(this);

    dm.Users.use(this, {&dm.ClientDataSetchfl, &dm.ClientDataSetchfl_index, &dm.ClientDataSetch});
}

void TFrmchfl::FormShow() {
    if (!firstShowing()) return;
    BuildTree(dm.ClientDataSetchfl);
    fitTreePanel();
    TreeView1->selectNode(RootNode());
    DBEdit1->setEnabled(false);
    DBEdit2->setEnabled(false);
    Panel1->setBrowseState();
    TreeView1->setEnabled(true);
}

void TFrmchfl::FormClose(CloseAction& action) {
    // The index copy stays open; the others close unless another open window still uses them.
    dm.Users.release(this, {&dm.ClientDataSetchfl, &dm.ClientDataSetch});
    dm.Users.forget(this);
    action = CloseAction::Free;
}

void TFrmchfl::ToggleEditState() {
    for (DBEdit* box : {DBEdit1, DBEdit2}) {
        box->setEnabled(!box->isEnabled());
        toggleEditColor(box);
    }
    Panel1->toggleEnabled();
    TreeView1->setEnabled(!TreeView1->isEnabled());
}

void TFrmchfl::setCodeMask(const char* mask) {
    dm.ClientDataSetchfl.FieldByName("chflid").setEditMask(mask);
    DBEdit1->refresh();
}

void TFrmchfl::putParentCode(const QString& code) {
    DBEdit1->setText(code);
    // The user goes on with the digits after the hyphen.
    DBEdit1->setCursorPosition(static_cast<int>(DBEdit1->text().size()));
}

QString TFrmchfl::typedCode() const {
    Field* code = DBEdit1->field();
    return code ? toQString(code->AsString()) : DBEdit1->text();
}

bool TFrmchfl::locateRow(QTreeWidgetItem* node) {
    QString code = codeByPosition(node->text(0), nodeKind(node));
    dm.ClientDataSetchfl.setIndexFieldNames("chflid");
    return dm.ClientDataSetchfl.FindKey({Variant(toStdString(code))});
}

void TFrmchfl::TreeView1Click() {
    QTreeWidgetItem* node = TreeView1->selectedNode();
    switch (nodeKind(node)) {
        case CategoryLevel::Top:
            locateRow(node);
            setCodeMask(kTopLevelMask);
            break;
        case CategoryLevel::Sub:
            locateRow(node);
            setCodeMask(kSubCategoryMask);
            break;
        case CategoryLevel::None:
            break;
    }
}

void TFrmchfl::n_insertClick() {
    QTreeWidgetItem* selected = TreeView1->selectedNode();
    if (!selected) return;
    IsInserting = true;
    ParentNode = selected;
    if (nodeKind(ParentNode) == CategoryLevel::Sub) {
        notice(QStringLiteral("最底层不能添加，请在上层添加"));
        return;
    }
    ToggleEditState();
    if (isRoot(ParentNode)) {
        dm.ClientDataSetchfl.Insert();
        setCodeMask(kTopLevelMask);
        showPage(TabSheet1);
        DBEdit1->setFocus();
    } else {
        ParentCode = codeByPosition(ParentNode->text(0), CategoryLevel::Top);
        dm.ClientDataSetchfl.Insert();
        setCodeMask(kSubCategoryMask);
        showPage(TabSheet1);
        DBEdit1->setFocus();
        putParentCode(ParentCode);
    }
}

void TFrmchfl::n_editClick() {
    QTreeWidgetItem* selected = TreeView1->selectedNode();
    if (!selected) return;
    IsInserting = false;
    EditedNode = selected;
    if (isRoot(EditedNode)) {
        notice(QStringLiteral("最顶层不能修改"));
        return;
    }
    // The node selected is what the user means to change, also when the keyboard selected it.
    if (!locateRow(EditedNode)) throw VelmoraError(kRowMissing);
    ToggleEditState();
    ParentNode = EditedNode->parent();
    dm.ClientDataSetchfl.Edit();
    setCodeMask(isRoot(ParentNode) ? kTopLevelMask : kSubCategoryMask);
    showPage(TabSheet1);
    DBEdit1->setFocus();
}

void TFrmchfl::n_saveClick() {
    QString parentCode = codeByPosition(ParentNode->text(0), CategoryLevel::Top);
    if (isRoot(ParentNode) && typedCode().trimmed().size() != 2) {
        notice(QStringLiteral("编码应为两位"));
        return;
    }
    if (nodeKind(ParentNode) == CategoryLevel::Top && typedCode().left(2) != parentCode) {
        notice(QStringLiteral("前面两位不能变，请确认!"));
        putParentCode(parentCode);
        return;
    }
    QString code = typedCode();
    QString name = DBEdit2->text();

    ClientDataSet& index = dm.ClientDataSetchfl_index;
    index.setIndexFieldNames("chflid");
    index.Refresh();
    if (dm.ClientDataSetchfl.State() == DataSetState::Insert && index.FindKey({Variant(toStdString(code))})) {
        notice(QStringLiteral("类别编码已重复"));
        showPage(TabSheet1);
        DBEdit1->setFocus();
        return;
    }

    dm.ClientDataSetchfl.Post();
    dm.ClientDataSetchfl.ApplyUpdates(0);

    // The tree follows the server only once the change is stored, so a refused save leaves it
    // as it was and saving again adds no second node.
    if (!IsInserting) {
        TreeView1->removeNode(EditedNode);
        EditedNode = nullptr;
    }
    TreeView1->selectNode(TreeView1->addChildNode(ParentNode, categoryNodeText(code, name)));
    ToggleEditState();
}

void TFrmchfl::n_cancelClick() {
    // A save the server refused left its row in the change log; discarding drops it as well.
    dm.ClientDataSetchfl.CancelUpdates();
    ToggleEditState();
}

bool TFrmchfl::confirmDelete() {
    return MessageService::messageBox(QStringLiteral("请确认是否要删除"), QStringLiteral("Ostrel系统"),
                                      MB_YESNO | MB_ICONINFORMATION) == MessageButton::Yes;
}

void TFrmchfl::deleteCategory(QTreeWidgetItem* node) {
    if (!locateRow(node)) throw VelmoraError(kRowMissing);
    ClientDataSet& categories = dm.ClientDataSetchfl;
    categories.Delete();
    try {
        categories.ApplyUpdates(0);
    } catch (...) {
        // The row is still on the server: show it again rather than keep a delete nobody sent.
        categories.CancelUpdates();
        throw;
    }
    TreeView1->removeNode(node);
}

void TFrmchfl::n_deleteClick() {
    QTreeWidgetItem* node = TreeView1->selectedNode();
    switch (nodeKind(node)) {
        case CategoryLevel::Sub: {
            QString code = codeBetweenParentheses(node->text(0));
            ProviderProbe items(dm.ClientDataSetch, session_.providerSource(), "select * from ch");
            int used = items.count(toStdString(QStringLiteral("select * from ch where chflid = '") +
                                               sqlEscaped(code) + QLatin1Char('\'')));
            if (used > 0) {
                notice(QStringLiteral("相应的存货档案不为空，不可删除"));
                return;
            }
            if (confirmDelete()) deleteCategory(node);
            break;
        }
        case CategoryLevel::Top:
            if (node->childCount() > 0) {
                notice(QStringLiteral("该分类之下仍有子分类，不可删除"));
                return;
            }
            if (confirmDelete()) deleteCategory(node);
            break;
        case CategoryLevel::None:
            break;
    }
}

void TFrmchfl::n_refreshClick() {
    BuildTree(dm.ClientDataSetchfl);
    TreeView1->selectNode(RootNode());
}

void TFrmchfl::n_historyClick() {
    QTreeWidgetItem* node = TreeView1->selectedNode();
    const CategoryLevel level = nodeKind(node);
    if (level == CategoryLevel::None) return;
    const QString text = node->text(0);
    HistorySubject subject;
    subject.table = "chfl";
    subject.key = toStdString(codeByPosition(text, level));
    subject.name = text.mid(text.indexOf(QLatin1Char(')')) + 1).trimmed();
    showRecordHistory(session_, this, subject);
}

void TFrmchfl::n_exitClick() {
    Close();
}

}  // namespace velmora
