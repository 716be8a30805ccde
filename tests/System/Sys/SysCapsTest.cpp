// The machine survey against Wine's virtual desktop and the kernel's own clock figure.

#include "System/Sys/SYSTEM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// The processor clock the Linux kernel reports (Hz), 0 when it cannot be read.
double _kernelClock()
{
    FILE *fp = std::fopen("Z:\\proc\\cpuinfo", "rt");
    if (!fp)
        return 0;
    char line[512];
    double mhz = 0;
    while (std::fgets(line, sizeof line, fp))
        if (std::sscanf(line, "cpu MHz : %lf", &mhz) == 1 || std::sscanf(line, "cpu MHz\t: %lf", &mhz) == 1)
            break;
    std::fclose(fp);
    return mhz * 1e6;
}

class Survey : public ::testing::Test {
protected:
    HMODULE dll = nullptr;
    void SetUp() override
    {
        std::memset(&sysWork, 0, sizeof sysWork);
        dll = LoadLibraryA("DDRAW.DLL");
        ASSERT_NE(dll, nullptr);
        sysDirectDrawCreateExP = (_directDrawCreateExProc)(void *)GetProcAddress(dll, "DirectDrawCreateEx");
        ASSERT_EQ(sSysMakeCaps(), 1);
    }
    void TearDown() override
    {
        sSysReleaseCaps();
        sysDirectDrawCreateExP = nullptr;
        FreeLibrary(dll);
    }
};

TEST_F(Survey, ChoosesADriverWithTheModesAndDevicesOfTheVirtualDesktop)
{
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    ASSERT_NE(driver, nullptr);
    const uint32_t modes = driver->displayOption;
    std::printf("driver \"%s\" (%s): display 0x%04x, devices 0x%x, VRAM %u / %u KB, DirectX 0x%x\n",
                driver->devInfo.szDescription, driver->name, modes, driver->deviceOption,
                driver->freeVramSize / 1024, driver->totalVramSize / 1024, sysWork.directXVer);
    EXPECT_TRUE(modes & 0x0001);   // 640 x 480 x 16
    EXPECT_TRUE(modes & 0x0002);   // 640 x 480 x 32
    EXPECT_TRUE(modes & 0x0400);   // 1280 x 1024 x 16
    EXPECT_TRUE(driver->deviceOption & SYS_DEVICE_TNLHAL);
    EXPECT_TRUE(driver->deviceOption & SYS_DEVICE_HAL);
    EXPECT_EQ(driver->guidP, nullptr); // the primary display driver
    EXPECT_GT(driver->d3dCapsCnt, 1u);
    EXPECT_GT(driver->totalVramSize, 0u);
    EXPECT_EQ(sysWork.directXVer, 0x800u); // DirectDraw 7 and D3D8.DLL are both there
    EXPECT_EQ(sSysGetCurD3DCaps(), nullptr); // the device is chosen by the control panel
}

TEST_F(Survey, DeviceGuidsFollowTheirBitsWithHalFirst)
{
    GUID guid;
    ASSERT_EQ(sSysGetD3dDeviceGuid(0x3, &guid), 1);
    EXPECT_TRUE(IsEqualGUID(guid, IID_IDirect3DHALDevice));
    ASSERT_EQ(sSysGetD3dDeviceGuid(0x1, &guid), 1);
    EXPECT_TRUE(IsEqualGUID(guid, IID_IDirect3DTnLHalDevice));
    ASSERT_EQ(sSysGetD3dDeviceGuid(0xC, &guid), 1);
    EXPECT_TRUE(IsEqualGUID(guid, IID_IDirect3DRGBDevice));
    EXPECT_EQ(sSysGetD3dDeviceGuid(0x10, &guid), 0);

    // Every device bit of the driver belongs to a device it recorded.
    const _sysDDCaps *driver = sSysGetCurDDCaps();
    for (uint32_t bit = 1; bit <= 8; bit <<= 1) {
        if (!(driver->deviceOption & bit))
            continue;
        ASSERT_EQ(sSysGetD3dDeviceGuid(bit, &guid), 1);
        bool found = false;
        for (uint32_t i = 0; i < driver->d3dCapsCnt; ++i)
            found |= IsEqualGUID(driver->d3dCaps[i]->guid, guid) != 0;
        EXPECT_TRUE(found) << bit;
    }
}

TEST_F(Survey, ClockAgreesWithTheKernelWithinFivePercent)
{
    const double kernel = _kernelClock();
    if (kernel <= 0)
        GTEST_SKIP() << "the kernel reports no clock";
    const double measured = sysWork.caps.cpuClock;
    std::printf("clock %.2f MHz, kernel %.2f MHz, %s\n", measured * 1e-6, kernel * 1e-6,
                sysWork.caps.cpuInfo.cpuName);
    if (kernel >= 4294967296.0)
        GTEST_SKIP() << "only the low 32 bits of such a clock are kept";
    EXPECT_NEAR(measured / kernel, 1.0, 0.05);
}

TEST_F(Survey, MemoryIsReportedInKilobytes)
{
    uint32_t total = 0, free = 0;
    sSysGetSystemMemory(0, &total, &free);
    EXPECT_GT(total, 44u * 1024);
    EXPECT_LE(free, total);
    uint32_t both = 0, bothFree = 0;
    sSysGetSystemMemory(2, &both, &bothFree);
    EXPECT_GT(both, total);
    uint32_t untouched = 12345, untouchedFree = 678;
    sSysGetSystemMemory(3, &untouched, &untouchedFree);
    EXPECT_EQ(untouched, 12345u);
    EXPECT_EQ(untouchedFree, 678u);
}

TEST_F(Survey, ReleaseFreesEveryRecord)
{
    sSysReleaseCaps();
    EXPECT_EQ(sysWork.caps.ddCapsCnt, 0u);
    EXPECT_EQ(sSysGetCurDDCaps(), nullptr);
    ASSERT_EQ(sSysMakeCaps(), 1); // a second survey works the same
    EXPECT_NE(sSysGetCurDDCaps(), nullptr);
}

} // namespace
