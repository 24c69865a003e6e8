#pragma once
// The four charts of 经营分析 built from the grouped numbers, with the table under each and the
// text assistive technology reads for it.

#include <functional>
#include <vector>

#include "reports/AnalysisChartPanel.h"
#include "reports/AnalysisData.h"
#include "reports/AnalysisStatement.h"

namespace velmora {

struct ChartContent {
    QChart* chart = nullptr;  // the caller takes it
    ChartTable table;
    QString description;
};

// Called with the index of the entry (a row of the table) a bar, slice or point stands for.
using EntryActivated = std::function<void(int index)>;

// Amount per period as bars, quantity as a line on a second axis.
ChartContent trendChart(const std::vector<AnalysisGroup>& periods, TimeGrouping grouping,
                        const EntryActivated& activated);
// A ranking as horizontal bars, the largest on top; by amount or by quantity.
ChartContent rankingChart(const Ranking& ranking, bool byQuantity, const QString& codeTitle,
                          const QString& nameTitle, const EntryActivated& activated);
// Each salesman's share of the amount as a pie, with the number of orders.
ChartContent shareChart(const std::vector<AnalysisGroup>& salesmen, const EntryActivated& activated);

// Texts as the charts and tables show them.
QString amountText(double amount);
QString quantityText(double quantity);

}  // namespace velmora
