// Distribution writers and reads on every path a connection offers: a SQLite file (one prepared
// row at a time), the connector's bulk load and its array-bound statements, on a file and on
// PostgreSQL. What is written is read back raw and checked against a model kept here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "prof_rdaimpl.h"
#include "rda_factory.h"
#include "repos_fixture.h"

namespace {

// A path rows take: the place, and the connector mode of a second connection the writer uses
// ("" for the place's own connection).
struct Path {
    Place place;
    const char* mode;
    const char* name;
};

const Path kPaths[] = {
    {Place::Direct, "", "FilePrepared"},   {Place::File, "", "ConnectorEmbedded"},
    {Place::File, "2", "ConnectorBulk"},   {Place::File, "1", "ConnectorArrays"},
    {Place::Postgres, "", "PostgresBulk"}, {Place::Postgres, "1", "PostgresArrays"},
};

void PrintTo(const Path& path, std::ostream* os) {
    *os << path.name;
}

using Counts = std::map<std::string, int64_t>;  // value -> count; "<null>" for a null value

class Distributions : public ::testing::TestWithParam<Path> {
protected:
    void SetUp() override {
        repo_ = std::make_unique<TestRepository>(GetParam().place);
        if (!repo_->connection()) GTEST_SKIP() << "no repository in this place";
        db_ = repo_->connection();
        if (*GetParam().mode) {
            const bool pg = GetParam().place == Place::Postgres;
            const std::string text =
                (pg ? pgConnection() : "VQXTYPE=SQLITE;FILE=" + repo_->file()) + ";VQXMODE=" + GetParam().mode;
            VqbString error;
            own_.reset(createReposDataAccess(REPOS_BACKEND_CONNECTOR, text, repo_->prefix(), nullptr, error));
            ASSERT_NE(own_, nullptr) << error.str();
            db_ = own_.get();
        }
        profile_ = make();
    }
    ReposHeld<ProfileRepositoryDataAccess> make() {
        return ReposHeld<ProfileRepositoryDataAccess>(new ProfileRDAImpl(db_));
    }
    bool bulk() const { return db_->supportsBulkLoad(); }
    std::string own(int field) const { return db_->getTableName("FRQDST", true, field).str(); }
    int maxText() const { return db_->getMaxTextLen(); }

    // Writes one field's frequency distribution; false at the first refusal.
    bool writeFrequency(int field, bool shared, const std::vector<std::tuple<VqbString, VqbString, int64_t>>& rows,
                        int batch = 10) {
        if (!profile_->beginFrequencyDistribution(field, shared, batch)) return false;
        for (const auto& [value, match, count] : rows)
            if (!profile_->addFrequencyValue(field, value, match, count)) return false;
        return profile_->endFrequencyDistribution(field);
    }
    Counts stored(int field, bool shared) {
        const std::string sql =
            shared ? "SELECT FR_VAL, CAST(FR_CNT AS BIGINT) FROM {FRQDST} WHERE FLD_ID=" + std::to_string(field)
                   : "SELECT FR_VALUE, CAST(FR_COUNT AS BIGINT) FROM " + own(field);
        Counts out;
        for (const auto& row : repo_->rows(sql)) out[row[0]] += std::stoll(row[1]);
        return out;
    }

    std::unique_ptr<TestRepository> repo_;
    ReposHeld<ReposDataAccess> own_;
    ReposDataAccess* db_ = nullptr;
    ReposHeld<ProfileRepositoryDataAccess> profile_;
    ConfigScope config_;
};

// Rows of many values with distinct counts, most frequent first at value 0.
std::vector<std::tuple<VqbString, VqbString, int64_t>> spread(const std::string& lead, int n, Counts* model) {
    std::vector<std::tuple<VqbString, VqbString, int64_t>> rows;
    for (int i = 0; i < n; ++i) {
        const std::string value = lead + std::to_string(i);
        rows.emplace_back(VqbString(value), VqbString("M" + value), 1000 - i);
        if (model) (*model)[value] = 1000 - i;
    }
    return rows;
}

TEST_P(Distributions, FrequencyRowsArriveWholeInBothLayoutsWithHostileValues) {
    const int max = maxText();
    ASSERT_GT(max, 4);
    // A value over max bytes is cut at the last whole character within max: never mid-character.
    const std::string twoByte = std::string(static_cast<size_t>(max - 1), 'a') + "\xC3\xA9";
    const std::string threeByte = std::string(static_cast<size_t>(max - 2), 'b') + "\xE2\x82\xAC";
    const std::string exact = std::string(static_cast<size_t>(max - 2), 'c') + "\xC3\xA9";
    const struct {
        VqbString value;
        int64_t count;
        std::string kept;
    } values[] = {
        {"plain", 5, "plain"},
        {"it's", 7, "it's"},
        {"a\\b \"{x,y}\" NULL", 9, "a\\b \"{x,y}\" NULL"},
        {"", 1, ""},
        {VqbString(), 2, "<null>"},
        {"huge", 3000000000LL, "huge"},
        {VqbString(twoByte), 11, std::string(static_cast<size_t>(max - 1), 'a')},
        {VqbString(threeByte), 12, std::string(static_cast<size_t>(max - 2), 'b')},
        {VqbString(exact), 13, exact},
    };
    for (bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared table" : "field's own table");
        const int field = shared ? 41 : 42;
        std::vector<std::tuple<VqbString, VqbString, int64_t>> rows;
        Counts model;
        for (const auto& v : values) {
            rows.emplace_back(v.value, VqbString("m'" + v.kept.substr(0, 8)), v.count);
            model[v.kept] += v.count;
        }
        ASSERT_TRUE(writeFrequency(field, shared, rows)) << db_->getLastErrorMessage().str();
        EXPECT_EQ(stored(field, shared), model);
        int64_t total = 0;
        uint32_t distinct = 0;
        ASSERT_TRUE(profile_->getFrequencyTotal(field, shared, &total));
        ASSERT_TRUE(profile_->getFrequencyValueCount(field, shared, &distinct));
        int64_t sum = 0;
        for (const auto& [value, count] : model) sum += count;
        EXPECT_EQ(total, sum);
        EXPECT_EQ(distinct, model.size());
    }
    // Match values are never cut, and go in whole with their quotes.
    EXPECT_EQ(repo_->count("FRQDST", "FR_MC=?", {VqbDatavar("m'it's")}), 1);
}

// The paths whose statements bind arrays of rows.
class ArrayBatches : public Distributions {};

TEST_P(ArrayBatches, AreExecutedAndCommittedAsTheyFill) {
    // Another connection sees what each executed batch committed: batch 10, then the 5 left at the end.
    const struct {
        const char* configured;
        int argument;
        std::vector<std::pair<int, int>> seenAfter;  // rows added -> rows visible
    } cases[] = {
        {nullptr, 10, {{9, 0}, {10, 10}, {19, 10}, {20, 20}, {25, 20}}},
        {"not a number", 10, {{10, 10}, {25, 20}}},
        {"6", 10, {{6, 6}, {11, 6}, {12, 12}, {25, 24}}},
    };
    int field = 70;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configured ? c.configured : "(unset)");
        ConfigScope config;
        if (c.configured) config.set("PROF/FREQ_BULK_SIZE", c.configured);
        ++field;
        ASSERT_TRUE(profile_->beginFrequencyDistribution(field, false, c.argument));
        auto rows = spread("v", 25, nullptr);
        size_t added = 0;
        for (const auto& [rowsAdded, visible] : c.seenAfter) {
            for (; added < static_cast<size_t>(rowsAdded); ++added)
                ASSERT_TRUE(profile_->addFrequencyValue(field, std::get<0>(rows[added]), std::get<1>(rows[added]),
                                                        std::get<2>(rows[added])));
            EXPECT_EQ(repo_->rows("SELECT COUNT(*) FROM " + own(field)), Rows({{std::to_string(visible)}}))
                << "after " << rowsAdded << " rows";
        }
        for (; added < rows.size(); ++added)
            ASSERT_TRUE(profile_->addFrequencyValue(field, std::get<0>(rows[added]), "", 1));
        ASSERT_TRUE(profile_->endFrequencyDistribution(field));
        EXPECT_EQ(repo_->rows("SELECT COUNT(*) FROM " + own(field)), Rows({{"25"}}));
    }
}

TEST_P(Distributions, ReadsAndComparisonsMatchAnIndependentModel) {
    // Two fields sharing "s0".."s9"; A alone has "a*", B alone has "b*".
    Counts a, b;
    auto rowsA = spread("s", 10, &a), rowsB = spread("s", 10, &b);
    for (auto& r : spread("a", 15, &a)) rowsA.push_back(r);
    for (auto& r : spread("b", 4, &b)) rowsB.push_back(r);
    for (auto& [value, count] : b) count += 1;  // different counts on the right
    for (auto& r : rowsB) std::get<2>(r) += 1;
    for (bool shared : {true, false}) {
        SCOPED_TRACE(shared ? "shared table" : "field's own table");
        const int fa = shared ? 1 : 11, fb = shared ? 2 : 12;
        ASSERT_TRUE(writeFrequency(fa, shared, rowsA));
        ASSERT_TRUE(writeFrequency(fb, shared, rowsB));

        // The distribution, most frequent first; capped it keeps the most frequent.
        Rows whole = take(profile_->listFrequencyDistribution(fa, shared, false, 0xFFFFFFFF));
        ASSERT_EQ(whole.size(), a.size());
        for (size_t i = 1; i < whole.size(); ++i) EXPECT_GE(std::stod(whole[i - 1][1]), std::stod(whole[i][1]));
        {
            ConfigScope cap;
            cap.set("BASE/REPOS_FREQ_CACHE_MAX", "10");
            Rows top = take(profile_->listFrequencyDistribution(fa, shared, false, 0xFFFFFFFF));
            EXPECT_EQ(top, Rows(whole.begin(), whole.begin() + 10));
            cap.set("BASE/REPOS_FREQ_CACHE_MAX", "ten");
            EXPECT_EQ(take(profile_->listFrequencyDistribution(fa, shared, false, 0xFFFFFFFF)).size(), a.size());
        }

        Counts common, onlyA, onlyB;
        for (const auto& [v, n] : a) (b.count(v) ? common : onlyA)[v] = n;
        for (const auto& [v, n] : b)
            if (!a.count(v)) onlyB[v] = n;
        auto firstColumn = [](const Rows& rows) {
            Counts out;
            for (const auto& r : rows) out[r[0]] = static_cast<int64_t>(std::stod(r[1]));
            return out;
        };
        EXPECT_EQ(firstColumn(take(profile_->listFrequencyDifference(fa, fb, shared, false, 0xFFFFFFFF))), onlyA);
        EXPECT_EQ(firstColumn(take(profile_->listFrequencyOuterValues(fa, fb, shared))), onlyB);
        EXPECT_EQ(firstColumn(take(profile_->listFrequencyIntersection(fa, fb, shared, false, 0xFFFFFFFF))), common);

        int64_t sumA = 0, sumB = 0, commonA = 0, commonB = 0, onlyBSum = 0;
        for (const auto& [v, n] : a) sumA += n;
        for (const auto& [v, n] : b) sumB += n;
        for (const auto& [v, n] : common) commonA += n, commonB += b[v];
        for (const auto& [v, n] : onlyB) onlyBSum += n;
        uint32_t o[7] = {};
        ASSERT_TRUE(profile_->getFrequencyOverlapStatistics(fa, fb, false, 0, shared, &o[0], &o[1], &o[2], &o[3], &o[4],
                                                            &o[5], &o[6]));
        EXPECT_EQ(std::vector<uint32_t>(o, o + 7),
                  (std::vector<uint32_t>{uint32_t(a.size()), uint32_t(sumA), uint32_t(b.size()), uint32_t(sumB),
                                         uint32_t(common.size()), uint32_t(commonA), uint32_t(commonB)}));
        if (shared) {
            uint32_t j[5] = {9, 9, 9, 9, 9}, r[2] = {9, 9};
            ASSERT_TRUE(profile_->getFrequencyJoinStatistics(fa, fb, &j[0], &j[1], &j[2], &j[3], &j[4]));
            EXPECT_EQ(std::vector<uint32_t>(j, j + 5),
                      (std::vector<uint32_t>{uint32_t(a.size()), uint32_t(sumA), uint32_t(common.size()),
                                             uint32_t(commonA), uint32_t(commonB)}));
            ASSERT_TRUE(profile_->getFrequencyRightOnlyStatistics(fa, fb, &r[0], &r[1]));
            EXPECT_EQ(std::vector<uint32_t>(r, r + 2),
                      (std::vector<uint32_t>{uint32_t(onlyB.size()), uint32_t(onlyBSum)}));
            // No rows: true for the right-only count, false for the join; both write zeros.
            ASSERT_TRUE(profile_->getFrequencyRightOnlyStatistics(fa, 999, &r[0], &r[1]));
            EXPECT_FALSE(profile_->getFrequencyJoinStatistics(998, 999, &j[0], &j[1], &j[2], &j[3], &j[4]));
            EXPECT_EQ(std::vector<uint32_t>(j, j + 5), std::vector<uint32_t>(5, 0));
            EXPECT_EQ(std::vector<uint32_t>(r, r + 2), std::vector<uint32_t>(2, 0));
        }
    }
    // A field's own table that was never written is a failure, not an empty answer.
    uint32_t values = 7;
    LogCapture log;
    EXPECT_EQ(profile_->listFrequencyDistribution(404, false, false, 0xFFFFFFFF), nullptr);
    EXPECT_FALSE(profile_->getFrequencyValueCount(404, false, &values));
    EXPECT_EQ(values, 7u);
}

TEST_P(Distributions, PatternAndMatchCodeWritersAndTheirReads) {
    ASSERT_TRUE(profile_->beginPatternDistribution(0));
    const struct {
        int field;
        const char* pattern;
        int64_t count;
    } patterns[] = {{5, "AAA-99", 3}, {5, "it's", 4000000000LL}, {5, "", 1}, {6, "9", 2}};
    for (const auto& p : patterns) ASSERT_TRUE(profile_->addPatternValue(p.field, p.pattern, p.count));
    ASSERT_TRUE(profile_->endPatternDistribution());
    Counts field5;
    for (const auto& row : take(profile_->listPatternDistribution(5)))
        if (row[0] == "5") field5[row[1]] = static_cast<int64_t>(std::stod(row[2]));
    EXPECT_EQ(field5, (Counts{{"", 1}, {"AAA-99", 3}, {"it's", 4000000000LL}}));
    uint32_t rows = 0;
    ASSERT_TRUE(profile_->getPatternValueCount(5, &rows));
    EXPECT_EQ(rows, 3u);

    // Match codes of two definitions (one of them the "none" id, stored as -1).
    const uint32_t none = 0xFFFFFFFF;
    const struct {
        int field;
        const char* value;
        const char* code;
        int64_t count;
        uint32_t definition;
    } codes[] = {{5, "Smith", "SMT", 4, 7}, {5, "Smyth", "SMT", 2, 7},     {5, "Jones", "JNS", 3, 7},
                 {6, "Smith", "SMT", 9, 7}, {5, "O'Neil", "ONL", 1, none}, {6, "Oneil", "ONL", 5, none}};
    ASSERT_TRUE(profile_->beginMatchCodeDistribution(-3));
    for (const auto& c : codes)
        ASSERT_TRUE(profile_->addMatchCodeValue(c.field, c.value, c.code, c.count, static_cast<int>(c.definition)));
    ASSERT_TRUE(profile_->endMatchCodeDistribution());
    EXPECT_EQ(repo_->count("MCDIST", "MC_ID=-1"), 2);

    auto values = [](const Rows& rows) {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r[0]);
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(values(take(profile_->listFrequencyDistribution(5, true, true, none))),
              (std::vector<std::string>{"Jones", "O'Neil", "Smith", "Smyth"}));
    EXPECT_EQ(values(take(profile_->listFrequencyDistribution(5, true, true, 7))),
              (std::vector<std::string>{"Jones", "Smith", "Smyth"}));
    // Field 5's codes that field 6 lacks: for one definition, and over all of them.
    EXPECT_EQ(values(take(profile_->listFrequencyDifference(5, 6, true, true, 7))), std::vector<std::string>{"Jones"});
    EXPECT_EQ(values(take(profile_->listFrequencyDifference(5, 6, true, true, none))),
              std::vector<std::string>{"Jones"});
    EXPECT_EQ(take(profile_->listFrequencyIntersection(5, 6, true, true, none)).size(), 3u);
    uint32_t o[7] = {};
    ASSERT_TRUE(
        profile_->getFrequencyOverlapStatistics(5, 6, true, 0, true, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5], &o[6]));
    EXPECT_EQ(std::vector<uint32_t>(o, o + 7), (std::vector<uint32_t>{3, 10, 2, 14, 2, 7, 14}));

    ASSERT_TRUE(profile_->deleteMatchCodeDistribution(5));
    EXPECT_EQ(repo_->count("MCDIST"), 2);
    EXPECT_TRUE(profile_->deleteMatchCodeDistribution(5));
}

TEST_P(Distributions, SequencesOutOfOrderAreRefusedOrEndedCleanly) {
    LogCapture log;
    // Adds and ends without a begin.
    EXPECT_FALSE(profile_->addFrequencyValue(1, "x", "", 1));
    EXPECT_FALSE(profile_->endPatternDistribution());
    EXPECT_FALSE(profile_->addMatchCodeValue(1, "x", "X", 1, 1));
    EXPECT_EQ(log.count("begin it first", 5), 3u);

    // A begin over an open sequence of the same writer ends it first; its rows do not arrive later.
    ASSERT_TRUE(profile_->beginPatternDistribution(10));
    ASSERT_TRUE(profile_->addPatternValue(3, "lost", 1));
    ASSERT_TRUE(profile_->beginPatternDistribution(10));
    EXPECT_TRUE(log.contains("ended without its pending rows", 4));
    ASSERT_TRUE(profile_->addPatternValue(3, "kept", 1));
    ASSERT_TRUE(profile_->endPatternDistribution());
    EXPECT_EQ(take(profile_->listPatternDistribution(3)), Rows({{"3", "kept", "1"}}));
    EXPECT_FALSE(db_->isInTransaction());

    // On the bulk path another writer of the object may not take the connection's one bulk load.
    ASSERT_TRUE(profile_->beginFrequencyDistribution(8, true, 10));
    ASSERT_TRUE(profile_->addFrequencyValue(8, "first", "", 1));
    EXPECT_EQ(profile_->beginMatchCodeDistribution(10), !bulk());
    if (!bulk()) {
        ASSERT_TRUE(profile_->endMatchCodeDistribution());
    }
    ASSERT_TRUE(profile_->addFrequencyValue(8, "second", "", 2));
    ASSERT_TRUE(profile_->endFrequencyDistribution(8));
    EXPECT_EQ(stored(8, true), (Counts{{"first", 1}, {"second", 2}}));
    EXPECT_FALSE(db_->isInTransaction());
}

TEST_P(Distributions, ReleaseWithAnOpenWriterLeavesTheConnectionSound) {
    ASSERT_TRUE(profile_->beginFrequencyDistribution(9, true, 10));
    ASSERT_TRUE(profile_->addFrequencyValue(9, "dropped", "", 1));
    ASSERT_TRUE(profile_->beginPatternDistribution(0) || bulk());
    {
        LogCapture log;
        profile_.reset();
        EXPECT_TRUE(log.contains("still open at release", 4));
    }
    EXPECT_FALSE(db_->isInTransaction());
    // The connection's next commit is a real one.
    ASSERT_TRUE(db_->beginTransaction(false));
    ASSERT_TRUE(db_->paramExec(
        "INSERT INTO " + db_->getTableName("KEYVAL", true, -1).str() + " (V_KEY, V_VALUE) VALUES ('after', 'release')",
        nullptr, 0));
    ASSERT_TRUE(db_->endTransaction(true));
    if (GetParam().place != Place::Postgres) {
        RawDb reopened(repo_->file());
        EXPECT_EQ(reopened.scalar("SELECT COUNT(*) FROM KEYVAL WHERE V_KEY='after'"), "1");
        EXPECT_EQ(reopened.scalar("SELECT COUNT(*) FROM FRQDST WHERE FLD_ID=9"), "0");
    } else {
        EXPECT_EQ(repo_->count("KEYVAL", "V_KEY='after'"), 1);
    }
}

// A field's own table is written in levels of the connection that every object of the repository
// shares: releasing the writer before its end must not take another object's write with it.
TEST_P(Distributions, ReleaseOfAFieldWriterKeepsOtherWritesAndItsExecutedRows) {
    ASSERT_TRUE(profile_->beginFrequencyDistribution(11, false, 0));
    Counts added;
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(profile_->addFrequencyValue(11, VqbString("v" + std::to_string(i)), "", i + 1));
        added["v" + std::to_string(i)] = i + 1;
    }
    ReposHeld<ProfileRepositoryDataAccess> other = make();
    uint32_t victim = 0, next = 0;
    ASSERT_TRUE(other->addMatchDefinition("victim", "1", "en", &victim));
    profile_.reset();
    EXPECT_FALSE(db_->isInTransaction());
    EXPECT_EQ(repo_->count("MATCH", "MC_DEF='victim'"), 1);
    ASSERT_TRUE(other->addMatchDefinition("next", "1", "en", &next));
    EXPECT_NE(next, victim) << "an id handed out twice";
    // Each row executed alone would have stayed; a bulk load keeps what it sent.
    const Counts stored = this->stored(11, false);
    if (!bulk()) {
        EXPECT_EQ(stored, added);
    }
    for (const auto& [value, count] : stored) EXPECT_EQ(added.count(value) ? added[value] : -1, count) << value;
}

std::string pathName(const ::testing::TestParamInfo<Path>& info) {
    return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(Paths, Distributions, ::testing::ValuesIn(kPaths), pathName);
INSTANTIATE_TEST_SUITE_P(Paths, ArrayBatches, ::testing::Values(kPaths[3], kPaths[5]), pathName);

// Two connections of one file write different fields into the shared table at once.
TEST(DistributionsConcurrently, TwoConnectionsOfOneFileLoseNoRow) {
    TestRepository repo(Place::Direct);
    ASSERT_NE(repo.connection(), nullptr);
    const int kRows = 1500;
    auto writeField = [&](int field, bool* ok) {
        VqbString error;
        ReposHeld<ReposDataAccess> db(
            createReposDataAccess(REPOS_BACKEND_CONNECTOR, "VQXTYPE=SQLITE;FILE=" + repo.file(), "", nullptr, error));
        ReposHeld<ProfileRepositoryDataAccess> profile(db ? new ProfileRDAImpl(db.get()) : nullptr);
        *ok = profile && profile->beginFrequencyDistribution(field, true, 0);
        for (int i = 0; *ok && i < kRows; ++i)
            *ok = profile->addFrequencyValue(field, VqbString("v" + std::to_string(i)), "", i);
        *ok = *ok && profile->endFrequencyDistribution(field);
    };
    bool ok1 = false, ok2 = false;
    std::thread first(writeField, 1, &ok1), second(writeField, 2, &ok2);
    first.join();
    second.join();
    EXPECT_TRUE(ok1 && ok2);
    RawDb file(repo.file());
    EXPECT_EQ(file.rows("SELECT FLD_ID, COUNT(*), SUM(FR_CNT) FROM FRQDST GROUP BY FLD_ID ORDER BY FLD_ID"),
              (Rows{{"1", std::to_string(kRows), std::to_string(kRows * (kRows - 1) / 2)},
                    {"2", std::to_string(kRows), std::to_string(kRows * (kRows - 1) / 2)}}));
}

// The cut of a text to a number of bytes keeps whole characters.
TEST(Utf8Cut, KeepsWholeCharactersWithinTheBytes) {
    const struct {
        const char* text;
        size_t max;
        size_t kept;
    } cases[] = {
        {"abc", 5, 3},
        {"abc", 2, 2},
        {"a\xC3\xA9", 2, 1},
        {"a\xC3\xA9", 3, 3},
        {"\xE2\x82\xAC", 2, 0},
        {"\xF0\x9F\x98\x80x", 4, 4},
        {"\xF0\x9F\x98\x80x", 3, 0},
        {"\x80\x80\x80\x80\x80", 4, 4},  // malformed: cut where asked
    };
    for (const auto& c : cases)
        EXPECT_EQ(vqbUtf8Cut(c.text, std::strlen(c.text), c.max), c.kept) << c.text << " within " << c.max;
}

}  // namespace
