#include "reports/TFrmjyfx.h"

#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include "data/ClientDataSet.h"
#include "reports/AnalysisChartPanel.h"
#include "reports/AnalysisCharts.h"
#include "reports/CodePickers.h"
#include "reports/OrderListOpen.h"
#include "reports/ReportControls.h"
#include "session/ClientSession.h"
#include "widgets/BitBtn.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Glyphs.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

// Customers and items shown on their own in the rankings; the rest is 其他.
constexpr size_t kTop = 10;

}  // namespace

TFrmjyfx::TFrmjyfx(QWidget* owner, ClientSession& session) : MdiChildForm(owner), session_(session) {
    setObjectName(QStringLiteral("Frmjyfx"));
    setCaption(QStringLiteral("经营分析"));
    setFrameSize(960, 720);
    setFont(songFont(12));
    setControlColor(this, clBtnFace());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolPanel();
    layout->addWidget(Panel3);
    buildCriteria();
    layout->addWidget(Panel1);
    buildCharts();

    auto* charts = new QWidget(this);
    charts->setObjectName(QStringLiteral("Charts"));
    auto* grid = new QGridLayout(charts);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setSpacing(4);
    grid->addWidget(Chart1, 0, 0);
    grid->addWidget(Chart2, 0, 1);
    grid->addWidget(Chart3, 1, 0);
    grid->addWidget(Chart4, 1, 1);
    layout->addWidget(charts, 1);

    Panel2 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(30);
    Panel2->setColor(clMoneyGreen());
    Label7 = addLabel(Panel2, "Label7", 16, 8, QString());
    layout->addWidget(Panel2);
    Label7->setAccessibleName(QStringLiteral("合计"));

    // Empty until the first query: every chart says so.
    shown_ = criteria();
    showCharts();
}

TFrmjyfx::~TFrmjyfx() = default;

void TFrmjyfx::buildToolPanel() {
    Panel3 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedHeight(41);
    Panel3->setColor(clBtnFace());
    n_print = addFlatButton(Panel3, "n_print", 24, QStringLiteral("打印"));
    n_export = addFlatButton(Panel3, "n_export", 88, QStringLiteral("导出"));
    n_exit = addFlatButton(Panel3, "n_exit", 152, QStringLiteral("退出"));
    connect(n_print, &QToolButton::clicked, this, guardedSlot([this] { n_printClick(); }));
    connect(n_export, &QToolButton::clicked, this, guardedSlot([this] { n_exportClick(); }));
    connect(n_exit, &QToolButton::clicked, this, guardedSlot([this] { n_exitClick(); }));
}

void TFrmjyfx::buildCriteria() {
    Panel1 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(76);
    Panel1->setColor(clBtnFace());
    QWidget* p = Panel1;
    // The stored dates of the report dialogs' pickers: their year and the one after.
    const QDate stored = initialReportDate();
    Label1 = addLabel(p, "Label1", 16, 14, QStringLiteral("业务日期："));
    dp1 = addDatePicker(p, "dp1", 80, 10, 97, QDate(stored.year(), 1, 1));
    Label9 = addLabel(p, "Label9", 182, 14, QStringLiteral("-------"));
    dp2 = addDatePicker(p, "dp2", 226, 10, 97, stored.addYears(1));
    dp2->setAccessibleName(QStringLiteral("业务日期止"));
    Label5 = addLabel(p, "Label5", 344, 14, QStringLiteral("时间分组："));
    ComboBox1 = new QComboBox(p);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    for (TimeGrouping g : {TimeGrouping::Day, TimeGrouping::Month, TimeGrouping::Quarter, TimeGrouping::Year})
        ComboBox1->addItem(QString::fromUtf8(timeGroupingText(g)), static_cast<int>(g));
    ComboBox1->setCurrentIndex(1);
    ComboBox1->setGeometry(408, 10, 73, 21);

    Label2 = addLabel(p, "Label2", 16, 48, QStringLiteral("客户编号："));
    Edit1 = addEdit(p, "Edit1", 80, 44, 97);
    Label3 = addLabel(p, "Label3", 190, 48, QStringLiteral("业务员编号："));
    Edit2 = addEdit(p, "Edit2", 266, 44, 89);
    Label4 = addLabel(p, "Label4", 368, 48, QStringLiteral("存货编号："));
    Edit3 = addEdit(p, "Edit3", 432, 44, 97);
    Label6 = addLabel(p, "Label6", 544, 48, QStringLiteral("双击编号输入框，即可弹出代码参照界面。"));
    for (QLineEdit* edit : {Edit1, Edit2, Edit3}) edit->installEventFilter(this);
    Label1->setBuddy(dp1);
    Label5->setBuddy(ComboBox1);
    Label2->setBuddy(Edit1);
    Label3->setBuddy(Edit2);
    Label4->setBuddy(Edit3);

    BitBtn1 = new BitBtn(QStringLiteral("查询"), checkGlyph(), p);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(500, 8, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, guardedSlot([this] { BitBtn1Click(); }));
    for (QLineEdit* edit : {Edit1, Edit2, Edit3})
        connect(edit, &QLineEdit::returnPressed, this, guardedSlot([this] { BitBtn1Click(); }));
}

void TFrmjyfx::buildCharts() {
    Chart1 = new AnalysisChartPanel(QStringLiteral("销售额趋势"), QStringLiteral("Chart1"), this);
    Chart2 = new AnalysisChartPanel(QStringLiteral("客户排行"), QStringLiteral("Chart2"), this);
    Chart3 = new AnalysisChartPanel(QStringLiteral("存货排行"), QStringLiteral("Chart3"), this);
    Chart4 = new AnalysisChartPanel(QStringLiteral("业务员占比"), QStringLiteral("Chart4"), this);
    ComboBox2 = new QComboBox(Chart3);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems({QStringLiteral("按金额"), QStringLiteral("按数量")});
    ComboBox2->setAccessibleName(QStringLiteral("存货排行依据"));
    Chart3->choices()->addStretch(1);
    Chart3->choices()->addWidget(ComboBox2);
    connect(ComboBox2, &QComboBox::currentIndexChanged, this, guardedSlot([this] { showItemRanking(); }));
    for (AnalysisChartPanel* chart : panels())
        connect(chart, &AnalysisChartPanel::activated, this,
                [this, chart](int index) { guarded([&] { drillDown(chart, index); }); });
}

bool TFrmjyfx::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        std::optional<QString> code;
        if (watched == Edit1) guarded([&] { code = pickCustomerCode(session_, this); });
        if (watched == Edit2) guarded([&] { code = pickSalesmanCode(); });
        if (watched == Edit3) guarded([&] { code = pickItemCode(session_, this); });
        if (code) static_cast<QLineEdit*>(watched)->setText(*code);
        if (watched == Edit1 || watched == Edit2 || watched == Edit3) return true;
    }
    return MdiChildForm::eventFilter(watched, event);
}

AnalysisCriteria TFrmjyfx::criteria() const {
    AnalysisCriteria c;
    c.dateFrom = pickerDateText(dp1);
    c.dateTo = pickerDateText(dp2);
    c.customerCode = toStdString(Edit1->text());
    c.salesmanCode = toStdString(Edit2->text());
    c.itemCode = toStdString(Edit3->text());
    c.grouping = static_cast<TimeGrouping>(ComboBox1->currentData().toInt());
    return c;
}

std::unique_ptr<ClientDataSet> TFrmjyfx::fetch(const std::string& statement) const {
    auto rows = std::make_unique<ClientDataSet>("ClientDataSethz");
    rows->setRemoteServer(session_.providerSource());
    rows->setProviderName("DataSetProviderhz");
    rows->setCommandText(statement);
    rows->Open();
    return rows;
}

void TFrmjyfx::BitBtn1Click() {
    const AnalysisCriteria c = criteria();
    // Every statement has answered before anything shown changes.
    auto periods = fetch(trendStatement(c));
    auto customers = fetch(customerStatement(c));
    auto items = fetch(itemStatement(c));
    auto salesmen = fetch(salesmanStatement(c));
    periods_ = readGroups(*periods);
    customers_ = readGroups(*customers);
    items_ = readGroups(*items);
    salesmen_ = readGroups(*salesmen);
    shown_ = c;
    showCharts();
}

void TFrmjyfx::showCharts() {
    auto drill = [this](AnalysisChartPanel* chart) {
        return [this, chart](int index) { guarded([&] { drillDown(chart, index); }); };
    };
    ChartContent trend = trendChart(periods_, shown_.grouping, drill(Chart1));
    Chart1->show(trend.chart, trend.table, trend.description);
    customerRanking_ = rankTop(customers_, kTop, false);
    ChartContent customers = rankingChart(customerRanking_, false, QStringLiteral("客户编号"),
                                          QStringLiteral("客户名称"), drill(Chart2));
    Chart2->show(customers.chart, customers.table, customers.description);
    showItemRanking();
    ChartContent share = shareChart(salesmen_, drill(Chart4));
    Chart4->show(share.chart, share.table, share.description);

    int64_t orders = 0;
    for (const AnalysisGroup& s : salesmen_) orders += s.orders;
    Label7->setText(
        periods_.empty() && customers_.empty()
            ? QStringLiteral("无数据")
            : QStringLiteral("金额合计：%1    数量合计：%2    单据数：%3")
                  .arg(amountText(totalAmount(customers_)), quantityText(totalQuantity(customers_)))
                  .arg(orders));
    Label7->adjustSize();
}

void TFrmjyfx::showItemRanking() {
    const bool byQuantity = ComboBox2->currentIndex() == 1;
    itemRanking_ = rankTop(items_, kTop, byQuantity);
    ChartContent items =
        rankingChart(itemRanking_, byQuantity, QStringLiteral("存货编号"), QStringLiteral("存货名称"),
                     [this](int index) { guarded([&] { drillDown(Chart3, index); }); });
    Chart3->show(items.chart, items.table, items.description);
}

std::vector<std::string> TFrmjyfx::drillCriteria(const std::string& what) const {
    std::vector<std::string> out = describeAnalysisCriteria(shown_);
    out.push_back(what);
    return out;
}

void TFrmjyfx::drillDown(const AnalysisChartPanel* chart, int index) {
    if (index < 0) return;
    const auto at = static_cast<size_t>(index);
    std::string where, what;
    auto ranked = [&](const Ranking& ranking, const char* column, const char* caption) {
        if (at >= ranking.entries.size()) return;
        const RankedEntry& e = ranking.entries[at];
        where = e.other ? otherCodesDrillConditions(shown_, column, ranking.listedCodes, ranking.nullListed)
                        : codeDrillConditions(shown_, column, e.group.key ? &*e.group.key : nullptr);
        what = caption + entryLabel(e);
    };
    if (chart == Chart1 && at < periods_.size() && periods_[at].key) {
        where = periodDrillConditions(shown_, *periods_[at].key);
        what = "期间：" + periodLabel(shown_.grouping, *periods_[at].key);
    } else if (chart == Chart2) {
        ranked(customerRanking_, "khid", "客户：");
    } else if (chart == Chart3) {
        ranked(itemRanking_, "chid", "存货：");
    } else if (chart == Chart4 && at < salesmen_.size()) {
        const AnalysisGroup& s = salesmen_[at];
        where = codeDrillConditions(shown_, "ywyid", s.key ? &*s.key : nullptr);
        what = "业务员：" + entryLabel({s, false});
    }
    if (where.empty()) return;
    openOrderList(session_, where, drillCriteria(what), session_.MainForm);
}

}  // namespace velmora
