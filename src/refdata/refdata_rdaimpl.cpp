#include "refdata_rdaimpl.h"

#include <cstring>
#include <string>

#include "reposlog.h"

namespace {

const char* const kSource = "refdata_rdaimpl";

constexpr int I = VQB_TYPE_INT;
constexpr int D = VQB_TYPE_REAL;  // dates are stored and bound as reals
constexpr int T = VQB_TYPE_STRING;

constexpr RefDataColumn id(const char* name = "ID") {
    return {name, I, 0};
}
constexpr RefDataColumn text(const char* name, int width) {
    return {name, T, width};
}
constexpr RefDataColumn date(const char* name = "CRTDATE") {
    return {name, D, 0};
}

// clang-format off
// ---- tables: key column first, CRTDATE last when stamped

const RefDataTable kAccounts = {"RDACTS", "ID", true, {id(), text("ACTNAME", 50), text("ACTTYPE", 30),
    text("AUTHSVR", 50), text("EMAIL", 200), text("PHONE", 50), text("ADDRESS", 255), text("NOTIFY", 255),
    id("DEFROLID"), date()}};
const RefDataTable kRoles = {"RDROLS", "ID", false, {id(), text("ROLENAME", 50), text("DESCRPTN", 255),
    text("ROLETYPE", 1)}};
const RefDataTable kOperations = {"RDOPRS", "ID", false, {id(), text("PERMISON", 1), text("DESCRPTN", 255),
    id("POSITION")}};
const RefDataTable kLanguages = {"RDLANS", "ID", false, {id(), text("LANGNAME", 50), text("CODE", 5)}};
const RefDataTable kContainers = {"RDATRC", "ID", false, {id(), text("CONTYPE", 50), text("DESCRPTN", 255)}};
const RefDataTable kAttributeTypes = {"RDATTY", "ID", false, {id(), text("ATTTYPE", 50), text("DESCRPTN", 255)}};
const RefDataTable kAttributes = {"RDATRS", "ID", true, {id(), id("ATTRTYID"), id("CONTYID"), text("ATTRNAME", 50),
    text("DESCRPTN", 255), text("ATTRTYPE", 50), id("LANGID"), date()}};
const RefDataTable kDomains = {"RDDOMS", "ID", true, {id(), text("DOMNAME", 50), text("DESCRPTN", 255),
    text("DOMTYPE", 2), text("ENABLED", 1), text("ACTIVE", 1), text("SCOPE", 1), id("DEFLANID"), text("ISLOCKED", 1),
    id("OWNERID"), id("LOCKBYID"), date("LOCKDATE"), text("CONFTYP", 1), date()}};
const RefDataTable kVersions = {"RDDOVR", "ID", true, {id(), id("DOMAINID"), id("VERSION"), text("LABEL", 255),
    text("ENABLED", 1), text("ACTIVE", 1), text("SCOPE", 1), id("ACCTID"), text("ISLOCKED", 1), id("LOCKBYID"),
    date("LOCKDATE"), date()}};
const RefDataTable kDomainPermissions = {"RDDOPR", nullptr, false, {id("DOMAINID"), id("ACCTID"), id("PERMSID")}};
const RefDataTable kVersionPermissions = {"RDDVPR", nullptr, false, {id("DOMVERID"), id("ACCTID"), id("PERMSID")}};
const RefDataTable kDomainAccess = {"RDDACC", nullptr, false, {id("DOMAINID"), id("ACCTID"), id("ROLEID")}};
const RefDataTable kAssociations = {"RDDOAS", "DOMASSID", false, {id("DOMASSID"), id("DOMAINID"), text("ASSNAME", 50)}};
const RefDataTable kDomainLanguages = {"RDDOLG", "ID", false, {id(), id("DOMAINID"), id("LANGID")}};
const RefDataTable kLanguageVersions = {"RDDOLV", nullptr, false, {id("DOMVERID"), id("DOMLANID")}};
const RefDataTable kDomainAttributes = {"RDDOAT", "ID", false, {id(), id("DOMAINID"), id("ATTRIBID")}};
const RefDataTable kAttributePermissions = {"RDDATP", nullptr, false, {id("DOMAINID"), id("ACCTID"), id("PERMSID")}};
const RefDataTable kAttributeVersions = {"RDDATV", nullptr, false, {id("DOMAINID"), id("DOMATTID"), id("DOMVERID"),
    text("ISDEFALT", 1)}};
const RefDataTable kAttributeValues = {"RDDOAV", "ID", false, {id(), id("DOMATRID"), text("VALUE", 255),
    text("ISDFAULT", 1), id("LANGID")}};
const RefDataTable kValueVersions = {"RDDAVV", nullptr, false, {id("DOMVERID"), id("DOATVLID")}};
const RefDataTable kItems = {"RDDOIT", "ID", false, {id(), text("ITEMKEY", 50), text("ITEMVAL", 255),
    text("ENABLED", 1), text("ACTIVE", 1), text("SCOPE", 1), id("ACCTID")}};
const RefDataTable kPlacements = {"RDITVR", "ID", true, {id(), id("DOMVERID"), id("ITEMID"), id("ITEMLVL"),
    text("LINEAGE", 255), id("PARNTID"), date()}};
const RefDataTable kItemPermissions = {"RDITPR", nullptr, false, {id("ITEMID"), id("ACCTID"), id("PERMSID")}};
const RefDataTable kItemAttributes = {"RDDOIA", "ID", false, {id(), id("ITVERID"), id("ATTRIBID")}};
const RefDataTable kItemAttributePermissions = {"RDITAP", nullptr, false, {id("ITATTRID"), id("ACCTID"),
    id("PERMSID")}};
const RefDataTable kItemAttributeVersions = {"RDIAVR", nullptr, false, {id("DOMVERID"), id("ITEATTID")}};
const RefDataTable kItemValues = {"RDITAV", "ID", false, {id(), text("VALUE", 255), id("LANGID")}};
const RefDataTable kItemValueVersions = {"RDITVV", nullptr, false, {id("DOMVERID"), id("ITATVLID"), id("ITEATTID")}};
const RefDataTable kNotes = {"RDNOTS", "ID", true, {id(), id("DOMAINID"), text("NOTETYPE", 1), id("TABLKYID"),
    text("TABLNAME", 30), text("TEXT", 255), id("LANGID"), id("ACCTID"), date()}};
const RefDataTable kPublications = {"RDPUBS", "ID", false, {id(), text("PUBNAME", 50), text("PUBTYPE", 50),
    id("DOMAINID"), id("VERSION"), text("DSN", 50), text("SCHEMANM", 50)}};
// The staging tables are filled by hosts: no inserts here, so no key.
const RefDataTable kImportRows = {"RDIMSG", nullptr, false, {id(), id("ITEMID"), text("VALUECOL", 255),
    text("DISPYCOL", 255), text("PARNTCOL", 255), id("PARNTID"), id("DOMVERID"), id("PROFILE"), text("IMPFLAG", 1),
    text("VERFLAG", 1), text("PARKYCOL", 255), text("LINEAGE", 255), id("ITEMLVL"), id("ITVERID"), date(),
    id("ATTRIBID"), id("VALUEID"), id("LANGID"), text("ATTVALUE", 255), text("VIMPFLAG", 1), text("AIMPFLAG", 1),
    text("VVERFLAG", 1), text("AVERFLAG", 1), id("ATTRKEY"), id("VALUEKEY"), id("ITEATTID")}};
const RefDataTable kTempItems = {"RDTMPI", nullptr, false, {id("ITEMID"), id("DOMVERID")}};
const RefDataTable kImportAttributes = {"RDIMAT", nullptr, false, {id(), id("ITEMID"), id("ITVERID"), id("DOMVERID")}};
const RefDataTable kImportColumns = {"RDIMCL", nullptr, false, {id("SOURCCOL"), id("POSITION"), id("PROFILE"),
    id("SYSTMCOL"), id("ISATTRIB")}};

// ---- selects and deletes: filter columns in the order they are appended

const RefDataFilters kListAccounts = {&kAccounts, {"ACTNAME", "ACTTYPE", "AUTHSVR", "EMAIL", "PHONE", "ADDRESS", "ID"},
    nullptr};
const RefDataFilters kDeleteAccounts = {&kAccounts, {"ID", "ACTNAME", "ACTTYPE", "AUTHSVR", "EMAIL", "PHONE",
    "ADDRESS"}, nullptr};
const RefDataFilters kListLanguages = {&kLanguages, {"LANGNAME", "CODE", "ID"}, nullptr};
const RefDataFilters kDeleteLanguages = {&kLanguages, {"ID", "LANGNAME", "CODE"}, nullptr};
const RefDataFilters kOperationFilters = {&kOperations, {"ID", "PERMISON", "DESCRPTN", "POSITION"}, nullptr};
const RefDataFilters kRoleFilters = {&kRoles, {"ID", "ROLENAME", "DESCRPTN", "ROLETYPE"}, nullptr};
const RefDataFilters kListAttributes = {&kAttributes, {"ATTRNAME", "DESCRPTN", "ID"}, nullptr};
const RefDataFilters kDeleteAttributes = {&kAttributes, {"ATTRNAME", "ID"}, nullptr};
const RefDataFilters kListContainers = {&kContainers, {"CONTYPE", "DESCRPTN", "ID"}, nullptr};
const RefDataFilters kDeleteContainers = {&kContainers, {"ID", "CONTYPE", "DESCRPTN"}, nullptr};
const RefDataFilters kListAttributeTypes = {&kAttributeTypes, {"ATTTYPE", "DESCRPTN", "ID"}, nullptr};
const RefDataFilters kDeleteAttributeTypes = {&kAttributeTypes, {"ID", "ATTTYPE", "DESCRPTN"}, nullptr};
const RefDataFilters kDomainFilters = {&kDomains, {"ID", "DOMNAME", "DESCRPTN", "DOMTYPE", "ENABLED", "ACTIVE", "SCOPE",
    "DEFLANID", "ISLOCKED", "OWNERID", "LOCKBYID", "LOCKDATE", "CONFTYP", "CRTDATE"}, nullptr};
const RefDataFilters kListVersions = {&kVersions, {"ID", "DOMAINID", "VERSION", "LABEL", "ENABLED", "ACTIVE", "SCOPE",
    "ACCTID", "ISLOCKED", "LOCKBYID", "LOCKDATE", "CRTDATE"}, " ORDER BY ID DESC"};
const RefDataFilters kDeleteVersions = {&kVersions, {"ID", "DOMAINID", "VERSION", "LABEL", "ENABLED", "ACTIVE", "SCOPE",
    "ACCTID", "ISLOCKED", "LOCKBYID", "LOCKDATE", "CRTDATE"}, nullptr};
const RefDataFilters kDomainPermissionFilters = {&kDomainPermissions, {"DOMAINID", "ACCTID", "PERMSID"}, nullptr};
const RefDataFilters kVersionPermissionFilters = {&kVersionPermissions, {"DOMVERID", "ACCTID", "PERMSID"}, nullptr};
const RefDataFilters kDomainAccessFilters = {&kDomainAccess, {"DOMAINID", "ACCTID", "ROLEID"}, nullptr};
const RefDataFilters kAssociationFilters = {&kAssociations, {"DOMAINID", "DOMASSID", "ASSNAME"}, nullptr};
const RefDataFilters kDomainLanguageFilters = {&kDomainLanguages, {"ID", "DOMAINID", "LANGID"}, nullptr};
const RefDataFilters kLanguageVersionFilters = {&kLanguageVersions, {"DOMVERID", "DOMLANID"}, nullptr};
const RefDataFilters kDomainAttributeFilters = {&kDomainAttributes, {"ID", "DOMAINID", "ATTRIBID"}, nullptr};
const RefDataFilters kAttributePermissionFilters = {&kAttributePermissions, {"DOMAINID", "ACCTID", "PERMSID"}, nullptr};
const RefDataFilters kAttributeVersionFilters = {&kAttributeVersions, {"DOMAINID", "DOMATTID", "DOMVERID", "ISDEFALT"},
    nullptr};
const RefDataFilters kAttributeValueFilters = {&kAttributeValues, {"ID", "DOMATRID", "VALUE", "ISDFAULT", "LANGID"},
    nullptr};
const RefDataFilters kValueVersionFilters = {&kValueVersions, {"DOMVERID", "DOATVLID"}, nullptr};
const RefDataFilters kItemFilters = {&kItems, {"ID", "ITEMKEY", "ITEMVAL", "ENABLED", "ACTIVE", "SCOPE", "ACCTID"},
    nullptr};
const RefDataFilters kItemPermissionFilters = {&kItemPermissions, {"ITEMID", "ACCTID", "PERMSID"}, nullptr};
const RefDataFilters kPlacementFilters = {&kPlacements, {"ID", "DOMVERID", "ITEMID", "CRTDATE", "ITEMLVL", "LINEAGE",
    "PARNTID"}, nullptr};
const RefDataFilters kItemValueFilters = {&kItemValues, {"ID", "VALUE", "LANGID"}, nullptr};
const RefDataFilters kItemAttributeFilters = {&kItemAttributes, {"ID", "ITVERID", "ATTRIBID"}, nullptr};
const RefDataFilters kItemAttributePermissionFilters = {&kItemAttributePermissions, {"ITATTRID", "ACCTID", "PERMSID"},
    nullptr};
const RefDataFilters kItemAttributeVersionFilters = {&kItemAttributeVersions, {"DOMVERID", "ITEATTID"}, nullptr};
const RefDataFilters kItemValueVersionFilters = {&kItemValueVersions, {"DOMVERID", "ITATVLID", "ITEATTID"}, nullptr};
const RefDataFilters kListNotes = {&kNotes, {"ID", "DOMAINID", "NOTETYPE", "TABLKYID", "TABLNAME", "TEXT", "LANGID",
    "ACCTID", "CRTDATE"}, nullptr};
const RefDataFilters kDeleteNotes = {&kNotes, {"ID", "DOMAINID", "NOTETYPE", "TABLKYID", "TABLNAME", "TEXT", "LANGID",
    "ACCTID"}, nullptr};
const RefDataFilters kPublicationFilters = {&kPublications, {"ID", "PUBNAME", "PUBTYPE", "DOMAINID", "VERSION", "DSN",
    "SCHEMANM"}, nullptr};
const RefDataFilters kImportItemFilters = {&kImportRows, {"ID", "ITEMID", "VALUECOL", "DISPYCOL", "PARNTCOL", "PARNTID",
    "DOMVERID", "PROFILE", "IMPFLAG", "VERFLAG", "PARKYCOL", "LINEAGE", "ITEMLVL", "ITVERID", "CRTDATE"}, nullptr};
const RefDataFilters kImportValueFilters = {&kImportRows, {"ID", "ITEMID", "ATTRIBID", "VALUEID", "LANGID", "ATTVALUE",
    "PROFILE", "VIMPFLAG", "AIMPFLAG", "VVERFLAG", "AVERFLAG", "ATTRKEY", "VALUEKEY", "ITEATTID", "DOMVERID", "ITVERID",
    "CRTDATE"}, nullptr};
const RefDataFilters kImportVersionFilters = {&kImportRows, {"DOMVERID", "ITEMID", "CRTDATE", "ITEMLVL", "LINEAGE",
    "PARNTID", "PROFILE"}, nullptr};
const RefDataFilters kTempItemFilters = {&kTempItems, {"ITEMID", "DOMVERID"}, nullptr};
const RefDataFilters kImportAttributeFilters = {&kImportAttributes, {"ID", "ITEMID", "ITVERID", "DOMVERID"}, nullptr};
const RefDataFilters kImportColumnFilters = {&kImportColumns, {"SOURCCOL", "POSITION", "PROFILE", "SYSTMCOL",
    "ISATTRIB"}, nullptr};
// clang-format on

// ---- fixed joins

// The place of a join's parts among its tables.
const char kParts[] = "";

constexpr RefDataJoinFilter is(const char* condition, int type = I, int width = 0) {
    return {condition, type, width, false, nullptr, 1};
}
// A condition over a table of its own, its value bound markers times.
constexpr RefDataJoinFilter over(const char* condition, const char* table, int markers) {
    return {condition, I, 0, false, table, markers};
}
constexpr RefDataJoinFilter part(const char* text, const char* table = nullptr, int markers = 1) {
    return {text, I, 0, true, table, markers};
}

const RefDataJoin kUserAttributes = {
    "SELECT a.ID, a.ATTRNAME, a.DESCRPTN, l.CODE FROM %s a INNER JOIN %s ac ON a.CONTYID=ac.ID INNER JOIN %s l ON "
    "a.LANGID=l.ID WHERE ac.CONTYPE='RD_USER_ATTRIBUTE'",
    {"RDATRS", "RDATRC", "RDLANS"},
    true,
    {is("a.ATTRNAME=?", T, 50), is("a.DESCRPTN=?", T, 255), is("a.ID=?")},
    nullptr};
const RefDataJoin kDomainsWithVersions = {
    "SELECT d.ID, d.DOMNAME, d.DESCRPTN, v.ID, v.VERSION, v.LABEL, a.ACTNAME, d.DOMTYPE, d.SCOPE, v.CRTDATE FROM %s d "
    "INNER JOIN %s v ON d.ID=v.DOMAINID INNER JOIN %s a ON d.OWNERID=a.ID",
    {"RDDOMS", "RDDOVR", "RDACTS"},
    false,
    {over("v.ID IN (SELECT MAX(ID) FROM %s GROUP BY DOMAINID)", "RDDOVR", 0), is("d.ID=?"), is("d.DOMNAME=?", T, 50)},
    " ORDER by d.DOMNAME, v.VERSION"};
const RefDataJoin kDomainVersionInfo = {
    "SELECT d.ID, d.DOMNAME, d.DOMTYPE, v.ID, v.VERSION FROM %s d INNER JOIN %s v ON d.ID=v.DOMAINID",
    {"RDDOMS", "RDDOVR"},
    false,
    {is("d.ID=?"), is("v.ID=?")},
    nullptr};
// o.* and ov.*: these tables are outside the built-in catalogue, whose column lists they would be.
const RefDataJoin kDomainDetails = {
    "SELECT o.*, acct.ACTNAME, l.CODE, l2.CODE FROM %s o INNER JOIN %s ol ON o.ID=ol.DOMAINID INNER JOIN %s l ON "
    "ol.LANGID=l.ID LEFT JOIN %s l2 ON o.DEFLANID=l2.ID LEFT JOIN %s acct ON o.LOCKBYID=acct.ID",
    {"RDDOMS", "RDDOLG", "RDLANS", "RDLANS", "RDACTS"},
    false,
    {is("o.ID=?")},
    " ORDER BY o.ID, l.CODE ASC"};
const RefDataJoin kLatestDomainVersion = {
    "SELECT ov.*, a1.ACTNAME, a2.ACTNAME FROM %s ov INNER JOIN %s a1 ON ov.ACCTID=a1.ID LEFT JOIN %s a2 ON "
    "ov.LOCKBYID=a2.ID %s",
    {"RDDOVR", "RDACTS", "RDACTS", kParts},
    false,
    {part("WHERE ov.DOMAINID=? AND ov.VERSION=( SELECT MAX(VERSION) FROM %s WHERE DOMAINID=?)", "RDDOVR", 2)},
    nullptr};
const RefDataJoin kVersionsWithOwners = {
    "SELECT ov.*, a1.ACTNAME, a2.ACTNAME FROM %s ov INNER JOIN %s a1 ON ov.ACCTID=a1.ID LEFT JOIN %s a2 ON "
    "ov.LOCKBYID=a2.ID",
    {"RDDOVR", "RDACTS", "RDACTS"},
    false,
    {is("DOMAINID=?"), over("VERSION=(SELECT MAX(VERSION) FROM %s WHERE DOMAINID=?)", "RDDOVR", 1)},
    " ORDER BY ov.VERSION ASC"};
const RefDataJoin kEnabledDomainVersions = {
    "SELECT d.DOMNAME, d.DESCRPTN, d.DOMTYPE, d.SCOPE, d.ENABLED, dv.VERSION, dv.ID FROM %s d INNER JOIN %s dv ON "
    "d.ID=dv.DOMAINID WHERE d.ENABLED='Y' ORDER BY d.DOMNAME, dv.VERSION ASC",
    {"RDDOMS", "RDDOVR"},
    true,
    {},
    nullptr};
const RefDataJoin kVersionLanguages = {
    "SELECT l.CODE, l.LANGNAME, dfl.CODE, l.ID, olv.DOMLANID FROM %s o INNER JOIN %s ol ON o.ID=ol.DOMAINID INNER "
    "JOIN %s olv ON ol.ID=olv.DOMLANID INNER JOIN %s l ON l.ID=ol.LANGID INNER JOIN %s dfl ON dfl.ID=o.DEFLANID",
    {"RDDOMS", "RDDOLG", "RDDOLV", "RDLANS", "RDLANS"},
    false,
    {is("l.ID=?"), is("o.ID=?"), is("olv.DOMVERID=?")},
    nullptr};
const RefDataJoin kUsedDomainLanguages = {
    "SELECT ID FROM %s WHERE LANGID IN ( SELECT LANGID FROM %s iav  INNER JOIN %s iavv ON iav.ID=iavv.ITATVLID %s  "
    "GROUP BY LANGID)",
    {"RDDOLG", "RDITAV", "RDITVV", kParts},
    true,
    {is("DOMAINID=?"), part("WHERE iavv.DOMVERID=?")},
    nullptr};
const RefDataJoin kDomainUserAttributes = {
    "SELECT a.ID, a.ATTRNAME, a.DESCRPTN, oa.ID, oa.ATTRIBID, oav.ISDEFALT FROM %s oa INNER JOIN %s a ON "
    "oa.ATTRIBID=a.ID INNER JOIN %s ac ON a.CONTYID=ac.ID   AND ac.CONTYPE='RD_USER_ATTRIBUTE' INNER JOIN %s oav ON "
    "oav.DOMATTID=oa.ID",
    {"RDDOAT", "RDATRS", "RDATRC", "RDDATV"},
    false,
    {is("oa.DOMAINID=?"), is("oav.DOMVERID=?")},
    " ORDER BY a.ATTRNAME ASC"};
const RefDataJoin kUsedDomainAttributes = {
    "SELECT ID FROM %s WHERE ATTRIBID IN ( SELECT ATTRIBID FROM %s iavv  INNER JOIN %s ia ON iavv.ITEATTID=ia.ID  %s "
    "GROUP BY ATTRIBID)",
    {"RDDOAT", "RDITVV", "RDDOIA", kParts},
    true,
    {is("DOMAINID=?"), part(" WHERE iavv.DOMVERID=?")},
    nullptr};
const RefDataJoin kDomainUserAttributesWithLanguages = {
    "SELECT a.ID, a.ATTRNAME, a.DESCRPTN, oa.ID, oa.ATTRIBID, oav.ISDEFALT, la.LANGNAME FROM %s oa INNER JOIN %s a ON "
    "oa.ATTRIBID=a.ID INNER JOIN %s ac ON a.CONTYID=ac.ID  AND ac.CONTYPE='RD_USER_ATTRIBUTE' INNER JOIN %s oav ON "
    "oav.DOMATTID=oa.ID INNER JOIN %s dl ON oa.DOMAINID=dl.DOMAINID INNER JOIN %s la ON dl.LANGID=la.ID ",
    {"RDDOAT", "RDATRS", "RDATRC", "RDDATV", "RDDOLG", "RDLANS"},
    false,
    {is("oa.DOMAINID=?"), is("oav.DOMVERID=?")},
    nullptr};
const RefDataJoin kItemHierarchy = {
    "SELECT i.ID, iv.PARNTID, i.ITEMKEY, i.ITEMVAL, iv.LINEAGE, iv.ITEMLVL, iv.ID FROM %s iv INNER JOIN %s i ON "
    "iv.ITEMID=i.ID",
    {"RDITVR", "RDDOIT"},
    false,
    {is("i.ID=?"), is("iv.DOMVERID=?")},
    nullptr};
const RefDataJoin kDomainItemsWithAttributes = {
    "SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, a.DESCRPTN, l.LANGNAME, d.DOMNAME, "
    "dv.VERSION FROM %s d INNER JOIN %s dv ON d.ID=dv.DOMAINID INNER JOIN %s iv ON iv.DOMVERID=dv.ID INNER JOIN %s i "
    "ON iv.ITEMID=i.ID LEFT JOIN %s ia ON ia.ITVERID=iv.ID LEFT JOIN %s a ON ia.ATTRIBID=a.ID LEFT JOIN %s iav ON "
    "iav.ITEATTID=ia.ID AND iav.DOMVERID=iv.DOMVERID LEFT JOIN %s iavv ON iav.ITEATTID=iavv.ITEATTID  AND "
    "iavv.DOMVERID=iv.DOMVERID LEFT JOIN %s av ON av.ID=iavv.ITATVLID LEFT JOIN %s l ON av.LANGID=l.ID",
    {"RDDOMS", "RDDOVR", "RDITVR", "RDDOIT", "RDDOIA", "RDATRS", "RDIAVR", "RDITVV", "RDITAV", "RDLANS"},
    false,
    {is("dv.DOMAINID=?"), is("iv.DOMVERID=?")},
    " ORDER BY dv.VERSION desc, i.ITEMKEY, a.ID, av.LANGID"};
// The placement's attributes paired with each tie of theirs to its version, or one row of nulls
// when it has none: joined step by step, since SQLite would build the pairs of every version
// first as a table of their own.
const RefDataJoin kVersionItemsWithAttributes = {
    "SELECT iv.ID, i.ITEMKEY, i.ITEMVAL, iv.PARNTID, av.VALUE, a.ATTRNAME, a.DESCRPTN, l.LANGNAME, d.DOMNAME, "
    "dv.VERSION FROM %s iv INNER JOIN %s dv ON iv.DOMVERID=dv.ID INNER JOIN %s d ON d.ID=dv.DOMAINID INNER JOIN %s i "
    "ON iv.ITEMID=i.ID LEFT JOIN %s ia ON ia.ITVERID=iv.ID AND EXISTS (SELECT 1 FROM %s t WHERE t.ITEATTID=ia.ID "
    "AND t.DOMVERID=iv.DOMVERID) LEFT JOIN %s iav ON iav.ITEATTID=ia.ID AND iav.DOMVERID=iv.DOMVERID LEFT JOIN %s a "
    "ON ia.ATTRIBID=a.ID AND iav.DOMVERID=iv.DOMVERID LEFT JOIN %s iavv ON iav.ITEATTID=iavv.ITEATTID AND "
    "iavv.DOMVERID=iv.DOMVERID LEFT JOIN %s av ON av.ID=iavv.ITATVLID LEFT JOIN %s l ON av.LANGID=l.ID",
    {"RDITVR", "RDDOVR", "RDDOMS", "RDDOIT", "RDDOIA", "RDIAVR", "RDIAVR", "RDATRS", "RDITVV", "RDITAV", "RDLANS"},
    false,
    {is("d.ID=?"), is("dv.VERSION=?")},
    nullptr};
// The subquery's WHERE opens the clause: the filters extend the join's ON condition.
const RefDataJoin kChildItems = {
    "SELECT iv.ID, iv.PARNTID, i.ITEMKEY, i.ITEMVAL, iv.LINEAGE, iv.ITEMLVL, ( SELECT COUNT(*) FROM %s iv2 WHERE "
    "iv2.DOMVERID=iv.DOMVERID  AND iv2.PARNTID=iv.ID) AS CHILDREN_COUNT FROM %s iv INNER JOIN %s i ON iv.ITEMID=i.ID",
    {"RDITVR", "RDITVR", "RDDOIT"},
    true,
    {is("iv.DOMVERID=?"), is("iv.PARNTID=?")},
    nullptr};
const RefDataJoin kItemAttributeNames = {
    "SELECT a.ID, a.ATTRNAME, a.DESCRPTN, ia.ID FROM %s ia INNER JOIN %s iav ON ia.ID=iav.ITEATTID INNER JOIN %s a ON "
    "a.ID = ia.ATTRIBID",
    {"RDDOIA", "RDIAVR", "RDATRS"},
    false,
    {is("ia.ITVERID=?"), is("iav.DOMVERID=?")},
    " ORDER BY a.ATTRNAME ASC"};
const RefDataJoin kItemValuesWithLanguages = {
    "SELECT a.ID, a.ATTRNAME, a.DESCRPTN, iava.*, iavv.ITEATTID, l.CODE, l.ID FROM %s ia INNER JOIN %s iav ON "
    "ia.ID=iav.ITEATTID INNER JOIN %s a ON a.ID=ia.ATTRIBID LEFT JOIN %s iavv ON iav.DOMVERID=iavv.DOMVERID  AND "
    "ia.ID=iavv.ITEATTID LEFT JOIN %s iava ON iava.ID=iavv.ITATVLID LEFT JOIN %s l ON l.ID=iava.LANGID",
    {"RDDOIA", "RDIAVR", "RDATRS", "RDITVV", "RDITAV", "RDLANS"},
    false,
    {is("ia.ITVERID=?"), is("iav.DOMVERID=?")},
    nullptr};
const RefDataJoin kPublicationsWithDomains = {
    "SELECT pc.*, d.DOMNAME FROM %s pc INNER JOIN %s d ON pc.DOMAINID=d.ID",
    {"RDPUBS", "RDDOMS"},
    false,
    {is("pc.ID=?"), is("pc.PUBNAME=?", T, 50), is("pc.PUBTYPE=?", T, 50), is("pc.DOMAINID=?"), is("pc.VERSION=?"),
     is("pc.DSN=?", T, 50), is("pc.SCHEMANM=?", T, 50)},
    nullptr};
// The order names the note's own stamp: the account's CRTDATE would make a bare name ambiguous.
const RefDataJoin kPublicationNotes = {
    "SELECT n.*, a.ACTNAME FROM %s n INNER JOIN %s a ON n.ACCTID=a.ID WHERE TABLNAME='USER_PUBS'",
    {"RDNOTS", "RDACTS"},
    true,
    {is("n.DOMAINID=?")},
    " ORDER BY n.CRTDATE DESC"};

const RefDataColumn* findColumn(const RefDataTable& table, const char* name) {
    for (const RefDataColumn& column : table.columns) {
        if (!column.name) break;
        if (std::strcmp(column.name, name) == 0) return &column;
    }
    return nullptr;
}

// text with each "%s" replaced by the next of names in turn.
std::string fill(const char* text, const std::vector<std::string>& names) {
    std::string out;
    size_t next = 0;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && next < names.size()) {
            out += names[next++];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

}  // namespace

// ---- the engine

bool RefDataRDAImpl::insertRow(int line, const RefDataTable& table, Values values, uint32_t* newId) {
    if (!checkConnection(kSource, line)) return false;
    const RefDataColumn* column = table.columns;
    const RefDataColumn* end = column;
    while (end < table.columns + kRefDataMaxColumns && end->name) ++end;
    const size_t written = static_cast<size_t>(end - column) - (table.key ? 1 : 0) - (table.stamped ? 1 : 0);
    if (values.size() != written) {
        reposLog(getLogger(), 5, kSource, line, "Insert into %s: %d values for %d columns", table.name,
                 static_cast<int>(values.size()), static_cast<int>(written));
        return false;
    }
    // A begin that failed opened no level: the scope ends none.
    Transaction transaction(this);
    if (!transaction.begun()) return logFailure(kSource, line);

    Sql sql(onTable("INSERT INTO", table.name, " ("));
    std::vector<ValueInfo> info;
    VqbString markers("");
    auto add = [&](const RefDataColumn& written, const VqbDatavar& value) {
        if (!info.empty()) {
            sql.append(", ");
            markers.append(",");
        }
        sql.append(written.name);
        markers.append("?");
        sql.bind(value);
        info.push_back({written.type, written.width});
    };
    uint32_t drawn = 0;
    if (table.key) {
        if (!nextId(kSource, line, table.name, drawn)) return false;
        add(*column++, idValue(drawn));
    }
    for (const Value& value : values) {
        if (value.present()) add(*column, value.value());
        ++column;
    }
    if (table.stamped) add(*column, VqbDatavar(VqbDate::currentDate().asDouble()));
    // A link row given no value at all is still a row.
    if (info.empty())
        sql = Sql(onTable("INSERT INTO", table.name, " DEFAULT VALUES"));
    else
        sql.append(") VALUES (").append(markers).append(")");

    if (!runPrepared(kSource, line, sql, info)) return false;
    if (!transaction.commit()) return logFailure(kSource, line);
    if (newId) *newId = drawn;
    return true;
}

bool RefDataRDAImpl::appendFilters(int line, Sql& sql, std::vector<ValueInfo>& info, const RefDataFilters& filters,
                                   Values values) {
    const char* const* name = filters.columns;
    for (const Value& value : values) {
        const RefDataColumn* column = *name ? findColumn(*filters.table, *name) : nullptr;
        if (!column) {
            reposLog(getLogger(), 5, kSource, line, "A filter of %s has no column", filters.table->name);
            return false;
        }
        ++name;
        if (!value.present()) continue;
        sql.where(column->name, value.value());
        info.push_back({column->type, column->width});
    }
    return true;
}

ReposDataAccessCursor* RefDataRDAImpl::listRows(int line, const RefDataFilters& filters, Values values) {
    if (!checkConnection(kSource, line)) return nullptr;
    Sql sql(rowSelect(filters.table->name));
    std::vector<ValueInfo> info;
    if (!appendFilters(line, sql, info, filters, values)) return nullptr;
    if (filters.orderBy) sql.append(filters.orderBy);
    return selectPrepared(kSource, line, sql, info);
}

bool RefDataRDAImpl::deleteRows(int line, const RefDataFilters& filters, Values values) {
    if (!checkConnection(kSource, line)) return false;
    Sql sql(onTable("DELETE FROM", filters.table->name));
    std::vector<ValueInfo> info;
    if (!appendFilters(line, sql, info, filters, values)) return false;
    return runPrepared(kSource, line, sql, info);
}

ReposDataAccessCursor* RefDataRDAImpl::joinRows(int line, const RefDataJoin& join, Values values) {
    if (!checkConnection(kSource, line)) return nullptr;
    std::vector<VqbDatavar> partValues;
    std::vector<ValueInfo> info;
    std::string parts;
    // The parts stand inside the text, before every condition: their values come first.
    const RefDataJoinFilter* filter = join.filters;
    for (const Value& value : values) {
        if (value.present() && filter->part) {
            parts += filter->table ? fill(filter->text, {tableName(filter->table).str()}) : filter->text;
            for (int i = 0; i < filter->markers; ++i) {
                partValues.push_back(value.value());
                info.push_back({filter->type, filter->width});
            }
        }
        ++filter;
    }
    std::vector<std::string> names;
    for (const char* table : join.tables) {
        if (!table) break;
        names.push_back(table == kParts ? parts : tableName(table).str());
    }
    Sql sql(VqbString(fill(join.text, names)));
    for (const VqbDatavar& value : partValues) sql.bind(value);
    if (join.whereOpen) sql.whereOpen();
    filter = join.filters;
    for (const Value& value : values) {
        if (value.present() && !filter->part) {
            const std::string condition =
                filter->table ? fill(filter->text, {tableName(filter->table).str()}) : filter->text;
            sql.condition(condition.c_str());
            for (int i = 0; i < filter->markers; ++i) {
                sql.bind(value.value());
                info.push_back({filter->type, filter->width});
            }
        }
        ++filter;
    }
    if (join.orderBy) sql.append(join.orderBy);
    return selectPrepared(kSource, line, sql, info);
}

// ---- inserts

bool RefDataRDAImpl::addAccount(const VqbString& name, const VqbString& type, const VqbString& authServer,
                                const VqbString& email, const VqbString& phone, const VqbString& address,
                                const VqbString& notify, int defaultRoleId, uint32_t* newId) try {
    return insertRow(__LINE__, kAccounts, {name, type, authServer, email, phone, address, notify, defaultRoleId},
                     newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addAttribute(const VqbString& name, const VqbString& description, int attributeTypeId,
                                  const VqbString& typeText, int containerId, int languageId, int /*reserved*/,
                                  const VqbString& alternateTypeText, uint32_t* newId) try {
    // One ATTRTYPE column: two values for it would name it twice, which servers refuse.
    return insertRow(__LINE__, kAttributes,
                     {attributeTypeId, containerId, name, description,
                      typeText.isEmpty() ? alternateTypeText : typeText, languageId},
                     newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addAttributeContainer(const VqbString& containerType, const VqbString& description,
                                           uint32_t* newId) try {
    return insertRow(__LINE__, kContainers, {containerType, description}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addAttributeType(const VqbString& typeCode, const VqbString& description, uint32_t* newId) try {
    return insertRow(__LINE__, kAttributeTypes, {typeCode, description}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addLanguage(const VqbString& name, const VqbString& code, uint32_t* newId) try {
    return insertRow(__LINE__, kLanguages, {name, code}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addOperation(const VqbString& permission, const VqbString& description, uint32_t position,
                                  uint32_t* newId) try {
    return insertRow(__LINE__, kOperations, {permission, description, position}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addRole(const VqbString& name, const VqbString& description, const VqbString& roleType,
                             uint32_t* newId) try {
    return insertRow(__LINE__, kRoles, {name, description, roleType}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItem(const VqbString& key, const VqbString& value, const VqbString& enabled,
                             const VqbString& active, const VqbString& scope, int accountId, uint32_t* newId) try {
    return insertRow(__LINE__, kItems, {key, value, enabled, active, scope, accountId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemAttributeValue(const VqbString& value, int languageId, uint32_t* newId) try {
    return insertRow(__LINE__, kItemValues, {value, languageId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomain(const VqbString& name, const VqbString& description, const VqbString& domainType,
                               const VqbString& enabled, const VqbString& active, const VqbString& scope,
                               int defaultLanguageId, const VqbString& isLocked, int ownerId, int lockedById,
                               const VqbDate& lockDate, const VqbString& confType, uint32_t* newId) try {
    return insertRow(__LINE__, kDomains,
                     {name, description, domainType, enabled, active, scope, defaultLanguageId, isLocked, ownerId,
                      lockedById, lockDate, confType},
                     newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainPermission(int domainId, int accountId, int permissionId) try {
    return insertRow(__LINE__, kDomainPermissions, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainVersion(int domainId, int version, const VqbString& label, const VqbString& enabled,
                                      const VqbString& active, const VqbString& scope, int accountId,
                                      const VqbString& isLocked, int lockedById, const VqbDate& lockDate,
                                      uint32_t* newId) try {
    return insertRow(__LINE__, kVersions,
                     {domainId, version, label, enabled, active, scope, accountId, isLocked, lockedById, lockDate},
                     newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainVersionPermission(int domainVersionId, int accountId, int permissionId) try {
    return insertRow(__LINE__, kVersionPermissions, {domainVersionId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addNote(int domainId, const VqbString& noteType, int tableKeyId, const VqbString& tableName,
                             const VqbString& text, int languageId, int accountId, uint32_t* newId) try {
    return insertRow(__LINE__, kNotes, {domainId, noteType, tableKeyId, tableName, text, languageId, accountId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAccess(int domainId, int accountId, int roleId) try {
    return insertRow(__LINE__, kDomainAccess, {domainId, accountId, roleId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAssociation(int domainId, const VqbString& name, uint32_t* newId) try {
    return insertRow(__LINE__, kAssociations, {domainId, name}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainLanguage(int domainId, int languageId, uint32_t* newId) try {
    return insertRow(__LINE__, kDomainLanguages, {domainId, languageId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainLanguageVersion(int domainVersionId, int domainLanguageId) try {
    return insertRow(__LINE__, kLanguageVersions, {domainVersionId, domainLanguageId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAttribute(int domainId, int attributeId, uint32_t* newId) try {
    return insertRow(__LINE__, kDomainAttributes, {domainId, attributeId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAttributePermission(int domainId, int accountId, int permissionId) try {
    return insertRow(__LINE__, kAttributePermissions, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAttributeVersion(int domainId, int domainAttributeId, int domainVersionId,
                                               const VqbString& isDefault) try {
    return insertRow(__LINE__, kAttributeVersions, {domainId, domainAttributeId, domainVersionId, isDefault});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAttributeValue(int domainAttributeId, const VqbString& value, const VqbString& isDefault,
                                             int languageId, uint32_t* newId) try {
    return insertRow(__LINE__, kAttributeValues, {domainAttributeId, value, isDefault, languageId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addDomainAttributeValueVersion(int domainVersionId, int valueId) try {
    return insertRow(__LINE__, kValueVersions, {domainVersionId, valueId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemPermission(int itemId, int accountId, int permissionId) try {
    return insertRow(__LINE__, kItemPermissions, {itemId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemVersion(int domainVersionId, int itemId, int level, const VqbString& lineage, int parentId,
                                    uint32_t* newId) try {
    return insertRow(__LINE__, kPlacements, {domainVersionId, itemId, level, lineage, parentId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemAttribute(int placementId, int attributeId, uint32_t* newId) try {
    return insertRow(__LINE__, kItemAttributes, {placementId, attributeId}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemAttributePermission(int itemAttributeId, int accountId, int permissionId) try {
    return insertRow(__LINE__, kItemAttributePermissions, {itemAttributeId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemAttributeVersion(int domainVersionId, int itemAttributeId) try {
    return insertRow(__LINE__, kItemAttributeVersions, {domainVersionId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addItemAttributeValueVersion(int domainVersionId, int valueId, int itemAttributeId) try {
    return insertRow(__LINE__, kItemValueVersions, {domainVersionId, valueId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::addPublication(const VqbString& name, const VqbString& type, int domainId, int version,
                                    const VqbString& dsn, const VqbString& schema, uint32_t* newId) try {
    return insertRow(__LINE__, kPublications, {name, type, domainId, version, dsn, schema}, newId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- lists

ReposDataAccessCursor* RefDataRDAImpl::listAccounts(uint32_t id, const VqbString& name, const VqbString& type,
                                                    const VqbString& authServer, const VqbString& email,
                                                    const VqbString& phone, const VqbString& address) try {
    return listRows(__LINE__, kListAccounts, {name, type, authServer, email, phone, address, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listAttributes(uint32_t id, const VqbString& name,
                                                      const VqbString& description) try {
    return listRows(__LINE__, kListAttributes, {name, description, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listUserAttributes(uint32_t id, const VqbString& name,
                                                          const VqbString& description) try {
    return joinRows(__LINE__, kUserAttributes, {name, description, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listAttributeContainers(uint32_t id, const VqbString& containerType,
                                                               const VqbString& description) try {
    return listRows(__LINE__, kListContainers, {containerType, description, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listAttributeTypes(uint32_t id, const VqbString& typeCode,
                                                          const VqbString& description) try {
    return listRows(__LINE__, kListAttributeTypes, {typeCode, description, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listLanguages(uint32_t id, const VqbString& name, const VqbString& code) try {
    return listRows(__LINE__, kListLanguages, {name, code, id});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listOperations(uint32_t id, const VqbString& permission,
                                                      const VqbString& description, uint32_t position) try {
    return listRows(__LINE__, kOperationFilters, {id, permission, description, position});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listRoles(uint32_t id, const VqbString& name, const VqbString& description,
                                                 const VqbString& roleType) try {
    return listRows(__LINE__, kRoleFilters, {id, name, description, roleType});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItems(uint32_t id, const VqbString& key, const VqbString& value,
                                                 const VqbString& enabled, const VqbString& active,
                                                 const VqbString& scope, uint32_t accountId) try {
    return listRows(__LINE__, kItemFilters, {id, key, value, enabled, active, scope, accountId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemPermissions(uint32_t itemId, uint32_t accountId,
                                                           uint32_t permissionId) try {
    return listRows(__LINE__, kItemPermissionFilters, {itemId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributeValues(uint32_t id, const VqbString& value,
                                                               uint32_t languageId) try {
    return listRows(__LINE__, kItemValueFilters, {id, value, languageId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomains(uint32_t id, const VqbString& name, const VqbString& description,
                                                   const VqbString& domainType, const VqbString& enabled,
                                                   const VqbString& active, const VqbString& scope,
                                                   uint32_t defaultLanguageId, const VqbString& isLocked,
                                                   uint32_t ownerId, uint32_t lockedById, const VqbDate& lockDate,
                                                   const VqbString& confType, const VqbDate& created) try {
    return listRows(__LINE__, kDomainFilters,
                    {id, name, description, domainType, enabled, active, scope, defaultLanguageId, isLocked, ownerId,
                     lockedById, lockDate, confType, created});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainsWithVersions(uint32_t domainId, const VqbString& name,
                                                               bool latestOnly) try {
    return joinRows(__LINE__, kDomainsWithVersions, {Value::flag(latestOnly), domainId, name});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainVersionInfo(uint32_t domainId, uint32_t versionId) try {
    return joinRows(__LINE__, kDomainVersionInfo, {domainId, versionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::getDomainDetails(uint32_t domainId) try {
    return joinRows(__LINE__, kDomainDetails, {domainId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::getLatestDomainVersion(uint32_t domainId) try {
    return joinRows(__LINE__, kLatestDomainVersion, {domainId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainPermissions(uint32_t domainId, uint32_t accountId,
                                                             uint32_t permissionId) try {
    return listRows(__LINE__, kDomainPermissionFilters, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainVersions(uint32_t id, uint32_t domainId, uint32_t version,
                                                          const VqbString& label, const VqbString& enabled,
                                                          const VqbString& active, const VqbString& scope,
                                                          uint32_t accountId, const VqbString& isLocked,
                                                          uint32_t lockedById, const VqbDate& lockDate,
                                                          const VqbDate& created) try {
    return listRows(
        __LINE__, kListVersions,
        {id, domainId, version, label, enabled, active, scope, accountId, isLocked, lockedById, lockDate, created});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainVersionsWithOwners(uint32_t domainId, bool latestOnly) try {
    // Without a domain there is no latest version to keep.
    const uint32_t latestOf = latestOnly ? domainId : 0xFFFFFFFFu;
    return joinRows(__LINE__, kVersionsWithOwners, {domainId, latestOf});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listEnabledDomainVersions() try {
    return joinRows(__LINE__, kEnabledDomainVersions, {});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId,
                                                                    uint32_t permissionId) try {
    return listRows(__LINE__, kVersionPermissionFilters, {domainVersionId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listNotes(uint32_t id, uint32_t domainId, const VqbString& noteType,
                                                 uint32_t tableKeyId, const VqbString& tableName, const VqbString& text,
                                                 uint32_t languageId, uint32_t accountId, const VqbDate& created) try {
    return listRows(__LINE__, kListNotes,
                    {id, domainId, noteType, tableKeyId, tableName, text, languageId, accountId, created});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) try {
    return listRows(__LINE__, kDomainAccessFilters, {domainId, accountId, roleId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAssociations(uint32_t domainId, uint32_t associationId,
                                                              const VqbString& name) try {
    return listRows(__LINE__, kAssociationFilters, {domainId, associationId, name});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) try {
    return listRows(__LINE__, kDomainLanguageFilters, {id, domainId, languageId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainVersionLanguages(uint32_t languageId, uint32_t domainId,
                                                                  uint32_t domainVersionId) try {
    return joinRows(__LINE__, kVersionLanguages, {languageId, domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listUsedDomainLanguageIds(uint32_t domainId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kUsedDomainLanguages, {domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainLanguageVersions(uint32_t domainVersionId,
                                                                  uint32_t domainLanguageId) try {
    return listRows(__LINE__, kLanguageVersionFilters, {domainVersionId, domainLanguageId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) try {
    return listRows(__LINE__, kDomainAttributeFilters, {id, domainId, attributeId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainUserAttributes(uint32_t domainId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kDomainUserAttributes, {domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listUsedDomainAttributeIds(uint32_t domainId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kUsedDomainAttributes, {domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainUserAttributesWithLanguages(uint32_t domainId,
                                                                             uint32_t domainVersionId) try {
    return joinRows(__LINE__, kDomainUserAttributesWithLanguages, {domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAttributePermissions(uint32_t domainId, uint32_t accountId,
                                                                      uint32_t permissionId) try {
    return listRows(__LINE__, kAttributePermissionFilters, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId,
                                                                   uint32_t domainVersionId,
                                                                   const VqbString& isDefault) try {
    return listRows(__LINE__, kAttributeVersionFilters, {domainId, domainAttributeId, domainVersionId, isDefault});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAttributeValues(uint32_t id, uint32_t domainAttributeId,
                                                                 const VqbString& value, const VqbString& isDefault,
                                                                 uint32_t languageId) try {
    return listRows(__LINE__, kAttributeValueFilters, {id, domainAttributeId, value, isDefault, languageId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainAttributeValueVersions(uint32_t domainVersionId,
                                                                        uint32_t valueId) try {
    return listRows(__LINE__, kValueVersionFilters, {domainVersionId, valueId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemHierarchy(uint32_t itemId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kItemHierarchy, {itemId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listDomainItemsWithAttributes(uint32_t domainId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kDomainItemsWithAttributes, {domainId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listVersionItemsWithAttributes(uint32_t domainId, uint32_t version) try {
    return joinRows(__LINE__, kVersionItemsWithAttributes, {domainId, version});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId,
                                                        const VqbDate& created, uint32_t level,
                                                        const VqbString& lineage, uint32_t parentId) try {
    return listRows(__LINE__, kPlacementFilters, {id, domainVersionId, itemId, created, level, lineage, parentId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listChildItems(uint32_t domainVersionId, uint32_t parentId) try {
    return joinRows(__LINE__, kChildItems, {domainVersionId, parentId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) try {
    return listRows(__LINE__, kItemAttributeFilters, {id, placementId, attributeId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributeNames(uint32_t placementId, uint32_t domainVersionId) try {
    return joinRows(__LINE__, kItemAttributeNames, {placementId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId,
                                                                    uint32_t permissionId) try {
    return listRows(__LINE__, kItemAttributePermissionFilters, {itemAttributeId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributeVersions(uint32_t domainVersionId,
                                                                 uint32_t itemAttributeId) try {
    return listRows(__LINE__, kItemAttributeVersionFilters, {domainVersionId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributeValuesWithLanguages(uint32_t placementId,
                                                                            uint32_t domainVersionId) try {
    return joinRows(__LINE__, kItemValuesWithLanguages, {placementId, domainVersionId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                                                      uint32_t itemAttributeId) try {
    return listRows(__LINE__, kItemValueVersionFilters, {domainVersionId, valueId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listPublications(uint32_t id, const VqbString& name, const VqbString& type,
                                                        uint32_t domainId, uint32_t version, const VqbString& dsn,
                                                        const VqbString& schema) try {
    return joinRows(__LINE__, kPublicationsWithDomains, {id, name, type, domainId, version, dsn, schema});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* RefDataRDAImpl::listPublicationNotes(uint32_t domainId) try {
    return joinRows(__LINE__, kPublicationNotes, {domainId});
} catch (...) {
    return caught(__LINE__, nullptr);
}

// ---- deletes

bool RefDataRDAImpl::deleteAccounts(uint32_t id, const VqbString& name, const VqbString& type,
                                    const VqbString& authServer, const VqbString& email, const VqbString& phone,
                                    const VqbString& address) try {
    return deleteRows(__LINE__, kDeleteAccounts, {id, name, type, authServer, email, phone, address});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteAttributes(uint32_t id, const VqbString& name) try {
    return deleteRows(__LINE__, kDeleteAttributes, {name, id});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteAttributeContainers(uint32_t id, const VqbString& containerType,
                                               const VqbString& description) try {
    return deleteRows(__LINE__, kDeleteContainers, {id, containerType, description});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteAttributeTypes(uint32_t id, const VqbString& typeCode, const VqbString& description) try {
    return deleteRows(__LINE__, kDeleteAttributeTypes, {id, typeCode, description});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteLanguages(uint32_t id, const VqbString& name, const VqbString& code) try {
    return deleteRows(__LINE__, kDeleteLanguages, {id, name, code});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteOperations(uint32_t id, const VqbString& permission, const VqbString& description,
                                      uint32_t position) try {
    return deleteRows(__LINE__, kOperationFilters, {id, permission, description, position});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteRoles(uint32_t id, const VqbString& name, const VqbString& description,
                                 const VqbString& roleType) try {
    return deleteRows(__LINE__, kRoleFilters, {id, name, description, roleType});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItems(uint32_t id, const VqbString& key, const VqbString& value, const VqbString& enabled,
                                 const VqbString& active, const VqbString& scope, uint32_t accountId) try {
    return deleteRows(__LINE__, kItemFilters, {id, key, value, enabled, active, scope, accountId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemAttributeValues(uint32_t id, const VqbString& value, uint32_t languageId) try {
    return deleteRows(__LINE__, kItemValueFilters, {id, value, languageId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomains(uint32_t id, const VqbString& name, const VqbString& description,
                                   const VqbString& domainType, const VqbString& enabled, const VqbString& active,
                                   const VqbString& scope, uint32_t defaultLanguageId, const VqbString& isLocked,
                                   uint32_t ownerId, uint32_t lockedById, const VqbDate& lockDate,
                                   const VqbString& confType, const VqbDate& created) try {
    return deleteRows(__LINE__, kDomainFilters,
                      {id, name, description, domainType, enabled, active, scope, defaultLanguageId, isLocked, ownerId,
                       lockedById, lockDate, confType, created});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainPermissions(uint32_t domainId, uint32_t accountId, uint32_t permissionId) try {
    return deleteRows(__LINE__, kDomainPermissionFilters, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainVersions(uint32_t id, uint32_t domainId, uint32_t version, const VqbString& label,
                                          const VqbString& enabled, const VqbString& active, const VqbString& scope,
                                          uint32_t accountId, const VqbString& isLocked, uint32_t lockedById,
                                          const VqbDate& lockDate, const VqbDate& created) try {
    return deleteRows(
        __LINE__, kDeleteVersions,
        {id, domainId, version, label, enabled, active, scope, accountId, isLocked, lockedById, lockDate, created});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainVersionPermissions(uint32_t domainVersionId, uint32_t accountId,
                                                    uint32_t permissionId) try {
    return deleteRows(__LINE__, kVersionPermissionFilters, {domainVersionId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteNotes(uint32_t id, uint32_t domainId, const VqbString& noteType, uint32_t tableKeyId,
                                 const VqbString& tableName, const VqbString& text, uint32_t languageId,
                                 uint32_t accountId) try {
    return deleteRows(__LINE__, kDeleteNotes,
                      {id, domainId, noteType, tableKeyId, tableName, text, languageId, accountId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAccess(uint32_t domainId, uint32_t accountId, uint32_t roleId) try {
    return deleteRows(__LINE__, kDomainAccessFilters, {domainId, accountId, roleId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAssociations(uint32_t domainId, uint32_t associationId, const VqbString& name) try {
    return deleteRows(__LINE__, kAssociationFilters, {domainId, associationId, name});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainLanguages(uint32_t id, uint32_t domainId, uint32_t languageId) try {
    return deleteRows(__LINE__, kDomainLanguageFilters, {id, domainId, languageId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainLanguageVersions(uint32_t domainVersionId, uint32_t domainLanguageId) try {
    return deleteRows(__LINE__, kLanguageVersionFilters, {domainVersionId, domainLanguageId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAttributes(uint32_t id, uint32_t domainId, uint32_t attributeId) try {
    return deleteRows(__LINE__, kDomainAttributeFilters, {id, domainId, attributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAttributePermissions(uint32_t domainId, uint32_t accountId,
                                                      uint32_t permissionId) try {
    return deleteRows(__LINE__, kAttributePermissionFilters, {domainId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAttributeVersions(uint32_t domainId, uint32_t domainAttributeId,
                                                   uint32_t domainVersionId, const VqbString& isDefault) try {
    return deleteRows(__LINE__, kAttributeVersionFilters, {domainId, domainAttributeId, domainVersionId, isDefault});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAttributeValues(uint32_t id, uint32_t domainAttributeId, const VqbString& value,
                                                 const VqbString& isDefault, uint32_t languageId) try {
    return deleteRows(__LINE__, kAttributeValueFilters, {id, domainAttributeId, value, isDefault, languageId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteDomainAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId) try {
    return deleteRows(__LINE__, kValueVersionFilters, {domainVersionId, valueId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemPermissions(uint32_t itemId, uint32_t accountId, uint32_t permissionId) try {
    return deleteRows(__LINE__, kItemPermissionFilters, {itemId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemVersions(uint32_t id, uint32_t domainVersionId, uint32_t itemId, const VqbDate& created,
                                        uint32_t level, const VqbString& lineage, uint32_t parentId) try {
    return deleteRows(__LINE__, kPlacementFilters, {id, domainVersionId, itemId, created, level, lineage, parentId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemAttributes(uint32_t id, uint32_t placementId, uint32_t attributeId) try {
    return deleteRows(__LINE__, kItemAttributeFilters, {id, placementId, attributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemAttributePermissions(uint32_t itemAttributeId, uint32_t accountId,
                                                    uint32_t permissionId) try {
    return deleteRows(__LINE__, kItemAttributePermissionFilters, {itemAttributeId, accountId, permissionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemAttributeVersions(uint32_t domainVersionId, uint32_t itemAttributeId) try {
    return deleteRows(__LINE__, kItemAttributeVersionFilters, {domainVersionId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteItemAttributeValueVersions(uint32_t domainVersionId, uint32_t valueId,
                                                      uint32_t itemAttributeId) try {
    return deleteRows(__LINE__, kItemValueVersionFilters, {domainVersionId, valueId, itemAttributeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deletePublications(uint32_t id, const VqbString& name, const VqbString& type, uint32_t domainId,
                                        uint32_t version, const VqbString& dsn, const VqbString& schema) try {
    return deleteRows(__LINE__, kPublicationFilters, {id, name, type, domainId, version, dsn, schema});
} catch (...) {
    return caught(__LINE__, false);
}

// ---- the staging tables

bool RefDataRDAImpl::deleteImportItems(uint32_t id, uint32_t itemId, const VqbString& valueColumn,
                                       const VqbString& displayColumn, const VqbString& parentColumn, uint32_t parentId,
                                       uint32_t domainVersionId, uint32_t profile, const VqbString& importFlag,
                                       const VqbString& versionFlag, const VqbString& parentKeyColumn,
                                       const VqbString& lineage, uint32_t level, uint32_t itemVersionId,
                                       const VqbDate& created) try {
    return deleteRows(__LINE__, kImportItemFilters,
                      {id, itemId, valueColumn, displayColumn, parentColumn, parentId, domainVersionId, profile,
                       importFlag, versionFlag, parentKeyColumn, lineage, level, itemVersionId, created});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteImportAttributeValues(uint32_t id, uint32_t itemId, uint32_t attributeId, uint32_t valueId,
                                                 uint32_t languageId, const VqbString& attributeValue, uint32_t profile,
                                                 const VqbString& valueImportFlag, const VqbString& attributeImportFlag,
                                                 const VqbString& valueVersionFlag,
                                                 const VqbString& attributeVersionFlag, uint32_t attributeKey,
                                                 uint32_t valueKey, uint32_t itemAttributeId, uint32_t domainVersionId,
                                                 uint32_t itemVersionId, const VqbDate& created) try {
    return deleteRows(__LINE__, kImportValueFilters,
                      {id, itemId, attributeId, valueId, languageId, attributeValue, profile, valueImportFlag,
                       attributeImportFlag, valueVersionFlag, attributeVersionFlag, attributeKey, valueKey,
                       itemAttributeId, domainVersionId, itemVersionId, created});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteImportItemVersions(uint32_t domainVersionId, uint32_t itemId, const VqbDate& created,
                                              uint32_t level, const VqbString& lineage, uint32_t parentId,
                                              uint32_t profile) try {
    return deleteRows(__LINE__, kImportVersionFilters,
                      {domainVersionId, itemId, created, level, lineage, parentId, profile});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteTempItems(uint32_t itemId, uint32_t domainVersionId) try {
    return deleteRows(__LINE__, kTempItemFilters, {itemId, domainVersionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteImportAttributes(uint32_t id, uint32_t itemId, uint32_t itemVersionId,
                                            uint32_t domainVersionId) try {
    return deleteRows(__LINE__, kImportAttributeFilters, {id, itemId, itemVersionId, domainVersionId});
} catch (...) {
    return caught(__LINE__, false);
}

bool RefDataRDAImpl::deleteImportColumns(uint32_t sourceColumn, uint32_t position, uint32_t profile,
                                         uint32_t systemColumn, uint32_t isAttribute) try {
    return deleteRows(__LINE__, kImportColumnFilters, {sourceColumn, position, profile, systemColumn, isAttribute});
} catch (...) {
    return caught(__LINE__, false);
}
