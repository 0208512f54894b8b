// Example host: drives the library's main road and prints what it did.
//
//   repos-demo [DIR]                                  a file repository DIR/demo.db
//   repos-demo --connect STRING [--prefix P] DIR      a repository in a server database
//
// Either way the repository is created, opened with validation, given a business rule and a
// key/value, read back, and listed in DIR/repositories.lst; everything stays in place afterwards.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_repository.h"

namespace {

const char* const kKindNames[] = {"none", "profile results only", "monitor only", "unified",
                                  "profile and monitor side by side"};

int usage() {
    std::fprintf(stderr, "usage: repos-demo [DIR]\n       repos-demo --connect STRING [--prefix P] DIR\n");
    return 2;
}

// The repository's part of the road; false after printing why.
bool useRepository(Repository* repository) {
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = 0, second = 0, ncoa = 0;
    repository->getRepositoryInfo(mode, kind, version, second);
    repository->getTypeVersion("NCOA", &ncoa);
    std::printf("Opened %s repository: kind %d (%s), version %d.%d, NCOA %d, UUID %s\n",
                mode == REPOS_ACCESS_CONNECTOR ? "a connector" : "a file", static_cast<int>(kind),
                kind >= 0 && kind <= 4 ? kKindNames[kind] : "?", version, repository->getMinorVersion(), ncoa,
                repository->getRepositoryUuid().asCstr());

    CommonRepositoryDataAccess* common = repository->createCommonRepositoryDataAccess();
    if (!common) {
        std::printf("createCommonRepositoryDataAccess failed: %s\n", repository->getErrorMessage().asCstr());
        return false;
    }
    bool ok = true;
    unsigned ruleId = common->addRule("Customer id present", "Expression", "NOT ISNULL(CUST_ID)", "Completeness", "",
                                      "demo", "", 0, "Added by repos-demo", "Customer id present");
    if (ruleId == 0 || ruleId == 0xFFFFFFFFu) {
        std::printf("addRule failed: %s\n", common->getErrorMessage().asCstr());
        ok = false;
    } else {
        ReposDataAccessCursor* rule = common->findRule(static_cast<int>(ruleId), "", "");
        // Columns in catalogue order: RU_ID, RU_DESC, RU_TYPE, RU_EXPR, ...
        if (rule && rule->next() == 1) {
            std::printf("Rule %u: \"%s\" %s\n", ruleId, rule->getString(1).asCstr(), rule->getString(3).asCstr());
        } else {
            std::printf("findRule failed: %s\n", common->getErrorMessage().asCstr());
            ok = false;
        }
        if (rule) rule->release();
    }
    common->release();

    VqbString value;
    if (!repository->setKeyValue("demo.greeting", "Hello from repos-demo") ||
        !repository->getKeyValue("demo.greeting", value)) {
        std::printf("key/value failed: %s\n", repository->getErrorMessage().asCstr());
        ok = false;
    } else {
        std::printf("Key demo.greeting = \"%s\"\n", value.asCstr());
    }
    return ok;
}

void printList(RepositoryAdmin* admin, const std::string& listFile) {
    std::printf("Repositories listed in %s:\n", listFile.c_str());
    if (!admin->beginRepositoryList(true, false)) {
        std::printf("beginRepositoryList failed: %s\n", admin->getErrorMessage().asCstr());
        return;
    }
    VqbString name, conn, prefix, desc, version;
    bool isDefault = false, isFile = false;
    while (admin->getNextRepository(name, isDefault, conn, prefix, desc, version, isFile))
        std::printf("  %-12s %-10s %-22s %s%s\n", name.asCstr(), isFile ? "file" : "connection", desc.asCstr(),
                    version.asCstr(), isDefault ? "  (default)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, connect, prefix;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--connect") == 0 && i + 1 < argc) {
            connect = argv[++i];
        } else if (std::strcmp(argv[i], "--prefix") == 0 && i + 1 < argc) {
            prefix = argv[++i];
        } else if (argv[i][0] == '-' || !dir.empty()) {
            return usage();
        } else {
            dir = argv[i];
        }
    }
    if (!connect.empty() && dir.empty()) return usage();
    if (!dir.empty()) {
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

    // Without a configuration of the host's own, the demo writes one: the installation folder
    // (its etc/reposcreate holds the XML table-create specs, none here) and a log file.
    if (!std::getenv("REPOSADMIN_CONFIG")) {
        std::string config = dir + "/repos.ini";
        std::error_code ec;
        std::filesystem::create_directories(dir + "/etc/reposcreate", ec);
        if (FILE* f = std::fopen(config.c_str(), "w")) {
            std::fprintf(f, "VQEXEC_HOME=%s\nLOG/FILE=%s/repos.log\n", dir.c_str(), dir.c_str());
            std::fclose(f);
            setenv("REPOSADMIN_CONFIG", config.c_str(), 1);
            std::printf("Configuration %s, log %s/repos.log\n", config.c_str(), dir.c_str());
        }
    }

    RepositoryAdmin* admin = createRepositoryAdmin(0, listFile.c_str());
    if (!admin) {
        std::printf("createRepositoryAdmin failed: %s\n", getRepositoryAdminError());
        return 1;
    }
    std::printf("Administrator over %s (version %d)\n", admin->getConfigFile().asCstr(), admin->getCurrentVersion());

    // Create the repository; one left by an earlier run is dropped first.
    bool ok = true;
    std::string demoDb = dir + "/demo.db";
    bool created;
    if (connect.empty()) {
        if (std::filesystem::exists(demoDb)) {
            std::printf("Deleting the repository of an earlier run\n");
            admin->deleteFile(demoDb.c_str());
        }
        created = admin->createFileRepository(demoDb.c_str());
    } else {
        created = admin->createRepository(connect.c_str(), prefix.c_str());
        if (!created) {
            std::printf("createRepository: %s; dropping the earlier repository\n", admin->getErrorMessage().asCstr());
            created = admin->deleteRepository(connect.c_str(), prefix.c_str()) &&
                      admin->createRepository(connect.c_str(), prefix.c_str());
        }
    }
    if (!created) {
        std::printf("Creating the repository failed: %s\n", admin->getErrorMessage().asCstr());
        ok = false;
    } else {
        std::printf("Created the repository %s\n", connect.empty() ? demoDb.c_str() : "in the server database");
        Repository* repository = connect.empty()
                                     ? admin->openFileRepository(demoDb.c_str(), true)
                                     : admin->connectRepository(connect.c_str(), prefix.c_str(), true, nullptr);
        if (!repository) {
            std::printf("Opening the repository failed: %s\n", admin->getErrorMessage().asCstr());
            ok = false;
        } else {
            ok = useRepository(repository);
            repository->release();
        }
    }

    // The list file: the demo repository, one that does not exist, and the default. Entries of
    // an earlier run are replaced.
    struct Entry {
        std::string connection, prefix, name;
        bool isFile;
    };
    const Entry entries[] = {
        connect.empty() ? Entry{demoDb, "", "Demo file", true} : Entry{connect, prefix, "Demo server", false},
        {dir + "/other.db", "", "Other file", true},
    };
    for (const Entry& e : entries) {
        admin->removeRepository(e.name.c_str());
        if (!admin->addRepository(e.connection.c_str(), e.prefix.c_str(), e.name.c_str(), e.isFile))
            std::printf("addRepository(%s): %s\n", e.name.c_str(), admin->getErrorMessage().asCstr());
    }
    if (!admin->setDefaultRepository(entries[0].name.c_str()))
        std::printf("setDefaultRepository failed: %s\n", admin->getErrorMessage().asCstr());
    printList(admin, listFile);
    admin->release();

    // A list file below a regular file cannot be used: creation fails with a reason.
    std::string bad = listFile + "/nested.lst";
    RepositoryAdmin* failed = createRepositoryAdmin(0, bad.c_str());
    std::printf("createRepositoryAdmin(\"%s\") %s: %s\n", bad.c_str(), failed ? "succeeded" : "failed",
                getRepositoryAdminError());
    if (failed) failed->release();
    return ok ? 0 : 1;
}
