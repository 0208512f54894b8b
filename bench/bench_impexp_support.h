// What the import/export benchmarks share: the admin object, and the raw baselines' pugixml and
// SQLite C API helpers.
#ifndef BENCH_IMPEXP_SUPPORT_H
#define BENCH_IMPEXP_SUPPORT_H

#include <pugixml.hpp>
#include <sqlite3.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <initializer_list>
#include <string>

#include "bench_db_support.h"
#include "repos_admin.h"
#include "repos_impexp.h"
#include "repos_repository.h"

namespace benchimpexp {

inline RepositoryAdmin* admin() {
    static RepositoryAdmin* made = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    return made;
}

// The library's import of one document into a fresh copy of the empty repository file per round;
// only the import is timed.
inline void timeLibraryImport(benchmark::State& state, benchdb::ScratchDir& dir, const std::string& empty,
                              const std::string& document) {
    for (auto _ : state) {
        state.PauseTiming();
        std::string target = dir.fresh("import");
        std::filesystem::copy_file(empty, target);
        Repository* repository = admin()->openFileRepository(target.c_str(), true);
        RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
        state.ResumeTiming();
        VqbString log;
        if (!manager->importObject(document.c_str(), 0, log)) state.SkipWithError(log.asCstr());
        state.PauseTiming();
        delete manager;
        repository->release();
        state.ResumeTiming();
    }
}

// The rows of one select as properties of new elements of the parent; the key column, when
// given, also names the element's key.
inline void rowsInto(sqlite3_stmt* select, pugi::xml_node parent, const char* type, const char* key = nullptr) {
    while (sqlite3_step(select) == SQLITE_ROW) {
        pugi::xml_node object = parent.append_child("object");
        object.append_attribute("type") = type;
        for (int i = 0, n = sqlite3_column_count(select); i < n; ++i) {
            pugi::xml_node p = object.append_child("property");
            p.append_attribute("name") = sqlite3_column_name(select, i);
            const unsigned char* text = sqlite3_column_text(select, i);
            if (text) p.text().set(reinterpret_cast<const char*>(text));
            if (key && text && std::string(sqlite3_column_name(select, i)) == key)
                object.append_attribute("key") = reinterpret_cast<const char*>(text);
        }
    }
    sqlite3_reset(select);
}

inline std::string property(pugi::xml_node object, const char* name) {
    return object.find_child_by_attribute("property", "name", name).text().get();
}

// Binds the texts in order, steps once and resets.
inline void run(sqlite3_stmt* statement, std::initializer_list<std::string> values) {
    int i = 1;
    for (const std::string& v : values) sqlite3_bind_text(statement, i++, v.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(statement);
    sqlite3_reset(statement);
}

}  // namespace benchimpexp

#endif
