// The clips the flagship's hangar screens play, and the screens themselves. A clip is a loose
// AVI file under Data\Movie; the program's scene table binds it to the screen shape by name.

#include <algorithm>
#include <cmath>

#include "Content.h"
#include "KbAvi.h"

namespace {

const float _pi = 3.14159265f;

uint32_t _fade(uint32_t aRgba, float aK)
{
    return kbMixColor(0x000000FF, aRgba, aK < 0 ? 0 : aK > 1 ? 1 : aK);
}

// Text and rectangles take 0xRRGGBB; pixels are 0xRRGGBBAA.

// Launch status: six bay slots that turn from amber to green as the pairs go, a throughput graph
// running left and a blinking banner. 128 x 64, the page's own size.
kbImage _statusFrame(int aK, int aFrames)
{
    const uint32_t w = 128, h = 64;
    kbImage img = kbImageMake(w, h, 0x06141CFF);
    kbFillRect(&img, 0, 0, w, 11, 0x0E3040);
    kbDrawText(&img, 3, 1, 9, 0x9FE8FF, "LAUNCH BAY 2");
    if ((aK / 4) % 2 == 0)
        kbDrawText(&img, 92, 1, 9, 0xFFD060, "GO");
    // Slots: one more turns green every five frames, the clip's loop starting over.
    int lit = aK * 7 / aFrames;
    for (int s = 0; s < 6; s++) {
        int x = 4 + s * 20, y = 15;
        uint32_t c = s < lit ? 0x40F070 : s == lit ? ((aK % 2) ? 0xFFC040 : 0x805010) : 0x403010;
        kbFillRect(&img, x, y, x + 16, y + 12, 0x0A2028);
        kbFillRect(&img, x + 2, y + 2, x + 14, y + 10, c);
    }
    // The graph scrolls one column pair a frame.
    for (uint32_t x = 4; x < w - 4; x++) {
        float t = (float)(x + aK * 2) * 0.11f;
        float v = 0.5f + 0.3f * std::sin(t) + 0.15f * std::sin(t * 2.7f + 1.3f);
        int top = h - 4 - (int)(v * 26);
        for (int y = top; y < (int)h - 4; y++)
            img.pixels[y * w + x] = _fade(0x30C0F0FF, 1.0f - 0.6f * (float)(y - top) / 26.0f);
        img.pixels[top * w + x] = 0xC0F4FFFF;
    }
    for (uint32_t y = 33; y < h - 3; y += 6)
        for (uint32_t x = 4; x < w - 4; x += 2)
            img.pixels[y * w + x] = kbMixColor(img.pixels[y * w + x], 0x60A0B0FF, 0.5f);
    return img;
}

// The radar: a sweep that goes round once a clip, its trail fading, and the fighters' blips
// drifting out from the centre. 96 x 48, stretched onto its 128 x 64 page.
kbImage _radarFrame(int aK, int aFrames)
{
    const uint32_t w = 96, h = 48;
    kbImage img = kbImageMake(w, h, 0x031008FF);
    const float cx = 24, cy = 24, r = 21;
    float sweep = 2 * _pi * aK / aFrames;
    for (uint32_t y = 0; y < h; y++)
        for (uint32_t x = 0; x < 48; x++) {
            float dx = x + 0.5f - cx, dy = y + 0.5f - cy, d = std::sqrt(dx * dx + dy * dy);
            if (d > r + 1)
                continue;
            uint32_t c = 0x062810FF;
            if (std::fabs(d - r) < 0.8f || std::fabs(d - r * 0.5f) < 0.5f || std::fabs(dx) < 0.5f || std::fabs(dy) < 0.5f)
                c = 0x1C7030FF;
            float a = std::atan2(dy, dx);
            float behind = std::fmod(sweep - a + 4 * _pi, 2 * _pi);
            if (behind < 1.6f)
                c = kbMixColor(c, 0x50FF80FF, 0.8f * (1 - behind / 1.6f));
            img.pixels[y * w + x] = c;
        }
    // Six blips leave the centre in pairs.
    for (int b = 0; b < 6; b++) {
        float a = -0.6f + 0.24f * b, d = 4 + 3.0f * b + 0.3f * aK;
        int x = (int)(cx + std::cos(a) * d), y = (int)(cy + std::sin(a) * d);
        if (d < r - 1)
            kbFillRect(&img, x - 1, y - 1, x + 1, y + 1, 0xE0FFE0);
    }
    // The read-out at the right: range and the count of the launched.
    kbDrawText(&img, 52, 4, 8, 0x60E080, "RANGE");
    kbDrawText(&img, 52, 14, 8, 0xA0FFB0, std::to_string(120 + aK * 3));
    kbDrawText(&img, 52, 28, 8, 0x60E080, "OUT");
    kbDrawText(&img, 76, 28, 8, 0xA0FFB0, std::to_string(aK * 6 / aFrames + 1));
    return img;
}

kbBytes _clip(kbImage (*aFrame)(int, int), int aFrames, uint32_t aRate, int aDepth, std::string *aErrorP)
{
    kbAviClip clip;
    clip.rate = aRate;
    for (int k = 0; k < aFrames; k++) {
        kbImage f = aFrame(k, aFrames);
        clip.width = f.width, clip.height = f.height;
        clip.frames.push_back(f.pixels);
    }
    kbAviBytes out;
    if (!kbAviWrite(clip, aDepth, &out, aErrorP))
        out.clear();
    return out;
}

// A screen facing +Z, aW x aH, lit by itself: seen from ahead, u runs toward -X. Clip frames are
// stored bottom row first and reach the page as stored, so v runs from the bottom edge up.
kbSurface _screen(float aW, float aH, kbVec3 aAt, const std::string &aClip)
{
    kbMesh m;
    for (int i = 0; i < 4; i++) {
        float u = (float)(i % 2), v = (float)(i / 2);
        _vertexDef vd = {};
        vd.vx = aAt.x + (0.5f - u) * aW, vd.vy = aAt.y + (v - 0.5f) * aH, vd.vz = aAt.z;
        vd.nz = 1;
        vd.u0 = u, vd.v0 = v;
        m.vertices.push_back(vd);
    }
    m.indices = {0, 1, 2, 2, 1, 3};
    kbMeshOrient(&m);
    kbSurface s = kbSurfaceOf(m, 0x000000, aClip);
    s.emissive = kbColor(0xFFFFFF);
    s.texFlg = 0x401;  // a movie page: the scene finds it by the clip's name
    return s;
}

}  // namespace

const char *const CT_CLIP_STATUS = "Data\\Movie\\BayStatus.avi";
const char *const CT_CLIP_RADAR = "Data\\Movie\\BayRadar.avi";

void ctAddBayScreens(ctScene *aSceneP, int aParent, kbVec3 aMouth)
{
    std::string err;
    // Both editions share the clips: 2 s loops at 15 and 10 frames a second.
    aSceneP->loose.push_back({CT_CLIP_STATUS, _clip(_statusFrame, 30, 15, 24, &err)});
    aSceneP->loose.push_back({CT_CLIP_RADAR, _clip(_radarFrame, 20, 10, 16, &err)});
    // Under the lip of the hangar's mouth, left and right of its middle, framed in dark metal.
    kbMesh frame;
    for (float x : {-17.0f, 17.0f}) {
        kbMesh m = kbMeshBox(kbVec3(30, 16, 1.5f), 1);
        kbMeshTransform(&m, aMouth + kbVec3(x, 0, -0.9f));
        kbMeshAppend(&frame, m);
    }
    kbScene &sc = aSceneP->scene;
    kbAddShape(&sc, "BayScreenFrame", kbBodyOf({kbSurfaceOf(frame, 0x30343A)}), aParent, kbConstant(kbVec3()));
    kbAddShape(&sc, "BayScreenStatus", kbBodyOf({_screen(28, 14, aMouth + kbVec3(17, 0, 0), CT_CLIP_STATUS)}), aParent,
               kbConstant(kbVec3()));
    kbAddShape(&sc, "BayScreenRadar", kbBodyOf({_screen(28, 14, aMouth + kbVec3(-17, 0, 0), CT_CLIP_RADAR)}), aParent,
               kbConstant(kbVec3()));
}

// The bay's beacon: an amber lamp whose light falls off in its alpha, the colour staying warm to
// the rim; a Targa so the alpha travels with the picture.
std::string ctBeaconTex(ctTextures *aTxP, uint32_t aSize)
{
    kbImage img = kbImageMake(aSize, aSize, 0xFFB04000);
    const float c = (aSize - 1) / 2.0f;
    for (uint32_t y = 0; y < aSize; y++)
        for (uint32_t x = 0; x < aSize; x++) {
            float dx = (x - c) / (c + 0.5f), dy = (y - c) / (c + 0.5f);
            float d = std::sqrt(dx * dx + dy * dy);
            float core = std::max(0.0f, 1.0f - d / 0.25f);
            float halo = std::max(0.0f, 1.0f - d);
            float a = std::min(1.0f, halo * halo * 0.85f + core);
            uint32_t rgb = kbMixColor(0xFF9830FF, 0xFFF4D0FF, core) & 0xFFFFFF00;
            img.pixels[(size_t)y * aSize + x] = rgb | (uint32_t)(a * 255.0f);
        }
    return aTxP->AddTarga("d06_beacon.tga", img);
}

void ctAddBayBeacons(ctScene *aSceneP, int aParent, const std::vector<kbVec3> &aAt, float aSize, uint32_t aTexSize)
{
    std::string tex = ctBeaconTex(&aSceneP->textures, aTexSize);
    kbMesh cards;
    for (kbVec3 at : aAt) {
        kbMesh m;
        for (int i = 0; i < 4; i++) {
            float u = (float)(i % 2), v = (float)(i / 2);
            _vertexDef vd = {};
            vd.vx = at.x + (u - 0.5f) * aSize, vd.vy = at.y + (v - 0.5f) * aSize, vd.vz = at.z;
            vd.nz = 1;
            vd.u0 = u, vd.v0 = v;
            m.vertices.push_back(vd);
        }
        m.indices = {0, 1, 2, 2, 1, 3};
        kbMeshOrient(&m);
        kbMeshAppend(&cards, m);
    }
    kbSurface s = kbSurfaceOf(cards, 0x000000, tex);
    s.emissive = kbColor(0xFFFFFF);
    s.twoSided = true;
    s.blend = 2;
    s.texFlg = 0x3;  // the Targa's own alpha
    kbAddShape(&aSceneP->scene, "BayBeacons", kbBodyOf({s}), aParent, kbConstant(kbVec3()));
}
