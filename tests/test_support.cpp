#include "test_support.h"

#include <gtest/gtest.h>

#include <iconv.h>

const char* const kDiag = "89 00";
const char* const kCalInDefault = "84 1B 2C 01 12 1E 73 01 69 1D";
const char* const kCalPoint = "86";
const char* const kCalOut = "85 00 20 00 20";
const char* const kCalAbort = "80";

void expectCleanEnd(int exitCode) {
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(sim::pendingInput(), 0u) << "the run ended before the script did";
    EXPECT_EQ(sim::pendingDialogScripts(), 0u) << "a scripted dialog never opened";
    EXPECT_FALSE(sim::starved()) << "the program waited for input the script did not give";
    EXPECT_FALSE(sim::windowExists());
    EXPECT_EQ(sim::openDrawingContexts(), 0);
    EXPECT_EQ(sim::openPaints(), 0);
    EXPECT_EQ(sim::openDeviceHandles(), 0);
    EXPECT_TRUE(sim::errors().empty()) << sim::errors().front();
}

Pixel nineGridTarget(int index) {
    static const int xs[] = {25, 512, 999};
    static const int ys[] = {18, 384, 749};
    return Pixel{xs[index / 3], ys[index % 3]};
}

Pixel twentyGridTarget(int index) {
    static const int xs[] = {25, 268, 512, 755, 999};
    static const int ys[] = {18, 262, 505, 749};
    return Pixel{xs[index / 4], ys[index % 4]};
}

void touchTargets(int count, Pixel (*where)(int)) {
    for (int i = 0; i < count; ++i) {
        Pixel p = where(i);
        sim::touch(p.x, p.y);
    }
}

std::vector<std::string> sentRequests() {
    return sim::requests();
}

std::string toShiftJis(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "(no CP932 converter)";
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = &in[0];
    size_t inLeft = in.size();
    char* outPtr = &out[0];
    size_t outLeft = out.size();
    size_t done = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1))
        return "(not convertible)";
    out.resize(out.size() - outLeft);
    return out;
}

namespace {

win::LRESULT plainProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                       win::LPARAM lParam) {
    return win::DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

win::HWND openPlainWindow(int width, int height) {
    win::WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = plainProc;
    windowClass.hbrBackground = static_cast<win::HBRUSH>(win::GetStockObject(win::WHITE_BRUSH));
    windowClass.lpszClassName = "TEST:PLAIN";
    win::RegisterClassExA(&windowClass);
    return win::CreateWindowExA(0, "TEST:PLAIN", "", win::WS_POPUP | win::WS_VISIBLE, 0, 0, width,
                                height, nullptr, nullptr, nullptr, nullptr);
}
