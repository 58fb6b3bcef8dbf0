#include "ui/value_text.h"

#include <charconv>

namespace {

constexpr double kIrradiancePerKiloLux = 1.47;

// printf "%.Nf" with a full stop, independent of the C and Qt locales, and with
// printf's rounding of the exact binary value (1013.25 -> "1013.2").
QString Fixed(double v, int decimals) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) return QString::number(v, 'f', decimals);
    return QString::fromLatin1(buf, int(r.ptr - buf));
}

}  // namespace

double ConvertKind(int sourceKind, int shownKind, double value) {
    if (sourceKind == kKindIrradiance && shownKind == kKindIlluminance)
        return value / kIrradiancePerKiloLux;
    if (sourceKind == kKindIlluminance && shownKind == kKindIrradiance)
        return value * kIrradiancePerKiloLux;
    return value;
}

ValueText FormatValueText(int sourceKind, int shownKind, bool units, bool precision,
                          double rawValue) {
    const double v = ConvertKind(sourceKind, shownKind, rawValue);
    ValueText out;
    out.visible = true;
    // Kinds whose plain number honours the precision flag.
    const QString plain = Fixed(v, precision ? 2 : 1);
    switch (shownKind) {
        case kKindIrradiance:
            if (units) {
                const QString number = Fixed(v, 1);
                out.text = number + QStringLiteral(" W/m2");
                out.mainPart = number + QStringLiteral(" W/m");
                out.raisedTwo = true;
            } else {
                out.text = plain;
            }
            break;
        case kKindIlluminance:
            out.text = units ? Fixed(v, 2) + QStringLiteral(" kLx") : Fixed(v, 2);
            break;
        case kKindTemperature:
            out.text = units ? plain + QStringLiteral(" \u00B0C") : plain;
            break;
        case kKindAngle:
            out.text = units ? Fixed(v, 0) + QStringLiteral(" \u00B0") : Fixed(v, 0);
            break;
        case kKindPressure:
            out.text = units ? Fixed(v, 1) + QStringLiteral(" hPa") : plain;
            break;
        case kKindSpeed:
            out.text = units ? Fixed(v, 1) + QStringLiteral(" m/s") : plain;
            break;
        case kKindPercent:
            out.text = units ? Fixed(v, 1) + QStringLiteral(" %") : plain;
            break;
        case kKindPpm:
            out.text = units ? Fixed(v, 0) + QStringLiteral(" ppm") : Fixed(v, 0);
            break;
        default:
            out = ValueText{};
            break;
    }
    return out;
}
