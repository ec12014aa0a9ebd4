/* Simulated touch-panel controller as a Windows kernel-mode driver.
 *
 * Exposes \Device\PNLDRV (and \DosDevices\PNLDRV, i.e. \\.\PNLDRV) and answers the
 * controller's device-control request 0x70000001 with the controller model of
 * panel_model.c. The model is scripted, and every request is recorded, through the
 * driver's own service key (the RegistryPath passed to DriverEntry), so that a test can
 * change the controller's behaviour with `reg add` between two steps of a run:
 *
 *   REG_DWORD AckCode           reply byte 1 of an acknowledgement (default 0x90)
 *   REG_DWORD RefuseCommand     command code to refuse, 0x100 = all, absent/-1 = none
 *   REG_DWORD RefuseOccurrence  0 = every occurrence, N = only the Nth (1-based)
 *   REG_DWORD RefuseCode        reply byte 3 of a refusal (default 1)
 *   REG_DWORD DiagErrorCode     >0: DIAG answers with byte 2 = 1 and byte 3 = this code
 *   REG_DWORD FailIoctl         !=0: the call fails (STATUS_UNSUCCESSFUL), reply still written
 *   REG_DWORD ReplyMode         0 normal, 1 cut short, 2 garbage, 3 nothing written
 *   REG_DWORD CutCommand        ReplyMode 1: command code whose replies are cut, 0x100 = all
 *   REG_DWORD CutOccurrence     ReplyMode 1: 0 = every occurrence, N = only the Nth
 *   REG_DWORD CutAfter          ReplyMode 1: bytes of the reply written (default 2)
 *   REG_SZ    LogPath           NT path of the request log, e.g. \??\Z:\tmp\run\requests.log
 *
 * The script is read again at every request. State that must be predictable across
 * driver loads lives in the registry too, because Wine unloads the driver with its
 * session and loads it again at the next session start:
 *
 *   REG_DWORD CountXX           requests seen so far with command code XX (hex, e.g.
 *                               Count86 for CAL-POINT); "refuse only the Nth" counts
 *                               against it. Delete the values to start counting afresh.
 *   REG_DWORD LogSequence       sequence number of the last logged request.
 *
 * The device is absent while the service is stopped (`net stop PNLDRV`): opening it then
 * fails with ERROR_FILE_NOT_FOUND. (Failing IRP_MJ_CREATE would not do: Wine 8 opens the
 * device whatever the driver answers to it.)
 *
 * Meant for test machines only, and safe to load there: only administrators and SYSTEM may
 * open the device, a reply is written only into memory the caller may write, and the log
 * file is opened with the caller's rights, so a link planted where the log is written cannot
 * make the driver write somewhere its caller could not.
 *
 * Log line, one per device-control request, fields separated by one TAB, ending in LF:
 *   sequence  local time (YYYY-MM-DD hh:mm:ss.mmm)  request hex ("89 00")
 *   reply hex as written into the caller's buffer  NTSTATUS (8 hex digits)
 */
#include <ntifs.h>

#include "controller/panel_model.h"

#define PNL_DEVICE_TYPE 0x7000
#define PNL_IOCTL_EXCHANGE 0x70000001u /* type 0x7000, function 0, METHOD_IN_DIRECT */
#define PNL_MAX_LOGGED_REQUEST 64
#define PNL_MAX_PATH_CHARS 512
#define PNL_POOL_TAG 0x6C6E6150u /* "Panl" */
#ifndef OBJ_FORCE_ACCESS_CHECK
#define OBJ_FORCE_ACCESS_CHECK 0x00000400L
#endif

static const WCHAR kDeviceName[] = L"\\Device\\PNLDRV";
static const WCHAR kLinkName[] = L"\\DosDevices\\PNLDRV";

static UNICODE_STRING g_serviceKey; /* copy of the RegistryPath */
static KMUTEX g_lock;               /* one request at a time through the model and the log */
static PanelModel g_model;

/* Scratch space used only under g_lock (kept off the small kernel stack). */
static struct {
    union {
        KEY_VALUE_PARTIAL_INFORMATION info;
        UCHAR raw[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + PNL_MAX_PATH_CHARS * sizeof(WCHAR)];
    } value;
    WCHAR logPath[PNL_MAX_PATH_CHARS + 1];
    char line[64 + 3 * PNL_MAX_LOGGED_REQUEST + 3 * PM_REPLY_SIZE];
} g_scratch;

/* ---- registry ---------------------------------------------------------------------- */

static HANDLE open_service_key(void) {
    OBJECT_ATTRIBUTES attributes;
    HANDLE key = NULL;
    InitializeObjectAttributes(&attributes, &g_serviceKey, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ | KEY_WRITE, &attributes)))
        return NULL;
    return key;
}

/* Reads a REG_DWORD; returns fallback when the value is missing or of another type. */
static ULONG read_dword(HANDLE key, PCWSTR name, ULONG fallback) {
    UNICODE_STRING valueName;
    ULONG size = 0;
    KEY_VALUE_PARTIAL_INFORMATION* info = &g_scratch.value.info;
    if (!key)
        return fallback;
    RtlInitUnicodeString(&valueName, name);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info,
                                    sizeof g_scratch.value, &size)))
        return fallback;
    if (info->Type != REG_DWORD || info->DataLength != sizeof(ULONG))
        return fallback;
    return *(const ULONG*)info->Data;
}

static void write_dword(HANDLE key, PCWSTR name, ULONG value) {
    UNICODE_STRING valueName;
    if (!key)
        return;
    RtlInitUnicodeString(&valueName, name);
    ZwSetValueKey(key, &valueName, 0, REG_DWORD, &value, sizeof value);
}

/* Reads the REG_SZ LogPath into g_scratch.logPath; returns 0 when there is none. */
static int read_log_path(HANDLE key) {
    UNICODE_STRING valueName;
    ULONG size = 0, chars, i;
    KEY_VALUE_PARTIAL_INFORMATION* info = &g_scratch.value.info;
    const WCHAR* text;
    if (!key)
        return 0;
    RtlInitUnicodeString(&valueName, L"LogPath");
    if (!NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info,
                                    sizeof g_scratch.value, &size)))
        return 0;
    if (info->Type != REG_SZ && info->Type != REG_EXPAND_SZ)
        return 0;
    text = (const WCHAR*)info->Data;
    chars = info->DataLength / sizeof(WCHAR);
    for (i = 0; i < chars && i < PNL_MAX_PATH_CHARS && text[i]; ++i)
        g_scratch.logPath[i] = text[i];
    g_scratch.logPath[i] = 0;
    return i > 0;
}

/* "CountXX" for a command code. */
static void counter_name(WCHAR name[8], unsigned code) {
    static const WCHAR digits[] = L"0123456789ABCDEF";
    name[0] = L'C';
    name[1] = L'o';
    name[2] = L'u';
    name[3] = L'n';
    name[4] = L't';
    name[5] = digits[(code >> 4) & 15];
    name[6] = digits[code & 15];
    name[7] = 0;
}

static void load_script(HANDLE key, PanelScript* script) {
    pm_default_script(script);
    script->ackCode = (unsigned char)read_dword(key, L"AckCode", script->ackCode);
    script->refuseCommand = (int)read_dword(key, L"RefuseCommand", (ULONG)script->refuseCommand);
    script->refuseOccurrence =
        (int)read_dword(key, L"RefuseOccurrence", (ULONG)script->refuseOccurrence);
    script->refuseCode = (unsigned char)read_dword(key, L"RefuseCode", script->refuseCode);
    script->diagErrorCode = (int)read_dword(key, L"DiagErrorCode", (ULONG)script->diagErrorCode);
    script->failIoctl = (int)read_dword(key, L"FailIoctl", (ULONG)script->failIoctl);
    script->replyMode = (int)read_dword(key, L"ReplyMode", (ULONG)script->replyMode);
    script->cutCommand = (int)read_dword(key, L"CutCommand", (ULONG)script->cutCommand);
    script->cutOccurrence = (int)read_dword(key, L"CutOccurrence", (ULONG)script->cutOccurrence);
    script->cutAfter = read_dword(key, L"CutAfter", script->cutAfter);
}

/* ---- request log ------------------------------------------------------------------- */

/* Decimal, zero-padded to at least width digits. */
static unsigned put_number(char* out, ULONG value, unsigned width) {
    char digits[10];
    unsigned count = 0, n = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value);
    while (width > count) {
        out[n++] = '0';
        --width;
    }
    while (count)
        out[n++] = digits[--count];
    return n;
}

static unsigned put_hex32(char* out, ULONG value) {
    static const char digits[] = "0123456789ABCDEF";
    unsigned i;
    for (i = 0; i < 8; ++i)
        out[i] = digits[(value >> (28 - 4 * i)) & 15];
    return 8;
}

static unsigned put_time(char* out) {
    LARGE_INTEGER system, local;
    TIME_FIELDS t;
    unsigned n = 0;
    KeQuerySystemTime(&system);
    ExSystemTimeToLocalTime(&system, &local);
    RtlTimeToTimeFields(&local, &t);
    n += put_number(out + n, (ULONG)t.Year, 4);
    out[n++] = '-';
    n += put_number(out + n, (ULONG)t.Month, 2);
    out[n++] = '-';
    n += put_number(out + n, (ULONG)t.Day, 2);
    out[n++] = ' ';
    n += put_number(out + n, (ULONG)t.Hour, 2);
    out[n++] = ':';
    n += put_number(out + n, (ULONG)t.Minute, 2);
    out[n++] = ':';
    n += put_number(out + n, (ULONG)t.Second, 2);
    out[n++] = '.';
    n += put_number(out + n, (ULONG)t.Milliseconds, 3);
    return n;
}

static void append_log(HANDLE key, const UCHAR* request, ULONG requestLength, const UCHAR* reply,
                       ULONG replyLength, NTSTATUS status) {
    UNICODE_STRING path;
    OBJECT_ATTRIBUTES attributes;
    IO_STATUS_BLOCK io;
    LARGE_INTEGER endOfFile;
    HANDLE file;
    ULONG sequence;
    char* line = g_scratch.line;
    unsigned n = 0;

    if (!read_log_path(key))
        return;
    sequence = read_dword(key, L"LogSequence", 0) + 1;
    write_dword(key, L"LogSequence", sequence);

    if (requestLength > PNL_MAX_LOGGED_REQUEST)
        requestLength = PNL_MAX_LOGGED_REQUEST;
    n += put_number(line + n, sequence, 1);
    line[n++] = '\t';
    n += put_time(line + n);
    line[n++] = '\t';
    n += pm_format_hex(request, requestLength, line + n);
    line[n++] = '\t';
    n += pm_format_hex(reply, replyLength, line + n);
    line[n++] = '\t';
    n += put_hex32(line + n, (ULONG)status);
    line[n++] = '\n';

    RtlInitUnicodeString(&path, g_scratch.logPath);
    /* The path is opened with the rights of the thread that sent the request, not the
     * kernel's, so that links cannot lead the log where that caller may not write. */
    InitializeObjectAttributes(&attributes, &path,
                               OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE | OBJ_FORCE_ACCESS_CHECK,
                               NULL, NULL);
    if (!NT_SUCCESS(ZwCreateFile(&file, FILE_APPEND_DATA | SYNCHRONIZE, &attributes, &io, NULL,
                                 FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 FILE_OPEN_IF,
                                 FILE_SYNCHRONOUS_IO_NONALERT | FILE_NON_DIRECTORY_FILE, NULL, 0)))
        return;
    endOfFile.HighPart = -1;
    endOfFile.LowPart = FILE_WRITE_TO_END_OF_FILE;
    ZwWriteFile(file, NULL, NULL, NULL, &io, line, n, &endOfFile, NULL);
    ZwClose(file);
}

/* ---- dispatch ---------------------------------------------------------------------- */

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI dispatch_open_close(PDEVICE_OBJECT device, PIRP irp) {
    UNREFERENCED_PARAMETER(device);
    return complete(irp, STATUS_SUCCESS, 0);
}

/* What ZwQueryVirtualMemory tells of a range of pages (MemoryBasicInformation). */
typedef struct {
    PVOID base;
    PVOID allocationBase;
    ULONG allocationProtect;
    SIZE_T size;
    ULONG state;
    ULONG protect;
    ULONG type;
} PnlMemoryInfo;

NTSYSAPI NTSTATUS NTAPI ZwQueryVirtualMemory(HANDLE process, PVOID address, int infoClass,
                                             PVOID info, SIZE_T length, PSIZE_T returned);

/* Whether the current process may write every byte of [start, start + length) and owns the
 * pages alone: committed, read-write, private (not a view that others may share). */
static int privately_writable(const UCHAR* start, ULONG length) {
    const UCHAR* at = start;
    while (at < start + length) {
        PnlMemoryInfo info;
        SIZE_T returned = 0;
        if (!NT_SUCCESS(ZwQueryVirtualMemory(NtCurrentProcess(), (PVOID)at, 0, &info, sizeof info,
                                             &returned)))
            return 0;
        if (info.state != MEM_COMMIT || info.type != MEM_PRIVATE ||
            (info.protect != PAGE_READWRITE && info.protect != PAGE_EXECUTE_READWRITE))
            return 0;
        at = (const UCHAR*)info.base + info.size;
    }
    return 1;
}

/* The reply buffer, where this request may write it; NULL when it may not.
 *
 * The control code is METHOD_IN_DIRECT, so Windows locked the caller's reply buffer having
 * checked only that the caller can read it. Writing into it through that lock could change
 * memory the caller may only read: a read-only view of a file, or a page still shared
 * copy-on-write with other processes. So a caller in user mode is answered only when its
 * buffer lies in private read-write pages of its own. The pages were locked before the
 * check, but private pages belong to this process alone, so a change of protection since
 * then cannot make the locked pages anyone else's. (This runs in the caller's context: the
 * device has no driver above it.) */
static UCHAR* writable_reply(PIRP irp, ULONG length) {
    if (irp->RequestorMode != KernelMode &&
        (MmGetMdlByteCount(irp->MdlAddress) < length ||
         !privately_writable(MmGetMdlVirtualAddress(irp->MdlAddress), length)))
        return NULL;
    return MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
}

/* One controller exchange under g_lock; returns the status and the count written. */
static NTSTATUS exchange(PIRP irp, PIO_STACK_LOCATION stack, ULONG_PTR* written) {
    static const UCHAR kNothing[1] = {0};
    ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    const UCHAR* request = irp->AssociatedIrp.SystemBuffer;
    UCHAR* reply = NULL;
    unsigned replyLength = 0;
    NTSTATUS status;
    HANDLE key = open_service_key();

    if (!request) {
        request = kNothing;
        inLength = 0;
    }
    if (stack->Parameters.DeviceIoControl.IoControlCode != PNL_IOCTL_EXCHANGE) {
        status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (outLength < PM_REPLY_SIZE) {
        status = STATUS_BUFFER_TOO_SMALL;
    } else if (!irp->MdlAddress) {
        status = STATUS_INVALID_PARAMETER;
    } else if (!(reply = writable_reply(irp, outLength))) {
        status = STATUS_ACCESS_VIOLATION;
    } else {
        unsigned code = inLength ? request[0] : 0;
        WCHAR counter[8];
        int ok;
        counter_name(counter, code);
        load_script(key, &g_model.script);
        g_model.occurrences[code] = read_dword(key, counter, 0);
        ok = pm_exchange(&g_model, request, inLength, reply, PM_REPLY_SIZE, &replyLength);
        if (inLength)
            write_dword(key, counter, g_model.occurrences[code]);
        status = ok ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    }
    append_log(key, request, inLength, reply ? reply : kNothing, replyLength, status);
    if (key)
        ZwClose(key);
    *written = replyLength;
    return status;
}

static NTSTATUS NTAPI dispatch_control(PDEVICE_OBJECT device, PIRP irp) {
    ULONG_PTR written = 0;
    NTSTATUS status;
    UNREFERENCED_PARAMETER(device);
    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
    status = exchange(irp, IoGetCurrentIrpStackLocation(irp), &written);
    KeReleaseMutex(&g_lock, FALSE);
    return complete(irp, status, written);
}

/* ---- load and unload --------------------------------------------------------------- */

/* A SID of the NT authority with one or two sub-authorities; fits a SID's fixed part. */
typedef struct {
    UCHAR revision, subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    ULONG subAuthority[2];
} PnlSid;

static const PnlSid kLocalSystem = {1, 1, {{0, 0, 0, 0, 0, 5}}, {18, 0}};      /* S-1-5-18 */
static const PnlSid kAdministrators = {1, 2, {{0, 0, 0, 0, 0, 5}}, {32, 544}}; /* S-1-5-32-544 */

/* Gives the device a DACL that lets only SYSTEM and the administrators in, whatever the
 * default for new devices is on the machine. IoCreateDeviceSecure would do this, but it lives
 * in a static library of the driver kit rather than in the kernel. The rights are spelled out
 * (FILE_ALL_ACCESS) rather than generic, which an ACE set this way need not have mapped. */
static NTSTATUS restrict_device(PDEVICE_OBJECT device) {
    static UCHAR aclSpace[sizeof(ACL) + 2 * (sizeof(ACCESS_ALLOWED_ACE) + sizeof(PnlSid))];
    SECURITY_DESCRIPTOR descriptor;
    ACL* acl = (ACL*)aclSpace;
    HANDLE handle = NULL;
    NTSTATUS status = RtlCreateAcl(acl, sizeof aclSpace, ACL_REVISION);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)&kLocalSystem);
    if (NT_SUCCESS(status))
        status = RtlAddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, (PSID)&kAdministrators);
    if (NT_SUCCESS(status))
        status = RtlCreateSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    if (NT_SUCCESS(status))
        status = RtlSetDaclSecurityDescriptor(&descriptor, TRUE, acl, FALSE);
    if (NT_SUCCESS(status))
        status = ObOpenObjectByPointer(device, OBJ_KERNEL_HANDLE, NULL, WRITE_DAC, NULL, KernelMode,
                                       &handle);
    if (NT_SUCCESS(status)) {
        status = ZwSetSecurityObject(handle, DACL_SECURITY_INFORMATION, &descriptor);
        ZwClose(handle);
    }
    return status;
}

static VOID NTAPI driver_unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
    if (g_serviceKey.Buffer)
        ExFreePoolWithTag(g_serviceKey.Buffer, PNL_POOL_TAG);
    g_serviceKey.Buffer = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING deviceName, link;
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status;

    pm_init(&g_model);
    KeInitializeMutex(&g_lock, 0);

    g_serviceKey.Length = 0;
    g_serviceKey.MaximumLength = (USHORT)(registryPath->Length + sizeof(WCHAR));
    g_serviceKey.Buffer =
        ExAllocatePoolWithTag(NonPagedPool, g_serviceKey.MaximumLength, PNL_POOL_TAG);
    if (!g_serviceKey.Buffer)
        return STATUS_INSUFFICIENT_RESOURCES;
    RtlCopyUnicodeString(&g_serviceKey, registryPath);

    RtlInitUnicodeString(&deviceName, kDeviceName);
    /* FILE_DEVICE_SECURE_OPEN: the DACL holds for names below the device's too. */
    status = IoCreateDevice(driver, 0, &deviceName, PNL_DEVICE_TYPE, FILE_DEVICE_SECURE_OPEN, FALSE,
                            &device);
    if (NT_SUCCESS(status))
        status = restrict_device(device);
    if (!NT_SUCCESS(status)) {
        driver_unload(driver);
        return status;
    }
    RtlInitUnicodeString(&link, kLinkName);
    status = IoCreateSymbolicLink(&link, &deviceName);
    if (!NT_SUCCESS(status)) {
        driver_unload(driver);
        return status;
    }

    driver->MajorFunction[IRP_MJ_CREATE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatch_open_close;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatch_control;
    driver->DriverUnload = driver_unload;
    return STATUS_SUCCESS;
}
