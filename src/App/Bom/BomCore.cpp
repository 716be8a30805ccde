#include "App/Bom/BomCore.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "Library/Matrix/MATLIB.h"

static int _rand(void)
{
    return rand() & 0x7FFF;
}

const _bomTable _bomTbl[BOM_TYPE_NUM] = {
    {64, 16, __bomBaseReq00, __bomBaseOneExec00}, {48, 16, __bomBaseReq00, __bomBaseOneExec00},
    {32, 16, __bomBaseReq00, __bomBaseOneExec00}, {16, 16, __bomBaseReq00, __bomBaseOneExec00},
    {8, 24, __bomBaseReq00, __bomBaseOneExec00},  {8, 8, __bomBaseReq00, __bomBaseOneExec00},
    {8, 32, __bomBaseReq01, __bomBaseOneExec00},  {4, 12, __bomBaseReq01, __bomBaseOneExec00},
    {8, 16, __bomBaseReq00, __bomBaseOneExec00},  {2, 8, __bomBaseReq01, __bomBaseOneExec00},
    {2, 32, __bomBaseReq01, __bomBaseOneExec00},  {32, 32, __bomBaseReq00, __bomBaseOneExec01},
    {8, 8, __bomBaseReq00, __bomBaseOneExec01},
};

// Frames each picture shows. The sixteenth picture of set B is never reached within a sprite's
// life; it gets the last duration so that every picture has one.
static const int16_t _bomTexPatTbl00[BOM_TEX_PAT_MAX] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
static const int16_t _bomTexPatTbl01[BOM_TEX_PAT_MAX] = {2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4};
static const int16_t _bomTexPatTbl02[BOM_TEX_PAT_MAX] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
static const int16_t _bomTexPatTbl03[BOM_TEX_PAT_MAX] = {1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 3, 3, 3, 4, 4, 4};

const _bomTexTable _bomTexTbl[BOM_TEX_TYPE_NUM] = {
    {15, 15, 0, _bomTexPatTbl00},
    {16, 43, 1, _bomTexPatTbl01},
    {16, 16, 1, _bomTexPatTbl02},
    {16, 32, 0, _bomTexPatTbl03},
};

void sBomTexName(long aSet, long aNum, char *aNameP, long aSize)
{
    if (aSet == 0)
        snprintf(aNameP, (size_t)aSize, "Data\\Bom\\_bomb_%02ld.bmp", aNum);
    else
        snprintf(aNameP, (size_t)aSize, "Data\\Bom\\_Bomb_B%03ld.bmp", aNum);
}

static const _bomScnTable _bomScn00[] = {
    {5, 6, 0, {{{0.0f}, {1000.0f}, {-7600.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 1.0f, 1.0f}},
    {35, 2, 3, {{{1100.0f}, {-400.0f}, {-8100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 40.0f, 0.5f, 1.5f}},
};
static const _bomScnTable _bomScn00L[] = {
    {5, 6, 0, {{{0.0f}, {1000.0f}, {-7600.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 1.0f, 1.0f}},
    {35, 2, 3, {{{1100.0f}, {-400.0f}, {-8100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 40.0f, 0.5f, 1.5f}},
};
static const _bomScnTable _bomScn01[] = {
    {25, 0, 0, {{{-300.0f}, {800.0f}, {-8200.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 60.0f, 2.0f, 0.5f}},
    {65, 1, 1, {{{1000.0f}, {1500.0f}, {-8300.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {105, 2, 2, {{{-400.0f}, {-100.0f}, {-2100.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 60.0f, 1.0f, 0.5f}},
    {145, 9, 1, {{{-700.0f}, {-200.0f}, {-2000.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 60.0f, 0.5f, 1.5f}},
    {165, 7, 3, {{{1900.0f}, {500.0f}, {-3100.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 40.0f, 1.5f, 0.5f}},
    {185, 11, 1, {{{-2500.0f}, {1300.0f}, {-5200.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 40.0f, 2.0f, 1.0f}},
    {225, 1, 0, {{{200.0f}, {800.0f}, {-6900.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
};
static const _bomScnTable _bomScn01L[] = {
    {25, 0, 0, {{{-300.0f}, {800.0f}, {-8200.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 60.0f, 2.0f, 0.5f}},
    {145, 9, 1, {{{-700.0f}, {-200.0f}, {-2000.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 60.0f, 0.5f, 1.5f}},
    {225, 1, 0, {{{200.0f}, {800.0f}, {-6900.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
};
static const _bomScnTable _bomScn02[] = {
    {45, 1, 2, {{{-900.0f}, {1700.0f}, {-4600.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 60.0f, 2.0f, 0.5f}},
    {65, 4, 3, {{{1400.0f}, {1600.0f}, {-8200.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 80.0f, 2.0f, 1.0f}},
    {105, 6, 2, {{{-2900.0f}, {900.0f}, {-4500.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
};
static const _bomScnTable _bomScn02L[] = {
    {45, 1, 2, {{{-900.0f}, {1700.0f}, {-4600.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 60.0f, 2.0f, 0.5f}},
};
static const _bomScnTable _bomScn03[] = {
    {20, 4, 1, {{{1700.0f}, {200.0f}, {-4000.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 20.0f, 1.0f, 1.0f}},
    {28, 8, 2, {{{2600.0f}, {-100.0f}, {-3500.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 80.0f, 2.0f, 1.0f}},
    {40, 6, 1, {{{-2100.0f}, {-300.0f}, {-6800.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
    {48, 9, 1, {{{-1400.0f}, {400.0f}, {-9000.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 60.0f, 1.5f, 1.5f}},
    {58, 5, 1, {{{1400.0f}, {1100.0f}, {-8400.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 50.0f, 2.0f, 1.0f}},
    {61, 7, 3, {{{-2700.0f}, {100.0f}, {-8200.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 30.0f, 0.5f, 1.0f}},
    {71, 0, 0, {{{-3000.0f}, {1300.0f}, {-7100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 40.0f, 0.5f, 0.5f}},
    {86, 3, 3, {{{-2100.0f}, {1500.0f}, {-5800.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
    {101, 7, 3, {{{0.0f}, {1000.0f}, {-5100.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 20.0f, 1.5f, 1.5f}},
    {107, 7, 1, {{{300.0f}, {-500.0f}, {-6400.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 30.0f, 0.5f, 1.5f}},
    {113, 10, 0, {{{1400.0f}, {300.0f}, {-2400.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 40.0f, 1.0f, 1.5f}},
    {123, 12, 2, {{{1000.0f}, {200.0f}, {-6600.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
    {133, 7, 2, {{{1600.0f}, {-500.0f}, {-8700.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 40.0f, 1.0f, 1.5f}},
    {143, 5, 3, {{{2100.0f}, {1800.0f}, {-4600.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 30.0f, 0.5f, 0.5f}},
    {151, 3, 2, {{{-1700.0f}, {1000.0f}, {-9000.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 80.0f, 0.5f, 1.5f}},
    {154, 6, 1, {{{0.0f}, {0.0f}, {-3500.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 20.0f, 2.0f, 1.0f}},
    {162, 11, 0, {{{1600.0f}, {0.0f}, {-6900.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 30.0f, 2.0f, 1.5f}},
    {166, 9, 3, {{{1200.0f}, {600.0f}, {-7100.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 0.5f, 1.5f}},
    {178, 1, 1, {{{-300.0f}, {100.0f}, {-6300.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 30.0f, 1.5f, 1.5f}},
    {182, 12, 2, {{{-1400.0f}, {1200.0f}, {-3700.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 80.0f, 1.5f, 1.0f}},
    {194, 9, 3, {{{2200.0f}, {1100.0f}, {-7400.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 60.0f, 0.5f, 1.0f}},
    {209, 2, 0, {{{1900.0f}, {2000.0f}, {-7100.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 50.0f, 0.5f, 1.5f}},
    {212, 5, 3, {{{2000.0f}, {1900.0f}, {-7700.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 30.0f, 1.0f, 1.0f}},
    {215, 12, 0, {{{200.0f}, {900.0f}, {-8700.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 40.0f, 1.0f, 1.5f}},
    {221, 7, 3, {{{200.0f}, {200.0f}, {-2400.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 1.0f, 1.0f}},
    {224, 6, 3, {{{-1000.0f}, {-300.0f}, {-6000.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 30.0f, 1.5f, 0.5f}},
    {239, 2, 2, {{{-2100.0f}, {300.0f}, {-7300.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 80.0f, 0.5f, 1.0f}},
    {247, 2, 1, {{{-2000.0f}, {1700.0f}, {-3500.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 40.0f, 2.0f, 0.5f}},
    {253, 5, 0, {{{1600.0f}, {600.0f}, {-8800.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 50.0f, 0.5f, 1.0f}},
    {259, 8, 2, {{{200.0f}, {-300.0f}, {-7600.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 20.0f, 1.5f, 1.0f}},
    {262, 12, 1, {{{-1300.0f}, {1900.0f}, {-7400.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 50.0f, 1.0f, 1.5f}},
    {272, 9, 3, {{{1400.0f}, {500.0f}, {-7900.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 80.0f, 1.0f, 1.0f}},
    {275, 4, 0, {{{1000.0f}, {-300.0f}, {-5700.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {283, 0, 2, {{{500.0f}, {800.0f}, {-5600.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {287, 4, 0, {{{-1900.0f}, {100.0f}, {-5100.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 60.0f, 1.0f, 1.0f}},
    {295, 8, 1, {{{-1300.0f}, {600.0f}, {-8800.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 20.0f, 0.5f, 1.5f}},
    {305, 8, 1, {{{200.0f}, {1000.0f}, {-5900.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 80.0f, 2.0f, 1.5f}},
    {313, 8, 3, {{{200.0f}, {400.0f}, {-6300.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 30.0f, 1.0f, 1.0f}},
    {319, 0, 1, {{{-3000.0f}, {-300.0f}, {-5800.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 0.5f, 1.5f}},
    {334, 6, 2, {{{800.0f}, {200.0f}, {-5300.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 30.0f, 1.0f, 1.0f}},
    {342, 0, 2, {{{-700.0f}, {500.0f}, {-2000.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {348, 2, 0, {{{-900.0f}, {700.0f}, {-8000.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 60.0f, 1.0f, 0.5f}},
    {358, 12, 0, {{{-2500.0f}, {300.0f}, {-7900.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 60.0f, 0.5f, 1.0f}},
    {361, 4, 2, {{{1000.0f}, {200.0f}, {-8000.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 80.0f, 2.0f, 1.0f}},
    {373, 7, 1, {{{-1200.0f}, {1800.0f}, {-7200.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 80.0f, 1.0f, 1.5f}},
    {388, 8, 0, {{{2200.0f}, {1600.0f}, {-6100.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 20.0f, 1.0f, 1.5f}},
    {394, 1, 3, {{{2300.0f}, {900.0f}, {-8400.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 80.0f, 1.0f, 1.0f}},
    {400, 0, 3, {{{2100.0f}, {-300.0f}, {-2600.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 80.0f, 0.5f, 1.5f}},
    {412, 7, 2, {{{2100.0f}, {-300.0f}, {-5700.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 30.0f, 2.0f, 1.0f}},
    {427, 6, 0, {{{0.0f}, {1600.0f}, {-5400.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 1.0f}},
    {433, 10, 2, {{{900.0f}, {1300.0f}, {-7300.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 20.0f, 2.0f, 1.0f}},
    {445, 1, 1, {{{1300.0f}, {1000.0f}, {-5300.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 1.0f}},
    {460, 1, 1, {{{-1100.0f}, {-300.0f}, {-3000.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 50.0f, 0.5f, 1.5f}},
    {468, 4, 3, {{{-1700.0f}, {100.0f}, {-8100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 30.0f, 1.5f, 1.0f}},
    {472, 9, 2, {{{2600.0f}, {-200.0f}, {-4400.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
    {476, 0, 3, {{{1300.0f}, {900.0f}, {-3900.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 1.5f, 1.0f}},
    {482, 1, 2, {{{-3000.0f}, {500.0f}, {-4700.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 30.0f, 0.5f, 1.5f}},
    {488, 4, 2, {{{-2600.0f}, {700.0f}, {-4100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 40.0f, 2.0f, 1.0f}},
    {503, 0, 2, {{{-2400.0f}, {-400.0f}, {-5400.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 30.0f, 1.5f, 1.0f}},
    {513, 5, 1, {{{1900.0f}, {600.0f}, {-3600.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 60.0f, 1.0f, 1.5f}},
    {516, 0, 3, {{{-200.0f}, {1400.0f}, {-7300.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 0.5f, 1.5f}},
    {520, 2, 3, {{{-400.0f}, {500.0f}, {-5400.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 80.0f, 1.5f, 1.0f}},
    {532, 3, 2, {{{0.0f}, {1200.0f}, {-4000.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
};
static const _bomScnTable _bomScn03L[] = {
    {20, 4, 1, {{{1700.0f}, {200.0f}, {-4000.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 20.0f, 1.0f, 1.0f}},
    {40, 6, 1, {{{-2100.0f}, {-300.0f}, {-6800.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
    {58, 5, 1, {{{1400.0f}, {1100.0f}, {-8400.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 50.0f, 2.0f, 1.0f}},
    {86, 3, 3, {{{-2100.0f}, {1500.0f}, {-5800.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
    {107, 7, 1, {{{300.0f}, {-500.0f}, {-6400.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 30.0f, 0.5f, 1.5f}},
    {123, 12, 2, {{{1000.0f}, {200.0f}, {-6600.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
    {143, 5, 3, {{{2100.0f}, {1800.0f}, {-4600.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 30.0f, 0.5f, 0.5f}},
    {162, 11, 0, {{{1600.0f}, {0.0f}, {-6900.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 30.0f, 2.0f, 1.5f}},
    {178, 1, 1, {{{-300.0f}, {100.0f}, {-6300.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 30.0f, 1.5f, 1.5f}},
    {194, 9, 3, {{{2200.0f}, {1100.0f}, {-7400.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 60.0f, 0.5f, 1.0f}},
    {212, 5, 3, {{{2000.0f}, {1900.0f}, {-7700.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 30.0f, 1.0f, 1.0f}},
    {221, 7, 3, {{{200.0f}, {200.0f}, {-2400.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 1.0f, 1.0f}},
    {247, 2, 1, {{{-2000.0f}, {1700.0f}, {-3500.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 40.0f, 2.0f, 0.5f}},
    {259, 8, 2, {{{200.0f}, {-300.0f}, {-7600.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 20.0f, 1.5f, 1.0f}},
    {272, 9, 3, {{{1400.0f}, {500.0f}, {-7900.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 80.0f, 1.0f, 1.0f}},
    {283, 0, 2, {{{500.0f}, {800.0f}, {-5600.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {295, 8, 1, {{{-1300.0f}, {600.0f}, {-8800.0f}}, {{45.0f}, {0.0f}, {0.0f}}, 20.0f, 0.5f, 1.5f}},
    {319, 0, 1, {{{-3000.0f}, {-300.0f}, {-5800.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 0.5f, 1.5f}},
    {342, 0, 2, {{{-700.0f}, {500.0f}, {-2000.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {358, 12, 0, {{{-2500.0f}, {300.0f}, {-7900.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 60.0f, 0.5f, 1.0f}},
    {373, 7, 1, {{{-1200.0f}, {1800.0f}, {-7200.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 80.0f, 1.0f, 1.5f}},
    {394, 1, 3, {{{2300.0f}, {900.0f}, {-8400.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 80.0f, 1.0f, 1.0f}},
    {427, 6, 0, {{{0.0f}, {1600.0f}, {-5400.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 1.0f}},
    {445, 1, 1, {{{1300.0f}, {1000.0f}, {-5300.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 1.0f}},
    {468, 4, 3, {{{-1700.0f}, {100.0f}, {-8100.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 30.0f, 1.5f, 1.0f}},
    {476, 0, 3, {{{1300.0f}, {900.0f}, {-3900.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 1.5f, 1.0f}},
    {503, 0, 2, {{{-2400.0f}, {-400.0f}, {-5400.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 30.0f, 1.5f, 1.0f}},
    {516, 0, 3, {{{-200.0f}, {1400.0f}, {-7300.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 0.5f, 1.5f}},
    {532, 3, 2, {{{0.0f}, {1200.0f}, {-4000.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 80.0f, 1.0f, 0.5f}},
};
static const _bomScnTable _bomScn04[] = {
    {9, 8, 3, {{{500.0f}, {200.0f}, {-3300.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 50.0f, 1.0f, 1.5f}},
    {13, 3, 0, {{{-1900.0f}, {500.0f}, {-7900.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 40.0f, 1.5f, 1.5f}},
    {17, 0, 3, {{{-600.0f}, {800.0f}, {-2300.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 40.0f, 1.5f, 0.5f}},
    {25, 4, 2, {{{-2200.0f}, {1600.0f}, {-2600.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {33, 6, 3, {{{-300.0f}, {400.0f}, {-8800.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 50.0f, 2.0f, 1.5f}},
    {41, 0, 0, {{{-500.0f}, {1100.0f}, {-3100.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {45, 8, 0, {{{3000.0f}, {1800.0f}, {-3200.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {55, 0, 2, {{{-2200.0f}, {1500.0f}, {-5800.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 80.0f, 0.5f, 0.5f}},
    {58, 4, 1, {{{-600.0f}, {300.0f}, {-6200.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 20.0f, 1.5f, 1.0f}},
    {64, 5, 1, {{{0.0f}, {1100.0f}, {-6000.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 2.0f, 1.5f}},
    {76, 4, 0, {{{-2900.0f}, {100.0f}, {-2700.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {88, 6, 2, {{{-1600.0f}, {1000.0f}, {-8600.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 80.0f, 2.0f, 1.0f}},
    {100, 6, 1, {{{-3000.0f}, {2000.0f}, {-5300.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 30.0f, 2.0f, 0.5f}},
    {106, 12, 1, {{{-1600.0f}, {900.0f}, {-6200.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 20.0f, 2.0f, 1.5f}},
    {110, 3, 3, {{{-400.0f}, {1600.0f}, {-8300.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
    {113, 9, 1, {{{-400.0f}, {-400.0f}, {-8300.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 50.0f, 1.5f, 1.5f}},
    {116, 1, 1, {{{-900.0f}, {100.0f}, {-6700.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 20.0f, 1.5f, 1.5f}},
    {128, 6, 2, {{{-900.0f}, {900.0f}, {-6900.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {134, 6, 0, {{{500.0f}, {1900.0f}, {-6400.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 40.0f, 2.0f, 0.5f}},
    {137, 11, 3, {{{-1800.0f}, {600.0f}, {-2100.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 40.0f, 1.5f, 1.5f}},
    {145, 0, 3, {{{-1500.0f}, {2000.0f}, {-3900.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 20.0f, 2.0f, 0.5f}},
    {160, 0, 2, {{{-1800.0f}, {1800.0f}, {-8200.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 40.0f, 1.5f, 1.0f}},
    {170, 0, 2, {{{1700.0f}, {1700.0f}, {-5000.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 20.0f, 0.5f, 0.5f}},
    {185, 3, 0, {{{0.0f}, {1700.0f}, {-3100.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
    {193, 2, 0, {{{2100.0f}, {1800.0f}, {-5200.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 60.0f, 1.0f, 1.0f}},
    {208, 5, 3, {{{-700.0f}, {2000.0f}, {-8000.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 1.0f, 0.5f}},
    {216, 1, 0, {{{0.0f}, {1200.0f}, {-2100.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
    {222, 9, 0, {{{-1700.0f}, {-200.0f}, {-3700.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 30.0f, 1.0f, 0.5f}},
    {230, 7, 1, {{{1700.0f}, {1200.0f}, {-7500.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 40.0f, 1.5f, 1.0f}},
    {236, 11, 2, {{{-1800.0f}, {900.0f}, {-5900.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 30.0f, 1.0f, 1.0f}},
    {246, 3, 2, {{{-2600.0f}, {700.0f}, {-5800.0f}}, {{0.0f}, {90.0f}, {0.0f}}, 80.0f, 0.5f, 1.5f}},
    {254, 0, 0, {{{-3000.0f}, {1000.0f}, {-6100.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 20.0f, 1.5f, 0.5f}},
    {257, 0, 1, {{{800.0f}, {1300.0f}, {-6600.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 60.0f, 1.0f, 1.0f}},
    {267, 4, 0, {{{-2400.0f}, {1500.0f}, {-4600.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 40.0f, 1.5f, 0.5f}},
    {270, 3, 2, {{{-2800.0f}, {1400.0f}, {-6400.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 50.0f, 1.5f, 0.5f}},
    {280, 4, 0, {{{-1700.0f}, {-400.0f}, {-2700.0f}}, {{90.0f}, {270.0f}, {0.0f}}, 20.0f, 2.0f, 0.5f}},
    {295, 6, 1, {{{1000.0f}, {1200.0f}, {-7900.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 1.5f, 1.0f}},
    {301, 10, 2, {{{-400.0f}, {-400.0f}, {-5100.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
};
static const _bomScnTable _bomScn04L[] = {
    {9, 8, 3, {{{500.0f}, {200.0f}, {-3300.0f}}, {{45.0f}, {270.0f}, {0.0f}}, 50.0f, 1.0f, 1.5f}},
    {41, 0, 0, {{{-500.0f}, {1100.0f}, {-3100.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 20.0f, 1.0f, 0.5f}},
    {64, 5, 1, {{{0.0f}, {1100.0f}, {-6000.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 20.0f, 2.0f, 1.5f}},
    {110, 3, 3, {{{-400.0f}, {1600.0f}, {-8300.0f}}, {{90.0f}, {90.0f}, {0.0f}}, 50.0f, 0.5f, 0.5f}},
    {134, 6, 0, {{{500.0f}, {1900.0f}, {-6400.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 40.0f, 2.0f, 0.5f}},
    {185, 3, 0, {{{0.0f}, {1700.0f}, {-3100.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
    {230, 7, 1, {{{1700.0f}, {1200.0f}, {-7500.0f}}, {{45.0f}, {180.0f}, {0.0f}}, 40.0f, 1.5f, 1.0f}},
    {257, 0, 1, {{{800.0f}, {1300.0f}, {-6600.0f}}, {{0.0f}, {180.0f}, {0.0f}}, 60.0f, 1.0f, 1.0f}},
    {301, 10, 2, {{{-400.0f}, {-400.0f}, {-5100.0f}}, {{90.0f}, {180.0f}, {0.0f}}, 50.0f, 2.0f, 0.5f}},
};
// The duel among the ruins: three blasts behind the pair on each of its ten explosion sounds (the
// last sound two), a large burst first, then smaller ones further back. The Light scene keeps the
// first of each and the second of every other.
static const _bomScnTable _bomScn05[] = {
    {355, 3, 1, {{{478.0f}, {135.0f}, {-114.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {358, 5, 3, {{{493.0f}, {180.0f}, {-457.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {361, 7, 0, {{{830.0f}, {225.0f}, {-14.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {369, 3, 1, {{{404.0f}, {135.0f}, {-265.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {372, 5, 3, {{{646.0f}, {180.0f}, {1.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {375, 7, 0, {{{635.0f}, {225.0f}, {-532.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {427, 3, 1, {{{413.0f}, {135.0f}, {-43.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {430, 5, 3, {{{513.0f}, {180.0f}, {307.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {433, 7, 0, {{{741.0f}, {225.0f}, {-168.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {441, 3, 1, {{{354.0f}, {135.0f}, {217.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {444, 5, 3, {{{576.0f}, {180.0f}, {-36.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {447, 7, 0, {{{562.0f}, {225.0f}, {529.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {499, 3, 1, {{{187.0f}, {135.0f}, {395.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {502, 5, 3, {{{505.0f}, {180.0f}, {268.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {505, 7, 0, {{{243.0f}, {225.0f}, {763.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {513, 3, 1, {{{301.0f}, {135.0f}, {278.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {516, 5, 3, {{{162.0f}, {180.0f}, {609.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {519, 7, 0, {{{647.0f}, {225.0f}, {379.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {571, 3, 1, {{{260.0f}, {135.0f}, {345.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {574, 5, 3, {{{61.0f}, {180.0f}, {635.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {577, 7, 0, {{{591.0f}, {225.0f}, {501.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {585, 3, 1, {{{86.0f}, {135.0f}, {446.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {588, 5, 3, {{{438.0f}, {180.0f}, {419.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {591, 7, 0, {{{57.0f}, {225.0f}, {809.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {656, 3, 1, {{{172.0f}, {135.0f}, {411.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {659, 5, 3, {{{522.0f}, {180.0f}, {343.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {662, 7, 0, {{{192.0f}, {225.0f}, {772.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 18.0f, 1.5f, 0.35f}},
    {670, 3, 1, {{{355.0f}, {135.0f}, {277.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {673, 5, 3, {{{200.0f}, {180.0f}, {588.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
};
static const _bomScnTable _bomScn05L[] = {
    {355, 3, 1, {{{478.0f}, {135.0f}, {-114.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {369, 3, 1, {{{404.0f}, {135.0f}, {-265.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {372, 5, 3, {{{646.0f}, {180.0f}, {1.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {427, 3, 1, {{{413.0f}, {135.0f}, {-43.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {441, 3, 1, {{{354.0f}, {135.0f}, {217.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {444, 5, 3, {{{576.0f}, {180.0f}, {-36.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {499, 3, 1, {{{187.0f}, {135.0f}, {395.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {513, 3, 1, {{{301.0f}, {135.0f}, {278.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {516, 5, 3, {{{162.0f}, {180.0f}, {609.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {571, 3, 1, {{{260.0f}, {135.0f}, {345.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {585, 3, 1, {{{86.0f}, {135.0f}, {446.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {588, 5, 3, {{{438.0f}, {180.0f}, {419.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
    {656, 3, 1, {{{172.0f}, {135.0f}, {411.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {670, 3, 1, {{{355.0f}, {135.0f}, {277.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 28.0f, 1.5f, 0.35f}},
    {673, 5, 3, {{{200.0f}, {180.0f}, {588.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 22.0f, 1.5f, 0.35f}},
};

#define BOM_SCN(t) {(long)(sizeof(t) / sizeof(t[0])), t}
const _bomScnAll gBomScnAllTbl[BOM_SCN_TBL_NUM] = {
    BOM_SCN(_bomScn00), BOM_SCN(_bomScn01), BOM_SCN(_bomScn02),
    BOM_SCN(_bomScn03), BOM_SCN(_bomScn04), BOM_SCN(_bomScn05),
};
const _bomScnAll gBomScnAllTblL[BOM_SCN_TBL_NUM] = {
    BOM_SCN(_bomScn00L), BOM_SCN(_bomScn01L), BOM_SCN(_bomScn02L),
    BOM_SCN(_bomScn03L), BOM_SCN(_bomScn04L), BOM_SCN(_bomScn05L),
};
#undef BOM_SCN

long _bomEnableFlg;
uint8_t *_bomCallStatusP;
long _bomCallStatusCnt;
_bomBase *_bomBaseWorkP;
_bomOne *_bomWorkP;
long _bomNowFramePos, _bomOldFramePos;
float _bomOffset;

// Frames since the previous step; a scene that starts over does not run its timers backwards.
static long _elapsed(void)
{
    const long d = _bomNowFramePos - _bomOldFramePos;
    return d > 0 ? d : 0;
}

static float _jitter(void)
{
    return (float)_rand() * (30.0f / 32767.0f) - 15.0f;
}

static void _startMotion(_bomBaseOne *aOneP, const _bomReqParam *aParamP)
{
    aOneP->_trans = aParamP->trans;
    aOneP->_transMov.x = 0.0f;
    aOneP->_transMov.y = 0.0f;
    aOneP->_transMov.z = -1.2f * aParamP->scale * aParamP->coef;
}

void __bomBaseReq00(_bomBaseOne *aOneP, long aNum, long aCnt, const _bomReqParam *aParamP)
{
    long c = 0;
    float b = 0.0f;
    if (aCnt >= 4) {
        c = aNum / (aCnt / 4);
        b = 360.0f / (float)(aCnt / 4);
    }
    const float x = (float)aNum * b;
    _startMotion(aOneP, aParamP);
    const float j = _jitter();
    D3DVECTOR &r = aOneP->_rotate;
    switch (c) {
    case 0: r.x = 0.0f; r.y = x + j; break;
    case 1: r.x = x + j; r.y = 45.0f; break;
    case 2: r.x = j + x + 45.0f; r.y = 45.0f; break;
    default: r.x = j + x + 315.0f; r.y = 315.0f; break;
    }
    r.z = 0.0f;
    r.x += aParamP->rotate.x;
    r.y += aParamP->rotate.y;
    r.z += aParamP->rotate.z;
}

// Few sub-explosions: one ring around the heading, alternately tilted up and down.
void __bomBaseReq01(_bomBaseOne *aOneP, long aNum, long aCnt, const _bomReqParam *aParamP)
{
    const float x = aCnt > 0 ? (float)aNum * (360.0f / (float)aCnt) : 0.0f;
    _startMotion(aOneP, aParamP);
    const float j = _jitter();
    D3DVECTOR &r = aOneP->_rotate;
    r.x = ((aNum & 1) ? 315.0f : 45.0f) + j + aParamP->rotate.x;
    r.y = x + j + aParamP->rotate.y;
    r.z = aParamP->rotate.z;
}

static void _bomOneStep(_bomBaseOne *aOneP, long aEvery)
{
    aOneP->_refCon[0]++;
    if (aOneP->_refCon[0] < aOneP->_callNum)
        return;
    if (_elapsed() == 0)
        return;
    D3DMATRIX m;
    sMatrixCreateUnit(&m);
    sMatrixRotateXYZ(&m, aOneP->_rotate.x, aOneP->_rotate.y, aOneP->_rotate.z);
    D3DVECTOR v;
    sMatrixApplyVector(&m, &aOneP->_transMov, &v);
    aOneP->_trans.x += v.x;
    aOneP->_trans.y += v.y;
    aOneP->_trans.z += v.z;
    aOneP->_transMov.z -= aOneP->_transMov.z * 0.03125f;
    aOneP->_refCon[1]++;
    // The first step starts a sprite, then every aEvery-th.
    if ((aOneP->_refCon[1] - 1) % aEvery != 0)
        return;
    _bomParam p;
    p._scale = (aOneP->_scale + aOneP->_texScale) *
               ((float)_rand() * (8.0f / 32767.0f) + 1.0f + (float)aOneP->_frameCnt * 0.8f);
    p._scaleMov = 0.1f * aOneP->_scale;
    p._rotate = (float)_rand() * (360.0f / 32767.0f);
    p._rotateMov = (float)_rand() * (0.4f / 32767.0f) - 0.2f;
    p._alpha = 255;
    p._alphaMov = (uint16_t)-1;
    _callBomTex(&aOneP->_trans, &p, aOneP->_texType);
}

void __bomBaseOneExec00(_bomBaseOne *aOneP)
{
    _bomOneStep(aOneP, 2);
}

// Dense trails: a sprite on every step.
void __bomBaseOneExec01(_bomBaseOne *aOneP)
{
    _bomOneStep(aOneP, 1);
}

void _bomBaseOne::Run(void)
{
    if (!(_status & BOM_STAT_ACTIVE))
        return;
    if (_bomType >= 0 && _bomType < BOM_TYPE_NUM)
        _bomTbl[_bomType].execP(this);
    _frameCnt = (int16_t)(_frameCnt - _elapsed());
    if (_frameCnt <= 0)
        _status &= (uint16_t)~BOM_STAT_ACTIVE;
}

long _bomBase::Reqest(const _bomReqParam *aParamP, long aBomType, long aTexType)
{
    if ((_status & BOM_STAT_ACTIVE) || aBomType < 0 || aBomType >= BOM_TYPE_NUM || aTexType < 0 ||
        aTexType >= BOM_TEX_TYPE_NUM)
        return 0;
    const _bomTable &t = _bomTbl[aBomType];
    _bomBaseOneP = new (std::nothrow) _bomBaseOne[t.bomBaseWorkCnt];
    if (_bomBaseOneP == nullptr)
        return 0;
    _bomBaseOneCnt = t.bomBaseWorkCnt;
    for (long i = 0; i < t.bomBaseWorkCnt; i++) {
        _bomBaseOne &o = _bomBaseOneP[i];
        memset(&o, 0, sizeof(o));
        o._frameCnt = t.bomBaseOneFrameCnt;
        o._bomType = (int16_t)aBomType;
        o._texType = (int16_t)aTexType;
        o._scale = aParamP->scale;
        o._texScale = aParamP->texScale;
        o._status = BOM_STAT_ACTIVE;
        t.reqP(&o, i, t.bomBaseWorkCnt, aParamP);
    }
    _bomType = (int16_t)aBomType;
    _status |= BOM_STAT_ACTIVE;
    return 1;
}

void _bomBase::Run(void)
{
    if (!(_status & BOM_STAT_ACTIVE))
        return;
    long alive = 0;
    for (long i = 0; i < _bomBaseOneCnt; i++) {
        _bomBaseOneP[i].Run();
        if (_bomBaseOneP[i]._status & BOM_STAT_ACTIVE)
            alive++;
    }
    if (alive == 0)
        Release();
}

void _bomBase::Release(void)
{
    delete[] _bomBaseOneP;
    _bomBaseOneP = nullptr;
    _bomBaseOneCnt = 0;
    _status &= (uint16_t)~BOM_STAT_ACTIVE;
}

long _bomOne::Reqest(const D3DVECTOR *aTransP, const _bomParam *aParamP, long aTexType)
{
    if (!(_status & BOM_ONE_STAT_INIT) || (_status & BOM_ONE_STAT_PLAY) || aTexType < 0 ||
        aTexType >= BOM_TEX_TYPE_NUM)
        return 0;
    _trans = *aTransP;
    _texType = (int16_t)aTexType;
    _frameCnt = _bomTexTbl[aTexType].texFrmMax;
    _texFrameCnt = 0;
    _texNum = 0;
    _param = *aParamP;
    _status |= BOM_ONE_STAT_PLAY;
    return 1;
}

void _bomOne::Run(void)
{
    if (!(_status & BOM_ONE_STAT_PLAY))
        return;
    const long elapsed = _elapsed();
    _frameCnt = (int16_t)(_frameCnt - elapsed);
    if (_frameCnt < 1) {
        _status &= (uint16_t)~BOM_ONE_STAT_PLAY;
        return;
    }
    const _bomTexTable &t = _bomTexTbl[_texType];
    _texFrameCnt = (int16_t)(_texFrameCnt + elapsed);
    if (_texFrameCnt >= t.patP[_texNum]) {
        _texFrameCnt = 0;
        _texNum = (int16_t)((_texNum + 1) % t.texMaxNum);
    }
    Update();
}

void _bomOne::Update(void)
{
    if (_elapsed() == 0)
        return;
    _param._rotate += _param._rotateMov;
    _param._scale += _param._scaleMov;
    _param._alpha = (uint16_t)(_param._alpha + _param._alphaMov);
}

long sBomPoolAlloc(void)
{
    sBomPoolFree();
    _bomBaseWorkP = new (std::nothrow) _bomBase[BOM_BASE_MAX];
    _bomWorkP = new (std::nothrow) _bomOne[BOM_ONE_MAX];
    if (_bomBaseWorkP == nullptr || _bomWorkP == nullptr) {
        sBomPoolFree();
        return 0;
    }
    memset((void *)_bomBaseWorkP, 0, sizeof(_bomBase) * BOM_BASE_MAX);
    memset((void *)_bomWorkP, 0, sizeof(_bomOne) * BOM_ONE_MAX);
    for (long n = 0; n < BOM_ONE_MAX; n++)
        _bomWorkP[n]._status = BOM_ONE_STAT_INIT;
    _bomEnableFlg = 1;
    return 1;
}

void sBomPoolFree(void)
{
    if (_bomBaseWorkP != nullptr)
        for (long n = 0; n < BOM_BASE_MAX; n++)
            _bomBaseWorkP[n].Release();
    delete[] _bomBaseWorkP;
    delete[] _bomWorkP;
    _bomBaseWorkP = nullptr;
    _bomWorkP = nullptr;
    _bomEnableFlg = 0;
}

long _callBom(const _bomReqParam *aParamP, long aBomType, long aTexType)
{
    if (_bomBaseWorkP == nullptr)
        return 0;
    for (long n = 0; n < BOM_BASE_MAX; n++)
        if (!(_bomBaseWorkP[n]._status & BOM_STAT_ACTIVE))
            return _bomBaseWorkP[n].Reqest(aParamP, aBomType, aTexType);
    return 0;
}

long _callBomTex(const D3DVECTOR *aTransP, const _bomParam *aParamP, long aTexType)
{
    if (_bomWorkP == nullptr)
        return 0;
    for (long n = 0; n < BOM_ONE_MAX; n++) {
        _bomOne &o = _bomWorkP[n];
        if ((o._status & BOM_ONE_STAT_INIT) && !(o._status & BOM_ONE_STAT_PLAY))
            return o.Reqest(aTransP, aParamP, aTexType);
    }
    return 0;
}

void _bomRun(void)
{
    if (_bomBaseWorkP == nullptr || _bomWorkP == nullptr)
        return;
    for (long n = 0; n < BOM_BASE_MAX; n++)
        _bomBaseWorkP[n].Run();
    for (long n = 0; n < BOM_ONE_MAX; n++)
        _bomWorkP[n].Run();
}

void BomSceneInit(const _bomScnAll *aScnTblP)
{
    _bomNowFramePos = 0;
    _bomOldFramePos = 0;
    free(_bomCallStatusP);
    _bomCallStatusP = nullptr;
    _bomCallStatusCnt = 0;
    if (aScnTblP == nullptr || aScnTblP->cnt <= 0)
        return;
    _bomCallStatusP = (uint8_t *)calloc((size_t)aScnTblP->cnt, 1);
    if (_bomCallStatusP != nullptr)
        _bomCallStatusCnt = aScnTblP->cnt;
}

void BomSceneExec(long aFramePos, const _bomScnAll *aScnTblP)
{
    _bomOldFramePos = _bomNowFramePos;
    _bomNowFramePos = aFramePos;
    _bomRun();
    if (aScnTblP == nullptr || _bomCallStatusP == nullptr)
        return;
    const long cnt = aScnTblP->cnt < _bomCallStatusCnt ? aScnTblP->cnt : _bomCallStatusCnt;
    for (long n = 0; n < cnt; n++) {
        const _bomScnTable &cue = aScnTblP->tblP[n];
        if (_bomCallStatusP[n] || cue.frameCnt > aFramePos)
            continue;
        if (_callBom(&cue.bomParam, cue.bomType, cue.texType))
            _bomCallStatusP[n] = 1;
    }
}

void BomSceneExit(const _bomScnAll *)
{
    if (_bomBaseWorkP != nullptr)
        for (long n = 0; n < BOM_BASE_MAX; n++)
            _bomBaseWorkP[n].Release();
    if (_bomWorkP != nullptr)
        for (long n = 0; n < BOM_ONE_MAX; n++)
            _bomWorkP[n]._status &= (uint16_t)~BOM_ONE_STAT_PLAY;
    free(_bomCallStatusP);
    _bomCallStatusP = nullptr;
    _bomCallStatusCnt = 0;
}

long sBomSpriteQuad(const _bomOne *aOneP, const D3DMATRIX *aScreenMatP, float aWidth, float aHeight,
                    float aOffset, _bomVertex *aVertP)
{
    const D3DMATRIX &m = *aScreenMatP;
    const float x = aOneP->_trans.x, y = aOneP->_trans.y, z = aOneP->_trans.z;
    const float cx = x * m._11 + y * m._21 + z * m._31 + m._41;
    const float cy = x * m._12 + y * m._22 + z * m._32 + m._42;
    const float cz = x * m._13 + y * m._23 + z * m._33 + m._43;
    const float cw = x * m._14 + y * m._24 + z * m._34 + m._44;
    if (cw < 0.0001f)
        return 0;
    const float rhw = 1.0f / cw;
    const float sx = aWidth * 0.5f * (1.0f + cx * rhw);
    const float sy = aHeight * 0.5f * (1.0f - cy * rhw);
    const float sz = cz * rhw;
    const float half = aOneP->_param._scale * aOffset * rhw;
    const float rad = aOneP->_param._rotate * 0.017453292f;
    const float c = cosf(rad) * half, s = sinf(rad) * half;
    const uint32_t alpha = aOneP->_param._alpha > 255 ? 255 : aOneP->_param._alpha;
    const uint32_t col = (alpha << 24) | 0x00FFFFFF;
    // Top-left, top-right, bottom-left, bottom-right.
    const float cxs[4] = {-1.0f, 1.0f, -1.0f, 1.0f};
    const float cys[4] = {-1.0f, -1.0f, 1.0f, 1.0f};
    for (long n = 0; n < 4; n++) {
        aVertP[n].x = sx + cxs[n] * c - cys[n] * s;
        aVertP[n].y = sy + cxs[n] * s + cys[n] * c;
        aVertP[n].z = sz;
        aVertP[n].rhw = rhw;
        aVertP[n].color = col;
        aVertP[n].tu = cxs[n] > 0.0f ? 1.0f : 0.0f;
        aVertP[n].tv = cys[n] > 0.0f ? 1.0f : 0.0f;
    }
    return 1;
}
