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
    if (c.approval == ApprovalState::Approved) out += " and (shrname is not null and shrname<>'')";
    if (c.approval == ApprovalState::NotApproved) out += " and (shrname is null or shrname='')";
    return out;
}

std::vector<std::string> describeListCriteria(const ListCriteria& c) {
    std::vector<std::string> out{"业务日期：" + c.dateFrom + " 至 " + c.dateTo};
    auto range = [&out](const char* caption, const std::string& from, const std::string& to) {
        if (from.empty() && to.empty()) return;
        std::string text = caption;
        if (!from.empty()) text += (to.empty() ? "≥ " : "") + from;
        if (!to.empty()) text += (from.empty() ? "≤ " : " 至 ") + to;
        out.push_back(text);
    };
    auto one = [&out](const char* caption, const std::string& value) {
        if (!value.empty()) out.push_back(caption + value);
    };
    one("制单人：", c.userName);
    range("发票号：", c.invoiceFrom, c.invoiceTo);
    one("客户编码：", c.customerCode);
    one("业务员编码：", c.salesmanCode);
    one("存货编码：", c.itemCode);
    range("数量：", c.quantityFrom, c.quantityTo);
    range("金额：", c.moneyFrom, c.moneyTo);
    if (c.approval != ApprovalState::All)
        out.push_back(std::string("审核状态：") + approvalStateText(c.approval));
    return out;
}

const char* approvalStateText(ApprovalState state) {
    switch (state) {
        case ApprovalState::Approved:
            return "已审核";
        case ApprovalState::NotApproved:
            return "未审核";
        case ApprovalState::All:
            break;
    }
    return "全部";
}

std::string listRowsStatement(const std::string& criteriaText) {
    return "select * from xsdview where xsdid<> ' '" + criteriaText;
}

}  // namespace velmora
