#pragma once
// An audit row's changes as lines a person reads: "数量：1 → 5" for a field a modification
// changed, "客户名称：华联超市" for a field of a record added or deleted.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Gives a stored text value the words the windows use for it (a role's caption, say); returns
// the text unchanged when it has none.
using ValueNamer =
    std::function<std::string(std::string_view table, std::string_view field, const std::string& text)>;

// changes is the row's JSON object: {"field": [old, new], ...} or {"field": value, ...}, in the
// order stored. Fields keep their stored names in a table the client does not know; null and an
// empty text read 空, true and false 是 and 否 (so does ischeck's 1 and 0), numbers as they are.
// Empty changes give no line; text that is no JSON object gives itself as the one line.
std::vector<std::string> changeLines(std::string_view table, std::string_view changes,
                                     const ValueNamer& namer = {});

// The item a line of an order holds, from changes that carry it (an insert or a delete): its name,
// else its code; empty when they carry neither.
std::string lineItem(std::string_view changes);

}  // namespace velmora
