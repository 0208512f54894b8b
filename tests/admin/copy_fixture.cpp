#include "copy_fixture.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>

#include "repos_tables.h"
#include "sql_record.h"
#include "vqbutil.h"

const char* const kSpecTable = "XTAB";

namespace {

const char kSpecFile[] =
    "<velqorindocument class=\"ReposTableCreateSpec\" version=\"1.0\">"
    "<tableset name='XSET' version='1'><tabledef name='XTAB'>"
    "<column name='X_ID' type='integer' primarykey='true'/>"
    "<column name='X_NAME' type='string' length='40' isnullable='false'/>"
    "<column name='X_NOTE' type='string' usemaxlength='true'/>"
    "<column name='X_VAL' type='real'/>"
    "</tabledef></tableset></velqorindocument>";

// Tables the copy leaves as the target had them, or rebuilds in its own way.
bool comparedTable(const char* table) {
    for (const char* skipped : {"INFO", "KEYVAL", "BIGSTR"})
        if (VqbString(table).equals(skipped, false)) return false;
    return true;
}

// Key columns take no NULL on a server.
bool isKey(const char* table, const ReposColumnView& column) {
    if (column.metric >= 0) return false;
    const char* const* key = reposCompositeKey(table);
    if (!key) return (column.flags & REPOS_COL_PRIMARY) != 0;
    for (; *key; ++key)
        if (VqbString(*key).equals(column.name, false)) return true;
    return false;
}

// The catalogue and NCOA tables the copy replaces (or, with settings, those it keeps), with their
// columns. Big strings are compared through the texts that refer to them.
void forEachTable(bool settings,
                  const std::function<void(const char*, const std::vector<ReposColumnView>&, const std::string&)>& f) {
    for (ReposCatalogId catalog : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        for (ReposCatalogWalk walk(catalog); const ReposColumnDef* first = walk.nextTable();) {
            if (comparedTable(first->table) == settings || VqbString(first->table).equals("BIGSTR", false)) continue;
            std::vector<ReposColumnView> views;
            std::string names;
            ReposTableCursor cursor(first);
            for (ReposColumnView view; cursor.next(view);) {
                views.push_back(view);
                names += (names.empty() ? "" : ",") + std::string(view.name);
            }
            f(first->table, views, names);
        }
    }
}

ColumnSpec column(const std::string& name, int type) {
    ColumnSpec c{};
    std::snprintf(c.name, sizeof c.name, "%s", name.c_str());
    c.type = type;
    c.size = type == VQB_TYPE_STRING ? 255 : 0;
    return c;
}

std::string marks(size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += i ? ",?" : "?";
    return out;
}

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A text value of at most length characters (0: no limit of its own) that differs by row and seed.
VqbString shortText(const char* table, const char* column, int row, int seed, int length) {
    VqbString text = VqbString::format("%d%d|%s.%s 'q' \xc3\xbc", row, seed, table, column);
    return length > 0 ? text.left(static_cast<size_t>(length)) : text;
}

}  // namespace

std::string longText(size_t characters, int seed) {
    static const char* const pieces[] = {"Grüße ", "it's ", "\"quoted\" ", "line\nbreak ", "€uro ", "plain "};
    std::string text = "seed" + std::to_string(seed) + " ";
    // Each piece has more characters than half its bytes.
    for (size_t i = 0; text.size() < 2 * characters; ++i) text += pieces[i % 6];
    return VqbString(text).left(characters).str();
}

void CopyTest::SetUp() {
    writeFile(specDir_.file("xset.xml"), kSpecFile);
    config_.set("REPOS/TABLE_LIST_PATH", specDir_.path().c_str());
    admin_ = static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    ASSERT_NE(admin_, nullptr);
}

void CopyTest::TearDown() {
    for (RepositoryImpl* r : opened_) r->release();
    for (const std::string& prefix : prefixes_) admin_->deleteRepository(pgConnection(), prefix);
    if (admin_) admin_->release();
}

std::string CopyTest::serverPrefix() {
    prefixes_.push_back(uniqueTestPrefix('C'));
    return prefixes_.back();
}

bool CopyTest::create(Place place, std::string& where) {
    bool ok;
    if (place == Place::File) {
        where = dir_.file(uniqueTestPrefix('r') + ".db");
        ok = admin_->createFileRepository(where);
    } else {
        where = serverPrefix();
        ok = admin_->createRepository(pgConnection(), where);
    }
    EXPECT_TRUE(ok) << admin_->getErrorMessage().str();
    return ok;
}

RepositoryImpl* CopyTest::open(Place place, const std::string& where, bool viaConnector) {
    Repository* r = place == Place::Postgres ? admin_->connectRepository(pgConnection(), where, true, nullptr)
                    : viaConnector
                        ? admin_->connectRepository(RepositoryAdminImpl::fileConnection(where), "", true, nullptr)
                        : admin_->openFileRepository(where, true);
    EXPECT_NE(r, nullptr) << admin_->getErrorMessage().str();
    if (r) opened_.push_back(static_cast<RepositoryImpl*>(r));
    return static_cast<RepositoryImpl*>(r);
}

void CopyTest::close(RepositoryImpl* r) {
    auto at = std::find(opened_.begin(), opened_.end(), r);
    if (at == opened_.end()) return;
    opened_.erase(at);
    r->release();
}

bool CopyTest::exec(RepositoryImpl* r, const std::string& sql, std::vector<VqbDatavar> values) {
    SqlRecordPause pause;
    ReposHeld<ReposDataAccessStatement> statement(r->connection()->createStatement(sql));
    if (!statement) {
        ADD_FAILURE() << sql << ": " << r->connection()->getLastErrorMessage().str();
        return false;
    }
    for (size_t i = 0; i < values.size(); ++i) statement->setParameter(static_cast<int>(i), values[i]);
    if (!statement->execute()) {
        ADD_FAILURE() << sql << ": " << statement->getErrorMessage().str() << " "
                      << r->connection()->getLastErrorMessage().str();
        return false;
    }
    return true;
}

Rows CopyTest::select(RepositoryImpl* r, const std::string& sql) {
    SqlRecordPause pause;
    ReposHeld<ReposDataAccessCursor> cursor(r->connection()->paramSelect(sql, 0));
    EXPECT_NE(cursor.get(), nullptr) << sql << ": " << r->connection()->getLastErrorMessage().str();
    // Values, not the back end's texts: a file reached two ways writes numbers alike.
    Rows rows;
    while (cursor && cursor->next() == 1) {
        rows.emplace_back();
        for (int i = 0; i < cursor->getNumCols(); ++i) {
            VqbDatavar value = cursor->getValue(i);
            rows.back().push_back(value.isNull() ? std::string("<null>") : value.asString().str());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool CopyTest::hasTable(RepositoryImpl* r, const std::string& table) {
    ColumnSpecList columns;
    return r->connection()->getTableColumns(table, &columns) > 0;
}

std::vector<std::string> CopyTest::indexedColumns(RepositoryImpl* r, const std::string& table) {
    std::vector<std::string> columns;
    ReposHeld<ReposDataAccessCursor> cursor(r->connection()->getIndexes(table));
    EXPECT_NE(cursor.get(), nullptr) << r->connection()->getLastErrorMessage().str();
    while (cursor && cursor->next() == 1) columns.push_back(lower(cursor->getString(1).str()));
    std::sort(columns.begin(), columns.end());
    return columns;
}

void CopyTest::addFrequencyTable(RepositoryImpl* r, int n, const Rows& rows) {
    ReposDataAccess* db = r->connection();
    std::string name = "FRQDST" + std::to_string(n);
    ASSERT_TRUE(db->createTableFromColumns(name, {column("fr_value", VQB_TYPE_STRING), column("fr_count", VQB_TYPE_INT)}))
        << db->getLastErrorMessage().str();
    for (const auto& row : rows)
        ASSERT_TRUE(exec(r, "INSERT INTO " + t(r, name.c_str()) + " (fr_value, fr_count) VALUES (?, ?)",
                         {row[0] == "<null>" ? VqbDatavar() : VqbDatavar(row[0]), VqbDatavar(std::stoll(row[1]))}));
    ASSERT_TRUE(db->createFrqDstIndexes(n)) << db->getLastErrorMessage().str();
}

void CopyTest::addMetricTables(RepositoryImpl* r, int n, int groupFields, int seed) {
    ReposDataAccess* db = r->connection();
    for (const char* base : {"HSM", "HCM"}) {
        const bool standard = base[1] == 'S';
        ColumnSpecList columns;
        if (standard) columns.push_back(column("FIELDIDX", VQB_TYPE_INT));
        for (int g = 1; g <= 5; ++g) columns.push_back(column("GRPFLD" + std::to_string(g), VQB_TYPE_STRING));
        columns.push_back(column("M_VALUE", VQB_TYPE_REAL));
        columns.push_back(column("M_TEXT", VQB_TYPE_STRING));
        std::string name = base + std::to_string(n);
        ASSERT_TRUE(db->createTableFromColumns(name, columns)) << db->getLastErrorMessage().str();
        for (int row = 0; row < 3; ++row) {
            std::vector<VqbDatavar> values;
            if (standard) values.emplace_back(row + seed);
            for (int g = 1; g <= 5; ++g)
                values.push_back(g == 3 && row == 1 ? VqbDatavar()
                                                    : VqbDatavar("g" + std::to_string(g * 10 + row + seed)));
            values.emplace_back(row * 1.5 + seed + 0.1);
            values.emplace_back(row == 2 ? VqbDatavar(longText(700, seed + row)) : VqbDatavar("it's " + name));
            ASSERT_TRUE(exec(r, "INSERT INTO " + t(r, name.c_str()) + " VALUES (" + marks(values.size()) + ")", values));
        }
    }
    std::string grouping = "UPDATE " + t(r, "HGMETA") + " SET ";
    for (int g = 1; g <= 5; ++g)
        grouping += "GRP" + std::to_string(g) + (g <= groupFields ? "='G" + std::to_string(g) + "'" : "=NULL") +
                    (g < 5 ? ", " : " WHERE HGM_ID=?");
    ASSERT_TRUE(exec(r, grouping, {VqbDatavar(n)}));
    ASSERT_TRUE(db->createHsmIndexes(n, groupFields)) << db->getLastErrorMessage().str();
    ASSERT_TRUE(db->createHcmIndexes(n, groupFields)) << db->getLastErrorMessage().str();
}

void CopyTest::fill(RepositoryImpl* r, int seed) {
    const int maxText = r->connection()->getMaxTextLen();
    forEachTable(false, [&](const char* table, const std::vector<ReposColumnView>& views, const std::string& names) {
        // The initial rows of a new repository make way for rows that differ by seed.
        ASSERT_TRUE(exec(r, "DELETE FROM " + t(r, table)));
        const std::string sql = "INSERT INTO " + t(r, table) + " (" + names + ") VALUES (" + marks(views.size()) + ")";
        for (int row = 0; row < 3; ++row) {
            std::vector<VqbDatavar> values;
            for (size_t c = 0; c < views.size(); ++c) {
                const ReposColumnView& v = views[c];
                const int number = row + 1 + static_cast<int>(c) + 10 * seed;
                if (row == 2 && c > 0 && c % 3 == 0 && !isKey(table, v)) {
                    values.emplace_back();  // NULL after values in the same row
                } else if (row == 0 && (v.flags & REPOS_COL_UNLIMITED) && v.metric < 0) {
                    values.emplace_back(longText(3000, seed + static_cast<int>(c)));
                } else if (v.metric >= 0 || v.type == VQB_TYPE_STRING) {
                    int length = v.metric >= 0 ? static_cast<int>(standardMetricDefs[v.metric].textLength) : v.length;
                    values.emplace_back(shortText(table, v.name, row, seed, length > 0 ? std::min(length, maxText) : 0));
                } else {
                    values.emplace_back(v.type == VQB_TYPE_REAL ? VqbDatavar(number + 0.25) : VqbDatavar(number));
                }
            }
            ASSERT_TRUE(exec(r, sql, values)) << table;
        }
    });
    for (int row = 0; row < 3; ++row)
        ASSERT_TRUE(exec(r, "INSERT INTO " + t(r, kSpecTable) + " (X_ID, X_NAME, X_NOTE, X_VAL) VALUES (?, ?, ?, ?)",
                         {VqbDatavar(row + 10 * seed), VqbDatavar("x'" + std::to_string(row + seed)),
                          row == 1 ? VqbDatavar() : VqbDatavar(longText(100, seed)), VqbDatavar(row / 3.0)}));

    // Work tables of fields 1 and 3 (FLD_ID runs up to 5 or more) and of metric sets 1 and 2.
    addFrequencyTable(r, 1, {{"alpha " + std::to_string(seed), "7"}, {"<null>", "2"}, {longText(900, seed), "1"}});
    addFrequencyTable(r, 3, {{"x", std::to_string(seed)}});
    addMetricTables(r, 1, 2, seed);
    addMetricTables(r, 2, 0, seed);
}

Snapshot CopyTest::snapshot(RepositoryImpl* r, bool withSettings) {
    Snapshot shot;
    forEachTable(withSettings, [&](const char* table, const std::vector<ReposColumnView>&, const std::string& names) {
        shot[table] = select(r, "SELECT " + names + " FROM " + t(r, table));
    });
    if (withSettings) return shot;
    shot[kSpecTable] = select(r, "SELECT X_ID, X_NAME, X_NOTE, X_VAL FROM " + t(r, kSpecTable));
    for (const char* base : {"FRQDST", "HSM", "HCM"}) {
        for (int n = 0; n <= 6; ++n) {
            std::string name = base + std::to_string(n);
            if (!hasTable(r, name)) continue;
            shot[name] = select(r, "SELECT * FROM " + t(r, name.c_str()));
            std::vector<std::string> indexed = indexedColumns(r, name);
            shot[name + "#indexes"] = {indexed};
        }
    }
    return shot;
}
