#include "data/FilterExpression.h"

#include <cctype>

#include "data/ValueText.h"
#include "transport/Errors.h"

namespace velmora {

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };

struct FilterExpression::Node {
    enum Kind { Or, And, Not, Compare, IsNull, IsNotNull, Truth, Field, Literal } kind;
    CompareOp op = CompareOp::Eq;
    std::unique_ptr<Node> a, b;
    // Field: its name and, once bound, its index. Literal: how it was written.
    std::string name;
    int field = -1;
    enum LiteralKind { TextLiteral, NumberLiteral, BoolLiteral, NullLiteral } literalKind = NullLiteral;
    std::string spelling;   // text of a text literal, or how a number was written
    Cell value;             // a literal as compared, after binding
    std::string converted;  // storage for value.text when binding rewrote the literal

    explicit Node(Kind k) : kind(k) {}
};

namespace {

using Node = FilterExpression::Node;
constexpr int kMaxDepth = 200;

class Parser {
  public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::unique_ptr<Node> parse() {
        skipBlanks();
        if (pos_ == s_.size()) return nullptr;
        auto root = orExpr(0);
        skipBlanks();
        if (pos_ != s_.size()) fail("unexpected text");
        return root;
    }

  private:
    [[noreturn]] void fail(const char* reason) const {
        throw VelmoraError(formatText("Invalid filter expression \"%.*s\": %s at character %zu",
                                      static_cast<int>(s_.size()), s_.data(), reason, pos_ + 1));
    }
    void skipBlanks() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    static bool nameChar(char c, bool first) {
        unsigned char u = static_cast<unsigned char>(c);
        return std::isalpha(u) || c == '_' || u >= 0x80 || (!first && std::isdigit(u));
    }
    // The keyword at the position, if the next word is exactly it (case ignored).
    bool keyword(std::string_view word) {
        skipBlanks();
        if (s_.size() - pos_ < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s_[pos_ + i])) != word[i]) return false;
        if (pos_ + word.size() < s_.size() && nameChar(s_[pos_ + word.size()], false)) return false;
        pos_ += word.size();
        return true;
    }
    bool symbol(std::string_view sym) {
        skipBlanks();
        if (s_.substr(pos_, sym.size()) != sym) return false;
        pos_ += sym.size();
        return true;
    }
    static std::unique_ptr<Node> binary(Node::Kind k, std::unique_ptr<Node> a, std::unique_ptr<Node> b) {
        auto n = std::make_unique<Node>(k);
        n->a = std::move(a);
        n->b = std::move(b);
        return n;
    }

    std::unique_ptr<Node> orExpr(int depth) {
        auto left = andExpr(depth);
        while (keyword("or")) left = binary(Node::Or, std::move(left), andExpr(depth));
        return left;
    }
    std::unique_ptr<Node> andExpr(int depth) {
        auto left = notExpr(depth);
        while (keyword("and")) left = binary(Node::And, std::move(left), notExpr(depth));
        return left;
    }
    std::unique_ptr<Node> notExpr(int depth) {
        if (depth > kMaxDepth) fail("nested too deep");
        if (keyword("not")) {
            auto n = std::make_unique<Node>(Node::Not);
            n->a = notExpr(depth + 1);
            return n;
        }
        return compare(depth);
    }
    std::unique_ptr<Node> compare(int depth) {
        auto left = operand(depth);
        if (keyword("is")) {
            bool negated = keyword("not");
            if (!keyword("null")) fail("NULL expected after IS");
            return binary(negated ? Node::IsNotNull : Node::IsNull, std::move(left), nullptr);
        }
        static const struct {
            const char* text;
            CompareOp op;
        } kOps[] = {{"<>", CompareOp::Ne}, {"!=", CompareOp::Ne}, {"<=", CompareOp::Le},
                    {">=", CompareOp::Ge}, {"=", CompareOp::Eq},  {"<", CompareOp::Lt},
                    {">", CompareOp::Gt}};
        for (const auto& o : kOps) {
            if (symbol(o.text)) {
                auto n = binary(Node::Compare, std::move(left), operand(depth));
                n->op = o.op;
                return n;
            }
        }
        if (left->kind == Node::Field ||
            (left->kind == Node::Literal && left->literalKind == Node::BoolLiteral))
            return binary(Node::Truth, std::move(left), nullptr);
        if (left->kind == Node::Literal) fail("comparison expected");
        return left;
    }
    std::unique_ptr<Node> literal(Node::LiteralKind kind, std::string spelling) {
        auto n = std::make_unique<Node>(Node::Literal);
        n->literalKind = kind;
        n->spelling = std::move(spelling);
        return n;
    }
    std::unique_ptr<Node> operand(int depth) {
        skipBlanks();
        if (pos_ == s_.size()) fail("value expected");
        char c = s_[pos_];
        if (c == '(') {
            ++pos_;
            if (depth > kMaxDepth) fail("nested too deep");
            auto inner = orExpr(depth + 1);
            if (!symbol(")")) fail("')' expected");
            return inner;
        }
        if (c == '\'') return quoted();
        if (c == '[') {
            size_t close = s_.find(']', pos_);
            if (close == std::string_view::npos || close == pos_ + 1) fail("field name expected in [ ]");
            auto n = std::make_unique<Node>(Node::Field);
            n->name = std::string(s_.substr(pos_ + 1, close - pos_ - 1));
            pos_ = close + 1;
            return n;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' || c == '.') return number();
        if (keyword("null")) return literal(Node::NullLiteral, "");
        if (keyword("true")) return literal(Node::BoolLiteral, "1");
        if (keyword("false")) return literal(Node::BoolLiteral, "0");
        for (const char* reserved : {"and", "or", "not", "is"})
            if (keyword(reserved)) fail("value expected");
        if (!nameChar(c, true)) fail("unexpected character");
        size_t start = pos_;
        while (pos_ < s_.size() && nameChar(s_[pos_], false)) ++pos_;
        auto n = std::make_unique<Node>(Node::Field);
        n->name = std::string(s_.substr(start, pos_ - start));
        return n;
    }
    std::unique_ptr<Node> quoted() {
        std::string text;
        ++pos_;
        for (;;) {
            if (pos_ >= s_.size()) fail("unterminated text");
            char c = s_[pos_++];
            if (c == '\'') {
                if (pos_ < s_.size() && s_[pos_] == '\'') {
                    text += '\'';
                    ++pos_;
                    continue;
                }
                break;
            }
            text += c;
        }
        return literal(Node::TextLiteral, std::move(text));
    }
    std::unique_ptr<Node> number() {
        size_t start = pos_;
        if (s_[pos_] == '-' || s_[pos_] == '+') ++pos_;
        while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '.' ||
                                    ((s_[pos_] == '-' || s_[pos_] == '+') && (s_[pos_ - 1] | 0x20) == 'e')))
            ++pos_;
        std::string spelling(s_.substr(start, pos_ - start));
        if (!parseNumber(spelling)) {
            pos_ = start;
            fail("invalid number");
        }
        return literal(Node::NumberLiteral, std::move(spelling));
    }

    std::string_view s_;
    size_t pos_ = 0;
};

[[noreturn]] void mismatch(const std::string& filter, const std::string& field) {
    throw VelmoraError(
        formatText("Type mismatch in filter \"%s\" for field '%s'", filter.c_str(), field.c_str()));
}

// The literal as it compares with a field of type type (String when it meets no field).
void bindLiteral(Node& lit, const FieldDef* against, const std::string& filter) {
    lit.value = Cell();
    const FieldType type = against ? against->type : FieldType::String;
    switch (lit.literalKind) {
        case Node::NullLiteral:
            return;
        case Node::BoolLiteral:
            if (against && type != FieldType::Boolean) mismatch(filter, against->name);
            lit.value.kind = Cell::Boolean;
            lit.value.number = lit.spelling == "1" ? 1 : 0;
            return;
        case Node::NumberLiteral:
        case Node::TextLiteral:
            break;
    }
    switch (type) {
        case FieldType::String:
            lit.value.kind = Cell::Text;
            lit.value.text = lit.spelling;
            return;
        case FieldType::Integer:
        case FieldType::Double:
        case FieldType::DateTime: {
            std::optional<double> v = parseNumber(lit.spelling);
            if (!v && type == FieldType::DateTime) v = parseDateTime(lit.spelling);
            if (!v) mismatch(filter, against->name);
            lit.value.kind = Cell::Number;
            lit.value.number = *v;
            return;
        }
        case FieldType::Boolean: {
            std::optional<bool> v = parseBoolean(lit.spelling);
            if (!v) mismatch(filter, against->name);
            lit.value.kind = Cell::Boolean;
            lit.value.number = *v ? 1 : 0;
            return;
        }
        case FieldType::DataSet:
            mismatch(filter, against->name);
    }
}

void bindNode(Node& n, const RowLayout& layout, const std::string& filter) {
    if (n.kind == Node::Field) {
        n.field = findField(layout.fields(), n.name);
        if (n.field < 0) throw VelmoraError(formatText("Field '%s' not found", n.name.c_str()));
        if (layout.type(static_cast<size_t>(n.field)) == FieldType::DataSet) mismatch(filter, n.name);
        return;
    }
    if (n.kind == Node::Literal) return bindLiteral(n, nullptr, filter);
    if (n.a) bindNode(*n.a, layout, filter);
    if (n.b) bindNode(*n.b, layout, filter);
    if (n.kind == Node::Compare) {
        // A literal takes the type of the field it is compared with.
        if (n.a->kind == Node::Field && n.b->kind == Node::Literal)
            bindLiteral(*n.b, &layout.fields()[static_cast<size_t>(n.a->field)], filter);
        if (n.b->kind == Node::Literal && n.a->kind == Node::Literal) return;
        if (n.b->kind == Node::Field && n.a->kind == Node::Literal)
            bindLiteral(*n.a, &layout.fields()[static_cast<size_t>(n.b->field)], filter);
    }
    if (n.kind == Node::Truth && n.a->kind == Node::Field &&
        layout.type(static_cast<size_t>(n.a->field)) != FieldType::Boolean)
        throw VelmoraError(formatText("Invalid filter expression \"%s\": field '%s' is not a Boolean",
                                      filter.c_str(), n.a->name.c_str()));
}

struct Evaluator {
    const RowLayout& layout;
    const uint8_t* row;
    const uint32_t* offsets;

    Cell operand(const Node& n) const {
        if (n.kind == Node::Field) return cellAt(layout, row, offsets, static_cast<size_t>(n.field));
        if (n.kind == Node::Literal) return n.value;
        return truth(n) ? Cell{Cell::Boolean, 1, {}} : Cell{Cell::Boolean, 0, {}};
    }
    bool truth(const Node& n) const {
        switch (n.kind) {
            case Node::Or:
                return truth(*n.a) || truth(*n.b);
            case Node::And:
                return truth(*n.a) && truth(*n.b);
            case Node::Not:
                return !truth(*n.a);
            case Node::IsNull:
                return operand(*n.a).kind == Cell::Null;
            case Node::IsNotNull:
                return operand(*n.a).kind != Cell::Null;
            case Node::Truth: {
                Cell c = operand(*n.a);
                return c.kind == Cell::Boolean && c.number != 0;
            }
            case Node::Compare: {
                Cell x = operand(*n.a), y = operand(*n.b);
                if (x.kind == Cell::Null || y.kind == Cell::Null) return false;
                int c = compareCells(x, y);
                switch (n.op) {
                    case CompareOp::Eq:
                        return c == 0;
                    case CompareOp::Ne:
                        return c != 0;
                    case CompareOp::Lt:
                        return c < 0;
                    case CompareOp::Gt:
                        return c > 0;
                    case CompareOp::Le:
                        return c <= 0;
                    case CompareOp::Ge:
                        return c >= 0;
                }
                return false;
            }
            case Node::Field:
            case Node::Literal:
                break;
        }
        return false;
    }
};

}  // namespace

FilterExpression::FilterExpression(std::string_view text) : text_(text), root_(Parser(text).parse()) {}
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

void FilterExpression::bind(const RowLayout& layout) {
    if (root_) bindNode(*root_, layout, text_);
    layout_ = &layout;
    offsets_.assign(layout.fieldCount(), 0);
}

bool FilterExpression::matches(const uint8_t* row) const {
    if (!root_) return true;
    layout_->offsets(row, offsets_.data());
    return Evaluator{*layout_, row, offsets_.data()}.truth(*root_);
}

}  // namespace velmora
