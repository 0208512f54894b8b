// Pieces the connector's drivers share; not for callers of the connector.
#ifndef DAC_IMPL_H
#define DAC_IMPL_H

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "vqbutil.h"
#include "vqdac.h"

// A connection text: key=value pairs separated by ';', a value optionally in braces where
// "}}" stands for '}'. Keys keep their spelling and compare ignoring case.
class DacConnText {
public:
    bool parse(const std::string& text, std::string& error);
    bool has(const char* key) const;
    std::string get(const char* key) const;
    void set(const char* key, const std::string& value);
    void remove(const char* key);
    // Removes every key that starts with the prefix (ignoring case).
    void removePrefix(const char* prefix);
    std::string toString() const;
    // The values of the password keys, for scrubbing error texts.
    std::vector<std::string> secrets() const;

private:
    std::vector<std::pair<std::string, std::string>> items_;
};

bool dacKeyIs(const std::string& key, const char* name);
bool dacIsPasswordKey(const std::string& key);
// Parses a whole decimal number; false for anything else.
bool dacParseInt(const std::string& text, int& out);

// Removes password values from texts that come back from a DBMS or a driver.
class DacSecrets {
public:
    DacSecrets() = default;
    explicit DacSecrets(std::vector<std::string> values);
    VqbString scrub(const VqbString& text) const;

private:
    std::vector<std::string> values_;
};

// What a driver was asked for besides its own keys.
struct DacOptions {
    int kindOverride = -1;   // VQXKIND
    int modeOverride = -1;   // VQXMODE
};
bool dacReadOptions(const DacConnText& text, DacOptions& options, std::string& error);

enum DacDialectId { DAC_DIALECT_GENERIC, DAC_DIALECT_POSTGRESQL, DAC_DIALECT_SQLITE };

struct DacDialect {
    DacDialectId id;
    const char* quote;
    // Type names by type code 1..5; %d takes the length. textUnbounded is used for texts of
    // length 0 or above maxVarchar.
    const char* typeNames[6];
    const char* textUnbounded;
    int maxVarchar;
    const char* addColumn;      // "ADD COLUMN" or "ADD"
    bool indexSchemaOnIndex;    // CREATE INDEX "s"."i" ON "t" (SQLite) or "i" ON "s"."t"
    int multiRowInsert;         // most rows of one INSERT of the bulk loader; 0: arrays instead
    int maxParameters;          // most markers of one statement
    bool columnArrays;          // the bulk loader sends a batch as one array parameter per column
};
const DacDialect* dacDialect(DacDialectId id);

// Type codes of catalogue columns.
int dacTypeCodeFromSqlType(int sqlType, int decimalDigits);
void dacTypeFromDeclared(const std::string& declared, int& typeCode, int& size);

// A cursor over rows held in memory (catalogue answers built by a driver).
class DacMemoryCursor : public DacCursor {
public:
    DacMemoryCursor(std::vector<std::string> names, std::vector<std::vector<VqbDatavar>> rows)
        : names_(std::move(names)), rows_(std::move(rows)) {}
    int fetch() override;
    int getColumnCount() override { return static_cast<int>(names_.size()); }
    VqbDatavar getValue(int column) override;
    VqbString getColumnName(int column) override;
    void close() override { delete this; }
    VqbString getErrorText() override { return VqbString(""); }

private:
    std::vector<std::string> names_;
    std::vector<std::vector<VqbDatavar>> rows_;
    size_t next_ = 0;
    bool onRow_ = false;
};
extern const char* const dacIndexStatisticsNames[13];

// The bulk loader over any connection: INSERTs built from the SELECT text.
DacBulkLoader* dacOpenBulkLoader(DacConnection* connection, const VqbString& selectText, int batchSize,
                                 const DacDialect* dialect, VqbString& error);
// Parses "SELECT a, "b" FROM s."t"" into "INSERT INTO s."t" (a, "b") VALUES " and the markers
// of one row ("?, ?").
// table (when given) receives the table as written, names (when given) the column names as a DBMS
// that folds unquoted names to lower case stores them.
bool dacBulkInsertText(const std::string& selectText, const char* quote, std::string& head, std::string& rowMarkers,
                       int& columns, std::string& error, std::string* table = nullptr,
                       std::vector<std::string>* names = nullptr);

// Drivers. Each answers a connection or null with the reason in error.
DacConnection* dacSqliteConnect(const DacConnText& text, const DacOptions& options, const DacSecrets& secrets,
                                VqbString& error);
DacConnection* dacOdbcConnect(const DacConnText& text, const DacOptions& options, const DacSecrets& secrets,
                              VqbString& error);

// DDL written for DBMS kind 14 made runnable on SQLite when the native driver reports that kind.
std::string dacRewriteKind14(const std::string& sql);

// Runs f; an allocation failure inside answers fail with the text in error.
template <class T, class F>
T dacGuarded(VqbString& error, T fail, F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        error = VqbString("out of memory");
        return fail;
    }
}

// Row values of array executions: row r, parameter i.
class DacRowValues {
public:
    bool set(int row, int index, int paramCount, const VqbDatavar& value, std::string& error);
    // Rows to run: 1 + the highest row set since the last reset, or 1 when none was set.
    int rowCount() const { return rows_ < 1 ? 1 : rows_; }
    const VqbDatavar& get(int row, int index) const;
    // Keeps row 0 only.
    void afterExecute();

private:
    std::vector<std::vector<VqbDatavar>> values_;
    int rows_ = 0;
};

#endif
