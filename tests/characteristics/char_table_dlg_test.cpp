// The characteristics table against the simulated meter.

#include <sys/stat.h>

#include <QAction>
#include <QDate>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <chrono>
#include <ctime>
#include <vector>

#include "characteristics/char_dialog_fixture.h"
#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "journal/journal_db.h"
#include "journal/journal_test_support.h"
#include "records/record_files.h"

using testsupport::SampleRecord;
using testsupport::WaitUntil;
using testsupport::WhenShown;

namespace {

QString Cell(const CCharTableDlg& t, int row, int col) {
    return t.List()->topLevelItem(row)->text(col);
}

void Select(CCharTableDlg& t, int row) {
    t.List()->setCurrentItem(t.List()->topLevelItem(row));
}

// A row the table holds no record for: its number, nothing else but the word.
bool ShownUnread(const CCharTableDlg& t, int row) {
    for (int c = 1; c < 7; ++c)
        if (!Cell(t, row, c).isEmpty()) return false;
    return Cell(t, row, 7) == QStringLiteral("Nieodczytana");
}

// Opens the table and waits until every slot was read.
std::unique_ptr<CCharTableDlg> OpenTable(MeterSession* session) {
    auto t = std::make_unique<CCharTableDlg>(session);
    t->show();
    EXPECT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    return t;
}

// Edits row `row` in the editor: a new name, then OK.
void RenameRow(CCharTableDlg& t, int row, const QString& name) {
    WhenShown<CCharRecDlg>([name](CCharRecDlg* e) {
        e->NameEdit()->setText(name);
        e->OnOk();
    });
    t.EditRow(row);
}

CTableCharRec FileSet(int n) {
    CTableCharRec set;
    for (int i = 0; i < n; ++i)
        set.Put(SampleRecord(i).Name(QStringLiteral("Plik%1").arg(i + 1)), i);
    return set;
}

}  // namespace

TEST_F(CharDialogTest, TableReadsEverySlotWithTheProgressBar) {
    std::vector<int> progress;
    auto t = std::make_unique<CCharTableDlg>(session.get());
    QObject::connect(t->Progress(), &QProgressBar::valueChanged,
                     [&](int v) { progress.push_back(v); });
    EXPECT_EQ(t->Progress()->maximum(), 20);
    EXPECT_FALSE(t->List()->isEnabled());
    t->show();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    EXPECT_TRUE(prompts->messages.empty());
    ASSERT_EQ(t->List()->topLevelItemCount(), 20);
    EXPECT_EQ(t->Progress()->value(), 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(*std::max_element(progress.begin(), progress.end()), 20);
    EXPECT_TRUE(t->List()->isEnabled());
    EXPECT_EQ(ReceivedPrefix("CR"), 20u);

    const CharRecData s0 = sim().SlotRecord(0);
    EXPECT_EQ(Cell(*t, 0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(*t, 0, 1), QStringLiteral("PSZ"));
    EXPECT_EQ(Cell(*t, 0, 2), QStringLiteral("Pszenica  "));
    EXPECT_EQ(Cell(*t, 0, 3), QString::asprintf("%.01f...%.01f", s0.RH[0], s0.RH[s0.ACTIVE - 1]));
    EXPECT_EQ(Cell(*t, 0, 5), QStringLiteral("pojemnościowa"));
    EXPECT_EQ(Cell(*t, 0, 7), QStringLiteral("Aktywna"));
    EXPECT_EQ(Cell(*t, 1, 2), QStringLiteral("Żyto      "));  // code page 1250 shown as Unicode
    EXPECT_EQ(Cell(*t, 4, 5), QStringLiteral("rezystancyjna"));
    EXPECT_EQ(Cell(*t, 6, 7), QStringLiteral("Nieaktywna"));
    EXPECT_TRUE(Cell(*t, 6, 3).isEmpty());

    // Nothing changed: OK closes at once without writing.
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(t->result(), QDialog::Accepted);
    EXPECT_EQ(ReceivedPrefix("CW"), 0u);
}

TEST_F(CharDialogTest, ReadFailureStopsTheTableAndOkWritesOnlyChangedSlots) {
    SimFaults f;
    f.silentLines = {"CR05"};
    sim().SetFaults(f);
    auto t = OpenTable(session.get());
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można odczytać ustawień"));
    EXPECT_EQ(ReceivedPrefix("CR06"), 0u);
    EXPECT_FALSE(ShownUnread(*t, 4));
    for (int row = 5; row < 20; ++row) {
        EXPECT_TRUE(ShownUnread(*t, row)) << row;
        EXPECT_EQ(t->Slot(row).valid, 0);
        EXPECT_EQ(Cell(*t, row, 0), QString::number(row + 1));
    }
    EXPECT_EQ(t->Progress()->value(), 0);

    sim().ClearFaults();
    RenameRow(*t, 2, QStringLiteral("Trzy"));
    Select(*t, 2);
    t->Copy();
    Select(*t, 9);
    t->Paste();
    sim().ClearReceived();
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(ReceivedPrefix("CW"), 2u);  // slots 2 and 9 only
    EXPECT_EQ(Received("CW02"), 1u);
    EXPECT_EQ(Received("CW09"), 1u);
    EXPECT_EQ(QByteArray(sim().SlotRecord(9).NAME), QByteArray("Trzy      "));
    EXPECT_EQ(sim().SlotRecord(9).REC_NUMBER, 9);
}

TEST_F(CharDialogTest, CopyTakesTheSourceAsItIsWhenPasting) {
    auto t = OpenTable(session.get());
    EXPECT_EQ(t->CreateContextMenu(), nullptr);  // no row selected
    Select(*t, 1);
    t->Copy();
    RenameRow(*t, 1, QStringLiteral("Zmieniona"));
    EXPECT_EQ(Cell(*t, 1, 0), QStringLiteral("2*"));
    Select(*t, 3);
    auto menu = t->CreateContextMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_EQ(menu->actions()[2]->text(), QStringLiteral("Wklej"));
    EXPECT_TRUE(menu->actions()[2]->isEnabled());
    menu->actions()[2]->trigger();

    CharRecData expected = t->Slot(1);
    expected.REC_NUMBER = 3;
    EXPECT_TRUE(t->Slot(3) == expected);
    EXPECT_EQ(Cell(*t, 3, 0), QStringLiteral("4*"));
    EXPECT_EQ(Cell(*t, 3, 2), QStringLiteral("Zmieniona "));

    // An edit closed with OK but without a change marks nothing.
    WhenShown<CCharRecDlg>([](CCharRecDlg* e) { e->OnOk(); });
    t->EditRow(7);
    EXPECT_FALSE(t->SlotModified(7));
    EXPECT_EQ(Cell(*t, 7, 0), QStringLiteral("8"));
}

TEST_F(CharDialogTest, CutRecordPastesIntoSeveralRowsAndLeavesAnEmptySlot) {
    auto t = OpenTable(session.get());
    const CharRecData third = t->Slot(2);
    Select(*t, 2);
    t->Copy();
    prompts->questionAnswers = {false, true};
    t->Cut();  // answered No: nothing happens
    EXPECT_TRUE(t->Slot(2) == third);
    t->Cut();
    ASSERT_EQ(prompts->questions.size(), 2u);
    EXPECT_EQ(prompts->questions[1].text, QStringLiteral("Na pewno wyciąć charakterystykę nr 3?"));
    EXPECT_TRUE(t->Slot(2) == MakeEmptySlot(2));
    EXPECT_EQ(Cell(*t, 2, 0), QStringLiteral("3*"));
    EXPECT_EQ(Cell(*t, 2, 7), QStringLiteral("Nieaktywna"));
    EXPECT_TRUE(t->PasteAvailable());  // the copy source is gone, the cut record is held
    t->List()->clearSelection();
    t->Copy();  // no row: the cut record stays held
    EXPECT_TRUE(t->PasteAvailable());

    for (int row : {4, 5}) {
        Select(*t, row);
        t->Paste();
        CharRecData expected = third;
        expected.REC_NUMBER = static_cast<uint8_t>(row);
        EXPECT_TRUE(t->Slot(row) == expected) << row;
    }
    Select(*t, 4);
    t->Paste();  // marked once only
    EXPECT_EQ(Cell(*t, 4, 0), QStringLiteral("5*"));
    EXPECT_TRUE(prompts->messages.empty());

    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(sim().SlotRecord(2).ENABLE, 0);
    EXPECT_EQ(sim().SlotRecord(2).ACTIVE, 0);
    EXPECT_EQ(sim().SlotRecord(5).REC_NUMBER, 5);
    EXPECT_EQ(QByteArray(sim().SlotRecord(5).DESC), QByteArray(third.DESC));
}

TEST_F(CharDialogTest, ClipboardRefusesWithoutRowOrSource) {
    auto t = OpenTable(session.get());
    t->Cut();
    t->Paste();
    Select(*t, 0);
    t->Paste();
    ASSERT_EQ(prompts->messages.size(), 3u);
    EXPECT_EQ(prompts->messages[0].text,
              QStringLiteral("Błąd przy próbie wycinania - niewłaściwy wiersz"));
    EXPECT_EQ(prompts->messages[1].text,
              QStringLiteral("Błąd przy próbie kopiowania - niewłaściwy wiersz"));
    EXPECT_EQ(
        prompts->messages[2].text,
        QStringLiteral("Błąd przy próbie kopiowania - brak określonego wiersza do kopiowania"));
    EXPECT_FALSE(t->SlotModified(0));
}

TEST_F(CharDialogTest, ImportOfTenIntoTwentySlotsAndExport) {
    const QString ten = TempPath(QStringLiteral("ten.kvz"));
    ASSERT_TRUE(SaveCharRecSetFile(ten, FileSet(10)));
    auto t = OpenTable(session.get());
    prompts->answerFile(ten);
    const int32_t before = static_cast<int32_t>(std::time(nullptr));
    t->OnImport();
    ASSERT_EQ(t->List()->topLevelItemCount(), 20);
    for (int i = 0; i < 20; ++i) {
        if (i < 10) {
            EXPECT_TRUE(t->SlotModified(i));
            EXPECT_EQ(Cell(*t, i, 0), QString::number(i + 1) + QLatin1Char('*'));
            EXPECT_GE(t->Slot(i).SAVE_TIME, before);
        } else {
            EXPECT_FALSE(t->SlotModified(i));
            EXPECT_TRUE(ShownUnread(*t, i)) << i;  // no record for the slot: not written
            EXPECT_EQ(t->Slot(i).valid, 0);
        }
    }
    const QString out = TempPath(QStringLiteral("out.kvz"));
    prompts->answerFile(out);
    t->OnExport();
    CTableCharRec loaded;
    ASSERT_TRUE(LoadCharRecSetFile(out, &loaded));
    EXPECT_EQ(loaded.Count(), 20);
    EXPECT_TRUE(loaded.Get(3) == t->Slot(3));

    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(ReceivedPrefix("CW"), 10u);  // the ten imported slots only
    EXPECT_EQ(QByteArray(sim().SlotRecord(9).NAME), QByteArray("Plik10    "));
    EXPECT_EQ(sim().SlotRecord(9).SAVE_TIME, t->Slot(9).SAVE_TIME);
}

TEST_F(CharDialogTest, TableFilesThatCannotBeReadOrWrittenChangeNothing) {
    auto t = OpenTable(session.get());
    const CharRecData before = t->Slot(0);
    // A FIFO is refused at once rather than waited on.
    const QString fifo = TempPath(QStringLiteral("fifo.kvz"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0644), 0);
    prompts->answerFile(fifo);
    t->OnImport();
    prompts->answerFile(fifo);
    t->OnExport();
    // A full disk keeps the file that was there.
    const QString kept = TempPath(QStringLiteral("kept.kvz"));
    ASSERT_TRUE(SaveCharRecSetFile(kept, FileSet(3)));
    const std::string old = testsupport::ReadFileBytes(kept.toStdString());
    prompts->answerFile(kept);
    {
        testsupport::FileSizeLimit full(1000);
        t->OnExport();
    }
    ASSERT_EQ(prompts->messages.size(), 3u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Błąd w trakcie odczytu charakterystyk"));
    EXPECT_EQ(prompts->messages[1].text, QStringLiteral("Błąd w trakcie zapisu charakterystyk"));
    EXPECT_EQ(prompts->messages[2].text, QStringLiteral("Błąd w trakcie zapisu charakterystyk"));
    EXPECT_EQ(testsupport::ReadFileBytes(kept.toStdString()), old);
    EXPECT_TRUE(t->Slot(0) == before);
    EXPECT_FALSE(t->SlotModified(0));
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.toLocal8Bit().constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CharDialogTest, WithoutCountThereAre150RowsAndImportSetsTheCount) {
    StartMeter(20, false);
    const QString thirty = TempPath(QStringLiteral("thirty.kvz"));
    ASSERT_TRUE(SaveCharRecSetFile(thirty, FileSet(30)));
    CCharTableDlg t(session.get());
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text,
              QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk"));
    EXPECT_EQ(t.List()->topLevelItemCount(), 150);
    EXPECT_EQ(Cell(t, 149, 0), QStringLiteral("150"));
    EXPECT_TRUE(ShownUnread(t, 149));  // nothing read: nothing to export or write

    prompts->answerFile(TempPath(QStringLiteral("missing.kvz")));
    t.OnImport();
    EXPECT_EQ(prompts->messages.back().text,
              QStringLiteral("Błąd w trakcie odczytu charakterystyk"));
    EXPECT_EQ(t.List()->topLevelItemCount(), 150);

    prompts->answerFile(thirty);
    t.OnImport();
    EXPECT_EQ(t.Count(), 30);
    ASSERT_EQ(t.List()->topLevelItemCount(), 30);
    EXPECT_EQ(Cell(t, 29, 0), QStringLiteral("30*"));
    EXPECT_EQ(Cell(t, 29, 2), QStringLiteral("Plik30    "));
}

TEST_F(CharDialogTest, FailedWriteStaysOpenAndTheNextOkWritesAllChangedAgain) {
    auto t = OpenTable(session.get());
    RenameRow(*t, 0, QStringLiteral("A"));
    RenameRow(*t, 1, QStringLiteral("B"));
    SimFaults f;
    f.refuseCharHeader = true;
    sim().SetFaults(f);
    sim().ClearReceived();
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));
    EXPECT_TRUE(t->isVisible());
    EXPECT_TRUE(t->OkButton()->isEnabled());
    EXPECT_EQ(Received("CW01"), 0u);  // writing stopped at the first failure

    sim().ClearFaults();
    sim().ClearReceived();
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_EQ(Received("CW00"), 1u);
    EXPECT_EQ(Received("CW01"), 1u);
    EXPECT_EQ(QByteArray(sim().SlotRecord(1).NAME), QByteArray("B         "));
}

TEST_F(CharDialogTest, ASlotTheMeterConfirmedLosesItsMarkWhenALaterOneFails) {
    auto t = OpenTable(session.get());
    for (int row : {0, 1, 2}) RenameRow(*t, row, QStringLiteral("Nowa"));
    SimFaults f;
    f.silentLines = {"CW01"};
    sim().SetFaults(f);
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 10000));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));
    EXPECT_EQ(Cell(*t, 0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(*t, 1, 0), QStringLiteral("2*"));
    EXPECT_EQ(Cell(*t, 2, 0), QStringLiteral("3*"));

    sim().ClearFaults();
    sim().ClearReceived();
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }, 10000));
    EXPECT_EQ(Received("CW00"), 0u);
    EXPECT_EQ(Received("CW01"), 1u);
    EXPECT_EQ(Received("CW02"), 1u);
}

TEST_F(CharDialogTest, AWriteTheJournalCouldNotConfirmIsToldBeforeTheWindowCloses) {
    // Entries are stored, but none can be completed.
    JournalSettings journal;
    journal.path = TempPath(QStringLiteral("journal.sqlite"));
    journal.program = QStringLiteral("kv60x");
    journal.busyTimeoutMs = 100;
    QString why;
    ASSERT_TRUE(JournalDb::Open(journal.path, JournalDb::Mode::Write, &why)) << why.toStdString();
    ASSERT_TRUE(journaltest::RawDb(journal.path)
                    .Exec("CREATE TRIGGER stuck BEFORE UPDATE ON entries "
                          "BEGIN SELECT RAISE(ABORT, 'x'); END"));
    session->SetJournal(journal);

    auto told = [&](QDialog& dlg, const std::function<void()>& ok) {
        size_t atClose = 0;
        QObject::connect(&dlg, &QDialog::finished, [&] { atClose = prompts->messages.size(); });
        prompts->messages.clear();
        ok();
        EXPECT_TRUE(WaitUntil([&] { return !dlg.isVisible(); }, 10000));
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        ASSERT_EQ(atClose, 1u) << prompts->log.join('|').toStdString();
        EXPECT_TRUE(prompts->messages[0].text.contains(QStringLiteral("Zapis dotarł do miernika")))
            << prompts->messages[0].text.toStdString();
        EXPECT_TRUE(prompts->messages[0].text.contains(QStringLiteral("niepotwierdzony")));
    };
    CCharRecDlg editor(session.get(), 2);
    editor.show();
    ASSERT_TRUE(WaitUntil([&] { return !editor.IsBusy(); }));
    editor.NameEdit()->setText(QStringLiteral("Edytor"));
    told(editor, [&] { editor.OnOk(); });
    auto t = OpenTable(session.get());
    RenameRow(*t, 4, QStringLiteral("Tabela"));
    told(*t, [&] { t->OnOk(); });

    EXPECT_EQ(QByteArray(sim().SlotRecord(1).NAME), QByteArray("Edytor    "));
    EXPECT_EQ(QByteArray(sim().SlotRecord(4).NAME), QByteArray("Tabela    "));
    auto db = JournalDb::Open(journal.path, JournalDb::Mode::Read, &why);
    ASSERT_TRUE(db);
    const auto entries = db->List({}, &why);
    ASSERT_EQ(entries.size(), 2u);
    for (const JournalEntry& e : entries) EXPECT_EQ(e.outcome, JournalOutcome::Pending);
}

TEST_F(CharDialogTest, PrintTitleNamesThePanelOrIsEmpty) {
    auto t = OpenTable(session.get());
    std::vector<QString> titles;
    QTreeWidget* printed = nullptr;
    t->printHook = [&](QWidget*, QTreeWidget* list, const QString& title) {
        printed = list;
        titles.push_back(title);
    };
    t->OnPrint();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(printed, t->List());
    EXPECT_EQ(titles[0], QStringLiteral("Spis materiałów dla: KV-607A, numer seryjny: 17, data: ") +
                             QLocale().toString(QDate::currentDate(), QLocale::LongFormat));
    EXPECT_TRUE(prompts->messages.empty());

    MeterSession idle;
    CCharTableDlg noPanel(&idle);
    noPanel.printHook = t->printHook;
    noPanel.OnPrint();
    ASSERT_EQ(titles.size(), 2u);
    EXPECT_TRUE(titles[1].isEmpty());
    EXPECT_EQ(prompts->messages.back().text,
              QStringLiteral("Błąd przy próbie odczytu danych panelu"));
}

TEST_F(CharDialogTest, MeterWithMoreThan150SlotsShows150) {
    StartMeter(200);
    auto t = OpenTable(session.get());
    EXPECT_EQ(t->Count(), 150);
    EXPECT_EQ(t->List()->topLevelItemCount(), 150);
    EXPECT_EQ(ReceivedPrefix("CR"), 150u);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(CharDialogTest, ImportedRecordIsWrittenToItsRowsSlot) {
    CTableCharRec set = FileSet(2);
    for (int i = 0; i < 2; ++i) {
        CharRecData r = set.Get(i);
        r.REC_NUMBER = 7;  // both taken from slot 8 of another meter
        set.Put(r, i);
    }
    const QString path = TempPath(QStringLiteral("foreign.kvz"));
    ASSERT_TRUE(SaveCharRecSetFile(path, set));
    auto t = OpenTable(session.get());
    const CharRecData eighth = sim().SlotRecord(7);
    prompts->answerFile(path);
    t->OnImport();
    t->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !t->isVisible(); }));
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_EQ(Received("CW00"), 1u);
    EXPECT_EQ(Received("CW01"), 1u);
    EXPECT_EQ(Received("CW07"), 0u);
    EXPECT_EQ(QByteArray(sim().SlotRecord(1).NAME), QByteArray("Plik2     "));
    EXPECT_TRUE(sim().SlotRecord(7) == eighth);
}

TEST_F(CharDialogTest, TableControlsAreNamedAndThePicturesLookRight) {
    auto t = OpenTable(session.get());
    for (QWidget* w : t->findChildren<QWidget*>()) {
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QTreeWidget*>(w) ||
            qobject_cast<QProgressBar*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    Select(*t, 1);
    const QImage table = testsupport::Grab(t.get(), QStringLiteral("char_table_20"));
    EXPECT_FALSE(table.isNull());
    // The last column fills what is left of the list.
    int widths = 0;
    for (int c = 0; c < 7; ++c) widths += t->List()->columnWidth(c);
    EXPECT_GE(t->List()->columnWidth(7), t->List()->viewport()->width() - widths - 1);

    CCharRecDlg editor(t->Slot(0), true);
    editor.show();
    const QImage picture = testsupport::Grab(&editor, QStringLiteral("char_rec_editor"));
    EXPECT_FALSE(picture.isNull());
}

TEST_F(CharDialogTest, InterruptedReadThenExportImportAndOkWritesNothingToUnreadSlots) {
    SimFaults f;
    f.badChecksumSlots = {5};  // slot 6 always arrives damaged
    sim().SetFaults(f);
    const MeterSimulator::Image sixth = sim().SlotImage(5);
    auto t = OpenTable(session.get());
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text,
              QString::asprintf("Nie można odczytać charakterystyki nr 6 - błędna suma kontrolna "
                                "(odebrana %02X, obliczona %02X)",
                                static_cast<uint8_t>(sixth[255] + 0x55), sixth[255]));
    EXPECT_EQ(Received("CR05"), 4u);  // asked again before giving up
    EXPECT_EQ(ReceivedPrefix("CR06"), 0u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(t->SlotRead(i), i < 5) << i;
        EXPECT_EQ(t->Slot(i).valid, i < 5 ? 1 : 0) << i;
        if (i < 5) {
            EXPECT_TRUE(t->Table().At(i).image == sim().SlotImage(i)) << i;
        }
    }
    // An unread row has nothing to paste.
    Select(*t, 7);
    t->Copy();
    Select(*t, 2);
    t->Paste();
    EXPECT_EQ(
        prompts->messages.back().text,
        QStringLiteral("Błąd przy próbie kopiowania - brak określonego wiersza do kopiowania"));
    EXPECT_FALSE(t->SlotModified(2));

    const QString path = TempPath(QStringLiteral("part.kvz"));
    prompts->answerFile(path);
    t->OnExport();
    CTableCharRec exported;
    ASSERT_TRUE(LoadCharRecSetFile(path, &exported));
    ASSERT_EQ(exported.Count(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(exported.Get(i).valid, i < 5 ? 1 : 0) << i;
    t->reject();

    // Another meter (the same, repaired, with other contents) takes the file.
    sim().ClearFaults();
    for (int i = 0; i < 20; ++i) {
        CharRecData other = sim().SlotRecord(i);
        other.SAVE_TIME = 1234;
        sim().SetSlotRecord(i, other);
    }
    std::vector<CharRecData> before;
    for (int i = 0; i < 20; ++i) before.push_back(sim().SlotRecord(i));
    prompts->messages.clear();
    auto u = OpenTable(session.get());
    ASSERT_TRUE(prompts->messages.empty());
    prompts->answerFile(path);
    u->OnImport();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(u->SlotModified(i), i < 5) << i;
    sim().ClearReceived();
    u->OnOk();
    ASSERT_TRUE(WaitUntil([&] { return !u->isVisible(); }));
    EXPECT_EQ(ReceivedPrefix("CW"), 5u);
    for (int i = 5; i < 20; ++i) EXPECT_TRUE(sim().SlotRecord(i) == before[i]) << i;
}

namespace {
// Reads at the real wire speed with the real time-outs (an answer takes 0.6 s).
void PaceAtWireSpeed(MeterSimulator& sim, MeterSession& session) {
    SimFaults f;
    f.wireSpeed = true;
    sim.SetFaults(f);
    DriverTiming t = testsupport::FastTiming();
    t.replyTimeoutMs = 1000;
    t.idleMs = 60000;  // the polling keeps out of the way
    session.SetTiming(t);
}
}  // namespace

TEST_F(CharDialogTest, AnulujDuringAPacedReadStopsAfterTheSlotUnderWay) {
    PaceAtWireSpeed(sim(), *session);
    auto t = std::make_unique<CCharTableDlg>(session.get());
    t->show();
    EXPECT_TRUE(t->CancelButton()->isEnabled());
    EXPECT_FALSE(t->OkButton()->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return t->Progress()->value() >= 1; }, 5000));
    t->CancelButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 3000));
    EXPECT_TRUE(t->isVisible());  // what was read stays on show
    EXPECT_TRUE(prompts->messages.empty());
    int read = 0;
    while (read < 20 && t->SlotRead(read)) ++read;
    EXPECT_GE(read, 1);
    EXPECT_LE(read, 3);
    EXPECT_EQ(ReceivedPrefix("CR"), static_cast<size_t>(read));  // nothing asked after
    for (int i = read; i < 20; ++i) {
        EXPECT_TRUE(ShownUnread(*t, i)) << i;
        EXPECT_FALSE(t->SlotRead(i));
    }
    EXPECT_TRUE(t->OkButton()->isEnabled());
    EXPECT_FALSE(testsupport::Grab(t.get(), QStringLiteral("char_table_stopped")).isNull());
    t->CancelButton()->click();  // now it closes
    EXPECT_FALSE(t->isVisible());
    EXPECT_EQ(t->result(), QDialog::Rejected);
}

TEST_F(CharDialogTest, ClosingDuringAReadDoesNotWaitForEverySlot) {
    PaceAtWireSpeed(sim(), *session);
    auto t = std::make_unique<CCharTableDlg>(session.get());
    t->show();
    ASSERT_TRUE(WaitUntil([&] { return t->Progress()->value() >= 1; }, 5000));
    const auto start = std::chrono::steady_clock::now();
    t->close();
    EXPECT_FALSE(t->isVisible());
    EXPECT_FALSE(t->IsBusy());
    EXPECT_LT(testsupport::ElapsedMs(start), 2000);  // the slot under way, not 19 more
    EXPECT_LE(ReceivedPrefix("CR"), 3u);
}

TEST_F(CharDialogTest, MeterWithNoSlotsShowsAnEmptyProgressBar) {
    StartMeter(0);
    auto t = OpenTable(session.get());
    EXPECT_EQ(t->List()->topLevelItemCount(), 0);
    EXPECT_GT(t->Progress()->maximum(), t->Progress()->minimum());  // not the busy animation
    EXPECT_EQ(t->Progress()->value(), 0);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(CharDialogTest, EditorTitleNamesTheRowItWillBeWrittenTo) {
    CTableCharRec set = FileSet(1);
    CharRecData r = set.Get(0);
    r.REC_NUMBER = 7;  // taken from slot 8 of another meter
    set.Put(r, 0);
    const QString path = TempPath(QStringLiteral("foreign1.kvz"));
    ASSERT_TRUE(SaveCharRecSetFile(path, set));
    auto t = OpenTable(session.get());
    prompts->answerFile(path);
    t->OnImport();
    QString title;
    WhenShown<CCharRecDlg>([&](CCharRecDlg* e) {
        title = e->windowTitle();
        e->reject();
    });
    t->EditRow(0);
    EXPECT_EQ(title, QStringLiteral("Charakterystyka materiału nr 1"));
}
