// Writers in several processes adding rows to one repository file at the same instant, every add
// of the reference-data, profile, monitor and change-of-address classes: a writer waits for the
// others instead of failing on a lock, each add writes its one row and no id is handed out twice.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "monitor_rdaimpl.h"
#include "ncoa_rdaimpl.h"
#include "process_burst.h"
#include "rda_factory.h"
#include "prof_rdaimpl.h"
#include "refdata_fixture.h"
#include "refdata_rdaimpl.h"
#include "test_rows.h"
#include "repositoryimpl.h"

namespace {

constexpr int kWriters = 8;
constexpr int kRounds = 20;

struct Writers {
    explicit Writers(ReposDataAccess* c)
        : refdata(new RefDataRDAImpl(c)), profile(new ProfileRDAImpl(c)), monitor(new MonitorRDAImpl(c)),
          ncoa(new NCOARDAImpl(c)) {}
    ReposHeld<RefDataRDAImpl> refdata;
    ReposHeld<ProfileRDAImpl> profile;
    ReposHeld<MonitorRDAImpl> monitor;
    ReposHeld<NCOARDAImpl> ncoa;
    // Made by the parent before the burst.
    uint32_t setup = 0, report = 0;
};

// One add: its table gains one row a call; k is unique to the writer and round, id (when the add
// hands one out) the new row's.
struct Add {
    const char* what;
    const char* table;
    std::function<bool(Writers&, int k, uint32_t* id)> call;
};

VqbString text(const char* lead, int k) { return VqbString(std::string(lead) + std::to_string(k)); }
const VqbDate kDate(45000.5);
const VqbString E("");

// A uint32_t answer of the profile setup adds: 0xFFFFFFFF is a failure.
bool given(uint32_t answer, uint32_t* id) {
    *id = answer;
    return answer != 0xFFFFFFFFu;
}

const std::vector<Add> kAdds = {
    // reference data
    {"addAccount", "RDACTS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addAccount(text("a", k), "t", "s", "e", "p", "ad", "n", 1, id); }},
    {"addAttribute", "RDATRS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addAttribute(text("at", k), "d", 1, "t", 1, 1, 0, "", id); }},
    {"addAttributeContainer", "RDATRC", [](Writers& w, int k, uint32_t* id) { return w.refdata->addAttributeContainer(text("c", k), "d", id); }},
    {"addAttributeType", "RDATTY", [](Writers& w, int k, uint32_t* id) { return w.refdata->addAttributeType(text("t", k), "d", id); }},
    {"addLanguage", "RDLANS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addLanguage(text("l", k), "en", id); }},
    {"addOperation", "RDOPRS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addOperation("R", text("o", k), 0xFFFFFFFFu, id); }},
    {"addRole", "RDROLS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addRole(text("r", k), "d", "t", id); }},
    {"addItem", "RDDOIT", [](Writers& w, int k, uint32_t* id) { return w.refdata->addItem(text("i", k), "v", "Y", "Y", "s", 1, id); }},
    {"addItemAttributeValue", "RDITAV", [](Writers& w, int k, uint32_t* id) { return w.refdata->addItemAttributeValue(text("v", k), 1, id); }},
    {"addDomain", "RDDOMS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomain(text("d", k), "d", "t", "Y", "Y", "s", 1, "N", 1, 1, kDate, "c", id); }},
    {"addDomainPermission", "RDDOPR", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainPermission(k, k, 1); }},
    {"addDomainVersion", "RDDOVR", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomainVersion(k, 1, "l", "Y", "Y", "s", 1, "N", 1, kDate, id); }},
    {"addDomainVersionPermission", "RDDVPR", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainVersionPermission(k, k, 1); }},
    {"addNote", "RDNOTS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addNote(k, "N", 1, "RDDOMS", "text", 1, 1, id); }},
    {"addDomainAccess", "RDDACC", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainAccess(k, k, 1); }},
    {"addDomainAssociation", "RDDOAS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomainAssociation(k, "as", id); }},
    {"addDomainLanguage", "RDDOLG", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomainLanguage(k, 1, id); }},
    {"addDomainLanguageVersion", "RDDOLV", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainLanguageVersion(k, k); }},
    {"addDomainAttribute", "RDDOAT", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomainAttribute(k, 1, id); }},
    {"addDomainAttributePermission", "RDDATP", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainAttributePermission(k, k, 1); }},
    {"addDomainAttributeVersion", "RDDATV", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainAttributeVersion(k, k, k, "N"); }},
    {"addDomainAttributeValue", "RDDOAV", [](Writers& w, int k, uint32_t* id) { return w.refdata->addDomainAttributeValue(k, "v", "N", 1, id); }},
    {"addDomainAttributeValueVersion", "RDDAVV", [](Writers& w, int k, uint32_t*) { return w.refdata->addDomainAttributeValueVersion(k, k); }},
    {"addItemPermission", "RDITPR", [](Writers& w, int k, uint32_t*) { return w.refdata->addItemPermission(k, k, 1); }},
    {"addItemVersion", "RDITVR", [](Writers& w, int k, uint32_t* id) { return w.refdata->addItemVersion(k, k, 0, "/", -1, id); }},
    {"addItemAttribute", "RDDOIA", [](Writers& w, int k, uint32_t* id) { return w.refdata->addItemAttribute(k, 1, id); }},
    {"addItemAttributePermission", "RDITAP", [](Writers& w, int k, uint32_t*) { return w.refdata->addItemAttributePermission(k, k, 1); }},
    {"addItemAttributeVersion", "RDIAVR", [](Writers& w, int k, uint32_t*) { return w.refdata->addItemAttributeVersion(k, k); }},
    {"addItemAttributeValueVersion", "RDITVV", [](Writers& w, int k, uint32_t*) { return w.refdata->addItemAttributeValueVersion(k, k, k); }},
    {"addPublication", "RDPUBS", [](Writers& w, int k, uint32_t* id) { return w.refdata->addPublication(text("p", k), "t", k, 1, "dsn", "s", id); }},
    // profile
    {"addMatchDefinition", "MATCH", [](Writers& w, int k, uint32_t* id) { return w.profile->addMatchDefinition(text("m", k), "1", "en", id); }},
    {"addJobSetup", "JSETUP", [](Writers& w, int k, uint32_t* id) { return given(w.profile->addJobSetup(text("s", k), "d", text("u", k), 1, 1, "u", "u", 0), id); }},
    {"addJobKeyValue", "JKEYVL", [](Writers& w, int k, uint32_t*) { return w.profile->addJobKeyValue(w.setup, text("k", k), "v"); }},
    {"addJobRedundancyConfig", "JRCFGS", [](Writers& w, int k, uint32_t* id) { return given(w.profile->addJobRedundancyConfig(w.setup, text("c", k), "d", "m", "1", "en"), id); }},
    {"addJobDataSource", "JDSN", [](Writers& w, int k, uint32_t* id) { return given(w.profile->addJobDataSource(w.setup, text("ds", k), "", ""), id); }},
    {"addReport", "REPORT", [](Writers& w, int k, uint32_t* id) { return w.profile->addReport(w.setup, 0, text("r", k), 1, "u", id); }},
    {"addJob", "JOB", [](Writers& w, int k, uint32_t* id) { return w.profile->addJob(text("j", k), 1, w.report, id); }},
    {"addExecutionLog", "EXELOG", [](Writers& w, int k, uint32_t*) { return w.profile->addExecutionLog(k, k, "t", "s", 1, "m"); }},
    {"addJobConfigValue", "JOBCFG", [](Writers& w, int k, uint32_t*) { return w.profile->addJobConfigValue(k, "key", "v"); }},
    {"addDataSource", "DSN", [](Writers& w, int k, uint32_t* id) { return w.profile->addDataSource(k, text("ds", k), "", "N", id); }},
    {"addTable", "TBL", [](Writers& w, int k, uint32_t* id) { return w.profile->addTable(k, "", "s", text("t", k), "", "", "", 0, "", id); }},
    {"addTableNote", "TBLNOT", [](Writers& w, int k, uint32_t* id) { return w.profile->addTableNote(k, 'T', "u", "n", 0, id); }},
    {"addField", "FLD", [](Writers& w, int k, uint32_t* id) { return w.profile->addField(k, k, text("f", k), "C", id); }},
    {"addFieldNote", "FLDNOT", [](Writers& w, int k, uint32_t* id) { return w.profile->addFieldNote(k, "u", "n", 0, id); }},
    {"addPercentile", "PTILE", [](Writers& w, int k, uint32_t*) { return w.profile->addPercentile(k, VqbReal(0.5), VqbReal(1.0)); }},
    {"addOutlier", "OUTLR", [](Writers& w, int k, uint32_t*) { return w.profile->addOutlier(k, true, 1, "v"); }},
    {"addFieldProperty", "FLDPRP", [](Writers& w, int k, uint32_t*) { return w.profile->addFieldProperty(k, k, k, "p", "v"); }},
    {"addFieldCategory", "FLDGCM", [](Writers& w, int k, uint32_t*) { return w.profile->addFieldCategory(k, 1); }},
    {"addAlert", "ALERT", [](Writers& w, int k, uint32_t* id) { return w.profile->addAlert(k, "d", "", "s", "t", "f", "", "x", "r", "e", "", "A", "", id); }},
    // monitor
    {"monitor addJob", "MJOB", [](Writers& w, int k, uint32_t* id) { return w.monitor->addJob(text("j", k), text("c", k), "u", 0, "", "", id); }},
    {"addSource", "EXSRC", [](Writers& w, int k, uint32_t* id) { return w.monitor->addSource(text("s", k), text("u", k), "u", 0, id); }},
    {"addRuleEvent", "RULEVT", [](Writers& w, int k, uint32_t*) { return w.monitor->addRuleEvent(k, k, 1, "c", "d"); }},
    {"addJobRule", "JBRUME", [](Writers& w, int k, uint32_t*) { return w.monitor->addJobRule(k, k); }},
    {"addCustomMetric", "CUSTM", [](Writers& w, int k, uint32_t* id) { return w.monitor->addCustomMetric(text("m", k), "", "e", "", id); }},
    {"addExecPropertyType", "EXPRTP", [](Writers& w, int k, uint32_t*) { return w.monitor->addExecPropertyType("P", text("v", k)); }},
    {"addReportGroup", "RPTGRP", [](Writers& w, int k, uint32_t* id) { return w.monitor->addReportGroup(text("g", k), "", 1, 1, 1, kDate, "u", text("u", k), 0, id); }},
    {"addDimension", "DIMENS", [](Writers& w, int k, uint32_t* id) { return w.monitor->addDimension(text("d", k), "", "u", text("u", k), 0, id); }},
    {"addDimensionGroup", "DIMGRP", [](Writers& w, int k, uint32_t*) { return w.monitor->addDimensionGroup(k, k, 1, VqbReal(1.0)); }},
    {"addThreshold", "THRHLD", [](Writers& w, int k, uint32_t* id) { return w.monitor->addThreshold(text("t", k), "", "u", text("u", k), 0, 0, nullptr, nullptr, nullptr, nullptr, id); }},
    {"addJobRuleMetric", "JBRUME", [](Writers& w, int k, uint32_t*) { return w.monitor->addJobRuleMetric(k, k + 1000000, 1, 1, VqbReal(1.0)); }},
    // change of address
    {"addListOwner", "NCOALO", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addListOwner(text("b", k), "a", "c", "s", "z", "t", "n", "m", "e", "p", "k", "1", "2", "3", "w", 0, "sn", "st", kDate, id); }},
    {"addPafListOwner", "NCOAPO", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addPafListOwner(text("b", k), "a", "c", "s", "z", "t", "n", "m", "e", "p", "k", "1", "2", "3", "w", 0, "sn", "st", kDate, kDate, k, k, id); }},
    {"addLicensee", "NCOALI", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addLicensee(text("n", k), "b", "t", "tin", 1, "e", "f", "1", "2", "3", "sn", "st", kDate, id); }},
    {"addPafLicensee", "NCOAPL", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addPafLicensee(text("n", k), "b", "t", "tin", 1, "e", "f", "1", "2", "3", "sn", "st", kDate, kDate, k, k, id); }},
    {"addBroker", "NCOABR", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addBroker(text("b", k), "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 1, "sn", "st", kDate, id); }},
    {"addPafBroker", "NCOAPB", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addPafBroker(text("b", k), "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 1, "sn", "st", kDate, kDate, k, k, id); }},
    {"addPaf", "NCOAPA", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addPaf("1", "2", "3", 1, 1, kDate, 0, text("l", k), text("p", k), id); }},
    {"addRun", "NCOAEX", [](Writers& w, int k, uint32_t* id) { return w.ncoa->addRun(0, k, id); }},
};

class WritersBurst : public RefDataTest {};

TEST_P(WritersBurst, EveryAddWaitsItsTurnAndWritesOneRowWithItsOwnId) {
    ReposDataAccess* parent = db();
    ASSERT_TRUE(createNcoaTables(parent));
    Writers made(parent);
    made.setup = made.profile->addJobSetup("base", "", "base", 1, 1, "u", "u", 0);
    ASSERT_TRUE(made.profile->addReport(made.setup, 0, "base", 1, "u", &made.report));
    std::map<std::string, int> before;
    for (const Add& add : kAdds) before[add.table] = count(add.table);

    // The writers queue for the file's one write lock, served in no particular order: the wait
    // allowed is long enough for every other writer to pass, so a refusal can only mean a writer
    // did not wait at all.
    BusyTimeout patient(120000);
    BurstPlace place;
    place.kind = REPOS_BACKEND_SQLITE_OPEN;
    place.where = where();
    const std::string out = dir_.file("writer");
    ASSERT_TRUE(runBurst(place, kWriters, [&](ReposDataAccess* connection, int writer) {
        Writers w(connection);
        w.setup = made.setup;
        w.report = made.report;
        w.ncoa->loadRunColumns();
        std::ofstream file(out + std::to_string(writer));
        for (int round = 0; round < kRounds; ++round)
            for (const Add& add : kAdds) {
                uint32_t id = 0xFFFFFFFFu;
                if (add.call(w, 1000 * (writer + 1) + round, &id))
                    file << "OK " << add.what << "|" << id << "\n";
                else
                    file << "FAIL " << add.what << "|" << connection->getLastErrorMessage().str() << "\n";
            }
    }));
    std::map<std::string, std::set<uint32_t>> ids;
    std::map<std::string, int> answers;
    for (int writer = 0; writer < kWriters; ++writer)
        for (const std::string& line : linesOf(out + std::to_string(writer))) {
            EXPECT_EQ(line.rfind("OK ", 0), 0u) << line;
            if (line.rfind("OK ", 0) != 0) continue;
            const size_t bar = line.find('|');
            const std::string what = line.substr(3, bar - 3);
            ++answers[what];
            const uint32_t id = static_cast<uint32_t>(std::stoul(line.substr(bar + 1)));
            if (id != 0xFFFFFFFFu) ids[what].insert(id);
        }
    std::map<std::string, int> expected = before;
    for (const Add& add : kAdds) {
        SCOPED_TRACE(add.what);
        EXPECT_EQ(answers[add.what], kWriters * kRounds);
        if (!ids[add.what].empty()) {
            EXPECT_EQ(ids[add.what].size(), size_t(kWriters * kRounds)) << "an id twice";
        }
        expected[add.table] += kWriters * kRounds;
    }
    for (const auto& [table, rows] : expected) EXPECT_EQ(count(table.c_str()), rows) << table;
}

INSTANTIATE_TEST_SUITE_P(DirectFile, WritersBurst, ::testing::Values(Place::Direct));

}  // namespace
