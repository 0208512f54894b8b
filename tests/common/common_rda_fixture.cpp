#include "common_rda_fixture.h"

#include <algorithm>

#include "pg_repository.h"

namespace {

class SqliteCommonRepository : public CommonTestRepository {
public:
    ReposDataAccess* connection() override { return repo_.connection(); }
    std::string uuid() override { return repo_.uuid(); }
    bool failDeletesFrom(const char* name) override {
        return exec("CREATE TRIGGER refuse_delete_" + std::string(name) + " BEFORE DELETE ON " + table(name) +
                    " BEGIN SELECT RAISE(ABORT, 'deletes refused'); END");
    }
    // A transaction opened behind the connection's back makes its own BEGIN fail.
    bool blockBegin() override { return exec("BEGIN"); }
    void unblockBegin() override { exec("ROLLBACK"); }

private:
    ReposTestRepository repo_;
};

class PostgresCommonRepository : public CommonTestRepository {
public:
    ReposDataAccess* connection() override { return repo_.connection(); }
    std::string uuid() override { return repo_.uuid(); }
    bool failDeletesFrom(const char* name) override { return repo_.refuseDeletes(name); }
    // Nothing short of a broken connection makes the server refuse a BEGIN.
    bool blockBegin() override { return false; }
    void unblockBegin() override {}

private:
    PgTestRepository repo_;
};

}  // namespace

std::unique_ptr<CommonTestRepository> makeSqliteCommonRepository() {
    return std::make_unique<SqliteCommonRepository>();
}

std::unique_ptr<CommonTestRepository> makePostgresCommonRepository() {
    return std::make_unique<PostgresCommonRepository>();
}

std::string CommonTestRepository::table(const char* name) { return connection()->getTableName(name, true, -1).str(); }

bool CommonTestRepository::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> statement(connection()->createStatement(sql));
    if (!statement) {
        ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
        return false;
    }
    int i = 0;
    for (const VqbDatavar& value : values) statement->setParameter(i++, value);
    if (statement->execute()) return true;
    ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
    return false;
}

Rows CommonTestRepository::rows(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> statement(connection()->createStatement(sql));
    if (!statement) {
        ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
        return {};
    }
    int i = 0;
    for (const VqbDatavar& value : values) statement->setParameter(i++, value);
    ReposHeld<ReposDataAccessCursor> cursor(statement->select());
    if (!cursor) ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}

int CommonTestRepository::count(const char* name, const std::string& condition,
                                std::initializer_list<VqbDatavar> values) {
    std::string sql = "SELECT COUNT(*) FROM " + table(name);
    if (!condition.empty()) sql += " WHERE " + condition;
    Rows result = rows(sql, values);
    return result.size() == 1 ? std::stoi(result[0][0]) : -1;
}

bool CommonTestRepository::addFolder(int id, int parent, const std::string& name) {
    std::string normalised = name;
    std::transform(normalised.begin(), normalised.end(), normalised.begin(), ::tolower);
    return exec("INSERT INTO " + table("FOLDER") + " (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?, ?, ?, ?)",
                {VqbDatavar(id), VqbDatavar(parent), VqbDatavar(name), VqbDatavar(normalised)});
}

Rows take(ReposDataAccessCursor* cursor) {
    EXPECT_NE(cursor, nullptr);
    Rows result = cursorRows(cursor);
    if (cursor) cursor->release();
    return result;
}

Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string cell(const Rows& rows, size_t row, size_t column) {
    if (row >= rows.size() || column >= rows[row].size()) return "<missing>";
    return rows[row][column];
}
