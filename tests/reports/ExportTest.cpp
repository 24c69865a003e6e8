// The export writers read back: the CSV file byte for byte (mark, quoting, numbers, Chinese text,
// totals row) and the workbook through its zip members.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/ClientDataSet.h"
#include "reports/CsvWriter.h"
#include "reports/ReportTable.h"
#include "reports/TableExport.h"
#include "tests/data/RecordingProvider.h"
#include "tests/data/TestPackets.h"

using namespace velmora;
using namespace velmora::test;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// What `unzip -p` prints of a member of the workbook; "" when unzip is missing.
std::string zipMember(const std::string& path, const std::string& member) {
    std::string command = "unzip -p '" + path + "' '" + member + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string out;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

class ExportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FieldDefs fields = {textField("khname"), textField("chid"), numberField("quantity1"),
                            numberField("money1")};
        provider->answer(
            "p", flatPacket(fields, {
                                        {Variant(std::string("北方公司")), Variant(std::string("01-001")),
                                         Variant(3.0), Variant(1234567.5)},
                                        {Variant(std::string("say \"hi\", ok")), Variant::null(),
                                         Variant(0.25), Variant(-2.0)},
                                        {Variant(std::string("=cmd()")), Variant(std::string(" 7 ")),
                                         Variant::null(), Variant(0.1)},
                                    }));
        rows.setRemoteServer([p = provider] { return p; });
        rows.setProviderName("p");
        rows.Open();
        dir = std::filesystem::temp_directory_path() /
              ("velmora-export-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    ReportTable table() {
        ReportTable t("客户销量汇总表",
                      {{"khname", "客户名称", ReportColumn::Kind::Text},
                       {"chid", "存货编号", ReportColumn::Kind::Text},
                       {"quantity1", "数量", ReportColumn::Kind::Number},
                       {"money1", "金额", ReportColumn::Kind::Amount}},
                      &rows);
        t.setTotal("quantity1", "3.25");
        t.setTotal("money1", "1234565.6");
        return t;
    }

    std::shared_ptr<RecordingProvider> provider = std::make_shared<RecordingProvider>();
    ClientDataSet rows{"rows"};
    std::filesystem::path dir;
};

}  // namespace

TEST(CsvField, QuotesOnlyWhatTheFormatNeedsAndDefusesFormulas) {
    EXPECT_EQ(csvField("plain 文字"), "plain 文字");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"x\""), "\"say \"\"x\"\"\"");
    EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
    EXPECT_EQ(csvField(" padded"), "\" padded\"");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("=1+2"), "'=1+2");
    EXPECT_EQ(csvField("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(csvField("-x,y"), "\"'-x,y\"");
}

TEST(CsvWriter, StartsWithTheByteOrderMarkAndEndsRowsWithCrLf) {
    std::ostringstream out;
    CsvWriter csv(out);
    csv.writeRow(std::vector<CsvCell>{{"甲", std::nullopt}, {"", 1e6}, {"", 0.1}, {"", -12.5}});
    EXPECT_EQ(out.str(), "\xEF\xBB\xBF甲,1000000,0.1,-12.5\r\n");
}

TEST_F(ExportTest, CsvHoldsTitlesRowsAndTotalsAsTheySpreadsheetReadsThem) {
    std::string path = (dir / "out.csv").string();
    ASSERT_TRUE(exportTable(table(), path, ExportFormat::Csv));
    EXPECT_EQ(readFile(path),
              "\xEF\xBB\xBF"
              "客户名称,存货编号,数量,金额\r\n"
              "北方公司,01-001,3,1234567.5\r\n"
              "\"say \"\"hi\"\", ok\",,0.25,-2\r\n"
              "'=cmd(),\" 7 \",,0.1\r\n"
              "合计,,3.25,1234565.6\r\n");
}

TEST_F(ExportTest, WorkbookIsAZipWhoseSheetHoldsTitlesNumbersAndTotals) {
    std::string path = (dir / "out.xlsx").string();
    ASSERT_TRUE(exportTable(table(), path, exportFormatOf("x.XLSX")));
    std::string bytes = readFile(path);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 2), "PK");

    std::string sheet = zipMember(path, "xl/worksheets/sheet1.xml");
    if (sheet.empty()) GTEST_SKIP() << "unzip is not available";
    std::string workbook = zipMember(path, "xl/workbook.xml");
    std::string styles = zipMember(path, "xl/styles.xml");
    for (const char* text : {"客户名称", "存货编号", "数量", "金额", "北方公司", "合计", "=cmd()"})
        EXPECT_NE(sheet.find(text), std::string::npos) << text;
    EXPECT_NE(sheet.find("<v>1234567.5</v>"), std::string::npos);
    EXPECT_NE(sheet.find("<v>3.25</v>"), std::string::npos) << "the totals are numbers";
    EXPECT_NE(sheet.find("ySplit=\"1\""), std::string::npos) << "the title row is frozen";
    EXPECT_NE(styles.find("formatCode=\"0.00\""), std::string::npos);
    EXPECT_NE(styles.find("<b/>"), std::string::npos);
    EXPECT_NE(workbook.find("客户销量汇总表"), std::string::npos) << "the sheet is named after the report";
}

TEST_F(ExportTest, StoppedExportLeavesNoFile) {
    for (ExportFormat format : {ExportFormat::Csv, ExportFormat::Xlsx}) {
        std::string path = (dir / (format == ExportFormat::Csv ? "stop.csv" : "stop.xlsx")).string();
        int calls = 0;
        EXPECT_FALSE(exportTable(table(), path, format, [&](int done, int total) {
            ++calls;
            EXPECT_EQ(done, 0);
            EXPECT_EQ(total, 3);
            return false;
        }));
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(ExportTest, UnwritablePlaceIsReportedAndNothingIsLeft) {
    for (const char* name : {"missing/out.csv", "missing/out.xlsx"}) {
        std::string path = (dir / name).string();
        EXPECT_THROW(exportTable(table(), path, exportFormatOf(path)), VelmoraError) << name;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST_F(ExportTest, MissingColumnAndClosedDatasetGiveEmptyCells) {
    ReportTable t("t", {{"nosuch", "无", ReportColumn::Kind::Number}}, &rows);
    EXPECT_EQ(t.cellText(0, 0), "");
    EXPECT_FALSE(t.cellNumber(0, 0));
    rows.Close();
    ReportTable closed("t", {{"khname", "客户名称", ReportColumn::Kind::Text}}, &rows);
    EXPECT_EQ(closed.rowCount(), 0);
}
