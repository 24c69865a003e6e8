// The backup file on its own: every value comes back exactly, and a file cut short or with any
// byte changed is refused before anything acts on it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "server/BackupFormat.h"
#include "server/DatabaseCopy.h"
#include "server/Schema.h"

namespace velmora::server {
namespace {

std::string readAll(const std::string& path) {
    std::string out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    char buffer[4096];
    for (size_t n; f && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
    if (f) std::fclose(f);
    return out;
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

struct Collect : TableSink {
    std::vector<BackupTableHeader> tables;
    std::vector<std::vector<DbValue>> rows;
    void beginTable(const BackupTableHeader& t) override { tables.push_back(t); }
    void row(const std::vector<DbValue>& v) override { rows.push_back(v); }
    void endTable() override {}
};

class BackupFormat : public ::testing::Test {
  protected:
    std::string path = ::testing::TempDir() + "format-" + std::to_string(::getpid()) + ".vbak";
    ~BackupFormat() override { ::unlink(path.c_str()); }

    std::vector<std::vector<DbValue>> rows = {
        {DbValue::ofText("XS0001"), DbValue::ofFloat(0.1),
         DbValue::ofInteger(std::numeric_limits<int64_t>::min())},
        {DbValue::ofText("客户 😀 \"quoted\" 'x'"), DbValue::ofFloat(-0.0), DbValue::ofInteger(-1)},
        {DbValue::ofText(""), DbValue::ofFloat(std::numeric_limits<double>::denorm_min()), DbValue::null()},
        {DbValue::null(), DbValue::ofFloat(1e308), DbValue::ofInteger(std::numeric_limits<int64_t>::max())},
    };

    void writeSample() {
        BackupHeader header{1, "9.9", "2030-01-02T03:04:05.678Z", "sqlite"};
        BackupWriter w(path, header);
        w.beginTable(
            {"xsdzb",
             41,
             {{"xsdid", ColumnKind::Text}, {"money1", ColumnKind::Real}, {"lineid", ColumnKind::Integer}}});
        for (const auto& r : rows) w.row(r);
        w.endTable();
        w.beginTable({"kh", -1, {{"khid", ColumnKind::Text}}});
        w.endTable();
        w.finish();
    }
};

TEST_F(BackupFormat, EveryValueComesBackExactly) {
    writeSample();
    Collect got;
    BackupSummary s = readBackup(path, &got);
    EXPECT_EQ(s.header.schemaVersion, 1);
    EXPECT_EQ(s.header.productVersion, "9.9");
    EXPECT_EQ(s.header.created, "2030-01-02T03:04:05.678Z");
    EXPECT_EQ(s.header.source, "sqlite");
    ASSERT_EQ(s.tables.size(), 2u);
    EXPECT_EQ(s.tables[0], (std::pair<std::string, uint64_t>{"xsdzb", 4}));
    EXPECT_EQ(s.tables[1], (std::pair<std::string, uint64_t>{"kh", 0}));
    ASSERT_EQ(got.tables.size(), 2u);
    EXPECT_EQ(got.tables[0].sequence, 41);
    EXPECT_EQ(got.tables[1].sequence, -1);
    EXPECT_EQ(got.tables[0].columns[1].kind, ColumnKind::Real);
    ASSERT_EQ(got.rows.size(), rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < 3; ++c) {
            const DbValue &want = rows[r][c], &have = got.rows[r][c];
            ASSERT_EQ(have.type, want.type) << r << "," << c;
            EXPECT_EQ(have.integer, want.integer);
            EXPECT_EQ(have.textValue(), want.textValue());
            EXPECT_EQ(std::signbit(have.real), std::signbit(want.real));
            EXPECT_EQ(have.real, want.real);
        }
    }
}

TEST_F(BackupFormat, EveryTruncationIsRefused) {
    writeSample();
    const std::string whole = readAll(path);
    for (size_t size = 0; size < whole.size(); ++size) {
        writeAll(path, whole.substr(0, size));
        EXPECT_THROW(verifyBackup(path), BackupDamaged) << "cut at " << size;
    }
    writeAll(path, whole + "x");
    EXPECT_THROW(verifyBackup(path), BackupDamaged);
}

TEST_F(BackupFormat, EveryChangedByteIsRefused) {
    writeSample();
    const std::string whole = readAll(path);
    for (size_t at = 0; at < whole.size(); ++at) {
        std::string bad = whole;
        bad[at] = static_cast<char>(bad[at] ^ 0x01);
        writeAll(path, bad);
        EXPECT_THROW(verifyBackup(path), BackupDamaged) << "byte " << at;
    }
}

TEST_F(BackupFormat, AHugeDeclaredLengthIsRefusedBeforeItIsRead) {
    writeSample();
    std::string bad = readAll(path);
    // The first header name's length, just after the magic, the format and the entry count.
    bad[16] = bad[17] = bad[18] = bad[19] = '\xff';
    writeAll(path, bad);
    try {
        verifyBackup(path);
        FAIL() << "accepted";
    } catch (const BackupDamaged& e) {
        EXPECT_NE(std::string(e.what()).find("a header name of 4294967295 bytes"), std::string::npos)
            << e.what();
    }
    writeAll(path, "not a backup at all");
    EXPECT_THROW(verifyBackup(path), BackupDamaged);
}

TEST_F(BackupFormat, ABackupOfANewerSchemaIsNotRestored) {
    {
        BackupWriter w(path, {kSchemaVersion + 1, "99.0", "2030-01-01T00:00:00.000Z", "sqlite"});
        w.finish();
    }
    const std::string target = path + ".db";
    try {
        restoreBackup(path, target, true);
        FAIL() << "restored";
    } catch (const VelmoraError& e) {
        EXPECT_NE(std::string(e.what()).find("newer than this program knows"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("velmora-server 99.0 or later"), std::string::npos) << e.what();
    }
    EXPECT_NE(::access(target.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace velmora::server
