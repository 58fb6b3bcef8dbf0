#pragma once

#include <QString>

#include <cstdint>

#include "session/registration_control.h"

class CIniEx;

// Every setting the program keeps in kv60x.ini, with the defaults used when a
// key is absent.
struct AppSettings {
    static constexpr int kFaceNameMax = 31;  // characters of a font face name
    // The largest font height in pixels, either sign: far above any screen and
    // well within what Qt takes as a pixel size.
    static constexpr int kFontHeightMax = 4096;

    // [INPUT_VALUE]: the value display
    uint32_t backgroundInput = 13559807;  // 0x00BBGGRR
    uint32_t textInput = 5442;
    int fontHeightInput = -64;
    QString fontNameInput = QStringLiteral("Arial");  // at most kFaceNameMax characters
    uint8_t fontItalicInput = 0;
    int fontWeightInput = 0;
    // [GENERAL]
    int portNr = 0;
    int windowTop = 50;
    int windowBottom = 550;
    int windowLeft = 80;
    int windowRight = 720;
    int topmost = 0;
    // [LOG]: registration to file
    QString fileName;
    int fileLog = 0;
    int fileSepFormat = 0;
    int fileDecSeparator = 0;
    int fileInterval = 60;
    int fileCheckComment = 0;
};

// Reads every key with its default. Numbers are kept to what they mean: a face
// name longer than 31 characters is cut, a font height is clamped to
// +-kFontHeightMax, and a window rectangle without a size (see
// WindowRectHasSize) gives way to the default rectangle.
AppSettings LoadAppSettings(const CIniEx& ini);

// Sets every key, in the order that a file created from nothing shows them.
void StoreAppSettings(CIniEx& ini, const AppSettings& s);

// `name` cut to AppSettings::kFaceNameMax characters (a surrogate pair stays whole).
QString CutFaceName(const QString& name);

// The registration settings of section LOG, and back (the comment is not stored).
RegistrationSettings RegistrationSettingsOf(const AppSettings& s);
void StoreRegistrationSettings(const RegistrationSettings& r, AppSettings* s);
