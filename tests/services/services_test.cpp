// The folder manager and the event queue manager as a host reaches them: through the repository
// the administrator opens.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "meta_fixture.h"
#include "recording_event_manager.h"
#include "repeventqueueimpl.h"
#include "repfldrmgrimpl.h"
#include "repos_admin.h"
#include "repos_eventqueue.h"
#include "repos_foldermgr.h"
#include "repos_repository.h"

namespace {

// The test repository's file opened by the administrator; the fixture's own connection stays
// for writing objects and looking at rows.
struct Services : MetaRepository {
    ReposHeld<RepositoryAdmin> admin{createRepositoryAdmin(1, nullptr)};
    ReposHeld<Repository> repository{admin ? admin->openFileRepository(VqbString(repo.file()), false) : nullptr};
    ReposHeld<RepositoryFolderManager> folders{repository ? repository->createRepositoryFolderManager() : nullptr};

    unsigned add(unsigned parent, const char* name) {
        unsigned id = 0;
        EXPECT_TRUE(folders->addFolder(parent, VqbString(name), id)) << name;
        return id;
    }
    std::string path(unsigned id) {
        VqbString p, n;
        return folders->getPathFromId(id, p, n) ? p.str() : "<failed>";
    }
};

}  // namespace

TEST(FolderManager, PathsOfFoldersAndObjects) {
    Services s;
    ASSERT_NE(s.folders, nullptr) << (s.admin ? s.admin->getErrorMessage().str() : getRepositoryAdminError());
    unsigned sales = s.add(0, "Sales"), q1 = s.add(sales, "Q1");
    s.addObject("Rule", 7, "Null check", VqbDatavar(static_cast<int>(q1)), "r-7");
    s.addObject("Task", 8, "Nightly", VqbDatavar(0));
    unsigned id = 0;
    ASSERT_TRUE(s.folders->getIdFromPath(VqbString("/SALES//q1/"), id));
    EXPECT_EQ(id, q1);
    EXPECT_EQ(s.path(q1), "Sales/Q1");
    for (auto [path, folder, name] :
         {std::tuple{"a/b/c", "a/b", "c"}, {"c", "", "c"}, {"/c", "", "c"}, {"a/", "a", ""}}) {
        VqbString f("x"), n("x");
        EXPECT_TRUE(s.folders->splitPath(VqbString(path), f, n));
        EXPECT_EQ(f.str() + "|" + n.str(), std::string(folder) + "|" + name) << path;
    }

    VqbString path;
    ASSERT_TRUE(s.folders->getObjectPath(7, VqbString("Rule"), path));
    EXPECT_EQ(path.str(), "Sales/Q1/Null check");
    EXPECT_FALSE(s.folders->getObjectPath(7, VqbString("CustomMetric"), path));
    EXPECT_TRUE(s.folders->objectExistsAtPath(VqbString("Nightly"), VqbString("task")));
    EXPECT_FALSE(s.folders->objectExistsAtPath(VqbString("Sales/Nightly"), VqbString("Task")));

    unsigned folderId = 0;
    int objectId = 0;
    VqbString name, uuid, error;
    auto find = [&](const char* p, const char* type) {
        return s.folders->getObjectIdFromPath(VqbString(p), VqbString(type), folderId, objectId, name, uuid, error);
    };
    ASSERT_TRUE(find("sales/Q1/NULL CHECK", "Rule"));
    EXPECT_EQ(std::to_string(folderId) + "|" + std::to_string(objectId) + "|" + uuid.str(),
              std::to_string(q1) + "|7|r-7");
    // The catalogue knows types by their exact names.
    for (auto [p, type, what] : {std::tuple{"sales/Q1/NULL CHECK", "rule", "object id from path: sales/Q1/NULL CHECK"},
                                 {"Sales/Q9/Null check", "Rule", "folder id from path: Sales/Q9"},
                                 {"Sales/Q1/Other", "Rule", "object id from path: Sales/Q1/Other"}}) {
        EXPECT_FALSE(find(p, type)) << p;
        EXPECT_EQ(objectId, -1);
        EXPECT_EQ(error.str(), std::string("Unable to determine ") + what);
    }
}

// Folder and lock rules themselves are the data access's; here what the manager adds.
TEST(FolderManager, EmptinessUnsignedIdsObjectsAndLocks) {
    Services s;
    ScopedRecordingEventManager events;
    unsigned sales = s.add(0, "Sales"), q1 = s.add(sales, "Q1");
    bool empty = true;
    ASSERT_TRUE(s.folders->isFolderEmpty(sales, empty));
    EXPECT_FALSE(empty);  // only a sub-folder
    LogCapture log;  // moving onto itself and an id beyond any int are refused without noise
    unsigned parent = 0;
    EXPECT_FALSE(s.folders->moveFolder(q1, q1));
    EXPECT_FALSE(s.folders->getParentFolder(0x80000000u, parent));
    EXPECT_TRUE(log.entries().empty());
    unsigned orphans = 0;
    ASSERT_TRUE(s.folders->getOrphanedObjectsFolderId(orphans));
    EXPECT_EQ(s.path(orphans), "Shared Data");

    s.addObject("ProfileJob", 3, "Profile customers", VqbDatavar(), "p-3");
    EXPECT_EQ(column(take(s.folders->listItemsNotInFolder()), 2), (std::set<std::string>{"3"}));
    ASSERT_TRUE(s.folders->moveObjectToFolder(3, VqbString("ProfileJob"), q1));
    unsigned folderId = 0;
    ASSERT_TRUE(s.folders->getFolderForObject(VqbString("ProfileJob"), 3, folderId));
    EXPECT_EQ(folderId, q1);
    EXPECT_FALSE(s.folders->moveObjectToFolder(3, VqbString("Nothing"), sales));
    ASSERT_TRUE(s.folders->lockObject(3, VqbString("ProfileJob"), VqbString("carol"), VqbString("p-3")));
    EXPECT_TRUE(s.folders->isObjectLocked(3, VqbString("ProfileJob")));
    ASSERT_TRUE(s.folders->unlockObject(3, VqbString("ProfileJob")));
    EXPECT_EQ(events.count(), 2u);
}

TEST(EventQueue, OtherSourcesEventsSinceATimeAndPurges) {
    Services s;
    ASSERT_NE(s.repository, nullptr);
    RepositoryEventQueueManager* writer = s.repository->createRepositoryEventQueueManager();
    ASSERT_NE(writer, nullptr);
    int first = 0, second = 0;
    VqbString error;
    ASSERT_TRUE(writer->addEvent(VqbString("Rule/Completeness"), 2, VqbString(""), VqbString("designer"), first,
                                 error));
    ASSERT_TRUE(writer->addEvent(VqbString("Rule/Completeness"), 1, VqbString("gone"), VqbString("monitor"), second,
                                 error));
    delete writer;  // ended through its destructor

    ReposHeld<RepositoryEventQueueManager> reader(s.repository->createRepositoryEventQueueManager());
    Rows rows = take(reader->listEventsSince(0, 0.0, VqbString("designer"), error));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0] + "|" + rows[0][2] + "|" + rows[0][6], std::to_string(second) + "|Delete|monitor");
    EXPECT_FALSE(reader->deleteEvents(0, 0.0, error));
    ASSERT_TRUE(reader->deleteEvents(second + 1, 0.0, error));
    EXPECT_EQ(s.count("REVENT"), 0);
}

// A write the repository refuses is told once in the log: by the connection that met it, not again
// by the metadata access or the service above it.
TEST(EventQueue, ARefusedWriteIsLoggedOnce) {
    Services s;
    ASSERT_NE(s.repository, nullptr);
    ReposHeld<RepositoryEventQueueManager> queue(s.repository->createRepositoryEventQueueManager());
    ASSERT_NE(queue, nullptr);
    int id = 0;
    VqbString error;
    ASSERT_TRUE(queue->addEvent(VqbString("Rule/Completeness"), 2, VqbString(""), VqbString("designer"), id, error));
    ASSERT_TRUE(s.repo.refuse(Refused::Insert, "REVENT"));
    ASSERT_TRUE(s.repo.refuse(Refused::Delete, "REVENT"));
    const struct {
        const char* what;
        std::function<bool()> call;
    } rows[] = {
        {"add", [&] { return queue->addEvent(VqbString("Rule/Completeness"), 1, VqbString(""), VqbString("x"), id, error); }},
        {"delete", [&] { return queue->deleteEvents(id + 1, 0.0, error); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LogCapture log;
        error = VqbString("");
        EXPECT_FALSE(row.call());
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(log.count("", 5), 1u);
    }
    EXPECT_EQ(s.count("REVENT"), 1);
}
