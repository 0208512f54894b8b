// Objects carried from a SQLite file to PostgreSQL and back: the target's rows equal the source's,
// ids mapped through names (new ids, users, dates and the new UUIDs of custom metrics aside).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "impexp_fixture.h"

namespace {

struct Direction {
    Place from, to;
};

class RoundTrip : public ::testing::TestWithParam<Direction> {};

// Rows of one kind of object by name, without ids, users and dates.
const std::vector<std::string> kMetricRows = {
    "SELECT C.CM_DESC, C.CM_PREXP, C.CM_EXP, C.CM_POSTXP, C.CM_COMM FROM {CUSTM} C WHERE C.CM_DESC=?",
    "SELECT F.CM_FLDNM, F.CM_TYPE FROM {CMFLD} F JOIN {CUSTM} C ON C.CM_ID=F.CM_ID WHERE C.CM_DESC=?"};
const std::vector<std::string> kCollectionRows = {
    "SELECT GCNAME, GCDESC FROM {GCATS} WHERE GCNAME=?",
    "SELECT D.DEF_LOC, D.TS_ID, D.TS_NM, D.TKN_ID, D.TKN_NM, D.TKN_DESC FROM {GCDEF} D JOIN {GCATS} G ON "
    "G.GC_ID=D.GC_ID WHERE G.GCNAME=?",
    "SELECT F.MAP_DSN, F.MAP_CAT, F.MAP_SCH, F.MAP_TBL, F.MAP_FLD, F.MAP_INC, F.FLD_TYPE, F.FLD_LEN, F.FLD_POS FROM "
    "{GCFLD} F JOIN {GCATS} G ON G.GC_ID=F.GC_ID WHERE G.GCNAME=?"};

Rows rowsOf(ImpExp& x, const std::vector<std::string>& queries, const std::string& name) {
    Rows all;
    for (const std::string& query : queries) {
        Rows part = sorted(x.repo.rows(query, {VqbDatavar(name)}));
        all.push_back({"--"});
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

}  // namespace

TEST_P(RoundTrip, RulesMetricsCollectionsAndExplorations) {
    ImpExp source(GetParam().from), target(GetParam().to);
    if (!source.repo.connection() || !target.repo.connection()) GTEST_SKIP();
    ASSERT_TRUE(source.ready() && target.ready());
    CommonRepositoryDataAccess* c = source.common.get();

    unsigned rule = source.addRule("Rule 'one' <&>", {"FA", "FB", "FC"}, {"M1", "M2"});
    unsigned metric = c->addCustomMetric("Lone metric", VqbString(), "a\r\nb", "post ]]>");
    ASSERT_TRUE(c->addCustomMetricField(metric, "X", "N") && c->addCustomMetricField(metric, "X", "S"));
    unsigned collection = c->addGlobalCategory("Names", "people's names");
    ASSERT_NE(c->addGlobalCategoryDefinition(collection, "en", 3, "Name", 4, "GIVEN", "Given name"), 0xFFFFFFFFu);
    ASSERT_NE(c->addGlobalCategoryDefinition(collection, "fr", 3, "Nom", 5, "FAMILY", VqbString()), 0xFFFFFFFFu);
    ASSERT_TRUE(c->addGlobalCategoryField(collection, "dsn", "", "public", "people", "first", true, "C", 40, 2));
    ASSERT_TRUE(c->addGlobalCategoryField(collection, "dsn", "", "public", "people", "last", false, "C", 60, 3));
    ASSERT_TRUE(source.repo.exec("INSERT INTO {MPRJ} (PRJ_ID, PRJ_NM, PRJ_COMM, PRJ_UUID, FLDR_ID) VALUES (900, 'P', "
                                 "'from the source', 'uuid-p', 0)"));
    ASSERT_TRUE(target.repo.exec("INSERT INTO {MPRJ} (PRJ_ID, PRJ_NM, PRJ_COMM, PRJ_UUID, FLDR_ID) VALUES (41, 'P', "
                                 "'old', 'uuid-q', 0)"));

    struct Carried {
        unsigned id;
        const char* type;
        std::vector<std::string> queries;
        std::string name;
    };
    for (const Carried& k : std::vector<Carried>{{rule, "Rule", {}, "Rule 'one' <&>"},
                                                 {metric, "CustomMetric", kMetricRows, "Lone metric"},
                                                 {collection, "Collection", kCollectionRows, "Names"}}) {
        VqbString log;
        std::string text = source.exportOf(k.id, k.type);
        ASSERT_TRUE(target.manager->importObject(VqbString(text), 0, log)) << k.type << ": " << log.str();
        Rows expected = k.queries.empty() ? source.ruleRows(k.name) : rowsOf(source, k.queries, k.name);
        EXPECT_EQ(k.queries.empty() ? target.ruleRows(k.name) : rowsOf(target, k.queries, k.name), expected) << k.type;
        EXPECT_GE(expected.size(), 2 * (k.queries.empty() ? 5 : k.queries.size())) << "every kind of row compared";
    }

    VqbString out, error;
    ASSERT_TRUE(source.manager->exportObject(900, "DataExploration", "uuid-p", out, error, nullptr)) << error.str();
    ASSERT_TRUE(target.manager->updateObjectOnImport(41, "DataExploration", "uuid-q", out, 0, error, nullptr))
        << error.str();
    EXPECT_EQ(target.repo.rows("SELECT PRJ_NM, PRJ_COMM FROM {MPRJ} WHERE PRJ_ID=41"), Rows({{"P", "from the source"}}));
}

INSTANTIATE_TEST_SUITE_P(Places, RoundTrip,
                         ::testing::Values(Direction{Place::File, Place::Postgres},
                                           Direction{Place::Postgres, Place::File}),
                         [](const ::testing::TestParamInfo<Direction>& info) {
                             return info.param.from == Place::File ? "FileToPostgres" : "PostgresToFile";
                         });
