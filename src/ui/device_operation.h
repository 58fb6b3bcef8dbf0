#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class QDialog;

// Runs one meter operation of a dialog on a worker thread, so that the dialog
// never blocks while the meter takes its time (up to 4 sendings of 1 s each).
//
// While the operation runs, the locked controls are disabled and a second start
// is ignored. The worker never touches a widget: its result reaches the dialog
// through a queued call. Then, on the UI thread:
//   - a failed step shows its failure text through Prompts (OK button only)
//     and enables the controls again, inputs untouched;
//   - success runs the success action (e.g. fill the fields from what was
//     read) and enables the controls; for a write, the dialog closes with OK.
// When the dialog closes while busy, the helper waits for the worker with the
// event loop running (user input excluded), so every window keeps painting.
//
// Typical use in a dialog, whose OK button is connected to its own OnOk slot
// (not to an accept() override: a successful write ends the dialog with OK):
//   m_op = new DeviceOperation(this);
//   m_op->SetLockedControls({m_edit, m_okButton, m_cancelButton});
//   connect(buttons, &QDialogButtonBox::accepted, this, &CMyDlg::OnOk);
//
//   void CMyDlg::OnOk() {
//       if (m_op->IsBusy()) return;
//       ...check inputs...
//       m_op->StartWrite([d = m_driver, v] { return d->WriteElectrodeCoefficient(v); },
//                        QStringLiteral("Nie można zapisać ustawień"));
//   }
class DeviceOperation : public QObject {
    Q_OBJECT
public:
    // One driver call: true for success.
    using Work = std::function<bool()>;

    // One step of an operation and the text shown when it fails. When set,
    // describeFailure runs on the worker after the step failed and gives the text
    // instead (a message that says what went wrong).
    struct Step {
        Work work;
        QString failureText;
        std::function<QString()> describeFailure = nullptr;
    };

    // dialog: the dialog that owns the helper (also its QObject parent).
    explicit DeviceOperation(QDialog* dialog);
    ~DeviceOperation() override;

    DeviceOperation(const DeviceOperation&) = delete;
    DeviceOperation& operator=(const DeviceOperation&) = delete;

    // The controls disabled while an operation runs (edit fields, OK, Cancel).
    void SetLockedControls(const QList<QWidget*>& controls);

    // A write: on success the dialog closes with OK (the completion message).
    bool StartWrite(Work work, const QString& failureText);
    // A read (or any operation after which the dialog stays open): on success
    // onSuccess runs on the UI thread.
    bool StartRead(Work work, const QString& failureText, std::function<void()> onSuccess);
    // The general form: steps run in order on the worker; the first that fails
    // ends the operation with its text. Returns false when ignored (busy) or when
    // no worker could be started (its failure text is then shown).
    bool Start(std::vector<Step> steps, std::function<void()> onSuccess, bool acceptOnSuccess);

    // From Start until the result has been handled on the UI thread.
    bool IsBusy() const { return m_busy; }

    // Asks a running operation to stop before its next step; the step under way
    // ends first. A stopped operation shows no message, keeps the dialog open
    // and finishes with false. Ignored when idle.
    void RequestStop();
    // The last operation ended because it was asked to stop.
    bool Stopped() const { return m_stopped; }
    // Set by RequestStop while an operation runs: a step that loops over many
    // meter operations (a table read) checks it between them. A step that
    // fails while it is set counts as stopped (no message).
    const std::atomic<bool>* StopFlag() const { return &m_stopRequested; }

    // Waits for a running worker while processing events (user input excluded),
    // then handles its result at once. Returns at once when idle.
    void WaitForWorker();

    // Runs fn on the UI thread of the dialog, later (a queued call). Safe to call
    // from the worker, e.g. to advance a progress bar; dropped if the dialog is gone.
    void PostToUi(std::function<void()> fn);

signals:
    // Emitted on the UI thread when an operation has ended (after its message,
    // if any, was shown): true on success.
    void finished(bool ok);

private:
    void RunWorker(std::vector<Step> steps);
    void HandleResult();
    void SetControlsEnabled(bool enabled);
    void OnDialogFinished();

    QPointer<QDialog> m_dialog;
    QList<QPointer<QWidget>> m_locked;
    std::thread m_worker;
    std::atomic<bool> m_workerDone{true};
    std::atomic<bool> m_stopRequested{false};  // read by the worker between steps
    bool m_stopped = false;                    // UI thread only
    bool m_busy = false;                       // UI thread only
    bool m_dialogClosed = false;               // UI thread only: the dialog finished meanwhile
    bool m_acceptOnSuccess = false;            // UI thread only
    std::function<void()> m_onSuccess;         // UI thread only

    std::mutex m_resultLock;       // guards the three below
    bool m_resultPending = false;  // the worker's result has not been handled yet
    bool m_resultOk = false;
    bool m_resultThrew = false;
    bool m_resultStopped = false;
    QString m_resultFailureText;
};
