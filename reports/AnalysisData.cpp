#include "reports/AnalysisData.h"

#include <algorithm>

#include "data/ClientDataSet.h"
#include "data/ValueText.h"

namespace velmora {

namespace {

// A sum or count as a number; a sum over nothing but nulls is null, and one whose first value
// was null comes back typed as text.
double numberOf(const Variant& value) {
    if (value.isNull() || value.isEmpty()) return 0;
    if (value.type() == VarType::String) return parseNumber(value.stringValue()).value_or(0);
    return value.toDouble();
}

int fieldOf(ClientDataSet& rows, const char* name) {
    Field* field = rows.FindField(name);
    return field ? field->Index() : -1;
}

}  // namespace

std::vector<AnalysisGroup> readGroups(ClientDataSet& rows) {
    std::vector<AnalysisGroup> out;
    if (!rows.Active()) return out;
    int key = fieldOf(rows, "period");
    if (key < 0) key = fieldOf(rows, "code");
    const int name = fieldOf(rows, "name"), sl = fieldOf(rows, "sl"), je = fieldOf(rows, "je"),
              djs = fieldOf(rows, "djs");
    for (int row = 0, n = rows.RecordCount(); row < n; ++row) {
        AnalysisGroup g;
        if (key >= 0 && !rows.valueAt(row, key).isNull()) g.key = rows.textAt(row, key);
        if (name >= 0) g.name = rows.textAt(row, name);
        if (sl >= 0) g.quantity = numberOf(rows.valueAt(row, sl));
        if (je >= 0) g.amount = numberOf(rows.valueAt(row, je));
        if (djs >= 0) g.orders = static_cast<int64_t>(numberOf(rows.valueAt(row, djs)));
        out.push_back(std::move(g));
    }
    return out;
}

Ranking rankTop(const std::vector<AnalysisGroup>& groups, size_t top, bool byQuantity) {
    std::vector<const AnalysisGroup*> order;
    for (const AnalysisGroup& g : groups) order.push_back(&g);
    auto measure = [byQuantity](const AnalysisGroup* g) { return byQuantity ? g->quantity : g->amount; };
    std::stable_sort(order.begin(), order.end(), [&](const AnalysisGroup* a, const AnalysisGroup* b) {
        if (measure(a) != measure(b)) return measure(a) > measure(b);
        return a->key < b->key;  // none before any code
    });
    Ranking ranking;
    for (size_t i = 0; i < order.size() && i < top; ++i) {
        ranking.entries.push_back({*order[i], false});
        if (order[i]->key)
            ranking.listedCodes.push_back(*order[i]->key);
        else
            ranking.nullListed = true;
    }
    if (order.size() > top) {
        RankedEntry rest{{}, true};
        for (size_t i = top; i < order.size(); ++i) {
            rest.group.quantity += order[i]->quantity;
            rest.group.amount += order[i]->amount;
            rest.group.orders += order[i]->orders;
        }
        ranking.entries.push_back(std::move(rest));
    }
    return ranking;
}

std::string entryLabel(const RankedEntry& entry) {
    if (entry.other) return "其他";
    if (!entry.group.key) return "（无）";
    return entry.group.name.empty() ? *entry.group.key : entry.group.name;
}

double totalAmount(const std::vector<AnalysisGroup>& groups) {
    double sum = 0;
    for (const AnalysisGroup& g : groups) sum += g.amount;
    return sum;
}

double totalQuantity(const std::vector<AnalysisGroup>& groups) {
    double sum = 0;
    for (const AnalysisGroup& g : groups) sum += g.quantity;
    return sum;
}

}  // namespace velmora
