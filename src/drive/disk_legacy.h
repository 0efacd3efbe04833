// The legacy family's disk access, Windows 95, 98 and Me: every drive by BIOS
// drive number through the sector-service library (sector_service.h).
#pragma once
#include <stdint.h>

#include "app/app_state.h"

// The 28-byte drive parameter block into a DriveGeometry.
void copyDriveParameters(const uint8_t block[DRIVE_PARAMETERS_SIZE], DriveGeometry* out);

// Discovery through the sector service's parameter call.
uint32_t enumerateDrivesLegacyWith(GetDriveParameters32Fn getDriveParameters, DriveGeometry* table);
