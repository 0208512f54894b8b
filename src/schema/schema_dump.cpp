// Text listing of the built-in repository tables for people reading the schema.
#include <algorithm>
#include <string>
#include <vector>

#include "np_fio.h"
#include "repos_guard.h"
#include "repos_repository.h"
#include "repos_schema.h"
#include "repos_tables.h"
#include "vqbstring.h"
#include "vqbutil.h"

namespace {

enum DumpGroup { kGroupProfile, kGroupMonitor, kGroupExplorer, kGroupNcoa, kGroupRepository, kGroupCount };

struct DumpTable {
    const char* name;
    const char* label;
    std::vector<const ReposColumnDef*> columns;
};

const char* areaLabel(int area) {
    switch (area) {
    case REPOS_AREA_PROFILE: return "Profile";
    case REPOS_AREA_MONITOR: return "Monitor";
    case REPOS_AREA_EXPLORER: return "Explorer";
    case REPOS_AREA_NCOA: return "NCOA";
    default: return "Repository";
    }
}

DumpGroup mainArrayGroup(int area) {
    switch (area) {
    case REPOS_AREA_PROFILE: return kGroupProfile;
    case REPOS_AREA_MONITOR: return kGroupMonitor;
    case REPOS_AREA_EXPLORER: return kGroupExplorer;
    default: return kGroupRepository;
    }
}

// Reads by index up to the stored count, not to the double end record.
template <typename Get>
void collectTables(Get get, int32_t count, bool ncoa, bool singleGroup, std::vector<DumpTable>* groups) {
    DumpTable table{nullptr, nullptr, {}};
    for (int32_t i = 0; i < count; ++i) {
        const ReposColumnDef* record = get(i);
        if (!isReposEndRecord(record)) {
            if (table.columns.empty()) {
                table.name = record->table;
                table.label = areaLabel(record->area);
            }
            table.columns.push_back(record);
            continue;
        }
        if (table.columns.empty()) continue;
        // A table can start in one area and end in another (RDARES); its group follows the end.
        DumpGroup group = singleGroup ? kGroupProfile
                          : ncoa      ? kGroupNcoa
                                      : mainArrayGroup(table.columns.back()->area);
        groups[group].push_back(std::move(table));
        table = DumpTable{nullptr, nullptr, {}};
    }
}

bool nameBefore(const char* a, const char* b) { return VqbString(a).compare(VqbString(b), true) < 0; }

void put(NpFioFile* file, const VqbString& text) { np_fio_puts(file, text.asCstr()); }

// Long texts are cut after the first blank at or after position 60, or at the width when
// there is none from there on.
size_t cutPosition(const std::string& text, size_t width) {
    size_t blank = text.find(' ', 60);
    return blank == std::string::npos ? width : blank + 1;
}

void writeTableDescription(NpFioFile* file, const char* description) {
    std::string text = description ? description : "";
    size_t tab = text.find('\t');
    if (tab != std::string::npos) text.erase(tab);
    while (text.size() > 80) {
        size_t cut = cutPosition(text, 80);
        put(file, VqbString::format("%s\r\n", text.substr(0, cut).c_str()));
        text.erase(0, cut);
    }
    put(file, VqbString::format("%s\r\n", text.c_str()));
}

void writeColumn(NpFioFile* file, const ReposColumnDef* column, bool withDescriptions) {
    const char* name = (column->flags & REPOS_COL_METRICS) ? "MET_<number>" : column->column;
    std::string lengthText;
    if (column->type == VQB_TYPE_STRING)
        lengthText = (column->flags & REPOS_COL_UNLIMITED) ? "(unlimited)"
                                                            : VqbString::format("(%d)", column->length).str();
    const char* keyText = (column->flags & REPOS_COL_PRIMARY) ? "primary key" : "";
    const char* indexText = (column->flags & REPOS_COL_INDEXED) ? "indexed" : "";
    const char* typeText = vqbTypeToString(column->type);

    if (!withDescriptions) {
        VqbString line = VqbString::format("%-15s %-10s %-12s %-12s %-25s\r\n", name, typeText, lengthText.c_str(),
                                           keyText, indexText);
        put(file, VqbString::format("  %s", line.asCstr()));
        return;
    }
    std::string line = VqbString::format("%-15s %-10s %-12s %-12s %-25s - %s\r\n", name, typeText, lengthText.c_str(),
                                         keyText, indexText, column->description ? column->description : "")
                           .str();
    while (line.size() > 78) {
        size_t cut = cutPosition(line, 78);
        put(file, VqbString::format("  %s\r\n", line.substr(0, cut).c_str()));
        line.erase(0, cut);
    }
    put(file, VqbString::format("  %s", line.c_str()));
}

unsigned writeSchema(const char* path, bool sortByName, bool withDescriptions, bool singleGroup) {
    // Everything is gathered before the file is opened, so a failure here leaves no file.
    std::vector<DumpTable> groups[kGroupCount];
    collectTables(getReposColumn, reposColumnDefCount, false, singleGroup, groups);
    collectTables([](int32_t i) { return getNcoaColumn(i, false); }, ncoaColumnDefCount, true, singleGroup, groups);

    if (sortByName) {
        for (std::vector<DumpTable>& group : groups) {
            std::stable_sort(group.begin(), group.end(),
                             [](const DumpTable& a, const DumpTable& b) { return nameBefore(a.name, b.name); });
            for (DumpTable& table : group)
                std::stable_sort(table.columns.begin(), table.columns.end(),
                                 [](const ReposColumnDef* a, const ReposColumnDef* b) {
                                     return nameBefore(a->column, b->column);
                                 });
        }
    }

    NpFioFile* file = nullptr;
    unsigned rc = np_fio_open(path, NP_FIO_WRITE, &file);
    if (rc != 0) return rc;
    try {
        put(file, VqbString::format("VELQORIN REPOSITORY SCHEMA - VERSION %d\r\n\r\n", REPOS_CURRENT_VERSION));
        for (const std::vector<DumpTable>& group : groups) {
            for (const DumpTable& table : group) {
                put(file, VqbString::format("TABLE: %s (%s)\r\n", table.name, table.label));
                if (withDescriptions) writeTableDescription(file, table.columns.front()->description);
                for (const ReposColumnDef* column : table.columns) writeColumn(file, column, withDescriptions);
                put(file, VqbString("\r\n"));
            }
        }
    } catch (const std::exception&) {
        np_fio_close(file);
        return NP_FIO_EGENERIC;
    }
    np_fio_close(file);
    return 0;
}

}  // namespace

extern "C" REPOS_EXPORT unsigned writeRepositorySchemaInfo(const char* path, bool sortByName, bool withDescriptions,
                                                           bool singleGroup) try {
    if (path == nullptr) return NP_FIO_EINVAL;
    return writeSchema(path, sortByName, withDescriptions, singleGroup);
} catch (...) {
    reposLogCaught("schema_dump", __LINE__);
    return NP_FIO_EGENERIC;
}
