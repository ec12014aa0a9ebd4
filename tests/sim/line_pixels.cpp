// Prints the pixels that the simulated GDI sets for lines, so that they can be compared with
// what Windows draws for the same calls.
//
//   line_pixels X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]
//
// Each line is drawn alone, with MoveToEx(X0, Y0) and LineTo(X1, Y1) on a fresh 1024 x 768
// window, in a context obtained with GetDC and the default pen. One output line per input
// line: the black pixels as "x,y" pairs separated by spaces, in row order, then column order.
#include "test_window.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

bool parse(const char* text, int* value) {
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < -100000 || parsed > 100000)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

std::string drawAndList(int x0, int y0, int x1, int y1) {
    sim::Config config;
    config.screenWidth = kWidth;
    config.screenHeight = kHeight;
    win::HWND window = freshWindow(0, 0, kWidth, kHeight, config);
    win::HDC dc = win::GetDC(window);
    win::MoveToEx(dc, x0, y0, nullptr);
    win::LineTo(dc, x1, y1);
    win::ReleaseDC(window, dc);
    if (!sim::errors().empty()) {
        std::fprintf(stderr, "line_pixels: %s\n", sim::errors().front().c_str());
        std::exit(1);
    }
    std::string out;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (sim::pixel(x, y) == 0x000000) {
                if (!out.empty())
                    out += ' ';
                out += std::to_string(x) + ',' + std::to_string(y);
            }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || (argc - 1) % 4 != 0) {
        std::fprintf(stderr, "usage: line_pixels X0 Y0 X1 Y1 [X0 Y0 X1 Y1 ...]\n");
        return 2;
    }
    for (int i = 1; i < argc; i += 4) {
        int v[4];
        for (int k = 0; k < 4; ++k)
            if (!parse(argv[i + k], &v[k])) {
                std::fprintf(stderr, "line_pixels: not a coordinate: %s\n", argv[i + k]);
                return 2;
            }
        std::printf("%s\n", drawAndList(v[0], v[1], v[2], v[3]).c_str());
    }
    return 0;
}
