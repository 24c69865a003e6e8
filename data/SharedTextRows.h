#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "data/RowLayout.h"

namespace velmora {

// Rows kept with their texts shared (see RowLayout): each row received is rewritten into blocks
// held here, and a text equal to one already in the block becomes a reference to it. The rows
// never move once written. Blocks start small and double up to a size whose distances fit in
// three bytes: a picker of ten rows must not cost a large block. Not thread-safe.
class SharedTextRows {
  public:
    // shared: the layout the rows are read with; its texts are in the shared form.
    explicit SharedTextRows(const RowLayout& shared);
    SharedTextRows(const SharedTextRows&) = delete;
    SharedTextRows& operator=(const SharedTextRows&) = delete;

    // Writes a validated row of wire (the same fields, texts whole); returns the row written.
    const uint8_t* add(const RowLayout& wire, const uint8_t* row);
    // Bytes of the blocks taken from the heap.
    size_t blockBytes() const { return blockBytes_; }

  private:
    static constexpr uint32_t kNone = UINT32_MAX;
    void startBlock(size_t atLeast);
    // Writes the text at q (block offset here), as a reference where one is shorter; returns the end.
    uint8_t* writeText(size_t field, std::string_view text, uint8_t* q);

    const RowLayout& shared_;
    size_t textFields_ = 0;
    std::vector<std::unique_ptr<uint8_t[]>> blocks_;
    uint8_t* block_ = nullptr;
    size_t size_ = 0;
    size_t used_ = 0;
    size_t blockBytes_ = 0;
    // Where a text written whole in the current block starts, found by its bytes; null when none.
    const uint8_t* find(std::string_view text, size_t hash) const;
    void remember(uint32_t at, size_t hash);

    // Where the texts of three bytes or more written whole in the current block start, plus one,
    // in a table open-addressed by the texts' hashes (0: an empty slot). Shorter texts are not
    // worth a lookup: a reference saves them a byte at best.
    std::vector<uint32_t> table_;
    size_t entries_ = 0;
    // Where each field's last text written whole in the current block starts: the lines of one
    // order repeat the order's values row after row, and this finds them without a lookup.
    std::vector<uint32_t> last_;
};

}  // namespace velmora
