// The metadata data access over a fresh SQLite repository, and objects of every type written the
// way their own areas write them.
#ifndef META_FIXTURE_H
#define META_FIXTURE_H

#include <set>
#include <string>
#include <vector>

#include "meta_rdaimpl.h"
#include "repos_fixture.h"
#include "repos_metadata_rda.h"

using Rows = std::vector<std::vector<std::string>>;

// Object types and where their rows live, written down independently of the library's catalogue.
struct TestObjectTable {
    const char* type;
    const char* table;
    const char* id;
    const char* name;
    const char* uuid;
    const char* desc;
};
extern const TestObjectTable kTestObjectTables[8];

struct MetaRepository {
    MetaRepository();

    // An object row; folder may be a null VqbDatavar (no folder).
    void addObject(const std::string& type, int id, const std::string& name, const VqbDatavar& folder,
                   const std::string& uuid = "");
    // A folder through the data access; fails the test when refused.
    int folder(int parent, const std::string& name);
    // Rows of a cursor handed out by the data access (released here); fails on a null cursor.
    Rows take(ReposDataAccessCursor* cursor);
    // Column c of each row.
    static std::set<std::string> column(const Rows& rows, size_t c);
    long long count(const std::string& table);

    ReposTestRepository repo;
    ReposHeld<MetadataRepositoryDataAccess> meta;
};

// A metadata data access over a connection, as a repository's factory makes it.
MetadataRepositoryDataAccess* newMetadataAccess(ReposDataAccess* connection);

#endif
