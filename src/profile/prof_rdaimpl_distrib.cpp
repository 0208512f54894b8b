// Value distributions: the writers (frequency in the shared table or in a field's own, pattern,
// match code) and the reads and comparisons of what they wrote.
#include <cstring>
#include <limits>
#include <map>
#include <mutex>
#include <new>

#include "prof_rdaimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "prof_rdaimpl";
// Rows of a field's own table per committed level when they are executed one at a time.
const int32_t kRowsPerLevel = 10000;
const int kDefaultBulkBatch = 100;
const uint32_t kAllDefinitions = 0xFFFFFFFFu;

// A column a writer fills: its type where the table is created or bulk-loaded, and as bound.
struct WriterColumn {
    const char* name;
    int32_t type;  // 2 integer, 3 real, 4 text as long as the longest text stored
    int32_t bindType;
    bool key;
};

struct WriterLayout {
    const char* table;
    bool ownTable;  // the field's own table, created by the begin and indexed by the end
    const char* what;
    int columns;
    WriterColumn column[5];
};

// Indexed by ProfileRDAImpl::Layout; the rows come in column order.
const WriterLayout kLayouts[] = {
    {"FRQDST",
     false,
     "frequency",
     4,
     {{"FLD_ID", 2, 2, false}, {"FR_VAL", 4, 4, false}, {"FR_MC", 4, 4, false}, {"FR_CNT", 2, 2, false}}},
    {"FRQDST", true, "frequency", 3, {{"FR_VALUE", 4, 4, true}, {"FR_COUNT", 3, 3, false}, {"FR_MCVAL", 4, 4, false}}},
    {"PATDST", false, "pattern", 3, {{"FLD_ID", 2, 2, false}, {"PA_VALUE", 4, 4, false}, {"PA_COUNT2", 3, 2, false}}},
    {"MCDIST",
     false,
     "match-code",
     5,
     {{"FLD_ID", 2, 2, false},
      {"MC_VALUE", 4, 4, false},
      {"MC_COUNT", 3, 2, false},
      {"MC_ID", 2, 2, false},
      {"FR_VAL", 4, 4, false}}},
};

// The writer holding each connection's one bulk load: another object's begin may take it over,
// and then only that object may close it.
std::mutex gBulkMutex;
std::map<const ReposDataAccess*, const void*> gBulkHolder;

void holdBulk(const ReposDataAccess* connection, const void* writer) {
    std::lock_guard<std::mutex> lock(gBulkMutex);
    gBulkHolder[connection] = writer;
}

// Forgets the hold; true when the writer still held the bulk load.
bool dropBulk(const ReposDataAccess* connection, const void* writer) {
    std::lock_guard<std::mutex> lock(gBulkMutex);
    auto held = gBulkHolder.find(connection);
    if (held == gBulkHolder.end() || held->second != writer) return false;
    gBulkHolder.erase(held);
    return true;
}

ColumnSpecList columnSpecs(const WriterLayout& layout, int maxText) {
    ColumnSpecList list(static_cast<size_t>(layout.columns));
    for (int i = 0; i < layout.columns; ++i) {
        ColumnSpec& spec = list[static_cast<size_t>(i)];
        std::memset(&spec, 0, sizeof spec);
        std::strncpy(spec.name, layout.column[i].name, sizeof spec.name - 1);
        spec.type = layout.column[i].type;
        spec.size = spec.type == 4 ? maxText : 0;
        spec.key = layout.column[i].key ? 1 : 0;
    }
    return list;
}

// A 64-bit total as the 32-bit out-parameters carry it.
void put(uint32_t* out, int64_t value) {
    if (out) *out = static_cast<uint32_t>(value);
}

}  // namespace

ProfileRDAImpl::Writer& ProfileRDAImpl::writerOf(Layout layout) {
    switch (layout) {
        case Layout::Pattern:
            return pattern_;
        case Layout::MatchCode:
            return matchCode_;
        default:
            return frequency_;
    }
}

void ProfileRDAImpl::closeWriter(Writer& writer, bool keepExecuted) {
    ReposDataAccess* connection = getConnection();
    writer.statement.reset();
    if (dropBulk(connection, &writer) && connection) connection->bulkLoadEnd(false);
    writer.level.end(connection, keepExecuted);
    writer.open = writer.bulk = false;
    writer.rowsInBatch = writer.rowsInLevel = 0;
}

void ProfileRDAImpl::closeWritersAtRelease() {
    for (Writer* writer : {&frequency_, &pattern_, &matchCode_}) {
        if (!writer->open) continue;
        reposLog(getLogger(), 4, kSource, __LINE__,
                 "A distribution writer was still open at release; its pending rows are dropped");
        // The level of a field's own table is shared with every object on the connection, and the
        // rows it already executed would have stayed had each been run alone: a rollback here would
        // take other objects' writes with it.
        closeWriter(*writer, kLayouts[static_cast<int>(writer->layout)].ownTable);
    }
}

bool ProfileRDAImpl::beginWriter(Layout layout, int fieldId, int batchSize, int line) {
    ReposDataAccess* connection = getConnection();
    const WriterLayout& kind = kLayouts[static_cast<int>(layout)];
    Writer& writer = writerOf(layout);
    if (writer.open) {
        reposLog(getLogger(), 4, kSource, line, "The open %s distribution is ended without its pending rows",
                 kind.what);
        closeWriter(writer, kLayouts[static_cast<int>(writer.layout)].ownTable);
    }
    const bool bulk = connection->supportsBulkLoad();
    // A second bulk load would close this object's open one and lose its rows.
    for (const Writer* other : {&frequency_, &pattern_, &matchCode_})
        if (bulk && other->open && other->bulk)
            return refuse(kSource, line,
                          VqbString("Another distribution of this object is being bulk-loaded: end it first"));
    const VqbString base = kind.ownTable ? VqbString::format("%s%d", kind.table, fieldId) : VqbString(kind.table);
    const int maxText = connection->getMaxTextLen();
    const ColumnSpecList columns = columnSpecs(kind, maxText);
    if (kind.ownTable && !connection->createTableFromColumns(base, columns)) return logFailure(kSource, line);
    writer.fieldId = fieldId;
    writer.layout = layout;
    writer.rowsInBatch = writer.rowsInLevel = 0;
    if (bulk) {
        if (!connection->bulkLoadBegin(batchSize < 1 ? kDefaultBulkBatch : batchSize, base, columns))
            return logFailure(kSource, line);
        holdBulk(connection, &writer);
        writer.open = writer.bulk = true;
        return true;
    }
    if (!writer.level.open(connection)) return logFailure(kSource, line);
    VqbString names, markers;
    for (int i = 0; i < kind.columns; ++i) {
        names.append(i ? ", " : "").append(kind.column[i].name);
        markers.append(i ? ",?" : "?");
    }
    const VqbString sql =
        VqbString::format("INSERT INTO %s (%s) VALUES (%s)",
                          connection->getTableName(kind.table, true, kind.ownTable ? fieldId : -1).asCstr(),
                          names.asCstr(), markers.asCstr());
    // Only the frequency writer batches its statement; a size below 1 executes each row.
    writer.batchSize =
        layout == Layout::SharedFrequency || layout == Layout::FieldFrequency ? (batchSize > 0 ? batchSize : 0) : 0;
    writer.statement.reset(writer.batchSize > 0 ? connection->createBulkStatement(sql, writer.batchSize)
                                                : connection->createStatement(sql));
    bool ok = writer.statement != nullptr;
    if (!ok) logFailure(kSource, line);
    for (int i = 0; ok && i < kind.columns; ++i) {
        const WriterColumn& column = kind.column[i];
        ok = writer.statement->setParameterInfo(i, column.bindType, column.type == 4 ? maxText : 0);
        if (!ok) logFailure(kSource, line, writer.statement->getErrorMessage());
    }
    if (!ok) {
        closeWriter(writer, false);
        return false;
    }
    writer.open = true;
    return true;
}

bool ProfileRDAImpl::addRow(Layout layout, const VqbDatavar* values, int line) {
    ReposDataAccess* connection = getConnection();
    const WriterLayout& kind = kLayouts[static_cast<int>(layout)];
    Writer& writer = writerOf(layout);
    if (!writer.open)
        return refuse(kSource, line, VqbString::format("No %s distribution is open: begin it first", kind.what));
    if (writer.bulk) {
        if (connection->bulkLoadRow(kind.columns, &values[0], &values[1], &values[2], &values[3], &values[4]))
            return true;
        logFailure(kSource, line);
        // The connection closed the load it refused the row of.
        dropBulk(connection, &writer);
        closeWriter(writer, false);
        return false;
    }
    ReposDataAccessStatement* statement = writer.statement.get();
    const bool arrays = writer.batchSize > 0;
    bool ok = true;
    for (int i = 0; ok && i < kind.columns; ++i)
        ok = arrays ? statement->setParameterBulk(i, writer.rowsInBatch, values[i])
                    : statement->setParameter(i, values[i]);
    bool executed = false;
    if (ok && (!arrays || ++writer.rowsInBatch >= writer.batchSize)) {
        executed = true;
        writer.rowsInBatch = 0;
        ok = statement->execute();
    }
    if (!ok) {
        logFailure(kSource, line, statement->getErrorMessage());
        // The executed rows of a field's own table stay; the other tables take a sequence whole.
        closeWriter(writer, kind.ownTable);
        return false;
    }
    // A field's own table is committed batch by batch (or every kRowsPerLevel rows), so that a file
    // does not make each row a transaction of its own and a long distribution holds no huge level.
    if (kind.ownTable && executed && (arrays || ++writer.rowsInLevel >= kRowsPerLevel)) {
        writer.rowsInLevel = 0;
        if (!writer.level.end(connection, true) || !writer.level.open(connection)) {
            logFailure(kSource, line);
            closeWriter(writer, true);
            return false;
        }
    }
    return true;
}

bool ProfileRDAImpl::endWriter(Layout layout, int line) {
    ReposDataAccess* connection = getConnection();
    const WriterLayout& kind = kLayouts[static_cast<int>(layout)];
    Writer& writer = writerOf(layout);
    if (!writer.open)
        return refuse(kSource, line, VqbString::format("No %s distribution is open: begin it first", kind.what));
    bool ok = true;
    if (writer.bulk) {
        dropBulk(connection, &writer);
        writer.open = writer.bulk = false;
        if (!connection->bulkLoadEnd(true)) return logFailure(kSource, line);
    } else {
        if (writer.batchSize > 0 && writer.rowsInBatch > 0 && !writer.statement->execute()) {
            ok = logFailure(kSource, line, writer.statement->getErrorMessage());
        }
        writer.statement.reset();
        const bool commit = ok || kind.ownTable;
        if (!writer.level.end(connection, commit) && commit) ok = logFailure(kSource, line);
        closeWriter(writer, false);
        if (!ok) return false;
    }
    if (kind.ownTable && !connection->createFrqDstIndexes(writer.fieldId)) return logFailure(kSource, line);
    return true;
}

// ---- writers

bool ProfileRDAImpl::beginFrequencyDistribution(int fieldId, bool sharedTable, int batchSize) try {
    sharedFrequencyTable_ = sharedTable;
    if (!checkConnection(kSource, __LINE__)) return false;
    int batch = batchSize;
    int64_t configured = 0;
    if (getConnection()->isConnectionMode3())
        batch = 0;
    else if (configNumber("PROF/FREQ_BULK_SIZE", configured) && configured >= std::numeric_limits<int>::min() &&
             configured <= std::numeric_limits<int>::max())
        batch = static_cast<int>(configured);
    return beginWriter(sharedTable ? Layout::SharedFrequency : Layout::FieldFrequency, fieldId, batch, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::beginPatternDistribution(int batchSize) try {
    return checkConnection(kSource, __LINE__) && beginWriter(Layout::Pattern, 0, batchSize, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::beginMatchCodeDistribution(int batchSize) try {
    return checkConnection(kSource, __LINE__) && beginWriter(Layout::MatchCode, 0, batchSize, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addFrequencyValue(int fieldId, const VqbString& value, const VqbString& matchValue,
                                       int64_t count) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const Layout layout = frequency_.open         ? frequency_.layout
                          : sharedFrequencyTable_ ? Layout::SharedFrequency
                                                  : Layout::FieldFrequency;
    VqbDatavar kept(value);
    const int max = getConnection()->getMaxTextLen();
    // A longer value would be refused and end the sequence: it is cut at a character boundary.
    if (max > 0 && value.cStrSize() > static_cast<size_t>(max)) {
        try {
            kept = VqbDatavar(value.leftBytes(static_cast<size_t>(max)));
        } catch (const std::bad_alloc&) {
            reposLog(getLogger(), 5, kSource, __LINE__, "%s", vqb_get_message(VQB_MOD_PROFILE, 29).asCstr());
            if (frequency_.open) closeWriter(frequency_, layout == Layout::FieldFrequency);
            return false;
        }
    }
    const VqbDatavar field(fieldId), match(matchValue), counted(static_cast<long long>(count));
    if (layout == Layout::SharedFrequency) {
        const VqbDatavar row[5] = {field, kept, match, counted, VqbDatavar()};
        return addRow(layout, row, __LINE__);
    }
    const VqbDatavar row[5] = {kept, counted, match, VqbDatavar(), VqbDatavar()};
    return addRow(layout, row, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addPatternValue(int fieldId, const VqbString& pattern, int64_t count) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const VqbDatavar row[5] = {VqbDatavar(fieldId), VqbDatavar(pattern), VqbDatavar(static_cast<long long>(count)),
                               VqbDatavar(), VqbDatavar()};
    return addRow(Layout::Pattern, row, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addMatchCodeValue(int fieldId, const VqbString& frequencyValue, const VqbString& matchCode,
                                       int64_t count, int matchDefinitionId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const VqbDatavar row[5] = {VqbDatavar(fieldId), VqbDatavar(matchCode), VqbDatavar(static_cast<long long>(count)),
                               idValue(static_cast<uint32_t>(matchDefinitionId)), VqbDatavar(frequencyValue)};
    return addRow(Layout::MatchCode, row, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::endFrequencyDistribution(int) try {
    return checkConnection(kSource, __LINE__) && endWriter(frequency_.open         ? frequency_.layout
                                                           : sharedFrequencyTable_ ? Layout::SharedFrequency
                                                                                   : Layout::FieldFrequency,
                                                           __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::endPatternDistribution() try {
    return checkConnection(kSource, __LINE__) && endWriter(Layout::Pattern, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::endMatchCodeDistribution() try {
    return checkConnection(kSource, __LINE__) && endWriter(Layout::MatchCode, __LINE__);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteMatchCodeDistribution(int fieldId) try {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "MCDIST", " WHERE FLD_ID=?"), {fieldId}));
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reads

VqbString ProfileRDAImpl::frequencyTable(uint32_t fieldId, bool sharedTable) {
    return getConnection()->getTableName("FRQDST", true, sharedTable ? -1 : static_cast<int>(fieldId));
}

BaseRDAImpl::Sql ProfileRDAImpl::frequencyRead(uint32_t fieldId, bool sharedTable, const char* sharedColumns,
                                               const char* ownColumns) {
    const VqbString table = frequencyTable(fieldId, sharedTable);
    if (!sharedTable) return Sql(VqbString::format("SELECT %s FROM %s", ownColumns, table.asCstr()));
    return Sql(VqbString::format("SELECT %s FROM %s WHERE FLD_ID=?", sharedColumns, table.asCstr()),
               {idValue(fieldId)});
}

// The values of the kept field's distribution that the other field lacks, with their counts; the
// third column is always null.
ReposDataAccessCursor* ProfileRDAImpl::listFrequencyOuterValues(uint32_t firstFieldId, uint32_t secondFieldId,
                                                                bool sharedTable) try {
    return listFrequencyDifference(secondFieldId, firstFieldId, sharedTable, false, kAllDefinitions);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFrequencyDistribution(uint32_t fieldId, bool sharedTable, bool matchCodes,
                                                                 uint32_t matchDefinitionId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql("");
    if (matchCodes) {
        sql = Sql(onTable("SELECT FR_VAL, MC_COUNT, MC_VALUE, FLD_ID, MC_ID FROM", "MCDIST"));
        sql.where("FLD_ID", idValue(fieldId));
        if (matchDefinitionId != kAllDefinitions) sql.where("MC_ID", idValue(matchDefinitionId));
        sql.append(" ORDER BY MC_COUNT DESC");
    } else {
        sql = frequencyRead(
            fieldId, sharedTable, "FR_VAL, FR_CNT, FR_MC, FLD_ID",
            VqbString::format("FR_VALUE, FR_COUNT, FR_MCVAL, %d", static_cast<int32_t>(fieldId)).asCstr());
        sql.append(sharedTable ? " ORDER BY FR_CNT DESC" : " ORDER BY FR_COUNT DESC");
    }
    // The cap keeps the most frequent values; absent, not a number or below 1 it keeps them all.
    int64_t cap = 0;
    if (!configNumber("BASE/REPOS_FREQ_CACHE_MAX", cap) || cap < 1 || cap > std::numeric_limits<unsigned>::max())
        cap = 0;
    return select(kSource, __LINE__, sql, static_cast<unsigned>(cap));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFrequencyIntersection(uint32_t firstFieldId, uint32_t secondFieldId,
                                                                 bool sharedTable, bool matchCodes,
                                                                 uint32_t matchDefinitionId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql("");
    if (matchCodes) {
        const VqbString table = tableName("MCDIST");
        sql = Sql(VqbString::format("SELECT a.FR_VAL, a.MC_COUNT, a.MC_VALUE, a.FLD_ID, b.FR_VAL, b.MC_COUNT, "
                                    "b.MC_VALUE, b.FLD_ID, a.MC_ID, b.MC_ID FROM %s a, %s b WHERE "
                                    "a.MC_VALUE=b.MC_VALUE AND a.MC_ID=b.MC_ID AND a.FLD_ID=? AND b.FLD_ID=?",
                                    table.asCstr(), table.asCstr()),
                  {idValue(firstFieldId), idValue(secondFieldId)});
        if (matchDefinitionId != kAllDefinitions) sql.append(" AND a.MC_ID=?").bind(idValue(matchDefinitionId));
        sql.append(" ORDER BY a.MC_VALUE, a.FR_VAL");
    } else if (sharedTable) {
        const VqbString table = frequencyTable(firstFieldId, true);
        sql = Sql(VqbString::format("SELECT a.FR_VAL, a.FR_CNT, a.FR_MC, a.FLD_ID, b.FR_VAL, b.FR_CNT, b.FR_MC, "
                                    "b.FLD_ID FROM %s a, %s b WHERE a.FR_VAL=b.FR_VAL AND a.FLD_ID=? AND b.FLD_ID=? "
                                    "ORDER BY a.FR_VAL",
                                    table.asCstr(), table.asCstr()),
                  {idValue(firstFieldId), idValue(secondFieldId)});
    } else {
        sql = Sql(VqbString::format(
            "SELECT a.FR_VALUE, a.FR_COUNT, a.FR_MCVAL, %d, b.FR_VALUE, b.FR_COUNT, "
            "b.FR_MCVAL, %d FROM %s a, %s b WHERE a.FR_VALUE=b.FR_VALUE ORDER BY a.FR_VALUE",
            static_cast<int32_t>(firstFieldId), static_cast<int32_t>(secondFieldId),
            frequencyTable(firstFieldId, false).asCstr(), frequencyTable(secondFieldId, false).asCstr()));
    }
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

// The first field's values (or match codes) that the second lacks; every form is the outer join.
ReposDataAccessCursor* ProfileRDAImpl::listFrequencyDifference(uint32_t firstFieldId, uint32_t secondFieldId,
                                                               bool sharedTable, bool matchCodes,
                                                               uint32_t matchDefinitionId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    if (matchCodes) {
        const VqbString table = tableName("MCDIST");
        const bool oneDefinition = matchDefinitionId != kAllDefinitions;
        const char* definition = oneDefinition ? " AND MC_ID=?" : "";
        Sql sql(
            VqbString::format("SELECT A.FR_VAL, A.MC_COUNT, B.MC_COUNT FROM (SELECT * FROM %s WHERE FLD_ID=?%s) A "
                              "LEFT OUTER JOIN (SELECT * FROM %s WHERE FLD_ID=?%s) B ON A.MC_VALUE=B.MC_VALUE AND "
                              "A.MC_ID=B.MC_ID WHERE B.MC_COUNT IS NULL",
                              table.asCstr(), definition, table.asCstr(), definition));
        sql.bind(idValue(firstFieldId));
        if (oneDefinition) sql.bind(idValue(matchDefinitionId));
        sql.bind(idValue(secondFieldId));
        if (oneDefinition) sql.bind(idValue(matchDefinitionId));
        return select(kSource, __LINE__, sql);
    }
    if (sharedTable) {
        const VqbString table = frequencyTable(firstFieldId, true);
        return select(kSource, __LINE__,
                      Sql(VqbString::format("SELECT A.FR_VAL, A.FR_CNT, B.FR_CNT FROM (SELECT FR_VAL, FR_CNT FROM %s "
                                            "WHERE FLD_ID=?) A LEFT OUTER JOIN (SELECT FR_VAL, FR_CNT FROM %s WHERE "
                                            "FLD_ID=?) B ON A.FR_VAL=B.FR_VAL WHERE B.FR_CNT IS NULL",
                                            table.asCstr(), table.asCstr()),
                          {idValue(firstFieldId), idValue(secondFieldId)}));
    }
    return select(kSource, __LINE__,
                  Sql(VqbString::format("SELECT A.FR_VALUE, A.FR_COUNT, B.FR_COUNT FROM %s A LEFT OUTER JOIN %s B ON "
                                        "A.FR_VALUE=B.FR_VALUE WHERE B.FR_COUNT IS NULL",
                                        frequencyTable(firstFieldId, false).asCstr(),
                                        frequencyTable(secondFieldId, false).asCstr())));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listPatternDistribution(uint32_t fieldId) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT FLD_ID, PA_VALUE, PA_COUNT2 AS PA_COUNT FROM", "PATDST", " WHERE FLD_ID=?"),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// The totals of the rows a statement aggregates, read from its one row (a null sum reads as 0).
namespace {
bool readTotals(ReposDataAccessCursor* cursor, int64_t* totals, int count) {
    if (!cursor) return false;
    const bool row = cursor->next() == 1;
    for (int i = 0; i < count; ++i) {
        VqbDatavar value = row ? cursor->getValue(i) : VqbDatavar();
        totals[i] = value.isNull() ? 0 : value.asInt64();
    }
    cursor->release();
    return true;
}
}  // namespace

// The second field's values that the first lacks, in the shared table: their number and counts.
bool ProfileRDAImpl::getFrequencyRightOnlyStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows,
                                                     uint32_t* sum) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const VqbString table = frequencyTable(leftFieldId, true);
    int64_t totals[2];
    if (!readTotals(select(kSource, __LINE__,
                           Sql(VqbString::format("SELECT COUNT(*), SUM(b.FR_CNT) FROM (SELECT FR_VAL, FR_CNT FROM %s "
                                                 "WHERE FLD_ID=?) b LEFT OUTER JOIN (SELECT FR_VAL FROM %s WHERE "
                                                 "FLD_ID=?) a ON b.FR_VAL=a.FR_VAL WHERE a.FR_VAL IS NULL",
                                                 table.asCstr(), table.asCstr()),
                               {idValue(rightFieldId), idValue(leftFieldId)})),
                    totals, 2))
        return false;
    put(rows, totals[0]);
    put(sum, totals[1]);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

// Every value of the left field beside its partner in the right one (matched when it has one).
bool ProfileRDAImpl::getFrequencyJoinStatistics(uint32_t leftFieldId, uint32_t rightFieldId, uint32_t* rows,
                                                uint32_t* leftSum, uint32_t* matched, uint32_t* matchedLeftSum,
                                                uint32_t* matchedRightSum) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    const VqbString table = frequencyTable(leftFieldId, true);
    int64_t totals[5];
    if (!readTotals(select(kSource, __LINE__,
                           Sql(VqbString::format(
                                   "SELECT COUNT(*), SUM(a.FR_CNT), COUNT(b.FR_CNT), SUM(CASE WHEN b.FR_CNT IS NULL "
                                   "THEN 0 ELSE a.FR_CNT END), SUM(b.FR_CNT) FROM (SELECT FR_VAL, FR_CNT FROM %s WHERE "
                                   "FLD_ID=?) a LEFT OUTER JOIN (SELECT FR_VAL, FR_CNT FROM %s WHERE FLD_ID=?) b ON "
                                   "a.FR_VAL=b.FR_VAL",
                                   table.asCstr(), table.asCstr()),
                               {idValue(leftFieldId), idValue(rightFieldId)})),
                    totals, 5))
        return false;
    uint32_t* outs[] = {rows, leftSum, matched, matchedLeftSum, matchedRightSum};
    for (int i = 0; i < 5; ++i) put(outs[i], totals[i]);
    return totals[0] > 0;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getFrequencyOverlapStatistics(uint32_t firstFieldId, uint32_t secondFieldId, bool matchCodes,
                                                   uint32_t, bool sharedTable, uint32_t* firstValues,
                                                   uint32_t* firstTotal, uint32_t* secondValues, uint32_t* secondTotal,
                                                   uint32_t* commonValues, uint32_t* firstCommonTotal,
                                                   uint32_t* secondCommonTotal) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    auto fieldTotals = [&](uint32_t fieldId) {
        if (matchCodes)
            return Sql(onTable("SELECT COUNT(DISTINCT MC_VALUE), SUM(MC_COUNT) FROM", "MCDIST", " WHERE FLD_ID=?"),
                       {idValue(fieldId)});
        return frequencyRead(fieldId, sharedTable, "COUNT(FR_CNT), SUM(FR_CNT)", "COUNT(FR_COUNT), SUM(FR_COUNT)");
    };
    Sql common("");
    if (matchCodes) {
        const VqbString table = tableName("MCDIST");
        common = Sql(VqbString::format("SELECT COUNT(*), SUM(a.ACOUNT), SUM(b.BCOUNT) FROM (SELECT MC_VALUE, "
                                       "SUM(MC_COUNT) AS ACOUNT FROM %s WHERE FLD_ID=? GROUP BY MC_VALUE) a, (SELECT "
                                       "MC_VALUE, SUM(MC_COUNT) AS BCOUNT FROM %s WHERE FLD_ID=? GROUP BY MC_VALUE) b "
                                       "WHERE a.MC_VALUE=b.MC_VALUE",
                                       table.asCstr(), table.asCstr()),
                     {idValue(firstFieldId), idValue(secondFieldId)});
    } else if (sharedTable) {
        const VqbString table = frequencyTable(firstFieldId, true);
        common = Sql(VqbString::format("SELECT COUNT(*), SUM(a.FR_CNT), SUM(b.FR_CNT) FROM %s a, %s b WHERE "
                                       "a.FLD_ID=? AND b.FLD_ID=? AND a.FR_VAL=b.FR_VAL",
                                       table.asCstr(), table.asCstr()),
                     {idValue(firstFieldId), idValue(secondFieldId)});
    } else {
        common = Sql(VqbString::format(
            "SELECT COUNT(*), SUM(a.FR_COUNT), SUM(b.FR_COUNT) FROM %s a, %s b WHERE "
            "a.FR_VALUE=b.FR_VALUE",
            frequencyTable(firstFieldId, false).asCstr(), frequencyTable(secondFieldId, false).asCstr()));
    }
    int64_t totals[7];
    if (!readTotals(select(kSource, __LINE__, fieldTotals(firstFieldId), 1), totals, 2) ||
        !readTotals(select(kSource, __LINE__, fieldTotals(secondFieldId), 1), totals + 2, 2) ||
        !readTotals(select(kSource, __LINE__, common, 1), totals + 4, 3))
        return false;
    uint32_t* outs[] = {firstValues,  firstTotal,       secondValues,     secondTotal,
                        commonValues, firstCommonTotal, secondCommonTotal};
    for (int i = 0; i < 7; ++i) put(outs[i], totals[i]);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getFrequencyValueCount(uint32_t fieldId, bool sharedTable, uint32_t* values) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    int64_t count = 0;
    const Sql sql = frequencyRead(fieldId, sharedTable, "COUNT(FLD_ID)", "COUNT(FR_COUNT)");
    if (lookupInt(kSource, __LINE__, sql, count) != Lookup::Found) return false;
    put(values, count);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getFrequencyTotal(uint32_t fieldId, bool sharedTable, int64_t* total) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    int64_t sum = 0;
    const Sql sql = frequencyRead(fieldId, sharedTable, "SUM(FR_CNT)", "SUM(FR_COUNT)");
    if (lookupInt(kSource, __LINE__, sql, sum) != Lookup::Found) return false;
    if (total) *total = sum;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::getPatternValueCount(uint32_t fieldId, uint32_t* rows) try {
    int64_t count = 0;
    if (lookupInt(kSource, __LINE__,
                  Sql(onTable("SELECT COUNT(FLD_ID) FROM", "PATDST", " WHERE FLD_ID=?"), {idValue(fieldId)}),
                  count) != Lookup::Found)
        return false;
    put(rows, count);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
