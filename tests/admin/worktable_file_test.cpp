// Work tables out to XML files by id or by date (kept or dropped) and back in; files that must be
// refused before anything is dropped.
#include <functional>
#include <map>

#include "copy_fixture.h"
#include "np_fio.h"
#include "vqbmessage.h"

namespace {

const double kDay1 = 45000.25;  // a date with a time of day
const double kDay2 = 45010.5;

using TableState = std::pair<Rows, std::vector<std::string>>;  // rows, indexed columns

std::string replaced(std::string text, const std::string& what, const std::string& with) {
    size_t at = text.find(what);
    EXPECT_NE(at, std::string::npos) << what;
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

}  // namespace

class WorkTableFiles : public CopyTest {
protected:
    // A repository with fields 1 and 2 of a job on day 1, field 3 of a job on day 2, metric set 1
    // executed on day 1 and set 2 on day 2, and their work tables.
    RepositoryImpl* prepare(Place place) {
        std::string where;
        if (!create(place, where)) return nullptr;
        RepositoryImpl* r = open(place, where);
        if (!r) return nullptr;
        for (const char* table : {"JOB", "DSN", "TBL", "FLD", "EXEC", "HGMETA"}) exec(r, "DELETE FROM " + t(r, table));
        exec(r, "INSERT INTO " + t(r, "JOB") + " (JOB_ID, JOB_DATE) VALUES (1, ?), (2, ?)",
             {VqbDatavar(kDay1), VqbDatavar(kDay2)});
        exec(r, "INSERT INTO " + t(r, "DSN") + " (DSN_ID, JOB_ID) VALUES (10, 1), (20, 2)");
        exec(r, "INSERT INTO " + t(r, "TBL") + " (DSN_ID, TBL_ID) VALUES (10, 100), (20, 200)");
        exec(r, "INSERT INTO " + t(r, "FLD") +
                    " (DSN_ID, TBL_ID, FLD_ID) VALUES (10, 100, 1), (10, 100, 2), (20, 200, 3)");
        exec(r, "INSERT INTO " + t(r, "EXEC") + " (EX_ID, EX_DATE) VALUES (1, ?), (2, ?)",
             {VqbDatavar(kDay1), VqbDatavar(kDay2)});
        exec(r, "INSERT INTO " + t(r, "HGMETA") + " (HGM_ID, EX_ID) VALUES (1, 1), (2, 2)");
        addFrequencyTable(r, 1, {{"it's", "3"}, {"<null>", "2"}, {"line\r\nbreak", "1"}, {"  spaced  ", "4"},
                                 {" ", "5"}, {longText(2000, 1), "6"}, {"", "7"}});
        addFrequencyTable(r, 3, {{"three", "9"}});
        addMetricTables(r, 1, 2, 0);
        addMetricTables(r, 2, 1, 0);
        return r;
    }

    TableState state(RepositoryImpl* r, const std::string& table) {
        if (!hasTable(r, table)) return {};
        return {select(r, "SELECT * FROM " + t(r, table.c_str())), indexedColumns(r, table)};
    }

    std::string file(RepositoryImpl* r, const std::string& table) {
        return dir_.file(r->connection()->getTableName(table.c_str(), false, -1).str() + ".xml");
    }
};

TEST_F(WorkTableFiles, ByIdKeptOrDroppedThenImported) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    TableState one = state(r, "FRQDST1"), three = state(r, "FRQDST3");
    ASSERT_EQ(one.first.size(), 7u);
    ASSERT_EQ(one.second, (std::vector<std::string>{"fr_count", "fr_value"}));

    // An empty range writes nothing; a missing table is passed over.
    EXPECT_TRUE(r->exportFrequencyTablesById(3, 3, dir_.path(), true));
    EXPECT_FALSE(fileExists(file(r, "FRQDST3")));
    EXPECT_TRUE(r->exportFrequencyTablesById(1, 4, dir_.path(), false)) << r->getErrorMessage().str();
    EXPECT_TRUE(fileExists(file(r, "FRQDST1")));
    EXPECT_FALSE(fileExists(file(r, "FRQDST2")));
    EXPECT_TRUE(fileExists(file(r, "FRQDST3")));
    EXPECT_EQ(state(r, "FRQDST1"), one);

    EXPECT_TRUE(r->exportFrequencyTablesById(1, 4, dir_.path(), true)) << r->getErrorMessage().str();
    EXPECT_FALSE(hasTable(r, "FRQDST1"));
    EXPECT_FALSE(hasTable(r, "FRQDST3"));
    ASSERT_TRUE(r->importTableFile(file(r, "FRQDST1"))) << r->getErrorMessage().str();
    ASSERT_TRUE(r->importTableFile(file(r, "FRQDST3"))) << r->getErrorMessage().str();
    EXPECT_EQ(state(r, "FRQDST1"), one);
    EXPECT_EQ(state(r, "FRQDST3"), three);
    // Imported over an existing table, the table is replaced, not doubled.
    ASSERT_TRUE(r->importTableFile(file(r, "FRQDST1"))) << r->getErrorMessage().str();
    EXPECT_EQ(state(r, "FRQDST1"), one);

    const std::vector<std::string> metricTables = {"HSM1", "HSM2", "HCM1", "HCM2"};
    std::map<std::string, TableState> metrics;
    for (const std::string& table : metricTables) {
        metrics[table] = state(r, table);
        ASSERT_EQ(metrics[table].first.size(), 3u) << table;
    }
    EXPECT_TRUE(r->exportStandardMetricTablesById(1, 3, dir_.path(), true)) << r->getErrorMessage().str();
    EXPECT_TRUE(r->exportCustomMetricTablesById(1, 3, dir_.path(), true)) << r->getErrorMessage().str();
    for (const std::string& table : metricTables) {
        EXPECT_FALSE(hasTable(r, table));
        ASSERT_TRUE(r->importTableFile(file(r, table))) << r->getErrorMessage().str();
        EXPECT_EQ(state(r, table), metrics[table]) << table;
    }
}

TEST_F(WorkTableFiles, ByDateTakesTheTablesOfRunsInTheRange) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->exportFrequencyTablesByDate(VqbDate(kDay1), VqbDate(kDay1), dir_.path(), true))
        << r->getErrorMessage().str();
    EXPECT_FALSE(hasTable(r, "FRQDST1"));
    EXPECT_TRUE(fileExists(file(r, "FRQDST1")));
    EXPECT_TRUE(hasTable(r, "FRQDST3"));
    EXPECT_FALSE(fileExists(file(r, "FRQDST3")));

    EXPECT_TRUE(r->exportStandardMetricTablesByDate(VqbDate(kDay2 - 1), VqbDate(kDay2 + 1), dir_.path(), false));
    EXPECT_TRUE(fileExists(file(r, "HSM2")));
    EXPECT_FALSE(fileExists(file(r, "HSM1")));
    EXPECT_FALSE(fileExists(file(r, "HCM2")));
    EXPECT_TRUE(r->exportCustomMetricTablesByDate(VqbDate(kDay1), VqbDate(kDay2), dir_.path(), true));
    EXPECT_FALSE(hasTable(r, "HCM1"));
    EXPECT_FALSE(hasTable(r, "HCM2"));
    EXPECT_TRUE(hasTable(r, "HSM1"));
    // Before the first run: nothing.
    EXPECT_TRUE(r->exportFrequencyTablesByDate(VqbDate(1.0), VqbDate(kDay1 - 0.01), dir_.path(), true));
    EXPECT_TRUE(hasTable(r, "FRQDST3"));
}

TEST_F(WorkTableFiles, UnwritableFileKeepsTheTable) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    TableState before = state(r, "FRQDST1");
    EXPECT_FALSE(r->exportFrequencyTablesById(1, 2, dir_.file("missing/folder"), true));
    EXPECT_FALSE(r->getErrorMessage().isEmpty());
    EXPECT_EQ(state(r, "FRQDST1"), before);
    EXPECT_FALSE(r->exportFrequencyTablesById(1, 2, std::string(1100, 'd'), true));
    EXPECT_EQ(r->getErrorMessage(), reposMessage(482, 10, np_fio_errdesc(10)));
    EXPECT_EQ(state(r, "FRQDST1"), before);
}

TEST_F(WorkTableFiles, HostileFilesAreRefusedBeforeAnythingIsDropped) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->exportFrequencyTablesById(1, 2, dir_.path(), false));
    const std::string good = readFile(file(r, "FRQDST1"));
    const TableState before = state(r, "FRQDST1");
    const Rows fields = select(r, "SELECT FLD_ID FROM FLD");

    struct Case {
        const char* what;
        std::string text;
        VqbString expected;  // null: any refusal
    };
    const std::string value = "<value is_null=\"0\">3</value>";
    std::vector<Case> cases = {
        {"not XML", "no xml at all", VqbString()},
        {"other root", replaced(replaced(good, "<vqTable>", "<table>"), "</vqTable>", "</table>"),
         reposMessage(1396, "table")},
        {"no table name", replaced(good, "<table_name>FRQDST1</table_name>", ""), reposMessage(1395, "table_name")},
        {"catalogue table", replaced(good, ">FRQDST1<", ">FLD<"), reposMessage(1396, "FLD")},
        {"statement in the table name", replaced(good, ">FRQDST1<", ">FRQDST1 (x int); DROP TABLE FLD; --<"),
         reposMessage(1396, "FRQDST1 (x int); DROP TABLE FLD; --")},
        {"lower-case name", replaced(good, ">FRQDST1<", ">frqdst1<"), reposMessage(1396, "frqdst1")},
        {"number too big", replaced(good, ">FRQDST1<", ">FRQDST99999999999<"), reposMessage(1396, "FRQDST99999999999")},
        {"no number", replaced(good, ">FRQDST1<", ">FRQDST<"), reposMessage(1396, "FRQDST")},
        // A number with leading zeros names a table no lookup by number finds.
        {"leading zeros", replaced(good, ">FRQDST1<", ">FRQDST007<"), reposMessage(1396, "FRQDST007")},
        {"zero before zero", replaced(good, ">FRQDST1<", ">HSM00<"), reposMessage(1396, "HSM00")},
        {"quote in a field", replaced(good, "name=\"fr_count\"", "name=\"fr_count&quot;) ; DROP TABLE FLD; --\""),
         reposMessage(1396, "fr_count\") ; DROP TABLE FLD; --")},
        {"space in a field", replaced(good, "name=\"fr_count\"", "name=\"fr count\""), reposMessage(1396, "fr count")},
        {"same field twice", replaced(good, "name=\"fr_count\"", "name=\"FR_VALUE\""), reposMessage(1396, "FR_VALUE")},
        {"unknown type", replaced(good, "type=\"integer\"", "type=\"blob\""), reposMessage(1396, "blob")},
        {"bad length", replaced(good, "len=\"255\"", "len=\"wide\""), reposMessage(1396, "wide")},
        {"no fields", replaced(replaced(good, "<fields>", "<fieldz>"), "</fields>", "</fieldz>"),
         reposMessage(1395, "fields")},
        {"stranger in fields", replaced(good, "<fields>", "<fields><column name=\"x\"/>"),
         reposMessage(1396, "column")},
        {"stranger in data", replaced(good, "<data>", "<data><rows/>"), reposMessage(1396, "rows")},
        {"stranger in a row", replaced(good, "<row>", "<row><val/>"), reposMessage(1396, "val")},
        {"extra value", replaced(good, "</row>", value + "</row>"), reposMessage(1963, 1, 3, 2)},
        {"missing value", replaced(good, "<value is_null=\"0\">3</value>", ""), reposMessage(1963, 1, 1, 2)},
        {"bad null flag", replaced(good, "is_null=\"0\">3<", "is_null=\"maybe\">3<"), reposMessage(1396, "maybe")},
        {"number with letters", replaced(good, ">3<", ">3; DROP TABLE FLD<"),
         reposMessage(1964, "3; DROP TABLE FLD", "fr_count", 1, "integer")},
        {"bad encoding", replaced(good, value, "<value is_null=\"0\" encoding=\"rot13\">3</value>"),
         reposMessage(1396, "rot13")},
        {"broken base64", replaced(good, value, "<value is_null=\"0\" encoding=\"base64\">!!</value>"), VqbString()},
        {"quote in an index name", replaced(good, "name=\"fk_frqdist_fr_count1\"", "name=\"i&quot; ON x; --\""),
         reposMessage(1396, "i\" ON x; --")},
        {"index on another column", replaced(good, "field=\"fr_count\"", "field=\"FLD_ID\""),
         reposMessage(1396, "FLD_ID")},
        {"stranger in indexes", replaced(good, "<indexes>", "<indexes><key/>"), reposMessage(1396, "key")},
    };
    // Cut short at many places, each before the root element closes: a cut after it (the file's
    // last newline) would leave a whole document, and where the cuts fall depends on the length of
    // the temporary path the file carries.
    const size_t rootClose = good.rfind("</vqTable>");
    ASSERT_NE(rootClose, std::string::npos);
    for (size_t i = 0; i <= 23; ++i)
        cases.push_back({"truncated", good.substr(0, 1 + i * (rootClose - 1) / 23), VqbString()});

    for (const Case& c : cases) {
        const std::string path = dir_.file("hostile.xml");
        writeFile(path, c.text);
        EXPECT_FALSE(r->importTableFile(path)) << c.what;
        std::string error = r->getErrorMessage().str();
        EXPECT_FALSE(error.empty()) << c.what;
        if (!c.expected.isNull()) {
            EXPECT_EQ(error, c.expected.str()) << c.what;
        }
        EXPECT_EQ(state(r, "FRQDST1"), before) << c.what;
    }
    EXPECT_EQ(select(r, "SELECT FLD_ID FROM FLD"), fields);
    EXPECT_TRUE(hasTable(r, "FRQDST1"));
}

// A failure after the file was found sound (an index name another table already uses) leaves the
// table it was to replace as it was.
TEST_F(WorkTableFiles, FailedImportKeepsTheOldTable) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->exportFrequencyTablesById(1, 2, dir_.path(), false));
    const TableState before = state(r, "FRQDST1");
    ReposHeld<ReposDataAccessCursor> indexes(r->connection()->getIndexes("FLD"));
    ASSERT_TRUE(indexes && indexes->next() == 1);
    std::string taken = indexes->getString(0).str();
    indexes.reset();
    std::string text =
        replaced(readFile(file(r, "FRQDST1")), "name=\"fk_frqdist_fr_count1\"", "name=\"" + taken + "\"");
    text = replaced(text, ">it's<", ">changed<");
    writeFile(dir_.file("clash.xml"), text);
    EXPECT_FALSE(r->importTableFile(dir_.file("clash.xml")));
    EXPECT_EQ(state(r, "FRQDST1"), before);
}

TEST_F(WorkTableFiles, ServerRoundTrip) {
    REPOS_REQUIRE_PG();
    RepositoryImpl* r = prepare(Place::Postgres);
    ASSERT_NE(r, nullptr);
    const TableState one = state(r, "FRQDST1"), hsm = state(r, "HSM1");
    ASSERT_EQ(one.first.size(), 7u);
    EXPECT_TRUE(r->exportFrequencyTablesByDate(VqbDate(kDay1), VqbDate(kDay1), dir_.path(), true))
        << r->getErrorMessage().str();
    EXPECT_TRUE(r->exportStandardMetricTablesById(1, 2, dir_.path(), true)) << r->getErrorMessage().str();
    EXPECT_FALSE(hasTable(r, "FRQDST1"));
    EXPECT_FALSE(hasTable(r, "HSM1"));
    // The file is named after the table with the repository's prefix.
    ASSERT_TRUE(fileExists(file(r, "FRQDST1")));
    ASSERT_TRUE(r->importTableFile(file(r, "FRQDST1"))) << r->getErrorMessage().str();
    ASSERT_TRUE(r->importTableFile(file(r, "HSM1"))) << r->getErrorMessage().str();
    EXPECT_EQ(state(r, "FRQDST1"), one);
    EXPECT_EQ(state(r, "HSM1"), hsm);

    // A file written by a file repository, its names in upper case, goes into the server as well.
    RepositoryImpl* f = prepare(Place::File);
    ASSERT_NE(f, nullptr);
    const TableState fromFile = state(f, "HSM2");
    ASSERT_TRUE(f->exportStandardMetricTablesById(2, 3, dir_.path(), false));
    ASSERT_TRUE(r->exportStandardMetricTablesById(2, 3, dir_.path(), true));
    // Index names are one namespace per schema on the server: the file's are made this test's own.
    std::string text = readFile(file(f, "HSM2"));
    for (std::string at = "name=\"HSM2_"; text.find(at) != std::string::npos;)
        text.replace(text.find(at), at.size(), "name=\"" + r->connection()->getTableName("HSM2_", false, -1).str());
    writeFile(dir_.file("from_file.xml"), text);
    ASSERT_TRUE(r->importTableFile(dir_.file("from_file.xml"))) << r->getErrorMessage().str();
    EXPECT_EQ(state(r, "HSM2"), fromFile);
}

// A table exported with its drop comes back from its file as it was, whatever types its columns
// were declared with: types the back end does not name, numbers kept as texts, carriage returns.
TEST_F(WorkTableFiles, EveryStoredValueComesBackFromItsFile) {
    struct Case {
        const char* what;
        Place place;
        bool viaConnector;
        const char* columns;
        const char* rows;  // two rows; ? takes the texts with carriage returns
    };
    const char* const fileColumns = "(d DATE, n NUMERIC, b BOOLEAN, i INTEGER, r FLOAT, v VARCHAR(20), u, s TIMESTAMP)";
    const char* const fileRows = "(45000.25, 12.5, 1, 9007199254740993, 0.1, ?, '007', '2024-01-02 03:04:05'), "
                                 "(45000, 'abc', 'yes', -3, 1e300, ?, 3, NULL)";
    const Case cases[] = {
        {"file", Place::File, false, fileColumns, fileRows},
        {"file through the connector", Place::File, true, fileColumns, fileRows},
        {"server", Place::Postgres, false,
         "(d DATE, n NUMERIC, b BOOLEAN, i BIGINT, r DOUBLE PRECISION, v VARCHAR(20), u TEXT, s TIMESTAMP)",
         "('2024-01-02', 12.5, true, 9007199254740993, 0.1, ?, '007', '2024-01-02 03:04:05'), "
         "('1899-12-30', 12, false, -3, 1e300, ?, '3', NULL)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.place == Place::Postgres) REPOS_REQUIRE_PG();
        std::string where;
        ASSERT_TRUE(create(c.place, where));
        RepositoryImpl* r = open(c.place, where, c.viaConnector);
        ASSERT_NE(r, nullptr);
        ASSERT_TRUE(exec(r, "CREATE TABLE " + t(r, "FRQDST5") + " " + c.columns));
        ASSERT_TRUE(exec(r, "INSERT INTO " + t(r, "FRQDST5") + " VALUES " + c.rows,
                         {VqbDatavar("carriage\rreturn"), VqbDatavar("\r\n\r")}));
        const TableState before = state(r, "FRQDST5");
        ASSERT_EQ(before.first.size(), 2u);

        ASSERT_TRUE(r->exportFrequencyTablesById(5, 6, dir_.path(), true)) << r->getErrorMessage().str();
        EXPECT_FALSE(hasTable(r, "FRQDST5"));
        const std::string text = readFile(file(r, "FRQDST5"));
        // Other readers of the format know the character reference, not an encoding of ours.
        EXPECT_NE(text.find("carriage&#13;return"), std::string::npos);
        EXPECT_EQ(text.find("encoding=\"base64\""), std::string::npos);
        ASSERT_TRUE(r->importTableFile(file(r, "FRQDST5"))) << r->getErrorMessage().str();
        EXPECT_EQ(state(r, "FRQDST5"), before);

        // Files that carry such a value in base64 still read.
        writeFile(dir_.file("base64.xml"),
                  replaced(text, ">carriage&#13;return<", " encoding=\"base64\">Y2FycmlhZ2UNcmV0dXJu<"));
        ASSERT_TRUE(r->importTableFile(dir_.file("base64.xml"))) << r->getErrorMessage().str();
        EXPECT_EQ(state(r, "FRQDST5"), before);
    }
}

// A column name the importer refuses makes a file that could never come back: the table stays.
TEST_F(WorkTableFiles, TableStaysWhenItsFileWouldNotImport) {
    RepositoryImpl* r = prepare(Place::File);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(exec(r, "CREATE TABLE FRQDST6 (größe INTEGER)"));
    ASSERT_TRUE(exec(r, "INSERT INTO FRQDST6 VALUES (1)"));
    EXPECT_FALSE(r->exportFrequencyTablesById(6, 7, dir_.path(), true));
    EXPECT_EQ(r->getErrorMessage(),
              reposMessage(1980, file(r, "FRQDST6").c_str(), "FRQDST6", reposMessage(1396, "größe").asCstr()));
    EXPECT_EQ(state(r, "FRQDST6").first, (Rows{{"1"}}));
}
