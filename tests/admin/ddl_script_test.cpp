// Creating a repository as a DDL script: the script builds a working repository when run by the
// server's own client, its lines take the configured prefix and suffix, and a script that cannot
// be written is reported.
#include <cstdlib>
#include <map>
#include <sstream>

#include "copy_fixture.h"
#include "vqbmessage.h"

namespace {

// Runs the script with psql; its error lines.
std::vector<std::string> runPsql(const std::string& script, const std::string& errors) {
    std::map<std::string, std::string> values;  // of the connection text "KEY=value;..."
    std::stringstream text(pgConnection());
    for (std::string part; std::getline(text, part, ';');)
        if (part.find('=') != std::string::npos) values[part.substr(0, part.find('='))] = part.substr(part.find('=') + 1);
    std::string command = "psql -X -q -h '" + values["SERVER"] + "' -p '" + values["PORT"] + "' -U '" + values["UID"] +
                          "' -d '" + values["DATABASE"] + "' -f '" + script + "' >/dev/null 2>'" + errors + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> lines;
    std::stringstream in(readFile(errors));
    for (std::string line; std::getline(in, line);)
        if (line.find("ERROR") != std::string::npos) lines.push_back(line);
    return lines;
}

}  // namespace

class DdlScript : public CopyTest {};

TEST_F(DdlScript, ServerClientBuildsARepositoryThatOpensValidated) {
    REPOS_REQUIRE_PG();
    config_.set("BASE/REPOS_DDL_LINE_SUFFIX", ";");
    const std::string prefix = serverPrefix();
    const std::string script = dir_.file("create.sql");
    ASSERT_TRUE(admin_->createRepositoryWithDDL(pgConnection(), prefix, script)) << admin_->getErrorMessage().str();
    // Nothing ran yet.
    EXPECT_EQ(admin_->connectRepository(pgConnection(), prefix, true, nullptr), nullptr);

    // The script drops each table before it creates it; on a fresh prefix those drops are the only
    // statements the server may refuse.
    for (const std::string& error : runPsql(script, dir_.file("psql.err")))
        EXPECT_NE(error.find("does not exist"), std::string::npos) << error;

    // Opened with validation.
    RepositoryImpl* r = open(Place::Postgres, prefix);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->hasNCOA());
    EXPECT_FALSE(r->getRepositoryUuid().isEmpty());
    // The XML table set came along, and the repository takes rows.
    EXPECT_TRUE(hasTable(r, kSpecTable));
    EXPECT_TRUE(exec(r, "INSERT INTO " + t(r, "FOLDER") + " (FLDR_ID, FLDR_PAR, FLDR_NAM) VALUES (42, 0, 'it''s')"));
    unsigned id = 0;
    EXPECT_TRUE(r->getNextId("RULE", &id, nullptr));
}

TEST_F(DdlScript, LinesTakeTheConfiguredPrefixAndSuffix) {
    config_.set("BASE/REPOS_DDL_LINE_PREFIX", "^p");
    config_.set("BASE/REPOS_DDL_LINE_SUFFIX", ";^p--");
    const std::string database = dir_.file("never.db");
    const std::string script = dir_.file("create.sql");
    ASSERT_TRUE(admin_->createRepositoryWithDDL(RepositoryAdminImpl::fileConnection(database), "", script))
        << admin_->getErrorMessage().str();
    std::string text = readFile(script);
    std::stringstream in(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_FALSE(lines.empty());
    // Each statement: an empty line, the statement ending with ";", then "--".
    ASSERT_EQ(lines.size() % 3, 0u);
    for (size_t i = 0; i < lines.size(); i += 3) {
        EXPECT_EQ(lines[i], "");
        EXPECT_EQ(lines[i + 1].back(), ';') << lines[i + 1];
        EXPECT_EQ(lines[i + 2], "--");
    }
    for (const char* part : {"CREATE TABLE", "'VQREPOSITORY'", "'Profiling Reports'"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(text.find("?"), std::string::npos) << "a parameter was not written in";
}

TEST_F(DdlScript, MissingOrUnwritableScriptIsReported) {
    const std::string database = dir_.file("repository.db");
    const VqbString connection = RepositoryAdminImpl::fileConnection(database);
    // Without a script the call would have built the repository for real.
    EXPECT_FALSE(admin_->createRepositoryWithDDL(connection, "", VqbString()));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1961));
    EXPECT_FALSE(admin_->createRepositoryWithDDL(connection, "", ""));
    EXPECT_EQ(admin_->getErrorMessage(), reposMessage(1961));
    EXPECT_FALSE(fileExists(database));

    for (const std::string& path : {dir_.path(), dir_.file("missing/dir/script.sql")}) {
        EXPECT_FALSE(admin_->createRepositoryWithDDL(connection, "", path));
        EXPECT_FALSE(admin_->getErrorMessage().isEmpty());
    }

    // A device that takes no data: every statement is lost, which must not pass as a script.
    if (fileExists("/dev/full")) {
        EXPECT_FALSE(admin_->createRepositoryWithDDL(connection, "", "/dev/full"));
        EXPECT_NE(admin_->getErrorMessage().str().find("/dev/full"), std::string::npos)
            << admin_->getErrorMessage().str();
    }
    // Nothing was built.
    Repository* r = admin_->openFileRepository(database.c_str(), false);
    ASSERT_NE(r, nullptr);
    RepositoryAccessMode mode;
    RepositoryKind kind;
    int version = 0, second = 0;
    r->getRepositoryInfo(mode, kind, version, second);
    EXPECT_EQ(kind, REPOS_KIND_NONE);
    r->release();
}
