// The scratch folder and the administrator of the benchmarks that make file repositories.
#ifndef BENCH_REPOS_SUPPORT_H
#define BENCH_REPOS_SUPPORT_H

#include "bench_db_support.h"
#include "repadmimpl.h"
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

}  // namespace benchdb

#endif
