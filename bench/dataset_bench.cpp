// Decoding and walking a large data packet in a ClientDataSet against the database's own C API
// stepping the same rows, and the memory the dataset holds against the raw bytes of the values.
// 200,000 rows shaped like the view xsdview: twelve text columns (some Chinese) and three numbers.
// Last line: RESULT decode_walk_ratio=<x> memory_ratio=<y> bytes_per_row=<z>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/Resident.h"
#include "data/ClientDataSet.h"
#include "data/DataPacket.h"
#include "tests/support/NullProvider.h"

using namespace velmora;
using velmora::bench::residentBytes;

namespace {

constexpr int kRows = 200000;
constexpr int kRuns = 5;

const char* const kColumns[] = {"xsdid",   "rq",       "khid",      "khname", "ywyid",
                                "ywyname", "username", "shrname",   "chid",   "chname",
                                "ggxh",    "jldw",     "quantity1", "price1", "money1"};
constexpr int kTextColumns = 12;

const char* const kCustomers[] = {"北京华联商贸有限公司", "上海东方电子科技公司", "广州南方贸易",
                                  "深圳创新实业有限公司", "杭州西湖百货",         "成都天府商行"};
const char* const kSalesmen[] = {"张三", "李四", "王五", "赵六"};
const char* const kItems[] = {"联想笔记本电脑", "激光打印机", "液晶显示器二十七寸", "无线鼠标", "机械键盘"};
const char* const kModels[] = {"ThinkPad X1-2024", "LJ-2200", "U2723QE", "M720", "K8 Pro"};
const char* const kUnits[] = {"台", "个", "套"};

struct RowValues {
    std::string text[kTextColumns];
    double number[3];
};

// Deterministic values for row i.
RowValues rowValues(int i) {
    uint64_t x = static_cast<uint64_t>(i) * 6364136223846793005ULL + 1442695040888963407ULL;
    auto pick = [&](int n) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((x >> 33) % static_cast<uint64_t>(n));
    };
    RowValues r;
    char buf[32];
    std::snprintf(buf, sizeof buf, "XS2024%06d", i / 3);
    r.text[0] = buf;
    std::snprintf(buf, sizeof buf, "2024-%02d-%02d", 1 + pick(12), 1 + pick(28));
    r.text[1] = buf;
    int customer = pick(300);
    std::snprintf(buf, sizeof buf, "K%04d", customer);
    r.text[2] = buf;
    r.text[3] = kCustomers[customer % 6];
    int salesman = pick(4);
    std::snprintf(buf, sizeof buf, "Y%03d", salesman);
    r.text[4] = buf;
    r.text[5] = kSalesmen[salesman];
    r.text[6] = "管理员";
    r.text[7] = pick(2) ? kSalesmen[pick(4)] : "";
    int item = pick(1000);
    std::snprintf(buf, sizeof buf, "CH%05d", item);
    r.text[8] = buf;
    r.text[9] = kItems[item % 5];
    r.text[10] = kModels[item % 5];
    r.text[11] = kUnits[item % 3];
    r.number[0] = 1 + pick(100);
    r.number[1] = (100 + pick(900000)) / 100.0;
    r.number[2] = r.number[0] * r.number[1];
    return r;
}

FieldDefs viewFields() {
    FieldDefs f;
    for (int c = 0; c < 15; ++c)
        f.push_back(FieldDef{kColumns[c],
                             c < kTextColumns ? FieldType::String : FieldType::Double,
                             c < kTextColumns ? 50u : 0u,
                             0,
                             {}});
    return f;
}

Bytes buildPacket(size_t& rawBytes) {
    DataPacketWriter w(viewFields());
    rawBytes = 0;
    for (int i = 0; i < kRows; ++i) {
        RowValues r = rowValues(i);
        w.beginRow();
        for (const std::string& s : r.text) {
            w.addText(s);
            rawBytes += s.size();
        }
        for (double d : r.number) {
            w.addDouble(d);
            rawBytes += formatDouble15(d).size();
        }
        w.endRow();
    }
    return w.finish();
}

// Hands out the packet it holds once, as the transport would after reading it off the wire.
class PacketProvider : public test::NullProvider {
  public:
    Bytes packet;
    Variant RemoteGetRecords(const std::string&, int32_t count, int32_t&, int32_t, const std::string&,
                             Variant&, Variant&) override {
        return count == 0 ? Variant() : Variant::byteArray(std::move(packet));
    }
};

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Opens ds on provider's packet and reads every field of every row as text; returns the bytes read.
size_t openAndWalk(ClientDataSet& ds) {
    ds.Open();
    std::vector<Field*> fields;
    for (int f = 0; f < ds.FieldCount(); ++f) fields.push_back(&ds.Fields(f));
    size_t bytes = 0;
    for (ds.First(); !ds.Eof(); ds.Next())
        for (Field* f : fields) bytes += f->AsString().size();
    return bytes;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

sqlite3* buildDatabase() {
    sqlite3* db = nullptr;
    check(sqlite3_open(":memory:", &db), db, "open");
    std::string ddl = "create table xsdview (";
    for (int c = 0; c < 15; ++c)
        ddl += std::string(c ? ", " : "") + kColumns[c] + (c < kTextColumns ? " text" : " real");
    ddl += ")";
    check(sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, nullptr), db, "create");
    check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    check(sqlite3_prepare_v2(db, "insert into xsdview values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &insert,
                             nullptr),
          db, "prepare");
    for (int i = 0; i < kRows; ++i) {
        RowValues r = rowValues(i);
        for (int c = 0; c < kTextColumns; ++c)
            sqlite3_bind_text(insert, c + 1, r.text[c].data(), static_cast<int>(r.text[c].size()),
                              SQLITE_TRANSIENT);
        for (int c = 0; c < 3; ++c) sqlite3_bind_double(insert, kTextColumns + c + 1, r.number[c]);
        check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db, "commit");
    return db;
}

size_t stepAll(sqlite3* db) {
    sqlite3_stmt* select = nullptr;
    check(sqlite3_prepare_v2(db, "select * from xsdview", -1, &select, nullptr), db, "prepare");
    size_t bytes = 0;
    while (sqlite3_step(select) == SQLITE_ROW)
        for (int c = 0; c < 15; ++c) {
            const unsigned char* text = sqlite3_column_text(select, c);
            bytes += text ? static_cast<size_t>(sqlite3_column_bytes(select, c)) : 0;
        }
    sqlite3_finalize(select);
    return bytes;
}

}  // namespace

int main() {
    auto provider = std::make_shared<PacketProvider>();
    auto makeDataSet = [&] {
        auto ds = std::make_unique<ClientDataSet>("ClientDataSetxsdview");
        ds->setRemoteServer([provider] { return provider; });
        ds->setProviderName("DataSetProviderxsdview");
        return ds;
    };

    // (b) Memory: what the dataset holds once it is open and walked, the packet it took over
    // included, measured before anything else has grown the heap.
    size_t rawBytes = 0;
    size_t before = residentBytes();
    auto started = std::chrono::steady_clock::now();
    provider->packet = buildPacket(rawBytes);
    double buildTime = seconds(started);
    size_t packetBytes = provider->packet.size();
    auto first = makeDataSet();
    size_t walked = openAndWalk(*first);
    // The packet the rows came in is gone once they are held; its buffer may still be kept warm
    // for the next block, which is the transport's, not the dataset's.
    releaseFreeMemory();
    size_t added = residentBytes() - before;

    // (a) Decode and walk, best of kRuns, each on a freshly built packet.
    double ours = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        first.reset();
        provider->packet = buildPacket(rawBytes);
        auto ds = makeDataSet();
        started = std::chrono::steady_clock::now();
        walked = openAndWalk(*ds);
        ours = std::min(ours, seconds(started));
        first = std::move(ds);
    }

    // Filter and sort on the open dataset.
    ClientDataSet& ds = *first;
    started = std::chrono::steady_clock::now();
    ds.setFilter("khid='K0042' or quantity1 > 95");
    ds.setFiltered(true);
    double filterTime = seconds(started);
    int filtered = ds.RecordCount();
    ds.setFiltered(false);
    started = std::chrono::steady_clock::now();
    ds.setIndexFieldNames("chid");
    double sortOneTime = seconds(started);
    ds.setIndexFieldNames("");
    started = std::chrono::steady_clock::now();
    ds.setIndexFieldNames("khname;chid");
    double sortTwoTime = seconds(started);
    first.reset();

    sqlite3* db = buildDatabase();
    double baseline = 1e9;
    size_t stepped = 0;
    for (int run = 0; run < kRuns; ++run) {
        started = std::chrono::steady_clock::now();
        stepped = stepAll(db);
        baseline = std::min(baseline, seconds(started));
    }
    sqlite3_close(db);

    double walkRatio = ours / baseline;
    double memoryRatio = static_cast<double>(added) / static_cast<double>(rawBytes);
    std::printf("rows %d, raw value bytes %.1f MB, packet %.1f MB (built in %.3f s)\n", kRows, rawBytes / 1e6,
                packetBytes / 1e6, buildTime);
    std::printf(
        "decode and walk as text: %.3f s (read %zu bytes); database stepping: %.3f s (read %zu bytes)\n",
        ours, walked, baseline, stepped);
    std::printf("resident memory added by the open dataset: %.1f MB\n", added / 1e6);
    std::printf("filter \"khid='K0042' or quantity1 > 95\" over %d rows: %.4f s (%d pass)\n", kRows,
                filterTime, filtered);
    std::printf("IndexFieldNames sort: \"chid\" %.4f s, \"khname;chid\" %.4f s\n", sortOneTime, sortTwoTime);
    const double bytesPerRow = static_cast<double>(added) / kRows;
    const double rawPerRow = static_cast<double>(rawBytes) / kRows;
    std::printf("per row: %.1f bytes held against %.1f bytes of raw values\n", bytesPerRow, rawPerRow);
    std::printf("RESULT decode_walk_ratio=%.3f memory_ratio=%.3f bytes_per_row=%.1f\n", walkRatio,
                memoryRatio, bytesPerRow);
    return 0;
}
