#include "Library/Stats/StatsFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Lines of a text, each without its end; a text must end with a line end (a file cut short does
// not), and may not hold NUL bytes, control characters or overlong lines.
struct _lines {
    std::vector<std::string> line;
};

long _fail(_statsError *aErrP, long aLine, const std::string &aReason)
{
    aErrP->line = aLine;
    aErrP->reason = aReason;
    return -1;
}

long _split(const char *aTextP, size_t aLen, size_t aMax, _lines *aOutP, _statsError *aErrP)
{
    if (aLen == 0)
        return _fail(aErrP, 0, "empty file");
    if (aLen > aMax)
        return _fail(aErrP, 0, "larger than " + std::to_string(aMax) + " bytes");
    std::string cur;
    for (size_t i = 0; i < aLen; ++i) {
        const unsigned char c = (unsigned char)aTextP[i];
        const long lineNo = (long)aOutP->line.size() + 1;
        if (c == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            aOutP->line.push_back(cur);
            cur.clear();
            continue;
        }
        if (c == 0)
            return _fail(aErrP, lineNo, "NUL byte");
        if (c < 0x20 && c != '\t' && c != '\r')
            return _fail(aErrP, lineNo, "control character " + std::to_string(c));
        if (cur.size() >= STATS_LINE_MAX)
            return _fail(aErrP, lineNo, "line longer than " + std::to_string(STATS_LINE_MAX) + " characters");
        cur += (char)c;
    }
    if (!cur.empty())
        return _fail(aErrP, (long)aOutP->line.size() + 1, "last line has no line end (file cut short?)");
    return 0;
}

std::string _trim(const std::string &aS)
{
    const size_t a = aS.find_first_not_of(" \t");
    if (a == std::string::npos)
        return "";
    const size_t b = aS.find_last_not_of(" \t");
    return aS.substr(a, b - a + 1);
}

// A whole-text number in [aMin, aMax]; strtod and strtol accept what the writers print.
bool _real(const std::string &aS, double aMin, double aMax, double *aOutP)
{
    if (aS.empty() || aS.size() > 40 || std::isspace((unsigned char)aS[0]))
        return false;
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(aS.c_str(), &end);
    if (errno || *end || !std::isfinite(v) || v < aMin || v > aMax)
        return false;
    *aOutP = v;
    return true;
}

bool _integer(const std::string &aS, long aMin, long aMax, long *aOutP)
{
    if (aS.empty() || aS.size() > 20 || std::isspace((unsigned char)aS[0]))
        return false;
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(aS.c_str(), &end, 10);
    if (errno || *end || v < aMin || v > aMax)
        return false;
    *aOutP = v;
    return true;
}

// "1234   Marks" / "38.56  FPS" / "None": the number and its unit, or none.
enum class _value { None, Number, Bad };
_value _measure(const std::string &aValue, const char *aUnitP, double aMax, double *aOutP)
{
    if (aValue == "None")
        return _value::None;
    const size_t space = aValue.find(' ');
    if (space == std::string::npos || _trim(aValue.substr(space)) != aUnitP)
        return _value::Bad;
    return _real(aValue.substr(0, space), 0, aMax, aOutP) ? _value::Number : _value::Bad;
}

bool _divider(const std::string &aLine)
{
    return aLine.size() >= 10 && aLine.find_first_not_of('-') == std::string::npos;
}

// Label up to the value column, value after it; a line without one is all label.
void _labelValue(const std::string &aLine, std::string *aLabelP, std::string *aValueP)
{
    const size_t column = 28;
    if (aLine.size() > column && aLine[column - 1] == ' ') {
        *aLabelP = _trim(aLine.substr(0, column));
        *aValueP = _trim(aLine.substr(column));
    } else {
        *aLabelP = _trim(aLine);
        aValueP->clear();
    }
}

const double _scoreMax = 1e9, _fpsMax = 1e7;

} // namespace

std::string sStatsField(const std::vector<_statsField> &aFields, const char *aLabelP)
{
    for (const _statsField &f : aFields)
        if (f.label == aLabelP)
            return f.value;
    return "";
}

long sStatsReadResults(const char *aTextP, size_t aLen, _statsResults *aOutP, _statsError *aErrP)
{
    _lines text;
    if (_split(aTextP, aLen, STATS_RESULTS_MAX, &text, aErrP))
        return -1;
    _statsResults r = {};
    const std::string &head = text.line[0];
    const char *prefix = "Kestrel Ver ", *suffix = " Results File";
    if (head.compare(0, std::strlen(prefix), prefix) != 0 || head.size() <= std::strlen(prefix) + std::strlen(suffix) ||
        head.compare(head.size() - std::strlen(suffix), std::string::npos, suffix) != 0)
        return _fail(aErrP, 1, "not a Kestrel results file (no \"Kestrel Ver ... Results File\" line)");
    r.version = head.substr(std::strlen(prefix), head.size() - std::strlen(prefix) - std::strlen(suffix));

    enum { NONE, SYSTEM, OPTIONS, SCORE, OVERALL, OTHER } section = NONE;
    bool seen[5] = {};
    std::string group;
    _statsTestResult *test = nullptr;
    int haveScore = 0, haveFps = 0;        // of the open test
    int overallScore = 0, overallFps = 0;
    long testLine = 0;
    for (size_t i = 1; i < text.line.size(); ++i) {
        const long lineNo = (long)i + 1;
        const std::string &line = text.line[i];
        if (_divider(line)) {
            // A section title between two dividers.
            if (i + 2 >= text.line.size() || !_divider(text.line[i + 2]))
                return _fail(aErrP, lineNo, "divider without a section title");
            const std::string title = text.line[i + 1];
            const struct { const char *title; int section; } sectionTbl[] = {
                {"[System]", SYSTEM}, {"[Options]", OPTIONS}, {"[Score]", SCORE}, {"[Overall Score]", OVERALL},
            };
            int next = OTHER;
            for (const auto &s : sectionTbl)
                if (title == s.title)
                    next = s.section;
            if (next == OTHER)
                return _fail(aErrP, lineNo + 1, "unknown section \"" + title + "\"");
            if (seen[next])
                return _fail(aErrP, lineNo + 1, "section " + title + " appears twice");
            seen[next] = true;
            if (test && (!haveScore || !haveFps))
                return _fail(aErrP, testLine, "test <" + test->name + "> lacks its score or frame rate");
            test = nullptr;
            section = (decltype(section))next;
            group.clear();
            i += 2;
            continue;
        }
        if (_trim(line).empty())
            continue;
        if (section == NONE)
            return _fail(aErrP, lineNo, "text before the first section");
        if (line.front() == '<' && line.back() == '>') {
            const std::string name = line.substr(1, line.size() - 2);
            if (name.empty())
                return _fail(aErrP, lineNo, "empty group name");
            if (section == SCORE) {
                if (test && (!haveScore || !haveFps))
                    return _fail(aErrP, testLine, "test <" + test->name + "> lacks its score or frame rate");
                for (const _statsTestResult &t : r.tests)
                    if (t.name == name)
                        return _fail(aErrP, lineNo, "test <" + name + "> appears twice");
                if (r.tests.size() >= STATS_TEST_MAX)
                    return _fail(aErrP, lineNo, "more than " + std::to_string(STATS_TEST_MAX) + " tests");
                r.tests.push_back(_statsTestResult{name, 0, 0, 0});
                test = &r.tests.back();
                haveScore = haveFps = 0;
                testLine = lineNo;
            } else {
                group = name;
            }
            continue;
        }
        std::string label, value;
        _labelValue(line, &label, &value);
        if (section == SYSTEM || section == OPTIONS) {
            (section == SYSTEM ? r.system : r.options)
                .push_back(_statsField{group.empty() ? label : group + "/" + label, value});
            continue;
        }
        // Scores: a test's (or the overall) score and frame rate, nothing else counts.
        const bool isScore = label == "Kestrel Score", isFps = label == "FPS Average";
        if (!isScore && !isFps)
            continue;
        double number = 0;
        const _value v = _measure(value, isScore ? "Marks" : "FPS", isScore ? _scoreMax : _fpsMax, &number);
        if (v == _value::Bad)
            return _fail(aErrP, lineNo, "bad " + label + " \"" + value + "\"");
        if (section == SCORE) {
            if (!test)
                return _fail(aErrP, lineNo, label + " outside a test");
            int &have = isScore ? haveScore : haveFps;
            if (have)
                return _fail(aErrP, lineNo, label + " twice in test <" + test->name + ">");
            have = 1;
            if (isScore) {
                test->scoredB = v == _value::Number;
                test->score = (long)number;
            } else {
                test->fps = number;
            }
        } else {
            int &have = isScore ? overallScore : overallFps;
            if (have)
                return _fail(aErrP, lineNo, label + " twice in [Overall Score]");
            have = 1;
            if (isScore) {
                r.overallB = v == _value::Number;
                r.overall = (long)number;
            } else {
                r.overallFps = number;
            }
        }
    }
    const long end = (long)text.line.size();
    if (!seen[SYSTEM] || !seen[SCORE])
        return _fail(aErrP, end, std::string("file ends before its ") + (seen[SYSTEM] ? "[Score]" : "[System]") +
                                     " section");
    if (test && (!haveScore || !haveFps))
        return _fail(aErrP, testLine, "test <" + test->name + "> lacks its score or frame rate");
    if (r.tests.empty())
        return _fail(aErrP, end, "no test in [Score]");
    if (!seen[OVERALL] || !overallScore || !overallFps)
        return _fail(aErrP, end, "file ends before the [Overall Score] score and frame rate");
    *aOutP = r;
    return 0;
}

long sStatsReadFrames(const char *aTextP, size_t aLen, std::vector<_statsFrame> *aOutP, _statsError *aErrP)
{
    // Lines up to STATS_FRAMES_MAX of at most ~160 bytes each.
    _lines text;
    if (_split(aTextP, aLen, (size_t)STATS_FRAMES_MAX * 160, &text, aErrP))
        return -1;
    // The record's four generations: with the counts of what is bound, with the device work of
    // each frame, with draw and present times, and the first five columns only. The counts are
    // checked, not kept.
    static const struct {
        const char *head;
        size_t columns;
    } headTbl[4] = {
        {"test,frame,ms,deltaMs,updateMs,drawMs,presentMs,drawCalls,primitives,stateChanges,redundantStates,"
         "stateSkips,texChanges,locks,readBacks,uploadBytes,textureSkips,transformSkips,materialSkips,"
         "viewportSkips,sceneSkips,redundantTextures,redundantTransforms,redundantMaterials,redundantViewports",
         25},
        {"test,frame,ms,deltaMs,updateMs,drawMs,presentMs,drawCalls,primitives,stateChanges,redundantStates,"
         "stateSkips,texChanges,locks,readBacks,uploadBytes",
         16},
        {"test,frame,ms,deltaMs,updateMs,drawMs,presentMs", 7},
        {"test,frame,ms,deltaMs,updateMs", 5},
    };
    size_t columns = 0;
    for (const auto &h : headTbl)
        if (text.line[0] == h.head)
            columns = h.columns;
    if (!columns)
        return _fail(aErrP, 1, std::string("not a frame-time record (first line is not \"") + headTbl[0].head + "\")");
    std::vector<_statsFrame> out;
    out.reserve(text.line.size() - 1);
    std::vector<bool> done(64, false);
    for (size_t i = 1; i < text.line.size(); ++i) {
        const long lineNo = (long)i + 1;
        const std::string &line = text.line[i];
        if (out.size() >= (size_t)STATS_FRAMES_MAX)
            return _fail(aErrP, lineNo, "more than " + std::to_string(STATS_FRAMES_MAX) + " frames");
        std::vector<std::string> field;
        for (size_t at = 0;;) {
            const size_t comma = line.find(',', at);
            field.push_back(line.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
            if (comma == std::string::npos || field.size() > columns)
                break;
            at = comma + 1;
        }
        if (field.size() != columns)
            return _fail(aErrP, lineNo, std::to_string(field.size()) + " fields where " + std::to_string(columns) +
                                            " belong");
        _statsFrame f = {};
        long test = 0, frame = 0;
        if (!_integer(field[0], 0, 63, &test))
            return _fail(aErrP, lineNo, "bad test \"" + field[0] + "\"");
        if (!_integer(field[1], 0, 10000000, &frame))
            return _fail(aErrP, lineNo, "bad frame \"" + field[1] + "\"");
        double *const msTbl[5] = {&f.ms, &f.deltaMs, &f.updateMs, &f.drawMs, &f.presentMs};
        static const char *const msName[5] = {"ms", "deltaMs", "updateMs", "drawMs", "presentMs"};
        for (size_t c = 2; c < columns && c < 7; ++c)
            if (!_real(field[c], 0, 1e8, msTbl[c - 2]))
                return _fail(aErrP, lineNo, std::string("bad ") + msName[c - 2] + " \"" + field[c] + "\"");
        for (size_t c = 7; c < columns; ++c) {
            long count = 0;
            if (!_integer(field[c], 0, 2000000000, &count))
                return _fail(aErrP, lineNo, "bad count \"" + field[c] + "\" in column " + std::to_string(c + 1));
        }
        f.test = (int32_t)test;
        f.frame = (int32_t)frame;
        if (!out.empty() && out.back().test != f.test) {
            done[(size_t)out.back().test] = true;
            if (done[(size_t)test])
                return _fail(aErrP, lineNo, "test " + field[0] + " appears again after another test");
        }
        if (!out.empty() && out.back().test == f.test && f.ms < out.back().ms)
            return _fail(aErrP, lineNo, "time goes back within test " + field[0]);
        out.push_back(f);
    }
    if (out.empty())
        return _fail(aErrP, (long)text.line.size(), "no frames");
    aOutP->swap(out);
    return 0;
}

// ---- Run record ----------------------------------------------------------------------------

static bool _safeName(const std::string &aName)
{
    if (aName.empty() || aName.size() > 255 || aName[0] == '/' || aName[0] == '\\' ||
        aName.find(':') != std::string::npos)
        return false;
    // No ".." component, whichever separator.
    for (size_t at = 0; at <= aName.size();) {
        size_t sep = aName.find_first_of("/\\", at);
        if (sep == std::string::npos)
            sep = aName.size();
        if (aName.compare(at, sep - at, "..") == 0 && sep - at == 2)
            return false;
        at = sep + 1;
    }
    return true;
}

long sStatsReadRecord(const char *aTextP, size_t aLen, _statsRecord *aOutP, _statsError *aErrP)
{
    _lines text;
    if (_split(aTextP, aLen, STATS_RECORD_MAX, &text, aErrP))
        return -1;
    if (text.line[0] != STATS_RECORD_HEAD)
        return _fail(aErrP, 1, "not a Kestrel run record (first line is not \"" STATS_RECORD_HEAD "\")");
    _statsRecord r = {};
    long runs = -1;
    for (size_t i = 1; i < text.line.size(); ++i) {
        const long lineNo = (long)i + 1;
        std::vector<std::string> field;
        for (size_t at = 0;;) {
            const size_t tab = text.line[i].find('\t', at);
            field.push_back(text.line[i].substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos)
                break;
            at = tab + 1;
        }
        const std::string &key = field[0];
        if (key.empty() && field.size() == 1)
            continue;
        if ((key == "started" || key == "args" || key == "wine" || key == "direct3d") && field.size() == 2) {
            (key == "started" ? r.started : key == "args" ? r.args : key == "wine" ? r.wine : r.direct3d) = field[1];
        } else if (key == "stable" && field.size() == 2) {
            if (!_real(field[1], 0, 100, &r.stablePct))
                return _fail(aErrP, lineNo, "bad stability target \"" + field[1] + "\"");
        } else if (key == "runs" && field.size() == 2) {
            if (runs >= 0 || !_integer(field[1], 1, STATS_RUN_MAX, &runs))
                return _fail(aErrP, lineNo, "bad or second run count \"" + field[1] + "\"");
        } else if (key == "run" && field.size() == 5) {
            _statsRecordRun run;
            if (!_integer(field[1], 1, STATS_RUN_MAX, &run.number) || run.number != (long)r.runs.size() + 1)
                return _fail(aErrP, lineNo, "run \"" + field[1] + "\" out of order");
            if (!_real(field[2], 0, 1e7, &run.seconds))
                return _fail(aErrP, lineNo, "bad run time \"" + field[2] + "\"");
            if (!_safeName(field[3]))
                return _fail(aErrP, lineNo, "results file name \"" + field[3] + "\" leaves the record's folder");
            run.results = field[3];
            if (field[4] != "-") {
                if (!_safeName(field[4]))
                    return _fail(aErrP, lineNo, "frame record name \"" + field[4] + "\" leaves the record's folder");
                run.frames = field[4];
            }
            r.runs.push_back(run);
        } else if (key == "busy" && field.size() == 2 + STATS_BUSY_TESTS) {
            // Follows its run's line: the share of a core per test, "-" where not known.
            long number = 0;
            if (!_integer(field[1], 1, STATS_RUN_MAX, &number) || r.runs.empty() || number != r.runs.back().number)
                return _fail(aErrP, lineNo, "busy line of run \"" + field[1] + "\" not after its run");
            for (int t = 0; t < STATS_BUSY_TESTS; ++t) {
                const std::string &v = field[2 + (size_t)t];
                if (v != "-" && !_real(v, 0, 1024, &r.runs.back().busy[t]))
                    return _fail(aErrP, lineNo, "bad busy share \"" + v + "\"");
            }
        } else {
            return _fail(aErrP, lineNo, "unknown line \"" + key + "\" with " + std::to_string(field.size()) +
                                            " fields");
        }
    }
    if (runs < 0)
        return _fail(aErrP, (long)text.line.size(), "no run count");
    if ((long)r.runs.size() != runs)
        return _fail(aErrP, (long)text.line.size(), "run count " + std::to_string(runs) + " but " +
                                                        std::to_string(r.runs.size()) + " run lines (file cut short?)");
    *aOutP = r;
    return 0;
}

std::string sStatsWriteRecord(const _statsRecord &aRec)
{
    std::string out = STATS_RECORD_HEAD "\n";
    out += "started\t" + aRec.started + "\n";
    out += "args\t" + aRec.args + "\n";
    if (!aRec.wine.empty())
        out += "wine\t" + aRec.wine + "\n";
    if (!aRec.direct3d.empty())
        out += "direct3d\t" + aRec.direct3d + "\n";
    char line[64];
    std::snprintf(line, sizeof line, "stable\t%g\n", aRec.stablePct);
    out += line;
    out += "runs\t" + std::to_string(aRec.runs.size()) + "\n";
    for (const _statsRecordRun &run : aRec.runs) {
        std::snprintf(line, sizeof line, "run\t%ld\t%.1f\t", run.number, run.seconds);
        out += line + run.results + "\t" + (run.frames.empty() ? "-" : run.frames) + "\n";
        bool known = false;
        for (double b : run.busy)
            known |= b >= 0;
        if (!known)
            continue;
        out += "busy\t" + std::to_string(run.number);
        for (double b : run.busy) {
            std::snprintf(line, sizeof line, b >= 0 ? "\t%.3f" : "\t-", b);
            out += line;
        }
        out += "\n";
    }
    return out;
}
