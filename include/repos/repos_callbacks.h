// Callbacks a host or the administration code hands to a repository connection.
#ifndef REPOS_CALLBACKS_H
#define REPOS_CALLBACKS_H

#include "vqbstring.h"

class RepositoryStatusCallback {
public:
    // A status line ("Table %s", "Checking table %s"); false asks the caller to stop.
    virtual bool reportProgress(const VqbString& text) = 0;
    // Each statement just before it runs and each error text.
    virtual void reportMessage(const VqbString& text) = 0;

protected:
    ~RepositoryStatusCallback() = default;
};

// Receives statements as text instead of their execution (DDL-script mode).
class ReposDDLCallback {
public:
    virtual void writeDDL(const VqbString& statement) = 0;

protected:
    ~ReposDDLCallback() = default;
};

// Never cancels and ignores messages.
class DummyCallback : public RepositoryStatusCallback {
public:
    bool reportProgress(const VqbString&) override { return true; }
    void reportMessage(const VqbString&) override {}
};

class DefaultStatusCallback : public DummyCallback {};

#endif
