// Global categories: idempotent adds, the field filters against a model of the table, and the
// category delete as one unit.
#include <array>
#include <string>
#include <vector>

#include "common_rda_fixture.h"

namespace {

const unsigned kAny = 0xFFFFFFFFu;

// One GCFLD mapping: category, the five names and the include flag.
struct Field {
    unsigned gc;
    std::array<std::string, 5> names;  // dsn, catalog, schema, table, field
    int include;
    std::vector<std::string> row() const {
        return {std::to_string(gc), names[0], names[1], names[2], names[3], names[4], std::to_string(include)};
    }
};

// The filter values of one combination: bit i set gives the i-th name a value, else it is empty.
const std::array<const char*, 5> kFilterValues = {"d1", "c2", "s1", "t2", "f1"};

std::array<VqbString, 5> filters(unsigned mask) {
    std::array<VqbString, 5> f;
    for (size_t i = 0; i < f.size(); ++i) f[i] = VqbString((mask >> i) & 1 ? kFilterValues[i] : "");
    return f;
}

bool matches(const Field& field, unsigned mask) {
    for (size_t i = 0; i < field.names.size(); ++i)
        if ((mask >> i) & 1 && field.names[i] != kFilterValues[i]) return false;
    return true;
}

class CommonGlobalCategories : public CommonRdaTest {
protected:
    // Every combination of two values per name and both flags in gc1; two fields in gc2.
    void addGrid(unsigned gc1, unsigned gc2) {
        ASSERT_TRUE(rda->beginTransaction(false));
        for (unsigned bits = 0; bits < 64; ++bits) {
            Field f{gc1, {}, static_cast<int>(bits >> 5)};
            const char* stems[] = {"d", "c", "s", "t", "f"};
            for (size_t i = 0; i < 5; ++i) f.names[i] = stems[i] + std::to_string(((bits >> i) & 1) + 1);
            model.push_back(f);
        }
        model.push_back(Field{gc2, {"d1", "c2", "s1", "t2", "f1"}, 1});
        model.push_back(Field{gc2, {"d2", "c1", "s2", "t1", "f2"}, 0});
        for (const Field& f : model)
            ASSERT_TRUE(rda->addGlobalCategoryField(f.gc, f.names[0].c_str(), f.names[1].c_str(), f.names[2].c_str(),
                                                    f.names[3].c_str(), f.names[4].c_str(), f.include != 0, "char",
                                                    10, 1));
        ASSERT_TRUE(rda->endTransaction(true));
    }
    Rows table() {
        return sorted(repo->rows("SELECT GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC FROM " +
                                 repo->table("GCFLD")));
    }
    Rows rowsOf(const std::vector<Field>& fields) {
        Rows rows;
        for (const Field& f : fields) rows.push_back(f.row());
        return sorted(rows);
    }
    // The first seven columns of the cursor's rows.
    Rows identities(ReposDataAccessCursor* cursor) {
        Rows rows = take(cursor);
        for (auto& row : rows) row.resize(7);
        return sorted(rows);
    }

    std::vector<Field> model;
};

}  // namespace

TEST_P(CommonGlobalCategories, AddsAreIdempotent) {
    unsigned gc = rda->addGlobalCategory("Customer", "People");
    ASSERT_NE(gc, kAny);
    EXPECT_EQ(rda->addGlobalCategory("Customer", "other"), gc);
    EXPECT_EQ(repo->count("GCATS"), 1);

    unsigned def = rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 3, "Given", "Given name");
    ASSERT_NE(def, kAny);
    EXPECT_EQ(rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 3, "Given", "changed"), def);
    unsigned other = rda->addGlobalCategoryDefinition(gc, "en-US", 7, "Name", 4, "Family", "Family name");
    EXPECT_NE(other, def);
    EXPECT_EQ(repo->count("GCDEF"), 2);

    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "cat", "sch", "T", "F", true, "char", 10, 1));
    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "cat", "sch", "T", "F", true, "char", 10, 1));
    EXPECT_EQ(repo->count("GCFLD"), 1);
    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "cat", "sch", "T", "F", false, "char", 10, 1));
    // A field without a catalog is a field of its own, not "the field in any catalog".
    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", "", "sch", "T", "F", true, "char", 10, 1));
    EXPECT_TRUE(rda->addGlobalCategoryField(gc, "dsn", VqbString(), "sch", "T", "F", true, "char", 10, 1));
    EXPECT_EQ(repo->count("GCFLD"), 3);

    LogCapture log;
    EXPECT_TRUE(rda->addGlobalCategoryRule(gc, 5));
    EXPECT_TRUE(rda->addGlobalCategoryRule(gc, 5));
    EXPECT_EQ(take(rda->listGlobalCategoryRules()), (Rows{{std::to_string(gc), "5"}}));
    EXPECT_FALSE(rda->existsGlobalCategoryRule(gc, 6));
    EXPECT_EQ(log.count("", 5), 0u) << "a missing link is an answer, not an error";
}

TEST_P(CommonGlobalCategories, LookupsAndUpdates) {
    unsigned gc = rda->addGlobalCategory("Customer", "People");
    unsigned def = rda->addGlobalCategoryDefinition(gc, "de-DE", 1, "Name", 2, "Vorname", "");
    Rows row{{std::to_string(gc), "Customer", "People"}};
    EXPECT_EQ(take(rda->getGlobalCategory(gc)), row);
    EXPECT_EQ(take(rda->findGlobalCategory(static_cast<int>(gc), "", "")), row);
    EXPECT_EQ(take(rda->findGlobalCategory(0, "Customer", "any-uuid")), row);
    unsigned found = 0;
    EXPECT_TRUE(rda->getGlobalCategoryIdByName("Customer", &found) && found == gc);
    EXPECT_FALSE(rda->getGlobalCategoryIdByName("Customer' OR '1'='1", &found));
    EXPECT_TRUE(rda->getGlobalCategoryDefinitionId(gc, "de-DE", 1, 2, &found) && found == def);
    EXPECT_EQ(take(rda->listGlobalCategoryDefinitions()),
              (Rows{{std::to_string(def), std::to_string(gc), "de-DE", "1", "Name"}}));

    LogCapture log;
    EXPECT_EQ(rda->findGlobalCategory(0, "", "any-uuid"), nullptr);
    EXPECT_TRUE(log.contains("uuid", 2));
    EXPECT_EQ(log.count("", 5), 0u);
    EXPECT_EQ(log.count("GC_UUID"), 0u) << "no statement on a column the table lacks";

    EXPECT_TRUE(rda->updateGlobalCategory(gc, "Client", "It's \"them\""));
    EXPECT_EQ(take(rda->listGlobalCategories()), (Rows{{std::to_string(gc), "Client", "It's \"them\""}}));
    EXPECT_FALSE(rda->deleteGlobalCategoryDefinition(kAny));
    EXPECT_TRUE(rda->deleteGlobalCategoryDefinition(def));
    EXPECT_TRUE(take(rda->listGlobalCategoryDefinitionsOfCategory(gc)).empty());
}

TEST_P(CommonGlobalCategories, FieldFiltersNameExactlyTheirRows) {
    unsigned gc1 = rda->addGlobalCategory("One", ""), gc2 = rda->addGlobalCategory("Two", "");
    addGrid(gc1, gc2);
    ASSERT_EQ(table(), rowsOf(model));

    for (unsigned mask = 0; mask < 32; ++mask) {
        SCOPED_TRACE("filters " + std::to_string(mask));
        std::array<VqbString, 5> f = filters(mask);

        // The list has no field filter and an optional category.
        if (mask < 16) {
            for (unsigned gc : {gc1, kAny}) {
                std::vector<Field> expected;
                for (const Field& field : model)
                    if ((gc == kAny || field.gc == gc) && matches(field, mask)) expected.push_back(field);
                EXPECT_EQ(identities(rda->listGlobalCategoryFields(gc, f[0], f[1], f[2], f[3])), rowsOf(expected));
            }
        }

        for (int include : {0, 1}) {
            std::vector<Field> named, rest;
            for (const Field& field : model)
                (field.gc == gc1 && field.include == include && matches(field, mask) ? named : rest).push_back(field);
            EXPECT_EQ(rda->existsGlobalCategoryField(gc1, f[0], f[1], f[2], f[3], f[4], include != 0), !named.empty());

            // Each change is undone by the caller's own level, so every combination meets the whole grid.
            ASSERT_TRUE(rda->beginTransaction(false));
            EXPECT_TRUE(rda->deleteGlobalCategoryFields(gc1, f[0], f[1], f[2], f[3], f[4], include != 0));
            EXPECT_EQ(table(), rowsOf(rest));
            ASSERT_TRUE(rda->endTransaction(false));

            // The flag is set on every named field of the category, whatever its flag was.
            std::vector<Field> flagged;
            for (Field field : model) {
                if (field.gc == gc1 && matches(field, mask)) field.include = include;
                flagged.push_back(field);
            }
            ASSERT_TRUE(rda->beginTransaction(false));
            EXPECT_TRUE(rda->setGlobalCategoryFieldInclude(gc1, f[0], f[1], f[2], f[3], f[4], include != 0));
            EXPECT_EQ(table(), rowsOf(flagged));
            ASSERT_TRUE(rda->endTransaction(false));
        }
    }
    EXPECT_EQ(table(), rowsOf(model));

    // Hostile filter texts are values that match nothing.
    const char* hostile = "' OR '1'='1";
    EXPECT_TRUE(take(rda->listGlobalCategoryFields(kAny, hostile, "", "", "")).empty());
    EXPECT_FALSE(rda->existsGlobalCategoryField(gc1, "", "", "", "", hostile, true));
    EXPECT_TRUE(rda->deleteGlobalCategoryFields(gc1, hostile, "", "", "", "", true));
    EXPECT_TRUE(rda->setGlobalCategoryFieldInclude(gc1, "", "", "", "", hostile, false));
    EXPECT_EQ(table(), rowsOf(model));
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

    ASSERT_TRUE(repo->failDeletesFrom("GCRUL"));
    EXPECT_FALSE(rda->deleteGlobalCategory(categories[1]));
    EXPECT_EQ(held(categories[1]), 4);
    EXPECT_EQ(held(categories[2]), 4);
    EXPECT_FALSE(repo->connection()->isInTransaction());
}

COMMON_RDA_BACKENDS(CommonGlobalCategories);
