// Profile jobs carried between repositories, imported twice, updated in place and broken midway.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "impexp_fixture.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"

namespace {

// The job's child rows by name, without ids: comparable between repositories.
const std::vector<std::string> kJobRows = {
    "SELECT D.DSN_NAME, D.DSN_CONN, D.DSN_TEXT FROM {JDSN} D JOIN {JSETUP} S ON S.SU_ID=D.SU_ID WHERE S.SU_NAME=?",
    "SELECT T.TBL_NAME, T.TBL_SCH, T.SAMP_INT, T.MAX_ROW FROM {JTABLE} T JOIN {JSETUP} S ON S.SU_ID=T.SU_ID "
    "WHERE S.SU_NAME=?",
    "SELECT T.TBL_NAME, F.FLD_NAME, F.MET_OVRD, F.ORD_POS FROM {JFLD} F JOIN {JTABLE} T ON T.TBL_ID=F.TBL_ID "
    "JOIN {JSETUP} S ON S.SU_ID=F.SU_ID WHERE S.SU_NAME=?",
    "SELECT F.FLD_NAME, M.MET_NAME, M.MET_VAL FROM {JFLDME} M JOIN {JFLD} F ON F.FLD_ID=M.FLD_ID "
    "JOIN {JSETUP} S ON S.SU_ID=M.SU_ID WHERE S.SU_NAME=?",
    "SELECT F.FLD_NAME, P.PRP_NAME, P.PRP_VAL FROM {JFLDPR} P JOIN {JFLD} F ON F.FLD_ID=P.FLD_ID "
    "JOIN {JSETUP} S ON S.SU_ID=P.SU_ID WHERE S.SU_NAME=?",
    "SELECT F.FLD_NAME, L.LNK_DSN, L.LNK_TBL, L.LNK_NAME, L.LNK_TYPE FROM {JLNKFL} L JOIN {JFLD} F ON "
    "F.FLD_ID=L.FLD_ID JOIN {JSETUP} S ON S.SU_ID=L.SU_ID WHERE S.SU_NAME=?",
    "SELECT G.MET_NAME, G.MET_VAL FROM {JGMET} G JOIN {JSETUP} S ON S.SU_ID=G.SU_ID WHERE S.SU_NAME=?",
    "SELECT K.SU_KEY, K.SU_VAL FROM {JKEYVL} K JOIN {JSETUP} S ON S.SU_ID=K.SU_ID WHERE S.SU_NAME=?",
    "SELECT C.CH_DESC, C.CH_TBL, P.CP_NAME, P.CP_VAL FROM {JCHART} C JOIN {JCHPRP} P ON P.CH_ID=C.CH_ID "
    "JOIN {JSETUP} S ON S.SU_ID=C.SU_ID WHERE S.SU_NAME=?",
    "SELECT A.AL_DESC, A.AL_RULE, P.AP_NAME, P.AP_VAL FROM {JALERT} A JOIN {JALPRP} P ON P.AL_ID=A.AL_ID "
    "JOIN {JSETUP} S ON S.SU_ID=A.SU_ID WHERE S.SU_NAME=?",
    "SELECT T.BR_NAME, T.LOG_TH, M.FLD_NAME, M.BR_FLD FROM {JTBLRU} T JOIN {JTBLMA} M ON M.SEQ_ID=T.SEQ_ID AND "
    "M.TBL_ID=T.TBL_ID JOIN {JSETUP} S ON S.SU_ID=T.SU_ID WHERE S.SU_NAME=?",
    // Each table metric with its own maps.
    "SELECT E.CM_NAME, E.CM_UID, A.CM_IN, A.CM_OUT, A.CM_FLD FROM {JTBLME} E JOIN {JCMDMA} A ON A.SEQ_ID=E.SEQ_ID "
    "AND A.TBL_ID=E.TBL_ID AND A.CM_ID=E.CM_ID JOIN {JSETUP} S ON S.SU_ID=E.SU_ID WHERE S.SU_NAME=?",
    "SELECT R.CFG_NAME, R.MC_DEF, F.FLD_TBL, F.FLD_NAME FROM {JFRDA} F JOIN {JRCFGS} R ON R.CFG_ID=F.CFG_ID "
    "JOIN {JSETUP} S ON S.SU_ID=F.SU_ID WHERE S.SU_NAME=?",
};

// One part per kind of row, each led by its query.
std::vector<Rows> jobRows(ImpExp& x, const std::string& name) {
    std::vector<Rows> all;
    for (const std::string& query : kJobRows) {
        all.push_back(sorted(x.repo.rows(query, {VqbDatavar(name)})));
        all.back().insert(all.back().begin(), {query.substr(0, 40)});
    }
    return all;
}

void expectSameJob(const std::vector<Rows>& actual, const std::vector<Rows>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) EXPECT_EQ(actual[i], expected[i]);
}

size_t rowCount(const std::vector<Rows>& parts) {
    size_t n = 0;
    for (const Rows& part : parts) n += part.size();
    return n;
}

// A job with two data sources, tables, fields with metrics, properties and links, and settings.
unsigned addJob(ImpExp& x, const std::string& name, int fields) {
    ReposHeld<ProfileRepositoryDataAccess> p(x.repository->createProfileRepositoryDataAccess());
    unsigned job = p->addJobSetup(name.c_str(), "a job", ("uuid-" + name).c_str(), 1.5, 2.5, "me", "me", 0);
    EXPECT_NE(job, 0xFFFFFFFFu);
    unsigned rule = x.repo.rows("SELECT RU_ID FROM {RULE} WHERE RU_DESC='R/1'").empty()
                        ? x.addRule("R/1", {"in"}, {"M1", "M2"})
                        : 0;
    bool first = true;
    for (const char* dsn : {"sales", "stock"}) {
        unsigned d = p->addJobDataSource(job, dsn, "DSN=x", "");
        for (const char* table : {"orders", "items"}) {
            unsigned t = p->addJobTable(job, static_cast<int>(d), "", "public", table, "", "", "", 10, "", ",", "\"",
                                        0, 0, 500, "", 1, 2, "", true);
            if (first && rule) {
                first = false;
                unsigned seq = p->insertJobBusinessRule(job, t, rule, "R/1", 1, 5, "br-1");
                EXPECT_TRUE(p->addJobRuleFieldMapping(job, seq, t, rule, "R/1", "orders_f0", "in"));
                for (const char* metric : {"M1", "M2"}) {
                    unsigned m = x.metricId(metric);
                    unsigned mseq = p->addJobTableCustomMetric(job, t, m, metric, std::string("uid-") + metric);
                    EXPECT_TRUE(p->addJobCustomMetricMappingEx(job, t, m, mseq, metric, "in", std::string("out-") + metric,
                                                               "orders_f0", "N"));
                }
            }
            for (int f = 0; f < fields; ++f) {
                std::string field = std::string(table) + "_f" + std::to_string(f);
                unsigned id = p->addJobField(job, d, t, field.c_str(), "", f);
                EXPECT_TRUE(p->addJobFieldMetric(job, d, t, id, "Count", "1") &&
                            p->addJobFieldMetric(job, d, t, id, "Unique", "0") &&
                            p->addJobFieldProperty(job, d, t, id, "Pattern", "A9") &&
                            p->addJobLinkedField(job, id, "sales", "", "public", "orders", "key", "FK", "t"));
            }
        }
    }
    EXPECT_TRUE(p->addJobGlobalMetric(job, "Rows", "yes") && p->addJobKeyValue(job, "depth", "3"));
    unsigned chart = p->addJobChart(job, "sales", "", "public", "orders", "orders_f0", "", "bars", "");
    unsigned alert = p->addJobAlert(job, "sales", "", "public", "orders", "", "", "late", "r1", "", "T", "al-1");
    unsigned config = p->addJobRedundancyConfig(job, "dupes", "", "exact", "high", "en");
    EXPECT_TRUE(p->addJobChartProperty(job, chart, "x", 10, "1") && p->addJobChartProperty(job, chart, "y", 20, "2") &&
                p->addJobChartProperty(job, chart, "z", 30, "3") && p->setJobAlertProperty(job, alert, "mail", "a@b") &&
                p->addJobFieldRedundancy(job, config, "sales", "", "public", "orders", "orders_f0", "db"));
    return job;
}

class ProfileJobs : public ImpExpTest {
protected:
    std::string exported(unsigned job) {
        VqbString out, error;
        EXPECT_TRUE(x->manager->exportObject(job, "ProfileJob", "", out, error, nullptr)) << error.str();
        return out.str();
    }
    unsigned jobId(const std::string& name) {
        Rows id = x->repo.rows("SELECT SU_ID FROM {JSETUP} WHERE SU_NAME=?", {VqbDatavar(name)});
        return id.empty() ? 0 : static_cast<unsigned>(std::stoul(id[0][0]));
    }
};

}  // namespace

TEST(ProfileJobRoundTrip, FileToPostgresAndBack) {
    ImpExp file(Place::File), pg(Place::Postgres);
    if (!file.repo.connection() || !pg.repo.connection()) GTEST_SKIP();
    ASSERT_TRUE(file.ready() && pg.ready());
    unsigned job = addJob(file, "Job <one> & 'two'", 3);
    std::vector<Rows> source = jobRows(file, "Job <one> & 'two'");
    ASSERT_GE(rowCount(source), 80u);
    VqbString out, error, log;
    ASSERT_TRUE(file.manager->exportObject(job, "ProfileJob", "", out, error, nullptr)) << error.str();
    ASSERT_TRUE(pg.manager->importObject(out, 0, log)) << log.str();
    // The dependent rule is made under a name a rule may have, and the table rule says so.
    std::vector<Rows> expected = source;
    for (Rows& part : expected)
        for (auto& row : part)
            if (row.size() > 1 && row[0] == "R/1") row[0] = "R_1";
    expectSameJob(jobRows(pg, "Job <one> & 'two'"), expected);
    EXPECT_EQ(pg.repo.rows("SELECT RU_DESC FROM {RULE}"), Rows({{"R_1"}}));
    EXPECT_EQ(pg.repo.rows("SELECT CP_NAME, CP_SEQ FROM {JCHPRP} ORDER BY CP_NAME"),
              Rows({{"x", "1"}, {"y", "2"}, {"z", "3"}}))
        << "numbered afresh in document order";
    // A new UUID for every import, the description and creator kept.
    EXPECT_EQ(pg.repo.rows("SELECT SU_DESC, SU_CRUSR FROM {JSETUP}"), Rows({{"a job", "me"}}));
    EXPECT_EQ(pg.repo.count("JSETUP", "SU_UUID='uuid-Job <one> & ''two'''"), 0);

    Rows back = pg.repo.rows("SELECT SU_ID FROM {JSETUP}");
    ASSERT_EQ(back.size(), 1u);
    ASSERT_TRUE(pg.manager->exportObject(std::stoul(back[0][0]), "ProfileJob", "", out, error, nullptr));
    ASSERT_TRUE(file.repo.exec("DELETE FROM {JSETUP} WHERE SU_ID=" + std::to_string(job)));
    ASSERT_TRUE(file.manager->importObject(out, 0, log)) << log.str();
    expectSameJob(jobRows(file, "Job <one> & 'two'"), source);
}

TEST_P(ProfileJobs, ImportTwiceUpdateAndFailuresMidway) {
    unsigned job = addJob(*x, "J", 2);
    std::string text = exported(job);
    std::vector<Rows> before = jobRows(*x, "J");
    VqbString log;
    // Same folder, same name: refused whole, nothing of a second job left behind.
    EXPECT_FALSE(x->manager->importObject(VqbString(text), 0, log));
    EXPECT_EQ(x->repo.count("JSETUP"), 1);
    EXPECT_EQ(x->repo.count("JDSN"), 2);

    // An update puts back exactly the document's rows.
    ReposHeld<ProfileRepositoryDataAccess> p(x->repository->createProfileRepositoryDataAccess());
    ASSERT_TRUE(p->addJobKeyValue(job, "extra", "1") && p->addJobDataSource(job, "extra", "", "") != 0xFFFFFFFFu);
    VqbString error;
    ASSERT_TRUE(x->manager->updateObjectOnImport(job, "ProfileJob", "uuid-J", VqbString(text), 0, error, nullptr))
        << error.str();
    expectSameJob(jobRows(*x, "J"), before);
    EXPECT_EQ(jobId("J"), job);

    // A refused insert midway leaves the job as it was, for an update and an import alike.
    ASSERT_TRUE(x->repo.refuse(Refused::Insert, "JFLD"));
    EXPECT_FALSE(x->manager->updateObjectOnImport(job, "ProfileJob", "uuid-J", VqbString(text), 0, error, nullptr));
    EXPECT_FALSE(error.isEmpty());
    expectSameJob(jobRows(*x, "J"), before);
    int jobs = x->repo.count("JSETUP"), sources = x->repo.count("JDSN");
    EXPECT_FALSE(x->manager->importObjectAtPath("J2", VqbString(text), error));
    EXPECT_EQ(x->repo.count("JSETUP"), jobs);
    EXPECT_EQ(x->repo.count("JDSN"), sources);
    ASSERT_TRUE(x->repo.allow(Refused::Insert, "JFLD"));

    // Under a new name a second job with table rules of its own; a rule renamed since the table
    // rule was made still travels, under its new name.
    ASSERT_TRUE(x->manager->importObjectAtPath("J2", VqbString(text), error)) << error.str();
    ASSERT_TRUE(x->repo.exec("UPDATE {RULE} SET RU_DESC='Renamed' WHERE RU_DESC='R/1'"));
    ASSERT_TRUE(x->manager->importObjectAtPath("J3", VqbString(exported(job)), error)) << error.str();
    for (const char* name : {"J", "J2", "J3"})
        EXPECT_EQ(x->repo.count("JTBLRU", "SU_ID=?", {VqbDatavar(static_cast<int>(jobId(name)))}), 1) << name;
    EXPECT_EQ(x->repo.rows("SELECT T.BR_NAME FROM {JTBLRU} T JOIN {JSETUP} S ON S.SU_ID=T.SU_ID WHERE S.SU_NAME='J3'"),
              Rows({{"Renamed"}}));
    EXPECT_EQ(x->repo.count("RULE"), 1) << "the dependent rule is made once";
}

TEST_P(ProfileJobs, DocumentsOfOddShape) {
    struct Case {
        const char* what;
        std::string body;
        int dataSources;
        int fields;
    };
    auto object = [](const std::string& type, const std::string& properties, const std::string& lists = "") {
        return "<object type=\"" + type + "\" uuid=\"" + type + "\">" + properties + lists + "</object>";
    };
    auto property = [](const std::string& name, const std::string& value) {
        return "<property name=\"" + name + "\">" + value + "</property>";
    };
    auto list = [](const std::string& name, const std::string& objects) {
        return "<list name=\"" + name + "\">" + objects + "</list>";
    };
    std::string table = object("Table", property("TBL_NAME", "t"),
                               list("Fields", object("Field", property("FLD_NAME", "a") +
                                                                  property("ORD_POS", "99999999999999999999")) +
                                                  object("Field", property("FLD_NAME", "A"))));
    std::vector<Case> cases = {
        {"no lists", "", 0, 0},
        {"two data sources of one name, fields of one name in any case",
         list("DSNs", object("DSN", property("DSN_NAME", "s")) +
                          object("DSN", property("DSN_NAME", "s"), list("Tables", table))),
         1, 1},
        {"element of the wrong type", list("DSNs", table + object("DSN", property("DSN_NAME", "d"))), 1, 0},
        {"field configuration without its redundancy configuration",
         list("FieldCfgs", object("FieldCfg", property("CFG_ID", "999") + property("FLD_NAME", "x"))), 0, 0},
        {"forged TARGETID", list("DSNs", object("DSN", property("DSN_NAME", "d") + property("TARGETID", "7"),
                                                list("Tables", table))), 1, 1},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        unsigned job = addJob(*x, "Shape" + std::to_string(i), 1);
        std::string text = exported(job);
        // Swap the exported lists for the case's own.
        size_t open = text.find("<list name=\"DSNs\">");
        size_t close = text.find("<list name=\"GlobalMetrics\">");
        ASSERT_TRUE(open != std::string::npos && close != std::string::npos) << text;
        text = text.substr(0, open) + c.body + text.substr(close);
        VqbString error;
        ASSERT_TRUE(x->manager->updateObjectOnImport(job, "ProfileJob", "", VqbString(text), 0, error, nullptr))
            << c.what << ": " << error.str();
        EXPECT_EQ(x->repo.count("JDSN", "SU_ID=?", {VqbDatavar(static_cast<int>(job))}), c.dataSources)
            << c.what;
        EXPECT_EQ(x->repo.count("JFLD", "SU_ID=?", {VqbDatavar(static_cast<int>(job))}), c.fields)
            << c.what;
        EXPECT_EQ(x->repo.count("JFRDA", "SU_ID=?", {VqbDatavar(static_cast<int>(job))}), 0) << c.what;
    }
}

TEST_P(ProfileJobs, DeleteByPath) {
    unsigned job = addJob(*x, "Gone", 1);
    ASSERT_NE(job, 0u);
    VqbString error;
    ASSERT_TRUE(x->manager->deleteObject("Gone", "ProfileJob", error)) << error.str();
    EXPECT_EQ(x->repo.count("JSETUP"), 0);
    EXPECT_EQ(x->repo.count("JFLD"), 0);
}

REPOS_EVERY_PLACE(ProfileJobs);

TEST_P(ProfileJobs, FailuresReachTheErrorText) {
    unsigned job = addJob(*x, "F", 1);
    std::string text = exported(job);
    // A table metric whose custom metric element is gone names the table metric.
    std::string orphan = text;
    for (size_t at; (at = orphan.find("\"CustomMetrics\"")) != std::string::npos;)
        orphan.replace(at, 15, "\"Elsewhere\"");
    struct Case {
        const char* what;
        const char* refusedUpdates;  // null: nothing refused
        std::string document;
        const char* error;
    };
    for (const Case& c : std::vector<Case>{
             {"header update refused", "JSETUP", text, "Error updating 'ProfileJob' \"F\""},
             {"table metric without its custom metric", nullptr, orphan, "custom metric name=M1"}}) {
        SCOPED_TRACE(c.what);
        if (c.refusedUpdates) {
            ASSERT_TRUE(x->repo.refuse(Refused::Update, c.refusedUpdates));
        }
        VqbString error;
        EXPECT_FALSE(
            x->manager->updateObjectOnImport(job, "ProfileJob", "", VqbString(c.document), 0, error, nullptr));
        EXPECT_NE(error.str().find(c.error), std::string::npos) << error.str();
        if (c.refusedUpdates) {
            ASSERT_TRUE(x->repo.allow(Refused::Update, c.refusedUpdates));
        }
        EXPECT_EQ(x->repo.count("JTBLME", "SU_ID=?", {VqbDatavar(static_cast<int>(job))}), 2) << "left as it was";
    }
}
