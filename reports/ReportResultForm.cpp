#include "reports/ReportResultForm.h"

#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "data/AmountText.h"
#include "reports/ReportControls.h"
#include "widgets/Accessibility.h"
#include "widgets/Colors.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/ErrorGuard.h"
#include "widgets/Fonts.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

// The least width of a total's value box, so that totals of different lengths line up right.
constexpr int kTotalWidth = 120;

QLabel* addPanelLabel(QWidget* parent, const char* name, int left, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, 24);
    label->adjustSize();
    return label;
}

}  // namespace

ReportResultForm::ReportResultForm(QWidget* owner) : MdiChildForm(owner) {
    setFont(songFont(12));
    setControlColor(this, clBtnFace());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildToolPanel();
    layout->addWidget(Panel3);

    Panel1 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setColor(clBtnFace());
    auto* gridLayout = new QVBoxLayout(Panel1);
    gridLayout->setContentsMargins(Panel1->bevelWidth(), Panel1->bevelWidth(), Panel1->bevelWidth(),
                                   Panel1->bevelWidth());
    DBGrid1 = new DBGrid(Panel1);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setColor(clInfoBk());
    DBGrid1->setReadOnly(true);
    DBGrid1->setTitleFont(songFont(12));
    gridLayout->addWidget(DBGrid1);
    layout->addWidget(Panel1, 1);

    buildTotalsPanel();
    layout->addWidget(Panel2);
}

void ReportResultForm::buildToolPanel() {
    Panel3 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedHeight(41);
    Panel3->setColor(clBtnFace());
    // Export sits beside print; leave moves right to make room, still left of the navigator.
    n_print = addFlatButton(Panel3, "n_print", 24, QStringLiteral("打印"));
    n_export = addFlatButton(Panel3, "n_export", 88, QStringLiteral("导出"));
    n_exit = addFlatButton(Panel3, "n_exit", 152, QStringLiteral("退出"));
    connect(n_print, &QToolButton::clicked, this, guardedSlot([this] { n_printClick(); }));
    connect(n_export, &QToolButton::clicked, this, guardedSlot([this] { n_exportClick(); }));
    connect(n_exit, &QToolButton::clicked, this, guardedSlot([this] { n_exitClick(); }));
    DBNavigator1 = new DBNavigator(Panel3);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(216, 8, 224, 25);
}

void ReportResultForm::buildTotalsPanel() {
    Panel2 = new Panel(this, Panel::Bevel::Raised, Panel::Bevel::Lowered);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(52);
    Panel2->setColor(clBtnFace());
    Label3 = addPanelLabel(Panel2, "Label3", 48, QStringLiteral("数量合计："));
    Label1 = addPanelLabel(Panel2, "Label1", 128, QString());
    Label4 = addPanelLabel(Panel2, "Label4", 280, QStringLiteral("金额合计："));
    Label2 = addPanelLabel(Panel2, "Label2", 360, QString());
    describeAsValue(Label1, QStringLiteral("数量合计"));
    describeAsValue(Label2, QStringLiteral("金额合计"));
}

void ReportResultForm::bindTo(DataSource* source) {
    DBGrid1->setAmountFields({"price1", "money1", "je"});
    DBGrid1->setDataSource(source);
    DBNavigator1->setDataSource(source);
}

void ReportResultForm::setTotals(const QString& quantity, const QString& money) {
    // Right-aligned in boxes of their own width, the amount with two decimals, as in the grid.
    Label1->setText(quantity);
    Label2->setText(toQString(amountDisplayText(toStdString(money))));
    for (QLabel* value : {Label1, Label2}) {
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->resize(std::max(kTotalWidth, value->sizeHint().width()), value->sizeHint().height());
    }
}

}  // namespace velmora
