// DDL of the connector back end: the whole catalogue created, checked and dropped, work tables
// and their indexes, run-time tables, and command specs that replace the builder's statements.
#include <algorithm>
#include <functional>
#include <map>
#include <set>

#include "dac_rda_fixture.h"
#include "vqbconfig.h"
#include "vqbmessage.h"

namespace {

class Ddl : public RdaDacTest {
protected:
    // What the database holds for this test's tables: columns with their types and nullability,
    // and indexes with their definitions, as sorted rows.
    Rows describe() {
        std::vector<std::string> names = tables();
        std::set<std::string> mine(names.begin(), names.end());
        std::string own = pgOwnTables(serverSchema(), lead());
        std::vector<std::string> queries =
            isPg() ? std::vector<std::string>{own + "SELECT own.relname, a.attname, format_type(a.atttypid, "
                                                    "a.atttypmod), a.attnotnull FROM own JOIN "
                                                    "pg_catalog.pg_attribute a ON a.attrelid = own.oid WHERE "
                                                    "a.attnum > 0 AND NOT a.attisdropped",
                                              own + "SELECT own.relname, x.relname, pg_get_indexdef(x.oid) FROM own "
                                                    "JOIN pg_catalog.pg_index i ON i.indrelid = own.oid JOIN "
                                                    "pg_catalog.pg_class x ON x.oid = i.indexrelid"}
                   : std::vector<std::string>{"SELECT m.name, p.name, p.type, p.\"notnull\", p.pk FROM sqlite_master m "
                                              "JOIN pragma_table_info(m.name) p WHERE m.type = 'table'",
                                              "SELECT tbl_name, name, sql FROM sqlite_master WHERE type = 'index'"};
        Rows out;
        for (const std::string& query : queries)
            for (auto& row : rawRows(query))
                if (mine.count(row[0])) out.push_back(row);
        std::sort(out.begin(), out.end());
        return out;
    }
    // Index name to its column list, from the connection's own listing.
    std::map<std::string, std::string> indexesOf(ReposDataAccess* conn, const char* table) {
        std::map<std::string, std::string> out;
        for (const auto& row : take(conn->getIndexes(table))) out[row[0]] = VqbString(row[1]).lowercase().str();
        return out;
    }
    std::string lead() const { return bareName(""); }
};

RDA_DRIVERS(Ddl);

}  // namespace

TEST_P(Ddl, WholeCatalogueIsCreatedCheckedAndDropped) {
    ASSERT_TRUE(createCatalogue(conn.get())) << conn->getLastErrorMessage().str();
    EXPECT_EQ(tables().size(), 136u);
    Rows created = describe();

    // Kind 17 writes column names in lower case, so unquoted names in SQL find them.
    for (const auto& row : created)
        EXPECT_TRUE(!isPg() || row.size() != 4 || row[1] == VqbString(row[1]).lowercase().str()) << row[1];
    // The system's own statements name columns without quotes.
    VqbDatavar id;
    for (int expected : {1, 2}) {
        ASSERT_TRUE(conn->getNextId("RULE", &id)) << conn->getLastErrorMessage().str();
        EXPECT_EQ(id.asInt64(), expected);
    }
    VqbDatavar type("VQREPOSITORY"), uuid("5f1c9a43-2b7e-4f0e-9a55-0c3d2e1f4a6b"), version(8);
    ASSERT_TRUE(conn->paramExec(
        "INSERT INTO " + conn->getTableName("INFO", true, -1) + " (I_TYPE, I_VERS, I_UUID) VALUES (?, ?, ?)", nullptr,
        3, &type, &version, &uuid))
        << conn->getLastErrorMessage().str();
    EXPECT_EQ(conn->getRepositoryUuid().str(), uuid.asString().str());
    Cursor c(conn->paramSelect(
        "SELECT " + conn->getColumnList("RULE", "r") + " FROM " + conn->getTableName("RULE", true, -1) + " r", 0));
    ASSERT_TRUE(c) << conn->getLastErrorMessage().str();
    EXPECT_EQ(c->getNumCols(), 14);
    c.reset();

    // One plain and one indexed column go missing; the check puts back exactly those.
    ASSERT_TRUE(rawExec("ALTER TABLE " + q("RULE") + " DROP COLUMN " + (isPg() ? "ru_comm" : "RU_COMM")));
    if (!isPg()) {
        ASSERT_TRUE(rawExec("DROP INDEX \"" + lead() + "311\""));
    }
    ASSERT_TRUE(rawExec("ALTER TABLE " + q("RULE") + " DROP COLUMN " + (isPg() ? "ru_uuid" : "RU_UUID")));
    recorder.messages.clear();
    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        ASSERT_TRUE(conn->checkTable(request)) << conn->getLastErrorMessage().str();
    }
    EXPECT_EQ(recorder.messagesWith("ALTER TABLE"), 2u);
    EXPECT_EQ(recorder.messagesWith("CREATE INDEX"), 1u);
    EXPECT_EQ(recorder.messagesWith("CREATE TABLE"), 0u);
    EXPECT_EQ(describe(), created);
    // A second check finds nothing to do.
    recorder.messages.clear();
    ReposTableRequest again;
    ASSERT_TRUE(conn->checkTable(again));
    EXPECT_EQ(recorder.messagesWith("ALTER TABLE") + recorder.messagesWith("CREATE"), 0u);

    ASSERT_TRUE(createCatalogue(conn.get(), false, true)) << conn->getLastErrorMessage().str();
    EXPECT_TRUE(tables().empty());
}

TEST_P(Ddl, CheckCreatesMissingTablesWithTheirIndexes) {
    createTables(conn.get(), {"KEYVAL"});
    Excerpt excerpt({"KEYVAL", "RULE", "TRIG"});
    ASSERT_TRUE(conn->checkTable(excerpt.request(false)));
    std::map<std::string, std::string> rule = indexesOf(conn.get(), "RULE");
    EXPECT_EQ(rule[lead() + "311"], "ru_uuid");
    EXPECT_EQ(indexesOf(conn.get(), "TRIG")[lead() + "CPD1"], "ex_id, ru_id");
}

TEST_P(Ddl, DropFirstReportsFailuresAndGoesOn) {
    Excerpt excerpt({"KEYVAL", "TRIG"});
    ASSERT_TRUE(conn->beginTransaction(false));
    ASSERT_TRUE(conn->createTable(excerpt.request(true, true))) << conn->getLastErrorMessage().str();
    ASSERT_TRUE(conn->endTransaction(true)) << conn->getLastErrorMessage().str();
    // Nothing was there to drop: each refused DROP was shown, and the tables were made.
    EXPECT_GE(recorder.messagesWith("DROP INDEX"), 3u);
    EXPECT_EQ(recorder.messagesWith("DROP TABLE"), 2u);
    EXPECT_EQ(tables(), (std::vector<std::string>{bareName("KEYVAL"), bareName("TRIG")}));
    // With tables in place the same request replaces them.
    VqbDatavar ex(1), ru(2), cnt(3);
    ASSERT_TRUE(conn->paramExec(
        "INSERT INTO " + conn->getTableName("TRIG", true, -1) + " (EX_ID, RU_ID, TR_CNT) VALUES (?, ?, ?)", nullptr, 3,
        &ex, &ru, &cnt));
    ASSERT_TRUE(conn->createTable(excerpt.request(true, true))) << conn->getLastErrorMessage().str();
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("TRIG")), "0");
}

TEST_P(Ddl, WorkTablesGetAndLoseTheirIndexes) {
    using Map = std::map<std::string, std::string>;
    ColumnSpecList grp = columnSpecs({{"FIELDIDX", VQB_TYPE_INT}, {"GRPFLD1", VQB_TYPE_STRING},
                                      {"GRPFLD2", VQB_TYPE_STRING}, {"GRPFLD3", VQB_TYPE_STRING},
                                      {"GRPFLD4", VQB_TYPE_STRING}, {"GRPFLD5", VQB_TYPE_STRING}});
    ReposDataAccess* c = conn.get();
    // Each kind of work table: its indexes are made, and checking its columns removes them.
    struct Work {
        const char* table;
        ColumnSpecList columns;
        std::function<bool()> index, check;
        Map made;
    } works[] = {
        {"HSM3", grp, [=] { return c->createHsmIndexes(3, 2); }, [=] { return c->checkHsmTableColumns("HSM3", 3); },
         Map{{lead() + "HS3F", "fieldidx"}, {lead() + "HS3G0", "grpfld1"}, {lead() + "HS3G1", "grpfld2"}}},
        {"HCM3", ColumnSpecList(grp.begin() + 1, grp.end()), [=] { return c->createHcmIndexes(3, 3); },
         [=] { return c->checkHcmTableColumns("HCM3", 3); },
         Map{{lead() + "HC3G0", "grpfld1"}, {lead() + "HC3G1", "grpfld2"}, {lead() + "HC3G2", "grpfld3"}}},
        {"FRQDST3", columnSpecs({{"fr_value", VQB_TYPE_STRING}, {"fr_count", VQB_TYPE_INT}}),
         [=] { return c->createFrqDstIndexes(3); }, [=] { return c->checkFrqDstTableColumns("FRQDST3", 3); },
         Map{{lead() + "F3V", "fr_value"}, {lead() + "F3C", "fr_count"}}},
    };
    for (const Work& w : works) {
        ASSERT_TRUE(conn->createTableFromColumns(w.table, w.columns)) << w.table;
        ASSERT_TRUE(w.index()) << conn->getLastErrorMessage().str();
        EXPECT_EQ(indexesOf(c, w.table), w.made);
        ASSERT_TRUE(w.check()) << conn->getLastErrorMessage().str();
        EXPECT_TRUE(indexesOf(c, w.table).empty()) << w.table;
    }
    ASSERT_TRUE(conn->createHsmIndexes(3, 5));  // made again after the check
    EXPECT_EQ(indexesOf(c, "HSM3").size(), 6u);

    // Columns out of place fail the checks and name the column.
    ASSERT_TRUE(
        conn->createTableFromColumns("HSM4", columnSpecs({{"GRPFLD1", VQB_TYPE_STRING}, {"FIELDIDX", VQB_TYPE_INT}})));
    EXPECT_FALSE(conn->checkHsmTableColumns("HSM4", 4));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1056, 0, "FIELDIDX"));
    EXPECT_FALSE(conn->createHsmIndexes(4, 1));
    EXPECT_FALSE(conn->checkFrqDstTableColumns("HSM4", 4));
    EXPECT_FALSE(conn->checkHcmTableColumns("HSM4", 4));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1056, 1, "GRPFLD2"));
    ASSERT_TRUE(conn->createTableFromColumns("HSM5", columnSpecs({{"FIELDIDX", VQB_TYPE_INT}})));
    EXPECT_FALSE(conn->checkHsmTableColumns("HSM5", 5));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1055, bareName("HSM5").c_str()));
    // Missing work tables pass the checks but cannot get indexes.
    EXPECT_TRUE(conn->checkHsmTableColumns("HSM9", 9));
    EXPECT_FALSE(conn->createFrqDstIndexes(9));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1054, bareName("FRQDST", 9).c_str()));
    EXPECT_FALSE(conn->createHcmIndexes(9, 1));
}

TEST_P(Ddl, RunTimeTablesSingleIndexesAndColumnLists) {
    ASSERT_TRUE(conn->createTableFromColumns("RT1", columnSpecs({{"NAME", VQB_TYPE_STRING},
                                                                 {"N", VQB_TYPE_INT},
                                                                 {"X", VQB_TYPE_REAL},
                                                                 {"WHEN_", VQB_TYPE_DATE},
                                                                 {"odd \"name\"", VQB_TYPE_STRING}})))
        << conn->getLastErrorMessage().str();
    ColumnSpecList read;
    read.push_back(ColumnSpec{});
    ASSERT_EQ(conn->getTableColumns("RT1", &read), 6);  // appended after what was there
    EXPECT_EQ(read[1].type, VQB_TYPE_STRING);
    EXPECT_EQ(read[1].size, 255);
    EXPECT_TRUE(VqbString(read[5].name).equals("odd \"name\"", false));
    // A missing table has no columns, as on the SQLite back end; it is not a failure.
    EXPECT_EQ(conn->getTableColumns("NO_SUCH", &read), 6);
    EXPECT_TRUE(conn->getLastErrorMessage().isEmpty());

    ColumnSpecList bad = columnSpecs({{"A", 6}});
    EXPECT_FALSE(conn->createTableFromColumns("RT2", bad));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1062));

    ASSERT_TRUE(conn->createIndex("RT1", "n", "")) << conn->getLastErrorMessage().str();
    ASSERT_TRUE(conn->createIndex("RT1", "NAME", VqbString(lead() + "RTNAME")));
    std::map<std::string, std::string> indexes = indexesOf(conn.get(), "RT1");
    EXPECT_EQ(indexes[bareName("RT1") + "_n_idx"], "n");
    EXPECT_EQ(indexes[lead() + "RTNAME"], "name");
    EXPECT_FALSE(conn->createIndex("NO_SUCH", "n", ""));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(1054, bareName("NO_SUCH").c_str()));
    EXPECT_FALSE(conn->createIndex("RT1", "NO_COLUMN", ""));
    EXPECT_EQ(conn->getLastErrorMessage(), reposMessage(244, "NO_COLUMN"));

    // Removing the indexes of a table removes every one of them.
    ASSERT_TRUE(conn->checkTableIndexes("RT1"));
    EXPECT_TRUE(indexesOf(conn.get(), "RT1").empty());
    EXPECT_TRUE(conn->checkTableIndexes("NO_SUCH"));

    ASSERT_TRUE(conn->dropTable("RT1"));
    EXPECT_TRUE(tables().empty());
    EXPECT_FALSE(conn->dropTable("RT1"));
    EXPECT_FALSE(conn->getLastErrorMessage().isEmpty());
}

TEST_P(Ddl, CommandSpecReplacesTheBuilderForItsDbmsOnly) {
    std::string dbms = isPg() ? "POSTGRESQL" : "SQLITE";
    std::string table = schema_.empty() ? "\"%t\"" : "\"%s\".\"%t\"";
    auto spec = [&](const std::string& dbType) {
        return "<velqorindocument class='VqCreateSpec' version='1.0'><dbtype name='" + dbType +
               "'><schemaspec name='*'><tablespec name='" + bareName("RULE") + "'>" + "<value idx='1'>CREATE TABLE " +
               table + " (custom_col INTEGER)</value>" + "<indexspec><value idx='1'>CREATE INDEX \"%i\" ON " + table +
               " (custom_col)</value></indexspec>" + "</tablespec></schemaspec></dbtype></velqorindocument>";
    };
    // For another DBMS the spec changes nothing.
    for (const std::string& dbType : {dbms, std::string("ORACLE")}) {
        bool mine = dbType == dbms;
        writeFile(dir_.file("spec.xml"), spec(dbType));
        ConfigScope config;
        config.set("REPOS/CREATE_SPEC_PATH", dir_.file("spec.xml").c_str());
        Conn specced(open());
        ASSERT_TRUE(specced) << lastError;
        createTables(specced.get(), {"RULE", "KEYVAL"});
        ColumnSpecList columns;
        EXPECT_EQ(specced->getTableColumns("RULE", &columns), mine ? 1 : 14);
        EXPECT_TRUE(VqbString(columns[0].name).equals(mine ? "custom_col" : "RU_ID", false));
        std::map<std::string, std::string> indexes = indexesOf(specced.get(), "RULE");
        if (mine) {
            EXPECT_EQ(indexes, (std::map<std::string, std::string>{{lead() + "135", "custom_col"},
                                                                   {lead() + "311", "custom_col"},
                                                                   {lead() + "312", "custom_col"},
                                                                   {lead() + "415", "custom_col"}}));
        } else {
            EXPECT_EQ(indexes[lead() + "311"], "ru_uuid");
        }
        columns.clear();
        EXPECT_EQ(specced->getTableColumns("KEYVAL", &columns), 2);
        ASSERT_TRUE(specced->dropTable("RULE"));
        ASSERT_TRUE(specced->dropTable("KEYVAL"));
    }
}

TEST_P(Ddl, BigStringKeySpansReferenceAndChunk) {
    Excerpt excerpt({"UCURID", "BIGSTR", "KEYVAL"});
    ReposTableRequest request = excerpt.request();
    request.primaryKey = 1;
    ASSERT_TRUE(conn->createTable(request)) << conn->getLastErrorMessage().str();
    // Every chunk after the first shares the reference id with it.
    VqbString reference, error;
    ASSERT_TRUE(conn->putBigString(VqbString(std::string(1000, 'k')), &reference, &error)) << error.str();
    EXPECT_EQ(rawScalar("SELECT COUNT(*) FROM " + q("BIGSTR")), "4");
    // The same chunk twice is refused.
    EXPECT_FALSE(rawExec("INSERT INTO " + q("BIGSTR") + " (BS_REFID, BS_SEQ, BS_DATA) VALUES (1, 0, 'x')"));
}
