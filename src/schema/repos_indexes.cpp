#include "repos_indexes.h"

#include <algorithm>

namespace {

// Catalogue and database names compare by ASCII case only, whatever the locale.
std::string upper(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool isWordByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c >= 0x80;
}

// A CREATE INDEX statement cut into names, texts and single characters.
struct Token {
    enum Kind { Name, Text, Mark } kind;
    std::string text;  // a name unquoted, a mark's character
    bool quoted = false;
};

bool tokenize(const std::string& sql, std::vector<Token>& tokens) {
    size_t i = 0;
    while (i < sql.size()) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++i;
        } else if (c == '"' || c == '`' || c == '[' || c == '\'') {
            const char close = c == '[' ? ']' : static_cast<char>(c);
            std::string text;
            for (++i;; ++i) {
                if (i >= sql.size()) return false;
                if (sql[i] != close) {
                    text.push_back(sql[i]);
                } else if (close != ']' && i + 1 < sql.size() && sql[i + 1] == close) {
                    text.push_back(close);
                    ++i;
                } else {
                    break;
                }
            }
            ++i;
            tokens.push_back({c == '\'' ? Token::Text : Token::Name, text, true});
        } else if (isWordByte(c)) {
            size_t end = i;
            while (end < sql.size() && isWordByte(static_cast<unsigned char>(sql[end]))) ++end;
            tokens.push_back({Token::Name, sql.substr(i, end - i), false});
            i = end;
        } else {
            tokens.push_back({Token::Mark, std::string(1, static_cast<char>(c)), false});
            ++i;
        }
    }
    return true;
}

bool isWord(const Token& token, const char* word) {
    return token.kind == Token::Name && !token.quoted && upper(token.text) == word;
}

bool isMark(const Token& token, char mark) { return token.kind == Token::Mark && token.text[0] == mark; }

// The key columns or expressions between the first parentheses; false for a partial index or
// a text that is not one index statement.
template <class Key>
bool readKeys(const std::string& sql, std::vector<Key>& keys) {
    std::vector<Token> tokens;
    if (!tokenize(sql, tokens)) return false;
    size_t open = 0;
    while (open < tokens.size() && !isMark(tokens[open], '(')) ++open;
    if (open == tokens.size()) return false;
    std::vector<std::vector<Token>> parts(1);
    int depth = 0;
    size_t i = open + 1;
    for (; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (isMark(token, '(')) ++depth;
        if (isMark(token, ')') && depth-- == 0) break;
        if (depth == 0 && isMark(token, ',')) parts.emplace_back();
        else parts.back().push_back(token);
    }
    if (i == tokens.size()) return false;
    for (++i; i < tokens.size(); ++i)
        if (isWord(tokens[i], "WHERE")) return false;
    for (std::vector<Token>& part : parts) {
        // The order of a key does not change which lookups it serves.
        if (part.size() >= 3 && isWord(part[part.size() - 2], "NULLS")) part.resize(part.size() - 2);
        while (part.size() > 1 && (isWord(part.back(), "ASC") || isWord(part.back(), "DESC"))) part.pop_back();
        if (part.empty()) return false;
        Key key;
        if (part.size() == 1 && part[0].kind == Token::Name) {
            key.column = upper(part[0].text);
        } else {
            key.plain = false;
            for (const Token& token : part)
                if (token.kind == Token::Name) key.names.push_back(upper(token.text));
        }
        keys.push_back(key);
    }
    return true;
}

}  // namespace

std::vector<const ReposColumnDef*> reposWalkTables(ReposCatalogWalk walk) {
    std::vector<const ReposColumnDef*> tables;
    while (const ReposColumnDef* first = walk.nextTable()) tables.push_back(first);
    return tables;
}

std::vector<const ReposColumnDef*> reposCatalogueTables(bool ncoa) {
    std::vector<const ReposColumnDef*> tables = reposWalkTables(ReposCatalogWalk(ReposCatalogId::Main));
    if (ncoa) {
        std::vector<const ReposColumnDef*> more = reposWalkTables(ReposCatalogWalk(ReposCatalogId::Ncoa));
        tables.insert(tables.end(), more.begin(), more.end());
    }
    return tables;
}

std::vector<ReposIndexDecl> reposDeclaredIndexes(const ReposColumnDef* first, const ReposIndexRoad& road) {
    std::vector<ReposIndexDecl> indexes;
    for (const ReposColumnDef* record = first; !isReposEndRecord(record); ++record) {
        if (!record->column || (record->flags & REPOS_COL_METRICS) || !(record->flags & REPOS_COL_INDEXED)) continue;
        const bool key = (record->flags & REPOS_COL_PRIMARY) != 0;
        if (key && !road.keyIndexes) continue;
        ReposIndexDecl index;
        index.number = record->indexNumber;
        index.columns.push_back(record->column);
        index.keyColumn = key;
        indexes.push_back(std::move(index));
    }
    const std::string table = upper(first->table);
    for (int i = 0; i < REPOS_INDEX_DEF_COUNT; ++i) {
        const ReposIndexDef* def = getReposIndexDef(i);
        if (!def->table || upper(def->table) != table || (def->foldLast && !road.foldedNames)) continue;
        ReposIndexDecl index;
        index.composite = def;
        index.number = static_cast<int32_t>(def->number);
        index.foldLast = def->foldLast;
        for (const char* column : def->columns)
            if (column && *column) index.columns.push_back(column);
        if (!index.columns.empty()) indexes.push_back(std::move(index));
    }
    return indexes;
}

std::string reposSqliteIndexListing(const std::string& schema) {
    std::string master = "sqlite_master";
    std::string keys = "pragma_table_info(m.name)";
    if (!schema.empty()) {
        std::string name, text;
        for (char c : schema) {
            name += c == '"' ? std::string("\"\"") : std::string(1, c);
            text += c == '\'' ? std::string("''") : std::string(1, c);
        }
        master = "\"" + name + "\".sqlite_master";
        keys = "pragma_table_info(m.name, '" + text + "')";
    }
    return "SELECT m.type, m.tbl_name, m.name, m.sql, p.name, p.pk FROM " + master + " m LEFT JOIN " + keys +
           " p ON m.type = 'table' AND p.pk > 0 WHERE m.type IN ('table', 'index')";
}

std::vector<ReposStoredIndexes::Stored>& ReposStoredIndexes::of(const std::string& table) {
    return tables_[upper(table)];
}

void ReposStoredIndexes::addTable(const std::string& table) { of(table); }

void ReposStoredIndexes::addDefinition(const std::string& table, const std::string& name,
                                       const std::string& definition) {
    Stored stored;
    stored.name = name;
    if (readKeys(definition, stored.keys)) of(table).push_back(std::move(stored));
    else of(table);
}

void ReposStoredIndexes::addColumns(const std::string& table, const std::string& name,
                                    const std::vector<std::string>& columns) {
    Stored stored;
    stored.name = name;
    for (const std::string& column : columns) {
        Key key;
        key.column = upper(column);
        stored.keys.push_back(key);
    }
    of(table).push_back(std::move(stored));
}

void ReposStoredIndexes::addSqliteRow(const std::function<bool(int, std::string&)>& text, int keyPosition) {
    std::string type, table, name, sql, keyColumn;
    if (!text(0, type) || !text(1, table)) return;
    if (type == "index") {
        // An automatic index has no statement: it is the key's, which comes with the table's rows.
        if (text(3, sql)) addDefinition(table, text(2, name) ? name : "", sql);
        return;
    }
    std::vector<Stored>& indexes = of(table);
    if (!text(4, keyColumn) || keyPosition < 1) return;
    // The key is an index over its columns (for an integer key, the table's own order).
    auto key = std::find_if(indexes.begin(), indexes.end(), [](const Stored& s) { return s.name.empty(); });
    if (key == indexes.end()) key = indexes.insert(indexes.end(), Stored());
    if (key->keys.size() < static_cast<size_t>(keyPosition)) key->keys.resize(keyPosition);
    key->keys[keyPosition - 1].column = upper(keyColumn);
}

bool ReposStoredIndexes::hasTable(const std::string& table) const { return tables_.count(upper(table)) != 0; }

bool ReposStoredIndexes::matches(const Stored& stored, const ReposIndexDecl& index) {
    const std::vector<Key>& keys = stored.keys;
    if (index.keyColumn)
        return !keys.empty() && keys[0].plain && keys[0].column == upper(index.columns[0]);
    if (keys.size() != index.columns.size()) return false;
    for (size_t i = 0; i < keys.size(); ++i) {
        const std::string column = upper(index.columns[i]);
        if (index.foldLast && i + 1 == keys.size()) {
            if (keys[i].plain || std::find(keys[i].names.begin(), keys[i].names.end(), column) == keys[i].names.end())
                return false;
        } else if (!keys[i].plain || keys[i].column != column) {
            return false;
        }
    }
    return true;
}

bool ReposStoredIndexes::holds(const std::string& table, const ReposIndexDecl& index) const {
    auto found = tables_.find(upper(table));
    if (found == tables_.end()) return false;
    for (const Stored& stored : found->second) {
        if (!index.knownAs.empty() && upper(stored.name) == upper(index.knownAs)) return true;
        if (matches(stored, index)) return true;
    }
    return false;
}

bool reposIndexMissing(const ReposStoredIndexes& stored, const std::vector<const ReposColumnDef*>& tables,
                       const std::function<std::vector<ReposIndexDecl>(const ReposColumnDef*)>& expected) {
    for (const ReposColumnDef* first : tables) {
        if (!stored.hasTable(first->table)) continue;
        for (const ReposIndexDecl& index : expected(first))
            if (!stored.holds(first->table, index)) return true;
    }
    return false;
}
