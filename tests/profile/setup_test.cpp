// Job setups as the import and the host write, read, rename and delete them, and the deletion of
// report runs with every row and per-field table that hangs on them; checked against the stored rows.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "process_burst.h"
#include "prof_rdaimpl.h"
#include "recording_event_manager.h"
#include "repos_fixture.h"

namespace {

const uint32_t kNone = 0xFFFFFFFFu;
const char* const kChildren[] = {"JKEYVL", "JRCFGS", "JDSN",   "JTABLE", "JFLD",   "JFRDA",  "JFLDME", "JFLDPR", "JLNKFL",
                                 "JTBLME", "JCMDMA", "JTBLRU", "JTBLMA", "JGMET",  "JALERT", "JALPRP", "JCHART", "JCHPRP"};

class JobSetups : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam(), "WHERE_");
        if (IsSkipped()) return;
        ASSERT_TRUE(repo->connection());
        p.reset(new ProfileRDAImpl(repo->connection()));
    }

    // A setup with rows in each child table; its ids by table.
    uint32_t writeSetup(const char* name, std::map<std::string, uint32_t>& id) {
        const uint32_t su = p->addJobSetup(name, "d", std::string("u-") + name, 45000.5, 45001.5, "ann", "bob", 0);
        id["JSETUP"] = su;
        id["JRCFGS"] = p->addJobRedundancyConfig(su, "cfg", "c", "def", "85", "en");
        id["JDSN"] = p->addJobDataSource(su, "Orders", "DSN=o", "");
        id["JTABLE"] = p->addJobTable(su, id["JDSN"], "cat", "sch", "T", "", "", "", 1, "", ",", "\"", 0, 0, 10, "N",
                                      1, 2, "N", true);
        id["JFLD"] = p->addJobField(su, id["JDSN"], id["JTABLE"], "AMOUNT", "Y", 3);
        id["JTBLME"] = p->addJobTableCustomMetric(su, id["JTABLE"], 4, "cm", std::string("cm-") + name);
        id["JTBLRU"] = p->insertJobBusinessRule(su, id["JTABLE"], 5, "br", 1, 2, "br-uid");
        id["JALERT"] = p->addJobAlert(su, "Orders", "cat", "sch", "T", "AMOUNT", "", "a", "r", "", "W", "al-uid");
        id["JCHART"] = p->addJobChart(su, "Orders", "cat", "sch", "T", "AMOUNT", "", "c", "");
        const bool ok = p->addJobKeyValue(su, "k", "v") &&
                        p->addJobFieldRedundancy(su, id["JRCFGS"], "Orders", "cat", "sch", "T", "AMOUNT", "N") &&
                        p->addJobFieldMetric(su, id["JDSN"], id["JTABLE"], id["JFLD"], "MIN", "1") &&
                        p->addJobFieldProperty(su, id["JDSN"], id["JTABLE"], id["JFLD"], "FMT", "0.0") &&
                        p->addJobLinkedField(su, id["JFLD"], "O", "c", "s", "U", "ID", "P", "") &&
                        p->addJobCustomMetricMappingEx(su, id["JTABLE"], 4, id["JTBLME"], "cm", "in", "", "AMOUNT", "I") &&
                        p->addJobRuleFieldMapping(su, id["JTBLRU"], id["JTABLE"], 5, "br", "AMOUNT", "x") &&
                        p->addJobGlobalMetric(su, "COUNT", "Y") && p->setJobAlertProperty(su, id["JALERT"], "p", "1") &&
                        p->addJobChartProperty(su, id["JCHART"], "color", 1, "red");
        for (const auto& entry : id) EXPECT_NE(entry.second, kNone) << entry.first;
        EXPECT_TRUE(ok);
        return su;
    }

    // A report of the setup with runs; per-field frequency tables for runs that do not share one.
    uint32_t writeRuns(uint32_t setup, int runs, int fieldsPerRun, bool sharedTable, std::vector<uint32_t>& fields) {
        uint32_t report = 0, run = 0, source = 0, table = 0, field = 0, chart;
        EXPECT_TRUE(p->addReport(setup, 0, "R", 45000, "ann", &report));
        for (int r = 0; r < runs; ++r) {
            EXPECT_TRUE(p->addJob("", 45000 + r, report, &run));
            EXPECT_TRUE(p->addJobConfigValue(run, "SAME_FREQ_TABLE", sharedTable ? "1" : "0"));
            EXPECT_TRUE(p->addDataSource(run, "Orders", "DSN=o", "N", &source));
            EXPECT_TRUE(p->addTable(source, "", "", "T", "", "", "", 1, "", &table));
            chart = run * 10;
            EXPECT_TRUE(repo->exec("INSERT INTO {CHT} (CH_ID, RPT_ID, JOB_ID) VALUES (?, ?, ?)",
                                   {VqbDatavar(chart), VqbDatavar(report), VqbDatavar(run)}));
            EXPECT_TRUE(repo->exec("INSERT INTO {CHTDAT} (CH_ID) VALUES (?)", {VqbDatavar(chart)}));
            for (int f = 0; f < fieldsPerRun; ++f) {
                EXPECT_TRUE(p->addField(source, table, "F", "S", &field));
                EXPECT_TRUE(p->addPrimaryForeignKey(field, field, 1));
                fields.push_back(field);
                if (!sharedTable) {
                    EXPECT_TRUE(repo->exec("CREATE TABLE {FRQDST" + std::to_string(field) + "} (FD_VALUE INTEGER)"));
                }
            }
        }
        return report;
    }

    bool tableExists(uint32_t field) {
        ColumnSpecList columns;
        return repo->connection()->getTableColumns(VqbString::format("FRQDST%u", field), &columns) > 0;
    }
    int runRows(uint32_t report) { return repo->count("JOB", "RPT_ID=?", {VqbDatavar(report)}); }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<ProfileRDAImpl> p;
};

TEST_P(JobSetups, RoundTripsThroughTheListsAndClearsExactlyItsChildren) {
    std::map<std::string, uint32_t> id, other;
    const uint32_t su = writeSetup("first", id);
    writeSetup("second", other);
    if (HasFailure()) return;
    auto stored = [&](const char* table, const std::string& key, uint32_t value) {
        return repo->rows("SELECT * FROM {" + std::string(table) + "} WHERE " + key + "=?", {VqbDatavar(value)});
    };
    const uint32_t ds = id["JDSN"], tb = id["JTABLE"], fd = id["JFLD"];
    const struct {
        const char* table;
        ReposDataAccessCursor* list;
        Rows expected;
    } lists[] = {
        {"JSETUP", p->getJobSetup(su), stored("JSETUP", "SU_ID", su)},
        {"JKEYVL", p->listJobKeyValues(su), stored("JKEYVL", "SU_ID", su)},
        {"JDSN", p->listJobDataSources(su), stored("JDSN", "SU_ID", su)},
        {"JTABLE", p->listJobTables(ds), stored("JTABLE", "DSN_ID", ds)},
        {"JFLD", p->listJobFields(ds, tb), stored("JFLD", "TBL_ID", tb)},
        {"JFLDME", p->listJobFieldMetrics(ds, tb, fd), stored("JFLDME", "FLD_ID", fd)},
        {"JFLDPR", p->listJobFieldProperties(ds, tb, fd), stored("JFLDPR", "FLD_ID", fd)},
        {"JLNKFL", p->listJobLinkedFields(fd, ""), stored("JLNKFL", "FLD_ID", fd)},
        {"JLNKFL P", p->listJobLinkedFields(fd, "P"), stored("JLNKFL", "FLD_ID", fd)},
        {"JTBLME", p->listJobTableCustomMetrics(tb), stored("JTBLME", "TBL_ID", tb)},
        {"JCMDMA", p->listJobCustomMetricMappings(su, tb), stored("JCMDMA", "SU_ID", su)},
        // Sequence and table ids are bound to their own columns, whichever comes first.
        {"JCMDMA of metric", p->listJobCustomMetricMappingsOfMetric(tb, id["JTBLME"], "cm"), stored("JCMDMA", "SU_ID", su)},
        {"JTBLRU", p->listJobTableBusinessRules(tb), stored("JTBLRU", "TBL_ID", tb)},
        {"JTBLRU of setup", p->listJobBusinessRules(su), stored("JTBLRU", "SU_ID", su)},
        {"JTBLMA", p->listJobRuleFieldMappings(tb, 5, id["JTBLRU"]), stored("JTBLMA", "SU_ID", su)},
        {"JRCFGS", p->listJobRedundancyConfigs(su), stored("JRCFGS", "SU_ID", su)},
        {"JRCFGS by settings", p->getJobRedundancyConfigBySettings(su, "cfg", "def", "85", "en"), stored("JRCFGS", "SU_ID", su)},
        {"JFRDA", p->listJobFieldRedundancies(su, kNone), stored("JFRDA", "SU_ID", su)},
        {"JFRDA of config", p->listJobFieldRedundancies(su, id["JRCFGS"]), stored("JFRDA", "SU_ID", su)},
        {"JGMET", p->listJobGlobalMetrics(su), stored("JGMET", "SU_ID", su)},
        {"JALERT", p->listJobAlerts(su), stored("JALERT", "SU_ID", su)},
        {"JALPRP", p->listJobAlertProperties(id["JALERT"]), stored("JALPRP", "SU_ID", su)},
        {"JCHART", p->listJobCharts(su), stored("JCHART", "SU_ID", su)},
        {"JCHPRP", p->listJobChartProperties(id["JCHART"]), stored("JCHPRP", "SU_ID", su)},
        {"inputs", p->listJobCustomMetricInputs("cm-first"), {{"in"}}},
        {"sources", p->listJobSetupSources(su), {{"Orders", "DSN=o", "cat", "sch", "T", "", "", std::to_string(tb)}}},
    };
    for (const auto& list : lists) {
        EXPECT_EQ(list.expected.size(), 1u) << list.table;
        EXPECT_EQ(take(list.list), list.expected) << list.table;
    }
    EXPECT_EQ(take(p->listJobLinkedFields(fd, "R")), Rows{});
    EXPECT_EQ(take(p->listJobSetups()).size(), 2u);
    EXPECT_TRUE(p->existsJobFieldRedundancy(su, "Orders", "cat", "sch", "T", "AMOUNT"));

    ASSERT_TRUE(p->clearJobSetup(su));
    for (const char* table : kChildren) {
        EXPECT_EQ(repo->count(table, "SU_ID=?", {VqbDatavar(su)}), 0) << table;
        EXPECT_EQ(repo->count(table, "SU_ID=?", {VqbDatavar(other["JSETUP"])}), 1) << table;
    }
    EXPECT_EQ(repo->count("JSETUP"), 2);
}

TEST_P(JobSetups, FindOrInsertReusesOnlyWithinItsSetupAndKeys) {
    const uint32_t a = p->addJobSetup("a", "", "u-a", 1, 1, "", "", 0), b = p->addJobSetup("b", "", "u-b", 1, 1, "", "", 0);
    ASSERT_NE(a, kNone);
    // The same rule in two setups: two rows, each setup keeping its own.
    const uint32_t ruleA = p->insertJobBusinessRule(a, 9, 5, "br", 0, 0, "same-uid");
    EXPECT_NE(p->insertJobBusinessRule(b, 9, 5, "br", 0, 0, "same-uid"), ruleA);
    EXPECT_EQ(p->insertJobBusinessRule(a, 9, 5, "br", 0, 0, "same-uid"), ruleA);
    EXPECT_EQ(p->insertJobBusinessRule(a, 9, 6, "other", 0, 0, VqbString()), p->insertJobBusinessRule(a, 9, 6, "x", 0, 0, VqbString()));
    EXPECT_EQ(repo->count("JTBLRU"), 3);

    // A filtered and an unfiltered T of one source are two tables, whichever comes first.
    auto table = [&](uint32_t su, const char* filter) {
        return p->addJobTable(su, 1, "", "s", "T", filter, "", "", 0, "", "", "", 0, 0, 0, "", 0, 0, "", false);
    };
    for (uint32_t su : {a, b}) {
        const bool filteredFirst = su == b;
        const uint32_t first = table(su, filteredFirst ? "F" : ""), second = table(su, filteredFirst ? "" : "F");
        EXPECT_NE(first, second);
        EXPECT_EQ(table(su, "F"), filteredFirst ? first : second);
        EXPECT_EQ(repo->count("JTABLE", "SU_ID=?", {VqbDatavar(su)}), 2);
        uint32_t found = 0;
        EXPECT_TRUE(p->getJobTableIdByName(su, 1, "", "", "T", "F", "", "", "", &found));
        EXPECT_EQ(found, filteredFirst ? first : second);
    }

    const uint32_t source = p->addJobDataSource(a, "D", "one", "");
    EXPECT_EQ(p->addJobDataSource(a, "D", "two", ""), source);
    EXPECT_EQ(repo->rows("SELECT DSN_CONN FROM {JDSN}"), (Rows{{"one"}}));
    const uint32_t config = p->addJobRedundancyConfig(a, "c", "one", "d", "85", "en");
    EXPECT_EQ(p->addJobRedundancyConfig(a, "c", "two", "d", "85", "en"), config);
    EXPECT_NE(p->addJobRedundancyConfig(a, "c", "one", "d", "90", "en"), config);
    ASSERT_TRUE(p->setJobAlertProperty(a, 3, "p", "1"));
    ASSERT_TRUE(p->setJobAlertProperty(a, 3, "p", "2"));
    EXPECT_EQ(repo->rows("SELECT AP_VAL FROM {JALPRP}"), (Rows{{"2"}}));
    // One name in one folder.
    EXPECT_EQ(p->addJobSetup("a", "", "u-c", 1, 1, "", "", 0), kNone);
    EXPECT_NE(p->addJobSetup("a", "", "u-c", 1, 1, "", "", 4), kNone);
}

TEST_P(JobSetups, EventsOnlyAfterTheirOwnCommit) {
    RecordingEventManager events;
    RepositoryEventManagerScope scope(&events);
    const std::string r = repo->uuid();
    const uint32_t su = p->addJobSetup("s", "", "u-s", 1, 1, "", "", 0);
    ASSERT_TRUE(p->updateJobSetup(su, "S", "", 2, "ann", 0));    // case alone: a change
    ASSERT_TRUE(p->updateJobSetup(su, "renamed", "", 2, "ann", 0));
    ASSERT_TRUE(p->beginTransaction(false));
    const uint32_t inner = p->addJobSetup("inner", "", "u-i", 1, 1, "", "", 0);
    ASSERT_TRUE(p->updateJobSetup(inner, "x", "", 2, "ann", 0));
    ASSERT_TRUE(p->endTransaction(true));
    ASSERT_TRUE(repo->refuse(Refused::Insert, "JSETUP"));
    EXPECT_EQ(p->addJobSetup("refused", "", "u-r", 1, 1, "", "", 0), kNone);
    std::vector<std::string> seen;
    for (const auto& e : events.events()) seen.push_back(e.describe());
    const std::string id = std::to_string(su);
    EXPECT_EQ(seen, (std::vector<std::string>{"postEvent(" + r + ", 0, ProfileJob, " + id + ", u-s)",
                                              "postEvent(" + r + ", 2, ProfileJob, " + id + ", )",
                                              "postRenameEvent(" + r + ", ProfileJob, " + id + ", , S, renamed)"}));
}

TEST_P(JobSetups, FindsByIdThenUuidThenName) {
    const uint32_t su = p->addJobSetup("s", "", "u-s", 1, 1, "", "", 0);
    EXPECT_EQ(p->findJobSetup(0, "", ""), nullptr);
    EXPECT_EQ(cell(take(p->findJobSetup(static_cast<int>(su), "", "")), 0, 0), std::to_string(su));
    EXPECT_EQ(cell(take(p->findJobSetup(0, "s", "u-s")), 0, 0), std::to_string(su));
    // A uuid that finds nothing is an answer: no fall-back to the name.
    EXPECT_EQ(take(p->findJobSetup(0, "s", "u-none")), Rows{});
}

TEST_P(JobSetups, DeletingASetupTakesEveryReportWithItsRunsAndTables) {
    RecordingEventManager events;
    RepositoryEventManagerScope scope(&events);
    std::map<std::string, uint32_t> id;
    const uint32_t su = writeSetup("s", id);
    std::vector<uint32_t> fields;
    const uint32_t first = writeRuns(su, 2, 2, false, fields), second = writeRuns(su, 1, 1, false, fields);
    if (HasFailure()) return;
    // A refusal half-way keeps the setup and announces nothing.
    ASSERT_TRUE(repo->refuse(Refused::Delete, "PKFK"));
    EXPECT_FALSE(p->deleteJobSetup(su));
    ASSERT_TRUE(repo->allow(Refused::Delete, "PKFK"));
    EXPECT_EQ(repo->count("JSETUP"), 1);
    EXPECT_EQ(repo->count("JKEYVL"), 1);
    EXPECT_EQ(repo->count("REPORT"), 2);
    for (uint32_t field : fields) EXPECT_TRUE(tableExists(field)) << field;
    ASSERT_EQ(events.events().size(), 1u);
    ASSERT_TRUE(p->deleteJobSetup(su));
    for (const char* table : {"JSETUP", "REPORT", "JOB", "DSN", "TBL", "FLD", "PKFK", "CHT", "CHTDAT", "JKEYVL"})
        EXPECT_EQ(repo->count(table), 0) << table;
    for (uint32_t field : fields) EXPECT_FALSE(tableExists(field)) << field;
    EXPECT_NE(first, second);
    ASSERT_EQ(events.events().size(), 2u);  // the create, then the delete by URI
    EXPECT_EQ(events.events()[1].kind, RecordedRepositoryEvent::Uri);
}

TEST_P(JobSetups, ARefusedCascadeLeavesEveryRowAndTable) {
    std::vector<uint32_t> fields;
    const uint32_t report = writeRuns(1, 2, 2, false, fields);
    if (HasFailure()) return;
    ASSERT_TRUE(repo->refuse(Refused::Delete, "PKFK"));
    EXPECT_FALSE(p->deleteReportJobs(kNone, kNone, report, true));
    ASSERT_TRUE(repo->allow(Refused::Delete, "PKFK"));
    EXPECT_EQ(runRows(report), 2);
    EXPECT_EQ(repo->count("PKFK"), 4);
    EXPECT_EQ(repo->count("REPORT"), 1);
    for (uint32_t field : fields) EXPECT_TRUE(tableExists(field));
    // Inside a caller's level the caller's end decides, for the rows and for the tables.
    ASSERT_TRUE(p->beginTransaction(false));
    EXPECT_TRUE(p->deleteReportJobs(kNone, kNone, report, true));
    ASSERT_TRUE(p->endTransaction(false));
    EXPECT_EQ(runRows(report), 2);
    for (uint32_t field : fields) EXPECT_TRUE(tableExists(field));
    EXPECT_EQ(p->deleteReportJobs(kNone, kNone, kNone, true), false);
}

TEST_P(JobSetups, ARangeKeepsTheRunsAndChartsOutsideIt) {
    std::vector<uint32_t> fields;
    const uint32_t report = writeRuns(1, 3, 1, true, fields);
    if (HasFailure()) return;
    const Rows runs = repo->rows("SELECT JOB_ID FROM {JOB} ORDER BY JOB_ID");
    ASSERT_EQ(runs.size(), 3u);
    const uint32_t middle = static_cast<uint32_t>(std::stoul(runs[1][0]));
    ASSERT_TRUE(p->deleteReportJobs(middle, middle, report, false));
    EXPECT_EQ(repo->rows("SELECT JOB_ID FROM {JOB} ORDER BY JOB_ID"), (Rows{runs[0], runs[2]}));
    EXPECT_EQ(repo->rows("SELECT JOB_ID FROM {CHT} ORDER BY JOB_ID"), (Rows{runs[0], runs[2]}));
    EXPECT_EQ(repo->count("FLD"), 2);
    ASSERT_TRUE(p->deleteReportJobs(middle + 1, kNone, report, true));
    EXPECT_EQ(repo->rows("SELECT JOB_ID FROM {JOB}"), (Rows{runs[0]}));
    EXPECT_EQ(repo->count("REPORT"), 0);
}

TEST_P(JobSetups, AReportWithThousandsOfRunsAndFieldsIsDeleted) {
    uint32_t report = 0, run = 0, source = 0, table = 0, field = 0;
    ASSERT_TRUE(p->addReport(1, 0, "R", 45000, "ann", &report));
    ASSERT_TRUE(p->beginTransaction(false));
    for (int r = 0; r < 1100; ++r) {
        ASSERT_TRUE(p->addJob("", 45000, report, &run));
        ASSERT_TRUE(p->addJobConfigValue(run, "SAME_FREQ_TABLE", "1"));
    }
    ASSERT_TRUE(p->addDataSource(run, "Orders", "DSN=o", "N", &source));
    ASSERT_TRUE(p->addTable(source, "", "", "T", "", "", "", 1, "", &table));
    for (int f = 0; f < 1200; ++f) ASSERT_TRUE(p->addField(source, table, "F", "S", &field));
    ASSERT_TRUE(p->endTransaction(true));
    ASSERT_TRUE(p->deleteReportJobs(kNone, kNone, report, true));
    EXPECT_EQ(repo->count("JOB"), 0);
    EXPECT_EQ(repo->count("FLD"), 0);
}

// Ids reserved for a table's inserts go to them in order and end with the reservation; a second
// writer meanwhile draws ids outside them; the child rows of other tables and the whole-table read
// are not disturbed.
TEST_P(JobSetups, ReservedIdsGoToTheirTableInOrderAndEnd) {
    const uint32_t su = p->addJobSetup("R", "d", "u-R", 1, 2, "me", "me", 0);
    const uint32_t dsn = p->addJobDataSource(su, "Orders", "DSN=o", "");
    const uint32_t table = p->addJobTable(su, dsn, "", "s", "T", "", "", "", 1, "", ",", "\"", 0, 0, 10, "", 1, 2, "",
                                          false);
    ASSERT_TRUE(p->reserveJobIds("JFLDME", 5)) << "a table without ids is left alone";
    ASSERT_TRUE(p->reserveJobIds("JFLD", 3));
    ReposHeld<ProfileRDAImpl> other(new ProfileRDAImpl(repo->connection()));
    std::vector<uint32_t> ids;
    for (const char* name : {"A", "B"}) ids.push_back(p->addJobField(su, dsn, table, name, "", 0));
    const uint32_t theirs = other->addJobField(su, dsn, table, "X", "", 0);
    ids.push_back(p->addJobField(su, dsn, table, "C", "", 0));
    EXPECT_EQ(ids, std::vector<uint32_t>({ids[0], ids[0] + 1, ids[0] + 2}));
    EXPECT_TRUE(theirs < ids[0] || theirs > ids[2]) << theirs;
    const uint32_t after = p->addJobField(su, dsn, table, "D", "", 0);
    EXPECT_TRUE(after > ids[2] && after != theirs) << after << " once the reserved ids are used up";
    ASSERT_TRUE(p->reserveJobIds("JFLD", 4) && p->reserveJobIds("JFLD", 0));
    const uint32_t ended = p->addJobField(su, dsn, table, "E", "", 0);
    EXPECT_GT(ended, after + 4) << "ids left over are dropped, never handed out later";
    EXPECT_TRUE(p->addJobFieldMetric(su, dsn, table, ids[0], "Count", "1"));
    ReposHeld<ReposDataAccessCursor> rows(p->listJobChildRows(su, "JFLD"));
    int count = 0;
    while (rows && rows->next() == 1) ++count;
    EXPECT_EQ(count, 6);
    EXPECT_EQ(p->listJobChildRows(su, "JSETUP"), nullptr) << "only the setup's child tables";
}

REPOS_EVERY_PLACE(JobSetups);

// Writers of one setup in several processes at once: each find-or-insert stores its row once.
class JobSetupBurst : public ::testing::TestWithParam<void (*)(BurstPlace&)> {};

TEST_P(JobSetupBurst, OneRowPerKey) {
    BurstPlace place;
    GetParam()(place);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(place.connection(), nullptr);
    ASSERT_TRUE(runBurst(place, 8, [](ReposDataAccess* connection, int) {
        ReposHeld<ProfileRDAImpl> p(new ProfileRDAImpl(connection));
        for (int n = 0; n < 10; ++n) {
            const VqbString name(std::to_string(n));
            p->addJobSetup(name, "", name, 1, 1, "", "", 0);
            p->addJobDataSource(1, name, "", "");
            p->setJobAlertProperty(1, 1, name, "v");
        }
    }));
    EXPECT_EQ(place.repo->count("JSETUP"), 10);
    EXPECT_EQ(place.repo->count("JDSN"), 10);
    EXPECT_EQ(place.repo->count("JALPRP"), 10);
}

REPOS_EVERY_BURST_PLACE(JobSetupBurst);

}  // namespace
