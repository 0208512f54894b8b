// Report groups, dimensions, weightings and thresholds: deletes that fall back on the defaults in
// one transaction, the seven bands, partial updates, the history of a group, and lists under a
// table prefix that holds SQL words.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>

#include "monitor_fixture.h"
#include "repos_admin.h"
#include "vqbmessage.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

class MonitorGroups : public MonitorTest {
protected:
    // Default rows 1, and group 3, dimension 4 and threshold 5 with everything that names them
    // (in place of the defaults a created repository holds).
    void addReferences() {
        for (const char* table : {"THRHLD", "DIMENS", "RPTGRP", "JBRUME", "DIMGRP", "EXEC"})
            ASSERT_TRUE(repo->exec("DELETE FROM {" + std::string(table) + "}"));
        for (const char* sql : {
                 "INSERT INTO {THRHLD} (THR_ID, THR_NAME) VALUES (1, 'Default'), (5, 'Five')",
                 "INSERT INTO {DIMENS} (DIM_ID, DIM_NAME) VALUES (1, 'Default'), (4, 'Four')",
                 "INSERT INTO {RPTGRP} (GRP_ID, GRP_NAME, THR_ID) VALUES (1, 'Default', 1), (3, 'Three', 5)",
                 "INSERT INTO {JBRUME} (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (10, 20, 4, 5, 1), (10, 21, 1, 1, 1)",
                 "INSERT INTO {DIMGRP} (DIM_ID, GRP_ID, THR_ID, WGHT) VALUES (4, 3, 5, 2), (1, 3, 1, 1)",
                 "INSERT INTO {EXEC} (EX_ID, JB_ID, GRP_ID, EX_NROWS) VALUES (1, 10, 3, 5), (2, 10, 1, 5)",
             })
            ASSERT_TRUE(repo->exec(sql));
    }
};

TEST_P(MonitorGroups, DeletesFallBackOnTheDefaultsAllOrNothing) {
    struct Case {
        const char* what;
        bool (MonitorRDAImpl::*remove)(uint32_t);
        uint32_t id;
        Refused lastStep;
        const char* lastTable;
        // What the rows naming the id look like afterwards.
        const char* check;
        Rows after;
    };
    const Case cases[] = {
        {"threshold", &MonitorRDAImpl::deleteThreshold, 5, Refused::Update, "RPTGRP",
         "SELECT 'T', THR_ID FROM {THRHLD} UNION ALL SELECT 'J', THR_ID FROM {JBRUME} UNION ALL "
         "SELECT 'D', THR_ID FROM {DIMGRP} UNION ALL SELECT 'R', THR_ID FROM {RPTGRP}",
         {{"D", "1"}, {"D", "1"}, {"J", "1"}, {"J", "1"}, {"R", "1"}, {"R", "1"}, {"T", "1"}}},
        {"dimension", &MonitorRDAImpl::deleteDimension, 4, Refused::Delete, "DIMGRP",
         "SELECT 'N', DIM_ID FROM {DIMENS} UNION ALL SELECT 'J', DIM_ID FROM {JBRUME} UNION ALL "
         "SELECT 'D', DIM_ID FROM {DIMGRP}",
         {{"D", "1"}, {"J", "1"}, {"J", "1"}, {"N", "1"}}},
        // The group's weightings stay behind.
        {"report group", &MonitorRDAImpl::deleteReportGroup, 3, Refused::Update, "EXEC",
         "SELECT 'R', GRP_ID FROM {RPTGRP} UNION ALL SELECT 'E', GRP_ID FROM {EXEC} UNION ALL "
         "SELECT 'D', GRP_ID FROM {DIMGRP}",
         {{"D", "3"}, {"D", "3"}, {"E", "1"}, {"E", "1"}, {"R", "1"}}},
    };
    addReferences();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rows before = everything();
        for (uint32_t untouchable : {1u, kNone}) EXPECT_TRUE(((*rda).*c.remove)(untouchable));
        EXPECT_EQ(everything(), before);

        ASSERT_TRUE(repo->refuse(c.lastStep, c.lastTable));
        EXPECT_FALSE(((*rda).*c.remove)(c.id));
        EXPECT_EQ(everything(), before);
        ASSERT_TRUE(repo->allow(c.lastStep, c.lastTable));

        EXPECT_TRUE(((*rda).*c.remove)(c.id));
        EXPECT_EQ(rows(c.check), c.after);
        addReferences();
    }
}

TEST_P(MonitorGroups, ThresholdsStoreSevenBandsFromTheArrays) {
    const VqbString names[9] = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
    const double starts[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    const double ends[9] = {10, 11, 12, 13, 14, 15, 16, 17, 18};
    const int colors[9] = {100, 101, 102, 103, 104, 105, 106, 107, 108};
    auto bands = [&](const std::string& name) {
        std::string columns;
        for (int i = 0; i < 7; ++i)
            for (const char* c : {"NAME_", "START_", "END_", "COLOR_"}) columns += std::string(", ") + c + std::to_string(i);
        Rows r = rows("SELECT THR_DESC, FLDR_ID" + columns + " FROM {THRHLD} WHERE THR_NAME=?", {VqbDatavar(name)});
        return r.size() == 1 ? r[0] : std::vector<std::string>{};
    };
    auto expected = [&](const char* description, const char* folder, int given) {
        std::vector<std::string> row{description, folder};
        for (int i = 0; i < 7; ++i) {
            const bool set = i < given;
            row.push_back(set ? names[i].str() : "<null>");
            row.push_back(set ? std::to_string(i) : "<null>");
            row.push_back(set ? std::to_string(10 + i) : "<null>");
            row.push_back(set ? std::to_string(100 + i) : "<null>");
        }
        return row;
    };
    for (int given : {0, 3, 9}) {
        SCOPED_TRACE(given);
        const std::string name = "t" + std::to_string(given);
        uint32_t id = 0;
        ASSERT_TRUE(rda->addThreshold(name, "d", "u", "", 2, given, names, starts, ends, colors, &id));
        EXPECT_EQ(bands(name), expected("d", "2", std::min(given, 7)));
        EXPECT_EQ(repo->count("THRHLD", "THR_ID=?", {VqbDatavar(id)}), 1);
    }
    EXPECT_FALSE(rda->addThreshold("t3", "again", "u", "", 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_FALSE(rda->addThreshold("bare", "d", "u", "", 0, 2, nullptr, nullptr, nullptr, nullptr, nullptr));

    // An update rewrites the bands: with none given it clears them.
    const VqbString none;
    uint32_t id = static_cast<uint32_t>(std::stoul(repo->rows("SELECT THR_ID FROM {THRHLD} WHERE THR_NAME='t3'")[0][0]));
    ASSERT_TRUE(rda->updateThreshold(id, none, "new", none, kNone, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(bands("t3"), expected("new", "2", 0));
    ASSERT_TRUE(rda->updateThreshold(id, none, none, none, 8, 2, names, starts, ends, colors));
    EXPECT_EQ(bands("t3"), expected("new", "8", 2));
    const Rows before = everything();
    ASSERT_TRUE(rda->updateThreshold(id, none, none, "someone", kNone, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(everything(), before);
}

TEST_P(MonitorGroups, PartialUpdatesSetExactlyTheGivenFields) {
    addReferences();
    const VqbString none;
    const char* const group = "SELECT GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, ENDDATE, EDUSR, FLDR_ID FROM {RPTGRP} WHERE GRP_ID=3";
    const char* const dimension = "SELECT DIM_NAME, DIM_DESC, EDUSR, FLDR_ID FROM {DIMENS} WHERE DIM_ID=4";
    const char* const weighting = "SELECT THR_ID, WGHT FROM {DIMGRP} WHERE DIM_ID=4 AND GRP_ID=3";
    struct Case {
        const char* what;
        std::function<bool(MonitorRDAImpl&)> update;
        const char* read;
        Rows after;
    };
    const Case cases[] = {
        {"group folder only", [&](MonitorRDAImpl& m) { return m.updateReportGroup(3, none, none, kNone, kNone, kNone, VqbDate(), none, 9); },
         group, {{"Three", "<null>", "<null>", "<null>", "5", "<null>", "<null>", "9"}}},
        {"group threshold only", [&](MonitorRDAImpl& m) { return m.updateReportGroup(3, none, none, kNone, kNone, 1, VqbDate(), none, kNone); },
         group, {{"Three", "<null>", "<null>", "<null>", "1", "<null>", "<null>", "9"}}},
        {"group user alone", [&](MonitorRDAImpl& m) { return m.updateReportGroup(3, none, none, kNone, kNone, kNone, VqbDate(), "bob", kNone); },
         group, {{"Three", "<null>", "<null>", "<null>", "1", "<null>", "<null>", "9"}}},
        {"group every field", [&](MonitorRDAImpl& m) { return m.updateReportGroup(3, "N", "D", 6, 7, 5, VqbDate(40000), "bob", 8); },
         group, {{"N", "D", "6", "7", "5", "40000", "bob", "8"}}},
        {"dimension folder only", [&](MonitorRDAImpl& m) { return m.updateDimension(4, none, none, none, 6); },
         dimension, {{"Four", "<null>", "<null>", "6"}}},
        {"dimension name and user", [&](MonitorRDAImpl& m) { return m.updateDimension(4, "Vier", none, "ann", kNone); },
         dimension, {{"Vier", "<null>", "ann", "6"}}},
        {"weight only", [&](MonitorRDAImpl& m) { return m.updateDimensionGroup(4, 3, kNone, VqbReal(0.5)); },
         weighting, {{"5", "0.5"}}},
        {"threshold and weight", [&](MonitorRDAImpl& m) { return m.updateDimensionGroup(4, 3, 1, VqbReal(3)); },
         weighting, {{"1", "3"}}},
        {"weighting nothing given", [&](MonitorRDAImpl& m) { return m.updateDimensionGroup(4, 3, kNone, VqbReal()); },
         weighting, {{"1", "3"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.update(*rda));
        EXPECT_EQ(rows(c.read), c.after);
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
    EXPECT_EQ(cell(history, 0, 15), "13");
    Rows picked;
    for (const auto& row : history) picked.push_back({row[0], row[1], row[5], row[6], row[13]});
    EXPECT_EQ(sorted(picked), (Rows{{"111", "5", "20", "r20", "J"},
                                    {"111", "<null>", "21", "r21", "J"},
                                    {"113", "7", "21", "r21", "J"},
                                    {"113", "<null>", "20", "r20", "J"}}));
}

TEST_P(MonitorGroups, ListsFilterByWhatIsGiven) {
    addReferences();
    ASSERT_TRUE(rda->addDimensionGroup(4, 1, 5, VqbReal(1)));
    {
        LogCapture log;
        EXPECT_TRUE(rda->addDimensionGroup(4, 1, 1, VqbReal(9)));  // kept as it was
        EXPECT_TRUE(log.contains(vqb_get_message(VQB_MOD_MONITOR, 1211).str(), 4));
    }
    struct Case {
        const char* what;
        ReposDataAccessCursor* cursor;
        size_t count;
    };
    const Case cases[] = {
        {"every group", rda->listReportGroups(kNone, ""), 2},
        {"group by name", rda->listReportGroups(kNone, "Three"), 1},
        {"group by id and name", rda->listReportGroups(1, "Three"), 0},
        {"groups by threshold", rda->listReportGroupsByThreshold(5), 1},
        {"dimension by id", rda->listDimensions(4, ""), 1},
        {"threshold by name", rda->listThresholds(kNone, "Five"), 1},
        {"weightings of a dimension", rda->listDimensionGroups(4, kNone), 2},
        {"weightings of a group", rda->listDimensionGroups(kNone, 3), 2},
        {"one weighting", rda->listDimensionGroups(4, 1), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(take(c.cursor).size(), c.count);
    }
    EXPECT_EQ(rows("SELECT THR_ID, WGHT FROM {DIMGRP} WHERE DIM_ID=4 AND GRP_ID=1"), (Rows{{"5", "1"}}));
    ASSERT_TRUE(rda->deleteDimensionGroups(3, 4));
    EXPECT_EQ(repo->count("DIMGRP"), 2);
    ASSERT_TRUE(rda->deleteDimensionGroups(kNone, kNone));
    EXPECT_EQ(repo->count("DIMGRP"), 0);
}

REPOS_EVERY_PLACE(MonitorGroups);

// A repository whose table prefix holds SQL words, on PostgreSQL.
class MonitorPrefixWords : public ::testing::Test {};

TEST_F(MonitorPrefixWords, ListsAndUpdatesStayValid) {
    REPOS_REQUIRE_PG();
    TempDir specs;
    ConfigScope config;
    config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
    const VqbString where(pgConnection());
    const VqbString prefix(uniqueTestPrefix('W') + "WHERE_SET_");
    ReposHeld<RepositoryAdmin> admin(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    ASSERT_TRUE(admin && admin->createRepository(where, prefix)) << (admin ? admin->getErrorMessage().str() : "");
    {
        ReposHeld<Repository> repository(admin->connectRepository(where, prefix, true, nullptr));
        ASSERT_NE(repository, nullptr);
        ReposHeld<MonitorRepositoryDataAccess> m(repository->createMonitorRepositoryDataAccess());
        ASSERT_NE(m, nullptr);
        uint32_t dimension = 0, group = 0;
        ASSERT_TRUE(m->addDimension("Speed", "", "u", "", 0, &dimension));
        ASSERT_TRUE(m->addReportGroup("Board", "", 1, 1, 1, VqbDate(), "u", "", 0, &group));
        ASSERT_TRUE(m->addDimensionGroup(dimension, group, 1, VqbReal(1)));
        EXPECT_EQ(take(m->listDimensions(dimension, "Speed")).size(), 1u);
        EXPECT_EQ(take(m->listReportGroups(kNone, "Board")).size(), 1u);
        EXPECT_EQ(take(m->listThresholds(1, "")).size(), 1u);
        ASSERT_TRUE(m->updateDimensionGroup(dimension, group, kNone, VqbReal(0.25)));
        const Rows weighting = take(m->listDimensionGroups(dimension, group));
        EXPECT_EQ(cell(weighting, 0, 3), "0.25");
        EXPECT_TRUE(m->deleteDimensionGroups(group, dimension));
        EXPECT_EQ(take(m->listDimensionGroups(dimension, group)).size(), 0u);
    }
    EXPECT_TRUE(admin->deleteRepository(where, prefix)) << admin->getErrorMessage().str();
}

// What creation writes: the defaults that deletes fall back on.
class MonitorDefaults : public RepositoryTest {};

TEST_P(MonitorDefaults, CreatedRepositoriesHoldDefaultRowsOne) {
    ASSERT_TRUE(create()) << error().str();
    const std::pair<const char*, const char*> keys[] = {{"RPTGRP", "GRP_ID"}, {"DIMENS", "DIM_ID"}, {"THRHLD", "THR_ID"}};
    for (auto [table, key] : keys)
        EXPECT_EQ(rows("SELECT COUNT(*) FROM " + t(table) + " WHERE " + key + "=1"), (Rows{{"1"}})) << table;
    EXPECT_TRUE(drop());
}

REPOS_EVERY_PLACE(MonitorDefaults);

}  // namespace
