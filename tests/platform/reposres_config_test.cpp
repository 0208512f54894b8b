#include <gtest/gtest.h>

#include "repos_fixture.h"
#include "vqbconfig.h"
#include "vqrepconfig.h"

namespace {

ReposHeld<RepositoryConfiguration> lookup(const char* name) {
    ReposHeld<RepositoryConfigurationManager> manager(getRepositoryConfigurationManager());
    return ReposHeld<RepositoryConfiguration>(manager ? manager->getRepositoryConfiguration(VqbString(name)) : nullptr);
}

}  // namespace

TEST(ReposResConfig, NamedRepositoriesAreFoundWhateverTheCaseOfTheName) {
    ConfigScope config;
    for (auto [key, value] : {std::pair{"Sales.CONNECTION", "DSN=sales;UID=dq"}, {"Sales.PREFIX", "DQ_"},
                              {"Local.connection", "/var/lib/dq/local.db"}, {"Local.File", "yes"},
                              {"eu.sales.CONNECTION", "DSN=eu"}, {"eu.sales.FILE", "false"}})
        config.set(key, value, "REPOSITORIES");
    struct Case {
        const char *name, *canonical, *connection, *prefix;
        int kind;
    };
    for (const Case& c : {Case{"Sales", "Sales", "DSN=sales;UID=dq", "DQ_", REPOS_CONNECTOR_DAC},
                          Case{"local", "Local", "/var/lib/dq/local.db", "", REPOS_CONNECTOR_FILE},
                          Case{"EU.SALES", "eu.sales", "DSN=eu", "", REPOS_CONNECTOR_DAC}}) {
        auto found = lookup(c.name);
        ASSERT_TRUE(found) << c.name;
        EXPECT_EQ(found->getName().str(), c.canonical);
        EXPECT_EQ(found->getConnection().str(), c.connection);
        EXPECT_EQ(found->getTablePrefix().str(), c.prefix);
        EXPECT_EQ(found->getConnectorKind(), c.kind) << c.name;
    }
}

TEST(ReposResConfig, UnknownIncompleteAndAmbiguousNamesAreNotConfigured) {
    ConfigScope config;
    for (auto [key, value] : {std::pair{"Sales.CONNECTION", "DSN=a"}, {"SALES.CONNECTION", "DSN=b"},
                              {"NoConn.PREFIX", "P"}, {"Empty.CONNECTION", ""}, {"BadFlag.CONNECTION", "/r.db"},
                              {"BadFlag.FILE", "sometimes"}, {"Other.COLOUR", "blue"}, {"Sales", "DSN=c"}})
        config.set(key, value, "REPOSITORIES");
    config.set("Ignored.CONNECTION", "x", "OTHER");
    // Exact spellings win; a third spelling cannot choose between them.
    for (const char* name : {"Missing", "", "Other", "NoConn", "Empty", "badflag", "sales", "Ignored"})
        EXPECT_FALSE(lookup(name)) << name;
    auto exact = lookup("SALES");
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->getConnection().str(), "DSN=b");

    // Without configuration options there is no manager at all.
    vqbConfigSetUnavailable(true);
    RepositoryConfigurationManager* manager = getRepositoryConfigurationManager();
    vqbConfigSetUnavailable(false);
    EXPECT_EQ(manager, nullptr);
    if (manager) manager->release();
}
