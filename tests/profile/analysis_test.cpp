// Redundancy analysis, metric and rule outputs with the rule log, alerts and charts, on every place;
// what is written is read back raw. A second connection tells what a commit made durable.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "prof_rdaimpl.h"
#include "rda_factory.h"
#include "repos_fixture.h"

namespace {

const uint32_t kAll = 0xFFFFFFFFu;
const char* const kHostile = "it's \"x\"; DROP --%s _";  // fits a 32-character name

class Analysis : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo_ = std::make_unique<TestRepository>(GetParam());
        if (!repo_->connection()) GTEST_SKIP() << "no repository in this place";
        profile_.reset(new ProfileRDAImpl(repo_->connection()));
        const std::string text =
            GetParam() == Place::Postgres ? pgConnection() : "VQXTYPE=SQLITE;FILE=" + repo_->file();
        VqbString error;
        other_.reset(createReposDataAccess(REPOS_BACKEND_CONNECTOR, text, repo_->prefix(), nullptr, error));
        ASSERT_NE(other_, nullptr) << error.str();
    }
    // Rows of the table as a second connection sees them: only what was committed.
    int committed(const char* table) {
        ReposHeld<ReposDataAccessCursor> c(
            other_->paramSelect(VqbString("SELECT COUNT(*) FROM ") + other_->getTableName(table, true, -1), 0));
        EXPECT_NE(c, nullptr);
        return c && c->next() == 1 ? c->getInt(0) : -1;
    }
    uint32_t chart(uint32_t report, uint32_t run, const char* name, const char* type) {
        uint32_t id = kAll;
        EXPECT_TRUE(profile_->addChart(report, run, name, type, &id));
        return id;
    }
    std::unique_ptr<TestRepository> repo_;
    ReposHeld<ProfileRepositoryDataAccess> profile_;
    ReposHeld<ReposDataAccess> other_;
};

TEST_P(Analysis, RedundancyConfigurationsFieldsAndPairs) {
    uint32_t match = 0, withMatch = 0, without = 0, id = 7;
    ASSERT_TRUE(profile_->addMatchDefinition("Name", "85", "ENUSA", &match));
    ASSERT_TRUE(profile_->addRedundancyConfig(5, "m", "with", match, &withMatch));
    ASSERT_TRUE(profile_->addRedundancyConfig(5, kHostile, "none", kAll, &without));
    {
        LogCapture log;
        EXPECT_FALSE(profile_->addRedundancyConfig(5, "x", "gone", match + 100, &id));
        const auto entries = log.entries();
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto& e) {
            return e.level == 5 && e.text.find("The match definition does not exist.") != std::string::npos;
        }));
    }
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(repo_->rows("SELECT RDACFGNM, MC_ID FROM {RDACFG} ORDER BY RDACFGID"),
              Rows({{"m", std::to_string(match)}, {kHostile, "-1"}}));
    const std::string w = std::to_string(withMatch), n = std::to_string(without), m = std::to_string(match);
    EXPECT_EQ(sorted(take(profile_->listRedundancyConfigsOfJob(5))),
              sorted(Rows({{w, "m", "with", m, "5", "Name", "85", "ENUSA"},
                           {n, kHostile, "none", "-1", "5", "<null>", "<null>", "<null>"}})));
    EXPECT_EQ(take(profile_->getRedundancyConfigByName(kHostile, 5)).size(), 1u);
    EXPECT_TRUE(take(profile_->getRedundancyConfigByName("m", 6)).empty());

    // Fields: added once, by configuration and by its match definition.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(profile_->addRedundancyField(5, 10, withMatch));
        ASSERT_TRUE(profile_->addRedundancyField(5, 11, withMatch));
        ASSERT_TRUE(profile_->addRedundancyField(5, 10, without));
    }
    EXPECT_EQ(repo_->count("FLDRDA"), 3);
    EXPECT_TRUE(profile_->existsRedundancyField(without, 10));
    EXPECT_FALSE(profile_->existsRedundancyField(without, 11));
    EXPECT_EQ(take(profile_->listRedundancyConfigsOfField(10)).size(), 2u);
    const struct {
        uint32_t match, field;
        size_t rows;
    } byMatch[] = {{kAll, kAll, 3}, {match, kAll, 2}, {match, 11, 1}, {kAll, 10, 2}, {match + 100, kAll, 0}};
    for (const auto& c : byMatch)
        EXPECT_EQ(take(profile_->listRedundancyFieldsByMatch(c.match, c.field)).size(), c.rows) << c.match << c.field;

    // Pairs in either orientation; swap exchanges every left/right column.
    ASSERT_TRUE(profile_->addRedundancyResult(5, withMatch, 10, 11, 1, 2, 3, 4, 5, 6, 7));
    ASSERT_TRUE(profile_->addRedundancyResult(5, withMatch, 11, 12, 0, 0, 0, 0, 0, 0, 0));
    const Rows straight{{"10", "11", "1", "3", "2", "4", "5", "6", "7", "5", w}};
    const Rows swapped{{"11", "10", "3", "1", "4", "2", "5", "7", "6", "5", w}};
    EXPECT_EQ(take(profile_->listRedundancyResults(withMatch, 10, 11, false)), straight);
    EXPECT_EQ(take(profile_->listRedundancyResults(withMatch, 11, 10, false)), straight);
    EXPECT_EQ(take(profile_->listRedundancyResults(withMatch, 11, 10, true)), swapped);
    EXPECT_EQ(take(profile_->listRedundancyResults(withMatch, 10, kAll, false)).size(), 2u);
    EXPECT_EQ(take(profile_->listRedundancyResults(without, kAll, kAll, false)).size(), 0u);
    EXPECT_TRUE(profile_->deleteRedundancyResult(11, 10));
    EXPECT_EQ(repo_->count("RDARES"), 2);
    EXPECT_TRUE(profile_->deleteRedundancyResults(withMatch, kAll, 12));
    EXPECT_EQ(repo_->rows("SELECT FLD_IDL FROM {RDARES}"), Rows({{"10"}}));

    // Deletes of one field, of all fields, and changes without a match check.
    EXPECT_TRUE(profile_->deleteRedundancyFieldsEx(withMatch, 11));
    EXPECT_TRUE(profile_->deleteRedundancyField(withMatch, 99));
    EXPECT_EQ(repo_->count("FLDRDA"), 2);
    EXPECT_TRUE(profile_->deleteRedundancyFields(withMatch));
    EXPECT_EQ(repo_->rows("SELECT FLD_ID, RDACFGID FROM {FLDRDA}"), Rows({{"10", n}}));
    EXPECT_TRUE(profile_->updateRedundancyConfigEx(withMatch, "renamed", kHostile, 4242));
    EXPECT_EQ(repo_->rows("SELECT RDACFGNM, RDACFGDS, MC_ID FROM {RDACFG} WHERE RDACFGID=?", {int(withMatch)}),
              Rows({{"renamed", kHostile, "4242"}}));
    EXPECT_TRUE(profile_->deleteRedundancyConfigEx(withMatch));
    EXPECT_EQ(repo_->count("RDACFG"), 1);
}

TEST_P(Analysis, RuleLogCommitsOnceAtTheOutermostEnd) {
    ASSERT_TRUE(profile_->beginBusinessRuleLog());
    ASSERT_TRUE(profile_->beginBusinessRuleLog());
    for (uint32_t log = 0; log < 3; ++log)
        ASSERT_TRUE(profile_->addBusinessRuleLogEntry(1, 2, 3, log, 0, "a\\,b\\\\c\\*"));
    EXPECT_TRUE(profile_->endBusinessRuleLog());
    EXPECT_EQ(committed("PBRLOG"), 0);
    EXPECT_TRUE(profile_->endBusinessRuleLog());
    EXPECT_EQ(committed("PBRLOG"), 3);
    EXPECT_EQ(take(profile_->listBusinessRuleLog(1, 3, true)), Rows({{"2", "3", "0", "a\\,b\\\\c\\*"}}));
    EXPECT_EQ(take(profile_->listBusinessRuleLog(1, 3, false)).size(), 3u);
    // The log inside a caller's level never ends it.
    ASSERT_TRUE(profile_->beginTransaction(false));
    ASSERT_TRUE(profile_->beginBusinessRuleLog());
    ASSERT_TRUE(profile_->addBusinessRuleLogEntry(1, 2, 3, 9, 0, "x"));
    ASSERT_TRUE(profile_->endBusinessRuleLog());
    EXPECT_EQ(committed("PBRLOG"), 3);
    ASSERT_TRUE(profile_->endTransaction(true));
    EXPECT_EQ(committed("PBRLOG"), 4);
}

// After each way the log can fail, the connection is back at depth 0: a plain statement commits.
TEST_P(Analysis, RuleLogFailuresLeaveNoLevelOpen) {
    const struct {
        const char* name;
        std::function<bool()> breakIt;  // false: the place cannot
        int kept;
    } cases[] = {
        {"failed begin",
         [this] {
             if (!repo_->blockBegin()) return false;
             EXPECT_FALSE(profile_->beginBusinessRuleLog());
             repo_->unblockBegin();
             EXPECT_FALSE(profile_->addBusinessRuleLogEntry(1, 2, 3, 0, 0, "x"));
             EXPECT_FALSE(profile_->endBusinessRuleLog());
             return true;
         },
         0},
        {"failed entry",
         [this] {
             // Made to refuse before the log's level: its rollback would take the refusal along.
             EXPECT_TRUE(repo_->refuse(Refused::Insert, "PBRLOG"));
             EXPECT_TRUE(profile_->beginBusinessRuleLog());
             EXPECT_TRUE(profile_->beginBusinessRuleLog());
             EXPECT_FALSE(profile_->addBusinessRuleLogEntry(1, 2, 3, 1, 0, "x"));
             EXPECT_TRUE(repo_->allow(Refused::Insert, "PBRLOG"));
             EXPECT_FALSE(profile_->addBusinessRuleLogEntry(1, 2, 3, 2, 0, "x"));
             EXPECT_TRUE(profile_->endBusinessRuleLog());
             EXPECT_FALSE(profile_->endBusinessRuleLog());
             return true;
         },
         0},
        {"unmatched end",
         [this] {
             EXPECT_FALSE(profile_->endBusinessRuleLog());
             EXPECT_FALSE(profile_->endBusinessRuleLog());
             EXPECT_FALSE(profile_->addBusinessRuleLogEntry(1, 2, 3, 0, 0, "x"));
             return true;
         },
         0},
        {"release while open",
         [this] {
             EXPECT_TRUE(profile_->beginBusinessRuleLog());
             EXPECT_TRUE(profile_->addBusinessRuleLogEntry(1, 2, 3, 0, 0, "x"));
             LogCapture log;
             profile_.reset(new ProfileRDAImpl(repo_->connection()));  // releases the open one
             const auto entries = log.entries();
             EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.level == 4; }));
             return true;
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(repo_->exec("DELETE FROM {PBRLOG}"));
        if (!c.breakIt()) continue;
        EXPECT_EQ(committed("PBRLOG"), c.kept);
        ASSERT_TRUE(
            repo_->exec("INSERT INTO {PBRLOG} (TBL_ID, BR_ID, PBR_SEQ, LOG_ID, LOG_SEQ, LOG_DATA) "
                        "VALUES (7, 7, 7, 7, 7, 'after')"));
        EXPECT_EQ(committed("PBRLOG"), c.kept + 1);
        // And the log works again from the start.
        ASSERT_TRUE(profile_->beginBusinessRuleLog());
        ASSERT_TRUE(profile_->addBusinessRuleLogEntry(8, 8, 8, 0, 0, "again"));
        ASSERT_TRUE(profile_->endBusinessRuleLog());
        EXPECT_EQ(committed("PBRLOG"), c.kept + 2);
    }
}

TEST_P(Analysis, OutputsReadBackByTableReportTrailAndSource) {
    uint32_t report = 0, run1 = 0, run2 = 0, ds1 = 0, ds2 = 0, t1 = 0, t2 = 0;
    ASSERT_TRUE(profile_->addReport(kAll, 0, "r", 1.0, "u", &report));
    // The later run is added first: the report reads go by run id.
    ASSERT_TRUE(profile_->addJob("one", 1.0, report, &run1));
    ASSERT_TRUE(profile_->addJob("two", 2.0, report, &run2));
    ASSERT_TRUE(profile_->addDataSource(run2, kHostile, "c", "N", &ds2));
    ASSERT_TRUE(profile_->addDataSource(run1, kHostile, "c", "N", &ds1));
    ASSERT_TRUE(profile_->addTable(ds2, "cat", "sch", "T", "", "", "", 0, "", &t2));
    ASSERT_TRUE(profile_->addTable(ds1, "cat", "sch", "T", "", "", "", 0, "", &t1));
    ASSERT_TRUE(repo_->exec("INSERT INTO {CUSTM} (CM_ID, CM_DESC) VALUES (30, 'metric')"));
    ASSERT_TRUE(repo_->exec("INSERT INTO {RULE} (RU_ID, RU_DESC) VALUES (40, 'rule')"));
    for (uint32_t table : {t2, t1}) {
        ASSERT_TRUE(profile_->addCustomMetricOutput(table, 30, 1, "out", "o1", "v", kHostile, 9));
        ASSERT_TRUE(profile_->addCustomMetricOutput(table, 31, 1, "out", "o2", "v", kHostile, 9));  // metric gone
        ASSERT_TRUE(profile_->addBusinessRuleOutput(table, 40, 2, 3, kHostile, "f", 9));
        ASSERT_TRUE(profile_->addBusinessRuleOutput(table, 41, 1, 3, kHostile, "f", 9));  // rule gone
    }
    const std::string r1 = std::to_string(run1), r2 = std::to_string(run2);
    const std::string a = std::to_string(t1), b = std::to_string(t2);
    EXPECT_EQ(take(profile_->listCustomMetricOutputs(t1)),
              Rows({{"30", "metric", "1", "out", "o1", "v", kHostile, "9"}}));
    Rows report1 = take(profile_->listReportCustomMetricOutputs(report, kHostile));
    ASSERT_EQ(report1.size(), 2u);
    EXPECT_EQ(report1[0][0] + report1[0][2] + report1[1][0] + report1[1][2], r1 + a + r2 + b);
    Rows report2 = take(profile_->listReportBusinessRuleOutputs(report, kHostile));
    ASSERT_EQ(report2.size(), 2u);
    EXPECT_EQ(report2[0][0] + report2[1][0], r1 + r2);
    EXPECT_TRUE(take(profile_->listReportBusinessRuleOutputs(report, "other")).empty());

    const struct {
        uint32_t run, table;
        size_t rows;
    } rules[] = {{kAll, kAll, 2}, {run1, kAll, 1}, {kAll, t2, 1}, {run1, t2, 0}, {run2, t2, 1}};
    for (const auto& c : rules)
        EXPECT_EQ(take(profile_->listBusinessRuleOutputs(c.run, c.table)).size(), c.rows) << c.run << " " << c.table;

    // Schema and catalogue bound in that order; the source reads keep outputs of deleted metrics.
    const struct {
        const char *catalog, *schema;
        size_t rows;
    } sources[] = {{"", "", 2}, {"cat", "sch", 2}, {"", "sch", 2}, {"cat", "", 2}, {"sch", "cat", 0}, {"x", "", 0}};
    for (const auto& c : sources) {
        EXPECT_EQ(
            take(profile_->listCustomMetricOutputsBySource(run1, kHostile, c.catalog, c.schema, "T", kHostile)).size(),
            c.rows)
            << c.catalog << "/" << c.schema;
        EXPECT_EQ(
            take(profile_->listBusinessRuleOutputsBySource(run1, kHostile, c.catalog, c.schema, "T", kHostile)).size(),
            c.rows)
            << c.catalog << "/" << c.schema;
    }
}

TEST_P(Analysis, AlertsAndChartsListChangeAndGoWhole) {
    uint32_t alert = 0;
    ASSERT_TRUE(profile_->addAlert(1, kHostile, "c", "s", "t", "f", "", "d", "r", "", "N", "SM", "u-1", &alert));
    ASSERT_TRUE(profile_->addAlertProperty(alert, "b", kHostile));
    ASSERT_TRUE(profile_->addAlertProperty(alert, "a", "1"));
    EXPECT_EQ(take(profile_->listAlerts(1)),
              Rows({{std::to_string(alert), kHostile, "c", "s", "t", "f", "", "d", "r", "", "N", "SM", "u-1"}}));
    EXPECT_EQ(take(profile_->listAlertProperties(alert)), Rows({{"a", "1"}, {"b", kHostile}}));

    ASSERT_TRUE(repo_->exec("INSERT INTO {GCATS} (GC_ID, GCNAME, GCDESC) VALUES (1, 'Money', 'm'), (2, 'Ids', 'i')"));
    const uint32_t cat = chart(3, 1, "cat", "C"), tab = chart(3, 1, kHostile, "T"), other = chart(4, 2, "o", "T");
    ASSERT_TRUE(profile_->addChartCategory(cat, 1));
    ASSERT_TRUE(profile_->addChartTable(tab, kHostile, "c", "s", "t", "", "F"));
    ASSERT_TRUE(profile_->addChartTable(other, "d", "c", "s", "t", "", "D"));
    for (uint32_t id : {cat, tab, other}) ASSERT_TRUE(profile_->addChartData(id, "p", 1, "v"));
    EXPECT_EQ(take(profile_->listCategoryCharts("", kAll, kAll, 77, kAll)),
              Rows({{std::to_string(cat), "3", "cat", "N", "1", "Money"}}));
    const struct {
        const char* name;
        uint32_t run;
        const char* source;
        char kind;
        size_t rows;
    } tables[] = {{"", kAll, "", 0, 2},       {kHostile, kAll, "", 0, 1}, {"", 2, "", 0, 1},
                  {"", kAll, kHostile, 0, 1}, {"", kAll, "", 'D', 1},     {"", kAll, "", 'X', 0}};
    for (const auto& c : tables)
        EXPECT_EQ(take(profile_->listTableCharts(c.name, kAll, kAll, c.run, c.source, "", "", "", "", c.kind)).size(),
                  c.rows)
            << c.name << c.run << c.source << c.kind;

    // Renaming marks a chart edited; a category change whose rename fails changes nothing.
    ASSERT_TRUE(profile_->setChartName(tab, "renamed"));
    EXPECT_EQ(repo_->rows("SELECT CH_NAME, CH_EDIT FROM {CHT} WHERE CH_ID=?", {int(tab)}), Rows({{"renamed", "Y"}}));
    ASSERT_TRUE(repo_->refuse(Refused::Update, "CHT"));
    EXPECT_FALSE(profile_->setChartCategory(cat, "new", 2));
    ASSERT_TRUE(repo_->allow(Refused::Update, "CHT"));
    EXPECT_EQ(repo_->rows("SELECT DOM_ID FROM {CHTCAT}"), Rows({{"1"}}));
    ASSERT_TRUE(profile_->setChartCategory(cat, "new", 2));
    EXPECT_EQ(take(profile_->listCategoryCharts("new", cat, 3, 0, 2)),
              Rows({{std::to_string(cat), "3", "new", "Y", "2", "Ids"}}));

    // Deletes: everything of a chart or nothing; a run's charts go, another run's stay.
    const auto rowsOfCharts = [&] {
        return repo_->count("CHT") + repo_->count("CHTDAT") + repo_->count("CHTTAB") + repo_->count("CHTCAT");
    };
    ASSERT_EQ(rowsOfCharts(), 9);
    ASSERT_TRUE(repo_->refuse(Refused::Delete, "CHTTAB"));
    EXPECT_FALSE(profile_->deleteChart(tab));
    EXPECT_FALSE(profile_->deleteChartsOfJob(1));
    EXPECT_EQ(rowsOfCharts(), 9);
    ASSERT_TRUE(repo_->allow(Refused::Delete, "CHTTAB"));
    EXPECT_TRUE(profile_->deleteChart(12345));
    EXPECT_TRUE(profile_->deleteChartsOfJob(1));
    EXPECT_EQ(repo_->rows("SELECT CH_ID FROM {CHT}"), Rows({{std::to_string(other)}}));
    EXPECT_EQ(rowsOfCharts(), 3);
    EXPECT_TRUE(profile_->deleteChartData(other));
    EXPECT_TRUE(profile_->updateChartTable(other, "d2", "", "", "", "", "F"));
    EXPECT_EQ(repo_->rows("SELECT CT_DSN, CT_TYPE FROM {CHTTAB}"), Rows({{"d2", "F"}}));
    EXPECT_EQ(rowsOfCharts(), 2);
}

REPOS_EVERY_PLACE(Analysis);

}  // namespace
