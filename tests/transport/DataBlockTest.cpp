#include "transport/DataBlock.h"

#include <gtest/gtest.h>

#include "transport/Errors.h"

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

namespace velmora {
namespace {

TEST(DataBlock, TailCountsInTheSizeAndFollowsWhatWasWrittenBefore) {
    DataBlock block(0xDB02);
    block.writeLE<uint32_t>(1);
    block.appendTail(Bytes("tail", 4));
    EXPECT_EQ(block.payloadSize(), 8u);
    EXPECT_EQ(headerWord(block.headForSending(), 4), 8u);
    EXPECT_EQ(block.tail(), Bytes("tail", 4));
    // Writing after the tail moves it into place first, so order is kept.
    block.write("!", 1);
    const Bytes& wire = block.bytesForSending();
    ASSERT_EQ(wire.size(), 17u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(wire.data()) + 12, 5), "tail!");
}

TEST(DataBlock, TakeRestHandsOverTheUnreadBytesAndEmptiesTheBlock) {
    DataBlock block(0xDB02);
    block.writeLE<uint32_t>(7);
    block.write("payload", 7);
    EXPECT_EQ(block.readLE<uint32_t>(), 7u);
    Bytes rest = block.takeRest();
    EXPECT_EQ(rest, Bytes("payload", 7));
    EXPECT_EQ(block.payloadSize(), 0u);
    EXPECT_EQ(block.signature(), 0xDB02u);
    rest.append("+", 1);  // an adopted tail still grows
    EXPECT_EQ(rest, Bytes("payload+", 8));
}

TEST(Bytes, LargeBuffersAreReusedWithTheirContentIntact) {
    std::vector<uint8_t> pattern(3u << 20);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<uint8_t>(i % 251);
    for (int round = 0; round < 3; ++round) {
        Bytes big(pattern.data(), pattern.size());
        Bytes copy = big;
        EXPECT_TRUE(std::equal(pattern.begin(), pattern.end(), copy.data()));
    }
}

}  // namespace
}  // namespace velmora
