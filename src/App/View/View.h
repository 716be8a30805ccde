#ifndef KESTREL_APP_VIEW_VIEW_H
#define KESTREL_APP_VIEW_VIEW_H

// The viewer flow (flow 1): kept in the flow table for the authoring tools; benchmark and demo
// runs never request it.

void viewFlowInit(void);
void viewFlowExec(void);
void viewFlowExit(void);

#endif
