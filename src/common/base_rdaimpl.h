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
// text, which is also what getErrorMessage gives the caller.
#ifndef BASE_RDAIMPL_H
#define BASE_RDAIMPL_H

#include <cstdint>
#include <type_traits>

#include "objecttypes.h"
#include "repos_dataaccess.h"
#include "repos_typed.h"
#include "vqlog.h"

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

    // Shared by the typed classes. source is the caller's component name for the log. Each
    // failure is logged at level 5 (the general error text, or the missing connection) and
    // reported as null or false.

    // The table's qualified name on this connection (no suffix); empty without a connection.
    VqbString tableName(const char* table);
    // The object row select of a type on this connection's table, for the caller's condition.
    VqbString objectRowSelect(const ObjectTypeInfo& type);
    // Runs a select and returns its rows in memory. The values are VqbDatavar pointers, one per
    // "?" in order; a null pointer binds NULL.
    template <class... Values>
    ReposDataAccessCursor* selectRows(const char* source, int line, const VqbString& sql, Values... values) {
        return selectRowsLimited(source, line, 0, sql, values...);
    }
    // The same, keeping at most maxRows rows (0: all).
    template <class... Values>
    ReposDataAccessCursor* selectRowsLimited(const char* source, int line, unsigned maxRows, const VqbString& sql,
                                             Values... values) {
        static_assert((std::is_convertible<Values, const VqbDatavar*>::value && ...),
                      "statement parameters are VqbDatavar pointers");
        if (!checkConnection(source, line)) return nullptr;
        return cacheSelected(source, line, maxRows,
                             connection_->paramSelect(sql, static_cast<int>(sizeof...(Values)),
                                                      static_cast<const VqbDatavar*>(values)...));
    }
    // Runs a statement with parameters as above; rowsAffected may be null.
    template <class... Values>
    bool execute(const char* source, int line, const VqbString& sql, int* rowsAffected, Values... values) {
        static_assert((std::is_convertible<Values, const VqbDatavar*>::value && ...),
                      "statement parameters are VqbDatavar pointers");
        if (!checkConnection(source, line)) return false;
        if (connection_->paramExec(sql, rowsAffected, static_cast<int>(sizeof...(Values)),
                                   static_cast<const VqbDatavar*>(values)...))
            return true;
        return logFailure(source, line);
    }
    // A new row id from the id counter of the key (the table's short name).
    bool nextId(const char* source, int line, const char* key, uint32_t& id);
    // Logs the general error text at level 5; false.
    bool logFailure(const char* source, int line);
    // Logs "Repository Data Access object is null" at level 5 when there is no connection.
    bool checkConnection(const char* source, int line);

    // One transaction level of an operation, rolled back at scope end unless committed.
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

private:
    // Logged as no connection; false.
    bool noConnection(int line);
    // The rows of a select's cursor in memory; a null cursor is logged.
    ReposDataAccessCursor* cacheSelected(const char* source, int line, unsigned maxRows, ReposDataAccessCursor* live);

    ReposDataAccess* connection_;
    VqLogger* logger_;
};

#endif
