// Bad input and interrupted work: malformed spec files, tables in the way, refused rows, deleted
// files, and a creation killed half way.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "rda_factory.h"
#include "repos_fixture.h"
#include "vqbmessage.h"

namespace {


const char kBrokenSpec[] = "<velqorindocument class='ReposTableCreateSpec' version='1.0'><tableset name='B'>";

RepositoryKind kindOf(Repository* repository, RepositoryAccessMode* mode = nullptr) {
    RepositoryAccessMode access;
    RepositoryKind kind;
    int version = 0, second = 0;
    repository->getRepositoryInfo(mode ? *mode : access, kind, version, second);
    return kind;
}

class RepositoryFailureTest : public RepositoryTest {};
class FileRepositoryFailureTest : public RepositoryTest {};

}  // namespace

TEST_P(RepositoryFailureTest, MalformedSpecFileStopsOpenAndCreation) {
    const std::string broken = specDir_.file("z_broken.xml");
    writeFile(broken, kBrokenSpec);
    ReposTableSpecReader reader;
    ASSERT_FALSE(reader.loadSpecFile(VqbString(broken)));
    const VqbString readerError = reader.getErrorMessage();

    EXPECT_FALSE(create());
    EXPECT_EQ(error(), readerError);
    if (place() != Place::Postgres) {
        EXPECT_FALSE(fileExists(where())) << "a failed creation left a file";
    }

    std::filesystem::remove(broken);
    ASSERT_TRUE(create()) << error().str();
    Rows info = rows("SELECT I_TYPE, I_UUID FROM " + t("INFO") + " ORDER BY I_TYPE");

    writeFile(broken, kBrokenSpec);
    EXPECT_EQ(open(true), nullptr);
    EXPECT_EQ(error(), readerError);
    std::filesystem::remove(broken);
    RepositoryImpl* repository = open(true);
    ASSERT_NE(repository, nullptr) << error().str();
    repository->release();
    EXPECT_EQ(rows("SELECT I_TYPE, I_UUID FROM " + t("INFO") + " ORDER BY I_TYPE"), info);
}

TEST_P(RepositoryFailureTest, TableInTheWayFailsCreationAndDeletion) {
    ASSERT_TRUE(exec("CREATE VIEW " + t("RULE") + " AS SELECT 1 AS X"));

    EXPECT_FALSE(create());
    EXPECT_FALSE(error().isEmpty());
    // A file keeps nothing of the failed creation.
    if (place() != Place::Postgres) {
        RepositoryImpl* repository = open(false);
        ASSERT_NE(repository, nullptr) << error().str();
        EXPECT_EQ(kindOf(repository), REPOS_KIND_NONE);
        repository->release();
    }

    EXPECT_FALSE(drop());
    EXPECT_EQ(error(), reposMessage(1910, "RULE"));
    ASSERT_TRUE(exec("DROP VIEW " + t("RULE")));
    EXPECT_TRUE(drop()) << error().str();
}

// The trigger is SQLite's; a server refuses rows in its own ways.
TEST_P(FileRepositoryFailureTest, RefusedInfoRowFailsCreation) {
    writeSpec("sets.xml",
              "<tableset name='EXTRA' version='1'><tabledef name='XTRA'><column name='X_ID' type='integer'/>"
              "</tabledef><post><createrepos><stmt><sql>CREATE TRIGGER NOEXTRA BEFORE INSERT ON $$INFO$$ "
              "WHEN NEW.I_TYPE='EXTRA' BEGIN SELECT RAISE(ABORT, 'refused by trigger'); END</sql></stmt>"
              "</createrepos></post></tableset>"
              "<tableset name='OTHER' version='4'/>");
    EXPECT_FALSE(create());
    EXPECT_NE(error().str().find("refused by trigger"), std::string::npos) << error().str();
}

INSTANTIATE_TEST_SUITE_P(Places, RepositoryFailureTest, ::testing::Values(Place::Direct, Place::File, Place::Postgres),
                         placeName);
INSTANTIATE_TEST_SUITE_P(Places, FileRepositoryFailureTest, ::testing::Values(Place::Direct, Place::File), placeName);

TEST_P(FileRepositoryFailureTest, KilledCreationLeavesAFileThatOpensOrIsRefused) {
    std::mt19937 random(std::random_device{}());
    for (int round = 0; round < 6; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = create();
            _exit(ok ? 0 : 1);
        }
        usleep(std::uniform_int_distribution<useconds_t>(0, 40000)(random));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        if (fileExists(where())) {
            RepositoryImpl* repository = open(true);
            if (repository) {
                EXPECT_TRUE(repository->hasNCOA());
                repository->release();
            } else {
                EXPECT_FALSE(error().isEmpty());
                repository = open(false);
                ASSERT_NE(repository, nullptr) << error().str();
                EXPECT_EQ(kindOf(repository), REPOS_KIND_NONE);
                repository->release();
            }
        }
        ASSERT_TRUE(admin()->deleteFile(where()));
        ASSERT_FALSE(fileExists(where()));
        ASSERT_TRUE(create()) << error().str();
        RepositoryImpl* repository = open(true);
        ASSERT_NE(repository, nullptr) << error().str();
        repository->release();
        ASSERT_TRUE(admin()->deleteFile(where()));
    }
}

class RepositoryAdminFiles : public ::testing::Test {
protected:
    void SetUp() override {
        config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
        admin = static_cast<RepositoryAdminImpl*>(createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr));
        ASSERT_NE(admin, nullptr);
    }
    void TearDown() override {
        if (admin) admin->release();
    }
    TempDir dir, specs;
    ConfigScope config;
    RepositoryAdminImpl* admin = nullptr;
};

TEST_F(RepositoryAdminFiles, DeleteFileSaysWhetherTheFileIsGone) {
    EXPECT_TRUE(admin->deleteFile(dir.file("missing.db").c_str()));
    writeFile(dir.file("r.db"), "x");
    writeFile(dir.file("r.db-journal"), "stale");
    EXPECT_TRUE(admin->deleteFile(dir.file("r.db").c_str()));
    EXPECT_FALSE(fileExists(dir.file("r.db")));
    EXPECT_FALSE(fileExists(dir.file("r.db-journal")));
    std::filesystem::create_directory(dir.file("busy"));
    writeFile(dir.file("busy/inside"), "x");
    EXPECT_FALSE(admin->deleteFile(dir.file("busy").c_str()));
    EXPECT_NE(admin->getErrorMessage().str().find(dir.file("busy")), std::string::npos);
    EXPECT_TRUE(fileExists(dir.file("busy/inside")));
}

TEST_F(RepositoryAdminFiles, FileOpenGoesThroughTheConnectorOnlyWhenForcedOff) {
    const std::string path = dir.file("a.db");
    for (const char* value : {static_cast<const char*>(nullptr), "maybe", "true"}) {
        if (value) config.set("REPOS/FORCE_FILE_BASED", value);
        EXPECT_EQ(admin->openFileRepository(path.c_str(), false), nullptr) << (value ? value : "unset");
        EXPECT_FALSE(fileExists(path));
    }
    // Through the connector a missing file is made; it holds no repository.
    config.set("REPOS/FORCE_FILE_BASED", "false");
    Repository* repository = admin->openFileRepository(path.c_str(), false);
    ASSERT_NE(repository, nullptr) << admin->getErrorMessage().str();
    RepositoryAccessMode mode;
    EXPECT_EQ(kindOf(repository, &mode), REPOS_KIND_NONE);
    EXPECT_EQ(mode, REPOS_ACCESS_CONNECTOR);
    repository->release();
    EXPECT_EQ(admin->openFileRepository(path.c_str(), true), nullptr);
    EXPECT_EQ(admin->getErrorMessage(), reposMessage(1336, path.c_str()));
}

TEST_F(RepositoryAdminFiles, PathWithConnectionTextSeparatorsStaysOnePath) {
    const std::string path = dir.file("we;VQXTYPE=ODBC;DSN=x {odd}} name.db");
    ASSERT_TRUE(admin->createFileRepository(path.c_str())) << admin->getErrorMessage().str();
    Repository* repository = admin->openFileRepository(path.c_str(), true);
    ASSERT_NE(repository, nullptr) << admin->getErrorMessage().str();
    repository->release();
    auto entries = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);
}

// A connection that cannot be made says why in the driver's words, never with the password.
TEST(RepositoryAdminConnection, FailureNamesTheDriversReasonWithoutThePassword) {
    const struct {
        const char* connection;
        const char* reason;
    } cases[] = {
        {"DSN=no_such_source_here;UID=me;PWD=s3cret", "Data source name not found"},
        {"DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=1;DATABASE=x;UID=me;PASSWORD=s3cret", "Connection refused"},
        {"UID=me;PWD=s3cret;just words", "has no '='"},
        {"VQXTYPE=SQLITE;FILE=/no/such/folder/r.db", "the folder /no/such/folder does not exist"},
        {"VQXTYPE=SQLITE;FILE=/tmp/r.db;PWD=s3cret", "does not know these keys: PWD=***"},
    };
    LogCapture log(1);
    RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
    ASSERT_NE(admin, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connection);
        EXPECT_FALSE(admin->createRepository(c.connection, ""));
        EXPECT_NE(admin->getErrorMessage().str().find(c.reason), std::string::npos) << admin->getErrorMessage().str();
        EXPECT_EQ(admin->connectRepository(c.connection, "", true, nullptr), nullptr);
        EXPECT_NE(admin->getErrorMessage().str().find(c.reason), std::string::npos) << admin->getErrorMessage().str();
    }
    admin->release();
    EXPECT_FALSE(log.contains("s3cret"));
}
