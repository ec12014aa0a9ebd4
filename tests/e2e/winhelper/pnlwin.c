/* The road tests' hands on the Windows side, for what the X server cannot do:
 *
 *   pnlwin post-start       post WM_USER (0x0400, wParam 0, lParam 0), the utility's start
 *                           request, to its main window (class CALIB:MAIN, text
 *                           "Calibration"); exit 0 when it was posted
 *
 * Exit code 1: not done (no such window, or the post failed; a line on stdout says why); 2:
 * bad arguments. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

static int cmd_post_start(void) {
    HWND window = FindWindowW(L"CALIB:MAIN", L"Calibration");
    if (!window) {
        printf("no Calibration window\n");
        return 1;
    }
    if (!PostMessageW(window, WM_USER, 0, 0)) {
        printf("PostMessage failed: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    printf("posted\n");
    return 0;
}

int wmain(int argc, WCHAR** argv) {
    int status = 2;
    if (argc == 2 && !wcscmp(argv[1], L"post-start"))
        status = cmd_post_start();
    else
        fprintf(stderr, "usage: pnlwin post-start\n");
    fflush(stdout);
    return status;
}
