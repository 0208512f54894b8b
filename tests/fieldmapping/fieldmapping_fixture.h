// Field-mapping objects over a fresh SQLite repository, and the source databases values are
// written back into, reached through the connector.
#ifndef FIELDMAPPING_FIXTURE_H
#define FIELDMAPPING_FIXTURE_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "repmappingimpl.h"
#include "repos_fixture.h"
#include "vqdac.h"

using Rows = std::vector<std::vector<std::string>>;

// A source database of the user's: a connection of its own, for setting tables up and reading
// them back (every value as text, "<null>" for NULL).
class SourceDb {
public:
    explicit SourceDb(const std::string& connectionText);
    ~SourceDb();
    SourceDb(const SourceDb&) = delete;
    SourceDb& operator=(const SourceDb&) = delete;
    bool ok() const { return connection_ != nullptr; }
    bool exec(const std::string& sql);
    Rows rows(const std::string& sql);

private:
    DacConnection* connection_ = nullptr;
};

class FieldMappingTest : public ::testing::Test {
protected:
    void SetUp() override;
    // A new mapping; its id.
    int addMapping(const char* name, int folderId = 0);
    // The mapping opened by the administrator; a failure fails the test.
    ReposHeld<FieldMappingObject> open(int id);

    ReposTestRepository repo;
    ReposHeld<FieldMappingAdminImpl> admin;
};

// The rows of a cursor handed out, which is released; null fails the test.
Rows take(ReposDataAccessCursor* cursor);

#endif
