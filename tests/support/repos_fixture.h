// Repositories for tests, in the three places a repository lives: a SQLite file opened directly by
// the SQLite back end, a SQLite file reached through the connector, and the PostgreSQL test
// database reached through the connector (ODBC) with a table prefix of the test's own.
#ifndef REPOS_FIXTURE_H
#define REPOS_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "repadmimpl.h"
#include "repos_dataaccess.h"
#include "repos_held.h"
#include "repositoryimpl.h"
#include "test_rows.h"
#include "test_support.h"

// Readable texts in assertion messages.
inline void PrintTo(const VqbString& text, std::ostream* os) { *os << '"' << text.str() << '"'; }

enum class Place { Direct, File, Postgres };
std::string placeName(const ::testing::TestParamInfo<Place>& info);
#define REPOS_EVERY_PLACE(Suite)                                                                                  \
    INSTANTIATE_TEST_SUITE_P(Places, Suite, ::testing::Values(Place::Direct, Place::File, Place::Postgres), \
                             placeName)

// The kinds of statement a test can make a table refuse.
enum class Refused { Insert, Update, Delete };

// A repository with every catalogue table and the INFO row that gives it its UUID, reached through
// the library's own connection (the test is skipped, or failed under CI, when its server is
// missing: check connection()). Statements may name tables in braces ("SELECT * FROM {RULE}"),
// which become the names the place gives them.
class TestRepository {
public:
    // prefixTail ends the unique table prefix of the PostgreSQL place.
    explicit TestRepository(Place place = Place::Direct, const std::string& prefixTail = "");
    ~TestRepository();
    TestRepository(const TestRepository&) = delete;
    TestRepository& operator=(const TestRepository&) = delete;

    Place place() const { return place_; }
    ReposDataAccess* connection() const;
    // A connection of its own to the same repository (the caller releases it); null with a test
    // failure when it cannot be opened.
    ReposDataAccess* openAnother() const;
    const std::string& uuid() const { return uuid_; }
    // The file of the SQLite places.
    std::string file() const { return dir_.file("repository.db"); }
    std::string table(const char* name) const;
    // The table prefix of the PostgreSQL place (empty for the SQLite places).
    const std::string& prefix() const { return prefix_; }

    // Runs a statement with its values bound in order; false (and a test failure) on error.
    bool exec(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    Rows rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // Rows of the table where the condition holds (all rows without one).
    int count(const char* name, const std::string& condition = "", std::initializer_list<VqbDatavar> values = {});
    bool addFolder(int id, int parent, const std::string& name);

    // Every later statement of the kind on the table fails, until allow (for breaking an operation
    // half-way).
    bool refuse(Refused kind, const char* table);
    bool allow(Refused kind, const char* table);
    // Makes the connection's next BEGIN fail, until unblockBegin; false where the place cannot.
    bool blockBegin();
    void unblockBegin();

private:
    void setUp();
    std::string expand(const std::string& sql) const;
    ReposDataAccessStatement* prepare(const std::string& sql, std::initializer_list<VqbDatavar> values);

    Place place_;
    TempDir dir_;
    TempDir specDir_;
    std::string prefix_;
    std::string uuid_;
    ReposHeld<ReposDataAccess> own_;        // SQLite places
    ReposHeld<RepositoryAdmin> admin_;      // PostgreSQL
    ReposHeld<RepositoryImpl> repository_;  // PostgreSQL
    bool refusalFunction_ = false;
};

// Rows of a repository table where the condition holds, read from outside the library.
long rawCount(TestRepository& repo, const char* table, const std::string& condition = "");
// The rows of a statement read from outside the library: texts kept apart show their references.
Rows rawRows(TestRepository& repo, const std::string& sql);

// "<velqorindocument ...>" + body + "</velqorindocument>".
std::string specDocument(const std::string& body);

// Repositories created, opened and dropped through the administrator in each place, for the
// administration tests.
class RepositoryTest : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override;
    void TearDown() override;

    RepositoryAdminImpl* admin() { return admin_; }
    Place place() const { return GetParam(); }
    // The file (Direct, File) or connection text (Postgres) and table prefix of the repository.
    const std::string& where() const { return where_; }
    const std::string& prefix() const { return prefix_; }

    // A table-create spec file in the spec directory the repositories read.
    void writeSpec(const std::string& name, const std::string& body);

    // Through the administrator (Direct: over a directly opened file, as the administrator does
    // once the file is open).
    bool create();
    bool drop();
    // The reason of the last failure of create, drop or open.
    VqbString error();
    // The repository, opened as the place's hosts open it; null on failure.
    RepositoryImpl* open(bool validate = true);
    // A connection of its own, for looking at rows and tables from outside (a missing file is
    // created).
    ReposDataAccess* raw();
    Rows rows(const std::string& sql);
    // The qualified name of a repository table.
    std::string t(const char* table);
    // The names among tables that exist in the repository's database.
    std::vector<std::string> existingTables(const std::vector<std::string>& tables);
    bool exec(const std::string& sql);

    TempDir dir_;
    TempDir specDir_;
    ConfigScope config_;

private:
    RepositoryAdminImpl* admin_ = nullptr;
    std::string where_;
    std::string prefix_;
    ReposHeld<ReposDataAccess> raw_;
    VqbString directError_;
    bool created_ = false;
};

// A repository object over a SQLite file opened directly, for the steps of creation one by one.
class OpenedRepository {
public:
    // withCatalogue: every catalogue table is created (no rows).
    explicit OpenedRepository(bool withCatalogue = true);
    ~OpenedRepository();
    OpenedRepository(const OpenedRepository&) = delete;
    OpenedRepository& operator=(const OpenedRepository&) = delete;

    // Writes a spec file; takes effect with the next reopen().
    void writeSpec(const std::string& name, const std::string& body);
    // Opens the file again (the spec files and INFO are read anew); false with the reason.
    bool reopen(VqbString* error = nullptr);
    RepositoryImpl* operator->() const { return repository_; }
    RepositoryImpl* get() const { return repository_; }
    ReposDataAccess* db() const { return repository_ ? repository_->connection() : nullptr; }
    bool exec(const std::string& sql);
    Rows rows(const std::string& sql);
    const std::string& file() const { return file_; }

    TempDir dir;
    TempDir specDir;
    ConfigScope config;

private:
    std::string file_;
    RepositoryImpl* repository_ = nullptr;
};

// The NCOA tables where the repository was made without them.
bool createNcoaTables(ReposDataAccess* connection);

#endif
