#ifndef KESTREL_LIBRARY_STATS_STATSFILE_H
#define KESTREL_LIBRARY_STATS_STATSFILE_H

// Readers of what a benchmark run leaves: the results file Kestrel saves, the frame-time record
// and the unattended runner's run record. Each checks every count, size and number and refuses a
// malformed file with the line and the reason; the caller adds the file's name.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum {
    STATS_RESULTS_MAX = 64 * 1024,         // bytes of a results file
    STATS_FRAMES_MAX = 4 * 1000 * 1000,    // frames of a record (over an hour at 1000 fps)
    STATS_RECORD_MAX = 256 * 1024,         // bytes of a run record
    STATS_TEST_MAX = 16,                   // tests in a results file
    STATS_RUN_MAX = 1000,                  // runs in a run record
    STATS_LINE_MAX = 1024,                 // characters of a line
    STATS_BUSY_TESTS = 10,                 // tests a run record's busy line covers
};

struct _statsError {
    long line;         // 1-based; 0 for the file as a whole
    std::string reason;
};

// ---- Results file ------------------------------------------------------------------------

struct _statsField {
    std::string label, value;
};

struct _statsTestResult {
    std::string name;   // as the file names it, e.g. "2D Graphics"
    int scoredB;        // "None" reads 0
    long score;         // marks
    double fps;         // "FPS Average": passes through the frame loop per second (not frames shown)
};

struct _statsResults {
    std::string version;               // "1.2" of "Kestrel Ver 1.2 Results File"
    std::vector<_statsField> system;   // [System] lines in order
    std::vector<_statsField> options;  // [Options] lines in order, "<Group>/<Label>"
    std::vector<_statsTestResult> tests;
    int overallB;
    long overall;
    double overallFps;
};

// 0, or -1 with *aErrP filled.
long sStatsReadResults(const char *aTextP, size_t aLen, _statsResults *aOutP, _statsError *aErrP);
// The value of a [System] or [Options] label, or an empty text.
std::string sStatsField(const std::vector<_statsField> &aFields, const char *aLabelP);

// ---- Frame-time record -------------------------------------------------------------------

struct _statsFrame {
    int32_t test;       // benchmark row
    int32_t frame;      // scene frame shown
    double ms, deltaMs, updateMs, drawMs, presentMs;  // the earlier five-column record has no draw/present: 0
};

// 0, or -1 with *aErrP filled. Frames of one test are contiguous and in time order.
long sStatsReadFrames(const char *aTextP, size_t aLen, std::vector<_statsFrame> *aOutP, _statsError *aErrP);

// ---- Run record --------------------------------------------------------------------------

#define STATS_RECORD_HEAD "Kestrel run record 1"

struct _statsRecordRun {
    long number = 0;        // 1..runs
    double seconds = 0;     // how long the run took
    std::string results;    // results file, relative to the record's folder
    std::string frames;     // frame-time record, or empty
    // Per benchmark test, the share of one core other processes took while it played (0.25 is a
    // quarter of a core); -1 when the runner could not tell or the test did not play.
    double busy[STATS_BUSY_TESTS] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

struct _statsRecord {
    std::string started;    // local time the runner started, as it wrote it
    std::string args;       // the runner's options
    double stablePct = 0;   // --until-stable target, 0 for a fixed count
    std::string wine;       // Wine's version, empty on Windows or when not known
    std::string direct3d;   // Wine's Direct3D settings, "name=value, ..."; empty: none set
    std::vector<_statsRecordRun> runs;
};

// 0, or -1 with *aErrP filled. File names are plain names or relative paths below the record's
// folder (no drive, no leading separator, no "..").
long sStatsReadRecord(const char *aTextP, size_t aLen, _statsRecord *aOutP, _statsError *aErrP);
// The record's text, as the reader reads it.
std::string sStatsWriteRecord(const _statsRecord &aRec);

#endif
