#include "upgrade_fixture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include <sstream>

#include "curuser.h"
#include "rda_factory.h"
#include "repos_tables.h"
#include "sql_record.h"

namespace {

// Tables of a profile result-set repository, under their old column names where they had them.
std::vector<OldTable> profileTables() {
    return {
        // JOB, TBL, FLD, NOTCAT, REPORT, FOLDER; DSN (2) has no row.
        {"CURID", "NI_KEY INTEGER, NI_VAL INTEGER", {"1, 12", "3, 40", "4, 77", "10, 3", "11, 9", "12, 5"}},
        {"NOTCAT", "NCAT_ID INTEGER, NCAT_DESC VARCHAR(255)", {"1, 'Data quality'", "3, 'Other, ''quoted'''"}},
        {"FOLDER", "FLDR_ID INTEGER, FLDR_PARENT_ID INTEGER, FLDR_NAME VARCHAR(255)",
         {"2, 0, 'Reports 2019'", "5, 2, 'Quarterly'"}},
        {"REPORT",
         "RPT_ID INTEGER, FLDR_ID INTEGER, RPT_NAME VARCHAR(255), RPT_CREATED_DATE DOUBLE PRECISION, "
         "RPT_MODIFIED_DATE DOUBLE PRECISION, RPT_USER VARCHAR(32)",
         {"4, 2, 'Weekly', 43000.25, 43100.5, 'ann'", "9, 5, 'Quarterly summary', 43500.0, NULL, 'bob'"}},
        {"REDUN2",
         "FLD_ID INTEGER, R_FLD_ID INTEGER, R_LEFT INTEGER, R_CMN_LEFT INTEGER, R_RIGHT INTEGER, R_CMN_RIGHT INTEGER",
         {"70, 71, 100, 40, 90, 38"}},
        {"PATDST", "FLD_ID INTEGER, PA_VALUE VARCHAR(255), PA_COUNT INTEGER",
         {"70, 'AAA-999', 12", "70, '999', 3", "77, 'A', 1"}},
        {"MCDIST", "FLD_ID INTEGER, MC_VALUE VARCHAR(255), MC_COUNT INTEGER, MC_ID INTEGER, FR_VAL VARCHAR(255)",
         {"70, 'SMTH', 4, 1, 'Smith'"}},
        {"JSETUP", "SU_ID INTEGER, SU_NAME VARCHAR(255), SU_DESC VARCHAR(255)",
         {"1, 'Nightly profile', 'all tables'", "2, 'Weekly profile', NULL"}},
        {"MPRJ", "PRJ_ID INTEGER, PRJ_NM VARCHAR(255), PRJ_DATE DOUBLE PRECISION",
         {"7, 'Customers', 43000.0", "8, 'Suppliers', NULL"}},
        {"MIDDEF",
         "IDENT_ID INTEGER, IDENT_NM VARCHAR(255), ID_CRVER INTEGER, ID_DLVER INTEGER, ID_MDVER INTEGER, "
         "PRJ_ID INTEGER, SMPTYP INTEGER, GC_ID INTEGER",
         {"41, 'Email', 1, 0, 2, 7, 1, 11", "42, 'Phone', 1, 0, 1, 7, 2, NULL", "41, 'Email', 3, 0, 3, 8, 0, 12"}},
        {"MDEFVL",
         "IDENT_ID INTEGER, IDVALRID INTEGER, IDVAL_ID INTEGER, IDVAL_VL VARCHAR(255), PRJ_ID INTEGER, SMPTYP INTEGER",
         {"41, 101, 1, '@', 7, 1", "42, 102, 1, '+1', 7, 0", "41, 103, 1, '@x', 8, 0", "42, 104, 1, '+44', 7, 2",
          "49, 105, 1, 'orphan', 7, 1"}},
    };
}

std::vector<OldTable> monitorTables() {
    return {
        // RULE, MJOB, EXEC, CUSTM, EXSRC.
        {"MCURID", "NI_KEY INTEGER, NI_VAL INTEGER", {"1, 20", "5, 8", "6, 30", "8, 4", "10, 2"}},
        {"RULE", "RU_ID INTEGER, RU_DESC VARCHAR(255), RU_EXPR VARCHAR(255), RU_UUID VARCHAR(255)",
         {"3, 'Not null', 'x IS NOT NULL', NULL", "7, 'Range', 'x BETWEEN 1 AND 9', ''",
          "20, 'Kept', 'y > 0', '6f1c2a52-0c1d-4c55-9a5e-3b7e1f0d9a11'"}},
        {"MJOB",
         "JB_ID INTEGER, JB_DESC VARCHAR(255), JB_CODE VARCHAR(255), JB_EDDAT DOUBLE PRECISION, JB_EDUSR VARCHAR(32)",
         {"1, 'Daily', NULL, NULL, NULL", "2, 'Hourly', '', 43210.5, 'carol'",
          "8, 'Monthly', 'job-code-8', NULL, NULL"}},
        {"EXEC", "EX_ID INTEGER, JB_ID INTEGER, EX_DATE DOUBLE PRECISION", {"29, 1, 43000.5", "30, 2, 43001.0"}},
        {"CUSTM", "CM_ID INTEGER, CM_DESC VARCHAR(255)", {"4, 'Ratio'"}},
        {"EXSRC", "ES_ID INTEGER, ES_DESC VARCHAR(255), ES_NAME VARCHAR(32)",
         {"1, 'Batch', 'batch'", "2, 'Realtime', 'rt'"}},
        {"EVENT", "EV_CODE VARCHAR(10), EV_DESC VARCHAR(255), EV_ISDEF VARCHAR(1)",
         {"'LOGREPOS', 'Log to repository', 'Y'"}},
    };
}

OldTable legacyInfo(const std::vector<std::string>& rows) {
    return {"INFO", "I_TYPE VARCHAR(32), I_VERSION DOUBLE PRECISION, I_DESC VARCHAR(255)", rows};
}

// The names of "A TYPE, B TYPE(n)".
std::vector<std::string> columnNames(const OldTable& table) {
    std::vector<std::string> names;
    std::stringstream in(table.columns);
    for (std::string column; std::getline(in >> std::ws, column, ',');)
        names.push_back(column.substr(0, column.find(' ')));
    return names;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

bool blank(const std::string& value) { return value == "<null>" || value.empty(); }

// Renamed columns: the new one must hold the old one's value.
struct Renamed {
    const char* table;
    const char* column;
    const char* oldColumn;
};
const Renamed kRenamed[] = {
    {"NOTCAT", "NCAT_DSC", "NCAT_DESC"},  {"REDUN2", "R_CMNLFT", "R_CMN_LEFT"},    {"REDUN2", "R_CMNRGT", "R_CMN_RIGHT"},
    {"FOLDER", "FLDR_PAR", "FLDR_PARENT_ID"}, {"FOLDER", "FLDR_NAM", "FLDR_NAME"}, {"REPORT", "RPT_CRDT", "RPT_CREATED_DATE"},
    {"REPORT", "RPT_MODT", "RPT_MODIFIED_DATE"},
};

// Columns that no row may lack afterwards.
struct Required {
    const char* table;
    const char* column;
    bool unique;
};
const Required kRequired[] = {
    {"MJOB", "JB_CODE", true},     {"MJOB", "JB_CRDAT", false},    {"MJOB", "JB_CRUSR", false},
    {"MJOB", "JB_EDDAT", false},   {"MJOB", "JB_EDUSR", false},    {"RULE", "RU_UUID", true},
    {"RULE", "RU_CRUSR", false},   {"CUSTM", "CM_UUID", true},     {"EXSRC", "ES_UUID", true},
    {"MPRJ", "PRJ_UUID", true},    {"MIDDEF", "ID_UID", true},     {"MIDDEF", "LOCALE", false},
    {"FOLDER", "NAM_NORM", false}, {"FOLDER", "FLDR_NAM", false},  {"NOTCAT", "NCAT_DSC", false},
    {"EXEC", "GRP_ID", false},     {"PATDST", "PA_COUNT2", false},
};

// Old counters and the keys they continue under, with the table whose ids they hand out. Tables
// without an old counter come last: only the connection that reconciles every counter with the
// ids in use (a file) continues them.
struct Counter {
    const char* oldTable;  // null: no old counter
    int oldKey;
    const char* key;
    const char* table;  // null: no table of that name in the old repositories
    const char* idColumn;
};
const Counter kCounters[] = {
    {"CURID", 1, "JOB", nullptr, nullptr},       {"CURID", 3, "TBL", nullptr, nullptr},
    {"CURID", 4, "FLD", nullptr, nullptr},       {"CURID", 10, "NOTCAT", "NOTCAT", "NCAT_ID"},
    {"CURID", 11, "REPORT", "REPORT", "RPT_ID"}, {"CURID", 12, "FOLDER", "FOLDER", "FLDR_ID"},
    {"MCURID", 1, "RULE", "RULE", "RU_ID"},      {"MCURID", 5, "MJOB", "MJOB", "JB_ID"},
    {"MCURID", 6, "EXEC", "EXEC", "EX_ID"},      {"MCURID", 8, "CUSTM", "CUSTM", "CM_ID"},
    {"MCURID", 10, "EXSRC", "EXSRC", "ES_ID"},   {nullptr, 0, "MPRJ", "MPRJ", "PRJ_ID"},
    {nullptr, 0, "JSETUP", "JSETUP", "SU_ID"},   {nullptr, 0, "MIDDEF", "MIDDEF", "ID_UID"},
};

// Folder-listed objects, each filed in the shared folder afterwards.
const char* const kFiledTables[] = {"MJOB", "RULE", "MPRJ", "JSETUP"};

}  // namespace

std::vector<OldTable> oldTables(Legacy legacy) {
    std::vector<OldTable> tables;
    auto add = [&](const std::vector<OldTable>& more) { tables.insert(tables.end(), more.begin(), more.end()); };
    switch (legacy) {
        case Legacy::Profile:
            tables.push_back(legacyInfo({"'PROFILE_RESULTSET', 1.7, 'Profile result set'"}));
            add(profileTables());
            break;
        case Legacy::Monitor:
            tables.push_back(legacyInfo({"'MONITOR', 3, 'Monitor'"}));
            add(monitorTables());
            break;
        case Legacy::Both:
            tables.push_back(legacyInfo({"'PROFILE_RESULTSET', 1.7, 'Profile result set'", "'MONITOR', 3, 'Monitor'"}));
            add(profileTables());
            add(monitorTables());
            break;
        case Legacy::Unified0:
            tables.push_back({"INFO",
                              "I_TYPE VARCHAR(32), I_VERS INTEGER, I_DESC VARCHAR(255), I_UUID VARCHAR(255), "
                              "I_MVER INTEGER",
                              {"'VQREPOSITORY', 8, 'Velqorin Repository', '', 0", "'NCOA', 1, NULL, NULL, NULL"}});
            tables.push_back(
                {"UCURID", "NI_KEY VARCHAR(32), NI_VAL INTEGER", {"'RULE', 20", "'RULE', 12", "'MJOB', 8"}});
            add(profileTables());
            add(monitorTables());
            tables.erase(std::remove_if(tables.begin() + 2, tables.end(),
                                        [](const OldTable& table) {
                                            return std::string(" PATDST MIDDEF MDEFVL MPRJ RULE MJOB ")
                                                       .find(" " + table.name + " ") == std::string::npos;
                                        }),
                         tables.end());
            break;
    }
    return tables;
}

void UpgradeTest::TearDown() {
    if (place() == Place::Postgres && !pgConnection().empty()) {
        // Whatever the test left, old tables included.
        ReposHeld<ReposDataAccessCursor> cursor(
            db()->paramSelect(pgOwnTables("public", prefix()) + "SELECT 'public', relname FROM own", 0));
        Rows tables = cursor ? cursorRows(cursor.get()) : Rows();
        cursor.reset();
        for (const auto& row : tables)
            if (row[1].compare(0, prefix().size(), prefix()) == 0)
                db()->paramExec("DROP TABLE \"" + row[0] + "\".\"" + row[1] + "\"", nullptr, 0);
    }
    db_.reset();
    if (place() != Place::Postgres)
        for (const char* suffix : {"", "-journal"}) std::remove((location() + suffix).c_str());
    RepositoryTest::TearDown();
}

ReposDataAccess* UpgradeTest::db() {
    if (!db_) {
        VqbString error;
        db_.reset(place() == Place::Postgres
                      ? createReposDataAccess(REPOS_BACKEND_CONNECTOR, where(), prefix(), nullptr, error)
                      : createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, location(), "", nullptr, error));
        EXPECT_NE(db_.get(), nullptr) << error.str();
    }
    return db_.get();
}

std::string UpgradeTest::t(const char* table) { return db()->getTableName(table, true, -1).str(); }

std::vector<std::string> UpgradeTest::existingTables(const std::vector<std::string>& tables) {
    std::vector<std::string> found;
    ColumnSpecList columns;
    for (const std::string& table : tables)
        if (db()->getTableColumns(table, &columns) > 0) found.push_back(table);
    return found;
}

Rows UpgradeTest::query(const std::string& sql) {
    SqlRecordPause pause;
    ReposHeld<ReposDataAccessCursor> cursor(db()->paramSelect(sql, 0));
    EXPECT_NE(cursor.get(), nullptr) << sql << ": " << db()->getLastErrorMessage().str();
    return cursor ? cursorRows(cursor.get()) : Rows();
}

std::string UpgradeTest::value(const std::string& sql) {
    Rows rows = query(sql);
    return rows.empty() || rows[0].empty() ? std::string("<none>") : rows[0][0];
}

void UpgradeTest::run(const std::string& sql) {
    SqlRecordPause pause;
    EXPECT_TRUE(db()->paramExec(sql, nullptr, 0)) << sql << ": " << db()->getLastErrorMessage().str();
}

void UpgradeTest::build(Legacy legacy) {
    for (const OldTable& table : oldTables(legacy)) {
        run("CREATE TABLE " + t(table.name.c_str()) + " (" + table.columns + ")");
        for (const std::string& row : table.rows)
            run("INSERT INTO " + t(table.name.c_str()) + " (" + joined(columnNames(table)) + ") VALUES (" + row + ")");
    }
}

RepositoryImpl* UpgradeTest::tryOpen() {
    return static_cast<RepositoryImpl*>(
        place() == Place::Direct ? admin()->openFileRepository(location(), false)
        : place() == Place::File
            ? admin()->connectRepository(RepositoryAdminImpl::fileConnection(location()), "", false, nullptr)
            : admin()->connectRepository(where(), prefix(), false, nullptr));
}

RepositoryImpl* UpgradeTest::openRepository() {
    RepositoryImpl* repository = tryOpen();
    EXPECT_NE(repository, nullptr) << admin()->getErrorMessage().str();
    return repository;
}

int UpgradeTest::upgradeToCurrent() {
    for (int runs = 0; runs <= 3; ++runs) {
        RepositoryImpl* repository = openRepository();
        if (!repository) return -1;
        if (repository->isVersionAcceptable() && repository->isMinorVersionAcceptable()) {
            repository->release();
            return runs;
        }
        if (runs == 3) break;
        bool ok = repository->upgrade();
        VqbString error = repository->getErrorMessage();
        repository->release();
        if (!ok) {
            ADD_FAILURE() << "upgrade " << runs + 1 << ": " << error.str();
            return -1;
        }
    }
    ADD_FAILURE() << "three upgrades did not make the repository current";
    return -1;
}

Snapshot UpgradeTest::snapshot(Legacy legacy) {
    Snapshot result;
    for (const OldTable& table : oldTables(legacy)) {
        Rows rows = query("SELECT " + joined(columnNames(table)) + " FROM " + t(table.name.c_str()));
        std::sort(rows.begin(), rows.end());
        result[table.name] = rows;
    }
    return result;
}

Snapshot UpgradeTest::everything() {
    Snapshot result;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            ColumnSpecList columns;
            if (db()->getTableColumns(first->table, &columns) == 0) continue;
            Rows rows = query("SELECT * FROM " + t(first->table));
            std::sort(rows.begin(), rows.end());
            result[first->table] = rows;
        }
    }
    return result;
}

namespace {

struct IndexRow {
    std::string table;  // without the prefix, upper-cased
    std::string name;
    std::string shape;  // "[UNIQUE ](KEYS)"
};

std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Rows of table, index name and definition, of the tables that start with the prefix.
std::vector<IndexRow> indexRows(const Rows& rows, const std::string& prefix) {
    std::vector<IndexRow> out;
    for (const auto& r : rows) {
        if (r[0].compare(0, prefix.size(), prefix) != 0) continue;
        const std::string definition = upperCased(r[2]);
        std::string keys;
        for (char c : definition.substr(definition.find('(', definition.find(" ON "))))
            if (c != '"' && c != ' ') keys += c;
        out.push_back({upperCased(r[0].substr(prefix.size())), r[1],
                       (definition.rfind("CREATE UNIQUE", 0) == 0 ? "UNIQUE " : "") + keys});
    }
    return out;
}

}  // namespace

Rows UpgradeTest::indexListing() {
    // Only this repository's tables: others' may go while the server describes them.
    return query(place() == Place::Postgres
                     ? "SELECT tablename, indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() "
                       "AND starts_with(tablename, '" + prefix() + "')"
                     : "SELECT tbl_name, name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL");
}

std::map<std::string, int> UpgradeTest::indexShapes() {
    std::map<std::string, int> shapes;
    for (const IndexRow& row : indexRows(indexListing(), prefix())) ++shapes[row.table + " " + row.shape];
    return shapes;
}

std::vector<std::string> UpgradeTest::indexesShaped(const std::string& table, const std::string& keys) {
    std::vector<std::string> names;
    const bool start = !keys.empty() && keys.back() == '*';
    const std::string wanted = start ? keys.substr(0, keys.size() - 1) : keys;
    for (const IndexRow& row : indexRows(indexListing(), prefix()))
        if (row.table == table && (start ? row.shape.rfind(wanted, 0) == 0 : row.shape == wanted))
            names.push_back(row.name);
    return names;
}

void UpgradeTest::verifyUpgraded(Legacy legacy, const Snapshot& before) {
    const std::vector<OldTable> tables = oldTables(legacy);
    auto has = [&](const std::string& name) {
        return std::any_of(tables.begin(), tables.end(), [&](const OldTable& table) { return table.name == name; });
    };
    auto count = [&](const char* table, const std::string& where) {
        return value(std::string("SELECT COUNT(*) FROM ") + t(table) + " WHERE " + where);
    };
    const bool initialProfileRows = legacy != Legacy::Unified0;
    EXPECT_EQ(query("SELECT I_TYPE, I_VERS FROM " + t("INFO") +
                    " WHERE I_TYPE IN ('VQREPOSITORY', 'NCOA', 'PROFILE_RESULTSET', 'MONITOR') ORDER BY I_TYPE"),
              (Rows{{"NCOA", "1"}, {"VQREPOSITORY", "8"}}));
    EXPECT_EQ(count("INFO", "I_TYPE = 'VQREPOSITORY' AND I_MVER = 1 AND LENGTH(I_UUID) = 36"), "1");
    // The NCOA row an older repository is given stands for tables that exist.
    if (initialProfileRows) {
        EXPECT_EQ(existingTables({"NCOALO", "NCOAEX"}).size(), 2u);
    }

    // No old row lost or doubled: each is still there with every value it had (a value it lacked
    // may have been filled); only the rows the upgrade adds are new. Version rows, event types
    // and counters are rewritten by design.
    for (const OldTable& table : tables) {
        if (table.name == "INFO" || table.name == "EVENT" || table.name == "UCURID") continue;
        const std::vector<std::string> names = columnNames(table);
        Rows after = query("SELECT " + joined(names) + " FROM " + t(table.name.c_str()));
        const Rows& old = before.at(table.name);
        size_t added = !initialProfileRows ? 0 : table.name == "NOTCAT" ? 1 : table.name == "FOLDER" ? 2 : 0;
        EXPECT_EQ(after.size(), old.size() + added) << table.name;
        for (const auto& row : old) {
            auto same = [&](const std::vector<std::string>& now) {
                for (size_t c = 0; c < names.size(); ++c)
                    // Identification values are re-pointed at their definitions (checked below).
                    if (!(table.name == "MDEFVL" && names[c] == "IDENT_ID") && !blank(row[c]) && row[c] != now[c])
                        return false;
                return true;
            };
            auto at = std::find_if(after.begin(), after.end(), same);
            EXPECT_NE(at, after.end()) << table.name << " lost a row starting " << row[0];
            if (at != after.end()) after.erase(at);
        }
    }

    // Nothing missing any more; renamed columns hold the old values.
    for (const Required& required : kRequired) {
        if (!has(required.table)) continue;
        Rows values = query(std::string("SELECT ") + required.column + " FROM " + t(required.table));
        std::set<std::string> distinct;
        for (const auto& row : values) {
            EXPECT_FALSE(blank(row[0])) << required.table << "." << required.column;
            distinct.insert(row[0]);
        }
        if (required.unique) {
            EXPECT_EQ(distinct.size(), values.size()) << required.table << "." << required.column;
        }
    }
    for (const Renamed& r : kRenamed) {
        if (!has(r.table)) continue;
        EXPECT_EQ(count(r.table, std::string(r.oldColumn) + " IS NOT NULL AND (" + r.column + " IS NULL OR " +
                                     r.column + " <> " + r.oldColumn + ")"),
                  "0")
            << r.table << "." << r.column;
    }
    const std::string user = getCurrentUserName().str();
    if (has("RULE")) {
        EXPECT_EQ(count("RULE", "RU_CRUSR = '" + user + "'"), "3");
        EXPECT_EQ(count("RULE", "RU_ID = 20 AND RU_UUID = '6f1c2a52-0c1d-4c55-9a5e-3b7e1f0d9a11'"), "1");
    }
    if (has("MJOB")) {
        // What a task already had stays; the rest is stamped.
        EXPECT_EQ(query("SELECT JB_CRUSR, JB_EDDAT, JB_EDUSR FROM " + t("MJOB") + " WHERE JB_ID = 2"),
                  (Rows{{user, "43210.5", "carol"}}));
        EXPECT_EQ(count("MJOB", "JB_ID = 8 AND JB_CODE = 'job-code-8'"), "1");
        EXPECT_EQ(count("MJOB", "JB_CRDAT < 40000"), "0");
    }
    EXPECT_EQ(has("EXEC") ? count("EXEC", "GRP_ID = 1") : "2", "2");
    EXPECT_EQ(has("PATDST") ? count("PATDST", "PA_COUNT2 = PA_COUNT") : "3", "3");

    // The initial rows once each, and every object without a folder in the shared root folder.
    if (initialProfileRows) {
        EXPECT_EQ(query("SELECT NCAT_DSC FROM " + t("NOTCAT") + " WHERE NCAT_ID = 0"), (Rows{{"General"}}));
        EXPECT_EQ(query("SELECT FLDR_NAM, NAM_NORM FROM " + t("FOLDER") + " WHERE FLDR_ID = 0"),
                  (Rows{{"Profiling Reports", "profiling reports"}}));
    }
    EXPECT_EQ(value("SELECT COUNT(*) FROM " + t("EVENT")), "11");
    EXPECT_EQ(value("SELECT COUNT(*) FROM " + t("EXPRTP")), "10");
    Rows shared = query("SELECT FLDR_ID FROM " + t("FOLDER") + " WHERE FLDR_NAM = 'Shared Data' AND FLDR_PAR = 0");
    ASSERT_EQ(shared.size(), 1u);
    for (const char* filed : kFiledTables)
        EXPECT_EQ(has(filed) ? count(filed, "FLDR_ID IS NULL OR FLDR_ID <> " + shared[0][0]) : "0", "0") << filed;

    // Identity definitions: each its own id, the values pointing at them (a value of sample type
    // 2 is looked up as 0 and so keeps its old number; one without a definition too).
    if (has("MIDDEF")) {
        auto uid = [&](const char* ident, const char* project) {
            return value("SELECT ID_UID FROM " + t("MIDDEF") + " WHERE IDENT_ID = " + ident + " AND PRJ_ID = " + project);
        };
        EXPECT_EQ(count("MIDDEF", "LOCALE = 'ENUSA'"), "3");
        EXPECT_EQ(query("SELECT IDVALRID, IDENT_ID FROM " + t("MDEFVL") + " ORDER BY IDVALRID"),
                  (Rows{{"101", uid("41", "7")}, {"102", uid("42", "7")}, {"103", uid("41", "8")}, {"104", "42"},
                        {"105", "49"}}));
    }
    EXPECT_EQ(query("SELECT (SELECT INTNUM FROM " + t("RPTGRP") + " WHERE GRP_ID = 1), (SELECT COUNT(*) FROM " +
                    t("THRHLD") + "), (SELECT COUNT(*) FROM " + t("DIMENS") + "), (SELECT COUNT(*) FROM " +
                    t("DIMGRP") + ")"),
              (Rows{{"7", "1", "6", "6"}}));

    // Counters continue after the old counter and after every id in use, uncounted tables too.
    RepositoryImpl* repository = openRepository();
    ASSERT_NE(repository, nullptr);
    auto nextId = [&](const char* key) {
        unsigned id = 0;
        EXPECT_TRUE(repository->getNextId(key, &id, nullptr)) << key;
        return static_cast<long long>(id);
    };
    auto highest = [&](const char* table, const char* column) {
        std::string max = value(std::string("SELECT MAX(") + column + ") FROM " + t(table));
        return blank(max) ? 0LL : std::stoll(max);
    };
    for (const Counter& counter : kCounters) {
        if (!has(counter.oldTable ? counter.oldTable : counter.table)) continue;
        const long long next = nextId(counter.key);
        if (counter.oldTable) {
            EXPECT_GT(next, std::stoll(value(std::string("SELECT NI_VAL FROM ") + t(counter.oldTable) +
                                             " WHERE NI_KEY = " + std::to_string(counter.oldKey))))
                << counter.key;
        }
        if (counter.table && has(counter.table)) {
            EXPECT_GT(next, highest(counter.table, counter.idColumn)) << counter.key;
        }
    }
    EXPECT_EQ(has("UCURID") ? nextId("RULE") : 21, 21);
    repository->release();
}
