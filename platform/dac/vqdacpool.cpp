// Connection pools and the connection cache.
#include "vqdacpool.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <new>

#include "dacimpl.h"

namespace {

// A connection object that hands every operation to another; only close() differs.
class Forward : public DacConnection {
public:
    explicit Forward(DacConnection* target) : target_(target) {}
    VqbString getErrorText() override { return target_->getErrorText(); }
    VqbString getIdentifierQuote() override { return target_->getIdentifierQuote(); }
    int getDbmsKind() override { return target_->getDbmsKind(); }
    bool getInfo(int id, VqbDatavar& out) override { return target_->getInfo(id, out); }
    bool executeDirect(const VqbString& sql, int flags) override { return target_->executeDirect(sql, flags); }
    DacCursor* openCursorDirect(const VqbString& sql) override { return target_->openCursorDirect(sql); }
    DacStatement* prepare(const VqbString& sql) override { return target_->prepare(sql); }
    DacStatement* prepareBatch(const VqbString& sql) override { return target_->prepareBatch(sql); }
    bool beginTransaction() override { return target_->beginTransaction(); }
    bool beginExclusiveTransaction(const VqbString& resource, bool* busy) override {
        return target_->beginExclusiveTransaction(resource, busy);
    }
    bool endTransaction(bool commit) override { return target_->endTransaction(commit); }
    bool isInTransaction() override { return target_->isInTransaction(); }
    bool isTransactionLost() override { return target_->isTransactionLost(); }
    DacTable* openTable(const VqbString& t, const VqbString& s, const VqbString& c) override {
        return target_->openTable(t, s, c);
    }
    DacBulkLoader* openBulkLoader(const VqbString& selectText, int batchSize) override {
        return target_->openBulkLoader(selectText, batchSize);
    }
    DacCursor* openIndexStatistics(int u, int a, const VqbString& t, const VqbString& s, const VqbString& c) override {
        return target_->openIndexStatistics(u, a, t, s, c);
    }
    int getConnectionMode() override { return target_->getConnectionMode(); }
    int handOut() override { return target_->handOut(); }
    bool setCatalog(const VqbString& catalog) override { return target_->setCatalog(catalog); }
    bool isBroken() override { return target_->isBroken(); }

protected:
    DacConnection* target_;
};

DacConnection* openDirect(const std::string& text, VqbString& error) {
    DacDataSource* ds = dacCreateDataSource(0);
    if (!ds) {
        error = VqbString("no data source could be made");
        return nullptr;
    }
    VqbString info;
    DacConnection* c = nullptr;
    if (ds->configure(VqbString(text), info, 0, 0)) c = ds->openConnection(info, 0, 0);
    if (!c) error = ds->getErrorText();
    ds->destroy();
    return c;
}

// ---- pools ----

struct Pool {
    std::string text;
    DacConnection* connection = nullptr;
    int shares = 0;
};
std::mutex poolMutex;
std::map<std::string, Pool>& pools() {
    static std::map<std::string, Pool> p;
    return p;
}

void releaseShare(const std::string& id) {
    std::lock_guard<std::mutex> guard(poolMutex);
    auto it = pools().find(id);
    if (it == pools().end()) return;
    if (--it->second.shares > 0) return;
    it->second.connection->close();
    pools().erase(it);
}

// ---- cache ----

const size_t maxIdlePerSource = 4;
std::mutex cacheMutex;
int cacheHandles = 0;
std::multimap<std::string, DacConnection*>& idle() {
    static std::multimap<std::string, DacConnection*> m;
    return m;
}

class CacheProxy : public Forward {
public:
    CacheProxy(DacConnection* target, std::string key) : Forward(target), key_(std::move(key)) {}
    void close() override {
        if (target_->isInTransaction()) target_->endTransaction(false);
        bool keep = false;
        if (!target_->isBroken()) {
            std::lock_guard<std::mutex> guard(cacheMutex);
            if (cacheHandles > 0 && idle().count(key_) < maxIdlePerSource) {
                idle().emplace(key_, target_);
                keep = true;
            }
        }
        if (!keep) target_->close();
        delete this;
    }

private:
    std::string key_;
};

std::string braced(const std::string& value) {
    if (value.find_first_of(";{}") == std::string::npos) return value;
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

}  // namespace

// A share of a pool; ending it gives the share back.
class ShareProxy : public Forward {
public:
    ShareProxy(ConnShareSingleton* owner, std::string pool, DacConnection* target)
        : Forward(target), owner_(owner), pool_(std::move(pool)) {}
    void close() override {
        owner_->forget(this);
        end();
    }
    void end() {
        releaseShare(pool_);
        delete this;
    }

private:
    ConnShareSingleton* owner_;
    std::string pool_;
};

ConnShareSingleton::~ConnShareSingleton() {
    auto held = std::move(held_);
    for (auto& h : held) static_cast<ShareProxy*>(h.second)->end();
}

bool ConnShareSingleton::initialise(int /*flags*/) {
    initialised_ = true;
    return true;
}

DacConnection* ConnShareSingleton::getConnection(const VqbString& poolId, const VqbString& connectionText,
                                                 VqbString* error, void* /*reserved*/, int /*flags*/) {
    VqbString why;
    DacConnection* result = nullptr;
    try {
        if (!initialised_) {
            why = VqbString("the connection pool is not initialised");
        } else if (poolId.isEmpty()) {
            why = VqbString("no pool id was given");
        } else {
            std::lock_guard<std::mutex> guard(poolMutex);
            auto it = pools().find(poolId.str());
            if (it != pools().end() && it->second.connection->isBroken() && it->second.shares > 0) {
                why = VqbString::format("the connection of pool %s was lost", poolId.asCstr());
            } else if (it != pools().end() && it->second.text != connectionText.str()) {
                why = VqbString::format("pool %s serves another connection text", poolId.asCstr());
            } else {
                if (it == pools().end()) {
                    DacConnection* c = openDirect(connectionText.str(), why);
                    if (c) {
                        Pool p;
                        p.text = connectionText.str();
                        p.connection = c;
                        it = pools().emplace(poolId.str(), p).first;
                    }
                }
                if (it != pools().end()) {
                    result = new ShareProxy(this, poolId.str(), it->second.connection);
                    ++it->second.shares;
                    held_.emplace_back(poolId.str(), result);
                }
            }
        }
    } catch (const std::bad_alloc&) {
        why = VqbString("out of memory taking a pooled connection");
        result = nullptr;
    }
    if (!result && error) *error = why;
    return result;
}

bool ConnShareSingleton::disconnect(const VqbString& poolId) {
    auto it = std::find_if(held_.begin(), held_.end(), [&](const auto& h) { return h.first == poolId.str(); });
    if (it == held_.end()) return false;
    ShareProxy* proxy = static_cast<ShareProxy*>(it->second);
    held_.erase(it);
    proxy->end();
    return true;
}

void ConnShareSingleton::forget(DacConnection* proxy) {
    held_.erase(std::remove_if(held_.begin(), held_.end(), [&](const auto& h) { return h.second == proxy; }),
                held_.end());
}

int ConnShareSingleton::openPoolCount() {
    std::lock_guard<std::mutex> guard(poolMutex);
    return static_cast<int>(pools().size());
}

ConnCacheSingleton::~ConnCacheSingleton() {
    if (!initialised_) return;
    std::vector<DacConnection*> closing;
    {
        std::lock_guard<std::mutex> guard(cacheMutex);
        if (--cacheHandles == 0) {
            for (auto& kv : idle()) closing.push_back(kv.second);
            idle().clear();
        }
    }
    for (DacConnection* c : closing) c->close();
}

bool ConnCacheSingleton::initialise(int /*flags*/) {
    if (initialised_) return true;
    std::lock_guard<std::mutex> guard(cacheMutex);
    ++cacheHandles;
    initialised_ = true;
    return true;
}

VqbString ConnCacheSingleton::connectionTextFor(const VqbString& dataSource, int mode) {
    const std::string& ds = dataSource.str();
    switch (mode) {
        case 1:
            return VqbString("DSN=" + braced(ds) + ";");
        case 2:
            return VqbString("VQXTYPE=SQLITE;FILE=" + braced(ds) + ";");
        case 3:
            return dataSource;
        default:
            return ds.find('=') != std::string::npos ? dataSource : VqbString("DSN=" + braced(ds) + ";");
    }
}

DacConnection* ConnCacheSingleton::connect(const VqbString& dataSource, int mode) {
    if (!initialised_) {
        error_ = VqbString("the connection cache is not initialised");
        return nullptr;
    }
    if (dataSource.isEmpty()) {
        error_ = VqbString("no data source was given");
        return nullptr;
    }
    try {
        std::string key = connectionTextFor(dataSource, mode).str();
        DacConnection* target = nullptr;
        std::vector<DacConnection*> lost;
        {
            std::lock_guard<std::mutex> guard(cacheMutex);
            for (auto range = idle().equal_range(key); range.first != range.second && !target;) {
                DacConnection* c = range.first->second;
                range.first = idle().erase(range.first);
                if (c->isBroken()) lost.push_back(c);
                else target = c;
            }
        }
        for (DacConnection* c : lost) c->close();
        if (!target) target = openDirect(key, error_);
        if (!target) return nullptr;
        error_ = VqbString();
        return new CacheProxy(target, key);
    } catch (const std::bad_alloc&) {
        error_ = VqbString("out of memory taking a cached connection");
        return nullptr;
    }
}

int ConnCacheSingleton::idleCount() {
    std::lock_guard<std::mutex> guard(cacheMutex);
    return static_cast<int>(idle().size());
}
