// A monitor task of 500 rules (each with its rule event), 50 dimensions and 50 thresholds,
// exported and imported into an empty repository through the import/export manager, beside the
// same rows read (or written) through the SQLite C API with pugixml writing (or parsing) the XML.
// REPOS_BENCH_ROWS sets the member count (default 500).
#include <pugixml.hpp>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench_db_support.h"
#include "bench_impexp_support.h"
#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_impexp.h"
#include "repos_monitor_rda.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqbutil.h"
#include "vqlog.h"

namespace {

using benchimpexp::admin;
using benchimpexp::rowsInto;
using benchimpexp::run;

const int kDimensions = 50;

struct Files {
    benchdb::ScratchDir dir;
    std::string empty;  // an empty repository, copied for each import
    std::string source;
    unsigned task = 0;
    std::string document;
};

Files& files() {
    static Files f = [] {
        Files made;
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", made.dir.file("").c_str());
        made.empty = made.dir.file("empty.db");
        made.source = made.dir.file("task.db");
        if (!admin() || !admin()->createFileRepository(made.empty.c_str())) return made;
        std::filesystem::copy_file(made.empty, made.source);
        Repository* repository = admin()->openFileRepository(made.source.c_str(), true);
        CommonRepositoryDataAccess* common = repository->createCommonRepositoryDataAccess();
        MonitorRepositoryDataAccess* monitor = repository->createMonitorRepositoryDataAccess();
        common->beginTransaction(true);
        std::vector<uint32_t> dimensions, thresholds;
        VqbString names[3] = {"low", "mid", "high"};
        double starts[3] = {0, 10, 20}, ends[3] = {10, 20, 30};
        int colors[3] = {1, 2, 3};
        for (int i = 0; i < kDimensions; ++i) {
            uint32_t id = 0;
            monitor->addDimension(("dimension " + std::to_string(i)).c_str(), "d", "u", vqbNewUUID(), 0, &id);
            dimensions.push_back(id);
            monitor->addThreshold(("threshold " + std::to_string(i)).c_str(), "t", "u", vqbNewUUID(), 0, 3, names,
                                  starts, ends, colors, &id);
            thresholds.push_back(id);
        }
        uint32_t task = 0;
        monitor->addJob("the task", vqbNewUUID(), "u", 0, "comment", "", &task);
        const long n = benchdb::rows(500);
        for (long r = 0; r < n; ++r) {
            std::string name = "rule " + std::to_string(r);
            unsigned id = common->addRule(name.c_str(), "B", ("expression of " + name).c_str(), "G", "", "u",
                                          vqbNewUUID(), 0, "comment", "");
            monitor->addJobRuleMetric(task, id, static_cast<int>(dimensions[r % kDimensions]),
                                      static_cast<int>(thresholds[r % kDimensions]), VqbReal(1.5));
            monitor->addRuleEvent(task, id, static_cast<uint32_t>(r), "E", ("event of " + name).c_str());
        }
        common->endTransaction(true);
        common->release();
        monitor->release();
        made.task = task;
        RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
        VqbString out, error;
        manager->exportObject(task, "Task", "", out, error, nullptr);
        made.document = out.str();
        delete manager;
        repository->release();
        return made;
    }();
    return f;
}

void BM_Export_Library(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the task could not be made");
    Repository* repository = admin()->openFileRepository(files().source.c_str(), true);
    RepositoryImportExportManager* manager = repository->createRepositoryImportExportManager();
    for (auto _ : state) {
        VqbString out, error;
        if (!manager->exportObject(files().task, "Task", "", out, error, nullptr)) state.SkipWithError(error.asCstr());
        benchmark::DoNotOptimize(out);
    }
    delete manager;
    repository->release();
}

void BM_Export_Raw(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the task could not be made");
    sqlite3* db = benchdb::rawOpen(files().source);
    const char* sql[] = {"SELECT * FROM MJOB WHERE JB_ID=?",
                         "SELECT DIM_ID, JB_ID, RU_ID, THR_ID, WGHT FROM JBRUME WHERE JB_ID=?",
                         "SELECT EV_CODE, EV_DATA, EV_SEQ, JB_ID, RU_ID FROM RULEVT WHERE JB_ID=?",
                         "SELECT * FROM RULE WHERE RU_ID=?",
                         "SELECT * FROM DIMENS WHERE DIM_ID=?",
                         "SELECT * FROM THRHLD WHERE THR_ID=?"};
    sqlite3_stmt* s[6];
    for (int i = 0; i < 6; ++i) sqlite3_prepare_v2(db, sql[i], -1, &s[i], nullptr);
    const int task = static_cast<int>(files().task);
    for (auto _ : state) {
        pugi::xml_document document;
        pugi::xml_node top = document.append_child("velqorindocument");
        sqlite3_bind_int(s[0], 1, task);
        rowsInto(s[0], top, "Task");
        pugi::xml_node root = top.first_child();
        std::set<int> rules, dimensions, thresholds;
        auto dependent = [&](std::set<int>& done, int index, int id, const char* type, const char* key) {
            if (!done.insert(id).second) return;
            sqlite3_bind_int(s[index], 1, id);
            rowsInto(s[index], top, type, key);
        };
        pugi::xml_node members = root.append_child("list");
        members.append_attribute("name") = "JobRuleMembers";
        sqlite3_bind_int(s[1], 1, task);
        while (sqlite3_step(s[1]) == SQLITE_ROW) {
            pugi::xml_node member = members.append_child("object");
            member.append_attribute("type") = "JobRuleMember";
            for (int i = 0; i < 5; ++i) {
                pugi::xml_node p = member.append_child("property");
                p.append_attribute("name") = sqlite3_column_name(s[1], i);
                p.text().set(reinterpret_cast<const char*>(sqlite3_column_text(s[1], i)));
            }
            dependent(rules, 3, sqlite3_column_int(s[1], 2), "Rule", "RU_ID");
            dependent(dimensions, 4, sqlite3_column_int(s[1], 0), "Dimension", "DIM_ID");
            dependent(thresholds, 5, sqlite3_column_int(s[1], 3), "Threshold", "THR_ID");
        }
        sqlite3_reset(s[1]);
        pugi::xml_node events = root.append_child("list");
        events.append_attribute("name") = "RuleEvents";
        sqlite3_bind_int(s[2], 1, task);
        rowsInto(s[2], events, "RuleEvent");
        for (pugi::xml_node event : events.children("object")) {
            pugi::xml_node list = event.append_child("list");
            list.append_attribute("name") = "Rule";
            sqlite3_bind_int(s[3], 1, event.find_child_by_attribute("property", "name", "RU_ID").text().as_int());
            rowsInto(s[3], list, "Rule", "RU_ID");
        }
        std::ostringstream out;
        document.save(out, "  ");
        std::string text = out.str();
        benchmark::DoNotOptimize(text);
    }
    for (sqlite3_stmt* statement : s) sqlite3_finalize(statement);
    sqlite3_close_v2(db);
}

void BM_Import_Library(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the task could not be made");
    benchimpexp::timeLibraryImport(state, files().dir, files().empty, files().document);
}

void BM_Import_Raw(benchmark::State& state) {
    if (files().document.empty()) return state.SkipWithError("the task could not be made");
    const char* sql[] = {
        "INSERT INTO MJOB (JB_ID, JB_DESC, JB_CODE, JB_CRUSR, JB_COMM, JB_DISP) VALUES (?,?,?,?,?,?)",
        "INSERT INTO RULE (RU_ID, RU_DESC, RU_TYPE, RU_EXPR, RU_GROUP, RU_UUID, RU_COMM) VALUES (?,?,?,?,?,?,?)",
        "INSERT INTO DIMENS (DIM_ID, DIM_NAME, DIM_DESC, UUID) VALUES (?,?,?,?)",
        "INSERT INTO THRHLD (THR_ID, THR_NAME, THR_DESC, UUID, NAME_0, START_0, END_0, COLOR_0, NAME_1, START_1, "
        "END_1, COLOR_1, NAME_2, START_2, END_2, COLOR_2) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        "INSERT INTO JBRUME (JB_ID, RU_ID, DIM_ID, THR_ID, WGHT) VALUES (?,?,?,?,?)",
        "INSERT INTO RULEVT (JB_ID, RU_ID, EV_SEQ, EV_CODE, EV_DATA) VALUES (?,?,?,?,?)",
        "INSERT OR IGNORE INTO DIMGRP (DIM_ID, GRP_ID, THR_ID, WGHT) VALUES (?,1,?,1)"};
    for (auto _ : state) {
        state.PauseTiming();
        std::string target = files().dir.fresh("raw");
        std::filesystem::copy_file(files().empty, target);
        sqlite3* db = benchdb::rawOpen(target);
        sqlite3_stmt* s[7];
        for (int i = 0; i < 7; ++i) sqlite3_prepare_v2(db, sql[i], -1, &s[i], nullptr);
        state.ResumeTiming();
        benchdb::rawExec(db, "BEGIN");
        pugi::xml_document parsed;
        parsed.load_buffer(files().document.data(), files().document.size());
        pugi::xml_node top = parsed.document_element();
        pugi::xml_node task = top.child("object");
        int ids = 1000;
        std::map<std::string, std::string> mapped;  // type and old id to new id
        auto dependent = [&](const char* type, const std::string& key) {
            std::string& id = mapped[type + key];
            if (!id.empty()) return id;
            id = std::to_string(++ids);
            pugi::xml_node o = top.find_child([&](pugi::xml_node n) {
                return std::string(n.attribute("type").value()) == type && key == n.attribute("key").value();
            });
            if (std::string(type) == "Rule")
                run(s[1], {id, benchimpexp::property(o, "RU_DESC"), benchimpexp::property(o, "RU_TYPE"), benchimpexp::property(o, "RU_EXPR"), benchimpexp::property(o, "RU_GROUP"),
                           benchimpexp::property(o, "RU_UUID"), benchimpexp::property(o, "RU_COMM")});
            else if (std::string(type) == "Dimension")
                run(s[2], {id, benchimpexp::property(o, "DIM_NAME"), benchimpexp::property(o, "DIM_DESC"), benchimpexp::property(o, "UUID")});
            else
                run(s[3], {id, benchimpexp::property(o, "THR_NAME"), benchimpexp::property(o, "THR_DESC"), benchimpexp::property(o, "UUID"), benchimpexp::property(o, "NAME_0"),
                           benchimpexp::property(o, "START_0"), benchimpexp::property(o, "END_0"), benchimpexp::property(o, "COLOR_0"), benchimpexp::property(o, "NAME_1"),
                           benchimpexp::property(o, "START_1"), benchimpexp::property(o, "END_1"), benchimpexp::property(o, "COLOR_1"), benchimpexp::property(o, "NAME_2"),
                           benchimpexp::property(o, "START_2"), benchimpexp::property(o, "END_2"), benchimpexp::property(o, "COLOR_2")});
            return id;
        };
        const std::string job = std::to_string(++ids);
        run(s[0], {job, benchimpexp::property(task, "JB_DESC"), task.attribute("uuid").value(), benchimpexp::property(task, "JB_CRUSR"),
                   benchimpexp::property(task, "JB_COMM"), benchimpexp::property(task, "JB_DISP")});
        for (pugi::xml_node list : task.children("list")) {
            const bool members = std::string(list.attribute("name").value()) == "JobRuleMembers";
            int sequence = 0;
            for (pugi::xml_node o : list.children("object")) {
                if (members) {
                    std::string dimension = dependent("Dimension", benchimpexp::property(o, "DIM_ID")),
                                threshold = dependent("Threshold", benchimpexp::property(o, "THR_ID"));
                    run(s[4], {job, dependent("Rule", benchimpexp::property(o, "RU_ID")), dimension, threshold, benchimpexp::property(o, "WGHT")});
                    run(s[6], {dimension, threshold});
                } else {
                    std::string rule = dependent("Rule", benchimpexp::property(o.child("list").child("object"), "RU_ID"));
                    run(s[5], {job, rule, std::to_string(sequence++), benchimpexp::property(o, "EV_CODE"), benchimpexp::property(o, "EV_DATA")});
                }
            }
        }
        benchdb::rawExec(db, "COMMIT");
        state.PauseTiming();
        for (sqlite3_stmt* statement : s) sqlite3_finalize(statement);
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
    return bench::runPairs(argc, argv, "bench_impexp_tasks",
                           {{"export a task of 500 rules", "BM_Export_Library", "BM_Export_Raw"},
                            {"import a task into an empty file", "BM_Import_Library", "BM_Import_Raw"}});
}
