#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "repos_fixture.h"
#include "vqresmgr.h"

namespace {

class ReposResIdentity : public ::testing::Test {
protected:
    ReposHeld<VqResourceManager> m{createVqResourceManager()};

    // The identity a call makes; "" when it refuses, and then it must leave no identity behind.
    template <class Call>
    std::string made(Call call) {
        VqbString out("stale");
        if (call(out)) return out.str();
        EXPECT_TRUE(out.isEmpty()) << "a failed call leaves no identity behind";
        return "";
    }
    std::string object(const std::string& b, const std::string& t, const std::string& id, const std::string& u) {
        return made([&](VqbString& out) { return m->getObjectIdentity(b, t, id, u, out); });
    }
    std::string file(const std::string& path, const std::string& name) {
        return made([&](VqbString& out) { return m->getFileIdentity(path, name, out); });
    }
    std::string database(const std::string& connection, const std::string& type = "ODBC") {
        return made([&](VqbString& out) { return m->getDatabaseIdentity(connection, type, out); });
    }
    std::string table(const std::string& conn, const std::string& cat, const std::string& sch, const std::string& n) {
        return made([&](VqbString& out) { return m->getTableIdentity(conn, "ODBC", cat, sch, n, out); });
    }
};

// Fragments built from the separator and the escape character, which a careless join confuses.
const std::vector<std::string> kFragments = {"", "a", "|", "^", "^|", "|^", "a|b", "^^", "b^"};

}  // namespace

TEST_F(ReposResIdentity, ObjectIdentitiesAreDeterministicAndNeverCollide) {
    ASSERT_TRUE(m);
    EXPECT_EQ(object("", "Rule", "12", "u"), object("", "Rule", "12", "u"));
    // Hostile fragments in the fields never make two objects one; with an id the uuid (or a path
    // a caller passes there) is not part of the identity, so one object keeps one identity.
    std::map<std::string, std::string> seen;
    for (const auto& base : kFragments)
        for (const auto& type : kFragments)
            for (const auto& id : kFragments)
                for (const auto& uuid : kFragments) {
                    std::string identity = object(base, type, id, uuid);
                    if (identity.empty()) continue;
                    std::string key = base + "\x01" + type + "\x01" + id + "\x01" + (id.empty() ? uuid : "");
                    auto placed = seen.emplace(identity, key);
                    EXPECT_EQ(placed.first->second, key) << identity;
                }
    EXPECT_GT(seen.size(), 500u);
    EXPECT_EQ(object("b", "Rule", "12", "/Sales/Rule1"), object("b", "Rule", "12", "0e5c2b1e-uuid"));
    EXPECT_NE(object("b", "Rule", "", "12"), object("b", "Rule", "12", ""));
    // A type and an id or uuid are needed.
    EXPECT_EQ(object("", "", "12", "u"), "");
    EXPECT_EQ(object("base", "Rule", "", ""), "");
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
            EXPECT_EQ(path.str() + "\x01" + name.str(), p + "\x01" + n);
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
        EXPECT_FALSE(m->parseFileIdentity(VqbString(bad), a, b)) << bad;
        EXPECT_TRUE(a.isEmpty() && b.isEmpty()) << bad;
        EXPECT_FALSE(m->parseTableIdentity(VqbString(bad), a, b, c, d, e)) << bad;
    }
    EXPECT_FALSE(m->parseDatabaseIdentity(VqbString("database|ODBC"), a, b));
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
    for (const char* nothing : {"", " ; ", "UID=a;PWD=b"}) EXPECT_EQ(database(nothing), "") << nothing;
    EXPECT_NE(database("my data source"), "");
    // A malformed connection still never carries its password (pieces marked Q1..Q3).
    for (const char* malformed : {"DSN={unterminated; PWD=Q1;junk", "DSN=x;junk;PWD={Q1;Q2}Q3;x=1",
                                  "DSN=x;junk;PWD={Q1;Q2", "junk;Password = { Q1;Q2;Q3 }}"}) {
        std::string identity = database(malformed);
        ASSERT_NE(identity, "") << malformed;
        EXPECT_EQ(identity.find('Q'), std::string::npos) << identity;
    }
    // Braced values survive normalising.
    std::string braced = database("DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE={x;y}");
    EXPECT_NE(braced, database("DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE=x"));
    VqbString connection, type;
    ASSERT_TRUE(m->parseDatabaseIdentity(VqbString(braced), connection, type));
    EXPECT_EQ(type.str(), "ODBC");
    EXPECT_EQ(database(connection.str()), braced);
}

TEST_F(ReposResIdentity, TableIdentityLeadsBackToItsDatabase) {
    for (const char* conn : {"DSN=sales;UID=u;PWD=p", "DATABASE={a;b}};c};SERVER= h ", "plain name", "x;y=z", ""}) {
        SCOPED_TRACE(conn);
        std::string identity = table(conn, "cat|a", "sch^", "CUSTOMERS");
        ASSERT_NE(identity, "");
        VqbString connection, type, catalog, schema, name;
        ASSERT_TRUE(m->parseTableIdentity(VqbString(identity), connection, type, catalog, schema, name));
        EXPECT_EQ(catalog.str() + "/" + schema.str() + "/" + name.str(), "cat|a/sch^/CUSTOMERS");
        EXPECT_EQ(database(connection.str(), type.str()), database(conn));
        EXPECT_EQ(table(connection.str(), "cat|a", "sch^", "CUSTOMERS"), identity);
    }
    EXPECT_EQ(table("DSN=a", "", "", ""), "");
    std::map<std::string, std::string> seen;
    for (const auto& catalog : kFragments)
        for (const auto& schema : kFragments)
            for (const auto& name : kFragments)
                if (!name.empty()) {
                    EXPECT_TRUE(seen.emplace(table("DSN=a|b", catalog, schema, name), catalog + "/" + schema).second);
                }
    EXPECT_NE(table("DSN=a", "x", "", "T"), table("DSN=a", "", "x", "T"));
    EXPECT_NE(table("DSN=a", "", "s", "|T"), table("DSN=a", "", "s|", "T"));
}

TEST_F(ReposResIdentity, DataSourceNameAndPreparedConnections) {
    VqbString name("stale");
    for (auto [connection, expected] : {std::pair{"UID=u;dsn=Sales DSN;DATABASE=db", "Sales DSN"},
                                        {"SERVER=h;DATABASE=warehouse", "warehouse"},
                                        {"VQXTYPE=SQLITE;FILE=/tmp/r.db", "/tmp/r.db"},
                                        {"SERVER=h;DSN=", ""}, {"no pairs here", ""}, {"", ""}}) {
        EXPECT_EQ(m->getDataSourceName(connection, name), *expected != 0) << connection;
        EXPECT_EQ(name.str(), expected);
    }
    EXPECT_TRUE(m->prepareConnection("DSN=x", "ODBC"));
    EXPECT_FALSE(m->prepareConnection("PWD=only", "ODBC") || m->prepareConnection("", "ODBC"));
}
