// Change-of-address data access in each place a repository lives, checked against raw rows: runs
// and their typed report, histories of PAFs and their copies, partial updates, the PAF lists.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <string>

#include <cstdio>
#include <unistd.h>

#include "ncoa_rdaimpl.h"
#include "process_burst.h"
#include "repos_fixture.h"
#include "repos_held.h"
#include "repositoryimpl.h"
#include "repos_tables.h"
#include "test_rows.h"
#include "test_support.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
const VqbString N;  // not given
const VqbDate ND;
constexpr int kColumns = 245;

class Ncoa : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(repo->connection());
        ASSERT_TRUE(createNcoaTables(repo->connection()));
        rda.reset(new NCOARDAImpl(repo->connection()));
        ASSERT_TRUE(rda->loadRunColumns());
    }
    uint32_t listOwner(const char* name, uint32_t paf, int coop = 0, double created = 40000) {
        uint32_t id = 0;
        EXPECT_TRUE(rda->addPafListOwner(name, "a", "c", "s", "z", "t", "n", "m", "e", "p", "k", "1", "2", "3", "w",
                                         coop, "sn", "st", VqbDate(41000), VqbDate(created), paf, 11, &id));
        return id;
    }
    uint32_t paf(const char* ncoaPaf, const char* listName, int equivalent = 0) {
        uint32_t id = 0;
        EXPECT_TRUE(rda->addPaf("1", "2", "3", 4, 5, VqbDate(42000), equivalent, listName, ncoaPaf, &id));
        return id;
    }
    // The row by key, catalogue order.
    Rows row(const char* table, const char* key, uint32_t id) {
        return repo->rows("SELECT * FROM {" + std::string(table) + "} WHERE " + key + "=?",
                          {VqbDatavar(static_cast<int>(id))});
    }
    // The catalogue's column names of a table.
    static std::vector<std::string> columns(const char* table) {
        std::vector<std::string> names;
        for (int i = 0; i < ncoaColumnDefCount; ++i) {
            const ReposColumnDef* c = getNcoaColumn(i, false);
            if (c->table && std::string(c->table) == table) names.push_back(c->column);
        }
        return names;
    }
    // The columns whose values differ between two single-row results.
    static std::set<std::string> changed(const char* table, const Rows& before, const Rows& after) {
        std::set<std::string> names;
        const std::vector<std::string> all = columns(table);
        if (before.size() != 1 || after.size() != 1) return {"<rows>"};
        for (size_t i = 0; i < all.size(); ++i)
            if (before[0][i] != after[0][i]) names.insert(all[i]);
        return names;
    }
    static double today() { return VqbDate::currentDate().asDouble(); }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<NCOARDAImpl> rda;
};

// ---- runs

TEST_P(Ncoa, StatisticsRoundTripTypedAfterTheCatalogue) {
    ASSERT_EQ(rda->runColumnCount(), static_cast<size_t>(kColumns));
    std::map<int, VqbDatavar> model;
    for (int ordinal = 4; ordinal < kColumns; ++ordinal) {
        const ReposColumnDef* c = getNcoaColumn(ordinal - 4, true);
        if (c->type == VQB_TYPE_INT) model[ordinal] = VqbDatavar(int64_t(1000) * ordinal - 7);
        else if (c->type == VQB_TYPE_REAL) model[ordinal] = VqbDatavar(45000.123456789 + ordinal);
        else model[ordinal] = VqbDatavar(std::string(static_cast<size_t>(c->length), char('a' + ordinal % 26)));
    }
    model[4] = VqbDatavar(std::string(19, 'P'));    // one past its width: warned, kept
    model[5] = VqbDatavar(std::string(300, 'L'));   // beyond any declared width
    LogCapture log(4);
    for (const auto& entry : model) ASSERT_TRUE(rda->setRunValue(entry.first, entry.second)) << entry.first;
    ASSERT_TRUE(rda->setRunValue(2, VqbDatavar(77)));
    bool warned = false;
    for (const VqLogEntry& e : log.entries()) warned = warned || (e.level == 4 && e.text.find("PAFNCOA") != std::string::npos);
    EXPECT_TRUE(warned);
    EXPECT_FALSE(rda->setRunValue(kColumns, VqbDatavar(1)));
    EXPECT_FALSE(rda->setRunValue(-1, VqbDatavar(1)));

    uint32_t run = 0, second = 0;
    ASSERT_TRUE(rda->addRun(0, 5, &run));
    ASSERT_TRUE(rda->addRun(0, 6, &second));  // nothing set again: every value null
    EXPECT_EQ(repo->rows("SELECT COUNT(*), MIN(SEQ_ID), MAX(SEQ_ID) FROM {NCOAED} WHERE RUN_ID=?", {int(run)}),
              (Rows{{"241", "0", "240"}}));

    ReposHeld<ReposDataAccessCursor> report(rda->listRunReport(ND, ND, N, -1, -1, -1));
    ASSERT_TRUE(report);
    ASSERT_EQ(report->getNumCols(), kColumns);
    ASSERT_EQ(report->next(), 1);
    EXPECT_EQ(report->getValue(0).asInt64(), run);
    EXPECT_EQ(report->getValue(1).asInt64(), 5);
    EXPECT_EQ(report->getValue(2).asInt64(), 77);
    EXPECT_NEAR(report->getValue(3).asDouble(), today(), 1.0);
    for (const auto& entry : model) {
        const VqbDatavar value = report->getValue(entry.first);
        EXPECT_EQ(value.getType(), entry.second.getType()) << entry.first;
        EXPECT_EQ(value, entry.second) << entry.first;
    }
    ASSERT_EQ(report->next(), 1);
    EXPECT_EQ(report->getValue(0).asInt64(), second);
    for (int ordinal : {2, 4, 5, 100, kColumns - 1}) EXPECT_TRUE(report->getValue(ordinal).isNull()) << ordinal;
    EXPECT_NE(report->next(), 1);

    // Filters: 0 is a value, negative none; a NCOAPAF joins the PAFs.
    const auto runs = [&](const VqbDate& from, const VqbDate& to, const VqbString& ncoaPaf, int id, int pafId) {
        return cursorRows(ReposHeld<ReposDataAccessCursor>(rda->listRunReport(from, to, ncoaPaf, id, pafId, -1)).get()).size();
    };
    EXPECT_EQ(runs(ND, ND, N, 0, -1), 0u);
    EXPECT_EQ(runs(ND, ND, N, -1, 6), 1u);
    EXPECT_EQ(runs(VqbDate(today() + 2), ND, N, -1, -1), 0u);
    EXPECT_EQ(runs(ND, VqbDate(today() + 2), N, -1, -1), 2u);
    EXPECT_EQ(runs(ND, ND, "nothing", -1, -1), 0u);
}

TEST_P(Ncoa, FailedRunLeavesNoRowAndNoValue) {
    ASSERT_TRUE(rda->setRunValue(4, VqbDatavar("P1")));
    ASSERT_TRUE(rda->setRunValue(2, VqbDatavar(3)));
    ASSERT_TRUE(repo->refuse(Refused::Insert, "NCOAED"));
    uint32_t run = 99;
    EXPECT_FALSE(rda->addRun(0, 1, &run));
    EXPECT_EQ(run, 99u);
    EXPECT_EQ(repo->count("NCOAEX") + repo->count("NCOAED"), 0);
    ASSERT_TRUE(repo->allow(Refused::Insert, "NCOAED"));
    ASSERT_TRUE(rda->addRun(0, 1, &run));
    EXPECT_EQ(repo->rows("SELECT GRP_ID FROM {NCOAEX}"), (Rows{{"<null>"}}));
    EXPECT_EQ(repo->count("NCOAED", "DVALUE IS NOT NULL"), 0);
}

TEST_P(Ncoa, HostileStatisticRowsGiveAReportWithoutInventedValues) {
    ASSERT_TRUE(repo->exec("INSERT INTO {NCOAEX} (RUN_ID, PAF_ID, GRP_ID, EX_DATE) VALUES (900, 1, 2, 45000)"));
    // SEQ_ID 3 is an integer statistic, 11 a date, 15 an integer.
    for (const auto& detail : std::map<int, const char*>{{9999, "1"}, {-5, "2"}, {3, "abc"}, {11, "45000.5"}, {15, "42"}})
        ASSERT_TRUE(repo->exec("INSERT INTO {NCOAED} (RUN_ID, SEQ_ID, DNAME, DVALUE) VALUES (900, ?, 'X', ?)",
                               {detail.first, detail.second}));
    ReposHeld<ReposDataAccessCursor> report(rda->listRunReport(ND, ND, N, 900, -1, -1));
    ASSERT_TRUE(report);
    ASSERT_EQ(report->next(), 1);
    EXPECT_EQ(report->getValue(7), VqbDatavar("abc"));
    EXPECT_EQ(report->getValue(15), VqbDatavar(45000.5));
    EXPECT_EQ(report->getValue(19), VqbDatavar(42));
    for (int ordinal : {4, 5, 6, 8, 20, kColumns - 1}) EXPECT_TRUE(report->getValue(ordinal).isNull()) << ordinal;
    EXPECT_NE(report->next(), 1);
}

// ---- histories and copies

TEST_P(Ncoa, AddsStartHistoriesAndCopiesJoinThem) {
    const uint32_t p1 = paf("P1", "L1", 5), p2 = paf("P2", "L2", -3);
    EXPECT_EQ(repo->rows("SELECT EQUIVALT, ACTIVE FROM {NCOAPA} ORDER BY PAF_ID"), (Rows{{"1", "1"}, {"0", "1"}}));
    const uint32_t lo1 = listOwner("Owner", p1, 5), lo2 = listOwner("Owner", p1, -3);
    EXPECT_EQ(repo->rows("SELECT COOPDB, COUNT(DISTINCT HISTID) FROM {NCOAPO} WHERE CRDATE=40000 GROUP BY COOPDB "
                         "ORDER BY COOPDB"),
              (Rows{{"0", "1"}, {"1", "1"}}));
    EXPECT_NE(row("NCOAPO", "PAF_LO", lo1)[0][21], row("NCOAPO", "PAF_LO", lo2)[0][21]);

    // A copy keeps every column but its id and creation date, NULLs included.
    ASSERT_TRUE(repo->exec("UPDATE {NCOAPO} SET ADDR=NULL, SIGNDATE=NULL WHERE PAF_LO=?", {int(lo1)}));
    uint32_t copy = 0;
    ASSERT_TRUE(rda->copyPafListOwner(lo1, &copy));
    Rows source = row("NCOAPO", "PAF_LO", lo1), copied = row("NCOAPO", "PAF_LO", copy);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_NE(copy, lo1);
    EXPECT_NEAR(std::stod(copied[0][20]), today(), 1.0);
    for (Rows* r : {&source, &copied}) (*r)[0].erase((*r)[0].begin() + 20), (*r)[0].erase((*r)[0].begin());
    EXPECT_EQ(copied, source);

    // The licensee copy keeps its source's date; the add stamps its own.
    uint32_t lic = 0, licCopy = 0;
    ASSERT_TRUE(rda->addPafLicensee("id", "Lic", "t", "tin", 9, "e", "f", "1", "2", "3", "sn", "st", VqbDate(41000),
                                    VqbDate(40000), p1, 12, &lic));
    ASSERT_TRUE(repo->exec("UPDATE {NCOAPL} SET CRDATE=40001, FAX=NULL WHERE PAF_LIC=?", {int(lic)}));
    ASSERT_TRUE(rda->copyPafLicensee(lic, &licCopy));
    source = row("NCOAPL", "PAF_LIC", lic), copied = row("NCOAPL", "PAF_LIC", licCopy);
    for (Rows* r : {&source, &copied}) (*r)[0].erase((*r)[0].begin());
    EXPECT_EQ(copied, source);

    // A PAF with no list-owner copy is copied too; the copy is active and joins the history.
    ASSERT_TRUE(rda->updatePaf(p2, N, N, N, -1, -1, ND, -1, N, 0, N));
    uint32_t pafCopy = 0;
    ASSERT_TRUE(rda->copyPaf(p2, &pafCopy));
    source = row("NCOAPA", "PAF_ID", p2), copied = row("NCOAPA", "PAF_ID", pafCopy);
    EXPECT_EQ(copied[0][10], "1");
    EXPECT_EQ(copied[0][12], source[0][12]);
    EXPECT_EQ(copied[0][9], "L2");

    // Nothing to copy: false, nothing written, the out id untouched.
    uint32_t untouched = 7;
    const int before = repo->count("NCOAPO") + repo->count("NCOAPL") + repo->count("NCOAPB") + repo->count("NCOAPA");
    EXPECT_FALSE(rda->copyPafListOwner(4242, &untouched));
    EXPECT_FALSE(rda->copyPafLicensee(4242, &untouched));
    EXPECT_FALSE(rda->copyPafBroker(4242, &untouched));
    EXPECT_FALSE(rda->copyPaf(4242, &untouched));
    EXPECT_EQ(untouched, 7u);
    EXPECT_EQ(repo->count("NCOAPO") + repo->count("NCOAPL") + repo->count("NCOAPB") + repo->count("NCOAPA"), before);
}

TEST_P(Ncoa, PartialUpdatesChangeOnlyTheGivenColumns) {
    uint32_t lo = 0, li = 0, br = 0, pb = 0;
    ASSERT_TRUE(rda->addListOwner("B", "a", "c", "s", "z", "t", "n", "m", "e", "p", "k", "1", "2", "3", "w", 0, "sn",
                                  "st", VqbDate(41000), &lo));
    ASSERT_TRUE(rda->addLicensee("id", "B", "t", "tin", 1, "e", "f", "1", "2", "3", "sn", "st", VqbDate(41000), &li));
    ASSERT_TRUE(rda->addBroker("B", "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 2, "sn", "st",
                               VqbDate(41000), &br));
    ASSERT_TRUE(rda->addPafBroker("B", "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 2, "sn", "st",
                                  VqbDate(41000), ND, 1, br, &pb));
    const uint32_t p = paf("P", "L"), plo = listOwner("O", p);
    // Masters' stamps are set back so that a new stamp shows.
    for (const char* t : {"NCOALO", "NCOALI", "NCOABR"}) ASSERT_TRUE(repo->exec("UPDATE {" + std::string(t) + "} SET MODDATE=1"));

    struct Case {
        const char* what;
        const char* table;
        const char* key;
        uint32_t id;
        std::function<bool()> update;
        bool result;
        std::set<std::string> columns;
    };
    const Case cases[] = {
        {"date alone", "NCOALO", "LO_ID", lo,
         [&] { return rda->updateListOwner(lo, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, -1, N, N, VqbDate(43000)); },
         true, {"SIGNDATE", "MODDATE"}},
        {"empty text, flag clamped", "NCOALO", "LO_ID", lo,
         [&] { return rda->updateListOwner(lo, "", N, N, N, N, N, "x", N, N, N, N, N, N, N, N, 7, N, N, ND); }, true,
         {"BUSNAME", "NAICS", "COOPDB", "MODDATE"}},
        {"nothing given", "NCOALO", "LO_ID", lo,
         [&] { return rda->updateListOwner(lo, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, -1, N, N, ND); }, false,
         {}},
        {"none key runs", "NCOALO", "LO_ID", lo,
         [&] { return rda->updateListOwner(kNone, "x", N, N, N, N, N, N, N, N, N, N, N, N, N, N, -1, N, N, ND); },
         true, {}},
        {"copy moved to another PAF", "NCOAPO", "PAF_LO", plo,
         [&] {
             return rda->updatePafListOwner(plo, N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, -1, N, N, ND, ND, 77,
                                            kNone);
         },
         true, {"PAF_ID"}},
        {"licensee type", "NCOALI", "LIC_ID", li,
         [&] { return rda->updateLicensee(li, N, N, N, N, 9, N, N, N, N, N, N, N, ND); }, true, {"LTYPE", "MODDATE"}},
        {"broker none key refused", "NCOABR", "BR_ID", br,
         [&] { return rda->updateBroker(kNone, "x", N, N, N, N, N, N, N, N, N, N, N, -1, N, N, ND); }, false, {}},
        {"broker type after customs", "NCOABR", "BR_ID", br,
         [&] { return rda->updateBroker(br, N, N, N, N, N, N, N, N, N, N, N, "c3", 4, N, N, ND); }, true,
         {"CUSTM3", "BRTYPE", "MODDATE"}},
        {"broker copy dated", "NCOAPB", "PAF_BR", pb,
         [&] {
             return rda->updatePafBroker(pb, N, N, N, N, N, N, N, N, N, N, N, N, 3, N, N, ND, VqbDate(40000), kNone,
                                         kNone);
         },
         true, {"BRTYPE", "CRDATE"}},
        {"PAF codes unclamped", "NCOAPA", "PAF_ID", p,
         [&] { return rda->updatePaf(p, N, N, N, -1, -1, VqbDate(44000), 5, N, 7, N); }, true,
         {"EXPDATE", "EQUIVALT", "ACTIVE"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Rows before = row(c.table, c.key, c.id);
        EXPECT_EQ(c.update(), c.result);
        const Rows after = row(c.table, c.key, c.id);
        EXPECT_EQ(changed(c.table, before, after), c.columns);
    }
    EXPECT_EQ(repo->rows("SELECT COOPDB FROM {NCOALO}"), (Rows{{"1"}}));
    EXPECT_EQ(repo->rows("SELECT EQUIVALT, ACTIVE FROM {NCOAPA}"), (Rows{{"5", "7"}}));
}

// While a DDL script is written the connector hands out no statement: the partial updates fail,
// logged, and put nothing into the script. A SQLite file opened directly runs them as usual.
TEST_P(Ncoa, ScriptModeRefusesPartialUpdates) {
    uint32_t br = 0;
    ASSERT_TRUE(rda->addBroker("B", "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 2, "sn", "st",
                               VqbDate(41000), &br));
    const uint32_t p = paf("P", "L");
    const bool scripted = GetParam() != Place::Direct;
    const struct {
        const char* table;
        const char* key;
        uint32_t id;
        std::function<bool()> update;
    } cases[] = {
        {"NCOABR", "BR_ID", br,
         [&] { return rda->updateBroker(br, "x", N, N, N, N, N, N, N, N, N, N, N, -1, N, N, ND); }},
        {"NCOAPA", "PAF_ID", p, [&] { return rda->updatePaf(p, "c1", N, N, -1, -1, ND, -1, N, -1, N); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        const Rows before = row(c.table, c.key, c.id);
        Recorder script;
        LogCapture log(5);
        rda->setDDLCallback(&script);
        EXPECT_EQ(c.update(), !scripted);
        rda->setDDLCallback(nullptr);
        EXPECT_EQ(log.count("", 5) > 0, scripted);
        EXPECT_EQ(script.script, std::vector<std::string>());
        EXPECT_EQ(row(c.table, c.key, c.id) == before, scripted);
    }
}

// ---- lists

TEST_P(Ncoa, PafListsBuildTheirFiltersAndBindTexts) {
    const uint32_t a = paf("P1", "L1"), b = paf("P2", "L2");
    listOwner("Owner1", a);
    uint32_t broker = 0;
    ASSERT_TRUE(rda->addPafBroker("Br1", "a", "c", "s", "z", "t", "f", "e", "n", "1", "2", "3", 2, "sn", "st",
                                  VqbDate(41000), ND, a, 1, &broker));
    ASSERT_TRUE(rda->updatePaf(b, N, N, N, -1, -1, ND, -1, N, 0, N));
    const std::string A = std::to_string(a), B = std::to_string(b);
    const std::string hostile = "x' OR '1'='1";
    struct Case {
        VqbString ncoaPaf, listName, owner, broker;
        int active;
        std::set<std::string> pafs;
    };
    const Case cases[] = {
        {"", "", "", "", -1, {A, B}},  {"P1", "", "", "", -1, {A}},     {"", "L2", "", "", -1, {B}},
        {"", "", "Owner1", "", -1, {A}}, {"", "", "", "Br1", -1, {A}},  {"", "", "", "", 7, {A}},
        {"", "", "", "", -5, {B}},     {"P1", "", "", "Br1", 0, {}},     {hostile.c_str(), "", "", "", -1, {}},
        {"", "", "", hostile.c_str(), -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ncoaPaf.str() + "/" + c.listName.str() + "/" + c.owner.str() + "/" + c.broker.str() + "/" +
                     std::to_string(c.active));
        std::set<std::string> found;
        for (const auto& r : take(rda->listPafs(c.ncoaPaf, c.listName, c.owner, c.broker, true, c.active)))
            found.insert(r[0]);
        EXPECT_EQ(found, c.pafs);
    }
    // The PAF with its list owner; with the same-history flag every version of the PAF.
    uint32_t copy = 0;
    ASSERT_TRUE(rda->copyPaf(a, &copy));
    listOwner("Owner2", copy);
    EXPECT_EQ(take(rda->listPafsWithListOwner(a, kNone, "", -1, false)).size(), 1u);
    const Rows history = take(rda->listPafsWithListOwner(a, kNone, "", 7, true));
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ(history.empty() ? 0u : history[0].size(), 13u + 24u);
    EXPECT_EQ(rda->listPafsWithListOwner(kNone, kNone, "", -1, true), nullptr);
    EXPECT_TRUE(take(rda->listPafsWithListOwner(kNone, kNone, hostile.c_str(), -1, false)).empty());
    // Newest copies first; the history's versions in date order.
    EXPECT_EQ(take(rda->listPafListOwners(kNone, a, kNone)).size(), 1u);
    EXPECT_EQ(cursorRows(ReposHeld<ReposDataAccessCursor>(rda->listPafHistory(
                             std::stoul(row("NCOAPA", "PAF_ID", a)[0][12]), true)).get()).size(), 2u);
    EXPECT_EQ(take(rda->listBrokersByType(2)).size(), 0u);
}

TEST_P(Ncoa, DeletesReachOneTableOnly) {
    const uint32_t p = paf("P", "L"), lo = listOwner("O", p);
    ASSERT_TRUE(rda->deletePaf(p));
    EXPECT_EQ(repo->count("NCOAPA"), 0);
    EXPECT_EQ(repo->count("NCOAPO"), 1);
    ASSERT_TRUE(rda->deletePafListOwner(lo));
    EXPECT_TRUE(rda->deletePafListOwner(lo));  // no row is no failure
    EXPECT_EQ(repo->count("NCOAPO"), 0);
    uint32_t licensee = 0;
    ASSERT_TRUE(rda->addLicensee("id", "B", "t", "tin", 1, "e", "f", "1", "2", "3", "sn", "st", ND, &licensee));
    ASSERT_TRUE(repo->refuse(Refused::Delete, "NCOALI"));
    EXPECT_FALSE(rda->deleteLicensee(licensee));
}

TEST_P(Ncoa, RefusedWritesHandOutNoId) {
    const uint32_t p = paf("P", "L"), lo = listOwner("O", p);
    const std::pair<const char*, std::function<bool(uint32_t*)>> writes[] = {
        {"NCOALO", [&](uint32_t* id) {
             return rda->addListOwner("B", N, N, N, N, N, N, N, N, N, N, N, N, N, N, 1, N, N, ND, id);
         }},
        {"NCOAPA", [&](uint32_t* id) { return rda->addPaf(N, N, N, 0, 0, ND, 0, N, N, id); }},
        {"NCOAPO", [&](uint32_t* id) { return rda->copyPafListOwner(lo, id); }},
    };
    for (const auto& write : writes) {
        SCOPED_TRACE(write.first);
        const int before = repo->count(write.first);
        ASSERT_TRUE(repo->refuse(Refused::Insert, write.first));
        uint32_t id = 7;
        EXPECT_FALSE(write.second(&id));
        EXPECT_EQ(id, 7u);
        EXPECT_EQ(repo->count(write.first), before);
        ASSERT_TRUE(repo->allow(Refused::Insert, write.first));
        EXPECT_TRUE(write.second(nullptr));
    }
}

TEST_P(Ncoa, NoConnectionGivesFailureValues) {
    ReposHeld<NCOARDAImpl> lost(new NCOARDAImpl(nullptr));
    EXPECT_TRUE(lost->loadRunColumns());
    uint32_t id = 5;
    EXPECT_FALSE(lost->addListOwner(N, N, N, N, N, N, N, N, N, N, N, N, N, N, N, 0, N, N, ND, &id));
    EXPECT_FALSE(lost->addPaf(N, N, N, 0, 0, ND, 0, N, N, &id));
    EXPECT_FALSE(lost->copyPaf(1, &id));
    EXPECT_FALSE(lost->addRun(0, 1, &id));
    EXPECT_EQ(id, 5u);
    EXPECT_FALSE(lost->updatePaf(1, "x", N, N, -1, -1, ND, -1, N, -1, N));
    EXPECT_FALSE(lost->deleteBroker(1));
    EXPECT_EQ(lost->listPafs("", "", "", "", true, -1), nullptr);
    EXPECT_EQ(lost->listPafHistory(1, true), nullptr);
    EXPECT_EQ(lost->listRunReport(ND, ND, N, -1, -1, -1), nullptr);
    EXPECT_TRUE(lost->setRunValue(4, VqbDatavar("kept until the object goes")));
}

REPOS_EVERY_PLACE(Ncoa);

TEST(NcoaFactory, HandsOutAnObjectWithItsRunColumns) {
    OpenedRepository repository;
    ASSERT_TRUE(repository.get());
    NCOARepositoryDataAccess* ncoa = repository->createNCOARepositoryDataAccess();
    ASSERT_NE(ncoa, nullptr);
    EXPECT_TRUE(ncoa->setRunValue(kColumns - 1, VqbDatavar(1)));
    EXPECT_FALSE(ncoa->setRunValue(kColumns, VqbDatavar(1)));
    ncoa->release();
}

// Writers on connections of their own: distinct run ids, every run whole.
class NcoaConcurrentRuns : public ::testing::TestWithParam<void (*)(BurstPlace&)> {};

TEST_P(NcoaConcurrentRuns, RunsStayWhole) {
    constexpr int kWriters = 2, kRuns = 4;
    BurstPlace place;
    GetParam()(place);
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(place.connection(), nullptr);
    ASSERT_TRUE(createNcoaTables(place.connection()));
    ASSERT_TRUE(runBurst(place, kWriters, [](ReposDataAccess* connection, int writer) {
        ReposHeld<NCOARDAImpl> rda(new NCOARDAImpl(connection));
        rda->loadRunColumns();
        for (int n = 0; n < kRuns; ++n) {
            for (int ordinal = 4; ordinal < kColumns; ++ordinal) rda->setRunValue(ordinal, VqbDatavar(1));
            rda->setRunValue(2, VqbDatavar(writer));
            if (!rda->addRun(0, 1, nullptr)) {
                fprintf(stderr, "writer %d: %s\n", writer, connection->getLastErrorMessage().asCstr());
                _exit(3);
            }
        }
    }));
    EXPECT_EQ(place.repo->rows("SELECT COUNT(DISTINCT RUN_ID) FROM " + place.repo->table("NCOAEX")),
              (Rows{{std::to_string(kWriters * kRuns)}}));
    EXPECT_EQ(place.repo->count("NCOAED", "DVALUE='1'"), kWriters * kRuns * (kColumns - 4));
}

REPOS_EVERY_BURST_PLACE(NcoaConcurrentRuns);

}  // namespace
