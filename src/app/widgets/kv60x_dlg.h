#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <ctime>
#include <functional>
#include <map>

#include "app/app_settings.h"
#include "app/main_layout.h"
#include "app/registration_session.h"
#include "app/status_text.h"
#include "app/widgets/log_file_dlg.h"
#include "app/widgets/trend_window.h"
#include "journal/journaled_write.h"
#include "meter/kv60x_driver.h"
#include "serial/widgets/wait_com_dlg.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class CColorStatic;
class CInfoBmp;

// The main window: the value display, the status icon and status line, the
// service data line, the menus, the timers, and the meter driver it owns.
//
// Settings are handed in before the window runs (LoadSettings) and taken back
// after it has ended (Settings). Every menu command has its own slot.
class Ckv60xDlg : public QDialog {
    Q_OBJECT
public:
    // The menu commands.
    enum Command {
        kCmdClose,
        kCmdColors,
        kCmdFonts,
        kCmdTopmost,
        kCmdTrend,
        kCmdPort,
        kCmdLogFile,
        kCmdPanelInfo,
        kCmdCharTable,
        kCmdCharRecord,
        kCmdJournal,
        kCmdStartupDate,
        kCmdSerialNumber,
        kCmdStartupMemory,
        kCmdServiceData,
        kCmdElectrode,
        kCmdHelp,
        kCmdAbout,
    };

    // Timer periods: the display refresh, the delay of the registration start
    // (one-shot) and of the port selection once the window shows (one-shot).
    static constexpr int kRefreshMs = 100;
    static constexpr int kRegistrationStartMs = 6000;
    static constexpr int kPortSelectionDelayMs = 500;

    static inline const QString kTitle = QStringLiteral("KV60X");
    static inline const QString kServiceTitle = QStringLiteral("KV60X TRYB SERWISOWY");
    static inline const QString kLogFileUnavailable =
        QStringLiteral("Wybrany plik rejestracji wyników pomiaru jest niedostępny.");
    static inline const QString kLogFileExists = QStringLiteral(
        "Plik rejestracji pomiarów już istnieje.\r\nKontynuować rejestrację?\r\n"
        "Wybierz Tak aby dopisywać wyniki do poprzednich,\r\n"
        "wybierz Nie aby skasować poprzednią zawartość pliku.");

    explicit Ckv60xDlg(bool serviceMode = false, QWidget* parent = nullptr);
    ~Ckv60xDlg() override;

    // The settings read from the configuration; call before the window runs.
    void LoadSettings(const AppSettings& settings);
    // The settings as they are now (window rectangle as captured, not clamped).
    AppSettings Settings() const;

    // Connect to this port at start instead of PORT_NR (--port, --demo). The
    // configured PORT_NR is still what Settings() returns unless the user
    // chooses another port.
    void SetStartupPort(int port) { m_startupPort = port; }
    // The port listing used by the port selection (tests); default: the ports present.
    void SetPortLister(CWaitComDlg::Job lister) { m_portLister = std::move(lister); }
    // Delay of the registration start after creation; tests
    // shorten it. Call before the window is initialised.
    void SetRegistrationStartDelay(int ms) { m_registrationStartTimer.setInterval(ms); }
    // The clock whose local time registration lines carry (tests fix it);
    // empty: the system clock.
    void SetRegistrationClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }

    // The creation steps (connect or ask for a port, fonts, menus, timers).
    // Run once; exec() and the first show call it when it has not run yet.
    void Initialise();
    int exec() override;

    // Closes the window the normal way, also when dialogs are open on top of it
    // (termination signals, end of the desktop session).
    void CloseWindow();

    Ckv60xDriver& driver() { return m_driver; }
    bool serviceMode() const { return m_serviceMode; }
    // The journal of meter changes every write of the window goes through.
    void SetJournal(const JournalSettings& settings) { m_journal = settings; }
    const JournalSettings& journal() const { return m_journal; }
    int portNumber() const { return m_portNr; }
    int connectCount() const { return m_connectCount; }
    bool isTopmost() const { return m_topmost; }
    bool serviceDataShown() const { return m_serviceDataShown; }
    bool connected() const { return m_connected; }
    WindowRect windowRect() const { return m_windowRect; }
    bool isRegistrationRunning() const { return m_registrationTimer.isActive(); }
    int registrationTimerInterval() const { return m_registrationTimer.interval(); }
    int registrationTimeLeftMs() const { return m_registrationTimer.remainingTime(); }
    bool registrationFileOpen() const { return m_registration.IsOpen(); }
    // The registration settings as the dialog gets them (comment included).
    LogFileSettings LogSettings() const;
    QString lastStatusText() const { return m_lastStatusText; }
    // The driver's state as the last refresh took it.
    const MeterSnapshot& lastSnapshot() const { return m_meter; }
    // The readings of this run, and the trend window once it has been opened.
    const trendmath::TrendHistory& trendHistory() const { return m_trend; }
    TrendWindow* trendWindow() const { return m_trendWindow; }

    CColorStatic* valueDisplay() const { return m_display; }
    CInfoBmp* statusIcon() const { return m_icon; }
    QLineEdit* statusTextBox() const { return m_statusText; }
    QLabel* serviceLabel() const { return m_serviceLabel; }
    QLineEdit* serviceTextBox() const { return m_serviceText; }
    QMenuBar* menu() const { return m_menuBar; }
    QWidget* clientArea() const { return m_client; }
    // The action of a menu command; nullptr when the current menu lacks it.
    QAction* action(Command command) const;

    // "Nie można otworzyć portu COM%d", with a second line when the device
    // exists but the user may not open it.
    static QString PortOpenFailureText(int port, bool permissionDenied);

public slots:
    // The 100 ms refresh.
    void Refresh();
    // Port selection: asks for a port (after the window shows) and reconnects.
    void RunPortSelection();
    void ToggleTopmost();
    void ToggleServiceData();

    // Menu commands.
    void OnColors();
    void OnFonts();
    void OnHelp();
    void OnAbout();
    void OnStartupMemory();
    // "Wykres temperatury": opens the trend window, or raises it.
    void OnTrendWindow();
    // "Rejestracja do pliku": the settings dialog, then the file and the
    // registration timer.
    void OnLogFileSettings();
    // The meter dialogs and the journal of meter changes.
    void OnPanelInfo();
    void OnCharacteristicsTable();
    void OnSelectedCharacteristic();
    void OnJournal();
    void OnStartupDate();
    void OnSerialNumber();
    void OnElectrodeCoefficient();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
    void SetTopmost(bool on);
    void ApplyServiceData(bool shown);
    void LayOut();
    void CaptureWindowRect();
    void UpdateStatusText();
    // The registration start timer: starts registration to file when it is stored on.
    void StartRegistrationIfEnabled();
    enum class FileStep { Opened, AskAgain, Closing };
    // Opens FILE_NAME for the settings command: the question about an existing
    // file, emptying, the comment. AskAgain when the file cannot be opened or
    // the question was dismissed; the file is then as it was.
    FileStep OpenFileFromSettings();
    // One registration line from a fresh refresh (the registration timer).
    void WriteRegistrationLine();
    void RestartRegistrationTimer();
    void StopRegistration();
    bool ConnectTo(int port);

    bool m_serviceMode = false;
    JournalSettings m_journal;  // empty path: writes are not journaled
    bool m_initialised = false;
    bool m_initialising = true;  // no layout and no rectangle capture while set
    bool m_closing = false;
    bool m_geometryPending = false;  // the loaded rectangle still needs the frame size

    // Settings.
    AppSettings m_settings;    // as loaded; the live values below take precedence
    int m_portNr = 0;          // the port in use (PORT_NR)
    int m_configuredPort = 0;  // what goes back into the configuration
    int m_startupPort = 0;     // --port / --demo
    WindowRect m_windowRect;
    bool m_topmost = false;

    // State.
    bool m_serviceDataShown = false;
    bool m_connected = false;
    int m_statusLineHeight = 20;
    int m_connectCount = 0;
    QString m_lastStatusText;
    QString m_lastServiceText;
    StatusInputs m_records;           // the copies of the last refresh
    trendmath::TrendHistory m_trend;  // every reading of the run, for the trend window
    CWaitComDlg::Job m_portLister;

    // Registration to file.
    RegistrationSession m_registration;
    QString m_comment;             // lasts while the program runs
    bool m_inLogSettings = false;  // the settings command is running
    bool m_inFileStep = false;     // it is opening a file (and may be asking about it)
    std::function<std::time_t()> m_clock;
    MeterSnapshot m_meter;         // the driver's state at the last refresh
    bool m_closeFilterOn = false;  // dialogs shown while closing are cancelled

    Ckv60xDriver m_driver;

    QMenuBar* m_menuBar = nullptr;
    std::map<Command, QAction*> m_actions;
    QWidget* m_client = nullptr;
    CInfoBmp* m_icon = nullptr;
    QLineEdit* m_statusText = nullptr;
    QLabel* m_serviceLabel = nullptr;
    QLineEdit* m_serviceText = nullptr;
    CColorStatic* m_display = nullptr;
    QPointer<TrendWindow> m_trendWindow;  // made on first use, a child of this window

    QTimer m_refreshTimer;            // kRefreshMs
    QTimer m_registrationStartTimer;  // one-shot, kRegistrationStartMs
    QTimer m_registrationTimer;       // FILE_INTERVAL while registration runs
    QTimer m_portSelectionTimer;      // one-shot, kPortSelectionDelayMs
};
