#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// One item chosen in the item picker: its code, name, model and unit, each held in a
// slot of fixed capacity in bytes of GBK text, as the order lines take them.
struct PickedItem {
    static constexpr size_t kCodeBytes = 11;
    static constexpr size_t kNameBytes = 40;
    static constexpr size_t kModelBytes = 40;
    static constexpr size_t kUnitBytes = 20;

    std::string chid;
    std::string chname;
    std::string ggxh;
    std::string jldw;

    // The item's values cut to their slots; a character that does not fit whole is left out.
    static PickedItem of(std::string_view chid, std::string_view chname, std::string_view ggxh,
                         std::string_view jldw);
};

}  // namespace velmora
