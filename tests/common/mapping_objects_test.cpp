// Mappings and their fields: what is stored, what is refused, and the repository's factory.
#include <cmath>
#include <tuple>

#include "fieldmapping_fixture.h"
#include "repositoryimpl.h"
#include "vqbmessage.h"

namespace {

using FieldMappings = FieldMappingTest;

std::string msg(unsigned number) { return reposMessage(number).str(); }

}  // namespace

TEST_F(FieldMappings, AMappingIsCreatedReopenedRenamedAndMovedAndTheChangesPersist) {
    ASSERT_TRUE(repo.addFolder(7, 0, "Finance"));
    int other = addMapping("Orders"), id = addMapping("Customers");
    ASSERT_TRUE(id > 0 && id != other);
    Rows otherBefore = repo.rows("SELECT * FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(other)});
    EXPECT_EQ(take(admin->listFieldMappings(nullptr)).size(), 2u);

    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(mapping->getUUID().str().size(), 36u);
    double created = mapping->getCreatedDate().asDouble();
    EXPECT_LT(std::fabs(created - VqbDate::currentDate().asDouble()), 1.0);
    VqbString error;
    ASSERT_TRUE(mapping->setName(&error, "Clients", "bob")) << error.str();
    ASSERT_TRUE(mapping->setFolderId(&error, 7, "carl")) << error.str();
    ASSERT_TRUE(mapping->setDescription(&error, "all of them", "dora")) << error.str();

    auto reopened = open(id);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->getName().str() + "|" + reopened->getDescription().str() + "|" +
                  reopened->getModifiedBy().str() + "|" + reopened->getCreatedBy().str(),
              "Clients|all of them|dora|ann");
    EXPECT_EQ(reopened->getFolderId(), 7);
    EXPECT_EQ(reopened->getUUID(), mapping->getUUID());
    EXPECT_EQ(reopened->getCreatedDate().asDouble(), created);
    EXPECT_EQ(reopened->getModifiedDate().asDouble(), mapping->getModifiedDate().asDouble());
    EXPECT_EQ(repo.rows("SELECT * FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(other)}), otherBefore);
}

TEST_F(FieldMappings, MissingMappingsAreNotOpenedAndChangesToThemAreFailures) {
    int id = addMapping("Customers");
    VqbString error;
    // -1 is the "every mapping" filter of the table: it must not open the first mapping.
    for (int missing : {id + 100, -1}) {
        error = "";
        EXPECT_EQ(admin->openFieldMapping(&error, missing), nullptr);
        EXPECT_EQ(error.str(), msg(1532));
    }
    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    ASSERT_TRUE(repo.exec("DELETE FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(id)}));
    error = "";
    EXPECT_FALSE(mapping->setName(&error, "Clients", "bob"));
    EXPECT_EQ(error.str(), msg(1532));
    EXPECT_FALSE(mapping->setFolderId(nullptr, 3, "bob"));
    EXPECT_EQ(mapping->getName().str() + "|" + mapping->getModifiedBy().str(), "Customers|ann");
    EXPECT_TRUE(repo.rows("SELECT * FROM FLDMAP").empty());
}

TEST_F(FieldMappings, InitialisingAgainNeverRebindsAnAdministrator) {
    ReposHeld<FieldMappingAdminImpl> bare(new FieldMappingAdminImpl());
    bare->initialise(nullptr);
    bare->initialise(repo.connection());
    VqbString error;
    int id = -1;
    EXPECT_FALSE(bare->addFieldMapping(&error, "M", "", "ann", 0, &id));
    EXPECT_EQ(error.str(), msg(3));
    admin->initialise(nullptr);
    EXPECT_GT(addMapping("Still"), 0);
}

TEST_F(FieldMappings, FieldsAreMappedOnceAndATableHasOneValueField) {
    int id = addMapping("Accounts");
    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    VqbString error;
    auto add = [&](const char* dsn, const char* schema, const char* table, const char* field, bool isKey,
                   FieldMappingObject* target = nullptr) {
        error = "";
        return (target ? target : mapping.get())->addField(&error, dsn, "", schema, table, field, isKey, 2);
    };
    auto mapcon = [&] {
        return repo.rows("SELECT MAP_FLD, MAP_PK FROM MAPCON WHERE MAP_ID=? ORDER BY MAP_FLD", {VqbDatavar(id)});
    };
    for (auto [field, isKey] : {std::pair{"REGION", true}, {"NUM", true}, {"BALANCE", false}, {"num", true},
                                {"BALANCE", false}})  // the last two are already mapped (names ignore case)
        EXPECT_TRUE(add("src.db", "", "ACCOUNTS", field, isKey)) << field << ": " << error.str();
    const Rows expected{{"BALANCE", "0"}, {"NUM", "1"}, {"REGION", "1"}};
    EXPECT_EQ(mapcon(), expected);

    // A second value field, also under another spelling of the data source; a column is either a
    // key or the value written under the keys, never both.
    const std::tuple<const char*, const char*, bool, VqbString> refused[] = {
        {"src.db", "NOTE", false, reposMessage(1433, "NOTE")}, {"SRC.DB", "NOTE", false, reposMessage(1433, "NOTE")},
        {"src.db", "balance", true, reposMessage(1936, "balance", "value")},
        {"src.db", "REGION", false, reposMessage(1936, "REGION", "key")}};
    for (const auto& [dsn, field, isKey, message] : refused) {
        EXPECT_FALSE(add(dsn, "", "ACCOUNTS", field, isKey)) << field;
        EXPECT_EQ(error.str(), message.str());
    }
    EXPECT_EQ(mapcon(), expected);

    // A table of the same name in another schema, and another mapping, have value fields of their own.
    ASSERT_TRUE(add("src.db", "archive", "ACCOUNTS", "NOTE", false)) << error.str();
    ASSERT_TRUE(add("src.db", "archive", "ACCOUNTS", "REGION", true)) << error.str();
    auto otherMapping = open(addMapping("Other"));
    EXPECT_TRUE(add("src.db", "", "ACCOUNTS", "NOTE", false, otherMapping.get())) << error.str();
    EXPECT_EQ(take(mapping->listTables(&error)).size(), 2u);
    Rows keys = take(mapping->listTableFields(&error, "src.db", "", "", "ACCOUNTS", 2));
    ASSERT_EQ(keys.size(), 3u);  // an empty schema is no filter: both ACCOUNTS tables' keys
    for (const auto& row : keys) EXPECT_EQ(row.at(7), "1");
    EXPECT_EQ(take(mapping->listTableFields(&error, "src.db", "", "archive", "ACCOUNTS", 2)).size(), 1u);
    EXPECT_EQ(take(mapping->listFields(&error)).size(), 5u);
}

TEST_F(FieldMappings, TheRepositoryHandsOutAdministratorsBoundToItsConnection) {
    TempDir specs;
    ConfigScope config;
    config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
    ReposHeld<RepositoryImpl> repository(new RepositoryImpl());
    VqbString error;
    ASSERT_TRUE(repository->open(false, nullptr, REPOS_ACCESS_SQLITE_FILE, repo.file(), "", "", nullptr, error))
        << error.str();
    ReposHeld<FieldMappingAdminObject> first(repository->createFieldMappingAdminObject());
    ReposHeld<FieldMappingAdminObject> second(repository->createFieldMappingAdminObject());
    ASSERT_TRUE(first && second && first != second);
    int id = -1;
    ASSERT_TRUE(first->addFieldMapping(&error, "Through the repository", "", "ann", 0, &id)) << error.str();
    first.reset();
    EXPECT_NE(ReposHeld<FieldMappingObject>(second->openFieldMapping(&error, id)), nullptr) << error.str();
    second.reset();
    repository.reset();
    EXPECT_EQ(repo.rows("SELECT MAP_NAME FROM FLDMAP"), (Rows{{"Through the repository"}}));
}
