#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "journal/journal_entry.h"
#include "journal/journal_settings.h"
#include "records/char_rec_data.h"
#include "session/meter_write.h"

class Ckv60xDriver;
class JournalDb;

// The journal of the writes of one operation (a table write, one dialog's OK,
// one command), opened on the thread that writes, which alone may use it.
//
// Run stores the entry as pending before the write starts, and only then
// writes; afterwards it completes the entry as confirmed (the write returned
// true) or failed. A crash or an unplugged meter in between leaves the entry
// pending, so the journal says that the meter may hold either value.
class MeterJournal {
public:
    // Opens the journal file for writing. nullptr with `message` set (naming
    // the file) when it cannot be written: then nothing may go to the meter.
    static std::unique_ptr<MeterJournal> Open(const JournalSettings& settings, QString* message);
    ~MeterJournal();
    MeterJournal(const MeterJournal&) = delete;
    MeterJournal& operator=(const MeterJournal&) = delete;

    struct Result {
        bool ok = false;         // the meter confirmed the write; false when it failed
                                 // or the journal stopped it
        bool attempted = false;  // the write ran
        QString journalMessage;  // set when the journal failed (before or after the write)
        int64_t entryId = 0;     // the entry stored, 0 when none
    };
    // Program and user come from the settings; `entry` holds the rest.
    Result Run(JournalEntry entry, const std::function<bool()>& write);

    const JournalSettings& Settings() const { return m_settings; }

private:
    MeterJournal() = default;
    JournalSettings m_settings;
    std::unique_ptr<JournalDb> m_db;
};

// The writes of the program through the journal. `journal` may be nullptr: the
// write is then done without an entry (--no-journal). A value the driver would
// skip as unchanged (equal to what it last read) sends nothing and gets no
// entry. Each returns the Result of MeterJournal::Run (a skipped write: ok and
// attempted true, no entry).

// `before`: the slot's content as the program read it, nullptr when unread.
MeterJournal::Result JournaledCharacteristicWrite(MeterJournal* journal, Ckv60xDriver& driver,
                                                  const CharRecData* before, const CharRecData& rec,
                                                  int64_t restoredFrom = 0);
// The same with the 256 bytes the meter sent for the slot (nullopt: unread).
MeterJournal::Result JournaledCharacteristicWrite(MeterJournal* journal, Ckv60xDriver& driver,
                                                  const std::optional<QByteArray>& beforeImage,
                                                  const CharRecData& rec, int64_t restoredFrom = 0);
MeterJournal::Result JournaledStartupDate(MeterJournal* journal, Ckv60xDriver& driver,
                                          uint16_t year, uint8_t month, int64_t restoredFrom = 0);
MeterJournal::Result JournaledSerialNumber(MeterJournal* journal, Ckv60xDriver& driver, int serial,
                                           int64_t restoredFrom = 0);
MeterJournal::Result JournaledVersionLetter(MeterJournal* journal, Ckv60xDriver& driver,
                                            char letter, int64_t restoredFrom = 0);
// The value before is the coefficient the driver last read ("KR").
MeterJournal::Result JournaledElectrodeCoefficient(MeterJournal* journal, Ckv60xDriver& driver,
                                                   double coefficient, int64_t restoredFrom = 0);

// The journal of one operation of a dialog, whose steps run one after another
// on its worker thread (see DeviceOperation): the first step opens it, the
// others write through it, and it is closed by the last one or by the one that
// fails, all on that thread. Journaling off (no path): Get() is nullptr.
class WorkerJournal {
public:
    explicit WorkerJournal(JournalSettings settings) : m_settings(std::move(settings)) {}
    // False with Message() set when the journal cannot be written.
    bool Open();
    MeterJournal* Get() { return m_journal.get(); }
    void Close() { m_journal.reset(); }
    // Takes a write's result: true when the meter confirmed it. Otherwise the
    // journal is closed, and Message() says why when the journal was the cause
    // (empty for a meter failure, which the dialog tells in its own words).
    bool Take(const MeterJournal::Result& result);
    QString Message() const { return m_message; }
    // The dialog's own failure text, or the journal's message when there is one.
    QString FailureText(const QString& meterFailure) const {
        return m_message.isEmpty() ? meterFailure : m_message;
    }

private:
    JournalSettings m_settings;
    std::unique_ptr<MeterJournal> m_journal;
    QString m_message;
};
