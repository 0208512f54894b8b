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

Names columnNames(const ReposColumnDef* first) {
    Names names;
    for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) names.push_back(r->column ? r->column : "");
    return names;
}

}  // namespace

TEST(ReposCatalogue, RecordsKeepTheRulesCreationDependsOn) {
    std::set<int32_t> indexNumbers;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa, ReposCatalogId::NcoaExtended}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            SCOPED_TRACE(first->table);
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

TEST(ReposCatalogue, LookupsAndTheExtendedRunRecord) {
    EXPECT_EQ(findReposTable("info"), reposColumnDefs);
    EXPECT_EQ(findReposTable("ncoalo"), ncoaColumnDefs);
    EXPECT_EQ(findReposTable(ReposCatalogId::Main, "NCOALO"), nullptr);
    for (const char* missing : {"NOSUCH", "", "FLDN"}) EXPECT_EQ(findReposTable(missing), nullptr) << missing;
    EXPECT_EQ(findReposTable(nullptr), nullptr);

    const ReposColumnDef* ext = findReposTable(ReposCatalogId::NcoaExtended, "ncoaex");
    ASSERT_EQ(ext, ncoaExtColumnDefs);
    for (const ReposColumnDef* r = ext; !isReposEndRecord(r); ++r) EXPECT_TRUE(r->flags == 0 && r->indexNumber == 0);
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
