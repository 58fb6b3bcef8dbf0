#pragma once

#include <QByteArray>
#include <QString>

// Conversion between the 8-bit code page 1250 texts stored in characteristic
// records and Unicode. Bytes 0x00..0x7F are ASCII; the upper half goes through a
// fixed table. Characters the code page lacks become '?'.

// Decodes every byte of `bytes` (zero bytes included).
QString Cp1250ToUnicode(const QByteArray& bytes);

// Encodes `text`; each UTF-16 unit (or surrogate pair) gives exactly one byte.
QByteArray UnicodeToCp1250(const QString& text);

// Text of a fixed record field: the bytes of `field` up to the first zero byte
// or `fieldSize` bytes, whichever comes first, decoded.
QString FixedFieldToUnicode(const char* field, int fieldSize);

// The text of a fixed record field as an edit field shows it: without the
// trailing spaces that pad it to its length.
QString FixedFieldTextUnpadded(const char* field, int fieldSize);

// Stores `text` in a fixed record field of `length` bytes plus its terminator
// (`field` must hold length + 1 bytes): encoded to code page 1250, padded with
// spaces and cut to exactly `length` bytes, then the zero terminator.
void SetFixedField(char* field, int length, const QString& text);

// The padded/cut bytes alone (length bytes, no terminator).
QByteArray PadToFieldLength(const QByteArray& cp1250, int length);
