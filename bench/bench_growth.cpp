// Calls whose cost must not grow with what the repository already holds. Each "cost x:" row times
// the same calls on a fresh copy of a file repository holding 4x as much as the other side's copy,
// so its ratio is how many times a call costs more there: 1.0 is flat. Each stored state is built
// once per size from one repository made by createFileRepository, filled through the public calls
// or, where they would take long, by copying rows that a public call wrote through the SQLite C API
// (the same rows, varied in their ids and names). Every measured run gets its own copy of that
// state, made and opened outside the timing, and ends with the repository closed, also outside.
// Every call commits on its own, as a host's call does.
//
// Stored (n = REPOS_BENCH_GROWTH_ROWS, default 2,500, 10,000 in a full run; each row against 4n):
//   key/values      n keys in KEYVAL, read and written through Repository
//   collection      one global category with n mapped fields, n rule links and n definitions
//   locks           n object locks
//   paths           one folder of n rules
//   rule import     4n monitor fields (MFLD); each import a rule document of 10 fields
//   job tables      one setup whose one data source has n tables
//   job setups      one folder of n setups
//   report runs     one report of n/5 runs, each one data source, one table and 40 fields
// With REPOS_TEST_PG set, two rows on a PostgreSQL repository of the run's own: reference-data adds
// and Repository::getNextId, each in one host transaction, N items against 4N, rated per item
// (N = REPOS_BENCH_GROWTH_PG_ITEMS, default 2,000, 5,000 in a full run). There each item's own work
// is a round trip or two, and what grows is added to it, so the factor comes near 4 only at sizes
// where one transaction takes many seconds.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_harness.h"
#include "bench_repos_support.h"
#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_foldermgr.h"
#include "repos_impexp.h"
#include "repos_profile_rda.h"
#include "repos_refdata_rda.h"
#include "repos_repository.h"
#include "vqbconfig.h"
#include "vqbutil.h"
#include "vqlog.h"

namespace {

constexpr unsigned kNone = 0xFFFFFFFFu;

// Calls per measured run: the same on both sides of a row, few against what is stored, so that
// both copies hold about what they started with.
constexpr long kKeyValueCycles = 60;  // 4 calls each
constexpr long kFieldCalls = 120;
constexpr long kRuleLinkCalls = 240;
constexpr long kDefinitionCalls = 180;
constexpr long kLockCycles = 30;  // 8 calls each
constexpr long kPathCalls = 8;
constexpr long kImports = 12;
constexpr long kTableCalls = 80;
constexpr long kSetupCalls = 120;
constexpr long kRunDeletes = 15;
constexpr int kFieldsPerRun = 40;
constexpr int kFieldsPerDocument = 10;

long storedRows() { return bench::size("REPOS_BENCH_GROWTH_ROWS", 2500, 10000); }
long pgItems() { return bench::size("REPOS_BENCH_GROWTH_PG_ITEMS", 2000, 5000); }

template <class T>
struct Releaser {
    void operator()(T* object) const {
        if (object) object->release();
    }
};
template <class T>
using Held = std::unique_ptr<T, Releaser<T>>;

RepositoryAdmin* admin() {
    static RepositoryAdmin* made = [] {
        // The reference-data tables come from the table sets.
        vqbGetConfigOptions("")->set("REPOS/TABLE_LIST_PATH", REPOS_TABLE_SETS);
        return createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    }();
    return made;
}

std::string grouped(long n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string numbered(const char* stem, long i) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%06ld", stem, i);
    return text;
}

// ---- the stored states

// What a measured run opens: the repository and the objects the calls go through.
struct Session {
    Held<Repository> repository;
    Held<CommonRepositoryDataAccess> common;
    Held<ProfileRepositoryDataAccess> profile;
    Held<RepositoryFolderManager> folders;
    Held<RepositoryImportExportManager> transfer;

    explicit Session(const std::string& path) : repository(admin()->openFileRepository(path.c_str(), false)) {
        if (!repository) return;
        common.reset(repository->createCommonRepositoryDataAccess());
        profile.reset(repository->createProfileRepositoryDataAccess());
        folders.reset(repository->createRepositoryFolderManager());
        transfer.reset(repository->createRepositoryImportExportManager());
    }
    ~Session() {
        // Everything made by the repository ends before it.
        transfer.reset();
        folders.reset();
        profile.reset();
        common.reset();
        repository.reset();
    }
    bool ok() const { return repository && common && profile && folders && transfer; }
};

// A repository file in one stored state, with the ids its calls need.
struct Stored {
    std::string path;
    std::string failure;  // empty when the state was built
    unsigned category = kNone, setup = kNone, dataSource = kNone, folder = kNone, report = kNone;
    std::vector<unsigned> ids;  // rules of the folder, runs of the report
};

const std::string& emptyRepository() {
    static std::string path = [] {
        std::string file = benchdb::scratch().file("empty.db");
        if (!admin()->createFileRepository(file.c_str()))
            std::fprintf(stderr, "creating the repository failed: %s\n", admin()->getErrorMessage().asCstr());
        return file;
    }();
    return path;
}

// n - 1 copies of the model row of the table (the one row that where selects), each with the
// columns of varied set from k = 1 .. n - 1, every other column as in the model.
bool copyRow(sqlite3* db, const char* table, const char* where, long n,
             const std::map<std::string, std::string>& varied) {
    if (n < 2) return true;
    std::string columns, values;
    sqlite3_stmt* info = nullptr;
    sqlite3_prepare_v2(db, ("PRAGMA table_info(" + std::string(table) + ")").c_str(), -1, &info, nullptr);
    while (info && sqlite3_step(info) == SQLITE_ROW) {
        const std::string column = reinterpret_cast<const char*>(sqlite3_column_text(info, 1));
        auto set = varied.find(column);
        columns += (columns.empty() ? "" : ", ") + column;
        values += (values.empty() ? "" : ", ") + (set == varied.end() ? "m." + column : set->second);
    }
    sqlite3_finalize(info);
    const std::string sql = "WITH RECURSIVE k(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM k WHERE i < " +
                            std::to_string(n - 1) + ") INSERT INTO " + table + " (" + columns + ") SELECT " + values +
                            " FROM k, " + table + " m WHERE " + where;
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "copying rows failed: %s: %s\n", sql.c_str(), error ? error : "?");
        sqlite3_free(error);
        return false;
    }
    return true;
}

// The counter of a table whose copied rows took ids past it: the largest id.
bool raiseCounter(sqlite3* db, const char* key, const char* table, const char* column) {
    const std::string sql = std::string("UPDATE UCURID SET NI_VAL = (SELECT MAX(") + column + ") FROM " + table +
                            ") WHERE NI_KEY = '" + key + "'";
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK && sqlite3_changes(db) > 0;
}

using ThroughCalls = std::function<std::string(Session&, Stored&)>;
using ThroughFile = std::function<bool(sqlite3*, const Stored&)>;

// A copy of the empty repository, written first through the calls, then (closed) through the file.
Stored build(const std::string& stem, const ThroughCalls& calls, const ThroughFile& rows) {
    Stored made;
    made.path = benchdb::scratch().file(stem + ".db");
    std::error_code ec;
    if (!std::filesystem::copy_file(emptyRepository(), made.path, std::filesystem::copy_options::overwrite_existing,
                                    ec)) {
        made.failure = "no copy of the empty repository";
        return made;
    }
    {
        Session session(made.path);
        if (!session.ok()) {
            made.failure = "the repository did not open";
            return made;
        }
        made.failure = calls(session, made);
        if (!made.failure.empty()) return made;
    }
    if (rows) {
        sqlite3* db = benchdb::rawOpen(made.path);
        benchdb::rawExec(db, "BEGIN");
        const bool ok = rows(db, made);
        benchdb::rawExec(db, ok ? "COMMIT" : "ROLLBACK");
        sqlite3_close_v2(db);
        if (!ok) made.failure = "writing the rows failed";
    }
    return made;
}

// Each state once a run, by kind and size.
const Stored& storedState(const std::string& kind, long n,
                          const std::function<Stored(const std::string&, long)>& make) {
    static std::map<std::string, Stored> made;
    const std::string stem = kind + "-" + std::to_string(n);
    auto found = made.find(stem);
    if (found == made.end()) found = made.emplace(stem, make(stem, n)).first;
    return found->second;
}

// ---- the measured runs

using Calls = std::function<std::string(Session&, const Stored&)>;

// One run per iteration on a fresh copy of the state; only the calls are timed.
void timeCalls(benchmark::State& state, const Stored& from, long calls, const Calls& run) {
    if (!from.failure.empty()) return state.SkipWithError(from.failure.c_str());
    const std::string copy = benchdb::scratch().file("run.db");
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        std::filesystem::copy_file(from.path, copy, std::filesystem::copy_options::overwrite_existing, ec);
        auto session = std::make_unique<Session>(copy);
        if (ec || !session->ok()) return state.SkipWithError("the copy did not open");
        state.ResumeTiming();
        const std::string failure = run(*session, from);
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
        if (!failure.empty()) return state.SkipWithError(failure.c_str());
    }
    state.SetItemsProcessed(state.iterations() * calls);
}

// ---- key/values: KEYVAL by V_KEY

const Stored& keyValues(long n) {
    return storedState("keyvalues", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored&) {
                return s.repository->setKeyValue(numbered("growth.key.", 1).c_str(), "value")
                           ? std::string()
                           : "setKeyValue: " + s.repository->getErrorMessage().str();
            },
            [count](sqlite3* db, const Stored&) {
                return copyRow(db, "KEYVAL", "m.V_KEY = 'growth.key.000001'", count,
                               {{"V_KEY", "printf('growth.key.%06d', k.i + 1)"}});
            });
    });
}

// Per cycle: a stored key written, a new key written, a stored key read, a missing key read.
std::string keyValueCalls(Session& s, long n) {
    Repository* r = s.repository.get();
    for (long c = 0; c < kKeyValueCycles; ++c) {
        const std::string known = numbered("growth.key.", 1 + c * n / kKeyValueCycles);
        VqbString value;
        if (!r->setKeyValue(known.c_str(), "changed") || !r->setKeyValue(numbered("growth.new.", c).c_str(), "v") ||
            !r->getKeyValue(known.c_str(), value) || !value.equals("changed", true) ||
            !r->getKeyValue(numbered("growth.none.", c).c_str(), value))
            return "key/values: " + r->getErrorMessage().str();
    }
    return "";
}

// ---- a collection: GCFLD, GCRUL and GCDEF of one category

const Stored& collection(long n) {
    return storedState("collection", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored& made) {
                CommonRepositoryDataAccess* c = s.common.get();
                made.category = c->addGlobalCategory("Growth", "the category of the growth rows");
                if (made.category == kNone ||
                    !c->addGlobalCategoryField(made.category, "warehouse", "sales", "dbo", "table_000000",
                                               "field_000001", true, "C", 20, 1) ||
                    !c->addGlobalCategoryRule(made.category, 1) ||
                    c->addGlobalCategoryDefinition(made.category, "ENUSA", 1, "definition", 1, "token",
                                                   "token of the definition") == kNone)
                    return "collection: " + c->getErrorMessage().str();
                return std::string();
            },
            [count](sqlite3* db, const Stored&) {
                // Forty fields a table, as a collection maps whole tables.
                return copyRow(db, "GCFLD", "m.MAP_FLD = 'field_000001'", count,
                               {{"MAP_TBL", "printf('table_%06d', (k.i + 1) / 40)"},
                                {"MAP_FLD", "printf('field_%06d', k.i + 1)"},
                                {"FLD_POS", "(k.i + 1) % 40"}}) &&
                       copyRow(db, "GCRUL", "m.RU_ID = 1", count, {{"RU_ID", "k.i + 1"}}) &&
                       copyRow(db, "GCDEF", "m.TS_ID = 1", count,
                               {{"DEF_ID", "m.DEF_ID + k.i"}, {"TS_ID", "k.i + 1"}, {"TKN_ID", "k.i + 1"}}) &&
                       raiseCounter(db, "GCDEF", "GCDEF", "DEF_ID");
            });
    });
}

// The k-th of calls: an odd one names a stored row (spread over the n), an even one a new row.
long storedOrNew(long k, long calls, long n) { return k % 2 ? 1 + k * n / calls : n + 1 + k; }

// call(i) for each row storedOrNew picks: a stored row is found and nothing written, a new one
// added. The first failure's text, else empty.
template <class Access, class Call>
std::string halfStored(long calls, long n, const char* what, Access* access, const Call& call) {
    for (long k = 0; k < calls; ++k)
        if (!call(storedOrNew(k, calls, n))) return std::string(what) + ": " + access->getErrorMessage().str();
    return "";
}

std::string fieldCalls(Session& s, const Stored& at, long n) {
    CommonRepositoryDataAccess* c = s.common.get();
    return halfStored(kFieldCalls, n, "addGlobalCategoryField", c, [&](long field) {
        return c->addGlobalCategoryField(at.category, "warehouse", "sales", "dbo",
                                         numbered("table_", field / 40).c_str(), numbered("field_", field).c_str(),
                                         true, "C", 20, static_cast<int>(field % 40));
    });
}

std::string ruleLinkCalls(Session& s, const Stored& at, long n) {
    CommonRepositoryDataAccess* c = s.common.get();
    return halfStored(kRuleLinkCalls, n, "addGlobalCategoryRule", c,
                      [&](long rule) { return c->addGlobalCategoryRule(at.category, static_cast<unsigned>(rule)); });
}

std::string definitionCalls(Session& s, const Stored& at, long n) {
    CommonRepositoryDataAccess* c = s.common.get();
    return halfStored(kDefinitionCalls, n, "addGlobalCategoryDefinition", c, [&](long definition) {
        const int id = static_cast<int>(definition);
        return c->addGlobalCategoryDefinition(at.category, "ENUSA", id, "definition", id, "token",
                                              "token of the definition") != kNone;
    });
}

// ---- object locks: OBJLCK by object id and type

const Stored& locks(long n) {
    return storedState("locks", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored&) {
                return s.folders->lockObject(1, "Rule", "alice", "lock-uuid-1")
                           ? std::string()
                           : "lockObject: " + s.folders->getErrorMessage().str();
            },
            [count](sqlite3* db, const Stored&) {
                return copyRow(
                    db, "OBJLCK", "m.OBJ_ID = 1", count,
                    {{"LCK_ID", "m.LCK_ID + k.i"}, {"OBJ_ID", "k.i + 1"}, {"OBJ_UUID", "'lock-uuid-' || (k.i + 1)"}});
            });
    });
}

// Per cycle: a new object locked, tested, read and unlocked, tested again; a stored lock tested,
// read and taken over.
std::string lockCalls(Session& s, long n) {
    RepositoryFolderManager* f = s.folders.get();
    VqbString uuid, user;
    VqbDatavar date;
    for (long c = 0; c < kLockCycles; ++c) {
        const unsigned fresh = static_cast<unsigned>(n + 1 + c), known = static_cast<unsigned>(1 + c * n / kLockCycles);
        if (!f->lockObject(fresh, "Rule", "bob", "fresh-uuid") || !f->isObjectLocked(fresh, "Rule") ||
            !f->getLockInfo(fresh, "Rule", uuid, user, date) || !f->unlockObject(fresh, "Rule") ||
            f->isObjectLocked(fresh, "Rule") || !f->isObjectLocked(known, "Rule") ||
            !f->getLockInfo(known, "Rule", uuid, user, date) || !f->lockObject(known, "Rule", "carol", uuid))
            return "locks: " + f->getErrorMessage().str();
    }
    return "";
}

// ---- objects by path: the rules of one folder

const Stored& folderOfRules(long n) {
    return storedState("paths", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [count](Session& s, Stored& made) {
                if (!s.folders->addFolder(0, "Growth", made.folder))
                    return "addFolder: " + s.folders->getErrorMessage().str();
                CommonRepositoryDataAccess* c = s.common.get();
                c->beginTransaction(true);
                for (long i = 1; i <= count; ++i) {
                    const unsigned id = c->addRule(numbered("rule_", i).c_str(), "B", "LEN(NAME) > 0", "G", "", "u",
                                                   vqbNewUUID(), static_cast<int>(made.folder), "", "");
                    if (id == 0 || id == kNone) {
                        c->endTransaction(false);
                        return "addRule: " + c->getErrorMessage().str();
                    }
                    made.ids.push_back(id);
                }
                return c->endTransaction(true) ? std::string() : "addRule: " + c->getErrorMessage().str();
            },
            nullptr);
    });
}

// Stored names as written and in other case, and names that are not there, through both calls.
std::string pathCalls(Session& s, const Stored& at, long n) {
    RepositoryFolderManager* f = s.folders.get();
    for (long k = 0; k < kPathCalls; ++k) {
        const long i = 1 + k * n / kPathCalls;
        const bool known = k % 4 < 2;
        std::string path = known ? "Growth/" + numbered("rule_", i) : "Growth/" + numbered("no_rule_", i);
        if (k % 4 == 1) path = "GROWTH/" + numbered("RULE_", i);
        unsigned folder = 0;
        int id = -1;
        VqbString name, uuid, error;
        const bool found = f->getObjectIdFromPath(path.c_str(), "Rule", folder, id, name, uuid, error);
        if (found != known || (known && id != static_cast<int>(at.ids[static_cast<size_t>(i - 1)])))
            return "getObjectIdFromPath answered otherwise for " + path;
        if (f->objectExistsAtPath(path.c_str(), "Rule") != known)
            return "objectExistsAtPath answered otherwise for " + path;
    }
    return "";
}

// ---- rule import: the monitor fields a rule document names

long monitorFields(long n) { return 4 * n; }

const Stored& monitorFieldsStored(long n) {
    return storedState("mfld", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored&) {
                return s.common->addMonitorField("MF_000001", "monitor field")
                           ? std::string()
                           : "addMonitorField: " + s.common->getErrorMessage().str();
            },
            [count](sqlite3* db, const Stored&) {
                return copyRow(db, "MFLD", "m.FI_NAME = 'MF_000001'", monitorFields(count),
                               {{"FI_NAME", "printf('MF_%06d', k.i + 1)"}});
            });
    });
}

// kImports rule documents, exported once from a repository of their own: each names half fields
// that both stored states hold and half new ones.
const std::vector<std::string>& ruleDocuments() {
    static std::vector<std::string> documents = [] {
        std::vector<std::string> made;
        const std::string path = benchdb::scratch().file("documents.db");
        std::error_code ec;
        std::filesystem::copy_file(emptyRepository(), path, std::filesystem::copy_options::overwrite_existing, ec);
        Session s(path);
        if (!s.ok()) return made;
        const long known = monitorFields(storedRows());
        std::vector<unsigned> ids;
        for (long d = 0; d < kImports; ++d) {
            const unsigned id = s.common->addRule(numbered("imported_rule_", d).c_str(), "B", "LEN(NAME) > 0", "G", "",
                                                  "u", vqbNewUUID(), 0, "", "");
            bool ok = id != 0 && id != kNone;
            for (int f = 0; ok && f < kFieldsPerDocument; ++f) {
                const std::string field = f % 2 ? numbered("MF_", 1 + (d * kFieldsPerDocument + f) * 97 % known)
                                                : numbered("NEW", d * kFieldsPerDocument + f);
                ok = s.common->addRuleField(id, field.c_str(), "monitor field");
            }
            if (!ok) {
                std::fprintf(stderr, "making a rule to export failed: %s\n", s.common->getErrorMessage().asCstr());
                return made;
            }
            ids.push_back(id);
        }
        for (unsigned id : ids) {
            VqbString out, error;
            if (!s.transfer->exportObject(id, "Rule", "", out, error, nullptr)) {
                std::fprintf(stderr, "exporting a rule failed: %s\n", error.asCstr());
                return std::vector<std::string>();
            }
            made.push_back(out.str());
        }
        return made;
    }();
    return documents;
}

std::string importCalls(Session& s) {
    const std::vector<std::string>& documents = ruleDocuments();
    if (documents.size() != static_cast<size_t>(kImports)) return "the rule documents could not be made";
    for (const std::string& document : documents) {
        VqbString log;
        if (!s.transfer->importObject(document.c_str(), 0, log)) return "importObject: " + log.str();
    }
    return "";
}

// ---- job tables: JTABLE of one setup; job setups: JSETUP of one folder

const Stored& setupTables(long n) {
    return storedState("jtable", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored& made) {
                ProfileRepositoryDataAccess* p = s.profile.get();
                made.setup =
                    p->addJobSetup("Growth", "the setup of the growth rows", vqbNewUUID(), 46000, 46000, "u", "u", 0);
                made.dataSource =
                    made.setup == kNone ? kNone : p->addJobDataSource(made.setup, "warehouse", "DSN=warehouse", "");
                if (made.dataSource == kNone ||
                    p->addJobTable(made.setup, static_cast<int>(made.dataSource), "sales", "dbo", "table_000001", "",
                                   "", "", 0, "", "", "", 0, 0, 0, "N", 0, 0, "N", false) == kNone)
                    return "job setup: " + p->getErrorMessage().str();
                return std::string();
            },
            [count](sqlite3* db, const Stored&) {
                return copyRow(db, "JTABLE", "m.TBL_NAME = 'table_000001'", count,
                               {{"TBL_ID", "m.TBL_ID + k.i"}, {"TBL_NAME", "printf('table_%06d', k.i + 1)"}}) &&
                       raiseCounter(db, "JTABLE", "JTABLE", "TBL_ID");
            });
    });
}

std::string tableCalls(Session& s, const Stored& at, long n) {
    ProfileRepositoryDataAccess* p = s.profile.get();
    return halfStored(kTableCalls, n, "addJobTable", p, [&](long table) {
        return p->addJobTable(at.setup, static_cast<int>(at.dataSource), "sales", "dbo",
                              numbered("table_", table).c_str(), "", "", "", 0, "", "", "", 0, 0, 0, "N", 0, 0, "N",
                              false) != kNone;
    });
}

const Stored& folderOfSetups(long n) {
    return storedState("jsetup", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [](Session& s, Stored& made) {
                if (!s.folders->addFolder(0, "Jobs", made.folder))
                    return "addFolder: " + s.folders->getErrorMessage().str();
                return s.profile->addJobSetup("setup_000001", "a setup", "setup-uuid", 46000, 46000, "u", "u",
                                              made.folder) == kNone
                           ? "addJobSetup: " + s.profile->getErrorMessage().str()
                           : std::string();
            },
            [count](sqlite3* db, const Stored&) {
                return copyRow(db, "JSETUP", "m.SU_NAME = 'setup_000001'", count,
                               {{"SU_ID", "m.SU_ID + k.i"},
                                {"SU_NAME", "printf('setup_%06d', k.i + 1)"},
                                {"SU_UUID", "'setup-uuid-' || k.i"}}) &&
                       raiseCounter(db, "JSETUP", "JSETUP", "SU_ID");
            });
    });
}

// New names are added; a stored name is refused, as the name is taken in that folder.
std::string setupCalls(Session& s, const Stored& at, long n) {
    ProfileRepositoryDataAccess* p = s.profile.get();
    for (long k = 0; k < kSetupCalls; ++k) {
        const bool known = k % 2;
        const std::string name = numbered("setup_", storedOrNew(k, kSetupCalls, n));
        const unsigned id = p->addJobSetup(name.c_str(), "a setup", vqbNewUUID(), 46000, 46000, "u", "u", at.folder);
        if ((id == kNone) != known) return "addJobSetup answered otherwise for " + name;
    }
    return "";
}

// ---- deleting report runs

long runsOf(long n) { return std::max(kRunDeletes * 2, n / 5); }

// One report whose runs each read one data source with one table of kFieldsPerRun fields. The runs
// carry no SAME_FREQ_TABLE setting, so each counts as one that wrote a frequency table per field:
// the delete reads every run's fields to drop those tables (none was written, so none is there).
const Stored& reportRuns(long n) {
    return storedState("runs", n, [](const std::string& stem, long count) {
        return build(
            stem,
            [count](Session& s, Stored& made) {
                ProfileRepositoryDataAccess* p = s.profile.get();
                p->beginTransaction(true);
                bool ok = p->addReport(kNone, 0, "Growth report", 46000, "u", &made.report);
                for (long r = 0; ok && r < runsOf(count); ++r) {
                    uint32_t run = 0, source = 0, table = 0, field = 0;
                    ok = p->addJob(numbered("run ", r).c_str(), 46000 + static_cast<double>(r), made.report, &run) &&
                         p->addJobConfigValue(run, "ENGINE", "profile") &&
                         p->addDataSource(run, "warehouse", "DSN=warehouse", "N", &source) &&
                         p->addTable(source, "sales", "dbo", "orders", "", "", "", 0, "", &table) &&
                         p->addExecutionLog(source, table, "profile", "done", 1, "read");
                    for (int f = 0; ok && f < kFieldsPerRun; ++f)
                        ok = p->addField(source, table, numbered("field_", f).c_str(), "C", &field);
                    made.ids.push_back(run);
                }
                const bool ended = p->endTransaction(ok);
                return ok && ended ? std::string() : "report runs: " + p->getErrorMessage().str();
            },
            nullptr);
    });
}

// Runs spread over the report, one call each.
std::string deleteCalls(Session& s, const Stored& at) {
    ProfileRepositoryDataAccess* p = s.profile.get();
    for (long k = 0; k < kRunDeletes; ++k) {
        const unsigned run = at.ids[static_cast<size_t>(k) * at.ids.size() / kRunDeletes];
        if (!p->deleteReportJobs(run, run, at.report, false)) return "deleteReportJobs: " + p->getErrorMessage().str();
    }
    return "";
}

// ---- the file rows registered: each at n (library side) and 4n (baseline side)

struct FileRow {
    const char* name;
    long calls;
    std::function<const Stored&(long)> at;  // the state holding n
    std::function<std::string(Session&, const Stored&, long)> work;
};

const std::vector<FileRow>& fileRows() {
    static const std::vector<FileRow> rows = {
        {"KeyValues", 4 * kKeyValueCycles, keyValues,
         [](Session& s, const Stored&, long n) { return keyValueCalls(s, n); }},
        {"CategoryFields", kFieldCalls, collection, fieldCalls},
        {"CategoryRules", kRuleLinkCalls, collection, ruleLinkCalls},
        {"CategoryDefinitions", kDefinitionCalls, collection, definitionCalls},
        {"Locks", 8 * kLockCycles, locks, [](Session& s, const Stored&, long n) { return lockCalls(s, n); }},
        {"Paths", 2 * kPathCalls, folderOfRules, pathCalls},
        {"RuleImport", kImports, monitorFieldsStored, [](Session& s, const Stored&, long) { return importCalls(s); }},
        {"JobTables", kTableCalls, setupTables, tableCalls},
        {"JobSetups", kSetupCalls, folderOfSetups, setupCalls},
        {"RunDeletes", kRunDeletes, reportRuns, [](Session& s, const Stored& at, long) { return deleteCalls(s, at); }},
    };
    return rows;
}

void registerFileRows() {
    for (const FileRow& row : fileRows()) {
        for (long times : {1L, 4L}) {
            const std::string name = std::string("BM_") + row.name + (times == 1 ? "_1x" : "_4x");
            benchmark::RegisterBenchmark(
                name.c_str(),
                [&row, times](benchmark::State& state) {
                    const long n = times * storedRows();
                    timeCalls(state, row.at(n), row.calls,
                              [&row, n](Session& s, const Stored& at) { return row.work(s, at, n); });
                })
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
}

// ---- PostgreSQL: id draws inside one host transaction

const char* pgServer() {
    const char* server = std::getenv("REPOS_TEST_PG");
    return server && *server ? server : nullptr;
}

// A repository of the run's own on the server.
struct PgGrowth {
    benchdb::PgImpactStore store{"bgr"};
    bool tried = false, ok = false;
    std::string kept;  // the counters the repository was made with, as the values of one insert
    long keptRows = 0;

    bool ready() {
        if (tried) return ok;
        tried = true;
        if (!(ok = store.make())) return false;
        VqbString error;
        Held<ReposDataAccessCursor> rows(
            store.repository->paramSelect(("SELECT NI_KEY, NI_VAL FROM " + store.table("UCURID")).c_str(), &error, 0));
        while (rows && rows->next() == 1) {
            const VqbString name = rows->getString(0);
            std::string key;
            for (char c : name.str()) key += c == '\'' ? std::string("''") : std::string(1, c);
            kept += (kept.empty() ? "" : ", ") + ("('" + key + "', " + std::to_string(rows->getInt(1)) + ")");
            ++keptRows;
        }
        return ok = rows != nullptr;
    }
    long count(const char* table) {
        VqbString error;
        Held<ReposDataAccessCursor> rows(
            store.repository->paramSelect(("SELECT COUNT(*) FROM " + store.table(table)).c_str(), &error, 0));
        return rows && rows->next() == 1 ? rows->getInt(0) : -1;
    }
    // Each run starts with no items and only the counters the repository was made with. The tables
    // are emptied anew, not deleted from: dead rows that other sessions' snapshots keep from
    // being vacuumed would slow every later run's lookups.
    bool reset() {
        const std::string counters = store.table("UCURID");
        store.exec("TRUNCATE " + store.table("RDITVR") + ", " + store.table("RDDOIT") + ", " + counters);
        if (!kept.empty()) store.exec("INSERT INTO " + counters + " (NI_KEY, NI_VAL) VALUES " + kept);
        return count("RDDOIT") == 0 && count("UCURID") == keptRows;
    }
};

PgGrowth& pg() {
    static PgGrowth growth;
    return growth;
}

template <class Items>
void timePg(benchmark::State& state, long items, const Items& add) {
    PgGrowth& g = pg();
    if (!g.ready()) return state.SkipWithError("the PostgreSQL repository could not be made");
    for (auto _ : state) {
        state.PauseTiming();
        if (!g.reset()) return state.SkipWithError("emptying the tables failed");
        state.ResumeTiming();
        const std::string failure = add(g.store.repository, items);
        if (!failure.empty()) return state.SkipWithError(failure.c_str());
    }
    state.SetItemsProcessed(state.iterations() * items);
}

// Items in one host transaction, one id draw each. Placing each item too would draw a second id
// from a second counter: the same factor at twice the time.
std::string addItems(Repository* repository, long items) {
    Held<RefDataRepositoryDataAccess> r(repository->createRefDataRepositoryDataAccess());
    if (!r || !r->beginTransaction(false)) return "no reference-data transaction";
    for (long i = 0; i < items; ++i) {
        uint32_t item = 0;
        if (!r->addItem(numbered("k", i).c_str(), "value", "Y", "", "", -1, &item)) {
            r->endTransaction(false);
            return "addItem: " + r->getErrorMessage().str();
        }
    }
    return r->endTransaction(true) ? std::string() : "commit: " + r->getErrorMessage().str();
}

std::string drawIds(Repository* repository, long items) {
    Held<CommonRepositoryDataAccess> host(repository->createCommonRepositoryDataAccess());
    if (!host || !host->beginTransaction(false)) return "no host transaction";
    for (long i = 0; i < items; ++i) {
        unsigned id = 0;
        VqbString error;
        if (!repository->getNextId("GROWTH", &id, &error)) {
            host->endTransaction(false);
            return "getNextId: " + error.str();
        }
    }
    return host->endTransaction(true) ? std::string() : "commit: " + host->getErrorMessage().str();
}

void registerPgRows() {
    for (long times : {1L, 4L}) {
        const std::string suffix = times == 1 ? "_1x" : "_4x";
        benchmark::RegisterBenchmark(("BM_PgItems" + suffix).c_str(),
                                     [times](benchmark::State& state) { timePg(state, times * pgItems(), addItems); })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark(("BM_PgIds" + suffix).c_str(),
                                     [times](benchmark::State& state) { timePg(state, times * pgItems(), drawIds); })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    // The files live in memory where the system has a memory file system: a durable commit on a
    // disk can take milliseconds, which would hide what each call's own statements cost.
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) setenv("TMPDIR", "/dev/shm", 1);
    admin();
    // Refused adds and missing paths are part of the calls measured; their level-5 lines are not.
    vqlogSetLevel("", 6);
    const long n = storedRows(), n4 = 4 * n;
    auto label = [](const std::string& what) { return "cost x: " + what + " (<= 1.5)"; };
    registerFileRows();
    std::vector<bench::Pair> pairs = {
        {label("key/values, " + grouped(n4) + " keys vs " + grouped(n)), "BM_KeyValues_1x", "BM_KeyValues_4x"},
        {label("category fields, " + grouped(n4) + " in the category vs " + grouped(n)), "BM_CategoryFields_1x",
         "BM_CategoryFields_4x"},
        {label("category rules, " + grouped(n4) + " vs " + grouped(n)), "BM_CategoryRules_1x", "BM_CategoryRules_4x"},
        {label("category definitions, " + grouped(n4) + " vs " + grouped(n)), "BM_CategoryDefinitions_1x",
         "BM_CategoryDefinitions_4x"},
        {label("object locks, " + grouped(n4) + " held vs " + grouped(n)), "BM_Locks_1x", "BM_Locks_4x"},
        {label("objects by path, " + grouped(n4) + " rules in the folder vs " + grouped(n)), "BM_Paths_1x",
         "BM_Paths_4x"},
        {label("rule import, " + grouped(monitorFields(n4)) + " monitor fields vs " + grouped(monitorFields(n))),
         "BM_RuleImport_1x", "BM_RuleImport_4x"},
        {label("addJobTable, " + grouped(n4) + " tables in the setup vs " + grouped(n)), "BM_JobTables_1x",
         "BM_JobTables_4x"},
        {label("addJobSetup, " + grouped(n4) + " setups in the folder vs " + grouped(n)), "BM_JobSetups_1x",
         "BM_JobSetups_4x"},
        {label("deleteReportJobs per run, " + grouped(runsOf(n4)) + " runs vs " + grouped(runsOf(n)) +
               ", 40 fields, tables per field"),
         "BM_RunDeletes_1x", "BM_RunDeletes_4x"},
    };
    if (pgServer()) {
        registerPgRows();
        const long items = pgItems();
        pairs.push_back({label("PostgreSQL: reference-data adds in one transaction, per item, " + grouped(4 * items) +
                               " vs " + grouped(items)),
                         "BM_PgItems_1x", "BM_PgItems_4x"});
        pairs.push_back(
            {label("PostgreSQL: getNextId in one transaction, per id, " + grouped(4 * items) + " vs " + grouped(items)),
             "BM_PgIds_1x", "BM_PgIds_4x"});
    } else {
        std::printf("bench_growth: REPOS_TEST_PG is not set; the two PostgreSQL rows do not run\n");
    }
    const int result = bench::runPairs(argc, argv, "bench_growth", pairs);
    if (pgServer()) pg().store.close();
    return result;
}
