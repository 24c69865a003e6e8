#include "server/ProviderHost.h"

#include "data/DataPacket.h"
#include "data/PacketFormat.h"
#include "server/ApplyGuard.h"
#include "server/ChangeApplier.h"
#include "server/Log.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

constexpr const char* kLoginProvider = "DataSetProviderhz";

// Clears the connection's deadline however the statement ends.
class DeadlineScope {
  public:
    DeadlineScope(DbConnection& db, std::chrono::milliseconds timeout) : db_(db) {
        db_.setDeadline(std::chrono::steady_clock::now() + timeout);
    }
    ~DeadlineScope() { db_.setDeadline(std::nullopt); }
    DeadlineScope(const DeadlineScope&) = delete;
    DeadlineScope& operator=(const DeadlineScope&) = delete;

  private:
    DbConnection& db_;
};

Bytes packetOf(FieldDefs fields, const std::vector<std::vector<std::string>>& rows, int32_t& recsOut) {
    DataPacketWriter w(std::move(fields));
    for (const auto& row : rows) {
        w.beginRow();
        for (const std::string& value : row) w.addText(value);
        w.endRow();
    }
    recsOut = static_cast<int32_t>(w.rowCount());
    return w.finish();
}

}  // namespace

const ProviderDef& ProviderHost::provider(const std::string& name) const {
    const ProviderDef* def = findProvider(name);
    if (!def) throw VelmoraError(formatText("Provider not exported: %s", name.c_str()));
    return *def;
}

const std::string& ProviderHost::currentCommand(const std::string& providerName) {
    const ProviderDef& def = provider(providerName);
    auto [it, added] = commands_.try_emplace(def.name, def.defaultQuery);
    return it->second;
}

void ProviderHost::checkText(const std::string& commandText) const {
    if (commandText.find('\0') != std::string::npos) {
        session_.logRefusal("a command text", "it holds a NUL character");
        throw StatementRefused(readOnlyRefusal("a NUL character"));
    }
}

void ProviderHost::allowBeforeLogin(const std::string& providerName, int32_t count,
                                    const std::string& commandText) {
    if (session_.loggedIn()) return session_.requireLogin(providerName);
    if (!sameName(providerName, kLoginProvider)) session_.requireLogin(providerName);
    if (count == 0 && commandText.empty()) return;  // the reset of a dataset that closes
    UserStatement::Kind kind = recogniseUserStatement(commandText).kind;
    if (kind == UserStatement::Kind::UserList || kind == UserStatement::Kind::LoginCheck) return;
    session_.requireLogin(commandText.empty() ? "a refresh" : "the statement " + commandText);
}

template <typename Fn>
auto ProviderHost::limited(const std::string& sql, Fn fn) {
    DeadlineScope deadline(db_, limits_.timeout);
    try {
        return fn();
    } catch (const QueryTimeout&) {
        double seconds = limits_.timeout.count() / 1000.0;
        session_.logRefusal(sql, formatText("ran past the time limit of %g s", seconds));
        throw VelmoraError(formatText("查询超时 (the statement ran past the time limit of %g s)", seconds));
    } catch (const ResultTooLarge&) {
        size_t mb = limits_.maxResultBytes >> 20;
        session_.logRefusal(sql, formatText("its result passed %zu MB", mb));
        throw VelmoraError(formatText("结果过大 (the result passed the size limit of %zu MB)", mb));
    } catch (const StatementRefused& e) {
        session_.auditRefusal(sql, e.what());
        throw;
    }
}

Bytes ProviderHost::run(const ProviderDef& def, const std::string& sql, int32_t& recsOut) {
    if (sql.empty()) throw VelmoraError("The command text is empty");
    UserStatement statement = recogniseUserStatement(sql);
    if (statement.kind != UserStatement::Kind::None) return answerUserStatement(statement, recsOut);
    if (namesUserStore(sql)) {
        session_.auditRefusal(sql, "it names the user store");
        throw StatementRefused(readOnlyRefusal("reading user1"));
    }
    return limited(sql, [&] {
        if (!def.nestsOrderLines) {
            auto rows = db_.clientQuery(sql, session_.clientReads());
            return buildRecordsPacket(db_, *rows, def, recsOut, limits_.maxResultBytes);
        }
        // Headers and lines from one snapshot.
        db_.beginRead();
        Transaction tx(db_, Transaction::kAlreadyBegun);
        auto rows = db_.clientQuery(sql, session_.clientReads());
        Bytes packet = buildRecordsPacket(db_, *rows, def, recsOut, limits_.maxResultBytes);
        rows.reset();
        tx.commit();
        return packet;
    });
}

Bytes ProviderHost::firstPart(const ProviderDef& def, const std::string& sql, int32_t count,
                              int32_t& recsOut) {
    // The orders with their lines come whole, from one snapshot; so do the user store's answers,
    // and every result once a connection holds as many open as it may.
    bool inParts = limits_.openPartsConnection && !def.nestsOrderLines && !sql.empty() &&
                   recogniseUserStatement(sql).kind == UserStatement::Kind::None && !namesUserStore(sql) &&
                   parts_.size() < limits_.maxOpenParts;
    if (!inParts) return run(def, sql, recsOut);
    OpenParts open;
    try {
        open.db = limits_.openPartsConnection();
    } catch (const std::exception& e) {
        logLine(formatText("%s: no connection of its own for a result in parts, sent whole: %s",
                           session_.who().c_str(), e.what()));
        return run(def, sql, recsOut);
    }
    open.db->setRowLimit(limits_.maxResultBytes);
    Bytes packet = limited(sql, [&] {
        DeadlineScope deadline(*open.db, limits_.timeout);
        open.rows = open.db->clientQuery(sql, session_.clientReads());
        open.cursor = std::make_unique<RecordsCursor>(*open.db, *open.rows, def, limits_.maxResultBytes);
        return open.cursor->next(count, recsOut);
    });
    if (!open.cursor->exhausted()) parts_.emplace(def.name, std::move(open));
    return packet;
}

Bytes ProviderHost::nextPart(const ProviderDef& def, int32_t count, int32_t& recsOut) {
    auto it = parts_.find(def.name);
    if (it == parts_.end()) {
        session_.logRefusal("the next part of a result", "no result of " + def.name + " is open");
        throw VelmoraError("No rows are left to fetch: the result was closed");
    }
    OpenParts& open = it->second;
    try {
        Bytes packet = limited(currentCommand(def.name), [&] {
            DeadlineScope deadline(*open.db, limits_.timeout);
            return open.cursor->next(count, recsOut);
        });
        if (open.cursor->exhausted()) parts_.erase(it);
        return packet;
    } catch (...) {
        parts_.erase(it);
        throw;
    }
}

Bytes ProviderHost::answerUserStatement(const UserStatement& statement, int32_t& recsOut) {
    switch (statement.kind) {
        case UserStatement::Kind::UserList: {
            std::vector<std::vector<std::string>> rows;
            for (std::string& name : session_.userNames()) rows.push_back({std::move(name)});
            return packetOf({textField("username")}, rows, recsOut);
        }
        case UserStatement::Kind::LoginCheck: {
            // The matching row, without its password: nothing a client reads holds one.
            std::vector<std::vector<std::string>> rows;
            if (session_.checkLogin(statement.user, statement.password)) rows.push_back({statement.user, ""});
            return packetOf({textField("username"), textField("password1")}, rows, recsOut);
        }
        default:
            session_.auditRefusal("a password change", "it was sent as a query");
            throw StatementRefused(readOnlyRefusal("writing user1"));
    }
}

void ProviderHost::changeOwnPassword(const UserStatement& statement) {
    if (statement.namesUser && statement.user != session_.user()) {
        session_.auditRefusal("a password change for " + statement.user,
                              "only the own password may be changed");
        throw StatementRefused("只能更改自己的口令 (only your own password can be changed)");
    }
    session_.changePassword(statement.password);
    logLine(formatText("%s: changed the password", session_.who().c_str()));
}

Variant ProviderHost::RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                                       int32_t options, const std::string& commandText, Variant&, Variant&) {
    allowBeforeLogin(providerName, count, commandText);
    const ProviderDef& def = provider(providerName);
    checkText(commandText);
    recsOut = 0;
    if (recogniseUserStatement(commandText).kind == UserStatement::Kind::LoginCheck) {
        // A login check carries a password: it runs once and is not kept, so that neither this
        // connection's state nor a later refresh holds it.
        commands_.erase(def.name);
        if (count == 0) return Variant::null();
        return Variant::byteArray(run(def, commandText, recsOut));
    }
    if (!commandText.empty()) commands_[def.name] = commandText;
    bool fresh = !commandText.empty() || (options & kGetRecordsReset) != 0;
    if (count > 0 && !fresh) return Variant::byteArray(nextPart(def, count, recsOut));
    parts_.erase(def.name);
    if (count == 0) return Variant::null();  // a reset: the command text stays for the next refresh
    if (count > 0) return Variant::byteArray(firstPart(def, currentCommand(def.name), count, recsOut));
    return Variant::byteArray(run(def, currentCommand(def.name), recsOut));
}

Variant ProviderHost::RemoteApplyUpdates(const std::string& providerName, const Variant& delta,
                                         int32_t maxErrors, int32_t& errorCount, Variant&) {
    session_.requireLogin("RemoteApplyUpdates");
    const ProviderDef& def = provider(providerName);
    if (!delta.isByteArray()) throw VelmoraError("Invalid data packet");
    // The new rows' values are bound straight from the packet, which outlives the apply.
    ChangePacket changes;
    try {
        changes = decodeChangePacket(delta.bytes(), InsertValues::Encoded);
    } catch (const PacketError& e) {
        session_.logRefusal("a change packet", e.what());
        throw;
    }
    FailedRecordsPacket result;
    try {
        const Access& access = session_.access();  // as requireLogin learnt them just now
        ChangeApplier::Hooks hooks;
        hooks.maker = access.user;
        hooks.beforeWrites = [&](const ChangePacket& packet) { ApplyGuard(db_, def, access).check(packet); };
        if (limits_.auditApplies)
            hooks.recordChanges = [&](const std::vector<AuditEntry>& entries) {
                appendAudit(db_, session_.auditContext(), entries);
            };
        result = ChangeApplier(db_, def, std::move(hooks)).apply(changes, maxErrors, errorCount);
    } catch (const RightsRefused& e) {
        session_.auditRefusal("changes to " + def.name, e.what());
        throw;
    }
    // Nothing to report is reported as nothing.
    if (!result.rolledBack && result.failed.empty() && result.updated.empty()) return Variant::null();
    return Variant::byteArray(encodeFailedRecords(result));
}

void ProviderHost::RemoteExecute(const std::string& providerName, const std::string& commandText, Variant&,
                                 Variant&) {
    session_.requireLogin("RemoteExecute");
    const ProviderDef& def = provider(providerName);
    checkText(commandText);
    const std::string& sql = commandText.empty() ? currentCommand(def.name) : commandText;
    UserStatement statement = recogniseUserStatement(sql);
    if (statement.kind == UserStatement::Kind::PasswordChange) return changeOwnPassword(statement);
    if (statement.kind != UserStatement::Kind::None || namesUserStore(sql)) {
        session_.auditRefusal(sql, "it names the user store");
        throw StatementRefused(readOnlyRefusal("reading user1"));
    }
    // The one write a command text may do is the password change; anything else must only read.
    limited(sql, [&] {
        auto rows = db_.clientQuery(sql, session_.clientReads());
        while (rows->next()) {
        }
        return 0;
    });
}

Variant ProviderHost::RemoteGetProviderNames() {
    session_.requireLogin("RemoteGetProviderNames");
    SafeArray names;
    names.elementType = VarType::Variant;
    names.bounds.push_back({0, static_cast<int32_t>(providerDefs().size()) - 1});
    for (const ProviderDef& d : providerDefs()) names.items.emplace_back(d.name);
    return Variant::array(std::move(names));
}

Variant ProviderHost::RemoteGetParams(const std::string& providerName, Variant&) {
    session_.requireLogin("RemoteGetParams");
    provider(providerName);
    return Variant::null();  // no provider of this server takes parameters
}

Variant ProviderHost::RemoteDataRequest(const std::string& providerName, const Variant& data) {
    session_.requireLogin("RemoteDataRequest");
    provider(providerName);
    return data;  // no provider answers custom requests; the data comes back as it went
}

Variant ProviderHost::RemoteRowRequest(const std::string& providerName, const Variant&, int32_t, Variant&) {
    session_.requireLogin("RemoteRowRequest");
    provider(providerName);
    return Variant::null();  // rows always travel whole, so there is nothing to fetch per row
}

}  // namespace velmora::server
