// A burst of writer processes on one repository: each opens a connection of its own and starts its
// work at the same instant as the others, for checks that concurrent writers cannot get around.
#ifndef PROCESS_BURST_H
#define PROCESS_BURST_H

#include <functional>
#include <memory>
#include <string>

#include "repos_fixture.h"

// The parent's repository, and what a writer needs to open one of its own on it.
struct BurstPlace {
    std::unique_ptr<TestRepository> repo;
    int kind = 0;
    std::string where, prefix;
    ReposDataAccess* connection() const { return repo ? repo->connection() : nullptr; }
};
// A SQLite file, or the PostgreSQL test database (skipped, or failed under CI, without it).
void burstOnFile(BurstPlace& place);
void burstOnPostgres(BurstPlace& place);
std::string burstPlaceName(const ::testing::TestParamInfo<void (*)(BurstPlace&)>& info);
#define REPOS_EVERY_BURST_PLACE(Suite) \
    INSTANTIATE_TEST_SUITE_P(Places, Suite, ::testing::Values(&burstOnFile, &burstOnPostgres), burstPlaceName)

// Forks the writers; writer w runs work(its connection, w) in its own process, which then ends.
// False (with a test failure) when a writer could not open its connection or did not end well.
bool runBurst(const BurstPlace& place, int writers, const std::function<void(ReposDataAccess*, int)>& work);

#endif
