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

// The copy's reads (repadmimpl_copy.cpp) are made below from the catalogue.

const Allowed kByDesign[] = {
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
     "GRP_DESC FROM \"RPTGRP\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'DataExploration' AS OBJTYPE, PRJ_UUID, PRJ_ID, PRJ_NM, FLDR_ID, PADATE, PMDATE, "
     "PCUSER, PMUSER, PRJ_COMM FROM \"MPRJ\"", kList},
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
     "DIM_DESC FROM \"DIMENS\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'ProfileJob' AS OBJTYPE, SU_UUID, SU_ID, SU_NAME, FLDR_ID, SU_CRDAT, SU_EDDAT, "
     "SU_CRUSR, SU_EDUSR, SU_DESC FROM \"JSETUP\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Rule' AS OBJTYPE, RU_UUID, RU_ID, RU_DESC, FLDR_ID, RU_CRDAT, RU_EDDAT, RU_CRUSR, "
     "RU_USER, RU_COMM FROM \"RULE\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Source' AS OBJTYPE, ES_UUID, ES_ID, ES_NAME, FLDR_ID, ES_CRDAT, ES_EDDAT, ES_CRUSR, "
     "ES_EDUSR, ES_DESC FROM \"EXSRC\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Task' AS OBJTYPE, JB_CODE, JB_ID, JB_DESC, FLDR_ID, JB_CRDAT, JB_EDDAT, JB_CRUSR, "
     "JB_EDUSR, JB_COMM FROM \"MJOB\"", kList},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Threshold' AS OBJTYPE, UUID, THR_ID, THR_NAME, FLDR_ID, CRDAT, EDDAT, CRUSR, EDUSR, "
     "THR_DESC FROM \"THRHLD\"", kList},
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
    {"SELECT I_TYPE, I_VERS FROM INFO", kTestOwn},
    {"SELECT NCAT_DSC, NCAT_ID FROM \"NOTCAT\" WHERE NCAT_DSC=?", kTestOwn},
    {"SELECT RU_ID, RU_DESC, RU_CRDAT, RU_TYPE FROM \"RULE\" ORDER BY RU_ID", kTestOwn},
    {"SELECT V_KEY, V_VALUE FROM \"KEYVAL\" WHERE V_VALUE=? ORDER BY V_KEY", kTestOwn},
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY='k'", kTestOwn},
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY='none'", kTestOwn},
};

const char* const kKeyValues = "key/values: KEYVAL.V_KEY has no index";
const char* const kGlobalCategories = "global categories: GCFLD/GCDEF/GCRUL.GC_ID and GCATS.GCNAME have no index";
const char* const kObjectLocks = "object locks: OBJLCK has no index on (OBJ_ID, OBJ_TYPE)";
const char* const kFolderObjects = "objects by path / folder contents: FLDR_ID of RPTGRP, DIMENS, THRHLD has no index";
const char* const kJobSetupNames = "job setups: JSETUP.SU_NAME has no index";
const char* const kRunDeletes =
    "run-history deletes: DSN.JOB_ID, FLD.DSN_ID and the cascade filter columns have no index";
const char* const kRunReads =
    "per-run reads: DSN.JOB_ID, FLD.DSN_ID, FLDNOT.FLD_ID, TBLNOT.TBL_ID, ALERT.JOB_ID, REPORT.SU_ID, "
    "FLDRDA.FLD_ID, RDACFG.JOB_ID have no index";
const char* const kRedundancyResults =
    "redundancy results by configuration or field pair: RDARES has no index on RDACFGID, FLD_IDL/FLD_IDR";
const char* const kRedundancyFields =
    "redundancy fields of a configuration or match: FLDRDA.RDACFGID and RDACFG.MC_ID have no index";
const char* const kExplorerProjects = "explorer project rows: PRJ_ID of the explorer tables has no index";
const char* const kChartFilters =
    "table charts by name, source or type: CHT.CH_NAME, CHTTAB.CT_DSN/CT_TYPE have no index";
const char* const kNcoaRuns = "NCOA run reports by PAF or date: NCOAED.RUN_ID / NCOAEX.EX_DATE/PAF_ID have no index";
const char* const kNcoaPafs =
    "NCOA PAF lists filtered by name, list or owner: NCOAPA.LISTNAME/NCOAPAF, NCOAPO/NCOAPB.BUSNAME have no index";
const char* const kNcoaBrokers = "NCOA brokers by type: NCOABR.BRTYPE has no index";
const char* const kMonitorNames =
    "monitor lookups by name: DIMENS.DIM_NAME, RPTGRP.GRP_NAME, THRHLD.THR_NAME, MJOB.JB_DESC, EXSRC.ES_NAME, "
    "EXPRTP.PR_NAME have no index";
const char* const kThresholdRefs =
    "threshold references moved to the default on delete: THR_ID of DIMGRP, JBRUME, RPTGRP has no index";
const char* const kNeverMatching =
    "a name kept apart that no big string holds becomes \"(c <> c)\", which still reads every row";
const char* const kRefDataAttributes =
    "reference-data items with attributes: the derived table reads every RDIAVR row and SQLite builds an "
    "automatic index on it";
const char* const kMetricInputs = "job custom-metric inputs by metric: JTBLME.CM_UID has no index";
const char* const kReportOutputs =
    "report outputs of a report: JOB.RPT_ID join read through a full index scan of PBROUT/PCMOUT";
const char* const kSourceNames =
    "jobs of a source and metric history by source names: DSN.DSN_NAME, TBL.TBL_NM have no index";

const Allowed kPending[] = {
    // CommonRDAImpl::deleteKeyValue (common_rdaimpl_mapping.cpp)
    {"DELETE FROM \"KEYVAL\" WHERE (V_KEY IN (?))", kKeyValues},
    // CommonRDAImpl::deleteKeyValue (common_rdaimpl_mapping.cpp)
    {"DELETE FROM \"KEYVAL\" WHERE (V_KEY IN (?, ...))", kKeyValues},
    // CommonRDAImpl::getKeyValue (common_rdaimpl_mapping.cpp)
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE (V_KEY IN (?))", kKeyValues},
    // CommonRDAImpl::getKeyValue (common_rdaimpl_mapping.cpp)
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE (V_KEY IN (?, ...))", kKeyValues},
    // CommonRDAImpl::getKeyValue (common_rdaimpl_mapping.cpp)
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY=?", kKeyValues},
    // CommonRDAImpl::setKeyValue (common_rdaimpl_mapping.cpp)
    {"SELECT COUNT(*) FROM \"KEYVAL\" WHERE (V_KEY IN (?))", kKeyValues},
    // CommonRDAImpl::setKeyValue (common_rdaimpl_mapping.cpp)
    {"SELECT COUNT(*) FROM \"KEYVAL\" WHERE (V_KEY IN (?, ...))", kKeyValues},
    // CommonRDAImpl::setKeyValue (common_rdaimpl_mapping.cpp)
    {"UPDATE \"KEYVAL\" SET V_VALUE=? WHERE (V_KEY IN (?))", kKeyValues},
    // CommonRDAImpl::setKeyValue (common_rdaimpl_mapping.cpp)
    {"UPDATE \"KEYVAL\" SET V_VALUE=? WHERE (V_KEY IN (?, ...))", kKeyValues},
    // CommonRDAImpl::setKeyValue (common_rdaimpl_mapping.cpp)
    {"UPDATE \"KEYVAL\" SET V_VALUE=? WHERE V_KEY=?", kKeyValues},
    // RepositoryAdminImpl::sameRepository (repadmimpl_copy.cpp)
    {"DELETE FROM \"KEYVAL\" WHERE V_KEY=?", kKeyValues},
    // RepositoryImpl::isCopyUnfinished (repositoryimpl.cpp)
    {"SELECT COUNT(*) FROM \"KEYVAL\" WHERE V_KEY=?", kKeyValues},
    // RepositoryImpl::open (repositoryimpl.cpp)
    {"SELECT V_VALUE FROM \"KEYVAL\" WHERE V_KEY = 'MAX_TEXT_LEN'", kKeyValues},
    // CommonRDAImpl::deleteGlobalCategory (common_rdaimpl_gcats.cpp)
    {"DELETE FROM \"GCDEF\" WHERE GC_ID=?", kGlobalCategories},
    // CommonRDAImpl::deleteGlobalCategory (common_rdaimpl_gcats.cpp)
    {"DELETE FROM \"GCFLD\" WHERE GC_ID=?", kGlobalCategories},
    // CommonRDAImpl::deleteGlobalCategory (common_rdaimpl_gcats.cpp)
    {"DELETE FROM \"GCRUL\" WHERE GC_ID=?", kGlobalCategories},
    // CommonRDAImpl::deleteGlobalCategoryFields (common_rdaimpl_gcats.cpp)
    {"DELETE FROM \"GCFLD\" WHERE GC_ID=? AND MAP_INC=?", kGlobalCategories},
    // CommonRDAImpl::exactGlobalCategoryField (common_rdaimpl_gcats.cpp)
    {"SELECT COUNT(*) FROM \"GCFLD\" WHERE GC_ID=? AND COALESCE(MAP_DSN,'')=? AND "
     "COALESCE(MAP_CAT,'')=? AND COALESCE(MAP_SCH,'')=? AND COALESCE(MAP_TBL,'')=? "
     "AND COALESCE(MAP_FLD,'')=? AND MAP_INC=?", kGlobalCategories},
    // CommonRDAImpl::existsGlobalCategoryField (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC, FLD_TYPE, "
     "FLD_LEN, FLD_POS FROM \"GCFLD\" WHERE GC_ID=? AND MAP_INC=?", kGlobalCategories},
    // CommonRDAImpl::findGlobalCategory (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, GCNAME, GCDESC FROM \"GCATS\" WHERE GCNAME=?", kGlobalCategories},
    // CommonRDAImpl::globalCategoryDefinitionId (common_rdaimpl_gcats.cpp)
    {"SELECT DEF_ID FROM \"GCDEF\" WHERE GC_ID=? AND DEF_LOC=? AND TS_ID=? AND TKN_ID=?", kGlobalCategories},
    // CommonRDAImpl::globalCategoryIdByName (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID FROM \"GCATS\" WHERE (GCNAME IN (?))", kGlobalCategories},
    // CommonRDAImpl::globalCategoryIdByName (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID FROM \"GCATS\" WHERE (GCNAME IN (?, ...))", kGlobalCategories},
    // CommonRDAImpl::globalCategoryIdByName (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID FROM \"GCATS\" WHERE GCNAME=?", kGlobalCategories},
    // CommonRDAImpl::globalCategoryRule (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID FROM \"GCRUL\" WHERE GC_ID=? AND RU_ID=?", kGlobalCategories},
    // CommonRDAImpl::listGlobalCategoryDefinitionsOfCategory (common_rdaimpl_gcats.cpp)
    {"SELECT DEF_ID, GC_ID, DEF_LOC, TS_ID, TS_NM, TKN_ID, TKN_NM, TKN_DESC FROM "
     "\"GCDEF\" WHERE GC_ID=?", kGlobalCategories},
    // CommonRDAImpl::listGlobalCategoryFields (common_rdaimpl_gcats.cpp)
    {"SELECT GC_ID, MAP_DSN, MAP_CAT, MAP_SCH, MAP_TBL, MAP_FLD, MAP_INC, FLD_TYPE, "
     "FLD_LEN, FLD_POS FROM \"GCFLD\" WHERE GC_ID=?", kGlobalCategories},
    // CommonRDAImpl::setGlobalCategoryFieldInclude (common_rdaimpl_gcats.cpp)
    {"UPDATE \"GCFLD\" SET MAP_INC=? WHERE GC_ID=?", kGlobalCategories},
    // MetadataRDAImpl::getObjectLock (meta_rdaimpl.cpp)
    {"SELECT LCK_ID, OBJ_ID, OBJ_TYPE, OBJ_UUID, LCK_CDAT, LCK_USR FROM \"OBJLCK\" WHERE "
     "OBJ_ID = ? AND OBJ_TYPE = ?", kObjectLocks},
    // MetadataRDAImpl::lockObject (meta_rdaimpl.cpp)
    {"UPDATE \"OBJLCK\" SET LCK_USR = ? , LCK_CDAT = ? WHERE OBJ_ID = ? AND OBJ_TYPE = ?", kObjectLocks},
    // MetadataRDAImpl::readLockId (meta_rdaimpl.cpp)
    {"SELECT LCK_ID FROM \"OBJLCK\" WHERE OBJ_ID = ? AND OBJ_TYPE = ?", kObjectLocks},
    // MetadataRDAImpl::folderHasContents (meta_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"DIMENS\" WHERE FLDR_ID=?", kFolderObjects},
    // MetadataRDAImpl::folderHasContents (meta_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"RPTGRP\" WHERE FLDR_ID=?", kFolderObjects},
    // MetadataRDAImpl::folderHasContents (meta_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"THRHLD\" WHERE FLDR_ID=?", kFolderObjects},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Dashboard' AS OBJTYPE, UUID, GRP_ID, GRP_NAME, FLDR_ID, CRDAT, EDDAT, "
     "CRUSR, EDUSR, GRP_DESC FROM \"RPTGRP\" WHERE FLDR_ID=?", kFolderObjects},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Dimension' AS OBJTYPE, UUID, DIM_ID, DIM_NAME, FLDR_ID, CRDAT, EDDAT, "
     "CRUSR, EDUSR, DIM_DESC FROM \"DIMENS\" WHERE FLDR_ID=?", kFolderObjects},
    // MetadataRDAImpl::selectObjectRows (meta_rdaimpl_objects.cpp)
    {"SELECT 'Threshold' AS OBJTYPE, UUID, THR_ID, THR_NAME, FLDR_ID, CRDAT, EDDAT, "
     "CRUSR, EDUSR, THR_DESC FROM \"THRHLD\" WHERE FLDR_ID=?", kFolderObjects},
    // ProfileRDAImpl::findJobSetup (prof_rdaimpl_setup.cpp)
    {"SELECT SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, "
     "FLDR_ID FROM \"JSETUP\" WHERE (SU_NAME IN (?))", kJobSetupNames},
    // ProfileRDAImpl::findJobSetup (prof_rdaimpl_setup.cpp)
    {"SELECT SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, "
     "FLDR_ID FROM \"JSETUP\" WHERE (SU_NAME IN (?, ...))", kJobSetupNames},
    // ProfileRDAImpl::findJobSetup (prof_rdaimpl_setup.cpp)
    {"SELECT SU_ID, SU_NAME, SU_DESC, SU_UUID, SU_CRDAT, SU_EDDAT, SU_CRUSR, SU_EDUSR, "
     "FLDR_ID FROM \"JSETUP\" WHERE SU_NAME=?", kJobSetupNames},
    // ProfileRDAImpl::deleteJobSetup (prof_rdaimpl_cascade.cpp)
    {"SELECT RPT_ID FROM \"REPORT\" WHERE SU_ID=?", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"ALERT\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"ALERT\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"DSN\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"DSN\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"EXELOG\" WHERE TBL_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"EXELOG\" WHERE TBL_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDNOT\" WHERE FLD_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDNOT\" WHERE FLD_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE FLD_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE FLD_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"RDACFG\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"RDACFG\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"RDARES\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"RDARES\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"TBLNOT\" WHERE TBL_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"DELETE FROM \"TBLNOT\" WHERE TBL_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"SELECT AL_ID FROM \"ALERT\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"SELECT AL_ID FROM \"ALERT\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"SELECT DSN_ID FROM \"DSN\" WHERE JOB_ID IN (?)", kRunDeletes},
    // ProfileRDAImpl::deleteJobsCascade (prof_rdaimpl_cascade.cpp)
    {"SELECT DSN_ID FROM \"DSN\" WHERE JOB_ID IN (?, ...)", kRunDeletes},
    // ProfileRDAImpl::deleteReportJobs (prof_rdaimpl_cascade.cpp)
    {"SELECT b.FLD_ID FROM \"DSN\" a, \"FLD\" b WHERE a.DSN_ID=b.DSN_ID AND a.JOB_ID=?", kRunDeletes},
    // ProfileRDAImpl::categoryFields (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE, D.DSN_NAME, C.TBL_CAT, C.TBL_SCH, C.TBL_NM, "
     "C.TBL_FILT, (SELECT COUNT(*) FROM \"PKFK\" E WHERE E.FLD_ID=A.FLD_ID) AS PKFK, (SELECT "
     "COUNT(*) FROM \"FLDRDA\" F WHERE F.FLD_ID=A.FLD_ID) AS REDUN, A.MET_# FROM \"FLD\" A, "
     "\"FLDGCM\" B, \"TBL\" C, \"DSN\" D WHERE A.FLD_ID=B.FLD_ID AND A.TBL_ID=C.TBL_ID AND "
     "A.DSN_ID=D.DSN_ID AND B.GC_ID=? ORDER BY A.FLD_NAME", kRunReads},
    // ProfileRDAImpl::deleteRedundancyFieldsEx (prof_rdaimpl_redundancy.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE RDACFGID=? AND FLD_ID=?", kRunReads},
    // ProfileRDAImpl::getFieldByName (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_NAME, C.TBL_SCH, C.TBL_NM, B.DSN_CONN, A.FLD_TYPE, C.TBL_FILT, C.TBL_FSQL, "
     "B.DSN_TF, C.TBL_CAT, B.DSN_NAME, A.FLD_ID FROM \"FLD\" A, \"DSN\" B, \"TBL\" C WHERE "
     "B.JOB_ID=? AND A.DSN_ID=B.DSN_ID AND A.TBL_ID=C.TBL_ID AND A.FLD_NAME=? AND "
     "B.DSN_NAME=? AND (C.TBL_NM=? OR C.TBL_FILT=?) AND B.DSN_TF=?", kRunReads},
    // ProfileRDAImpl::getFieldByName (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_NAME, C.TBL_SCH, C.TBL_NM, B.DSN_CONN, A.FLD_TYPE, C.TBL_FILT, C.TBL_FSQL, "
     "B.DSN_TF, C.TBL_CAT, B.DSN_NAME, A.FLD_ID FROM \"FLD\" A, \"DSN\" B, \"TBL\" C WHERE "
     "B.JOB_ID=? AND A.DSN_ID=B.DSN_ID AND A.TBL_ID=C.TBL_ID AND A.FLD_NAME=? AND "
     "B.DSN_NAME=? AND (C.TBL_NM=? OR C.TBL_FILT=?) AND C.TBL_SCH=? AND C.TBL_CAT=? AND "
     "B.DSN_TF=?", kRunReads},
    // ProfileRDAImpl::getRedundancyConfigByName (prof_rdaimpl_redundancy.cpp)
    {"SELECT a.RDACFGID, a.RDACFGNM, a.RDACFGDS, a.MC_ID, a.JOB_ID, b.MC_DEF, b.MC_SENS, "
     "b.MC_LOC FROM \"RDACFG\" a LEFT OUTER JOIN \"MATCH\" b ON a.MC_ID=b.MC_ID WHERE "
     "a.RDACFGNM=? AND a.JOB_ID=?", kRunReads},
    // ProfileRDAImpl::listAlerts (prof_rdaimpl_charts.cpp)
    {"SELECT AL_ID, AL_DSN, AL_CAT, AL_SCHMA, AL_TBL, AL_FLD, AL_FILT, AL_DESC, AL_RULE, "
     "AL_ERROR, AL_TF, AL_TYPE, AL_SRC_UID FROM \"ALERT\" WHERE JOB_ID=? ORDER BY AL_ID", kRunReads},
    // ProfileRDAImpl::listBusinessRuleOutputs (prof_rdaimpl_outputs.cpp)
    {"SELECT A.TBL_ID, A.BR_ID, B.RU_DESC, A.PBR_SEQ, A.FAIL_CNT, A.TRAIL_NM, A.FLD_DESC, "
     "A.ROW_CNT FROM ((\"PBROUT\" A INNER JOIN \"RULE\" B ON A.BR_ID = B.RU_ID) INNER JOIN \"TBL\" "
     "C ON A.TBL_ID = C.TBL_ID) INNER JOIN \"DSN\" D ON C.DSN_ID = D.DSN_ID WHERE D.JOB_ID=? "
     "ORDER BY A.TBL_ID, A.PBR_SEQ", kRunReads},
    // ProfileRDAImpl::listDataSources (prof_rdaimpl.cpp)
    {"SELECT DSN_ID, DSN_NAME, DSN_CONN, DSN_TF FROM \"DSN\" WHERE JOB_ID=?", kRunReads},
    // ProfileRDAImpl::listExecutionLog (prof_rdaimpl.cpp)
    {"SELECT D.DSN_NAME, T.TBL_CAT, T.TBL_SCH, T.TBL_NM, T.TBL_FILT, E.EL_TASK, E.EL_STAT, "
     "E.EL_SECS, E.EL_MSG FROM \"EXELOG\" E, \"DSN\" D, \"TBL\" T WHERE E.TBL_ID=T.TBL_ID AND "
     "E.DSN_ID=D.DSN_ID AND D.JOB_ID=? ORDER BY E.EL_ID", kRunReads},
    // ProfileRDAImpl::listFieldCategories (prof_rdaimpl_results.cpp)
    {"SELECT DISTINCT A.GC_ID, A.GCNAME, A.GCDESC FROM \"GCATS\" A, \"FLDGCM\" B, \"FLD\" C, \"DSN\" "
     "D WHERE A.GC_ID=B.GC_ID AND B.FLD_ID=C.FLD_ID AND C.DSN_ID=D.DSN_ID AND D.JOB_ID=? "
     "ORDER BY A.GCNAME", kRunReads},
    // ProfileRDAImpl::listFieldMetrics (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE FROM \"FLD\" A, \"TBL\" B, \"DSN\" C WHERE "
     "A.TBL_ID=B.TBL_ID AND B.DSN_ID=C.DSN_ID AND C.JOB_ID=? ORDER BY A.FLD_NAME", kRunReads},
    // ProfileRDAImpl::listFieldMetrics (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE, A.MET_#, A.MET_# FROM \"FLD\" A, \"TBL\" B, \"DSN\" "
     "C WHERE A.TBL_ID=B.TBL_ID AND B.DSN_ID=C.DSN_ID AND C.JOB_ID=? ORDER BY A.FLD_NAME", kRunReads},
    // ProfileRDAImpl::listFieldMetrics (prof_rdaimpl_results.cpp)
    {"SELECT FLD_ID, FLD_NAME, FLD_TYPE FROM \"FLD\" WHERE DSN_ID=? ORDER BY FLD_NAME", kRunReads},
    // ProfileRDAImpl::listJobs (prof_rdaimpl.cpp)
    {"SELECT a.JOB_ID, a.JOB_DATE, a.JOB_DESC FROM \"JOB\" a, \"REPORT\" b WHERE "
     "a.RPT_ID=b.RPT_ID AND b.SU_ID=? ORDER BY a.JOB_ID DESC", kRunReads},
    // ProfileRDAImpl::listRedundancyConfigsOfField (prof_rdaimpl_redundancy.cpp)
    {"SELECT DISTINCT a.RDACFGID, a.RDACFGNM, a.RDACFGDS, a.MC_ID, a.JOB_ID FROM \"RDACFG\" a, "
     "\"FLDRDA\" b WHERE a.RDACFGID=b.RDACFGID AND b.FLD_ID=?", kRunReads},
    // ProfileRDAImpl::listRedundancyConfigsOfJob (prof_rdaimpl_redundancy.cpp)
    {"SELECT a.RDACFGID, a.RDACFGNM, a.RDACFGDS, a.MC_ID, a.JOB_ID, b.MC_DEF, b.MC_SENS, "
     "b.MC_LOC FROM \"RDACFG\" a LEFT OUTER JOIN \"MATCH\" b ON a.MC_ID=b.MC_ID WHERE a.JOB_ID=?", kRunReads},
    // ProfileRDAImpl::listRedundancyFieldsByMatch (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_ID, RDACFGID, JOB_ID FROM \"FLDRDA\" WHERE FLD_ID=?", kRunReads},
    // ProfileRDAImpl::listReportsOfJobSetup (prof_rdaimpl.cpp)
    {"SELECT RPT_ID, FLDR_ID, RPT_NAME, RPT_CRDT, RPT_MODT, RPT_USER, SU_ID FROM \"REPORT\" "
     "WHERE SU_ID=?", kRunReads},
    // ProfileRDAImpl::listTableFieldSummary (prof_rdaimpl_results.cpp)
    {"SELECT A.FLD_ID, A.FLD_NAME, A.FLD_TYPE, (SELECT COUNT(*) FROM \"PKFK\" E WHERE "
     "E.FLD_ID=A.FLD_ID) AS PKFK, (SELECT COUNT(*) FROM \"FLDRDA\" F WHERE F.FLD_ID=A.FLD_ID) "
     "AS REDUN, A.MET_# FROM \"FLD\" A WHERE A.TBL_ID=? ORDER BY A.FLD_NAME", kRunReads},
    // ProfileRDAImpl::listTableNotesOfJob (prof_rdaimpl_notes.cpp)
    {"SELECT B.TBL_ID, C.TN_NOTE FROM \"DSN\" A INNER JOIN \"TBL\" B ON A.DSN_ID=B.DSN_ID INNER "
     "JOIN \"TBLNOT\" C ON B.TBL_ID=C.TBL_ID WHERE A.JOB_ID=? AND C.TN_TYPE='T'", kRunReads},
    // ProfileRDAImpl::listTables (prof_rdaimpl.cpp)
    {"SELECT A.DSN_ID, A.TBL_ID, A.TBL_SCH, A.TBL_NM, A.TBL_FILT, A.TBL_FEXP, A.TBL_FSQL, "
     "A.TBL_TROW, A.TBL_TFLT, A.TBL_SINT, A.TBL_CAT, A.DEC_TREE FROM \"TBL\" A, \"DSN\" B WHERE "
     "A.DSN_ID=B.DSN_ID AND B.JOB_ID=? ORDER BY A.TBL_SCH, A.TBL_NM", kRunReads},
    // ProfileRDAImpl::listUnassignedReports (prof_rdaimpl.cpp)
    {"SELECT RPT_ID, FLDR_ID, RPT_NAME, RPT_CRDT, RPT_MODT, RPT_USER, SU_ID FROM \"REPORT\" "
     "WHERE (SU_ID=# OR SU_ID IS NULL)", kRunReads},
    // ProfileRDAImpl::notes (prof_rdaimpl_notes.cpp)
    {"SELECT A.FN_ID, A.FN_NOTE, A.FN_USER, A.FN_DATE, B.NCAT_DSC, B.NCAT_ID FROM \"FLDNOT\" A, "
     "\"NOTCAT\" B WHERE A.NCAT_ID=B.NCAT_ID AND A.FLD_ID=? ORDER BY A.FN_ID", kRunReads},
    // ProfileRDAImpl::notes (prof_rdaimpl_notes.cpp)
    {"SELECT A.TN_ID, A.TN_NOTE, A.TN_USER, A.TN_DATE, B.NCAT_DSC, B.NCAT_ID FROM \"TBLNOT\" A, "
     "\"NOTCAT\" B WHERE A.NCAT_ID=B.NCAT_ID AND A.TBL_ID=? ORDER BY A.TN_ID", kRunReads},
    // ProfileRDAImpl::notes (prof_rdaimpl_notes.cpp)
    {"SELECT A.TN_ID, A.TN_NOTE, A.TN_USER, A.TN_DATE, B.NCAT_DSC, B.NCAT_ID FROM \"TBLNOT\" A, "
     "\"NOTCAT\" B WHERE A.NCAT_ID=B.NCAT_ID AND A.TBL_ID=? ORDER BY A.TN_ID DESC", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, B.BR_ID, B.PBR_SEQ, B.FAIL_CNT, B.TRAIL_NM, "
     "B.FLD_DESC, B.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PBROUT\" B WHERE D.DSN_ID=T.DSN_ID AND "
     "T.TBL_ID=B.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND B.TRAIL_NM=? AND D.JOB_ID=? AND "
     "T.TBL_CAT=? ORDER BY B.TBL_ID, B.BR_ID, B.PBR_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, B.BR_ID, B.PBR_SEQ, B.FAIL_CNT, B.TRAIL_NM, "
     "B.FLD_DESC, B.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PBROUT\" B WHERE D.DSN_ID=T.DSN_ID AND "
     "T.TBL_ID=B.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND B.TRAIL_NM=? AND D.JOB_ID=? AND "
     "T.TBL_SCH=? AND T.TBL_CAT=? ORDER BY B.TBL_ID, B.BR_ID, B.PBR_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, B.BR_ID, B.PBR_SEQ, B.FAIL_CNT, B.TRAIL_NM, "
     "B.FLD_DESC, B.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PBROUT\" B WHERE D.DSN_ID=T.DSN_ID AND "
     "T.TBL_ID=B.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND B.TRAIL_NM=? AND D.JOB_ID=? AND "
     "T.TBL_SCH=? ORDER BY B.TBL_ID, B.BR_ID, B.PBR_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, B.BR_ID, B.PBR_SEQ, B.FAIL_CNT, B.TRAIL_NM, "
     "B.FLD_DESC, B.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PBROUT\" B WHERE D.DSN_ID=T.DSN_ID AND "
     "T.TBL_ID=B.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND B.TRAIL_NM=? AND D.JOB_ID=? ORDER "
     "BY B.TBL_ID, B.BR_ID, B.PBR_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, C.CM_ID, C.PCM_SEQ, C.CM_FLDNM, C.PCM_OUTN, "
     "C.PCM_OUTV, C.TRAIL_NM, C.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PCMOUT\" C WHERE "
     "D.DSN_ID=T.DSN_ID AND T.TBL_ID=C.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND "
     "C.TRAIL_NM=? AND D.JOB_ID=? AND T.TBL_CAT=? ORDER BY C.TBL_ID, C.CM_ID, C.PCM_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, C.CM_ID, C.PCM_SEQ, C.CM_FLDNM, C.PCM_OUTN, "
     "C.PCM_OUTV, C.TRAIL_NM, C.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PCMOUT\" C WHERE "
     "D.DSN_ID=T.DSN_ID AND T.TBL_ID=C.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND "
     "C.TRAIL_NM=? AND D.JOB_ID=? AND T.TBL_SCH=? AND T.TBL_CAT=? ORDER BY C.TBL_ID, C.CM_ID, "
     "C.PCM_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, C.CM_ID, C.PCM_SEQ, C.CM_FLDNM, C.PCM_OUTN, "
     "C.PCM_OUTV, C.TRAIL_NM, C.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PCMOUT\" C WHERE "
     "D.DSN_ID=T.DSN_ID AND T.TBL_ID=C.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND "
     "C.TRAIL_NM=? AND D.JOB_ID=? AND T.TBL_SCH=? ORDER BY C.TBL_ID, C.CM_ID, C.PCM_SEQ", kRunReads},
    // ProfileRDAImpl::outputsBySource (prof_rdaimpl_outputs.cpp)
    {"SELECT D.DSN_ID, D.JOB_ID, T.TBL_ID, C.CM_ID, C.PCM_SEQ, C.CM_FLDNM, C.PCM_OUTN, "
     "C.PCM_OUTV, C.TRAIL_NM, C.ROW_CNT FROM \"DSN\" D, \"TBL\" T, \"PCMOUT\" C WHERE "
     "D.DSN_ID=T.DSN_ID AND T.TBL_ID=C.TBL_ID AND D.DSN_NAME=? AND T.TBL_NM=? AND "
     "C.TRAIL_NM=? AND D.JOB_ID=? ORDER BY C.TBL_ID, C.CM_ID, C.PCM_SEQ", kRunReads},
    // ProfileRDAImpl::redundancyFieldRow (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_ID, RDACFGID, JOB_ID FROM \"FLDRDA\" WHERE RDACFGID=? AND FLD_ID=?", kRunReads},
    // Found by the inventory; no mend is under way for these yet.
    // ProfileRDAImpl::deleteRedundancyResult (prof_rdaimpl_redundancy.cpp)
    {"DELETE FROM \"RDARES\" WHERE FLD_IDL=? AND FLD_IDR=?", kRedundancyResults},
    // ProfileRDAImpl::deleteRedundancyResults (prof_rdaimpl_redundancy.cpp)
    {"DELETE FROM \"RDARES\" WHERE RDACFGID=? AND FLD_IDR=?", kRedundancyResults},
    // ProfileRDAImpl::listRedundancyResults (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_IDL, FLD_IDR, LFTCNT, RGTCNT, LFTSUM, RGTSUM, DMATCH, DLSUM, DRSUM, "
     "JOB_ID, RDACFGID FROM \"RDARES\" WHERE RDACFGID=?", kRedundancyResults},
    // ProfileRDAImpl::listRedundancyResults (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_IDL, FLD_IDR, LFTCNT, RGTCNT, LFTSUM, RGTSUM, DMATCH, DLSUM, DRSUM, "
     "JOB_ID, RDACFGID FROM \"RDARES\" WHERE RDACFGID=? AND ((FLD_IDL=? AND FLD_IDR=?) "
     "OR (FLD_IDL=? AND FLD_IDR=?))", kRedundancyResults},
    // ProfileRDAImpl::listRedundancyResults (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_IDR, FLD_IDL, RGTCNT, LFTCNT, RGTSUM, LFTSUM, DMATCH, DRSUM, DLSUM, "
     "JOB_ID, RDACFGID FROM \"RDARES\" WHERE RDACFGID=? AND ((FLD_IDL=? AND FLD_IDR=?) "
     "OR (FLD_IDL=? AND FLD_IDR=?))", kRedundancyResults},
    // ProfileRDAImpl::deleteRedundancyFieldsEx (prof_rdaimpl_redundancy.cpp)
    {"DELETE FROM \"FLDRDA\" WHERE RDACFGID=?", kRedundancyFields},
    // ProfileRDAImpl::listRedundancyFieldsByMatch (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_ID, RDACFGID, JOB_ID FROM \"FLDRDA\" WHERE RDACFGID IN (SELECT "
     "RDACFGID FROM \"RDACFG\" WHERE MC_ID=?)", kRedundancyFields},
    // ProfileRDAImpl::listRedundancyFieldsByMatch (prof_rdaimpl_redundancy.cpp)
    {"SELECT FLD_ID, RDACFGID, JOB_ID FROM \"FLDRDA\" WHERE RDACFGID IN (SELECT "
     "RDACFGID FROM \"RDACFG\" WHERE MC_ID=?) AND FLD_ID=?", kRedundancyFields},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MDEFVL\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MDRLMD\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MIDDEF\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MMATC5\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MMDEFS\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::clearProject (explorer_rdaimpl.cpp)
    {"DELETE FROM \"MPJPRF\" WHERE PRJ_ID=?", kExplorerProjects},
    // ExplorerRDAImpl::listIdentificationDefinitions (explorer_rdaimpl.cpp)
    {"SELECT IDENT_ID, IDENT_NM, ID_CRVER, ID_DLVER, ID_MDVER, PRJ_ID, SMPTYP, GC_ID, "
     "LOCALE, ID_UID FROM \"MIDDEF\" WHERE PRJ_ID=? AND SMPTYP=? ORDER BY ID_UID", kExplorerProjects},
    // ExplorerRDAImpl::listMatchDefinitions (explorer_rdaimpl.cpp)
    {"SELECT MASN_ID, PRJ_ID, USERMTC, MMDEFID, MMDEFNM, MMSENSE, MMLOCALE FROM "
     "\"MMDEFS\" WHERE PRJ_ID=? ORDER BY MASN_ID", kExplorerProjects},
    // ProfileRDAImpl::chartRows (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, "
     "B.CT_TBL, B.CT_FILT, B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON "
     "A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND A.CH_NAME=? ORDER BY A.CH_ID", kChartFilters},
    // ProfileRDAImpl::chartRows (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, "
     "B.CT_TBL, B.CT_FILT, B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON "
     "A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND B.CT_DSN=? ORDER BY A.CH_ID", kChartFilters},
    // ProfileRDAImpl::chartRows (prof_rdaimpl_charts.cpp)
    {"SELECT A.CH_ID, A.RPT_ID, A.CH_NAME, A.CH_EDIT, B.CT_DSN, B.CT_CAT, B.CT_SCHMA, "
     "B.CT_TBL, B.CT_FILT, B.CT_TYPE FROM \"CHT\" A INNER JOIN \"CHTTAB\" B ON "
     "A.CH_ID=B.CH_ID WHERE A.CH_TYPE='T' AND B.CT_TYPE=? ORDER BY A.CH_ID", kChartFilters},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A "
     "INNER JOIN \"NCOAED\" B ON A.RUN_ID=B.RUN_ID) INNER JOIN \"NCOAPA\" C ON A.PAF_ID=C.PAF_ID "
     "WHERE C.NCOAPAF=? ORDER BY A.RUN_ID, B.SEQ_ID", kNcoaRuns},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A "
     "INNER JOIN \"NCOAED\" B ON A.RUN_ID=B.RUN_ID) WHERE A.EX_DATE<=? ORDER BY A.RUN_ID, "
     "B.SEQ_ID", kNcoaRuns},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A "
     "INNER JOIN \"NCOAED\" B ON A.RUN_ID=B.RUN_ID) WHERE A.EX_DATE>=? ORDER BY A.RUN_ID, "
     "B.SEQ_ID", kNcoaRuns},
    // NCOARDAImpl::listRunReport (ncoa_rdaimpl_runs.cpp)
    {"SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (\"NCOAEX\" A "
     "INNER JOIN \"NCOAED\" B ON A.RUN_ID=B.RUN_ID) WHERE A.PAF_ID=? ORDER BY A.RUN_ID, "
     "B.SEQ_ID", kNcoaRuns},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID WHERE a.LISTNAME=?) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID "
     "ORDER BY c.CRDATE ASC, c.PAF_ID ASC", kNcoaPafs},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID WHERE a.NCOAPAF=? AND a.ACTIVE=#) c LEFT OUTER JOIN \"NCOAPB\" d ON "
     "c.PAF_ID=d.PAF_ID WHERE d.BUSNAME=? ORDER BY c.CRDATE ASC, c.PAF_ID ASC", kNcoaPafs},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID WHERE a.NCOAPAF=?) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID "
     "ORDER BY c.CRDATE ASC, c.PAF_ID ASC", kNcoaPafs},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID WHERE b.BUSNAME=?) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID "
     "ORDER BY c.CRDATE ASC, c.PAF_ID ASC", kNcoaPafs},
    // NCOARDAImpl::listPafs (ncoa_rdaimpl_paf.cpp)
    {"SELECT c.* FROM (SELECT a.* FROM \"NCOAPA\" a LEFT OUTER JOIN \"NCOAPO\" b ON "
     "a.PAF_ID=b.PAF_ID) c LEFT OUTER JOIN \"NCOAPB\" d ON c.PAF_ID=d.PAF_ID WHERE d.BUSNAME=? "
     "ORDER BY c.CRDATE ASC, c.PAF_ID ASC", kNcoaPafs},
    // NCOARDAImpl::listPafsWithListOwner (ncoa_rdaimpl_paf.cpp)
    {"SELECT a.*, b.* FROM \"NCOAPA\" a, \"NCOAPO\" b WHERE a.PAF_ID=b.PAF_ID AND b.BUSNAME=? "
     "ORDER BY a.CRDATE DESC, a.PAF_ID DESC", kNcoaPafs},
    // NCOARDAImpl::listBrokersByType (ncoa_rdaimpl.cpp)
    {"SELECT BR_ID, BUSNAME, ADDR, CITY, STATE, ZIP, TELNO, FAX, EMAIL, NAICS, BRTYPE, "
     "CUSTM#, CUSTM#, CUSTM#, SIGNNM, SIGNTITL, SIGNDATE, MODDATE FROM \"NCOABR\" WHERE "
     "BRTYPE=?", kNcoaBrokers},
    // MonitorRDAImpl::addUnique (monitor_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"DIMENS\" WHERE DIM_NAME=?", kMonitorNames},
    // MonitorRDAImpl::addUnique (monitor_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"RPTGRP\" WHERE GRP_NAME=?", kMonitorNames},
    // MonitorRDAImpl::addUnique (monitor_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"THRHLD\" WHERE THR_NAME=?", kMonitorNames},
    // MonitorRDAImpl::addUnlessPresent (monitor_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"EXPRTP\" WHERE PR_NAME=? AND PR_VALUE=?", kMonitorNames},
    // MonitorRDAImpl::findDimension (monitor_rdaimpl_groups.cpp)
    {"SELECT DIM_ID, DIM_NAME, DIM_DESC, UUID, CRDAT, EDDAT, CRUSR, EDUSR, FLDR_ID FROM "
     "\"DIMENS\" WHERE DIM_NAME=?", kMonitorNames},
    // MonitorRDAImpl::findJob (monitor_rdaimpl.cpp)
    {"SELECT JB_ID, JB_DESC, JB_CODE, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, FLDR_ID, "
     "JB_COMM, JB_DISP FROM \"MJOB\" WHERE JB_DESC=?", kMonitorNames},
    // MonitorRDAImpl::findSource (monitor_rdaimpl.cpp)
    {"SELECT ES_ID, ES_DESC, ES_NAME, ES_UUID, ES_CRDAT, ES_EDDAT, ES_CRUSR, ES_EDUSR, "
     "FLDR_ID FROM \"EXSRC\" WHERE (ES_NAME IN (?))", kMonitorNames},
    // MonitorRDAImpl::findSource (monitor_rdaimpl.cpp)
    {"SELECT ES_ID, ES_DESC, ES_NAME, ES_UUID, ES_CRDAT, ES_EDDAT, ES_CRUSR, ES_EDUSR, "
     "FLDR_ID FROM \"EXSRC\" WHERE (ES_NAME IN (?, ...))", kMonitorNames},
    // MonitorRDAImpl::findSource (monitor_rdaimpl.cpp)
    {"SELECT ES_ID, ES_DESC, ES_NAME, ES_UUID, ES_CRDAT, ES_EDDAT, ES_CRUSR, ES_EDUSR, "
     "FLDR_ID FROM \"EXSRC\" WHERE ES_NAME=?", kMonitorNames},
    // MonitorRDAImpl::findThreshold (monitor_rdaimpl_groups.cpp)
    {"SELECT THR_ID, THR_NAME, THR_DESC, UUID, CRDAT, EDDAT, CRUSR, EDUSR, FLDR_ID, "
     "NAME_#, START_#, END_#, COLOR_#, NAME_#, START_#, END_#, COLOR_#, NAME_#, START_#, "
     "END_#, COLOR_#, NAME_#, START_#, END_#, COLOR_#, NAME_#, START_#, END_#, COLOR_#, "
     "NAME_#, START_#, END_#, COLOR_#, NAME_#, START_#, END_#, COLOR_# FROM \"THRHLD\" "
     "WHERE THR_NAME=?", kMonitorNames},
    // MonitorRDAImpl::listNamed (monitor_rdaimpl_groups.cpp)
    {"SELECT GRP_ID, GRP_NAME, GRP_DESC, INTNUM, INTLEN, THR_ID, ENDDATE, UUID, CRDAT, "
     "EDDAT, CRUSR, EDUSR, FLDR_ID FROM \"RPTGRP\" WHERE GRP_NAME=?", kMonitorNames},
    // MonitorRDAImpl::deleteUnlessDefault (monitor_rdaimpl_groups.cpp)
    {"UPDATE \"DIMGRP\" SET THR_ID=? WHERE THR_ID=?", kThresholdRefs},
    // MonitorRDAImpl::deleteUnlessDefault (monitor_rdaimpl_groups.cpp)
    {"UPDATE \"JBRUME\" SET THR_ID=? WHERE THR_ID=?", kThresholdRefs},
    // MonitorRDAImpl::deleteUnlessDefault (monitor_rdaimpl_groups.cpp)
    {"UPDATE \"RPTGRP\" SET THR_ID=? WHERE THR_ID=?", kThresholdRefs},
    // CommonRDAImpl::addRule (common_rdaimpl.cpp)
    {"SELECT COUNT(*) FROM \"RULE\" WHERE (RU_DESC <> RU_DESC)", kNeverMatching},
    // RefDataRDAImpl::joinRows (refdata_rdaimpl.cpp)
    {"SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, "
     "a.DESCRPTN, l.LANGNAME, d.DOMNAME, dv.VERSION FROM \"RDITVR\" iv INNER JOIN "
     "\"RDDOVR\" dv ON iv.DOMVERID=dv.ID INNER JOIN \"RDDOMS\" d ON d.ID=dv.DOMAINID "
     "INNER JOIN \"RDDOIT\" i ON iv.ITEMID=i.ID LEFT JOIN ( SELECT a.ID AS "
     "ITEATTID,a.ATTRIBID, a.ITVERID ,b.DOMVERID FROM \"RDDOIA\" a INNER JOIN \"RDIAVR\" "
     "b ON a.ID = b.ITEATTID) iav ON iav.DOMVERID = iv.DOMVERID and iv.ID = "
     "iav.ITVERID LEFT JOIN \"RDATRS\" a ON iav.ATTRIBID=a.ID AND "
     "iav.DOMVERID=iv.DOMVERID LEFT JOIN \"RDITVV\" iavv ON iav.ITEATTID=iavv.ITEATTID "
     "AND iavv.DOMVERID=iv.DOMVERID LEFT JOIN \"RDITAV\" av ON av.ID=iavv.ITATVLID "
     "LEFT JOIN \"RDLANS\" l ON av.LANGID=l.ID WHERE d.ID=? AND dv.VERSION=?", kRefDataAttributes},
    // ProfileRDAImpl::listJobCustomMetricInputs (prof_rdaimpl_setup.cpp)
    {"SELECT A.CM_IN FROM \"JCMDMA\" A, \"JTBLME\" B WHERE A.SEQ_ID=B.SEQ_ID AND "
     "A.CM_TYPE='I' AND B.CM_UID=?", kMetricInputs},
    // ProfileRDAImpl::listReportBusinessRuleOutputs (prof_rdaimpl_outputs.cpp)
    {"SELECT E.JOB_ID, E.JOB_DATE, A.TBL_ID, A.BR_ID, B.RU_DESC, A.PBR_SEQ, A.FAIL_CNT, "
     "A.TRAIL_NM, A.FLD_DESC, A.ROW_CNT FROM (((\"PBROUT\" A INNER JOIN \"RULE\" B ON "
     "A.BR_ID = B.RU_ID) INNER JOIN \"TBL\" C ON A.TBL_ID = C.TBL_ID) INNER JOIN \"DSN\" D "
     "ON C.DSN_ID = D.DSN_ID) INNER JOIN \"JOB\" E ON D.JOB_ID = E.JOB_ID WHERE E.RPT_ID=? "
     "AND A.TRAIL_NM=? ORDER BY E.JOB_ID, A.TBL_ID", kReportOutputs},
    // ProfileRDAImpl::listReportCustomMetricOutputs (prof_rdaimpl_outputs.cpp)
    {"SELECT E.JOB_ID, E.JOB_DATE, A.TBL_ID, A.CM_ID, B.CM_DESC, A.PCM_SEQ, A.CM_FLDNM, "
     "A.PCM_OUTN, A.PCM_OUTV, A.TRAIL_NM, A.ROW_CNT FROM (((\"PCMOUT\" A INNER JOIN "
     "\"CUSTM\" B ON A.CM_ID = B.CM_ID) INNER JOIN \"TBL\" C ON A.TBL_ID = C.TBL_ID) INNER "
     "JOIN \"DSN\" D ON C.DSN_ID = D.DSN_ID) INNER JOIN \"JOB\" E ON D.JOB_ID = E.JOB_ID "
     "WHERE E.RPT_ID=? AND A.TRAIL_NM=? ORDER BY E.JOB_ID, A.TBL_ID", kReportOutputs},
    // ProfileRDAImpl::jobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT a.*, d.* FROM \"JOB\" a, \"DSN\" b, \"TBL\" c, \"REPORT\" d WHERE "
     "a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? AND "
     "c.TBL_CAT=? AND c.TBL_SCH=? AND c.TBL_NM=? ORDER BY a.JOB_DATE DESC", kSourceNames},
    // ProfileRDAImpl::jobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, "
     "\"DSN\" b, \"TBL\" c, \"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND "
     "d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? AND c.TBL_SCH=? ORDER BY b.DSN_NAME, c.TBL_CAT, "
     "c.TBL_SCH, c.TBL_NM, a.JOB_DATE DESC", kSourceNames},
    // ProfileRDAImpl::jobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, "
     "\"DSN\" b, \"TBL\" c, \"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND "
     "d.RPT_ID=a.RPT_ID AND b.DSN_NAME=? ORDER BY b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, "
     "c.TBL_NM, a.JOB_DATE DESC", kSourceNames},
    // ProfileRDAImpl::jobsOfSources (prof_rdaimpl.cpp)
    {"SELECT DISTINCT b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, c.TBL_NM, a.*, d.* FROM \"JOB\" a, "
     "\"DSN\" b, \"TBL\" c, \"REPORT\" d WHERE a.JOB_ID=b.JOB_ID AND b.DSN_ID=c.DSN_ID AND "
     "d.RPT_ID=a.RPT_ID AND c.TBL_NM=? ORDER BY b.DSN_NAME, c.TBL_CAT, c.TBL_SCH, "
     "c.TBL_NM, a.JOB_DATE DESC", kSourceNames},
    // ProfileRDAImpl::listFieldMetricHistory (prof_rdaimpl_results.cpp)
    {"SELECT D.JOB_ID, F.FLD_ID FROM \"DSN\" D, \"TBL\" T, \"FLD\" F WHERE D.DSN_ID=T.DSN_ID AND "
     "T.TBL_ID=F.TBL_ID AND D.DSN_NAME=? AND (T.TBL_FILT=? OR T.TBL_NM=?) AND F.FLD_NAME=? "
     "AND D.JOB_ID>=? AND D.JOB_ID<=? AND D.DSN_TF=? ORDER BY D.JOB_ID", kSourceNames},
    // ProfileRDAImpl::listFieldMetricHistory (prof_rdaimpl_results.cpp)
    {"SELECT D.JOB_ID, F.FLD_ID, F.MET_# FROM \"DSN\" D, \"TBL\" T, \"FLD\" F WHERE "
     "D.DSN_ID=T.DSN_ID AND T.TBL_ID=F.TBL_ID AND D.DSN_NAME=? AND (T.TBL_FILT=? OR "
     "T.TBL_NM=?) AND F.FLD_NAME=? AND D.JOB_ID>=? AND D.JOB_ID<=? AND D.DSN_TF=? ORDER BY "
     "D.JOB_ID", kSourceNames},
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
    {"pending", std::begin(kPending), std::end(kPending)},
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
    size_t unmet = 0;
    for (const Allowed* a = std::begin(kPending); a != std::end(kPending); ++a) unmet += met.count(a->shape) == 0;
    std::cout << "\n" << unmet << " pending entries were not met (now searched through an index, or not run)\n";

    EXPECT_EQ(failed, 0u) << failed << " statements read a whole catalogue table or build an automatic index:\n"
                          << failures.str();
}

}  // namespace
