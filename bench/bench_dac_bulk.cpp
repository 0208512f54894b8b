// Writing two-column rows into PostgreSQL: the connector's bulk loader and one prepared
// statement per row, each beside the server's own bulk path (psql \copy) in the same run.
//   REPOS_TEST_PG             the server (scripts/pg-test-server start); unset: nothing runs
//   REPOS_BENCH_DAC_ROWS      rows of the bulk loader and \copy runs (else REPOS_BENCH_ROWS,
//                             default 200000, 1000000 in a full run)
//   REPOS_BENCH_DAC_ROW_ROWS  rows of the row-by-row run (default a tenth of the above)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_harness.h"
#include "dacimpl.h"
#include "vqdac.h"

namespace {

long envRows(const char* name, long fallback) {
    const char* v = std::getenv(name);
    long n = v ? std::atol(v) : 0;
    return n > 0 ? n : fallback;
}

long bulkRows() { return envRows("REPOS_BENCH_DAC_ROWS", bench::size("REPOS_BENCH_ROWS", 200000, 1000000)); }
long rowByRowRows() { return envRows("REPOS_BENCH_DAC_ROW_ROWS", std::max(1L, bulkRows() / 10)); }

DacConnection* connect() {
    DacDataSource* ds = dacCreateDataSource(0);
    VqbString info;
    DacConnection* c = nullptr;
    if (ds->configure(VqbString(std::getenv("REPOS_TEST_PG")), info, 0, 0)) c = ds->openConnection(info, 0, 0);
    if (!c) std::fprintf(stderr, "connect failed: %s\n", ds->getErrorText().asCstr());
    ds->destroy();
    return c;
}

bool freshTable(DacConnection* c) {
    c->executeDirect(VqbString("DROP TABLE IF EXISTS bench_dac_rows"), 0);
    return c->executeDirect(VqbString("CREATE TABLE bench_dac_rows (fr_value VARCHAR(255), fr_count BIGINT)"), 0);
}

std::string value(long i) { return "value " + std::to_string(i * 7919 % 1000003); }

void BM_BulkLoader(benchmark::State& state) {
    long rows = bulkRows();
    DacConnection* c = connect();
    if (!c) return state.SkipWithError("no connection");
    for (auto _ : state) {
        state.PauseTiming();
        freshTable(c);
        state.ResumeTiming();
        DacBulkLoader* l = c->openBulkLoader(VqbString("SELECT \"fr_value\", \"fr_count\" FROM \"bench_dac_rows\""),
                                             static_cast<int>(state.range(0)));
        for (long i = 0; l && i < rows; ++i) {
            l->setValue(0, VqbDatavar(value(i)));
            l->setValue(1, VqbDatavar(static_cast<long long>(i)));
            if (!l->addRow()) {
                state.SkipWithError(l->getErrorText().asCstr());
                break;
            }
        }
        if (l && !l->flush()) state.SkipWithError(l->getErrorText().asCstr());
        if (l) l->close();
    }
    state.SetItemsProcessed(state.iterations() * rows);
    c->close();
}

void BM_RowByRow(benchmark::State& state) {
    long rows = rowByRowRows();
    DacConnection* c = connect();
    if (!c) return state.SkipWithError("no connection");
    for (auto _ : state) {
        state.PauseTiming();
        freshTable(c);
        state.ResumeTiming();
        DacStatement* s = c->prepare(VqbString("INSERT INTO bench_dac_rows (fr_value, fr_count) VALUES (?, ?)"));
        c->beginTransaction();
        for (long i = 0; s && i < rows; ++i) {
            s->bindValue(0, VqbDatavar(value(i)));
            s->bindValue(1, VqbDatavar(static_cast<long long>(i)));
            if (!s->execute(nullptr)) {
                state.SkipWithError(s->getErrorText().asCstr());
                break;
            }
        }
        c->endTransaction(true);
        if (s) s->release();
    }
    state.SetItemsProcessed(state.iterations() * rows);
    c->close();
}

// The server's own bulk path: psql \copy of a CSV file written beforehand.
void BM_PsqlCopy(benchmark::State& state) {
    long rows = bulkRows();
    DacConnText server;
    std::string why;
    server.parse(std::getenv("REPOS_TEST_PG"), why);
    DacConnection* c = connect();
    if (!c) return state.SkipWithError("no connection");
    std::string csv =
        (std::filesystem::temp_directory_path() / ("bench_dac_" + std::to_string(getpid()) + ".csv")).string();
    {
        std::ofstream out(csv);
        for (long i = 0; i < rows; ++i) out << value(i) << ',' << i << '\n';
    }
    std::string cmd = "psql -X -q -h '" + server.get("SERVER") + "' -p '" + server.get("PORT") + "' -U '" +
                      server.get("UID") + "' -d '" + server.get("DATABASE") +
                      "' -c \"\\copy bench_dac_rows (fr_value, fr_count) FROM '" + csv + "' WITH (FORMAT csv)\"";
    for (auto _ : state) {
        state.PauseTiming();
        freshTable(c);
        state.ResumeTiming();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("psql \\copy failed");
    }
    state.SetItemsProcessed(state.iterations() * rows);
    std::filesystem::remove(csv);
    c->close();
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("REPOS_TEST_PG") || !*std::getenv("REPOS_TEST_PG")) {
        std::printf("bench_dac_bulk: REPOS_TEST_PG is not set (scripts/pg-test-server start); nothing measured\n");
        return 0;
    }
    benchmark::RegisterBenchmark("PsqlCopy", BM_PsqlCopy)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("BulkLoader/batch", BM_BulkLoader)
        ->Arg(100)
        ->Arg(1000)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("PreparedRowByRow", BM_RowByRow)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return bench::runPairs(argc, argv, "bench_dac_bulk",
                           {{"PostgreSQL bulk loader, batch 100, vs psql \\copy", "BulkLoader/batch/100", "PsqlCopy"},
                            {"PostgreSQL bulk loader, batch 1000, vs psql \\copy", "BulkLoader/batch/1000", "PsqlCopy"},
                            {"PostgreSQL prepared insert per row vs psql \\copy", "PreparedRowByRow", "PsqlCopy"}});
}
