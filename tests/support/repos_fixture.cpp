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

std::string text(ReposDataAccessCursor* cursor, int i) {
    return cursor->isNull(i) ? std::string("<null>") : cursor->getString(i).str();
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
    if (!connection_) return false;
    ReposHeld<ReposDataAccessStatement> stmt(connection_->createStatement(sql));
    if (!stmt) {
        ADD_FAILURE() << sql << ": " << connection_->getLastErrorMessage().str();
        return false;
    }
    int i = 0;
    for (const VqbDatavar& v : values) stmt->setParameter(i++, v);
    if (!stmt->execute()) {
        ADD_FAILURE() << sql << ": " << stmt->getErrorMessage().str();
        return false;
    }
    return true;
}

std::vector<std::vector<std::string>> ReposTestRepository::rows(const std::string& sql,
                                                                std::initializer_list<VqbDatavar> values) {
    if (!connection_) return {};
    ReposHeld<ReposDataAccessStatement> stmt(connection_->createStatement(sql));
    if (!stmt) {
        ADD_FAILURE() << sql << ": " << connection_->getLastErrorMessage().str();
        return {};
    }
    int i = 0;
    for (const VqbDatavar& v : values) stmt->setParameter(i++, v);
    ReposHeld<ReposDataAccessCursor> cursor(stmt->select());
    if (!cursor) {
        ADD_FAILURE() << sql << ": " << stmt->getErrorMessage().str();
        return {};
    }
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
        for (int i = 0; i < cursor->getNumCols(); ++i) row.push_back(text(cursor, i));
        result.push_back(row);
    }
    return result;
}
