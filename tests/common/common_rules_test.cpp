// Rules with every table that belongs to them: lookups, updates, clearing and deleting as one
// unit, and what a failure half-way leaves behind.
#include <string>
#include <utility>
#include <vector>

#include "common_rda_fixture.h"
#include "vqbmessage.h"

namespace {

const char* const kMembers[] = {"RURSME", "TRIG", "ROWLOG", "JBRUME", "RULEVT", "RUFIME", "RUCMME", "CMFMAP"};

unsigned addRule(CommonRDAImpl& rda, const char* name, const char* uuid, int folder = 0) {
    return rda.addRule(name, "ROW", "A > 0", "G", "<meta/>", "ann", uuid, folder, "comment", "Shown");
}

// One row in each member table, for the rule.
void addMembers(TestRepository& repo, CommonRDAImpl& rda, unsigned rule, unsigned metric) {
    const std::pair<const char*, const char*> rows[] = {
        {"RURSME", "(RU_ID, RS_ID) VALUES (?, 9)"},
        {"TRIG", "(RU_ID, EX_ID, TR_CNT) VALUES (?, 4, 12)"},
        {"ROWLOG", "(RU_ID, EX_ID, RL_ROWID, RL_SEQ, RL_DATA) VALUES (?, 4, 1, 1, 'row')"},
        {"JBRUME", "(RU_ID, JB_ID, DIM_ID, THR_ID, WGHT) VALUES (?, 2, 0, 0, 1.5)"},
        {"RULEVT", "(RU_ID, JB_ID, EV_SEQ, EV_CODE, EV_DATA) VALUES (?, 2, 1, 'MAIL', '<event/>')"}};
    for (const auto& row : rows)
        ASSERT_TRUE(repo.exec("INSERT INTO " + repo.table(row.first) + " " + row.second, {VqbDatavar(rule)}));
    ASSERT_TRUE(rda.addRuleField(rule, "PRICE", "Unit price"));
    ASSERT_TRUE(rda.addRuleCustomMetric(rule, metric, 1));
    ASSERT_TRUE(rda.addCustomMetricFieldMap(rule, metric, 1, "PRICE", "A", "I"));
}

std::vector<int> memberCounts(TestRepository& repo, unsigned rule) {
    std::vector<int> counts;
    for (const char* table : kMembers) counts.push_back(repo.count(table, "RU_ID=?", {VqbDatavar(rule)}));
    return counts;
}

const std::vector<int> kAll(8, 1);
const std::vector<int> kNone(8, 0);

class CommonRules : public CommonRdaTest {};

}  // namespace

TEST_P(CommonRules, ARuleWithEveryMemberIsFoundUpdatedClearedAndDeleted) {
    ASSERT_TRUE(repo->addFolder(3, 0, "Sales"));
    ScopedRecordingEventManager recorder;
    unsigned id = addRule(*rda, "Totals", "uuid-t", 3);
    unsigned other = addRule(*rda, "Other", "uuid-o");
    ASSERT_TRUE(id > 0 && id != 0xFFFFFFFFu && other > 0 && other != id);
    unsigned metric = rda->addCustomMetric("Ratio", "", "A/B", "");
    addMembers(*repo, *rda, id, metric);
    addMembers(*repo, *rda, other, metric);
    ASSERT_EQ(memberCounts(*repo, id), kAll);

    for (ReposDataAccessCursor* found :
         {rda->findRule(static_cast<int>(id), "", ""), rda->findRule(0, "", "uuid-t"), rda->findRule(0, "Totals", "")}) {
        Rows rows = take(found);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0], std::to_string(id));
        EXPECT_EQ(rows[0][1], "Totals");
        EXPECT_EQ(rows[0][9], "uuid-t");
        EXPECT_EQ(rows[0][10], "3");
    }
    Rows listed = take(rda->listRules());
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(sorted({{listed[0][1]}, {listed[1][1]}}), (Rows{{"Other"}, {"Totals"}}));

    // Both dates are the caller's.
    EXPECT_TRUE(rda->updateRule(id, "Totals2", "SET", "B > 0", "G2", "<m/>", "bob", 40000.5, 45000.25, "ann",
                                "uuid-t", 3, "c2", "Shown2"));
    EXPECT_EQ(take(rda->findRule(static_cast<int>(id), "", "")),
              (Rows{{std::to_string(id), "Totals2", "SET", "B > 0", "G2", "<m/>", "40000.5", "45000.25", "bob",
                     "uuid-t", "3", "ann", "c2", "Shown2"}}));

    // Clearing takes the fields, custom metrics and their maps; memberships in tasks and sets stay.
    EXPECT_TRUE(rda->clearRule(id));
    EXPECT_EQ(memberCounts(*repo, id), (std::vector<int>{1, 1, 1, 1, 1, 0, 0, 0}));
    EXPECT_EQ(repo->count("RULE", "RU_ID=?", {VqbDatavar(id)}), 1);

    EXPECT_TRUE(rda->deleteRule(id));
    EXPECT_EQ(memberCounts(*repo, id), kNone);
    EXPECT_EQ(repo->count("RULE", "RU_ID=?", {VqbDatavar(id)}), 0);
    EXPECT_EQ(memberCounts(*repo, other), kAll);
    EXPECT_EQ(repo->count("RULE"), 1);

    const std::string r = repo->uuid();
    std::vector<std::string> lines = recorder.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "postEvent(" + r + ", 2, Rule, " + std::to_string(id) + ", uuid-t)");
    EXPECT_EQ(recorder.events()[3].uri, "repos:///Sales/Totals2?type=Rule");
    EXPECT_EQ(recorder.events()[3].changeType, 1);
}

TEST_P(CommonRules, ADeleteBrokenInAnyTableLeavesEveryRow) {
    std::vector<const char*> tables(std::begin(kMembers), std::end(kMembers));
    tables.push_back("RULE");
    for (const char* broken : tables) {
        SCOPED_TRACE(broken);
        std::unique_ptr<TestRepository> spoilt = another();
        ReposHeld<CommonRDAImpl> common(new CommonRDAImpl(spoilt->connection()));
        ASSERT_TRUE(spoilt->addFolder(3, 0, "Sales"));
        unsigned id = addRule(*common, "Totals", "uuid-t", 3);
        addMembers(*spoilt, *common, id, common->addCustomMetric("Ratio", "", "A/B", ""));
        ASSERT_TRUE(spoilt->refuse(Refused::Delete, broken));

        ScopedRecordingEventManager recorder;
        LogCapture log;
        EXPECT_FALSE(common->deleteRule(id));
        EXPECT_EQ(memberCounts(*spoilt, id), kAll);
        EXPECT_EQ(spoilt->count("RULE"), 1);
        EXPECT_EQ(recorder.count(), 0u);
        EXPECT_FALSE(spoilt->connection()->isInTransaction());
        EXPECT_EQ(log.count("", 5), 1u) << "the connection's reason, once";

        // Clearing is one unit as well.
        if (std::string(broken) == "RUCMME") {
            EXPECT_FALSE(common->clearRule(id));
            EXPECT_EQ(memberCounts(*spoilt, id), kAll);
        }
    }
}

TEST_P(CommonRules, AFailedBeginEndsNoLevelItDidNotOpen) {
    unsigned id = addRule(*rda, "Totals", "uuid-t");
    unsigned metric = rda->addCustomMetric("Ratio", "", "A/B", "");
    addMembers(*repo, *rda, id, metric);
    unsigned category = rda->addGlobalCategory("Customer", "");
    ASSERT_TRUE(rda->addGlobalCategoryRule(category, id));
    unsigned mapping = 0;
    ASSERT_TRUE(rda->addFieldMapping("Map", "", "uuid-m", VqbDate(40000.0), VqbDate(40000.0), "ann", "ann", 0,
                                     &mapping));
    if (!repo->blockBegin()) GTEST_SKIP() << "this back end cannot make a BEGIN fail";

    ScopedRecordingEventManager recorder;
    LogCapture log;
    EXPECT_FALSE(rda->clearRule(id));
    EXPECT_FALSE(rda->deleteRule(id));
    EXPECT_FALSE(rda->addRuleField(id, "QTY", "Quantity"));
    EXPECT_FALSE(rda->deleteCustomMetric(metric));
    EXPECT_FALSE(rda->deleteGlobalCategory(category));
    EXPECT_FALSE(rda->deleteFieldMapping(mapping));
    EXPECT_FALSE(log.contains("had not been begun")) << "a level was ended that the operation had not opened";
    EXPECT_EQ(recorder.count(), 0u);
    repo->unblockBegin();

    EXPECT_FALSE(repo->connection()->isInTransaction());
    EXPECT_EQ(memberCounts(*repo, id), kAll);
    EXPECT_EQ(repo->count("GCRUL"), 1);
    EXPECT_EQ(repo->count("FLDMAP"), 1);
    // The connection is sound: the next operations commit.
    EXPECT_TRUE(rda->addRuleField(id, "QTY", "Quantity"));
    EXPECT_TRUE(rda->deleteRule(id));
    EXPECT_EQ(memberCounts(*repo, id), kNone);
    EXPECT_FALSE(log.contains("had not been begun"));
}

TEST_P(CommonRules, LookupsNamesInUseHostileTextsAndMissingRules) {
    LogCapture log;
    unsigned alpha = addRule(*rda, "Alpha", "uuid-a");
    unsigned beta = addRule(*rda, "Beta", "uuid-b");
    ASSERT_GT(alpha, 0u);
    EXPECT_EQ(addRule(*rda, "Alpha", "uuid-2"), 0u);
    EXPECT_TRUE(log.contains(vqb_get_message(VQB_MOD_MONADMIN, 1385).str(), 5));
    // A new rule is stamped once: both dates alike, both users the creator.
    Rows stamps = repo->rows("SELECT RU_CRDAT, RU_EDDAT, RU_CRUSR, RU_USER FROM " + repo->table("RULE"));
    EXPECT_EQ(cell(stamps, 0, 0) + cell(stamps, 0, 2) + cell(stamps, 0, 3), cell(stamps, 0, 1) + "annann");
    log.clear();
    EXPECT_EQ(rda->findRule(0, "", ""), nullptr);
    EXPECT_EQ(rda->findRule(-3, VqbString(), VqbString()), nullptr);
    EXPECT_EQ(log.count("", 5), 0u);
    // The id wins over the uuid, the uuid over the name.
    EXPECT_EQ(cell(take(rda->findRule(static_cast<int>(alpha), "Beta", "uuid-b")), 0, 1), "Alpha");
    EXPECT_EQ(cell(take(rda->findRule(0, "Alpha", "uuid-b")), 0, 1), "Beta");
    EXPECT_TRUE(take(rda->findRule(static_cast<int>(beta) + 100, "", "")).empty());

    const char* hostile = "x' OR '1'='1";
    EXPECT_TRUE(take(rda->findRule(0, hostile, "")).empty());
    EXPECT_TRUE(take(rda->findRule(0, "", hostile)).empty());
    const char* dropper = "Robert'); DROP TABLE RULE;--";
    ASSERT_GT(addRule(*rda, dropper, dropper), 0u);
    EXPECT_EQ(repo->count("RULE"), 3);
    EXPECT_EQ(cell(take(rda->findRule(0, dropper, "")), 0, 9), dropper);

    // A missing rule is updated and deleted as nothing; only the update announces.
    ScopedRecordingEventManager recorder;
    EXPECT_TRUE(rda->updateRule(4242, "Ghost", "ROW", "", "", "", "ann", 1.0, 2.0, "ann", "uuid-g", 0, "", ""));
    EXPECT_TRUE(rda->deleteRule(4242));
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{"postEvent(" + repo->uuid() + ", 2, Rule, 4242, uuid-g)"}));
    EXPECT_TRUE(log.contains("Error building path for rule=4242", 5));
    EXPECT_EQ(repo->count("RULE"), 3);
}

REPOS_EVERY_PLACE(CommonRules);

