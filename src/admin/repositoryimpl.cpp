// Opening a repository, reading its versions, the acceptance checks, getters and release.
#include "repositoryimpl.h"

#include <new>

#include "rda_factory.h"
#include "repos_install.h"
#include "repos_reasons.h"
#include "reposlog.h"
#include "vqbconfig.h"
#include "vqbmessage.h"
#include "vqbutil.h"
#include "vqdac.h"

namespace {

const char kSource[] = "repositoryimpl";

const char kUnified[] = "VQREPOSITORY";
const char kNcoa[] = "NCOA";
const char kProfile[] = "PROFILE_RESULTSET";
const char kMonitor[] = "MONITOR";
// The KEYVAL row of an unfinished copy; KEYVAL is the one table a copy never replaces.
const char kCopyMark[] = "~COPY UNFINISHED";

// Reads an integer key of the default section; fallback when absent or not a number.
int configInt(VqbConfigOptions* options, const char* key, int fallback) {
    VqbString text;
    if (!options || !options->get(key, text)) return fallback;
    bool error = false;
    int value = text.trimmed().asInt(&error);
    return error ? fallback : value;
}

}  // namespace

RepositoryImpl::RepositoryImpl() : lastError_(""), connectionText_(""), tablePrefix_("") {}

RepositoryImpl::~RepositoryImpl() = default;

void RepositoryImpl::release() try {
    connection_.reset();
    specReader_.reset();
    delete this;
} catch (...) {
    caught(__LINE__);
}

bool RepositoryImpl::open(bool createFile, RepositoryAdminImpl* admin, RepositoryAccessMode mode,
                          const VqbString& connection, const VqbString& tablePrefix, const VqbString& poolId,
                          RepositoryStatusCallback* callback, VqbString& error) {
    logger_ = vqlogGetLogger(REPOS_LOGGER_REPOSITORY);
    admin_ = admin;
    connectionText_ = connection;
    tablePrefix_ = tablePrefix;
    statusCallback_ = callback;
    specReader_.reset();
    ddlMode_ = false;
    typeVersions_.clear();

    auto failOpen = [&](int line, const VqbString& text) {
        error = text;
        reposLog(logger_, 5, kSource, line, "%s", text.asCstr());
        return false;
    };

    VqbConfigOptions* repository = vqbGetConfigOptions("REPOSITORY");
    if (!repository) return failOpen(__LINE__, reposMessage(292));
    repository->set("POOL_ID", poolId.isNull() ? VqbString("") : poolId);

    VqbConfigOptions* options = vqbGetConfigOptions("");
    if (!options) return failOpen(__LINE__, reposMessage(292));

    // The table sets are read before connecting: a spec file that cannot be read must not leave a
    // new empty database behind.
    VqbString directory, home;
    bool configured = options->get("REPOS/TABLE_LIST_PATH", directory) && !directory.isEmpty();
    if (!configured && options->get("VQEXEC_HOME", home) && !home.isEmpty()) {
        VqbString etc;
        configured = true;
        vqbConcatPath(etc, home, "etc");
        vqbConcatPath(directory, etc, "reposcreate");
    } else if (!configured) {
        // Without a configuration a host gets the tables its library was installed with.
        directory = VqbString(reposInstalledTableSetFolder());
    }
    specReader_.reset(new (std::nothrow) ReposTableSpecReader());
    if (!specReader_) return failOpen(__LINE__, reposMessage(530));
    // Table sets are optional: only a folder someone named is worth a word when it is missing.
    if (!specReader_->openSpecDirectory(directory) && configured)
        reposLog(logger_, 4, kSource, __LINE__, "%s", specReader_->getErrorMessage().asCstr());
    if (!specReader_->loadSpecDirectory()) {
        error = specReader_->getErrorMessage();  // logged by the reader
        return false;
    }

    int backend;
    switch (mode) {
        case REPOS_ACCESS_CONNECTOR:
            backend = REPOS_BACKEND_CONNECTOR;
            break;
        case REPOS_ACCESS_SQLITE_FILE:
            backend = createFile ? REPOS_BACKEND_SQLITE_CREATE : REPOS_BACKEND_SQLITE_OPEN;
            break;
        default:
            return failOpen(__LINE__, reposMessage(1161));
    }
    accessMode_ = mode;
    VqbString factoryError("");
    connection_.reset(createReposDataAccess(backend, connection, tablePrefix, callback, factoryError));
    if (!connection_) {
        error = factoryError;
        return false;
    }
    return readVersionInfo();
}

bool RepositoryImpl::readVersionInfo() {
    kind_ = REPOS_KIND_NONE;
    version_ = secondVersion_ = minorVersion_ = ncoaVersion_ = 0;
    typeVersions_.clear();
    typeVersions_[kProfile] = 0;
    typeVersions_[kMonitor] = 0;
    if (!connection_) return true;

    // A new database has no INFO; asking for its columns first keeps failed selects out of the log.
    ColumnSpecList infoColumns;
    if (connection_->getTableColumns("INFO", &infoColumns) == 0) return true;
    VqbString info = table("INFO");
    ReposHeld<ReposDataAccessCursor> cursor(connection_->paramSelect("SELECT I_TYPE, I_VERS FROM " + info, 0));
    if (!cursor) cursor.reset(connection_->paramSelect("SELECT I_TYPE, I_VERSION FROM " + info, 0));
    // A database without INFO holds no repository.
    if (!cursor) return true;

    bool unified = false, profile = false, monitor = false;
    int profileVersion = 0, monitorVersion = 0;
    cursor->cacheAll();
    while (cursor->next() == 1) {
        VqbString type = cursor->getString(0);
        VqbDatavar value = cursor->getValue(1);
        if (type == VqbString(kProfile)) {
            profile = true;
            // A file opened directly keeps the legacy version as a real in tenths (1.8 is 18).
            profileVersion =
                accessMode_ == REPOS_ACCESS_SQLITE_FILE ? static_cast<int>(value.asDouble() * 10.0) : value.asInt();
            typeVersions_[kProfile] = profileVersion;
        } else if (type == VqbString(kMonitor)) {
            monitor = true;
            monitorVersion = value.asInt();
            typeVersions_[kMonitor] = monitorVersion;
        } else if (type == VqbString(kUnified)) {
            unified = true;
            version_ = value.asInt();
            kind_ = REPOS_KIND_UNIFIED;
            if (version_ >= 4) {
                VqbDatavar unifiedType(kUnified);
                ReposHeld<ReposDataAccessCursor> minor(
                    connection_->paramSelect("SELECT I_MVER FROM " + info + " WHERE I_TYPE=?", 1, &unifiedType));
                if (minor) {
                    while (minor->next() == 1)
                        for (int i = 0; i < minor->getNumCols(); ++i)
                            if (minor->getColName(i).equals("I_MVER", false)) minorVersion_ = minor->getInt(i);
                }
            }
            typeVersions_[kUnified] = version_;
        } else if (type == VqbString(kNcoa)) {
            unified = true;
            ncoaVersion_ = value.asInt();
            kind_ = REPOS_KIND_UNIFIED;
            typeVersions_[kNcoa] = ncoaVersion_;
        } else {
            typeVersions_[type] = value.asInt();
        }
    }

    if (!unified) {
        if (profile && monitor) {
            kind_ = REPOS_KIND_PROFILE_AND_MONITOR;
            version_ = profileVersion;
            secondVersion_ = monitorVersion;
        } else if (profile) {
            kind_ = REPOS_KIND_PROFILE;
            version_ = profileVersion;
        } else if (monitor) {
            kind_ = REPOS_KIND_MONITOR;
            version_ = monitorVersion;
        }
    }
    return true;
}

void RepositoryImpl::getRepositoryInfo(RepositoryAccessMode& mode, RepositoryKind& kind, int& version,
                                       int& secondVersion) try {
    mode = accessMode_;
    kind = kind_;
    version = version_;
    secondVersion = secondVersion_;
} catch (...) {
    caught(__LINE__);
}

void RepositoryImpl::getConnectionInfo(VqbString& connection, VqbString& tablePrefix) try {
    connection = connectionText_;
    tablePrefix = tablePrefix_;
} catch (...) {
    caught(__LINE__);
}

bool RepositoryImpl::isVersionAcceptable() try {
    if (kind_ != REPOS_KIND_UNIFIED) return false;
    if (version_ == REPOS_CURRENT_VERSION) return true;
    VqbConfigOptions* options = vqbGetConfigOptions("");
    int low = configInt(options, "BASE/REPOS_VERSION_ACCEPT_LOW", REPOS_CURRENT_VERSION);
    int high = configInt(options, "BASE/REPOS_VERSION_ACCEPT_HIGH", REPOS_CURRENT_VERSION);
    if (logger_ && logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "repository version %d : lowest %d : highest %d", version_, low, high);
    return low <= version_ && version_ <= high;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::isMinorVersionAcceptable() {
    return version_ != REPOS_CURRENT_VERSION || minorVersion_ >= REPOS_CURRENT_MINOR_VERSION;
}

bool RepositoryImpl::hasNCOA() { return kind_ == REPOS_KIND_UNIFIED && ncoaVersion_ == REPOS_CURRENT_NCOA_VERSION; }

bool RepositoryImpl::getTypeVersion(const VqbString& typeName, int* version) try {
    if (version) {
        auto found = typeVersions_.find(typeName);
        *version = found == typeVersions_.end() ? 0 : found->second;
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::isCopyUnfinished(bool* unfinished) {
    *unfinished = false;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    VqbDatavar key(kCopyMark);
    int count = 0;
    if (!singletonInt(__LINE__, "SELECT COUNT(*) FROM " + table("KEYVAL") + " WHERE V_KEY=?", &count, &key))
        return false;
    *unfinished = count > 0;
    return true;
}

bool RepositoryImpl::markCopyUnfinished(bool unfinished) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    VqbDatavar key(kCopyMark);
    if (!unfinished) return exec(__LINE__, "DELETE FROM " + table("KEYVAL") + " WHERE V_KEY=?", &key);
    // The mark of an earlier copy is kept, never replaced: there would be a moment without one.
    bool marked = false;
    if (!isCopyUnfinished(&marked)) return false;
    VqbDatavar value("a copy into this repository has not finished");
    return marked || exec(__LINE__, "INSERT INTO " + table("KEYVAL") + " (V_KEY, V_VALUE) VALUES (?,?)", &key, &value);
}

bool RepositoryImpl::isFileDatabase() {
    if (accessMode_ == REPOS_ACCESS_SQLITE_FILE) return true;
    DacConnection* dac = connection_ ? connection_->getConnection() : nullptr;
    return dac && dac->getDbmsKind() == DAC_DBMS_SQLITE;
}

VqbString RepositoryImpl::databaseFile() {
    if (accessMode_ == REPOS_ACCESS_SQLITE_FILE) return connectionText_;
    DacConnection* dac = connection_ ? connection_->getConnection() : nullptr;
    VqbDatavar file;
    // Only the SQLite driver knows the id; asking a server's driver would leave it an error text.
    if (!isFileDatabase() || !dac->getInfo(DAC_INFO_DATABASE_FILE, file)) return VqbString("");
    return file.asString();
}

void RepositoryImpl::setDDLCallback(ReposDDLCallback* callback) {
    if (connection_) connection_->setDDLCallback(callback);
    ddlMode_ = callback != nullptr;
}

VqbString RepositoryImpl::connectionError() {
    return connection_ ? reposConnectionReason(connection_.get()) : reposMessage(1161);
}

bool RepositoryImpl::failFromConnection(int line) {
    return reposConnectionLogged(connection_.get()) ? handOn(connectionError()) : fail(line, connectionError());
}

bool RepositoryImpl::handOn(const VqbString& text) {
    lastError_ = text;
    status()->reportMessage(text);
    return false;
}

bool RepositoryImpl::fail(int line, const VqbString& text) {
    handOn(text);
    reposLog(logger_ ? logger_ : vqlogGetLogger(REPOS_LOGGER_REPOSITORY), 5, kSource, line, "%s", text.asCstr());
    return false;
}
