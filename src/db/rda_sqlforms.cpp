#include "rda_sqlforms.h"

namespace {

struct DialectForms {
    RDA_SqlDialect dialect;
    const char* foldedFormat;  // "%s": the column
};

const DialectForms kForms[] = {
    {RDA_SqlDialect::Sqlite, "%s COLLATE NOCASE"},
    {RDA_SqlDialect::Postgres,
     "translate(%s, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz') COLLATE \"C\""},
};

const DialectForms* formsOf(RDA_SqlDialect dialect) {
    for (const DialectForms& forms : kForms)
        if (forms.dialect == dialect) return &forms;
    return nullptr;
}

}  // namespace

VqbString RDA_asciiFolded(RDA_SqlDialect dialect, const VqbString& column) {
    const DialectForms* forms = formsOf(dialect);
    return forms ? VqbString::format(forms->foldedFormat, column.asCstr()) : VqbString("");
}

VqbString RDA_storageOrder(RDA_SqlDialect dialect, const VqbString& idColumn) {
    return dialect == RDA_SqlDialect::Sqlite ? VqbString("rowid") : idColumn;
}
