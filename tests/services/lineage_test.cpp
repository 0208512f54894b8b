// Lineage of monitor tasks and profile jobs, read back from IMPDEP and IMPRCS.
#include <gtest/gtest.h>

#include <map>

#include "impact_fixture.h"
#include "repos_common_rda.h"
#include "repos_monitor_rda.h"
#include "repos_profile_rda.h"

namespace {

using Kinds = std::multiset<std::string>;

// "type:name" of each link of the owner; databases by type alone (their names come from the
// resource manager).
Kinds linkKinds(TestRepository& repo, const VqResource* owner) {
    Kinds out;
    for (const auto& row : repo.rows("SELECT r.RCS_TYPE, r.RCS_NM FROM {IMPDEP} d JOIN {IMPRCS} r ON r.RCS_ID = d.RCS_ID "
                                     "WHERE d.RCS_USED = ?",
                                     {VqbDatavar(owner->getId().asInt())}))
        out.insert(row[0] == "Database" ? row[0] : row[0] + ":" + row[1]);
    return out;
}

}  // namespace

TEST(ProfileSourceKind, LetterOrDerived) {
    const struct {
        const char *stored, *file, *connection, *kind;
    } cases[] = {
        {"N", "", "", "N"},        {" d ", "", "", "D"},          {"s", "f.csv", "", "S"},
        {"y", "", "DSN=a", "Y"},   {"C", "", "", "C"},            {"/data/in.csv", "in.csv", "", "Y"},
        {"Q", "", "DSN=a", "N"},   {"", "", "", ""},              {"NN", "", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RepositoryImpactAnalysisImpl::profileSourceKind(VqbString(c.stored), VqbString(c.file),
                                                                   VqbString(c.connection))
                      .str(),
                  c.kind)
            << c.stored;
}

TEST_P(Impact, TaskLineage) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository->createMonitorRepositoryDataAccess());
    const unsigned first = common->addRule("Positive", "T", "x>0", "", "", "u", "uuid-1", 0, "", "");
    const unsigned second = common->addRule("Second", "T", "y>0", "", "", "u", "uuid-2", 0, "", "");
    uint32_t task = 0;
    ASSERT_TRUE(monitor->addJob("load", "LOAD", "u", 0, "", "", &task));
    ASSERT_TRUE(monitor->addJobRule(task, first) && monitor->addJobRule(task, second));
    const std::string padding(200000, 'p');
    const std::string events[] = {
        "<progexec><path>/bin/</path><prog>run.sh</prog></progexec>",
        "<filelog><path>/l/</path><name>run.log</name><pad>" + padding + "</pad></filelog>",
        "<tablewrite><table>facts</table><connect>DSN=dw;PWD=s3cret</connect></tablewrite>",
        "<wentjob><jobname>/j/load.xml</jobname></wentjob>",
        "<profile><varfile>/v/vars.txt</varfile></profile>",
        "<wentravis><logdir>/w/</logdir><logfile>w.log</logfile></wentravis>",
        "<filelog><path>/l/",
    };
    uint32_t sequence = 0;
    for (const auto& e : events) ASSERT_TRUE(monitor->addRuleEvent(task, first, ++sequence, "E", VqbString(e)));
    ASSERT_TRUE(monitor->addRuleEvent(task, second, ++sequence, "E", VqbString("<filelog><path>/l/</path><name>two.log</name></filelog>")));

    auto owner = add("Task", "task-" + std::to_string(task));
    const VqbString id(std::to_string(task));
    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "task", id, "")) << impact->getErrorMessage().str();
    const Kinds all{"Rule:Positive", "Rule:Second", "File:run.sh", "File:run.log", "Table:facts", "Database",
                    "File:load.xml", "File:vars.txt", "File:w.log", "File:two.log"};
    EXPECT_EQ(linkKinds(*repo, owner.get()), all);

    // The rule formed here is the one the host names by its uuid.
    ReposHeld<VqResource> byUuid(
        impact->getResourceForUri("b", "Rule", "Positive", VqbString(std::to_string(first)), "uuid-1"));
    ASSERT_TRUE(byUuid);
    EXPECT_EQ(repo->count("IMPRCS", "RCS_TYPE = 'Rule'"), 2);

    // A refused link write fails the analysis and leaves the links as they were.
    const unsigned third = common->addRule("Third", "T", "z>0", "", "", "u", "uuid-3", 0, "", "");
    ASSERT_TRUE(monitor->addJobRule(task, third));
    repo->refuse(Refused::Insert, "IMPDEP");
    EXPECT_FALSE(impact->analyzeObject(owner.get(), "b", "Task", id, ""));
    repo->allow(Refused::Insert, "IMPDEP");
    EXPECT_EQ(linkKinds(*repo, owner.get()), all);

    // A rule taken off the task takes its link and its events' links along; a rule id without a
    // rule adds nothing.
    ASSERT_TRUE(repo->exec("DELETE FROM {JBRUME} WHERE RU_ID = ?", {VqbDatavar(static_cast<int>(first))}));
    ASSERT_TRUE(monitor->addJobRule(task, 9999));
    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "Task", id, "")) << impact->getErrorMessage().str();
    EXPECT_EQ(linkKinds(*repo, owner.get()), (Kinds{"Rule:Second", "Rule:Third", "File:two.log"}));
    ASSERT_TRUE(monitor->clearJobRules(task));
    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "Task", id, ""));
    EXPECT_TRUE(linkKinds(*repo, owner.get()).empty());
    EXPECT_EQ(repo->count("IMPRCS", "RCS_NM LIKE '%s3cret%' OR RCS_IDTY LIKE '%s3cret%'"), 0);
}

TEST_P(Impact, ProfileJobLineage) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<ProfileRepositoryDataAccess> profile(repository->createProfileRepositoryDataAccess());
    const unsigned rule = common->addRule("Positive", "T", "x>0", "", "", "u", "uuid-1", 0, "", "");
    const unsigned metric = common->addCustomMetric("Share", "", "x", "");
    const uint32_t job = profile->addJobSetup("job", "", "job-uuid", 0, 0, "u", "u", 0);
    ASSERT_TRUE(job != 0 && job != 0xFFFFFFFF);
    const struct {
        const char *connection, *stored;
        std::vector<std::pair<const char*, const char*>> tables;  // name, file
    } sources[] = {
        {"DRIVER=pg;SERVER=h;UID=bob;PWD=s3cret", "N", {{"orders", ""}, {"items", ""}}},
        {"DRIVER=x;SERVER=k;PASSWORD=s3cret", "d", {{"stock", ""}}},
        {"", "Y", {{"flat", "/d/flat.csv"}, {"nofile", ""}}},
        {"", "C", {{"category", ""}}},
        {"", "Q", {{"odd", ""}}},
        {"", "/d/feed.csv", {{"feed", "/d/feed.csv"}}},
    };
    std::map<std::string, uint32_t> tables;
    int n = 0;
    for (const auto& s : sources) {
        const uint32_t source = profile->addJobDataSource(job, VqbString("src" + std::to_string(++n)), s.connection, s.stored);
        for (const auto& t : s.tables)
            tables[t.first] = profile->addJobTable(job, static_cast<int>(source), "c", "s", t.first, "", "", "", 0,
                                                   t.second, ",", "\"", 0, 0, 0, "", 0, 0, "", false);
    }
    ASSERT_NE(profile->insertJobBusinessRule(job, tables["orders"], rule, "Positive", 0, 0, "uuid-1"), 0u);
    ASSERT_NE(profile->addJobTableCustomMetric(job, tables["category"], metric, "Share", ""), 0u);

    // A file recorded by other means stays; a table no longer in the job goes.
    auto owner = add("ProfileJob", "job-uuid");
    auto kept = add("File", "kept-identity", "kept.txt");
    auto gone = add("Table", "gone-identity", "gone");
    ASSERT_TRUE(impact->addResourceDependencies(owner.get(), listOf({kept.get(), gone.get()}).get()));

    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "profilejob", VqbString(std::to_string(job)), ""))
        << impact->getErrorMessage().str();
    EXPECT_EQ(linkKinds(*repo, owner.get()),
              (Kinds{"File:kept.txt", "Rule:Positive", "Table:orders", "Table:items", "Database", "Table:stock",
                     "Database", "File:flat", "File:feed", "CustomMetric:Share"}));
    EXPECT_EQ(repo->count("IMPRCS", "RCS_NM LIKE '%s3cret%' OR RCS_IDTY LIKE '%s3cret%'"), 0);
}
