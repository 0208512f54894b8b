// Work tables FRQDST<n>, HSM<n> and HCM<n>: the highest ids, dropping, copying one from another
// repository, export to one XML file per table and import of such a file; and the row copy that
// the administrator's repository copy shares.
#include <cctype>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "np_fio.h"
#include "rda_impl.h"
#include "repos_reasons.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqbutil.h"
#include "vqdac.h"
#include "vqdom.h"

namespace {

const char kSource[] = "repositoryimpl";

const char* const kWorkTableFamilies[] = {"FRQDST", "HSM", "HCM"};

// The table's columns; none for a table that is not there. False when they cannot be read.
bool readColumns(ReposDataAccess* db, const VqbString& table, ColumnSpecList& columns) {
    columns.clear();
    return db->getTableColumns(table, &columns) > 0 || db->getLastErrorMessage().isEmpty();
}

VqbString nameOf(const ColumnSpec& column) {
    return VqbString(std::string(column.name, strnlen(column.name, sizeof column.name)));
}

// Column names are pasted as the connection reports them, quoted, so a name that the DBMS keeps
// in another case or that holds other characters still names its column.
VqbString quotedName(ReposDataAccess* db, const VqbString& name) {
    return vqbQuoteIdentifier(name, db->getIdentifierQuote());
}

VqbString columnList(ReposDataAccess* db, const ColumnSpecList& columns) {
    VqbString list("");
    for (const ColumnSpec& column : columns) {
        if (!list.isEmpty()) list.append(",");
        list.append(quotedName(db, nameOf(column)));
    }
    return list;
}

VqbString parameterMarks(size_t count) {
    std::string marks;
    for (size_t i = 0; i < count; ++i) marks.append(i ? ",?" : "?");
    return VqbString(std::move(marks));
}

// A number read from a loosely typed source column goes to a text parameter as its text, so a
// server that types its parameters does not refuse it.
VqbDatavar forParameter(VqbDatavar value, int type) {
    if (type == VQB_TYPE_STRING && (value.getType() == VQB_TYPE_INT || value.getType() == VQB_TYPE_REAL))
        return VqbDatavar(value.asString());
    return value;
}

// Names from a table file are pasted into statements: letters, digits and underscores only.
bool isIdentifier(const VqbString& name) {
    return name.str().size() <= 128 && vqbIsPlainIdentifier(name.str());
}

// FRQDST, HSM or HCM followed by a decimal number that fits a table number.
bool isWorkTableName(const VqbString& name) {
    const std::string& text = name.str();
    for (const char* family : kWorkTableFamilies) {
        size_t length = std::strlen(family);
        if (text.compare(0, length, family) != 0) continue;
        std::string digits = text.substr(length);
        // The number as the library writes it: with a leading zero the table would be one that
        // nothing looks up by its number.
        if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && digits.size() > 1)) return false;
        for (char c : digits)
            if (c < '0' || c > '9') return false;
        return std::stoll(digits) <= INT_MAX;
    }
    return false;
}

// A table file read and checked whole before anything in the database changes.
struct TableFile {
    VqbString table;
    ColumnSpecList columns;
    std::vector<std::vector<VqbDatavar>> rows;
    std::vector<std::pair<VqbString, VqbString>> indexes;  // name, field
};

// An index that cannot be made costs speed, not data: it is reported and the copy goes on.
void warnIndexes(RepositoryStatusCallback* status, VqLogger* logger, const VqbString& table, const VqbString& reason) {
    status->reportMessage(reason);
    reposLog(logger, 4, kSource, __LINE__, "Indexes of %s: %s", table.asCstr(), reason.asCstr());
}

bool badName(const VqbString& name, VqbString& error) {
    error = reposMessage(1396, name.asCstr());
    return false;
}

bool readFields(VqDomNode fields, TableFile& file, VqbString& error) {
    for (VqDomNode field = fields.getFirstChild(); !field.null(); field = field.getNextSibling()) {
        if (field.getName() != VqbString("field")) return badName(field.getName(), error);
        VqbString name = field.getAttributeValue("name");
        if (!isIdentifier(name)) return badName(name, error);
        for (const ColumnSpec& seen : file.columns)
            if (nameOf(seen).equals(name, false)) return badName(name, error);
        VqbString typeName = field.getAttributeValue("type");
        int type = vqbTypeFromString(typeName.asCstr());
        if (type < VQB_TYPE_BOOL || type > VQB_TYPE_DATE) return badName(typeName, error);
        int size = 0;
        if (type == VQB_TYPE_STRING) {
            bool bad = false;
            size = field.getAttributeValue("len").asInt(&bad);
            if (bad || size < 0) return badName(field.getAttributeValue("len"), error);
        }
        ColumnSpec column{};
        std::memcpy(column.name, name.asCstr(), name.cStrSize());
        column.type = type;
        column.size = size;
        file.columns.push_back(column);
    }
    if (file.columns.empty()) {
        error = reposMessage(1395, "field");
        return false;
    }
    return true;
}

// The value a file's text gives a field of the type; false when the text is no such value.
bool parseValue(const VqbString& text, int type, VqbDatavar& value) {
    bool bad = false;
    switch (type) {
        case VQB_TYPE_BOOL:
            value = VqbDatavar::fromBool(text.asBool(&bad));
            break;
        case VQB_TYPE_INT:
            value = VqbDatavar(static_cast<long long>(text.asInt64(&bad)));
            break;
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            value = VqbDatavar(text.asDouble(&bad));
            value.setType(type);
            break;
        default:
            value = VqbDatavar(text);
            break;
    }
    return !bad;
}

// Whether a field of the type brings the value's text back unchanged: "007" or "1" read as a
// number or a truth value would come back as "7" or "true".
bool carries(int type, const VqbString& text) {
    VqbDatavar parsed;
    return type == VQB_TYPE_STRING || (parseValue(text, type, parsed) && parsed.asString() == text);
}

// The next type that may carry what a narrower one did not; texts carry everything.
int widerType(int type) { return type == VQB_TYPE_INT ? VQB_TYPE_REAL : VQB_TYPE_STRING; }

bool readValue(VqDomNode node, const ColumnSpec& column, int row, VqbDatavar& value, VqbString& error) {
    if (node.getName() != VqbString("value")) return badName(node.getName(), error);
    VqbString isNull = node.getAttributeValue("is_null");
    if (isNull == VqbString("1")) {
        value = VqbDatavar();
        return true;
    }
    if (!isNull.isEmpty() && isNull != VqbString("0")) return badName(isNull, error);
    VqbString text = node.getValue();
    VqbString encoding = node.getAttributeValue("encoding");
    if (encoding == VqbString("base64")) {
        std::string decoded;
        if (!vqbBase64Decode(text.str(), decoded)) return badName(text.left(64), error);
        text = VqbString(std::move(decoded));
    } else if (!encoding.isEmpty()) {
        return badName(encoding, error);
    }
    if (parseValue(text, column.type, value)) return true;
    error = reposMessage(1964, text.left(64).asCstr(), column.name, row, vqbTypeToString(column.type));
    return false;
}

bool readRows(VqDomNode data, TableFile& file, VqbString& error) {
    int rowNumber = 0;
    for (VqDomNode row = data.getFirstChild(); !row.null(); row = row.getNextSibling()) {
        ++rowNumber;
        if (row.getName() != VqbString("row")) return badName(row.getName(), error);
        std::vector<VqbDatavar> values;
        values.reserve(file.columns.size());
        for (VqDomNode node = row.getFirstChild(); !node.null(); node = node.getNextSibling()) {
            if (values.size() == file.columns.size()) {
                values.emplace_back();
                break;
            }
            VqbDatavar value;
            if (!readValue(node, file.columns[values.size()], rowNumber, value, error)) return false;
            values.push_back(std::move(value));
        }
        if (values.size() != file.columns.size()) {
            int given = 0;
            for (VqDomNode node = row.getFirstChild(); !node.null(); node = node.getNextSibling()) ++given;
            error = reposMessage(1963, rowNumber, given, static_cast<int>(file.columns.size()));
            return false;
        }
        file.rows.push_back(std::move(values));
    }
    return true;
}

bool readIndexes(VqDomNode indexes, TableFile& file, VqbString& error) {
    for (VqDomNode index = indexes.getFirstChild(); !index.null(); index = index.getNextSibling()) {
        if (index.getName() != VqbString("index")) return badName(index.getName(), error);
        VqbString name = index.getAttributeValue("name");
        if (!isIdentifier(name)) return badName(name, error);
        VqbString field = index.getAttributeValue("field");
        bool known = false;
        for (const ColumnSpec& column : file.columns) known = known || nameOf(column).equals(field, false);
        if (!known) return badName(field, error);
        file.indexes.emplace_back(name, field);
    }
    return true;
}

bool readTableFile(const VqDom& dom, TableFile& file, VqbString& error) {
    VqDomNode root = dom.getRoot();
    if (root.getName() != VqbString("vqTable")) return badName(root.getName(), error);
    VqDomNode tableName, fields, data, indexes;
    for (VqDomNode child = root.getFirstChild(); !child.null(); child = child.getNextSibling()) {
        VqbString name = child.getName();
        if (name == VqbString("table_name"))
            tableName = child;
        else if (name == VqbString("fields"))
            fields = child;
        else if (name == VqbString("data"))
            data = child;
        else if (name == VqbString("indexes"))
            indexes = child;
    }
    if (tableName.null()) {
        error = reposMessage(1395, "table_name");
        return false;
    }
    file.table = tableName.getValue();
    if (!isWorkTableName(file.table)) return badName(file.table, error);
    if (fields.null()) {
        error = reposMessage(1395, "fields");
        return false;
    }
    return readFields(fields, file, error) && readRows(data, file, error) && readIndexes(indexes, file, error);
}

}  // namespace

bool reposCopyRows(ReposDataAccess* source, ReposDataAccess* target, const ReposRowCopy& copy,
                   RepositoryStatusCallback* status, VqbString& error, long long* rows) {
    status->reportMessage(copy.select);
    ReposHeld<ReposDataAccessCursor> cursor(source->paramSelect(copy.select, 0));
    if (!cursor) {
        error = reposMessage(1311, copy.select.asCstr(), reposConnectionReason(source).asCstr());
        return false;
    }
    status->reportMessage(copy.insert);
    ReposHeld<ReposDataAccessStatement> statement(target->createStatement(copy.insert));
    if (!statement) {
        error = reposMessage(1312, copy.insert.asCstr(), reposConnectionReason(target).asCstr());
        return false;
    }
    const int columns = static_cast<int>(copy.params.size());
    for (int i = 0; i < columns; ++i) {
        if (!statement->setParameterInfo(i, copy.params[i].first, copy.params[i].second)) {
            error = reposMessage(1312, copy.insert.asCstr(), reposStatementReason(statement.get(), target).asCstr());
            return false;
        }
    }
    if (cursor->getNumCols() != columns) {
        error = reposMessage(1311, copy.select.asCstr(), reposMessage(1055, copy.table.asCstr()).asCstr());
        return false;
    }

    // One transaction per table: one write to the disk for all rows instead of one per row, and a
    // failure leaves the target's table as it was.
    if (!target->beginTransaction(false)) {
        error = reposConnectionReason(target);
        return false;
    }
    auto abort = [&](const VqbString& text) {
        error = text;
        status->reportMessage(text);
        statement.reset();
        cursor.reset();
        target->endTransaction(false);
        return false;
    };
    status->reportMessage(copy.remove);
    if (!target->paramExec(copy.remove, nullptr, 0))
        return abort(reposMessage(1311, copy.remove.asCstr(), reposConnectionReason(target).asCstr()));
    long long count = 0;
    int state;
    while ((state = cursor->next()) == 1) {
        for (int i = 0; i < columns; ++i) {
            // A text read back whole that looks like a reference must not become one in the target.
            VqbDatavar value = forParameter(cursor->getValue(i), copy.params[i].first);
            if (!RDA_BigString::keepOwnText(target, value) || !statement->setParameter(i, value))
                return abort(reposMessage(1921, copy.table.asCstr(), reposStatementReason(statement.get(), target).asCstr()));
        }
        if (!statement->execute())
            return abort(reposMessage(1921, copy.table.asCstr(), reposStatementReason(statement.get(), target).asCstr()));
        ++count;
    }
    if (state == 2) return abort(reposMessage(1311, copy.select.asCstr(), reposConnectionReason(source).asCstr()));
    statement.reset();
    cursor.reset();
    if (!target->endTransaction(true)) {
        error = reposConnectionReason(target);
        return false;
    }
    status->reportMessage(VqbString::format("Inserted: %lld rows", count));
    if (rows) *rows = count;
    return true;
}

// ---- highest ids, drops and copies

int RepositoryImpl::getMaxMetricSetId() {
    int highest = 0;
    if (!connection_ || !connection_->paramSingletonInt("SELECT MAX(HGM_ID) FROM " + table("HGMETA"), &highest, 0))
        return -1;
    return highest;
}

int RepositoryImpl::getMaxFieldId() {
    int highest = 0;
    if (!connection_ || !connection_->paramSingletonInt("SELECT MAX(FLD_ID) FROM " + table("FLD"), &highest, 0))
        return -1;
    return highest;
}

bool RepositoryImpl::listWorkTables(std::vector<VqbString>& names) {
    names.clear();
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    const VqbString prefix = connection_->getTableName("", false, -1);
    // The prefix is matched literally: its "_" would otherwise also match another repository's
    // prefix in the same schema.
    std::string pattern;
    for (char c : prefix.str()) {
        if (c == '\\' || c == '%' || c == '_') pattern += '\\';
        pattern += c;
    }
    pattern += '%';
    const bool file = isFileDatabase();
    VqbString schema = connection_->getSchemaName();
    VqbString sql;
    if (file) {
        VqbString master("sqlite_master");
        if (!schema.isEmpty()) master = quotedName(connection_.get(), schema) + "." + master;
        sql = "SELECT name FROM " + master + " WHERE type='table' AND name LIKE ? ESCAPE '\\'";
    } else {
        sql = VqbString("SELECT table_name FROM information_schema.tables WHERE table_type='BASE TABLE' AND "
                        "table_name LIKE ? ESCAPE '\\' AND table_schema=") +
              (schema.isEmpty() ? VqbString("CURRENT_SCHEMA") : VqbString("?"));
    }
    VqbDatavar like{VqbString(pattern)}, inSchema(schema);
    const int values = schema.isEmpty() || file ? 1 : 2;
    ReposHeld<ReposDataAccessCursor> rows(connection_->paramSelect(sql, values, &like, &inSchema));
    if (!rows) return failFromConnection(__LINE__);
    const size_t skip = prefix.cStrSize();
    int fetched;
    while ((fetched = rows->next()) == 1) {
        const std::string name = rows->getString(0).str();
        // SQLite matches names ignoring case, a server as it keeps them.
        if (name.size() <= skip || !VqbString(name.substr(0, skip)).equals(prefix, !file)) continue;
        VqbString base(name.substr(skip));
        if (file) base.uppercase();
        if (isWorkTableName(base)) names.push_back(base);
    }
    if (fetched != 0) return failFromConnection(__LINE__);
    return true;
}

bool RepositoryImpl::dropWorkTable(const VqbString& name, bool (ReposDataAccess::*check)(const VqbString&, int),
                                   unsigned n) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    ColumnSpecList columns;
    if (!readColumns(connection_.get(), name, columns)) return failFromConnection(__LINE__);
    if (columns.empty()) return true;
    // The check also removes indexes some DBMSs keep after their table is gone.
    (connection_.get()->*check)(name, static_cast<int>(n));
    if (connection_->dropTable(name)) return true;
    return failFromConnection(__LINE__);
}

bool RepositoryImpl::dropMetricTables(unsigned n) {
    bool standard = dropWorkTable(VqbString::format("HSM%u", n), &ReposDataAccess::checkHsmTableColumns, n);
    bool custom = dropWorkTable(VqbString::format("HCM%u", n), &ReposDataAccess::checkHcmTableColumns, n);
    return standard && custom;
}

bool RepositoryImpl::dropFrequencyTable(unsigned n) {
    return dropWorkTable(VqbString::format("FRQDST%u", n), &ReposDataAccess::checkFrqDstTableColumns, n);
}

bool RepositoryImpl::copyWorkTable(RepositoryImpl* source, const VqbString& name, bool* copied) {
    *copied = false;
    if (!connection_ || !source || !source->connection_) return fail(__LINE__, reposMessage(1161));
    ColumnSpecList columns, existing;
    if (!readColumns(source->connection_.get(), name, columns)) return fail(__LINE__, source->connectionError());
    if (columns.empty()) return true;
    // A table of that name beyond this repository's own highest id is replaced as well.
    if (!readColumns(connection_.get(), name, existing) || (!existing.empty() && !connection_->dropTable(name)))
        return failFromConnection(__LINE__);
    if (!connection_->createTableFromColumns(name, columns)) return failFromConnection(__LINE__);
    ColumnSpecList created;
    if (connection_->getTableColumns(name, &created) != static_cast<int>(columns.size()))
        return fail(__LINE__, reposMessage(1054, name.asCstr()));

    ReposRowCopy copy;
    copy.table = name;
    copy.select = "SELECT " + columnList(source->connection_.get(), columns) + " FROM " + source->table(name.asCstr());
    copy.insert = "INSERT INTO " + table(name.asCstr()) + " (" + columnList(connection_.get(), created) + ") VALUES (" +
                  parameterMarks(created.size()) + ")";
    copy.remove = "DELETE FROM " + table(name.asCstr());
    for (const ColumnSpec& column : created) copy.params.emplace_back(column.type, column.size);
    VqbString error;
    if (!reposCopyRows(source->connection_.get(), connection_.get(), copy, status(), error)) return fail(__LINE__, error);
    *copied = true;
    return true;
}

bool RepositoryImpl::copyMetricTable(RepositoryImpl* source, const char* base, unsigned n) {
    const bool standard = std::strcmp(base, "HSM") == 0;
    if (!standard && std::strcmp(base, "HCM") != 0) return fail(__LINE__, reposMessage(1396, base));
    VqbString name = VqbString::format("%s%u", base, n);
    bool copied = false;
    if (!copyWorkTable(source, name, &copied)) return false;
    if (!copied) return true;

    // The indexes cover the set's grouping fields: the leading GRP columns of its HGMETA row.
    int groups = 0;
    VqbDatavar id(static_cast<long long>(n));
    VqbString sql = "SELECT A.HGM_ID, A.GRP1, A.GRP2, A.GRP3, A.GRP4, A.GRP5 FROM " + source->table("HGMETA") +
                    " A WHERE A.HGM_ID=?";
    ReposHeld<ReposDataAccessCursor> cursor(source->connection_->paramSelect(sql, 1, &id));
    if (!cursor) {
        VqbString text = source->connectionError();
        status()->reportMessage(text);
        reposLog(logger_, 4, kSource, __LINE__, "%s", text.asCstr());
        return true;
    }
    if (cursor->next() == 1)
        while (groups < 5 && !cursor->isNull(groups + 1)) ++groups;
    cursor.reset();
    bool indexed = standard ? connection_->createHsmIndexes(static_cast<int>(n), groups)
                            : connection_->createHcmIndexes(static_cast<int>(n), groups);
    if (!indexed) warnIndexes(status(), logger_, name, reposConnectionReason(connection_.get()));
    return true;
}

bool RepositoryImpl::copyFrequencyTable(RepositoryImpl* source, unsigned n) {
    VqbString name = VqbString::format("FRQDST%u", n);
    bool copied = false;
    if (!copyWorkTable(source, name, &copied)) return false;
    if (copied && !connection_->createFrqDstIndexes(static_cast<int>(n)))
        warnIndexes(status(), logger_, name, reposConnectionReason(connection_.get()));
    return true;
}

// ---- export

bool RepositoryImpl::writeTableXml(const VqbString& name, const VqbString& directory, bool dropAfter) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    ColumnSpecList columns;
    if (!readColumns(connection_.get(), name, columns))
        return fail(__LINE__, reposMessage(1054, connection_->getTableName(name.asCstr(), false, -1).asCstr()));
    if (columns.empty()) return true;
    // The physical name names the file as well.
    VqbString physical = connection_->getTableName(name.asCstr(), false, -1);
    if (!isIdentifier(physical)) return fail(__LINE__, reposMessage(1396, physical.asCstr()));

    VqbString select = "SELECT " + columnList(connection_.get(), columns) + " FROM " + table(name.asCstr());
    status()->reportMessage(select);
    ReposHeld<ReposDataAccessCursor> cursor(connection_->paramSelect(select, 0));
    if (!cursor) return failFromConnection(__LINE__);

    VqDom dom;
    VqDomNode root = dom.startNewDocument("vqTable");
    root.addChild("repos_name").setValue(dacMaskConnectionText(connectionText_));
    root.addChild("repos_version").setValue(VqbString::format("%d", version_));
    root.addChild("table_name").setValue(name);
    VqDomNode fields = root.addChild("fields");
    std::vector<VqDomNode> fieldNodes;
    // A column of a type the back end does not name (a DATE in a file) reads as an integer column
    // yet may hold reals or texts: each field gets the narrowest type that carries all its values.
    std::vector<int> types;
    for (const ColumnSpec& column : columns) {
        VqDomNode field = fields.addChild("field");
        field.setAttributeValue("name", nameOf(column));
        field.setAttributeValue("len", VqbString::format("%d", column.size));
        fieldNodes.push_back(field);
        types.push_back(column.type >= VQB_TYPE_BOOL && column.type <= VQB_TYPE_DATE ? column.type : VQB_TYPE_STRING);
    }
    VqDomNode data = root.addChild("data");
    const int count = static_cast<int>(columns.size());
    size_t rowCount = 0;
    int state;
    while ((state = cursor->next()) == 1) {
        ++rowCount;
        VqDomNode row = data.addChild("row");
        for (int i = 0; i < count; ++i) {
            VqDomNode node = row.addChild("value");
            VqbDatavar value = cursor->getValue(i);
            node.setAttributeValue("is_null", value.isNull() ? "1" : "0");
            if (value.isNull()) continue;
            VqbString text = value.asString();
            while (!carries(types[i], text)) types[i] = widerType(types[i]);
            node.setValue(text);
        }
    }
    if (state == 2) return failFromConnection(__LINE__);
    cursor.reset();
    for (int i = 0; i < count; ++i) fieldNodes[i].setAttributeValue("type", vqbTypeToString(types[i]));

    ReposHeld<ReposDataAccessCursor> indexList(connection_->getIndexes(name));
    if (!indexList) return failFromConnection(__LINE__);
    VqDomNode indexes = root.addChild("indexes");
    while ((state = indexList->next()) == 1) {
        VqDomNode index = indexes.addChild("index");
        index.setAttributeValue("name", indexList->getString(0));
        index.setAttributeValue("field", indexList->getString(1));
    }
    if (state == 2) return failFromConnection(__LINE__);
    indexList.reset();

    char path[1024];
    unsigned rc = np_fio_pcat(path, sizeof path, directory.asCstr(), (physical + ".xml").asCstr());
    if (rc != NP_FIO_OK) return fail(__LINE__, reposMessage(482, static_cast<int>(rc), np_fio_errdesc(rc)));
    if (!dom.createFile(path, true)) return fail(__LINE__, dom.getErrorMessage());
    if (!dropAfter) return true;
    // The file is the only copy once the table is gone: it must import before the table goes.
    VqDom written;
    TableFile check;
    VqbString error;
    if (!written.loadFile(path) || !readTableFile(written, check, error) || check.table != name ||
        check.rows.size() != rowCount) {
        if (error.isEmpty()) error = written.getErrorMessage();
        return fail(__LINE__, reposMessage(1980, path, physical.asCstr(), error.asCstr()));
    }
    if (!connection_->checkTableIndexes(name) || !connection_->dropTable(name)) return failFromConnection(__LINE__);
    return true;
}

bool RepositoryImpl::exportById(const char* family, unsigned from, unsigned to, const VqbString& directory,
                                bool dropAfter) {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    for (unsigned id = from; id < to; ++id)
        if (!writeTableXml(VqbString::format("%s%u", family, id), directory, dropAfter)) return false;
    return true;
}

bool RepositoryImpl::exportByDate(const char* family, ReposDataAccessCursor* ids, const VqbString& directory,
                                  bool dropAfter) {
    if (!ids) return false;
    // Every id is read first: a table cannot be dropped while a statement still reads the database.
    std::vector<long long> found;
    {
        ReposHeld<ReposDataAccessCursor> cursor(ids);
        int state;
        while ((state = cursor->next()) == 1) {
            VqbDatavar id = cursor->getValue(0);
            if (!id.isNull() && id.asInt64() >= 0) found.push_back(id.asInt64());
        }
        if (state == 2) return failFromConnection(__LINE__);
    }
    for (long long id : found)
        if (!writeTableXml(VqbString::format("%s%lld", family, id), directory, dropAfter)) return false;
    return true;
}

// ROUND(date, 10) between the bounds is the same as the bounds widened by half a unit of the tenth
// decimal; written so, the select also runs where ROUND takes no floating-point argument.
constexpr double kDateSlack = 5e-11;

ReposDataAccessCursor* RepositoryImpl::selectFieldIdsByJobDate(const VqbDate& from, const VqbDate& to) {
    if (!connection_) {
        fail(__LINE__, reposMessage(1161));
        return nullptr;
    }
    const bool nested = connection_->isDatabaseKind1();
    VqbString sql = VqbString("SELECT A.FLD_ID FROM ") + (nested ? "((" : "") + table("FLD") + " A INNER JOIN " +
                    table("TBL") + " B ON A.TBL_ID = B.TBL_ID AND A.DSN_ID = B.DSN_ID" + (nested ? ")" : "") +
                    " INNER JOIN " + table("DSN") + " C ON B.DSN_ID = C.DSN_ID" + (nested ? ")" : "") + " INNER JOIN " +
                    table("JOB") +
                    " D ON C.JOB_ID = D.JOB_ID WHERE D.JOB_DATE >= ? AND D.JOB_DATE <= ? ORDER BY A.FLD_ID";
    VqbDatavar low(from.asDouble() - kDateSlack), high(to.asDouble() + kDateSlack);
    status()->reportMessage(sql);
    ReposDataAccessCursor* cursor = connection_->paramSelect(sql, 2, &low, &high);
    if (!cursor) failFromConnection(__LINE__);
    return cursor;
}

ReposDataAccessCursor* RepositoryImpl::selectMetricIdsByExecDate(const VqbDate& from, const VqbDate& to) {
    if (!connection_) {
        fail(__LINE__, reposMessage(1161));
        return nullptr;
    }
    VqbString sql = "SELECT A.HGM_ID FROM " + table("HGMETA") + " A INNER JOIN " + table("EXEC") +
                    " B ON A.EX_ID = B.EX_ID WHERE B.EX_DATE >= ? AND B.EX_DATE <= ? ORDER BY A.HGM_ID";
    VqbDatavar low(from.asDouble() - kDateSlack), high(to.asDouble() + kDateSlack);
    status()->reportMessage(sql);
    ReposDataAccessCursor* cursor = connection_->paramSelect(sql, 2, &low, &high);
    if (!cursor) failFromConnection(__LINE__);
    return cursor;
}

bool RepositoryImpl::exportFrequencyTablesById(unsigned from, unsigned to, const VqbString& directory,
                                               bool dropAfter) try {
    return exportById("FRQDST", from, to, directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}
bool RepositoryImpl::exportStandardMetricTablesById(unsigned from, unsigned to, const VqbString& directory,
                                                    bool dropAfter) try {
    return exportById("HSM", from, to, directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}
bool RepositoryImpl::exportCustomMetricTablesById(unsigned from, unsigned to, const VqbString& directory,
                                                  bool dropAfter) try {
    return exportById("HCM", from, to, directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}
bool RepositoryImpl::exportFrequencyTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                                 bool dropAfter) try {
    return exportByDate("FRQDST", selectFieldIdsByJobDate(from, to), directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}
bool RepositoryImpl::exportStandardMetricTablesByDate(const VqbDate& from, const VqbDate& to,
                                                      const VqbString& directory, bool dropAfter) try {
    return exportByDate("HSM", selectMetricIdsByExecDate(from, to), directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}
bool RepositoryImpl::exportCustomMetricTablesByDate(const VqbDate& from, const VqbDate& to, const VqbString& directory,
                                                    bool dropAfter) try {
    return exportByDate("HCM", selectMetricIdsByExecDate(from, to), directory, dropAfter);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- import

bool RepositoryImpl::importTableFile(const VqbString& path) try {
    if (!connection_) return fail(__LINE__, reposMessage(1161));
    VqDom dom;
    if (!dom.loadFile(path)) return fail(__LINE__, dom.getErrorMessage());
    // The whole file is checked before the table it replaces is touched.
    TableFile file;
    VqbString error;
    if (!readTableFile(dom, file, error)) return fail(__LINE__, error);

    // The old table goes in the transaction that brings the new one, so a failure keeps it.
    if (!connection_->beginTransaction(false)) return failFromConnection(__LINE__);
    ReposHeld<ReposDataAccessStatement> statement;
    auto abort = [&](int line, const VqbString& text) {
        statement.reset();
        connection_->endTransaction(false);
        return fail(line, text);
    };
    ColumnSpecList existing;
    if (!readColumns(connection_.get(), file.table, existing) ||
        (!existing.empty() && (!connection_->checkTableIndexes(file.table) || !connection_->dropTable(file.table))))
        return abort(__LINE__, connectionError());
    if (!connection_->createTableFromColumns(file.table, file.columns)) return abort(__LINE__, connectionError());
    // The names as the DBMS keeps them (a server may have folded their case).
    ColumnSpecList created;
    if (connection_->getTableColumns(file.table, &created) != static_cast<int>(file.columns.size()))
        return abort(__LINE__, reposMessage(1054, file.table.asCstr()));

    VqbString insert = "INSERT INTO " + table(file.table.asCstr()) + " (" + columnList(connection_.get(), created) +
                       ") VALUES (" + parameterMarks(file.columns.size()) + ")";
    status()->reportMessage(insert);
    statement.reset(connection_->createStatement(insert));
    if (!statement) return abort(__LINE__, connectionError());
    const int count = static_cast<int>(file.columns.size());
    for (int i = 0; i < count; ++i)
        if (!statement->setParameterInfo(i, file.columns[i].type, file.columns[i].size))
            return abort(__LINE__, reposStatementReason(statement.get(), connection_.get()));
    for (const std::vector<VqbDatavar>& row : file.rows) {
        for (int i = 0; i < count; ++i)
            if (!statement->setParameter(i, row[i])) return abort(__LINE__, reposStatementReason(statement.get(), connection_.get()));
        if (!statement->execute())
            return abort(__LINE__,
                         reposMessage(1921, file.table.asCstr(), reposStatementReason(statement.get(), connection_.get()).asCstr()));
    }
    statement.reset();
    for (const auto& index : file.indexes)
        if (!connection_->createIndex(file.table, index.second, index.first)) return abort(__LINE__, connectionError());
    if (!connection_->endTransaction(true)) return failFromConnection(__LINE__);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
