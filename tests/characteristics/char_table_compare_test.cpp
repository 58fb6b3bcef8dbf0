// "Porównaj z plikiem..." of the characteristics table against the simulated
// meter: rows read first where needed, differing rows marked, one message,
// nothing written.

#include <QPushButton>
#include <QTreeWidget>

#include "characteristics/char_dialog_fixture.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "records/cp1250.h"
#include "records/record_files.h"

using testsupport::WaitUntil;

TEST_F(CharDialogTest, CompareWithFileMarksDifferingRowsAndWritesNothing) {
    // The file: the meter's own records, but slot 4 renamed, slot 7 with
    // another point, slot 10 a block the exporting table had not read.
    CTableCharRec set;
    for (int i = 0; i < 20; ++i) set.Put(sim().SlotRecord(i), i);
    CharRecData renamed = set.Get(3);
    SetFixedField(renamed.NAME, CharRecData::kNameLen, QStringLiteral("Owies"));
    set.Put(renamed, 3);
    CharRecData moved = set.Get(6);
    moved.VALUE[0] += 1;
    set.Put(moved, 6);
    CharRecData unread = set.Get(9);
    unread.valid = 0;
    set.Put(unread, 9);
    const QString path = TempPath("porownanie.kvz");
    ASSERT_TRUE(SaveCharRecSetFile(path, set));

    // The table's own read stops at slot 13, and so does the comparison's read
    // of the rows left: those rows are named as unread, in the one message.
    SimFaults f;
    f.silentLines = {"CR0C"};
    sim().SetFaults(f);
    auto t = std::make_unique<CCharTableDlg>(session.get());
    t->show();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(t->CompareButton()->accessibleName(), QStringLiteral("Porównaj z plikiem..."));
    prompts->answerFile(path);
    t->CompareButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    ASSERT_EQ(prompts->messages.size(), 2u);
    EXPECT_EQ(prompts->fileRequests.back().request.filters,
              QStringList{QStringLiteral("Zbiór rekordów (*.kvz)")});
    const QString first = prompts->messages.back().text;
    EXPECT_TRUE(first.startsWith(
        QStringLiteral("Różnice: charakterystyki nr 4, 7 (porównano charakterystyk: 11).")))
        << first.toStdString();
    EXPECT_TRUE(first.endsWith(QStringLiteral(
        "Nieodczytane, nie porównano: charakterystyki nr 13, 14, 15, 16, 17, 18, 19, 20 (Nie "
        "można odczytać ustawień (charakterystyka nr 13))")))
        << first.toStdString();

    // Read at last: every row the file holds a record for is compared.
    sim().ClearFaults();
    sim().ClearReceived();
    prompts->answerFile(path);
    t->OnCompare();
    ASSERT_TRUE(WaitUntil([&] { return !t->IsBusy(); }, 20000));
    ASSERT_EQ(prompts->messages.size(), 3u);
    EXPECT_EQ(ReceivedPrefix("CR"), 8u) << "only the rows not read before";
    EXPECT_EQ(ReceivedPrefix("CW"), 0u);
    const auto& message = prompts->messages.back();
    EXPECT_EQ(message.icon, Prompts::Icon::Warning);
    EXPECT_TRUE(message.text.startsWith(
        QStringLiteral("Różnice: charakterystyki nr 4, 7 (porównano charakterystyk: 19).\n\n"
                       "Charakterystyka nr 4:\nNazwa materiału: miernik \"%1\", plik \"Owies\"")
            .arg(FixedFieldTextUnpadded(sim().SlotRecord(3).NAME, CharRecData::kNameLen))))
        << message.text.toStdString();
    EXPECT_TRUE(message.text.contains(QStringLiteral("Charakterystyka nr 7:\nPunkt 1: wartość")));

    // The rows that differ say so to a screen reader, and only they do.
    const QTreeWidgetItem* row4 = t->List()->topLevelItem(3);
    EXPECT_EQ(row4->data(0, Qt::AccessibleDescriptionRole).toString(),
              QStringLiteral("Różni się od pliku: Nazwa materiału"));
    EXPECT_EQ(t->RowDifference(6), QStringLiteral("Różni się od pliku: Punkt 1: wartość"));
    EXPECT_NE(row4->background(2), t->List()->topLevelItem(0)->background(2));
    for (int i : {0, 9, 19}) EXPECT_TRUE(t->RowDifference(i).isEmpty()) << i;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(t->SlotModified(i)) << i;

    // The same file against a meter that now matches it: marks gone.
    sim().SetSlotRecord(3, renamed);
    sim().SetSlotRecord(6, moved);
    auto same = std::make_unique<CCharTableDlg>(session.get());
    same->show();
    ASSERT_TRUE(WaitUntil([&] { return !same->IsBusy(); }, 20000));
    prompts->answerFile(path);
    same->OnCompare();
    EXPECT_EQ(prompts->messages.back().text,
              QStringLiteral("Miernik zgodny z plikiem (porównano charakterystyk: 19)."));
    EXPECT_EQ(prompts->messages.back().icon, Prompts::Icon::Information);
    EXPECT_TRUE(same->RowDifference(3).isEmpty());
}
