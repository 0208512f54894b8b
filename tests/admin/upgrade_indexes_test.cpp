// An upgrade gives the tables an older repository already had every single-column index the
// catalogue declares, as a new repository has them, whichever back end holds them.
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "repos_tables.h"
#include "upgrade_fixture.h"
#include "vqbmessage.h"

namespace {

class UpgradeIndexesTest : public UpgradeTest {
protected:
    // The columns of table the catalogue indexes one by one (a key column has its key) that have
    // no index.
    std::set<std::string> unindexed(const std::string& table) {
        std::set<std::string> columns;
        const ReposColumnDef* first = findReposTable(table.c_str());
        for (const ReposColumnDef* record = first; record && !isReposEndRecord(record); ++record)
            if (record->column && (record->flags & REPOS_COL_INDEXED) && !(record->flags & REPOS_COL_PRIMARY))
                columns.insert(record->column);
        ReposHeld<ReposDataAccessCursor> cursor(db()->getIndexes(table));
        EXPECT_NE(cursor.get(), nullptr) << db()->getLastErrorMessage().str();
        while (cursor && cursor->next() == 1) {
            std::string column = cursor->getString(1).str();
            std::transform(column.begin(), column.end(), column.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
            columns.erase(column);
        }
        return columns;
    }

    // The column lists the catalogue indexes the table by ("A" or "A, B"), upper-cased: each indexed
    // column that is not its key, and each composite index over plain columns.
    static std::set<std::string> declared(const ReposColumnDef* first) {
        std::set<std::string> lists;
        for (const ReposColumnDef* record = first; !isReposEndRecord(record); ++record)
            if (record->column && (record->flags & REPOS_COL_INDEXED) && !(record->flags & REPOS_COL_PRIMARY))
                lists.insert(upper(record->column));
        for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
            const ReposIndexDef* def = getReposIndexDef(i);
            // Indexes over a folded name are listed by their expression: the test below has them.
            if (!def->table || def->foldLast || upper(def->table) != upper(first->table)) continue;
            std::string list;
            for (const char* column : def->columns)
                if (column && *column) list += (list.empty() ? "" : ", ") + upper(column);
            lists.insert(list);
        }
        return lists;
    }

    // The table's indexes by column list, upper-cased, each with its names.
    std::map<std::string, std::vector<std::string>> indexes(ReposDataAccess* connection, const char* table) {
        std::map<std::string, std::vector<std::string>> found;
        ReposHeld<ReposDataAccessCursor> cursor(connection->getIndexes(table));
        EXPECT_NE(cursor.get(), nullptr) << connection->getLastErrorMessage().str();
        while (cursor && cursor->next() == 1)
            found[upper(cursor->getString(1).str())].push_back(cursor->getString(0).str());
        return found;
    }

    // The index definitions of the repository as its database describes them: table (upper case,
    // without prefix) -> index name -> definition text.
    std::map<std::string, std::map<std::string, std::string>> definitions() {
        const bool server = place() == Place::Postgres;
        // Only this repository's tables: others' may go while the server describes them.
        Rows rows = query(server ? "SELECT tablename, indexname, indexdef FROM pg_indexes WHERE schemaname = "
                                   "current_schema() AND starts_with(tablename, '" + prefix() + "')"
                                 : "SELECT tbl_name, name, sql FROM sqlite_master WHERE type = 'index' AND sql IS "
                                   "NOT NULL");
        std::map<std::string, std::map<std::string, std::string>> found;
        for (const auto& r : rows) {
            if (r[0].compare(0, prefix().size(), prefix()) != 0) continue;
            found[upper(r[0].substr(prefix().size()))][r[1]] = r[2];
        }
        return found;
    }
    static std::string upper(std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return text;
    }
    // The indexes that look objects of a folder up by name ignoring ASCII case: over the folder
    // column and the name folded by NOCASE (SQLite) or by translate() of the 26 letters in byte
    // order (PostgreSQL, where lower() would follow the locale); and folders by normalised name.
    std::map<std::string, std::string> nameIndexes() {
        struct Expected {
            const char* table;
            const char* name;
        };
        static const Expected kFolded[] = {{"MPRJ", "PRJ_NM"},   {"JSETUP", "SU_NAME"},  {"RULE", "RU_DESC"},
                                           {"MJOB", "JB_DESC"},  {"EXSRC", "ES_NAME"},   {"DIMENS", "DIM_NAME"},
                                           {"THRHLD", "THR_NAME"}};
        const bool server = place() == Place::Postgres;
        std::map<std::string, std::string> found;  // index name -> table
        auto all = definitions();
        for (const Expected& e : kFolded)
            for (const auto& [index, text] : all[e.table]) {
                const std::string t = upper(text);
                const std::string folded =
                    server ? "FLDR_ID, TRANSLATE((" + std::string(e.name) +
                                 ")::TEXT, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'::TEXT, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ'::TEXT) "
                                 "COLLATE \"C\")"
                           : "\"FLDR_ID\", \"" + std::string(e.name) + "\" COLLATE NOCASE)";
                if (t.find(folded) != std::string::npos) found[index] = e.table;
            }
        for (const auto& [index, text] : all["FOLDER"])
            if (upper(text).find(server ? "(NAM_NORM, FLDR_PAR)" : "(\"NAM_NORM\", \"FLDR_PAR\")") !=
                std::string::npos)
                found[index] = "FOLDER";
        return found;
    }
};

}  // namespace

// A repository made before objects were looked up by folded name gains those indexes at its
// upgrade, and again at its next check when they are gone; a second check makes none twice.
TEST_P(UpgradeIndexesTest, NameLookupIndexesComeWithTheUpgradeAndTheNextCheck) {
    build(Legacy::Both);
    ASSERT_GT(upgradeToCurrent(), 0);
    // Per table, how many such indexes it has (a file checked directly names them otherwise).
    auto perTable = [](const std::map<std::string, std::string>& indexes) {
        std::map<std::string, int> count;
        for (const auto& entry : indexes) ++count[entry.second];
        return count;
    };
    const std::map<std::string, int> one = {{"DIMENS", 1}, {"EXSRC", 1}, {"FOLDER", 1}, {"JSETUP", 1},
                                            {"MJOB", 1},   {"MPRJ", 1},  {"RULE", 1},   {"THRHLD", 1}};
    const std::map<std::string, std::string> indexes = nameIndexes();
    EXPECT_EQ(perTable(indexes), one);
    EXPECT_EQ(unindexed("RPTGRP"), std::set<std::string>());

    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    ReposDataAccess* connection = repository->connection();
    const std::string quote = connection->getIdentifierQuote().str();
    for (const auto& entry : indexes)
        ASSERT_TRUE(connection->paramExec("DROP INDEX " + quote + entry.first + quote, nullptr, 0))
            << connection->getLastErrorMessage().str();
    ASSERT_TRUE(nameIndexes().empty());
    ReposTableRequest request;
    for (int check = 0; check < 2; ++check) {
        EXPECT_TRUE(connection->checkTable(request)) << connection->getLastErrorMessage().str();
        EXPECT_EQ(perTable(nameIndexes()), one) << "check " << check;
    }
    repository->release();
}

TEST_P(UpgradeIndexesTest, OldTablesGainTheirDeclaredIndexes) {
    build(Legacy::Both);
    ASSERT_GT(upgradeToCurrent(), 0);
    const std::set<std::string> none;
    for (const OldTable& old : oldTables(Legacy::Both)) EXPECT_EQ(unindexed(old.name), none) << old.name;
    // Tables the upgrade creates, among them every child table of profile jobs, indexed by job and
    // by the parent its rows are read by.
    for (const char* table : {"RUFIME", "JKEYVL", "JGMET", "JDSN", "JTABLE", "JFLD", "JFLDME", "JLNKFL", "JFLDPR",
                              "JALERT", "JALPRP", "JCHART", "JCHPRP", "JTBLME", "JCMDMA", "JTBLRU", "JTBLMA",
                              "JRCFGS", "JFRDA"})
        EXPECT_EQ(unindexed(table), none) << table;

    // A repository made before BIGSTR's chunks were indexed gains the index at its next check;
    // a second check finds every index there and makes none twice.
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    ReposDataAccess* connection = repository->connection();
    std::string index;
    {
        ReposHeld<ReposDataAccessCursor> cursor(connection->getIndexes("BIGSTR"));
        while (cursor && cursor->next() == 1)
            if (cursor->getString(1).equals("BS_DATA", false)) index = cursor->getString(0).str();
    }
    ASSERT_FALSE(index.empty());
    const std::string quote = connection->getIdentifierQuote().str();
    ASSERT_TRUE(connection->paramExec("DROP INDEX " + quote + index + quote, nullptr, 0))
        << connection->getLastErrorMessage().str();
    EXPECT_EQ(unindexed("BIGSTR"), std::set<std::string>{"BS_DATA"});
    ReposTableRequest request;
    EXPECT_TRUE(repository->connection()->checkTable(request)) << repository->connection()->getLastErrorMessage().str();
    repository->release();
    EXPECT_EQ(unindexed("CUSTM"), none);
    EXPECT_EQ(unindexed("BIGSTR"), none);
}

// A repository made before any of the catalogues' indexes existed gains each of them, single and
// composite, at its next table check; a second check makes none twice.
TEST_P(UpgradeIndexesTest, ATableCheckMakesEveryDeclaredIndexThatIsMissing) {
    ASSERT_TRUE(create()) << error().str();
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    ReposDataAccess* connection = repository->connection();
    const std::string quote = connection->getIdentifierQuote().str();
    std::map<std::string, std::set<std::string>> tables;
    for (ReposCatalogId catalog : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        ReposCatalogWalk walk(catalog);
        while (const ReposColumnDef* first = walk.nextTable()) {
            const std::set<std::string> lists = declared(first);
            if (!lists.empty()) tables[first->table] = lists;
        }
    }
    size_t dropped = 0;
    for (const auto& [table, lists] : tables) {
        const auto present = indexes(connection, table.c_str());
        for (const std::string& list : lists) {
            ASSERT_TRUE(present.count(list)) << table << " (" << list << ") not made with the repository";
            for (const std::string& name : present.at(list)) {
                ASSERT_TRUE(connection->paramExec("DROP INDEX " + quote + name + quote, nullptr, 0))
                    << table << " " << name << ": " << connection->getLastErrorMessage().str();
                ++dropped;
            }
        }
    }
    ASSERT_GE(dropped, 6u);
    std::map<std::string, size_t> counts;
    for (int check = 0; check < 2; ++check) {
        for (uint8_t catalog : {0, 1}) {
            ReposTableRequest request;
            request.catalog = catalog;
            ASSERT_TRUE(connection->checkTable(request)) << connection->getLastErrorMessage().str();
        }
        for (const auto& [table, lists] : tables) {
            const auto present = indexes(connection, table.c_str());
            for (const std::string& list : lists) EXPECT_TRUE(present.count(list)) << table << " (" << list << ")";
            if (check == 0) counts[table] = present.size();
            else EXPECT_EQ(present.size(), counts[table]) << table;
        }
    }
    repository->release();
}

// The NCOA tables of a current repository are not made again by an upgrade; they still gain the
// indexes declared for them since, at any upgrade that runs (here one that applies a new table set).
TEST_P(UpgradeIndexesTest, CurrentNcoaTablesGainTheirIndexesAtAnUpgrade) {
    ASSERT_TRUE(create()) << error().str();
    ReposDataAccess* connection = db();
    const std::string quote = connection->getIdentifierQuote().str();
    for (const char* table : {"NCOAEX", "NCOAPA"}) {
        std::vector<std::string> indexes;
        {
            ReposHeld<ReposDataAccessCursor> cursor(connection->getIndexes(table));
            while (cursor && cursor->next() == 1)
                if (!cursor->getString(1).equals(table == std::string("NCOAEX") ? "RUN_ID" : "PAF_ID", false))
                    indexes.push_back(cursor->getString(0).str());
        }
        ASSERT_FALSE(indexes.empty()) << table;
        for (const std::string& index : indexes)
            ASSERT_TRUE(connection->paramExec("DROP INDEX " + quote + index + quote, nullptr, 0))
                << connection->getLastErrorMessage().str();
    }
    const std::set<std::string> none;
    ASSERT_NE(unindexed("NCOAEX"), none);
    ASSERT_NE(unindexed("NCOAPA"), none);
    dropDb();

    writeSpec("quality.xml",
              "<tableset name='QUALITY' version='1'><tabledef name='QSCORE'>"
              "<column name='QS_ID' type='integer' primarykey='true'/></tabledef></tableset>");
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    EXPECT_TRUE(repository->upgrade()) << repository->getErrorMessage().str();
    repository->release();
    EXPECT_EQ(unindexed("NCOAEX"), none);
    EXPECT_EQ(unindexed("NCOAPA"), none);
}

// A repository at the current version that lacks indexes the catalogue declares (it was made
// before them) gains exactly those at its upgrade, and nothing else changes: no row, no version.
// With nothing missing, or once they are there, the upgrade has nothing to do.
TEST_P(UpgradeIndexesTest, ACurrentRepositoryGainsTheIndexesItLacksAndNothingElse) {
    ASSERT_TRUE(create()) << error().str();
    // A host's own table and index are not the catalogue's.
    run("CREATE TABLE " + t("HOSTTAB") + " (H_ID INTEGER, H_NAME VARCHAR(40))");
    run("CREATE INDEX " + prefix() + "HOSTIDX ON " + t("HOSTTAB") + " (H_NAME)");
    run("CREATE INDEX " + prefix() + "HOSTRULE ON " + t("RULE") + " (RU_TYPE, RU_GROUP)");
    const std::map<std::string, int> made = indexShapes();
    for (const auto& [shape, count] : made) EXPECT_EQ(count, 1) << shape;
    const Snapshot rows = everything();
    // The table check records the connector's text length, which a file made directly lacks.
    auto withoutTextLength = [](Snapshot snapshot) {
        Rows& keys = snapshot["KEYVAL"];
        keys.erase(std::remove_if(keys.begin(), keys.end(), [](const auto& row) { return row[0] == "MAX_TEXT_LEN"; }),
                   keys.end());
        return snapshot;
    };
    auto upgradeAnswers = [&](bool expected, const VqbString& text) {
        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_EQ(repository->upgrade(), expected) << repository->getErrorMessage().str();
        EXPECT_EQ(repository->getErrorMessage(), text);
        repository->release();
    };
    upgradeAnswers(false, reposMessage(1314));
    EXPECT_EQ(indexShapes(), made);

    // A column's own index, an NCOA table's, a composite and one over a folded name.
    const std::pair<const char*, const char*> gone[] = {
        {"RULE", "(RU_UUID)"}, {"NCOAEX", "(GRP_ID)"}, {"TRIG", "(EX_ID,RU_ID)"}, {"MPRJ", "(FLDR_ID,*"}};
    const std::string quote = db()->getIdentifierQuote().str();
    for (const auto& [table, keys] : gone) {
        const std::vector<std::string> names = indexesShaped(table, keys);
        ASSERT_EQ(names.size(), 1u) << table << " " << keys;
        run("DROP INDEX " + quote + names[0] + quote);
    }
    ASSERT_EQ(indexShapes().size() + 4, made.size());
    upgradeAnswers(true, VqbString());
    EXPECT_EQ(indexShapes(), made);
    EXPECT_EQ(withoutTextLength(everything()), withoutTextLength(rows));
    upgradeAnswers(false, reposMessage(1314));
    EXPECT_EQ(indexShapes(), made);

    // The other road names a file's indexes otherwise; its table check finds them all the same.
    if (place() == Place::Postgres) return;
    RepositoryImpl* other = static_cast<RepositoryImpl*>(
        place() == Place::File ? admin()->openFileRepository(where(), false)
                               : admin()->connectRepository(RepositoryAdminImpl::fileConnection(where()), "", false,
                                                            nullptr));
    ASSERT_NE(other, nullptr) << admin()->getErrorMessage().str();
    for (uint8_t catalog : {0, 1}) {
        ReposTableRequest request;
        request.catalog = catalog;
        EXPECT_TRUE(other->connection()->checkTable(request)) << other->connection()->getLastErrorMessage().str();
    }
    other->release();
    EXPECT_EQ(indexShapes(), made);
}

// An index that cannot be made (its name is taken) leaves the upgrade false with the DBMS's
// reason, not true; the index that took the name is the host's and stays.
TEST_P(UpgradeIndexesTest, AnIndexThatCannotBeMadeFailsTheUpgrade) {
    ASSERT_TRUE(create()) << error().str();
    const std::vector<std::string> names = indexesShaped("TRIG", "(EX_ID,RU_ID)");
    ASSERT_EQ(names.size(), 1u);
    const std::string quote = db()->getIdentifierQuote().str();
    run("DROP INDEX " + quote + names[0] + quote);
    // The name the connector gives it, which the upgrade of a file opened directly uses too.
    const std::string taken = (place() == Place::Postgres ? prefix() : std::string("VQ")) + "CPD1";
    run("CREATE INDEX " + quote + taken + quote + " ON " + t("INFOPR") + " (P_KEY)");
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    EXPECT_FALSE(repository->upgrade());
    const VqbString reason = repository->getErrorMessage();
    repository->release();
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_NE(reason, reposMessage(1314));
    EXPECT_TRUE(indexesShaped("TRIG", "(EX_ID,RU_ID)").empty());
    EXPECT_EQ(indexesShaped("INFOPR", "(P_KEY)"), std::vector<std::string>{taken});
}

REPOS_EVERY_PLACE(UpgradeIndexesTest);
