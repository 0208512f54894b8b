// Names and keys of every length stay unique and are found again, in each place a repository
// lives: the connector keeps texts past its limit as big strings, which a lookup must still match.
// Row counts are read from outside the library.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "monitor_rdaimpl.h"
#include "prof_rdaimpl.h"
#include "repimpanlysimpl.h"
#include "repos_fixture.h"

namespace {

constexpr unsigned kNoId = 0xFFFFFFFFu;

std::string textOf(const std::string& length, char fill) {
    if (length == "two-byte") {
        std::string text;
        for (int i = 0; i < 150; ++i) text += "\xC3\xA9";
        return text + fill;  // 301 bytes, ends apart from the other families
    }
    return std::string(static_cast<size_t>(std::atol(length.c_str())), fill);
}

bool notAnId(unsigned id) { return id == 0 || id == kNoId; }

// One family of operations keyed by a text: add it (true when a row was added), add it again
// (true when refused or the first row was answered), find it, and the table that holds it.
struct Family {
    const char* name;
    const char* table;
    std::function<bool(const std::string&)> add;
    std::function<bool(const std::string&)> addAgainKeepsOne;
    std::function<bool(const std::string&)> found;
};

class LongNames : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (IsSkipped()) return;
        ASSERT_TRUE(repo->connection());
        common.reset(new CommonRDAImpl(repo->connection()));
        monitor.reset(new MonitorRDAImpl(repo->connection()));
        profile.reset(new ProfileRDAImpl(repo->connection()));
        impact.reset(new ImpactStoreAccess(repo->connection()));
        meta.reset(new MetadataRDAImpl(repo->connection()));
        setupId = profile->addJobSetup("tables", "d", "", 40000.0, 40000.0, "u", "u", 0);
        ASSERT_NE(setupId, kNoId);
    }

    std::vector<Family> families() {
        CommonRDAImpl* c = common.get();
        MonitorRDAImpl* m = monitor.get();
        ProfileRDAImpl* p = profile.get();
        ImpactStoreAccess* s = impact.get();
        MetadataRDAImpl* f = meta.get();
        const uint32_t su = setupId;
        // A table of the setup by its filter name.
        auto table = [p, su](const std::string& filter) {
            return p->addJobTable(su, 1, "", "s", "T", filter, "", "", 0, "", "", "", 0, 0, 0, "", 0, 0, "", false);
        };
        auto rule = [c](const std::string& n) {
            return c->addRule(n, "ROW", "A > 0", "G", "<meta/>", "ann", "", 0, "", "");
        };
        auto setup = [p](const std::string& n) {
            return p->addJobSetup(n, "d", "", 40000.0, 40000.0, "u", "u", 0);
        };
        auto category = [c](const std::string& n) { return c->addGlobalCategory(n, "d"); };
        auto storeRow = [s](const std::string& n) {
            std::vector<int> ids;
            return s->addRows({{"T", "Table", n}}, ids);
        };
        return {
            {"rule", "RULE", [=](const std::string& n) { return !notAnId(rule(n)); },
             [=](const std::string& n) { return notAnId(rule(n)); },
             [c](const std::string& n) { return take(c->findRule(0, n, "")).size() == 1; }},
            {"custom metric", "CUSTM", [c](const std::string& n) { return !notAnId(c->addCustomMetric(n, "", "A/B", "")); },
             [c](const std::string& n) { return notAnId(c->addCustomMetric(n, "", "A/B", "")); },
             [c](const std::string& n) { return take(c->findCustomMetric(0, n, "")).size() == 1; }},
            {"global category", "GCATS", [=](const std::string& n) { return !notAnId(category(n)); },
             [=](const std::string& n) {
                 unsigned first = kNoId;
                 return c->getGlobalCategoryIdByName(n, &first) && category(n) == first;
             },
             [c](const std::string& n) {
                 unsigned id = kNoId;
                 return c->getGlobalCategoryIdByName(n, &id) && !notAnId(id);
             }},
            {"monitor task code", "MJOB",
             [m](const std::string& n) {
                 uint32_t id = 0;
                 return m->addJob("d", n, "u", 0, "", "", &id);
             },
             [m](const std::string& n) {
                 uint32_t id = 0;
                 return !m->addJob("d2", n, "u", 0, "", "", &id);
             },
             [m](const std::string& n) { return take(m->findJob(0, "", n)).size() == 1; }},
            // Sources are told apart by uuid; their name must still find them.
            {"monitor source", "EXSRC",
             [m](const std::string& n) {
                 uint32_t id = 0;
                 return m->addSource(n, VqbString("uuid-" + std::to_string(n.size()) + n.substr(0, 1)), "u", 0, &id);
             },
             [m](const std::string& n) { return take(m->findSource(0, n, "")).size() == 1; },
             [m](const std::string& n) { return take(m->findSource(0, n, "")).size() == 1; }},
            {"setup name", "JSETUP", [=](const std::string& n) { return setup(n) != kNoId; },
             [=](const std::string& n) { return setup(n) == kNoId; },
             [p](const std::string& n) { return p->existsJobSetup(n, 0) && take(p->findJobSetup(0, n, "")).size() == 1; }},
            // Folders of one name may repeat; their lookups by name and path must find them.
            {"folder name", "FOLDER",
             [f](const std::string& n) {
                 int id = 0;
                 return f->addFolder(0, n, &id);
             },
             [f](const std::string& n) { return take(f->listFoldersByName(0, n)).size() == 1; },
             [f](const std::string& n) {
                 int id = 0;
                 VqbString error;
                 return f->getFolderIdByPath(VqbString("/" + n), &id, error) && id > 0;
             }},
            {"job table filter", "JTABLE", [=](const std::string& n) { return table(n) != kNoId; },
             [=](const std::string& n) {
                 uint32_t found = kNoId;
                 return p->getJobTableIdByName(su, 1, "", "", "T", n, "", "", "", &found) && table(n) == found;
             },
             [p, su](const std::string& n) {
                 uint32_t found = kNoId;
                 return p->getJobTableIdByName(su, 1, "", "", "T", n, "", "", "", &found) && found != kNoId;
             }},
            {"impact identity", "IMPRCS", storeRow,
             // The analysis adds only what findRows misses.
             [s](const std::string& n) {
                 ImpactStoreAccess::Found rows;
                 return s->findRows({VqbString(n)}, rows) && rows.size() == 1;
             },
             [s](const std::string& n) {
                 ImpactStoreAccess::Found rows;
                 return s->findRows({VqbString("other"), VqbString(n)}, rows) && rows.size() == 1 &&
                        rows.count({n, "Table"}) == 1;
             }},
        };
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<CommonRDAImpl> common;
    ReposHeld<MonitorRDAImpl> monitor;
    ReposHeld<ProfileRDAImpl> profile;
    ReposHeld<ImpactStoreAccess> impact;
    ReposHeld<MetadataRDAImpl> meta;
    uint32_t setupId = kNoId;
};

}  // namespace

TEST_P(LongNames, ASecondAddOfAKnownNameIsRefusedOrAnswersTheRowAtEveryLength) {
    const char* const lengths[] = {"255", "256", "300", "10000", "100000", "two-byte"};
    int made = 0;
    for (const Family& family : families()) {
        for (const char* length : lengths) {
            SCOPED_TRACE(std::string(family.name) + " " + length);
            const std::string name = textOf(length, static_cast<char>('a' + made++ % 26));
            // A source name column holds 32 characters: on a server a longer text fits only kept apart.
            if (std::string(family.table) == "EXSRC" && name.size() <= 255) continue;
            const long rows = rawCount(*repo, family.table);
            ASSERT_TRUE(family.add(name));
            const long chunks = rawCount(*repo, "BIGSTR");
            EXPECT_TRUE(family.addAgainKeepsOne(name));
            EXPECT_TRUE(family.found(name));
            EXPECT_EQ(rawCount(*repo, family.table), rows + 1);
            // Looking a name up writes nothing.
            EXPECT_EQ(rawCount(*repo, "BIGSTR"), chunks);
        }
    }
}

TEST_P(LongNames, KeyValuesOfLongKeysAreReplacedAndDeletedWithoutNewBigStrings) {
    const long before = rawCount(*repo, "KEYVAL");
    for (const char* length : {"256", "300", "10000", "two-byte"}) {
        SCOPED_TRACE(length);
        const std::string key = textOf(length, 'k');
        ASSERT_TRUE(common->setKeyValue(key, "first"));
        ASSERT_TRUE(common->setKeyValue(key, "second"));
        EXPECT_EQ(rawCount(*repo, "KEYVAL"), before + 1);
        VqbString value;
        ASSERT_TRUE(common->getKeyValue(key, &value));
        EXPECT_EQ(value.str(), "second");
        const long chunks = rawCount(*repo, "BIGSTR");
        EXPECT_TRUE(common->deleteKeyValue(key));
        EXPECT_EQ(rawCount(*repo, "KEYVAL"), before);
        EXPECT_EQ(rawCount(*repo, "BIGSTR"), chunks);
    }
}

TEST_P(LongNames, ATextShapedLikeAReferenceReadsBackAsItself) {
    // A big string that such a text would name if it were stored as given.
    ASSERT_TRUE(common->setKeyValue("long", std::string(70000, 'x')));
    VqbString value;
    for (int id = 1; id <= 3; ++id) {
        const std::string shaped = "_~_velqorinRef_" + std::to_string(id) + "_~_";
        SCOPED_TRACE(shaped);
        ASSERT_TRUE(common->setKeyValue("k" + std::to_string(id), shaped));
        ASSERT_TRUE(common->getKeyValue("k" + std::to_string(id), &value));
        EXPECT_EQ(value.str(), shaped);
        const unsigned rule = common->addRule(shaped, "ROW", "A > 0", "G", "<meta/>", "ann", "", 0, "", "");
        ASSERT_FALSE(notAnId(rule));
        Rows found = take(common->findRule(0, shaped, ""));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0][1], shaped);
        EXPECT_TRUE(notAnId(common->addRule(shaped, "ROW", "A > 0", "G", "<meta/>", "ann", "", 0, "", "")));
    }
    // The text that only resembles one is stored as it is.
    ASSERT_TRUE(common->setKeyValue("near", "_~_velqorinRef_x_~_"));
    ASSERT_TRUE(common->getKeyValue("near", &value));
    EXPECT_EQ(value.str(), "_~_velqorinRef_x_~_");
}

REPOS_EVERY_PLACE(LongNames);
