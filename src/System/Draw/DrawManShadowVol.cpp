// Shadow volumes: the vertex buffer and index lists of one vertex set's volume.

#include "System/Draw/DrawMan.h"

#include <cstdlib>

#include "Common/DEBUGWIN.h"

static uint32_t _shadowVolSerial;

_shadowVol *_primShadowCreateVol(uint32_t aVertNum)
{
    if (!drawMan.d3dP)
        return nullptr;
    _shadowVol *vol = (_shadowVol *)std::calloc(1, sizeof(_shadowVol));
    if (!vol)
        return nullptr;
    D3DVERTEXBUFFERDESC desc = {};
    desc.dwSize = sizeof desc;
    desc.dwCaps = D3DVBCAPS_SYSTEMMEMORY;
    desc.dwFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE;
    desc.dwNumVertices = 2 * aVertNum;
    if (FAILED(DEBUGWIN_CHECK(drawMan.d3dP->CreateVertexBuffer(&desc, &vol->vertBufP, 0)))) {
        std::free(vol);
        return nullptr;
    }
    vol->indexP = (uint16_t *)std::calloc(3 * (size_t)aVertNum + 3, sizeof(uint16_t));
    if (!vol->indexP) {
        vol->vertBufP->Release();
        std::free(vol);
        return nullptr;
    }
    vol->id = _shadowVolSerial++;
    return vol;
}

void _primShadowFreeVol(_shadowVol **aVolPP)
{
    if (!aVolPP || !*aVolPP)
        return;
    _shadowVol *vol = *aVolPP;
    if (vol->vertBufP)
        vol->vertBufP->Release();
    std::free(vol->indexP);
    std::free(vol);
    *aVolPP = nullptr;
}
