// Tasks and sources: what is stored and announced, and that a refused or failed change stores,
// hands out and announces nothing.
#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "vqbmessage.h"

namespace {

class MonitorTasks : public MonitorTest {};

TEST_P(MonitorTasks, AnnouncesTasksAndSourcesAfterTheirChange) {
    ScopedRecordingEventManager events;
    uint32_t job = 0, source = 0;
    ASSERT_TRUE(rda->addJob("Nightly", "JOB-1", "ann", 0, "c", "d", &job));
    ASSERT_TRUE(rda->updateJob(job, "Nightly", "JOB-1", "ann", 1.0, "bob", 2.0, 0, "c", "d"));
    ASSERT_TRUE(rda->addSource("Orders", "SRC-1", "ann", 0, &source));
    ASSERT_TRUE(rda->updateSource(source, "Orders2", "bob", 0));
    EXPECT_EQ(
        rows("SELECT JB_ID, JB_CODE, JB_EDUSR FROM {MJOB} UNION ALL SELECT ES_ID, ES_UUID, ES_EDUSR FROM {EXSRC}"),
        (Rows{{std::to_string(job), "JOB-1", "bob"}, {std::to_string(source), "SRC-1", "bob"}}));
    // A source is announced as deleted before it goes, whatever the delete gives.
    ASSERT_TRUE(repo->refuse(Refused::Delete, "EXSRC"));
    EXPECT_FALSE(rda->deleteSource(source));

    const std::string r = repo->uuid(), j = std::to_string(job), s = std::to_string(source);
    EXPECT_EQ(events.lines(), (std::vector<std::string>{
                                  "postEvent(" + r + ", 0, Task, " + j + ", JOB-1)",
                                  "postEvent(" + r + ", 2, Task, " + j + ", JOB-1)",
                                  "postEvent(" + r + ", 0, Source, " + s + ", SRC-1)",
                                  "postEvent(" + r + ", 2, Source, " + s + ", )",
                                  "postEvent(" + r + ", 1, Source, " + s + ", )",
                              }));
}

TEST_P(MonitorTasks, RefusedOrUncommittedAddsLeaveNoTrace) {
    enum Spoil { Taken, InsertRefused, CommitFails };
    for (const char* table : {"MJOB", "EXSRC"}) {
        for (Spoil spoil : {Taken, InsertRefused, CommitFails}) {
            // Only the server checks a constraint at commit.
            if (spoil == CommitFails && GetParam() != Place::Postgres) continue;
            SCOPED_TRACE(std::string(table) + " " + std::to_string(spoil));
            TestRepository fresh(GetParam());
            ReposHeld<MonitorRDAImpl> m(new MonitorRDAImpl(fresh.connection()));
            const bool job = std::string(table) == "MJOB";
            if (spoil == Taken)
                fresh.exec(job ? "INSERT INTO {MJOB} (JB_ID, JB_CODE) VALUES (50, 'DUP')"
                               : "INSERT INTO {EXSRC} (ES_ID, ES_UUID) VALUES (50, 'DUP')");
            if (spoil == InsertRefused) fresh.refuse(Refused::Insert, table);
            if (spoil == CommitFails) {
                fresh.exec("CREATE FUNCTION " + fresh.prefix() +
                           "late() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RAISE EXCEPTION ''late''; END'");
                fresh.exec("CREATE CONSTRAINT TRIGGER late AFTER INSERT ON " + fresh.table(table) +
                           " DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION " + fresh.prefix() + "late()");
            }
            const int before = fresh.count(table);
            ScopedRecordingEventManager events;
            LogCapture log;
            uint32_t id = 777;
            EXPECT_FALSE(job ? m->addJob("Task", "DUP", "u", 0, "", "", &id) : m->addSource("Src", "DUP", "u", 0, &id));
            EXPECT_EQ(id, 777u);
            EXPECT_EQ(events.count(), 0u);
            EXPECT_EQ(fresh.count(table), before);
            EXPECT_EQ(log.contains(vqb_get_message(VQB_MOD_MONITOR, 1085).str(), 5), spoil == Taken);
            if (spoil == CommitFails) fresh.exec("DROP FUNCTION " + fresh.prefix() + "late() CASCADE");
        }
    }
}

TEST_P(MonitorTasks, DeletesATaskWithoutExecutionsAndAnnouncesItByPath) {
    struct Case {
        const char* what;
        int folder;  // 99: no such folder
        bool executed;
        const char* uriHolds;  // null: nothing announced
        std::string logged;
    };
    ASSERT_TRUE(repo->addFolder(7, 0, "Ops"));
    const Case cases[] = {
        {"in a folder", 7, false, "Ops/Nightly", ""},
        {"at the root", 0, false, "Nightly", ""},
        {"in a missing folder", 99, false, nullptr, "Error building path for task=13"},
        {"with executions", 7, true, nullptr, vqb_get_message(VQB_MOD_MONITOR, 1088).str()},
    };
    int job = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const VqbDatavar id(++job);
        repo->exec("INSERT INTO {MJOB} (JB_ID, JB_DESC, JB_CODE, FLDR_ID) VALUES (?, 'Nightly', 'J', ?)",
                   {id, VqbDatavar(c.folder)});
        repo->exec("INSERT INTO {JBRUME} (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (?, 20, 1, 1, 1)", {id});
        repo->exec("INSERT INTO {RULEVT} (JB_ID, RU_ID, EV_SEQ, EV_CODE) VALUES (?, 20, 1, 'E')", {id});
        if (c.executed) repo->exec("INSERT INTO {EXEC} (EX_ID, JB_ID, EX_NROWS) VALUES (?, ?, 5)", {id, id});
        const Rows before = everything();
        ScopedRecordingEventManager events;
        LogCapture log;
        EXPECT_EQ(rda->deleteJob(job), !c.executed);
        if (c.executed) {
            EXPECT_EQ(everything(), before);
        }
        for (const char* table : {"MJOB", "JBRUME", "RULEVT"})
            EXPECT_EQ(repo->count(table, "JB_ID=?", {id}), c.executed ? 1 : 0) << table;
        ASSERT_EQ(events.count(), c.uriHolds ? 1u : 0u);
        if (c.uriHolds) {
            EXPECT_NE(events.events()[0].uri.find(c.uriHolds), std::string::npos) << events.events()[0].uri;
        }
        EXPECT_TRUE(c.logged.empty() || log.contains(c.logged, 5)) << c.logged;
    }
}

// Out ids left null, too.
TEST_P(MonitorTasks, HostileNamesRoundTrip) {
    const char hostile[] = "O'Hara\"; DROP--";
    const VqbString name(hostile), none;
    ASSERT_TRUE(rda->addJob(name, name, "u", 0, name, name, nullptr));
    ASSERT_TRUE(rda->addSource(name, name, "u", 0, nullptr));
    ASSERT_TRUE(rda->addDimension(name, name, "u", name, 0, nullptr));
    ASSERT_TRUE(rda->addReportGroup(name, name, 1, 1, 1, VqbDate(), "u", name, 0, nullptr));
    ASSERT_TRUE(rda->addExecPropertyType(name, name));
    ASSERT_TRUE(rda->setExecProperty(1, 1, name, name, false));
    LogCapture log;
    EXPECT_FALSE(rda->setExecProperty(1, 1, name, "other", false));
    EXPECT_TRUE(log.contains("\"other\"", 5));
    const std::pair<ReposDataAccessCursor*, int> found[] = {
        {rda->findJob(0, name, none), 1},
        {rda->findJob(0, none, name), 2},
        {rda->findSource(0, name, none), 2},
        {rda->findDimension(0, name, none), 1},
        {rda->listReportGroups(0xFFFFFFFF, name), 1},
        {rda->listExecProperties(1, 1), 2},
    };
    for (const auto& [cursor, column] : found) {
        const Rows got = take(cursor);
        EXPECT_EQ(got.size(), 1u);
        EXPECT_EQ(cell(got, 0, column), hostile);
    }
}

REPOS_EVERY_PLACE(MonitorTasks);

}  // namespace
