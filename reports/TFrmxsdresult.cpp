#include "reports/TFrmxsdresult.h"

#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

#include "data/Tdm.h"
#include "reports/ColumnTotal.h"
#include "session/ClientSession.h"
#include "widgets/Colors.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {
// The parts after the first grow from a few thousand rows to a size whose round trip is small
// beside its rows, and whose decoding still leaves the window a moment between two parts.
constexpr int kFirstMoreRows = 5000;
}  // namespace

TFrmxsdresult::TFrmxsdresult(QWidget* owner, ClientSession& session)
    : ReportResultForm(owner), session_(session), dm(session.dm()) {
    setObjectName(QStringLiteral("Frmxsdresult"));
    setCaption(QStringLiteral("销售单查询结果"));
    setFrameSize(544, 375);

    const struct {
        const char* field;
        const char* title;
    } columns[] = {
        {"xsdid", "发票号"},     {"rq", "业务日期"},        {"khid", "客户编号"},   {"khname", "客户名称"},
        {"ywyid", "业务员编号"}, {"ywyname", "业务员名称"}, {"username", "制单人"}, {"shrname", "审核人"},
        {"chid", "存货编号"},    {"chname", "存货名称"},    {"ggxh", "规格型号"},   {"jldw", "计量单位"},
        {"quantity1", "数量"},   {"price1", "单价"},        {"money1", "金额"},
    };
    std::vector<DBGridColumn> gridColumns;
    for (const auto& c : columns)
        gridColumns.push_back({QString::fromLatin1(c.field), QString::fromUtf8(c.title), 105, false});
    DBGrid1->setColumns(std::move(gridColumns));
    useListColours();
    bindTo(&dm.DataSourcexsdview);
    setReportTitle(QStringLiteral("销售单列表"), "quantity1", "money1");

    // Where the totals will stand: how many rows came so far, and the way to stop.
    LabelFetch = new QLabel(Panel2);
    LabelFetch->setObjectName(QStringLiteral("LabelFetch"));
    LabelFetch->move(48, 24);
    n_stop = new QToolButton(Panel2);
    n_stop->setObjectName(QStringLiteral("n_stop"));
    n_stop->setText(QStringLiteral("取消"));
    n_stop->setToolTip(QStringLiteral("停止读取 (Esc)"));
    n_stop->setGeometry(300, 17, 64, 25);
    connect(n_stop, &QToolButton::clicked, this, guardedSlot([this] { CancelFetch(); }));
    fetchTimer_.setSingleShot(true);
    connect(&fetchTimer_, &QTimer::timeout, this, [this] { fetchStep(); });
    showProgress(false);

    dm.ClientDataSetxsdview.Open();
    FetchRows();
}

void TFrmxsdresult::ShowTotals() {
    setTotals(session_.ListTotalQuantity, session_.ListTotalMoney);
}

void TFrmxsdresult::showProgress(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(LabelFetch), static_cast<QWidget*>(n_stop)}) w->setVisible(on);
    for (QLabel* total : {Label1, Label2, Label3, Label4}) total->setVisible(!on);
    if (!on) return;
    ClientDataSet& rows = dm.ClientDataSetxsdview;
    LabelFetch->setText(QStringLiteral("正在读取… 已读取 %1 行").arg(rows.Active() ? rows.RecordCount() : 0));
    LabelFetch->adjustSize();
    LabelFetch->setAccessibleName(LabelFetch->text());
}

void TFrmxsdresult::FetchRows() {
    ClientDataSet& rows = dm.ClientDataSetxsdview;
    if (!rows.Active() || rows.AllFetched()) return finishFetch();
    partRows_ = std::min(kFirstMoreRows, MostRowsAPart);
    showProgress(true);
    fetchTimer_.start(0);
}

void TFrmxsdresult::fetchStep() {
    ClientDataSet& rows = dm.ClientDataSetxsdview;
    if (!rows.Active()) return showProgress(false);
    if (HoldBack) return fetchTimer_.start(10);
    fetching_ = true;
    bool ok = guarded([&] {
        rows.FetchMore(partRows_);
        partRows_ = std::min(partRows_ * 2, MostRowsAPart);
    });
    fetching_ = false;
    // A reconnect after a lost connection fetches every row at once.
    if (rows.Active() && rows.AllFetched()) return finishFetch();
    // The error was shown; what came is no list.
    if (!ok) return abandonFetch();
    showProgress(true);
    // Between two parts the window paints, scrolls and takes the keys.
    fetchTimer_.start(0);
}

void TFrmxsdresult::finishFetch() {
    fetchTimer_.stop();
    ClientDataSet& rows = dm.ClientDataSetxsdview;
    // The totals are the sums over the rows fetched: no second scan of the same rows on the server.
    session_.ListTotalQuantity = toQString(columnTotalText(rows, "quantity1"));
    session_.ListTotalMoney = toQString(columnTotalText(rows, "money1"));
    showProgress(false);
    ShowTotals();
}

void TFrmxsdresult::CancelFetch() {
    if (Fetching()) abandonFetch();
}

void TFrmxsdresult::abandonFetch() {
    fetchTimer_.stop();
    showProgress(false);
    // Closing the rows tells the server to forget the rest of the result.
    dm.ClientDataSetxsdview.Close();
    Close();
}

void TFrmxsdresult::keyPressEvent(QKeyEvent* event) {
    // Esc reaches the window from the grid and the buttons, which leave it to their parent.
    if (event->key() == Qt::Key_Escape && Fetching()) {
        guarded([this] { CancelFetch(); });
        return;
    }
    ReportResultForm::keyPressEvent(event);
}

void TFrmxsdresult::FormClose(CloseAction& action) {
    fetchTimer_.stop();
    dm.ClientDataSetxsdview.Close();
    action = CloseAction::Free;
}

}  // namespace velmora
