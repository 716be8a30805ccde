// The results hub over HTTP (Debian's cpp-httplib): pages for people, JSON for programs, one store
// connection a request at a time from a small pool. Every text that came with a run is escaped
// where it is shown; every SQL statement binds its values.
#include "ResultsHub.h"

#include <httplib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "KestrelVersion.h"
#include "ResultsCore.h"

struct _hub {
    _hubConfig config;
    const _storeOps *ops;
    std::mutex poolLock;
    std::vector<_storeHandle> idle;
    httplib::Server server;
    // One SQLite file takes one writer at a time: the hub's writers queue here rather than in
    // the file's lock, whose waits are bounded.
    std::mutex sqliteWrites;
};

namespace {

enum { LIST_PAGE = 50, LIST_MAX = 5000, BEST_ROWS = 10, COMPARE_MAX = 16 };

// A store connection for one request, back to the pool after it; one that failed is closed, so
// a server restarted meanwhile gets a new one.
struct _lease {
    _hub *hub;
    _storeHandle h = {};
    std::string err;
    bool okB = false;
    explicit _lease(_hub *aHub) : hub(aHub)
    {
        {
            std::lock_guard<std::mutex> lock(hub->poolLock);
            if (!hub->idle.empty()) {
                h = hub->idle.back();
                hub->idle.pop_back();
                okB = true;
                return;
            }
        }
        okB = sStoreOpen(*hub->ops, hub->config.db, &h, &err) == 0;
    }
    ~_lease()
    {
        if (!okB)
            return;
        std::lock_guard<std::mutex> lock(hub->poolLock);
        hub->idle.push_back(h);
    }
};

std::string _num(double aV)
{
    if (!std::isfinite(aV))
        return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", aV);
    return text;
}

void _json(httplib::Response &aRes, int aStatus, const std::string &aBody)
{
    aRes.status = aStatus;
    aRes.set_content(aBody + "\n", "application/json; charset=utf-8");
}

void _jsonError(httplib::Response &aRes, int aStatus, const std::string &aMessage)
{
    _json(aRes, aStatus, "{\"error\":" + sHubJson(aMessage) + "}");
}

// The hub's navigation, on its own pages and on the reports it serves.
const char kNav[] = "<nav><a href=\"/\">Runs</a><a href=\"/machines\">Machines</a>"
                    "<a href=\"/best\">Best runs</a><a href=\"/upload\">Upload</a></nav>";

// A page in the hub's frame: its title, navigation and the body given (already escaped).
std::string _page(const std::string &aTitle, const std::string &aBody)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + sResultsHtml(aTitle) +
           " - Kestrel results</title><style>"
           "body{font:14px sans-serif;margin:1.5em;color:#222}table{border-collapse:collapse}"
           "td,th{border:1px solid #ccc;padding:3px 8px;text-align:left}th{background:#eee}"
           "nav a{margin-right:1.2em}form.f input{margin-right:.8em}"
           "</style></head><body>" +
           std::string(kNav) + "<h1>" + sResultsHtml(aTitle) + "</h1>\n" + aBody + "</body></html>\n";
}

void _html(httplib::Response &aRes, int aStatus, const std::string &aPage)
{
    aRes.status = aStatus;
    aRes.set_content(aPage, "text/html; charset=utf-8");
}

// A query value as a number in [aMin, aMax], aDefault when absent or not a number.
long _param(const httplib::Request &aReq, const char *aNameP, long aDefault, long aMin, long aMax)
{
    if (!aReq.has_param(aNameP))
        return aDefault;
    const std::string v = aReq.get_param_value(aNameP);
    char *end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    if (v.empty() || *end)
        return aDefault;
    return n < aMin ? aMin : n > aMax ? aMax : n;
}

std::string _text(const httplib::Request &aReq, const char *aNameP)
{
    // Filters are short; a longer text is cut rather than sent to the database whole.
    const std::string v = aReq.has_param(aNameP) ? aReq.get_param_value(aNameP) : std::string();
    return v.substr(0, 200);
}

// Text for a URL's query.
std::string _urlPart(const std::string &aText)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : aText) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += (char)c;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// The ids a comparison names: id=1&id=2 or ids=1,2; at most COMPARE_MAX, each once.
std::vector<long> _ids(const httplib::Request &aReq)
{
    std::vector<std::string> texts;
    for (size_t i = 0; i < aReq.get_param_value_count("id"); ++i)
        texts.push_back(aReq.get_param_value("id", i));
    if (aReq.has_param("ids")) {
        const std::string all = aReq.get_param_value("ids");
        for (size_t at = 0; at <= all.size();) {
            const size_t comma = all.find(',', at);
            texts.push_back(all.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
            at = comma == std::string::npos ? all.size() + 1 : comma + 1;
        }
    }
    std::vector<long> ids;
    for (const std::string &t : texts) {
        char *end = nullptr;
        const long id = std::strtol(t.c_str(), &end, 10);
        if (t.empty() || *end || id <= 0)
            continue;
        bool seen = false;
        for (long have : ids)
            seen = seen || have == id;
        if (!seen && ids.size() < COMPARE_MAX)
            ids.push_back(id);
    }
    return ids;
}

std::string _testsJson(unsigned aTests)
{
    std::string out = "[";
    for (int i = 0; i < 32; ++i)
        if ((aTests >> i) & 1)
            out += (out.size() > 1 ? "," : "") + std::to_string(i);
    return out + "]";
}

std::string _rowJson(const _storeRunRow &aR)
{
    return "{\"id\":" + std::to_string(aR.id) + ",\"imported\":" + sHubJson(aR.imported) +
           ",\"label\":" + sHubJson(aR.label) + ",\"source\":" + sHubJson(aR.source) +
           ",\"adapter\":" + sHubJson(aR.adapter) + ",\"processor\":" + sHubJson(aR.processor) +
           ",\"passes\":" + std::to_string(aR.passes) + ",\"tests\":" + _testsJson(aR.tests) + "}";
}

std::string _fieldsJson(const std::vector<_statsField> &aFields)
{
    std::string out = "{";
    for (size_t i = 0; i < aFields.size(); ++i)
        out += (i ? "," : "") + sHubJson(aFields[i].label) + ":" + sHubJson(aFields[i].value);
    return out + "}";
}

// Each test's spread over the passes and its frame times, as the report shows them.
std::string _summaryJson(const _resultsRun &aRun)
{
    _resultsSum sum;
    sResultsSummarise(aRun, &sum);
    int indexTests = 0;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i)
        indexTests += (sum.ran >> i) & 1;
    std::string out = "{\"index\":" + (sum.index > 0 ? _num(sum.index) : std::string("null")) +
                      ",\"indexTests\":" + std::to_string(indexTests) +
                      (sum.index > 0 ? std::string() : ",\"indexWhy\":" + sHubJson(sum.indexWhy)) + ",\"tests\":[";
    bool first = true;
    for (int i = 0; i < RESULTS_TEST_NUM; ++i) {
        const _resultsTestSum &t = sum.test[i];
        if (!t.scoresB && !t.framesB)
            continue;
        out += first ? "" : ",";
        first = false;
        out += "{\"test\":" + std::to_string(i) + ",\"name\":" + sHubJson(sResultsTestName(i));
        if (t.scoresB)
            out += ",\"runs\":" + std::to_string(t.values.size()) + ",\"mean\":" + _num(t.score.mean) +
                   ",\"ci95\":" + _num(t.score.ciHalf) + ",\"cv\":" + _num(t.score.cv) +
                   ",\"loopRate\":" + _num(t.loopRate);
        if (t.framesB)
            out += ",\"presentedFps\":" + _num(t.frames.fpsAve) + ",\"low1Fps\":" + _num(t.frames.low1Fps) +
                   ",\"low01Fps\":" + _num(t.frames.low01Fps) + ",\"stutters\":" + std::to_string(t.frames.stutterCnt);
        out += "}";
    }
    return out + "]}";
}

// Per test the share of a core other processes took while it played (null: not known), and the
// tests that were disturbed by it.
std::string _busyJson(const _resultsPass &aPass)
{
    std::string busy, disturbed;
    for (int t = 0; t < RESULTS_TEST_NUM; ++t) {
        busy += (t ? "," : "") + (aPass.busy[t] >= 0 ? _num(aPass.busy[t]) : std::string("null"));
        if (sResultsDisturbed(aPass, t))
            disturbed += (disturbed.empty() ? "" : ",") + sHubJson(sResultsTestName(t));
    }
    return ",\"busy\":[" + busy + "],\"disturbed\":[" + disturbed + "]";
}

std::string _runJson(const _resultsRun &aRun)
{
    std::string out = "{\"id\":" + std::to_string(aRun.id) + ",\"label\":" + sHubJson(aRun.label) +
                      ",\"source\":" + sHubJson(aRun.source) + ",\"args\":" + sHubJson(aRun.args) +
                      ",\"wine\":" + sHubJson(aRun.wine) + ",\"direct3d\":" + sHubJson(aRun.direct3d) + ",\"passes\":[";
    for (size_t p = 0; p < aRun.passes.size(); ++p) {
        const _resultsPass &pass = aRun.passes[p];
        const _statsResults &r = pass.results;
        out += (p ? "," : "") + std::string("{\"seconds\":") + _num(pass.seconds) + ",\"edition\":" +
               sHubJson(r.version) + ",\"overall\":" + (r.overallB ? std::to_string(r.overall) : "null") +
               ",\"system\":" + _fieldsJson(r.system) + ",\"options\":" + _fieldsJson(r.options) + ",\"scores\":[";
        for (size_t i = 0; i < r.tests.size(); ++i)
            out += (i ? "," : "") + std::string("{\"test\":") + sHubJson(r.tests[i].name) + ",\"score\":" +
                   (r.tests[i].scoredB ? std::to_string(r.tests[i].score) : "null") +
                   ",\"loopRate\":" + (r.tests[i].scoredB ? _num(r.tests[i].fps) : "null") + "}";
        out += "],\"frames\":" + std::to_string(pass.frames.size()) + _busyJson(pass) + "}";
    }
    return out + "],\"summary\":" + _summaryJson(aRun) + "}";
}

// ---- Submissions ---------------------------------------------------------------------------

struct _submitted {
    int status;          // 201 stored, 200 stored before, else refused
    long id;
    std::string error;
};

// A run from a request: the body as one file, or a form whose "run" is the results file, frame-time
// record or run record, with "frames" (a results file's frame times), "file" parts (a record's
// files, by the names it gives) and "label" (for a body alone, ?label=). Stored whole or not at all.
_submitted _submit(_hub *aHub, const httplib::Request &aReq, const std::string &aToken)
{
    _lease lease(aHub);
    if (!lease.okB)
        return {503, 0, "the store cannot be reached: " + lease.err};
    std::string err;
    const int known = sStoreTokenCheck(&lease.h, aToken, &err);
    if (known < 0)
        return {503, 0, "the store cannot be reached: " + err};
    if (known == 0)
        return {401, 0, "a valid token is needed to store runs (Authorization: Bearer TOKEN)"};

    std::string name = "upload", text, frames, label;
    std::map<std::string, std::string> files;
    if (aReq.is_multipart_form_data()) {
        if (!aReq.has_file("run"))
            return {400, 0, "the form has no \"run\" part"};
        const httplib::MultipartFormData run = aReq.get_file_value("run");
        name = run.filename.empty() ? name : run.filename;
        text = run.content;
        if (aReq.has_file("frames"))
            frames = aReq.get_file_value("frames").content;
        if (aReq.has_file("label"))
            label = aReq.get_file_value("label").content;
        for (const auto &f : aReq.files)
            if (f.first == "file")
                files[f.second.filename] = f.second.content;
    } else {
        text = aReq.body;
        label = aReq.has_param("label") ? aReq.get_param_value("label") : std::string();
    }
    const _resultsFetch fetch = [](void *aCtxP, const std::string &aName, std::string *aTextP, std::string *aErrP) {
        const std::map<std::string, std::string> &files = *(const std::map<std::string, std::string> *)aCtxP;
        auto it = files.find(aName);
        if (it == files.end()) {
            // A record's files may come by their plain names.
            const size_t cut = aName.find_last_of('/');
            it = cut == std::string::npos ? files.end() : files.find(aName.substr(cut + 1));
        }
        if (it == files.end()) {
            *aErrP = aName + ": not sent with its run record";
            return -1;
        }
        *aTextP = it->second;
        return 0;
    };
    _resultsRun run;
    std::string identity;
    if (sResultsRead(name, text, fetch, &files, &run, &identity, &err))
        return {400, 0, err};
    if (!frames.empty()) {
        if (run.passes.size() != 1 || !run.passes[0].frames.empty())
            return {400, 0, "\"frames\" goes with a results file"};
        _statsError e;
        if (sStatsReadFrames(frames.data(), frames.size(), &run.passes[0].frames, &e))
            return {400, 0, "frames:" + std::to_string(e.line) + ": " + e.reason};
        identity += "\nframes\n" + frames;
    }
    if (!label.empty())
        run.label = label.substr(0, 200);
    long id = 0;
    std::unique_lock<std::mutex> writing(aHub->sqliteWrites, std::defer_lock);
    if (aHub->ops == &storeSqliteOps)
        writing.lock();
    const int rc = sStoreImport(&lease.h, run, sStoreHash(identity), &id, &err);
    if (writing.owns_lock())
        writing.unlock();
    if (rc < 0) {
        // The connection may be what failed: a new one for the next request.
        sStoreClose(&lease.h);
        lease.okB = false;
        return {503, 0, "not stored: " + err};
    }
    return {rc ? 201 : 200, id, ""};
}

std::string _bearer(const httplib::Request &aReq)
{
    const std::string auth = aReq.get_header_value("Authorization");
    return auth.compare(0, 7, "Bearer ") == 0 ? auth.substr(7) : std::string();
}

// ---- Pages ---------------------------------------------------------------------------------

std::string _runsTable(const std::vector<_storeRunRow> &aRows, bool aPickB)
{
    std::string out = "<table><tr>" + std::string(aPickB ? "<th></th>" : "") +
                      "<th>Run</th><th>Stored (UTC)</th><th>Name</th><th>Processor</th><th>Adapter</th>"
                      "<th>Passes</th><th>Tests</th></tr>\n";
    for (const _storeRunRow &r : aRows) {
        const std::string id = std::to_string(r.id);
        std::string tests;
        for (int i = 0; i < RESULTS_TEST_NUM; ++i)
            if ((r.tests >> i) & 1)
                tests += (tests.empty() ? "" : ", ") + std::to_string(i);
        out += "<tr>" +
               (aPickB ? "<td><input type=\"checkbox\" name=\"id\" value=\"" + id + "\"></td>" : std::string()) +
               "<td><a href=\"/runs/" + id + "\">" + id + "</a></td><td>" + sResultsHtml(r.imported) + "</td><td>" +
               sResultsHtml(r.label) + "</td><td>" + sResultsHtml(r.processor) + "</td><td>" +
               sResultsHtml(r.adapter) + "</td><td>" + std::to_string(r.passes) + "</td><td>" + tests +
               "</td></tr>\n";
    }
    return out + "</table>\n";
}

void _pageRuns(_hub *aHub, const httplib::Request &aReq, httplib::Response &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _html(aRes, 503, _page("Store unavailable", "<p>" + sResultsHtml(lease.err) + "</p>"));
    const _storeFilter f = {LIST_PAGE, _param(aReq, "offset", 0, 0, 1L << 30), _text(aReq, "adapter"),
                            _text(aReq, "processor")};
    std::vector<_storeRunRow> rows;
    std::string err;
    const long total = sStoreCount(&lease.h, &err);
    if (total < 0 || sStoreList(&lease.h, f, &rows, &err))
        return _html(aRes, 500, _page("Error", "<p>" + sResultsHtml(err) + "</p>"));
    std::string body =
        "<form class=\"f\" method=\"get\" action=\"/\">Processor <input name=\"processor\" value=\"" +
        sResultsHtml(f.processor) + "\">Adapter <input name=\"adapter\" value=\"" + sResultsHtml(f.adapter) +
        "\"><button>Search</button></form>\n<p>" + std::to_string(total) + " runs stored.</p>\n"
        "<form method=\"get\" action=\"/compare\">" + _runsTable(rows, true) +
        "<p><button id=\"compare\">Compare the chosen runs</button></p></form>\n<p>";
    const std::string keep = "&amp;processor=" + sResultsHtml(_urlPart(f.processor)) +
                             "&amp;adapter=" + sResultsHtml(_urlPart(f.adapter));
    if (f.offset > 0)
        body += "<a href=\"/?offset=" + std::to_string(f.offset > LIST_PAGE ? f.offset - LIST_PAGE : 0) + keep +
                "\">Newer</a> ";
    if ((long)rows.size() == LIST_PAGE)
        body += "<a href=\"/?offset=" + std::to_string(f.offset + LIST_PAGE) + keep + "\">Older</a>";
    _html(aRes, 200, _page("Runs", body + "</p>\n"));
}

void _pageMachines(_hub *aHub, const httplib::Request &, httplib::Response &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _html(aRes, 503, _page("Store unavailable", "<p>" + sResultsHtml(lease.err) + "</p>"));
    // A machine is its processor and adapter as its results files name them.
    static const char kSql[] =
        "SELECT processor, adapter, count(*), max(id) FROM (SELECT r.id AS id,"
        " (SELECT f.value FROM field f JOIN pass p ON f.pass_id = p.id WHERE p.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Processor Type' ORDER BY p.number LIMIT 1) AS processor,"
        " (SELECT f.value FROM field f JOIN pass p ON f.pass_id = p.id WHERE p.run_id = r.id AND"
        "  f.section = 'system' AND f.label = 'Display Adapter' ORDER BY p.number LIMIT 1) AS adapter"
        " FROM run r) x GROUP BY processor, adapter ORDER BY processor, adapter LIMIT 5000;";
    std::vector<std::vector<std::string>> rows;
    std::string err;
    if (lease.h.ops->query(lease.h.store, kSql, {}, &rows, &err))
        return _html(aRes, 500, _page("Error", "<p>" + sResultsHtml(err) + "</p>"));
    std::string body = "<table><tr><th>Processor</th><th>Adapter</th><th>Runs</th><th>Latest</th></tr>\n";
    for (const auto &r : rows) {
        if (r.size() != 4)
            continue;
        body += "<tr><td>" + sResultsHtml(r[0]) + "</td><td>" + sResultsHtml(r[1]) + "</td><td><a href=\"/?processor=" +
                sResultsHtml(_urlPart(r[0])) + "&amp;adapter=" + sResultsHtml(_urlPart(r[1])) + "\">" +
                sResultsHtml(r[2]) + "</a></td><td><a href=\"/runs/" + sResultsHtml(r[3]) + "\">" +
                sResultsHtml(r[3]) + "</a></td></tr>\n";
    }
    _html(aRes, 200, _page("Machines", body + "</table>\n"));
}

// Runs by id; the status to answer when one cannot be had.
int _loadRuns(_hub *aHub, const std::vector<long> &aIds, std::vector<_resultsRun> *aRunsP, std::string *aErrP)
{
    _lease lease(aHub);
    if (!lease.okB) {
        *aErrP = lease.err;
        return 503;
    }
    for (long id : aIds) {
        _resultsRun run;
        const int rc = sStoreLoad(&lease.h, id, &run, aErrP);
        if (rc < 0)
            return 500;
        if (rc == 0) {
            *aErrP = "no run " + std::to_string(id);
            return 404;
        }
        aRunsP->push_back(run);
    }
    return 200;
}

void _pageReport(_hub *aHub, const std::vector<long> &aIds, httplib::Response &aRes)
{
    if (aIds.empty())
        return _html(aRes, 400, _page("Compare", "<p>Choose runs to compare on the <a href=\"/\">list</a>.</p>"));
    std::vector<_resultsRun> runs;
    std::string err;
    const int status = _loadRuns(aHub, aIds, &runs, &err);
    if (status != 200)
        return _html(aRes, status, _page("Not found", "<p>" + sResultsHtml(err) + "</p>"));
    // The report is the one the command line writes, with the way back to the hub's pages.
    std::string report = sResultsReportHtml(runs, "Made by kestrel-results " KESTREL_VERSION " serve");
    const size_t body = report.find("<body>");
    if (body != std::string::npos)
        report.insert(body + 6, "<style>nav{margin-bottom:1em}nav a{margin-right:1.2em}</style>" + std::string(kNav));
    _html(aRes, 200, report);
}

void _pageBest(_hub *aHub, const httplib::Request &aReq, httplib::Response &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _html(aRes, 503, _page("Store unavailable", "<p>" + sResultsHtml(lease.err) + "</p>"));
    _storeBestQuery q = {0, BEST_ROWS, _text(aReq, "edition"), _text(aReq, "adapter"), _text(aReq, "processor"),
                         _text(aReq, "option"), _text(aReq, "value")};
    const long only = _param(aReq, "test", -1, -1, RESULTS_TEST_NUM - 1);
    std::string body = "<form class=\"f\" method=\"get\" action=\"/best\">";
    const struct { const char *name, *label; const std::string *value; } inputTbl[] = {
        {"processor", "Processor", &q.processor}, {"adapter", "Adapter", &q.adapter},
        {"edition", "Edition", &q.edition},       {"option", "Option", &q.option},
        {"value", "is", &q.optionValue},
    };
    for (const auto &in : inputTbl)
        body += std::string(in.label) + " <input name=\"" + in.name + "\" value=\"" + sResultsHtml(*in.value) + "\">";
    body += "<button>Filter</button></form>\n";
    for (int test = 0; test < RESULTS_TEST_NUM; ++test) {
        if (only >= 0 && test != only)
            continue;
        q.test = test;
        std::vector<_storeBestRow> rows;
        std::string err;
        if (sStoreBest(&lease.h, q, &rows, &err))
            return _html(aRes, 500, _page("Error", "<p>" + sResultsHtml(err) + "</p>"));
        body += "<h2>" + sResultsHtml(sResultsTestName(test)) +
                "</h2>\n<table><tr><th>Run</th><th>Name</th><th>Processor</th><th>Adapter</th><th>Mean score</th>"
                "<th>Passes</th></tr>\n";
        for (const _storeBestRow &r : rows)
            body += "<tr><td><a href=\"/runs/" + std::to_string(r.id) + "\">" + std::to_string(r.id) + "</a></td><td>" +
                    sResultsHtml(r.label) + "</td><td>" + sResultsHtml(r.processor) + "</td><td>" +
                    sResultsHtml(r.adapter) + "</td><td>" + _num(std::round(r.mean)) + "</td><td>" +
                    std::to_string(r.passes) + "</td></tr>\n";
        body += "</table>\n";
    }
    _html(aRes, 200, _page("Best runs", body));
}

const char kUploadForm[] =
    "<form method=\"post\" action=\"/upload\" enctype=\"multipart/form-data\"><table>"
    "<tr><td>Token</td><td><input type=\"password\" name=\"token\" id=\"token\"></td></tr>"
    "<tr><td>Results file (Kestrel.txt) or run record</td><td><input type=\"file\" name=\"run\" id=\"run\"></td></tr>"
    "<tr><td>Frame-time record (optional)</td><td><input type=\"file\" name=\"frames\" id=\"frames\"></td></tr>"
    "<tr><td>A run record's files</td><td><input type=\"file\" name=\"file\" multiple></td></tr>"
    "<tr><td>Name (optional)</td><td><input name=\"label\" id=\"label\"></td></tr>"
    "</table><p><button id=\"send\">Store the run</button></p></form>\n";

void _routes(_hub *aHub)
{
    httplib::Server &s = aHub->server;
    s.Post("/api/runs", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        const _submitted r = _submit(aHub, aReq, _bearer(aReq));
        if (r.status >= 300)
            return _jsonError(aRes, r.status, r.error);
        aRes.set_header("Location", "/api/runs/" + std::to_string(r.id));
        _json(aRes, r.status, "{\"id\":" + std::to_string(r.id) + ",\"stored\":" + (r.status == 201 ? "true" : "false") + "}");
    });
    s.Get("/api/runs", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        _lease lease(aHub);
        if (!lease.okB)
            return _jsonError(aRes, 503, lease.err);
        const _storeFilter f = {_param(aReq, "limit", LIST_PAGE, 1, LIST_MAX), _param(aReq, "offset", 0, 0, 1L << 30),
                                _text(aReq, "adapter"), _text(aReq, "processor")};
        std::vector<_storeRunRow> rows;
        std::string err;
        const long total = sStoreCount(&lease.h, &err);
        if (total < 0 || sStoreList(&lease.h, f, &rows, &err))
            return _jsonError(aRes, 500, err);
        std::string out = "{\"total\":" + std::to_string(total) + ",\"offset\":" + std::to_string(f.offset) +
                          ",\"runs\":[";
        for (size_t i = 0; i < rows.size(); ++i)
            out += (i ? ",\n" : "") + _rowJson(rows[i]);
        _json(aRes, 200, out + "]}");
    });
    s.Get(R"(/api/runs/(\d{1,9}))", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        std::vector<_resultsRun> runs;
        std::string err;
        const int status = _loadRuns(aHub, {std::atol(aReq.matches[1].str().c_str())}, &runs, &err);
        if (status != 200)
            return _jsonError(aRes, status, err);
        _json(aRes, 200, _runJson(runs[0]));
    });
    s.Get("/api/compare", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        const std::vector<long> ids = _ids(aReq);
        if (ids.size() < 2)
            return _jsonError(aRes, 400, "name two runs or more: ?id=1&id=2");
        std::vector<_resultsRun> runs;
        std::string err;
        const int status = _loadRuns(aHub, ids, &runs, &err);
        if (status != 200)
            return _jsonError(aRes, status, err);
        std::string out = "{\"runs\":[";
        for (size_t i = 0; i < runs.size(); ++i)
            out += (i ? "," : "") + std::string("{\"id\":") + std::to_string(runs[i].id) + ",\"label\":" +
                   sHubJson(runs[i].label) + ",\"summary\":" + _summaryJson(runs[i]) + "}";
        _json(aRes, 200, out + "],\"table\":" + sHubJson(sResultsCompareText(runs)) + "}");
    });
    s.Get("/api/best", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        _lease lease(aHub);
        if (!lease.okB)
            return _jsonError(aRes, 503, lease.err);
        const _storeBestQuery q = {(int)_param(aReq, "test", 0, 0, RESULTS_TEST_NUM - 1),
                                   _param(aReq, "limit", BEST_ROWS, 1, 1000), _text(aReq, "edition"),
                                   _text(aReq, "adapter"), _text(aReq, "processor"), _text(aReq, "option"),
                                   _text(aReq, "value")};
        std::vector<_storeBestRow> rows;
        std::string err;
        if (sStoreBest(&lease.h, q, &rows, &err))
            return _jsonError(aRes, 500, err);
        std::string out = "{\"test\":" + std::to_string(q.test) + ",\"runs\":[";
        for (size_t i = 0; i < rows.size(); ++i)
            out += (i ? "," : "") + std::string("{\"id\":") + std::to_string(rows[i].id) + ",\"label\":" +
                   sHubJson(rows[i].label) + ",\"processor\":" + sHubJson(rows[i].processor) + ",\"adapter\":" +
                   sHubJson(rows[i].adapter) + ",\"mean\":" + _num(rows[i].mean) + ",\"passes\":" +
                   std::to_string(rows[i].passes) + "}";
        _json(aRes, 200, out + "]}");
    });

    s.Get("/", [aHub](const httplib::Request &aReq, httplib::Response &aRes) { _pageRuns(aHub, aReq, aRes); });
    s.Get("/machines", [aHub](const httplib::Request &aReq, httplib::Response &aRes) { _pageMachines(aHub, aReq, aRes); });
    s.Get(R"(/runs/(\d{1,9}))", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        _pageReport(aHub, {std::atol(aReq.matches[1].str().c_str())}, aRes);
    });
    s.Get("/compare", [aHub](const httplib::Request &aReq, httplib::Response &aRes) { _pageReport(aHub, _ids(aReq), aRes); });
    s.Get("/best", [aHub](const httplib::Request &aReq, httplib::Response &aRes) { _pageBest(aHub, aReq, aRes); });
    s.Get("/upload", [](const httplib::Request &, httplib::Response &aRes) {
        _html(aRes, 200, _page("Upload a run", kUploadForm));
    });
    s.Post("/upload", [aHub](const httplib::Request &aReq, httplib::Response &aRes) {
        const std::string token = aReq.has_file("token") ? aReq.get_file_value("token").content : std::string();
        const _submitted r = _submit(aHub, aReq, token);
        if (r.status >= 300)
            return _html(aRes, r.status, _page("Not stored", "<p>" + sResultsHtml(r.error) + "</p>" + kUploadForm));
        aRes.status = 303;
        aRes.set_header("Location", "/runs/" + std::to_string(r.id));
    });
    s.set_error_handler([](const httplib::Request &, httplib::Response &aRes) {
        if (!aRes.body.empty())
            return;
        const char *what = aRes.status == 413 ? "the request is larger than this hub takes"
                           : aRes.status == 404 ? "no such page"
                                                : "the request was refused";
        _jsonError(aRes, aRes.status, what);
    });
}

} // namespace

std::string sHubJson(const std::string &aText)
{
    static const char hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (char ch : sResultsUtf8(aText)) {
        const unsigned char c = (unsigned char)ch;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == '<') {
            // Never markup, even where JSON lands inside a page.
            out += "\\u003c";
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

int sHubOpen(const _hubConfig &aConfig, _hub **aHubPP, int *aPortP, std::string *aErrP)
{
    std::unique_ptr<_hub> hub(new _hub);
    hub->config = aConfig;
    hub->ops = &sStoreOpsFor(aConfig.db);
    _storeHandle h = {};
    if (sStoreOpen(*hub->ops, aConfig.db, &h, aErrP))
        return -1;
    hub->idle.push_back(h);
    const int threads = aConfig.threads > 0 ? aConfig.threads : 8;
    hub->server.new_task_queue = [threads] { return new httplib::ThreadPool((size_t)threads); };
    hub->server.set_payload_max_length(aConfig.maxUpload);
    hub->server.set_read_timeout(30, 0);
    _routes(hub.get());
    const int port = aConfig.port == 0 ? hub->server.bind_to_any_port(aConfig.host)
                                       : (hub->server.bind_to_port(aConfig.host, aConfig.port) ? aConfig.port : -1);
    if (port < 0) {
        *aErrP = "cannot listen on " + aConfig.host + ":" + std::to_string(aConfig.port);
        sHubClose(hub.release());
        return -1;
    }
    *aPortP = port;
    *aHubPP = hub.release();
    return 0;
}

int sHubRun(_hub *aHubP)
{
    return aHubP->server.listen_after_bind() ? 0 : -1;
}

void sHubStop(_hub *aHubP)
{
    aHubP->server.stop();
}

void sHubClose(_hub *aHubP)
{
    for (_storeHandle &h : aHubP->idle)
        sStoreClose(&h);
    delete aHubP;
}
