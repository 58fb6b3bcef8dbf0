#include "characteristics/widgets/char_dialogs.h"

#include <QDialog>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_rec_graph_dlg.h"
#include "characteristics/widgets/char_rec_select_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "characteristics/widgets/list_ctrl_print.h"

CharDialogHooks& DefaultCharDialogHooks() {
    // "Wykres" opens the graph window, "Drukuj" prints the list.
    static CharDialogHooks hooks{
        [](QWidget* parent, const CharRecData& rec) { ShowCharRecGraph(parent, rec); },
        [](QWidget* parent, QTreeWidget* list, const QString& title) {
            PrintListWidget(parent, list, title);
        }};
    return hooks;
}

int RunCharRecByNumber(QWidget* parent, Ckv60xDriver* driver, bool serviceMode,
                       const JournalSettings& journal) {
    CCharRecSelectDlg select(driver, parent);
    if (select.exec() != QDialog::Accepted) return QDialog::Rejected;
    CCharRecDlg editor(driver, select.Number(), serviceMode, parent);
    editor.SetJournal(journal);
    return editor.exec();
}

int RunCharTable(QWidget* parent, Ckv60xDriver* driver, bool serviceMode,
                 const JournalSettings& journal) {
    CCharTableDlg table(driver, serviceMode, parent);
    table.SetJournal(journal);
    return table.exec();
}
