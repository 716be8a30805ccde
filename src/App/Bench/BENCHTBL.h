#ifndef KESTREL_APP_BENCH_BENCHTBL_H
#define KESTREL_APP_BENCH_BENCHTBL_H

// The scene tables of the benchmark and the demo, FullSpec and Light, and the scene callbacks
// that add each scene's special effects.

#include <cstdint>

#include "App/Bench/BenchCore.h"
#include "App/Bench/BenchCue.h"
#include "App/Scene/SceneCore.h"

// The current table's row aStep, or null beyond the table.
_becnhDef *benchGetDefPtr(long aStep);
// Rows in the current table.
long benchGetRowNum(void);

// FullSpec start-up: every scene package of the demo and benchmark tables, each loaded once.
void benchLoadSceneAll(void);
// Frees every loaded definition once and clears it from every row.
void benchFreeSceneAll(void);

extern _becnhDef benchDef[BENCH_ROW_NUM];
extern _becnhDef lightBenchDef[BENCH_ROW_NUM];
extern _becnhDef demoDef[DEMO_ROW_NUM];
extern _becnhDef lightDef[DEMO_ROW_NUM];

#endif
