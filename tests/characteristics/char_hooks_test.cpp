// The editor's "Wykres" and the table's "Drukuj" reach the graph window and the
// list printer by default.

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "characteristics/widgets/char_rec_graph_dlg.h"
#include "support/sample_records.h"
#include "support/scripted_prompts.h"

using testsupport::WhenShown;

TEST(CharDialogHooks, DefaultsOpenTheGraphAndPrintTheList) {
    QString title;
    WhenShown<CCharRecGraphDlg>([&](CCharRecGraphDlg* d) {
        title = d->windowTitle();
        d->reject();
    });
    ASSERT_TRUE(DefaultCharDialogHooks().graph);
    DefaultCharDialogHooks().graph(nullptr, testsupport::SampleRecord());
    EXPECT_EQ(title, QStringLiteral("Wykres charakterystyki"));

    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString pdf = dir.filePath("list.pdf");
    ScriptedPrompts::PrintAnswer answer;
    answer.accept = true;
    answer.pdfFile = pdf;
    prompts->printAnswers.push_back(answer);
    QTreeWidget list;
    list.setHeaderLabels({"Nr", "Kod"});
    new QTreeWidgetItem(&list, QStringList{"1", "PSZ"});
    ASSERT_TRUE(DefaultCharDialogHooks().print);
    DefaultCharDialogHooks().print(nullptr, &list, QStringLiteral("Spis"));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
}
