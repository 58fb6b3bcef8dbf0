#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <ctime>
#include <memory>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/report_dlg.h"
#include "cli/cli_test_support.h"
#include "journal/journal_db.h"
#include "records/cp1250.h"
#include "records/record_files.h"
#include "report/meter_report.h"
#include "report/report_pdf.h"
#include "session/char_table.h"
#include "sim/demo_data.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

namespace {

using testsupport::ReadFileData;

// What a reader of the PDF gets as text (poppler's pdftotext); pages end in "\f".
// ThreadSanitizer cannot follow QProcess's vfork: a test starts no thread
// after its first call (ctest runs each test in a process of its own).
QString PdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString PdfText(const QByteArray& pdf) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.pdf"));
    testsupport::WriteFileData(path, pdf);
    return PdfText(path);
}

QString Render(const MeterReport& report) {
    QByteArray pdf;
    QString error;
    EXPECT_TRUE(RenderReportPdf(report, &pdf, &error)) << error.toStdString();
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    return PdfText(pdf);
}

// A meter with 12 demo characteristics, slot 5 password protected with a
// point no other slot has, slot 7 with a coefficient of nine digits; a
// session on it whose writes go to a journal of its own.
class MeterReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        SimMeterState state;
        state.model = "KV-606";
        state.versionLetter = 'B';
        state.serialNumber = 4321;
        meter = std::make_unique<testsupport::SimulatedMeter>(state);
        FillDemoCharacteristics(meter->sim(), 12);
        const int32_t now = static_cast<int32_t>(std::time(nullptr));
        CharRecData secret = DemoCharacteristic(4, 12, now);
        secret.PASSWORD = 1;
        secret.RH[1] = 77.25;
        meter->sim().SetSlotRecord(4, secret);
        CharRecData exact = DemoCharacteristic(6, 12, now);
        exact.ENABLE = 1;
        exact.COMPENS[2] = 3.1415927410125732;  // a float: "3.14159274" in nine digits
        meter->sim().SetSlotRecord(6, exact);
        journal.path = dir.filePath(QStringLiteral("journal.sqlite"));
        journal.program = QStringLiteral("kv60x");
        journal.user = QStringLiteral("anna");
        session.SetJournal(journal);
        session.SetTiming(testsupport::FastTiming());
        ASSERT_TRUE(session.Connect(meter->port()));
        ASSERT_TRUE(session.WaitForLink(5000));
    }

    MeterReport Collect(const CTableCharRec* reference = nullptr) {
        MeterReportRequest request;
        request.journalPath = journal.path;
        request.reference = reference;
        request.referencePath = QStringLiteral("wzorzec.kvz");
        MeterReport report;
        const MeterReportResult r = CollectMeterReport(session, request, nullptr, nullptr, &report);
        EXPECT_TRUE(r.ok()) << r.message.toStdString();
        return report;
    }

    std::unique_ptr<testsupport::SimulatedMeter> meter;
    QTemporaryDir dir;
    JournalSettings journal;
    MeterSession session;
};

}  // namespace

TEST_F(MeterReportTest, TextHoldsMeterSlotsJournalAndPagesAndHidesProtectedCurves) {
    // A journaled rename of slot 2, and an entry of another meter.
    CharRecData before;
    CharReadReport read;
    ASSERT_TRUE(session.ReadCharacteristic(1, &before, &read));
    CharRecData renamed = before;
    SetFixedField(renamed.NAME, CharRecData::kNameLen, QStringLiteral("Owies"));
    ASSERT_EQ(session.Write(MeterWrite::Characteristic(renamed, ImageBytes(read.image))).status,
              WriteStatus::Confirmed);
    {
        QString error;
        auto db = JournalDb::Open(journal.path, JournalDb::Mode::Write, &error);
        JournalEntry foreign;
        foreign.user = QStringLiteral("obcy");
        foreign.meter.serial = 555;
        foreign.target = JournalTarget::SerialNumber;
        foreign.after = SerialNumberValue(555);
        ASSERT_GT(db->AddPending(foreign, &error), 0);
    }

    const MeterReport report = Collect();
    ASSERT_EQ(report.table.size(), 12u);
    const QString text = Render(report);
    for (const char* expected :
         {"Raport miernika KV-606B nr 4321", "Numer seryjny", "4321", "2009-08", "bez błędów",
          "21.50 °C", "3.14159274", "Owies", "Charakterystyka nr 2", "anna", "potwierdzony"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(text.contains(QStringLiteral("obcy")));
    for (const ReportSlot& s : report.table) {
        if (s.rec.ENABLE == 1) {
            const QString name = FixedFieldTextUnpadded(s.rec.NAME, CharRecData::kNameLen);
            EXPECT_TRUE(text.contains(name)) << s.slot;
        }
    }
    const int pages = text.count(QChar('\f'));
    ASSERT_GT(pages, 1);
    EXPECT_TRUE(text.contains(QStringLiteral("Strona 1 z %1").arg(pages)));
    EXPECT_TRUE(text.contains(QStringLiteral("Strona %1 z %1").arg(pages)));

    // The protected curve only in service mode.
    EXPECT_FALSE(text.contains(QStringLiteral("77.25")));
    EXPECT_TRUE(text.contains(QStringLiteral("(ochrona hasłem)")));
    MeterReport service = report;
    service.serviceMode = true;
    EXPECT_TRUE(Render(service).contains(QStringLiteral("77.25")));

    // Entries older than --since are left out.
    MeterReport later = report;
    QString error;
    ASSERT_TRUE(AddJournalEntries(&later, journal.path, 4321, QDate::currentDate().addDays(1), 3000,
                                  &error));
    EXPECT_TRUE(later.journal->entries.empty());
}

TEST_F(MeterReportTest, ReferenceComparisonNamesTheChangedField) {
    CharTable table(&session);
    ASSERT_TRUE(table.TakeCountFromMeter());
    ASSERT_TRUE(table.ReadAll().ok);
    CTableCharRec reference;
    table.Export(&reference);
    CharRecData changed = reference.Get(2);
    SetFixedField(changed.NAME, CharRecData::kNameLen, QStringLiteral("Wzorzec"));
    reference.Put(changed, 2);

    const MeterReport report = Collect(&reference);
    EXPECT_TRUE(report.table[0].comparison->differences.empty());
    const QString text = Render(report);
    EXPECT_TRUE(text.contains(QStringLiteral("Różnice: charakterystyki nr 3")));
    EXPECT_TRUE(text.contains(QStringLiteral("Nazwa materiału")));
    EXPECT_TRUE(text.contains(QStringLiteral("Wzorzec")));
}

TEST(ReportCommand, SetFileReportAndOutputsThatCannotBeWritten) {
    QTemporaryDir dir;
    const QString set = dir.filePath(QStringLiteral("zbior.kvz"));
    CTableCharRec records;
    for (int i = 0; i < 5; ++i) records.Put(DemoCharacteristic(i, 5, 1700000000), i);
    ASSERT_TRUE(SaveCharRecSetFile(set, records));
    const QString out = dir.filePath(QStringLiteral("raport.pdf"));
    {
        // A slot the meter keeps answering damaged: code 1 and no report.
        testsupport::SimulatedMeter meter;
        FillDemoCharacteristics(meter.sim(), 6);
        SimFaults damaged;
        damaged.badChecksumSlots = {3};
        meter.sim().SetFaults(damaged);
        const clitest::CliResult failed =
            clitest::RunIn({"report", "--port", clitest::Com(meter.port()), "--out", out});
        EXPECT_EQ(failed.code, 1);
        ASSERT_EQ(failed.ErrLines().size(), 1);
        EXPECT_TRUE(failed.err.contains(QStringLiteral("nr 4"))) << failed.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    const clitest::CliResult r = clitest::RunIn({"report", set, "--out", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = PdfText(out);
    EXPECT_TRUE(text.contains(QStringLiteral("Raport pliku zbioru charakterystyk")));
    EXPECT_TRUE(text.contains(QStringLiteral("Jęczmień")));

    // A folder that takes no files: nothing, code 2. A write that fails on
    // the way (a full disk): the old report stays.
    testsupport::SmallTmpfs disk(256);
    if (disk.Mounted() && disk.MakeReadOnly()) {
        const QString target = QString::fromStdString(disk.Path() + "/r.pdf");
        const clitest::CliResult ro = clitest::RunIn({"report", set, "--out", target});
        EXPECT_EQ(ro.code, 2);
        EXPECT_EQ(ro.ErrLines().size(), 1);
        EXPECT_FALSE(QFile::exists(target));
    }
    const QByteArray old = ReadFileData(out);
    clitest::CliResult full;
    {
        testsupport::FileSizeLimit limit(4096);
        full = clitest::RunIn({"report", set, "--out", out});
    }
    EXPECT_EQ(full.code, 2);
    EXPECT_TRUE(full.err.startsWith(QStringLiteral("Nie można zapisać raportu: ") + out));
    EXPECT_EQ(ReadFileData(out), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    EXPECT_EQ(clitest::RunIn({"report", set, "--out", out, "--port", "COM1"}).code, 2);
    EXPECT_EQ(clitest::RunIn({"report", "--demo", "--out", out, "--since", "2024-13-01"}).code, 2);
}

TEST(ReportCommand, CommissionReportListsItsStepsAndTheCheck) {
    QTemporaryDir dir;
    const QString set = dir.filePath(QStringLiteral("zbior.kvz"));
    CTableCharRec records;
    for (int i = 0; i < 4; ++i) records.Put(DemoCharacteristic(i, 4, 1700000000), i);
    ASSERT_TRUE(SaveCharRecSetFile(set, records));
    testsupport::SimulatedMeter meter;
    meter.sim().ModifyState([](SimMeterState& s) { s.slotCount = 4; });
    const QString out = dir.filePath(QStringLiteral("uruchomienie.pdf"));
    const clitest::CliResult r =
        clitest::RunIn({"commission", "--port", clitest::Com(meter.port()), "--service", "--table",
                        set, "--serial", "4321", "--journal",
                        dir.filePath(QStringLiteral("j.sqlite")), "--report", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QString text = PdfText(out);
    for (const char* words :
         {"Uruchomienie miernika", "Numer seryjny", "zapisano: 4321", "Charakterystyka nr 4",
          "Odczyt kontrolny", "zgodny z zadaniem", "nr 4321"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(words))) << words;
}

TEST(ReportCommand, ProgramDrawsWithoutADisplay) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("demo.pdf"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KV60X_CLI_BINARY),
            {"report", "--demo", "--out", out, "--service", "--since", "2020-01-01"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_EQ(p.readAllStandardError(), QByteArray());
    EXPECT_TRUE(PdfText(out).contains(QStringLiteral("Raport miernika KV-607A nr 17")));
}

TEST(ReportWindow, MenuItemWritesTheReportAndAnulujStopsTheRead) {
    ScopedPrompts prompts;
    testsupport::SimulatedMeter meter;
    FillDemoCharacteristics(meter.sim(), 30);
    Ckv60xDlg window(false);
    AppSettings settings;
    settings.portNr = meter.port();
    window.session().SetTiming(testsupport::FastTiming());
    window.LoadSettings(settings);
    window.show();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return window.session().Snapshot().linkUp(); }));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("raport"));
    prompts->answerFile(path);
    window.action(Ckv60xDlg::kCmdReport)->trigger();
    ASSERT_EQ(prompts->fileRequests.size(), 1u);
    EXPECT_EQ(prompts->fileRequests[0].request.filters,
              QStringList{QStringLiteral("Raport PDF (*.pdf)")});
    ASSERT_FALSE(prompts->messages.empty());
    EXPECT_EQ(prompts->messages.back().text, QStringLiteral("Raport zapisano: ") + path + ".pdf");

    // Every answer late: the read takes seconds, and "Anuluj" ends it without a file.
    SimFaults slow;
    slow.lateMs = 60;
    meter.sim().SetFaults(slow);
    const QString stopped = dir.filePath(QStringLiteral("przerwany.pdf"));
    prompts->answerFile(stopped);
    testsupport::WhenShown<MeterReportDlg>([](MeterReportDlg* d) {
        testsupport::WaitUntil([d] { return d->Progress()->value() >= 1; }, 10000);
        d->CancelButton()->click();
    });
    window.action(Ckv60xDlg::kCmdReport)->trigger();
    EXPECT_EQ(prompts->messages.back().text,
              QStringLiteral("Przerwano; raport nie został zapisany."));
    EXPECT_FALSE(QFile::exists(stopped));
    EXPECT_TRUE(PdfText(path + ".pdf").contains(QStringLiteral("nr 17")));
}
