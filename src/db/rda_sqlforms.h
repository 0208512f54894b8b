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

// The column that orders a table's rows as a read without an order gives them, by whichever
// index or scan: SQLite's rowid, PostgreSQL's row position. Null where there is none.
const char* RDA_storageOrder(RDA_SqlDialect dialect);

#endif
