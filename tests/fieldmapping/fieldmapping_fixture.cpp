#include "fieldmapping_fixture.h"

SourceDb::SourceDb(const std::string& connectionText) {
    DacDataSource* source = dacCreateDataSource(0);
    if (!source) {
        ADD_FAILURE() << "no data source";
        return;
    }
    VqbString info;
    if (source->configure(VqbString(connectionText), info, 0, 0)) connection_ = source->openConnection(info, 0, 0);
    if (!connection_) ADD_FAILURE() << "connecting to the source: " << source->getErrorText().str();
    source->destroy();
}

SourceDb::~SourceDb() {
    if (connection_) connection_->close();
}

bool SourceDb::exec(const std::string& sql, std::initializer_list<VqbDatavar> values) {
    if (!connection_) return false;
    DacStatement* statement = connection_->prepare(VqbString(sql));
    if (!statement) {
        ADD_FAILURE() << sql << ": " << connection_->getErrorText().str();
        return false;
    }
    int i = 0;
    for (const VqbDatavar& v : values) statement->bindValue(i++, v);
    bool done = statement->execute(nullptr);
    if (!done) ADD_FAILURE() << sql << ": " << statement->getErrorText().str();
    statement->release();
    return done;
}

Rows SourceDb::rows(const std::string& sql) {
    Rows result;
    if (!connection_) return result;
    DacCursor* cursor = connection_->openCursorDirect(VqbString(sql));
    if (!cursor) {
        ADD_FAILURE() << sql << ": " << connection_->getErrorText().str();
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

Rows FieldMappingTest::mapcon(int id) {
    return repo.rows("SELECT MAP_FLD, MAP_PK FROM MAPCON WHERE MAP_ID=? ORDER BY MAP_FLD", {VqbDatavar(id)});
}

Rows take(ReposDataAccessCursor* cursor) {
    EXPECT_NE(cursor, nullptr);
    Rows result = cursorRows(cursor);
    if (cursor) cursor->release();
    return result;
}
