// Operations of the administrator that need an open repository: opening by connection, file or
// name, creating and deleting repositories, deleting repository files, probing list entries.
#include <new>
#include <string>
#include <vector>

#include "np_fio.h"
#include "np_uchar.h"
#include "rda_factory.h"
#include "repadmimpl.h"
#include "repos_reasons.h"
#include "repos_tables.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbdatavar.h"
#include "vqbmessage.h"
#include "vqrepconfig.h"

namespace {

const char kSource[] = "repadmimpl";

// Tables outside the catalogue that a repository may hold: the shared distribution table and
// tables of older versions.
const char* const kLooseTables[] = {"FRQDST", "CURID", "KEYVAL", "REDUN"};

// Whether a part of a connection text sets CREATE. A braced value that holds such a part counts
// too, which only costs an override that changes nothing.
bool setsCreate(const std::string& text) {
    for (size_t start = 0;;) {
        size_t key = text.find_first_not_of(" \t", start);
        if (key == std::string::npos) return false;
        size_t next = text.find_first_not_of(" \t", key + 6);
        if (VqbString(text.substr(key, 6)).equals("CREATE", false) && next != std::string::npos && text[next] == '=')
            return true;
        start = text.find(';', key);
        if (start == std::string::npos) return false;
        ++start;
    }
}

}  // namespace

VqbString RepositoryAdminImpl::fileConnection(const VqbString& path, bool create) {
    // A path holding the connection text's separators is braced, so it stays one value.
    const std::string& p = path.str();
    bool brace = p.find_first_of(";{}") != std::string::npos ||
                 (!p.empty() && (np_uchar_isspace(p.c_str()) || p.back() == ' ' || p.back() == '\t'));
    std::string value = p;
    if (brace) {
        value = "{";
        for (char c : p) {
            value += c;
            if (c == '}') value += '}';
        }
        value += "}";
    }
    return VqbString::format("FILE=%s;CREATE=%s;VQXTYPE=SQLITE", value.c_str(), create ? "TRUE" : "FALSE");
}

bool RepositoryAdminImpl::connectionFailure(int line, ReposDataAccess* db) {
    return reposConnectionLogged(db) ? handOn(reposConnectionReason(db)) : fail(line, reposConnectionReason(db));
}

bool RepositoryAdminImpl::validated(RepositoryImpl* repository) {
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = 0, secondVersion = 0;
    repository->getRepositoryInfo(mode, kind, version, secondVersion);
    // Told before the version check, which would blame a version the file never had.
    const VqbString file = kind == REPOS_KIND_NONE ? repository->databaseFile() : VqbString("");
    if (!file.isEmpty()) return fail(__LINE__, reposMessage(1336, file.asCstr()));
    bool unfinishedCopy = false;
    if (!repository->isVersionAcceptable() || !repository->isMinorVersionAcceptable())
        return fail(__LINE__, reposMessage(1052));
    if (!repository->isCopyUnfinished(&unfinishedCopy)) return handOn(repository->getErrorMessage());
    return !unfinishedCopy || fail(__LINE__, reposMessage(1317));
}

RepositoryImpl* RepositoryAdminImpl::openRepositoryImpl(const VqbString& connection, const VqbString& tablePrefix,
                                                        bool validate, const char* poolId) {
    ReposHeld<RepositoryImpl> repository(new (std::nothrow) RepositoryImpl());
    if (!repository) {
        fail(__LINE__, reposMessage(530));
        return nullptr;
    }
    VqbString error("");
    if (!repository->open(false, this, REPOS_ACCESS_CONNECTOR, connection, tablePrefix, VqbString(poolId ? poolId : ""),
                          statusCallback_, error)) {
        if (error.isEmpty()) fail(__LINE__, reposMessage(1584));
        else handOn(error);
        return nullptr;
    }
    if (validate && !validated(repository.get())) return nullptr;
    return repository.release();  // the caller's now
}

Repository* RepositoryAdminImpl::connectRepository(const VqbString& connection, const VqbString& tablePrefix,
                                                   bool validate, const char* poolId) try {
    return openRepositoryImpl(connection, tablePrefix, validate, poolId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

Repository* RepositoryAdminImpl::openFileRepository(const VqbString& path, bool validate) try {
    return openFile(path, validate, true);
} catch (...) {
    return caught(__LINE__, nullptr);
}

RepositoryImpl* RepositoryAdminImpl::openFile(const VqbString& path, bool validate, bool mayCreate) {
    VqbConfigOptions* options = vqbGetConfigOptions("");
    if (!options) {
        fail(__LINE__, reposMessage(292));
        return nullptr;
    }
    ReposHeld<RepositoryImpl> repository(new (std::nothrow) RepositoryImpl());
    if (!repository) {
        fail(__LINE__, reposMessage(530));
        return nullptr;
    }
    // Only a clean false sends the file through the connector.
    VqbString force;
    bool error = true;
    bool viaConnector = options->get("REPOS/FORCE_FILE_BASED", force) && !force.trimmed().asBool(&error) && !error;
    VqbString openError("");
    bool opened = viaConnector ? repository->open(false, this, REPOS_ACCESS_CONNECTOR, fileConnection(path, mayCreate),
                                                  "", "", statusCallback_, openError)
                               : repository->open(false, this, REPOS_ACCESS_SQLITE_FILE, path, "", "", statusCallback_,
                                                  openError);
    if (!opened) {
        if (openError.isEmpty()) fail(__LINE__, reposMessage(1584));
        else handOn(openError);
        return nullptr;
    }
    if (validate && !validated(repository.get())) return nullptr;
    return repository.release();  // the caller's now
}

Repository* RepositoryAdminImpl::openRepository(const VqbString& name, bool validate, const char* poolId) try {
    VqbString connection(""), tablePrefix("");
    bool isFile = false;
    if (!lookupRepository(name, connection, tablePrefix, isFile)) return nullptr;
    if (isFile) return openFileRepository(connection, validate);
    return connectRepository(connection, tablePrefix, validate, poolId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RepositoryAdminImpl::lookupRepository(const VqbString& name, VqbString& connection, VqbString& tablePrefix,
                                           bool& isFile) try {
    ReposHeld<RepositoryConfigurationManager> manager(getRepositoryConfigurationManager());
    ReposHeld<RepositoryConfiguration> configuration(manager ? manager->getRepositoryConfiguration(name) : nullptr);
    if (!configuration) return fail(__LINE__, reposMessage(1306, name.asCstr()));
    isFile = configuration->getConnectorKind() == REPOS_CONNECTOR_FILE;
    VqbString text = configuration->getConnection();
    if (!text.isNull() && !text.isEmpty()) connection = text;
    text = configuration->getTablePrefix();
    if (!text.isNull() && !text.isEmpty()) tablePrefix = text;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::createRepository(const VqbString& connection, const VqbString& tablePrefix) try {
    return createRepositoryTables(connection, tablePrefix, VqbString());
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::createFileRepository(const VqbString& path) try {
    return createRepositoryTables(fileConnection(path), "", VqbString());
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::createRepositoryTables(const VqbString& connection, const VqbString& tablePrefix,
                                                 const VqbString& ddlFile) {
    if (!tablePrefix.isEmpty() && !np_uchar_isalpha(tablePrefix.asCstr())) return fail(__LINE__, reposMessage(1303));
    ReposHeld<RepositoryImpl> repository(openRepositoryImpl(connection, tablePrefix, false, nullptr));
    return repository && createTablesIn(repository.get(), ddlFile);
}

bool RepositoryAdminImpl::createTablesIn(RepositoryImpl* repository, const VqbString& ddlFile) {
    ReposDataAccess* db = repository->connection();
    std::unique_ptr<DDLCB> script;
    if (ddlFile.isNull()) {
        RepositoryAccessMode mode;
        RepositoryKind kind;
        int version = 0, secondVersion = 0;
        repository->getRepositoryInfo(mode, kind, version, secondVersion);
        if (kind != REPOS_KIND_NONE) return fail(__LINE__, reposMessage(1304));
    } else {
        script.reset(new (std::nothrow) DDLCB());
        VqbString error(reposMessage(530));
        if (!script || !script->openDDLFile(ddlFile, error)) return fail(__LINE__, error);
        repository->setDDLCallback(script.get());
    }

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Validating table metadata descriptions");
    if (!validateTableCatalog()) reposLog(logger_, 5, kSource, __LINE__, "Table Metadata did not validate.");

    // A SQLite file is built in one transaction: one write to the disk instead of one per
    // statement, and a creation cut short leaves no half repository behind. Servers run the
    // statements one by one, so that one failure does not void those after it.
    const bool atomic = ddlFile.isNull() && repository->isFileDatabase();
    if (atomic && !db->beginTransaction(true)) return connectionFailure(__LINE__, db);

    // A catalogue that cannot be created is reported, and the rest is still attempted. Key columns
    // become primary keys through the connector too, as in a file made directly, so ids stay unique.
    bool ok = true;
    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        request.dropFirst = 1;
        request.create = 1;
        request.primaryKey = 1;
        if (!db->createTable(request)) {
            connectionFailure(__LINE__, db);
            ok = false;
        }
    }
    if (!repository->applyTableSpecs(true, true, false, false, nullptr)) {
        handOn(repository->getErrorMessage());
        ok = false;
    } else if (!repository->createInfoRows()) {
        handOn(repository->getErrorMessage());
        ok = false;
    }
    // Everything was attempted and every failure reported; a file keeps nothing of a failed creation.
    if (atomic && !db->endTransaction(ok) && ok) {
        connectionFailure(__LINE__, db);
        ok = false;
    }
    if (script) {
        repository->setDDLCallback(nullptr);
        VqbString error;
        if (!script->close(error) && ok) {
            fail(__LINE__, error);
            ok = false;
        }
    }
    return ok;
}

bool RepositoryAdminImpl::deleteRepository(const VqbString& connection, const VqbString& tablePrefix) try {
    ReposHeld<RepositoryImpl> repository(openRepositoryImpl(connection, tablePrefix, false, nullptr));
    return repository && dropTablesIn(repository.get());
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::dropTablesIn(RepositoryImpl* repository) {
    ReposDataAccess* db = repository->connection();
    // One transaction for a file, as when it was created; what was dropped stays dropped.
    const bool atomic = repository->isFileDatabase() && db->beginTransaction(true);

    auto dropIfPresent = [db](const VqbString& name) {
        ColumnSpecList columns;
        if (db->getTableColumns(name, &columns) > 0) db->dropTable(name);
    };

    // Work tables, numbered by profiled field and by metric history: only the ones there are.
    // Most numbers have none (fields profiled into the shared FRQDST, runs without history), and
    // probing each number up to the highest id takes minutes once ids run into the millions. A
    // table numbered above the highest id is this repository's too and goes as well.
    bool ok = true;
    std::vector<VqbString> work;
    if (repository->listWorkTables(work)) {
        for (const VqbString& name : work) db->dropTable(name);
    } else {
        fail(__LINE__, repository->getErrorMessage());
        ok = false;
    }

    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        request.dropFirst = 1;
        if (!db->createTable(request)) {
            connectionFailure(__LINE__, db);
            ok = false;
        }
    }
    if (!repository->applyTableSpecs(true, false, false, false, nullptr)) {
        handOn(repository->getErrorMessage());
        ok = false;
    }
    for (const char* name : kLooseTables) dropIfPresent(name);

    // A drop the back end let pass (a view or a locked table of the same name) must not make the
    // deletion look complete.
    std::vector<const char*> tables;
    const ReposCatalogId catalogs[] = {ReposCatalogId::Main, ReposCatalogId::Ncoa};
    for (ReposCatalogId id : catalogs) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) tables.push_back(first->table);
    }
    for (int i = 0; i < repository->getSpecCount(); ++i)
        if (const ReposTableSetSpec* set = repository->getSpec(i))
            for (const ReposTableDefSpec& def : set->tables) tables.push_back(def.name.asCstr());
    for (const char* name : tables) {
        ColumnSpecList columns;
        if (db->getTableColumns(name, &columns) > 0) {
            fail(__LINE__, reposMessage(1910, name));
            ok = false;
        }
    }
    if (atomic && !db->endTransaction(true)) {
        connectionFailure(__LINE__, db);
        ok = false;
    }
    return ok;
}

bool RepositoryAdminImpl::deleteFile(const VqbString& path) try {
    statusCallback_->reportMessage(VqbString::format("Delete file %s", path.asCstr()));
    unsigned rc = np_fio_unlink(path.asCstr());
    if (rc != NP_FIO_OK && rc != NP_FIO_ENOENT)
        return fail(__LINE__, reposMessage(1911, path.asCstr(), np_fio_errdesc(rc)));
    // A journal left by an interrupted writer belongs to the deleted file only.
    for (const char* companion : {"-journal", "-wal", "-shm"}) np_fio_unlink((path + companion).asCstr());
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

Repository* RepositoryAdminImpl::openForProbe(const ReposListEntry& entry) {
    if (entry.isFile) return openFile(entry.connection, false, false);
    // The connector takes a key's first value: one put in front overrides the entry's own.
    if (setsCreate(entry.connection.str()))
        return connectRepository(VqbString("CREATE=FALSE;") + entry.connection, entry.tablePrefix, false, nullptr);
    return connectRepository(entry.connection, entry.tablePrefix, false, nullptr);
}

void RepositoryAdminImpl::probeRepository(Repository* repository, ReposListEntry& entry) {
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = -1, secondVersion = 0;
    repository->getRepositoryInfo(mode, kind, version, secondVersion);
    entry.version = version;
    entry.kind = kind;
    entry.description = "Velqorin repository";
    switch (kind) {
        case REPOS_KIND_PROFILE:
            entry.versionText = VqbString::format("Profile v.%d", version);
            break;
        case REPOS_KIND_MONITOR:
            entry.versionText = VqbString::format("Monitor v.%d", version);
            break;
        case REPOS_KIND_UNIFIED:
            entry.versionText = VqbString::format("Unified v.%d", version);
            break;
        case REPOS_KIND_PROFILE_AND_MONITOR:
            entry.versionText = VqbString::format("Profile v.%d/Monitor v.%d", version, secondVersion);
            break;
        default:
            entry.description = "No repository";
            entry.versionText = "n/a";
            break;
    }
}

bool RepositoryAdminImpl::checkConnectorRepository(const VqbString& connection, const VqbString& tablePrefix) {
    ReposHeld<RepositoryImpl> repository(openRepositoryImpl(connection, tablePrefix, false, nullptr));
    if (!repository) return false;
    ReposDataAccess* db = repository->connection();
    bool supported = db->checkDatabaseSupported();
    if (!supported) connectionFailure(__LINE__, db);
    return supported;
}
