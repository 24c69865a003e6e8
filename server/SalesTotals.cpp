#include "server/SalesTotals.h"

#include <vector>

#include "server/Schema.h"

namespace velmora::server {

namespace {

// One table of totals: its key beside the period, and whether it counts orders.
struct Totals {
    const char* table;
    const char* code;  // the code column of the key, or nullptr for the day table
    const char* name;
    bool monthly;
    bool orders;
};

constexpr Totals kTotals[] = {
    {"xsdhz_rq", nullptr, nullptr, false, true},
    {"xsdhz_kh", "khid", "khname", true, false},
    {"xsdhz_ch", "chid", "chname", true, false},
    {"xsdhz_ywy", "ywyid", "ywyname", true, true},
};

std::string at(const std::string& rq, int position, int length = 1) {
    return "substr(" + rq + "," + std::to_string(position) + "," + std::to_string(length) + ")";
}

std::string isDigit(const std::string& rq, int position) {
    return at(rq, position) + " between '0' and '9'";
}

std::string dayFrom(const std::string& rq, int position) {
    return "case when " + isDigit(rq, position + 1) + " then " + at(rq, position, 2) + " else '0' || " +
           at(rq, position) + " end";
}

// The key of the month row a business day d falls in: the first of its month for the days 01 to
// 28, the day itself otherwise (see the header).
std::string monthKeySql(const std::string& d) {
    return "case when length(" + d + ") = 10 and " + at(d, 8) + " = '-' and " + at(d, 9, 2) +
           " between '01' and '28' then " + at(d, 1, 8) + " || '01' else " + d + " end";
}

// The key columns of t and the expressions that give them from a source row s.
std::vector<std::string> keyColumns(const Totals& t) {
    if (!t.code) return {"rq"};
    return {"rq", std::string(t.code) + "_null", t.code, t.name};
}

std::vector<std::string> keyValues(const Totals& t) {
    if (!t.code) return {"s.d"};
    const std::string code = std::string("s.") + t.code;
    return {monthKeySql("s.d"), "case when " + code + " is null then 1 else 0 end",
            "coalesce(" + code + ", '')", std::string("coalesce(s.") + t.name + ", '')"};
}

std::string joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
    return out;
}

std::vector<std::string> valueColumns(const Totals& t) {
    std::vector<std::string> out{"sl", "je", "hs"};
    if (t.orders) out.emplace_back("djs");
    return out;
}

// Adds (sign 1) or takes away (sign -1) the rows of source (columns d, khid, khname, ywyid,
// ywyname, chid, chname, sl, je, hs, djs, xsdid) to or from t. A source of one line at most is
// read once as it stands; one of an order's lines is grouped, and orders is the aggregate of the
// orders a group gains or loses.
std::string addTo(const Totals& t, const std::string& source, int sign, const char* orders) {
    const std::string factor = sign < 0 ? "-1 * " : "";
    const std::vector<std::string> keys = keyValues(t);
    auto value = [&](const std::string& v) { return factor + (orders ? "sum(s." + v + ")" : "s." + v); };
    std::string sql = "insert into " + std::string(t.table) + " (" + joined(keyColumns(t)) + ", " +
                      joined(valueColumns(t)) + ") select " + joined(keys) + ", " + value("sl") + ", " +
                      value("je") + ", " + value("hs");
    if (t.orders) sql += ", " + (orders ? factor + orders : value("djs"));
    // The limit keeps the one row's date from being worked out anew for each key column.
    sql += orders ? " from (" + source + ") s where true group by " + joined(keys)
                  : " from (" + source + " limit 1) s where true";
    sql += " on conflict (" + joined(keyColumns(t)) + ") do update set ";
    bool first = true;
    for (const std::string& v : valueColumns(t)) {
        sql += (first ? "" : ", ") + v + " = " + t.table + "." + v + " + excluded." + v;
        first = false;
    }
    return sql + ";\n";
}

// Removes the rows of t that source's rows fall in and that no line holds any more.
std::string dropEmpty(const Totals& t, const std::string& source) {
    return "delete from " + std::string(t.table) + " where hs = 0 and (" + joined(keyColumns(t)) +
           ") in (select " + joined(keyValues(t)) + " from (" + source + ") s);\n";
}

// The columns of a source row, from a header h (its date rq given apart) and a line z.
std::string sourceColumns(const std::string& h, const std::string& rq, const std::string& z,
                          const std::string& orders) {
    return "select " + businessDaySql(rq) + " as d, " + h + ".khid as khid, " + h + ".khname as khname, " +
           h + ".ywyid as ywyid, " + h + ".ywyname as ywyname, " + z + ".chid as chid, " + z +
           ".chname as chname, coalesce(" + z + ".quantity1, 0) as sl, coalesce(" + z +
           ".money1, 0) as je, 1 as hs, " + orders + " as djs, " + h + ".xsdid as xsdid";
}

// One line (the trigger's row line) under its header as the table holds it.
std::string lineSource(const std::string& line, const std::string& orders) {
    return sourceColumns("t", "t.rq", line, orders) + " from xsdtb t where t.xsdid = " + line +
           ".xsdid and t.rq is not null";
}

// The lines of the header the table holds under number's key.
std::string storedHeaderSource(const std::string& number) {
    return sourceColumns("t", "t.rq", "z", "1") +
           " from xsdtb t join xsdzb z on z.xsdid = t.xsdid where t.xsdid = " + number +
           " and t.rq is not null";
}

// The lines of the header row old (a trigger's old row, gone from the table or changed).
std::string formerHeaderSource() {
    return sourceColumns("old", "old.rq", "z", "1") +
           " from xsdzb z where z.xsdid = old.xsdid and old.rq is not null";
}

// Whether the order of the line row gains its first line (the line is new to it).
std::string firstLineOf(const std::string& line) {
    return "case when exists (select 1 from xsdzb o where o.xsdid = " + line + ".xsdid and o.lineid <> " +
           line + ".lineid) then 0 else 1 end";
}

// Whether the order of the old line row has no other line.
constexpr const char* kLastLineGone =
    "case when exists (select 1 from xsdzb o where o.xsdid = old.xsdid and o.lineid <> old.lineid) then 0 "
    "else 1 end";

// On PostgreSQL, when names the transition tables instead (REFERENCING ...).
struct Trigger {
    std::string name, table, event, when, body;
};

// The lines of one order in source; each row says whether the order counts.
std::string everyTable(const std::string& source, int sign) {
    std::string out;
    for (const Totals& t : kTotals) out += addTo(t, source, sign, "max(s.djs)");
    return out;
}

// The same for one line, whose source names the order's count where the table has one: the
// tables without never ask whether the order has other lines.
std::string everyTableOfLine(const std::string& line, const std::string& orders, int sign) {
    std::string out;
    for (const Totals& t : kTotals) out += addTo(t, lineSource(line, t.orders ? orders : "0"), sign, nullptr);
    return out;
}

std::string dropEveryEmpty(const std::string& source) {
    std::string out;
    for (const Totals& t : kTotals) out += dropEmpty(t, source);
    return out;
}

// SQLite runs a trigger for each row as it is written, so a line sees the lines of its order
// that the same statement wrote before it.
std::vector<Trigger> sqliteTriggers() {
    auto changed = [](std::initializer_list<const char*> columns) {
        std::string out;
        for (const char* c : columns)
            out += (out.empty() ? "" : " OR ") + std::string("old.") + c + " IS NOT new." + c;
        return out;
    };
    const std::string removedLine = lineSource("old", "0");
    const std::string movedLastLine =
        std::string("case when new.xsdid = old.xsdid then 0 else ") + kLastLineGone + " end";
    const std::string former = formerHeaderSource();
    const std::string stored = storedHeaderSource("new.xsdid");
    return {
        {"xsdzb_hz_insert", "xsdzb", "INSERT", "", everyTableOfLine("new", firstLineOf("new"), 1)},
        {"xsdzb_hz_delete", "xsdzb", "DELETE", "",
         everyTableOfLine("old", kLastLineGone, -1) + dropEveryEmpty(removedLine)},
        // A line that stays in its order neither adds nor takes away the order.
        {"xsdzb_hz_update", "xsdzb", "UPDATE",
         changed({"xsdid", "lineid", "chid", "chname", "quantity1", "money1"}),
         everyTableOfLine("new", "case when new.xsdid = old.xsdid then 0 else " + firstLineOf("new") + " end",
                          1) +
             everyTableOfLine("old", movedLastLine, -1) + dropEveryEmpty(removedLine)},
        // Lines entered before their header join the totals with it.
        {"xsdtb_hz_insert", "xsdtb", "INSERT", "", everyTable(stored, 1)},
        {"xsdtb_hz_delete", "xsdtb", "DELETE", "", everyTable(former, -1) + dropEveryEmpty(former)},
        // A new date, customer or salesman moves the order's lines; an approval moves nothing.
        {"xsdtb_hz_update", "xsdtb", "UPDATE", changed({"xsdid", "rq", "khid", "khname", "ywyid", "ywyname"}),
         everyTable(stored, 1) + everyTable(former, -1) + dropEveryEmpty(former)},
    };
}

// PostgreSQL runs the AFTER row triggers of a statement once it has written all its rows, and
// each update of a row there is a new version that the transaction's later updates walk past: a
// row of totals updated for each of 50,000 lines would cost their square. So there a trigger runs
// once per statement and only notes what the statement's rows (its transition tables) change,
// in xsdhz_pending; at the commit, one pass adds up the notes of the transaction and changes each
// row of totals once. added and removed select (xsdid, chid, chname, quantity1, money1).
std::string statementLineSource(const std::string& added, const std::string& removed) {
    // An order counts where it had no line before the statement and has one after, and the other
    // way round; before = now - added + removed.
    const std::string orders =
        "select u.xsdid, sum(u.na) as na, sum(u.nr) as nr, (select count(*) from xsdzb z where z.xsdid = "
        "u.xsdid) "
        "as n from (select xsdid, 1 as na, 0 as nr from (" +
        added + ") a union all select xsdid, 0, 1 from (" + removed + ") r) u group by u.xsdid";
    return "select " + businessDaySql("t.rq") +
           " as d, t.khid as khid, t.khname as khname, t.ywyid as ywyid, t.ywyname as ywyname, c.chid as "
           "chid, "
           "c.chname as chname, c.sl as sl, c.je as je, c.hs as hs, c.djs as djs, c.line as line, t.xsdid as "
           "xsdid "
           "from (select xsdid, chid, chname, coalesce(quantity1, 0) as sl, coalesce(money1, 0) as je, 1 as "
           "hs, 0 "
           "as djs, 1 as line from (" +
           added +
           ") a union all select xsdid, chid, chname, -coalesce(quantity1, 0), -coalesce(money1, 0), -1, 0, "
           "1 "
           "from (" +
           removed +
           ") r union all select o.xsdid, null, null, 0, 0, 0, case when o.n > 0 then 1 else 0 end - case "
           "when "
           "o.n - o.na + o.nr > 0 then 1 else 0 end, 0 from (" +
           orders + ") o) c join xsdtb t on t.xsdid = c.xsdid where t.rq is not null";
}

// The lines of the headers h selects (xsdid, rq, khid, khname, ywyid, ywyname), added (sign 1) or
// taken away (-1), and the order each of them counts.
std::string statementHeaderLines(const std::string& h, int sign) {
    const std::string f = sign < 0 ? "-" : "";
    const std::string header = businessDaySql("h.rq") +
                               " as d, h.khid as khid, h.khname as khname, h.ywyid as ywyid, "
                               "h.ywyname as ywyname, ";
    return "select " + header + "z.chid as chid, z.chname as chname, " + f +
           "coalesce(z.quantity1, 0) as sl, " + f + "coalesce(z.money1, 0) as je, " + f +
           "1 as hs, 0 as djs, 1 as line, h.xsdid as xsdid from (" + h +
           ") h join xsdzb z on z.xsdid = h.xsdid where h.rq is not null union all select " + header +
           "null, null, 0, 0, 0, " + f + "1, 0, h.xsdid from (" + h +
           ") h where h.rq is not null and exists (select 1 from xsdzb z where z.xsdid = h.xsdid)";
}

std::string statementAddTo(const Totals& t, const std::string& source) {
    const std::vector<std::string> keys = keyValues(t);
    std::string sql = "insert into " + std::string(t.table) + " (" + joined(keyColumns(t)) + ", " +
                      joined(valueColumns(t)) + ") select " + joined(keys) +
                      ", sum(s.sl), sum(s.je), sum(s.hs)" + (t.orders ? ", sum(s.djs)" : "") + " from (" +
                      source + ") s where " + (t.orders ? "true" : "s.line = 1") + " group by " +
                      joined(keys) + " on conflict (" + joined(keyColumns(t)) + ") do update set ";
    bool first = true;
    for (const std::string& v : valueColumns(t)) {
        sql += (first ? "" : ", ") + v + " = " + t.table + "." + v + " + excluded." + v;
        first = false;
    }
    return sql + ";\n";
}

// Notes what the rows of source change. The first note of a transaction takes the row of
// xsdhz_flag, whose deferred trigger adds the notes up at the commit; writers of orders therefore
// take turns from their first note on, and never wait for each other's rows of totals in opposite
// orders (an apply locks the headers it changes before it writes).
std::string statementNotes(const std::string& source) {
    return "INSERT INTO xsdhz_flag VALUES (1) ON CONFLICT DO NOTHING;\n"
           "insert into xsdhz_pending (d, khid, khname, ywyid, ywyname, chid, chname, sl, je, hs, djs, line) "
           "select d, khid, khname, ywyid, ywyname, chid, chname, sl, je, hs, djs, line from (" +
           source + ") s;\n";
}

// The transaction's notes added to the totals, once each row.
std::string foldNotes() {
    const std::string pending = "select * from xsdhz_pending";
    std::string out;
    for (const Totals& t : kTotals) out += statementAddTo(t, pending);
    for (const Totals& t : kTotals) out += dropEmpty(t, pending);
    return out + "delete from xsdhz_pending;\ndelete from xsdhz_flag;\n";
}

std::vector<Trigger> postgresTriggers() {
    const std::string line = "select xsdid, chid, chname, quantity1, money1 from ";
    const std::string changedLine = "select xsdid, lineid, chid, chname, quantity1, money1 from ";
    const std::string header = "select xsdid, rq, khid, khname, ywyid, ywyname from ";
    return {
        {"xsdzb_hz_insert", "xsdzb", "INSERT", "NEW TABLE AS nz",
         statementNotes(statementLineSource(line + "nz", line + "nz where false"))},
        {"xsdzb_hz_delete", "xsdzb", "DELETE", "OLD TABLE AS oz",
         statementNotes(statementLineSource(line + "oz where false", line + "oz"))},
        // Lines whose price alone changed fall out here.
        {"xsdzb_hz_update", "xsdzb", "UPDATE", "OLD TABLE AS oz NEW TABLE AS nz",
         statementNotes(statementLineSource(changedLine + "nz except " + changedLine + "oz",
                                            changedLine + "oz except " + changedLine + "nz"))},
        {"xsdtb_hz_insert", "xsdtb", "INSERT", "NEW TABLE AS nt",
         statementNotes(statementHeaderLines(header + "nt", 1))},
        {"xsdtb_hz_delete", "xsdtb", "DELETE", "OLD TABLE AS ot",
         statementNotes(statementHeaderLines(header + "ot", -1))},
        // An approval changes none of these columns, and moves nothing.
        {"xsdtb_hz_update", "xsdtb", "UPDATE", "OLD TABLE AS ot NEW TABLE AS nt",
         statementNotes(statementHeaderLines(header + "nt except " + header + "ot", 1) + " union all " +
                        statementHeaderLines(header + "ot except " + header + "nt", -1))},
    };
}

std::string tablesSql(Dialect dialect) {
    const bool pg = dialect == Dialect::Postgres;
    const std::string text = pg ? " COLLATE \"C\" NOT NULL" : " NOT NULL";
    const std::string number = pg ? "double precision NOT NULL" : "DOUBLE NOT NULL";
    std::string out;
    for (const Totals& t : kTotals) {
        out += "CREATE TABLE " + std::string(t.table) + " (rq VARCHAR(10)" + text + ", ";
        if (t.code)
            out += std::string(t.code) + "_null INTEGER NOT NULL, " + t.code + " VARCHAR(50)" + text + ", " +
                   t.name + " VARCHAR(50)" + text + ", ";
        out += "sl " + number + ", je " + number + ", hs INTEGER NOT NULL, ";
        if (t.orders) out += "djs INTEGER NOT NULL, ";
        out += "PRIMARY KEY (" + joined(keyColumns(t)) + "))" + (pg ? ";\n" : " WITHOUT ROWID;\n");
    }
    if (pg)
        out +=
            "CREATE TABLE xsdhz_pending (d VARCHAR(10) COLLATE \"C\", khid VARCHAR(50) COLLATE \"C\", khname "
            "VARCHAR(50) COLLATE \"C\", ywyid VARCHAR(50) COLLATE \"C\", ywyname VARCHAR(50) COLLATE \"C\", "
            "chid "
            "VARCHAR(50) COLLATE \"C\", chname VARCHAR(50) COLLATE \"C\", sl double precision, je double "
            "precision, hs INTEGER, djs INTEGER, line INTEGER);\n"
            "CREATE TABLE xsdhz_flag (id INTEGER PRIMARY KEY);\n";
    return out;
}

std::string triggersSql(Dialect dialect) {
    std::string out;
    if (dialect == Dialect::Sqlite) {
        for (const Trigger& t : sqliteTriggers())
            out += "CREATE TRIGGER " + t.name + " AFTER " + t.event + " ON " + t.table +
                   (t.when.empty() ? "" : " WHEN " + t.when) + " BEGIN\n" + t.body + "END;\n";
        return out;
    }
    // A statement writes a few rows: they are joined to the orders by their keys, never by
    // reading a whole table, whatever the planner guesses of a transition table's size.
    for (const Trigger& t : postgresTriggers())
        out += "CREATE OR REPLACE FUNCTION " + t.name +
               "() RETURNS trigger LANGUAGE plpgsql SET enable_hashjoin = off SET enable_mergejoin = off AS "
               "$body$\nBEGIN\n" +
               t.body + "RETURN NULL;\nEND\n$body$;\nCREATE TRIGGER " + t.name + " AFTER " + t.event +
               " ON " + t.table + " REFERENCING " + t.when + " FOR EACH STATEMENT EXECUTE FUNCTION " +
               t.name + "();\n";
    out += "CREATE OR REPLACE FUNCTION xsdhz_fold() RETURNS trigger LANGUAGE plpgsql AS $body$\nBEGIN\n" +
           foldNotes() +
           "RETURN NULL;\nEND\n$body$;\nCREATE CONSTRAINT TRIGGER xsdhz_fold AFTER INSERT ON xsdhz_flag "
           "DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION xsdhz_fold();\n";
    return out;
}

}  // namespace

std::string businessDaySql(const std::string& rq) {
    // Text that already is yyyy-MM-dd is taken as it is, the rest read position by position:
    // the year, then a separator or the month's first digit, then month and day of one or two.
    return "case when length(" + rq + ") = 10 and " + at(rq, 5) + " = '-' and " + at(rq, 8) + " = '-' then " +
           rq + " when " + isDigit(rq, 5) + " then " + at(rq, 1, 4) + " || '-' || " + at(rq, 5, 2) +
           " || '-' || " + at(rq, 7, 2) + " when " + isDigit(rq, 7) + " then " + at(rq, 1, 4) +
           " || '-' || " + at(rq, 6, 2) + " || '-' || (" + dayFrom(rq, 9) + ") else " + at(rq, 1, 4) +
           " || '-0' || " + at(rq, 6) + " || '-' || (" + dayFrom(rq, 8) + ") end";
}

void createSalesTotals(DbConnection& db) {
    db.executeScript(tablesSql(db.dialect()) + triggersSql(db.dialect()));
}

bool hasSalesTotals(DbConnection& db) {
    return hasTable(db, "xsdhz_rq");
}

void addSalesTotals(DbConnection& db) {
    Transaction tx(db);
    createSalesTotals(db);
    const std::string every = sourceColumns("t", "t.rq", "z", "1") +
                              " from xsdtb t join xsdzb z on z.xsdid = t.xsdid where t.rq is not null";
    for (const Totals& t : kTotals) {
        const std::vector<std::string> keys = keyValues(t);
        db.executeScript("insert into " + std::string(t.table) + " (" + joined(keyColumns(t)) + ", " +
                         joined(valueColumns(t)) + ") select " + joined(keys) +
                         ", sum(s.sl), sum(s.je), sum(s.hs)" + (t.orders ? ", count(distinct s.xsdid)" : "") +
                         " from (" + every + ") s group by " + joined(keys));
    }
    tx.commit();
}

}  // namespace velmora::server
