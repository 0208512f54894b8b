// A repository for tests: a fresh SQLite file with every catalogue table and the INFO row that
// gives it its UUID, opened through the library's own connection.
#ifndef REPOS_FIXTURE_H
#define REPOS_FIXTURE_H

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "repos_dataaccess.h"
#include "repos_held.h"
#include "test_support.h"

class ReposTestRepository {
public:
    ReposTestRepository();
    ~ReposTestRepository();
    ReposTestRepository(const ReposTestRepository&) = delete;
    ReposTestRepository& operator=(const ReposTestRepository&) = delete;

    ReposDataAccess* connection() const { return connection_.get(); }
    const std::string& uuid() const { return uuid_; }
    std::string file() const { return dir_.file("repository.db"); }

    // Runs a statement through the connection, with its values bound in order; false (and a test
    // failure) on error.
    bool exec(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // The rows of a select through the connection, each a list of texts ("<null>" for NULL).
    std::vector<std::vector<std::string>> rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {});
    // A FOLDER row.
    bool addFolder(int id, int parent, const std::string& name);

private:
    TempDir dir_;
    ReposHeld<ReposDataAccess> connection_;
    std::string uuid_;
};

// Every value of a cursor's rows as text ("<null>" for NULL), until next() stops.
std::vector<std::vector<std::string>> cursorRows(ReposDataAccessCursor* cursor);

#endif
