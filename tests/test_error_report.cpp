// The controller error report: texts, captions and the cursor around its message box.
#include "link/error_report.h"
#include "test_support.h"
#include "screen/cursor.h"
#include "settings/language.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <string>

namespace {

// The code page 932 bytes of a UTF-8 text, converted independently of the program's tables.
std::string cp932(const std::string& utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "no CP932 converter on this machine";
        return std::string();
    }
    std::string in = utf8;
    char out[256] = {};
    char* inPointer = &in[0];
    size_t inLeft = in.size();
    char* outPointer = out;
    size_t outLeft = sizeof out;
    size_t converted = iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    EXPECT_NE(converted, static_cast<size_t>(-1)) << utf8;
    return std::string(out, sizeof out - outLeft);
}

win::LRESULT ownerProc(win::HWND window, win::UINT message, win::WPARAM wParam,
                       win::LPARAM lParam) {
    return win::DefWindowProcA(window, message, wParam, lParam);
}

win::HWND makeOwnerWindow() {
    win::WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ownerProc;
    windowClass.lpszClassName = "TEST:OWNER";
    win::RegisterClassExA(&windowClass);
    return win::CreateWindowExA(0, "TEST:OWNER", "", win::WS_POPUP | win::WS_VISIBLE, 0, 0, 640,
                                480, nullptr, nullptr, nullptr, nullptr);
}

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
        EXPECT_EQ(japanese, cp932(row.japanese));
        EXPECT_EQ(japanese.size(), row.japaneseBytes);
        uiLanguage = LanguageEnglish;
        EXPECT_EQ(std::string(errorText(row.code)), row.english);
    }
}

TEST(ErrorReport, CaptionsByteForByte) {
    uiLanguage = LanguageJapanese;
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)), cp932("診断コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)), cp932("補正開始コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionCalOut)), cp932("補正終了コマンド"));
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)).size(), 12u);
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)).size(), 16u);

    uiLanguage = LanguageEnglish;
    EXPECT_EQ(std::string(commandCaption(CaptionDiag)), "DIAG command");
    EXPECT_EQ(std::string(commandCaption(CaptionCalIn)), " CAL-IN command ");
    EXPECT_EQ(std::string(commandCaption(CaptionCalOut)), "CAL-OUT command ");
}

TEST(ErrorReport, BoxShowsTextAndCaptionOfOneLanguage) {
    start(LanguageEnglish);
    win::HWND window = makeOwnerWindow();
    reportControllerError(window, 1, commandCaption(CaptionCalIn));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    const sim::MessageBoxRecord& english = sim::messageBoxes()[0];
    EXPECT_EQ(english.text, "Command is rejected");
    EXPECT_EQ(english.caption, " CAL-IN command ");
    EXPECT_EQ(english.owner, window);
    EXPECT_EQ(english.type, win::MB_OK);

    start(LanguageJapanese);
    window = makeOwnerWindow();
    reportControllerError(window, 12, commandCaption(CaptionDiag));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].text, cp932("パネル電圧エラー"));
    EXPECT_EQ(sim::messageBoxes()[0].caption, cp932("診断コマンド"));
}

TEST(ErrorReport, CursorIsVisibleWhileTheBoxIsUpAndPutBackAfter) {
    // Hidden with Tab: shown during the box, hidden again after it.
    start(LanguageJapanese);
    win::HWND window = makeOwnerWindow();
    setCursorVisibility(CursorToggle);
    ASSERT_LT(sim::cursorCounter(), 0);
    reportControllerError(window, 50, commandCaption(CaptionCalOut));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_GE(sim::messageBoxes()[0].cursorCounterWhileUp, 0);
    EXPECT_LT(sim::cursorCounter(), 0);
    EXPECT_EQ(cursorVisibility.cursorShown, 0);

    // Visible: stays visible throughout.
    start(LanguageJapanese);
    window = makeOwnerWindow();
    reportControllerError(window, 50, commandCaption(CaptionCalOut));
    ASSERT_EQ(sim::messageBoxes().size(), 1u);
    EXPECT_EQ(sim::messageBoxes()[0].cursorCounterWhileUp, 0);
    EXPECT_EQ(sim::cursorCounter(), 0);
    EXPECT_EQ(cursorVisibility.cursorShown, 1);
}

} // namespace
