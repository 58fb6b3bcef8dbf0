#include "ui/device_operation.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <chrono>
#include <system_error>

#include "ui/prompts.h"
#include "ui/queued_call.h"

DeviceOperation::DeviceOperation(QDialog* dialog) : QObject(dialog), m_dialog(dialog) {
    if (dialog) {
        connect(dialog, &QDialog::finished, this, &DeviceOperation::OnDialogFinished);
    }
}

DeviceOperation::~DeviceOperation() {
    // Normally the worker was already waited for when the dialog finished. If the
    // dialog is destroyed without finishing, the widgets are being torn down, so
    // no events are processed here: the worker never waits for the UI thread, so a
    // plain join cannot deadlock.
    if (m_worker.joinable()) m_worker.join();
}

void DeviceOperation::SetLockedControls(const QList<QWidget*>& controls) {
    m_locked.clear();
    for (QWidget* w : controls) m_locked.append(QPointer<QWidget>(w));
}

bool DeviceOperation::StartWrite(Work work, const QString& failureText) {
    return Start({Step{std::move(work), failureText}}, nullptr, true);
}

bool DeviceOperation::StartRead(Work work, const QString& failureText,
                                std::function<void()> onSuccess) {
    return Start({Step{std::move(work), failureText}}, std::move(onSuccess), false);
}

bool DeviceOperation::Start(std::vector<Step> steps, std::function<void()> onSuccess,
                            bool acceptOnSuccess) {
    if (m_busy) return false;                  // one operation at a time; a second OK does nothing
    if (m_worker.joinable()) m_worker.join();  // an ended worker: release it

    const QString firstFailure = steps.empty() ? QString() : steps.front().failureText;
    m_onSuccess = std::move(onSuccess);
    m_acceptOnSuccess = acceptOnSuccess;
    m_dialogClosed = false;
    {
        std::lock_guard<std::mutex> lock(m_resultLock);
        m_resultPending = false;
    }
    m_workerDone = false;
    m_stopRequested = false;
    m_stopped = false;
    try {
        m_worker = std::thread(&DeviceOperation::RunWorker, this, std::move(steps));
    } catch (const std::system_error&) {
        m_workerDone = true;
        Prompts::instance().message(m_dialog, firstFailure, Prompts::Icon::Warning);
        return false;
    }
    m_busy = true;
    SetControlsEnabled(false);
    return true;
}

void DeviceOperation::RunWorker(std::vector<Step> steps) {
    bool ok = true;
    bool threw = false;
    bool stopped = false;
    QString failure;
    try {
        for (const Step& step : steps) {
            if (m_stopRequested.load()) {
                ok = false;
                stopped = true;
                break;
            }
            if (!step.work()) {
                ok = false;
                if (m_stopRequested.load()) {
                    stopped = true;
                } else {
                    failure = step.describeFailure ? step.describeFailure() : step.failureText;
                }
                break;
            }
        }
    } catch (...) {
        ok = false;
        threw = true;
    }
    {
        std::lock_guard<std::mutex> lock(m_resultLock);
        m_resultPending = true;
        m_resultOk = ok;
        m_resultThrew = threw;
        m_resultStopped = stopped;
        m_resultFailureText = failure;
    }
    // The helper lives on the UI thread; if it is gone, Qt drops the call.
    PostToUi([this] { HandleResult(); });
    m_workerDone = true;
}

void DeviceOperation::HandleResult() {
    bool ok = false;
    bool threw = false;
    bool stopped = false;
    QString failure;
    {
        std::lock_guard<std::mutex> lock(m_resultLock);
        if (!m_resultPending) return;  // already handled by WaitForWorker
        m_resultPending = false;
        ok = m_resultOk;
        threw = m_resultThrew;
        stopped = m_resultStopped;
        failure = m_resultFailureText;
    }
    if (m_worker.joinable()) m_worker.join();  // it has posted its result: ends at once

    if (!ok) {
        m_stopped = stopped;
        if (!threw && !stopped && !failure.isEmpty()) {
            Prompts::instance().message(m_dialog, failure, Prompts::Icon::Warning);
        }
        SetControlsEnabled(true);
        m_busy = false;
        emit finished(false);
        return;
    }
    if (m_onSuccess) m_onSuccess();
    SetControlsEnabled(true);
    m_busy = false;
    // The completion message: a successful write closes the dialog with OK,
    // unless it was closed meanwhile. done(), not accept(): a dialog that
    // overrides accept() must not start its write again.
    if (m_acceptOnSuccess && m_dialog && !m_dialogClosed) m_dialog->done(QDialog::Accepted);
    emit finished(true);
}

void DeviceOperation::WaitForWorker() {
    if (!m_busy && !m_worker.joinable()) return;
    while (!m_workerDone.load()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (m_worker.joinable()) m_worker.join();
    HandleResult();
}

void DeviceOperation::RequestStop() {
    if (m_busy) m_stopRequested = true;
}

void DeviceOperation::PostToUi(std::function<void()> fn) {
    PostQueued(this, std::move(fn));
}

void DeviceOperation::SetControlsEnabled(bool enabled) {
    for (const QPointer<QWidget>& w : m_locked) {
        if (w) w->setEnabled(enabled);
    }
}

void DeviceOperation::OnDialogFinished() {
    m_dialogClosed = true;
    if (m_busy) WaitForWorker();
}
