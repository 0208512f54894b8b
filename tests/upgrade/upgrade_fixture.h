// Repositories of older versions written with SQL for the upgrade tests, in the places of the
// repository tests (a file opened directly, a file through the connector, PostgreSQL), and the
// checks that an upgraded repository keeps every row and lacks no value.
#ifndef UPGRADE_FIXTURE_H
#define UPGRADE_FIXTURE_H

#include <map>
#include <string>
#include <vector>

#include "repository_fixture.h"

// What a repository of an older version held.
enum class Legacy {
    Profile,   // profile result set 1.7, counters in CURID
    Monitor,   // monitor 3, counters in MCURID
    Both,      // both side by side
    Unified0,  // unified 8 with minor version 0
};

struct LegacyTable {
    std::string name;
    std::string columns;  // "NAME TYPE, ..."
    std::vector<std::string> rows;     // SQL value lists
};
std::vector<LegacyTable> legacyTables(Legacy legacy);

using Rows = std::vector<std::vector<std::string>>;
using Snapshot = std::map<std::string, Rows>;  // table -> rows of its old columns

class UpgradeTest : public RepositoryTest {
protected:
    void TearDown() override;

    // A file of another name for the repository (Direct, File).
    void useFile(const std::string& path) { file_ = path; }
    const std::string& location() const { return file_.empty() ? where() : file_; }

    // Writes the old repository's tables and rows.
    void build(Legacy legacy);
    // Opened as its hosts open it: the file directly (Direct), the file through the connector
    // (File), the server through the connector (Postgres). Not validated.
    RepositoryImpl* openRepository();
    // The same without a test failure when it cannot be opened.
    RepositoryImpl* tryOpen();
    // Upgrades until the repository is current; the number of upgrades that ran (an older
    // repository needs two: the first leaves no minor version). -1 on a failure (reported).
    int upgradeToCurrent();

    // A connection of the test's own, kept open; drop() ends it (before a fork, for one).
    ReposDataAccess* db();
    void dropDb() { db_.reset(); }
    // The qualified name of a repository table, through that connection.
    std::string t(const char* table);
    Rows query(const std::string& sql);
    // The names among tables that exist, through that connection.
    std::vector<std::string> existingTables(const std::vector<std::string>& tables);
    std::string value(const std::string& sql);
    void run(const std::string& sql);

    // The rows of every old table, old columns only.
    Snapshot snapshot(Legacy legacy);
    // Every check of an upgraded repository against what it held before.
    void verifyUpgraded(Legacy legacy, const Snapshot& before);
    // Every row of every table of the repository, sorted, for "nothing changed".
    Snapshot everything();
    // Makes inserts of that value into the column fail (a trigger, or on PostgreSQL a check
    // that old rows need not pass), and lets them through again.
    void refuseInserts(const char* table, const char* column, const char* value);
    void allowInserts(const char* table);

private:
    ReposHeld<ReposDataAccess> db_;
    std::string file_;
};

// Counts what an operation shows to its status callback; kills its own process at a given count.
class CountingCallback : public RepositoryStatusCallback {
public:
    explicit CountingCallback(long killAt = 0) : killAt_(killAt) {}
    bool reportProgress(const VqbString&) override;
    void reportMessage(const VqbString&) override { tick(); }
    long count() const { return count_; }

private:
    void tick();
    long killAt_;
    long count_ = 0;
};

#endif
