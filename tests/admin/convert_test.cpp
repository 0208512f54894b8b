// A host converts a legacy result-set file through the C entry point, or with the example host;
// either way the result opens with validation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "legacy_files.h"
#include "repos_admin.h"
#include "repos_convert.h"
#include "repos_repository.h"
#include "test_support.h"

namespace {

// The repository file the way converts into; true on success.
using Convert = bool (*)(const std::string& legacy, const TempDir& dir, std::string& target);

bool throughEntryPoint(const std::string& legacy, const TempDir& dir, std::string& target) {
    target = dir.file("host.db");
    return convertLegacyResultFile(legacy.c_str(), target.c_str()) == 1;
}

bool throughDemo(const std::string& legacy, const TempDir& dir, std::string& target) {
    target = dir.file("demo/demo.db");
    const std::string command = std::string("REPOSADMIN_CONFIG= '") + REPOS_DEMO_PATH + "' --convert '" + legacy +
                                "' '" + dir.file("demo") + "' >/dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace

TEST(LegacyConvert, HostAndDemoConvertAndTheResultOpensValidated) {
    const struct {
        const char* name;
        Convert convert;
    } ways[] = {{"entry point", throughEntryPoint}, {"repos-demo --convert", throughDemo}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        TempDir dir;
        LegacyFile legacy(dir.file("legacy.db"), 1.9);
        std::string target;
        ASSERT_TRUE(way.convert(legacy.path(), dir, target)) << getRepositoryAdminError();
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        ASSERT_NE(admin, nullptr);
        Repository* repository = admin->openFileRepository(target.c_str(), true);
        EXPECT_NE(repository, nullptr) << admin->getErrorMessage().str();
        if (repository) repository->release();
        admin->release();
        RawDb file(target);
        EXPECT_EQ(file.count("FLD"), 3);
    }
}

TEST(LegacyConvert, RefusalsNameTheFileAndLeaveNoTargetBehind) {
    TempDir dir;
    LogCapture log;
    LegacyFile legacy(dir.file("legacy.db"), 2.0);
    writeFile(dir.file("not-a-repository.db"), "plain text");
    const struct {
        std::string legacy, target, named;
        bool targetLeft;
    } cases[] = {
        {dir.file("missing.db"), dir.file("a.db"), dir.file("missing.db"), false},
        {"", dir.file("a.db"), "legacy file", false},
        {legacy.path(), "", "repository file", false},
        {dir.file("not-a-repository.db"), dir.file("a.db"), dir.file("a.db"), false},  // a legacy file that is none
        {legacy.path(), dir.file("not-a-repository.db"), dir.file("not-a-repository.db"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legacy + " -> " + c.target);
        EXPECT_EQ(convertLegacyResultFile(c.legacy.c_str(), c.target.c_str()), 0);
        EXPECT_NE(std::string(getRepositoryAdminError()).find(c.named), std::string::npos) << getRepositoryAdminError();
        if (!c.target.empty()) {
            EXPECT_EQ(fileExists(c.target), c.targetLeft);
        }
    }
    EXPECT_EQ(convertLegacyResultFile(nullptr, nullptr), 0);
    EXPECT_EQ(readFile(dir.file("not-a-repository.db")), "plain text");
}
