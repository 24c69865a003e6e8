#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "server/PasswordHash.h"
#include "server/Schema.h"

namespace velmora::server {

namespace {

struct Item {
    const char* category;
    const char* code;
    const char* name;
    const char* model;
    const char* unit;
    double price;
};

const Item kItems[] = {
    {"01-001", "0100101", "大白兔奶糖", "500克/袋", "袋", 18.50},
    {"01-001", "0100102", "水果硬糖", "250克/袋", "袋", 6.80},
    {"01-001", "0100103", "巧克力", "100克/块", "块", 12.00},
    {"01-002", "0100201", "苏打饼干", "400克/盒", "盒", 9.90},
    {"01-002", "0100202", "夹心饼干", "300克/盒", "盒", 11.50},
    {"01-002", "0100203", "蛋卷", "200克/盒", "盒", 15.00},
    {"02-001", "0200101", "西湖龙井", "250克/罐", "罐", 168.00},
    {"02-001", "0200102", "铁观音", "250克/罐", "罐", 128.00},
    {"02-001", "0200103", "普洱茶饼", "357克/饼", "饼", 95.00},
    {"02-002", "0200201", "橙汁", "1升/瓶", "瓶", 8.50},
    {"02-002", "0200202", "苹果汁", "1升/瓶", "瓶", 7.80},
    {"02-002", "0200203", "椰子汁", "245毫升/罐", "罐", 3.50},
    {"03-001", "0300101", "洗衣粉", "2千克/袋", "袋", 24.00},
    {"03-001", "0300102", "洗洁精", "1.5千克/瓶", "瓶", 13.20},
    {"03-001", "0300103", "肥皂", "200克/块", "块", 3.20},
    {"03-002", "0300201", "卷筒纸", "10卷/提", "提", 19.90},
    {"03-002", "0300202", "面巾纸", "3包/提", "提", 9.60},
    {"03-002", "0300203", "湿巾", "80片/包", "包", 7.50},
    {"03-003", "0300301", "牙膏", "120克/支", "支", 10.80},
    {"03-003", "0300302", "牙刷", "2支/盒", "盒", 12.60},
};

const char* const kCategories[][2] = {
    {"01", "食品"},     {"01-001", "糖果"},     {"01-002", "饼干"}, {"02", "饮料"},
    {"02-001", "茶叶"}, {"02-002", "果汁"},     {"03", "日用品"},   {"03-001", "洗涤用品"},
    {"03-002", "纸品"}, {"03-003", "口腔护理"},
};

const char* const kCustomers[][6] = {
    {"K001", "华联超市", "0571-86001234", "杭州市延安路100号", "1202020109000123456", "330103100000001"},
    {"K002", "永辉商贸有限公司", "0591-87654321", "福州市五四路88号", "1402023009000234567",
     "350102200000002"},
    {"K003", "东方百货", "021-63581111", "上海市南京东路300号", "1001244309000345678", "310101300000003"},
    {"K004", "新华便利店", "010-65123456", "北京市东城区王府井大街50号", "0200001009000456789",
     "110101400000004"},
    {"K005", "金桥批发市场", "020-83334444", "广州市越秀区人民路200号", "3602000109000567890",
     "440104500000005"},
    {"K006", "好又多商场", "028-86665555", "成都市春熙路18号", "4402201009000678901", "510104600000006"},
    {"K007", "宏达食品店", "027-85556666", "武汉市江汉路66号", "3202001009000789012", "420103700000007"},
    {"K008", "万家福超市", "025-84447777", "南京市中山路120号", "4301015009000890123", "320102800000008"},
    {"K009", "惠民商店", "0532-82228888", "青岛市中山路9号", "3803020009000901234", "370202900000009"},
    {"K010", "顺发贸易公司", "0755-83339999", "深圳市深南大道1000号", "4000021009001012345",
     "440301000000010"},
};

const char* const kSalesmen[][4] = {
    {"Y01", "张伟", "13800000001", "杭州市西湖区文三路1号"},
    {"Y02", "李娜", "13800000002", "杭州市上城区解放路2号"},
    {"Y03", "王强", "13800000003", "杭州市拱墅区湖墅路3号"},
    {"Y04", "刘芳", "13800000004", "杭州市滨江区江南大道4号"},
    {"Y05", "陈明", "13800000005", "杭州市萧山区人民路5号"},
};

// Name, password and role.
const char* const kUsers[][3] = {
    {"管理员", "vantu", "admin"}, {"王会计", "1234", "approver"}, {"李出纳", "5678", "operator"}};

// A small deterministic generator, so that every demo database holds the same orders.
struct Sequence {
    uint32_t state = 20021231;
    uint32_t next(uint32_t bound) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % bound;
    }
};

std::string orderDate(int order) {
    // Thirty orders from October 2002 to March 2003; orders 10 to 13 fall on 2002-12-31.
    static const char* const kDates[] = {
        "2002-10-08", "2002-10-15", "2002-10-23", "2002-11-04", "2002-11-12", "2002-11-20",
        "2002-11-28", "2002-12-05", "2002-12-16", "2002-12-24", "2002-12-31", "2002-12-31",
        "2002-12-31", "2002-12-31", "2003-01-06", "2003-01-09", "2003-01-15", "2003-01-22",
        "2003-01-28", "2003-02-10", "2003-02-14", "2003-02-19", "2003-02-25", "2003-03-03",
        "2003-03-07", "2003-03-12", "2003-03-18", "2003-03-21", "2003-03-26", "2003-03-31"};
    return kDates[order];
}

double round2(double v) {
    return std::round(v * 100.0) / 100.0;
}

}  // namespace

void insertDemoData(DbConnection& db) {
    Transaction tx(db);
    for (const auto& c : kCategories)
        db.execute("insert into chfl (chflid, chflname) values (?, ?)",
                   {DbValue::ofText(c[0]), DbValue::ofText(c[1])});
    for (const Item& i : kItems)
        db.execute("insert into ch (chflid, chid, chname, ggxh, jldw) values (?, ?, ?, ?, ?)",
                   {DbValue::ofText(i.category), DbValue::ofText(i.code), DbValue::ofText(i.name),
                    DbValue::ofText(i.model), DbValue::ofText(i.unit)});
    for (const auto& k : kCustomers) {
        std::vector<DbValue> values;
        for (const char* v : k) values.push_back(DbValue::ofText(v));
        db.execute("insert into kh (khid, khname, tel, address, accountid, tax) values (?, ?, ?, ?, ?, ?)",
                   values);
    }
    for (const auto& y : kSalesmen)
        db.execute(
            "insert into ywy (ywyid, ywyname, tel, address) values (?, ?, ?, ?)",
            {DbValue::ofText(y[0]), DbValue::ofText(y[1]), DbValue::ofText(y[2]), DbValue::ofText(y[3])});
    for (const auto& u : kUsers)
        db.execute("insert into user1 (username, password1, role) values (?, ?, ?)",
                   {DbValue::ofText(u[0]), DbValue::ofText(hashPassword(u[1])), DbValue::ofText(u[2])});

    Sequence seq;
    constexpr int kOrders = 30;
    constexpr size_t kItemCount = sizeof kItems / sizeof kItems[0];
    for (int o = 0; o < kOrders; ++o) {
        char number[16];
        std::snprintf(number, sizeof number, "XS%06d", o + 1);
        const auto& customer = kCustomers[seq.next(10)];
        const auto& salesman = kSalesmen[seq.next(5)];
        const char* user = kUsers[seq.next(3)][0];
        bool audited = o == 3;
        db.execute(
            "insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, username, shrname, ischeck, rq) "
            "values (?, ?, ?, ?, ?, ?, ?, ?, ?)",
            {DbValue::ofText(number), DbValue::ofText(customer[0]), DbValue::ofText(customer[1]),
             DbValue::ofText(salesman[0]), DbValue::ofText(salesman[1]), DbValue::ofText(user),
             audited ? DbValue::ofText("管理员") : DbValue::null(), DbValue::ofInteger(audited ? 1 : 0),
             DbValue::ofText(orderDate(o))});
        uint32_t lines = 1 + seq.next(4);
        uint32_t first = seq.next(static_cast<uint32_t>(kItemCount));
        for (uint32_t l = 0; l < lines; ++l) {
            const Item& item = kItems[(first + l * 7) % kItemCount];
            double quantity = 1 + seq.next(50);
            double amount = round2(quantity * item.price);
            db.execute(
                "insert into xsdzb (xsdid, chid, chname, ggxh, jldw, quantity1, price1, money1) "
                "values (?, ?, ?, ?, ?, ?, ?, ?)",
                {DbValue::ofText(number), DbValue::ofText(item.code), DbValue::ofText(item.name),
                 DbValue::ofText(item.model), DbValue::ofText(item.unit), DbValue::ofFloat(quantity),
                 DbValue::ofFloat(item.price), DbValue::ofFloat(amount)});
        }
    }
    tx.commit();
}

}  // namespace velmora::server
