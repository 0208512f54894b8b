// Repositories for the copy, script and work-table tests: SQLite files and tables with a prefix of
// their own in the PostgreSQL test database, filled with rows in every table, and compared table by
// table.
#ifndef COPY_FIXTURE_H
#define COPY_FIXTURE_H

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "repadmimpl.h"
#include "repos_fixture.h"
#include "repositoryimpl.h"
#include "test_support.h"

// Table name -> its rows (sorted), plus "<table>#indexes" -> the indexed columns of a work table.
using Snapshot = std::map<std::string, Rows>;

// The XML table set every test repository carries.
extern const char* const kSpecTable;

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new repository; where receives the file path or the table prefix (dropped at the end).
    bool create(Place place, std::string& where);
    std::string serverPrefix();
    // Opened validated as hosts open it: a file directly or through the connector, the server
    // through the connector. Released at the end unless closed before.
    RepositoryImpl* open(Place place, const std::string& where, bool viaConnector = false);
    void close(RepositoryImpl* r);

    // Rows in every catalogue, NCOA and XML-set table (INFO, KEYVAL and BIGSTR left alone), long
    // texts in the unlimited columns of the first row, and work tables FRQDST1, FRQDST3, HSM/HCM 1
    // and 2 with their indexes. seed makes two fillings differ in every value.
    void fill(RepositoryImpl* r, int seed);
    // Work tables made as profiling makes them, with rows.
    void addFrequencyTable(RepositoryImpl* r, int n, const Rows& rows);
    void addMetricTables(RepositoryImpl* r, int n, int groupFields, int seed);

    // The tables the copy replaces, or with settings those it keeps (INFO, KEYVAL).
    Snapshot snapshot(RepositoryImpl* r, bool withSettings = false);
    Rows select(RepositoryImpl* r, const std::string& sql);  // sorted
    bool exec(RepositoryImpl* r, const std::string& sql, std::vector<VqbDatavar> values = {});
    std::string t(RepositoryImpl* r, const char* table) { return r->connection()->getTableName(table, true, -1).str(); }
    // Indexed columns of a table, lower case, sorted.
    std::vector<std::string> indexedColumns(RepositoryImpl* r, const std::string& table);
    bool hasTable(RepositoryImpl* r, const std::string& table);

    RepositoryAdminImpl* admin_ = nullptr;
    TempDir dir_;
    TempDir specDir_;
    ConfigScope config_;

private:
    std::vector<std::string> prefixes_;
    std::vector<RepositoryImpl*> opened_;
};

// A long text with quotes, line breaks and characters beyond ASCII.
std::string longText(size_t characters, int seed);

#endif
