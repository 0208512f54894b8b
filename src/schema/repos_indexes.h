// The indexes the catalogue declares for a table, as one back end makes them, and the indexes a
// database holds, compared by what they index: a table's index is there when its ordered columns
// and their collation or expression match, whatever the index is called.
#ifndef REPOS_INDEXES_H
#define REPOS_INDEXES_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "repos_tables.h"

// What a back end leaves out of the catalogue's indexes.
struct ReposIndexRoad {
    bool keyIndexes = true;   // a key column gets an index of its own
    bool foldedNames = true;  // composites over a folded name (the dialect has the form, the table is ours)
};

// One index the catalogue declares for a table.
struct ReposIndexDecl {
    const ReposIndexDef* composite = nullptr;  // null: the index of one column's record
    int32_t number = 0;                        // the record's or the composite's index number
    std::vector<const char*> columns;          // catalogue names, in index order
    bool foldLast = false;
    bool keyColumn = false;  // a key column's own index: any index that leads with it serves
    // Set where the host's command spec makes the index: its content is the host's, so the
    // index is known by this name.
    std::string knownAs;
};

// The first record of each table of a walk, in order.
std::vector<const ReposColumnDef*> reposWalkTables(ReposCatalogWalk walk);
// The repository catalogue's tables, then with ncoa the NCOA catalogue's.
std::vector<const ReposColumnDef*> reposCatalogueTables(bool ncoa);

// The table's indexes on a road: each indexed column's own (in record order), then the
// composites of reposIndexDefs (in their order).
std::vector<ReposIndexDecl> reposDeclaredIndexes(const ReposColumnDef* first, const ReposIndexRoad& road);

// The statement whose rows ReposStoredIndexes::addSqliteRow reads: every table of a SQLite
// database with its key columns, and every index with its statement. schema: the attached
// database's name, or empty for the main one.
std::string reposSqliteIndexListing(const std::string& schema);

// The indexes a database holds on catalogue tables, by catalogue table name (ignoring case).
class ReposStoredIndexes {
public:
    void addTable(const std::string& table);
    // A CREATE INDEX statement as the database keeps it. A partial index serves only some rows
    // and is not kept; nor is a statement that cannot be read.
    void addDefinition(const std::string& table, const std::string& name, const std::string& definition);
    // An index known only by its plain columns, in order.
    void addColumns(const std::string& table, const std::string& name, const std::vector<std::string>& columns);
    // One row of reposSqliteIndexListing: type, table, name, statement, key column, its position.
    // text(i, out) reads column i into out, false when it is null.
    void addSqliteRow(const std::function<bool(int, std::string&)>& text, int keyPosition);

    bool hasTable(const std::string& table) const;
    bool holds(const std::string& table, const ReposIndexDecl& index) const;

private:
    struct Key {
        bool plain = true;
        std::string column;              // a plain key: its column, upper-cased
        std::vector<std::string> names;  // an expression: the names in it, upper-cased
    };
    struct Stored {
        std::string name;
        std::vector<Key> keys;
    };
    std::vector<Stored>& of(const std::string& table);
    static bool matches(const Stored& stored, const ReposIndexDecl& index);

    std::map<std::string, std::vector<Stored>> tables_;
};

// Whether a table of the list that the database holds lacks an index expected of it.
bool reposIndexMissing(const ReposStoredIndexes& stored, const std::vector<const ReposColumnDef*>& tables,
                       const std::function<std::vector<ReposIndexDecl>(const ReposColumnDef*)>& expected);

#endif
