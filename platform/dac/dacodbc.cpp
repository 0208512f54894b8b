// The ODBC driver of the connector (unixODBC). Texts cross the driver manager as UTF-16 so
// that no driver converts them through the process's locale.
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "dacimpl.h"
#include "vqsqlite.h"

namespace {

using u16 = std::basic_string<SQLWCHAR>;

u16 toWide(const std::string& s) {
    u16 out;
    out.reserve(s.size());
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c >> 5) == 0x6 && i + 1 < n) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c >> 4) == 0xE && i + 2 < n) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c >> 3) == 0x1E && i + 3 < n) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) | (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            len = 4;
        }
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                len = k;
                break;
            }
        }
        i += len;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += static_cast<SQLWCHAR>(0xD800 + (cp >> 10));
            out += static_cast<SQLWCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<SQLWCHAR>(cp > 0xFFFF ? 0xFFFD : cp);
        }
    }
    return out;
}

std::string toUtf8(const SQLWCHAR* w, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = w[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}
std::string toUtf8(const u16& w) { return toUtf8(w.data(), w.size()); }

SQLWCHAR* wptr(u16& w) { return const_cast<SQLWCHAR*>(w.c_str()); }

// One environment for the process, freed with its last connection.
struct Env {
    SQLHENV henv = SQL_NULL_HENV;
    ~Env() {
        if (henv != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, henv);
    }
};
std::mutex envMutex;
std::weak_ptr<Env> sharedEnv;

std::shared_ptr<Env> environment(std::string& error) {
    std::lock_guard<std::mutex> guard(envMutex);
    std::shared_ptr<Env> env = sharedEnv.lock();
    if (env) return env;
    env = std::make_shared<Env>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env->henv)) ||
        !SQL_SUCCEEDED(
            SQLSetEnvAttr(env->henv, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0))) {
        error = "the ODBC driver manager gave no environment";
        return nullptr;
    }
    sharedEnv = env;
    return env;
}

// Calls f(state, text) for each diagnostic record of a handle.
template <class F>
void eachDiagnostic(SQLSMALLINT type, SQLHANDLE handle, F&& f) {
    for (SQLSMALLINT rec = 1; rec < 20; ++rec) {
        SQLWCHAR state[6] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        SQLWCHAR msg[1024];
        SQLRETURN r = SQLGetDiagRecW(type, handle, rec, state, &native, msg, 1024, &len);
        if (!SQL_SUCCEEDED(r)) break;
        f(toUtf8(state, 5), toUtf8(msg, std::min<size_t>(len < 0 ? 0 : len, 1023)));
    }
}

// The diagnostics of a handle as one text; broken is set when the link to the DBMS is lost.
std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle, bool* broken) {
    std::string out;
    eachDiagnostic(type, handle, [&](const std::string& st, std::string text) {
        std::replace(text.begin(), text.end(), '\n', ' ');
        while (!text.empty() && (text.back() == ' ' || text.back() == ';')) text.pop_back();
        if (broken && st.compare(0, 2, "08") == 0) *broken = true;
        if (!out.empty()) out += "; ";
        out += "[" + st + "] " + text;
    });
    return out.empty() ? std::string("the ODBC call failed without a diagnostic") : out;
}

bool hasState(SQLSMALLINT type, SQLHANDLE handle, std::initializer_list<const char*> states) {
    bool found = false;
    eachDiagnostic(type, handle, [&](const std::string& st, const std::string&) {
        for (const char* wanted : states) found = found || st == wanted;
    });
    return found;
}

uint64_t fnv1a64(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

// Options a driver needs so that it behaves as the connector promises, found by the driver's
// library name: the PostgreSQL driver must undo only the failed statement inside a
// transaction, neither the whole transaction nor nothing.
struct DriverFix {
    const char* libraryFragment;
    const char* nameFragment;  // in a DRIVER={...} name
    const char* key;
    const char* value;
};
const DriverFix driverFixes[] = {
    {"psqlodbc", "postgresql", "Protocol", "7.4-2"},
};

bool containsNoCase(const std::string& text, const char* fragment) {
    std::string a = text, b = fragment;
    for (char& c : a) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a.find(b) != std::string::npos;
}

struct DbmsKindByName {
    const char* name;
    int kind;
    DacDialectId dialect;
};
const DbmsKindByName dbmsKinds[] = {
    {"PostgreSQL", DAC_DBMS_POSTGRESQL, DAC_DIALECT_POSTGRESQL},
    {"SQLite", DAC_DBMS_SQLITE, DAC_DIALECT_SQLITE},
};

struct Core {
    std::shared_ptr<Env> env;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    DacSecrets secrets;
    DacOptions options;
    bool inTransaction = false;
    bool broken = false;
    // Facts asked once at connect time.
    std::string dbmsName, driverName, quote, escape;
    int maxIdentifier = -1, maxChar = -1, statementMode = 0;
    int kind = DAC_DBMS_GENERIC;
    DacDialectId dialect = DAC_DIALECT_GENERIC;

    ~Core() {
        if (connected) {
            if (inTransaction) SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
            SQLDisconnect(dbc);
        }
        if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    VqbString error(SQLSMALLINT type, SQLHANDLE handle, const char* what) {
        std::string d = diagnostics(type, handle, &broken);
        return secrets.scrub(VqbString(std::string(what) + ": " + d));
    }
    bool setAutocommit(bool on) {
        return SQL_SUCCEEDED(SQLSetConnectAttrW(
            dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF), 0));
    }
};
using CoreRef = std::shared_ptr<Core>;

struct Stmt {
    CoreRef core;
    SQLHSTMT h = SQL_NULL_HSTMT;
    unsigned long generation = 0;
    ~Stmt() {
        if (h != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, h);
    }
};
using StmtRef = std::shared_ptr<Stmt>;

StmtRef newStmt(const CoreRef& core, VqbString& error) {
    auto s = std::make_shared<Stmt>();
    s->core = core;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, core->dbc, &s->h))) {
        error = core->error(SQL_HANDLE_DBC, core->dbc, "no statement handle");
        s->h = SQL_NULL_HSTMT;
        return nullptr;
    }
    return s;
}

bool ok(SQLRETURN r) { return SQL_SUCCEEDED(r) || r == SQL_NO_DATA; }

// How a result column is read.
enum class Read { Int, Real, Bool, Text, Binary, Numeric };

Read readFor(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
            return Read::Int;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return Read::Numeric;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return Read::Real;
        case SQL_BIT:
            return Read::Bool;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return Read::Binary;
        default:
            return Read::Text;
    }
}

class Cursor : public DacCursor {
public:
    explicit Cursor(StmtRef stmt) : stmt_(std::move(stmt)), generation_(stmt_->generation) {
        SQLSMALLINT n = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(stmt_->h, &n)) || n <= 0) {
            done_ = true;
            return;
        }
        for (SQLSMALLINT i = 1; i <= n; ++i) {
            SQLWCHAR name[512];
            SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!SQL_SUCCEEDED(SQLDescribeColW(stmt_->h, i, name, 512, &nameLen, &type, &size, &digits, &nullable))) {
                nameLen = 0;
                type = SQL_VARCHAR;
            }
            names_.push_back(toUtf8(name, std::min<SQLSMALLINT>(std::max<SQLSMALLINT>(nameLen, 0), 511)));
            reads_.push_back(readFor(type));
        }
    }

    int fetch() override {
        row_.clear();
        if (done_) return DAC_FETCH_END;
        if (stmt_->generation != generation_) {
            error_ = VqbString("the statement of this cursor was run again; its rows are gone");
            return DAC_FETCH_ERROR;
        }
        SQLRETURN r = SQLFetch(stmt_->h);
        if (r == SQL_NO_DATA) {
            finish();
            return DAC_FETCH_END;
        }
        if (!SQL_SUCCEEDED(r)) {
            error_ = stmt_->core->error(SQL_HANDLE_STMT, stmt_->h, "reading a row failed");
            return DAC_FETCH_ERROR;
        }
        try {
            row_.reserve(reads_.size());
            for (size_t i = 0; i < reads_.size(); ++i) {
                VqbDatavar v;
                if (!readColumn(static_cast<SQLUSMALLINT>(i + 1), reads_[i], v)) {
                    row_.clear();
                    return DAC_FETCH_ERROR;
                }
                row_.push_back(std::move(v));
            }
        } catch (const std::bad_alloc&) {
            row_.clear();
            error_ = VqbString("out of memory reading a row");
            return DAC_FETCH_ERROR;
        }
        return DAC_FETCH_ROW;
    }

    int getColumnCount() override { return static_cast<int>(names_.size()); }
    VqbDatavar getValue(int column) override {
        if (column < 0 || static_cast<size_t>(column) >= row_.size()) return VqbDatavar();
        return row_[column];
    }
    VqbString getColumnName(int column) override {
        if (column < 0 || static_cast<size_t>(column) >= names_.size()) return VqbString("");
        return VqbString(names_[column]);
    }
    void close() override {
        if (!done_) finish();
        delete this;
    }
    VqbString getErrorText() override { return error_; }

private:
    void finish() {
        done_ = true;
        if (stmt_->generation == generation_) SQLFreeStmt(stmt_->h, SQL_CLOSE);
    }

    // Texts are read in pieces until the driver has none left, so none is cut short.
    bool readColumn(SQLUSMALLINT col, Read how, VqbDatavar& out) {
        SQLLEN ind = 0;
        SQLRETURN r;
        switch (how) {
            case Read::Int:
            case Read::Bool: {
                SQLBIGINT v = 0;
                r = SQLGetData(stmt_->h, col, SQL_C_SBIGINT, &v, 0, &ind);
                if (!SQL_SUCCEEDED(r)) return failed();
                if (ind == SQL_NULL_DATA) return true;
                out = how == Read::Bool ? VqbDatavar::fromBool(v != 0) : VqbDatavar(static_cast<long long>(v));
                return true;
            }
            case Read::Real: {
                double v = 0;
                r = SQLGetData(stmt_->h, col, SQL_C_DOUBLE, &v, 0, &ind);
                if (!SQL_SUCCEEDED(r)) return failed();
                if (ind != SQL_NULL_DATA) out = VqbDatavar(v);
                return true;
            }
            case Read::Binary: {
                std::string bytes;
                char buf[8192];
                for (;;) {
                    r = SQLGetData(stmt_->h, col, SQL_C_BINARY, buf, sizeof buf, &ind);
                    if (r == SQL_NO_DATA) break;
                    if (!SQL_SUCCEEDED(r)) return failed();
                    if (ind == SQL_NULL_DATA) return true;
                    size_t got = (ind == SQL_NO_TOTAL || ind > static_cast<SQLLEN>(sizeof buf)) ? sizeof buf : ind;
                    bytes.append(buf, got);
                    if (r == SQL_SUCCESS) break;
                }
                out = VqbDatavar(VqbString(bytes.data(), bytes.size()));
                return true;
            }
            case Read::Numeric: {
                // Read exactly as text: whole numbers stay integers (a SUM of integers is
                // a NUMERIC on some DBMSs), the rest become reals.
                char buf[128];
                r = SQLGetData(stmt_->h, col, SQL_C_CHAR, buf, sizeof buf, &ind);
                if (!SQL_SUCCEEDED(r)) return failed();
                if (ind == SQL_NULL_DATA) return true;
                char* end = nullptr;
                errno = 0;
                long long whole = std::strtoll(buf, &end, 10);
                if (errno == 0 && end != buf && *end == '\0') out = VqbDatavar(whole);
                else out = VqbDatavar(std::strtod(buf, nullptr));
                return true;
            }
            case Read::Text: {
                u16 text;
                SQLWCHAR buf[4096];
                const SQLLEN bufBytes = sizeof buf;
                const size_t room = 4096 - 1;  // the driver ends each piece with a zero
                for (;;) {
                    r = SQLGetData(stmt_->h, col, SQL_C_WCHAR, buf, bufBytes, &ind);
                    if (r == SQL_NO_DATA) break;
                    if (!SQL_SUCCEEDED(r)) return failed();
                    if (ind == SQL_NULL_DATA) return true;
                    size_t units =
                        (ind == SQL_NO_TOTAL || ind / static_cast<SQLLEN>(sizeof(SQLWCHAR)) > static_cast<SQLLEN>(room))
                            ? room
                            : static_cast<size_t>(ind) / sizeof(SQLWCHAR);
                    text.append(buf, units);
                    if (r == SQL_SUCCESS) break;
                }
                out = VqbDatavar(toUtf8(text));
                return true;
            }
        }
        return true;
    }
    bool failed() {
        error_ = stmt_->core->error(SQL_HANDLE_STMT, stmt_->h, "reading a value failed");
        return false;
    }

    StmtRef stmt_;
    unsigned long generation_;
    bool done_ = false;
    std::vector<std::string> names_;
    std::vector<Read> reads_;
    std::vector<VqbDatavar> row_;
    VqbString error_;
};

// Buffers of one parameter for all rows of an execution (bound column-wise).
struct ParamBuffer {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 1;
    SQLLEN width = 0;  // bytes per row for texts
    std::vector<SQLBIGINT> ints;
    std::vector<double> reals;
    std::vector<SQLWCHAR> texts;
    std::vector<SQLLEN> ind;
};

// The type all rows of a parameter are sent as: a value's own type wins; texts win over
// numbers, reals over integers; a parameter that is null in every row takes its declared type.
int commonType(const DacRowValues& values, int first, int count, int index, int declared) {
    int t = VQB_TYPE_NULL;
    for (int r = first; r < first + count; ++r) {
        int vt = values.get(r, index).getType();
        if (vt == VQB_TYPE_NULL) continue;
        if (vt == VQB_TYPE_BOOL) vt = VQB_TYPE_INT;
        if (vt == VQB_TYPE_DATE) vt = VQB_TYPE_REAL;
        if (t == VQB_TYPE_NULL || vt == VQB_TYPE_STRING || (vt == VQB_TYPE_REAL && t == VQB_TYPE_INT)) t = vt;
    }
    if (t != VQB_TYPE_NULL) return t;
    switch (declared) {
        case VQB_TYPE_BOOL:
        case VQB_TYPE_INT:
            return VQB_TYPE_INT;
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return VQB_TYPE_REAL;
        default:
            return VQB_TYPE_STRING;
    }
}

class Statement : public DacStatement {
public:
    Statement(StmtRef stmt, int params) : stmt_(std::move(stmt)), params_(params), declared_(params, 0) {}

    void release() override { delete this; }
    VqbString getErrorText() override { return error_; }

    bool declareParameter(int index, int type, int /*length*/, int /*flags*/) override {
        if (index < 0 || index >= params_ || type < 0 || type > 5) {
            error_ = VqbString::format("parameter %d of type %d cannot be declared: the statement has %d parameters",
                                       index, type, params_);
            return false;
        }
        declared_[index] = type;
        return true;
    }
    bool bindValue(int index, const VqbDatavar& value) override { return setValue(0, index, value); }
    bool setValue(int row, int index, const VqbDatavar& value) override {
        std::string why;
        try {
            if (values_.set(row, index, params_, value, why)) return true;
        } catch (const std::bad_alloc&) {
            why = "out of memory binding a value";
        }
        error_ = VqbString(why);
        return false;
    }

    bool execute(int* rows) override {
        if (rows) *rows = 0;
        try {
            long long changed = 0;
            int n = values_.rowCount();
            bool done = n > 1 ? runArray(n, changed) : runRows(0, 1, changed);
            values_.afterExecute();
            if (done && rows) *rows = static_cast<int>(std::min<long long>(changed, 0x7fffffff));
            return done;
        } catch (const std::bad_alloc&) {
            values_.afterExecute();
            error_ = VqbString("out of memory running the statement");
            return false;
        }
    }

    DacCursor* openCursor() override {
        try {
            if (values_.rowCount() > 1) {
                error_ = VqbString("a query takes one row of values");
                values_.afterExecute();
                return nullptr;
            }
            bool done = start(0, 1) && ok(check(SQLExecute(stmt_->h), "the query failed"));
            values_.afterExecute();
            if (!done) return nullptr;
            return new Cursor(stmt_);
        } catch (const std::bad_alloc&) {
            values_.afterExecute();
            error_ = VqbString("out of memory running the query");
            return nullptr;
        }
    }

private:
    SQLRETURN check(SQLRETURN r, const char* what) {
        if (!ok(r)) error_ = stmt_->core->error(SQL_HANDLE_STMT, stmt_->h, what);
        return r;
    }

    // Closes an earlier result, binds rows [first, first+count) and sets the array size.
    bool start(int first, int count) {
        SQLHSTMT h = stmt_->h;
        ++stmt_->generation;
        SQLFreeStmt(h, SQL_CLOSE);
        SQLFreeStmt(h, SQL_RESET_PARAMS);
        buffers_.assign(params_, ParamBuffer());
        for (int i = 0; i < params_; ++i) fill(buffers_[i], i, first, count);
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE,
                                          reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0)) ||
            !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE,
                                          reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(count)), 0))) {
            error_ = stmt_->core->error(SQL_HANDLE_STMT, h, "the driver takes no arrays of rows");
            arraysRefused_ = count > 1;
            return false;
        }
        statuses_.assign(count, SQL_PARAM_UNUSED);
        SQLSetStmtAttr(h, SQL_ATTR_PARAM_STATUS_PTR, statuses_.data(), 0);
        for (int i = 0; i < params_; ++i) {
            ParamBuffer& b = buffers_[i];
            SQLPOINTER data = b.cType == SQL_C_SBIGINT ? static_cast<SQLPOINTER>(b.ints.data())
                              : b.cType == SQL_C_DOUBLE ? static_cast<SQLPOINTER>(b.reals.data())
                                                        : static_cast<SQLPOINTER>(b.texts.data());
            SQLRETURN r = SQLBindParameter(h, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, b.cType, b.sqlType,
                                           b.columnSize, 0, data, b.width, b.ind.data());
            if (!SQL_SUCCEEDED(r)) {
                error_ = stmt_->core->error(SQL_HANDLE_STMT, h,
                                            VqbString::format("binding parameter %d failed", i).asCstr());
                return false;
            }
        }
        return true;
    }

    void fill(ParamBuffer& b, int index, int first, int count) {
        int type = commonType(values_, first, count, index, declared_[index]);
        b.ind.assign(count, 0);
        if (type == VQB_TYPE_INT || type == VQB_TYPE_REAL) {
            bool isInt = type == VQB_TYPE_INT;
            b.cType = isInt ? SQL_C_SBIGINT : SQL_C_DOUBLE;
            b.sqlType = isInt ? SQL_BIGINT : SQL_DOUBLE;
            b.columnSize = isInt ? 19 : 15;
            if (isInt) b.ints.assign(count, 0);
            else b.reals.assign(count, 0.0);
            for (int r = 0; r < count; ++r) {
                const VqbDatavar& v = values_.get(first + r, index);
                if (v.isNull()) b.ind[r] = SQL_NULL_DATA;
                else if (isInt) b.ints[r] = v.asInt64();
                else b.reals[r] = v.asDouble();
            }
            return;
        }
        std::vector<u16> texts(count);
        size_t longest = 0;
        for (int r = 0; r < count; ++r) {
            const VqbDatavar& v = values_.get(first + r, index);
            if (v.isNull()) continue;
            texts[r] = toWide(v.asString().str());
            longest = std::max(longest, texts[r].size());
        }
        b.cType = SQL_C_WCHAR;
        b.sqlType = longest > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        b.columnSize = std::max<size_t>(longest, 1);
        size_t unitsPerRow = longest + 1;
        b.width = static_cast<SQLLEN>(unitsPerRow * sizeof(SQLWCHAR));
        b.texts.assign(unitsPerRow * count, 0);
        for (int r = 0; r < count; ++r) {
            if (values_.get(first + r, index).isNull()) {
                b.ind[r] = SQL_NULL_DATA;
                continue;
            }
            std::copy(texts[r].begin(), texts[r].end(), b.texts.begin() + r * unitsPerRow);
            b.ind[r] = static_cast<SQLLEN>(texts[r].size() * sizeof(SQLWCHAR));
        }
    }

    // Runs rows [first, first+count) as one execution and sums the rows changed.
    bool runRows(int first, int count, long long& changed) {
        if (!start(first, count)) return false;
        SQLHSTMT h = stmt_->h;
        SQLRETURN r = check(SQLExecute(h), "the statement failed");
        if (!ok(r)) return false;
        for (SQLUSMALLINT s : statuses_) {
            if (count > 1 && s == SQL_PARAM_ERROR) {
                error_ = stmt_->core->error(SQL_HANDLE_STMT, h, "a row of the statement failed");
                SQLFreeStmt(h, SQL_CLOSE);
                return false;
            }
        }
        // Drivers give an array's count per row, one result after the other.
        while (r != SQL_NO_DATA) {
            SQLLEN n = -1;
            if (SQL_SUCCEEDED(SQLRowCount(h, &n)) && n > 0) changed += n;
            r = SQLMoreResults(h);
            if (!ok(r)) {
                error_ = stmt_->core->error(SQL_HANDLE_STMT, h, "the statement failed");
                SQLFreeStmt(h, SQL_CLOSE);
                return false;
            }
        }
        SQLFreeStmt(h, SQL_CLOSE);
        return true;
    }

    // An array is one unit: outside a transaction of the caller it gets one of its own.
    bool runArray(int n, long long& changed) {
        Core& core = *stmt_->core;
        bool own = !core.inTransaction;
        if (own && !core.setAutocommit(false)) {
            error_ = core.error(SQL_HANDLE_DBC, core.dbc, "starting the rows failed");
            return false;
        }
        arraysRefused_ = false;
        bool done = runRows(0, n, changed);
        if (!done && arraysRefused_) {
            // One row at a time for drivers without arrays.
            done = true;
            changed = 0;
            for (int r = 0; r < n && done; ++r) done = runRows(r, 1, changed);
        }
        if (own) {
            if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, core.dbc, done ? SQL_COMMIT : SQL_ROLLBACK)) && done) {
                error_ = core.error(SQL_HANDLE_DBC, core.dbc, "committing the rows failed");
                SQLEndTran(SQL_HANDLE_DBC, core.dbc, SQL_ROLLBACK);
                done = false;
            }
            core.setAutocommit(true);
        }
        return done;
    }

    StmtRef stmt_;
    int params_;
    std::vector<int> declared_;
    DacRowValues values_;
    std::vector<ParamBuffer> buffers_;
    std::vector<SQLUSMALLINT> statuses_;
    bool arraysRefused_ = false;
    VqbString error_;
};

class Connection : public DacConnection {
public:
    explicit Connection(CoreRef core) : core_(std::move(core)) {}

    void close() override {
        if (core_->inTransaction) {
            SQLEndTran(SQL_HANDLE_DBC, core_->dbc, SQL_ROLLBACK);
            core_->setAutocommit(true);
            core_->inTransaction = false;
        }
        delete this;
    }
    VqbString getErrorText() override { return error_; }
    VqbString getIdentifierQuote() override { return VqbString(core_->quote); }
    int getDbmsKind() override { return core_->options.kindOverride >= 0 ? core_->options.kindOverride : core_->kind; }

    bool getInfo(int id, VqbDatavar& out) override {
        switch (id) {
            case DAC_INFO_DBMS_NAME:
                out = VqbDatavar(core_->dbmsName);
                return true;
            case DAC_INFO_MAX_IDENTIFIER:
                if (core_->maxIdentifier < 0) break;
                out = VqbDatavar(core_->maxIdentifier);
                return true;
            case DAC_INFO_MAX_CHAR_LENGTH:
                if (core_->maxChar < 0) break;
                out = VqbDatavar(core_->maxChar);
                return true;
            case DAC_INFO_STATEMENT_MODE:
                out = VqbDatavar(core_->statementMode);
                return true;
            default:
                break;
        }
        error_ = VqbString::format("information %d is not known for this connection", id);
        return false;
    }

    bool executeDirectImpl(const VqbString& sql, int /*flags*/) {
        StmtRef s = newStmt(core_, error_);
        if (!s) return false;
        u16 text = toWide(sql.str());
        SQLRETURN r = SQLExecDirectW(s->h, wptr(text), SQL_NTS);
        while (ok(r) && r != SQL_NO_DATA) r = SQLMoreResults(s->h);
        if (!ok(r)) {
            error_ = core_->error(SQL_HANDLE_STMT, s->h, "the statement failed");
            return false;
        }
        error_ = VqbString();
        return true;
    }

    DacCursor* openCursorDirectImpl(const VqbString& sql) {
        StmtRef s = newStmt(core_, error_);
        if (!s) return nullptr;
        u16 text = toWide(sql.str());
        SQLRETURN r = SQLExecDirectW(s->h, wptr(text), SQL_NTS);
        if (!ok(r)) {
            error_ = core_->error(SQL_HANDLE_STMT, s->h, "the query failed");
            return nullptr;
        }
        return new Cursor(s);
    }

    DacStatement* prepareImpl(const VqbString& sql) {
        StmtRef s = newStmt(core_, error_);
        if (!s) return nullptr;
        u16 text = toWide(sql.str());
        if (!SQL_SUCCEEDED(SQLPrepareW(s->h, wptr(text), SQL_NTS))) {
            error_ = core_->error(SQL_HANDLE_STMT, s->h, "preparing the statement failed");
            return nullptr;
        }
        SQLSMALLINT params = 0;
        if (!SQL_SUCCEEDED(SQLNumParams(s->h, &params))) params = markerCount(sql.str());
        return new Statement(s, params);
    }
    DacStatement* prepareBatch(const VqbString& sql) override { return prepare(sql); }

    bool executeDirect(const VqbString& sql, int flags) override {
        return dacGuarded<bool>(error_, false, [&] { return executeDirectImpl(sql, flags); });
    }
    DacCursor* openCursorDirect(const VqbString& sql) override {
        return dacGuarded<DacCursor*>(error_, nullptr, [&] { return openCursorDirectImpl(sql); });
    }
    DacStatement* prepare(const VqbString& sql) override {
        return dacGuarded<DacStatement*>(error_, nullptr, [&] { return prepareImpl(sql); });
    }
    DacTable* openTable(const VqbString& table, const VqbString& schema, const VqbString& catalog) override {
        return dacGuarded<DacTable*>(error_, nullptr, [&] { return openTableImpl(table, schema, catalog); });
    }
    DacBulkLoader* openBulkLoader(const VqbString& selectText, int batchSize) override {
        return dacGuarded<DacBulkLoader*>(error_, nullptr, [&] { return openBulkLoaderImpl(selectText, batchSize); });
    }
    DacCursor* openIndexStatistics(int unique, int accuracy, const VqbString& table, const VqbString& schema,
                                   const VqbString& catalog) override {
        return dacGuarded<DacCursor*>(
            error_, nullptr, [&] { return openIndexStatisticsImpl(unique, accuracy, table, schema, catalog); });
    }

    bool beginTransaction() override {
        if (core_->inTransaction) {
            error_ = VqbString("a transaction is already open on this connection");
            return false;
        }
        if (!core_->setAutocommit(false)) {
            error_ = core_->error(SQL_HANDLE_DBC, core_->dbc, "beginning a transaction failed");
            return false;
        }
        core_->inTransaction = true;
        return true;
    }

    bool beginExclusiveTransaction(const VqbString& resource, bool* busy) override {
        if (busy) *busy = false;
        if (!beginTransaction()) return false;
        if (core_->dialect != DAC_DIALECT_POSTGRESQL) return true;
        bool waitedOut = false;
        if (dacGuarded<bool>(error_, false, [&] { return lockResource(resource, waitedOut); })) return true;
        VqbString reason = error_;
        endTransaction(false);
        error_ = reason;
        if (busy) *busy = waitedOut;
        return false;
    }

    // A transaction-scoped advisory lock, so COMMIT and ROLLBACK release it. The server keeps
    // one set of them per database: the key need only tell the repositories of this one apart.
    // lock_timeout bounds the wait (a deadlock the server breaks counts as a wait that ran out)
    // and is put back for the statements that follow.
    bool lockResource(const VqbString& resource, bool& waitedOut) {
        const int wait = std::max(1, sqliteBusyTimeout());
        const long long key = static_cast<long long>(fnv1a64(resource.str()));
        const std::string sql = "SET LOCAL lock_timeout = " + std::to_string(wait) +
                                "; SELECT pg_advisory_xact_lock(" + std::to_string(key) +
                                "); SET LOCAL lock_timeout TO DEFAULT";
        StmtRef s = newStmt(core_, error_);
        if (!s) return false;
        u16 text = toWide(sql);
        SQLRETURN r = SQLExecDirectW(s->h, wptr(text), SQL_NTS);
        while (ok(r) && r != SQL_NO_DATA) r = SQLMoreResults(s->h);
        if (ok(r)) return true;
        waitedOut = hasState(SQL_HANDLE_STMT, s->h, {"55P03", "40P01"});
        error_ = waitedOut ? VqbString::format(
                                 "another connection held the repository's write lock for longer than %d ms", wait)
                           : core_->error(SQL_HANDLE_STMT, s->h, "locking the repository failed");
        return false;
    }

    bool endTransaction(bool commit) override {
        if (!core_->inTransaction) {
            error_ = VqbString("no transaction is open on this connection");
            return false;
        }
        core_->inTransaction = false;
        bool done = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, core_->dbc, commit ? SQL_COMMIT : SQL_ROLLBACK));
        if (!done) {
            error_ = core_->error(SQL_HANDLE_DBC, core_->dbc, commit ? "commit failed" : "rollback failed");
            SQLEndTran(SQL_HANDLE_DBC, core_->dbc, SQL_ROLLBACK);
        }
        if (!core_->setAutocommit(true) && done) {
            error_ = core_->error(SQL_HANDLE_DBC, core_->dbc, "ending the transaction failed");
            done = false;
        }
        return done;
    }
    bool isInTransaction() override { return core_->inTransaction; }
    // A server keeps a failed transaction open until it is ended.
    bool isTransactionLost() override { return false; }

    DacTable* openTableImpl(const VqbString& table, const VqbString& schema, const VqbString& catalog) {
        error_ = VqbString("");
        const DacDialect* dialect = dacDialect(core_->dialect);
        if (table.isEmpty() && schema.isEmpty() && catalog.isEmpty()) return new DacTable(dialect, false);
        StmtRef s = newStmt(core_, error_);
        if (!s) return nullptr;
        u16 cat = toWide(catalog.str()), sch = toWide(pattern(schema.str())), tab = toWide(pattern(table.str()));
        SQLRETURN r = SQLColumnsW(s->h, catalog.isEmpty() ? nullptr : wptr(cat), catalog.isEmpty() ? 0 : SQL_NTS,
                                  schema.isEmpty() ? nullptr : wptr(sch), schema.isEmpty() ? 0 : SQL_NTS, wptr(tab),
                                  SQL_NTS, nullptr, 0);
        if (!SQL_SUCCEEDED(r)) {
            error_ = core_->error(SQL_HANDLE_STMT, s->h, "reading the columns failed");
            return nullptr;
        }
        std::vector<std::vector<VqbDatavar>> rows;
        if (!readAll(s, rows)) return nullptr;
        // Catalogue patterns may still match more than the name (drivers without an escape,
        // several schemas): keep the exact name, else the one differing in case, in one schema.
        std::string name = pickName(rows, 2, table.str());
        if (name.empty()) return nullptr;
        std::string foundSchema;
        bool schemaSet = false;
        auto t = std::unique_ptr<DacTable, void (*)(DacTable*)>(new DacTable(dialect, true),
                                                                [](DacTable* p) { p->release(); });
        t->setName(VqbString(name));
        t->setSchema(schema.isNull() ? VqbString("") : schema);
        for (const auto& row : rows) {
            if (row.size() < 11 || row[2].asString().str() != name) continue;
            std::string rowSchema = row[1].asString().str();
            if (!schemaSet) {
                foundSchema = rowSchema;
                schemaSet = true;
            } else if (rowSchema != foundSchema) {
                continue;
            }
            DacColumn c;
            c.name = row[3].asString();
            int sqlType = static_cast<int>(row[4].asInt64());
            c.typeCode = dacTypeCodeFromSqlType(sqlType, row[8].isNull() ? 0 : static_cast<int>(row[8].asInt64()));
            bool longText = sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR;
            c.size = c.typeCode == 4 && !longText ? static_cast<int>(row[6].asInt64()) : 0;
            c.typeText = row[5].asString();
            if (c.size > 0) c.typeText = VqbString::format("%s(%d)", c.typeText.asCstr(), c.size);
            c.notNull = !row[10].isNull() && row[10].asInt64() == SQL_NO_NULLS;
            t->addCatalogueColumn(c);
        }
        markPrimaryKey(*t, catalog, VqbString(foundSchema), VqbString(name));
        return t.release();
    }

    DacBulkLoader* openBulkLoaderImpl(const VqbString& selectText, int batchSize) {
        return dacOpenBulkLoader(this, selectText, batchSize, dacDialect(core_->dialect), error_);
    }

    DacCursor* openIndexStatisticsImpl(int unique, int accuracy, const VqbString& table, const VqbString& schema,
                                   const VqbString& catalog) {
        error_ = VqbString("");
        StmtRef s = newStmt(core_, error_);
        if (!s) return nullptr;
        u16 cat = toWide(catalog.str()), sch = toWide(schema.str()), tab = toWide(table.str());
        SQLRETURN r =
            SQLStatisticsW(s->h, catalog.isEmpty() ? nullptr : wptr(cat), catalog.isEmpty() ? 0 : SQL_NTS,
                           schema.isEmpty() ? nullptr : wptr(sch), schema.isEmpty() ? 0 : SQL_NTS, wptr(tab), SQL_NTS,
                           unique ? SQL_INDEX_ALL : SQL_INDEX_UNIQUE, accuracy ? SQL_ENSURE : SQL_QUICK);
        if (!SQL_SUCCEEDED(r)) {
            error_ = core_->error(SQL_HANDLE_STMT, s->h, "reading the indexes failed");
            return nullptr;
        }
        return new Cursor(s);
    }

    int getConnectionMode() override {
        return core_->options.modeOverride >= 0 ? core_->options.modeOverride : DAC_MODE_BULK;
    }
    int handOut() override { return ++handedOut_; }

    bool setCatalog(const VqbString& catalog) override {
        u16 text = toWide(catalog.str());
        if (!SQL_SUCCEEDED(SQLSetConnectAttrW(core_->dbc, SQL_ATTR_CURRENT_CATALOG, wptr(text),
                                              static_cast<SQLINTEGER>(text.size() * sizeof(SQLWCHAR))))) {
            error_ = core_->error(SQL_HANDLE_DBC, core_->dbc, "changing the catalog failed");
            return false;
        }
        return true;
    }
    bool isBroken() override { return core_->broken; }

private:
    static int markerCount(const std::string& sql) {
        int n = 0;
        bool quoted = false;
        for (char c : sql) {
            if (c == '\'') quoted = !quoted;
            if (c == '?' && !quoted) ++n;
        }
        return n;
    }

    // Catalogue names are patterns: '_' and '%' stand for themselves only behind the escape.
    std::string pattern(const std::string& name) const {
        const std::string& esc = core_->escape;
        if (esc.empty()) return name;
        std::string out;
        for (char c : name) {
            if (c == '_' || c == '%' || esc.find(c) != std::string::npos) out += esc;
            out += c;
        }
        return out;
    }

    bool readAll(const StmtRef& s, std::vector<std::vector<VqbDatavar>>& rows) {
        Cursor* c = new Cursor(s);
        int f;
        while ((f = c->fetch()) == DAC_FETCH_ROW) {
            std::vector<VqbDatavar> row;
            for (int i = 0; i < c->getColumnCount(); ++i) row.push_back(c->getValue(i));
            rows.push_back(std::move(row));
        }
        if (f == DAC_FETCH_ERROR) error_ = c->getErrorText();
        c->close();
        return f != DAC_FETCH_ERROR;
    }

    static std::string pickName(const std::vector<std::vector<VqbDatavar>>& rows, int column,
                                const std::string& wanted) {
        std::string caseOnly;
        for (const auto& row : rows) {
            if (static_cast<int>(row.size()) <= column) continue;
            VqbString n = row[column].asString();
            if (n.str() == wanted) return wanted;
            if (caseOnly.empty() && n.equals(VqbString(wanted), false)) caseOnly = n.str();
        }
        return caseOnly;
    }

    void markPrimaryKey(DacTable& t, const VqbString& catalog, const VqbString& schema, const VqbString& table) {
        VqbString ignored;
        StmtRef s = newStmt(core_, ignored);
        if (!s) return;
        u16 cat = toWide(catalog.str()), sch = toWide(schema.str()), tab = toWide(table.str());
        if (!SQL_SUCCEEDED(SQLPrimaryKeysW(s->h, catalog.isEmpty() ? nullptr : wptr(cat),
                                           catalog.isEmpty() ? 0 : SQL_NTS, schema.isEmpty() ? nullptr : wptr(sch),
                                           schema.isEmpty() ? 0 : SQL_NTS, wptr(tab), SQL_NTS)))
            return;
        std::vector<std::vector<VqbDatavar>> rows;
        VqbString keep = error_;
        if (!readAll(s, rows)) {
            error_ = keep;
            return;
        }
        for (const auto& row : rows) {
            if (row.size() < 4) continue;
            for (int i = 0; i < t.getColumnCount(); ++i)
                if (t.getColumn(i)->name == row[3].asString()) t.getColumn(i)->primaryKey = true;
        }
    }

    CoreRef core_;
    int handedOut_ = 0;
    VqbString error_;
};

std::string infoText(SQLHDBC dbc, SQLUSMALLINT id) {
    SQLWCHAR buf[256] = {0};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, id, buf, sizeof buf, &len))) return std::string();
    size_t units = std::min<size_t>(len < 0 ? 0 : static_cast<size_t>(len) / sizeof(SQLWCHAR), 255);
    return toUtf8(buf, units);
}

int infoSmall(SQLHDBC dbc, SQLUSMALLINT id) {
    SQLUSMALLINT v = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc, id, &v, sizeof v, nullptr))) return -1;
    return v;
}

// The longest VARCHAR the driver offers, from its type list.
int longestVarchar(const CoreRef& core) {
    VqbString ignored;
    StmtRef s = newStmt(core, ignored);
    if (!s || !SQL_SUCCEEDED(SQLGetTypeInfoW(s->h, SQL_VARCHAR))) return -1;
    int longest = -1;
    while (SQL_SUCCEEDED(SQLFetch(s->h))) {
        SQLINTEGER size = 0;
        SQLLEN ind = 0;
        if (SQL_SUCCEEDED(SQLGetData(s->h, 3, SQL_C_SLONG, &size, 0, &ind)) && ind != SQL_NULL_DATA)
            longest = std::max<int>(longest, size);
    }
    SQLFreeStmt(s->h, SQL_CLOSE);
    return longest;
}

bool connectWith(const CoreRef& core, const std::string& text, VqbString& error) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, core->env->henv, &core->dbc))) {
        core->dbc = SQL_NULL_HDBC;
        error = VqbString("the ODBC driver manager gave no connection handle");
        return false;
    }
    SQLSetConnectAttrW(core->dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(30), 0);
    u16 wide = toWide(text);
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    SQLRETURN r = SQLDriverConnectW(core->dbc, nullptr, wptr(wide), SQL_NTS, out, 1024, &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(r)) {
        error = core->error(SQL_HANDLE_DBC, core->dbc, "connecting failed");
        SQLFreeHandle(SQL_HANDLE_DBC, core->dbc);
        core->dbc = SQL_NULL_HDBC;
        return false;
    }
    core->connected = true;
    return true;
}

void disconnect(const CoreRef& core) {
    if (core->connected) SQLDisconnect(core->dbc);
    if (core->dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, core->dbc);
    core->connected = false;
    core->dbc = SQL_NULL_HDBC;
}

bool applyFixes(DacConnText& text, const std::string& driverLibrary) {
    bool applied = false;
    std::string driverKey = text.get("DRIVER");
    for (const DriverFix& f : driverFixes) {
        bool match = driverLibrary.empty()
                         ? containsNoCase(driverKey, f.libraryFragment) || containsNoCase(driverKey, f.nameFragment)
                         : containsNoCase(driverLibrary, f.libraryFragment);
        if (!match) continue;
        text.set(f.key, f.value);
        applied = true;
    }
    return applied;
}

}  // namespace

DacConnection* dacOdbcConnect(const DacConnText& original, const DacOptions& options, const DacSecrets& secrets,
                              VqbString& error) {
    std::string why;
    auto core = std::make_shared<Core>();
    core->env = environment(why);
    if (!core->env) {
        error = VqbString(why);
        return nullptr;
    }
    core->secrets = secrets;
    core->options = options;
    DacConnText text = original;
    text.removePrefix("VQX");
    bool fixed = applyFixes(text, std::string());
    if (!connectWith(core, text.toString(), error)) return nullptr;
    core->driverName = infoText(core->dbc, SQL_DRIVER_NAME);
    if (!fixed && applyFixes(text, core->driverName)) {
        // A data source name hid the driver: connect again with the options it needs.
        disconnect(core);
        if (!connectWith(core, text.toString(), error)) return nullptr;
    }
    core->dbmsName = infoText(core->dbc, SQL_DBMS_NAME);
    core->quote = infoText(core->dbc, SQL_IDENTIFIER_QUOTE_CHAR);
    if (core->quote == " ") core->quote.clear();
    core->escape = infoText(core->dbc, SQL_SEARCH_PATTERN_ESCAPE);
    core->maxIdentifier = infoSmall(core->dbc, SQL_MAX_IDENTIFIER_LEN);
    if (core->maxIdentifier < 0) core->maxIdentifier = infoSmall(core->dbc, SQL_MAX_TABLE_NAME_LEN);
    core->statementMode = infoSmall(core->dbc, SQL_MAX_CONCURRENT_ACTIVITIES) == 1 ? 1 : 0;
    core->maxChar = longestVarchar(core);
    for (const DbmsKindByName& k : dbmsKinds) {
        if (core->dbmsName == k.name) {
            core->kind = k.kind;
            core->dialect = k.dialect;
        }
    }
    try {
        return new Connection(core);
    } catch (const std::bad_alloc&) {
        error = VqbString("out of memory opening a connection");
        return nullptr;
    }
}
