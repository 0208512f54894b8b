// What the task and profile-job imports build on: the import of a rule they depend on, and the
// type managers' deletes with their announcements.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"
#include "repimpexpmgr.h"
#include "repmetaruleimpl.h"

namespace {

class Members : public ImpExpTest {
protected:
    void SetUp() override {
        ImpExpTest::SetUp();
        if (x->ready()) owner = static_cast<RepositoryImportExportManagerImpl*>(x->manager.get());
    }
    RepositoryImportExportManagerImpl* owner = nullptr;
};

}  // namespace

TEST_P(Members, DependentRulesAreFoundOrMadeOnce) {
    unsigned existing = x->addRule("Known", {"FA"}, {});
    std::string knownUuid = x->repo.rows("SELECT RU_UUID FROM {RULE} WHERE RU_ID=?", {VqbDatavar(static_cast<int>(existing))})[0][0];
    struct Case {
        const char* desc;
        std::string uuid;
        ReposRuleOwner owner;
        std::string name;      // the rule's name afterwards
        bool created;
        bool marked;           // TARGETID set on the element
    };
    const std::vector<Case> cases = {
        {"Known", "", ReposRuleOwner::ProfileJob, "Known", false, true},
        {"Other name", knownUuid, ReposRuleOwner::Task, "Known", false, false},
        {"a/b\\c", "u-1", ReposRuleOwner::ProfileJob, "a_b_c", true, true},
        {"", "u-2", ReposRuleOwner::Task, "u-2", true, true},
    };
    RepositoryMetaContentImpl content(owner, x->repository);
    RepositoryMetadataSerializationContext* c = owner->getContext();
    for (const Case& k : cases) {
        c->begin();
        RepositoryMetadataObject* element = c->createObjectByKey("Rule", "RU_DESC", k.desc);
        element->setProperty("RU_DESC", k.desc);
        element->setProperty("RU_UUID", VqbString(k.uuid));
        element->setProperty("RU_EXPR", "x > 1");
        RepositoryMetadataObject* field = c->createObjectByKey("Field", "FI_NAME", "FNEW");
        field->setProperty("FI_NAME", "FNEW");
        element->addChild("Fields", field);
        const int rules = x->repo.count("RULE");
        int id = -1;
        VqbString name, error;
        ASSERT_TRUE(reposImportDependentRule(content, element, 0, k.owner, id, name, error)) << k.desc << error.str();
        EXPECT_EQ(name.str(), k.name);
        EXPECT_EQ(x->repo.count("RULE"), rules + (k.created ? 1 : 0)) << k.desc;
        EXPECT_EQ(x->repo.rows("SELECT RU_DESC FROM {RULE} WHERE RU_ID=?", {VqbDatavar(id)}), Rows({{k.name}}));
        EXPECT_EQ(x->repo.count("RUFIME", "RU_ID=? AND FI_NAME='FNEW'", {VqbDatavar(id)}), k.created ? 1 : 0);
        int marked = -1;
        EXPECT_EQ(c->getIntProperty(element, "TARGETID", marked), k.marked) << k.desc;
        // Met again in the same import: the id it got, nothing written.
        int again = -2;
        ASSERT_TRUE(reposImportDependentRule(content, element, 0, k.owner, again, name, error));
        if (k.marked) {
            EXPECT_EQ(again, id);
        }
        EXPECT_EQ(x->repo.count("RULE"), rules + (k.created ? 1 : 0)) << k.desc;
    }
    int id = -1;
    VqbString name, error;
    EXPECT_FALSE(reposImportDependentRule(content, nullptr, 0, ReposRuleOwner::ProfileJob, id, name, error));
    EXPECT_EQ(error.str(), "Error inserting rule for profile: Attempt to persist non-existent rule.");
}

TEST_P(Members, TypeManagersDeleteAndAnnounce) {
    unsigned rule = x->addRule("R1", {"FA"}, {"M1"});
    unsigned metric = x->metricId("M1");
    unsigned collection = x->common->addGlobalCategory("Names", "");
    struct Case {
        std::unique_ptr<RepositoryObjectManagerImpl> manager;
        unsigned id;
        const char* type;
        const char* table;
    };
    Case cases[] = {{std::make_unique<CustomMetricManagerImpl>(owner), metric, "CustomMetric", "CUSTM"},
                    {std::make_unique<CollectionManagerImpl>(owner), collection, "Collection", "GCATS"},
                    {std::make_unique<RuleManagerImpl>(owner), rule, "Rule", "RULE"}};
    for (Case& k : cases) {
        ScopedRecordingEventManager events;
        VqbString error;
        ASSERT_TRUE(k.manager->deleteObject(k.id, "u", error)) << k.type << ": " << error.str();
        EXPECT_EQ(x->repo.count(k.table), 0) << k.type;
        std::vector<std::string> posted;
        for (const RecordedRepositoryEvent& e : events.events())
            if (e.kind == RecordedRepositoryEvent::Event && e.changeType == 1) posted.push_back(e.describe());
        EXPECT_EQ(posted, std::vector<std::string>({"postEvent(" + x->repo.uuid() + ", 1, " + k.type + ", " +
                                                    std::to_string(k.id) + ", u)"}));
    }
    EXPECT_EQ(x->repo.count("CMFLD") + x->repo.count("RUCMME") + x->repo.count("CMFMAP"), 0);
}

// A collection imported over a stored one of the same name. Categories store no UUID: a document
// with one goes on to the insert, which answers the stored category, and what that lacks of the
// document's definitions and fields is added, nothing twice. Without a UUID the stored collection
// is found by name and kept as it is.
TEST_P(Members, CollectionImportOverTheSameNameAddsWhatIsMissing) {
    CommonRepositoryDataAccess* c = x->common.get();
    for (bool withUuid : {true, false}) {
        SCOPED_TRACE(withUuid ? "with a UUID" : "without a UUID");
        for (const char* table : {"GCFLD", "GCDEF", "GCATS"})
            ASSERT_TRUE(x->repo.exec("DELETE FROM {" + std::string(table) + "}"));
        const unsigned id = c->addGlobalCategory("Names", "people");
        ASSERT_NE(c->addGlobalCategoryDefinition(id, "en", 3, "Name", 4, "GIVEN", "Given"), 0xFFFFFFFFu);
        ASSERT_NE(c->addGlobalCategoryDefinition(id, "en", 9, "Nine", 5, "FAMILY", "Family"), 0xFFFFFFFFu);
        ASSERT_TRUE(c->addGlobalCategoryField(id, "dsn", "", "public", "people", "FLD1", true, "C", 40, 1));
        ASSERT_TRUE(c->addGlobalCategoryField(id, "dsn", "", "public", "people", "FLD3", false, "C", 60, 3));
        std::string text = x->exportOf(id, "Collection");
        ASSERT_NE(text.find(" uuid=\""), std::string::npos);
        if (!withUuid)
            text = std::regex_replace(text, std::regex(" uuid=\"[^\"]*\""), "",
                                      std::regex_constants::format_first_only);
        // The stored collection has lost part of what the document holds.
        ASSERT_TRUE(x->repo.exec("DELETE FROM {GCDEF} WHERE TS_ID=9"));
        ASSERT_TRUE(x->repo.exec("DELETE FROM {GCFLD} WHERE MAP_FLD='FLD3'"));

        VqbString log;
        EXPECT_TRUE(x->manager->importObject(VqbString(text), 0, log)) << log.str();
        const VqbDatavar key(static_cast<int>(id));
        EXPECT_EQ(x->repo.rows("SELECT GC_ID, GCNAME FROM {GCATS}"), Rows({{std::to_string(id), "Names"}}));
        EXPECT_EQ(sorted(x->repo.rows("SELECT TS_ID, TS_NM, TKN_NM FROM {GCDEF} WHERE GC_ID=?", {key})),
                  withUuid ? Rows({{"3", "Name", "GIVEN"}, {"9", "Nine", "FAMILY"}}) : Rows({{"3", "Name", "GIVEN"}}));
        EXPECT_EQ(sorted(x->repo.rows("SELECT MAP_FLD, FLD_LEN, FLD_POS FROM {GCFLD} WHERE GC_ID=?", {key})),
                  withUuid ? Rows({{"FLD1", "40", "1"}, {"FLD3", "60", "3"}}) : Rows({{"FLD1", "40", "1"}}));
    }
}

REPOS_EVERY_PLACE(Members);
