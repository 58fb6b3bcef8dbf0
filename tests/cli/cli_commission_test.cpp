// kv60x-cli table diff, commission, and the common options before the
// command, in-process against the simulated meter.

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

TEST_F(CliCommission, BlankMeterIsCommissionedOnceAndThenLeftAlone) {
    auto r = RunIn(Commission({"--dry-run"}));
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Do zapisu 1/16: Numer seryjny: 17 -> 1234\n")));
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("do zapisu 16; nic nie zapisano.\n")));
    EXPECT_EQ(sim().CountReceived("SW") + sim().CountReceived("CW"), 0u);

    sim().ClearReceived();
    r = RunIn(Commission());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Sprawdzenie: zgodne z zadaniem")));
    EXPECT_TRUE(r.out.endsWith(QStringLiteral(
        "Uruchomienie zakończone: zapisano 16 z 16; miernik KV-607B nr 1234 zgodny z zadaniem.\n")))
        << r.out.toStdString();
    const SimMeterState state = sim().State();
    EXPECT_EQ(state.serialNumber, 1234);
    EXPECT_EQ(state.versionLetter, 'B');
    EXPECT_EQ(state.startupYear * 100 + state.startupMonth, 202405);
    EXPECT_FLOAT_EQ(static_cast<float>(state.electrodeCoefficient), 1.3f);
    for (int i = 0; i < 12; ++i) {
        CharRecData expected = DemoCharacteristic(i, 12, 1700000000);
        EXPECT_EQ(sim().SlotImage(i), EncodeCharImage(expected)) << i;
    }
    // The serial number first: every entry after it names the meter as it is now.
    const auto lines = sim().ReceivedLines();
    const auto at = [&](const char* prefix) {
        return std::find_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
               lines.begin();
    };
    EXPECT_LT(at("SW"), at("VW"));
    EXPECT_LT(at("VW"), at("DW"));
    EXPECT_LT(at("DW"), at("KW"));
    EXPECT_LT(at("KW"), at("CW"));
    const QJsonArray entries = Journal();
    ASSERT_EQ(entries.size(), 16);
    for (const auto& e : entries) {
        const QJsonObject o = e.toObject();
        EXPECT_EQ(o["outcome"].toString(), QStringLiteral("confirmed"));
        EXPECT_EQ(o["meter_serial"].toInt(), o["target"].toString() == "serial_number" ? 17 : 1234);
    }

    sim().ClearReceived();
    r = RunIn(Commission());
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("Miernik zgodny z zadaniem; nic nie zapisano.\n")));
    for (const char* write : {"SW", "VW", "DW", "KW", "CW"})
        EXPECT_EQ(sim().CountReceived(write), 0u);
    EXPECT_EQ(Journal().size(), 16);
}

TEST_F(CliCommission, FirstFailureStopsNamingItsStepAndLeavesTheWritesJournaled) {
    SimFaults f;
    f.silentLines = {"CW03"};
    sim().SetFaults(f);
    auto r = RunIn(Commission());
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(),
              QStringList{"Uruchomienie przerwane w kroku 8 z 16 (Charakterystyka nr 4): Nie "
                          "można zapisać ustawień (charakterystyka nr 4); wcześniejsze zapisy "
                          "(7) są w dzienniku zmian."});
    EXPECT_EQ(sim().SlotImage(4)[0], 0xFF) << "nothing after the failed step";
    const QJsonArray entries = Journal();
    ASSERT_EQ(entries.size(), 8);
    EXPECT_EQ(entries[0].toObject()["outcome"].toString(), QStringLiteral("failed"));
    EXPECT_EQ(entries[1].toObject()["slot"].toInt(), 3);
    // What was written can be restored: the entry names the meter it is on.
    sim().ClearFaults();
    r = RunIn({"journal", "restore", QString::number(entries[1].toObject()["id"].toInteger()),
               "--port", port(), "--service", "--journal", journal});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();

    // Refusals come before the port is opened.
    sim().ClearReceived();
    const struct {
        QStringList args;
        QString line;
    } refused[] = {
        {{"commission", "--port", port(), "--serial", "5"},
         "Polecenia serwisowe wymagają trybu serwisowego (--service)"},
        {{"commission", "--port", port(), "--service", "--date", "2100-01"},
         "Podany rok poza dopuszczalnym zakresem"},
        {{"commission", "--port", port(), "--service", "--letter", "AB"},
         "Podaj jeden znak typu panelu (litera lub cyfra ASCII)"},
        {{"commission", "--port", port(), "--service", "--coefficient", "1e40"},
         "Współczynnik poza zakresem miernika: 1e40"},
        {{"commission", "--port", port(), "--service"},
         "Podaj, co zapisać: --table, --serial, --letter, --date albo --coefficient"},
    };
    for (const auto& c : refused) {
        r = RunIn(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.ErrLines(), QStringList{c.line});
    }
    EXPECT_TRUE(sim().ReceivedLines().empty());
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

TEST_F(CliCommission, CommonOptionsMayComeBeforeTheCommand) {
    const auto after = RunIn({"info", "--port", port()});
    ASSERT_EQ(after.code, 0) << after.err.toStdString();
    EXPECT_EQ(RunIn({"--port", port(), "info"}).out, after.out);
    EXPECT_EQ(RunIn({QStringLiteral("--port=") + port(), "info"}).out, after.out);
    auto r = RunIn({"--service", "--port", port(), "--no-journal", "service", "serial", "55"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().State().serialNumber, 55);

    const struct {
        QStringList args;
        QString line;
    } wrong[] = {
        {{"--demo", "show", table}, "kv60x-cli show: nieznana opcja --demo (zob. --help)"},
        {{"--port"}, "kv60x-cli: brak wartości opcji --port (zob. --help)"},
        {{"--port", "COM1", "info", "--port", "COM2"},
         "kv60x-cli: opcja --port podana przed poleceniem i po nim"},
    };
    for (const auto& c : wrong) {
        r = RunIn(c.args);
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.ErrLines(), QStringList{c.line});
    }
}

}  // namespace
