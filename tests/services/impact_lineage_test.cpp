// Lineage of rules and data explorations, rule-event documents, and writers in two processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "impact_fixture.h"
#include "repos_common_rda.h"
#include "repos_monitor_rda.h"
#include "vqresmgr.h"

namespace {

using Strings = std::vector<std::string>;

// Hands out a resource for any program path or reference it is asked about.
class Programs : public ResourceResolver {
public:
    VqResource* getResource(const VqbString& text) override {
        asked.push_back(text.str());
        auto* r = new VqResourceImpl();
        r->setType(VqbString("Task"));
        r->setName(VqbString("program"));
        r->setIdentity(VqbString("program|" + text.str()));
        return r;
    }
    bool resolve(const VqbString&, const VqbString&, const VqbString&, VqbString&, VqbString&) override { return true; }
    Strings asked;
};

// The file path each File of the list was formed from, as "name<path>".
Strings filePaths(VqResourceList* list) {
    ReposHeld<VqResourceManager> m(createVqResourceManager());
    Strings out;
    list->reset();
    while (list->next()) {
        const VqResource* r = list->getCurrent();
        VqbString path, name;
        if (m->parseFileIdentity(r->getIdentity(), path, name)) out.push_back(r->getName().str() + "<" + path.str() + ">");
        else out.push_back(r->getType().str() + ":" + r->getName().str());
    }
    return out;
}

std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
}

}  // namespace

TEST_P(Impact, RuleEventDocuments) {
    const std::string big(1 << 20, 'x');
    const struct {
        std::string document;
        Strings listed;
    } cases[] = {
        {"<filelog><path>C:\\logs\\</path><name>run.log</name></filelog>", {"run.log<C:\\logs\\run.log>"}},
        {"<filelog><path>C:\\logs</path><name>run.log</name></filelog>", {"run.log<C:\\logsrun.log>"}},
        {"<PROGEXEC><Prog>a.sh</Prog><PATH>/opt/</PATH><path>/usr/bin/</path><junk/></PROGEXEC>",
         {"a.sh</usr/bin/a.sh>"}},
        {"<wentjob><jobname>D:\\jobs\\load.xml</jobname></wentjob>", {"load.xml<D:\\jobs\\load.xml>"}},
        {"<wentjob><jobname>/srv/jobs/load.xml</jobname></wentjob>", {"load.xml</srv/jobs/load.xml>"}},
        {"<wentjob><jobname>/srv/jobs/</jobname></wentjob>", {"/srv/jobs/</srv/jobs/>"}},
        {"<tablewrite><connect>DSN=dw;PWD=pw</connect></tablewrite>", {}},
        {"<tablewrite><table>facts</table><schema>s</schema><connect>DSN=dw;PWD=pw</connect></tablewrite>",
         {"Database:dw", "Table:facts"}},
        {"<tablewrite><table>facts</table></tablewrite>", {"Table:facts"}},
        {"<profile><prog>p1</prog><varfile>/v/vars.txt</varfile><logdir>/l/</logdir><logfile>p.log</logfile>"
         "</profile>",
         {"Task:program", "vars.txt</v/vars.txt>", "p.log</l/p.log>"}},
        {"<wentravis><prog>repos:///Jobs/Load?type=Task</prog><logfile>w.log</logfile></wentravis>",
         {"Task:program", "w.log<w.log>"}},
        {"<wentravis><prog>C:\\bin\\w.exe</prog></wentravis>", {"w.exe<C:\\bin\\w.exe>"}},
        {"<unknown><path>/a/</path><name>b</name></unknown>", {}},
        {"<filelog><path>/a/", {}},
        {"not xml at all", {}},
        {"", {}},
        {"<!DOCTYPE filelog [<!ENTITY x SYSTEM \"file:///etc/passwd\"><!ENTITY y \"&x;&x;\">]>"
         "<filelog><path>&y;</path><name>n</name></filelog>",
         {"n<&y;n>"}},
        {"<filelog><path>/big/</path><name>" + big + "</name></filelog>", {big + "</big/" + big + ">"}},
        {"<filelog>" + nested(20000) + "</filelog>", {}},
    };
    Programs programs;
    impact->setResourceResolver(&programs);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.document.substr(0, 120));
        const int before = repo->count("IMPRCS");
        ReposHeld<VqResourceList> list(impact->createResourceList());
        impact->addResourcesFromEvent(list.get(), VqbString(c.document));
        EXPECT_EQ(filePaths(list.get()), c.listed);
        if (c.listed.empty()) {
            EXPECT_EQ(repo->count("IMPRCS"), before) << "nothing recorded";
        }
    }
    // Only a repository reference reaches the resolver of a process event.
    EXPECT_EQ(programs.asked, (Strings{"p1", "repos:///Jobs/Load?type=Task"}));
    const Rows names = repo->rows("SELECT RCS_NM FROM {IMPRCS} WHERE RCS_NM LIKE '%pw%' OR RCS_IDTY LIKE '%pw%'");
    EXPECT_TRUE(names.empty()) << "a connection's password is never stored";
}

TEST_P(Impact, RuleAndExplorationLineage) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    const unsigned rule = common->addRule("Positive", "T", "x>0", "", "", "u", "rule-uuid", 0, "", "");
    const unsigned metric = common->addCustomMetric("Share", "", "x", "");
    ASSERT_TRUE(rule != 0 && rule != 0xFFFFFFFF && metric != 0 && metric != 0xFFFFFFFF);
    ASSERT_TRUE(common->addRuleCustomMetric(rule, metric, 1));
    ASSERT_TRUE(common->addRuleField(rule, "AMOUNT", "amount"));
    const VqbString ruleId(std::to_string(rule));

    // The rule by its path and by its uuid is one resource.
    ReposHeld<VqResource> byPath(impact->getResourceForUri("b", "Rule", "Positive", ruleId, "/Sales/Positive"));
    ReposHeld<VqResource> byUuid(impact->getResourceForUri("b", "Rule", "Positive", ruleId, "rule-uuid"));
    ASSERT_TRUE(byPath && byUuid);
    EXPECT_EQ(byPath->getId(), byUuid->getId());
    ASSERT_TRUE(impact->analyzeObject(byUuid.get(), "b", "RULE", ruleId, "rule-uuid"))
        << impact->getErrorMessage().str();
    EXPECT_EQ(links(byPath.get()), (std::set<std::string>{"Share", "AMOUNT"}));
    EXPECT_EQ(repo->count("IMPRCS", "RCS_TYPE = 'Rule'"), 1);

    // An exploration names its database by the connection text when it has no data source name.
    ASSERT_TRUE(repo->exec("INSERT INTO {MDBCON} (DB_ID, CON_CNSTR) VALUES (1, ?)",
                           {VqbDatavar("DRIVER=pg;SERVER=h;UID=bob;PWD=s3cret")}));
    ASSERT_TRUE(repo->exec("INSERT INTO {MTABLE} (TBL_ID, PRJ_ID, DB_ID, TBL_NM, TBL_SCH, TBL_CAT) "
                           "VALUES (1, 4, 1, 'orders', 's', 'c')"));
    ASSERT_TRUE(repo->exec("INSERT INTO {MPJTBL} (PRJ_ID, TBL_ID) VALUES (4, 1)"));
    auto project = add("DataExploration", "project-4");
    ASSERT_TRUE(impact->analyzeObject(project.get(), "b", "DataExploration", "4", ""));
    EXPECT_EQ(links(project.get()).size(), 2u);
    EXPECT_EQ(repo->count("IMPRCS", "RCS_NM LIKE '%s3cret%' OR RCS_IDTY LIKE '%s3cret%'"), 0);
    EXPECT_EQ(repo->count("IMPRCS", "RCS_TYPE = 'Database'"), 1);

    // Types analysed elsewhere or not at all.
    const struct {
        const char* type;
        bool ok;
    } types[] = {{"Collection", true}, {"source", true}, {"Workflow", false}, {"", false}};
    for (const auto& t : types)
        EXPECT_EQ(impact->analyzeObject(project.get(), "b", t.type, "4", ""), t.ok) << t.type;
    EXPECT_EQ(impact->getErrorMessage().str(), "The object type  was not found to analyze");
    EXPECT_EQ(links(project.get()).size(), 2u);
}


TEST_P(Impact, ATableWithALongIdentityStaysOneResourceOverRepeatedAnalyses) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository->createMonitorRepositoryDataAccess());
    const unsigned rule = common->addRule("Writes", "T", "x>0", "", "", "u", "", 0, "", "");
    ASSERT_TRUE(rule != 0 && rule != 0xFFFFFFFF);
    uint32_t task = 0;
    ASSERT_TRUE(monitor->addJob("Load", "LOAD", "u", 0, "", "", &task));
    ASSERT_TRUE(monitor->addJobRule(task, rule));
    // The identity joins the connection, schema and table: 300 characters and more.
    const std::string table(300, 't');
    ASSERT_TRUE(monitor->addRuleEvent(task, rule, 1, "TBLWRT",
                                      "<tablewrite><table>" + table +
                                          "</table><schema>s</schema><connect>DSN=dw</connect></tablewrite>"));
    auto owner = add("Task", "task-load", "Load");
    for (int pass = 1; pass <= 3; ++pass) {
        SCOPED_TRACE(pass);
        ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "Task", VqbString(std::to_string(task)), ""))
            << impact->getErrorMessage().str();
        EXPECT_EQ(repo->count("IMPRCS", "RCS_TYPE = 'Table'"), 1);
        EXPECT_EQ(links(owner.get()), (std::set<std::string>{"Writes", "dw", table}));
    }
}

// Two processes adding the same identities at once: one row each, and both are told its id.
class ImpactWriters : public ::testing::TestWithParam<Place> {};

TEST_P(ImpactWriters, OneRowPerIdentity) {
    TestRepository repo(GetParam());
    if (IsSkipped() || HasFatalFailure()) return;
    TempDir dir;
    constexpr int kIdentities = 30;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    std::vector<pid_t> children;
    for (int w = 0; w < 2; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            close(ready[1]);
            char go;
            RepositoryImpl* repository = openRepositoryOn(GetParam(), repo.file(), repo.prefix());
            RepositoryImpactAnalysis* impact = repository ? repository->createRepositoryImpactAnalysis() : nullptr;
            if (read(ready[0], &go, 1) != 0 || !impact) _exit(2);
            std::ofstream out(dir.file("w" + std::to_string(w)));
            for (int n = 0; n < kIdentities; ++n) {
                ReposHeld<VqResource> r(impact->findOrAddResource("n", "File", VqbString("id" + std::to_string(n))));
                out << (r ? r->getId().str() : "failed") << '\n';
            }
            // Both owners link the same new resources.
            ReposHeld<VqResource> owner(impact->findOrAddResource("o", "Task", VqbString("owner" + std::to_string(w))));
            ReposHeld<VqResourceList> list(impact->createResourceList());
            for (int n = 0; n < kIdentities; ++n) {
                VqResourceImpl r;
                r.setType(VqbString("Table"));
                r.setIdentity(VqbString("shared" + std::to_string(n)));
                list->addNew();
                list->setCurrentFrom(0, &r);
            }
            out << (owner && impact->addResourceDependencies(owner.get(), list.get()) ? "linked" : "failed") << '\n';
            out.close();
            impact->release();
            repository->release();
            _exit(0);
        }
        children.push_back(pid);
    }
    close(ready[0]);
    close(ready[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    std::ifstream first(dir.file("w0")), second(dir.file("w1"));
    for (int n = 0; n < kIdentities; ++n) {
        std::string a, b;
        std::getline(first, a);
        std::getline(second, b);
        EXPECT_TRUE(a == b && a != "failed" && !a.empty()) << n << ": " << a << " / " << b;
        EXPECT_EQ(repo.count("IMPRCS", "RCS_IDTY = ?", {VqbDatavar("id" + std::to_string(n))}), 1) << n;
        EXPECT_EQ(repo.count("IMPRCS", "RCS_IDTY = ?", {VqbDatavar("shared" + std::to_string(n))}), 1) << n;
    }
    std::string a, b;
    std::getline(first, a);
    std::getline(second, b);
    EXPECT_EQ(a + b, "linkedlinked");
    EXPECT_EQ(repo.count("IMPDEP"), 2 * kIdentities);
}

INSTANTIATE_TEST_SUITE_P(Places, ImpactWriters, ::testing::Values(Place::Direct, Place::Postgres), placeName);
