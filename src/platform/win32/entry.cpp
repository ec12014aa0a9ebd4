// The process's entry point, which Windows calls with no C runtime start-up code in front:
// the program links none (src/platform/win32/CMakeLists.txt), since MinGW-w64's is built for
// P6 processors and the x86 build must run on Pentium-class ones. What that start-up code did
// for the program is done here: the static constructors, the instance handle, the show value
// the process was started with, and the exit code.
//
// Nothing else of it is needed. The program reads no command line or environment, uses no
// C runtime state and no thread-local data, and registers nothing to run at exit (there is
// no atexit to link, so a static object with a destructor fails the link). The x87 unit
// stays as Windows sets it up for a thread (round to nearest, 53-bit precision, exceptions
// masked) where MinGW's start-up code set 64-bit precision: the area parameters, the only
// floating point in the program, come out the same at 24, 53 and 64 bits.
#include "platform/win32/native.h"

// The constructors of static objects, in the list that the GNU linkers (ld and lld) build
// under this name: -1 first, a null pointer last.
extern "C" void (*__CTOR_LIST__[])(); // NOLINT(bugprone-reserved-identifier): the linkers' name

extern "C" [[noreturn]] void panelcalStart() {
    // Run last to first, as the GNU runtime does.
    std::size_t count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr)
        ++count;
    for (; count > 0; --count)
        __CTOR_LIST__[count]();

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    const int show =
        (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    ::ExitProcess(static_cast<UINT>(runProgram(native::seam(::GetModuleHandleA(nullptr)), show)));
}
