// The connector back end under test on each driver: a SQLite file through the native driver,
// and the PostgreSQL test server with a plain prefix and with a schema-qualified one. Every test
// has names of its own on the server (tests run side by side) and a raw connector connection to
// look at what the back end did.
#ifndef DAC_RDA_FIXTURE_H
#define DAC_RDA_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "rda_factory.h"
#include "repos_dataaccess.h"
#include "repos_tables.h"
#include "test_support.h"
#include "vqdac.h"

enum class Driver { Native, Pg, PgSchema };

std::string driverName(const ::testing::TestParamInfo<Driver>& info);

// Records what a connection shows and the statements of script mode.
class Recorder : public RepositoryStatusCallback, public ReposDDLCallback {
public:
    bool reportProgress(const VqbString& text) override {
        progress.push_back(text.str());
        return true;
    }
    void reportMessage(const VqbString& text) override { messages.push_back(text.str()); }
    void writeDDL(const VqbString& statement) override { script.push_back(statement.str()); }
    size_t messagesWith(const std::string& fragment) const;
    size_t scriptWith(const std::string& fragment) const;
    std::string scriptText() const;

    std::vector<std::string> progress;
    std::vector<std::string> messages;
    std::vector<std::string> script;
};

template <class T>
struct Released {
    T* p;
    explicit Released(T* ptr = nullptr) : p(ptr) {}
    ~Released() { reset(); }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    void reset(T* ptr = nullptr) {
        if (p) p->release();
        p = ptr;
    }
    T* operator->() const { return p; }
    T* get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};
using Conn = Released<ReposDataAccess>;
using Cursor = Released<ReposDataAccessCursor>;
using Stmt = Released<ReposDataAccessStatement>;

struct CloseDac {
    void operator()(DacConnection* c) const {
        if (c) c->close();
    }
};
using DacPtr = std::unique_ptr<DacConnection, CloseDac>;
DacConnection* dacOpen(const std::string& text, std::string* error = nullptr);

// The records of the named catalogue tables laid out like the catalogue.
class Excerpt {
public:
    Excerpt(std::initializer_list<const char*> tables);
    ReposTableRequest request(bool create = true, bool dropFirst = false) const;

private:
    std::vector<ReposColumnDef> records_;
};

using Rows = std::vector<std::vector<std::string>>;

class RdaDacTest : public ::testing::TestWithParam<Driver> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool isPg() const { return GetParam() != Driver::Native; }
    // The connection text of this test's database, with extra keys (VQXKIND=...) appended.
    std::string text(const std::string& extra = "") const;
    // A connector connection through the factory; null with the reason in lastError.
    ReposDataAccess* open(const std::string& extra = "", const std::string* prefix = nullptr);
    // The raw connector connection of the database (opened on first use).
    DacConnection* raw();
    bool rawExec(const std::string& sql);
    Rows rawRows(const std::string& sql);
    std::string rawScalar(const std::string& sql);
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

private:
    void dropOwnTables();
    DacPtr raw_;
};

// The values of one column, read with getString until next() stops.
std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column);

// Columns of a run-time table.
ColumnSpecList columnSpecs(std::initializer_list<std::pair<const char*, int>> columns);

#endif
