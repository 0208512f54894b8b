// Helpers of the database-layer tests: connections on fresh files, catalogue excerpts, a
// recording status callback and a raw SQLite connection to read files back independently.
#ifndef DB_FIXTURE_H
#define DB_FIXTURE_H

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "rda_factory.h"
#include "repos_fixture.h"
#include "test_rows.h"
#include "repos_tables.h"
#include "vqsqlite.h"

using Conn = ReposHeld<ReposDataAccess>;
using Cursor = ReposHeld<ReposDataAccessCursor>;

inline ReposDataAccess* connectFile(const std::string& path, bool create, RepositoryStatusCallback* callback) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(create ? REPOS_BACKEND_SQLITE_CREATE : REPOS_BACKEND_SQLITE_OPEN,
                                               path, "", callback, error);
    EXPECT_NE(c, nullptr) << error.str();
    return c;
}
inline ReposDataAccess* newRepository(const std::string& path, RepositoryStatusCallback* callback = nullptr) {
    return connectFile(path, true, callback);
}
inline ReposDataAccess* openRepository(const std::string& path, RepositoryStatusCallback* callback = nullptr) {
    return connectFile(path, false, callback);
}
// Opens with a short busy timeout, so a locked file makes it give up quickly.
inline ReposDataAccess* openImpatient(const std::string& path, int milliseconds) {
    BusyTimeout wait(milliseconds);
    return openRepository(path);
}
// A new file with the named catalogue tables.
inline ReposDataAccess* newRepositoryWith(const std::string& path, std::initializer_list<const char*> tables,
                                          RepositoryStatusCallback* callback = nullptr) {
    ReposDataAccess* c = newRepository(path, callback);
    EXPECT_TRUE(c && c->beginTransaction(false) && c->createTable(Excerpt(tables).request()) &&
                c->endTransaction(true));
    return c;
}

// The values of one column of a cursor, read with getString, until next() stops.
inline std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column) {
    std::vector<std::string> values;
    while (cursor && cursor->next() == 1) values.push_back(cursor->getString(column).str());
    return values;
}

#endif
