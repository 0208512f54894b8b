// What the import/export benchmarks share: the admin object, and the raw baselines' pugixml and
// SQLite C API helpers.
#ifndef BENCH_IMPEXP_SUPPORT_H
#define BENCH_IMPEXP_SUPPORT_H

#include <pugixml.hpp>
#include <sqlite3.h>

#include <initializer_list>
#include <string>

#include "repos_admin.h"

namespace benchimpexp {

inline RepositoryAdmin* admin() {
    static RepositoryAdmin* made = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    return made;
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
