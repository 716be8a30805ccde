// kestrel-results: keeps benchmark runs in a database and compares them. Results files, frame-time
// records and the runner's run records are imported whole or not at all; the same content twice
// is stored once. list, show, compare and report read what is stored.

#include <signal.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ResultsCore.h"
#include "ResultsHub.h"
#include "ResultsStore.h"
#include "ToolArgs.h"

namespace {

enum { EXIT_FAILED = 2 };

const char kUsage[] =
    "usage: kestrel-results [--db FILE] import FILE...\n"
    "       kestrel-results [--db FILE] list\n"
    "       kestrel-results [--db FILE] show ID\n"
    "       kestrel-results [--db FILE] compare ID ID...\n"
    "       kestrel-results [--db FILE] report ID... --out FILE.html\n"
    "       kestrel-results [--db FILE] serve [--listen HOST:PORT] [--max-upload MB] [--threads N]\n"
    "             [--per-client N] [--connections N]\n"
    "       kestrel-results [--db FILE] token add NAME | token list | token remove NAME\n"
    "  import   results files (Kestrel.txt), frame-time records (KestrelFrames.csv) and KestrelRun's\n"
    "           run records (with the files they name); each file is stored whole or not at all, and\n"
    "           one already stored is recognised. Exit 0 when every file is stored.\n"
    "  list     one line per stored run, its id first\n"
    "  show     a run's machine, options and every test's runs and spread\n"
    "  compare  every test's mean and 95 % interval per run, differences beyond the noise marked\n"
    "           (Welch's t, p adjusted over the comparison: Benjamini-Hochberg, false-discovery rate 5 %)\n"
    "  report   the same as one self-contained HTML page with charts\n"
    "  serve    the results hub: pages and a JSON API over HTTP (default 127.0.0.1:8080; port 0:\n"
    "           any free one, printed); reading is open, storing a run needs a token\n"
    "  token add  a new write token for NAME, printed once (only its hash is kept); list names the\n"
    "           tokens, remove withdraws one at once\n"
    "  --db FILE  the database (default: $XDG_DATA_HOME/kestrel/results.db, or\n"
    "             ~/.local/share/kestrel/results.db), or a PostgreSQL server's address\n"
    "             (postgresql://USER@HOST/DATABASE, or ...?host=/socket/folder)\n"
    "  --max-upload MB  the largest request body the hub takes (default 16)\n"
    "  --threads N      pages made at once (default 8; submissions have 4 workers more)\n"
    "  --per-client N   connections one address may hold open at once (default 16)\n"
    "  --connections N  connections open at once in all (default 512)\n";

int Fail(const std::string &aMessage)
{
    std::fprintf(stderr, "kestrel-results: %s\n", aMessage.c_str());
    return EXIT_FAILED;
}

// The user's data folder, made when missing.
std::string DefaultDb()
{
    std::string base;
    if (const char *xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else if (const char *home = std::getenv("HOME"); home && home[0])
        base = std::string(home) + "/.local/share";
    else
        base = ".";
    // Each level in turn; an existing one is fine.
    std::string path;
    for (size_t at = 0; at != std::string::npos;) {
        const size_t next = base.find('/', at + 1);
        path = base.substr(0, next);
        if (!path.empty())
            mkdir(path.c_str(), 0700);
        at = next;
    }
    mkdir((base + "/kestrel").c_str(), 0700);
    return base + "/kestrel/results.db";
}

bool ParseId(const char *aText, long *aIdP)
{
    char *end = nullptr;
    const long id = std::strtol(aText, &end, 10);
    if (!*aText || *end || id <= 0)
        return false;
    *aIdP = id;
    return true;
}

int Import(_storeHandle &aH, const std::vector<std::string> &aFiles)
{
    int failed = 0;
    for (const std::string &file : aFiles) {
        _resultsRun run;
        std::string identity, err;
        if (sResultsLoad(file, &run, &identity, &err)) {
            std::fprintf(stderr, "kestrel-results: refused %s\n", err.c_str());
            failed = 1;
            continue;
        }
        long id = 0;
        const int rc = sStoreImport(&aH, run, sStoreHash(identity), &id, &err);
        if (rc < 0) {
            std::fprintf(stderr, "kestrel-results: %s not stored: %s\n", file.c_str(), err.c_str());
            failed = 1;
        } else {
            std::printf("%ld %s %s\n", id, rc ? "stored" : "already stored", file.c_str());
        }
    }
    return failed ? EXIT_FAILED : 0;
}

std::string TestList(unsigned aTests)
{
    std::string out;
    for (int i = 0; i < 32; ++i)
        if ((aTests >> i) & 1)
            out += (out.empty() ? "" : ",") + std::to_string(i);
    return out.empty() ? "-" : out;
}

int List(_storeHandle &aH)
{
    std::vector<_storeRunRow> rows;
    std::string err;
    if (sStoreList(&aH, _storeFilter{2147483647L, 0, "", ""}, &rows, &err))
        return Fail(err);
    // Oldest first, as they were imported.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const _storeRunRow &r = *it;
        std::printf("%ld\t%s\t%ld run%s\ttests %s\t%s\t%s\t%s\n", r.id, r.imported.c_str(), r.passes,
                    r.passes == 1 ? "" : "s", TestList(r.tests).c_str(),
                    r.adapter.empty() ? "-" : r.adapter.c_str(), r.processor.empty() ? "-" : r.processor.c_str(),
                    r.label.c_str());
    }
    return 0;
}

int Load(_storeHandle &aH, const std::vector<long> &aIds, std::vector<_resultsRun> *aRunsP)
{
    for (long id : aIds) {
        _resultsRun run;
        std::string err;
        const int rc = sStoreLoad(&aH, id, &run, &err);
        if (rc < 0)
            return Fail(err);
        if (rc == 0)
            return Fail("no run " + std::to_string(id) + " in the database");
        aRunsP->push_back(run);
    }
    return 0;
}

int Show(const _resultsRun &aRun)
{
    std::printf("run %ld: %s\nsource: %s\n", aRun.id, aRun.label.c_str(), aRun.source.c_str());
    if (!aRun.args.empty())
        std::printf("runner options: %s\n", aRun.args.c_str());
    if (!aRun.wine.empty())
        std::printf("Wine %s, Direct3D settings: %s\n", aRun.wine.c_str(),
                    aRun.direct3d.empty() ? "none set" : aRun.direct3d.c_str());
    if (!aRun.passes.empty()) {
        for (const _statsField &f : aRun.passes[0].results.system)
            std::printf("%-36s %s\n", f.label.c_str(), f.value.c_str());
        for (const _statsField &f : aRun.passes[0].results.options)
            std::printf("%-36s %s\n", f.label.c_str(), f.value.c_str());
    }
    _resultsSum sum;
    sResultsSummarise(aRun, &sum);
    // Two rates under two names: the results file's "FPS Average" counts passes through the frame
    // loop, the frame-time record counts frames shown.
    std::printf("\n%-16s %-28s %10s %10s %7s %9s %9s %9s %9s %8s %9s\n", "Test", "scores", "mean", "±95 %", "CV",
                "loops/s", "shown fps", "1% low", "0.1% low", "stutters", "reference");
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        const _resultsTestSum &t = sum.test[i];
        if (!t.scoresB && !t.framesB)
            continue;
        std::string values;
        for (double v : t.values)
            values += (values.empty() ? "" : " ") + std::to_string((long)v) + (t.disturbedOnlyB ? "!" : "");
        for (double v : t.disturbedValues)
            values += (values.empty() ? "" : " ") + std::to_string((long)v) + "!";
        std::printf("%-16s %-28s", sResultsTestName(i), values.empty() ? "-" : values.c_str());
        if (t.scoresB)
            std::printf(" %10.0f %10.0f %6.1f%% %9.1f", t.score.mean, t.score.ciHalf, t.score.cv * 100, t.loopRate);
        else
            std::printf(" %10s %10s %7s %9s", "-", "-", "-", "-");
        if (t.framesB)
            std::printf(" %9.1f %9.1f %9.1f %8ld", t.frames.fpsAve, t.frames.low1Fps, t.frames.low01Fps,
                        t.frames.stutterCnt);
        else
            std::printf(" %9s %9s %9s %8s", "-", "-", "-", "-");
        std::printf(" %9.0f\n", sResultsRefScore(i));
    }
    for (int i = 0; i < RESULTS_TEST_NUM; ++i)
        if (!sum.test[i].disturbedValues.empty() || sum.test[i].disturbedOnlyB) {
            std::printf("! disturbed: other processes took more than %.0f %% of a core while the test played;"
                        " left out of the mean unless every run was\n",
                        RESULTS_BUSY_LIMIT * 100);
            break;
        }
    int indexTests = 0;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i)
        indexTests += (sum.ran >> i) & 1;
    std::printf("\nKestrel Index (Kestrel's own: geometric mean of score / reference x 100) over %d test%s: ",
                indexTests, indexTests == 1 ? "" : "s");
    if (sum.index > 0)
        std::printf("%.1f\n", sum.index);
    else
        std::printf("n/a (%s)\n", sum.indexWhy.c_str());
    std::printf("loops/s: passes through the frame loop per second (the results file's FPS Average);\n"
                "shown fps: frames presented per second (the frame-time record)\n");
    if (sum.overallB)
        std::printf("Overall Score: %.0f\n", sum.overall.mean);
    return 0;
}

// Serves until SIGINT or SIGTERM, which one thread waits for and answers by stopping the hub.
int Serve(const std::string &aDb, const std::string &aListen, long aMaxMb, long aThreads, long aPerClient,
          long aConnections)
{
    _hubConfig c = {aDb, "127.0.0.1", 8080, (size_t)aMaxMb * 1024 * 1024, (int)aThreads, (int)aPerClient,
                    (int)aConnections, 0, 0};
    if (!aListen.empty()) {
        const size_t colon = aListen.rfind(':');
        char *end = nullptr;
        const long port = colon == std::string::npos ? -1 : std::strtol(aListen.c_str() + colon + 1, &end, 10);
        if (colon == 0 || port < 0 || port > 65535 || !end || *end)
            return Fail("--listen wants HOST:PORT, e.g. 127.0.0.1:8080");
        c.host = aListen.substr(0, colon);
        c.port = (int)port;
    }
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    _hub *hub = nullptr;
    int port = 0;
    std::string err;
    if (sHubOpen(c, &hub, &port, &err))
        return Fail(err);
    std::printf("listening on http://%s:%d/\n", c.host.c_str(), port);
    std::fflush(stdout);
    std::thread watcher([&] {
        int sig = 0;
        sigwait(&stopSet, &sig);
        sHubStop(hub);
    });
    const int rc = sHubRun(hub);
    // Served to the end by a signal, or failed: the watcher is woken either way.
    pthread_kill(watcher.native_handle(), SIGTERM);
    watcher.join();
    sHubClose(hub);
    return rc ? Fail("the hub stopped: cannot serve") : 0;
}

} // namespace

int main(int aArgc, char **aArgv)
{
    const int common = sToolArgsCommon(aArgc, aArgv, "kestrel-results", kUsage);
    if (common >= 0)
        return common;
    std::string db, out, command, listen;
    long maxMb = 16, threads = 8, perClient = 16, connections = 512;
    std::vector<std::string> rest;
    for (int i = 1; i < aArgc; ++i) {
        const std::string arg = aArgv[i];
        if (arg == "--db" && i + 1 < aArgc)
            db = aArgv[++i];
        else if (arg == "--out" && i + 1 < aArgc)
            out = aArgv[++i];
        else if (arg == "--listen" && i + 1 < aArgc)
            listen = aArgv[++i];
        else if (arg == "--max-upload" && i + 1 < aArgc && (maxMb = std::atol(aArgv[++i])) > 0 && maxMb <= 2000)
            ;
        else if (arg == "--threads" && i + 1 < aArgc && (threads = std::atol(aArgv[++i])) > 0 && threads <= 256)
            ;
        else if (arg == "--per-client" && i + 1 < aArgc && (perClient = std::atol(aArgv[++i])) > 0 && perClient <= 4096)
            ;
        else if (arg == "--connections" && i + 1 < aArgc && (connections = std::atol(aArgv[++i])) > 0 &&
                 connections <= 4096)
            ;
        else if (command.empty() && arg.compare(0, 2, "--") != 0)
            command = arg;
        else if (!command.empty() && arg.compare(0, 2, "--") != 0)
            rest.push_back(arg);
        else
            return sToolArgsUsage(kUsage);
    }
    std::vector<long> ids;
    if (command == "show" || command == "compare" || command == "report") {
        for (const std::string &r : rest) {
            long id;
            if (!ParseId(r.c_str(), &id))
                return sToolArgsUsage(kUsage);
            ids.push_back(id);
        }
    }
    const struct { const char *name; size_t minArgs, maxArgs; bool out; } commandTbl[] = {
        {"import", 1, 100000, false}, {"list", 0, 0, false},       {"show", 1, 1, false},
        {"compare", 2, 64, false},    {"report", 1, 64, true},     {"serve", 0, 0, false},
        {"token", 1, 2, false},
    };
    bool known = false;
    for (const auto &c : commandTbl)
        if (command == c.name)
            known = rest.size() >= c.minArgs && rest.size() <= c.maxArgs && c.out == !out.empty();
    if (!known || (command == "token" && !((rest[0] == "add" || rest[0] == "remove") && rest.size() == 2) &&
                   !(rest[0] == "list" && rest.size() == 1)))
        return sToolArgsUsage(kUsage);
    if (command == "serve")
        return Serve(db.empty() ? DefaultDb() : db, listen, maxMb, threads, perClient, connections);

    _storeHandle h = {};
    std::string err;
    if (sStoreOpen(sStoreOpsFor(db), db.empty() ? DefaultDb() : db, &h, &err))
        return Fail(err);
    int rc = 0;
    if (command == "import") {
        rc = Import(h, rest);
    } else if (command == "token" && rest[0] == "add") {
        std::string token;
        if (sStoreTokenAdd(&h, rest[1], &token, &err))
            rc = Fail("no token made for " + rest[1] + " (one a name): " + err);
        else
            std::printf("%s\n", token.c_str());
    } else if (command == "token" && rest[0] == "list") {
        std::vector<std::string> lines;
        if (sStoreTokenList(&h, &lines, &err))
            rc = Fail(err);
        for (const std::string &l : lines)
            std::printf("%s\n", l.c_str());
    } else if (command == "token") {
        const int had = sStoreTokenRemove(&h, rest[1], &err);
        if (had < 0)
            rc = Fail(err);
        else if (had == 0)
            rc = Fail("no token named " + rest[1]);
        else
            std::printf("token %s removed\n", rest[1].c_str());
    } else if (command == "list") {
        rc = List(h);
    } else {
        std::vector<_resultsRun> runs;
        rc = Load(h, ids, &runs);
        if (!rc && command == "show") {
            rc = Show(runs[0]);
        } else if (!rc && command == "compare") {
            std::fputs(sResultsCompareText(runs).c_str(), stdout);
        } else if (!rc) {
            const std::string page = sResultsReportHtml(runs, "Made by kestrel-results " KESTREL_VERSION);
            FILE *f = std::fopen(out.c_str(), "wb");
            if (!f || std::fwrite(page.data(), 1, page.size(), f) != page.size() || std::fclose(f) != 0)
                rc = Fail("cannot write " + out);
            else
                std::printf("report written to %s\n", out.c_str());
        }
    }
    sStoreClose(&h);
    return rc;
}
