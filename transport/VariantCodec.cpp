#include "transport/VariantCodec.h"

#include "transport/Errors.h"
#include "transport/Utf16.h"

namespace velmora {

namespace {

[[noreturn]] void unsupported(uint32_t tag) {
    throw InterpreterError(formatText("Unsupported variant type: %.4X", tag & 0xFFFF));
}

[[noreturn]] void invalidPacket() {
    throw InterpreterError("Invalid data packet");
}

// Raw arrays at least this large change hands between block and value instead of being copied.
constexpr size_t kGiveAwayBytes = size_t(64) << 10;

void writeArrayHeader(DataBlock& block, const SafeArray& a) {
    block.writeLE<uint32_t>(static_cast<uint32_t>(a.bounds.size()));
    for (const ArrayBound& b : a.bounds) block.writeLE(b.lower);
    for (const ArrayBound& b : a.bounds) block.writeLE(b.upper);
}

size_t rawByteCount(const SafeArray& a) {
    int64_t count = a.elementCount();
    size_t size = rawElementSize(a.elementType);
    if (count > int64_t(UINT32_MAX) / int64_t(size)) throw InterpreterError("Array too large to send");
    size_t bytes = static_cast<size_t>(count) * size;
    if (a.raw.size() != bytes) throw InterpreterError("Array elements do not match its bounds");
    return bytes;
}

void writeStringBody(DataBlock& block, std::string_view text) {
    size_t lengthAt = block.writePos();
    block.writeLE<uint32_t>(0);
    // Text is only ever appended at the end of the block.
    Bytes& buf = block.buffer();
    buf.resize(block.writePos());
    uint32_t units = static_cast<uint32_t>(appendUtf16LE(buf, text));
    block.writeSpace(size_t(units) * 2);
    std::memcpy(buf.data() + lengthAt, &units, 4);
}

void writeScalar(DataBlock& block, const Variant& v, ObjectMarshaller* objects) {
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Null:
            break;
        case VarType::SmallInt:
            block.writeLE(v.smallIntValue());
            break;
        case VarType::Integer:
        case VarType::Error:
            block.writeLE(v.intValue());
            break;
        case VarType::Single:
            block.writeLE(v.singleValue());
            break;
        case VarType::Double:
        case VarType::Date:
            block.writeLE(v.doubleValue());
            break;
        case VarType::Currency:
            block.writeLE(v.currencyValue());
            break;
        case VarType::Boolean:
            block.writeLE<uint16_t>(v.boolValue() ? 0xFFFF : 0);
            break;
        case VarType::Byte:
            block.writeLE(v.byteValue());
            break;
        case VarType::String:
            writeStringBody(block, v.stringValue());
            break;
        case VarType::Dispatch: {
            if (!objects) throw InterpreterError("Object references cannot be sent here");
            block.writeLE<int32_t>(objects->exportObject(v.dispatchValue()));
            break;
        }
        default:
            unsupported(v.tag());
    }
}

void writeArray(DataBlock& block, const SafeArray& a, ObjectMarshaller* objects) {
    writeArrayHeader(block, a);
    if (a.isRaw()) {
        size_t bytes = rawByteCount(a);
        block.writeLE<uint32_t>(static_cast<uint32_t>(bytes));
        block.write(a.raw.data(), bytes);
    } else {
        if (static_cast<int64_t>(a.items.size()) != a.elementCount())
            throw InterpreterError("Array elements do not match its bounds");
        for (const Variant& item : a.items) writeVariant(block, item, objects);
    }
}

Variant readScalar(DataBlock& block, VarType type, uint32_t tag, ObjectMarshaller* objects) {
    switch (type) {
        case VarType::Empty:
            return Variant();
        case VarType::Null:
            return Variant::null();
        case VarType::SmallInt:
            return Variant::smallInt(block.readLE<int16_t>());
        case VarType::Integer:
            return Variant(block.readLE<int32_t>());
        case VarType::Single:
            return Variant::single(block.readLE<float>());
        case VarType::Double:
            return Variant(block.readLE<double>());
        case VarType::Currency:
            return Variant::currency(block.readLE<int64_t>());
        case VarType::Date:
            return Variant::date(block.readLE<double>());
        case VarType::Error:
            return Variant::error(block.readLE<int32_t>());
        case VarType::Boolean:
            return Variant(block.readLE<uint16_t>() != 0);
        case VarType::Byte:
            return Variant::byte(block.readLE<uint8_t>());
        case VarType::String: {
            uint32_t units = block.readLE<uint32_t>();
            if (units > block.remaining() / 2) invalidPacket();
            const uint8_t* p = block.readSpan(size_t(units) * 2);
            return Variant(utf16LEToUtf8(p, units));
        }
        case VarType::Dispatch: {
            if (!objects) throw InterpreterError("Object references cannot be received here");
            return Variant(objects->importObject(block.readLE<int32_t>()));
        }
        default:
            unsupported(tag);
    }
}

Variant readArray(DataBlock& block, VarType elementType, const CodecLimits& limits, uint32_t depth,
                  ObjectMarshaller* objects);

Variant readTagged(DataBlock& block, ObjectMarshaller* objects, const CodecLimits& limits, uint32_t depth) {
    if (depth > limits.maxNesting) invalidPacket();
    uint32_t tag = block.readLE<uint32_t>();
    uint32_t code = tag & kTypeMask;
    bool byRef = (tag & kByRefFlag) != 0;
    bool isArray = (tag & kArrayFlag) != 0;
    // A variant travels by value only as an array element type.
    if (!isKnownVarType(code) || (code == static_cast<uint32_t>(VarType::Variant) && !isArray))
        unsupported(tag);
    auto type = static_cast<VarType>(code);
    if (isArray) {
        Variant v = readArray(block, type, limits, depth, objects);
        if (byRef) v.setRef(RefKind::Typed);
        return v;
    }
    if (byRef && type == VarType::Empty) {
        Variant v = readTagged(block, objects, limits, depth + 1);
        v.setRef(RefKind::Variant);
        return v;
    }
    if (byRef && type == VarType::Dispatch) unsupported(tag);
    Variant v = readScalar(block, type, tag, objects);
    if (byRef) v.setRef(RefKind::Typed);
    return v;
}

Variant readArray(DataBlock& block, VarType elementType, const CodecLimits& limits, uint32_t depth,
                  ObjectMarshaller* objects) {
    uint32_t dims = block.readLE<uint32_t>();
    if (dims == 0 || dims > limits.maxArrayDims || dims > block.remaining() / 8) invalidPacket();
    SafeArray a;
    a.elementType = elementType;
    a.bounds.resize(dims);
    for (auto& b : a.bounds) b.lower = block.readLE<int32_t>();
    for (auto& b : a.bounds) b.upper = block.readLE<int32_t>();
    // The element count is checked against what remains before it is used for anything; bounds
    // are compared in 64 bits, where lower - 1 cannot overflow.
    // An empty dimension anywhere makes the whole array empty, however large the others are.
    bool empty = false;
    for (const auto& b : a.bounds) {
        if (int64_t(b.upper) < int64_t(b.lower) - 1) invalidPacket();
        if (b.count() == 0) empty = true;
    }
    int64_t count = empty ? 0 : 1;
    for (const auto& b : a.bounds) {
        if (empty) break;
        count *= b.count();
        if (count > static_cast<int64_t>(block.remaining())) invalidPacket();
    }
    if (a.isRaw()) {
        uint32_t byteCount = block.readLE<uint32_t>();
        if (uint64_t(byteCount) != uint64_t(count) * rawElementSize(elementType)) invalidPacket();
        if (block.restTakeable() && byteCount == block.remaining() && byteCount >= kGiveAwayBytes) {
            a.raw = block.takeRest();
        } else {
            const uint8_t* p = block.readSpan(byteCount);
            a.raw = Bytes(p, byteCount);
        }
    } else {
        if (count > static_cast<int64_t>(block.remaining() / 4)) invalidPacket();
        a.items.reserve(static_cast<size_t>(count));
        for (int64_t i = 0; i < count; ++i) a.items.push_back(readTagged(block, objects, limits, depth + 1));
    }
    return Variant::array(std::move(a));
}

}  // namespace

void writeVariant(DataBlock& block, const Variant& v, ObjectMarshaller* objects) {
    uint32_t code = static_cast<uint32_t>(v.type());
    if (!isKnownVarType(code) || (v.type() == VarType::Variant && !v.isArray())) unsupported(v.tag());
    if (v.isArray() && v.ref() != RefKind::Variant) {
        block.writeLE<uint32_t>(v.tag() | (v.ref() == RefKind::Typed ? kByRefFlag : 0));
        writeArray(block, v.arrayValue(), objects);
        return;
    }
    switch (v.ref()) {
        case RefKind::None:
            block.writeLE<uint32_t>(code);
            break;
        case RefKind::Typed:
            if (v.type() == VarType::Dispatch) unsupported(code | kByRefFlag);
            block.writeLE<uint32_t>(code | kByRefFlag);
            break;
        case RefKind::Variant: {
            block.writeLE<uint32_t>(kByRefFlag);
            Variant target = v;
            target.setRef(RefKind::None);
            writeVariant(block, target, objects);
            return;
        }
    }
    writeScalar(block, v, objects);
}

void writeVariant(DataBlock& block, Variant&& v, ObjectMarshaller* objects) {
    if (!v.isArray() || v.ref() == RefKind::Variant || !v.arrayValue().isRaw() ||
        v.arrayValue().raw.size() < kGiveAwayBytes) {
        writeVariant(block, static_cast<const Variant&>(v), objects);
        return;
    }
    SafeArray& a = v.arrayValue();
    block.writeLE<uint32_t>(v.tag() | (v.ref() == RefKind::Typed ? kByRefFlag : 0));
    writeArrayHeader(block, a);
    block.writeLE<uint32_t>(static_cast<uint32_t>(rawByteCount(a)));
    block.appendTail(std::move(a.raw));
    a.raw = Bytes();
}

Variant readVariant(DataBlock& block, ObjectMarshaller* objects, const CodecLimits& limits) {
    return readTagged(block, objects, limits, 0);
}

void writeText(DataBlock& block, std::string_view text) {
    block.writeLE<uint32_t>(static_cast<uint32_t>(VarType::String));
    writeStringBody(block, text);
}

void writeInteger(DataBlock& block, int32_t value) {
    block.writeLE<uint32_t>(static_cast<uint32_t>(VarType::Integer));
    block.writeLE(value);
}

void writeBoolean(DataBlock& block, bool value) {
    block.writeLE<uint32_t>(static_cast<uint32_t>(VarType::Boolean));
    block.writeLE<uint16_t>(value ? 0xFFFF : 0);
}

int32_t readInteger(DataBlock& block) {
    Variant v = readVariant(block, nullptr);
    if (v.isArray()) invalidPacket();
    return v.toInt();
}

std::string readText(DataBlock& block) {
    Variant v = readVariant(block, nullptr);
    if (v.type() != VarType::String || v.isArray()) invalidPacket();
    return v.stringValue();
}

bool readBoolean(DataBlock& block) {
    Variant v = readVariant(block, nullptr);
    if (v.isArray()) invalidPacket();
    return v.toBool();
}

}  // namespace velmora
