#include "DataBlock.h"

#include <gtest/gtest.h>

#include "Errors.h"

namespace velmora {
namespace {

uint32_t headerWord(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

TEST(DataBlock, NewBlockIsHeaderOnlyWithPositionsAfterIt) {
    DataBlock block(0xDA02);
    EXPECT_EQ(block.payloadSize(), 0u);
    EXPECT_EQ(block.readPos(), 8u);
    EXPECT_EQ(block.writePos(), 8u);
    const Bytes& wire = block.bytesForSending();
    ASSERT_EQ(wire.size(), 8u);
    EXPECT_EQ(headerWord(wire, 0), 0xDA02u);
    EXPECT_EQ(headerWord(wire, 4), 0u);
}

TEST(DataBlock, SizeFieldIsRewrittenFromThePayloadBeforeSending) {
    DataBlock block(0xDB02);
    block.writeLE<uint32_t>(7);
    block.write("abc", 3);
    EXPECT_EQ(headerWord(block.bytesForSending(), 4), 7u);
    block.setPayloadSize(2);
    EXPECT_EQ(headerWord(block.bytesForSending(), 4), 2u);
    block.clear();
    EXPECT_EQ(headerWord(block.bytesForSending(), 4), 0u);
    EXPECT_EQ(block.signature(), 0xDB02u);
}

TEST(DataBlock, SignatureTestAcceptsRequestsAndRepliesOnly) {
    EXPECT_TRUE(DataBlock::isValidSignature(0xDA02));
    EXPECT_TRUE(DataBlock::isValidSignature(0xDB05));
    EXPECT_TRUE(DataBlock::isValidSignature(0xDB01));
    EXPECT_FALSE(DataBlock::isValidSignature(5));
    EXPECT_FALSE(DataBlock::isValidSignature(0x1200));
    DataBlock reply(0xDB01);
    EXPECT_TRUE(reply.isReply());
    EXPECT_TRUE(reply.isErrorReply());
    EXPECT_FALSE(DataBlock(0xDA01).isReply());
}

TEST(DataBlock, ReadsPastTheEndFailAsInvalidPacket) {
    DataBlock block(0xDA02);
    block.writeLE<uint16_t>(1);
    EXPECT_EQ(block.readLE<uint16_t>(), 1);
    EXPECT_THROW(block.readLE<uint8_t>(), InterpreterError);
    try {
        block.readSpan(1);
    } catch (const InterpreterError& e) {
        EXPECT_STREQ(e.what(), "Invalid data packet");
    }
}

TEST(DataBlock, InitFromBufferWithAndWithoutLengthCheck) {
    DataBlock source(0xDA03);
    source.write("hello", 5);
    Bytes wire = source.bytesForSending();

    DataBlock exact;
    EXPECT_EQ(exact.initFromBuffer(wire.data(), wire.size(), true), 5u);
    EXPECT_EQ(exact.signature(), 0xDA03u);
    EXPECT_EQ(exact.payloadSize(), 5u);

    // Without the check only the header needs to be there; the caller reads the rest.
    DataBlock partial;
    EXPECT_EQ(partial.initFromBuffer(wire.data(), 10, false), 5u);
    EXPECT_EQ(partial.payloadSize(), 2u);

    DataBlock bad;
    EXPECT_THROW(bad.initFromBuffer(wire.data(), 10, true), InterpreterError);
    EXPECT_THROW(bad.initFromBuffer(wire.data(), 7, false), InterpreterError);
    Bytes badSignature = wire;
    badSignature[0] = 5;
    badSignature[1] = 0;
    EXPECT_THROW(bad.initFromBuffer(badSignature.data(), badSignature.size(), false), InterpreterError);
}

TEST(Bytes, GrowsKeepingContentAndCopiesIndependently) {
    Bytes b;
    for (int i = 0; i < 1000; ++i) b.append(&i, sizeof i);
    EXPECT_EQ(b.size(), 4000u);
    Bytes copy = b;
    copy[0] = 0xFF;
    EXPECT_NE(copy, b);
    int last;
    std::memcpy(&last, b.data() + 3996, 4);
    EXPECT_EQ(last, 999);
    Bytes moved = std::move(copy);
    EXPECT_EQ(moved.size(), 4000u);
}

}  // namespace
}  // namespace velmora
