// The bulk loader: rows queued in memory and written as arrays of one INSERT.
#include <algorithm>
#include <cctype>
#include <cstring>
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

// Rows wait in memory until a batch is full. A DBMS that takes several rows in one INSERT
// gets them that way (one round trip and one statement per chunk); others get the rows as an
// array of one single-row INSERT.
class BulkLoader : public DacBulkLoader {
public:
    BulkLoader(DacConnection* connection, DacStatement* statement, std::string head, std::string rowMarkers,
               int columns, int batchSize, int rowsPerInsert)
        : connection_(connection), statement_(statement), head_(std::move(head)), rowMarkers_(std::move(rowMarkers)),
          columns_(columns), batch_(batchSize), rowsPerInsert_(rowsPerInsert), row_(columns), given_(columns, false) {}

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
        queue_.push_back(row_);
        clearRow();
        return static_cast<int>(queue_.size()) < batch_ || flush();
    }

    bool flush() override {
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
    VqbString error_;
};

}  // namespace

bool dacBulkInsertText(const std::string& selectText, const char* quote, std::string& head, std::string& rowMarkers,
                       int& columns, std::string& error) {
    Lexer lex(selectText, quote);
    error = "the bulk load text is not of the form SELECT <columns> FROM <table>";
    if (!isWord(lex.next(), "SELECT")) return false;
    std::vector<std::string> cols;
    Token t = lex.next();
    for (;;) {
        if (t.kind != Token::Word && t.kind != Token::Quoted) return false;
        cols.push_back(emit(t, quote));
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
    std::string head, markers, why;
    int columns = 0;
    std::string quote = connection->getIdentifierQuote().str();
    if (!dacBulkInsertText(selectText.str(), quote.c_str(), head, markers, columns, why)) {
        error = VqbString(why);
        return nullptr;
    }
    int batch = batchSize < 1 ? 100 : batchSize;
    int rowsPerInsert = 0;
    if (dialect->multiRowInsert > 0)
        rowsPerInsert = std::max(1, std::min({dialect->multiRowInsert, batch, dialect->maxParameters / columns}));
    DacStatement* statement = rowsPerInsert > 0
                                  ? connection->prepare(VqbString(multiRowInsert(head, markers, rowsPerInsert)))
                                  : connection->prepareBatch(VqbString(head + "(" + markers + ")"));
    if (!statement) {
        error = connection->getErrorText();
        return nullptr;
    }
    try {
        return new BulkLoader(connection, statement, head, markers, columns, batch, rowsPerInsert);
    } catch (const std::bad_alloc&) {
        statement->release();
        error = VqbString("out of memory opening a bulk load");
        return nullptr;
    }
}
