#include "audit/AuditWords.h"

namespace velmora {

namespace {

struct FieldWord {
    const char* table;  // "" for the fields of a refusal
    const char* field;
    const char* caption;
};

// The captions are the windows' own: the edit boxes' labels in the master-data windows and in
// 销售开票, the grid's column titles for an order's lines.
constexpr FieldWord kFields[] = {
    {"kh", "khid", "客户编号"},
    {"kh", "khname", "客户名称"},
    {"kh", "tel", "联系电话"},
    {"kh", "address", "联系地址"},
    {"kh", "accountid", "帐号"},
    {"kh", "tax", "税号"},
    {"ywy", "ywyid", "业务员编号"},
    {"ywy", "ywyname", "业务员名称"},
    {"ywy", "tel", "联系电话"},
    {"ywy", "address", "联系地址"},
    {"ch", "chflid", "存货分类编号"},
    {"ch", "chid", "存货编号"},
    {"ch", "chname", "存货名称"},
    {"ch", "ggxh", "规格型号"},
    {"ch", "jldw", "计量单位"},
    {"chfl", "chflid", "存货分类编号"},
    {"chfl", "chflname", "存货分类名称"},
    {"xsdtb", "xsdid", "销售发票号"},
    {"xsdtb", "rq", "开票日期"},
    {"xsdtb", "khid", "客户编号"},
    {"xsdtb", "khname", "客户名称"},
    {"xsdtb", "ywyid", "业务员编号"},
    {"xsdtb", "ywyname", "业务员名称"},
    {"xsdtb", "username", "制单人"},
    {"xsdtb", "shrname", "审核人"},
    {"xsdtb", "ischeck", "审核"},
    {"xsdzb", "xsdid", "销售发票号"},
    {"xsdzb", "chid", "存货编号"},
    {"xsdzb", "chname", "存货名称"},
    {"xsdzb", "ggxh", "规格型号"},
    {"xsdzb", "jldw", "计量单位"},
    {"xsdzb", "quantity1", "数量"},
    {"xsdzb", "price1", "单价"},
    {"xsdzb", "money1", "金额"},
    {"xsdzb", "lineid", "行号"},
    {"user1", "role", "角色"},
    {"user1", "rights", "权限"},
    {"", "what", "请求"},
    {"", "reason", "原因"},
};

std::string captionOf(const std::vector<AuditName>& names, std::string_view name) {
    for (const AuditName& n : names)
        if (name == n.name) return n.caption;
    return std::string(name);
}

}  // namespace

const std::vector<AuditName>& auditActions() {
    static const std::vector<AuditName> actions = {
        {"insert", "新增"},           {"modify", "修改"},
        {"delete", "删除"},           {"approve", "审核"},
        {"withdraw", "弃审"},         {"login", "登录"},
        {"login_failed", "登录失败"}, {"logout", "退出"},
        {"resume", "恢复登录"},       {"password", "更改口令"},
        {"refused", "拒绝"},          {"user_add", "增加用户"},
        {"user_change", "修改用户"},  {"user_password", "重设口令"},
        {"user_enable", "启用用户"},  {"user_disable", "停用用户"},
        {"user_remove", "删除用户"},
    };
    return actions;
}

const std::vector<AuditName>& auditTables() {
    static const std::vector<AuditName> tables = {
        {"xsdtb", "销售发票"}, {"xsdzb", "发票明细"},    {"kh", "客户档案"}, {"ywy", "业务员档案"},
        {"ch", "存货档案"},    {"chfl", "存货分类档案"}, {"user1", "用户"},
    };
    return tables;
}

std::string actionCaption(std::string_view action) {
    return captionOf(auditActions(), action);
}

std::string tableCaption(std::string_view table) {
    return captionOf(auditTables(), table);
}

std::string fieldCaption(std::string_view table, std::string_view field) {
    for (const FieldWord& f : kFields)
        if (table == f.table && field == f.field) return f.caption;
    return std::string(field);
}

}  // namespace velmora
