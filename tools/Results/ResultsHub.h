#ifndef KESTREL_TOOLS_RESULTS_RESULTSHUB_H
#define KESTREL_TOOLS_RESULTS_RESULTSHUB_H

// The results hub: many machines' runs in one store, a browser of them and a JSON API, over
// HTTP. Reading is open; storing a run needs a token the hub's owner issued (token add).

#include <string>

#include "ResultsStore.h"

struct _hubConfig {
    std::string db;        // as --db: an SQLite file or a postgresql:// address
    std::string host;      // the address listened on (loopback unless told)
    int port;              // 0: any free port
    size_t maxUpload;      // bytes of a request's body; more is refused with 413
    int threads;           // pages made at once (submissions: 4 more); 0: 8
    int perClient;         // connections from one address at once, more are closed; 0: 16
    int connections;       // connections at once in all; 0: 512
    int requestSeconds;    // time to send a whole request (line, headers, body); 0: 10
    long framesMax;        // frame times one submission may store, and one page load; 0: 500,000
};

struct _hub;

// Opens the store (bringing its schema up to date) and binds the address: 0 with *aPortP the
// port bound, or -1 with the reason.
int sHubOpen(const _hubConfig &aConfig, _hub **aHubPP, int *aPortP, std::string *aErrP);
// Serves until sHubStop (from another thread or a signal's watcher); 0, or -1 when it failed.
int sHubRun(_hub *aHubP);
void sHubStop(_hub *aHubP);
void sHubClose(_hub *aHubP);

// Text made safe for a JSON string (quotes included): UTF-8, controls escaped.
std::string sHubJson(const std::string &aText);

#endif
