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
#include "sql_record.h"
#include "vqdac.h"

// A source database of the user's: a connection of its own, for setting tables up and reading
// them back.
class SourceDb {
public:
    explicit SourceDb(const std::string& connectionText) {
        std::string error;
        connection_.reset(dacOpen(connectionText, &error));
        if (!connection_) ADD_FAILURE() << "connecting to the source: " << error;
    }
    bool ok() const { return connection_ != nullptr; }
    bool exec(const std::string& sql) {
        SqlRecordPause pause;
        bool done = connection_ && connection_->executeDirect(VqbString(sql), 0);
        if (!done) ADD_FAILURE() << sql << ": " << (connection_ ? connection_->getErrorText().str() : "");
        return done;
    }
    Rows rows(const std::string& sql) { return dacRows(connection_.get(), sql); }

private:
    DacHeld connection_;
};

class FieldMappingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(repo.connection(), nullptr);
        admin.reset(new FieldMappingAdminImpl());
        admin->initialise(repo.connection());
    }
    // A new mapping; its id.
    int addMapping(const char* name, int folderId = 0) {
        int id = -1;
        VqbString error;
        EXPECT_TRUE(admin->addFieldMapping(&error, name, "about it", "ann", folderId, &id)) << error.str();
        return id;
    }
    // The mapping opened by the administrator; a failure fails the test.
    ReposHeld<FieldMappingObject> open(int id) {
        VqbString error;
        ReposHeld<FieldMappingObject> mapping(admin->openFieldMapping(&error, id));
        EXPECT_NE(mapping.get(), nullptr) << error.str();
        return mapping;
    }

    TestRepository repo;
    ReposHeld<FieldMappingAdminImpl> admin;
};

#endif
