// Writers in several processes adding the same new names at the same instant: every check and the
// write that depends on it are one step, so each name is stored once.
#include <functional>
#include <string>

#include "monitor_fixture.h"
#include "process_burst.h"

namespace {

constexpr int kWriters = 8;
constexpr int kNames = 6;

struct Race {
    const char* what;
    std::function<void(MonitorRDAImpl&, const VqbString& name)> add;
    // Rows of the name: "SELECT COUNT(*) FROM <table> WHERE <condition>" with the name bound once.
    const char* table;
    const char* condition;
    bool numeric = false;  // the name is the number n + 100
};

const Race kRaces[] = {
    {"addJob", [](MonitorRDAImpl& m, const VqbString& n) { m.addJob("task", n, "u", 0, "", "", nullptr); }, "MJOB",
     "JB_CODE=?"},
    {"addSource", [](MonitorRDAImpl& m, const VqbString& n) { m.addSource("src", n, "u", 0, nullptr); }, "EXSRC",
     "ES_UUID=?"},
    {"addReportGroup",
     [](MonitorRDAImpl& m, const VqbString& n) { m.addReportGroup(n, "", 1, 1, 1, VqbDate(), "u", "", 0, nullptr); },
     "RPTGRP", "GRP_NAME=?"},
    {"addDimension", [](MonitorRDAImpl& m, const VqbString& n) { m.addDimension(n, "", "u", "", 0, nullptr); },
     "DIMENS", "DIM_NAME=?"},
    {"addThreshold",
     [](MonitorRDAImpl& m, const VqbString& n) {
         m.addThreshold(n, "", "u", "", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
     },
     "THRHLD", "THR_NAME=?"},
    {"addDimensionGroup",
     [](MonitorRDAImpl& m, const VqbString& n) { m.addDimensionGroup(n.asInt() + 100, 7, 1, VqbReal(1)); }, "DIMGRP",
     "GRP_ID=7 AND DIM_ID=?", true},
    {"addExecPropertyType", [](MonitorRDAImpl& m, const VqbString& n) { m.addExecPropertyType("P", n); }, "EXPRTP",
     "PR_NAME='P' AND PR_VALUE=?"},
    {"setExecProperty", [](MonitorRDAImpl& m, const VqbString& n) { m.setExecProperty(1, 2, n, "v", true); }, "EXPROP",
     "EX_ID=1 AND RU_ID=2 AND PR_NAME=?"},
};

class MonitorConcurrentAdds : public ::testing::TestWithParam<void (*)(BurstPlace&)> {};

TEST_P(MonitorConcurrentAdds, OneRowPerName) {
    BurstPlace place;
    GetParam()(place);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(place.connection(), nullptr);
    ASSERT_TRUE(runBurst(place, kWriters, [](ReposDataAccess* connection, int) {
        ReposHeld<MonitorRDAImpl> m(new MonitorRDAImpl(connection));
        for (int n = 0; n < kNames; ++n)
            for (const Race& race : kRaces) race.add(*m, VqbString(std::to_string(n)));
    }));
    for (const Race& race : kRaces) {
        SCOPED_TRACE(race.what);
        for (int n = 0; n < kNames; ++n) {
            const VqbDatavar key = race.numeric ? VqbDatavar(n + 100) : VqbDatavar(std::to_string(n));
            EXPECT_EQ(place.repo->count(race.table, race.condition, {key}), 1) << "name " << n;
        }
    }
}

REPOS_EVERY_BURST_PLACE(MonitorConcurrentAdds);

}  // namespace
