// Long texts stored as BIGSTR chunks behind a reference, and read back through cursors.
#include <gtest/gtest.h>

#include "db_fixture.h"
#include "rda_impl.h"
#include "repos_cursors.h"
#include "vqbmessage.h"

namespace {

constexpr size_t kMax = 65536;

class BigStrings : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("r.db");
        conn.p = newRepositoryWith(path, {"UCURID", "BIGSTR"});
        ASSERT_TRUE(conn);
        ASSERT_EQ(conn->getMaxTextLen(), static_cast<int>(kMax));
        ASSERT_TRUE(conn->paramExec("CREATE TABLE NOTE (ID INTEGER, BODY VARCHAR)", nullptr, 0));
    }
    std::string store(const std::string& text) {
        VqbString out;
        VqbString error;
        EXPECT_TRUE(conn->putBigString(text, &out, &error)) << error.str();
        return out.str();
    }
    std::vector<std::vector<std::string>> chunks() {
        RawDb raw(path);
        return raw.rows(
            "SELECT BS_REFID, BS_SEQ, length(CAST(BS_DATA AS BLOB)), BS_DATA FROM BIGSTR ORDER BY BS_REFID, BS_SEQ");
    }
    void insertNote(int id, const std::string& body) {
        VqbDatavar i(id), b(body);
        ASSERT_TRUE(conn->paramExec("INSERT INTO NOTE VALUES (?, ?)", nullptr, 2, &i, &b));
    }

    TempDir dir;
    std::string path;
    Conn conn;
};

}  // namespace

TEST_F(BigStrings, ExactlyTheMaximumStaysInline) {
    std::string text(kMax, 'a');
    EXPECT_EQ(store(text), text);
    EXPECT_TRUE(chunks().empty());
}

TEST_F(BigStrings, OneByteMoreGoesToChunksOf65535Bytes) {
    std::string text(kMax + 1, 'b');
    text[0] = 'X';
    text.back() = 'Y';
    std::string ref = store(text);
    EXPECT_EQ(ref, "_~_velqorinRef_1_~_");
    auto rows = chunks();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "0");
    EXPECT_EQ(rows[0][2], "65535");
    EXPECT_EQ(rows[1][1], "1");
    EXPECT_EQ(rows[1][2], "2");
    VqbString back;
    ASSERT_TRUE(conn->getBigString(ref, &back, nullptr));
    EXPECT_EQ(back.str(), text);
    // The reference id came from the BIGSTR counter.
    VqbDatavar next;
    ASSERT_TRUE(conn->getNextId("BIGSTR", &next));
    EXPECT_EQ(next.asInt64(), 2);
}

TEST_F(BigStrings, ACharacterOnTheCutGoesWholeIntoTheEarlierChunk) {
    const std::string euro = "\xE2\x82\xAC";
    std::string text(kMax - 2, 'a');  // the euro sign starts at byte 65534, below the cut
    text += euro + "tail";
    std::string ref = store(text);
    auto rows = chunks();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], std::to_string(kMax - 2 + 3));
    EXPECT_EQ(rows[0][3].substr(rows[0][3].size() - 3), euro);
    EXPECT_EQ(rows[1][3], "tail");
    VqbString back;
    ASSERT_TRUE(conn->getBigString(ref, &back, nullptr));
    EXPECT_EQ(back.str(), text);
}

TEST_F(BigStrings, GetValueResolvesGetStringDoesNot) {
    std::string text(200000, 'z');
    text += "\xC3\xA9nd";
    std::string ref = store(text);
    insertNote(1, ref);
    insertNote(2, "plain");
    {
        Cursor c(conn->paramSelect("SELECT ID, BODY FROM NOTE ORDER BY ID", 0));
        ASSERT_TRUE(c);
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(1).asString().str(), text);
        EXPECT_EQ(c->getString(1).str(), ref);
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(1).asString().str(), "plain");
    }
    {
        // The same after the rows were cached.
        Cursor c(conn->paramSelect("SELECT ID, BODY FROM NOTE ORDER BY ID", 0));
        ASSERT_TRUE(c->cacheAll());
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(1).asString().str(), text);
        EXPECT_EQ(c->getString(1).str(), ref);
    }
    {
        // A cache cursor copies resolved values.
        Cursor c(conn->paramSelect("SELECT ID, BODY FROM NOTE ORDER BY ID", 0));
        Released<ReposCacheCursor> cache(new ReposCacheCursor());
        ASSERT_TRUE(cache->loadFrom(c.get()));
        ASSERT_EQ(cache->next(), 1);
        EXPECT_EQ(cache->getString(1).str(), text);
    }
}

TEST_F(BigStrings, MalformedReferencesComeBackUnchanged) {
    const std::string bad[] = {"_~_velqorinRef_12", "_~_velqorinRef_12_~_x", "_~_velqorinRef_x_~_",
                               "_~_velqorinRef_99999999999_~_"};
    int id = 10;
    for (const std::string& text : bad) {
        VqbString out, error;
        EXPECT_FALSE(conn->getBigString(text, &out, &error)) << text;
        EXPECT_EQ(out.str(), text);
        EXPECT_EQ(error, reposMessage(57, text.c_str()));
        insertNote(id++, text);
    }
    Cursor c(conn->paramSelect("SELECT BODY FROM NOTE ORDER BY ID", 0));
    for (const std::string& text : bad) {
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(0).asString().str(), text);
    }
    // A well-formed reference that nothing was stored under reads as an empty text.
    VqbString out;
    EXPECT_TRUE(conn->getBigString("_~_velqorinRef_777_~_", &out, nullptr));
    EXPECT_EQ(out.str(), "");
}

// Reading ordinary texts makes no reference lookup: the connection's last error stays clear,
// while a text that starts like a reference is looked up (and, malformed, leaves message 57).
TEST_F(BigStrings, OrdinaryTextsCostNoLookup) {
    insertNote(1, "ordinary");
    insertNote(2, "_~_velqorinRe");
    insertNote(3, "_~_velqorinRef_5");
    Cursor c(conn->paramSelect("SELECT BODY FROM NOTE ORDER BY ID", 0));
    ASSERT_TRUE(c);
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getValue(0).asString().str(), "ordinary");
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getValue(0).asString().str(), "_~_velqorinRe");
    EXPECT_TRUE(conn->getLastErrorMessage().isNull());
    ASSERT_EQ(c->next(), 1);
    EXPECT_EQ(c->getValue(0).asString().str(), "_~_velqorinRef_5");
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(57, "_~_velqorinRef_5"));
}

TEST_F(BigStrings, StoringWithoutTheTableFailsAndKeepsTheValue) {
    RawDb raw(path);
    ASSERT_TRUE(raw.exec("DROP TABLE BIGSTR"));
    std::string text(kMax + 10, 'q');
    VqbString out, error;
    LogCapture log;
    EXPECT_FALSE(conn->putBigString(text, &out, &error));
    EXPECT_EQ(out.str(), text);
    EXPECT_NE(error.str().find("BIGSTR"), std::string::npos) << error.str();
    EXPECT_FALSE(conn->isInTransaction());
}

// A chunk that cannot be written takes the chunks before it along.
TEST_F(BigStrings, AFailedChunkLeavesNoPartOfTheText) {
    {
        RawDb raw(path);
        ASSERT_TRUE(raw.exec("CREATE TRIGGER NOSECOND BEFORE INSERT ON BIGSTR WHEN NEW.BS_SEQ = 1 "
                             "BEGIN SELECT RAISE(ABORT, 'second chunk refused'); END"));
    }
    std::string text(kMax * 2, 'r');
    VqbString out, error;
    LogCapture log;
    EXPECT_FALSE(conn->putBigString(text, &out, &error));
    EXPECT_EQ(out.str(), text);
    EXPECT_NE(error.str().find("second chunk refused"), std::string::npos) << error.str();
    EXPECT_TRUE(chunks().empty());
    EXPECT_FALSE(conn->isInTransaction());
}
