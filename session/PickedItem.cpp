#include "session/PickedItem.h"

#include "data/GbkText.h"

namespace velmora {

PickedItem PickedItem::of(std::string_view chid, std::string_view chname, std::string_view ggxh,
                          std::string_view jldw) {
    return PickedItem{cutToGbkBytes(chid, kCodeBytes), cutToGbkBytes(chname, kNameBytes),
                      cutToGbkBytes(ggxh, kModelBytes), cutToGbkBytes(jldw, kUnitBytes)};
}

}  // namespace velmora
