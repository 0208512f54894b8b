// Table-creation command spec documents: reading the command spec file and handing out the
// expanded table and index commands for a DBMS, schema and table.
#ifndef TABLECREATECONFIG_H
#define TABLECREATECONFIG_H

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "repos_held.h"
#include "repos_tablecreate.h"
#include "vqbstring.h"

namespace VqTableCreateNS {

// Templates or commands by number, in ascending order.
using VqCommandMap = std::map<int32_t, VqbString>;

class VqCommandCursorImpl final : public VqCommandCursor {
public:
    explicit VqCommandCursorImpl(VqCommandMap commands) : commands_(std::move(commands)) {}

    void release() override;
    bool next() override;
    VqbString getCommand() override;

    size_t count() const { return commands_.size(); }

private:
    ~VqCommandCursorImpl() = default;

    VqCommandMap commands_;
    VqCommandMap::const_iterator current_;
    bool started_ = false;
};

class VqIndexSpecImpl final : public VqObjectSpec {
public:
    VqIndexSpecImpl() = default;

    void release() override;
    VqCommandCursor* getCommands() override;
    VqbString getName() override { return VqbString(""); }

    // The first template of a number wins.
    void addTemplate(int32_t number, const VqbString& text) { templates_.emplace(number, text); }
    const VqCommandMap& templates() const { return templates_; }

private:
    ~VqIndexSpecImpl() = default;

    VqCommandMap templates_;
};

class VqTableSpecImpl final : public VqObjectSpec {
public:
    explicit VqTableSpecImpl(const VqbString& name) : name_(name) {}

    void release() override;
    VqCommandCursor* getCommands() override;
    VqbString getName() override { return name_; }

    // The first template of a number wins; true when it was stored.
    bool addTemplate(int32_t number, const VqbString& text) { return templates_.emplace(number, text).second; }
    const VqCommandMap& templates() const { return templates_; }
    // A later index spec replaces an earlier one.
    void setIndexSpec(ReposHeld<VqIndexSpecImpl> spec) { index_ = std::move(spec); }
    VqIndexSpecImpl* indexSpec() const { return index_.get(); }

private:
    ~VqTableSpecImpl() = default;

    VqbString name_;  // upper-cased pattern
    VqCommandMap templates_;
    ReposHeld<VqIndexSpecImpl> index_;
};

struct VqSchemaSpec {
    VqbString name;  // upper-cased pattern
    std::vector<ReposHeld<VqTableSpecImpl>> tables;
};

struct VqDbTypeSpec {
    VqbString name;  // upper-cased pattern
    std::vector<VqSchemaSpec> schemas;
};

class VqCreateSpecDocImpl final : public VqCreateSpecDoc {
public:
    VqCreateSpecDocImpl() = default;

    void release() override;
    bool loadFile(const VqbString& path) override;
    VqbString getErrorMessage() override { return error_; }
    VqCommandCursor* getTableCommands(const VqbString& table, const VqbString& schema, const VqbString& cValue,
                                      const VqbString& dbType, const VqbString& fValue) override;
    VqCommandCursor* getIndexCommands(const VqbString& indexName, const VqbString& table, const VqbString& schema,
                                      const VqbString& cValue, const VqbString& dbType,
                                      const VqbString& fValue) override;

    // The table spec that a lookup would use (first match at each level), or null.
    VqTableSpecImpl* findTableSpec(const VqbString& dbType, const VqbString& schema, const VqbString& table) const;
    size_t dbTypeCount() const { return dbTypes_.size(); }

private:
    ~VqCreateSpecDocImpl() = default;

    VqCommandCursor* lookup(const VqbString* indexName, const VqbString& table, const VqbString& schema,
                            const VqbString& cValue, const VqbString& dbType, const VqbString& fValue);

    std::vector<VqDbTypeSpec> dbTypes_;
    VqbString error_;
};

// Name patterns: '*' any run of characters, '?' one character, '\' makes the next character
// literal; compared by code point, exactly.
bool vqMatchNamePattern(const VqbString& name, const VqbString& pattern);
// A name argument may hold an unescaped '*' only as its first or last character and may not be
// exactly "**"; the empty text passes.
bool vqIsValidNameArgument(const VqbString& text);

}  // namespace VqTableCreateNS

#endif
