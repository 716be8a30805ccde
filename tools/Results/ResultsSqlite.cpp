// The results store in one SQLite file.
#include <sqlite3.h>

#include <cstring>
#include <ctime>

#include "ResultsStore.h"

struct _store {
    sqlite3 *db;
    long rows;  // written by the open insert, for storeFaultAfter
    int code;   // the last error's result code
};

namespace {

int _error(_store *aS, std::string *aErrP, const char *aWhatP)
{
    aS->code = sqlite3_errcode(aS->db);
    *aErrP = std::string(aWhatP) + ": " + sqlite3_errmsg(aS->db);
    return -1;
}

// A prepared statement that finalizes itself.
struct _stmt {
    sqlite3_stmt *st = nullptr;
    _stmt(_store *aS, const char *aSqlP) { sqlite3_prepare_v2(aS->db, aSqlP, -1, &st, nullptr); }
    ~_stmt() { sqlite3_finalize(st); }
    _stmt &text(int aI, const std::string &aV)
    {
        sqlite3_bind_text(st, aI, aV.data(), (int)aV.size(), SQLITE_TRANSIENT);
        return *this;
    }
    _stmt &integer(int aI, long long aV)
    {
        sqlite3_bind_int64(st, aI, aV);
        return *this;
    }
    _stmt &real(int aI, double aV)
    {
        sqlite3_bind_double(st, aI, aV);
        return *this;
    }
    _stmt &blob(int aI, const std::string &aV)
    {
        sqlite3_bind_blob(st, aI, aV.data(), (int)aV.size(), SQLITE_TRANSIENT);
        return *this;
    }
    std::string column(int aI) const
    {
        const unsigned char *p = sqlite3_column_text(st, aI);
        return p ? std::string((const char *)p, (size_t)sqlite3_column_bytes(st, aI)) : std::string();
    }
};

// Runs a write; counts it against the test fault.
int _write(_store *aS, _stmt &aSt, std::string *aErrP)
{
    if (!aSt.st)
        return _error(aS, aErrP, "prepare");
    if (storeFaultAfter >= 0 && aS->rows >= storeFaultAfter) {
        *aErrP = "write failed (test fault after " + std::to_string(storeFaultAfter) + " rows)";
        return -1;
    }
    if (sqlite3_step(aSt.st) != SQLITE_DONE)
        return _error(aS, aErrP, "write");
    ++aS->rows;
    return 0;
}

_store *_open(const std::string &aWhere, std::string *aErrP)
{
    _store *s = new _store{nullptr, 0, 0};
    if (sqlite3_open_v2(aWhere.c_str(), &s->db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        *aErrP = "cannot open " + aWhere + ": " + (s->db ? sqlite3_errmsg(s->db) : "out of memory");
        sqlite3_close(s->db);
        delete s;
        return nullptr;
    }
    sqlite3_busy_timeout(s->db, 5000);
    // Readers never wait for a writer, and a commit is one write of the log, not a rewrite of the
    // file: a hub answering pages while runs arrive. Safe against a killed process as before.
    sqlite3_exec(s->db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
    sqlite3_exec(s->db, "PRAGMA foreign_keys = ON;", nullptr, nullptr, nullptr);
    return s;
}

void _close(_store *aS)
{
    sqlite3_close(aS->db);
    delete aS;
}

int _script(_store *aS, const char *aSqlP, std::string *aErrP)
{
    char *msg = nullptr;
    if ((aS->code = sqlite3_exec(aS->db, aSqlP, nullptr, nullptr, &msg)) != SQLITE_OK) {
        *aErrP = msg ? msg : "error";
        sqlite3_free(msg);
        return -1;
    }
    return 0;
}

int _begin(_store *aS, std::string *aErrP)
{
    aS->rows = 0;
    // Taken for writing at once, so two importers never interleave.
    return _script(aS, "BEGIN IMMEDIATE;", aErrP);
}

int _commit(_store *aS, std::string *aErrP)
{
    return _script(aS, "COMMIT;", aErrP);
}

void _rollback(_store *aS)
{
    if (!sqlite3_get_autocommit(aS->db))
        sqlite3_exec(aS->db, "ROLLBACK;", nullptr, nullptr, nullptr);
}

// BEGIN IMMEDIATE already holds the file's one write lock.
int _migrating(_store *, std::string *)
{
    return 0;
}

long _version(_store *aS, std::string *aErrP)
{
    _stmt has(aS, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'kestrel_schema';");
    if (!has.st || sqlite3_step(has.st) != SQLITE_ROW)
        return _error(aS, aErrP, "reading the schema");
    if (sqlite3_column_int(has.st, 0) == 0)
        return 0;
    _stmt v(aS, "SELECT version FROM kestrel_schema;");
    if (!v.st || sqlite3_step(v.st) != SQLITE_ROW)
        return _error(aS, aErrP, "reading the schema version");
    return (long)sqlite3_column_int64(v.st, 0);
}

long _find(_store *aS, const std::string &aHash, std::string *aErrP)
{
    _stmt st(aS, "SELECT id FROM run WHERE hash = ?;");
    if (!st.st)
        return _error(aS, aErrP, "prepare");
    st.text(1, aHash);
    const int rc = sqlite3_step(st.st);
    if (rc == SQLITE_ROW)
        return (long)sqlite3_column_int64(st.st, 0);
    return rc == SQLITE_DONE ? 0 : _error(aS, aErrP, "find");
}

long _insert(_store *aS, const _resultsRun &aRun, const std::string &aHash, std::string *aErrP)
{
    _stmt run(aS, "INSERT INTO run (hash, label, source, args, imported) VALUES (?, ?, ?, ?, ?);");
    run.text(1, aHash).text(2, aRun.label).text(3, aRun.source).text(4, aRun.args).text(5, sStoreNowUtc());
    if (_write(aS, run, aErrP))
        return -1;
    const long long runId = sqlite3_last_insert_rowid(aS->db);
    for (size_t p = 0; p < aRun.passes.size(); ++p) {
        const _resultsPass &pass = aRun.passes[p];
        const _statsResults &r = pass.results;
        _stmt ps(aS, "INSERT INTO pass (run_id, number, seconds, version, overall_scored, overall, overall_fps)"
                     " VALUES (?, ?, ?, ?, ?, ?, ?);");
        ps.integer(1, runId).integer(2, (long long)p + 1).real(3, pass.seconds).text(4, r.version);
        ps.integer(5, r.overallB).integer(6, r.overall).real(7, r.overallFps);
        if (_write(aS, ps, aErrP))
            return -1;
        const long long passId = sqlite3_last_insert_rowid(aS->db);
        // Each statement made once and run for every row (the file's write lock is held meanwhile).
        const struct { const char *section; const std::vector<_statsField> *fields; } sectionTbl[] = {
            {"system", &r.system}, {"options", &r.options}};
        _stmt f(aS, "INSERT INTO field (pass_id, section, seq, label, value) VALUES (?, ?, ?, ?, ?);");
        for (const auto &sec : sectionTbl)
            for (size_t i = 0; i < sec.fields->size(); ++i) {
                sqlite3_reset(f.st);
                f.integer(1, passId).text(2, sec.section).integer(3, (long long)i);
                f.text(4, (*sec.fields)[i].label).text(5, (*sec.fields)[i].value);
                if (_write(aS, f, aErrP))
                    return -1;
            }
        _stmt sc(aS, "INSERT INTO score (pass_id, seq, test, scored, score, fps) VALUES (?, ?, ?, ?, ?, ?);");
        for (size_t i = 0; i < r.tests.size(); ++i) {
            const _statsTestResult &t = r.tests[i];
            sqlite3_reset(sc.st);
            sc.integer(1, passId).integer(2, (long long)i).text(3, t.name).integer(4, t.scoredB);
            sc.integer(5, t.score).real(6, t.fps);
            if (_write(aS, sc, aErrP))
                return -1;
        }
        std::string data[STORE_FRAME_TESTS];
        long cnt[STORE_FRAME_TESTS];
        sStorePackFramesAll(pass.frames, data, cnt);
        _stmt fr(aS, "INSERT INTO frames (pass_id, test, count, data) VALUES (?, ?, ?, ?);");
        for (int test = 0; test < STORE_FRAME_TESTS; ++test) {
            if (!cnt[test])
                continue;
            sqlite3_reset(fr.st);
            fr.integer(1, passId).integer(2, test).integer(3, cnt[test]).blob(4, data[test]);
            if (_write(aS, fr, aErrP))
                return -1;
        }
    }
    return (long)runId;
}

int _query(_store *aS, const char *aSqlP, const std::vector<std::string> &aParams,
           std::vector<std::vector<std::string>> *aRowsP, std::string *aErrP)
{
    _stmt st(aS, aSqlP);
    if (!st.st)
        return _error(aS, aErrP, "prepare");
    for (size_t i = 0; i < aParams.size(); ++i)
        st.text((int)i + 1, aParams[i]);
    int rc;
    while ((rc = sqlite3_step(st.st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(st.st); ++c)
            row.push_back(st.column(c));
        aRowsP->push_back(std::move(row));
    }
    return rc == SQLITE_DONE ? 0 : _error(aS, aErrP, "query");
}

int _load(_store *aS, long aId, _resultsRun *aRunP, std::string *aErrP)
{
    _stmt run(aS, "SELECT label, source, args FROM run WHERE id = ?;");
    if (!run.st)
        return _error(aS, aErrP, "prepare");
    run.integer(1, aId);
    const int rc = sqlite3_step(run.st);
    if (rc == SQLITE_DONE)
        return 0;
    if (rc != SQLITE_ROW)
        return _error(aS, aErrP, "load");
    _resultsRun out;
    out.id = aId;
    out.label = run.column(0);
    out.source = run.column(1);
    out.args = run.column(2);
    _stmt ps(aS, "SELECT id, seconds, version, overall_scored, overall, overall_fps FROM pass WHERE run_id = ?"
                 " ORDER BY number;");
    ps.integer(1, aId);
    while (ps.st && sqlite3_step(ps.st) == SQLITE_ROW) {
        const long long passId = sqlite3_column_int64(ps.st, 0);
        _resultsPass pass = {};
        pass.seconds = sqlite3_column_double(ps.st, 1);
        pass.results.version = ps.column(2);
        pass.results.overallB = sqlite3_column_int(ps.st, 3);
        pass.results.overall = (long)sqlite3_column_int64(ps.st, 4);
        pass.results.overallFps = sqlite3_column_double(ps.st, 5);
        _stmt f(aS, "SELECT section, label, value FROM field WHERE pass_id = ? ORDER BY section, seq;");
        f.integer(1, passId);
        while (f.st && sqlite3_step(f.st) == SQLITE_ROW)
            (f.column(0) == "system" ? pass.results.system : pass.results.options)
                .push_back(_statsField{f.column(1), f.column(2)});
        _stmt sc(aS, "SELECT test, scored, score, fps FROM score WHERE pass_id = ? ORDER BY seq;");
        sc.integer(1, passId);
        while (sc.st && sqlite3_step(sc.st) == SQLITE_ROW)
            pass.results.tests.push_back(_statsTestResult{sc.column(0), sqlite3_column_int(sc.st, 1),
                                                          (long)sqlite3_column_int64(sc.st, 2),
                                                          sqlite3_column_double(sc.st, 3)});
        _stmt fr(aS, "SELECT test, count, data FROM frames WHERE pass_id = ? ORDER BY test;");
        fr.integer(1, passId);
        while (fr.st && sqlite3_step(fr.st) == SQLITE_ROW) {
            const int test = sqlite3_column_int(fr.st, 0);
            const long long n = sqlite3_column_int64(fr.st, 1);
            const unsigned char *p = (const unsigned char *)sqlite3_column_blob(fr.st, 2);
            const size_t bytes = (size_t)sqlite3_column_bytes(fr.st, 2);
            if (sStoreUnpackFrames(p, bytes, n, test, &pass.frames)) {
                *aErrP = "frame times of run " + std::to_string(aId) + " test " + std::to_string(test) +
                         " are damaged";
                return -1;
            }
        }
        out.passes.push_back(pass);
    }
    *aRunP = out;
    return 1;
}

// The file locked by another program past the wait, or the disk failing or full.
int _lost(_store *aS)
{
    switch (aS->code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
    case SQLITE_READONLY:
        return 1;
    default:
        return 0;
    }
}

} // namespace

const _storeOps storeSqliteOps = {"sqlite", _open, _close, _script, _begin, _commit, _rollback,
                                  _migrating, _version, _find, _insert, _query, _load, _lost};
