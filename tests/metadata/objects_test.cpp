// Repository objects of every type through the generic object queries: filed in folders, listed
// by folder, by type and without a folder, read one by one and moved.
#include <gtest/gtest.h>

#include "meta_fixture.h"

namespace {

// One object of every type in folder `box`, one of every type at the root, and one of every type
// filed nowhere; ids: 10+n in the folder, 20+n at the root, 30+n without folder.
struct Filed : MetaRepository {
    int box = 0;
    Filed() {
        box = folder(0, "Box");
        int n = 0;
        for (const TestObjectTable& t : kTestObjectTables) {
            std::string type = t.type;
            addObject(type, 10 + n, type + " in box", VqbDatavar(box));
            addObject(type, 20 + n, type + " at root", VqbDatavar(0));
            addObject(type, 30 + n, type + " nowhere", VqbDatavar());
            ++n;
        }
    }
};

const std::set<std::string> kListed = {"DataExploration", "ProfileJob", "Rule", "Task"};

}  // namespace

TEST(MetaObjects, FolderListingsCoverTheFourListedTypesOnly) {
    Filed f;
    Rows inBox = f.take(f.meta->listObjects(f.box));
    EXPECT_EQ(MetaRepository::column(inBox, 0), kListed);
    EXPECT_EQ(MetaRepository::column(inBox, 3),
              (std::set<std::string>{"DataExploration in box", "ProfileJob in box", "Rule in box", "Task in box"}));
    for (const auto& row : inBox) {
        ASSERT_EQ(row.size(), 10u);
        EXPECT_EQ(row[4], std::to_string(f.box));
    }

    Rows atRoot = f.take(f.meta->listObjects(0));
    EXPECT_EQ(atRoot.size(), 4u);
    EXPECT_EQ(MetaRepository::column(atRoot, 0), kListed);

    // Every folder: filed or not, but still only the four types.
    Rows all = f.take(f.meta->listObjects(-1));
    EXPECT_EQ(all.size(), 12u);
    EXPECT_EQ(MetaRepository::column(all, 0), kListed);

    // An empty text in the folder column files the object nowhere as well.
    f.addObject("Rule", 40, "blank", VqbDatavar(""));
    Rows nowhere = f.take(f.meta->listObjectsWithoutFolder());
    EXPECT_EQ(MetaRepository::column(nowhere, 2), (std::set<std::string>{"30", "31", "32", "33", "40"}));

    EXPECT_TRUE(f.take(f.meta->listObjects(999)).empty());
}

TEST(MetaObjects, EveryTypeIsReachedByName) {
    Filed f;
    int n = 0;
    for (const TestObjectTable& t : kTestObjectTables) {
        SCOPED_TRACE(t.type);
        Rows inBox = f.take(f.meta->listObjectsOfType(f.box, VqbString(t.type)));
        ASSERT_EQ(inBox.size(), 1u);
        EXPECT_EQ(inBox[0][0], t.type);
        EXPECT_EQ(inBox[0][2], std::to_string(10 + n));
        EXPECT_EQ(f.take(f.meta->listObjectsOfType(-1, VqbString(t.type))).size(), 3u);

        VqbString error;
        Rows one = f.take(f.meta->getObject(20 + n, VqbString(t.type), error));
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0][1], std::string(t.type) + "-" + t.type + " at root");
        EXPECT_EQ(one[0][3], std::string(t.type) + " at root");
        EXPECT_EQ(one[0][4], "0");
        EXPECT_EQ(one[0][9], std::string("about ") + t.type + " at root");
        int folderId = -1;
        ASSERT_TRUE(f.meta->getObjectFolderId(VqbString(t.type), 10 + n, &folderId));
        EXPECT_EQ(folderId, f.box);
        ++n;
    }
}

TEST(MetaObjects, UnknownTypesAreRefusedWithoutReachingTheDatabase) {
    Filed f;
    LogCapture log;
    const char* names[] = {"", "Field", "CustomMetric", "rule", "Rule' UNION SELECT 1,2,3,4,5,6,7,8,9,10 --"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        log.clear();
        EXPECT_EQ(f.meta->listObjectsOfType(f.box, VqbString(name)), nullptr);
        EXPECT_TRUE(log.contains(std::string("Unable to find type: ") + name, 5));
        VqbString error;
        EXPECT_EQ(f.meta->getObject(10, VqbString(name), error), nullptr);
        EXPECT_EQ(error.str(), std::string("Unable to find type: ") + name);
        int folderId = 42;
        EXPECT_FALSE(f.meta->getObjectFolderId(VqbString(name), 10, &folderId));
        EXPECT_EQ(folderId, 42);
        EXPECT_TRUE(log.contains("Unable to obtain folder id for item, unknown type", 5));
        error = VqbString("");
        EXPECT_FALSE(f.meta->setObjectAttribute(10, VqbString(name), 0, error));
        EXPECT_EQ(error.str(), std::string("Unable to find type: ") + name);
    }
    EXPECT_EQ(f.count("RULE"), 3);
}

TEST(MetaObjects, FilingAnObjectNeedsTheObjectAndTheFolder) {
    Filed f;
    int shelf = f.folder(f.box, "Shelf");
    VqbString error;
    ASSERT_TRUE(f.meta->setObjectAttribute(22, VqbString("Rule"), shelf, error));
    int folderId = -1;
    ASSERT_TRUE(f.meta->getObjectFolderId(VqbString("Rule"), 22, &folderId));
    EXPECT_EQ(folderId, shelf);
    EXPECT_EQ(f.take(f.meta->listObjects(shelf)).size(), 1u);

    // A missing object is not reported as moved, nor its folder as some value.
    EXPECT_FALSE(f.meta->setObjectAttribute(99, VqbString("Rule"), shelf, error));
    EXPECT_EQ(error.str(), "Unable to find Rule object with id=99");
    folderId = 42;
    EXPECT_FALSE(f.meta->getObjectFolderId(VqbString("Rule"), 99, &folderId));
    EXPECT_EQ(folderId, 42);

    // A folder that does not exist would hide the object from every folder listing.
    EXPECT_FALSE(f.meta->setObjectAttribute(22, VqbString("Rule"), 999, error));
    EXPECT_FALSE(f.meta->setObjectAttribute(22, VqbString("Rule"), -1, error));
    ASSERT_TRUE(f.meta->getObjectFolderId(VqbString("Rule"), 22, &folderId));
    EXPECT_EQ(folderId, shelf);

    ASSERT_TRUE(f.meta->setObjectAttribute(33, VqbString("Task"), 0, error));
    EXPECT_EQ(f.take(f.meta->listObjectsWithoutFolder()).size(), 3u);
}
