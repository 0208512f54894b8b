// Deleting the runs of a report among many, with every row and per-field table of those runs and
// nothing else; the name checks of job setups; and the indexes that keep both from reading whole
// tables, in new repositories and in existing ones after their table check. Checked against raw
// readers and a model of the rows each run wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "prof_rdaimpl.h"
#include "repos_fixture.h"

namespace {

const uint32_t kNone = 0xFFFFFFFFu;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Column names in order of name, joined by ",": the connector makes a composite index with the
// table's column order, the SQLite back end with the catalogue's.
std::string columnSet(std::vector<std::string> columns) {
    std::sort(columns.begin(), columns.end());
    std::string out;
    for (const std::string& column : columns) out += (out.empty() ? "" : ",") + upper(column);
    return out;
}
std::string columnSet(const std::string& list) {
    std::vector<std::string> columns;
    std::string column;
    for (char ch : list + ",") {
        if (ch == ',') {
            if (!column.empty()) columns.push_back(column);
            column.clear();
        } else if (ch != '"' && ch != ' ') {
            column += ch;
        }
    }
    return columnSet(columns);
}

// How a run wrote its frequency distributions: to the shared table, to a table per field (made
// here or never made), or with no setting at all, which counts as a table per field.
enum class Frequencies { Shared, PerField, PerFieldNotMade, Unset };
const int kFieldsPerRun = 2;
// Runs of the big report: more of them read their fields than one IN list holds.
const int kRuns = 600;
// The first and the last runs of a report whose per-field tables are made.
const int kRunsWithTables = 8;

struct StoredRun {
    uint32_t id = 0;
    Frequencies frequencies = Frequencies::Shared;
    std::vector<uint32_t> fields;
    bool tables = false;  // its per-field tables were made
};

class ReportRunDeletion : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam(), "CASC_");
        if (IsSkipped()) return;
        ASSERT_TRUE(repo->connection());
        p.reset(new ProfileRDAImpl(repo->connection()));
    }

    // Rows of each table the run owns, as written below.
    static std::map<std::string, long> owned(const StoredRun& run) {
        const long f = static_cast<long>(run.fields.size());
        std::map<std::string, long> rows{
            {"JOB", 1},    {"JOBCFG", run.frequencies == Frequencies::Unset ? 0 : 1},
            {"DSN", 1},    {"TBL", 1},
            {"EXELOG", 1}, {"TBLNOT", 1},
            {"PBROUT", 1}, {"PCMOUT", 1},
            {"ALERT", 1},  {"ALPROP", 1},
            {"RDACFG", 1}, {"RDARES", 1},
            {"CHT", 1},    {"CHTDAT", 1},
            {"FLD", f},    {"FLDNOT", f},
            {"PKFK", f},   {"FLDPRP", f},
            {"PTILE", f},  {"FLDRDA", f},
            {"FRQDST", run.frequencies == Frequencies::Shared ? f : 0}};
        return rows;
    }

    // A report of runs whose ways of writing frequencies take turns; each run owns a row in every
    // table the cascade reaches.
    uint32_t writeReport(const char* name, int runs, int runsWithTables, std::vector<StoredRun>& out) {
        uint32_t report = 0;
        EXPECT_TRUE(p->addReport(1, 0, name, 45000, "ann", &report));
        EXPECT_TRUE(p->beginTransaction(false));
        for (int r = 0; r < runs && !HasFailure(); ++r) {
            StoredRun run;
            static const Frequencies kTurns[] = {Frequencies::Shared,   Frequencies::PerField,
                                                 Frequencies::PerField, Frequencies::PerFieldNotMade,
                                                 Frequencies::PerField, Frequencies::PerField,
                                                 Frequencies::PerField, Frequencies::Unset};
            run.frequencies = kTurns[r % 8];
            uint32_t source = 0, table = 0, note = 0, alert = 0, config = 0, chart = 0;
            EXPECT_TRUE(p->addJob("", 45000 + r, report, &run.id));
            static const char* const kSetting[] = {"1", "0", "0", nullptr};
            if (const char* setting = kSetting[static_cast<int>(run.frequencies)]) {
                EXPECT_TRUE(p->addJobConfigValue(run.id, "SAME_FREQ_TABLE", setting));
            }
            EXPECT_TRUE(p->addDataSource(run.id, "Orders", "DSN=o", "N", &source));
            EXPECT_TRUE(p->addTable(source, "", "dbo", "T", "", "", "", 1, "", &table));
            EXPECT_TRUE(p->addExecutionLog(source, table, "profile", "S", 1, ""));
            EXPECT_TRUE(p->addTableNote(table, 'T', "ann", "note", 0, &note));
            EXPECT_TRUE(p->addBusinessRuleOutput(table, 7, 1, 0, "", "", 10));
            EXPECT_TRUE(p->addCustomMetricOutput(table, 8, 1, "m", "o", "v", "", 10));
            EXPECT_TRUE(p->addAlert(run.id, "Orders", "", "dbo", "T", "F", "", "d", "r", "", "", "W", "u", &alert));
            EXPECT_TRUE(p->addAlertProperty(alert, "a", "b"));
            EXPECT_TRUE(p->addRedundancyConfig(run.id, "cfg", "", kNone, &config));
            EXPECT_TRUE(p->addChart(report, run.id, "c", "T", &chart));
            EXPECT_TRUE(p->addChartData(chart, "p", 1, "v"));
            for (int f = 0; f < kFieldsPerRun; ++f) {
                uint32_t field = 0;
                EXPECT_TRUE(p->addField(source, table, "F", "S", &field));
                run.fields.push_back(field);
                EXPECT_TRUE(p->addFieldNote(field, "ann", "note", 0, &note));
                EXPECT_TRUE(p->addPrimaryForeignKey(field, field, 1));
                EXPECT_TRUE(p->addFieldProperty(source, table, field, "FMT", "x"));
                EXPECT_TRUE(p->addPercentile(field, VqbReal(0.5), VqbReal(1)));
                EXPECT_TRUE(p->addRedundancyField(run.id, field, config));
                if (run.frequencies == Frequencies::Shared) {
                    EXPECT_TRUE(repo->exec("INSERT INTO {FRQDST} (FLD_ID, FR_VAL, FR_CNT) VALUES (?, 'v', 1)",
                                           {VqbDatavar(field)}));
                }
            }
            EXPECT_TRUE(p->addRedundancyResult(run.id, config, run.fields[0], run.fields[1], 1, 1, 1, 1, 1, 1, 1));
            out.push_back(run);
        }
        EXPECT_TRUE(p->endTransaction(true));
        // Per-field tables for the first and the last runs that write them, outside the transaction (DDL).
        for (StoredRun& run : out) {
            const long r = &run - out.data();
            if (r >= runsWithTables && r < static_cast<long>(out.size()) - runsWithTables) continue;
            if (run.frequencies != Frequencies::PerField && run.frequencies != Frequencies::Unset) continue;
            run.tables = true;
            for (uint32_t field : run.fields) makeTable("FRQDST" + std::to_string(field));
        }
        return report;
    }

    void makeTable(const std::string& name) { EXPECT_TRUE(repo->exec("CREATE TABLE {" + name + "} (FD_VALUE INTEGER)")); }

    // The repository's tables whose names end with one of the names, from the database's own catalogue.
    std::set<std::string> existing(const std::set<std::string>& names) {
        std::vector<std::string> all;
        if (repo->place() == Place::Postgres) {
            DacHeld raw(dacOpen(pgConnection()));
            if (!raw) {
                ADD_FAILURE() << "no raw connection";
                return {};
            }
            for (const auto& row : dacRows(raw.get(), pgOwnTables("public", repo->prefix()) + "SELECT relname FROM own"))
                all.push_back(upper(row[0]));
        } else {
            for (const std::string& name : RawDb(repo->file()).names("%")) all.push_back(upper(name));
        }
        std::set<std::string> found;
        for (const std::string& name : names)
            for (const std::string& table : all)
                if (table.size() >= name.size() && table.compare(table.size() - name.size(), name.size(), name) == 0 &&
                    (table.size() == name.size() || table[table.size() - name.size() - 1] == '_' ||
                     !std::isalnum(static_cast<unsigned char>(table[table.size() - name.size() - 1]))))
                    found.insert(name);
        return found;
    }

    // Every cascade table holds exactly the rows of the runs that stay.
    void expectRowsOf(const std::vector<const std::vector<StoredRun>*>& staying, const char* when) {
        std::map<std::string, long> expected = owned(StoredRun{});
        for (auto& entry : expected) entry.second = 0;
        for (const auto* runs : staying)
            for (const StoredRun& run : *runs)
                for (const auto& entry : owned(run)) expected[entry.first] += entry.second;
        for (const auto& entry : expected)
            EXPECT_EQ(rawCount(*repo, entry.first.c_str()), entry.second) << entry.first << " " << when;
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<ProfileRDAImpl> p;
};

TEST_P(ReportRunDeletion, ExactlyTheRowsAndTablesOfTheDeletedRunsGo) {
    std::vector<StoredRun> runs, others;
    const uint32_t report = writeReport("big", kRuns, kRunsWithTables, runs);
    const uint32_t other = writeReport("other", 3, 3, others);
    if (HasFailure()) return;
    // Tables that are no per-field table of a deleted run: one named after a field of a run that
    // shares its table, and a metric table numbered like a deleted field.
    const uint32_t sharedField = runs[0].fields[0], perField = runs[1].fields[0];
    ASSERT_EQ(runs[0].frequencies, Frequencies::Shared);
    ASSERT_TRUE(runs[1].tables);
    makeTable("FRQDST" + std::to_string(sharedField));
    makeTable("HSM" + std::to_string(perField));
    const std::set<std::string> strangers{"FRQDST" + std::to_string(sharedField), "HSM" + std::to_string(perField)};
    auto tablesOf = [](const std::vector<StoredRun>& list, size_t from, size_t to) {
        std::set<std::string> names;
        for (size_t r = from; r < to && r < list.size(); ++r)
            if (list[r].tables)
                for (uint32_t field : list[r].fields) names.insert("FRQDST" + std::to_string(field));
        return names;
    };
    std::set<std::string> all = tablesOf(runs, 0, runs.size()), otherTables = tablesOf(others, 0, others.size());
    all.insert(otherTables.begin(), otherTables.end());
    all.insert(strangers.begin(), strangers.end());
    ASSERT_EQ(existing(all), all);
    expectRowsOf({&runs, &others}, "before");

    // A range in the middle: every way of writing frequencies, with and without tables.
    const size_t first = 5, last = 14;
    ASSERT_TRUE(p->deleteReportJobs(runs[first].id, runs[last].id, report, false));
    std::vector<StoredRun> kept(runs.begin(), runs.begin() + first);
    kept.insert(kept.end(), runs.begin() + last + 1, runs.end());
    expectRowsOf({&kept, &others}, "after the range");
    std::set<std::string> gone = tablesOf(runs, first, last + 1), left;
    ASSERT_FALSE(gone.empty());
    std::set_difference(all.begin(), all.end(), gone.begin(), gone.end(), std::inserter(left, left.end()));
    EXPECT_EQ(existing(all), left);
    EXPECT_EQ(rawCount(*repo, "REPORT"), 2);

    // The rest of the report, with its row.
    ASSERT_TRUE(p->deleteReportJobs(kNone, kNone, report, true));
    expectRowsOf({&others}, "after the report");
    std::set<std::string> remaining = otherTables;
    remaining.insert(strangers.begin(), strangers.end());
    EXPECT_EQ(existing(all), remaining);
    EXPECT_EQ(rawCount(*repo, "REPORT"), 1);
    EXPECT_EQ(rawCount(*repo, "REPORT", " WHERE RPT_ID=" + std::to_string(other)), 1);
}

REPOS_EVERY_PLACE(ReportRunDeletion);

// ---- name checks

class JobSetupNameChecks : public ReportRunDeletion {};

TEST_P(JobSetupNameChecks, RefuseAndReuseAsBeforeWithLongNamesAndCase) {
    // Longer than PostgreSQL keeps in a column: compared whole through their big strings.
    const std::string longName = std::string(300, 'n') + "1", longOther = std::string(300, 'n') + "2";
    const uint32_t su = p->addJobSetup("Orders", "", "u1", 1, 1, "", "", 3);
    ASSERT_NE(su, kNone);
    EXPECT_EQ(p->addJobSetup("Orders", "", "u2", 1, 1, "", "", 3), kNone);
    EXPECT_NE(p->addJobSetup("ORDERS", "", "u3", 1, 1, "", "", 3), kNone) << "names compare with their case";
    EXPECT_NE(p->addJobSetup("Orders", "", "u4", 1, 1, "", "", 4), kNone);
    EXPECT_NE(p->addJobSetup(longName.c_str(), "", "u5", 1, 1, "", "", 3), kNone);
    EXPECT_EQ(p->addJobSetup(longName.c_str(), "", "u6", 1, 1, "", "", 3), kNone);
    EXPECT_NE(p->addJobSetup(longOther.c_str(), "", "u7", 1, 1, "", "", 3), kNone);
    EXPECT_TRUE(p->existsJobSetup(longName.c_str(), 3));
    EXPECT_FALSE(p->existsJobSetup(longName.c_str(), 4));
    EXPECT_EQ(rawCount(*repo, "JSETUP"), 5);

    const uint32_t dsn = p->addJobDataSource(su, "Orders", "", "");
    auto table = [&](int source, const std::string& name, const std::string& file) {
        return p->addJobTable(su, source, "", "dbo", name.c_str(), "", "", "", 1, file.c_str(), "", "", 0, 0, 0, "", 0, 0,
                              "", false);
    };
    const int d = static_cast<int>(dsn);
    const uint32_t named = table(d, "Orders", ""), longTable = table(d, longName, ""), file = table(d, "", "/d/a.txt");
    EXPECT_EQ(table(d, "Orders", ""), named);
    EXPECT_EQ(table(0, "Orders", ""), named) << "without a data source the lookup ignores it";
    EXPECT_NE(table(d, "ORDERS", ""), named);
    EXPECT_EQ(table(d, longName, ""), longTable);
    EXPECT_NE(table(d, longOther, ""), longTable);
    EXPECT_EQ(table(d, "", "/d/a.txt"), file);
    EXPECT_EQ(table(0, "", "/d/a.txt"), file);
    EXPECT_NE(table(d, "", "/d/A.txt"), file);
    uint32_t found = 0;
    EXPECT_TRUE(p->getJobTableIdByName(su, 0, "", "", longName.c_str(), "", "", "", "", &found));
    EXPECT_EQ(found, longTable);
    EXPECT_EQ(rawCount(*repo, "JTABLE"), 6);

    auto alert = [&](const std::string& tableName, const char* field) {
        return p->addJobAlert(su, "Orders", "", "dbo", tableName.c_str(), field, "", "d", "rule", "", "W", "al");
    };
    const uint32_t a = alert(longName, "F");
    EXPECT_EQ(alert(longName, "F"), a);
    EXPECT_NE(alert(longName, "f"), a);
    EXPECT_NE(alert(longOther, "F"), a);
    auto chart = [&](const std::string& tableName, const char* field) {
        return p->addJobChart(su, "Orders", "", "dbo", tableName.c_str(), field, "", "d", "");
    };
    const uint32_t c = chart(longName, "F");
    EXPECT_EQ(chart(longName, "F"), c);
    EXPECT_NE(chart(longName, "f"), c);
    const uint32_t config = p->addJobRedundancyConfig(su, "c", "", "", "", "");
    for (const char* field : {"F", "F", "f"})
        EXPECT_TRUE(p->addJobFieldRedundancy(su, config, "Orders", "", "dbo", longName.c_str(), field, "N"));
    EXPECT_TRUE(p->existsJobFieldRedundancy(su, "Orders", "", "dbo", longName.c_str(), "F"));
    EXPECT_FALSE(p->existsJobFieldRedundancy(su, "Orders", "", "dbo", longOther.c_str(), "F"));
    EXPECT_EQ(rawCount(*repo, "JALERT"), 3);
    EXPECT_EQ(rawCount(*repo, "JCHART"), 2);
    EXPECT_EQ(rawCount(*repo, "JFRDA"), 2);
}

REPOS_EVERY_PLACE(JobSetupNameChecks);

// ---- the indexes

// The indexes of the run cascade, the per-run reads, the setup name checks and the lookups of
// monitor objects by name: table, columns.
const std::pair<const char*, const char*> kIndexes[] = {
    {"DSN", "JOB_ID"},           {"FLD", "DSN_ID"},        {"ALERT", "JOB_ID"},      {"RDACFG", "JOB_ID"},
    {"FLDRDA", "FLD_ID"},        {"FLDRDA", "RDACFGID"},   {"FLDRDA", "JOB_ID"},     {"RDARES", "JOB_ID"},
    {"RDARES", "RDACFGID"},      {"RDARES", "FLD_IDL"},    {"EXELOG", "TBL_ID"},     {"EXELOG", "DSN_ID"},
    {"TBLNOT", "TBL_ID"},        {"FLDNOT", "FLD_ID"},     {"REPORT", "SU_ID"},      {"JTBLME", "CM_UID"},
    {"JCMDMA", "SEQ_ID"},        {"RDACFG", "MC_ID"},      {"DIMENS", "DIM_NAME"},   {"RPTGRP", "GRP_NAME"},
    {"THRHLD", "THR_NAME"},      {"EXPRTP", "PR_NAME,PR_VALUE"}, {"MJOB", "JB_DESC"},      {"EXSRC", "ES_NAME"},
    {"DIMGRP", "THR_ID"},        {"JBRUME", "THR_ID"},     {"RPTGRP", "THR_ID"},     {"JSETUP", "SU_NAME,FLDR_ID"},
    {"JTABLE", "SU_ID,TBL_NAME"}, {"JTABLE", "SU_ID,TBL_NAME,DSN_ID"},
    {"JTABLE", "SU_ID,FNAME"},   {"JTABLE", "SU_ID,FNAME,DSN_ID"},
    {"JALERT", "SU_ID,AL_TBL,AL_FLD"}, {"JCHART", "SU_ID,CH_TBL,CH_FLD"}, {"JFRDA", "SU_ID,FLD_TBL,FLD_NAME"},
};

// The same for the NCOA tables, which have a catalogue of their own.
const std::pair<const char*, const char*> kNcoaIndexes[] = {
    {"NCOAPA", "NCOAPAF"}, {"NCOAPA", "LISTNAME"}, {"NCOAEX", "PAF_ID"}, {"NCOAPO", "BUSNAME"}, {"NCOAPB", "BUSNAME"}};

class ProfileIndexes : public ReportRunDeletion {
protected:
    // The table's indexes (name and column set), read from the database's own catalogue.
    std::map<std::string, std::string> indexes(const char* table) {
        std::map<std::string, std::string> out;
        const std::string bare = repo->connection()->getTableName(table, false, -1).str();
        if (repo->place() == Place::Postgres) {
            DacHeld raw(dacOpen(pgConnection()));
            if (!raw) return out;
            for (const auto& row : dacRows(raw.get(), "SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = "
                                                      "'public' AND lower(tablename) = lower('" + bare + "')")) {
                const std::string& def = row[1];
                out[row[0]] = columnSet(def.substr(def.rfind('(') + 1, def.rfind(')') - def.rfind('(') - 1));
            }
            return out;
        }
        RawDb raw(repo->file());
        for (const auto& row : raw.rows("SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL AND "
                                        "tbl_name = ? COLLATE NOCASE",
                                        {bare})) {
            std::vector<std::string> columns;
            for (const auto& column : raw.rows("PRAGMA index_info(" + RawDb::quoted(row[0]) + ")"))
                columns.push_back(column[2]);
            out[row[0]] = columnSet(columns);
        }
        return out;
    }
    // The listed indexes the repository lacks.
    std::vector<std::string> missing() { return missingOf(kIndexes); }
    template <size_t N>
    std::vector<std::string> missingOf(const std::pair<const char*, const char*> (&list)[N]) {
        std::vector<std::string> out;
        for (const auto& index : list) {
            bool found = false;
            for (const auto& entry : indexes(index.first)) found = found || entry.second == columnSet(index.second);
            if (!found) out.push_back(std::string(index.first) + "(" + index.second + ")");
        }
        return out;
    }
    // On a SQLite file: the column set through which the plan of the select searches the table
    // named as in its FROM; "(no search)" when it reads it otherwise.
    std::string searchedThrough(const std::string& sql, const std::string& as) {
        for (const auto& row : RawDb(repo->file()).rows("EXPLAIN QUERY PLAN " + sql)) {
            const std::string& detail = row.back();
            const size_t open = detail.find('('), close = detail.rfind(')');
            if (detail.rfind("SEARCH " + as + " USING ", 0) != 0 || open == std::string::npos || close < open) continue;
            // "(A=? AND B=?)"
            std::vector<std::string> columns;
            const std::string terms = detail.substr(open + 1, close - open - 1) + " AND ";
            for (size_t at = 0, end; (end = terms.find(" AND ", at)) != std::string::npos; at = end + 5)
                columns.push_back(terms.substr(at, terms.find_first_of("=<>", at) - at));
            return columnSet(columns);
        }
        return "(no search)";
    }
    // The name checks and the field read of a run cascade search through the indexes made for them.
    void expectPlans(const char* when) {
        if (repo->place() == Place::Postgres) return;
        const std::string t = repo->table("JTABLE");
        const struct {
            const char* as;
            std::string sql;
            const char* columns;
        } plans[] = {
            {"JTABLE", "SELECT TBL_ID FROM " + t + " WHERE SU_ID=? AND DSN_ID=? AND TBL_SCH=? AND TBL_NAME=? AND "
                       "(FNAME IS NULL OR FNAME='')", "SU_ID,TBL_NAME,DSN_ID"},
            {"JTABLE", "SELECT TBL_ID FROM " + t + " WHERE SU_ID=? AND (TBL_CAT IS NULL OR TBL_CAT='') AND TBL_NAME=?",
             "SU_ID,TBL_NAME"},
            {"JTABLE", "SELECT TBL_ID FROM " + t + " WHERE SU_ID=? AND DSN_ID=? AND (TBL_NAME IS NULL OR TBL_NAME='') "
                       "AND FNAME=?", "SU_ID,FNAME,DSN_ID"},
            {"JTABLE", "SELECT TBL_ID FROM " + t + " WHERE SU_ID=? AND FNAME=?", "SU_ID,FNAME"},
            {"JSETUP", "SELECT SU_ID FROM " + repo->table("JSETUP") + " WHERE SU_NAME=? AND FLDR_ID=?",
             "SU_NAME,FLDR_ID"},
            {"JALERT", "SELECT AL_ID FROM " + repo->table("JALERT") + " WHERE SU_ID=? AND AL_DSN=? AND AL_TBL=? AND "
                       "AL_FLD=? AND AL_UID=?", "SU_ID,AL_TBL,AL_FLD"},
            {"JCHART", "SELECT CH_ID FROM " + repo->table("JCHART") + " WHERE SU_ID=? AND CH_TBL=? AND CH_FLD=? AND "
                       "CH_DESC=?", "SU_ID,CH_TBL,CH_FLD"},
            {"JFRDA", "SELECT CFG_ID FROM " + repo->table("JFRDA") + " WHERE SU_ID=? AND CFG_ID=? AND FLD_TBL=? AND "
                      "FLD_NAME=?", "SU_ID,FLD_TBL,FLD_NAME"},
            {"b", "SELECT a.JOB_ID, b.FLD_ID FROM " + repo->table("DSN") + " a, " + repo->table("FLD") +
                  " b WHERE a.DSN_ID=b.DSN_ID AND a.JOB_ID IN (?,?,?)", "DSN_ID"},
            {"a", "SELECT a.JOB_ID, b.FLD_ID FROM " + repo->table("DSN") + " a, " + repo->table("FLD") +
                  " b WHERE a.DSN_ID=b.DSN_ID AND a.JOB_ID IN (?,?,?)", "JOB_ID"},
        };
        for (const auto& plan : plans)
            EXPECT_EQ(searchedThrough(plan.sql, plan.as), columnSet(std::string(plan.columns))) << plan.sql << " " << when;
    }
};

TEST_P(ProfileIndexes, NewRepositoriesHaveThemAndExistingOnesGainThemAtTheirCheck) {
    EXPECT_EQ(missing(), std::vector<std::string>{});
    expectPlans("when created");
    // A repository from before them: its check adds them, after the indexes it already has.
    for (const auto& index : kIndexes)
        for (const auto& entry : indexes(index.first))
            if (entry.second == columnSet(index.second)) {
                ASSERT_TRUE(repo->exec("DROP INDEX \"" + entry.first + "\""));
            }
    EXPECT_EQ(missing().size(), sizeof kIndexes / sizeof kIndexes[0]);
    ReposTableRequest request;
    ASSERT_TRUE(repo->connection()->checkTable(request)) << repo->connection()->getLastErrorMessage().str();
    EXPECT_EQ(missing(), std::vector<std::string>{});
    expectPlans("after the check");
    // A second check makes none twice.
    size_t before = 0, after = 0;
    for (const auto& index : kIndexes) before += indexes(index.first).size();
    ASSERT_TRUE(repo->connection()->checkTable(request)) << repo->connection()->getLastErrorMessage().str();
    for (const auto& index : kIndexes) after += indexes(index.first).size();
    EXPECT_EQ(after, before);

    ASSERT_TRUE(createNcoaTables(repo->connection())) << repo->connection()->getLastErrorMessage().str();
    EXPECT_EQ(missingOf(kNcoaIndexes), std::vector<std::string>{});
    for (const auto& index : kNcoaIndexes)
        for (const auto& entry : indexes(index.first))
            if (entry.second == columnSet(index.second)) {
                ASSERT_TRUE(repo->exec("DROP INDEX \"" + entry.first + "\""));
            }
    request.catalog = 1;
    ASSERT_TRUE(repo->connection()->checkTable(request)) << repo->connection()->getLastErrorMessage().str();
    EXPECT_EQ(missingOf(kNcoaIndexes), std::vector<std::string>{});
}

REPOS_EVERY_PLACE(ProfileIndexes);

}  // namespace
