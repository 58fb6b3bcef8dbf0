// The main window's part in registration to file: the settings dialog and the
// questions. The rules, the file and the timers live in RegistrationControl
// (core), which the window asks and kv60x-cli shares.

#include <QScopedValueRollback>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/log_file_dlg.h"
#include "ui/prompts.h"

void Ckv60xDlg::OnLogFileSettings() {
    QScopedValueRollback<bool> running(m_inLogSettings, true);
    // While the dialog or its question is open, the start after launch waits:
    // no timer opens a file the user is being asked about.
    RegistrationControl::Hold hold(m_registration);
    // A file that cannot be opened, or a question left unanswered, brings the
    // dialog back (with what the user chose) until a file opens or the user
    // gives up.
    RegistrationSettings shown = m_registration.Settings();
    for (;;) {
        if (m_closing) return;
        CLogFileDlg dlg(shown, this);
        const int result = dlg.exec();
        if (m_closing) return;
        if (result != QDialog::Accepted) {
            m_registration.Cancelled();
            return;
        }
        update();
        shown = dlg.settings();
        RegistrationControl::Step step = m_registration.Apply(shown);
        if (step == RegistrationControl::Step::NeedsAnswer) {
            const Prompts::Answer answer = Prompts::instance().question(this, kLogFileExists);
            // No answer (Escape, the close button, the program ending): the
            // file and the settings stay exactly as they were.
            step = m_registration.Answer(m_closing || answer == Prompts::Answer::Dismissed
                                             ? RegistrationControl::FileAnswer::Dismissed
                                             : (answer == Prompts::Answer::Yes
                                                    ? RegistrationControl::FileAnswer::Append
                                                    : RegistrationControl::FileAnswer::Empty));
        }
        if (step == RegistrationControl::Step::FileFailed) {
            Prompts::instance().message(this, kLogFileUnavailable, Prompts::Icon::Warning);
            shown = m_registration.Settings();
            continue;
        }
        if (step != RegistrationControl::Step::NeedsAnswer) return;
    }
}

void Ckv60xDlg::OnRegistrationStartFailed() {
    if (m_closing) return;
    Prompts::instance().message(this, kLogFileUnavailable, Prompts::Icon::Warning);
    // When the settings dialog is already open, its outcome decides.
    if (!m_inLogSettings) OnLogFileSettings();
}
