// Repositories for the administration tests, in three places: a SQLite file created and opened
// directly by the SQLite back end, a SQLite file reached through the connector, and a PostgreSQL
// database reached through the connector (ODBC).
#ifndef REPOSITORY_FIXTURE_H
#define REPOSITORY_FIXTURE_H

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "repadmimpl.h"
#include "repos_fixture.h"
#include "repositoryimpl.h"
#include "test_support.h"

// Readable texts in assertion messages.
inline void PrintTo(const VqbString& text, std::ostream* os) { *os << '"' << text.str() << '"'; }

enum class Place { Direct, File, Postgres };
std::string placeName(const ::testing::TestParamInfo<Place>& info);

// "<velqorindocument ...>" + body + "</velqorindocument>".
std::string specDocument(const std::string& body);

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
    std::vector<std::vector<std::string>> rows(const std::string& sql);
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
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    const std::string& file() const { return file_; }

    TempDir dir;
    TempDir specDir;
    ConfigScope config;

private:
    std::string file_;
    RepositoryImpl* repository_ = nullptr;
};

#endif
