#include "app/app_settings.h"

#include <algorithm>

#include "app/ini_ex.h"
#include "app/main_layout.h"

namespace {
const QString kInput = QStringLiteral("INPUT_VALUE");
const QString kGeneral = QStringLiteral("GENERAL");
const QString kLog = QStringLiteral("LOG");
}  // namespace

QString CutFaceName(const QString& name) {
    if (name.size() <= AppSettings::kFaceNameMax) return name;
    qsizetype n = AppSettings::kFaceNameMax;
    if (name.at(n - 1).isHighSurrogate()) --n;
    return name.left(n);
}

AppSettings LoadAppSettings(const CIniEx& ini) {
    const AppSettings d;
    AppSettings s;
    s.backgroundInput =
        ini.GetValueUInt(kInput, QStringLiteral("BACKGROUND_INPUT"), d.backgroundInput);
    s.textInput = ini.GetValueUInt(kInput, QStringLiteral("TEXT_INPUT"), d.textInput);
    s.fontHeightInput =
        std::clamp(ini.GetValueInt(kInput, QStringLiteral("FONT_HEIGHT_INPUT"), d.fontHeightInput),
                   -AppSettings::kFontHeightMax, AppSettings::kFontHeightMax);
    s.fontNameInput =
        CutFaceName(ini.GetValue(kInput, QStringLiteral("FONT_NAME_INPUT"), d.fontNameInput));
    s.fontItalicInput = static_cast<uint8_t>(
        ini.GetValueInt(kInput, QStringLiteral("FONT_ITALIC_INPUT"), d.fontItalicInput));
    s.fontWeightInput =
        ini.GetValueInt(kInput, QStringLiteral("FONT_WEIGHT_INPUT"), d.fontWeightInput);
    s.portNr = ini.GetValueInt(kGeneral, QStringLiteral("PORT_NR"), d.portNr);
    s.windowTop = ini.GetValueInt(kGeneral, QStringLiteral("WINDOW_TOP"), d.windowTop);
    s.windowBottom = ini.GetValueInt(kGeneral, QStringLiteral("WINDOW_BOTTOM"), d.windowBottom);
    s.windowLeft = ini.GetValueInt(kGeneral, QStringLiteral("WINDOW_LEFT"), d.windowLeft);
    s.windowRight = ini.GetValueInt(kGeneral, QStringLiteral("WINDOW_RIGHT"), d.windowRight);
    if (!WindowRectHasSize(WindowRect{s.windowLeft, s.windowTop, s.windowRight, s.windowBottom})) {
        s.windowLeft = d.windowLeft;
        s.windowTop = d.windowTop;
        s.windowRight = d.windowRight;
        s.windowBottom = d.windowBottom;
    }
    s.topmost = ini.GetValueInt(kGeneral, QStringLiteral("TOPMOST"), d.topmost);
    s.fileName = ini.GetValue(kLog, QStringLiteral("FILE_NAME"), d.fileName);
    s.fileLog = ini.GetValueInt(kLog, QStringLiteral("FILE_LOG"), d.fileLog);
    s.fileSepFormat = ini.GetValueInt(kLog, QStringLiteral("FILE_SEP_FORMAT"), d.fileSepFormat);
    s.fileDecSeparator =
        ini.GetValueInt(kLog, QStringLiteral("FILE_DEC_SEPARATOR"), d.fileDecSeparator);
    s.fileInterval = ini.GetValueInt(kLog, QStringLiteral("FILE_INTERVAL"), d.fileInterval);
    s.fileCheckComment =
        ini.GetValueInt(kLog, QStringLiteral("FILE_CHECK_COMMENT"), d.fileCheckComment);
    return s;
}

void StoreAppSettings(CIniEx& ini, const AppSettings& s) {
    ini.SetValueUInt(kInput, QStringLiteral("BACKGROUND_INPUT"), s.backgroundInput);
    ini.SetValueUInt(kInput, QStringLiteral("TEXT_INPUT"), s.textInput);
    ini.SetValueInt(kInput, QStringLiteral("FONT_HEIGHT_INPUT"), s.fontHeightInput);
    ini.SetValue(kInput, QStringLiteral("FONT_NAME_INPUT"), CutFaceName(s.fontNameInput));
    ini.SetValueInt(kInput, QStringLiteral("FONT_ITALIC_INPUT"), s.fontItalicInput);
    ini.SetValueInt(kInput, QStringLiteral("FONT_WEIGHT_INPUT"), s.fontWeightInput);
    ini.SetValueInt(kGeneral, QStringLiteral("PORT_NR"), s.portNr);
    ini.SetValueInt(kGeneral, QStringLiteral("WINDOW_TOP"), s.windowTop);
    ini.SetValueInt(kGeneral, QStringLiteral("WINDOW_BOTTOM"), s.windowBottom);
    ini.SetValueInt(kGeneral, QStringLiteral("WINDOW_LEFT"), s.windowLeft);
    ini.SetValueInt(kGeneral, QStringLiteral("WINDOW_RIGHT"), s.windowRight);
    ini.SetValue(kLog, QStringLiteral("FILE_NAME"), s.fileName);
    ini.SetValueInt(kLog, QStringLiteral("FILE_LOG"), s.fileLog);
    ini.SetValueInt(kLog, QStringLiteral("FILE_SEP_FORMAT"), s.fileSepFormat);
    ini.SetValueInt(kLog, QStringLiteral("FILE_DEC_SEPARATOR"), s.fileDecSeparator);
    ini.SetValueInt(kLog, QStringLiteral("FILE_INTERVAL"), s.fileInterval);
    ini.SetValueInt(kGeneral, QStringLiteral("TOPMOST"), s.topmost);
    ini.SetValueInt(kLog, QStringLiteral("FILE_CHECK_COMMENT"), s.fileCheckComment);
}

RegistrationSettings RegistrationSettingsOf(const AppSettings& s) {
    RegistrationSettings r;
    r.fileLog = s.fileLog;
    r.fileName = s.fileName;
    r.fileInterval = s.fileInterval;
    r.fileSepFormat = s.fileSepFormat;
    r.fileDecSeparator = s.fileDecSeparator;
    r.fileCheckComment = s.fileCheckComment;
    return r;
}

void StoreRegistrationSettings(const RegistrationSettings& r, AppSettings* s) {
    s->fileLog = r.fileLog;
    s->fileName = r.fileName;
    s->fileInterval = r.fileInterval;
    s->fileSepFormat = r.fileSepFormat;
    s->fileDecSeparator = r.fileDecSeparator;
    s->fileCheckComment = r.fileCheckComment;
}
