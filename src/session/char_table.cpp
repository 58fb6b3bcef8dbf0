#include "session/char_table.h"

#include <algorithm>

#include "records/char_rec.h"
#include "records/char_rec_validation.h"
#include "session/meter_session.h"
#include "session/meter_write.h"

namespace {

using Lock = std::lock_guard<std::mutex>;

// A slot the table holds no record for: all zero, valid 0.
CharRecData UnreadSlot(int index) {
    CharRecData d;
    d.REC_NUMBER = static_cast<uint8_t>(index);
    d.valid = 0;
    return d;
}

bool Stopping(const std::atomic<bool>* stop) {
    return stop && stop->load();
}

}  // namespace

CharTable::CharTable(MeterSession* session) : m_session(session) {
    for (int i = 0; i < kMaxSlots; ++i) m_slots[static_cast<size_t>(i)].rec = UnreadSlot(i);
}

bool CharTable::TakeCountFromMeter() {
    const int count = m_session ? m_session->SlotCount(kMaxSlots) : -1;
    Lock lock(m_lock);
    m_countFromMeter = count >= 0;
    // The table has room for 150 slots; a meter reporting more shows the first 150.
    m_count = m_countFromMeter ? count : kMaxSlots;
    return m_countFromMeter;
}

bool CharTable::CountFromMeter() const {
    Lock lock(m_lock);
    return m_countFromMeter;
}

int CharTable::Count() const {
    Lock lock(m_lock);
    return m_count;
}

void CharTable::Reset(int count) {
    Lock lock(m_lock);
    m_count = std::clamp(count, 0, kMaxSlots);
    m_countFromMeter = false;
    for (int i = 0; i < kMaxSlots; ++i) m_slots[static_cast<size_t>(i)] = Slot{UnreadSlot(i)};
    m_cut.reset();
    m_copySource = -1;
}

CharTable::Slot CharTable::At(int i) const {
    Lock lock(m_lock);
    if (i < 0 || i >= kMaxSlots) return Slot{UnreadSlot(0)};
    return m_slots[static_cast<size_t>(i)];
}

CharRecData CharTable::Record(int i) const {
    return At(i).rec;
}

bool CharTable::Modified(int i) const {
    return At(i).modified;
}

bool CharTable::Read(int i) const {
    return At(i).read;
}

std::vector<int> CharTable::ChangedSlots() const {
    Lock lock(m_lock);
    std::vector<int> out;
    for (int i = 0; i < m_count; ++i) {
        const Slot& s = m_slots[static_cast<size_t>(i)];
        if (s.modified && s.rec.valid) out.push_back(i);
    }
    return out;
}

// ---------------------------------------------------------------- reading

CharTable::ReadResult CharTable::ReadAll(const std::atomic<bool>* stop, const SlotDone& done) {
    std::vector<int> all(static_cast<size_t>(Count()));
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int>(i);
    return ReadList(all, stop, done);
}

CharTable::ReadResult CharTable::ReadSlots(const std::vector<int>& which,
                                           const std::atomic<bool>* stop, const SlotDone& done) {
    return ReadList(which, stop, done);
}

CharTable::ReadResult CharTable::ReadList(const std::vector<int>& which,
                                          const std::atomic<bool>* stop, const SlotDone& done) {
    ReadResult result;
    int count = 0;
    for (int i : which) {
        if (Stopping(stop)) {
            result.ok = false;
            result.stopped = true;
            return result;
        }
        CharRecData rec;
        CharReadReport report;
        if (!m_session || i < 0 || i >= kMaxSlots ||
            !m_session->ReadCharacteristic(i, &rec, &report)) {
            result.ok = false;
            result.failedSlot = i;
            result.report = report;
            result.report.slot = i;
            return result;
        }
        {
            Lock lock(m_lock);
            Slot& s = m_slots[static_cast<size_t>(i)];
            // The record belongs to the slot asked for.
            rec.REC_NUMBER = static_cast<uint8_t>(i);
            if (!s.modified) s.rec = rec;
            s.read = true;
            s.image = report.image;
        }
        ++count;
        if (done) done(i, count);
    }
    return result;
}

// ---------------------------------------------------------------- editing

void CharTable::Edit(int i, const CharRecData& rec, bool changed) {
    Lock lock(m_lock);
    if (i < 0 || i >= m_count) return;
    Slot& s = m_slots[static_cast<size_t>(i)];
    s.rec = rec;
    s.rec.REC_NUMBER = static_cast<uint8_t>(i);
    if (changed) s.modified = true;
}

bool CharTable::MayOpen(int i, bool serviceMode) const {
    return CharRecAccessAllowed(Record(i), serviceMode);
}

bool CharTable::Cut(int i) {
    Lock lock(m_lock);
    if (i < 0 || i >= m_count) return false;
    Slot& s = m_slots[static_cast<size_t>(i)];
    if (m_copySource == i) m_copySource = -1;
    m_cut = s.rec;
    s.rec = MakeEmptySlot(i);
    s.modified = true;
    return true;
}

bool CharTable::Copy(int i) {
    Lock lock(m_lock);
    m_cut.reset();
    m_copySource = i >= 0 && i < m_count ? i : -1;
    return m_copySource >= 0;
}

bool CharTable::PasteAvailable() const {
    Lock lock(m_lock);
    return m_copySource >= 0 || m_cut.has_value();
}

CharTable::PasteResult CharTable::Paste(int i) {
    Lock lock(m_lock);
    if (i < 0 || i >= m_count) return PasteResult::BadRow;
    // An unread source holds nothing to paste.
    const bool haveSource = m_cut ? m_cut->valid != 0
                                  : m_copySource >= 0 && m_copySource < m_count &&
                                        m_slots[static_cast<size_t>(m_copySource)].rec.valid != 0;
    if (!haveSource) return PasteResult::NothingHeld;
    CharRecData source = m_cut ? *m_cut : m_slots[static_cast<size_t>(m_copySource)].rec;
    source.REC_NUMBER = static_cast<uint8_t>(i);
    Slot& s = m_slots[static_cast<size_t>(i)];
    s.rec = source;
    s.modified = true;
    return PasteResult::Pasted;
}

int CharTable::Import(const CTableCharRec& set, int32_t now) {
    Lock lock(m_lock);
    const int fileCount = std::clamp(set.Count(), 0, kMaxSlots);
    if (!m_countFromMeter) m_count = fileCount;
    int taken = 0;
    for (int i = 0; i < m_count; ++i) {
        Slot& s = m_slots[static_cast<size_t>(i)];
        // An entry with valid 0 (a slot the exporting table had not read) holds
        // no record: like a missing entry it changes nothing to be written.
        if (i < fileCount && set.Get(i).valid) {
            // Row i is slot i, whatever number the file's block carries.
            s.rec = set.Get(i);
            s.rec.REC_NUMBER = static_cast<uint8_t>(i);
            s.rec.SAVE_TIME = now;
            s.modified = true;
            ++taken;
        } else {
            s.rec.ENABLE = 0;
            s.rec.valid = 0;
        }
    }
    return taken;
}

void CharTable::Export(CTableCharRec* set) const {
    Lock lock(m_lock);
    for (int i = 0; i < m_count; ++i) set->Put(m_slots[static_cast<size_t>(i)].rec, i);
}

// ---------------------------------------------------------------- writing

CharTable::WriteResult CharTable::WriteChanged(WriteBatch& batch, const std::atomic<bool>* stop,
                                               const SlotDone& done) {
    WriteResult result;
    const std::vector<int> todo = ChangedSlots();
    result.total = static_cast<int>(todo.size());
    if (todo.empty()) return result;
    if (!batch.Open()) {
        result.ok = false;
        result.failedWrite = WriteOutcome{WriteStatus::JournalBlocked, 0, batch.Message()};
        result.message = JournalBlockedText(batch.Message());
        return result;
    }
    // Safety before speed: with a journal, every slot about to be overwritten
    // whose bytes are unknown is read first, so that its entry can give it back.
    if (batch.Journaled()) {
        std::vector<int> unknown;
        for (int i : todo) {
            if (!Read(i)) unknown.push_back(i);
        }
        const ReadResult read = ReadList(unknown, stop, nullptr);
        if (!read.ok) {
            result.ok = false;
            result.stopped = read.stopped;
            result.beforeReadFailed = !read.stopped;
            result.failedSlot = read.failedSlot;
            result.message = read.stopped ? QString() : SlotReadFailureText(read.report);
            return result;
        }
    }
    for (int i : todo) {
        if (Stopping(stop)) {
            result.ok = false;
            result.stopped = true;
            return result;
        }
        const Slot slot = At(i);
        CharRecData rec = slot.rec;
        rec.REC_NUMBER = static_cast<uint8_t>(i);
        const CharImage image = EncodeCharImage(rec);
        const std::optional<QByteArray> before =
            slot.read ? std::optional<QByteArray>(ImageBytes(slot.image)) : std::nullopt;
        const WriteOutcome outcome = batch.Write(MeterWrite::Characteristic(i, image, before));
        if (!outcome.ok()) {
            result.ok = false;
            result.failedSlot = i;
            result.failedWrite = outcome;
            // Part of the pass reached the meter: the message says how much,
            // never that nothing was written.
            if (outcome.status == WriteStatus::JournalBlocked && result.written > 0) {
                result.message =
                    JournalStoppedPassText(result.written, result.total, outcome.message);
            } else {
                result.message = outcome.Text(WriteFailureText(JournalTarget::Characteristic, i));
            }
            return result;
        }
        {
            // What the meter holds now, the value before of a later write.
            Lock lock(m_lock);
            Slot& s = m_slots[static_cast<size_t>(i)];
            s.read = true;
            s.image = image;
            s.modified = false;
        }
        ++result.written;
        if (!outcome.message.isEmpty() && result.message.isEmpty())
            result.message = outcome.message;
        if (done) done(i, result.written);
    }
    return result;
}
