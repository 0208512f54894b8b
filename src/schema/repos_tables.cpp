// Walks over the built-in table catalogue and its validator.
#include "repos_tables.h"

#include <atomic>
#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reposlog.h"

namespace {

const char* const kSource = "repos_tables";
constexpr int kLevelWarning = 4;
constexpr int kLevelError = 5;

// Process-wide positions of the free walk functions. Atomic only so that an overlapping
// misuse stays defined behaviour; overlapping walks still disturb each other.
std::atomic<int32_t> g_mainPosition{0};
std::atomic<int32_t> g_ncoaPosition{0};

const char* const kMetricColumnNames[REPOS_STANDARD_METRIC_COUNT] = {
    "MET_0",  "MET_1",  "MET_2",  "MET_3",  "MET_4",  "MET_5",  "MET_6",  "MET_7",
    "MET_8",  "MET_9",  "MET_10", "MET_11", "MET_12", "MET_13", "MET_14", "MET_15",
    "MET_16", "MET_17", "MET_18", "MET_19", "MET_20", "MET_21", "MET_22", "MET_23",
};

// Catalogue names are ASCII; locale-independent on purpose.
bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca >= 'a' && ca <= 'z') ca = static_cast<unsigned char>(ca - 'a' + 'A');
        if (cb >= 'a' && cb <= 'z') cb = static_cast<unsigned char>(cb - 'a' + 'A');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

size_t textLength(const char* text) { return text ? std::strlen(text) : 0; }

std::string textOf(const char* text) { return text ? std::string(text) : std::string("(null)"); }

}  // namespace

void resetReposColumns() { g_mainPosition.store(0, std::memory_order_relaxed); }

const ReposColumnDef* nextReposColumn() {
    return &reposColumnDefs[g_mainPosition.fetch_add(1, std::memory_order_relaxed)];
}

const ReposColumnDef* getReposColumn(int32_t index) { return &reposColumnDefs[index]; }

const ReposIndexDef* getReposIndexDef(int32_t index) { return &reposIndexDefs[index]; }

void resetNcoaColumns() { g_ncoaPosition.store(0, std::memory_order_relaxed); }

const ReposColumnDef* nextNcoaColumn(bool extended) {
    int32_t position = g_ncoaPosition.fetch_add(1, std::memory_order_relaxed);
    return extended ? &ncoaExtColumnDefs[position] : &ncoaColumnDefs[position];
}

const ReposColumnDef* getNcoaColumn(int32_t index, bool extended) {
    return extended ? &ncoaExtColumnDefs[index] : &ncoaColumnDefs[index];
}

const ReposColumnDef* reposCatalogRecords(ReposCatalogId id) {
    switch (id) {
    case ReposCatalogId::Ncoa:
        return ncoaColumnDefs;
    case ReposCatalogId::NcoaExtended:
        return ncoaExtColumnDefs;
    case ReposCatalogId::Main:
        break;
    }
    return reposColumnDefs;
}

const ReposColumnDef* ReposCatalogWalk::next() {
    if (done_) return nullptr;
    const ReposColumnDef* record = begin_ + pos_++;
    bool end = isReposEndRecord(record);
    if (end && afterEnd_) done_ = true;
    afterEnd_ = end;
    return record;
}

const ReposColumnDef* ReposCatalogWalk::nextTable() {
    const ReposColumnDef* first;
    for (;;) {
        first = next();
        if (first == nullptr || done_) return nullptr;
        if (!isReposEndRecord(first)) break;
    }
    for (const ReposColumnDef* record = next(); record && !isReposEndRecord(record); record = next()) {
    }
    return first;
}

bool ReposTableCursor::next(ReposColumnView& column) {
    if (isReposEndRecord(record_)) return false;
    const ReposColumnDef* record = record_;
    if (record->flags & REPOS_COL_METRICS) {
        int n = metric_;
        int32_t length = static_cast<int32_t>(standardMetricDefs[n].textLength);
        // Only the text sizing applies to the 24 columns; the placeholder's other bits do not.
        column = {record, kMetricColumnNames[n], VQB_TYPE_STRING, length, length == 0 ? REPOS_COL_UNLIMITED : 0u, n};
        if (++metric_ == REPOS_STANDARD_METRIC_COUNT) {
            metric_ = 0;
            ++record_;
        }
        return true;
    }
    column = {record, record->column, record->type, record->length, record->flags, -1};
    ++record_;
    return true;
}

int ReposTableCursor::columnCount() const {
    int count = 0;
    for (const ReposColumnDef* record = first_; !isReposEndRecord(record); ++record)
        count += (record->flags & REPOS_COL_METRICS) ? REPOS_STANDARD_METRIC_COUNT : 1;
    return count;
}

const char* reposMetricColumnName(int metric) {
    if (metric < 0 || metric >= REPOS_STANDARD_METRIC_COUNT) return nullptr;
    return kMetricColumnNames[metric];
}

const ReposColumnDef* findReposTable(ReposCatalogId id, const char* table) {
    if (table == nullptr) return nullptr;
    ReposCatalogWalk walk(id);
    while (const ReposColumnDef* first = walk.nextTable()) {
        if (equalsIgnoringCase(first->table, table)) return first;
    }
    return nullptr;
}

const ReposColumnDef* findReposTable(const char* table) {
    const ReposColumnDef* first = findReposTable(ReposCatalogId::Main, table);
    return first ? first : findReposTable(ReposCatalogId::Ncoa, table);
}

int countReposTables(ReposCatalogId id) {
    int count = 0;
    ReposCatalogWalk walk(id);
    while (walk.nextTable()) ++count;
    return count;
}

namespace {

struct CompositeKey {
    const char* table;
    const char* columns[3];
};

const CompositeKey kCompositeKeys[] = {
    {"BIGSTR", {"BS_REFID", "BS_SEQ", nullptr}},
};

}  // namespace

const char* const* reposCompositeKey(const char* table) {
    if (!table) return nullptr;
    for (const CompositeKey& key : kCompositeKeys)
        if (equalsIgnoringCase(key.table, table)) return key.columns;
    return nullptr;
}

namespace {

bool validateArrays(VqLogger* logger, const ReposColumnDef* const* arrays, size_t arrayCount, size_t* recordsWalked) {
    bool result = true;

    // Names are compared exactly here: the catalogue is meant to be consistent byte for byte.
    std::set<std::string> finishedTables;
    std::string currentTable;
    bool haveCurrent = false;
    std::vector<std::string> currentColumns;
    std::string primaryColumn;
    bool havePrimary = false;
    std::map<std::string, std::string> indexOwners;

    for (size_t a = 0; a < arrayCount; ++a) {
        ReposCatalogWalk walk(arrays[a]);
        while (const ReposColumnDef* record = walk.next()) {
            if (isReposEndRecord(record)) continue;
            const char* table = record->table;
            const char* column = record->column;
            std::string columnName = column ? column : "";

            if (!haveCurrent || currentTable != table) {
                if (haveCurrent) finishedTables.insert(currentTable);
                currentTable = table;
                haveCurrent = true;
                currentColumns.assign(1, columnName);
                havePrimary = false;
                if (finishedTables.count(currentTable)) {
                    reposLog(logger, kLevelError, kSource, __LINE__, "The table \"%s\" has already been processed.", table);
                    result = false;
                }
            } else {
                for (const std::string& seen : currentColumns) {
                    if (seen == columnName) {
                        reposLog(logger, kLevelError, kSource, __LINE__,
                                 "The table \"%s\" has duplicate columns named \"%s\".", table, column);
                        result = false;
                        break;
                    }
                }
                currentColumns.push_back(columnName);
            }

            if (textLength(table) > 6)
                reposLog(logger, kLevelWarning, kSource, __LINE__,
                         "Table name length is longer than 6 chars for table \"%s\"", table);
            if (textLength(column) > 9)
                reposLog(logger, kLevelWarning, kSource, __LINE__,
                         "The column \"%s\" on table \"%s\" has a name longer than 9 chars.", column, table);

            if (record->indexNumber == 0 && (record->flags & REPOS_COL_INDEXED)) {
                reposLog(logger, kLevelWarning, kSource, __LINE__,
                         "Table \"%s\" has index flag set on column \"%s\" with number of 0. This is invalid.", table,
                         column);
                result = false;
            }
            if (record->indexNumber != 0) {
                std::string number = std::to_string(record->indexNumber);
                if (!(record->flags & REPOS_COL_INDEXED))
                    reposLog(logger, kLevelWarning, kSource, __LINE__,
                             "Table \"%s\" has a index number of \"%s\" on column \"%s\" without index creation flag "
                             "set.  This will not be created.",
                             table, number.c_str(), column);
                std::string owner = textOf(table) + "." + textOf(column);
                auto found = indexOwners.find(number);
                if (found != indexOwners.end()) {
                    reposLog(logger, kLevelError, kSource, __LINE__, "Index \"%s\" assigned to \"%s\" already in use: %s",
                             number.c_str(), owner.c_str(), found->second.c_str());
                    result = false;
                } else {
                    indexOwners.emplace(number, owner);
                }
            }

            if (record->type == VQB_TYPE_STRING && record->length == 0 && !(record->flags & REPOS_COL_UNLIMITED))
                reposLog(logger, kLevelWarning, kSource, __LINE__,
                         "Field \"%s\" on table \"%s\" does not appear to have text length setting with flag or value.",
                         column, table);
            if (record->description == nullptr || record->description[0] == '\0')
                reposLog(logger, kLevelWarning, kSource, __LINE__,
                         "Field \"%s\" on table \"%s\" does not appear to have a description set.", column, table);

            if (record->flags & REPOS_COL_PRIMARY) {
                if (havePrimary) {
                    reposLog(logger, kLevelWarning, kSource, __LINE__,
                             "A primary key is being assigned to field \"%s\", a primary key was also found for field "
                             "\"%s\" on table \"%s\".",
                             column, primaryColumn.c_str(), table);
                } else {
                    primaryColumn = columnName;
                    havePrimary = true;
                }
            }
        }
        if (recordsWalked) recordsWalked[a] = walk.position();
    }
    return result;
}

}  // namespace

bool validateColumnDefArrays(const ReposColumnDef* const* arrays, size_t arrayCount, size_t* recordsWalked) {
    VqLogger* logger = vqlogGetLogger(REPOS_LOGGER_TABLES);
    try {
        return validateArrays(logger, arrays, arrayCount, recordsWalked);
    } catch (const std::exception& e) {
        reposLog(logger, kLevelError, kSource, __LINE__, "Table catalogue validation failed: %s", e.what());
        return false;
    }
}

bool validateTableCatalog() {
    // The built-in catalogue never changes while the process runs: its verdict, and its warnings
    // (which say nothing about the host's data), are given once.
    static const struct Verdict {
        bool result;
        size_t walked[2] = {0, 0};
        Verdict() {
            const ReposColumnDef* const arrays[] = {reposColumnDefs, ncoaColumnDefs};
            result = validateColumnDefArrays(arrays, 2, walked);
        }
    } verdict;
    // The shared walks end where a walk through them would have ended.
    g_mainPosition.store(static_cast<int32_t>(verdict.walked[0]), std::memory_order_relaxed);
    g_ncoaPosition.store(static_cast<int32_t>(verdict.walked[1]), std::memory_order_relaxed);
    return verdict.result;
}
