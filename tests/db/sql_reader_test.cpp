// What the statement reader makes of each "?": stored, compared as given, or part of a
// comparison it is sure of (and then of which column, and how).
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "rda_sqlreader.h"

namespace {

// "S" stored, "C" compared as given, else the comparison: "=", "<>", "in", "not in", "is",
// "is not", a space and the column's text.
std::vector<std::string> described(const char* sql, RDA_SqlDialect dialect, bool* sure) {
    const VqbString text(sql);
    const RDA_SqlReading reading = RDA_readSql(text, dialect);
    *sure = reading.sure;
    std::vector<std::string> out;
    for (const RDA_SqlSlot& slot : reading.slots) {
        if (slot.comparison < 0) {
            out.push_back(slot.compared ? "C" : "S");
            continue;
        }
        const RDA_SqlComparison& c = reading.comparisons[static_cast<size_t>(slot.comparison)];
        std::string how;
        if (c.kind == RDA_SqlComparison::Kind::Is) {
            how = c.negated ? "is not" : "is";
        } else {
            std::string whole(sql + c.from, c.to - c.from);
            for (char& ch : whole) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            const bool list = whole.find(" IN (") != std::string::npos;
            how = list ? (c.negated ? "not in" : "in") : (c.negated ? "<>" : "=");
        }
        out.push_back(how + " " + std::string(sql + c.columnFrom, c.columnTo - c.columnFrom));
    }
    return out;
}

struct Row {
    const char* sql;
    RDA_SqlDialect dialect;
    std::vector<std::string> markers;
};

const RDA_SqlDialect Q = RDA_SqlDialect::Sqlite, P = RDA_SqlDialect::Postgres, G = RDA_SqlDialect::Standard;

}  // namespace

TEST(SqlReader, TellsStoredFromComparedAndIsSureOnlyOfPlainColumnComparisons) {
    const Row rows[] = {
        // Plain comparisons, either side, bracketed markers, qualified and quoted columns.
        {"SELECT A FROM T WHERE B=? AND C IN (?, 'x', ?) AND D<=?", G, {"= B", "in C", "in C", "C"}},
        {"SELECT A FROM T WHERE ? = T.B OR \"T\".\"C\" <> (?)", P, {"= T.B", "<> \"T\".\"C\""}},
        {"DELETE FROM T WHERE NAME != ? AND NOT (NAME = ?) AND K NOT IN (?)", G, {"<> NAME", "= NAME", "not in K"}},
        {"SELECT 1 FROM T WHERE NAME == ? OR NAME IS ? OR NAME IS NOT ? OR [N] = ? OR `M` = ?", Q,
         {"= NAME", "is NAME", "is not NAME", "= [N]", "= `M`"}},
        // Where something binds tighter than the comparison, the text is compared as given.
        {"SELECT 1 FROM T WHERE NAME = ? || '' AND LOWER(NAME) = ? AND NAME::text = ? AND NAME = ?::text", P,
         {"C", "C", "C", "C"}},
        {"SELECT 1 FROM T WHERE NAME = ? COLLATE NOCASE OR A || NAME = ? OR NAME LIKE ? OR NAME BETWEEN ? AND ?", Q,
         {"C", "C", "C", "C", "C"}},
        {"SELECT 1 FROM T WHERE X BETWEEN 1 AND NAME = ?", G, {"C"}},
        {"SELECT 1 FROM T WHERE NAME IN (?, LOWER(?)) OR K IN (SELECT ? FROM U)", G, {"C", "C", "C"}},
        // Stored values: VALUES, SET, the SELECT of an INSERT, also after WITH and ON CONFLICT.
        {"INSERT INTO T (A, B) VALUES (?, ?)", G, {"S", "S"}},
        {"UPDATE T SET A=?, B='x=?' WHERE C = ? AND D <> ?", G, {"S", "= C", "<> D"}},
        {"UPDATE T SET A=(SELECT MAX(B) FROM U WHERE C=?), D=COALESCE(?, D) WHERE E>=?", G, {"= C", "S", "C"}},
        {"INSERT INTO T (A) SELECT ? FROM U WHERE U.B IN (SELECT C FROM V WHERE D=?)", G, {"S", "= D"}},
        {"WITH x AS (SELECT ID FROM U WHERE NAME = ?) INSERT INTO T (ID, V) SELECT 50, ? FROM x", P, {"= NAME", "S"}},
        {"INSERT INTO T (K, V) VALUES (?, ?) ON CONFLICT (K) DO UPDATE SET V = ? WHERE T.K = ?", P,
         {"S", "S", "S", "= T.K"}},
        {"UPDATE T SET V = CASE WHEN NAME = ? THEN ? ELSE 'no' END WHERE ID = ?", G, {"= NAME", "S", "= ID"}},
        {"SELECT ? FROM T; INSERT INTO T (A) VALUES (?)", G, {"C", "S"}},
        // Quoting of each back end: markers inside texts, names and comments are no markers.
        {"SELECT 1 FROM T WHERE V <> E'\\'?' AND NAME = ? /* ? /* ? */ ? */ AND W = $q$?$q$", P, {"= NAME"}},
        {"SELECT 1 FROM \"W?\" WHERE [a?b] = 'it''s ?' -- ?\n AND NAME = ?", Q, {"= NAME"}},
        {"SELECT 1 FROM T WHERE V <> 'a\\' AND NAME = ?", G, {"= NAME"}},
        // A line comment ends at a carriage return on PostgreSQL only.
        {"SELECT 1 FROM T -- ?\r WHERE NAME = ?", P, {"= NAME"}},
        {"SELECT 1 FROM T -- ?\r WHERE NAME = ?\n WHERE B = ?", Q, {"= B"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sql);
        bool sure = false;
        EXPECT_EQ(described(row.sql, row.dialect, &sure), row.markers);
        EXPECT_TRUE(sure);
    }
}

TEST(SqlReader, IsNotSureOfMarkersItCannotPlace) {
    const Row rows[] = {
        {"SELECT 1 FROM T WHERE A = ?1", Q, {}},
        {"SELECT 1 FROM T WHERE A = :name AND B = ?", Q, {}},
        {"SELECT 1 FROM T WHERE A = $1 AND B = ?", P, {}},
        {"SELECT 1 FROM T WHERE A = 'open AND B = ?", G, {}},
        {"SELECT 1 FROM T WHERE (A = ?", G, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sql);
        bool sure = true;
        described(row.sql, row.dialect, &sure);
        EXPECT_FALSE(sure);
    }
}

TEST(SqlReader, FindsTheFirstWordOfEachStatementAsTheServerReadsComments) {
    const char* const words[] = {"BEGIN", "ROLLBACK", "END", "DO"};
    const struct {
        const char* sql;
        RDA_SqlDialect dialect;
        bool opens;
    } rows[] = {
        {"  ( rollback", G, true},
        {"SELECT 1; /* c */ -- c\n begin transaction", Q, true},
        {"/* /* */ */ ROLLBACK; /* /* */ */ BEGIN", P, true},
        // SQLite ends the comment at the first "*/": what follows is no word.
        {"/* /* */ */ ROLLBACK", Q, false},
        {"-- host\rROLLBACK", P, true},
        {"-- host\rROLLBACK", Q, false},
        // Words inside a statement, a text, a name or a comment open nothing.
        {"SELECT CASE WHEN A = 1 THEN 2 END FROM T", G, false},
        {"INSERT INTO T (A) VALUES (1) ON CONFLICT (A) DO NOTHING", P, false},
        {"SELECT 'x; BEGIN', \"; END\" FROM T /* ; ROLLBACK */", G, false},
        {"SELECT $q$; BEGIN$q$, E'\\'; END'", P, false},
        {"UPDATE T SET [;END] = 1 WHERE `;BEGIN` = 2; SELECT 1", Q, false},
        // Markers of every style are read past.
        {"SELECT ?1, :a, @b; END", Q, true},
        {"SELECT $1; END", P, true},
        // What follows a text that never ends is inside it.
        {"SELECT 'open; ROLLBACK", G, false},
        {"SELECT $q$ open; ROLLBACK", P, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.sql);
        EXPECT_EQ(RDA_opensWithAny(VqbString(row.sql), row.dialect, words, 4), row.opens);
    }
}
