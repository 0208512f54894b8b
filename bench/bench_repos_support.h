// The scratch folder and the administrator of the benchmarks that make file repositories.
#ifndef BENCH_REPOS_SUPPORT_H
#define BENCH_REPOS_SUPPORT_H

#include "bench_db_support.h"
#include "dacimpl.h"
#include "repadmimpl.h"
#include "repos_impact.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace benchdb {

inline ScratchDir& scratch() {
    static ScratchDir dir;
    return dir;
}

inline RepositoryAdminImpl* admin() {
    static RepositoryAdminImpl* admin = [] {
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", scratch().file("").c_str());
        // Copies and writers report every statement; the benchmarks measure the work, not the log.
        vqlogSetLevel("VQ", 5);
        return static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    }();
    return admin;
}

// A repository of the run's own on the PostgreSQL test server (REPOS_TEST_PG) with its impact
// analysis, made on first use and removed by close().
struct PgImpactStore {
    explicit PgImpactStore(const char* stem) : prefix((stem + std::to_string(getpid()) + "_").c_str()) {}
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    VqbString where{std::getenv("REPOS_TEST_PG")};
    VqbString prefix;
    RepositoryImpl* repository = nullptr;
    RepositoryImpactAnalysis* impact = nullptr;

    bool make() {
        if (!admin || !admin->createRepository(where, prefix)) return false;
        repository = static_cast<RepositoryImpl*>(admin->connectRepository(where, prefix, false, nullptr));
        impact = repository ? repository->createRepositoryImpactAnalysis() : nullptr;
        return impact != nullptr;
    }
    std::string table(const char* name) { return repository->connection()->getTableName(name, true, -1).str(); }
    // The psql command that runs a script of statements on the server, stopping at the first error.
    std::string psql(const std::string& script) const {
        DacConnText server;
        std::string why;
        server.parse(where.str(), why);
        return "psql -X -q -o /dev/null -v ON_ERROR_STOP=1 -h '" + server.get("SERVER") + "' -p '" +
               server.get("PORT") + "' -U '" + server.get("UID") + "' -d '" + server.get("DATABASE") + "' -f '" +
               script + "'";
    }
    void exec(const std::string& sql) { repository->connection()->paramExec(VqbString(sql.c_str()), nullptr, 0); }
    void close() {
        if (impact) impact->release();
        if (repository) repository->release();
        if (admin && repository) admin->deleteRepository(where, prefix);
        if (admin) admin->release();
        impact = nullptr;
        repository = nullptr;
        admin = nullptr;
    }
};

}  // namespace benchdb

#endif
