#pragma once

#include "journal/journaled_write.h"

class Ckv60xDriver;
class QWidget;

// The main window's entry points to the service dialogs and the panel
// information. Each runs its dialog modally over `parent` with the main window's
// driver (not owned) and returns QDialog::Accepted or QDialog::Rejected. The
// writing ones journal every write in `journal` (no journal when its path is
// empty).

// "Zapis daty uruchamiania" (CCalDlg).
int RunCalDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal);
// "Zapis numeru seryjnego" (CSerialNumberDlg).
int RunSerialNumberDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal);
// "Współczynnik kształtu elektrod" (CElectrodeDlg).
int RunElectrodeDlg(QWidget* parent, Ckv60xDriver* driver, const JournalSettings& journal);
// "Informacje" of the "Panel" menu (CPanelInfoDlg).
int RunPanelInfoDlg(QWidget* parent, Ckv60xDriver* driver);
// "Odczyt pamięci uruchamiania" (CMemoryDlg): says "Chwilowo wyłączone".
int RunMemoryDlg(QWidget* parent, Ckv60xDriver* driver);
