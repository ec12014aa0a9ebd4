#include "platform/win32/native.h"

namespace native {

namespace {

constexpr UINT kTextCodePage = 932;

} // namespace

WideText::WideText(const char* bytes, int count) : length_(0), ok_(false), null_(false) {
    units_[0] = L'\0';
    if (bytes == nullptr) {
        null_ = true;
        ok_ = true;
        return;
    }
    if (count < 0) {
        // Bounded search: a text that long is handed on unconverted anyway.
        count = 0;
        while (count < kCapacity && bytes[count] != '\0')
            ++count;
    }
    // Each byte yields at most one UTF-16 unit, so fewer bytes than the capacity always fit.
    if (count >= kCapacity)
        return;
    if (count == 0) {
        ok_ = true;
        return;
    }
    int converted = ::MultiByteToWideChar(kTextCodePage, 0, bytes, count, units_, kCapacity - 1);
    if (converted <= 0)
        return;
    units_[converted] = L'\0';
    length_ = converted;
    ok_ = true;
}

} // namespace native
