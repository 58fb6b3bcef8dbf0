#pragma once

#include <QString>

// Qt's own texts (the buttons "Tak", "Nie", "Anuluj", "Zapisz", the file,
// colour, font and print dialogs) in Polish, whatever the locale: the
// program's own texts are Polish, so its dialogs must not mix in English.
//
// Loads qtbase_pl from Qt's translation folder (Debian: qt6-translations-l10n),
// or from "translations" beside the program, into the running application.
// Returns false when no catalogue was found; Qt's texts then stay English.
// Call once, after the QApplication exists.
bool InstallPolishQtTranslations();

// Where the catalogue was loaded from (empty when none was).
QString PolishQtTranslationsFile();
