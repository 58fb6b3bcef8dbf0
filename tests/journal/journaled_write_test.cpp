// Every kind of meter write through the journal, against the simulated meter:
// the entry is stored before the write, completed after it, and blocks the
// write when it cannot be stored; restoring brings the old value back.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "journal/journal_db.h"
#include "journal/journal_restore.h"
#include "journal/journal_test_support.h"
#include "journal/journaled_write.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

using journaltest::RawDb;

namespace {

CharRecData Material(int slot, const char* name, float rh0) {
    CharRecData r = MakeEmptySlot(slot);
    r.ENABLE = 1;
    r.METHOD = 1;
    r.ACTIVE = 3;
    r.RH[0] = rh0;
    r.RH[1] = 12.3456f;
    r.RH[2] = 30.0f;
    r.VALUE[0] = 0.5123456f;
    r.VALUE[1] = 101.234567f;
    r.VALUE[2] = 250.0f;
    r.COMPENS[2] = 1.234567e-6f;
    r.COMPENS[3] = 1.5e-8f;
    r.CREATE_TIME = 1250000000;
    r.SAVE_TIME = 1260000000;
    SetFixedField(r.NAME, CharRecData::kNameLen, QString::fromUtf8(name));
    SetFixedField(r.CODE, CharRecData::kCodeLen, QStringLiteral("P01"));
    return r;
}

class JournaledWrite : public testsupport::DriverWithSim {
protected:
    void SetUp() override {
        DriverWithSim::SetUp();
        settings.path = dir.filePath("journal.sqlite");
        settings.program = QStringLiteral("kv60x");
        settings.user = QStringLiteral("anna");
        settings.busyTimeoutMs = 100;
    }
    std::unique_ptr<MeterJournal> OpenJournal() {
        QString message;
        auto j = MeterJournal::Open(settings, &message);
        EXPECT_TRUE(j) << message.toStdString();
        return j;
    }
    std::vector<JournalEntry> Entries() {
        QString error;
        auto db = JournalDb::Open(settings.path, JournalDb::Mode::Read, &error);
        std::vector<JournalEntry> out;
        EXPECT_TRUE(db) << error.toStdString();
        if (!db) return out;
        for (const JournalEntry& e : db->List({}, &error)) {
            if (auto full = db->Get(e.id, &error)) out.push_back(*full);
        }
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return out;
    }
    CharRecData ReadSlot(int slot) {
        CharRecData rec;
        EXPECT_TRUE(driver->ReadCharacteristic(slot, rec));
        return rec;
    }

    QTemporaryDir dir;
    JournalSettings settings;
};

}  // namespace

TEST_F(JournaledWrite, UnchangedValuesAndUnreadBlocksSendNothingAndLeaveNoEntry) {
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    sim().ClearReceived();
    EXPECT_TRUE(JournaledSerialNumber(journal.get(), *driver, 17).ok);
    EXPECT_TRUE(JournaledStartupDate(journal.get(), *driver, 2009, 8).ok);
    EXPECT_TRUE(JournaledVersionLetter(journal.get(), *driver, 'A').ok);
    CharRecData unread = MakeEmptySlot(2);
    unread.valid = 0;
    EXPECT_TRUE(JournaledCharacteristicWrite(journal.get(), *driver, nullptr, unread).ok);
    EXPECT_TRUE(Entries().empty());
    for (const char* command : {"SW", "DW", "VW", "CW"})
        EXPECT_EQ(sim().CountReceived(command), 0u);
}

TEST_F(JournaledWrite, AFailedWriteLeavesAFailedEntryAndAnUnreadSlotNoBeforeValue) {
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    SimFaults refuse;
    refuse.refuseCharHeader = true;
    sim().SetFaults(refuse);
    const CharRecData rec = Material(5, "Owies", 10.0f);
    const auto r = JournaledCharacteristicWrite(journal.get(), *driver, nullptr, rec);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.attempted);
    EXPECT_TRUE(r.journalMessage.isEmpty());
    SimFaults silent;
    silent.silentCommands = {"SW"};
    sim().SetFaults(silent);
    EXPECT_FALSE(JournaledSerialNumber(journal.get(), *driver, 40).ok);

    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, JournalOutcome::Failed);
    EXPECT_EQ(entries[0].after, "40");
    EXPECT_EQ(entries[1].outcome, JournalOutcome::Failed);
    EXPECT_FALSE(entries[1].before.has_value()) << "the slot was never read";
    EXPECT_FALSE(entries[1].message.isEmpty());
}

TEST_F(JournaledWrite, TheEntryIsPendingWhileTheMeterIsWritten) {
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    JournalEntry seen;
    JournalEntry draft;
    draft.target = JournalTarget::SerialNumber;
    draft.after = "5";
    const auto r = journal->Run(draft, [&] {
        const auto now = Entries();  // another connection, as another program would
        if (!now.empty()) seen = now.front();
        return true;
    });
    EXPECT_EQ(seen.id, r.entryId);
    EXPECT_EQ(seen.outcome, JournalOutcome::Pending);
    const auto after = Entries();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].outcome, JournalOutcome::Confirmed);
}

TEST_F(JournaledWrite, AJournalThatCannotBeWrittenStopsTheWriteAndKeepsItsFile) {
    sim().SetSlotRecord(4, Material(4, "Jęczmień", 7.0f));
    ConnectAndWait();
    const CharRecData before = ReadSlot(4);
    const CharRecData rec = Material(4, "Kukurydza", 11.0f);
    sim().ClearReceived();

    // Locked by another program after this one opened it.
    {
        auto journal = OpenJournal();
        ASSERT_TRUE(journal);
        RawDb other(settings.path);
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
        ASSERT_TRUE(other.Exec("DELETE FROM entries"));
        const auto r = JournaledCharacteristicWrite(journal.get(), *driver, &before, rec);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.attempted);
        EXPECT_TRUE(r.journalMessage.contains(settings.path)) << r.journalMessage.toStdString();
        EXPECT_TRUE(r.journalMessage.contains("Nic nie zapisano do miernika"));
        other.Exec("ROLLBACK");
    }
    // Not a journal at all, or damaged: it cannot even be opened.
    for (const char* bytes : {"to nie jest baza\n", "SQLite format 3"}) {
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.filePath("bad.sqlite").toStdString(), bytes));
        JournalSettings bad = settings;
        bad.path = dir.filePath("bad.sqlite");
        QString message;
        EXPECT_FALSE(MeterJournal::Open(bad, &message));
        EXPECT_TRUE(message.contains(bad.path)) << message.toStdString();
        EXPECT_TRUE(message.contains("Nic nie zapisano do miernika"));
    }
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(sim().SlotRecord(4), before);
}

TEST_F(JournaledWrite, RestoreBringsTheSlotBackByteForByteAndIsJournaled) {
    // The slot as a meter may hold it: the image exactly, not one this program made.
    CharImage original = EncodeCharImage(Material(6, "Rzepak", 6.125f));
    original[1] = 0x00;
    sim().SetSlotImage(6, original);
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    const CharRecData before = ReadSlot(6);
    const auto w =
        JournaledCharacteristicWrite(journal.get(), *driver, &before, Material(6, "Soja", 14.0f));
    ASSERT_TRUE(w.ok);
    ASSERT_NE(sim().SlotImage(6), original);

    QString error;
    auto db = JournalDb::Open(settings.path, JournalDb::Mode::Read, &error);
    const JournalEntry entry = *db->Get(w.entryId, &error);
    QString why;
    ASSERT_EQ(CheckRestore(entry, *driver, false, &why), RestoreRefusal::None) << why.toStdString();
    const RestoreResult r = RestoreEntry(journal.get(), *driver, entry);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(sim().SlotImage(6), original);

    const JournalEntry restore = *db->Get(r.entryId, &error);
    EXPECT_EQ(restore.restoredFrom, entry.id);
    EXPECT_EQ(restore.target, JournalTarget::Characteristic);
    EXPECT_EQ(restore.slot, 6);
    EXPECT_EQ(restore.before, entry.after) << "what the restore replaced, read from the meter";
    EXPECT_EQ(restore.after, entry.before);
    EXPECT_EQ(restore.outcome, JournalOutcome::Confirmed);
}

TEST_F(JournaledWrite, ACoefficientIsRestoredOnlyWhenTheMeterSaysWhatItHoldsNow) {
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    ElectrodeCoefficient k;
    ASSERT_TRUE(driver->ReadElectrodeCoefficient(k));
    ASSERT_DOUBLE_EQ(k.coefficient, 1.0);
    // Changed at the meter since the program read it; the entry restores 1.0.
    sim().ModifyState([](SimMeterState& s) { s.electrodeCoefficient = 2.0; });
    JournalEntry entry;
    entry.id = 7;
    entry.target = JournalTarget::ElectrodeCoefficient;
    entry.before = CoefficientValue(1.0);
    entry.after = CoefficientValue(2.0);

    // The meter does not answer "KR": the program cannot tell what it holds,
    // so nothing is written (the old 1.0 would have been skipped as unchanged).
    SimFaults noRead;
    noRead.silentCommands = {"KR"};
    sim().SetFaults(noRead);
    RestoreResult r = RestoreEntry(journal.get(), *driver, entry);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.journalBlocked);
    EXPECT_EQ(r.message, QStringLiteral("Nie można odczytać ustawień"));
    EXPECT_EQ(sim().CountReceived("KW"), 0u);
    EXPECT_DOUBLE_EQ(sim().State().electrodeCoefficient, 2.0);
    EXPECT_TRUE(Entries().empty());

    sim().ClearFaults();
    r = RestoreEntry(journal.get(), *driver, entry);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_DOUBLE_EQ(sim().State().electrodeCoefficient, 1.0);
    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].restoredFrom, 7);
    EXPECT_EQ(entries[0].before, CoefficientValue(2.0));
}

TEST_F(JournaledWrite, RestoreGoesOnlyToTheSameMeterWithTheRightsItNeeds) {
    ConnectAndWait();
    auto journal = OpenJournal();
    ASSERT_TRUE(journal);
    ASSERT_TRUE(JournaledSerialNumber(journal.get(), *driver, 18).ok);
    ASSERT_TRUE(JournaledStartupDate(journal.get(), *driver, 2012, 1).ok);
    const auto entries = Entries();
    const JournalEntry date = entries[0];    // written to the meter now numbered 18
    const JournalEntry serial = entries[1];  // 17 -> 18

    QString why;
    EXPECT_EQ(CheckRestore(serial, *driver, false, &why), RestoreRefusal::NeedsService);
    EXPECT_TRUE(why.contains("trybu serwisowego")) << why.toStdString();
    // The meter that was given the new number is the same meter.
    EXPECT_EQ(CheckRestore(serial, *driver, true, &why), RestoreRefusal::None) << why.toStdString();
    const RestoreResult r = RestoreEntry(journal.get(), *driver, serial);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(sim().State().serialNumber, 17);

    // Another meter on the same port.
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 99; });
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            SerialNumberData sn;
            driver->GetSerialNumber(sn);
            return sn.serialNumber == 99;
        },
        5000));
    EXPECT_EQ(CheckRestore(date, *driver, true, &why), RestoreRefusal::OtherMeter);
    EXPECT_TRUE(why.contains("miernika nr 18")) << why.toStdString();
    EXPECT_TRUE(why.contains("nr 99")) << why.toStdString();

    JournalEntry nothing = date;
    nothing.before.reset();
    EXPECT_EQ(CheckRestore(nothing, *driver, true, &why), RestoreRefusal::NoValue);
    driver->Disconnect();
    EXPECT_EQ(CheckRestore(date, *driver, true, &why), RestoreRefusal::NoMeter);
}
