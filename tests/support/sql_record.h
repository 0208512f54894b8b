// The statement texts the library prepares on SQLite while the suites run, recorded for the plan
// check. A test program records when REPOS_SQL_RECORD names a folder; each process writes the
// distinct texts it saw, with the test that first sent each, to a file of its own at exit.
#ifndef SQL_RECORD_H
#define SQL_RECORD_H

#include <string>
#include <vector>

// The statements of the test helpers themselves are not the library's: nothing this thread
// prepares is recorded while one lives.
class SqlRecordPause {
public:
    SqlRecordPause();
    ~SqlRecordPause();
    SqlRecordPause(const SqlRecordPause&) = delete;
    SqlRecordPause& operator=(const SqlRecordPause&) = delete;
};

// Records from now on into a file of this process in folder, written when the process exits;
// what this process recorded before is forgotten.
void startSqlRecording(const std::string& folder);
// Writes that file now (a process that ends without running its exit handlers calls it).
void writeSqlRecording();

struct RecordedStatement {
    std::string text;
    std::string firstTest;  // "<program> <suite>.<test>"
};

// The distinct texts of every record file in folder (the first file in name order wins a test);
// false when the folder cannot be read or a file is malformed, with the reason.
bool readSqlRecords(const std::string& folder, std::vector<RecordedStatement>& out, std::string* error);

#endif
