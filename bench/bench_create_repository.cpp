// Creating a file repository through the administrator, beside the same schema and initial rows
// written through the SQLite C API in one transaction.
#include <string>
#include <vector>

#include "bench_db_support.h"
#include "repadmimpl.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

benchdb::ScratchDir& scratch() {
    static benchdb::ScratchDir dir;
    return dir;
}

struct Value {
    int type;  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT or SQLITE_NULL
    sqlite3_int64 integer;
    double real;
    std::string text;
};

struct TableRows {
    std::string insert;  // INSERT with one "?" per column
    std::vector<std::vector<Value>> rows;
};

// What one creation leaves in a file: its schema statements and its rows.
struct Reference {
    std::vector<std::string> schema;
    std::vector<TableRows> tables;
    bool ok = false;
};

RepositoryAdmin* admin() {
    static RepositoryAdmin* admin = [] {
        // No XML table sets: the directory is empty.
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", scratch().file("").c_str());
        return createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    }();
    return admin;
}

std::vector<std::string> strings(sqlite3* db, const char* sql) {
    std::vector<std::string> out;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
        out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return out;
}

const Reference& reference() {
    static Reference ref = [] {
        Reference r;
        std::string path = scratch().fresh("reference");
        if (!admin() || !admin()->createFileRepository(path.c_str())) return r;
        sqlite3* db = benchdb::rawOpen(path);
        r.schema = strings(db, "SELECT sql FROM sqlite_master WHERE sql IS NOT NULL ORDER BY rowid");
        for (const std::string& table :
             strings(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid")) {
            TableRows t;
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\"").c_str(), -1, &stmt, nullptr);
            int columns = sqlite3_column_count(stmt);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                std::vector<Value> row;
                for (int i = 0; i < columns; ++i) {
                    Value v{sqlite3_column_type(stmt, i), sqlite3_column_int64(stmt, i), sqlite3_column_double(stmt, i),
                            ""};
                    if (v.type == SQLITE_TEXT) v.text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                    row.push_back(v);
                }
                t.rows.push_back(row);
            }
            sqlite3_finalize(stmt);
            if (t.rows.empty()) continue;
            t.insert = "INSERT INTO \"" + table + "\" VALUES (?";
            for (int i = 1; i < columns; ++i) t.insert += ",?";
            t.insert += ")";
            r.tables.push_back(std::move(t));
        }
        sqlite3_close_v2(db);
        r.ok = !r.schema.empty();
        return r;
    }();
    return ref;
}

void BM_CreateFileRepository_Library(benchmark::State& state) {
    if (!reference().ok) return state.SkipWithError("the reference repository could not be created");
    for (auto _ : state)
        if (!admin()->createFileRepository(scratch().fresh("lib").c_str()))
            state.SkipWithError(admin()->getErrorMessage().asCstr());
    state.SetItemsProcessed(state.iterations());
}

// The same through the SQLite back end without the connector.
void BM_CreateFileRepository_Direct(benchmark::State& state) {
    if (!reference().ok) return state.SkipWithError("the reference repository could not be created");
    RepositoryAdminImpl* impl = static_cast<RepositoryAdminImpl*>(admin());
    for (auto _ : state) {
        RepositoryImpl* repository = new RepositoryImpl();
        VqbString error;
        bool ok =
            repository->open(true, impl, REPOS_ACCESS_SQLITE_FILE, scratch().fresh("direct"), "", "", nullptr, error) &&
            impl->createTablesIn(repository, VqbString());
        repository->release();
        if (!ok) state.SkipWithError("creation failed");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_CreateFileRepository_Raw(benchmark::State& state) {
    const Reference& ref = reference();
    if (!ref.ok) return state.SkipWithError("the reference repository could not be created");
    for (auto _ : state) {
        sqlite3* db = benchdb::rawOpen(scratch().fresh("raw"));
        benchdb::rawExec(db, "BEGIN IMMEDIATE TRANSACTION");
        for (const std::string& sql : ref.schema) benchdb::rawExec(db, sql.c_str());
        for (const TableRows& table : ref.tables) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, table.insert.c_str(), -1, &stmt, nullptr);
            for (const auto& row : table.rows) {
                for (size_t i = 0; i < row.size(); ++i) {
                    int at = static_cast<int>(i) + 1;
                    switch (row[i].type) {
                        case SQLITE_INTEGER:
                            sqlite3_bind_int64(stmt, at, row[i].integer);
                            break;
                        case SQLITE_FLOAT:
                            sqlite3_bind_double(stmt, at, row[i].real);
                            break;
                        case SQLITE_TEXT:
                            sqlite3_bind_text(stmt, at, row[i].text.c_str(), -1, SQLITE_STATIC);
                            break;
                        default:
                            sqlite3_bind_null(stmt, at);
                            break;
                    }
                }
                sqlite3_step(stmt);
                sqlite3_reset(stmt);
            }
            sqlite3_finalize(stmt);
        }
        benchdb::rawExec(db, "COMMIT TRANSACTION");
        sqlite3_close_v2(db);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_CreateFileRepository_Library)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateFileRepository_Direct)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CreateFileRepository_Raw)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(
        argc, argv, "bench_create_repository",
        {{"create file repository", "BM_CreateFileRepository_Library", "BM_CreateFileRepository_Raw"},
         {"create file repository without the connector", "BM_CreateFileRepository_Direct",
          "BM_CreateFileRepository_Raw"}});
}
