#include "common_rda_fixture.h"

#include <algorithm>

#include "pg_repository.h"

namespace {

template <class Repo>
class CommonRepositoryOn : public CommonTestRepository {
public:
    ReposDataAccess* connection() override { return repo_.connection(); }
    std::string uuid() override { return repo_.uuid(); }
    bool failDeletesFrom(const char* name) override;
    bool blockBegin() override;
    void unblockBegin() override;

private:
    Repo repo_;
};

template <>
bool CommonRepositoryOn<ReposTestRepository>::failDeletesFrom(const char* name) {
    return exec("CREATE TRIGGER refuse_delete_" + std::string(name) + " BEFORE DELETE ON " + table(name) +
                " BEGIN SELECT RAISE(ABORT, 'deletes refused'); END");
}
// A transaction opened behind the connection's back makes its own BEGIN fail.
template <>
bool CommonRepositoryOn<ReposTestRepository>::blockBegin() { return exec("BEGIN"); }
template <>
void CommonRepositoryOn<ReposTestRepository>::unblockBegin() { exec("ROLLBACK"); }

template <>
bool CommonRepositoryOn<PgTestRepository>::failDeletesFrom(const char* name) { return repo_.refuseDeletes(name); }
// Nothing short of a broken connection makes the server refuse a BEGIN.
template <>
bool CommonRepositoryOn<PgTestRepository>::blockBegin() { return false; }
template <>
void CommonRepositoryOn<PgTestRepository>::unblockBegin() {}

}  // namespace

std::unique_ptr<CommonTestRepository> makeSqliteCommonRepository() {
    return std::make_unique<CommonRepositoryOn<ReposTestRepository>>();
}

std::unique_ptr<CommonTestRepository> makePostgresCommonRepository() {
    return std::make_unique<CommonRepositoryOn<PgTestRepository>>();
}

std::string CommonTestRepository::table(const char* name) { return connection()->getTableName(name, true, -1).str(); }

ReposDataAccessStatement* CommonTestRepository::prepare(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposDataAccessStatement* statement = connection()->createStatement(sql);
    int i = 0;
    for (const VqbDatavar& value : values)
        if (statement) statement->setParameter(i++, value);
    return statement;
}

bool CommonTestRepository::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> statement(prepare(sql, values));
    if (statement && statement->execute()) return true;
    ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
    return false;
}

Rows CommonTestRepository::rows(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> statement(prepare(sql, values));
    ReposHeld<ReposDataAccessCursor> cursor(statement ? statement->select() : nullptr);
    if (!cursor) ADD_FAILURE() << sql << ": " << connection()->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}

int CommonTestRepository::count(const char* name, const std::string& condition,
                                std::initializer_list<VqbDatavar> values) {
    Rows result = rows("SELECT COUNT(*) FROM " + table(name) + (condition.empty() ? "" : " WHERE " + condition), values);
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
    ReposHeld<ReposDataAccessCursor> held(cursor);
    return cursorRows(cursor);
}

Rows sorted(Rows rows) {
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::string cell(const Rows& rows, size_t row, size_t column) {
    return row < rows.size() && column < rows[row].size() ? rows[row][column] : "<missing>";
}
