#pragma once
// The client logged in to a real velmora-server with the demo data, and the invoicing window open:
// what the invoicing and picker tests share.

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/ShellSession.h"
#include "tests/support/ServerProcess.h"

class QAbstractButton;
class QModelIndex;

namespace velmora {
class DBGrid;
class TFrmkp;
}  // namespace velmora

namespace velmora::test {

class SalesSession {
  public:
    // Logged in as user (a demo user) with password, after running beforeLogin (SQL, if any) on
    // the server's database; the server runs with serverArgs besides its usual options.
    explicit SalesSession(const QString& user = QStringLiteral("管理员"),
                          const QString& password = QStringLiteral("vantu"),
                          const std::string& beforeLogin = {}, std::vector<std::string> serverArgs = {});
    ~SalesSession();

    // Opens the invoicing window as the menu does.
    TFrmkp& openInvoicing();
    // Clicks a tool button, which must be enabled.
    static void click(QAbstractButton* button);
    // Clicks 增行 and, in the item picker, selects the rows at these positions, then OK.
    void addLines(const std::vector<int>& rows);
    // Opens the cell's editor, types text and presses Enter in it.
    static void typeCell(DBGrid* grid, int row, int column, const QString& text);
    // Writes to the server's database directly, as another workstation's entry would.
    void executeElsewhere(const std::string& sql);
    // Moves the order cursor to the order with this number.
    static bool gotoOrder(const std::string& xsdid);

    std::string scalar(const std::string& sql) const { return server->scalar(sql); }
    std::vector<std::string> query(const std::string& sql) const { return server->query(sql); }

    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<ShellSession> shell;
};

}  // namespace velmora::test
