/* The road tests' hands and eyes on the Windows side, for what the X server cannot do or
 * tell:
 *
 *   pnlwin post-start       post WM_USER (0x0400, wParam 0, lParam 0), the utility's start
 *                           request, to its main window (class CALIB:MAIN, text
 *                           "Calibration"); exit 0 when it was posted
 *   pnlwin texts CAPTION    print the class and the text of every child window of the
 *                           top-level window whose text is CAPTION, one "class<TAB>text"
 *                           line each, in UTF-8; exit 0 when the window was found
 *
 * Exit code 1: not done (no such window, or the post failed; a line on stdout says why); 2:
 * bad arguments. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_TEXT 512

static void print_utf8(const WCHAR* text) {
    char bytes[4 * MAX_TEXT];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, (int)sizeof bytes, NULL, NULL);
    if (n > 0)
        fwrite(bytes, 1, (size_t)n - 1, stdout);
}

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

static BOOL CALLBACK print_child(HWND child, LPARAM unused) {
    WCHAR name[MAX_TEXT], text[MAX_TEXT];
    (void)unused;
    if (!GetClassNameW(child, name, MAX_TEXT))
        name[0] = 0;
    /* WM_GETTEXT, which is carried across processes: GetWindowText does not read the
     * controls of another program. */
    text[0] = 0;
    if (!SendMessageTimeoutW(child, WM_GETTEXT, MAX_TEXT, (LPARAM)text, SMTO_ABORTIFHUNG, 5000,
                             NULL))
        text[0] = 0;
    print_utf8(name);
    printf("\t");
    print_utf8(text);
    printf("\n");
    return TRUE;
}

static int cmd_texts(const WCHAR* caption) {
    HWND window = FindWindowW(NULL, caption);
    if (!window) {
        printf("no such window\n");
        return 1;
    }
    EnumChildWindows(window, print_child, 0);
    return 0;
}

int wmain(int argc, WCHAR** argv) {
    int status = 2;
    if (argc == 2 && !wcscmp(argv[1], L"post-start"))
        status = cmd_post_start();
    else if (argc == 3 && !wcscmp(argv[1], L"texts"))
        status = cmd_texts(argv[2]);
    else
        fprintf(stderr, "usage: pnlwin post-start | texts CAPTION\n");
    fflush(stdout);
    return status;
}
