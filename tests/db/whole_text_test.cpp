// Conditions on texts that a place stores as big strings, and short texts shaped like references,
// in each place a repository lives. Counts are read from outside the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "rda_impl.h"
#include "repos_fixture.h"

namespace {

// Rows of a repository table as a reader of its own sees them.
long rawCount(TestRepository& repo, const char* table, const std::string& condition = "") {
    const std::string sql = "SELECT COUNT(*) FROM " + repo.table(table) + condition;
    if (repo.place() != Place::Postgres) return std::atol(RawDb(repo.file()).scalar(sql).c_str());
    DacHeld raw(dacOpen(pgConnection()));
    return raw ? std::atol(dacScalar(raw.get(), sql).c_str()) : -1;
}

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

TEST(SqlSlots, MarkersAreToldApartByWhatTheStatementDoesWithThem) {
    using C = RDA_SqlSlot::Compare;
    struct Row {
        const char* sql;
        std::vector<bool> compared;
        std::vector<C> compare;
    };
    const Row rows[] = {
        {"SELECT A FROM T WHERE B=? AND C IN (?, ?) AND D<=?", {true, true, true, true},
         {C::Equals, C::InList, C::InList, C::Other}},
        {"UPDATE T SET A=?, B='x=?' WHERE C = ? AND D <> ?", {false, true, true}, {C::Equals, C::Equals, C::Other}},
        {"INSERT INTO T (A, B) VALUES (?, ?)", {false, false}, {C::Other, C::Other}},
        {"INSERT INTO T (A) SELECT ? FROM U WHERE U.B IN (SELECT C FROM V WHERE D=?)", {false, true},
         {C::Other, C::Equals}},
        {"DELETE FROM \"WHERE\" WHERE A IN (?) OR B LIKE ?", {true, true}, {C::InList, C::Other}},
        {"UPDATE T SET A=(SELECT MAX(B) FROM U WHERE C=?), D=? WHERE E>=?", {true, false, true},
         {C::Equals, C::Equals, C::Other}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sql);
        const std::vector<RDA_SqlSlot> slots = RDA_sqlSlots(VqbString(row.sql));
        ASSERT_EQ(slots.size(), row.compared.size());
        for (size_t i = 0; i < slots.size(); ++i) {
            EXPECT_EQ(slots[i].compared, row.compared[i]) << i;
            EXPECT_EQ(slots[i].compare, row.compare[i]) << i;
        }
    }
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
