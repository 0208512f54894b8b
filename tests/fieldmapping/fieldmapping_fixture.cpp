#include "fieldmapping_fixture.h"

SourceDb::SourceDb(const std::string& connectionText) {
    DacDataSource* source = dacCreateDataSource(0);
    VqbString info;
    if (source && source->configure(VqbString(connectionText), info, 0, 0))
        connection_ = source->openConnection(info, 0, 0);
    if (!connection_) ADD_FAILURE() << "connecting to the source: " << (source ? source->getErrorText().str() : "");
    if (source) source->destroy();
}

SourceDb::~SourceDb() {
    if (connection_) connection_->close();
}

bool SourceDb::exec(const std::string& sql) {
    DacStatement* statement = connection_ ? connection_->prepare(VqbString(sql)) : nullptr;
    bool done = statement && statement->execute(nullptr);
    if (!done) ADD_FAILURE() << sql << ": " << (statement ? statement->getErrorText() : VqbString("")).str();
    if (statement) statement->release();
    return done;
}

Rows SourceDb::rows(const std::string& sql) {
    Rows result;
    DacCursor* cursor = connection_ ? connection_->openCursorDirect(VqbString(sql)) : nullptr;
    if (!cursor) {
        ADD_FAILURE() << sql;
        return result;
    }
    while (cursor->fetch() == DAC_FETCH_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < cursor->getColumnCount(); ++i) {
            VqbDatavar v = cursor->getValue(i);
            row.push_back(v.isNull() ? std::string("<null>") : v.asString().str());
        }
        result.push_back(row);
    }
    cursor->close();
    return result;
}

void FieldMappingTest::SetUp() {
    ASSERT_NE(repo.connection(), nullptr);
    admin.reset(new FieldMappingAdminImpl());
    admin->initialise(repo.connection());
}

int FieldMappingTest::addMapping(const char* name, int folderId) {
    int id = -1;
    VqbString error;
    EXPECT_TRUE(admin->addFieldMapping(&error, name, "about it", "ann", folderId, &id)) << error.str();
    return id;
}

ReposHeld<FieldMappingObject> FieldMappingTest::open(int id) {
    VqbString error;
    ReposHeld<FieldMappingObject> mapping(admin->openFieldMapping(&error, id));
    EXPECT_NE(mapping.get(), nullptr) << error.str();
    return mapping;
}

Rows take(ReposDataAccessCursor* cursor) {
    EXPECT_NE(cursor, nullptr);
    ReposHeld<ReposDataAccessCursor> held(cursor);
    return cursor ? cursorRows(cursor) : Rows{};
}
