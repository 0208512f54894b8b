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
#include "repos_dataaccess.h"
#include "repos_tables.h"
#include "test_support.h"

// Records what a connection shows; refuses progress once `refuseAfter` lines were seen.
class RecordingCallback : public RepositoryStatusCallback {
public:
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

    std::vector<std::string> progress;
    std::vector<std::string> messages;
    int refuseAfter = -1;
};

// Releases a connection, statement or cursor at scope end.
template <class T>
struct Released {
    T* p;
    explicit Released(T* ptr = nullptr) : p(ptr) {}
    ~Released() {
        if (p) p->release();
    }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    T* operator->() const { return p; }
    T* get() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};
using Conn = Released<ReposDataAccess>;
using Cursor = Released<ReposDataAccessCursor>;
using Stmt = Released<ReposDataAccessStatement>;

// The records of the named catalogue tables, laid out like the catalogue (each table ended by
// an end record, a second end record after the last).
class CatalogExcerpt {
public:
    CatalogExcerpt(std::initializer_list<const char*> tables);
    // Drops the named column of the named table from the excerpt.
    void removeColumn(const char* table, const char* column);
    ReposTableRequest request(bool create = true, bool dropFirst = false) const;
    const ReposColumnDef* records() const { return records_.data(); }

private:
    void terminate();
    std::vector<ReposColumnDef> records_;
};

ReposDataAccess* newRepository(const std::string& path, RepositoryStatusCallback* callback = nullptr);
ReposDataAccess* openRepository(const std::string& path, RepositoryStatusCallback* callback = nullptr);
// A new file with the named catalogue tables.
ReposDataAccess* newRepositoryWith(const std::string& path, std::initializer_list<const char*> tables,
                                   RepositoryStatusCallback* callback = nullptr);

// A plain SQLite connection for reading files back without the library.
class RawDb {
public:
    explicit RawDb(const std::string& path);
    ~RawDb();
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;
    sqlite3* handle() const { return db_; }
    bool exec(const std::string& sql);
    // Rows of a query, each a list of texts ("<null>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    std::string scalar(const std::string& sql);

private:
    sqlite3* db_ = nullptr;
};

// The values of one column of a cursor, read with getString, until next() stops.
std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column);

#endif
