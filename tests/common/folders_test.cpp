// The folder tree of the metadata data access: paths both ways, names, moves, deletes, the shared
// folder and the normalisation of old rows.
#include <gtest/gtest.h>

#include "meta_fixture.h"
#include "vqbmessage.h"

namespace {

struct Tree : MetaRepository {
    int sales = folder(0, "Sales"), q1 = folder(sales, "Q1"), west = folder(q1, "West"), q2 = folder(sales, "Q2");
    int marketing = folder(0, "Marketing");
    int idOf(const std::string& path) {
        int id = -1;
        VqbString error;
        return meta->getFolderIdByPath(VqbString(path), &id, error) ? id : -1;
    }
    std::string pathOf(int id) {
        VqbString path, name, error;
        return meta->getFolderPath(id, path, name, error) ? path.str() : "<" + error.str() + ">";
    }
};

}  // namespace

TEST(MetaFolders, PathsResolveIgnoringCaseAndEmptyPartsAndComeBack) {
    Tree t;
    for (const char* path : {"Sales/Q1/West", "sales/q1/WEST", "/Sales//Q1/West/"}) EXPECT_EQ(t.idOf(path), t.west);
    EXPECT_EQ(t.idOf(""), 0);
    EXPECT_EQ(t.idOf("///"), 0);
    EXPECT_EQ(t.pathOf(t.west), "Sales/Q1/West");
    EXPECT_EQ(t.pathOf(0), "");
    VqbString path, name, error;
    EXPECT_TRUE(t.meta->getFolderPath(t.q2, path, name, error) && name.str() == "Q2");

    // A name that exists elsewhere in the tree is not found at the wrong level.
    int id = 77;
    EXPECT_FALSE(t.meta->getFolderIdByPath(VqbString("Sales/West"), &id, error));
    EXPECT_EQ(id, 77);
    EXPECT_EQ(error.str(), "Unable to find folder/object by path: \"Sales/West\"");

    EXPECT_EQ(column(take(t.meta->listFolders(0)), 1),
              (std::set<std::string>{"Sales", "Marketing"}));
    EXPECT_EQ(take(t.meta->listFolders(-1)).size(), 5u);
    EXPECT_EQ(take(t.meta->listFoldersByName(t.sales, VqbString("q1"))),
              (Rows{{std::to_string(t.q1), "Q1", std::to_string(t.sales)}}));
    EXPECT_TRUE(take(t.meta->listFoldersByName(t.marketing, VqbString("Q1"))).empty());
    int parent = -1;
    EXPECT_TRUE(t.meta->getFolderParentId(t.west, &parent) && parent == t.q1);
}

TEST(MetaFolders, NamesThatNoPathReachesAndMissingParentsAreRefused) {
    Tree t;
    int id = -1;
    for (auto [parent, name] : {std::pair{0, ""}, {0, "a/b"}, {999, "Orphan"}, {-1, "Orphan"}})
        EXPECT_FALSE(t.meta->addFolder(parent, VqbString(name), &id)) << parent << " " << name;
    EXPECT_EQ(id, -1);
    EXPECT_EQ(t.count("FOLDER"), 5);

    // Hostile text is a name like any other: stored as written, found by path.
    const std::string hostile = "x'); DROP TABLE FOLDER; --";
    int h = t.folder(t.sales, hostile);
    EXPECT_EQ(t.idOf("sales/" + hostile), h);
    EXPECT_EQ(t.pathOf(h), "Sales/" + hostile);

    for (auto [folder, name] : {std::pair{t.q1, ""}, {t.q1, "Q1/Old"}, {999, "Nowhere"}, {0, "Root"}})
        EXPECT_FALSE(t.meta->renameFolder(folder, VqbString(name))) << folder << " " << name;
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
    for (auto [folder, target] : {std::pair{t.q1, t.q1}, {t.q1, 999}, {t.q1, -1}, {0, t.q1}, {999, t.q1}})
        EXPECT_FALSE(t.meta->moveFolder(folder, target)) << folder << " -> " << target;
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
    EXPECT_FALSE(t.meta->deleteFolder(t.q1, error));  // holds West
    EXPECT_NE(error.str().find("not empty"), std::string::npos) << error.str();

    // Objects of any type keep their folder, listed in folders or not; so do mappings.
    t.addObject("Rule", 5, "Completeness", VqbDatavar(t.west));
    t.addObject("Dimension", 6, "Accuracy", VqbDatavar(t.q2));
    t.repo.exec("INSERT INTO FLDMAP (MAP_ID, FLDR_ID) VALUES (1, ?)", {VqbDatavar(t.marketing)});
    for (int held : {t.west, t.q2, t.marketing}) EXPECT_FALSE(t.meta->deleteFolder(held, error)) << held;
    EXPECT_EQ(t.count("FOLDER"), 5);

    ASSERT_TRUE(t.meta->setObjectAttribute(5, VqbString("Rule"), 0, error));
    ASSERT_TRUE(t.meta->deleteFolder(t.west, error));
    ASSERT_TRUE(t.meta->deleteFolder(t.q1, error));
    EXPECT_EQ(t.idOf("Sales/Q1"), -1);
    EXPECT_EQ(t.count("FOLDER"), 3);
    EXPECT_FALSE(t.meta->deleteFolder(t.q1, error));
    EXPECT_EQ(error.str(), reposMessage(1167).str());
}

TEST(MetaFolders, SharedDataIsCreatedOnceAndOldRowsGetTheirSearchNames) {
    MetaRepository m;
    // The shared folder is matched by its exact name.
    int lower = m.folder(0, "shared data"), id = -1, again = -2;
    ASSERT_TRUE(m.meta->getSharedDataFolderId(&id));
    EXPECT_NE(id, lower);
    ASSERT_TRUE(m.meta->getSharedDataFolderId(&again));
    EXPECT_EQ(again, id);
    EXPECT_EQ(m.repo.rows("SELECT FLDR_PAR, FLDR_NAM, NAM_NORM FROM FOLDER WHERE FLDR_ID=?", {VqbDatavar(id)}),
              (Rows{{"0", "Shared Data", "shared data"}}));
    EXPECT_EQ(m.count("FOLDER"), 2);

    // Rows written without search names get them, and are then found by path.
    m.repo.exec("INSERT INTO FOLDER (FLDR_ID, FLDR_PAR, FLDR_NAM, NAM_NORM) VALUES (101, 0, 'Legacy', NULL), "
                "(102, 101, 'OLD Stuff', ''), (103, 0, '', NULL)");
    VqbString error;
    ASSERT_TRUE(m.meta->normalizeFolderNames(nullptr, error));
    EXPECT_EQ(m.repo.rows("SELECT FLDR_ID, NAM_NORM FROM FOLDER WHERE FLDR_ID > 100 ORDER BY FLDR_ID"),
              (Rows{{"101", "legacy"}, {"102", "old stuff"}, {"103", "<null>"}}));
    ASSERT_TRUE(m.meta->getFolderIdByPath(VqbString("Legacy/Old Stuff"), &id, error));
    EXPECT_EQ(id, 102);
}

