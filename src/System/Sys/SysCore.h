#ifndef KESTREL_SYSTEM_SYS_SYSCORE_H
#define KESTREL_SYSTEM_SYS_SYSCORE_H

// The machine rules that need no platform call: the display mode table, the hardware grades
// that choose between the FullSpec and the Light content, and the force-Light list.

#include <cstdint>

// One row of the display mode table; row n has option bit 1 << n.
struct _displayMode {
    int width;
    int height;
    int depth;
    uint32_t option;
};

enum { DISPLAY_MODE_NUM = 16 };
extern const _displayMode _displayTbl[DISPLAY_MODE_NUM];

// First row whose bit equals aOption as a whole word: 1 and the size, else 0 (outputs untouched).
long sSysGetDisplaySize(uint32_t aOption, int *aWidth, int *aHeight, int *aDepth);
// Bit of the row with exactly these three values: 1 and the bit, else 0.
long sSysGetDisplayOption(int aWidth, int aHeight, int aDepth, uint32_t *aOption);

// What a machine may run, from its desktop plus video memory and its physical memory.
enum _sysGrade {
    SYS_GRADE_NONE = 0,     // insufficient hardware
    SYS_GRADE_LIGHT = 1,    // Light content only
    SYS_GRADE_FULLSPEC = 2, // FullSpec content, unless the force-Light list names the adapter
};

// Desktop bytes plus video memory. Saturates: drivers that report about 4 GiB of video memory
// would otherwise wrap the sum to a few MiB and make a capable machine look insufficient.
uint32_t sSysAddVideoSize(uint32_t aDesktopBytes, uint32_t aVramBytes);
// Thresholds are inclusive: 28 MiB and 120 MiB for FullSpec, 12 MiB and 44 MiB for Light.
_sysGrade sSysGradeHardware(uint32_t aVideoBytes, uint32_t aPhysicalBytes);

// 1 when a line of the list file occurs in aDescription (an empty line matches every adapter);
// 0 when the file is absent or no line matches. Lines are read 512 bytes at a time.
long sSysForceLightListed(const char *aListPath, const char *aDescription);

#endif
