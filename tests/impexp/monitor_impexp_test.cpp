// Monitor tasks, sources, dimensions and thresholds through the import/export manager: documents
// carried between repositories and compared row by row (ids mapped through names), dependents
// found rather than duplicated, dashboard mappings, all-or-nothing task imports, hostile documents.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "recording_event_manager.h"
#include "repos_monitor_rda.h"

namespace {

using V = VqbDatavar;

// One repository with its monitor data access and the makers of monitor objects.
struct Monitor {
    explicit Monitor(Place place) : x(place) {
        if (x.repository) m.reset(x.repository->createMonitorRepositoryDataAccess());
        if (!m) return;
        // The defaults (row 1) a created repository holds.
        if (x.repo.count("DIMENS", "DIM_ID=1") > 0) return;
        uint32_t id = 0;
        EXPECT_TRUE(m->addDimension("Default", "", "u", "default-dimension", 0, &id) && id == 1);
        EXPECT_TRUE(m->addThreshold("Default", "", "u", "default-threshold", 0, 0, nullptr, nullptr, nullptr, nullptr,
                                    &id) && id == 1);
        EXPECT_TRUE(m->addReportGroup("Default", "", 1, 1, 1, VqbDate(), "u", "default-group", 0, &id) && id == 1);
    }
    bool ready() const { return x.ready() && m; }

    unsigned dimension(const std::string& name, const std::string& uuid = "") {
        uint32_t id = 0;
        EXPECT_TRUE(m->addDimension(VqbString(name), VqbString("d " + name), "u", VqbString(uuid.empty() ? vqbNewUUID().str() : uuid), 0, &id));
        return id;
    }
    unsigned threshold(const std::string& name, int bands = 2) {
        VqbString names[7] = {"low", "mid", "high", "a", "b", "c", "d"};
        double starts[7] = {0, 10.5, 20, 30, 40, 50, 60}, ends[7] = {10.5, 20, 30, 40, 50, 60, 70};
        int colors[7] = {1, 2, 3, 4, 5, 6, 7};
        uint32_t id = 0;
        EXPECT_TRUE(m->addThreshold(VqbString(name), VqbString("t " + name), "u", vqbNewUUID(), 0, bands, names, starts,
                                    ends, colors, &id));
        return id;
    }
    unsigned group(const std::string& name) {
        uint32_t id = 0;
        EXPECT_TRUE(m->addReportGroup(VqbString(name), "", 1, 1, 1, VqbDate(), "u", vqbNewUUID(), 0, &id));
        return id;
    }
    unsigned task(const std::string& name) {
        uint32_t id = 0;
        EXPECT_TRUE(m->addJob(VqbString(name), vqbNewUUID(), "maker", 0, "comment", "shown", &id));
        return id;
    }
    // A task of three rules: two members with their own dimension and threshold, one plain, and
    // three events of which one names a rule outside the members.
    unsigned sampleTask(const std::string& name) {
        unsigned job = task(name);
        unsigned r1 = x.addRule(name + " R1", {"FA"}, {"M1"}), r2 = x.addRule(name + " R2", {"FB"}, {}),
                 r3 = x.addRule(name + " R3", {}, {}), r4 = x.addRule(name + " R4", {}, {});
        unsigned d = dimension(name + " D"), t = threshold(name + " T", 3);
        EXPECT_TRUE(m->addJobRuleMetric(job, r1, d, t, VqbReal(2.5)));
        EXPECT_TRUE(m->addJobRuleMetric(job, r2, d, 1, VqbReal(0.5)));
        EXPECT_TRUE(m->addJobRule(job, r3));
        EXPECT_TRUE(m->addRuleEvent(job, r1, 0, "E0", "data 0"));
        EXPECT_TRUE(m->addRuleEvent(job, r4, 1, "E1", "data <&>"));
        EXPECT_TRUE(m->addRuleEvent(job, r1, 2, "E2", VqbString()));
        return job;
    }

    // The task's rows with names for ids; dimensions, thresholds and their dashboard mappings too.
    Rows taskRows(const std::string& name) {
        Rows all;
        for (const char* query :
             {"SELECT JB_DESC, JB_CODE, JB_CRUSR, JB_COMM, JB_DISP FROM {MJOB} WHERE JB_DESC=?",
              "SELECT R.RU_DESC, CASE WHEN M.DIM_ID=1 THEN '-' ELSE D.DIM_NAME END, CASE WHEN M.THR_ID=1 THEN '-' ELSE "
              "T.THR_NAME END, M.WGHT FROM {JBRUME} M JOIN {MJOB} J ON J.JB_ID=M.JB_ID "
              "JOIN {RULE} R ON R.RU_ID=M.RU_ID JOIN {DIMENS} D ON D.DIM_ID=M.DIM_ID JOIN {THRHLD} T ON "
              "T.THR_ID=M.THR_ID WHERE J.JB_DESC=?",
              "SELECT E.EV_SEQ, E.EV_CODE, E.EV_DATA, R.RU_DESC, R.RU_UUID FROM {RULEVT} E JOIN {MJOB} J ON "
              "J.JB_ID=E.JB_ID JOIN {RULE} R ON R.RU_ID=E.RU_ID WHERE J.JB_DESC=?",
              // Each repository has defaults of its own.
              "SELECT DISTINCT D.DIM_NAME, D.DIM_DESC, D.UUID FROM {JBRUME} M JOIN {MJOB} J ON J.JB_ID=M.JB_ID JOIN "
              "{DIMENS} D ON D.DIM_ID=M.DIM_ID WHERE J.JB_DESC=? AND D.DIM_ID>1",
              "SELECT DISTINCT T.THR_NAME, T.THR_DESC, T.UUID, T.NAME_0, T.START_0, T.END_0, T.COLOR_0, T.NAME_2, "
              "T.END_2, T.NAME_3 FROM {JBRUME} M JOIN {MJOB} J ON J.JB_ID=M.JB_ID JOIN {THRHLD} T ON T.THR_ID=M.THR_ID "
              "WHERE J.JB_DESC=? AND T.THR_ID>1",
              "SELECT D.DIM_NAME, G.GRP_NAME, T.THR_NAME, X.WGHT FROM {DIMGRP} X JOIN {DIMENS} D ON D.DIM_ID=X.DIM_ID "
              "JOIN {RPTGRP} G ON G.GRP_ID=X.GRP_ID JOIN {THRHLD} T ON T.THR_ID=X.THR_ID WHERE D.DIM_NAME LIKE ?"}) {
            Rows part = sorted(x.repo.rows(query, {V(std::string(query).find("LIKE") != std::string::npos ? name + "%" : name)}));
            all.push_back({"--"});
            all.insert(all.end(), part.begin(), part.end());
        }
        for (const std::string& rule : {name + " R1", name + " R2", name + " R3", name + " R4"}) {
            Rows part = x.ruleRows(rule);
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }
    bool import(const std::string& text, VqbString& log) {
        log = "";
        return x.manager->importObject(VqbString(text), 0, log);
    }
    bool update(unsigned id, const char* type, const std::string& uuid, const std::string& text, VqbString& error) {
        error = "";
        return x.manager->updateObjectOnImport(id, VqbString(type), VqbString(uuid), VqbString(text), 0, error, nullptr);
    }
    unsigned idOf(const char* query, const std::string& key) {
        Rows r = x.repo.rows(query, {V(key)});
        return r.empty() ? 0 : static_cast<unsigned>(std::stoul(r[0][0]));
    }
    unsigned jobId(const std::string& name) { return idOf("SELECT JB_ID FROM {MJOB} WHERE JB_DESC=?", name); }
    std::string code(unsigned job) {
        Rows r = x.repo.rows("SELECT JB_CODE FROM {MJOB} WHERE JB_ID=?", {V(static_cast<int>(job))});
        return r.empty() ? "" : r[0][0];
    }
    std::vector<int> counts() {
        std::vector<int> n;
        for (const char* table : {"MJOB", "JBRUME", "RULEVT", "RULE", "DIMENS", "THRHLD", "DIMGRP", "EXSRC"})
            n.push_back(x.repo.count(table));
        return n;
    }

    ImpExp x;
    ReposHeld<MonitorRepositoryDataAccess> m;
};

class MonitorImpExp : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        t = std::make_unique<Monitor>(GetParam());
        if (!t->x.repo.connection()) GTEST_SKIP();
        ASSERT_TRUE(t->ready());
    }
    std::unique_ptr<Monitor> t;
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Sorted, with numbers in one form whatever the back end prints.
Rows weighed(Rows rows) {
    for (auto& row : rows)
        for (std::string& cell : row) {
            char* end = nullptr;
            double value = std::strtod(cell.c_str(), &end);
            if (!cell.empty() && *end == 0) cell = VqbString::format("%g", value).str();
        }
    return sorted(rows);
}

// The listener that keeps every reported text.
struct Reports : RepositoryActionEvent {
    bool onActionEvent(int, const VqbString&, const VqbString& message) override {
        all += message.str() + "\n";
        return true;
    }
    void release() override {}
    std::string all;
};

}  // namespace

TEST(MonitorRoundTrip, TasksTravelFromFileToPostgresAndBack) {
    Monitor file(Place::File), pg(Place::Postgres), back(Place::File);
    if (!pg.x.repo.connection()) GTEST_SKIP();
    ASSERT_TRUE(file.ready() && pg.ready() && back.ready());
    unsigned job = file.sampleTask("Audit");
    for (Monitor* target : {&pg, &back}) target->group("Board A"), target->group("Board B");
    file.group("Board A"), file.group("Board B");
    file.m->addDimensionGroup(file.idOf("SELECT DIM_ID FROM {DIMENS} WHERE DIM_NAME=?", "Audit D"), 2,
                              file.idOf("SELECT THR_ID FROM {THRHLD} WHERE THR_NAME=?", "Audit T"), VqbReal(1.0));
    std::string text = file.x.exportOf(job, "Task");
    VqbString log;
    ASSERT_TRUE(pg.import(text, log)) << log.str();
    std::string again = pg.x.exportOf(pg.jobId("Audit"), "Task");
    ASSERT_TRUE(back.import(again, log)) << log.str();
    Rows expected = pg.taskRows("Audit");
    EXPECT_EQ(back.taskRows("Audit"), expected);
    EXPECT_EQ(pg.code(pg.jobId("Audit")), file.code(job)) << "the task keeps its code";
    EXPECT_EQ(Rows(expected.begin() + 3, expected.begin() + 6),
              Rows({{"Audit R1", "Audit D", "Audit T", "2.5"}, {"Audit R2", "Audit D", "-", "0.5"}, {"Audit R3", "-", "-", "1"}}));
}

TEST_P(MonitorImpExp, DependentsAreFoundOnceAndDashboardsMapped) {
    Monitor source(GetParam());
    ASSERT_TRUE(source.ready());
    std::string text = source.x.exportOf(source.sampleTask("T"), "Task");
    // The target knows the dimension by name (another UUID); one of its boards weights that
    // dimension with another threshold.
    unsigned dim = t->dimension("T D");
    std::vector<unsigned> groups = {1, t->group("G2"), t->group("G3")};
    ASSERT_TRUE(t->m->addDimensionGroup(dim, groups[1], 1, VqbReal(3.0)));
    std::vector<int> before = t->counts();
    VqbString log;
    ASSERT_TRUE(t->import(text, log)) << log.str();
    std::vector<int> after = t->counts();
    EXPECT_EQ(after[0] - before[0], 1);
    EXPECT_EQ(after[3] - before[3], 4) << "each rule once, though named by members and events";
    EXPECT_EQ(after[4] - before[4], 0) << "the dimension found by name";
    EXPECT_EQ(after[5] - before[5], 1);
    Rows dimgrp = weighed(t->x.repo.rows("SELECT X.GRP_ID, T.THR_NAME, X.WGHT FROM {DIMGRP} X JOIN {THRHLD} T ON "
                                        "T.THR_ID=X.THR_ID WHERE X.DIM_ID=?",
                                        {V(static_cast<int>(dim))}));
    // One threshold per dimension and board: G2 keeps the one it had.
    Rows expected = {{std::to_string(groups[0]), "T T", "1"}, {std::to_string(groups[1]), "Default", "3"},
                     {std::to_string(groups[2]), "T T", "1"}};
    EXPECT_EQ(dimgrp, expected);

    // The same document again: nothing changes.
    Rows rows = t->taskRows("T");
    ASSERT_TRUE(t->import(text, log)) << log.str();
    EXPECT_EQ(t->counts(), after);
    EXPECT_EQ(t->taskRows("T"), rows);
}

TEST_P(MonitorImpExp, UpdateReplacesMembersAndEventsAllOrNothing) {
    unsigned job = t->sampleTask("U");
    std::string text = t->x.exportOf(job, "Task");
    VqbString error;
    ASSERT_TRUE(t->update(job, "Task", t->code(job), text, error)) << error.str();
    Rows rows = t->taskRows("U");
    ASSERT_TRUE(t->m->clearJobRules(job));
    ASSERT_TRUE(t->m->addRuleEvent(job, t->idOf("SELECT RU_ID FROM {RULE} WHERE RU_DESC=?", "U R2"), 7, "X", "x"));
    ASSERT_TRUE(t->update(job, "Task", t->code(job), text, error)) << error.str();
    EXPECT_EQ(t->taskRows("U"), rows);

    // A member without DIM_ID takes the default dimension; an event without a rule is skipped
    // but still numbered.
    std::string edited = replaced(text, "name=\"DIM_ID\"", "name=\"X_DIM\"");
    size_t rule = edited.find("<list name=\"Rule\">");
    ASSERT_NE(rule, std::string::npos);
    size_t end = edited.find("\n        </list>", rule) + 16;
    edited.erase(rule, end - rule);
    ASSERT_TRUE(t->update(job, "Task", t->code(job), edited, error)) << error.str();
    EXPECT_EQ(t->x.repo.rows("SELECT DISTINCT DIM_ID FROM {JBRUME} WHERE JB_ID=?", {V(static_cast<int>(job))}),
              Rows({{"1"}}));
    EXPECT_EQ(sorted(t->x.repo.rows("SELECT EV_SEQ, EV_CODE FROM {RULEVT} WHERE JB_ID=?", {V(static_cast<int>(job))})),
              Rows({{"1", "E1"}, {"2", "E2"}}));

    // A refused rule event half-way leaves the task as it was.
    Rows now = t->taskRows("U");
    ASSERT_TRUE(t->x.repo.refuse(Refused::Insert, "RULEVT"));
    EXPECT_FALSE(t->update(job, "Task", t->code(job), text, error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(t->x.repo.allow(Refused::Insert, "RULEVT"));
    EXPECT_EQ(t->taskRows("U"), now);

    // Import into an empty task table is refused the same way: no task half made.
    ASSERT_TRUE(t->x.repo.exec("DELETE FROM {RULEVT}") && t->x.repo.exec("DELETE FROM {JBRUME}") &&
                t->x.repo.exec("DELETE FROM {MJOB}"));
    std::vector<int> before = t->counts();
    ASSERT_TRUE(t->x.repo.refuse(Refused::Insert, "JBRUME"));
    EXPECT_FALSE(t->import(text, error));
    ASSERT_TRUE(t->x.repo.allow(Refused::Insert, "JBRUME"));
    EXPECT_EQ(t->counts(), before);
}

TEST_P(MonitorImpExp, DeleteIsRefusedWhileExecutedAndAnnouncedOnce) {
    ScopedRecordingEventManager events;
    unsigned job = t->task("D");
    ASSERT_TRUE(t->x.repo.exec("INSERT INTO {EXEC} (EX_ID, JB_ID, EX_NROWS) VALUES (?, ?, 5)",
                               {V(static_cast<int>(job)), V(static_cast<int>(job))}));
    VqbString error;
    std::string path = "/D";
    EXPECT_FALSE(t->x.manager->deleteObject(VqbString(path), "Task", error));
    EXPECT_EQ(t->x.repo.count("MJOB", "JB_ID=?", {V(static_cast<int>(job))}), 1);
    ASSERT_TRUE(t->x.repo.exec("DELETE FROM {EXEC}"));
    size_t seen = events.events().size();
    ASSERT_TRUE(t->x.manager->deleteObject(VqbString(path), "Task", error)) << error.str();
    EXPECT_EQ(t->x.repo.count("MJOB", "JB_ID=?", {V(static_cast<int>(job))}), 0);
    std::vector<std::string> posted;
    for (size_t i = seen; i < events.events().size(); ++i)
        if (events.events()[i].kind == RecordedRepositoryEvent::Event) posted.push_back(events.events()[i].describe());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_NE(posted[0].find(", 1, Task, " + std::to_string(job) + ","), std::string::npos) << posted[0];
}

TEST_P(MonitorImpExp, HostileTaskDocumentsGiveAClearResult) {
    unsigned job = t->sampleTask("H");
    std::string text = t->x.exportOf(job, "Task");
    ASSERT_TRUE(t->x.repo.exec("DELETE FROM {RULEVT}") && t->x.repo.exec("DELETE FROM {JBRUME}") &&
                t->x.repo.exec("DELETE FROM {MJOB}"));
    const std::string property = "<property name=\"";
    size_t members = text.find("\n    </list>", text.find("<list name=\"JobRuleMembers\">"));
    size_t last = text.rfind("\n      <object type=\"JobRuleMember\"", members);
    std::string many = text.substr(0, members);
    for (int i = 0; i < 10000; ++i) many += text.substr(last, members - last);
    many += text.substr(members);
    size_t dimension = text.find(">", text.find("keycolumn=\"DIM_ID\"")) + 1;
    std::string forged = text.substr(0, dimension) + property + "TARGETID\">99</property>" + text.substr(dimension);
    struct Case {
        const char* what;
        std::string document;
        bool ok;
        Rows weights;
    } cases[] = {
        {"members naming absent keys", replaced(text, property + "RU_ID\">", property + "RU_ID\">9999"), false, {}},
        {"forged TARGETID", forged, true, {}},
        {"non-numeric weights",
         replaced(replaced(text, property + "WGHT\">2.5<", property + "WGHT\">heavy<"), property + "WGHT\">0.5<",
                  property + "WGHT\"><"),
         true,
         {{"1"}, {"1"}, {"1"}}},
        {"10,000 members", many, true, {}},
    };
    for (const Case& c : cases) {
        std::vector<int> before = t->counts();
        VqbString log;
        EXPECT_EQ(t->import(c.document, log), c.ok) << c.what << ": " << log.str();
        if (!c.ok) {
            EXPECT_FALSE(log.isEmpty()) << c.what;
            EXPECT_EQ(t->counts(), before) << c.what;
        } else {
            EXPECT_EQ(t->x.repo.count("JBRUME"), 3) << c.what;
            EXPECT_EQ(t->x.repo.count("JBRUME", "DIM_ID NOT IN (SELECT DIM_ID FROM {DIMENS})"), 0) << c.what;
            if (!c.weights.empty()) {
                EXPECT_EQ(weighed(t->x.repo.rows("SELECT WGHT FROM {JBRUME}")), c.weights) << c.what;
            }
        }
        ASSERT_TRUE(t->x.repo.exec("DELETE FROM {RULEVT}") && t->x.repo.exec("DELETE FROM {JBRUME}") &&
                    t->x.repo.exec("DELETE FROM {MJOB}"));
    }
}

TEST_P(MonitorImpExp, SourcesDimensionsAndThresholds) {
    Monitor other(GetParam());
    ASSERT_TRUE(other.ready());
    struct Kind {
        const char* type;
        std::string row;  // of the object named ?, as both repositories should hold it
        std::function<unsigned(Monitor&, const std::string&)> make;
        int byNewUuid;  // rows a document of a known name but unknown UUID adds
    } kinds[] = {
        {"Source", "SELECT ES_ID, ES_NAME, ES_UUID FROM {EXSRC} WHERE ES_NAME=?",
         [](Monitor& m, const std::string& name) {
             uint32_t id = 0;
             EXPECT_TRUE(m.m->addSource(VqbString(name), vqbNewUUID(), "u", 0, &id));
             return id;
         },
         1},
        {"Dimension", "SELECT DIM_ID, DIM_NAME, UUID, DIM_DESC FROM {DIMENS} WHERE DIM_NAME=?",
         [](Monitor& m, const std::string& name) { return m.dimension(name); }, 0},
        {"Threshold",
         "SELECT THR_ID, THR_NAME, UUID, THR_DESC, NAME_0, START_0, END_0, COLOR_0, NAME_1, NAME_2 FROM {THRHLD} WHERE "
         "THR_NAME=?",
         [](Monitor& m, const std::string& name) { return m.threshold(name); }, 0},
    };
    auto rowOf = [](Monitor& m, const Kind& k, const std::string& name) {
        Rows r = weighed(m.x.repo.rows(k.row, {V(name)}));
        for (auto& row : r) row.erase(row.begin());  // ids differ between repositories
        return r;
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.type);
        const std::string name = std::string(k.type) + " one";
        unsigned id = k.make(*t, name);
        std::string text = t->x.exportOf(id, k.type);
        VqbString log;
        ASSERT_TRUE(other.import(text, log)) << log.str();
        EXPECT_EQ(rowOf(other, k, name), rowOf(*t, k, name));
        int rows = other.x.repo.count(k.row.substr(k.row.find('{') + 1, k.row.find('}') - k.row.find('{') - 1).c_str());
        ASSERT_TRUE(other.import(text, log)) << log.str();
        std::string uuid = rowOf(*t, k, name)[0][1];
        ASSERT_TRUE(other.import(replaced(text, uuid, vqbNewUUID().str()), log)) << log.str();
        EXPECT_EQ(other.x.repo.count(k.row.substr(k.row.find('{') + 1, k.row.find('}') - k.row.find('{') - 1).c_str()),
                  rows + k.byNewUuid)
            << "known by UUID, then by name";

        // An update naming another object's UUID: reported, none stored.
        unsigned second = k.make(other, name + " 2");
        Rows before = rowOf(other, k, name + " 2");
        Reports reports;
        VqbString error;
        ASSERT_TRUE(other.x.manager->updateObjectOnImport(second, VqbString(k.type), VqbString(before[0][1]),
                                                          VqbString(replaced(text, "\"t " + name, "\"new")), 0, error,
                                                          &reports))
            << error.str();
        EXPECT_NE(reports.all.find("Changing '" + std::string(k.type) + "' UUID from original \"" + uuid + "\""),
                  std::string::npos)
            << reports.all;
        Rows after = rowOf(other, k, name + " 2");
        EXPECT_EQ(after[0][1], before[0][1]);

        // Deleting by path; the default (id 1) is kept and the answer is still true.
        ASSERT_TRUE(other.x.manager->deleteObject(VqbString("/" + name + " 2"), VqbString(k.type), error)) << error.str();
        EXPECT_TRUE(rowOf(other, k, name + " 2").empty());
        if (std::string(k.type) == "Source") continue;
        Rows defaults = other.x.repo.rows(k.row.substr(0, k.row.find("WHERE")) + "WHERE " + k.row.substr(7, k.row.find(',') - 7) + "=1");
        ASSERT_EQ(defaults.size(), 1u);
        EXPECT_TRUE(other.x.manager->deleteObject(VqbString("/" + defaults[0][1]), VqbString(k.type), error)) << error.str();
        EXPECT_EQ(other.x.repo.rows(k.row.substr(0, k.row.find("WHERE")) + "WHERE " + k.row.substr(7, k.row.find(',') - 7) + "=1"), defaults);
    }
}

TEST_P(MonitorImpExp, ThresholdBandsReadFromDocuments) {
    unsigned id = t->threshold("Bands", 0);
    std::string text = t->x.exportOf(id, "Threshold");
    ASSERT_TRUE(t->x.repo.exec("DELETE FROM {THRHLD} WHERE THR_ID=?", {V(static_cast<int>(id))}));
    const std::string columns = "NAME_0, START_0, END_0, COLOR_0, NAME_1, START_1, NAME_2, NAME_3, NAME_6";
    auto band = [](int i, const char* name, const char* start, const char* end, const char* color) {
        std::string p;
        const char* values[] = {name, start, end, color};
        const char* fields[] = {"NAME", "START", "END", "COLOR"};
        for (int f = 0; f < 4; ++f)
            if (values[f]) p += "<property name=\"" + std::string(fields[f]) + "_" + std::to_string(i) + "\">" + values[f] + "</property>";
        return p;
    };
    std::string nine;
    for (int i = 0; i < 9; ++i) nine += band(i, ("b" + std::to_string(i)).c_str(), "1", "2", "3");
    struct Case {
        const char* what;
        std::string properties;
        std::vector<std::string> stored;  // the columns above
    } cases[] = {
        {"stops at the first empty band", band(0, "a", "1", "2.5", "7") + band(1, "b", "2.5", "4", "8") + band(3, "d", "5", "6", "9"),
         {"a", "1", "2.5", "7", "b", "2.5", "<null>", "<null>", "<null>"}},
        {"a name alone", band(0, "only", nullptr, nullptr, nullptr), {"only", "0", "0", "0", "<null>", "<null>", "<null>", "<null>", "<null>"}},
        {"values that are not numbers", band(0, "x", "low", "1e999", "red") + band(1, nullptr, "3", nullptr, nullptr),
         {"x", "0", "0", "0", "", "3", "<null>", "<null>", "<null>"}},
        {"never more than seven", nine, {"b0", "1", "2", "3", "b1", "1", "b2", "b3", "b6"}},
    };
    for (const Case& c : cases) {
        size_t at = text.find("<property name=\"THR_NAME\"");
        std::string document = text.substr(0, at) + c.properties + text.substr(at);
        for (const char* column : {"NAME_", "START_", "END_", "COLOR_"})
            for (int i = 0; i < 7; ++i) {
                std::string empty = "<property name=\"" + std::string(column) + std::to_string(i) + "\" null=\"1\" />";
                document = replaced(document, empty, "");
            }
        VqbString log;
        ASSERT_TRUE(t->import(document, log)) << c.what << ": " << log.str();
        Rows stored = weighed(t->x.repo.rows("SELECT " + columns + " FROM {THRHLD} WHERE THR_NAME='Bands'"));
        ASSERT_EQ(stored.size(), 1u) << c.what;
        EXPECT_EQ(stored[0], weighed({c.stored})[0]) << c.what;
        ASSERT_TRUE(t->x.repo.exec("DELETE FROM {THRHLD} WHERE THR_NAME='Bands'"));
    }
}

REPOS_EVERY_PLACE(MonitorImpExp);
