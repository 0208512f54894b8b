// An upgrade gives the tables an older repository already had every single-column index the
// catalogue declares, as a new repository has them, whichever back end holds them.
#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "repos_tables.h"
#include "upgrade_fixture.h"

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
};

}  // namespace

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

REPOS_EVERY_PLACE(UpgradeIndexesTest);
