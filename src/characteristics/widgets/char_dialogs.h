#pragma once

#include "journal/journaled_write.h"

class QWidget;
class Ckv60xDriver;

// Entry points of the characteristic dialogs for the main window's menu.

// "Charakterystyka wybranego materiału": the number prompt, then the editor on
// that slot. Returns the editor's result (QDialog::Accepted after the record was
// written), or Rejected when the prompt was cancelled. Both write through
// `journal` (no journal when its path is empty).
int RunCharRecByNumber(QWidget* parent, Ckv60xDriver* driver, bool serviceMode,
                       const JournalSettings& journal);

// "Charakterystyki wszystkich materiałów": the table of all slots.
int RunCharTable(QWidget* parent, Ckv60xDriver* driver, bool serviceMode,
                 const JournalSettings& journal);
