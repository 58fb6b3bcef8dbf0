#pragma once

#include <QString>
#include <functional>

#include "records/char_rec_data.h"

class QWidget;
class QTreeWidget;

// Where the characteristic dialogs hand over to the graph window and to the list
// printer. Each dialog carries its own copy (public members `graphHook`,
// `printHook`), taken from the process-wide defaults below when it is made; the
// defaults open the graph window and print the list.
using CharGraphHook = std::function<void(QWidget* parent, const CharRecData& rec)>;
using CharPrintHook = std::function<void(QWidget* parent, QTreeWidget* list, const QString& title)>;

struct CharDialogHooks {
    CharGraphHook graph;  // "Wykres" of the editor
    CharPrintHook print;  // "Drukuj" of the table
};

// The defaults handed to every new editor and table dialog (UI thread only).
CharDialogHooks& DefaultCharDialogHooks();
