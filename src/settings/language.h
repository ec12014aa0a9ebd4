// The user-interface language, chosen once at window creation.
#pragma once

enum UiLanguage { LanguageJapanese, LanguageEnglish };
extern UiLanguage uiLanguage;

void detectLanguage();
