#include "records/char_rec_format.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <locale.h>
#else
#include <locale.h>
#if defined(__APPLE__)
#include <xlocale.h>
#endif
#endif

// QString::asprintf formats numbers in the C locale itself, independent of
// setlocale(), so these texts always carry a full stop.

QString FormatHumidity(double rh) {
    return QString::asprintf("%.03f", rh);
}

QString FormatValue(double value) {
    return QString::asprintf("%.05f", value);
}

QString FormatCoefficient(double coeff) {
    return QString::asprintf("%.07f", coeff);
}

QString FormatRange(double from, double to) {
    return QString::asprintf("%.01f...%.01f", from, to);
}

namespace {

bool IsCBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r';
}

bool IsDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// strtod in the "C" locale without touching the process locale.
double StrtodC(const char* s) {
#if defined(_WIN32)
    static _locale_t c = _create_locale(LC_NUMERIC, "C");
    return _strtod_l(s, nullptr, c);
#else
    static locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    return strtod_l(s, nullptr, c);
#endif
}

}  // namespace

double ParseNumber(const QString& input) {
    const QString text = QString(input).replace(QLatin1Char(','), QLatin1Char('.'));
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && IsCBlank(text.at(i))) ++i;

    // Collect the longest prefix that forms a decimal floating-point number.
    std::string num;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        num += static_cast<char>(text.at(i).unicode());
        ++i;
    }
    int mantissaDigits = 0;
    while (i < n && IsDigit(text.at(i))) {
        num += static_cast<char>(text.at(i++).unicode());
        ++mantissaDigits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        num += '.';
        ++i;
        while (i < n && IsDigit(text.at(i))) {
            num += static_cast<char>(text.at(i++).unicode());
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return 0.0;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        std::string exp = "e";
        if (j < n && (text.at(j) == QLatin1Char('+') || text.at(j) == QLatin1Char('-'))) {
            exp += static_cast<char>(text.at(j++).unicode());
        }
        if (j < n && IsDigit(text.at(j))) {
            while (j < n && IsDigit(text.at(j))) exp += static_cast<char>(text.at(j++).unicode());
            num += exp;
        }
    }
    const double v = StrtodC(num.c_str());
    if (std::isinf(v)) return v > 0 ? DBL_MAX : -DBL_MAX;
    return v;
}

long long ParseInt64(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && IsCBlank(text.at(i))) ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    // Accumulate as a negative number so that LLONG_MIN itself fits.
    long long acc = 0;
    bool clamped = false;
    for (; i < n && IsDigit(text.at(i)); ++i) {
        const int d = text.at(i).unicode() - '0';
        if (clamped) continue;
        if (acc < (LLONG_MIN + d) / 10) {
            clamped = true;
            continue;
        }
        acc = acc * 10 - d;
    }
    if (clamped) return negative ? LLONG_MIN : LLONG_MAX;
    if (negative) return acc;
    return acc == LLONG_MIN ? LLONG_MAX : -acc;
}

int ParseInt(const QString& text) {
    const long long v = ParseInt64(text);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

double NumberUnlessEdited(const QString& text, const QString* shown, double exact) {
    return ExactUnlessEdited(text, shown, exact, [](const QString& t) { return ParseNumber(t); });
}

QString HumidityRangeText(const CharRecData& rec) {
    if (rec.ENABLE != 1 || rec.ACTIVE < 1 || rec.ACTIVE > CharRecData::kPoints) return QString();
    return FormatRange(rec.RH[0], rec.RH[rec.ACTIVE - 1]);
}
