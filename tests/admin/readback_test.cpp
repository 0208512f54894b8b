// A created repository file read back with SQLite itself: every catalogue table with its columns,
// keys and indexes.
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "repos_fixture.h"

namespace {

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Column col of every row, upper-cased.
std::vector<std::string> column(sqlite3* db, const std::string& sql, int col) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(stmt, col);
        out.push_back(upper(text ? reinterpret_cast<const char*>(text) : ""));
    }
    sqlite3_finalize(stmt);
    return out;
}

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// The example host next to this test program, when the examples are built.
std::string demoProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    std::filesystem::path demo = self.parent_path().parent_path() / "examples" / "repos-demo";
    return std::filesystem::exists(demo) ? demo.string() : std::string();
}

}  // namespace

// Every catalogue table of a created file has exactly the catalogue's columns, at least its key
// columns in the primary key, and an index led by each indexed column and one for each composite
// index.
TEST(RepositoryReadback, CreatedFileHoldsTheWholeCatalogue) {
    TempDir specs, dir;
    // The file the example host makes when it is built (it is, for make check), else one made here.
    std::string file = dir.file("demo.db");
    const std::string demo = demoProgram();
    if (!demo.empty()) {
        std::string command = "'" + demo + "' '" + dir.path() + "' > '" + dir.file("out.txt") + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("out.txt"));
    } else {
        ConfigScope config;
        config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        ASSERT_NE(admin, nullptr);
        EXPECT_TRUE(admin->createFileRepository(file.c_str())) << admin->getErrorMessage().str();
        admin->release();
    }

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT I_TYPE FROM INFO WHERE I_VERS=8 AND I_MVER=1", 0),
              std::vector<std::string>{"VQREPOSITORY"});
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            const std::string table = first->table;
            SCOPED_TRACE(table);
            std::set<std::string> expected, keys, indexed;
            ReposTableCursor cursor(first);
            ReposColumnView view;
            while (cursor.next(view)) {
                expected.insert(upper(view.name));
                if (view.flags & REPOS_COL_PRIMARY)
                    keys.insert(upper(view.name));
                else if (view.flags & REPOS_COL_INDEXED)
                    indexed.insert(upper(view.name));
            }
            std::vector<std::string> names = column(db, "PRAGMA table_info(" + quoted(table) + ")", 1);
            std::vector<std::string> pk =
                column(db, "SELECT name FROM pragma_table_info(" + quoted(table) + ") WHERE pk > 0", 0);
            EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
            EXPECT_EQ(names.size(), expected.size()) << "a column appears twice";
            for (const std::string& key : keys) EXPECT_TRUE(std::count(pk.begin(), pk.end(), key)) << key;

            std::set<std::string> leading;
            std::set<std::vector<std::string>> lists;
            for (const std::string& index : column(db, "PRAGMA index_list(" + quoted(table) + ")", 1)) {
                std::vector<std::string> columns =
                    column(db, "SELECT name FROM pragma_index_info(" + quoted(index) + ") ORDER BY seqno", 0);
                if (!columns.empty()) leading.insert(columns.front());
                lists.insert(columns);
            }
            for (const std::string& name : indexed) EXPECT_TRUE(leading.count(name)) << "no index on " << name;
            for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
                const ReposIndexDef* def = getReposIndexDef(i);
                if (!def->table || upper(def->table) != table) continue;
                std::vector<std::string> columns;
                for (const char* name : def->columns)
                    if (name && *name) columns.push_back(upper(name));
                EXPECT_TRUE(lists.count(columns)) << "composite index " << def->number;
            }
        }
    }
    sqlite3_close(db);
}
