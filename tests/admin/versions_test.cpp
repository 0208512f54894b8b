// Reading versions from INFO, the acceptance checks, the repository's forwarders, and the data
// steps shared with the upgrade: id counters and dashboard defaults.
#include "repos_fixture.h"

TEST(RepositoryVersions, KindAndVersionsFollowTheInfoRows) {
    struct Case {
        const char* name;
        const char* versionColumn;
        std::vector<std::pair<const char*, const char*>> rows;  // I_TYPE, value as SQL
        RepositoryKind kind;
        int version, second, minor;
        bool ncoa;
    };
    const Case cases[] = {
        {"no rows", "I_VERS", {}, REPOS_KIND_NONE, 0, 0, 0, false},
        {"NCOA only", "I_VERS", {{"NCOA", "1"}}, REPOS_KIND_UNIFIED, 0, 0, 0, true},
        {"legacy pair", "I_VERS", {{"PROFILE_RESULTSET", "1.8"}, {"MONITOR", "3"}}, REPOS_KIND_PROFILE_AND_MONITOR,
         18, 3, 0, false},
        {"profile only", "I_VERS", {{"PROFILE_RESULTSET", "1.79"}}, REPOS_KIND_PROFILE, 17, 0, 0, false},
        {"monitor only, old column", "I_VERSION", {{"MONITOR", "5"}}, REPOS_KIND_MONITOR, 5, 0, 0, false},
        {"lower-case type", "I_VERS", {{"vqrepository", "8"}}, REPOS_KIND_NONE, 0, 0, 0, false},
        {"below version 4", "I_VERS", {{"VQREPOSITORY", "3"}}, REPOS_KIND_UNIFIED, 3, 0, 0, false},
        {"current", "I_VERS", {{"VQREPOSITORY", "8"}, {"NCOA", "1"}, {"MYSET", "3"}}, REPOS_KIND_UNIFIED, 8, 0, 1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenedRepository r(false);
        ASSERT_TRUE(r.exec(std::string("CREATE TABLE INFO (I_TYPE VARCHAR, ") + c.versionColumn +
                           " FLOAT, I_DESC VARCHAR, I_UUID VARCHAR, I_MVER INTEGER)"));
        for (const auto& row : c.rows)
            ASSERT_TRUE(r.exec(std::string("INSERT INTO INFO (I_TYPE, ") + c.versionColumn + ", I_MVER) VALUES ('" +
                               row.first + "', " + row.second + ", 1)"));
        ASSERT_TRUE(r.reopen());
        RepositoryAccessMode mode;
        RepositoryKind kind;
        int version = -1, second = -1, typeVersion = -1;
        r->getRepositoryInfo(mode, kind, version, second);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(second, c.second);
        EXPECT_EQ(r->getMinorVersion(), c.minor);
        EXPECT_EQ(r->hasNCOA(), c.ncoa);
        EXPECT_EQ(r->isVersionAcceptable(), c.kind == REPOS_KIND_UNIFIED && c.version == 8);
        EXPECT_TRUE(r->getTypeVersion("MYSET", &typeVersion));
        EXPECT_EQ(typeVersion, std::string(c.name) == "current" ? 3 : 0);
    }
}

TEST(RepositoryVersions, AcceptedRangeComesFromTheConfiguration) {
    OpenedRepository r(false);
    ASSERT_TRUE(r.exec("CREATE TABLE INFO (I_TYPE VARCHAR, I_VERS INTEGER, I_MVER INTEGER)"));
    ASSERT_TRUE(r.exec("INSERT INTO INFO VALUES ('VQREPOSITORY', 7, 0)"));
    ASSERT_TRUE(r.reopen());
    EXPECT_FALSE(r->isVersionAcceptable());
    r.config.set("BASE/REPOS_VERSION_ACCEPT_LOW", "6");
    EXPECT_TRUE(r->isVersionAcceptable());
    // Only version 8 needs a minor version.
    EXPECT_TRUE(r->isMinorVersionAcceptable());
    r.config.set("BASE/REPOS_VERSION_ACCEPT_LOW", "abc");
    EXPECT_FALSE(r->isVersionAcceptable());

    ASSERT_TRUE(r.exec("UPDATE INFO SET I_VERS=9"));
    ASSERT_TRUE(r.reopen());
    r.config.set("BASE/REPOS_VERSION_ACCEPT_LOW", "6");
    EXPECT_FALSE(r->isVersionAcceptable());
    r.config.set("BASE/REPOS_VERSION_ACCEPT_HIGH", "9");
    EXPECT_TRUE(r->isVersionAcceptable());

    ASSERT_TRUE(r.exec("UPDATE INFO SET I_VERS=8"));
    ASSERT_TRUE(r.reopen());
    EXPECT_FALSE(r->isMinorVersionAcceptable());
}

// The failure's text of a query through the repository comes back to the caller.
TEST(RepositoryForwarders, FailedQueryReturnsItsText) {
    OpenedRepository r;
    VqbString error;
    EXPECT_EQ(r->paramSelect("SELECT * FROM NOPE", &error, 0), nullptr);
    EXPECT_NE(error.str().find("NOPE"), std::string::npos) << error.str();
}

// A script run reads nothing and changes nothing; a real run counts past every id in use.
TEST(RepositoryDataSteps, IdCountersCoverEveryIdInUse) {
    OpenedRepository r;
    ASSERT_TRUE(
        r.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('RULE', 3), ('RULE', 7), ('TASKS', 50), ('CUSTM', 90)"));
    ASSERT_TRUE(r.exec("INSERT INTO RULE (RU_ID, RU_TYPE) VALUES (40, 'r')"));
    ASSERT_TRUE(r.exec("INSERT INTO CUSTM (CM_ID, CM_DESC) VALUES (12, 'c')"));
    Recorder script;
    r->setDDLCallback(&script);
    EXPECT_TRUE(r->ensureIdCounters());
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM UCURID"), (Rows{{"4"}}));
    r->setDDLCallback(nullptr);

    ASSERT_TRUE(r->ensureIdCounters());
    EXPECT_EQ(r.rows("SELECT NI_KEY, NI_VAL FROM UCURID ORDER BY NI_KEY"),
              (Rows{{"CUSTM", "90"}, {"RULE", "40"}, {"TASKS", "50"}}));
}

TEST(RepositoryDataSteps, DashboardDefaultsFillWhatIsMissing) {
    OpenedRepository r;
    // Group 1 exists already; two more groups; a counter ahead of the fixed dimension id; a
    // placeholder dimension of older versions.
    ASSERT_TRUE(
        r.exec("INSERT INTO RPTGRP (GRP_ID, GRP_NAME, GRP_DESC, INTNUM) VALUES (1, 'Mine', 'old', 3), "
               "(2, 'B', 'b', 1), (3, 'C', 'c', 1)"));
    ASSERT_TRUE(r.exec("INSERT INTO UCURID (NI_KEY, NI_VAL) VALUES ('DIMENS', 5)"));
    ASSERT_TRUE(r.exec("INSERT INTO DIMENS (DIM_ID, DIM_NAME) VALUES (1, 'Default')"));
    ASSERT_TRUE(r.exec("INSERT INTO EXEC (EX_ID) VALUES (1)"));
    Recorder script;
    r->setDDLCallback(&script);
    EXPECT_TRUE(r->ensureDashboardDefaults());
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM DIMENS"), (Rows{{"1"}}));
    r->setDDLCallback(nullptr);

    // A second run finds everything in place.
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(r->ensureDashboardDefaults()) << r->getErrorMessage().str();
        EXPECT_EQ(r.rows("SELECT GRP_NAME, GRP_DESC, INTNUM FROM RPTGRP WHERE GRP_ID=1"),
                  (Rows{{"Mine", "Default dashboard", "3"}}));
        EXPECT_EQ(r.rows("SELECT DIM_ID, DIM_NAME FROM DIMENS ORDER BY DIM_ID"),
                  (Rows{{"1", "Accuracy"}, {"6", "Consistency"}, {"7", "Structure"}, {"8", "Integrity"},
                        {"9", "Validity"}, {"10", "Completeness"}}));
        EXPECT_EQ(r.rows("SELECT COUNT(*) FROM DIMGRP WHERE THR_ID=1 AND WGHT=1.0"), (Rows{{"18"}}));
        EXPECT_EQ(r.rows("SELECT GRP_ID FROM EXEC"), (Rows{{"1"}}));
        EXPECT_EQ(r.rows("SELECT THR_NAME, NAME_1, COLOR_1 FROM THRHLD"), (Rows{{"Default", "Medium", "3"}}));
    }
}

TEST(RepositoryDataSteps, FailedDashboardStepKeepsNothing) {
    OpenedRepository r;
    ASSERT_TRUE(r.exec("DROP TABLE JBRUME"));
    EXPECT_FALSE(r->ensureDashboardDefaults());
    EXPECT_NE(r->getErrorMessage().str().find("JBRUME"), std::string::npos) << r->getErrorMessage().str();
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM RPTGRP"), (Rows{{"0"}}));
    EXPECT_EQ(r.rows("SELECT COUNT(*) FROM DIMENS"), (Rows{{"0"}}));
}
