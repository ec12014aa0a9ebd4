/* Diagnostic client of \\.\PNLDRV: opens the device the way a Windows program can under
 * Wine (OPEN_EXISTING) and sends raw requests, printing what comes back.
 *
 *   pnlprobe wait SECONDS        poll until the device opens; exit 0 when it did, 1 if not
 *   pnlprobe open                try once; prints "open ok" or "open error N"
 *   pnlprobe send [-c CODE] [-o OUTSIZE] HEX...
 *                                one device-control call (default code 0x70000001, 20-byte
 *                                output buffer pre-filled with EE); prints
 *                                "ok=B error=N returned=N reply=HEX"
 *
 * Exit code 2 means bad arguments; for send, 3 means the device did not open. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static HANDLE open_device(void) {
    return CreateFileA("\\\\.\\PNLDRV", 0, 0, NULL, OPEN_EXISTING, 0, NULL);
}

static int cmd_wait(double seconds) {
    DWORD start = GetTickCount();
    for (;;) {
        HANDLE h = open_device();
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            printf("open ok after %lu ms\n", (unsigned long)(GetTickCount() - start));
            return 0;
        }
        if (GetTickCount() - start > (DWORD)(seconds * 1000.0)) {
            printf("open error %lu\n", (unsigned long)GetLastError());
            return 1;
        }
        Sleep(50);
    }
}

static int cmd_open(void) {
    HANDLE h = open_device();
    if (h == INVALID_HANDLE_VALUE) {
        printf("open error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    CloseHandle(h);
    printf("open ok\n");
    return 0;
}

static int cmd_send(int argc, char** argv) {
    unsigned char request[64], reply[256];
    DWORD code = 0x70000001, outSize = 20, returned = 0, length = 0, error = 0, i;
    BOOL ok;
    HANDLE h;
    int a;
    for (a = 0; a < argc; ++a) {
        if (!strcmp(argv[a], "-c") && a + 1 < argc) {
            code = (DWORD)strtoul(argv[++a], NULL, 0);
        } else if (!strcmp(argv[a], "-o") && a + 1 < argc) {
            outSize = (DWORD)strtoul(argv[++a], NULL, 0);
            if (outSize > sizeof reply)
                return 2;
        } else {
            if (length == sizeof request)
                return 2;
            request[length++] = (unsigned char)strtoul(argv[a], NULL, 16);
        }
    }
    memset(reply, 0xEE, sizeof reply);
    h = open_device();
    if (h == INVALID_HANDLE_VALUE) {
        printf("open error %lu\n", (unsigned long)GetLastError());
        return 3;
    }
    ok = DeviceIoControl(h, code, request, length, reply, outSize, &returned, NULL);
    if (!ok)
        error = GetLastError();
    CloseHandle(h);
    printf("ok=%d error=%lu returned=%lu reply=", ok ? 1 : 0, (unsigned long)error,
           (unsigned long)returned);
    for (i = 0; i < outSize; ++i)
        printf(i ? " %02X" : "%02X", reply[i]);
    printf("\n");
    return 0;
}

int main(int argc, char** argv) {
    int status = 2;
    if (argc >= 3 && !strcmp(argv[1], "wait"))
        status = cmd_wait(atof(argv[2]));
    else if (argc == 2 && !strcmp(argv[1], "open"))
        status = cmd_open();
    else if (argc >= 2 && !strcmp(argv[1], "send"))
        status = cmd_send(argc - 2, argv + 2);
    else
        fprintf(stderr, "usage: pnlprobe wait SECONDS | open | send [-c CODE] [-o SIZE] HEX...\n");
    fflush(stdout);
    return status;
}
