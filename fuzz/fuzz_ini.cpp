// INI parser: parse, look up, change and rewrite; the rewritten text parses to
// the same values.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/app_settings.h"
#include "app/ini_ex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CIniEx ini;
    ini.Parse(bytes);
    AppSettings s = LoadAppSettings(ini);
    if (s.fontNameInput.size() > AppSettings::kFaceNameMax) std::abort();
    for (const QString& section : ini.GetSections()) {
        for (const QString& key : ini.GetKeys(section)) (void)ini.GetValueInt(section, key, 0);
    }
    s.portNr = s.portNr == INT_MAX ? 0 : s.portNr + 1;
    StoreAppSettings(ini, s);
    CIniEx again;
    again.Parse(ini.ToBytes());
    const AppSettings r = LoadAppSettings(again);
    if (r.portNr != s.portNr || r.fileInterval != s.fileInterval || r.windowTop != s.windowTop)
        std::abort();
    ini.RemoveSection(QStringLiteral("LOG"));
    ini.RemoveKey(QStringLiteral("GENERAL"), QStringLiteral("PORT_NR"));
    (void)ini.ToBytes();
    return 0;
}
