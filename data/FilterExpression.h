#pragma once
// The row filter language of the datasets:
//   expr    := and { OR and }
//   and     := not { AND not }
//   not     := NOT not | compare
//   compare := operand [ ( = | <> | != | < | > | <= | >= ) operand | IS [NOT] NULL ]
//   operand := field | [field name] | 'text' ('' inside is one quote) | number | TRUE | FALSE
//              | NULL | ( expr )
// Keywords and field names ignore case. A comparison with a null value is false; a bare
// Boolean field is true when the field is true. Text compares by its UTF-8 bytes.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/Cell.h"
#include "data/RowLayout.h"

namespace velmora {

class FilterExpression {
  public:
    // Parses text; a syntax error throws a VelmoraError naming the position. A blank text lets
    // every row pass.
    explicit FilterExpression(std::string_view text);
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    const std::string& text() const { return text_; }
    bool empty() const { return !root_; }

    // Resolves field names and literal types against layout; throws for an unknown field or
    // a literal that cannot be compared with its field. Must precede matches().
    void bind(const RowLayout& layout);
    // Whether a validated row of the bound layout passes.
    bool matches(const uint8_t* row) const;

    struct Node;

  private:
    std::string text_;
    std::unique_ptr<Node> root_;
    const RowLayout* layout_ = nullptr;
    mutable std::vector<uint32_t> offsets_;
};

}  // namespace velmora
