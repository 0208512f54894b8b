// What a host is told when a repository cannot be opened or created from what it was given: the
// file, folder or connection-text part at fault, named, and the failure logged once.
#include <sqlite3.h>

#include <filesystem>
#include <functional>

#include "gtest/gtest.h"
#include "repos_admin.h"
#include "repos_repository.h"
#include "test_support.h"

namespace {

struct Place {
    TempDir dir;
    std::string at(const char* name) const { return name[0] ? dir.file(name) : dir.path(); }
};

void sqliteFile(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

void foreignDatabase(const std::string& path) {
    sqliteFile(path, "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT)");
}

// An INFO table like a repository's, with the one row given.
void infoDatabase(const std::string& path, const char* type, int version) {
    const std::string sql = "CREATE TABLE INFO (I_TYPE VARCHAR(32), I_VERS INTEGER, I_MVER INTEGER); "
                            "INSERT INTO INFO VALUES ('" + std::string(type) + "', " + std::to_string(version) +
                            ", 1)";
    sqliteFile(path, sql.c_str());
}

std::string notARepository(const std::string& path) {
    return path + " is a SQLite database but not a repository: it has no INFO table naming a repository.";
}

const char* const kOtherVersion = "The repository version is not supported by this library.";

// ConnectFile: the connector with VQXTYPE=SQLITE and the argument as FILE.
enum class Call { OpenFile, CreateFile, Connect, ConnectFile };

struct Row {
    const char* name;
    std::function<void(const Place&)> prepare;
    Call call;
    const char* argument;  // in the place; a leading '=' takes it as it is
    std::function<std::string(const Place&)> expected;
};

}  // namespace

TEST(OpenMessages, NameWhatIsWrongAndAreLoggedOnce) {
    const Row rows[] = {
        {"another program's database", [](const Place& p) { foreignDatabase(p.at("notes.db")); }, Call::OpenFile,
         "notes.db",
         [](const Place& p) { return notARepository(p.at("notes.db")); }},
        {"another program's database through the connector",
         [](const Place& p) { foreignDatabase(p.at("notes.db")); }, Call::ConnectFile, "notes.db",
         [](const Place& p) { return notARepository(p.at("notes.db")); }},
        {"an INFO table naming no repository, through the connector",
         [](const Place& p) { infoDatabase(p.at("info.db"), "MYSET", 3); }, Call::ConnectFile, "info.db",
         [](const Place& p) { return notARepository(p.at("info.db")); }},
        {"a repository of another version", [](const Place& p) { infoDatabase(p.at("old.db"), "VQREPOSITORY", 7); },
         Call::OpenFile, "old.db",
         [](const Place&) { return std::string(kOtherVersion); }},
        {"a repository of another version through the connector",
         [](const Place& p) { infoDatabase(p.at("old.db"), "VQREPOSITORY", 7); }, Call::ConnectFile, "old.db",
         [](const Place&) { return std::string(kOtherVersion); }},
        {"open in a missing folder", nullptr, Call::OpenFile, "none/r.db",
         [](const Place& p) {
             return "Opening the SQLite database failed (the folder " + p.at("none") + " does not exist): " +
                    p.at("none/r.db");
         }},
        {"open a folder", nullptr, Call::OpenFile, "",
         [](const Place& p) {
             return "Opening the SQLite database failed (" + p.at("") + " is a folder, not a file): " + p.at("");
         }},
        {"open a missing file", nullptr, Call::OpenFile, "r.db",
         [](const Place& p) {
             return "Opening the SQLite database failed (the file " + p.at("r.db") + " does not exist): " +
                    p.at("r.db");
         }},
        {"create in a missing folder", nullptr, Call::CreateFile, "none/r.db",
         [](const Place& p) {
             return "opening " + p.at("none/r.db") + " failed: the folder " + p.at("none") + " does not exist";
         }},
        {"create over a folder", [](const Place& p) { std::filesystem::create_directory(p.at("sub")); },
         Call::CreateFile, "sub",
         [](const Place& p) { return "opening " + p.at("sub") + " failed: " + p.at("sub") + " is a folder, not a file"; }},
        {"create under a file", [](const Place& p) { writeFile(p.at("plain"), "x"); }, Call::CreateFile,
         "plain/r.db",
         [](const Place& p) { return "opening " + p.at("plain/r.db") + " failed: " + p.at("plain") + " is not a folder"; }},
        {"a file path given to the connector", nullptr, Call::Connect, "r.db",
         [](const Place& p) {
             return "the part '" + p.at("r.db") +
                    "' of the connection text has no '='; a file repository is opened with openFileRepository, or "
                    "through the connector with VQXTYPE=SQLITE;FILE=...";
         }},
        {"a part after the password", nullptr, Call::Connect, "=DSN=x;UID=me;PWD=s3cret;tail",
         [](const Place&) {
             return std::string("a part of the connection text after its password has no '=' (a value holding ';' is "
                                "written in braces)");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Place place;
        ConfigScope config;
        TempDir specs;
        config.set("REPOS/TABLE_LIST_PATH", specs.path().c_str());
        if (row.prepare) row.prepare(place);
        const std::string argument = row.argument[0] == '=' ? row.argument + 1 : place.at(row.argument);
        RepositoryAdmin* admin = createRepositoryAdmin(REPOS_ADMIN_NO_LIST_FILE, nullptr);
        ASSERT_NE(admin, nullptr);
        LogCapture log(1);
        Repository* repository = nullptr;
        bool ok = false;
        switch (row.call) {
            case Call::OpenFile: repository = admin->openFileRepository(argument.c_str(), true); break;
            case Call::CreateFile: ok = admin->createFileRepository(argument.c_str()); break;
            case Call::Connect: repository = admin->connectRepository(argument.c_str(), "", true, nullptr); break;
            case Call::ConnectFile:
                repository = admin->connectRepository(("VQXTYPE=SQLITE;FILE=" + argument).c_str(), "", true, nullptr);
                break;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(repository, nullptr);
        if (repository) repository->release();
        const std::string told = admin->getErrorMessage().str();
        EXPECT_EQ(told, row.expected(place));
        EXPECT_EQ(log.count("", 5), 1u) << "one failure, one error entry";
        EXPECT_EQ(log.count(told, 5), 1u);
        EXPECT_FALSE(log.contains("s3cret"));
        admin->release();
        EXPECT_FALSE(std::filesystem::exists(place.at("none")));
    }
}
