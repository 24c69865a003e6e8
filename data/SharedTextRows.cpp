#include "data/SharedTextRows.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

#include "transport/Errors.h"

namespace velmora {

namespace {

constexpr size_t kFirstBlock = 4096;
// Distances stay below 2^20: a reference takes at most three bytes.
constexpr size_t kLargestBlock = size_t{1} << 20;

size_t varintSize(uint32_t v) {
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

uint8_t* putVarint(uint8_t* q, uint32_t v) {
    while (v >= 0x80) {
        *q++ = static_cast<uint8_t>(v | 0x80);
        v >>= 7;
    }
    *q++ = static_cast<uint8_t>(v);
    return q;
}

}  // namespace

SharedTextRows::SharedTextRows(const RowLayout& shared) : shared_(shared), last_(shared.fieldCount(), kNone) {
    for (size_t f = 0; f < shared.fieldCount(); ++f)
        if (shared.type(f) == FieldType::String) ++textFields_;
}

void SharedTextRows::startBlock(size_t atLeast) {
    size_t next = block_ ? std::min(size_ * 2, kLargestBlock) : kFirstBlock;
    // A row larger than the largest block gets a block of its own; its texts stay whole.
    next = std::max(next, atLeast);
    blocks_.push_back(std::make_unique_for_overwrite<uint8_t[]>(next));
    block_ = blocks_.back().get();
    size_ = next;
    used_ = 0;
    blockBytes_ += next;
    std::fill(table_.begin(), table_.end(), 0);
    entries_ = 0;
    std::fill(last_.begin(), last_.end(), kNone);
}

const uint8_t* SharedTextRows::find(std::string_view text, size_t hash) const {
    if (table_.empty()) return nullptr;
    const size_t mask = table_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        if (table_[i] == 0) return nullptr;
        const uint8_t* at = block_ + table_[i] - 1;
        if (RowLayout::sharedText(at) == text) return at;
    }
}

void SharedTextRows::remember(uint32_t at, size_t hash) {
    if ((entries_ + 1) * 2 > table_.size()) {
        // Twice the size, the texts placed again by their hashes.
        std::vector<uint32_t> old = std::move(table_);
        table_.assign(std::max<size_t>(old.size() * 2, 1024), 0);
        entries_ = 0;
        for (uint32_t slot : old)
            if (slot != 0)
                remember(slot - 1, std::hash<std::string_view>{}(RowLayout::sharedText(block_ + slot - 1)));
    }
    const size_t mask = table_.size() - 1;
    const std::string_view text = RowLayout::sharedText(block_ + at);
    size_t i = hash & mask;
    while (table_[i] != 0 && RowLayout::sharedText(block_ + table_[i] - 1) != text) i = (i + 1) & mask;
    if (table_[i] == 0) ++entries_;
    // The latest copy of a text is the nearest: its references are the shortest.
    table_[i] = at + 1;
}

uint8_t* SharedTextRows::writeText(size_t field, std::string_view text, uint8_t* q) {
    if (text.size() > UINT32_MAX / 2) throw VelmoraError("Text too long for a row");
    const uint32_t here = static_cast<uint32_t>(q - block_);
    const uint32_t length = static_cast<uint32_t>(text.size());
    const bool looked = length >= 3;
    size_t hash = 0;
    uint32_t at = kNone;
    if (last_[field] != kNone && RowLayout::sharedText(block_ + last_[field]) == text) {
        at = last_[field];
    } else if (looked) {
        hash = std::hash<std::string_view>{}(text);
        if (const uint8_t* found = find(text, hash)) at = static_cast<uint32_t>(found - block_);
    }
    if (at != kNone) {
        const uint32_t reference = ((here - at) << 1) | 1;
        if (varintSize(reference) < varintSize(length * 2) + length) {
            last_[field] = at;
            return putVarint(q, reference);
        }
    }
    q = putVarint(q, length * 2);
    std::memcpy(q, text.data(), length);
    if (looked) remember(here, hash ? hash : std::hash<std::string_view>{}(text));
    last_[field] = here;
    return q + length;
}

const uint8_t* SharedTextRows::add(const RowLayout& wire, const uint8_t* row) {
    // A text's varint grows by a byte at most when it counts twice its length.
    const size_t largest = wire.rowSize(row) + textFields_;
    if (!block_ || used_ + largest > size_) startBlock(largest);
    // Blocks are at most 1 MB unless a single row is larger; a reference then never reaches past
    // the block's start, and a row that large has no earlier text in its block to refer to.
    uint8_t* const out = block_ + used_;
    const size_t bitmap = wire.bitmapBytes();
    std::memcpy(out, row, bitmap);
    const uint8_t* p = row + bitmap;
    uint8_t* q = out + bitmap;
    for (size_t f = 0; f < wire.fieldCount(); ++f) {
        if (RowLayout::isNull(row, f)) continue;
        const uint8_t* next = wire.skip(f, p);
        if (wire.type(f) == FieldType::String) {
            q = writeText(f, RowLayout::text(p), q);
        } else {
            std::memcpy(q, p, static_cast<size_t>(next - p));
            q += next - p;
        }
        p = next;
    }
    used_ += static_cast<size_t>(q - out);
    return out;
}

}  // namespace velmora
