// Pooled shared connections and the connection cache.
#include "dac_fixture.h"
#include "vqdacpool.h"

TEST(DacPool, UsersOfOnePoolShareOneConnection) {
    TempDir dir;
    std::string text = "VQXTYPE=SQLITE;FILE=" + dir.file("p.db") + ";CREATE=TRUE";
    VqbString error;
    {
        ConnShareSingleton a, b;
        EXPECT_EQ(a.getConnection(VqbString("P1"), VqbString(text), &error, nullptr, 0), nullptr);
        EXPECT_FALSE(error.isEmpty());
        ASSERT_TRUE(a.initialise(0));
        ASSERT_TRUE(b.initialise(0));
        DacConnection* ca = a.getConnection(VqbString("P1"), VqbString(text), &error, nullptr, 0);
        DacConnection* cb = b.getConnection(VqbString("P1"), VqbString(text), &error, nullptr, 0);
        ASSERT_TRUE(ca && cb) << error.str();
        EXPECT_EQ(ConnShareSingleton::openPoolCount(), 1);
        // One connection: what one user does inside its transaction the other sees.
        ASSERT_TRUE(ca->executeDirect(VqbString("CREATE TABLE t (x INTEGER)"), 0));
        ASSERT_TRUE(ca->beginTransaction());
        ASSERT_TRUE(ca->executeDirect(VqbString("INSERT INTO t VALUES (1)"), 0));
        EXPECT_TRUE(cb->isInTransaction());
        EXPECT_EQ(dacScalar(cb, "SELECT COUNT(*) FROM t"), "1");
        ASSERT_TRUE(ca->endTransaction(true));

        // A pool serving another text gives nothing, so the caller opens its own.
        error = VqbString();
        EXPECT_EQ(b.getConnection(VqbString("P1"), VqbString(text + ";VQXKIND=9"), &error, nullptr, 0), nullptr);
        EXPECT_NE(error.str().find("P1"), std::string::npos);
        EXPECT_EQ(b.getConnection(VqbString("P2"), VqbString("VQXTYPE=SQLITE;FILE=" + dir.file("none.db")), &error,
                                  nullptr, 0),
                  nullptr);
        EXPECT_EQ(b.getConnection(VqbString(""), VqbString(text), &error, nullptr, 0), nullptr);
        EXPECT_EQ(ConnShareSingleton::openPoolCount(), 1);

        EXPECT_TRUE(a.disconnect(VqbString("P1")));
        EXPECT_FALSE(a.disconnect(VqbString("P1")));
        EXPECT_EQ(ConnShareSingleton::openPoolCount(), 1);
        EXPECT_EQ(dacScalar(cb, "SELECT COUNT(*) FROM t"), "1");
        // Closing the handed-out object gives the share back as well.
        cb->close();
        EXPECT_EQ(ConnShareSingleton::openPoolCount(), 0);
        EXPECT_FALSE(b.disconnect(VqbString("P1")));
        ASSERT_TRUE(b.getConnection(VqbString("P3"), VqbString(text), &error, nullptr, 0));
    }
    // Ending a handle gives back what it held.
    EXPECT_EQ(ConnShareSingleton::openPoolCount(), 0);
}

TEST(DacCache, ConnectionsComeBackForTheSameSource) {
    TempDir dir;
    std::string file = dir.file("c;1.db");
    EXPECT_EQ(ConnCacheSingleton::connectionTextFor(VqbString(file), 2).str(), "VQXTYPE=SQLITE;FILE={" + file + "};");
    EXPECT_EQ(ConnCacheSingleton::connectionTextFor(VqbString("warehouse"), 0).str(), "DSN=warehouse;");
    EXPECT_EQ(ConnCacheSingleton::connectionTextFor(VqbString("DSN=a;UID=b"), 3).str(), "DSN=a;UID=b");
    {
        ConnCacheSingleton cache;
        EXPECT_EQ(cache.connect(VqbString("x"), 2), nullptr);
        ASSERT_TRUE(cache.initialise(0));
        std::string create = "VQXTYPE=SQLITE;FILE={" + file + "};CREATE=TRUE";
        DacConnection* c = cache.connect(VqbString(create), 3);
        ASSERT_TRUE(c) << cache.getErrorMessage().str();
        ASSERT_TRUE(c->executeDirect(VqbString("CREATE TABLE src (k INTEGER, v VARCHAR(10))"), 0));
        c->close();

        c = cache.connect(VqbString(file), 2);
        ASSERT_TRUE(c) << cache.getErrorMessage().str();
        EXPECT_EQ(ConnCacheSingleton::idleCount(), 1);  // the first one, under its own text
        ASSERT_TRUE(c->beginTransaction());
        ASSERT_TRUE(c->executeDirect(VqbString("INSERT INTO src VALUES (1, 'a')"), 0));
        c->close();  // back to the cache, rolled back
        EXPECT_EQ(ConnCacheSingleton::idleCount(), 2);
        DacConnection* d = cache.connect(VqbString(file), 2);
        ASSERT_TRUE(d);
        EXPECT_EQ(ConnCacheSingleton::idleCount(), 1);
        EXPECT_FALSE(d->isInTransaction());
        EXPECT_EQ(dacScalar(d, "SELECT COUNT(*) FROM src"), "0");
        d->close();
        EXPECT_EQ(cache.connect(VqbString(""), 0), nullptr);
        EXPECT_EQ(cache.connect(VqbString(dir.file("missing.db")), 2), nullptr);
        EXPECT_FALSE(cache.getErrorMessage().isEmpty());
    }
    EXPECT_EQ(ConnCacheSingleton::idleCount(), 0);
}
