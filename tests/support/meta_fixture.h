// The metadata data access over a fresh SQLite repository, and objects of every type written the
// way their own areas write them.
#ifndef META_FIXTURE_H
#define META_FIXTURE_H

#include <sys/types.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "meta_rdaimpl.h"
#include "repos_fixture.h"
#include "repos_metadata_rda.h"

// Object types and where their rows live, written down independently of the library's catalogue.
struct TestObjectTable {
    const char *type, *table, *id, *name, *uuid, *desc;
};
extern const TestObjectTable kTestObjectTables[8];

struct MetaRepository {
    MetaRepository();
    // An object row; folder may be a null VqbDatavar (no folder).
    void addObject(const std::string& type, int id, const std::string& name, const VqbDatavar& folder,
                   const std::string& uuid = "");
    // A folder through the data access; fails the test when refused.
    int folder(int parent, const std::string& name);
    long long count(const std::string& table) { return repo.count(table.c_str()); }

    TestRepository repo;
    ReposHeld<MetadataRepositoryDataAccess> meta;
};

// A metadata data access over a connection, as a repository's factory makes it.
MetadataRepositoryDataAccess* newMetadataAccess(ReposDataAccess* connection);

// A child process that runs body over a data access of its own on db, then ends (status 2 when it
// cannot connect); its pid.
pid_t forkWithAccess(const std::string& db, const std::function<void(MetadataRepositoryDataAccess*)>& body);

#endif
