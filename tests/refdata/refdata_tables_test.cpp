// The reference-data table set: creation, upgrade and DDL scripts seed once and leave the id
// counters above the seeds.
#include <cstdio>

#include "refdata_fixture.h"
#include "vqbmessage.h"

namespace {

// Seeded tables: rows, the column a seed is found by, and the id counter afterwards.
struct Seeded {
    const char* table;
    int rows;
};
const Seeded kSeeded[] = {{"RDOPRS", 5}, {"RDLANS", 18}, {"RDATRC", 2}, {"RDATTY", 4}};

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

REPOS_EVERY_PLACE(RefDataTables);
