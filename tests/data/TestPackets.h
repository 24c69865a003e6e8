#pragma once
// Short ways to build the packets the dataset tests feed their provider.

#include <ostream>
#include <string>
#include <vector>

#include "data/DataPacket.h"
#include "data/FieldDef.h"
#include "transport/Variant.h"

namespace velmora {
// Lets test failures show values as text.
inline void PrintTo(const Variant& v, std::ostream* os) {
    if (v.isArray())
        *os << "array";
    else if (v.isNull())
        *os << "Null";
    else
        *os << v.toString() << " (type " << static_cast<int>(v.type()) << ")";
}
}  // namespace velmora

namespace velmora::test {

inline FieldDef textField(const std::string& name, uint32_t size = 50, uint8_t flags = 0) {
    return FieldDef{name, FieldType::String, size, flags, {}};
}
inline FieldDef numberField(const std::string& name) {
    return FieldDef{name, FieldType::Double, 0, 0, {}};
}
inline FieldDef intField(const std::string& name, uint8_t flags = 0) {
    return FieldDef{name, FieldType::Integer, 0, flags, {}};
}
inline FieldDef boolField(const std::string& name) {
    return FieldDef{name, FieldType::Boolean, 0, 0, {}};
}
inline FieldDef nestedField(const std::string& name, FieldDefs columns) {
    return FieldDef{name, FieldType::DataSet, 0, 0, std::move(columns)};
}

using Row = std::vector<Variant>;

// A flat packet: one Variant per field per row (Null for null). complete: the rows are the whole
// result, not a part of it.
Bytes flatPacket(const FieldDefs& fields, const std::vector<Row>& rows, bool complete = true);

// The columns of the order lines (xsdzb), with the server's line id first.
FieldDefs lineFields();
// The columns of the order headers (xsdtb) with the nested lines in ADOQueryxsdzb.
FieldDefs headerFields();
struct Order {
    std::string xsdid;
    std::string khid;
    bool ischeck = false;
    std::vector<Row> lines;  // values of lineFields()
};
Bytes ordersPacket(const std::vector<Order>& orders);
Row line(int32_t lineId, const std::string& xsdid, const std::string& chid, double quantity, double price);

// Customers: khid, khname, tel.
FieldDefs customerFields();
Bytes customersPacket(const std::vector<std::pair<std::string, std::string>>& codesAndNames);

}  // namespace velmora::test
