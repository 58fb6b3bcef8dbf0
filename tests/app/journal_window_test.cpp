// The history window ("Historia zmian") on the simulated meter, with the
// scripted prompts: the list, the details side by side, restoring, and the
// menu item that opens it.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include "app/widgets/journal_dlg.h"
#include "app/widgets/journal_model.h"
#include "app/widgets/kv60x_app.h"
#include "app/widgets/kv60x_dlg.h"
#include "journal/journal_db.h"
#include "meter/char_image.h"
#include "records/cp1250.h"
#include "session/meter_write.h"
#include "sim/demo_data.h"
#include "support/screen_reader.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/device_operation.h"

using testsupport::WaitUntil;

namespace {

class JournalWindow : public ::testing::Test {
protected:
    void SetUp() override {
        meter = std::make_unique<testsupport::SimulatedMeter>();
        FillDemoCharacteristics(meter->sim(), 8);
        settings.path = dir.filePath("journal.sqlite");
        settings.program = QStringLiteral("kv60x");
        settings.user = QStringLiteral("anna");
        session.SetJournal(settings);
        session.SetTiming(testsupport::FastTiming());
        ASSERT_TRUE(session.Connect(meter->port()));
        ASSERT_TRUE(session.WaitForLink(5000));
    }
    MeterSimulator& sim() { return meter->sim(); }
    // Slot `slot` renamed through the journal; the entry's id.
    int64_t Rename(int slot, const QString& name) {
        CharRecData before;
        CharReadReport read;
        EXPECT_TRUE(session.ReadCharacteristic(slot, &before, &read));
        CharRecData rec = before;
        SetFixedField(rec.NAME, CharRecData::kNameLen, name);
        const WriteOutcome w =
            session.Write(MeterWrite::Characteristic(rec, ImageBytes(read.image)));
        EXPECT_EQ(w.status, WriteStatus::Confirmed) << w.message.toStdString();
        return w.entryId;
    }
    // The entry of another meter, as if written elsewhere.
    int64_t ForeignEntry() {
        QString error;
        auto db = JournalDb::Open(settings.path, JournalDb::Mode::Write, &error);
        JournalEntry e;
        e.meter.model = QStringLiteral("KV-606");
        e.meter.serial = 555;
        e.target = JournalTarget::StartupDate;
        e.before = StartupDateValue(2010, 1);
        e.after = StartupDateValue(2011, 2);
        const int64_t id = db->AddPending(e, &error);
        db->Complete(id, JournalOutcome::Confirmed, QString(), &error);
        return id;
    }
    QString Cell(QTableWidget* t, int row, int column) {
        return t->item(row, column) ? t->item(row, column)->text() : QString();
    }
    int DetailRow(JournalDlg& dlg, const QString& name) {
        for (int r = 0; r < dlg.Details()->rowCount(); ++r) {
            if (Cell(dlg.Details(), r, 0).endsWith(name)) return r;
        }
        return -1;
    }

    std::unique_ptr<testsupport::SimulatedMeter> meter;
    QTemporaryDir dir;
    JournalSettings settings;
    MeterSession session;
};

}  // namespace

TEST_F(JournalWindow, ListsNewestFirstFiltersByMeterAndMarksChangedFields) {
    const int64_t first = Rename(1, QStringLiteral("Pierwsza"));
    const int64_t foreign = ForeignEntry();
    const int64_t second = Rename(2, QStringLiteral("Druga"));
    JournalDlg dlg(settings, &session);
    dlg.show();
    auto* model = dlg.Model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->EntryAt(0)->id, second);
    EXPECT_EQ(model->EntryAt(2)->id, first);
    EXPECT_EQ(model->index(0, 2).data().toString(), "Charakterystyka nr 3");
    EXPECT_EQ(model->index(0, 3).data().toString(), "potwierdzony");
    EXPECT_EQ(model->index(1, 1).data().toString(), "KV-606 nr 555");

    // Details of the newest entry, chosen at opening.
    const int name = DetailRow(dlg, QStringLiteral("Nazwa materiału"));
    ASSERT_GE(name, 0);
    EXPECT_TRUE(Cell(dlg.Details(), name, 0).startsWith("* "));
    EXPECT_EQ(Cell(dlg.Details(), name, 2).trimmed(), "Druga");
    EXPECT_TRUE(dlg.Details()->item(name, 1)->font().bold());
    const int code = DetailRow(dlg, QStringLiteral("Kod materiału"));
    EXPECT_FALSE(Cell(dlg.Details(), code, 0).startsWith("*"));
    EXPECT_EQ(Cell(dlg.Details(), code, 1), Cell(dlg.Details(), code, 2));

    // The filter lists the meters that have entries.
    QComboBox* meters = dlg.MeterFilter();
    ASSERT_EQ(meters->count(), 3);
    EXPECT_EQ(meters->itemText(1), "nr 17");
    meters->setCurrentIndex(2);  // nr 555
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->EntryAt(0)->id, foreign);
    EXPECT_EQ(Cell(dlg.Details(), 0, 1), "2010-01");
    EXPECT_EQ(Cell(dlg.Details(), 0, 2), "2011-02");
    meters->setCurrentIndex(1);
    EXPECT_EQ(model->rowCount(), 2);
}

TEST_F(JournalWindow, RestoreAsksWritesTheMeterAndShowsTheNewEntry) {
    const CharImage original = sim().SlotImage(3);
    const int64_t id = Rename(3, QStringLiteral("Nowa"));
    ScopedPrompts prompts;
    JournalDlg dlg(settings, &session);
    dlg.show();
    ASSERT_TRUE(dlg.RestoreButton()->isEnabled());

    // Dismissed: nothing is written.
    sim().ClearReceived();
    dlg.RestoreButton()->click();
    ASSERT_EQ(prompts->questions.size(), 1u);
    EXPECT_TRUE(
        prompts->questions[0].text.contains(QStringLiteral("wartość sprzed zmiany nr %1").arg(id)))
        << prompts->questions[0].text.toStdString();
    EXPECT_TRUE(prompts->questions[0].defaulted);
    EXPECT_EQ(sim().CountReceived("CW"), 0u);

    prompts->questionAnswers.push_back(true);
    dlg.RestoreButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return !dlg.Operation()->IsBusy(); }, 10000));
    EXPECT_EQ(sim().SlotImage(3), original);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].icon, Prompts::Icon::Information);
    EXPECT_TRUE(prompts->messages[0].text.startsWith("Przywrócono"));
    // The list now starts with the restore, which is selected.
    ASSERT_EQ(dlg.Model()->rowCount(), 2);
    const JournalEntry* top = dlg.Model()->EntryAt(0);
    EXPECT_EQ(top->restoredFrom, id);
    EXPECT_EQ(dlg.List()->currentIndex().row(), 0);
    EXPECT_TRUE(dlg.Model()->index(0, 2).data().toString().contains(
        QStringLiteral("przywrócenie wpisu nr %1").arg(id)));
}

TEST_F(JournalWindow, RestoreRefusesAnotherMeterAndServiceValuesOutsideServiceMode) {
    ForeignEntry();
    ScopedPrompts prompts;
    {
        session.SetServiceMode(true);
        JournalDlg dlg(settings, &session);
        dlg.show();
        sim().ClearReceived();
        dlg.RestoreButton()->click();
        ASSERT_EQ(prompts->messages.size(), 1u);
        EXPECT_TRUE(prompts->messages[0].text.contains("dotyczy miernika nr 555"))
            << prompts->messages[0].text.toStdString();
        EXPECT_TRUE(prompts->questions.empty());
    }
    {
        session.SetServiceMode(false);
        JournalDlg dlg(settings, &session);
        dlg.show();
        dlg.RestoreButton()->click();
        ASSERT_EQ(prompts->messages.size(), 2u);
        EXPECT_TRUE(prompts->messages[1].text.contains("trybu serwisowego"));
    }
    EXPECT_TRUE(prompts->questions.empty());
    EXPECT_EQ(sim().CountReceived("DW"), 0u);
}

TEST_F(JournalWindow, AFileThatIsNotAJournalIsShownAsSuchAndKept) {
    ASSERT_TRUE(testsupport::WriteFileBytes(settings.path.toStdString(), "nie baza\n"));
    ScopedPrompts prompts;
    JournalDlg dlg(settings, &session);
    dlg.show();
    EXPECT_EQ(dlg.Model()->rowCount(), 0);
    EXPECT_FALSE(dlg.RestoreButton()->isEnabled());
    const auto labels = dlg.findChildren<QLabel*>();
    const bool told = std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
        return l->text().contains(settings.path) && l->text().contains("nie jest dziennikiem");
    });
    EXPECT_TRUE(told);
    EXPECT_EQ(testsupport::ReadFileBytes(settings.path.toStdString()), "nie baza\n");
}

TEST(JournalMenu, PanelHasTheHistoryBeforeTheReportWhoseJournalFollowsTheOptions) {
    Ckv60xDlg window(false);
    QMenu* panel = nullptr;
    for (QAction* a : window.findChild<QMenuBar*>()->actions()) {
        if (a->text().remove('&') == "Panel") panel = a->menu();
    }
    ASSERT_TRUE(panel);
    const auto items = panel->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[3]->text().remove('&'), "Historia zmian...");
    EXPECT_EQ(items[3], window.action(Ckv60xDlg::kCmdJournal));
    EXPECT_EQ(items[4], window.action(Ckv60xDlg::kCmdReport));

    QTemporaryDir dir;
    for (const auto& [args, expected] : std::vector<std::pair<QStringList, QString>>{
             {{"kv60x", "--config", dir.filePath("kv60x.ini")}, dir.filePath("journal.sqlite")},
             {{"kv60x", "--config", dir.filePath("kv60x.ini"), "--journal", dir.filePath("j.db")},
              dir.filePath("j.db")}}) {
        AppOptions options;
        QString error;
        ASSERT_TRUE(ParseAppOptions(args, options, error)) << error.toStdString();
        Ckv60xApp app(options, args);
        ASSERT_TRUE(app.Start());
        EXPECT_EQ(app.window()->journal().path, expected);
        EXPECT_EQ(app.window()->journal().program, "kv60x");
        app.Finish();
    }
}

TEST_F(JournalWindow, AScreenReaderFindsTheControlsByTheirLabels) {
    Rename(1, QStringLiteral("Inna"));
    testsupport::ScreenReader reader;
    ScopedPrompts prompts;
    JournalDlg dlg(settings, &session);
    dlg.show();
    using SR = testsupport::ScreenReader;
    // (Qt reads a combo box's current item as its name; the label is given too.)
    EXPECT_EQ(dlg.MeterFilter()->accessibleName(), "Miernik");
    EXPECT_EQ(SR::Text(dlg.List(), QAccessible::Name), "Zmiany");
    EXPECT_EQ(SR::Text(dlg.Details(), QAccessible::Name), "Szczegóły wpisu");
    EXPECT_EQ(SR::Text(dlg.RestoreButton(), QAccessible::Name), "Przywróć");
    // Pressed as a screen reader presses it: the question comes (and is dismissed).
    EXPECT_TRUE(SR::Press(dlg.RestoreButton()));
    ASSERT_TRUE(WaitUntil([&] { return !prompts->questions.empty(); }));
    EXPECT_TRUE(prompts->questions[0].defaulted);
}
