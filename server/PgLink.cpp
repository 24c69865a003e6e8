#include "server/PgLink.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>

#include "server/Log.h"
#include "transport/Errors.h"

namespace velmora::server {

std::chrono::milliseconds ReconnectBackoff::remaining() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next_ - clock_());
    return std::max(left, std::chrono::milliseconds(0));
}

void ReconnectBackoff::failed() {
    wait_ = wait_.count() == 0 ? kFirstWait : std::min(wait_ * 2, kLongestWait);
    next_ = clock_() + wait_;
}

void ReconnectBackoff::succeeded() {
    wait_ = std::chrono::milliseconds(0);
    next_ = {};
}

namespace {

// libpq's message as one line of the log.
std::string trimmed(const char* text) {
    std::string out;
    for (const char* p = text ? text : ""; *p; ++p) {
        bool space = *p == '\n' || *p == '\t' || *p == ' ';
        if (!space || (!out.empty() && out.back() != ' ')) out += space ? ' ' : *p;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// What the database says outside an answer (warnings, an administrator ending the session) goes
// to the log rather than to a bare stderr.
void logNotice(void* role, const char* message) {
    logLine("database (" + *static_cast<const std::string*>(role) + "): " + trimmed(message));
}

}  // namespace

PgLink::PgLink(std::string info, std::string role, Setup setup, ReconnectBackoff backoff)
    : info_(std::move(info)),
      role_(std::move(role)),
      setup_(std::move(setup)),
      backoff_(std::move(backoff)) {}

PgLink::~PgLink() {
    if (conn_) PQfinish(conn_);
}

bool PgLink::lost() const {
    return conn_ && PQstatus(conn_) == CONNECTION_BAD;
}

bool PgLink::usable() {
    if (!conn_) return false;
    // A backend ended while the connection was idle left its goodbye and the end of the stream in
    // the socket; reading them tells libpq the connection is gone, before anything is sent on it.
    for (int reads = 0; reads < 8 && PQstatus(conn_) == CONNECTION_OK; ++reads) {
        pollfd ready{PQsocket(conn_), POLLIN, 0};
        if (::poll(&ready, 1, 0) <= 0) break;
        if (PQconsumeInput(conn_) == 0) break;
        while (!PQisBusy(conn_)) {
            PGresult* stray = PQgetResult(conn_);
            if (!stray) break;
            PQclear(stray);
        }
    }
    return PQstatus(conn_) == CONNECTION_OK;
}

void PgLink::forget() {
    if (!conn_) return;
    logLine(formatText("the %s connection to the database was lost: %s", role_.c_str(),
                       trimmed(PQerrorMessage(conn_)).c_str()));
    PQfinish(conn_);
    conn_ = nullptr;
    wasLost_ = true;
}

pg_conn* PgLink::get() {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) return conn_;
    if (conn_) forget();
    bool first = !attempted_;
    if (!backoff_.mayTry())
        throw VelmoraError(
            formatText("数据库无法连接 (the database cannot be reached; the server tries again in %.1f s)",
                       static_cast<double>(backoff_.remaining().count()) / 1000));
    // Defaults the location may override: a host that does not answer fails the attempt within
    // seconds, and a silent network is noticed on an idle connection.
    const char* keys[] = {"connect_timeout",  "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "dbname",          nullptr};
    const char* values[] = {"10", "60", "10", "3", info_.c_str(), nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 1);
    attempted_ = true;
    std::string failure;
    if (PQstatus(conn) != CONNECTION_OK) {
        failure = trimmed(PQerrorMessage(conn));
    } else {
        PQsetNoticeProcessor(conn, logNotice, &role_);
        try {
            if (PQsetClientEncoding(conn, "UTF8") != 0) throw VelmoraError(trimmed(PQerrorMessage(conn)));
            setup_(conn);
        } catch (const VelmoraError& e) {
            failure = e.what();
        }
    }
    if (!failure.empty()) {
        PQfinish(conn);
        backoff_.failed();
        logLine(formatText("the %s connection to the database cannot be opened%s: %s", role_.c_str(),
                           first ? "" : " again", failure.c_str()));
        if (first) throw VelmoraError("Cannot open database: " + failure);
        throw VelmoraError("数据库无法连接 (the database cannot be reached: " + failure + ")");
    }
    backoff_.succeeded();
    if (wasLost_) logLine(formatText("the %s connection to the database was opened again", role_.c_str()));
    wasLost_ = false;
    conn_ = conn;
    ++generation_;
    return conn_;
}

}  // namespace velmora::server
