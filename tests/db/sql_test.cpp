// The SQL path of the database layer: parameters with nulls and type letters, statements and
// cursors, big strings, script mode and the bulk loader.
#include "dac_rda_fixture.h"
#include "vqbmessage.h"

namespace {

class Sql : public RdaDacTest {
protected:
    void SetUp() override {
        RdaDacTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        createTables(conn.get(), {"UCURID", "BIGSTR", "KEYVAL"});
        ASSERT_TRUE(conn->createTableFromColumns("VALS", columnSpecs({{"K", VQB_TYPE_INT},
                                                                      {"I", VQB_TYPE_INT},
                                                                      {"R", VQB_TYPE_REAL},
                                                                      {"S", VQB_TYPE_STRING},
                                                                      {"D", VQB_TYPE_DATE}})))
            << conn->getLastErrorMessage().str();
        vals = conn->getTableName("VALS", true, -1).str();
    }
    bool putValue(int key, const VqbString& text) {
        VqbDatavar k(key), s(text);
        return conn->paramExec("INSERT INTO " + vals + " (K, S) VALUES (?, ?)", nullptr, 2, &k, &s);
    }
    std::string readValue(int key) {
        VqbDatavar k(key);
        Cursor c(conn->paramSelect("SELECT S FROM " + vals + " WHERE K = ?", 1, &k));
        EXPECT_TRUE(c) << conn->getLastErrorMessage().str();
        if (!c || c->next() != 1) return "<no row>";
        return c->getValue(0).asString().str();
    }
    // The chunks of a big-string reference, in order.
    std::vector<std::string> chunks(const std::string& reference) {
        std::string id = reference.substr(15, reference.size() - 18);
        std::vector<std::string> out;
        for (const auto& row :
             rawRows("SELECT BS_DATA FROM " + q("BIGSTR") + " WHERE BS_REFID = " + id + " ORDER BY BS_SEQ"))
            out.push_back(row[0]);
        return out;
    }
    std::string storedText(int key) {
        return rawScalar("SELECT S FROM " + q("VALS") + " WHERE K = " + std::to_string(key));
    }

    std::string vals;
};

RDA_DRIVERS(Sql);

class SqlContract : public Sql {};
RDA_BACKENDS(SqlContract);

}  // namespace

TEST_P(SqlContract, ParametersKeepTheirValuesNullsAndTypes) {
    VqbDatavar key(1), i(static_cast<long long>(4000000000LL)), r(2.5), s("it's"), d(VqbDate(45000.25));
    ASSERT_TRUE(conn->paramExec("INSERT INTO " + vals + " (K, I, R, S, D) VALUES (?, ?, ?, ?, ?)", nullptr, 5, &key, &i,
                                &r, &s, &d))
        << conn->getLastErrorMessage().str();
    // Nulls of every column: typed by the letters, or by nothing at all.
    VqbDatavar key2(2), null;
    ASSERT_TRUE(conn->paramExecWTypes("INSERT INTO " + vals + " (K, I, R, S, D) VALUES (?, ?, ?, ?, ?)", nullptr,
                                      "IIRSD", 5, &key2, &null, &null, &null, &null))
        << conn->getLastErrorMessage().str();
    // A missing value is a null; an empty text stays empty.
    VqbDatavar key3(3), key4(4), empty("");
    for (auto [k, v] : {std::make_pair(&key3, (VqbDatavar*)nullptr), {&key4, &empty}})
        ASSERT_TRUE(conn->paramExec("INSERT INTO " + vals + " (K, S) VALUES (?, ?)", nullptr, 2, k, v))
            << conn->getLastErrorMessage().str();

    // Live and cached rows keep the types; a 64-bit value read as an int gives its low 32 bits.
    for (bool cached : {false, true}) {
        Cursor c(conn->paramSelect("SELECT K, I, S FROM " + vals + " ORDER BY K", 0));
        ASSERT_TRUE(c && (!cached || c->cacheAll()) && c->next() == 1) << conn->getLastErrorMessage().str();
        EXPECT_EQ(c->getValue(1).getType(), VQB_TYPE_INT);
        EXPECT_EQ(c->getValue(2).getType(), VQB_TYPE_STRING);
        EXPECT_EQ(c->getInt(1), static_cast<int>(static_cast<uint32_t>(4000000000LL)));
    }
    // Dates are stored as reals.
    EXPECT_EQ(take(conn->paramSelect("SELECT K, I, R, S, D FROM " + vals + " ORDER BY K", 0)),
              (Rows{{"1", "4000000000", "2.5", "it's", "45000.25"},
                    {"2", "<null>", "<null>", "<null>", "<null>"},
                    {"3", "<null>", "<null>", "<null>", "<null>"},
                    {"4", "<null>", "<null>", "", "<null>"}}));

    int rows = -1;
    VqbDatavar newR(7.0);
    ASSERT_TRUE(conn->paramExec("UPDATE " + vals + " SET R = ? WHERE K > ?", &rows, 2, &newR, &key));
    EXPECT_EQ(rows, 3);

    int64_t big = 0;
    ASSERT_TRUE(conn->paramSingleton("SELECT I FROM " + vals + " WHERE K = ?", &big, 1, &key));
    EXPECT_EQ(big, 4000000000LL);
    int small = 0;
    ASSERT_TRUE(conn->paramSingletonWTypes("SELECT COUNT(*) FROM " + vals + " WHERE S IS NULL OR S = ?", &small, "S", 1,
                                           &null));
    EXPECT_EQ(small, 2);
    ASSERT_TRUE(conn->paramSingletonInt("SELECT COUNT(*) FROM " + vals, &small, 0));
    EXPECT_EQ(small, 4);
    VqbDatavar none(99);
    EXPECT_FALSE(conn->paramSingleton("SELECT I FROM " + vals + " WHERE K = ?", &big, 1, &none));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1053));
    EXPECT_FALSE(conn->paramSingleton("SELECT NO_SUCH FROM " + vals, &big, 0));
    EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
    EXPECT_EQ(conn->paramSelect("SELECT NO_SUCH FROM " + vals, 0), nullptr);
    EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
}

TEST_P(SqlContract, PreparedStatementsBindRunAndHandTheirCursorOver) {
    Stmt insert(conn->createStatement("INSERT INTO " + vals + " (K, S) VALUES (?, ?)"));
    ASSERT_TRUE(insert) << conn->getLastErrorMessage().str();
    std::string longText(conn->getMaxTextLen() + 345, 'q');
    for (int k = 1; k <= 3; ++k) {
        ASSERT_TRUE(insert->setParameter(0, VqbDatavar(k)));
        ASSERT_TRUE(insert->setParameter(1, VqbDatavar(k == 3 ? longText : "v" + std::to_string(k))));
        ASSERT_TRUE(insert->execute()) << conn->getLastErrorMessage().str();
    }
    EXPECT_FALSE(insert->setParameter(7, VqbDatavar(1)));
    EXPECT_EQ(insert->getErrorMessage(), conn->getGeneralErrorMessage());
    // The connector stores long texts written through a statement as big strings; the SQLite file
    // keeps them whole in place. Either way they read back whole.
    EXPECT_EQ(storedText(3).rfind("_~_velqorinRef_", 0), GetParam() == Driver::Direct ? std::string::npos : 0u);
    EXPECT_EQ(readValue(3), longText);

    Stmt select(conn->createStatement("SELECT K, S FROM " + vals + " WHERE K >= ? ORDER BY K"));
    ASSERT_TRUE(select);
    ASSERT_TRUE(select->setParameterInfo(0, VQB_TYPE_INT, 0));
    ASSERT_TRUE(select->setParameter(0, VqbDatavar(2)));
    Cursor c(select->select());
    ASSERT_TRUE(c) << conn->getLastErrorMessage().str();
    // The cursor owns the statement now; the statement object is only released.
    EXPECT_FALSE(select->execute());
    ASSERT_TRUE(c->cacheAll());
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getInt(0), 2);
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getString(1).str(), longText);
    EXPECT_EQ(c->next(), 0);
    select.reset();
    EXPECT_EQ(c->next(), 1);  // cached rows start over

    if (GetParam() == Driver::Direct) return;  // batches are the connector's
    Stmt batch(conn->createBulkStatement("INSERT INTO " + vals + " (K, S) VALUES (?, ?)", 3));
    ASSERT_TRUE(batch) << conn->getLastErrorMessage().str();
    for (int row = 0; row < 3; ++row) {
        ASSERT_TRUE(batch->setParameterBulk(0, row, VqbDatavar(10 + row)));
        ASSERT_TRUE(batch->setParameterBulk(1, row, VqbDatavar("b")));
    }
    ASSERT_TRUE(batch->execute()) << conn->getLastErrorMessage().str();
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("VALS") + " WHERE K >= 10"), "3");
}

TEST_P(Sql, PreparedQueriesCompareLongTextsAsGiven) {
    // Wider than the back end's own text columns, so the text is stored whole.
    ASSERT_TRUE(rawExec("CREATE TABLE " + q("LONGS") + " (K INTEGER, S VARCHAR(1000))"));
    std::string longText(600, 'q');
    ASSERT_TRUE(rawExec("INSERT INTO " + q("LONGS") + " (K, S) VALUES (1, '" + longText + "')"));
    std::string longs = conn->getTableName("LONGS", true, -1).str();
    // Any spelling of a query: the first word decides.
    for (const std::string& sql :
         {"SELECT K FROM " + longs + " WHERE S = ?", "\n select K FROM " + longs + " WHERE S=?"}) {
        Stmt select(conn->createStatement(sql));
        ASSERT_TRUE(select) << conn->getLastErrorMessage().str();
        ASSERT_TRUE(select->setParameterInfo(0, VQB_TYPE_STRING, 1000));
        ASSERT_TRUE(select->setParameter(0, VqbDatavar(longText)));
        EXPECT_EQ(take(select->select()), (Rows{{"1"}})) << sql;
    }
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("BIGSTR")), "0");
}

// Chunks are one byte short of the limit and never split a character: a server column must hold
// the chunk, so the connector cuts before the character; the SQLite file takes it whole into the
// earlier chunk.
TEST_P(SqlContract, BigStringsSplitAtTheLimitOnWholeCharacters) {
    const size_t max = static_cast<size_t>(conn->getMaxTextLen());
    std::string multi;
    while (multi.size() < 6 * max) multi += "\xc3\xa9x\xe2\x82\xac\xf0\x9d\x84\x9e ";
    for (const std::string& text : {std::string(max, 'a'), std::string(max + 45, 'b'), multi}) {
        VqbString out, back, error;
        ASSERT_TRUE(conn->putBigString(VqbString(text), &out, &error)) << error.str();
        if (text.size() == max) {
            EXPECT_EQ(out.str(), text);
            continue;
        }
        ASSERT_EQ(out.str().rfind("_~_velqorinRef_", 0), 0u) << out.str().substr(0, 40);
        std::vector<std::string> parts = chunks(out.str());
        if (text[0] == 'b') {
            EXPECT_EQ(parts, (std::vector<std::string>{std::string(max - 1, 'b'), std::string(46, 'b')}));
        }
        const size_t room = GetParam() == Driver::Direct ? max + 2 : max;
        std::string joined;
        for (const std::string& part : parts) {
            EXPECT_NE(static_cast<unsigned char>(part[0]) & 0xc0, 0x80) << "cut inside a character";
            EXPECT_LE(part.size(), room);
            joined += part;
        }
        EXPECT_EQ(joined, text);
        ASSERT_TRUE(conn->getBigString(out, &back, &error)) << error.str();
        EXPECT_EQ(back.str(), text);
    }
}

// Values written by statements become big strings and read back whole; conditions never do.
TEST_P(Sql, LongValuesGoThroughBigStringsExceptInConditions) {
    std::string over(300, 'b');
    ASSERT_TRUE(putValue(1, std::string(255, 'a')));
    ASSERT_TRUE(putValue(2, over));
    EXPECT_EQ(storedText(1), std::string(255, 'a'));
    EXPECT_EQ(storedText(2).rfind("_~_velqorinRef_", 0), 0u);
    EXPECT_EQ(readValue(2), over);
    VqbDatavar longKey(std::string(400, 'z'));
    Cursor none(conn->paramSelect("SELECT K FROM " + vals + " WHERE S = ?", 1, &longKey));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->next(), 0);
    EXPECT_EQ(rawScalar("SELECT COUNT(DISTINCT BS_REFID) FROM " + q("BIGSTR")), "1");

    // Texts that only look like references.
    VqbString out, error;
    for (const char* lookalike : {"_~_velqorinRef_12", "_~_velqorinRef__~_", "_~_velqorinRef_99999_~_"}) {
        ASSERT_TRUE(conn->getBigString(VqbString(lookalike), &out, &error));
        EXPECT_TRUE(out.str() == lookalike || out.str().empty()) << lookalike;
    }
    ASSERT_TRUE(putValue(4, "_~_velqorinRef_12"));
    EXPECT_EQ(readValue(4), "_~_velqorinRef_12");
}

TEST_P(Sql, ScriptModeWritesEveryStatementWithItsValues) {
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(conn->endTransaction(true));
    conn->setDDLCallback(&recorder);
    VqbDatavar five(5), null, text("it's"), longText(std::string(400, 'L'));
    ASSERT_TRUE(
        conn->paramExec("UPDATE " + vals + " SET I=?, R=?, S=? WHERE S <> '?'", nullptr, 3, &five, &null, &text));
    ASSERT_TRUE(conn->paramExec("INSERT INTO " + vals + " (K, S) VALUES (?, ?)", nullptr, 2, &five, &longText));
    EXPECT_FALSE(conn->paramExec("UPDATE " + vals + " SET I=?, R=?", nullptr, 3, &five, &null, &text));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1288));
    ASSERT_EQ(recorder.script.size(), 2u);
    EXPECT_EQ(recorder.script[0], "UPDATE " + vals + " SET I=5, R=NULL, S='it''s' WHERE S <> '?'");
    EXPECT_EQ(recorder.script[1], "INSERT INTO " + vals + " (K, S) VALUES (5, '" + std::string(400, 'L') + "')");

    // Nothing reaches the database, reads are refused, levels are not counted.
    EXPECT_EQ(conn->paramSelect("SELECT K FROM " + vals, 0), nullptr);
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1161));
    int64_t value = 0;
    EXPECT_FALSE(conn->paramSingleton("SELECT COUNT(*) FROM " + vals, &value, 0));
    EXPECT_EQ(conn->createStatement("SELECT K FROM " + vals), nullptr);
    EXPECT_TRUE(conn->beginTransaction(false));
    EXPECT_FALSE(conn->isInTransaction());
    EXPECT_TRUE(conn->endTransaction(true));
    EXPECT_TRUE(conn->endTransaction(true));
    EXPECT_FALSE(conn->checkTable(Excerpt({"RULE"}).request()));
    EXPECT_FALSE(conn->dropTable("VALS"));
    Excerpt excerpt({"RULE"});
    ASSERT_TRUE(conn->createTable(excerpt.request()));
    EXPECT_EQ(recorder.scriptWith("CREATE TABLE " + q("RULE")), 1u);
    EXPECT_EQ(recorder.scriptWith("MAX_TEXT_LEN"), 2u);
    conn->setDDLCallback(nullptr);

    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("VALS")), "0");
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("BIGSTR")), "0");
    std::vector<std::string> made = tables();
    EXPECT_EQ(std::count(made.begin(), made.end(), bareName("RULE")), 0);
    // Back to running statements.
    ASSERT_TRUE(putValue(1, "x"));
    EXPECT_EQ(readValue(1), "x");
}

TEST_P(Sql, BulkLoadWritesRowsAndRefusesBadOnes) {
    ColumnSpecList columns = columnSpecs({{"fr_value", VQB_TYPE_STRING}, {"fr_count", VQB_TYPE_INT}});
    ASSERT_TRUE(conn->createTableFromColumns("FRQDST7", columns));
    EXPECT_FALSE(conn->bulkLoadRow(2, nullptr, nullptr));
    EXPECT_FALSE(conn->bulkLoadEnd(true));
    EXPECT_FALSE(conn->bulkLoadBegin(10, "FRQDST7", ColumnSpecList()));
    ASSERT_TRUE(conn->bulkLoadBegin(10, "FRQDST7", columns)) << conn->getLastErrorMessage().str();
    std::string longValue(500, 'v');
    for (int i = 0; i < 25; ++i) {
        VqbDatavar value(i == 3 ? longValue : "value " + std::to_string(i)), count(i);
        ASSERT_TRUE(conn->bulkLoadRow(2, &value, &count)) << conn->getLastErrorMessage().str();
        if (i == 12) {
            // One value short: refused, and the load goes on.
            EXPECT_FALSE(conn->bulkLoadRow(1, &value));
        }
    }
    VqbDatavar nullValue, count(99);
    ASSERT_TRUE(conn->bulkLoadRow(2, &nullValue, &count));
    ASSERT_TRUE(conn->bulkLoadEnd(true)) << conn->getLastErrorMessage().str();
    EXPECT_FALSE(conn->bulkLoadEnd(true));

    // The rows are in this test's table, in its schema.
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("FRQDST", 7)), "26");
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("FRQDST", 7) + " WHERE fr_value IS NULL"), "1");
    VqbDatavar three(3);
    Cursor c(conn->paramSelect("SELECT fr_value FROM " + conn->getTableName("FRQDST", true, 7) + " WHERE fr_count = ?",
                               1, &three));
    ASSERT_TRUE(c);
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getString(0).str(), longValue);

    // Ending without flushing drops the queued rows.
    ASSERT_TRUE(conn->bulkLoadBegin(100, "FRQDST7", columns));
    VqbDatavar v("dropped"), n(1);
    ASSERT_TRUE(conn->bulkLoadRow(2, &v, &n));
    ASSERT_TRUE(conn->bulkLoadEnd(false));
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("FRQDST", 7)), "26");
    // A load into a missing table fails at the latest when it is flushed.
    if (conn->bulkLoadBegin(10, "NO_SUCH_TABLE", columns)) {
        conn->bulkLoadRow(2, &v, &n);
        EXPECT_FALSE(conn->bulkLoadEnd(true));
        EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
    }
}

TEST(SqlKinds, KindNineWrapsEdgeBlanksInMarkers) {
    TempDir dir;
    std::string text = "VQXTYPE=SQLITE;FILE=" + dir.file("k9.db");
    Conn conn(openRda(text + ";CREATE=TRUE;VQXKIND=9"));
    ASSERT_TRUE(conn);
    Excerpt excerpt({"UCURID", "BIGSTR", "KEYVAL"});
    ASSERT_TRUE(conn->createTable(excerpt.request())) << conn->getLastErrorMessage().str();
    // The first chunk begins with a blank and its cut falls on a blank; the text ends in one.
    std::string value = " " + std::string(249, 'x') + " " + std::string(300, 'y') + " ";
    VqbString reference, back, error;
    ASSERT_TRUE(conn->putBigString(VqbString(value), &reference, &error)) << error.str();
    DacPtr raw(dacOpen(text));
    Rows parts = dacRows(raw.get(), "SELECT BS_DATA FROM \"BIGSTR\" ORDER BY BS_SEQ");
    ASSERT_GE(parts.size(), 3u);
    EXPECT_EQ(parts[0][0].rfind("_@_ ", 0), 0u);
    EXPECT_EQ(parts[0][0].substr(parts[0][0].size() - 3), "_@_");
    EXPECT_EQ(parts.back()[0].substr(parts.back()[0].size() - 4), " _@_");
    for (const auto& part : parts) EXPECT_LE(part[0].size(), 255u);
    ASSERT_TRUE(conn->getBigString(reference, &back, &error));
    EXPECT_EQ(back.str(), value);
}
