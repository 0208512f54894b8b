// The same cases over both drivers of the connector.
#include <algorithm>
#include <set>

#include "dac_fixture.h"

TEST_P(DacDriverTest, InfoKindQuoteAndMode) {
    VqbDatavar v;
    ASSERT_TRUE(conn_->getInfo(DAC_INFO_DBMS_NAME, v));
    EXPECT_EQ(v.asString().str(), isPg() ? "PostgreSQL" : "SQLite");
    ASSERT_TRUE(conn_->getInfo(DAC_INFO_MAX_IDENTIFIER, v));
    EXPECT_EQ(v.asInt64(), isPg() ? 63 : 0);
    ASSERT_TRUE(conn_->getInfo(DAC_INFO_MAX_CHAR_LENGTH, v));
    EXPECT_GE(v.asInt64(), 255);
    ASSERT_TRUE(conn_->getInfo(DAC_INFO_STATEMENT_MODE, v));
    EXPECT_EQ(v.asInt64(), 0);
    EXPECT_FALSE(conn_->getInfo(99, v));
    EXPECT_FALSE(conn_->getErrorText().isEmpty());

    EXPECT_EQ(conn_->getDbmsKind(), isPg() ? DAC_DBMS_POSTGRESQL : DAC_DBMS_SQLITE);
    EXPECT_EQ(conn_->getIdentifierQuote().str(), "\"");
    EXPECT_EQ(conn_->getConnectionMode(), isPg() ? DAC_MODE_BULK : DAC_MODE_EMBEDDED);
    EXPECT_EQ(conn_->handOut(), 1);
    EXPECT_EQ(conn_->handOut(), 2);
    EXPECT_FALSE(conn_->isBroken());
}

TEST_P(DacDriverTest, ValuesOfEachTypeAndNullsRoundTrip) {
    fresh("v", "id BIGINT, r DOUBLE PRECISION, s VARCHAR(40), b VARCHAR(5)");
    StmtPtr ins(conn_->prepare(VqbString("INSERT INTO " + q("v") + " (id, r, s, b) VALUES (?, ?, ?, ?)")));
    ASSERT_TRUE(ins) << conn_->getErrorText().str();
    int changed = -1;
    ASSERT_TRUE(ins->bindValue(0, VqbDatavar(5000000000LL)));
    ASSERT_TRUE(ins->bindValue(1, VqbDatavar(2.5)));
    ASSERT_TRUE(ins->bindValue(2, VqbDatavar("it's")));
    ASSERT_TRUE(ins->bindValue(3, VqbDatavar::fromBool(true)));
    ASSERT_TRUE(ins->execute(&changed)) << ins->getErrorText().str();
    EXPECT_EQ(changed, 1);
    // A null declared as an integer, a date sent as its real, an empty text.
    ASSERT_TRUE(ins->declareParameter(0, VQB_TYPE_INT, 0, 0));
    ins->bindValue(0, VqbDatavar());
    ins->bindValue(1, VqbDatavar(VqbDate(45000.25)));
    ins->bindValue(2, VqbDatavar(""));
    ins->bindValue(3, VqbDatavar());
    ASSERT_TRUE(ins->execute(&changed)) << ins->getErrorText().str();
    EXPECT_FALSE(ins->bindValue(4, VqbDatavar(1)));
    EXPECT_FALSE(ins->declareParameter(7, VQB_TYPE_INT, 0, 0));

    StmtPtr sel(conn_->prepare(VqbString("SELECT id, r, s, b FROM " + q("v") + " WHERE r > ? ORDER BY r")));
    ASSERT_TRUE(sel);
    sel->bindValue(0, VqbDatavar(0));
    CursorPtr c(sel->openCursor());
    ASSERT_TRUE(c) << sel->getErrorText().str();
    ASSERT_EQ(c->getColumnCount(), 4);
    EXPECT_EQ(c->getColumnName(2).str(), "s");
    ASSERT_EQ(c->fetch(), DAC_FETCH_ROW);
    EXPECT_EQ(c->getValue(0).getType(), VQB_TYPE_INT);
    EXPECT_EQ(c->getValue(0).asInt64(), 5000000000LL);
    EXPECT_DOUBLE_EQ(c->getValue(1).asDouble(), 2.5);
    EXPECT_EQ(c->getValue(2).asString().str(), "it's");
    EXPECT_EQ(c->getValue(3).asString().str(), "1");
    EXPECT_TRUE(c->getValue(9).isNull());
    ASSERT_EQ(c->fetch(), DAC_FETCH_ROW);
    EXPECT_TRUE(c->getValue(0).isNull());
    EXPECT_DOUBLE_EQ(c->getValue(1).asDouble(), 45000.25);
    EXPECT_FALSE(c->getValue(2).isNull());
    EXPECT_EQ(c->getValue(2).asString().str(), "");
    EXPECT_TRUE(c->getValue(3).isNull());
    EXPECT_EQ(c->fetch(), DAC_FETCH_END);
    EXPECT_EQ(c->fetch(), DAC_FETCH_END);

    // A text compared with an integer column and an update that matches nothing.
    StmtPtr upd(conn_->prepare(VqbString("UPDATE " + q("v") + " SET s = ? WHERE id = ?")));
    ASSERT_TRUE(upd);
    upd->bindValue(0, VqbDatavar("x"));
    upd->bindValue(1, VqbDatavar("5000000000"));
    ASSERT_TRUE(upd->execute(&changed)) << upd->getErrorText().str();
    EXPECT_EQ(changed, 1);
    upd->bindValue(1, VqbDatavar(-1));
    ASSERT_TRUE(upd->execute(&changed)) << upd->getErrorText().str();
    EXPECT_EQ(changed, 0);
}

TEST_P(DacDriverTest, LongAndMultibyteTextsComeBackWhole) {
    fresh("txt", "id INTEGER, body TEXT");
    std::string body;
    const char* pieces[] = {"a", "\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", " "};
    for (int i = 0; i < 40000; ++i) body += pieces[i % 5];
    ASSERT_GT(body.size(), 65536u);
    StmtPtr ins(conn_->prepare(VqbString("INSERT INTO " + q("txt") + " (id, body) VALUES (?, ?)")));
    ASSERT_TRUE(ins);
    ins->bindValue(0, VqbDatavar(1));
    ins->bindValue(1, VqbDatavar(body));
    ASSERT_TRUE(ins->execute(nullptr)) << ins->getErrorText().str();
    ins->bindValue(0, VqbDatavar(2));
    ins->bindValue(1, VqbDatavar("gr\xc3\xbc\xc3\x9f \xe6\x97\xa5\xe6\x9c\xac"));
    ASSERT_TRUE(ins->execute(nullptr));

    auto r = rows("SELECT id, body FROM " + q("txt") + " ORDER BY id");
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0][1].size(), body.size());
    EXPECT_TRUE(r[0][1] == body);
    EXPECT_EQ(r[1][1], "gr\xc3\xbc\xc3\x9f \xe6\x97\xa5\xe6\x9c\xac");
    // The DBMS counts characters, not bytes.
    auto len = rows("SELECT LENGTH(body) FROM " + q("txt") + " WHERE id = 2");
    ASSERT_EQ(len.size(), 1u);
    EXPECT_EQ(len[0][0], "7");
}

TEST_P(DacDriverTest, TransactionsCommitRollBackAndSurviveAFailedStatement) {
    fresh("tx", "id INTEGER PRIMARY KEY, v VARCHAR(10)");
    EXPECT_FALSE(conn_->endTransaction(true));
    ASSERT_TRUE(conn_->beginTransaction()) << conn_->getErrorText().str();
    EXPECT_TRUE(conn_->isInTransaction());
    EXPECT_FALSE(conn_->beginTransaction());
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (1, 'a')"));
    ASSERT_TRUE(conn_->endTransaction(true));
    EXPECT_FALSE(conn_->isInTransaction());

    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (2, 'b')"));
    ASSERT_TRUE(conn_->endTransaction(false));
    EXPECT_EQ(count("tx"), 1);

    // A failed statement undoes itself only; the rest of the transaction goes on.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (3, 'c')"));
    EXPECT_FALSE(exec("INSERT INTO " + q("tx") + " VALUES (1, 'dup')"));
    EXPECT_FALSE(lastError_.empty());
    EXPECT_FALSE(exec("INSERT INTO " + q("missing") + " VALUES (1)"));
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (4, 'd')")) << lastError_;
    ASSERT_TRUE(conn_->endTransaction(true)) << conn_->getErrorText().str();
    EXPECT_EQ(rows("SELECT id FROM " + q("tx") + " ORDER BY id"),
              (std::vector<std::vector<std::string>>{{"1"}, {"3"}, {"4"}}));

    // A failure then a rollback leaves nothing, and the connection works on.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (5, 'e')"));
    EXPECT_FALSE(exec("INSERT INTO " + q("tx") + " VALUES (3, 'dup')"));
    ASSERT_TRUE(conn_->endTransaction(false));
    EXPECT_EQ(count("tx"), 3);
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (6, 'f')"));
    EXPECT_EQ(count("tx"), 4);

    // Closing with an open transaction rolls it back.
    ASSERT_TRUE(conn_->beginTransaction());
    ASSERT_TRUE(exec("INSERT INTO " + q("tx") + " VALUES (7, 'g')"));
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
    for (int r = 0; r < 10; ++r) {
        ASSERT_TRUE(ins->setValue(r, 0, VqbDatavar(r)));
        ASSERT_TRUE(ins->setValue(r, 1, r % 3 ? VqbDatavar("v" + std::to_string(r)) : VqbDatavar()));
    }
    int changed = -1;
    ASSERT_TRUE(ins->execute(&changed)) << ins->getErrorText().str();
    EXPECT_EQ(changed, 10);

    // Row 2 repeats a key: none of the rows stays.
    for (int r = 0; r < 4; ++r) ins->setValue(r, 0, VqbDatavar(r == 2 ? 1 : 100 + r));
    EXPECT_FALSE(ins->execute(&changed));
    EXPECT_FALSE(ins->getErrorText().isEmpty());
    EXPECT_EQ(count("arr"), 10);

    // A shorter array after a longer one writes only its own rows.
    for (int r = 0; r < 2; ++r) {
        ins->setValue(r, 0, VqbDatavar(200 + r));
        ins->setValue(r, 1, VqbDatavar("w"));
    }
    ASSERT_TRUE(ins->execute(&changed)) << ins->getErrorText().str();
    EXPECT_EQ(changed, 2);
    EXPECT_EQ(count("arr"), 12);

    // Inside a transaction the rows go with it.
    ASSERT_TRUE(conn_->beginTransaction());
    for (int r = 0; r < 3; ++r) ins->setValue(r, 0, VqbDatavar(300 + r));
    ASSERT_TRUE(ins->execute(&changed));
    ASSERT_TRUE(conn_->endTransaction(false));
    EXPECT_EQ(count("arr"), 12);

    EXPECT_FALSE(ins->setValue(-1, 0, VqbDatavar(1)));
    EXPECT_FALSE(ins->setValue(1 << 24, 0, VqbDatavar(1)));
    StmtPtr sel(conn_->prepare(VqbString("SELECT v FROM " + q("arr") + " WHERE id = ?")));
    sel->setValue(1, 0, VqbDatavar(1));
    EXPECT_EQ(sel->openCursor(), nullptr);
}

TEST_P(DacDriverTest, BulkLoaderWritesBatchesAndRefusesShortRows) {
    fresh("bulk", "fr_value VARCHAR(30), fr_count BIGINT");
    std::string table = schema_.empty() ? "\"" + name("bulk") + "\"" : "\"" + schema_ + "\".\"" + name("bulk") + "\"";
    LoaderPtr l(conn_->openBulkLoader(VqbString("SELECT \"fr_value\", \"fr_count\" FROM " + table), 3));
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
    EXPECT_EQ(rows("SELECT COUNT(*) FROM " + q("bulk") + " WHERE fr_value = 'half'")[0][0], "0");

    // Rows queued but not flushed are dropped at close.
    l->setValue(0, VqbDatavar("dropped"));
    l->setValue(1, VqbDatavar(1));
    ASSERT_TRUE(l->addRow());
    l.reset();
    EXPECT_EQ(count("bulk"), 8);

    // A batch larger than one statement takes is written in pieces, the last one shorter.
    exec("DELETE FROM " + q("bulk"));
    LoaderPtr big(conn_->openBulkLoader(VqbString("SELECT fr_value, fr_count FROM " + table), 1200));
    ASSERT_TRUE(big) << conn_->getErrorText().str();
    for (int i = 0; i < 1201; ++i) {
        big->setValue(0, VqbDatavar(i % 2 ? VqbDatavar("v") : VqbDatavar()));
        big->setValue(1, VqbDatavar(i));
        ASSERT_TRUE(big->addRow()) << big->getErrorText().str();
    }
    EXPECT_EQ(count("bulk"), 1200);
    ASSERT_TRUE(big->flush());
    EXPECT_EQ(count("bulk"), 1201);
    EXPECT_EQ(rows("SELECT SUM(fr_count) FROM " + q("bulk"))[0][0], "720600");

    for (const char* bad : {"SELECT FROM t", "SELECT a, b FROM", "DELETE FROM t", "SELECT a FROM t; DROP TABLE t",
                            "SELECT a FROM t WHERE 1=1", "SELECT \"a FROM t"}) {
        EXPECT_EQ(conn_->openBulkLoader(VqbString(bad), 10), nullptr) << bad;
        EXPECT_FALSE(conn_->getErrorText().isEmpty());
    }
}

TEST_P(DacDriverTest, CatalogueReadsTakeNamesLiterally) {
    // The decoy matches the name when '_' is read as a pattern.
    std::string real = name("A_B"), decoy = real;
    std::replace(decoy.begin(), decoy.end(), '_', 'X');
    std::string sch = schema_.empty() ? "" : "\"" + schema_ + "\".";
    exec("DROP TABLE IF EXISTS " + sch + "\"" + decoy + "\"");
    fresh("A_B", "id INTEGER NOT NULL, label VARCHAR(33), amount DOUBLE PRECISION, PRIMARY KEY (id)");
    ASSERT_TRUE(exec("CREATE TABLE " + sch + "\"" + decoy + "\" (other INTEGER, more INTEGER)")) << lastError_;
    std::string idxOn = GetParam() == Backend::SqliteSchema
                            ? "\"" + schema_ + "\".\"ix_" + tag_ + "\" ON \"" + real + "\""
                            : "\"ix_" + tag_ + "\" ON " + q("A_B");
    ASSERT_TRUE(exec("CREATE INDEX " + idxOn + " (label, amount)")) << lastError_;
    std::string decoyIdx = GetParam() == Backend::SqliteSchema
                               ? "\"" + schema_ + "\".\"dx_" + tag_ + "\" ON \"" + decoy + "\""
                               : "\"dx_" + tag_ + "\" ON " + sch + "\"" + decoy + "\"";
    ASSERT_TRUE(exec("CREATE INDEX " + decoyIdx + " (other)")) << lastError_;

    TablePtr t(conn_->openTable(VqbString(real), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(t) << conn_->getErrorText().str();
    EXPECT_EQ(t->getName().str(), real);
    ASSERT_EQ(t->getColumnCount(), 3);
    EXPECT_EQ(t->getColumn(0)->name.str(), "id");
    EXPECT_EQ(t->getColumn(0)->typeCode, VQB_TYPE_INT);
    EXPECT_TRUE(t->getColumn(0)->notNull);
    EXPECT_TRUE(t->getColumn(0)->primaryKey);
    EXPECT_EQ(t->getColumn(1)->typeCode, VQB_TYPE_STRING);
    EXPECT_EQ(t->getColumn(1)->size, 33);
    EXPECT_EQ(t->getColumn(2)->typeCode, VQB_TYPE_REAL);
    EXPECT_FALSE(t->getColumn(2)->primaryKey);
    EXPECT_EQ(t->getColumn(3), nullptr);

    EXPECT_EQ(conn_->openTable(VqbString(name("nothere")), VqbString(schema_), VqbString("")), nullptr);
    EXPECT_TRUE(conn_->getErrorText().isEmpty());
    EXPECT_EQ(conn_->openTable(VqbString(name("A%")), VqbString(schema_), VqbString("")), nullptr);

    // Index statistics: index name at 5, type at 6, column at 8, only this table's rows.
    CursorPtr c(conn_->openIndexStatistics(1, 0, VqbString(real), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(c) << conn_->getErrorText().str();
    std::vector<std::string> cols;
    std::set<std::string> tables;
    while (c->fetch() == DAC_FETCH_ROW) {
        if (c->getValue(DAC_STAT_TYPE).asInt64() == 0) continue;
        tables.insert(c->getValue(DAC_STAT_TABLE_NAME).asString().str());
        if (c->getValue(DAC_STAT_INDEX_NAME).asString().str() == "ix_" + tag_)
            cols.push_back(c->getValue(DAC_STAT_COLUMN_NAME).asString().str());
    }
    EXPECT_EQ(cols, (std::vector<std::string>{"label", "amount"}));
    EXPECT_EQ(tables, std::set<std::string>{real});
    // Unique indexes only: the key's index but not the plain one.
    CursorPtr u(conn_->openIndexStatistics(0, 0, VqbString(real), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(u);
    while (u->fetch() == DAC_FETCH_ROW) {
        if (u->getValue(DAC_STAT_TYPE).asInt64() == 0) continue;
        EXPECT_NE(u->getValue(DAC_STAT_INDEX_NAME).asString().str(), "ix_" + tag_);
        EXPECT_EQ(u->getValue(DAC_STAT_NON_UNIQUE).asInt64(), 0);
    }
    CursorPtr none(conn_->openIndexStatistics(1, 0, VqbString(name("nothere")), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->fetch(), DAC_FETCH_END);
}

TEST_P(DacDriverTest, BuilderDdlRunsOnItsDbms) {
    std::string table = name("built");
    std::string sch = schema_.empty() ? "" : "\"" + schema_ + "\".";
    exec("DROP TABLE IF EXISTS " + sch + "\"" + table + "\"");
    TablePtr t(conn_->openTable(VqbString(""), VqbString(""), VqbString("")));
    ASSERT_TRUE(t);
    t->setName(VqbString(table));
    t->setSchema(VqbString(schema_));
    DacColumn* id = t->addColumn(VqbString("ru_id"), VQB_TYPE_INT, 0);
    id->primaryKey = true;
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
    EXPECT_TRUE(back->getColumn(0)->primaryKey);
    EXPECT_TRUE(back->getColumn(5)->notNull);
    int types[] = {VQB_TYPE_INT, VQB_TYPE_STRING, VQB_TYPE_STRING, VQB_TYPE_REAL, VQB_TYPE_REAL, VQB_TYPE_STRING};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(back->getColumn(i)->typeCode, types[i]) << i;

    // A column added to the existing table: one ALTER TABLE, usable at once.
    ASSERT_NE(back->addColumn(VqbString("ru_extra"), VQB_TYPE_INT, 0), nullptr);
    ASSERT_EQ(back->getAddedColumnCount(), 1);
    ASSERT_TRUE(exec(back->getAddColumnText(0).str())) << lastError_;
    EXPECT_TRUE(back->getAddColumnText(1).isNull());
    ASSERT_TRUE(exec("INSERT INTO " + sch + "\"" + table + "\" (ru_id, ru_text, ru_extra) VALUES (1, 'x', 2)"))
        << lastError_;

    ASSERT_TRUE(exec(t->getDropIndexText(0, VqbString(ix)).str())) << lastError_;
    ASSERT_TRUE(exec(t->getDropIndexText(-1, VqbString(cx)).str())) << lastError_;
    CursorPtr stats(conn_->openIndexStatistics(1, 0, VqbString(table), VqbString(schema_), VqbString("")));
    ASSERT_TRUE(stats);
    while (stats->fetch() == DAC_FETCH_ROW) {
        std::string n = stats->getValue(DAC_STAT_INDEX_NAME).asString().str();
        EXPECT_NE(n, ix);
        EXPECT_NE(n, cx);
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
    exec("INSERT INTO " + q("re") + " VALUES (1)");
    exec("INSERT INTO " + q("re") + " VALUES (2)");
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

INSTANTIATE_TEST_SUITE_P(Drivers, DacDriverTest,
                         ::testing::Values(Backend::Sqlite, Backend::SqliteSchema, Backend::Pg, Backend::PgSchema),
                         backendName);
