// The reference-data table set: creation, upgrade and DDL scripts seed once and leave the id
// counters above the seeds.
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "refdata_fixture.h"
#include "vqbmessage.h"

namespace {

// Seeded tables: rows, the column a seed is found by, and the id counter afterwards.
struct Seeded {
    const char* table;
    int rows;
};
const Seeded kSeeded[] = {{"RDOPRS", 5}, {"RDLANS", 18}, {"RDATRC", 2}, {"RDATTY", 4}};

// Runs a script with the database's own shell: sqlite3 for a file, psql for the server.
bool runShell(const std::string& database, const std::string& script, const std::string& log) {
    std::string command;
    if (database.empty()) {
        std::smatch m;
        const std::string text = pgConnection();
        auto value = [&](const char* key) {
            return std::regex_search(text, m, std::regex(std::string(key) + "=([^;]*)")) ? m[1].str() : std::string();
        };
        command = "psql -X -q -h '" + value("SERVER") + "' -p '" + value("PORT") + "' -U '" + value("UID") + "' -d '" +
                  value("DATABASE") + "' -f '" + script + "'";
    } else {
        command = "sqlite3 '" + database + "' < '" + script + "'";
    }
    return std::system((command + " >'" + log + "' 2>&1").c_str()) == 0;
}

}  // namespace

class RefDataTables : public RefDataTest {
protected:
    // Every seeded table holds its seeds once, ids 1..n, and its counter stands at n.
    void expectSeededOnce() {
        for (const Seeded& seeded : kSeeded) {
            SCOPED_TRACE(seeded.table);
            const std::string n = std::to_string(seeded.rows);
            EXPECT_EQ(
                raw(std::string("SELECT COUNT(*), COUNT(DISTINCT ID), MIN(ID), MAX(ID) FROM {") + seeded.table + "}"),
                (Rows{{n, n, "1", n}}));
            EXPECT_EQ(raw(std::string("SELECT NI_VAL FROM {UCURID} WHERE NI_KEY='") + seeded.table + "'"), (Rows{{n}}));
        }
    }
};

TEST_P(RefDataTables, CreationSeedsOnceAndNewIdsFollowTheSeeds) {
    expectSeededOnce();
    EXPECT_EQ(raw("SELECT DESCRPTN, PERMISON, POSITION FROM {RDOPRS} ORDER BY POSITION"),
              (Rows{{"Denied", "D", "1"},
                    {"Read", "R", "2"},
                    {"Write", "W", "3"},
                    {"Modify", "M", "4"},
                    {"Full Control", "F", "5"}}));
    uint32_t id = 0;
    ASSERT_TRUE(rda_->addLanguage("Welsh", "CY", &id));
    EXPECT_EQ(id, 19u);
    EXPECT_EQ(raw("SELECT CONTYPE, DESCRPTN FROM {RDATRC} ORDER BY ID"),
              (Rows{{"RD_USER_ATTRIBUTE", "<null>"}, {"RD_SYSTEM_ATTRIBUTE", "<null>"}}));
}

TEST_P(RefDataTables, UpgradeAddsTheSetToARepositoryWithoutItOnce) {
    // A repository made before the set was installed.
    rda_.reset();
    repository_.reset();
    ASSERT_TRUE(drop()) << error().str();
    std::remove(specDir_.file("refdata.xml").c_str());
    ASSERT_TRUE(create()) << error().str();
    EXPECT_TRUE(existingTables({"RDDOMS", "RDIMSG"}).empty());

    writeFile(specDir_.file("refdata.xml"), refdataSpec());
    ReposHeld<RepositoryImpl> repository(open(false));
    ASSERT_NE(repository, nullptr) << error().str();
    ASSERT_TRUE(repository->upgrade()) << repository->getErrorMessage().str();
    repository.reset();
    EXPECT_EQ(existingTables({"RDDOMS", "RDIMSG"}).size(), 2u);
    expectSeededOnce();

    repository.reset(open(false));
    ASSERT_NE(repository, nullptr);
    EXPECT_FALSE(repository->upgrade());
    EXPECT_EQ(repository->getErrorMessage(), reposMessage(1314));
    repository.reset();
    expectSeededOnce();
}

TEST_P(RefDataTables, ADdlScriptRunByTheShellGivesTheSameSeeds) {
    if (place() == Place::Direct) GTEST_SKIP() << "scripts are written through the connector";
    config_.set("BASE/REPOS_DDL_LINE_SUFFIX", ";");
    // Statement values and table rows go into the script as literals.
    writeSpec("zz.xml",
              "<tableset name='EXTRA' version='1'><tabledef name='RDXTRA'><column name='X_ID' type='integer'/>"
              "<column name='X_TXT' type='string'/><tablerows><row><value column='X_ID'>1</value>"
              "<value column='X_TXT'>it's</value></row></tablerows></tabledef><post><createrepos><stmt>"
              "<sql>INSERT INTO $$RDXTRA$$ (X_ID, X_TXT) VALUES (?, ?)</sql><param name='a' type='integer'>2</param>"
              "<param name='b' type='string'>o'clock</param></stmt></createrepos></post></tableset>");
    const bool server = place() == Place::Postgres;
    const std::string file = dir_.file("script.db");
    const std::string prefix = server ? uniqueTestPrefix('S') : "";
    const VqbString connection = server ? VqbString(where()) : RepositoryAdminImpl::fileConnection(file);
    const std::string script = dir_.file("create.sql");
    ASSERT_TRUE(admin()->createRepositoryWithDDL(connection, prefix, script)) << admin()->getErrorMessage().str();
    const std::string text = readFile(script);
    for (const char* literal : {"'Full Control'", "'it''s'", "'o''clock'"})
        EXPECT_NE(text.find(literal), std::string::npos) << literal;
    EXPECT_EQ(text.find('?'), std::string::npos) << "a value was not written in";

    runShell(server ? "" : file, script, dir_.file("shell.log"));
    ReposHeld<Repository> made(server ? admin()->connectRepository(where(), prefix, true, nullptr)
                                      : admin()->openFileRepository(file, true));
    ASSERT_NE(made, nullptr) << admin()->getErrorMessage().str() << "\n" << readFile(dir_.file("shell.log"));
    ReposHeld<RefDataRepositoryDataAccess> r(made->createRefDataRepositoryDataAccess());
    EXPECT_EQ(take(r->listOperations(kNone, "", "", kNone)).size(), 5u);
    EXPECT_EQ(take(r->listLanguages(kNone, "", "")).size(), 18u);
    // The counters stand where the created repository's do.
    uint32_t id = 0;
    EXPECT_TRUE(r->addLanguage("Welsh", "CY", &id));
    EXPECT_EQ(id, 19u);
    EXPECT_TRUE(r->addAttributeType("DATE", "", &id));
    EXPECT_EQ(id, 5u);
    VqbString extraTable;
    ASSERT_TRUE(made->getTableName("RDXTRA", true, &extraTable));
    ReposHeld<ReposDataAccessCursor> extra(
        made->paramSelect(VqbString("SELECT X_ID, X_TXT FROM ") + extraTable + " ORDER BY X_ID", nullptr, 0));
    EXPECT_EQ(cursorRows(extra.get()), (Rows{{"1", "it's"}, {"2", "o'clock"}}));
    extra.reset();
    r.reset();
    made.reset();
    if (server) {
        EXPECT_TRUE(admin()->deleteRepository(where(), prefix)) << admin()->getErrorMessage().str();
    }
}

TEST_P(RefDataTables, ACopyCarriesTheRowsOnceAndTheCounters) {
    uint32_t domain = 0;
    ASSERT_TRUE(rda_->addDomain("Copied", "", "", "", "", "", 1, "", -1, -1, VqbDate(), "", &domain));
    ASSERT_TRUE(rda_->addLanguage("Welsh", "CY", nullptr));
    rda_.reset();
    const bool server = place() == Place::Postgres;
    const std::string file = dir_.file("copy.db");
    const std::string prefix = server ? uniqueTestPrefix('C') : "";
    ASSERT_TRUE(server ? admin()->createRepository(where(), prefix) : admin()->createFileRepository(file))
        << admin()->getErrorMessage().str();
    ReposHeld<Repository> target(server ? admin()->connectRepository(where(), prefix, true, nullptr)
                                        : admin()->openFileRepository(file, true));
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(admin()->copyRepository(repository_.get(), target.get())) << admin()->getErrorMessage().str();
    ReposHeld<RefDataRepositoryDataAccess> r(target->createRefDataRepositoryDataAccess());
    EXPECT_EQ(take(r->listDomains(domain, "Copied", "", "", "", "", "", kNone, "", kNone, kNone, VqbDate(), "",
                                  VqbDate()))
                  .size(),
              1u);
    EXPECT_EQ(take(r->listLanguages(kNone, "", "")).size(), 19u);
    uint32_t id = 0;
    EXPECT_TRUE(r->addLanguage("Breton", "BR", &id));
    EXPECT_EQ(id, 20u);
    r.reset();
    target.reset();
    if (server) {
        EXPECT_TRUE(admin()->deleteRepository(where(), prefix)) << admin()->getErrorMessage().str();
    }
}

REPOS_EVERY_PLACE(RefDataTables);
