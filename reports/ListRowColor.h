#pragma once

#include <cstdint>

namespace velmora {

// The background of a row of the sales order list, as 0x00BBGGRR: pale green (12575970) for an
// even record number, pale yellow (14941179) for any other, negative numbers included.
inline uint32_t listRowColor(int recNo) {
    return recNo % 2 == 0 ? 12575970u : 14941179u;
}

}  // namespace velmora
