// The connection frame: names, column lists, set-up, locking and its trace, script literals.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "db_fixture.h"
#include "rda_impl.h"
#include "vqbmessage.h"

namespace {

RDA_BaseImpl* frame(ReposDataAccess* c) { return static_cast<RDA_BaseImpl*>(c); }

}  // namespace

TEST(Frame, NamesColumnListsAndUuidFollowTheCatalogue) {
    TempDir dir;
    Conn c(newRepositoryWith(dir.file("r.db"), {"INFO"}));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->getRepositoryUuid().str(), "");  // no info row yet
    VqbDatavar type("VQREPOSITORY"), uuid("5f0c7b1e-0000-4000-8000-000000000001");
    ASSERT_TRUE(c->paramExec("INSERT INTO INFO (I_TYPE, I_UUID) VALUES (?, ?)", nullptr, 2, &type, &uuid));
    EXPECT_EQ(c->getRepositoryUuid().str(), uuid.asString().str());
    EXPECT_EQ(c->getTableName("FRQDST", true, 0).str(), "\"FRQDST0\"");
    // A quote inside a name cannot end the quoted identifier.
    EXPECT_EQ(c->getTableName("A\"B", true, -1).str(), "\"A\"\"B\"");
    EXPECT_EQ(c->getColumnList("UCURID", nullptr).str(), "NI_KEY, NI_VAL");
    // The metric placeholder stands for its 24 columns, in place.
    std::string fld = c->getColumnList("FLD", "f").str();
    EXPECT_EQ(fld.rfind("f.DSN_ID, f.TBL_ID, f.FLD_ID, ", 0), 0u);
    EXPECT_NE(fld.find("f.FLD_NAME, f.MET_0, f.MET_1"), std::string::npos);
    EXPECT_NE(fld.find("f.MET_23, f.DOM_ID"), std::string::npos);
    EXPECT_EQ(c->getColumnList("NOSUCHTABLE", "x").str(), "x.*");
}

// Each walk keeps its own position: connections on several threads get whole, correct lists.
TEST(Frame, ColumnListsOnSeveralThreadsDoNotDisturbEachOther) {
    TempDir dir;
    const char* tables[] = {"FLD", "UCURID", "NCOALO", "BIGSTR"};
    std::vector<std::string> expected;
    Conn one(newRepository(dir.file("one.db")));
    for (const char* t : tables) expected.push_back(one->getColumnList(t, "a").str());
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            Conn c(newRepository(dir.file("r" + std::to_string(t) + ".db")));
            for (int i = 0; i < 300; ++i)
                if (c->getColumnList(tables[(t + i) % 4], "a").str() != expected[(t + i) % 4]) ++wrong;
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(Frame, SetUpWithoutConfigurationFailsAndLeavesNothing) {
    TempDir dir;
    LogCapture log;
    vqbConfigSetUnavailable(true);
    VqbString error("untouched");
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_CREATE, dir.file("r.db"), "", nullptr, error);
    vqbConfigSetUnavailable(false);
    EXPECT_EQ(c, nullptr);
    // The reason itself, not the general text.
    EXPECT_EQ(error, reposMessage(292));
    EXPECT_TRUE(log.contains(reposMessage(292).str(), 5));
}

// Locking follows BASE/KORVANTE: absent, empty, "false" and "0" turn it off, any other text on.
TEST(Frame, KorvanteDecidesAndEachPublicOperationLocksOnce) {
    const std::pair<const char*, bool> cases[] = {
        {nullptr, false}, {"", false}, {"false", false}, {"0", false}, {"true", true}, {"sometimes", true}};
    for (const auto& [value, enabled] : cases) {
        TempDir dir;
        ConfigScope config;
        if (value) config.set("BASE/KORVANTE", value);
        LogCapture log(2);
        Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID"}));
        ASSERT_TRUE(c);
        RDA_BaseImpl* f = frame(c.get());
        EXPECT_EQ(f->lockingEnabled(), enabled) << (value ? value : "absent");
        EXPECT_EQ(log.contains("Thread locking is disabled", 2), !enabled);

        uint64_t before = vqLockAcquisitions(f->lockHandle());
        c->isInTransaction();
        c->getTableName("INFO", true, -1);
        c->getColumnList("UCURID", nullptr);
        c->getMaxTextLen();
        Cursor cur(c->paramSelect("SELECT 1", 0));
        EXPECT_EQ(vqLockAcquisitions(f->lockHandle()) - before, enabled ? 5u : 0u);
    }
}

// With locking on, threads can share one connection: every id is handed out once and every row
// written arrives.
TEST(Frame, ThreadsShareOneLockedConnection) {
    TempDir dir;
    ConfigScope config;
    config.set("BASE/KORVANTE", "true");
    Conn c(newRepositoryWith(dir.file("r.db"), {"UCURID"}));
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->paramExec("CREATE TABLE T (ID INTEGER, WHO INTEGER)", nullptr, 0));
    ASSERT_TRUE(c->beginTransaction(false));
    constexpr int kThreads = 4, kEach = 150;
    std::vector<std::vector<int64_t>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                VqbDatavar id;
                if (!c->getNextId("T", &id)) continue;
                got[t].push_back(id.asInt64());
                VqbDatavar who(t);
                c->paramExec("INSERT INTO T VALUES (?, ?)", nullptr, 2, &id, &who);
                Cursor cur(c->paramSelect("SELECT COUNT(*) FROM T WHERE ID = ?", 1, &id));
                EXPECT_TRUE(cur && cur->next() == 1 && cur->getInt(0) == 1);
            }
        });
    }
    for (auto& th : threads) th.join();
    ASSERT_TRUE(c->endTransaction(true));
    std::set<int64_t> all;
    for (auto& v : got) all.insert(v.begin(), v.end());
    EXPECT_EQ(all.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(*all.begin(), 1);
    EXPECT_EQ(*all.rbegin(), kThreads * kEach);
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(raw.scalar("SELECT COUNT(DISTINCT ID) FROM T"), std::to_string(kThreads * kEach));
}

TEST(Frame, ScriptLiteralsAndStatementsAreValidSql) {
    const struct {
        VqbDatavar value;
        const char* literal;
    } literals[] = {{VqbDatavar(), "NULL"},
                    {VqbDatavar("O'Brien's"), "'O''Brien''s'"},
                    {VqbDatavar(static_cast<long long>(5000000000LL)), "5000000000"},
                    {VqbDatavar(2.5), "2.5"},
                    {VqbDatavar(VqbDate(45000.25)), "45000.25"},
                    {VqbDatavar::fromBool(true), "1"}};
    for (const auto& l : literals) EXPECT_EQ(RDA_BaseImpl::scriptLiteral(&l.value).str(), l.literal);
    EXPECT_EQ(RDA_BaseImpl::scriptLiteral(nullptr).str(), "NULL");

    TempDir dir;
    Conn c(newRepository(dir.file("r.db")));
    ASSERT_TRUE(c);
    RDA_BaseImpl* f = frame(c.get());
    VqbDatavar five(5), null, text("it's ? here");
    const VqbDatavar* values[] = {&five, &null, &text};
    VqbString out;
    ASSERT_TRUE(f->buildScriptStatement("UPDATE T SET A=?, /* ? */ B=?, C=? WHERE D='?' -- ?", {values, 3}, out));
    EXPECT_EQ(out.str(), "UPDATE T SET A=5, /* ? */ B=NULL, C='it''s ? here' WHERE D='?' -- ?");
    // The literal is valid SQL that gives the text back.
    Cursor cur(c->paramSelect(VqbString::format("SELECT %s", RDA_BaseImpl::scriptLiteral(&text).asCstr()), 0));
    EXPECT_EQ(columnTexts(cur.get(), 0), std::vector<std::string>{"it's ? here"});

    LogCapture log;  // fewer values than markers
    EXPECT_FALSE(f->buildScriptStatement("UPDATE T SET A=? WHERE B='?'", {values, 2}, out));
    EXPECT_EQ(c->getLastErrorMessage(), reposMessage(1288));
    EXPECT_TRUE(log.contains(reposMessage(1288).str(), 5));
}

// The table-creation command spec named by the configuration supplies DDL for the connector
// back end; the frame runs it on whatever connection it has.
TEST(Frame, CommandSpecStatementsRunInOrder) {
    TempDir dir;
    ConfigScope config;
    config.set("REPOS/CREATE_SPEC_PATH", dir.file("spec.xml").c_str());
    writeFile(dir.file("spec.xml"), R"(<?xml version="1.0"?>
<velqorindocument class="VqCreateSpec" version="1.0">
  <dbtype name="SQLITE">
    <schemaspec name="*">
      <tablespec name="JOB">
        <value idx="2">INSERT INTO %t VALUES (7)</value>
        <value idx="1">CREATE TABLE %t (%f)</value>
        <indexspec><value>CREATE INDEX %i ON %t (%f)</value></indexspec>
      </tablespec>
      <tablespec name="BAD"><value>CREATE TABLEX %t (%f)</value></tablespec>
    </schemaspec>
  </dbtype>
</velqorindocument>)");
    Conn c(newRepository(dir.file("r.db")));
    ASSERT_TRUE(c);
    RDA_BaseImpl* f = frame(c.get());
    EXPECT_TRUE(f->runCustomTableDdl("SQLITE", "", "JOB", "X INTEGER"));
    EXPECT_TRUE(f->runCustomIndexDdl("SQLITE", "", "JOB", "JOBX", "X"));
    EXPECT_FALSE(f->runCustomTableDdl("SQLITE", "", "OTHER", "X INTEGER"));  // nothing for it
    LogCapture log;
    EXPECT_FALSE(f->runCustomTableDdl("SQLITE", "", "BAD", "X INTEGER"));
    EXPECT_TRUE(log.contains("syntax error", 5));
    RawDb raw(dir.file("r.db"));
    EXPECT_EQ(raw.scalar("SELECT X FROM JOB"), "7");
    EXPECT_EQ(raw.scalar("SELECT sql FROM sqlite_master WHERE name='JOBX'"), "CREATE INDEX JOBX ON JOB (X)");

    // An unreadable spec does not stop the set-up; it just supplies nothing.
    writeFile(dir.file("spec.xml"), "<velqorindocument class=\"VqCreateSpec\" version=\"1.0\"><dbtype");
    LogCapture broken;
    Conn other(newRepository(dir.file("r2.db")));
    ASSERT_TRUE(other);
    EXPECT_GE(broken.count("", 5), 1u);
    EXPECT_FALSE(frame(other.get())->runCustomTableDdl("SQLITE", "", "JOB", "X INTEGER"));
}
