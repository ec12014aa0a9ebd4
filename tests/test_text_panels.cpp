// The calibration screen's instruction lines and the test screen's help line.
#include "screen/screen_metrics.h"
#include "test_support.h"
#include "screen/target_grid.h"
#include "screen/text_panels.h"
#include "settings/language.h"
#include "settings/screen_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A fresh simulated screen with one window covering it; the metrics are set separately, as
// start-up would have measured them.
struct Canvas {
    win::HWND window;
    win::HDC dc;

    Canvas(int charWidth, ScreenMetrics metrics, UiLanguage language) {
        sim::Config config;
        config.screenWidth = 1024; // wider and higher than the metrics, to look past them
        config.screenHeight = 768;
        config.charWidth = charWidth;
        config.textHeight = 16;
        startFreshProcess(config);
        screenMetrics = metrics;
        uiLanguage = language;

        window = openPlainWindow(config.screenWidth, config.screenHeight);
        dc = win::GetDC(window);
    }
    ~Canvas() { win::ReleaseDC(window, dc); }
};

std::string textBytes(ScreenTextId id) {
    ScreenText text = screenText(id);
    return std::string(text.bytes, static_cast<size_t>(text.count));
}

TEST(CalibrationText, ThreeLinesFromTheCentredFirstLine) {
    const UiLanguage languages[] = {LanguageJapanese, LanguageEnglish};
    for (UiLanguage language : languages) {
        SCOPED_TRACE(language == LanguageEnglish ? "English" : "Japanese");
        // 42 bytes of 8 pixels: the first line measures 336 pixels, trailing spaces included.
        Canvas canvas(8, {800, 600, 16}, language);
        drawCalibrationText(canvas.dc);

        const std::vector<sim::TextRecord>& texts = sim::texts();
        ASSERT_EQ(texts.size(), 3u);
        EXPECT_EQ(texts[0].bytes, textBytes(CalibLine1));
        EXPECT_EQ(texts[1].bytes, textBytes(CalibLine2));
        EXPECT_EQ(texts[2].bytes, textBytes(CalibLine3));
        EXPECT_EQ(texts[0].bytes.size(), 42u);
        EXPECT_EQ(texts[1].bytes.size(), 32u);
        EXPECT_EQ(texts[2].bytes.size(), 38u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(texts[i].x, 232);
        }
        EXPECT_EQ(texts[0].y, 448);
        EXPECT_EQ(texts[1].y, 480);
        EXPECT_EQ(texts[2].y, 496);
    }
}

TEST(CalibrationText, CentringArithmetic) {
    {
        // Three pixels wider than the screen: -3 / 2 truncates toward zero.
        Canvas canvas(8, {42 * 8 - 3, 600, 16}, LanguageEnglish);
        drawCalibrationText(canvas.dc);
        ASSERT_EQ(sim::texts().size(), 3u);
        EXPECT_EQ(sim::texts()[0].x, -1);
        EXPECT_EQ(sim::texts()[2].x, -1);
    }
    {
        // Only the low 16 bits of the width count: 42 * 1561 = 65562 is taken as 26.
        Canvas canvas(1561, {800, 600, 16}, LanguageEnglish);
        drawCalibrationText(canvas.dc);
        ASSERT_EQ(sim::texts().size(), 3u);
        EXPECT_EQ(sim::texts()[0].x, (800 - 26) / 2);
    }
}

TEST(TestBar, AtTheBottomEdge) {
    // 74 bytes of 8 pixels: 592 pixels, x = (800 - 592) / 2 = 104.
    Canvas canvas(8, {800, 600, 16}, LanguageJapanese);
    drawTestBar(canvas.dc, 0);

    ASSERT_EQ(sim::texts().size(), 1u);
    EXPECT_EQ(sim::texts()[0].bytes, textBytes(TestHelpLine));
    EXPECT_EQ(sim::texts()[0].bytes.size(), 74u);
    EXPECT_EQ(sim::texts()[0].x, 104);
    EXPECT_EQ(sim::texts()[0].y, 584);

    EXPECT_EQ(sim::countPixels(0, 583, 800, 584, kBlack), 800);
    EXPECT_EQ(sim::pixel(800, 583), kWhite);
    EXPECT_EQ(sim::countPixels(0, 582, 1024, 583, kBlack), 0);
}

TEST(TestBar, AtTheTopEdge) {
    Canvas canvas(8, {800, 600, 16}, LanguageEnglish);
    drawTestBar(canvas.dc, 1);

    ASSERT_EQ(sim::texts().size(), 1u);
    EXPECT_EQ(sim::texts()[0].bytes, textBytes(TestHelpLine));
    EXPECT_EQ(sim::texts()[0].x, 104);
    EXPECT_EQ(sim::texts()[0].y, 0);

    EXPECT_EQ(sim::countPixels(0, 17, 800, 18, kBlack), 800);
    EXPECT_EQ(sim::pixel(800, 17), kWhite);
    // Row 16 stays free between the text's line and the separator.
    EXPECT_EQ(sim::countPixels(0, 16, 1024, 17, kBlack), 0);
    EXPECT_EQ(sim::countPixels(0, 18, 1024, 19, kBlack), 0);
}

} // namespace
