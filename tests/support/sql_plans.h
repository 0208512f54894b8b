// Statement shapes and what their SQLite query plans say, for the plan check: one shape per
// statement whatever ids were written into its text, and the plan lines that read a whole
// catalogue table.
#ifndef SQL_PLANS_H
#define SQL_PLANS_H

#include <map>
#include <set>
#include <string>
#include <vector>

// The statements of a text run as a script, each without its closing semicolon.
std::vector<std::string> splitSqlStatements(const std::string& text);

// The shape of a statement: numbers written into it (ids, suffixes of names such as a field's
// own table, but not the digits of a catalogue table's name) become "#", a list of only values
// and parameters becomes "(?, ...)", comments go, white space is one blank. Quoted texts stay as
// written.
std::string normaliseSql(const std::string& text);

// True for statements with a query plan of their own (SELECT, INSERT, UPDATE, DELETE, WITH, ...);
// false for DDL, transaction control and pragmas.
bool hasQueryPlan(const std::string& text);

// The upper-cased names of every table of the built-in catalogue.
std::set<std::string> catalogueTableNames();

// Upper-cased alias -> upper-cased table, for each table of tables that the statement names with
// an alias ("RULE r", "RULE AS r").
std::map<std::string, std::string> tableAliases(const std::string& sql, const std::set<std::string>& tables);

enum class PlanFinding { None, TableScan, AutomaticIndex };

struct PlanVerdict {
    PlanFinding finding = PlanFinding::None;
    std::string table;  // the table scanned, upper-cased
};

// One line of EXPLAIN QUERY PLAN (its detail column) of sql: a scan of one of tables (by its name
// or an alias; a full index scan counts), an automatic index, or neither (searches, scans of
// subqueries, views of WITH, constant rows).
PlanVerdict classifyPlanLine(const std::string& detail, const std::string& sql, const std::set<std::string>& tables);

#endif
