// The folder tree of the metadata data access: paths both ways, names, moves, deletes, the shared
// folder and the normalisation of old rows.
#include <gtest/gtest.h>

#include "meta_fixture.h"
#include "vqbmessage.h"

namespace {

struct Tree : MetaRepository {
    int sales = 0, q1 = 0, west = 0, q2 = 0, marketing = 0;
    Tree() {
        sales = folder(0, "Sales");
        q1 = folder(sales, "Q1");
        west = folder(q1, "West");
        q2 = folder(sales, "Q2");
        marketing = folder(0, "Marketing");
    }
    int idOf(const std::string& path) {
        int id = -1;
        VqbString error;
        return meta->getFolderIdByPath(VqbString(path), &id, error) ? id : -1;
    }
    std::string pathOf(int id) {
        VqbString path, name, error;
        if (!meta->getFolderPath(id, path, name, error)) return "<" + error.str() + ">";
        return path.str();
    }
};

struct Recorder : RepositoryStatusCallback {
    std::vector<std::string> messages;
    bool reportProgress(const VqbString&) override { return true; }
    void reportMessage(const VqbString& text) override { messages.push_back(text.str()); }
};

}  // namespace

TEST(MetaFolders, PathsResolveIgnoringCaseAndEmptyPartsAndComeBack) {
    Tree t;
    EXPECT_EQ(t.idOf("Sales/Q1/West"), t.west);
    EXPECT_EQ(t.idOf("sales/q1/WEST"), t.west);
    EXPECT_EQ(t.idOf("/Sales//Q1/West/"), t.west);
    EXPECT_EQ(t.idOf(""), 0);
    EXPECT_EQ(t.idOf("///"), 0);
    EXPECT_EQ(t.pathOf(t.west), "Sales/Q1/West");
    EXPECT_EQ(t.pathOf(0), "");

    VqbString path, name, error;
    ASSERT_TRUE(t.meta->getFolderPath(t.q2, path, name, error));
    EXPECT_EQ(name.str(), "Q2");

    // A name that exists elsewhere in the tree is not found at the wrong level.
    LogCapture log;
    int id = 77;
    EXPECT_FALSE(t.meta->getFolderIdByPath(VqbString("Sales/West"), &id, error));
    EXPECT_EQ(id, 77);
    EXPECT_EQ(error.str(), "Unable to find folder/object by path: \"Sales/West\"");
    EXPECT_TRUE(log.contains("Unable to find folder/object by path", 4));

    EXPECT_EQ(MetaRepository::column(t.take(t.meta->listFolders(0)), 1),
              (std::set<std::string>{"Sales", "Marketing"}));
    EXPECT_EQ(t.take(t.meta->listFolders(-1)).size(), 5u);
    Rows q1 = t.take(t.meta->listFoldersByName(t.sales, VqbString("q1")));
    ASSERT_EQ(q1.size(), 1u);
    EXPECT_EQ(q1[0], (std::vector<std::string>{std::to_string(t.q1), "Q1", std::to_string(t.sales)}));
    EXPECT_EQ(t.take(t.meta->listFoldersByName(-1, VqbString("WEST"))).size(), 1u);
    EXPECT_TRUE(t.take(t.meta->listFoldersByName(t.marketing, VqbString("Q1"))).empty());

    int parent = -1;
    ASSERT_TRUE(t.meta->getFolderParentId(t.west, &parent));
    EXPECT_EQ(parent, t.q1);
    EXPECT_FALSE(t.meta->getFolderParentId(999, &parent));
}

TEST(MetaFolders, NamesThatNoPathReachesAndMissingParentsAreRefused) {
    Tree t;
    long long before = t.count("FOLDER");
    int id = -1;
    EXPECT_FALSE(t.meta->addFolder(0, VqbString(""), &id));
    EXPECT_FALSE(t.meta->addFolder(0, VqbString("a/b"), &id));
    EXPECT_FALSE(t.meta->addFolder(999, VqbString("Orphan"), &id));
    EXPECT_FALSE(t.meta->addFolder(-1, VqbString("Orphan"), &id));
    EXPECT_EQ(id, -1);
    EXPECT_EQ(t.count("FOLDER"), before);

    // Hostile text is a name like any other: stored as written, found by path.
    const std::string hostile = "x'); DROP TABLE FOLDER; --";
    int h = t.folder(t.sales, hostile);
    EXPECT_EQ(t.idOf("sales/" + hostile), h);
    EXPECT_EQ(t.pathOf(h), "Sales/" + hostile);

    EXPECT_FALSE(t.meta->renameFolder(t.q1, VqbString("")));
    EXPECT_FALSE(t.meta->renameFolder(t.q1, VqbString("Q1/Old")));
    EXPECT_FALSE(t.meta->renameFolder(999, VqbString("Nowhere")));
    EXPECT_FALSE(t.meta->renameFolder(0, VqbString("Root")));
    ASSERT_TRUE(t.meta->renameFolder(t.q1, VqbString("First Quarter")));
    EXPECT_EQ(t.idOf("SALES/first quarter/west"), t.west);
    EXPECT_EQ(t.idOf("Sales/Q1"), -1);
    EXPECT_EQ(t.repo.rows("SELECT FLDR_NAM, NAM_NORM FROM FOLDER WHERE FLDR_ID=?", {VqbDatavar(t.q1)}),
              (Rows{{"First Quarter", "first quarter"}}));
}

TEST(MetaFolders, MovesKeepTheTreeRootedAndCyclesAreRefused) {
    Tree t;
    ASSERT_TRUE(t.meta->moveFolder(t.q1, t.marketing));
    EXPECT_EQ(t.pathOf(t.west), "Marketing/Q1/West");

    LogCapture log;
    // Under its own child or grandchild, the subtree would hang off nothing.
    EXPECT_FALSE(t.meta->moveFolder(t.marketing, t.q1));
    EXPECT_FALSE(t.meta->moveFolder(t.marketing, t.west));
    EXPECT_EQ(log.count("cannot be moved under itself", 5), 2u);
    log.clear();
    EXPECT_FALSE(t.meta->moveFolder(t.q1, t.q1));
    EXPECT_TRUE(log.entries().empty());
    EXPECT_FALSE(t.meta->moveFolder(t.q1, 999));
    EXPECT_FALSE(t.meta->moveFolder(t.q1, -1));
    EXPECT_FALSE(t.meta->moveFolder(0, t.q1));
    EXPECT_FALSE(t.meta->moveFolder(999, t.q1));
    EXPECT_EQ(t.pathOf(t.west), "Marketing/Q1/West");
    EXPECT_EQ(t.pathOf(t.marketing), "Marketing");

    ASSERT_TRUE(t.meta->moveFolder(t.q1, 0));
    EXPECT_EQ(t.pathOf(t.west), "Q1/West");

    // A cycle already in the table (written by other means) does not make the walk endless.
    ASSERT_TRUE(t.repo.addFolder(900, 901, "LoopA"));
    ASSERT_TRUE(t.repo.addFolder(901, 900, "LoopB"));
    EXPECT_FALSE(t.meta->moveFolder(t.q2, 900));
    EXPECT_TRUE(log.contains(reposMessage(1257).str(), 5));
    EXPECT_EQ(t.pathOf(t.q2), "Sales/Q2");
}

TEST(MetaFolders, OnlyEmptyFoldersAreDeleted) {
    Tree t;
    VqbString error;
    EXPECT_FALSE(t.meta->deleteFolder(0, error));
    EXPECT_EQ(error.str(), "Root level folder cannot be deleted");

    error = VqbString("");
    EXPECT_FALSE(t.meta->deleteFolder(t.q1, error));  // holds West
    EXPECT_NE(error.str().find("not empty"), std::string::npos) << error.str();

    // Objects of any type keep their folder, listed in folders or not.
    t.addObject("Rule", 5, "Completeness", VqbDatavar(t.west));
    t.addObject("Dimension", 6, "Accuracy", VqbDatavar(t.q2));
    EXPECT_FALSE(t.meta->deleteFolder(t.west, error));
    EXPECT_FALSE(t.meta->deleteFolder(t.q2, error));
    t.repo.exec("INSERT INTO FLDMAP (MAP_ID, FLDR_ID) VALUES (1, ?)", {VqbDatavar(t.marketing)});
    EXPECT_FALSE(t.meta->deleteFolder(t.marketing, error));
    EXPECT_EQ(t.count("FOLDER"), 5);

    ASSERT_TRUE(t.meta->setObjectAttribute(5, VqbString("Rule"), 0, error));
    ASSERT_TRUE(t.meta->deleteFolder(t.west, error));
    ASSERT_TRUE(t.meta->deleteFolder(t.q1, error));
    EXPECT_EQ(t.idOf("Sales/Q1"), -1);
    EXPECT_EQ(t.count("FOLDER"), 3);

    error = VqbString("");
    EXPECT_FALSE(t.meta->deleteFolder(t.q1, error));
    EXPECT_EQ(error.str(), reposMessage(1167).str());
}

TEST(MetaFolders, SharedDataIsCreatedOnceAndMatchedExactly) {
    MetaRepository m;
    int lower = m.folder(0, "shared data");
    int id = -1, again = -2;
    ASSERT_TRUE(m.meta->getSharedDataFolderId(&id));
    EXPECT_NE(id, lower);
    ASSERT_TRUE(m.meta->getSharedDataFolderId(&again));
    EXPECT_EQ(again, id);
    EXPECT_EQ(m.repo.rows("SELECT FLDR_PAR, FLDR_NAM, NAM_NORM FROM FOLDER WHERE FLDR_ID=?", {VqbDatavar(id)}),
              (Rows{{"0", "Shared Data", "shared data"}}));
    EXPECT_EQ(m.count("FOLDER"), 2);
}

TEST(MetaFolders, NormalisingFillsMissingSearchNames) {
    MetaRepository m;
    m.repo.exec("INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (1, 0, 'Legacy', NULL)");
    m.repo.exec("INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (2, 1, 'OLD Stuff', '')");
    m.repo.exec("INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (3, 0, '', NULL)");
    VqbString error;
    int id = -1;
    EXPECT_FALSE(m.meta->getFolderIdByPath(VqbString("legacy/old stuff"), &id, error));

    Recorder callback;
    ASSERT_TRUE(m.meta->normalizeFolderNames(&callback, error));
    ASSERT_EQ(callback.messages.size(), 2u);
    EXPECT_EQ(callback.messages[0].rfind("SELECT FLDR_ID, FLDR_NAM FROM", 0), 0u);
    EXPECT_EQ(callback.messages[1].rfind("UPDATE", 0), 0u);
    EXPECT_EQ(m.repo.rows("SELECT FLDR_ID, NAM_NORM FROM FOLDER ORDER BY FLDR_ID"),
              (Rows{{"1", "legacy"}, {"2", "old stuff"}, {"3", "<null>"}}));
    ASSERT_TRUE(m.meta->getFolderIdByPath(VqbString("Legacy/Old Stuff"), &id, error));
    EXPECT_EQ(id, 2);
    EXPECT_TRUE(m.meta->normalizeFolderNames(nullptr, error));
}

TEST(MetaFolders, WithoutAConnectionEveryOperationFailsAndSaysWhy) {
    LogCapture log;
    ReposHeld<MetadataRepositoryDataAccess> meta(newMetadataAccess(nullptr));
    VqbString uuid, user, error, path, name;
    VqbDatavar date;
    int id = 0;
    EXPECT_FALSE(meta->getErrorMessage().isEmpty());
    EXPECT_FALSE(meta->getObjectLock(1, VqbString("Rule"), uuid, user, date));
    EXPECT_FALSE(meta->lockObject(1, VqbString("Rule"), VqbString("u"), VqbString("x")));
    EXPECT_FALSE(meta->unlockObject(1, VqbString("Rule")));
    EXPECT_FALSE(meta->normalizeFolderNames(nullptr, error));
    EXPECT_EQ(error.str(), "Repository Data Access object is null");
    EXPECT_EQ(log.count("Repository Data Access object is null", 5), 4u);

    EXPECT_FALSE(meta->addFolder(0, VqbString("A"), &id));
    EXPECT_FALSE(meta->getFolderPath(1, path, name, error));
    EXPECT_EQ(meta->listObjects(-1), nullptr);
    EXPECT_FALSE(meta->addRepositoryEvent(VqbString("s"), 0, VqbString(""), VqbString("A"), &id, error));
    EXPECT_FALSE(meta->beginTransaction(false));
}
