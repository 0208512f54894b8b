// Upgrades of repositories that are current, of their NCOA tables, and of databases that hold no
// repository or an older one.
#include <map>
#include <string>

#include "upgrade_fixture.h"
#include "vqbmessage.h"

namespace {

using CurrentUpgradeTest = UpgradeTest;

}  // namespace

// A current repository is left alone, its NCOA tables too; a table set added to the installation
// is applied by an upgrade, after which the repository is current again.
TEST_P(CurrentUpgradeTest, CurrentRepositoryIsLeftAloneUntilANewTableSetComes) {
    ASSERT_TRUE(create()) << error().str();
    const Snapshot before = everything();
    for (int round = 0; round < 3; ++round) {
        if (round == 1)
            writeSpec("quality.xml",
                      "<tableset name='QUALITY' version='1'><tabledef name='QSCORE'>"
                      "<column name='QS_ID' type='integer' primarykey='true'/></tabledef></tableset>");
        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_EQ(repository->upgrade(), round == 1) << repository->getErrorMessage().str();
        EXPECT_EQ(repository->getErrorMessage(), round == 1 ? VqbString() : reposMessage(1314));
        if (round == 0) {
            EXPECT_TRUE(repository->upgradeNCOA()) << repository->getErrorMessage().str();
        }
        repository->release();
        if (round == 0) {
            EXPECT_EQ(everything(), before);
        }
    }
    EXPECT_EQ(existingTables({"QSCORE"}).size(), 1u);
    EXPECT_EQ(value("SELECT I_VERS FROM " + t("INFO") + " WHERE I_TYPE = 'QUALITY'"), "1");
}

// A newer table set makes its new column's index and leaves every index that is there alone,
// whichever road made the file and named its indexes.
TEST_P(CurrentUpgradeTest, ATableSetUpgradeMakesNoIndexTwice) {
    auto quality = [&](const char* version, const char* more) {
        writeSpec("quality.xml", std::string("<tableset name='QUALITY' version='") + version +
                                     "' indexprefix='QS'><tabledef name='QSCORE'>"
                                     "<column name='QS_ID' type='integer' primarykey='true'/>"
                                     "<column name='QS_NAME' type='string' length='40' indexnum='951'/>" +
                                     more + "</tabledef></tableset>");
    };
    quality("1", "");
    ASSERT_TRUE(create()) << error().str();
    std::map<std::string, int> expected = indexShapes();
    ASSERT_EQ(expected.count("QSCORE (QS_NAME)"), 1u);
    for (const auto& [shape, count] : expected) EXPECT_EQ(count, 1) << shape;

    quality("2", "<column name='QS_NOTE' type='string' length='40' indexnum='952'/>");
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    EXPECT_TRUE(repository->upgrade()) << repository->getErrorMessage().str();
    repository->release();
    expected["QSCORE (QS_NOTE)"] = 1;
    EXPECT_EQ(indexShapes(), expected);
}

TEST_P(CurrentUpgradeTest, NcoaRowIsAddedOrBroughtToTheCurrentVersion) {
    ASSERT_TRUE(create()) << error().str();
    const std::string info = t("INFO");
    const std::string ncoaRows = "SELECT I_VERS FROM " + info + " WHERE I_TYPE = 'NCOA'";
    // No NCOA row, then one of version 0.
    for (const char* change :
         {"DELETE FROM %s WHERE I_TYPE = 'NCOA'", "UPDATE %s SET I_VERS = 0 WHERE I_TYPE = 'NCOA'"}) {
        SCOPED_TRACE(change);
        run(VqbString::format(change, info.c_str()).str());
        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_FALSE(repository->hasNCOA());
        ASSERT_TRUE(repository->upgradeNCOA()) << repository->getErrorMessage().str();
        EXPECT_TRUE(repository->hasNCOA());
        repository->release();
        EXPECT_EQ(query(ncoaRows), (Rows{{"1"}}));
        // The main version rows are not touched.
        EXPECT_EQ(query("SELECT I_VERS, I_MVER FROM " + info + " WHERE I_TYPE = 'VQREPOSITORY'"), (Rows{{"8", "1"}}));
    }
    // The NCOA tables come back when missing.
    db()->dropTable("NCOALO");
    run("DELETE FROM " + info + " WHERE I_TYPE = 'NCOA'");
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    ASSERT_TRUE(repository->upgradeNCOA()) << repository->getErrorMessage().str();
    repository->release();
    EXPECT_EQ(existingTables({"NCOALO"}).size(), 1u);
}

// Without a repository (an empty database, INFO only, KEYVAL only) there is nothing to upgrade:
// an upgrade would stamp the database as one without its initial rows.
TEST_P(CurrentUpgradeTest, NothingToUpgradeWithoutARepository) {
    for (const char* table : {"", "INFO", "KEYVAL"}) {
        SCOPED_TRACE(table);
        TearDown();
        SetUp();
        run(std::string("CREATE TABLE ") + t(*table ? table : "OTHER") + " (A_COLUMN VARCHAR(32))");
        const Snapshot before = everything();
        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_FALSE(repository->upgradeNCOA());
        EXPECT_EQ(repository->getErrorMessage(), reposMessage(1050));
        EXPECT_FALSE(repository->hasNCOA());
        EXPECT_FALSE(repository->upgrade());
        EXPECT_EQ(repository->getErrorMessage(), reposMessage(1050));
        repository->release();
        EXPECT_EQ(everything(), before);
        EXPECT_TRUE(existingTables({"NCOALO", "UCURID", "RULE"}).empty());
    }
}

// An NCOA row would make an older repository read as unified, so that its own upgrade (counters,
// renamed columns) would never run.
TEST_P(CurrentUpgradeTest, NcoaUpgradeOfAnOlderRepositoryIsRefused) {
    build(Legacy::Monitor);
    run("CREATE TABLE " + t("KEYVAL") + " (V_KEY VARCHAR(32), V_VALUE VARCHAR(255))");
    const Snapshot before = everything();
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    EXPECT_FALSE(repository->upgradeNCOA());
    EXPECT_FALSE(repository->getErrorMessage().isEmpty());
    repository->release();
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(upgradeToCurrent(), 2);
}

// Behaves alike on every back end; the legacy upgrades run on the server too.
INSTANTIATE_TEST_SUITE_P(Places, CurrentUpgradeTest, ::testing::Values(Place::Direct, Place::File), placeName);
