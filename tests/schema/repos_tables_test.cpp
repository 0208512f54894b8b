// The built-in table catalogue: its shape, the records later code relies on, and the walks.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "repos_tables.h"

namespace {

struct WalkCounts {
    int tables = 0;
    int columns = 0;
    int records = 0;
};

// Walks through a next-function the way every caller must: until an end record follows another.
template <typename Next>
WalkCounts countWalk(Next next) {
    WalkCounts counts;
    bool afterEnd = false;
    for (;;) {
        const ReposColumnDef* record = next();
        ++counts.records;
        if (isReposEndRecord(record)) {
            if (afterEnd) break;
            ++counts.tables;
            afterEnd = true;
        } else {
            ++counts.columns;
            afterEnd = false;
        }
    }
    return counts;
}

std::vector<std::string> columnNames(const ReposColumnDef* first) {
    std::vector<std::string> names;
    for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) names.push_back(r->column ? r->column : "");
    return names;
}

const ReposColumnDef* column(const char* table, const char* name) {
    const ReposColumnDef* first = findReposTable(table);
    if (!first) return nullptr;
    for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r)
        if (r->column && std::strcmp(r->column, name) == 0) return r;
    return nullptr;
}

}  // namespace

TEST(ReposCatalogue, SharedWalksYieldTheListedTablesAndStopAtTheStoredCount) {
    resetReposColumns();
    WalkCounts main = countWalk(nextReposColumn);
    EXPECT_EQ(main.tables, 127);
    EXPECT_EQ(main.columns, 857);
    EXPECT_EQ(main.records, 985);
    EXPECT_EQ(reposColumnDefCount, 985);

    resetNcoaColumns();
    WalkCounts ncoa = countWalk([] { return nextNcoaColumn(false); });
    EXPECT_EQ(ncoa.tables, 9);
    EXPECT_EQ(ncoa.columns, 138);
    EXPECT_EQ(ncoa.records, 148);
    EXPECT_EQ(ncoaColumnDefCount, 148);

    resetNcoaColumns();
    WalkCounts extended = countWalk([] { return nextNcoaColumn(true); });
    EXPECT_EQ(extended.tables, 1);
    EXPECT_EQ(extended.columns, 241);
    EXPECT_EQ(extended.records, 243);

    EXPECT_EQ(countReposTables(ReposCatalogId::Main), 127);
    EXPECT_EQ(countReposTables(ReposCatalogId::Ncoa), 9);
    EXPECT_EQ(countReposTables(ReposCatalogId::NcoaExtended), 1);
    // Index access reads the same records as the walks.
    EXPECT_EQ(getReposColumn(0), &reposColumnDefs[0]);
    EXPECT_EQ(getNcoaColumn(5, true), &ncoaExtColumnDefs[5]);
}

TEST(ReposCatalogue, RecordsKeepTheRulesCreationDependsOn) {
    std::set<int32_t> indexNumbers;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa, ReposCatalogId::NcoaExtended}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            SCOPED_TRACE(first->table);
            EXPECT_LE(std::strlen(first->table), 6u);
            ASSERT_NE(first->description, nullptr);
            int primaryKeys = 0;
            for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) {
                SCOPED_TRACE(r->column ? r->column : "(metrics)");
                EXPECT_STREQ(r->table, first->table);
                EXPECT_EQ(r->flags & REPOS_COL_NOTNULL, 0u);
                EXPECT_EQ((r->flags & REPOS_COL_INDEXED) != 0, r->indexNumber != 0);
                EXPECT_TRUE(r->description && *r->description);
                EXPECT_GE(r->versionMarker, -7);
                EXPECT_LE(r->versionMarker, 2);
                if (r->flags & REPOS_COL_PRIMARY) ++primaryKeys;
                if (r->flags & REPOS_COL_METRICS) {
                    EXPECT_EQ(r->column, nullptr);
                    EXPECT_EQ(r->type, 0);
                    continue;
                }
                ASSERT_NE(r->column, nullptr);
                if (std::strcmp(r->column, "AL_SRC_UID") != 0) {
                    EXPECT_LE(std::strlen(r->column), 9u);
                }
                if (r->type == VQB_TYPE_STRING) {
                    EXPECT_EQ(r->length == 0, (r->flags & REPOS_COL_UNLIMITED) != 0);
                } else {
                    EXPECT_TRUE((r->type == VQB_TYPE_INT || r->type == VQB_TYPE_REAL) && r->length == 0);
                }
                if (r->indexNumber != 0 && id != ReposCatalogId::NcoaExtended) {
                    EXPECT_TRUE(indexNumbers.insert(r->indexNumber).second) << "index " << r->indexNumber << " reused";
                }
            }
            EXPECT_LE(primaryKeys, 1);
        }
    }
    EXPECT_EQ(*indexNumbers.begin(), 100);
    EXPECT_EQ(*indexNumbers.rbegin(), 412);
}

TEST(ReposCatalogue, TablesSitInTheirProductAreas) {
    int perArea[7] = {};
    ReposCatalogWalk walk(ReposCatalogId::Main);
    while (const ReposColumnDef* first = walk.nextTable()) {
        ASSERT_GE(first->area, 1);
        ASSERT_LE(first->area, 5);
        ++perArea[first->area];
    }
    EXPECT_EQ(perArea[REPOS_AREA_PROFILE], 53);
    EXPECT_EQ(perArea[REPOS_AREA_MONITOR], 29);
    EXPECT_EQ(perArea[REPOS_AREA_CORE], 4);
    EXPECT_EQ(perArea[REPOS_AREA_EXPLORER], 28);
    EXPECT_EQ(perArea[REPOS_AREA_SHARED], 13);
    ReposCatalogWalk ncoa(ReposCatalogId::Ncoa);
    while (const ReposColumnDef* first = ncoa.nextTable()) EXPECT_EQ(first->area, REPOS_AREA_NCOA);

    // Columns whose area differs from their table's.
    EXPECT_EQ(column("INFO", "I_UUID")->area, REPOS_AREA_MONITOR);
    EXPECT_EQ(column("RDARES", "JOB_ID")->area, REPOS_AREA_PROFILE);
    EXPECT_EQ(column("RDARES", "RDACFGID")->area, REPOS_AREA_PROFILE);
}

TEST(ReposCatalogue, InfoComesFirstWithOnlyItsUuidIndexed) {
    const ReposColumnDef* info = getReposColumn(0);
    EXPECT_STREQ(info->table, "INFO");
    EXPECT_EQ(columnNames(info), (std::vector<std::string>{"I_TYPE", "I_VERS", "I_DESC", "I_UUID", "I_MVER"}));
    for (const ReposColumnDef* r = info; !isReposEndRecord(r); ++r) {
        bool uuid = std::strcmp(r->column, "I_UUID") == 0;
        EXPECT_EQ((r->flags & REPOS_COL_INDEXED) != 0, uuid) << r->column;
        EXPECT_EQ((r->flags & REPOS_COL_F8) != 0, !uuid) << r->column;
        EXPECT_EQ(r->flags & REPOS_COL_PRIMARY, 0u);
    }
    EXPECT_EQ(info[3].indexNumber, 310);
    EXPECT_EQ(info[3].length, 255);
    EXPECT_TRUE(info[2].flags & REPOS_COL_UNLIMITED);
    // The table's description rides in front of its first column's.
    EXPECT_EQ(std::string(info->description).find("Used to identify the repository.\t"), 0u);
}

TEST(ReposCatalogue, FieldTableExpandsItsMetricPlaceholder) {
    const ReposColumnDef* fld = findReposTable("FLD");
    ASSERT_NE(fld, nullptr);
    EXPECT_EQ(columnNames(fld), (std::vector<std::string>{"DSN_ID", "TBL_ID", "FLD_ID", "FLD_TYPE", "FLD_NAME", "",
                                                          "DOM_ID", "RDACFGID"}));
    EXPECT_EQ(fld[5].flags, REPOS_COL_METRICS);

    ReposTableCursor cursor(fld);
    EXPECT_EQ(cursor.columnCount(), 31);
    std::vector<ReposColumnView> columns;
    ReposColumnView view;
    while (cursor.next(view)) columns.push_back(view);
    ASSERT_EQ(columns.size(), 31u);
    EXPECT_STREQ(columns[4].name, "FLD_NAME");
    for (int n = 0; n < REPOS_STANDARD_METRIC_COUNT; ++n) {
        const ReposColumnView& met = columns[5 + n];
        EXPECT_EQ(met.name, std::string("MET_") + std::to_string(n));
        EXPECT_EQ(met.metric, n);
        EXPECT_EQ(met.type, VQB_TYPE_STRING);
        EXPECT_EQ(met.length, static_cast<int32_t>(standardMetricDefs[n].textLength));
        EXPECT_EQ((met.flags & REPOS_COL_UNLIMITED) != 0, standardMetricDefs[n].textLength == 0);
        EXPECT_EQ(met.record, &fld[5]);
    }
    EXPECT_STREQ(columns[29].name, "DOM_ID");
    EXPECT_EQ(columns[29].metric, -1);
    EXPECT_STREQ(columns[30].name, "RDACFGID");
    // Minimum, maximum and mode take any text.
    EXPECT_EQ(columns[5 + 6].length, 0);
    EXPECT_EQ(columns[5 + 7].length, 0);
    EXPECT_EQ(columns[5 + 12].length, 0);
    EXPECT_STREQ(standardMetricDefs[18].key, "PKCAND");
    EXPECT_EQ(standardMetricDefs[18].textLength, 7u);

    cursor.reset();
    ASSERT_TRUE(cursor.next(view));
    EXPECT_STREQ(view.name, "DSN_ID");
    EXPECT_EQ(reposMetricColumnName(24), nullptr);
}

TEST(ReposCatalogue, CompositeIndexesAndListedOddities) {
    const ReposIndexDef* trig = getReposIndexDef(0);
    const ReposIndexDef* exprop = getReposIndexDef(1);
    EXPECT_EQ(trig->number, 1);
    EXPECT_STREQ(trig->table, "TRIG");
    EXPECT_EQ(exprop->number, 2);
    EXPECT_STREQ(exprop->table, "EXPROP");
    for (const ReposIndexDef* def : {trig, exprop}) {
        EXPECT_STREQ(def->columns[0], "EX_ID");
        EXPECT_STREQ(def->columns[1], "RU_ID");
        for (int i = 2; i < REPOS_INDEX_DEF_COLUMNS; ++i) EXPECT_EQ(def->columns[i], nullptr);
        EXPECT_NE(findReposTable(def->table), nullptr);
    }

    // Indexed without being the key; the threshold id is shared by several monitor tables.
    const ReposColumnDef* thrId = column("THRHLD", "THR_ID");
    EXPECT_EQ(thrId->flags, REPOS_COL_INDEXED);
    EXPECT_EQ(thrId->indexNumber, 395);
    const ReposColumnDef* srcUid = column("ALERT", "AL_SRC_UID");
    EXPECT_EQ(srcUid->length, 255);
    EXPECT_EQ(srcUid->versionMarker, -7);
    const ReposColumnDef* count2 = column("PATDST", "PA_COUNT2");
    EXPECT_EQ(count2->type, VQB_TYPE_REAL);
    EXPECT_EQ(count2->indexNumber, 412);
    const ReposColumnDef* evCode = column("EVENT", "EV_CODE");
    EXPECT_EQ(evCode->type, VQB_TYPE_STRING);
    EXPECT_EQ(evCode->length, 10);
    EXPECT_EQ(evCode->flags, REPOS_COL_PRIMARY | REPOS_COL_INDEXED);
    const ReposColumnDef* mmatc5 = column("MMATC5", "PRJ_ID");
    EXPECT_EQ(mmatc5->type, VQB_TYPE_STRING);
    EXPECT_TRUE(mmatc5->flags & REPOS_COL_UNLIMITED);
    EXPECT_EQ(column("TFINF", "TF_EOL")->versionMarker, 2);
    EXPECT_EQ(column("EXSRC", "FLDR_ID")->versionMarker, -3);
    // No key anywhere in these.
    for (const char* table : {"JOBCFG", "GCRUL", "KEYVAL", "NCOAED"}) {
        const ReposColumnDef* first = findReposTable(table);
        ASSERT_NE(first, nullptr) << table;
        for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r)
            EXPECT_EQ(r->flags & REPOS_COL_PRIMARY, 0u) << table << "." << r->column;
    }
}

TEST(ReposCatalogue, ExtendedRunRecordReplacesTheShortOne) {
    const ReposColumnDef* shortForm = findReposTable(ReposCatalogId::Ncoa, "NCOAEX");
    ASSERT_NE(shortForm, nullptr);
    EXPECT_EQ(columnNames(shortForm), (std::vector<std::string>{"RUN_ID", "PAF_ID", "GRP_ID", "EX_DATE"}));

    const ReposColumnDef* ext = findReposTable(ReposCatalogId::NcoaExtended, "ncoaex");
    ASSERT_EQ(ext, ncoaExtColumnDefs);
    int strings = 0, integers = 0, reals = 0, flagged = 0;
    for (const ReposColumnDef* r = ext; !isReposEndRecord(r); ++r) {
        strings += r->type == VQB_TYPE_STRING;
        integers += r->type == VQB_TYPE_INT;
        reals += r->type == VQB_TYPE_REAL;
        flagged += r->flags != 0 || r->indexNumber != 0;
    }
    EXPECT_EQ(strings, 212);
    EXPECT_EQ(integers, 23);
    EXPECT_EQ(reals, 6);
    EXPECT_EQ(flagged, 0);
    EXPECT_STREQ(ext[0].column, "PAFNCOA");
    EXPECT_EQ(ext[0].length, 18);
    EXPECT_STREQ(ext[240].column, "PROCS");
    EXPECT_TRUE(isReposEndRecord(&ext[241]));
    EXPECT_TRUE(isReposEndRecord(&ext[242]));
}

TEST(ReposCatalogue, FindsTablesIgnoringCaseMainArrayFirst) {
    EXPECT_EQ(findReposTable("info"), reposColumnDefs);
    EXPECT_EQ(findReposTable(ReposCatalogId::Main, "Revent"), findReposTable("REVENT"));
    EXPECT_EQ(findReposTable("ncoalo"), ncoaColumnDefs);
    EXPECT_EQ(findReposTable(ReposCatalogId::Main, "NCOALO"), nullptr);
    EXPECT_EQ(findReposTable("NOSUCH"), nullptr);
    EXPECT_EQ(findReposTable(""), nullptr);
    EXPECT_EQ(findReposTable(nullptr), nullptr);
    // A prefix of a name is not that name.
    EXPECT_EQ(findReposTable("FLDN"), nullptr);
}

TEST(ReposCatalogue, LocalWalkCoversRecordsBuiltAtRunTime) {
    const ReposColumnDef records[] = {
        {"XA", "A1", VQB_TYPE_INT, 0, 0, 0, 0, 0, "a"},
        {"XA", "A2", VQB_TYPE_STRING, 10, 0, 0, 0, 0, "b"},
        {},
        {"XB", "B1", VQB_TYPE_REAL, 0, 0, 0, 0, 0, "c"},
        {},
        {},
        // Never read: the walk stops at the double end record.
        {"XC", "C1", VQB_TYPE_INT, 0, 0, 0, 0, 0, "d"},
    };
    ReposCatalogWalk walk(records);
    EXPECT_EQ(walk.nextTable(), &records[0]);
    EXPECT_EQ(walk.nextTable(), &records[3]);
    EXPECT_EQ(walk.nextTable(), nullptr);
    EXPECT_TRUE(walk.atEnd());
    EXPECT_EQ(walk.position(), 6u);
    EXPECT_EQ(walk.next(), nullptr);

    walk.reset();
    int seen = 0;
    while (walk.next()) ++seen;
    EXPECT_EQ(seen, 6);
}

TEST(ReposCatalogue, SharedWalkIsDisturbedButLocalWalksAreNot) {
    // The documented hazard of the shared position: a second walk moves the first.
    resetReposColumns();
    nextReposColumn();
    nextReposColumn();
    resetReposColumns();
    EXPECT_EQ(nextReposColumn(), &reposColumnDefs[0]);

    std::atomic<bool> go{false};
    std::atomic<int> failures{0};
    auto walker = [&](ReposCatalogId id, int tables, int columns) {
        while (!go.load()) std::this_thread::yield();
        for (int round = 0; round < 200; ++round) {
            ReposCatalogWalk walk(id);
            int t = 0, c = 0;
            while (const ReposColumnDef* first = walk.nextTable()) {
                ++t;
                ReposTableCursor cursor(first);
                ReposColumnView view;
                while (cursor.next(view)) ++c;
            }
            if (t != tables || c != columns) ++failures;
            // Keep the shared positions moving meanwhile, as a careless caller would.
            resetReposColumns();
            resetNcoaColumns();
        }
    };
    // 857 records, FLD's placeholder counted as its 24 columns.
    std::thread a(walker, ReposCatalogId::Main, 127, 857 + 23);
    std::thread b(walker, ReposCatalogId::Main, 127, 857 + 23);
    std::thread c(walker, ReposCatalogId::Ncoa, 9, 138);
    go = true;
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(failures.load(), 0);
}
