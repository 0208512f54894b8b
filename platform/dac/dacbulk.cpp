// The bulk loader: rows queued in memory and written as arrays of one INSERT.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>

#include "dacimpl.h"

namespace {

struct Token {
    enum Kind { Word, Quoted, Comma, Dot, End, Bad } kind;
    std::string text;  // the identifier (unquoted)
};

class Lexer {
public:
    Lexer(const std::string& s, const char* quote) : s_(s), quote_(quote && *quote ? quote[0] : '\0') {}

    Token next() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
        if (pos_ >= s_.size()) return {Token::End, ""};
        char c = s_[pos_];
        if (c == ',') {
            ++pos_;
            return {Token::Comma, ""};
        }
        if (c == '.') {
            ++pos_;
            return {Token::Dot, ""};
        }
        if (quote_ && c == quote_) {
            std::string id;
            ++pos_;
            while (pos_ < s_.size()) {
                if (s_[pos_] == quote_) {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == quote_) {
                        id += quote_;
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    if (id.empty()) return {Token::Bad, ""};
                    return {Token::Quoted, id};
                }
                id += s_[pos_++];
            }
            return {Token::Bad, ""};
        }
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t b = pos_;
            while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_')) ++pos_;
            return {Token::Word, s_.substr(b, pos_ - b)};
        }
        return {Token::Bad, std::string(1, c)};
    }

private:
    const std::string& s_;
    char quote_;
    size_t pos_ = 0;
};

std::string multiRowInsert(const std::string& head, const std::string& rowMarkers, size_t rows) {
    std::string sql = head;
    for (size_t r = 0; r < rows; ++r) sql += (r ? ", (" : "(") + rowMarkers + ")";
    return sql;
}

bool isWord(const Token& t, const char* word) { return t.kind == Token::Word && dacKeyIs(t.text, word); }

std::string emit(const Token& t, const char* quote) {
    return t.kind == Token::Quoted ? vqbQuoteIdentifier(t.text, quote) : t.text;
}

// One element of an array literal: a quoted text with '"' and '\' escaped, NULL for null.
void appendArrayText(std::string& out, const char* text, size_t size) {
    out += '"';
    for (const char* c = text; c < text + size; ++c) {
        if (*c == '"' || *c == '\\') out += '\\';
        out += *c;
    }
    out += '"';
}

void appendArrayElement(std::string& out, const VqbDatavar& value) {
    char number[32];
    switch (value.getType()) {
        case VQB_TYPE_NULL:
            out += "NULL";
            return;
        case VQB_TYPE_INT:
            out.append(number, static_cast<size_t>(std::snprintf(number, sizeof number, "%lld",
                                                                 static_cast<long long>(value.asInt64()))));
            return;
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE: {
            const double d = value.asDouble();
            if (std::isnan(d))
                out += "NaN";
            else if (std::isinf(d))
                out += d > 0 ? "Infinity" : "-Infinity";
            else
                out.append(number, static_cast<size_t>(std::snprintf(number, sizeof number, "%.17g", d)));
            return;
        }
        case VQB_TYPE_STRING:
            appendArrayText(out, value.textData(), value.textSize());
            return;
        default: {
            const VqbString text = value.asString();
            appendArrayText(out, text.asCstr(), text.cStrSize());
        }
    }
}

// The server's type of each column (in names' order), for the casts of the column arrays.
bool serverColumnTypes(DacConnection* connection, const std::string& table, const std::vector<std::string>& names,
                       std::vector<std::string>& types, VqbString& error) {
    DacStatement* s = connection->prepare(
        VqbString("SELECT attname, format_type(atttypid, atttypmod) FROM pg_catalog.pg_attribute WHERE attrelid = "
                  "CAST(CAST(? AS text) AS regclass) AND attnum > 0 AND NOT attisdropped"));
    DacCursor* rows = s && s->bindValue(0, VqbDatavar(table)) ? s->openCursor() : nullptr;
    if (!rows) error = s ? s->getErrorText() : connection->getErrorText();
    if (s) s->release();
    if (!rows) return false;
    std::map<std::string, std::string> byName;
    while (rows->fetch() == DAC_FETCH_ROW)
        byName[rows->getValue(0).asString().str()] = rows->getValue(1).asString().str();
    rows->close();
    for (const std::string& name : names) {
        auto found = byName.find(name);
        if (found == byName.end()) {
            error = VqbString("the bulk load names a column the table lacks: " + name);
            return false;
        }
        types.push_back(found->second);
    }
    return true;
}

// Rows wait in memory until a batch is full. A DBMS that takes several rows in one INSERT
// gets them that way (one round trip and one statement per chunk); others get the rows as an
// array of one single-row INSERT. PostgreSQL takes a batch as one array parameter per column that
// the server unnests into rows: one statement per batch, no marker per value.
class BulkLoader : public DacBulkLoader {
public:
    BulkLoader(DacConnection* connection, DacStatement* statement, std::string head, std::string rowMarkers,
               int columns, int batchSize, int rowsPerInsert, bool columnArrays = false)
        : connection_(connection), statement_(statement), head_(std::move(head)), rowMarkers_(std::move(rowMarkers)),
          columns_(columns), batch_(batchSize), rowsPerInsert_(rowsPerInsert), row_(columns), given_(columns, false),
          arrays_(columnArrays ? static_cast<size_t>(columns) : 0) {}

    int getColumnCount() override { return columns_; }

    bool setValue(int column, const VqbDatavar& value) override {
        if (column < 0 || column >= columns_) {
            error_ = VqbString::format("column %d is out of range: the load has %d columns", column, columns_);
            return false;
        }
        row_[column] = value;
        given_[column] = true;
        return true;
    }

    bool addRow() override {
        int given = 0;
        for (bool g : given_) given += g ? 1 : 0;
        if (given != columns_) {
            error_ = VqbString::format("the row has %d of %d values; it was not added", given, columns_);
            clearRow();
            return false;
        }
        if (arrays_.empty()) {
            queue_.push_back(row_);
        } else {
            for (size_t i = 0; i < arrays_.size(); ++i) {
                arrays_[i] += arrayRows_ ? ',' : '{';
                appendArrayElement(arrays_[i], row_[i]);
            }
            ++arrayRows_;
        }
        clearRow();
        return pending() < batch_ || flush();
    }

    bool flush() override {
        if (!arrays_.empty()) return sendArrays();
        std::vector<std::vector<VqbDatavar>> rows;
        rows.swap(queue_);
        for (size_t first = 0; first < rows.size();) {
            size_t count = rows.size() - first;
            if (rowsPerInsert_ > 0 && count > static_cast<size_t>(rowsPerInsert_)) count = rowsPerInsert_;
            if (!write(rows, first, count)) return false;
            first += count;
        }
        return true;
    }

    void close() override {
        statement_->release();
        if (tail_) tail_->release();
        delete this;
    }

    VqbString getErrorText() override { return error_; }

private:
    int pending() const { return arrays_.empty() ? static_cast<int>(queue_.size()) : arrayRows_; }

    bool sendArrays() {
        if (arrayRows_ == 0) return true;
        arrayRows_ = 0;
        bool ok = true;
        for (size_t i = 0; i < arrays_.size(); ++i) {
            arrays_[i] += '}';
            ok = ok && statement_->bindValue(static_cast<int>(i), VqbDatavar(arrays_[i]));
            arrays_[i].clear();
        }
        if (ok && statement_->execute(nullptr)) return true;
        error_ = statement_->getErrorText();
        return false;
    }

    void clearRow() {
        for (int i = 0; i < columns_; ++i) {
            row_[i] = VqbDatavar();
            given_[i] = false;
        }
    }

    // A statement for count rows: the prepared one, or one made for a shorter last chunk.
    DacStatement* statementFor(size_t count) {
        if (rowsPerInsert_ <= 0 || count == static_cast<size_t>(rowsPerInsert_)) return statement_;
        if (tail_ && tailRows_ == count) return tail_;
        if (tail_) tail_->release();
        tail_ = connection_->prepare(VqbString(multiRowInsert(head_, rowMarkers_, count)));
        tailRows_ = tail_ ? count : 0;
        if (!tail_) error_ = connection_->getErrorText();
        return tail_;
    }

    bool write(const std::vector<std::vector<VqbDatavar>>& rows, size_t first, size_t count) {
        DacStatement* s = statementFor(count);
        if (!s) return false;
        for (size_t r = 0; r < count; ++r) {
            for (int i = 0; i < columns_; ++i) {
                bool set = rowsPerInsert_ > 0 ? s->setValue(0, static_cast<int>(r) * columns_ + i, rows[first + r][i])
                                              : s->setValue(static_cast<int>(r), i, rows[first + r][i]);
                if (!set) {
                    error_ = s->getErrorText();
                    return false;
                }
            }
        }
        if (!s->execute(nullptr)) {
            error_ = s->getErrorText();
            return false;
        }
        return true;
    }

    DacConnection* connection_;
    DacStatement* statement_;
    DacStatement* tail_ = nullptr;
    size_t tailRows_ = 0;
    std::string head_;
    std::string rowMarkers_;
    int columns_;
    int batch_;
    int rowsPerInsert_;
    std::vector<VqbDatavar> row_;
    std::vector<bool> given_;
    std::vector<std::vector<VqbDatavar>> queue_;
    // The array form: the batch so far as one array literal per column.
    std::vector<std::string> arrays_;
    int arrayRows_ = 0;
    VqbString error_;
};

}  // namespace

bool dacBulkInsertText(const std::string& selectText, const char* quote, std::string& head, std::string& rowMarkers,
                       int& columns, std::string& error, std::string* tableOut, std::vector<std::string>* names) {
    Lexer lex(selectText, quote);
    error = "the bulk load text is not of the form SELECT <columns> FROM <table>";
    if (!isWord(lex.next(), "SELECT")) return false;
    std::vector<std::string> cols;
    Token t = lex.next();
    for (;;) {
        if (t.kind != Token::Word && t.kind != Token::Quoted) return false;
        cols.push_back(emit(t, quote));
        if (names) {
            std::string name = t.text;
            if (t.kind == Token::Word)
                std::transform(name.begin(), name.end(), name.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            names->push_back(name);
        }
        t = lex.next();
        if (t.kind != Token::Comma) break;
        t = lex.next();
    }
    if (!isWord(t, "FROM")) return false;
    std::string table;
    t = lex.next();
    for (;;) {
        if (t.kind != Token::Word && t.kind != Token::Quoted) return false;
        table += emit(t, quote);
        t = lex.next();
        if (t.kind != Token::Dot) break;
        table += ".";
        t = lex.next();
    }
    if (t.kind != Token::End) return false;
    if (tableOut) *tableOut = table;
    head = "INSERT INTO " + table + " (";
    rowMarkers.clear();
    for (size_t i = 0; i < cols.size(); ++i) {
        head += (i ? ", " : "") + cols[i];
        rowMarkers += i ? ", ?" : "?";
    }
    head += ") VALUES ";
    columns = static_cast<int>(cols.size());
    error.clear();
    return true;
}

DacBulkLoader* dacOpenBulkLoader(DacConnection* connection, const VqbString& selectText, int batchSize,
                                 const DacDialect* dialect, VqbString& error) {
    std::string head, markers, why, table;
    std::vector<std::string> names;
    int columns = 0;
    std::string quote = connection->getIdentifierQuote().str();
    if (!dacBulkInsertText(selectText.str(), quote.c_str(), head, markers, columns, why, &table, &names)) {
        error = VqbString(why);
        return nullptr;
    }
    int batch = batchSize < 1 ? 100 : batchSize;
    std::string sql;
    int rowsPerInsert = 0;
    if (dialect->columnArrays) {
        std::vector<std::string> types;
        if (!serverColumnTypes(connection, table, names, types, error)) return nullptr;
        std::string list, arrays;
        for (size_t i = 0; i < names.size(); ++i) {
            list += (i ? ", " : "") + vqbQuoteIdentifier(names[i], quote.c_str());
            arrays += (i ? ", CAST(? AS " : "CAST(? AS ") + types[i] + "[])";
        }
        sql = "INSERT INTO " + table + " (" + list + ") SELECT * FROM unnest(" + arrays + ")";
    } else if (dialect->multiRowInsert > 0) {
        rowsPerInsert = std::max(1, std::min({dialect->multiRowInsert, batch, dialect->maxParameters / columns}));
        sql = multiRowInsert(head, markers, static_cast<size_t>(rowsPerInsert));
    }
    DacStatement* statement = !sql.empty() ? connection->prepare(VqbString(sql))
                                           : connection->prepareBatch(VqbString(head + "(" + markers + ")"));
    if (!statement) {
        error = connection->getErrorText();
        return nullptr;
    }
    try {
        return new BulkLoader(connection, statement, head, markers, columns, batch, rowsPerInsert,
                              dialect->columnArrays);
    } catch (const std::bad_alloc&) {
        statement->release();
        error = VqbString("out of memory opening a bulk load");
        return nullptr;
    }
}
