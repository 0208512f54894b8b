#include "vqbmessage.h"

#include <cstring>

namespace {

struct MessageDef {
    const char* module;
    unsigned number;
    const char* text;
};

// Our own wording. Arguments are positional printf conversions; %s takes C text.
const MessageDef kMessages[] = {
    {VQB_MOD_REPOS, 3, "No repository data access is available."},
    {VQB_MOD_REPOS, 57, "\"%s\" is not a big-string reference."},
    {VQB_MOD_REPOS, 233, "The index list of the table could not be read."},
    {VQB_MOD_REPOS, 244, "Column \"%s\" does not exist in the table."},
    {VQB_MOD_REPOS, 288, "The document has no root element named \"velqorindocument\"."},
    {VQB_MOD_REPOS, 290, "The document version or the database kind is not supported."},
    {VQB_MOD_REPOS, 292, "The configuration options are not available."},
    {VQB_MOD_REPOS, 482, "A file path could not be built (error %d: %s)."},
    {VQB_MOD_REPOS, 485, "Reading the result of a query failed."},
    {VQB_MOD_REPOS, 530, "Out of memory."},
    {VQB_MOD_REPOS, 678,
     "The field mapping has no such source table or key field, or the table has not exactly one value field."},
    {VQB_MOD_REPOS, 687, "Declaring or binding parameter %d failed: %s"},
    {VQB_MOD_REPOS, 696, "A row of table \"%s\" has no value for its primary-key column \"%s\"."},
    {VQB_MOD_REPOS, 740, "The maximum text length is not set."},
    {VQB_MOD_REPOS, 763, "The result has no columns."},
    {VQB_MOD_REPOS, 1044, "Writing the repository list file \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1049, "The data-access connector could not create a data source."},
    {VQB_MOD_REPOS, 1050, "The database holds no repository; create it before upgrading."},
    {VQB_MOD_REPOS, 1052, "The repository version is not supported by this library."},
    {VQB_MOD_REPOS, 1053, "The query returned no row."},
    {VQB_MOD_REPOS, 1054, "Table \"%s\" does not exist."},
    {VQB_MOD_REPOS, 1055, "Table \"%s\" lacks an expected column."},
    {VQB_MOD_REPOS, 1056, "Column %d of the table should be named \"%s\"."},
    {VQB_MOD_REPOS, 1062, "Unsupported column type."},
    {VQB_MOD_REPOS, 1063, "Creating an index on table \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1065, "A transaction was ended that had not been begun."},
    {VQB_MOD_REPOS, 1066, "Ending the transaction failed after an earlier error (%s): %s"},
    {VQB_MOD_REPOS, 1067, "Ending the transaction failed: %s"},
    {VQB_MOD_REPOS, 1068, "A transaction was ended that had not been begun (earlier error: %s)."},
    {VQB_MOD_REPOS, 1157, "A step of the run deletion refers to an unknown key column."},
    {VQB_MOD_REPOS, 1161, "The operation is not possible on this connection."},
    {VQB_MOD_REPOS, 1167, "The folder does not exist."},
    {VQB_MOD_REPOS, 1198, "A table set of the source repository is missing."},
    {VQB_MOD_REPOS, 1211, "The match definition does not exist."},
    {VQB_MOD_REPOS, 1257, "The folder tree contains a cycle."},
    {VQB_MOD_REPOS, 1284, "Creating the SQLite database failed (%s): %s"},
    {VQB_MOD_REPOS, 1285, "Opening the SQLite database failed (%s): %s"},
    {VQB_MOD_REPOS, 1286, "Reading the columns of a table failed."},
    {VQB_MOD_REPOS, 1287, "Reading the tables of the database failed."},
    {VQB_MOD_REPOS, 1288, "The statement has fewer parameter markers than values."},
    {VQB_MOD_REPOS, 1289, "The legacy result-set file has no readable version: %s"},
    {VQB_MOD_REPOS, 1290, "Table \"%s\" could not be read from the legacy file: %s"},
    {VQB_MOD_REPOS, 1291, "Reading the legacy rows of table \"%s\" failed; none were kept: %s"},
    {VQB_MOD_REPOS, 1292, "Frequency table \"%s\" could not be read from the legacy file: %s"},
    {VQB_MOD_REPOS, 1293, "Reading the rows of legacy table \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1294, "The repository list file \"%s\" cannot be used: %s"},
    {VQB_MOD_REPOS, 1295, "No repository list file is configured."},
    {VQB_MOD_REPOS, 1296, "Too many values in \"%s\" at line %d."},
    {VQB_MOD_REPOS, 1297, "No value in \"%s\" at line %d."},
    {VQB_MOD_REPOS, 1298, "Out of memory while reading the repository list file \"%s\"."},
    {VQB_MOD_REPOS, 1299, "The repository list file \"%s\" could not be read: line %d is malformed."},
    {VQB_MOD_REPOS, 1300, "A line of \"%s\" could not be read (line %d)."},
    {VQB_MOD_REPOS, 1301, "The repository list file \"%s\" could not be opened."},
    {VQB_MOD_REPOS, 1302, "Reading the repository list file \"%s\" failed."},
    {VQB_MOD_REPOS, 1303, "A table prefix must start with a letter."},
    {VQB_MOD_REPOS, 1304, "A repository already exists there."},
    {VQB_MOD_REPOS, 1305, "A repository named \"%s\" is already listed in \"%s\"."},
    {VQB_MOD_REPOS, 1306, "Repository \"%s\" is not configured."},
    {VQB_MOD_REPOS, 1307, "No source repository was given."},
    {VQB_MOD_REPOS, 1308, "No target repository was given."},
    {VQB_MOD_REPOS, 1309, "The target repository's version is not supported."},
    {VQB_MOD_REPOS, 1310, "The source repository's version is not supported."},
    {VQB_MOD_REPOS, 1311, "The copy statement \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1312, "The insert \"%s\" could not be prepared in the target: %s"},
    {VQB_MOD_REPOS, 1313, "A value of an unsupported type cannot be bound."},
    {VQB_MOD_REPOS, 1314, "The repository is up to date; no upgrade is needed."},
    {VQB_MOD_REPOS, 1316, "Updating the repository's data failed."},
    {VQB_MOD_REPOS, 1326, "The %s of a listed repository cannot hold a line break or a zero byte."},
    {VQB_MOD_REPOS, 1327, "\"%s\" cannot name a listed repository: the list file names its default with it."},
    {VQB_MOD_REPOS, 1328, "The repository list file \"%s\" could not be locked through \"%s\": %s"},
    {VQB_MOD_REPOS, 1336, "%s is a SQLite database but not a repository: it has no INFO table naming a repository."},
    {VQB_MOD_REPOS, 1317,
     "A copy into this repository did not finish, so it may hold a mix of its old rows and copied ones. Run the "
     "copy into it again (opened without validation) to complete it."},
    {VQB_MOD_REPOS, 1395, "Element \"%s\" is missing."},
    {VQB_MOD_REPOS, 1396, "Unexpected element or name \"%s\"."},
    {VQB_MOD_REPOS, 1415, "Attribute \"%s\" is missing or invalid."},
    {VQB_MOD_REPOS, 1433, "Field \"%s\" cannot be mapped: the table already has a value field."},
    {VQB_MOD_REPOS, 1509, "The name \"%s\" is used twice in %s."},
    {VQB_MOD_REPOS, 1532, "The field mapping does not exist."},
    {VQB_MOD_REPOS, 1533, "The table prefix is too long for this database's identifiers."},
    {VQB_MOD_REPOS, 1541, "This database is not supported for repositories."},
    {VQB_MOD_REPOS, 1584, "A repository database operation failed; see the log for details."},
    {VQB_MOD_REPOS, 1591, "The path of %s object %d could not be found."},
    {VQB_MOD_REPOS, 1684, "The document is not of class \"%s\"."},
    {VQB_MOD_REPOS, 1685, "\"%s\" is not a valid name: '*' may stand only at its start or end."},
    {VQB_MOD_REPOS, 1686, "Element \"%s\" has no attribute \"%s\"."},
    {VQB_MOD_REPOS, 1687, "The macro \"%s\" refers to itself, directly or through other macros."},
    {VQB_MOD_REPOS, 1688, "Expanding the macros of a text goes beyond %u bytes or %u replacements."},
    {VQB_MOD_REPOS, 1689,
     "Table set \"%s\" is refused: the repository keeps its own version under that name, which the set's "
     "version would overwrite."},
    {VQB_MOD_REPOS, 1690, "Table \"%s\" of table set \"%s\" is refused: the repository has a table of that name."},
    {VQB_MOD_REPOS, 1900, "The data-access connector is not available."},
    {VQB_MOD_REPOS, 1901, "No id could be reserved from counter \"%s\": other writers kept moving it."},
    {VQB_MOD_REPOS, 1902, "The id counter \"%s\" has no ids left."},
    {VQB_MOD_REPOS, 1910, "Table \"%s\" is still there after the repository's tables were dropped."},
    {VQB_MOD_REPOS, 1911, "The file \"%s\" could not be deleted: %s"},
    {VQB_MOD_REPOS, 1920, "\"%s\" is not the name of a legacy frequency table; it was skipped."},
    {VQB_MOD_REPOS, 1921, "Inserting a row into table \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1922, "The legacy file has no table \"%s\"; nothing was copied into table \"%s\"."},
    {VQB_MOD_REPOS, 1923, "\"%s\" of the legacy file is a view, not a table; it was not read."},
    {VQB_MOD_REPOS, 1924, "it yielded more rows than the %lld it holds"},
    {VQB_MOD_REPOS, 1930, "Key field \"%s\" of the mapped table was not given a value."},
    {VQB_MOD_REPOS, 1931, "The mapped table has no key field, so no source row can be identified."},
    {VQB_MOD_REPOS, 1932, "Key field \"%s\" is given more than once."},
    {VQB_MOD_REPOS, 1933,
     "\"%s\" cannot be used as a name in a statement: it is empty or holds a quote, a semicolon or a control "
     "character."},
    {VQB_MOD_REPOS, 1934, "The keys match no row of the source table; nothing was written."},
    {VQB_MOD_REPOS, 1935, "The keys match %d rows of the source table, not one; nothing was written."},
    {VQB_MOD_REPOS, 1936, "Field \"%s\" is already mapped to that table as a %s field."},
    {VQB_MOD_REPOS, 1960,
     "The source and the target are the same repository (one database and table prefix); copying it onto "
     "itself would destroy its data."},
    {VQB_MOD_REPOS, 1961, "No DDL script file was given."},
    {VQB_MOD_REPOS, 1962, "Writing the DDL script \"%s\" failed: %s"},
    {VQB_MOD_REPOS, 1963, "Row %d of the table file holds %d values for %d fields."},
    {VQB_MOD_REPOS, 1964, "Value \"%s\" of field \"%s\" in row %d is not a valid %s."},
    {VQB_MOD_REPOS, 1965, "The repository is not open, or was not opened by this library."},
    {VQB_MOD_REPOS, 1980, "The table file \"%s\" does not read back as written; table \"%s\" is kept. %s"},
    {VQB_MOD_REPOS, 2040, "A run has no column %d."},
    {VQB_MOD_REPOS, 2041, "The value of run column %s is longer than its %d characters and is kept whole: %s"},
    {VQB_MOD_REPOS, 2042, "Run %s has a statistic numbered %s, which no column takes; it is left out."},
    {VQB_MOD_MONITOR, 1085, "An object with this code already exists."},
    {VQB_MOD_MONITOR, 1088, "The task has executions and cannot be deleted."},
    {VQB_MOD_MONITOR, 1211, "The row already exists."},
    {VQB_MOD_MONITOR, 1663, "The value \"%s\" is not allowed for this property."},
    {VQB_MOD_MONADMIN, 924, "A field of that name already exists."},
    {VQB_MOD_MONADMIN, 1356, "An object of that name already exists."},
    {VQB_MOD_MONADMIN, 1385, "An object of that name already exists."},
    {VQB_MOD_PROFILE, 29, "Out of memory while shortening a distribution value to the longest text stored."},
};

}  // namespace

const char* vqbMessageText(const char* module, unsigned number) {
    if (!module) return nullptr;
    for (const auto& m : kMessages)
        if (m.number == number && std::strcmp(m.module, module) == 0) return m.text;
    return nullptr;
}

VqbString vqb_get_messageV(const char* module, unsigned number, va_list args) {
    const char* text = vqbMessageText(module, number);
    if (!text) return VqbString::format("Message %u of module %s", number, module ? module : "(none)");
    return VqbString::formatV(text, args);
}

VqbString vqb_get_message(const char* module, unsigned number, ...) {
    va_list args;
    va_start(args, number);
    VqbString r = vqb_get_messageV(module, number, args);
    va_end(args);
    return r;
}

VqbString reposMessage(unsigned number, ...) {
    va_list args;
    va_start(args, number);
    VqbString r = vqb_get_messageV(VQB_MOD_REPOS, number, args);
    va_end(args);
    return r;
}
