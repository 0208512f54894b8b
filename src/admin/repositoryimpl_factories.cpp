// The factories of typed data-access objects and services, the key/value slots and the
// forwarders to the repository's connection.
#include <new>

#include "common_rdaimpl.h"
#include "explorer_rdaimpl.h"
#include "meta_rdaimpl.h"
#include "prof_rdaimpl.h"
#include "repeventqueueimpl.h"
#include "repfldrmgrimpl.h"
#include "repimpexpmgr.h"
#include "repmappingimpl.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

int RepositoryImpl::getMaxTextLength() { return connection_ ? connection_->getMaxTextLen() : 0; }

VqbString RepositoryImpl::getRepositoryUuid() { return connection_ ? connection_->getRepositoryUuid() : VqbString(""); }

// Areas whose classes are not part of this build answer null.
CommonRepositoryDataAccess* RepositoryImpl::createCommonRepositoryDataAccess() {
    return connection_ ? new (std::nothrow) CommonRDAImpl(connection_) : nullptr;
}
ExplorerRepositoryDataAccess* RepositoryImpl::createExplorerRepositoryDataAccess() {
    return connection_ ? new (std::nothrow) ExplorerRDAImpl(connection_) : nullptr;
}
MetadataRepositoryDataAccess* RepositoryImpl::createMetadataRepositoryDataAccess() {
    return connection_ ? new (std::nothrow) MetadataRDAImpl(connection_) : nullptr;
}
ProfileRepositoryDataAccess* RepositoryImpl::createProfileRepositoryDataAccess() {
    return connection_ ? new (std::nothrow) ProfileRDAImpl(connection_) : nullptr;
}
RepositoryFolderManager* RepositoryImpl::createRepositoryFolderManager() {
    return new (std::nothrow) RepositoryFolderManagerImpl(this);
}
RepositoryEventQueueManager* RepositoryImpl::createRepositoryEventQueueManager() {
    return new (std::nothrow) RepositoryEventQueueManagerImpl(this);
}
MonitorRepositoryDataAccess* RepositoryImpl::createMonitorRepositoryDataAccess() { return nullptr; }
RefDataRepositoryDataAccess* RepositoryImpl::createRefDataRepositoryDataAccess() { return nullptr; }
RepositoryImpactAnalysis* RepositoryImpl::createRepositoryImpactAnalysis() { return nullptr; }
RepositoryImportExportManager* RepositoryImpl::createRepositoryImportExportManager() try {
    return new RepositoryImportExportManagerImpl(this);
} catch (...) {
    return nullptr;
}
NCOARepositoryDataAccess* RepositoryImpl::createNCOARepositoryDataAccess() { return nullptr; }
FieldMappingAdminObject* RepositoryImpl::createFieldMappingAdminObject() {
    FieldMappingAdminImpl* admin = new (std::nothrow) FieldMappingAdminImpl();
    if (admin) admin->initialise(connection_);
    return admin;
}

// Each key/value call works through a common data access made for it alone.
namespace {

struct KeyValueAccess {
    explicit KeyValueAccess(ReposDataAccess* connection)
        : common(connection ? new (std::nothrow) CommonRDAImpl(connection) : nullptr) {}
    ~KeyValueAccess() {
        if (common) common->release();
    }
    KeyValueAccess(const KeyValueAccess&) = delete;
    KeyValueAccess& operator=(const KeyValueAccess&) = delete;
    CommonRDAImpl* common;
};

}  // namespace

bool RepositoryImpl::setKeyValue(const VqbString& key, const VqbString& value) {
    KeyValueAccess access(connection_);
    return access.common && access.common->setKeyValue(key, value);
}

bool RepositoryImpl::getKeyValue(const VqbString& key, VqbString& value) {
    KeyValueAccess access(connection_);
    return access.common && access.common->getKeyValue(key, &value);
}

bool RepositoryImpl::deleteKeyValue(const VqbString& key) {
    KeyValueAccess access(connection_);
    return access.common && access.common->deleteKeyValue(key);
}

ReposDataAccessCursor* RepositoryImpl::listKeyValueKeys() {
    KeyValueAccess access(connection_);
    return access.common ? access.common->listKeyValueKeys() : nullptr;
}

ReposDataAccessCursor* RepositoryImpl::listKeyValues() {
    KeyValueAccess access(connection_);
    return access.common ? access.common->listKeyValues() : nullptr;
}

bool RepositoryImpl::getNextId(const VqbString& key, unsigned* id, VqbString* error) {
    return getNextIds(key, -1, id, error);
}

bool RepositoryImpl::getNextIds(const VqbString& key, int count, unsigned* firstId, VqbString* error) {
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
}

DacConnection* RepositoryImpl::getConnection() { return connection_ ? connection_->getConnection() : nullptr; }

bool RepositoryImpl::getTableName(const VqbString& name, bool qualified, VqbString* out) {
    if (!out) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    *out = connection_->getTableName(name.asCstr(), qualified, -1);
    return true;
}

bool RepositoryImpl::getSchemaName(VqbString* schema) {
    if (!schema) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    *schema = connection_->getSchemaName();
    return true;
}

bool RepositoryImpl::getPrefix(bool afterDot, VqbString* prefix, VqbString* error) {
    if (!prefix) return true;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    if (connection_->getPrefix(afterDot, prefix, error)) return true;
    if (error) *error = connection_->getLastErrorMessage();
    return false;
}

bool RepositoryImpl::getBigString(const VqbString& value, VqbString* out, VqbString* error) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    return connection_->getBigString(value, out, error);
}

bool RepositoryImpl::putBigString(const VqbString& value, VqbString* out, VqbString* error) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    return connection_->putBigString(value, out, error);
}

ReposDataAccessCursor* RepositoryImpl::paramSelect(const VqbString& sql, VqbString* error, int count, ...) {
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
}
