#include "characteristics/widgets/char_dialogs.h"

#include <QDialog>

#include "characteristics/widgets/char_dialog_hooks.h"
#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/char_rec_graph_dlg.h"
#include "characteristics/widgets/char_rec_select_dlg.h"
#include "characteristics/widgets/char_table_dlg.h"
#include "characteristics/widgets/list_ctrl_print.h"
#include "session/meter_session.h"

CharDialogHooks& DefaultCharDialogHooks() {
    // "Wykres" opens the graph window, "Drukuj" prints the list.
    static CharDialogHooks hooks{
        [](QWidget* parent, const CharRecData& rec) { ShowCharRecGraph(parent, rec); },
        [](QWidget* parent, QTreeWidget* list, const QString& title) {
            PrintListWidget(parent, list, title);
        }};
    return hooks;
}

int RunCharRecByNumber(QWidget* parent, MeterSession* session) {
    CCharRecSelectDlg select(session, parent);
    if (select.exec() != QDialog::Accepted) return QDialog::Rejected;
    CCharRecDlg editor(session, select.Number(), parent);
    return editor.exec();
}

int RunCharTable(QWidget* parent, MeterSession* session) {
    CCharTableDlg table(session, parent);
    return table.exec();
}
