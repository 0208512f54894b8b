// The statement reader: finds the "?" markers of a statement outside quotes and comments, tells
// the markers whose value is stored from those whose value is compared, and recognises the
// comparisons of a plain column with a marker that it is sure of, so that a text kept apart as a
// big string can be compared whole there. Anything it is not sure of is left alone.
#ifndef RDA_SQLREADER_H
#define RDA_SQLREADER_H

#include <cstddef>
#include <vector>

#include "vqbstring.h"

// Quoting and comments differ between back ends.
enum class RDA_SqlDialect : char {
    Standard,  // '...' texts, "..." names, -- and /* */ comments
    Sqlite,    // and [...] and `...` names; == and IS compare too
    Postgres,  // and E'...' texts with backslash escapes, $tag$...$tag$ texts, nested comments
};

// One comparison of a plain column name (qualified or quoted) with markers that the reader is
// sure of: "column = ?", "? = column", "column IN (..., ?, ...)" and their negations (on SQLite
// also "==", "IS" and "IS NOT"), anywhere in a statement.
struct RDA_SqlComparison {
    enum class Kind : char { In, Is };
    Kind kind = Kind::In;  // In: "=" is an IN list of one marker
    bool negated = false;  // "<>", "!=", NOT IN, IS NOT
    size_t from = 0;       // the whole comparison's text, [from, to)
    size_t to = 0;
    size_t columnFrom = 0;  // the column's text
    size_t columnTo = 0;
    std::vector<int> markers;  // indexes of its markers, in order
    // In lists: the text of each item that is not a lone marker, copied as it stands.
    std::vector<std::pair<size_t, size_t>> others;
};

struct RDA_SqlSlot {
    size_t at = 0;         // offset of the "?"
    bool compared = true;  // read or compared, never stored: bound as given
    int comparison = -1;   // index of its comparison, -1 where the reader is not sure of one
};

struct RDA_SqlReading {
    // False when the markers cannot be told apart (numbered or named markers, an unended
    // quote): the statement is then run as it stands.
    bool sure = true;
    std::vector<RDA_SqlSlot> slots;
    std::vector<RDA_SqlComparison> comparisons;
};

RDA_SqlReading RDA_readSql(const VqbString& sql, RDA_SqlDialect dialect);

// Whether one of the statements of the text (the first, or one after a ";" outside texts, names
// and comments) opens with one of the words, ignoring case and opening brackets. Comments end
// where the dialect's DBMS ends them; markers of every style are read past. Nothing after a text
// or name that never ends is read: the DBMS refuses the statement that holds it.
bool RDA_opensWithAny(const VqbString& sql, RDA_SqlDialect dialect, const char* const* words, size_t count);

#endif
