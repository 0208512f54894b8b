// PAFs and the per-PAF copies of the parties named on them: adds start a history, copies join
// their source's; and the PAF lists.
#include <utility>

#include "ncoa_rdaimpl.h"
#include "repos_held.h"

bool NCOARDAImpl::addWithHistory(int line, Kind kind, Args args, uint32_t* id) {
    if (!checkConnection(kSource, line)) return false;
    const NcoaKind& k = kKinds[kind];
    std::vector<VqbDatavar> values;
    for (const Arg& arg : args) values.push_back(arg.value);
    for (size_t i = 0; i < k.fieldCount; ++i)
        if (k.fields[i].value == NcoaValue::Created && k.addStampsNow) values[i] = now();
    // Exclusive from the start: two writers that both began shared could not both go on to write.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, line);
    uint32_t history = 0, newId = 0;
    if (!nextId(kSource, line, k.historyKey, history)) return false;
    const VqbDatavar historyId = idValue(history);
    if (!insertKeyed(kSource, line, k.table, insertRow(kind, std::move(values), &historyId), 0, newId)) return false;
    if (!transaction.commit()) return logFailure(kSource, line);
    if (id) *id = newId;
    return true;
}

bool NCOARDAImpl::copyRow(int line, Kind kind, uint32_t key, uint32_t* id) {
    if (!checkConnection(kSource, line)) return false;
    const NcoaKind& k = kKinds[kind];
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, line);
    // The row alone, whatever rows of other tables name it; values as stored, nulls kept.
    const ReposRowRead read{k.table, {k.key}, nullptr};
    ReposHeld<ReposDataAccessCursor> source(readRows(kSource, line, read, {idValue(key)}, 1));
    if (!source || source->next() != 1) return false;
    std::vector<VqbDatavar> values;
    for (size_t i = 0; i < k.fieldCount; ++i) {
        const NcoaField& field = k.fields[i];
        const bool stamp = field.value == NcoaValue::Created && k.copyStampsNow;
        values.push_back(stamp ? now() : source->getValue(columnIndex(source.get(), field.column)));
    }
    const VqbDatavar historyId = source->getValue(columnIndex(source.get(), "HISTID"));
    source.reset();
    uint32_t newId = 0;
    if (!insertKeyed(kSource, line, k.table, insertRow(kind, std::move(values), &historyId), 0, newId)) return false;
    if (!transaction.commit()) return logFailure(kSource, line);
    if (id) *id = newId;
    return true;
}

// ---- per-PAF list owners

bool NCOARDAImpl::addPafListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city,
                                  const VqbString& state, const VqbString& zip, const VqbString& telNo,
                                  const VqbString& naics, const VqbString& mailId, const VqbString& email,
                                  const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                                  const VqbString& custom2, const VqbString& custom3, const VqbString& website,
                                  int coopDb, const VqbString& signName, const VqbString& signTitle,
                                  const VqbDate& signDate, const VqbDate& created, uint32_t pafId,
                                  uint32_t listOwnerId, uint32_t* id) try {
    return addWithHistory(__LINE__, PafListOwner,
                          {busName, addr, city, state, zip, telNo, naics, mailId, email, parName, mktgName, custom1,
                           custom2, custom3, website, coopDb, signName, signTitle, signDate, created, pafId,
                           listOwnerId},
                          id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listPafListOwners(uint32_t pafListOwnerId, uint32_t pafId,
                                                      uint32_t historyId) try {
    return listCopies(__LINE__, PafListOwner, pafListOwnerId, pafId, historyId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updatePafListOwner(uint32_t pafListOwnerId, const VqbString& busName, const VqbString& addr,
                                     const VqbString& city, const VqbString& state, const VqbString& zip,
                                     const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                                     const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                                     const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                     const VqbString& website, int coopDb, const VqbString& signName,
                                     const VqbString& signTitle, const VqbDate& signDate, const VqbDate& created,
                                     uint32_t pafId, uint32_t listOwnerId) try {
    return update(__LINE__, PafListOwner, pafListOwnerId,
                  {busName, addr, city, state, zip, telNo, naics, mailId, email, parName, mktgName, custom1, custom2,
                   custom3, website, coopDb, signName, signTitle, signDate, created, pafId, listOwnerId});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::copyPafListOwner(uint32_t pafListOwnerId, uint32_t* id) try {
    return copyRow(__LINE__, PafListOwner, pafListOwnerId, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deletePafListOwner(uint32_t pafListOwnerId) try {
    return deleteRow(__LINE__, PafListOwner, pafListOwnerId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- per-PAF licensees

bool NCOARDAImpl::addPafLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo,
                                 const VqbString& tin, int type, const VqbString& email, const VqbString& fax,
                                 const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                 const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                                 const VqbDate& created, uint32_t pafId, uint32_t licenseeId, uint32_t* id) try {
    return addWithHistory(__LINE__, PafLicensee,
                          {ncoaId, busName, telNo, tin, type, email, fax, custom1, custom2, custom3, signName,
                           signTitle, signDate, created, pafId, licenseeId},
                          id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listPafLicensees(uint32_t pafLicenseeId, uint32_t pafId,
                                                     uint32_t historyId) try {
    return listCopies(__LINE__, PafLicensee, pafLicenseeId, pafId, historyId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updatePafLicensee(uint32_t pafLicenseeId, const VqbString& ncoaId, const VqbString& busName,
                                    const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                                    const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                                    const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                                    const VqbDate& signDate, const VqbDate& created, uint32_t pafId,
                                    uint32_t licenseeId) try {
    return update(__LINE__, PafLicensee, pafLicenseeId,
                  {ncoaId, busName, telNo, tin, type, email, fax, custom1, custom2, custom3, signName, signTitle,
                   signDate, created, pafId, licenseeId});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::copyPafLicensee(uint32_t pafLicenseeId, uint32_t* id) try {
    return copyRow(__LINE__, PafLicensee, pafLicenseeId, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deletePafLicensee(uint32_t pafLicenseeId) try {
    return deleteRow(__LINE__, PafLicensee, pafLicenseeId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- per-PAF brokers

bool NCOARDAImpl::addPafBroker(const VqbString& busName, const VqbString& addr, const VqbString& city,
                               const VqbString& state, const VqbString& zip, const VqbString& telNo,
                               const VqbString& fax, const VqbString& email, const VqbString& naics,
                               const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                               int type, const VqbString& signName, const VqbString& signTitle,
                               const VqbDate& signDate, const VqbDate& created, uint32_t pafId, uint32_t brokerId,
                               uint32_t* id) try {
    return addWithHistory(__LINE__, PafBroker,
                          {busName, addr, city, state, zip, telNo, fax, email, naics, custom1, custom2, custom3,
                           type, signName, signTitle, signDate, created, pafId, brokerId},
                          id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listPafBrokers(uint32_t pafBrokerId, uint32_t pafId, uint32_t historyId) try {
    return listCopies(__LINE__, PafBroker, pafBrokerId, pafId, historyId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updatePafBroker(uint32_t pafBrokerId, const VqbString& busName, const VqbString& addr,
                                  const VqbString& city, const VqbString& state, const VqbString& zip,
                                  const VqbString& telNo, const VqbString& fax, const VqbString& email,
                                  const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                                  const VqbString& custom3, int type, const VqbString& signName,
                                  const VqbString& signTitle, const VqbDate& signDate, const VqbDate& created,
                                  uint32_t pafId, uint32_t brokerId) try {
    return update(__LINE__, PafBroker, pafBrokerId,
                  {busName, addr, city, state, zip, telNo, fax, email, naics, custom1, custom2, custom3, type,
                   signName, signTitle, signDate, created, pafId, brokerId});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::copyPafBroker(uint32_t pafBrokerId, uint32_t* id) try {
    return copyRow(__LINE__, PafBroker, pafBrokerId, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deletePafBroker(uint32_t pafBrokerId) try {
    return deleteRow(__LINE__, PafBroker, pafBrokerId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- PAFs

bool NCOARDAImpl::addPaf(const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int pafType,
                         int procFreq, const VqbDate& expires, int equivalent, const VqbString& listName,
                         const VqbString& ncoaPaf, uint32_t* id) try {
    return addWithHistory(__LINE__, Paf,
                          {custom1, custom2, custom3, pafType, procFreq, expires, equivalent, listName, 1, ncoaPaf,
                           VqbDate()},
                          id);
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::updatePaf(uint32_t pafId, const VqbString& custom1, const VqbString& custom2,
                            const VqbString& custom3, int pafType, int procFreq, const VqbDate& expires,
                            int equivalent, const VqbString& listName, int active, const VqbString& ncoaPaf) try {
    return update(__LINE__, Paf, pafId,
                  {custom1, custom2, custom3, pafType, procFreq, expires, equivalent, listName, active, ncoaPaf});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::copyPaf(uint32_t pafId, uint32_t* id) try {
    return copyRow(__LINE__, Paf, pafId, id);
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deletePaf(uint32_t pafId) try {
    return deleteRow(__LINE__, Paf, pafId);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listPafs(const VqbString& ncoaPaf, const VqbString& listName,
                                             const VqbString& listOwnerName, const VqbString& brokerName,
                                             bool ascending, int active) try {
    // The PAF with its list-owner copies inside, its broker copies outside: each piece keeps its
    // own conditions.
    Sql inner(onTables("SELECT a.* FROM %s a LEFT OUTER JOIN %s b ON a.PAF_ID=b.PAF_ID", {"NCOAPA", "NCOAPO"}));
    inner.whereText("a.NCOAPAF", ncoaPaf).whereText("a.LISTNAME", listName).whereText("b.BUSNAME", listOwnerName);
    whereActive(inner, "a.ACTIVE", active);
    Sql outer(onTables(") c LEFT OUTER JOIN %s d ON c.PAF_ID=d.PAF_ID", {"NCOAPB"}));
    outer.whereText("d.BUSNAME", brokerName);
    outer.append(ascending ? " ORDER BY c.CRDATE ASC, c.PAF_ID ASC" : " ORDER BY c.CRDATE DESC, c.PAF_ID DESC");
    Sql whole("SELECT c.* FROM (");
    whole.append(inner.text()).append(outer.text());
    whole.values() = inner.values();
    whole.values().insert(whole.values().end(), outer.values().begin(), outer.values().end());
    return select(kSource, __LINE__, whole);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* NCOARDAImpl::listPafHistory(uint32_t historyId, bool ascending) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    Sql sql(rowSelect("NCOAPA"));
    sql.where("HISTID", idValue(historyId)).append(ascending ? " ORDER BY CRDATE ASC" : " ORDER BY CRDATE DESC");
    return selectLive(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* NCOARDAImpl::listPafsWithListOwner(uint32_t pafId, uint32_t listOwnerId,
                                                          const VqbString& listOwnerName, int active,
                                                          bool sameHistory) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    VqbDatavar history;
    if (sameHistory) {
        if (pafId == kNone) return nullptr;
        const Sql paf = Sql(onTable("SELECT HISTID FROM", "NCOAPA")).where("PAF_ID", idValue(pafId));
        if (lookup(kSource, __LINE__, paf, &history) != Lookup::Found) return nullptr;
    }
    Sql sql(onTables("SELECT a.*, b.* FROM %s a, %s b WHERE a.PAF_ID=b.PAF_ID", {"NCOAPA", "NCOAPO"}));
    sql.whereOpen();
    if (pafId != kNone && !sameHistory) sql.where("a.PAF_ID", idValue(pafId));
    if (listOwnerId != kNone) sql.where("b.LO_ID", idValue(listOwnerId));
    sql.whereText("b.BUSNAME", listOwnerName);
    whereActive(sql, "a.ACTIVE", active);
    if (sameHistory) sql.where("a.HISTID", history);
    sql.append(" ORDER BY a.CRDATE DESC, a.PAF_ID DESC");
    return select(kSource, __LINE__, sql);
} catch (...) {
    return caught(__LINE__, nullptr);
}
