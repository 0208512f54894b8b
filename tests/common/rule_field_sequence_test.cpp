// The sequence of a rule field: one more than the largest stored in any rule, whatever rows
// another writer left, gaps included.
#include "common_rda_fixture.h"

namespace {

using RuleFieldSequence = CommonRdaTest;

}  // namespace

TEST_P(RuleFieldSequence, FollowsTheLargestOfTheWholeTable) {
    unsigned first = rda->addRule("First", "ROW", "", "", "", "ann", "uuid-first", 0, "", "");
    unsigned second = rda->addRule("Second", "ROW", "", "", "", "ann", "uuid-second", 0, "", "");
    // Rows written by hand: a gap, a large value under the other rule, a negative one.
    ASSERT_TRUE(repo->exec("INSERT INTO {RUFIME} (RU_ID, FI_NAME, RF_SEQ) VALUES (?, 'OLD', 7), (?, 'BIG', 41), "
                           "(?, 'NEG', -3)",
                           {VqbDatavar(first), VqbDatavar(second), VqbDatavar(first)}));
    struct Add {
        unsigned rule;
        const char* field;
        const char* seq;  // stored for the pair afterwards
    };
    const Add adds[] = {{first, "A", "42"}, {second, "A", "43"}, {first, "A", "42"}, {first, "B", "44"}};
    for (const Add& add : adds) ASSERT_TRUE(rda->addRuleField(add.rule, add.field, "d")) << add.field;
    for (const Add& add : adds)
        EXPECT_EQ(repo->rows("SELECT RF_SEQ FROM {RUFIME} WHERE RU_ID=? AND FI_NAME=?",
                             {VqbDatavar(add.rule), VqbDatavar(add.field)}),
                  (Rows{{add.seq}}))
            << add.field;
    EXPECT_EQ(repo->rows("SELECT COUNT(*), COUNT(DISTINCT RF_SEQ) FROM {RUFIME}"), (Rows{{"6", "6"}}));
}

REPOS_EVERY_PLACE(RuleFieldSequence);
