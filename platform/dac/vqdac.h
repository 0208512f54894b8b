// The data-access connector: data sources, connections, statements, cursors, the table
// builder, index statistics and the bulk loader. Two drivers stand behind it:
//   - native SQLite: connection texts with VQXTYPE=SQLITE and FILE=<path> (CREATE=TRUE makes
//     a missing file; without it a missing file fails);
//   - ODBC (unixODBC): every other text, handed to the driver manager without our own keys.
// Keys of ours (names ignore case): VQXTYPE (SQLITE or ODBC), FILE, CREATE (native driver),
// VQXKIND=<n> (report DBMS kind n instead of the driver's own), VQXMODE=<n> (report
// connection mode n). Every VQX... key is removed before an ODBC driver sees the text.
//
// Parameter and column positions count from 0. Objects end with their own operation
// (release, close or destroy), never delete. Failures answer false, null or 2 (fetch) with the
// text in that object's getErrorText(); passwords never appear in any text of the connector.
#ifndef VQ_DAC_H
#define VQ_DAC_H

#include <memory>
#include <vector>

#include "vqbdatavar.h"
#include "vqbstring.h"

// DBMS kinds (DacConnection::getDbmsKind). Kinds the connector does not know answer 0.
enum DacDbmsKind {
    DAC_DBMS_GENERIC = 0,
    DAC_DBMS_POSTGRESQL = 17,
    DAC_DBMS_SQLITE = 21,
};

// DacConnection::getInfo ids.
enum DacInfoId {
    DAC_INFO_DBMS_NAME = 2,          // text
    DAC_INFO_MAX_IDENTIFIER = 5,     // integer, 0 when unlimited
    DAC_INFO_MAX_CHAR_LENGTH = 6,    // integer: longest VARCHAR column the DBMS takes
    DAC_INFO_STATEMENT_MODE = 12,    // integer: 1 when only one statement may be active
    DAC_INFO_DATABASE_FILE = 16,     // text: the file of an embedded database, as the connection text named it
};

// DacConnection::getConnectionMode answers.
enum DacConnectionMode {
    DAC_MODE_PLAIN = 1,      // statements only
    DAC_MODE_BULK = 2,       // the bulk loader is offered
    DAC_MODE_EMBEDDED = 3,   // an in-process file database: rows go one at a time
};

// DacCursor::fetch answers.
enum DacFetchResult {
    DAC_FETCH_ROW = 0,
    DAC_FETCH_END = 1,
    DAC_FETCH_ERROR = 2,
};

// Column positions of DacConnection::openIndexStatistics rows.
enum DacIndexStatisticsColumn {
    DAC_STAT_TABLE_CAT = 0,
    DAC_STAT_TABLE_SCHEM = 1,
    DAC_STAT_TABLE_NAME = 2,
    DAC_STAT_NON_UNIQUE = 3,
    DAC_STAT_INDEX_QUALIFIER = 4,
    DAC_STAT_INDEX_NAME = 5,
    DAC_STAT_TYPE = 6,          // 0 table statistics row, otherwise an index column
    DAC_STAT_ORDINAL = 7,
    DAC_STAT_COLUMN_NAME = 8,
    DAC_STAT_ASC_OR_DESC = 9,
    DAC_STAT_CARDINALITY = 10,
    DAC_STAT_PAGES = 11,
    DAC_STAT_FILTER = 12,
};

class DacCursor {
protected:
    virtual ~DacCursor() = default;

public:
    // DAC_FETCH_ROW, DAC_FETCH_END or DAC_FETCH_ERROR.
    virtual int fetch() = 0;
    virtual int getColumnCount() = 0;
    // A value of the current row: null outside a row or the columns. Texts come whole.
    virtual VqbDatavar getValue(int column) = 0;
    virtual VqbString getColumnName(int column) = 0;
    virtual void close() = 0;
    virtual VqbString getErrorText() = 0;
};

class DacStatement {
protected:
    virtual ~DacStatement() = default;

public:
    virtual void release() = 0;
    virtual VqbString getErrorText() = 0;
    // Declares the type code (1..5) and length of a parameter; the type is what a null value
    // of that parameter is sent as.
    virtual bool declareParameter(int index, int type, int length, int flags) = 0;
    virtual bool bindValue(int index, const VqbDatavar& value) = 0;
    // A value of one row of an array-bound execution. execute() runs rows 0..n-1 where n-1 is
    // the highest row set since the previous execute; unset values are null. Afterwards only
    // row 0 keeps its values, so a statement executed again without new values repeats it.
    virtual bool setValue(int row, int index, const VqbDatavar& value) = 0;
    // Runs the statement; rows (when given) receives the rows changed, summed over the rows
    // of an array. An array is written whole or not at all.
    virtual bool execute(int* rows) = 0;
    // Runs a query (row 0 only). The cursor may outlive the statement.
    virtual DacCursor* openCursor() = 0;
};

class DacBulkLoader {
protected:
    virtual ~DacBulkLoader() = default;

public:
    virtual int getColumnCount() = 0;
    // A value of the row being built, by column position.
    virtual bool setValue(int column, const VqbDatavar& value) = 0;
    // Queues the row; every column must have been given a value since the previous row,
    // else the row is refused and the load stays open. A full batch is written at once.
    virtual bool addRow() = 0;
    // Writes the queued rows.
    virtual bool flush() = 0;
    // Ends the load; queued rows that were not flushed are dropped.
    virtual void close() = 0;
    virtual VqbString getErrorText() = 0;
};

// One column of a table description. The builder writes typeText in its DDL; a caller may
// replace it (identity columns, case-specific texts).
struct DacColumn {
    VqbString name;
    int typeCode = 0;         // 1 boolean, 2 integer, 3 real, 4 text, 5 date
    int size = 0;             // text length; 0 for other types and unbounded texts
    VqbString typeText;       // the DBMS's type text
    bool indexMark = false;
    bool primaryKey = false;
    bool notNull = false;
    bool compositeMember = false;
};

struct DacDialect;

// A table description that writes the DDL of its DBMS: quoted table, schema and index names,
// column names bare when they are plain identifiers and quoted otherwise, the DBMS's own type
// names. Obtained from DacConnection::openTable (an existing table, or three empty texts for
// a new one). Texts that cannot be made (a position out of range) are null.
class DacTable {
public:
    void release();
    void setName(const VqbString& name) { name_ = name; }
    VqbString getName() const { return name_; }
    void setSchema(const VqbString& schema) { schema_ = schema; }
    VqbString getSchema() const { return schema_; }

    int getColumnCount() const { return static_cast<int>(columns_.size()); }
    DacColumn* getColumn(int i);
    VqbString getColumnTypeText(int i);
    // Adds a column (type 1..5, length for texts); null for an empty name or a bad type. On a
    // table read from the catalogue the column counts as added (getAddColumnText).
    DacColumn* addColumn(const VqbString& name, int type, int length);

    VqbString getCreateTableText();
    VqbString getDropTableText();
    int getMarkedColumnCount() const;
    // The index on the i-th column whose index mark is set (in column order).
    VqbString getCreateIndexText(int i, const VqbString& indexName);
    // i -1 names the index over the composite members; the text is the same for any i.
    VqbString getDropIndexText(int i, const VqbString& indexName);
    VqbString getCreateCompositeIndexText(const VqbString& indexName);
    // An index over elements as the caller writes them, in its order: column references and
    // expressions (a column folded to lower case).
    VqbString getCreateIndexTextOver(const VqbString& indexName, const VqbString& elements);
    int getAddedColumnCount() const { return static_cast<int>(added_.size()); }
    // ALTER TABLE for the i-th added column. It carries no NOT NULL: rows already in the table
    // have no value for it.
    VqbString getAddColumnText(int i);

    // For the drivers.
    DacTable(const DacDialect* dialect, bool existing);
    void addCatalogueColumn(const DacColumn& column);

private:
    ~DacTable() = default;
    VqbString tableRef() const;
    VqbString columnRef(const VqbString& name) const;
    VqbString indexOn(const VqbString& indexName, const VqbString& columnList) const;
    const DacColumn* markedColumn(int i) const;

    const DacDialect* dialect_;
    bool existing_;
    VqbString name_;
    VqbString schema_;
    std::vector<std::unique_ptr<DacColumn>> columns_;
    std::vector<size_t> added_;
};

class DacConnection {
protected:
    virtual ~DacConnection() = default;

public:
    // Ends the object; an open transaction is rolled back.
    virtual void close() = 0;
    virtual VqbString getErrorText() = 0;
    // Empty when the DBMS has none.
    virtual VqbString getIdentifierQuote() = 0;
    virtual int getDbmsKind() = 0;
    // DAC_INFO_... values; false for ids the connector does not answer.
    virtual bool getInfo(int id, VqbDatavar& out) = 0;
    virtual bool executeDirect(const VqbString& sql, int flags) = 0;
    virtual DacCursor* openCursorDirect(const VqbString& sql) = 0;
    virtual DacStatement* prepare(const VqbString& sql) = 0;
    // A statement meant for arrays of rows (DacStatement::setValue with rows above 0).
    virtual DacStatement* prepareBatch(const VqbString& sql) = 0;
    // One level only: a begin while a transaction is open fails.
    virtual bool beginTransaction() = 0;
    // A begin that also takes, until the transaction ends, the lock that serialises the
    // exclusive writers of resource (one repository of this database), waiting for it as long
    // as SQLite files wait (sqliteBusyTimeout). A wait that runs out sets busy (when given) and
    // leaves no transaction open. A SQLite file is locked whole; a DBMS without such a lock
    // begins a plain transaction.
    virtual bool beginExclusiveTransaction(const VqbString& resource, bool* busy) = 0;
    virtual bool endTransaction(bool commit) = 0;
    virtual bool isInTransaction() = 0;
    // Whether the DBMS ended the open transaction by itself (SQLite rolls back after some
    // failures); endTransaction still has to close it here.
    virtual bool isTransactionLost() = 0;
    // An existing table (null with an empty error text when there is none), or, with three
    // empty texts, a new empty description. Names are exact names, not patterns.
    virtual DacTable* openTable(const VqbString& table, const VqbString& schema, const VqbString& catalog) = 0;
    // selectText: SELECT <columns> FROM <table>, identifiers bare or quoted, the table
    // optionally qualified. Rows go in batches of batchSize (100 when below 1).
    virtual DacBulkLoader* openBulkLoader(const VqbString& selectText, int batchSize) = 0;
    // One row per index column (see DacIndexStatisticsColumn). unique 0: unique indexes only,
    // 1: all. accuracy is accepted and ignored.
    virtual DacCursor* openIndexStatistics(int unique, int accuracy, const VqbString& table,
                                           const VqbString& schema, const VqbString& catalog) = 0;
    // DAC_MODE_... of this connection.
    virtual int getConnectionMode() = 0;
    // Notes that the connection was handed to a host; answers how often.
    virtual int handOut() = 0;
    virtual bool setCatalog(const VqbString& catalog) = 0;
    // Whether the link to the DBMS was lost (the connection is then only fit to be closed).
    virtual bool isBroken() = 0;
};

class DacDataSource {
protected:
    virtual ~DacDataSource() = default;

public:
    // Checks a connection text and fills info, the text openConnection takes. info never
    // holds a password: the data source keeps that itself.
    virtual bool configure(const VqbString& connectionText, VqbString& info, int flags, int reserved) = 0;
    // A connection from configure's info (or from a connection text). Connections outlive
    // the data source.
    virtual DacConnection* openConnection(const VqbString& info, int flags, int reserved) = 0;
    virtual VqbString getErrorText() = 0;
    virtual void destroy() = 0;
};

DacDataSource* dacCreateDataSource(int flags);

// The text with the values of PWD= and PASSWORD= replaced by ***, for logs and messages.
VqbString dacMaskConnectionText(const VqbString& text);

#endif
