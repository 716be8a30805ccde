#include "ResultsStore.h"

#include <nettle/sha2.h>

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
        // One version at a time, each in its own transaction with its version number.
        if (aOps.begin(aHP->store, aErrP))
            break;
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
    if (id < 0 || ops.commit(aHP->store, aErrP)) {
        ops.rollback(aHP->store);
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
