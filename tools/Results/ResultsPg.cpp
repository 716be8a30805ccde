// The results store on a PostgreSQL server, for many machines writing to one place. Same schema
// and migrations as the SQLite file; a lost connection is made again at the next transaction.
#include <libpq-fe.h>

#include <map>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "ResultsStore.h"

struct _store {
    PGconn *db;
    long rows;        // written by the open insert, for storeFaultAfter
    char state[6];    // the last error's SQLSTATE, "" when it had none
    // Statements this connection has prepared, by their text: parsed and planned once, not at
    // every request. Bounded; a connection made again starts without them.
    std::map<std::string, std::string> prepared;
};

namespace {

int _error(_store *aS, std::string *aErrP, const char *aWhatP, const PGresult *aResP = nullptr)
{
    const char *code = aResP ? PQresultErrorField(aResP, PG_DIAG_SQLSTATE) : nullptr;
    std::snprintf(aS->state, sizeof aS->state, "%s", code ? code : "");
    const char *msg = aResP ? PQresultErrorMessage(aResP) : nullptr;
    if (!msg || !*msg)
        msg = PQerrorMessage(aS->db);
    std::string text = msg;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    *aErrP = std::string(aWhatP) + ": " + text;
    return -1;
}

// The schema's scripts in PostgreSQL's words: a table's own row id counts itself, integers are 64
// bits, reals double precision, bytes bytea. The scripts hold these words only as types.
std::string _dialect(const char *aSqlP)
{
    static const struct { const char *from, *to; } wordTbl[] = {
        {"INTEGER PRIMARY KEY", "BIGSERIAL PRIMARY KEY"},
        {"INTEGER", "BIGINT"},
        {"REAL", "DOUBLE PRECISION"},
        {"BLOB", "BYTEA"},
    };
    std::string out;
    for (const char *p = aSqlP; *p;) {
        bool matched = false;
        for (const auto &w : wordTbl) {
            const size_t n = std::strlen(w.from);
            const char after = p[n];
            if (std::strncmp(p, w.from, n) == 0 && (after == ' ' || after == ',' || after == ')' || after == ';') &&
                (p == aSqlP || p[-1] == ' ')) {
                out += w.to;
                p += n;
                matched = true;
                break;
            }
        }
        if (!matched)
            out += *p++;
    }
    return out;
}

// "?" places as "$1", "$2"... outside quoted text.
std::string _places(const char *aSqlP)
{
    std::string out;
    bool quotedB = false;
    int n = 0;
    for (const char *p = aSqlP; *p; ++p) {
        if (*p == '\'')
            quotedB = !quotedB;
        if (*p == '?' && !quotedB)
            out += "$" + std::to_string(++n);
        else
            out += *p;
    }
    return out;
}

// One parameter: text, or bytes sent as they are.
struct _param {
    std::string value;
    int binary;
};

struct _result {
    PGresult *res = nullptr;
    ~_result() { PQclear(res); }
    std::string text(int aRow, int aCol) const
    {
        return PQgetisnull(res, aRow, aCol) ? std::string()
                                            : std::string(PQgetvalue(res, aRow, aCol),
                                                          (size_t)PQgetlength(res, aRow, aCol));
    }
    long long integer(int aRow, int aCol) const { return std::strtoll(PQgetvalue(res, aRow, aCol), nullptr, 10); }
    double real(int aRow, int aCol) const { return std::strtod(PQgetvalue(res, aRow, aCol), nullptr); }
};

// Statements kept prepared on one connection; the rest (texts that vary with a run's rows) are
// planned each time.
const size_t PREPARED_MAX = 256;

int _exec(_store *aS, const char *aSqlP, const std::vector<_param> &aParams, _result *aResP, std::string *aErrP)
{
    std::vector<const char *> values;
    std::vector<int> lengths, formats;
    for (const _param &p : aParams) {
        values.push_back(p.value.data());
        lengths.push_back((int)p.value.size());
        formats.push_back(p.binary);
    }
    const std::string sql = _places(aSqlP);
    auto it = aS->prepared.find(sql);
    if (it == aS->prepared.end() && aS->prepared.size() < PREPARED_MAX &&
        PQtransactionStatus(aS->db) != PQTRANS_INERROR) {
        const std::string name = "k" + std::to_string(aS->prepared.size());
        _result made;
        made.res = PQprepare(aS->db, name.c_str(), sql.c_str(), (int)aParams.size(), nullptr);
        if (PQresultStatus(made.res) == PGRES_COMMAND_OK)
            it = aS->prepared.emplace(sql, name).first;
    }
    aResP->res = it != aS->prepared.end()
                     ? PQexecPrepared(aS->db, it->second.c_str(), (int)aParams.size(), values.data(), lengths.data(),
                                      formats.data(), 0)
                     : PQexecParams(aS->db, sql.c_str(), (int)aParams.size(), nullptr, values.data(), lengths.data(),
                                    formats.data(), 0);
    const ExecStatusType st = PQresultStatus(aResP->res);
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK)
        return _error(aS, aErrP, "query", aResP->res);
    return 0;
}

// aRows rows of the insert; counts them against the test fault. Its first column (the new id), or 0.
long long _write(_store *aS, const char *aSqlP, const std::vector<_param> &aParams, std::string *aErrP,
                 long aRows = 1)
{
    if (storeFaultAfter >= 0 && aS->rows + aRows > storeFaultAfter) {
        *aErrP = "write failed (test fault after " + std::to_string(storeFaultAfter) + " rows)";
        return -1;
    }
    _result r;
    if (_exec(aS, aSqlP, aParams, &r, aErrP))
        return -1;
    aS->rows += aRows;
    return PQntuples(r.res) > 0 ? r.integer(0, 0) : 0;
}

_store *_open(const std::string &aWhere, std::string *aErrP)
{
    _store *s = new _store{PQconnectdb(aWhere.c_str()), 0, "", {}};
    if (!s->db || PQstatus(s->db) != CONNECTION_OK) {
        // The address may carry a password: the message names the server's answer only.
        *aErrP = std::string("cannot connect to the database: ") + (s->db ? PQerrorMessage(s->db) : "out of memory");
        while (!aErrP->empty() && aErrP->back() == '\n')
            aErrP->pop_back();
        PQfinish(s->db);
        delete s;
        return nullptr;
    }
    PQclear(PQexec(s->db, "SET client_min_messages = warning;"));
    // The store's texts are valid UTF-8 (sStoreText): the connection says so, whatever the locale.
    PQsetClientEncoding(s->db, "UTF8");
    return s;
}

void _close(_store *aS)
{
    PQfinish(aS->db);
    delete aS;
}

int _script(_store *aS, const char *aSqlP, std::string *aErrP)
{
    const std::string sql = _dialect(aSqlP);
    _result r;
    r.res = PQexec(aS->db, sql.c_str());
    const ExecStatusType st = PQresultStatus(r.res);
    return st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK ? 0 : _error(aS, aErrP, "script", r.res);
}

// A connection the server dropped (a restart) is made again before the next transaction.
void _reset(_store *aS)
{
    PQreset(aS->db);
    aS->prepared.clear();
}

void _alive(_store *aS)
{
    if (PQstatus(aS->db) != CONNECTION_OK)
        _reset(aS);
}

int _begin(_store *aS, std::string *aErrP)
{
    aS->rows = 0;
    _alive(aS);
    if (_script(aS, "BEGIN;", aErrP) == 0)
        return 0;
    // A connection that looked alive and was not: once more on a new one.
    _reset(aS);
    return _script(aS, "BEGIN;", aErrP);
}

int _commit(_store *aS, std::string *aErrP)
{
    return _script(aS, "COMMIT;", aErrP);
}

void _rollback(_store *aS)
{
    if (PQtransactionStatus(aS->db) != PQTRANS_IDLE)
        PQclear(PQexec(aS->db, "ROLLBACK;"));
}

// A lock of this database's own, released with the transaction. Two connections creating the
// same tables at once would otherwise collide in the catalog and one of them fail.
int _migrating(_store *aS, std::string *aErrP)
{
    _result r;
    return _exec(aS, "SELECT pg_advisory_xact_lock(7391102755);", {}, &r, aErrP);
}

long _version(_store *aS, std::string *aErrP)
{
    // The catalog read as a table, with this statement's snapshot: a name lookup (to_regclass)
    // may answer from a cache that has not yet seen another connection's migration.
    _result has;
    if (_exec(aS,
              "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
              " AND tablename = 'kestrel_schema';",
              {}, &has, aErrP))
        return -1;
    if (has.integer(0, 0) == 0)
        return 0;
    _result v;
    if (_exec(aS, "SELECT version FROM kestrel_schema;", {}, &v, aErrP) || PQntuples(v.res) != 1) {
        *aErrP = "reading the schema version: " + *aErrP;
        return -1;
    }
    return (long)v.integer(0, 0);
}

long _find(_store *aS, const std::string &aHash, std::string *aErrP)
{
    _alive(aS);
    _result r;
    if (_exec(aS, "SELECT id FROM run WHERE hash = ?;", {{aHash, 0}}, &r, aErrP))
        return -1;
    return PQntuples(r.res) ? (long)r.integer(0, 0) : 0;
}

// Reals as text that reads back to the same double.
std::string _real(double aV)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", aV);
    return text;
}

_param _int(long long aV)
{
    return _param{std::to_string(aV), 0};
}

long _insert(_store *aS, const _resultsRun &aRun, const std::string &aHash, std::string *aErrP)
{
    const long long runId =
        _write(aS, "INSERT INTO run (hash, label, source, args, imported) VALUES (?, ?, ?, ?, ?) RETURNING id;",
               {{aHash, 0}, {aRun.label, 0}, {aRun.source, 0}, {aRun.args, 0}, {sStoreNowUtc(), 0}}, aErrP);
    if (runId < 0)
        return -1;
    for (size_t p = 0; p < aRun.passes.size(); ++p) {
        const _resultsPass &pass = aRun.passes[p];
        const _statsResults &r = pass.results;
        const long long passId =
            _write(aS,
                   "INSERT INTO pass (run_id, number, seconds, version, overall_scored, overall, overall_fps)"
                   " VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id;",
                   {_int(runId), _int((long long)p + 1), {_real(pass.seconds), 0}, {r.version, 0}, _int(r.overallB),
                    _int(r.overall), {_real(r.overallFps), 0}},
                   aErrP);
        if (passId < 0)
            return -1;
        // A pass's fields in one statement and its scores in another: one round trip each.
        std::string sql = "INSERT INTO field (pass_id, section, seq, label, value) VALUES ";
        std::vector<_param> params;
        const struct { const char *section; const std::vector<_statsField> *fields; } sectionTbl[] = {
            {"system", &r.system}, {"options", &r.options}};
        for (const auto &sec : sectionTbl)
            for (size_t i = 0; i < sec.fields->size(); ++i) {
                sql += params.empty() ? "(?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?)";
                params.insert(params.end(), {_int(passId), {sec.section, 0}, _int((long long)i),
                                             {(*sec.fields)[i].label, 0}, {(*sec.fields)[i].value, 0}});
            }
        if (!params.empty() && _write(aS, (sql + ";").c_str(), params, aErrP, (long)params.size() / 5) < 0)
            return -1;
        sql = "INSERT INTO score (pass_id, seq, test, scored, score, fps) VALUES ";
        params.clear();
        for (size_t i = 0; i < r.tests.size(); ++i) {
            const _statsTestResult &t = r.tests[i];
            sql += params.empty() ? "(?, ?, ?, ?, ?, ?)" : ", (?, ?, ?, ?, ?, ?)";
            params.insert(params.end(), {_int(passId), _int((long long)i), {t.name, 0}, _int(t.scoredB),
                                         _int(t.score), {_real(t.fps), 0}});
        }
        if (!params.empty() && _write(aS, (sql + ";").c_str(), params, aErrP, (long)params.size() / 6) < 0)
            return -1;
        // The pass's frame times, one row a test, in one statement.
        std::string data[STORE_FRAME_TESTS];
        long cnt[STORE_FRAME_TESTS];
        sStorePackFramesAll(pass.frames, data, cnt);
        sql = "INSERT INTO frames (pass_id, test, count, data) VALUES ";
        params.clear();
        for (int test = 0; test < STORE_FRAME_TESTS; ++test) {
            if (!cnt[test])
                continue;
            sql += params.empty() ? "(?, ?, ?, ?)" : ", (?, ?, ?, ?)";
            params.insert(params.end(), {_int(passId), _int(test), _int(cnt[test]), {std::move(data[test]), 1}});
        }
        if (!params.empty() && _write(aS, (sql + ";").c_str(), params, aErrP, (long)params.size() / 4) < 0)
            return -1;
    }
    return (long)runId;
}

int _query(_store *aS, const char *aSqlP, const std::vector<std::string> &aParams,
           std::vector<std::vector<std::string>> *aRowsP, std::string *aErrP)
{
    _alive(aS);
    std::vector<_param> params;
    for (const std::string &p : aParams)
        params.push_back(_param{p, 0});
    _result r;
    if (_exec(aS, aSqlP, params, &r, aErrP))
        return -1;
    for (int i = 0; i < PQntuples(r.res); ++i) {
        std::vector<std::string> row;
        for (int c = 0; c < PQnfields(r.res); ++c)
            row.push_back(r.text(i, c));
        aRowsP->push_back(std::move(row));
    }
    return 0;
}

int _load(_store *aS, long aId, _resultsRun *aRunP, std::string *aErrP)
{
    _alive(aS);
    _result run;
    if (_exec(aS, "SELECT label, source, args FROM run WHERE id = ?;", {_int(aId)}, &run, aErrP))
        return -1;
    if (PQntuples(run.res) == 0)
        return 0;
    _resultsRun out;
    out.id = aId;
    out.label = run.text(0, 0);
    out.source = run.text(0, 1);
    out.args = run.text(0, 2);
    _result ps;
    if (_exec(aS,
              "SELECT id, seconds, version, overall_scored, overall, overall_fps FROM pass WHERE run_id = ?"
              " ORDER BY number;",
              {_int(aId)}, &ps, aErrP))
        return -1;
    for (int row = 0; row < PQntuples(ps.res); ++row) {
        const long long passId = ps.integer(row, 0);
        _resultsPass pass = {};
        pass.seconds = ps.real(row, 1);
        pass.results.version = ps.text(row, 2);
        pass.results.overallB = (int)ps.integer(row, 3);
        pass.results.overall = (long)ps.integer(row, 4);
        pass.results.overallFps = ps.real(row, 5);
        _result f, sc, fr;
        if (_exec(aS, "SELECT section, label, value FROM field WHERE pass_id = ? ORDER BY section, seq;",
                  {_int(passId)}, &f, aErrP) ||
            _exec(aS, "SELECT test, scored, score, fps FROM score WHERE pass_id = ? ORDER BY seq;", {_int(passId)},
                  &sc, aErrP) ||
            _exec(aS, "SELECT test, count, data FROM frames WHERE pass_id = ? ORDER BY test;", {_int(passId)}, &fr,
                  aErrP))
            return -1;
        for (int i = 0; i < PQntuples(f.res); ++i)
            (f.text(i, 0) == "system" ? pass.results.system : pass.results.options)
                .push_back(_statsField{f.text(i, 1), f.text(i, 2)});
        for (int i = 0; i < PQntuples(sc.res); ++i)
            pass.results.tests.push_back(
                _statsTestResult{sc.text(i, 0), (int)sc.integer(i, 1), (long)sc.integer(i, 2), sc.real(i, 3)});
        for (int i = 0; i < PQntuples(fr.res); ++i) {
            const int test = (int)fr.integer(i, 0);
            const long long n = fr.integer(i, 1);
            size_t bytes = 0;
            unsigned char *data = PQunescapeBytea((const unsigned char *)PQgetvalue(fr.res, i, 2), &bytes);
            if (!data || sStoreUnpackFrames(data, bytes, n, test, &pass.frames)) {
                PQfreemem(data);
                *aErrP = "frame times of run " + std::to_string(aId) + " test " + std::to_string(test) +
                         " are damaged";
                return -1;
            }
            PQfreemem(data);
        }
        out.passes.push_back(pass);
    }
    *aRunP = out;
    return 1;
}

// The connection gone, the server shutting down or starting, out of connections or resources, or a
// conflict with another writer that a later try clears.
int _lost(_store *aS)
{
    if (PQstatus(aS->db) != CONNECTION_OK)
        return 1;
    const std::string st = aS->state;
    return st.compare(0, 2, "08") == 0 || st.compare(0, 2, "53") == 0 || st.compare(0, 3, "57P") == 0 ||
           st == "40001" || st == "40P01" || st.empty();
}

} // namespace

const _storeOps storePgOps = {"postgresql", _open, _close, _script, _begin, _commit, _rollback,
                              _migrating, _version, _find, _insert, _query, _load, _lost};
