// The tables behind field mappings: mapping objects and their physical columns.
#include <string>

#include "common_rda_fixture.h"

namespace {

class CommonMappings : public CommonRdaTest {
protected:
    unsigned mapping(const char* name) {
        unsigned id = 0;
        EXPECT_TRUE(rda->addFieldMapping(name, "desc", VqbString::format("uuid-%s", name), VqbDate(40000.25),
                                         VqbDate(40001.5), "ann", "bob", 0, &id));
        return id;
    }
};

const unsigned kAnyType = 0xFFFFFFFFu;

}  // namespace

TEST_P(CommonMappings, MappingsAndTheirConnectionsAreKeptAndFiltered) {
    unsigned customers = mapping("Customers"), orders = mapping("Orders");
    ASSERT_NE(customers, orders);
    EXPECT_EQ(take(rda->listFieldMappings(kAnyType)).size(), 2u);
    EXPECT_EQ(take(rda->listFieldMappings(customers)),
              (Rows{{std::to_string(customers), "Customers", "desc", "uuid-Customers", "40000.25", "40001.5", "ann",
                     "bob", "0"}}));

    ASSERT_TRUE(rda->addMappingConnection(customers, "dsn1", "cat", "sch", "T1", "ID", 2, true) &&
                rda->addMappingConnection(customers, "dsn1", "cat", "sch", "T1", "NAME", 2, false) &&
                rda->addMappingConnection(customers, "dsn0", "", "", "T0", "X", 1, false) &&
                rda->addMappingConnection(orders, "dsn1", "cat", "sch", "T1", "ID", 2, true));

    Rows all = take(rda->listMappingConnections(customers, "", "", "", "", kAnyType, false));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], (std::vector<std::string>{std::to_string(customers), "dsn0", "", "", "T0", "X", "1", "0"}));
    EXPECT_EQ(cell(take(rda->listMappingConnections(customers, "", "", "", "", kAnyType, true)), 0, 5), "ID");
    EXPECT_EQ(take(rda->listMappingConnections(customers, "", "", "sch", "T1", 2, false)).size(), 2u);
    EXPECT_TRUE(take(rda->listMappingConnections(customers, "' OR 1=1 --", "", "", "", kAnyType, false)).empty());
    EXPECT_EQ(take(rda->listMappingTables(customers)).size(), 2u);

    // An empty catalog and schema match any; a given schema only its own rows.
    EXPECT_TRUE(rda->deleteMappingConnection(customers, "dsn1", "", "other", "T1", "ID", 2));
    EXPECT_EQ(repo->count("MAPCON", "MAP_ID=?", {VqbDatavar(customers)}), 3);
    EXPECT_TRUE(rda->deleteMappingConnection(customers, "dsn1", "", "", "T1", "NAME", 2));
    EXPECT_EQ(repo->count("MAPCON", "MAP_ID=?", {VqbDatavar(customers)}), 2);
    EXPECT_EQ(repo->count("MAPCON", "MAP_ID=?", {VqbDatavar(orders)}), 1);

    EXPECT_TRUE(rda->updateFieldMapping(customers, "Clients", "d2", "carl", 5));
    Rows updated = take(rda->listFieldMappings(customers));
    EXPECT_EQ(cell(updated, 0, 1) + cell(updated, 0, 7) + cell(updated, 0, 8), "Clientscarl5");
}

TEST_P(CommonMappings, DeletingTakesTheMappingWithItsConnectionsOrNothing) {
    unsigned customers = mapping("Customers"), orders = mapping("Orders");
    for (unsigned id : {customers, orders})
        ASSERT_TRUE(rda->addMappingConnection(id, "dsn", "", "", "T", "A", 1, true) &&
                    rda->addMappingConnection(id, "dsn", "", "", "T", "B", 1, false));
    EXPECT_TRUE(rda->deleteFieldMapping(orders));
    EXPECT_EQ(repo->count("FLDMAP"), 1);
    EXPECT_EQ(repo->count("MAPCON"), 2);
    // Connections go first: a refused mapping delete must bring them back.
    ASSERT_TRUE(repo->refuse(Refused::Delete, "FLDMAP"));
    EXPECT_FALSE(rda->deleteFieldMapping(customers));
    EXPECT_EQ(repo->count("FLDMAP"), 1);
    EXPECT_EQ(repo->count("MAPCON", "MAP_ID=?", {VqbDatavar(customers)}), 2);
}

REPOS_EVERY_PLACE(CommonMappings);
