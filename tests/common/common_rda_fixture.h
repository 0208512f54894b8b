// The common data-access tests run on whatever repository a back end's fixture function makes:
// each suite is instantiated once per back end with that function.
#ifndef COMMON_RDA_FIXTURE_H
#define COMMON_RDA_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common_rdaimpl.h"
#include "recording_event_manager.h"
#include "repos_fixture.h"

using Rows = std::vector<std::vector<std::string>>;

// A repository with every catalogue table, reached through the library's connection. Statements
// name tables by their base names through table().
class CommonTestRepository {
public:
    virtual ~CommonTestRepository() = default;
    virtual ReposDataAccess* connection() = 0;
    virtual std::string uuid() = 0;
    // Every later delete of a row of the table fails (for breaking an operation half-way).
    virtual bool failDeletesFrom(const char* table) = 0;
    // Makes the connection's next BEGIN fail, until unblockBegin; false where the back end cannot.
    virtual bool blockBegin() = 0;
    virtual void unblockBegin() = 0;

    std::string table(const char* name);
    ReposDataAccessStatement* prepare(const std::string& sql, std::initializer_list<VqbDatavar> values);
    bool exec(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    Rows rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // Rows of the table where the condition holds (all rows without one).
    int count(const char* name, const std::string& condition = "", std::initializer_list<VqbDatavar> values = {});
    bool addFolder(int id, int parent, const std::string& name);
};

typedef std::unique_ptr<CommonTestRepository> (*CommonRepositoryMaker)();

std::unique_ptr<CommonTestRepository> makeSqliteCommonRepository();
// In the PostgreSQL test database through the connector; skips the test without the server.
std::unique_ptr<CommonTestRepository> makePostgresCommonRepository();

// The rows of a cursor handed out by the data access, which it releases; a null cursor fails the
// test and gives no rows.
Rows take(ReposDataAccessCursor* cursor);
Rows sorted(Rows rows);
// One value of the rows; "<missing>" outside them.
std::string cell(const Rows& rows, size_t row, size_t column);

class CommonRdaTest : public ::testing::TestWithParam<CommonRepositoryMaker> {
protected:
    void SetUp() override {
        repo = GetParam()();
        if (IsSkipped()) return;
        ASSERT_TRUE(repo && repo->connection());
        rda.reset(new CommonRDAImpl(repo->connection()));
    }
    // A fresh repository, for tests that spoil one.
    std::unique_ptr<CommonTestRepository> another() { return GetParam()(); }

    std::unique_ptr<CommonTestRepository> repo;
    ReposHeld<CommonRDAImpl> rda;
};

// Instantiates a suite derived from CommonRdaTest on SQLite, or on every back end.
#define COMMON_RDA_ON(backend, suite)                                                                   \
    INSTANTIATE_TEST_SUITE_P(backend, suite, ::testing::Values(&make##backend##CommonRepository),      \
                             [](const ::testing::TestParamInfo<CommonRepositoryMaker>&) { return "repository"; })
#define COMMON_RDA_BACKENDS(suite) \
    COMMON_RDA_ON(Sqlite, suite);  \
    COMMON_RDA_ON(Postgres, suite)

#endif
