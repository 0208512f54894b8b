#include "sql_plans.h"

#include <sqlite3.h>

#include <cctype>

#include "repos_tables.h"

namespace {

enum class Kind { Space, Word, QuotedName, Text, Number, Parameter, Punct };

struct Token {
    Kind kind;
    std::string text;
};

bool digitAt(const std::string& s, size_t i) { return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); }
bool wordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool wordPart(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// From an opening quote to its closing one; a doubled closing quote stays inside.
size_t quotedEnd(const std::string& s, size_t at, char close) {
    size_t i = at + 1;
    while (i < s.size()) {
        if (s[i] == close) {
            if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return s.size();
}

size_t numberEnd(const std::string& s, size_t i) {
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
        i += 2;
        while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) ++i;
        return i;
    }
    while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            i = j;
            while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        }
    }
    return i;
}

// A minus right after an operator, an opening parenthesis or a comma signs the number after it.
bool signAllowed(const std::vector<Token>& before) {
    for (auto t = before.rbegin(); t != before.rend(); ++t) {
        if (t->kind == Kind::Space) continue;
        return t->kind == Kind::Punct && t->text != ")";
    }
    return true;
}

std::vector<Token> tokens(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    auto add = [&](Kind kind, size_t end) {
        out.push_back({kind, s.substr(i, end - i)});
        i = end;
    };
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            size_t end = i;
            while (end < s.size() && std::isspace(static_cast<unsigned char>(s[end]))) ++end;
            add(Kind::Space, end);
        } else if (s.compare(i, 2, "--") == 0) {
            size_t end = s.find('\n', i);
            add(Kind::Space, end == std::string::npos ? s.size() : end);
        } else if (s.compare(i, 2, "/*") == 0) {
            size_t end = s.find("*/", i + 2);
            add(Kind::Space, end == std::string::npos ? s.size() : end + 2);
        } else if (c == '\'') {
            add(Kind::Text, quotedEnd(s, i, '\''));
        } else if (c == '"' || c == '`' || c == '[') {
            add(Kind::QuotedName, quotedEnd(s, i, c == '[' ? ']' : static_cast<char>(c)));
        } else if (std::isdigit(c) || (c == '.' && digitAt(s, i + 1))) {
            add(Kind::Number, numberEnd(s, i));
        } else if (c == '-' && digitAt(s, i + 1) && signAllowed(out)) {
            add(Kind::Number, numberEnd(s, i + 1));
        } else if (wordStart(c)) {
            size_t end = i + 1;
            while (end < s.size() && wordPart(static_cast<unsigned char>(s[end]))) ++end;
            add(Kind::Word, end);
        } else if (c == '?' || c == ':' || c == '@' || c == '$') {
            size_t end = i + 1;
            while (end < s.size() && wordPart(static_cast<unsigned char>(s[end]))) ++end;
            add(c == ':' && end == i + 1 ? Kind::Punct : Kind::Parameter, end);
        } else {
            add(Kind::Punct, i + 1);
        }
    }
    return out;
}

// Digit runs inside a name ("FRQDST123", "MET_7") are numbers written into it.
std::string numbersOut(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(name[i]))) {
            if (out.empty() || out.back() != '#') out += '#';
            while (i + 1 < name.size() && std::isdigit(static_cast<unsigned char>(name[i + 1]))) ++i;
        } else {
            out += name[i];
        }
    }
    return out;
}

std::vector<Token> meaningful(const std::string& sql) {
    std::vector<Token> out;
    for (Token& t : tokens(sql))
        if (t.kind != Kind::Space) out.push_back(std::move(t));
    return out;
}

std::string unquoted(const Token& t) {
    if (t.kind != Kind::QuotedName || t.text.size() < 2) return t.text;
    std::string inner = t.text.substr(1, t.text.size() - 2);
    const char q = t.text[0];
    if (q == '[') return inner;
    std::string out;
    for (size_t i = 0; i < inner.size(); ++i) {
        out += inner[i];
        if (inner[i] == q && i + 1 < inner.size() && inner[i + 1] == q) ++i;
    }
    return out;
}

bool isName(const Token& t) { return t.kind == Kind::Word || t.kind == Kind::QuotedName; }

// Words that may follow a table name without being its alias.
const std::set<std::string>& notAliases() {
    static const std::set<std::string> words = {
        "AND",    "AS",     "ASC",       "BETWEEN", "COLLATE",   "CROSS",  "DEFAULT", "DESC",    "DO",
        "ELSE",   "END",    "ESCAPE",    "EXCEPT",  "FILTER",    "FROM",   "FULL",    "GLOB",    "GROUP",
        "HAVING", "IN",     "INDEXED",   "INNER",   "INTERSECT", "IS",     "ISNULL",  "JOIN",    "LEFT",
        "LIKE",   "LIMIT",  "MATCH",     "NATURAL", "NOT",       "NOTNULL", "OFFSET", "ON",      "OR",
        "ORDER",  "OUTER",  "OVER",      "REGEXP",  "RETURNING", "RIGHT",  "SELECT",  "SET",     "THEN",
        "UNION",  "USING",  "VALUES",    "WHEN",    "WHERE",     "WINDOW"};
    return words;
}

}  // namespace

std::vector<std::string> splitSqlStatements(const std::string& text) {
    std::vector<std::string> out;
    auto keep = [&](size_t from, size_t to) {
        std::string piece = text.substr(from, to - from);
        size_t a = piece.find_first_not_of(" \t\r\n"), b = piece.find_last_not_of(" \t\r\n");
        if (a != std::string::npos) out.push_back(piece.substr(a, b - a + 1));
    };
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ';' || !sqlite3_complete(text.substr(start, i + 1 - start).c_str())) continue;
        keep(start, i);
        start = i + 1;
    }
    keep(start, text.size());
    return out;
}

std::string normaliseSql(const std::string& text) {
    static const std::set<std::string> catalogue = catalogueTableNames();
    std::vector<Token> in = tokens(text);
    std::vector<Token> shaped;
    for (size_t i = 0; i < in.size(); ++i) {
        Token t = in[i];
        switch (t.kind) {
            case Kind::Space:
                t.text = " ";
                break;
            case Kind::Word:
            case Kind::QuotedName:
                if (!catalogue.count(upper(unquoted(t)))) t.text = numbersOut(t.text);
                break;
            case Kind::Number:
                t.text = "#";
                break;
            case Kind::Parameter:
                if (t.text[0] == '?') t.text = "?";
                break;
            default:
                break;
        }
        if (t.kind == Kind::Space && (shaped.empty() || shaped.back().kind == Kind::Space)) continue;
        shaped.push_back(t);
    }
    while (!shaped.empty() && shaped.back().kind == Kind::Space) shaped.pop_back();

    // "(?, ?, ?)" and "(1, 2)": lists of values only, whatever their length.
    std::string out;
    for (size_t i = 0; i < shaped.size(); ++i) {
        if (shaped[i].text == "(") {
            size_t j = i + 1, items = 0;
            bool valueNext = true;
            for (; j < shaped.size(); ++j) {
                const Token& t = shaped[j];
                if (t.kind == Kind::Space) continue;
                if (valueNext && (t.text == "?" || t.text == "#")) {
                    ++items;
                    valueNext = false;
                } else if (valueNext && t.text == "-") {
                    continue;
                } else if (!valueNext && t.text == ",") {
                    valueNext = true;
                } else {
                    break;
                }
            }
            if (items >= 2 && !valueNext && j < shaped.size() && shaped[j].text == ")") {
                out += "(?, ...)";
                i = j;
                continue;
            }
        }
        out += shaped[i].text;
    }
    return out;
}

bool hasQueryPlan(const std::string& text) {
    static const std::set<std::string> kinds = {"SELECT", "INSERT", "UPDATE", "DELETE", "WITH", "REPLACE", "VALUES"};
    for (const Token& t : meaningful(text)) {
        if (t.text == "(") continue;
        return t.kind == Kind::Word && kinds.count(upper(t.text)) > 0;
    }
    return false;
}

std::set<std::string> catalogueTableNames() {
    std::set<std::string> names;
    for (ReposCatalogId id : {ReposCatalogId::Main, ReposCatalogId::Ncoa, ReposCatalogId::NcoaExtended}) {
        ReposCatalogWalk walk(id);
        while (const ReposColumnDef* first = walk.nextTable()) names.insert(upper(first->table));
    }
    return names;
}

std::map<std::string, std::string> tableAliases(const std::string& sql, const std::set<std::string>& tables) {
    std::map<std::string, std::string> aliases;
    std::vector<Token> t = meaningful(sql);
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (!isName(t[i]) || t[i + 1].text == ".") continue;
        const std::string table = upper(unquoted(t[i]));
        if (!tables.count(table)) continue;
        size_t a = i + 1;
        if (t[a].kind == Kind::Word && upper(t[a].text) == "AS") ++a;
        if (a >= t.size() || !isName(t[a])) continue;
        if (t[a].kind == Kind::Word && notAliases().count(upper(t[a].text))) continue;
        aliases.emplace(upper(unquoted(t[a])), table);
    }
    return aliases;
}

PlanVerdict classifyPlanLine(const std::string& detail, const std::string& sql, const std::set<std::string>& tables) {
    PlanVerdict verdict;
    std::vector<Token> t = meaningful(detail);
    if (t.size() < 2 || t[0].kind != Kind::Word) return verdict;
    const std::string verb = upper(t[0].text);
    if (verb != "SCAN" && verb != "SEARCH") return verdict;
    // The plan writes a table or alias as it was written, unquoted: it may hold blanks.
    std::string name = detail.substr(detail.find(' ') + 1);
    for (const char* tail : {" USING ", " VIRTUAL TABLE"}) name = name.substr(0, name.find(tail));
    name = upper(name);
    std::string table;
    if (tables.count(name)) {
        table = name;
    } else {
        auto aliases = tableAliases(sql, tables);
        auto found = aliases.find(name);
        if (found != aliases.end()) table = found->second;
    }
    for (const Token& word : t) {
        if (word.kind == Kind::Word && upper(word.text) == "AUTOMATIC") {
            verdict.finding = PlanFinding::AutomaticIndex;
            verdict.table = table.empty() ? name : table;
            return verdict;
        }
    }
    // "SCAN CONSTANT ROW", a subquery or a view of WITH: no table of tables is read.
    if (verb == "SCAN" && !table.empty()) {
        verdict.finding = PlanFinding::TableScan;
        verdict.table = table;
    }
    return verdict;
}
