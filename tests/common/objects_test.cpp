// Repository objects of every type through the generic object queries (filed in folders, listed
// by folder, by type and without a folder, read one by one and moved), and the lineage graph.
#include <gtest/gtest.h>

#include "base_rdaimpl.h"
#include "meta_fixture.h"

namespace {

// One object of every type in folder `box`, one of every type at the root, and one of every type
// filed nowhere; ids: 10+n in the folder, 20+n at the root, 30+n without folder.
struct Filed : MetaRepository {
    int box = folder(0, "Box");
    Filed() {
        int n = 0;
        for (const TestObjectTable& t : kTestObjectTables) {
            std::string type = t.type;
            addObject(type, 10 + n, type + " in box", VqbDatavar(box));
            addObject(type, 20 + n, type + " at root", VqbDatavar(0));
            addObject(type, 30 + n++, type + " nowhere", VqbDatavar());
        }
    }
};

struct Graph : MetaRepository {
    int job = add("Load", "job://load", "Job"), orders = add("ORDERS", "db://sales/ORDERS", "Table");
    int customers = add("CUSTOMERS", "db://sales/CUSTOMERS", "Table");
    int file = add("orders.csv", "file:///in/orders.csv", "File"), report = add("Weekly", "job://weekly", "Job");
    Graph() {
        // The job uses both tables, the orders table is loaded from the file, the report reads orders.
        for (auto [from, to] : {std::pair{job, orders}, {job, customers}, {orders, file}, {report, orders}})
            EXPECT_TRUE(meta->addDependency(from, to));
    }
    int add(const std::string& name, const std::string& identity, const std::string& type) {
        int id = -1;
        EXPECT_TRUE(meta->addResource(VqbString(name), VqbString(identity), VqbString(type), &id)) << identity;
        return id;
    }
    std::set<std::string> names(ReposDataAccessCursor* cursor) { return column(take(cursor), 1); }
};

using Names = std::set<std::string>;

const std::set<std::string> kListed = {"DataExploration", "ProfileJob", "Rule", "Task"};

}  // namespace

TEST(MetaObjects, ListedByFolderByTypeAndWithoutFolder) {
    Filed f;
    // Folder listings hold the four listed types only, filed anywhere (-1) or in one folder.
    Rows inBox = take(f.meta->listObjects(f.box)), all = take(f.meta->listObjects(-1));
    EXPECT_EQ(column(inBox, 0), kListed);
    EXPECT_EQ(column(inBox, 4), (std::set<std::string>{std::to_string(f.box)}));
    EXPECT_EQ(inBox.size(), 4u);
    EXPECT_EQ(column(take(f.meta->listObjects(0)), 3),
              (std::set<std::string>{"DataExploration at root", "ProfileJob at root", "Rule at root", "Task at root"}));
    EXPECT_EQ(all.size(), 12u);
    EXPECT_EQ(column(all, 0), kListed);
    EXPECT_TRUE(take(f.meta->listObjects(999)).empty());

    // By type, every type.
    int n = 0;
    for (const TestObjectTable& t : kTestObjectTables) {
        SCOPED_TRACE(t.type);
        const std::string type = t.type;
        Rows typed = take(f.meta->listObjectsOfType(f.box, VqbString(t.type)));
        ASSERT_EQ(typed.size(), 1u);
        EXPECT_EQ(typed[0][0] + "/" + typed[0][2], type + "/" + std::to_string(10 + n));
        EXPECT_EQ(take(f.meta->listObjectsOfType(-1, VqbString(t.type))).size(), 3u);
        VqbString error;
        Rows one = take(f.meta->getObject(20 + n, VqbString(t.type), error));
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0][1] + "|" + one[0][3] + "|" + one[0][4], type + "-" + type + " at root|" + type + " at root|0");
        int folderId = -1;
        ASSERT_TRUE(f.meta->getObjectFolderId(VqbString(t.type), 10 + n++, &folderId));
        EXPECT_EQ(folderId, f.box);
    }
    // An empty text in the folder column files the object nowhere as well.
    f.addObject("Rule", 40, "blank", VqbDatavar(""));
    EXPECT_EQ(column(take(f.meta->listObjectsWithoutFolder()), 2),
              (std::set<std::string>{"30", "31", "32", "33", "40"}));
}

TEST(MetaObjects, UnknownTypesAreRefusedWithoutReachingTheDatabase) {
    Filed f;
    BaseRDAImpl* base = dynamic_cast<BaseRDAImpl*>(f.meta.get());
    ASSERT_NE(base, nullptr);
    LogCapture quiet;
    for (const char* name : {"", "Field", "CustomMetric", "Collection", "rule", "RULE", " Rule", "Rule\n",
                             "Rule' UNION SELECT 1,2,3,4,5,6,7,8,9,10 --", "Rule; DROP TABLE RULE"}) {
        SCOPED_TRACE(name);
        const std::string unknown = std::string("Unable to find type: ") + name;
        VqbString rowError, path("kept"), uuid("kept"), pathError("kept");
        EXPECT_EQ(base->getObjectRow(10, name, rowError), nullptr);
        EXPECT_EQ(rowError.str(), unknown);
        EXPECT_TRUE(quiet.contains(unknown, 5));
        EXPECT_FALSE(base->getObjectPath(10, name, path, uuid, pathError));
        EXPECT_EQ(pathError.str() + path.str(), "keptkept");
        EXPECT_EQ(f.meta->listObjectsOfType(f.box, VqbString(name)), nullptr);
        VqbString error;
        EXPECT_EQ(f.meta->getObject(10, VqbString(name), error), nullptr);
        EXPECT_EQ(error.str(), unknown);
        int folderId = 42;
        EXPECT_FALSE(f.meta->getObjectFolderId(VqbString(name), 10, &folderId));
        EXPECT_EQ(folderId, 42);
        error = VqbString("");
        EXPECT_FALSE(f.meta->setObjectAttribute(10, VqbString(name), 0, error));
        EXPECT_EQ(error.str(), unknown);
    }
    EXPECT_EQ(f.count("RULE"), 3);
}

TEST(MetaObjects, FilingAnObjectNeedsTheObjectAndTheFolder) {
    Filed f;
    int shelf = f.folder(f.box, "Shelf");
    VqbString error;
    int folderId = -1;
    ASSERT_TRUE(f.meta->setObjectAttribute(22, VqbString("Rule"), shelf, error));
    ASSERT_TRUE(f.meta->getObjectFolderId(VqbString("Rule"), 22, &folderId));
    EXPECT_EQ(folderId, shelf);
    EXPECT_EQ(take(f.meta->listObjects(shelf)).size(), 1u);

    // A missing object is not reported as moved, nor its folder as some value.
    EXPECT_FALSE(f.meta->setObjectAttribute(99, VqbString("Rule"), shelf, error));
    EXPECT_EQ(error.str(), "Unable to find Rule object with id=99");
    folderId = 42;
    EXPECT_FALSE(f.meta->getObjectFolderId(VqbString("Rule"), 99, &folderId));
    EXPECT_EQ(folderId, 42);

    // A folder that does not exist would hide the object from every folder listing.
    EXPECT_FALSE(f.meta->setObjectAttribute(22, VqbString("Rule"), 999, error));
    EXPECT_FALSE(f.meta->setObjectAttribute(22, VqbString("Rule"), -1, error));
    ASSERT_TRUE(f.meta->getObjectFolderId(VqbString("Rule"), 22, &folderId));
    EXPECT_EQ(folderId, shelf);
    ASSERT_TRUE(f.meta->setObjectAttribute(33, VqbString("Task"), 0, error));
    EXPECT_EQ(take(f.meta->listObjectsWithoutFolder()).size(), 3u);
}

TEST(MetaLineage, DependenciesReadInBothDirections) {
    Graph g;
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.job)), (Names{"ORDERS", "CUSTOMERS"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.orders)), (Names{"orders.csv"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.orders)), (Names{"Load", "Weekly"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.file)), (Names{"ORDERS"}));
    EXPECT_TRUE(g.names(g.meta->listResourcesUsedBy(g.job)).empty());
    EXPECT_EQ(g.names(g.meta->listResourcesOfTypeUsing(g.job, VqbString("Table"))), (Names{"ORDERS", "CUSTOMERS"}));
    EXPECT_TRUE(g.names(g.meta->listResourcesOfTypeUsing(g.job, VqbString("File"))).empty());

    ASSERT_TRUE(g.meta->deleteDependency(g.job, g.customers));
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.job)), (Names{"ORDERS"}));
    // Every link the job made goes; links others made to the same resources stay.
    ASSERT_TRUE(g.meta->deleteDependenciesOnResource(g.job));
    EXPECT_TRUE(g.names(g.meta->listResourcesUsing(g.job)).empty());
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.orders)), (Names{"Weekly"}));
    EXPECT_EQ(g.count("IMPDEP"), 2);
}

TEST(MetaLineage, ResourcesAreUniqueByIdentityAndType) {
    Graph g;
    int id = 12345;
    EXPECT_FALSE(g.meta->addResource(VqbString("Other name"), VqbString("db://sales/ORDERS"), VqbString("Table"), &id));
    EXPECT_EQ(id, 12345);
    EXPECT_EQ(g.count("IMPRCS"), 5);
    // The same identity under another type is another resource.
    EXPECT_NE(g.add("ORDERS", "db://sales/ORDERS", "View"), g.orders);
    EXPECT_TRUE(g.meta->getResourceIdByIdentity(VqbString("View"), VqbString("db://sales/ORDERS")));
    EXPECT_FALSE(g.meta->getResourceIdByIdentity(VqbString("db://sales/ORDERS"), VqbString("View")));
    EXPECT_EQ(take(g.meta->getResourceByIdentity(VqbString("db://sales/ORDERS"), VqbString("Table"))),
              (Rows{{std::to_string(g.orders), "ORDERS", "db://sales/ORDERS", "Table", "<null>"}}));
    EXPECT_EQ(g.names(g.meta->listResourcesOfType(VqbString("Job"))), (Names{"Load", "Weekly"}));

    // Identities are long structured texts; quotes and the like are data.
    const std::string hostile = "db://x'; DELETE FROM IMPRCS; --/\"T\"";
    int odd = g.add("odd", hostile, "Table");
    EXPECT_EQ(take(g.meta->getResource(odd))[0][2], hostile);
    EXPECT_EQ(take(g.meta->listResources()).size(), 7u);

    ASSERT_TRUE(g.meta->setResourceAnalysisDate(g.orders, 45000.5));
    EXPECT_EQ(take(g.meta->getResource(g.orders))[0][4], "45000.5");
    EXPECT_FALSE(g.meta->setResourceAnalysisDate(999, 45000.5));
}
