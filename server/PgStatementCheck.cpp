#include "server/PgStatementCheck.h"

#include <pg_query.h>

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "server/Database.h"
#include "server/Schema.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

using Json = nlohmann::json;

// What a command text may call, compare with and cast to. Every entry reads nothing but its
// arguments, takes no lock, signals no one, waits for nothing and makes no value much larger than
// its arguments (repeat, lpad, string_agg and the like are missing on purpose: a value may grow
// only with the text that builds it).
constexpr std::string_view kFunctions[] = {
    "count",        "sum",     "avg",   "min",      "max",    "abs",       "round",       "trunc",
    "ceil",         "ceiling", "floor", "sign",     "mod",    "length",    "char_length", "character_length",
    "octet_length", "upper",   "lower", "initcap",  "substr", "substring", "left",        "right",
    "btrim",        "ltrim",   "rtrim", "position", "strpos", "concat",    "like_escape", "extract",
    "date_part",
};
constexpr std::string_view kOperators[] = {"=", "<>", "<", ">",  "<=", ">=",  "+",   "-",
                                           "*", "/",  "%", "||", "~~", "!~~", "~~*", "!~~*"};
// As the parser names them: integer is int4, char is bpchar, boolean is bool.
constexpr std::string_view kTypes[] = {"int2", "int4",    "int8",   "numeric", "float4", "float8",
                                       "text", "varchar", "bpchar", "bool",    "date"};
constexpr std::string_view kSystemColumns[] = {"ctid", "xmin", "xmax", "cmin", "cmax", "tableoid"};
// A char(n) pads every value to n: a larger n would build large values from a short text.
constexpr int64_t kMaxTypeModifier = 1000;
// Deeper trees are refused before walking them could exhaust the thread's stack.
constexpr int kMaxDepth = 400;
// A literal longer than this counts as building a value (see CheckedQuery).
constexpr size_t kShortLiteral = 1024;

template <size_t N>
bool listed(const std::string_view (&list)[N], std::string_view name) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

[[noreturn]] void refuse(const std::string& what) {
    throw StatementRefused(readOnlyRefusal(what));
}

class Walker {
  public:
    explicit Walker(ClientReads reads) : reads_(reads) {}
    bool buildsValues() const { return buildsValues_; }

    // The statement in stmt (a node {"SelectStmt": {...}}) must be a query.
    void statement(const Json& stmt) {
        auto [type, body] = node(stmt);
        if (type == "SelectStmt") return select(body);
        if (type == "InsertStmt" || type == "UpdateStmt" || type == "DeleteStmt" || type == "MergeStmt")
            refuse("writing");
        if (type == "TransactionStmt") refuse("transaction control");
        refuse("a statement that is not a query");
    }

  private:
    // A node is an object with one member named after its type.
    static std::pair<std::string, const Json&> node(const Json& n) {
        if (!n.is_object() || n.size() != 1 || !std::isupper(static_cast<unsigned char>(n.begin().key()[0])))
            refuse("a construct the server does not know");
        return {n.begin().key(), n.begin().value()};
    }
    static std::string text(const Json& stringNode) {
        auto [type, body] = node(stringNode);
        if (type != "String") refuse("a construct the server does not know");
        return body.value("sval", "");
    }
    // A dotted name from a list of String nodes.
    static std::vector<std::string> names(const Json& list) {
        std::vector<std::string> out;
        for (const Json& n : list) out.push_back(text(n));
        return out;
    }
    static std::string joined(const std::vector<std::string>& parts) {
        std::string out;
        for (const std::string& p : parts) out += (out.empty() ? "" : ".") + p;
        return out;
    }
    static bool ignored(const std::string& key) { return key == "location"; }

    class Deeper {
      public:
        explicit Deeper(int& depth) : depth_(depth) {
            if (++depth_ > kMaxDepth) refuse("a statement nested too deeply");
        }
        ~Deeper() { --depth_; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;

      private:
        int& depth_;
    };

    void select(const Json& s) {
        Deeper deeper(depth_);
        size_t visible = ctes_.size();
        if (auto with = s.find("withClause"); with != s.end()) withClause(*with);
        for (const auto& [key, value] : s.items()) {
            if (ignored(key) || key == "withClause" || key == "op" || key == "all" || key == "limitOption" ||
                key == "groupDistinct")
                continue;
            if (key == "targetList") {
                for (const Json& t : value) target(t);
            } else if (key == "fromClause") {
                for (const Json& f : value) fromItem(f);
            } else if (key == "whereClause" || key == "havingClause" || key == "limitOffset" ||
                       key == "limitCount") {
                expr(value);
            } else if (key == "distinctClause") {
                for (const Json& e : value)
                    if (!e.empty()) expr(e);  // an empty member is plain DISTINCT
            } else if (key == "groupClause") {
                for (const Json& e : value) expr(e);
            } else if (key == "valuesLists") {
                for (const Json& row : value) expr(row);
            } else if (key == "sortClause") {
                for (const Json& b : value) sortBy(b);
            } else if (key == "larg" || key == "rarg") {
                select(value);  // a branch of UNION, INTERSECT or EXCEPT
            } else if (key == "lockingClause") {
                refuse("locking rows (FOR UPDATE, FOR SHARE)");
            } else if (key == "intoClause") {
                refuse("SELECT INTO (writing a table)");
            } else if (key == "windowClause") {
                refuse("a window");
            } else {
                refuse("the clause " + key);
            }
        }
        ctes_.resize(visible);
    }

    // Makes the WITH queries visible to the rest of the statement. A query sees the ones before
    // it; in WITH RECURSIVE, every one of the clause, itself included. Elsewhere a name that
    // matches none of them is a table of the database, which must be one the client may read.
    void withClause(const Json& w) {
        bool recursive = w.value("recursive", false);
        std::vector<const Json*> ctes;
        for (const auto& [key, value] : w.items()) {
            if (ignored(key) || key == "recursive") continue;
            if (key != "ctes") refuse("the clause " + key);
            for (const Json& c : value) {
                auto [type, body] = node(c);
                if (type != "CommonTableExpr") refuse("a construct the server does not know");
                ctes.push_back(&body);
            }
        }
        if (recursive)
            for (const Json* c : ctes) ctes_.push_back(c->value("ctename", ""));
        for (const Json* c : ctes) {
            for (const auto& [key, value] : c->items()) {
                if (ignored(key) || key == "ctename" || key == "aliascolnames" || key == "ctematerialized")
                    continue;
                if (key != "ctequery") refuse("the clause " + key);
                statement(value);
            }
            if (!recursive) ctes_.push_back(c->value("ctename", ""));
        }
    }

    void target(const Json& t) {
        auto [type, body] = node(t);
        if (type != "ResTarget") refuse("a construct the server does not know");
        for (const auto& [key, value] : body.items()) {
            if (ignored(key) || key == "name") continue;
            if (key != "val") refuse("the clause " + key);
            expr(value);
        }
    }

    void sortBy(const Json& b) {
        auto [type, body] = node(b);
        if (type != "SortBy") refuse("a construct the server does not know");
        for (const auto& [key, value] : body.items()) {
            if (ignored(key) || key == "sortby_dir" || key == "sortby_nulls") continue;
            if (key == "node")
                expr(value);
            else
                refuse(key == "useOp" ? "ORDER BY ... USING" : "the clause " + key);
        }
    }

    void fromItem(const Json& f) {
        Deeper deeper(depth_);
        auto [type, body] = node(f);
        if (type == "RangeVar") return table(body);
        if (type == "RangeSubselect") {
            for (const auto& [key, value] : body.items()) {
                if (ignored(key) || key == "lateral" || key == "alias") continue;
                if (key != "subquery") refuse("the clause " + key);
                statement(value);
            }
            return;
        }
        if (type == "JoinExpr") {
            for (const auto& [key, value] : body.items()) {
                if (ignored(key) || key == "jointype" || key == "isNatural" || key == "usingClause" ||
                    key == "join_using_alias" || key == "alias" || key == "rtindex")
                    continue;
                if (key == "larg" || key == "rarg")
                    fromItem(value);
                else if (key == "quals")
                    expr(value);
                else
                    refuse("the clause " + key);
            }
            return;
        }
        if (type == "RangeFunction") refuse("a function in FROM");
        if (type == "RangeTableSample") refuse("TABLESAMPLE");
        refuse("the construct " + type + " in FROM");
    }

    void table(const Json& t) {
        std::string name = t.value("relname", "");
        for (const auto& [key, value] : t.items()) {
            if (ignored(key) || key == "relname" || key == "inh" || key == "relpersistence" || key == "alias")
                continue;
            if (key == "schemaname" || key == "catalogname")
                refuse("reading " + value.get<std::string>() + "." + name);
            refuse("the clause " + key);
        }
        if (std::find(ctes_.begin(), ctes_.end(), name) != ctes_.end()) return;
        if (isReportTable(name) && !isClientReadable(name, reads_)) throw StatementRefused(kReportsRefused);
        // The parser folds unquoted names to lower case; the product's tables have such names.
        if (!isClientReadable(name) ||
            std::any_of(name.begin(), name.end(), [](unsigned char c) { return std::isupper(c); }))
            refuse("reading " + name);
    }

    void expr(const Json& e) {
        Deeper deeper(depth_);
        auto [type, body] = node(e);
        if (type == "A_Const") return literal(body);
        if (type == "ColumnRef") return column(body);
        if (type == "A_Expr") return operation(body);
        if (type == "FuncCall") return call(body);
        if (type == "TypeCast") return cast(body);
        if (type == "SubLink") return subquery(body);
        if (type == "SQLValueFunction") return;  // CURRENT_DATE and the like
        if (type == "List") return children(body, {"items"});
        if (type == "BoolExpr") return children(body, {"args"}, {"boolop"});
        if (type == "NullTest") return children(body, {"arg"}, {"nulltesttype", "argisrow"});
        if (type == "BooleanTest") return children(body, {"arg"}, {"booltesttype"});
        if (type == "CaseExpr") return children(body, {"arg", "args", "defresult"});
        if (type == "CaseWhen") return children(body, {"expr", "result"});
        if (type == "CoalesceExpr") return children(body, {"args"});
        if (type == "MinMaxExpr") return children(body, {"args"}, {"op"});
        if (type == "CollateClause") return children(body, {"arg"}, {"collname"});
        if (type == "ParamRef") refuse("a parameter");
        if (type == "A_ArrayExpr") refuse("an ARRAY");
        if (type == "A_Indirection") refuse("a subscript or field selection");
        if (type == "RowExpr") refuse("a ROW");
        if (type == "GroupingSet" || type == "GroupingFunc") refuse("GROUPING SETS, ROLLUP or CUBE");
        refuse("the construct " + type);
    }

    // Walks the members named in walked as expressions (or lists of them), accepts the members
    // named in kept as they are, and refuses any other.
    void children(const Json& body, std::initializer_list<std::string_view> walked,
                  std::initializer_list<std::string_view> kept = {}) {
        for (const auto& [key, value] : body.items()) {
            if (ignored(key) || std::find(kept.begin(), kept.end(), key) != kept.end()) continue;
            if (std::find(walked.begin(), walked.end(), key) == walked.end()) refuse("the clause " + key);
            if (value.is_array()) {
                for (const Json& item : value) expr(item);
            } else {
                expr(value);
            }
        }
    }

    void column(const Json& c) {
        const Json& fields = c.at("fields");
        if (fields.size() > 2) refuse("a name qualified by its schema");
        for (const Json& f : fields) {
            if (node(f).first == "A_Star") continue;
            std::string name = text(f);
            if (listed(kSystemColumns, name)) refuse("the system column " + name);
        }
    }

    void operatorName(const Json& name) {
        std::vector<std::string> parts = names(name);
        if (parts.size() != 1 || !listed(kOperators, parts[0])) refuse("the operator " + joined(parts));
        if (parts[0] == "||" || parts[0] == "*") buildsValues_ = true;
    }

    void literal(const Json& c) {
        for (const char* kind : {"sval", "fval", "bsval"}) {
            auto value = c.find(kind);
            if (value != c.end() && value->value(kind, std::string()).size() > kShortLiteral)
                buildsValues_ = true;
        }
    }

    void operation(const Json& a) {
        std::string kind = a.value("kind", "");
        static constexpr std::string_view kKinds[] = {
            "AEXPR_OP",          "AEXPR_DISTINCT",    "AEXPR_NOT_DISTINCT",   "AEXPR_NULLIF",
            "AEXPR_IN",          "AEXPR_LIKE",        "AEXPR_ILIKE",          "AEXPR_BETWEEN",
            "AEXPR_NOT_BETWEEN", "AEXPR_BETWEEN_SYM", "AEXPR_NOT_BETWEEN_SYM"};
        if (!listed(kKinds, kind))
            refuse(kind == "AEXPR_SIMILAR" ? "SIMILAR TO" : "the operator form " + kind);
        bool between = kind.find("BETWEEN") != std::string::npos;
        for (const auto& [key, value] : a.items()) {
            if (ignored(key) || key == "kind") continue;
            if (key == "name") {
                if (!between) operatorName(value);  // BETWEEN names itself
            } else if (key == "lexpr" || key == "rexpr") {
                expr(value);
            } else {
                refuse("the clause " + key);
            }
        }
    }

    void call(const Json& f) {
        std::vector<std::string> name = names(f.at("funcname"));
        // pg_catalog names the built-in function whatever the search path holds; the parser
        // writes SQL's own forms (SUBSTRING ... FROM, TRIM, EXTRACT) so.
        bool builtIn = name.size() == 1 || (name.size() == 2 && name[0] == "pg_catalog");
        if (!builtIn || !listed(kFunctions, name.back())) refuse("calling " + joined(name));
        if (name.back() == "concat") buildsValues_ = true;
        for (const auto& [key, value] : f.items()) {
            if (ignored(key) || key == "funcname" || key == "agg_star" || key == "agg_distinct" ||
                key == "funcformat")
                continue;
            if (key == "args") {
                for (const Json& a : value) expr(a);
            } else if (key == "agg_order") {
                for (const Json& b : value) sortBy(b);
            } else if (key == "agg_filter") {
                expr(value);
            } else if (key == "over") {
                refuse("a window function");
            } else {
                refuse("the clause " + key + " of " + joined(name));
            }
        }
    }

    void cast(const Json& c) {
        for (const auto& [key, value] : c.items()) {
            if (ignored(key)) continue;
            if (key == "arg")
                expr(value);
            else if (key == "typeName")
                typeName(value);
            else
                refuse("the clause " + key);
        }
    }

    void typeName(const Json& t) {
        std::vector<std::string> name = names(t.at("names"));
        bool builtIn = name.size() == 1 || (name.size() == 2 && name[0] == "pg_catalog");
        if (!builtIn || !listed(kTypes, name.back())) refuse("the type " + joined(name));
        for (const auto& [key, value] : t.items()) {
            if (ignored(key) || key == "names" || key == "typemod") continue;
            if (key != "typmods") refuse("the type " + joined(name) + " with " + key);
            for (const Json& m : value) {
                auto [type, body] = node(m);
                int64_t size = body.contains("ival") ? body["ival"].value("ival", int64_t(0)) : -1;
                if (type != "A_Const" || size < 0 || size > kMaxTypeModifier)
                    refuse("the type " + joined(name) + " of that size");
            }
        }
    }

    void subquery(const Json& s) {
        std::string kind = s.value("subLinkType", "");
        if (kind != "EXISTS_SUBLINK" && kind != "ANY_SUBLINK" && kind != "ALL_SUBLINK" &&
            kind != "EXPR_SUBLINK")
            refuse(kind == "ARRAY_SUBLINK" ? "an ARRAY" : "the subquery form " + kind);
        for (const auto& [key, value] : s.items()) {
            if (ignored(key) || key == "subLinkType") continue;
            if (key == "testexpr")
                expr(value);
            else if (key == "operName")
                operatorName(value);
            else if (key == "subselect")
                statement(value);
            else
                refuse("the clause " + key);
        }
    }

    ClientReads reads_;
    std::vector<std::string> ctes_;  // the WITH queries a name in FROM may mean, innermost last
    int depth_ = 0;
    bool buildsValues_ = false;
};

}  // namespace

CheckedQuery checkPostgresQuery(const std::string& sql, ClientReads reads) {
    if (sql.size() > kMaxPostgresQueryBytes)
        refuse(formatText("a text longer than %zu bytes", kMaxPostgresQueryBytes));
    // The parser keeps its memory per thread and frees it when the thread ends.
    PgQueryParseResult parsed = pg_query_parse(sql.c_str());
    if (parsed.error) {
        std::string message = parsed.error->message ? parsed.error->message : "the text cannot be read";
        pg_query_free_parse_result(parsed);
        throw VelmoraError(message);
    }
    Json tree = Json::parse(parsed.parse_tree, nullptr, false);
    pg_query_free_parse_result(parsed);
    if (tree.is_discarded()) throw VelmoraError("The command text cannot be read");
    const Json& statements = tree["stmts"];
    if (!statements.is_array() || statements.empty())
        throw VelmoraError("The command text holds no statement");
    if (statements.size() > 1) throw StatementRefused("Only one statement may be sent at a time");
    const Json& only = statements[0];
    Walker walker(reads);
    try {
        walker.statement(only.at("stmt"));
    } catch (const Json::exception&) {
        refuse("a construct the server does not know");  // a member not of the form expected
    }
    auto at = std::min(static_cast<size_t>(only.value("stmt_location", 0)), sql.size());
    auto length = static_cast<size_t>(only.value("stmt_len", 0));
    return {length == 0 ? sql.substr(at) : sql.substr(at, length), walker.buildsValues()};
}

}  // namespace velmora::server
