// A connection starts each id from the value it last set the counter to; whatever moved the
// counter since must still be honoured. Also: kept statements run again after one failed.
#include <gtest/gtest.h>

#include "repos_fixture.h"

namespace {

constexpr int64_t kFails = -1;

struct AfterTwoIds {
    const char* what;
    const char* change;  // run after ids 1 and 2 were handed out; null: none
    bool rolledBack;     // the two ids were taken in a transaction that was rolled back
    int64_t next;        // the id handed out next, or kFails
};

const AfterTwoIds kCases[] = {
    {"nothing moved it", nullptr, false, 3},
    {"the ids were rolled back", nullptr, true, 1},
    {"another writer raised it", "UPDATE {UCURID} SET NI_VAL=10 WHERE NI_KEY='JOB'", false, 11},
    {"another writer lowered it", "UPDATE {UCURID} SET NI_VAL=0 WHERE NI_KEY='JOB'", false, 1},
    {"a larger row joined it", "INSERT INTO {UCURID} (NI_KEY, NI_VAL) VALUES ('JOB', 50)", false, 51},
    {"its row went", "DELETE FROM {UCURID} WHERE NI_KEY='JOB'", false, 1},
    {"it reached its limit", "UPDATE {UCURID} SET NI_VAL=4294967294 WHERE NI_KEY='JOB'", false, kFails},
};

class IdGuess : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        if (!repo.connection()) GTEST_SKIP() << "no repository in this place";
    }
    int64_t nextId() {
        VqbDatavar id;
        if (!repo.connection()->getNextId(VqbString("JOB"), &id) || id.isNull()) return kFails;
        return id.asInt64();
    }
    TestRepository repo{GetParam()};
};

TEST_P(IdGuess, WhatMovedTheCounterSinceIsHonoured) {
    for (const AfterTwoIds& c : kCases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(repo.exec("DELETE FROM {UCURID} WHERE NI_KEY='JOB'"));
        if (c.rolledBack) {
            ASSERT_TRUE(repo.connection()->beginTransaction(false));
        }
        EXPECT_EQ(nextId(), 1);
        EXPECT_EQ(nextId(), 2);
        if (c.rolledBack) {
            ASSERT_TRUE(repo.connection()->endTransaction(false));
        }
        if (c.change) {
            ASSERT_TRUE(repo.exec(c.change));
        }
        EXPECT_EQ(nextId(), c.next);
    }
}

TEST_P(IdGuess, AKeptStatementRunsAgainAfterItFailed) {
    ReposDataAccess* c = repo.connection();
    const VqbString insert(("INSERT INTO " + repo.table("UCURID") + " (NI_KEY, NI_VAL) VALUES (?,?)").c_str());
    VqbDatavar key("KEPT");
    for (int64_t value : {7, 8}) {
        VqbDatavar v(value);
        ASSERT_TRUE(c->paramExec(insert, nullptr, 2, &key, &v));
    }
    // A text where a number belongs fails on every back end that checks types; SQLite keeps it.
    VqbDatavar bad("not a number");
    c->paramExec(insert, nullptr, 2, &key, &bad);
    VqbDatavar nine(9);
    EXPECT_TRUE(c->paramExec(insert, nullptr, 2, &key, &nine)) << c->getLastErrorMessage().str();
    ReposHeld<ReposDataAccessStatement> s(c->createStatement(insert));
    ASSERT_TRUE(s);
    VqbDatavar ten(10);
    EXPECT_TRUE(s->setParameter(0, key) && s->setParameter(1, ten) && s->execute());
    s.reset();
    s.reset(c->createStatement(insert));
    VqbDatavar eleven(11);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->setParameter(0, key) && s->setParameter(1, eleven) && s->execute());
    s.reset();
    EXPECT_EQ(repo.count("UCURID", "NI_KEY='KEPT' AND NI_VAL IN (9, 10, 11)"), 3);
}

REPOS_EVERY_PLACE(IdGuess);

}  // namespace
