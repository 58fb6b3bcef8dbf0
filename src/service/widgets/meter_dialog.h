#pragma once

#include <QDialog>
#include <QString>

#include "session/journaled_write.h"

class Ckv60xDriver;
class QLabel;
class QWidget;

// Base of the service dialogs that read the meter's records when they open.
// InitDialog() runs before the window is shown (from exec() and open()); when it
// returns false, it has already told the user why and the dialog ends at once,
// cancelled, without ever being shown.
class MeterDialog : public QDialog {
    Q_OBJECT
public:
    // driver: the main window's driver (not owned).
    MeterDialog(Ckv60xDriver* driver, QWidget* parent);

    // The journal every write of the dialog goes through (none by default).
    void SetJournal(const JournalSettings& settings) { m_journal = settings; }

    int exec() override;
    void open() override;

protected:
    // Fills the controls from the driver; false when the dialog must not open.
    virtual bool InitDialog() = 0;

    // A message box with an OK button only, over the dialog (or its parent while
    // the dialog is not shown yet).
    void ShowMessage(const QString& text);

    // "Nie można odczytać ustawień".
    static QString CannotReadText();

    Ckv60xDriver* m_driver = nullptr;
    JournalSettings m_journal;
};

namespace servicedialogs {

// A label for `control` that also becomes its accessible name.
QLabel* LabelFor(const QString& text, QWidget* control, QWidget* parent);

}  // namespace servicedialogs
