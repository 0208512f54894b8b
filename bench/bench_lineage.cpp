// Lineage analysis on a file repository beside the SQLite C API reading the same rows and writing
// as many IMPRCS/IMPDEP rows in one transaction: a task of 1,000 rules and 2,000 events, and a
// profile job of 500 tables (database and file sources mixed) with 500 table rules; then both again
// with nothing changed, where each side finds every resource and link in place and writes nothing.
// REPOS_BENCH_ROWS scales the counts (default 1,000 rules). With REPOS_TEST_PG set, both first
// analyses on PostgreSQL beside psql running the same statements from a script.
//
// Cost rows compare the library with itself: each analysis of a task and a job four times the size
// (4,000 rules, 2,000 tables, made beside the others in the same repository) against the default
// one, per analysis, so that work growing in proportion gives 4. Between rounds on PostgreSQL the
// store is truncated (the owners put back), so that no side walks the rows earlier rounds deleted.
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "bench_repos_support.h"
#include "repimpanlysimpl.h"
#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_monitor_rda.h"
#include "repos_profile_rda.h"
#include "repos_repository.h"
#include "repositoryimpl.h"
#include "vqbconfig.h"
#include "vqlog.h"

namespace {

// The default size and the cost rows' larger one, made beside it.
constexpr int kSizes[] = {1, 4};

long ruleCount(int factor = 1) { return benchdb::rows(1000) * factor; }
long tableCount(int factor = 1) { return ruleCount(factor) / 2; }

// Names of the larger objects carry a mark of their own, so that no resource is shared.
std::string mark(int factor) { return factor == 1 ? "" : "x" + std::to_string(factor) + "-"; }

std::string eventDocument(const std::string& marked, long rule, int k) {
    return "<filelog><path>/l/</path><name>" + marked + "r" + std::to_string(rule) + "-" + std::to_string(k) +
           ".log</name></filelog>";
}

// A count as labels write it: 1,000.
std::string thousands(long n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// The task, the profile job and their owners' resource ids, made once in the given repository.
struct Objects {
    int factor = 1;
    uint32_t task = 0, job = 0;
    VqbString taskOwner, jobOwner;
    std::vector<unsigned> rules;
};

bool fillObjectsNow(Repository* repository, CommonRepositoryDataAccess* common, RepositoryImpactAnalysis* impact,
                    Objects& o, int factor) {
    ReposHeld<MonitorRepositoryDataAccess> monitor(repository->createMonitorRepositoryDataAccess());
    ReposHeld<ProfileRepositoryDataAccess> profile(repository->createProfileRepositoryDataAccess());
    const std::string m = mark(factor);
    o.factor = factor;
    if (!common || !monitor || !profile ||
        !monitor->addJob(VqbString((m + "load").c_str()), VqbString((m + "LOAD").c_str()), "u", 0, "", "", &o.task))
        return false;
    o.job = profile->addJobSetup(VqbString((m + "job").c_str()), "", VqbString((m + "job-uuid").c_str()), 0, 0, "u",
                                 "u", 0);
    std::vector<unsigned>& rules = o.rules;
    uint32_t sequence = 0;
    for (long i = 1; i <= ruleCount(factor); ++i) {
        const std::string n = m + std::to_string(i);
        rules.push_back(common->addRule(VqbString(("rule" + n).c_str()), "T", "x>0", "", "", "u",
                                        VqbString(("uuid-" + n).c_str()), 0, "", ""));
        if (!monitor->addJobRule(o.task, rules.back())) return false;
        for (int k = 0; k < 2; ++k)
            if (!monitor->addRuleEvent(o.task, rules.back(), ++sequence, "E",
                                       VqbString(eventDocument(m, i, k).c_str())))
                return false;
    }
    // Ten sources, database and file in turn.
    std::vector<uint32_t> sources;
    for (int s = 0; s < 10; ++s) {
        const bool file = s % 2;
        const std::string connection = file ? "" : "DRIVER=pg;SERVER=" + m + "h" + std::to_string(s) + ";DATABASE=d";
        sources.push_back(profile->addJobDataSource(o.job, VqbString(("src" + std::to_string(s)).c_str()),
                                                    VqbString(connection.c_str()), file ? "Y" : "N"));
    }
    for (long i = 0; i < tableCount(factor); ++i) {
        const size_t s = static_cast<size_t>(i) % sources.size();
        const std::string name = m + "t" + std::to_string(i), file = s % 2 ? "/d/" + name + ".csv" : "";
        const uint32_t table = profile->addJobTable(o.job, static_cast<int>(sources[s]), "c", "s", VqbString(name.c_str()),
                                                    "", "", "", 0, VqbString(file.c_str()), ",", "\"", 0, 0, 0, "", 0,
                                                    0, "", false);
        const std::string n = m + std::to_string(i + 1);
        if (profile->insertJobBusinessRule(o.job, table, rules[static_cast<size_t>(i)], VqbString(("rule" + n).c_str()),
                                           0, 0, VqbString(("uuid-" + n).c_str())) == 0)
            return false;
    }
    for (auto [owner, type, identity] : {std::tuple{&o.taskOwner, "Task", m + "task-owner"},
                                         std::tuple{&o.jobOwner, "ProfileJob", m + "job-uuid"}}) {
        ReposHeld<VqResource> r(impact->findOrAddResource(VqbString(identity.c_str()), type, VqbString(identity.c_str())));
        if (!r) return false;
        *owner = r->getId();
    }
    return true;
}

// In one transaction, which the writes of the data access join: a commit for each would take most
// of the run.
bool fillObjects(Repository* repository, RepositoryImpactAnalysis* impact, Objects& o, int factor) {
    ReposHeld<CommonRepositoryDataAccess> common(repository->createCommonRepositoryDataAccess());
    if (!common || !common->beginTransaction(false)) return false;
    const bool filled = fillObjectsNow(repository, common.get(), impact, o, factor);
    return common->endTransaction(filled) && filled;
}

// The owners of every size, kept when the store is emptied.
std::string ownersOf(const Objects* sets, size_t count) {
    std::string owners;
    for (size_t i = 0; i < count; ++i)
        owners += (owners.empty() ? "" : ", ") + sets[i].taskOwner.str() + ", " + sets[i].jobOwner.str();
    return owners;
}

// ---- SQLite file

using benchdb::scratch;

const std::string& repositoryFile() {
    static std::string path = [] {
        std::string p = scratch().file("lineage.db");
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", scratch().file("").c_str());
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        bool ok = admin && admin->createFileRepository(p.c_str());
        if (admin) admin->release();
        return ok ? p : std::string();
    }();
    return path;
}

struct Opened {
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    Repository* repository = admin ? admin->openFileRepository(repositoryFile().c_str(), false) : nullptr;
    RepositoryImpactAnalysis* impact = repository ? repository->createRepositoryImpactAnalysis() : nullptr;
    ~Opened() {
        if (impact) impact->release();
        if (repository) repository->release();
        if (admin) admin->release();
    }
};

// Both sizes, made on first use.
const Objects* allObjects() {
    static Objects o[2];
    static bool made = [] {
        Opened opened;
        for (size_t i = 0; i < 2; ++i)
            if (!opened.impact || !fillObjects(opened.repository, opened.impact, o[i], kSizes[i])) return false;
        return true;
    }();
    (void)made;
    return o;
}

const Objects& objects(int factor = 1) { return allObjects()[factor == 1 ? 0 : 1]; }

// Every link and resource gone but the owners.
void clearLinks() {
    sqlite3* db = benchdb::rawOpen(repositoryFile());
    benchdb::rawExec(db, "DELETE FROM IMPDEP");
    const std::string keep = "DELETE FROM IMPRCS WHERE RCS_ID NOT IN (" + ownersOf(allObjects(), 2) + ")";
    benchdb::rawExec(db, keep.c_str());
    sqlite3_close_v2(db);
}

enum class Kind { Task, Job };

// What one benchmark runs: the object of a kind and size; a cost row's sides count analyses, the
// others the resources listed.
struct Case {
    Kind kind;
    int factor = 1;
    bool perAnalysis = false;
};

bool analyze(RepositoryImpactAnalysis* impact, const Objects& o, Kind kind) {
    VqResourceImpl owner;
    owner.setId(kind == Kind::Task ? o.taskOwner : o.jobOwner);
    owner.setType(VqbString(kind == Kind::Task ? "Task" : "ProfileJob"));
    const std::string id = std::to_string(kind == Kind::Task ? o.task : o.job);
    return impact->analyzeObject(&owner, "b", kind == Kind::Task ? "Task" : "ProfileJob", VqbString(id.c_str()),
                                 "");
}

long items(Kind kind, int factor = 1) { return kind == Kind::Task ? 3 * ruleCount(factor) : 2 * tableCount(factor); }

void countItems(benchmark::State& state, const Case& c) {
    if (!c.perAnalysis) state.SetItemsProcessed(state.iterations() * items(c.kind, c.factor));
}

void BM_First_Library(benchmark::State& state, Case c) {
    const Objects& o = objects(c.factor);
    for (auto _ : state) {
        state.PauseTiming();
        clearLinks();
        Opened opened;
        state.ResumeTiming();
        if (!opened.impact || !analyze(opened.impact, o, c.kind))
            return state.SkipWithError(opened.impact ? opened.impact->getErrorMessage().asCstr() : "no impact analysis");
    }
    countItems(state, c);
}

// Each round of the "again" sides starts from no links and the side's own first analysis, untimed,
// whatever the other side or an earlier pair left.
void BM_Again_Library(benchmark::State& state, Case c) {
    const Objects& o = objects(c.factor);
    Opened opened;
    if (!opened.impact) return state.SkipWithError("no impact analysis");
    for (auto _ : state) {
        state.PauseTiming();
        clearLinks();
        const bool first = analyze(opened.impact, o, c.kind);
        state.ResumeTiming();
        if (!first || !analyze(opened.impact, o, c.kind))
            return state.SkipWithError(opened.impact->getErrorMessage().asCstr());
    }
    countItems(state, c);
}

// The raw side: the rows the analysis reads, and its links rewritten to the resources they name.
class Raw {
public:
    Raw(sqlite3* db, const VqbString& owner) : db_(db), owner_(owner.asInt()) {}
    ~Raw() {
        for (auto& [sql, s] : statements_) sqlite3_finalize(s);
    }

    sqlite3_stmt* query(const char* sql, std::initializer_list<long> values) {
        sqlite3_stmt*& s = statements_[sql];
        if (!s) sqlite3_prepare_v2(db_, sql, -1, &s, nullptr);
        sqlite3_reset(s);
        int at = 0;
        for (long v : values) sqlite3_bind_int64(s, ++at, v);
        return s;
    }
    static std::string text(sqlite3_stmt* s, int c) {
        const unsigned char* t = sqlite3_column_text(s, c);
        return t ? reinterpret_cast<const char*>(t) : "";
    }
    std::vector<long> ids(const char* sql, std::initializer_list<long> values) {
        std::vector<long> out;
        sqlite3_stmt* s = query(sql, values);
        while (sqlite3_step(s) == SQLITE_ROW) out.push_back(static_cast<long>(sqlite3_column_int64(s, 0)));
        return out;
    }

    void begin() {
        benchdb::rawExec(db_, "BEGIN IMMEDIATE");
        for (long id : ids("SELECT RCS_ID FROM IMPDEP WHERE RCS_USED = ?", {owner_})) linked_[id] = false;
        sqlite3_stmt* next = query("SELECT MAX(RCS_ID) FROM IMPRCS", {});
        sqlite3_step(next);
        nextId_ = static_cast<long>(sqlite3_column_int64(next, 0));
    }
    long owner() const { return owner_; }
    void use(const std::string& type, const std::string& name, const std::string& identity) {
        // By identity alone, the type matched here: with both in the condition SQLite may walk the
        // type's index, thousands of rows a lookup.
        sqlite3_stmt* find = query("SELECT RCS_ID, RCS_TYPE FROM IMPRCS WHERE RCS_IDTY = ?", {});
        sqlite3_bind_text(find, 1, identity.c_str(), -1, SQLITE_TRANSIENT);
        long id = 0;
        while (id == 0 && sqlite3_step(find) == SQLITE_ROW)
            if (text(find, 1) == type) id = static_cast<long>(sqlite3_column_int64(find, 0));
        if (id == 0) {
            sqlite3_stmt* add = query("INSERT INTO IMPRCS (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES (?, ?, ?, ?)", {++nextId_});
            id = nextId_;
            sqlite3_bind_text(add, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(add, 3, identity.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(add, 4, type.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(add);
        }
        auto it = linked_.find(id);
        if (it == linked_.end()) {
            sqlite3_step(query("INSERT INTO IMPDEP (RCS_ID, RCS_USED) VALUES (?, ?)", {id, owner_}));
            linked_[id] = true;
        } else {
            it->second = true;
        }
    }
    void commit() {
        for (const auto& [id, listed] : linked_)
            if (!listed) sqlite3_step(query("DELETE FROM IMPDEP WHERE RCS_ID = ? AND RCS_USED = ?", {id, owner_}));
        for (auto& [sql, s] : statements_) sqlite3_reset(s);
        benchdb::rawExec(db_, "COMMIT");
    }

private:
    sqlite3* db_;
    long owner_;
    std::map<std::string, sqlite3_stmt*> statements_;
    std::map<long, bool> linked_;
    long nextId_ = 0;
};

std::string between(const std::string& doc, const std::string& tag) {
    const size_t from = doc.find("<" + tag + ">"), to = doc.find("</" + tag + ">");
    return from == std::string::npos || to == std::string::npos ? "" : doc.substr(from + tag.size() + 2, to - from - tag.size() - 2);
}

void rawRules(Raw& raw, const std::vector<long>& ruleIds) {
    for (long id : ruleIds) {
        sqlite3_stmt* rule = raw.query("SELECT RU_UUID, RU_ID, RU_DESC FROM RULE WHERE RU_ID = ?", {id});
        while (sqlite3_step(rule) == SQLITE_ROW) raw.use("Rule", Raw::text(rule, 2), "rule|b|" + Raw::text(rule, 0));
    }
}

void rawTask(Raw& raw, long task) {
    const std::vector<long> rules = raw.ids("SELECT RU_ID FROM JBRUME WHERE JB_ID = ?", {task});
    rawRules(raw, rules);
    for (long id : rules) {
        sqlite3_stmt* events = raw.query("SELECT EV_CODE, EV_DATA FROM RULEVT WHERE JB_ID = ? AND RU_ID = ?", {task, id});
        while (sqlite3_step(events) == SQLITE_ROW) {
            const std::string doc = Raw::text(events, 1), name = between(doc, "name");
            raw.use("File", name, "file|" + between(doc, "path") + name);
        }
    }
}

void rawJob(Raw& raw, long job) {
    sqlite3_stmt* present = raw.query("SELECT r.RCS_TYPE FROM IMPDEP d JOIN IMPRCS r ON r.RCS_ID = d.RCS_ID WHERE d.RCS_USED = ?",
                                      {raw.owner()});
    while (sqlite3_step(present) == SQLITE_ROW) benchmark::DoNotOptimize(Raw::text(present, 0));
    rawRules(raw, raw.ids("SELECT BR_ID FROM JTBLRU WHERE SU_ID = ?", {job}));
    struct Table {
        std::string connection, name, file;
        long id;
    };
    std::vector<Table> tables;
    sqlite3_stmt* rows = raw.query("SELECT DISTINCT c.DSN_NAME, c.DSN_CONN, d.TBL_CAT, d.TBL_SCH, d.TBL_NAME, d.FNAME, "
                                   "c.DSN_TEXT, d.TBL_ID FROM JDSN c, JTABLE d WHERE c.DSN_ID = d.DSN_ID AND c.SU_ID = ?",
                                   {job});
    while (sqlite3_step(rows) == SQLITE_ROW)
        tables.push_back({Raw::text(rows, 1), Raw::text(rows, 4), Raw::text(rows, 5), sqlite3_column_int64(rows, 7)});
    for (const Table& t : tables) {
        if (!t.file.empty()) {
            raw.use("File", t.name, "file|" + t.file);
        } else {
            raw.use("Database", t.connection, "db|" + t.connection);
            raw.use("Table", t.name, "table|" + t.connection + "|c|s|" + t.name);
        }
        raw.ids("SELECT CM_ID FROM JTBLME WHERE TBL_ID = ?", {t.id});
        raw.ids("SELECT CM_ID FROM JCMDMA WHERE SU_ID = ? AND TBL_ID = ?", {job, t.id});
    }
}

void rawAnalysis(sqlite3* db, Kind kind) {
    const Objects& o = objects();
    Raw raw(db, kind == Kind::Task ? o.taskOwner : o.jobOwner);
    raw.begin();
    if (kind == Kind::Task)
        rawTask(raw, o.task);
    else
        rawJob(raw, o.job);
    raw.commit();
}

void BM_First_Raw(benchmark::State& state, Case c) {
    objects();
    for (auto _ : state) {
        state.PauseTiming();
        clearLinks();
        sqlite3* db = benchdb::rawOpen(repositoryFile());
        state.ResumeTiming();
        rawAnalysis(db, c.kind);
        sqlite3_close_v2(db);
    }
    countItems(state, c);
}

void BM_Again_Raw(benchmark::State& state, Case c) {
    objects();
    sqlite3* db = benchdb::rawOpen(repositoryFile());
    for (auto _ : state) {
        state.PauseTiming();
        clearLinks();
        rawAnalysis(db, c.kind);
        state.ResumeTiming();
        rawAnalysis(db, c.kind);
    }
    sqlite3_close_v2(db);
    countItems(state, c);
}

// ---- PostgreSQL: a repository of the run's own, removed at the end.

struct PgStore : benchdb::PgImpactStore {
    PgStore() : PgImpactStore("bl") {}
    Objects objects[2];

    bool open() {
        if (repository) return impact != nullptr;
        if (!make()) return false;
        bool filled = true;
        for (size_t i = 0; i < 2 && filled; ++i) filled = fillObjects(repository, impact, objects[i], kSizes[i]);
        if (filled) return true;
        impact->release();
        impact = nullptr;
        return false;
    }
    const Objects& of(int factor) const { return objects[factor == 1 ? 0 : 1]; }
    // Emptied but for the owners' rows as they are. Truncated rather than deleted: rows deleted
    // round after round would stay for every later statement to walk until a vacuum, and a vacuum
    // would leave the few owners as the planner's measure of the table.
    void clear() {
        exec("DROP TABLE IF EXISTS kept_owners");
        exec("CREATE TEMPORARY TABLE kept_owners AS SELECT * FROM " + table("IMPRCS") + " WHERE RCS_ID IN (" +
             ownersOf(objects, 2) + ")");
        exec("TRUNCATE " + table("IMPDEP") + ", " + table("IMPRCS"));
        exec("INSERT INTO " + table("IMPRCS") + " SELECT * FROM kept_owners");
    }
};

PgStore& pg() {
    static PgStore store;
    return store;
}

void BM_Pg_Library(benchmark::State& state, Case c) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    const Objects& o = pg().of(c.factor);
    const bool task = c.kind == Kind::Task;
    VqResourceImpl owner;
    owner.setId(task ? o.taskOwner : o.jobOwner);
    owner.setType(VqbString(task ? "Task" : "ProfileJob"));
    const VqbString id(std::to_string(task ? o.task : o.job).c_str());
    for (auto _ : state) {
        state.PauseTiming();
        pg().clear();
        state.ResumeTiming();
        if (!pg().impact->analyzeObject(&owner, "b", task ? "Task" : "ProfileJob", id, ""))
            return state.SkipWithError(pg().impact->getErrorMessage().asCstr());
    }
    countItems(state, c);
}

// The statements of the raw side's first analysis, with the values it would bind.
void BM_Pg_Psql(benchmark::State& state, Case c) {
    if (!pg().open()) return state.SkipWithError("the PostgreSQL repository could not be made");
    const Kind kind = c.kind;
    const Objects& o = pg().of(1);
    const std::string path = scratch().file(kind == Kind::Task ? "task.sql" : "job.sql");
    {
        const std::string resources = pg().table("IMPRCS"), links = pg().table("IMPDEP"),
                          owner = (kind == Kind::Task ? o.taskOwner : o.jobOwner).str(), task = std::to_string(o.task),
                          job = std::to_string(o.job);
        std::ofstream out(path);
        long next = 1000000;
        auto use = [&](const char* type, const std::string& name, const std::string& identity) {
            const std::string id = std::to_string(++next);
            out << "SELECT RCS_ID FROM " << resources << " WHERE RCS_IDTY = '" << identity << "' AND RCS_TYPE = '"
                << type << "';\nINSERT INTO " << resources << " (RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE) VALUES (" << id
                << ", '" << name << "', '" << identity << "', '" << type << "');\nINSERT INTO " << links
                << " (RCS_ID, RCS_USED) VALUES (" << id << ", " << owner << ");\n";
        };
        out << "BEGIN;\nSELECT RCS_ID FROM " << links << " WHERE RCS_USED = " << owner << ";\nSELECT MAX(RCS_ID) FROM "
            << resources << ";\n";
        auto rule = [&](size_t i) {
            const std::string n = std::to_string(i + 1);
            out << "SELECT RU_UUID, RU_ID, RU_DESC FROM " << pg().table("RULE") << " WHERE RU_ID = " << o.rules[i] << ";\n";
            use("Rule", "rule" + n, "rule|b|uuid-" + n);
        };
        if (kind == Kind::Task) {
            out << "SELECT RU_ID FROM " << pg().table("JBRUME") << " WHERE JB_ID = " << task << ";\n";
            for (size_t i = 0; i < o.rules.size(); ++i) rule(i);
            for (size_t i = 0; i < o.rules.size(); ++i) {
                out << "SELECT EV_CODE, EV_DATA FROM " << pg().table("RULEVT") << " WHERE JB_ID = " << task
                    << " AND RU_ID = " << o.rules[i] << ";\n";
                for (int k = 0; k < 2; ++k) {
                    const std::string name = "r" + std::to_string(i + 1) + "-" + std::to_string(k) + ".log";
                    use("File", name, "file|/l/" + name);
                }
            }
        } else {
            out << "SELECT BR_ID FROM " << pg().table("JTBLRU") << " WHERE SU_ID = " << job << ";\n";
            for (long i = 0; i < tableCount(); ++i) rule(static_cast<size_t>(i));
            out << "SELECT DISTINCT c.DSN_NAME, c.DSN_CONN, d.TBL_CAT, d.TBL_SCH, d.TBL_NAME, d.FNAME, c.DSN_TEXT, "
                   "d.TBL_ID FROM "
                << pg().table("JDSN") << " c, " << pg().table("JTABLE") << " d WHERE c.DSN_ID = d.DSN_ID AND c.SU_ID = "
                << job << ";\n";
            std::set<std::string> databases;
            for (long i = 0; i < tableCount(); ++i) {
                const long s = i % 10;
                const std::string name = "t" + std::to_string(i), connection = "DRIVER=pg;SERVER=h" + std::to_string(s);
                if (s % 2) {
                    use("File", name, "file|/d/" + name + ".csv");
                } else {
                    if (databases.insert(connection).second) use("Database", connection, "db|" + connection);
                    use("Table", name, "table|" + connection + "|c|s|" + name);
                }
                const std::string table = "(SELECT TBL_ID FROM " + pg().table("JTABLE") + " WHERE SU_ID = " + job +
                                          " AND TBL_NAME = '" + name + "')";
                out << "SELECT CM_ID FROM " << pg().table("JTBLME") << " WHERE TBL_ID = " << table << ";\nSELECT CM_ID FROM "
                    << pg().table("JCMDMA") << " WHERE SU_ID = " << job << " AND TBL_ID = " << table << ";\n";
            }
        }
        out << "COMMIT;\n";
    }
    const std::string command = pg().psql(path);
    for (auto _ : state) {
        state.PauseTiming();
        pg().clear();
        state.ResumeTiming();
        if (std::system(command.c_str()) != 0) return state.SkipWithError("psql failed");
    }
    countItems(state, c);
}

}  // namespace

int main(int argc, char** argv) {
    vqlogSetLevel("", 5);
    using Run = void (*)(benchmark::State&, Case);
    auto add = [](const std::string& name, Run run, Case c) {
        benchmark::RegisterBenchmark(name.c_str(), run, c)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    };
    const struct {
        const char* name;
        Run run;
        bool pg;
    } sides[] = {{"First_Library", BM_First_Library, false}, {"First_Raw", BM_First_Raw, false},
                 {"Again_Library", BM_Again_Library, false}, {"Again_Raw", BM_Again_Raw, false},
                 {"Pg_Library", BM_Pg_Library, true},        {"Pg_Psql", BM_Pg_Psql, true}};
    const char* server = std::getenv("REPOS_TEST_PG");
    const bool withPg = server && *server;
    for (const auto& side : sides)
        for (auto [kind, suffix] : {std::pair{Kind::Task, "/task"}, std::pair{Kind::Job, "/job"}})
            if (withPg || !side.pg) add(std::string(side.name) + suffix, side.run, Case{kind});
    // The cost rows' sides: one analysis of each size.
    for (const auto& side : sides) {
        if ((side.pg && !withPg) || side.run == BM_First_Raw || side.run == BM_Again_Raw || side.run == BM_Pg_Psql)
            continue;
        for (auto [kind, suffix] : {std::pair{Kind::Task, "/task"}, std::pair{Kind::Job, "/job"}})
            for (int factor : kSizes)
                add("Cost_" + std::string(side.name) + suffix + "/x" + std::to_string(factor), side.run,
                    Case{kind, factor, true});
    }
    const std::string rules = thousands(ruleCount()), events = thousands(2 * ruleCount()),
                      tables = thousands(tableCount());
    std::vector<bench::Pair> pairs = {
        {"task, " + rules + " rules, " + events + " events", "First_Library/task", "First_Raw/task"},
        {"profile job, " + tables + " tables, " + tables + " rules",
         "First_Library/job", "First_Raw/job"},
        {"task again, nothing changed", "Again_Library/task", "Again_Raw/task"},
        {"profile job again, nothing changed", "Again_Library/job", "Again_Raw/job"}};
    if (withPg) {
        pairs.push_back({"PostgreSQL task, " + rules + " rules", "Pg_Library/task", "Pg_Psql/task"});
        pairs.push_back({"PostgreSQL profile job, " + tables + " tables", "Pg_Library/job", "Pg_Psql/job"});
    } else {
        std::printf("bench_lineage: REPOS_TEST_PG is not set; the PostgreSQL pairs do not run\n");
    }
    const std::string bigRules = thousands(ruleCount(4)), bigTables = thousands(tableCount(4));
    const struct {
        const char* what;
        const char* side;
        bool pg;
    } costs[] = {{"task", "First_Library/task", false},
                 {"profile job", "First_Library/job", false},
                 {"task again", "Again_Library/task", false},
                 {"profile job again", "Again_Library/job", false},
                 {"PostgreSQL task", "Pg_Library/task", true},
                 {"PostgreSQL profile job", "Pg_Library/job", true}};
    for (const auto& cost : costs) {
        if (cost.pg && !withPg) continue;
        const bool job = std::string(cost.side).find("/job") != std::string::npos;
        const std::string sizes = job ? bigTables + " tables vs " + tables : bigRules + " rules vs " + rules;
        pairs.push_back({"cost x: " + std::string(cost.what) + ", " + sizes + " (<= 5)",
                         "Cost_" + std::string(cost.side) + "/x1", "Cost_" + std::string(cost.side) + "/x4"});
    }
    int result = bench::runPairs(argc, argv, "bench_lineage", pairs);
    pg().close();
    return result;
}
