#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "journal/journal_entry.h"
#include "meter/meter_records.h"
#include "records/char_rec_data.h"
#include "session/char_diff.h"

class CharTable;
class CTableCharRec;

// What a meter report holds, independent of how it is drawn: the report's own
// data (when, which program, which account), the meter's identity and state,
// every slot with its optional comparison against a reference file, the
// journal entries of the meter and an optional list of verification results
// (what a commissioning adds). The window and kv60x-cli fill it through
// CollectMeterReport (meter_report.h) or the functions below; RenderReportPdf
// (report_pdf.h) draws it.

// The meter as the report shows it: one snapshot's records and the electrode
// shape coefficient read for the report.
struct ReportMeter {
    MeterIdentity identity;
    SerialNumberData serialNumber;
    StartupDate startupDate;
    MeterCondition condition;
    TemperatureReading temperature;
    CharacteristicCount count;
    ElectrodeCoefficient electrode;
};

// One slot's comparison with the reference file.
struct ReportComparison {
    enum class Kind {
        Compared,   // `differences` says how it went (empty: the slot matches)
        NotInFile,  // the file has no record for this slot
        NotRead,    // the meter's slot was not read: nothing to compare
    };
    Kind kind = Kind::Compared;
    std::vector<FieldDifference> differences;
};

struct ReportSlot {
    int slot = 0;     // 0-based
    CharRecData rec;  // valid 0: unread (the table holds no record for it)
    std::optional<ReportComparison> comparison;
};

// One line of a verification list: what was checked, what was found, and
// whether it passed.
struct ReportCheck {
    QString what;
    QString result;
    bool passed = true;
};

struct MeterReport {
    QDateTime created;       // local time of the report
    QString programVersion;  // KV60X_VERSION
    QString user;            // the account the program runs as
    // Service mode: the curves of password-protected records are shown.
    bool serviceMode = false;

    // The meter reported; none for a report of a set file.
    std::optional<ReportMeter> meter;
    // The set file reported (a report without a meter).
    QString setFile;

    std::vector<ReportSlot> table;

    // The reference file the slots were compared with (empty: no comparison)
    // and the number of records it holds.
    QString referenceFile;
    int referenceCount = 0;

    // The journal entries of the meter's serial number, newest first; none
    // when the journal was not read.
    struct Journal {
        QString path;
        std::optional<QDate> since;  // entries from this local day on
        std::vector<JournalEntry> entries;
    };
    std::optional<Journal> journal;

    // Verification results (a commissioning's); no section when empty.
    QString verificationTitle = QStringLiteral("Weryfikacja");
    std::vector<ReportCheck> verification;
};

// A report made now, by this program and account, in the given mode.
MeterReport NewMeterReport(bool serviceMode);

// The meter's part from one snapshot and the coefficient read for the report.
ReportMeter ReportMeterOf(const MeterSnapshot& snapshot, const ElectrodeCoefficient& electrode);

// Every slot of the table, in order (unread ones with valid 0).
void AddTableSlots(MeterReport* report, const CharTable& table);
// Every block of a set file, in order (a block stored as not valid is unread).
void AddSetSlots(MeterReport* report, const CTableCharRec& set, const QString& path);

// Compares every slot of the report with the reference file, as the meter
// holds it (the table's bytes of each read slot) against what a write of the
// file's record to that slot would send (CompareSlot, in the report's mode).
void CompareWithReference(MeterReport* report, const CharTable& table,
                          const CTableCharRec& reference, const QString& path);

// Reads the journal entries of `serial` (from the local day `since` on, when
// given) from the journal at `path`, opened to read on the calling thread. A
// missing file is an empty journal. False with `error` (one Polish sentence
// naming the file) when it cannot be read.
bool AddJournalEntries(MeterReport* report, const QString& path, int serial,
                       std::optional<QDate> since, int busyTimeoutMs, QString* error);

// How the report words a slot's state: "Aktywna", "Nieaktywna", "Pusta" (a
// slot with no curve: inactive, every point 0) or "Nieodczytana".
QString SlotStateText(const CharRecData& rec);
// Whether the report shows the curve (coefficients, points, graph) of a record.
bool CurveShown(const CharRecData& rec, bool serviceMode);
