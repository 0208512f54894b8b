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
        conn.reset(newRepositoryWith(path, {"UCURID", "BIGSTR"}));
        ASSERT_TRUE(conn && conn->getMaxTextLen() == static_cast<int>(kMax));
        ASSERT_TRUE(conn->paramExec("CREATE TABLE NOTE (ID INTEGER, BODY VARCHAR)", nullptr, 0));
    }
    // Stores the text, checks it reads back whole, and returns what the caller must keep.
    std::string store(const std::string& text) {
        VqbString out, back, error;
        EXPECT_TRUE(conn->putBigString(text, &out, &error)) << error.str();
        EXPECT_TRUE(out.str() == text || conn->getBigString(out, &back, nullptr));
        EXPECT_EQ(out.str() == text ? text : back.str(), text);
        return out.str();
    }
    // Sequence number, byte length and data of every chunk.
    std::vector<std::vector<std::string>> chunks() {
        return RawDb(path).rows(
            "SELECT BS_SEQ, length(CAST(BS_DATA AS BLOB)), BS_DATA FROM BIGSTR ORDER BY BS_REFID, BS_SEQ");
    }
    void insertNotes(const std::vector<std::string>& bodies) {
        for (size_t i = 0; i < bodies.size(); ++i) {
            VqbDatavar id(static_cast<int>(i)), body(bodies[i]);
            ASSERT_TRUE(conn->paramExec("INSERT INTO NOTE VALUES (?, ?)", nullptr, 2, &id, &body));
        }
    }

    TempDir dir;
    std::string path = dir.file("r.db");
    Conn conn;
};

}  // namespace

TEST_F(BigStrings, GetValueResolvesGetStringDoesNot) {
    std::string text(200000, 'z');
    text += "\xC3\xA9nd";
    std::string ref = store(text);
    insertNotes({ref, "plain"});
    // Live rows, cached rows, and a cache cursor's copy.
    for (int pass = 0; pass < 3; ++pass) {
        Cursor c(conn->paramSelect("SELECT ID, BODY FROM NOTE ORDER BY ID", 0));
        ASSERT_TRUE(c && (pass != 1 || c->cacheAll()));
        if (pass == 2) {
            ReposHeld<ReposCacheCursor> cache(new ReposCacheCursor());
            ASSERT_TRUE(cache->loadFrom(c.get()));
            ASSERT_EQ(cache->next(), 1);
            EXPECT_EQ(cache->getString(1).str(), text);
            continue;
        }
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(1).asString().str(), text) << pass;
        EXPECT_EQ(c->getString(1).str(), ref);
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(1).asString().str(), "plain");
    }
}

// Malformed references come back unchanged with message 57. Ordinary texts make no lookup, so
// the connection's last error stays clear while reading them.
TEST_F(BigStrings, MalformedReferencesComeBackUnchanged) {
    const std::vector<std::string> bad = {
        "_~_velqorinRef_12",   "_~_velqorinRef_12_~_x",         "_~_velqorinRef_x_~_",         "_~_velqorinRef__~_",
        "x_~_velqorinRef_42_~_", "_~_velqorinRef_00000000001_~_", "_~_velqorinRef_4294967296_~_"};
    for (const std::string& text : bad) {
        VqbString out, error;
        EXPECT_FALSE(conn->getBigString(text, &out, &error)) << text;
        EXPECT_EQ(out.str(), text);
        EXPECT_EQ(error, reposMessage(57, text.c_str()));
    }
    std::vector<std::string> notes = {"ordinary", "_~_velqorinRe"};
    notes.insert(notes.end(), bad.begin(), bad.end());
    insertNotes(notes);
    Cursor c(conn->paramSelect("SELECT BODY FROM NOTE ORDER BY ID", 0));
    for (size_t i = 0; i < notes.size(); ++i) {
        ASSERT_EQ(c->next(), 1);
        EXPECT_EQ(c->getValue(0).asString().str(), notes[i]);
        if (i == 1) {
            EXPECT_TRUE(conn->getLastErrorMessage().isNull());
        }
    }
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(57, bad.back().c_str()));
    // A well-formed reference that nothing was stored under reads as an empty text.
    VqbString out;
    EXPECT_TRUE(conn->getBigString("_~_velqorinRef_4294967295_~_", &out, nullptr));
    EXPECT_EQ(out.str(), "");
}

// A text that cannot be stored stays with the caller, and no chunk of it is left behind.
TEST_F(BigStrings, FailedStoreKeepsTheValueAndLeavesNoChunk) {
    const struct {
        const char* sql;
        const char* error;
        bool tableStays;
    } cases[] = {
        {"CREATE TRIGGER NOSECOND BEFORE INSERT ON BIGSTR WHEN NEW.BS_SEQ = 1 "
         "BEGIN SELECT RAISE(ABORT, 'second chunk refused'); END",
         "second chunk refused", true},
        {"DROP TABLE BIGSTR", "BIGSTR", false},
    };
    std::string text(kMax * 2, 'r');
    LogCapture log;
    for (const auto& c : cases) {
        ASSERT_TRUE(RawDb(path).exec(c.sql));
        VqbString out, error;
        EXPECT_FALSE(conn->putBigString(text, &out, &error));
        EXPECT_EQ(out.str(), text);
        EXPECT_NE(error.str().find(c.error), std::string::npos) << error.str();
        EXPECT_FALSE(conn->isInTransaction());
        if (c.tableStays) {
            EXPECT_TRUE(chunks().empty());
        }
    }
}
