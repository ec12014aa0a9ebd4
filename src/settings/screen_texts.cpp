#include "settings/screen_texts.h"

#include "settings/language.h"

namespace {

struct ScreenTextRow {
    int count;
    const char* japanese; // Shift-JIS
    const char* english;
};

// Every text is exactly `count` bytes long, spaces included; they are measured and drawn
// with that count and never as zero-terminated strings.
const ScreenTextRow kScreenTexts[] = {
    // "表示されている各補正点を入力して下さい。  "
    {42,
     "\x95\x5C\x8E\xA6\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x8A\x65\x95\xE2\x90\xB3\x93\x5F"
     "\x82\xF0\x93\xFC\x97\xCD\x82\xB5\x82\xC4\x89\xBA\x82\xB3\x82\xA2\x81\x42  ",
     "Please touch the point in the screen.     "},
    // "   [0]:テスト画面   [1]:設定    "
    {32, "   [0]:\x83\x65\x83\x58\x83\x67\x89\xE6\x96\xCA   [1]:\x90\xDD\x92\xE8    ",
     " [0]:Test screen   [1]:Set up   "},
    // "   [Esc]:補正中止   [Tab]:カーソル表示"
    {38,
     "   [Esc]:\x95\xE2\x90\xB3\x92\x86\x8E\x7E   [Tab]:\x83\x4A\x81\x5B\x83\x5C\x83\x8B\x95\x5C"
     "\x8E\xA6",
     " [Esc]:Cancel      [Tab]:Cursor on/off"},
    // "[0]:補正画面  [Tab]:カーソル表示  [Delete]:画面消去  [Enter]:終了         "
    {74,
     "[0]:\x95\xE2\x90\xB3\x89\xE6\x96\xCA  [Tab]:\x83\x4A\x81\x5B\x83\x5C\x83\x8B\x95\x5C\x8E"
     "\xA6  [Delete]:\x89\xE6\x96\xCA\x8F\xC1\x8B\x8E  [Enter]:\x8F\x49\x97\xB9         ",
     " [0]:Calib screen [Tab]:Cursor on/off [Delete]:CLR screen [Enter]:Update  "},
};

} // namespace

ScreenText screenText(ScreenTextId id) {
    const ScreenTextRow& row = kScreenTexts[id];
    ScreenText text = {uiLanguage == LanguageEnglish ? row.english : row.japanese, row.count};
    return text;
}
