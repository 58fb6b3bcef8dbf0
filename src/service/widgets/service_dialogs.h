#pragma once

class MeterSession;
class QWidget;

// The main window's entry points to the service dialogs and the panel
// information. Each runs its dialog modally over `parent` on the window's
// meter session (not owned) and returns QDialog::Accepted or
// QDialog::Rejected. Every write goes through the session's journal.

// "Zapis daty uruchamiania" (CCalDlg).
int RunCalDlg(QWidget* parent, MeterSession* session);
// "Zapis numeru seryjnego" (CSerialNumberDlg).
int RunSerialNumberDlg(QWidget* parent, MeterSession* session);
// "Współczynnik kształtu elektrod" (CElectrodeDlg).
int RunElectrodeDlg(QWidget* parent, MeterSession* session);
// "Informacje" of the "Panel" menu (CPanelInfoDlg).
int RunPanelInfoDlg(QWidget* parent, MeterSession* session);
// "Odczyt pamięci uruchamiania" (CMemoryDlg): says "Chwilowo wyłączone".
int RunMemoryDlg(QWidget* parent, MeterSession* session);
