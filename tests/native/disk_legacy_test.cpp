// The legacy family's discovery through the sector service's parameter call.
#include <gtest/gtest.h>
#include <string.h>

#include "drive/disk_legacy.h"

namespace {

// The parameter block at its fixed offsets.
uint32_t legacyDrives = 0;
uint32_t legacyFailure = 0x100;
uint32_t SECTOR_SERVICE_CALL fakeParameters(uint32_t driveNumber, void* block) {
    uint32_t index = driveNumber - 0x80;
    if (index >= legacyDrives) return legacyFailure;
    uint8_t* b = (uint8_t*)block;
    memset(b, 0xEE, DRIVE_PARAMETERS_SIZE);  // the caller must not rely on other bytes
    uint32_t c = 100 + index, h = 16, s = 63;
    uint16_t bps = 512;
    memcpy(b + 4, &c, 4);
    memcpy(b + 8, &h, 4);
    memcpy(b + 12, &s, 4);
    memcpy(b + 24, &bps, 2);
    return 0x7F;  // any low-byte value is success
}

TEST(LegacyDiscovery, FillsLeadingEntriesUntilTheFirstFailure) {
    DriveGeometry table[MAX_DRIVES] = {};
    legacyDrives = 3;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 3u);
    EXPECT_EQ(table[2].cylinders, 102u);
    EXPECT_EQ(table[2].heads, 16u);
    EXPECT_EQ(table[2].sectorsPerTrack, 63u);
    EXPECT_EQ(table[2].bytesPerSector, 512u);
    legacyFailure = 0x80000000;
    legacyDrives = 0;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 0u);
    legacyDrives = 30;
    EXPECT_EQ(enumerateDrivesLegacyWith(fakeParameters, table), 20u);
}

}  // namespace
