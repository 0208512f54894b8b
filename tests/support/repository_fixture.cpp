#include "repository_fixture.h"

#include "rda_factory.h"

std::string placeName(const ::testing::TestParamInfo<Place>& info) {
    static const char* const names[] = {"Direct", "File", "Postgres"};
    return names[static_cast<int>(info.param)];
}

std::string specDocument(const std::string& body) {
    return "<velqorindocument class=\"ReposTableCreateSpec\" version=\"1.0\">" + body + "</velqorindocument>";
}

void RepositoryTest::SetUp() {
    if (place() == Place::Postgres) {
        REPOS_REQUIRE_PG();
        where_ = pgConnection();
        // Each test has tables of its own in the shared test database.
        prefix_ = uniqueTestPrefix('T');
    } else {
        where_ = dir_.file("repository.db");
    }
    config_.set("REPOS/TABLE_LIST_PATH", specDir_.path().c_str());
    admin_ = static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    ASSERT_NE(admin_, nullptr);
}

void RepositoryTest::TearDown() {
    if (admin_ && created_ && place() == Place::Postgres) drop();
    if (admin_) admin_->release();
}

void RepositoryTest::writeSpec(const std::string& name, const std::string& body) {
    writeFile(specDir_.file(name), specDocument(body));
}

VqbString RepositoryTest::error() { return directError_.isEmpty() ? admin_->getErrorMessage() : directError_; }

bool RepositoryTest::create() {
    created_ = true;
    directError_ = "";
    switch (place()) {
        case Place::Direct: {
            RepositoryImpl* repository = new RepositoryImpl();
            VqbString error;
            if (!repository->open(true, admin_, REPOS_ACCESS_SQLITE_FILE, where_, "", "", nullptr, error)) {
                repository->release();
                directError_ = error;
                return false;
            }
            bool ok = admin_->createTablesIn(repository, VqbString());
            repository->release();
            return ok;
        }
        case Place::File:
            return admin_->createFileRepository(where_);
        case Place::Postgres:
            return admin_->createRepository(where_, prefix_);
    }
    return false;
}

bool RepositoryTest::drop() {
    if (place() != Place::Direct) {
        VqbString connection = place() == Place::File ? RepositoryAdminImpl::fileConnection(where_) : VqbString(where_);
        return admin_->deleteRepository(connection, prefix_);
    }
    RepositoryImpl* repository = open(false);
    if (!repository) return false;
    bool ok = admin_->dropTablesIn(repository);
    repository->release();
    return ok;
}

RepositoryImpl* RepositoryTest::open(bool validate) {
    Repository* repository = place() == Place::Postgres ? admin_->connectRepository(where_, prefix_, validate, nullptr)
                                                        : admin_->openFileRepository(where_, validate);
    return static_cast<RepositoryImpl*>(repository);
}

ReposDataAccess* RepositoryTest::raw() {
    VqbString error;
    raw_.reset(place() == Place::Postgres
                   ? createReposDataAccess(REPOS_BACKEND_CONNECTOR, where_, prefix_, nullptr, error)
                   : createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, where_, "", nullptr, error));
    EXPECT_NE(raw_.get(), nullptr) << error.str();
    return raw_.get();
}

std::vector<std::vector<std::string>> RepositoryTest::rows(const std::string& sql) {
    ReposDataAccess* c = raw();
    if (!c) return {};
    ReposHeld<ReposDataAccessCursor> cursor(c->paramSelect(sql, 0));
    EXPECT_NE(cursor.get(), nullptr) << sql << ": " << c->getLastErrorMessage().str();
    auto result = cursorRows(cursor.get());
    cursor.reset();
    raw_.reset();
    return result;
}

std::string RepositoryTest::t(const char* table) {
    ReposDataAccess* c = raw();
    std::string name = c ? c->getTableName(table, true, -1).str() : std::string(table);
    raw_.reset();
    return name;
}

std::vector<std::string> RepositoryTest::existingTables(const std::vector<std::string>& tables) {
    std::vector<std::string> found;
    ReposDataAccess* c = raw();
    if (!c) return found;
    for (const std::string& table : tables) {
        ColumnSpecList columns;
        if (c->getTableColumns(table, &columns) > 0) found.push_back(table);
    }
    raw_.reset();
    return found;
}

bool RepositoryTest::exec(const std::string& sql) {
    ReposDataAccess* c = raw();
    bool ok = c && c->paramExec(sql, nullptr, 0);
    EXPECT_TRUE(ok) << sql << ": " << (c ? c->getLastErrorMessage().str() : std::string());
    raw_.reset();
    return ok;
}

OpenedRepository::OpenedRepository(bool withCatalogue) : file_(dir.file("opened.db")) {
    config.set("REPOS/TABLE_LIST_PATH", specDir.path().c_str());
    if (!reopen()) return;
    if (!withCatalogue) return;
    ReposTableRequest all;
    all.create = 1;
    bool ok = db()->beginTransaction(false) && db()->createTable(all);
    EXPECT_TRUE(ok) << db()->getLastErrorMessage().str();
    db()->endTransaction(ok);
}

OpenedRepository::~OpenedRepository() {
    if (repository_) repository_->release();
}

void OpenedRepository::writeSpec(const std::string& name, const std::string& body) {
    writeFile(specDir.file(name), specDocument(body));
}

bool OpenedRepository::reopen(VqbString* error) {
    if (repository_) repository_->release();
    repository_ = new RepositoryImpl();
    VqbString text;
    if (repository_->open(true, nullptr, REPOS_ACCESS_SQLITE_FILE, file_, "", "", nullptr, text)) return true;
    repository_->release();
    repository_ = nullptr;
    if (error)
        *error = text;
    else
        ADD_FAILURE() << "opening " << file_ << ": " << text.str();
    return false;
}

bool OpenedRepository::exec(const std::string& sql) {
    bool ok = db() && db()->paramExec(sql, nullptr, 0);
    EXPECT_TRUE(ok) << sql << ": " << (db() ? db()->getLastErrorMessage().str() : std::string("not open"));
    return ok;
}

std::vector<std::vector<std::string>> OpenedRepository::rows(const std::string& sql) {
    if (!db()) return {};
    ReposHeld<ReposDataAccessCursor> cursor(db()->paramSelect(sql, 0));
    EXPECT_NE(cursor.get(), nullptr) << sql << ": " << db()->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}
