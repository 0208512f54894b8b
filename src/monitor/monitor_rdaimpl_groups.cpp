// Report groups, dimensions, their weightings inside a group, and thresholds.
#include <utility>

#include "monitor_rdaimpl.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

// Row 1 of each table is the default that references fall back to when their row goes.
const ReposDeleteStep kReportGroupDelete[] = {{"RPTGRP", "GRP_ID"}, {"EXEC", "GRP_ID", 1}};
const ReposDeleteStep kDimensionDelete[] = {{"DIMENS", "DIM_ID"}, {"JBRUME", "DIM_ID", 1}, {"DIMGRP", "DIM_ID"}};
const ReposDeleteStep kThresholdDelete[] = {
    {"THRHLD", "THR_ID"}, {"JBRUME", "THR_ID", 1}, {"DIMGRP", "THR_ID", 1}, {"RPTGRP", "THR_ID", 1}};

const char* const kBandColumns[] = {"NAME_%d", "START_%d", "END_%d", "COLOR_%d"};

template <size_t N>
constexpr size_t countOf(const ReposDeleteStep (&)[N]) {
    return N;
}

VqbDatavar dateValue(const VqbDate& date) { return date.isNull() ? VqbDatavar() : VqbDatavar(date.asDouble()); }

}  // namespace

bool MonitorRDAImpl::bandValues(int line, int bandCount, const VqbString* names, const double* starts,
                                const double* ends, const int* colors, VqbDatavar (&values)[kBands * 4]) {
    if (bandCount > 0 && !(names && starts && ends && colors))
        return refuse(kSource, line, VqbString("Threshold bands were given without their values"));
    for (int i = 0; i < kBands; ++i) {
        VqbDatavar* band = values + i * 4;
        if (i < bandCount) {
            band[0] = VqbDatavar(names[i]);
            band[1] = VqbDatavar(starts[i]);
            band[2] = VqbDatavar(ends[i]);
            band[3] = VqbDatavar(colors[i]);
        } else {
            for (int k = 0; k < 4; ++k) band[k] = VqbDatavar();
        }
    }
    return true;
}

bool MonitorRDAImpl::deleteUnlessDefault(int line, const DeleteStep* steps, size_t count, uint32_t id) {
    if (!checkConnection(kSource, line)) return false;
    if (id == 1 || id == kNone) return true;
    return deleteInSteps(kSource, line, steps, count, idValue(id));
}

ReposDataAccessCursor* MonitorRDAImpl::listNamed(int line, const char* table, const char* idColumn, uint32_t id,
                                                 const char* nameColumn, const VqbString& name) {
    Sql sql(rowSelect(table));
    return select(kSource, line, whereGiven(sql, idColumn, id).whereText(nameColumn, name));
}

// ---- report groups

bool MonitorRDAImpl::addReportGroup(const VqbString& name, const VqbString& description, int intervalCount,
                                    int intervalLength, int thresholdId, const VqbDate& endDate, const VqbString& user,
                                    const VqbString& uuid, int folderId, uint32_t* id) try {
    const VqbDatavar stamp(now());
    uint32_t newId = 0;
    if (!addUnique(__LINE__, "RPTGRP", "GRP_NAME", name, 1211,
                   Sql(onTable("INSERT INTO", "RPTGRP",
                               " (GRP_ID, GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, ENDDATE, UUID, CRDAT, EDDAT, "
                               "CRUSR, EDUSR, FLDR_ID) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                       {name, description, intervalCount, intervalLength, thresholdId, dateValue(endDate), uuid, stamp,
                        stamp, user, user, folderId}),
                   newId))
        return false;
    if (id) *id = newId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateReportGroup(uint32_t groupId, const VqbString& name, const VqbString& description,
                                       uint32_t intervalCount, uint32_t intervalLength, uint32_t thresholdId,
                                       const VqbDate& endDate, const VqbString& user, uint32_t folderId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (groupId == kNone) return true;
    PartialUpdate update = partialUpdate("RPTGRP");
    update.set("EDDAT", now(), false)
        .setIf(!name.isNull(), "GRP_NAME", name)
        .setIf(!description.isNull(), "GRP_DESC", description)
        .setIf(intervalCount != kNone, "INTNUM", idValue(intervalCount))
        .setIf(intervalLength != kNone, "INTLEN", idValue(intervalLength))
        .setIf(thresholdId != kNone, "THR_ID", idValue(thresholdId))
        .setIf(!endDate.isNull(), "ENDDATE", dateValue(endDate))
        .setIf(!user.isNull(), "EDUSR", user, false)
        .setIf(folderId != kNone, "FLDR_ID", idValue(folderId));
    return !update.changes() || runPrepared(kSource, __LINE__, update.statement().where("GRP_ID", idValue(groupId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteReportGroup(uint32_t groupId) try {
    return deleteUnlessDefault(__LINE__, kReportGroupDelete, countOf(kReportGroupDelete), groupId);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listReportGroups(uint32_t groupId, const VqbString& name) try {
    return listNamed(__LINE__, "RPTGRP", "GRP_ID", groupId, "GRP_NAME", name);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::listReportGroupsByThreshold(uint32_t thresholdId) try {
    static const ReposRowRead kByThreshold{"RPTGRP", {"THR_ID"}, nullptr};
    return readRows(kSource, __LINE__, kByThreshold, {idValue(thresholdId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::listReportGroupHistory(uint32_t groupId, const VqbDate& from,
                                                              const VqbDate& to) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    const VqbString sql = VqbString::format(
        "SELECT E.EX_NROWS, T.TR_CNT, J.DIM_ID, J.WGHT, J.THR_ID, R.RU_ID, R.RU_DESC, R.RU_COMM, R.RU_DISP, M.JB_ID, "
        "M.JB_DESC, M.JB_COMM, M.JB_DISP, M.JB_CODE, E.GRP_ID, E.EX_DATE FROM %s E LEFT JOIN %s M ON M.JB_ID=E.JB_ID "
        "LEFT JOIN %s J ON J.JB_ID=E.JB_ID LEFT JOIN %s R ON J.RU_ID=R.RU_ID LEFT JOIN %s T ON (T.EX_ID=E.EX_ID AND "
        "T.RU_ID=J.RU_ID) WHERE E.GRP_ID = ? AND E.EX_NROWS != -1 AND E.EX_DATE > ? AND E.EX_DATE < ? "
        "ORDER BY E.EX_DATE DESC",
        tableName("EXEC").asCstr(), tableName("MJOB").asCstr(), tableName("JBRUME").asCstr(),
        tableName("RULE").asCstr(), tableName("TRIG").asCstr());
    return select(kSource, __LINE__, Sql(sql, {idValue(groupId), from.asDouble(), to.asDouble()}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- dimensions and their weightings

bool MonitorRDAImpl::addDimension(const VqbString& name, const VqbString& description, const VqbString& user,
                                  const VqbString& uuid, int folderId, uint32_t* id) try {
    const VqbDatavar stamp(now());
    uint32_t newId = 0;
    if (!addUnique(__LINE__, "DIMENS", "DIM_NAME", name, 1211,
                   Sql(onTable("INSERT INTO", "DIMENS",
                               " (DIM_ID, DIM_NAME, DIM_DESC, UUID, CRDAT, EDDAT, CRUSR, EDUSR, FLDR_ID) "
                               "VALUES (?,?,?,?,?,?,?,?,?)"),
                       {name, description, uuid, stamp, stamp, user, user, folderId}),
                   newId))
        return false;
    if (id) *id = newId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateDimension(uint32_t dimensionId, const VqbString& name, const VqbString& description,
                                     const VqbString& user, uint32_t folderId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (dimensionId == kNone) return true;
    PartialUpdate update = partialUpdate("DIMENS");
    update.set("EDDAT", now(), false)
        .setIf(!name.isNull(), "DIM_NAME", name)
        .setIf(!description.isNull(), "DIM_DESC", description)
        .setIf(!user.isNull(), "EDUSR", user, false)
        .setIf(folderId != kNone, "FLDR_ID", idValue(folderId));
    return !update.changes() ||
           runPrepared(kSource, __LINE__, update.statement().where("DIM_ID", idValue(dimensionId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteDimension(uint32_t dimensionId) try {
    return deleteUnlessDefault(__LINE__, kDimensionDelete, countOf(kDimensionDelete), dimensionId);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listDimensions(uint32_t dimensionId, const VqbString& name) try {
    return listNamed(__LINE__, "DIMENS", "DIM_ID", dimensionId, "DIM_NAME", name);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::findDimension(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"DIMENS", "DIM_ID", "UUID", "DIM_NAME"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool MonitorRDAImpl::addDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                                       const VqbReal& weight) try {
    const VqbDatavar dimension(idValue(dimensionId)), group(idValue(groupId));
    return addUnlessPresent(
        __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "DIMGRP")).where("DIM_ID", dimension).where("GRP_ID", group),
        Sql(onTable("INSERT INTO", "DIMGRP", " (DIM_ID, GRP_ID, THR_ID, WGHT) VALUES (?,?,?,?)"),
            {dimension, group, idValue(thresholdId), weight}));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                                          const VqbReal& weight) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (dimensionId == kNone || groupId == kNone) return true;
    PartialUpdate update = partialUpdate("DIMGRP");
    update.setIf(thresholdId != kNone, "THR_ID", idValue(thresholdId)).setIf(!weight.isNull(), "WGHT", weight);
    return !update.changes() ||
           runPrepared(kSource, __LINE__,
                       update.statement().where("DIM_ID", idValue(dimensionId)).where("GRP_ID", idValue(groupId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteDimensionGroups(uint32_t groupId, uint32_t dimensionId) try {
    Sql sql(onTable("DELETE FROM", "DIMGRP"));
    return runPrepared(kSource, __LINE__, whereGiven(whereGiven(sql, "GRP_ID", groupId), "DIM_ID", dimensionId));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listDimensionGroups(uint32_t dimensionId, uint32_t groupId) try {
    Sql sql(rowSelect("DIMGRP"));
    return select(kSource, __LINE__, whereGiven(whereGiven(sql, "DIM_ID", dimensionId), "GRP_ID", groupId));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- thresholds

bool MonitorRDAImpl::addThreshold(const VqbString& name, const VqbString& description, const VqbString& user,
                                  const VqbString& uuid, int folderId, int bandCount, const VqbString* bandNames,
                                  const double* bandStarts, const double* bandEnds, const int* bandColors,
                                  uint32_t* id) try {
    VqbDatavar bands[kBands * 4];
    if (!bandValues(__LINE__, bandCount, bandNames, bandStarts, bandEnds, bandColors, bands)) return false;
    VqbString columns("THR_ID, THR_NAME, THR_DESC, UUID, CRDAT, EDDAT, CRUSR, EDUSR, FLDR_ID");
    VqbString marks("?,?,?,?,?,?,?,?,?");
    for (int i = 0; i < kBands; ++i)
        for (const char* column : kBandColumns) {
            columns.append(", ").append(VqbString::format(column, i));
            marks.append(",?");
        }
    const VqbDatavar stamp(now());
    Sql insert(onTable("INSERT INTO", "THRHLD",
                       VqbString::format(" (%s) VALUES (%s)", columns.asCstr(), marks.asCstr()).asCstr()),
               {name, description, uuid, stamp, stamp, user, user, folderId});
    for (const VqbDatavar& value : bands) insert.bind(value);
    uint32_t newId = 0;
    if (!addUnique(__LINE__, "THRHLD", "THR_NAME", name, 1211, std::move(insert), newId)) return false;
    if (id) *id = newId;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::updateThreshold(uint32_t thresholdId, const VqbString& name, const VqbString& description,
                                     const VqbString& user, uint32_t folderId, int bandCount,
                                     const VqbString* bandNames, const double* bandStarts, const double* bandEnds,
                                     const int* bandColors) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    if (thresholdId == kNone) return true;
    VqbDatavar bands[kBands * 4];
    if (!bandValues(__LINE__, bandCount, bandNames, bandStarts, bandEnds, bandColors, bands)) return false;
    PartialUpdate update = partialUpdate("THRHLD");
    update.set("EDDAT", now(), false)
        .setIf(!name.isNull(), "THR_NAME", name)
        .setIf(!description.isNull(), "THR_DESC", description)
        .setIf(!user.isNull(), "EDUSR", user, false)
        .setIf(folderId != kNone, "FLDR_ID", idValue(folderId));
    // The bands are rewritten whenever the threshold is: a bandCount of 0 clears them.
    for (int i = 0; i < kBands; ++i)
        for (int k = 0; k < 4; ++k)
            update.set(VqbString::format(kBandColumns[k], i).asCstr(), bands[i * 4 + k], bandCount > 0);
    return !update.changes() ||
           runPrepared(kSource, __LINE__, update.statement().where("THR_ID", idValue(thresholdId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool MonitorRDAImpl::deleteThreshold(uint32_t thresholdId) try {
    return deleteUnlessDefault(__LINE__, kThresholdDelete, countOf(kThresholdDelete), thresholdId);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* MonitorRDAImpl::listThresholds(uint32_t thresholdId, const VqbString& name) try {
    return listNamed(__LINE__, "THRHLD", "THR_ID", thresholdId, "THR_NAME", name);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* MonitorRDAImpl::findThreshold(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"THRHLD", "THR_ID", "UUID", "THR_NAME"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}
