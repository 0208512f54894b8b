// The built-in table catalogue: records, arrays, walks and the validator.
#ifndef REPOS_TABLES_H
#define REPOS_TABLES_H

#include <cstddef>
#include <cstdint>

#include "vqbdatavar.h"

// Flag bits of a catalogue record.
constexpr uint32_t REPOS_COL_UNLIMITED = 0x1;  // text created with the connection's maximum text length
constexpr uint32_t REPOS_COL_METRICS = 0x2;    // placeholder for the standard metric columns MET_0..MET_23
constexpr uint32_t REPOS_COL_INDEXED = 0x4;    // single-column index numbered by indexNumber
constexpr uint32_t REPOS_COL_F8 = 0x8;         // kept as marked; nothing reads it
constexpr uint32_t REPOS_COL_PRIMARY = 0x10;
constexpr uint32_t REPOS_COL_NOTNULL = 0x20;   // only on records built from the XML table-create files

// Product areas of a record.
enum ReposArea : int32_t {
    REPOS_AREA_PROFILE = 1,
    REPOS_AREA_MONITOR = 2,
    REPOS_AREA_CORE = 3,
    REPOS_AREA_EXPLORER = 4,
    REPOS_AREA_SHARED = 5,
    REPOS_AREA_NCOA = 6,
};

// One column of one repository table. A record with no table name ends a table; a second
// one directly after it ends the array.
struct ReposColumnDef {
    const char* table;
    const char* column;        // null only in the metric placeholder
    int32_t type;              // VQB_TYPE_INT, VQB_TYPE_REAL or VQB_TYPE_STRING; 0 in the placeholder
    int32_t length;            // text length; 0 for numbers and unlimited text
    uint32_t flags;
    int32_t versionMarker;
    int32_t area;
    int32_t indexNumber;       // 0: no single-column index
    const char* description;   // first record of a table: table description, tab, column description
};

constexpr int REPOS_INDEX_DEF_COUNT = 24;
constexpr int REPOS_INDEX_DEF_COLUMNS = 8;

// A composite index over its columns in this order; column slots after the last column are null.
struct ReposIndexDef {
    int64_t number;
    const char* table;
    const char* columns[REPOS_INDEX_DEF_COLUMNS];
    // The last column is kept folded to ASCII lower case, for the lookups that compare it ignoring
    // case; a back end that has no such index element makes none.
    bool foldLast = false;
};

constexpr int REPOS_STANDARD_METRIC_COUNT = 24;

struct StandardMetricDef {
    const char* displayName;
    const char* description;
    const char* key;
    uint32_t textLength;  // 0: the connection's maximum text length
};

extern const ReposColumnDef reposColumnDefs[];
extern const int32_t reposColumnDefCount;  // records, end records included
extern const ReposColumnDef ncoaColumnDefs[];
extern const int32_t ncoaColumnDefCount;
extern const ReposColumnDef ncoaExtColumnDefs[];  // the extended NCOAEX alone; no stored count
extern const ReposIndexDef reposIndexDefs[REPOS_INDEX_DEF_COUNT];
extern const StandardMetricDef standardMetricDefs[REPOS_STANDARD_METRIC_COUNT];

inline bool isReposEndRecord(const ReposColumnDef* record) {
    return record->table == nullptr || record->table[0] == '\0';
}

// Walks with process-wide positions (one for the main array, one shared by both NCOA arrays).
// Kept for callers that serialise their schema work; the system's own walks use
// ReposCatalogWalk. No index or position is checked.
void resetReposColumns();
const ReposColumnDef* nextReposColumn();
const ReposColumnDef* getReposColumn(int32_t index);
const ReposIndexDef* getReposIndexDef(int32_t index);
void resetNcoaColumns();
const ReposColumnDef* nextNcoaColumn(bool extended);
const ReposColumnDef* getNcoaColumn(int32_t index, bool extended);

// Checks the main and NCOA arrays, logging what it finds; false when an error was found.
// Leaves both shared positions at the end of their arrays.
bool validateTableCatalog();

// The checks of validateTableCatalog on any arrays, taken as one sequence (each array ended by
// a double end record). When recordsWalked is given, it receives per array the number of
// records read, the final end record included.
bool validateColumnDefArrays(const ReposColumnDef* const* arrays, size_t arrayCount, size_t* recordsWalked = nullptr);

enum class ReposCatalogId { Main, Ncoa, NcoaExtended };

const ReposColumnDef* reposCatalogRecords(ReposCatalogId id);

// A walk that keeps its position to itself, so walks on several threads do not meet.
class ReposCatalogWalk {
public:
    explicit ReposCatalogWalk(ReposCatalogId id) : ReposCatalogWalk(reposCatalogRecords(id)) {}
    // Records laid out like the arrays (tables ended by an end record, then a second one).
    explicit ReposCatalogWalk(const ReposColumnDef* first) : begin_(first) {}

    void reset() {
        pos_ = 0;
        afterEnd_ = false;
        done_ = false;
    }
    // The record at the position, then one further, like nextReposColumn; after the
    // closing end record it yields null and stays there.
    const ReposColumnDef* next();
    // The first record of the next table, with the position moved past that table's end
    // record; null after the last table.
    const ReposColumnDef* nextTable();
    bool atEnd() const { return done_; }
    size_t position() const { return pos_; }

private:
    const ReposColumnDef* begin_;
    size_t pos_ = 0;
    bool afterEnd_ = false;
    bool done_ = false;
};

// One column as a table is created: the metric placeholder stands for MET_0..MET_23.
struct ReposColumnView {
    const ReposColumnDef* record;  // for MET_n, the placeholder
    const char* name;
    int32_t type;
    int32_t length;
    uint32_t flags;   // MET_n: REPOS_COL_UNLIMITED when the metric has no text length of its own
    int metric;       // n for MET_n, otherwise -1
};

// The columns of one table, from its first record up to its end record.
class ReposTableCursor {
public:
    explicit ReposTableCursor(const ReposColumnDef* first) : first_(first), record_(first) {}

    const char* table() const { return first_->table; }
    const ReposColumnDef* first() const { return first_; }
    void reset() {
        record_ = first_;
        metric_ = 0;
    }
    // False at the table's end record.
    bool next(ReposColumnView& column);
    // Columns as created (the placeholder counted as 24).
    int columnCount() const;

private:
    const ReposColumnDef* first_;
    const ReposColumnDef* record_;
    int metric_ = 0;
};

// "MET_0" .. "MET_23"; null outside 0..23.
const char* reposMetricColumnName(int metric);

// The first record of the named table (ignoring case), or null when the array has none.
const ReposColumnDef* findReposTable(ReposCatalogId id, const char* table);
// Main array first, then the NCOA array.
const ReposColumnDef* findReposTable(const char* table);
int countReposTables(ReposCatalogId id);

// The catalogue gives every table at most one key column. A table whose rows that column alone
// cannot tell apart (a big string has one row per chunk) has its key here: column names ended
// by null. Null for every other table.
const char* const* reposCompositeKey(const char* table);

#endif
