#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vqresmgr.h"

namespace {

struct Releaser {
    void operator()(VqResourceManager* m) const { m->release(); }
};
using ManagerPtr = std::unique_ptr<VqResourceManager, Releaser>;

class ReposResIdentity : public ::testing::Test {
protected:
    ManagerPtr m{createVqResourceManager()};

    std::string object(const std::string& base, const std::string& type, const std::string& id,
                       const std::string& uuid) {
        VqbString out("stale");
        if (!m->getObjectIdentity(base, type, id, uuid, out)) {
            EXPECT_TRUE(out.isEmpty()) << "a failed call leaves no identity behind";
            return "";
        }
        EXPECT_FALSE(out.isEmpty());
        return out.str();
    }
    std::string file(const std::string& path, const std::string& name) {
        VqbString out("stale");
        if (!m->getFileIdentity(path, name, out)) {
            EXPECT_TRUE(out.isEmpty());
            return "";
        }
        return out.str();
    }
    std::string database(const std::string& connection, const std::string& type = "ODBC") {
        VqbString out("stale");
        if (!m->getDatabaseIdentity(connection, type, out)) {
            EXPECT_TRUE(out.isEmpty());
            return "";
        }
        return out.str();
    }
    std::string table(const std::string& connection, const std::string& catalog, const std::string& schema,
                      const std::string& name) {
        VqbString out("stale");
        if (!m->getTableIdentity(connection, "ODBC", catalog, schema, name, out)) {
            EXPECT_TRUE(out.isEmpty());
            return "";
        }
        return out.str();
    }
};

// Fragments built from the separator and the escape character, which a careless join confuses.
const std::vector<std::string> kFragments = {"", "a", "|", "^", "^|", "|^", "a|b", "^^", "b^"};

}  // namespace

TEST_F(ReposResIdentity, ObjectIdentitiesAreDeterministicAndNeverCollide) {
    ASSERT_TRUE(m);
    EXPECT_EQ(object("", "Rule", "12", "u"), object("", "Rule", "12", "u"));
    // Every combination of hostile fragments in the four fields gives its own identity.
    std::map<std::string, std::string> seen;
    size_t made = 0;
    for (const auto& base : kFragments)
        for (const auto& type : kFragments)
            for (const auto& id : kFragments)
                for (const auto& uuid : kFragments) {
                    std::string identity = object(base, type, id, uuid);
                    if (identity.empty()) continue;
                    ++made;
                    std::string key = base + "\x01" + type + "\x01" + id + "\x01" + uuid;
                    auto [it, fresh] = seen.emplace(identity, key);
                    EXPECT_TRUE(fresh) << identity << " made from two inputs";
                }
    EXPECT_GT(made, 5000u);
}

TEST_F(ReposResIdentity, ObjectIdentityRefusesMissingTypeOrKey) {
    EXPECT_EQ(object("", "", "12", "u"), "");
    EXPECT_EQ(object("base", "Rule", "", ""), "");
    EXPECT_NE(object("", "Field", "CUST_NAME", ""), "");
    EXPECT_NE(object("", "Rule", "", "u"), "");
    // Kinds never mix: an object identity is no file identity.
    VqbString path, name;
    EXPECT_FALSE(m->parseFileIdentity(VqbString(object("", "a", "b", "")), path, name));
}

TEST_F(ReposResIdentity, FileIdentitiesRoundTripAndKeepMacrosExpandable) {
    for (const auto& p : kFragments)
        for (const auto& n : kFragments) {
            std::string identity = file(p, n);
            if (p.empty()) {
                EXPECT_EQ(identity, "");
                continue;
            }
            VqbString path("x"), name("y");
            ASSERT_TRUE(m->parseFileIdentity(VqbString(identity), path, name)) << identity;
            EXPECT_EQ(path.str(), p);
            EXPECT_EQ(name.str(), n);
        }
    EXPECT_NE(file("a|b", "c"), file("a", "b|c"));

    std::string withMacro = file("%%LOGDIR%%/app.log", "app.log");
    ASSERT_NE(withMacro.find("%%LOGDIR%%"), std::string::npos);
    withMacro.replace(withMacro.find("%%LOGDIR%%"), 10, "/var/log");
    EXPECT_EQ(withMacro, file("/var/log/app.log", "app.log"));
}

TEST_F(ReposResIdentity, MalformedIdentitiesAreNotParsed) {
    VqbString a("keep"), b("keep"), c, d, e;
    for (const char* bad : {"", "file", "file|", "file|a", "file|a|b|c", "file|a^x|b", "file|a|b^", "FILE|a|b",
                            "file||b", "database|ODBC", "table|ODBC|c|cat|sch|", "object|a|b|c|d"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(m->parseFileIdentity(VqbString(bad), a, b));
        EXPECT_TRUE(a.isEmpty() && b.isEmpty());
        EXPECT_FALSE(m->parseTableIdentity(VqbString(bad), a, b, c, d, e));
        if (std::string(bad) != "database|ODBC") continue;
        EXPECT_FALSE(m->parseDatabaseIdentity(VqbString(bad), a, b));
    }
}

TEST_F(ReposResIdentity, DatabaseIdentityIgnoresCredentialsOrderAndSpelling) {
    std::string base = database("DSN=sales;UID=dq;PWD=secret");
    ASSERT_NE(base, "");
    EXPECT_EQ(base.find("secret"), std::string::npos);
    EXPECT_EQ(base.find("dq"), std::string::npos);
    EXPECT_EQ(database(" uid = other ; dsn = sales ; password={s;e}}cret} ", "odbc"), base);
    EXPECT_EQ(database("DSN=sales;DSN=ignored"), base);
    EXPECT_NE(database("DSN=Sales"), base);  // values keep their case
    EXPECT_NE(database("DSN=sales", "JDBC"), base);
    EXPECT_NE(database("DSN=sales;DATABASE=x"), base);

    EXPECT_EQ(database(""), "");
    EXPECT_EQ(database(" ; "), "");
    EXPECT_EQ(database("UID=a;PWD=b"), "");
    // A malformed connection still never carries its password.
    // The password pieces are marked Q1..Q3.
    for (const char* malformed : {"DSN={unterminated; PWD=Q1;junk", "DSN=x;junk;PWD={Q1;Q2}Q3;x=1",
                                  "DSN=x;junk;PWD={Q1;Q2", "junk;Password = { Q1;Q2;Q3 }}"}) {
        SCOPED_TRACE(malformed);
        std::string identity = database(malformed);
        ASSERT_NE(identity, "");
        EXPECT_EQ(identity.find('Q'), std::string::npos) << identity;
    }
    EXPECT_NE(database("my data source"), "");
}

TEST_F(ReposResIdentity, BracedValuesSurviveNormalising) {
    std::string a = database("DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE={x;y}");
    std::string b = database("DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE=x");
    ASSERT_NE(a, "");
    EXPECT_NE(a, b);
    VqbString connection, type;
    ASSERT_TRUE(m->parseDatabaseIdentity(VqbString(a), connection, type));
    EXPECT_EQ(type.str(), "ODBC");
    EXPECT_EQ(database(connection.str()), a);
}

TEST_F(ReposResIdentity, TableIdentityLeadsBackToItsDatabase) {
    const char* connections[] = {"DSN=sales;UID=u;PWD=p", "DATABASE={a;b}};c};SERVER= h ", "plain name", "x;y=z", ""};
    for (const char* conn : connections) {
        SCOPED_TRACE(conn);
        std::string identity = table(conn, "cat|a", "sch^", "CUSTOMERS");
        ASSERT_NE(identity, "");
        VqbString connection, type, catalog, schema, name;
        ASSERT_TRUE(m->parseTableIdentity(VqbString(identity), connection, type, catalog, schema, name));
        EXPECT_EQ(catalog.str(), "cat|a");
        EXPECT_EQ(schema.str(), "sch^");
        EXPECT_EQ(name.str(), "CUSTOMERS");
        EXPECT_EQ(database(connection.str(), type.str()), database(conn));
        EXPECT_EQ(table(connection.str(), "cat|a", "sch^", "CUSTOMERS"), identity);
    }
    EXPECT_EQ(table("DSN=a", "", "", ""), "");
    std::map<std::string, std::string> seen;
    for (const auto& catalog : kFragments)
        for (const auto& schema : kFragments)
            for (const auto& name : kFragments) {
                std::string identity = table("DSN=a|b", catalog, schema, name);
                if (name.empty()) continue;
                EXPECT_TRUE(seen.emplace(identity, catalog + "/" + schema + "/" + name).second) << identity;
            }
    EXPECT_NE(table("DSN=a", "x", "", "T"), table("DSN=a", "", "x", "T"));
    EXPECT_NE(table("DSN=a", "", "s", "|T"), table("DSN=a", "", "s|", "T"));
}

TEST_F(ReposResIdentity, DataSourceNameAndPreparedConnections) {
    VqbString name("stale");
    ASSERT_TRUE(m->getDataSourceName("UID=u;dsn=Sales DSN;DATABASE=db", name));
    EXPECT_EQ(name.str(), "Sales DSN");
    ASSERT_TRUE(m->getDataSourceName("SERVER=h;DATABASE=warehouse", name));
    EXPECT_EQ(name.str(), "warehouse");
    ASSERT_TRUE(m->getDataSourceName("VQXTYPE=SQLITE;FILE=/tmp/r.db", name));
    EXPECT_EQ(name.str(), "/tmp/r.db");
    EXPECT_FALSE(m->getDataSourceName("SERVER=h;DSN=", name));
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(m->getDataSourceName("no pairs here", name));
    EXPECT_FALSE(m->getDataSourceName("", name));

    EXPECT_TRUE(m->prepareConnection("DSN=x", "ODBC"));
    EXPECT_FALSE(m->prepareConnection("PWD=only", "ODBC"));
    EXPECT_FALSE(m->prepareConnection("", "ODBC"));
}
