#include "reports/ListCriteria.h"

#include "reports/SqlText.h"

namespace velmora {

namespace {

void appendQuoted(std::string& out, const char* fragment, const std::string& value, bool optional) {
    if (optional && value.empty()) return;
    out += fragment;
    out += quotedValue(value);
}

void appendNumber(std::string& out, const char* fragment, const std::string& value, const char* box,
                  const char* boxCaption) {
    if (value.empty()) return;
    if (!isNumberText(value))
        throw InvalidBoundError(box, std::string(boxCaption) + "“" + value + "”不是有效的数字，请重新输入。");
    out += fragment;
    out += value;
}

}  // namespace

std::string listCriteriaText(const ListCriteria& c) {
    // The fragments keep the blanks the statements have always had, so the texts sent stay the same.
    std::string out;
    appendQuoted(out, " and  username=", c.userName, true);
    appendQuoted(out, " and   rq>=", c.dateFrom, false);
    appendQuoted(out, " and   rq<=", c.dateTo, false);
    appendQuoted(out, " and   xsdid >=", c.invoiceFrom, true);
    appendQuoted(out, " and   xsdid <=", c.invoiceTo, true);
    appendQuoted(out, " and khid=", c.customerCode, true);
    appendQuoted(out, " and   ywyid=", c.salesmanCode, true);
    appendQuoted(out, " and   chid=", c.itemCode, true);
    appendNumber(out, " and   quantity1>=", c.quantityFrom, "Edit8", "数量下限");
    appendNumber(out, " and   quantity1<=", c.quantityTo, "Edit9", "数量上限");
    appendNumber(out, " and   money1>=", c.moneyFrom, "Edit10", "金额下限");
    appendNumber(out, " and   money1<=", c.moneyTo, "Edit11", "金额上限");
    return out;
}

std::string listRowsStatement(const std::string& criteriaText) {
    return "select * from xsdview where xsdid<> ' '" + criteriaText;
}

std::string listTotalsStatement(const std::string& criteriaText) {
    return "select sum(quantity1) as sl, sum(money1) as je  from  xsdview where xsdid<> ' '" + criteriaText;
}

}  // namespace velmora
