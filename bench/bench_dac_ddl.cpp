// Creating the whole table catalogue (136 tables with their indexes) in PostgreSQL through the
// connector back end, beside psql running the creation script the back end writes for the same
// catalogue, each into a fresh schema in the same run.
//   REPOS_TEST_PG             the server (scripts/pg-test-server start); unset: nothing runs
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_harness.h"
#include "dacimpl.h"
#include "rda_factory.h"
#include "repos_dataaccess.h"
#include "vqdac.h"

namespace {

const char* const kSchema = "bench_ddl";
const char* const kPrefix = "bench_ddl.P_";

std::string scriptPath;

std::string server() { return std::getenv("REPOS_TEST_PG"); }

DacConnection* rawConnect() {
    DacDataSource* ds = dacCreateDataSource(0);
    VqbString info;
    DacConnection* c = nullptr;
    if (ds->configure(VqbString(server()), info, 0, 0)) c = ds->openConnection(info, 0, 0);
    if (!c) std::fprintf(stderr, "connect failed: %s\n", ds->getErrorText().asCstr());
    ds->destroy();
    return c;
}

bool freshSchema(DacConnection* c) {
    std::string q = std::string("\"") + kSchema + "\"";
    c->executeDirect(VqbString("DROP SCHEMA IF EXISTS " + q + " CASCADE"), 0);
    return c->executeDirect(VqbString("CREATE SCHEMA " + q), 0);
}

ReposDataAccess* connector(VqbString& error) {
    return createReposDataAccess(REPOS_BACKEND_CONNECTOR, VqbString(server()), VqbString(kPrefix), nullptr, error);
}

bool createCatalogue(ReposDataAccess* conn) {
    for (uint8_t catalog = 0; catalog <= 1; ++catalog) {
        ReposTableRequest request;
        request.catalog = catalog;
        request.create = 1;
        if (!conn->createTable(request)) return false;
    }
    return true;
}

class ScriptFile : public ReposDDLCallback {
public:
    explicit ScriptFile(const std::string& path) : out_(path) {}
    void writeDDL(const VqbString& statement) override { out_ << statement.str() << ";\n"; }

private:
    std::ofstream out_;
};

bool writeScript() {
    VqbString error;
    ReposDataAccess* conn = connector(error);
    if (!conn) {
        std::fprintf(stderr, "connector: %s\n", error.asCstr());
        return false;
    }
    bool ok;
    {
        ScriptFile script(scriptPath);
        conn->setDDLCallback(&script);
        ok = createCatalogue(conn);
        conn->setDDLCallback(nullptr);
    }
    conn->release();
    return ok;
}

// Only the creation is timed, not the fresh schema before it.
void record(benchmark::State& state, double seconds) { state.SetIterationTime(seconds); }

void BM_Connector(benchmark::State& state) {
    DacConnection* c = rawConnect();
    if (!c) return state.SkipWithError("no connection");
    VqbString error;
    ReposDataAccess* conn = connector(error);
    if (!conn) {
        c->close();
        return state.SkipWithError(error.asCstr());
    }
    for (auto _ : state) {
        if (!freshSchema(c)) {
            state.SkipWithError(c->getErrorText().asCstr());
            break;
        }
        auto start = std::chrono::steady_clock::now();
        if (!createCatalogue(conn)) state.SkipWithError(conn->getLastErrorMessage().asCstr());
        record(state, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    conn->release();
    c->close();
}

void BM_PsqlScript(benchmark::State& state) {
    DacConnection* c = rawConnect();
    if (!c) return state.SkipWithError("no connection");
    DacConnText text;
    std::string why;
    text.parse(server(), why);
    std::string cmd = "psql -X -q -v ON_ERROR_STOP=1 -h '" + text.get("SERVER") + "' -p '" + text.get("PORT") +
                      "' -U '" + text.get("UID") + "' -d '" + text.get("DATABASE") + "' -f '" + scriptPath +
                      "' >/dev/null";
    for (auto _ : state) {
        if (!freshSchema(c)) {
            state.SkipWithError(c->getErrorText().asCstr());
            break;
        }
        auto start = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("psql could not run the script");
        record(state, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    freshSchema(c);
    c->executeDirect(VqbString(std::string("DROP SCHEMA \"") + kSchema + "\" CASCADE"), 0);
    c->close();
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("REPOS_TEST_PG") || !*std::getenv("REPOS_TEST_PG")) {
        std::printf("bench_dac_ddl: REPOS_TEST_PG is not set (scripts/pg-test-server start); nothing measured\n");
        return 0;
    }
    scriptPath =
        (std::filesystem::temp_directory_path() / ("bench_dac_ddl_" + std::to_string(getpid()) + ".sql")).string();
    {
        DacConnection* c = rawConnect();
        if (!c || !freshSchema(c)) {
            std::printf("bench_dac_ddl: the test server cannot be prepared; nothing measured\n");
            if (c) c->close();
            return 1;
        }
        c->close();
    }
    if (!writeScript()) {
        std::printf("bench_dac_ddl: the creation script could not be written\n");
        return 1;
    }
    benchmark::RegisterBenchmark("CatalogueThroughConnector", BM_Connector)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("CatalogueScriptThroughPsql", BM_PsqlScript)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    int rc = bench::runPairs(argc, argv, "bench_dac_ddl",
                             {{"PostgreSQL catalogue creation", "CatalogueThroughConnector", "CatalogueScriptThroughPsql"}});
    std::filesystem::remove(scriptPath);
    return rc;
}
