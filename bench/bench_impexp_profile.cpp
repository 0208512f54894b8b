// A profile job of 200 tables x 50 fields (3 metrics and 2 properties per field), 100 table
// rules and 50 table metrics, exported and imported into an empty repository through the
// import/export manager, beside the same rows read (or written) through the SQLite C API with
// pugixml writing (or parsing) the XML. REPOS_BENCH_ROWS sets the table count (default 200).
#include <pugixml.hpp>

#include <filesystem>
#include <sstream>
#include <string>

#include "bench_db_support.h"
#include "bench_impexp_support.h"
#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_held.h"
#include "repos_impexp.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqbutil.h"
#include "vqlog.h"

namespace {

using benchimpexp::admin;
using benchimpexp::rowsInto;

const int kFields = 50;
const int kTableRules = 100;
const int kTableMetrics = 50;

// The job's tables; the source repository holds this job alone, so each is read whole.
const char* const kJobTables[] = {"JSETUP", "JDSN",   "JTABLE", "JFLD",   "JFLDME", "JFLDPR", "JLNKFL",
                                  "JGMET",  "JKEYVL", "JCHART", "JCHPRP", "JALERT", "JALPRP", "JTBLRU",
                                  "JTBLMA", "JTBLME", "JCMDMA", "JFRDA",  "JRCFGS"};

struct Files {
    benchdb::ScratchDir dir;
    std::string empty;  // an empty repository, copied for each import
    std::string source;
    unsigned job = 0;
    std::string document;
    std::string raw;  // the baseline's own document, parsed by the raw import
};

void makeJob(Repository* repository, Files& made) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<ProfileRepositoryDataAccess> p(repository->createProfileRepositoryDataAccess());
    common->beginTransaction(true);
    unsigned rule = common->addRule("rule", "B", "expression", "G", "", "u", vqbNewUUID(), 0, "comment", "");
    common->addRuleField(rule, "in", "d");
    unsigned metric = common->addCustomMetric("metric", "pre", "expression", "");
    common->addCustomMetricField(metric, "F1", "N");
    unsigned job = p->addJobSetup("the job", "a job", vqbNewUUID(), 1.5, 2.5, "u", "u", 0);
    unsigned d = p->addJobDataSource(job, "sales", "DSN=x", "");
    const long tables = benchdb::rows(200);
    for (long t = 0; t < tables; ++t) {
        std::string table = "table" + std::to_string(t);
        unsigned tid = p->addJobTable(job, static_cast<int>(d), "", "public", table.c_str(), "", "", "", 10, "", ",",
                                      "\"", 0, 0, 500, "", 1, 2, "", true);
        for (int f = 0; f < kFields; ++f) {
            std::string field = "f" + std::to_string(f);
            unsigned id = p->addJobField(job, d, tid, field.c_str(), "", f);
            p->addJobFieldMetric(job, d, tid, id, "Count", "1");
            p->addJobFieldMetric(job, d, tid, id, "Unique", "0");
            p->addJobFieldMetric(job, d, tid, id, "Null", "2");
            p->addJobFieldProperty(job, d, tid, id, "Pattern", "A9");
            p->addJobFieldProperty(job, d, tid, id, "Length", "8");
        }
        if (t < kTableRules) {
            unsigned seq = p->insertJobBusinessRule(job, tid, rule, "rule", 1, 5, "br-" + std::to_string(t));
            p->addJobRuleFieldMapping(job, seq, tid, rule, "rule", "f0", "in");
        }
        if (t < kTableMetrics) {
            unsigned mseq = p->addJobTableCustomMetric(job, tid, metric, "metric", "uid-" + std::to_string(t));
            p->addJobCustomMetricMappingEx(job, tid, metric, mseq, "metric", "F1", "out", "f0", "N");
        }
    }
    common->endTransaction(true);
    made.job = job;
}

// Every row of the job's tables as elements of the document: the baseline's export.
std::string rawExport(sqlite3* db) {
    pugi::xml_document document;
    pugi::xml_node top = document.append_child("rows");
    for (const char* table : kJobTables) {
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, (std::string("SELECT * FROM ") + table).c_str(), -1, &s, nullptr);
        pugi::xml_node list = top.append_child("list");
        list.append_attribute("name") = table;
        rowsInto(s, list, table);
        sqlite3_finalize(s);
    }
    std::ostringstream out;
    document.save(out, "  ");
    return out.str();
}

Files& files() {
    static Files f = [] {
        Files made;
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", made.dir.file("").c_str());
        made.empty = made.dir.file("empty.db");
        made.source = made.dir.file("job.db");
        if (!admin() || !admin()->createFileRepository(made.empty.c_str())) return made;
        std::filesystem::copy_file(made.empty, made.source);
        Repository* repository = admin()->openFileRepository(made.source.c_str(), true);
        makeJob(repository, made);
        RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
        VqbString out, error;
        manager->exportObject(made.job, "ProfileJob", "", out, error, nullptr);
        made.document = out.str();
        delete manager;
        repository->release();
        sqlite3* db = benchdb::rawOpen(made.source);
        made.raw = rawExport(db);
        sqlite3_close_v2(db);
        return made;
    }();
    return f;
}

void BM_Export_Library(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the job could not be made");
    Repository* repository = admin()->openFileRepository(files().source.c_str(), true);
    RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
    for (auto _ : state) {
        VqbString out, error;
        if (!manager->exportObject(files().job, "ProfileJob", "", out, error, nullptr))
            state.SkipWithError(error.asCstr());
        benchmark::DoNotOptimize(out);
    }
    delete manager;
    repository->release();
}

void BM_Export_Raw(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the job could not be made");
    sqlite3* db = benchdb::rawOpen(files().source);
    for (auto _ : state) {
        std::string text = rawExport(db);
        benchmark::DoNotOptimize(text);
    }
    sqlite3_close_v2(db);
}

void BM_Import_Library(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the job could not be made");
    benchimpexp::timeLibraryImport(state, files().dir, files().empty, files().document);
}

// Parses the baseline's document and inserts its rows, one prepared insert per table.
void BM_Import_Raw(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the job could not be made");
    for (auto _ : state) {
        state.PauseTiming();
        std::string target = files().dir.fresh("raw");
        std::filesystem::copy_file(files().empty, target);
        sqlite3* db = benchdb::rawOpen(target);
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN");
        pugi::xml_document parsed;
        parsed.load_buffer(files().raw.data(), files().raw.size());
        for (pugi::xml_node list : parsed.document_element().children("list")) {
            pugi::xml_node first = list.child("object");
            if (!first) continue;
            std::string columns, marks;
            for (pugi::xml_node p : first.children("property")) {
                columns += (columns.empty() ? "" : ",") + std::string(p.attribute("name").value());
                marks += marks.empty() ? "?" : ",?";
            }
            sqlite3_stmt* s = nullptr;
            sqlite3_prepare_v2(db,
                               ("INSERT INTO " + std::string(list.attribute("name").value()) + " (" + columns +
                                ") VALUES (" + marks + ")").c_str(),
                               -1, &s, nullptr);
            for (pugi::xml_node o : list.children("object")) {
                int i = 1;
                for (pugi::xml_node p : o.children("property"))
                    sqlite3_bind_text(s, i++, p.text().get(), -1, SQLITE_STATIC);
                sqlite3_step(s);
                sqlite3_reset(s);
            }
            sqlite3_finalize(s);
        }
        benchdb::rawExec(db, "COMMIT");
        state.PauseTiming();
        sqlite3_close_v2(db);
        state.ResumeTiming();
    }
}

BENCHMARK(BM_Export_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Export_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import_Library)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Import_Raw)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    return bench::runPairs(argc, argv, "bench_impexp_profile",
                           {{"export a job of 200 x 50 fields", "BM_Export_Library", "BM_Export_Raw"},
                            {"import a job into an empty file", "BM_Import_Library", "BM_Import_Raw"}});
}
