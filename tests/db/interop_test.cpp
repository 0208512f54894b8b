// A file repository written through the connector's native driver reads back the same through
// the direct SQLite back end, big strings included, and the other way round.
#include "dac_rda_fixture.h"

namespace {

Rows readRules(ReposDataAccess* conn) {
    Rows out;
    Cursor c(conn->paramSelect(
        "SELECT RU_ID, RU_DESC, RU_CRDAT, RU_TYPE FROM " + conn->getTableName("RULE", true, -1) + " ORDER BY RU_ID",
        0));
    EXPECT_TRUE(c) << conn->getLastErrorMessage().str();
    while (c && c->next() == 1) {
        std::vector<std::string> row;
        for (int i = 0; i < 4; ++i) {
            VqbDatavar v = c->getValue(i);
            row.push_back(v.isNull() ? "NULL" : std::to_string(v.getType()) + ":" + v.asString().str());
        }
        out.push_back(row);
    }
    return out;
}

}  // namespace

TEST(Interop, ConnectorFileReadsBackThroughTheSqliteBackEnd) {
    TempDir dir;
    std::string file = dir.file("repo.db");
    std::string longText;
    while (longText.size() < 3000) longText += "\xc3\xa9t\xc3\xa9 \xe2\x82\xac it's ";
    Rows written;
    {
        Conn conn(openRda("FILE=" + file + ";CREATE=TRUE;VQXTYPE=SQLITE"));
        ASSERT_TRUE(conn);
        ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
        std::string insert = "INSERT INTO " + conn->getTableName("RULE", true, -1).str() +
                             " (RU_ID, RU_DESC, RU_CRDAT, RU_TYPE) VALUES (?, ?, ?, ?)";
        ASSERT_TRUE(conn->beginTransaction(false));
        for (int i = 0; i < 3; ++i) {
            VqbDatavar id;
            ASSERT_TRUE(conn->getNextId("RULE", &id));
            VqbDatavar desc(i == 1 ? longText : "short " + std::to_string(i)), date(VqbDate(45000.5 + i)), type;
            if (i != 2) type = VqbDatavar("T");
            ASSERT_TRUE(conn->paramExecWTypes(insert, nullptr, "ISDS", 4, &id, &desc, &date, &type))
                << conn->getLastErrorMessage().str();
        }
        ASSERT_TRUE(conn->endTransaction(true));
        written = readRules(conn.get());
    }
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[1][1], "4:" + longText);

    VqbString error;
    Conn sqlite(openSqliteDataAccess(VqbString(file), nullptr, error));
    ASSERT_TRUE(sqlite) << error.str();
    EXPECT_EQ(readRules(sqlite.get()), written);
    // The id counter goes on where the connector left it.
    VqbDatavar next;
    ASSERT_TRUE(sqlite->getNextId("RULE", &next));
    EXPECT_EQ(next.asInt64(), 4);
    // A big string the SQLite back end writes reads back through the connector.
    VqbString reference;
    ASSERT_TRUE(sqlite->putBigString(VqbString(std::string(70000, 'w')), &reference, &error));
    sqlite.reset();
    Conn conn(openRda("FILE=" + file + ";VQXTYPE=SQLITE"));
    ASSERT_TRUE(conn);
    VqbString back;
    ASSERT_TRUE(conn->getBigString(reference, &back, &error));
    EXPECT_EQ(back.str(), std::string(70000, 'w'));
}
