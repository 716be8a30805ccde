#include "System/Primitive/Primitive.h"

#include <new>

#include "Common/DEBUGWIN.h"

// The spotlight pass and the shadow-volume records of a vertex set.

long _primVertexSetBase::_CreateShadowWork(void)
{
    _shadowVolP = _primShadowCreateVol((uint32_t)_vertexNum);
    return _shadowVolP ? 0 : -1;
}

void _primVertexSetBase::SpotLightDraw(const D3DMATRIX *aWorldMatrixP, const _spotLightInfo *aSpotInfoP)
{
    (void)aWorldMatrixP;  // the light's matrix already holds the object's placement
    IDirect3DDevice7 *dev = drawMan.d3dDevP;
    _primLayout l;
    if (!dev || !aSpotInfoP || !_vertexBufferP || !_vertexP || _indexSetNum <= 0 ||
        sPrimGetLayout(_defVertexType, &l) != 0)
        return;
    long total = 0;
    for (long i = 0; i < _indexSetNum; ++i) {
        if (_indexSetP[i]._primitiveType != D3DPT_TRIANGLELIST)
            return;
        total += _indexSetP[i]._indexNum;
    }
    if (total <= 0)
        return;
    _primSpotVertex *vtx = new (std::nothrow) _primSpotVertex[_vertexNum];
    D3DVECTOR *proj = new (std::nothrow) D3DVECTOR[_vertexNum];
    uint16_t *idx = new (std::nothrow) uint16_t[total];
    if (vtx && proj && idx) {
        sPrimSpotLightProject((const uint8_t *)_vertexP + l.pos, l.size, _vertexNum, &aSpotInfoP->screenMatrix, vtx,
                              proj);
        long kept = 0;
        for (long i = 0; i < _indexSetNum; ++i)
            kept += sPrimSpotLightFilter(vtx, proj, _indexSetP[i]._indexP, _indexSetP[i]._indexNum, idx + kept);
        if (kept > 0) {
            sDrawCountDrawUp(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, (DWORD)_vertexNum, (DWORD)kept);
            DEBUGWIN_CHECK(dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, vtx,
                                                     (DWORD)_vertexNum, idx, (DWORD)kept, 0));
        }
    }
    delete[] vtx;
    delete[] proj;
    delete[] idx;
}
