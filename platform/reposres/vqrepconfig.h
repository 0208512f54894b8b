// Repository configuration manager: the named repositories a host configures.
//
// They are read from section "REPOSITORIES" of the configuration options, one key per setting:
//   [REPOSITORIES]
//   Sales.CONNECTION = DSN=sales;UID=dq;PWD=secret     connection text (for a file repository: its path)
//   Sales.PREFIX     = DQ_                             table prefix (optional, default empty)
//   Local.CONNECTION = /var/lib/dq/local.db
//   Local.FILE       = true                            a SQLite file opened directly (optional, default false)
// The setting word after the last '.' is matched ignoring case. A name is looked up exactly first,
// then ignoring case; two names that differ only in case are then ambiguous and neither is found.
// A name without a CONNECTION, or whose FILE is not a boolean, is not configured (logged at level 5).
#ifndef VQ_REPCONFIG_H
#define VQ_REPCONFIG_H

#include "vqbstring.h"

enum RepositoryConnectorKind {
    REPOS_CONNECTOR_FILE = 0,  // a SQLite file opened directly
    REPOS_CONNECTOR_DAC = 1    // through the data-access connector
};

class RepositoryConfiguration {
public:
    virtual void release() = 0;
    virtual VqbString getName() = 0;  // as configured
    virtual int getConnectorKind() = 0;
    virtual VqbString getConnection() = 0;
    virtual VqbString getTablePrefix() = 0;  // empty when not configured

protected:
    ~RepositoryConfiguration() = default;
};

class RepositoryConfigurationManager {
public:
    virtual void release() = 0;
    // A new configuration of that name (released by the caller), or null when it is not configured.
    virtual RepositoryConfiguration* getRepositoryConfiguration(const VqbString& name) = 0;

protected:
    ~RepositoryConfigurationManager() = default;
};

// A new manager (released by the caller), or null when the configuration options are unavailable.
RepositoryConfigurationManager* getRepositoryConfigurationManager();

#endif
