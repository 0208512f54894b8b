// The results of a profile run as the profile engine records them and a host reads them back: every
// list in its column order, checked against the stored rows; optional filters; hostile texts.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "prof_rdaimpl.h"
#include "repos_fixture.h"

namespace {

const uint32_t kNone = 0xFFFFFFFFu;

std::string s(uint32_t id) { return std::to_string(id); }

class ProfileResults : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        // The prefix holds the word that opens conditions; no statement may take it for one.
        repo = std::make_unique<TestRepository>(GetParam(), "WHERE_");
        if (IsSkipped()) return;
        ASSERT_TRUE(repo->connection());
        p.reset(new ProfileRDAImpl(repo->connection()));
        if (repo->count("NOTCAT", "NCAT_ID=0") == 0) {
            ASSERT_TRUE(repo->exec("INSERT INTO {NOTCAT} (NCAT_ID, NCAT_DSC) VALUES (0, 'General')"));
        }
    }

    // One run of a report over one data source with two tables, as the engine writes it.
    void recordRun() {
        ASSERT_TRUE(p->addReport(7, 3, "Sales", 45000.5, "ann", &report));
        ASSERT_TRUE(p->addJob("first", 45001.25, report, &firstRun));
        ASSERT_TRUE(p->addJob("second", 45002.25, report, &run));
        ASSERT_TRUE(p->addJobConfigValue(run, "SAME_FREQ_TABLE", "1"));
        ASSERT_TRUE(p->addDataSource(run, "Orders", "DSN=orders", "N", &source));
        ASSERT_TRUE(p->addTable(source, "cat", "sales", "ORDERS", "", "", "", 1, "tree-1", &table));
        ASSERT_TRUE(p->addTable(source, "cat", "archive", "OLD", "recent", "AGE < 5", "age<5", 10, "", &filtered));
        ASSERT_TRUE(p->updateTableRowCounts(table, 100, 90));
        ASSERT_TRUE(p->setTableDecisionTree(filtered, "tree-2"));
        ASSERT_TRUE(p->addExecutionLog(source, table, "Profile", "S", 12, "done"));
        ASSERT_TRUE(p->addExecutionLog(source, filtered, "Profile", "F", 3, "timed out"));
        ASSERT_TRUE(p->addField(source, table, "CUSTOMER", "S", &customer));
        ASSERT_TRUE(p->addField(source, table, "AMOUNT", "R", &amount));
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(p->setFieldMetricValue(amount, i, VqbDatavar(std::to_string(10 + i))));
        ASSERT_TRUE(p->addPercentile(amount, VqbReal(0.75), VqbReal(80.5)));
        ASSERT_TRUE(p->addPercentile(amount, VqbReal(0.25), VqbReal(20.5)));
        ASSERT_TRUE(p->addOutlier(amount, false, 1, "990"));
        ASSERT_TRUE(p->addOutlier(amount, true, 2, "-3"));
        ASSERT_TRUE(p->addOutlier(amount, true, 1, "-7"));
        ASSERT_TRUE(p->addFieldProperty(source, table, amount, "FORMAT", "0.00"));
        ASSERT_TRUE(repo->exec("INSERT INTO {GCATS} (GC_ID, GCNAME, GCDESC) VALUES (1, 'Money', 'm'), (2, 'Ids', 'i')"));
        ASSERT_TRUE(p->addFieldCategory(amount, 1));
        ASSERT_TRUE(p->addFieldCategory(customer, 1));
        ASSERT_TRUE(p->addFieldCategory(customer, 2));
        // Two key candidates and three redundancy rows for AMOUNT.
        ASSERT_TRUE(p->addPrimaryForeignKey(amount, customer, 75.5));
        ASSERT_TRUE(p->addPrimaryForeignKey(amount, amount, 100));
        for (int config = 1; config <= 3; ++config)
            ASSERT_TRUE(repo->exec("INSERT INTO {FLDRDA} (FLD_ID, RDACFGID, JOB_ID) VALUES (?, ?, ?)",
                                   {VqbDatavar(amount), VqbDatavar(config), VqbDatavar(run)}));
        ASSERT_TRUE(p->addTableNote(table, 'N', "ann", "check totals", 0, &note));
        ASSERT_TRUE(p->addTableNote(table, 'T', "bob", "fix nulls", 0, &task));
        ASSERT_TRUE(p->addFieldNote(amount, "ann", "negatives", 0, &fieldNote));
    }

    // The stored row of a table with the key, all columns in their physical order.
    Rows stored(const char* table, const char* key, uint32_t id) {
        return repo->rows(std::string("SELECT * FROM {") + table + "} WHERE " + key + "=?", {VqbDatavar(id)});
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<ProfileRDAImpl> p;
    uint32_t report = 0, firstRun = 0, run = 0, source = 0, table = 0, filtered = 0, customer = 0, amount = 0,
             note = 0, task = 0, fieldNote = 0;
};

}  // namespace

TEST_P(ProfileResults, ARunIsStoredAndReadBackInItsColumnOrders) {
    recordRun();
    if (HasFatalFailure()) return;
    // Notes are dated when written; the lists show the stored date (compared as a number, since
    // places print reals to different precisions).
    const double now = VqbDate::currentDate().asDouble();
    for (const char* date : {"SELECT TN_DATE FROM {TBLNOT}", "SELECT FN_DATE FROM {FLDNOT}"})
        for (const auto& row : repo->rows(date)) EXPECT_NEAR(std::stod(row.at(0)), now, 0.01) << date;
    const std::string dated = "<date>";

    // What the adds stored, column by column.
    const struct {
        const char* what;
        Rows rows;
        Rows expected;
    } writes[] = {
        {"report", stored("REPORT", "RPT_ID", report), {{s(report), "3", "Sales", "45000.5", "45000.5", "ann", "7"}}},
        {"run", stored("JOB", "JOB_ID", run), {{s(run), s(report), "45002.25", "second"}}},
        {"configuration", stored("JOBCFG", "JOB_ID", run), {{s(run), "SAME_FREQ_TABLE", "1"}}},
        {"source", stored("DSN", "DSN_ID", source), {{s(source), s(run), "Orders", "DSN=orders", "N"}}},
        {"table", stored("TBL", "TBL_ID", table),
         {{s(source), s(table), "sales", "ORDERS", "", "", "", "100", "90", "1", "cat", "tree-1"}}},
        {"filtered table", stored("TBL", "TBL_ID", filtered),
         {{s(source), s(filtered), "archive", "OLD", "recent", "AGE < 5", "age<5", "<null>", "<null>", "10", "cat",
           "tree-2"}}},
        {"log", repo->rows("SELECT DSN_ID, TBL_ID, EL_TASK, EL_STAT, EL_SECS, EL_MSG FROM {EXELOG} ORDER BY EL_ID"),
         {{s(source), s(table), "Profile", "S", "12", "done"}, {s(source), s(filtered), "Profile", "F", "3", "timed out"}}},
        {"field", repo->rows("SELECT DSN_ID, TBL_ID, FLD_ID, FLD_TYPE, FLD_NAME, MET_0, MET_2, MET_3, DOM_ID FROM "
                             "{FLD} WHERE FLD_ID=?",
                             {VqbDatavar(amount)}),
         {{s(source), s(table), s(amount), "R", "AMOUNT", "10", "12", "<null>", "<null>"}}},
        {"notes", repo->rows("SELECT TN_ID, TBL_ID, TN_TYPE, TN_NOTE, TN_USER, NCAT_ID FROM {TBLNOT} ORDER BY TN_ID"),
         {{s(note), s(table), "N", "check totals", "ann", "0"}, {s(task), s(table), "T", "fix nulls", "bob", "0"}}},
        {"field note", repo->rows("SELECT FN_ID, FLD_ID, FN_NOTE, FN_USER, NCAT_ID FROM {FLDNOT}"),
         {{s(fieldNote), s(amount), "negatives", "ann", "0"}}},
    };
    for (const auto& w : writes) EXPECT_EQ(w.rows, w.expected) << w.what;

    // The reads, each in its column order.
    const std::string a = s(amount), c = s(customer), t = s(table);
    const VqbString names[] = {"ORDERS"};
    Rows tables = stored("TBL", "TBL_ID", filtered);  // schema order: archive before sales
    tables.push_back(stored("TBL", "TBL_ID", table).at(0));
    // A run with its report: every JOB column, then every REPORT column.
    std::vector<std::string> runOfTable = stored("JOB", "JOB_ID", run).at(0);
    const Rows reportRow = stored("REPORT", "RPT_ID", report);
    runOfTable.insert(runOfTable.end(), reportRow.at(0).begin(), reportRow.at(0).end());
    std::vector<std::string> runOfSource = {"Orders", "cat", "sales", "ORDERS"};
    runOfSource.insert(runOfSource.end(), runOfTable.begin(), runOfTable.end());
    const struct {
        const char* what;
        ReposDataAccessCursor* cursor;
        Rows expected;
    } reads[] = {
        {"getReport", p->getReport(report), stored("REPORT", "RPT_ID", report)},
        {"listReportsOfJobSetup", p->listReportsOfJobSetup(7), stored("REPORT", "RPT_ID", report)},
        {"listReportsInFolder", p->listReportsInFolder(3), stored("REPORT", "RPT_ID", report)},
        {"getDataSource", p->getDataSource(source), stored("DSN", "DSN_ID", source)},
        {"getTable", p->getTable(filtered), stored("TBL", "TBL_ID", filtered)},
        {"listTables of the source", p->listTables(kNone, source), tables},
        {"listTables of the run", p->listTables(run, kNone), tables},
        {"listJobs", p->listJobs(report, kNone), {{s(run), "45002.25", "second"}, {s(firstRun), "45001.25", "first"}}},
        {"getJobConfigValue", p->getJobConfigValue(run, "SAME_FREQ_TABLE"), {{"1"}}},
        {"listDataSources", p->listDataSources(run), {{s(source), "Orders", "DSN=orders", "N"}}},
        {"listExecutionLog", p->listExecutionLog(run),
         {{"Orders", "cat", "sales", "ORDERS", "", "Profile", "S", "12", "done"},
          {"Orders", "cat", "archive", "OLD", "recent", "Profile", "F", "3", "timed out"}}},
        {"listFieldMetrics", p->listFieldMetrics(run, kNone, kNone, 2),
         {{a, "AMOUNT", "R", "10", "11"}, {c, "CUSTOMER", "S", "<null>", "<null>"}}},
        {"getFieldMetricValue", p->getFieldMetricValue(amount, 2), {{"12"}}},
        {"getFieldSource", p->getFieldSource(amount),
         {{"AMOUNT", "sales", "ORDERS", "DSN=orders", "R", "", "", "N", "cat", "Orders"}}},
        {"getFieldByName", p->getFieldByName(run, "Orders", "cat", "sales", "ORDERS", "AMOUNT", 'N'),
         {{"AMOUNT", "sales", "ORDERS", "DSN=orders", "R", "", "", "N", "cat", "Orders", a}}},
        {"listFieldMetricHistory", p->listFieldMetricHistory(firstRun, run, "Orders", "", "", "ORDERS", "AMOUNT", 'N', 1),
         {{s(run), a, "10"}}},
        {"listPercentiles", p->listPercentiles(amount), {{"0.25", "20.5"}, {"0.75", "80.5"}}},
        {"listOutliers", p->listOutliers(amount), {{"H", "1", "990"}, {"L", "1", "-7"}, {"L", "2", "-3"}}},
        {"getFieldPropertyValue", p->getFieldPropertyValue(amount, "FORMAT"), {{"0.00"}}},
        {"listTableFieldCategories", p->listTableFieldCategories(table),
         {{a, "AMOUNT", "1", "Money", "m"}, {c, "CUSTOMER", "2", "Ids", "i"}, {c, "CUSTOMER", "1", "Money", "m"}}},
        {"listFieldCategories of the run", p->listFieldCategories(run, kNone), {{"2", "Ids", "i"}, {"1", "Money", "m"}}},
        {"listFieldCategories of a field", p->listFieldCategories(run, amount), {{"1", "Money", "m"}}},
        {"listCategoryFields", p->listCategoryFields(1, run, 1),
         {{a, "AMOUNT", "R", "Orders", "cat", "sales", "ORDERS", "", "10"},
          {c, "CUSTOMER", "S", "Orders", "cat", "sales", "ORDERS", "", "<null>"}}},
        {"listCategoryFieldsWithKeys", p->listCategoryFieldsWithKeys(2, 1, kNone),
         {{c, "CUSTOMER", "S", "Orders", "cat", "sales", "ORDERS", "", "0", "0", "<null>"}}},
        // Each count is its own: 2 keys and 3 redundancy rows are not 6 and 6.
        {"listTableFieldSummary", p->listTableFieldSummary(table, 1),
         {{a, "AMOUNT", "R", "2", "3", "10"}, {c, "CUSTOMER", "S", "0", "0", "<null>"}}},
        {"listPrimaryForeignKeys", p->listPrimaryForeignKeys(amount),
         sorted({{c, "CUSTOMER", "Orders", "cat", "sales", "ORDERS", "75.5"},
                 {a, "AMOUNT", "Orders", "cat", "sales", "ORDERS", "100"}})},
        {"listTableNotes", p->listTableNotes(table, 0, 0),
         {{s(note), "check totals", "ann", dated, "General", "0"},
          {s(task), "fix nulls", "bob", dated, "General", "0"}}},
        {"listJobsOfTable", p->listJobsOfTable("Orders", "cat", "sales", "ORDERS"), {runOfTable}},
        {"listJobsOfSources", p->listJobsOfSources(nullptr, nullptr, nullptr, &names[0]), {runOfSource}},
        {"listTableNotes newest first", p->listTableNotes(table, 0, 1),
         {{s(task), "fix nulls", "bob", dated, "General", "0"}, {s(note), "check totals", "ann", dated, "General", "0"}}},
        {"listTableNotes of tasks, newest first", p->listTableNotes(kNone, 'T', 1),
         {{s(task), "fix nulls", "bob", dated, "General", "0"}}},
        {"listFieldNotes", p->listFieldNotes(amount, 2), {{s(fieldNote), "negatives", "ann", dated, "General", "0"}}},
        {"listTableNotesOfJob", p->listTableNotesOfJob(static_cast<int>(run)), {{t, "fix nulls"}}},
        {"listTableNotesOfJob without tasks", p->listTableNotesOfJob(static_cast<int>(firstRun)), {}},
    };
    for (const auto& r : reads) {
        Rows rows = take(r.cursor);
        if (std::string(r.what) == "listPrimaryForeignKeys") rows = sorted(rows);
        for (auto& row : rows)
            if (std::string(r.what).find("Notes") != std::string::npos && row.size() == 6) {
                EXPECT_NEAR(std::stod(row[3]), now, 0.01) << r.what;
                row[3] = dated;
            }
        EXPECT_EQ(rows, r.expected) << r.what;
    }
    EXPECT_EQ(p->getJobCount(report), 2u);
    EXPECT_EQ(p->getJobCount(kNone), 0u);
}

TEST_P(ProfileResults, OptionalFiltersAndUpdatesTakeOnlyWhatIsGiven) {
    recordRun();
    if (HasFatalFailure()) return;
    uint32_t loose = 0, other = 0, otherRun = 0, age = 0;
    ASSERT_TRUE(p->addReport(kNone, 3, "Loose", 45000.5, "bob", &loose));
    ASSERT_TRUE(p->addReport(7, 4, "Other", 45000.5, "bob", &other));
    ASSERT_TRUE(repo->exec("INSERT INTO {REPORT} (RPT_ID, FLDR_ID, RPT_NAME, SU_ID) VALUES (900, 3, 'Null', NULL)"));
    ASSERT_TRUE(p->addJob("third", 45003.25, other, &otherRun));
    ASSERT_TRUE(p->addField(source, filtered, "AGE", "I", &age));
    EXPECT_EQ(repo->rows("SELECT SU_ID FROM {REPORT} WHERE RPT_ID=?", {VqbDatavar(loose)}), (Rows{{"-1"}}));

    // The ids in the first column, in order, and the width of the rows.
    const struct {
        const char* what;
        ReposDataAccessCursor* cursor;
        std::vector<uint32_t> ids;
        size_t width;
    } lists[] = {
        {"unassigned reports", p->listUnassignedReports(), {loose, 900}, 7},
        {"runs of a report", p->listJobs(report, kNone), {run, firstRun}, 3},
        {"runs of a job setup", p->listJobs(kNone, 7), {otherRun, run, firstRun}, 3},
        {"runs of a report and job setup", p->listJobs(other, 7), {otherRun}, 3},
        {"runs of a report not of the job setup", p->listJobs(report, 9), {}, 3},
        {"fields of a run", p->listFieldMetrics(run, kNone, kNone, 0), {age, amount, customer}, 3},
        {"fields of a run's table", p->listFieldMetrics(run, source, table, 2), {amount, customer}, 5},
        {"fields of a source in another run", p->listFieldMetrics(firstRun, source, kNone, 0), {}, 3},
        {"fields of a source's table", p->listFieldMetrics(kNone, source, filtered, 0), {age}, 3},
        {"fields of a table", p->listFieldMetrics(kNone, kNone, table, 3), {amount, customer}, 6},
        {"fields of a source", p->listFieldMetrics(kNone, source, kNone, 0), {age, amount, customer}, 3},
    };
    for (const auto& l : lists) {
        Rows expected, rows = take(l.cursor);
        for (uint32_t id : l.ids) expected.push_back({s(id)});
        Rows ids;
        for (const auto& row : rows) {
            EXPECT_EQ(row.size(), l.width) << l.what;
            ids.push_back({row.at(0)});
        }
        if (l.width == 7) {  // reports come in no order
            ids = sorted(ids);
            expected = sorted(expected);
        }
        EXPECT_EQ(ids, expected) << l.what;
    }
    // Without any id there is nothing to list by.
    LogCapture log;
    EXPECT_EQ(p->listJobs(kNone, kNone), nullptr);
    EXPECT_EQ(p->listFieldMetrics(kNone, kNone, kNone, 1), nullptr);
    EXPECT_TRUE(log.contains("Must have a report job id or a profile configuration id.", 5));
    EXPECT_TRUE(log.contains("Must specify a job id, dsn id, or table id", 5));
    // A metric column that does not exist fails rather than giving another.
    EXPECT_EQ(p->getFieldMetricValue(amount, 24), nullptr);
    EXPECT_FALSE(p->setFieldMetricValue(amount, -1, VqbDatavar("x")));

    // Updates keep what is not given; the modified date always moves.
    const Rows before = stored("REPORT", "RPT_ID", report);
    ASSERT_TRUE(p->updateReport(report, kNone, "", "", kNone));
    Rows after = stored("REPORT", "RPT_ID", report);
    EXPECT_NE(after[0][4], before[0][4]);
    after[0][4] = before[0][4];
    EXPECT_EQ(after, before);
    ASSERT_TRUE(p->updateReport(report, 5, "Renamed", "", 8));
    after = stored("REPORT", "RPT_ID", report);
    EXPECT_EQ((std::vector<std::string>{after[0][1], after[0][2], after[0][5], after[0][6]}),
              (std::vector<std::string>{"5", "Renamed", "ann", "8"}));

    // Deletes take exactly their rows.
    ASSERT_TRUE(p->deleteFieldCategory(customer, 2));
    EXPECT_EQ(repo->count("FLDGCM", "FLD_ID=?", {VqbDatavar(customer)}), 1);
    ASSERT_TRUE(p->deleteFieldCategory(customer, kNone));
    EXPECT_EQ(repo->count("FLDGCM"), 1);
    ASSERT_TRUE(p->deletePrimaryForeignKey(amount, customer));
    EXPECT_EQ(repo->rows("SELECT PF_FLDID FROM {PKFK}"), (Rows{{s(amount)}}));
    ASSERT_TRUE(p->deleteFieldProperty(amount, "FORMAT"));
    ASSERT_TRUE(p->deleteTableNote(task));
    ASSERT_TRUE(p->deleteFieldNote(fieldNote));
    ASSERT_TRUE(p->deleteFieldNote(fieldNote));  // gone already: still no failure
    EXPECT_EQ(repo->count("FLDPRP") + repo->count("FLDNOT"), 0);
    EXPECT_EQ(repo->rows("SELECT TN_ID FROM {TBLNOT}"), (Rows{{s(note)}}));
}

TEST_P(ProfileResults, HostileTextsAreValuesNeverStatement) {
    const std::string names[] = {"O'Brien", "a; DELETE FROM x", "b -- c", "' OR '1'='1"};
    uint32_t report = 0, run = 0;
    ASSERT_TRUE(p->addReport(1, 0, "R", 1.0, "u", &report));
    ASSERT_TRUE(p->addJob("j", 2.0, report, &run));
    for (const std::string& name : names) {
        uint32_t source = 0, table = 0, field = 0;
        ASSERT_TRUE(p->addDataSource(run, name, "c", "'", &source)) << name;
        ASSERT_TRUE(p->addTable(source, name, name, name, "", "", "", 1, "", &table)) << name;
        ASSERT_TRUE(p->addField(source, table, name, "S", &field)) << name;
        ASSERT_TRUE(p->addTableNote(table, '\'', name, name, 0, nullptr)) << name;
    }
    uint32_t blank = 0;
    ASSERT_TRUE(p->addDataSource(run, "", "c", "N", &blank));
    ASSERT_TRUE(p->addTable(blank, "", "", "", "", "", "", 1, "", nullptr));
    for (const std::string& name : names) {
        const VqbString n(name);
        // Each finds its own rows, and only them.
        Rows rows = take(p->listJobsOfTable(n, n, n, n));
        ASSERT_EQ(rows.size(), 1u) << name;
        EXPECT_EQ(rows[0][0], s(run));
        rows = take(p->listJobsOfSources(&n, nullptr, &n, nullptr));
        ASSERT_EQ(rows.size(), 1u) << name;
        EXPECT_EQ((std::vector<std::string>{rows[0][0], rows[0][3]}), (std::vector<std::string>{name, name}));
        rows = take(p->getFieldByName(run, n, n, n, n, n, '\''));
        ASSERT_EQ(rows.size(), 1u) << name;
        EXPECT_EQ(rows[0][0], name);
        EXPECT_EQ(take(p->listFieldMetricHistory(run, run, n, "", "", n, n, '\'', 0)).size(), 1u) << name;
    }
    // Null drops a condition, empty keeps it: only '' matches.
    EXPECT_EQ(take(p->listJobsOfSources(nullptr, nullptr, nullptr, nullptr)).size(), 5u);
    const VqbString empty("");
    EXPECT_EQ(take(p->listJobsOfSources(&empty, nullptr, nullptr, nullptr)).size(), 1u);
    EXPECT_EQ(take(p->listJobsOfTable("", "", "", "")).size(), 1u);
    EXPECT_EQ(take(p->getFieldByName(run, names[0], "", "", names[0], names[0], 'N')).size(), 0u);
    EXPECT_EQ(take(p->listTableNotes(kNone, '\'', 0)).size(), 4u);
    EXPECT_EQ(take(p->listTableNotes(kNone, 'N', 0)).size(), 0u);
    EXPECT_EQ(repo->count("DSN"), 5);
}

TEST_P(ProfileResults, FailedIdDrawsWriteNothingAndTwoObjectsShareTheConnection) {
    ReposHeld<ProfileRDAImpl> other(new ProfileRDAImpl(repo->connection()));
    uint32_t report = 0;
    ASSERT_TRUE(p->addReport(1, 0, "R", 1.0, "u", &report));
    ASSERT_TRUE(repo->refuse(Refused::Update, "UCURID"));
    ASSERT_TRUE(repo->refuse(Refused::Insert, "UCURID"));
    uint32_t id = 77;
    EXPECT_FALSE(p->addJob("j", 1.0, report, &id));
    EXPECT_FALSE(other->addExecutionLog(1, 1, "t", "S", 1, "m"));
    EXPECT_FALSE(p->addTableNote(1, 'N', "u", "n", 0, &id));
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(repo->count("JOB") + repo->count("EXELOG") + repo->count("TBLNOT"), 0);
    ASSERT_TRUE(repo->allow(Refused::Update, "UCURID"));
    ASSERT_TRUE(repo->allow(Refused::Insert, "UCURID"));

    // One object ended, the other and the connection go on.
    p.reset();
    ASSERT_TRUE(other->addJob("j", 1.0, report, &id));
    EXPECT_EQ(other->getJobCount(report), 1u);
    other.reset();
    EXPECT_EQ(repo->count("JOB"), 1);
}

REPOS_EVERY_PLACE(ProfileResults);
