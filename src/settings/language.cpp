#include "settings/language.h"

#include "platform/platform.h"

UiLanguage uiLanguage = LanguageJapanese;

void detectLanguage() {
    // A 4-byte buffer holds at most three characters and their terminating zero, so a value
    // shorter than three characters fails the comparison through its zero.
    char value[4] = {0, 0, 0, 0};
    win::GetProfileStringA("intl", "sLanguage", "jpn", value, 4);
    bool lower = value[0] == 'j' && value[1] == 'p' && value[2] == 'n';
    bool upper = value[0] == 'J' && value[1] == 'P' && value[2] == 'N';
    uiLanguage = (lower || upper) ? LanguageJapanese : LanguageEnglish;
}
