#include "process_burst.h"

#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "rda_factory.h"

void burstOnFile(BurstPlace& place) {
    place.repo = std::make_unique<TestRepository>(Place::Direct);
    place.kind = REPOS_BACKEND_SQLITE_OPEN;
    place.where = place.repo->file();
}

void burstOnPostgres(BurstPlace& place) {
    place.repo = std::make_unique<TestRepository>(Place::Postgres);
    place.kind = REPOS_BACKEND_CONNECTOR;
    place.where = pgConnection();
    place.prefix = place.repo->prefix();
}

std::string burstPlaceName(const ::testing::TestParamInfo<void (*)(BurstPlace&)>& info) {
    return info.param == &burstOnFile ? "SqliteFile" : "Postgres";
}

bool runBurst(const BurstPlace& place, int writers, const std::function<void(ReposDataAccess*, int)>& work) {
    int ready[2];
    if (pipe(ready) != 0) {
        ADD_FAILURE() << "no pipe for the writers";
        return false;
    }
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        pid_t pid = fork();
        if (pid == 0) {
            close(ready[1]);
            VqbString error;
            ReposHeld<ReposDataAccess> connection(
                createReposDataAccess(place.kind, VqbString(place.where), VqbString(place.prefix), nullptr, error));
            char go;
            // Every writer starts when the parent closes the pipe.
            if (read(ready[0], &go, 1) != 0 || !connection) _exit(2);
            work(connection.get(), w);
            connection.reset();
            _exit(0);
        }
        children.push_back(pid);
    }
    close(ready[0]);
    close(ready[1]);
    bool ok = true;
    for (pid_t pid : children) {
        int status = 0;
        const bool ended = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        EXPECT_TRUE(ended) << "writer status " << status;
        ok = ok && ended;
    }
    return ok;
}
