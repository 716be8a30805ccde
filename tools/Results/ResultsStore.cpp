#include "ResultsStore.h"

#include <nettle/sha2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

long storeFaultAfter = -1;

// Version n is storeMigrationTbl[n - 1]. A new version appends a script; a script never changes
// once released. Frame times are packed little-endian records (see ResultsSqlite.cpp).
const char *const storeMigrationTbl[] = {
    // 1: runs, their passes, the results files' fields and scores, frame times per test.
    "CREATE TABLE kestrel_schema (version INTEGER NOT NULL);"
    "INSERT INTO kestrel_schema (version) VALUES (0);"
    "CREATE TABLE run (id INTEGER PRIMARY KEY, hash TEXT NOT NULL UNIQUE, label TEXT NOT NULL,"
    " source TEXT NOT NULL, args TEXT NOT NULL, imported TEXT NOT NULL);"
    "CREATE TABLE pass (id INTEGER PRIMARY KEY, run_id INTEGER NOT NULL REFERENCES run(id),"
    " number INTEGER NOT NULL, seconds REAL NOT NULL, version TEXT NOT NULL, overall_scored INTEGER NOT NULL,"
    " overall INTEGER NOT NULL, overall_fps REAL NOT NULL, UNIQUE (run_id, number));"
    "CREATE TABLE field (pass_id INTEGER NOT NULL REFERENCES pass(id), section TEXT NOT NULL,"
    " seq INTEGER NOT NULL, label TEXT NOT NULL, value TEXT NOT NULL, PRIMARY KEY (pass_id, section, seq));"
    "CREATE TABLE score (pass_id INTEGER NOT NULL REFERENCES pass(id), seq INTEGER NOT NULL, test TEXT NOT NULL,"
    " scored INTEGER NOT NULL, score INTEGER NOT NULL, fps REAL NOT NULL, PRIMARY KEY (pass_id, seq));"
    "CREATE TABLE frames (pass_id INTEGER NOT NULL REFERENCES pass(id), test INTEGER NOT NULL,"
    " count INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY (pass_id, test));",
    // 2: the hub's write tokens, by hash.
    "CREATE TABLE token (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE, hash TEXT NOT NULL UNIQUE,"
    " created TEXT NOT NULL);",
    // 3: the Wine version and Direct3D settings a run had, and per pass and test the share of a
    // core other processes took (what marks a test disturbed).
    "ALTER TABLE run ADD COLUMN wine TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE run ADD COLUMN direct3d TEXT NOT NULL DEFAULT '';"
    "CREATE TABLE busy (pass_id INTEGER NOT NULL REFERENCES pass(id), test INTEGER NOT NULL,"
    " share REAL NOT NULL, PRIMARY KEY (pass_id, test));",
    // 4: what the list, the machines and the best runs read, kept per run at import (filled for
    // the runs stored before by sStoreOpen), so that their pages cost the same at a million runs.
    // A test's scores are found by its name.
    "CREATE TABLE machine (id INTEGER PRIMARY KEY, processor TEXT NOT NULL, adapter TEXT NOT NULL,"
    " runs INTEGER NOT NULL, latest INTEGER NOT NULL, UNIQUE (processor, adapter));"
    "ALTER TABLE run ADD COLUMN machine_id INTEGER;"
    "ALTER TABLE run ADD COLUMN passes INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE run ADD COLUMN tests INTEGER NOT NULL DEFAULT 0;"
    "CREATE INDEX run_machine ON run (machine_id, id);"
    "CREATE TABLE run_test (run_id INTEGER NOT NULL REFERENCES run(id), test INTEGER NOT NULL,"
    " mean REAL NOT NULL, passes INTEGER NOT NULL, machine_id INTEGER NOT NULL, edition TEXT NOT NULL,"
    " PRIMARY KEY (run_id, test));"
    "CREATE INDEX run_test_best ON run_test (test, mean DESC, run_id);"
    "CREATE INDEX run_test_machine ON run_test (machine_id, test, mean DESC, run_id);",
};
const long storeSchemaVersion = sizeof storeMigrationTbl / sizeof storeMigrationTbl[0];

namespace {

long _number(const std::string &aText)
{
    return aText.empty() ? 0 : std::strtol(aText.c_str(), nullptr, 10);
}

std::string _real(double aV)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", aV);
    return text;
}

// The test a score's name belongs to, -1 for none of the benchmark's.
int _testOf(const std::string &aName)
{
    for (int i = 0; i < RESULTS_TEST_NUM; ++i)
        if (aName == sResultsTestName(i))
            return i;
    return -1;
}

// The first text a pass gives for a system field.
std::string _system(const _resultsRun &aRun, const char *aLabelP)
{
    for (const _resultsPass &p : aRun.passes)
        for (const _statsField &f : p.results.system)
            if (f.label == aLabelP)
                return f.value;
    return "";
}

// Inside the open transaction: a run's machine, passes, tests and each test's mean score, as the
// list and the best runs read them.
int _summaryWrite(_storeHandle *aHP, long aId, const _resultsRun &aRun, std::string *aErrP)
{
    const _storeOps &ops = *aHP->ops;
    std::vector<std::vector<std::string>> rows;
    const std::string processor = _system(aRun, "Processor Type"), adapter = _system(aRun, "Display Adapter");
    if (ops.query(aHP->store,
                  "INSERT INTO machine (processor, adapter, runs, latest) VALUES (?, ?, 0, 0)"
                  " ON CONFLICT (processor, adapter) DO NOTHING;",
                  {processor, adapter}, &rows, aErrP) ||
        ops.query(aHP->store, "SELECT id FROM machine WHERE processor = ? AND adapter = ?;", {processor, adapter},
                  &rows, aErrP))
        return -1;
    if (rows.size() != 1 || rows[0].size() != 1) {
        *aErrP = "machine: unexpected rows";
        return -1;
    }
    const std::string machine = rows[0][0];
    double sum[RESULTS_TEST_NUM] = {};
    long n[RESULTS_TEST_NUM] = {};
    unsigned tests = 0;
    for (const _resultsPass &p : aRun.passes)
        for (const _statsTestResult &t : p.results.tests) {
            const int i = _testOf(t.name);
            if (i < 0 || !t.scoredB)
                continue;
            sum[i] += (double)t.score;
            ++n[i];
            tests |= 1u << i;
        }
    const std::string id = std::to_string(aId);
    const std::string edition = aRun.passes.empty() ? std::string() : aRun.passes[0].results.version;
    std::string sql = "INSERT INTO run_test (run_id, test, mean, passes, machine_id, edition) VALUES ";
    std::vector<std::string> params;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        if (!n[i])
            continue;
        sql += params.empty() ? "(?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?)";
        params.insert(params.end(), {id, std::to_string(i), _real(sum[i] / (double)n[i]), std::to_string(n[i]),
                                     machine, edition});
    }
    rows.clear();
    if (ops.query(aHP->store, "UPDATE run SET machine_id = ?, passes = ?, tests = ? WHERE id = ?;",
                  {machine, std::to_string(aRun.passes.size()), std::to_string(tests), id}, &rows, aErrP) ||
        (!params.empty() && ops.query(aHP->store, (sql + ";").c_str(), params, &rows, aErrP)))
        return -1;
    // Last, so that the machine's row is held only until the commit just after.
    return ops.query(aHP->store,
                     "UPDATE machine SET runs = runs + 1, latest = CASE WHEN latest < CAST(? AS INTEGER)"
                     " THEN CAST(? AS INTEGER) ELSE latest END WHERE id = CAST(? AS INTEGER);",
                     {id, id, machine}, &rows, aErrP);
}

// The summaries of the runs stored before they were kept (the migration's transaction).
int _summariseAll(_storeHandle *aHP, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "SELECT id FROM run WHERE machine_id IS NULL ORDER BY id;", {}, &rows, aErrP))
        return -1;
    for (const auto &r : rows) {
        _resultsRun run;
        const long id = _number(r[0]);
        if (aHP->ops->load(aHP->store, id, &run, aErrP) != 1 || _summaryWrite(aHP, id, run, aErrP))
            return -1;
    }
    return 0;
}

} // namespace

int sStoreOpen(const _storeOps &aOps, const std::string &aWhere, _storeHandle *aHP, std::string *aErrP)
{
    aHP->ops = &aOps;
    aHP->store = aOps.open(aWhere, aErrP);
    if (!aHP->store)
        return -1;
    for (;;) {
        const long have = aOps.version(aHP->store, aErrP);
        if (have < 0)
            break;
        if (have > storeSchemaVersion) {
            *aErrP = "the database has schema version " + std::to_string(have) + ", newer than this program's " +
                     std::to_string(storeSchemaVersion);
            break;
        }
        if (have == storeSchemaVersion)
            return 0;
        // One version at a time, each in its own transaction with its version number. Another
        // process may be migrating the same database: its migration is waited for, and the
        // version read again under the lock decides what is left to do.
        if (aOps.begin(aHP->store, aErrP))
            break;
        const long now = aOps.migrating(aHP->store, aErrP) ? -1 : aOps.version(aHP->store, aErrP);
        if (now != have) {
            aOps.rollback(aHP->store);
            if (now < 0)
                break;
            continue;
        }
        const std::string bump = "UPDATE kestrel_schema SET version = " + std::to_string(have + 1) + ";";
        if (aOps.script(aHP->store, storeMigrationTbl[have], aErrP) ||
            (have + 1 == 4 && _summariseAll(aHP, aErrP)) || aOps.script(aHP->store, bump.c_str(), aErrP) ||
            aOps.commit(aHP->store, aErrP)) {
            aOps.rollback(aHP->store);
            *aErrP = "schema migration to version " + std::to_string(have + 1) + " failed: " + *aErrP;
            break;
        }
    }
    sStoreClose(aHP);
    return -1;
}

void sStoreClose(_storeHandle *aHP)
{
    if (aHP->store)
        aHP->ops->close(aHP->store);
    aHP->store = nullptr;
}

const _storeOps &sStoreOpsFor(const std::string &aWhere)
{
    for (const char *scheme : {"postgresql://", "postgres://"})
        if (aWhere.compare(0, std::strlen(scheme), scheme) == 0)
            return storePgOps;
    return storeSqliteOps;
}

// What a run has beside its files' fields (schema 3), inside the open insert: the same statements
// on every backend.
static int _insertWatch(_storeHandle *aHP, long aId, const _resultsRun &aRun, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    const std::string id = std::to_string(aId);
    if (aHP->ops->query(aHP->store, "UPDATE run SET wine = ?, direct3d = ? WHERE id = CAST(? AS INTEGER);",
                        {aRun.wine, aRun.direct3d, id}, &rows, aErrP))
        return -1;
    // Every pass's shares in one statement: (pass number, test, share) rows joined to the passes.
    std::string values;
    std::vector<std::string> params;
    for (size_t p = 0; p < aRun.passes.size(); ++p)
        for (int t = 0; t < RESULTS_TEST_NUM; ++t) {
            const double share = aRun.passes[p].busy[t];
            if (share < 0)
                continue;
            char text[32];
            std::snprintf(text, sizeof text, "%.4f", share);
            values += std::string(values.empty() ? "" : ", ") +
                      "(CAST(? AS INTEGER), CAST(? AS INTEGER), CAST(? AS REAL))";
            params.insert(params.end(), {std::to_string(p + 1), std::to_string(t), text});
        }
    if (values.empty())
        return 0;
    params.push_back(id);
    return aHP->ops->query(aHP->store,
                           ("INSERT INTO busy (pass_id, test, share) SELECT p.id, v.column2, v.column3 FROM (VALUES " +
                            values + ") AS v JOIN pass p ON p.number = v.column1 WHERE p.run_id = CAST(? AS INTEGER);")
                               .c_str(),
                           params, &rows, aErrP);
}

int sStoreLoad(_storeHandle *aHP, long aId, _resultsRun *aRunP, std::string *aErrP)
{
    const int rc = aHP->ops->load(aHP->store, aId, aRunP, aErrP);
    if (rc != 1)
        return rc;
    std::vector<std::vector<std::string>> rows;
    const std::string id = std::to_string(aId);
    if (aHP->ops->query(aHP->store, "SELECT wine, direct3d FROM run WHERE id = CAST(? AS INTEGER);", {id}, &rows,
                        aErrP))
        return -1;
    if (!rows.empty() && rows[0].size() == 2) {
        aRunP->wine = rows[0][0];
        aRunP->direct3d = rows[0][1];
    }
    rows.clear();
    if (aHP->ops->query(aHP->store,
                        "SELECT pass.number, busy.test, busy.share FROM busy JOIN pass ON pass.id = busy.pass_id"
                        " WHERE pass.run_id = CAST(? AS INTEGER);",
                        {id}, &rows, aErrP))
        return -1;
    for (const std::vector<std::string> &r : rows) {
        const long number = r.size() == 3 ? std::atol(r[0].c_str()) : 0;
        const int test = r.size() == 3 ? std::atoi(r[1].c_str()) : -1;
        if (number >= 1 && (size_t)number <= aRunP->passes.size() && test >= 0 && test < RESULTS_TEST_NUM)
            aRunP->passes[(size_t)number - 1].busy[test] = std::atof(r[2].c_str());
    }
    return 1;
}

std::string sStoreText(const std::string &aText, size_t aMax)
{
    std::string out = sResultsUtf8(aText);
    for (size_t at; (at = out.find('\0')) != std::string::npos;)
        out.replace(at, 1, "\xEF\xBF\xBD");
    if (out.size() > aMax) {
        size_t cut = aMax;
        while (cut > 0 && ((unsigned char)out[cut] & 0xC0) == 0x80)
            --cut;
        out.resize(cut);
    }
    return out;
}

int sStoreLost(_storeHandle *aHP)
{
    return aHP->store ? aHP->ops->lost(aHP->store) : 1;
}

int sStoreImport(_storeHandle *aHP, const _resultsRun &aRunIn, const std::string &aHash, long *aIdP, std::string *aErrP)
{
    const _storeOps &ops = *aHP->ops;
    // Every text as valid UTF-8, whatever code page the machine wrote it in.
    _resultsRun aRun = aRunIn;
    for (std::string *t : {&aRun.label, &aRun.source, &aRun.args, &aRun.wine, &aRun.direct3d})
        *t = sStoreText(*t);
    for (_resultsPass &p : aRun.passes) {
        p.results.version = sStoreText(p.results.version);
        for (std::vector<_statsField> *fields : {&p.results.system, &p.results.options})
            for (_statsField &f : *fields)
                f.label = sStoreText(f.label), f.value = sStoreText(f.value);
        for (_statsTestResult &t : p.results.tests)
            t.name = sStoreText(t.name);
    }
    if (ops.begin(aHP->store, aErrP))
        return -1;
    const long found = ops.find(aHP->store, aHash, aErrP);
    if (found != 0) {
        ops.rollback(aHP->store);
        *aIdP = found;
        return found > 0 ? 0 : -1;
    }
    const long id = ops.insert(aHP->store, aRun, aHash, aErrP);
    if (id < 0 || _insertWatch(aHP, id, aRun, aErrP) || _summaryWrite(aHP, id, aRun, aErrP) ||
        ops.commit(aHP->store, aErrP)) {
        ops.rollback(aHP->store);
        // Another writer may have stored the same run meanwhile (the hash is unique): that is
        // the run stored once, not a failure.
        std::string ignored;
        const long other = ops.find(aHP->store, aHash, &ignored);
        if (other > 0) {
            *aIdP = other;
            return 0;
        }
        return -1;
    }
    *aIdP = id;
    return 1;
}

std::string sStoreHash(const std::string &aBytes)
{
    sha256_ctx ctx;
    sha256_init(&ctx);
    sha256_update(&ctx, aBytes.size(), (const uint8_t *)aBytes.data());
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&ctx, sizeof digest, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : digest)
        out += hex[b >> 4], out += hex[b & 15];
    return out;
}

namespace {

// A text for LIKE, its own wildcards taken literally.
std::string _like(const std::string &aText)
{
    std::string out = "%";
    for (char c : aText) {
        if (c == '%' || c == '_' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "%";
}

} // namespace

// The runs of the machines whose adapter and processor hold the texts given (none: no condition).
// The machines' own counts say how many runs that leaves: many, and the runs are best read in the
// page's order until enough match ("+": not by the machine's index); few, and by their machines,
// then sorted.
int _machineFilter(_storeHandle *aHP, const std::string &aAdapter, const std::string &aProcessor, const char *aColumnP,
                   std::string *aSqlP, std::vector<std::string> *aParamsP, std::string *aErrP)
{
    std::string machines;
    std::vector<std::string> params;
    const struct { const char *column; const std::string *text; } filterTbl[] = {
        {"adapter", &aAdapter}, {"processor", &aProcessor}};
    for (const auto &f : filterTbl)
        if (!f.text->empty()) {
            machines += std::string(" AND ") + f.column + " LIKE ? ESCAPE '\\'";
            params.push_back(_like(*f.text));
        }
    if (machines.empty())
        return 0;
    std::vector<std::vector<std::string>> share;
    if (aHP->ops->query(aHP->store,
                        ("SELECT (SELECT sum(runs) FROM machine WHERE 1 = 1" + machines +
                         "), (SELECT sum(runs) FROM machine);").c_str(),
                        params, &share, aErrP))
        return -1;
    const bool manyB = share.size() == 1 && share[0].size() == 2 && _number(share[0][0]) * 50 >= _number(share[0][1]);
    *aSqlP += std::string(manyB ? " AND +" : " AND ") + aColumnP + " IN (SELECT id FROM machine WHERE 1 = 1" +
              machines + ")";
    aParamsP->insert(aParamsP->end(), params.begin(), params.end());
    return 0;
}

int sStoreList(_storeHandle *aHP, const _storeFilter &aF, std::vector<_storeRunRow> *aRowsP, std::string *aErrP)
{
    // Only the filters given, so that each database plans for what is asked.
    std::string sql = "SELECT r.id, r.imported, r.label, r.source, r.passes, m.adapter, m.processor, r.tests"
                      " FROM run r LEFT JOIN machine m ON m.id = r.machine_id WHERE 1 = 1";
    std::vector<std::string> params;
    if (aF.before > 0) {
        sql += " AND r.id < ?";
        params.push_back(std::to_string(aF.before));
    }
    if (_machineFilter(aHP, aF.adapter, aF.processor, "r.machine_id", &sql, &params, aErrP))
        return -1;
    sql += " ORDER BY r.id DESC LIMIT ?;";
    params.push_back(std::to_string(aF.limit));
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, sql.c_str(), params, &rows, aErrP))
        return -1;
    for (const auto &r : rows) {
        if (r.size() != 8) {
            *aErrP = "list: unexpected columns";
            return -1;
        }
        aRowsP->push_back(_storeRunRow{_number(r[0]), r[1], r[2], r[3], r[5], r[6], _number(r[4]),
                                       (unsigned)std::strtoul(r[7].c_str(), nullptr, 10)});
    }
    return 0;
}

int sStoreBest(_storeHandle *aHP, const _storeBestQuery &aQ, std::vector<_storeBestRow> *aRowsP, std::string *aErrP)
{
    // The conditions after the test's, and which machines match: asked once for all tests.
    std::string where;
    std::vector<std::string> params;
    if (!aQ.edition.empty()) {
        where += " AND t.edition = ?";
        params.push_back(aQ.edition);
    }
    if (_machineFilter(aHP, aQ.adapter, aQ.processor, "t.machine_id", &where, &params, aErrP))
        return -1;
    if (!aQ.option.empty()) {
        where += " AND EXISTS (SELECT 1 FROM pass p JOIN field f ON f.pass_id = p.id WHERE p.run_id = t.run_id"
                 " AND p.number = 1 AND f.section = 'options' AND f.label = ? AND f.value = ?)";
        params.push_back(aQ.option);
        params.push_back(aQ.optionValue);
    }
    // Each test its own ordered, limited branch (read from the test's index), all in one statement.
    std::string sql;
    std::vector<std::string> all;
    for (int test = 0; test < RESULTS_TEST_NUM; ++test) {
        if (aQ.test >= 0 && test != aQ.test)
            continue;
        sql += std::string(sql.empty() ? "" : " UNION ALL ") +
               "SELECT * FROM (SELECT t.test, t.run_id, r.label, t.mean, t.passes, m.adapter, m.processor"
               " FROM run_test t JOIN run r ON r.id = t.run_id JOIN machine m ON m.id = t.machine_id"
               " WHERE t.test = ?" + where + " ORDER BY t.mean DESC, t.run_id LIMIT ?) AS b" + std::to_string(test);
        all.push_back(std::to_string(test));
        all.insert(all.end(), params.begin(), params.end());
        all.push_back(std::to_string(aQ.limit));
    }
    if (sql.empty())
        return 0;
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, (sql + ";").c_str(), all, &rows, aErrP))
        return -1;
    const size_t first = aRowsP->size();
    for (const auto &r : rows) {
        if (r.size() != 7) {
            *aErrP = "best: unexpected columns";
            return -1;
        }
        aRowsP->push_back(_storeBestRow{(int)_number(r[0]), _number(r[1]), r[2], r[5], r[6],
                                        std::strtod(r[3].c_str(), nullptr), _number(r[4])});
    }
    // A union's branches come in no promised order.
    std::stable_sort(aRowsP->begin() + (long)first, aRowsP->end(), [](const _storeBestRow &a, const _storeBestRow &b) {
        return a.test != b.test ? a.test < b.test : a.mean != b.mean ? a.mean > b.mean : a.id < b.id;
    });
    return 0;
}

long sStoreCount(_storeHandle *aHP, std::string *aErrP)
{
    // Each run counts in its machine's row: a small table's sum, not a million rows counted.
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "SELECT sum(runs) FROM machine;", {}, &rows, aErrP))
        return -1;
    return rows.size() == 1 && rows[0].size() == 1 ? _number(rows[0][0]) : -1;
}

int sStoreMachines(_storeHandle *aHP, const std::string &aProcessor, const std::string &aAdapter, long aLimit,
                   std::vector<_storeMachineRow> *aRowsP, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    const bool firstB = aProcessor.empty() && aAdapter.empty();
    const std::string sql = std::string("SELECT processor, adapter, runs, latest FROM machine WHERE runs > 0") +
                            (firstB ? "" : " AND (processor > ? OR (processor = ? AND adapter > ?))") +
                            " ORDER BY processor, adapter LIMIT ?;";
    std::vector<std::string> params;
    if (!firstB)
        params = {aProcessor, aProcessor, aAdapter};
    params.push_back(std::to_string(aLimit));
    if (aHP->ops->query(aHP->store, sql.c_str(), params, &rows, aErrP))
        return -1;
    for (const auto &r : rows)
        if (r.size() == 4)
            aRowsP->push_back(_storeMachineRow{r[0], r[1], _number(r[2]), _number(r[3])});
    return 0;
}

long long sStoreFrameCount(_storeHandle *aHP, const std::vector<long> &aIds, std::string *aErrP)
{
    long long total = 0;
    for (long id : aIds) {
        std::vector<std::vector<std::string>> rows;
        if (aHP->ops->query(aHP->store,
                            "SELECT sum(f.count) FROM frames f JOIN pass p ON f.pass_id = p.id WHERE p.run_id = ?;",
                            {std::to_string(id)}, &rows, aErrP))
            return -1;
        if (rows.size() == 1 && rows[0].size() == 1)
            total += std::strtoll(rows[0][0].c_str(), nullptr, 10);
    }
    return total;
}

int sStoreTokenAdd(_storeHandle *aHP, const std::string &aName, std::string *aTokenP, std::string *aErrP)
{
    unsigned char bytes[24];
    FILE *f = std::fopen("/dev/urandom", "rb");
    const bool readB = f && std::fread(bytes, 1, sizeof bytes, f) == sizeof bytes;
    if (f)
        std::fclose(f);
    if (!readB) {
        *aErrP = "no random source (/dev/urandom)";
        return -1;
    }
    static const char hex[] = "0123456789abcdef";
    std::string token = "kt_";
    for (unsigned char b : bytes)
        token += hex[b >> 4], token += hex[b & 15];
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "INSERT INTO token (name, hash, created) VALUES (?, ?, ?);",
                        {aName, sStoreHash(token), sStoreNowUtc()}, &rows, aErrP))
        return -1;
    *aTokenP = token;
    return 0;
}

int sStoreTokenCheck(_storeHandle *aHP, const std::string &aToken, std::string *aErrP)
{
    if (aToken.empty())
        return 0;
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "SELECT count(*) FROM token WHERE hash = ?;", {sStoreHash(aToken)}, &rows, aErrP))
        return -1;
    return rows.size() == 1 && rows[0].size() == 1 && _number(rows[0][0]) > 0 ? 1 : 0;
}

int sStoreTokenList(_storeHandle *aHP, std::vector<std::string> *aLinesP, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "SELECT name, created FROM token ORDER BY name;", {}, &rows, aErrP))
        return -1;
    for (const auto &r : rows)
        if (r.size() == 2)
            aLinesP->push_back(r[0] + "\t" + r[1]);
    return 0;
}

int sStoreTokenRemove(_storeHandle *aHP, const std::string &aName, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "DELETE FROM token WHERE name = ? RETURNING name;", {aName}, &rows, aErrP))
        return -1;
    return rows.empty() ? 0 : 1;
}

namespace {

const size_t FRAME_BYTES = 4 + 5 * 8;

void _put(std::string &aOut, uint64_t aV, int aBytes)
{
    for (int i = 0; i < aBytes; ++i)
        aOut += (char)(uint8_t)(aV >> (8 * i));
}

uint64_t _get(const unsigned char *aP, int aBytes)
{
    uint64_t v = 0;
    for (int i = 0; i < aBytes; ++i)
        v |= (uint64_t)aP[i] << (8 * i);
    return v;
}

} // namespace

void sStorePackFramesAll(const std::vector<_statsFrame> &aFrames, std::string aDataTbl[STORE_FRAME_TESTS],
                         long aCntTbl[STORE_FRAME_TESTS])
{
    for (int t = 0; t < STORE_FRAME_TESTS; ++t)
        aDataTbl[t].clear(), aCntTbl[t] = 0;
    for (const _statsFrame &f : aFrames) {
        if (f.test < 0 || f.test >= STORE_FRAME_TESTS)
            continue;
        std::string &out = aDataTbl[f.test];
        _put(out, (uint32_t)f.frame, 4);
        for (double v : {f.ms, f.deltaMs, f.updateMs, f.drawMs, f.presentMs}) {
            uint64_t bits;
            std::memcpy(&bits, &v, 8);
            _put(out, bits, 8);
        }
        ++aCntTbl[f.test];
    }
}

std::string sStorePackFrames(const std::vector<_statsFrame> &aFrames, int aTest, long *aCntP)
{
    std::string out;
    long n = 0;
    for (const _statsFrame &f : aFrames) {
        if (f.test != aTest)
            continue;
        _put(out, (uint32_t)f.frame, 4);
        for (double v : {f.ms, f.deltaMs, f.updateMs, f.drawMs, f.presentMs}) {
            uint64_t bits;
            std::memcpy(&bits, &v, 8);
            _put(out, bits, 8);
        }
        ++n;
    }
    *aCntP = n;
    return out;
}

int sStoreUnpackFrames(const unsigned char *aP, size_t aBytes, long long aCnt, int aTest,
                       std::vector<_statsFrame> *aFramesP)
{
    // The count is compared before it multiplies: a damaged one never reads past the bytes.
    if (aCnt < 0 || (unsigned long long)aCnt != aBytes / FRAME_BYTES || aBytes % FRAME_BYTES != 0 || (aCnt && !aP))
        return -1;
    for (long long i = 0; i < aCnt; ++i, aP += FRAME_BYTES) {
        _statsFrame f = {};
        f.test = aTest;
        f.frame = (int32_t)(uint32_t)_get(aP, 4);
        double *const valTbl[5] = {&f.ms, &f.deltaMs, &f.updateMs, &f.drawMs, &f.presentMs};
        for (int k = 0; k < 5; ++k) {
            const uint64_t bits = _get(aP + 4 + 8 * k, 8);
            std::memcpy(valTbl[k], &bits, 8);
        }
        aFramesP->push_back(f);
    }
    return 0;
}

std::string sStoreNowUtc()
{
    char text[32];
    const std::time_t t = std::time(nullptr);
    std::tm tm = {};
    gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}
