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
    {30, 7, 0, {{{-243.0f}, {-28.0f}, {21.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 2.5f, 1.0f, 0.6f}},
    {52, 7, 0, {{{-175.0f}, {-26.0f}, {-26.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 2.5f, 1.0f, 0.6f}},
    {74, 4, 1, {{{-107.0f}, {-12.0f}, {0.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 6.0f, 2.0f, 0.7f}},
    {96, 7, 0, {{{-26.0f}, {-16.0f}, {-21.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 2.5f, 1.0f, 0.6f}},
    {112, 4, 1, {{{39.0f}, {-11.0f}, {16.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 6.0f, 2.0f, 0.7f}},
    {124, 4, 1, {{{137.0f}, {1.0f}, {-0.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 6.0f, 2.0f, 0.7f}},
    {132, 0, 1, {{{-22.0f}, {-9.0f}, {0.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 9.6f, 3.2f, 1.0f}},
};
static const _bomScnTable _bomScn01L[] = {
    {74, 4, 1, {{{-107.0f}, {-12.0f}, {0.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 6.0f, 2.0f, 0.7f}},
    {112, 4, 1, {{{39.0f}, {-11.0f}, {16.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 6.0f, 2.0f, 0.7f}},
    {132, 0, 1, {{{-22.0f}, {-9.0f}, {0.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 9.6f, 3.2f, 1.0f}},
};
static const _bomScnTable _bomScn02[] = {
    {91, 8, 3, {{{-117.0f}, {40.0f}, {602.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 2.5f, 0.5f, 0.8f}},
    {125, 8, 3, {{{-91.0f}, {13.0f}, {593.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 2.5f, 0.5f, 0.8f}},
    {159, 8, 3, {{{49.0f}, {-26.0f}, {533.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 2.5f, 0.5f, 0.8f}},
};
static const _bomScnTable _bomScn02L[] = {
    {125, 8, 3, {{{-91.0f}, {13.0f}, {593.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 2.5f, 0.5f, 0.8f}},
};
static const _bomScnTable _bomScn03[] = {
    {60, 8, 3, {{{-392.0f}, {395.0f}, {-4172.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {69, 4, 1, {{{3393.0f}, {-486.0f}, {-10914.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {80, 4, 1, {{{2209.0f}, {592.0f}, {-7481.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {87, 8, 3, {{{-495.0f}, {418.0f}, {-4744.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {96, 4, 1, {{{3393.0f}, {-486.0f}, {-10898.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {107, 4, 1, {{{2209.0f}, {592.0f}, {-7465.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {113, 8, 3, {{{-753.0f}, {484.0f}, {-5408.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {122, 4, 1, {{{3393.0f}, {-486.0f}, {-10883.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {133, 4, 1, {{{2209.0f}, {592.0f}, {-7450.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {140, 8, 3, {{{1013.0f}, {589.0f}, {-5389.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {149, 4, 1, {{{3393.0f}, {-486.0f}, {-10866.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {160, 4, 1, {{{2209.0f}, {592.0f}, {-7433.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {167, 8, 3, {{{364.0f}, {589.0f}, {-4611.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {176, 4, 1, {{{2309.0f}, {596.0f}, {-7343.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {187, 4, 1, {{{2209.0f}, {592.0f}, {-7417.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {194, 8, 3, {{{659.0f}, {775.0f}, {-5919.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {203, 4, 1, {{{2309.0f}, {596.0f}, {-7326.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {213, 4, 1, {{{2209.0f}, {592.0f}, {-7402.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {220, 8, 3, {{{2372.0f}, {991.0f}, {-5758.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {229, 4, 1, {{{2309.0f}, {596.0f}, {-7311.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {240, 4, 1, {{{2209.0f}, {592.0f}, {-7385.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {247, 8, 3, {{{2564.0f}, {113.0f}, {-7004.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {256, 4, 1, {{{2309.0f}, {596.0f}, {-7295.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {267, 4, 1, {{{2209.0f}, {592.0f}, {-7369.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {274, 8, 3, {{{1776.0f}, {551.0f}, {-7165.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {283, 4, 1, {{{2309.0f}, {596.0f}, {-7278.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {294, 4, 1, {{{2209.0f}, {592.0f}, {-7353.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {301, 8, 3, {{{3357.0f}, {873.0f}, {-7080.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {309, 4, 1, {{{2549.0f}, {654.0f}, {-7640.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {320, 4, 1, {{{2209.0f}, {592.0f}, {-7337.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {327, 8, 3, {{{3453.0f}, {1121.0f}, {-8125.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {336, 4, 1, {{{2549.0f}, {654.0f}, {-7624.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {347, 4, 1, {{{2209.0f}, {592.0f}, {-7321.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {354, 8, 3, {{{1427.0f}, {1097.0f}, {-6259.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {363, 4, 1, {{{2549.0f}, {654.0f}, {-7608.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {374, 4, 1, {{{2209.0f}, {592.0f}, {-7305.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {381, 8, 3, {{{2791.0f}, {1077.0f}, {-6173.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {390, 4, 1, {{{2294.0f}, {644.0f}, {-6766.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {401, 4, 1, {{{2209.0f}, {592.0f}, {-7289.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {407, 8, 3, {{{2692.0f}, {980.0f}, {-6985.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {416, 4, 1, {{{2294.0f}, {644.0f}, {-6750.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {427, 4, 1, {{{1935.0f}, {605.0f}, {-6227.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {434, 8, 3, {{{2118.0f}, {-329.0f}, {-7417.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {443, 4, 1, {{{2283.0f}, {595.0f}, {-6286.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {454, 4, 1, {{{1935.0f}, {605.0f}, {-6211.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {461, 8, 3, {{{2913.0f}, {201.0f}, {-6119.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {470, 4, 1, {{{2294.0f}, {644.0f}, {-6718.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {478, 4, 1, {{{2482.0f}, {623.0f}, {-7560.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {481, 4, 1, {{{1935.0f}, {605.0f}, {-6195.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {486, 4, 1, {{{2508.0f}, {624.0f}, {-7151.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {488, 8, 3, {{{2150.0f}, {594.0f}, {-6118.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {494, 4, 1, {{{2035.0f}, {605.0f}, {-6106.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {497, 4, 1, {{{2294.0f}, {644.0f}, {-6702.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {502, 4, 1, {{{2396.0f}, {619.0f}, {-6781.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {507, 4, 1, {{{1935.0f}, {605.0f}, {-6179.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {514, 8, 3, {{{1582.0f}, {687.0f}, {-6742.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {514, 4, 1, {{{2131.0f}, {609.0f}, {-6403.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {523, 4, 1, {{{2309.0f}, {596.0f}, {-7134.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {524, 4, 1, {{{2555.0f}, {626.0f}, {-7283.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {534, 4, 1, {{{2209.0f}, {592.0f}, {-7209.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {534, 4, 1, {{{1956.0f}, {602.0f}, {-5824.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {541, 8, 3, {{{1780.0f}, {1009.0f}, {-5140.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {548, 0, 1, {{{2364.0f}, {618.0f}, {-6650.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 50.4f, 16.8f, 1.0f}},
};
static const _bomScnTable _bomScn03L[] = {
    {80, 4, 1, {{{2209.0f}, {592.0f}, {-7481.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {107, 4, 1, {{{2209.0f}, {592.0f}, {-7465.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {122, 4, 1, {{{3393.0f}, {-486.0f}, {-10883.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {149, 4, 1, {{{3393.0f}, {-486.0f}, {-10866.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {167, 8, 3, {{{364.0f}, {589.0f}, {-4611.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {194, 8, 3, {{{659.0f}, {775.0f}, {-5919.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {213, 4, 1, {{{2209.0f}, {592.0f}, {-7402.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {240, 4, 1, {{{2209.0f}, {592.0f}, {-7385.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {256, 4, 1, {{{2309.0f}, {596.0f}, {-7295.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {283, 4, 1, {{{2309.0f}, {596.0f}, {-7278.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {301, 8, 3, {{{3357.0f}, {873.0f}, {-7080.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {327, 8, 3, {{{3453.0f}, {1121.0f}, {-8125.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {354, 8, 3, {{{1427.0f}, {1097.0f}, {-6259.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {374, 4, 1, {{{2209.0f}, {592.0f}, {-7305.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {401, 4, 1, {{{2209.0f}, {592.0f}, {-7289.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {416, 4, 1, {{{2294.0f}, {644.0f}, {-6750.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {443, 4, 1, {{{2283.0f}, {595.0f}, {-6286.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {461, 8, 3, {{{2913.0f}, {201.0f}, {-6119.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {478, 4, 1, {{{2482.0f}, {623.0f}, {-7560.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {486, 4, 1, {{{2508.0f}, {624.0f}, {-7151.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {488, 8, 3, {{{2150.0f}, {594.0f}, {-6118.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {494, 4, 1, {{{2035.0f}, {605.0f}, {-6106.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {502, 4, 1, {{{2396.0f}, {619.0f}, {-6781.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {507, 4, 1, {{{1935.0f}, {605.0f}, {-6179.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {514, 4, 1, {{{2131.0f}, {609.0f}, {-6403.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {524, 4, 1, {{{2555.0f}, {626.0f}, {-7283.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {534, 4, 1, {{{2209.0f}, {592.0f}, {-7209.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 16.8f, 5.6f, 0.7f}},
    {534, 4, 1, {{{1956.0f}, {602.0f}, {-5824.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {548, 0, 1, {{{2364.0f}, {618.0f}, {-6650.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 50.4f, 16.8f, 1.0f}},
};
static const _bomScnTable _bomScn04[] = {
    {5, 7, 0, {{{1530.0f}, {486.0f}, {-8015.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {23, 8, 3, {{{509.0f}, {869.0f}, {-6782.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {32, 4, 1, {{{1231.0f}, {559.0f}, {-7890.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {50, 8, 3, {{{-873.0f}, {632.0f}, {-7857.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {59, 7, 0, {{{940.0f}, {460.0f}, {-7765.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {77, 8, 3, {{{832.0f}, {354.0f}, {-7471.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {86, 7, 0, {{{867.0f}, {454.0f}, {-8248.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {104, 8, 3, {{{-755.0f}, {395.0f}, {-7156.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {113, 4, 1, {{{568.0f}, {527.0f}, {-8124.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {130, 8, 3, {{{911.0f}, {811.0f}, {-7261.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {139, 7, 0, {{{278.0f}, {427.0f}, {-7998.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {157, 8, 3, {{{-945.0f}, {554.0f}, {-7932.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {166, 7, 0, {{{205.0f}, {421.0f}, {-8482.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {184, 8, 3, {{{999.0f}, {554.0f}, {-6852.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {193, 4, 1, {{{-94.0f}, {494.0f}, {-8357.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.0f, 7.0f, 0.7f}},
    {211, 8, 3, {{{-695.0f}, {276.0f}, {-7291.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {220, 7, 0, {{{-385.0f}, {394.0f}, {-8231.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {250, 4, 1, {{{1596.0f}, {508.0f}, {-7926.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {272, 7, 0, {{{1281.0f}, {566.0f}, {-7846.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {294, 4, 1, {{{973.0f}, {479.0f}, {-7765.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {316, 7, 0, {{{846.0f}, {471.0f}, {-8192.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {338, 4, 1, {{{531.0f}, {528.0f}, {-8113.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {360, 7, 0, {{{223.0f}, {442.0f}, {-8032.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {382, 4, 1, {{{97.0f}, {433.0f}, {-8459.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {404, 7, 0, {{{-218.0f}, {491.0f}, {-8379.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {426, 4, 1, {{{-526.0f}, {405.0f}, {-8298.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {448, 7, 0, {{{-652.0f}, {396.0f}, {-8726.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {470, 4, 1, {{{-967.0f}, {453.0f}, {-8646.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {505, 1, 1, {{{238.0f}, {516.0f}, {-8201.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 72.8f, 27.3f, 1.2f}},
    {505, 6, 1, {{{542.0f}, {531.0f}, {-8090.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 45.5f, 13.7f, 1.0f}},
    {507, 4, 1, {{{-609.0f}, {399.0f}, {-8703.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 33.6f, 11.2f, 0.7f}},
    {509, 7, 0, {{{1242.0f}, {497.0f}, {-7643.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 26.3f, 10.5f, 0.6f}},
    {512, 4, 1, {{{-155.0f}, {422.0f}, {-8537.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 33.6f, 11.2f, 0.7f}},
    {515, 7, 0, {{{785.0f}, {473.0f}, {-7810.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 26.3f, 10.5f, 0.6f}},
    {519, 4, 1, {{{-993.0f}, {379.0f}, {-8842.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 33.6f, 11.2f, 0.7f}},
    {523, 7, 0, {{{1542.0f}, {512.0f}, {-7532.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 26.3f, 10.5f, 0.6f}},
    {528, 4, 1, {{{144.0f}, {438.0f}, {-8426.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 33.6f, 11.2f, 0.7f}},
    {534, 7, 0, {{{-589.0f}, {403.0f}, {-8310.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 26.3f, 10.5f, 0.6f}},
};
static const _bomScnTable _bomScn04L[] = {
    {59, 7, 0, {{{940.0f}, {460.0f}, {-7765.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {104, 8, 3, {{{-755.0f}, {395.0f}, {-7156.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 8.8f, 1.8f, 0.8f}},
    {166, 7, 0, {{{205.0f}, {421.0f}, {-8482.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 17.5f, 7.0f, 0.6f}},
    {338, 4, 1, {{{531.0f}, {528.0f}, {-8113.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 25.2f, 8.4f, 0.7f}},
    {448, 7, 0, {{{-652.0f}, {396.0f}, {-8726.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 21.9f, 8.8f, 0.6f}},
    {505, 1, 1, {{{238.0f}, {516.0f}, {-8201.0f}}, {{90.0f}, {0.0f}, {0.0f}}, 72.8f, 27.3f, 1.2f}},
    {505, 6, 1, {{{542.0f}, {531.0f}, {-8090.0f}}, {{45.0f}, {90.0f}, {0.0f}}, 45.5f, 13.7f, 1.0f}},
    {512, 4, 1, {{{-155.0f}, {422.0f}, {-8537.0f}}, {{0.0f}, {270.0f}, {0.0f}}, 33.6f, 11.2f, 0.7f}},
    {523, 7, 0, {{{1542.0f}, {512.0f}, {-7532.0f}}, {{0.0f}, {0.0f}, {0.0f}}, 26.3f, 10.5f, 0.6f}},
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
