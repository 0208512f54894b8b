// Applies the installation's XML table sets to a repository that is created, deleted or upgraded:
// statements around the tables, the tables themselves, their initial rows, and the version of
// each table set.
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "repos_reasons.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqbutil.h"

namespace {

const char kSource[] = "repositoryimpl";

struct Delimiter {
    const char* text;
    RepositoryImpl::ExpandMode mode;
};

// Applied in this order; the macro pass runs once per macro of the table set.
const Delimiter kTableDelimiters[] = {
    {"$$", RepositoryImpl::ExpandMode::QualifiedTable},
    {"##", RepositoryImpl::ExpandMode::BareTable},
    {"&&", RepositoryImpl::ExpandMode::Plain},
};
const char kMacroDelimiter[] = "%%";

// A value written as text in the spec, converted to the column's type when it converts cleanly,
// so that servers with strict parameter types take it.
VqbDatavar typedValue(const VqbDatavar& value, int type) {
    if (value.getType() != VQB_TYPE_STRING) return value;
    VqbString text = value.asString().trimmed();
    bool error = false;
    switch (type) {
        case VQB_TYPE_INT: {
            long long number = text.asInt64(&error);
            return error ? value : VqbDatavar(number);
        }
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE: {
            double number = text.asDouble(&error);
            return error ? value : VqbDatavar(number);
        }
        default:
            return value;
    }
}

// A script takes statements with their values written in as literals: the connection's
// parameterised call does that in script mode. Its values are a variable argument list, of which
// only the first count are read.
constexpr size_t kMaxScriptValues = 64;

template <size_t... N>
bool execPointers(ReposDataAccess* connection, const VqbString& sql, const VqbDatavar* const* values, int count,
                  std::index_sequence<N...>) {
    return connection->paramExec(sql, nullptr, count, values[N]...);
}

bool execValues(ReposDataAccess* connection, const VqbString& sql, const std::vector<VqbDatavar>& values) {
    if (values.size() > kMaxScriptValues) return false;
    const VqbDatavar* pointers[kMaxScriptValues] = {};
    for (size_t i = 0; i < values.size(); ++i) pointers[i] = &values[i];
    return execPointers(connection, sql, pointers, static_cast<int>(values.size()),
                        std::make_index_sequence<kMaxScriptValues>());
}

// The table's catalogue records, ended by two end records. The texts stay owned by the spec.
std::vector<ReposColumnDef> columnRecords(const ReposTableDefSpec& table) {
    std::vector<ReposColumnDef> records;
    records.reserve(table.columns.size() + 2);
    for (const ReposColumnSpec& column : table.columns) {
        ReposColumnDef record{};
        record.table = table.name.asCstr();
        record.column = column.name.asCstr();
        record.type = column.type;
        record.length = column.length;
        record.description = column.description.asCstr();
        if (column.primaryKey) record.flags |= REPOS_COL_PRIMARY | REPOS_COL_NOTNULL;
        if (column.indexNumber > 0) {
            record.flags |= REPOS_COL_INDEXED;
            record.indexNumber = column.indexNumber;
        }
        if (!column.nullable) record.flags |= REPOS_COL_NOTNULL;
        if (column.useMaxLength) record.flags |= REPOS_COL_UNLIMITED;
        records.push_back(record);
    }
    records.push_back(ReposColumnDef{});
    records.push_back(ReposColumnDef{});
    return records;
}

}  // namespace

const ReposTableSetSpec* RepositoryImpl::getSpec(int i) const {
    const ReposTableSetSpec* set = nullptr;
    if (!specReader_ || !specReader_->getSpec(i, &set)) return nullptr;
    return set;
}

VqbString RepositoryImpl::statementError(ReposDataAccessStatement* statement) {
    return reposStatementReason(statement, connection_.get());
}

bool RepositoryImpl::specFailure(int line, const VqbString& text, bool ignoreErrors, bool loggedBelow) {
    if (!loggedBelow) reposLog(logger_, 5, kSource, line, "%s", text.asCstr());
    if (ignoreErrors) status()->reportMessage(text);
    else handOn(text);
    return ignoreErrors;
}

bool RepositoryImpl::expandDelimited(const VqbString& text, const char* delimiter, ExpandMode mode,
                                     const VqbString& key, const VqbString& value, VqbString& out, VqbString& error) {
    const std::string open(delimiter);
    std::string s = text.str();
    size_t start = 0;
    unsigned replacements = 0;
    for (;;) {
        size_t p = s.find(open, start);
        if (p == std::string::npos) break;
        size_t q = s.find(open, p + open.size());
        if (q == std::string::npos) break;
        VqbString name(s.substr(p + open.size(), q - p - open.size()));
        std::string replacement;
        switch (mode) {
            case ExpandMode::QualifiedTable:
                replacement = connection_->getTableName(name.asCstr(), true, -1).str();
                break;
            case ExpandMode::BareTable:
                replacement = connection_->getTableName(name.asCstr(), false, -1).str();
                break;
            case ExpandMode::Plain:
                replacement = name.str();
                break;
            case ExpandMode::Macro:
                if (!name.equals(key, false)) {
                    start = q + open.size();
                    continue;
                }
                replacement = value.str();
                break;
        }
        const size_t end = q + open.size();
        if (s.size() - (end - p) + replacement.size() > REPOS_MACRO_MAX_TEXT ||
            ++replacements > REPOS_MACRO_MAX_REPLACEMENTS) {
            error = reposMessage(1688, static_cast<unsigned>(REPOS_MACRO_MAX_TEXT), REPOS_MACRO_MAX_REPLACEMENTS);
            return false;
        }
        s.replace(p, end - p, replacement);
        // Never rescanned: a replacement holding the delimiter cannot make the text grow without end.
        start = p + replacement.size();
    }
    out = VqbString(s);
    return true;
}

bool RepositoryImpl::runSpecStatement(const ReposStmtSpec& statement, bool ignoreErrors, const ReposMacroMap& macros) {
    VqbString sql = statement.sql;
    VqbString error;
    for (const Delimiter& d : kTableDelimiters)
        if (!expandDelimited(sql, d.text, d.mode, VqbString(""), VqbString(""), sql, error))
            return specFailure(__LINE__, error, ignoreErrors, false);
    for (const auto& macro : macros)
        if (!expandDelimited(sql, kMacroDelimiter, ExpandMode::Macro, macro.first, macro.second, sql, error))
            return specFailure(__LINE__, error, ignoreErrors, false);

    status()->reportMessage(sql);
    if (ddlMode_) {
        // No statement can be prepared while the connection writes a script.
        std::vector<VqbDatavar> values;
        for (const ReposStmtParam& param : statement.params) values.push_back(typedValue(param.value, param.type));
        if (execValues(connection_.get(), sql, values)) return true;
        return specFailure(__LINE__, connectionError(), ignoreErrors);
    }
    ReposHeld<ReposDataAccessStatement> prepared(connection_->createStatement(sql));
    if (!prepared) return specFailure(__LINE__, connectionError(), ignoreErrors);
    for (size_t i = 0; i < statement.params.size(); ++i) {
        const ReposStmtParam& param = statement.params[i];
        int index = static_cast<int>(i);
        if (!prepared->setParameterInfo(index, param.type, param.length) ||
            !prepared->setParameter(index, typedValue(param.value, param.type))) {
            VqbString text = statementError(prepared.get());
            prepared.reset();
            return specFailure(__LINE__, text, ignoreErrors);
        }
    }
    if (!prepared->execute()) {
        VqbString text = statementError(prepared.get());
        prepared.reset();
        return specFailure(__LINE__, text, ignoreErrors);
    }
    return true;
}

bool RepositoryImpl::insertSpecRows(const ReposTableSetSpec& set) {
    const bool ignore = set.ignoreCustomErrors;
    for (const ReposTableDefSpec& def : set.tables) {
        if (def.rows.empty()) continue;
        const VqbString qualified = table(def.name.asCstr());
        if (def.deleteExisting) {
            VqbString sql = "DELETE FROM " + qualified;
            status()->reportMessage(sql);
            if (!connection_->paramExec(sql, nullptr, 0) && !specFailure(__LINE__, connectionError(), ignore))
                return false;
        }
        ReposHeld<ReposDataAccessStatement> insert;
        VqbString insertText;
        for (size_t r = 0; r < def.rows.size(); ++r) {
            std::map<VqbString, VqbDatavar> values = def.rows[r].values;
            const VqbString& generated = def.rows[r].generatedIdColumn;
            if (!generated.isEmpty()) {
                auto slot = values.find(generated);
                if (slot == values.end()) {
                    reposLog(logger_, 5, kSource, __LINE__, "Key column name (%s) not found in mValues map",
                             generated.asCstr());
                    vqbAssertFailure("not found", __FILE__, __LINE__);
                    return fail(__LINE__, reposMessage(696, def.name.asCstr(), generated.asCstr()));
                }
                VqbDatavar id;
                if (connection_->getNextId(def.name, &id)) {
                    slot->second = id;
                } else if (!specFailure(__LINE__, connectionError(), ignore)) {
                    return false;
                }
            }
            if (r == 0) {
                VqbString columns(""), markers("");
                for (size_t i = 0; i < def.columns.size(); ++i) {
                    if (i) {
                        columns.append(",");
                        markers.append(",");
                    }
                    // Not quoted: the reader lets only plain identifiers through, and a back end
                    // that folds column names (lower case on PostgreSQL) made the table that way.
                    columns.append(def.columns[i].name);
                    markers.append("?");
                }
                insertText = VqbString::format("INSERT INTO %s (%s) VALUES (%s)", qualified.asCstr(), columns.asCstr(),
                                               markers.asCstr());
                status()->reportMessage(insertText);
            }
            std::vector<VqbDatavar> row;
            for (const ReposColumnSpec& column : def.columns) {
                auto found = values.find(column.name);
                row.push_back(found == values.end() ? VqbDatavar() : typedValue(found->second, column.type));
            }
            if (ddlMode_) {
                if (!execValues(connection_.get(), insertText, row) && !specFailure(__LINE__, connectionError(), ignore))
                    return false;
                continue;
            }
            if (r == 0) {
                insert.reset(connection_->createStatement(insertText));
                if (!insert) {
                    if (!specFailure(__LINE__, connectionError(), ignore)) return false;
                    break;
                }
                for (size_t i = 0; i < def.columns.size(); ++i)
                    insert->setParameterInfo(static_cast<int>(i), def.columns[i].type, def.columns[i].length);
            }
            for (size_t i = 0; i < row.size(); ++i) {
                if (!insert->setParameter(static_cast<int>(i), row[i]) &&
                    !specFailure(__LINE__, statementError(insert.get()), ignore)) {
                    return false;
                }
            }
            if (!insert->execute() && !specFailure(__LINE__, statementError(insert.get()), ignore)) return false;
        }
    }
    return true;
}

bool RepositoryImpl::recordSpecVersion(const ReposTableSetSpec& set) {
    const VqbString info = table("INFO");
    VqbDatavar name(set.name), version(set.version);
    int count = 0;
    if (!singletonInt(__LINE__, "SELECT COUNT(*) FROM " + info + " WHERE I_TYPE=?", &count, &name)) return false;
    if (count != 0) return exec(__LINE__, "UPDATE " + info + " SET I_VERS=? WHERE I_TYPE=?", &version, &name);
    return exec(__LINE__, "INSERT INTO " + info + " (I_VERS, I_TYPE) VALUES (?, ?)", &version, &name);
}

bool RepositoryImpl::applyTableSpecs(bool dropTables, bool createTables, bool upgrade, bool countOnly,
                                     unsigned* count) {
    if (count) *count = 0;
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    if (!specReader_) return true;
    unsigned n = 0;
    if (!specReader_->loadSpecDirectory(&n)) return handOn(specReader_->getErrorMessage());

    const bool createMode = createTables && !upgrade;
    const bool deleteMode = dropTables && !createTables;
    const bool upgradeOnly = upgrade && !createTables && !dropTables;
    unsigned counted = 0;
    for (unsigned i = 0; i < n; ++i) {
        const ReposTableSetSpec* set = nullptr;
        if (!specReader_->getSpec(static_cast<int>(i), &set)) return fail(__LINE__, specReader_->getErrorMessage());
        if (!set) return fail(__LINE__, reposMessage(1161));

        if (createTables || upgrade) {
            auto recorded = typeVersions_.find(set->name);
            if (set->version <= (recorded == typeVersions_.end() ? 0 : recorded->second)) continue;
        }
        if (countOnly) {
            ++counted;
            continue;
        }

        const std::vector<ReposStmtSpec>* pre = nullptr;
        const std::vector<ReposStmtSpec>* post = nullptr;
        if (createMode) {
            pre = &set->statements(REPOS_STMT_PRE, REPOS_STMT_CREATE);
            post = &set->statements(REPOS_STMT_POST, REPOS_STMT_CREATE);
        } else if (deleteMode) {
            pre = &set->statements(REPOS_STMT_PRE, REPOS_STMT_DELETE);
            post = &set->statements(REPOS_STMT_POST, REPOS_STMT_DELETE);
        } else if (upgrade) {
            pre = &set->statements(REPOS_STMT_PRE, REPOS_STMT_UPDATE);
            post = &set->statements(REPOS_STMT_POST, REPOS_STMT_UPDATE);
        }
        auto runAll = [&](const std::vector<ReposStmtSpec>* list) {
            if (!list) return true;
            for (const ReposStmtSpec& statement : *list)
                if (!runSpecStatement(statement, set->ignoreCustomErrors, set->macros)) return false;
            return true;
        };

        if (!runAll(pre)) return false;
        for (const ReposTableDefSpec& def : set->tables) {
            std::vector<ReposColumnDef> records;
            try {
                records = columnRecords(def);
            } catch (const std::bad_alloc&) {
                return fail(__LINE__, reposMessage(530));
            }
            ReposTableRequest request;
            request.catalog = 0;
            request.dropFirst = dropTables ? 1 : 0;
            request.create = createTables ? 1 : 0;
            request.start = records.data();
            request.name = set->indexPrefix;
            request.primaryKey = 1;
            request.connectorFlag = 1;
            bool ok = upgrade ? connection_->checkTable(request) : connection_->createTable(request);
            if (!ok) return failFromConnection(__LINE__);
        }

        if (set->insertDataFirst) {
            if (deleteMode) continue;
            if (!upgrade && !insertSpecRows(*set)) return false;
            if (!runAll(post)) return false;
        } else {
            if (!runAll(post)) return false;
            if (deleteMode) continue;
            if (!upgrade && !insertSpecRows(*set)) return false;
        }

        typeVersions_[set->name] = set->version;
        if (upgradeOnly && !recordSpecVersion(*set)) return false;
    }
    if (count) *count = counted;
    return true;
}
