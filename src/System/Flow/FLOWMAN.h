#ifndef KESTREL_SYSTEM_FLOW_FLOWMAN_H
#define KESTREL_SYSTEM_FLOW_FLOWMAN_H

// The flow manager: runs the program's top-level activity, a flow, as init, exec and exit
// procedures taken from a table; a flow may ask for itself or another flow to run next.

#include <cstdint>

typedef void (*_flowProc)(void);

// One row of the flow table; the table ends with a row whose initProcP is null.
struct _flowDef {
    _flowProc initProcP;
    _flowProc execProcP;
    _flowProc exitProcP;
};

enum : uint16_t {
    FLOW_REQUEST = 0x0001, // a change of flow has been requested
    FLOW_ACTIVE = 0x8000,  // manager initialised
};

struct _flowMan {
    uint16_t status;
    int16_t maxNum;
    int16_t execNum;
    int16_t reqNum;
    const _flowDef *defP;
};

extern _flowMan flowMan;

// Starts the manager on aTable (the application's flow table) with flow 0 first.
void sFlowManInit(const _flowDef *aTable);
void sFlowManExit(void);
// Runs init, exec and exit of the current flow once, then switches when a request came.
void sFlowCtrl(void);
// Requests flow aFlowNum next; numbers outside the table request flow 0.
void sFlowChgGoAuto(long aFlowNum);

#endif
