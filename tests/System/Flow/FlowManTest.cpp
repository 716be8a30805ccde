#include "System/Flow/FLOWMAN.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string trace;
int requestAt = -1;  // procedure index (0..5) that requests a flow
long requestFlow = 0;
int endAt = -1;      // procedure index that ends the run

void _step(int aIndex, char aMark)
{
    trace += aMark;
    if (aIndex == requestAt)
        sFlowChgGoAuto(requestFlow);
    // What the end of a run does: the request bit alone.
    if (aIndex == endAt)
        flowMan.status |= FLOW_REQUEST;
}
void init0() { _step(0, 'I'); }
void exec0() { _step(1, 'E'); }
void exit0() { _step(2, 'X'); }
void init1() { _step(3, 'i'); }
void exec1() { _step(4, 'e'); }
void exit1() { _step(5, 'x'); }

const _flowDef table[] = {
    {init0, exec0, exit0},
    {init1, exec1, exit1},
    {nullptr, nullptr, nullptr},
};

class FlowMan : public ::testing::Test {
protected:
    void SetUp() override
    {
        trace.clear();
        requestAt = -1;
        endAt = -1;
        sFlowManInit(table);
    }
};

TEST_F(FlowMan, StartsActiveOnFlowZeroWithTheRowsCounted)
{
    EXPECT_EQ(flowMan.status, FLOW_ACTIVE);
    EXPECT_EQ(flowMan.maxNum, 2);
    EXPECT_EQ(flowMan.execNum, 0);
    EXPECT_EQ(flowMan.reqNum, 0);
    sFlowCtrl();
    sFlowCtrl();
    EXPECT_EQ(trace, "IEXIEX");
}

TEST_F(FlowMan, RequestsFromInitExecOrExitSwitchAfterTheExitProcedure)
{
    for (int at : {0, 1, 2}) {
        SetUp();
        requestAt = at;
        requestFlow = 1;
        sFlowCtrl();
        EXPECT_EQ(flowMan.execNum, 1) << at;
        EXPECT_EQ(flowMan.status & FLOW_REQUEST, 0) << at;
        requestAt = -1;
        sFlowCtrl();
        EXPECT_EQ(trace, "IEXiex") << at;
    }
}

TEST_F(FlowMan, NumbersOutsideTheTableRequestFlowZero)
{
    for (long n : {2L, 99L, -1L}) {
        sFlowManInit(table);
        flowMan.execNum = 1;
        sFlowChgGoAuto(n);
        EXPECT_EQ(flowMan.reqNum, 0) << n;
        EXPECT_TRUE(flowMan.status & FLOW_REQUEST);
    }
}

TEST_F(FlowMan, InactiveManagerRunsNothing)
{
    sFlowManExit();
    EXPECT_EQ(flowMan.status & FLOW_ACTIVE, 0);
    sFlowCtrl();
    EXPECT_EQ(trace, "");
}

TEST_F(FlowMan, EndOfRunRequestKeepsTheFlow)
{
    // On flow 1 first, so that keeping the flow and falling back to flow 0 differ.
    requestAt = 1;
    requestFlow = 1;
    sFlowCtrl();
    ASSERT_EQ(flowMan.execNum, 1);
    // The end of a run sets the request bit without choosing another flow.
    requestAt = -1;
    endAt = 4;
    sFlowCtrl();
    EXPECT_EQ(flowMan.execNum, 1);
    EXPECT_EQ(trace, "IEXiex");
}

TEST(FlowManEmpty, TableWithoutRowsIdles)
{
    const _flowDef empty[] = {{nullptr, nullptr, nullptr}};
    sFlowManInit(empty);
    EXPECT_EQ(flowMan.maxNum, 0);
    sFlowCtrl(); // must not run the terminating row
    EXPECT_EQ(flowMan.execNum, 0);
}

} // namespace
