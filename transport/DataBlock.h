#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "transport/Bytes.h"
#include "transport/WireCodes.h"

namespace velmora {

// One framed block: an 8-byte header (signature, payload size; both 32-bit little-endian) and
// the payload. Reads are bounds-checked and fail with "Invalid data packet".
class DataBlock {
  public:
    static constexpr size_t kHeaderSize = 8;

    DataBlock();
    explicit DataBlock(uint32_t signature);

    static bool isValidSignature(uint32_t signature) {
        return (signature & kRequestBase) == kRequestBase || (signature & kReplyBase) == kReplyBase;
    }

    uint32_t signature() const { return loadU32(0); }
    void setSignature(uint32_t signature) { storeU32(0, signature); }
    uint32_t action() const { return signature() & 0xFF; }
    bool isReply() const { return (signature() & kReplyBase) == kReplyBase; }
    bool isErrorReply() const { return isReply() && action() == static_cast<uint32_t>(Action::Error); }

    // Back to 8 bytes with both positions at 8; the signature stays.
    void clear();

    size_t payloadSize() const { return buffer_.size() - kHeaderSize + tail_.size(); }
    // Sets the buffer to size + 8 bytes; new payload bytes are uninitialised.
    void setPayloadSize(size_t size);
    uint8_t* payload() { return buffer_.data() + kHeaderSize; }

    void write(const void* data, size_t n);
    template <typename T>
    void writeLE(T value) {
        static_assert(std::is_trivially_copyable_v<T>);
        write(&value, sizeof value);  // the wire is little-endian, like every host we build for
    }
    // Reserves n bytes at the write position and returns where to put them.
    uint8_t* writeSpace(size_t n);
    // Appends bytes that go on the wire after everything written so far, without copying them
    // while nothing else is written after them.
    void appendTail(Bytes bytes);

    void read(void* out, size_t n);
    template <typename T>
    T readLE() {
        T value;
        read(&value, sizeof value);
        return value;
    }
    // Returns a pointer to the next n bytes and moves past them; valid until the block changes.
    const uint8_t* readSpan(size_t n);
    size_t remaining() const { return buffer_.size() - readPos_ + tail_.size(); }

    // Blocks whose owner reads nothing after their last value may give that value's bytes away
    // instead of copying them (see takeRest).
    void setRestTakeable(bool value) { restTakeable_ = value; }
    bool restTakeable() const { return restTakeable_ && tail_.empty(); }
    // Hands over every byte from the read position on and leaves the block empty.
    Bytes takeRest();
    size_t readPos() const { return readPos_; }
    size_t writePos() const { return writePos_; }

    // The whole block as it goes on the wire, with the size field first rewritten from the
    // buffer length so that the header always matches the payload.
    const Bytes& bytesForSending();
    // The same without gathering: the header and what was written go first, then tail().
    const Bytes& headForSending();
    const Bytes& tail() const { return tail_; }
    Bytes& buffer() { return buffer_; }
    const Bytes& buffer() const { return buffer_; }

    // Takes the header (and, without checkLength, whatever payload follows) from a received buffer
    // and returns the size the header declares. With checkLength the buffer must be exactly the
    // declared size + 8 bytes. Anything else fails with "Invalid data packet".
    size_t initFromBuffer(const void* data, size_t length, bool checkLength);

    // Adopts a complete received block (header included) without copying.
    static DataBlock fromReceived(Bytes bytes);

  private:
    uint32_t loadU32(size_t at) const {
        uint32_t v;
        std::memcpy(&v, buffer_.data() + at, 4);
        return v;
    }
    void storeU32(size_t at, uint32_t v) { std::memcpy(buffer_.data() + at, &v, 4); }

    void flushTail();

    Bytes buffer_;
    Bytes tail_;
    bool restTakeable_ = false;
    size_t readPos_ = kHeaderSize;
    size_t writePos_ = kHeaderSize;
};

}  // namespace velmora
