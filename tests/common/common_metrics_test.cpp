// Custom metrics and their place in rules, the fields of rules and monitor fields, note categories.
#include <string>
#include <vector>

#include "common_rda_fixture.h"
#include "vqbmessage.h"

namespace {

class CommonMetrics : public CommonRdaTest {
protected:
    unsigned rule(const char* name) {
        return rda->addRule(name, "ROW", "", "", "", "ann", VqbString::format("uuid-%s", name), 0, "", "");
    }
    int metricRows(unsigned metric) {
        int rows = 0;
        for (const char* table : {"CUSTM", "CMFLD", "RUCMME", "CMFMAP"})
            rows += repo->count(table, "CM_ID=?", {VqbDatavar(metric)});
        return rows;
    }
};

}  // namespace

TEST_P(CommonMetrics, MetricsBoundIntoARuleGoWithTheRule) {
    unsigned doomed = rule("Doomed"), kept = rule("Kept");
    unsigned ratio = rda->addCustomMetric("Ratio", "pre", "A/B", "post");
    unsigned sum = rda->addCustomMetric("Sum", "", "A+B", "");
    ASSERT_TRUE(ratio != 0xFFFFFFFFu && sum != 0xFFFFFFFFu);
    for (unsigned metric : {ratio, sum})
        for (const char* field : {"B", "A", "OUT"})
            ASSERT_TRUE(rda->addCustomMetricField(metric, field, field[0] == 'O' ? "O" : "I"));
    ASSERT_TRUE(rda->addRuleCustomMetric(doomed, sum, 1));
    ASSERT_TRUE(rda->addRuleCustomMetric(doomed, ratio, 2));
    ASSERT_TRUE(rda->addRuleCustomMetric(kept, ratio, 1));
    ASSERT_TRUE(rda->addCustomMetricFieldMap(doomed, ratio, 2, "QTY", "B", "I"));
    ASSERT_TRUE(rda->addCustomMetricFieldMap(doomed, ratio, 2, "PRICE", "A", "I"));
    ASSERT_TRUE(rda->addCustomMetricFieldMap(kept, ratio, 1, "COST", "A", "I"));

    EXPECT_EQ(take(rda->listRuleCustomMetrics(doomed)),
              (Rows{{std::to_string(ratio), "Ratio", "pre", "A/B", "post", "2"},
                    {std::to_string(sum), "Sum", "", "A+B", "", "1"}}));
    EXPECT_EQ(cell(take(rda->listCustomMetricFieldMaps(doomed, static_cast<int>(ratio))), 0, 3), "PRICE");
    EXPECT_EQ(take(rda->listCustomMetricFields(static_cast<int>(ratio))), (Rows{{"A", "I"}, {"B", "I"}, {"OUT", "O"}}));

    ASSERT_TRUE(rda->deleteRule(doomed));
    EXPECT_TRUE(take(rda->listRuleCustomMetrics(doomed)).empty());
    EXPECT_EQ(repo->count("RUCMME", "RU_ID=?", {VqbDatavar(doomed)}) + repo->count("CMFMAP", "RU_ID=?", {VqbDatavar(doomed)}), 0);
    // The metrics are shared: another rule keeps its binding and the definitions stay.
    EXPECT_EQ(take(rda->listRuleCustomMetrics(kept)).size(), 1u);
    EXPECT_EQ(take(rda->listCustomMetricFieldMaps(kept, static_cast<int>(ratio))).size(), 1u);
    EXPECT_EQ(take(rda->listCustomMetrics("")).size(), 2u);
    EXPECT_EQ(take(rda->listCustomMetricFields(static_cast<int>(sum))).size(), 3u);
}

TEST_P(CommonMetrics, DuplicatesLookupsUpdatesAndDeletes) {
    LogCapture log;
    unsigned metric = rda->addCustomMetric("Ratio", "", "A/B", ""), r = rule("Rule");
    ASSERT_NE(metric, 0xFFFFFFFFu);
    EXPECT_EQ(rda->addCustomMetric("Ratio", "", "other", ""), 0xFFFFFFFFu);
    EXPECT_TRUE(log.contains(vqb_get_message(VQB_MOD_MONADMIN, 1356).str(), 5));
    EXPECT_EQ(repo->count("CUSTM"), 1);
    EXPECT_TRUE(rda->addCustomMetricField(metric, "A", "I"));
    EXPECT_FALSE(rda->addCustomMetricField(metric, "A", "I"));
    EXPECT_TRUE(rda->addCustomMetricField(metric, "A", "O"));
    EXPECT_TRUE(rda->addRuleCustomMetric(r, metric, 1));
    EXPECT_FALSE(rda->addRuleCustomMetric(r, metric, 2));
    ASSERT_TRUE(rda->addCustomMetricFieldMap(r, metric, 1, "PRICE", "A", "I"));

    Rows byId = take(rda->findCustomMetric(static_cast<int>(metric), "", ""));
    const std::string uuid = cell(byId, 0, 5);
    EXPECT_EQ(uuid.size(), 36u);
    for (ReposDataAccessCursor* found : {rda->findCustomMetric(0, "", uuid), rda->findCustomMetric(0, "Ratio", ""),
                                         rda->listCustomMetrics("Ratio")})
        EXPECT_EQ(take(found), byId);
    EXPECT_TRUE(take(rda->listCustomMetrics("' OR ''='")).empty());

    log.clear();
    EXPECT_EQ(rda->listCustomMetricFields(-1), nullptr);
    EXPECT_EQ(rda->listCustomMetricFieldMaps(r, -1), nullptr);
    EXPECT_TRUE(rda->clearCustomMetric());
    EXPECT_EQ(log.count("", 5), 0u);
    EXPECT_EQ(metricRows(metric), 5);

    ScopedRecordingEventManager recorder;
    EXPECT_TRUE(rda->updateCustomMetric(metric, "Ratio2", "p", "A/B/C", "q", uuid));
    EXPECT_EQ(cell(take(rda->findCustomMetric(static_cast<int>(metric), "", "")), 0, 3), "A/B/C");
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{"postEvent(" + repo->uuid() + ", 2, CustomMetric, " +
                                                          std::to_string(metric) + ", " + uuid + ")"}));

    // A delete takes the metric with its fields and memberships, or, broken half-way, nothing.
    unsigned gone = rda->addCustomMetric("Gone", "", "A", "");
    ASSERT_TRUE(rda->addCustomMetricField(gone, "A", "I") && rda->addRuleCustomMetric(r, gone, 2) &&
                rda->addCustomMetricFieldMap(r, gone, 2, "F", "A", "I"));
    EXPECT_TRUE(rda->deleteCustomMetric(gone));
    EXPECT_EQ(metricRows(gone), 0);
    ASSERT_TRUE(repo->refuse(Refused::Delete, "CMFLD"));
    EXPECT_FALSE(rda->deleteCustomMetric(metric));
    EXPECT_EQ(metricRows(metric), 5);
}

TEST_P(CommonMetrics, RuleFieldsMonitorFieldsAndNoteCategories) {
    unsigned first = rule("First"), second = rule("Second");
    LogCapture log;
    EXPECT_FALSE(rda->addRuleField(first, "", "nothing"));
    EXPECT_FALSE(rda->addRuleField(first, VqbString(), "nothing"));
    EXPECT_EQ(log.count("", 5), 0u);
    EXPECT_EQ(repo->count("MFLD"), 0);

    // Rule fields join the monitor fields in order of addition; a known field keeps its text.
    EXPECT_TRUE(rda->addRuleField(first, "PRICE", "Unit price"));
    EXPECT_TRUE(rda->addRuleField(first, "PRICE", "ignored"));
    EXPECT_TRUE(rda->addRuleField(second, "QTY", "Quantity"));
    EXPECT_TRUE(rda->addRuleField(first, "QTY", "ignored"));
    EXPECT_EQ(take(rda->listRuleFields(first)), (Rows{{"PRICE", "Unit price", "1"}, {"QTY", "Quantity", "3"}}));
    EXPECT_EQ(take(rda->listRuleFields(second)), (Rows{{"QTY", "Quantity", "2"}}));
    EXPECT_EQ(take(rda->listMonitorFields("QTY")), (Rows{{"QTY", "Quantity"}}));
    EXPECT_FALSE(rda->addMonitorField("PRICE", "again"));
    EXPECT_TRUE(log.contains(vqb_get_message(VQB_MOD_MONADMIN, 924).str(), 5));
    const char* tricky = "It's \"late\" – Verspätung";
    EXPECT_TRUE(rda->addMonitorField("NAME", tricky));
    EXPECT_EQ(sorted(take(rda->listMonitorFields(""))),
              (Rows{{"NAME", tricky}, {"PRICE", "Unit price"}, {"QTY", "Quantity"}}));

    // Note categories: a repository made by the administrator starts with one of its own.
    const size_t own = take(rda->listNoteCategories()).size();
    unsigned late = 0, gone = 0;
    ASSERT_TRUE(rda->addNoteCategory("Data quality", &late) && rda->addNoteCategory("Gone", &gone));
    EXPECT_TRUE(rda->updateNoteCategory(late, tricky) && rda->deleteNoteCategory(gone));
    EXPECT_EQ(take(rda->listNoteCategories()).size(), own + 1);
    EXPECT_EQ(repo->rows("SELECT NCAT_DSC FROM " + repo->table("NOTCAT") + " WHERE NCAT_ID=?", {VqbDatavar(late)}),
              (Rows{{tricky}}));
}

REPOS_EVERY_PLACE(CommonMetrics);
