#include "sales/InvoiceSheet.h"

#include <memory>
#include <vector>

#include "data/AmountText.h"
#include "data/Tdm.h"
#include "transport/Variant.h"
#include "widgets/PrintSheet.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const char* const kLineFields[] = {"chid", "chname", "ggxh", "jldw", "quantity1", "price1", "money1"};
const char* const kLineTitles[] = {"存货编号", "存货名称", "规格型号", "计量单位", "数量", "单价", "金额"};
constexpr int kQuantityColumn = 4;
constexpr int kPriceColumn = 5;
constexpr int kMoneyColumn = 6;

QString headerText(ClientDataSet& headers, const char* field) {
    Field* f = headers.FindField(field);
    return f ? toQString(f->AsString()) : QString();
}

// An amount as the grid shows it: two decimals at least.
QString amountText(double amount) {
    return toQString(amountDisplayText(amount));
}

}  // namespace

PrintSheet invoiceSheet(Tdm& data) {
    ClientDataSet& headers = data.ClientDataSetxsdtb;
    ClientDataSet& lines = data.ClientDataSetxsdzb;
    auto text = [&headers](const char* field) { return headerText(headers, field); };

    PrintSheet sheet;
    sheet.title = QStringLiteral("销售发票");
    sheet.headerLines = {
        QStringLiteral("销售发票号：%1        开票日期：%2").arg(text("xsdid"), text("rq")),
        QStringLiteral("客户编号：%1        客户名称：%2").arg(text("khid"), text("khname")),
        QStringLiteral("业务员编号：%1        业务员名称：%2").arg(text("ywyid"), text("ywyname")),
    };
    for (int c = 0; c < 7; ++c)
        sheet.columns.push_back({QString::fromUtf8(kLineTitles[c]), c >= kQuantityColumn});

    auto rows = std::make_shared<std::vector<QStringList>>();
    double quantity = 0, money = 0;
    if (lines.Active()) {
        std::vector<int> index;
        for (const char* field : kLineFields) {
            Field* f = lines.FindField(field);
            index.push_back(f ? f->Index() : -1);
        }
        for (int row = 0; row < lines.RecordCount(); ++row) {
            QStringList cells;
            for (int at : index) cells << (at < 0 ? QString() : toQString(lines.textAt(row, at)));
            if (index[kQuantityColumn] >= 0) {
                Variant q = lines.valueAt(row, index[kQuantityColumn]);
                if (!q.isNull() && !q.isEmpty()) quantity += q.toDouble();
            }
            if (index[kPriceColumn] >= 0) {
                Variant p = lines.valueAt(row, index[kPriceColumn]);
                if (!p.isNull() && !p.isEmpty()) cells[kPriceColumn] = amountText(p.toDouble());
            }
            if (index[kMoneyColumn] >= 0) {
                Variant m = lines.valueAt(row, index[kMoneyColumn]);
                if (!m.isNull() && !m.isEmpty()) {
                    money += m.toDouble();
                    cells[kMoneyColumn] = amountText(m.toDouble());
                }
            }
            rows->push_back(cells);
        }
    }
    sheet.rowCount = static_cast<int>(rows->size());
    sheet.cell = [rows](int row, int column) { return (*rows)[static_cast<size_t>(row)].value(column); };
    sheet.totals = {QStringLiteral("合计"), {}, {}, {}, toQString(formatDouble15(quantity)), {},
                    amountText(money)};
    sheet.footerLines = {
        QStringLiteral("制单人：%1        审核人：%2").arg(text("username"), text("shrname"))};
    // A paper copy of an order not approved must not pass for a final one.
    Field* ischeck = headers.FindField("ischeck");
    const bool approved = ischeck && !ischeck->IsNull() && ischeck->AsBoolean();
    if (!approved) sheet.stamp = QStringLiteral("未审核");
    return sheet;
}

}  // namespace velmora
