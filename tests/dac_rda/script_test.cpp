// A creation script written in script mode for PostgreSQL, run with psql on an empty database,
// gives the same tables, columns and indexes as creating them through the connection.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "dac_rda_fixture.h"

namespace {

std::string key(const std::string& text, const char* name) {
    std::string upper = text;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string wanted = std::string(name) + "=";
    size_t pos = 0;
    while ((pos = upper.find(wanted, pos)) != std::string::npos) {
        if (pos == 0 || upper[pos - 1] == ';') {
            size_t start = pos + wanted.size();
            return text.substr(start, text.find(';', start) - start);
        }
        ++pos;
    }
    return "";
}

std::string withDatabase(const std::string& text, const std::string& database) {
    std::string old = key(text, "DATABASE");
    std::string out = text;
    size_t pos = out.find("=" + old);
    return out.replace(pos + 1, old.size(), database);
}

// Two scratch databases on the test server, dropped afterwards.
class ScratchDatabases {
public:
    explicit ScratchDatabases(const std::vector<std::string>& names) : names_(names), admin_(dacOpen(pgConnection())) {
        for (const std::string& n : names_) {
            admin_->executeDirect(VqbString("DROP DATABASE IF EXISTS " + n + " WITH (FORCE)"), 0);
            EXPECT_TRUE(admin_->executeDirect(VqbString("CREATE DATABASE " + n + " TEMPLATE template0"), 0))
                << admin_->getErrorText().str();
        }
    }
    ~ScratchDatabases() {
        for (const std::string& n : names_)
            admin_->executeDirect(VqbString("DROP DATABASE IF EXISTS " + n + " WITH (FORCE)"), 0);
    }

private:
    std::vector<std::string> names_;
    DacPtr admin_;
};

Rows rows(DacConnection* c, const std::string& sql) {
    Rows out;
    DacCursor* cursor = c->openCursorDirect(VqbString(sql));
    EXPECT_NE(cursor, nullptr) << c->getErrorText().str();
    if (!cursor) return out;
    while (cursor->fetch() == DAC_FETCH_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < cursor->getColumnCount(); ++i) {
            VqbDatavar v = cursor->getValue(i);
            row.push_back(v.isNull() ? "NULL" : v.asString().str());
        }
        out.push_back(row);
    }
    cursor->close();
    return out;
}

Rows catalogueOf(const std::string& text, bool withValues = true) {
    DacPtr c(dacOpen(text));
    EXPECT_TRUE(c);
    if (!c) return {};
    Rows out = rows(c.get(),
                    "SELECT table_schema, table_name, column_name, data_type, COALESCE(character_maximum_length, 0), "
                    "is_nullable, ordinal_position FROM information_schema.columns WHERE table_schema NOT IN "
                    "('pg_catalog', 'information_schema') ORDER BY 1, 2, 7");
    Rows indexes = rows(c.get(),
                        "SELECT schemaname, tablename, indexname, indexdef FROM pg_indexes WHERE schemaname NOT IN "
                        "('pg_catalog', 'information_schema') ORDER BY 1, 2, 3");
    out.insert(out.end(), indexes.begin(), indexes.end());
    if (withValues) {
        Rows values = rows(c.get(), "SELECT V_KEY, V_VALUE FROM \"S\".\"P_KEYVAL\" ORDER BY 1");
        out.insert(out.end(), values.begin(), values.end());
    }
    return out;
}

bool createCatalogue(ReposDataAccess* conn) {
    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        request.create = 1;
        if (!conn->createTable(request)) return false;
    }
    return true;
}

}  // namespace

TEST(DdlScript, PsqlRunOfTheScriptMatchesDirectCreation) {
    REPOS_REQUIRE_PG();
    const char* psql = "/usr/bin/psql";
    if (access(psql, X_OK) != 0) GTEST_SKIP() << "psql is not installed";
    std::string suffix = std::to_string(getpid());
    std::string scripted = "repos_script_" + suffix, direct = "repos_direct_" + suffix;
    ScratchDatabases databases({scripted, direct});
    std::string base = pgConnection();
    for (const std::string& db : {scripted, direct}) {
        DacPtr c(dacOpen(withDatabase(base, db)));
        ASSERT_TRUE(c);
        ASSERT_TRUE(c->executeDirect("CREATE SCHEMA \"S\"", 0)) << c->getErrorText().str();
    }

    TempDir dir;
    Recorder recorder;
    {
        VqbString error;
        Conn conn(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(withDatabase(base, scripted)), "S.P_",
                                        nullptr, error));
        ASSERT_TRUE(conn) << error.str();
        conn->setDDLCallback(&recorder);
        ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
        conn->setDDLCallback(nullptr);
    }
    // Nothing ran while the script was written.
    EXPECT_EQ(catalogueOf(withDatabase(base, scripted), false).size(), 0u);
    EXPECT_EQ(recorder.scriptWith("CREATE TABLE"), 136u);
    std::string script = dir.file("create.sql");
    writeFile(script, recorder.scriptText());
    std::string command = std::string(psql) + " -X -q -v ON_ERROR_STOP=1 -h " + key(base, "SERVER") + " -p " +
                          key(base, "PORT") + " -U " + key(base, "UID") + " -d " + scripted + " -f " + script + " > " +
                          dir.file("psql.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("psql.log"));

    {
        VqbString error;
        Conn conn(createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(withDatabase(base, direct)), "S.P_", nullptr,
                                        error));
        ASSERT_TRUE(conn) << error.str();
        ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
    }
    Rows fromScript = catalogueOf(withDatabase(base, scripted));
    Rows fromConnection = catalogueOf(withDatabase(base, direct));
    EXPECT_GT(fromConnection.size(), 1000u);
    EXPECT_EQ(fromScript, fromConnection);
}
