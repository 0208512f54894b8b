// Tasks, sources, task rules and execution properties: what is stored, what is announced, and
// that a refused or failed change stores, hands out and announces nothing.
#include <functional>
#include <string>
#include <vector>

#include "monitor_fixture.h"
#include "vqbmessage.h"

namespace {

class MonitorTasks : public MonitorTest {};

const char kHostile[] = "O'Hara\"; DROP--";

// A constraint checked at commit, so that the statements pass and the commit fails.
bool refuseAtCommit(TestRepository& repo, const char* table) {
    return repo.exec("CREATE OR REPLACE FUNCTION " + repo.prefix() +
                     "late() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RAISE EXCEPTION ''late''; END'") &&
           repo.exec("CREATE CONSTRAINT TRIGGER late_" + std::string(table) + " AFTER INSERT ON " + repo.table(table) +
                     " DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION " + repo.prefix() + "late()");
}

TEST_P(MonitorTasks, AnnouncesTasksAndSourcesOnlyAfterTheirChange) {
    ScopedRecordingEventManager events;
    const std::string r = repo->uuid();
    uint32_t job = 0, source = 0;
    ASSERT_TRUE(rda->addJob("Nightly", "JOB-1", "ann", 0, "c", "d", &job));
    EXPECT_EQ(rows("SELECT JB_ID, JB_DESC, JB_CODE, JB_CRUSR, FLDR_ID FROM {MJOB}"),
              (Rows{{std::to_string(job), "Nightly", "JOB-1", "ann", "0"}}));
    ASSERT_TRUE(rda->updateJob(job, "Nightly", "JOB-1", "ann", 1.0, "bob", 2.0, 0, "c", "d"));
    ASSERT_TRUE(rda->addSource("Orders", "SRC-1", "ann", 0, &source));
    EXPECT_EQ(rows("SELECT ES_ID, ES_NAME, ES_UUID FROM {EXSRC}"), (Rows{{std::to_string(source), "Orders", "SRC-1"}}));
    ASSERT_TRUE(rda->updateSource(source, "Orders2", "bob", 0));
    ASSERT_TRUE(rda->deleteSource(source));
    ASSERT_TRUE(rda->deleteJob(job));

    const std::string j = std::to_string(job), s = std::to_string(source);
    std::vector<std::string> lines = events.lines();
    ASSERT_EQ(lines.size(), 6u);
    lines.pop_back();
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "postEvent(" + r + ", 0, Task, " + j + ", JOB-1)",
                         "postEvent(" + r + ", 2, Task, " + j + ", JOB-1)",
                         "postEvent(" + r + ", 0, Source, " + s + ", SRC-1)",
                         "postEvent(" + r + ", 2, Source, " + s + ", )",
                         "postEvent(" + r + ", 1, Source, " + s + ", )",
                     }));
    const RecordedRepositoryEvent deleted = events.events().back();
    EXPECT_EQ(deleted.kind, RecordedRepositoryEvent::Uri);
    EXPECT_EQ(deleted.changeType, 1);
    EXPECT_NE(deleted.uri.find("Nightly"), std::string::npos) << deleted.uri;
}

TEST_P(MonitorTasks, RefusedOrUncommittedAddsLeaveNoTrace) {
    struct Case {
        const char* what;
        std::function<bool(TestRepository&)> spoil;
        bool (*add)(MonitorRDAImpl&, uint32_t*);
        const char* table;
        const char* logged;
        bool postgresOnly;
    };
    auto addJob = [](MonitorRDAImpl& m, uint32_t* id) { return m.addJob("Task", "DUP", "u", 0, "", "", id); };
    auto addSource = [](MonitorRDAImpl& m, uint32_t* id) { return m.addSource("Src", "DUP", "u", 0, id); };
    const std::string taken = vqb_get_message(VQB_MOD_MONITOR, 1085).str();
    const Case cases[] = {
        {"task code taken",
         [](TestRepository& t) { return t.exec("INSERT INTO {MJOB} (JB_ID, JB_DESC, JB_CODE) VALUES (50, 'A', 'DUP')"); },
         addJob, "MJOB", taken.c_str(), false},
        {"source uuid taken",
         [](TestRepository& t) { return t.exec("INSERT INTO {EXSRC} (ES_ID, ES_NAME, ES_UUID) VALUES (50, 'A', 'DUP')"); },
         addSource, "EXSRC", taken.c_str(), false},
        {"task insert refused", [](TestRepository& t) { return t.refuse(Refused::Insert, "MJOB"); }, addJob, "MJOB", "",
         false},
        {"source insert refused", [](TestRepository& t) { return t.refuse(Refused::Insert, "EXSRC"); }, addSource,
         "EXSRC", "", false},
        {"task commit fails", [](TestRepository& t) { return refuseAtCommit(t, "MJOB"); }, addJob, "MJOB", "", true},
        {"source commit fails", [](TestRepository& t) { return refuseAtCommit(t, "EXSRC"); }, addSource, "EXSRC", "",
         true},
    };
    for (const Case& c : cases) {
        if (c.postgresOnly && GetParam() != Place::Postgres) continue;
        SCOPED_TRACE(c.what);
        std::unique_ptr<TestRepository> fresh = std::make_unique<TestRepository>(GetParam());
        ReposHeld<MonitorRDAImpl> m(new MonitorRDAImpl(fresh->connection()));
        ASSERT_TRUE(c.spoil(*fresh));
        const Rows before = sorted(fresh->rows("SELECT * FROM {" + std::string(c.table) + "}"));
        ScopedRecordingEventManager events;
        LogCapture log;
        uint32_t id = 777;
        EXPECT_FALSE(c.add(*m, &id));
        EXPECT_EQ(id, 777u);
        EXPECT_EQ(events.count(), 0u);
        EXPECT_EQ(sorted(fresh->rows("SELECT * FROM {" + std::string(c.table) + "}")), before);
        if (*c.logged) {
            EXPECT_TRUE(log.contains(c.logged, 5));
        }
        if (c.postgresOnly) fresh->exec("DROP FUNCTION " + fresh->prefix() + "late() CASCADE");
    }
}

TEST_P(MonitorTasks, AddsWithoutAnOutIdStillStore) {
    EXPECT_TRUE(rda->addJob("Task", "J", "u", 0, "", "", nullptr));
    EXPECT_TRUE(rda->addSource("Src", "S", "u", 0, nullptr));
    EXPECT_TRUE(rda->addCustomMetric("cm", "pre", "x", "post", nullptr));
    EXPECT_EQ(repo->count("MJOB", "JB_CODE='J'"), 1);
    EXPECT_EQ(repo->count("EXSRC", "ES_UUID='S'"), 1);
    EXPECT_EQ(rows("SELECT CM_DESC, CM_UUID, CM_COMM FROM {CUSTM}"), (Rows{{"cm", "<null>", "<null>"}}));
}

TEST_P(MonitorTasks, DeletesATaskWithoutExecutionsAndAnnouncesItByPath) {
    struct Case {
        const char* what;
        int folder;  // 99: no such folder
        bool executed;
        bool deleted;
        const char* uriHolds;  // null: nothing announced
        std::string logged;
    };
    ASSERT_TRUE(repo->addFolder(7, 0, "Ops"));
    const Case cases[] = {
        {"in a folder", 7, false, true, "Ops/Nightly", ""},
        {"at the root", 0, false, true, "Nightly", ""},
        {"in a missing folder", 99, false, true, nullptr, "Error building path for task="},
        {"with executions", 7, true, false, nullptr, vqb_get_message(VQB_MOD_MONITOR, 1088).str()},
    };
    int job = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ++job;
        const VqbDatavar id(job);
        repo->exec("INSERT INTO {MJOB} (JB_ID, JB_DESC, JB_CODE, FLDR_ID) VALUES (?, 'Nightly', 'J', ?)",
                   {id, VqbDatavar(c.folder)});
        repo->exec("INSERT INTO {JBRUME} (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (?, 20, 1, 1, 1)", {id});
        repo->exec("INSERT INTO {RULEVT} (JB_ID, RU_ID, EV_SEQ, EV_CODE) VALUES (?, 20, 1, 'E')", {id});
        if (c.executed) repo->exec("INSERT INTO {EXEC} (EX_ID, JB_ID, EX_NROWS) VALUES (?, ?, 5)", {id, id});
        const Rows before = everything();
        ScopedRecordingEventManager events;
        LogCapture log;
        EXPECT_EQ(rda->deleteJob(job), c.deleted);
        if (c.deleted) {
            for (const char* table : {"MJOB", "JBRUME", "RULEVT"}) EXPECT_EQ(repo->count(table, "JB_ID=?", {id}), 0);
        } else {
            EXPECT_EQ(everything(), before);
        }
        if (c.uriHolds) {
            ASSERT_EQ(events.count(), 1u);
            EXPECT_NE(events.events()[0].uri.find(c.uriHolds), std::string::npos) << events.events()[0].uri;
        } else {
            EXPECT_EQ(events.count(), 0u);
        }
        if (!c.logged.empty()) {
            EXPECT_TRUE(log.contains(c.logged, 5));
        }
    }
}

TEST_P(MonitorTasks, TaskRulesNameTheDefaultsUnlessGivenOthers) {
    ASSERT_TRUE(rda->addJobRuleMetric(10, 20, 0, -1, VqbReal(2.5)));
    ASSERT_TRUE(rda->addJobRule(10, 21));
    ASSERT_TRUE(rda->addJobRuleMetric(11, 20, 4, 5, VqbReal(3)));
    ASSERT_TRUE(rda->updateJobRuleMetric(11, 20, 0, 9, VqbReal(4)));
    ASSERT_TRUE(rda->addRuleEvent(10, 20, 1, "E", "<x/>"));
    ASSERT_TRUE(rda->addRuleEvent(10, 20, 1, "E", "<x/>"));
    ASSERT_TRUE(rda->addRuleEvent(11, 20, 1, "E", "<y/>"));
    EXPECT_EQ(rows("SELECT JB_ID, RU_ID, DIM_ID, THR_ID, WGHT FROM {JBRUME}"),
              (Rows{{"10", "20", "1", "1", "2.5"}, {"10", "21", "1", "1", "1"}, {"11", "20", "0", "9", "4"}}));
    EXPECT_EQ(take(rda->listRuleEvents(10)).size(), 2u);

    ASSERT_TRUE(rda->clearJobRules(10));
    EXPECT_EQ(rows("SELECT JB_ID FROM {JBRUME}"), (Rows{{"11"}}));
    EXPECT_EQ(rows("SELECT JB_ID, EV_DATA FROM {RULEVT}"), (Rows{{"11", "<y/>"}}));
}

TEST_P(MonitorTasks, PropertiesTakeOnlyAllowedValues) {
    ASSERT_TRUE(rda->addExecPropertyType("STATE", "OPEN"));
    ASSERT_TRUE(rda->addExecPropertyType("STATE", "DONE"));
    {
        LogCapture log;
        EXPECT_TRUE(rda->addExecPropertyType("STATE", "OPEN"));
        EXPECT_TRUE(log.contains(vqb_get_message(VQB_MOD_MONITOR, 1211).str(), 4));
    }
    EXPECT_EQ(repo->count("EXPRTP", "PR_NAME='STATE'"), 2);
    {
        LogCapture log;
        EXPECT_FALSE(rda->setExecProperty(1, 2, "STATE", "LOST", false));
        EXPECT_TRUE(log.contains("\"LOST\"", 5));
    }
    ASSERT_TRUE(rda->setExecProperty(1, 2, "STATE", "OPEN", false));
    ASSERT_TRUE(rda->setExecProperty(1, 2, "STATE", "DONE", false));  // in place
    ASSERT_TRUE(rda->setExecProperty(1, 2, "state", "ANY", true));    // another name
    EXPECT_EQ(rows("SELECT EX_ID, RU_ID, PR_NAME, PR_VALUE FROM {EXPROP}"),
              (Rows{{"1", "2", "STATE", "DONE"}, {"1", "2", "state", "ANY"}}));

    ASSERT_TRUE(rda->deleteExecPropertyType("STATE", "DONE"));
    EXPECT_EQ(repo->count("EXPROP"), 2);
    EXPECT_FALSE(rda->setExecProperty(1, 3, "STATE", "DONE", false));
    ASSERT_TRUE(rda->deleteExecProperty(1, 2, "STATE"));
    EXPECT_EQ(rows("SELECT PR_NAME FROM {EXPROP}"), (Rows{{"state"}}));
}

TEST_P(MonitorTasks, HostileNamesRoundTrip) {
    const VqbString name(kHostile);
    const VqbString none;
    ASSERT_TRUE(rda->addJob(name, name, "u", 0, name, name, nullptr));
    ASSERT_TRUE(rda->addSource(name, name, "u", 0, nullptr));
    ASSERT_TRUE(rda->addDimension(name, name, "u", name, 0, nullptr));
    ASSERT_TRUE(rda->addThreshold(name, name, "u", name, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(rda->addReportGroup(name, name, 1, 1, 1, VqbDate(), "u", name, 0, nullptr));
    ASSERT_TRUE(rda->addExecPropertyType(name, name));
    ASSERT_TRUE(rda->setExecProperty(1, 1, name, name, false));

    struct Found {
        const char* what;
        ReposDataAccessCursor* cursor;
        int nameColumn;
    };
    const Found found[] = {
        {"task by description", rda->findJob(0, name, none), 1},
        {"task by code", rda->findJob(0, none, name), 2},
        {"source by name", rda->findSource(0, name, none), 2},
        {"dimension by name", rda->findDimension(0, name, none), 1},
        {"threshold by uuid", rda->findThreshold(0, none, name), 1},
        {"report group by name", rda->listReportGroups(0xFFFFFFFF, name), 1},
        {"property", rda->listExecProperties(1, 1), 2},
    };
    for (const Found& f : found) {
        SCOPED_TRACE(f.what);
        const Rows got = take(f.cursor);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(cell(got, 0, f.nameColumn), kHostile);
    }
    EXPECT_EQ(rows("SELECT JB_DESC, JB_CODE, JB_COMM FROM {MJOB}"), (Rows{{kHostile, kHostile, kHostile}}));
}

REPOS_EVERY_PLACE(MonitorTasks);

}  // namespace
