#include "link/error_report.h"

#include "screen/cursor.h"
#include "settings/language.h"

namespace {

struct TwoLanguages {
    const char* japanese; // code page 932
    const char* english;
};

// Error texts, one row per distinct message; the last row is the communication error.
const TwoLanguages kErrorTexts[] = {
    // コマンド受付けエラー
    {"\x83\x52\x83\x7D\x83\x93\x83\x68\x8E\xF3\x95\x74\x82\xAF\x83\x47\x83\x89\x81\x5B",
     "Command is rejected"},
    // ＲＯＭチェックエラー
    {"\x82\x71\x82\x6E\x82\x6C\x83\x60\x83\x46\x83\x62\x83\x4E\x83\x47\x83\x89\x81\x5B",
     "ROM error"},
    // ＲＡＭチェックエラー
    {"\x82\x71\x82\x60\x82\x6C\x83\x60\x83\x46\x83\x62\x83\x4E\x83\x47\x83\x89\x81\x5B",
     "RAM error"},
    // パネル電圧エラー
    {"\x83\x70\x83\x6C\x83\x8B\x93\x64\x88\xB3\x83\x47\x83\x89\x81\x5B", "Panel Voltage error"},
    // ＥＥＰ－ＲＯＭ書込みエラー
    {"\x82\x64\x82\x64\x82\x6F\x81\x7C\x82\x71\x82\x6E\x82\x6C"
     "\x8F\x91\x8D\x9E\x82\xDD\x83\x47\x83\x89\x81\x5B",
     "EEPROM write error"},
    // ＥＥＰ－ＲＯＭ読取りエラー
    {"\x82\x64\x82\x64\x82\x6F\x81\x7C\x82\x71\x82\x6E\x82\x6C"
     "\x93\xC7\x8E\xE6\x82\xE8\x83\x47\x83\x89\x81\x5B",
     "EEPROM read error"},
    // ＥＥＰ－ＲＯＭチェックサムエラー
    {"\x82\x64\x82\x64\x82\x6F\x81\x7C\x82\x71\x82\x6E\x82\x6C"
     "\x83\x60\x83\x46\x83\x62\x83\x4E\x83\x54\x83\x80\x83\x47\x83\x89\x81\x5B",
     "EEPROM checksum error"},
    // サンプリングデータエラー
    {"\x83\x54\x83\x93\x83\x76\x83\x8A\x83\x93\x83\x4F\x83\x66\x81\x5B\x83\x5E\x83\x47\x83\x89"
     "\x81\x5B",
     "Sampling data error"},
    // 補正パラメータエラー; the English text differs in meaning, both are kept
    {"\x95\xE2\x90\xB3\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x83\x47\x83\x89\x81\x5B",
     "Operation code error"},
    // 通信エラー; the English text ends with a space
    {"\x92\xCA\x90\x4D\x83\x47\x83\x89\x81\x5B", "Communication error "},
};

enum ErrorRow {
    RowRejected,
    RowRom,
    RowRam,
    RowPanelVoltage,
    RowEepromWrite,
    RowEepromRead,
    RowEepromChecksum,
    RowSampling,
    RowParameter,
    RowCommunication
};

// Captions in CommandCaption order; both languages have the same byte lengths.
const TwoLanguages kCaptions[] = {
    // 診断コマンド
    {"\x90\x66\x92\x66\x83\x52\x83\x7D\x83\x93\x83\x68", "DIAG command"},
    // 補正開始コマンド
    {"\x95\xE2\x90\xB3\x8A\x4A\x8E\x6E\x83\x52\x83\x7D\x83\x93\x83\x68", " CAL-IN command "},
    // 補正終了コマンド
    {"\x95\xE2\x90\xB3\x8F\x49\x97\xB9\x83\x52\x83\x7D\x83\x93\x83\x68", "CAL-OUT command "},
};

int errorRow(int code) {
    switch (code) {
    case 1:
        return RowRejected;
    case 10:
        return RowRom;
    case 11:
        return RowRam;
    case 12:
        return RowPanelVoltage;
    case 14:
        return RowEepromWrite;
    case 15:
        return RowEepromRead;
    case 16:
        return RowEepromChecksum;
    case 17:
        return RowSampling;
    }
    if (code >= 18 && code <= 21) {
        return RowParameter;
    }
    return RowCommunication;
}

const char* inUiLanguage(const TwoLanguages& texts) {
    return uiLanguage == LanguageEnglish ? texts.english : texts.japanese;
}

} // namespace

const char* commandCaption(CommandCaption which) {
    if (which < CaptionDiag || which > CaptionCalOut) {
        which = CaptionDiag;
    }
    return inUiLanguage(kCaptions[which]);
}

const char* errorText(int code) {
    return inUiLanguage(kErrorTexts[errorRow(code)]);
}

void reportControllerError(win::HWND window, int code, const char* caption) {
    int previous = setCursorVisibility(CursorShow);
    win::MessageBoxA(window, errorText(code), caption, win::MB_OK);
    setCursorVisibility(previous);
}
