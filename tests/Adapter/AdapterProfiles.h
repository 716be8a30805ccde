#ifndef KESTREL_TESTS_ADAPTER_ADAPTERPROFILES_H
#define KESTREL_TESTS_ADAPTER_ADAPTERPROFILES_H

// The display adapters of the era that the test layer (ddraw.dll, tests only) plays: what each
// one reports and what it refuses. Read by the layer and by the matrix test, so both agree.

#include <cstdint>
#include <cstring>

enum : uint32_t {
    // Direct3D devices the adapter offers (besides the software rasterisers).
    ADAPTER_DEV_HAL = 0x1,
    ADAPTER_DEV_TNL = 0x2,
    // Display depths it can show (3D included).
    ADAPTER_MODE16 = 0x1,
    ADAPTER_MODE32 = 0x2,
    // Texture size rules.
    ADAPTER_TEX_POW2 = 0x1,
    ADAPTER_TEX_SQUARE = 0x2,
    // Texture formats, listed by the device in this order (bits of _adapterTexFmt).
    ADAPTER_TF_DXT = 0x001, // DXT1 to DXT5 (FourCC), listed first
    ADAPTER_TF_P8 = 0x002,
    ADAPTER_TF_565 = 0x004,
    ADAPTER_TF_X1555 = 0x008,
    ADAPTER_TF_A1555 = 0x010,
    ADAPTER_TF_A4444 = 0x020,
    ADAPTER_TF_X8888 = 0x040,
    ADAPTER_TF_A8888 = 0x080,
    // Depth buffers.
    ADAPTER_Z16 = 0x1,
    ADAPTER_Z24 = 0x2,   // 24 bits of 32
    ADAPTER_Z24S8 = 0x4, // 24 bits with 8 of stencil
    ADAPTER_Z32 = 0x8,
};

enum : uint32_t {
    ADAPTER_TF_16 = ADAPTER_TF_565 | ADAPTER_TF_X1555 | ADAPTER_TF_A1555 | ADAPTER_TF_A4444,
    ADAPTER_TF_32 = ADAPTER_TF_X8888 | ADAPTER_TF_A8888,
};

struct _adapterDef {
    const char *name;        // the value of KESTREL_ADAPTER
    const char *description; // the adapter name its driver gives
    const char *summary;     // what it is, for the matrix
    uint32_t vramMB;         // video memory the driver reports beside the desktop (0: the driver's own)
    uint32_t devices;        // ADAPTER_DEV_ bits; 0 with vramMB 0 leaves everything as the driver says
    uint32_t modes;          // ADAPTER_MODE bits
    uint32_t modeMaxW, modeMaxH;
    uint32_t texMax;         // largest texture side
    uint32_t texRules;       // ADAPTER_TEX_ bits
    uint32_t texFormats;     // ADAPTER_TF_ bits
    uint32_t zFormats;       // ADAPTER_Z bits
    uint32_t stages;         // textures per pass
};

// Published capabilities of the kinds of card a period benchmark met. "everything" is the
// driver underneath, unchanged: the control every other profile is compared with.
static const _adapterDef adapterDefTbl[] = {
    // name         description                          summary
    //   MB  devices                          modes                            max mode   tex   rules                                formats                                    Z                                      stages
    {"everything", nullptr, "today's driver, unchanged (control)",
     0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {"accel16", "3D Accelerator 16-bit (16 MB)", "16-bit-only 3D, 256x256 textures, 16 MB, no T&L",
     16, ADAPTER_DEV_HAL, ADAPTER_MODE16, 1600, 1200, 256, ADAPTER_TEX_POW2, ADAPTER_TF_16, ADAPTER_Z16, 2},
    {"notl32", "3D Accelerator 32 MB", "32 MB, 2048x2048 textures, no T&L",
     32, ADAPTER_DEV_HAL, ADAPTER_MODE16 | ADAPTER_MODE32, 1600, 1200, 2048, ADAPTER_TEX_POW2,
     ADAPTER_TF_16 | ADAPTER_TF_32, ADAPTER_Z16 | ADAPTER_Z24 | ADAPTER_Z24S8, 2},
    {"tnl32", "T&L Accelerator 32 MB", "32 MB, hardware T&L, 2048x2048 textures",
     32, ADAPTER_DEV_HAL | ADAPTER_DEV_TNL, ADAPTER_MODE16 | ADAPTER_MODE32, 1600, 1200, 2048, ADAPTER_TEX_POW2,
     ADAPTER_TF_16 | ADAPTER_TF_32, ADAPTER_Z16 | ADAPTER_Z24 | ADAPTER_Z24S8, 2},
    {"dxt64", "Compressed-Texture Accelerator 64 MB", "64 MB, hardware T&L, DXT formats listed first",
     64, ADAPTER_DEV_HAL | ADAPTER_DEV_TNL, ADAPTER_MODE16 | ADAPTER_MODE32, 1600, 1200, 2048, ADAPTER_TEX_POW2,
     ADAPTER_TF_DXT | ADAPTER_TF_P8 | ADAPTER_TF_16 | ADAPTER_TF_32, ADAPTER_Z16 | ADAPTER_Z24 | ADAPTER_Z24S8, 4},
    {"shared8", "Integrated Graphics 8 MB", "shared-memory chipset, 8 MB, 1024x1024 textures, no T&L",
     8, ADAPTER_DEV_HAL, ADAPTER_MODE16 | ADAPTER_MODE32, 1280, 1024, 1024, ADAPTER_TEX_POW2 | ADAPTER_TEX_SQUARE,
     ADAPTER_TF_16 | ADAPTER_TF_32, ADAPTER_Z16 | ADAPTER_Z24, 2},
    {"shared4", "Integrated Graphics 4 MB", "shared-memory chipset, 4 MB, no T&L",
     4, ADAPTER_DEV_HAL, ADAPTER_MODE16 | ADAPTER_MODE32, 1024, 768, 1024, ADAPTER_TEX_POW2 | ADAPTER_TEX_SQUARE,
     ADAPTER_TF_16 | ADAPTER_TF_32, ADAPTER_Z16, 2},
};

static inline const _adapterDef *sAdapterFind(const char *aNameP)
{
    for (const _adapterDef &def : adapterDefTbl)
        if (aNameP && std::strcmp(def.name, aNameP) == 0)
            return &def;
    return nullptr;
}

// True for the control: nothing is changed.
static inline bool sAdapterPassThrough(const _adapterDef *aDefP)
{
    return !aDefP || (aDefP->vramMB == 0 && aDefP->devices == 0);
}

#endif
