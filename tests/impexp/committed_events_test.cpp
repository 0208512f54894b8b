// Announcements of work done inside a host's transaction reach the event manager only once that
// transaction commits, in the order the work was done; a rollback, or an import that fails, leaves
// the manager without a word of it.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"
#include "repos_explorer_rda.h"
#include "repos_metadata_rda.h"
#include "repos_monitor_rda.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"

namespace {

// The typed objects of one repository, all over its one connection.
struct Objects {
    explicit Objects(Repository* r)
        : common(r->createCommonRepositoryDataAccess()),
          monitor(r->createMonitorRepositoryDataAccess()),
          explorer(r->createExplorerRepositoryDataAccess()),
          meta(r->createMetadataRepositoryDataAccess()),
          profile(r->createProfileRepositoryDataAccess()) {}
    ReposHeld<CommonRepositoryDataAccess> common;
    ReposHeld<MonitorRepositoryDataAccess> monitor;
    ReposHeld<ExplorerRepositoryDataAccess> explorer;
    ReposHeld<MetadataRepositoryDataAccess> meta;
    ReposHeld<ProfileRepositoryDataAccess> profile;
};

// What an event says, without ids or UUIDs: "Event <change> <type>", "Rename <type>" or "Uri <change>".
std::vector<std::string> kinds(const RecordingEventManager& events) {
    std::vector<std::string> out;
    for (const RecordedRepositoryEvent& e : events.events()) switch (e.kind) {
            case RecordedRepositoryEvent::Rename: out.push_back("Rename " + e.typeName); break;
            case RecordedRepositoryEvent::Uri: out.push_back("Uri " + std::to_string(e.changeType)); break;
            default: out.push_back("Event " + std::to_string(e.changeType) + " " + e.typeName);
        }
    return out;
}

// What the work of a case reads, made before the host's transaction and outside the recording.
struct Made {
    std::vector<unsigned> ids;
    std::string document;
};

struct Case {
    const char* what;
    std::function<void(ImpExp&, Objects&, Made&)> prepare;
    std::function<bool(ImpExp&, Objects&, Made&)> work;
    std::vector<std::string> committed;
    // Rows of the work that a rollback must take back: "<table>|<condition>" holding when they stay.
    const char* table;
    const char* condition;
};

unsigned newJob(Objects& o, const char* name) {
    uint32_t id = 0;
    EXPECT_TRUE(o.monitor->addJob(name, vqbNewUUID(), "u", 0, "", "", &id));
    return id;
}

const std::vector<Case> kCases = {
    {"rule",
     nullptr,
     [](ImpExp&, Objects& o, Made&) {
         unsigned id = o.common->addRule("R", "t", "e", "", "", "u", vqbNewUUID(), 0, "", "");
         return id != 0 && id != 0xFFFFFFFFu &&
                o.common->updateRule(id, "R", "t", "e2", "", "", "u", 1, 2, "u", "", 0, "", "") &&
                o.common->deleteRule(id) && o.common->addRule("Kept", "t", "e", "", "", "u", "", 0, "", "") != 0;
     },
     {"Event 0 Rule", "Event 2 Rule", "Uri 1", "Event 0 Rule"},
     "RULE",
     "RU_DESC='Kept'"},
    {"task and source",
     nullptr,
     [](ImpExp&, Objects& o, Made&) {
         uint32_t source = 0;
         unsigned job = newJob(o, "T");
         return job != 0 && o.monitor->updateJob(job, "T2", "", "u", 1, "u", 2, 0, "", "") &&
                o.monitor->addSource("S", vqbNewUUID(), "u", 0, &source) &&
                o.monitor->updateSource(source, "S2", "u", 0) && o.monitor->deleteSource(source) &&
                o.monitor->deleteJob(job) && newJob(o, "Kept") != 0;
     },
     {"Event 0 Task", "Event 2 Task", "Event 0 Source", "Event 2 Source", "Event 1 Source", "Uri 1", "Event 0 Task"},
     "MJOB",
     "JB_DESC='Kept'"},
    {"exploration and locks",
     nullptr,
     [](ImpExp&, Objects& o, Made&) {
         uint32_t id = 0;
         return o.explorer->addProject("P", "", "u", "", 0, &id) && o.explorer->updateProject(id, "P2", "c") &&
                o.meta->lockObject(static_cast<int>(id), "DataExploration", "u", "") &&
                o.meta->unlockObject(static_cast<int>(id), "DataExploration") && o.explorer->deleteProject(id) &&
                o.explorer->addProject("Kept", "", "u", "", 0, &id);
     },
     {"Event 0 DataExploration", "Rename DataExploration", "Event 3 DataExploration", "Event 4 DataExploration",
      "Uri 1", "Event 0 DataExploration"},
     "MPRJ",
     "PRJ_NM='Kept'"},
    // A setup's add and update inside a host's transaction are never announced; its delete is.
    {"profile job setup",
     [](ImpExp&, Objects& o, Made& m) {
         m.ids.push_back(o.profile->addJobSetup("Old", "", vqbNewUUID(), 1, 1, "u", "u", 0));
     },
     [](ImpExp&, Objects& o, Made& m) {
         uint32_t id = o.profile->addJobSetup("J", "", vqbNewUUID(), 1, 1, "u", "u", 0);
         return id != 0xFFFFFFFFu && o.profile->updateJobSetup(id, "J2", "d", 2, "u", 0) &&
                o.profile->deleteJobSetup(m.ids[0]);
     },
     {"Uri 1"},
     "JSETUP",
     "SU_NAME='J2'"},
    {"task import",
     [](ImpExp& x, Objects& o, Made& m) {
         unsigned job = newJob(o, "Kept");
         unsigned rule = o.common->addRule("IR", "t", "e", "", "", "u", vqbNewUUID(), 0, "", "");
         EXPECT_TRUE(o.monitor->addJobRule(job, rule));
         m.document = x.exportOf(job, "Task");
         // The document's task goes first, so that the import makes it anew.
         EXPECT_TRUE(o.monitor->deleteJob(job));
     },
     [](ImpExp& x, Objects&, Made& m) {
         VqbString log;
         return !m.document.empty() && x.manager->importObject(VqbString(m.document), 0, log);
     },
     {"Event 0 Task"},
     "MJOB",
     "JB_DESC='Kept'"},
    {"profile-job import",
     [](ImpExp& x, Objects& o, Made& m) {
         m.ids.push_back(o.profile->addJobSetup("Source", "", vqbNewUUID(), 1, 1, "u", "u", 0));
         o.profile->addJobDataSource(m.ids[0], "sales", "DSN=x", "");
         m.document = x.exportOf(m.ids[0], "ProfileJob");
     },
     [](ImpExp& x, Objects&, Made& m) {
         VqbString error;
         return !m.document.empty() && x.manager->importObjectAtPath("Copy", VqbString(m.document), error);
     },
     {"Event 0 ProfileJob"},
     "JSETUP",
     "SU_NAME='Copy'"},
};

class CommittedEvents : public ImpExpTest {};

TEST_P(CommittedEvents, PostedOnceInOrderAfterTheHostsCommitAndNeverAfterItsRollback) {
    for (const Case& c : kCases)
        for (bool commit : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (commit ? ", committed" : ", rolled back"));
            x.reset();
            x = std::make_unique<ImpExp>(GetParam());
            ASSERT_TRUE(x->ready());
            Objects o(x->repository);
            ASSERT_TRUE(o.common && o.monitor && o.explorer && o.meta && o.profile);
            Made made;
            if (c.prepare) c.prepare(*x, o, made);
            const int before = x->repo.count(c.table, c.condition);
            ScopedRecordingEventManager events;
            ASSERT_TRUE(o.meta->beginTransaction(false));
            EXPECT_TRUE(c.work(*x, o, made));
            EXPECT_EQ(kinds(events), std::vector<std::string>()) << "announced before the host's commit";
            ASSERT_TRUE(o.meta->endTransaction(commit));
            // The work stands or is gone as a whole, and the events with it.
            EXPECT_EQ(x->repo.count(c.table, c.condition), commit ? before + 1 : before);
            EXPECT_EQ(kinds(events), commit ? c.committed : std::vector<std::string>());
            const std::vector<std::string> lines = events.lines();
            EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size()) << "an event twice";
            // Nothing kept over for the next transaction.
            events.clear();
            ASSERT_TRUE(o.meta->beginTransaction(false));
            ASSERT_TRUE(o.meta->endTransaction(true));
            uint32_t id = 0;
            ASSERT_TRUE(o.monitor->addSource("After", vqbNewUUID(), "u", 0, &id));
            EXPECT_EQ(kinds(events), std::vector<std::string>({"Event 0 Source"}));
        }
}

TEST_P(CommittedEvents, AFailedImportAnnouncesNothing) {
    Objects o(x->repository);
    Made profileJob, task;
    kCases[5].prepare(*x, o, profileJob);
    kCases[4].prepare(*x, o, task);
    // Each import fails part-way, after its object's own row was written.
    ASSERT_TRUE(x->repo.refuse(Refused::Insert, "JBRUME"));
    ASSERT_TRUE(x->repo.refuse(Refused::Insert, "JDSN"));
    ScopedRecordingEventManager events;
    for (bool hostLevel : {false, true}) {
        SCOPED_TRACE(hostLevel ? "in a host's transaction" : "alone");
        if (hostLevel) {
            ASSERT_TRUE(o.meta->beginTransaction(false));
        }
        VqbString error, log;
        EXPECT_FALSE(x->manager->importObjectAtPath("Copy", VqbString(profileJob.document), error));
        EXPECT_FALSE(x->manager->importObject(VqbString(task.document), 0, log));
        // Levels nest without savepoints: only the host's rollback takes the import's part back.
        if (hostLevel) {
            ASSERT_TRUE(o.meta->endTransaction(false));
        }
        EXPECT_EQ(events.lines(), std::vector<std::string>());
        EXPECT_EQ(x->repo.count("JSETUP", "SU_NAME='Copy'") + x->repo.count("MJOB", "JB_DESC='Kept'"), 0);
    }
}

REPOS_EVERY_PLACE(CommittedEvents);

}  // namespace
