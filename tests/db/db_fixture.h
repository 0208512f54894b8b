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
#include "repos_tables.h"
#include "vqsqlite.h"

// Records what a connection shows; refuses progress once `refuseAfter` lines were seen.
struct RecordingCallback : RepositoryStatusCallback {
    bool reportProgress(const VqbString& text) override {
        progress.push_back(text.str());
        return refuseAfter < 0 || static_cast<int>(progress.size()) <= refuseAfter;
    }
    void reportMessage(const VqbString& text) override { messages.push_back(text.str()); }
    bool sawMessage(const std::string& fragment) const {
        for (const auto& m : messages)
            if (m.find(fragment) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> progress, messages;
    int refuseAfter = -1;
};

using Conn = ReposHeld<ReposDataAccess>;
using Cursor = ReposHeld<ReposDataAccessCursor>;

// The records of the named catalogue tables, laid out like the catalogue (each table ended by
// an end record, a second end record after the last).
class CatalogExcerpt {
public:
    CatalogExcerpt(std::initializer_list<const char*> tables) {
        const ReposColumnDef end = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};
        for (const char* table : tables) {
            const ReposColumnDef* r = findReposTable(table);
            EXPECT_NE(r, nullptr) << table;
            for (; r && !isReposEndRecord(r); ++r) records_.push_back(*r);
            records_.push_back(end);
        }
        records_.push_back(end);
    }
    ReposTableRequest request(bool create = true, bool dropFirst = false) const {
        ReposTableRequest r;
        r.create = create;
        r.dropFirst = dropFirst;
        r.start = records_.data();
        return r;
    }

private:
    std::vector<ReposColumnDef> records_;
};

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
    int saved = sqliteBusyTimeout();
    sqliteSetBusyTimeout(milliseconds);
    ReposDataAccess* c = openRepository(path);
    sqliteSetBusyTimeout(saved);
    return c;
}
// A new file with the named catalogue tables.
inline ReposDataAccess* newRepositoryWith(const std::string& path, std::initializer_list<const char*> tables,
                                          RepositoryStatusCallback* callback = nullptr) {
    ReposDataAccess* c = newRepository(path, callback);
    EXPECT_TRUE(c && c->beginTransaction(false) && c->createTable(CatalogExcerpt(tables).request()) &&
                c->endTransaction(true));
    return c;
}

// A plain SQLite connection for reading files back without the library.
class RawDb {
public:
    explicit RawDb(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path;
        sqlite3_busy_timeout(db_, 5000);
    }
    ~RawDb() { sqlite3_close_v2(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;
    bool exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }
    // Rows of a query, each a list of texts ("<null>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        std::vector<std::vector<std::string>> result;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            result.emplace_back();
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const char* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                result.back().push_back(t ? std::string(t, sqlite3_column_bytes(stmt, i)) : "<null>");
            }
        }
        sqlite3_finalize(stmt);
        return result;
    }
    std::string scalar(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r[0].empty() ? std::string("<none>") : r[0][0];
    }

private:
    sqlite3* db_ = nullptr;
};

// The values of one column of a cursor, read with getString, until next() stops.
inline std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column) {
    std::vector<std::string> values;
    while (cursor && cursor->next() == 1) values.push_back(cursor->getString(column).str());
    return values;
}

#endif
