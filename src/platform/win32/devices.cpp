// The driver's device, the profile, the mutex and the power requests: handed straight to the
// system.
#include "platform/win32/native.h"

using native::cast;

namespace win {

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile) {
    return ::CreateFileA(path, access, share, static_cast<LPSECURITY_ATTRIBUTES>(security),
                         disposition, flags, templateFile);
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void* overlapped) {
    return ::DeviceIoControl(device, code, in, inSize, out, outSize, cast(returned),
                             static_cast<LPOVERLAPPED>(overlapped));
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

DWORD GetProfileStringA(const char* section, const char* key, const char* fallback, char* buffer,
                        DWORD size) {
    return ::GetProfileStringA(section, key, fallback, buffer, size);
}

HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name) {
    return ::CreateMutexA(static_cast<LPSECURITY_ATTRIBUTES>(security), initialOwner, name);
}

DWORD GetLastError() {
    return ::GetLastError();
}

DWORD SetThreadExecutionState(DWORD flags) {
    return ::SetThreadExecutionState(flags);
}

} // namespace win
