// Global categories: idempotent adds, the field filters against a model of the table, the exact
// field lookup of an add against the stored values read from outside, and the category delete as
// one unit.
#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "common_rda_fixture.h"

namespace {

const unsigned kAny = 0xFFFFFFFFu;
// The filter values; bit i of a mask gives the i-th name (dsn, catalog, schema, table, field) its
// value, else it is empty.
const std::array<const char*, 5> kFilterValues = {"d1", "c2", "s1", "t2", "f1"};

// A GCFLD row as text: category, the five names, the include flag.
using Field = std::vector<std::string>;

bool matches(const Field& field, unsigned mask) {
    for (size_t i = 0; i < kFilterValues.size(); ++i)
        if ((mask >> i) & 1 && field[i + 1] != kFilterValues[i]) return false;
    return true;
}

class CommonGlobalCategories : public CommonRdaTest {
protected:
    Rows table() {
        return sorted(repo->rows("SELECT GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC FROM " +
                                 repo->table("GCFLD")));
    }
};

}  // namespace

TEST_P(CommonGlobalCategories, AddsAreIdempotentLookupsAndUpdates) {
    unsigned gc = rda->addGlobalCategory("Customer", "People");
    ASSERT_NE(gc, kAny);
    EXPECT_EQ(rda->addGlobalCategory("Customer", "other"), gc);
    EXPECT_EQ(repo->count("GCATS"), 1);

    unsigned def = rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 3, "Given", "Given name");
    ASSERT_NE(def, kAny);
    EXPECT_EQ(rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 3, "Given", "changed"), def);
    EXPECT_NE(rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 4, "Family", "Family name"), def);
    EXPECT_EQ(repo->count("GCDEF"), 2);

    // A field without a catalog is a field of its own, not "the field in any catalog".
    for (const char* catalog : {"cat", "cat", "", static_cast<const char*>(nullptr)})
        EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", catalog ? VqbString(catalog) : VqbString(), "sch", "T", "F",
                                                true, "char", 10, 1));
    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "cat", "sch", "T", "F", false, "char", 10, 1));
    EXPECT_EQ(repo->count("GCFLD"), 3);

    LogCapture log;
    EXPECT_TRUE(rda->addGlobalCategoryRule(gc, 5));
    EXPECT_TRUE(rda->addGlobalCategoryRule(gc, 5));
    EXPECT_EQ(take(rda->listGlobalCategoryRules()), (Rows{{std::to_string(gc), "5"}}));
    EXPECT_FALSE(rda->existsGlobalCategoryRule(gc, 6));
    EXPECT_EQ(log.count("", 5), 0u) << "a missing link is an answer, not an error";

    // Lookups and updates.
    Rows row{{std::to_string(gc), "Customer", "People"}};
    EXPECT_EQ(take(rda->getGlobalCategory(gc)), row);
    EXPECT_EQ(take(rda->findGlobalCategory(static_cast<int>(gc), "", "")), row);
    EXPECT_EQ(take(rda->findGlobalCategory(0, "Customer", "any-uuid")), row);
    unsigned found = 0;
    EXPECT_TRUE(rda->getGlobalCategoryIdByName("Customer", &found) && found == gc);
    EXPECT_FALSE(rda->getGlobalCategoryIdByName("Customer' OR '1'='1", &found));
    EXPECT_TRUE(rda->getGlobalCategoryDefinitionId(gc, "en-US", 7, 3, &found) && found == def);
    Rows definitions = sorted(take(rda->listGlobalCategoryDefinitions()));
    ASSERT_EQ(definitions.size(), 2u);
    EXPECT_EQ(definitions[0], (std::vector<std::string>{std::to_string(def), std::to_string(gc), "en-US", "7", "Name"}));

    // The table has no uuid: a lookup by uuid alone finds nothing, without a failing statement.
    log.clear();
    EXPECT_EQ(rda->findGlobalCategory(0, "", "any-uuid"), nullptr);
    EXPECT_TRUE(log.contains("uuid", 2));
    EXPECT_EQ(log.count("", 5), 0u);
    EXPECT_EQ(log.count("GC_UUID"), 0u);

    EXPECT_TRUE(rda->updateGlobalCategory(gc, "Client", "It's \"them\""));
    EXPECT_EQ(take(rda->listGlobalCategories()), (Rows{{std::to_string(gc), "Client", "It's \"them\""}}));
    EXPECT_FALSE(rda->deleteGlobalCategoryDefinition(kAny));
    EXPECT_TRUE(rda->deleteGlobalCategoryDefinition(def));
    EXPECT_EQ(take(rda->listGlobalCategoryDefinitionsOfCategory(gc)).size(), 1u);
}

TEST_P(CommonGlobalCategories, FieldFiltersNameExactlyTheirRows) {
    const unsigned gc1 = rda->addGlobalCategory("One", ""), gc2 = rda->addGlobalCategory("Two", "");
    // Every combination of two values per name and both flags in gc1; two fields in gc2.
    std::vector<Field> model;
    for (unsigned bits = 0; bits < 64; ++bits) {
        Field f{std::to_string(gc1)};
        for (const char* stem : {"d", "c", "s", "t", "f"})
            f.push_back(stem + std::to_string(((bits >> (f.size() - 1)) & 1) + 1));
        f.push_back(std::to_string(bits >> 5));
        model.push_back(f);
    }
    model.push_back({std::to_string(gc2), "d1", "c2", "s1", "t2", "f1", "1"});
    model.push_back({std::to_string(gc2), "d2", "c1", "s2", "t1", "f2", "0"});
    ASSERT_TRUE(rda->beginTransaction(false));
    for (const Field& f : model)
        ASSERT_TRUE(rda->addGlobalCategoryField(std::stoul(f[0]), f[1].c_str(), f[2].c_str(), f[3].c_str(),
                                                f[4].c_str(), f[5].c_str(), f[6] == "1", "char", 10, 1));
    ASSERT_TRUE(rda->endTransaction(true));
    const Rows all = sorted(model);
    ASSERT_EQ(table(), all);
    const std::string one = std::to_string(gc1);

    for (unsigned mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE("filters " + std::to_string(mask));
        std::array<VqbString, 5> f;
        for (size_t i = 0; i < f.size(); ++i) f[i] = VqbString((mask >> i) & 1 ? kFilterValues[i] : "");

        // The list has no field filter and an optional category.
        for (unsigned gc : {gc1, kAny}) {
            if (mask >= 16) break;
            Rows expected;
            for (const Field& field : model)
                if ((gc == kAny || field[0] == one) && matches(field, mask)) expected.push_back(field);
            Rows listed = take(rda->listGlobalCategoryFields(gc, f[0], f[1], f[2], f[3]));
            for (auto& row : listed) row.resize(7);
            EXPECT_EQ(sorted(listed), sorted(expected));
        }

        for (const char* include : {"0", "1"}) {
            Rows rest, flagged;
            bool named = false;
            for (Field field : model) {
                bool hit = field[0] == one && matches(field, mask);
                if (!(hit && field[6] == include)) rest.push_back(field);
                named = named || (hit && field[6] == include);
                if (hit) field[6] = include;
                flagged.push_back(field);
            }
            const bool flag = include[0] == '1';
            EXPECT_EQ(rda->existsGlobalCategoryField(gc1, f[0], f[1], f[2], f[3], f[4], flag), named);

            // Each change is undone by the caller's own level, so every combination meets the whole grid.
            ASSERT_TRUE(rda->beginTransaction(false));
            EXPECT_TRUE(rda->deleteGlobalCategoryFields(gc1, f[0], f[1], f[2], f[3], f[4], flag));
            EXPECT_EQ(table(), sorted(rest));
            ASSERT_TRUE(rda->endTransaction(false));
            // The flag is set on every named field of the category, whatever its flag was.
            ASSERT_TRUE(rda->beginTransaction(false));
            EXPECT_TRUE(rda->setGlobalCategoryFieldInclude(gc1, f[0], f[1], f[2], f[3], f[4], flag));
            EXPECT_EQ(table(), sorted(flagged));
            ASSERT_TRUE(rda->endTransaction(false));
        }
    }

    // Hostile filter texts are values that match nothing.
    const char* hostile = "' OR '1'='1";
    EXPECT_TRUE(take(rda->listGlobalCategoryFields(kAny, hostile, "", "", "")).empty());
    EXPECT_FALSE(rda->existsGlobalCategoryField(gc1, "", "", "", "", hostile, true));
    EXPECT_TRUE(rda->deleteGlobalCategoryFields(gc1, hostile, "", "", "", "", true));
    EXPECT_TRUE(rda->setGlobalCategoryFieldInclude(gc1, "", "", "", "", hostile, false));
    EXPECT_EQ(table(), all);
}

TEST_P(CommonGlobalCategories, ACategoryIsDeletedWithEverythingItHoldsOrNotAtAll) {
    std::vector<unsigned> categories;
    for (const char* name : {"One", "Two", "Three"}) {
        unsigned gc = rda->addGlobalCategory(name, "");
        ASSERT_NE(rda->addGlobalCategoryDefinition(gc, "en", 1, "Name", 1, "Given", ""), kAny);
        ASSERT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "", "", "T", "F", true, "char", 10, 1));
        ASSERT_TRUE(rda->addGlobalCategoryRule(gc, 9));
        categories.push_back(gc);
    }
    auto held = [&](unsigned gc) {
        int rows = 0;
        for (const char* table : {"GCATS", "GCDEF", "GCFLD", "GCRUL"})
            rows += repo->count(table, "GC_ID=?", {VqbDatavar(gc)});
        return rows;
    };
    EXPECT_TRUE(rda->deleteGlobalCategory(categories[0]));
    EXPECT_EQ(held(categories[0]), 0);
    EXPECT_EQ(held(categories[1]), 4);

    ASSERT_TRUE(repo->refuse(Refused::Delete, "GCRUL"));
    EXPECT_FALSE(rda->deleteGlobalCategory(categories[1]));
    EXPECT_EQ(held(categories[1]), 4);
    EXPECT_EQ(held(categories[2]), 4);
    EXPECT_FALSE(repo->connection()->isInTransaction());
}

namespace {

const char* const kGcfldColumns = "GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC";

// A name of a field as the caller gives it; "<null>" stands for a null text.
VqbString given(const std::string& name) { return name == kNullText ? VqbString() : VqbString(name); }

// Whether a mapping with these names (dsn, catalog, schema, table, field) and flag is stored in
// the category, as the add has always compared: a stored NULL and an empty name alike, every other
// name against the value stored in the column, which for a text kept apart is its reference.
bool storedExactly(const Rows& stored, unsigned gc, const std::vector<std::string>& names, bool include) {
    auto plain = [](const std::string& text) { return text == kNullText ? std::string() : text; };
    for (const auto& row : stored) {
        bool same = row[0] == std::to_string(gc) && row[6] == (include ? "1" : "0");
        for (size_t i = 0; i < names.size() && same; ++i) same = plain(row[i + 1]) == plain(names[i]);
        if (same) return true;
    }
    return false;
}

}  // namespace

// A field is added when no stored row holds exactly its names, and only then, whatever the names
// are: NULL or empty, ordinary, long enough to be kept apart, or shaped like a big-string reference
// (a row holding such a reference is found by it, as it always was).
TEST_P(CommonGlobalCategories, AFieldIsAddedOnceForEveryKindOfName) {
    const unsigned gc = rda->addGlobalCategory("Names", ""), other = rda->addGlobalCategory("Other", "");
    ASSERT_NE(gc, kAny);
    const std::string null = kNullText, longer(300, 'l'), longest(70000, 'h');
    const std::string shaped = "_~_velqorinRef_4000000000_~_";
    const std::vector<std::vector<std::string>> names = {
        {"dsn", null, "", "T", "F"},      {"dsn", "", null, "T", "F"},       {"dsn", "cat", "", "T", "F"},
        {"dsn", "", "", longer, "F"},     {"dsn", "", "", "T", longer},      {longer, "", "", longest, longest},
        {"dsn", "", "", "T", shaped},     {shaped, "", "", shaped, "F"},     {null, null, null, null, null},
        {"", "", "", "", ""},             {"dsn", "", "", "T", "F2"},
    };
    const std::string select = std::string("SELECT ") + kGcfldColumns + " FROM " + repo->table("GCFLD");
    auto add = [&](unsigned category, const std::vector<std::string>& n, bool include) {
        const Rows before = rawRows(*repo, select);
        const bool stored = storedExactly(before, category, n, include);
        ASSERT_TRUE(rda->addGlobalCategoryField(category, given(n[0]), given(n[1]), given(n[2]), given(n[3]),
                                                given(n[4]), include, "char", 10, 1));
        EXPECT_EQ(rawRows(*repo, select).size(), before.size() + (stored ? 0 : 1)) << (stored ? "stored" : "new");
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n[0].substr(0, 20) + "/" + n[3].substr(0, 20) + "/" + n[4].substr(0, 20));
        for (int round = 0; round < 2; ++round) {
            add(gc, n, true);
            add(gc, n, false);
        }
        add(other, n, true);
    }

    // Every stored row, references included, is found by the values it holds.
    const Rows stored = rawRows(*repo, select);
    if (repo->place() != Place::Direct) {
        ASSERT_TRUE(std::any_of(stored.begin(), stored.end(),
                                [](const std::vector<std::string>& row) { return row[5].rfind("_~_", 0) == 0; }))
            << "no name was kept apart";
    }
    for (const auto& row : stored) add(std::stoul(row[0]), {row.begin() + 1, row.begin() + 6}, row[6] == "1");

    // The delete takes exactly the category's rows from each of its tables.
    ASSERT_TRUE(rda->addGlobalCategoryRule(gc, 4) && rda->addGlobalCategoryRule(other, 4));
    ASSERT_NE(rda->addGlobalCategoryDefinition(gc, "en", 1, "Name", 1, "Given", ""), kAny);
    ASSERT_NE(rda->addGlobalCategoryDefinition(other, "en", 1, "Name", 1, "Given", ""), kAny);
    std::map<std::string, Rows> kept;
    for (const char* table : {"GCATS", "GCDEF", "GCFLD", "GCRUL"}) {
        for (const auto& row : rawRows(*repo, "SELECT * FROM " + repo->table(table)))
            if (row[table == std::string("GCDEF") ? 1 : 0] != std::to_string(gc)) kept[table].push_back(row);
        ASSERT_LT(kept[table].size(), static_cast<size_t>(rawCount(*repo, table))) << table;
    }
    EXPECT_TRUE(rda->deleteGlobalCategory(gc));
    for (const auto& [table, rows] : kept)
        EXPECT_EQ(sorted(rawRows(*repo, "SELECT * FROM " + repo->table(table.c_str()))), sorted(rows)) << table;
}

REPOS_EVERY_PLACE(CommonGlobalCategories);
