// Linked into every test program: records the library's SQLite statements when REPOS_SQL_RECORD
// names a folder (the plan check reads them).
#include <cstdlib>

#include "sql_record.h"

namespace {

const bool g_recording = [] {
    const char* folder = std::getenv("REPOS_SQL_RECORD");
    if (folder && *folder) startSqlRecording(folder);
    return true;
}();

}  // namespace
