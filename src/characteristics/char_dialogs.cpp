#include "characteristics/char_dialogs.h"

#include <QDialog>

#include "characteristics/char_dialog_hooks.h"
#include "characteristics/char_rec_dlg.h"
#include "characteristics/char_rec_select_dlg.h"
#include "characteristics/char_table_dlg.h"

CharDialogHooks& DefaultCharDialogHooks() {
    static CharDialogHooks hooks;
    return hooks;
}

int RunCharRecByNumber(QWidget* parent, Ckv60xDriver* driver, bool serviceMode) {
    CCharRecSelectDlg select(driver, parent);
    if (select.exec() != QDialog::Accepted) return QDialog::Rejected;
    CCharRecDlg editor(driver, select.Number(), serviceMode, parent);
    return editor.exec();
}

int RunCharTable(QWidget* parent, Ckv60xDriver* driver, bool serviceMode) {
    CCharTableDlg table(driver, serviceMode, parent);
    return table.exec();
}
