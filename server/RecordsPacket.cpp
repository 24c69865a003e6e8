#include "server/RecordsPacket.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "data/DataPacket.h"
#include "data/FieldDef.h"
#include "data/PacketFormat.h"
#include "data/RowLayout.h"
#include "data/RowWriter.h"
#include "transport/Errors.h"
#include "transport/Variant.h"

namespace velmora::server {

namespace {

// The packet type of a declared column type; nothing for an expression, whose type is widened
// over all of its values.
std::optional<FieldType> typeOfDeclared(std::string declared) {
    if (declared.empty()) return std::nullopt;
    for (char& c : declared) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (declared.find("bool") != std::string::npos) return FieldType::Boolean;
    // 64-bit integers travel as doubles, which hold them exactly up to 2^53.
    if (declared.find("big") != std::string::npos || declared.find("int8") != std::string::npos)
        return FieldType::Double;
    if (declared.find("int") != std::string::npos) return FieldType::Integer;
    if (declared.find("char") != std::string::npos || declared.find("text") != std::string::npos ||
        declared.find("clob") != std::string::npos)
        return FieldType::String;
    if (declared.find("real") != std::string::npos || declared.find("floa") != std::string::npos ||
        declared.find("doub") != std::string::npos || declared.find("num") != std::string::npos ||
        declared.find("dec") != std::string::npos)
        return FieldType::Double;
    return FieldType::String;
}

uint32_t sizeOfDeclared(const std::string& declared) {
    size_t open = declared.find('(');
    if (open == std::string::npos) return 0;
    return static_cast<uint32_t>(std::strtoul(declared.c_str() + open + 1, nullptr, 10));
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (sameName(n, name)) return true;
    return false;
}

bool fitsInteger(int64_t v) {
    return v >= INT32_MIN && v <= INT32_MAX;
}

// Integers of at most 53 bits convert to a double and back unchanged.
bool fitsDouble(int64_t v) {
    constexpr int64_t kExact = int64_t(1) << 53;
    return v >= -kExact && v <= kExact;
}

// The narrowest packet type that holds every value of an expression column seen so far; only
// ever widened: nothing (all null) -> Integer -> Double -> String.
enum class Widest { None, Integer, Double, String };

Widest widened(Widest have, DbType type, int64_t integer) {
    Widest need = Widest::None;
    switch (type) {
        case DbType::Null:
            return have;
        case DbType::Integer:
            need = fitsInteger(integer)  ? Widest::Integer
                   : fitsDouble(integer) ? Widest::Double
                                         : Widest::String;
            break;
        case DbType::Float:
            need = Widest::Double;
            break;
        case DbType::Text:
            need = Widest::String;
            break;
    }
    return std::max(have, need);
}

FieldType typeOfWidest(Widest w) {
    switch (w) {
        case Widest::Integer:
            return FieldType::Integer;
        case Widest::Double:
            return FieldType::Double;
        default:
            return FieldType::String;
    }
}

[[noreturn]] void doesNotFit(const std::string& field, const std::string& value) {
    throw VelmoraError(
        formatText("The value %s of the field %s does not fit its type", value.c_str(), field.c_str()));
}

// Field names unique within the packet, compared as the decoder does (without regard to ASCII
// case): a repeated name gets the first free suffix _1, _2, ... Names are cut to the packet's
// limit at a character boundary; an empty one is named after its position. No column takes a
// reserved name (the nested lines' field).
// Taken names and the next suffix to try per name are kept in hash tables, so that a statement of
// thousands of columns of one name costs linear time, not a search per column and suffix.
bool namesAlreadyUnique(const FieldDefs& fields, const std::vector<std::string>& reserved) {
    // Checked pairwise for the few columns of an everyday statement, before any table is built.
    constexpr size_t kFew = 32;
    if (fields.size() > kFew) return false;
    for (size_t c = 0; c < fields.size(); ++c) {
        const std::string& name = fields[c].name;
        if (name.empty() || name.size() > kMaxFieldNameBytes - 16) return false;
        for (const std::string& r : reserved)
            if (sameName(name, r)) return false;
        for (size_t other = 0; other < c; ++other)
            if (sameName(name, fields[other].name)) return false;
    }
    return true;
}

void makeNamesUnique(FieldDefs& fields, const std::vector<std::string>& reserved) {
    if (namesAlreadyUnique(fields, reserved)) return;
    auto folded = [](const std::string& name) {
        std::string lower = name;
        for (char& ch : lower)
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        return lower;
    };
    std::unordered_set<std::string> taken;
    for (const std::string& r : reserved) taken.insert(folded(r));
    std::unordered_map<std::string, int> nextSuffix;
    for (size_t c = 0; c < fields.size(); ++c) {
        std::string& name = fields[c].name;
        if (name.size() > kMaxFieldNameBytes - 16) {
            size_t cut = kMaxFieldNameBytes - 16;
            while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
            name.resize(cut);
        }
        if (name.empty()) name = formatText("column%zu", c + 1);
        std::string candidate = name;
        int& n = nextSuffix[folded(name)];
        while (taken.count(folded(candidate))) candidate = name + "_" + std::to_string(++n);
        name = candidate;
        taken.insert(folded(name));
    }
}

// One row, read from a query or kept from one.
struct BufferedRow {
    std::vector<DbValue> cells;
    DbType type(size_t c) const { return cells[c].type; }
    int64_t integer(size_t c) const { return cells[c].integer; }
    double real(size_t c) const { return cells[c].real; }
    std::string_view text(size_t c) const { return cells[c].text; }
};

BufferedRow keep(const DbQuery& q) {
    BufferedRow row;
    row.cells.reserve(q.columnCount());
    for (size_t c = 0; c < q.columnCount(); ++c) {
        switch (q.type(c)) {
            case DbType::Null:
                row.cells.push_back(DbValue::null());
                break;
            case DbType::Integer:
                row.cells.push_back(DbValue::ofInteger(q.integer(c)));
                break;
            case DbType::Float:
                row.cells.push_back(DbValue::ofFloat(q.real(c)));
                break;
            case DbType::Text:
                row.cells.push_back(DbValue::ofText(std::string(q.text(c))));
                break;
        }
    }
    return row;
}

// Writes one cell converted to the field's type, never narrowing a number: a value its field
// cannot hold exactly is refused. Text that is no number in a number field is written null.
template <typename Row>
void writeCell(RowWriter& w, const FieldDef& field, const Row& row, size_t c) {
    DbType have = row.type(c);
    if (have == DbType::Null) return w.addNull();
    switch (field.type) {
        case FieldType::String:
            if (have == DbType::Text) return w.addText(row.text(c));
            if (have == DbType::Integer) return w.addText(std::to_string(row.integer(c)));
            return w.addText(formatDouble15(row.real(c)));
        case FieldType::Integer:
            if (have == DbType::Integer) {
                if (!fitsInteger(row.integer(c))) doesNotFit(field.name, std::to_string(row.integer(c)));
                return w.addInteger(static_cast<int32_t>(row.integer(c)));
            }
            if (have == DbType::Float) {
                double v = row.real(c);
                if (!(v >= INT32_MIN && v <= INT32_MAX && v == std::trunc(v)))
                    doesNotFit(field.name, formatDouble15(v));
                return w.addInteger(static_cast<int32_t>(v));
            }
            {
                std::string text(row.text(c));
                char* end = nullptr;
                errno = 0;
                long long v = std::strtoll(text.c_str(), &end, 10);
                if (text.empty() || *end || errno == ERANGE || !fitsInteger(v)) return w.addNull();
                return w.addInteger(static_cast<int32_t>(v));
            }
        case FieldType::Double:
        case FieldType::DateTime:
            if (have == DbType::Float) return w.addDouble(row.real(c));
            if (have == DbType::Integer) {
                if (!fitsDouble(row.integer(c))) doesNotFit(field.name, std::to_string(row.integer(c)));
                return w.addDouble(static_cast<double>(row.integer(c)));
            }
            {
                std::string text(row.text(c));
                char* end = nullptr;
                double v = std::strtod(text.c_str(), &end);
                return (text.empty() || *end) ? w.addNull() : w.addDouble(v);
            }
        case FieldType::Boolean:
            if (have == DbType::Integer) return w.addBoolean(row.integer(c) != 0);
            if (have == DbType::Float) return w.addBoolean(row.real(c) != 0);
            return w.addBoolean(sameName(row.text(c), "true") || row.text(c) == "1");
        case FieldType::DataSet:
            return w.addNull();
    }
}

template <typename Row>
void writeRow(RowWriter& w, const FieldDefs& fields, size_t columns, const Row& row) {
    for (size_t c = 0; c < columns; ++c) writeCell(w, fields[c], row, c);
}

// The rows kept while widening the types of expressions are charged against the same limit as
// the packet.
FieldDefs describeColumns(DbQuery& q, const ProviderDef& provider, std::vector<BufferedRow>& ahead,
                          bool& more, size_t maxBytes = 0) {
    size_t n = q.columnCount();
    FieldDefs fields(n);
    std::vector<size_t> unknown;
    for (size_t c = 0; c < n; ++c) {
        FieldDef& f = fields[c];
        f.name = q.columnName(c);
        std::string declared = q.declaredType(c);
        std::optional<FieldType> t = typeOfDeclared(declared);
        if (t) {
            f.type = *t;
        } else {
            unknown.push_back(c);
        }
        if (f.type == FieldType::String) f.size = sizeOfDeclared(declared);
    }
    std::vector<std::string> reserved;
    if (provider.nestsOrderLines) reserved.emplace_back(kNestedLinesField);
    makeNamesUnique(fields, reserved);
    for (FieldDef& f : fields) {
        if (contains(provider.key, f.name)) f.flags |= kFieldKey;
        if (!provider.generatedKey.empty() && sameName(provider.generatedKey, f.name))
            f.flags |= kFieldHidden | kFieldReadOnly;
    }
    more = true;
    if (unknown.empty()) return fields;
    // An expression's type must hold every value it has, so every row is read before the
    // descriptors are written; the rows read are kept for the packet.
    std::vector<Widest> widest(unknown.size(), Widest::None);
    size_t kept = 0;
    while (q.next()) {
        ahead.push_back(keep(q));
        const BufferedRow& row = ahead.back();
        for (const DbValue& cell : row.cells) kept += sizeof cell + cell.text.size();
        if (maxBytes && kept > maxBytes)
            throw ResultTooLarge(formatText("The result passed %zu MB", maxBytes >> 20));
        for (size_t i = 0; i < unknown.size(); ++i) {
            size_t c = unknown[i];
            widest[i] = widened(widest[i], row.type(c), row.type(c) == DbType::Integer ? row.integer(c) : 0);
        }
    }
    more = false;
    for (size_t i = 0; i < unknown.size(); ++i) {
        FieldDef& f = fields[unknown[i]];
        f.type = typeOfWidest(widest[i]);
    }
    return fields;
}

// The lines of one order, looked up per order with one prepared statement; the descriptors of
// their fields come from the table itself, so an order without lines still describes them.
// The lines of each order, as the nested value of its header. A few orders are looked up one
// by one; past that, every line is read in one statement ordered by order number and merged with
// the headers: headers in that order (the usual case) keep only one order's lines in hand, others
// have the lines passed on the way kept until their header comes.
class OrderLines {
  public:
    explicit OrderLines(DbConnection& db) : db_(db) {
        auto q = db_.query("select * from xsdzb limit 0", {});
        std::vector<BufferedRow> none;
        bool more = false;
        fields_ = describeColumns(*q, orderLinesDef(), none, more);
        layout_ = std::make_unique<RowLayout>(fields_);
        orderColumn_ = static_cast<size_t>(std::max(0, findField(fields_, "xsdid")));
    }
    const FieldDefs& fields() const { return fields_; }

    void write(RowWriter& w, std::string_view order) {
        std::string key(order);
        // A header met twice (a union, say) gets its lines again from the table.
        bool again = !served_.insert(key).second;
        if (again || !scanAllowed_ || (!scan_ && ++lookups_ <= kLookupsBeforeScan)) return lookUp(w, key);
        if (!scan_) startScan();
        std::optional<Chunk> lines = take(key);
        if (!lines) return lookUp(w, key);
        w.addNestedRows(lines->count, lines->bytes);
    }

  private:
    static constexpr int kLookupsBeforeScan = 32;
    // Lines kept for headers still to come, at most; past it the scan is given up and the rest
    // looked up one by one, so that a selective header query cannot make a connection hold the
    // whole table.
    static constexpr size_t kMaxPendingBytes = size_t(16) << 20;
    struct Chunk {
        uint32_t count = 0;
        Bytes bytes;
    };

    void lookUp(RowWriter& w, const std::string& order) {
        w.beginNested();
        auto q = db_.query("select * from xsdzb where xsdid = ? order by lineid", {DbValue::ofText(order)});
        while (q->next()) {
            w.beginRow();
            writeRow(w, fields_, fields_.size(), *q);
            w.endRow();
        }
        w.endNested();
    }

    void startScan() {
        scan_ = db_.query("select * from xsdzb order by xsdid, lineid", {});
        scanMore_ = scan_->next();
    }

    // The lines of order, reading on through the scan and keeping what other orders it passes;
    // nothing once the scan was given up.
    std::optional<Chunk> take(const std::string& order) {
        auto kept = pending_.find(order);
        if (kept != pending_.end()) {
            Chunk lines = std::move(kept->second);
            pending_.erase(kept);
            pendingBytes_ -= lines.bytes.size();
            return lines;
        }
        Chunk lines;
        while (scanMore_) {
            if (scan_->type(orderColumn_) == DbType::Null) {
                scanMore_ = scan_->next();
                continue;
            }
            std::string id(scan_->text(orderColumn_));
            if (id > order) break;  // the lines are in order: none of order's come later
            if (id != order && served_.count(id)) {
                scanMore_ = scan_->next();  // served before the scan began
                continue;
            }
            Chunk& into = id == order ? lines : pending_[id];
            size_t before = into.bytes.size();
            RowWriter encode(into.bytes, *layout_);
            encode.beginRow();
            writeRow(encode, fields_, fields_.size(), *scan_);
            encode.endRow();
            ++into.count;
            if (id != order && (pendingBytes_ += into.bytes.size() - before) > kMaxPendingBytes) {
                giveUpScan();
                return std::nullopt;
            }
            scanMore_ = scan_->next();
        }
        return lines;
    }

    void giveUpScan() {
        pending_.clear();
        pendingBytes_ = 0;
        scan_.reset();
        scanAllowed_ = false;
    }

    DbConnection& db_;
    FieldDefs fields_;
    std::unique_ptr<RowLayout> layout_;
    size_t orderColumn_ = 0;
    int lookups_ = 0;
    std::unordered_set<std::string> served_;
    std::unique_ptr<DbQuery> scan_;
    bool scanMore_ = false;
    std::unordered_map<std::string, Chunk> pending_;
    size_t pendingBytes_ = 0;
    // The scan streams on SQLite; PostgreSQL would hand over the whole table at once.
    bool scanAllowed_ = db_.dialect() == Dialect::Sqlite;
};

}  // namespace

FieldDef packetField(const char* name, FieldType type, uint32_t size) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.size = size;
    return f;
}

FieldDef textField(std::string name) {
    FieldDef f;
    f.name = std::move(name);
    f.type = FieldType::String;
    f.size = 50;
    return f;
}

struct RecordsCursor::Parts {
    Parts(DbConnection& db, DbQuery& rows, const ProviderDef& provider, size_t limit)
        : q(rows), maxBytes(limit) {
        if (provider.nestsOrderLines) lines.emplace(db);
        fields = describeColumns(q, provider, ahead, more, maxBytes);
        columns = fields.size();
        if (lines) {
            orderColumn = findField(fields, "xsdid");
            FieldDef nested;
            nested.name = kNestedLinesField;
            nested.type = FieldType::DataSet;
            nested.nested = lines->fields();
            fields.push_back(nested);
        }
    }

    // Whether a row is left; steps the statement onto it when the rows kept ahead are used up.
    bool rowLeft() {
        if (aheadAt < ahead.size()) return true;
        if (!more) return false;
        if (!onRow) onRow = q.next();
        if (!onRow) more = false;
        return onRow;
    }

    template <typename Row>
    void write(DataPacketWriter& w, const Row& row) {
        w.beginRow();
        writeRow(w, fields, columns, row);
        if (lines) {
            if (orderColumn < 0 || row.type(static_cast<size_t>(orderColumn)) == DbType::Null) {
                w.addNull();
            } else {
                lines->write(w, row.text(static_cast<size_t>(orderColumn)));
            }
        }
        w.endRow();
        if (maxBytes && sent + w.bytes().size() > maxBytes)
            throw ResultTooLarge(formatText("The result passed %zu MB", maxBytes >> 20));
    }

    DbQuery& q;
    size_t maxBytes;
    std::optional<OrderLines> lines;
    std::vector<BufferedRow> ahead;
    size_t aheadAt = 0;
    bool more = true;    // the statement may have rows after those kept ahead
    bool onRow = false;  // the statement stands on a row not handed out yet
    FieldDefs fields;
    size_t columns = 0;
    int orderColumn = -1;
    size_t sent = 0;  // bytes of the packets handed out so far
};

RecordsCursor::RecordsCursor(DbConnection& db, DbQuery& rows, const ProviderDef& provider, size_t maxBytes)
    : parts_(std::make_unique<Parts>(db, rows, provider, maxBytes)) {}

RecordsCursor::~RecordsCursor() = default;

bool RecordsCursor::exhausted() const {
    return !parts_->rowLeft();
}

Bytes RecordsCursor::next(int32_t count, int32_t& rowCount) {
    Parts& p = *parts_;
    DataPacketWriter w(p.fields);
    int32_t n = 0;
    while ((count < 0 || n < count) && p.rowLeft()) {
        if (p.aheadAt < p.ahead.size()) {
            p.write(w, p.ahead[p.aheadAt++]);
        } else {
            p.onRow = false;
            p.write(w, p.q);
        }
        ++n;
    }
    rowCount = n;
    Bytes packet = w.finish(!p.rowLeft());
    p.sent += packet.size();
    return packet;
}

Bytes buildRecordsPacket(DbConnection& db, DbQuery& q, const ProviderDef& provider, int32_t& rowCount,
                         size_t maxBytes) {
    return RecordsCursor(db, q, provider, maxBytes).next(-1, rowCount);
}

}  // namespace velmora::server
