// A repository in the PostgreSQL test database, created through the administrator with tables of
// its own and dropped again when it goes. Tests run in parallel against one database, so the
// table prefix is unique to the test, the process and the repository.
#ifndef PG_REPOSITORY_H
#define PG_REPOSITORY_H

#include <string>

#include "repos_dataaccess.h"
#include "test_support.h"

class RepositoryAdmin;
class RepositoryImpl;

class PgTestRepository {
public:
    // Skips the running test (fails it under CI) when the server is missing: check connection().
    PgTestRepository();
    ~PgTestRepository();
    PgTestRepository(const PgTestRepository&) = delete;
    PgTestRepository& operator=(const PgTestRepository&) = delete;

    // Null when the server is missing or the repository could not be made (a test failure).
    ReposDataAccess* connection() const;
    std::string uuid() const;
    const std::string& prefix() const { return prefix_; }

    // Every later delete of a row of the repository table (base name) fails, until allowDeletes.
    bool refuseDeletes(const char* table);
    bool allowDeletes(const char* table);

private:
    void setUp();
    void withoutSpecFiles(ConfigScope& config);
    bool exec(const std::string& sql);

    TempDir specDir_;
    RepositoryAdmin* admin_ = nullptr;
    RepositoryImpl* repository_ = nullptr;
    std::string prefix_;
    bool created_ = false;
    bool refusalFunction_ = false;
};

#endif
