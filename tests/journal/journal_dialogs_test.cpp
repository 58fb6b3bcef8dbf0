// The window's writes through the journal: the table, the editor opened by
// number and the service dialogs each leave their entry with the value the
// window read before; a journal that cannot be written stops them.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "journal/journal_db.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "service/widgets/cal_dlg.h"
#include "service/widgets/electrode_dlg.h"
#include "service/widgets/serial_number_dlg.h"
#include "sim/demo_data.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

using testsupport::WaitUntil;

namespace {

QByteArray Bytes(const CharImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), 256);
}

QLineEdit* Edit(QWidget* dlg, const QString& name) {
    for (QLineEdit* e : dlg->findChildren<QLineEdit*>()) {
        if (e->accessibleName() == name) return e;
    }
    ADD_FAILURE() << "no edit field named " << name.toStdString();
    return nullptr;
}

void PressOk(QDialog& dlg, ScriptedPrompts& prompts) {
    const size_t before = prompts.messages.size();
    for (QPushButton* b : dlg.findChildren<QPushButton*>()) {
        if (b->text() == "OK") b->click();
    }
    ASSERT_TRUE(
        WaitUntil([&] { return !dlg.isVisible() || prompts.messages.size() > before; }, 10000));
}

class JournalDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        meter = std::make_unique<testsupport::SimulatedMeter>();
        FillDemoCharacteristics(meter->sim(), 8);
        meter->sim().ModifyState([](SimMeterState& s) { s.slotCount = 8; });
        settings.path = dir.filePath("journal.sqlite");
        settings.program = QStringLiteral("kv60x");
        settings.user = QStringLiteral("anna");
        settings.busyTimeoutMs = 100;
        session.SetJournal(settings);
        session.SetTiming(testsupport::FastTiming());
        ASSERT_TRUE(session.Connect(meter->port()));
        ASSERT_TRUE(session.WaitForLink(5000));
        ASSERT_TRUE(testsupport::WaitFor([&] { return session.SlotCount() == 8; }, 5000));
    }
    MeterSimulator& sim() { return meter->sim(); }
    std::vector<JournalEntry> Entries() {  // oldest first, with values
        QString error;
        auto db = JournalDb::Open(settings.path, JournalDb::Mode::Read, &error);
        std::vector<JournalEntry> out;
        if (!db) return out;
        for (const JournalEntry& e : db->List({}, &error))
            out.insert(out.begin(), *db->Get(e.id, &error));
        return out;
    }
    // Cuts row `row` of a table read from the meter and presses OK.
    void CutAndWrite(CCharTableDlg& t, int row) {
        t.show();
        ASSERT_TRUE(WaitUntil([&] { return !t.IsBusy(); }, 20000));
        t.List()->setCurrentItem(t.List()->topLevelItem(row));
        prompts->questionAnswers.push_back(true);
        t.Cut();
        const size_t before = prompts->messages.size();
        t.OnOk();
        ASSERT_TRUE(
            WaitUntil([&] { return !t.IsBusy() || prompts->messages.size() > before; }, 20000));
        ASSERT_TRUE(WaitUntil([&] { return !t.IsBusy(); }, 20000));
    }

    std::unique_ptr<testsupport::SimulatedMeter> meter;
    QTemporaryDir dir;
    JournalSettings settings;
    MeterSession session;
    Ckv60xDriver& driver = session.Driver();
    ScopedPrompts prompts;
};

}  // namespace

TEST_F(JournalDialogs, TableEditorAndServiceDialogsEachLeaveTheirEntry) {
    const CharImage slot2 = sim().SlotImage(2);
    const CharImage slot3 = sim().SlotImage(3);
    {
        CCharTableDlg t(&session);
        CutAndWrite(t, 2);
        EXPECT_FALSE(t.isVisible()) << prompts->log.join('|').toStdString();
    }
    {
        CCharRecDlg e(&session, 4);
        e.show();
        ASSERT_TRUE(WaitUntil([&] { return !e.IsBusy(); }, 10000));
        e.NameEdit()->setText(QStringLiteral("Nowa"));
        e.OnOk();
        ASSERT_TRUE(WaitUntil([&] { return !e.isVisible(); }, 10000))
            << prompts->log.join('|').toStdString();
    }
    {
        CCalDlg cal(&session);
        cal.open();
        Edit(&cal, QStringLiteral("Rok"))->setText(QStringLiteral("2011"));
        PressOk(cal, *prompts);
    }
    {
        CSerialNumberDlg serial(&session);
        serial.open();
        Edit(&serial, QStringLiteral("Numer seryjny"))->setText(QStringLiteral("18"));
        Edit(&serial, QStringLiteral("Wersja"))->setText(QStringLiteral("C"));
        PressOk(serial, *prompts);
    }
    {
        CElectrodeDlg k(&session);
        k.open();
        QLineEdit* value = Edit(&k, QStringLiteral("Wartość:"));
        ASSERT_TRUE(WaitUntil([&] { return value->isEnabled() && !value->text().isEmpty(); }));
        value->setText(QStringLiteral("1,25"));
        PressOk(k, *prompts);
    }
    EXPECT_TRUE(prompts->messages.empty()) << prompts->log.join('|').toStdString();

    const auto e = Entries();
    ASSERT_EQ(e.size(), 6u);
    CharRecData cut = MakeEmptySlot(2);
    EXPECT_EQ(e[0].slot, 2);
    EXPECT_EQ(e[0].before, Bytes(slot2)) << "the bytes the table read";
    EXPECT_EQ(e[0].after, CharacteristicValue(cut));
    EXPECT_EQ(e[1].slot, 3);
    EXPECT_EQ(e[1].before, Bytes(slot3)) << "the bytes the editor read";
    EXPECT_EQ(FixedFieldToUnicode(CharacteristicFromValue(e[1].after, 3)->NAME, 10).trimmed(),
              "Nowa");
    EXPECT_EQ(e[2].target, JournalTarget::StartupDate);
    EXPECT_EQ(e[2].before, "2009-08");
    EXPECT_EQ(e[2].after, "2011-08");
    EXPECT_EQ(e[3].target, JournalTarget::SerialNumber);
    EXPECT_EQ(e[3].after, "18");
    EXPECT_EQ(e[4].target, JournalTarget::VersionLetter);
    EXPECT_EQ(e[4].before, "A");
    EXPECT_EQ(e[4].after, "C");
    EXPECT_EQ(e[4].meter.serial, 18) << "the letter went to the meter now numbered 18";
    EXPECT_EQ(e[5].target, JournalTarget::ElectrodeCoefficient);
    EXPECT_EQ(e[5].before, "1");
    EXPECT_EQ(e[5].after, "1.25");
    for (const JournalEntry& entry : e) {
        EXPECT_EQ(entry.outcome, JournalOutcome::Confirmed);
        EXPECT_EQ(entry.program, "kv60x");
        EXPECT_EQ(entry.user, "anna");
        EXPECT_EQ(entry.meter.model, "KV-607");
        EXPECT_EQ(entry.meter.version, "1.3");
    }
    EXPECT_EQ(e[3].meter.serial, 17) << "the meter as it was before the write";
    EXPECT_EQ(e[3].before, "17");
    EXPECT_EQ(sim().State().serialNumber, 18);
    EXPECT_EQ(sim().State().electrodeCoefficient, 1.25);
}

TEST_F(JournalDialogs, AJournalThatCannotBeWrittenStopsTheWindowsWrites) {
    ASSERT_TRUE(testsupport::WriteFileBytes(settings.path.toStdString(), "notatki\n"));
    const CharImage slot1 = sim().SlotImage(1);
    sim().ClearReceived();
    CCharTableDlg t(&session);
    CutAndWrite(t, 1);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_TRUE(prompts->messages[0].text.contains(settings.path))
        << prompts->messages[0].text.toStdString();
    EXPECT_TRUE(prompts->messages[0].text.contains("Nic nie zapisano do miernika"));
    EXPECT_TRUE(t.isVisible()) << "the changes stay in the table";
    EXPECT_TRUE(t.SlotModified(1));

    CCalDlg cal(&session);
    cal.open();
    Edit(&cal, QStringLiteral("Rok"))->setText(QStringLiteral("2011"));
    PressOk(cal, *prompts);
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_TRUE(prompts->messages[1].text.contains(settings.path));
    EXPECT_TRUE(cal.isVisible());

    EXPECT_EQ(sim().CountReceived("CW"), 0u);
    EXPECT_EQ(sim().CountReceived("DW"), 0u);
    EXPECT_EQ(sim().SlotImage(1), slot1);
    EXPECT_EQ(testsupport::ReadFileBytes(settings.path.toStdString()), "notatki\n");
}
