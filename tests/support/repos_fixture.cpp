#include "repos_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "rda_factory.h"
#include "vqbutil.h"

namespace {

// The catalogue is made once per process and copied for each repository: creating well over a
// hundred tables with their indexes for every test would dominate the run.
std::string templateFile() {
    static TempDir dir;
    static std::string file = [] {
        std::string path = dir.file("template.db");
        VqbString error;
        ReposHeld<ReposDataAccess> c(createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, path, "", nullptr, error));
        if (!c) {
            ADD_FAILURE() << "creating the template repository: " << error.str();
            return std::string();
        }
        ReposTableRequest all;
        all.create = 1;
        bool ok = c->beginTransaction(false) && c->createTable(all);
        if (!ok) ADD_FAILURE() << "creating the catalogue tables: " << c->getLastErrorMessage().str();
        if (!c->endTransaction(ok)) ok = false;
        return ok ? path : std::string();
    }();
    return file;
}

// A prepared statement with its values bound in order; null (and a test failure) on error.
ReposDataAccessStatement* prepare(ReposDataAccess* c, const std::string& sql,
                                  std::initializer_list<VqbDatavar> values) {
    ReposDataAccessStatement* stmt = c ? c->createStatement(sql) : nullptr;
    if (!stmt && c) ADD_FAILURE() << sql << ": " << c->getLastErrorMessage().str();
    int i = 0;
    for (const VqbDatavar& v : values)
        if (stmt) stmt->setParameter(i++, v);
    return stmt;
}

}  // namespace

ReposTestRepository::ReposTestRepository() {
    std::string source = templateFile();
    if (source.empty()) return;
    std::error_code ec;
    std::filesystem::copy_file(source, file(), ec);
    if (ec) {
        ADD_FAILURE() << "copying the template repository: " << ec.message();
        return;
    }
    VqbString error;
    connection_.reset(createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, file(), "", nullptr, error));
    if (!connection_) {
        ADD_FAILURE() << "opening the repository: " << error.str();
        return;
    }
    uuid_ = vqbNewUUID().str();
    exec("INSERT INTO INFO (I_TYPE, I_VERS, I_UUID, I_MVER) VALUES (?, ?, ?, ?)",
         {VqbDatavar("VQREPOSITORY"), VqbDatavar(8), VqbDatavar(uuid_), VqbDatavar(1)});
}

ReposTestRepository::~ReposTestRepository() = default;

bool ReposTestRepository::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> stmt(prepare(connection_.get(), sql, values));
    bool ok = stmt && stmt->execute();
    if (stmt && !ok) ADD_FAILURE() << sql << ": " << stmt->getErrorMessage().str();
    return ok;
}

std::vector<std::vector<std::string>> ReposTestRepository::rows(const std::string& sql,
                                                                std::initializer_list<VqbDatavar> values) {
    ReposHeld<ReposDataAccessStatement> stmt(prepare(connection_.get(), sql, values));
    ReposHeld<ReposDataAccessCursor> cursor(stmt ? stmt->select() : nullptr);
    if (stmt && !cursor) ADD_FAILURE() << sql << ": " << stmt->getErrorMessage().str();
    return cursorRows(cursor.get());
}

bool ReposTestRepository::addFolder(int id, int parent, const std::string& name) {
    VqbString normalised(name);
    normalised.lowercase();
    return exec("INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?, ?, ?, ?)",
                {VqbDatavar(id), VqbDatavar(parent), VqbDatavar(name), VqbDatavar(normalised)});
}

std::vector<std::vector<std::string>> cursorRows(ReposDataAccessCursor* cursor) {
    std::vector<std::vector<std::string>> result;
    while (cursor && cursor->next() == 1) {
        std::vector<std::string> row;
        for (int i = 0; i < cursor->getNumCols(); ++i)
            row.push_back(cursor->isNull(i) ? std::string("<null>") : cursor->getString(i).str());
        result.push_back(row);
    }
    return result;
}
