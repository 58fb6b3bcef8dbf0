#pragma once

#include <QByteArray>
#include <QString>

#include "records/char_rec.h"
#include "records/char_rec_data.h"

// Readable forms of the record (.kvr) and record set (.kvz) files: JSON (both
// ways), CSV and a Polish text listing. Every field of the block is shown under
// its record field name; texts are decoded from code page 1250 up to their
// terminator; numbers use a full stop and, in JSON and CSV, "%.17g", so that
// every double reads back exactly.

// One record: {"VERSION": 1, "REC_NUMBER": ..., ..., "valid": ...}.
QByteArray RecordToJson(const CharRecData& rec);
// A set: {"VERSION": 1, "RECORDS": [ {record without VERSION}, ... ]}.
QByteArray RecordSetToJson(const CTableCharRec& set);

QByteArray RecordToCsv(const CharRecData& rec);
QByteArray RecordSetToCsv(const CTableCharRec& set);

QString RecordToText(const CharRecData& rec);
QString RecordSetToText(const CTableCharRec& set);

enum class JsonFileKind { Invalid, Record, RecordSet };

// Reads a JSON document written by the functions above (or prepared by hand in
// the same form). Strict: every field must be present with its type and range,
// texts must fit their field in code page 1250, and no other key may appear.
// On failure `error` holds one line saying what is wrong and where.
JsonFileKind ParseRecordJson(const QByteArray& json, CharRecData* rec, CTableCharRec* set,
                             QString* error);

// The editor's validation run on a form built from the record's own fields (in
// service mode, so that the password flag stays as it is), plus a check that
// every number is finite. Empty when the record may be written; otherwise the
// validation's message as it stands.
QString CheckRecordForWrite(const CharRecData& rec);

// A JSON string literal of `text` (quotes included).
QByteArray JsonQuoted(const QString& text);

// Exact text of a double ("%.17g", "C" locale whatever the process locale);
// -0.0 is written as 0, "null" for what JSON cannot hold (NaN, infinities).
QByteArray ExactNumber(double value);
