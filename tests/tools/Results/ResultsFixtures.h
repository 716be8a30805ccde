// What the results store's and the hub's tests share: results files and frame records as Kestrel
// writes them, run records of three passes, and a fresh database on either backend.
#ifndef KESTREL_TESTS_RESULTS_FIXTURES_H
#define KESTREL_TESTS_RESULTS_FIXTURES_H

#include <libpq-fe.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "App/Bench/BenchCore.h"
#include "App/CtrlPanel/CtrlPanelCore.h"
#include "ResultsCore.h"
#include "ResultsStore.h"
#include "System/Env/Env.h"

namespace rt {

// A results file as Kestrel writes it, every test scored at aScale x its reference score.
inline std::string _results(const double *aScaleP, const char *aAdapterP)
{
    _cpEnv env = {};
    env.benchTestOption = 0x3FF;
    _cpScore scores[CP_TEST_NUM] = {}, overall = {};
    for (int i = 0; i < CP_TEST_NUM; ++i)
        cpStoreScore(scores, i, 0, aScaleP[i] / cpRefScoreRate[i] / 32.0, 0, 0);
    cpMakeOverallScore(scores, &overall);
    _cpResultInfo info = {"Test CPU", "1.000 GHz", aAdapterP, 1000, 2000, 3000, 0x700, ENV_EX_SSE2,
                          &env, scores, &overall};
    return cpMakeResultsText(info);
}

// aSeconds of frames per test at aMs each, with one long frame in the middle of each test.
inline std::string _frames(double aSeconds, double aMs, double aSpikeMs)
{
    std::string text = BENCH_FRAME_HEAD "\n";
    char line[160];
    for (int test = 0; test < CP_TEST_NUM; ++test) {
        const long n = (long)(aSeconds * 1000 / aMs);
        double t = 0;
        for (long i = 0; i < n; ++i) {
            const double d = i == n / 2 ? aSpikeMs : aMs + 0.5 * std::sin(i * 0.1);
            t += d;
            _benchFrameRec rec = {test, (int32_t)i, t, d, 1.0, aMs / 2, 1.0, {}};
            sBenchFrameLine(line, sizeof line, &rec);
            text += line;
        }
    }
    return text;
}

struct Dir {
    std::string path;
    bool keep = false;
    Dir()
    {
        char tmpl[] = "/tmp/kestrel-results-XXXXXX";
        path = mkdtemp(tmpl);
    }
    // A folder the caller owns, kept.
    explicit Dir(const char *aPathP) : path(aPathP), keep(true) {}
    ~Dir()
    {
        if (!keep)
            std::system(("rm -rf '" + path + "'").c_str());
    }
    std::string Write(const std::string &aName, const std::string &aText) const
    {
        const std::string p = path + "/" + aName;
        FILE *f = std::fopen(p.c_str(), "wb");
        std::fwrite(aText.data(), 1, aText.size(), f);
        std::fclose(f);
        return p;
    }
};

// A run record of three passes on one machine, each at its scale.
inline std::string _record(const Dir &aDir, const char *aPrefix, const char *aAdapterP, const double (*aScale)[CP_TEST_NUM],
                    double aFrameMs)
{
    _statsRecord rec;
    rec.started = "2026-12-08 05:00:00";
    rec.args = "--runs 3 --frametime";
    for (long k = 1; k <= 3; ++k) {
        const std::string r = std::string(aPrefix) + "-" + std::to_string(k) + ".txt";
        const std::string f = std::string(aPrefix) + "Frames-" + std::to_string(k) + ".csv";
        aDir.Write(r, _results(aScale[k - 1], aAdapterP));
        aDir.Write(f, _frames(2, aFrameMs + k, 80));
        rec.runs.push_back({k, 60, r, f});
    }
    return aDir.Write(std::string(aPrefix) + ".run", sStatsWriteRecord(rec));
}

// A fresh, empty database on one backend: an SQLite file, or a database of its own on the test
// cluster (KESTREL_PG, the maintenance database's address, set by the ctest fixture), dropped after.
struct Db {
    const _storeOps *ops;
    std::string where, error;
    Dir dir;
    std::string pgAdmin, pgName;

    explicit Db(const std::string &aBackend)
    {
        if (aBackend == "sqlite") {
            ops = &storeSqliteOps;
            where = dir.path + "/results.db";
            return;
        }
        ops = &storePgOps;
        const char *admin = std::getenv("KESTREL_PG");
        if (!admin || !*admin) {
            error = "KESTREL_PG is not set (the ctest fixture starts the cluster and sets it)";
            return;
        }
        static int n = 0;
        pgAdmin = admin;
        pgName = "kt_" + std::to_string(getpid()) + "_" + std::to_string(++n);
        error = _admin("CREATE DATABASE " + pgName);
        const size_t q = pgAdmin.find('?');
        where = "postgresql:///" + pgName + (q == std::string::npos ? "" : pgAdmin.substr(q));
    }
    ~Db()
    {
        if (!pgName.empty())
            _admin("DROP DATABASE IF EXISTS " + pgName + " WITH (FORCE)");
    }
    std::string _admin(const std::string &aSql) const
    {
        PGconn *c = PQconnectdb(pgAdmin.c_str());
        PGresult *r = PQexec(c, aSql.c_str());
        std::string err = PQresultStatus(r) == PGRES_COMMAND_OK ? "" : PQerrorMessage(c);
        PQclear(r);
        PQfinish(c);
        return err;
    }
};

inline long _count(_storeHandle &aH, const char *aTableP)
{
    std::vector<std::vector<std::string>> rows;
    std::string err;
    if (aH.ops->query(aH.store, (std::string("SELECT count(*) FROM ") + aTableP + ";").c_str(), {}, &rows, &err))
        return -1;
    return std::atol(rows.at(0).at(0).c_str());
}


inline const double kMachineA[3][CP_TEST_NUM] = {
    {1.00, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 40.0, 1.0, 1.00},
    {1.01, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 40.5, 1.0, 1.20},
    {0.99, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 39.5, 1.0, 0.85},
};
// Game1 (Low) 20 % faster, Your Fighter 10 % faster but noisy.
inline const double kMachineB[3][CP_TEST_NUM] = {
    {1.20, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 40.0, 1.0, 1.25},
    {1.21, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 40.5, 1.0, 0.90},
    {1.19, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 39.5, 1.0, 1.15},
};


} // namespace rt

#endif
