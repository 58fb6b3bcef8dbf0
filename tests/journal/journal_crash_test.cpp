// A program killed between storing its entry and the meter's answer leaves the
// entry pending, and the journal whole: the real kv60x-cli, killed by SIGKILL
// while the simulated meter holds back its answer to the write.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "journal/journal_db.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "support/sim_fixture.h"

namespace {

std::optional<JournalEntry> NewestEntry(const QString& path) {
    QString error;
    auto db = JournalDb::Open(path, JournalDb::Mode::Read, &error, 50);
    if (!db) return std::nullopt;
    JournalQuery q;
    q.limit = 1;
    const auto list = db->List(q, &error);
    return list.empty() ? std::nullopt : std::optional<JournalEntry>(list.front());
}

}  // namespace

TEST(JournalCrash, KilledBetweenPendingAndTheAnswerLeavesAPendingEntry) {
    testsupport::SimulatedMeter meter;
    FillDemoCharacteristics(meter.sim(), 5);
    QTemporaryDir dir;
    JournalSettings settings;
    settings.path = dir.filePath("journal.sqlite");
    settings.program = QStringLiteral("kv60x");
    settings.user = QStringLiteral("anna");
    int64_t changed = 0;
    {
        // A change to undo, made through a session that lets the port go after.
        MeterSession s;
        s.SetJournal(settings);
        s.SetTiming(testsupport::FastTiming());
        ASSERT_TRUE(s.Connect(meter.port()));
        ASSERT_TRUE(s.WaitForLink(5000));
        CharRecData before;
        CharReadReport read;
        ASSERT_TRUE(s.ReadCharacteristic(1, &before, &read));
        CharRecData rec = before;
        SetFixedField(rec.NAME, CharRecData::kNameLen, QStringLiteral("Inna"));
        changed = s.Write(MeterWrite::Characteristic(rec, ImageBytes(read.image))).entryId;
        ASSERT_GT(changed, 0);
    }
    // The meter takes the restore's read but never answers its write.
    SimFaults holdBack;
    holdBack.silentCommands = {"CW"};
    meter.sim().SetFaults(holdBack);

    QProcess child;
    child.start(QStringLiteral(KV60X_CLI_BINARY),
                {"journal", "restore", QString::number(changed), "--port",
                 QString::fromStdString(meter.sim().LinkPath()), "--journal", settings.path});
    ASSERT_TRUE(child.waitForStarted(5000));
    std::optional<JournalEntry> seen;
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            seen = NewestEntry(settings.path);
            return seen && seen->restoredFrom == changed;
        },
        15000))
        << child.readAllStandardError().toStdString();
    ASSERT_EQ(seen->outcome, JournalOutcome::Pending) << "seen before the meter could answer";
    child.kill();
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // The entry says the write may or may not have happened; the journal is
    // whole and takes new entries.
    const auto after = NewestEntry(settings.path);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->id, seen->id);
    EXPECT_EQ(after->outcome, JournalOutcome::Pending);
    EXPECT_EQ(after->completedMs, 0);
    QString message;
    auto db = JournalDb::Open(settings.path, JournalDb::Mode::Write, &message);
    ASSERT_TRUE(db) << message.toStdString();
    JournalEntry next;
    next.target = JournalTarget::SerialNumber;
    next.after = "1";
    const int64_t id = db->AddPending(next, &message);
    ASSERT_GT(id, 0) << message.toStdString();
    EXPECT_TRUE(db->Complete(id, JournalOutcome::Confirmed, QString(), &message));
    EXPECT_EQ(NewestEntry(settings.path)->outcome, JournalOutcome::Confirmed);
}
