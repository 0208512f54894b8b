#include "db_fixture.h"

#include <cstring>

namespace {
const ReposColumnDef kEndRecord = {"", nullptr, 0, 0, 0, 0, 0, 0, nullptr};
}

CatalogExcerpt::CatalogExcerpt(std::initializer_list<const char*> tables) {
    for (const char* table : tables) {
        const ReposColumnDef* first = findReposTable(table);
        EXPECT_NE(first, nullptr) << table;
        if (!first) continue;
        for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r) records_.push_back(*r);
        records_.push_back(kEndRecord);
    }
    terminate();
}

void CatalogExcerpt::terminate() {
    if (records_.empty() || !isReposEndRecord(&records_.back())) records_.push_back(kEndRecord);
    records_.push_back(kEndRecord);
}

void CatalogExcerpt::removeColumn(const char* table, const char* column) {
    for (auto it = records_.begin(); it != records_.end(); ++it) {
        if (!isReposEndRecord(&*it) && std::strcmp(it->table, table) == 0 && it->column &&
            std::strcmp(it->column, column) == 0) {
            records_.erase(it);
            return;
        }
    }
    ADD_FAILURE() << "no column " << table << "." << column;
}

ReposTableRequest CatalogExcerpt::request(bool create, bool dropFirst) const {
    ReposTableRequest r;
    r.create = create;
    r.dropFirst = dropFirst;
    r.start = records_.data();
    return r;
}

ReposDataAccess* newRepository(const std::string& path, RepositoryStatusCallback* callback) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, path, "", callback, error);
    EXPECT_NE(c, nullptr) << error.str();
    return c;
}

ReposDataAccess* openRepository(const std::string& path, RepositoryStatusCallback* callback) {
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, path, "", callback, error);
    EXPECT_NE(c, nullptr) << error.str();
    return c;
}

ReposDataAccess* newRepositoryWith(const std::string& path, std::initializer_list<const char*> tables,
                                   RepositoryStatusCallback* callback) {
    ReposDataAccess* c = newRepository(path, callback);
    if (!c) return nullptr;
    CatalogExcerpt excerpt(tables);
    EXPECT_TRUE(c->beginTransaction(false));
    EXPECT_TRUE(c->createTable(excerpt.request())) << c->getLastErrorMessage().str();
    EXPECT_TRUE(c->endTransaction(true)) << c->getLastErrorMessage().str();
    return c;
}

RawDb::RawDb(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot open " << path;
    sqlite3_busy_timeout(db_, 5000);
}

RawDb::~RawDb() { sqlite3_close_v2(db_); }

bool RawDb::exec(const std::string& sql) {
    char* error = nullptr;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
    if (error) sqlite3_free(error);
    return rc == SQLITE_OK;
}

std::vector<std::vector<std::string>> RawDb::rows(const std::string& sql) {
    std::vector<std::vector<std::string>> result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
        return result;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const unsigned char* t = sqlite3_column_text(stmt, i);
            row.push_back(t ? std::string(reinterpret_cast<const char*>(t), sqlite3_column_bytes(stmt, i))
                            : std::string("<null>"));
        }
        result.push_back(row);
    }
    sqlite3_finalize(stmt);
    return result;
}

std::string RawDb::scalar(const std::string& sql) {
    auto r = rows(sql);
    return r.empty() || r[0].empty() ? std::string("<none>") : r[0][0];
}

std::vector<std::string> columnTexts(ReposDataAccessCursor* cursor, int column) {
    std::vector<std::string> values;
    while (cursor && cursor->next() == 1) values.push_back(cursor->getString(column).str());
    return values;
}
