#ifndef KESTREL_COMMON_VERTEXFORMAT_H
#define KESTREL_COMMON_VERTEXFORMAT_H

// Bytes of one vertex of a flexible vertex format word, by the full Direct3D rules: the package
// reader checks vertex arrays with it, the primitives size and fill their buffers with it, the draw
// manager counts uploads with it and the content builder lays vertices out with it. Inline so the
// tools share it without linking the core.

#include <cstdint>

// Position 12/16/16/20/24/28/32 bytes for position codes 2..14 (none, XYZ, XYZRHW, XYZ with 1..5
// blend weights), normal 12, the reserved word of lit vertices 4, diffuse 4, specular 4, and per
// coordinate set i its size code (word >> (16 + 2i)) & 3: 8, 12, 16 or 4 bytes. -1 for a word with
// reserved bits (0xF001) or more than eight coordinate sets.
inline long sFvfGetSize(uint32_t aVertexType)
{
    static const long _positionSize[8] = {0, 12, 16, 16, 20, 24, 28, 32};
    static const long _texCoordSize[4] = {8, 12, 16, 4};
    if (aVertexType & 0xF001)
        return -1;
    long size = _positionSize[(aVertexType >> 1) & 7];
    if (aVertexType & 0x010)
        size += 12;
    if (aVertexType & 0x020)
        size += 4;
    if (aVertexType & 0x040)
        size += 4;
    if (aVertexType & 0x080)
        size += 4;
    const uint32_t texCnt = (aVertexType >> 8) & 0xF;
    if (texCnt > 8)
        return -1;
    for (uint32_t i = 0; i < texCnt; i++)
        size += _texCoordSize[(aVertexType >> (16 + 2 * i)) & 3];
    return size;
}

#endif
