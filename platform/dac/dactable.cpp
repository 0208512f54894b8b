// The table builder: DDL texts per DBMS.
#include "dacimpl.h"

namespace {

const DacDialect dialects[] = {
    // id, quote, type names by code (0 unused), unbounded text, longest VARCHAR, add column,
    // index schema, rows per bulk INSERT (the in-process SQLite loops over single rows), markers,
    // batches as column arrays
    {DAC_DIALECT_GENERIC, "\"", {"", "VARCHAR(%d)", "BIGINT", "DOUBLE PRECISION", "VARCHAR(%d)", "DOUBLE PRECISION"},
     "CLOB", 32000, "ADD", false, 0, 0, false},
    {DAC_DIALECT_POSTGRESQL, "\"", {"", "VARCHAR(%d)", "BIGINT", "DOUBLE PRECISION", "VARCHAR(%d)", "DOUBLE PRECISION"},
     "TEXT", 10485760, "ADD COLUMN", false, 500, 65535, true},
    {DAC_DIALECT_SQLITE, "\"", {"", "VARCHAR(%d)", "INTEGER", "REAL", "VARCHAR(%d)", "REAL"}, "TEXT", 1000000000,
     "ADD COLUMN", true, 0, 0, false},
};

VqbString typeTextFor(const DacDialect* d, int type, int length) {
    if (type < 1 || type > 5) return VqbString();
    bool text = type == 1 || type == 4;
    if (text && (length <= 0 || length > d->maxVarchar)) return VqbString(d->textUnbounded);
    if (text) return VqbString::format(d->typeNames[type], length);
    return VqbString(d->typeNames[type]);
}

}  // namespace

const DacDialect* dacDialect(DacDialectId id) {
    for (const DacDialect& d : dialects)
        if (d.id == id) return &d;
    return &dialects[0];
}

DacTable::DacTable(const DacDialect* dialect, bool existing) : dialect_(dialect), existing_(existing) {}

void DacTable::release() { delete this; }

DacColumn* DacTable::getColumn(int i) {
    if (i < 0 || i >= getColumnCount()) return nullptr;
    return columns_[i].get();
}

VqbString DacTable::getColumnTypeText(int i) {
    DacColumn* c = getColumn(i);
    return c ? c->typeText : VqbString();
}

DacColumn* DacTable::addColumn(const VqbString& name, int type, int length) {
    if (name.isEmpty() || type < 1 || type > 5) return nullptr;
    auto column = std::make_unique<DacColumn>();
    column->name = name;
    column->typeCode = type;
    column->size = (type == 1 || type == 4) && length > 0 ? length : 0;
    column->typeText = typeTextFor(dialect_, type, length);
    columns_.push_back(std::move(column));
    if (existing_) added_.push_back(columns_.size() - 1);
    return columns_.back().get();
}

void DacTable::addCatalogueColumn(const DacColumn& column) { columns_.push_back(std::make_unique<DacColumn>(column)); }

VqbString DacTable::tableRef() const {
    std::string ref;
    if (!schema_.isEmpty()) ref = vqbQuoteIdentifier(schema_.str(), dialect_->quote) + ".";
    ref += vqbQuoteIdentifier(name_.str(), dialect_->quote);
    return VqbString(ref);
}

VqbString DacTable::columnRef(const VqbString& name) const {
    if (vqbIsPlainIdentifier(name.str())) return name;
    return VqbString(vqbQuoteIdentifier(name.str(), dialect_->quote));
}

VqbString DacTable::indexOn(const VqbString& indexName, const VqbString& columnList) const {
    std::string q = dialect_->quote;
    std::string text = "CREATE INDEX ";
    if (dialect_->indexSchemaOnIndex) {
        if (!schema_.isEmpty()) text += vqbQuoteIdentifier(schema_.str(), q.c_str()) + ".";
        text += vqbQuoteIdentifier(indexName.str(), q.c_str()) + " ON " + vqbQuoteIdentifier(name_.str(), q.c_str());
    } else {
        text += vqbQuoteIdentifier(indexName.str(), q.c_str()) + " ON " + tableRef().str();
    }
    text += " (" + columnList.str() + ")";
    return VqbString(text);
}

const DacColumn* DacTable::markedColumn(int i) const {
    if (i < 0) return nullptr;
    int seen = 0;
    for (const auto& c : columns_) {
        if (!c->indexMark) continue;
        if (seen++ == i) return c.get();
    }
    return nullptr;
}

VqbString DacTable::getCreateTableText() {
    if (name_.isEmpty() || columns_.empty()) return VqbString();
    std::string text = "CREATE TABLE " + tableRef().str() + " (";
    std::string keys;
    for (size_t i = 0; i < columns_.size(); ++i) {
        const DacColumn& c = *columns_[i];
        if (i) text += ", ";
        text += columnRef(c.name).str() + " " + c.typeText.str();
        if (c.notNull || c.primaryKey) text += " NOT NULL";
        if (c.primaryKey) {
            if (!keys.empty()) keys += ", ";
            keys += columnRef(c.name).str();
        }
    }
    if (!keys.empty()) text += ", PRIMARY KEY (" + keys + ")";
    text += ")";
    return VqbString(text);
}

VqbString DacTable::getDropTableText() {
    if (name_.isEmpty()) return VqbString();
    return VqbString("DROP TABLE " + tableRef().str());
}

int DacTable::getMarkedColumnCount() const {
    int n = 0;
    for (const auto& c : columns_)
        if (c->indexMark) ++n;
    return n;
}

VqbString DacTable::getCreateIndexText(int i, const VqbString& indexName) {
    const DacColumn* c = markedColumn(i);
    if (!c || indexName.isEmpty() || name_.isEmpty()) return VqbString();
    return indexOn(indexName, columnRef(c->name));
}

VqbString DacTable::getDropIndexText(int i, const VqbString& indexName) {
    if (indexName.isEmpty() || (i >= 0 && !markedColumn(i))) return VqbString();
    std::string text = "DROP INDEX ";
    if (!schema_.isEmpty()) text += vqbQuoteIdentifier(schema_.str(), dialect_->quote) + ".";
    text += vqbQuoteIdentifier(indexName.str(), dialect_->quote);
    return VqbString(text);
}

VqbString DacTable::getCreateCompositeIndexText(const VqbString& indexName) {
    std::string list;
    for (const auto& c : columns_) {
        if (!c->compositeMember) continue;
        if (!list.empty()) list += ", ";
        list += columnRef(c->name).str();
    }
    return getCreateIndexTextOver(indexName, VqbString(list));
}

VqbString DacTable::getCreateIndexTextOver(const VqbString& indexName, const VqbString& elements) {
    if (elements.isEmpty() || indexName.isEmpty() || name_.isEmpty()) return VqbString();
    return indexOn(indexName, elements);
}

VqbString DacTable::getAddColumnText(int i) {
    if (i < 0 || i >= getAddedColumnCount()) return VqbString();
    const DacColumn& c = *columns_[added_[i]];
    return VqbString("ALTER TABLE " + tableRef().str() + " " + dialect_->addColumn + " " + columnRef(c.name).str() +
                     " " + c.typeText.str());
}
