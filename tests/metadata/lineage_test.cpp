// The lineage graph: resources unique by identity and type, and dependencies read both ways.
#include <gtest/gtest.h>

#include "meta_fixture.h"

namespace {

struct Graph : MetaRepository {
    int job = 0, orders = 0, customers = 0, file = 0, report = 0;
    Graph() {
        job = add("Load", "job://load", "Job");
        orders = add("ORDERS", "db://sales/ORDERS", "Table");
        customers = add("CUSTOMERS", "db://sales/CUSTOMERS", "Table");
        file = add("orders.csv", "file:///in/orders.csv", "File");
        report = add("Weekly", "job://weekly", "Job");
        // The job uses both tables, the orders table is loaded from the file, the report reads orders.
        EXPECT_TRUE(meta->addDependency(job, orders));
        EXPECT_TRUE(meta->addDependency(job, customers));
        EXPECT_TRUE(meta->addDependency(orders, file));
        EXPECT_TRUE(meta->addDependency(report, orders));
    }
    int add(const std::string& name, const std::string& identity, const std::string& type) {
        int id = -1;
        EXPECT_TRUE(meta->addResource(VqbString(name), VqbString(identity), VqbString(type), &id)) << identity;
        return id;
    }
    std::set<std::string> names(ReposDataAccessCursor* cursor) { return column(take(cursor), 1); }
};

}  // namespace

TEST(MetaLineage, DependenciesReadInBothDirections) {
    Graph g;
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.job)), (std::set<std::string>{"ORDERS", "CUSTOMERS"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.orders)), (std::set<std::string>{"orders.csv"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.orders)), (std::set<std::string>{"Load", "Weekly"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.file)), (std::set<std::string>{"ORDERS"}));
    EXPECT_TRUE(g.names(g.meta->listResourcesUsedBy(g.job)).empty());
    EXPECT_EQ(g.names(g.meta->listResourcesOfTypeUsing(g.job, VqbString("Table"))),
              (std::set<std::string>{"ORDERS", "CUSTOMERS"}));
    EXPECT_TRUE(g.names(g.meta->listResourcesOfTypeUsing(g.job, VqbString("File"))).empty());

    ASSERT_TRUE(g.meta->deleteDependency(g.job, g.customers));
    EXPECT_EQ(g.names(g.meta->listResourcesUsing(g.job)), (std::set<std::string>{"ORDERS"}));
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.orders)), (std::set<std::string>{"Load", "Weekly"}));

    // Every link the job made goes; links others made to the same resources stay.
    ASSERT_TRUE(g.meta->deleteDependenciesOnResource(g.job));
    EXPECT_TRUE(g.names(g.meta->listResourcesUsing(g.job)).empty());
    EXPECT_EQ(g.names(g.meta->listResourcesUsedBy(g.orders)), (std::set<std::string>{"Weekly"}));
    EXPECT_EQ(g.count("IMPDEP"), 2);
}

TEST(MetaLineage, ResourcesAreUniqueByIdentityAndType) {
    Graph g;
    int id = 12345;
    EXPECT_FALSE(g.meta->addResource(VqbString("Other name"), VqbString("db://sales/ORDERS"), VqbString("Table"),
                                     &id));
    EXPECT_EQ(id, 12345);
    EXPECT_EQ(g.count("IMPRCS"), 5);
    // The same identity under another type is another resource.
    int view = g.add("ORDERS", "db://sales/ORDERS", "View");
    EXPECT_NE(view, g.orders);
    EXPECT_TRUE(g.meta->getResourceIdByIdentity(VqbString("View"), VqbString("db://sales/ORDERS")));
    EXPECT_FALSE(g.meta->getResourceIdByIdentity(VqbString("db://sales/ORDERS"), VqbString("View")));

    Rows found = g.take(g.meta->getResourceByIdentity(VqbString("db://sales/ORDERS"), VqbString("Table")));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], (std::vector<std::string>{std::to_string(g.orders), "ORDERS", "db://sales/ORDERS", "Table",
                                                  "<null>"}));
    EXPECT_EQ(g.take(g.meta->getResource(g.file))[0][2], "file:///in/orders.csv");
    EXPECT_EQ(g.names(g.meta->listResourcesOfType(VqbString("Job"))), (std::set<std::string>{"Load", "Weekly"}));
    EXPECT_EQ(g.take(g.meta->listResources()).size(), 6u);
    EXPECT_EQ(MetaRepository::column(g.take(g.meta->listResourceTypes()), 0),
              (std::set<std::string>{"Job", "Table", "File", "View"}));

    // Identities are long structured texts; quotes and the like are data.
    const std::string hostile = "db://x'; DELETE FROM IMPRCS; --/\"T\"";
    int odd = g.add("odd", hostile, "Table");
    EXPECT_EQ(g.take(g.meta->getResource(odd))[0][2], hostile);
    EXPECT_EQ(g.count("IMPRCS"), 7);

    ASSERT_TRUE(g.meta->setResourceAnalysisDate(g.orders, 45000.5));
    EXPECT_EQ(g.take(g.meta->getResource(g.orders))[0][4], "45000.5");
    EXPECT_FALSE(g.meta->setResourceAnalysisDate(999, 45000.5));
}
