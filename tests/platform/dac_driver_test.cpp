// The same cases over both drivers of the connector.
#include <algorithm>
#include <set>

#include "dac_fixture.h"

TEST_P(DacDriverTest, ValuesOfEachTypeAndNullsRoundTrip) {
    fresh("v", "id BIGINT, r DOUBLE PRECISION, s VARCHAR(40), b VARCHAR(5)");
    StmtPtr ins(conn_->prepare(VqbString("INSERT INTO " + q("v") + " (id, r, s, b) VALUES (?, ?, ?, ?)")));
    ASSERT_TRUE(ins) << conn_->getErrorText().str();
    int changed = -1;
    VqbDatavar first[] = {VqbDatavar(5000000000LL), VqbDatavar(2.5), VqbDatavar("it's"), VqbDatavar::fromBool(true)};
    // A null declared as an integer, a date sent as its real, an empty text.
    VqbDatavar second[] = {VqbDatavar(), VqbDatavar(VqbDate(45000.25)), VqbDatavar(""), VqbDatavar()};
    for (VqbDatavar* row : {first, second}) {
        for (int i = 0; i < 4; ++i) ASSERT_TRUE(ins->bindValue(i, row[i]));
        if (row == second) {
            ASSERT_TRUE(ins->declareParameter(0, VQB_TYPE_INT, 0, 0));
        }
        ASSERT_TRUE(ins->execute(&changed)) << ins->getErrorText().str();
        EXPECT_EQ(changed, 1);
    }
    EXPECT_FALSE(ins->bindValue(4, VqbDatavar(1)));
    EXPECT_FALSE(ins->declareParameter(7, VQB_TYPE_INT, 0, 0));

    StmtPtr sel(conn_->prepare(VqbString("SELECT id, r, s, b FROM " + q("v") + " WHERE r > ? ORDER BY r")));
    ASSERT_TRUE(sel);
    sel->bindValue(0, VqbDatavar(0));
    CursorPtr c(sel->openCursor());
    ASSERT_TRUE(c) << sel->getErrorText().str();
    ASSERT_EQ(c->fetch(), DAC_FETCH_ROW);
    EXPECT_EQ(c->getValue(0).getType(), VQB_TYPE_INT);
    EXPECT_TRUE(c->getValue(9).isNull());
    c.reset();
    sel->bindValue(0, VqbDatavar(0));
    EXPECT_EQ(dacRows(sel->openCursor()), (Rows{{"5000000000", "2.5", "it's", "1"}, {"<null>", "45000.25", "", "<null>"}}));

    // A text compared with an integer column and an update that matches nothing.
    StmtPtr upd(conn_->prepare(VqbString("UPDATE " + q("v") + " SET s = ? WHERE id = ?")));
    ASSERT_TRUE(upd);
    upd->bindValue(0, VqbDatavar("x"));
    for (auto [key, expected] : {std::pair<VqbDatavar, int>{VqbDatavar("5000000000"), 1}, {VqbDatavar(-1), 0}}) {
        upd->bindValue(1, key);
        ASSERT_TRUE(upd->execute(&changed)) << upd->getErrorText().str();
        EXPECT_EQ(changed, expected);
    }
}

TEST_P(DacDriverTest, LongAndMultibyteTextsComeBackWhole) {
    fresh("txt", "id INTEGER, body TEXT");
    std::string body;
    const char* pieces[] = {"a", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", " "};
    for (int i = 0; i < 40000; ++i) body += pieces[i % 5];
    ASSERT_GT(body.size(), 65536u);
    const std::string shortText = "gr\xc3\xbc\xc3\x9f \xe6\x97\xa5\xe6\x9c\xac";
    StmtPtr ins(conn_->prepare(VqbString("INSERT INTO " + q("txt") + " (id, body) VALUES (?, ?)")));
    ASSERT_TRUE(ins);
    for (int id : {1, 2}) {
        ins->bindValue(0, VqbDatavar(id));
        ins->bindValue(1, VqbDatavar(id == 1 ? body : shortText));
        ASSERT_TRUE(ins->execute(nullptr)) << ins->getErrorText().str();
    }
    // The DBMS counts characters, not bytes.
    Rows r = rows("SELECT id, body, LENGTH(body) FROM " + q("txt") + " ORDER BY id");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][1].size(), body.size());
    EXPECT_TRUE(r[0][1] == body);
    EXPECT_EQ(r[1][1], shortText);
    EXPECT_EQ(r[1][2], "7");
}

TEST_P(DacDriverTest, TransactionsCommitRollBackAndSurviveAFailedStatement) {
    fresh("tx", "id INTEGER PRIMARY KEY, v VARCHAR(10)");
    auto insert = [&](int id) { return exec("INSERT INTO " + q("tx") + " VALUES (" + std::to_string(id) + ", 'a')"); };
    EXPECT_FALSE(conn_->endTransaction(true));
    ASSERT_TRUE(conn_->beginTransaction()) << conn_->getErrorText().str();
    EXPECT_TRUE(conn_->isInTransaction());
    EXPECT_FALSE(conn_->beginTransaction());
    ASSERT_TRUE(insert(1));
    ASSERT_TRUE(conn_->endTransaction(true));
    EXPECT_FALSE(conn_->isInTransaction());

    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(insert(2));
    ASSERT_TRUE(conn_->endTransaction(false));
    EXPECT_EQ(count("tx"), 1);

    // A failed statement undoes itself only; the rest of the transaction goes on.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(insert(3));
    EXPECT_FALSE(insert(1));
    EXPECT_FALSE(lastError_.empty());
    EXPECT_FALSE(exec("INSERT INTO " + q("missing") + " VALUES (1)"));
    ASSERT_TRUE(insert(4)) << lastError_;
    ASSERT_TRUE(conn_->endTransaction(true)) << conn_->getErrorText().str();
    EXPECT_EQ(rows("SELECT id FROM " + q("tx") + " ORDER BY id"), (Rows{{"1"}, {"3"}, {"4"}}));

    // A failure then a rollback leaves nothing, and the connection works on.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(insert(5));
    EXPECT_FALSE(insert(3));
    ASSERT_TRUE(conn_->endTransaction(false));
    EXPECT_EQ(count("tx"), 3);
    ASSERT_TRUE(insert(6));
    EXPECT_EQ(count("tx"), 4);

    // Closing with an open transaction rolls it back.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(insert(7));
    if (GetParam() != Backend::SqliteSchema) {
        conn_.reset(dacOpen(text_));
        ASSERT_TRUE(conn_);
        EXPECT_EQ(count("tx"), 4);
    }
}

TEST_P(DacDriverTest, ArraysCountEveryRowAndFailWhole) {
    fresh("arr", "id INTEGER PRIMARY KEY, v VARCHAR(20)");
    StmtPtr ins(conn_->prepareBatch(VqbString("INSERT INTO " + q("arr") + " (id, v) VALUES (?, ?)")));
    ASSERT_TRUE(ins);
    auto fill = [&](int n, int base, int dupAt) {
        for (int r = 0; r < n; ++r) {
            ins->setValue(r, 0, VqbDatavar(r == dupAt ? 1 : base + r));
            ins->setValue(r, 1, r % 3 ? VqbDatavar("v" + std::to_string(r)) : VqbDatavar());
        }
    };
    // Row 2 of the second array repeats a key: none of its rows stays. A shorter array after a
    // longer one writes only its own rows; inside a transaction the rows go with it.
    struct Run {
        int rows, base, dupAt;
        bool ok, inTransaction;
        long long total;
    } runs[] = {{10, 0, -1, true, false, 10}, {4, 100, 2, false, false, 10},
                {2, 200, -1, true, false, 12}, {3, 300, -1, true, true, 12}};
    for (const Run& run : runs) {
        fill(run.rows, run.base, run.dupAt);
        int changed = -1;
        EXPECT_TRUE(!run.inTransaction || conn_->beginTransaction());
        EXPECT_EQ(ins->execute(&changed), run.ok) << ins->getErrorText().str();
        EXPECT_EQ(changed, run.ok ? run.rows : changed);
        EXPECT_TRUE(!run.inTransaction || conn_->endTransaction(false));
        EXPECT_EQ(count("arr"), run.total) << run.base;
    }
    EXPECT_FALSE(ins->setValue(-1, 0, VqbDatavar(1)));
    EXPECT_FALSE(ins->setValue(1 << 24, 0, VqbDatavar(1)));
    StmtPtr sel(conn_->prepare(VqbString("SELECT v FROM " + q("arr") + " WHERE id = ?")));
    sel->setValue(1, 0, VqbDatavar(1));
    EXPECT_EQ(sel->openCursor(), nullptr);
}

TEST_P(DacDriverTest, BulkLoaderWritesBatchesAndRefusesShortRows) {
    fresh("bulk", "fr_value VARCHAR(30), fr_count BIGINT");
    std::string select = "SELECT \"fr_value\", \"fr_count\" FROM " + q("bulk");
    LoaderPtr l(conn_->openBulkLoader(VqbString(select), 3));
    ASSERT_TRUE(l) << conn_->getErrorText().str();
    ASSERT_EQ(l->getColumnCount(), 2);
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(l->setValue(0, VqbDatavar("value " + std::to_string(i))));
        ASSERT_TRUE(l->setValue(1, VqbDatavar(i)));
        ASSERT_TRUE(l->addRow()) << l->getErrorText().str();
    }
    EXPECT_EQ(count("bulk"), 6);  // two full batches
    // A row short of a value is refused; the load goes on.
    ASSERT_TRUE(l->setValue(0, VqbDatavar("half")));
    EXPECT_FALSE(l->addRow());
    EXPECT_FALSE(l->setValue(2, VqbDatavar(1)));
    ASSERT_TRUE(l->setValue(0, VqbDatavar::fromBool(false)));
    ASSERT_TRUE(l->setValue(1, VqbDatavar()));
    ASSERT_TRUE(l->addRow()) << l->getErrorText().str();
    ASSERT_TRUE(l->flush()) << l->getErrorText().str();
    EXPECT_EQ(count("bulk"), 8);
    EXPECT_EQ(dacScalar(conn_.get(), "SELECT COUNT(*) FROM " + q("bulk") + " WHERE fr_value = 'half'"), "0");

    // Rows queued but not flushed are dropped at close.
    l->setValue(0, VqbDatavar("dropped"));
    l->setValue(1, VqbDatavar(1));
    ASSERT_TRUE(l->addRow());
    l.reset();
    EXPECT_EQ(count("bulk"), 8);

    // A batch larger than one statement takes is written in pieces, the last one shorter.
    exec("DELETE FROM " + q("bulk"));
    LoaderPtr big(conn_->openBulkLoader(VqbString("SELECT fr_value, fr_count FROM " + q("bulk")), 1200));
    ASSERT_TRUE(big) << conn_->getErrorText().str();
    for (int i = 0; i < 1201; ++i) {
        big->setValue(0, VqbDatavar(i % 2 ? VqbDatavar("v") : VqbDatavar()));
        big->setValue(1, VqbDatavar(i));
        ASSERT_TRUE(big->addRow()) << big->getErrorText().str();
    }
    EXPECT_EQ(count("bulk"), 1200);
    ASSERT_TRUE(big->flush());
    EXPECT_EQ(count("bulk"), 1201);
    EXPECT_EQ(dacScalar(conn_.get(), "SELECT SUM(fr_count) FROM " + q("bulk")), "720600");

    EXPECT_EQ(conn_->openBulkLoader(VqbString("SELECT a FROM t; DROP TABLE t"), 10), nullptr);
    EXPECT_FALSE(conn_->getErrorText().isEmpty());
}

TEST_P(DacDriverTest, CatalogueReadsTakeNamesLiterally) {
    // The decoy matches the name when '_' is read as a pattern.
    std::string real = name("A_B"), decoy = real;
    std::replace(decoy.begin(), decoy.end(), '_', 'X');
    exec("DROP TABLE IF EXISTS " + sch() + "\"" + decoy + "\"");
    fresh("A_B", "id INTEGER NOT NULL, label VARCHAR(33), amount DOUBLE PRECISION, PRIMARY KEY (id)");
    ASSERT_TRUE(exec("CREATE TABLE " + sch() + "\"" + decoy + "\" (other INTEGER, more INTEGER)")) << lastError_;
    // SQLite names the index's schema, PostgreSQL the table's.
    bool sqliteSchema = GetParam() == Backend::SqliteSchema;
    for (auto [index, table, cols] : {std::make_tuple("ix_", real, "label, amount"), {"dx_", decoy, "other"}}) {
        std::string on = sqliteSchema ? sch() + "\"" + std::string(index) + tag_ + "\" ON \"" + table + "\""
                                      : "\"" + std::string(index) + tag_ + "\" ON " + sch() + "\"" + table + "\"";
        ASSERT_TRUE(exec("CREATE INDEX " + on + " (" + cols + ")")) << lastError_;
    }

    TablePtr t(conn_->openTable(VqbString(real), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(t) << conn_->getErrorText().str();
    ASSERT_EQ(t->getColumnCount(), 3);
    EXPECT_EQ(t->getColumn(0)->name.str(), "id");
    EXPECT_TRUE(t->getColumn(0)->notNull && t->getColumn(0)->primaryKey && !t->getColumn(2)->primaryKey);
    EXPECT_EQ(t->getColumn(1)->size, 33);
    EXPECT_EQ(t->getColumn(3), nullptr);

    EXPECT_EQ(conn_->openTable(VqbString(name("nothere")), VqbString(schema_), VqbString("")), nullptr);
    EXPECT_TRUE(conn_->getErrorText().isEmpty());
    EXPECT_EQ(conn_->openTable(VqbString(name("A%")), VqbString(schema_), VqbString("")), nullptr);

    // All indexes, then unique ones only (the key's index but not the plain one).
    for (int unique : {1, 0}) {
        CursorPtr c(conn_->openIndexStatistics(unique, 0, VqbString(real), VqbString(schema_), VqbString("")));
        ASSERT_TRUE(c) << conn_->getErrorText().str();
        std::vector<std::string> cols;
        std::set<std::string> tables;
        while (c->fetch() == DAC_FETCH_ROW) {
            if (c->getValue(DAC_STAT_TYPE).asInt64() == 0) continue;
            tables.insert(c->getValue(DAC_STAT_TABLE_NAME).asString().str());
            if (c->getValue(DAC_STAT_INDEX_NAME).asString().str() == "ix_" + tag_)
                cols.push_back(c->getValue(DAC_STAT_COLUMN_NAME).asString().str());
            EXPECT_TRUE(unique || c->getValue(DAC_STAT_NON_UNIQUE).asInt64() == 0);
        }
        EXPECT_EQ(cols, unique ? (std::vector<std::string>{"label", "amount"}) : std::vector<std::string>{});
        EXPECT_TRUE(!unique || tables == std::set<std::string>{real});
    }
    CursorPtr none(conn_->openIndexStatistics(1, 0, VqbString(name("nothere")), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->fetch(), DAC_FETCH_END);
}

TEST_P(DacDriverTest, BuilderDdlRunsOnItsDbms) {
    std::string table = name("built");
    exec("DROP TABLE IF EXISTS " + q("built"));
    TablePtr t(conn_->openTable(VqbString(""), VqbString(""), VqbString("")));
    ASSERT_TRUE(t);
    t->setName(VqbString(table));
    t->setSchema(VqbString(schema_));
    t->addColumn(VqbString("ru_id"), VQB_TYPE_INT, 0)->primaryKey = true;
    t->addColumn(VqbString("ru_name"), VQB_TYPE_STRING, 80)->indexMark = true;
    t->addColumn(VqbString("ru_flag"), VQB_TYPE_BOOL, 1);
    t->addColumn(VqbString("ru_date"), VQB_TYPE_DATE, 0)->compositeMember = true;
    t->addColumn(VqbString("odd name"), VQB_TYPE_REAL, 0)->compositeMember = true;
    t->addColumn(VqbString("ru_text"), VQB_TYPE_STRING, 0)->notNull = true;
    EXPECT_EQ(t->addColumn(VqbString("bad"), 6, 0), nullptr);
    EXPECT_EQ(t->getAddedColumnCount(), 0);
    ASSERT_TRUE(exec(t->getCreateTableText().str())) << lastError_ << "\n" << t->getCreateTableText().str();
    std::string ix = "ixb_" + tag_, cx = "cxb_" + tag_;
    ASSERT_TRUE(exec(t->getCreateIndexText(0, VqbString(ix)).str())) << lastError_;
    ASSERT_TRUE(exec(t->getCreateCompositeIndexText(VqbString(cx)).str())) << lastError_;

    TablePtr back(conn_->openTable(VqbString(table), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->getColumnCount(), 6);
    EXPECT_EQ(back->getColumn(4)->name.str(), "odd name");
    EXPECT_EQ(back->getColumn(1)->size, 80);
    EXPECT_TRUE(back->getColumn(0)->primaryKey && back->getColumn(5)->notNull);
    // Booleans are stored as texts, dates as reals.
    int types[] = {VQB_TYPE_INT, VQB_TYPE_STRING, VQB_TYPE_STRING, VQB_TYPE_REAL, VQB_TYPE_REAL, VQB_TYPE_STRING};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(back->getColumn(i)->typeCode, types[i]) << i;

    // A column added to the existing table: one ALTER TABLE, usable at once.
    ASSERT_NE(back->addColumn(VqbString("ru_extra"), VQB_TYPE_INT, 0), nullptr);
    ASSERT_EQ(back->getAddedColumnCount(), 1);
    ASSERT_TRUE(exec(back->getAddColumnText(0).str())) << lastError_;
    EXPECT_TRUE(back->getAddColumnText(1).isNull());
    ASSERT_TRUE(exec("INSERT INTO " + q("built") + " (ru_id, ru_text, ru_extra) VALUES (1, 'x', 2)")) << lastError_;

    ASSERT_TRUE(exec(t->getDropIndexText(0, VqbString(ix)).str())) << lastError_;
    ASSERT_TRUE(exec(t->getDropIndexText(-1, VqbString(cx)).str())) << lastError_;
    CursorPtr stats(conn_->openIndexStatistics(1, 0, VqbString(table), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(stats);
    while (stats->fetch() == DAC_FETCH_ROW) {
        std::string n = stats->getValue(DAC_STAT_INDEX_NAME).asString().str();
        EXPECT_TRUE(n != ix && n != cx) << n;
    }
    ASSERT_TRUE(exec(t->getDropTableText().str())) << lastError_;
    EXPECT_EQ(conn_->openTable(VqbString(table), VqbString(schema_), VqbString("")), nullptr);
}

TEST_P(DacDriverTest, FailuresAreReportedNotSwallowed) {
    EXPECT_FALSE(exec("SELEKT 1"));
    EXPECT_FALSE(lastError_.empty());
    // Some drivers prepare only when the statement first runs; the failure comes then.
    StmtPtr bad(conn_->prepare(VqbString("SELECT nothing FROM " + q("nowhere"))));
    if (bad) {
        EXPECT_EQ(bad->openCursor(), nullptr);
        EXPECT_FALSE(bad->getErrorText().isEmpty());
        EXPECT_FALSE(bad->execute(nullptr));
    }
    EXPECT_EQ(conn_->openCursorDirect(VqbString("SELECT * FROM " + q("nowhere"))), nullptr);
    EXPECT_FALSE(conn_->getErrorText().isEmpty());

    // A cursor whose statement ran again reports it instead of reading the new rows.
    fresh("re", "id INTEGER");
    exec("INSERT INTO " + q("re") + " VALUES (1), (2)");
    StmtPtr s(conn_->prepare(VqbString("SELECT id FROM " + q("re") + " WHERE id >= ? ORDER BY id")));
    ASSERT_TRUE(s);
    s->bindValue(0, VqbDatavar(1));
    CursorPtr first(s->openCursor());
    ASSERT_TRUE(first);
    ASSERT_EQ(first->fetch(), DAC_FETCH_ROW);
    s->bindValue(0, VqbDatavar(2));
    CursorPtr second(s->openCursor());
    ASSERT_TRUE(second);
    EXPECT_EQ(first->fetch(), DAC_FETCH_ERROR);
    ASSERT_EQ(second->fetch(), DAC_FETCH_ROW);
    EXPECT_EQ(second->getValue(0).asInt64(), 2);

    // A cursor outlives its statement.
    s->bindValue(0, VqbDatavar(1));
    CursorPtr third(s->openCursor());
    s.reset();
    ASSERT_EQ(third->fetch(), DAC_FETCH_ROW);
    ASSERT_EQ(third->fetch(), DAC_FETCH_ROW);
    EXPECT_EQ(third->fetch(), DAC_FETCH_END);
}

static std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    static const char* const names[] = {"Sqlite", "SqliteSchema", "Pg", "PgSchema"};
    return names[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Drivers, DacDriverTest,
                         ::testing::Values(Backend::Sqlite, Backend::SqliteSchema, Backend::Pg, Backend::PgSchema),
                         backendName);
