// Repositories of older versions upgraded to the current version: everything they held is kept,
// what they lacked is filled in, their counters go on, and a second upgrade finishes the minor
// version.
#include "upgrade_fixture.h"
#include "vqbmessage.h"

namespace {

struct Expected {
    Legacy legacy;
    RepositoryKind kind;
    int version;
};

class LegacyUpgradeTest : public UpgradeTest {
protected:
    void upgradeAndCheck(const Expected& expected) {
        // The connection text of the upgrade through the connector is built from the file's
        // path: a path holding that text's separators must still name that one file.
        if (place() != Place::Postgres) useFile(dir_.file("old; FILE=other.db {x} 'y'.db"));
        build(expected.legacy);
        const Snapshot before = snapshot(expected.legacy);

        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        RepositoryAccessMode mode;
        RepositoryKind kind;
        int version = 0, second = 0;
        repository->getRepositoryInfo(mode, kind, version, second);
        EXPECT_EQ(kind, expected.kind);
        ASSERT_TRUE(repository->upgrade()) << repository->getErrorMessage().str();
        // The object that was upgraded reports what the database now is, also when a delegate did
        // the work.
        repository->getRepositoryInfo(mode, kind, version, second);
        EXPECT_EQ(kind, REPOS_KIND_UNIFIED);
        EXPECT_EQ(version, REPOS_CURRENT_VERSION);
        const bool wasUnified = expected.kind == REPOS_KIND_UNIFIED;
        EXPECT_EQ(repository->isMinorVersionAcceptable(), wasUnified);
        repository->release();

        if (!wasUnified) {
            // The first upgrade leaves the minor version out, and so the pattern counts in their
            // old column: the second upgrade moves them.
            EXPECT_EQ(value("SELECT I_MVER FROM " + t("INFO") + " WHERE I_TYPE = 'VQREPOSITORY'"), "<null>");
            if (expected.legacy != Legacy::Monitor) {
                EXPECT_EQ(value("SELECT COUNT(*) FROM " + t("PATDST") + " WHERE PA_COUNT2 IS NULL"), "3");
            }
            repository = openRepository();
            ASSERT_NE(repository, nullptr);
            ASSERT_TRUE(repository->upgrade()) << repository->getErrorMessage().str();
            EXPECT_TRUE(repository->isMinorVersionAcceptable());
            repository->release();
        }
        EXPECT_EQ(value("SELECT I_MVER FROM " + t("INFO") + " WHERE I_TYPE = 'VQREPOSITORY'"), "1");
        verifyUpgraded(expected.legacy, before);

        // Once current, a further upgrade changes nothing.
        const Snapshot upgraded = everything();
        repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_FALSE(repository->upgrade());
        EXPECT_EQ(repository->getErrorMessage(), reposMessage(1314));
        repository->release();
        EXPECT_EQ(everything(), upgraded);
        dropDb();
        EXPECT_FALSE(fileExists(dir_.file("other.db")));
        EXPECT_FALSE(fileExists(dir_.file("old")));
    }
};

}  // namespace

TEST_P(LegacyUpgradeTest, ProfileRepository) { upgradeAndCheck({Legacy::Profile, REPOS_KIND_PROFILE, 0}); }

TEST_P(LegacyUpgradeTest, MonitorRepository) { upgradeAndCheck({Legacy::Monitor, REPOS_KIND_MONITOR, 3}); }

TEST_P(LegacyUpgradeTest, ProfileAndMonitorSideBySide) {
    upgradeAndCheck({Legacy::Both, REPOS_KIND_PROFILE_AND_MONITOR, 0});
}

TEST_P(LegacyUpgradeTest, UnifiedWithoutMinorVersion) { upgradeAndCheck({Legacy::Unified0, REPOS_KIND_UNIFIED, 8}); }

// A step that fails part-way leaves the identity definitions as they were (they are taken out and
// put back in one transaction) and reports why; once the cause is gone the upgrade completes,
// the steps that already ran doubling nothing.
TEST_P(LegacyUpgradeTest, FailedStepsLoseNothingAndCanBeRunAgain) {
    struct FailingInsert {
        const char* table;
        const char* column;
        const char* value;
        const char* columns;  // a table the old repository did not have is made for the check
    };
    const FailingInsert points[] = {
        {"MIDDEF", "IDENT_NM", "Phone", nullptr},
        // After the folders: a second run must not blank the shared folder or the initial rows.
        {"RPTGRP", "GRP_NAME", "Default", "GRP_ID INTEGER, GRP_NAME VARCHAR(255)"},
    };
    for (const FailingInsert& point : points) {
        SCOPED_TRACE(point.table);
        TearDown();
        SetUp();
        build(Legacy::Both);
        const Snapshot before = snapshot(Legacy::Both);
        if (point.columns) run("CREATE TABLE " + t(point.table) + " (" + point.columns + ")");
        // A trigger, or on PostgreSQL a check that old rows need not pass.
        const std::string refuse = std::string("refuse_") + point.table;
        run(place() == Place::Postgres
                ? "ALTER TABLE " + t(point.table) + " ADD CONSTRAINT " + refuse + " CHECK (" + point.column +
                      " <> '" + point.value + "') NOT VALID"
                : "CREATE TRIGGER " + refuse + " BEFORE INSERT ON " + t(point.table) + " WHEN NEW." + point.column +
                      " = '" + point.value + "' BEGIN SELECT RAISE(ABORT, 'refused by the test'); END");

        RepositoryImpl* repository = openRepository();
        ASSERT_NE(repository, nullptr);
        EXPECT_FALSE(repository->upgrade());
        EXPECT_NE(repository->getErrorMessage().str().find("refuse"), std::string::npos)
            << repository->getErrorMessage().str();
        RepositoryAccessMode mode;
        RepositoryKind kind;
        int version = 0, second = 0;
        repository->getRepositoryInfo(mode, kind, version, second);
        EXPECT_EQ(kind, REPOS_KIND_PROFILE_AND_MONITOR);
        repository->release();
        if (std::string(point.table) == "MIDDEF") {
            EXPECT_EQ(snapshot(Legacy::Both).at("MIDDEF"), before.at("MIDDEF"));
            EXPECT_EQ(value("SELECT COUNT(*) FROM " + t("MIDDEF") + " WHERE ID_UID IS NOT NULL"), "0");
        }

        run(place() == Place::Postgres ? "ALTER TABLE " + t(point.table) + " DROP CONSTRAINT " + refuse
                                       : "DROP TRIGGER " + refuse);
        EXPECT_EQ(upgradeToCurrent(), 2);
        verifyUpgraded(Legacy::Both, before);
    }
}

INSTANTIATE_TEST_SUITE_P(Places, LegacyUpgradeTest, ::testing::Values(Place::Direct, Place::File, Place::Postgres),
                         placeName);
