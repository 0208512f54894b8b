// Legacy profile result-set files built through the SQLite C API, what each of their tables should
// become in a repository, and raw access to files for checking rows.
#ifndef LEGACY_FILES_H
#define LEGACY_FILES_H

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "repos_callbacks.h"
#include "test_rows.h"

using Value = std::string;  // kNullText: NULL
using Row = std::vector<Value>;

// One column of a legacy table and the destination column it fills.
struct LegacyColumn {
    const char* name;    // null: no file has it, the destination only takes `absent`
    char type;           // 'i' integer, 'r' real, 't' text
    double since;        // older files lack the column
    const char* dest;
    const char* absent;  // the destination's value (as text) when the file lacks it; null: NULL
};

struct LegacyTable {
    const char* name;
    double since;
    double until;  // files from this version on no longer have it
    const char* dest;
    std::vector<LegacyColumn> columns;
    bool has(double version) const { return version >= since && version < until; }
};

inline bool legacyHas(const LegacyColumn& column, double version) { return column.name && version >= column.since; }

// The legacy format's tables as the versions have them: "name since until DEST" and then the columns as
// "name[>DEST]:type[@since][=absent]", DEST being the name in upper case unless given; name "-" for a column no
// file has; "=" alone for an empty text when absent.
inline const std::vector<LegacyTable>& legacyTables() {
    static std::vector<std::string> texts;  // the texts the records point at
    static const std::vector<LegacyTable> tables = [] {
        std::string metrics;
        for (int n = 0; n < 24; ++n) metrics += " met_" + std::to_string(n) + (n == 23 ? ":t@1.4=0" : ":t=0");
        const std::string specs[] = {
            "job 1.4 99 JOB job_id:i ->RPT_ID:i=1 job_date:r job_desc:t",
            "dsn 0 99 DSN dsn_id:i job_id:i@1.4=1 dsn_name:t dsn_conn:t dsn_textfile>DSN_TF:t@1.6=N",
            "key_values 0 1.4 JOBCFG ->JOB_ID:i=1 v_key>JC_KEY:t v_value>JC_VALUE:t",
            "jobcfg 1.4 99 JOBCFG job_id:i jc_key:t jc_value:t",
            "tbl 0 99 TBL dsn_id:i tbl_id:i tbl_schema>TBL_SCH:t tbl_name>TBL_NM:t tbl_filter>TBL_FILT:t "
            "tbl_filter_expr>TBL_FEXP:t tbl_filter_sql>TBL_FSQL:t@1.8= tbl_tot_rows>TBL_TROW:i "
            "tbl_tot_filtered>TBL_TFLT:i tbl_sample_int>TBL_SINT:i@1.1=1",
            "fld 0 99 FLD dsn_id:i tbl_id:i fld_id:i fld_type:t fld_name:t" + metrics,
            "patdist 0 99 PATDST fld_id:i pa_value:t pa_count2:r",
            "ptile 0 99 PTILE fld_id:i pt_interval>PT_INTVL:r pt_value:r",
            "outlier 0 99 OUTLR fld_id:i ou_type:t ou_ordinal>OU_ORDNL:i ou_value:t",
            "pkfk 1.1 99 PKFK fld_id:i pf_fld_id>PF_FLDID:i pf_percent>PF_PCT:r",
            "mcdist 1.1 99 MCDIST fld_id:i mc_value:t mc_count:i mc_id:i fr_val:t",
            "fld_prop 1.1 99 FLDPRP dsn_id:i tbl_id:i fld_id:i pr_name:t pr_value:t",
            "exec_log 1.2 99 EXELOG el_id:i dsn_id:i tbl_id:i el_task:t el_status>EL_STAT:t el_seconds>EL_SECS:i "
            "el_message>EL_MSG:t",
            "tbl_notes 1.4 99 TBLNOT tn_id:i tbl_id:i tn_type:t tn_note:t tn_user:t tn_date:r ncat_id:i@1.8=0",
            "fld_notes 1.4 99 FLDNOT fn_id:i fld_id:i fn_note:t fn_user:t fn_date:r ncat_id:i@1.8=0",
            "alert 1.5 99 ALERT al_id:i job_id:i al_dsn:t al_schema>AL_SCHMA:t al_tbl:t al_fld:t al_filt:t al_desc:t "
            "al_rule:t al_error:t al_textfile>AL_TF:t@1.6=N",
            "alprop 1.5 99 ALPROP al_id:i ap_name:t ap_value:t",
            "tf_info 1.6 99 TFINF tbl_name>TBL_NM:t tf_filename>TF_FN:t tf_delimiter>TF_DLIM:t tf_textqual>TF_TQ:t "
            "tf_skiprows>TF_SROWS:i tf_recwidth>TF_RWID:i tf_maxrows>TF_MROWS:i@1.7=0 tf_truncate>TF_TRUNC:t@1.7=N",
            "tff_info 1.6 99 TFFINF tbl_name>TBL_NM:t tff_fieldname>TFF_FN:t tff_type:t tff_length>TFF_LEN:i "
            "tff_startpos>TFF_SPOS:i tff_ordinal>TFF_ORD:i",
            "note_cat 1.8 99 NOTCAT ncat_id:i ncat_desc>NCAT_DSC:t",
            "redun 1.1 2.0 REDUN2 fld_id:i r_fld_id:i r_left:i r_common>R_CMNLFT:i r_right:i ->R_CMNRGT:i=0",
            "redun2 2.0 99 REDUN2 fld_id:i r_fld_id:i r_left:i r_cmn_left>R_CMNLFT:i r_right:i r_cmn_right>R_CMNRGT:i",
        };
        texts.reserve(2000);  // never reallocated: records point into it
        auto keep = [](std::string text) { return texts.emplace_back(std::move(text)).c_str(); };
        std::vector<LegacyTable> out;
        for (const std::string& spec : specs) {
            std::istringstream in(spec);
            std::string name, dest, column;
            LegacyTable table{};
            in >> name >> table.since >> table.until >> dest;
            table.name = keep(name);
            table.dest = keep(dest);
            while (in >> column) {
                size_t colon = column.find(':'), arrow = column.find('>'), at = column.find('@'),
                       eq = column.find('=');
                std::string source = column.substr(0, std::min(arrow, colon));
                std::string target = arrow < colon ? column.substr(arrow + 1, colon - arrow - 1) : source;
                std::transform(target.begin(), target.end(), target.begin(), ::toupper);
                table.columns.push_back(
                    {source == "-" ? nullptr : keep(source), column[colon + 1],
                     source == "-" ? 99.0 : at == std::string::npos ? 0.0 : std::stod(column.substr(at + 1)),
                     keep(target), eq == std::string::npos ? nullptr : keep(column.substr(eq + 1))});
            }
            out.push_back(table);
        }
        return out;
    }();
    return tables;
}

inline const LegacyTable& legacyTable(const std::string& name) {
    for (const LegacyTable& table : legacyTables())
        if (name == table.name) return table;
    throw std::runtime_error("no legacy table " + name);
}

// The value a synthetic column takes in a row.
inline Value syntheticValue(char type, int row, int column) {
    if (type == 'i')  // beyond 32 bits in the first row, so a narrowed copy shows
        return std::to_string(row == 0 && column == 1 ? 5000000000LL : 10LL * column + row + 1);
    if (type == 'r') return row == 2 ? Value(kNullText) : Value(std::to_string(1.25 * (row + 1) + column));
    if (row == 2 && column % 2 == 1) return kNullText;
    return "it's r" + std::to_string(row) + "c" + std::to_string(column) + " \"\xc3\xa9\"";
}

// A legacy file of a version with every table that version has, each with three synthetic rows
// (64-bit integers, reals, texts with quotes and non-ASCII characters, NULLs), and frequency results.
class LegacyFile {
public:
    LegacyFile(const std::string& path, double version) : path_(path), version_(version), raw_(path, true) {
        raw_.run("CREATE TABLE info (i_type TEXT, i_version REAL)");
        // A row of another kind is not the version.
        raw_.run("INSERT INTO info VALUES ('OTHER', 7), ('PROFILE_RESULTSET', " + std::to_string(version) + ")");
        for (const LegacyTable& table : legacyTables())
            if (table.has(version)) addTable(table);
        if (version_ < 1.9) {
            raw_.run("CREATE TABLE frqdist (fld_id INTEGER, fr_value TEXT, fr_count INTEGER)");
            // Fields interleaved, so a copy that ignores the field shows.
            for (int row = 0; row < 3; ++row)
                for (int field : frequencyFields()) {
                    Row values = frequencyRow(field, row);
                    values.insert(values.begin(), std::to_string(field));
                    raw_.insert("frqdist", {"fld_id", "fr_value", "fr_count"}, values);
                }
        } else {
            for (int field : frequencyFields()) addFrequencyTable("frqdist" + std::to_string(field), field, 3);
        }
    }
    const std::string& path() const { return path_; }
    double version() const { return version_; }
    RawDb& raw() { return raw_; }

    // Field ids given frequency rows, and their rows (value, count).
    static const std::vector<int>& frequencyFields() {
        static const std::vector<int> fields = {3, 17, 2500000};
        return fields;
    }
    static Row frequencyRow(int field, int row) {
        Value value = row == 1 ? Value(kNullText) : Value("val'" + std::to_string(field) + "-" + std::to_string(row));
        return {value, std::to_string(row == 0 ? 6000000000LL + field : row + 1)};
    }
    // A frequency table of the per-field layout (files from 1.9 on).
    void addFrequencyTable(const std::string& name, int field = 0, int rows = 2) {
        raw_.run("CREATE TABLE " + RawDb::quoted(name) + " (fr_value TEXT, fr_count INTEGER)");
        for (int row = 0; row < rows; ++row) raw_.insert(name, {"fr_value", "fr_count"}, frequencyRow(field, row));
    }

private:
    void addTable(const LegacyTable& table) {
        std::vector<std::string> names;
        std::string types, ddl;
        for (const LegacyColumn& column : table.columns) {
            if (!legacyHas(column, version_)) continue;
            ddl += (names.empty() ? "" : ", ") + std::string(column.name) + " " +
                   (column.type == 'i' ? "INTEGER" : column.type == 'r' ? "REAL" : "TEXT");
            names.push_back(column.name);
            types += column.type;
        }
        raw_.run("CREATE TABLE " + std::string(table.name) + " (" + ddl + ")");
        for (int row = 0; row < 3; ++row) {
            Row values;
            for (size_t i = 0; i < names.size(); ++i)
                values.push_back(syntheticValue(types[i], row, static_cast<int>(i)));
            // A table defined by a query has no name.
            if (std::string(table.name) == "tbl" && row == 1) values[3] = std::string();
            raw_.insert(table.name, names, values);
        }
    }

    std::string path_;
    double version_;
    RawDb raw_;
};

// What the destination table should hold after a rebuild from the file: columns (the mapped
// destination columns) and rows, sorted.
struct Expected {
    std::vector<std::string> columns;
    Rows rows;
};
inline Expected expectedRows(LegacyFile& file, const LegacyTable& table) {
    Expected expected;
    std::string select;
    std::vector<int> sourceIndex;  // per destination column: position in the select, or -1
    int selected = 0;
    for (const LegacyColumn& column : table.columns) {
        expected.columns.push_back(column.dest);
        bool has = legacyHas(column, file.version());
        sourceIndex.push_back(has ? selected++ : -1);
        if (has) select += (select.empty() ? "" : ", ") + std::string(column.name);
    }
    for (const Row& source : file.raw().rows("SELECT " + select + " FROM " + table.name)) {
        Row row;
        for (size_t i = 0; i < table.columns.size(); ++i) {
            const char* absent = table.columns[i].absent;
            row.push_back(sourceIndex[i] >= 0 ? source[static_cast<size_t>(sourceIndex[i])]
                                              : Value(absent ? absent : kNullText));
        }
        // Files before 1.8 keep a query table's SQL as its filter expression.
        if (std::string(table.name) == "tbl" && file.version() < 1.8 && (row[3] == kNullText || row[3].empty()))
            std::swap(row[5], row[6]);
        expected.rows.push_back(row);
    }
    std::sort(expected.rows.begin(), expected.rows.end());
    return expected;
}

// The target's rows of the given columns, sorted.
inline Rows targetRows(RawDb& target, const std::string& table, const std::vector<std::string>& columns) {
    std::string select;
    for (const std::string& column : columns) select += (select.empty() ? "" : ", ") + column;
    Rows rows = target.rows("SELECT " + select + " FROM " + RawDb::quoted(table));
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The destination holds exactly the rows of each legacy table.
inline void expectCopied(LegacyFile& file, RawDb& target, const std::vector<const char*>& legacyNames) {
    for (const char* name : legacyNames) {
        SCOPED_TRACE(name);
        Expected expected = expectedRows(file, legacyTable(name));
        EXPECT_EQ(targetRows(target, legacyTable(name).dest, expected.columns), expected.rows);
    }
}

#endif
