#include "sales/TfrmClbm_Fzlr.h"

#include <QLabel>
#include <QVBoxLayout>

#include "data/Tdm.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Panel.h"

namespace velmora {

TfrmClbm_Fzlr::TfrmClbm_Fzlr(ClientSession& session, QWidget* parent)
    : DialogForm(parent), session_(session) {
    setObjectName(QStringLiteral("frmClbm_Fzlr"));
    setCaption(QStringLiteral("存货代码查询"));
    resize(544, 378);
    setBackground(clBtnFace());
    setFont(songFont(12));
    setSizeGripEnabled(true);

    Panel1 = new Panel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    DBGrid1 = new DBGrid(Panel1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("存货列表"));
    DBGrid1->setDataSource(&session_.dm().DataSourcech);
    DBGrid1->setColumns({{QStringLiteral("chflid"), QStringLiteral("存货分类编码"), 105},
                         {QStringLiteral("chid"), QStringLiteral("存货编码"), 115},
                         {QStringLiteral("chname"), QStringLiteral("存货名称"), 135},
                         {QStringLiteral("ggxh"), QStringLiteral("规格型号"), 137},
                         {QStringLiteral("jldw"), QStringLiteral("计量单位"), 105}});
    DBGrid1->setReadOnly(true);
    DBGrid1->setMultiSelect(true);
    auto* upper = new QVBoxLayout(Panel1);
    upper->setContentsMargins(Panel1->contentsMargins());
    upper->addWidget(DBGrid1);

    Panel2 = new Panel(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(71);
    Label1 = new QLabel(
        QStringLiteral(
            "只要双击对应的存货，则表示选中。同时，可实现多选，只要在多选时，按住Ctrl键不松即可。"),
        Panel2);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 8);
    Label2 = new QLabel(QStringLiteral("最后点击%1按钮即可。").arg(BitBtn::standardCaption(BitBtn::Kind::Ok)),
                        Panel2);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(8, 26);
    BitBtn1 = new BitBtn(BitBtn::Kind::Ok, Panel2);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(176, 42, 75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));
    BitBtn2 = new BitBtn(BitBtn::Kind::Cancel, Panel2);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(296, 42, 75, 25);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { setModalResult(mrCancel); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addWidget(Panel2);

    FormCreate();
}

void TfrmClbm_Fzlr::FormCreate() {
    session_.PickedItems.clear();
    // Every item is offered, whatever filter the item window left on the shared dataset; that
    // window gets its filter back when the picker goes.
    ClientDataSet& ch = session_.dm().ClientDataSetch;
    savedFilter_ = ch.Filter();
    savedFiltered_ = ch.Filtered();
    ch.setFilter("");
    ch.Open();
}

TfrmClbm_Fzlr::~TfrmClbm_Fzlr() {
    DBGrid1->setDataSource(nullptr);
    try {
        ClientDataSet& ch = session_.dm().ClientDataSetch;
        ch.setFilter(savedFilter_);
        ch.setFiltered(savedFiltered_);
    } catch (...) {
        // The filter was valid when it was saved; a dataset that refuses it now keeps none.
    }
}

void TfrmClbm_Fzlr::BitBtn1Click() {
    const std::vector<Bookmark> marks = DBGrid1->SelectedRows();
    ClientDataSet& ch = session_.dm().ClientDataSetch;
    std::vector<PickedItem> picked;
    picked.reserve(marks.size());
    for (const Bookmark& mark : marks) {
        ch.GotoBookmark(mark);
        picked.push_back(
            PickedItem::of(ch.FieldByName("chid").AsString(), ch.FieldByName("chname").AsString(),
                           ch.FieldByName("ggxh").AsString(), ch.FieldByName("jldw").AsString()));
    }
    session_.PickedItems = std::move(picked);
    setModalResult(mrOk);
}

}  // namespace velmora
