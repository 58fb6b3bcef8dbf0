#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "journal/journal_db.h"
#include "meter/meter_float.h"
#include "service/widgets/cal_dlg.h"
#include "service/widgets/electrode_dlg.h"
#include "service/widgets/panel_info_dlg.h"
#include "service/widgets/serial_number_dlg.h"
#include "service/widgets/service_dialogs.h"
#include "session/meter_session.h"
#include "sim/meter_simulator.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "ui/grab_util.h"

using testsupport::FastTiming;
using testsupport::Grab;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;

namespace {

const QString kCannotRead = QStringLiteral("Nie można odczytać ustawień");
const QString kYearRange = QStringLiteral("Podany rok poza dopuszczalnym zakresem");
const QString kMonthRange = QStringLiteral("Podany miesiąc poza dopuszczalnym zakresem");

// A KV-606A 1.2 with serial number 17, commissioned 2009-08.
SimMeterState Panel() {
    SimMeterState s;
    s.model = "KV-606";
    s.versionLetter = 'A';
    s.versionMajor = 1;
    s.versionMinor = 2;
    s.serialNumber = 17;
    s.startupYear = 2009;
    s.startupMonth = 8;
    s.electrodeCoefficient = 1.0;
    return s;
}

// The edit field whose accessible name is `name` (its visible label).
QLineEdit* Edit(QWidget* dlg, const QString& name) {
    for (QLineEdit* e : dlg->findChildren<QLineEdit*>())
        if (e->accessibleName() == name) return e;
    ADD_FAILURE() << "no edit field named " << name.toStdString();
    return nullptr;
}

QPushButton* Button(QWidget* dlg, const QString& text) {
    for (QPushButton* b : dlg->findChildren<QPushButton*>())
        if (b->text() == text && b->accessibleName() == text) return b;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A meter session (not connected until Start) and the simulated meter it talks to.
class ServiceDialogs : public ::testing::Test {
protected:
    ServiceDialogs() { session->SetTiming(FastTiming()); }
    void Start(const SimMeterState& state = Panel(), bool silent = false) {
        meter = std::make_unique<SimulatedMeter>(state);
        if (silent) {
            SimFaults f;
            f.silent = true;
            sim().SetFaults(f);
        }
        ASSERT_TRUE(session->Connect(meter->port()));
        if (!silent) {
            ASSERT_TRUE(session->WaitForLink(5000));
        }
        sim().ClearReceived();
    }
    void TearDown() override {
        session.reset();
        meter.reset();
    }
    MeterSimulator& sim() { return meter->sim(); }

    // Presses OK and waits until the dialog has closed or the write has failed.
    void PressOk(QDialog& dlg) {
        const size_t before = prompts->messages.size();
        Button(&dlg, QStringLiteral("OK"))->click();
        ASSERT_TRUE(
            WaitUntil([&] { return !dlg.isVisible() || prompts->messages.size() > before; }));
    }
    QStringList Messages() {
        QStringList l;
        for (const auto& m : prompts->messages) l << m.text;
        return l;
    }

    ScopedPrompts prompts;
    std::unique_ptr<SimulatedMeter> meter;
    std::unique_ptr<MeterSession> session = std::make_unique<MeterSession>();
};

}  // namespace

// ---- startup date ---------------------------------------------------------------

TEST_F(ServiceDialogs, StartupDateRefusesOutOfRangeInputYearFirst) {
    Start();
    CCalDlg dlg(session.get());
    dlg.open();
    ASSERT_TRUE(dlg.isVisible());
    Grab(&dlg, QStringLiteral("cal_dlg"));
    QLineEdit* year = Edit(&dlg, QStringLiteral("Rok"));
    QLineEdit* month = Edit(&dlg, QStringLiteral("Miesiąc"));
    EXPECT_EQ(year->text(), QStringLiteral("2009"));
    EXPECT_EQ(month->text(), QStringLiteral("8"));

    struct Case {
        const char* year;
        const char* month;
        QString message;
        QLineEdit* focus;
    };
    // 2100 and later would be sent with three year digits that the meter cannot
    // report back; they are refused like any other year out of range.
    const Case cases[] = {
        {"1999", "8", kYearRange, year},    {"2100", "8", kYearRange, year},
        {"2256", "8", kYearRange, year},    {"", "8", kYearRange, year},
        {"1999", "13", kYearRange, year},   {"2009", "0", kMonthRange, month},
        {"2009", "13", kMonthRange, month}, {"2009", "", kMonthRange, month},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.year) + "-" + c.month);
        prompts->messages.clear();
        year->setText(QString::fromLatin1(c.year));
        month->setText(QString::fromLatin1(c.month));
        Button(&dlg, QStringLiteral("OK"))->click();
        EXPECT_EQ(Messages(), QStringList{c.message});
        EXPECT_EQ(dlg.focusWidget(), c.focus);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(year->text(), QString::fromLatin1(c.year));  // input kept
    }
    EXPECT_EQ(sim().CountReceived("DW"), 0u);
}

TEST_F(ServiceDialogs, StartupDateWritesTheLimitsAndLeadingDigits) {
    Start();
    struct Case {
        const char* year;
        const char* month;
        const char* command;
        int storedYear;
        int storedMonth;
    };
    const Case cases[] = {{"2000", "1", "DW0001", 2000, 1},
                          {"2099", "12", "DW9912", 2099, 12},
                          {"2009abc", "9", "DW0909", 2009, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        CCalDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Rok"))->setText(QString::fromLatin1(c.year));
        Edit(&dlg, QStringLiteral("Miesiąc"))->setText(QString::fromLatin1(c.month));
        PressOk(dlg);
        EXPECT_TRUE(prompts->messages.empty()) << Messages().join(';').toStdString();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(Has(sim().ReceivedLines(), c.command));
        EXPECT_EQ(sim().State().startupYear, c.storedYear);
        EXPECT_EQ(sim().State().startupMonth, c.storedMonth);
        // The date was read again at once.
        const StartupDate d = session->Snapshot().startupDate;
        EXPECT_EQ(d.year, c.storedYear);
        EXPECT_EQ(d.month, c.storedMonth);
    }
}

TEST_F(ServiceDialogs, StartupDateUnchangedSendsNothingAndFailureKeepsTheDialog) {
    Start();
    {
        CCalDlg dlg(session.get());
        dlg.open();
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(sim().CountReceived("DW"), 0u);
    }
    SimFaults f;
    f.silentCommands = {"DW"};
    sim().SetFaults(f);
    CCalDlg dlg(session.get());
    dlg.open();
    QLineEdit* year = Edit(&dlg, QStringLiteral("Rok"));
    year->setText(QStringLiteral("2011"));
    PressOk(dlg);
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Nie można zapisać daty uruchamiania")});
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(year->isEnabled());
    EXPECT_TRUE(Button(&dlg, QStringLiteral("OK"))->isEnabled());
    EXPECT_EQ(year->text(), QStringLiteral("2011"));
    EXPECT_EQ(sim().CountReceived("DW1108"), 4u);  // every attempt
}

// ---- serial number and letter -----------------------------------------------------

TEST_F(ServiceDialogs, SerialNumberRefusesNumbersBelowOne) {
    Start();
    CSerialNumberDlg dlg(session.get());
    dlg.open();
    ASSERT_TRUE(dlg.isVisible());
    Grab(&dlg, QStringLiteral("serial_number_dlg"));
    QLineEdit* serial = Edit(&dlg, QStringLiteral("Numer seryjny"));
    QLineEdit* letter = Edit(&dlg, QStringLiteral("Wersja"));
    EXPECT_EQ(serial->text(), QStringLiteral("17"));
    EXPECT_EQ(letter->text(), QStringLiteral("A"));
    EXPECT_EQ(letter->maxLength(), 1);
    for (const char* text : {"0", "", "-5", "abc"}) {
        SCOPED_TRACE(text);
        prompts->messages.clear();
        serial->setText(QString::fromLatin1(text));
        letter->setFocus();
        Button(&dlg, QStringLiteral("OK"))->click();
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("Podaj prawidłowy numer seryjny")});
        EXPECT_EQ(dlg.focusWidget(), serial);
        EXPECT_TRUE(dlg.isVisible());
    }
    EXPECT_EQ(sim().CountReceived("SW"), 0u);
    EXPECT_EQ(sim().CountReceived("VW"), 0u);
}

TEST_F(ServiceDialogs, SerialNumberWritesWhatChanged) {
    Start();
    {
        // Unchanged: nothing goes out.
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(sim().CountReceived("SW"), 0u);
        EXPECT_EQ(sim().CountReceived("VW"), 0u);
    }
    {
        // Five digits go out as typed; the letter is unchanged.
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("12345"));
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(Has(sim().ReceivedLines(), "SW12345"));
        EXPECT_EQ(sim().State().serialNumber, 12345);
        EXPECT_EQ(sim().CountReceived("VW"), 0u);
    }
    {
        // New number and letter: the session's snapshot shows both at once.
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("4321"));
        Edit(&dlg, QStringLiteral("Wersja"))->setText(QStringLiteral("B"));
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        const MeterSnapshot m = session->Snapshot();
        EXPECT_EQ(m.serialNumber.serialNumber, 4321);
        EXPECT_EQ(m.identity.versionLetter, 'B');
    }
    {
        // An empty letter box sends a space.
        sim().ClearReceived();
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Wersja"))->clear();
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(Has(sim().ReceivedLines(), "VW "));
        EXPECT_EQ(sim().CountReceived("SW"), 0u);
        EXPECT_EQ(sim().State().versionLetter, ' ');
    }
    EXPECT_TRUE(prompts->messages.empty()) << Messages().join(';').toStdString();
}

TEST_F(ServiceDialogs, SerialNumberWriteFailuresStopAtTheirStep) {
    Start();
    struct Case {
        const char* silent;
        const char* message;
        int serialAfter;  // in the meter
    };
    // A letter the meter does not confirm leaves the new serial number in it; a
    // serial number it does not confirm stops the letter from going out.
    const Case cases[] = {{"VW", "Nie można zapisać typu panelu", 555},
                          {"SW", "Nie można ustawić numeru seryjnego", 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.silent);
        sim().SetState(Panel());
        ASSERT_TRUE(testsupport::WaitFor(
            [&] {
                const MeterSnapshot m = session->Snapshot();
                return m.linkUp() && m.serialNumber.serialNumber == 17;
            },
            5000));
        SimFaults f;
        f.silentCommands = {c.silent};
        sim().SetFaults(f);
        sim().ClearReceived();
        prompts->messages.clear();
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("555"));
        Edit(&dlg, QStringLiteral("Wersja"))->setText(QStringLiteral("C"));
        PressOk(dlg);
        EXPECT_EQ(Messages(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(Edit(&dlg, QStringLiteral("Wersja"))->isEnabled());
        EXPECT_EQ(sim().State().serialNumber, c.serialAfter);
        EXPECT_EQ(sim().State().versionLetter, 'A');
        EXPECT_EQ(sim().CountReceived("VWC"), c.serialAfter == 555 ? 4u : 0u);
    }
}

// ---- electrode shape coefficient -----------------------------------------------------

TEST_F(ServiceDialogs, ElectrodeReadsOnOpeningAndIgnoresOkMeanwhile) {
    Start();
    CElectrodeDlg dlg(session.get());
    dlg.open();
    QLineEdit* value = Edit(&dlg, QStringLiteral("Wartość:"));
    EXPECT_FALSE(value->isEnabled());
    EXPECT_FALSE(Button(&dlg, QStringLiteral("OK"))->isEnabled());
    dlg.OnOk();  // e.g. Enter while the read runs
    ASSERT_TRUE(WaitUntil([&] { return value->isEnabled(); }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(value->text(), QStringLiteral("1.00000000"));
    Grab(&dlg, QStringLiteral("electrode_dlg"));
    EXPECT_EQ(sim().CountReceived("KW"), 0u);
    EXPECT_TRUE(prompts->messages.empty());

    value->setText(QStringLiteral("1,5"));
    PressOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(Has(sim().ReceivedLines(), "KW0000C03F"));
    EXPECT_EQ(sim().State().electrodeCoefficient, 1.5);
}

TEST_F(ServiceDialogs, ElectrodeUnchangedValueIsNotRewritten) {
    // 0.1 as the meter holds it has more digits than the box shows; OK with the
    // box as read must not
    // write the rounded text back (it would lower the value a little each time).
    SimMeterState s = Panel();
    s.electrodeCoefficient = 0.1;
    Start(s);
    const double before = sim().State().electrodeCoefficient;
    for (int i = 0; i < 2; ++i) {
        CElectrodeDlg dlg(session.get());
        dlg.open();
        QLineEdit* value = Edit(&dlg, QStringLiteral("Wartość:"));
        ASSERT_TRUE(WaitUntil([&] { return value->isEnabled(); }));
        EXPECT_EQ(value->text(), QStringLiteral("0.09999999"));  // as the meter holds it
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    EXPECT_EQ(sim().CountReceived("KW"), 0u);
    EXPECT_EQ(sim().State().electrodeCoefficient, before);
}

TEST_F(ServiceDialogs, ElectrodeFailedReadLeavesAnEmptyBoxToType) {
    Start();
    SimFaults f;
    f.silentCommands = {"KR"};
    sim().SetFaults(f);
    CElectrodeDlg dlg(session.get());
    dlg.open();
    QLineEdit* value = Edit(&dlg, QStringLiteral("Wartość:"));
    ASSERT_TRUE(WaitUntil([&] { return value->isEnabled(); }));
    EXPECT_EQ(Messages(), QStringList{kCannotRead});
    EXPECT_TRUE(value->text().isEmpty());
    EXPECT_TRUE(dlg.isVisible());
    value->setText(QStringLiteral("abc"));  // no number: 0
    PressOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_TRUE(Has(sim().ReceivedLines(), "KW00000000"));
    EXPECT_EQ(sim().State().electrodeCoefficient, 0.0);
}

TEST_F(ServiceDialogs, ElectrodeAfterAFailedWriteTheTextAsReadStandsForTheValueRead) {
    // 0.1 as the meter holds it has more digits than the box shows. A write of 2
    // fails; the user types the text the read showed back and presses OK: that
    // is the value read, exactly, never the 2 attempted. The meter holds that
    // value (asked again, or as read back after the failed write when it does
    // not answer "KR" now), so nothing is sent.
    SimMeterState s = Panel();
    s.electrodeCoefficient = 0.1;
    Start(s);
    const std::string held = EncodeMeterFloat(sim().State().electrodeCoefficient);
    struct Case {
        const char* silentOnRetry;
        size_t sent;
    };
    for (const Case& c : {Case{"", 0}, Case{"KR", 0}}) {
        SCOPED_TRACE(c.silentOnRetry);
        prompts->messages.clear();
        CElectrodeDlg dlg(session.get());
        dlg.open();
        QLineEdit* value = Edit(&dlg, QStringLiteral("Wartość:"));
        ASSERT_TRUE(WaitUntil([&] { return value->isEnabled(); }));
        ASSERT_EQ(value->text(), QStringLiteral("0.09999999"));

        SimFaults f;
        f.silentCommands = {"KW"};
        sim().SetFaults(f);
        value->setText(QStringLiteral("2"));
        PressOk(dlg);
        EXPECT_EQ(Messages(), QStringList{QStringLiteral("Nie można zapisać ustawień")});
        ASSERT_TRUE(dlg.isVisible());

        f.silentCommands = {c.silentOnRetry};
        sim().SetFaults(f);
        sim().ClearReceived();
        value->setText(QStringLiteral("0.09999999"));
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(Messages().size(), 1);
        EXPECT_EQ(sim().CountReceived("KW"), c.sent);
        EXPECT_EQ(sim().CountReceived("KW" + held), c.sent);
        EXPECT_EQ(EncodeMeterFloat(sim().State().electrodeCoefficient), held);
        sim().ClearFaults();
    }
}

// ---- panel information ----------------------------------------------------------

TEST_F(ServiceDialogs, PanelInformationLines) {
    Start();
    {
        CPanelInfoDlg dlg(session.get());
        dlg.open();
        ASSERT_TRUE(dlg.isVisible());
        Grab(&dlg, QStringLiteral("panel_info_dlg"));
        EXPECT_EQ(dlg.Text(), QStringLiteral("Numer seryjny wilgotnościomierza: 17\n"
                                             "Wersja wilgotnościomierza: KV-606A 1.2\n"
                                             "Data uruchamiania wilgotnościomierza: 2009-08\n"));
        Button(&dlg, QStringLiteral("Zamknij"))->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
    }
    sim().ModifyState([](SimMeterState& s) { s.lowSupplyVoltage = true; });
    ASSERT_TRUE(testsupport::WaitFor(
        [&] {
            const MeterSnapshot m = session->Snapshot();
            return m.linkUp() && m.condition.lowSupplyVoltage;
        },
        5000));
    CPanelInfoDlg dlg(session.get());
    dlg.open();
    EXPECT_TRUE(dlg.Text().endsWith(QStringLiteral("2009-08\nNiskie napięcie zasilania!\n")));
    EXPECT_TRUE(prompts->messages.empty());
}

TEST(PanelInfoText, FaultLinesInTheirOrder) {
    MeterCondition c;
    c.startupMemoryError = c.startupDataError = c.lowSupplyVoltage = c.valid = true;
    SerialNumberData s{7, true};
    MeterIdentity id;
    std::copy_n("KV-608", 7, id.model);
    id.versionLetter = 'B';
    id.versionMajor = 2;
    id.versionMinor = 10;
    id.valid = true;
    StartupDate d{1, 2012, true};
    EXPECT_EQ(CPanelInfoDlg::BuildText(c, s, id, d),
              QStringLiteral("Numer seryjny wilgotnościomierza: 7\n"
                             "Wersja wilgotnościomierza: KV-608B 2.10\n"
                             "Data uruchamiania wilgotnościomierza: 2012-01\n"
                             "Błąd danych uruchamiania!\n"
                             "Błąd pamięci uruchamiania!\n"
                             "Niskie napięcie zasilania!\n"));
}

// ---- journal ----------------------------------------------------------------------

TEST_F(ServiceDialogs, AWriteWhoseEntryStaysUnconfirmedSaysSoBeforeClosing) {
    // A trigger in the journal refuses to complete an entry: the entry is
    // stored, the meter takes the value, the completion fails (as when another
    // program holds the journal at that moment).
    QTemporaryDir dir;
    JournalSettings journal;
    journal.path = dir.filePath(QStringLiteral("journal.sqlite"));
    journal.program = QStringLiteral("kv60x");
    journal.busyTimeoutMs = 100;
    {
        QString why;
        ASSERT_TRUE(JournalDb::Open(journal.path, JournalDb::Mode::Write, &why))
            << why.toStdString();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "trigger");
        db.setDatabaseName(journal.path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(
            QStringLiteral("CREATE TRIGGER no_completion BEFORE UPDATE ON entries"
                           " BEGIN SELECT RAISE(ABORT, 'no completion'); END")));
        db.close();
    }
    QSqlDatabase::removeDatabase("trigger");
    session->SetJournal(journal);
    Start();

    // Each write that reached the meter says so, the serial number dialog's
    // two in order, all before the dialog closes with OK.
    size_t shownWhenClosed = 0;
    auto expectNotes = [&](MeterDialog& dlg, const std::vector<int>& entries) {
        prompts->messages.clear();
        QObject::connect(&dlg, &QDialog::finished,
                         [&] { shownWhenClosed = prompts->messages.size(); });
        PressOk(dlg);
        ASSERT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }));
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(prompts->messages.size(), entries.size());
        EXPECT_EQ(shownWhenClosed, entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const QString& text = prompts->messages[i].text;
            EXPECT_TRUE(text.startsWith(QStringLiteral("Błąd dziennika zmian ") + journal.path))
                << text.toStdString();
            EXPECT_TRUE(text.endsWith(QStringLiteral(" Zapis dotarł do miernika; wpis nr %1 "
                                                     "dziennika pozostał niepotwierdzony.")
                                          .arg(entries[i])))
                << text.toStdString();
            EXPECT_EQ(prompts->messages[i].icon, Prompts::Icon::Warning);
        }
    };
    {
        CCalDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Rok"))->setText(QStringLiteral("2011"));
        expectNotes(dlg, {1});
    }
    {
        CSerialNumberDlg dlg(session.get());
        dlg.open();
        Edit(&dlg, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("18"));
        Edit(&dlg, QStringLiteral("Wersja"))->setText(QStringLiteral("C"));
        expectNotes(dlg, {2, 3});
    }
    EXPECT_EQ(sim().State().startupYear, 2011);
    EXPECT_EQ(sim().State().serialNumber, 18);
    EXPECT_EQ(sim().State().versionLetter, 'C');
    QString why;
    auto db = JournalDb::Open(journal.path, JournalDb::Mode::Read, &why);
    ASSERT_TRUE(db) << why.toStdString();
    const auto entries = db->List({}, &why);
    ASSERT_EQ(entries.size(), 3u);
    for (const JournalEntry& e : entries) EXPECT_EQ(e.outcome, JournalOutcome::Pending);
}

TEST_F(ServiceDialogs, AJournalThatStopsTheSecondWriteSaysTheFirstReachedTheMeter) {
    QTemporaryDir dir;
    JournalSettings journal;
    journal.path = dir.filePath(QStringLiteral("journal.sqlite"));
    journal.busyTimeoutMs = 100;
    {
        QString why;
        ASSERT_TRUE(JournalDb::Open(journal.path, JournalDb::Mode::Write, &why));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "refusal");
        db.setDatabaseName(journal.path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(
            QSqlQuery(db).exec(QStringLiteral("CREATE TRIGGER no_letter BEFORE INSERT ON entries"
                                              " WHEN NEW.target = 'version_letter'"
                                              " BEGIN SELECT RAISE(ABORT, 'no letter'); END")));
        db.close();
    }
    QSqlDatabase::removeDatabase("refusal");
    session->SetJournal(journal);
    Start();
    CSerialNumberDlg dlg(session.get());
    dlg.open();
    Edit(&dlg, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("18"));
    Edit(&dlg, QStringLiteral("Wersja"))->setText(QStringLiteral("C"));
    PressOk(dlg);
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_TRUE(Messages()[0].startsWith("Zapisano 1 z 2; dziennik: "))
        << Messages()[0].toStdString();
    EXPECT_FALSE(Messages()[0].contains("Nic nie zapisano"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(sim().State().serialNumber, 18);
    EXPECT_NE(sim().State().versionLetter, 'C');
}

// ---- link down --------------------------------------------------------------------

namespace {

// Opens every dialog over a session without a working link: each says only
// "Nie można odczytać ustawień"; the electrode dialog stays open with an empty box.
void ExpectEveryDialogRefuses(MeterSession* session, ScriptedPrompts& prompts) {
    auto refuses = [&](MeterDialog& dlg, const char* name) {
        SCOPED_TRACE(name);
        prompts.messages.clear();
        dlg.open();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].text, kCannotRead);
    };
    CCalDlg cal(session);
    refuses(cal, "CCalDlg");
    CSerialNumberDlg serial(session);
    refuses(serial, "CSerialNumberDlg");
    CPanelInfoDlg info(session);
    refuses(info, "CPanelInfoDlg");

    prompts.messages.clear();
    CElectrodeDlg electrode(session);
    electrode.open();
    QLineEdit* value = Edit(&electrode, QStringLiteral("Wartość:"));
    ASSERT_TRUE(WaitUntil([&] { return value->isEnabled(); }));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kCannotRead);
    EXPECT_TRUE(value->text().isEmpty());
    EXPECT_TRUE(electrode.isVisible());
}

}  // namespace

TEST_F(ServiceDialogs, EveryDialogSaysSoWhenNotConnected) {
    ExpectEveryDialogRefuses(session.get(), *prompts);
}

TEST_F(ServiceDialogs, EveryDialogSaysSoWhenTheMeterIsSilent) {
    Start(Panel(), true);
    ExpectEveryDialogRefuses(session.get(), *prompts);
}

TEST_F(ServiceDialogs, EntryFunctionsRunTheDialogsModally) {
    EXPECT_EQ(RunCalDlg(nullptr, session.get()), QDialog::Rejected);  // not connected: no window
    EXPECT_EQ(Messages(), QStringList{kCannotRead});
    Start();
    testsupport::WhenShown<CPanelInfoDlg>(
        [](CPanelInfoDlg* dlg) { Button(dlg, QStringLiteral("Zamknij"))->click(); });
    EXPECT_EQ(RunPanelInfoDlg(nullptr, session.get()), QDialog::Accepted);
    testsupport::WhenShown<CSerialNumberDlg>(
        [](CSerialNumberDlg* dlg) { Button(dlg, QStringLiteral("Anuluj"))->click(); });
    EXPECT_EQ(RunSerialNumberDlg(nullptr, session.get()), QDialog::Rejected);
}
