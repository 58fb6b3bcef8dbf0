#pragma once

#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "meter/char_image.h"
#include "meter/char_read.h"
#include "records/char_rec_data.h"
#include "session/meter_write.h"

class CTableCharRec;
class MeterSession;
class WriteBatch;

// The meter's table of characteristics as the program holds it: per slot the
// record, whether the meter's answer for it arrived (with its 256 bytes as
// they came, or the bytes written there since), and whether it was changed
// here and waits to be written. The table window, the editor's table rows and
// kv60x-cli's table and record commands all keep their slots here.
//
// A slot the table holds no record for is unread (`valid` 0): every slot until
// the meter's answer for it arrives, and those a failed or stopped read never
// reached, or an import left without a record. It is never written.
//
// Thread use: ReadAll, ReadSlots and WriteChanged run on a worker thread (or
// on the command line's only thread) and may take minutes; the editing
// operations run on the owner's thread while none of them runs (the window
// locks its controls meanwhile). Every member takes the table's lock, so a
// view may read the rows while a worker fills them.
class CharTable {
public:
    static constexpr int kMaxSlots = 150;

    // `session` null: a table without a meter (files only).
    explicit CharTable(MeterSession* session = nullptr);

    struct Slot {
        CharRecData rec;  // valid 0: no record held
        bool read = false;
        CharImage image{};  // meaningful when read
        bool modified = false;
    };

    // ---- the slot count

    // From the meter's last polled count, at most kMaxSlots: true. Without
    // one, every slot (kMaxSlots) and false.
    bool TakeCountFromMeter();
    // The meter fixed the count (TakeCountFromMeter succeeded).
    bool CountFromMeter() const;
    int Count() const;
    // A table of `count` unread slots (files only, or a count given by a file).
    void Reset(int count);

    Slot At(int i) const;
    CharRecData Record(int i) const;
    bool Modified(int i) const;
    bool Read(int i) const;
    // The slots changed and holding a record: what WriteChanged writes.
    std::vector<int> ChangedSlots() const;

    // ---- reading from the meter

    struct ReadResult {
        bool ok = true;
        bool stopped = false;  // `stop` was set: the rest stays as it was
        int failedSlot = -1;   // 0-based
        CharReadReport report;
    };
    // Called after each slot that arrived, on the reading thread, with the
    // slot and the count of slots done so far.
    using SlotDone = std::function<void(int slot, int done)>;
    // Reads every slot, in order, until one fails or `stop` is set between two
    // slots. A slot read takes the record and its bytes; a slot not reached
    // keeps what it held. A modified slot keeps the user's record and only
    // learns the meter's bytes.
    ReadResult ReadAll(const std::atomic<bool>* stop = nullptr, const SlotDone& done = nullptr);
    // The same for the slots `which` (0-based, in that order).
    ReadResult ReadSlots(const std::vector<int>& which, const std::atomic<bool>* stop = nullptr,
                         const SlotDone& done = nullptr);

    // ---- editing (owner's thread)

    // The record edited in the editor goes back to its row; `changed` marks it.
    void Edit(int i, const CharRecData& rec, bool changed);
    // May the row be opened (a password-protected record needs service mode)?
    bool MayOpen(int i, bool serviceMode) const;
    // Cut: the row becomes an empty slot and the record is held for pasting.
    bool Cut(int i);
    bool Copy(int i);
    bool PasteAvailable() const;
    enum class PasteResult { Pasted, BadRow, NothingHeld };
    PasteResult Paste(int i);
    // An imported set: record i of the file goes to row i with the save time
    // `now`, marked changed; rows the file has no record for become unread.
    // A table whose count the meter did not fix takes the file's count.
    // Returns the rows that took a record.
    int Import(const CTableCharRec& set, int32_t now);
    // The rows as a record set (unread rows as entries with valid 0).
    void Export(CTableCharRec* set) const;

    // ---- writing to the meter

    struct WriteResult {
        bool ok = true;
        bool stopped = false;
        int written = 0;                // slots the meter confirmed (or held already)
        int total = 0;                  // slots to write
        int failedSlot = -1;            // 0-based
        QString message;                // why it stopped
        bool beforeReadFailed = false;  // reading the values before failed: nothing written
        // The write that stopped the pass (its status tells a meter failure
        // from a refusal or a journal that stopped it; JournalBlocked also for
        // a journal that could not be opened). None when no write failed.
        std::optional<WriteOutcome> failedWrite;
    };
    // Writes every changed slot holding a record to its slot, through the
    // batch's journal. With a journal on, each slot whose bytes the table does
    // not know is read first, before anything is written, so that its entry
    // holds the value before. A confirmed slot takes the bytes written and is
    // no longer changed; the first failure stops the pass.
    WriteResult WriteChanged(WriteBatch& batch, const std::atomic<bool>* stop = nullptr,
                             const SlotDone& done = nullptr);

private:
    ReadResult ReadList(const std::vector<int>& which, const std::atomic<bool>* stop,
                        const SlotDone& done);

    MeterSession* m_session = nullptr;
    mutable std::mutex m_lock;  // guards every member below
    std::array<Slot, kMaxSlots> m_slots;
    int m_count = 0;
    bool m_countFromMeter = false;
    std::optional<CharRecData> m_cut;  // a cut record held for pasting
    int m_copySource = -1;
};
