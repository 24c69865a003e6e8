#include "tests/reports/ReportSession.h"

#include <QDateEdit>
#include <QDialog>
#include <cstdio>

#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "reports/TFrmchhzresult.h"
#include "reports/TFrmkhhzquery.h"
#include "reports/TFrmkhhzresult.h"
#include "reports/TFrmxsdquery.h"
#include "reports/TFrmxsdresult.h"
#include "reports/TFrmywyhzresult.h"
#include "widgets/BitBtn.h"

namespace velmora::test {

ReportSession::ReportSession() {
    QString at = QString::fromStdString(server.address());
    shell.showAndLogin([at](TFrmlogin& f) { ShellSession::connectAndChoose(f, at, "管理员", "vantu"); });
    if (!MainForm || MainForm->Session.CurrentUserName != "管理员") qFatal("the login failed");
    shell.messages.clear();
}

ReportSession::~ReportSession() {
    closeResultWindows();
}

namespace {
template <typename Dialog>
void showModal(Dialog* dialog, const std::function<void(Dialog&)>& act) {
    whenModal([dialog, act](QWidget*) {
        act(*dialog);
        if (dialog->isVisible()) QTest::mouseClick(dialog->BitBtn2, Qt::LeftButton);
    });
    dialog->ShowModal();
}
}  // namespace

void ReportSession::showListQuery(const std::function<void(TFrmxsdquery&)>& act) {
    showModal(Frmxsdquery, act);
}

void ReportSession::runListQuery(const std::function<void(TFrmxsdquery&)>& fill) {
    showListQuery([fill](TFrmxsdquery& f) {
        fill(f);
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    });
}

void ReportSession::showSummaryQuery(const std::function<void(TFrmkhhzquery&)>& act) {
    showModal(Frmkhhzquery, act);
}

void ReportSession::runSummaryQuery(const std::function<void(TFrmkhhzquery&)>& fill) {
    showSummaryQuery([fill](TFrmkhhzquery& f) {
        fill(f);
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    });
}

void ReportSession::runSummary(SummaryQueryForm* dialog, const std::function<void(SummaryQueryForm&)>& fill) {
    showModal<SummaryQueryForm>(dialog, [fill](SummaryQueryForm& f) {
        fill(f);
        QTest::mouseClick(f.BitBtn1, Qt::LeftButton);
    });
}

void ReportSession::execute(const std::string& sql) {
    server.execute(sql);
}

QStringList ReportSession::direct(const std::string& sql) const {
    QStringList rows;
    for (const std::string& row : server.query(sql)) rows << QString::fromStdString(row);
    rows.sort();
    return rows;
}

void ReportSession::closeResultWindows() {
    if (Frmxsdresult) Frmxsdresult->Close();
    if (Frmkhhzresult) Frmkhhzresult->Close();
    if (Frmchhzresult) Frmchhzresult->Close();
    if (Frmywyhzresult) Frmywyhzresult->Close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList rowsOf(ClientDataSet& dataSet, const std::vector<const char*>& fields) {
    QStringList rows;
    if (!dataSet.Active()) return rows;
    for (int row = 0; row < dataSet.RecordCount(); ++row) {
        QStringList parts;
        for (const char* name : fields)
            parts << QString::fromStdString(dataSet.textAt(row, dataSet.FieldByName(name).Index()));
        rows << parts.join('|');
    }
    rows.sort();
    return rows;
}

double sumOf(ClientDataSet& dataSet, const char* field) {
    double sum = 0;
    int index = dataSet.FieldByName(field).Index();
    for (int row = 0; row < dataSet.RecordCount(); ++row) sum += dataSet.valueAt(row, index).toDouble();
    return sum;
}

QStringList withLastPartAsG(QStringList rows) {
    for (QString& row : rows) {
        qsizetype bar = row.lastIndexOf('|');
        char number[32];
        std::snprintf(number, sizeof number, "%g", row.mid(bar + 1).toDouble());
        row = row.left(bar + 1) + QString::fromLatin1(number);
    }
    rows.sort();
    return rows;
}

void summaryDates(SummaryQueryForm& dialog, QDate from, QDate to) {
    dialog.dp1->setDate(from);
    dialog.dp2->setDate(to);
}

void wholeRange(SummaryQueryForm& dialog) {
    summaryDates(dialog, QDate(2002, 10, 1), QDate(2003, 3, 31));
}

}  // namespace velmora::test
