#pragma once

#include <QString>

#include "records/char_rec_data.h"

// Number texts of characteristic records. Printing always uses a full stop as the
// decimal sign, whatever the user's locale; parsing accepts a comma in its place.

QString FormatHumidity(double rh);            // "%.03f"
QString FormatValue(double value);            // "%.05f"
QString FormatCoefficient(double coeff);      // "%.07f"
QString FormatRange(double from, double to);  // "%.01f...%.01f"

// Every comma becomes a full stop, then the leading decimal number is read the
// way the C library reads one in the "C" locale: leading blanks, optional sign,
// digits, optional fraction and exponent; the rest is ignored. No number gives
// 0.0. Only the decimal form is read (no hexadecimal, "inf" or "nan"), and a
// magnitude beyond the double range is clamped to the largest finite value.
double ParseNumber(const QString& text);

// Leading decimal integer (leading blanks, optional sign, digits); no number
// gives 0; values beyond the int range are clamped to INT_MIN / INT_MAX.
int ParseInt(const QString& text);

// Same reading with a 64-bit result, clamped to its range.
long long ParseInt64(const QString& text);

// Exact unless edited. A field shows its value in fewer digits than it holds (a
// text without its padding, a date without its time of day). While the field
// still holds the very text it was filled with (`shown`), the value is `exact`,
// untouched; a text the user changed is read anew. No shown text (null): every
// text counts as edited. Every dialog that shows a stored value uses this.
inline bool TextEdited(const QString& text, const QString* shown) {
    return !shown || text != *shown;
}

template <typename T, typename Read>
T ExactUnlessEdited(const QString& text, const QString* shown, const T& exact, Read read) {
    return TextEdited(text, shown) ? read(text) : exact;
}

// A number field: read with ParseNumber once edited.
double NumberUnlessEdited(const QString& text, const QString* shown, double exact);

// "%.01f...%.01f" of RH[0] and RH[ACTIVE-1] when ENABLE is 1 and 1 <= ACTIVE <= 15;
// an empty text otherwise.
QString HumidityRangeText(const CharRecData& rec);
