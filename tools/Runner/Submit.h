#ifndef KESTREL_TOOLS_RUNNER_SUBMIT_H
#define KESTREL_TOOLS_RUNNER_SUBMIT_H

// Runs sent to a results hub: each finished run is first written whole to a spool folder as the
// request that stores it, then every request waiting there is sent, oldest first. One the hub
// cannot be reached for waits for the next run; the hub stores a run once however often it comes
// (it knows a run by its content).

#include <string>
#include <vector>

struct _submitPart {
    std::string name;      // the form's field: run, frames, file, label
    std::string filename;  // empty for a plain field
    std::string content;
};

// Writes the run's request to aSpool (made when missing) under a name that sorts by time:
// 0, or -1 with the reason.
int sSubmitSpool(const std::string &aSpool, const std::string &aStem, const std::vector<_submitPart> &aParts,
                 std::string *aErrP);

struct _submitOutcome {
    int sent;       // stored by the hub now or before
    int waiting;    // still in the spool: the hub could not be reached or did not store them
    int refused;    // the hub refused them as they are (kept as .refused beside the spool)
    std::string note;  // the last failure, for the person reading the output
};

// Sends what waits in aSpool to the hub at aUrl (its address, e.g. http://hub:8080/) with the
// write token; stops at the first request the hub cannot answer, so the rest keep their order.
_submitOutcome sSubmitSend(const std::string &aUrl, const std::string &aToken, const std::string &aSpool);

#endif
