#include <gtest/gtest.h>

#include "Common/VertexFormat.h"

namespace {

TEST(FvfGetSize, FlexibleVertexFormats)
{
    const struct {
        uint32_t fvf;
        long size;
    } rows[] = {
        {0x112, 32},              // position, normal, one set: a plain vertex
        {0x212, 40},              // _vertexDef
        {0x142, 24},              // position, diffuse, one set
        {0x044, 20},              // pre-transformed, diffuse: the position is four floats
        {0x1C4, 32},              // pre-transformed, diffuse, specular, one set
        {0x1E2, 32},              // lit vertex with its reserved word
        {0x00E, 32},              // five blend weights
        {0x102 | (1 << 16), 24},  // one set of three coordinates
        {0x202 | (3 << 18), 24},  // second set of one coordinate
        {0x802, 76},              // eight sets
        {0x902, -1},              // nine sets
        {0x1002, -1},             // reserved high bits
        {0x003, -1},              // reserved low bit
    };
    for (const auto &r : rows)
        EXPECT_EQ(sFvfGetSize(r.fvf), r.size) << std::hex << r.fvf;
}

}  // namespace
