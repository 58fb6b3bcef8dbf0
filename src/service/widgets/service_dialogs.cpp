#include "service/widgets/service_dialogs.h"

#include "service/widgets/cal_dlg.h"
#include "service/widgets/electrode_dlg.h"
#include "service/widgets/memory_dlg.h"
#include "service/widgets/panel_info_dlg.h"
#include "service/widgets/serial_number_dlg.h"

int RunCalDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal) {
    CCalDlg dlg(driver, parent);
    dlg.SetJournal(journal);
    return dlg.exec();
}

int RunSerialNumberDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal) {
    CSerialNumberDlg dlg(driver, parent);
    dlg.SetJournal(journal);
    return dlg.exec();
}

int RunElectrodeDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal) {
    CElectrodeDlg dlg(driver, parent);
    dlg.SetJournal(journal);
    return dlg.exec();
}

int RunPanelInfoDlg(QWidget* parent, Ckv60xDriver* driver) {
    CPanelInfoDlg dlg(driver, parent);
    return dlg.exec();
}

int RunMemoryDlg(QWidget* parent, Ckv60xDriver* driver) {
    CMemoryDlg dlg(driver, parent);
    return dlg.exec();
}
