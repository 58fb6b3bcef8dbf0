#pragma once

#include <QString>
#include <initializer_list>

#include "records/char_rec_data.h"

namespace testsupport {

// The tests' characteristic: a valid one as a meter holds it. Active,
// capacitive, with temperature compensation, not password protected; four
// points of a curve with rising humidities and falling values, each held in
// single precision with more digits than the dialogs show, and the curve going
// on in the points beyond the count (a meter keeps them); coefficients down to
// ones the dialogs show as 0; a name padded with spaces, a code shorter than
// its field, a description with Polish letters; saved, its creation date not
// set (0).
//
// It is the record itself: fields may be set directly, and the setters, which
// chain, change one part of it:
//   const CharRecData rec = SampleRecord(3).Name("Owies").Password();
struct SampleRecord : CharRecData {
    explicit SampleRecord(int slot = 0);

    // Stored in code page 1250 and padded with spaces, as the editor stores them.
    SampleRecord& Name(const QString& text);
    SampleRecord& Code(const QString& text);
    // `count` points of the curve (2..15), the curve going on beyond them;
    // with `risingValues` the values rise with the humidity instead of falling.
    SampleRecord& Curve(int count, bool risingValues = false);
    // Exactly these points, as given, and none beyond them.
    SampleRecord& Points(std::initializer_list<double> rh, std::initializer_list<double> values);
    SampleRecord& Password();
    SampleRecord& Dates(int32_t created, int32_t saved);
};

}  // namespace testsupport
