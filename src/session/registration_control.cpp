#include "session/registration_control.h"

#include <algorithm>
#include <climits>

#include "session/meter_session.h"

RegistrationControl::RegistrationControl(MeterSession& session, QObject* parent)
    : QObject(parent), m_session(session), m_file(std::make_unique<RegistrationSession>()) {
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(kStartDelayMs);
    connect(&m_startTimer, &QTimer::timeout, this, &RegistrationControl::StartAfterLaunch);
    connect(&m_intervalTimer, &QTimer::timeout, this, &RegistrationControl::WriteLine);
}

RegistrationControl::~RegistrationControl() {
    m_startTimer.stop();
    m_intervalTimer.stop();
}

RegistrationSettings RegistrationControl::Clamped(RegistrationSettings s) {
    // At least a second (a zero period would write without pause), and no
    // more than the timer can hold.
    s.fileInterval = std::clamp(s.fileInterval, 1, INT_MAX / 1000);
    return s;
}

void RegistrationControl::SetSettings(const RegistrationSettings& settings) {
    m_settings = Clamped(settings);
}

void RegistrationControl::CancelStart() {
    m_startTimer.stop();
    m_startDue = false;
}

RegistrationControl::Hold::Hold(RegistrationControl& control) : m_control(control) {
    ++m_control.m_holds;
}

RegistrationControl::Hold::~Hold() {
    m_control.ReleaseHold();
}

void RegistrationControl::ReleaseHold() {
    if (--m_holds > 0 || !m_startDue) return;
    m_startDue = false;
    StartAfterLaunch();
}

void RegistrationControl::StartAfterLaunch() {
    if (m_holds > 0) {
        m_startDue = true;
        return;
    }
    if (m_settings.fileName.isEmpty() || m_settings.fileLog != 1 || m_file->IsOpen()) return;
    const RegistrationSession::OpenResult opened = m_file->Open(m_settings.fileName);
    if (opened == RegistrationSession::OpenResult::Failed) {
        emit changed();
        emit startFailed();
        return;
    }
    // An existing file is continued at its end, the column titles first; no
    // question and no comment.
    BeginFile(opened == RegistrationSession::OpenResult::Existed ? RegistrationStart::Append
                                                                 : RegistrationStart::NewFile,
              false);
}

void RegistrationControl::TakeCandidate() {
    // The file registered so far ends here; the new one takes over.
    m_intervalTimer.stop();
    m_file->Close();
    m_file = std::move(m_candidate);
}

void RegistrationControl::BeginFile(RegistrationStart start, bool withComment) {
    m_file->SetFormat(m_settings.fileSepFormat, m_settings.fileDecSeparator);
    m_file->Begin(start, withComment, m_settings.comment);
    WriteLine();
    RestartTimer();
    emit changed();
}

RegistrationControl::Step RegistrationControl::Apply(const RegistrationSettings& chosen) {
    const RegistrationSettings before = m_settings;
    m_settings = Clamped(chosen);
    m_candidate.reset();
    if (m_settings.fileLog == 0) {
        Stop();
        return Step::Stopped;
    }
    if (m_file->IsOpen() && m_settings.fileName == before.fileName &&
        m_settings.fileLog == before.fileLog) {
        m_file->SetFormat(m_settings.fileSepFormat, m_settings.fileDecSeparator);
        WriteLine();
        RestartTimer();
        emit changed();
        return Step::Running;
    }
    auto candidate = std::make_unique<RegistrationSession>();
    const RegistrationSession::OpenResult opened = candidate->Open(m_settings.fileName);
    if (opened == RegistrationSession::OpenResult::Failed) {
        // Registration is off until a file opens.
        Stop();
        return Step::FileFailed;
    }
    if (opened == RegistrationSession::OpenResult::Existed) {
        // Nothing is written to it until the user answers; what registered
        // so far goes on meanwhile.
        m_before = before;
        m_candidate = std::move(candidate);
        return Step::NeedsAnswer;
    }
    m_candidate = std::move(candidate);
    TakeCandidate();
    BeginFile(RegistrationStart::NewFile, m_settings.fileCheckComment == 1);
    return Step::Running;
}

RegistrationControl::Step RegistrationControl::Answer(FileAnswer answer) {
    if (!m_candidate) return m_file->IsOpen() ? Step::Running : Step::Stopped;
    if (answer == FileAnswer::Dismissed) {
        m_candidate->Close();
        m_candidate.reset();
        m_settings = m_before;
        emit changed();
        return Step::NeedsAnswer;
    }
    TakeCandidate();
    BeginFile(answer == FileAnswer::Append ? RegistrationStart::Append : RegistrationStart::Empty,
              m_settings.fileCheckComment == 1);
    return Step::Running;
}

void RegistrationControl::Cancelled() {
    m_candidate.reset();
    if (!m_file->IsOpen()) m_settings.fileLog = 0;
    emit changed();
}

void RegistrationControl::Stop() {
    m_intervalTimer.stop();
    m_file->Close();
    emit changed();
}

void RegistrationControl::WriteLine() {
    if (!m_file->IsOpen()) return;
    // The line carries the meter's state of this moment, as the display does
    // after this refresh: a tick right after a change of port logs "???", not
    // the copy from before it. A failure keeps registration going: the status
    // line says so until a later line gets through.
    const MeterSnapshot& now = m_session.Refresh();
    m_file->WriteReading(now, m_clock ? m_clock() : std::time(nullptr));
    emit changed();
}

void RegistrationControl::RestartTimer() {
    m_intervalTimer.stop();
    m_intervalTimer.start(m_settings.fileInterval * 1000);
}
