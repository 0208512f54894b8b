// SQL that differs between back ends beyond quoting, for the statements and the DDL that must
// agree on it.
#ifndef RDA_SQLFORMS_H
#define RDA_SQLFORMS_H

#include "rda_sqlreader.h"
#include "vqbstring.h"

// The expression over column (a name as the statement or DDL writes it) that compares as the
// column folded to ASCII lower case, in byte order; the values it is compared with are given in
// ASCII lower case. A condition and the index element that serves it are both this expression.
// SQLite's NOCASE folds ASCII only; on PostgreSQL lower() follows the locale (a Turkish "I"),
// translate() of the 26 letters does not. Empty where the back end has no such expression.
VqbString RDA_asciiFolded(RDA_SqlDialect dialect, const VqbString& column);

// The column that orders a table's rows as they were stored, whatever an update did to them since:
// SQLite's rowid (the id itself where the id is the integer key; a rowid never moves), elsewhere
// the table's id column, which ids drawn in ascending order make the same. A row position such as
// PostgreSQL's ctid moves with every update.
VqbString RDA_storageOrder(RDA_SqlDialect dialect, const VqbString& idColumn);

#endif
