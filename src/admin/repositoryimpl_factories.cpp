// The factories of typed data-access objects and services, the key/value slots and the
// forwarders to the repository's connection.
#include <new>

#include "common_rdaimpl.h"
#include "explorer_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "monitor_rdaimpl.h"
#include "ncoa_rdaimpl.h"
#include "prof_rdaimpl.h"
#include "refdata_rdaimpl.h"
#include "repeventqueueimpl.h"
#include "repimpanlysimpl.h"
#include "repfldrmgrimpl.h"
#include "repimpexpmgr.h"
#include "repmappingimpl.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

int RepositoryImpl::getMaxTextLength() { return connection_ ? connection_->getMaxTextLen() : 0; }

VqbString RepositoryImpl::getRepositoryUuid() try {
    return connection_ ? connection_->getRepositoryUuid() : VqbString("");
} catch (...) {
    return caught(__LINE__, VqbString(""));
}

// Areas whose classes are not part of this build answer null.
CommonRepositoryDataAccess* RepositoryImpl::createCommonRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) CommonRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
ExplorerRepositoryDataAccess* RepositoryImpl::createExplorerRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) ExplorerRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
MetadataRepositoryDataAccess* RepositoryImpl::createMetadataRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) MetadataRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
ProfileRepositoryDataAccess* RepositoryImpl::createProfileRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) ProfileRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
MonitorRepositoryDataAccess* RepositoryImpl::createMonitorRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) MonitorRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
RefDataRepositoryDataAccess* RepositoryImpl::createRefDataRepositoryDataAccess() try {
    return connection_ ? new (std::nothrow) RefDataRDAImpl(connection_.get()) : nullptr;
} catch (...) {
    return caught(__LINE__, nullptr);
}
RepositoryFolderManager* RepositoryImpl::createRepositoryFolderManager() try {
    return new (std::nothrow) RepositoryFolderManagerImpl(this);
} catch (...) {
    return caught(__LINE__, nullptr);
}
RepositoryEventQueueManager* RepositoryImpl::createRepositoryEventQueueManager() try {
    return new (std::nothrow) RepositoryEventQueueManagerImpl(this);
} catch (...) {
    return caught(__LINE__, nullptr);
}
RepositoryImpactAnalysis* RepositoryImpl::createRepositoryImpactAnalysis() try {
    return new (std::nothrow) RepositoryImpactAnalysisImpl(this, connection_.get());
} catch (...) {
    return caught(__LINE__, nullptr);
}
RepositoryImportExportManager* RepositoryImpl::createRepositoryImportExportManager() try {
    return new (std::nothrow) RepositoryImportExportManagerImpl(this);
} catch (...) {
    return caught(__LINE__, nullptr);
}
NCOARepositoryDataAccess* RepositoryImpl::createNCOARepositoryDataAccess() try {
    NCOARDAImpl* ncoa = connection_ ? new (std::nothrow) NCOARDAImpl(connection_.get()) : nullptr;
    // An object without run columns still keeps the records; its runs fail on their own.
    if (ncoa) ncoa->loadRunColumns();
    return ncoa;
} catch (...) {
    return caught(__LINE__, nullptr);
}
FieldMappingAdminObject* RepositoryImpl::createFieldMappingAdminObject() try {
    FieldMappingAdminImpl* admin = new (std::nothrow) FieldMappingAdminImpl();
    if (admin) admin->initialise(connection_.get());
    return admin;
} catch (...) {
    return caught(__LINE__, nullptr);
}

// Each key/value call works through a common data access made for it alone.
template <class Result, class Call>
Result RepositoryImpl::withKeyValues(Call call) {
    if (!connection_) {
        fail(__LINE__, reposMessage(1161));
        return Result();
    }
    ReposHeld<CommonRDAImpl> common(new (std::nothrow) CommonRDAImpl(connection_.get()));
    if (!common) {
        fail(__LINE__, reposMessage(530));
        return Result();
    }
    Result result = call(*common);
    // The data access logged its reason; the caller asks this object.
    if (!result) lastError_ = common->getErrorMessage();
    return result;
}

bool RepositoryImpl::setKeyValue(const VqbString& key, const VqbString& value) try {
    return withKeyValues<bool>([&](CommonRDAImpl& common) { return common.setKeyValue(key, value); });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::getKeyValue(const VqbString& key, VqbString& value) try {
    return withKeyValues<bool>([&](CommonRDAImpl& common) { return common.getKeyValue(key, &value); });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::deleteKeyValue(const VqbString& key) try {
    return withKeyValues<bool>([&](CommonRDAImpl& common) { return common.deleteKeyValue(key); });
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* RepositoryImpl::listKeyValueKeys() try {
    return withKeyValues<ReposDataAccessCursor*>([](CommonRDAImpl& common) { return common.listKeyValueKeys(); });
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RepositoryImpl::listKeyValues() try {
    return withKeyValues<ReposDataAccessCursor*>([](CommonRDAImpl& common) { return common.listKeyValues(); });
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool RepositoryImpl::getNextId(const VqbString& key, unsigned* id, VqbString* error) {
    return getNextIds(key, -1, id, error);
}

bool RepositoryImpl::getNextIds(const VqbString& key, int count, unsigned* firstId, VqbString* error) try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    VqbDatavar value;
    bool ok = connection_->getNextIds(key, count, &value, error);
    if (!ok || !firstId) return ok;
    bool bad = value.isNull();
    int64_t id = value.getType() == VQB_TYPE_INT ? value.asInt64() : value.asString().trimmed().asInt64(&bad);
    if (bad || id < 0 || id > 0xFFFFFFFFll) {
        if (error) *error = connection_->getLastErrorMessage();
        return false;
    }
    *firstId = static_cast<unsigned>(id);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

DacConnection* RepositoryImpl::getConnection() { return connection_ ? connection_->getConnection() : nullptr; }

bool RepositoryImpl::getTableName(const VqbString& name, bool qualified, VqbString* out) try {
    if (!out) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    *out = connection_->getTableName(name.asCstr(), qualified, -1);
    // A name is never empty: the connection could not build it.
    return !out->isEmpty() || failFromConnection(__LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::getSchemaName(VqbString* schema) try {
    if (!schema) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    *schema = connection_->getSchemaName();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::getPrefix(bool afterDot, VqbString* prefix, VqbString* error) try {
    if (!prefix) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    if (connection_->getPrefix(afterDot, prefix, error)) return true;
    if (error) *error = connection_->getLastErrorMessage();
    return false;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::getBigString(const VqbString& value, VqbString* out, VqbString* error) try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    return connection_->getBigString(value, out, error);
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryImpl::putBigString(const VqbString& value, VqbString* out, VqbString* error) try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    return connection_->putBigString(value, out, error);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* RepositoryImpl::paramSelect(const VqbString& sql, VqbString* error, int count, ...) try {
    if (!connection_) {
        fail(__LINE__, reposMessage(1161));
        if (error) *error = lastError_;
        return nullptr;
    }
    va_list args;
    va_start(args, count);
    ReposDataAccessCursor* cursor = connection_->paramSelectV(sql, count, args);
    va_end(args);
    if (!cursor && error) *error = connection_->getLastErrorMessage();
    return cursor;
} catch (...) {
    return caught(__LINE__, nullptr);
}
