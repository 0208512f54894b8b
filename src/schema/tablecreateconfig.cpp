#include "tablecreateconfig.h"

#include <new>

#include "np_uchar.h"
#include "repos_guard.h"
#include "vqbmessage.h"
#include "vqdom.h"

namespace VqTableCreateNS {

namespace {

const char kRootName[] = "velqorindocument";
const char kDocClass[] = "VqCreateSpec";
const char kDocVersion[] = "1.0";

bool isNamed(const VqDomNode& node, const char* name) { return node.getName().equals(VqbString(name), false); }

// A pattern character: literal code point, or a wildcard.
struct PatternToken {
    enum Kind { Literal, AnyOne, AnyRun } kind;
    uint32_t cp;
};

std::vector<uint32_t> codePoints(const VqbString& text) {
    std::vector<uint32_t> out;
    for (const char* p = text.asCstr(); *p; p += np_uchar_seek(p)) out.push_back(np_uchar_toint(p));
    return out;
}

std::vector<PatternToken> tokenize(const VqbString& pattern) {
    std::vector<PatternToken> out;
    const char* p = pattern.asCstr();
    while (*p) {
        uint32_t cp = np_uchar_toint(p);
        p += np_uchar_seek(p);
        if (cp == '\\' && *p) {
            out.push_back({PatternToken::Literal, np_uchar_toint(p)});
            p += np_uchar_seek(p);
        } else if (cp == '*') {
            out.push_back({PatternToken::AnyRun, 0});
        } else if (cp == '?') {
            out.push_back({PatternToken::AnyOne, 0});
        } else {
            out.push_back({PatternToken::Literal, cp});
        }
    }
    return out;
}

// Replaces the placeholders in one pass, so text brought in by an argument is never expanded
// again. A null index name leaves "%i" as written.
VqbString expandTemplate(const VqbString& text, const VqbString* indexName, const VqbString& table,
                         const VqbString& schema, const VqbString& fValue, const VqbString& cValue) {
    const std::string& in = text.str();
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '%' && i + 1 < in.size()) {
            const VqbString* with = nullptr;
            switch (in[i + 1]) {
                case 'i': with = indexName; break;
                case 't': with = &table; break;
                case 's': with = &schema; break;
                case 'f': with = &fValue; break;
                case 'c': with = &cValue; break;
                default: break;
            }
            if (with != nullptr) {
                out += with->str();
                ++i;
                continue;
            }
        }
        out += in[i];
    }
    return VqbString(std::move(out));
}

// Reads the parts of one file; every failure sets the error text and answers false.
class SpecParser {
public:
    explicit SpecParser(VqbString& error) : error_(error) {}

    bool fail(VqbString text) {
        error_ = std::move(text);
        return false;
    }
    bool unexpected(const VqDomNode& node) { return fail(reposMessage(1396, node.getName().asCstr())); }

    bool requiredName(const VqDomNode& node, const char* element, VqbString& name) {
        name = node.getAttributeValue("name");
        if (name.isEmpty()) return fail(reposMessage(1686, element, "name"));
        name.uppercase();
        return true;
    }

    static int32_t number(const VqDomNode& node) {
        bool error = false;
        int value = node.getAttributeValue("idx").asInt(&error);
        return error ? 0 : value;
    }

    bool readIndexSpec(const VqDomNode& node, VqIndexSpecImpl& spec) {
        VqDomNode first = node.getFirstChild();
        if (first.null()) return fail(reposMessage(1395, "value"));
        if (!isNamed(first, "value")) return unexpected(first);
        spec.addTemplate(number(first), first.getValue());
        if (first.getAttributeValue("idx").isEmpty()) return true;
        for (VqDomNode child = first.getNextSibling(); !child.null(); child = child.getNextSibling())
            spec.addTemplate(number(child), child.getValue());
        return true;
    }

    bool readTableSpec(const VqDomNode& node, VqTableSpecImpl& spec) {
        if (node.getFirstChild().null()) return fail(reposMessage(1395, "value"));
        bool unnumberedSeen = false;
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (isNamed(child, "value")) {
                if (unnumberedSeen) return unexpected(child);
                VqbString idx = child.getAttributeValue("idx");
                if (idx.isEmpty()) unnumberedSeen = true;
                spec.addTemplate(number(child), child.getValue());
            } else if (isNamed(child, "indexspec")) {
                ReposHeld<VqIndexSpecImpl> index(new VqIndexSpecImpl());
                if (!readIndexSpec(child, *index)) return false;
                spec.setIndexSpec(std::move(index));
            } else {
                return unexpected(child);
            }
        }
        return true;
    }

    bool readSchemaSpec(const VqDomNode& node, VqSchemaSpec& spec) {
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "tablespec")) return unexpected(child);
            VqbString name;
            if (!requiredName(child, "tablespec", name)) return false;
            ReposHeld<VqTableSpecImpl> table(new VqTableSpecImpl(name));
            if (!readTableSpec(child, *table)) return false;
            spec.tables.push_back(std::move(table));
        }
        return true;
    }

    bool readDbTypeSpec(const VqDomNode& node, VqDbTypeSpec& spec) {
        for (VqDomNode child = node.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "schemaspec")) return unexpected(child);
            VqSchemaSpec schema;
            if (!requiredName(child, "schemaspec", schema.name)) return false;
            if (!readSchemaSpec(child, schema)) return false;
            spec.schemas.push_back(std::move(schema));
        }
        return true;
    }

private:
    VqbString& error_;
};

// A cursor over a copy of the templates; null when memory runs out.
VqCommandCursor* newCursor(const VqCommandMap& templates) {
    try {
        return new VqCommandCursorImpl(templates);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

bool vqIsValidNameArgument(const VqbString& text) {
    if (text.str() == "**") return false;
    const char* start = text.asCstr();
    for (const char* p = start; *p;) {
        size_t len = np_uchar_seek(p);
        if (*p == '\\') {
            p += len;
            p += np_uchar_seek(p);
            continue;
        }
        if (*p == '*' && p != start && p[len] != '\0') return false;
        p += len;
    }
    return true;
}

bool vqMatchNamePattern(const VqbString& name, const VqbString& pattern) {
    const std::vector<uint32_t> text = codePoints(name);
    const std::vector<PatternToken> pat = tokenize(pattern);
    // Greedy walk that backs up to the last star only: linear in practice, never exponential.
    size_t t = 0, p = 0, starP = SIZE_MAX, starT = 0;
    while (t < text.size()) {
        if (p < pat.size() && pat[p].kind == PatternToken::AnyRun) {
            starP = p++;
            starT = t;
        } else if (p < pat.size() && (pat[p].kind == PatternToken::AnyOne || pat[p].cp == text[t])) {
            ++p;
            ++t;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p].kind == PatternToken::AnyRun) ++p;
    return p == pat.size();
}

void VqCommandCursorImpl::release() { delete this; }

bool VqCommandCursorImpl::next() {
    if (!started_) {
        started_ = true;
        current_ = commands_.begin();
    } else if (current_ != commands_.end()) {
        ++current_;
    }
    return current_ != commands_.end();
}

VqbString VqCommandCursorImpl::getCommand() {
    if (!started_ || current_ == commands_.end()) return VqbString("");
    return current_->second;
}

void VqIndexSpecImpl::release() { delete this; }

VqCommandCursor* VqIndexSpecImpl::getCommands() { return newCursor(templates_); }

void VqTableSpecImpl::release() { delete this; }

VqCommandCursor* VqTableSpecImpl::getCommands() { return newCursor(templates_); }

void VqCreateSpecDocImpl::release() { delete this; }

bool VqCreateSpecDocImpl::loadFile(const VqbString& path) {
    error_ = VqbString("");
    dbTypes_.clear();
    try {
        VqDom dom;
        if (!dom.loadFile(path)) {
            error_ = dom.getErrorMessage();
            return false;
        }
        SpecParser parser(error_);
        VqDomNode root = dom.getRoot();
        if (root.null() || !isNamed(root, kRootName)) return parser.fail(reposMessage(288));
        if (!root.getAttributeValue("class").equals(VqbString(kDocClass), false))
            return parser.fail(reposMessage(1684, kDocClass));
        if (root.getAttributeValue("version") != VqbString(kDocVersion)) return parser.fail(reposMessage(290));
        for (VqDomNode child = root.getFirstChild(); !child.null(); child = child.getNextSibling()) {
            if (!isNamed(child, "dbtype")) return parser.unexpected(child);
            VqDbTypeSpec spec;
            if (!parser.requiredName(child, "dbtype", spec.name)) return false;
            if (!parser.readDbTypeSpec(child, spec)) return false;
            dbTypes_.push_back(std::move(spec));
        }
        return true;
    } catch (const std::bad_alloc&) {
        error_ = reposMessage(530);
        return false;
    }
}

VqTableSpecImpl* VqCreateSpecDocImpl::findTableSpec(const VqbString& dbType, const VqbString& schema,
                                                    const VqbString& table) const {
    VqbString db(dbType), sch(schema), tab(table);
    db.uppercase();
    sch.uppercase();
    tab.uppercase();
    // Only the first match at each level counts, even when it leads nowhere.
    for (const VqDbTypeSpec& d : dbTypes_) {
        if (!vqMatchNamePattern(db, d.name)) continue;
        for (const VqSchemaSpec& s : d.schemas) {
            if (!vqMatchNamePattern(sch, s.name)) continue;
            for (const auto& t : s.tables)
                if (vqMatchNamePattern(tab, t->getName())) return t.get();
            return nullptr;
        }
        return nullptr;
    }
    return nullptr;
}

VqCommandCursor* VqCreateSpecDocImpl::lookup(const VqbString* indexName, const VqbString& table,
                                             const VqbString& schema, const VqbString& cValue,
                                             const VqbString& dbType, const VqbString& fValue) {
    error_ = VqbString("");
    const VqbString* names[] = {indexName, &table, &schema, &cValue, &dbType};
    for (const VqbString* name : names) {
        if (name != nullptr && !vqIsValidNameArgument(*name)) {
            error_ = reposMessage(1685, name->asCstr());
            return nullptr;
        }
    }
    try {
        VqCommandMap commands;
        const VqTableSpecImpl* spec = findTableSpec(dbType, schema, table);
        const VqCommandMap* templates = nullptr;
        if (spec != nullptr) {
            if (indexName == nullptr)
                templates = &spec->templates();
            else if (spec->indexSpec() != nullptr)
                templates = &spec->indexSpec()->templates();
        }
        if (templates != nullptr) {
            int32_t n = 0;
            for (const auto& entry : *templates) {
                VqbString command = expandTemplate(entry.second, indexName, table, schema, fValue, cValue);
                if (!command.isEmpty()) commands.emplace(n++, std::move(command));
            }
        }
        return new VqCommandCursorImpl(std::move(commands));
    } catch (const std::bad_alloc&) {
        error_ = reposMessage(530);
        return nullptr;
    }
}

VqCommandCursor* VqCreateSpecDocImpl::getTableCommands(const VqbString& table, const VqbString& schema,
                                                       const VqbString& cValue, const VqbString& dbType,
                                                       const VqbString& fValue) {
    return lookup(nullptr, table, schema, cValue, dbType, fValue);
}

VqCommandCursor* VqCreateSpecDocImpl::getIndexCommands(const VqbString& indexName, const VqbString& table,
                                                       const VqbString& schema, const VqbString& cValue,
                                                       const VqbString& dbType, const VqbString& fValue) {
    return lookup(&indexName, table, schema, cValue, dbType, fValue);
}

}  // namespace VqTableCreateNS

extern "C" REPOS_EXPORT VqTableCreateNS::VqCreateSpecDoc* getTableCreationSpec() try {
    return new (std::nothrow) VqTableCreateNS::VqCreateSpecDocImpl();
} catch (...) {
    reposLogCaught("tablecreateconfig", __LINE__);
    return nullptr;
}
