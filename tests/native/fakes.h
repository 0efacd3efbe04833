// The fakes the native tests share: the message box and the NT family's
// device. Each test resets them with resetFakes() in its SetUp.
#pragma once
#include <stdint.h>

#include <deque>
#include <string>
#include <vector>

#include "drive/disk_nt.h"

struct BoxShown {
    void* owner;
    std::string text;
    uint32_t style;
};

// Every box shown, in order; each answers with the next of `answers`, or
// with Yes once they are used up.
struct FakeBoxes {
    std::vector<BoxShown> shown;
    std::deque<int32_t> answers;
    // When set, each box is also written there as "box TEXT STYLE", for
    // tests that follow boxes among other events.
    std::vector<std::string>* log = nullptr;
    std::vector<std::string> texts() const;
};
extern FakeBoxes fakeBoxes;
int32_t fakeShowBox(void* owner, const char* text, uint32_t style);

// One drive behind a device name, by the digit it ends with.
struct FakeDrive {
    bool opens = true;
    uint32_t openError = 2;
    bool answersGeometry = true;
    uint8_t geometry[DISK_GEOMETRY_SIZE] = {};
    // The drive's bytes, read where the position is; empty: reads only
    // succeed (or fail as below) and deliver nothing.
    std::vector<uint8_t> image;
};

// A device whose handles keep a position, as a synchronous handle does: a
// read goes on from it, and only a successful one moves it.
struct FakeDevice {
    std::vector<FakeDrive> drives;
    // "open NAME[ nobuf]", "position OFFSET", "read BYTES[ at OFFSET]",
    // "close"; a handle or buffer not the expected one adds " ?".
    std::vector<std::string> events;
    // When set, each event is also written there.
    std::vector<std::string>* log = nullptr;
    // Decides each read at (offset, bytes) before it is done: false fails it
    // with *error. Unset: reads fail only with readError.
    bool (*onRead)(uint64_t offset, uint32_t bytes, uint32_t* error) = nullptr;
    uint32_t readError = 0;      // non-zero: every read fails with it
    uint32_t positionError = 0;  // non-zero: every positioning fails with it
    const void* buffer = nullptr;  // the buffer reads must go to, if set
    uint64_t position = 0;
    uint32_t lastError = 0;
    int openHandles = 0;
    int exitCode = -1;
    size_t count(const std::string& event) const;
};
extern FakeDevice fakeDevice;
extern const DeviceOps FAKE_DEVICE;

// A geometry reply as the device gives it.
FakeDrive answeringDrive(uint64_t cylinders, uint32_t heads, uint32_t sectors, uint32_t bytes);

void resetFakes();
