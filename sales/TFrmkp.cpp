#include "sales/TFrmkp.h"

#include <QAbstractItemDelegate>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "data/DataSetFollower.h"
#include "data/Tdm.h"
#include "session/ClientSession.h"
#include "widgets/Colors.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/DataSetModel.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/MaintenancePictures.h"
#include "widgets/Panel.h"

namespace velmora {

namespace {

constexpr uint32_t kBarColor = 13350070;
constexpr uint32_t kFormColor = 15830937;
// Narrower than the maintenance windows' 60: twelve buttons, 审核 and 弃审 among them, fit the
// window's width in the main window's designed size (812 pixels, less the navigation panel).
constexpr int kToolButtonWidth = 53;

Panel* makePanel(QWidget* parent, const char* name, int height, const QColor& color) {
    auto* panel = new Panel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    if (height > 0) panel->setFixedHeight(height);
    panel->setColor(color);
    return panel;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

DBEdit* makeEdit(QWidget* parent, const char* name, DataSource* source, const char* field, QLabel* caption,
                 int left, int top) {
    auto* edit = new DBEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDataSource(source);
    edit->setDataField(QString::fromLatin1(field));
    edit->setGeometry(left, top, 121, 20);
    edit->setEnabled(false);
    edit->setColor(clInfoBk());
    caption->setBuddy(edit);
    return edit;
}

}  // namespace

TFrmkp::TFrmkp(QWidget* owner, ClientSession& session)
    : MdiChildForm(owner), session_(session), dm(session.dm()) {
    setObjectName(QStringLiteral("Frmkp"));
    setCaption(QStringLiteral("销售开票"));
    setFont(songFont(12));
    setControlColor(this, colorFromBgr(kFormColor));

    buildToolBar();
    buildNavigation();
    buildHeader();
    buildLines();
    buildFooter();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(Panel2);
    layout->addWidget(Panel3);
    layout->addWidget(Panel4, 1);
    layout->addWidget(Panel5);
    setTabOrder(DBEdit1, DBEdit2);
    setTabOrder(DBEdit2, DBEdit3);
    setTabOrder(DBEdit3, DBEdit4);
    setTabOrder(DBEdit4, DBEdit5);
    setTabOrder(DBEdit5, DBEdit6);
    setTabOrder(DBEdit6, DBGrid1);
    connectHandlers();

    FormCreate();
    followOrders();
}

void TFrmkp::buildToolBar() {
    Panel1 = makePanel(this, "Panel1", 41, colorFromBgr(kBarColor));
    struct Button {
        QToolButton*& button;
        const char* name;
        QString caption;
        MaintenancePicture picture;
    };
    using P = MaintenancePicture;
    const Button buttons[] = {
        {n_insert, "n_insert", QStringLiteral("增加"), P::Insert},
        {n_edit, "n_edit", QStringLiteral("修改"), P::Edit},
        {n_delete, "n_delete", QStringLiteral("册除"), P::Delete},
        {n_cancel, "n_cancel", QStringLiteral("放弃"), P::Cancel},
        {n_save, "n_save", QStringLiteral("保存"), P::Save},
        {n_print, "n_print", QStringLiteral("打印"), P::Print},
        {n_refresh, "n_refresh", QStringLiteral("刷新"), P::Refresh},
        {n_insertone, "n_insertone", QStringLiteral("增行"), P::InsertLine},
        {n_deleteone, "n_deleteone", QStringLiteral("删行"), P::DeleteLine},
        {n_approve, "n_approve", QStringLiteral("审核"), P::Approve},
        {n_withdraw, "n_withdraw", QStringLiteral("弃审"), P::Withdraw},
        {n_exit, "n_exit", QStringLiteral("退出"), P::Exit},
    };
    int left = 8;
    for (const Button& b : buttons) {
        b.button = pictureButton(Panel1, b.name, b.caption, b.picture);
        b.button->setGeometry(left, 9, kToolButtonWidth, 22);
        left += kToolButtonWidth;
    }
}

void TFrmkp::buildNavigation() {
    Panel2 = makePanel(this, "Panel2", 41, clMoneyGreen());
    DBNavigator1 = new DBNavigator(Panel2);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(&dm.DataSourcexsdtb);
    DBNavigator1->setFlat(true);
    DBNavigator1->setGeometry(8, 8, 112, 25);
    Label7 =
        makeLabel(Panel2, "Label7",
                  QStringLiteral("客户与业务员编号：1，直接录入编号再点回车。2，双击编号输入框。"), 136, 6);
    Label8 = makeLabel(Panel2, "Label8",
                       QStringLiteral("对于销售存货的输入：只要点击增行，则自动弹出代码参照框。"), 136, 22);
}

void TFrmkp::buildHeader() {
    Panel3 = makePanel(this, "Panel3", 112, colorFromBgr(kBarColor));
    DataSource* source = &dm.DataSourcexsdtb;
    constexpr int kLeft1 = 24, kEdit1 = 112, kLeft2 = 296, kEdit2 = 384;
    constexpr int kRows[] = {16, 46, 76};
    Label1 = makeLabel(Panel3, "Label1", QStringLiteral("销售发票号："), kLeft1, kRows[0] + 4);
    Label2 = makeLabel(Panel3, "Label2", QStringLiteral("开票日期："), kLeft1, kRows[1] + 4);
    Label3 = makeLabel(Panel3, "Label3", QStringLiteral("客户编号："), kLeft1, kRows[2] + 4);
    Label4 = makeLabel(Panel3, "Label4", QStringLiteral("客户名称："), kLeft2, kRows[0] + 4);
    Label5 = makeLabel(Panel3, "Label5", QStringLiteral("业务员编号："), kLeft2, kRows[1] + 4);
    Label6 = makeLabel(Panel3, "Label6", QStringLiteral("业务员名称："), kLeft2, kRows[2] + 4);
    DBEdit1 = makeEdit(Panel3, "DBEdit1", source, "xsdid", Label1, kEdit1, kRows[0]);
    DBEdit2 = makeEdit(Panel3, "DBEdit2", source, "rq", Label2, kEdit1, kRows[1]);
    DBEdit3 = makeEdit(Panel3, "DBEdit3", source, "khid", Label3, kEdit1, kRows[2]);
    DBEdit4 = makeEdit(Panel3, "DBEdit4", source, "khname", Label4, kEdit2, kRows[0]);
    DBEdit5 = makeEdit(Panel3, "DBEdit5", source, "ywyid", Label5, kEdit2, kRows[1]);
    DBEdit6 = makeEdit(Panel3, "DBEdit6", source, "ywyname", Label6, kEdit2, kRows[2]);
}

void TFrmkp::buildLines() {
    Panel4 = makePanel(this, "Panel4", 0, colorFromBgr(kFormColor));
    DBGrid1 = new DBGrid(Panel4);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("销售明细"));
    DBGrid1->setDataSource(&dm.DataSourcexsdzb);
    DBGrid1->setColumns({{QStringLiteral("chid"), QStringLiteral("存货编号"), 100},
                         {QStringLiteral("chname"), QStringLiteral("存货名称"), 100},
                         {QStringLiteral("ggxh"), QStringLiteral("规格型号"), 100},
                         {QStringLiteral("jldw"), QStringLiteral("计量单位"), 100},
                         {QStringLiteral("quantity1"), QStringLiteral("数量"), -1},
                         {QStringLiteral("price1"), QStringLiteral("单价"), -1, false, true},
                         {QStringLiteral("money1"), QStringLiteral("金额"), -1, false, true}});
    DBGrid1->setColor(clInfoBk());
    auto* layout = new QVBoxLayout(Panel4);
    layout->setContentsMargins(Panel4->contentsMargins());
    layout->addWidget(DBGrid1);
}

void TFrmkp::buildFooter() {
    Panel5 = makePanel(this, "Panel5", 41, clMoneyGreen());
    DataSource* source = &dm.DataSourcexsdtb;
    Label9 = makeLabel(Panel5, "Label9", QStringLiteral("制单人："), 24, 14);
    Label10 = makeLabel(Panel5, "Label10", QStringLiteral("审核人："), 296, 14);
    DBEdit7 = makeEdit(Panel5, "DBEdit7", source, "username", Label9, 80, 10);
    DBEdit7->setReadOnly(true);
    DBEdit8 = makeEdit(Panel5, "DBEdit8", source, "shrname", Label10, 352, 10);
    // The tool bar is full; the order's history stands with who made and who approved it.
    n_history = pictureButton(Panel5, "n_history", QStringLiteral("历史"), MaintenancePicture::History);
    n_history->setGeometry(496, 9, kToolButtonWidth + 7, 22);
}

void TFrmkp::connectHandlers() {
    auto onClick = [this](QToolButton* button, void (TFrmkp::*handler)()) {
        connect(button, &QToolButton::clicked, this, guardedSlot([this, handler] { (this->*handler)(); }));
    };
    onClick(n_insert, &TFrmkp::n_insertClick);
    onClick(n_edit, &TFrmkp::n_editClick);
    onClick(n_delete, &TFrmkp::n_deleteClick);
    onClick(n_cancel, &TFrmkp::n_cancelClick);
    onClick(n_save, &TFrmkp::n_saveClick);
    onClick(n_print, &TFrmkp::n_printClick);
    onClick(n_exit, &TFrmkp::n_exitClick);
    onClick(n_insertone, &TFrmkp::n_insertoneClick);
    onClick(n_deleteone, &TFrmkp::n_deleteoneClick);
    onClick(n_approve, &TFrmkp::n_approveClick);
    onClick(n_withdraw, &TFrmkp::n_withdrawClick);
    onClick(n_history, &TFrmkp::n_historyClick);
    // n_refresh has no action.

    DBEdit1->setKeyPressHook([this](QKeyEvent& key) { return DBEdit1KeyPress(key); });
    DBEdit2->setKeyPressHook([this](QKeyEvent& key) { return DBEdit2KeyPress(key); });
    DBEdit3->setKeyPressHook([this](QKeyEvent& key) { return DBEdit3KeyPress(key); });
    DBEdit5->setKeyPressHook([this](QKeyEvent& key) { return DBEdit5KeyPress(key); });
    connect(DBEdit3, &DBEdit::doubleClicked, this, guardedSlot([this] { DBEdit3DblClick(); }));
    connect(DBEdit5, &DBEdit::doubleClicked, this, guardedSlot([this] { DBEdit5DblClick(); }));
    DBGrid1->setKeyPressHook([this](QKeyEvent& key, int column) { return DBGrid1KeyPress(key, column); });
}

void TFrmkp::FormCreate() {
    dm.Users.use(this,
                 {&dm.ClientDataSetxsdtb, &dm.ClientDataSetxsdzb, &dm.ClientDataSetkh, &dm.ClientDataSetywy});
    // Every item passes: the filter another window left on the items is dropped.
    dm.ClientDataSetch.setFilter("");
    dm.ClientDataSetch.setFiltered(true);
    dm.Users.use(this, {&dm.ClientDataSetch});
    dm.ClientDataSetxsdtb.First();
}

void TFrmkp::FormShow() {
    // Shown again while an order is pending (a restored window), the edit appearance stays.
    if (editing_) return;
    for (DBEdit* e : {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, DBEdit6}) e->setEnabled(false);
    DBGrid1->setReadOnly(true);
    DBGrid1->setEnabled(true);
    for (QToolButton* b : {n_insert, n_delete, n_edit, n_exit, n_refresh}) b->setEnabled(true);
    for (QToolButton* b : {n_cancel, n_save, n_insertone, n_deleteone}) b->setEnabled(false);
    UpdateOrderButtons();
}

void TFrmkp::FormClose(CloseAction& action) {
    discardGridEditor();
    // Closed unless another open window (the item or category window) still uses them.
    dm.Users.release(this, {&dm.ClientDataSetxsdtb, &dm.ClientDataSetxsdzb, &dm.ClientDataSetkh,
                            &dm.ClientDataSetywy, &dm.ClientDataSetch});
    action = CloseAction::Free;
}

void TFrmkp::ToggleEditState() {
    for (DBEdit* e : {DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, DBEdit6}) e->setEnabled(!e->isEnabled());
    DBGrid1->setReadOnly(!DBGrid1->ReadOnly());
    for (QWidget* w :
         std::initializer_list<QWidget*>{DBEdit1, DBEdit2, DBEdit3, DBEdit4, DBEdit5, DBEdit6, DBGrid1})
        toggleEditColor(w);
    for (QToolButton* b :
         {n_insert, n_delete, n_edit, n_cancel, n_save, n_exit, n_print, n_insertone, n_deleteone, n_refresh})
        b->setEnabled(!b->isEnabled());
    // The navigator would move away from the order being entered, leaving it half-posted under
    // another order's boxes; it rests while an order is pending.
    DBNavigator1->setEnabled(!DBNavigator1->isEnabled());
    editing_ = !editing_;
    UpdateOrderButtons();
}

namespace {

// The cell editors open in the grid: the viewport's only direct child widgets are cell editors,
// and a closed one is hidden until it is deleted.
QList<QWidget*> openEditors(DBGrid* grid) {
    QList<QWidget*> open;
    for (QWidget* editor : grid->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (!editor->isHidden()) open << editor;
    return open;
}

}  // namespace

bool TFrmkp::commitGridEditor() {
    QAbstractItemDelegate* delegate = DBGrid1->itemDelegate();
    for (QWidget* editor : openEditors(DBGrid1)) {
        emit delegate->commitData(editor);
        if (!DBGrid1->dataModel()->lastWriteSucceeded()) return false;  // reported; the cell stays open
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    return true;
}

void TFrmkp::discardGridEditor() {
    QAbstractItemDelegate* delegate = DBGrid1->itemDelegate();
    for (QWidget* editor : openEditors(DBGrid1))
        emit delegate->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
}

}  // namespace velmora
