#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <ctime>
#include <functional>
#include <memory>

#include "session/registration_session.h"

class MeterSession;

// The registration settings (section LOG of kv60x.ini, and the comment, which
// lasts while the program runs).
struct RegistrationSettings {
    int fileLog = 0;           // FILE_LOG
    QString fileName;          // FILE_NAME
    int fileInterval = 60;     // FILE_INTERVAL, seconds
    int fileSepFormat = 0;     // FILE_SEP_FORMAT: 1 tab, 2 ",", 3 ";", other: locale
    int fileDecSeparator = 0;  // FILE_DEC_SEPARATOR: 1 ",", 2 ".", other: locale
    int fileCheckComment = 0;  // FILE_CHECK_COMMENT
    QString comment;           // not stored in the configuration
};

// Registration to file as the window runs it: the settings, the start after
// launch, the interval timer and the file. Each line carries the session's
// snapshot of its moment (a refresh is taken for it, so the display shows
// what the line holds). The window asks the questions; the rules live here.
//
// Settings command:  Apply(chosen) -> [NeedsAnswer -> Answer(...)] ; Cancelled()
// While a Hold exists (the settings dialog or its question is open), the
// start after launch waits: it runs when the last hold ends, and then only if
// the settings still want it, so no timer opens a file the user is being
// asked about.
class RegistrationControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kStartDelayMs = 6000;

    explicit RegistrationControl(MeterSession& session, QObject* parent = nullptr);
    ~RegistrationControl() override;

    // The settings loaded at start. An interval below a second is taken as
    // one second (what the timer does, and what the status line then says).
    void SetSettings(const RegistrationSettings& settings);
    const RegistrationSettings& Settings() const { return m_settings; }
    // The clock whose local time the lines carry (tests fix it); empty: the system clock.
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    // The delay of the start after launch (tests shorten it); call before ArmStart.
    void SetStartDelay(int ms) { m_startTimer.setInterval(ms); }
    // Starts the one-shot start after launch.
    void ArmStart() { m_startTimer.start(); }
    // No start after launch any more (the program is closing).
    void CancelStart();

    // The interval timer runs.
    bool Running() const { return m_intervalTimer.isActive(); }
    int IntervalMs() const { return m_intervalTimer.interval(); }
    int TimeLeftMs() const { return m_intervalTimer.remainingTime(); }
    bool FileOpen() const { return m_file->IsOpen(); }
    // The last line could not be written, and none has been since.
    bool Failing() const { return m_file->Failing(); }
    const RegistrationSession& File() const { return *m_file; }

    // Keeps the start after launch waiting while it lives.
    class Hold {
    public:
        explicit Hold(RegistrationControl& control);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        RegistrationControl& m_control;
    };

    enum class Step {
        Stopped,      // FILE_LOG 0: registration is off, the file closed
        Running,      // lines go to the file; one was written now
        NeedsAnswer,  // the new file exists: ask append or empty, then Answer()
        FileFailed,   // the file cannot be opened: registration is off
    };
    // The settings dialog ended with OK. A new file (another name, or
    // registration switched on) is opened; an existing one waits for Answer()
    // while the file registered so far goes on. The same file again: no
    // question and no header, a line now, and the interval counts from now.
    Step Apply(const RegistrationSettings& chosen);
    enum class FileAnswer { Append, Empty, Dismissed };
    // The answer about the existing file. Dismissed (no answer): the file
    // stays exactly as it was, the settings go back to what they were before
    // Apply, and what registered before goes on; returns NeedsAnswer.
    Step Answer(FileAnswer answer);
    // The settings dialog was cancelled: without a file open, FILE_LOG is 0.
    void Cancelled();
    // Registration off: the timer stops and the file closes.
    void Stop();

signals:
    // Running, failing or the settings changed: the status line follows.
    void changed();
    // The start after launch could not open the file: the window says so
    // ("Wybrany plik...") and offers the settings.
    void startFailed();

private:
    void StartAfterLaunch();
    void ReleaseHold();
    // The candidate becomes the file registered to.
    void TakeCandidate();
    void BeginFile(RegistrationStart start, bool withComment);
    void WriteLine();
    void RestartTimer();
    static RegistrationSettings Clamped(RegistrationSettings s);

    MeterSession& m_session;
    RegistrationSettings m_settings;
    RegistrationSettings m_before;                     // the settings an unanswered Apply replaced
    std::unique_ptr<RegistrationSession> m_file;       // the file registered to
    std::unique_ptr<RegistrationSession> m_candidate;  // opened, waiting for Answer
    std::function<std::time_t()> m_clock;
    int m_holds = 0;
    bool m_startDue = false;  // the start after launch came while held
    QTimer m_startTimer;      // one-shot
    QTimer m_intervalTimer;   // FILE_INTERVAL while registration runs
};
