#include "Schema.h"

#include "FieldDef.h"

namespace velmora::server {

namespace {

// Column order is what "select *" shows the client; xsdzb's own line id comes last so that the
// order lines read as the client knows them.
constexpr const char* kSchema = R"SQL(
CREATE TABLE chfl (
    chflid   VARCHAR(50) NOT NULL PRIMARY KEY,
    chflname VARCHAR(50)
);
CREATE TABLE ch (
    chflid VARCHAR(50),
    chid   VARCHAR(50) NOT NULL PRIMARY KEY,
    chname VARCHAR(50),
    ggxh   VARCHAR(50),
    jldw   VARCHAR(50)
);
CREATE TABLE kh (
    khid      VARCHAR(50) NOT NULL PRIMARY KEY,
    khname    VARCHAR(50),
    tel       VARCHAR(50),
    address   VARCHAR(50),
    accountid VARCHAR(50),
    tax       VARCHAR(50)
);
CREATE TABLE ywy (
    ywyid   VARCHAR(50) NOT NULL PRIMARY KEY,
    ywyname VARCHAR(50),
    tel     VARCHAR(50),
    address VARCHAR(50)
);
CREATE TABLE xsdtb (
    xsdid    VARCHAR(50) NOT NULL PRIMARY KEY,
    khid     VARCHAR(50),
    khname   VARCHAR(50),
    ywyid    VARCHAR(50),
    ywyname  VARCHAR(50),
    username VARCHAR(50),
    shrname  VARCHAR(50),
    ischeck  BOOLEAN DEFAULT 0,
    rq       VARCHAR(50)
);
CREATE TABLE xsdzb (
    xsdid     VARCHAR(50) NOT NULL,
    chid      VARCHAR(50),
    chname    VARCHAR(50),
    ggxh      VARCHAR(50),
    jldw      VARCHAR(50),
    quantity1 DOUBLE,
    price1    DOUBLE,
    money1    DOUBLE,
    lineid    INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE INDEX xsdzb_xsdid ON xsdzb (xsdid);
CREATE INDEX xsdzb_chid ON xsdzb (chid);
CREATE TABLE user1 (
    username  VARCHAR(50) NOT NULL PRIMARY KEY,
    password1 VARCHAR(128)
);
CREATE VIEW xsdview AS
    SELECT t.xsdid, t.rq, t.khid, t.khname, t.ywyid, t.ywyname, t.username, t.shrname,
           z.chid, z.chname, z.ggxh, z.jldw, z.quantity1, z.price1, z.money1
    FROM xsdtb t JOIN xsdzb z ON z.xsdid = t.xsdid;
CREATE TABLE server_logins (
    id           INTEGER PRIMARY KEY AUTOINCREMENT,
    event        VARCHAR(10) NOT NULL,
    computername VARCHAR(100),
    address      VARCHAR(100),
    username     VARCHAR(100),
    logintime    VARCHAR(100),
    recorded     VARCHAR(30) NOT NULL,
    peer         VARCHAR(60),
    sessionuser  VARCHAR(100)
);
)SQL";

}  // namespace

bool isClientReadable(std::string_view table) {
    static constexpr std::string_view kReadable[] = {"ch", "chfl", "kh", "ywy", "xsdtb", "xsdzb", "xsdview"};
    for (std::string_view t : kReadable)
        if (sameName(t, table)) return true;
    return false;
}

void createSchema(DbConnection& db) { db.executeScript(kSchema); }

void upgradeSchema(DbConnection& db) {
    // Databases made before logins were tied to sessions lack the columns that say who really
    // connected.
    bool hasPeer = false;
    {
        auto q = db.query("select * from server_logins limit 0", {});
        for (size_t c = 0; c < q->columnCount(); ++c)
            if (sameName(q->columnName(c), "peer")) hasPeer = true;
    }
    if (!hasPeer)
        db.executeScript("ALTER TABLE server_logins ADD COLUMN peer VARCHAR(60);"
                         "ALTER TABLE server_logins ADD COLUMN sessionuser VARCHAR(100);");
}

}  // namespace velmora::server
