#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace velmora {

// Append-only storage for encoded rows written by edits. A row never moves once stored, so the
// pointers handed out stay valid for the arena's lifetime. Chunks start small and double: an
// order's lines get an arena of their own, and a few lines must not cost a large chunk each.
class RowArena {
  public:
    const uint8_t* copy(const uint8_t* data, size_t size) {
        if (size > kMaxChunk / 4) {
            chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(size));
            std::memcpy(chunks_.back().get(), data, size);
            return chunks_.back().get();
        }
        if (!open_ || used_ + size > chunkSize_) {
            size_t next = open_ ? std::min(chunkSize_ * 2, kMaxChunk) : kFirstChunk;
            while (next < size) next *= 2;
            chunks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(next));
            open_ = chunks_.back().get();
            chunkSize_ = next;
            used_ = 0;
        }
        uint8_t* at = open_ + used_;
        std::memcpy(at, data, size);
        used_ += size;
        return at;
    }

  private:
    static constexpr size_t kFirstChunk = 512;
    static constexpr size_t kMaxChunk = size_t{64} * 1024;
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
    uint8_t* open_ = nullptr;
    size_t chunkSize_ = 0;
    size_t used_ = 0;
};

}  // namespace velmora
