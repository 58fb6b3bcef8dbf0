// kv60x-cli table diff, in-process against the simulated meter.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <ctime>

#include "cli_test_support.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "records/record_files.h"
#include "sim/demo_data.h"

using clitest::Com;
using clitest::RunIn;

namespace {

class CliCommission : public ::testing::Test {
protected:
    void SetUp() override {
        // A blank meter: every slot erased, as it leaves the factory.
        meter = std::make_unique<testsupport::SimulatedMeter>();
        sim().ModifyState([](SimMeterState& s) { s.slotCount = 12; });
        journal = dir.filePath("journal.sqlite");
        table = dir.filePath("t.kvz");
        CTableCharRec set;
        for (int i = 0; i < 12; ++i) set.Put(DemoCharacteristic(i, 12, 1700000000), i);
        ASSERT_TRUE(SaveCharRecSetFile(table, set));
    }
    MeterSimulator& sim() { return meter->sim(); }
    QString port() const { return Com(meter->port()); }
    QJsonArray Journal() {
        const auto r = RunIn({"journal", "list", "--json", "--journal", journal});
        return QJsonDocument::fromJson(r.out.toUtf8()).array();
    }
    QStringList Commission(const QStringList& more = {}) {
        return QStringList{"commission",    "--port", port(),      "--service",
                           "--table",       table,    "--serial",  "1234",
                           "--letter",      "B",      "--date",    "2024-05",
                           "--coefficient", "1,3",    "--journal", journal} +
               more;
    }

    std::unique_ptr<testsupport::SimulatedMeter> meter;
    QTemporaryDir dir;
    QString journal;
    QString table;
};

TEST_F(CliCommission, DiffNamesWhatDiffersAndExitsByTheResult) {
    FillDemoCharacteristics(sim(), 12);
    ASSERT_EQ(RunIn({"table", "read", "--port", port(), "--out", table}).code, 0);
    auto r = RunIn({"table", "diff", table, "--port", port()});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Miernik zgodny z plikiem (porównano charakterystyk: 12)\n"));

    // Slot 3 renamed on the meter; slot 5 differs only in a byte no field covers.
    CharRecData renamed = sim().SlotRecord(2);
    const QString file = FixedFieldTextUnpadded(renamed.NAME, CharRecData::kNameLen);
    SetFixedField(renamed.NAME, CharRecData::kNameLen, QStringLiteral("Owies"));
    sim().SetSlotRecord(2, renamed);
    auto image = sim().SlotImage(4);
    image[230] = 0x01;
    image[255] = CharImageExpectedChecksum(image);
    sim().SetSlotImage(4, image);
    r = RunIn({"table", "diff", table, "--port", port()});
    EXPECT_EQ(r.code, 3) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Charakterystyka nr 3:\n  Nazwa materiału: "
                                                "miernik \"Owies\", plik \"%1\"\n")
                                     .arg(file)))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("Różnice: charakterystyki nr 3, 5 (porównano charakterystyk: 12)\n")));

    r = RunIn({"table", "diff", table, "--port", port(), "--slots", "4-5", "--json"});
    EXPECT_EQ(r.code, 3);
    const QJsonObject json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_FALSE(json["identical"].toBool());
    const QJsonArray differing = json["slots"].toArray();
    ASSERT_EQ(differing.size(), 1) << r.out.toStdString();
    EXPECT_EQ(differing[0].toObject()["slot"].toInt(), 5);
    const QJsonArray fields = differing[0].toObject()["fields"].toArray();
    ASSERT_EQ(fields.size(), 1);
    EXPECT_EQ(fields[0].toObject()["field"].toString(), QStringLiteral("bajty zastrzeżone"));
    EXPECT_EQ(fields[0].toObject()["meter"].toString(), QStringLiteral("230: 01"));
    EXPECT_EQ(fields[0].toObject()["file"].toString(), QStringLiteral("230: 00"));

    // A protected curve is named, its values shown only with --service.
    CharRecData locked = sim().SlotRecord(0);
    locked.PASSWORD = 1;
    sim().SetSlotRecord(0, locked);
    locked.VALUE[0] += 1;
    CTableCharRec set;
    LoadCharRecSetFile(table, &set);
    set.Put(locked, 0);
    SaveCharRecSetFile(table, set);
    r = RunIn({"table", "diff", table, "--port", port(), "--slots", "1"});
    EXPECT_EQ(r.code, 3);
    EXPECT_TRUE(r.out.contains(QStringLiteral(
        "Punkt 1: wartość: miernik \"(ochrona hasłem)\", plik \"(ochrona hasłem)\"")))
        << r.out.toStdString();
    r = RunIn({"table", "diff", table, "--port", port(), "--slots", "1", "--service"});
    EXPECT_FALSE(r.out.contains(QStringLiteral("(ochrona hasłem)"))) << r.out.toStdString();

    EXPECT_EQ(RunIn({"table", "diff", dir.filePath("none.kvz"), "--port", port()}).code, 2);
    EXPECT_EQ(RunIn({"table", "diff", table, "--port", port(), "--slots", "13"}).code, 2);
    SimFaults silent;
    silent.silentCommands = {"CR"};
    sim().SetFaults(silent);
    r = RunIn({"table", "diff", table, "--port", port()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(), QStringList{"Nie można odczytać ustawień (charakterystyka nr 1)"});
}

TEST_F(CliCommission, UnconfirmedCoefficientIsJudgedByTheValueTheMeterCanHold) {
    // The meter holds 1.3 as the single-precision 1.29999995: read back after
    // a lost confirmation, that is the value written, not a failure.
    SimFaults f;
    f.lostAnswers = {"KW"};
    sim().SetFaults(f);
    auto r = RunIn(
        {"service", "coefficient", "1,3", "--port", port(), "--service", "--journal", journal});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(Journal()[0].toObject()["outcome"].toString(), QStringLiteral("confirmed"));
}

}  // namespace
