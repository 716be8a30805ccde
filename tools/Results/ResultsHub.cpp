// The results hub over HTTP (Debian's libmicrohttpd): pages for people, JSON for programs, one
// store connection a request at a time from a small pool. Every text that came with a run is
// escaped where it is shown; every SQL statement binds its values. Made for a network where anyone
// may send anything: every request is bounded in size, headers and time before it is read, and
// every answer is bounded in size.
#include "ResultsHub.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "KestrelVersion.h"
#include "ResultsCore.h"

namespace {

// A request as the pages read it: path, query, headers (names in lower case), the body, and a
// form's parts (files and fields alike) by name.
struct _httpPart {
    std::string filename, content;
};

struct _httpRequest {
    std::string method, path, body, contentType;
    std::vector<std::pair<std::string, std::string>> params, headers;
    std::vector<std::string> matches;
    std::multimap<std::string, _httpPart> files;

    size_t get_param_value_count(const char *aNameP) const
    {
        size_t n = 0;
        for (const auto &p : params)
            n += p.first == aNameP;
        return n;
    }
    bool has_param(const char *aNameP) const { return get_param_value_count(aNameP) > 0; }
    std::string get_param_value(const char *aNameP, size_t aI = 0) const
    {
        for (const auto &p : params)
            if (p.first == aNameP && aI-- == 0)
                return p.second;
        return "";
    }
    std::string get_header_value(const char *aNameP) const
    {
        std::string name = aNameP;
        for (char &c : name)
            c = (char)std::tolower((unsigned char)c);
        for (const auto &h : headers)
            if (h.first == name)
                return h.second;
        return "";
    }
    bool is_multipart_form_data() const { return contentType.compare(0, 19, "multipart/form-data") == 0; }
    bool has_file(const char *aNameP) const { return files.count(aNameP) > 0; }
    _httpPart get_file_value(const char *aNameP) const
    {
        const auto it = files.find(aNameP);
        return it == files.end() ? _httpPart() : it->second;
    }
};

struct _httpResponse {
    int status = 200;
    std::string body, type;
    std::vector<std::pair<std::string, std::string>> headers;
    void set_content(const std::string &aBody, const char *aTypeP)
    {
        body = aBody;
        type = aTypeP;
    }
    void set_header(const char *aNameP, const std::string &aValue) { headers.emplace_back(aNameP, aValue); }
};

typedef std::function<void(const _httpRequest &, _httpResponse &)> _httpHandler;

// The hub's paths: each exact, or a prefix and a run's id (1 to 9 digits) as "(\d{1,9})" ends it.
struct _router {
    struct _route {
        std::string method, prefix;
        bool idB;
        _httpHandler handler;
    };
    std::vector<_route> routes;
    _httpHandler error;

    void add(const char *aMethodP, const std::string &aPattern, const _httpHandler &aH)
    {
        static const std::string kId = R"((\d{1,9}))";
        const bool idB = aPattern.size() > kId.size() && aPattern.compare(aPattern.size() - kId.size(), kId.size(), kId) == 0;
        routes.push_back(_route{aMethodP, idB ? aPattern.substr(0, aPattern.size() - kId.size()) : aPattern, idB, aH});
    }
    void Get(const std::string &aPattern, const _httpHandler &aH) { add("GET", aPattern, aH); }
    void Post(const std::string &aPattern, const _httpHandler &aH) { add("POST", aPattern, aH); }
    void set_error_handler(const _httpHandler &aH) { error = aH; }
};

// One connection as the hub watches it: a request must arrive whole within the hub's time, and
// its answer be taken within a longer one, however slowly the bytes come.
struct _conn {
    int fd;
    std::chrono::steady_clock::time_point since;
    int phase;         // 0 waiting for or reading a request, 1 answering it, 2 cut off
    bool requestB;     // the current request's first line has come
    bool idleB;        // waiting after an answer, no byte of another request known
};

} // namespace

struct _hub {
    _hubConfig config;
    const _storeOps *ops;
    std::mutex poolLock;
    std::vector<_storeHandle> idle;
    _router router;
    MHD_Daemon *daemon = nullptr;
    // One SQLite file takes one writer at a time: the hub's writers queue here rather than in
    // the file's lock, whose waits are bounded.
    std::mutex sqliteWrites;
    // The connections, for the watch on their time.
    std::mutex connLock;
    std::set<_conn *> conns;
    std::thread watch;
    std::atomic<bool> stoppingB{false};
    std::mutex stopLock;
    std::condition_variable stopCv;
    bool stopB = false;
    // Bodies held at once, in bytes: past the budget a request is answered 503 (try later).
    std::mutex budgetLock;
    size_t held = 0;
    // Runs with their frame times are loaded by one request at a time, and a large submission is
    // read by one at a time: memory stays that of one of each.
    std::mutex heavyLoads, largeSubmits;
    // The answers are made by workers of their own, apart from the threads that move bytes: pages
    // by readers, submissions by writers, so that no page waits behind a write.
    std::mutex jobLock;
    std::condition_variable jobCv;
    std::deque<std::function<void()>> reads, writes;
    std::vector<std::thread> workers;
    bool closingB = false;
};

namespace {

// A page's rows, and the most an API answer gives (each row a few hundred bytes at most).
enum { LIST_PAGE = 50, LIST_MAX = 500, BEST_ROWS = 10, BEST_MAX = 100, MACHINES_PAGE = 200, COMPARE_MAX = 16 };
// A submission larger than this is read while no other large one is.
const size_t LARGE_SUBMIT = 1024 * 1024;

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

// What went wrong inside the hub goes to its log, never to a client.
void _log(const std::string &aWhat)
{
    std::fprintf(stderr, "kestrel-results serve: %s\n", aWhat.c_str());
}

const char kUnreachable[] = "the results store cannot be reached now; try again later";
const char kFailed[] = "the results store could not answer this request";

std::string _num(double aV)
{
    if (!std::isfinite(aV))
        return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", aV);
    return text;
}

void _json(_httpResponse &aRes, int aStatus, const std::string &aBody)
{
    aRes.status = aStatus;
    aRes.set_content(aBody + "\n", "application/json; charset=utf-8");
}

void _jsonError(_httpResponse &aRes, int aStatus, const std::string &aMessage)
{
    _json(aRes, aStatus, "{\"error\":" + sHubJson(aMessage) + "}");
}

void _jsonUnreachable(_httpResponse &aRes, const std::string &aErr)
{
    _log(aErr);
    _jsonError(aRes, 503, kUnreachable);
}

int _storeStatus(_storeHandle *aHP, const std::string &aErr);

void _jsonFailed(_httpResponse &aRes, _storeHandle *aHP, const std::string &aErr)
{
    const int status = _storeStatus(aHP, aErr);
    _jsonError(aRes, status, status == 503 ? kUnreachable : kFailed);
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

void _html(_httpResponse &aRes, int aStatus, const std::string &aPage)
{
    aRes.status = aStatus;
    aRes.set_content(aPage, "text/html; charset=utf-8");
}

// Forward: the store's answer as a plain page.
int _storeStatus(_storeHandle *aHP, const std::string &aErr);

void _unreachable(_httpResponse &aRes, const std::string &aErr)
{
    _log(aErr);
    _html(aRes, 503, _page("Store unavailable", std::string("<p>") + kUnreachable + ".</p>"));
}

void _failed(_httpResponse &aRes, _storeHandle *aHP, const std::string &aErr)
{
    const int status = _storeStatus(aHP, aErr);
    if (status == 503)
        return _html(aRes, 503, _page("Store unavailable", std::string("<p>") + kUnreachable + ".</p>"));
    _html(aRes, 500, _page("Error", std::string("<p>") + kFailed + ".</p>"));
}

// A query value as a number in [aMin, aMax], aDefault when absent or not a number.
long _param(const _httpRequest &aReq, const char *aNameP, long aDefault, long aMin, long aMax)
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

// A test's row from ?test=, absent as aDefault; -2 when it names no test (refused, not guessed).
int _testParam(const _httpRequest &aReq, int aDefault)
{
    if (!aReq.has_param("test"))
        return aDefault;
    const std::string v = aReq.get_param_value("test");
    char *end = nullptr;
    const long n = std::strtol(v.c_str(), &end, 10);
    return v.empty() || v.size() > 3 || *end || n < 0 || n >= RESULTS_TEST_NUM ? -2 : (int)n;
}

std::string _text(const _httpRequest &aReq, const char *aNameP)
{
    // Filters are short; a longer text is cut rather than sent to the database whole, and what is
    // not UTF-8 is read as the store keeps such text.
    const std::string v = aReq.has_param(aNameP) ? aReq.get_param_value(aNameP) : std::string();
    return sStoreText(v, 200);
}

// A store that failed: 503 when it cannot be reached (a client may try again), else 500; the
// reason to the log only.
int _storeStatus(_storeHandle *aHP, const std::string &aErr)
{
    _log(aErr);
    return sStoreLost(aHP) ? 503 : 500;
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
std::vector<long> _ids(const _httpRequest &aReq)
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
_submitted _submit(_hub *aHub, const _httpRequest &aReq, const std::string &aToken)
{
    _lease lease(aHub);
    if (!lease.okB) {
        _log(lease.err);
        return {503, 0, kUnreachable};
    }
    std::string err;
    const int known = sStoreTokenCheck(&lease.h, aToken, &err);
    if (known < 0) {
        const int status = _storeStatus(&lease.h, err);
        return {status, 0, status == 503 ? kUnreachable : kFailed};
    }
    if (known == 0)
        return {401, 0, "a valid token is needed to store runs (Authorization: Bearer TOKEN)"};

    std::string name = "upload", text, frames, label;
    std::map<std::string, std::string> files;
    if (aReq.is_multipart_form_data()) {
        if (!aReq.has_file("run"))
            return {400, 0, "the form has no \"run\" part"};
        const _httpPart run = aReq.get_file_value("run");
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
    std::unique_lock<std::mutex> large(aHub->largeSubmits, std::defer_lock);
    if (aReq.body.size() > LARGE_SUBMIT || text.size() + frames.size() > LARGE_SUBMIT)
        large.lock();
    if (sResultsRead(sStoreText(name, 200), text, fetch, &files, &run, &identity, &err))
        return {400, 0, err};
    if (!frames.empty()) {
        if (run.passes.size() != 1 || !run.passes[0].frames.empty())
            return {400, 0, "\"frames\" goes with a results file"};
        _statsError e;
        if (sStatsReadFrames(frames.data(), frames.size(), &run.passes[0].frames, &e))
            return {400, 0, "frames:" + std::to_string(e.line) + ": " + e.reason};
        identity += "\nframes\n" + frames;
    }
    long long frameCnt = 0;
    for (const _resultsPass &p : run.passes)
        frameCnt += (long long)p.frames.size();
    if (frameCnt > aHub->config.framesMax)
        return {413, 0, "the run holds " + std::to_string(frameCnt) + " frame times; this hub stores at most " +
                            std::to_string(aHub->config.framesMax) + " a submission"};
    if (!label.empty())
        run.label = sStoreText(label, 200);
    long id = 0;
    std::unique_lock<std::mutex> writing(aHub->sqliteWrites, std::defer_lock);
    if (aHub->ops == &storeSqliteOps)
        writing.lock();
    const int rc = sStoreImport(&lease.h, run, sStoreHash(identity), &id, &err);
    if (writing.owns_lock())
        writing.unlock();
    if (rc < 0) {
        const int status = _storeStatus(&lease.h, "not stored: " + err);
        // The connection may be what failed: a new one for the next request.
        sStoreClose(&lease.h);
        lease.okB = false;
        return {status, 0, status == 503 ? kUnreachable : kFailed};
    }
    return {rc ? 201 : 200, id, ""};
}

std::string _bearer(const _httpRequest &aReq)
{
    const std::string auth = aReq.get_header_value("Authorization");
    // Taken as sent: no decoding, no trimming.
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

void _pageRuns(_hub *aHub, const _httpRequest &aReq, _httpResponse &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _unreachable(aRes, lease.err);
    const _storeFilter f = {LIST_PAGE, _param(aReq, "before", 0, 0, 1L << 30), _text(aReq, "adapter"),
                            _text(aReq, "processor")};
    std::vector<_storeRunRow> rows;
    std::string err;
    const long total = sStoreCount(&lease.h, &err);
    if (total < 0 || sStoreList(&lease.h, f, &rows, &err))
        return _failed(aRes, &lease.h, err);
    std::string body =
        "<form class=\"f\" method=\"get\" action=\"/\">Processor <input name=\"processor\" value=\"" +
        sResultsHtml(f.processor) + "\">Adapter <input name=\"adapter\" value=\"" + sResultsHtml(f.adapter) +
        "\"><button>Search</button></form>\n<p>" + std::to_string(total) + " runs stored.</p>\n"
        "<form method=\"get\" action=\"/compare\">" + _runsTable(rows, true) +
        "<p><button id=\"compare\">Compare the chosen runs</button></p></form>\n<p>";
    const std::string keep = "&amp;processor=" + sResultsHtml(_urlPart(f.processor)) +
                             "&amp;adapter=" + sResultsHtml(_urlPart(f.adapter));
    if (f.before > 0)
        body += "<a href=\"/?before=0" + keep + "\">Newest</a> ";
    if ((long)rows.size() == LIST_PAGE)
        body += "<a href=\"/?before=" + std::to_string(rows.back().id) + keep + "\">Older</a>";
    _html(aRes, 200, _page("Runs", body + "</p>\n"));
}

void _pageMachines(_hub *aHub, const _httpRequest &aReq, _httpResponse &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _unreachable(aRes, lease.err);
    // A machine is its processor and adapter as its results files name them; a page of them at a
    // time, by processor then adapter.
    std::vector<_storeMachineRow> rows;
    std::string err;
    const std::string afterP = _text(aReq, "after_processor"), afterA = _text(aReq, "after_adapter");
    if (sStoreMachines(&lease.h, afterP, afterA, MACHINES_PAGE, &rows, &err))
        return _failed(aRes, &lease.h, err);
    std::string body = "<table><tr><th>Processor</th><th>Adapter</th><th>Runs</th><th>Latest</th></tr>\n";
    for (const _storeMachineRow &r : rows) {
        const std::string latest = std::to_string(r.latest);
        body += "<tr><td>" + sResultsHtml(r.processor) + "</td><td>" + sResultsHtml(r.adapter) +
                "</td><td><a href=\"/?processor=" + sResultsHtml(_urlPart(r.processor)) + "&amp;adapter=" +
                sResultsHtml(_urlPart(r.adapter)) + "\">" + std::to_string(r.runs) + "</a></td><td><a href=\"/runs/" +
                latest + "\">" + latest + "</a></td></tr>\n";
    }
    body += "</table>\n";
    if ((long)rows.size() == MACHINES_PAGE)
        body += "<p><a href=\"/machines?after_processor=" + sResultsHtml(_urlPart(rows.back().processor)) +
                "&amp;after_adapter=" + sResultsHtml(_urlPart(rows.back().adapter)) + "\">More</a></p>\n";
    _html(aRes, 200, _page("Machines", body));
}

// Runs by id; the status to answer when one cannot be had.
int _loadRuns(_hub *aHub, const std::vector<long> &aIds, std::vector<_resultsRun> *aRunsP, std::string *aErrP)
{
    _lease lease(aHub);
    if (!lease.okB) {
        _log(lease.err);
        *aErrP = kUnreachable;
        return 503;
    }
    // What the runs' frame times would cost is asked first; they are loaded by one request at a time.
    const long long frames = sStoreFrameCount(&lease.h, aIds, aErrP);
    if (frames < 0) {
        const int status = _storeStatus(&lease.h, *aErrP);
        *aErrP = status == 503 ? kUnreachable : kFailed;
        return status;
    }
    if (frames > aHub->config.framesMax) {
        *aErrP = "these runs hold " + std::to_string(frames) + " frame times, more than one page shows (" +
                 std::to_string(aHub->config.framesMax) + "): compare fewer runs";
        return 413;
    }
    std::unique_lock<std::mutex> heavy(aHub->heavyLoads, std::defer_lock);
    if (frames > 0)
        heavy.lock();
    for (long id : aIds) {
        _resultsRun run;
        const int rc = sStoreLoad(&lease.h, id, &run, aErrP);
        if (rc < 0) {
            const int status = _storeStatus(&lease.h, *aErrP);
            *aErrP = status == 503 ? kUnreachable : kFailed;
            return status;
        }
        if (rc == 0) {
            *aErrP = "no run " + std::to_string(id);
            return 404;
        }
        aRunsP->push_back(run);
    }
    return 200;
}

void _pageReport(_hub *aHub, const std::vector<long> &aIds, _httpResponse &aRes)
{
    if (aIds.empty())
        return _html(aRes, 400, _page("Compare", "<p>Choose runs to compare on the <a href=\"/\">list</a>.</p>"));
    std::vector<_resultsRun> runs;
    std::string err;
    const int status = _loadRuns(aHub, aIds, &runs, &err);
    if (status != 200)
        return _html(aRes, status, _page(status == 404 ? "Not found" : "Not shown", "<p>" + sResultsHtml(err) + "</p>"));
    // The report is the one the command line writes, with the way back to the hub's pages.
    std::string report = sResultsReportHtml(runs, "Made by kestrel-results " KESTREL_VERSION " serve");
    const size_t body = report.find("<body>");
    if (body != std::string::npos)
        report.insert(body + 6, "<style>nav{margin-bottom:1em}nav a{margin-right:1.2em}</style>" + std::string(kNav));
    _html(aRes, 200, report);
}

void _pageBest(_hub *aHub, const _httpRequest &aReq, _httpResponse &aRes)
{
    _lease lease(aHub);
    if (!lease.okB)
        return _unreachable(aRes, lease.err);
    _storeBestQuery q = {0, BEST_ROWS, _text(aReq, "edition"), _text(aReq, "adapter"), _text(aReq, "processor"),
                         _text(aReq, "option"), _text(aReq, "value")};
    const int only = _testParam(aReq, -1);
    if (only == -2)
        return _html(aRes, 400, _page("Best runs", "<p>test= names a test by its row, 0 to " +
                                                       std::to_string(RESULTS_TEST_NUM - 1) + ".</p>"));
    std::string body = "<form class=\"f\" method=\"get\" action=\"/best\">";
    const struct { const char *name, *label; const std::string *value; } inputTbl[] = {
        {"processor", "Processor", &q.processor}, {"adapter", "Adapter", &q.adapter},
        {"edition", "Edition", &q.edition},       {"option", "Option", &q.option},
        {"value", "is", &q.optionValue},
    };
    for (const auto &in : inputTbl)
        body += std::string(in.label) + " <input name=\"" + in.name + "\" value=\"" + sResultsHtml(*in.value) + "\">";
    body += "<button>Filter</button></form>\n";
    // Every test's best in one statement.
    q.test = only;
    std::vector<_storeBestRow> all;
    std::string err;
    if (sStoreBest(&lease.h, q, &all, &err))
        return _failed(aRes, &lease.h, err);
    for (int test = 0; test < RESULTS_TEST_NUM; ++test) {
        if (only >= 0 && test != only)
            continue;
        std::vector<_storeBestRow> rows;
        for (const _storeBestRow &r : all)
            if (r.test == test)
                rows.push_back(r);
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
    _router &s = aHub->router;
    s.Post("/api/runs", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        const _submitted r = _submit(aHub, aReq, _bearer(aReq));
        if (r.status >= 300)
            return _jsonError(aRes, r.status, r.error);
        aRes.set_header("Location", "/api/runs/" + std::to_string(r.id));
        _json(aRes, r.status, "{\"id\":" + std::to_string(r.id) + ",\"stored\":" + (r.status == 201 ? "true" : "false") + "}");
    });
    s.Get("/api/runs", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        _lease lease(aHub);
        if (!lease.okB)
            return _jsonUnreachable(aRes, lease.err);
        // Keyset pages: ?before= the last id of the page before; "next" is that of this one.
        const _storeFilter f = {_param(aReq, "limit", LIST_PAGE, 1, LIST_MAX), _param(aReq, "before", 0, 0, 1L << 30),
                                _text(aReq, "adapter"), _text(aReq, "processor")};
        std::vector<_storeRunRow> rows;
        std::string err;
        const long total = sStoreCount(&lease.h, &err);
        if (total < 0 || sStoreList(&lease.h, f, &rows, &err))
            return _jsonFailed(aRes, &lease.h, err);
        std::string out = "{\"total\":" + std::to_string(total) + ",\"next\":" +
                          ((long)rows.size() == f.limit ? std::to_string(rows.back().id) : std::string("null")) +
                          ",\"runs\":[";
        for (size_t i = 0; i < rows.size(); ++i)
            out += (i ? ",\n" : "") + _rowJson(rows[i]);
        _json(aRes, 200, out + "]}");
    });
    s.Get(R"(/api/runs/(\d{1,9}))", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        std::vector<_resultsRun> runs;
        std::string err;
        const int status = _loadRuns(aHub, {std::atol(aReq.matches[1].c_str())}, &runs, &err);
        if (status != 200)
            return _jsonError(aRes, status, err);
        _json(aRes, 200, _runJson(runs[0]));
    });
    s.Get("/api/compare", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
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
    s.Get("/api/best", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        const int test = _testParam(aReq, 0);
        if (test == -2)
            return _jsonError(aRes, 400, "test= names a test by its row, 0 to " + std::to_string(RESULTS_TEST_NUM - 1));
        _lease lease(aHub);
        if (!lease.okB)
            return _jsonUnreachable(aRes, lease.err);
        const _storeBestQuery q = {test, _param(aReq, "limit", BEST_ROWS, 1, BEST_MAX), _text(aReq, "edition"),
                                   _text(aReq, "adapter"), _text(aReq, "processor"), _text(aReq, "option"),
                                   _text(aReq, "value")};
        std::vector<_storeBestRow> rows;
        std::string err;
        if (sStoreBest(&lease.h, q, &rows, &err))
            return _jsonFailed(aRes, &lease.h, err);
        std::string out = "{\"test\":" + std::to_string(q.test) + ",\"runs\":[";
        for (size_t i = 0; i < rows.size(); ++i)
            out += (i ? "," : "") + std::string("{\"id\":") + std::to_string(rows[i].id) + ",\"label\":" +
                   sHubJson(rows[i].label) + ",\"processor\":" + sHubJson(rows[i].processor) + ",\"adapter\":" +
                   sHubJson(rows[i].adapter) + ",\"mean\":" + _num(rows[i].mean) + ",\"passes\":" +
                   std::to_string(rows[i].passes) + "}";
        _json(aRes, 200, out + "]}");
    });

    s.Get("/", [aHub](const _httpRequest &aReq, _httpResponse &aRes) { _pageRuns(aHub, aReq, aRes); });
    s.Get("/machines", [aHub](const _httpRequest &aReq, _httpResponse &aRes) { _pageMachines(aHub, aReq, aRes); });
    s.Get(R"(/runs/(\d{1,9}))", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        _pageReport(aHub, {std::atol(aReq.matches[1].c_str())}, aRes);
    });
    s.Get("/compare", [aHub](const _httpRequest &aReq, _httpResponse &aRes) { _pageReport(aHub, _ids(aReq), aRes); });
    s.Get("/best", [aHub](const _httpRequest &aReq, _httpResponse &aRes) { _pageBest(aHub, aReq, aRes); });
    s.Get("/upload", [](const _httpRequest &, _httpResponse &aRes) {
        _html(aRes, 200, _page("Upload a run", kUploadForm));
    });
    s.Post("/upload", [aHub](const _httpRequest &aReq, _httpResponse &aRes) {
        const std::string token = aReq.has_file("token") ? aReq.get_file_value("token").content : std::string();
        const _submitted r = _submit(aHub, aReq, token);
        if (r.status >= 300)
            return _html(aRes, r.status, _page("Not stored", "<p>" + sResultsHtml(r.error) + "</p>" + kUploadForm));
        aRes.status = 303;
        aRes.set_header("Location", "/runs/" + std::to_string(r.id));
    });
    s.set_error_handler([](const _httpRequest &, _httpResponse &aRes) {
        if (!aRes.body.empty())
            return;
        const char *what = aRes.status == 413   ? "the request is larger than this hub takes"
                           : aRes.status == 404 ? "no such page"
                           : aRes.status == 405 ? "this page does not take that method"
                           : aRes.status == 408 ? "the request did not arrive in time"
                           : aRes.status == 415 ? "the body must be sent uncompressed"
                           : aRes.status == 431 ? "the request's headers are too many or too large"
                           : aRes.status == 503 ? "the hub is busy; try again later"
                           : aRes.status >= 500 ? "the hub could not answer this request"
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

// ---- HTTP ----------------------------------------------------------------------------------

// One request while it arrives: refused before its body is read when its headers already say
// so; its body held up to the hub's limit and budget, the rest let pass unread (to a bound).
struct _request {
    _hub *hub;
    _httpRequest req;
    int status = 0;          // decided before the handler: the refusal to answer
    size_t held = 0;         // body bytes counted in the hub's budget
    size_t dropped = 0;      // bytes let pass after a refusal
    bool firstB = true;      // the handler's first call (headers only) is next
    bool pendingB = false;   // handed to a worker, the connection suspended meanwhile
    bool readyB = false;     // the worker's answer is in res
    _httpResponse res;
    _httpPart *part = nullptr;
    ~_request()
    {
        std::lock_guard<std::mutex> lock(hub->budgetLock);
        hub->held -= held;
    }
};

enum { HEADERS_MAX = 64, PARAMS_MAX = 100 };
const std::chrono::seconds ANSWER_TIME(60);

_conn *_connOf(MHD_Connection *aC)
{
    const MHD_ConnectionInfo *info = MHD_get_connection_info(aC, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? (_conn *)info->socket_context : nullptr;
}

void _phase(_hub *aHub, MHD_Connection *aC, int aPhase, bool aRequestB)
{
    std::lock_guard<std::mutex> lock(aHub->connLock);
    _conn *c = _connOf(aC);
    if (!c || c->phase == 2)
        return;
    c->phase = aPhase;
    c->requestB = aRequestB;
    c->idleB = !aRequestB;
    c->since = std::chrono::steady_clock::now();
}

void _notifyConn(void *aCls, MHD_Connection *aC, void **aSocketPP, MHD_ConnectionNotificationCode aToe)
{
    _hub *hub = (_hub *)aCls;
    std::lock_guard<std::mutex> lock(hub->connLock);
    if (aToe == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo *info = MHD_get_connection_info(aC, MHD_CONNECTION_INFO_CONNECTION_FD);
        _conn *c = new _conn{info ? info->connect_fd : -1, std::chrono::steady_clock::now(), 0, false, false};
        hub->conns.insert(c);
        *aSocketPP = c;
    } else {
        // Before the socket is closed: the watch never touches a descriptor that is gone.
        _conn *c = (_conn *)*aSocketPP;
        hub->conns.erase(c);
        delete c;
        *aSocketPP = nullptr;
    }
}

// The first line of a request has come: its time starts.
void *_uriLog(void *aCls, const char *, MHD_Connection *aC)
{
    _hub *hub = (_hub *)aCls;
    _phase(hub, aC, 0, true);
    _request *r = new _request;
    r->hub = hub;
    return r;
}

void _completed(void *aCls, MHD_Connection *aC, void **aReqPP, MHD_RequestTerminationCode)
{
    delete (_request *)*aReqPP;
    *aReqPP = nullptr;
    // The next request's time starts now (a connection kept open and idle is closed by then).
    _phase((_hub *)aCls, aC, 0, false);
}

// Every connection's time, a few times a second: a request not whole within the hub's time is
// answered 408 and its connection closed; an answer not taken within ANSWER_TIME is cut off.
void _watch(_hub *aHub)
{
    static const char k408[] = "HTTP/1.1 408 Request Timeout\r\nConnection: close\r\nContent-Type: application/json; "
                                "charset=utf-8\r\nContent-Length: 46\r\n\r\n{\"error\":\"the request did not arrive in time\"}\n";
    const std::chrono::seconds requestTime(aHub->config.requestSeconds);
    while (!aHub->stoppingB) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(aHub->connLock);
        for (_conn *c : aHub->conns) {
            if (c->fd < 0 || c->phase == 2 || now - c->since < (c->phase ? ANSWER_TIME : requestTime))
                continue;
            // A connection kept open after its answer and idle since is closed without a word.
            if (c->phase == 0 && !c->idleB)
                (void)!send(c->fd, k408, sizeof k408 - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
            shutdown(c->fd, SHUT_RDWR);
            c->phase = 2;
        }
    }
}

MHD_Result _answer(MHD_Connection *aC, const _httpResponse &aRes)
{
    MHD_Response *res = MHD_create_response_from_buffer(aRes.body.size(), (void *)aRes.body.data(),
                                                        MHD_RESPMEM_MUST_COPY);
    if (!res)
        return MHD_NO;
    if (!aRes.type.empty())
        MHD_add_response_header(res, "Content-Type", aRes.type.c_str());
    MHD_add_response_header(res, "X-Content-Type-Options", "nosniff");
    for (const auto &h : aRes.headers)
        MHD_add_response_header(res, h.first.c_str(), h.second.c_str());
    const MHD_Result rc = MHD_queue_response(aC, (unsigned)aRes.status, res);
    MHD_destroy_response(res);
    return rc;
}

// A plain refusal, in JSON, as the router's error handler words it.
MHD_Result _refuse(_hub *aHub, MHD_Connection *aC, int aStatus)
{
    _phase(aHub, aC, 1, true);
    _httpResponse res;
    res.status = aStatus;
    if (aStatus == 405)
        res.set_header("Allow", "GET, HEAD, POST");
    if (aStatus == 503)
        res.set_header("Retry-After", "5");
    aHub->router.error(_httpRequest(), res);
    return _answer(aC, res);
}

MHD_Result _collect(void *aCls, MHD_ValueKind, const char *aKeyP, size_t aKeyLen, const char *aValueP, size_t aValueLen)
{
    auto *list = (std::vector<std::pair<std::string, std::string>> *)aCls;
    if (list->size() > (size_t)std::max(HEADERS_MAX, PARAMS_MAX))
        return MHD_NO;
    std::string key(aKeyP ? aKeyP : "", aKeyP ? aKeyLen : 0);
    list->emplace_back(key, aValueP ? std::string(aValueP, aValueLen) : std::string());
    return MHD_YES;
}

MHD_Result _formPart(void *aCls, MHD_ValueKind, const char *aKeyP, const char *aFileP, const char *, const char *,
                     const char *aDataP, uint64_t aOff, size_t aSize)
{
    _request *r = (_request *)aCls;
    if (aOff == 0 || !r->part)
        r->part = &r->req.files.emplace(aKeyP ? aKeyP : "", _httpPart{aFileP ? aFileP : "", ""})->second;
    r->part->content.append(aDataP, aSize);
    return MHD_YES;
}

// A form's parts from the body (on the connection's thread, which owns it): 0, or -1 when it
// does not read.
int _form(MHD_Connection *aC, _request *aR)
{
    _httpRequest &req = aR->req;
    if (!req.is_multipart_form_data() || req.body.empty())
        return 0;
    MHD_PostProcessor *pp = MHD_create_post_processor(aC, 65536, _formPart, aR);
    const bool readB = pp && MHD_post_process(pp, req.body.data(), req.body.size()) == MHD_YES;
    const bool wholeB = pp && MHD_destroy_post_processor(pp) == MHD_YES;
    std::string().swap(req.body);
    return readB && wholeB ? 0 : -1;
}

// The request whole: its page or API answer made. Nothing thrown leaves here.
void _serve(_hub *aHub, _request *aR, _httpResponse &aRes)
{
    try {
        _httpRequest &req = aR->req;
        std::string method = req.method == "HEAD" ? "GET" : req.method;
        bool pathB = false;
        for (const _router::_route &r : aHub->router.routes) {
            std::string id;
            if (r.idB) {
                if (req.path.compare(0, r.prefix.size(), r.prefix) != 0)
                    continue;
                id = req.path.substr(r.prefix.size());
                if (id.empty() || id.size() > 9 || id.find_first_not_of("0123456789") != std::string::npos)
                    continue;
            } else if (req.path != r.prefix) {
                continue;
            }
            pathB = true;
            if (r.method != method)
                continue;
            req.matches = {req.path, id};
            r.handler(req, aRes);
            if (aRes.status >= 400 && aRes.body.empty())
                aHub->router.error(req, aRes);
            return;
        }
        aRes.status = pathB ? 405 : 404;
        if (pathB)
            aRes.set_header("Allow", "GET, HEAD, POST");
        aHub->router.error(req, aRes);
    } catch (const std::exception &e) {
        _log(std::string("a request failed: ") + e.what());
        aRes = _httpResponse();
        aRes.status = 500;
        aHub->router.error(_httpRequest(), aRes);
    } catch (...) {
        _log("a request failed");
        aRes = _httpResponse();
        aRes.status = 500;
        aHub->router.error(_httpRequest(), aRes);
    }
}

// Bytes past the body's limit let pass unread before the connection is closed.
size_t _grace(_hub *aHub)
{
    return aHub->config.maxUpload / 4 + 65536;
}

// Headers only: what they already refuse is answered before a byte of the body is read.
int _headers(_hub *aHub, MHD_Connection *aC, const char *aUrl, const char *aMethod, _request *aR)
{
    _httpRequest &req = aR->req;
    req.method = aMethod;
    req.path = aUrl;
    if (req.method != "GET" && req.method != "HEAD" && req.method != "POST")
        return 405;
    MHD_get_connection_values_n(aC, MHD_HEADER_KIND, _collect, &req.headers);
    if (req.headers.size() > HEADERS_MAX)
        return 431;
    for (auto &h : req.headers)
        for (char &c : h.first)
            c = (char)std::tolower((unsigned char)c);
    MHD_get_connection_values_n(aC, MHD_GET_ARGUMENT_KIND, _collect, &req.params);
    if (req.params.size() > PARAMS_MAX)
        return 400;
    req.contentType = req.get_header_value("content-type");
    if (req.method != "POST")
        return 0;
    const std::string coding = req.get_header_value("content-encoding");
    if (!coding.empty() && coding != "identity")
        return 415;
    // A length past the limit is refused at once when the client waits for leave to send, or when
    // it is far past; a little past, the body is let pass unread so that the client reads its 413.
    const std::string length = req.get_header_value("content-length");
    const unsigned long long bytes = length.size() > 12 ? ~0ull : std::strtoull(length.c_str(), nullptr, 10);
    if (!length.empty() && bytes > aHub->config.maxUpload &&
        (bytes > aHub->config.maxUpload + _grace(aHub) || !req.get_header_value("expect").empty()))
        return 413;
    return 0;
}

// Part of a body: held while within the limit and the hub's budget. Past the limit the rest is
// let pass unread, up to a quarter of the limit more (a client sending a little too much still
// reads its 413); past that the connection is closed.
bool _body(_hub *aHub, _request *aR, const char *aDataP, size_t aSize)
{
    const size_t max = aHub->config.maxUpload;
    if (aR->status) {
        aR->dropped += aSize;
        return aR->dropped <= _grace(aHub);
    }
    if (aR->req.body.size() + aSize > max) {
        aR->status = 413;
    } else {
        std::lock_guard<std::mutex> lock(aHub->budgetLock);
        if (aHub->held + aSize > max + aHub->config.maxUpload / 2 + 8 * 1024 * 1024)
            aR->status = 503;
        else
            aHub->held += aSize, aR->held += aSize;
    }
    if (aR->status) {
        std::string().swap(aR->req.body);
        return true;
    }
    aR->req.body.append(aDataP, aSize);
    return true;
}

MHD_Result _accessTry(void *aCls, MHD_Connection *aC, const char *aUrl, const char *aMethod, const char *aDataP,
                      size_t *aSizeP, void **aReqPP)
{
    _hub *hub = (_hub *)aCls;
    _request *r = (_request *)*aReqPP;
    if (!r)
        return MHD_NO;
    if (r->firstB) {
        r->firstB = false;
        const int refused = _headers(hub, aC, aUrl, aMethod, r);
        return refused ? _refuse(hub, aC, refused) : MHD_YES;
    }
    if (*aSizeP) {
        const bool keepB = _body(hub, r, aDataP, *aSizeP);
        *aSizeP = 0;
        return keepB ? MHD_YES : MHD_NO;
    }
    if (r->readyB)
        return _answer(aC, r->res);
    if (r->pendingB)
        return MHD_YES;
    if (r->status)
        return _refuse(hub, aC, r->status);
    _phase(hub, aC, 1, true);
    if (_form(aC, r)) {
        _jsonError(r->res, 400, "the form could not be read");
        return _answer(aC, r->res);
    }
    // To a worker; the connection waits, suspended, and is resumed with its answer made.
    {
        std::lock_guard<std::mutex> lock(hub->jobLock);
        if (hub->closingB)
            return _refuse(hub, aC, 503);
        r->pendingB = true;
        MHD_suspend_connection(aC);
        (r->req.method == "POST" ? hub->writes : hub->reads).push_back([hub, aC, r] {
            _serve(hub, r, r->res);
            r->readyB = true;
            MHD_resume_connection(aC);
        });
    }
    hub->jobCv.notify_all();
    return MHD_YES;
}

// The library's handler: nothing thrown crosses into it (out of memory closes the connection).
MHD_Result _access(void *aCls, MHD_Connection *aC, const char *aUrl, const char *aMethod, const char *,
                   const char *aDataP, size_t *aSizeP, void **aReqPP)
{
    try {
        return _accessTry(aCls, aC, aUrl, aMethod, aDataP, aSizeP, aReqPP);
    } catch (...) {
        _log("a request failed before its answer");
        return MHD_NO;
    }
}

// A worker: jobs from its queue until the hub closes and the queue is empty.
void _work(_hub *aHub, std::deque<std::function<void()>> *aQueueP)
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(aHub->jobLock);
            aHub->jobCv.wait(lock, [&] { return !aQueueP->empty() || aHub->closingB; });
            if (aQueueP->empty())
                return;
            job = std::move(aQueueP->front());
            aQueueP->pop_front();
        }
        job();
    }
}

int sHubOpen(const _hubConfig &aConfig, _hub **aHubPP, int *aPortP, std::string *aErrP)
{
    std::unique_ptr<_hub> hub(new _hub);
    hub->config = aConfig;
    _hubConfig &c = hub->config;
    c.threads = c.threads > 0 ? c.threads : 8;
    c.perClient = c.perClient > 0 ? c.perClient : 16;
    c.connections = c.connections > 0 ? c.connections : 512;
    c.requestSeconds = c.requestSeconds > 0 ? c.requestSeconds : 10;
    // Frame records: 44 bytes each stored, 48 in memory when a page loads them.
    c.framesMax = c.framesMax > 0 ? c.framesMax : 500000;
    hub->ops = &sStoreOpsFor(aConfig.db);
    _storeHandle h = {};
    if (sStoreOpen(*hub->ops, aConfig.db, &h, aErrP))
        return -1;
    hub->idle.push_back(h);
    _routes(hub.get());

    addrinfo hints = {}, *found = nullptr;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    const std::string port = std::to_string(aConfig.port);
    if (getaddrinfo(aConfig.host.c_str(), port.c_str(), &hints, &found) || !found) {
        *aErrP = "cannot listen on " + aConfig.host + ":" + port + ": no such address";
        sHubClose(hub.release());
        return -1;
    }
    // One daemon: a few threads each polling many connections, so that a slow client holds a
    // connection (bounded per client and in all), never a thread.
    const unsigned flags = MHD_USE_AUTO_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME |
                           (found->ai_family == AF_INET6 ? MHD_USE_IPv6 : 0);
    hub->daemon = MHD_start_daemon(
        flags, (uint16_t)aConfig.port, nullptr, nullptr, _access, hub.get(),
        MHD_OPTION_SOCK_ADDR, found->ai_addr,
        MHD_OPTION_THREAD_POOL_SIZE, 2u,
        MHD_OPTION_CONNECTION_LIMIT, (unsigned)c.connections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, (unsigned)c.perClient,
        // A request's line and headers fit in this, or it is answered 431 (or 414).
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, (size_t)64 * 1024,
        MHD_OPTION_CONNECTION_TIMEOUT, (unsigned)(c.requestSeconds + 5),
        MHD_OPTION_URI_LOG_CALLBACK, _uriLog, hub.get(),
        MHD_OPTION_NOTIFY_COMPLETED, _completed, hub.get(),
        MHD_OPTION_NOTIFY_CONNECTION, _notifyConn, hub.get(),
        MHD_OPTION_END);
    freeaddrinfo(found);
    const MHD_DaemonInfo *info = hub->daemon ? MHD_get_daemon_info(hub->daemon, MHD_DAEMON_INFO_BIND_PORT) : nullptr;
    if (!info) {
        *aErrP = "cannot listen on " + aConfig.host + ":" + port;
        sHubClose(hub.release());
        return -1;
    }
    *aPortP = info->port;
    hub->watch = std::thread(_watch, hub.get());
    for (int i = 0; i < c.threads; ++i)
        hub->workers.emplace_back(_work, hub.get(), &hub->reads);
    for (int i = 0; i < 4; ++i)
        hub->workers.emplace_back(_work, hub.get(), &hub->writes);
    *aHubPP = hub.release();
    return 0;
}

int sHubRun(_hub *aHubP)
{
    std::unique_lock<std::mutex> lock(aHubP->stopLock);
    aHubP->stopCv.wait(lock, [aHubP] { return aHubP->stopB; });
    return 0;
}

void sHubStop(_hub *aHubP)
{
    std::lock_guard<std::mutex> lock(aHubP->stopLock);
    aHubP->stopB = true;
    aHubP->stopCv.notify_all();
}

void sHubClose(_hub *aHubP)
{
    // No new connection; the answers being made are finished (their connections resumed), later
    // requests answered 503; then the daemon stops.
    if (aHubP->daemon)
        MHD_quiesce_daemon(aHubP->daemon);
    {
        std::lock_guard<std::mutex> lock(aHubP->jobLock);
        aHubP->closingB = true;
    }
    aHubP->jobCv.notify_all();
    for (std::thread &w : aHubP->workers)
        w.join();
    if (aHubP->daemon)
        MHD_stop_daemon(aHubP->daemon);
    aHubP->stoppingB = true;
    if (aHubP->watch.joinable())
        aHubP->watch.join();
    for (_storeHandle &h : aHubP->idle)
        sStoreClose(&h);
    delete aHubP;
}
