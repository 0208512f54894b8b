// What the reference-data access must not do: keep statements, leave a row or a transaction level
// behind a failure, end a level it did not open, hand out an id before the commit, mistake a WHERE
// in a name for its own clause, name a column twice, or change a hostile text.
#include <string>

#include "refdata_fixture.h"
#include "vqbmessage.h"

class RefDataFaults : public RefDataTest {};

TEST_P(RefDataFaults, SelectsAndJoinsKeepNoStatement) {
    // Each statement left behind would stay allocated: the leak check at exit counts them.
    RefDataRepositoryDataAccess* r = rda_.get();
    for (int i = 0; i < 10000; ++i) {
        ReposHeld<ReposDataAccessCursor> rows(i % 2 ? r->listLanguages(kNone, "English", "")
                                                    : r->listUserAttributes(kNone, "", ""));
        ASSERT_NE(rows, nullptr) << "round " << i;
    }
    // Failing statements too.
    ASSERT_TRUE(exec("DROP TABLE " + t("RDPUBS")));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(r->listPublications(kNone, "p", "", kNone, kNone, "", ""), nullptr);
        EXPECT_FALSE(r->deletePublications(1, "", "", kNone, kNone, "", ""));
        EXPECT_FALSE(r->addPublication("p", "", 1, 1, "", "", nullptr));
    }
}

TEST_P(RefDataFaults, AFailedInsertLeavesNoRowNoLevelAndNoId) {
    RefDataRepositoryDataAccess* r = rda_.get();
    const VqbDate none;
    ASSERT_TRUE(exec("CREATE UNIQUE INDEX " + prefix() + "RDNAMEX ON " + t("RDDOMS") + " (DOMNAME)"));
    ASSERT_TRUE(r->beginTransaction(false));
    uint32_t id = 0;
    ASSERT_TRUE(r->addDomain("A", "", "", "", "", "", -1, "", -1, -1, none, "", &id));
    uint32_t refused = 777;
    EXPECT_FALSE(r->addDomain("A", "", "", "", "", "", -1, "", -1, -1, none, "", &refused));
    EXPECT_EQ(refused, 777u);
    if (place() == Place::Postgres) {
        // The server voids the transaction after a failed statement: the host rolls back.
        EXPECT_TRUE(db()->isInTransaction());
        EXPECT_TRUE(r->endTransaction(false));
        EXPECT_EQ(count("RDDOMS"), 0);
    } else {
        // Only the host's level is open, and its commit keeps the first row.
        EXPECT_TRUE(db()->isInTransaction());
        EXPECT_TRUE(r->endTransaction(true));
        EXPECT_EQ(raw("SELECT ID, DOMNAME FROM {RDDOMS}"), (Rows{{std::to_string(id), "A"}}));
    }
    EXPECT_FALSE(db()->isInTransaction());

    // The host's rollback undoes a committed inner insert.
    ASSERT_TRUE(r->beginTransaction(false));
    ASSERT_TRUE(r->addDomain("B", "", "", "", "", "", -1, "", -1, -1, none, "", nullptr));
    ASSERT_TRUE(r->endTransaction(false));
    EXPECT_EQ(raw("SELECT COUNT(*) FROM {RDDOMS} WHERE DOMNAME='B'"), (Rows{{"0"}}));
}

TEST_P(RefDataFaults, ABeginThatFailedEndsNoLevel) {
    if (place() == Place::Postgres) GTEST_SKIP() << "the server accepts a BEGIN inside a transaction";
    // The database is already in a transaction the connection does not count: its BEGIN fails.
    ASSERT_TRUE(db()->paramExec("BEGIN", nullptr, 0));
    uint32_t id = 777;
    EXPECT_FALSE(rda_->addLanguage("Welsh", "CY", &id));
    EXPECT_EQ(id, 777u);
    EXPECT_EQ(db()->getLastErrorMessage().str().find(reposMessage(1068, "").str().substr(0, 30)), std::string::npos)
        << db()->getLastErrorMessage().str();
    EXPECT_FALSE(db()->isInTransaction());
    ASSERT_TRUE(db()->paramExec("ROLLBACK", nullptr, 0));
    EXPECT_TRUE(rda_->addLanguage("Welsh", "CY", &id));
    EXPECT_EQ(id, 19u);
}

TEST_P(RefDataFaults, ANameHoldingWhereIsNotTheStatementsClause) {
    if (place() != Place::Postgres) GTEST_SKIP() << "only a server repository takes a table prefix";
    const std::string prefix = "NOWHERE" + uniqueTestPrefix('x');
    ASSERT_TRUE(admin()->createRepository(where(), prefix)) << admin()->getErrorMessage().str();
    ReposHeld<Repository> repository(admin()->connectRepository(where(), prefix, true, nullptr));
    ASSERT_NE(repository, nullptr);
    ReposHeld<RefDataRepositoryDataAccess> r(repository->createRefDataRepositoryDataAccess());
    uint32_t domain = 0, version = 0;
    EXPECT_TRUE(r->addDomain("D", "", "", "Y", "", "", 1, "", -1, -1, VqbDate(), "", &domain));
    EXPECT_TRUE(r->addDomainVersion(static_cast<int>(domain), 1, "", "", "", "", -1, "", -1, VqbDate(), &version));
    EXPECT_EQ(take(r->listLanguages(kNone, "English", "")).size(), 1u);
    EXPECT_EQ(take(r->listUserAttributes(kNone, "none", "")).size(), 0u);
    EXPECT_EQ(take(r->listDomainVersionInfo(domain, version)).size(), 1u);
    EXPECT_EQ(take(r->listDomainVersionsWithOwners(domain, true)).size(), 0u);
    EXPECT_EQ(take(r->listChildItems(version, kNone)).size(), 0u);
    EXPECT_TRUE(r->deleteLanguages(kNone, "Afrikaans", "AF"));
    EXPECT_EQ(take(r->listLanguages(kNone, "", "")).size(), 17u);
    r.reset();
    repository.reset();
    EXPECT_TRUE(admin()->deleteRepository(where(), prefix)) << admin()->getErrorMessage().str();
}

TEST_P(RefDataFaults, TextsRoundTripAndOverWidthFailsCleanly) {
    RefDataRepositoryDataAccess* r = rda_.get();
    // Both type texts given: the column is named once and takes the first.
    uint32_t id = 0;
    ASSERT_TRUE(r->addAttribute("both", "", 1, "FIRST", 1, 1, 0, "SECOND", &id));
    EXPECT_EQ(raw("SELECT ATTRTYPE FROM {RDATRS} WHERE ID=" + std::to_string(id)), (Rows{{"FIRST"}}));

    const std::string texts[] = {"it's \"quoted\"", "a; DROP TABLE RDLANS; --", std::string(10000, 'x'),
                                 "Größe – 大きさ – размер", "%s %d ?"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 40));
        ASSERT_TRUE(r->addItemAttributeValue(VqbString(text), 1, &id));
        EXPECT_EQ(take(r->listItemAttributeValues(id, "", kNone)), (Rows{{std::to_string(id), text, "1"}}));
        if (text.size() <= 255) {
            EXPECT_EQ(take(r->listItemAttributeValues(kNone, VqbString(text), kNone)).size(), 1u);
        }
    }
    // A flag wider than its column: refused by a server that checks widths, with no row left.
    const int before = count("RDDOAV");
    const bool stored = r->addDomainAttributeValue(1, "v", "YES", 1, nullptr);
    if (place() == Place::Postgres) {
        EXPECT_FALSE(stored);
        EXPECT_EQ(count("RDDOAV"), before);
        EXPECT_FALSE(db()->isInTransaction());
    }
}

TEST_P(RefDataFaults, RowsSurviveReopening) {
    uint32_t domain = 0;
    ASSERT_TRUE(rda_->addDomain("Kept", "", "", "", "", "", -1, "", -1, -1, VqbDate(), "", &domain));
    reopen();
    EXPECT_EQ(take(rda_->listDomains(domain, "", "", "", "", "", "", kNone, "", kNone, kNone, VqbDate(), "", VqbDate()))
                  .size(),
              1u);
    uint32_t next = 0;
    ASSERT_TRUE(rda_->addDomain("Next", "", "", "", "", "", -1, "", -1, -1, VqbDate(), "", &next));
    EXPECT_GT(next, domain);
}

REPOS_EVERY_PLACE(RefDataFaults);
