#include "repos_cursors.h"

#include <utility>

void ReposRowStore::clear() {
    names_.clear();
    for (size_t row = 0; row < rows_; ++row)
        for (int i = 0; i < cols_; ++i) slot(row, i)->~VqbDatavar();
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

VqbDatavar* ReposRowStore::nextRowRoom() {
    size_t block, offset;
    place(rows_, block, offset);
    if (block >= blocks_.size()) {
        size_t values = blockRows(blocks_.size()) * static_cast<size_t>(cols_ > 0 ? cols_ : 1);
        std::unique_ptr<VqbDatavar[], BlockFree> block(
            static_cast<VqbDatavar*>(::operator new(values * sizeof(VqbDatavar))));
        blocks_.push_back(std::move(block));
    }
    return slot(rows_, 0);
}

int ReposRowStore::addRow() {
    VqbDatavar* row = nextRowRoom();
    for (int i = 0; i < cols_; ++i) new (row + i) VqbDatavar();
    current_ = rows_++;
    return static_cast<int>(rows_);
}

void ReposRowStore::setValue(int i, const VqbDatavar& value) {
    if (current_ == kNone || !inColumns(i)) return;
    *slot(current_, i) = value;
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
