// Notes and tasks on profiled tables, notes on profiled fields.
#include "prof_rdaimpl.h"

const ProfileRDAImpl::NoteTable ProfileRDAImpl::kTableNotes{"TBLNOT", "TN", "TBL_ID"};
const ProfileRDAImpl::NoteTable ProfileRDAImpl::kFieldNotes{"FLDNOT", "FN", "FLD_ID"};

bool ProfileRDAImpl::addTableNote(uint32_t tableId, char type, const VqbString& user, const VqbString& note,
                                  uint32_t categoryId, uint32_t* id) try {
    return insertKeyed(kSource, __LINE__, "TBLNOT",
                       Sql(onTable("INSERT INTO", "TBLNOT",
                                   " (TN_ID, TBL_ID, TN_TYPE, TN_NOTE, TN_USER, TN_DATE, NCAT_ID) VALUES (?,?,?,?,?,?,?)"),
                           {idValue(tableId), charValue(type), note, user, VqbDate::currentDate().asDouble(),
                            idValue(categoryId)}),
                       0, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::addFieldNote(uint32_t fieldId, const VqbString& user, const VqbString& note, uint32_t categoryId,
                                  uint32_t* id) try {
    return insertKeyed(kSource, __LINE__, "FLDNOT",
                       Sql(onTable("INSERT INTO", "FLDNOT",
                                   " (FN_ID, FLD_ID, FN_NOTE, FN_USER, FN_DATE, NCAT_ID) VALUES (?,?,?,?,?,?)"),
                           {idValue(fieldId), note, user, VqbDate::currentDate().asDouble(), idValue(categoryId)}),
                       0, id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* ProfileRDAImpl::listTableNotes(uint32_t tableId, char type, uint32_t order) try {
    return notes(__LINE__, kTableNotes, tableId, type, order);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::listFieldNotes(uint32_t fieldId, uint32_t order) try {
    return notes(__LINE__, kFieldNotes, fieldId, 0, order);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* ProfileRDAImpl::notes(int line, const NoteTable& kind, uint32_t ownerId, char type,
                                             uint32_t order) {
    const char* p = kind.prefix;
    Sql sql(VqbString::format("SELECT A.%s_ID, A.%s_NOTE, A.%s_USER, A.%s_DATE, B.NCAT_DSC, B.NCAT_ID ", p, p, p, p));
    sql.append(onTables("FROM %s A, %s B", {kind.table, "NOTCAT"})).condition("A.NCAT_ID=B.NCAT_ID");
    if (ownerId != kNone) sql.where(VqbString::format("A.%s", kind.owner).asCstr(), idValue(ownerId));
    if (type) sql.where(VqbString::format("A.%s_TYPE", p).asCstr(), charValue(type));
    sql.append(VqbString::format(" ORDER BY A.%s_ID%s", p, order == 1 ? " DESC" : ""));
    return select(kSource, line, sql);
}

ReposDataAccessCursor* ProfileRDAImpl::listTableNotesOfJob(int runId) try {
    return select(kSource, __LINE__,
                  Sql(onTables("SELECT B.TBL_ID, C.TN_NOTE FROM %s A INNER JOIN %s B ON A.DSN_ID=B.DSN_ID "
                               "INNER JOIN %s C ON B.TBL_ID=C.TBL_ID WHERE A.JOB_ID=? AND C.TN_TYPE='T'",
                               {"DSN", "TBL", "TBLNOT"}),
                      {runId}));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool ProfileRDAImpl::deleteTableNote(uint32_t noteId) try {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "TBLNOT")).where("TN_ID", idValue(noteId)));
} catch (...) {
    return caught(__LINE__, false);
}

bool ProfileRDAImpl::deleteFieldNote(uint32_t noteId) try {
    return run(kSource, __LINE__, Sql(onTable("DELETE FROM", "FLDNOT")).where("FN_ID", idValue(noteId)));
} catch (...) {
    return caught(__LINE__, false);
}
