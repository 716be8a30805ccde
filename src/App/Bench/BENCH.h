#ifndef KESTREL_APP_BENCH_BENCH_H
#define KESTREL_APP_BENCH_BENCH_H

// The benchmark and demo flow (flow 0).

extern int gLoopCnt; // passes of a continuous-loop run

void benchFlowInit(void);
void benchFlowExec(void);
void benchFlowExit(void);

#endif
