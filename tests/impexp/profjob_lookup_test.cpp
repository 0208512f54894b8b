// Profile jobs and tasks meeting what the target repository already holds: a dependent rule known
// there under another UUID, a job of no such id, an update that renames or keeps the name, charts
// found by their description, and the texts the import reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"
#include "repos_monitor_rda.h"
#include "repos_profile_rda.h"

namespace {

using V = VqbDatavar;

// Every reported text with its level, one "level: text" per line.
struct Reports : RepositoryActionEvent {
    bool onActionEvent(int level, const VqbString&, const VqbString& message) override {
        all += std::to_string(level) + ": " + message.str() + "\n";
        return true;
    }
    void release() override {}
    std::string all;
};

class ProfileJobLookups : public ImpExpTest {
protected:
    // A job of one table with a table rule on rule ruleId and a chart of two properties.
    unsigned job(ImpExp& in, const std::string& name, unsigned ruleId, const std::string& ruleName) {
        ReposHeld<ProfileRepositoryDataAccess> p(in.repository->createProfileRepositoryDataAccess());
        unsigned id = p->addJobSetup(VqbString(name), "d", VqbString("uuid-" + name), 1, 2, "me", "me", 0);
        EXPECT_NE(id, 0xFFFFFFFFu);
        unsigned d = p->addJobDataSource(id, "sales", "DSN=x", "");
        unsigned t = p->addJobTable(id, static_cast<int>(d), "", "public", "orders", "", "", "", 10, "", ",", "\"", 0,
                                    0, 500, "", 1, 2, "", true);
        EXPECT_NE(p->addJobField(id, d, t, "f0", "", 0), 0xFFFFFFFFu);
        if (ruleId) {
            unsigned seq = p->insertJobBusinessRule(id, t, ruleId, VqbString(ruleName), 1, 5, "br-1");
            EXPECT_TRUE(p->addJobRuleFieldMapping(id, seq, t, ruleId, VqbString(ruleName), "f0", "in"));
        }
        unsigned chart = p->addJobChart(id, "sales", "", "public", "orders", "f0", "", "bars", "");
        EXPECT_TRUE(p->addJobChartProperty(id, chart, "x", 1, "1") && p->addJobChartProperty(id, chart, "y", 2, "2"));
        return id;
    }
    int ruleId(ImpExp& in, const std::string& name) {
        Rows id = in.repo.rows("SELECT RU_ID FROM {RULE} WHERE RU_DESC=?", {V(name)});
        return id.empty() ? -1 : std::stoi(id[0][0]);
    }
    int jobId(const std::string& name) {
        Rows id = x->repo.rows("SELECT SU_ID FROM {JSETUP} WHERE SU_NAME=?", {V(name)});
        return id.empty() ? -1 : std::stoi(id[0][0]);
    }
};

}  // namespace

TEST_P(ProfileJobLookups, DependentRuleKnownUnderAnotherUuidIsReused) {
    ImpExp source(GetParam());
    ASSERT_TRUE(source.ready());
    unsigned rule = source.addRule("Shared rule", {"in"}, {});
    ReposHeld<MonitorRepositoryDataAccess> monitor(source.repository->createMonitorRepositoryDataAccess());
    uint32_t task = 0;
    ASSERT_TRUE(monitor->addJob("The task", vqbNewUUID(), "me", 0, "", "", &task));
    ASSERT_TRUE(monitor->addJobRule(task, rule));
    struct Case {
        const char* type;
        std::string document;
        const char* uses;  // the imported object's reference to its rule
    };
    const std::vector<Case> cases = {
        {"Task", source.exportOf(task, "Task"),
         "SELECT M.RU_ID FROM {JBRUME} M JOIN {MJOB} J ON J.JB_ID=M.JB_ID WHERE J.JB_DESC='The task'"},
        {"ProfileJob", source.exportOf(job(source, "The job", rule, "Shared rule"), "ProfileJob"),
         "SELECT T.BR_ID FROM {JTBLRU} T JOIN {JSETUP} S ON S.SU_ID=T.SU_ID WHERE S.SU_NAME='The job'"},
    };
    // The target made the same rule itself: same name, its own UUID.
    unsigned known = x->addRule("Shared rule", {"in"}, {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        ASSERT_FALSE(c.document.empty());
        VqbString log;
        ASSERT_TRUE(x->manager->importObject(VqbString(c.document), 0, log)) << log.str();
        EXPECT_EQ(x->repo.count("RULE"), 1);
        EXPECT_EQ(x->repo.rows(c.uses), Rows({{std::to_string(known)}}));
    }
}

TEST_P(ProfileJobLookups, MissingJobExportsNothing) {
    job(*x, "Present", 0, "");
    for (unsigned id : {0u, 9999u}) {
        VqbString out, error;
        EXPECT_FALSE(x->manager->exportObject(id, "ProfileJob", "", out, error, nullptr)) << id;
        EXPECT_EQ(error.str(), "A profile job was not found to export.");
        EXPECT_TRUE(out.isEmpty()) << out.str();
    }
}

TEST_P(ProfileJobLookups, UpdateAnnouncesARenameOnlyWhenTheNameChanges) {
    struct Case {
        const char* stored;
        const char* documented;
        bool renamed;
    };
    // The update keeps a stored name that differs from the document's; a job without one takes
    // the document's, and one that differs in case only is not renamed.
    const std::vector<Case> cases = {{"Same", "Same", false}, {"Stored", "Other", false},
                                     {"", "Named", true},     {"Case", "CASE", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.documented);
        ImpExp source(GetParam());
        ASSERT_TRUE(source.ready());
        std::string text = source.exportOf(job(source, c.documented, 0, ""), "ProfileJob");
        unsigned id = job(*x, c.stored, 0, "");
        ScopedRecordingEventManager events;
        VqbString error;
        ASSERT_TRUE(x->manager->updateObjectOnImport(id, "ProfileJob", "", VqbString(text), 0, error, nullptr))
            << error.str();
        std::vector<std::string> posted;
        for (const RecordedRepositoryEvent& e : events.events())
            if (e.kind != RecordedRepositoryEvent::Uri) posted.push_back(e.describe());
        std::string head = c.renamed ? "postRenameEvent(" + x->repo.uuid() + ", ProfileJob, " + std::to_string(id)
                                     : "postEvent(" + x->repo.uuid() + ", 2, ProfileJob, " + std::to_string(id);
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].compare(0, head.size(), head), 0) << posted[0];
        if (c.renamed) {
            EXPECT_NE(posted[0].find(", , Named)"), std::string::npos) << posted[0];
        }
    }
}

TEST_P(ProfileJobLookups, ChartsFoundByDescriptionAndTheTextsReported) {
    unsigned rule = x->addRule("R", {"in"}, {});
    unsigned id = job(*x, "J", rule, "R");
    std::string text = x->exportOf(id, "ProfileJob");
    // A second chart element of the same description.
    size_t open = text.find("<object type=\"Chart\"");
    size_t next = text.find("<list name=\"DSNs\"", open);
    size_t close = next == std::string::npos ? next : text.rfind("</list>", next);
    ASSERT_TRUE(open != std::string::npos && close != std::string::npos && close > open) << text;
    text.insert(close, text.substr(open, close - open));
    Reports reports;
    VqbString error;
    ASSERT_TRUE(x->manager->updateObjectOnImport(id, "ProfileJob", "", VqbString(text), 0, error, &reports))
        << error.str();
    EXPECT_EQ(x->repo.count("JCHART"), 1);
    EXPECT_EQ(x->repo.rows("SELECT CP_NAME, CP_SEQ FROM {JCHPRP} ORDER BY CP_SEQ, CP_NAME"),
              Rows({{"x", "1"}, {"x", "1"}, {"y", "2"}, {"y", "2"}}))
        << "the second chart's properties go to the first";
    for (const char* expected : {
             "3: Inserted profile chart name=\"bars\".",
             "2: Found existing chart bars",
             "3: Inserted profile chart property name=\"y\".",
             "3: Successful import of DSN=\"sales\".",
             "3: Successful import of Table=\"orders\" for profile.",
             "3: Inserted table field into profile job, name=f0",
             "2: Using existing rule \"R\".",
             "2: Successful import of table rule=\"R\" for profile table.",
             "3: Inserted rule field mapping=\"f0\", br field=\"in\".",
             "2: Using original 'ProfileJob' UUID \"uuid-J\" on import.",
         })
        EXPECT_NE(reports.all.find(expected), std::string::npos) << expected << "\n" << reports.all;

    // The document's UUID held by another job, then by none.
    unsigned other = job(*x, "K", 0, "");
    std::string theirs = x->exportOf(other, "ProfileJob");
    for (const char* expected : {"2: Changing 'ProfileJob' UUID from original \"uuid-K\" to new \"uuid-J\" on import.",
                                 "2: Reset 'ProfileJob' UUID to original \"uuid-K\" from new \"uuid-J\" on import."}) {
        reports.all.clear();
        ASSERT_TRUE(x->manager->updateObjectOnImport(id, "ProfileJob", "", VqbString(theirs), 0, error, &reports))
            << error.str();
        EXPECT_NE(reports.all.find(expected), std::string::npos) << expected << "\n" << reports.all;
        EXPECT_EQ(x->repo.rows("SELECT SU_UUID FROM {JSETUP} WHERE SU_ID=?", {V(static_cast<int>(id))}),
                  Rows({{"uuid-J"}}))
            << "the job keeps its UUID";
        ASSERT_TRUE(x->manager->deleteObject("K", "ProfileJob", error) || jobId("K") < 0) << error.str();
    }
}

REPOS_EVERY_PLACE(ProfileJobLookups);
