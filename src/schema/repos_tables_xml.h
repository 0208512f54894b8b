// Reader of the XML table-create spec files: installation-defined table sets with their tables,
// initial rows, macros and the statements to run around creating, updating or deleting them.
#ifndef REPOS_TABLES_XML_H
#define REPOS_TABLES_XML_H

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "vqbdatavar.h"
#include "vqbstring.h"
#include "vqbutil.h"
#include "vqlog.h"

// Macro keys are compared ignoring case, as the statement expansion of the applier does.
struct ReposMacroLess {
    bool operator()(const VqbString& a, const VqbString& b) const { return a.compare(b, false) < 0; }
};
using ReposMacroMap = std::map<VqbString, VqbString, ReposMacroLess>;

struct ReposColumnSpec {
    VqbString name;            // upper case, at most 8 characters
    int32_t type = 0;          // VQB_TYPE_* code
    bool primaryKey = false;
    int32_t indexNumber = 0;   // 0: none
    int32_t length = 0;        // strings only (255 unless given)
    VqbString description;
    bool nullable = true;
    bool useMaxLength = false; // strings only
};

struct ReposRowSpec {
    // By the definition's column name; a null value for isnull and for the generated id.
    std::map<VqbString, VqbDatavar> values;
    VqbString generatedIdColumn;  // empty when the row generates no id
};

struct ReposTableDefSpec {
    VqbString name;  // upper case, at most 6 characters
    VqbString description;
    bool deleteExisting = false;
    std::vector<ReposColumnSpec> columns;
    std::vector<ReposRowSpec> rows;
};

struct ReposStmtParam {
    VqbString name;
    int32_t type = 0;
    int32_t length = 0;  // strings only (255 unless given)
    VqbDatavar value;    // the element text as written
};

struct ReposStmtSpec {
    VqbString sql;  // macros expanded; the other delimiters are the applier's
    std::vector<ReposStmtParam> params;
};

enum ReposStmtPhase { REPOS_STMT_PRE = 0, REPOS_STMT_POST = 1 };
enum ReposStmtAction { REPOS_STMT_CREATE = 0, REPOS_STMT_UPDATE = 1, REPOS_STMT_DELETE = 2 };

struct ReposTableSetSpec {
    VqbString name;  // upper case
    VqbString description;
    int32_t version = 0;
    VqbString indexPrefix;
    std::vector<ReposTableDefSpec> tables;
    std::vector<ReposStmtSpec> stmts[2][3];  // [phase][action]
    ReposMacroMap macros;
    bool ignoreCustomErrors = false;
    bool insertDataFirst = false;

    const std::vector<ReposStmtSpec>& statements(ReposStmtPhase phase, ReposStmtAction action) const {
        return stmts[phase][action];
    }
};

// Limits of macro expansion: a text may not grow beyond this many bytes, nor take more
// replacements than this.
constexpr size_t REPOS_MACRO_MAX_TEXT = 1u << 20;
constexpr unsigned REPOS_MACRO_MAX_REPLACEMENTS = 10000;

// Expands "%%key%%" references. A reference to an unknown key stays as written; a text with an
// unclosed "%%" comes back as given. False with error set when a macro leads back to itself or
// the expansion outgrows the limits.
bool expandSpecMacros(const VqbString& text, const ReposMacroMap& macros, VqbString& out, VqbString& error);

// The INFO types under which the repository keeps its own versions. A table set records its version
// under its name, so a set of one of these names is refused.
bool reposIsOwnInfoType(const VqbString& type);

class ReposTableSpecReader {
public:
    ReposTableSpecReader();
    ~ReposTableSpecReader();
    ReposTableSpecReader(const ReposTableSpecReader&) = delete;
    ReposTableSpecReader& operator=(const ReposTableSpecReader&) = delete;

    // Lists the directory once; false with the listing's error text.
    bool openSpecDirectory(const VqbString& directory);
    // Reads every "*.xml" of the listing in name order, the first time it is called; later calls
    // only report. Not opened: count 0 and true. Stops at the first file that fails.
    bool loadSpecDirectory(unsigned* count = nullptr);
    // Reads one file and merges its table sets into those loaded.
    bool loadSpecFile(const VqbString& path);

    int getSpecCount() const { return static_cast<int>(specs_.size()); }
    // False when index is out of range; a null out pointer only checks the index.
    bool getSpec(int index, const ReposTableSetSpec** spec) const;
    VqbString getErrorMessage() const { return error_; }

private:
    enum class DirState { Closed, Opened, Loaded, Failed };

    bool fail(int line, const VqbString& text);

    VqbString directory_;
    VqbString error_;
    VqLogger* logger_ = nullptr;
    std::unique_ptr<VqbDirectoryListing> listing_;
    std::vector<ReposTableSetSpec> specs_;
    DirState state_ = DirState::Closed;
};

#endif
