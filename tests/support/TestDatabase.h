#pragma once
// The database a test server runs on: a new SQLite file in a folder of the test's own, or, when
// the environment names a throwaway PostgreSQL cluster (VELMORA_TEST_POSTGRES, set by ctest for
// the tests labelled postgres), a new database in that cluster, dropped afterwards.

#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

class TestDatabase {
  public:
    virtual ~TestDatabase() = default;
    // What the server's --db takes.
    virtual const std::string& location() const = 0;
    // The first column of every row as text (NULL as "<null>").
    virtual std::vector<std::string> query(const std::string& sql) const = 0;
    // Runs statements that write; throws with the database's message.
    virtual void execute(const std::string& sql) const = 0;

    // A new, empty database; file is the SQLite file to use (default: velmora.db in folder).
    static std::unique_ptr<TestDatabase> create(const std::string& folder, const std::string& file = {});
    // The same database as location, without dropping it at the end.
    static std::unique_ptr<TestDatabase> open(const std::string& location);
};

// True when the tests run on PostgreSQL; a test of SQLite's file itself skips there.
bool onPostgres();

}  // namespace velmora::test
