// Match definitions are found or added once, also by writers at the same time; text-file layouts
// are replaced whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "prof_rdaimpl.h"
#include "repos_fixture.h"

namespace {

class MatchAndLayouts : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo_ = std::make_unique<TestRepository>(GetParam());
        if (!repo_->connection()) GTEST_SKIP() << "no repository in this place";
        profile_.reset(new ProfileRDAImpl(repo_->connection()));
    }
    std::unique_ptr<TestRepository> repo_;
    ReposHeld<ProfileRepositoryDataAccess> profile_;
};

TEST_P(MatchAndLayouts, DefinitionsAreFoundOrAddedOnce) {
    const struct {
        const char* definition;
        const char* sensitivity;
        const char* locale;
        bool ok;
        int sameAs;  // index of the earlier case whose id this one gets; -1: a new id
    } cases[] = {
        {"Name", "85", "ENUSA", true, -1}, {"Name", "85", "ENUSA", true, 0},  {"Name", "85", "ENGBR", true, -1},
        {"Name", "70", "ENUSA", true, -1}, {"It's", "85", "ENUSA", true, -1}, {"Name", "high", "ENUSA", false, -1},
        {"Name", "", "ENUSA", false, -1},
    };
    std::vector<uint32_t> ids;
    for (const auto& c : cases) {
        uint32_t id = 0xFFFFFFFF;
        EXPECT_EQ(profile_->addMatchDefinition(c.definition, c.sensitivity, c.locale, &id), c.ok) << c.definition;
        const uint32_t expected = !c.ok ? 0xFFFFFFFF : c.sameAs >= 0 ? ids[static_cast<size_t>(c.sameAs)] : id;
        EXPECT_EQ(id, expected) << c.definition << " " << c.locale;
        if (c.ok && c.sameAs < 0) {
            EXPECT_EQ(std::count(ids.begin(), ids.end(), id), 0);
        }
        ids.push_back(id);
    }
    EXPECT_EQ(repo_->count("MATCH"), 4);
    EXPECT_TRUE(profile_->addMatchDefinition("Name", "85", "ENUSA", nullptr));
    EXPECT_EQ(repo_->count("MATCH"), 4);

    EXPECT_EQ(take(profile_->getMatchDefinition(ids[4])), Rows({{std::to_string(ids[4]), "It's", "85", "ENUSA"}}));
    EXPECT_EQ(take(profile_->getMatchDefinitionBySettings("Name", "70", "ENUSA")),
              Rows({{std::to_string(ids[3]), "Name", "70", "ENUSA"}}));
    EXPECT_EQ(profile_->getMatchDefinitionBySettings("Name", "x", "ENUSA"), nullptr);
}

TEST_P(MatchAndLayouts, TextFileLayoutsAreReplacedWhole) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(profile_->deleteTextFileInfo("orders.txt"));
        const std::string width = std::to_string(80 + round);
        ASSERT_TRUE(profile_->addTextFileInfo("orders.txt", "/data/orders.txt", ",", "'", 1, 80 + round, 0, round == 1,
                                              10, 65001, round == 0));
        // Added out of order: the list follows the ordinals.
        ASSERT_TRUE(profile_->addTextFileField("orders.txt", "amount", "REAL", 12, 9, 2));
        ASSERT_TRUE(profile_->addTextFileField("orders.txt", "id", "INTEGER", 8, 1, 1));
        if (round == 0) {
            ASSERT_TRUE(profile_->addTextFileField("orders.txt", "gone", "STRING", 5, 21, 3));
        }
        EXPECT_EQ(
            take(profile_->listTextFileFields("orders.txt")),
            round == 0
                ? Rows({{"id", "INTEGER", "8", "1"}, {"amount", "REAL", "12", "9"}, {"gone", "STRING", "5", "21"}})
                : Rows({{"id", "INTEGER", "8", "1"}, {"amount", "REAL", "12", "9"}}));
        EXPECT_EQ(take(profile_->listTextFileInfos()),
                  Rows({{"orders.txt", "/data/orders.txt", ",", "'", "1", width, "0", round ? "Y" : "N", "10", "65001",
                         round ? "N" : "Y"}}));
    }
    // Both tables or neither: a refused delete keeps the layout.
    ASSERT_TRUE(repo_->refuse(Refused::Delete, "TFINF"));
    {
        LogCapture log;
        EXPECT_FALSE(profile_->deleteTextFileInfo("orders.txt"));
    }
    ASSERT_TRUE(repo_->allow(Refused::Delete, "TFINF"));
    EXPECT_EQ(repo_->count("TFFINF", "TBL_NM='orders.txt'"), 2);
    EXPECT_EQ(repo_->count("TFINF", "TBL_NM='orders.txt'"), 1);
}

REPOS_EVERY_PLACE(MatchAndLayouts);

}  // namespace
