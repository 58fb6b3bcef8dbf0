// INI parser: parse, look up, change and rewrite. The rewritten text parses to
// the same values and rewrites to the same bytes, and every line the program
// does not own (anything but its own keys and the headers of its own sections)
// comes back byte for byte, in order, with nothing lost or added among them.
#include <QStringList>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/app_settings.h"
#include "app/ini_ex.h"
#include "files/byte_text.h"

namespace {

const QStringList kSections = {"INPUT_VALUE", "GENERAL", "LOG"};
const QStringList kKeys = {
    "BACKGROUND_INPUT",  "TEXT_INPUT",        "FONT_HEIGHT_INPUT", "FONT_NAME_INPUT",
    "FONT_ITALIC_INPUT", "FONT_WEIGHT_INPUT", "PORT_NR",           "WINDOW_TOP",
    "WINDOW_BOTTOM",     "WINDOW_LEFT",       "WINDOW_RIGHT",      "TOPMOST",
    "FILE_NAME",         "FILE_LOG",          "FILE_SEP_FORMAT",   "FILE_DEC_SEPARATOR",
    "FILE_INTERVAL",     "FILE_CHECK_COMMENT"};

bool OneOf(const QByteArray& bytes, const QStringList& names) {
    // Names compare as the program compares them (Unicode case folding).
    const QString text = DecodeKeepingBytes(bytes);
    for (const QString& n : names) {
        if (text.compare(n, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

// The lines of a file as the parser sees them: LF ends a line, a CR before it
// is not part of the line. Lines the program may own are left out.
std::vector<QByteArray> ForeignLines(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool lf = end >= 0;
        if (!lf) end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        if (lf && line.endsWith('\r')) line.chop(1);
        start = end + 1;
        const bool header = line.size() >= 2 && line.front() == '[' && line.back() == ']';
        if (header
                ? OneOf(line.mid(1, line.size() - 2), kSections)
                : OneOf(line.left(line.indexOf('=') < 0 ? line.size() : line.indexOf('=')), kKeys))
            continue;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CIniEx ini;
    ini.Parse(bytes);
    AppSettings s = LoadAppSettings(ini);
    if (s.fontNameInput.size() > AppSettings::kFaceNameMax) std::abort();
    if (s.fontHeightInput < -AppSettings::kFontHeightMax ||
        s.fontHeightInput > AppSettings::kFontHeightMax)
        std::abort();
    if (s.windowRight <= s.windowLeft || s.windowBottom <= s.windowTop) std::abort();
    for (const QString& section : ini.GetSections()) {
        for (const QString& key : ini.GetKeys(section)) (void)ini.GetValueInt(section, key, 0);
    }
    s.portNr = s.portNr == INT_MAX ? 0 : s.portNr + 1;
    StoreAppSettings(ini, s);
    const QByteArray rewritten = ini.ToBytes();
    if (ForeignLines(rewritten) != ForeignLines(bytes)) std::abort();
    CIniEx again;
    again.Parse(rewritten);
    const AppSettings r = LoadAppSettings(again);
    if (r.portNr != s.portNr || r.fileInterval != s.fileInterval || r.windowTop != s.windowTop)
        std::abort();
    if (again.ToBytes() != rewritten) std::abort();
    ini.RemoveSection(QStringLiteral("LOG"));
    ini.RemoveKey(QStringLiteral("GENERAL"), QStringLiteral("PORT_NR"));
    (void)ini.ToBytes();
    return 0;
}
