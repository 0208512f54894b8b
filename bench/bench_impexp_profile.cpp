// A profile job of 200 tables x 50 fields (3 metrics and 2 properties per field), 100 table
// rules and 50 table metrics, exported and imported into an empty repository through the
// import/export manager, beside the same rows read (or written) through the SQLite C API with
// pugixml writing (or parsing) the XML. REPOS_BENCH_ROWS sets the table count (default 200).
//
// Growth rows compare the library with itself, as a cost factor (the larger job's time over the
// smaller's; lower is better): the job above against one of 50 tables x 20 fields (a tenth of the
// rows), exported and imported; and the export of the large job from a repository that also
// holds 20 jobs of the small size against the same export alone.
//
// With REPOS_TEST_PG set, the import on PostgreSQL beside psql running the statements the import
// runs (its lookups, id draws and inserts) in one transaction, and the growth rows there. The
// PostgreSQL job is 50 x 20 against 20 x 5 by default; REPOS_BENCH_FULL=1 makes it the file's.
#include <pugixml.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_impexp_support.h"
#include "bench_repos_support.h"
#include "repos_common_rda.h"
#include "repos_held.h"
#include "repos_impexp.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqbutil.h"
#include "vqlog.h"

namespace {

using benchimpexp::rowsInto;

// The shape of a job: tables of fields, each field with 3 metrics and 2 properties; the first
// tables with a table rule, the first with a table metric.
struct Shape {
    long tables;
    int fields;
    long rules;
    long metrics;
};

Shape large() { return {benchdb::rows(200), 50, 100, 50}; }
// A tenth of the large job's rows.
Shape small() { return {50, 20, 25, 12}; }

bool full() { return bench::fullSizes(); }
Shape pgLarge() { return full() ? large() : Shape{50, 20, 25, 12}; }
Shape pgSmall() { return full() ? small() : Shape{20, 5, 5, 3}; }

// The job's tables; the source repository holds this job alone, so each is read whole.
const char* const kJobTables[] = {"JSETUP", "JDSN",   "JTABLE", "JFLD",   "JFLDME", "JFLDPR", "JLNKFL",
                                  "JGMET",  "JKEYVL", "JCHART", "JCHPRP", "JALERT", "JALPRP", "JTBLRU",
                                  "JTBLMA", "JTBLME", "JCMDMA", "JFRDA",  "JRCFGS"};

// Makes the job in the repository; its id.
unsigned makeJob(Repository* repository, const Shape& shape) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    ReposHeld<ProfileRepositoryDataAccess> p(repository->createProfileRepositoryDataAccess());
    common->beginTransaction(true);
    unsigned rule = common->addRule("rule", "B", "expression", "G", "", "u", vqbNewUUID(), 0, "comment", "");
    common->addRuleField(rule, "in", "d");
    unsigned metric = common->addCustomMetric("metric", "pre", "expression", "");
    common->addCustomMetricField(metric, "F1", "N");
    unsigned job = p->addJobSetup("the job", "a job", vqbNewUUID(), 1.5, 2.5, "u", "u", 0);
    unsigned d = p->addJobDataSource(job, "sales", "DSN=x", "");
    for (long t = 0; t < shape.tables; ++t) {
        std::string table = "table" + std::to_string(t);
        unsigned tid = p->addJobTable(job, static_cast<int>(d), "", "public", table.c_str(), "", "", "", 10, "", ",",
                                      "\"", 0, 0, 500, "", 1, 2, "", true);
        for (int f = 0; f < shape.fields; ++f) {
            std::string field = "f" + std::to_string(f);
            unsigned id = p->addJobField(job, d, tid, field.c_str(), "", f);
            p->addJobFieldMetric(job, d, tid, id, "Count", "1");
            p->addJobFieldMetric(job, d, tid, id, "Unique", "0");
            p->addJobFieldMetric(job, d, tid, id, "Null", "2");
            p->addJobFieldProperty(job, d, tid, id, "Pattern", "A9");
            p->addJobFieldProperty(job, d, tid, id, "Length", "8");
        }
        if (t < shape.rules) {
            unsigned seq = p->insertJobBusinessRule(job, tid, rule, "rule", 1, 5, "br-" + std::to_string(t));
            p->addJobRuleFieldMapping(job, seq, tid, rule, "rule", "f0", "in");
        }
        if (t < shape.metrics) {
            unsigned mseq = p->addJobTableCustomMetric(job, tid, metric, "metric", "uid-" + std::to_string(t));
            p->addJobCustomMetricMappingEx(job, tid, metric, mseq, "metric", "F1", "out", "f0", "N");
        }
    }
    common->endTransaction(true);
    return job;
}

std::string exportOf(Repository* repository, unsigned job) {
    ReposHeld<RepositoryImportExportManager> manager(repository->createRepositoryImportExportManager());
    VqbString out, error;
    if (!manager->exportObject(job, "ProfileJob", "", out, error, nullptr)) return "";
    return out.str();
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

// One repository file holding one job, its document, and the job's id.
struct Made {
    std::string file;
    unsigned job = 0;
    std::string document;
};

struct Files {
    benchdb::ScratchDir dir;
    std::string empty;  // an empty repository, copied for each import
    Made source;        // the large job
    Made smaller;       // the small job
    Made crowded;       // the large job among 20 small ones
    std::string raw;    // the baseline's own document, parsed by the raw import
};

bool make(Files& f, Made& made, const std::string& name, const Shape& shape) {
    made.file = f.dir.file(name + ".db");
    std::filesystem::copy_file(f.empty, made.file);
    Repository* repository = benchimpexp::admin()->openFileRepository(made.file.c_str(), true);
    if (!repository) return false;
    made.job = makeJob(repository, shape);
    made.document = exportOf(repository, made.job);
    repository->release();
    return !made.document.empty();
}

Files& files() {
    static Files f = [] {
        Files made;
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", made.dir.file("").c_str());
        made.empty = made.dir.file("empty.db");
        if (!benchimpexp::admin() || !benchimpexp::admin()->createFileRepository(made.empty.c_str()) ||
            !make(made, made.source, "job", large()) || !make(made, made.smaller, "small", small())) {
            made.source.document.clear();
            return made;
        }
        // The other jobs come in through the library's import: same rows, other names.
        made.crowded = made.source;
        made.crowded.file = made.dir.file("crowded.db");
        std::filesystem::copy_file(made.source.file, made.crowded.file);
        Repository* repository = benchimpexp::admin()->openFileRepository(made.crowded.file.c_str(), true);
        ReposHeld<RepositoryImportExportManager> manager(repository->createRepositoryImportExportManager());
        for (int i = 0; i < 20; ++i) {
            VqbString error;
            if (!manager->importObjectAtPath(VqbString(("other " + std::to_string(i)).c_str()),
                                             VqbString(made.smaller.document.c_str()), error))
                made.crowded.document.clear();
        }
        manager.reset();
        repository->release();
        sqlite3* db = benchdb::rawOpen(made.source.file);
        made.raw = rawExport(db);
        sqlite3_close_v2(db);
        return made;
    }();
    return f;
}

void timeExport(benchmark::State& state, const Made& made) {
    if (made.document.empty()) return state.SkipWithError("the job could not be made");
    Repository* repository = benchimpexp::admin()->openFileRepository(made.file.c_str(), true);
    RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
    for (auto _ : state) {
        VqbString out, error;
        if (!manager->exportObject(made.job, "ProfileJob", "", out, error, nullptr))
            state.SkipWithError(error.asCstr());
        benchmark::DoNotOptimize(out);
    }
    delete manager;
    repository->release();
}

void BM_Export_Library(benchmark::State& state) { timeExport(state, files().source); }
void BM_ExportSmall_Library(benchmark::State& state) { timeExport(state, files().smaller); }
void BM_ExportCrowded_Library(benchmark::State& state) { timeExport(state, files().crowded); }

void BM_Export_Raw(benchmark::State& state) {
    if (files().source.document.empty()) return state.SkipWithError("the job could not be made");
    sqlite3* db = benchdb::rawOpen(files().source.file);
    for (auto _ : state) {
        std::string text = rawExport(db);
        benchmark::DoNotOptimize(text);
    }
    sqlite3_close_v2(db);
}

void BM_Import_Library(benchmark::State& state) {
    if (files().source.document.empty()) return state.SkipWithError("the job could not be made");
    benchimpexp::timeLibraryImport(state, files().dir, files().empty, files().source.document);
}

void BM_ImportSmall_Library(benchmark::State& state) {
    if (files().smaller.document.empty()) return state.SkipWithError("the job could not be made");
    benchimpexp::timeLibraryImport(state, files().dir, files().empty, files().smaller.document);
}

// Parses the baseline's document and inserts its rows, one prepared insert per table.
void BM_Import_Raw(benchmark::State& state) {
    if (files().source.document.empty()) return state.SkipWithError("the job could not be made");
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

// ---- PostgreSQL: a repository of the run's own, removed at the end.

struct PgJobs : benchdb::PgImpactStore {
    PgJobs() : PgImpactStore("bp") {}
    std::string large, small;  // documents of the two sizes
    unsigned largeJob = 0, smallJob = 0;
    bool failed = false;

    bool open() {
        if (repository || failed) return !failed;
        failed = true;
        if (!make()) return false;
        // The documents come from the file repository's jobs of the PostgreSQL sizes, made here.
        Files& f = files();
        Made l, s;
        if (!f.source.document.empty() && ::make(f, l, "pg-large", pgLarge()) && ::make(f, s, "pg-small", pgSmall())) {
            large = l.document;
            small = s.document;
        } else {
            return false;
        }
        ReposHeld<RepositoryImportExportManager> manager(repository->createRepositoryImportExportManager());
        VqbString error;
        if (!manager->importObjectAtPath("large source", VqbString(large.c_str()), error) ||
            !manager->importObjectAtPath("small source", VqbString(small.c_str()), error))
            return false;
        largeJob = jobId("large source");
        smallJob = jobId("small source");
        failed = largeJob == 0 || smallJob == 0;
        return !failed;
    }
    unsigned jobId(const char* name) {
        ReposHeld<ProfileRepositoryDataAccess> p(repository->createProfileRepositoryDataAccess());
        ReposHeld<ReposDataAccessCursor> row(p ? p->findJobSetup(-1, VqbString(name), VqbString("")) : nullptr);
        return row && row->next() == 1 ? static_cast<unsigned>(row->getInt(0)) : 0;
    }
    // The job an import made under the document's own name.
    void dropImported() {
        ReposHeld<ProfileRepositoryDataAccess> p(repository->createProfileRepositoryDataAccess());
        for (unsigned job; (job = jobId("the job")) != 0;)
            if (!p->deleteJobSetup(job)) break;
    }
    // The rows psql's script wrote.
    void dropScripted() {
        for (const char* name : kJobTables) exec("DELETE FROM " + table(name) + " WHERE SU_ID=900000000");
    }
};

PgJobs& pg() {
    static PgJobs jobs;
    return jobs;
}

void pgExport(benchmark::State& state, bool isLarge) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    ReposHeld<RepositoryImportExportManager> manager(pg().repository->createRepositoryImportExportManager());
    for (auto _ : state) {
        VqbString out, error;
        if (!manager->exportObject(isLarge ? pg().largeJob : pg().smallJob, "ProfileJob", "", out, error, nullptr))
            return state.SkipWithError(error.asCstr());
        benchmark::DoNotOptimize(out);
    }
}

void pgImport(benchmark::State& state, bool isLarge) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    ReposHeld<RepositoryImportExportManager> manager(pg().repository->createRepositoryImportExportManager());
    const VqbString document((isLarge ? pg().large : pg().small).c_str());
    for (auto _ : state) {
        state.PauseTiming();
        pg().dropImported();
        state.ResumeTiming();
        VqbString log;
        if (!manager->importObject(document, 0, log)) return state.SkipWithError(log.asCstr());
    }
    pg().dropImported();
}

void BM_PgExport_Library(benchmark::State& state) { pgExport(state, true); }
void BM_PgExportSmall_Library(benchmark::State& state) { pgExport(state, false); }
void BM_PgImport_Library(benchmark::State& state) { pgImport(state, true); }
void BM_PgImportSmall_Library(benchmark::State& state) { pgImport(state, false); }

// The statements the library's import of the large job runs, with the values it binds: the
// header and its clearing, then per element its lookup where it has one, its id draw where its
// table draws one, and its insert; in one transaction. Ids are the script's own, far above the
// repository's, so a round's rows are removed by them afterwards.
struct Script {
    PgJobs& store;
    std::ofstream out;
    long next = 900000000;
    const std::string job = std::to_string(900000000);

    std::string t(const char* name) { return store.table(name); }
    // An id draw moving the counter by count; the first id drawn.
    long draw(const char* key, long count = 1) {
        out << "SELECT MAX(NI_VAL), COUNT(*) FROM " << t("UCURID") << " WHERE NI_KEY='" << key << "';\nUPDATE "
            << t("UCURID") << " SET NI_VAL=NI_VAL+" << count << " WHERE NI_KEY='" << key
            << "' AND NI_VAL=(SELECT MAX(NI_VAL) FROM " << t("UCURID") << " WHERE NI_KEY='" << key << "');\n";
        next += count;
        return next - count + 1;
    }
    std::string drawOne(const char* key) { return std::to_string(draw(key)); }
    void insert(const char* table, const char* columns, const std::string& values) {
        out << "INSERT INTO " << t(table) << " (" << columns << ") VALUES (" << values << ");\n";
    }

    void write(const Shape& shape) {
        out << "BEGIN;\nSELECT SU_ID FROM " << t("JSETUP") << " WHERE SU_NAME='the job' AND FLDR_ID=0;\n";
        drawOne("JSETUP");
        insert("JSETUP", "SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, FLDR_ID",
               job + ", 'the job', 'a job', 'u-u-i-d', 1.5, 2.5, 'u', 'u', 0");
        for (const char* table : kJobTables)
            if (std::string(table) != "JSETUP") out << "DELETE FROM " << t(table) << " WHERE SU_ID=" << job << ";\n";
        // The dependent rule and custom metric: looked up by UUID and name, found by name.
        out << "SELECT * FROM " << t("RULE") << " WHERE RU_UUID='u-u-i-d';\nSELECT * FROM " << t("RULE")
            << " WHERE RU_DESC='rule';\nSELECT * FROM " << t("CUSTM") << " WHERE CM_DESC='metric';\n";
        out << "SELECT DSN_ID FROM " << t("JDSN") << " WHERE SU_ID=" << job << " AND DSN_NAME='sales';\n";
        const std::string dsn = drawOne("JDSN");
        insert("JDSN", "DSN_ID, DSN_NAME, DSN_CONN, DSN_TEXT, SU_ID", dsn + ", 'sales', 'DSN=x', '', " + job);
        // A list of several rows draws its ids at once.
        long tableId = draw("JTABLE", shape.tables);
        for (long i = 0; i < shape.tables; ++i) {
            const std::string name = "table" + std::to_string(i);
            out << "SELECT TBL_ID FROM " << t("JTABLE") << " WHERE SU_ID=" << job << " AND DSN_ID=" << dsn
                << " AND (TBL_CAT IS NULL OR TBL_CAT='') AND TBL_SCH='public' AND TBL_NAME='" << name
                << "' AND (FLTR IS NULL OR FLTR='') AND (FLTR_E IS NULL OR FLTR_E='') AND (FLTR_S IS NULL OR "
                   "FLTR_S='') AND (FNAME IS NULL OR FNAME='');\n";
            const std::string table = std::to_string(tableId++);
            insert("JTABLE",
                   "TBL_ID, DSN_ID, TBL_CAT, TBL_NAME, TBL_SCH, FLTR, FLTR_E, FLTR_S, SAMP_INT, FNAME, DELIM, "
                   "TXT_QUAL, SKIP_ROW, REC_WDTH, MAX_ROW, TRUNC, EOL, ENC, USE_BOM, SU_ID, DEC_TREE",
                   table + ", " + dsn + ", '', '" + name + "', 'public', '', '', '', 10, '', ',', '\"', 0, 0, 500, '', "
                   "1, 2, '', " + job + ", 1");
            long fieldId = draw("JFLD", shape.fields);
            for (int f = 0; f < shape.fields; ++f) {
                const std::string field = std::to_string(fieldId++), ids = field + ", " + dsn + ", " + table + ", ";
                insert("JFLD", "FLD_ID, DSN_ID, TBL_ID, FLD_NAME, MET_OVRD, ORD_POS, SU_ID",
                       ids + "'f" + std::to_string(f) + "', '', " + std::to_string(f) + ", " + job);
                for (const char* metric : {"'Count', '1'", "'Unique', '0'", "'Null', '2'"})
                    insert("JFLDME", "FLD_ID, DSN_ID, TBL_ID, MET_NAME, MET_VAL, SU_ID", ids + metric + ", " + job);
                for (const char* property : {"'Pattern', 'A9'", "'Length', '8'"})
                    insert("JFLDPR", "FLD_ID, DSN_ID, TBL_ID, PRP_NAME, PRP_VAL, SU_ID", ids + property + ", " + job);
            }
            if (i < shape.rules) {
                const std::string uid = "'br-" + std::to_string(i) + "'";
                out << "SELECT SEQ_ID FROM " << t("JTBLRU") << " WHERE BR_UID=" << uid << " AND SU_ID=" << job
                    << " AND TBL_ID=" << table << ";\n";
                const std::string seq = drawOne("JTBLRU");
                insert("JTBLRU", "SEQ_ID, TBL_ID, BR_NAME, LOG_FLAG, LOG_TH, BR_UID, SU_ID, BR_ID",
                       seq + ", " + table + ", 'rule', 1, 5, " + uid + ", " + job + ", 1");
                insert("JTBLMA", "SEQ_ID, TBL_ID, BR_NAME, FLD_NAME, BR_FLD, SU_ID, BR_ID",
                       seq + ", " + table + ", 'rule', 'f0', 'in', " + job + ", 1");
            }
            if (i < shape.metrics) {
                const std::string seq = drawOne("JTBLME");
                insert("JTBLME", "SEQ_ID, TBL_ID, CM_NAME, CM_UID, SU_ID, CM_ID",
                       seq + ", " + table + ", 'metric', 'uid-" + std::to_string(i) + "', " + job + ", 1");
                insert("JCMDMA", "SEQ_ID, TBL_ID, CM_NAME, CM_IN, CM_OUT, CM_FLD, CM_TYPE, SU_ID, CM_ID",
                       seq + ", " + table + ", 'metric', 'F1', 'out', 'f0', 'N', " + job + ", 1");
            }
        }
        out << "COMMIT;\n";
    }
};

void BM_PgImport_Psql(benchmark::State& state) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    const std::string path = files().dir.file("import.sql");
    {
        Script script{pg(), std::ofstream(path)};
        script.write(pgLarge());
    }
    const std::string command = pg().psql(path);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) return state.SkipWithError("psql failed");
        state.PauseTiming();
        pg().dropScripted();
        state.ResumeTiming();
    }
}

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    const struct {
        const char* name;
        void (*run)(benchmark::State&);
    } sides[] = {{"BM_Export_Library", BM_Export_Library},
                 {"BM_Export_Raw", BM_Export_Raw},
                 {"BM_Import_Library", BM_Import_Library},
                 {"BM_Import_Raw", BM_Import_Raw},
                 {"BM_ExportSmall_Library", BM_ExportSmall_Library},
                 {"BM_ImportSmall_Library", BM_ImportSmall_Library},
                 {"BM_ExportCrowded_Library", BM_ExportCrowded_Library},
                 {"BM_PgExport_Library", BM_PgExport_Library},
                 {"BM_PgExportSmall_Library", BM_PgExportSmall_Library},
                 {"BM_PgImport_Library", BM_PgImport_Library},
                 {"BM_PgImportSmall_Library", BM_PgImportSmall_Library},
                 {"BM_PgImport_Psql", BM_PgImport_Psql}};
    for (const auto& side : sides)
        benchmark::RegisterBenchmark(side.name, side.run)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    // Growth rows put the smaller work on the library side: their ratio is the cost factor.
    std::vector<bench::Pair> pairs = {
        {"export a job of 200 x 50 fields", "BM_Export_Library", "BM_Export_Raw"},
        {"import a job into an empty file", "BM_Import_Library", "BM_Import_Raw"},
        {"cost x: export, 10x the rows vs 1x (<= 12)", "BM_ExportSmall_Library", "BM_Export_Library"},
        {"cost x: import, 10x the rows vs 1x (<= 12)", "BM_ImportSmall_Library", "BM_Import_Library"},
        {"cost x: export among 20 jobs vs alone (<= 1.5)", "BM_Export_Library", "BM_ExportCrowded_Library"},
    };
    const char* server = std::getenv("REPOS_TEST_PG");
    if (server && *server) {
        pairs.push_back({full() ? "PostgreSQL import 200 x 50 vs psql" : "PostgreSQL import 50 x 20 vs psql",
                         "BM_PgImport_Library", "BM_PgImport_Psql"});
        pairs.push_back({"cost x: PostgreSQL export, 10x the rows vs 1x (<= 12)", "BM_PgExportSmall_Library",
                         "BM_PgExport_Library"});
        pairs.push_back({"cost x: PostgreSQL import, 10x the rows vs 1x (<= 12)", "BM_PgImportSmall_Library",
                         "BM_PgImport_Library"});
    } else {
        std::printf("bench_impexp_profile: REPOS_TEST_PG is not set; the PostgreSQL pairs do not run\n");
    }
    int result = bench::runPairs(argc, argv, "bench_impexp_profile", pairs);
    pg().close();
    return result;
}
