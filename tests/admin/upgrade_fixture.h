// Repositories of older versions written with SQL for the upgrade tests, in the places of the
// repository tests (a file opened directly, a file through the connector, PostgreSQL), and the
// checks that an upgraded repository keeps every row and lacks no value.
#ifndef UPGRADE_FIXTURE_H
#define UPGRADE_FIXTURE_H

#include <map>
#include <string>
#include <vector>

#include "repos_fixture.h"

// What a repository of an older version held.
enum class Legacy {
    Profile,   // profile result set 1.7, counters in CURID
    Monitor,   // monitor 3, counters in MCURID
    Both,      // both side by side
    Unified0,  // unified 8 with minor version 0
};

struct OldTable {
    std::string name;
    std::string columns;  // "NAME TYPE, ..."
    std::vector<std::string> rows;     // SQL value lists
};
std::vector<OldTable> oldTables(Legacy legacy);

using Snapshot = std::map<std::string, Rows>;  // table -> rows of its old columns

class UpgradeTest : public RepositoryTest {
protected:
    void TearDown() override;

    // A file of another name for the repository (Direct, File).
    void useFile(const std::string& path) { file_ = path; }
    const std::string& location() const { return file_.empty() ? where() : file_; }

    // Writes the old repository's tables and rows.
    void build(Legacy legacy);
    // Opened as its hosts open it, not validated; tryOpen reports no failure.
    RepositoryImpl* openRepository();
    RepositoryImpl* tryOpen();
    // Upgrades until the repository is current; the number of upgrades that ran (an older
    // repository needs two: the first leaves no minor version). -1 on a failure (reported).
    int upgradeToCurrent();

    // A connection of the test's own to location(), kept open until dropDb() (before a fork).
    ReposDataAccess* db();
    void dropDb() { db_.reset(); }
    std::string t(const char* table);
    Rows query(const std::string& sql);
    std::vector<std::string> existingTables(const std::vector<std::string>& tables);
    std::string value(const std::string& sql);
    void run(const std::string& sql);

    // The rows of every old table, old columns only.
    Snapshot snapshot(Legacy legacy);
    // Every check of an upgraded repository against what it held before.
    void verifyUpgraded(Legacy legacy, const Snapshot& before);
    // Every row of every table of the repository, sorted, for "nothing changed".
    Snapshot everything();
    // The repository's indexes as its database lists them, by what they index: "TABLE (KEYS)" or
    // "TABLE UNIQUE (KEYS)", upper-cased, without quotes or blanks, with how many there are of each.
    std::map<std::string, int> indexShapes();
    // The names of the table's indexes whose keys read so ("(A,B)"), or start so ("(A,*").
    std::vector<std::string> indexesShaped(const std::string& table, const std::string& keys);

private:
    // Table, name and definition of every index, from the database's own list.
    Rows indexListing();

    ReposHeld<ReposDataAccess> db_;
    std::string file_;
};

#endif
