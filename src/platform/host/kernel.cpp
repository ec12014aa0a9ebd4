// The kernel's side: the touch-panel device and its control call, handles, and the profile.
#include "platform/host/sim_state.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

using namespace sim::detail;

constexpr const char* kDevicePath = "\\\\.\\PNLDRV";
constexpr win::DWORD kPanelControlCode = 0x70000001;
constexpr win::DWORD kErrorGenFailure = 31;

bool equalNoCase(const char* a, const char* b) {
    if (!a || !b)
        return false;
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

std::string orNull(const char* text) {
    return text ? text : "(null)";
}

bool isOpenDevice(win::HANDLE handle) {
    const std::vector<win::HANDLE>& devices = state().devices;
    return std::find(devices.begin(), devices.end(), handle) != devices.end();
}

// Copies a list of names, each ending in a zero byte, with one more zero byte at its end,
// as the profile calls give section and key names; a list that does not fit is cut and
// still ends in two zero bytes, and the count is then size - 2.
win::DWORD copyList(const std::vector<std::string>& names, char* buffer, win::DWORD size) {
    if (size < 2) {
        if (size == 1)
            buffer[0] = 0;
        return 0;
    }
    win::DWORD n = 0;
    for (const std::string& name : names)
        for (size_t i = 0; i <= name.size(); ++i) {
            if (n + 2 > size) {
                buffer[size - 2] = 0;
                buffer[size - 1] = 0;
                return size - 2;
            }
            buffer[n++] = i < name.size() ? name[i] : '\0';
        }
    buffer[n] = 0;
    return n;
}

} // namespace

namespace win {

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD, HANDLE) {
    State& s = state();
    std::string name = path ? path : "";
    record("CreateFileA", name, access, share,
           static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(security)), disposition,
           name);
    // The creation disposition is checked first: 0 or an unknown value is refused whatever
    // the path, as Windows does.
    if (disposition < 1 || disposition > 5) {
        s.lastError = kErrorInvalidParameter;
        return INVALID_HANDLE_VALUE;
    }
    // An ended process reaches nothing.
    if (!equalNoCase(path, kDevicePath) || !s.config.devicePresent || s.model.script.deviceAbsent ||
        s.processEnded) {
        s.lastError = kErrorFileNotFound;
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = reinterpret_cast<HANDLE>(newHandle());
    s.devices.push_back(handle);
    return handle;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                     DWORD* returned, void*) {
    State& s = state();
    const unsigned char* request = static_cast<const unsigned char*>(in);
    std::string bytes = request ? std::string(reinterpret_cast<const char*>(request), inSize) : "";
    std::string text(3 * bytes.size() + 1, '\0');
    text.resize(pm_format_hex(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<unsigned>(bytes.size()), &text[0]));
    sim::Call& call = record("DeviceIoControl", text, code, inSize, outSize, 0, bytes);
    if (!isOpenDevice(device)) {
        s.lastError = kErrorInvalidHandle;
        return FALSE;
    }
    if (code != kPanelControlCode) {
        s.lastError = kErrorInvalidFunction;
        return FALSE;
    }
    if ((!in && inSize) || (!out && outSize)) {
        s.lastError = kErrorInvalidParameter;
        return FALSE;
    }
    unsigned written = 0;
    int ok =
        pm_exchange(&s.model, request, inSize, static_cast<unsigned char*>(out), outSize, &written);
    if (returned)
        *returned = written;
    if (!ok)
        s.lastError = kErrorGenFailure;
    call.d = ok ? 1 : 0;
    return ok ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE handle) {
    State& s = state();
    sim::Call& call = record("CloseHandle", "");
    auto it = std::find(s.devices.begin(), s.devices.end(), handle);
    if (it == s.devices.end()) {
        s.lastError = kErrorInvalidHandle;
        return FALSE;
    }
    s.devices.erase(it);
    call.a = 1;
    return TRUE;
}

DWORD GetProfileStringA(const char* section, const char* key, const char* fallback, char* buffer,
                        DWORD size) {
    State& s = state();
    sim::Call& call = record("GetProfileStringA", orNull(section) + " " + orNull(key), size);
    if (!buffer)
        return 0;
    const sim::Config& config = s.config;
    bool present = config.hasLanguageValue;
    DWORD result = 0;
    if (!section) {
        result = copyList(present ? std::vector<std::string>{"intl"} : std::vector<std::string>{},
                          buffer, size);
    } else if (!key) {
        bool intl = present && equalNoCase(section, "intl");
        result = copyList(intl ? std::vector<std::string>{"sLanguage"} : std::vector<std::string>{},
                          buffer, size);
    } else if (size > 0) {
        std::string value;
        if (present && equalNoCase(section, "intl") && equalNoCase(key, "sLanguage")) {
            value = config.language;
        } else if (fallback) {
            // Trailing blanks of the default are dropped.
            value = fallback;
            while (!value.empty() && value.back() == ' ')
                value.pop_back();
        }
        // At most size - 1 bytes and a zero byte; the count leaves the zero byte out.
        result = static_cast<DWORD>(std::min<size_t>(value.size(), size - 1));
        std::memcpy(buffer, value.data(), result);
        buffer[result] = 0;
    }
    call.b = result;
    return result;
}

} // namespace win
