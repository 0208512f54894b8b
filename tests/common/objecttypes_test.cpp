// The object-type catalogue against the table catalogue, and the current user name.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "curuser.h"
#include "np_osinf.h"
#include "objecttypes.h"
#include "repos_tables.h"
#include "typed_fixture.h"

namespace {

bool catalogueHasColumn(const VqbString& table, const VqbString& column) {
    const ReposColumnDef* first = findReposTable(table.asCstr());
    if (!first) return false;
    for (const ReposColumnDef* r = first; !isReposEndRecord(r); ++r)
        if (r->column && column.equals(r->column, true)) return true;
    return false;
}

}  // namespace

TEST(ObjectTypes, EveryTypeNamesColumnsOfItsCatalogueTable) {
    ReposHeld<TestRulesDataAccess> owner(createTestRules(nullptr));
    ObjectTypeCatalog catalog(baseOf(owner.get()));
    const char* types[] = {"DataExploration", "ProfileJob", "Rule", "Task", "Source", "Dimension", "Dashboard",
                           "Threshold"};
    EXPECT_EQ(catalog.size(), 8u);
    std::set<std::string> tables;
    for (const char* name : types) {
        SCOPED_TRACE(name);
        const ObjectTypeInfo* type = catalog.findType(name);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->getTypeName().str(), name);
        tables.insert(type->getTable().str());
        const char* properties[] = {ReposPropertyName::Id,          ReposPropertyName::Uuid,
                                    ReposPropertyName::FolderId,    ReposPropertyName::Name,
                                    ReposPropertyName::Desc,        ReposPropertyName::CreatedDate,
                                    ReposPropertyName::CreatedUser, ReposPropertyName::ModifiedDate,
                                    ReposPropertyName::ModifiedUser};
        for (const char* property : properties) {
            const VqbString* column = type->getPropertyColumn(property);
            ASSERT_NE(column, nullptr) << property;
            EXPECT_TRUE(catalogueHasColumn(type->getTable(), *column))
                << type->getTable().str() << "." << column->str();
        }
        EXPECT_EQ(*type->getPropertyColumn(ReposPropertyName::FolderId), VqbString("FLDR_ID"));
    }
    EXPECT_EQ(tables.size(), 8u) << "each type has a table of its own";

    // Names that differ from the column they live in.
    EXPECT_EQ(catalog.findType("Rule")->getNameColumn().str(), "RU_DESC");
    EXPECT_EQ(catalog.findType("Rule")->getDescColumn().str(), "RU_COMM");
    EXPECT_EQ(catalog.findType("Task")->getUuidColumn().str(), "JB_CODE");
    EXPECT_EQ(catalog.findType("Source")->getTable().str(), "EXSRC");
    EXPECT_EQ(catalog.findType("Task")->objectRowSelect("\"MJOB\"").str(),
              "SELECT 'Task' AS OBJTYPE, JB_CODE, JB_ID, JB_DESC, FLDR_ID, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, "
              "JB_COMM FROM \"MJOB\"");
}

TEST(ObjectTypes, LookupsAreExactAndListingsCoverFourTypes) {
    ReposHeld<TestRulesDataAccess> owner(createTestRules(nullptr));
    ObjectTypeCatalog catalog(baseOf(owner.get()));
    const char* absent[] = {"Field", "CustomMetric", "Collection", "rule", "RULE", " Rule", "", "Rule\n"};
    for (const char* name : absent) EXPECT_EQ(catalog.findType(name), nullptr) << name;
    EXPECT_EQ(catalog.findType(VqbString()), nullptr);
    EXPECT_EQ(catalog.findType("Rule")->getPropertyColumn("name"), nullptr);
    EXPECT_EQ(catalog.findType("Rule")->getPropertyColumn("Color"), nullptr);

    std::vector<std::string> listed;
    for (const VqbString& name : catalog.folderListedTypes()) listed.push_back(name.str());
    EXPECT_EQ(listed, (std::vector<std::string>{"DataExploration", "ProfileJob", "Rule", "Task"}));

    ObjectTypeCatalog orphan(nullptr);
    EXPECT_EQ(orphan.findType("Rule"), nullptr);
    EXPECT_TRUE(orphan.folderListedTypes().empty());
}

TEST(CurrentUser, IsThePlatformsUserAndStable) {
    char buffer[256] = {};
    np_osinf_user(buffer, sizeof buffer);
    VqbString first = getCurrentUserName();
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(first, getCurrentUserName());
    if (buffer[0]) {
        EXPECT_EQ(first.str(), buffer);
    }
    EXPECT_LE(first.cStrSize(), 255u);
}
