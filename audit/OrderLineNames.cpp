#include "audit/OrderLineNames.h"

#include "audit/ChangeText.h"

namespace velmora {

void OrderLineNames::addCurrent(const std::string& lineId, int position, const std::string& item) {
    Line& line = lines_[lineId];
    line.position = position;
    if (!item.empty()) line.item = item;
}

void OrderLineNames::learn(const std::string& lineId, std::string_view changes) {
    std::string item = lineItem(changes);
    if (item.empty()) return;
    Line& line = lines_[lineId];
    // What the line holds now names it better than what it once held.
    if (line.item.empty()) line.item = std::move(item);
}

std::string OrderLineNames::nameOf(const std::string& lineId) const {
    auto it = lines_.find(lineId);
    const Line none;
    const Line& line = it == lines_.end() ? none : it->second;
    const std::string item = line.item.empty() ? "" : "（" + line.item + "）";
    if (line.position > 0) return "第" + std::to_string(line.position) + "行" + item;
    return "明细" + (item.empty() ? "（行号" + lineId + "）" : item);
}

}  // namespace velmora
