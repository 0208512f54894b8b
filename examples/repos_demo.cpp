// Example host: drives the library's main road and prints what it did.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "repos_admin.h"

int main(int argc, char** argv) {
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
            return 1;
        }
    } else {
        char tmpl[] = "/tmp/repos-demo-XXXXXX";
        if (!mkdtemp(tmpl)) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = tmpl;
    }
    std::printf("Working in %s\n", dir.c_str());
    std::string listFile = dir + "/repositories.lst";

    RepositoryAdmin* admin = createRepositoryAdmin(0, listFile.c_str());
    if (!admin) {
        std::printf("createRepositoryAdmin failed: %s\n", getRepositoryAdminError());
        return 1;
    }
    std::printf("Administrator over %s (version %d)\n", admin->getConfigFile().asCstr(), admin->getCurrentVersion());

    std::string demoDb = dir + "/demo.db";
    if (!admin->addRepository(demoDb.c_str(), "", "Demo file", true))
        std::printf("addRepository failed: %s\n", admin->getErrorMessage().asCstr());
    std::string other = dir + "/other.db";
    if (!admin->addRepository(other.c_str(), "", "Other file", true))
        std::printf("addRepository failed: %s\n", admin->getErrorMessage().asCstr());
    if (!admin->setDefaultRepository("Demo file"))
        std::printf("setDefaultRepository failed: %s\n", admin->getErrorMessage().asCstr());

    std::printf("Repositories listed in %s:\n", listFile.c_str());
    if (admin->beginRepositoryList(false, false)) {
        VqbString name, conn, prefix, desc, version;
        bool isDefault = false, isFile = false;
        while (admin->getNextRepository(name, isDefault, conn, prefix, desc, version, isFile))
            std::printf("  %-12s %s %s%s\n", name.asCstr(), isFile ? "file" : "connection", conn.asCstr(),
                        isDefault ? "  (default)" : "");
    } else {
        std::printf("beginRepositoryList failed: %s\n", admin->getErrorMessage().asCstr());
    }
    admin->release();

    // A list file below a regular file cannot be used: creation fails with a reason.
    std::string bad = listFile + "/nested.lst";
    RepositoryAdmin* failed = createRepositoryAdmin(0, bad.c_str());
    std::printf("createRepositoryAdmin(\"%s\") %s: %s\n", bad.c_str(), failed ? "succeeded" : "failed",
                getRepositoryAdminError());
    if (failed) failed->release();
    return 0;
}
