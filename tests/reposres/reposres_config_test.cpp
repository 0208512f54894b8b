#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "test_support.h"
#include "vqbconfig.h"
#include "vqrepconfig.h"

namespace {

const char kSection[] = "REPOSITORIES";

struct Released {
    template <class T>
    void operator()(T* p) const { p->release(); }
};
using ManagerPtr = std::unique_ptr<RepositoryConfigurationManager, Released>;
using ConfigPtr = std::unique_ptr<RepositoryConfiguration, Released>;

ConfigPtr lookup(const char* name) {
    ManagerPtr manager(getRepositoryConfigurationManager());
    if (!manager) return nullptr;
    return ConfigPtr(manager->getRepositoryConfiguration(VqbString(name)));
}

}  // namespace

TEST(ReposResConfig, NamedRepositoriesWithTheirSettings) {
    ConfigScope config;
    config.set("Sales.CONNECTION", "DSN=sales;UID=dq", kSection);
    config.set("Sales.PREFIX", "DQ_", kSection);
    config.set("Local.connection", "/var/lib/dq/local.db", kSection);
    config.set("Local.File", "yes", kSection);
    config.set("eu.sales.CONNECTION", "DSN=eu", kSection);
    config.set("eu.sales.FILE", "false", kSection);

    ConfigPtr sales = lookup("Sales");
    ASSERT_TRUE(sales);
    EXPECT_EQ(sales->getName().str(), "Sales");
    EXPECT_EQ(sales->getConnectorKind(), REPOS_CONNECTOR_DAC);
    EXPECT_EQ(sales->getConnection().str(), "DSN=sales;UID=dq");
    EXPECT_EQ(sales->getTablePrefix().str(), "DQ_");

    ConfigPtr local = lookup("local");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->getName().str(), "Local");
    EXPECT_EQ(local->getConnectorKind(), REPOS_CONNECTOR_FILE);
    EXPECT_EQ(local->getConnection().str(), "/var/lib/dq/local.db");
    EXPECT_TRUE(local->getTablePrefix().isEmpty());

    ConfigPtr eu = lookup("EU.SALES");
    ASSERT_TRUE(eu);
    EXPECT_EQ(eu->getConnection().str(), "DSN=eu");
    EXPECT_EQ(eu->getConnectorKind(), REPOS_CONNECTOR_DAC);
}

TEST(ReposResConfig, UnknownIncompleteAndAmbiguousNamesAreNotConfigured) {
    ConfigScope config;
    config.set("Sales.CONNECTION", "DSN=a", kSection);
    config.set("SALES.CONNECTION", "DSN=b", kSection);
    config.set("NoConn.PREFIX", "P", kSection);
    config.set("Empty.CONNECTION", "", kSection);
    config.set("BadFlag.CONNECTION", "/r.db", kSection);
    config.set("BadFlag.FILE", "sometimes", kSection);
    config.set("Other.COLOUR", "blue", kSection);
    config.set("Sales", "DSN=c", kSection);

    LogCapture log;
    EXPECT_FALSE(lookup("Missing"));
    EXPECT_FALSE(lookup(""));
    EXPECT_FALSE(lookup("Other"));
    EXPECT_FALSE(lookup("NoConn"));
    EXPECT_TRUE(log.contains("NoConn", 5));
    EXPECT_FALSE(lookup("Empty"));
    EXPECT_FALSE(lookup("badflag"));
    EXPECT_TRUE(log.contains("sometimes", 5));
    // Exact spellings win; a third spelling cannot choose between them.
    EXPECT_FALSE(lookup("sales"));
    EXPECT_TRUE(log.contains("ambiguous", 5));
    ConfigPtr exact = lookup("SALES");
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->getConnection().str(), "DSN=b");
}

TEST(ReposResConfig, NoManagerWithoutConfigurationOptions) {
    vqbConfigSetUnavailable(true);
    RepositoryConfigurationManager* manager = getRepositoryConfigurationManager();
    vqbConfigSetUnavailable(false);
    EXPECT_EQ(manager, nullptr);
    if (manager) manager->release();
}

TEST(ReposResConfig, ReadFromTheConfigurationFile) {
    TempDir dir;
    const std::string path = dir.file("repos.conf");
    writeFile(path,
              "# named repositories\n"
              "[REPOSITORIES]\n"
              "Sales.CONNECTION = DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=dq\n"
              "Sales.PREFIX = DQ_\n"
              "Local.CONNECTION = /var/lib/dq/local.db\n"
              "Local.FILE = true\n"
              "[OTHER]\n"
              "Ignored.CONNECTION = x\n");
    const char* previous = std::getenv("REPOSADMIN_CONFIG");
    std::string saved = previous ? previous : "";
    setenv("REPOSADMIN_CONFIG", path.c_str(), 1);
    vqbConfigReload();

    ConfigPtr sales = lookup("sales");
    ConfigPtr local = lookup("LOCAL");
    ConfigPtr ignored = lookup("Ignored");

    if (previous) setenv("REPOSADMIN_CONFIG", saved.c_str(), 1);
    else unsetenv("REPOSADMIN_CONFIG");
    vqbConfigReload();

    ASSERT_TRUE(sales);
    EXPECT_EQ(sales->getConnection().str(), "DRIVER={PostgreSQL Unicode};SERVER=db;DATABASE=dq");
    EXPECT_EQ(sales->getTablePrefix().str(), "DQ_");
    ASSERT_TRUE(local);
    EXPECT_EQ(local->getConnectorKind(), REPOS_CONNECTOR_FILE);
    EXPECT_FALSE(ignored);
    EXPECT_FALSE(lookup("Sales")) << "gone after the file was dropped";
}
