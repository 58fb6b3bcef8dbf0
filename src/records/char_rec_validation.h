#pragma once

#include <QString>

#include "records/char_rec_data.h"

// The editor's form as plain states and texts, so that validation runs without
// any widget.
struct CharRecForm {
    bool enableChecked = false;        // "Rekord aktywny"
    bool passwordChecked = false;      // "Ochrona hasłem"
    bool compensationChecked = false;  // "Kompensacja temperaturowa"
    bool resistiveChecked = false;     // "rezystancyjna"
    bool capacitiveChecked = false;    // "pojemnościowa"
    QString code;
    QString name;
    QString desc;
    QString certificate;
    int32_t createTime = 0;  // seconds since 1970-01-01 UTC
    int32_t saveTime = 0;
    QString count;                           // the point count edit
    QString humidity[CharRecData::kPoints];  // rows not shown: empty (see CharRecFormFromRecord)
    QString value[CharRecData::kPoints];
    QString coefficient[CharRecData::kCoefficients];  // A, B, C, D
    bool serviceMode = false;
};

// Where the editor puts the input focus after a failure.
enum class CharRecFocus { None, MethodRadio, CountEdit };

struct CharRecValidation {
    bool ok = false;
    CharRecData data;  // the completed block when ok
    QString message;   // one of the messages below when not ok
    CharRecFocus focus = CharRecFocus::None;
};

namespace charrecmsg {
QString SelectMethod();     // "Proszę wybrać metodę pomiaru"
QString PointCount();       // "Liczba punktów ... się\nw przedziale <2, 15>"
QString ArgumentsOrder();   // "Argumenty funkcji charakterystyki ..."
QString ValuesMonotonic();  // "Wartości funkcji charakterystyki ..."
QString AccessDenied();     // "Brak dostępu do charakterystyki - ochrona hasłem"
}  // namespace charrecmsg

// The form as the editor shows `rec`: its flags; the four texts without their
// trailing padding; the dates (a time <= 0 shows as `now`); the count; the
// coefficients and the points in their display formats. Every one of the 15 rows
// is filled, as it shows once the count reveals it.
CharRecForm CharRecFormFromRecord(const CharRecData& rec, bool serviceMode, int32_t now);

// Builds a record from the form in the editor's fixed order of steps, stopping
// at the first failure. `base` supplies the fields the form does not hold
// (REC_NUMBER). Numbers are compared exactly; the direction of the arguments and
// of the values is set by their first two points.
//
// Exact unless edited: `shown` is the form as `base` was shown
// (CharRecFormFromRecord, kept in step when a field's stored value changes). A
// field whose text is still the shown one keeps base's exact value: the texts'
// bytes, the dates, every point and coefficient. Only edited fields are read
// (texts padded, numbers parsed). Rows the list does not show keep base's points
// while the count is as shown, and are 0.0 once the count was edited. Without
// `shown` every field is read from its text.
CharRecValidation ValidateCharRec(const CharRecForm& form, const CharRecData& base,
                                  const CharRecForm* shown = nullptr);

// Password-protected records may only be opened in service mode.
bool CharRecAccessAllowed(const CharRecData& rec, bool serviceMode);
