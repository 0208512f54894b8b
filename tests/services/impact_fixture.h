// Impact analysis over a repository opened on the test repository of each place; the fixture's own
// connection reads IMPRCS and IMPDEP back independently.
#ifndef IMPACT_FIXTURE_H
#define IMPACT_FIXTURE_H

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "repimpanlysimpl.h"
#include "repos_fixture.h"

// A repository object of the library over the test repository's database, as a host opens it.
RepositoryImpl* openRepositoryOn(Place place, const std::string& file, const std::string& prefix);

class Impact : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override;

    // A resource of the store, created when new.
    ReposHeld<VqResource> add(const char* type, const std::string& identity, const std::string& name = "");
    // A list of copies of the resources, in order.
    ReposHeld<VqResourceList> listOf(std::initializer_list<const VqResource*> resources);
    // The names of the resources the owner is linked to, read from IMPDEP and IMPRCS.
    std::set<std::string> links(const VqResource* owner);
    // "type:name" of each element of a list, which is released.
    static std::vector<std::string> names(VqResourceList* list);

    std::unique_ptr<TestRepository> repo;
    ReposHeld<RepositoryImpl> repository;
    ReposHeld<RepositoryImpactAnalysisImpl> impact;
    ConfigScope config;
};

#endif
