// The helper layer the typed classes stand on, where its rules are not visible through one
// operation: conditions joined by a flag, lookups that tell missing from failed, ids stored
// signed, result columns found whatever case the back end reports.
#include <gtest/gtest.h>

#include "common_rda_fixture.h"

namespace {

// Reaches the layer as a typed class does.
class LayerProbe : public BaseRDAImpl {
public:
    using BaseRDAImpl::BaseRDAImpl;
    using BaseRDAImpl::columnIndex;
    using BaseRDAImpl::idValue;
    using BaseRDAImpl::insertKeyed;
    using BaseRDAImpl::Lookup;
    using BaseRDAImpl::lookup;
    using BaseRDAImpl::onTable;
    using BaseRDAImpl::readRows;
    using BaseRDAImpl::run;
    using BaseRDAImpl::select;
    using BaseRDAImpl::Sql;
};

class Layer : public CommonRdaTest {
protected:
    void SetUp() override {
        CommonRdaTest::SetUp();
        if (!IsSkipped()) layer.reset(new LayerProbe(repo->connection()));
    }
    ReposHeld<LayerProbe> layer;
};

TEST(LayerSql, ConditionsJoinByTheirOwnCountNotByTheText) {
    // A name holding WHERE must not turn the first condition into an AND.
    LayerProbe::Sql sql(VqbString("SELECT * FROM \"XWHERE\""));
    sql.whereText("A", VqbString("")).where("B", 1).condition("C IS NULL").whereText("D", VqbString("d"));
    EXPECT_EQ(sql.text().str(), "SELECT * FROM \"XWHERE\" WHERE B=? AND C IS NULL AND D=?");
    EXPECT_EQ(sql.values().size(), 2u);
}

TEST_P(Layer, LookupsKeyedInsertsSignedIdsAndColumnNames) {
    ASSERT_TRUE(repo->exec("INSERT INTO " + repo->table("KEYVAL") + " (V_KEY, V_VALUE) VALUES ('k', 'v')"));
    using Lookup = LayerProbe::Lookup;
    const struct {
        const char* sql;
        Lookup expected;
    } lookups[] = {
        {"SELECT V_VALUE FROM %s WHERE V_KEY='k'", Lookup::Found},
        {"SELECT V_VALUE FROM %s WHERE V_KEY='none'", Lookup::Missing},
        {"SELECT NO_SUCH_COLUMN FROM %s", Lookup::Failed},
    };
    const VqbString keyval(repo->table("KEYVAL"));
    for (const auto& row : lookups)
        EXPECT_EQ(layer->lookup("test", __LINE__, LayerProbe::Sql(VqbString::format(row.sql, keyval.asCstr()))),
                  row.expected)
            << row.sql;

    // A refused insert leaves the caller's id as it was.
    uint32_t id = 77;
    EXPECT_FALSE(layer->insertKeyed(
        "test", __LINE__, "NOTCAT",
        LayerProbe::Sql(layer->onTable("INSERT INTO", "NOTCAT", " (NCAT_ID, NO_SUCH) VALUES (?,?)"), {VqbDatavar("x")}),
        0, id));
    EXPECT_EQ(id, 77u);

    // The "none" id is stored as -1 and found back by its lower-case column name.
    ASSERT_TRUE(layer->run("test", __LINE__,
                           LayerProbe::Sql(layer->onTable("INSERT INTO", "NOTCAT", " (NCAT_ID, NCAT_DSC) VALUES (?,?)"),
                                           {LayerProbe::idValue(0xFFFFFFFFu), VqbDatavar("none")})));
    EXPECT_EQ(repo->count("NOTCAT", "NCAT_ID=-1"), 1);
    ReposHeld<ReposDataAccessCursor> rows(layer->select(
        "test", __LINE__,
        LayerProbe::Sql(layer->onTable("SELECT NCAT_DSC, NCAT_ID FROM", "NOTCAT")).where("NCAT_DSC", "none")));
    ASSERT_TRUE(rows && rows->next() == 1);
    EXPECT_EQ(LayerProbe::columnIndex(rows.get(), "ncat_id"), 1);
    EXPECT_EQ(LayerProbe::columnIndex(rows.get(), "NCAT_DSC"), 0);
    EXPECT_EQ(LayerProbe::columnIndex(rows.get(), "NCAT"), -1);
    EXPECT_EQ(rows->getInt(1), -1);

    // Whole-row reads: keyed, ordered, and refused when a key has no value.
    ASSERT_TRUE(repo->exec("INSERT INTO " + repo->table("KEYVAL") + " (V_KEY, V_VALUE) VALUES ('j', 'v')"));
    const ReposRowRead byValue{"KEYVAL", {"V_VALUE"}, "V_KEY"};
    ReposHeld<ReposDataAccessCursor> whole(layer->readRows("test", __LINE__, byValue, {VqbDatavar("v")}));
    ASSERT_TRUE(whole);
    EXPECT_EQ(cursorRows(whole.get()), (std::vector<std::vector<std::string>>{{"j", "v"}, {"k", "v"}}));
    EXPECT_EQ(layer->readRows("test", __LINE__, byValue, {}), nullptr);
}

REPOS_EVERY_PLACE(Layer);

}  // namespace
