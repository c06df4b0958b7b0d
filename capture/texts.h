// The language of the texts that the window and bildoro-batch share (row reasons, list file messages, stage
// names): English as written in the code, German from the translation built into the program. The window
// always speaks German; bildoro-batch speaks German when the user's locale for messages is German.
#pragma once

#include <QString>

// Installs the German texts for this process; later calls do nothing. False when they cannot be loaded.
// With `onlyContext`, only the texts of that translation context are German, all others stay English
// (bildoro-batch: its own messages German, the rows' reasons English like the report that keeps them).
bool UseGermanTexts(const char* onlyContext = nullptr);

// Installs Qt's own German texts (its file and message dialogs' buttons and labels, from the system's Qt
// translations, package qt6-translations-l10n); later calls do nothing. False when they are not installed.
bool UseQtGermanTexts();

// True when the locale for messages is German: LC_ALL, else LC_MESSAGES, else LANG decides (unset or "C":
// not German), and LANGUAGE, when set, names the language of a locale other than "C".
bool MessagesLocaleIsGerman();

// The system's reason for `error` (an errno value) in the texts' language: the common ones in words of our
// own, any other as the system says it.
QString SystemErrorText(int error);

// A browser's network error code ("net::ERR_NAME_NOT_RESOLVED") with a short explanation in the texts'
// language before it ("Name not found (net::ERR_NAME_NOT_RESOLVED)"); any other text as it stands.
QString ExplainedNetworkError(const QString& reason);
