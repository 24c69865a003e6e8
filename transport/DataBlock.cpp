#include "transport/DataBlock.h"

#include "transport/Errors.h"

namespace velmora {

namespace {
[[noreturn]] void invalidPacket() {
    throw InterpreterError("Invalid data packet");
}
}  // namespace

DataBlock::DataBlock() : DataBlock(0) {}

DataBlock::DataBlock(uint32_t signature) : buffer_(kHeaderSize) {
    storeU32(0, signature);
    storeU32(4, 0);
}

void DataBlock::clear() {
    tail_ = Bytes();
    buffer_.resize(kHeaderSize);
    readPos_ = writePos_ = kHeaderSize;
}

void DataBlock::setPayloadSize(size_t size) {
    flushTail();
    buffer_.resize(size + kHeaderSize);
    if (readPos_ > buffer_.size()) readPos_ = buffer_.size();
    if (writePos_ > buffer_.size()) writePos_ = buffer_.size();
}

void DataBlock::flushTail() {
    if (tail_.empty()) return;
    Bytes tail = std::move(tail_);
    tail_ = Bytes();
    buffer_.resize(writePos_);
    buffer_.append(tail.data(), tail.size());
    writePos_ = buffer_.size();
}

void DataBlock::appendTail(Bytes bytes) {
    flushTail();
    if (writePos_ != buffer_.size()) {
        write(bytes.data(), bytes.size());
        return;
    }
    tail_ = std::move(bytes);
}

Bytes DataBlock::takeRest() {
    flushTail();
    uint32_t signature = this->signature();
    Bytes rest = Bytes::adoptTail(std::move(buffer_), readPos_);
    buffer_ = Bytes(kHeaderSize);
    storeU32(0, signature);
    storeU32(4, 0);
    readPos_ = writePos_ = kHeaderSize;
    return rest;
}

uint8_t* DataBlock::writeSpace(size_t n) {
    flushTail();
    size_t at = writePos_;
    if (at + n > buffer_.size()) buffer_.resize(at + n);
    writePos_ += n;
    return buffer_.data() + at;
}

void DataBlock::write(const void* data, size_t n) {
    if (n == 0) return;
    std::memcpy(writeSpace(n), data, n);
}

void DataBlock::read(void* out, size_t n) {
    if (n == 0) return;
    std::memcpy(out, readSpan(n), n);
}

const uint8_t* DataBlock::readSpan(size_t n) {
    flushTail();
    if (n > remaining()) invalidPacket();
    const uint8_t* p = buffer_.data() + readPos_;
    readPos_ += n;
    return p;
}

const Bytes& DataBlock::bytesForSending() {
    flushTail();
    return headForSending();
}

const Bytes& DataBlock::headForSending() {
    storeU32(4, static_cast<uint32_t>(payloadSize()));
    return buffer_;
}

size_t DataBlock::initFromBuffer(const void* data, size_t length, bool checkLength) {
    if (length < kHeaderSize) invalidPacket();
    const auto* bytes = static_cast<const uint8_t*>(data);
    uint32_t signature, size;
    std::memcpy(&signature, bytes, 4);
    std::memcpy(&size, bytes + 4, 4);
    if (!isValidSignature(signature)) invalidPacket();
    if (checkLength && length != size_t(size) + kHeaderSize) invalidPacket();
    clear();
    setSignature(signature);
    write(bytes + kHeaderSize, length - kHeaderSize);
    return size;
}

DataBlock DataBlock::fromReceived(Bytes bytes) {
    if (bytes.size() < kHeaderSize) invalidPacket();
    DataBlock block;
    block.buffer_ = std::move(bytes);
    block.writePos_ = block.buffer_.size();
    return block;
}

}  // namespace velmora
