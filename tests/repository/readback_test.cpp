// A repository file read back with SQLite itself: every catalogue table with its columns, keys and
// indexes, whoever made the file.
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "repository_fixture.h"

namespace {

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class SqliteFile {
public:
    explicit SqliteFile(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            ADD_FAILURE() << path << ": " << sqlite3_errmsg(db_);
    }
    ~SqliteFile() { sqlite3_close(db_); }
    // Column col of every row, upper-cased.
    std::vector<std::string> column(const std::string& sql, int col) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
            return out;
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, col);
            out.push_back(upper(text ? reinterpret_cast<const char*>(text) : ""));
        }
        sqlite3_finalize(stmt);
        return out;
    }

private:
    sqlite3* db_ = nullptr;
};

std::string quoted(const std::string& name) { return "'" + name + "'"; }

// Every catalogue table of the file has exactly the catalogue's columns, at least its key columns
// in the primary key, and an index led by each indexed column and one for each composite index.
void expectCatalogue(const std::string& path) {
    SqliteFile file(path);
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
            std::vector<std::string> names = file.column("PRAGMA table_info(" + quoted(table) + ")", 1);
            std::vector<std::string> pk =
                file.column("SELECT name FROM pragma_table_info(" + quoted(table) + ") WHERE pk > 0", 0);
            EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
            EXPECT_EQ(names.size(), expected.size()) << "a column appears twice";
            for (const std::string& key : keys) EXPECT_TRUE(std::count(pk.begin(), pk.end(), key)) << key;

            std::set<std::string> leading;
            std::set<std::vector<std::string>> lists;
            for (const std::string& index : file.column("PRAGMA index_list(" + quoted(table) + ")", 1)) {
                std::vector<std::string> columns =
                    file.column("SELECT name FROM pragma_index_info(" + quoted(index) + ") ORDER BY seqno", 0);
                if (!columns.empty()) leading.insert(columns.front());
                lists.insert(columns);
            }
            for (const std::string& column : indexed) EXPECT_TRUE(leading.count(column)) << "no index on " << column;
            for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
                const ReposIndexDef* def = getReposIndexDef(i);
                if (!def->table || upper(def->table) != table) continue;
                std::vector<std::string> columns;
                for (const char* column : def->columns)
                    if (column && *column) columns.push_back(upper(column));
                EXPECT_TRUE(lists.count(columns)) << "composite index " << def->number;
            }
        }
    }
}

// The example host next to this test program, when the examples are built.
std::string demoProgram() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::string();
    std::filesystem::path demo = self.parent_path().parent_path() / "examples" / "repos-demo";
    return std::filesystem::exists(demo) ? demo.string() : std::string();
}

}  // namespace

TEST(RepositoryReadback, DemoFileHoldsTheWholeCatalogue) {
    std::string demo = demoProgram();
    if (demo.empty()) GTEST_SKIP() << "repos-demo is not built";
    TempDir dir;
    std::string command = "'" + demo + "' '" + dir.path() + "' > '" + dir.file("out.txt") + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("out.txt"));
    ASSERT_TRUE(fileExists(dir.file("repositories.lst")));
    expectCatalogue(dir.file("demo.db"));
    SqliteFile file(dir.file("demo.db"));
    EXPECT_EQ(file.column("SELECT I_TYPE FROM INFO WHERE I_VERS=8 AND I_MVER=1", 0),
              std::vector<std::string>{"VQREPOSITORY"});
    EXPECT_EQ(file.column("SELECT RU_DESC FROM RULE", 0), std::vector<std::string>{"CUSTOMER ID PRESENT"});

    // A second run replaces the repository of the first.
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("out.txt"));
    EXPECT_EQ(SqliteFile(dir.file("demo.db")).column("SELECT COUNT(*) FROM RULE", 0), std::vector<std::string>{"1"});
}

TEST(RepositoryReadback, DirectlyCreatedFileHoldsTheWholeCatalogue) {
    TempDir specs;
    ConfigScope config;
    config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
    TempDir dir;
    RepositoryAdminImpl* admin =
        static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    ASSERT_NE(admin, nullptr);
    RepositoryImpl* repository = new RepositoryImpl();
    VqbString error;
    ASSERT_TRUE(repository->open(true, admin, REPOS_ACCESS_SQLITE_FILE, dir.file("r.db"), "", "", nullptr, error))
        << error.str();
    EXPECT_TRUE(admin->createTablesIn(repository, VqbString())) << admin->getErrorMessage().str();
    repository->release();
    admin->release();
    expectCatalogue(dir.file("r.db"));
}
