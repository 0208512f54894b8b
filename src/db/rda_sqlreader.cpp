#include "rda_sqlreader.h"

#include <strings.h>

#include <cctype>
#include <cstdint>
#include <cstring>

namespace {

enum class Tok : char { Word, Name, Text, Op, Open, Close, Comma, End, Dot, Marker, Other };

struct Token {
    Tok kind;
    size_t from;
    size_t to;
};

bool wordChar(char c, RDA_SqlDialect dialect) {
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || u >= 0x80 || (c == '$' && dialect == RDA_SqlDialect::Postgres);
}

bool opChar(char c) { return c != '\0' && std::strchr("+-*/<>=~!@#%^&|:", c) != nullptr; }

class Lexer {
public:
    // strict: markers whose values bind by number or name make the statement unreadable, as the
    // reader cannot place their values; otherwise they are tokens like any other.
    Lexer(const VqbString& sql, RDA_SqlDialect dialect, bool strict = true)
        : s_(sql.asCstr()), n_(sql.cStrSize()), dialect_(dialect), strict_(strict) {}

    // Hands each token to emit, in order, until emit answers false. False when the statement
    // cannot be read with certainty; the tokens before that point were handed on.
    template <class Emit>
    bool run(Emit&& emit) {
        bool going = true;
        auto push = [&](Tok kind, size_t from, size_t to) { going = emit(Token{kind, from, to}); };
        size_t i = 0;
        while (going && i < n_) {
            const char c = s_[i];
            const char next = i + 1 < n_ ? s_[i + 1] : '\0';
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
            } else if (c == '-' && next == '-') {
                while (i < n_ && !lineEnd(s_[i])) ++i;
            } else if (c == '/' && next == '*') {
                i = commentEnd(i);
            } else if (c == '\'') {
                const size_t end = quoted(i, '\'', false);
                if (end == 0) return false;
                push(Tok::Text, i, end);
                i = end;
            } else if (c == '"' || (c == '`' && dialect_ == RDA_SqlDialect::Sqlite)) {
                const size_t end = quoted(i, c, false);
                if (end == 0) return false;
                push(Tok::Name, i, end);
                i = end;
            } else if (c == '[' && dialect_ == RDA_SqlDialect::Sqlite) {
                const char* close = static_cast<const char*>(std::memchr(s_ + i, ']', n_ - i));
                if (!close) return false;
                const size_t end = static_cast<size_t>(close - s_) + 1;
                push(Tok::Name, i, end);
                i = end;
            } else if (c == '$' && dialect_ == RDA_SqlDialect::Postgres) {
                const size_t tag = dollarTag(i);
                if (tag == 0) {
                    if (strict_) return false;  // a positional marker
                    push(Tok::Other, i, i + 1);
                    ++i;
                    continue;
                }
                const size_t end = dollarEnd(i, tag);
                if (end == 0) return false;  // a text never closed
                push(Tok::Text, i, end);
                i = end;
            } else if (c == '?') {
                // Numbered markers bind by their number, not by their place.
                if (strict_ && std::isdigit(static_cast<unsigned char>(next))) return false;
                push(Tok::Marker, i, i + 1);
                ++i;
            } else if ((c == ':' || c == '@' || c == '$') && dialect_ == RDA_SqlDialect::Sqlite && strict_ &&
                       wordChar(next, dialect_)) {
                return false;  // named markers
            } else if (wordChar(c, dialect_)) {
                const size_t start = i;
                while (i < n_ && wordChar(s_[i], dialect_)) ++i;
                if (dialect_ == RDA_SqlDialect::Postgres && i - start == 1 && (c == 'E' || c == 'e') && i < n_ &&
                    s_[i] == '\'') {
                    const size_t end = quoted(i, '\'', true);
                    if (end == 0) return false;
                    push(Tok::Text, start, end);
                    i = end;
                } else {
                    push(Tok::Word, start, i);
                }
            } else if (opChar(c)) {
                const size_t start = i;
                while (i < n_ && opChar(s_[i]) && !startsComment(i)) ++i;
                push(Tok::Op, start, i);
            } else {
                Tok kind = Tok::Other;
                if (c == '(') kind = Tok::Open;
                if (c == ')') kind = Tok::Close;
                if (c == ',') kind = Tok::Comma;
                if (c == ';') kind = Tok::End;
                if (c == '.') kind = Tok::Dot;
                push(kind, i, i + 1);
                ++i;
            }
        }
        return true;
    }

private:
    // PostgreSQL also ends a line comment at a carriage return.
    bool lineEnd(char c) const { return c == '\n' || (c == '\r' && dialect_ == RDA_SqlDialect::Postgres); }

    bool startsComment(size_t i) const {
        return i + 1 < n_ && ((s_[i] == '-' && s_[i + 1] == '-') || (s_[i] == '/' && s_[i + 1] == '*'));
    }

    size_t commentEnd(size_t i) const {
        // PostgreSQL nests block comments; the others end at the first "*/".
        int depth = 0;
        while (i < n_) {
            if (i + 1 < n_ && s_[i] == '/' && s_[i + 1] == '*') {
                ++depth;
                i += 2;
                if (dialect_ != RDA_SqlDialect::Postgres && depth > 1) depth = 1;
            } else if (i + 1 < n_ && s_[i] == '*' && s_[i + 1] == '/') {
                i += 2;
                if (--depth == 0) return i;
            } else {
                ++i;
            }
        }
        return n_;
    }

    // The end of the quoted text or name that starts at i; 0 when it never ends. A doubled
    // quote stays inside; with escapes, so does a quote after a backslash.
    size_t quoted(size_t i, char quote, bool escapes) const {
        for (++i; i < n_; ++i) {
            if (escapes && s_[i] == '\\') {
                ++i;
                continue;
            }
            if (s_[i] != quote) continue;
            if (i + 1 < n_ && s_[i + 1] == quote) {
                ++i;
                continue;
            }
            return i + 1;
        }
        return 0;
    }

    // The length of the $tag$ that opens a text at i; 0 when i opens none.
    size_t dollarTag(size_t i) const {
        size_t t = i + 1;
        if (t < n_ && std::isdigit(static_cast<unsigned char>(s_[t]))) return 0;
        while (t < n_ && s_[t] != '$' && wordChar(s_[t], RDA_SqlDialect::Standard)) ++t;
        if (t >= n_ || s_[t] != '$') return 0;
        return t + 1 - i;
    }
    // The end of the $tag$ ... $tag$ text at i; 0 when it never ends.
    size_t dollarEnd(size_t i, size_t tagLength) const {
        for (size_t k = i + tagLength; k + tagLength <= n_; ++k)
            if (s_[k] == '$' && std::memcmp(s_ + k, s_ + i, tagLength) == 0) return k + tagLength;
        return 0;
    }

    const char* s_;
    size_t n_;
    RDA_SqlDialect dialect_;
    bool strict_;
};

// Words that are never a column name.
const char* const kReserved[] = {"AND",      "OR",     "NOT",  "NULL",      "TRUE",  "FALSE",  "CASE",   "WHEN",
                                 "THEN",     "ELSE",   "END",  "SELECT",    "FROM",  "WHERE",  "ON",     "HAVING",
                                 "IS",       "IN",     "LIKE", "BETWEEN",   "EXISTS", "DISTINCT", "ALL", "ANY",
                                 "SOME",     "AS",     "BY",   "SET",       "VALUES", "RETURNING", "CAST", "COLLATE",
                                 "ESCAPE",   "GLOB",   "MATCH", "REGEXP",   "ILIKE", "SIMILAR", "ARRAY", "ROW",
                                 "INTERVAL", "USING",  "WITH", "UNION",     "EXCEPT", "INTERSECT"};
// Words after which a comparison starts with nothing binding tighter before it.
const char* const kBefore[] = {"WHERE", "AND", "OR", "ON", "WHEN", "HAVING", "SELECT", "THEN", "ELSE", "DISTINCT",
                               "RETURNING"};
// Words before which a comparison ends with nothing binding tighter after it.
const char* const kAfter[] = {"AND",    "OR",    "THEN",   "WHEN",  "ELSE",      "END",       "ORDER", "GROUP",
                              "LIMIT",  "OFFSET", "UNION", "EXCEPT", "INTERSECT", "HAVING",   "WINDOW", "RETURNING",
                              "FROM",   "WHERE", "AS",     "JOIN",  "INNER",     "LEFT",      "RIGHT", "FULL",
                              "CROSS",  "NATURAL", "ON",   "DO",    "FOR"};

enum class Role : char { Compared, Stored };

struct Level {
    Role role;
    bool insertSource;        // an INSERT at this level: its SELECT or VALUES gives the stored values
    std::vector<Role> cases;  // the role around each open CASE
};

class Reader {
public:
    Reader(const VqbString& sql, RDA_SqlDialect dialect) : sql_(sql), s_(sql.asCstr()), dialect_(dialect) {}

    RDA_SqlReading read() {
        RDA_SqlReading reading;
        if (!Lexer(sql_, dialect_).run([this](const Token& token) {
                tokens_.push_back(token);
                return true;
            })) {
            reading.sure = false;
            return reading;
        }
        if (!assignRoles(reading)) {
            reading.sure = false;
            reading.slots.clear();
            return reading;
        }
        findComparisons(reading);
        return reading;
    }

private:
    bool is(size_t t, const char* word) const {
        if (t >= tokens_.size() || tokens_[t].kind != Tok::Word) return false;
        const size_t length = tokens_[t].to - tokens_[t].from;
        return std::strlen(word) == length && strncasecmp(s_ + tokens_[t].from, word, length) == 0;
    }
    template <size_t N>
    bool isAny(size_t t, const char* const (&words)[N]) const {
        for (const char* word : words)
            if (is(t, word)) return true;
        return false;
    }
    bool kind(size_t t, Tok k) const { return t < tokens_.size() && tokens_[t].kind == k; }
    bool op(size_t t, const char* text) const {
        if (!kind(t, Tok::Op)) return false;
        const size_t length = tokens_[t].to - tokens_[t].from;
        return std::strlen(text) == length && std::memcmp(s_ + tokens_[t].from, text, length) == 0;
    }

    // Roles of the markers, matching brackets, and which AND belongs to a BETWEEN.
    bool assignRoles(RDA_SqlReading& reading) {
        const size_t n = tokens_.size();
        match_.assign(n, SIZE_MAX);
        slotOf_.assign(n, -1);
        betweenAnd_.assign(n, false);
        std::vector<Level> levels{{Role::Compared, false, {}}};
        std::vector<size_t> opens;
        std::vector<bool> between{false};
        bool first = true;
        for (size_t t = 0; t < n; ++t) {
            Level& level = levels.back();
            switch (tokens_[t].kind) {
                case Tok::Word: {
                    if (is(t, "SELECT")) {
                        level.role = level.insertSource ? Role::Stored : Role::Compared;
                    } else if ((is(t, "INSERT") || (first && is(t, "REPLACE"))) && !kind(t + 1, Tok::Open)) {
                        level.insertSource = true;
                    } else if (is(t, "VALUES")) {
                        level.role = level.insertSource ? Role::Stored : Role::Compared;
                    } else if (is(t, "SET")) {
                        level.role = Role::Stored;
                    } else if (is(t, "WHERE") || is(t, "ON") || is(t, "HAVING") || is(t, "FROM") || is(t, "JOIN") ||
                               is(t, "USING") || is(t, "RETURNING") || is(t, "ORDER") || is(t, "GROUP") ||
                               is(t, "LIMIT") || is(t, "OFFSET") || is(t, "WINDOW")) {
                        level.role = Role::Compared;
                    } else if (is(t, "CASE")) {
                        level.cases.push_back(level.role);
                    } else if (is(t, "WHEN") && !level.cases.empty()) {
                        level.role = Role::Compared;
                    } else if ((is(t, "THEN") || is(t, "ELSE")) && !level.cases.empty()) {
                        level.role = level.cases.back();
                    } else if (is(t, "END") && !level.cases.empty()) {
                        level.role = level.cases.back();
                        level.cases.pop_back();
                    } else if (is(t, "BETWEEN")) {
                        between.back() = true;
                    } else if (is(t, "AND") && between.back()) {
                        between.back() = false;
                        betweenAnd_[t] = true;
                    }
                    first = false;
                    break;
                }
                case Tok::Open: {
                    const Role inherited = level.role;
                    opens.push_back(t);
                    levels.push_back({inherited, false, {}});
                    between.push_back(false);
                    break;
                }
                case Tok::Close:
                    if (opens.empty()) return false;
                    match_[opens.back()] = t;
                    match_[t] = opens.back();
                    opens.pop_back();
                    levels.pop_back();
                    between.pop_back();
                    break;
                case Tok::End:
                    if (levels.size() == 1) {
                        levels.back() = {Role::Compared, false, {}};
                        first = true;
                    }
                    break;
                case Tok::Marker: {
                    RDA_SqlSlot slot;
                    slot.at = tokens_[t].from;
                    slot.compared = level.role == Role::Compared;
                    slotOf_[t] = static_cast<int>(reading.slots.size());
                    reading.slots.push_back(slot);
                    break;
                }
                default:
                    first = false;
                    break;
            }
        }
        return opens.empty();
    }

    bool columnPart(size_t t) const {
        if (kind(t, Tok::Name)) return true;
        if (!kind(t, Tok::Word) || isAny(t, kReserved)) return false;
        return !std::isdigit(static_cast<unsigned char>(s_[tokens_[t].from]));
    }
    // The first token of a (qualified) column name that ends with token last; SIZE_MAX if none.
    size_t columnBack(size_t last) const {
        if (last == SIZE_MAX || !columnPart(last)) return SIZE_MAX;
        size_t start = last;
        while (start >= 2 && kind(start - 1, Tok::Dot) && columnPart(start - 2)) start -= 2;
        return start;
    }
    // The last token of a (qualified) column name that starts with token first; SIZE_MAX if none.
    size_t columnForward(size_t first) const {
        if (!columnPart(first)) return SIZE_MAX;
        size_t end = first;
        while (kind(end + 1, Tok::Dot) && columnPart(end + 2)) end += 2;
        return end;
    }

    // Nothing before token t binds tighter than a comparison (t is the token just before).
    bool openBefore(size_t t) const {
        if (t == SIZE_MAX) return true;
        const Tok k = tokens_[t].kind;
        if (k == Tok::Open || k == Tok::Comma || k == Tok::End) return true;
        if (is(t, "AND")) return !betweenAnd_[t];
        if (is(t, "NOT")) return openBefore(t == 0 ? SIZE_MAX : t - 1);
        return isAny(t, kBefore);
    }
    // Nothing from token t on binds tighter than a comparison (t is the token just after).
    bool openAfter(size_t t) const {
        if (t >= tokens_.size()) return true;
        const Tok k = tokens_[t].kind;
        if (k == Tok::Close || k == Tok::Comma || k == Tok::End) return true;
        if (is(t, "AND")) return !betweenAnd_[t];
        return isAny(t, kAfter);
    }

    struct Operator {
        bool found = false;
        bool negated = false;
        RDA_SqlComparison::Kind kind = RDA_SqlComparison::Kind::In;
        size_t first = 0;  // its tokens
        size_t last = 0;
    };
    // The equality operator whose last token is t (or, forward, whose first token is t).
    Operator operatorAt(size_t t, bool forward) const {
        Operator result;
        if (t == SIZE_MAX || t >= tokens_.size()) return result;
        const bool sqlite = dialect_ == RDA_SqlDialect::Sqlite;
        if (op(t, "=") || (sqlite && op(t, "=="))) {
            result = {true, false, RDA_SqlComparison::Kind::In, t, t};
        } else if (op(t, "<>") || op(t, "!=")) {
            result = {true, true, RDA_SqlComparison::Kind::In, t, t};
        } else if (sqlite && !forward && is(t, "NOT") && t > 0 && is(t - 1, "IS")) {
            result = {true, true, RDA_SqlComparison::Kind::Is, t - 1, t};
        } else if (sqlite && is(t, "IS")) {
            const bool negated = forward && is(t + 1, "NOT");
            result = {true, negated, RDA_SqlComparison::Kind::Is, t, negated ? t + 1 : t};
        }
        return result;
    }

    void addComparison(RDA_SqlReading& reading, const Operator& found, size_t first, size_t last, size_t columnFirst,
                       size_t columnLast, const std::vector<int>& markers) {
        RDA_SqlComparison comparison;
        comparison.kind = found.kind;
        comparison.negated = found.negated;
        comparison.from = tokens_[first].from;
        comparison.to = tokens_[last].to;
        comparison.columnFrom = tokens_[columnFirst].from;
        comparison.columnTo = tokens_[columnLast].to;
        comparison.markers = markers;
        const int index = static_cast<int>(reading.comparisons.size());
        for (int marker : markers) reading.slots[static_cast<size_t>(marker)].comparison = index;
        reading.comparisons.push_back(std::move(comparison));
    }

    void findComparisons(RDA_SqlReading& reading) {
        const size_t n = tokens_.size();
        for (size_t t = 0; t < n; ++t) {
            if (kind(t, Tok::Marker)) {
                const int slot = slotOf_[t];
                if (!reading.slots[static_cast<size_t>(slot)].compared ||
                    reading.slots[static_cast<size_t>(slot)].comparison >= 0)
                    continue;
                // The marker alone, in as many brackets as it likes.
                size_t lo = t, hi = t;
                while (lo > 0 && kind(lo - 1, Tok::Open) && match_[lo - 1] == hi + 1) --lo, ++hi;
                const size_t before = lo == 0 ? SIZE_MAX : lo - 1;
                // column = ?
                Operator found = operatorAt(before, false);
                if (found.found && found.first > 0) {
                    const size_t column = columnBack(found.first - 1);
                    if (column != SIZE_MAX && openBefore(column == 0 ? SIZE_MAX : column - 1) && openAfter(hi + 1)) {
                        addComparison(reading, found, column, hi, column, found.first - 1, {slot});
                        continue;
                    }
                }
                // ? = column
                found = operatorAt(hi + 1, true);
                if (found.found) {
                    const size_t last = columnForward(found.last + 1);
                    if (last != SIZE_MAX && openBefore(before) && openAfter(last + 1))
                        addComparison(reading, found, lo, last, found.last + 1, last, {slot});
                }
            } else if (is(t, "IN") && kind(t + 1, Tok::Open)) {
                inList(reading, t);
            }
        }
    }

    // column [NOT] IN (items), where the items are values and at least one is a lone marker.
    void inList(RDA_SqlReading& reading, size_t in) {
        const size_t open = in + 1, close = match_[open];
        if (close == SIZE_MAX || close == open + 1) return;
        if (is(open + 1, "SELECT") || is(open + 1, "WITH") || is(open + 1, "VALUES")) return;
        const bool negated = in > 0 && is(in - 1, "NOT");
        const size_t columnLast = negated ? (in >= 2 ? in - 2 : SIZE_MAX) : (in >= 1 ? in - 1 : SIZE_MAX);
        const size_t column = columnBack(columnLast);
        if (column == SIZE_MAX || !openBefore(column == 0 ? SIZE_MAX : column - 1) || !openAfter(close + 1)) return;
        std::vector<int> markers;
        std::vector<std::pair<size_t, size_t>> others;
        size_t item = open + 1;
        while (item < close) {
            size_t end = item;
            while (end < close && !kind(end, Tok::Comma)) {
                if (kind(end, Tok::Open)) end = match_[end];
                ++end;
            }
            if (end == item) return;  // an empty item: not a list this reader knows
            if (end == item + 1 && kind(item, Tok::Marker)) {
                const int slot = slotOf_[item];
                if (!reading.slots[static_cast<size_t>(slot)].compared) return;
                markers.push_back(slot);
            } else {
                // Markers deeper in an item would be rewritten inside the list's own rewrite.
                for (size_t k = item; k < end; ++k)
                    if (kind(k, Tok::Marker)) return;
                others.emplace_back(tokens_[item].from, tokens_[end - 1].to);
            }
            item = end + 1;
        }
        if (markers.empty()) return;
        Operator found;
        found.negated = negated;
        addComparison(reading, found, column, close, column, columnLast, markers);
        reading.comparisons.back().others = std::move(others);
    }

    const VqbString& sql_;
    const char* s_;
    RDA_SqlDialect dialect_;
    std::vector<Token> tokens_;
    std::vector<size_t> match_;
    std::vector<bool> betweenAnd_;
    std::vector<int> slotOf_;
};

}  // namespace

RDA_SqlReading RDA_readSql(const VqbString& sql, RDA_SqlDialect dialect) { return Reader(sql, dialect).read(); }

bool RDA_opensWithAny(const VqbString& sql, RDA_SqlDialect dialect, const char* const* words, size_t count) {
    const char* text = sql.asCstr();
    // With one statement, nothing after its first token counts.
    const bool several = std::memchr(text, ';', sql.cStrSize()) != nullptr;
    bool atStart = true;
    bool found = false;
    Lexer(sql, dialect, false).run([&](const Token& token) {
        switch (token.kind) {
            case Tok::End:
                atStart = true;
                return true;
            case Tok::Open:
                return true;
            case Tok::Word:
                if (atStart) {
                    const size_t length = token.to - token.from;
                    for (size_t w = 0; w < count && !found; ++w)
                        found = std::strlen(words[w]) == length && strncasecmp(text + token.from, words[w], length) == 0;
                }
                break;
            default:
                break;
        }
        atStart = false;
        return !found && several;
    });
    return found;
}
