#pragma once

#include <QString>

// What the meter takes for its commissioning data, with the message the user
// sees when a value is refused. Both the service dialogs and kv60x-cli check
// their input here, so they refuse the same values with the same words.

// The years the meter can hold: it reports the year as two digits after 2000,
// so a later year could be written but never read back.
constexpr int kMinStartupYear = 2000;
constexpr int kMaxStartupYear = 2099;
constexpr int kMinStartupMonth = 1;
constexpr int kMaxStartupMonth = 12;
// A serial number has no upper limit of its own (any int).
constexpr int kMinSerialNumber = 1;

// Which part of a startup date was refused.
enum class StartupDateField { None, Year, Month };

// Checks the year, then the month, on the numbers as typed (before they are
// narrowed to the meter's fields). Returns an empty text when the date may be
// written, otherwise the message for the first wrong field, which `wrong`
// (when given) names.
QString CheckStartupDate(int year, int month, StartupDateField* wrong = nullptr);

// Empty when the serial number may be written, otherwise the message.
QString CheckSerialNumber(int serialNumber);

// Empty when the byte may be written as the version letter, otherwise the
// message: a control character (NUL, CR, LF, ...) would break the meter's
// command line.
QString CheckVersionLetter(char letter);

// The byte written as the version letter for a typed text: its first character
// in the meter's code page, a space when the text is empty.
char VersionLetterFor(const QString& text);
