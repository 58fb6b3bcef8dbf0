#pragma once

#include <QString>

// Qt's own texts and formats in Polish, whatever the locale: the program's own
// texts are Polish, so its dialogs must not mix in English (the buttons "Tak",
// "Nie", "Anuluj", "Zapisz", the file, colour, font and print dialogs, dates
// and sizes in the file chooser, the date in a printed list's title).
//
// Loads qtbase_pl from Qt's translation folder (Debian: qt6-translations-l10n),
// or from "translations" beside the program, and makes Polish Qt's default
// locale. The user's own locale stays where the program follows it on purpose
// (QLocale::system(), the C library's locale: the registration file).
// Returns false when no catalogue was found; Qt's texts then stay English.
// Call once, after the QApplication exists.
bool InstallPolishQt();

// Where the catalogue was loaded from (empty when none was).
QString PolishQtTranslationsFile();
