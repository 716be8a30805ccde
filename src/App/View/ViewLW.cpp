// A user's LightWave object as a shape body: one ability per surface with its texture stages,
// one vertex set per ability (position, normal, two texture coordinate sets), a triangle list
// built from the reader's strips and fans, and a point list for single-point polygons.

#include "App/View/ViewLW.h"

#include <cctype>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "App/App/AppCore.h"
#include "LW/OBJ2/OBJ2.h"
#include "Library/Draw/DrawCore.h"
#include "System/D3DFrame/d3dutil.h"
#include "Common/DEBUGWIN.h"

#ifdef _WIN32
#include "App/App/Appflow.h"
#include "Library/Draw/DrawLib.h"
#include "System/Sys/SYSTEM.h"
#endif

void (*viewLwoProgressHook)(void) = nullptr;

namespace {

#ifdef _WIN32
const char _sep = '\\';
#else
const char _sep = '/';
#endif

enum {
    _VERTEX_TYPE = 530,  // position, normal, two texture coordinate sets
    _PRIM_POINTLIST = 1,
    _PRIM_TRIANGLELIST = 4,
    // render states and texture operations by their Direct3D numbers
    _RS_ZWRITEENABLE = 14,
    _RS_SRCBLEND = 19,
    _RS_DESTBLEND = 20,
    _RS_ALPHABLENDENABLE = 27,
    _RS_LIGHTING = 137,
    _TOP_SELECTARG1 = 2,
    _TOP_SELECTARG2 = 3,
    _TOP_MODULATE = 4,
    _TOP_ADD = 7,
    _TOP_ADDSIGNED = 8,
    _TOP_BLENDTEXTUREALPHA = 13,
    _TOP_DOTPRODUCT3 = 24,
    _TA_CURRENT = 1,
    _TA_TEXTURE = 2,
    _TA_SPECULAR = 4
};

// The reader's settings for the import: UV maps for all channels of up to eight layers, corner
// normals, colours and triangles; meshes with fans, sorted, strips grown from every start edge.
const st_OBJ2_option _lwoOption = {46, {0}, 0, 0, 10, 255, 8, 0, 2};
const st_MeshOpt _meshOption = {3, 1, 0, 4, nullptr};

void _error(const char *aFormat, ...) __attribute__((format(printf, 1, 2)));
void _error(const char *aFormat, ...)
{
    char buf[512];
    va_list ap;
    va_start(ap, aFormat);
    std::vsnprintf(buf, sizeof(buf), aFormat, ap);
    va_end(ap);
    sDebugWinPrintMsg(buf);
}

uint32_t _now(void)
{
    return appMilliClockP();
}

// Keeps the window alive during a long conversion.
struct _progress {
    uint32_t last = _now();
    void tick()
    {
        uint32_t t = _now();
        if (t - last > 33) {
            last = t;
            if (viewLwoProgressHook) viewLwoProgressHook();
        }
    }
};

bool _imageSet(const char *aName)
{
    return aName[0] && std::strcmp(aName, "(none)") != 0;
}

const char *_filePart(const char *aPathP)
{
    const char *a = std::strrchr(aPathP, '\\'), *b = std::strrchr(aPathP, '/');
    const char *s = a > b ? a : b;
    return s ? s + 1 : aPathP;
}

// Copies as much as fits, always terminated.
void _copy(char *aDstP, size_t aSize, const char *aSrcP)
{
    if (aSize == 0)
        return;
    const size_t n = strnlen(aSrcP, aSize - 1);
    std::memcpy(aDstP, aSrcP, n);
    aDstP[n] = '\0';
}

void _imageSize(const char *aFolderP, const char *aFileP, int32_t *aWP, int32_t *aHP)
{
    char path[600];
    std::snprintf(path, sizeof(path), "%s%c%s", aFolderP, _sep, aFileP);
    const char *dot = std::strrchr(aFileP, '.');
    char ext[8] = {0};
    for (int i = 0; dot && dot[i] && i < 7; ++i) ext[i] = (char)std::tolower((unsigned char)dot[i]);
    uint32_t w = 0, h = 0, d = 0;
    *aWP = *aHP = 0;
    if (std::strcmp(ext, ".bmp") == 0) {
#ifdef _WIN32
        if (sDrawGetBitMapSize(path, &w, &h, &d) < 0) return;
#else
        // The bitmap header's width and height (the platform reader is not here).
        FILE *f = std::fopen(path, "rb");
        uint8_t hd[26];
        bool ok = f && std::fread(hd, 1, 26, f) == 26 && hd[0] == 'B' && hd[1] == 'M';
        if (f) std::fclose(f);
        if (!ok) return;
        w = hd[18] | (hd[19] << 8) | (hd[20] << 16) | ((uint32_t)hd[21] << 24);
        int32_t sh = (int32_t)(hd[22] | (hd[23] << 8) | (hd[24] << 16) | ((uint32_t)hd[25] << 24));
        h = (uint32_t)(sh < 0 ? -sh : sh);
#endif
    } else if (std::strcmp(ext, ".tga") == 0) {
        if (sDrawGetTargaSize(path, &w, &h, &d) < 0) return;
    } else {
        _error("%sは未対応のテクスチャフォーマットです", aFileP);
        return;
    }
    *aWP = (int32_t)w;
    *aHP = (int32_t)h;
}

struct _nameTbl {
    const char (*names)[32];
    int32_t num;
};

// "name (n)": the n-th entry of the table called name.
int32_t _refNum(const char *aRefP, const _nameTbl &aTbl)
{
    if (!_imageSet(aRefP)) return -1;
    char name[OBJ2_NAME_SIZE];
    _copy(name, sizeof(name), aRefP);
    char *open = std::strstr(name, " (");
    if (!open) return -1;
    int n = 0;
    if (std::sscanf(open, " (%d)", &n) != 1) return -1;
    *open = 0;
    int seen = 0;
    for (int32_t i = 0; i < aTbl.num; ++i) {
        if (std::strncmp(aTbl.names[i], name, 32) == 0 && ++seen == n) return i;
    }
    return -1;
}

void _setTexture(_textureSet *t, const st_TextureLayer *aLayerP, const st_MaterialData *aMtlP, int32_t aStage,
                 const char *aFolderP, const _nameTbl &aTbl)
{
    std::memset(t, 0, sizeof(*t));
    t->texArg2 = _TA_CURRENT;
    t->alphaArg1 = _TA_TEXTURE;
    t->alphaArg2 = _TA_CURRENT;
    t->texArg1 = _TA_TEXTURE;
    t->texFlg = 0x401;
    switch (aLayerP->chan) {
    case OBJ2_CHAN_COLR:
        if (_imageSet(aLayerP->talp)) {
            t->texOp = _TOP_BLENDTEXTUREALPHA;
            t->alphaOp = _TOP_MODULATE;
        } else {
            t->texOp = _TOP_MODULATE;
            t->alphaOp = _TOP_SELECTARG2;
        }
        break;
    case OBJ2_CHAN_LUMI: {
        bool dark = aMtlP->emis[0] == 0.0f && aMtlP->emis[1] == 0.0f && aMtlP->emis[2] == 0.0f;
        t->texOp = dark ? _TOP_ADD : _TOP_ADDSIGNED;
        t->alphaOp = _TOP_MODULATE;
        break;
    }
    case OBJ2_CHAN_SPEC:
        t->texOp = _TOP_MODULATE;
        t->texArg1 = _TA_SPECULAR;
        t->alphaOp = _TOP_SELECTARG2;
        break;
    case OBJ2_CHAN_REFL:
        t->texOp = _TOP_SELECTARG1;
        t->alphaOp = _TOP_SELECTARG2;
        t->texFlg = 0;
        break;
    case OBJ2_CHAN_TRAN:
        t->texOp = _TOP_SELECTARG2;
        t->alphaOp = _TOP_MODULATE;
        break;
    case OBJ2_CHAN_BUMP:
        t->texOp = _TOP_DOTPRODUCT3;
        t->alphaOp = _TOP_MODULATE;
        t->texFlg = 0x421;
        break;
    default:
        t->texOp = _TOP_MODULATE;
        t->alphaOp = _TOP_SELECTARG2;
        break;
    }
    _copy(t->fileName, sizeof(t->fileName), _filePart(aLayerP->timg));
    int32_t w, h;
    _imageSize(aFolderP, t->fileName, &w, &h);
    if (_imageSet(aLayerP->talp)) {
        _copy(t->alphaFileName, sizeof(t->alphaFileName), _filePart(aLayerP->talp));
        t->texFlg |= 4;
    }
    if (aLayerP->chan == OBJ2_CHAN_TRAN) {
        _copy(t->alphaFileName, sizeof(t->alphaFileName), t->fileName);
        t->texFlg |= 4;
        t->texFlg ^= 0x200;
    }
    if (aLayerP->opac != 1.0f) t->texFlg |= 0x80;
    if (aLayerP->nega) t->texFlg ^= 0x300;
    t->pageInfo.refNum = _refNum(aLayerP->tref, aTbl);
    if (t->pageInfo.refNum >= 0) t->texFlg |= 0x800;
    t->info.rect = _texInfoRect{0, 0, w - 1, h - 1};
    t->pageInfo.proj = (uint16_t)aLayerP->proj;
    t->pageInfo.axis = (uint16_t)aLayerP->axis;
    for (int k = 0; k < 3; ++k) {
        t->pageInfo.texSize[k] = aLayerP->size[k];
        t->pageInfo.texCenter[k] = aLayerP->cntr[k];
    }
    t->pageInfo.wrpw = aLayerP->wrpw;
    t->pageInfo.wrph = aLayerP->wrph;
    t->opacity = aLayerP->opac;
    t->texUVIndex = (uint32_t)aStage;
    t->texNum = -1;
    t->texPageNum = -1;
}

void _setRefTexture(_textureSet *t, const st_MaterialData *aMtlP, int32_t aStage, const char *aFolderP)
{
    std::memset(t, 0, sizeof(*t));
    t->texOp = _TOP_ADD;
    t->texArg1 = _TA_TEXTURE;
    t->texArg2 = _TA_CURRENT;
    t->alphaOp = _TOP_SELECTARG2;
    t->alphaArg1 = _TA_TEXTURE;
    t->alphaArg2 = _TA_CURRENT;
    t->texFlg = 9;
    _copy(t->fileName, sizeof(t->fileName), _filePart(aMtlP->rimg));
    int32_t w, h;
    _imageSize(aFolderP, t->fileName, &w, &h);
    t->info.rect = _texInfoRect{0, 0, w - 1, h - 1};
    t->texUVIndex = (uint32_t)aStage;
    t->texNum = -1;
    t->texPageNum = -1;
}

float _finiteOr0(float v) { return std::isfinite(v) ? v : 0.0f; }

void _setAbility(_abilityDef *a, const st_MaterialData *m, uint32_t aStatus, int32_t aChanOr, int32_t aStages,
                 _textureSet *aTexP, _primVertexDefSet *aSetP)
{
    D3DUtil_InitMaterial(a->material, 0.0f, 0.0f, 0.0f, 1.0f);
    a->material.diffuse = D3DCOLORVALUE{{m->diff[0]}, {m->diff[1]}, {m->diff[2]}, {m->diff[3]}};
    a->material.specular = D3DCOLORVALUE{{m->spec[0]}, {m->spec[1]}, {m->spec[2]}, {m->spec[3]}};
    a->material.power = m->shin[0];
    if (aChanOr & OBJ2_CHAN_COLR) {
        // A colour texture carries the colour; what glows is the luminosity alone.
        a->material.emissive.r = _finiteOr0(m->emis[0] / m->colr[0]);
        a->material.emissive.g = _finiteOr0(m->emis[1] / m->colr[1]);
        a->material.emissive.b = _finiteOr0(m->emis[2] / m->colr[2]);
    } else {
        a->material.emissive.r = m->emis[0];
        a->material.emissive.g = m->emis[1];
        a->material.emissive.b = m->emis[2];
    }
    a->material.emissive.a = m->emis[3];
    if (aStages > 0 && aTexP[0].texOp == _TOP_MODULATE) {
        float s = m->colr[0] + m->colr[1] + m->colr[2], t = m->diff[0] + m->diff[1] + m->diff[2];
        float d = s > 0.0f ? t / s : 1.0f;
        a->material.diffuse.r = a->material.diffuse.g = a->material.diffuse.b = d;
    }
    uint32_t st = aStatus | 2;
    if (m->flags & OBJ2_MTL_DOUBLE) st |= 0x10;
    if (m->flags & OBJ2_MTL_ENVMAP) st |= 8;
    a->srcBlend = 2;
    a->destBlend = 1;
    if (m->tran != 0.0f) {
        st |= 1;
        a->srcBlend = 5;
        a->destBlend = 6;
    }
    if (m->flags & OBJ2_MTL_ADDITIVE) {
        st |= 1;
        a->srcBlend = 2;
        a->destBlend = 2;
    }
    if (st & 4) a->rendStat[0] = _renderState{_RS_LIGHTING, 0};
    a->abilityStatus = st;
    a->texStageNum = aStages;
    a->texSetP = aStages > 0 ? aTexP : nullptr;
    a->vertexDefSetNum = 1;
    a->vertexDefSetP = aSetP;
}

bool _validNormal(const st_NormalData *n)
{
    return n && std::isfinite(n->vector[0]) && std::isfinite(n->vector[1]) && std::isfinite(n->vector[2]);
}

void _unitPosition(const double *p, float *aN)
{
    double len = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    if (!(len > 0.0)) {
        aN[0] = 0.0f;
        aN[1] = 1.0f;
        aN[2] = 0.0f;
        return;
    }
    for (int k = 0; k < 3; ++k) aN[k] = (float)(p[k] / len);
}

struct _normNode {
    const st_NormalData *normalP;
    int32_t polNo, ivert;  // the polygon corner it belongs to
    _normNode *nextP;
};

// Per surface: its texture stages and meshes counted before anything is allocated.
struct _surfCount {
    int32_t stages = 0;
    int32_t chanOr = 0;
    int32_t triIndices = 0;
    int32_t pointIndices = 0;
    int32_t vertices = 0;
    std::vector<const st_TextureLayer *> layers;
};

void _freeWork(_shapeWork *w)
{
    if (!w) return;
    std::free(w->abilitySetDefP);
    std::free(w->abilityDefP);
    std::free(w->textureDefP);
    std::free(w->vertexSetDefP);
    std::free(w->indexSetDefP);
    std::free(w->indexDefP);
    std::free(w->vertexDefP);
    std::free(w);
}

template <typename T> bool _alloc(T **aPP, int32_t aCount)
{
    *aPP = nullptr;
    if (aCount <= 0) return true;
    *aPP = (T *)std::calloc((size_t)aCount, sizeof(T));
    return *aPP != nullptr;
}

bool _contains(const char *aNameP, const char *aWhatP)
{
    return std::strstr(aNameP, aWhatP) != nullptr;
}

long _loadLwo(const char *aFolderP, const char *aNameP, const _nameTbl &aTbl, _shapeDef **aDefPP)
{
    *aDefPP = nullptr;
    char path[600];
    std::snprintf(path, sizeof(path), "%s%c%s.lwo", aFolderP, _sep, aNameP);
    _progress progress;
    _shapeDef *def = (_shapeDef *)std::calloc(1, sizeof(_shapeDef));
    _shapeWork *work = (_shapeWork *)std::calloc(1, sizeof(_shapeWork));
    st_OBJ2 *obj = OBJ2_open(path, &_lwoOption);
    auto fail = [&](void) -> long {
        _freeWork(work);
        std::free(def);
        OBJ2_close(&obj);
        return E_FAIL;
    };
    if (!def || !work) return fail();
    if (!obj) {
        _error("%sの読み込みに失敗", path);
        return fail();
    }
    if (obj->layerCount(obj) != 1) {
        _error("%sのレイヤー数が１個ではない (%d)", path, (int)obj->layerCount(obj));
        return fail();
    }
    obj->setLayer(obj, 0);
    if (obj->makeMeshes(obj, &_meshOption) < 0) {
        _error("%sの読み込みに失敗", path);
        return fail();
    }
    const st_LayerData *layer = obj->getLayer(obj, 0);
    int32_t surfNum = obj->surfCount(obj);
    int32_t meshNum = obj->meshCount(obj);

    std::vector<_surfCount> sc(surfNum);
    int32_t texTotal = 0, setTotal = 0, indexTotal = 0, vertexTotal = 0;
    for (int32_t i = 0; i < surfNum; ++i) {
        const st_MaterialData *m = obj->getMaterial(obj, i);
        for (const st_TextureLayer *t = m->tlayrs; t && (t->flags & OBJ2_TXL_ENABLED); t = t->next) {
            sc[i].chanOr |= t->chan;
            if (_imageSet(t->timg) && t->chan != OBJ2_CHAN_BUMP && t->chan != OBJ2_CHAN_REFL) sc[i].layers.push_back(t);
        }
        sc[i].stages = (int32_t)sc[i].layers.size() + (_imageSet(m->rimg) ? 1 : 0);
        for (int32_t k = 0; k < meshNum; ++k) {
            const st_MeshData *md = obj->meshInfo(obj, k);
            if (md->surf_no != i) continue;
            if (md->type == MESH_TRI_STRIP || md->type == MESH_TRI_FAN) sc[i].triIndices += md->num_node * 3 - 6;
            else if (md->type == MESH_POINTS) sc[i].pointIndices += md->num_node;
            sc[i].vertices += md->num_node;
        }
        texTotal += sc[i].stages;
        setTotal += (sc[i].triIndices > 0) + (sc[i].pointIndices > 0);
        indexTotal += sc[i].triIndices + sc[i].pointIndices;
        vertexTotal += sc[i].vertices;
        // Indices are 16-bit: a surface with more vertices cannot be addressed.
        if (sc[i].vertices > 0x10000) {
            _error("%sの頂点数が上限を超えている (%d)", path, (int)sc[i].vertices);
            return fail();
        }
        progress.tick();
    }
    work->abilityDefCnt = surfNum;
    work->textureDefCnt = texTotal;
    work->indexSetDefCnt = setTotal;
    work->indexDefCnt = indexTotal;
    work->vertexSetDefCnt = surfNum;
    work->vertexDefCnt = vertexTotal;
    if (!_alloc(&work->abilitySetDefP, surfNum) || !_alloc(&work->abilityDefP, surfNum) ||
        !_alloc(&work->textureDefP, texTotal) || !_alloc(&work->vertexSetDefP, surfNum) ||
        !_alloc(&work->indexSetDefP, setTotal) || !_alloc(&work->indexDefP, indexTotal) ||
        !_alloc(&work->vertexDefP, vertexTotal)) {
        _error("%sの読み込みに失敗", path);
        return fail();
    }
    if (vertexTotal > 0xffff) _error("%sの頂点数が上限を超えている (%d)", path, (int)vertexTotal);

    // Corner normals gathered per point, for smoothing across polygons: from every corner of
    // every drawn polygon, so that smoothing does not depend on how the strips were grown.
    std::vector<_normNode *> normTbl(layer->maxPnts > 0 ? layer->maxPnts : 1, nullptr);
    std::vector<_normNode> normPool;
    normPool.reserve(obj->indexCount(obj));
    for (int32_t i = 0; i < obj->polyCount(obj); ++i) {
        const st_PolygonData *p = obj->polyInfo(obj, i);
        if (p->numPnts < 3 || (p->flags & OBJ2_POLY_HIDDEN)) continue;
        for (int32_t k = 0; k < p->numPnts; ++k) {
            const st_NormalData *nd = obj->normalInfo(obj, p->normals[k]);
            if (!_validNormal(nd)) continue;
            normPool.push_back(_normNode{nd, i, k, normTbl[p->points[k]]});
            normTbl[p->points[k]] = &normPool.back();
        }
    }

    _textureSet *texP = work->textureDefP;
    _primIndexDefSet *setP = work->indexSetDefP;
    uint16_t *idxP = work->indexDefP;
    _vertexDef *vtxP = work->vertexDefP;
    std::vector<int32_t> nodeIdx;
    int32_t triTotal = 0, pointTotal = 0;
    for (int32_t i = 0; i < surfNum; ++i) {
        const st_MaterialData *m = obj->getMaterial(obj, i);
        _abilityDef *abl = &work->abilityDefP[i];
        work->abilitySetDefP[i] = abl;
        uint32_t status = 0;
        int32_t stage = 0;
        _textureSet *surfTex = texP;
        for (const st_TextureLayer *t : sc[i].layers) {
            if (t->chan == OBJ2_CHAN_SPEC) status |= 0x20;
            _setTexture(texP++, t, m, stage++, aFolderP, aTbl);
        }
        if (_imageSet(m->rimg)) _setRefTexture(texP++, m, stage++, aFolderP);

        const st_TextureLayer *uvLayer = m->tlayrs;
        int32_t firstVertex = (int32_t)(vtxP - work->vertexDefP);
        _vertexDef *surfVtx = vtxP;
        uint16_t *triIdx = idxP, *pointIdx = idxP + sc[i].triIndices;
        uint16_t *triOut = triIdx, *pointOut = pointIdx;
        bool missingUV = false;
        for (int32_t k = 0; k < meshNum; ++k) {
            const st_MeshData *md = obj->meshInfo(obj, k);
            if (md->surf_no != i) continue;
            nodeIdx.clear();
            for (const st_MeshNode *n = md->nodes; n; n = n->next) {
                const st_PolygonData *p = obj->polyInfo(obj, n->pol_no);
                const double *pos = obj->pointInfo(obj, n->pnt_no)->position;
                _vertexDef *v = vtxP++;
                v->vx = (float)pos[0];
                v->vy = (float)pos[1];
                v->vz = (float)pos[2];
                float nrm[3];
                const st_NormalData *own = obj->normalInfo(obj, p->normals[n->ivert]);
                if (md->type == MESH_LINE_STRIP || md->type == MESH_POINTS || !_validNormal(own)) {
                    _unitPosition(pos, nrm);
                } else if (m->flags & OBJ2_MTL_SMOOTH) {
                    double angle = m->sman >= 3.1415927f ? 3.1328660945097604 : (double)m->sman;
                    double limit = std::cos(angle);
                    double sum[3] = {own->vector[0], own->vector[1], own->vector[2]};
                    int32_t cnt = 1;
                    for (const _normNode *q = normTbl[n->pnt_no]; q; q = q->nextP) {
                        if (q->polNo == n->pol_no && q->ivert == n->ivert) continue;
                        const double *o = q->normalP->vector;
                        if (o[0] * own->vector[0] + o[1] * own->vector[1] + o[2] * own->vector[2] > limit) {
                            for (int c = 0; c < 3; ++c) sum[c] += o[c];
                            ++cnt;
                        }
                    }
                    for (int c = 0; c < 3; ++c) nrm[c] = (float)(sum[c] / cnt);
                } else {
                    for (int c = 0; c < 3; ++c) nrm[c] = (float)own->vector[c];
                }
                v->nx = nrm[0];
                v->ny = nrm[1];
                v->nz = nrm[2];
                if (uvLayer) {
                    const st_PolygonMap *pm = obj->getPolymap(obj, n->pol_no, uvLayer->chan, uvLayer->layr);
                    const st_MapData *uv = pm ? obj->mapInfo(obj, pm->maps[n->ivert]) : nullptr;
                    if (uv) {
                        v->u0 = v->u1 = (float)uv->u;
                        v->v0 = v->v1 = (float)(-1.0 * uv->v);
                    } else {
                        missingUV = true;
                    }
                }
                nodeIdx.push_back((int32_t)(v - surfVtx));
            }
            int32_t nn = (int32_t)nodeIdx.size();
            if (md->type == MESH_TRI_STRIP) {
                for (int32_t pos = 0; pos + 2 < nn; ++pos) {
                    *triOut++ = (uint16_t)nodeIdx[pos];
                    *triOut++ = (uint16_t)nodeIdx[pos + 1 + (pos & 1)];
                    *triOut++ = (uint16_t)nodeIdx[pos + 1 + ((pos & 1) ? 0 : 1)];
                }
            } else if (md->type == MESH_TRI_FAN) {
                for (int32_t pos = 0; pos + 2 < nn; ++pos) {
                    *triOut++ = (uint16_t)nodeIdx[0];
                    *triOut++ = (uint16_t)nodeIdx[pos + 1];
                    *triOut++ = (uint16_t)nodeIdx[pos + 2];
                }
            } else if (md->type == MESH_POINTS) {
                for (int32_t v : nodeIdx) *pointOut++ = (uint16_t)v;
            }
            progress.tick();
        }
        if (missingUV) _error("%sのＵＶマップがない", path);
        (void)firstVertex;
        int32_t sets = 0;
        _primIndexDefSet *surfSets = setP;
        if (sc[i].triIndices > 0) {
            *setP++ = _primIndexDefSet{sc[i].triIndices, triIdx, _PRIM_TRIANGLELIST};
            ++sets;
        }
        if (sc[i].pointIndices > 0) {
            *setP++ = _primIndexDefSet{sc[i].pointIndices, pointIdx, _PRIM_POINTLIST};
            ++sets;
            status |= 0x80 | 0x10;
        }
        idxP += sc[i].triIndices + sc[i].pointIndices;
        triTotal += sc[i].triIndices / 3;
        pointTotal += sc[i].pointIndices;

        _primVertexDefSet *vs = &work->vertexSetDefP[i];
        vs->vertexNum = sc[i].vertices;
        vs->vertexP = sc[i].vertices > 0 ? surfVtx : nullptr;
        vs->vertexType = _VERTEX_TYPE;
        vs->indexSetNum = sets;
        vs->indexSetP = sets > 0 ? surfSets : nullptr;
        _setAbility(abl, m, status, sc[i].chanOr, sc[i].stages, surfTex, vs);
        if (_contains(aNameP, "_plane_")) {
            abl->rendStat[0] = _renderState{_RS_ALPHABLENDENABLE, 1};
            abl->rendStat[1] = _renderState{_RS_SRCBLEND, 1};
            abl->rendStat[2] = _renderState{_RS_DESTBLEND, 2};
            abl->rendStat[3] = _renderState{_RS_ZWRITEENABLE, 0};
        }
    }

    def->shapeStatus = _contains(aNameP, "_sprite_") ? 64 : (_contains(aNameP, "_plane_") ? 16 : 0);
    def->abilityDefNum = surfNum;
    def->abilityDefP = work->abilitySetDefP;
    def->shadowCastDefP = nullptr;
    def->effectDefP = nullptr;
    def->nextNum = -1;
    def->childNum = -1;
    def->vertexCnt = (uint32_t)vertexTotal;
    def->polyCnt = (uint32_t)(triTotal + pointTotal);
    if (def->polyCnt > 0x7fff) _error("%sは頂点数が限界を超えている (%d)", path, (int)def->polyCnt);
    // The box of the layer's points (the same points a second reading would give).
    double box[6];
    obj->calcBBox(obj);
    obj->getBBox(obj, box);
    def->minX = box[0];
    def->minY = box[1];
    def->minZ = box[2];
    def->maxX = box[3];
    def->maxY = box[4];
    def->maxZ = box[5];
    def->workP = work;
    OBJ2_close(&obj);
    *aDefPP = def;
    return S_OK;
}

} // namespace

int viewCheckLwo(const char *aPathP)
{
    if (!aPathP) return 0;
    st_OBJ2 *obj = OBJ2_open(aPathP, nullptr);
    if (!obj) return 0;
    int ok = obj->layerCount(obj) == 1;
    OBJ2_close(&obj);
    return ok;
}

long viewLoadLwo(const char *aPathP, _shapeDef **aShapeDefPP)
{
    if (!aShapeDefPP) return E_FAIL;
    *aShapeDefPP = nullptr;
    char folder[SCENE_NAME_SIZE] = ".", name[SCENE_NAME_SIZE] = "";
    if (aPathP) {
        const char *file = _filePart(aPathP);
        if (file != aPathP) std::snprintf(folder, sizeof(folder), "%.*s", (int)(file - aPathP - 1), aPathP);
        _copy(name, sizeof(name), file);
        // Only the extension goes: "fighter.v2.lwo" is "fighter.v2".
        char *dot = std::strrchr(name, '.');
        if (dot) *dot = 0;
    }
    char table[1][32] = {{0}};
    _nameTbl tbl{table, 0};
    long rc = aPathP ? _loadLwo(folder, name, tbl, aShapeDefPP) : E_FAIL;
    if (rc != S_OK) {
#ifdef _WIN32
        if (sSysJapanese()) printMsg(sysWork.rootWinH, "警告", "%sの読み込みに失敗", aPathP ? aPathP : "");
        else printMsg(sysWork.rootWinH, "Warning", "%s Read Failure", aPathP ? aPathP : "");
#endif
        return E_FAIL;
    }
    _shapeWork *w = (_shapeWork *)(*aShapeDefPP)->workP;
    for (int32_t i = 0; i < w->textureDefCnt; ++i) {
        _textureSet *t = &w->textureDefP[i];
        char buf[600];
        t->texFlg |= 0x1000;
        std::snprintf(buf, sizeof(buf), "%s%c%s", folder, _sep, t->fileName);
        _copy(t->fileName, sizeof(t->fileName), buf);
        if (t->alphaFileName[0]) {
            std::snprintf(buf, sizeof(buf), "%s%c%s", folder, _sep, t->alphaFileName);
            _copy(t->alphaFileName, sizeof(t->alphaFileName), buf);
        }
    }
    return S_OK;
}

void viewFreeLwo(_shapeDef *aShapeDefP)
{
    if (!aShapeDefP) return;
    _freeWork((_shapeWork *)aShapeDefP->workP);
    std::free(aShapeDefP);
}

int viewLwoWithinLimits(const _shapeDef *aShapeDefP)
{
    return aShapeDefP && aShapeDefP->polyCnt <= VIEW_LWO_MAX_POLY && aShapeDefP->vertexCnt <= VIEW_LWO_MAX_VERTEX;
}

double viewLwoScaleFactor(const _shapeDef *aReplacedP, const _shapeDef *aNewP)
{
    if (!aReplacedP || !aNewP) return 1.0;
    auto extent = [](const _shapeDef *d) {
        double e = d->maxX - d->minX;
        if (d->maxY - d->minY > e) e = d->maxY - d->minY;
        if (d->maxZ - d->minZ > e) e = d->maxZ - d->minZ;
        return e;
    };
    double a = extent(aReplacedP), b = extent(aNewP);
    if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a / b)) return 1.0;
    return a / b;
}
