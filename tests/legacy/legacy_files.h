// Legacy profile result-set files built through the SQLite C API, what each of their tables should
// become in a repository, and raw access to files for checking rows.
#ifndef LEGACY_FILES_H
#define LEGACY_FILES_H

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

#include "repos_callbacks.h"

using Value = std::optional<std::string>;  // nullopt: NULL
using Row = std::vector<Value>;
using Rows = std::vector<Row>;

// One column of a legacy table and the destination column it fills.
struct LegacyColumn {
    const char* name;    // null: no file has it, the destination only takes `absent`
    char type;           // 'i' integer, 'r' real, 't' text
    double since;        // older files lack the column
    const char* dest;
    const char* absent;  // the destination's value (as text) when the file lacks it; null: NULL
};

struct LegacyTable {
    const char* name;
    double since;
    double until;  // files from this version on no longer have it
    const char* dest;
    std::vector<LegacyColumn> columns;
};

// The legacy format's tables as the versions have them.
const std::vector<LegacyTable>& legacyTables();
bool legacyHas(const LegacyTable& table, double version);
bool legacyHas(const LegacyColumn& column, double version);

// A SQLite file opened through the C API; closed with the object.
class RawFile {
public:
    explicit RawFile(const std::string& path, bool create = false);
    ~RawFile();
    RawFile(const RawFile&) = delete;
    RawFile& operator=(const RawFile&) = delete;
    sqlite3* db() const { return db_; }
    // Runs statements; fails the test on error.
    void exec(const std::string& sql);
    // Inserts one row with the values bound in order.
    void insert(const std::string& table, const std::vector<std::string>& columns, const Row& values,
                const std::vector<char>& types);
    // Every row as text; an error fails the test and gives no rows.
    Rows rows(const std::string& sql);
    std::vector<std::string> columns(const std::string& table);
    bool hasTable(const std::string& name);
    // Rows of every table, by name.
    std::vector<std::pair<std::string, long long>> rowCounts();

private:
    sqlite3* db_ = nullptr;
};

// A legacy file of a version with every table that version has, each with three synthetic rows
// (64-bit integers, reals, texts with quotes and non-ASCII characters, NULLs).
class LegacyFile {
public:
    LegacyFile(const std::string& path, double version);
    const std::string& path() const { return path_; }
    double version() const { return version_; }
    RawFile& raw() { return raw_; }
    // The frequency rows of field `field` (value, count).
    static Row frequencyRow(int field, int row);
    // Field ids given frequency rows.
    static const std::vector<int>& frequencyFields();
    // Adds a frequency table of the per-field layout (files from 1.9 on) with two rows.
    void addFrequencyTable(const std::string& name);

private:
    void addTable(const LegacyTable& table);
    void addFrequencies();

    std::string path_;
    double version_;
    RawFile raw_;
};

// The value a synthetic column takes in a row.
Value syntheticValue(char type, int row, int column);

// What the destination table should hold after a rebuild from the file: columns (the mapped
// destination columns) and rows, sorted.
struct Expected {
    std::vector<std::string> columns;
    Rows rows;
};
Expected expectedRows(LegacyFile& file, const LegacyTable& table);

// The target's rows of the given columns, sorted.
Rows targetRows(RawFile& target, const std::string& table, const std::vector<std::string>& columns);

// Records what a rebuild shows; may stop it at a progress line.
class RecordingCallback : public RepositoryStatusCallback {
public:
    bool reportProgress(const VqbString& text) override;
    void reportMessage(const VqbString& text) override { messages.push_back(text.str()); }
    bool saw(const std::string& fragment) const;

    std::vector<std::string> progress;
    std::vector<std::string> messages;
    std::string stopAt;  // a progress line that answers false
};

#endif
