#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "journal/journal_entry.h"
#include "journal/journal_settings.h"
#include "meter/char_image.h"

class Ckv60xDriver;
class JournalDb;
class MeterSession;

// Every write to a meter goes through here: the window's dialogs, the table,
// restore and kv60x-cli. A write is described by a `MeterWrite` (what goes
// where, in the journal's stored form), run by a `WriteBatch` (one operation's
// journal on one thread) and reported as a `WriteOutcome`.
//
// The order never changes: the limits are checked, the value the meter holds
// is compared (an equal value is neither sent nor journaled), the entry is
// stored as pending, the meter is written, the entry is completed. When the
// entry cannot be stored, nothing is sent. A write the meter did not confirm
// in time may still have reached it: the value is read back, and the entry
// says confirmed (the new value is there), failed (the old one is) or, when
// nothing can be read, uncertain ("niepewny").

// One write: the target, its slot (characteristics), the value after and,
// where the program read it, the value before, all in the stored forms of
// journal_entry.h (a characteristic is its 256-byte wire image, sent as it
// stands).
struct MeterWrite {
    JournalTarget target = JournalTarget::Characteristic;
    int slot = -1;
    QByteArray after;
    // Characteristics only: the bytes the slot held as the program read them
    // (nullopt: unread). Service values take theirs from the meter.
    std::optional<QByteArray> before;
    // Characteristics only: an image equal to `before` is not sent. Service
    // values are never sent again unchanged.
    bool skipUnchanged = false;
    int64_t restoredFrom = 0;  // the entry whose value before this write brings back

    static MeterWrite Characteristic(int slot, const CharImage& image,
                                     const std::optional<QByteArray>& before);
    static MeterWrite Characteristic(const CharRecData& rec,
                                     const std::optional<QByteArray>& before);
    static MeterWrite StartupDate(int year, int month);
    static MeterWrite SerialNumber(int serial);
    static MeterWrite VersionLetter(char letter);
    static MeterWrite ElectrodeCoefficient(double coefficient);
};

// The 256 bytes of an image, and back (nullopt unless exactly 256 bytes).
QByteArray ImageBytes(const CharImage& image);
std::optional<CharImage> ImageFromBytes(const QByteArray& bytes);

enum class WriteStatus {
    Confirmed,       // the meter confirmed the value
    Unchanged,       // the meter holds it already: nothing sent, no entry
    MeterFailed,     // not taken: refused, or a read-back shows the old value
    Unconfirmed,     // sent, not confirmed, and not readable back: the meter may
                     // hold either value; the entry says "niepewny"
    Refused,         // outside the meter's limits: nothing sent, no entry
    JournalBlocked,  // the entry could not be stored: nothing sent
};

struct WriteOutcome {
    WriteStatus status = WriteStatus::MeterFailed;
    int64_t entryId = 0;  // the entry stored; 0 when none
    // Refused: the limit's message. JournalBlocked: why the journal could not
    // take the entry (one sentence naming the file). Confirmed or MeterFailed:
    // set when the entry could not be completed and stays pending.
    QString message;

    // The meter holds the value asked for.
    bool ok() const { return status == WriteStatus::Confirmed || status == WriteStatus::Unchanged; }
    // Something went to the meter.
    bool sent() const {
        return status == WriteStatus::Confirmed || status == WriteStatus::MeterFailed ||
               status == WriteStatus::Unconfirmed;
    }
    // What a failed write says: the limit's message, the journal's ending in
    // "Nic nie zapisano do miernika.", or `meterFailure` (followed by the
    // journal's note when it has one). Empty when ok() and the journal has
    // nothing to add.
    QString Text(const QString& meterFailure) const;
};

// The message of a meter failure of each target ("Nie można zapisać daty
// uruchamiania", ... ; a characteristic names its slot).
QString WriteFailureText(JournalTarget target, int slot);

// A value before the meter is asked: the limits of each target, the message
// of a value refused (empty when it may be sent). A stored value that does not
// parse is refused as well.
QString CheckWriteLimits(const MeterWrite& write);

// "... Nic nie zapisano do miernika.": the message of a write the journal stopped.
QString JournalBlockedText(const QString& why);
// A pass of several writes that the journal stopped after `written` of
// `total` had reached the meter: "Zapisano 4 z 20; dziennik: <why>", never
// that nothing was written.
QString JournalStoppedPassText(int written, int total, const QString& why);

// The journal of one operation (a table write, one dialog's OK, one command),
// used on one thread: a connection of the journal is used only on the thread
// that opened it. Made with the session's journal settings (on any thread),
// opened on the thread that writes (by Open, or by the first write that needs
// an entry), closed when destroyed or by Close.
class WriteBatch {
public:
    explicit WriteBatch(MeterSession& session);
    ~WriteBatch();
    WriteBatch(const WriteBatch&) = delete;
    WriteBatch& operator=(const WriteBatch&) = delete;

    // Opens the journal on this thread now, so that a journal that cannot be
    // written stops the operation before the meter is touched. True when open
    // or journaling is off; otherwise false with Message() set.
    bool Open();
    // Journaling is on for this batch.
    bool Journaled() const { return m_settings.Enabled(); }
    // Runs one write (see the order above).
    WriteOutcome Write(const MeterWrite& write);
    // Why the journal could not be opened (a sentence naming the file; see
    // JournalBlockedText for the message of the stopped write).
    QString Message() const { return m_message; }
    void Close();

private:
    MeterSession& m_session;
    JournalSettings m_settings;
    std::unique_ptr<JournalDb> m_db;
    QString m_message;
};

// The meter as the driver last polled it, for the journal's entry.
MeterStamp StampFromDriver(const Ckv60xDriver& driver);
