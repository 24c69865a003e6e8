#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace velmora {

// Append-only storage for encoded rows written by edits. A row never moves once stored, so the
// pointers handed out stay valid for the arena's lifetime.
class RowArena {
  public:
    const uint8_t* copy(const uint8_t* data, size_t size) {
        if (size > kChunk / 4) {
            chunks_.push_back(std::make_unique<uint8_t[]>(size));
            std::memcpy(chunks_.back().get(), data, size);
            return chunks_.back().get();
        }
        if (chunks_.empty() || used_ + size > kChunk || !open_) {
            chunks_.push_back(std::make_unique<uint8_t[]>(kChunk));
            open_ = chunks_.back().get();
            used_ = 0;
        }
        uint8_t* at = open_ + used_;
        std::memcpy(at, data, size);
        used_ += size;
        return at;
    }

  private:
    static constexpr size_t kChunk = size_t{64} * 1024;
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
    uint8_t* open_ = nullptr;
    size_t used_ = 0;
};

}  // namespace velmora
