#pragma once
// Encoding of values on the wire: a 32-bit tag (type code, 0x2000 for an array, 0x4000 for a value
// passed by reference) and the bytes of the value. Decoding is bounds-checked against the bytes
// that remain in the block before anything is allocated.

#include <cstdint>

#include "transport/DataBlock.h"
#include "transport/Variant.h"

namespace velmora {

// Turns object references into table indexes and back; the interpreter implements it.
class ObjectMarshaller {
  public:
    virtual ~ObjectMarshaller() = default;
    virtual int32_t exportObject(const DispatchPtr& object) = 0;
    virtual DispatchPtr importObject(int32_t index) = 0;
};

struct CodecLimits {
    uint32_t maxArrayDims = 64;
    uint32_t maxNesting = 32;  // variants inside variant arrays or references
};

// Writes value with its tag; fails with "Unsupported variant type: %s" for what cannot travel.
void writeVariant(DataBlock& block, const Variant& value, ObjectMarshaller* objects);
// The same, giving a large raw array's memory to the block instead of copying it.
void writeVariant(DataBlock& block, Variant&& value, ObjectMarshaller* objects);

// Reads one value; by-reference values come back with ref() set.
Variant readVariant(DataBlock& block, ObjectMarshaller* objects, const CodecLimits& limits = {});

// Appends a UTF-8 string as a code-8 value (tag, length in UTF-16 units, UTF-16LE units).
void writeText(DataBlock& block, std::string_view text);
void writeInteger(DataBlock& block, int32_t value);
void writeBoolean(DataBlock& block, bool value);

// Reads a value and requires the given type.
int32_t readInteger(DataBlock& block);
std::string readText(DataBlock& block);
bool readBoolean(DataBlock& block);

}  // namespace velmora
