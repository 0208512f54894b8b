// Rebuilding a repository's profile results from a legacy profile result-set file: a SQLite file
// with its own table and column names, versioned by a real number (1.0 up to 2.0) in its INFO row.
// Every catalogue table is filled through one reader of the legacy table behind it, then one
// FRQDST<field> table is made per legacy frequency table.
#ifndef MOVESQLITEDATA_H
#define MOVESQLITEDATA_H

#include <cstdint>
#include <memory>
#include <vector>

#include "repos_callbacks.h"
#include "repos_held.h"
#include "vqbstring.h"
#include "vqsqlite.h"

// Above every version threshold of the readers.
constexpr double kLegacyAnyVersion = 1e9;

// One way of reading a legacy table: for files whose version is below `below`.
struct LegacySource {
    double below;
    const char* table;  // the legacy table read; null: the destination table under its own name
    const char* sql;    // null: the destination's columns by name; "": the reader makes the rows
};

// A column of a row a reader makes without a source.
struct LegacyDefaultValue {
    enum Kind { End, Integer, Text, Now };
    const char* column;
    Kind kind;
    int64_t number;
    const char* text;
};

enum class LegacyReaderKind {
    NotCopied,
    Positional,    // source column i into destination column i
    TableFilter,   // positional, and old files keep a query table's SQL as its filter expression
};

struct LegacyTableDef {
    const char* table;   // destination table
    const char* reader;  // reader name, for the log
    LegacyReaderKind kind;
    double since;        // older files have no such table
    LegacySource sources[3];                // first whose `below` exceeds the file's version
    const LegacyDefaultValue* defaultRow;   // for a source with sql ""
};

// The entry for a destination table (ignoring case); the entry of every other table for a name
// that has none.
const LegacyTableDef& findLegacyTableDef(const char* table);

// A legacy frequency table is "frqdist" (any case) followed by 1 to 18 digits, the field id.
// True with the digits in fieldId; false for any other name.
bool legacyFrequencyFieldId(const VqbString& name, VqbString* fieldId);

// Reader of one legacy table into one prepared INSERT on the destination.
class TableRead {
public:
    enum class Row { Copied, End, Failed };

    struct Setup {
        const std::vector<VqbString>* columns;  // destination columns, MET_0..MET_23 expanded
        SqliteDatabase* source;
        SqliteStatement* insert;
        double version;
    };

    TableRead(const Setup& setup, const VqbString& tag, const LegacySource* source);
    virtual ~TableRead();
    TableRead(const TableRead&) = delete;
    // finish, then the source cursor and statement, then the reader itself.
    void release();
    TableRead& operator=(const TableRead&) = delete;

    // Sets the SELECT on the legacy file (empty when the reader makes its rows); false when none
    // can be built.
    virtual bool buildQuery();
    // Binds the destination values of the current source row (or of the next made row). The
    // parameters are null on entry.
    virtual Row copyRow();
    virtual void finish() {}

    // Prepares and runs the query; false with the legacy file's reason.
    bool openSource(VqbString& error);
    bool hasSource() const { return cursor_ != nullptr; }
    // 1 a row, 0 the end, 2 a read error (its text in error).
    int nextSourceRow(VqbString& error);
    // Ends the query early; the reader can be opened again.
    void closeSource();

    const VqbString& tag() const { return tag_; }
    const VqbString& query() const { return query_; }
    // Why the last copyRow failed.
    const VqbString& error() const { return error_; }

protected:
    // Parameter i from source column j by the value's own type: null, integer, real, else text.
    bool copyColumn(int parameter, int column);
    // Source column i into parameter i for every destination column the source has.
    Row copyColumns();
    Row bindFailed();

    const std::vector<VqbString>* columns_;
    SqliteDatabase* sourceDb_;
    SqliteStatement* insert_;
    ReposHeld<SqliteStatement> sourceStatement_;
    ReposHeld<SqliteCursor> cursor_;  // ends before its statement
    double version_;
    VqbString tag_;
    VqbString query_;
    const LegacySource* source_;
    VqbString error_;
};

// The one row of REPORT, and of JOB for files without jobs.
class DefaultRowRead : public TableRead {
public:
    DefaultRowRead(const Setup& setup, const VqbString& tag, const LegacySource* source,
                   const LegacyDefaultValue* values)
        : TableRead(setup, tag, source), values_(values) {}
    Row copyRow() override;

private:
    const LegacyDefaultValue* values_;
    int rowCounter_ = 0;
};

// TBL: files below 1.8 keep the SQL of a query table (one without a name) as its filter expression.
class TR_TBL : public TableRead {
public:
    using TableRead::TableRead;
    Row copyRow() override;
};

// One legacy frequency table (tag: its legacy name) into FRQDST<field>; files below 1.9 keep
// every field's rows in the single table frqdist, keyed by fld_id.
class TR_FRQDST : public TableRead {
public:
    TR_FRQDST(const Setup& setup, const VqbString& legacyName) : TableRead(setup, legacyName, nullptr) {}
    bool buildQuery() override;
};

using TableReadHolder = ReposHeld<TableRead>;

// The reader for a catalogue table at the file's version; null when the table is not copied
// (INFO, UCURID, FOLDER, FRQDST, and tables newer than the file).
TableReadHolder createTableRead(const TableRead::Setup& setup, const char* table);

// The rebuild behind RepositoryImpl::moveSqliteData. targetPath is a SQLite repository file
// holding the catalogue tables. Progress and every statement go to callback (may be null); on
// failure error receives the reason and the result is false.
bool reposMoveSqliteData(const VqbString& sourcePath, const VqbString& targetPath,
                         RepositoryStatusCallback* callback, VqbString& error);

#endif
