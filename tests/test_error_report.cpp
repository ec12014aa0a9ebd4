// The controller error report: texts, captions and the cursor around its message box.
#include "link/error_report.h"
#include "test_support.h"
#include "screen/cursor.h"
#include "settings/language.h"

#include <gtest/gtest.h>

#include <string>

namespace {

void start(UiLanguage language) {
    startFreshProcess();
    uiLanguage = language;
    cursorVisibility = {1, 0};
}

struct TextRow {
    int code;
    const char* japanese; // UTF-8
    size_t japaneseBytes;
    const char* english;
};

const TextRow kTextRows[] = {
    {1, "コマンド受付けエラー", 20, "Command is rejected"},
    {10, "ＲＯＭチェックエラー", 20, "ROM error"},
    {11, "ＲＡＭチェックエラー", 20, "RAM error"},
    {12, "パネル電圧エラー", 16, "Panel Voltage error"},
    {14, "ＥＥＰ－ＲＯＭ書込みエラー", 26, "EEPROM write error"},
    {15, "ＥＥＰ－ＲＯＭ読取りエラー", 26, "EEPROM read error"},
    {16, "ＥＥＰ－ＲＯＭチェックサムエラー", 32, "EEPROM checksum error"},
    {17, "サンプリングデータエラー", 24, "Sampling data error"},
    {18, "補正パラメータエラー", 20, "Operation code error"},
    {19, "補正パラメータエラー", 20, "Operation code error"},
    {20, "補正パラメータエラー", 20, "Operation code error"},
    {21, "補正パラメータエラー", 20, "Operation code error"},
    // Codes without a row of their own: the communication error.
    {0, "通信エラー", 10, "Communication error "},
    {13, "通信エラー", 10, "Communication error "},
    {22, "通信エラー", 10, "Communication error "},
    {50, "通信エラー", 10, "Communication error "},
    {255, "通信エラー", 10, "Communication error "},
    {-1, "通信エラー", 10, "Communication error "},
};

TEST(ErrorReport, TextForEveryKindOfCodeInBothLanguages) {
    for (const TextRow& row : kTextRows) {
        SCOPED_TRACE(testing::Message() << "code " << row.code);
        uiLanguage = LanguageJapanese;
        std::string japanese = errorText(row.code);
        EXPECT_EQ(japanese, toShiftJis(row.japanese));
        EXPECT_EQ(japanese.size(), row.japaneseBytes);
        uiLanguage = LanguageEnglish;
        EXPECT_EQ(std::string(errorText(row.code)), row.english);
    }
}

TEST(ErrorReport, CaptionsByteForByte) {
    uiLanguage = LanguageJapanese;
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)), toShiftJis("診断コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)), toShiftJis("補正開始コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionCalOut)), toShiftJis("補正終了コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)).size(), 12u);
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)).size(), 16u);

    uiLanguage = LanguageEnglish;
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)), "DIAG command");
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)), " CAL-IN command ");
    EXPECT_EQ(std::string(commandCaption(CaptionCalOut)), "CAL-OUT command ");
}

TEST(ErrorReport, BoxShowsTextAndCaptionOfOneLanguage) {
    start(LanguageEnglish);
    win::HWND window = openPlainWindow(640, 480);
    reportControllerError(window, 1, commandCaption(CaptionCalIn));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    const sim::MessageBoxRecord& english = sim::messageBoxes()[0];
    EXPECT_EQ(english.text, "Command is rejected");
    EXPECT_EQ(english.caption, " CAL-IN command ");
    EXPECT_EQ(english.owner, window);
    EXPECT_EQ(english.type, win::MB_OK);

    start(LanguageJapanese);
    window = openPlainWindow(640, 480);
    reportControllerError(window, 12, commandCaption(CaptionDiag));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, toShiftJis("パネル電圧エラー"));
    EXPECT_EQ(sim::messageBoxes()[0].caption, toShiftJis("診断コマンド"));
}

TEST(ErrorReport, CursorIsVisibleWhileTheBoxIsUpAndPutBackAfter) {
    // Hidden with Tab: shown during the box, hidden again after it.
    start(LanguageJapanese);
    win::HWND window = openPlainWindow(640, 480);
    setCursorVisibility(CursorToggle);
    ASSERT_LT(sim::cursorCounter(), 0);
    reportControllerError(window, 50, commandCaption(CaptionCalOut));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_GE(sim::messageBoxes()[0].cursorCounterWhileUp, 0);
    EXPECT_LT(sim::cursorCounter(), 0);
    EXPECT_EQ(cursorVisibility.cursorShown, 0);

    // Visible: stays visible throughout.
    start(LanguageJapanese);
    window = openPlainWindow(640, 480);
    reportControllerError(window, 50, commandCaption(CaptionCalOut));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].cursorCounterWhileUp, 0);
    EXPECT_EQ(sim::cursorCounter(), 0);
    EXPECT_EQ(cursorVisibility.cursorShown, 1);
}

} // namespace
