#include "tests/data/TestPackets.h"

namespace velmora::test {

Bytes flatPacket(const FieldDefs& fields, const std::vector<Row>& rows, bool complete) {
    DataPacketWriter w(fields, complete);
    for (const Row& r : rows) {
        w.beginRow();
        for (const Variant& v : r) w.addValue(v);
        w.endRow();
    }
    return w.finish();
}

FieldDefs lineFields() {
    return {intField("lineid", kFieldKey | kFieldHidden),
            textField("xsdid"),
            textField("chid"),
            textField("chname"),
            numberField("quantity1"),
            numberField("price1"),
            numberField("money1")};
}

FieldDefs headerFields() {
    return {textField("xsdid", 50, kFieldKey),
            textField("khid"),
            textField("khname"),
            textField("ywyid"),
            textField("ywyname"),
            textField("username"),
            textField("shrname"),
            boolField("ischeck"),
            nestedField("ADOQueryxsdzb", lineFields()),
            textField("rq")};
}

Row line(int32_t lineId, const std::string& xsdid, const std::string& chid, double quantity, double price) {
    return {Variant(lineId),          Variant(xsdid),    Variant(chid),
            Variant("item " + chid),  Variant(quantity), Variant(price),
            Variant(quantity * price)};
}

Bytes ordersPacket(const std::vector<Order>& orders) {
    DataPacketWriter w(headerFields());
    for (const Order& o : orders) {
        w.beginRow();
        w.addText(o.xsdid);
        w.addText(o.khid);
        w.addText("customer " + o.khid);
        w.addText("y1");
        w.addText("salesman");
        w.addText("admin");
        w.addNull();
        w.addBoolean(o.ischeck);
        w.beginNested();
        for (const Row& l : o.lines) {
            w.beginRow();
            for (const Variant& v : l) w.addValue(v);
            w.endRow();
        }
        w.endNested();
        w.addText("2024-05-01");
        w.endRow();
    }
    return w.finish();
}

FieldDefs customerFields() {
    return {textField("khid", 50, kFieldKey), textField("khname"), textField("tel")};
}

Bytes customersPacket(const std::vector<std::pair<std::string, std::string>>& codesAndNames) {
    std::vector<Row> rows;
    for (const auto& [code, name] : codesAndNames)
        rows.push_back({Variant(code), Variant(name), Variant::null()});
    return flatPacket(customerFields(), rows);
}

}  // namespace velmora::test
