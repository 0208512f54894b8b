#include "common_rdaimpl.h"

#include <utility>

#include "objecttypes.h"
#include "repos_announce.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqrepevent.h"

CommonRDAImpl::CommonRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

CommonRDAImpl::~CommonRDAImpl() = default;

// ---- shared helpers

VqbDatavar CommonRDAImpl::dateValue(const VqbDate& date) {
    return date.isNull() ? VqbDatavar() : VqbDatavar(date.asDouble());
}

VqbDatavar CommonRDAImpl::now() { return VqbDatavar(VqbDate::currentDate().asDouble()); }

unsigned int CommonRDAImpl::insertWithNewId(int line, const char* idKey, Sql insert) {
    uint32_t id = 0;
    return insertKeyed(kSource, line, idKey, std::move(insert), 0, id) ? id : kNone;
}

// ---- rules

unsigned int CommonRDAImpl::addRule(const VqbString& name, const VqbString& type, const VqbString& expression,
                                    const VqbString& group, const VqbString& meta, const VqbString& user,
                                    const VqbString& uuid, int folderId, const VqbString& comment,
                                    const VqbString& displayName) try {
    if (!checkConnection(kSource, __LINE__)) return kNone;
    unsigned int id = kNone;
    const bool added = exclusively(kSource, __LINE__, [&] {
        Lookup taken =
            lookupCount(kSource, __LINE__, Sql(onTable("SELECT COUNT(*) FROM", "RULE", " WHERE RU_DESC=?"), {name}));
        if (taken == Lookup::Found) return refuse(kSource, __LINE__, vqb_get_message(VQB_MOD_MONADMIN, 1385));
        if (taken == Lookup::Failed) return false;
        VqbDatavar vNow(now());
        id = insertWithNewId(
            __LINE__, "RULE",
            Sql(onTable("INSERT INTO", "RULE",
                        " (RU_ID, RU_DESC, RU_TYPE, RU_EXPR, RU_GROUP, RU_META, RU_USER, RU_CRDAT, RU_EDDAT, RU_CRUSR, "
                        "RU_UUID, FLDR_ID, RU_COMM, RU_DISP) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                {name, type, expression, group, meta, user, vNow, vNow, user, uuid, folderId, comment, displayName}));
        return id != kNone;
    });
    if (!added) return 0;
    if (id > 0) reposAnnounce(getConnection(), REPOS_CHANGE_CREATE, ReposObjectTypeName::Rule, id, uuid);
    return id;
} catch (...) {
    return caught(__LINE__, 0);
}

bool CommonRDAImpl::updateRule(unsigned int id, const VqbString& name, const VqbString& type,
                               const VqbString& expression, const VqbString& group, const VqbString& meta,
                               const VqbString& user, double createdDate, double editDate, const VqbString& createdUser,
                               const VqbString& uuid, int folderId, const VqbString& comment,
                               const VqbString& displayName) try {
    VqbDatavar vName(name), vType(type), vExpression(expression), vGroup(group), vMeta(meta), vUser(user);
    VqbDatavar vCreated(createdDate), vEdited(editDate), vCreatedUser(createdUser), vUuid(uuid), vFolder(folderId);
    VqbDatavar vComment(comment), vDisplay(displayName), vId(id);
    if (!execute(kSource, __LINE__,
                 onTable("UPDATE", "RULE",
                         " SET RU_DESC=?, RU_TYPE=?, RU_EXPR=?, RU_GROUP=?, RU_META=?, RU_USER=?, RU_CRDAT=?, "
                         "RU_EDDAT=?, RU_CRUSR=?, RU_UUID=?, FLDR_ID=?, RU_COMM=?, RU_DISP=? WHERE RU_ID=?"),
                 nullptr, &vName, &vType, &vExpression, &vGroup, &vMeta, &vUser, &vCreated, &vEdited, &vCreatedUser,
                 &vUuid, &vFolder, &vComment, &vDisplay, &vId))
        return false;
    reposAnnounce(getConnection(), REPOS_CHANGE_MODIFY, ReposObjectTypeName::Rule, id, uuid);
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

ReposDataAccessCursor* CommonRDAImpl::findRule(int id, const VqbString& name, const VqbString& uuid) try {
    return findByKey(kSource, __LINE__, {"RULE", "RU_ID", "RU_UUID", "RU_DESC"}, id, name, uuid);
} catch (...) {
    return caught(__LINE__, nullptr);
}

ReposDataAccessCursor* CommonRDAImpl::listRules() try {
    return selectRows(kSource, __LINE__, rowSelect("RULE"));
} catch (...) {
    return caught(__LINE__, nullptr);
}

bool CommonRDAImpl::clearRule(unsigned int id) try {
    return deleteKeyed(kSource, __LINE__, {{"CMFMAP", "RU_ID"}, {"RUFIME", "RU_ID"}, {"RUCMME", "RU_ID"}},
                       VqbDatavar(id));
} catch (...) {
    return caught(__LINE__, false);
}

bool CommonRDAImpl::deleteRule(unsigned int id) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    ReposDeleteAnnouncement announcement(this, ReposObjectTypeName::Rule, id, kSource, __LINE__);
    // Links from global categories, execution properties and profile settings stay: they belong
    // to those objects.
    if (!deleteKeyed(kSource, __LINE__,
                     {{"RURSME", "RU_ID"},
                      {"TRIG", "RU_ID"},
                      {"ROWLOG", "RU_ID"},
                      {"JBRUME", "RU_ID"},
                      {"RULEVT", "RU_ID"},
                      {"RUFIME", "RU_ID"},
                      {"RUCMME", "RU_ID"},
                      {"CMFMAP", "RU_ID"},
                      {"RULE", "RU_ID"}},
                     VqbDatavar(id)))
        return false;
    announcement.post();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}
