#include "System/Flow/FLOWMAN.h"

#include <cstring>

_flowMan flowMan;

void sFlowManInit(const _flowDef *aTable)
{
    std::memset(&flowMan, 0, sizeof flowMan);
    flowMan.defP = aTable;
    int16_t rows = 0;
    while (aTable && aTable[rows].initProcP)
        ++rows;
    flowMan.maxNum = rows;
    flowMan.status |= FLOW_ACTIVE;
}

void sFlowManExit(void)
{
    flowMan.status &= ~FLOW_ACTIVE;
}

void sFlowCtrl(void)
{
    if (!(flowMan.status & FLOW_ACTIVE))
        return;
    flowMan.status &= ~FLOW_REQUEST;
    // An empty table has no row to run; the manager then only idles.
    if (flowMan.execNum < 0 || flowMan.execNum >= flowMan.maxNum)
        return;
    const _flowDef &flow = flowMan.defP[flowMan.execNum];
    if (flow.initProcP)
        flow.initProcP();
    if (flow.execProcP)
        flow.execProcP();
    if (flow.exitProcP)
        flow.exitProcP();
    if (flowMan.status & FLOW_REQUEST) {
        flowMan.execNum = flowMan.reqNum;
        flowMan.status &= ~FLOW_REQUEST;
    }
}

void sFlowChgGoAuto(long aFlowNum)
{
    // Negative numbers are outside the table too.
    if (aFlowNum < 0 || aFlowNum >= flowMan.maxNum)
        aFlowNum = 0;
    flowMan.reqNum = (int16_t)aFlowNum;
    flowMan.status |= FLOW_REQUEST;
}
