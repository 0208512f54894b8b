#include "impexp_fixture.h"

#include "repadmimpl.h"
#include "repositoryimpl.h"
#include "test_support.h"

ImpExp::ImpExp(Place place) : repo(place) {
    if (!repo.connection()) return;
    config.set("REPOS/TABLE_LIST_PATH", tableListDir.path().c_str());
    admin.reset(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
    if (!admin) return;
    if (place == Place::Postgres) {
        repository = admin->connectRepository(VqbString(pgConnection()), VqbString(repo.prefix()), false, nullptr);
    } else {
        RepositoryImpl* opened = new RepositoryImpl();
        VqbString error;
        const bool direct = place == Place::Direct;
        if (opened->open(false, static_cast<RepositoryAdminImpl*>(admin.get()),
                         direct ? REPOS_ACCESS_SQLITE_FILE : REPOS_ACCESS_CONNECTOR,
                         VqbString(direct ? repo.file() : "VQXTYPE=SQLITE;FILE=" + repo.file()), VqbString(""),
                         VqbString(""), nullptr, error))
            repository = opened;
        else
            ADD_FAILURE() << "opening the repository: " << error.str();
        if (!repository) opened->release();
    }
    if (!repository) return;
    common.reset(repository->createCommonRepositoryDataAccess());
    manager.reset(repository->createRepositoryImportExportManager());
}

ImpExp::~ImpExp() {
    manager.reset();
    common.reset();
    if (repository) repository->release();
}

unsigned ImpExp::addRule(const std::string& name, std::vector<std::string> fields, std::vector<std::string> metrics,
                         int folder) {
    unsigned id = common->addRule(VqbString(name), "B", VqbString("expr of " + name), "G", VqbString(), "tester",
                                  vqbNewUUID(), folder, VqbString("comment"), VqbString(""));
    EXPECT_TRUE(id != 0 && id != 0xFFFFFFFFu) << common->getErrorMessage().str();
    for (const std::string& field : fields) EXPECT_TRUE(common->addRuleField(id, VqbString(field), VqbString("d " + field)));
    unsigned seq = 1;
    for (const std::string& metric : metrics) {
        unsigned cm = metricId(metric);
        if (cm == 0xFFFFFFFFu) {
            cm = common->addCustomMetric(VqbString(metric), "pre", VqbString("exp " + metric), VqbString());
            EXPECT_TRUE(common->addCustomMetricField(cm, "F1", "N"));
            EXPECT_TRUE(common->addCustomMetricField(cm, "F2", VqbString()));
        }
        EXPECT_TRUE(common->addRuleCustomMetric(id, cm, seq));
        if (!fields.empty()) {
            EXPECT_TRUE(common->addCustomMetricFieldMap(id, cm, seq, VqbString(fields[0]), "F1", "N"));
        }
        ++seq;
    }
    return id;
}

unsigned ImpExp::metricId(const std::string& name) {
    Rows r = repo.rows("SELECT CM_ID FROM {CUSTM} WHERE CM_DESC=?", {VqbDatavar(name)});
    return r.empty() ? 0xFFFFFFFFu : static_cast<unsigned>(std::stoul(r[0][0]));
}

std::string ImpExp::exportOf(unsigned id, const char* type, VqbString* error) {
    VqbString out, err;
    bool ok = manager->exportObject(id, VqbString(type), VqbString(""), out, err, nullptr);
    if (error) *error = err;
    EXPECT_TRUE(ok || error) << type << " " << id << ": " << err.str();
    return ok ? out.str() : std::string();
}

Rows ImpExp::ruleRows(const std::string& name) {
    Rows all;
    const std::vector<std::string> queries = {
        "SELECT R.RU_DESC, R.RU_TYPE, R.RU_EXPR, R.RU_GROUP, R.RU_META, R.RU_UUID, R.RU_COMM, R.RU_DISP FROM {RULE} R "
        "WHERE R.RU_DESC=?",
        "SELECT F.FI_NAME, F.RF_SEQ, M.FI_DESC FROM {RUFIME} F JOIN {RULE} R ON R.RU_ID=F.RU_ID "
        "JOIN {MFLD} M ON M.FI_NAME=F.FI_NAME WHERE R.RU_DESC=?",
        "SELECT C.CM_DESC, C.CM_PREXP, C.CM_EXP, C.CM_POSTXP, X.RM_SEQ FROM {RUCMME} X JOIN {RULE} R ON "
        "R.RU_ID=X.RU_ID JOIN {CUSTM} C ON C.CM_ID=X.CM_ID WHERE R.RU_DESC=?",
        "SELECT C.CM_DESC, F.CM_FLDNM, F.CM_TYPE FROM {CMFLD} F JOIN {CUSTM} C ON C.CM_ID=F.CM_ID JOIN {RUCMME} X "
        "ON X.CM_ID=C.CM_ID JOIN {RULE} R ON R.RU_ID=X.RU_ID WHERE R.RU_DESC=?",
        "SELECT C.CM_DESC, P.RM_SEQ, P.FI_NAME, P.CM_FLDNM, P.CM_TYPE FROM {CMFMAP} P JOIN {RULE} R ON "
        "R.RU_ID=P.RU_ID JOIN {CUSTM} C ON C.CM_ID=P.CM_ID WHERE R.RU_DESC=?"};
    for (const std::string& query : queries) {
        Rows part = sorted(repo.rows(query, {VqbDatavar(name)}));
        all.push_back({"--"});
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}
