// Connection texts, password masking and the small pieces both drivers use.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "dacimpl.h"

namespace {

struct Segment {
    size_t begin = 0;       // of the key
    size_t valueBegin = 0;  // of the value text as written (braces included)
    size_t end = 0;         // of the value (before ';')
    bool hasValue = false;
    bool unterminated = false;  // an opening brace without its closing one
    bool trailing = false;      // text after a closing brace
    std::string key;
    std::string value;
};

std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Splits a connection text; never fails, marks what is malformed.
std::vector<Segment> splitText(const std::string& t) {
    std::vector<Segment> out;
    size_t i = 0;
    const size_t n = t.size();
    while (i < n) {
        Segment seg;
        seg.begin = i;
        size_t k = i;
        while (k < n && t[k] != '=' && t[k] != ';') ++k;
        seg.key = trimmed(t.substr(i, k - i));
        if (k >= n || t[k] == ';') {
            seg.valueBegin = seg.end = k;
            out.push_back(seg);
            i = k + 1;
            continue;
        }
        seg.hasValue = true;
        size_t v = k + 1;
        while (v < n && (t[v] == ' ' || t[v] == '\t')) ++v;
        seg.valueBegin = v;
        if (v < n && t[v] == '{') {
            size_t p = v + 1;
            std::string value;
            bool closed = false;
            while (p < n) {
                if (t[p] == '}') {
                    if (p + 1 < n && t[p + 1] == '}') {
                        value += '}';
                        p += 2;
                        continue;
                    }
                    closed = true;
                    ++p;
                    break;
                }
                value += t[p++];
            }
            seg.value = value;
            if (!closed) {
                seg.unterminated = true;
                seg.end = n;
                out.push_back(seg);
                break;
            }
            size_t q = p;
            while (q < n && t[q] != ';') {
                if (!std::isspace(static_cast<unsigned char>(t[q]))) seg.trailing = true;
                ++q;
            }
            seg.end = q;
            out.push_back(seg);
            i = q + 1;
            continue;
        }
        size_t q = v;
        while (q < n && t[q] != ';') ++q;
        seg.value = trimmed(t.substr(v, q - v));
        seg.end = q;
        out.push_back(seg);
        i = q + 1;
    }
    return out;
}

bool needsBraces(const std::string& value) {
    if (value.empty()) return false;
    if (value.find_first_of(";{}") != std::string::npos) return true;
    return std::isspace(static_cast<unsigned char>(value.front())) ||
           std::isspace(static_cast<unsigned char>(value.back()));
}

}  // namespace

bool dacKeyIs(const std::string& key, const char* name) {
    size_t n = std::strlen(name);
    if (key.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(key[i])) != std::toupper(static_cast<unsigned char>(name[i])))
            return false;
    }
    return true;
}

bool dacIsPasswordKey(const std::string& key) { return dacKeyIs(key, "PWD") || dacKeyIs(key, "PASSWORD"); }

bool dacParseInt(const std::string& text, int& out) {
    std::string t = trimmed(text);
    if (t.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(t.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
    out = static_cast<int>(v);
    return true;
}

VqbString dacMaskConnectionText(const VqbString& text) {
    if (text.isNull()) return text;
    const std::string& t = text.str();
    std::string out;
    size_t copied = 0;
    // Parts without '=' right after a password are taken for the rest of a password that
    // holds ';' without braces.
    bool afterPassword = false;
    for (const Segment& seg : splitText(t)) {
        if (seg.hasValue) afterPassword = dacIsPasswordKey(seg.key);
        if (!afterPassword || (!seg.hasValue && seg.key.empty())) continue;
        size_t from = seg.hasValue ? seg.valueBegin : seg.begin;
        out.append(t, copied, from - copied);
        out += "***";
        copied = seg.end;
    }
    out.append(t, copied, std::string::npos);
    return VqbString(out);
}

bool DacConnText::parse(const std::string& text, std::string& error) {
    items_.clear();
    bool afterPassword = false;
    for (const Segment& seg : splitText(text)) {
        if (!seg.hasValue) {
            if (seg.key.empty()) continue;
            // Right after a password the part may be the rest of it, written without braces: not quoted.
            if (afterPassword)
                error = "a part of the connection text after its password has no '=' (a value holding ';' is "
                        "written in braces)";
            else
                error = "the part '" + seg.key +
                        "' of the connection text has no '='; a file repository is opened with "
                        "openFileRepository, or through the connector with VQXTYPE=SQLITE;FILE=...";
            return false;
        }
        afterPassword = dacIsPasswordKey(seg.key);
        if (seg.key.empty()) {
            error = "a part of the connection text has no key";
            return false;
        }
        if (seg.unterminated) {
            error = "the value of key " + seg.key + " lacks its closing '}'";
            return false;
        }
        if (seg.trailing) {
            error = "the braced value of key " + seg.key + " is followed by other text";
            return false;
        }
        items_.emplace_back(seg.key, seg.value);
    }
    return true;
}

bool DacConnText::has(const char* key) const {
    for (const auto& kv : items_)
        if (dacKeyIs(kv.first, key)) return true;
    return false;
}

std::string DacConnText::get(const char* key) const {
    for (const auto& kv : items_)
        if (dacKeyIs(kv.first, key)) return kv.second;
    return std::string();
}

void DacConnText::set(const char* key, const std::string& value) {
    for (auto& kv : items_) {
        if (dacKeyIs(kv.first, key)) {
            kv.second = value;
            return;
        }
    }
    items_.emplace_back(key, value);
}

void DacConnText::remove(const char* key) {
    items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const auto& kv) { return dacKeyIs(kv.first, key); }),
                 items_.end());
}

void DacConnText::removePrefix(const char* prefix) {
    size_t n = std::strlen(prefix);
    items_.erase(std::remove_if(items_.begin(), items_.end(),
                                [&](const auto& kv) {
                                    return kv.first.size() >= n && dacKeyIs(kv.first.substr(0, n), prefix);
                                }),
                 items_.end());
}

std::string DacConnText::toString() const {
    std::string out;
    for (const auto& kv : items_) {
        out += kv.first;
        out += '=';
        if (needsBraces(kv.second)) {
            out += '{';
            for (char c : kv.second) {
                out += c;
                if (c == '}') out += '}';
            }
            out += '}';
        } else {
            out += kv.second;
        }
        out += ';';
    }
    return out;
}

std::vector<std::string> DacConnText::secrets() const {
    std::vector<std::string> out;
    for (const auto& kv : items_)
        if (dacIsPasswordKey(kv.first) && !kv.second.empty()) out.push_back(kv.second);
    return out;
}

DacSecrets::DacSecrets(std::vector<std::string> values) : values_(std::move(values)) {
    // Longest first, so a password that contains another is replaced whole.
    std::sort(values_.begin(), values_.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

VqbString DacSecrets::scrub(const VqbString& text) const {
    VqbString masked = dacMaskConnectionText(text);
    std::string s = masked.str();
    for (const std::string& secret : values_) {
        // Very short values would blot out ordinary words; the key=value form is masked above.
        if (secret.size() < 3) continue;
        size_t pos = 0;
        while ((pos = s.find(secret, pos)) != std::string::npos) {
            s.replace(pos, secret.size(), "***");
            pos += 3;
        }
    }
    return VqbString(s);
}

bool dacReadOptions(const DacConnText& text, DacOptions& options, std::string& error) {
    struct Key {
        const char* name;
        int DacOptions::*field;
    };
    static const Key keys[] = {{"VQXKIND", &DacOptions::kindOverride}, {"VQXMODE", &DacOptions::modeOverride}};
    for (const Key& k : keys) {
        if (!text.has(k.name)) continue;
        int v = 0;
        if (!dacParseInt(text.get(k.name), v) || v < 0) {
            error = std::string("the value of ") + k.name + " is not a whole number of 0 or more";
            return false;
        }
        options.*(k.field) = v;
    }
    return true;
}

int dacTypeCodeFromSqlType(int sqlType, int decimalDigits) {
    // ODBC SQL type codes; the ODBC headers are kept out of this file.
    struct Map {
        int sqlType;
        int code;
    };
    static const Map map[] = {
        {1, 4},   {12, 4}, {-1, 4}, {-8, 4}, {-9, 4}, {-10, 4},  // char, varchar, long, wide
        {4, 2},   {5, 2},  {-5, 2}, {-6, 2},                     // integer, smallint, bigint, tinyint
        {-7, 1},  {16, 1},                                       // bit, boolean
        {6, 3},   {7, 3},  {8, 3},                               // float, real, double
        {9, 5},   {10, 5}, {11, 5}, {91, 5}, {92, 5}, {93, 5},   // dates and times
    };
    if (sqlType == 2 || sqlType == 3) return decimalDigits == 0 ? 2 : 3;  // numeric, decimal
    for (const Map& m : map)
        if (m.sqlType == sqlType) return m.code;
    return 4;
}

void dacTypeFromDeclared(const std::string& declared, int& typeCode, int& size) {
    std::string up;
    for (char c : declared) up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    size = 0;
    size_t open = up.find('(');
    if (open != std::string::npos) {
        int n = 0;
        size_t close = up.find_first_of(",)", open + 1);
        if (close != std::string::npos && dacParseInt(up.substr(open + 1, close - open - 1), n) && n > 0) size = n;
    }
    // SQLite's affinity rules, in their order, with our boolean and date types first.
    struct Rule {
        const char* fragment;
        int code;
    };
    static const Rule rules[] = {{"BOOL", 1}, {"DATE", 5}, {"TIME", 5}, {"INT", 2},  {"CHAR", 4},
                                 {"CLOB", 4}, {"TEXT", 4}, {"REAL", 3}, {"FLOA", 3}, {"DOUB", 3}};
    for (const Rule& r : rules) {
        if (up.find(r.fragment) != std::string::npos) {
            typeCode = r.code;
            if (typeCode != 4 && typeCode != 1) size = 0;
            return;
        }
    }
    typeCode = up.empty() ? 4 : 3;
    if (typeCode != 4) size = 0;
}

const char* const dacIndexStatisticsNames[13] = {
    "TABLE_CAT",   "TABLE_SCHEM",      "TABLE_NAME",  "NON_UNIQUE",  "INDEX_QUALIFIER", "INDEX_NAME",      "TYPE",
    "ORDINAL_POSITION", "COLUMN_NAME", "ASC_OR_DESC", "CARDINALITY", "PAGES",           "FILTER_CONDITION"};

int DacMemoryCursor::fetch() {
    if (next_ >= rows_.size()) {
        onRow_ = false;
        return DAC_FETCH_END;
    }
    ++next_;
    onRow_ = true;
    return DAC_FETCH_ROW;
}

VqbDatavar DacMemoryCursor::getValue(int column) {
    if (!onRow_ || column < 0) return VqbDatavar();
    const auto& row = rows_[next_ - 1];
    if (static_cast<size_t>(column) >= row.size()) return VqbDatavar();
    return row[column];
}

VqbString DacMemoryCursor::getColumnName(int column) {
    if (column < 0 || static_cast<size_t>(column) >= names_.size()) return VqbString("");
    return VqbString(names_[column]);
}

std::string dacRewriteKind14(const std::string& sql) {
    // The clauses that kind's DDL adds, and what SQLite makes of them.
    struct Rule {
        const char* clause;
        bool withParens;  // the clause is followed by a parenthesised list
    };
    static const Rule rules[] = {
        {" GENERATED BY DEFAULT AS IDENTITY", true},
        {" PRIMARY INDEX", true},
        {" CASESPECIFIC", false},
    };
    std::string s = sql;
    for (const Rule& r : rules) {
        size_t pos;
        while ((pos = s.find(r.clause)) != std::string::npos) {
            size_t end = pos + std::strlen(r.clause);
            if (r.withParens) {
                size_t p = end;
                while (p < s.size() && s[p] == ' ') ++p;
                if (p < s.size() && s[p] == '(') {
                    int depth = 0;
                    for (; p < s.size(); ++p) {
                        if (s[p] == '(') ++depth;
                        if (s[p] == ')' && --depth == 0) {
                            ++p;
                            break;
                        }
                    }
                    end = p;
                }
            }
            s.erase(pos, end - pos);
        }
    }
    return s;
}

bool DacRowValues::set(int row, int index, int paramCount, const VqbDatavar& value, std::string& error) {
    // Guards against a wild row number allocating without bound.
    static const int maxRows = 1 << 20;
    if (index < 0 || index >= paramCount) {
        error = "parameter " + std::to_string(index) + " is out of range: the statement has " +
                std::to_string(paramCount) + " parameters";
        return false;
    }
    if (row < 0 || row >= maxRows) {
        error = "row " + std::to_string(row) + " is out of range";
        return false;
    }
    if (static_cast<size_t>(row) >= values_.size()) values_.resize(row + 1);
    auto& r = values_[row];
    if (r.size() < static_cast<size_t>(paramCount)) r.resize(paramCount);
    r[index] = value;
    if (row + 1 > rows_) rows_ = row + 1;
    return true;
}

const VqbDatavar& DacRowValues::get(int row, int index) const {
    static const VqbDatavar null{};
    if (row < 0 || static_cast<size_t>(row) >= values_.size()) return null;
    const auto& r = values_[row];
    if (index < 0 || static_cast<size_t>(index) >= r.size()) return null;
    return r[index];
}

void DacRowValues::afterExecute() {
    if (values_.size() > 1) values_.resize(1);
    rows_ = 0;
}
