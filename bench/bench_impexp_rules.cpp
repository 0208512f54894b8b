// Rules exported one document each and imported into an empty repository through the
// import/export manager, beside the same rows read (or written) through the SQLite C API with
// pugixml writing (or parsing) the XML; and the serialisation context's text round trip of a large
// tree beside pugixml's. REPOS_BENCH_ROWS sets the rule count (default 1,000).
#include <pugixml.hpp>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bench_db_support.h"
#include "bench_impexp_support.h"
#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_impexp.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqbutil.h"
#include "vqlog.h"
#include "vqrepmeta.h"

namespace {

using benchimpexp::admin;
using benchimpexp::rowsInto;
using benchimpexp::run;

struct Files {
    benchdb::ScratchDir dir;
    std::string empty;  // an empty repository, copied for each import
    std::string rules;  // the rules to export
    std::vector<std::string> documents;
    std::vector<unsigned> ids;
};

Files& files() {
    static Files f = [] {
        Files made;
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", made.dir.file("").c_str());
        made.empty = made.dir.file("empty.db");
        made.rules = made.dir.file("rules.db");
        if (!admin() || !admin()->createFileRepository(made.empty.c_str())) return made;
        std::filesystem::copy_file(made.empty, made.rules);
        Repository* repository = admin()->openFileRepository(made.rules.c_str(), true);
        CommonRepositoryDataAccess* common = repository->createCommonRepositoryDataAccess();
        common->beginTransaction(true);
        const long n = benchdb::rows(1000);
        for (long r = 0; r < n; ++r) {
            std::string name = "rule " + std::to_string(r);
            unsigned id = common->addRule(name.c_str(), "B", ("expression of " + name).c_str(), "G", "", "u",
                                          vqbNewUUID(), 0, "comment", "");
            made.ids.push_back(id);
            for (int f = 0; f < 10; ++f)
                common->addRuleField(id, ("FIELD" + std::to_string(f)).c_str(), ("field " + std::to_string(f)).c_str());
            for (int m = 0; m < 2; ++m) {
                unsigned cm = common->addCustomMetric((name + " metric " + std::to_string(m)).c_str(), "pre", "exp", "");
                common->addRuleCustomMetric(id, cm, m + 1);
                for (int k = 0; k < 3; ++k) {
                    std::string field = "MF" + std::to_string(k);
                    common->addCustomMetricField(cm, field.c_str(), "N");
                    common->addCustomMetricFieldMap(id, cm, m + 1, ("FIELD" + std::to_string(k)).c_str(),
                                                    field.c_str(), "N");
                }
            }
        }
        common->endTransaction(true);
        common->release();
        RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
        for (unsigned id : made.ids) {
            VqbString out, error;
            manager->exportObject(id, "Rule", "", out, error, nullptr);
            made.documents.push_back(out.str());
        }
        delete manager;
        repository->release();
        return made;
    }();
    return f;
}

void BM_Export_Library(benchmark::State& state) {
    if (files().ids.empty()) return state.SkipWithError("the rules could not be made");
    Repository* repository = admin()->openFileRepository(files().rules.c_str(), true);
    RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
    for (auto _ : state) {
        for (unsigned id : files().ids) {
            VqbString out, error;
            if (!manager->exportObject(id, "Rule", "", out, error, nullptr)) state.SkipWithError(error.asCstr());
            benchmark::DoNotOptimize(out);
        }
    }
    delete manager;
    repository->release();
    state.SetItemsProcessed(state.iterations() * files().ids.size());
}

void BM_Export_Raw(benchmark::State& state) {
    if (files().ids.empty()) return state.SkipWithError("the rules could not be made");
    sqlite3* db = benchdb::rawOpen(files().rules);
    const char* sql[] = {"SELECT * FROM RULE WHERE RU_ID=?",
                         "SELECT A.FI_NAME, A.FI_DESC, B.RF_SEQ FROM MFLD A JOIN RUFIME B ON A.FI_NAME=B.FI_NAME "
                         "WHERE B.RU_ID=?",
                         "SELECT A.CM_ID, A.CM_DESC, A.CM_PREXP, A.CM_EXP, A.CM_POSTXP, B.RM_SEQ FROM CUSTM A JOIN "
                         "RUCMME B ON A.CM_ID=B.CM_ID WHERE B.RU_ID=? ORDER BY A.CM_DESC",
                         "SELECT CM_FLDNM, CM_TYPE FROM CMFLD WHERE CM_ID=? ORDER BY CM_FLDNM",
                         "SELECT * FROM CMFMAP WHERE CM_ID=? AND RU_ID=? ORDER BY CM_FLDNM"};
    sqlite3_stmt* s[5];
    for (int i = 0; i < 5; ++i) sqlite3_prepare_v2(db, sql[i], -1, &s[i], nullptr);
    for (auto _ : state) {
        for (unsigned id : files().ids) {
            pugi::xml_document document;
            pugi::xml_node root = document.append_child("velqorindocument");
            sqlite3_bind_int(s[0], 1, static_cast<int>(id));
            rowsInto(s[0], root, "Rule");
            pugi::xml_node rule = root.first_child();
            sqlite3_bind_int(s[1], 1, static_cast<int>(id));
            rowsInto(s[1], rule.append_child("list"), "Field");
            std::vector<int> metrics;
            sqlite3_bind_int(s[2], 1, static_cast<int>(id));
            while (sqlite3_step(s[2]) == SQLITE_ROW) metrics.push_back(sqlite3_column_int(s[2], 0));
            sqlite3_reset(s[2]);
            sqlite3_bind_int(s[2], 1, static_cast<int>(id));
            pugi::xml_node list = rule.append_child("list");
            rowsInto(s[2], list, "CustomMetric");
            pugi::xml_node metric = list.first_child();
            for (int cm : metrics) {
                sqlite3_bind_int(s[3], 1, cm);
                rowsInto(s[3], metric.append_child("list"), "CustomMetricField");
                sqlite3_bind_int(s[4], 1, cm);
                sqlite3_bind_int(s[4], 2, static_cast<int>(id));
                rowsInto(s[4], metric.append_child("list"), "CustomMetricFieldMap");
                metric = metric.next_sibling();
            }
            std::ostringstream out;
            document.save(out, "  ");
            std::string text = out.str();
            benchmark::DoNotOptimize(text);
        }
    }
    for (sqlite3_stmt* statement : s) sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * files().ids.size());
}

void BM_Import_Library(benchmark::State& state) {
    if (files().documents.empty()) return state.SkipWithError("the rules could not be made");
    std::string target = files().dir.fresh("import");
    std::filesystem::copy_file(files().empty, target);
    Repository* repository = admin()->openFileRepository(target.c_str(), true);
    RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
    // One transaction around the run, as the baseline's: each import nests in it.
    CommonRepositoryDataAccess* outer = repository->createCommonRepositoryDataAccess();
    for (auto _ : state) {
        outer->beginTransaction(true);
        for (const std::string& document : files().documents) {
            VqbString log;
            if (!manager->importObject(document.c_str(), 0, log)) state.SkipWithError(log.asCstr());
        }
        outer->endTransaction(true);
    }
    outer->release();
    delete manager;
    repository->release();
    state.SetItemsProcessed(state.iterations() * files().documents.size());
}

void BM_Import_Raw(benchmark::State& state) {
    if (files().documents.empty()) return state.SkipWithError("the rules could not be made");
    std::string target = files().dir.fresh("raw");
    std::filesystem::copy_file(files().empty, target);
    sqlite3* db = benchdb::rawOpen(target);
    const char* sql[] = {
        "INSERT INTO RULE (RU_ID, RU_DESC, RU_TYPE, RU_EXPR, RU_GROUP, RU_UUID, RU_COMM) VALUES (?,?,?,?,?,?,?)",
        "INSERT OR IGNORE INTO MFLD (FI_NAME, FI_DESC) VALUES (?,?)",
        "INSERT INTO RUFIME (RU_ID, FI_NAME, RF_SEQ) VALUES (?,?,?)",
        "INSERT INTO CUSTM (CM_ID, CM_DESC, CM_PREXP, CM_EXP) VALUES (?,?,?,?)",
        "INSERT INTO RUCMME (RU_ID, CM_ID, RM_SEQ) VALUES (?,?,?)",
        "INSERT INTO CMFLD (CM_ID, CM_FLDNM, CM_TYPE) VALUES (?,?,?)",
        "INSERT INTO CMFMAP (RU_ID, CM_ID, RM_SEQ, FI_NAME, CM_FLDNM, CM_TYPE) VALUES (?,?,?,?,?,?)"};
    sqlite3_stmt* s[7];
    for (int i = 0; i < 7; ++i) sqlite3_prepare_v2(db, sql[i], -1, &s[i], nullptr);
    int ids = 0;
    for (auto _ : state) {
        benchdb::rawExec(db, "BEGIN");
        for (const std::string& document : files().documents) {
            pugi::xml_document parsed;
            parsed.load_buffer(document.data(), document.size());
            pugi::xml_node rule = parsed.document_element().child("object");
            std::string rid = std::to_string(++ids);
            run(s[0], {rid, benchimpexp::property(rule, "RU_DESC"), benchimpexp::property(rule, "RU_TYPE"), benchimpexp::property(rule, "RU_EXPR"), benchimpexp::property(rule, "RU_GROUP"),
                       rule.attribute("uuid").value(), benchimpexp::property(rule, "RU_COMM")});
            for (pugi::xml_node list : rule.children("list")) {
                std::string kind = list.attribute("name").value();
                for (pugi::xml_node child : list.children("object")) {
                    if (kind == "Fields") {
                        run(s[1], {benchimpexp::property(child, "FI_NAME"), benchimpexp::property(child, "FI_DESC")});
                        run(s[2], {rid, benchimpexp::property(child, "FI_NAME"), benchimpexp::property(child, "RF_SEQ")});
                        continue;
                    }
                    std::string cid = std::to_string(++ids);
                    run(s[3], {cid, benchimpexp::property(child, "CM_DESC"), benchimpexp::property(child, "CM_PREXP"), benchimpexp::property(child, "CM_EXP")});
                    run(s[4], {rid, cid, benchimpexp::property(child, "RM_SEQ")});
                    for (pugi::xml_node inner : child.children("list"))
                        for (pugi::xml_node item : inner.children("object")) {
                            if (std::string(inner.attribute("name").value()) == "Fields")
                                run(s[5], {cid, benchimpexp::property(item, "CM_FLDNM"), benchimpexp::property(item, "CM_TYPE")});
                            else
                                run(s[6], {rid, cid, benchimpexp::property(item, "RM_SEQ"), benchimpexp::property(item, "FI_NAME"), benchimpexp::property(item, "CM_FLDNM"),
                                           benchimpexp::property(item, "CM_TYPE")});
                        }
                }
            }
        }
        benchdb::rawExec(db, "COMMIT");
    }
    for (sqlite3_stmt* statement : s) sqlite3_finalize(statement);
    sqlite3_close_v2(db);
    state.SetItemsProcessed(state.iterations() * files().documents.size());
}

// About 20 MB of text: objects of ten 100-byte properties under one list.
const int kObjects = 20000;
const std::string kValue(100, 'v');

void BM_Context_Library(benchmark::State& state) {
    RepositoryMetadataSerializationContext* context = createRepositoryMetadataSerializationContext();
    RepositoryMetadataObject* root = context->createObject("Root", "u");
    for (int i = 0; i < kObjects; ++i) {
        RepositoryMetadataObject* child = context->createObject("Child", "u");
        for (int p = 0; p < 10; ++p) child->setProperty(("P" + std::to_string(p)).c_str(), kValue.c_str());
        root->addChild("Children", child);
    }
    VqbString text, error;
    context->serialize(root, text, error, false);
    RepositoryMetadataSerializationContext* reader = createRepositoryMetadataSerializationContext();
    for (auto _ : state) {
        context->serialize(root, text, error, false);
        if (!reader->parse(text, error)) state.SkipWithError(error.asCstr());
    }
    reader->release();
    context->release();
}

void BM_Context_Raw(benchmark::State& state) {
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("velqorindocument").append_child("object");
    pugi::xml_node list = root.append_child("list");
    for (int i = 0; i < kObjects; ++i) {
        pugi::xml_node child = list.append_child("object");
        child.append_attribute("type") = "Child";
        for (int p = 0; p < 10; ++p) {
            pugi::xml_node property = child.append_child("property");
            property.append_attribute("name") = ("P" + std::to_string(p)).c_str();
            property.text().set(kValue.c_str());
        }
    }
    for (auto _ : state) {
        std::ostringstream out;
        document.save(out, "", pugi::format_raw);
        std::string text = out.str();
        pugi::xml_document parsed;
        parsed.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(parsed);
    }
}

BENCHMARK(BM_Export_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Export_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Context_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Context_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(argc, argv, "bench_impexp_rules",
                           {{"export rules, one document each", "BM_Export_Library", "BM_Export_Raw"},
                            {"import rules into an empty file", "BM_Import_Library", "BM_Import_Raw"},
                            {"context text round trip, 20 MB, vs pugixml", "BM_Context_Library", "BM_Context_Raw"}});
}
