#include "vqresmgr.h"

#include <algorithm>
#include <initializer_list>
#include <new>
#include <string>
#include <vector>

namespace {

const char kSeparator = '|';
const char kEscape = '^';

// Keys that name who connects, not what is connected to; never kept in an identity.
const char* const kCredentialKeys[] = {"UID", "USER", "USERNAME", "USER ID", "PWD", "PASSWORD", "PASSWD"};
// Keys that name the data source, in order of preference.
const char* const kDataSourceKeys[] = {"DSN", "DATABASE", "DBQ", "FILE"};

std::string trim(const std::string& s) {
    const char* blanks = " \t\r\n\f\v";
    size_t b = s.find_first_not_of(blanks);
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(blanks) - b + 1);
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

std::string joinIdentity(const char* kind, std::initializer_list<const std::string*> fields) {
    std::string out(kind);
    for (const std::string* f : fields) {
        out += kSeparator;
        for (char c : *f) {
            if (c == kSeparator || c == kEscape) out += kEscape;
            out += c;
        }
    }
    return out;
}

// The fields after the kind word; false when the kind or the number of fields differs or an escape
// is malformed.
bool splitIdentity(const std::string& identity, const char* kind, size_t fieldCount, std::vector<std::string>& fields) {
    const std::string prefix = std::string(kind) + kSeparator;
    if (identity.compare(0, prefix.size(), prefix) != 0) return false;
    fields.assign(1, std::string());
    for (size_t i = prefix.size(); i < identity.size(); ++i) {
        char c = identity[i];
        if (c == kEscape) {
            if (i + 1 >= identity.size()) return false;
            char next = identity[++i];
            if (next != kEscape && next != kSeparator) return false;
            fields.back() += next;
        } else if (c == kSeparator) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields.size() == fieldCount;
}

struct ConnectionPair {
    std::string key, value;
};

// Reads "KEY=value;KEY={value;with;separators}" ("}}" stands for '}' inside braces). False when the
// text is not of that form.
bool parseConnection(const std::string& text, std::vector<ConnectionPair>& pairs) {
    pairs.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        size_t end = text.find_first_of(";=", i);
        if (end == std::string::npos || text[end] == ';') {
            // Only an empty segment may lack '='.
            std::string segment = trim(text.substr(i, end == std::string::npos ? std::string::npos : end - i));
            if (!segment.empty()) return false;
            if (end == std::string::npos) break;
            i = end + 1;
            continue;
        }
        ConnectionPair pair;
        pair.key = upper(trim(text.substr(i, end - i)));
        if (pair.key.empty()) return false;
        i = end + 1;
        while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i < n && text[i] == '{') {
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text[i] == '}') {
                    if (i + 1 < n && text[i + 1] == '}') {
                        pair.value += '}';
                        ++i;
                    } else {
                        closed = true;
                        ++i;
                        break;
                    }
                } else {
                    pair.value += text[i];
                }
            }
            if (!closed) return false;
            while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
            if (i < n && text[i] != ';') return false;
            if (i < n) ++i;
        } else {
            size_t semi = text.find(';', i);
            pair.value = trim(text.substr(i, semi == std::string::npos ? std::string::npos : semi - i));
            i = semi == std::string::npos ? n : semi + 1;
        }
        pairs.push_back(std::move(pair));
    }
    return !pairs.empty();
}

bool needsBraces(const std::string& value) {
    if (value.find_first_of(";{}") != std::string::npos) return true;
    return !value.empty() && (trim(value).size() != value.size());
}

bool isCredential(const std::string& key) {
    for (const char* k : kCredentialKeys)
        if (key == k) return true;
    return false;
}

// End of the segment that starts at i: the next ';', except inside a closed "{...}" value. A brace
// that never closes ends at the next ';' too, unless the segment sets a credential: then it runs to
// the end, since the rest may be the password.
size_t segmentEnd(const std::string& text, size_t i, bool& credential) {
    const size_t n = text.size();
    size_t semi = text.find(';', i);
    if (semi == std::string::npos) semi = n;
    size_t eq = text.find('=', i);
    credential = eq < semi && isCredential(upper(trim(text.substr(i, eq - i))));
    if (eq >= semi) return semi;
    size_t v = text.find_first_not_of(" \t", eq + 1);
    if (v == std::string::npos || text[v] != '{') return semi;
    for (size_t k = v + 1; k < n; ++k) {
        if (text[k] != '}') continue;
        if (k + 1 < n && text[k + 1] == '}') {
            ++k;
            continue;
        }
        size_t after = text.find(';', k);
        return after == std::string::npos ? n : after;
    }
    return credential ? n : semi;
}

// A text that is not a well-formed key=value connection still loses every segment that sets a
// credential, so that a malformed connection never carries its password into an identity.
std::string scrubMalformedConnection(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        bool credential = false;
        size_t end = segmentEnd(text, i, credential);
        std::string segment = trim(text.substr(i, end - i));
        if (!segment.empty() && !credential) {
            if (!out.empty()) out += ';';
            out += segment;
        }
        i = end + 1;
    }
    return out;
}

std::string normaliseConnection(const std::string& text) {
    std::vector<ConnectionPair> pairs;
    if (!parseConnection(text, pairs)) return scrubMalformedConnection(text);
    std::vector<ConnectionPair> kept;
    for (auto& p : pairs) {
        if (isCredential(p.key)) continue;
        bool seen = std::any_of(kept.begin(), kept.end(), [&](const ConnectionPair& k) { return k.key == p.key; });
        if (!seen) kept.push_back(std::move(p));
    }
    std::stable_sort(kept.begin(), kept.end(),
                     [](const ConnectionPair& a, const ConnectionPair& b) { return a.key < b.key; });
    std::string out;
    for (const auto& p : kept) {
        if (!out.empty()) out += ';';
        out += p.key;
        out += '=';
        if (needsBraces(p.value)) {
            out += '{';
            for (char c : p.value) {
                out += c;
                if (c == '}') out += '}';
            }
            out += '}';
        } else {
            out += p.value;
        }
    }
    return out;
}

void setAll(std::initializer_list<VqbString*> outs, const std::vector<std::string>& values) {
    size_t i = 0;
    for (VqbString* o : outs) *o = VqbString(i < values.size() ? values[i++] : std::string());
}

class VqResourceManagerImpl final : public VqResourceManager {
public:
    void release() override { delete this; }

    bool getObjectIdentity(const VqbString& base, const VqbString& typeName, const VqbString& idText,
                           const VqbString& uuid, VqbString& identity) override {
        return guard({&identity}, [&] {
            if (typeName.isEmpty() || (idText.isEmpty() && uuid.isEmpty())) return false;
            // Callers pass a path or a uuid beside the id: with an id it alone must name the
            // object, or one object would get two identities.
            const std::string none;
            const std::string& rest = idText.isEmpty() ? uuid.str() : none;
            identity = VqbString(joinIdentity("object", {&base.str(), &typeName.str(), &idText.str(), &rest}));
            return true;
        });
    }

    bool getFileIdentity(const VqbString& path, const VqbString& fileName, VqbString& identity) override {
        return guard({&identity}, [&] {
            if (path.isEmpty()) return false;
            identity = VqbString(joinIdentity("file", {&path.str(), &fileName.str()}));
            return true;
        });
    }

    bool parseFileIdentity(const VqbString& identity, VqbString& path, VqbString& fileName) override {
        return guard({&path, &fileName}, [&] {
            std::vector<std::string> f;
            if (!splitIdentity(identity.str(), "file", 2, f) || f[0].empty()) return false;
            setAll({&path, &fileName}, f);
            return true;
        });
    }

    bool getDatabaseIdentity(const VqbString& connection, const VqbString& dataSourceType,
                             VqbString& identity) override {
        return guard({&identity}, [&] {
            const std::string conn = normaliseConnection(connection.str());
            if (conn.empty()) return false;
            const std::string type = upper(trim(dataSourceType.str()));
            identity = VqbString(joinIdentity("database", {&type, &conn}));
            return true;
        });
    }

    bool parseDatabaseIdentity(const VqbString& identity, VqbString& connection,
                               VqbString& dataSourceType) override {
        return guard({&connection, &dataSourceType}, [&] {
            std::vector<std::string> f;
            if (!splitIdentity(identity.str(), "database", 2, f) || f[1].empty()) return false;
            setAll({&dataSourceType, &connection}, f);
            return true;
        });
    }

    bool getTableIdentity(const VqbString& connection, const VqbString& dataSourceType, const VqbString& catalog,
                          const VqbString& schema, const VqbString& table, VqbString& identity) override {
        return guard({&identity}, [&] {
            if (table.isEmpty()) return false;
            const std::string conn = normaliseConnection(connection.str());
            const std::string type = upper(trim(dataSourceType.str()));
            identity =
                VqbString(joinIdentity("table", {&type, &conn, &catalog.str(), &schema.str(), &table.str()}));
            return true;
        });
    }

    bool parseTableIdentity(const VqbString& identity, VqbString& connection, VqbString& dataSourceType,
                            VqbString& catalog, VqbString& schema, VqbString& table) override {
        return guard({&connection, &dataSourceType, &catalog, &schema, &table}, [&] {
            std::vector<std::string> f;
            if (!splitIdentity(identity.str(), "table", 5, f) || f[4].empty()) return false;
            setAll({&dataSourceType, &connection, &catalog, &schema, &table}, f);
            return true;
        });
    }

    bool prepareConnection(const VqbString& connection, const VqbString&) override {
        try {
            return !normaliseConnection(connection.str()).empty();
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    bool getDataSourceName(const VqbString& connection, VqbString& name) override {
        return guard({&name}, [&] {
            std::vector<ConnectionPair> pairs;
            if (!parseConnection(connection.str(), pairs)) return false;
            for (const char* key : kDataSourceKeys)
                for (const auto& p : pairs)
                    if (p.key == key && !p.value.empty()) {
                        name = VqbString(p.value);
                        return true;
                    }
            return false;
        });
    }

private:
    // Runs an operation; on failure (or allocation failure) its out texts are emptied.
    template <class Op>
    static bool guard(std::initializer_list<VqbString*> outs, Op op) {
        bool ok = false;
        try {
            ok = op();
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        if (!ok)
            for (VqbString* o : outs) *o = VqbString("");
        return ok;
    }
};

}  // namespace

VqResourceManager* createVqResourceManager() { return new (std::nothrow) VqResourceManagerImpl(); }
