// A repository in each place created with the installation's reference-data table set, its
// reference-data access, and a reader of its rows from outside.
#ifndef REFDATA_FIXTURE_H
#define REFDATA_FIXTURE_H

#include <cstdlib>
#include <string>

#include "repos_fixture.h"
#include "repos_refdata_rda.h"

constexpr uint32_t kNone = 0xFFFFFFFFu;

// The table set as the source tree holds it.
std::string refdataSpec();

class RefDataTest : public RepositoryTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The repository opened again (the access made anew over it).
    void reopen();
    // Rows read through a connection of their own; "{RDDOMS}" stands for the table's qualified name.
    Rows raw(const std::string& sql);
    int count(const char* table) {
        return std::atoi(cell(raw(std::string("SELECT COUNT(*) FROM {") + table + "}"), 0, 0).c_str());
    }
    ReposDataAccess* db() { return repository_->connection(); }

    ReposHeld<RepositoryImpl> repository_;
    ReposHeld<RefDataRepositoryDataAccess> rda_;
};

#endif
