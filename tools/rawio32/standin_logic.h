// Decisions of the stand-in sector service (Rawio32.dll): configuration
// parsing, address checks, result words, the parameter block and the pacing
// arithmetic. No windows.h here; rawio32_win32.cpp does the file I/O, the
// clock and the debug output.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "drive/sector_service.h"
#include "pacing/drive_line.h"

enum {
    STANDIN_MAX_DRIVES = 16,
    STANDIN_MAX_FAULTS = 16,
    STANDIN_PATH_SIZE = 260,
    STANDIN_MESSAGE_SIZE = 400,
    STANDIN_MAX_LINE = 1024,
};

// Result words of the read call (see sector_service.h for the mask).
#define STANDIN_WORD_BAD_ADDRESS 0x0400u  // outside the geometry, or unknown drive
#define STANDIN_WORD_READ_FAILED 0x2000u  // beyond the end of the image, or I/O failed
#define STANDIN_WORD_OPEN_FAILED SECTOR_RESULT_OPEN_FAILED
// Result of the parameter call for an unknown drive or a `noparams` drive.
#define STANDIN_PARAMS_FAILED 0x0100u

#define STANDIN_CONFIG_NAME "Rawio32.cfg"
#define STANDIN_DEBUG_PREFIX "Rawio32: "

struct StandinFault {
    uint32_t cylinder;
    uint32_t head;
    uint32_t code;  // 1..255
};

// A "drive" line: the drive line of pacing/drive_line.h (its image resolved
// against the DLL's folder), whose own option is noparams, and the "fault"
// lines that follow it.
struct StandinDrive {
    SimulatedDrive sim;
    bool noParams;
    uint32_t faultCount;
    StandinFault faults[STANDIN_MAX_FAULTS];
};

struct StandinConfig {
    uint32_t driveCount;
    StandinDrive drives[STANDIN_MAX_DRIVES];
    bool hasStats;
    char statsPath[STANDIN_PATH_SIZE];
    // Set after a drive line was rejected, so its fault lines are not pinned
    // on the drive before it.
    bool lastDriveRejected;
};

// Receives one diagnostic (without the debug prefix or a line end).
typedef void (*StandinReport)(void* context, const char* message);

// A relative path is taken relative to folder; "X:...", "\..." and "/..."
// are absolute. False when the result does not fit.
bool resolveConfigPath(const char* folder, const char* path, char* out, size_t outSize);

// Applies one line (without its line end) to cfg. Blank and comment lines
// are accepted and change nothing. On rejection cfg is unchanged and reason
// says why.
bool applyConfigLine(StandinConfig* cfg, const char* folder, const char* line, size_t length, char* reason,
                     size_t reasonSize);

// Clears cfg and applies every line of text; each rejected line is reported
// as "Rawio32.cfg line N: reason" and skipped.
void parseConfigText(StandinConfig* cfg, const char* folder, const char* text, size_t length,
                     StandinReport report, void* context);

// The drive served under a BIOS drive number, or null.
const StandinDrive* findDrive(const StandinConfig& cfg, uint32_t driveNumber);

// Where a read goes in its image, once the checks have passed.
struct StandinReadPlan {
    uint32_t driveIndex;
    uint64_t offset;
    uint32_t bytes;
};

// The checks that need no file: unknown drive, address outside the geometry,
// injected fault. Returns 0 and fills plan when the read may go ahead,
// otherwise the failure word with a one-line explanation in message.
uint32_t planRead(const StandinConfig& cfg, uint32_t driveNumber, uint32_t cylinder, uint32_t head, uint32_t sector,
                  uint32_t count, StandinReadPlan* plan, char* message, size_t messageSize);

// True when the whole read lies inside an image of imageSize bytes.
bool readFitsImage(uint64_t offset, uint32_t bytes, uint64_t imageSize);

// Fills the 28-byte INT 13h function 48h block; returns the call's result word
// (0, or STANDIN_PARAMS_FAILED with message filled).
uint32_t fillDriveParameters(const StandinConfig& cfg, uint32_t driveNumber, uint8_t block[DRIVE_PARAMETERS_SIZE],
                             char* message, size_t messageSize);

// A pass over a drive: a read of its whole first track (cylinder 0, head 0,
// every sector) begins one, and a read of its whole last track ends it. The
// stats file gets one line per pass, at its end, so counting costs a read no
// more than two clock readings.
// True for a read that reaches the end of its cylinder's last track (the
// read after which the program takes the cylinder's closing tick).
bool readEndsCylinder(const StandinDrive& drive, uint32_t head, uint32_t sector, uint32_t count);

struct StandinPass {
    bool open;
    uint32_t number;
    uint64_t calls;      // read calls of the drive since the pass began
    uint64_t insideUs;   // time spent inside them, pacing included
    uint64_t firstUs;    // entry of the pass's first read
    uint64_t lastUs;     // exit of its latest read
};

// Counts one read call of drive (entered at entryUs, returned at exitUs);
// returns true when it ended a pass, whose figures *pass then holds.
bool countPassRead(StandinPass* pass, const StandinDrive& drive, uint32_t cylinder, uint32_t head, uint32_t sector,
                   uint32_t count, uint64_t entryUs, uint64_t exitUs);

// "drive=0x80 pass=N calls=C inside_us=I span_us=S\n"; returns its length.
size_t formatPassLine(char* out, size_t outSize, uint32_t driveNumber, const StandinPass& pass);
