// Creating, opening and deleting repositories through the administrator.
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "repos_fixture.h"
#include "vqbconfig.h"
#include "vqbmessage.h"

namespace {

// Two table sets applied on creation and one (version 0) that is not.
const char kSets[] =
    "<tableset name='quality' version='2' indexprefix='QX'>"
    "  <macros><macro key='KEY' value='quality.installed'/></macros>"
    "  <tabledef name='QSCORE'>"
    "    <column name='QS_ID' type='integer' primarykey='true'/>"
    "    <column name='QS_NAME' type='string' length='40' indexnum='901'/>"
    "    <column name='QS_VAL' type='real'/>"
    "    <tablerows>"
    "      <row><value column='QS_ID' generateid='true'/><value column='QS_NAME'>first</value>"
    "           <value column='QS_VAL'>1.5</value></row>"
    "      <row><value column='QS_ID' generateid='true'/><value column='QS_NAME'>second</value></row>"
    "    </tablerows>"
    "  </tabledef>"
    "  <post><createrepos><stmt><sql>INSERT INTO $$KEYVAL$$ (V_KEY, V_VALUE) VALUES ('%%KEY%%', ?)</sql>"
    "    <param name='v' type='string'>yes</param></stmt></createrepos></post>"
    "</tableset>"
    "<tableset name='EXTRA' version='1'><tabledef name='XTRA'><column name='X_ID' type='integer'/></tabledef>"
    "</tableset>"
    "<tableset name='SKIPPED' version='0'><tabledef name='SKIPT'><column name='S_ID' type='integer'/></tabledef>"
    "</tableset>";

// One-column tables of these names, made through the repository's own connection.
void makeTables(ReposDataAccess* c, const std::vector<std::string>& names) {
    ASSERT_NE(c, nullptr);
    ColumnSpec column{};
    std::snprintf(column.name, sizeof column.name, "V");
    column.type = 2;
    for (const std::string& name : names)
        ASSERT_TRUE(c->createTableFromColumns(name.c_str(), {column}))
            << name << ": " << c->getLastErrorMessage().str();
}

}  // namespace

TEST_P(RepositoryTest, CreatesARepositoryThatOpensValidated) {
    writeSpec("sets.xml", kSets);
    ASSERT_TRUE(create()) << error().str();

    RepositoryImpl* repository = open(true);
    ASSERT_NE(repository, nullptr) << error().str();
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = 0, second = -1, typeVersion = -1;
    repository->getRepositoryInfo(mode, kind, version, second);
    EXPECT_EQ(kind, REPOS_KIND_UNIFIED);
    EXPECT_EQ(version, 8);
    EXPECT_EQ(second, 0);
    EXPECT_EQ(repository->getMinorVersion(), 1);
    EXPECT_TRUE(repository->hasNCOA());
    EXPECT_TRUE(repository->getTypeVersion("QUALITY", &typeVersion));
    EXPECT_EQ(typeVersion, 2);
    repository->getTypeVersion("SKIPPED", &typeVersion);
    EXPECT_EQ(typeVersion, 0);
    std::string uuid = repository->getRepositoryUuid().str();
    EXPECT_EQ(uuid.size(), 36u);
    repository->release();

    EXPECT_EQ(rows("SELECT I_TYPE, I_VERS, I_MVER, I_DESC FROM " + t("INFO") + " ORDER BY I_TYPE"),
              (Rows{{"EXTRA", "1", "<null>", "<null>"},
                    {"NCOA", "1", "<null>", "<null>"},
                    {"QUALITY", "2", "<null>", "<null>"},
                    {"VQREPOSITORY", "8", "1", "Velqorin Repository"}}));
    EXPECT_EQ(rows("SELECT NCAT_ID, NCAT_DSC FROM " + t("NOTCAT")), (Rows{{"0", "General"}}));
    EXPECT_EQ(rows("SELECT FLDR_ID, FLDR_NAM, NAM_NORM FROM " + t("FOLDER")),
              (Rows{{"0", "Profiling Reports", "profiling reports"}}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + t("EVENT")), (Rows{{"11"}}));
    EXPECT_EQ(rows("SELECT EV_CODE FROM " + t("EVENT") + " WHERE EV_ISDEF='Y'"), (Rows{{"LOGREPOS"}}));
    EXPECT_EQ(rows("SELECT COUNT(*), SUM(CASE WHEN PR_NAME='REASON' THEN 1 ELSE 0 END) FROM " + t("EXPRTP")),
              (Rows{{"10", "7"}}));

    // Dashboard defaults: one group, one threshold, six dimensions each linked to the group.
    EXPECT_EQ(rows("SELECT GRP_ID, GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, FLDR_ID FROM " + t("RPTGRP")),
              (Rows{{"1", "Default", "Default dashboard", "7", "24", "1", "0"}}));
    EXPECT_EQ(rows("SELECT THR_ID, THR_NAME, NAME_0, COLOR_0, NAME_2, COLOR_2 FROM " + t("THRHLD") +
                   " WHERE END_0=90 AND START_1=90.1 AND END_2=100.1"),
              (Rows{{"1", "Default", "Low", "1", "High", "4"}}));
    EXPECT_EQ(rows("SELECT COUNT(*), MIN(DIM_ID), MAX(DIM_ID) FROM " + t("DIMENS")), (Rows{{"6", "1", "6"}}));
    EXPECT_EQ(rows("SELECT DIM_NAME FROM " + t("DIMENS") + " WHERE DIM_ID=6"), (Rows{{"Completeness"}}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + t("DIMGRP") + " WHERE GRP_ID=1 AND THR_ID=1 AND WGHT=1.0"), (Rows{{"6"}}));
    EXPECT_EQ(rows("SELECT NI_KEY, NI_VAL FROM " + t("UCURID") +
                   " WHERE NI_KEY IN ('DIMENS', 'RPTGRP', 'THRHLD') ORDER BY NI_KEY"),
              (Rows{{"DIMENS", "6"}, {"RPTGRP", "1"}, {"THRHLD", "1"}}));

    // The table sets' tables, rows with drawn ids, and post statements with their delimiters.
    EXPECT_EQ(rows("SELECT QS_ID, QS_NAME, QS_VAL FROM " + t("QSCORE") + " ORDER BY QS_ID"),
              (Rows{{"1", "first", "1.5"}, {"2", "second", "<null>"}}));
    EXPECT_EQ(rows("SELECT V_VALUE FROM " + t("KEYVAL") + " WHERE V_KEY='quality.installed'"), (Rows{{"yes"}}));
    EXPECT_EQ(existingTables({"XTRA", "SKIPT"}), (std::vector<std::string>{"XTRA"}));
}

TEST_P(RepositoryTest, CreatingOverARepositoryFailsAndChangesNothing) {
    ASSERT_TRUE(create()) << error().str();
    ASSERT_TRUE(exec("INSERT INTO " + t("KEYVAL") + " (V_KEY, V_VALUE) VALUES ('marker', 'kept')"));
    Rows before = rows("SELECT I_TYPE, I_UUID FROM " + t("INFO") + " ORDER BY I_TYPE");

    EXPECT_FALSE(create());
    EXPECT_EQ(error(), reposMessage(1304));
    EXPECT_EQ(rows("SELECT I_TYPE, I_UUID FROM " + t("INFO") + " ORDER BY I_TYPE"), before);
    EXPECT_EQ(rows("SELECT V_VALUE FROM " + t("KEYVAL") + " WHERE V_KEY='marker'"), (Rows{{"kept"}}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + t("EVENT")), (Rows{{"11"}}));
}

TEST_P(RepositoryTest, DeleteDropsEveryTable) {
    writeSpec("sets.xml", kSets);
    ASSERT_TRUE(create()) << error().str();
    // Work tables of two profiled fields and one metric history.
    ASSERT_NO_FATAL_FAILURE(makeTables(raw(), {"FRQDST1", "FRQDST2", "HSM1", "HCM1"}));
    ASSERT_TRUE(exec("INSERT INTO " + t("FLD") + " (FLD_ID) VALUES (2)"));
    ASSERT_TRUE(exec("INSERT INTO " + t("HGMETA") + " (HGM_ID) VALUES (1)"));

    EXPECT_TRUE(drop()) << error().str();
    std::vector<std::string> tables = {"QSCORE", "XTRA", "FRQDST1", "FRQDST2", "HSM1", "HCM1"};
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa})
        for (ReposCatalogWalk walk(id); const ReposColumnDef* first = walk.nextTable();) tables.push_back(first->table);
    EXPECT_EQ(existingTables(tables), std::vector<std::string>());

    // Nothing left: the database can hold a new repository.
    EXPECT_TRUE(create()) << error().str();
}

// Deleting drops the work tables there are, with one DROP each, whatever their numbers (one far
// above the highest field id too): no statement per possible number up to a field id in the
// millions. Names that only look like this repository's stay: another prefix that differs where
// ours has "_" (a LIKE takes "_" for any character), a number with a leading zero.
TEST_P(RepositoryTest, DeleteDropsOnlyTheWorkTablesThereAre) {
    ASSERT_TRUE(create()) << error().str();
    const std::vector<std::string> work = {"FRQDST3", "FRQDST9000000", "FRQDST9000001", "HSM2", "HCM7"};
    ASSERT_NO_FATAL_FAILURE(makeTables(raw(), work));
    ASSERT_NO_FATAL_FAILURE(makeTables(raw(), {"FRQDST05"}));
    std::string other = prefix().empty() ? "Z" : prefix();
    for (char& ch : other)
        if (ch == '_') ch = 'Z';
    const std::string otherTable = "\"" + other + "FRQDST3\"";
    ASSERT_TRUE(exec("CREATE TABLE " + otherTable + " (V INTEGER)"));
    ASSERT_TRUE(exec("INSERT INTO " + t("FLD") + " (FLD_ID) VALUES (9000000)"));
    ASSERT_TRUE(exec("INSERT INTO " + t("HGMETA") + " (HGM_ID) VALUES (2)"));

    std::multiset<std::string> dropped;
    {
        LogCapture log(1);
        EXPECT_TRUE(drop()) << error().str();
        const std::regex statement("DROP TABLE [^ ]*?(FRQDST|HSM|HCM)([0-9]+)\\b");
        for (const VqLogEntry& entry : log.entries()) {
            std::smatch m;
            if (entry.text.find("sql [") != std::string::npos && std::regex_search(entry.text, m, statement))
                dropped.insert(m[1].str() + m[2].str());
        }
    }
    EXPECT_EQ(dropped, std::multiset<std::string>(work.begin(), work.end()));
    EXPECT_EQ(existingTables(work), std::vector<std::string>());
    EXPECT_EQ(existingTables({"FRQDST05"}), std::vector<std::string>({"FRQDST05"}));
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + otherTable), Rows({{"0"}}));
    exec("DROP TABLE " + otherTable);
    exec("DROP TABLE " + t("FRQDST05"));
}

// A configured name opens (only a connector repository takes the pool); a name only the list file
// knows does not; listed entries are probed without creating files.
TEST_P(RepositoryTest, NamedAndListedRepositories) {
    ASSERT_TRUE(create()) << error().str();
    const bool isFile = place() != Place::Postgres;
    config_.set("Sales.CONNECTION", where().c_str(), "REPOSITORIES");
    config_.set(isFile ? "Sales.FILE" : "Sales.PREFIX", isFile ? "true" : prefix().c_str(), "REPOSITORIES");
    Repository* named = admin()->openRepository("Sales", true, "pool-7");
    ASSERT_NE(named, nullptr) << error().str();
    VqbString pool;
    ASSERT_TRUE(vqbGetConfigOptions("REPOSITORY")->get("POOL_ID", pool));
    EXPECT_EQ(pool, VqbString(isFile ? "" : "pool-7"));
    named->release();

    TempDir listDir;
    RepositoryAdmin* listed = createRepositoryAdmin(0, listDir.file("repositories.lst").c_str());
    ASSERT_NE(listed, nullptr);
    ASSERT_TRUE(listed->addRepository(where().c_str(), prefix().c_str(), "Mine", isFile))
        << listed->getErrorMessage().str();
    EXPECT_EQ(listed->openRepository("Mine", true, nullptr), nullptr);
    EXPECT_EQ(listed->getErrorMessage(), reposMessage(1306, "Mine"));
    ASSERT_TRUE(listed->addRepository(listDir.file("missing.db").c_str(), "", "Missing", true));
    auto entries = [&](bool onlyCurrent) {
        Rows out;
        EXPECT_TRUE(listed->beginRepositoryList(true, onlyCurrent)) << listed->getErrorMessage().str();
        VqbString name, connection, tablePrefix, description, versionText;
        bool isDefault = false, file = false;
        while (listed->getNextRepository(name, isDefault, connection, tablePrefix, description, versionText, file))
            out.push_back({name.str(), description.str(), versionText.str()});
        return out;
    };
    EXPECT_EQ(entries(false),
              (Rows{{"Mine", "Velqorin repository", "Unified v.8"}, {"Missing", "Failed to connect", "n/a"}}));
    EXPECT_EQ(entries(true), (Rows{{"Mine", "Velqorin repository", "Unified v.8"}}));
    EXPECT_FALSE(fileExists(listDir.file("missing.db"))) << "probing created a file";
    listed->release();
}

INSTANTIATE_TEST_SUITE_P(Places, RepositoryTest, ::testing::Values(Place::Direct, Place::File, Place::Postgres),
                         placeName);

TEST(RepositoryAdminCreate, PrefixMustStartWithALetter) {
    TempDir dir;
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    ASSERT_NE(admin, nullptr);
    for (const char* prefix : {"1ABC", "_X", " P"}) {
        EXPECT_FALSE(admin->createRepository(
            VqbString::format("VQXTYPE=SQLITE;CREATE=TRUE;FILE=%s", dir.file("r.db").c_str()), prefix));
        EXPECT_EQ(admin->getErrorMessage(), reposMessage(1303)) << prefix;
    }
    EXPECT_FALSE(fileExists(dir.file("r.db")));
    admin->release();
}
