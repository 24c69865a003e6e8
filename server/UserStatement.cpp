#include "server/UserStatement.h"

#include <strings.h>

#include <cctype>

#include <optional>
#include <vector>

namespace velmora::server {

namespace {

struct Token {
    enum class Kind { Word, Text, Symbol };
    Kind kind;
    std::string value;  // Word: as written, quotes removed; Text: the value; Symbol: the character
};

bool isWordByte(unsigned char c) {
    return c == '_' || c == '$' || c >= 0x80 || std::isalnum(c);
}

// Reads the text between an opening quote at `at` and its closing quote, undoing doubled closing
// quotes; nothing when it is not closed.
std::optional<std::string> quotedText(std::string_view sql, size_t& at, char close) {
    std::string value;
    for (size_t i = at + 1; i < sql.size(); ++i) {
        if (sql[i] != close) {
            value += sql[i];
        } else if (i + 1 < sql.size() && sql[i + 1] == close) {
            value += close;
            ++i;
        } else {
            at = i + 1;
            return value;
        }
    }
    return std::nullopt;
}

// Splits sql into words, quoted texts and symbols; nothing when a quote or comment is not closed.
std::optional<std::vector<Token>> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    size_t at = 0;
    while (at < sql.size()) {
        unsigned char c = static_cast<unsigned char>(sql[at]);
        if (std::isspace(c)) {
            ++at;
        } else if (sql.substr(at, 2) == "--") {
            size_t end = sql.find('\n', at);
            at = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(at, 2) == "/*") {
            size_t end = sql.find("*/", at + 2);
            if (end == std::string_view::npos) return std::nullopt;
            at = end + 2;
        } else if (c == '\'' || c == '"' || c == '`' || c == '[') {
            char close = c == '[' ? ']' : static_cast<char>(c);
            std::optional<std::string> value = quotedText(sql, at, close);
            if (!value) return std::nullopt;
            tokens.push_back({c == '\'' ? Token::Kind::Text : Token::Kind::Word, std::move(*value)});
        } else if (isWordByte(c)) {
            size_t start = at;
            while (at < sql.size() && isWordByte(static_cast<unsigned char>(sql[at]))) ++at;
            tokens.push_back({Token::Kind::Word, std::string(sql.substr(start, at - start))});
        } else {
            tokens.push_back({Token::Kind::Symbol, std::string(1, static_cast<char>(c))});
            ++at;
        }
    }
    while (!tokens.empty() && tokens.back().kind == Token::Kind::Symbol && tokens.back().value == ";")
        tokens.pop_back();
    return tokens;
}

// Matches tokens against a pattern of words, symbols and "?" for a quoted text, which are
// collected in order.
class Matcher {
  public:
    explicit Matcher(const std::vector<Token>& tokens) : tokens_(tokens) {}

    bool take(std::initializer_list<const char*> pattern) {
        size_t at = at_;
        std::vector<std::string> texts;
        for (const char* p : pattern) {
            if (at >= tokens_.size()) return false;
            const Token& t = tokens_[at++];
            if (std::string_view(p) == "?") {
                if (t.kind != Token::Kind::Text) return false;
                texts.push_back(t.value);
            } else if (t.kind == Token::Kind::Text || strcasecmp(t.value.c_str(), p) != 0) {
                return false;
            }
        }
        at_ = at;
        texts_.insert(texts_.end(), texts.begin(), texts.end());
        return true;
    }
    bool atEnd() const { return at_ == tokens_.size(); }
    const std::string& text(size_t i) const { return texts_.at(i); }

  private:
    const std::vector<Token>& tokens_;
    size_t at_ = 0;
    std::vector<std::string> texts_;
};

// Every spelling of the user store's name (bare, quoted or bracketed, in any case) holds it as
// written: a statement without it is none of the user statements, and most statements are not.
bool mayNameUserStore(std::string_view sql) {
    std::string_view name = kUserStoreTable;
    for (size_t at = 0; at + name.size() <= sql.size(); ++at)
        if (strncasecmp(sql.data() + at, name.data(), name.size()) == 0) return true;
    return false;
}

}  // namespace

UserStatement recogniseUserStatement(std::string_view sql) {
    UserStatement s;
    if (!mayNameUserStore(sql)) return s;
    std::optional<std::vector<Token>> tokens = tokenize(sql);
    if (!tokens) return s;
    Matcher list(*tokens);
    if (list.take({"select", "username", "from", kUserStoreTable}) && list.atEnd()) {
        s.kind = UserStatement::Kind::UserList;
        return s;
    }
    Matcher check(*tokens);
    if (check.take({"select", "*", "from", kUserStoreTable, "where", "username", "=", "?", "and", "password1",
                    "=", "?"}) &&
        check.atEnd()) {
        s.kind = UserStatement::Kind::LoginCheck;
        s.user = check.text(0);
        s.password = check.text(1);
        return s;
    }
    Matcher change(*tokens);
    if (change.take({"update", kUserStoreTable, "set", "password1", "=", "?"})) {
        s.password = change.text(0);
        if (change.atEnd()) {
            s.kind = UserStatement::Kind::PasswordChange;
        } else if (change.take({"where", "username", "=", "?"}) && change.atEnd()) {
            s.kind = UserStatement::Kind::PasswordChange;
            s.namesUser = true;
            s.user = change.text(1);
        }
    }
    if (s.kind == UserStatement::Kind::None) s.password.clear();
    return s;
}

bool namesUserStore(std::string_view sql) {
    if (!mayNameUserStore(sql)) return false;
    std::optional<std::vector<Token>> tokens = tokenize(sql);
    if (!tokens) return false;
    for (const Token& t : *tokens)
        if (t.kind == Token::Kind::Word && strcasecmp(t.value.c_str(), kUserStoreTable) == 0) return true;
    return false;
}

}  // namespace velmora::server
