// The connection frame's id counters: ids drawn from UCURID, and inside a transaction the blocks
// reserved ahead of later draws.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "rda_impl.h"
#include "vqbmessage.h"

namespace {

const char* const kSource = "rda_impl";
constexpr int kIdTries = 1000;
constexpr int64_t kLastId = 0xFFFFFFFEll;  // 0xFFFFFFFF means "none" to every caller
// The most ids a draw reserves beyond what it was asked for.
constexpr int64_t kIdBlockCap = 1024;

// Words that start a statement able to end the open transaction, or to run statements this
// frame cannot read (which may move a counter).
const char* const kTransactionWords[] = {"BEGIN", "START",   "COMMIT", "END",  "ROLLBACK", "ABORT",
                                         "SAVEPOINT", "RELEASE", "PREPARE", "EXECUTE", "CALL", "DO"};

// FNV-1a: a key for the first-row lock that every connection to the database computes alike.
int32_t lockKey(const std::string& text) {
    uint32_t hash = 2166136261u;
    for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
    return static_cast<int32_t>(hash);
}

}  // namespace

bool RDA_BaseImpl::unsettlesIdBlocks(const VqbString& sql, RDA_SqlDialect dialect) {
    const char* text = sql.asCstr();
    const char* end = text + sql.cStrSize();
    static const char kCounter[] = "ucurid";
    for (const char* p = text; end - p >= 6; ++p) {
        if ((*p | 0x20) != 'u') continue;
        size_t i = 1;
        while (i < 6 && (p[i] | 0x20) == kCounter[i]) ++i;
        if (i == 6) return true;
    }
    return RDA_opensWithAny(sql, dialect, kTransactionWords, std::size(kTransactionWords));
}

void RDA_BaseImpl::buildIdStatements() {
    if (!idSelect_.isNull()) return;
    VqbString table = getTableName_INT("UCURID", true, -1);
    // A key may have several rows: the counter is the largest. The aggregate needs no sort.
    idSelect_ = VqbString::format("SELECT MAX(NI_VAL), COUNT(*) FROM %s WHERE NI_KEY=?", table.asCstr());
    // The counter moves only from the value that was read (or guessed), and only while that is
    // still the largest row: a writer that started from an older value changes nothing and
    // reads again, so no id is handed out twice whatever the block sizes.
    idUpdate_ = VqbString::format(
        "UPDATE %s SET NI_VAL=? WHERE NI_KEY=? AND NI_VAL=? AND NI_VAL=(SELECT MAX(NI_VAL) FROM %s WHERE NI_KEY=?)",
        table.asCstr(), table.asCstr());
    if (sqlDialect_ != RDA_SqlDialect::Postgres) {
        idInsert_ = VqbString::format("INSERT INTO %s (NI_KEY, NI_VAL) VALUES (?,?)", table.asCstr());
        return;
    }
    // Two server transactions that each add a key's first row would not see each other's. The
    // second waits on a lock of the key until the first ends, and its insert, a statement begun
    // after the wait, sees the row committed by then. One text makes one transaction of lock and
    // insert where no transaction is open, so the lock is not let go before the row is in; in a
    // transaction (the frame's or one a host began by a statement) it is held until that ends.
    // The two-integer lock never meets the repository's write lock, which is one bigint.
    idInsert_ = VqbString::format(
        "SELECT pg_advisory_xact_lock(CAST(? AS INTEGER), CAST(? AS INTEGER)); "
        "INSERT INTO %s (NI_KEY, NI_VAL) SELECT ?, 0 WHERE NOT EXISTS (SELECT 1 FROM %s WHERE NI_KEY=?)",
        table.asCstr(), table.asCstr());
    // Prefixes share one database: the table names the repository.
    idLockTable_ = lockKey(table.str());
}

bool RDA_BaseImpl::insertFirstIdRow(const VqbDatavar& key) {
    if (sqlDialect_ != RDA_SqlDialect::Postgres) {
        VqbDatavar zero(0);
        const VqbDatavar* row[] = {&key, &zero};
        return paramExec_INT(idInsert_, nullptr, {row, 2});
    }
    VqbDatavar table(idLockTable_), lock(lockKey(key.asString().str()));
    const VqbDatavar* params[] = {&table, &lock, &key, &key};
    return paramExec_INT(idInsert_, nullptr, {params, 4});
}

void RDA_BaseImpl::settleIdBlocks() {
    if (idBlocks_.empty()) return;
    std::vector<std::pair<std::string, IdBlock>> blocks(idBlocks_.begin(), idBlocks_.end());
    const bool kept = transactionKept_INT();
    forgetIdBlocks();
    if (!kept) return;
    // The commit that follows reports its own failure, after an earlier one as before.
    const VqbString lastError = lastError_;
    for (const auto& entry : blocks) {
        const IdBlock& block = entry.second;
        if (block.next > block.end) continue;
        VqbDatavar key(entry.first), back(block.next - 1), end(block.end);
        const VqbDatavar* params[] = {&back, &key, &end, &key};
        // A counter that is no longer where the block left it keeps its value: the ids are a gap.
        int rows = 0;
        if (!paramExec_INT(idUpdate_, &rows, {params, 4})) break;
        if (rows > 0) idLast_[entry.first] = block.next - 1;
    }
    lastError_ = lastError;
}

bool RDA_BaseImpl::reserveIdBlock(const VqbString& key, int count, VqbDatavar* firstId, VqbString* error) {
    if (firstId) firstId->setNull();
    auto failed = [&](int line, const VqbString& text) {
        if (!text.isNull()) fail(kSource, line, text);
        if (error) *error = lastError_;
        return false;
    };
    if (key.isEmpty()) return failed(__LINE__, reposMessage(1161));
    buildIdStatements();
    const int64_t want = count < 1 ? 1 : count;

    // Inside a transaction, ids an earlier draw of the key reserved ahead are handed out first.
    // Its row lock (the write lock on SQLite) keeps other writers off the counter until it ends,
    // so they stay this connection's while the transaction lasts.
    const bool ahead = depth_ > 0 && idBlocksFor_INT(key);
    if (ahead && !idBlocks_.empty() && !transactionKept_INT()) forgetIdBlocks();
    IdBlock block;
    bool drawn = false;  // the key was drawn before in this transaction
    if (ahead) {
        auto found = idBlocks_.find(key.str());
        if (found != idBlocks_.end()) {
            IdBlock& kept = found->second;
            if (kept.end - kept.next + 1 >= want) {
                if (firstId) *firstId = VqbDatavar(kept.next);
                kept.next += want;
                kept.used += want;
                return true;
            }
            block = kept;
            drawn = true;
        }
    }
    // A failure while the counter is moved forgets the blocks: the one copied above goes with them.
    const unsigned epoch = idEpoch_;
    auto blockHolds = [&]() { return drawn && epoch == idEpoch_; };
    // The move from the counter value old: the ids left in the block are extended when the counter
    // still ends them, and a draw after the first reserves as many more as the transaction used
    // before it, less those it leaves unused already, up to the cap and the last id: blocks double,
    // and fewer ids are left unused than were used.
    struct Move {
        int64_t first = 0;
        int64_t step = 0;
        int64_t rest = 0;  // ids of the block that the move extends
    };
    auto plan = [&](int64_t old, Move& move) {
        const int64_t left = blockHolds() ? block.end - block.next + 1 : 0;
        move.rest = old == block.end ? left : 0;
        const int64_t need = want - move.rest;
        if (old < 0 || old > kLastId - need) return false;
        move.first = old + 1 - move.rest;
        int64_t extra = 0;
        if (blockHolds()) {
            const int64_t unused = block.dropped + left - move.rest;
            extra = std::max<int64_t>(0, std::min({kIdBlockCap, block.used - unused, kLastId - old - need}));
        }
        move.step = need + extra;
        return true;
    };
    auto done = [&](int64_t old, const Move& move) {
        idLast_[key.str()] = old + move.step;
        if (firstId) *firstId = VqbDatavar(move.first);
        if (!ahead) return true;
        IdBlock next;
        if (blockHolds()) {
            next.used = block.used;
            next.dropped = block.dropped + (block.end - block.next + 1 - move.rest);
        }
        next.next = move.first + want;
        next.end = old + move.step;
        next.used += want;
        idBlocks_[key.str()] = next;
        return true;
    };

    VqbDatavar keyValue(key);
    const VqbDatavar* keyParam[] = {&keyValue};
    bool inserted = false;
    VqbString insertError;

    // Outside a caller's transaction each statement stands alone, so one refused because
    // another writer held the database is tried again; inside one, waiting could deadlock.
    auto busyAlone = [&]() { return depth_ == 0 && lastFailureBusy_INT(); };
    // 1: moved from old, 0: the counter was not at old, -1: the update failed.
    auto moveFrom = [&](int64_t old, const Move& move) {
        VqbDatavar next(old + move.step);
        VqbDatavar oldValue(old);
        const VqbDatavar* params[] = {&next, &keyValue, &oldValue, &keyValue};
        int rows = 0;
        if (!paramExec_INT(idUpdate_, &rows, {params, 4})) return -1;
        return rows < 1 ? 0 : 1;
    };

    auto last = idLast_.find(key.str());
    Move move;
    if (last != idLast_.end() && plan(last->second, move)) {
        const int64_t guess = last->second;
        switch (moveFrom(guess, move)) {
            case 1:
                return done(guess, move);
            case -1:
                if (!busyAlone()) return failed(__LINE__, VqbString());
                break;
            default:
                break;
        }
    }
    for (int attempt = 0; attempt < kIdTries; ++attempt) {
        ReposHeld<ReposDataAccessCursor> cursor(paramSelect_INT(idSelect_, {keyParam, 1}));
        if (!cursor) {
            if (busyAlone()) continue;
            return failed(__LINE__, VqbString());
        }
        int state = cursor->next();
        if (state == 2) {
            if (busyAlone()) continue;
            return failed(__LINE__, VqbString());
        }
        if (state == 0 || cursor->getValue(1).asInt64() == 0) {
            cursor.reset();
            if (inserted) return failed(__LINE__, insertError.isNull() ? reposMessage(1161) : insertError);
            // Another writer may insert the same key first; reading again settles it.
            if (!insertFirstIdRow(keyValue)) {
                if (busyAlone()) continue;
                insertError = lastError_;
            }
            inserted = true;
            attempt = -1;
            continue;
        }
        VqbDatavar current = cursor->getValue(0);
        cursor.reset();
        if (current.isNull()) return failed(__LINE__, reposMessage(1161));
        const int64_t old = current.asInt64();
        if (!plan(old, move)) return failed(__LINE__, reposMessage(1902, key.asCstr()));
        switch (moveFrom(old, move)) {
            case 1:
                return done(old, move);
            case -1:
                if (busyAlone()) continue;
                return failed(__LINE__, VqbString());
            default:
                break;
        }
    }
    return failed(__LINE__, reposMessage(1901, key.asCstr()));
}
