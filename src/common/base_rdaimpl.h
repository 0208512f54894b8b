// The base of every typed data-access class: the repository's connection (not owned), the logger,
// the operations every typed interface starts with, and the helpers the typed classes share.
//
// A typed class derives from BaseRDAImpl and from its interface, both of which derive virtually
// from ReposTypedDataAccess; the operations implemented here are then the ones every interface
// reaches:
//
//   class CommonRDAImpl : public BaseRDAImpl, public CommonRepositoryDataAccess { ... };
//
// Failures of the typed operations are logged at level 5 with the connection's general error
// text, which is also what getErrorMessage gives the caller. No exception leaves an operation: each
// public one catches at its outermost level (caught()), and its text is then the error text.
#ifndef BASE_RDAIMPL_H
#define BASE_RDAIMPL_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <type_traits>
#include <utility>
#include <vector>

#include "objecttypes.h"
#include "repos_dataaccess.h"
#include "repos_typed.h"
#include "vqlog.h"

// One table of a delete spread over several tables, with the column holding the key.
struct ReposKeyedTable {
    const char* table;
    const char* column;
    bool keyAsText = false;  // the column keeps the key as text
};

// A read of whole catalogue rows, one row of a constant table of reads: the rows of table whose key
// columns equal the caller's values (in this order), sorted by orderBy. The columns come in
// catalogue order, so callers read them by position.
struct ReposRowRead {
    const char* table;
    const char* keys[5];  // trailing entries null
    const char* orderBy;  // null: no order
};

// One statement of a delete that other rows outlive, one row of a constant table of steps: the
// key's rows of table go, or (repointTo other than 0) the rows naming the key in column are
// pointed at that row instead, e.g. the built-in default 1.
struct ReposDeleteStep {
    const char* table;
    const char* column;
    int repointTo = 0;
};

class BaseRDAImpl : public virtual ReposTypedDataAccess {
public:
    explicit BaseRDAImpl(ReposDataAccess* connection);

    // ReposTypedDataAccess
    bool beginTransaction(bool exclusive, bool* busy = nullptr) override;
    bool endTransaction(bool commit) override;
    VqbString getErrorMessage() override;
    void setDDLCallback(ReposDDLCallback* callback) override;
    // Forgets the connection (it belongs to the repository) and deletes the object.
    void release() override;

    // One transaction level of an operation (or of an owner's operation over this object), rolled
    // back at scope end unless committed. Such a level is opened in order to write: the outermost
    // one takes the write lock as it begins, so a read followed by a write waits for other writers
    // instead of failing; exclusive adds the serialisation of checked writes.
    class Transaction {
    public:
        explicit Transaction(BaseRDAImpl* owner, bool exclusive = false);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        bool begun() const { return open_; }
        // False when the level was not open or the commit failed (the connection rolled back).
        bool commit();
        // Ends the level early without committing.
        void rollback();

    private:
        BaseRDAImpl* owner_;
        bool open_;
    };

    // The most values one statement of the helper layer's select() or run() takes.
    static constexpr size_t kMaxValues = 40;

    VqLogger* getLogger() const { return logger_; }
    ReposDataAccess* getConnection() const { return connection_; }

    // The folder's path from the root, names joined by "/", and its own name. Folder 0 (the root)
    // gives the empty path; a negative id fails without a message; a missing folder fails with
    // message 1167 and a folder tree with a cycle with message 1257 in error.
    bool getFolderPath(int folderId, VqbString& path, VqbString& folderName, VqbString& error);

    // The rows of a live back-end cursor, at most maxRows of them (0: all), in a new in-memory
    // cursor; the live cursor is released either way. Null when live is null or its rows cannot be
    // read.
    ReposDataAccessCursor* cacheCursor(ReposDataAccessCursor* live, unsigned maxRows);

    // The object row (see ReposObjectRowColumn) of one object of a catalogue type; no row when no
    // such object exists. Null on failure; a type the catalogue does not hold sets error.
    ReposDataAccessCursor* getObjectRow(int id, const VqbString& typeName, VqbString& error);

    // The object's folder path, "/" and its name (its bare name at the root level), and its uuid
    // when it has one. False for a missing or unnamed object or an unknown type (error untouched)
    // and when the folder path cannot be built (error set by getFolderPath).
    bool getObjectPath(int id, const VqbString& typeName, VqbString& path, VqbString& uuid, VqbString& error);

protected:
    ~BaseRDAImpl() override;

    // The helper layer of the typed classes. source is the caller's component name for the log.
    // Each failure is logged at level 5 (the general error text, or the missing connection) and
    // reported as null, false or Lookup::Failed.

    // What a lookup of one row found.
    enum class Lookup { Found, Missing, Failed };

    // A statement text with its values in "?" order. Optional conditions join with " WHERE " and
    // then " AND " by a flag kept while the text grows: the text itself is never searched, since a
    // schema or prefix may hold the word.
    class Sql {
    public:
        explicit Sql(const VqbString& text, std::initializer_list<VqbDatavar> values = {});
        // "<column>=?" as the next condition.
        Sql& where(const char* column, const VqbDatavar& value);
        // The same only for a present (non-empty) text.
        Sql& whereText(const char* column, const VqbString& text);
        // "COALESCE(<column>,'')=?": a NULL column and an empty text alike, the text compared as
        // given. A present text that is not shaped like a big-string reference also gets
        // "<column>=?", which keeps exactly those rows and lets an index serve the condition.
        Sql& whereNullAsEmpty(const char* column, const VqbString& text);
        // "<column> IN (?,...)" as the next condition, the ids bound as stored (see idValue).
        Sql& whereIn(const char* column, const uint32_t* ids, size_t count);
        // A condition of the caller's own; its values follow through bind().
        Sql& condition(const char* text);
        // The value of the next "?".
        Sql& bind(const VqbDatavar& value);
        Sql& append(const char* text);
        Sql& append(const VqbString& text) { return append(text.asCstr()); }
        // The fixed text already holds its WHERE clause: every condition joins with " AND ".
        Sql& whereOpen() {
            hasWhere_ = true;
            return *this;
        }
        const VqbString& text() const { return text_; }
        const std::vector<VqbDatavar>& values() const { return values_; }
        std::vector<VqbDatavar>& values() { return values_; }

    private:
        VqbString text_;
        std::vector<VqbDatavar> values_;
        bool hasWhere_ = false;
    };

    // Runs a select and returns its rows in memory, at most maxRows of them (0: all).
    ReposDataAccessCursor* select(const char* source, int line, const Sql& sql, unsigned maxRows = 0);
    // Runs a statement; rowsAffected may be null.
    bool run(const char* source, int line, const Sql& sql, int* rowsAffected = nullptr);
    // The rows of head followed by "(?,..,?)" over values, as many values a statement as select()
    // takes; head ends in "<column> IN ". Each statement's rows go to each, which answers whether
    // to go on. False when a select failed (logged) or each stopped.
    bool selectIn(const char* source, int line, const VqbString& head, const std::vector<VqbDatavar>& values,
                  const std::function<bool(ReposDataAccessCursor*)>& each);
    // Whether the select yields a row; first (when given) takes the first row's first value.
    Lookup lookup(const char* source, int line, const Sql& sql, VqbDatavar* first = nullptr);
    // The first row's first value as an integer (a NULL reads as 0).
    Lookup lookupInt(const char* source, int line, const Sql& sql, int64_t& out);
    // Whether a COUNT(*) select counts one row or more.
    Lookup lookupCount(const char* source, int line, const Sql& sql);

    // A new id from the counter idKey, then the insert with the new id as value idPosition; id is
    // written only when the insert succeeded. An operation that commits afterwards hands its
    // caller the id only after the commit.
    bool insertKeyed(const char* source, int line, const char* idKey, Sql insert, size_t idPosition, uint32_t& id);

    using KeyedTable = ReposKeyedTable;
    // Deletes the key's rows from each table in order, in one transaction: all or none.
    bool deleteKeyed(const char* source, int line, const KeyedTable* tables, size_t count, const VqbDatavar& key);
    bool deleteKeyed(const char* source, int line, std::initializer_list<KeyedTable> tables, const VqbDatavar& key) {
        return deleteKeyed(source, line, tables.begin(), tables.size(), key);
    }

    // "SELECT <the catalogue columns> FROM <qualified table>": callers read the row by position.
    VqbString rowSelect(const char* table);
    using RowRead = ReposRowRead;
    // The rows of a whole-row read, at most maxRows of them (0: all); one value per key column.
    ReposDataAccessCursor* readRows(const char* source, int line, const RowRead& read,
                                    std::initializer_list<VqbDatavar> keyValues, unsigned maxRows = 0);

    // "<verb> <qualified table><rest>", e.g. onTable("DELETE FROM", "GCRUL", " WHERE GC_ID=?").
    VqbString onTable(const char* verb, const char* table, const char* rest = "");

    // Ids of one IN list: SQLite limits the values of a statement and the depth of an expression.
    // More values than the parameterised calls take: such a list goes through a prepared statement.
    static constexpr size_t kIdsPerList = 500;
    // A 32-bit id as stored: signed, so the "none" id 0xFFFFFFFF is kept as -1.
    static VqbDatavar idValue(uint32_t id) { return VqbDatavar(static_cast<int32_t>(id)); }
    // The position of a result column, its name compared ignoring case; -1 when there is none.
    static int columnIndex(ReposDataAccessCursor* cursor, const char* name);

    // The columns of a lookup by id, uuid or name; uuid null for a table without one.
    struct KeyColumns {
        const char* table;
        const char* id;
        const char* uuid;
        const char* name;
    };
    // The whole rows of the object found by id (when >= 1), else by uuid, else by name; a lookup
    // by id or uuid that fails falls back on the name. Null when no key is given.
    ReposDataAccessCursor* findByKey(const char* source, int line, const KeyColumns& columns, int id,
                                     const VqbString& name, const VqbString& uuid);

    // A check and the write that depends on it, in one exclusive transaction of their own (nested
    // in the caller's when there is one), so that concurrent writers cannot both pass the check.
    // checkAndWrite answers whether to commit; false rolls the level back.
    template <class F>
    bool exclusively(const char* source, int line, F&& checkAndWrite) {
        if (!checkConnection(source, line)) return false;
        Transaction transaction(this, true);
        if (!transaction.begun()) return logFailure(source, line);
        if (!checkAndWrite()) return false;
        if (!transaction.commit()) return logFailure(source, line);
        return true;
    }

    // The handler of an entry point's function-try-block: records the caught exception as the
    // object's error text, logs it at level 5 and gives the operation's failure value.
    //   bool X::op(...) try { ... } catch (...) { return caught(__LINE__, false); }
    template <class T>
    T caught(int line, T failure) noexcept {
        recordCaught(line);
        return failure;
    }
    void caught(int line) noexcept { recordCaught(line); }

    // The table's qualified name on this connection (no suffix); empty without a connection.
    VqbString tableName(const char* table);
    // The object row select of a type on this connection's table, for the caller's condition.
    VqbString objectRowSelect(const ObjectTypeInfo& type);
    // Conveniences over select() and run(): the values are VqbDatavar pointers, one per "?" in
    // order; a null pointer binds NULL.
    template <class... Values>
    ReposDataAccessCursor* selectRows(const char* source, int line, const VqbString& sql, Values... values) {
        return select(source, line, pointed(sql, values...));
    }
    template <class... Values>
    ReposDataAccessCursor* selectRowsLimited(const char* source, int line, unsigned maxRows, const VqbString& sql,
                                             Values... values) {
        return select(source, line, pointed(sql, values...), maxRows);
    }
    template <class... Values>
    bool execute(const char* source, int line, const VqbString& sql, int* rowsAffected, Values... values) {
        return run(source, line, pointed(sql, values...), rowsAffected);
    }
    // A new row id from the id counter of the key (the table's short name).
    bool nextId(const char* source, int line, const char* key, uint32_t& id);
    // Logs the general error text at level 5 unless the connection logged the failure; false.
    bool logFailure(const char* source, int line);
    // A failure's text (a statement's, or the general text with what was being done) at level 5
    // unless the connection logged the failure; false.
    bool logFailure(const char* source, int line, const VqbString& text);
    // Logs "Repository Data Access object is null" at level 5 when there is no connection.
    bool checkConnection(const char* source, int line);
    // Logs a refusal (a catalogue message) at level 5; false.
    bool refuse(const char* source, int line, const VqbString& message);

    // A statement text with the qualified names of tables in place of its "%s" (or "%S"), in
    // order; "%%" stands for a percent sign.
    VqbString onTables(const char* format, std::initializer_list<const char*> tables);
    // insertKeyed for an out id the caller may leave null.
    bool insertKeyed(const char* source, int line, const char* idKey, Sql insert, size_t idPosition, uint32_t* id) {
        uint32_t newId = 0;
        if (!insertKeyed(source, line, idKey, std::move(insert), idPosition, newId)) return false;
        if (id) *id = newId;
        return true;
    }
    // A one-character code (a kind or type) as stored: a text of that character, empty for 0.
    static VqbDatavar charValue(char code) { return code ? VqbDatavar(VqbString(&code, 1)) : VqbDatavar(""); }

    // An update of only the fields given, in the order they are set, joined by a flag kept while
    // the list grows; the key conditions follow through where() on statement(). Stamps (the
    // modification date, the editing user) are set with counts false: they alone are no change.
    class PartialUpdate {
    public:
        explicit PartialUpdate(const VqbString& head);  // "UPDATE <qualified table>"
        PartialUpdate& set(const char* column, const VqbDatavar& value, bool counts = true);
        PartialUpdate& setIf(bool given, const char* column, const VqbDatavar& value, bool counts = true) {
            return given ? set(column, value, counts) : *this;
        }
        // Whether a field other than a stamp was given.
        bool changes() const { return changes_; }
        Sql statement() const;

    private:
        VqbString text_;
        std::vector<VqbDatavar> values_;
        bool changes_ = false;
    };
    PartialUpdate partialUpdate(const char* table) { return PartialUpdate(onTable("UPDATE", table)); }

    using DeleteStep = ReposDeleteStep;
    // Runs the steps in order with the key, in one transaction: all or none. A guard runs first in
    // the same transaction, which is then exclusive so that its check holds until the commit;
    // false from it leaves everything as it was.
    bool deleteInSteps(const char* source, int line, const DeleteStep* steps, size_t count, const VqbDatavar& key,
                       const std::function<bool()>& guard = nullptr);

    // ---- prepared statements with declared values
    // How one value of a Sql is declared to its statement, in the order of the values: type code
    // (2 integer, 3 real, which dates are, 4 text) and size (a text's width, else 0).
    struct ValueInfo {
        int type;
        int size;
    };
    // The statement prepared, its values declared and bound in order and run as a query; the rows
    // come in memory. The statement is released as soon as the cursor holds what it ran, and on
    // every failure; its own error text is logged when it fails.
    // Values past the end of info are declared by their own type (texts 255 wide).
    ReposDataAccessCursor* selectPrepared(const char* source, int line, const Sql& sql,
                                          const std::vector<ValueInfo>& info);
    // A write on a statement of its own: unlike run(), it is refused, not written to the script,
    // while a DDL callback is set on the connector, which hands out no statement then.
    bool runPrepared(const char* source, int line, const Sql& sql, const std::vector<ValueInfo>& info = {});
    // The statement prepared with its values declared and bound; null, logged, when it cannot be.
    ReposDataAccessStatement* prepareDeclared(const char* source, int line, const Sql& sql,
                                              const std::vector<ValueInfo>& info);

    // An IN list of count markers: "(?,?,...)".
    static VqbString markerList(size_t count);
    // The statement head + an IN list + tail for each chunk of the values, as many as a statement
    // takes after the fixed values, which are bound first; each statement goes to
    // runChunk(const Sql&), false stops. One statement serves many keys.
    template <class F>
    static bool inChunks(const VqbString& head, const char* tail, const std::vector<VqbDatavar>& fixed,
                         const std::vector<VqbDatavar>& values, F&& runChunk) {
        const size_t chunk = fixed.size() < kMaxValues ? kMaxValues - fixed.size() : 1;
        for (size_t at = 0; at < values.size(); at += chunk) {
            const size_t n = values.size() - at < chunk ? values.size() - at : chunk;
            Sql sql(head + markerList(n) + VqbString(tail));
            for (const VqbDatavar& value : fixed) sql.bind(value);
            for (size_t i = at; i < at + n; ++i) sql.bind(values[i]);
            if (!runChunk(static_cast<const Sql&>(sql))) return false;
        }
        return true;
    }

    // count new ids from the counter of the key in one reservation: first, first + 1, ...
    bool nextIds(const char* source, int line, const char* key, int count, uint32_t& first);

    // A whole number of the configuration's default section, read anew on every call: false (out
    // untouched) when the options are unavailable, the key is absent or its value is no whole number.
    static bool configNumber(const char* key, int64_t& out);

    // selectPrepared without the copy: the rows are fetched as the caller advances the cursor.
    ReposDataAccessCursor* selectLive(const char* source, int line, const Sql& sql,
                                      const std::vector<ValueInfo>& info = {});

private:
    static constexpr int kDeclaredTextWidth = 255;
    static ValueInfo ownInfo(const VqbDatavar& value);
    // Whether a prepared statement's values must go through the parameterised calls instead.
    bool needsParamPath(const Sql& sql);
    // The statement with each NULL value typed as declared.
    static Sql typedNulls(const Sql& sql, const std::vector<ValueInfo>& info);
    template <class... Values>
    static Sql pointed(const VqbString& sql, Values... values) {
        static_assert((std::is_convertible<Values, const VqbDatavar*>::value && ...),
                      "statement parameters are VqbDatavar pointers");
        Sql statement(sql);
        const VqbDatavar* given[] = {static_cast<const VqbDatavar*>(values)..., nullptr};
        for (size_t i = 0; i < sizeof...(Values); ++i) statement.bind(given[i] ? *given[i] : VqbDatavar());
        return statement;
    }
    // The connection's levels for the operations' own transactions: an exception reaches the
    // operation's handler rather than the transaction entry's.
    // write: a level of the object's own operation (see Transaction), not the host's.
    bool beginLevel(bool exclusive, bool write, bool* busy);
    bool endLevel(bool commit);
    // Logged as no connection; false.
    bool noConnection(int line);
    void recordCaught(int line) noexcept;

    ReposDataAccess* connection_;
    VqLogger* logger_;
    // The text of an exception caught at an entry point, until the next statement; fixed storage
    // so that recording it needs no allocation.
    char caughtText_[256] = {};
    // The connection's count of logged failures when the current statement began.
    unsigned failuresAtStart_ = 0;
};

#endif
