// Match definitions (find-or-insert by definition, sensitivity and locale) and the layouts of
// profiled text files.
#include "prof_rdaimpl.h"

namespace {

const char* const kSource = "prof_rdaimpl";

const ReposRowRead kMatchById = {"MATCH", {"MC_ID"}, nullptr};
const ReposRowRead kMatchBySettings = {"MATCH", {"MC_DEF", "MC_SENS", "MC_LOC"}, nullptr};
const ReposRowRead kTextFileInfos = {"TFINF", {}, nullptr};

const char* yesNo(bool flag) {
    return flag ? "Y" : "N";
}

}  // namespace

bool ProfileRDAImpl::addMatchDefinition(const VqbString& definition, const VqbString& sensitivity,
                                        const VqbString& locale, uint32_t* id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // The sensitivity is stored as a number: any other text finds and adds nothing.
    bool notNumber = false;
    const int sensitive = sensitivity.asInt(&notNumber);
    if (notNumber) return false;
    uint32_t found = 0;
    const bool done = exclusively(kSource, __LINE__, [&] {
        VqbDatavar existing;
        Lookup lookedUp =
            lookup(kSource, __LINE__,
                   Sql(onTable("SELECT MC_ID FROM", "MATCH", " WHERE MC_DEF=? AND MC_SENS=? AND MC_LOC=?"),
                       {definition, sensitive, locale}),
                   &existing);
        if (lookedUp == Lookup::Found) found = static_cast<uint32_t>(existing.asInt64());
        if (lookedUp != Lookup::Missing) return lookedUp == Lookup::Found;
        return insertKeyed(kSource, __LINE__, "MATCH",
                           Sql(onTable("INSERT INTO", "MATCH", " (MC_ID, MC_DEF, MC_SENS, MC_LOC) VALUES (?,?,?,?)"),
                               {definition, sensitive, locale}),
                           0, found);
    });
    if (done && id) *id = found;
    return done;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* ProfileRDAImpl::getMatchDefinition(uint32_t matchDefinitionId) try {
    return readRows(kSource, __LINE__, kMatchById, {idValue(matchDefinitionId)});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::getMatchDefinitionBySettings(const VqbString& definition,
                                                                    const VqbString& sensitivity,
                                                                    const VqbString& locale) try {
    bool notNumber = false;
    const int sensitive = sensitivity.asInt(&notNumber);
    if (notNumber) return nullptr;
    return readRows(kSource, __LINE__, kMatchBySettings, {definition, sensitive, locale});
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ProfileRDAImpl::addTextFileInfo(const VqbString& tableName, const VqbString& fileName, const VqbString& delimiter,
                                     const VqbString& textQualifier, int rowsSkipped, int recordWidth, int maximumRows,
                                     bool truncate, int endOfLine, int encoding, bool useByteOrderMark) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "TFINF",
                           " (TBL_NM, TF_FN, TF_DLIM, TF_TQ, TF_SROWS, TF_RWID, TF_MROWS, TF_TRUNC, TF_EOL, TF_ENC, "
                           "TF_BOM) VALUES (?,?,?,?,?,?,?,?,?,?,?)"),
                   {tableName, fileName, delimiter, textQualifier, rowsSkipped, recordWidth, maximumRows,
                    yesNo(truncate), endOfLine, encoding, yesNo(useByteOrderMark)}));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addTextFileField(const VqbString& tableName, const VqbString& fieldName,
                                      const VqbString& fieldType, int length, int startPosition, int ordinal) try {
    return run(kSource, __LINE__,
               Sql(onTable("INSERT INTO", "TFFINF",
                           " (TBL_NM, TFF_FN, TFF_TYPE, TFF_LEN, TFF_SPOS, TFF_ORD) VALUES (?,?,?,?,?,?)"),
                   {tableName, fieldName, fieldType, length, startPosition, ordinal}));
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* ProfileRDAImpl::listTextFileInfos() try {
    return readRows(kSource, __LINE__, kTextFileInfos, {});
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listTextFileFields(const VqbString& tableName) try {
    return select(
        kSource, __LINE__,
        Sql(onTable("SELECT TFF_FN, TFF_TYPE, TFF_LEN, TFF_SPOS FROM", "TFFINF", " WHERE TBL_NM=? ORDER BY TFF_ORD"),
            {tableName}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

// A layout is replaced by deleting it and adding the new one: both tables or neither.
bool ProfileRDAImpl::deleteTextFileInfo(const VqbString& tableName) try {
    return deleteKeyed(kSource, __LINE__, {{"TFFINF", "TBL_NM", true}, {"TFINF", "TBL_NM", true}}, tableName);
} catch (...) {
    return caught(__LINE__, false);
}
