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

using Names = std::vector<std::string>;

// Walks through a next-function the way every caller must: until an end record follows another.
template <typename Next>
std::vector<int> countWalk(Next next) {
    int tables = 0, columns = 0, records = 0;
    for (bool afterEnd = false;;) {
        const ReposColumnDef* record = next();
        ++records;
        if (!isReposEndRecord(record)) {
            ++columns;
            afterEnd = false;
        } else if (afterEnd) {
            break;
        } else {
            ++tables;
            afterEnd = true;
        }
    }
    return {tables, columns, records};
}

Names columnNames(const ReposColumnDef* first) {
    Names names;
    for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) names.push_back(r->column ? r->column : "");
    return names;
}

const ReposColumnDef* column(const char* table, const char* name) {
    for (const ReposColumnDef* r = findReposTable(table); r && !isReposEndRecord(r); ++r)
        if (r->column && std::strcmp(r->column, name) == 0) return r;
    return nullptr;
}

}  // namespace

TEST(ReposCatalogue, SharedWalksYieldTheListedTablesAndStopAtTheStoredCount) {
    resetReposColumns();
    EXPECT_EQ(countWalk(nextReposColumn), (std::vector<int>{127, 857, 985}));
    EXPECT_EQ(reposColumnDefCount, 985);
    resetNcoaColumns();
    EXPECT_EQ(countWalk([] { return nextNcoaColumn(false); }), (std::vector<int>{9, 138, 148}));
    EXPECT_EQ(ncoaColumnDefCount, 148);
    resetNcoaColumns();
    EXPECT_EQ(countWalk([] { return nextNcoaColumn(true); }), (std::vector<int>{1, 241, 243}));
    EXPECT_EQ(countReposTables(ReposCatalogId::Main), 127);
    EXPECT_EQ(countReposTables(ReposCatalogId::Ncoa), 9);
    EXPECT_EQ(countReposTables(ReposCatalogId::NcoaExtended), 1);
    EXPECT_EQ(getReposColumn(0), &reposColumnDefs[0]);
    EXPECT_EQ(getNcoaColumn(5, true), &ncoaExtColumnDefs[5]);
}

TEST(ReposCatalogue, RecordsKeepTheRulesCreationDependsOn) {
    std::set<int32_t> indexNumbers;
    int perArea[7] = {};
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa, ReposCatalogId::NcoaExtended}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            SCOPED_TRACE(first->table);
            if (id == ReposCatalogId::Main) ++perArea[first->area];
            if (id == ReposCatalogId::Ncoa) {
                EXPECT_EQ(first->area, REPOS_AREA_NCOA);
            }
            EXPECT_LE(std::strlen(first->table), 6u);
            int primaryKeys = 0;
            for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) {
                SCOPED_TRACE(r->column ? r->column : "(metrics)");
                EXPECT_STREQ(r->table, first->table);
                EXPECT_EQ(r->flags & REPOS_COL_NOTNULL, 0u);
                EXPECT_EQ((r->flags & REPOS_COL_INDEXED) != 0, r->indexNumber != 0);
                EXPECT_TRUE(r->description && *r->description);
                EXPECT_TRUE(r->versionMarker >= -7 && r->versionMarker <= 2);
                primaryKeys += (r->flags & REPOS_COL_PRIMARY) != 0;
                if (r->flags & REPOS_COL_METRICS) {
                    EXPECT_TRUE(r->column == nullptr && r->type == 0);
                    continue;
                }
                ASSERT_NE(r->column, nullptr);
                EXPECT_TRUE(std::strlen(r->column) <= 9 || std::strcmp(r->column, "AL_SRC_UID") == 0);
                EXPECT_TRUE(r->type == VQB_TYPE_STRING ? (r->length == 0) == ((r->flags & REPOS_COL_UNLIMITED) != 0)
                                                       : (r->type == VQB_TYPE_INT || r->type == VQB_TYPE_REAL) &&
                                                             r->length == 0);
                EXPECT_TRUE(r->indexNumber == 0 || id == ReposCatalogId::NcoaExtended ||
                            indexNumbers.insert(r->indexNumber).second)
                    << "index " << r->indexNumber << " reused";
            }
            EXPECT_LE(primaryKeys, 1);
        }
    }
    EXPECT_EQ(*indexNumbers.begin(), 100);
    EXPECT_EQ(*indexNumbers.rbegin(), 412);
    EXPECT_EQ(perArea[REPOS_AREA_PROFILE], 53);
    EXPECT_EQ(perArea[REPOS_AREA_SHARED], 13);
    EXPECT_EQ(column("RDARES", "JOB_ID")->area, REPOS_AREA_PROFILE);  // a column outside its table's area
}

TEST(ReposCatalogue, InfoComesFirstWithOnlyItsUuidIndexed) {
    const ReposColumnDef* info = getReposColumn(0);
    EXPECT_STREQ(info->table, "INFO");
    EXPECT_EQ(columnNames(info), (Names{"I_TYPE", "I_VERS", "I_DESC", "I_UUID", "I_MVER"}));
    for (const ReposColumnDef* r = info; !isReposEndRecord(r); ++r) {
        bool uuid = r == &info[3];
        EXPECT_EQ((r->flags & REPOS_COL_INDEXED) != 0, uuid) << r->column;
        EXPECT_EQ((r->flags & REPOS_COL_F8) != 0, !uuid) << r->column;
        EXPECT_EQ(r->flags & REPOS_COL_PRIMARY, 0u);
    }
    EXPECT_EQ(info[3].indexNumber, 310);
    // The table's description rides in front of its first column's.
    EXPECT_EQ(std::string(info->description).find("Used to identify the repository.\t"), 0u);
}

TEST(ReposCatalogue, FieldTableExpandsItsMetricPlaceholder) {
    const ReposColumnDef* fld = findReposTable("FLD");
    ASSERT_NE(fld, nullptr);
    EXPECT_EQ(columnNames(fld), (Names{"DSN_ID", "TBL_ID", "FLD_ID", "FLD_TYPE", "FLD_NAME", "", "DOM_ID", "RDACFGID"}));
    EXPECT_EQ(fld[5].flags, REPOS_COL_METRICS);

    ReposTableCursor cursor(fld);
    EXPECT_EQ(cursor.columnCount(), 31);
    std::vector<ReposColumnView> columns;
    ReposColumnView view;
    while (cursor.next(view)) columns.push_back(view);
    ASSERT_EQ(columns.size(), 31u);
    for (int n = 0; n < REPOS_STANDARD_METRIC_COUNT; ++n) {
        const ReposColumnView& met = columns[5 + n];
        EXPECT_EQ(met.name, "MET_" + std::to_string(n));
        EXPECT_EQ(met.metric, n);
        EXPECT_EQ(met.length, static_cast<int32_t>(standardMetricDefs[n].textLength));
        EXPECT_EQ(met.record, &fld[5]);
    }
    EXPECT_STREQ(columns[29].name, "DOM_ID");
    EXPECT_EQ(columns[29].metric, -1);
    cursor.reset();
    ASSERT_TRUE(cursor.next(view));
    EXPECT_STREQ(view.name, "DSN_ID");
    EXPECT_EQ(reposMetricColumnName(24), nullptr);
}

TEST(ReposCatalogue, CompositeIndexesAndListedOddities) {
    for (int i : {0, 1}) {
        const ReposIndexDef* def = getReposIndexDef(i);
        EXPECT_EQ(def->number, i + 1);
        EXPECT_STREQ(def->table, i == 0 ? "TRIG" : "EXPROP");
        EXPECT_STREQ(def->columns[0], "EX_ID");
        EXPECT_STREQ(def->columns[1], "RU_ID");
        for (int c = 2; c < REPOS_INDEX_DEF_COLUMNS; ++c) EXPECT_EQ(def->columns[c], nullptr);
        EXPECT_NE(findReposTable(def->table), nullptr);
    }
    // Indexed without being the key; tables without a key.
    EXPECT_EQ(column("THRHLD", "THR_ID")->flags, REPOS_COL_INDEXED);
    EXPECT_EQ(column("THRHLD", "THR_ID")->indexNumber, 395);
    for (const char* table : {"JOBCFG", "KEYVAL"})
        for (const ReposColumnDef* r = findReposTable(table); r && !isReposEndRecord(r); ++r)
            EXPECT_EQ(r->flags & REPOS_COL_PRIMARY, 0u) << table << "." << r->column;
}

TEST(ReposCatalogue, LookupsAndTheExtendedRunRecord) {
    EXPECT_EQ(findReposTable("info"), reposColumnDefs);
    EXPECT_EQ(findReposTable("ncoalo"), ncoaColumnDefs);
    EXPECT_EQ(findReposTable(ReposCatalogId::Main, "NCOALO"), nullptr);
    for (const char* missing : {"NOSUCH", "", "FLDN"}) EXPECT_EQ(findReposTable(missing), nullptr) << missing;
    EXPECT_EQ(findReposTable(nullptr), nullptr);

    EXPECT_EQ(columnNames(findReposTable(ReposCatalogId::Ncoa, "NCOAEX")),
              (Names{"RUN_ID", "PAF_ID", "GRP_ID", "EX_DATE"}));
    const ReposColumnDef* ext = findReposTable(ReposCatalogId::NcoaExtended, "ncoaex");
    ASSERT_EQ(ext, ncoaExtColumnDefs);
    for (const ReposColumnDef* r = ext; !isReposEndRecord(r); ++r) EXPECT_TRUE(r->flags == 0 && r->indexNumber == 0);
    EXPECT_STREQ(ext[240].column, "PROCS");
    EXPECT_TRUE(isReposEndRecord(&ext[241]) && isReposEndRecord(&ext[242]));
}

TEST(ReposCatalogue, LocalWalkStopsAtTheDoubleEndRecord) {
    const ReposColumnDef records[] = {
        {"XA", "A1", VQB_TYPE_INT, 0, 0, 0, 0, 0, "a"}, {}, {"XB", "B1", VQB_TYPE_REAL, 0, 0, 0, 0, 0, "c"}, {}, {},
        {"XC", "C1", VQB_TYPE_INT, 0, 0, 0, 0, 0, "d"},  // never read
    };
    ReposCatalogWalk walk(records);
    EXPECT_EQ(walk.nextTable(), &records[0]);
    EXPECT_EQ(walk.nextTable(), &records[2]);
    EXPECT_EQ(walk.nextTable(), nullptr);
    EXPECT_EQ(walk.position(), 5u);
    EXPECT_EQ(walk.next(), nullptr);
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
