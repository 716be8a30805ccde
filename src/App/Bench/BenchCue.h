#ifndef KESTREL_APP_BENCH_BENCHCUE_H
#define KESTREL_APP_BENCH_BENCHCUE_H

// The sound cue lists of the demo scenes: the frame each effect sound starts on, its file and
// volume. Plain data, so that the content checks read the very lists the program plays.

#include "Common/SceneDef.h"

extern _sceneSeDef traNinjya1SeDef[];
extern _sceneSeDef traNinjya2SeDef[];
extern _sceneSeDef ss1_1SeDef[];
extern _sceneSeDef ss2_1SeDef[];
extern _sceneSeDef ss2_2SeDef[];
extern _sceneSeDef ss2_6SeDef[];
extern _sceneSeDef ss3_3SeDef[];
extern _sceneSeDef ss4_1SeDef[];
extern _sceneSeDef ss4_2SeDef[];
extern _sceneSeDef sfNinjyaSeDef[];
extern _sceneSeDef endingSeDef[];

#endif
