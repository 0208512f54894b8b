#include "repos_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "rda_factory.h"
#include "sql_record.h"
#include "repos_admin.h"
#include "vqbutil.h"

namespace {

const char* const kStatementWords[] = {"INSERT", "UPDATE", "DELETE"};

// The catalogue is made once per process and copied for each SQLite repository: creating well over
// a hundred tables with their indexes for every test would dominate the run.
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

// Only the catalogue's tables. Set for each step alone: repositories of one test come and go in any
// order, and the setting is the process's.
void withoutSpecFiles(ConfigScope& config, const TempDir& empty) {
    config.set("REPOS/TABLE_LIST_PATH", empty.path().c_str());
}

}  // namespace

std::string placeName(const ::testing::TestParamInfo<Place>& info) {
    static const char* const names[] = {"Direct", "File", "Postgres"};
    return names[static_cast<int>(info.param)];
}

std::string specDocument(const std::string& body) {
    return "<velqorindocument class=\"ReposTableCreateSpec\" version=\"1.0\">" + body + "</velqorindocument>";
}

TestRepository::TestRepository(Place place, const std::string& prefixTail)
    : place_(place), prefix_(place == Place::Postgres ? prefixTail : std::string()) {
    setUp();
}

void TestRepository::setUp() {
    if (place_ == Place::Postgres) {
        REPOS_REQUIRE_PG();
        prefix_ = uniqueTestPrefix('t') + prefix_;
        ConfigScope config;
        withoutSpecFiles(config, specDir_);
        admin_.reset(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
        ASSERT_NE(admin_, nullptr) << getRepositoryAdminError();
        const VqbString where(pgConnection());
        if (!admin_->createRepository(where, VqbString(prefix_))) {
            ADD_FAILURE() << "creating the repository " << prefix_ << ": " << admin_->getErrorMessage().str();
            prefix_.clear();
            return;
        }
        repository_.reset(static_cast<RepositoryImpl*>(admin_->connectRepository(where, VqbString(prefix_), true, nullptr)));
        ASSERT_NE(repository_, nullptr) << "opening " << prefix_ << ": " << admin_->getErrorMessage().str();
        uuid_ = repository_->getRepositoryUuid().str();
        return;
    }
    std::string source = templateFile();
    if (source.empty()) return;
    std::error_code ec;
    std::filesystem::copy_file(source, file(), ec);
    ASSERT_FALSE(ec) << "copying the template repository: " << ec.message();
    VqbString error;
    own_.reset(place_ == Place::Direct
                   ? createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, file(), "", nullptr, error)
                   : createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=SQLITE;FILE=" + file(), "", nullptr, error));
    ASSERT_NE(own_, nullptr) << "opening the repository: " << error.str();
    uuid_ = vqbNewUUID().str();
    exec("INSERT INTO {INFO} (I_TYPE, I_VERS, I_UUID, I_MVER) VALUES (?, ?, ?, ?)",
         {VqbDatavar("VQREPOSITORY"), VqbDatavar(8), VqbDatavar(uuid_), VqbDatavar(1)});
}

TestRepository::~TestRepository() {
    // The triggers go with their tables; the function they call does not.
    if (repository_ && refusalFunction_) exec("DROP FUNCTION IF EXISTS " + prefix_ + "refuse() CASCADE");
    repository_.reset();
    if (admin_ && !prefix_.empty()) {
        ConfigScope config;
        withoutSpecFiles(config, specDir_);
        EXPECT_TRUE(admin_->deleteRepository(VqbString(pgConnection()), VqbString(prefix_)))
            << "dropping the repository " << prefix_ << ": " << admin_->getErrorMessage().str();
    }
}

ReposDataAccess* TestRepository::connection() const {
    return repository_ ? repository_->connection() : own_.get();
}

ReposDataAccess* TestRepository::openAnother() const {
    VqbString error;
    ReposDataAccess* made = nullptr;
    switch (place_) {
        case Place::Direct:
            made = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, file(), "", nullptr, error);
            break;
        case Place::File:
            made = createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=SQLITE;FILE=" + file(), "", nullptr, error);
            break;
        case Place::Postgres:
            made = createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(pgConnection()), VqbString(prefix_),
                                         nullptr, error);
            break;
    }
    EXPECT_NE(made, nullptr) << "opening another connection: " << error.str();
    return made;
}

long rawCount(TestRepository& repo, const char* table, const std::string& condition) {
    SqlRecordPause pause;
    const std::string sql = "SELECT COUNT(*) FROM " + repo.table(table) + condition;
    if (repo.place() != Place::Postgres) return std::atol(RawDb(repo.file()).scalar(sql).c_str());
    DacHeld raw(dacOpen(pgConnection()));
    return raw ? std::atol(dacScalar(raw.get(), sql).c_str()) : -1;
}

Rows rawRows(TestRepository& repo, const std::string& sql) {
    if (repo.place() != Place::Postgres) return RawDb(repo.file()).rows(sql);
    DacHeld raw(dacOpen(pgConnection()));
    EXPECT_TRUE(raw) << "no connection of its own to the server";
    return raw ? dacRows(raw.get(), sql) : Rows();
}

std::string TestRepository::table(const char* name) const {
    return connection() ? connection()->getTableName(name, true, -1).str() : std::string(name);
}

std::string TestRepository::expand(const std::string& sql) const {
    static const std::regex braced("\\{([A-Z][A-Z0-9_]*)\\}");
    std::string out;
    auto tail = sql.cbegin();
    for (std::sregex_iterator it(sql.begin(), sql.end(), braced), end; it != end; ++it) {
        out.append(tail, sql.cbegin() + it->position()).append(table((*it)[1].str().c_str()));
        tail = sql.cbegin() + it->position() + it->length();
    }
    return out.append(tail, sql.cend());
}

ReposDataAccessStatement* TestRepository::prepare(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    SqlRecordPause pause;
    std::string text = expand(sql);
    ReposHeld<ReposDataAccessStatement> statement(connection() ? connection()->createStatement(text) : nullptr);
    int i = 0;
    for (const VqbDatavar& value : values)
        if (statement && !statement->setParameter(i++, value)) statement.reset();
    if (!statement) ADD_FAILURE() << text << ": " << (connection() ? connection()->getLastErrorMessage().str() : "no repository");
    return statement.release();
}

bool TestRepository::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    SqlRecordPause pause;
    ReposHeld<ReposDataAccessStatement> statement(prepare(sql, values));
    bool ok = statement && statement->execute();
    EXPECT_TRUE(ok || !statement) << expand(sql) << ": " << connection()->getLastErrorMessage().str();
    return ok;
}

Rows TestRepository::rows(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    SqlRecordPause pause;
    ReposHeld<ReposDataAccessStatement> statement(prepare(sql, values));
    ReposHeld<ReposDataAccessCursor> cursor(statement ? statement->select() : nullptr);
    EXPECT_TRUE(cursor || !statement) << expand(sql) << ": " << connection()->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}

int TestRepository::count(const char* name, const std::string& condition, std::initializer_list<VqbDatavar> values) {
    Rows result = rows("SELECT COUNT(*) FROM " + table(name) + (condition.empty() ? "" : " WHERE " + condition), values);
    return result.size() == 1 ? std::stoi(result[0][0]) : -1;
}

bool TestRepository::addFolder(int id, int parent, const std::string& name) {
    VqbString normalised(name);
    normalised.lowercase();
    return exec("INSERT INTO {FOLDER} (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (?, ?, ?, ?)",
                {VqbDatavar(id), VqbDatavar(parent), VqbDatavar(name), VqbDatavar(normalised)});
}

bool TestRepository::refuse(Refused kind, const char* name) {
    const std::string word = kStatementWords[static_cast<int>(kind)];
    const std::string trigger = "refuse_" + word + "_" + name;
    if (place_ != Place::Postgres)
        return exec("CREATE TRIGGER " + trigger + " BEFORE " + word + " ON " + table(name) +
                    " BEGIN SELECT RAISE(ABORT, '" + word + " refused'); END");
    if (!refusalFunction_) {
        refusalFunction_ = exec("CREATE FUNCTION " + prefix_ +
                                "refuse() RETURNS trigger LANGUAGE plpgsql AS "
                                "'BEGIN RAISE EXCEPTION ''refused''; END'");
        if (!refusalFunction_) return false;
    }
    return exec("CREATE TRIGGER " + trigger + " BEFORE " + word + " ON " + table(name) + " FOR EACH ROW EXECUTE FUNCTION " +
                prefix_ + "refuse()");
}

bool TestRepository::allow(Refused kind, const char* name) {
    const std::string trigger = "refuse_" + std::string(kStatementWords[static_cast<int>(kind)]) + "_" + name;
    return exec("DROP TRIGGER " + trigger + (place_ == Place::Postgres ? " ON " + table(name) : std::string()));
}

// A transaction opened behind the connection's back makes its own BEGIN fail; nothing short of a
// broken connection makes the server refuse one.
bool TestRepository::blockBegin() { return place_ != Place::Postgres && exec("BEGIN"); }

void TestRepository::unblockBegin() {
    if (place_ != Place::Postgres) exec("ROLLBACK");
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
    SqlRecordPause pause;
    VqbString error;
    raw_.reset(place() == Place::Postgres
                   ? createReposDataAccess(REPOS_BACKEND_CONNECTOR, where_, prefix_, nullptr, error)
                   : createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, where_, "", nullptr, error));
    EXPECT_NE(raw_.get(), nullptr) << error.str();
    return raw_.get();
}

std::vector<std::vector<std::string>> RepositoryTest::rows(const std::string& sql) {
    SqlRecordPause pause;
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
    SqlRecordPause pause;
    ReposDataAccess* c = raw();
    std::string name = c ? c->getTableName(table, true, -1).str() : std::string(table);
    raw_.reset();
    return name;
}

std::vector<std::string> RepositoryTest::existingTables(const std::vector<std::string>& tables) {
    SqlRecordPause pause;
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
    SqlRecordPause pause;
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
    SqlRecordPause pause;
    bool ok = db() && db()->paramExec(sql, nullptr, 0);
    EXPECT_TRUE(ok) << sql << ": " << (db() ? db()->getLastErrorMessage().str() : std::string("not open"));
    return ok;
}

std::vector<std::vector<std::string>> OpenedRepository::rows(const std::string& sql) {
    SqlRecordPause pause;
    if (!db()) return {};
    ReposHeld<ReposDataAccessCursor> cursor(db()->paramSelect(sql, 0));
    EXPECT_NE(cursor.get(), nullptr) << sql << ": " << db()->getLastErrorMessage().str();
    return cursorRows(cursor.get());
}

bool createNcoaTables(ReposDataAccess* connection) {
    SqlRecordPause pause;
    ReposDataAccessCursor* probe =
        connection->paramSelect("SELECT COUNT(*) FROM " + connection->getTableName("NCOAPA", true, -1), 0);
    if (probe) {
        probe->release();
        return true;
    }
    ReposTableRequest request;
    request.catalog = 1;
    request.create = 1;
    request.primaryKey = 1;
    return connection->createTable(request);
}
