#include "RecordsPacket.h"

#include <cstdlib>
#include <optional>

#include "DataPacket.h"
#include "Errors.h"
#include "FieldDef.h"
#include "Variant.h"

namespace velmora::server {

namespace {

// The packet type of a declared column type; nothing for an expression, whose type is taken from
// its first non-null value.
std::optional<FieldType> typeOfDeclared(const std::string& declared) {
    if (declared.empty()) return std::nullopt;
    if (declared.find("bool") != std::string::npos) return FieldType::Boolean;
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

FieldType typeOfValue(DbType t) {
    switch (t) {
        case DbType::Integer:
            return FieldType::Integer;
        case DbType::Float:
            return FieldType::Double;
        default:
            return FieldType::String;
    }
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (sameName(n, name)) return true;
    return false;
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

// Writes one cell converted to the field's type; what cannot be converted is written null.
template <typename Row>
void writeCell(RowWriter& w, FieldType type, const Row& row, size_t c) {
    DbType have = row.type(c);
    if (have == DbType::Null) return w.addNull();
    switch (type) {
        case FieldType::String:
            if (have == DbType::Text) return w.addText(row.text(c));
            if (have == DbType::Integer) return w.addText(std::to_string(row.integer(c)));
            return w.addText(formatDouble15(row.real(c)));
        case FieldType::Integer:
            if (have == DbType::Integer) return w.addInteger(static_cast<int32_t>(row.integer(c)));
            if (have == DbType::Float) return w.addInteger(static_cast<int32_t>(row.real(c)));
            return w.addInteger(static_cast<int32_t>(std::strtol(std::string(row.text(c)).c_str(), nullptr, 10)));
        case FieldType::Double:
        case FieldType::DateTime:
            if (have == DbType::Float) return w.addDouble(row.real(c));
            if (have == DbType::Integer) return w.addDouble(static_cast<double>(row.integer(c)));
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
    for (size_t c = 0; c < columns; ++c) writeCell(w, fields[c].type, row, c);
}

// The rows kept while looking for a value are charged against the same limit as the packet.
FieldDefs describeColumns(DbQuery& q, const ProviderDef& provider, std::vector<BufferedRow>& ahead, bool& more,
                          size_t maxBytes = 0) {
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
        if (contains(provider.key, f.name)) f.flags |= kFieldKey;
        if (!provider.generatedKey.empty() && sameName(provider.generatedKey, f.name))
            f.flags |= kFieldHidden | kFieldReadOnly;
    }
    // Expressions take the type of their first non-null value; the rows read to find it are kept.
    more = true;
    size_t kept = 0;
    while (!unknown.empty()) {
        more = q.next();
        if (!more) break;
        ahead.push_back(keep(q));
        for (const DbValue& cell : ahead.back().cells) kept += sizeof cell + cell.text.size();
        if (maxBytes && kept > maxBytes)
            throw ResultTooLarge(formatText("The result passed %zu MB", maxBytes >> 20));
        for (size_t i = 0; i < unknown.size();) {
            DbType t = q.type(unknown[i]);
            if (t != DbType::Null) {
                fields[unknown[i]].type = typeOfValue(t);
                unknown.erase(unknown.begin() + static_cast<long>(i));
            } else {
                ++i;
            }
        }
    }
    for (size_t c : unknown) fields[c].type = FieldType::String;
    return fields;
}

// The lines of one order, looked up per order with one prepared statement; the descriptors of
// their fields come from the table itself, so an order without lines still describes them.
class OrderLines {
public:
    explicit OrderLines(DbConnection& db) : db_(db) {
        auto q = db_.query("select * from xsdzb limit 0", {});
        std::vector<BufferedRow> none;
        bool more = false;
        fields_ = describeColumns(*q, orderLinesDef(), none, more);
    }
    const FieldDefs& fields() const { return fields_; }

    void write(RowWriter& w, std::string_view order) {
        auto q = db_.query("select * from xsdzb where xsdid = ? order by lineid", {DbValue::ofText(std::string(order))});
        while (q->next()) {
            w.beginRow();
            writeRow(w, fields_, fields_.size(), *q);
            w.endRow();
        }
    }

private:
    DbConnection& db_;
    FieldDefs fields_;
};

}  // namespace

FieldDef textField(std::string name) {
    FieldDef f;
    f.name = std::move(name);
    f.type = FieldType::String;
    f.size = 50;
    return f;
}

Bytes buildRecordsPacket(DbConnection& db, DbQuery& q, const ProviderDef& provider, int32_t& rowCount,
                         size_t maxBytes) {
    std::optional<OrderLines> lines;
    if (provider.nestsOrderLines) lines.emplace(db);

    std::vector<BufferedRow> ahead;
    bool more = true;
    FieldDefs fields = describeColumns(q, provider, ahead, more, maxBytes);
    size_t columns = fields.size();
    int orderColumn = -1;
    if (lines) {
        orderColumn = findField(fields, "xsdid");
        FieldDef nested;
        nested.name = kNestedLinesField;
        nested.type = FieldType::DataSet;
        nested.nested = lines->fields();
        fields.push_back(nested);
    }

    DataPacketWriter w(fields);
    auto writeOne = [&](const auto& row) {
        w.beginRow();
        writeRow(w, fields, columns, row);
        if (lines) {
            if (orderColumn < 0 || row.type(static_cast<size_t>(orderColumn)) == DbType::Null) {
                w.addNull();
            } else {
                w.beginNested();
                lines->write(w, row.text(static_cast<size_t>(orderColumn)));
                w.endNested();
            }
        }
        w.endRow();
        if (maxBytes && w.bytes().size() > maxBytes)
            throw ResultTooLarge(formatText("The result passed %zu MB", maxBytes >> 20));
    };
    for (const BufferedRow& row : ahead) writeOne(row);
    while (more && q.next()) writeOne(q);
    rowCount = static_cast<int32_t>(w.rowCount());
    return w.finish();
}

}  // namespace velmora::server
