#pragma once
// Reading the values of validated encoded rows: as a Variant, as text, or as a comparable cell.

#include <string>
#include <string_view>
#include <vector>

#include "data/RowLayout.h"
#include "transport/Variant.h"

namespace velmora {

// One value of a row seen for comparison: text views point into the row's bytes.
struct Cell {
    enum Kind : uint8_t { Null, Number, Boolean, Text };
    Kind kind = Null;
    double number = 0;  // also 0 or 1 for a Boolean
    std::string_view text;
};

// Orders nulls first, then numbers and Booleans by value, then text by its UTF-8 bytes
// (code point order). Returns <0, 0, >0.
int compareCells(const Cell& a, const Cell& b);

Cell cellAt(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field);
Variant cellValue(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field);
// Text as a field reads it: numbers with at most 15 significant digits, Booleans "True" or
// "False", dates "yyyy-MM-dd hh:mm:ss", null as "", nested rows as "(DATASET)".
std::string cellText(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field);
// Every field of a row; DataSet fields read as null.
std::vector<Variant> rowValues(const RowLayout& layout, const uint8_t* row);

// The text of a value held for a field of the given type, by the rules of cellText.
std::string valueText(FieldType type, const Variant& value);

}  // namespace velmora
