#include "repos_install.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const char kTableSets[] = "etc/reposcreate";

bool sameFolder(const fs::path& a, const fs::path& b) {
    std::error_code ec1, ec2;
    fs::path x = fs::weakly_canonical(a, ec1), y = fs::weakly_canonical(b, ec2);
    return !ec1 && !ec2 && x == y;
}

}  // namespace

std::string reposInstalledTableSetFolder() {
    Dl_info info{};
    // An installation may be moved as a whole, so the loaded file says more than the prefix it was
    // configured with.
    if (dladdr(reinterpret_cast<void*>(&reposInstalledTableSetFolder), &info) && info.dli_fname &&
        std::strncmp(fs::path(info.dli_fname).filename().c_str(), "libreposadmin.so", 16) == 0) {
        fs::path folder = fs::path(info.dli_fname).parent_path();
        if (sameFolder(folder, REPOS_BUILD_LIBRARY_DIR)) return (fs::path(REPOS_BUILD_LIBRARY_DIR) / kTableSets).string();
        return (folder / REPOS_LIBDIR_TO_PREFIX / kTableSets).lexically_normal().string();
    }
    return (fs::path(REPOS_INSTALL_PREFIX) / kTableSets).string();
}
