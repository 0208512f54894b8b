// Conditions on texts that a place stores as big strings, and short texts shaped like references,
// in each place a repository lives: each way a statement can compare them gives what plain SQL of
// the same back end gives over a table holding the texts as themselves, through the parameterised
// calls and through statement objects. Counts are read from outside the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "rda_impl.h"
#include "repos_fixture.h"

namespace {

// Rows of a repository table as a reader of its own sees them.
std::string repeated(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

struct Length {
    const char* name;
    std::string text;
};

// Around the connector's limit, well past it, past the direct place's limit, and multi-byte.
const std::vector<Length>& lengths() {
    static const std::vector<Length> all = {
        {"255", std::string(255, 'a')},
        {"256", std::string(256, 'b')},
        {"300", std::string(300, 'c')},
        {"10000", std::string(10000, 'd')},
        {"100000", std::string(100000, 'e')},
        {"150 two-byte", repeated("\xC3\xA9", 150)},
    };
    return all;
}

class WholeTexts : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (IsSkipped()) return;
        db = repo->connection();
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->createTableFromColumns("LTXT", columnSpecs({{"ID", VQB_TYPE_INT}, {"NAME", VQB_TYPE_STRING},
                                                                    {"NOTE", VQB_TYPE_STRING}})));
        table = repo->table("LTXT");
    }
    int selected(const std::string& condition, std::vector<VqbDatavar> values) {
        const std::string sql = "SELECT COUNT(*) FROM " + table + " WHERE " + condition;
        int count = -1;
        bool ok = false;
        switch (values.size()) {
            case 1:
                ok = db->paramSingletonInt(sql, &count, 1, &values[0]);
                break;
            case 2:
                ok = db->paramSingletonInt(sql, &count, 2, &values[0], &values[1]);
                break;
            default:
                ADD_FAILURE() << "values";
        }
        EXPECT_TRUE(ok) << db->getLastErrorMessage().str();
        return count;
    }

    std::unique_ptr<TestRepository> repo;
    ReposDataAccess* db = nullptr;
    std::string table;
};

std::string literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// The statement with its one marker replaced by the value as an SQL literal.
std::string withLiteral(const std::string& sql, const std::string& value) {
    const size_t at = sql.find('?');
    return sql.substr(0, at) + literal(value) + sql.substr(at + 1);
}

const std::string kHead = std::string(280, 'h');
const std::string kL1 = kHead + std::string(20, '1');
const std::string kL2 = kHead + std::string(18, '1') + "zz";  // all of L1 but its end
const std::string kL3 = kHead + std::string(20, '3');         // stored as two big strings
const std::string kAbsent = kHead + std::string(20, '4');
const std::string kRef = "_~_velqorinRef_1_~_";
const std::string kAbsentRef = "_~_velqorinRef_999999_~_";

// The texts as themselves in a plain table beside the library's.
class TextForms : public WholeTexts {
protected:
    void SetUp() override {
        WholeTexts::SetUp();
        if (IsSkipped()) return;
        plainTable = repo->table("PLAIN");
        ASSERT_TRUE(plain("CREATE TABLE " + plainTable + " (ID INTEGER, NAME TEXT, NOTE TEXT)"));

        // Through the library: texts as a host writes them, a reference-shaped one kept as itself,
        // and one text behind two references the host made itself.
        VqbDatavar ref(kRef);
        ASSERT_TRUE(RDA_BigString::keepOwnText(db, ref));
        VqbString twice[2];
        for (VqbString& reference : twice) ASSERT_TRUE(db->putBigString(VqbString(kL3), &reference, nullptr));
        const std::vector<std::pair<int, VqbDatavar>> stored = {
            {1, VqbDatavar(kL1)}, {2, VqbDatavar(kL1)},      {3, VqbDatavar(kL2)},     {4, VqbDatavar("x")},
            {5, VqbDatavar()},    {6, ref},                  {7, VqbDatavar(twice[0])}, {8, VqbDatavar(twice[1])}};
        const std::vector<std::pair<int, std::string>> asThemselves = {
            {1, kL1}, {2, kL1}, {3, kL2}, {4, "x"}, {6, kRef}, {7, kL3}, {8, kL3}};
        for (const auto& row : stored) {
            VqbDatavar id(row.first), note("n");
            ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &id,
                                      &row.second, &note));
        }
        for (const auto& row : asThemselves)
            ASSERT_TRUE(plain("INSERT INTO " + plainTable + " (ID, NAME, NOTE) VALUES (" + std::to_string(row.first) +
                              "," + literal(row.second) + ",'n')"));
        ASSERT_TRUE(plain("INSERT INTO " + plainTable + " (ID, NAME, NOTE) VALUES (5, NULL, 'n')"));
        bigStrings = rawCount("BIGSTR");
    }

    // Plain SQL on the same back end, outside the library.
    bool plain(const std::string& sql) {
        if (GetParam() != Place::Postgres) return RawDb(repo->file()).exec(sql);
        DacHeld raw(dacOpen(pgConnection()));
        return raw && raw->executeDirect(VqbString(sql), 0);
    }
    long plainCount(const std::string& sql) {
        if (GetParam() != Place::Postgres) return std::atol(RawDb(repo->file()).scalar(sql).c_str());
        DacHeld raw(dacOpen(pgConnection()));
        return raw ? std::atol(dacScalar(raw.get(), sql).c_str()) : -1;
    }

    // Rows where the condition holds for the value: the parameterised call, a statement object,
    // and plain SQL over the texts as themselves.
    struct Counts {
        int call = -1, object = -1;
        long plain = -2;
    };
    // A count the statement selects with the value: through paramSelect, through a statement
    // object, and in plain SQL over the plain table.
    Counts counts(const std::string& sql, const std::string& value) {
        Counts out;
        const VqbDatavar bound(value);
        auto first = [](ReposDataAccessCursor* rows) {
            ReposHeld<ReposDataAccessCursor> held(rows);
            return held && held->next() == 1 ? held->getInt(0) : -1;
        };
        out.call = first(db->paramSelect(sql, 1, &bound));
        EXPECT_GE(out.call, 0) << db->getLastErrorMessage().str();
        ReposHeld<ReposDataAccessStatement> statement(db->createStatement(sql));
        if (statement && statement->setParameter(0, bound)) out.object = first(statement->select());
        std::string plainSql = withLiteral(sql, value);
        for (size_t at; (at = plainSql.find(table)) != std::string::npos;) plainSql.replace(at, table.size(), plainTable);
        out.plain = plainCount(plainSql);
        return out;
    }
    Counts where(const std::string& condition, const std::string& value) {
        return counts("SELECT COUNT(*) FROM " + table + " WHERE " + condition, value);
    }

    long rawCount(const char* name, const std::string& condition = "") { return ::rawCount(*repo, name, condition); }

    std::string plainTable;
    long bigStrings = 0;
};

const std::vector<std::string>& values() {
    static const std::vector<std::string> all = {kL1, kL2, kL3, kAbsent, kRef, kAbsentRef, "x"};
    return all;
}


}  // namespace

TEST_P(WholeTexts, EqualityOnALongTextMatchesItsRowsAndWritesNoBigString) {
    // Big strings of other texts: the first lookups scan BIGSTR, later ones use the connection's
    // index of it; both must find the same rows.
    for (int i = 0; i < 200; ++i) {
        VqbString reference;
        ASSERT_TRUE(db->putBigString(VqbString(std::string(70000, 'o') + std::to_string(i)), &reference, nullptr));
    }
    for (const Length& length : lengths()) {
        SCOPED_TRACE(length.name);
        ASSERT_TRUE(repo->exec("DELETE FROM {LTXT}"));
        const VqbDatavar text(length.text);
        // Same first chunk, another end: must not match.
        const std::string near = length.text.substr(0, length.text.size() - 2) + "zz";
        const VqbDatavar other(near);
        VqbDatavar one(1), two(2), three(3), note("n");
        ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &one, &text,
                                  &note));
        ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &two, &text,
                                  &note));
        ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &three,
                                  &other, &note));
        const long chunks = rawCount(*repo, "BIGSTR");

        EXPECT_EQ(selected("NAME=?", {text}), 2);
        EXPECT_EQ(selected("NAME = ?", {other}), 1);
        EXPECT_EQ(selected("NAME IN (?, ?)", {VqbDatavar("x"), text}), 2);
        EXPECT_EQ(selected("NAME IN (?,?)", {text, other}), 3);
        EXPECT_EQ(selected("NAME<>? AND ID=?", {text, VqbDatavar(3)}), 1);

        // Results read whole: each row gives back the text it was given.
        {
            ReposHeld<ReposDataAccessCursor> rows(
                db->paramSelect("SELECT ID, NAME FROM " + table + " WHERE NAME IN (?) ORDER BY ID", 1, &other));
            ASSERT_TRUE(rows);
            ASSERT_EQ(rows->next(), 1);
            EXPECT_EQ(rows->getInt(0), 3);
            EXPECT_TRUE(rows->getString(1).str() == near);
            EXPECT_EQ(rows->next(), 0);
        }

        int affected = -1;
        VqbDatavar changed("changed");
        ASSERT_TRUE(db->paramExec("UPDATE " + table + " SET NOTE=? WHERE NAME=?", &affected, 2, &changed, &text));
        EXPECT_EQ(affected, 2);
        EXPECT_EQ(rawCount(*repo, "LTXT", " WHERE NOTE='changed'"), 2);
        ASSERT_TRUE(db->paramExec("DELETE FROM " + table + " WHERE NAME=?", &affected, 1, &other));
        EXPECT_EQ(affected, 1);
        EXPECT_EQ(rawCount(*repo, "LTXT"), 2);
        // Comparing and reading wrote nothing.
        EXPECT_EQ(rawCount(*repo, "BIGSTR"), chunks);

        // A long value an update stores still goes apart and reads back whole.
        ASSERT_TRUE(db->paramExec("UPDATE " + table + " SET NOTE=? WHERE NAME=? AND ID=?", &affected, 3, &text, &text,
                                  &one));
        EXPECT_EQ(affected, 1);
        EXPECT_EQ(selected("NOTE=? AND ID=?", {text, VqbDatavar(1)}), 1);
    }
}

TEST_P(WholeTexts, ATextShapedLikeAReferenceMatchesTheRowsThatReadBackAsIt) {
    // A reference a caller made itself is bound as it is, and its row reads back as the long text.
    VqbString reference, error;
    ASSERT_TRUE(db->putBigString(VqbString(std::string(70000, 'r')), &reference, &error)) << error.str();
    ASSERT_TRUE(RDA_BigString::parse(reference, nullptr));
    VqbDatavar one(1), two(2), ref(reference), note("n");
    ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &one, &ref,
                              &note));
    {
        ReposHeld<ReposDataAccessCursor> rows(db->paramSelect("SELECT NAME FROM " + table, 0));
        ASSERT_TRUE(rows && rows->next() == 1);
        EXPECT_TRUE(rows->getValue(0).asString().str() == std::string(70000, 'r'));
    }

    // putBigString keeps a text of that shape apart, so that it reads back as itself.
    VqbString kept, back;
    ASSERT_TRUE(db->putBigString(reference, &kept, &error)) << error.str();
    EXPECT_FALSE(kept.str() == reference.str());
    ASSERT_TRUE(db->getBigString(kept, &back, &error));
    EXPECT_EQ(back.str(), reference.str());
    VqbDatavar keptValue(kept);
    ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &two,
                              &keptValue, &note));

    // Compared, the text matches the row that reads back as it, not the row that holds it.
    int id = 0;
    ASSERT_TRUE(db->paramSingletonInt("SELECT ID FROM " + table + " WHERE NAME=?", &id, 1, &ref));
    EXPECT_EQ(id, 2);
    EXPECT_EQ(selected("NAME IN (?, ?)", {VqbDatavar("x"), ref}), 1);
    const VqbDatavar unknown("_~_velqorinRef_999_~_");
    EXPECT_EQ(selected("NAME=?", {unknown}), 0);
    EXPECT_EQ(selected("NAME IN (?,?)", {unknown, VqbDatavar("x")}), 0);
}

TEST_P(WholeTexts, AReferenceNoBigStringHoldsComparedWithANumberColumnFindsNoRowAndFailsNothing) {
    // The rewrite of such a comparison must not bind the text against a column of another type.
    const VqbDatavar unknown("_~_velqorinRef_424242_~_");
    const std::string counters = "SELECT COUNT(*) FROM " + repo->table("UCURID") + " WHERE NI_VAL = ?";
    auto count = [&](const std::string& sql) {
        int found = -1;
        EXPECT_TRUE(db->paramSingletonInt(sql, &found, 1, &unknown)) << db->getLastErrorMessage().str();
        return found;
    };
    EXPECT_EQ(count(counters), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM " + table + " WHERE ID = ?"), 0);

    // Inside a transaction the statement answers the same, and what was written before it commits.
    ASSERT_TRUE(db->beginTransaction(false));
    VqbDatavar id(41), name("kept"), note("n");
    ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)", nullptr, 3, &id, &name,
                              &note));
    EXPECT_EQ(count(counters), 0);
    ReposHeld<ReposDataAccessCursor> rows(db->paramSelect(counters, 1, &unknown));
    ASSERT_TRUE(rows) << db->getLastErrorMessage().str();
    EXPECT_EQ(rows->next(), 1);
    EXPECT_EQ(rows->getValue(0).asInt64(), 0);
    rows.reset();
    ASSERT_TRUE(db->endTransaction(true)) << db->getLastErrorMessage().str();
    EXPECT_EQ(rawCount(*repo, "LTXT", " WHERE ID = 41"), 1);
}

REPOS_EVERY_PLACE(WholeTexts);

TEST_P(WholeTexts, AScriptKeepsATextShapedLikeAReferenceAsABigStringOfItsOwn) {
    if (GetParam() == Place::Direct) GTEST_SKIP() << "scripts are written through the connector";
    std::vector<VqbDatavar> values{VqbDatavar(7), VqbDatavar("_~_velqorinRef_1_~_"), VqbDatavar("n")};
    const std::string insert = "INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?,?,?)";
    Recorder script;
    db->setDDLCallback(&script);
    std::vector<VqbDatavar> kept;
    const bool stored = RDA_BigString::keepOwnTexts(db, VqbString(insert), values, kept);
    const bool written = stored && db->paramExec(insert, nullptr, 3, &kept[0], &kept[1], &kept[2]);
    db->setDDLCallback(nullptr);
    ASSERT_TRUE(stored && written) << db->getLastErrorMessage().str();
    ASSERT_EQ(script.script.size(), 2u);
    EXPECT_EQ(Recorder::with(script.script, "BS_REFID"), 1u);
    EXPECT_EQ(rawCount(*repo, "LTXT"), 0) << "script mode runs nothing";
    // The script, run later, stores the text apart and the row reads back as the text.
    for (const std::string& line : script.script) ASSERT_TRUE(db->paramExec(VqbString(line), nullptr, 0)) << line;
    ReposHeld<ReposDataAccessCursor> rows(db->paramSelect("SELECT NAME FROM " + table + " WHERE ID=7", 0));
    ASSERT_TRUE(rows && rows->next() == 1);
    EXPECT_EQ(rows->getValue(0).asString().str(), "_~_velqorinRef_1_~_");
}

TEST_P(TextForms, EveryComparisonTheReaderIsSureOfAnswersAsPlainSql) {
    std::vector<std::string> forms = {"NAME = ?",
                                      "? = NAME",
                                      "NAME = (?)",
                                      "NAME <> ?",
                                      "NAME != ?",
                                      "NOT (NAME = ?)",
                                      "NAME IN (?, 'x')",
                                      "NAME NOT IN (?)",
                                      "NAME NOT IN ('x', ?)",
                                      "ID > 0 AND (NAME = ? OR ID = 4)",
                                      "(CASE WHEN " + table + ".NAME = ? THEN 1 ELSE 0 END) = 1",
                                      "ID IN (SELECT ID FROM " + table + " WHERE NAME <> ?)"};
    if (GetParam() == Place::Postgres)
        forms.insert(forms.end(), {"NAME = ? AND NOTE <> E'\\'?'", "NAME = ? AND NOTE <> $q$?$q$ /* ? /* ? */ */"});
    else
        forms.insert(forms.end(), {"NAME == ?", "NAME IS ?", "NAME IS NOT ?", "NAME = ? AND [NOTE] <> '?'"});
    for (const std::string& form : forms) {
        for (size_t v = 0; v < values().size(); ++v) {
            SCOPED_TRACE(form + " with value " + std::to_string(v));
            const Counts got = where(form, values()[v]);
            EXPECT_EQ(got.call, got.plain);
            EXPECT_EQ(got.object, got.plain);
        }
    }
    // A statement that starts with WITH is read as a query too.
    for (const std::string& value : values()) {
        const Counts got =
            counts("WITH w AS (SELECT ID FROM " + table + " WHERE NAME = ?) SELECT COUNT(*) FROM w", value);
        EXPECT_EQ(got.call, got.plain);
        EXPECT_EQ(got.object, got.plain);
    }
    EXPECT_EQ(rawCount("BIGSTR"), bigStrings) << "comparing wrote big strings";
}

TEST_P(TextForms, OtherComparisonsRunAsWrittenAndWriteNothing) {
    // The reader is not sure of these: the text is compared as given, and nothing fails.
    std::vector<std::string> forms = {"NAME = ? || ''", "LOWER(NAME) = LOWER(?)", "NAME LIKE ?", "NAME > ?"};
    for (const std::string& form : forms) {
        for (const std::string& value : values()) {
            SCOPED_TRACE(form);
            const Counts got = where(form, value);
            EXPECT_GE(got.call, 0);
            EXPECT_EQ(got.object, got.call);
            // Where no row of the text is kept apart, the answer is plain SQL's.
            if (value == "x") {
                EXPECT_EQ(got.call, got.plain);
            }
        }
    }
    EXPECT_EQ(rawCount("BIGSTR"), bigStrings);
}

TEST_P(TextForms, WritesCompareWholeAndStoreWhatTheyWrite) {
    const VqbDatavar l1(kL1), absent(kAbsent), refValue(kRef);
    int affected = -1;
    // A comparison inside the value a statement writes.
    ASSERT_TRUE(db->paramExec("UPDATE " + table + " SET NOTE = CASE WHEN NAME = ? THEN 'yes' ELSE 'no' END", &affected,
                              1, &l1))
        << db->getLastErrorMessage().str();
    EXPECT_EQ(rawCount("LTXT", " WHERE NOTE = 'yes'"), 2);
    EXPECT_EQ(rawCount("BIGSTR"), bigStrings);

    // Negations keep the rows that read back as the text, and the NULL row.
    ASSERT_TRUE(db->beginTransaction(false));
    ASSERT_TRUE(db->paramExec("DELETE FROM " + table + " WHERE NAME <> ?", &affected, 1, &l1));
    EXPECT_EQ(affected, 5);
    ASSERT_TRUE(db->endTransaction(false));
    ASSERT_TRUE(db->beginTransaction(false));
    ASSERT_TRUE(db->paramExec("DELETE FROM " + table + " WHERE NAME NOT IN (?)", &affected, 1, &refValue));
    EXPECT_EQ(affected, 6);
    ASSERT_TRUE(db->endTransaction(false));

    // A statement object deletes the rows that read back as the text.
    {
        ReposHeld<ReposDataAccessStatement> statement(db->createStatement("DELETE FROM " + table + " WHERE NAME = ?"));
        ASSERT_TRUE(statement && statement->setParameter(0, l1));
        ASSERT_TRUE(statement->execute()) << db->getLastErrorMessage().str();
    }
    EXPECT_EQ(rawCount("LTXT"), 6);
    EXPECT_EQ(rawCount("BIGSTR"), bigStrings);

    // Written texts are kept apart after WITH and in ON CONFLICT's update alike, and read back.
    const long heads = rawCount("BIGSTR", " WHERE BS_SEQ = 0");
    VqbDatavar id(50), four(4);
    ASSERT_TRUE(db->paramExec("WITH x AS (SELECT 1 AS K) INSERT INTO " + table + " (ID, NAME, NOTE) SELECT ?, ?, 'w' FROM x",
                              nullptr, 2, &id, &absent))
        << db->getLastErrorMessage().str();
    ASSERT_TRUE(db->paramExec("CREATE UNIQUE INDEX " + repo->table("LTXTID") + " ON " + table + " (ID)", nullptr, 0));
    ASSERT_TRUE(db->paramExec("INSERT INTO " + table + " (ID, NAME, NOTE) VALUES (?, 'n', 'v') ON CONFLICT (ID) DO UPDATE "
                              "SET NOTE = ?",
                              nullptr, 2, &four, &absent))
        << db->getLastErrorMessage().str();
    int found = 0;
    ASSERT_TRUE(db->paramSingletonInt("SELECT COUNT(*) FROM " + table + " WHERE NAME = ? OR NOTE = ?", &found, 2, &absent,
                                      &absent));
    EXPECT_EQ(found, 2);
    ReposHeld<ReposDataAccessCursor> rows(db->paramSelect("SELECT NOTE FROM " + table + " WHERE ID = 4", 0));
    ASSERT_TRUE(rows && rows->next() == 1);
    EXPECT_EQ(rows->getValue(0).asString().str(), kAbsent);
    // The second write of the same text refers to the big string the first one stored.
    EXPECT_EQ(rawCount("BIGSTR", " WHERE BS_SEQ = 0"), heads + (GetParam() == Place::Direct ? 0 : 1));
}

TEST_P(TextForms, ABulkStatementRefusesAComparedTextKeptApart) {
    if (!db->supportsBulkStatement()) GTEST_SKIP() << "no bulk statements here";
    ReposHeld<ReposDataAccessStatement> bulk(
        db->createBulkStatement("DELETE FROM " + table + " WHERE NAME = ?", 2));
    ASSERT_TRUE(bulk);
    EXPECT_FALSE(bulk->setParameterBulk(0, 0, VqbDatavar(kL1)));
    EXPECT_NE(db->getLastErrorMessage().str().find("cannot compare"), std::string::npos);
    EXPECT_TRUE(bulk->setParameterBulk(0, 1, VqbDatavar("x")));
}

REPOS_EVERY_PLACE(TextForms);
