// Profile jobs: the analysis settings travel whole, and each change is announced once, after it
// is written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"

namespace {

// Raw reads of the key and redundancy settings of one job, without ids.
const std::vector<std::string> kSettings = {
    "SELECT SU_KEY, SU_VAL FROM {JKEYVL} WHERE SU_ID=?",
    "SELECT CFG_NAME, CFG_DESC, MC_DEF, MC_SENS, MC_LOC FROM {JRCFGS} WHERE SU_ID=?",
    "SELECT R.CFG_NAME, F.FLD_DSN, F.FLD_CAT, F.FLD_SCH, F.FLD_TBL, F.FLD_NAME, F.DSN_TYPE FROM {JFRDA} F "
    "JOIN {JRCFGS} R ON R.CFG_ID=F.CFG_ID WHERE F.SU_ID=?",
};

class ProfileJobSettings : public ImpExpTest {
protected:
    unsigned addJob(const std::string& name) {
        ReposHeld<ProfileRepositoryDataAccess> p(x->repository->createProfileRepositoryDataAccess());
        unsigned job = p->addJobSetup(name.c_str(), "d", ("uuid-" + name).c_str(), 1, 2, "me", "me", 0);
        EXPECT_NE(job, 0xFFFFFFFFu);
        unsigned d = p->addJobDataSource(job, "sales", "DSN=x", "");
        unsigned t = p->addJobTable(job, static_cast<int>(d), "", "public", "orders", "", "", "", 10, "", ",", "\"",
                                    0, 0, 500, "", 1, 2, "", true);
        EXPECT_NE(p->addJobField(job, d, t, "id", "", 0), 0xFFFFFFFFu);
        for (const char* key : {"depth", "keys", "sample"}) EXPECT_TRUE(p->addJobKeyValue(job, key, "v-" + std::string(key)));
        unsigned exact = p->addJobRedundancyConfig(job, "exact", "same values", "exact", "high", "en");
        unsigned loose = p->addJobRedundancyConfig(job, "loose", "", "fuzzy", "low", "de");
        p->addJobRedundancyConfig(job, "unused", "no fields", "exact", "", "");
        EXPECT_TRUE(p->addJobFieldRedundancy(job, exact, "sales", "", "public", "orders", "id", "db") &&
                    p->addJobFieldRedundancy(job, exact, "stock", "cat", "s", "items", "ref", "file") &&
                    p->addJobFieldRedundancy(job, loose, "sales", "", "public", "orders", "name", "db"));
        return job;
    }
    std::vector<Rows> settings(unsigned job) {
        std::vector<Rows> all;
        for (const std::string& query : kSettings)
            all.push_back(sorted(x->repo.rows(query, {VqbDatavar(static_cast<int>(job))})));
        return all;
    }
    unsigned jobId(const std::string& name) {
        Rows id = x->repo.rows("SELECT SU_ID FROM {JSETUP} WHERE SU_NAME=?", {VqbDatavar(name)});
        return id.empty() ? 0 : static_cast<unsigned>(std::stoul(id[0][0]));
    }
    std::string event(int change, unsigned job) {
        Rows uuid = x->repo.rows("SELECT SU_UUID FROM {JSETUP} WHERE SU_ID=?", {VqbDatavar(static_cast<int>(job))});
        return "postEvent(" + x->repo.uuid() + ", " + std::to_string(change) + ", ProfileJob, " + std::to_string(job) +
               ", " + (uuid.empty() ? "" : uuid[0][0]) + ")";
    }
};

}  // namespace

TEST_P(ProfileJobSettings, KeyAndRedundancyListsTravel) {
    unsigned job = addJob("Source");
    std::vector<Rows> source = settings(job);
    ASSERT_EQ(source[0].size() + source[1].size() + source[2].size(), 9u);
    std::string text = x->exportOf(job, "ProfileJob");
    VqbString error;
    ASSERT_TRUE(x->manager->importObjectAtPath("Copy", VqbString(text), error)) << error.str();
    EXPECT_EQ(settings(jobId("Copy")), source);
    // An update from the document puts back exactly its settings.
    ReposHeld<ProfileRepositoryDataAccess> p(x->repository->createProfileRepositoryDataAccess());
    ASSERT_TRUE(p->addJobKeyValue(job, "extra", "1"));
    ASSERT_NE(p->addJobRedundancyConfig(job, "extra", "", "", "", ""), 0xFFFFFFFFu);
    ASSERT_TRUE(x->manager->updateObjectOnImport(job, "ProfileJob", "", VqbString(text), 0, error, nullptr))
        << error.str();
    EXPECT_EQ(settings(job), source);
}

TEST_P(ProfileJobSettings, EachChangeAnnouncedOnceAfterItIsWritten) {
    unsigned job = addJob("Source");
    std::string text = x->exportOf(job, "ProfileJob");
    ScopedRecordingEventManager events;
    VqbString error;
    // A refused insert midway: nothing written, nothing announced.
    ASSERT_TRUE(x->repo.refuse(Refused::Insert, "JFLD"));
    EXPECT_FALSE(x->manager->updateObjectOnImport(job, "ProfileJob", "", VqbString(text), 0, error, nullptr));
    EXPECT_FALSE(x->manager->importObjectAtPath("Broken", VqbString(text), error));
    EXPECT_EQ(events.lines(), std::vector<std::string>());
    ASSERT_TRUE(x->repo.allow(Refused::Insert, "JFLD"));

    ASSERT_TRUE(x->manager->importObjectAtPath("Copy", VqbString(text), error)) << error.str();
    unsigned copy = jobId("Copy");
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(events.lines(), std::vector<std::string>({event(REPOS_CHANGE_CREATE, copy)}));
    events.clear();
    ASSERT_TRUE(x->manager->updateObjectOnImport(job, "ProfileJob", "", VqbString(text), 0, error, nullptr))
        << error.str();
    EXPECT_EQ(events.lines(), std::vector<std::string>({event(REPOS_CHANGE_MODIFY, job)}));
    events.clear();
    std::string gone = event(REPOS_CHANGE_DELETE, copy);
    ASSERT_TRUE(x->manager->deleteObject("Copy", "ProfileJob", error)) << error.str();
    // The path's own removal is announced too, as a URI event.
    std::vector<std::string> objects;
    for (const RecordedRepositoryEvent& e : events.events())
        if (e.kind == RecordedRepositoryEvent::Event) objects.push_back(e.describe());
    EXPECT_EQ(objects, std::vector<std::string>({gone}));
    EXPECT_EQ(jobId("Copy"), 0u);
}

REPOS_EVERY_PLACE(ProfileJobSettings);
