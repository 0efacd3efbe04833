/* simdisk.sys: a kernel-mode driver for Wine's driver host that serves
   simulated physical drives from image files, so that programs opening
   \\.\PHYSICALDRIVEn run against drives with a real geometry and readable
   sectors. Test and demo machinery only.

   Its service key's Parameters hold one REG_SZ value "DriveN" (N = 0..9)
   per drive, a line in the format of simdiskParseDrive, and optionally a
   REG_SZ "Stats" naming a file that receives the drives' counters after
   every request. Drive N appears as \??\PhysicalDriveN; an existing link of
   that name (Wine's own PhysicalDrive0) is replaced.

   Wine (8.x) keeps no file position for handles to devices served by a
   driver: SetFilePointer on them fails with ERROR_NEGATIVE_SEEK, and a
   ReadFile without OVERLAPPED reaches the driver with offset 0. So each open
   keeps its own stream position, and a read at offset 0 continues there
   (simdiskPlanRead). A program that positions its reads with SetFilePointer
   therefore sees that call fail, as it would on any such device. */
#include <ntddk.h>
#include <ntdddisk.h>

#include "simdisk_logic.h"

#define POOL_TAG 0x6b736953u /* "Sisk" */

typedef struct DriveExtension {
    uint32_t number;
    SimDiskDrive drive;
    SimDiskStats stats;
    uint64_t deadlineUs; /* pacing: when the drive's last read may end */
    UNICODE_STRING link;
    WCHAR linkBuffer[32];
} DriveExtension;

typedef struct OpenContext {
    HANDLE image;
    SimDiskOpen open;
} OpenContext;

static PDEVICE_OBJECT devices[SIMDISK_MAX_DRIVES];
static FAST_MUTEX lock; /* counters, deadlines and the stats file */
static WCHAR statsPath[DRIVE_LINE_PATH_SIZE + 8]; /* empty: no stats file */
static LARGE_INTEGER counterFrequency;

static uint64_t nowUs(void) {
    LARGE_INTEGER count = KeQueryPerformanceCounter(NULL);
    return (uint64_t)count.QuadPart / (uint64_t)counterFrequency.QuadPart * 1000000u +
           (uint64_t)count.QuadPart % (uint64_t)counterFrequency.QuadPart * 1000000u /
               (uint64_t)counterFrequency.QuadPart;
}

static void sleepUntilUs(uint64_t deadline) {
    uint64_t now = nowUs();
    if (deadline <= now) return;
    LARGE_INTEGER interval;
    interval.QuadPart = -(LONGLONG)((deadline - now) * 10); /* relative, 100 ns units */
    KeDelayExecutionThread(KernelMode, FALSE, &interval);
}

/* "\??\" + a DOS path, as the kernel's file calls want it. */
static void toNtPath(const char* dosPath, WCHAR* out, size_t outChars) {
    static const WCHAR PREFIX[] = L"\\??\\";
    size_t n = 0;
    for (size_t i = 0; PREFIX[i] && n + 1 < outChars; ++i) out[n++] = PREFIX[i];
    for (size_t i = 0; dosPath[i] && n + 1 < outChars; ++i) out[n++] = (WCHAR)(unsigned char)dosPath[i];
    out[n] = 0;
}

static NTSTATUS openFile(const WCHAR* path, ACCESS_MASK access, ULONG disposition, HANDLE* handle) {
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    return ZwCreateFile(handle, access | SYNCHRONIZE, &attributes, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, disposition,
                        FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0);
}

static NTSTATUS openImage(const SimDiskDrive* drive, HANDLE* image) {
    WCHAR path[DRIVE_LINE_PATH_SIZE + 8];
    toNtPath(drive->sim.image, path, sizeof path / sizeof path[0]);
    return openFile(path, GENERIC_READ, FILE_OPEN, image);
}

/* Rewrites the stats file with one line per drive. Called with the lock. */
static void writeStats(void) {
    char text[SIMDISK_MAX_DRIVES * SIMDISK_STATS_LINE_SIZE];
    size_t length = 0;
    HANDLE file;
    IO_STATUS_BLOCK io;
    if (!statsPath[0]) return;
    for (uint32_t i = 0; i < SIMDISK_MAX_DRIVES; ++i) {
        if (!devices[i]) continue;
        DriveExtension* ext = (DriveExtension*)devices[i]->DeviceExtension;
        length += simdiskFormatStats(text + length, sizeof text - length, ext->number, &ext->stats);
    }
    if (!NT_SUCCESS(openFile(statsPath, GENERIC_WRITE, FILE_OVERWRITE_IF, &file))) return;
    ZwWriteFile(file, NULL, NULL, NULL, &io, text, (ULONG)length, NULL, NULL);
    ZwClose(file);
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* Every open reads the image through a handle of its own, so a drive whose
   image has gone away can no longer be opened. (Wine 8 hands the caller its
   handle without waiting for this request, so there the open succeeds and
   its reads fail, as a drive that is no longer ready.) */
static NTSTATUS NTAPI dispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    DriveExtension* ext = (DriveExtension*)device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    OpenContext* context;
    HANDLE image;
    NTSTATUS status;

    status = openImage(&ext->drive, &image);
    if (!NT_SUCCESS(status)) {
        DbgPrint("simdisk: drive %u: cannot open its image (%08lx)\n", ext->number, (unsigned long)status);
        return complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    }
    context = (OpenContext*)ExAllocatePoolWithTag(NonPagedPool, sizeof *context, POOL_TAG);
    if (!context) {
        ZwClose(image);
        return complete(irp, STATUS_INSUFFICIENT_RESOURCES, 0);
    }
    context->image = image;
    context->open.position = 0;
    context->open.noBuffering = (stack->Parameters.Create.Options & FILE_NO_INTERMEDIATE_BUFFERING) != 0;
    stack->FileObject->FsContext = context;

    ExAcquireFastMutex(&lock);
    ++ext->stats.opens;
    if (context->open.noBuffering) ++ext->stats.unbufferedOpens;
    writeStats();
    ExReleaseFastMutex(&lock);
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    OpenContext* context = stack->FileObject ? (OpenContext*)stack->FileObject->FsContext : NULL;
    (void)device;
    if (context) {
        ZwClose(context->image);
        ExFreePoolWithTag(context, POOL_TAG);
        stack->FileObject->FsContext = NULL;
    }
    return complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI dispatchCleanup(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static void* readBuffer(PIRP irp) {
    if (irp->MdlAddress) return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
    if (irp->AssociatedIrp.SystemBuffer) return irp->AssociatedIrp.SystemBuffer;
    return irp->UserBuffer;
}

static NTSTATUS NTAPI dispatchRead(PDEVICE_OBJECT device, PIRP irp) {
    DriveExtension* ext = (DriveExtension*)device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    OpenContext* context = stack->FileObject ? (OpenContext*)stack->FileObject->FsContext : NULL;
    ULONG length = stack->Parameters.Read.Length;
    SimDiskReadPlan plan;
    uint64_t deadline = 0;
    /* The read's time counts from its arrival: the image read below is the
       host's work, done while the simulated disk reads. */
    const uint64_t arrivedUs = nowUs();
    void* buffer;

    if (!context) return complete(irp, STATUS_DEVICE_NOT_CONNECTED, 0);
    buffer = readBuffer(irp);
    if (!buffer && length > 0) return complete(irp, STATUS_INVALID_USER_BUFFER, 0);

    plan = simdiskPlanRead(&ext->drive, &context->open, (uint64_t)stack->Parameters.Read.ByteOffset.QuadPart, length);
    if (plan.status == SIMDISK_STATUS_SUCCESS && plan.length > 0) {
        IO_STATUS_BLOCK io;
        LARGE_INTEGER at;
        NTSTATUS status;
        at.QuadPart = (LONGLONG)plan.offset;
        status = ZwReadFile(context->image, NULL, NULL, NULL, &io, buffer, plan.length, &at, NULL);
        if (status == STATUS_END_OF_FILE) {
            io.Information = 0;
        } else if (!NT_SUCCESS(status)) {
            plan.status = (uint32_t)status;
            plan.length = 0;
        }
        /* Past the end of a short image the disk reads as zeros. */
        if (plan.status == SIMDISK_STATUS_SUCCESS && io.Information < plan.length) {
            RtlZeroMemory((char*)buffer + io.Information, plan.length - io.Information);
        }
    }
    simdiskFinishRead(&context->open, &plan);

    ExAcquireFastMutex(&lock);
    simdiskCountRead(&ext->stats, &plan);
    if (ext->drive.sim.paced && plan.status == SIMDISK_STATUS_SUCCESS) {
        ext->deadlineUs = paceReadDeadline(&ext->drive.sim, plan.cylinder, plan.length, ext->deadlineUs, arrivedUs);
        deadline = ext->deadlineUs;
    }
    writeStats();
    ExReleaseFastMutex(&lock);

    /* The stats file is written before the wait, so its cost is hidden
       inside the paced time. */
    sleepUntilUs(deadline);
    return complete(irp, (NTSTATUS)plan.status, plan.length);
}

static NTSTATUS NTAPI dispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    DriveExtension* ext = (DriveExtension*)device->DeviceExtension;
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    void* out = irp->AssociatedIrp.SystemBuffer;

    switch (stack->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY:
        if (!out || outLength < SIMDISK_GEOMETRY_SIZE) return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        simdiskFillGeometry(&ext->drive, (uint8_t*)out);
        return complete(irp, STATUS_SUCCESS, SIMDISK_GEOMETRY_SIZE);
    case IOCTL_DISK_GET_LENGTH_INFO:
        if (!out || outLength < sizeof(LONGLONG)) return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        *(LONGLONG*)out = (LONGLONG)simdiskDiskBytes(&ext->drive);
        return complete(irp, STATUS_SUCCESS, sizeof(LONGLONG));
    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

/* A REG_SZ value of the Parameters key as narrow text (ASCII only);
   0 when it is missing or does not fit. */
static int readText(HANDLE key, const WCHAR* valueName, char* out, size_t outSize) {
    UCHAR raw[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 2 * 1024];
    KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)raw;
    UNICODE_STRING name;
    ULONG got = 0;
    RtlInitUnicodeString(&name, valueName);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &name, KeyValuePartialInformation, info, sizeof raw, &got))) return 0;
    if (info->Type != REG_SZ && info->Type != REG_EXPAND_SZ) return 0;
    const WCHAR* text = (const WCHAR*)info->Data;
    size_t chars = info->DataLength / sizeof(WCHAR);
    size_t n = 0;
    for (size_t i = 0; i < chars && text[i]; ++i) {
        if (text[i] > 0x7F || n + 1 >= outSize) return 0;
        out[n++] = (char)text[i];
    }
    out[n] = 0;
    return 1;
}

static HANDLE openParameters(PUNICODE_STRING registryPath) {
    WCHAR path[512];
    static const WCHAR SUFFIX[] = L"\\Parameters";
    size_t n = registryPath->Length / sizeof(WCHAR);
    UNICODE_STRING name;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key = NULL;
    if (n + sizeof SUFFIX / sizeof SUFFIX[0] > sizeof path / sizeof path[0]) return NULL;
    RtlCopyMemory(path, registryPath->Buffer, n * sizeof(WCHAR));
    RtlCopyMemory(path + n, SUFFIX, sizeof SUFFIX);
    RtlInitUnicodeString(&name, path);
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &attributes))) return NULL;
    return key;
}

static void NTAPI driverUnload(PDRIVER_OBJECT driver) {
    (void)driver;
    for (uint32_t i = 0; i < SIMDISK_MAX_DRIVES; ++i) {
        if (!devices[i]) continue;
        DriveExtension* ext = (DriveExtension*)devices[i]->DeviceExtension;
        IoDeleteSymbolicLink(&ext->link);
        IoDeleteDevice(devices[i]);
        devices[i] = NULL;
    }
}

static NTSTATUS addDrive(PDRIVER_OBJECT driver, uint32_t number, const SimDiskDrive* drive) {
    WCHAR deviceName[32] = L"\\Device\\SimDisk0";
    UNICODE_STRING name;
    PDEVICE_OBJECT device;
    DriveExtension* ext;
    NTSTATUS status;

    deviceName[15] = (WCHAR)(L'0' + number);
    RtlInitUnicodeString(&name, deviceName);
    status = IoCreateDevice(driver, sizeof(DriveExtension), &name, FILE_DEVICE_DISK, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    device->Flags |= DO_DIRECT_IO;
    ext = (DriveExtension*)device->DeviceExtension;
    RtlZeroMemory(ext, sizeof *ext);
    ext->number = number;
    ext->drive = *drive;

    static const WCHAR LINK[] = L"\\??\\PhysicalDrive0";
    RtlCopyMemory(ext->linkBuffer, LINK, sizeof LINK);
    ext->linkBuffer[sizeof LINK / sizeof LINK[0] - 2] = (WCHAR)(L'0' + number);
    RtlInitUnicodeString(&ext->link, ext->linkBuffer);
    /* Wine's own PhysicalDrive0 (a stand-in that answers the geometry request
       but fails every read) would otherwise shadow drive 0. */
    IoDeleteSymbolicLink(&ext->link);
    status = IoCreateSymbolicLink(&ext->link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    devices[number] = device;
    return STATUS_SUCCESS;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    char line[1024];
    char reason[SIMDISK_REASON_SIZE];
    WCHAR valueName[8] = L"Drive0";
    SimDiskDrive drive;
    uint32_t served = 0;
    HANDLE key;

    KeQueryPerformanceCounter(&counterFrequency);
    ExInitializeFastMutex(&lock);
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchCleanup;
    driver->MajorFunction[IRP_MJ_READ] = dispatchRead;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchDeviceControl;
    driver->DriverUnload = driverUnload;

    key = openParameters(registryPath);
    if (!key) {
        DbgPrint("simdisk: no Parameters key\n");
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    if (readText(key, L"Stats", line, sizeof line)) {
        toNtPath(line, statsPath, sizeof statsPath / sizeof statsPath[0]);
    }
    for (uint32_t n = 0; n < SIMDISK_MAX_DRIVES; ++n) {
        valueName[5] = (WCHAR)(L'0' + n);
        if (!readText(key, valueName, line, sizeof line)) continue;
        if (!simdiskParseDrive(line, &drive, reason, sizeof reason)) {
            DbgPrint("simdisk: Drive%u skipped: %s\n", n, reason);
            continue;
        }
        /* A drive without its image is left out, so discovery stops there. */
        HANDLE image;
        if (!NT_SUCCESS(openImage(&drive, &image))) {
            DbgPrint("simdisk: Drive%u skipped: cannot open %s\n", n, drive.sim.image);
            continue;
        }
        ZwClose(image);
        NTSTATUS status = addDrive(driver, n, &drive);
        if (!NT_SUCCESS(status)) {
            DbgPrint("simdisk: Drive%u: no device (%08lx)\n", n, (unsigned long)status);
            continue;
        }
        ++served;
    }
    ZwClose(key);
    if (served == 0) {
        DbgPrint("simdisk: no drive to serve\n");
        return STATUS_NO_SUCH_DEVICE;
    }
    ExAcquireFastMutex(&lock);
    writeStats();
    ExReleaseFastMutex(&lock);
    return STATUS_SUCCESS;
}
