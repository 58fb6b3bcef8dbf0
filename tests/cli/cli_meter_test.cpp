#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <thread>

#include "cli/record_text.h"
#include "cli_test_support.h"
#include "records/record_files.h"
#include "sim/demo_data.h"
#include "support/test_support.h"

using clitest::Com;
using clitest::RunIn;
using testsupport::SimulatedMeter;
using testsupport::WaitFor;

namespace {

class CliMeter : public ::testing::Test {
protected:
    void SetUp() override {
        meter = std::make_unique<SimulatedMeter>();
        FillDemoCharacteristics(sim(), 12);
        ASSERT_TRUE(dir.isValid());
    }
    MeterSimulator& sim() { return meter->sim(); }
    QString port() const { return Com(meter->port()); }
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    std::unique_ptr<SimulatedMeter> meter;
    QTemporaryDir dir;
};

TEST_F(CliMeter, InfoShowsIdentityAndState) {
    sim().ModifyState([](SimMeterState& s) {
        s.serialNumber = 4321;
        s.lowSupplyVoltage = true;
        s.temperature = -2.0;
    });
    auto r = RunIn({"info", "--port", port()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("Urządzenie: KV-607A")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Numer seryjny: 4321")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Data uruchamiania: 2009-08")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Stan: Niskie napięcie zasilania.")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Temperatura: -2.00 °C")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("Liczba charakterystyk: 12")));
    r = RunIn({"info", "--port", port(), "--json"});
    ASSERT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"serialNumber\": 4321,")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"lowSupplyVoltage\": true,")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"temperature\": -2.00,")));
}

TEST_F(CliMeter, SilentMeterAndUnknownPortsFailWithOneLine) {
    SimFaults f;
    f.silent = true;
    sim().SetFaults(f);
    auto r = RunIn({"info", "--port", port()}, nullptr, 800);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Brak komunikacji z urządzeniem.")});
    EXPECT_TRUE(r.out.isEmpty());

    for (const QString& p : {QStringLiteral("COM199"), QStringLiteral("/no/such/tty"),
                             QStringLiteral("COM0"), QStringLiteral("ttyUSB0")}) {
        r = RunIn({"info", "--port", p});
        EXPECT_EQ(r.code, 2) << p.toStdString();
        EXPECT_EQ(r.ErrLines().size(), 1) << r.err.toStdString();
    }
    r = RunIn({"info"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines().size(), 1);
}

TEST_F(CliMeter, ServiceCommandsWriteWhatTheDialogsWrite) {
    auto r = RunIn({"service", "serial", "123", "--port", port(), "--service"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().State().serialNumber, 123);
    EXPECT_EQ(sim().CountReceived("SW0123"), 1u);
    EXPECT_EQ(r.out, QStringLiteral("Numer seryjny: 123\n"));

    r = RunIn({"service", "date", "2012-05", "--port", port(), "--service"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().CountReceived("DW1205"), 1u);
    EXPECT_EQ(sim().State().startupYear, 2012);
    EXPECT_EQ(sim().State().startupMonth, 5);

    r = RunIn({"service", "letter", "C", "--port", port(), "--service"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().State().versionLetter, 'C');
    EXPECT_EQ(r.out, QStringLiteral("Urządzenie: KV-607C\n"));

    r = RunIn({"service", "coefficient", "1,5", "--port", port(), "--service"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().CountReceived("KW0000C03F"), 1u);
    EXPECT_DOUBLE_EQ(sim().State().electrodeCoefficient, 1.5);
    EXPECT_EQ(r.out, QStringLiteral("Współczynnik kształtu elektrod: 1.50000000\n"));
}

TEST_F(CliMeter, ServiceInputChecksComeFirstAndSendNothing) {
    struct Case {
        QStringList args;
        QString message;
    };
    const std::vector<Case> cases = {
        {{"date", "1999-05"}, "Podany rok poza dopuszczalnym zakresem"},
        {{"date", "2100-01"},
         "Podany rok poza dopuszczalnym zakresem"},  // the meter could not report it
        {{"date", "2256-13"},
         "Podany rok poza dopuszczalnym zakresem"},  // the year is checked first
        {{"date", "2020-0"}, "Podany miesiąc poza dopuszczalnym zakresem"},
        {{"date", "2020-13"}, "Podany miesiąc poza dopuszczalnym zakresem"},
        {{"serial", "0"}, "Podaj prawidłowy numer seryjny"},
        {{"serial", ""}, "Podaj prawidłowy numer seryjny"},
        {{"serial", "12ab"}, "Podaj prawidłowy numer seryjny"},
    };
    sim().ClearReceived();
    for (const Case& c : cases) {
        auto r =
            RunIn(QStringList{"service"} + c.args + QStringList{"--port", port(), "--service"});
        EXPECT_EQ(r.code, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(r.ErrLines(), QStringList{c.message}) << c.args.join(' ').toStdString();
    }
    EXPECT_EQ(RunIn({"service", "coefficient", "abc", "--port", port(), "--service"}).code, 2);
    EXPECT_EQ(RunIn({"service", "letter", "AB", "--port", port(), "--service"}).code, 2);
    EXPECT_TRUE(sim().ReceivedLines().empty());  // the port was not even opened
}

TEST_F(CliMeter, FailedServiceWritesSayWhichWrite) {
    SimFaults f;
    f.silentCommands = {"SW", "DW", "VW", "KW"};
    sim().SetFaults(f);
    auto r = RunIn({"service", "serial", "99", "--port", port(), "--service"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Nie można ustawić numeru seryjnego")});
    r = RunIn({"service", "date", "2015-01", "--port", port(), "--service"});
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Nie można zapisać daty uruchamiania")});
    r = RunIn({"service", "letter", "Z", "--port", port(), "--service"});
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Nie można zapisać typu panelu")});
    r = RunIn({"service", "coefficient", "2.5", "--port", port(), "--service"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Nie można zapisać ustawień")});
}

TEST_F(CliMeter, RecordReadAndWriteUseUserSlotNumbers) {
    const QString kvr = Path("r.kvr");
    auto r = RunIn({"record", "read", "--port", port(), "--slot", "3", kvr});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    CharRecData fromFile;
    ASSERT_TRUE(LoadCharRecFile(kvr, &fromFile));
    CharRecData expected = sim().SlotRecord(2);
    EXPECT_TRUE(fromFile == expected);

    // Written into slot 8 (index 7): the slot now holds it, numbered as slot 8.
    sim().ClearReceived();
    r = RunIn({"record", "write", "--port", port(), "--slot", "8", kvr});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    expected.REC_NUMBER = 7;
    EXPECT_TRUE(sim().SlotRecord(7) == expected);
    EXPECT_EQ(sim().CountReceived("CW07"), 1u);

    // A slot the meter does not have, and no slot at all.
    EXPECT_EQ(RunIn({"record", "write", "--port", port(), "--slot", "13", kvr}).code, 2);
    EXPECT_EQ(RunIn({"record", "write", "--port", port(), kvr}).code, 2);
}

TEST_F(CliMeter, BadRecordFilesAndRefusedWrites) {
    const QString kvr = Path("r.kvr");
    CharRecData d = sim().SlotRecord(0);
    ASSERT_TRUE(SaveCharRecFile(kvr, d));
    const QByteArray bytes =
        QByteArray::fromStdString(testsupport::ReadFileBytes(kvr.toStdString()));

    const QString cut = Path("cut.kvr");
    ASSERT_TRUE(testsupport::WriteFileBytes(cut.toStdString(), bytes.left(300).toStdString()));
    sim().ClearReceived();
    auto r = RunIn({"record", "write", "--port", port(), "--slot", "1", cut});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines().size(), 1);

    // An invalid curve never reaches the meter; its message stays the editor's.
    d.RH[1] = d.RH[0];
    const QString bad = Path("bad.kvr");
    ASSERT_TRUE(SaveCharRecFile(bad, d));
    r = RunIn({"record", "write", "--port", port(), "--slot", "1", bad});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QStringLiteral(
                  "Argumenty funkcji charakterystyki powinny być ułożone w kolejności")});
    EXPECT_EQ(sim().CountReceived("CW"), 0u);

    SimFaults f;
    f.refuseCharHeader = true;
    sim().SetFaults(f);
    r = RunIn({"record", "write", "--port", port(), "--slot", "2", kvr});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QStringLiteral("Nie można zapisać ustawień (charakterystyka nr 2)")});
}

TEST_F(CliMeter, TableReadThenWriteBackLeavesTheMeterUnchanged) {
    std::vector<MeterSimulator::Image> before;
    for (int i = 0; i < 12; ++i) before.push_back(sim().SlotImage(i));
    const QString kvz = Path("t.kvz");
    auto r = RunIn({"table", "read", "--port", port(), "--out", kvz});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    auto set = std::make_unique<CTableCharRec>();
    ASSERT_TRUE(LoadCharRecSetFile(kvz, set.get()));
    ASSERT_EQ(set->Count(), 12);
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(set->Get(i) == sim().SlotRecord(i)) << i;

    sim().ClearReceived();
    r = RunIn({"table", "write", "--port", port(), kvz});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().CountReceived("CW"), 12u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(sim().SlotImage(i), before[i]) << i;

    // Only the chosen slots are written, and record i of the file goes to slot i
    // whatever REC_NUMBER it carries.
    set->Put(
        [&] {
            CharRecData d = set->Get(5);
            d.REC_NUMBER = 0;
            return d;
        }(),
        2);
    ASSERT_TRUE(SaveCharRecSetFile(kvz, *set));
    sim().ClearReceived();
    r = RunIn({"table", "write", "--port", port(), kvz, "--slots", "1,3-4"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(sim().CountReceived("CW00"), 1u);
    EXPECT_EQ(sim().CountReceived("CW02"), 1u);
    EXPECT_EQ(sim().CountReceived("CW03"), 1u);
    EXPECT_EQ(sim().CountReceived("CW"), 3u);
    EXPECT_EQ(sim().SlotImage(0), before[0]);
    CharRecData moved = set->Get(5);
    moved.REC_NUMBER = 2;
    EXPECT_TRUE(sim().SlotRecord(2) == moved);

    r = RunIn({"table", "write", "--port", port(), kvz, "--slots", "13"});  // meter has 12
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines().size(), 1);
    EXPECT_EQ(RunIn({"table", "write", "--port", port(), kvz, "--slots", "3-1"}).code, 2);
}

TEST_F(CliMeter, TableWriteValidatesEveryRecordBeforeWritingAny) {
    auto set = std::make_unique<CTableCharRec>();
    for (int i = 0; i < 4; ++i) set->Put(sim().SlotRecord(i), i);
    set->Put(MakeEmptySlot(4), 4);  // an empty slot clears the meter's slot
    CharRecData bad = sim().SlotRecord(5);
    bad.ACTIVE = 16;
    set->Put(bad, 5);
    const QString kvz = Path("bad.kvz");
    ASSERT_TRUE(SaveCharRecSetFile(kvz, *set));
    sim().ClearReceived();
    auto r = RunIn({"table", "write", "--port", port(), kvz});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QStringLiteral("Charakterystyka nr 6: Liczba punktów pomiarowych powinna "
                                         "zawierać się w przedziale <2, 15>")});
    EXPECT_EQ(sim().CountReceived("CW"), 0u);

    // Without the bad slot the empty one is written and clears slot 5.
    r = RunIn({"table", "write", "--port", port(), kvz, "--slots", "1-5"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const CharRecData cleared = sim().SlotRecord(4);
    EXPECT_EQ(cleared.ENABLE, 0);
    EXPECT_EQ(cleared.ACTIVE, 0);

    // A truncated set file is refused before the meter is touched.
    const std::string bytes = testsupport::ReadFileBytes(kvz.toStdString());
    const QString cut = Path("cut.kvz");
    ASSERT_TRUE(testsupport::WriteFileBytes(cut.toStdString(), bytes.substr(0, bytes.size() - 10)));
    sim().ClearReceived();
    r = RunIn({"table", "write", "--port", port(), cut});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines().size(), 1);
    EXPECT_TRUE(sim().ReceivedLines().empty());
}

TEST_F(CliMeter, TableReadFailureWritesNoFile) {
    SimFaults f;
    f.silentCommands = {"CR"};
    sim().SetFaults(f);
    const QString kvz = Path("t.kvz");
    auto r = RunIn({"table", "read", "--port", port(), "--out", kvz});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QStringLiteral("Nie można odczytać ustawień (charakterystyka nr 1)")});
    EXPECT_FALSE(QFile::exists(kvz));

    // Noise in the slot count ("CN1Z") is not a count of 16: the meter never
    // completes a polling cycle, so no backup is made.
    f.silentCommands.clear();
    f.nonDigitAnswers = {"CN"};
    sim().SetFaults(f);
    r = RunIn({"table", "read", "--port", port(), "--out", kvz});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Brak komunikacji z urządzeniem.")});
    EXPECT_FALSE(QFile::exists(kvz));
}

TEST_F(CliMeter, WatchPrintsOneLinePerCycle) {
    sim().ModifyState([](SimMeterState& s) { s.temperatureError = true; });
    auto r = RunIn({"watch", "--port", port(), "--count", "3"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(QChar('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    for (const QString& l : lines) {
        EXPECT_TRUE(l.contains(QStringLiteral("??? °C  Błąd pomiaru temperatury.  SD S0000000")))
            << l.toStdString();
    }
    // Service data on: the cycles follow each other, each with "SD".
    EXPECT_GE(sim().CountReceived("SD"), 3u);
}

TEST_F(CliMeter, LogWritesWholeLinesUntilStopped) {
    const QString file = Path("log.csv");
    std::atomic<bool> stop{false};
    clitest::CliResult r;
    std::thread runner([&] {
        r = RunIn({"log", "--port", port(), "--interval", "0.1", "--out", file, "--sep",
                   "semicolon", "--decimal", "comma", "--comment", "Seria 1\nsuszarnia"},
                  &stop);
    });
    ASSERT_TRUE(
        WaitFor([&] { return testsupport::ReadFileBytes(file.toStdString()).size() > 200; }, 5000));
    sim().Unplug();  // the link goes down: "???" from then on
    ASSERT_TRUE(WaitFor(
        [&] {
            return QString::fromStdString(testsupport::ReadFileBytes(file.toStdString()))
                .contains("???");
        },
        5000));
    stop = true;
    runner.join();
    ASSERT_EQ(r.code, 0) << r.err.toStdString();

    const QString text = QString::fromLocal8Bit(
        QByteArray::fromStdString(testsupport::ReadFileBytes(file.toStdString())));
    ASSERT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[0], QStringLiteral("Seria 1"));
    EXPECT_EQ(lines[1], QStringLiteral("suszarnia"));
    EXPECT_EQ(lines[2], QStringLiteral("Data i Godzina;Temperatura °C"));
    const QRegularExpression reading(QStringLiteral("^[^;]+;(21,5|\\?\\?\\?)$"));
    for (int i = 3; i < lines.size() - 1; ++i) {
        EXPECT_TRUE(reading.match(lines[i]).hasMatch()) << lines[i].toStdString();
    }
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(";21,5")));
    EXPECT_EQ(text.count(QChar('\n')), text.count(QStringLiteral("\r\n")));
}

TEST_F(CliMeter, LogNeverOverwritesUnasked) {
    const QString file = Path("log.txt");
    ASSERT_TRUE(testsupport::WriteFileBytes(file.toStdString(), "old\r\n"));
    auto r = RunIn({"log", "--port", port(), "--interval", "1", "--out", file});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines().size(), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(file.toStdString()), "old\r\n");

    r = RunIn({"log", "--port", port(), "--interval", "0.1", "--out", file, "--append", "--count",
               "2", "--sep", "tab", "--decimal", "dot", "--comment", "dalej"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = QString::fromStdString(testsupport::ReadFileBytes(file.toStdString()));
    EXPECT_TRUE(text.startsWith(QStringLiteral("old\r\n\r\ndalej\r\nData i Godzina\tTemperatura")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\t21.5\r\n")));

    r = RunIn({"log", "--port", port(), "--interval", "0.1", "--out", file, "--truncate", "--count",
               "1", "--sep", "comma"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(QString::fromStdString(testsupport::ReadFileBytes(file.toStdString()))
                    .startsWith(QStringLiteral("Data i Godzina,")));

    EXPECT_EQ(RunIn({"log", "--port", port(), "--interval", "0", "--out", Path("x.txt")}).code, 2);
    EXPECT_EQ(
        RunIn({"log", "--port", port(), "--interval", "1", "--out", Path("x.txt"), "--sep", "pipe"})
            .code,
        2);
    EXPECT_EQ(
        RunIn({"log", "--port", port(), "--interval", "1", "--out", Path("no/dir/x.txt")}).code, 2);
}

}  // namespace

TEST_F(CliMeter, ServiceRightsFollowTheWindow) {
    // Without --service: every service command is refused before the port opens.
    sim().ClearReceived();
    for (const QStringList& args : std::vector<QStringList>{{"serial", "123"},
                                                            {"date", "2012-05"},
                                                            {"letter", "C"},
                                                            {"coefficient", "1,5"},
                                                            {"coefficient"}}) {
        auto r = RunIn(QStringList{"service"} + args + QStringList{"--port", port()});
        EXPECT_EQ(r.code, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral(
                                    "Polecenia serwisowe wymagają trybu serwisowego (--service)")});
    }
    EXPECT_TRUE(sim().ReceivedLines().empty());
    EXPECT_EQ(sim().State().serialNumber, 17);

    // A protected slot: not read into a file, not shown, not sent from a file.
    CharRecData prot = sim().SlotRecord(1);
    prot.PASSWORD = 1;
    sim().SetSlotRecord(1, prot);
    const QString kvr = Path("p.kvr");
    const QString denied = QStringLiteral("Brak dostępu do charakterystyki - ochrona hasłem");
    auto r = RunIn({"record", "read", "--port", port(), "--slot", "2", kvr});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(), QStringList{denied});
    EXPECT_FALSE(QFile::exists(kvr));
    r = RunIn({"record", "read", "--port", port(), "--slot", "2", kvr, "--service"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    CharRecData fromFile;
    ASSERT_TRUE(LoadCharRecFile(kvr, &fromFile));
    EXPECT_TRUE(fromFile == prot);

    r = RunIn({"show", kvr});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(), QStringList{denied});
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(RunIn({"show", kvr, "--json", "--service"}).code, 0);
    EXPECT_EQ(RunIn({"convert", kvr, Path("p.json")}).code, 2);
    EXPECT_FALSE(QFile::exists(Path("p.json")));
    EXPECT_EQ(RunIn({"convert", kvr, Path("p.json"), "--service"}).code, 0);

    sim().ClearReceived();
    r = RunIn({"record", "write", "--port", port(), "--slot", "4", kvr});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(), QStringList{denied});
    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(RunIn({"record", "write", "--port", port(), "--slot", "4", kvr, "--service"}).code,
              0);
    EXPECT_EQ(sim().SlotRecord(3).PASSWORD, 1);

    // A table file is read as the table window reads it; showing it names the record.
    const QString kvz = Path("t.kvz");
    ASSERT_EQ(RunIn({"table", "read", "--port", port(), "--out", kvz}).code, 0);
    r = RunIn({"show", kvz, "--csv"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.ErrLines(), QStringList{QStringLiteral("Charakterystyka nr 2: ") + denied});
    EXPECT_EQ(RunIn({"show", kvz, "--csv", "--service"}).code, 0);
}

TEST_F(CliMeter, DamagedOrMisaddressedAnswersAreAskedAgainThenRefused) {
    // One damaged and one misaddressed answer: asked again, read whole.
    SimFaults f;
    f.badChecksumSlots = {2};
    f.badChecksumLimit = 1;
    f.wrongSlotAnswers = 1;
    sim().SetFaults(f);
    const QString kvz = Path("t.kvz");
    auto r = RunIn({"table", "read", "--port", port(), "--out", kvz});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    auto set = std::make_unique<CTableCharRec>();
    ASSERT_TRUE(LoadCharRecSetFile(kvz, set.get()));
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(set->Get(i) == sim().SlotRecord(i)) << i;
    EXPECT_EQ(sim().CountReceived("CR00"), 2u);
    EXPECT_EQ(sim().CountReceived("CR02"), 2u);

    // Slot 6 always damaged: the read fails by name, no file, and nothing blank
    // can travel on to another meter.
    f = SimFaults();
    f.badChecksumSlots = {5};
    sim().SetFaults(f);
    const QString broken = Path("broken.kvz");
    r = RunIn({"table", "read", "--port", port(), "--out", broken});
    EXPECT_EQ(r.code, 1);
    const MeterSimulator::Image sixth = sim().SlotImage(5);
    EXPECT_EQ(r.ErrLines(),
              QStringList{QString::asprintf(
                  "Nie można odczytać charakterystyki nr 6 - błędna suma kontrolna (odebrana "
                  "%02X, obliczona %02X)",
                  static_cast<uint8_t>(sixth[255] + 0x55), sixth[255])});
    EXPECT_FALSE(QFile::exists(broken));
    r = RunIn({"record", "read", "--port", port(), "--slot", "6", Path("six.kvr")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.ErrLines().size(), 1);
    EXPECT_TRUE(r.ErrLines().value(0).contains(QStringLiteral("błędna suma kontrolna")));
    EXPECT_FALSE(QFile::exists(Path("six.kvr")));
}
