#pragma once
// How an order's history says which line a row concerns: "第2行（彩电）" for a line the order holds
// now, by its place in the window; the item alone for a line deleted since.

#include <map>
#include <string>
#include <string_view>

namespace velmora {

class OrderLineNames {
  public:
    // A line the order holds now, at position (1 for the first line shown), holding item.
    void addCurrent(const std::string& lineId, int position, const std::string& item);
    // Learns a line's item from one of its audit rows' changes (an insert or a delete holds it).
    void learn(const std::string& lineId, std::string_view changes);
    // "第2行（彩电）", "第2行" when the item is unknown, "明细（彩电）" for a line the order no
    // longer holds, "明细（行号17）" when nothing else is known of it.
    std::string nameOf(const std::string& lineId) const;

  private:
    struct Line {
        int position = 0;  // 0: not in the order now
        std::string item;
    };
    std::map<std::string, Line> lines_;
};

}  // namespace velmora
