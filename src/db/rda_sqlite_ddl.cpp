// DDL of the SQLite back end: catalogue tables and their indexes, run-time tables, work-table
// indexes, and reading back columns and indexes.
#include <cstring>
#include <new>

#include "rda_sqlforms.h"
#include "rda_sqlite.h"
#include "repos_indexes.h"
#include "repos_tables.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "rda_sqlite";
constexpr int kLevelWarning = 4;

struct TypeWord {
    int32_t type;
    const char* word;
    const char* addedDefault;  // default of a NOT NULL column added to a table with rows
};

const TypeWord kTypeWords[] = {
    {VQB_TYPE_BOOL, " VARCHAR", "''"}, {VQB_TYPE_INT, " INTEGER", "0"},    {VQB_TYPE_REAL, " FLOAT", "0"},
    {VQB_TYPE_STRING, " VARCHAR", "''"}, {VQB_TYPE_DATE, " FLOAT", "0"},
};

const TypeWord* typeWord(int32_t type) {
    for (const TypeWord& t : kTypeWords)
        if (t.type == type) return &t;
    return nullptr;
}

// Declared column types read back from a file; the first word decides, ignoring case.
struct DeclaredType {
    const char* word;
    int32_t type;
};

const DeclaredType kDeclaredTypes[] = {
    {"INTEGER", VQB_TYPE_INT}, {"INT", VQB_TYPE_INT},       {"FLOAT", VQB_TYPE_REAL}, {"REAL", VQB_TYPE_REAL},
    {"DOUBLE", VQB_TYPE_REAL}, {"STRING", VQB_TYPE_STRING}, {"VARCHAR", VQB_TYPE_STRING}, {"TEXT", VQB_TYPE_STRING},
};

int32_t sqliteTypeCode(const VqbString& declared) {
    const std::string& text = declared.str();
    size_t end = 0;
    while (end < text.size() && ((text[end] >= 'A' && text[end] <= 'Z') || (text[end] >= 'a' && text[end] <= 'z')))
        ++end;
    VqbString word(text.substr(0, end));
    for (const DeclaredType& d : kDeclaredTypes)
        if (word.equals(d.word, false)) return d.type;
    return VQB_TYPE_INT;
}

std::string upper(const char* text) {
    VqbString s(text ? text : "");
    s.uppercase();
    return s.str();
}

// The column list of an index statement without the identifier quotes our DDL writes.
VqbString unquoteList(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '"') {
            out.push_back(c);
            continue;
        }
        for (++i; i < text.size(); ++i) {
            if (text[i] == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    out.push_back('"');
                    ++i;
                    continue;
                }
                break;
            }
            out.push_back(text[i]);
        }
    }
    return VqbString(out);
}

ReposCatalogWalk catalogWalk(const ReposTableRequest& request) {
    if (request.start) return ReposCatalogWalk(request.start);
    return ReposCatalogWalk(request.catalog == 1 ? ReposCatalogId::Ncoa : ReposCatalogId::Main);
}

}  // namespace

bool RDA_Sqlite::runDdl(const VqbString& sql, int line, int failLevel) {
    RDA_TRACE("RDA_Sqlite::runDdl [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    status()->reportMessage(sql);
    if (!db_) return fail(kSource, line, reposMessage(1161));
    if (db_->execute(sql, nullptr)) return true;
    db_->getErrorMessage(lastError_);
    status()->reportMessage(lastError_);
    reposLog(logger_, failLevel, kSource, line, "%s", lastError_.asCstr());
    return false;
}

SqliteCursor* RDA_Sqlite::queryDdl(const VqbString& sql) {
    SqliteCursor* cursor = db_ ? db_->query(sql) : nullptr;
    if (cursor) return cursor;
    if (!db_) {
        fail(kSource, __LINE__, reposMessage(1161));
    } else {
        db_->getErrorMessage(lastError_);
        status()->reportMessage(lastError_);
        logError(kSource, __LINE__, lastError_);
    }
    return nullptr;
}

bool RDA_Sqlite::readNames(const VqbString& sql, int column, std::set<std::string>& names, unsigned cursorError) {
    ReposHeld<SqliteCursor> cursor(queryDdl(sql));
    if (!cursor) return false;
    int state;
    while ((state = cursor->next()) == 1) names.insert(upper(cursor->getText(column).asCstr()));
    cursor.reset();
    if (state == 2) return fail(kSource, __LINE__, reposMessage(cursorError));
    return true;
}

bool RDA_Sqlite::columnDefinition(const ReposColumnView& column, VqbString& text) {
    const TypeWord* word = typeWord(column.type);
    if (!word) return fail(kSource, __LINE__, reposMessage(1062));
    text = quoteIdentifier(column.name);
    text.append(word->word);
    return true;
}

std::vector<ReposIndexDecl> RDA_Sqlite::expectedIndexes(const ReposColumnDef* first) {
    // A key column needs no index of its own: the key orders the table by it.
    ReposIndexRoad road;
    road.keyIndexes = false;
    return reposDeclaredIndexes(first, road);
}

VqbString RDA_Sqlite::indexStatement(const char* table, const ReposIndexDecl& index) {
    VqbString name = VqbString::format(index.composite ? "idx_cpd%d" : "idx%d", static_cast<int>(index.number));
    VqbString columns("");
    for (size_t c = 0; c < index.columns.size(); ++c) {
        if (!columns.isEmpty()) columns.append(", ");
        VqbString column = quoteIdentifier(index.columns[c]);
        columns.append(index.foldLast && c + 1 == index.columns.size() ? RDA_asciiFolded(RDA_SqlDialect::Sqlite, column)
                                                                        : column);
    }
    return VqbString::format("CREATE INDEX %s ON %s(%s)", quoteIdentifier(name.asCstr()).asCstr(),
                             quoteIdentifier(table).asCstr(), columns.asCstr());
}

bool RDA_Sqlite::readStoredIndexes(ReposStoredIndexes& stored) {
    ReposHeld<SqliteCursor> cursor(queryDdl(VqbString(reposSqliteIndexListing(""))));
    if (!cursor) return false;
    int state;
    auto text = [&](int i, std::string& out) {
        size_t bytes = 0;
        const char* value = cursor->getTextBytes(i, &bytes);
        if (value) out.assign(value, bytes);
        return value != nullptr;
    };
    while ((state = cursor->next()) == 1) stored.addSqliteRow(text, cursor->getInt(5));
    cursor.reset();
    if (state == 2) return fail(kSource, __LINE__, reposMessage(1287));
    return true;
}

bool RDA_Sqlite::buildCreateTable(const ReposColumnDef* first, TableDdl& ddl) {
    const char* const* key = reposCompositeKey(first->table);
    VqbString columns("");
    VqbString primary("");
    ReposTableCursor cursor(first);
    ReposColumnView column;
    while (cursor.next(column)) {
        VqbString definition;
        if (!columnDefinition(column, definition)) return false;
        if (!columns.isEmpty()) columns.append(", ");
        columns.append(definition);
        if (!key && (column.flags & REPOS_COL_PRIMARY)) {
            primary.append(primary.isEmpty() ? " PRIMARY KEY (" : ", ");
            primary.append(quoteIdentifier(column.name));
        }
        if (column.flags & REPOS_COL_NOTNULL) columns.append(" NOT NULL");
    }
    if (key) {
        for (const char* const* name = key; *name; ++name) {
            primary.append(primary.isEmpty() ? " PRIMARY KEY (" : ", ");
            primary.append(quoteIdentifier(*name));
        }
    }
    VqbString create =
        VqbString::format("CREATE TABLE %s (%s", quoteIdentifier(first->table).asCstr(), columns.asCstr());
    if (!primary.isEmpty()) {
        create.append(", ");
        create.append(primary);
        create.append(")");
    }
    create.append(")");
    ddl.statements.push_back(create);
    return true;
}

bool RDA_Sqlite::buildAddColumns(const ReposColumnDef* first, const std::set<std::string>& present, TableDdl& ddl) {
    ReposTableCursor cursor(first);
    ReposColumnView column;
    while (cursor.next(column)) {
        if (present.count(upper(column.name))) continue;
        VqbString definition;
        if (!columnDefinition(column, definition)) return false;
        // SQLite adds a NOT NULL column only with a default; existing rows take it, and the
        // column refuses NULL from then on like one made with the table.
        if (column.flags & REPOS_COL_NOTNULL) {
            definition.append(" NOT NULL DEFAULT ");
            definition.append(typeWord(column.type)->addedDefault);
        }
        ddl.statements.push_back(VqbString::format("ALTER TABLE %s ADD COLUMN %s",
                                                   quoteIdentifier(first->table).asCstr(), definition.asCstr()));
    }
    return true;
}

bool RDA_Sqlite::runStatements(const std::vector<VqbString>& statements) {
    for (const VqbString& sql : statements)
        if (!runDdl(sql, __LINE__)) return false;
    return true;
}

bool RDA_Sqlite::createTable_INT(const ReposTableRequest& request) {
    lastError_.setNull();
    ReposCatalogWalk walk = catalogWalk(request);
    while (const ReposColumnDef* first = walk.nextTable()) {
        if (!status()->reportProgress(VqbString::format("Table %s", first->table))) return false;
        if (request.dropFirst)
            runDdl(VqbString::format("DROP TABLE IF EXISTS %s", quoteIdentifier(first->table).asCstr()), __LINE__,
                   kLevelWarning);
        if (!request.create) continue;
        TableDdl ddl;
        if (!buildCreateTable(first, ddl) || !runStatements(ddl.statements)) return false;
        for (const ReposIndexDecl& index : expectedIndexes(first))
            if (!runDdl(indexStatement(first->table, index), __LINE__)) return false;
    }
    lastError_.setNull();
    return true;
}

bool RDA_Sqlite::checkTable_INT(const ReposTableRequest& request) {
    lastError_.setNull();
    // Every table is listed with the indexes.
    ReposStoredIndexes stored;
    if (!readStoredIndexes(stored)) return false;
    VqbString failure;
    ReposCatalogWalk walk = catalogWalk(request);
    while (const ReposColumnDef* first = walk.nextTable()) {
        if (!status()->reportProgress(VqbString::format("Checking table %s", first->table))) return false;
        TableDdl ddl;
        const bool existing = stored.hasTable(first->table);
        if (!existing) {
            if (!buildCreateTable(first, ddl)) return false;
            stored.addTable(first->table);
        } else {
            std::set<std::string> present;
            VqbString pragma = VqbString::format("PRAGMA table_info(%s)", quoteIdentifier(first->table).asCstr());
            if (!readNames(pragma, 1, present, 1286)) return false;
            if (!buildAddColumns(first, present, ddl)) return false;
        }
        if (!runStatements(ddl.statements)) return false;
        // An index is there when something indexes the same, whatever made it and named it.
        for (const ReposIndexDecl& index : expectedIndexes(first)) {
            if (existing && stored.holds(first->table, index)) continue;
            if (!index.composite) {
                if (!runDdl(indexStatement(first->table, index), __LINE__)) return false;
            } else if (!runDdl(indexStatement(first->table, index), __LINE__, kLevelWarning) && failure.isEmpty()) {
                // The check goes on; its caller learns what could not be made.
                failure = lastError_;
            }
        }
    }
    if (failure.isEmpty()) lastError_.setNull();
    else lastError_ = failure;
    return true;
}

int RDA_Sqlite::missingCatalogIndexes_INT(bool ncoa) {
    lastError_.setNull();
    ReposStoredIndexes stored;
    if (!readStoredIndexes(stored)) return -1;
    return reposIndexMissing(stored, reposCatalogueTables(ncoa),
                             [this](const ReposColumnDef* first) { return expectedIndexes(first); })
               ? 1
               : 0;
}

bool RDA_Sqlite::dropTable_INT(const VqbString& table) {
    lastError_.setNull();
    VqbString sql = VqbString::format("DROP TABLE %s", getTableName_INT(table.asCstr(), true, -1).asCstr());
    return runDdl(sql, __LINE__);
}

bool RDA_Sqlite::createTableFromColumns_INT(const VqbString& table, const ColumnSpecList& columns) {
    lastError_.setNull();
    VqbString sql = VqbString::format("CREATE TABLE %s (", getTableName_INT(table.asCstr(), true, -1).asCstr());
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnSpec& spec = columns[i];
        const TypeWord* word = typeWord(spec.type);
        if (!word) return fail(kSource, __LINE__, reposMessage(1062));
        if (i > 0) sql.append(", ");
        sql.append(quoteIdentifier(std::string(spec.name, strnlen(spec.name, sizeof spec.name)).c_str()));
        sql.append(word->word);
    }
    sql.append(")");
    return runDdl(sql, __LINE__);
}

int RDA_Sqlite::getTableColumns_INT(const VqbString& table, ColumnSpecList* out) {
    lastError_.setNull();
    if (!out) return 0;
    if (!db_) {
        fail(kSource, __LINE__, reposMessage(1161));
        return static_cast<int>(out->size());
    }
    VqbString sql = VqbString::format("PRAGMA table_info(%s)", getTableName_INT(table.asCstr(), true, -1).asCstr());
    RDA_TRACE("RDA_Sqlite::getTableColumns_INT [%s] sql [%s]", tag().asCstr(), sql.asCstr());
    ReposHeld<SqliteCursor> cursor(db_->query(sql));
    if (!cursor) {
        databaseFailure(__LINE__);
        return static_cast<int>(out->size());
    }
    int state;
    while ((state = cursor->next()) == 1) {
        ColumnSpec spec{};
        // At most 255 bytes, cut only between characters.
        VqbString name = cursor->getText(1);
        size_t bytes = 0;
        while (bytes < name.cStrSize()) {
            size_t next = bytes + RDA_BigString::chunkBytes(name.asCstr() + bytes, name.cStrSize() - bytes, 1);
            if (next > sizeof spec.name - 1) break;
            bytes = next;
        }
        std::memcpy(spec.name, name.asCstr(), bytes);
        spec.type = sqliteTypeCode(cursor->getText(2));
        spec.size = 255;
        out->push_back(spec);
    }
    if (state == 2) {
        VqbString text;
        cursor->getErrorMessage(text);
        fail(kSource, __LINE__, text);
    }
    return static_cast<int>(out->size());
}

bool RDA_Sqlite::createSqliteIndex(const VqbString& table, const VqbString& column, const VqbString& name) {
    VqbString index = name.isEmpty() ? VqbString::format("%s_%s_idx", table.asCstr(), column.asCstr()) : name;
    VqbString sql = VqbString::format("CREATE INDEX %s ON %s(%s)", quoteIdentifier(index.asCstr()).asCstr(),
                                      getTableName_INT(table.asCstr(), true, -1).asCstr(),
                                      quoteIdentifier(column.asCstr()).asCstr());
    if (runDdl(sql, __LINE__)) return true;
    VqbString detail = lastError_;
    lastError_ = reposMessage(1063, table.asCstr(), detail.asCstr());
    return false;
}

bool RDA_Sqlite::createIndex_INT(const VqbString& table, const VqbString& column, const VqbString& name) {
    lastError_.setNull();
    return createSqliteIndex(table, column, name);
}

bool RDA_Sqlite::createFrqDstIndexes_INT(int n) {
    lastError_.setNull();
    VqbString table = getTableName_INT("FRQDST", false, n);
    return createSqliteIndex(table, "fr_value", VqbString::format("fk_frqdist_fr_val%d", n)) &&
           createSqliteIndex(table, "fr_count", VqbString::format("fk_frqdist_fr_count%d", n));
}

bool RDA_Sqlite::createHsmIndexes_INT(int n, int groupFields) {
    lastError_.setNull();
    VqbString table = getTableName_INT("HSM", false, n);
    if (!createSqliteIndex(table, "FIELDIDX", "")) return false;
    for (int j = 1; j <= groupFields; ++j)
        if (!createSqliteIndex(table, VqbString::format("GRPFLD%d", j), "")) return false;
    return true;
}

bool RDA_Sqlite::createHcmIndexes_INT(int n, int groupFields) {
    lastError_.setNull();
    VqbString table = getTableName_INT("HCM", false, n);
    for (int j = 1; j <= groupFields; ++j)
        if (!createSqliteIndex(table, VqbString::format("GRPFLD%d", j), "")) return false;
    return true;
}

ReposDataAccessCursor* RDA_Sqlite::getIndexes_INT(const VqbString& table) {
    lastError_.setNull();
    VqbDatavar name(getTableName_INT(table.asCstr(), false, -1));
    const VqbDatavar* params[] = {&name};
    ReposHeld<ReposDataAccessCursor> cursor(paramSelect_INT(
        "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name = ? COLLATE NOCASE ORDER BY name",
        {params, 1}));
    if (!cursor) return nullptr;
    ReposHeld<ReposDataCursor> result(new (std::nothrow) ReposDataCursor());
    if (!result) {
        fail(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    result->setNumCols(2);
    result->setColName(0, "name");
    result->setColName(1, "field");
    int state;
    while ((state = cursor->next()) == 1) {
        if (cursor->isNull(1)) continue;  // automatic indexes have no statement
        std::string sql = cursor->getString(1).str();
        size_t open = sql.find('(');
        size_t close = sql.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        result->addRow();
        result->setValue(0, cursor->getValue(0));
        result->setValue(1, unquoteList(sql.substr(open + 1, close - open - 1)));
    }
    if (state == 2) {
        fail(kSource, __LINE__, reposMessage(233));
        return nullptr;
    }
    result->reset();
    return result.release();  // the caller's now
}
