// Example host: drives the library's main road and prints what it did.
//
//   repos-demo [DIR]                                  a file repository DIR/demo.db
//   repos-demo --connect STRING [--prefix P] DIR      a repository reached through the connector
//   repos-demo --convert LEGACY DIR                   a legacy result-set file converted into DIR/demo.db
//
// The repository is created, opened with validation, given a business rule and a key/value, read
// back, and listed in DIR/repositories.lst; everything stays in place afterwards. The table sets
// the library was installed with come with it, and the reference data they seed is counted.
// Without DIR a new folder under $TMPDIR (or /tmp) is made. Failures go to stderr and end with
// exit code 1.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_convert.h"
#include "repos_refdata_rda.h"
#include "repos_repository.h"

namespace {

const char* const kKindNames[] = {"none", "profile results only", "monitor only", "unified",
                                  "profile and monitor side by side"};

int usage() {
    std::fprintf(stderr,
                 "usage: repos-demo [DIR]\n"
                 "       repos-demo --connect STRING [--prefix P] DIR\n"
                 "       repos-demo --convert LEGACY DIR\n");
    return 2;
}

// Prints why a step failed; false so that callers can return it.
bool failed(const char* step, const VqbString& why) {
    std::fprintf(stderr, "%s failed: %s\n", step, why.asCstr());
    return false;
}

void printInfo(Repository* repository) {
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = 0, second = 0, ncoa = 0;
    repository->getRepositoryInfo(mode, kind, version, second);
    repository->getTypeVersion("NCOA", &ncoa);
    std::printf("Opened %s repository: kind %d (%s), version %d.%d, NCOA %d, UUID %s\n",
                mode == REPOS_ACCESS_CONNECTOR ? "a connector" : "a file", static_cast<int>(kind),
                kind >= 0 && kind <= 4 ? kKindNames[kind] : "?", version, repository->getMinorVersion(), ncoa,
                repository->getRepositoryUuid().asCstr());
}

// The repository's part of the road.
bool useRepository(Repository* repository) {
    printInfo(repository);
    CommonRepositoryDataAccess* common = repository->createCommonRepositoryDataAccess();
    if (!common) return failed("createCommonRepositoryDataAccess", repository->getErrorMessage());
    bool ok = true;
    unsigned ruleId = common->addRule("Customer id present", "Expression", "NOT ISNULL(CUST_ID)", "Completeness", "",
                                      "demo", "", 0, "Added by repos-demo", "Customer id present");
    if (ruleId == 0 || ruleId == 0xFFFFFFFFu) {
        ok = failed("addRule", common->getErrorMessage());
    } else {
        ReposDataAccessCursor* rule = common->findRule(static_cast<int>(ruleId), "", "");
        // Columns in catalogue order: RU_ID, RU_DESC, RU_TYPE, RU_EXPR, ...
        if (rule && rule->next() == 1)
            std::printf("Rule %u: \"%s\" %s\n", ruleId, rule->getString(1).asCstr(), rule->getString(3).asCstr());
        else
            ok = failed("findRule", common->getErrorMessage());
        if (rule) rule->release();
    }
    common->release();

    int refdataVersion = 0;
    if (repository->getTypeVersion("REFDATA", &refdataVersion) && refdataVersion > 0) {
        RefDataRepositoryDataAccess* refdata = repository->createRefDataRepositoryDataAccess();
        if (!refdata) return failed("createRefDataRepositoryDataAccess", repository->getErrorMessage());
        int counts[2] = {-1, -1};
        ReposDataAccessCursor* lists[2] = {refdata->listLanguages(0xFFFFFFFFu, "", ""),
                                           refdata->listOperations(0xFFFFFFFFu, "", "", 0xFFFFFFFFu)};
        for (int i = 0; i < 2; ++i) {
            if (!lists[i]) continue;
            counts[i] = 0;
            while (lists[i]->next() == 1) ++counts[i];
            lists[i]->release();
        }
        if (counts[0] < 0 || counts[1] < 0) ok = failed("reference data", refdata->getErrorMessage());
        else std::printf("Reference data: %d languages, %d permission levels\n", counts[0], counts[1]);
        refdata->release();
    }

    VqbString value;
    if (!repository->setKeyValue("demo.greeting", "Hello from repos-demo") ||
        !repository->getKeyValue("demo.greeting", value))
        return failed("key/value", repository->getErrorMessage());
    std::printf("Key demo.greeting = \"%s\"\n", value.asCstr());
    return ok;
}

// Lists the repository in the list file as the default, replacing an entry of an earlier run.
bool listRepository(RepositoryAdmin* admin, const std::string& connection, const std::string& prefix,
                    const char* name, bool isFile) {
    admin->removeRepository(name);
    if (!admin->addRepository(connection.c_str(), prefix.c_str(), name, isFile))
        return failed("addRepository", admin->getErrorMessage());
    if (!admin->setDefaultRepository(name)) return failed("setDefaultRepository", admin->getErrorMessage());
    if (!admin->beginRepositoryList(true, false)) return failed("beginRepositoryList", admin->getErrorMessage());
    std::printf("Repositories listed in %s:\n", admin->getConfigFile().asCstr());
    VqbString listed, conn, tablePrefix, desc, version;
    bool isDefault = false, listedFile = false;
    while (admin->getNextRepository(listed, isDefault, conn, tablePrefix, desc, version, listedFile))
        std::printf("  %-12s %-10s %-22s %s%s\n", listed.asCstr(), listedFile ? "file" : "connection", desc.asCstr(),
                    version.asCstr(), isDefault ? "  (default)" : "");
    return true;
}

// A folder under the system's temporary folder ($TMPDIR honoured), kept afterwards.
std::string newFolder() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    std::string tmpl = (ec ? std::filesystem::path("/tmp") : base).string() + "/repos-demo-XXXXXX";
    return mkdtemp(tmpl.data()) ? tmpl : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir, connect, prefix, legacy;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--connect") == 0 && i + 1 < argc) {
            connect = argv[++i];
        } else if (std::strcmp(argv[i], "--prefix") == 0 && i + 1 < argc) {
            prefix = argv[++i];
        } else if (std::strcmp(argv[i], "--convert") == 0 && i + 1 < argc) {
            legacy = argv[++i];
        } else if (argv[i][0] == '-' || !dir.empty()) {
            return usage();
        } else {
            dir = argv[i];
        }
    }
    if ((!connect.empty() || !legacy.empty()) && dir.empty()) return usage();
    if (!connect.empty() && !legacy.empty()) return usage();
    if (dir.empty()) {
        dir = newFolder();
        if (dir.empty()) {
            std::perror("repos-demo: cannot make a temporary folder");
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
        return 1;
    }
    std::printf("Working in %s (kept afterwards)\n", dir.c_str());
    const std::string demoDb = dir + "/demo.db";

    // Without a configuration of the host's own, the demo writes one that sends the log to a file.
    if (!std::getenv("REPOSADMIN_CONFIG")) {
        std::string config = dir + "/repos.ini";
        if (FILE* f = std::fopen(config.c_str(), "w")) {
            std::fprintf(f, "LOG/FILE=%s/repos.log\n", dir.c_str());
            std::fclose(f);
            setenv("REPOSADMIN_CONFIG", config.c_str(), 1);
            std::printf("Configuration %s, log %s/repos.log\n", config.c_str(), dir.c_str());
        }
    }

    if (!legacy.empty()) {
        if (!convertLegacyResultFile(legacy.c_str(), demoDb.c_str())) {
            failed("convertLegacyResultFile", getRepositoryAdminError());
            return 1;
        }
        std::printf("Converted %s into %s\n", legacy.c_str(), demoDb.c_str());
    }

    RepositoryAdmin* admin = createRepositoryAdmin(0, (dir + "/repositories.lst").c_str());
    if (!admin) {
        failed("createRepositoryAdmin", getRepositoryAdminError());
        return 1;
    }
    std::printf("Administrator over %s (version %d)\n", admin->getConfigFile().asCstr(), admin->getCurrentVersion());

    bool ok = true;
    if (!legacy.empty()) {
        Repository* repository = admin->openFileRepository(demoDb.c_str(), true);
        if (repository) {
            printInfo(repository);
            repository->release();
            ok = listRepository(admin, demoDb, "", "Converted", true);
        } else {
            ok = failed("Opening the converted repository", admin->getErrorMessage());
        }
        admin->release();
        return ok ? 0 : 1;
    }

    // Create the repository; one left by an earlier run is dropped first.
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
            std::printf("Dropping the repository of an earlier run\n");
            created = admin->deleteRepository(connect.c_str(), prefix.c_str()) &&
                      admin->createRepository(connect.c_str(), prefix.c_str());
        }
    }
    if (!created) {
        ok = failed("Creating the repository", admin->getErrorMessage());
    } else {
        std::printf("Created the repository %s\n", connect.empty() ? demoDb.c_str() : "through the connector");
        Repository* repository = connect.empty()
                                     ? admin->openFileRepository(demoDb.c_str(), true)
                                     : admin->connectRepository(connect.c_str(), prefix.c_str(), true, nullptr);
        if (!repository) {
            ok = failed("Opening the repository", admin->getErrorMessage());
        } else {
            ok = useRepository(repository);
            repository->release();
        }
    }
    if (ok)
        ok = connect.empty() ? listRepository(admin, demoDb, "", "Demo file", true)
                             : listRepository(admin, connect, prefix, "Demo", false);
    admin->release();
    return ok ? 0 : 1;
}
