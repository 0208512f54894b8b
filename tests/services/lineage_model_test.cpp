// A task that meets many resources, several of them more than once, analysed against a model of
// the analysis: every resource met has its row (the new ones numbered in the order first met, named
// as first met), the owner is linked to the first resource of each identity (ASCII case ignored),
// each new table to its database, and a second analysis changes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "impact_fixture.h"
#include "repos_common_rda.h"
#include "repos_monitor_rda.h"
#include "vqresmgr.h"

namespace {

using Key = std::pair<std::string, std::string>;  // identity, type

// A program names a resource of another type by an identity given whole.
class Programs : public ResourceResolver {
public:
    VqResource* getResource(const VqbString& text) override {
        auto* r = new VqResourceImpl();
        r->setType(VqbString("Task"));
        r->setName(VqbString("program"));
        r->setIdentity(text);
        return r;
    }
    bool resolve(const VqbString&, const VqbString&, const VqbString&, VqbString&, VqbString&) override { return true; }
};

std::string xml(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    return out;
}

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// What the analysis should leave: rows by identity and type, new ones in the order first met.
struct Model {
    std::map<Key, std::string> names;
    std::vector<Key> created;
    std::set<std::string> listedIdentities;
    std::vector<Key> listed;

    void meet(const std::string& name, const std::string& type, const std::string& identity) {
        const Key key{identity, type};
        if (names.emplace(key, name).second) created.push_back(key);
        if (listedIdentities.insert(lowered(identity)).second) listed.push_back(key);
    }
};

struct Row {
    int id;
    std::string name;
    double date;
};

std::map<Key, Row> storedRows(TestRepository& repo) {
    std::map<Key, Row> rows;
    for (const auto& r : repo.rows("SELECT RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE, RCS_ADAT FROM {IMPRCS}"))
        rows[{r[2], r[3]}] = {std::stoi(r[0]), r[1], VqbString(r[4]).asDouble()};  // NULL reads as 0
    return rows;
}

// (resource, owner) of every link, by identity and type.
std::set<std::pair<Key, Key>> storedLinks(TestRepository& repo) {
    std::set<std::pair<Key, Key>> links;
    for (const auto& r : repo.rows("SELECT u.RCS_IDTY, u.RCS_TYPE, o.RCS_IDTY, o.RCS_TYPE FROM {IMPDEP} d "
                                   "JOIN {IMPRCS} u ON u.RCS_ID = d.RCS_ID JOIN {IMPRCS} o ON o.RCS_ID = d.RCS_USED"))
        links.insert({{r[0], r[1]}, {r[2], r[3]}});
    return links;
}

}  // namespace

TEST_P(Impact, ATaskOfManyResourcesGivesTheRowsAndLinksOfTheModel) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository->createMonitorRepositoryDataAccess());
    ReposHeld<VqResourceManager> manager(createVqResourceManager());
    Programs programs;
    impact->setResourceResolver(&programs);
    uint32_t task = 0;
    ASSERT_TRUE(monitor->addJob("load", "LOAD", "u", 0, "", "", &task));
    auto fileIdentity = [&](const std::string& path, const std::string& name) {
        VqbString identity;
        EXPECT_TRUE(manager->getFileIdentity(VqbString(path + name), VqbString(name), identity));
        return identity.str();
    };

    // Enough rules and resources that every read and write takes several statements.
    constexpr int kRules = 90;
    std::vector<std::vector<std::string>> events(kRules);  // per rule, in order: documents
    for (int r = 0; r < kRules; ++r) {
        const std::string n = std::to_string(r);
        events[r].push_back("<filelog><path>/l/</path><name>r" + n + ".log</name></filelog>");
        // Seven files that many rules name again.
        events[r].push_back("<filelog><path>/shared/</path><name>common" + std::to_string(r % 7) + ".log</name></filelog>");
        // The same file in other case: a row of its own, not a link of its own.
        if (r % 10 == 3)
            events[r].push_back("<filelog><path>/shared/</path><name>COMMON" + std::to_string(r % 7) +
                                ".log</name></filelog>");
        // Tables of two databases.
        if (r % 15 == 0)
            events[r].push_back("<tablewrite><table>t" + n + "</table><connect>DSN=dw" + std::to_string(r % 2) +
                                "</connect></tablewrite>");
        // A program known by a file's identity: a resource of another type with that identity.
        if (r % 20 == 5)
            events[r].push_back("<profile><prog>" + xml(fileIdentity("/l/", "r" + n + ".log")) + "</prog></profile>");
        // A document that names nothing.
        if (r % 30 == 7) events[r].push_back("<filelog><path>/l/");
    }
    std::vector<unsigned> rules;
    uint32_t sequence = 0;
    for (int r = 0; r < kRules; ++r) {
        const std::string n = std::to_string(r);
        rules.push_back(common->addRule(VqbString("rule " + n), "T", "x>0", "", "", "u", VqbString("uuid-" + n), 0, "", ""));
        ASSERT_TRUE(monitor->addJobRule(task, rules.back()));
        for (const std::string& e : events[r]) ASSERT_TRUE(monitor->addRuleEvent(task, rules.back(), ++sequence, "E", VqbString(e)));
    }
    // Rows stored before: one under another name and analysed, one never analysed.
    auto owner = add("Task", "task-owner");
    auto analysed = add("File", fileIdentity("/l/", "r4.log"), "older name");
    ASSERT_TRUE(impact->setResourceAnalysisDate(analysed.get(), VqbDate(45000.5)));
    auto unanalysed = add("File", fileIdentity("/shared/", "common2.log"), "common two");

    // The model meets what the analysis reads, in its order: the rules, then each rule's events.
    Model model;
    for (const auto& [key, row] : storedRows(*repo)) model.names[key] = row.name;
    std::set<std::pair<Key, Key>> tableLinks;
    std::vector<int> order;
    {
        ReposHeld<ReposDataAccessCursor> jobRules(monitor->listJobRules(task));
        ASSERT_TRUE(jobRules);
        int column = -1;
        for (int c = 0; c < jobRules->getNumCols(); ++c)
            if (jobRules->getColName(c).equals("RU_ID", false)) column = c;
        ASSERT_GE(column, 0);
        while (jobRules->next() == 1) order.push_back(jobRules->getInt(column));
    }
    ASSERT_EQ(order.size(), static_cast<size_t>(kRules));
    std::map<int, int> indexOf;
    for (int r = 0; r < kRules; ++r) indexOf[static_cast<int>(rules[r])] = r;
    for (int ruleId : order) {
        VqbString identity;
        ASSERT_TRUE(manager->getObjectIdentity("b", "Rule", VqbString(std::to_string(ruleId)), "", identity));
        model.meet("rule " + std::to_string(indexOf[ruleId]), "Rule", identity.str());
    }
    for (int ruleId : order) {
        const int r = indexOf[ruleId];
        const std::string n = std::to_string(r);
        model.meet("r" + n + ".log", "File", fileIdentity("/l/", "r" + n + ".log"));
        const std::string common = "common" + std::to_string(r % 7) + ".log";
        model.meet(common, "File", fileIdentity("/shared/", common));
        if (r % 10 == 3)
            model.meet("COMMON" + std::to_string(r % 7) + ".log", "File",
                       fileIdentity("/shared/", "COMMON" + std::to_string(r % 7) + ".log"));
        if (r % 15 == 0) {
            const VqbString connect("DSN=dw" + std::to_string(r % 2));
            VqbString database, table, name;
            ASSERT_TRUE(manager->getDatabaseIdentity(connect, "ODBC", database));
            ASSERT_TRUE(manager->getTableIdentity(connect, "ODBC", "", "", VqbString("t" + n), table));
            ASSERT_TRUE(manager->getDataSourceName(connect, name));
            model.meet(name.str(), "Database", database.str());
            model.meet("t" + n, "Table", table.str());
            tableLinks.insert({{database.str(), "Database"}, {table.str(), "Table"}});
        }
        if (r % 20 == 5) model.meet("program", "Task", fileIdentity("/l/", "r" + n + ".log"));
    }

    const std::map<Key, Row> before = storedRows(*repo);
    int highest = 0;
    for (const auto& [key, row] : before) highest = std::max(highest, row.id);
    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "Task", VqbString(std::to_string(task)), ""))
        << impact->getErrorMessage().str();
    const std::map<Key, Row> after = storedRows(*repo);

    std::map<Key, std::string> names;
    for (const auto& [key, row] : after) names[key] = row.name;
    EXPECT_EQ(names, model.names) << "one row for each resource met, named as first met";
    std::vector<std::pair<int, Key>> added;
    for (const auto& [key, row] : after)
        if (!before.count(key)) added.emplace_back(row.id, key);
    std::sort(added.begin(), added.end());
    std::vector<Key> addedOrder;
    for (const auto& [id, key] : added) {
        EXPECT_GT(id, highest);
        addedOrder.push_back(key);
    }
    EXPECT_EQ(addedOrder, model.created) << "new ids in the order the resources were met";

    const Key ownerKey{"task-owner", "Task"};
    std::set<std::pair<Key, Key>> expected = tableLinks;
    for (const Key& key : model.listed) expected.insert({key, ownerKey});
    EXPECT_EQ(storedLinks(*repo), expected);

    // Each linked resource is analysed now, one analysed before keeps its date, and one met but
    // not linked is left unanalysed.
    for (const Key& key : model.listed) {
        const Row& row = after.at(key);
        if (key.first == analysed->getIdentity().str())
            EXPECT_DOUBLE_EQ(row.date, 45000.5);
        else
            EXPECT_GT(row.date, 45000.5) << key.first;
    }
    for (const Key& key : model.created) {
        if (std::find(model.listed.begin(), model.listed.end(), key) == model.listed.end()) {
            EXPECT_EQ(after.at(key).date, 0.0) << key.first;
        }
    }
    EXPECT_GT(after.at({unanalysed->getIdentity().str(), "File"}).date, 45000.5);

    // Nothing changed: the same rows, ids, dates and links.
    ASSERT_TRUE(impact->analyzeObject(owner.get(), "b", "Task", VqbString(std::to_string(task)), ""))
        << impact->getErrorMessage().str();
    const std::map<Key, Row> again = storedRows(*repo);
    ASSERT_EQ(again.size(), after.size());
    for (const auto& [key, row] : after) {
        EXPECT_EQ(again.at(key).id, row.id) << key.first;
        EXPECT_EQ(again.at(key).date, row.date) << key.first;
    }
    EXPECT_EQ(storedLinks(*repo), expected);
}
