#include "transport/VariantCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "transport/Errors.h"
#include "transport/Utf16.h"

namespace velmora {
namespace {

Variant roundTrip(const Variant& v) {
    DataBlock block(0xDA02);
    writeVariant(block, v, nullptr);
    Variant back = readVariant(block, nullptr);
    EXPECT_EQ(block.remaining(), 0u);
    return back;
}

std::vector<uint8_t> encoded(const Variant& v) {
    DataBlock block(0xDA02);
    writeVariant(block, v, nullptr);
    const Bytes& b = block.buffer();
    return std::vector<uint8_t>(b.begin() + 8, b.end());
}

TEST(VariantCodec, EveryScalarTypeRoundTrips) {
    std::vector<Variant> values = {Variant(),
                                   Variant::null(),
                                   Variant::smallInt(-12345),
                                   Variant(int32_t(-2000000000)),
                                   Variant::single(1.5f),
                                   Variant(3.141592653589793),
                                   Variant::currency(-123456789),
                                   Variant::date(37621.5),
                                   Variant("销售开票 and ASCII"),
                                   Variant::error(static_cast<int32_t>(0x80020004)),
                                   Variant(true),
                                   Variant(false),
                                   Variant::byte(250)};
    for (const Variant& v : values) {
        Variant back = roundTrip(v);
        EXPECT_EQ(back, v) << "tag " << v.tag();
        EXPECT_EQ(back.ref(), RefKind::None);
    }
}

TEST(VariantCodec, WireBytesOfTextBooleanAndEmptyText) {
    EXPECT_EQ(encoded(Variant("")), (std::vector<uint8_t>{8, 0, 0, 0, 0, 0, 0, 0}));
    // "A中": length 2 in UTF-16 units, then little-endian units.
    EXPECT_EQ(encoded(Variant("A中")), (std::vector<uint8_t>{8, 0, 0, 0, 2, 0, 0, 0, 'A', 0, 0x2D, 0x4E}));
    EXPECT_EQ(encoded(Variant(true)), (std::vector<uint8_t>{11, 0, 0, 0, 0xFF, 0xFF}));
    EXPECT_EQ(encoded(Variant(false)), (std::vector<uint8_t>{11, 0, 0, 0, 0, 0}));
}

TEST(VariantCodec, TextOutsideTheBasicPlaneUsesSurrogatePairs) {
    Variant v("𠀀x");
    EXPECT_EQ(encoded(v), (std::vector<uint8_t>{8, 0, 0, 0, 3, 0, 0, 0, 0x40, 0xD8, 0x00, 0xDC, 'x', 0}));
    EXPECT_EQ(roundTrip(v), v);
}

TEST(VariantCodec, MalformedTextBecomesReplacementCharacters) {
    EXPECT_EQ(utf16ToUtf8(u"\xD800"
                          u"a"),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(utf8ToUtf16("\xFF"
                          "b"),
              u"\xFFFD"
              u"b");
}

TEST(VariantCodec, ByteArraysAreOneRawBlock) {
    Bytes bytes("\x01\x02\x03", 3);
    EXPECT_EQ(
        encoded(Variant::byteArray(bytes)),
        (std::vector<uint8_t>{0x11, 0x20, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3}));
    Variant empty = Variant::byteArray(Bytes());
    EXPECT_EQ(encoded(empty), (std::vector<uint8_t>{0x11, 0x20, 0,    0,    1,    0,    0, 0, 0, 0,
                                                    0,    0,    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
    Variant back = roundTrip(empty);
    ASSERT_TRUE(back.isByteArray());
    EXPECT_EQ(back.arrayValue().bounds[0].upper, -1);
    EXPECT_TRUE(back.bytes().empty());
}

TEST(VariantCodec, VariantAndTextArraysGoElementByElement) {
    SafeArray a;
    a.elementType = VarType::Variant;
    a.bounds.push_back({1, 4});
    a.items = {Variant(7), Variant("七"), Variant::null(), Variant(2.5)};
    Variant v = Variant::array(a);
    EXPECT_EQ(roundTrip(v), v);

    SafeArray texts;
    texts.elementType = VarType::String;
    texts.bounds.push_back({0, 1});
    texts.items = {Variant("a"), Variant("")};
    EXPECT_EQ(roundTrip(Variant::array(texts)), Variant::array(texts));

    SafeArray twoDims;
    twoDims.elementType = VarType::Integer;
    twoDims.bounds = {{0, 1}, {0, 2}};
    for (int32_t i = 0; i < 6; ++i) twoDims.raw.append(&i, 4);
    EXPECT_EQ(roundTrip(Variant::array(twoDims)), Variant::array(twoDims));
}

TEST(VariantCodec, ByReferenceValuesKeepTheirKind) {
    Variant typed = Variant(42);
    typed.setRef(RefKind::Typed);
    EXPECT_EQ(encoded(typed), (std::vector<uint8_t>{0x03, 0x40, 0, 0, 42, 0, 0, 0}));
    EXPECT_EQ(roundTrip(typed).ref(), RefKind::Typed);

    Variant byRefVariant = Variant();
    byRefVariant.setRef(RefKind::Variant);
    EXPECT_EQ(encoded(byRefVariant), (std::vector<uint8_t>{0x00, 0x40, 0, 0, 0, 0, 0, 0}));
    Variant back = roundTrip(byRefVariant);
    EXPECT_EQ(back.ref(), RefKind::Variant);
    EXPECT_TRUE(back.isEmpty());

    Variant byRefText = Variant("x");
    byRefText.setRef(RefKind::Variant);
    Variant text = roundTrip(byRefText);
    EXPECT_EQ(text.ref(), RefKind::Variant);
    EXPECT_EQ(text.stringValue(), "x");
}

std::string unsupportedMessage(const Variant& v) {
    DataBlock block(0xDA02);
    try {
        writeVariant(block, v, nullptr);
    } catch (const InterpreterError& e) {
        return e.what();
    }
    return "sent";
}

TEST(VariantCodec, SenderRefusesCodesOutsideTheEncoding) {
    EXPECT_EQ(unsupportedMessage(Variant::ofRawType(13)), "Unsupported variant type: 000D");
    EXPECT_EQ(unsupportedMessage(Variant::ofRawType(14)), "Unsupported variant type: 000E");
    EXPECT_EQ(unsupportedMessage(Variant::ofRawType(16)), "Unsupported variant type: 0010");
    EXPECT_EQ(unsupportedMessage(Variant::ofRawType(18)), "Unsupported variant type: 0012");
    EXPECT_EQ(unsupportedMessage(Variant::ofRawType(12)), "Unsupported variant type: 000C");
    Variant refToObject{DispatchPtr()};
    refToObject.setRef(RefKind::Typed);
    EXPECT_EQ(unsupportedMessage(refToObject), "Unsupported variant type: 4009");
}

std::string decodeMessage(std::vector<uint8_t> payload) {
    DataBlock block(0xDA02);
    block.write(payload.data(), payload.size());
    try {
        readVariant(block, nullptr);
    } catch (const VelmoraError& e) {
        return e.what();
    }
    return "decoded";
}

TEST(VariantCodec, ReceiverRefusesUnknownTags) {
    EXPECT_EQ(decodeMessage({13, 0, 0, 0}), "Unsupported variant type: 000D");
    EXPECT_EQ(decodeMessage({15, 0, 0, 0}), "Unsupported variant type: 000F");
    EXPECT_EQ(decodeMessage({0x0C, 0, 0, 0}), "Unsupported variant type: 000C");
    EXPECT_EQ(decodeMessage({0x09, 0x40, 0, 0, 0, 0, 0, 0}), "Unsupported variant type: 4009");
    EXPECT_EQ(decodeMessage({0x20, 0x00, 0, 0}), "Unsupported variant type: 0020");
}

TEST(VariantCodec, EveryTruncatedPrefixFailsCleanly) {
    SafeArray a;
    a.elementType = VarType::Variant;
    a.bounds.push_back({0, 2});
    a.items = {Variant("订单"), Variant::byteArray(Bytes("xyz", 3)), Variant(1.25)};
    std::vector<uint8_t> full = encoded(Variant::array(a));
    for (size_t n = 0; n < full.size(); ++n) {
        std::vector<uint8_t> prefix(full.begin(), full.begin() + static_cast<long>(n));
        EXPECT_EQ(decodeMessage(prefix), "Invalid data packet") << "prefix of " << n << " bytes";
    }
    EXPECT_EQ(decodeMessage(full), "decoded");
}

TEST(VariantCodec, DeclaredLengthsBeyondTheBlockAreRefusedBeforeAllocating) {
    // Text claiming two billion units.
    EXPECT_EQ(decodeMessage({8, 0, 0, 0, 0, 0, 0, 0x7F}), "Invalid data packet");
    // Byte array with bounds 0..0x7FFFFFFE and a matching byte count, but no bytes.
    EXPECT_EQ(decodeMessage(
                  {0x11, 0x20, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F}),
              "Invalid data packet");
    // A byte count that disagrees with the bounds.
    EXPECT_EQ(decodeMessage({0x11, 0x20, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 9}),
              "Invalid data packet");
    // A huge dimension count.
    EXPECT_EQ(decodeMessage({0x03, 0x20, 0, 0, 0xFF, 0xFF, 0xFF, 0x0F}), "Invalid data packet");
    // A variant array claiming a billion elements.
    EXPECT_EQ(decodeMessage({0x0C, 0x20, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0xCA, 0x9A, 0x3B, 0, 0, 0, 0}),
              "Invalid data packet");
}

TEST(VariantCodec, DeeplyNestedReferencesAreRefused) {
    std::vector<uint8_t> payload;
    for (int i = 0; i < 100000; ++i) payload.insert(payload.end(), {0x00, 0x40, 0, 0});
    payload.insert(payload.end(), {0, 0, 0, 0});
    EXPECT_EQ(decodeMessage(payload), "Invalid data packet");
}

// Found by sending values from outside: each of these broke before its mend.

TEST(VariantCodecAttack, BoundsAtTheEdgesOf32BitsAreComparedWithoutOverflow) {
    // One element at index INT32_MIN: lower - 1 must not wrap around.
    SafeArray one;
    one.elementType = VarType::Byte;
    one.bounds.push_back({INT32_MIN, INT32_MIN});
    one.raw = Bytes("\x2A", 1);
    EXPECT_EQ(roundTrip(Variant::array(one)), Variant::array(one));
    // An upper bound below lower - 1 is refused, also at the edge.
    EXPECT_EQ(
        decodeMessage({0x11, 0x20, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80, 0xFE, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0}),
        "Invalid data packet");
}

TEST(VariantCodecAttack, EmptyMultiDimensionalArraysRoundTripWithNothingAfterThem) {
    for (VarType element : {VarType::String, VarType::Byte, VarType::Variant}) {
        for (std::vector<ArrayBound> bounds :
             {std::vector<ArrayBound>{{0, 4}, {0, -1}}, std::vector<ArrayBound>{{0, -1}, {0, 4}},
              std::vector<ArrayBound>{{0, 0x7FFFFFF0}, {1, 0}, {0, 0x7FFFFFF0}}}) {
            SafeArray a;
            a.elementType = element;
            a.bounds = bounds;
            Variant v = Variant::array(a);
            EXPECT_EQ(roundTrip(v), v) << "element type " << static_cast<int>(element);
        }
    }
}

TEST(VariantCodecAttack, ByReferenceVariantHoldingAnArrayKeepsTheVariantTag) {
    Variant v = Variant::byteArray(Bytes("\x07", 1));
    v.setRef(RefKind::Variant);
    EXPECT_EQ(encoded(v), (std::vector<uint8_t>{0x00, 0x40, 0, 0, 0x11, 0x20, 0, 0, 1, 0, 0, 0, 0,
                                                0,    0,    0, 0, 0,    0,    0, 1, 0, 0, 0, 7}));
    Variant back = roundTrip(v);
    EXPECT_EQ(back.ref(), RefKind::Variant);
    EXPECT_EQ(back, v);
    // The same through the path that hands large arrays over without copying.
    Variant large = Variant::byteArray(Bytes(std::string(100000, 'x').data(), 100000));
    large.setRef(RefKind::Variant);
    DataBlock block(0xDA02);
    writeVariant(block, Variant(large), nullptr);
    DataBlock received = DataBlock::fromReceived(Bytes(block.bytesForSending()));
    EXPECT_EQ(readVariant(received, nullptr).ref(), RefKind::Variant);
}

TEST(VariantConversions, DatesOutsideTheYearsOneTo9999AreAConversionError) {
    for (double days : {1e30, -1e30, -693594.0, 2958466.0, std::nan("")})
        EXPECT_THROW(Variant::date(days).toString(), VelmoraError) << days;
    EXPECT_EQ(Variant::date(2958465.0).toString(), "9999-12-31 00:00:00");
    EXPECT_NO_THROW(Variant::date(-693593.0).toString());  // 0001-01-01
}

TEST(VariantConversions, NumbersAsTextUseAtMostFifteenDigits) {
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), "0.3");
    EXPECT_EQ(Variant(10.000000000000002 + 20.000000000000002).toString(), "30");
    EXPECT_EQ(Variant(-0.0).toString(), "0");
    EXPECT_EQ(Variant(1234.5).toString(), "1234.5");
    EXPECT_EQ(Variant::currency(12345).toString(), "1.2345");
    EXPECT_EQ(Variant::date(37621.0).toString(), "2002-12-31 00:00:00");
    EXPECT_EQ(Variant("12").toInt(), 12);
    EXPECT_THROW(Variant("twelve").toInt(), VelmoraError);
}

TEST(VariantConversions, NumbersAsTextAreExactlyWhatPrintfWritesWithFifteenDigits) {
    // Amounts take a short way to their text; it must never differ from the general one.
    std::vector<double> values = {0.0001,
                                  0.00011,
                                  0.00001,
                                  5e-5,
                                  1e11,
                                  1e11 - 0.0001,
                                  99999999999.9999,
                                  1e15,
                                  1e16,
                                  -0.5,
                                  0.1 + 0.2,
                                  1.0 / 3,
                                  9007199254740992.0,
                                  123456789012.3456,
                                  -99999.99995,
                                  0.30000000000000004,
                                  2.675,
                                  1e-300,
                                  -1e300};
    uint64_t seed = 7;
    auto next = [&] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = next();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) values.push_back(d);
        double scale = std::pow(10.0, static_cast<double>(next() % 7));
        double magnitude = std::pow(10.0, static_cast<double>(next() % 13));
        double whole = static_cast<double>(next() % 1000000007) / 1000000007.0 * magnitude;
        values.push_back(std::round(whole * scale) / scale * (next() % 2 ? 1 : -1));
    }
    for (double d : values) {
        char expected[40];
        std::snprintf(expected, sizeof expected, "%.15g", d);
        EXPECT_EQ(formatDouble15(d), d == 0 ? "0" : expected) << std::hexfloat << d;
    }
}

TEST(VariantConversions, TypedReferenceKeepsItsTypeOnAssignment) {
    Variant count = Variant(0);
    count.setRef(RefKind::Typed);
    count.assignKeepingRef(Variant::smallInt(3));
    EXPECT_EQ(count.type(), VarType::Integer);
    EXPECT_EQ(count.intValue(), 3);
    EXPECT_EQ(count.ref(), RefKind::Typed);

    Variant any;
    any.setRef(RefKind::Variant);
    any.assignKeepingRef(Variant("now"));
    EXPECT_EQ(any.type(), VarType::String);
    EXPECT_EQ(any.ref(), RefKind::Variant);
}

}  // namespace
}  // namespace velmora
