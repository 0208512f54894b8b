// Every statement the library prepared on SQLite while the test programs ran (recorded into
// REPOS_SQL_RECORD), explained on a fresh repository: none may read a whole catalogue table or
// make SQLite build an automatic index, unless its shape is on one of the lists below. Run by
// CTest after every test program; run alone without records it is skipped.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "repos_admin.h"
#include "repos_held.h"
#include "repos_tables.h"
#include "sql_plans.h"
#include "sql_record.h"
#include "test_support.h"

namespace {

struct Allowed {
    const char* shape;  // as normaliseSql writes it
    const char* reason;
};

// Whole-table reads by design.
const char* const kCopy = "a copy reads every row of each table it copies";
const char* const kConvert = "converting a legacy file reads each of its tables whole";
const char* const kOnce = "a creation or upgrade step runs once and reads every row it may change";
const char* const kInfo = "INFO holds one row per product";
const char* const kList = "a list: its answer is every row of the table, or of one kind";
const char* const kExport = "an export of work tables by run date";
const char* const kSweep = "a sweep for resources that no link uses reads both tables whole";
const char* const kOwnWork = "the automatic index is built over the two fields' own materialised aggregates";
const char* const kTestOwn = "a test's own reading, sent through a library connection";
const char* const kHistory =
    "a list of every run that profiled a source or table, over the whole history: indexes on the names made "
    "SQLite, which keeps no statistics, prefer them to a run's own index in the per-run reads";
const char* const kChartList =
    "a list of the table charts of every report with that name, source or type: indexes on them made SQLite "
    "prefer them to a report's own index in its per-report reads";
const char* const kOneSidedDates =
    "NCOA runs from or up to a date: most of the history by design; SQLite reads the runs in the report's "
    "order rather than sort them (a window with both ends searches the date index)";
const char* const kBrokerTypes = "NCOA brokers of one type, a list over a handful of types";

// The copy's reads (repadmimpl_copy.cpp) are made below from the catalogue.

const Allowed kByDesign[] = {
    // ProfileRDAImpl::listTableCharts (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, B.CT_TBL, B.CT_FILT, "
     "B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND A.CH_NAME=? "
     "ORDER BY A.CH_ID", kChartList},
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, B.CT_TBL, B.CT_FILT, "
     "B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND B.CT_DSN=? "
     "ORDER BY A.CH_ID", kChartList},
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, B.CT_TBL, B.CT_FILT, "
     "B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND B.CT_TYPE=? "
     "ORDER BY A.CH_ID", kChartList},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A INNER JOIN "
     "\"NCOAED\" B ON A.RUN_ID=B.RUN_ID) WHERE A.EX_DATE<=? ORDER BY A.RUN_ID, B.SEQ_ID", kOneSidedDates},
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A INNER JOIN "
     "\"NCOAED\" B ON A.RUN_ID=B.RUN_ID) WHERE A.EX_DATE>=? ORDER BY A.RUN_ID, B.SEQ_ID", kOneSidedDates},
    // NCOARDAImpl::listBrokersByType (ncoa_rdaimpl.cpp)
    {"SELECT BR_ID, BUSNAME, ADDR, CITY, STATE, ZIP, TELNO, FAX, EMAIL, NAICS, BRTYPE, CUSTM#, CUSTM#, CUSTM#, "
     "SIGNNM, SIGNTITL, SIGNDATE, MODDATE FROM \"NCOABR\" WHERE BRTYPE=?", kBrokerTypes},
    // ProfileRDAImpl::listJobsOfTable, listJobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT a.*, d.* FROM \"JOB\" a, \"DSN\" b, \"TBL\" c, \"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND "
     "b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? AND c.TBL_CAT=? AND c.TBL_SCH=? AND c.TBL_NM=? "
     "ORDER BY a.JOB_DATE DESC", kHistory},
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, \"DSN\" b, \"TBL\" c, "
     "\"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? AND "
     "c.TBL_SCH=? ORDER BY b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC", kHistory},
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, \"DSN\" b, \"TBL\" c, "
     "\"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? ORDER BY "
     "b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC", kHistory},
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, \"DSN\" b, \"TBL\" c, "
     "\"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID AND c.TBL_NM=? ORDER BY "
     "b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC", kHistory},
    // CommonRDAImpl::listCustomMetrics (common_rdaimpl_metrics.cpp)
    {"SELECT CM_ID, CM_DESC, CM_PREXP, CM_EXP, CM_POSTXP, CM_UUID, CM_COMM FROM \"CUSTM\"", kList},
    // CommonRDAImpl::listFieldMappings (common_rdaimpl_mapping.cpp)
    {"SELECT MAP_ID, MAP_NAME, MAP_DESC, MAP_UUID, MAP_CRDT, MAP_EDDT, MAP_CRUS, MAP_EDUS, "
     "FLDR_ID FROM \"FLDMAP\"", kList},
    // CommonRDAImpl::listGlobalCategories (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, GCNAME, GCDESC FROM \"GCATS\"", kList},
    // CommonRDAImpl::listGlobalCategoryDefinitions (common_rdaimpl_gcats.cpp)
    {"SELECT DISTINCT DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM FROM \"GCDEF\"", kList},
    // CommonRDAImpl::listGlobalCategoryFields (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC, FLD_TYPE, FLD_LEN, "
     "FLD_POS FROM \"GCFLD\"", kList},
    // CommonRDAImpl::listGlobalCategoryRules (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, RU_ID FROM \"GCRUL\"", kList},
    // CommonRDAImpl::listKeyValueKeys (common_rdaimpl_mapping.cpp)
    {"SELECT DISTINCT V_KEY FROM \"KEYVAL\"", kList},
    // CommonRDAImpl::listKeyValues (common_rdaimpl_mapping.cpp)
    {"SELECT V_KEY, V_VALUE FROM \"KEYVAL\"", kList},
    // CommonRDAImpl::listMonitorFields (common_rdaimpl_metrics.cpp)
    {"SELECT FI_NAME, FI_DESC FROM \"MFLD\"", kList},
    // CommonRDAImpl::listNoteCategories (common_rdaimpl_metrics.cpp)
    {"SELECT NCAT_ID, NCAT_DSC FROM \"NOTCAT\"", kList},
    // CommonRDAImpl::listRules (common_rdaimpl.cpp)
    {"SELECT RU_ID, RU_DESC, RU_TYPE, RU_EXPR, RU_GROUP, RU_META, RU_CRDAT, RU_EDDAT, RU_USER, "
     "RU_UUID, FLDR_ID, RU_CRUSR, RU_COMM, RU_DISP FROM \"RULE\"", kList},
    // ExplorerRDAImpl::listProjects (explorer_rdaimpl.cpp)
    {"SELECT PRJ_ID, PRJ_NM, PRJ_DATE, PRJ_COMM, PMDATE, PADATE, PMUSER, PCUSER, PRJ_UUID, "
     "FLDR_ID, LRDATE, LRDUR, LRST FROM \"MPRJ\" ORDER BY PRJ_ID", kList},
    // MetadataRDAImpl::listFolders (meta_rdaimpl.cpp)
    {"SELECT FLDR_ID, FLDR_NAM, FLDR_PAR FROM \"FOLDER\"", kList},
    // MetadataRDAImpl::listResourceTypes (meta_rdaimpl_events.cpp)
    {"SELECT DISTINCT RCS_TYPE FROM \"IMPRCS\"", kList},
    // MetadataRDAImpl::listResources (meta_rdaimpl_events.cpp)
    {"SELECT RCS_ID, RCS_NM, RCS_IDTY, RCS_TYPE, RCS_ADAT FROM \"IMPRCS\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Dashboard' AS OBJTYPE, UUID, GRP_ID, GRP_NAME, FLDR_ID, CRDAT, EDDAT, CRUSR, EDUSR, "
     "GRP_DESC FROM \"RPTGRP\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'DataExploration' AS OBJTYPE, PRJ_UUID, PRJ_ID, PRJ_NM, FLDR_ID, PADATE, PMDATE, "
     "PCUSER, PMUSER, PRJ_COMM FROM \"MPRJ\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'DataExploration' AS OBJTYPE, PRJ_UUID, PRJ_ID, PRJ_NM, FLDR_ID, PADATE, PMDATE, "
     "PCUSER, PMUSER, PRJ_COMM FROM \"MPRJ\" UNION SELECT 'ProfileJob' AS OBJTYPE, SU_UUID, SU_ID, "
     "SU_NAME, FLDR_ID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, SU_DESC FROM \"JSETUP\" UNION "
     "SELECT 'Rule' AS OBJTYPE, RU_UUID, RU_ID, RU_DESC, FLDR_ID, RU_CRDAT, RU_EDDAT, RU_CRUSR, "
     "RU_USER, RU_COMM FROM \"RULE\" UNION SELECT 'Task' AS OBJTYPE, JB_CODE, JB_ID, JB_DESC, "
     "FLDR_ID, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, JB_COMM FROM \"MJOB\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'DataExploration' AS OBJTYPE, PRJ_UUID, PRJ_ID, PRJ_NM, FLDR_ID, PADATE, PMDATE, "
     "PCUSER, PMUSER, PRJ_COMM FROM \"MPRJ\" WHERE FLDR_ID IS NULL OR CAST(FLDR_ID AS VARCHAR(#)) = "
     "'' UNION SELECT 'ProfileJob' AS OBJTYPE, SU_UUID, SU_ID, SU_NAME, FLDR_ID, SU_CRDAT, "
     "SU_EDDAT, SU_CRUSR, SU_EDUSR, SU_DESC FROM \"JSETUP\" WHERE FLDR_ID IS NULL OR CAST(FLDR_ID "
     "AS VARCHAR(#)) = '' UNION SELECT 'Rule' AS OBJTYPE, RU_UUID, RU_ID, RU_DESC, FLDR_ID, "
     "RU_CRDAT, RU_EDDAT, RU_CRUSR, RU_USER, RU_COMM FROM \"RULE\" WHERE FLDR_ID IS NULL OR "
     "CAST(FLDR_ID AS VARCHAR(#)) = '' UNION SELECT 'Task' AS OBJTYPE, JB_CODE, JB_ID, JB_DESC, "
     "FLDR_ID, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, JB_COMM FROM \"MJOB\" WHERE FLDR_ID IS NULL "
     "OR CAST(FLDR_ID AS VARCHAR(#)) = ''", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Dimension' AS OBJTYPE, UUID, DIM_ID, DIM_NAME, FLDR_ID, CRDAT, EDDAT, CRUSR, EDUSR, "
     "DIM_DESC FROM \"DIMENS\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'ProfileJob' AS OBJTYPE, SU_UUID, SU_ID, SU_NAME, FLDR_ID, SU_CRDAT, SU_EDDAT, "
     "SU_CRUSR, SU_EDUSR, SU_DESC FROM \"JSETUP\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Rule' AS OBJTYPE, RU_UUID, RU_ID, RU_DESC, FLDR_ID, RU_CRDAT, RU_EDDAT, RU_CRUSR, "
     "RU_USER, RU_COMM FROM \"RULE\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Source' AS OBJTYPE, ES_UUID, ES_ID, ES_NAME, FLDR_ID, ES_CRDAT, ES_EDDAT, ES_CRUSR, "
     "ES_EDUSR, ES_DESC FROM \"EXSRC\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Task' AS OBJTYPE, JB_CODE, JB_ID, JB_DESC, FLDR_ID, JB_CRDAT, JB_EDDAT, JB_CRUSR, "
     "JB_EDUSR, JB_COMM FROM \"MJOB\" ORDER BY rowid", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Threshold' AS OBJTYPE, UUID, THR_ID, THR_NAME, FLDR_ID, CRDAT, EDDAT, CRUSR, EDUSR, "
     "THR_DESC FROM \"THRHLD\" ORDER BY rowid", kList},
    // MonitorRDAImpl::listNamed (monitor_rdaimpl_groups.cpp)
    {"SELECT GRP_ID, GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, ENDDATE, UUID, CRDAT, EDDAT, "
     "CRUSR, EDUSR, FLDR_ID FROM \"RPTGRP\"", kList},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON a.PAF_ID=b.PAF_ID "
     "WHERE a.ACTIVE=#) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID ORDER BY c.CRDATE ASC, "
     "c.PAF_ID ASC", kList},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID ORDER BY c.CRDATE ASC, "
     "c.PAF_ID ASC", kList},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A INNER "
     "JOIN \"NCOAED\" B ON A.RUN_ID=B.RUN_ID) ORDER BY A.RUN_ID, B.SEQ_ID", kList},
    // ProfileRDAImpl::chartRows (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, B.CT_TBL, "
     "B.CT_FILT, B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON A.CH_ID=B.CH_ID WHERE "
     "A.CH_TYPE='T' ORDER BY A.CH_ID", kList},
    // ProfileRDAImpl::chartRows (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.DOM_ID, C.GCNAME FROM \"CHT\" A ,\"CHTCAT\" "
     "B, \"GCATS\" C WHERE A.CH_ID=B.CH_ID AND B.DOM_ID=C.GC_ID AND A.CH_TYPE='C' ORDER BY A.CH_ID", kList},
    // ProfileRDAImpl::jobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, \"DSN\" b, "
     "\"TBL\" c, \"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID "
     "ORDER BY b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC", kList},
    // ProfileRDAImpl::listBusinessRuleOutputs (prof_rdaimpl_outputs.cpp)
    {"SELECT A.TBL_ID, A.BR_ID, B.RU_DESC, A.PBR_SEQ, A.FAIL_CNT, A.TRAIL_NM, A.FLD_DESC, "
     "A.ROW_CNT FROM ((\"PBROUT\" A INNER JOIN \"RULE\" B ON A.BR_ID = B.RU_ID) INNER JOIN \"TBL\" C ON "
     "A.TBL_ID = C.TBL_ID) INNER JOIN \"DSN\" D ON C.DSN_ID = D.DSN_ID ORDER BY A.TBL_ID, A.PBR_SEQ", kList},
    // ProfileRDAImpl::listRedundancyFieldsByMatch (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_ID, RDACFGID, JOB_ID FROM \"FLDRDA\"", kList},
    // ProfileRDAImpl::listTextFileInfos (prof_rdaimpl_match.cpp)
    {"SELECT TBL_NM, TF_FN, TF_DLIM, TF_TQ, TF_SROWS, TF_RWID, TF_MROWS, TF_TRUNC, TF_EOL, "
     "TF_ENC, TF_BOM FROM \"TFINF\"", kList},
    // ProfileRDAImpl::notes (prof_rdaimpl_notes.cpp)
    {"SELECT A.TN_ID, A.TN_NOTE, A.TN_USER, A.TN_DATE, B.NCAT_DSC, B.NCAT_ID FROM \"TBLNOT\" A, "
     "\"NOTCAT\" B WHERE A.NCAT_ID=B.NCAT_ID AND A.TN_TYPE=? ORDER BY A.TN_ID", kList},
    // ProfileRDAImpl::notes (prof_rdaimpl_notes.cpp)
    {"SELECT A.TN_ID, A.TN_NOTE, A.TN_USER, A.TN_DATE, B.NCAT_DSC, B.NCAT_ID FROM \"TBLNOT\" A, "
     "\"NOTCAT\" B WHERE A.NCAT_ID=B.NCAT_ID AND A.TN_TYPE=? ORDER BY A.TN_ID DESC", kList},
    // ProfileRDAImpl::readSetup (prof_rdaimpl_setup.cpp)
    {"SELECT SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, FLDR_ID "
     "FROM \"JSETUP\"", kList},
    // MetadataRDAImpl::normalizeFolderNames (meta_rdaimpl.cpp)
    {"SELECT FLDR_ID, FLDR_NAM FROM \"FOLDER\" WHERE NAM_NORM IS NULL OR NAM_NORM = ''", kOnce},
    // ReposDataUpgrade::ensureIdentityDefinitionLinkage (dataupgrades.cpp)
    {"SELECT IDENT_ID, IDENT_NM, ID_CRVER, ID_DLVER, ID_MDVER, PRJ_ID, SMPTYP, GC_ID, LOCALE, "
     "ID_UID FROM \"MIDDEF\"", kOnce},
    // ReposDataUpgrade::selectCached (dataupgrades.cpp)
    {"SELECT JB_ID, JB_CRUSR, JB_EDDAT, JB_EDUSR FROM \"MJOB\" WHERE JB_CRDAT IS NULL OR JB_CRDAT = "
     "#", kOnce},
    // ReposDataUpgrade::selectCached (dataupgrades.cpp)
    {"SELECT RU_ID FROM \"RULE\" WHERE RU_CRUSR IS NULL OR RU_CRUSR = ''", kOnce},
    // RepositoryAdminImpl::createTablesIn (repadmimpl_open.cpp)
    {"DELETE FROM \"KEYVAL\" WHERE V_KEY='MAX_TEXT_LEN'", kOnce},
    // RepositoryImpl::ensureDashboardDefaults (versiondata.cpp)
    {"SELECT DIM_ID FROM \"DIMENS\" WHERE DIM_NAME=?", kOnce},
    // RepositoryImpl::ensureDashboardDefaults (versiondata.cpp)
    {"SELECT GRP_ID FROM \"RPTGRP\"", kOnce},
    // RepositoryImpl::ensureDashboardDefaults (versiondata.cpp)
    {"UPDATE \"DIMGRP\" SET THR_ID=? WHERE THR_ID IS NULL", kOnce},
    // RepositoryImpl::ensureDashboardDefaults (versiondata.cpp)
    {"UPDATE \"JBRUME\" SET THR_ID=? WHERE THR_ID IS NULL", kOnce},
    // RepositoryImpl::ensureDashboardDefaults (versiondata.cpp)
    {"UPDATE \"RPTGRP\" SET THR_ID=? WHERE THR_ID IS NULL", kOnce},
    // RepositoryImpl::ensureIdCounters (versiondata.cpp)
    {"SELECT NI_KEY, NI_VAL FROM \"UCURID\"", kOnce},
    // ReposDataUpgrade::fillMissing (dataupgrades.cpp)
    {"UPDATE \"INFO\" SET I_UUID = ? WHERE I_DESC = ?", kInfo},
    // RepositoryImpl::getRepositoryUuid (repositoryimpl_factories.cpp)
    {"SELECT I_UUID FROM \"INFO\" WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::readVersionInfo (repositoryimpl.cpp)
    {"SELECT I_MVER FROM \"INFO\" WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::readVersionInfo (repositoryimpl.cpp)
    {"SELECT I_TYPE, I_VERS FROM \"INFO\"", kInfo},
    // RepositoryImpl::recordSpecVersion (repositoryimpl_specs.cpp)
    {"SELECT COUNT(*) FROM \"INFO\" WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::recordSpecVersion (repositoryimpl_specs.cpp)
    {"UPDATE \"INFO\" SET I_VERS=? WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::updateVersionInfo (repositoryimpl_upgrade.cpp)
    {"DELETE FROM \"INFO\" WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::updateVersionInfo (repositoryimpl_upgrade.cpp)
    {"UPDATE \"INFO\" SET I_MVER = ? WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::updateVersionInfo (repositoryimpl_upgrade.cpp)
    {"UPDATE \"INFO\" SET I_VERS = ? WHERE I_TYPE=?", kInfo},
    // RepositoryImpl::selectFieldIdsByJobDate (repositoryimpl_worktables.cpp)
    {"SELECT A.FLD_ID FROM \"FLD\" A INNER JOIN \"TBL\" B ON A.TBL_ID = B.TBL_ID AND A.DSN_ID = "
     "B.DSN_ID INNER JOIN \"DSN\" C ON B.DSN_ID = C.DSN_ID INNER JOIN \"JOB\" D ON C.JOB_ID = "
     "D.JOB_ID WHERE D.JOB_DATE >= ? AND D.JOB_DATE <= ? ORDER BY A.FLD_ID", kExport},
    // RepositoryImpl::selectMetricIdsByExecDate (repositoryimpl_worktables.cpp)
    {"SELECT A.HGM_ID FROM \"HGMETA\" A INNER JOIN \"EXEC\" B ON A.EX_ID = B.EX_ID WHERE B.EX_DATE "
     ">= ? AND B.EX_DATE <= ? ORDER BY A.HGM_ID", kExport},
    // ImpactStoreAccess::deleteUnused (repimpanlysimpl.cpp)
    {"DELETE FROM \"IMPRCS\" WHERE RCS_ID NOT IN (SELECT DISTINCT RCS_ID FROM \"IMPDEP\" UNION "
     "SELECT DISTINCT RCS_USED FROM \"IMPDEP\")", kSweep},
    // ProfileRDAImpl::getFrequencyOverlapStatistics (prof_rdaimpl_distrib.cpp)
    {"SELECT COUNT(*), SUM(a.ACOUNT), SUM(b.BCOUNT) FROM (SELECT MC_VALUE, SUM(MC_COUNT) AS "
     "ACOUNT FROM \"MCDIST\" WHERE FLD_ID=? GROUP BY MC_VALUE) a, (SELECT MC_VALUE, "
     "SUM(MC_COUNT) AS BCOUNT FROM \"MCDIST\" WHERE FLD_ID=? GROUP BY MC_VALUE) b WHERE "
     "a.MC_VALUE=b.MC_VALUE", kOwnWork},
    {"SELECT count(*) FROM \"ALPROP\"", kConvert},
    {"SELECT count(*) FROM \"JOBCFG\"", kConvert},
    {"SELECT count(*) FROM \"MCDIST\"", kConvert},
    {"SELECT count(*) FROM \"alert\"", kConvert},
    {"SELECT count(*) FROM \"dsn\"", kConvert},
    {"SELECT count(*) FROM \"fld\"", kConvert},
    {"SELECT count(*) FROM \"job\"", kConvert},
    {"SELECT count(*) FROM \"pkfk\"", kConvert},
    {"SELECT count(*) FROM \"ptile\"", kConvert},
    {"SELECT count(*) FROM \"redun2\"", kConvert},
    {"SELECT count(*) FROM \"tbl\"", kConvert},
    {"select dsn_id, # as job_id, dsn_name, dsn_conn, 'N' as dsn_tf from dsn", kConvert},
    {"select dsn_id, job_id, dsn_name, dsn_conn, 'N' as dsn_tf from dsn", kConvert},
    {"select dsn_id, tbl_id, fld_id, fld_type, fld_name, met_#, met_#, met_#, met_#, met_#, "
     "met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, "
     "met_#, met_#, met_#, met_#, met_#, met_#, # as met_# from fld", kConvert},
    {"select dsn_id, tbl_id, fld_id, fld_type, fld_name, met_#, met_#, met_#, met_#, met_#, "
     "met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, met_#, "
     "met_#, met_#, met_#, met_#, met_#, met_#, met_# from fld", kConvert},
    {"select job_id, # as rpt_id, job_date, job_desc from job", kConvert},
};

const Allowed kTestsOwn[] = {
    {"SELECT COUNT(*) FROM \"GCATS\" WHERE GCNAME=?", kTestOwn},
    {"SELECT COUNT(*) FROM \"PBRLOG\"", kTestOwn},
    {"SELECT COUNT(*) FROM \"UCURID\" WHERE (NI_VAL = NULL AND NI_VAL <> NI_VAL)", kTestOwn},
    {"SELECT I_TYPE, I_VERS FROM INFO", kTestOwn},
    {"SELECT NCAT_DSC, NCAT_ID FROM \"NOTCAT\" WHERE NCAT_DSC=?", kTestOwn},
    {"SELECT RU_ID, RU_DESC, RU_CRDAT, RU_TYPE FROM \"RULE\" ORDER BY RU_ID", kTestOwn},
    {"SELECT V_KEY, V_VALUE FROM \"KEYVAL\" WHERE V_VALUE=? ORDER BY V_KEY", kTestOwn},
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY='k'", kTestOwn},
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY='none'", kTestOwn},
};

// The copy's read of each catalogue table it copies: every column in catalogue order, joined
// without blanks (a typed class's whole-row read joins them with ", " and stays apart).
std::map<std::string, const char*> copyReads() {
    static const char* const kNotCopied[] = {"KEYVAL", "INFO", "BIGSTR"};
    std::map<std::string, const char*> shapes;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa, ReposCatalogId::NcoaExtended}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) {
            bool copied = true;
            for (const char* table : kNotCopied) copied = copied && std::string(table) != first->table;
            if (!copied) continue;
            std::string columns;
            ReposTableCursor cursor(first);
            ReposColumnView column;
            while (cursor.next(column)) columns += (columns.empty() ? "" : ",") + std::string(column.name);
            shapes.emplace(normaliseSql("SELECT " + columns + " FROM \"" + first->table + "\""), kCopy);
        }
    }
    return shapes;
}

struct Lists {
    const char* name;
    const Allowed* begin;
    const Allowed* end;
};

const Lists kLists[] = {
    {"by design", std::begin(kByDesign), std::end(kByDesign)},
    {"tests' own", std::begin(kTestsOwn), std::end(kTestsOwn)},
};

struct Permit {
    const char* list;
    const char* reason;
};

std::map<std::string, Permit> permits() {
    std::map<std::string, Permit> all;
    for (const auto& copy : copyReads()) all.emplace(copy.first, Permit{"by design", copy.second});
    for (const Lists& list : kLists)
        for (const Allowed* a = list.begin; a != list.end; ++a) all.emplace(a->shape, Permit{list.name, a->reason});
    return all;
}

// An entry that is no shape, or is on two lists, can never be what was meant.
TEST(PlanCheckLists, EveryEntryIsOneShapeOnOneList) {
    std::map<std::string, std::string> seen;
    for (const auto& copy : copyReads()) seen.emplace(copy.first, "the copy's reads");
    for (const Lists& list : kLists) {
        for (const Allowed* a = list.begin; a != list.end; ++a) {
            EXPECT_EQ(normaliseSql(a->shape), a->shape) << list.name;
            EXPECT_TRUE(a->reason && *a->reason) << a->shape;
            auto made = seen.emplace(a->shape, list.name);
            EXPECT_TRUE(made.second) << a->shape << " is on " << made.first->second << " and on " << list.name;
        }
    }
}

struct Shape {
    std::string text;  // the first text recorded with this shape
    std::string test;
};

class PlanCheck : public ::testing::Test {
protected:
    void SetUp() override {
        const char* folder = std::getenv("REPOS_SQL_RECORD");
        if (!folder || !*folder)
            GTEST_SKIP() << "REPOS_SQL_RECORD is not set: nothing was recorded to check (ctest runs the test "
                            "programs with it, then this check)";
        std::string error;
        ASSERT_TRUE(readSqlRecords(folder, records_, &error)) << error;
        if (records_.empty())
            GTEST_SKIP() << "no statements recorded in " << folder << ": run the test programs with REPOS_SQL_RECORD="
                         << folder << " first";

        // The reference-data tables of the table sets join catalogue tables in some statements.
        const std::string file = dir_.file("fresh.db");
        ConfigScope config;
        if (const char* source = std::getenv("REPOS_SOURCE_DIR"))
            config.set("REPOS/TABLE_LIST_PATH", (std::string(source) + "/etc/reposcreate").c_str());
        ReposHeld<RepositoryAdmin> admin(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
        ASSERT_TRUE(admin);
        ASSERT_TRUE(admin->createFileRepository(VqbString(file))) << admin->getErrorMessage().str();
        ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close_v2(db_); }

    // The detail column of each plan line; false with SQLite's reason when it cannot be explained.
    bool explain(const std::string& sql, std::vector<std::string>& plan, std::string& why) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            why = sqlite3_errmsg(db_);
            sqlite3_finalize(stmt);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
            plan.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)));
        if (rc != SQLITE_DONE) why = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
        return rc == SQLITE_DONE;
    }

    TempDir dir_;
    sqlite3* db_ = nullptr;
    std::vector<RecordedStatement> records_;
};

TEST_F(PlanCheck, NoStatementReadsAWholeCatalogueTable) {
    std::map<std::string, Shape> shapes;
    size_t statements = 0;
    for (const RecordedStatement& r : records_)
        for (const std::string& sql : splitSqlStatements(r.text)) {
            ++statements;
            shapes.emplace(normaliseSql(sql), Shape{sql, r.firstTest});
        }

    const std::set<std::string> catalogue = catalogueTableNames();
    const std::map<std::string, Permit> allowed = permits();
    std::map<std::string, size_t> allowedMet;
    std::set<std::string> met;
    std::vector<std::pair<const std::string*, std::string>> unexplained;
    std::ostringstream failures;
    size_t withoutPlan = 0, explained = 0, failed = 0;
    for (const auto& [shape, source] : shapes) {
        if (!hasQueryPlan(source.text)) {
            ++withoutPlan;
            continue;
        }
        std::vector<std::string> plan;
        std::string why;
        if (!explain(source.text, plan, why)) {
            unexplained.emplace_back(&shape, why);
            continue;
        }
        ++explained;
        std::set<std::string> scans, automatic;
        for (const std::string& line : plan) {
            PlanVerdict v = classifyPlanLine(line, source.text, catalogue);
            if (v.finding == PlanFinding::TableScan) scans.insert(v.table);
            if (v.finding == PlanFinding::AutomaticIndex) automatic.insert(v.table);
        }
        if (scans.empty() && automatic.empty()) continue;
        auto permit = allowed.find(shape);
        if (permit != allowed.end()) {
            ++allowedMet[permit->second.list];
            met.insert(shape);
            continue;
        }
        ++failed;
        failures << "\n  " << shape << "\n    first sent by " << source.test;
        if (!scans.empty()) failures << "\n    reads whole:";
        for (const std::string& t : scans) failures << " " << t;
        if (!automatic.empty()) failures << "\n    automatic index on:";
        for (const std::string& t : automatic) failures << " " << t;
        failures << "\n    as sent: " << source.text << "\n    plan:\n";
        for (const std::string& line : plan) failures << "      " << line << "\n";
    }

    std::cout << records_.size() << " texts recorded, " << statements << " statements, " << shapes.size()
              << " shapes: " << explained << " explained, " << withoutPlan
              << " without a query plan (DDL, transactions, pragmas), " << unexplained.size()
              << " not explainable on a fresh repository:\n";
    for (const auto& [shape, why] : unexplained) std::cout << "  skipped (" << why << "): " << *shape << "\n";
    for (const Lists& list : kLists) std::cout << allowedMet[list.name] << " allowed " << list.name << ", ";
    std::cout << "\n";

    EXPECT_EQ(failed, 0u) << failed << " statements read a whole catalogue table or build an automatic index:\n"
                          << failures.str();
}

}  // namespace
