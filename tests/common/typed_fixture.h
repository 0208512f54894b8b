// Typed data access as the product areas build it, reduced to a few rule operations: two test
// interfaces over the shared base, and operations that change, commit and announce the way the
// real ones do.
#ifndef TYPED_FIXTURE_H
#define TYPED_FIXTURE_H

#include <cstdint>

#include "base_rdaimpl.h"
#include "repos_fixture.h"
#include "repos_typed.h"

class TestRulesDataAccess : public virtual ReposTypedDataAccess {
public:
    // id 0 takes a new id from the counter; any other id is used as given.
    virtual bool addRule(const VqbString& name, const VqbString& uuid, int folderId, uint32_t& id) = 0;
    virtual bool updateRule(uint32_t id, const VqbString& uuid, const VqbString& name) = 0;
    virtual bool lockRule(uint32_t id, const VqbString& uuid) = 0;
    virtual bool unlockRule(uint32_t id) = 0;
    virtual bool deleteRule(uint32_t id) = 0;
    // RU_ID, RU_DESC in id order.
    virtual ReposDataAccessCursor* listRules(unsigned maxRows) = 0;
};

class TestCountDataAccess : public virtual ReposTypedDataAccess {
public:
    virtual int countRules() = 0;
};

class TestRulesRDAImpl : public BaseRDAImpl, public TestRulesDataAccess {
public:
    explicit TestRulesRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

    bool addRule(const VqbString& name, const VqbString& uuid, int folderId, uint32_t& id) override;
    bool updateRule(uint32_t id, const VqbString& uuid, const VqbString& name) override;
    bool lockRule(uint32_t id, const VqbString& uuid) override;
    bool unlockRule(uint32_t id) override;
    bool deleteRule(uint32_t id) override;
    ReposDataAccessCursor* listRules(unsigned maxRows) override;

protected:
    ~TestRulesRDAImpl() override = default;
};

class TestCountRDAImpl : public BaseRDAImpl, public TestCountDataAccess {
public:
    explicit TestCountRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}
    int countRules() override;

protected:
    ~TestCountRDAImpl() override = default;
};

// How a factory hands them out.
TestRulesDataAccess* createTestRules(ReposDataAccess* connection);
TestCountDataAccess* createTestCount(ReposDataAccess* connection);

// The base part of an object handed out as its interface.
inline BaseRDAImpl* baseOf(TestRulesDataAccess* rules) { return dynamic_cast<BaseRDAImpl*>(rules); }

#endif
