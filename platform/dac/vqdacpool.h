// Process-wide connection sharing of the connector.
//   ConnShareSingleton: pooled connections shared by every user of the same pool id (the
//     repository connections of one process that name a POOL_ID).
//   ConnCacheSingleton: connections to the user's own source databases, kept open between
//     uses and handed out again for the same data source.
// Each object is a handle on the process-wide state; it works after initialise() and gives
// back what it still holds when it ends. Connections handed out by either must not be used
// after the handle that gave them ends.
#ifndef VQ_DAC_POOL_H
#define VQ_DAC_POOL_H

#include <memory>
#include <string>
#include <vector>

#include "vqdac.h"

class ConnShareSingleton {
public:
    ConnShareSingleton() = default;
    ~ConnShareSingleton();
    ConnShareSingleton(const ConnShareSingleton&) = delete;
    ConnShareSingleton& operator=(const ConnShareSingleton&) = delete;

    bool initialise(int flags);
    // The pool's connection, opened with the connection text on first use. Null, with the
    // reason in error, when the pool cannot give one: the text cannot connect, the pool
    // already serves another connection text, or its connection was lost while others still
    // use it. The caller then opens a connection of its own.
    DacConnection* getConnection(const VqbString& poolId, const VqbString& connectionText, VqbString* error,
                                 void* reserved, int flags);
    // Gives back one share of the pool taken through this handle; the connection object it
    // handed out ends. The pool's connection closes with its last share. False when this
    // handle holds no share of the pool.
    bool disconnect(const VqbString& poolId);

    // Pools open in the process.
    static int openPoolCount();

private:
    friend class ShareProxy;
    void forget(DacConnection* proxy);

    bool initialised_ = false;
    std::vector<std::pair<std::string, DacConnection*>> held_;
};

class ConnCacheSingleton {
public:
    ConnCacheSingleton() = default;
    ~ConnCacheSingleton();
    ConnCacheSingleton(const ConnCacheSingleton&) = delete;
    ConnCacheSingleton& operator=(const ConnCacheSingleton&) = delete;

    bool initialise(int flags);
    // A connection to a data source; its close() puts it back in the cache (rolling back an
    // open transaction). How the data source is read, by mode:
    //   1: an ODBC data source name (DSN=<dataSource>)
    //   2: a SQLite file, opened by the native driver
    //   3: a complete connection text
    //   0 and any other: a connection text when it holds '=', else an ODBC data source name
    DacConnection* connect(const VqbString& dataSource, int mode);
    VqbString getErrorMessage() const { return error_; }

    // Idle connections kept in the process.
    static int idleCount();
    // The connection text connect() uses for a data source and mode.
    static VqbString connectionTextFor(const VqbString& dataSource, int mode);

private:
    bool initialised_ = false;
    VqbString error_;
};

#endif
