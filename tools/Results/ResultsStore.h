#ifndef KESTREL_TOOLS_RESULTS_RESULTSSTORE_H
#define KESTREL_TOOLS_RESULTS_RESULTSSTORE_H

// The results store: sets of runs kept by their content, behind a small table of operations so
// that another database can stand in for SQLite on the same schema. The schema grows by numbered
// migrations, each applied once in its own transaction.

#include <string>
#include <vector>

#include "ResultsCore.h"

// One line of the list.
struct _storeRunRow {
    long id;
    std::string imported;  // UTC, ISO 8601
    std::string label, source, adapter, processor;
    long passes;
    unsigned tests;        // bit n: test n scored in some pass
};

struct _store;

struct _storeOps {
    const char *name;
    _store *(*open)(const std::string &aWhere, std::string *aErrP);
    void (*close)(_store *aStoreP);
    // Runs one SQL script of the schema (several statements) inside the open transaction.
    int (*script)(_store *aStoreP, const char *aSqlP, std::string *aErrP);
    int (*begin)(_store *aStoreP, std::string *aErrP);
    int (*commit)(_store *aStoreP, std::string *aErrP);
    void (*rollback)(_store *aStoreP);
    // Inside the open transaction: waits until no other connection is migrating the schema, and
    // keeps them out until the transaction ends.
    int (*migrating)(_store *aStoreP, std::string *aErrP);
    // The schema version in force (0 for an empty database), -1 on error.
    long (*version)(_store *aStoreP, std::string *aErrP);
    // Id of the run with that content, 0 when none, -1 on error.
    long (*find)(_store *aStoreP, const std::string &aHash, std::string *aErrP);
    // Inserts a run with its passes inside the open transaction: the new id, or -1.
    long (*insert)(_store *aStoreP, const _resultsRun &aRun, const std::string &aHash, std::string *aErrP);
    // A statement with text parameters in "?" places, its rows' columns as text (NULL as "").
    int (*query)(_store *aStoreP, const char *aSqlP, const std::vector<std::string> &aParams,
                 std::vector<std::vector<std::string>> *aRowsP, std::string *aErrP);
    // 1 loaded, 0 no such run, -1 error.
    int (*load)(_store *aStoreP, long aId, _resultsRun *aRunP, std::string *aErrP);
    // After an error: 1 when it means the store cannot be reached now (server gone, busy, disk
    // full), so the same request may succeed later; 0 when the store refused the request itself.
    int (*lost)(_store *aStoreP);
};

extern const _storeOps storeSqliteOps;
extern const _storeOps storePgOps;

// The backend a --db names: a postgresql:// or postgres:// address, else an SQLite file.
const _storeOps &sStoreOpsFor(const std::string &aWhere);

// The schema, one script per version; scripts keep to SQL that SQLite and PostgreSQL share.
extern const char *const storeMigrationTbl[];
extern const long storeSchemaVersion;

struct _storeHandle {
    const _storeOps *ops;
    _store *store;
};

// Opens (creating when needed) and brings the schema up to date, also when other processes open
// the same new database at the same moment. 0, or -1 with the reason.
int sStoreOpen(const _storeOps &aOps, const std::string &aWhere, _storeHandle *aHP, std::string *aErrP);
void sStoreClose(_storeHandle *aHP);
// Stores a run whole or not at all. 1 stored, 0 already stored (same content), -1 error; *aIdP
// the run's id either way.
int sStoreImport(_storeHandle *aHP, const _resultsRun &aRun, const std::string &aHash, long *aIdP, std::string *aErrP);
// A stored run with everything kept of it: 1 loaded, 0 no such run, -1 error.
int sStoreLoad(_storeHandle *aHP, long aId, _resultsRun *aRunP, std::string *aErrP);

// Which runs a list shows: newest first, at most aLimit of those older than aBefore (0: from the
// newest), where the adapter and the processor hold the given texts (empty: any). Keyset paging:
// a page costs the same at the end of a million runs as at the start.
struct _storeFilter {
    long limit, before;
    std::string adapter, processor;
};
int sStoreList(_storeHandle *aHP, const _storeFilter &aF, std::vector<_storeRunRow> *aRowsP, std::string *aErrP);
// The best runs of one test (benchmark row, its scores found by the test's name): each run's mean
// score over the passes that scored it, highest first, of the runs that match: edition (the first
// pass's results file version, exact), adapter and processor (texts held), and one option of the
// first pass ("Group/Label", its value exact). A test below 0 asks for every test's best at once
// (one statement), by test.
struct _storeBestQuery {
    int test;
    long limit;
    std::string edition, adapter, processor, option, optionValue;
};
struct _storeBestRow {
    int test;
    long id;
    std::string label, adapter, processor;
    double mean;
    long passes;
};
int sStoreBest(_storeHandle *aHP, const _storeBestQuery &aQ, std::vector<_storeBestRow> *aRowsP, std::string *aErrP);

// How many runs are stored, -1 on error.
long sStoreCount(_storeHandle *aHP, std::string *aErrP);

// The machines (processor and adapter as the first pass names them) with their run counts and
// latest run, by processor then adapter, at most aLimit after (aProcessor, aAdapter) (both empty:
// from the first).
struct _storeMachineRow {
    std::string processor, adapter;
    long runs, latest;
};
int sStoreMachines(_storeHandle *aHP, const std::string &aProcessor, const std::string &aAdapter, long aLimit,
                   std::vector<_storeMachineRow> *aRowsP, std::string *aErrP);
// Frame records the given runs hold in all, -1 on error: what loading them would cost.
long long sStoreFrameCount(_storeHandle *aHP, const std::vector<long> &aIds, std::string *aErrP);
// After a failed call: whether the store could not be reached (1) or refused the request (0).
int sStoreLost(_storeHandle *aHP);

// Text as the store keeps it: valid UTF-8 without NUL (bytes that are neither as U+FFFD), the
// same on every backend; cut to at most aMax bytes on a character's boundary.
std::string sStoreText(const std::string &aText, size_t aMax = (size_t)-1);

// Write tokens: a new one for aName (its text returned once, only its hash kept), and whether a
// text is one (1 yes, 0 no, -1 error).
int sStoreTokenAdd(_storeHandle *aHP, const std::string &aName, std::string *aTokenP, std::string *aErrP);
int sStoreTokenCheck(_storeHandle *aHP, const std::string &aToken, std::string *aErrP);
// The tokens' names with when they were made, by name; and a token withdrawn by its name (1 it
// was there, 0 no such name, -1 error).
int sStoreTokenList(_storeHandle *aHP, std::vector<std::string> *aLinesP, std::string *aErrP);
int sStoreTokenRemove(_storeHandle *aHP, const std::string &aName, std::string *aErrP);

// SHA-256 of a text, in hex: a run's identity.
std::string sStoreHash(const std::string &aBytes);

// For the backends. Frame records packed little-endian, so a database moves between machines as it
// is: frame (int32), then ms, deltaMs, updateMs, drawMs, presentMs (IEEE doubles). aTest's frames
// of aFrames, their count in *aCntP.
std::string sStorePackFrames(const std::vector<_statsFrame> &aFrames, int aTest, long *aCntP);
// Every test's frames (tests 0 to STORE_FRAME_TESTS - 1) in one reading of aFrames.
enum { STORE_FRAME_TESTS = 64 };
void sStorePackFramesAll(const std::vector<_statsFrame> &aFrames, std::string aDataTbl[STORE_FRAME_TESTS],
                         long aCntTbl[STORE_FRAME_TESTS]);
// Appends aCnt packed frames of aTest; -1 when the bytes are not aCnt records exactly.
int sStoreUnpackFrames(const unsigned char *aP, size_t aBytes, long long aCnt, int aTest,
                       std::vector<_statsFrame> *aFramesP);
// The time now, UTC, ISO 8601.
std::string sStoreNowUtc();

// Tests: an insert fails after writing this many rows (-1, the default: never), as a full disk
// or a lost connection would.
extern long storeFaultAfter;

#endif
