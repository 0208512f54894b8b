// Big strings: reference texts, the chunks each place writes, and the lookups that compare a
// text kept apart whole.
#include <algorithm>

#include "np_uchar.h"
#include "rda_impl.h"
#include "vqbutil.h"

// ---- big-string references

bool RDA_BigString::parse(const VqbString& text, uint32_t* id) {
    if (!hasPrefix(text)) return false;
    const std::string& s = text.str();
    size_t pos = kPrefixLength;
    uint64_t value = 0;
    size_t digits = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        value = value * 10 + static_cast<uint64_t>(s[pos] - '0');
        ++pos;
        if (++digits > 10) return false;
    }
    if (digits == 0 || value > 0xFFFFFFFFull) return false;
    if (s.compare(pos, std::string::npos, kSuffix) != 0) return false;
    if (id) *id = static_cast<uint32_t>(value);
    return true;
}

VqbString RDA_BigString::format(uint32_t id) { return VqbString::format("%s%u%s", kPrefix, id, kSuffix); }

size_t RDA_BigString::chunkBytes(const char* text, size_t bytes, size_t limit) {
    size_t taken = vqbUtf8Cut(text, bytes, limit);
    if (taken > 0 || bytes == 0) return taken;
    // A first character longer than the limit still makes a chunk of its own.
    taken = np_uchar_seek(text);
    return taken == 0 ? 1 : std::min(taken, bytes);
}

bool RDA_BigString::isReference(const VqbDatavar& value) {
    if (value.getType() != VQB_TYPE_STRING || !hasPrefix(value.textData(), value.textSize())) return false;
    return parse(VqbString(value.textData(), value.textSize()), nullptr);
}

bool RDA_BigString::storedApart(const VqbDatavar& value, int maxTextLen) {
    if (value.getType() != VQB_TYPE_STRING) return false;
    if (maxTextLen > 0 && value.textSize() > static_cast<size_t>(maxTextLen)) return true;
    return isReference(value);
}

bool RDA_BigString::keepOwnText(ReposDataAccess* connection, VqbDatavar& value) {
    if (!connection || !isReference(value)) return true;
    VqbString reference;
    if (!connection->putBigString(value.asString(), &reference, nullptr)) return false;
    value = VqbDatavar(reference);
    return true;
}

bool RDA_BigString::keepOwnTexts(ReposDataAccess* connection, const VqbString& sql,
                                 const std::vector<VqbDatavar>& values, std::vector<VqbDatavar>& kept) {
    kept.clear();
    if (std::none_of(values.begin(), values.end(), [](const VqbDatavar& value) { return isReference(value); }))
        return true;
    const RDA_SqlReading reading = RDA_readSql(sql, RDA_BaseImpl::sqlDialect(connection));
    kept = values;
    for (size_t i = 0; i < kept.size(); ++i) {
        if (reading.sure && i < reading.slots.size() && reading.slots[i].compared) continue;
        if (!keepOwnText(connection, kept[i])) return false;
    }
    return true;
}

RDA_BigString::Chunk RDA_BigString::lastChunk(const VqbString& text, size_t limit) {
    const char* rest = text.asCstr();
    size_t left = text.cStrSize();
    long long sequence = 0;
    for (;;) {
        const size_t bytes = chunkBytes(rest, left, limit);
        if (bytes >= left) return {sequence, std::string(rest, left)};
        rest += bytes;
        left -= bytes;
        ++sequence;
    }
}

// ---- the connection's side

RDA_SqlDialect RDA_BaseImpl::sqlDialect(ReposDataAccess* connection) {
    auto* frame = dynamic_cast<RDA_BaseImpl*>(connection);
    return frame ? frame->sqlDialect_ : RDA_SqlDialect::Standard;
}

int RDA_BaseImpl::compareTextLen(ReposDataAccess* connection) {
    auto* frame = dynamic_cast<RDA_BaseImpl*>(connection);
    if (frame) return frame->compareTextLen_INT();
    return connection ? connection->getMaxTextLen() : 0;
}

std::vector<std::string> RDA_BaseImpl::bigStringChunks_INT(const VqbString& value) {
    const size_t limit = maxTextLen_ > 1 ? static_cast<size_t>(maxTextLen_ - 1) : 1;
    std::vector<std::string> chunks;
    const char* rest = value.asCstr();
    size_t left = value.cStrSize();
    while (left > 0) {
        const size_t bytes = RDA_BigString::chunkBytes(rest, left, limit);
        chunks.emplace_back(rest, bytes);
        rest += bytes;
        left -= bytes;
    }
    return chunks;
}

void RDA_BaseImpl::bigStringProbes_INT(const VqbString& text, std::vector<RDA_BigString::Chunk>& probes) {
    std::vector<std::string> chunks = bigStringChunks_INT(text);
    if (chunks.empty()) return;
    probes.push_back({static_cast<long long>(chunks.size() - 1), std::move(chunks.back())});
}

bool RDA_BaseImpl::findBigStrings(const VqbString& text, std::vector<VqbString>& references) {
    if (maxTextLen_ < 1 || text.cStrSize() == 0) return true;
    std::vector<RDA_BigString::Chunk> probes;
    bigStringProbes_INT(text, probes);
    // The last chunk tells texts apart where they share their beginning, as long names often do.
    std::vector<VqbDatavar> values;
    std::string where;
    for (size_t i = 0; i < probes.size(); ++i) {
        const RDA_BigString::Chunk& probe = probes[i];
        bool seen = false;
        for (size_t k = 0; k < i && !seen; ++k)
            seen = probes[k].sequence == probe.sequence && probes[k].data == probe.data;
        if (seen) continue;
        where.append(where.empty() ? "(BS_SEQ=? AND BS_DATA=?)" : " OR (BS_SEQ=? AND BS_DATA=?)");
        values.emplace_back(probe.sequence);
        values.emplace_back(probe.data);
    }
    std::vector<const VqbDatavar*> pointers;
    for (const VqbDatavar& value : values) pointers.push_back(&value);
    const VqbString sql = VqbString::format("SELECT DISTINCT BS_REFID FROM %s WHERE %s ORDER BY BS_REFID",
                                            getTableName_INT("BIGSTR", true, -1).asCstr(), where.c_str());
    std::vector<uint32_t> ids;
    {
        ReposHeld<ReposDataAccessCursor> rows(
            paramSelect_INT(sql, {pointers.data(), static_cast<int>(pointers.size())}));
        if (!rows) return false;
        int state;
        while ((state = rows->next()) == 1) ids.push_back(static_cast<uint32_t>(rows->getValue(0).asInt64()));
        if (state == 2) return false;
    }
    for (uint32_t id : ids) {
        const VqbString reference = RDA_BigString::format(id);
        VqbString whole;
        if (!getBigString_INT(reference, &whole, nullptr)) return false;
        if (whole.str() == text.str()) references.push_back(reference);
    }
    return true;
}

bool RDA_BaseImpl::storeBigText(const VqbString& text, VqbString* reference) {
    // Saving a text again refers to the big string that already holds it, so that copies do not
    // pile up for every later lookup to read. A script has no rows to look in.
    if (!ddlCallback_) {
        std::vector<VqbString> found;
        if (!findBigStrings(text, found)) return false;
        if (!found.empty()) {
            *reference = found.front();
            return true;
        }
    }
    return putBigString_INT(text, reference, nullptr);
}

// ---- comparisons of texts kept apart

namespace {

// The text of one comparison the reader is sure of, made to hold for the rows that read back as
// its texts: each marker with a text kept apart becomes the text as given (unless it is shaped
// like a reference, which no row holds as itself) and the references of the big strings holding
// it. An IN list is the OR of its equalities, so the items merge into one list; when none is
// left the comparison holds for no non-null row, as plain SQL has it.
struct ComparisonText {
    const std::string column;
    std::string items;

    // With no item left the comparison is false for every non-null row and null for a null one.
    // Where the back end reads it so, an equality with NULL, which cannot change that, lets SQLite
    // search the column's index and PostgreSQL plan a one-time false filter instead of a read of
    // the whole column. Nothing is bound: the column may be of any type, and a text bound against
    // a number column fails on PostgreSQL.
    const bool probes;
    std::string text(const RDA_SqlComparison& comparison) const {
        const std::string& c = column;
        const std::string none = probes ? "(" + c + " = NULL AND " + c + " <> " + c + ")" : "(" + c + " <> " + c + ")";
        std::string positive = items.empty() ? none : "(" + c + " IN (" + items + "))";
        if (comparison.kind == RDA_SqlComparison::Kind::Is)
            return comparison.negated ? "(" + c + " IS NULL OR NOT " + positive + ")"
                                      : "(" + c + " IS NOT NULL AND " + positive + ")";
        if (!comparison.negated) return positive;
        return items.empty() ? "(" + c + " = " + c + ")" : "(" + c + " NOT IN (" + items + "))";
    }
};

}  // namespace

int RDA_BaseImpl::wholeTexts(const VqbString& sql, const RDA_Params& params, RDA_WholeTexts& out) {
    const int limit = compareTextLen_INT();
    auto apart = [&](int i) { return params.at(i) && RDA_BigString::storedApart(*params.at(i), limit); };
    bool any = false;
    for (int i = 0; i < params.count && !any; ++i) any = apart(i);
    if (!any) return 0;
    const RDA_SqlReading reading = RDA_readSql(sql, sqlDialect_);
    // A statement whose markers cannot be placed runs as given.
    if (!reading.sure || reading.slots.size() != static_cast<size_t>(params.count)) return 0;

    std::vector<bool> rewrite(reading.comparisons.size(), false);
    for (size_t c = 0; c < rewrite.size(); ++c)
        for (int marker : reading.comparisons[c].markers) rewrite[c] = rewrite[c] || apart(marker);

    const char* text = sql.asCstr();
    std::string rewritten;
    size_t copied = 0;
    out.values.clear();
    out.compared.clear();
    auto bind = [&](const VqbDatavar* value, bool compared) {
        out.values.push_back(value ? *value : VqbDatavar());
        out.compared.push_back(compared ? 1 : 0);
    };
    std::vector<VqbString> references;
    for (size_t i = 0; i < reading.slots.size(); ++i) {
        const RDA_SqlSlot& slot = reading.slots[i];
        if (slot.comparison < 0 || !rewrite[static_cast<size_t>(slot.comparison)]) {
            bind(params.at(static_cast<int>(i)), slot.compared);
            continue;
        }
        const RDA_SqlComparison& comparison = reading.comparisons[static_cast<size_t>(slot.comparison)];
        // Its markers follow one another: the whole comparison is written at the first.
        if (static_cast<int>(i) != comparison.markers.front()) continue;
        ComparisonText made{std::string(text + comparison.columnFrom, comparison.columnTo - comparison.columnFrom), "",
                            sqlDialect_ != RDA_SqlDialect::Standard};
        auto item = [&](const std::string& itemText) {
            if (!made.items.empty()) made.items.append(",");
            made.items.append(itemText);
        };
        for (const auto& other : comparison.others) item(std::string(text + other.first, other.second - other.first));
        for (int marker : comparison.markers) {
            const VqbDatavar* value = params.at(marker);
            if (!apart(marker)) {
                item("?");
                bind(value, true);
                continue;
            }
            if (!RDA_BigString::isReference(*value)) {
                item("?");
                bind(value, true);
            }
            references.clear();
            if (!ddlCallback_ && !findBigStrings(value->asString(), references)) return -1;
            for (const VqbString& reference : references) {
                item("?");
                out.values.emplace_back(reference);
                out.compared.push_back(1);
            }
        }
        rewritten.append(text + copied, comparison.from - copied);
        rewritten.append(made.text(comparison));
        copied = comparison.to;
    }
    rewritten.append(text + copied, sql.cStrSize() - copied);
    out.sql = VqbString(std::move(rewritten));
    out.pointers.clear();
    for (const VqbDatavar& value : out.values) out.pointers.push_back(&value);
    return 1;
}
