#include "tests/server/FaultyConnection.h"

namespace velmora::server {

void FaultyConnection::failStatement(size_t n, Fault fault) {
    failing_.insert(statements_ + n);
    statementFault_ = fault;
}

void FaultyConnection::raise(Fault fault) {
    injected_ = true;
    if (fault == Fault::Error) throw VelmoraError(kInjected);
    // The databases' own words for a writer that has to wait or try again.
    throw VelmoraError(real_.dialect() == Dialect::Sqlite
                           ? "database is locked"
                           : "could not serialize access due to concurrent update");
}

void FaultyConnection::statement() {
    ++statements_;
    if (failing_.erase(statements_)) raise(statementFault_);
}

std::unique_ptr<DbQuery> FaultyConnection::query(const std::string& sql, const std::vector<DbValue>& params) {
    statement();
    return real_.query(sql, params);
}

std::unique_ptr<DbQuery> FaultyConnection::clientQuery(const std::string& sql, ClientReads reads) {
    statement();
    return real_.clientQuery(sql, reads);
}

int64_t FaultyConnection::execute(const std::string& sql, const std::vector<DbValue>& params) {
    statement();
    return real_.execute(sql, params);
}

int64_t FaultyConnection::insertReturningKey(const std::string& sql, const std::vector<DbValue>& params,
                                             const std::string& keyColumn) {
    statement();
    return real_.insertReturningKey(sql, params, keyColumn);
}

GuardedOutcome FaultyConnection::runGuarded(std::span<const GuardedStatement> statements) {
    // The real connection runs the statements before the failing one its own way (PostgreSQL in
    // one round trip); the failing one then fails as a statement of the run does, leaving nothing.
    size_t first = statements_ + 1;
    auto next = failing_.lower_bound(first);
    if (next == failing_.end() || *next >= first + statements.size()) {
        statements_ += statements.size();
        return real_.runGuarded(statements);
    }
    size_t before = *next - first;
    GuardedOutcome out = before ? real_.runGuarded(statements.first(before)) : GuardedOutcome{};
    statements_ += out.done;
    if (out.done < before) return out;  // a real failure came first
    try {
        statement();
    } catch (const std::exception& e) {
        out.error = e.what();
    }
    return out;
}

void FaultyConnection::executeScript(const std::string& sql) {
    statement();
    real_.executeScript(sql);
}

void FaultyConnection::begin() {
    if (beginFault_) {
        Fault fault = *beginFault_;
        beginFault_.reset();
        raise(fault);
    }
    real_.begin();
}

void FaultyConnection::commit() {
    if (commitFault_) {
        Fault fault = *commitFault_;
        commitFault_.reset();
        raise(fault);
    }
    real_.commit();
}

}  // namespace velmora::server
