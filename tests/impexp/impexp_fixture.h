// A test repository in one place with the repository object a host holds over it, its
// import/export manager and a common data access for making the objects that are exported.
#ifndef IMPEXP_FIXTURE_H
#define IMPEXP_FIXTURE_H

#include <memory>
#include <string>
#include <vector>

#include "repos_common_rda.h"
#include "repos_fixture.h"
#include "repos_impexp.h"

struct ImpExp {
    explicit ImpExp(Place place);
    ~ImpExp();

    bool ready() const { return manager != nullptr; }
    // A rule with fields, and custom metrics (each with two fields) mapped to its first field.
    unsigned addRule(const std::string& name, std::vector<std::string> fields, std::vector<std::string> metrics,
                     int folder = 0);
    unsigned metricId(const std::string& name);
    std::string exportOf(unsigned id, const char* type, VqbString* error = nullptr);
    // The rule's members as rows of names, comparable between repositories.
    Rows ruleRows(const std::string& name);

    TestRepository repo;
    TempDir tableListDir;
    ConfigScope config;
    ReposHeld<RepositoryAdmin> admin;
    Repository* repository = nullptr;
    ReposHeld<CommonRepositoryDataAccess> common;
    std::unique_ptr<RepositoryImportExportManager> manager;
};

// The shared fixture of the suites that run in every place.
class ImpExpTest : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        x = std::make_unique<ImpExp>(GetParam());
        if (!x->repo.connection()) GTEST_SKIP();
        ASSERT_TRUE(x->ready());
    }
    std::unique_ptr<ImpExp> x;
};

#endif
