// A created repository file read back with SQLite itself: every catalogue table with its columns,
// keys and indexes.
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

// The first value of every row, upper-cased.
std::vector<std::string> names(RawDb& db, const std::string& sql, const std::string& value = kNullText) {
    std::vector<std::string> out;
    for (const auto& row : db.rows(sql, {value})) out.push_back(upper(row[0]));
    return out;
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

    RawDb db(file);
    EXPECT_EQ(names(db, "SELECT I_TYPE FROM INFO WHERE I_VERS=8 AND I_MVER=1"), std::vector<std::string>{"VQREPOSITORY"});
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
            std::vector<std::string> stored = names(db, "SELECT name FROM pragma_table_info(?)", table);
            std::vector<std::string> pk = names(db, "SELECT name FROM pragma_table_info(?) WHERE pk > 0", table);
            EXPECT_EQ(std::set<std::string>(stored.begin(), stored.end()), expected);
            EXPECT_EQ(stored.size(), expected.size()) << "a column appears twice";
            for (const std::string& key : keys) EXPECT_TRUE(std::count(pk.begin(), pk.end(), key)) << key;

            std::set<std::string> leading;
            std::set<std::vector<std::string>> lists;
            for (const std::string& index : names(db, "SELECT name FROM pragma_index_list(?)", table)) {
                std::vector<std::string> indexColumns =
                    names(db, "SELECT name FROM pragma_index_info(?) ORDER BY seqno", index);
                if (!indexColumns.empty()) leading.insert(indexColumns.front());
                lists.insert(indexColumns);
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
}
