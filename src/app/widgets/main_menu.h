#pragma once

#include <map>

#include "app/widgets/kv60x_dlg.h"

class QAction;
class QMenuBar;

// The main window's menus: the groups and their texts (with their keyboard
// mnemonics; the names screen readers get are without the "&"), the "Serwis"
// group of service mode, the two checkable commands, and what each command
// does. Commands that open a dialog on the session run from here; the others
// are the window's own slots. Replaces what `bar` and `actions` held.
void BuildMainMenu(QMenuBar* bar, Ckv60xDlg* window, bool serviceMode,
                   std::map<Ckv60xDlg::Command, QAction*>* actions);
