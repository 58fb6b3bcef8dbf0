// The table of characteristics in core: reading every slot with its bytes,
// the table's edits, and the journaled write of the changed slots.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <cstring>

#include "journal/journal_db.h"
#include "journal/journal_test_support.h"
#include "records/char_rec.h"
#include "session/char_table.h"
#include "session/meter_write.h"
#include "sim/demo_data.h"
#include "support/sim_fixture.h"

namespace {

class Table : public testsupport::SessionWithSim {
protected:
    void SetUp() override {
        SessionWithSim::SetUp();
        FillDemoCharacteristics(sim(), 6);
        sim().ModifyState([](SimMeterState& s) { s.slotCount = 6; });
        journal.path = dir.filePath("journal.sqlite");
        journal.program = QStringLiteral("kv60x");
        journal.busyTimeoutMs = 100;
        session->SetJournal(journal);
        ConnectAndWait();
        ASSERT_TRUE(testsupport::WaitFor([&] { return session->SlotCount() == 6; }, 5000));
    }
    std::vector<JournalEntry> Entries() {
        QString error;
        auto db = JournalDb::Open(journal.path, JournalDb::Mode::Read, &error);
        std::vector<JournalEntry> out;
        for (const JournalEntry& e : db->List({}, &error)) out.push_back(*db->Get(e.id, &error));
        return out;
    }

    QTemporaryDir dir;
    JournalSettings journal;
};

}  // namespace

TEST_F(Table, ReadsEverySlotWithItsBytesAndStopsWhenAskedOrWhenASlotFails) {
    CharTable table(session.get());
    ASSERT_TRUE(table.TakeCountFromMeter());
    ASSERT_EQ(table.Count(), 6);
    std::vector<int> seen;
    const auto all = table.ReadAll(nullptr, [&](int slot, int done) {
        seen.push_back(slot);
        EXPECT_EQ(done, static_cast<int>(seen.size()));
    });
    ASSERT_TRUE(all.ok);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int i = 0; i < 6; ++i) {
        const CharTable::Slot s = table.At(i);
        EXPECT_TRUE(s.read && s.rec.valid && !s.modified) << i;
        EXPECT_EQ(s.image, sim().SlotImage(i)) << i;
    }

    // Stopped after the third slot: the rest stays unread.
    CharTable stopped(session.get());
    stopped.TakeCountFromMeter();
    std::atomic<bool> stop{false};
    const auto part = stopped.ReadAll(&stop, [&](int, int done) { stop = done == 3; });
    EXPECT_TRUE(part.stopped);
    EXPECT_TRUE(stopped.Read(2));
    EXPECT_FALSE(stopped.Read(3));
    EXPECT_FALSE(stopped.Record(3).valid);

    // A slot whose answers stay damaged ends the read, naming it.
    SimFaults bad;
    bad.badChecksumSlots = {4};
    sim().SetFaults(bad);
    CharTable failing(session.get());
    failing.TakeCountFromMeter();
    const auto failed = failing.ReadAll();
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.stopped);
    EXPECT_EQ(failed.failedSlot, 4);
    EXPECT_EQ(failed.report.fault, CharReadReport::Fault::BadChecksum);
    EXPECT_TRUE(failing.Read(3));
    EXPECT_FALSE(failing.Read(4));
}

TEST_F(Table, EditsMarkRowsAndPasteOrImportNeverTakeAnUnreadSource) {
    CharTable table(session.get());
    table.TakeCountFromMeter();
    const std::vector<int> firstThree{0, 1, 2};
    ASSERT_TRUE(table.ReadSlots(firstThree).ok);
    EXPECT_FALSE(table.PasteAvailable());

    ASSERT_TRUE(table.Copy(4));  // unread
    EXPECT_EQ(table.Paste(1), CharTable::PasteResult::NothingHeld);
    ASSERT_TRUE(table.Copy(0));
    EXPECT_EQ(table.Paste(9), CharTable::PasteResult::BadRow);
    EXPECT_EQ(table.Paste(2), CharTable::PasteResult::Pasted);
    EXPECT_EQ(table.Record(2).REC_NUMBER, 2);
    EXPECT_EQ(std::memcmp(table.Record(2).NAME, table.Record(0).NAME, sizeof CharRecData::NAME), 0);
    ASSERT_TRUE(table.Cut(1));
    EXPECT_EQ(table.Record(1), MakeEmptySlot(1));
    EXPECT_EQ(table.Paste(5), CharTable::PasteResult::Pasted);
    EXPECT_EQ(table.ChangedSlots(), (std::vector<int>{1, 2, 5}));

    // A file of three entries, the second never read by the table that wrote it.
    CTableCharRec set;
    set.Put(table.Record(0), 0);
    CharRecData unread = MakeEmptySlot(1);
    unread.valid = 0;
    set.Put(unread, 1);
    CharRecData other = table.Record(0);
    other.REC_NUMBER = 77;  // the row decides the slot, not the number in the file
    set.Put(other, 2);
    CharTable fromFile;  // no meter: the file gives the count
    EXPECT_EQ(fromFile.Import(set, 1700000000), 2);
    EXPECT_EQ(fromFile.Count(), 3);
    EXPECT_EQ(fromFile.ChangedSlots(), (std::vector<int>{0, 2}));
    EXPECT_EQ(fromFile.Record(2).REC_NUMBER, 2);
    EXPECT_EQ(fromFile.Record(2).SAVE_TIME, 1700000000);
    EXPECT_FALSE(fromFile.Record(1).valid);
    CTableCharRec back;
    fromFile.Export(&back);
    EXPECT_EQ(back.Count(), 3);
    EXPECT_FALSE(back.Get(1).valid);
}

TEST_F(Table, WritesOnlyChangedSlotsWithTheBytesBeforeReadFirst) {
    CharTable table(session.get());
    table.TakeCountFromMeter();
    const std::vector<int> firstTwo{0, 1};
    ASSERT_TRUE(table.ReadSlots(firstTwo).ok);
    const CharImage meterSlot3 = sim().SlotImage(3);
    // Slot 0 read and changed; slot 3 changed without being read.
    CharRecData a = table.Record(0);
    a.COMPENS[0] = 0.25;
    table.Edit(0, a, true);
    CharRecData b = table.Record(0);
    b.ENABLE = 0;
    table.Edit(3, b, true);
    sim().ClearReceived();

    WriteBatch batch(*session);
    const auto r = table.WriteChanged(batch);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.written, 2);
    EXPECT_EQ(sim().CountReceived("CR"), 1u) << "only the unread slot is read first";
    EXPECT_EQ(sim().CountReceived("CW"), 2u);
    EXPECT_TRUE(table.ChangedSlots().empty());
    EXPECT_EQ(table.At(3).image, sim().SlotImage(3)) << "the written bytes are what it holds now";

    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].slot, 3);
    EXPECT_EQ(entries[0].before, ImageBytes(meterSlot3));
    EXPECT_EQ(entries[1].slot, 0);

    // The journal locked after the first of two slots: the message says how
    // many reached the meter.
    table.Edit(1, a, true);
    table.Edit(2, a, true);
    WriteBatch second(*session);
    ASSERT_TRUE(second.Open());
    journaltest::RawDb other(journal.path);
    int written = 0;
    const auto partial = table.WriteChanged(second, nullptr, [&](int, int done) {
        written = done;
        if (done == 1) {
            other.Exec("BEGIN EXCLUSIVE");
            other.Exec("DELETE FROM entries");
        }
    });
    other.Exec("ROLLBACK");
    EXPECT_FALSE(partial.ok);
    EXPECT_EQ(written, 1);
    EXPECT_TRUE(partial.message.startsWith("Zapisano 1 z 2; dziennik: "))
        << partial.message.toStdString();
    EXPECT_EQ(table.ChangedSlots(), (std::vector<int>{2}));
}
