#include "repos_cursors.h"

#include <utility>

void ReposRowStore::clear() {
    names_.clear();
    blocks_.clear();
    rows_ = 0;
    current_ = kNone;
}

void ReposRowStore::setColumns(int n) {
    clear();
    cols_ = n > 0 ? n : 0;
    names_.assign(static_cast<size_t>(cols_), VqbString(""));
}

void ReposRowStore::setColName(int i, const VqbString& name) {
    if (i >= 0 && static_cast<size_t>(i) < names_.size()) names_[static_cast<size_t>(i)] = name;
}

VqbString ReposRowStore::colName(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= names_.size()) return VqbString("");
    return names_[static_cast<size_t>(i)];
}

int ReposRowStore::addRow() {
    if (rows_ % kRowsPerBlock == 0)
        blocks_.emplace_back(new VqbDatavar[kRowsPerBlock * static_cast<size_t>(cols_ > 0 ? cols_ : 1)]);
    current_ = rows_++;
    return static_cast<int>(rows_);
}

void ReposRowStore::setValue(int i, const VqbDatavar& value) {
    if (current_ == kNone || !inColumns(i)) return;
    *slot(current_, i) = value;
}

void ReposRowStore::moveValue(int i, VqbDatavar&& value) {
    if (current_ == kNone || !inColumns(i)) return;
    *slot(current_, i) = std::move(value);
}

int ReposRowStore::next() {
    if (cols_ == 0) return 2;
    current_ = current_ == kNone ? 0 : current_ + 1;
    if (current_ >= rows_) {
        current_ = kNone;
        return 0;
    }
    return 1;
}

const VqbDatavar* ReposRowStore::value(int i) const {
    if (current_ == kNone || !inColumns(i)) return nullptr;
    return slot(current_, i);
}

VqbString ReposRowStore::getString(int i) const {
    const VqbDatavar* v = value(i);
    if (!v || v->isNull()) return VqbString("");
    return v->asString();
}

int ReposRowStore::getInt(int i) const {
    const VqbDatavar* v = value(i);
    return v ? v->asInt() : 0;
}

double ReposRowStore::getDouble(int i) const {
    const VqbDatavar* v = value(i);
    return v ? v->asDouble() : 0.0;
}

bool ReposRowStore::isNull(int i) const {
    const VqbDatavar* v = value(i);
    return !v || v->isNull();
}

VqbDatavar ReposRowStore::getValue(int i) const {
    const VqbDatavar* v = value(i);
    return v ? *v : VqbDatavar();
}

bool ReposCacheCursor::loadFrom(ReposDataAccessCursor* source, unsigned maxRows) {
    if (!source) return false;
    if (auto* bulk = dynamic_cast<ReposRowSource*>(source)) return bulk->copyRowsInto(rows_, maxRows);
    return rows_.load(*source, maxRows);
}

bool ReposDataCursor::setNumCols(int n) {
    rows_.setColumns(n);
    return n >= 1;
}
