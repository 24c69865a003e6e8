#pragma once
// The whole client logged in to a real velmora-server with the demo data, and the steps the
// report tests take through its dialogs.

#include <QDate>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "tests/gui/ShellSession.h"
#include "tests/support/ServerProcess.h"

namespace velmora {
class ClientDataSet;
class SummaryQueryForm;
class TFrmkhhzquery;
class TFrmxsdquery;
}  // namespace velmora

namespace velmora::test {

class ReportSession {
  public:
    // Starts the server and the client and logs in as the administrator.
    ReportSession();
    ~ReportSession();

    // Shows the list query dialog; act runs inside it and must end it (or leave it to the
    // session, which presses Cancel when it is still open afterwards).
    void showListQuery(const std::function<void(TFrmxsdquery&)>& act);
    // Fills the dialog with fill and presses OK.
    void runListQuery(const std::function<void(TFrmxsdquery&)>& fill);
    void showSummaryQuery(const std::function<void(TFrmkhhzquery&)>& act);
    void runSummaryQuery(const std::function<void(TFrmkhhzquery&)>& fill);
    // Any of the summary query dialogs: shows it, fills it with fill and presses OK.
    void runSummary(SummaryQueryForm* dialog, const std::function<void(SummaryQueryForm&)>& fill);

    // Writes to the server's database directly, as another workstation's entry would.
    void execute(const std::string& sql);
    // The first column of every row of sql, read from the database directly, sorted.
    QStringList direct(const std::string& sql) const;
    std::string scalar(const std::string& sql) const { return server.scalar(sql); }

    // Closes the result windows and lets them go.
    void closeResultWindows();

    ServerProcess server;
    ShellSession shell;
};

// The rows a dataset holds, each as its fields' texts joined by "|", sorted.
QStringList rowsOf(ClientDataSet& dataSet, const std::vector<const char*>& fields);
// The sum of a column over the rows a dataset holds.
double sumOf(ClientDataSet& dataSet, const char* field);
// Rows "a|b|...|sum" with the sum, which each database writes its own way ("12.0", "12"), as %g;
// sorted.
QStringList withLastPartAsG(QStringList rows);
// The date range of a summary query dialog; wholeRange covers every order of the demo data.
void summaryDates(SummaryQueryForm& dialog, QDate from, QDate to);
void wholeRange(SummaryQueryForm& dialog);

}  // namespace velmora::test
