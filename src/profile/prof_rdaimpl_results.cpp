// The profiled fields of a run with their metric values, percentiles, outliers, properties,
// categories and key candidates.
#include "prof_rdaimpl.h"

VqbString ProfileRDAImpl::metricColumns(const char* prefix, int metricCount) {
    VqbString columns("");
    for (int i = 0; i < metricCount; ++i) columns.append(VqbString::format(", %sMET_%d", prefix, i));
    return columns;
}

// ---- adding

bool ProfileRDAImpl::addField(uint32_t dataSourceId, uint32_t tableId, const VqbString& name, const VqbString& type,
                              uint32_t* id) try {
    // The metric values arrive later, one by one, through setFieldMetricValue.
    return insertKeyed(
        kSource, __LINE__, "FLD",
        Sql(onTable("INSERT INTO", "FLD", " (FLD_ID, DSN_ID, TBL_ID, FLD_NAME, FLD_TYPE, DOM_ID) VALUES (?,?,?,?,?,?)"),
            {idValue(dataSourceId), idValue(tableId), name, type, VqbDatavar()}),
        0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addPercentile(uint32_t fieldId, const VqbReal& percentile, const VqbReal& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "PTILE", " (FLD_ID, PT_INTVL, PT_VALUE) VALUES (?,?,?)"),
                   {idValue(fieldId), percentile, value}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addOutlier(uint32_t fieldId, bool low, int ordinal, const VqbString& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "OUTLR", " (FLD_ID, OU_TYPE, OU_ORDNL, OU_VALUE) VALUES (?,?,?,?)"),
                   {idValue(fieldId), low ? "L" : "H", ordinal, value}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addFieldProperty(uint32_t dataSourceId, uint32_t tableId, uint32_t fieldId,
                                      const VqbString& propertyName, const VqbString& propertyValue) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "FLDPRP", " (DSN_ID, TBL_ID, FLD_ID, PR_NAME, PR_VALUE) VALUES (?,?,?,?,?)"),
                   {idValue(dataSourceId), idValue(tableId), idValue(fieldId), propertyName, propertyValue}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addFieldCategory(uint32_t fieldId, uint32_t categoryId) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "FLDGCM", " (FLD_ID, GC_ID) VALUES (?,?)"),
                   {idValue(fieldId), idValue(categoryId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addPrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId, double matchPercentage) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "PKFK", " (FLD_ID, PF_FLDID, PF_PCT) VALUES (?,?,?)"),
                   {idValue(fieldId), idValue(otherFieldId), matchPercentage}));
} catch (...) {
    return caught(__LINE__, false);
}

// ---- reading

ReposDataAccessCursor* ProfileRDAImpl::listTableFieldCategories(uint32_t tableId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT C.FLD_ID, C.FLD_NAME, A.GC_ID, A.GCNAME, A.GCDESC FROM %s A, %s B, %s C "
                               "WHERE A.GC_ID=B.GC_ID AND B.FLD_ID=C.FLD_ID AND C.TBL_ID=? "
                               "ORDER BY C.FLD_NAME, A.GCNAME",
                               {"GCATS", "FLDGCM", "FLD"}),
                      {idValue(tableId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFieldMetrics(uint32_t runId, uint32_t dataSourceId, uint32_t tableId,
                                                        int metricCount) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    if (runId == kNone && dataSourceId == kNone && tableId == kNone) {
        refuse(kSource, __LINE__, "Must specify a job id, dsn id, or table id");
        return nullptr;
    }
    if (runId == kNone) {
        Sql sql(onTable(VqbString::format("SELECT FLD_ID, FLD_NAME, FLD_TYPE%s FROM",
                                          metricColumns("", metricCount).asCstr())
                            .asCstr(),
                        "FLD"));
        if (dataSourceId != kNone) sql.where("DSN_ID", idValue(dataSourceId));
        if (tableId != kNone) sql.where("TBL_ID", idValue(tableId));
        return select(kSource, __LINE__, sql.append(" ORDER BY FLD_NAME"));
    }
    VqbString text = VqbString::format("SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE%s ",
                                       metricColumns("A.", metricCount).asCstr());
    text.append(onTables("FROM %s A, %s B, %s C", {"FLD", "TBL", "DSN"}));
    Sql sql(text);
    sql.condition("A.TBL_ID=B.TBL_ID AND B.DSN_ID=C.DSN_ID").where("C.JOB_ID", idValue(runId));
    if (dataSourceId != kNone) sql.where("C.DSN_ID", idValue(dataSourceId));
    if (tableId != kNone) sql.where("B.TBL_ID", idValue(tableId));
    return select(kSource, __LINE__, sql.append(" ORDER BY A.FLD_NAME"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getFieldByName(uint32_t runId, const VqbString& dataSourceName,
                                                      const VqbString& catalog, const VqbString& schema,
                                                      const VqbString& tableOrFilterName, const VqbString& fieldName,
                                                      char sourceKind) try {
    Sql sql(onTables("SELECT A.FLD_NAME, C.TBL_SCH, C.TBL_NM, B.DSN_CONN, A.FLD_TYPE, C.TBL_FILT, C.TBL_FSQL, "
                     "B.DSN_TF, C.TBL_CAT, B.DSN_NAME, A.FLD_ID FROM %s A, %s B, %s C",
                     {"FLD", "DSN", "TBL"}));
    sql.where("B.JOB_ID", idValue(runId)).condition("A.DSN_ID=B.DSN_ID AND A.TBL_ID=C.TBL_ID");
    sql.where("A.FLD_NAME", fieldName).where("B.DSN_NAME", dataSourceName);
    // A table profiled through a named filter is found by the filter's name too.
    sql.condition("(C.TBL_NM=? OR C.TBL_FILT=?)").bind(tableOrFilterName).bind(tableOrFilterName);
    sql.whereText("C.TBL_SCH", schema).whereText("C.TBL_CAT", catalog).where("B.DSN_TF", charValue(sourceKind));
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getFieldSource(uint32_t fieldId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT A.FLD_NAME, B.TBL_SCH, B.TBL_NM, C.DSN_CONN, A.FLD_TYPE, B.TBL_FEXP, B.TBL_FSQL, "
                               "C.DSN_TF, B.TBL_CAT, C.DSN_NAME FROM %s A, %s B, %s C WHERE A.TBL_ID=B.TBL_ID AND "
                               "A.DSN_ID=C.DSN_ID AND A.FLD_ID=?",
                               {"FLD", "TBL", "DSN"}),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFieldMetricHistory(uint32_t firstRunId, uint32_t lastRunId,
                                                              const VqbString& dataSourceName,
                                                              const VqbString& catalog, const VqbString& schema,
                                                              const VqbString& tableOrFilterName,
                                                              const VqbString& fieldName, char sourceKind,
                                                              int metricCount) try {
    VqbString text = VqbString::format("SELECT D.JOB_ID, F.FLD_ID%s ", metricColumns("F.", metricCount).asCstr());
    text.append(onTables("FROM %s D, %s T, %s F", {"DSN", "TBL", "FLD"}));
    Sql sql(text);
    sql.condition("D.DSN_ID=T.DSN_ID AND T.TBL_ID=F.TBL_ID").where("D.DSN_NAME", dataSourceName);
    sql.condition("(T.TBL_FILT=? OR T.TBL_NM=?)").bind(tableOrFilterName).bind(tableOrFilterName);
    sql.where("F.FLD_NAME", fieldName);
    sql.condition("D.JOB_ID>=?").bind(idValue(firstRunId)).condition("D.JOB_ID<=?").bind(idValue(lastRunId));
    sql.where("D.DSN_TF", charValue(sourceKind)).whereText("T.TBL_SCH", schema).whereText("T.TBL_CAT", catalog);
    return select(kSource, __LINE__, sql.append(" ORDER BY D.JOB_ID"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listPercentiles(uint32_t fieldId) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT PT_INTVL, PT_VALUE FROM", "PTILE", " WHERE FLD_ID=? ORDER BY PT_INTVL"),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listOutliers(uint32_t fieldId) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT OU_TYPE, OU_ORDNL, OU_VALUE FROM", "OUTLR",
                              " WHERE FLD_ID=? ORDER BY OU_TYPE, OU_ORDNL"),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getFieldPropertyValue(uint32_t fieldId, const VqbString& propertyName) try {
    return select(kSource, __LINE__,
                  Sql(onTable("SELECT PR_VALUE FROM", "FLDPRP", " WHERE FLD_ID=? AND PR_NAME=?"),
                      {idValue(fieldId), propertyName}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getFieldMetricValue(uint32_t fieldId, int metricIndex) try {
    return select(kSource, __LINE__,
                  Sql(onTable(VqbString::format("SELECT MET_%d FROM", metricIndex).asCstr(), "FLD", " WHERE FLD_ID=?"),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFieldCategories(uint32_t runId, uint32_t fieldId) try {
    Sql sql(onTables("SELECT DISTINCT A.GC_ID, A.GCNAME, A.GCDESC FROM %s A, %s B, %s C, %s D",
                     {"GCATS", "FLDGCM", "FLD", "DSN"}));
    sql.condition("A.GC_ID=B.GC_ID AND B.FLD_ID=C.FLD_ID AND C.DSN_ID=D.DSN_ID");
    if (runId != kNone) sql.where("D.JOB_ID", idValue(runId));
    if (fieldId != kNone) sql.where("C.FLD_ID", idValue(fieldId));
    return select(kSource, __LINE__, sql.append(" ORDER BY A.GCNAME"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listCategoryFields(uint32_t categoryId, uint32_t runId, int metricCount) try {
    return categoryFields(__LINE__, categoryId, false, runId, metricCount);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listCategoryFieldsWithKeys(uint32_t categoryId, int metricCount,
                                                                  uint32_t runId) try {
    return categoryFields(__LINE__, categoryId, true, runId, metricCount);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::categoryFields(int line, uint32_t categoryId, bool withKeys, uint32_t runId,
                                                      int metricCount) {
    VqbString text("SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE, D.DSN_NAME, C.TBL_CAT, C.TBL_SCH, C.TBL_NM, C.TBL_FILT");
    if (withKeys) text.append(keyCounts());
    text.append(metricColumns("A.", metricCount));
    text.append(onTables(" FROM %s A, %s B, %s C, %s D", {"FLD", "FLDGCM", "TBL", "DSN"}));
    Sql sql(text);
    sql.condition("A.FLD_ID=B.FLD_ID AND A.TBL_ID=C.TBL_ID AND A.DSN_ID=D.DSN_ID");
    // Without keys the category is always a condition; with them it is optional.
    if (!withKeys || categoryId != kNone) sql.where("B.GC_ID", idValue(categoryId));
    if (runId != kNone) sql.where("D.JOB_ID", idValue(runId));
    return select(kSource, line, sql.append(" ORDER BY A.FLD_NAME"));
}

VqbString ProfileRDAImpl::keyCounts() {
    // Counted apart, so that a field's key rows and redundancy rows do not multiply each other.
    return onTables(", (SELECT COUNT(*) FROM %s E WHERE E.FLD_ID=A.FLD_ID) AS PKFK, "
                    "(SELECT COUNT(*) FROM %s F WHERE F.FLD_ID=A.FLD_ID) AS REDUN",
                    {"PKFK", "FLDRDA"});
}

ReposDataAccessCursor* ProfileRDAImpl::listTableFieldSummary(uint32_t tableId, int metricCount) try {
    VqbString text("SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE");
    text.append(keyCounts());
    text.append(metricColumns("A.", metricCount));
    text.append(onTable(" FROM", "FLD", " A"));
    return select(kSource, __LINE__, Sql(text).where("A.TBL_ID", idValue(tableId)).append(" ORDER BY A.FLD_NAME"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listPrimaryForeignKeys(uint32_t fieldId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT A.PF_FLDID, B.FLD_NAME, C.DSN_NAME, D.TBL_CAT, D.TBL_SCH, D.TBL_NM, A.PF_PCT "
                               "FROM %s A, %s B, %s C, %s D WHERE A.PF_FLDID=B.FLD_ID AND B.DSN_ID=C.DSN_ID AND "
                               "B.TBL_ID=D.TBL_ID AND A.FLD_ID=?",
                               {"PKFK", "FLD", "DSN", "TBL"}),
                      {idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- updating and deleting

bool ProfileRDAImpl::setFieldMetricValue(uint32_t fieldId, int metricIndex, const VqbDatavar& value) try {
    return run(kSource, __LINE__,
               Sql(onTable("UPDATE", "FLD", VqbString::format(" SET MET_%d=? WHERE FLD_ID=?", metricIndex).asCstr()),
                   {value, idValue(fieldId)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteFieldProperty(uint32_t fieldId, const VqbString& propertyName) try {
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "FLDPRP", " WHERE FLD_ID=? AND PR_NAME=?"), {idValue(fieldId), propertyName}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteFieldCategory(uint32_t fieldId, uint32_t categoryId) try {
    Sql sql(onTable("DELETE FROM", "FLDGCM"));
    sql.where("FLD_ID", idValue(fieldId));
    // None removes every category link of the field.
    if (categoryId != kNone) sql.where("GC_ID", idValue(categoryId));
    return run(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deletePrimaryForeignKey(uint32_t fieldId, uint32_t otherFieldId) try {
    return run(kSource, __LINE__,
               Sql(onTable("DELETE FROM", "PKFK", " WHERE FLD_ID=? AND PF_FLDID=?"),
                   {idValue(fieldId), idValue(otherFieldId)}));
} catch (...) {
    return caught(__LINE__, false);
}
