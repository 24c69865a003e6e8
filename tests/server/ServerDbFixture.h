#pragma once
// A fresh database with the schema, for tests of the server's packets and applies: a SQLite file,
// or a database on the PostgreSQL test cluster for the tests registered there (label postgres).

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "data/Cell.h"
#include "data/DataPacket.h"
#include "server/ProviderDefs.h"
#include "server/RecordsPacket.h"
#include "server/Schema.h"
#include "server/SqliteConnection.h"
#include "tests/support/TestDatabase.h"

namespace velmora::server {

class ServerDbFixture : public ::testing::Test {
  protected:
    ServerDbFixture() {
        char pattern[] = "/tmp/velmora-srv-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/s.db";
        database_ = test::TestDatabase::create(dir_, path_);
        db = openDatabase(database_->location(), true);
        createSchema(*db);
    }
    ~ServerDbFixture() override {
        db.reset();
        database_.reset();
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
        ::rmdir(dir_.c_str());
    }

    // The rows of sql as the client receives them from provider.
    DataPacket open(const std::string& sql, const char* provider = "DataSetProviderhz") {
        auto rows = db->clientQuery(sql);
        int32_t count = 0;
        return decodeDataPacket(buildRecordsPacket(*db, *rows, *findProvider(provider), count));
    }
    static std::vector<Variant> row(const DataPacket& p, size_t i) {
        return rowValues(*p.layout, p.rows.at(i));
    }

    // The database file (on SQLite).
    const std::string& path() const { return path_; }
    // What openDatabase takes to reach the same database.
    const std::string& location() const { return database_->location(); }

    std::unique_ptr<DbConnection> db;

  private:
    std::string dir_, path_;
    std::unique_ptr<test::TestDatabase> database_;
};

}  // namespace velmora::server
