#include "repadmimpl.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "np_fio.h"
#include "np_lex.h"
#include "repos_guard.h"
#include "repos_held.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

const char kSource[] = "repadmimpl";
// The list line of this name names the default repository.
const char kDefaultKey[] = "$defaultrepos";

// Shared by every caller of createRepositoryAdmin; the host serialises them.
char g_adminError[256];

// The text for getRepositoryAdminError, cut to fit.
void keepAdminError(const char* text) {
    size_t size = std::strlen(text), n = size;
    if (n > sizeof g_adminError - 1) n = sizeof g_adminError - 1;
    // Never leave half a UTF-8 character at the cut.
    while (n > 0 && n < size && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(g_adminError, text, n);
    g_adminError[n] = '\0';
}

VqbString quoted(const VqbString& value) {
    VqbString v(value);
    v.replaceAll("'", "''");
    return VqbString("'") + v + "'";
}

}  // namespace

extern "C" RepositoryAdmin* createRepositoryAdmin(unsigned int flags, const char* listFile) try {
    if (!listFile && !(flags & REPOS_ADMIN_NO_LIST_FILE)) {
        keepAdminError("No repository config file specified");
        return nullptr;
    }
    std::memset(g_adminError, 0, sizeof g_adminError);
    ReposHeld<RepositoryAdminImpl> admin(new (std::nothrow) RepositoryAdminImpl(flags, listFile ? listFile : ""));
    if (!admin) {
        keepAdminError(reposMessage(530).asCstr());
        return nullptr;
    }
    VqbString error = admin->getErrorMessage();
    if (!error.isEmpty()) {
        keepAdminError(error.asCstr());
        return nullptr;
    }
    return admin.release();  // the host's now, ending through its own release()
} catch (...) {
    reposLogCaught(kSource, __LINE__);
    keepAdminError(reposCaughtText());
    return nullptr;
}

void reposSetAdminError(const VqbString& error) {
    size_t n = error.cStrSize();
    if (n > sizeof g_adminError - 1) n = sizeof g_adminError - 1;
    // Never leave half a UTF-8 character at the cut.
    while (n > 0 && n < error.cStrSize() && (static_cast<unsigned char>(error.asCstr()[n]) & 0xC0) == 0x80) --n;
    std::memcpy(g_adminError, error.asCstr(), n);
    g_adminError[n] = '\0';
}

extern "C" const char* getRepositoryAdminError() { return g_adminError; }

RepositoryAdminImpl::RepositoryAdminImpl(unsigned flags, const char* listFile)
    : lastError_(""), listPath_(""), statusCallback_(&dummyCallback_) {
    logger_ = vqlogGetLogger(REPOS_LOGGER_ADMIN);
    if (flags & REPOS_ADMIN_NO_LIST_FILE) return;
    listPath_ = VqbString(listFile ? listFile : "");
    unsigned rc = np_fio_stat(listPath_.asCstr(), 0);
    if (rc != NP_FIO_OK && rc != NP_FIO_ENOENT)
        fail(__LINE__, reposMessage(1294, listPath_.asCstr(), np_fio_errdesc(rc)));
}

RepositoryAdminImpl::~RepositoryAdminImpl() = default;

bool RepositoryAdminImpl::fail(int line, const VqbString& text) {
    handOn(text);
    reposLog(logger_, 5, kSource, line, "%s", text.asCstr());
    return false;
}

bool RepositoryAdminImpl::handOn(const VqbString& text) {
    lastError_ = text;
    return false;
}

void RepositoryAdminImpl::setStatusCallback(RepositoryStatusCallback* callback) {
    statusCallback_ = callback ? callback : &dummyCallback_;
}

bool RepositoryAdminImpl::loadRepositoryList() {
    list_.clear();
    if (listPath_.isEmpty()) return fail(__LINE__, reposMessage(1295));
    if (np_fio_stat(listPath_.asCstr(), 0) == NP_FIO_ENOENT) return true;

    const char* path = listPath_.asCstr();
    NpLex* lex = nullptr;
    int rc = np_lex_init(&lex, path);
    int lineNo = 0;
    VqbString defaultName;
    bool haveDefault = false;
    std::vector<ReposListEntry> entries;
    if (rc == NP_LEX_OK) {
        lineNo = 1;
        while ((rc = np_lex_line(lex)) == NP_LEX_OK) {
            NpLexLine line;
            if (np_lex_split(lex, &line) != NP_LEX_OK) {
                np_lex_clean(lex);
                return fail(__LINE__, reposMessage(1299, path, lineNo));
            }
            if (line.blank) {
                ++lineNo;
                continue;
            }
            if (line.values.size() > 3) {
                np_lex_clean(lex);
                return fail(__LINE__, reposMessage(1296, path, lineNo));
            }
            if (line.values.empty()) {
                np_lex_clean(lex);
                return fail(__LINE__, reposMessage(1297, path, lineNo));
            }
            VqbString name("");
            for (size_t i = 0; i < line.names.size(); ++i) {
                if (i) name.append(' ');
                name.append(line.names[i].c_str());
            }
            if (name.equals(kDefaultKey, false)) {
                defaultName = VqbString(line.values[0]);
                haveDefault = true;
            } else {
                ReposListEntry e;
                e.name = name;
                e.connection = VqbString(line.values[0]);
                e.tablePrefix = VqbString(line.values.size() > 1 ? line.values[1] : std::string());
                VqbString kind(line.values.size() > 2 ? line.values[2] : std::string());
                if (kind.equals("F", false)) {
                    e.isFile = true;
                } else if (!kind.equals("C", false)) {
                    e.connection = VqbString::format("DSN=%s;VQXTYPE=ODBC;", line.values[0].c_str());
                }
                entries.push_back(e);
            }
            ++lineNo;
        }
    }
    if (rc != NP_LEX_EOF) {
        if (lex) np_lex_clean(lex);
        switch (rc) {
            case NP_LEX_ENOMEM: return fail(__LINE__, reposMessage(1298, path));
            case NP_LEX_ELINE: return fail(__LINE__, reposMessage(1300, path, lineNo));
            case NP_LEX_EOPEN: return fail(__LINE__, reposMessage(1301, path));
            case NP_LEX_EREAD: return fail(__LINE__, reposMessage(1302, path));
            default: return fail(__LINE__, reposMessage(1299, path, lineNo));
        }
    }
    np_lex_clean(lex);
    if (haveDefault)
        for (auto& e : entries) e.isDefault = e.name.equals(defaultName, false);
    list_ = std::move(entries);
    return true;
}

VqbString RepositoryAdminImpl::formatRepositoryList(const std::vector<ReposListEntry>& entries) {
    VqbString text("");
    if (entries.empty()) return text;
    // The last entry marked default wins; the first entry when none is marked.
    VqbString defaultName = entries.front().name;
    for (const auto& e : entries)
        if (e.isDefault) defaultName = e.name;
    text.append(kDefaultKey).append("=").append(quoted(defaultName)).append("\r\n");
    for (const auto& e : entries) {
        text.append(quoted(e.name)).append("=").append(quoted(e.connection)).append(" ");
        text.append(quoted(e.tablePrefix)).append(e.isFile ? " 'F'" : " 'C'").append("\r\n");
    }
    return text;
}

// The list is written to a temporary file of its own that then replaces the list in one rename,
// so a failure at any step leaves the old list as it was.
bool RepositoryAdminImpl::saveRepositoryList() {
    if (listPath_.isEmpty()) return fail(__LINE__, reposMessage(1295));
    const char* path = listPath_.asCstr();
    VqbString text = formatRepositoryList(list_);
    // The list holds connection texts with their passwords: only its owner reads it, or fewer
    // when the owner made it stricter.
    unsigned permissions = 0600, existing = 0;
    if (np_fio_permissions(path, &existing) == NP_FIO_OK) permissions &= existing;
    NpFioFile* file = nullptr;
    std::string tmp;
    unsigned rc = np_fio_text_open_unique((listPath_ + ".t").asCstr(), permissions, &file, &tmp);
    if (rc != NP_FIO_OK) return fail(__LINE__, reposMessage(1044, path, np_fio_errdesc(rc)));
    if (np_fio_text_write(file, text.asCstr(), static_cast<int>(text.cStrSize())) < 0) rc = NP_FIO_EIO;
    unsigned closed = np_fio_text_close(file);
    if (rc == NP_FIO_OK) rc = closed;
    if (rc == NP_FIO_OK) rc = np_fio_rename(tmp.c_str(), path);
    if (rc != NP_FIO_OK) {
        np_fio_unlink(tmp.c_str());
        return fail(__LINE__, reposMessage(1044, path, np_fio_errdesc(rc)));
    }
    return true;
}

bool RepositoryAdminImpl::changeRepositoryList(const std::function<bool()>& change) {
    if (listPath_.isEmpty()) return fail(__LINE__, reposMessage(1295));
    // Held from reading the list to replacing it, so a concurrent writer's change is read, not lost.
    VqbString lockPath = listPath_ + ".lock";
    NpFioLock* lock = nullptr;
    unsigned rc = np_fio_lock(lockPath.asCstr(), &lock);
    if (rc != NP_FIO_OK)
        return fail(__LINE__, reposMessage(1328, listPath_.asCstr(), lockPath.asCstr(), np_fio_errdesc(rc)));
    std::unique_ptr<NpFioLock, void (*)(NpFioLock*)> held(lock, np_fio_unlock);
    return loadRepositoryList() && change() && saveRepositoryList();
}

bool RepositoryAdminImpl::nameUnlisted(const VqbString& name) {
    for (const auto& e : list_)
        if (e.name.equals(name, false)) return fail(__LINE__, reposMessage(1305, name.asCstr(), listPath_.asCstr()));
    return true;
}

bool RepositoryAdminImpl::listableTexts(const VqbString& name, const VqbString& connection,
                                        const VqbString& tablePrefix) {
    // A line break ends the entry's line and a zero byte ends the file's text: either leaves a list
    // that no longer reads as a whole.
    static const std::string kBreaks("\r\n\0", 3);
    const struct {
        const VqbString& text;
        const char* what;
    } parts[] = {{name, "name"}, {connection, "connection text"}, {tablePrefix, "table prefix"}};
    for (const auto& part : parts)
        if (part.text.str().find_first_of(kBreaks) != std::string::npos)
            return fail(__LINE__, reposMessage(1326, part.what));
    if (name.equals(kDefaultKey, false)) return fail(__LINE__, reposMessage(1327, name.asCstr()));
    return true;
}

bool RepositoryAdminImpl::beginRepositoryList(bool probe, bool onlyCurrent) try {
    onlyCurrent_ = onlyCurrent;
    listPos_ = 0;
    if (!loadRepositoryList()) return false;
    for (auto& e : list_) {
        e.description = "unknown";
        e.versionText = "unknown";
        e.version = -1;
        e.kind = 0;
        if (!probe) continue;
        ReposHeld<Repository> repo(openForProbe(e));
        if (!repo) {
            e.description = "Failed to connect";
            e.versionText = "n/a";
            continue;
        }
        probeRepository(repo.get(), e);
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::getNextRepository(VqbString& name, bool& isDefault, VqbString& connection,
                                            VqbString& tablePrefix, VqbString& description, VqbString& versionText,
                                            bool& isFile) try {
    if (listPos_ >= list_.size()) return false;
    if (onlyCurrent_) {
        while (listPos_ < list_.size() &&
               !(list_[listPos_].version == REPOS_CURRENT_VERSION && list_[listPos_].kind == REPOS_KIND_UNIFIED))
            ++listPos_;
        if (listPos_ >= list_.size()) return false;
    }
    const ReposListEntry& e = list_[listPos_++];
    name = e.name;
    isDefault = e.isDefault;
    connection = e.connection;
    tablePrefix = e.tablePrefix;
    description = e.description;
    versionText = e.versionText;
    isFile = e.isFile;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::addRepository(const VqbString& connection, const VqbString& tablePrefix,
                                        const VqbString& name, bool isFile) try {
    if (!listableTexts(name, connection, tablePrefix)) return false;
    // The connection is tried without holding the list's lock; the name is looked for again under it.
    if (!isFile && !(loadRepositoryList() && nameUnlisted(name) && checkConnectorRepository(connection, tablePrefix)))
        return false;
    return changeRepositoryList([&] {
        if (!nameUnlisted(name)) return false;
        ReposListEntry e;
        e.name = name;
        e.connection = connection;
        e.tablePrefix = tablePrefix;
        e.isFile = isFile;
        list_.push_back(e);
        return true;
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::removeRepository(const VqbString& name) try {
    return changeRepositoryList([&] {
        for (auto it = list_.begin(); it != list_.end(); ++it) {
            if (it->name.equals(name, false)) {
                list_.erase(it);
                break;
            }
        }
        return true;
    });
} catch (...) {
    return caught(__LINE__, false);
}

bool RepositoryAdminImpl::setDefaultRepository(const VqbString& name) try {
    return changeRepositoryList([&] {
        for (auto& e : list_) e.isDefault = e.name.equals(name, false);
        return true;
    });
} catch (...) {
    return caught(__LINE__, false);
}
