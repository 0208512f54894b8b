// The host example of the README, as a program: host-example DIR keeps its files in DIR.
#include <cstdio>
#include <string>

#include "repos_admin.h"
#include "repos_common_rda.h"
#include "repos_repository.h"

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    const std::string list = dir + "/repositories.lst", file = dir + "/quality.db";

    RepositoryAdmin* admin = createRepositoryAdmin(0, list.c_str());
    if (!admin) {
        std::fprintf(stderr, "%s\n", getRepositoryAdminError());
        return 1;
    }
    bool ok = admin->createFileRepository(file.c_str()) && admin->addRepository(file.c_str(), "", "Quality", true) &&
              admin->setDefaultRepository("Quality");
    Repository* repository = ok ? admin->openFileRepository(file.c_str(), true) : nullptr;  // validated
    if (repository) {
        CommonRepositoryDataAccess* common = repository->createCommonRepositoryDataAccess();
        // ... rules, custom metrics, global categories, field-mapping rows ...
        if (common) common->release();
        ok = repository->setKeyValue("owner", "data quality team");
        if (!ok) std::fprintf(stderr, "%s\n", repository->getErrorMessage().asCstr());
        repository->release();  // typed objects and services first, then the repository
    } else {
        std::fprintf(stderr, "%s\n", admin->getErrorMessage().asCstr());
        ok = false;
    }
    admin->release();
    return ok ? 0 : 1;
}
