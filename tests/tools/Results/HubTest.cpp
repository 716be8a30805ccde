// The results hub over HTTP on both backends, started on a free loopback port in the test: the
// API's round trip (stored once, refused without a valid token or over the size limit, nothing
// stored by a refusal), a run record with its files as one form, paging, every page escaping what
// a machine sent, and many runners at once each run stored exactly once.
#include <gtest/gtest.h>

#include <httplib.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <mutex>
#include <thread>

#include "ResultsFixtures.h"
#include "ResultsHub.h"

using namespace rt;

namespace {

class ResultsHub : public ::testing::TestWithParam<const char *> {
protected:
    Db db{GetParam()};
    _hub *hub = nullptr;
    int port = 0;
    std::thread serving;
    std::string token;

    void Start(size_t aMaxUpload = 4 * 1024 * 1024, long aFramesMax = 0)
    {
        ASSERT_EQ(db.error, "");
        // A refused body is not read to its end: the client's write then fails, without a signal.
        signal(SIGPIPE, SIG_IGN);
        std::string err;
        _storeHandle h = {};
        ASSERT_EQ(sStoreOpen(*db.ops, db.where, &h, &err), 0) << err;
        ASSERT_EQ(sStoreTokenAdd(&h, "lab", &token, &err), 0) << err;
        sStoreClose(&h);
        ASSERT_EQ(sHubOpen(_hubConfig{db.where, "127.0.0.1", 0, aMaxUpload, 8, 256, 0, 0, aFramesMax}, &hub, &port, &err), 0) << err;
        serving = std::thread([this] { sHubRun(hub); });
    }
    void TearDown() override
    {
        if (hub) {
            sHubStop(hub);
            serving.join();
            sHubClose(hub);
        }
    }
    httplib::Client Client() const
    {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(30, 0);
        return c;
    }
    long Count(const char *aTableP) const
    {
        _storeHandle h = {};
        std::string err;
        if (sStoreOpen(*db.ops, db.where, &h, &err))
            return -1;
        const long n = _count(h, aTableP);
        sStoreClose(&h);
        return n;
    }
};

httplib::Headers _auth(const std::string &aToken)
{
    return {{"Authorization", "Bearer " + aToken}};
}

long _id(const std::string &aJson)
{
    const size_t at = aJson.find("\"id\":");
    return at == std::string::npos ? -1 : std::atol(aJson.c_str() + at + 5);
}

} // namespace

TEST_P(ResultsHub, StoresOnceRefusesWhatItMustAndLists)
{
    Start(1024 * 1024);
    httplib::Client c = Client();
    const std::string a = _results(kMachineA[0], "Adapter A"), b = _results(kMachineB[0], "Adapter B");
    const std::string big(1100 * 1024, 'x');
    // Refusals first: none of them stores anything.
    const struct { const std::string *body; std::string token; int status; } refuseTbl[] = {
        {&a, "", 401}, {&a, "kt_wrong", 401}, {&a, token + "x", 401}, {&big, token, 413},
        {&big, "", 413}, {&b, token.substr(3), 401},
    };
    for (const auto &r : refuseTbl) {
        auto res = c.Post("/api/runs", r.token.empty() ? httplib::Headers() : _auth(r.token), *r.body, "text/plain");
        ASSERT_TRUE(res) << r.token;
        EXPECT_EQ(res->status, r.status) << r.token << " " << res->body;
    }
    auto bad = c.Post("/api/runs", _auth(token), "Kestrel Ver 1.2 Results File\n\ncut", "text/plain");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_EQ(Count("run"), 0);
    EXPECT_EQ(Count("field"), 0);

    auto first = c.Post("/api/runs?label=bench%201", _auth(token), a, "text/plain");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 201) << first->body;
    const long idA = _id(first->body);
    auto again = c.Post("/api/runs", _auth(token), a, "text/plain");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(_id(again->body), idA);

    // A run record with its files, as the runner sends it.
    Dir dir;
    const std::string rec = _record(dir, "B", "Adapter B", kMachineB, 10);
    httplib::MultipartFormDataItems form = {{"run", "", "B.run", "text/plain"}, {"label", "machine B", "", ""}};
    {
        FILE *f = std::fopen(rec.c_str(), "rb");
        char buf[65536];
        size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
            form[0].content.append(buf, n);
        if (f)
            std::fclose(f);
    }
    for (const char *name : {"B-1.txt", "B-2.txt", "B-3.txt", "BFrames-1.csv", "BFrames-2.csv", "BFrames-3.csv"}) {
        std::string text;
        FILE *f = std::fopen((dir.path + "/" + name).c_str(), "rb");
        char buf[65536];
        size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        if (f)
            std::fclose(f);
        form.push_back({"file", text, name, "text/plain"});
    }
    auto missing = c.Post("/api/runs", _auth(token), httplib::MultipartFormDataItems(form.begin(), form.end() - 1));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 400);
    EXPECT_NE(missing->body.find("BFrames-3.csv"), std::string::npos) << missing->body;
    auto withFiles = c.Post("/api/runs", _auth(token), form);
    ASSERT_TRUE(withFiles);
    EXPECT_EQ(withFiles->status, 201) << withFiles->body;
    const long idB = _id(withFiles->body);
    EXPECT_EQ(Count("run"), 2);
    EXPECT_EQ(Count("pass"), 4);

    auto list = c.Get("/api/runs?limit=1000");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->status, 200);
    EXPECT_LT(list->body.find("\"id\":" + std::to_string(idB)), list->body.find("\"id\":" + std::to_string(idA)))
        << "newest first: " << list->body;
    EXPECT_NE(list->body.find("\"label\":\"bench 1\""), std::string::npos) << list->body;
    // Keyset pages: "next" names where the next page starts.
    auto newest = c.Get("/api/runs?limit=1");
    ASSERT_TRUE(newest);
    EXPECT_NE(newest->body.find("\"next\":" + std::to_string(idB)), std::string::npos) << newest->body;
    auto page = c.Get(("/api/runs?limit=1&before=" + std::to_string(idB)).c_str());
    ASSERT_TRUE(page);
    EXPECT_EQ(_id(page->body.substr(page->body.find("\"runs\""))), idA) << page->body;
    auto one = c.Get(("/api/runs/" + std::to_string(idB)).c_str());
    ASSERT_TRUE(one);
    EXPECT_EQ(one->status, 200);
    EXPECT_NE(one->body.find("\"label\":\"machine B\""), std::string::npos);
    EXPECT_NE(one->body.find("\"stutters\":"), std::string::npos) << "the frame times came with the record";
    const struct { const char *path; int status; } getTbl[] = {
        {"/api/runs/999999", 404}, {"/api/compare?id=1", 400}, {"/api/best?test=0", 200}, {"/", 200},
        {"/machines", 200},         {"/best?adapter=B", 200},   {"/upload", 200},          {"/nothing", 404},
    };
    for (const auto &g : getTbl) {
        auto res = c.Get(g.path);
        ASSERT_TRUE(res) << g.path;
        EXPECT_EQ(res->status, g.status) << g.path;
    }
    auto cmp = c.Get(("/api/compare?id=" + std::to_string(idA) + "&id=" + std::to_string(idB)).c_str());
    ASSERT_TRUE(cmp);
    EXPECT_EQ(cmp->status, 200);
    EXPECT_NE(cmp->body.find("Game1 (Low)"), std::string::npos);
    auto best = c.Get("/api/best?test=0&adapter=Adapter%20B");
    ASSERT_TRUE(best);
    EXPECT_EQ(_id(best->body.substr(best->body.find("\"runs\""))), idB) << best->body;
}

// Text a machine sent is shown as text on every page, and JSON carries no markup.
TEST_P(ResultsHub, EscapesWhatAMachineSent)
{
    Start();
    httplib::Client c = Client();
    const char *const kEvil = "<script>alert('x')</script>\"&";
    auto res = c.Post("/api/runs", _auth(token), _results(kMachineA[0], kEvil), "text/plain");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 201) << res->body;
    const std::string id = std::to_string(_id(res->body));
    for (const std::string &path : std::vector<std::string>{"/", "/machines", "/best", "/runs/" + id, "/compare?id=" + id, "/api/runs",
                                   "/api/runs/" + id, "/?adapter=%3Cscript%3E", "/best?processor=%22%3E%3Cb%3E"}) {
        auto page = c.Get(path.c_str());
        ASSERT_TRUE(page) << path;
        EXPECT_EQ(page->status, 200) << path;
        EXPECT_EQ(page->body.find("<script>"), std::string::npos) << path;
        EXPECT_EQ(page->body.find("\"><b>"), std::string::npos) << path;
        if (path.compare(0, 5, "/api/") != 0 && path.find('?') == std::string::npos && path != "/best") {
            EXPECT_NE(page->body.find("&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&quot;&amp;"), std::string::npos)
                << path;
        }
    }
}

// The results file's score blocks in another order: every page reads a score by its test's name.
std::string _reordered(const std::string &aText)
{
    const size_t from = aText.find("<", aText.find("[Score]")), to = aText.find("----", from);
    std::vector<std::string> blocks;
    for (size_t at = from; at < to;) {
        const size_t end = std::min(aText.find("\n\n", at) + 2, to);
        blocks.push_back(aText.substr(at, end - at));
        at = end;
    }
    std::string out = aText.substr(0, from);
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it)
        out += *it;
    return out + aText.substr(to);
}

// What a machine may send that is not as it should be: text in another code page or cut mid
// character is kept as the same valid UTF-8 on both backends, scores in another order are read by
// name, a record naming one file for many runs and too many frame times are refused, and what
// a reader asks that names nothing is refused or finds nothing, never a database error.
TEST_P(ResultsHub, ReadsWhatAMachineSentTheSameOnEveryBackend)
{
    Start(4 * 1024 * 1024, 5000);
    httplib::Client c = Client();
    const struct { const char *adapter; } textTbl[] = {
        {"Caf\xE9 Graphics"}, {"\x83\x65\x83\x58\x83\x67 Adapter"}, {"Cut \xE3\x81"}, {"Overlong \xC0\xAF \xF5\x80"},
    };
    for (const auto &t : textTbl) {
        auto res = c.Post("/api/runs", _auth(token), _results(kMachineA[0], t.adapter), "text/plain");
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 201) << t.adapter << " " << res->body;
        auto run = c.Get(("/api/runs/" + std::to_string(_id(res->body))).c_str());
        ASSERT_TRUE(run);
        EXPECT_NE(run->body.find(sHubJson(sStoreText(t.adapter))), std::string::npos) << t.adapter << run->body;
    }
    const std::string label = std::string(199, 'a') + "\xC3\xA9";
    auto cut = c.Post("/api/runs?label=" + std::string(199, 'a') + "%C3%A9", _auth(token),
                      _results(kMachineA[1], "Adapter L"), "text/plain");
    ASSERT_TRUE(cut);
    ASSERT_EQ(cut->status, 201) << cut->body;
    auto labelled = c.Get("/api/runs?limit=1");
    ASSERT_TRUE(labelled);
    EXPECT_NE(labelled->body.find("\"label\":\"" + std::string(199, 'a') + "\""), std::string::npos);

    // The same scores in the file's order and reversed: the best of each test is the same.
    const std::string plain = _results(kMachineB[0], "Adapter P");
    const std::string reversed = _reordered(_results(kMachineB[0], "Adapter R"));
    ASSERT_NE(reversed, _results(kMachineB[0], "Adapter R"));
    for (const std::string *body : {&plain, &reversed}) {
        auto res = c.Post("/api/runs", _auth(token), *body, "text/plain");
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 201) << res->body;
    }
    for (int test = 0; test < RESULTS_TEST_NUM; ++test) {
        std::string means[2];
        for (int k = 0; k < 2; ++k) {
            auto best = c.Get(("/api/best?test=" + std::to_string(test) + "&adapter=Adapter%20" + "PR"[k]).c_str());
            ASSERT_TRUE(best);
            const size_t at = best->body.find("\"mean\":");
            ASSERT_NE(at, std::string::npos) << best->body;
            means[k] = best->body.substr(at, best->body.find(',', at) - at);
        }
        EXPECT_EQ(means[0], means[1]) << sResultsTestName(test);
    }
    // The page asks for every test at once: each test's rows as the API gives them alone, in order.
    auto page = c.Get("/best?adapter=Adapter");
    ASSERT_TRUE(page);
    for (int test = 0; test < RESULTS_TEST_NUM; ++test) {
        auto best = c.Get(("/api/best?test=" + std::to_string(test) + "&adapter=Adapter").c_str());
        ASSERT_TRUE(best);
        std::string want, got;
        for (size_t at = 0; (at = best->body.find("{\"id\":", at)) != std::string::npos; at += 6)
            want += best->body.substr(at + 6, best->body.find(',', at) - at - 6) + " ";
        const size_t from = page->body.find("<h2>" + sResultsHtml(sResultsTestName(test)) + "</h2>");
        ASSERT_NE(from, std::string::npos) << sResultsTestName(test);
        const size_t to = page->body.find("</table>", from);
        for (size_t at = from; (at = page->body.find("<a href=\"/runs/", at)) < to; at += 15)
            got += page->body.substr(at + 15, page->body.find('"', at + 15) - at - 15) + " ";
        EXPECT_FALSE(want.empty()) << sResultsTestName(test);
        EXPECT_EQ(got, want) << sResultsTestName(test);
    }
    auto list = c.Get("/api/runs?adapter=Adapter%20R");
    ASSERT_TRUE(list);
    EXPECT_NE(list->body.find("\"tests\":[0,1,2,3,4,5,6,7,8,9]"), std::string::npos) << list->body;

    // One frame-time file named for every run of a record; then more frame times than the hub takes.
    Dir dir;
    _statsRecord rec;
    rec.started = "2026-12-08 05:00:00";
    httplib::MultipartFormDataItems form = {{"file", _frames(1, 10, 20), "F.csv", "text/plain"}};
    for (long k = 1; k <= 3; ++k) {
        const std::string r = "R-" + std::to_string(k) + ".txt";
        rec.runs.push_back({k, 60, r, "F.csv"});
        form.push_back({"file", _results(kMachineA[k - 1], "Adapter F"), r, "text/plain"});
    }
    form.push_back({"run", sStatsWriteRecord(rec), "F.run", "text/plain"});
    auto once = c.Post("/api/runs", _auth(token), form);
    ASSERT_TRUE(once);
    EXPECT_EQ(once->status, 400);
    EXPECT_NE(once->body.find("F.csv is named for more than one run"), std::string::npos) << once->body;
    httplib::MultipartFormDataItems many = {{"run", _results(kMachineA[0], "Adapter M"), "M.txt", "text/plain"},
                                            {"frames", _frames(1, 1, 20), "MFrames.csv", "text/plain"}};
    auto tooMany = c.Post("/api/runs", _auth(token), many);
    ASSERT_TRUE(tooMany);
    EXPECT_EQ(tooMany->status, 413) << tooMany->body;
    const long runs = Count("run");

    const struct { const char *path; int status; const char *holds; } readTbl[] = {
        {"/api/runs?adapter=%FF%FF%FF", 200, "\"runs\":[]"}, {"/api/runs?processor=%00", 200, "\"runs\":[]"},
        {"/?adapter=%C3", 200, "Runs"},               {"/best?processor=%FF%FE", 200, "Best runs"},
        {"/api/best?test=99", 400, "test="},           {"/best?test=10", 400, "test="},
        {"/api/best?test=-1", 400, "test="},           {"/machines?after_processor=%FF", 200, "Machines"},
    };
    for (const auto &r : readTbl) {
        auto res = c.Get(r.path);
        ASSERT_TRUE(res) << r.path;
        EXPECT_EQ(res->status, r.status) << r.path;
        EXPECT_NE(res->body.find(r.holds), std::string::npos) << r.path << " " << res->body;
        EXPECT_FALSE(res->has_header("EXCEPTION_WHAT")) << r.path;
        for (const char *internal : {"ERROR:", "invalid byte sequence", "SQL", "sqlite"})
            EXPECT_EQ(res->body.find(internal), std::string::npos) << r.path << " " << res->body;
    }
    // A token is taken exactly as sent.
    for (const std::string &auth : {"Bearer%20" + token, "Bearer  " + token, "bearer " + token, "Bearer " + token + " x"}) {
        auto res = c.Post("/api/runs", {{"Authorization", auth}}, _results(kMachineB[1], "Adapter T"), "text/plain");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 401) << auth;
    }
    EXPECT_EQ(Count("run"), runs);
}

// Many runners at once, every run sent twice: each stored exactly once.
TEST_P(ResultsHub, ManyRunnersStoreEachRunOnce)
{
    Start();
    enum { RUNNERS = 64, RUNS = 10 };
    std::atomic<int> created{0}, repeated{0}, failed{0};
    std::mutex noteLock;
    std::string note;
    std::vector<std::thread> runners;
    for (int r = 0; r < RUNNERS; ++r)
        runners.emplace_back([&, r] {
            httplib::Client c = Client();
            for (int k = 0; k < RUNS * 2; ++k) {
                // Each run is sent once by its runner and once more by the next (a spool sent twice).
                const int run = (r * RUNS + k / 2 + (k % 2) * RUNS) % (RUNNERS * RUNS);
                double scale[CP_TEST_NUM];
                for (int i = 0; i < CP_TEST_NUM; ++i)
                    scale[i] = 1.0 + run * 0.001 + i * 0.01;
                const std::string adapter = "Adapter " + std::to_string(run);
                const std::string text = _results(scale, adapter.c_str());
                auto res = c.Post("/api/runs", _auth(token), text, "text/plain");
                for (int attempt = 0; attempt < 5 && !res; ++attempt)
                    res = c.Post("/api/runs", _auth(token), text, "text/plain");
                if (res && res->status == 201) {
                    ++created;
                } else if (res && res->status == 200) {
                    ++repeated;
                } else {
                    ++failed;
                    std::lock_guard<std::mutex> lock(noteLock);
                    note = res ? std::to_string(res->status) + " " + res->body : httplib::to_string(res.error());
                }
            }
        });
    for (std::thread &t : runners)
        t.join();
    EXPECT_EQ(failed, 0) << note;
    EXPECT_EQ(created, RUNNERS * RUNS);
    EXPECT_EQ(repeated, RUNNERS * RUNS);
    EXPECT_EQ(Count("run"), RUNNERS * RUNS);
    EXPECT_EQ(Count("pass"), RUNNERS * RUNS);
}

INSTANTIATE_TEST_SUITE_P(Backends, ResultsHub, ::testing::Values("sqlite", "postgresql"),
                         [](const ::testing::TestParamInfo<const char *> &aI) { return std::string(aI.param); });

// Whatever bytes a machine sent, JSON strings come out valid UTF-8 with no markup and the HTML
// escape replaces the same bytes (a lead byte above F4 included).
TEST(HubJson, EscapesEveryByteItMust)
{
    const struct { std::string in, json, html; } caseTbl[] = {
        {"plain", "\"plain\"", "plain"},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "a&quot;b\\c"},
        {"\n\t\x01\x7f", "\"\\u000a\\u0009\\u0001\\u007f\"", "\n\t \x7f"},
        {"<script>", "\"\\u003cscript>\"", "&lt;script&gt;"},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},
        {"\xF5\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xE3\x81", "\"\xEF\xBF\xBD\xEF\xBF\xBD\"", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto &c : caseTbl) {
        EXPECT_EQ(sHubJson(c.in), c.json) << c.in;
        EXPECT_EQ(sResultsHtml(c.in), c.html) << c.in;
    }
}
