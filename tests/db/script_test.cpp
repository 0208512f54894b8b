// A creation script written in script mode for PostgreSQL, run with psql on an empty database,
// gives the same tables, columns and indexes as creating them through the connection.
#include <unistd.h>

#include <cstdlib>

#include "dac_rda_fixture.h"
#include "dacimpl.h"

namespace {

// Scratch databases on the test server, dropped afterwards.
struct ScratchDatabases {
    std::vector<std::string> names;
    DacPtr admin{dacOpen(pgConnection())};
    void drop() {
        for (const std::string& n : names)
            admin->executeDirect(VqbString("DROP DATABASE IF EXISTS " + n + " WITH (FORCE)"), 0);
    }
    ~ScratchDatabases() { drop(); }
};

Rows catalogueOf(const std::string& text, bool withValues = true) {
    DacPtr c(dacOpen(text));
    EXPECT_TRUE(c);
    if (!c) return {};
    Rows out = dacRows(c.get(),
                       "SELECT table_schema, table_name, column_name, data_type, COALESCE(character_maximum_length, "
                       "0), is_nullable, ordinal_position FROM information_schema.columns WHERE table_schema NOT IN "
                       "('pg_catalog', 'information_schema') ORDER BY 1, 2, 7");
    Rows more = dacRows(c.get(),
                        "SELECT schemaname, tablename, indexname, indexdef FROM pg_indexes WHERE schemaname NOT IN "
                        "('pg_catalog', 'information_schema') ORDER BY 1, 2, 3");
    if (withValues) {
        Rows values = dacRows(c.get(), "SELECT V_KEY, V_VALUE FROM \"S\".\"P_KEYVAL\" ORDER BY 1");
        more.insert(more.end(), values.begin(), values.end());
    }
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

}  // namespace

TEST(DdlScript, PsqlRunOfTheScriptMatchesDirectCreation) {
    REPOS_REQUIRE_PG();
    const char* psql = "/usr/bin/psql";
    if (access(psql, X_OK) != 0) GTEST_SKIP() << "psql is not installed";
    std::string suffix = std::to_string(getpid());
    std::string scripted = "repos_script_" + suffix, direct = "repos_direct_" + suffix;
    ScratchDatabases databases{{scripted, direct}};
    databases.drop();
    DacConnText server;
    std::string error;
    ASSERT_TRUE(server.parse(pgConnection(), error)) << error;
    auto textOf = [&](const std::string& database) {
        server.set("DATABASE", database);
        return server.toString();
    };
    for (const std::string& db : {scripted, direct}) {
        ASSERT_TRUE(databases.admin->executeDirect(VqbString("CREATE DATABASE " + db + " TEMPLATE template0"), 0));
        DacPtr c(dacOpen(textOf(db)));
        ASSERT_TRUE(c && c->executeDirect("CREATE SCHEMA \"S\"", 0));
    }

    TempDir dir;
    Recorder recorder;
    {
        Conn conn(openRda(textOf(scripted), "S.P_"));
        ASSERT_TRUE(conn);
        conn->setDDLCallback(&recorder);
        ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
    }
    // Nothing ran while the script was written.
    EXPECT_EQ(catalogueOf(textOf(scripted), false).size(), 0u);
    EXPECT_EQ(recorder.scriptWith("CREATE TABLE"), 136u);
    std::string script;
    for (const std::string& s : recorder.script) script += s + ";\n";
    writeFile(dir.file("create.sql"), script);
    std::string command = std::string(psql) + " -X -q -v ON_ERROR_STOP=1 -h " + server.get("SERVER") + " -p " +
                          server.get("PORT") + " -U " + server.get("UID") + " -d " + scripted + " -f " +
                          dir.file("create.sql") + " > " + dir.file("psql.log") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("psql.log"));

    {
        Conn conn(openRda(textOf(direct), "S.P_"));
        ASSERT_TRUE(conn);
        ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
    }
    Rows fromConnection = catalogueOf(textOf(direct));
    EXPECT_GT(fromConnection.size(), 1000u);
    EXPECT_EQ(catalogueOf(textOf(scripted)), fromConnection);
}
