// Start-up, the main window, the language and the screen texts.
#include "test_support.h"

#include "calib/controller.h"
#include "calib/main_window.h"
#include "settings/language.h"
#include "settings/screen_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Startup : public ::testing::Test {
  protected:
    void SetUp() override { startFreshProcess(); }
};

TEST_F(Startup, FullScreenTopmostWindowPaintedBeforeTheFirstCommand) {
    sim::then([] {
        EXPECT_EQ(sim::windowRect().left, 0);
        EXPECT_EQ(sim::windowRect().top, 0);
        EXPECT_EQ(sim::windowRect().right, 1024);
        EXPECT_EQ(sim::windowRect().bottom, 768);
        EXPECT_EQ(sim::windowStyle(), 0x91000000u);
        EXPECT_EQ(sim::windowExStyle(), win::WS_EX_TOPMOST);
        EXPECT_EQ(sim::windowText(), "Calibration");
    });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit(3));
    EXPECT_EQ(sim::shownWith(), 3) << "SW_SHOWMAXIMIZED reaches ShowWindow unchanged";

    // The first paint (instruction text, first target) comes before DIAG.
    std::vector<std::string> order = sim::callsNamed({"TextOutA", "SetPixel", "DeviceIoControl"});
    ASSERT_FALSE(order.empty());
    EXPECT_EQ(order.front().rfind("TextOutA", 0), 0u);
    size_t firstRequest = 0;
    while (firstRequest < order.size() && order[firstRequest].rfind("DeviceIoControl", 0) != 0)
        ++firstRequest;
    ASSERT_LT(firstRequest, order.size()) << "no request was sent";
    EXPECT_EQ(firstRequest, 3 + 150u) << "three text lines and the red cross before DIAG";
    EXPECT_EQ(order[firstRequest], "DeviceIoControl 89 00");
}

TEST_F(Startup, PressAndHoldFlicksAndPenFeedbackAreSwitchedOff) {
    // TABLET_DISABLE_PRESSANDHOLD, _PENTAPFEEDBACK, _PENBARRELFEEDBACK and _FLICKS: the answer
    // to Windows 7's question, and the property that Windows 8 and later read.
    static const win::LRESULT kOff = 0x00010019;
    sim::then([] {
        EXPECT_EQ(calibWindowProc(sim::mainWindow(), win::WM_TABLET_QUERYSYSTEMGESTURESTATUS, 0,
                                  (300 << 16) | 200),
                  kOff);
        EXPECT_EQ(sim::windowProperty("MicrosoftTabletPenServiceProperty"),
                  reinterpret_cast<win::HANDLE>(kOff));
    });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit()); // and the property is taken off before the window goes
}

TEST_F(Startup, NoInputMethodAndTheForegroundAskedFor) {
    // Started without activation, as from a program that is not in the foreground.
    sim::then([] {
        EXPECT_FALSE(sim::windowHasInputContext());
        EXPECT_TRUE(sim::windowHasFocus());
    });
    sim::key(win::VK_ESCAPE);
    expectCleanEnd(sim::runToExit(4)); // SW_SHOWNOACTIVATE
    EXPECT_EQ(
        sim::callsNamed({"ImmAssociateContext", "ShowWindow", "SetForegroundWindow"}),
        (std::vector<std::string>{"ImmAssociateContext 0", "ShowWindow 4", "SetForegroundWindow"}));
}

TEST_F(Startup, LineHeightIncludesExternalLeading) {
    sim::Config config;
    config.textHeight = 13;
    config.externalLeading = 3;
    startFreshProcess(config);
    sim::key(win::VK_ESCAPE);
    sim::runToExit();
    EXPECT_EQ(screenMetrics.lineHeight, 16);
    EXPECT_EQ(screenMetrics.screenWidth, 1024);
    EXPECT_EQ(screenMetrics.screenHeight, 768);
}

struct LanguageCase {
    bool present;
    const char* value;
    UiLanguage expected;
};

TEST(Language, ChosenFromTheFirstThreeCharacters) {
    const LanguageCase cases[] = {
        {false, "", LanguageJapanese},    {true, "jpn", LanguageJapanese},
        {true, "JPN", LanguageJapanese},  {true, "Jpn", LanguageEnglish},
        {true, "jPN", LanguageEnglish},   {true, "japanese", LanguageEnglish},
        {true, "jpnx", LanguageJapanese}, {true, "jp", LanguageEnglish},
        {true, "j", LanguageEnglish},     {true, "", LanguageEnglish},
        {true, "ENU", LanguageEnglish},   {true, "DEU", LanguageEnglish},
        {true, "jpx", LanguageEnglish},   {true, "JPX", LanguageEnglish},
    };
    for (const LanguageCase& c : cases) {
        sim::Config config;
        config.hasLanguageValue = c.present;
        config.language = c.value;
        startFreshProcess(config);
        detectLanguage();
        EXPECT_EQ(uiLanguage, c.expected) << (c.present ? c.value : "(absent)");
    }
}

TEST(Language, DecidedOnceAtWindowCreation) {
    sim::Config config;
    config.hasLanguageValue = true;
    config.language = "ENU";
    startFreshProcess(config);
    EXPECT_EQ(uiLanguage, LanguageJapanese) << "Japanese until the window exists";
    sim::key(win::VK_ESCAPE);
    sim::runToExit();
    EXPECT_EQ(uiLanguage, LanguageEnglish);
    EXPECT_EQ(sim::callsNamed({"GetProfileStringA"}).size(), 1u);
}

struct TextCase {
    ScreenTextId id;
    int count;
    const char* japanese; // as the user reads it
    const char* english;
};

TEST(ScreenTexts, ExactBytesInBothLanguages) {
    const TextCase cases[] = {
        {CalibLine1, 42, "表示されている各補正点を入力して下さい。  ",
         "Please touch the point in the screen.     "},
        {CalibLine2, 32, "   [0]:テスト画面   [1]:設定    ", " [0]:Test screen   [1]:Set up   "},
        {CalibLine3, 38, "   [Esc]:補正中止   [Tab]:カーソル表示",
         " [Esc]:Cancel      [Tab]:Cursor on/off"},
        {TestHelpLine, 74,
         "[0]:補正画面  [Tab]:カーソル表示  [Delete]:画面消去  [Enter]:終了         ",
         " [0]:Calib screen [Tab]:Cursor on/off [Delete]:CLR screen [Enter]:Update  "},
    };
    for (const TextCase& c : cases) {
        uiLanguage = LanguageJapanese;
        ScreenText ja = screenText(c.id);
        EXPECT_EQ(ja.count, c.count);
        EXPECT_EQ(std::string(ja.bytes, static_cast<size_t>(ja.count)), toShiftJis(c.japanese));
        uiLanguage = LanguageEnglish;
        ScreenText en = screenText(c.id);
        EXPECT_EQ(en.count, c.count);
        EXPECT_EQ(std::string(en.bytes, static_cast<size_t>(en.count)), c.english);
    }
}

} // namespace
