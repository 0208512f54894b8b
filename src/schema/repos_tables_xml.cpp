#include "repos_tables_xml.h"

#include <new>
#include <string>

#include "repos_tables.h"
#include "reposlog.h"
#include "vqbmessage.h"
#include "vqdom.h"

namespace {

const char kSource[] = "repos_tables_xml";
const char kRootName[] = "velqorindocument";
const char kDocClass[] = "ReposTableCreateSpec";
const char kDocVersion[] = "1.0";
const char kDelimiter[] = "%%";
constexpr size_t kDelimiterSize = 2;
constexpr size_t kMaxTableName = 6;
constexpr size_t kMaxColumnName = 8;
constexpr int32_t kDefaultTextLength = 255;

const char* const kOwnInfoTypes[] = {"VQREPOSITORY", "NCOA", "PROFILE_RESULTSET", "MONITOR"};

bool isNamed(const VqDomNode& node, const char* name) { return node.getName().equals(VqbString(name), false); }

// Table, column and index-prefix names end up in DDL as identifiers: letters, digits and
// underscores only, not starting with a digit (checked after upper-casing).
bool isIdentifier(const VqbString& name) {
    const std::string& s = name.str();
    if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
    for (char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

struct ActionName {
    const char* element;
    ReposStmtAction action;
};
const ActionName kActions[] = {
    {"createrepos", REPOS_STMT_CREATE},
    {"updaterepos", REPOS_STMT_UPDATE},
    {"deleterepos", REPOS_STMT_DELETE},
};

// Reads the table sets of one document into a copy of what is loaded; the caller keeps the
// result only when the whole table set was read.
class SpecFileReader {
public:
    SpecFileReader(std::vector<ReposTableSetSpec>& specs, VqbString& error) : specs_(specs), error_(error) {}

    bool read(const VqDomNode& root) {
        if (root.null() || !isNamed(root, kRootName)) return fail(reposMessage(288));
        if (!root.getAttributeValue("class").equals(VqbString(kDocClass), false))
            return fail(reposMessage(1684, kDocClass));
        if (root.getAttributeValue("version") != VqbString(kDocVersion)) return fail(reposMessage(290));
        for (VqDomNode child = root.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "tableset")) return unexpected(child.getName());
            if (!readTableSet(child)) return false;
        }
        return true;
    }

private:
    bool fail(VqbString text) {
        error_ = std::move(text);
        return false;
    }
    bool unexpected(const VqbString& name) { return fail(reposMessage(1396, name.asCstr())); }
    bool missing(const char* attribute) { return fail(reposMessage(1415, attribute)); }

    bool expand(const VqbString& text, VqbString& out) { return expandSpecMacros(text, set_->macros, out, error_); }
    bool attr(const VqDomNode& node, const char* name, VqbString& out) {
        return expand(node.getAttributeValue(name), out);
    }
    // Absent or not a boolean: the fallback.
    bool boolAttr(const VqDomNode& node, const char* name, bool fallback, bool& out) {
        VqbString text;
        if (!attr(node, name, text)) return false;
        bool error = false;
        out = text.asBool(&error);
        if (error) out = fallback;
        return true;
    }
    bool typeAttr(const VqDomNode& node, int32_t& type) {
        VqbString text;
        if (!attr(node, "type", text)) return false;
        type = text.isEmpty() ? 0 : vqbTypeFromString(text.asCstr());
        return type != 0 || missing("type");
    }
    bool textLength(const VqDomNode& node, int32_t type, int32_t& length) {
        length = 0;
        if (type != VQB_TYPE_STRING) return true;
        VqbString text;
        if (!attr(node, "length", text)) return false;
        bool error = false;
        length = text.asInt(&error);
        if (error || length <= 0) length = kDefaultTextLength;
        return true;
    }

    bool readTableSet(const VqDomNode& node) {
        VqbString name = node.getAttributeValue("name");
        if (name.isEmpty()) return missing("name");
        name.uppercase();
        if (reposIsOwnInfoType(name)) return fail(reposMessage(1689, name.asCstr()));
        VqbString versionText = node.getAttributeValue("version");
        if (versionText.isEmpty()) return missing("version");

        size_t at = specs_.size();
        for (size_t i = 0; i < specs_.size(); ++i)
            if (specs_[i].name.equals(name, false)) at = i;
        ReposTableSetSpec set = at < specs_.size() ? specs_[at] : ReposTableSetSpec();
        set_ = &set;

        bool error = false;
        set.name = name;
        set.version = versionText.asInt(&error);
        if (error) set.version = 0;
        set.description = node.getAttributeValue("description");
        set.indexPrefix = node.getAttributeValue("indexprefix");
        if (!set.indexPrefix.isEmpty() && !isIdentifier(VqbString(set.indexPrefix).uppercase()))
            return unexpected(set.indexPrefix);
        set.ignoreCustomErrors = node.getAttributeValue("ignorecustomerrors").asBool();
        set.insertDataFirst = node.getAttributeValue("insertdatafirst").asBool();

        // Macros first, so they hold for the whole table set wherever they stand.
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (isNamed(child, "macros") && !readMacros(child, set)) return false;
        }
        for (const auto& macro : set.macros) {
            VqbString expanded;
            if (!expand(macro.second, expanded)) return false;
        }
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            bool ok = true;
            if (isNamed(child, "macros"))
                continue;
            else if (isNamed(child, "tabledef"))
                ok = readTableDef(child, set);
            else if (isNamed(child, "pre"))
                ok = readStatements(child, set, REPOS_STMT_PRE);
            else if (isNamed(child, "post"))
                ok = readStatements(child, set, REPOS_STMT_POST);
            else
                ok = unexpected(child.getName());
            if (!ok) return false;
        }
        if (at < specs_.size())
            specs_[at] = std::move(set);
        else
            specs_.push_back(std::move(set));
        return true;
    }

    bool readMacros(const VqDomNode& node, ReposTableSetSpec& set) {
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "macro")) return unexpected(child.getName());
            VqbString key = child.getAttributeValue("key");
            if (key.isEmpty()) continue;
            set.macros[key] = child.getAttributeValue("value");
        }
        return true;
    }

    bool readTableDef(const VqDomNode& node, ReposTableSetSpec& set) {
        VqbString name = node.getAttributeValue("name");
        if (name.isEmpty()) return missing("name");
        name.uppercase();
        if (name.length() > kMaxTableName || !isIdentifier(name)) return unexpected(name);
        // Created with drop-first and emptied by copies: a catalogue table of that name would be lost.
        if (findReposTable(name.asCstr())) return fail(reposMessage(1690, name.asCstr(), set.name.asCstr()));

        ReposTableDefSpec* def = nullptr;
        for (ReposTableDefSpec& existing : set.tables)
            if (existing.name == name) def = &existing;
        if (def == nullptr) {
            set.tables.emplace_back();
            def = &set.tables.back();
            def->name = name;
        }
        def->description = node.getAttributeValue("description");

        // Rows are read once every column of this definition is known.
        std::vector<VqDomNode> rows;
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (isNamed(child, "column")) {
                if (!readColumn(child, *def)) return false;
            } else if (isNamed(child, "tablerows")) {
                if (!boolAttr(child, "deleteexisting", false, def->deleteExisting)) return false;
                for (VqDomNode row = child.getFirstChild(); !row.null(); row = row.getNextSibling()) {
                    if (!isNamed(row, "row")) return unexpected(row.getName());
                    rows.push_back(row);
                }
            } else {
                return unexpected(child.getName());
            }
        }
        for (const VqDomNode& row : rows)
            if (!readRow(row, *def)) return false;
        return checkPrimaryKeys(*def);
    }

    bool readColumn(const VqDomNode& node, ReposTableDefSpec& def) {
        ReposColumnSpec column;
        if (!attr(node, "name", column.name)) return false;
        if (column.name.isEmpty()) return missing("name");
        column.name.uppercase();
        if (column.name.length() > kMaxColumnName || !isIdentifier(column.name)) return unexpected(column.name);
        for (const ReposColumnSpec& other : def.columns)
            if (other.name == column.name) {
                const VqbString where = VqbString::format("table %s", def.name.asCstr());
                return fail(reposMessage(1509, column.name.asCstr(), where.asCstr()));
            }
        if (!typeAttr(node, column.type)) return false;
        if (!textLength(node, column.type, column.length)) return false;
        if (column.type == VQB_TYPE_STRING && !boolAttr(node, "usemaxlength", false, column.useMaxLength))
            return false;

        VqbString text;
        if (!attr(node, "primarykey", text)) return false;
        bool error = false;
        column.primaryKey = !text.isEmpty() && text.asBool(&error);
        if (error) return missing("primarykey");
        if (!attr(node, "indexnum", text)) return false;
        column.indexNumber = text.asInt(&error);
        if (error) column.indexNumber = 0;
        if (!boolAttr(node, "isnullable", true, column.nullable)) return false;
        if (!attr(node, "description", column.description)) return false;
        def.columns.push_back(std::move(column));
        return true;
    }

    bool readRow(const VqDomNode& node, ReposTableDefSpec& def) {
        ReposRowSpec row;
        const VqbString where = VqbString::format("a row of table %s", def.name.asCstr());
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "value")) return unexpected(child.getName());
            VqbString name;
            if (!attr(child, "column", name)) return false;
            if (name.isEmpty()) return missing("column");
            const ReposColumnSpec* column = nullptr;
            for (const ReposColumnSpec& c : def.columns)
                if (c.name.equals(name, false)) column = &c;
            if (column == nullptr) return unexpected(name);
            // Stored under the definition's name, which is what the inserts look up.
            if (row.values.count(column->name)) return fail(reposMessage(1509, column->name.asCstr(), where.asCstr()));

            VqbString isNullText;
            if (!attr(child, "isnull", isNullText)) return false;
            bool error = false;
            bool isNull = !isNullText.isEmpty() && isNullText.asBool(&error);
            if (error) return unexpected(isNullText);
            bool generateId = false, generateUuid = false, setCurDate = false;
            if (!boolAttr(child, "generateid", false, generateId) ||
                !boolAttr(child, "generateuuid", false, generateUuid) ||
                !boolAttr(child, "setcurdate", false, setCurDate))
                return false;

            VqbDatavar value;
            if (!isNull) {
                VqbString text;
                if (!expand(child.getValue(), text)) return false;
                value = VqbDatavar(text);
            }
            if (column->type == VQB_TYPE_INT && column->primaryKey && generateId) {
                if (!row.generatedIdColumn.isEmpty())
                    return fail(reposMessage(1509, column->name.asCstr(), where.asCstr()));
                value = VqbDatavar();
                row.generatedIdColumn = column->name;
            } else if (column->type == VQB_TYPE_STRING && generateUuid) {
                value = VqbDatavar(vqbNewUUID());
            } else if (column->type == VQB_TYPE_DATE && setCurDate) {
                value = VqbDatavar(VqbDate::currentDate().asDouble());
            }
            row.values[column->name] = value;
        }
        def.rows.push_back(std::move(row));
        return true;
    }

    bool checkPrimaryKeys(const ReposTableDefSpec& def) {
        for (const ReposColumnSpec& column : def.columns) {
            if (!column.primaryKey) continue;
            for (const ReposRowSpec& row : def.rows) {
                if (row.generatedIdColumn == column.name) continue;
                auto value = row.values.find(column.name);
                if (value == row.values.end() || value->second.isNull())
                    return fail(reposMessage(696, def.name.asCstr(), column.name.asCstr()));
            }
        }
        return true;
    }

    bool readStatements(const VqDomNode& node, ReposTableSetSpec& set, ReposStmtPhase phase) {
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            const ActionName* action = nullptr;
            for (const ActionName& a : kActions)
                if (isNamed(child, a.element)) action = &a;
            if (action == nullptr) return unexpected(child.getName());
            for (VqDomNode stmt = child.getFirstChild(); !stmt.null(); stmt = stmt.getNextSibling()) {
                if (stmt.getName() != VqbString("stmt")) return unexpected(stmt.getName());
                ReposStmtSpec spec;
                if (!readStatement(stmt, spec)) return false;
                set.stmts[phase][action->action].push_back(std::move(spec));
            }
        }
        return true;
    }

    bool readStatement(const VqDomNode& node, ReposStmtSpec& spec) {
        bool haveSql = false;
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (isNamed(child, "sql")) {
                if (haveSql) return unexpected(child.getName());
                haveSql = true;
                if (!expand(child.getValue(), spec.sql)) return false;
            } else if (isNamed(child, "param")) {
                ReposStmtParam param;
                if (!attr(child, "name", param.name)) return false;
                if (param.name.isEmpty()) return missing("name");
                if (!typeAttr(child, param.type)) return false;
                if (!textLength(child, param.type, param.length)) return false;
                param.value = VqbDatavar(child.getValue());
                spec.params.push_back(std::move(param));
            } else {
                return unexpected(child.getName());
            }
        }
        return haveSql || fail(reposMessage(1395, "sql"));
    }

    std::vector<ReposTableSetSpec>& specs_;
    VqbString& error_;
    const ReposTableSetSpec* set_ = nullptr;
};

}  // namespace

bool expandSpecMacros(const VqbString& text, const ReposMacroMap& macros, VqbString& out, VqbString& error) {
    size_t pos = text.str().find(kDelimiter);
    if (pos == std::string::npos) {
        out = text;
        return true;
    }
    std::string s = text.str();
    // The values inserted so far that the scan is still inside, innermost last: a reference to
    // one of their keys from inside it would repeat for ever.
    struct Inserted {
        const VqbString* key;
        size_t end;
    };
    std::vector<Inserted> inside;
    unsigned replacements = 0;
    while ((pos = s.find(kDelimiter, pos)) != std::string::npos) {
        size_t close = s.find(kDelimiter, pos + kDelimiterSize);
        if (close == std::string::npos) {
            out = text;
            return true;
        }
        while (!inside.empty() && inside.back().end <= pos) inside.pop_back();
        auto macro = macros.find(VqbString(s.substr(pos + kDelimiterSize, close - pos - kDelimiterSize)));
        if (macro == macros.end()) {
            pos = close + kDelimiterSize;
            continue;
        }
        for (const Inserted& in : inside) {
            if (in.key->equals(macro->first, false)) {
                error = reposMessage(1687, macro->first.asCstr());
                return false;
            }
        }
        const std::string& value = macro->second.str();
        const size_t refEnd = close + kDelimiterSize;
        if (++replacements > REPOS_MACRO_MAX_REPLACEMENTS ||
            s.size() - (refEnd - pos) + value.size() > REPOS_MACRO_MAX_TEXT) {
            error = reposMessage(1688, static_cast<unsigned>(REPOS_MACRO_MAX_TEXT), REPOS_MACRO_MAX_REPLACEMENTS);
            return false;
        }
        s.replace(pos, refEnd - pos, value);
        for (Inserted& in : inside) {
            // A reference that ran past the end of a value pulls the whole replacement inside it.
            in.end = in.end >= refEnd ? in.end - (refEnd - pos) + value.size() : pos + value.size();
        }
        inside.push_back({&macro->first, pos + value.size()});
    }
    out = VqbString(std::move(s));
    return true;
}

bool reposIsOwnInfoType(const VqbString& type) {
    for (const char* own : kOwnInfoTypes)
        if (type.equals(VqbString(own), false)) return true;
    return false;
}

ReposTableSpecReader::ReposTableSpecReader() = default;
ReposTableSpecReader::~ReposTableSpecReader() = default;

bool ReposTableSpecReader::fail(int line, const VqbString& text) {
    error_ = text;
    reposLog(logger_, 5, kSource, line, "%s", error_.asCstr());
    return false;
}

bool ReposTableSpecReader::openSpecDirectory(const VqbString& directory) {
    logger_ = vqlogGetLogger(REPOS_LOGGER_XML);
    directory_ = directory;
    VqbString error;
    listing_ = vqbDirectoryOpen(directory, 0x40000000, error);
    if (!listing_) {
        error_ = error;
        return false;
    }
    state_ = DirState::Opened;
    return true;
}

bool ReposTableSpecReader::loadSpecDirectory(unsigned* count) {
    if (count) *count = 0;
    switch (state_) {
        case DirState::Closed: return true;
        case DirState::Failed: return false;
        case DirState::Loaded: break;
        case DirState::Opened: {
            // One pass over the listing per open: a second read would merge every table set twice.
            state_ = DirState::Failed;
            static const std::string kSuffix = ".xml";
            try {
                VqbString name;
                while (listing_->next(name)) {
                    const std::string& n = name.str();
                    if (n.size() < kSuffix.size() ||
                        n.compare(n.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
                        continue;
                    VqbString path;
                    vqbConcatPath(path, directory_, name);
                    if (!loadSpecFile(path)) return false;
                }
            } catch (const std::bad_alloc&) {
                return fail(__LINE__, reposMessage(530));
            }
            state_ = DirState::Loaded;
            break;
        }
    }
    if (count) *count = static_cast<unsigned>(specs_.size());
    return true;
}

bool ReposTableSpecReader::loadSpecFile(const VqbString& path) {
    if (logger_ == nullptr) logger_ = vqlogGetLogger(REPOS_LOGGER_XML);
    if (logger_->getLevel() <= 1)
        reposLog(logger_, 1, kSource, __LINE__, "Reading table-create spec file %s", path.asCstr());
    try {
        VqDom dom;
        if (!dom.loadFile(path)) return fail(__LINE__, dom.getErrorMessage());
        VqbString error;
        SpecFileReader reader(specs_, error);
        if (!reader.read(dom.getRoot()))
            return fail(__LINE__, VqbString::format("%s (%s)", error.asCstr(), path.asCstr()));
        return true;
    } catch (const std::bad_alloc&) {
        return fail(__LINE__, reposMessage(530));
    }
}

bool ReposTableSpecReader::getSpec(int index, const ReposTableSetSpec** spec) const {
    if (index < 0 || index >= getSpecCount()) return false;
    if (spec) *spec = &specs_[static_cast<size_t>(index)];
    return true;
}
