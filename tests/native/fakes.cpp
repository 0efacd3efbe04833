#include "fakes.h"

#include <string.h>

#include <algorithm>

FakeBoxes fakeBoxes;
FakeDevice fakeDevice;

std::vector<std::string> FakeBoxes::texts() const {
    std::vector<std::string> out;
    for (const BoxShown& b : shown) out.push_back(b.text);
    return out;
}

int32_t fakeShowBox(void* owner, const char* text, uint32_t style) {
    fakeBoxes.shown.push_back(BoxShown{owner, text, style});
    if (fakeBoxes.log) fakeBoxes.log->push_back("box " + std::string(text) + " " + std::to_string(style));
    if (fakeBoxes.answers.empty()) return BOX_ANSWER_YES;
    const int32_t answer = fakeBoxes.answers.front();
    fakeBoxes.answers.pop_front();
    return answer;
}

size_t FakeDevice::count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }

namespace {

void note(const std::string& event) {
    fakeDevice.events.push_back(event);
    if (fakeDevice.log) fakeDevice.log->push_back(event);
}

// A handle is 100 + the drive's index.
const FakeDrive* driveOf(intptr_t handle) {
    const size_t index = (size_t)(handle - 100);
    return index < fakeDevice.drives.size() ? &fakeDevice.drives[index] : nullptr;
}

std::string checked(intptr_t handle, const void* buffer) {
    return driveOf(handle) && (!fakeDevice.buffer || buffer == fakeDevice.buffer) ? "" : " ?";
}

intptr_t deviceOpen(const char* name, bool noBuffering) {
    note("open " + std::string(name) + (noBuffering ? " nobuf" : ""));
    const size_t index = (unsigned char)name[strlen(name) - 1] - '0';
    if (index >= fakeDevice.drives.size() || !fakeDevice.drives[index].opens) {
        fakeDevice.lastError = index < fakeDevice.drives.size() ? fakeDevice.drives[index].openError : 2;
        return HANDLE_INVALID;
    }
    ++fakeDevice.openHandles;
    fakeDevice.position = 0;
    return (intptr_t)(100 + index);
}

uint32_t deviceLastError() { return fakeDevice.lastError; }

bool deviceGeometry(intptr_t handle, uint8_t reply[DISK_GEOMETRY_SIZE]) {
    const FakeDrive* d = driveOf(handle);
    if (!d) return false;
    memcpy(reply, d->geometry, DISK_GEOMETRY_SIZE);
    return d->answersGeometry;
}

bool devicePosition(intptr_t, uint64_t offset) {
    note("position " + std::to_string(offset));
    fakeDevice.lastError = fakeDevice.positionError;
    if (fakeDevice.positionError) return false;
    fakeDevice.position = offset;
    return true;
}

bool readHere(intptr_t handle, void* buffer, uint32_t bytes) {
    uint32_t error = fakeDevice.readError;
    if (error == 0 && fakeDevice.onRead && !fakeDevice.onRead(fakeDevice.position, bytes, &error) && error == 0)
        error = 1;
    if (error != 0) {
        fakeDevice.lastError = error;
        return false;
    }
    const FakeDrive* d = driveOf(handle);
    if (d && !d->image.empty()) {
        if (fakeDevice.position + bytes > d->image.size()) {
            fakeDevice.lastError = 38;  // the end of the file
            return false;
        }
        memcpy(buffer, d->image.data() + fakeDevice.position, bytes);
    }
    fakeDevice.position += bytes;
    return true;
}

bool deviceRead(intptr_t handle, void* buffer, uint32_t bytes) {
    note("read " + std::to_string(bytes) + checked(handle, buffer));
    return readHere(handle, buffer, bytes);
}

bool deviceReadAt(intptr_t handle, void* buffer, uint32_t bytes, uint64_t offset) {
    note("read " + std::to_string(bytes) + " at " + std::to_string(offset) +
                                checked(handle, buffer));
    fakeDevice.position = offset;
    return readHere(handle, buffer, bytes);
}

void deviceClose(intptr_t handle) {
    note(driveOf(handle) ? "close" : "close ?");
    --fakeDevice.openHandles;
}

void deviceExit(int code) { fakeDevice.exitCode = code; }

}  // namespace

const DeviceOps FAKE_DEVICE = {
    .open = deviceOpen,
    .lastError = deviceLastError,
    .getGeometry = deviceGeometry,
    .setPosition = devicePosition,
    .read = deviceRead,
    .readAt = deviceReadAt,
    .close = deviceClose,
    .showBox = fakeShowBox,
    .exitProcess = deviceExit,
};

FakeDrive answeringDrive(uint64_t cylinders, uint32_t heads, uint32_t sectors, uint32_t bytes) {
    FakeDrive d;
    memcpy(d.geometry, &cylinders, 8);
    const uint32_t media = 12;  // a fixed disk
    memcpy(d.geometry + 8, &media, 4);
    memcpy(d.geometry + 12, &heads, 4);
    memcpy(d.geometry + 16, &sectors, 4);
    memcpy(d.geometry + 20, &bytes, 4);
    return d;
}

void resetFakes() {
    fakeBoxes = FakeBoxes();
    fakeDevice = FakeDevice();
}
