// What else the machine did while Kestrel played each test, and which Wine it ran on. A score
// taken while other processes took much of a core says little about the machine: such a test is
// marked disturbed. The system's busy time comes from the processor times NT keeps (idle time per
// processor), Kestrel's and the runner's own from the process list; Windows 98 has neither, and
// there the share reads n/a. Everything is looked up at run time, so the runner starts on 98.

#pragma once

#include <windows.h>

#include <string>

// Wine's version ("8.0"), or an empty text on Windows.
std::string sWatchWineVersion();
// Wine's Direct3D settings (HKCU\Software\Wine\Direct3D) as "name=value" joined by ", ", in the
// key's order; an empty text when the key has no values or is absent.
std::string sWatchDirect3d();

class _watch {
public:
    // aProcessId: Kestrel; aRunLog: the file Kestrel writes its row starts and ends to.
    void Begin(DWORD aProcessId, const std::string &aRunLog);
    // Reads the log's new lines and samples the machine as a test starts or ends; cheap enough to
    // call every tenth of a second.
    void Tick();
    // The share of one core that other processes took while test aTest (0..9) played, -1 when
    // the system cannot tell or the test did not play.
    double Share(int aTest) const;

private:
    struct Sample {
        bool okB;
        double wallS, idleS, ownS; // idle: all processors together; own: Kestrel and the runner
        int cpus;
    };
    Sample _sample() const;
    void _open(int aTest);
    void _close();

    enum { TEST_NUM = 10 };
    DWORD _pid = 0;
    std::string _log;
    size_t _logSeen = 0;
    int _test = -1;
    Sample _start = {};
    double _share[TEST_NUM] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};
