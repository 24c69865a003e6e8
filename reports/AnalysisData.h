#pragma once
// The numbers of 经营分析's charts as the server grouped them, and the ranking the two top-10
// charts show: the ten largest by amount (or by quantity), the rest summed as 其他.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class ClientDataSet;

// One row of a grouped statement: a period or a code with its name.
struct AnalysisGroup {
    std::optional<std::string> key;  // the period or code; none for lines without a code
    std::string name;
    double quantity = 0;
    double amount = 0;
    int64_t orders = 0;  // where the statement counts them
};

// The rows of an open dataset of trendStatement (period, sl, je, djs) or of a grouped statement
// (code, name, sl, je, djs), in the order they came.
std::vector<AnalysisGroup> readGroups(ClientDataSet& rows);

// One bar or slice of a ranking.
struct RankedEntry {
    AnalysisGroup group;
    bool other = false;  // the rest, summed
};

// What a top-N chart shows and what its 其他 stands for.
struct Ranking {
    std::vector<RankedEntry> entries;      // the largest first, 其他 last when there is a rest
    std::vector<std::string> listedCodes;  // the codes shown on their own
    bool nullListed = false;               // lines without a code are shown on their own
};

// The top entries of groups, largest amount (or quantity) first, ties by code; the rest summed into
// one entry when more than top groups exist. 其他's orders count the rest's orders per group, so an
// order that falls in two groups of the rest counts twice there.
Ranking rankTop(const std::vector<AnalysisGroup>& groups, size_t top, bool byQuantity);

// What a group is called on a chart: its name, or its code when it has none; "（无）" for lines
// without a code; "其他" for the rest.
std::string entryLabel(const RankedEntry& entry);

// The sums over groups.
double totalAmount(const std::vector<AnalysisGroup>& groups);
double totalQuantity(const std::vector<AnalysisGroup>& groups);

}  // namespace velmora
