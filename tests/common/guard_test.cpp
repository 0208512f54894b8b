// An operation whose step throws (here: an allocation failing in a statement or a BEGIN, at each
// step in turn) answers its failure value with an error text, never an exception, and leaves no
// transaction level open.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "common_rdaimpl.h"
#include "explorer_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "rda_sqlite.h"
#include "repos_fixture.h"

namespace {

// A connection whose nth statement or BEGIN, counted while armed, throws before it starts.
class ThrowingConnection : public RDA_Sqlite {
public:
    long throwAt = 0;

protected:
    bool beginTransaction_INT(bool exclusive, bool* busy) override {
        countDown();
        return RDA_Sqlite::beginTransaction_INT(exclusive, busy);
    }
    ReposDataAccessCursor* paramSelect_INT(const VqbString& sql, const RDA_Params& params) override {
        countDown();
        return RDA_Sqlite::paramSelect_INT(sql, params);
    }
    bool paramExec_INT(const VqbString& sql, int* rows, const RDA_Params& params) override {
        countDown();
        return RDA_Sqlite::paramExec_INT(sql, rows, params);
    }

private:
    void countDown() {
        if (throwAt > 0 && --throwAt == 0) throw std::bad_alloc();
    }
};

struct Objects {
    ReposHeld<CommonRDAImpl> common;
    ReposHeld<ExplorerRDAImpl> explorer;
    ReposHeld<MetadataRDAImpl> meta;
};

// One operation, called with a name of its own each time: true when it answered its failure
// value; the text is the error the object then gives.
struct Operation {
    const char* what;
    std::function<bool(Objects&, const VqbString& name, VqbString& error)> call;
};

const Operation kOperations[] = {
    {"addRule",
     [](Objects& o, const VqbString& name, VqbString& error) {
         bool failed = o.common->addRule(name, "T", "x>1", "", "", "u", "", 0, "", "") == 0;
         error = o.common->getErrorMessage();
         return failed;
     }},
    {"setKeyValue",
     [](Objects& o, const VqbString& name, VqbString& error) {
         bool failed = !o.common->setKeyValue(name, "v");
         error = o.common->getErrorMessage();
         return failed;
     }},
    {"listRules",
     [](Objects& o, const VqbString&, VqbString& error) {
         ReposHeld<ReposDataAccessCursor> rows(o.common->listRules());
         error = o.common->getErrorMessage();
         return !rows;
     }},
    {"addProject",
     [](Objects& o, const VqbString& name, VqbString& error) {
         uint32_t id = 0;
         bool failed = !o.explorer->addProject(name, "", "u", "", 0, &id);
         error = o.explorer->getErrorMessage();
         return failed;
     }},
    {"addFolder",
     [](Objects& o, const VqbString& name, VqbString& error) {
         int id = 0;
         bool failed = !o.meta->addFolder(0, name, &id);
         error = o.meta->getErrorMessage();
         return failed;
     }},
};

TEST(EntryGuards, AThrowingStepGivesTheFailureValueAndItsText) {
    TestRepository repo;
    ReposHeld<ThrowingConnection> connection(new ThrowingConnection());
    ASSERT_TRUE(connection->init(VqbString(repo.file()), "", false, nullptr));
    LogCapture quiet(6);
    Objects objects{ReposHeld<CommonRDAImpl>(new CommonRDAImpl(connection.get())),
                    ReposHeld<ExplorerRDAImpl>(new ExplorerRDAImpl(connection.get())),
                    ReposHeld<MetadataRDAImpl>(new MetadataRDAImpl(connection.get()))};
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.what);
        // Each step of the operation throws once in turn, until a run meets no throw.
        for (long step = 1;; ++step) {
            const VqbString name(std::string(op.what) + std::to_string(step));
            VqbString error;
            bool failed = false, escaped = false;
            connection->throwAt = step;
            try {
                failed = op.call(objects, name, error);
            } catch (...) {
                escaped = true;
            }
            const bool thrown = connection->throwAt == 0;
            connection->throwAt = 0;
            EXPECT_FALSE(escaped) << "step " << step;
            EXPECT_FALSE(connection->isInTransaction()) << "step " << step;
            if (!thrown) {
                EXPECT_FALSE(failed) << error.str();
                break;
            }
            EXPECT_TRUE(failed) << "step " << step;
            // The connection's own entry catches first; the typed operation then fails on its answer.
            EXPECT_FALSE(error.isEmpty()) << "step " << step;
            EXPECT_EQ(connection->getLastErrorMessage().str(), "out of memory") << "step " << step;
            ASSERT_LT(step, 100);
        }
    }
}

}  // namespace
