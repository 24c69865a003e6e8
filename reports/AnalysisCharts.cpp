#include "reports/AnalysisCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCursor>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QToolTip>
#include <QValueAxis>

#include "data/AmountText.h"
#include "transport/Variant.h"
#include "widgets/Fonts.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

// Entries named in the text read for a chart; the table holds them all.
constexpr int kDescribed = 12;
// Beyond this many periods the labels stand slanted, beyond the second only every few show.
constexpr int kUprightLabels = 8;
// 其他 beyond this many times the largest bar runs off the scale.
constexpr double kOtherBeyondScale = 2;

QChart* newChart() {
    auto* chart = new QChart;
    chart->setFont(songFont(12));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setFont(songFont(12));
    return chart;
}

void styleAxis(QAbstractAxis* axis, const QString& title) {
    axis->setTitleText(title);
    axis->setTitleFont(songFont(12));
    axis->setLabelsFont(songFont(11));
}

QValueAxis* valueAxis(const QString& title, double largest) {
    auto* axis = new QValueAxis;
    styleAxis(axis, title);
    axis->setRange(0, largest > 0 ? largest * 1.1 : 1);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->applyNiceNumbers();
    return axis;
}

void tip(const QString& text) {
    QToolTip::showText(QCursor::pos(), text);
}

QString describe(const QString& head, const QStringList& entries) {
    QStringList shown = entries.mid(0, kDescribed);
    QString text = head + shown.join(QStringLiteral("；"));
    if (entries.size() > kDescribed) text += QStringLiteral("；等，共 %1 项，见下表").arg(entries.size());
    return text;
}

// An empty chart: its title and 无数据 over it, no axes to read.
ChartContent& nothingToShow(ChartContent& content, const QString& chartName) {
    content.chart->legend()->hide();
    content.description = chartName + QStringLiteral("：无数据");
    return content;
}

}  // namespace

QString amountText(double amount) {
    return toQString(amountDisplayText(amount));
}

QString quantityText(double quantity) {
    return toQString(formatDouble15(quantity));
}

ChartContent trendChart(const std::vector<AnalysisGroup>& periods, TimeGrouping grouping,
                        const EntryActivated& activated) {
    ChartContent out;
    out.chart = newChart();
    out.table.titles = {QStringLiteral("期间"), QStringLiteral("金额"), QStringLiteral("数量"),
                        QStringLiteral("单据数")};
    out.table.numeric = {false, true, true, true};
    if (periods.empty()) return nothingToShow(out, QStringLiteral("销售额趋势"));
    auto* amounts = new QBarSet(QStringLiteral("金额"));
    auto* quantities = new QLineSeries;
    quantities->setName(QStringLiteral("数量"));
    quantities->setPointsVisible(true);
    QStringList labels, entries;
    double largestAmount = 0, largestQuantity = 0;
    for (size_t i = 0; i < periods.size(); ++i) {
        const AnalysisGroup& p = periods[i];
        const QString label = toQString(periodLabel(grouping, p.key.value_or(std::string())));
        labels << label;
        *amounts << p.amount;
        quantities->append(static_cast<double>(i), p.quantity);
        largestAmount = std::max(largestAmount, p.amount);
        largestQuantity = std::max(largestQuantity, p.quantity);
        out.table.rows.push_back(
            {label, amountText(p.amount), quantityText(p.quantity), QString::number(p.orders)});
        entries << QStringLiteral("%1 金额 %2 数量 %3")
                       .arg(label, amountText(p.amount), quantityText(p.quantity));
    }
    auto* bars = new QBarSeries;
    bars->append(amounts);
    out.chart->addSeries(bars);
    out.chart->addSeries(quantities);

    auto* periodAxis = new QBarCategoryAxis;
    styleAxis(periodAxis, QStringLiteral("期间（%1）").arg(QString::fromUtf8(timeGroupingText(grouping))));
    periodAxis->append(labels);
    if (labels.size() > kUprightLabels) periodAxis->setLabelsAngle(-60);
    out.chart->addAxis(periodAxis, Qt::AlignBottom);
    QValueAxis* amountAxis = valueAxis(QStringLiteral("金额"), largestAmount);
    out.chart->addAxis(amountAxis, Qt::AlignLeft);
    QValueAxis* quantityAxis = valueAxis(QStringLiteral("数量"), largestQuantity);
    out.chart->addAxis(quantityAxis, Qt::AlignRight);
    bars->attachAxis(periodAxis);
    bars->attachAxis(amountAxis);
    quantities->attachAxis(periodAxis);
    quantities->attachAxis(quantityAxis);
    out.chart->legend()->setAlignment(Qt::AlignBottom);

    const auto rows = out.table.rows;
    QObject::connect(amounts, &QBarSet::hovered, out.chart, [rows](bool on, int index) {
        if (on && index >= 0 && static_cast<size_t>(index) < rows.size()) {
            const QStringList& r = rows[static_cast<size_t>(index)];
            tip(QStringLiteral("%1\n金额：%2\n数量：%3\n单据数：%4").arg(r[0], r[1], r[2], r[3]));
        }
    });
    QObject::connect(quantities, &QLineSeries::hovered, out.chart, [rows](const QPointF& point, bool on) {
        const long index = std::lround(point.x());
        if (on && index >= 0 && static_cast<size_t>(index) < rows.size())
            tip(QStringLiteral("%1\n数量：%2")
                    .arg(rows[static_cast<size_t>(index)][0], rows[static_cast<size_t>(index)][2]));
    });
    QObject::connect(amounts, &QBarSet::clicked, out.chart, [activated](int index) { activated(index); });
    QObject::connect(quantities, &QLineSeries::clicked, out.chart, [activated](const QPointF& point) {
        activated(static_cast<int>(std::lround(point.x())));
    });
    out.description = describe(QStringLiteral("销售额趋势，%1，共 %2 个期间：")
                                   .arg(QString::fromUtf8(timeGroupingText(grouping)))
                                   .arg(periods.size()),
                               entries);
    return out;
}

ChartContent rankingChart(const Ranking& ranking, bool byQuantity, const QString& codeTitle,
                          const QString& nameTitle, const EntryActivated& activated) {
    ChartContent out;
    out.chart = newChart();
    out.table.titles = {codeTitle, nameTitle, QStringLiteral("金额"), QStringLiteral("数量")};
    out.table.numeric = {false, false, true, true};
    const QString measure = byQuantity ? QStringLiteral("数量") : QStringLiteral("金额");
    if (ranking.entries.empty())
        return nothingToShow(out, nameTitle.left(nameTitle.size() - 2) + QStringLiteral("排行"));
    auto* set = new QBarSet(measure);
    QStringList labels, entries;
    double largest = 0;
    const int n = static_cast<int>(ranking.entries.size());
    for (const RankedEntry& e : ranking.entries)
        if (!e.other) largest = std::max(largest, byQuantity ? e.group.quantity : e.group.amount);
    // Horizontal bars stand from the bottom up: the largest goes in last, so that it stands on top.
    for (int i = n - 1; i >= 0; --i) {
        const RankedEntry& e = ranking.entries[static_cast<size_t>(i)];
        double value = byQuantity ? e.group.quantity : e.group.amount;
        *set << value;
        QString label = toQString(entryLabel(e));
        // A rest many times the largest would flatten the ten bars to nothing: the scale follows
        // the ten, and 其他's bar runs off it with its number beside its name.
        if (e.other && value > largest * kOtherBeyondScale && largest > 0)
            label += QStringLiteral("（%1）").arg(byQuantity ? quantityText(value) : amountText(value));
        labels << label;
    }
    // The scale holds every bar but a rest that runs off it.
    const double top = largest;
    for (const RankedEntry& e : ranking.entries) {
        const double value = byQuantity ? e.group.quantity : e.group.amount;
        if (!(e.other && value > top * kOtherBeyondScale && top > 0)) largest = std::max(largest, value);
    }
    for (const RankedEntry& e : ranking.entries) {
        const QString code = e.other || !e.group.key ? QString() : toQString(*e.group.key);
        out.table.rows.push_back(
            {code, toQString(entryLabel(e)), amountText(e.group.amount), quantityText(e.group.quantity)});
        entries << QStringLiteral("%1 %2 %3")
                       .arg(toQString(entryLabel(e)), measure,
                            byQuantity ? quantityText(e.group.quantity) : amountText(e.group.amount));
    }
    auto* bars = new QHorizontalBarSeries;
    bars->append(set);
    out.chart->addSeries(bars);
    auto* names = new QBarCategoryAxis;
    styleAxis(names, nameTitle);
    names->append(labels);
    // Eleven names share the chart's height: small enough that none is cut short.
    names->setLabelsFont(songFont(9));
    names->setTruncateLabels(false);
    out.chart->addAxis(names, Qt::AlignLeft);
    QValueAxis* values =
        valueAxis(byQuantity ? QStringLiteral("数量") : QStringLiteral("金额（元）"), largest);
    out.chart->addAxis(values, Qt::AlignBottom);
    bars->attachAxis(names);
    bars->attachAxis(values);
    out.chart->legend()->hide();

    const auto rows = out.table.rows;
    auto entryOf = [n](int barIndex) { return n - 1 - barIndex; };
    QObject::connect(set, &QBarSet::hovered, out.chart, [rows, entryOf](bool on, int index) {
        const int entry = entryOf(index);
        if (on && entry >= 0 && entry < static_cast<int>(rows.size())) {
            const QStringList& r = rows[static_cast<size_t>(entry)];
            tip(QStringLiteral("%1 %2\n金额：%3\n数量：%4").arg(r[0], r[1], r[2], r[3]).trimmed());
        }
    });
    QObject::connect(set, &QBarSet::clicked, out.chart,
                     [activated, entryOf](int index) { activated(entryOf(index)); });
    out.description = describe(
        QStringLiteral("%1排行，按%2：").arg(nameTitle.left(nameTitle.size() - 2), measure), entries);
    return out;
}

ChartContent shareChart(const std::vector<AnalysisGroup>& salesmen, const EntryActivated& activated) {
    ChartContent out;
    out.chart = newChart();
    out.table.titles = {QStringLiteral("业务员编号"), QStringLiteral("业务员名称"), QStringLiteral("金额"),
                        QStringLiteral("占比"), QStringLiteral("单据数")};
    out.table.numeric = {false, false, true, true, true};
    if (salesmen.empty()) return nothingToShow(out, QStringLiteral("业务员占比"));
    const double total = totalAmount(salesmen);
    auto* pie = new QPieSeries;
    pie->setPieSize(0.7);
    QStringList entries;
    for (size_t i = 0; i < salesmen.size(); ++i) {
        const AnalysisGroup& s = salesmen[i];
        const RankedEntry entry{s, false};
        const QString name = toQString(entryLabel(entry));
        const double share = total != 0 ? s.amount / total * 100 : 0;
        const QString shareText = QString::number(share, 'f', 1) + QLatin1Char('%');
        QPieSlice* slice = pie->append(QStringLiteral("%1 %2").arg(name, shareText), std::max(0.0, s.amount));
        slice->setLabelFont(songFont(11));
        slice->setLabelVisible(salesmen.size() <= 8);
        out.table.rows.push_back({s.key ? toQString(*s.key) : QString(), name, amountText(s.amount),
                                  shareText, QString::number(s.orders)});
        entries << QStringLiteral("%1 金额 %2 占 %3 单据数 %4")
                       .arg(name, amountText(s.amount), shareText)
                       .arg(s.orders);
        const QStringList row = out.table.rows.back();
        QObject::connect(slice, &QPieSlice::hovered, out.chart, [slice, row](bool on) {
            slice->setExploded(on);
            if (on)
                tip(QStringLiteral("%1 %2\n金额：%3（%4）\n单据数：%5")
                        .arg(row[0], row[1], row[2], row[3], row[4])
                        .trimmed());
        });
        QObject::connect(slice, &QPieSlice::clicked, out.chart,
                         [activated, i] { activated(static_cast<int>(i)); });
    }
    out.chart->addSeries(pie);
    out.chart->legend()->setAlignment(Qt::AlignRight);
    out.description = describe(QStringLiteral("业务员占比，共 %1 人：").arg(salesmen.size()), entries);
    return out;
}

}  // namespace velmora
