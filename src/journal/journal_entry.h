#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

#include "records/char_rec_data.h"

// One change of a meter as the journal keeps it: who wrote what to which meter,
// the value before and after, and how it went.

// What was written.
enum class JournalTarget {
    Characteristic,        // one slot of the table of characteristics
    StartupDate,           // year and month
    SerialNumber,          // the serial number
    VersionLetter,         // the letter after the model (panel type)
    ElectrodeCoefficient,  // the electrode shape coefficient
};

// Pending is stored before the first byte goes to the meter; an entry that
// stays pending was cut short (the program crashed or the meter was unplugged).
// Uncertain: the write was sent but its confirmation never came, so the meter
// may or may not hold the new value.
enum class JournalOutcome { Pending, Confirmed, Failed, Uncertain };

// The meter as the program knew it when it wrote.
struct MeterStamp {
    QString model;   // "KV-606"; empty when unknown
    QString letter;  // version letter; empty when unknown
    std::optional<int> serial;
    QString version;  // "1.05"; empty when unknown
};

// What an entry written by a newer program holds when its kind or its outcome
// is one this program does not know: the keys and the values as stored.
struct JournalUnknown {
    QString targetKey;  // as stored, known or not
    QString outcomeKey;
    std::optional<QByteArray> before;
    QByteArray after;
};

struct JournalEntry {
    int64_t id = 0;
    int64_t timeMs = 0;  // UTC milliseconds since 1970 when the entry was stored
    QString program;     // "kv60x" (the window) or "kv60x-cli"
    QString user;
    MeterStamp meter;
    JournalTarget target = JournalTarget::Characteristic;
    int slot = -1;  // 0-based slot for a characteristic, -1 otherwise
    // Values: the 256-byte wire image for a characteristic, otherwise the text
    // of the value (see the Value functions below). No before value: it was
    // never read.
    std::optional<QByteArray> before;
    QByteArray after;
    JournalOutcome outcome = JournalOutcome::Pending;
    int64_t completedMs = 0;   // 0 while pending
    QString message;           // why it failed
    int64_t restoredFrom = 0;  // the entry whose before value this write brought back
    // Set for an entry of a kind or an outcome this program does not know.
    // `target` and `outcome` then hold whichever of the two is known and their
    // defaults otherwise, and `before` and `after` stay empty (the values are
    // in `unknown`): nothing may take such an entry for a write it could
    // restore or read its values as those of `target`.
    std::optional<JournalUnknown> unknown;
};

// Keys stored in the database (stable, not translated).
QString TargetKey(JournalTarget target);
std::optional<JournalTarget> TargetFromKey(const QString& key);
QString OutcomeKey(JournalOutcome outcome);
std::optional<JournalOutcome> OutcomeFromKey(const QString& key);

// The keys of an entry: for one of an unknown kind or outcome, as stored.
QString TargetKey(const JournalEntry& entry);
QString OutcomeKey(const JournalEntry& entry);

// Polish texts for the user.
QString TargetText(JournalTarget target, int slot);  // "Charakterystyka nr 5", "Numer seryjny"
QString OutcomeText(JournalOutcome outcome);         // "potwierdzony", ...
QString MeterText(const MeterStamp& meter);          // "KV-606A nr 1234"
// The texts of an entry, which may be of a kind or an outcome this program
// does not know: "nieznany rodzaj (<key>)", "nieznany wynik (<key>)".
QString TargetText(const JournalEntry& entry);
QString OutcomeText(const JournalEntry& entry);

// The stored form of each kind of value, and back. Parsing fails (nullopt) on
// anything these functions would not have written.
QByteArray CharacteristicValue(const CharRecData& rec);  // the 256-byte image
std::optional<CharRecData> CharacteristicFromValue(const QByteArray& value, int slot);
QByteArray StartupDateValue(int year, int month);  // "2009-08"
std::optional<std::pair<int, int>> StartupDateFromValue(const QByteArray& value);
QByteArray SerialNumberValue(int serial);  // "1234"
std::optional<int> SerialNumberFromValue(const QByteArray& value);
QByteArray VersionLetterValue(char letter);  // the one byte as the meter has it
std::optional<char> VersionLetterFromValue(const QByteArray& value);
// "%.17g", so that the exact double reads back.
QByteArray CoefficientValue(double coefficient);
std::optional<double> CoefficientFromValue(const QByteArray& value);

// A value for the user: the value text, or for a characteristic its name and
// code; "(nieodczytana)" when there is none.
QString JournalValueText(JournalTarget target, const std::optional<QByteArray>& value);
