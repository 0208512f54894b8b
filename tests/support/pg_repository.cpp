#include "pg_repository.h"

#include <gtest/gtest.h>

#include "repos_admin.h"
#include "repositoryimpl.h"

PgTestRepository::PgTestRepository() { setUp(); }

void PgTestRepository::withoutSpecFiles(ConfigScope& config) {
    // Only the catalogue's tables. Set for each step alone: repositories of one test come and go
    // in any order, and the setting is the process's.
    config.set("REPOS/TABLE_LIST_PATH", specDir_.path().c_str());
}

void PgTestRepository::setUp() {
    REPOS_REQUIRE_PG();
    prefix_ = uniqueTestPrefix('t');
    ConfigScope config;
    withoutSpecFiles(config);
    admin_ = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    ASSERT_NE(admin_, nullptr) << getRepositoryAdminError();
    const VqbString where(pgConnection());
    created_ = admin_->createRepository(where, VqbString(prefix_));
    ASSERT_TRUE(created_) << "creating the repository " << prefix_ << ": " << admin_->getErrorMessage().str();
    repository_ = static_cast<RepositoryImpl*>(admin_->connectRepository(where, VqbString(prefix_), true, nullptr));
    ASSERT_NE(repository_, nullptr) << "opening the repository " << prefix_ << ": " << admin_->getErrorMessage().str();
}

PgTestRepository::~PgTestRepository() {
    if (repository_) {
        // The triggers go with their tables; the function they call does not.
        if (refusalFunction_) exec("DROP FUNCTION IF EXISTS " + prefix_ + "refuse() CASCADE");
        repository_->release();
    }
    if (admin_ && created_) {
        ConfigScope config;
        withoutSpecFiles(config);
        EXPECT_TRUE(admin_->deleteRepository(VqbString(pgConnection()), VqbString(prefix_)))
            << "dropping the repository " << prefix_ << ": " << admin_->getErrorMessage().str();
    }
    if (admin_) admin_->release();
}

ReposDataAccess* PgTestRepository::connection() const { return repository_ ? repository_->connection() : nullptr; }

std::string PgTestRepository::uuid() const { return repository_ ? repository_->getRepositoryUuid().str() : ""; }

bool PgTestRepository::exec(const std::string& sql) {
    ReposDataAccess* c = connection();
    bool ok = c && c->paramExec(VqbString(sql), nullptr, 0);
    EXPECT_TRUE(ok) << sql << ": " << (c ? c->getLastErrorMessage().str() : std::string("no repository"));
    return ok;
}

bool PgTestRepository::refuseDeletes(const char* table) {
    if (!connection()) return false;
    if (!refusalFunction_) {
        refusalFunction_ = exec("CREATE FUNCTION " + prefix_ +
                                "refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                "'BEGIN RAISE EXCEPTION ''deletes refused''; END'");
        if (!refusalFunction_) return false;
    }
    return exec("CREATE TRIGGER refuse_delete BEFORE DELETE ON " + connection()->getTableName(table, true, -1).str() +
                " FOR EACH ROW EXECUTE FUNCTION " + prefix_ + "refuse()");
}

bool PgTestRepository::allowDeletes(const char* table) {
    return connection() && exec("DROP TRIGGER refuse_delete ON " + connection()->getTableName(table, true, -1).str());
}
