// Cursors that hold their whole result in memory and need no connection.
#ifndef REPOS_CURSORS_H
#define REPOS_CURSORS_H

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "repos_dataaccess.h"

// Rows of values, column names and a current row: the storage and the read rules shared by the
// in-memory cursors and by back-end cursors that cached their rows.
class ReposRowStore {
public:
    ReposRowStore() = default;
    ReposRowStore(const ReposRowStore&) = delete;
    ReposRowStore& operator=(const ReposRowStore&) = delete;
    ~ReposRowStore() { clear(); }
    // Frees rows and names; the column count stays.
    void clear();
    // Clears, then n empty names (none for n below 1).
    void setColumns(int n);
    int columnCount() const { return cols_; }
    void setColName(int i, const VqbString& name);
    VqbString colName(int i) const;
    // Appends a row of nulls, makes it current; the number of rows.
    int addRow();
    int rowCount() const { return static_cast<int>(rows_); }
    void setValue(int i, const VqbDatavar& value);
    // No current row: the next next() starts at the first row.
    void reset() { current_ = kNone; }
    // 2 without columns; 1 a row is current; 0 past the last row (the next call starts over).
    int next();
    // Null without a current row or outside the columns.
    const VqbDatavar* value(int i) const;

    VqbString getString(int i) const;
    int getInt(int i) const;
    double getDouble(int i) const;
    bool isNull(int i) const;
    VqbDatavar getValue(int i) const;

    // Columns, names and the source's remaining rows (up to maxRows, 0 for all), each value as
    // the source's getValue gives it; no current row afterwards. False when the source has no
    // columns or reports an error; rows read before an error stay. Source: anything with the
    // cursor's next, getNumCols, getColName and getValue.
    template <class Source>
    bool load(Source& source, unsigned maxRows);

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    // Rows live in blocks that never move, so a large result grows without copying itself. The
    // first blocks double from a few rows, so the many results of a row or two take little room.
    static constexpr size_t kFirstBlockRows = 8;
    static constexpr size_t kGrowingBlocks = 7;  // 8, 16, ... 512 rows
    static constexpr size_t kRowsPerBlock = kFirstBlockRows << kGrowingBlocks;
    static constexpr size_t kGrowingRows = kFirstBlockRows * ((size_t(1) << kGrowingBlocks) - 1);
    static size_t blockRows(size_t block) {
        return block < kGrowingBlocks ? kFirstBlockRows << block : kRowsPerBlock;
    }
    // The block of a row and the row's place in it.
    static void place(size_t row, size_t& block, size_t& offset) {
        if (row < kGrowingRows) {
            block = static_cast<size_t>(63 - __builtin_clzll(row / kFirstBlockRows + 1));
            offset = row - kFirstBlockRows * ((size_t(1) << block) - 1);
        } else {
            block = kGrowingBlocks + (row - kGrowingRows) / kRowsPerBlock;
            offset = (row - kGrowingRows) % kRowsPerBlock;
        }
    }
    bool inColumns(int i) const { return i >= 0 && i < cols_; }
    VqbDatavar* slot(size_t row, int i) const {
        size_t block, offset;
        place(row, block, offset);
        return &blocks_[block][offset * static_cast<size_t>(cols_) + static_cast<size_t>(i)];
    }
    // Room for the next row, its values not yet built; addRow or load build them and count
    // the row, so only whole rows are ever counted and destroyed.
    VqbDatavar* nextRowRoom();
    struct BlockFree {
        void operator()(VqbDatavar* block) const { ::operator delete(block); }
    };

    int cols_ = 0;
    std::vector<VqbString> names_;
    std::vector<std::unique_ptr<VqbDatavar[], BlockFree>> blocks_;
    size_t rows_ = 0;
    size_t current_ = kNone;
};

template <class Source>
bool ReposRowStore::load(Source& source, unsigned maxRows) {
    int cols = source.getNumCols();
    setColumns(cols);
    if (cols <= 0) return false;
    for (int i = 0; i < cols; ++i) setColName(i, source.getColName(i));
    unsigned copied = 0;
    int state;
    while ((state = source.next()) == 1) {
        if (maxRows != 0 && copied >= maxRows) break;
        // Each value is built where it stays: no null first, no move after.
        VqbDatavar* row = nextRowRoom();
        int built = 0;
        try {
            for (; built < cols; ++built) new (row + built) VqbDatavar(source.getValue(built));
        } catch (...) {
            while (built > 0) row[--built].~VqbDatavar();
            throw;
        }
        ++rows_;
        ++copied;
    }
    reset();
    return state != 2;
}

// A cursor that copies its remaining rows into a store in one call, without the lock and the
// virtual call its interface costs per value.
class ReposRowSource {
public:
    // As ReposRowStore::load over the cursor.
    virtual bool copyRowsInto(ReposRowStore& store, unsigned maxRows) = 0;

protected:
    ~ReposRowSource() = default;
};

// The read operations of both in-memory cursors.
class ReposMemoryCursor : public ReposDataAccessCursor {
public:
    int next() override { return rows_.next(); }
    int getNumCols() override { return rows_.columnCount(); }
    VqbString getColName(int i) override { return rows_.colName(i); }
    VqbString getString(int i) override { return rows_.getString(i); }
    int getInt(int i) override { return rows_.getInt(i); }
    double getDouble(int i) override { return rows_.getDouble(i); }
    bool isNull(int i) override { return rows_.isNull(i); }
    VqbDatavar getValue(int i) override { return rows_.getValue(i); }
    void release() override { delete this; }
    bool cacheAll() override { return true; }

protected:
    ~ReposMemoryCursor() override = default;
    ReposRowStore rows_;
};

// Filled by copying another cursor.
class ReposCacheCursor : public ReposMemoryCursor {
public:
    ReposCacheCursor() = default;
    // Copies names and rows (up to maxRows, 0 for all) from the source, which stays the
    // caller's. False when the source has no columns or reports an error; rows copied before
    // an error stay.
    bool loadFrom(ReposDataAccessCursor* source, unsigned maxRows = 0);

private:
    ~ReposCacheCursor() override = default;
};

// Filled row by row by code: setNumCols, setColName, then addRow and setValue per row, then
// reset and read.
class ReposDataCursor : public ReposMemoryCursor {
public:
    ReposDataCursor() = default;
    void clear() { rows_.clear(); }
    bool setNumCols(int n);
    void setColName(int i, const VqbString& name) { rows_.setColName(i, name); }
    int addRow() { return rows_.addRow(); }
    void setValue(int i, const VqbDatavar& value) { rows_.setValue(i, value); }
    void reset() { rows_.reset(); }

private:
    ~ReposDataCursor() override = default;
};

#endif
