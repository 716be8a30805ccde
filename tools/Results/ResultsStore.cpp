#include "ResultsStore.h"

#include <nettle/sha2.h>

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
};
const long storeSchemaVersion = sizeof storeMigrationTbl / sizeof storeMigrationTbl[0];

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
        if (aOps.script(aHP->store, storeMigrationTbl[have], aErrP) || aOps.script(aHP->store, bump.c_str(), aErrP) ||
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
    for (size_t p = 0; p < aRun.passes.size(); ++p)
        for (int t = 0; t < RESULTS_TEST_NUM; ++t) {
            const double share = aRun.passes[p].busy[t];
            if (share < 0)
                continue;
            char text[32];
            std::snprintf(text, sizeof text, "%.4f", share);
            if (aHP->ops->query(aHP->store,
                                "INSERT INTO busy (pass_id, test, share) SELECT id, CAST(? AS INTEGER), CAST(? AS REAL)"
                                " FROM pass WHERE run_id = CAST(? AS INTEGER) AND number = CAST(? AS INTEGER);",
                                {std::to_string(t), text, id, std::to_string(p + 1)}, &rows, aErrP))
                return -1;
        }
    return 0;
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

int sStoreImport(_storeHandle *aHP, const _resultsRun &aRun, const std::string &aHash, long *aIdP, std::string *aErrP)
{
    const _storeOps &ops = *aHP->ops;
    if (ops.begin(aHP->store, aErrP))
        return -1;
    const long found = ops.find(aHP->store, aHash, aErrP);
    if (found != 0) {
        ops.rollback(aHP->store);
        *aIdP = found;
        return found > 0 ? 0 : -1;
    }
    const long id = ops.insert(aHP->store, aRun, aHash, aErrP);
    if (id < 0 || _insertWatch(aHP, id, aRun, aErrP) || ops.commit(aHP->store, aErrP)) {
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

long _number(const std::string &aText)
{
    return aText.empty() ? 0 : std::strtol(aText.c_str(), nullptr, 10);
}

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

int sStoreList(_storeHandle *aHP, const _storeFilter &aF, std::vector<_storeRunRow> *aRowsP, std::string *aErrP)
{
    // The first pass's fields name the machine; a test counts when any pass scored it.
    static const char kColumns[] =
        "SELECT r.id AS id, r.imported AS imported, r.label AS label, r.source AS source,"
        " (SELECT count(*) FROM pass p WHERE p.run_id = r.id) AS passes,"
        " (SELECT f.value FROM field f JOIN pass p ON f.pass_id = p.id WHERE p.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Display Adapter' ORDER BY p.number LIMIT 1) AS adapter,"
        " (SELECT f.value FROM field f JOIN pass p ON f.pass_id = p.id WHERE p.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Processor Type' ORDER BY p.number LIMIT 1) AS processor,"
        " (SELECT sum(DISTINCT CAST(1 AS BIGINT) << CAST(s.seq AS INTEGER)) FROM score s JOIN pass p"
        "  ON s.pass_id = p.id WHERE p.run_id = r.id AND s.scored = 1 AND s.seq < 32) AS tests FROM run r";
    // Unfiltered, the machine's fields are looked up for the page's runs only (not for the runs an
    // offset skips, which a database may well compute and throw away).
    std::string sql;
    std::vector<std::string> params;
    if (aF.adapter.empty() && aF.processor.empty()) {
        sql = std::string(kColumns) +
              " WHERE r.id IN (SELECT id FROM run ORDER BY id DESC LIMIT ? OFFSET ?) ORDER BY r.id DESC;";
    } else {
        sql = std::string("SELECT id, imported, label, source, passes, adapter, processor, tests FROM (") + kColumns +
              ") x WHERE (? = '' OR adapter LIKE ? ESCAPE '\\') AND (? = '' OR processor LIKE ? ESCAPE '\\')"
              " ORDER BY id DESC LIMIT ? OFFSET ?;";
        params = {aF.adapter, _like(aF.adapter), aF.processor, _like(aF.processor)};
    }
    params.push_back(std::to_string(aF.limit));
    params.push_back(std::to_string(aF.offset));
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
    static const char kSql[] =
        "SELECT r.id, r.label, avg(s.score), count(*),"
        " (SELECT f.value FROM field f JOIN pass q ON f.pass_id = q.id WHERE q.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Display Adapter' ORDER BY q.number LIMIT 1),"
        " (SELECT f.value FROM field f JOIN pass q ON f.pass_id = q.id WHERE q.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Processor Type' ORDER BY q.number LIMIT 1)"
        " FROM score s JOIN pass p ON s.pass_id = p.id JOIN run r ON p.run_id = r.id"
        " WHERE s.seq = CAST(? AS INTEGER) AND s.scored = 1 AND (? = '' OR p.version = ?)"
        " AND (? = '' OR EXISTS (SELECT 1 FROM field f WHERE f.pass_id = p.id AND f.section = 'system' AND"
        "  f.label = 'Display Adapter' AND f.value LIKE ? ESCAPE '\\'))"
        " AND (? = '' OR EXISTS (SELECT 1 FROM field f WHERE f.pass_id = p.id AND f.section = 'system' AND"
        "  f.label = 'Processor Type' AND f.value LIKE ? ESCAPE '\\'))"
        " AND (? = '' OR EXISTS (SELECT 1 FROM field f WHERE f.pass_id = p.id AND f.section = 'options' AND"
        "  f.label = ? AND f.value = ?))"
        " GROUP BY r.id, r.label ORDER BY avg(s.score) DESC, r.id LIMIT ?;";
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, kSql,
                        {std::to_string(aQ.test), aQ.edition, aQ.edition, aQ.adapter, _like(aQ.adapter), aQ.processor,
                         _like(aQ.processor), aQ.option, aQ.option, aQ.optionValue, std::to_string(aQ.limit)},
                        &rows, aErrP))
        return -1;
    for (const auto &r : rows) {
        if (r.size() != 6) {
            *aErrP = "best: unexpected columns";
            return -1;
        }
        aRowsP->push_back(_storeBestRow{_number(r[0]), r[1], r[4], r[5], std::strtod(r[2].c_str(), nullptr),
                                        _number(r[3])});
    }
    return 0;
}

long sStoreCount(_storeHandle *aHP, std::string *aErrP)
{
    std::vector<std::vector<std::string>> rows;
    if (aHP->ops->query(aHP->store, "SELECT count(*) FROM run;", {}, &rows, aErrP))
        return -1;
    return rows.size() == 1 && rows[0].size() == 1 ? _number(rows[0][0]) : -1;
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
