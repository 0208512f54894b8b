// In-memory cursors: filled by code or copied from another cursor, read like any cursor.
#include <gtest/gtest.h>

#include "db_fixture.h"
#include "repos_cursors.h"

namespace {

ReposDataCursor* numbers(int rows) {
    auto* c = new ReposDataCursor();
    c->setNumCols(2);
    c->setColName(0, "N");
    c->setColName(1, "TEXT");
    for (int i = 0; i < rows; ++i) {
        c->addRow();
        c->setValue(0, VqbDatavar(i));
        if (i % 2 == 0) c->setValue(1, VqbDatavar(VqbString::format("row %d", i)));
    }
    c->reset();
    return c;
}

}  // namespace

TEST(MemoryCursor, BuiltRowsReadBackAndNextStartsOverAfterTheEnd) {
    ReposHeld<ReposDataCursor> c(numbers(3));
    EXPECT_EQ(c->getColName(1).str(), "TEXT");
    // Reading before the first next gives null values.
    EXPECT_TRUE(c->isNull(0));
    EXPECT_EQ(c->getString(0).str(), "");
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getInt(0), i);
        EXPECT_EQ(c->isNull(1), i % 2 != 0);
        EXPECT_EQ(c->getString(1).str(), i % 2 == 0 ? "row " + std::to_string(i) : "");
    }
    EXPECT_EQ(c->next(), 0);
    EXPECT_EQ(c->next(), 1);
    EXPECT_EQ(c->getInt(0), 0);
    // Columns outside the row are null, not a crash; writes there are ignored.
    c->setValue(5, VqbDatavar(1));
    c->setColName(-1, "x");
    EXPECT_TRUE(c->isNull(-1) && c->getValue(99).isNull() && c->getColName(7).isEmpty());
    EXPECT_EQ(c->getNumCols(), 2);

    c->clear();
    EXPECT_TRUE(c->getNumCols() == 2 && c->getColName(0).isEmpty() && c->next() == 0);
}

// Rows are kept in blocks of growing size: every row on either side of each block's edge reads
// back as written, whether built by code or copied from another cursor.
TEST(MemoryCursor, RowsAcrossEveryBlockEdgeReadBack) {
    const int rows = 3000;
    ReposHeld<ReposDataCursor> built(numbers(rows));
    ReposHeld<ReposCacheCursor> copied(new ReposCacheCursor());
    ASSERT_TRUE(copied->loadFrom(built.get()));
    built->reset();
    for (ReposDataAccessCursor* c : {static_cast<ReposDataAccessCursor*>(built.get()),
                                     static_cast<ReposDataAccessCursor*>(copied.get())}) {
        int read = 0;
        while (c->next() == 1) {
            ASSERT_EQ(c->getInt(0), read) << read;
            ASSERT_EQ(c->getString(1).str(), read % 2 == 0 ? "row " + std::to_string(read) : "") << read;
            ++read;
        }
        EXPECT_EQ(read, rows);
    }
}

TEST(MemoryCursor, NoColumnsMeansError) {
    ReposHeld<ReposDataCursor> c(new ReposDataCursor());
    for (int n : {0, -3}) {
        EXPECT_FALSE(c->setNumCols(n));
        EXPECT_EQ(c->next(), 2);
    }
    ReposHeld<ReposCacheCursor> cache(new ReposCacheCursor());
    EXPECT_FALSE(cache->loadFrom(c.get()));
    EXPECT_EQ(cache->next(), 2);
    EXPECT_FALSE(cache->loadFrom(nullptr));
}

TEST(CacheCursor, CopiesValuesNamesAndTypesUpToTheLimit) {
    ReposHeld<ReposDataCursor> source(numbers(12));
    ReposHeld<ReposCacheCursor> cache(new ReposCacheCursor());
    ASSERT_TRUE(cache->loadFrom(source.get()));
    EXPECT_EQ(cache->getColName(0).str(), "N");
    int rows = 0;
    for (; cache->next() == 1; ++rows)
        EXPECT_TRUE(cache->getValue(0).getType() == VQB_TYPE_INT && cache->getInt(0) == rows);
    EXPECT_EQ(rows, 12);
    source->reset();
    ReposHeld<ReposCacheCursor> limited(new ReposCacheCursor());
    ASSERT_TRUE(limited->loadFrom(source.get(), 5));
    EXPECT_EQ(columnTexts(limited.get(), 0), (std::vector<std::string>{"0", "1", "2", "3", "4"}));
}

// A back-end cursor whose read fails half way: the rows before the failure stay.
TEST(CacheCursor, RowsBeforeASourceErrorStay) {
    TempDir dir;
    Conn conn(newRepository(dir.file("r.db")));
    ASSERT_TRUE(conn);
    ASSERT_TRUE(conn->paramExec("CREATE TABLE T (A INTEGER)", nullptr, 0));
    ASSERT_TRUE(conn->paramExec("INSERT INTO T VALUES (1), (2), (0)", nullptr, 0));
    // json() raises an error on the last row (rows come in insertion order: no sort first).
    Cursor source(conn->paramSelect("SELECT CASE WHEN A = 0 THEN json('bad') ELSE A END FROM T", 0));
    ASSERT_TRUE(source);
    ReposHeld<ReposCacheCursor> cache(new ReposCacheCursor());
    EXPECT_FALSE(cache->loadFrom(source.get()));
    EXPECT_EQ(columnTexts(cache.get(), 0), (std::vector<std::string>{"1", "2"}));
}

// The cache copies a back-end cursor in one pass under one lock: every type, nulls, references
// resolved, the row cap, and a source that had cached its rows already.
TEST(CacheCursor, CopiesBackEndRowsAsTheirGetValueReadsThem) {
    TempDir dir;
    Conn conn(newRepositoryWith(dir.file("r.db"), {"UCURID", "BIGSTR"}));
    ASSERT_TRUE(conn && conn->paramExec("CREATE TABLE T (ID INTEGER, R FLOAT, S VARCHAR)", nullptr, 0));
    const std::string big = std::string(70000, 'b') + "\xE2\x82\xAC";
    VqbString ref, error;
    ASSERT_TRUE(conn->putBigString(big, &ref, &error)) << error.str();
    struct Row {
        VqbDatavar id, real, text;
        std::string shownText;  // what getValue must give for the text column
    };
    const Row rows[] = {
        {VqbDatavar(1), VqbDatavar(0.5), VqbDatavar("plain"), "plain"},
        {VqbDatavar(3000000000LL), VqbDatavar(), VqbDatavar("\xC3\xBCn\xC3\xAF \xE2\x82\xAC"), "\xC3\xBCn\xC3\xAF \xE2\x82\xAC"},
        {VqbDatavar(), VqbDatavar(-1e300), VqbDatavar(""), ""},
        {VqbDatavar(-5), VqbDatavar(2.25), VqbDatavar(ref), big},
        {VqbDatavar(7), VqbDatavar(1.0), VqbDatavar(VqbString()), "<null>"},
    };
    for (const Row& r : rows)
        ASSERT_TRUE(conn->paramExec("INSERT INTO T VALUES (?, ?, ?)", nullptr, 3, &r.id, &r.real, &r.text));

    for (bool cachedFirst : {false, true}) {
        for (unsigned cap : {0u, 2u}) {
            SCOPED_TRACE(testing::Message() << "cached first " << cachedFirst << ", cap " << cap);
            Cursor source(conn->paramSelect("SELECT ID, R, S FROM T", 0));
            ASSERT_TRUE(source && (!cachedFirst || source->cacheAll()));
            ReposHeld<ReposCacheCursor> cache(new ReposCacheCursor());
            ASSERT_TRUE(cache->loadFrom(source.get(), cap));
            EXPECT_EQ(cache->getColName(2).str(), "S");
            size_t n = 0;
            for (; cache->next() == 1; ++n) {
                ASSERT_LT(n, std::size(rows));
                const Row& want = rows[n];
                EXPECT_EQ(cache->getValue(0), want.id) << n;
                EXPECT_EQ(cache->getValue(1), want.real) << n;
                VqbDatavar text = cache->getValue(2);
                EXPECT_EQ(text.isNull() ? "<null>" : text.asString().str(), want.shownText) << n;
            }
            EXPECT_EQ(n, cap ? cap : std::size(rows));
        }
    }
}

// A value that fails to build half way through a row (memory running out) leaves the whole rows
// before it, and neither leaks nor frees twice what the broken row had built.
TEST(CacheCursor, AValueFailingMidRowKeepsOnlyWholeRows) {
    struct Failing {
        int row = 0;
        int next() { return ++row <= 5 ? 1 : 0; }
        int getNumCols() { return 2; }
        VqbString getColName(int) { return "C"; }
        VqbDatavar getValue(int i) {
            if (row == 3 && i == 1) throw std::bad_alloc();
            return VqbDatavar(std::string(40, static_cast<char>('a' + row)));
        }
    } source;
    ReposRowStore store;
    EXPECT_THROW(store.load(source, 0), std::bad_alloc);
    ASSERT_EQ(store.rowCount(), 2);
    store.reset();
    ASSERT_EQ(store.next(), 1);
    ASSERT_EQ(store.next(), 1);
    EXPECT_EQ(store.getString(1).str(), std::string(40, 'c'));
}
