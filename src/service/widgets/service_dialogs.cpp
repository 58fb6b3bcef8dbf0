#include "service/widgets/service_dialogs.h"

#include "service/widgets/cal_dlg.h"
#include "service/widgets/electrode_dlg.h"
#include "service/widgets/memory_dlg.h"
#include "service/widgets/panel_info_dlg.h"
#include "service/widgets/serial_number_dlg.h"

int RunCalDlg(QWidget* parent, MeterSession* session) {
    CCalDlg dlg(session, parent);
    return dlg.exec();
}

int RunSerialNumberDlg(QWidget* parent, MeterSession* session) {
    CSerialNumberDlg dlg(session, parent);
    return dlg.exec();
}

int RunElectrodeDlg(QWidget* parent, MeterSession* session) {
    CElectrodeDlg dlg(session, parent);
    return dlg.exec();
}

int RunPanelInfoDlg(QWidget* parent, MeterSession* session) {
    CPanelInfoDlg dlg(session, parent);
    return dlg.exec();
}

int RunMemoryDlg(QWidget* parent, MeterSession* session) {
    CMemoryDlg dlg(session, parent);
    return dlg.exec();
}
