// Upgrading an existing repository: the missing tables, the XML table sets, the data steps and
// the INFO version rows; and the same for the NCOA tables alone.
#include <memory>
#include <new>

#include "rda_impl.h"
#include "repadmimpl.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char kSource[] = "repositoryimpl";

const char kUnified[] = "VQREPOSITORY";
const char kUnifiedDescription[] = "Velqorin Repository";
const char kNcoa[] = "NCOA";
// Version rows of the repositories from before the unified version.
const char* const kLegacyTypes[] = {"PROFILE_RESULTSET", "MONITOR"};

}  // namespace

bool RepositoryImpl::updateVersionInfo(bool ncoaOnly) {
    status()->reportProgress("Updating version info");
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    const VqbString info = table("INFO");
    const VqbDatavar unified(kUnified), ncoa(kNcoa), ncoaVersion(REPOS_CURRENT_NCOA_VERSION);

    // The rows change together: an upgrade cut short in between would otherwise leave a unified
    // row beside the legacy ones, or no NCOA row, and the next upgrade would take the wrong road.
    if (!connection_->beginTransaction(false)) return failFromConnection(__LINE__);
    auto rollback = [&]() {
        connection_->endTransaction(false);
        return false;
    };
    bool legacyDeletes = true;
    if (kind_ != REPOS_KIND_UNIFIED) {
        const VqbDatavar version(REPOS_CURRENT_VERSION), description(kUnifiedDescription);
        if (!exec(__LINE__, "INSERT INTO " + info + " (I_TYPE, I_VERS, I_DESC) VALUES (?,?,?)", &unified, &version,
                  &description) ||
            !exec(__LINE__, "INSERT INTO " + info + " (I_TYPE, I_VERS) VALUES (?,?)", &ncoa, &ncoaVersion))
            return rollback();
    } else if (ncoaOnly) {
        int count = 0;
        VqbString countSql = "SELECT COUNT(*) FROM " + info + " WHERE I_TYPE=?";
        status()->reportMessage(countSql);
        bool counted = connection_->paramSingletonInt(countSql, &count, 1, &ncoa);
        bool ok = counted && count != 0
                      ? exec(__LINE__, "UPDATE " + info + " SET I_VERS = ? WHERE I_TYPE=?", &ncoaVersion, &ncoa)
                      : exec(__LINE__, "INSERT INTO " + info + " (I_TYPE, I_VERS) VALUES (?,?)", &ncoa, &ncoaVersion);
        if (!ok) return rollback();
        legacyDeletes = false;
    } else {
        const VqbDatavar version(REPOS_CURRENT_VERSION), minor(REPOS_CURRENT_MINOR_VERSION);
        if (!exec(__LINE__, "UPDATE " + info + " SET I_VERS = ? WHERE I_TYPE=?", &version, &unified) ||
            !exec(__LINE__, "UPDATE " + info + " SET I_MVER = ? WHERE I_TYPE=?", &minor, &unified))
            return rollback();
    }
    if (legacyDeletes) {
        const VqbString remove = "DELETE FROM " + info + " WHERE I_TYPE=?";
        status()->reportMessage(remove);
        for (const char* type : kLegacyTypes) {
            VqbDatavar value(type);
            if (!connection_->paramExec(remove, nullptr, 1, &value)) {
                failFromConnection(__LINE__);
                return rollback();
            }
        }
    }
    if (!connection_->endTransaction(true)) return failFromConnection(__LINE__);
    if (ncoaOnly && kind_ == REPOS_KIND_UNIFIED) ncoaVersion_ = REPOS_CURRENT_NCOA_VERSION;
    return true;
}

bool RepositoryImpl::addMissingIndexes(bool ncoa) {
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Adding missing database table structure.");
    ReposTableRequest request;
    for (uint8_t catalog = 0; catalog <= (ncoa ? 1 : 0); ++catalog) {
        request.catalog = catalog;
        // The check goes on past an index it cannot make and keeps the reason: not made, not up to date.
        if (!connection_->checkTable(request) || !connection_->getLastErrorMessage().isEmpty())
            return failFromConnection(__LINE__);
    }
    if (!readVersionInfo()) return failFromConnection(__LINE__);
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Successful finish of repository upgrade.");
    return true;
}

bool RepositoryImpl::upgrade() try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));

    // A file opened directly is upgraded through the connector, over a connection of its own.
    if (accessMode_ == REPOS_ACCESS_SQLITE_FILE) {
        ReposHeld<RepositoryImpl> delegate(new (std::nothrow) RepositoryImpl());
        if (!delegate) return fail(__LINE__, reposMessage(530));
        // The path is braced where it holds the connection text's separators, so it stays one value.
        if (!delegate->open(false, admin_, REPOS_ACCESS_CONNECTOR, RepositoryAdminImpl::fileConnection(connectionText_),
                            tablePrefix_, VqbString(""), statusCallback_, lastError_)) {
            reposLog(logger_, 5, kSource, __LINE__, "%s", lastError_.asCstr());
            return false;
        }
        bool ok = delegate->upgrade();
        // The delegate's reason outlives it; and this object must not keep reporting the old
        // kind and versions of a database that was upgraded under it.
        if (!ok) lastError_ = delegate->getErrorMessage();
        delegate.reset();
        if (!readVersionInfo() && ok) return failFromConnection(__LINE__);
        return ok;
    }

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Starting repository upgrade.");
    // Without a repository there is nothing to upgrade; carrying on would stamp any database as a
    // unified repository without its initial rows.
    if (kind_ == REPOS_KIND_NONE) {
        reposLog(logger_, 5, kSource, __LINE__, "Repository needs to be created before upgrading.");
        return fail(__LINE__, reposMessage(1050));
    }
    if (kind_ == REPOS_KIND_UNIFIED && version_ >= REPOS_CURRENT_VERSION) {
        if (minorVersion_ >= REPOS_CURRENT_MINOR_VERSION) {
            unsigned pending = 0;
            if (!applyTableSpecs(false, false, true, true, &pending)) return false;
            if (pending < 1) {
                // The catalogue's indexes are part of being up to date: a repository made before
                // some of them gains them here, and nothing else of the upgrade runs.
                const bool current = version_ == REPOS_CURRENT_VERSION && minorVersion_ == REPOS_CURRENT_MINOR_VERSION;
                const bool ncoa = ncoaVersion_ == REPOS_CURRENT_NCOA_VERSION;
                const int missing = current ? RDA_BaseImpl::missingCatalogIndexes(connection_.get(), ncoa) : 0;
                if (missing < 0) return failFromConnection(__LINE__);
                if (missing > 0) return addMissingIndexes(ncoa);
                if (logger_->getLevel() <= 1)
                    reposLog(logger_, 1, kSource, __LINE__,
                             "Repository upgrade not necessary. Major, Minor, and XML versions are up to date.");
                lastError_ = reposMessage(1314);
                return false;
            }
            if (logger_->getLevel() <= 1)
                reposLog(logger_, 1, kSource, __LINE__, "XML defined tables upgrade started.");
        } else if (logger_->getLevel() <= 1) {
            reposLog(logger_, 1, kSource, __LINE__, "Minor version upgrade started.");
        }
    }

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Validating table metadata descriptions");
    if (!validateTableCatalog()) reposLog(logger_, 5, kSource, __LINE__, "Table Metadata did not validate.");

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Adding missing database table structure.");
    ReposTableRequest request;
    if (!connection_->checkTable(request)) return failFromConnection(__LINE__);
    // A repository from before the unified version is given the NCOA version row below; the
    // tables that row stands for must exist too. NCOA tables already at the current version gain
    // the indexes the catalogue has declared since they were made.
    if (kind_ != REPOS_KIND_UNIFIED || ncoaVersion_ == REPOS_CURRENT_NCOA_VERSION) {
        request.catalog = 1;
        if (!connection_->checkTable(request)) return failFromConnection(__LINE__);
    }
    if (!applyTableSpecs(false, false, true, false, nullptr)) return false;

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Applying data structure changes.");
    if (!applyDataUpgrades(false)) return false;

    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Updating unified database version information.");
    if (!updateVersionInfo(false)) return false;
    if (!readVersionInfo()) return failFromConnection(__LINE__);
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Successful finish of repository upgrade.");
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::upgradeNCOA() try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Starting NCOA repository upgrade.");

    ColumnSpecList infoColumns, keyValueColumns;
    if (connection_->getTableColumns("INFO", &infoColumns) == 0 ||
        connection_->getTableColumns("KEYVAL", &keyValueColumns) == 0) {
        reposLog(logger_, 5, kSource, __LINE__, "Repository needs to be created before upgrading.");
        return fail(__LINE__, reposMessage(1050));
    }
    // An NCOA row would make a repository from before the unified version read as unified, and
    // its own upgrade (counters, renamed columns) would then never run.
    if (kind_ != REPOS_KIND_UNIFIED)
        return fail(__LINE__, "The repository must be upgraded to the unified version before its NCOA tables.");
    if (ncoaVersion_ == REPOS_CURRENT_NCOA_VERSION) {
        if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "NCOA repository upgrade not necessary.");
        return true;
    }

    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Validating NCOA table metadata descriptions");
    if (!validateTableCatalog()) reposLog(logger_, 5, kSource, __LINE__, "Table Metadata did not validate.");

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Adding missing database table structure.");
    ReposTableRequest request;
    request.catalog = 1;
    if (!connection_->checkTable(request)) return failFromConnection(__LINE__);

    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Applying NCOA data structure changes.");
    if (!applyDataUpgrades(true)) return false;
    if (logger_->getLevel() <= 1) reposLog(logger_, 1, kSource, __LINE__, "Updating NCOA version information.");
    if (!updateVersionInfo(true)) return false;
    if (!readVersionInfo()) return failFromConnection(__LINE__);
    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Successful finish of NCOA repository upgrade.");
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
