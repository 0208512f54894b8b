// Report groups, dimensions, weightings and thresholds: deletes that fall back on the defaults in
// one transaction, the seven bands, partial updates, the history of a group, and statements under a
// table prefix that holds SQL words.
#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

#include "monitor_fixture.h"
#include "repos_admin.h"
#include "test_support.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
const VqbString none;

class MonitorGroups : public MonitorTest {
protected:
    // Default rows 1 (in place of those a created repository holds), and group 3, dimension 4 and
    // threshold 5 with everything that names them.
    void addReferences() {
        for (const char* table : {"THRHLD", "DIMENS", "RPTGRP", "JBRUME", "DIMGRP", "EXEC"})
            ASSERT_TRUE(repo->exec("DELETE FROM {" + std::string(table) + "}"));
        for (const char* sql : {
                 "INSERT INTO {THRHLD} (THR_ID, THR_NAME) VALUES (1, 'Default'), (5, 'Five')",
                 "INSERT INTO {DIMENS} (DIM_ID, DIM_NAME) VALUES (1, 'Default'), (4, 'Four')",
                 "INSERT INTO {RPTGRP} (GRP_ID, GRP_NAME, THR_ID) VALUES (1, 'Default', 1), (3, 'Three', 5)",
                 "INSERT INTO {JBRUME} (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (10, 20, 4, 5, 1), (10, 21, 1, 1, "
                 "1)",
                 "INSERT INTO {DIMGRP} (DIM_ID, GRP_ID, THR_ID, WGHT) VALUES (4, 3, 5, 2), (1, 3, 1, 1)",
                 "INSERT INTO {EXEC} (EX_ID, JB_ID, GRP_ID, EX_NROWS) VALUES (1, 10, 3, 5), (2, 10, 1, 5)",
             })
            ASSERT_TRUE(repo->exec(sql));
    }
    // The one row of a select, its values joined by "|".
    std::string row(const std::string& sql) {
        const Rows all = rows(sql);
        if (all.size() != 1) return std::to_string(all.size()) + " rows";
        std::string joined = all[0][0];
        for (size_t i = 1; i < all[0].size(); ++i) joined += "|" + all[0][i];
        return joined;
    }
};

TEST_P(MonitorGroups, DeletesFallBackOnTheDefaultsAllOrNothing) {
    struct Case {
        bool (MonitorRDAImpl::*remove)(uint32_t);
        uint32_t id;
        Refused lastStep;
        const char* lastTable;
        const char* check;  // the rows that named the id, afterwards
        Rows after;
    };
    const Case cases[] = {
        {&MonitorRDAImpl::deleteThreshold,
         5,
         Refused::Update,
         "RPTGRP",
         "SELECT 'T', THR_ID FROM {THRHLD} UNION ALL SELECT 'J', THR_ID FROM {JBRUME} UNION ALL "
         "SELECT 'D', THR_ID FROM {DIMGRP} UNION ALL SELECT 'R', THR_ID FROM {RPTGRP}",
         {{"D", "1"}, {"D", "1"}, {"J", "1"}, {"J", "1"}, {"R", "1"}, {"R", "1"}, {"T", "1"}}},
        {&MonitorRDAImpl::deleteDimension,
         4,
         Refused::Delete,
         "DIMGRP",
         "SELECT 'N', DIM_ID FROM {DIMENS} UNION ALL SELECT 'J', DIM_ID FROM {JBRUME} UNION ALL "
         "SELECT 'D', DIM_ID FROM {DIMGRP}",
         {{"D", "1"}, {"J", "1"}, {"J", "1"}, {"N", "1"}}},
        // The group's weightings stay behind.
        {&MonitorRDAImpl::deleteReportGroup,
         3,
         Refused::Update,
         "EXEC",
         "SELECT 'R', GRP_ID FROM {RPTGRP} UNION ALL SELECT 'E', GRP_ID FROM {EXEC} UNION ALL "
         "SELECT 'D', GRP_ID FROM {DIMGRP}",
         {{"D", "3"}, {"D", "3"}, {"E", "1"}, {"E", "1"}, {"R", "1"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lastTable);
        addReferences();
        const Rows before = everything();
        for (uint32_t untouchable : {1u, kNone}) EXPECT_TRUE(((*rda).*c.remove)(untouchable));
        EXPECT_EQ(everything(), before);
        ASSERT_TRUE(repo->refuse(c.lastStep, c.lastTable));
        EXPECT_FALSE(((*rda).*c.remove)(c.id));
        EXPECT_EQ(everything(), before);
        ASSERT_TRUE(repo->allow(c.lastStep, c.lastTable));
        EXPECT_TRUE(((*rda).*c.remove)(c.id));
        EXPECT_EQ(rows(c.check), c.after);
    }
}

TEST_P(MonitorGroups, ThresholdsKeepSevenBandsFromTheArrays) {
    const VqbString names[9] = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
    const double starts[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8}, ends[9] = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    const int colors[9] = {100, 101, 102, 103, 104, 105, 106, 107, 108};
    std::string columns = "THR_DESC, FLDR_ID";
    for (int i = 0; i < 7; ++i)
        for (const char* c : {", NAME_", ", START_", ", END_", ", COLOR_"}) columns += c + std::to_string(i);
    auto bands = [&](uint32_t id) {
        return row("SELECT " + columns + " FROM {THRHLD} WHERE THR_ID=" + std::to_string(id));
    };
    auto expected = [&](const char* description, const char* folder, int given) {
        std::string text = std::string(description) + "|" + folder;
        for (int i = 0; i < 7; ++i)
            text += i < given ? "|" + names[i].str() + "|" + std::to_string(i) + "|" + std::to_string(10 + i) + "|" +
                                    std::to_string(100 + i)
                              : "|<null>|<null>|<null>|<null>";
        return text;
    };
    uint32_t id = 0;
    for (int given : {0, 9, 3}) {
        ASSERT_TRUE(
            rda->addThreshold("t" + std::to_string(given), "d", "u", "", 2, given, names, starts, ends, colors, &id));
        EXPECT_EQ(bands(id), expected("d", "2", std::min(given, 7))) << given;
    }
    EXPECT_FALSE(rda->addThreshold("t3", "again", "u", "", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(rda->addThreshold("bare", "d", "u", "", 0, 2, nullptr, nullptr, nullptr, nullptr, nullptr));

    // An update rewrites the bands: with none given it clears them.
    ASSERT_TRUE(rda->updateThreshold(id, none, none, none, 8, 2, names, starts, ends, colors));
    EXPECT_EQ(bands(id), expected("d", "8", 2));
    ASSERT_TRUE(rda->updateThreshold(id, none, "new", none, kNone, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(bands(id), expected("new", "8", 0));
    const Rows before = everything();
    ASSERT_TRUE(rda->updateThreshold(id, none, none, "someone", kNone, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(everything(), before);
}

TEST_P(MonitorGroups, PartialUpdatesSetExactlyTheGivenFields) {
    addReferences();
    const std::string group =
        "SELECT GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, ENDDATE, EDUSR, FLDR_ID FROM {RPTGRP} "
        "WHERE GRP_ID=3";
    const std::string dimension = "SELECT DIM_NAME, DIM_DESC, EDUSR, FLDR_ID FROM {DIMENS} WHERE DIM_ID=4";
    const std::string weighting = "SELECT THR_ID, WGHT FROM {DIMGRP} WHERE DIM_ID=4 AND GRP_ID=3";
    using M = MonitorRDAImpl;
    const std::tuple<std::function<bool(M&)>, const std::string&, const char*> cases[] = {
        {[](M& m) { return m.updateReportGroup(3, none, none, kNone, kNone, kNone, VqbDate(), none, 9); }, group,
         "Three|<null>|<null>|<null>|5|<null>|<null>|9"},
        {[](M& m) { return m.updateReportGroup(3, none, none, kNone, kNone, 1, VqbDate(), none, kNone); }, group,
         "Three|<null>|<null>|<null>|1|<null>|<null>|9"},
        {[](M& m) { return m.updateReportGroup(3, none, none, kNone, kNone, kNone, VqbDate(), "bob", kNone); }, group,
         "Three|<null>|<null>|<null>|1|<null>|<null>|9"},
        {[](M& m) { return m.updateReportGroup(3, "N", "D", 6, 7, 5, VqbDate(40000), "bob", 8); }, group,
         "N|D|6|7|5|40000|bob|8"},
        {[](M& m) { return m.updateDimension(4, none, none, none, 6); }, dimension, "Four|<null>|<null>|6"},
        {[](M& m) { return m.updateDimension(4, "Vier", none, "ann", kNone); }, dimension, "Vier|<null>|ann|6"},
        {[](M& m) { return m.updateDimensionGroup(4, 3, kNone, VqbReal(0.5)); }, weighting, "5|0.5"},
        {[](M& m) { return m.updateDimensionGroup(4, 3, 1, VqbReal(3)); }, weighting, "1|3"},
        {[](M& m) { return m.updateDimensionGroup(4, 3, kNone, VqbReal()); }, weighting, "1|3"},
    };
    // An existing pair is kept as it was.
    EXPECT_TRUE(rda->addDimensionGroup(4, 3, 1, VqbReal(9)));
    for (const auto& [update, read, after] : cases) {
        EXPECT_TRUE(update(*rda));
        EXPECT_EQ(row(read), after);
    }
}

// While a DDL script is written, the connector hands out no statement: the writes that run on
// their own statements fail, logged, and put nothing into the script, while those that go through
// the connection's parameterised run still write their statement there. A SQLite file opened
// directly keeps running every statement.
TEST_P(MonitorGroups, ScriptModeRefusesTheWritesOnStatementsOfTheirOwn) {
    addReferences();
    ASSERT_TRUE(repo->exec("INSERT INTO {EXSRC} (ES_ID, ES_NAME) VALUES (6, 'Source')"));
    const bool scripted = GetParam() != Place::Direct;
    using M = MonitorRDAImpl;
    const struct {
        const char* what;
        std::function<bool(M&)> write;
        bool ownStatement;
    } cases[] = {
        {"report group",
         [](M& m) { return m.updateReportGroup(3, "N", none, kNone, kNone, kNone, VqbDate(), none, kNone); }, true},
        {"dimension", [](M& m) { return m.updateDimension(4, "Vier", none, none, kNone); }, true},
        {"dimension, a name kept apart",
         [](M& m) { return m.updateDimension(4, VqbString(std::string(300, 'v')), none, none, kNone); }, true},
        {"weighting", [](M& m) { return m.updateDimensionGroup(4, 3, 1, VqbReal(3)); }, true},
        {"threshold",
         [](M& m) { return m.updateThreshold(5, "Funf", none, none, kNone, 0, nullptr, nullptr, nullptr, nullptr); },
         true},
        {"weightings deleted", [](M& m) { return m.deleteDimensionGroups(3, kNone); }, true},
        {"source", [](M& m) { return m.updateSource(6, "Renamed", "ann", 0); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Rows before = everything();
        const Rows source = rows("SELECT ES_NAME FROM {EXSRC}");
        Recorder script;
        bool done;
        {
            LogCapture log(5);
            rda->setDDLCallback(&script);
            done = c.write(*rda);
            rda->setDDLCallback(nullptr);
            EXPECT_EQ(log.count("", 5) > 0, scripted && c.ownStatement);
        }
        EXPECT_EQ(done, !scripted || !c.ownStatement);
        EXPECT_EQ(script.script.size(), scripted && !c.ownStatement ? 1u : 0u);
        // Only the direct place changes rows.
        EXPECT_EQ(everything() != before || rows("SELECT ES_NAME FROM {EXSRC}") != source, !scripted);
        if (!scripted) addReferences();
    }
}

TEST_P(MonitorGroups, HistoryListsExecutionsStrictlyInsideTheDatesPerRule) {
    for (const char* sql : {
             "INSERT INTO {MJOB} (JB_ID, JB_DESC, JB_CODE) VALUES (10, 'Task', 'J')",
             "INSERT INTO {RULE} (RU_ID, RU_DESC) VALUES (20, 'r20'), (21, 'r21')",
             "INSERT INTO {JBRUME} (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (10, 20, 1, 1, 1), (10, 21, 1, 1, 1)",
             // Days 10 and 14 are the bounds; day 12 has no row count; group 4 is another group.
             "INSERT INTO {EXEC} (EX_ID, JB_ID, GRP_ID, EX_DATE, EX_NROWS) VALUES (1, 10, 3, 10, 110), "
             "(2, 10, 3, 11, 111), (3, 10, 3, 12, -1), (4, 10, 3, 13, 113), (5, 10, 3, 14, 114), (6, 10, 4, 13, 999)",
             "INSERT INTO {TRIG} (EX_ID, RU_ID, TR_CNT) VALUES (2, 20, 5), (4, 21, 7)",
         })
        ASSERT_TRUE(repo->exec(sql));
    const Rows history = take(rda->listReportGroupHistory(3, VqbDate(10), VqbDate(14)));
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(cell(history, 0, 0), "113");  // newest first
    Rows picked;
    for (const auto& r : history) picked.push_back({r[0], r[1], r[5], r[6], r[13]});
    EXPECT_EQ(sorted(picked), (Rows{{"111", "5", "20", "r20", "J"},
                                    {"111", "<null>", "21", "r21", "J"},
                                    {"113", "7", "21", "r21", "J"},
                                    {"113", "<null>", "20", "r20", "J"}}));
}

REPOS_EVERY_PLACE(MonitorGroups);

TEST(MonitorPrefixWords, StatementsStayValidOnPostgres) {
    REPOS_REQUIRE_PG();
    TempDir specs;
    ConfigScope config;
    config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
    const VqbString where(pgConnection()), prefix(uniqueTestPrefix('W') + "WHERE_SET_");
    ReposHeld<RepositoryAdmin> admin(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    ASSERT_TRUE(admin && admin->createRepository(where, prefix)) << (admin ? admin->getErrorMessage().str() : "");
    {
        ReposHeld<Repository> repository(admin->connectRepository(where, prefix, true, nullptr));
        ASSERT_NE(repository, nullptr);
        ReposHeld<MonitorRepositoryDataAccess> m(repository->createMonitorRepositoryDataAccess());
        uint32_t dimension = 0, group = 0;
        ASSERT_TRUE(m && m->addDimension("Speed", "", "u", "", 0, &dimension));
        ASSERT_TRUE(m->addReportGroup("Board", "", 1, 1, 1, VqbDate(), "u", "", 0, &group));
        ASSERT_TRUE(m->addDimensionGroup(dimension, group, 1, VqbReal(1)));
        EXPECT_EQ(take(m->listDimensions(dimension, "Speed")).size(), 1u);
        EXPECT_EQ(take(m->listReportGroups(kNone, "Board")).size(), 1u);
        EXPECT_EQ(take(m->listThresholds(1, "")).size(), 1u);
        ASSERT_TRUE(m->updateDimensionGroup(dimension, group, kNone, VqbReal(0.25)));
        EXPECT_EQ(cell(take(m->listDimensionGroups(dimension, group)), 0, 3), "0.25");
        EXPECT_TRUE(m->deleteDimensionGroups(group, dimension));
        EXPECT_EQ(take(m->listDimensionGroups(dimension, group)).size(), 0u);
    }
    EXPECT_TRUE(admin->deleteRepository(where, prefix)) << admin->getErrorMessage().str();
}

class MonitorDefaults : public RepositoryTest {};

TEST_P(MonitorDefaults, CreatedRepositoriesHoldTheRowsDeletesFallBackOn) {
    ASSERT_TRUE(create()) << error().str();
    const std::pair<const char*, const char*> keys[] = {
        {"RPTGRP", "GRP_ID"}, {"DIMENS", "DIM_ID"}, {"THRHLD", "THR_ID"}};
    for (auto [table, key] : keys)
        EXPECT_EQ(rows("SELECT COUNT(*) FROM " + t(table) + " WHERE " + key + "=1"), (Rows{{"1"}})) << table;
    EXPECT_TRUE(drop());
}

REPOS_EVERY_PLACE(MonitorDefaults);

}  // namespace
