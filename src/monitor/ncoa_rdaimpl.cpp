#include "ncoa_rdaimpl.h"

#include <algorithm>
#include <utility>

#include "repos_held.h"

namespace {

using V = NcoaValue;

// Fields in the order the operations take them. The list owner's NAICS comes before MAILID and
// the broker's BRTYPE after CUSTM3, unlike their columns; a per-PAF copy takes its master's
// fields and then its creation date, PAF and master record.
const NcoaField kListOwnerFields[] = {
    {"BUSNAME", V::Text}, {"ADDR", V::Text},     {"CITY", V::Text},     {"STATE", V::Text},
    {"ZIP", V::Text},     {"TELNO", V::Text},    {"NAICS", V::Text},    {"MAILID", V::Text},
    {"EMAIL", V::Text},   {"PARNAME", V::Text},  {"MKTGNM", V::Text},   {"CUSTM1", V::Text},
    {"CUSTM2", V::Text},  {"CUSTM3", V::Text},   {"WEBSITE", V::Text},  {"COOPDB", V::Flag},
    {"SIGNNM", V::Text},  {"SIGNTITL", V::Text}, {"SIGNDATE", V::Date}, {"CRDATE", V::Created},
    {"PAF_ID", V::Id},    {"LO_ID", V::Id},
};
const NcoaField kLicenseeFields[] = {
    {"NCOAID", V::Text}, {"BUSNAME", V::Text}, {"TELNO", V::Text},    {"TIN", V::Text},
    {"LTYPE", V::Number}, {"EMAIL", V::Text},  {"FAX", V::Text},      {"CUSTM1", V::Text},
    {"CUSTM2", V::Text}, {"CUSTM3", V::Text},  {"SIGNNM", V::Text},   {"SIGNTITL", V::Text},
    {"SIGNDATE", V::Date}, {"CRDATE", V::Created}, {"PAF_ID", V::Id}, {"LIC_ID", V::Id},
};
const NcoaField kBrokerFields[] = {
    {"BUSNAME", V::Text}, {"ADDR", V::Text},     {"CITY", V::Text},     {"STATE", V::Text},
    {"ZIP", V::Text},     {"TELNO", V::Text},    {"FAX", V::Text},      {"EMAIL", V::Text},
    {"NAICS", V::Text},   {"CUSTM1", V::Text},   {"CUSTM2", V::Text},   {"CUSTM3", V::Text},
    {"BRTYPE", V::Number}, {"SIGNNM", V::Text},  {"SIGNTITL", V::Text}, {"SIGNDATE", V::Date},
    {"CRDATE", V::Created}, {"PAF_ID", V::Id},   {"BR_ID", V::Id},
};
// EXPDATE before EQUIVALT, unlike the columns; ACTIVE and CRDATE are the add's own.
const NcoaField kPafFields[] = {
    {"CUSTM1", V::Text},  {"CUSTM2", V::Text},     {"CUSTM3", V::Text},   {"PAFTYPE", V::Number},
    {"PROCFREQ", V::Number}, {"EXPDATE", V::Date}, {"EQUIVALT", V::AddFlag}, {"LISTNAME", V::Text},
    {"ACTIVE", V::Active}, {"NCOAPAF", V::Text},  {"CRDATE", V::Created},
};
constexpr size_t kListOwnerMaster = 19, kLicenseeMaster = 13, kBrokerMaster = 16, kCopyTail = 3;

}  // namespace

// Masters have no creation date, PAF or master id: their fields are the leading ones of their copies.
const NcoaKind NCOARDAImpl::kKinds[] = {
    {"NCOALO", "LO_ID", nullptr, kListOwnerFields, kListOwnerMaster, false, false, false},
    {"NCOAPO", "PAF_LO", "LIST_OWNER_HIST", kListOwnerFields, kListOwnerMaster + kCopyTail, false, false, true},
    {"NCOALI", "LIC_ID", nullptr, kLicenseeFields, kLicenseeMaster, true, false, false},
    {"NCOAPL", "PAF_LIC", "LICENSEE_HIST", kLicenseeFields, kLicenseeMaster + kCopyTail, true, true, false},
    {"NCOABR", "BR_ID", nullptr, kBrokerFields, kBrokerMaster, true, false, false},
    {"NCOAPB", "PAF_BR", "BROKER_HIST", kBrokerFields, kBrokerMaster + kCopyTail, true, true, true},
    {"NCOAPA", "PAF_ID", "PAF_HIST", kPafFields, sizeof kPafFields / sizeof kPafFields[0], false, true, true},
};

NCOARDAImpl::Arg::Arg(const VqbString& text) : value(text), given(!text.isNull()) {}
NCOARDAImpl::Arg::Arg(const VqbDate& date)
    : value(date.isNull() ? VqbDatavar() : VqbDatavar(date.asDouble())), given(!date.isNull()) {}

NCOARDAImpl::NCOARDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

NCOARDAImpl::~NCOARDAImpl() = default;

// ---- shared pieces

VqbDatavar NCOARDAImpl::now() { return VqbDatavar(VqbDate::currentDate().asDouble()); }

VqbDatavar NCOARDAImpl::stored(const NcoaField& field, const VqbDatavar& value, bool written) {
    const bool clamped = field.value == V::Flag || (written && field.value == V::AddFlag);
    if (clamped && !value.isNull()) return VqbDatavar(std::min<int64_t>(std::max<int64_t>(value.asInt64(), 0), 1));
    if (written && field.value == V::Active) return VqbDatavar(1);
    return value;
}

BaseRDAImpl::Sql NCOARDAImpl::insertRow(Kind kind, std::vector<VqbDatavar> values, const VqbDatavar* historyId) {
    const NcoaKind& k = kKinds[kind];
    VqbString columns(k.key);
    for (size_t i = 0; i < k.fieldCount; ++i) {
        columns.append(", ");
        columns.append(k.fields[i].column);
        values[i] = stored(k.fields[i], values[i], true);
    }
    if (!k.historyKey) {
        columns.append(", MODDATE");
        values.push_back(now());
    } else {
        columns.append(", HISTID");
        values.push_back(historyId ? *historyId : VqbDatavar());
    }
    VqbString marks("?");
    for (size_t i = 0; i < values.size(); ++i) marks.append(",?");
    Sql insert(onTable("INSERT INTO", k.table, VqbString::format(" (%s) VALUES (%s)", columns.asCstr(), marks.asCstr()).asCstr()));
    insert.values() = std::move(values);
    return insert;
}

bool NCOARDAImpl::addMaster(int line, Kind kind, Args args, uint32_t* id) {
    if (!checkConnection(kSource, line)) return false;
    std::vector<VqbDatavar> values;
    for (const Arg& arg : args) values.push_back(arg.value);
    // Exclusive from the start: two writers that both began shared could not both go on to write.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, line);
    uint32_t newId = 0;
    if (!insertKeyed(kSource, line, kKinds[kind].table, insertRow(kind, std::move(values), nullptr), 0, newId))
        return false;
    if (!transaction.commit()) return logFailure(kSource, line);
    if (id) *id = newId;
    return true;
}

bool NCOARDAImpl::update(int line, Kind kind, uint32_t key, Args args) {
    if (!checkConnection(kSource, line)) return false;
    const NcoaKind& k = kKinds[kind];
    if (key == kNone && k.keyNoneRefused) return false;
    PartialUpdate change = partialUpdate(k.table);
    const NcoaField* field = k.fields;
    for (const Arg& arg : args) {
        change.setIf(arg.given, field->column, stored(*field, arg.value, false));
        ++field;
    }
    if (!change.changes()) return false;
    if (!k.historyKey) change.set("MODDATE", now(), false);
    return runPrepared(kSource, line, change.statement().where(k.key, idValue(key)));
}

bool NCOARDAImpl::deleteRow(int line, Kind kind, uint32_t key) {
    const NcoaKind& k = kKinds[kind];
    return run(kSource, line, Sql(onTable("DELETE FROM", k.table)).where(k.key, idValue(key)));
}

ReposDataAccessCursor* NCOARDAImpl::listMaster(int line, Kind kind, uint32_t key) {
    const NcoaKind& k = kKinds[kind];
    Sql sql(rowSelect(k.table));
    if (key != kNone) sql.where(k.key, idValue(key));
    return select(kSource, line, sql);
}

ReposDataAccessCursor* NCOARDAImpl::listCopies(int line, Kind kind, uint32_t key, uint32_t pafId,
                                               uint32_t historyId) {
    const NcoaKind& k = kKinds[kind];
    Sql sql(rowSelect(k.table));
    if (pafId != kNone) sql.where("PAF_ID", idValue(pafId));
    if (historyId != kNone) sql.where("HISTID", idValue(historyId));
    if (key != kNone) sql.where(k.key, idValue(key));
    sql.append(VqbString::format(" ORDER BY %s DESC", k.key));
    return select(kSource, line, sql);
}

BaseRDAImpl::Sql& NCOARDAImpl::whereActive(Sql& sql, const char* column, int active) {
    if (active == -1) return sql;
    return sql.condition(VqbString::format("%s=%d", column, active > 0 ? 1 : 0).asCstr());
}

// ---- list owners

bool NCOARDAImpl::addListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city,
                               const VqbString& state, const VqbString& zip, const VqbString& telNo,
                               const VqbString& naics, const VqbString& mailId, const VqbString& email,
                               const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                               const VqbString& custom2, const VqbString& custom3, const VqbString& website,
                               int coopDb, const VqbString& signName, const VqbString& signTitle,
                               const VqbDate& signDate, uint32_t* id) try {
    return addMaster(__LINE__, ListOwner,
                     {busName, addr, city, state, zip, telNo, naics, mailId, email, parName, mktgName, custom1,
                      custom2, custom3, website, coopDb, signName, signTitle, signDate},
                     id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listListOwners(uint32_t listOwnerId) try {
    return listMaster(__LINE__, ListOwner, listOwnerId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updateListOwner(uint32_t listOwnerId, const VqbString& busName, const VqbString& addr,
                                  const VqbString& city, const VqbString& state, const VqbString& zip,
                                  const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                                  const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                                  const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                  const VqbString& website, int coopDb, const VqbString& signName,
                                  const VqbString& signTitle, const VqbDate& signDate) try {
    return update(__LINE__, ListOwner, listOwnerId,
                  {busName, addr, city, state, zip, telNo, naics, mailId, email, parName, mktgName, custom1, custom2,
                   custom3, website, coopDb, signName, signTitle, signDate});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deleteListOwner(uint32_t listOwnerId) try {
    return deleteRow(__LINE__, ListOwner, listOwnerId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- licensees

bool NCOARDAImpl::addLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo,
                              const VqbString& tin, int type, const VqbString& email, const VqbString& fax,
                              const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                              const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                              uint32_t* id) try {
    return addMaster(__LINE__, Licensee,
                     {ncoaId, busName, telNo, tin, type, email, fax, custom1, custom2, custom3, signName, signTitle,
                      signDate},
                     id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listLicensees(uint32_t licenseeId) try {
    return listMaster(__LINE__, Licensee, licenseeId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updateLicensee(uint32_t licenseeId, const VqbString& ncoaId, const VqbString& busName,
                                 const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                                 const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                                 const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                                 const VqbDate& signDate) try {
    return update(__LINE__, Licensee, licenseeId,
                  {ncoaId, busName, telNo, tin, type, email, fax, custom1, custom2, custom3, signName, signTitle,
                   signDate});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deleteLicensee(uint32_t licenseeId) try {
    return deleteRow(__LINE__, Licensee, licenseeId);
} catch (...) {
    return caught(__LINE__, false);
}

// ---- brokers

bool NCOARDAImpl::addBroker(const VqbString& busName, const VqbString& addr, const VqbString& city,
                            const VqbString& state, const VqbString& zip, const VqbString& telNo,
                            const VqbString& fax, const VqbString& email, const VqbString& naics,
                            const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int type,
                            const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                            uint32_t* id) try {
    return addMaster(__LINE__, Broker,
                     {busName, addr, city, state, zip, telNo, fax, email, naics, custom1, custom2, custom3, type,
                      signName, signTitle, signDate},
                     id);
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* NCOARDAImpl::listBrokers(uint32_t brokerId) try {
    return listMaster(__LINE__, Broker, brokerId);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* NCOARDAImpl::listBrokersByType(int type) try {
    return select(kSource, __LINE__, Sql(rowSelect("NCOABR")).where("BRTYPE", type));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool NCOARDAImpl::updateBroker(uint32_t brokerId, const VqbString& busName, const VqbString& addr,
                               const VqbString& city, const VqbString& state, const VqbString& zip,
                               const VqbString& telNo, const VqbString& fax, const VqbString& email,
                               const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                               const VqbString& custom3, int type, const VqbString& signName,
                               const VqbString& signTitle, const VqbDate& signDate) try {
    return update(__LINE__, Broker, brokerId,
                  {busName, addr, city, state, zip, telNo, fax, email, naics, custom1, custom2, custom3, type,
                   signName, signTitle, signDate});
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::deleteBroker(uint32_t brokerId) try {
    return deleteRow(__LINE__, Broker, brokerId);
} catch (...) {
    return caught(__LINE__, false);
}
