// Mappings and their fields: what is stored, what is refused, and the repository's factory.
#include <cmath>

#include "fieldmapping_fixture.h"
#include "repositoryimpl.h"
#include "vqbmessage.h"

namespace {

using FieldMappings = FieldMappingTest;

std::string msg(unsigned number) { return reposMessage(number).str(); }

}  // namespace

TEST_F(FieldMappings, AMappingIsCreatedReopenedRenamedAndMovedAndTheChangesPersist) {
    ASSERT_TRUE(repo.addFolder(7, 0, "Finance"));
    int other = addMapping("Orders");
    int id = addMapping("Customers");
    ASSERT_GT(id, 0);
    ASSERT_NE(id, other);
    Rows otherBefore = repo.rows("SELECT * FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(other)});

    Rows listed = take(admin->listFieldMappings(nullptr));
    ASSERT_EQ(listed.size(), 2u);

    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(mapping->getId(), id);
    EXPECT_EQ(mapping->getName().str(), "Customers");
    EXPECT_EQ(mapping->getDescription().str(), "about it");
    EXPECT_EQ(mapping->getCreatedBy().str(), "ann");
    EXPECT_EQ(mapping->getModifiedBy().str(), "ann");
    EXPECT_EQ(mapping->getFolderId(), 0);
    EXPECT_EQ(mapping->getUUID().str().size(), 36u);
    double now = VqbDate::currentDate().asDouble();
    EXPECT_LT(std::fabs(mapping->getCreatedDate().asDouble() - now), 1.0);
    double created = mapping->getCreatedDate().asDouble();

    VqbString error;
    ASSERT_TRUE(mapping->setName(&error, "Clients", "bob")) << error.str();
    EXPECT_EQ(mapping->getName().str(), "Clients");
    EXPECT_EQ(mapping->getModifiedBy().str(), "bob");
    EXPECT_GE(mapping->getModifiedDate().asDouble(), created);
    ASSERT_TRUE(mapping->setFolderId(&error, 7, "carl")) << error.str();
    ASSERT_TRUE(mapping->setDescription(&error, "all of them", "dora")) << error.str();
    EXPECT_EQ(mapping->getName().str(), "Clients");
    EXPECT_EQ(mapping->getFolderId(), 7);

    auto reopened = open(id);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->getName().str(), "Clients");
    EXPECT_EQ(reopened->getDescription().str(), "all of them");
    EXPECT_EQ(reopened->getFolderId(), 7);
    EXPECT_EQ(reopened->getModifiedBy().str(), "dora");
    EXPECT_EQ(reopened->getCreatedBy().str(), "ann");
    EXPECT_EQ(reopened->getUUID(), mapping->getUUID());
    EXPECT_EQ(reopened->getCreatedDate().asDouble(), created);
    EXPECT_EQ(reopened->getModifiedDate().asDouble(), mapping->getModifiedDate().asDouble());
    EXPECT_EQ(repo.rows("SELECT * FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(other)}), otherBefore);
}

TEST_F(FieldMappings, MissingMappingsAreNotOpenedAndChangesToThemAreFailures) {
    int id = addMapping("Customers");
    VqbString error;
    EXPECT_EQ(admin->openFieldMapping(&error, id + 100), nullptr);
    EXPECT_EQ(error.str(), msg(1532));
    // -1 is the "every mapping" filter of the table: it must not open the first mapping.
    error = "";
    EXPECT_EQ(admin->openFieldMapping(&error, -1), nullptr);
    EXPECT_EQ(error.str(), msg(1532));

    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    ASSERT_TRUE(repo.exec("DELETE FROM FLDMAP WHERE MAP_ID=?", {VqbDatavar(id)}));
    LogCapture log;
    error = "";
    EXPECT_FALSE(mapping->setName(&error, "Clients", "bob"));
    EXPECT_EQ(error.str(), msg(1532));
    EXPECT_TRUE(log.contains(msg(1532), 5));
    EXPECT_FALSE(mapping->setFolderId(nullptr, 3, "bob"));
    EXPECT_EQ(mapping->getName().str(), "Customers");
    EXPECT_EQ(mapping->getModifiedBy().str(), "ann");
    EXPECT_TRUE(repo.rows("SELECT * FROM FLDMAP").empty());
}

TEST_F(FieldMappings, WithoutDataAccessEveryOperationFailsWithMessage3) {
    ReposHeld<FieldMappingAdminImpl> bare(new FieldMappingAdminImpl());
    bare->initialise(nullptr);
    bare->initialise(repo.connection());  // a second initialisation changes nothing
    VqbString error;
    int id = -1;
    EXPECT_FALSE(bare->addFieldMapping(&error, "M", "", "ann", 0, &id));
    EXPECT_EQ(error.str(), msg(3));
    EXPECT_EQ(id, -1);
    error = "";
    EXPECT_EQ(bare->listFieldMappings(&error), nullptr);
    EXPECT_EQ(error.str(), msg(3));
    error = "";
    EXPECT_EQ(bare->openFieldMapping(&error, 1), nullptr);
    EXPECT_EQ(error.str(), msg(3));
    EXPECT_TRUE(repo.rows("SELECT * FROM FLDMAP").empty());

    // And the other way round: a second initialisation does not unbind a working object.
    admin->initialise(nullptr);
    EXPECT_GT(addMapping("Still"), 0);
}

TEST_F(FieldMappings, FieldsAreMappedOnceAndATableHasOneValueField) {
    int id = addMapping("Accounts");
    auto mapping = open(id);
    ASSERT_TRUE(mapping);
    VqbString error;
    auto add = [&](const char* dsn, const char* schema, const char* table, const char* field, bool isKey) {
        error = "";
        return mapping->addField(&error, dsn, "", schema, table, field, isKey, 2);
    };
    ASSERT_TRUE(add("src.db", "", "ACCOUNTS", "REGION", true)) << error.str();
    ASSERT_TRUE(add("src.db", "", "ACCOUNTS", "NUM", true)) << error.str();
    ASSERT_TRUE(add("src.db", "", "ACCOUNTS", "BALANCE", false)) << error.str();
    EXPECT_TRUE(add("src.db", "", "ACCOUNTS", "num", true));  // already mapped (names ignore case)
    EXPECT_TRUE(add("src.db", "", "ACCOUNTS", "BALANCE", false));
    Rows expected{{"BALANCE", "0"}, {"NUM", "1"}, {"REGION", "1"}};
    EXPECT_EQ(mapcon(id), expected);

    EXPECT_FALSE(add("src.db", "", "ACCOUNTS", "NOTE", false));
    EXPECT_EQ(error.str(), reposMessage(1433, "NOTE").str());
    // The data source is the same one whatever its case.
    EXPECT_FALSE(add("SRC.DB", "", "ACCOUNTS", "NOTE", false));
    EXPECT_EQ(error.str(), reposMessage(1433, "NOTE").str());
    // A column is either a key or the value written under the keys, never both.
    EXPECT_FALSE(add("src.db", "", "ACCOUNTS", "balance", true));
    EXPECT_EQ(error.str(), reposMessage(1936, "balance", "value").str());
    EXPECT_FALSE(add("src.db", "", "ACCOUNTS", "REGION", false));
    EXPECT_EQ(error.str(), reposMessage(1936, "REGION", "key").str());
    EXPECT_EQ(mapcon(id), expected);

    // A table of the same name in another schema is another table with a value field of its own.
    ASSERT_TRUE(add("src.db", "archive", "ACCOUNTS", "NOTE", false)) << error.str();
    ASSERT_TRUE(add("src.db", "archive", "ACCOUNTS", "REGION", true)) << error.str();
    ASSERT_TRUE(add("src.db", "", "LEDGER", "NOTE", false)) << error.str();
    EXPECT_EQ(mapcon(id).size(), 6u);

    EXPECT_EQ(take(mapping->listTables(&error)).size(), 3u);
    Rows keys = take(mapping->listTableFields(&error, "src.db", "", "", "ACCOUNTS", 2));
    ASSERT_EQ(keys.size(), 3u);  // an empty schema is no filter: both ACCOUNTS tables' keys
    for (const auto& row : keys) EXPECT_EQ(row.at(7), "1");
    EXPECT_EQ(take(mapping->listTableFields(&error, "src.db", "", "archive", "ACCOUNTS", 2)).size(), 1u);
    EXPECT_EQ(take(mapping->listFields(&error)).size(), 6u);

    // Another mapping's fields are its own.
    int second = addMapping("Other");
    auto otherMapping = open(second);
    ASSERT_TRUE(otherMapping);
    EXPECT_TRUE(otherMapping->addField(&error, "src.db", "", "", "ACCOUNTS", "NOTE", false, 2)) << error.str();
    EXPECT_EQ(mapcon(id).size(), 6u);
}

TEST_F(FieldMappings, TheRepositoryHandsOutAdministratorsBoundToItsConnection) {
    TempDir specs;
    ConfigScope config;
    config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
    RepositoryImpl* repository = new RepositoryImpl();
    VqbString error;
    ASSERT_TRUE(repository->open(false, nullptr, REPOS_ACCESS_SQLITE_FILE, repo.file(), "", "", nullptr, error))
        << error.str();
    FieldMappingAdminObject* first = repository->createFieldMappingAdminObject();
    FieldMappingAdminObject* second = repository->createFieldMappingAdminObject();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);

    int id = -1;
    ASSERT_TRUE(first->addFieldMapping(&error, "Through the repository", "", "ann", 0, &id)) << error.str();
    first->release();
    FieldMappingObject* mapping = second->openFieldMapping(&error, id);
    ASSERT_NE(mapping, nullptr) << error.str();
    EXPECT_EQ(mapping->getName().str(), "Through the repository");
    mapping->release();
    second->release();
    repository->release();
    EXPECT_EQ(repo.rows("SELECT MAP_NAME FROM FLDMAP"), (Rows{{"Through the repository"}}));
}
