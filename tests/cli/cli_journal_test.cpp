// kv60x-cli journal list/show/restore, in-process against the simulated meter.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "cli_test_support.h"
#include "journal/journal_db.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"
#include "support/test_support.h"

using clitest::Com;
using clitest::RunIn;

namespace {

class CliJournal : public ::testing::Test {
protected:
    void SetUp() override {
        meter = std::make_unique<testsupport::SimulatedMeter>();
        FillDemoCharacteristics(sim(), 12);
        journal = dir.filePath("journal.sqlite");
    }
    MeterSimulator& sim() { return meter->sim(); }
    QString port() const { return Com(meter->port()); }

    // Changes made the way the window makes them, through a session of its own
    // that lets the port go afterwards. Returns the entry ids, oldest first.
    using Changes = std::function<void(MeterSession&, WriteBatch&, std::vector<int64_t>&)>;
    std::vector<int64_t> MakeChanges(const Changes& changes) {
        MeterSession s;
        s.SetTiming(testsupport::FastTiming());
        JournalSettings settings;
        settings.path = journal;
        settings.program = QStringLiteral("kv60x");
        settings.user = QStringLiteral("anna");
        s.SetJournal(settings);
        std::vector<int64_t> ids;
        EXPECT_TRUE(s.Connect(meter->port()));
        EXPECT_TRUE(s.WaitForLink(5000));
        WriteBatch batch(s);
        EXPECT_TRUE(batch.Open()) << batch.Message().toStdString();
        changes(s, batch, ids);
        return ids;
    }
    // Slot `slot` as the meter holds it, and its bytes: the value before.
    static std::pair<CharRecData, QByteArray> ReadSlot(MeterSession& s, int slot) {
        CharRecData rec;
        CharReadReport report;
        EXPECT_TRUE(s.ReadCharacteristic(slot, &rec, &report));
        return {rec, ImageBytes(report.image)};
    }
    // Slot 2 rewritten with another name, then the serial number changed.
    std::vector<int64_t> SlotThenSerial() {
        return MakeChanges([](MeterSession& s, WriteBatch& b, std::vector<int64_t>& ids) {
            auto [rec, before] = ReadSlot(s, 2);
            SetFixedField(rec.NAME, CharRecData::kNameLen, QStringLiteral("Zmieniona"));
            ids.push_back(b.Write(MeterWrite::Characteristic(rec, before)).entryId);
            ids.push_back(b.Write(MeterWrite::SerialNumber(4000)).entryId);
        });
    }

    std::unique_ptr<testsupport::SimulatedMeter> meter;
    QTemporaryDir dir;
    QString journal;
};

}  // namespace

TEST_F(CliJournal, ListIsNewestFirstAsTableOrJsonAndFiltersByMeter) {
    const auto ids = SlotThenSerial();
    ASSERT_EQ(ids.size(), 2u);
    auto r = RunIn({"journal", "list", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << r.out.toStdString();
    EXPECT_TRUE(lines[1].contains("Numer seryjny") && lines[1].contains("potwierdzony"));
    EXPECT_TRUE(lines[2].contains("Charakterystyka nr 3") && lines[2].contains("KV-607A nr 17"));

    r = RunIn({"journal", "list", "--json", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QJsonParseError pe;
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8(), &pe).array();
    ASSERT_EQ(pe.error, QJsonParseError::NoError) << r.out.toStdString();
    ASSERT_EQ(all.size(), 2);
    const QJsonObject newest = all[0].toObject();
    EXPECT_EQ(newest["id"].toInteger(), ids[1]);
    EXPECT_EQ(newest["program"].toString(), "kv60x");
    EXPECT_EQ(newest["meter_serial"].toInt(), 17);
    EXPECT_EQ(newest["target"].toString(), "serial_number");
    EXPECT_EQ(newest["outcome"].toString(), "confirmed");
    EXPECT_TRUE(newest["slot"].isNull());
    EXPECT_EQ(all[1].toObject()["slot"].toInt(), 3) << "slots are numbered from 1";
    EXPECT_TRUE(QDateTime::fromString(newest["time"].toString(), Qt::ISODateWithMs).isValid());

    // The meter is now number 4000; a change of it shows under its new number.
    MakeChanges([](MeterSession&, WriteBatch& b, std::vector<int64_t>&) {
        b.Write(MeterWrite::StartupDate(2012, 5));
    });
    r = RunIn({"journal", "list", "--json", "--meter", "4000", "--journal", journal});
    ASSERT_EQ(r.code, 0);
    const QJsonArray mine = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(mine.size(), 1);
    EXPECT_EQ(mine[0].toObject()["target"].toString(), "startup_date");
    r = RunIn({"journal", "list", "--json", "--meter", "5", "--journal", journal});
    EXPECT_EQ(r.out.trimmed(), "[]");
    EXPECT_EQ(RunIn({"journal", "list", "--meter", "x", "--journal", journal}).code, 2);
}

TEST_F(CliJournal, ShowGivesImagesAndFieldsBeforeAndAfter) {
    const CharImage original = sim().SlotImage(2);
    const auto ids = SlotThenSerial();
    auto r = RunIn({"journal", "show", QString::number(ids[0]), "--json", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QJsonParseError pe;
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &pe).object();
    ASSERT_EQ(pe.error, QJsonParseError::NoError) << r.out.toStdString();
    EXPECT_EQ(o["target"].toString(), "characteristic");
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(original.data()), 256).toHex();
    EXPECT_EQ(o["before"].toObject()["image"].toString().toLower(), QString::fromLatin1(hex));
    EXPECT_EQ(o["after"].toObject()["record"].toObject()["NAME"].toString().trimmed(), "Zmieniona");
    EXPECT_NE(o["before"].toObject()["record"].toObject()["NAME"].toString().trimmed(),
              "Zmieniona");

    r = RunIn({"journal", "show", QString::number(ids[0]), "--journal", journal});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QRegularExpression("\\* Nazwa materiału +\\S+ +Zmieniona")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression("\n  Kod materiału")))
        << "an unchanged field is not marked";
    EXPECT_TRUE(r.out.contains("Obraz przed: " + QString::fromLatin1(hex.toUpper())));

    r = RunIn({"journal", "show", QString::number(ids[1]), "--json", "--journal", journal});
    const QJsonObject serial = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(serial["before"].toObject()["value"].toString(), "17");
    EXPECT_EQ(serial["after"].toObject()["value"].toString(), "4000");

    r = RunIn({"journal", "show", "99", "--journal", journal});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("Nie ma wpisu nr 99"));
}

TEST_F(CliJournal, RestoreWritesTheSlotBackOnlyToTheSameMeter) {
    const CharImage original = sim().SlotImage(2);
    const auto ids = MakeChanges([](MeterSession& s, WriteBatch& b, std::vector<int64_t>& ids) {
        auto [rec, before] = ReadSlot(s, 2);
        rec.RH[0] += 1.0;
        ids.push_back(b.Write(MeterWrite::Characteristic(rec, before)).entryId);
    });
    ASSERT_NE(sim().SlotImage(2), original);

    // Another meter on the port: refused, nothing sent.
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 18; });
    sim().ClearReceived();
    auto r = RunIn(
        {"journal", "restore", QString::number(ids[0]), "--port", port(), "--journal", journal});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("miernika nr 17")) << r.err.toStdString();
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(RunIn({"journal", "restore", "77", "--port", port(), "--journal", journal}).code, 2);

    // The meter refuses the write: exit 1, and the attempt is journaled as failed.
    sim().ModifyState([](SimMeterState& s) { s.serialNumber = 17; });
    SimFaults refuse;
    refuse.refuseCharHeader = true;
    sim().SetFaults(refuse);
    r = RunIn(
        {"journal", "restore", QString::number(ids[0]), "--port", port(), "--journal", journal});
    EXPECT_EQ(r.code, 1) << r.err.toStdString();
    sim().ClearFaults();

    r = RunIn(
        {"journal", "restore", QString::number(ids[0]), "--port", port(), "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().SlotImage(2), original);
    r = RunIn({"journal", "list", "--json", "--journal", journal});
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 3);
    EXPECT_EQ(all[0].toObject()["restored_from"].toInteger(), ids[0]);
    EXPECT_EQ(all[0].toObject()["outcome"].toString(), "confirmed");
    EXPECT_EQ(all[1].toObject()["outcome"].toString(), "failed");
}

TEST_F(CliJournal, AJournalThatIsNotOneIsRefusedAndKept) {
    const QString text = dir.filePath("notes.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(text.toStdString(), "moje notatki\n"));
    for (const QStringList& args :
         {QStringList{"journal", "list", "--journal", text},
          QStringList{"journal", "show", "1", "--journal", text},
          QStringList{"journal", "restore", "1", "--port", port(), "--journal", text}}) {
        const auto r = RunIn(args);
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.ErrLines().size(), 1);
        EXPECT_TRUE(r.err.contains(text)) << r.err.toStdString();
    }
    EXPECT_EQ(testsupport::ReadFileBytes(text.toStdString()), "moje notatki\n");
}

TEST_F(CliJournal, ServiceWritesAreJournaledUnlessToldNotTo) {
    auto r =
        RunIn({"service", "serial", "4000", "--port", port(), "--service", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = RunIn(
        {"service", "coefficient", "1,5", "--port", port(), "--service", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    r = RunIn({"service", "coefficient", "--port", port(), "--service", "--journal", journal});
    ASSERT_EQ(r.code, 0) << "reading only: " << r.err.toStdString();
    r = RunIn({"service", "date", "2013-04", "--port", port(), "--service", "--no-journal"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("--no-journal")) << "said on stderr";
    EXPECT_EQ(sim().State().startupYear, 2013);

    r = RunIn({"journal", "list", "--json", "--journal", journal});
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 2);
    const QJsonObject k = all[0].toObject();
    EXPECT_EQ(k["target"].toString(), "electrode_coefficient");
    EXPECT_EQ(k["program"].toString(), "kv60x-cli");
    EXPECT_EQ(k["meter_serial"].toInt(), 4000);
    r = RunIn(
        {"journal", "show", QString::number(k["id"].toInteger()), "--json", "--journal", journal});
    const QJsonObject shown = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(shown["before"].toObject()["value"].toString(), "1");
    EXPECT_EQ(shown["after"].toObject()["value"].toString(), "1.5");
    EXPECT_EQ(all[1].toObject()["target"].toString(), "serial_number");
}

TEST_F(CliJournal, AJournalThatCannotBeWrittenStopsTheServiceWrite) {
    const QString text = dir.filePath("notes.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(text.toStdString(), "moje notatki\n"));
    sim().ClearReceived();
    auto r = RunIn({"service", "serial", "4000", "--port", port(), "--service", "--journal", text});
    EXPECT_EQ(r.code, 2);
    ASSERT_EQ(r.ErrLines().size(), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(text));
    EXPECT_TRUE(r.err.contains("Nic nie zapisano do miernika"));
    EXPECT_EQ(sim().State().serialNumber, 17);
    EXPECT_EQ(sim().ReceivedLines().size(), 0u) << "the port was never opened";
}

TEST_F(CliJournal, TableAndRecordWritesReadEachSlotFirstAndJournalIt) {
    const QString table = dir.filePath("t.kvz");
    ASSERT_EQ(RunIn({"table", "read", "--port", port(), "--out", table}).code, 0);
    // The meter changes meanwhile: its slots 3 and 5 are no longer the file's.
    CharRecData other = sim().SlotRecord(0);
    SetFixedField(other.NAME, CharRecData::kNameLen, QStringLiteral("Obca"));
    sim().SetSlotRecord(2, other);
    sim().SetSlotRecord(4, other);
    const CharImage meter2 = sim().SlotImage(2);
    sim().ClearReceived();
    auto r =
        RunIn({"table", "write", "--port", port(), table, "--slots", "3,5", "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const auto lines = sim().ReceivedLines();
    const auto at = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) - lines.begin();
    };
    EXPECT_LT(at("CR02"), at("CW02"));
    EXPECT_LT(at("CR04"), at("CW02")) << "every slot is read before the first write";

    r = RunIn({"journal", "list", "--json", "--journal", journal});
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[1].toObject()["slot"].toInt(), 3);
    EXPECT_EQ(all[0].toObject()["slot"].toInt(), 5);
    r = RunIn({"journal", "show", QString::number(all[1].toObject()["id"].toInteger()), "--json",
               "--journal", journal});
    const QJsonObject shown = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(
        shown["before"].toObject()["image"].toString().toLower(),
        QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(meter2.data()), 256).toHex()));
    EXPECT_NE(shown["after"].toObject()["record"].toObject()["NAME"].toString().trimmed(), "Obca");

    // One record, and then without the journal: no read, no entry, said so.
    const QString record = dir.filePath("r.kvr");
    ASSERT_EQ(RunIn({"record", "read", "--port", port(), "--slot", "1", record}).code, 0);
    r = RunIn({"record", "write", "--port", port(), "--slot", "7", record, "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    sim().ClearReceived();
    r = RunIn({"table", "write", "--port", port(), table, "--slots", "1", "--no-journal"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("--no-journal"));
    EXPECT_EQ(sim().CountReceived("CR"), 0u);
    EXPECT_EQ(sim().CountReceived("CW00"), 1u);
    r = RunIn({"journal", "list", "--json", "--journal", journal});
    const QJsonArray now = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(now.size(), 3);
    EXPECT_EQ(now[0].toObject()["slot"].toInt(), 7);
}

TEST_F(CliJournal, TableWriteFailsAsASingleWriteDoes) {
    const QString table = dir.filePath("t.kvz");
    ASSERT_EQ(RunIn({"table", "read", "--port", port(), "--out", table}).code, 0);
    // A journal that cannot be written: code 2, the port never opened.
    const QString text = dir.filePath("notes.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(text.toStdString(), "moje notatki\n"));
    sim().ClearReceived();
    auto r = RunIn({"table", "write", "--port", port(), table, "--journal", text});
    EXPECT_EQ(r.code, 2);
    ASSERT_EQ(r.ErrLines().size(), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(text) && r.err.contains("Nic nie zapisano do miernika"));
    EXPECT_TRUE(sim().ReceivedLines().empty());

    // The meter refuses: code 1 naming the slot, every slot read first, and the
    // attempt journaled as failed; the pass stops there.
    SimFaults refuse;
    refuse.refuseCharHeader = true;
    sim().SetFaults(refuse);
    r = RunIn({"table", "write", "--port", port(), table, "--slots", "2-3", "--journal", journal});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QStringLiteral("Nie można zapisać ustawień (charakterystyka nr 2)")});
    EXPECT_EQ(sim().CountReceived("CR02"), 1u);
    EXPECT_GE(sim().CountReceived("CW01"), 1u);
    EXPECT_EQ(sim().CountReceived("CW02"), 0u);
    r = RunIn({"journal", "list", "--json", "--journal", journal});
    const QJsonArray all = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(all.size(), 1);
    EXPECT_EQ(all[0].toObject()["slot"].toInt(), 2);
    EXPECT_EQ(all[0].toObject()["outcome"].toString(), "failed");
}

TEST_F(CliJournal, ProtectedCurvesAndServiceValuesNeedService) {
    CharRecData locked = sim().SlotRecord(1);
    locked.PASSWORD = 1;
    sim().SetSlotRecord(1, locked);
    const auto ids = MakeChanges([](MeterSession& s, WriteBatch& b, std::vector<int64_t>& ids) {
        auto [rec, before] = ReadSlot(s, 1);
        rec.RH[0] += 0.5;
        ids.push_back(b.Write(MeterWrite::Characteristic(rec, before)).entryId);
        ids.push_back(b.Write(MeterWrite::SerialNumber(4000)).entryId);
    });
    const QString id = QString::number(ids[0]);
    auto r = RunIn({"journal", "show", id, "--json", "--journal", journal});
    ASSERT_EQ(r.code, 0);
    QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_TRUE(o["protected"].toBool());
    EXPECT_FALSE(o.contains("before"));
    r = RunIn({"journal", "show", id, "--journal", journal});
    EXPECT_TRUE(r.out.contains("(ochrona hasłem)"));
    EXPECT_FALSE(r.out.contains("Obraz"));
    r = RunIn({"journal", "show", id, "--json", "--service", "--journal", journal});
    o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_TRUE(o["before"].toObject().contains("record"));

    // The meter is now number 4000; putting 17 back is a service write.
    r = RunIn(
        {"journal", "restore", QString::number(ids[1]), "--port", port(), "--journal", journal});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains("trybu serwisowego")) << r.err.toStdString();
    r = RunIn({"journal", "restore", QString::number(ids[1]), "--port", port(), "--service",
               "--journal", journal});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().State().serialNumber, 17);
}
