// No exception leaves an entry point: with the Nth allocation of an operation failing, each
// family answers its failure value and a text instead of throwing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>

#include "repadmimpl.h"
#include "repos_common_rda.h"
#include "repos_admin.h"
#include "repos_held.h"
#include "repos_schema.h"
#include "repositoryimpl.h"
#include "test_support.h"

// This program's allocation functions: once armed, the Nth allocation of the arming thread fails
// (bad_alloc, or null for the nothrow forms).
namespace {
thread_local long t_countdown = 0;
thread_local bool t_fired = false;

void* allocate(std::size_t size) noexcept {
    if (t_countdown > 0 && --t_countdown == 0) {
        t_fired = true;
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}
void* allocateOrThrow(std::size_t size) {
    void* p = allocate(size);
    if (!p) throw std::bad_alloc();
    return p;
}
}  // namespace

void* operator new(std::size_t size) { return allocateOrThrow(size); }
void* operator new[](std::size_t size) { return allocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

// Fresh objects for each run, so a text left by an earlier run cannot pass for this one's.
struct Objects {
    ReposHeld<RepositoryAdminImpl> admin;
    ReposHeld<RepositoryImpl> repository;
    ReposHeld<CommonRepositoryDataAccess> common;
    ReposDataAccess* db() const { return repository->connection(); }
};

// One entry point: run answers whether it succeeded; error is the text it left for the caller.
struct Entry {
    const char* name;
    std::function<bool(Objects&)> run;
    std::function<std::string(Objects&)> error;
};

class Guard : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        config_ = new ConfigScope();
        config_->set("REPOS/TABLE_LIST_PATH", dir_->path().c_str());
        Objects made = objects();
        ASSERT_TRUE(made.admin->createFileRepository(file().c_str())) << made.admin->getErrorMessage().str();
    }
    static void TearDownTestSuite() {
        delete config_;
        delete dir_;
    }
    static std::string file() { return dir_->file("guard.db"); }
    static Objects objects() {
        Objects made;
        made.admin.reset(static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr)));
        if (fileExists(file()))
            made.repository.reset(static_cast<RepositoryImpl*>(made.admin->openFileRepository(file().c_str(), false)));
        if (made.repository) made.common.reset(made.repository->createCommonRepositoryDataAccess());
        return made;
    }

    // Fails allocation 1, 2, 3, 5, 8 ... of the entry until one run needs fewer. Each failed run
    // must leave a text; some must be the guard's own, or the sweep never reached a throw.
    static void sweep(const Entry& entry) {
        SCOPED_TRACE(entry.name);
        int guarded = 0;
        for (long n = 1, step = 1;; n += step, step = n - step) {
            Objects made = objects();
            ASSERT_NE(made.repository, nullptr);
            t_fired = false;
            t_countdown = n;
            bool ok = entry.run(made);
            t_countdown = 0;
            if (!t_fired) {
                EXPECT_TRUE(ok) << "without a failed allocation";
                break;
            }
            if (ok) continue;
            std::string text = entry.error(made);
            EXPECT_FALSE(text.empty()) << "allocation " << n;
            if (text == "out of memory") ++guarded;
        }
        EXPECT_GT(guarded, 0);
    }

    static TempDir* dir_;
    static ConfigScope* config_;
};

TempDir* Guard::dir_ = nullptr;
ConfigScope* Guard::config_ = nullptr;

// The arguments are made before the sweep: only the entry point's own allocations may fail.
TEST_F(Guard, EveryFamilyAnswersItsFailureValueWithAText) {
    const VqbString job("JOB"), key("guard"), longName("A_TABLE_NAME_LONGER_THAN_INLINE_TEXT"), path(file());
    const VqbString connection = RepositoryAdminImpl::fileConnection(path);
    const VqbString select("SELECT I_TYPE, I_VERS FROM INFO");
    VqbString text;
    auto dbError = [](Objects& o) { return o.db()->getLastErrorMessage().str(); };
    auto adminError = [](Objects& o) { return o.admin->getErrorMessage().str(); };
    auto repositoryError = [](Objects& o) { return o.repository->getErrorMessage().str(); };
    auto cursorRead = [&](Objects& o, bool cache) {
        ReposHeld<ReposDataAccessCursor> cursor(o.db()->paramSelect(select, 0));
        return cursor && (!cache || cursor->cacheAll()) && cursor->next() == 1;
    };
    const Entry entries[] = {
        {"connection select", [&](Objects& o) { return cursorRead(o, false); }, dbError},
        {"cursor cache", [&](Objects& o) { return cursorRead(o, true); }, dbError},
        {"column list", [&](Objects& o) { return !o.db()->getColumnList(job, "j").isEmpty(); }, dbError},
        {"typed read", [&](Objects& o) { return reposHold(o.common->listRules()) != nullptr; },
         [](Objects& o) { return o.common->getErrorMessage().str(); }},
        {"key value write", [&](Objects& o) { return o.repository->setKeyValue(key, longName); }, repositoryError},
        {"table name", [&](Objects& o) { return o.repository->getTableName(longName, true, &text) && !text.isEmpty(); },
         repositoryError},
        {"open file", [&](Objects& o) { return reposHold(o.admin->openFileRepository(path, false)) != nullptr; },
         adminError},
        {"connect",
         [&](Objects& o) {
             return reposHold(o.admin->connectRepository(connection, VqbString(""), false, nullptr)) != nullptr;
         },
         adminError},
        {"create administrator",
         [](Objects&) { return reposHold(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr)) != nullptr; },
         [](Objects&) { return std::string(getRepositoryAdminError()); }},
    };
    for (const Entry& entry : entries) sweep(entry);
}

// An entry point with no object to keep a text: the failure value and a level-5 entry.
TEST_F(Guard, SchemaDumpLogsItsFailure) {
    const std::string schema = dir_->file("schema.txt");
    LogCapture log(5);
    sweep({"schema dump", [&](Objects&) { return writeRepositorySchemaInfo(schema.c_str(), true, true, false) == 0; },
           [&log](Objects&) { return log.contains("out of memory", 5) ? std::string("out of memory") : "logged"; }});
}

}  // namespace
