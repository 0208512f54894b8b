// Objects found by path through the folder manager in every place: names compare ignoring ASCII
// case and nothing else, whatever characters they hold and however long they are, and among
// objects whose names differ only in case the one the plain folder listing gives last still wins.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "impact_fixture.h"
#include "repos_common_rda.h"
#include "repos_foldermgr.h"
#include "repos_impexp.h"
#include "repos_metadata_rda.h"
#include "repos_monitor_rda.h"
#include "vqbutil.h"

namespace {

// The comparison of names in paths, written down apart from the library's: ASCII letters fold.
bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

struct Found {
    int id = -1;
    std::string uuid;
    bool operator==(const Found& o) const { return id == o.id && uuid == o.uuid; }
};

std::ostream& operator<<(std::ostream& os, const Found& f) { return os << f.id << " (" << f.uuid << ")"; }

class FolderPaths : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (!repo->connection()) GTEST_SKIP();
        repository.reset(openRepositoryOn(GetParam(), repo->file(), repo->prefix()));
        ASSERT_NE(repository, nullptr);
        folders.reset(repository->createRepositoryFolderManager());
        common.reset(repository->createCommonRepositoryDataAccess());
        meta.reset(repository->createMetadataRepositoryDataAccess());
        ASSERT_TRUE(folders && common && meta);
        ASSERT_TRUE(folders->addFolder(0, "Sales", sales));
        ASSERT_TRUE(folders->addFolder(0, "Other", other));
    }

    unsigned rule(const std::string& name, unsigned folder) {
        unsigned id = common->addRule(VqbString(name), "B", "x > 1", "G", VqbString(), "tester", vqbNewUUID(),
                                      static_cast<int>(folder), VqbString(), VqbString());
        EXPECT_TRUE(id != 0 && id != 0xFFFFFFFFu) << name.substr(0, 40) << ": " << common->getErrorMessage().str();
        return id;
    }
    // A row written as it stands, for what the library's own writes would refuse.
    void row(const char* table, const char* columns, int id, const std::string& name, const std::string& uuid) {
        ASSERT_TRUE(repo->exec("INSERT INTO {" + std::string(table) + "} (" + columns + ") VALUES (?,?,?,?)",
                               {VqbDatavar(id), VqbDatavar(name), VqbDatavar(static_cast<int>(sales)), VqbDatavar(uuid)}));
    }

    // What a plain listing of the folder answers for a name: the last row of the type so named.
    static Found lastOf(ReposDataAccessCursor* rows, const std::string& type, const std::string& name) {
        Found found;
        for (const auto& r : take(rows))
            if (sameName(r[0], type) && sameName(r[3], name)) found = {std::stoi(r[2]), r[1]};
        return found;
    }
    Found byPath(const std::string& path, const char* type) {
        unsigned folderId = 0;
        int objectId = 0;
        VqbString name, uuid, error;
        if (!folders->getObjectIdFromPath(VqbString(path), VqbString(type), folderId, objectId, name, uuid, error)) {
            EXPECT_EQ(objectId, -1);
            EXPECT_EQ(error.str(), "Unable to determine object id from path: " + path);
            return {};
        }
        return {objectId, uuid.str()};
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<RepositoryImpl> repository;
    ReposHeld<RepositoryFolderManager> folders;
    ReposHeld<CommonRepositoryDataAccess> common;
    ReposHeld<MetadataRepositoryDataAccess> meta;
    unsigned sales = 0, other = 0;
    ConfigScope config;
};

}  // namespace

TEST_P(FolderPaths, NamesMatchIgnoringAsciiCaseOnlyAndTheLastListedDuplicateWins) {
    // Kept apart as a big string through the connector; shaped like a reference, kept apart in
    // every place (under a reference of another number).
    const std::string longName = "Long " + std::string(3000, 'q') + " End";
    const std::string shaped = "_~_velqorinRef_77_~_";
    for (const std::string& name : {std::string("Null Check"), std::string("NULL CHECK"), std::string("\xC3\x84rger"),
                                    std::string("IX ident"), std::string("a_c"), std::string("100%"),
                                    std::string("*star*"), std::string("[set]"), longName, shaped})
        rule(name, sales);
    rule("Moved", other);
    rule("Nightly rule", sales);
    // Names that differ only in case, stored against the order of their ids, and a task named
    // like a rule.
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", 9001, "Dup", "u-9001");
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", 9000, "DUP", "u-9000");
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", 8999, "dUp", "u-8999");
    row("MJOB", "JB_ID, JB_DESC, FLDR_ID, JB_CODE", 77, "Null Check", "t-77");
    row("MJOB", "JB_ID, JB_DESC, FLDR_ID, JB_CODE", 78, "Nightly", "t-78");

    struct Case {
        std::string name;
        bool found;
    };
    std::string nearlyLong = upper(longName);
    nearlyLong[100] = 'X';
    const std::vector<Case> cases = {
        {"null check", true},        {"NULL CHECK", true},          {"\xC3\x84RGER", true},
        {"\xC3\xA4rger", false},     {"ix IDENT", true},            {"A_C", true},
        {"abc", false},              {"a%c", false},                {"100%", true},
        {"100x", false},             {"*STAR*", true},              {"xstarx", false},
        {"[SET]", true},             {"s", false},                  {upper(longName), true},
        {nearlyLong, false},         {upper(shaped), true},         {"_~_velqorinRef_1_~_", false},
        {"Moved", false},            {"DUP", true},                 {"Nightly", false},
        {"", false},                 {"Null Check ", false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name.substr(0, 40));
        const std::string path = "SALES/" + k.name;
        const Found expected = lastOf(meta->listObjectsOfType(static_cast<int>(sales), "Rule"), "Rule", k.name);
        EXPECT_EQ(expected.id >= 0, k.found);
        EXPECT_EQ(byPath(path, "Rule"), expected);
        const Found listed = lastOf(folders->listItemsInFolder(sales), "rule", k.name);
        EXPECT_EQ(folders->objectExistsAtPath(VqbString(path), "rule"), listed.id >= 0);
    }

    // Of the names that differ only in case, the same one as the listing gives last: the largest
    // id, in a file (the rowid) and on the server alike.
    EXPECT_EQ(byPath("Sales/dup", "Rule").uuid, "u-9001");
    // Another type of the same name, and a type the folder listing does not cover.
    EXPECT_EQ(byPath("Sales/NULL check", "Task"), (Found{77, "t-77"}));
    EXPECT_EQ(byPath("Sales/nightly", "Task"), (Found{78, "t-78"}));
    EXPECT_TRUE(folders->objectExistsAtPath("sales/NIGHTLY", "TASK"));
    EXPECT_FALSE(folders->objectExistsAtPath("sales/Null Check", "Source"));
    EXPECT_EQ(byPath("Sales/Null Check", "Source"), Found{});
    EXPECT_EQ(byPath("Other/moved", "Rule").id >= 0, true);
}

// A negative id in the row the folder listing gives last makes the object absent, as before. A
// file's listing of all types is ordered by whole rows (the server's hashes them, in no order that
// either listing keeps).
TEST_P(FolderPaths, ExistenceFollowsTheLastListedRow) {
    if (GetParam() == Place::Postgres) GTEST_SKIP() << "the server's UNION gives its rows in no fixed order";
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", 5, "Neg", "a-neg");
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", -5, "NEG", "z-neg");
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", -6, "Pos", "a-pos");
    row("RULE", "RU_ID, RU_DESC, FLDR_ID, RU_UUID", 6, "POS", "z-pos");
    for (const char* name : {"neg", "pos"}) {
        const Found listed = lastOf(folders->listItemsInFolder(sales), "Rule", name);
        EXPECT_EQ(folders->objectExistsAtPath(VqbString(std::string("Sales/") + name), "Rule"), listed.id >= 0) << name;
    }
    EXPECT_FALSE(folders->objectExistsAtPath("Sales/neg", "Rule"));
    EXPECT_TRUE(folders->objectExistsAtPath("Sales/pos", "Rule"));
}

// Edits and moves rewrite rows; which of two same-named objects a path names stays the listing's
// last, the object stored last, and deleting by path removes that one.
TEST_P(FolderPaths, EditsAndMovesKeepWhichSameNamedObjectAPathNames) {
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository->createMonitorRepositoryDataAccess());
    std::unique_ptr<RepositoryImportExportManager> manager(repository->createRepositoryImportExportManager());
    ASSERT_TRUE(monitor && manager);
    struct Kind {
        const char* type;
        std::function<unsigned(const std::string&, unsigned)> add;
        std::function<bool(unsigned, const std::string&, unsigned)> edit;
    };
    const std::vector<Kind> kinds = {
        {"Rule", [&](const std::string& name, unsigned folder) { return rule(name, folder); },
         [&](unsigned id, const std::string& name, unsigned folder) {
             return common->updateRule(id, VqbString(name), "B", "x > 2", "G", VqbString(), "editor", 1.0, 2.0,
                                       "tester", VqbString(), static_cast<int>(folder), VqbString(), VqbString());
         }},
        {"Threshold",
         [&](const std::string& name, unsigned folder) {
             uint32_t id = 0;
             EXPECT_TRUE(monitor->addThreshold(VqbString(name), "d", "tester", vqbNewUUID(), static_cast<int>(folder),
                                               0, nullptr, nullptr, nullptr, nullptr, &id))
                 << monitor->getErrorMessage().str();
             return static_cast<unsigned>(id);
         },
         [&](unsigned id, const std::string& name, unsigned folder) {
             return monitor->updateThreshold(id, VqbString(name), "edited", "editor", folder, 0, nullptr, nullptr,
                                             nullptr, nullptr);
         }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.type);
        auto listedLast = [&] {
            return lastOf(meta->listObjectsOfType(static_cast<int>(sales), kind.type), kind.type, "pair").id;
        };
        auto named = [&] { return byPath("Sales/pair", kind.type).id; };
        const unsigned a = kind.add("Pair", sales), b = kind.add("PAIR", sales);
        EXPECT_EQ(listedLast(), static_cast<int>(b));
        EXPECT_EQ(named(), static_cast<int>(b));
        for (unsigned edited : {a, b, a}) {
            ASSERT_TRUE(kind.edit(edited, edited == a ? "Pair" : "PAIR", sales));
            EXPECT_EQ(listedLast(), static_cast<int>(b));
            EXPECT_EQ(named(), static_cast<int>(b)) << "after an edit of " << edited;
        }

        // Stored later elsewhere and moved in: the last of the listing and of the path.
        const unsigned c = kind.add("pAIR", other);
        VqbString error;
        ASSERT_TRUE(meta->setObjectAttribute(static_cast<int>(c), kind.type, static_cast<int>(sales), error))
            << error.str();
        EXPECT_EQ(listedLast(), static_cast<int>(c));
        EXPECT_EQ(named(), static_cast<int>(c));
        ASSERT_TRUE(kind.edit(c, "pAIR", sales));
        ASSERT_TRUE(kind.edit(a, "Pair", sales));
        EXPECT_EQ(named(), static_cast<int>(c));

        ASSERT_TRUE(manager->deleteObject("Sales/PAIR", kind.type, error)) << error.str();
        EXPECT_EQ(take(meta->getObject(static_cast<int>(c), kind.type, error)).size(), 0u);
        EXPECT_EQ(take(meta->getObject(static_cast<int>(a), kind.type, error)).size(), 1u);
        EXPECT_EQ(listedLast(), static_cast<int>(b));
        EXPECT_EQ(named(), static_cast<int>(b));
    }
}

REPOS_EVERY_PLACE(FolderPaths);
