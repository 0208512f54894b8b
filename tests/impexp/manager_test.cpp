// The import/export manager as a host uses it, in every place a repository lives: exports checked
// against the document text, imports, updates and deletes against the raw rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"

namespace {

class ImportExport : public ImpExpTest {
protected:
    bool import(const std::string& text, VqbString& log) {
        log = "";
        return x->manager->importObject(VqbString(text), 0, log);
    }
    bool update(unsigned id, const char* type, const std::string& text, VqbString& error) {
        return x->manager->updateObjectOnImport(id, VqbString(type), VqbString(uuidOf(id)), VqbString(text), 0, error,
                                                nullptr);
    }
    std::string uuidOf(unsigned rule) {
        Rows r = x->repo.rows("SELECT RU_UUID FROM {RULE} WHERE RU_ID=?", {VqbDatavar(static_cast<int>(rule))});
        return r.empty() ? "" : r[0][0];
    }
    std::vector<int> counts() {
        std::vector<int> n;
        for (const char* table : {"RULE", "RUFIME", "RUCMME", "CMFMAP", "CUSTM", "CMFLD", "MFLD", "GCATS", "GCDEF", "GCFLD"})
            n.push_back(x->repo.count(table));
        return n;
    }
};

struct CountingListener : RepositoryActionEvent {
    bool onActionEvent(int, const VqbString&, const VqbString& message) override {
        ++calls;
        last = message.str();
        return true;
    }
    void release() override {}
    int calls = 0;
    std::string last;
};

}  // namespace

TEST_P(ImportExport, RuleDocumentCarriesItsContent) {
    unsigned id = x->addRule("R1", {"FA", "FB"}, {"M1", "M2"});
    std::string text = x->exportOf(id, "Rule");
    Rows metric = x->repo.rows("SELECT CM_ID, CM_UUID FROM {CUSTM} WHERE CM_DESC='M1'");
    ASSERT_EQ(metric.size(), 1u);
    for (const std::string& fragment :
         {std::string("<velqorindocument class=\"ReposMetadataObject\" version=\"1.0\""),
          "<object type=\"Rule\" uuid=\"" + uuidOf(id) + "\"", std::string("<property name=\"RU_DESC\">R1</property>"),
          std::string("<property name=\"RU_META\" null=\"1\""), std::string("<list name=\"Fields\">"),
          std::string("<object type=\"Field\" uuid=\"\" keycolumn=\"FI_NAME\" key=\"FB\">"),
          "<object type=\"CustomMetric\" uuid=\"" + metric[0][1] + "\" keycolumn=\"CM_ID\" key=\"" + metric[0][0] + "\"",
          std::string("<property name=\"CM_FLDNM\">F2</property>"), std::string("<list name=\"CustomMetricFieldMappings\">"),
          std::string("<property name=\"RM_SEQ\">2</property>")})
        EXPECT_NE(text.find(fragment), std::string::npos) << fragment << "\n" << text;
    EXPECT_EQ(text.find("rU_"), std::string::npos) << "column names upper-cased whatever the back end reports";

    // Type names are exact, the UUID and name find the rule again, and a clash at a path is refused.
    VqbString out, error;
    EXPECT_FALSE(x->manager->exportObject(id, "rule", "", out, error, nullptr));
    EXPECT_EQ(error.str(), "The object type \"rule\" is not a known type to export.");
    std::vector<int> before = counts();
    VqbString log;
    EXPECT_TRUE(import(text, log)) << log.str();
    EXPECT_EQ(counts(), before) << "a re-import writes nothing";
    EXPECT_FALSE(x->manager->importObjectAtPath("r1", VqbString(text), error));
    EXPECT_EQ(error.str(), "An object already exists at the path: r1");
    EXPECT_EQ(counts(), before);
}

TEST_P(ImportExport, DeleteThenImportRestoresTheRule) {
    unsigned id = x->addRule("R1", {"FA", "FB"}, {"M1"});
    Rows rule = x->ruleRows("R1");
    std::string text = x->exportOf(id, "Rule");
    std::string uuid = uuidOf(id);
    {
        ScopedRecordingEventManager events;
        VqbString error;
        ASSERT_TRUE(x->manager->deleteObject("R1", "Rule", error)) << error.str();
        int deletes = 0;
        for (const RecordedRepositoryEvent& e : events.events())
            if (e.kind == RecordedRepositoryEvent::Event) {
                EXPECT_EQ(e.describe(), "postEvent(" + x->repo.uuid() + ", 1, Rule, " + std::to_string(id) + ", " + uuid + ")");
                ++deletes;
            }
        EXPECT_EQ(deletes, 1);
    }
    EXPECT_EQ(x->repo.count("RULE"), 0);
    VqbString log;
    ASSERT_TRUE(import(text, log)) << log.str();
    EXPECT_EQ(x->ruleRows("R1"), rule);
}

TEST_P(ImportExport, UpdateReplacesMembersAllOrNothing) {
    unsigned target = x->addRule("R2", {"FA", "FB", "FC"}, {"M1"});
    unsigned other = x->addRule("R3", {"FX"}, {});
    std::string full = x->exportOf(target, "Rule"), small = x->exportOf(other, "Rule");
    VqbString error;
    ASSERT_TRUE(update(target, "Rule", small, error)) << error.str();
    Rows members = x->repo.rows("SELECT FI_NAME FROM {RUFIME} WHERE RU_ID=?", {VqbDatavar(static_cast<int>(target))});
    EXPECT_EQ(members, Rows({{"FX"}}));
    EXPECT_EQ(x->repo.count("RUCMME", "RU_ID=?", {VqbDatavar(static_cast<int>(target))}), 0);
    EXPECT_EQ(x->repo.rows("SELECT RU_DESC FROM {RULE} WHERE RU_ID=?", {VqbDatavar(static_cast<int>(target))}),
              Rows({{"R2"}})) << "the existing name is kept";

    // A member refused half-way: the update is undone, clearing included.
    Rows before = x->ruleRows("R2");
    ASSERT_TRUE(x->repo.refuse(Refused::Insert, "RUFIME"));
    EXPECT_FALSE(update(target, "Rule", full, error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(x->repo.allow(Refused::Insert, "RUFIME"));
    EXPECT_EQ(x->ruleRows("R2"), before);

    struct Refusal {
        unsigned id;
        const char* type;
        std::string says;
    };
    for (const Refusal& r : std::vector<Refusal>{
             {target, "RULE", "The RULE object with id=" + std::to_string(target) + " and uuid=" + uuidOf(target) +
                                  " does not exist and cannot be updated."},
             {target, "Task", "The object type \"Task\" appears to differ from imported object type \"Rule\"."},
             {0, "Rule", "The Rule object with id=0 and uuid= does not exist and cannot be updated."}}) {
        EXPECT_FALSE(update(r.id, r.type, full, error)) << r.type;
        EXPECT_EQ(error.str(), r.says);
    }
    EXPECT_EQ(x->ruleRows("R2"), before);
}

TEST_P(ImportExport, DocumentIdsAreNotTrusted) {
    unsigned existing = x->addRule("R1", {"FA"}, {"M1"});
    unsigned m1 = x->metricId("M1");
    RepositoryMetadataSerializationContext* c = createRepositoryMetadataSerializationContext();
    RepositoryMetadataObject* rule = c->createObject("Rule", vqbNewUUID());
    rule->setProperty("RU_DESC", "RT");
    c->setIntProperty(rule, "TARGETID", static_cast<int>(existing));
    RepositoryMetadataObject* metric = c->createObjectByKey("CustomMetric", "CM_ID", "77");
    metric->setProperty("CM_DESC", "MNEW");
    metric->setProperty("RM_SEQ", "1");
    c->setIntProperty(metric, "TARGETID", static_cast<int>(m1));
    rule->addChild("CustomMetrics", metric);
    VqbString text, error, log;
    ASSERT_TRUE(c->serialize(rule, text, error, false));
    c->release();
    ASSERT_TRUE(import(text.str(), log)) << log.str();
    EXPECT_EQ(x->repo.rows("SELECT C.CM_DESC FROM {RUCMME} X JOIN {RULE} R ON R.RU_ID=X.RU_ID JOIN {CUSTM} C ON "
                           "C.CM_ID=X.CM_ID WHERE R.RU_DESC='RT'"),
              Rows({{"MNEW"}}));
    EXPECT_EQ(x->repo.count("RULE"), 2);
}

TEST_P(ImportExport, FailuresCarryTheImportLogAndListenersEndWithTheCall) {
    struct Case {
        std::string text;
        std::string logStart;
        bool withImportLog;
    };
    const std::string head = "<velqorindocument class=\"ReposMetadataObject\" version=\"1.0\">";
    for (const Case& k : std::vector<Case>{
             {"<velqorindocument", "Unable to parse", true},
             {head + "<object type=\"Bogus\"/></velqorindocument>", "The object type \"Bogus\" is not a known type to import.", false},
             {head + "<object type=\"DataExploration\"/></velqorindocument>", "NOT IMPLEMENTED.", false}}) {
        VqbString log;
        EXPECT_FALSE(import(k.text, log));
        EXPECT_EQ(log.str().rfind(k.logStart, 0), 0u) << log.str();
        EXPECT_EQ(log.str().find("\nImport Log:\n") != std::string::npos, k.withImportLog) << log.str();
    }

    unsigned id = x->addRule("R1", {"FA"}, {});
    CountingListener listener;
    VqbString out, error, log;
    ASSERT_TRUE(x->manager->exportObject(id, "Rule", "", out, error, &listener));
    EXPECT_GT(listener.calls, 0);
    EXPECT_EQ(listener.last, "Including field in rule export, field name=FA");
    const int calls = listener.calls;
    EXPECT_TRUE(import(out.str(), log));
    EXPECT_TRUE(x->manager->exportObject(id, "Rule", "", out, error, nullptr));
    EXPECT_TRUE(update(id, "Rule", out.str(), error)) << error.str();
    EXPECT_EQ(listener.calls, calls) << "a listener is called only during its own operation";
}

TEST_P(ImportExport, DataExplorationExportUpdateDelete) {
    ASSERT_TRUE(x->repo.exec("INSERT INTO {MPRJ} (PRJ_ID, PRJ_NM, PRJ_COMM, PRJ_UUID, FLDR_ID) VALUES (900, 'P1', "
                             "'original', 'uuid-p', 0)"));
    CountingListener listener;
    VqbString out, error;
    ASSERT_TRUE(x->manager->exportObject(900, "DataExploration", "uuid-p", out, error, &listener)) << error.str();
    EXPECT_NE(out.str().find("<property name=\"PRJ_COMM\">original</property>"), std::string::npos) << out.str();
    EXPECT_EQ(listener.last, "The export does not contain all known metadata for this object.");
    ASSERT_TRUE(x->repo.exec("UPDATE {MPRJ} SET PRJ_COMM='changed', PRJ_NM='P2' WHERE PRJ_ID=900"));
    ASSERT_TRUE(x->manager->updateObjectOnImport(900, "DataExploration", "uuid-p", out, 0, error, nullptr)) << error.str();
    EXPECT_EQ(x->repo.rows("SELECT PRJ_NM, PRJ_COMM FROM {MPRJ} WHERE PRJ_ID=900"), Rows({{"P2", "original"}}));
    ScopedRecordingEventManager events;
    ASSERT_TRUE(x->manager->deleteObject("P2", "DataExploration", error)) << error.str();
    EXPECT_EQ(x->repo.count("MPRJ"), 0);
    for (const RecordedRepositoryEvent& e : events.events())
        EXPECT_NE(e.kind, RecordedRepositoryEvent::Event) << "the manager posts no event: " << e.describe();
}

REPOS_EVERY_PLACE(ImportExport);
