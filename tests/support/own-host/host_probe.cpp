// A host built against the installed library, run by scripts/check-host-runs:
//   host-probe create FILE    creates and opens a file repository; prints what a raw reader finds in it
//   host-probe open FILE      opens a file repository with validation
//   host-probe connect TEXT   opens a repository through the connector with validation
//   host-probe read FILE      prints what a raw reader finds in a file, without the library
//   host-probe foreign FILE   makes a SQLite database of another program, without the library
// A failure prints the library's text once on stderr and exits with 1.
#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "repos_admin.h"
#include "repos_repository.h"

namespace {

bool makeForeign(const char* file) {
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(file, &db) == SQLITE_OK &&
              sqlite3_exec(db, "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)", nullptr, nullptr, nullptr) ==
                  SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// The file read with SQLite itself, not through the library.
bool printContents(const char* file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file, &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return false;
    std::string refdata = "none";
    int tables = -1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        tables = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (sqlite3_prepare_v2(db, "SELECT I_VERS FROM INFO WHERE I_TYPE = 'REFDATA'", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        refdata = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    sqlite3_close(db);
    std::printf("tables %d refdata %s\n", tables, refdata.c_str());
    return tables > 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: host-probe create|open|connect|read|foreign ARG\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "read") return printContents(argv[2]) ? 0 : 1;
    if (mode == "foreign") return makeForeign(argv[2]) ? 0 : 1;
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    if (!admin) {
        std::fprintf(stderr, "%s\n", getRepositoryAdminError());
        return 1;
    }
    bool ok = mode != "create" || admin->createFileRepository(argv[2]);
    Repository* repository = nullptr;
    if (ok)
        repository = mode == "connect" ? admin->connectRepository(argv[2], "", true, nullptr)
                                       : admin->openFileRepository(argv[2], true);
    ok = repository != nullptr;
    if (!ok) std::fprintf(stderr, "%s\n", admin->getErrorMessage().asCstr());
    if (repository) repository->release();
    admin->release();
    if (ok && mode == "create") ok = printContents(argv[2]);
    return ok ? 0 : 1;
}
