// Runs: the values the host sets by ordinal, the run and its statistics written in one go, and
// the report that turns the statistic rows back into one typed row per run.
#include <new>
#include <string>

#include "ncoa_rdaimpl.h"
#include "repos_cursors.h"
#include "repos_held.h"
#include "repos_tables.h"
#include "reposlog.h"
#include "vqbmessage.h"

namespace {

// The key columns of a run come first, then one statistic per column of the extended run record.
constexpr int kFirstStatistic = 4;

}  // namespace

bool NCOARDAImpl::loadRunColumns() try {
    if (!runColumns_.empty()) return true;
    for (bool extended : {false, true}) {
        bool afterSeparator = false;
        for (int32_t index = 0;; ++index) {
            const ReposColumnDef* record = getNcoaColumn(index, extended);
            if (!record->column || isReposEndRecord(record)) {
                if (afterSeparator) break;
                afterSeparator = true;
                continue;
            }
            afterSeparator = false;
            if (!VqbString(record->table).equals("NCOAEX", false)) continue;
            RunColumnInfo column;
            column.name = record->column;
            column.type = record->type;
            column.length = record->length;
            runColumns_.push_back(std::move(column));
        }
    }
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

void NCOARDAImpl::resetRunValues() {
    for (RunColumnInfo& column : runColumns_) column.value.setNull();
}

bool NCOARDAImpl::clearRunValues() try {
    resetRunValues();
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::setRunValue(int ordinal, const VqbDatavar& value) try {
    if (ordinal < 0 || static_cast<size_t>(ordinal) >= runColumns_.size()) {
        reposLog(getLogger(), 5, kSource, __LINE__, "%s", reposMessage(2040, ordinal).asCstr());
        return false;
    }
    RunColumnInfo& column = runColumns_[static_cast<size_t>(ordinal)];
    // Kept whole: the database tells whether it takes it.
    if (value.getType() == VQB_TYPE_STRING && value.asString().length() > static_cast<size_t>(column.length))
        reposLog(getLogger(), 4, kSource, __LINE__, "%s",
                 reposMessage(2041, column.name.asCstr(), column.length, value.asString().asCstr()).asCstr());
    column.value = value;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

bool NCOARDAImpl::addRun(uint32_t, uint32_t pafId, uint32_t* runId) try {
    if (!checkConnection(kSource, __LINE__)) return false;
    // The values were for this run alone, whether it is stored or not.
    struct Reset {
        NCOARDAImpl* self;
        ~Reset() { self->resetRunValues(); }
    } reset{this};
    if (runColumns_.size() < kFirstStatistic) return refuse(kSource, __LINE__, reposMessage(763));
    // Exclusive from the start: two writers that both began shared could not both go on to write.
    Transaction transaction(this, true);
    if (!transaction.begun()) return logFailure(kSource, __LINE__);
    uint32_t id = 0;
    if (!nextId(kSource, __LINE__, "NCOAEX", id)) return false;
    const VqbDatavar runKey = idValue(id);
    runColumns_[0].value = runKey;
    runColumns_[1].value = idValue(pafId);
    runColumns_[3].value = now();
    Sql head(onTable("INSERT INTO", "NCOAEX",
                     VqbString::format(" (%s, %s, %s, %s) VALUES (?,?,?,?)", runColumns_[0].name.asCstr(),
                                       runColumns_[1].name.asCstr(), runColumns_[2].name.asCstr(),
                                       runColumns_[3].name.asCstr())
                         .asCstr()));
    for (int i = 0; i < kFirstStatistic; ++i) head.bind(runColumns_[i].value);
    if (!run(kSource, __LINE__, head)) return false;

    // One statement for every statistic, rebound row by row.
    const Sql detail(onTable("INSERT INTO", "NCOAED", " (RUN_ID, SEQ_ID, DNAME, DVALUE) VALUES (?,?,?,?)"),
                     {runKey, 0, "", ""});
    const int width = getConnection()->getMaxTextLen() > 255 ? getConnection()->getMaxTextLen() : 255;
    ReposHeld<ReposDataAccessStatement> statement(
        prepareDeclared(kSource, __LINE__, detail, {{VQB_TYPE_INT, 0}, {VQB_TYPE_INT, 0}, {VQB_TYPE_STRING, 255},
                                                    {VQB_TYPE_STRING, width}}));
    if (!statement) return false;
    for (size_t n = kFirstStatistic; n < runColumns_.size(); ++n) {
        const RunColumnInfo& column = runColumns_[n];
        // Stored as text that reads back to the same value on every back end.
        const VqbDatavar value = column.value.isNull() ? VqbDatavar() : VqbDatavar(column.value.asString());
        if (!statement->setParameter(1, VqbDatavar(static_cast<int>(n - kFirstStatistic))) ||
            !statement->setParameter(2, VqbDatavar(column.name)) || !statement->setParameter(3, value) ||
            !statement->execute())
            return refuse(kSource, __LINE__, statement->getErrorMessage());
    }
    statement.reset();
    if (!transaction.commit()) return logFailure(kSource, __LINE__);
    if (runId) *runId = id;
    return true;
} catch (...) {
    return caught(__LINE__, false);
}

VqbDatavar NCOARDAImpl::typed(const VqbDatavar& value, int type) {
    if (value.isNull() || value.getType() == type) return value;
    if (type == VQB_TYPE_STRING) return VqbDatavar(value.asString());
    if (value.getType() != VQB_TYPE_STRING) {
        VqbDatavar converted(value);
        converted.setType(type);
        return converted;
    }
    // A text that is no number stays the text that was stored.
    const VqbString text = value.asString();
    bool bad = false;
    if (type == VQB_TYPE_INT) {
        const int64_t number = text.asInt64(&bad);
        return bad ? value : VqbDatavar(number);
    }
    const double number = text.asDouble(&bad);
    return bad ? value : VqbDatavar(number);
}

ReposDataAccessCursor* NCOARDAImpl::listRunReport(const VqbDate& from, const VqbDate& to, const VqbString& ncoaPaf,
                                                  int runId, int pafId, int groupId) try {
    if (!checkConnection(kSource, __LINE__)) return nullptr;
    if (runColumns_.size() < kFirstStatistic) {
        refuse(kSource, __LINE__, reposMessage(763));
        return nullptr;
    }
    ReposHeld<ReposDataCursor> report(new (std::nothrow) ReposDataCursor());
    if (!report) {
        refuse(kSource, __LINE__, reposMessage(530));
        return nullptr;
    }
    const int columns = static_cast<int>(runColumns_.size());
    report->setNumCols(columns);
    for (int i = 0; i < columns; ++i) report->setColName(i, runColumns_[static_cast<size_t>(i)].name);

    Sql sql(onTables("SELECT A.RUN_ID, A.PAF_ID, A.GRP_ID, A.EX_DATE, B.SEQ_ID, B.DVALUE FROM (%s A INNER JOIN %s "
                     "B ON A.RUN_ID=B.RUN_ID)",
                     {"NCOAEX", "NCOAED"}));
    if (!ncoaPaf.isNull()) sql.append(onTables(" INNER JOIN %s C ON A.PAF_ID=C.PAF_ID", {"NCOAPA"}));
    if (!from.isNull()) sql.condition("A.EX_DATE>=?").bind(VqbDatavar(from.asDouble()));
    if (!to.isNull()) sql.condition("A.EX_DATE<=?").bind(VqbDatavar(to.asDouble()));
    if (runId >= 0) sql.where("A.RUN_ID", runId);
    if (pafId >= 0) sql.where("A.PAF_ID", pafId);
    if (groupId >= 0) sql.where("A.GRP_ID", groupId);
    if (!ncoaPaf.isNull()) sql.where("C.NCOAPAF", VqbDatavar(ncoaPaf));
    sql.append(" ORDER BY A.RUN_ID, B.SEQ_ID");
    std::vector<ValueInfo> info;
    for (const VqbDatavar& value : sql.values())
        info.push_back({value.getType(), value.getType() == VQB_TYPE_STRING ? 255 : 0});
    ReposHeld<ReposDataAccessCursor> rows(selectLive(kSource, __LINE__, sql, info));
    if (!rows) return nullptr;

    bool first = true;
    int64_t current = 0;
    int step = 0;
    while ((step = rows->next()) == 1) {
        const VqbDatavar run = rows->getValue(0);
        if (first || run.asInt64() != current) {
            first = false;
            current = run.asInt64();
            report->addRow();
            for (int i = 0; i < kFirstStatistic; ++i)
                report->setValue(i, typed(i == 0 ? run : rows->getValue(i), runColumns_[static_cast<size_t>(i)].type));
        }
        // Any program can write statistic rows: one without a column of its own is left out.
        const VqbDatavar number = rows->getValue(4);
        const int64_t sequence = number.isNull() ? -1 : number.asInt64();
        if (sequence < 0 || sequence >= columns - kFirstStatistic) {
            reposLog(getLogger(), 4, kSource, __LINE__, "%s",
                     reposMessage(2042, std::to_string(current).c_str(), std::to_string(sequence).c_str()).asCstr());
            continue;
        }
        const int column = static_cast<int>(sequence) + kFirstStatistic;
        report->setValue(column, typed(rows->getValue(5), runColumns_[static_cast<size_t>(column)].type));
    }
    // A read that broke off would pass for a shorter report.
    if (step != 0) {
        logFailure(kSource, __LINE__);
        return nullptr;
    }
    rows.reset();
    report->reset();
    return report.release();
} catch (...) {
    return caught(__LINE__, nullptr);
}
