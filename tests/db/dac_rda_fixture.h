// The connector back end under test on each driver: a SQLite file through the native driver,
// and the PostgreSQL test server with a plain prefix and with a schema-qualified one. Every test
// has names of its own on the server (tests run side by side) and a raw connector connection to
// look at what the back end did.
#ifndef DAC_RDA_FIXTURE_H
#define DAC_RDA_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "rda_factory.h"
#include "repos_dataaccess.h"
#include "repos_tables.h"
#include "dac_fixture.h"

// Direct: a SQLite file through the SQLite back end, for the contract every back end keeps.
enum class Driver { Native, Pg, PgSchema, Direct };

using Conn = ReposHeld<ReposDataAccess>;
using Cursor = ReposHeld<ReposDataAccessCursor>;
using Stmt = ReposHeld<ReposDataAccessStatement>;
using DacPtr = ConnPtr;

Conn openRda(const std::string& text, const char* prefix = "", Recorder* recorder = nullptr);


class RdaDacTest : public ::testing::TestWithParam<Driver> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool isPg() const { return GetParam() == Driver::Pg || GetParam() == Driver::PgSchema; }
    // The connection text of this test's database, with extra keys (VQXKIND=...) appended.
    std::string text(const std::string& extra = "") const;
    // A connector connection through the factory; null with the reason in lastError.
    ReposDataAccess* open(const std::string& extra = "", const std::string* prefix = nullptr);
    // The raw connector connection of the database (opened on first use).
    DacConnection* raw();
    bool rawExec(const std::string& sql);
    Rows rawRows(const std::string& sql) { return raw() ? dacRows(raw(), sql) : Rows(); }
    std::string rawScalar(const std::string& sql) { return raw() ? dacScalar(raw(), sql) : "<none>"; }
    // Creates the named catalogue tables through the connection.
    void createTables(ReposDataAccess* conn, std::initializer_list<const char*> tables);
    // Tables of the database that belong to this test, names as stored, sorted.
    std::vector<std::string> tables();
    // "S"."P_T" style name of a table of this test for raw SQL.
    std::string q(const char* table, int suffix = -1) const;
    std::string bareName(const char* table, int suffix = -1) const;
    // The schema that holds this test's tables on the server ("public" without one).
    std::string serverSchema() const { return schema_.empty() ? "public" : schema_; }

    TempDir dir_;
    std::string tag_;
    std::string prefix_;  // as handed to the connection
    std::string stored_;  // as the connection uses it (upper-cased except on PostgreSQL)
    std::string schema_;
    std::string lastError;
    Recorder recorder;
    Conn conn;  // to the test's database with the test's prefix

private:
    DacPtr raw_;
};

std::string driverName(const ::testing::TestParamInfo<Driver>& info);
#define RDA_DRIVERS(Suite)                                                                                       \
    INSTANTIATE_TEST_SUITE_P(Drivers, Suite, ::testing::Values(Driver::Native, Driver::Pg, Driver::PgSchema), \
                             driverName)
// The database layer's contract, on the SQLite back end as well.
#define RDA_BACKENDS(Suite)                                                                                    \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite,                                                                  \
                             ::testing::Values(Driver::Direct, Driver::Native, Driver::Pg, Driver::PgSchema), \
                             driverName)


#endif
