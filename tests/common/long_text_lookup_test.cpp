// Lookups by a long name see what is committed now, whatever connections of this or another
// process rolled back before: big-string ids are handed out again after a rollback, so a lookup
// that remembered them would take a new text for the one it saw under the same id. Row counts
// are read from outside the library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "common_rdaimpl.h"
#include "repos_fixture.h"

namespace {

// 300 characters, the first 280 alike in every name: only the end tells two names apart.
std::string longName(const std::string& tag) {
    std::string name = std::string(280, 'n') + tag;
    name.resize(300, '.');
    return name;
}

unsigned addRule(CommonRDAImpl& rda, const std::string& name) {
    return rda.addRule(name, "ROW", "A > 0", "G", "<meta/>", "ann", "", 0, "", "");
}
bool refused(unsigned id) { return id == 0 || id == 0xFFFFFFFFu; }
Rows findRule(CommonRDAImpl& rda, const std::string& name) { return take(rda.findRule(0, name, "")); }

// Adds the name in a transaction, sees it there, and rolls back; false when a step failed.
bool addAndRollBack(CommonRDAImpl& rda, const std::string& name) {
    if (!rda.beginTransaction(false)) return false;
    const bool seen = !refused(addRule(rda, name)) && findRule(rda, name).size() == 1;
    return rda.endTransaction(false) && seen;
}

class LongTextLookup : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (IsSkipped()) return;
        ASSERT_TRUE(repo->connection());
        x.reset(new CommonRDAImpl(repo->connection()));
        yConnection.reset(repo->openAnother());
        ASSERT_TRUE(yConnection);
        y.reset(new CommonRDAImpl(yConnection.get()));
        for (int i = 0; i < 3; ++i) ASSERT_FALSE(refused(addRule(*x, longName("kept" + std::to_string(i)))));
        if (GetParam() != Place::Direct) {
            ASSERT_GT(rawCount(*repo, "BIGSTR"), 0) << "the names were not kept apart";
        }
    }

    // A few dozen lookups of other names first: a connection that kept what it had looked up
    // began to rely on it only after some.
    void warmUp(CommonRDAImpl& rda) {
        for (int round = 0; round < 10; ++round) {
            for (int i = 0; i < 3; ++i) ASSERT_EQ(findRule(rda, longName("kept" + std::to_string(i))).size(), 1u);
            ASSERT_TRUE(findRule(rda, longName("missing" + std::to_string(round))).empty());
        }
    }

    // The name is held by the one rule on every connection, and adding it again is refused.
    void expectOnce(const std::string& name, const std::string& id) {
        for (CommonRDAImpl* rda : {x.get(), y.get()}) {
            SCOPED_TRACE(rda == x.get() ? "connection X" : "connection Y");
            const Rows rows = findRule(*rda, name);
            EXPECT_EQ(rows.size(), 1u);
            if (rows.size() == 1) {
                EXPECT_EQ(rows[0][0], id);
                EXPECT_EQ(rows[0][1], name);
            }
            EXPECT_TRUE(refused(addRule(*rda, name)));
        }
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<CommonRDAImpl> x;
    ReposHeld<ReposDataAccess> yConnection;
    ReposHeld<CommonRDAImpl> y;
};

}  // namespace

// Where names are kept apart, the name written after the rollback gets the big-string id the
// rolled-back one had: the counter moved back with it.
TEST_P(LongTextLookup, ANameWrittenAfterARollbackIsFoundOnceAndNotAddedTwice) {
    enum class By { OtherConnection, SameConnection, OtherProcess };
    struct Case {
        const char* name;
        By rolledBackBy;
        bool renamed;  // B is given to an existing rule instead of a new one
    };
    const Case cases[] = {
        {"rolled back on another connection", By::OtherConnection, false},
        {"rolled back on the same connection, then a rule renamed", By::SameConnection, true},
        {"rolled back by another process", By::OtherProcess, false},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string a = longName("A" + std::to_string(round)), b = longName("B" + std::to_string(round));
        const std::string oldName = longName("old" + std::to_string(round++));
        const unsigned existing = c.renamed ? addRule(*x, oldName) : 0;
        ASSERT_FALSE(c.renamed && refused(existing));
        warmUp(*x);
        warmUp(*y);
        const long rules = rawCount(*repo, "RULE"), chunks = rawCount(*repo, "BIGSTR");

        switch (c.rolledBackBy) {
            case By::OtherConnection:
                ASSERT_TRUE(addAndRollBack(*y, a));
                break;
            case By::SameConnection:
                ASSERT_TRUE(addAndRollBack(*x, a));
                break;
            case By::OtherProcess: {
                const pid_t child = fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    // A connection of the child's own; the parent's are left alone.
                    ReposHeld<ReposDataAccess> own(repo->openAnother());
                    bool ok = false;
                    if (own) {
                        ReposHeld<CommonRDAImpl> rda(new CommonRDAImpl(own.get()));
                        ok = addAndRollBack(*rda, a);
                    }
                    _exit(ok ? 0 : 3);
                }
                ASSERT_TRUE(childSucceeded(child));
                break;
            }
        }
        EXPECT_EQ(rawCount(*repo, "RULE"), rules);
        EXPECT_EQ(rawCount(*repo, "BIGSTR"), chunks);

        // The first lookup after the rollback is of the name written next: a connection that
        // remembered ids noticed a shrunk table at any lookup in between and started afresh.
        unsigned id = existing;
        if (c.renamed) {
            ASSERT_TRUE(x->updateRule(existing, b, "ROW", "A > 0", "G", "<meta/>", "ann", 40000.0, 40000.0, "ann", "",
                                      0, "", ""));
        } else {
            id = addRule(*x, b);
            ASSERT_FALSE(refused(id));
        }
        const long written = rawCount(*repo, "BIGSTR");
        expectOnce(b, std::to_string(id));
        EXPECT_TRUE(findRule(*x, a).empty());
        EXPECT_TRUE(findRule(*y, a).empty());
        EXPECT_EQ(rawCount(*repo, "RULE"), rules + (c.renamed ? 0 : 1));
        // Neither the lookups nor the refused adds wrote a big string.
        EXPECT_EQ(rawCount(*repo, "BIGSTR"), written);
    }
}

TEST_P(LongTextLookup, ASecondAddInTheSameTransactionIsRefusedAndARollbackLeavesNothing) {
    warmUp(*x);
    warmUp(*y);
    const std::string a = longName("twice");
    const long rules = rawCount(*repo, "RULE"), chunks = rawCount(*repo, "BIGSTR");
    ASSERT_TRUE(x->beginTransaction(false));
    EXPECT_FALSE(refused(addRule(*x, a)));
    EXPECT_TRUE(refused(addRule(*x, a)));
    EXPECT_EQ(findRule(*x, a).size(), 1u);
    ASSERT_TRUE(x->endTransaction(false));
    EXPECT_TRUE(findRule(*x, a).empty());
    EXPECT_TRUE(findRule(*y, a).empty());
    EXPECT_EQ(rawCount(*repo, "RULE"), rules);
    EXPECT_EQ(rawCount(*repo, "BIGSTR"), chunks);
}

REPOS_EVERY_PLACE(LongTextLookup);
