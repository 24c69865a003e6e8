#include "admin/TFrmauditresult.h"

#include <QLabel>

#include "audit/AuditRows.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/Panel.h"

namespace velmora {

TFrmauditresult::TFrmauditresult(QWidget* owner, ClientSession&) : ReportResultForm(owner) {
    setObjectName(QStringLiteral("Frmauditresult"));
    setCaption(QStringLiteral("操作日志"));
    setFrameSize(640, 400);

    const struct {
        const char* field;
        const char* title;
        int width;
    } columns[] = {
        // Who did what to which record first; where from last, as the window is narrow.
        {"at", "时间", 130},    {"username", "用户", 60},     {"action", "操作", 60},
        {"object", "对象", 80}, {"recordkey", "关键字", 100}, {"content", "内容", 420},
        {"peer", "地址", 120},  {"computer", "计算机", 80},
    };
    std::vector<DBGridColumn> gridColumns;
    for (const auto& c : columns)
        gridColumns.push_back({QString::fromLatin1(c.field), QString::fromUtf8(c.title), c.width, false});
    DBGrid1->setColumns(std::move(gridColumns));
    DBGrid1->setAccessibleName(QStringLiteral("操作日志"));
    // No sums here: the bottom panel says how many rows there are instead.
    setReportTitle(QStringLiteral("操作日志"), "", "");
    for (QLabel* total : {Label1, Label2, Label3, Label4}) total->hide();
    Label5 = new QLabel(Panel2);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->move(48, 18);
}

TFrmauditresult::~TFrmauditresult() {
    // The grid and the navigator outlive the rows they show: they let go first.
    DBGrid1->setDataSource(nullptr);
    DBNavigator1->setDataSource(nullptr);
}

void TFrmauditresult::ShowRows(const std::vector<ReadableAuditRow>& rows, std::vector<std::string> criteria,
                               bool capped) {
    DBGrid1->setDataSource(nullptr);
    DBNavigator1->setDataSource(nullptr);
    rows_.Close();
    // One line per row in the grid: the changes stand side by side.
    rows_.OpenPacket(readableAuditPacket(rows, "；"));
    bindTo(&source_);
    QString count = QStringLiteral("共 %1 条，最新的在前").arg(rows.size());
    if (capped) {
        const QString cut =
            QStringLiteral("一次查询最多列出最新的 %1 条，更早的没有列出").arg(kAuditQueryCap);
        count += QStringLiteral("。") + cut + QStringLiteral("，请缩小查询范围。");
        criteria.push_back(cut.toStdString());
    }
    Label5->setText(count);
    Label5->adjustSize();
    setCriteria(std::move(criteria));
}

void TFrmauditresult::FormClose(CloseAction& action) {
    action = CloseAction::Free;
}

}  // namespace velmora
