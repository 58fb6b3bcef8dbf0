#pragma once

class MeterSession;
class QWidget;

// Entry points of the characteristic dialogs for the main window's menu. Both
// run on the window's meter session (not owned) and write through its journal.

// "Charakterystyka wybranego materiału": the number prompt, then the editor on
// that slot. Returns the editor's result (QDialog::Accepted after the record was
// written), or Rejected when the prompt was cancelled.
int RunCharRecByNumber(QWidget* parent, MeterSession* session);

// "Charakterystyki wszystkich materiałów": the table of all slots.
int RunCharTable(QWidget* parent, MeterSession* session);
