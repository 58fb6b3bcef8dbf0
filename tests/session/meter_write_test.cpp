// Every kind of meter write through the session and its journal, against the
// simulated meter: the entry is stored before the write, completed after it,
// and blocks the write when it cannot be stored; restoring brings the old
// bytes back exactly.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>

#include "journal/journal_db.h"
#include "journal/journal_test_support.h"
#include "meter/char_image.h"
#include "meter/kv60x_driver.h"
#include "session/meter_write.h"
#include "session/restore.h"
#include "support/sample_records.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

using journaltest::RawDb;
using testsupport::SampleRecord;

namespace {

// An image no encoder of this program makes: reserved bytes set, high nibbles
// in bytes 3 and 4, -0.0, a subnormal and a NaN with a payload among the
// floats; the checksum made good, as a meter holds it.
CharImage OddImage(int slot) {
    CharImage image = EncodeCharImage(SampleRecord(slot).Name("Rzepak"));
    image[1] = 0x5A;
    image[2] = 0xA5;
    image[3] |= 0xB0;
    image[4] |= 0x70;
    const uint32_t patterns[] = {0x80000000u, 0x00000001u, 0x7FC12345u};
    for (int k = 0; k < 3; ++k) std::memcpy(&image[18 + 8 * (4 + k)], &patterns[k], 4);
    for (int b = 218; b < 255; ++b) image[static_cast<size_t>(b)] = static_cast<uint8_t>(b);
    image[255] = CharImageExpectedChecksum(image);
    return image;
}

class SessionWrite : public testsupport::SessionWithSim {
protected:
    void SetUp() override {
        SessionWithSim::SetUp();
        settings.path = dir.filePath("journal.sqlite");
        settings.program = QStringLiteral("kv60x");
        settings.user = QStringLiteral("anna");
        settings.busyTimeoutMs = 100;
        session->SetJournal(settings);
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
    CharImage ReadImage(int slot) {
        CharRecData rec;
        CharReadReport report;
        EXPECT_TRUE(session->ReadCharacteristic(slot, &rec, &report));
        return report.image;
    }
    RestoreResult Restore(const JournalEntry& entry) {
        WriteBatch batch(*session);
        QString why;
        EXPECT_EQ(CheckRestore(entry, *session, &why), RestoreRefusal::None) << why.toStdString();
        return RestoreEntry(batch, *session, entry);
    }

    QTemporaryDir dir;
    JournalSettings settings;
};

}  // namespace

TEST_F(SessionWrite, UnchangedValuesSendNothingAndLeaveNoEntry) {
    ConnectAndWait();
    sim().ClearReceived();
    EXPECT_EQ(session->Write(MeterWrite::SerialNumber(17)).status, WriteStatus::Unchanged);
    EXPECT_EQ(session->Write(MeterWrite::StartupDate(2009, 8)).status, WriteStatus::Unchanged);
    EXPECT_EQ(session->Write(MeterWrite::VersionLetter('A')).status, WriteStatus::Unchanged);
    MeterWrite same = MeterWrite::Characteristic(3, ReadImage(3), ImageBytes(ReadImage(3)));
    same.skipUnchanged = true;
    EXPECT_EQ(session->Write(same).status, WriteStatus::Unchanged);
    EXPECT_TRUE(Entries().empty());
    for (const char* command : {"SW", "DW", "VW", "CW"})
        EXPECT_EQ(sim().CountReceived(command), 0u) << command;
}

TEST_F(SessionWrite, ValuesOutsideTheLimitsAreRefusedBeforeTheMeter) {
    ConnectAndWait();
    sim().ClearReceived();
    for (const MeterWrite& w :
         {MeterWrite::SerialNumber(0), MeterWrite::SerialNumber(-7),
          MeterWrite::StartupDate(2100, 1), MeterWrite::VersionLetter('\r'),
          MeterWrite::VersionLetter('\0'),
          MeterWrite::ElectrodeCoefficient(std::numeric_limits<double>::quiet_NaN())}) {
        const WriteOutcome r = session->Write(w);
        EXPECT_EQ(r.status, WriteStatus::Refused) << w.after.toHex().toStdString();
        EXPECT_FALSE(r.message.isEmpty());
    }
    EXPECT_TRUE(Entries().empty());
    for (const char* command : {"SW", "DW", "VW", "KW"})
        EXPECT_EQ(sim().CountReceived(command), 0u);
}

TEST_F(SessionWrite, AFailedWriteLeavesAFailedEntryAndAnUnreadSlotNoBeforeValue) {
    ConnectAndWait();
    SimFaults refuse;
    refuse.refuseCharHeader = true;
    sim().SetFaults(refuse);
    const WriteOutcome r =
        session->Write(MeterWrite::Characteristic(SampleRecord(5).Name("Owies"), std::nullopt));
    EXPECT_EQ(r.status, WriteStatus::MeterFailed);
    EXPECT_TRUE(r.message.isEmpty());
    EXPECT_EQ(r.Text("x"), QStringLiteral("x"));
    SimFaults silent;
    silent.silentCommands = {"SW"};
    sim().SetFaults(silent);
    EXPECT_EQ(session->Write(MeterWrite::SerialNumber(40)).status, WriteStatus::MeterFailed);

    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, JournalOutcome::Failed);
    EXPECT_EQ(entries[0].after, "40");
    EXPECT_EQ(entries[0].before, QByteArray("17"));
    EXPECT_EQ(entries[1].outcome, JournalOutcome::Failed);
    EXPECT_FALSE(entries[1].before.has_value()) << "the slot was never read";
    EXPECT_FALSE(entries[1].message.isEmpty());
}

TEST_F(SessionWrite, AJournalThatCannotBeWrittenStopsTheWriteAndKeepsItsFile) {
    sim().SetSlotRecord(4, SampleRecord(4).Name("Jęczmień"));
    ConnectAndWait();
    const CharImage before = ReadImage(4);
    const CharRecData rec = SampleRecord(4).Name("Kukurydza");
    sim().ClearReceived();

    // Locked by another program after this one opened it.
    {
        WriteBatch batch(*session);
        ASSERT_TRUE(batch.Open()) << batch.Message().toStdString();
        RawDb other(settings.path);
        ASSERT_TRUE(other.Exec("BEGIN EXCLUSIVE"));
        ASSERT_TRUE(other.Exec("DELETE FROM entries"));
        const WriteOutcome r = batch.Write(MeterWrite::Characteristic(rec, ImageBytes(before)));
        EXPECT_EQ(r.status, WriteStatus::JournalBlocked);
        const QString text = r.Text(QStringLiteral("x"));
        EXPECT_TRUE(text.contains(settings.path)) << text.toStdString();
        EXPECT_TRUE(text.endsWith("Nic nie zapisano do miernika.")) << text.toStdString();
        other.Exec("ROLLBACK");
    }
    // Not a journal at all, or damaged: it cannot even be opened.
    for (const char* bytes : {"to nie jest baza\n", "SQLite format 3"}) {
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.filePath("bad.sqlite").toStdString(), bytes));
        JournalSettings bad = settings;
        bad.path = dir.filePath("bad.sqlite");
        session->SetJournal(bad);
        const WriteOutcome r = session->Write(MeterWrite::Characteristic(rec, std::nullopt));
        EXPECT_EQ(r.status, WriteStatus::JournalBlocked);
        EXPECT_TRUE(r.message.contains(bad.path)) << r.message.toStdString();
    }
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(sim().SlotImage(4), before);
}

TEST_F(SessionWrite, RestoreSendsTheBytesReadAndKnowsWhenTheMeterHasThem) {
    const CharImage original = OddImage(6);
    sim().SetSlotImage(6, original);
    ConnectAndWait();
    const CharImage read = ReadImage(6);
    ASSERT_EQ(read, original);
    const WriteOutcome w =
        session->Write(MeterWrite::Characteristic(SampleRecord(6).Name("Soja"), ImageBytes(read)));
    ASSERT_EQ(w.status, WriteStatus::Confirmed);
    ASSERT_NE(sim().SlotImage(6), original);
    const CharImage written = sim().SlotImage(6);

    QString error;
    auto db = JournalDb::Open(settings.path, JournalDb::Mode::Read, &error);
    const JournalEntry entry = *db->Get(w.entryId, &error);
    const RestoreResult r = Restore(entry);
    ASSERT_EQ(r.outcome.status, WriteStatus::Confirmed) << r.message.toStdString();
    EXPECT_EQ(sim().SlotImage(6), original) << "every byte, reserved and odd floats included";

    const JournalEntry restore = *db->Get(r.outcome.entryId, &error);
    EXPECT_EQ(restore.restoredFrom, entry.id);
    EXPECT_EQ(restore.slot, 6);
    EXPECT_EQ(restore.before, ImageBytes(written)) << "the bytes read just before";
    EXPECT_EQ(restore.after, ImageBytes(original));
    EXPECT_EQ(restore.outcome, JournalOutcome::Confirmed);

    // Again: the meter holds the value already.
    const size_t entries = Entries().size();
    sim().ClearReceived();
    const RestoreResult again = Restore(entry);
    EXPECT_EQ(again.outcome.status, WriteStatus::Unchanged);
    EXPECT_EQ(again.outcome.entryId, 0);
    EXPECT_EQ(again.message, RestoreUnchangedText());
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(Entries().size(), entries);
}

TEST_F(SessionWrite, RestoreGoesOnlyToTheSameMeterWithTheRightsAndLimitsItNeeds) {
    ConnectAndWait();
    ASSERT_EQ(session->Write(MeterWrite::SerialNumber(18)).status, WriteStatus::Confirmed);
    ASSERT_EQ(session->Write(MeterWrite::StartupDate(2012, 1)).status, WriteStatus::Confirmed);
    const auto entries = Entries();
    const JournalEntry date = entries[0];    // written to the meter now numbered 18
    const JournalEntry serial = entries[1];  // 17 -> 18

    QString why;
    EXPECT_EQ(CheckRestore(serial, *session, &why), RestoreRefusal::NeedsService);
    EXPECT_TRUE(why.contains("trybu serwisowego")) << why.toStdString();
    session->SetServiceMode(true);
    // The meter that was given the new number is the same meter.
    const RestoreResult r = Restore(serial);
    ASSERT_EQ(r.outcome.status, WriteStatus::Confirmed) << r.message.toStdString();
    EXPECT_EQ(sim().State().serialNumber, 17);

    // A tampered journal: a serial number the meter must not be given.
    JournalEntry tampered = serial;
    tampered.before = SerialNumberValue(-7);
    tampered.meter.serial = 17;
    WriteBatch batch(*session);
    EXPECT_EQ(RestoreEntry(batch, *session, tampered).outcome.status, WriteStatus::Refused);
    EXPECT_EQ(sim().State().serialNumber, 17);

    // Another meter on the same port.
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 99; });
    ASSERT_TRUE(testsupport::WaitFor([&] { return session->Stamp().serial == 99; }, 5000));
    EXPECT_EQ(CheckRestore(date, *session, &why), RestoreRefusal::OtherMeter);
    EXPECT_TRUE(why.contains("miernika nr 18")) << why.toStdString();
    EXPECT_TRUE(why.contains("nr 99")) << why.toStdString();

    JournalEntry nothing = date;
    nothing.before.reset();
    EXPECT_EQ(CheckRestore(nothing, *session, &why), RestoreRefusal::NoValue);
    session->Disconnect();
    EXPECT_EQ(CheckRestore(date, *session, &why), RestoreRefusal::NoMeter);
}

TEST_F(SessionWrite, TheEntryIsPendingWhileTheMeterIsWritten) {
    ConnectAndWait();
    // The meter takes its time: the entry is looked at by another connection,
    // as another program would, while the write is under way.
    SimFaults late;
    late.silentCommands = {"SW"};
    sim().SetFaults(late);
    WriteOutcome outcome;
    std::thread writer([&] { outcome = session->Write(MeterWrite::SerialNumber(5)); });
    JournalEntry seen;
    EXPECT_TRUE(testsupport::WaitFor(
        [&] {
            const auto now = Entries();
            if (!now.empty()) seen = now.front();
            return !now.empty();
        },
        5000));
    writer.join();
    EXPECT_EQ(seen.outcome, JournalOutcome::Pending);
    EXPECT_EQ(seen.id, outcome.entryId);
    EXPECT_EQ(Entries().front().outcome, JournalOutcome::Failed);
}

TEST_F(SessionWrite, AnUnconfirmedWriteIsReadBackAndOtherwiseJournaledAsUncertain) {
    ConnectAndWait();
    // The meter takes the number, its answer is lost: the value read back
    // shows it arrived.
    SimFaults lost;
    lost.lostAnswers = {"SW"};
    sim().SetFaults(lost);
    const WriteOutcome arrived = session->Write(MeterWrite::SerialNumber(21));
    EXPECT_EQ(arrived.status, WriteStatus::Confirmed);
    EXPECT_EQ(sim().State().serialNumber, 21);
    // Taken again, and this time the meter cannot be asked what it holds.
    lost.silentCommands = {"SR"};
    sim().SetFaults(lost);
    const WriteOutcome unsure = session->Write(MeterWrite::SerialNumber(22));
    EXPECT_EQ(unsure.status, WriteStatus::Unconfirmed);
    EXPECT_TRUE(unsure.Text("x").contains("niepewny")) << unsure.Text("x").toStdString();
    EXPECT_FALSE(unsure.ok());

    const auto entries = Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].outcome, JournalOutcome::Uncertain);
    EXPECT_EQ(entries[1].outcome, JournalOutcome::Confirmed);
    EXPECT_FALSE(entries[1].message.isEmpty()) << "the entry says how it was confirmed";
}
