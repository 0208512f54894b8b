#include "repos_guard.h"

#include "reposlog.h"

void reposLogCaught(const char* sourceFile, int line) noexcept {
    const char* text = reposCaughtText();
    try {
        reposLog(vqlogGetLogger(REPOS_LOGGER_ROOT), 5, sourceFile, line, "%s", text);
    } catch (...) {
        // The failure value still tells the caller.
    }
}
