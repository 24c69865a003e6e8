#include "sales/OrderStatements.h"

namespace velmora {

std::string quoteDoubled(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    return out;
}

std::string orderNumberQuery(std::string_view xsdid) {
    return "select * from xsdtb where xsdid='" + quoteDoubled(xsdid) + "'";
}

std::string customerLookupQuery(std::string_view khid) {
    return "select * from  kh where khid='" + quoteDoubled(khid) + "'";
}

std::string salesmanLookupQuery(std::string_view ywyid) {
    return "select * from  ywy where ywyid='" + quoteDoubled(ywyid) + "'";
}

std::string orderLinesQuery(std::string_view xsdid) {
    return "select * from xsdzb where xsdid='" + quoteDoubled(xsdid) + "'";
}

std::string orderItemLinesQuery(std::string_view xsdid, std::string_view chid) {
    return orderLinesQuery(xsdid) + " and chid='" + quoteDoubled(chid) + "'";
}

}  // namespace velmora
