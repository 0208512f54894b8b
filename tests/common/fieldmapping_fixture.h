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
    explicit SourceDb(const std::string& connectionText) {
        DacDataSource* source = dacCreateDataSource(0);
        VqbString info;
        if (source && source->configure(VqbString(connectionText), info, 0, 0))
            connection_ = source->openConnection(info, 0, 0);
        if (!connection_) ADD_FAILURE() << "connecting to the source: " << (source ? source->getErrorText().str() : "");
        if (source) source->destroy();
    }
    ~SourceDb() {
        if (connection_) connection_->close();
    }
    SourceDb(const SourceDb&) = delete;
    SourceDb& operator=(const SourceDb&) = delete;
    bool ok() const { return connection_ != nullptr; }
    bool exec(const std::string& sql) {
        DacStatement* statement = connection_ ? connection_->prepare(VqbString(sql)) : nullptr;
        bool done = statement && statement->execute(nullptr);
        if (!done) ADD_FAILURE() << sql << ": " << (statement ? statement->getErrorText() : VqbString("")).str();
        if (statement) statement->release();
        return done;
    }
    Rows rows(const std::string& sql) {
        Rows result;
        DacCursor* cursor = connection_ ? connection_->openCursorDirect(VqbString(sql)) : nullptr;
        if (!cursor) ADD_FAILURE() << sql;
        while (cursor && cursor->fetch() == DAC_FETCH_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < cursor->getColumnCount(); ++i) {
                VqbDatavar v = cursor->getValue(i);
                row.push_back(v.isNull() ? std::string("<null>") : v.asString().str());
            }
            result.push_back(row);
        }
        if (cursor) cursor->close();
        return result;
    }

private:
    DacConnection* connection_ = nullptr;
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

    ReposTestRepository repo;
    ReposHeld<FieldMappingAdminImpl> admin;
};

// The rows of a cursor handed out, which is released; null fails the test.
inline Rows take(ReposDataAccessCursor* cursor) {
    EXPECT_NE(cursor, nullptr);
    ReposHeld<ReposDataAccessCursor> held(cursor);
    return cursor ? cursorRows(cursor) : Rows{};
}

#endif
