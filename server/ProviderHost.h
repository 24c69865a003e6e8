#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "server/Database.h"
#include "server/ProviderDefs.h"
#include "server/RecordsPacket.h"
#include "server/Session.h"
#include "server/UserStatement.h"
#include "transport/IProviderServer.h"

namespace velmora::server {

// What one command text a client sends may cost.
struct QueryLimits {
    std::chrono::milliseconds timeout{30'000};
    size_t maxResultBytes = size_t(256) << 20;
    // Whether an apply writes its audit rows: always, but for the benchmark's baseline, which
    // sets this in code to measure what the trail costs; no option or configuration reaches it.
    bool auditApplies = true;
    // Opens a database connection of its own for a result handed out in parts, which holds its
    // statement open between the parts; none: every result goes whole.
    std::function<std::unique_ptr<DbConnection>()> openPartsConnection;
    // Results in parts one client connection may hold open at once; past it, results go whole.
    size_t maxOpenParts = 2;
};

// The nine providers of one client connection, over that connection's database. Each provider
// remembers the last command text a client sent it; a refresh re-runs it and a reset keeps it.
// A client may take a result in parts (a count of rows > 0): the provider then holds the
// statement open on a connection of its own until the last part, a reset or a new command.
// Before the session has logged in, only the login's own statements are served.
class ProviderHost : public IProviderServer {
  public:
    ProviderHost(DbConnection& db, Session& session, QueryLimits limits)
        : db_(db), session_(session), limits_(limits) {
        // No row may be larger than a whole result: one that is, is refused before the server holds it.
        db_.setRowLimit(limits_.maxResultBytes);
    }

    Variant RemoteApplyUpdates(const std::string& providerName, const Variant& delta, int32_t maxErrors,
                               int32_t& errorCount, Variant& ownerData) override;
    Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                             int32_t options, const std::string& commandText, Variant& params,
                             Variant& ownerData) override;
    Variant RemoteDataRequest(const std::string& providerName, const Variant& data) override;
    Variant RemoteGetProviderNames() override;
    Variant RemoteGetParams(const std::string& providerName, Variant& ownerData) override;
    Variant RemoteRowRequest(const std::string& providerName, const Variant& row, int32_t requestType,
                             Variant& ownerData) override;
    void RemoteExecute(const std::string& providerName, const std::string& commandText, Variant& params,
                       Variant& ownerData) override;

    // The command text the provider runs on its next refresh.
    const std::string& currentCommand(const std::string& providerName);

  private:
    const ProviderDef& provider(const std::string& name) const;
    // Refuses, before a login, everything but the login's statements and the reset.
    void allowBeforeLogin(const std::string& providerName, int32_t count, const std::string& commandText);
    // A command text must be one clean text: a NUL would cut it short in the database.
    void checkText(const std::string& commandText) const;
    Bytes run(const ProviderDef& def, const std::string& sql, int32_t& recsOut);
    // The first count rows of sql, the statement held open for the next part where it can be.
    Bytes firstPart(const ProviderDef& def, const std::string& sql, int32_t count, int32_t& recsOut);
    Bytes nextPart(const ProviderDef& def, int32_t count, int32_t& recsOut);
    Bytes answerUserStatement(const UserStatement& statement, int32_t& recsOut);
    void changeOwnPassword(const UserStatement& statement);
    // Runs fn under the time limit; limits passed become refusals the client can read.
    template <typename Fn>
    auto limited(const std::string& sql, Fn fn);

    DbConnection& db_;
    Session& session_;
    QueryLimits limits_;
    std::map<std::string, std::string> commands_;

    // A result being handed out in parts; members end in reverse: cursor, statement, connection.
    struct OpenParts {
        std::unique_ptr<DbConnection> db;
        std::unique_ptr<DbQuery> rows;
        std::unique_ptr<RecordsCursor> cursor;
    };
    std::map<std::string, OpenParts> parts_;
};

}  // namespace velmora::server
