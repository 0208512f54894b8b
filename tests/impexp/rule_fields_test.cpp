// The fields of imported rules in every place: a field name the repository does not hold exactly
// (case and whole length counted) is created once, and reported, whoever names it again in the same
// document or in a later rule of the same import; names it holds are linked without a new row.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "repimpexpmgr.h"
#include "repmetaruleimpl.h"

namespace {

// Every "Creating field" report, in order.
struct Created : RepositoryActionEvent {
    bool onActionEvent(int, const VqbString&, const VqbString& message) override {
        const std::string text = message.str();
        const std::string head = "Creating field \"";
        if (text.compare(0, head.size(), head) == 0)
            names.push_back(text.substr(head.size(), text.rfind('"') - head.size()));
        return true;
    }
    void release() override {}
    std::vector<std::string> names;
};

class RuleFields : public ImpExpTest {
protected:
    RepositoryMetadataObject* rule(RepositoryMetadataSerializationContext* c, const std::string& name,
                                   const std::vector<std::string>& fields) {
        RepositoryMetadataObject* element = c->createObjectByKey("Rule", "RU_DESC", VqbString(name));
        element->setProperty("RU_DESC", VqbString(name));
        element->setProperty("RU_EXPR", "x > 1");
        for (const std::string& field : fields) {
            RepositoryMetadataObject* child = c->createObject("Field", VqbString(""));
            child->setProperty("FI_NAME", VqbString(field));
            child->setProperty("FI_DESC", VqbString("from " + name));
            element->addChild("Fields", child);
        }
        return element;
    }
};

}  // namespace

TEST_P(RuleFields, OnlyFieldsNotHeldExactlyAreCreatedOnceEach) {
    // Kept apart as a big string through the connector (longer than its 255 bytes), inline in a
    // file opened directly; shaped like a reference, kept apart everywhere.
    const std::string longName = "Wide" + std::string(296, 'w');
    const std::string longUpper = "WIDE" + std::string(296, 'W');
    const std::string shaped = "_~_velqorinRef_3_~_";
    std::vector<std::string> held = {"Amount", longName, shaped};
    std::vector<std::string> numbered;  // more than one statement's worth of names
    for (int i = 0; i < 100; ++i) {
        numbered.push_back("F" + std::to_string(1000 + i));
        if (i % 2 == 0) held.push_back(numbered.back());
    }
    for (const std::string& name : held) ASSERT_TRUE(x->common->addMonitorField(VqbString(name), "held"));

    std::vector<std::string> first = {"Amount", "AMOUNT", "Fresh", "Fresh", longName, longUpper, shaped,
                                      "_~_VELQORINREF_3_~_", "amount"};
    first.insert(first.end(), numbered.begin(), numbered.end());
    const std::vector<std::string> second = {"Fresh", "AMOUNT", "Second", "F1001", "Amount"};

    // What the import must do, worked out from the names alone.
    std::set<std::string> stored(held.begin(), held.end());
    std::vector<std::string> expectCreated;
    std::map<std::string, std::string> description;
    for (const auto& [ruleName, fields] : {std::pair{"First", first}, std::pair{"Second", second}})
        for (const std::string& name : fields)
            if (stored.insert(name).second) {
                expectCreated.push_back(name);
                description[name] = std::string("from ") + ruleName;
            }

    auto* owner = static_cast<RepositoryImportExportManagerImpl*>(x->manager.get());
    RepositoryMetaContentImpl content(owner, x->repository);
    RepositoryMetadataSerializationContext* c = owner->getContext();
    c->begin();
    Created reports;
    c->setActionListener(&reports);
    std::vector<int> ids;
    for (const auto& [ruleName, fields] : {std::pair{"First", first}, std::pair{"Second", second}}) {
        int id = -1;
        VqbString name, error;
        ASSERT_TRUE(reposImportDependentRule(content, rule(c, ruleName, fields), 0, ReposRuleOwner::Task, id, name,
                                             error))
            << ruleName << ": " << error.str();
        ids.push_back(id);
    }
    c->setActionListener(nullptr);

    EXPECT_EQ(reports.names, expectCreated);
    // Read through the typed reads, which give every text kept apart back whole in every place.
    Rows fields = take(x->common->listMonitorFields(""));
    EXPECT_EQ(fields.size(), stored.size()) << "a field name stored twice";
    for (const auto& r : fields) {
        EXPECT_TRUE(stored.count(r[0])) << r[0].substr(0, 40);
        EXPECT_EQ(r[1], description.count(r[0]) ? description[r[0]] : "held") << r[0].substr(0, 40);
    }
    // A rule's fields: one row per distinct name. A join of two tables compares the stored
    // references of names kept apart, not their texts, and the test's own connection to a file
    // gives reference-shaped texts back as stored: those names are counted only.
    auto spelled = [](const std::string& name) { return name.compare(0, 3, "_~_") != 0; };
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::vector<std::string>& names = i == 0 ? first : second;
        const std::set<std::string> distinct(names.begin(), names.end());
        std::set<std::string> expected, linked;
        std::copy_if(distinct.begin(), distinct.end(), std::inserter(expected, expected.end()), spelled);
        const Rows rows = x->repo.rows("SELECT FI_NAME FROM {RUFIME} WHERE RU_ID=?", {VqbDatavar(ids[i])});
        for (const auto& r : rows)
            if (spelled(r[0])) linked.insert(r[0]);
        EXPECT_EQ(rows.size(), distinct.size()) << "rule " << i;
        EXPECT_EQ(linked, expected) << "rule " << i;
    }
}

REPOS_EVERY_PLACE(RuleFields);
