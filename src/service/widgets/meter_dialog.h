#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "session/meter_write.h"

class DeviceOperation;
class MeterSession;
class QLabel;
class QWidget;

// Base of the service dialogs that read the meter's records when they open.
// InitDialog() runs before the window is shown (from exec() and open()); when it
// returns false, it has already told the user why and the dialog ends at once,
// cancelled, without ever being shown.
class MeterDialog : public QDialog {
    Q_OBJECT
public:
    // session: the main window's meter session (not owned). Every write goes
    // through its journal.
    MeterDialog(MeterSession* session, QWidget* parent);

    int exec() override;
    void open() override;

protected:
    // Fills the controls from the session; false when the dialog must not open.
    virtual bool InitDialog() = 0;

    // A message box with an OK button only, over the dialog (or its parent while
    // the dialog is not shown yet).
    void ShowMessage(const QString& text);

    // "Nie można odczytać ustawień".
    static QString CannotReadText();

    // The writes of one OK, run in order on `op`'s worker in one batch of the
    // session's journal. The first that does not leave its value in the meter
    // ends the operation with its message (WriteOutcome::Text of the target's
    // failure text); the dialog stays open. When all succeed the dialog closes
    // with OK, after showing what the journal could not record (a write that
    // reached the meter whose entry stays unconfirmed). False when ignored.
    bool StartWrites(DeviceOperation* op, std::vector<MeterWrite> writes);

    MeterSession* m_session = nullptr;
};

namespace servicedialogs {

// A label for `control` that also becomes its accessible name.
QLabel* LabelFor(const QString& text, QWidget* control, QWidget* parent);

}  // namespace servicedialogs
