// The folder manager and the event queue manager as a host reaches them: through the repository
// the administrator opens.
#include <gtest/gtest.h>

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

std::pair<std::string, std::string> split(RepositoryFolderManager* folders, const char* path) {
    VqbString folder("x"), name("x");
    EXPECT_TRUE(folders->splitPath(VqbString(path), folder, name));
    return {folder.str(), name.str()};
}

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
    ASSERT_TRUE(s.folders->getIdFromPath(VqbString(""), id));
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(s.path(q1), "Sales/Q1");

    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(split(s.folders.get(), "a/b/c"), P("a/b", "c"));
    EXPECT_EQ(split(s.folders.get(), "c"), P("", "c"));
    EXPECT_EQ(split(s.folders.get(), "/c"), P("", "c"));
    EXPECT_EQ(split(s.folders.get(), "a/"), P("a", ""));

    VqbString path;
    ASSERT_TRUE(s.folders->getObjectPath(7, VqbString("Rule"), path));
    EXPECT_EQ(path.str(), "Sales/Q1/Null check");
    ASSERT_TRUE(s.folders->getObjectPath(8, VqbString("Task"), path));
    EXPECT_EQ(path.str(), "Nightly");
    EXPECT_FALSE(s.folders->getObjectPath(7, VqbString("CustomMetric"), path));
    EXPECT_EQ(s.folders->getErrorMessage().str(), "Unable to find type: CustomMetric");

    unsigned folderId = 0;
    int objectId = 0;
    VqbString name, uuid, error;
    // The catalogue knows types by their exact names.
    EXPECT_FALSE(s.folders->getObjectIdFromPath(VqbString("sales/Q1/NULL CHECK"), VqbString("rule"), folderId,
                                                objectId, name, uuid, error));
    EXPECT_EQ(objectId, -1);
    ASSERT_TRUE(s.folders->getObjectIdFromPath(VqbString("sales/Q1/NULL CHECK"), VqbString("Rule"), folderId,
                                               objectId, name, uuid, error));
    EXPECT_EQ(folderId, q1);
    EXPECT_EQ(objectId, 7);
    EXPECT_EQ(name.str(), "NULL CHECK");
    EXPECT_EQ(uuid.str(), "r-7");
    EXPECT_TRUE(s.folders->objectExistsAtPath(VqbString("Nightly"), VqbString("task")));
    EXPECT_FALSE(s.folders->objectExistsAtPath(VqbString("Sales/Nightly"), VqbString("Task")));

    EXPECT_FALSE(s.folders->getObjectIdFromPath(VqbString("Sales/Q9/Null check"), VqbString("Rule"), folderId,
                                                objectId, name, uuid, error));
    EXPECT_EQ(error.str(), "Unable to determine folder id from path: Sales/Q9");
    EXPECT_EQ(folderId, 0xFFFFFFFFu);
    EXPECT_EQ(objectId, -1);
    EXPECT_FALSE(s.folders->getObjectIdFromPath(VqbString("Sales/Q1/Other"), VqbString("Rule"), folderId, objectId,
                                                name, uuid, error));
    EXPECT_EQ(error.str(), "Unable to determine object id from path: Sales/Q1/Other");
}

TEST(FolderManager, TreeChangesAndTheirRefusals) {
    Services s;
    unsigned sales = s.add(0, "Sales"), q1 = s.add(sales, "Q1"), west = s.add(q1, "West");
    bool empty = true;
    ASSERT_TRUE(s.folders->isFolderEmpty(sales, empty));
    EXPECT_FALSE(empty);  // only a sub-folder
    ASSERT_TRUE(s.folders->isFolderEmpty(west, empty));
    EXPECT_TRUE(empty);

    LogCapture log;
    EXPECT_FALSE(s.folders->moveFolder(q1, q1));
    EXPECT_TRUE(log.entries().empty());
    EXPECT_FALSE(s.folders->moveFolder(sales, west));
    EXPECT_TRUE(log.contains("Error moving folder to " + std::to_string(west), 5));
    EXPECT_FALSE(s.folders->getErrorMessage().isEmpty());
    EXPECT_EQ(s.path(west), "Sales/Q1/West");

    ASSERT_TRUE(s.folders->moveFolder(west, 0));
    ASSERT_TRUE(s.folders->renameFolder(west, VqbString("East")));
    EXPECT_EQ(s.path(west), "East");
    unsigned parent = 99;
    ASSERT_TRUE(s.folders->getParentFolder(q1, parent));
    EXPECT_EQ(parent, sales);
    log.clear();
    EXPECT_FALSE(s.folders->getParentFolder(0x80000000u, parent));
    EXPECT_TRUE(log.entries().empty());

    EXPECT_FALSE(s.folders->deleteFolder(0));
    EXPECT_EQ(s.folders->getErrorMessage().str(), "Root level folder cannot be deleted");
    EXPECT_FALSE(s.folders->deleteFolder(sales));
    EXPECT_NE(s.folders->getErrorMessage().str().find("not empty"), std::string::npos);
    ASSERT_TRUE(s.folders->deleteFolder(q1));
    ReposHeld<ReposDataAccessCursor> children(s.folders->listChildFolders(0));
    EXPECT_EQ(MetaRepository::column(cursorRows(children.get()), 1), (std::set<std::string>{"Sales", "East"}));
    ReposHeld<ReposDataAccessCursor> east(s.folders->getChildFolder(0, VqbString("EAST")));
    EXPECT_EQ(cursorRows(east.get()).size(), 1u);

    unsigned orphans = 0, again = 1;
    ASSERT_TRUE(s.folders->getOrphanedObjectsFolderId(orphans));
    ASSERT_TRUE(s.folders->getOrphanedObjectsFolderId(again));
    EXPECT_EQ(orphans, again);
    EXPECT_EQ(s.path(orphans), "Shared Data");
}

TEST(FolderManager, ObjectsMovedAndLocked) {
    Services s;
    ScopedRecordingEventManager events;
    unsigned box = s.add(0, "Box");
    s.addObject("ProfileJob", 3, "Profile customers", VqbDatavar(), "p-3");
    ReposHeld<ReposDataAccessCursor> loose(s.folders->listItemsNotInFolder());
    EXPECT_EQ(MetaRepository::column(cursorRows(loose.get()), 2), (std::set<std::string>{"3"}));

    ASSERT_TRUE(s.folders->moveObjectToFolder(3, VqbString("ProfileJob"), box));
    unsigned folderId = 0;
    ASSERT_TRUE(s.folders->getFolderForObject(VqbString("ProfileJob"), 3, folderId));
    EXPECT_EQ(folderId, box);
    ReposHeld<ReposDataAccessCursor> items(s.folders->listItemsInFolder(box));
    EXPECT_EQ(cursorRows(items.get()).size(), 1u);
    EXPECT_FALSE(s.folders->moveObjectToFolder(3, VqbString("Nothing"), box));
    EXPECT_EQ(s.folders->getErrorMessage().str(), "Unable to find type: Nothing");
    EXPECT_FALSE(s.folders->getFolderForObject(VqbString("ProfileJob"), 4, folderId));

    LogCapture log;
    EXPECT_FALSE(s.folders->isObjectLocked(3, VqbString("ProfileJob")));
    ASSERT_TRUE(s.folders->lockObject(3, VqbString("ProfileJob"), VqbString("carol"), VqbString("p-3")));
    EXPECT_TRUE(log.contains("Locked ProfileJob object with id=3 to user carol", 1));
    EXPECT_TRUE(s.folders->isObjectLocked(3, VqbString("ProfileJob")));
    VqbString uuid, user;
    VqbDatavar date;
    ASSERT_TRUE(s.folders->getLockInfo(3, VqbString("ProfileJob"), uuid, user, date));
    EXPECT_EQ(user.str(), "carol");
    ASSERT_TRUE(s.folders->unlockObject(3, VqbString("ProfileJob")));
    EXPECT_FALSE(s.folders->unlockObject(3, VqbString("ProfileJob")));
    EXPECT_TRUE(log.contains("Error unlocking ProfileJob object with id=3", 5));
    EXPECT_FALSE(s.folders->getLockInfo(3, VqbString("ProfileJob"), uuid, user, date));
    EXPECT_EQ(events.count(), 2u);
}

TEST(FolderManager, WithoutMetadataAccessEverythingFailsQuietly) {
    LogCapture log;
    // A repository that cannot supply the data access leaves the services as they are without one.
    ReposHeld<RepositoryFolderManager> folders(new RepositoryFolderManagerImpl(nullptr));
    ReposHeld<RepositoryEventQueueManager> queue(new RepositoryEventQueueManagerImpl(nullptr));
    unsigned id = 0;
    bool empty = false;
    VqbString path, name, error;
    int newId = 0;
    EXPECT_FALSE(folders->addFolder(0, VqbString("A"), id));
    EXPECT_FALSE(folders->getIdFromPath(VqbString(""), id));
    EXPECT_FALSE(folders->isFolderEmpty(0, empty));
    EXPECT_EQ(folders->listItemsNotInFolder(), nullptr);
    EXPECT_FALSE(folders->objectExistsAtPath(VqbString("A/b"), VqbString("Rule")));
    EXPECT_TRUE(folders->splitPath(VqbString("A/b"), path, name));
    EXPECT_EQ(name.str(), "b");
    EXPECT_FALSE(queue->addEvent(VqbString("s"), 0, VqbString(""), VqbString("A"), newId, error));
    EXPECT_EQ(queue->listEventsSince(0, 0.0, VqbString("A"), error), nullptr);
    EXPECT_TRUE(log.entries().empty());
}

TEST(EventQueue, OtherSourcesEventsSinceATimeAndPurges) {
    Services s;
    ASSERT_NE(s.repository, nullptr);
    RepositoryEventQueueManager* writer = s.repository->createRepositoryEventQueueManager();
    ASSERT_NE(writer, nullptr);
    LogCapture log;
    int first = 0, second = 0;
    VqbString error;
    ASSERT_TRUE(writer->addEvent(VqbString("Rule/Completeness"), 2, VqbString(""), VqbString("designer"), first,
                                 error));
    ASSERT_TRUE(writer->addEvent(VqbString("Rule/Completeness"), 1, VqbString("gone"), VqbString("monitor"), second,
                                 error));
    EXPECT_TRUE(log.contains("Added EventId=" + std::to_string(first) + " to repository event queue", 1));
    delete writer;  // ended through its destructor

    ReposHeld<RepositoryEventQueueManager> reader(s.repository->createRepositoryEventQueueManager());
    ReposHeld<ReposDataAccessCursor> seen(reader->listEventsSince(0, 0.0, VqbString("designer"), error));
    Rows rows = cursorRows(seen.get());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], std::to_string(second));
    EXPECT_EQ(rows[0][2], "Delete");
    EXPECT_EQ(rows[0][6], "monitor");

    log.clear();
    EXPECT_FALSE(reader->deleteEvents(0, 0.0, error));
    EXPECT_TRUE(log.contains("Remove repository events cannot remove events when neither date or id are specified.",
                             5));
    ASSERT_TRUE(reader->deleteEvents(second + 1, 0.0, error));
    EXPECT_EQ(s.count("REVENT"), 0);
}
