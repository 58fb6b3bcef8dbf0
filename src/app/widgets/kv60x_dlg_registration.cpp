// The main window's part in registration to file: the settings command with
// its questions, the start after launch and the registration timer. The rules of the file
// itself live in RegistrationSession (core), shared with kv60x-cli.

#include <QScopedValueRollback>
#include <algorithm>
#include <climits>
#include <ctime>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "ui/prompts.h"

LogFileSettings Ckv60xDlg::LogSettings() const {
    LogFileSettings l;
    l.fileLog = m_settings.fileLog;
    l.fileName = m_settings.fileName;
    l.fileInterval = m_settings.fileInterval;
    l.fileSepFormat = m_settings.fileSepFormat;
    l.fileDecSeparator = m_settings.fileDecSeparator;
    l.fileCheckComment = m_settings.fileCheckComment;
    l.comment = m_comment;
    return l;
}

void Ckv60xDlg::OnLogFileSettings() {
    QScopedValueRollback<bool> running(m_inLogSettings, true);
    // A file that cannot be opened, or a question left unanswered, brings the
    // dialog back until a file opens or the user gives up.
    for (;;) {
        if (m_closing) return;
        const LogFileSettings before = LogSettings();
        CLogFileDlg dlg(before, this);
        const int result = dlg.exec();
        if (m_closing) return;
        if (result != QDialog::Accepted) {
            if (!m_registration.IsOpen()) m_settings.fileLog = 0;
            UpdateStatusText();
            return;
        }
        update();
        const LogFileSettings now = dlg.settings();
        m_settings.fileLog = now.fileLog;
        m_settings.fileName = now.fileName;
        m_settings.fileInterval = now.fileInterval;
        m_settings.fileSepFormat = now.fileSepFormat;
        m_settings.fileDecSeparator = now.fileDecSeparator;
        m_settings.fileCheckComment = now.fileCheckComment;
        m_comment = now.comment;

        if (now.fileLog == 0) {
            StopRegistration();
            UpdateStatusText();
            return;
        }
        if (!m_registration.IsOpen() || now.fileName != before.fileName ||
            now.fileLog != before.fileLog) {
            const FileStep step = OpenFileFromSettings();
            if (step == FileStep::Closing) return;
            if (step == FileStep::AskAgain) continue;
        }
        m_registration.SetFormat(m_settings.fileSepFormat, m_settings.fileDecSeparator);
        WriteRegistrationLine();
        RestartRegistrationTimer();
        UpdateStatusText();
        return;
    }
}

Ckv60xDlg::FileStep Ckv60xDlg::OpenFileFromSettings() {
    QScopedValueRollback<bool> inStep(m_inFileStep, true);
    // No tick until the first line of the new file: whatever the time the
    // user takes to answer, the file reads comment, column titles, lines.
    m_registrationTimer.stop();
    m_registration.Close();
    const RegistrationSession::OpenResult opened = m_registration.Open(m_settings.fileName);
    if (opened == RegistrationSession::OpenResult::Failed) {
        UpdateStatusText();
        Prompts::instance().message(this, kLogFileUnavailable, Prompts::Icon::Warning);
        return FileStep::AskAgain;
    }
    RegistrationStart start = RegistrationStart::NewFile;
    if (opened == RegistrationSession::OpenResult::Existed) {
        const Prompts::Answer answer = Prompts::instance().question(this, kLogFileExists);
        if (m_closing || answer == Prompts::Answer::Dismissed) {
            // No answer (Escape, the close button, the program ending): the
            // file stays exactly as it was.
            m_registration.Close();
            if (m_closing) return FileStep::Closing;
            UpdateStatusText();
            return FileStep::AskAgain;
        }
        start =
            answer == Prompts::Answer::Yes ? RegistrationStart::Append : RegistrationStart::Empty;
    }
    m_registration.SetFormat(m_settings.fileSepFormat, m_settings.fileDecSeparator);
    m_registration.Begin(start, m_settings.fileCheckComment == 1, m_comment);
    return FileStep::Opened;
}

void Ckv60xDlg::StartRegistrationIfEnabled() {
    if (m_closing) return;
    // The settings command is opening a file and perhaps asking about it: its
    // outcome decides (it ends with a file open or registration off).
    if (m_inFileStep) return;
    if (m_settings.fileName.isEmpty() || m_settings.fileLog != 1 || m_registration.IsOpen()) {
        return;
    }
    const RegistrationSession::OpenResult opened = m_registration.Open(m_settings.fileName);
    if (opened == RegistrationSession::OpenResult::Failed) {
        Prompts::instance().message(this, kLogFileUnavailable, Prompts::Icon::Warning);
        // When the settings dialog is already open, its outcome decides.
        if (!m_inLogSettings) OnLogFileSettings();
        return;
    }
    // An existing file is continued at its end, the column titles first; no
    // question and no comment.
    m_registration.SetFormat(m_settings.fileSepFormat, m_settings.fileDecSeparator);
    m_registration.Begin(opened == RegistrationSession::OpenResult::Existed
                             ? RegistrationStart::Append
                             : RegistrationStart::NewFile,
                         false, QString());
    WriteRegistrationLine();
    RestartRegistrationTimer();
    UpdateStatusText();
}

void Ckv60xDlg::WriteRegistrationLine() {
    if (!m_registration.IsOpen()) return;
    // The line carries the driver's state of this moment, as the display does
    // after this refresh: a tick right after a change of port logs "???", not
    // the copy from before it.
    Refresh();
    // A failure keeps registration going: the status line says so until a
    // later line gets through.
    m_registration.WriteReading(m_meter, m_clock ? m_clock() : std::time(nullptr));
    UpdateStatusText();
}

void Ckv60xDlg::RestartRegistrationTimer() {
    // At least a second (a zero period would write without pause), and no
    // more than the timer can hold.
    const int seconds = std::clamp(m_settings.fileInterval, 1, INT_MAX / 1000);
    m_registrationTimer.stop();
    m_registrationTimer.start(seconds * 1000);
}

void Ckv60xDlg::StopRegistration() {
    m_registrationTimer.stop();
    m_registration.Close();
}
