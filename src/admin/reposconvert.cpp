// The C entry point that converts a legacy profile result-set file into a file repository.
#include "repos_convert.h"

#include <new>

#include "np_fio.h"
#include "repadmimpl.h"
#include "repos_guard.h"
#include "repos_held.h"
#include "repositoryimpl.h"
#include "reposlog.h"
#include "vqbstring.h"

namespace {

const char kSource[] = "reposconvert";

int failed(int line, const VqbString& text) {
    reposSetAdminError(text);
    reposLog(vqlogGetLogger(REPOS_LOGGER_ADMIN), 5, kSource, line, "%s", text.asCstr());
    return 0;
}

}  // namespace

extern "C" int convertLegacyResultFile(const char* legacyPath, const char* repositoryPath) try {
    reposSetAdminError(VqbString(""));
    if (!legacyPath || !*legacyPath || !repositoryPath || !*repositoryPath)
        return failed(__LINE__, VqbString("convertLegacyResultFile needs a legacy file and a repository file"));
    // Checked first, so that a wrong legacy path never leaves a new empty repository behind.
    if (np_fio_stat(legacyPath, 0) != NP_FIO_OK)
        return failed(__LINE__, VqbString::format("The legacy result file \"%s\" cannot be read", legacyPath));

    ReposHeld<RepositoryAdminImpl> admin(new (std::nothrow) RepositoryAdminImpl(REPOS_ADMIN_NO_LIST_FILE, ""));
    if (!admin) return failed(__LINE__, VqbString("out of memory"));
    const VqbString target(repositoryPath);
    const bool created = np_fio_stat(repositoryPath, 0) == NP_FIO_ENOENT;
    VqbString error;
    if (created && !admin->createFileRepository(target)) {
        error = admin->getErrorMessage();
    } else if (ReposHeld<Repository> repository = reposHold(admin->openFileRepository(target, true))) {
        // Opened with validation first: a target that is not a current repository is refused
        // before anything is written to it.
        repository.reset();
        ReposHeld<RepositoryImpl> rebuild(new (std::nothrow) RepositoryImpl());
        if (!rebuild) return failed(__LINE__, VqbString("out of memory"));
        if (rebuild->moveSqliteData(VqbString(legacyPath), target)) return 1;
        error = rebuild->getErrorMessage();
        if (created) admin->deleteFile(target);
    } else {
        error = admin->getErrorMessage();
        if (created) admin->deleteFile(target);
    }
    return failed(__LINE__, VqbString::format("Converting \"%s\" into \"%s\" failed: %s", legacyPath, repositoryPath,
                                              error.asCstr()));
} catch (...) {
    return failed(__LINE__, VqbString(reposCaughtText()));
}
