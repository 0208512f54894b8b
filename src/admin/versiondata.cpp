// Data steps that bring a repository's rows to what the current code relies on: id counters that
// cover every id in use, and the monitor dashboard's default objects. New repositories run them
// too, as the end of their initial monitor data.
#include <map>
#include <utility>

#include "repos_reasons.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbutil.h"

namespace {

// Operations of RepositoryImpl, logged under its component name like its other files.
const char kSource[] = "repositoryimpl";

constexpr int kDefaultId = 1;

struct ThresholdRange {
    const char* name;
    double start;
    VqbDatavar end;
    int color;
};

const ThresholdRange kThresholdRanges[] = {
    {"Low", 0.1, VqbDatavar(90), 1},
    {"Medium", 90.1, VqbDatavar(98), 3},
    {"High", 98.1, VqbDatavar(100.1), 4},
};

// In this order; the first keeps the fixed id 1, the others draw theirs from counter DIMENS.
const char* const kDimensions[] = {"Accuracy", "Consistency", "Structure", "Integrity", "Validity", "Completeness"};

// Tables whose empty threshold (and, for JBRUME, dimension) the defaults fill.
const char* const kThresholdUsers[] = {"RPTGRP", "DIMGRP", "JBRUME"};

}  // namespace

bool RepositoryImpl::ensureIdCounters() {
    if (!connection_) return false;
    // A script holds no rows to read; the counters start empty there.
    if (ddlMode_) return true;
    // Runs on every connection, whatever its mode: it only raises counters, and a counter left
    // below the ids in use would hand those ids out again.

    auto logFailure = [&](int line, int level) {
        if (level < 5 || !reposConnectionLogged(connection_.get()))
            reposLog(logger_, level, kSource, line, "%s", connectionError().asCstr());
    };
    if (!connection_->beginTransaction(false)) {
        logFailure(__LINE__, 5);
        return false;
    }
    auto rollback = [&](int line) {
        logFailure(line, 5);
        connection_->endTransaction(false);
        return false;
    };

    const VqbString counters = table("UCURID");
    std::map<VqbString, int64_t> values;
    ReposHeld<ReposDataAccessCursor> cursor(connection_->paramSelect("SELECT NI_KEY, NI_VAL FROM " + counters, 0));
    if (!cursor) return rollback(__LINE__);
    while (cursor->next() == 1) {
        VqbString key = cursor->getString(0);
        int64_t value = cursor->getValue(1).asInt64();
        auto found = values.find(key);
        if (found == values.end() || value > found->second) values[key] = value;
    }
    cursor.reset();

    ReposCatalogWalk walk(ReposCatalogId::Main);
    while (const ReposColumnDef* record = walk.next()) {
        if (isReposEndRecord(record) || !record->column) continue;
        if (!(record->flags & REPOS_COL_PRIMARY) || record->type != VQB_TYPE_INT) continue;
        VqbString sql = VqbString::format("SELECT MAX(%s) FROM %s", record->column, table(record->table).asCstr());
        ReposHeld<ReposDataAccessCursor> highest(connection_->paramSelect(sql, 0));
        if (!highest) {
            logFailure(__LINE__, 2);
            continue;
        }
        if (highest->next() == 1 && !highest->isNull(0)) {
            int64_t value = highest->getValue(0).asInt64();
            auto found = values.find(record->table);
            if (found == values.end() || value > found->second) values[record->table] = value;
        }
    }

    if (!connection_->paramExec("DELETE FROM " + counters, nullptr, 0)) return rollback(__LINE__);
    const VqbString insert = "INSERT INTO " + counters + " (NI_KEY, NI_VAL) VALUES (?,?)";
    for (const auto& entry : values) {
        VqbDatavar key(entry.first), value(static_cast<long long>(entry.second));
        if (!connection_->paramExec(insert, nullptr, 2, &key, &value)) return rollback(__LINE__);
    }
    if (!connection_->endTransaction(true)) {
        logFailure(__LINE__, 5);
        return false;
    }
    return true;
}

bool RepositoryImpl::dashboardFailure(int line, ReposHeld<ReposDataAccessCursor> cursor) {
    failFromConnection(line);
    return abortDashboard(std::move(cursor));
}

bool RepositoryImpl::abortDashboard(ReposHeld<ReposDataAccessCursor> cursor) {
    cursor.reset();
    connection_->endTransaction(false);
    return false;
}

// Inserts the counter row when the counter is below value.
bool RepositoryImpl::ensureCounterAtLeast(const char* key, int value) {
    const VqbString counters = table("UCURID");
    VqbDatavar keyValue(key), wanted(value);
    int current = 0;
    if (!singletonInt(__LINE__, "SELECT MAX(NI_VAL) FROM " + counters + " WHERE NI_KEY=?", &current, &keyValue))
        return false;
    if (current >= value) return true;
    return exec(__LINE__, "INSERT INTO " + counters + " (NI_KEY, NI_VAL) VALUES (?,?)", &keyValue, &wanted);
}

bool RepositoryImpl::ensureDashboardDefaults() {
    if (!connection_) return false;
    if (ddlMode_) return true;
    if (!connection_->beginTransaction(false)) return failFromConnection(__LINE__);

    const double now = VqbDate::currentDate().asDouble();
    const VqbDatavar one(kDefaultId), nowValue(now), rootFolder(0);

    // Report group 1.
    const VqbString groups = table("RPTGRP");
    int count = 0;
    if (!singletonInt(__LINE__, "SELECT COUNT(*) FROM " + groups + " WHERE GRP_ID=?", &count, &one))
        return abortDashboard(nullptr);
    if (count == 0) {
        VqbDatavar name("Default"), description("Default dashboard"), intervals(7), length(24), uuid(vqbNewUUID());
        if (!exec(__LINE__,
                  "INSERT INTO " + groups +
                      " (GRP_ID, GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, UUID, CRDAT, EDDAT, FLDR_ID)"
                      " VALUES (?,?,?,?,?,?,?,?,?,?)",
                  &one, &name, &description, &intervals, &length, &one, &uuid, &nowValue, &nowValue, &rootFolder))
            return abortDashboard(nullptr);
    } else if (count == 1) {
        VqbDatavar description("Default dashboard");
        if (!exec(__LINE__, "UPDATE " + groups + " SET GRP_DESC=? WHERE GRP_ID=?", &description, &one))
            return abortDashboard(nullptr);
    }
    if (!ensureCounterAtLeast("RPTGRP", kDefaultId)) return abortDashboard(nullptr);

    // Dimensions, each linked to every report group.
    const VqbString dimensions = table("DIMENS");
    const VqbString links = table("DIMGRP");
    {
        VqbDatavar name("Default");
        if (!exec(__LINE__, "DELETE FROM " + dimensions + " WHERE DIM_ID=? AND DIM_NAME=?", &one, &name))
            return abortDashboard(nullptr);
    }
    const VqbString findDimension = "SELECT DIM_ID FROM " + dimensions + " WHERE DIM_NAME=?";
    const VqbString countLinks = "SELECT COUNT(*) FROM " + links + " WHERE DIM_ID=? AND GRP_ID=?";
    const VqbString insertLink = "INSERT INTO " + links + " (DIM_ID, GRP_ID, THR_ID, WGHT) VALUES (?,?,?,?)";
    for (size_t i = 0; i < sizeof kDimensions / sizeof kDimensions[0]; ++i) {
        VqbDatavar name(kDimensions[i]);
        status()->reportMessage(findDimension);
        ReposHeld<ReposDataAccessCursor> cursor(connection_->paramSelect(findDimension, 1, &name));
        if (!cursor) return dashboardFailure(__LINE__, nullptr);
        int state = cursor->next();
        if (state == 2) return dashboardFailure(__LINE__, std::move(cursor));
        int64_t id = 0;
        if (state == 1) id = cursor->getValue(0).asInt64();
        cursor.reset();
        if (state == 0) {
            if (i == 0) {
                id = kDefaultId;
                if (!ensureCounterAtLeast("DIMENS", kDefaultId)) return abortDashboard(nullptr);
            } else {
                VqbDatavar next;
                if (!connection_->getNextId("DIMENS", &next)) return dashboardFailure(__LINE__, nullptr);
                id = next.asInt64();
            }
            VqbDatavar idValue(static_cast<long long>(id)), empty(""), uuid(vqbNewUUID());
            if (!exec(__LINE__,
                      "INSERT INTO " + dimensions +
                          " (DIM_ID, DIM_NAME, DIM_DESC, UUID, CRDAT, EDDAT, FLDR_ID) VALUES (?,?,?,?,?,?,?)",
                      &idValue, &name, &empty, &uuid, &nowValue, &nowValue, &rootFolder))
                return abortDashboard(nullptr);
        }

        const VqbString selectGroups = "SELECT GRP_ID FROM " + groups;
        status()->reportMessage(selectGroups);
        ReposHeld<ReposDataAccessCursor> groupCursor(connection_->paramSelect(selectGroups, 0));
        if (!groupCursor) return dashboardFailure(__LINE__, nullptr);
        // Read whole before the inserts below touch the tables.
        if (!groupCursor->cacheAll()) return dashboardFailure(__LINE__, std::move(groupCursor));
        VqbDatavar dimension(static_cast<long long>(id)), weight(1.0);
        while ((state = groupCursor->next()) == 1) {
            VqbDatavar group(static_cast<long long>(groupCursor->getValue(0).asInt64()));
            int linked = 0;
            if (!singletonInt(__LINE__, countLinks, &linked, &dimension, &group))
                return abortDashboard(std::move(groupCursor));
            if (linked == 0 && !exec(__LINE__, insertLink, &dimension, &group, &one, &weight))
                return abortDashboard(std::move(groupCursor));
        }
        if (state == 2) return dashboardFailure(__LINE__, std::move(groupCursor));
    }

    if (!exec(__LINE__, "UPDATE " + table("EXEC") + " SET GRP_ID=? WHERE GRP_ID IS NULL", &one))
        return abortDashboard(nullptr);

    // Threshold 1.
    const VqbString thresholds = table("THRHLD");
    if (!singletonInt(__LINE__, "SELECT COUNT(*) FROM " + thresholds + " WHERE THR_ID=?", &count, &one))
        return abortDashboard(nullptr);
    std::vector<VqbDatavar> ranges;
    for (const ThresholdRange& range : kThresholdRanges) {
        ranges.emplace_back(range.name);
        ranges.emplace_back(range.start);
        ranges.push_back(range.end);
        ranges.emplace_back(range.color);
    }
    const VqbDatavar* r = ranges.data();
    if (count == 0) {
        VqbDatavar name("Default"), description("Default threshold"), uuid(vqbNewUUID());
        if (!exec(__LINE__,
                  "INSERT INTO " + thresholds +
                      " (THR_ID, THR_NAME, THR_DESC, UUID, CRDAT, EDDAT, FLDR_ID, NAME_0, START_0, END_0, COLOR_0,"
                      " NAME_1, START_1, END_1, COLOR_1, NAME_2, START_2, END_2, COLOR_2)"
                      " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                  &one, &name, &description, &uuid, &nowValue, &nowValue, &rootFolder, &r[0], &r[1], &r[2], &r[3],
                  &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], &r[10], &r[11]))
            return abortDashboard(nullptr);
    } else if (count == 1) {
        if (!exec(__LINE__,
                  "UPDATE " + thresholds +
                      " SET NAME_0=?, START_0=?, END_0=?, COLOR_0=?, NAME_1=?, START_1=?, END_1=?, COLOR_1=?,"
                      " NAME_2=?, START_2=?, END_2=?, COLOR_2=? WHERE THR_ID=?",
                  &r[0], &r[1], &r[2], &r[3], &r[4], &r[5], &r[6], &r[7], &r[8], &r[9], &r[10], &r[11], &one))
            return abortDashboard(nullptr);
    }
    if (!ensureCounterAtLeast("THRHLD", kDefaultId)) return abortDashboard(nullptr);

    for (const char* user : kThresholdUsers)
        if (!exec(__LINE__, "UPDATE " + table(user) + " SET THR_ID=? WHERE THR_ID IS NULL", &one))
            return abortDashboard(nullptr);
    if (!exec(__LINE__, "UPDATE " + table("JBRUME") + " SET DIM_ID=? WHERE DIM_ID IS NULL", &one))
        return abortDashboard(nullptr);

    return connection_->endTransaction(true) || failFromConnection(__LINE__);
}
