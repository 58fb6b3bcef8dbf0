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
#include "app/trend_math.h"
#include "app/widgets/trend_window.h"
#include "serial/widgets/wait_com_dlg.h"
#include "session/meter_session.h"
#include "session/registration_control.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenuBar;
class CColorStatic;
class CInfoBmp;
class DialogCloser;

// The main window: a view of the meter session. It shows each snapshot the
// session takes (value display, status icon and line, service data line,
// trend), carries the menus and asks the questions; the session keeps the
// meter, the polling and refresh, registration to file and every rule.
//
// Settings are handed in before the window runs (LoadSettings) and taken back
// after it has ended (Settings).
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
        kCmdReport,
        kCmdStartupDate,
        kCmdSerialNumber,
        kCmdStartupMemory,
        kCmdServiceData,
        kCmdElectrode,
        kCmdHelp,
        kCmdAbout,
    };

    // The port selection runs this long after the window shows, when it is
    // wanted before.
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
    // Delay of the registration start after creation; tests shorten it. Call
    // before the window is initialised.
    void SetRegistrationStartDelay(int ms) { m_registration.SetStartDelay(ms); }
    // The clock whose local time registration lines carry (tests fix it).
    void SetRegistrationClock(std::function<std::time_t()> clock) {
        m_registration.SetClock(std::move(clock));
    }

    // The creation steps (connect or ask for a port, fonts, menus, timers).
    // Run once; exec() and the first show call it when it has not run yet.
    void Initialise();
    int exec() override;

    // Closes the window the normal way, also when dialogs are open on top of it
    // (termination signals, end of the desktop session).
    void CloseWindow();

    MeterSession& session() { return m_session; }
    RegistrationControl& registration() { return m_registration; }
    bool serviceMode() const { return m_session.ServiceMode(); }
    // The journal of meter changes every write of the window goes through.
    void SetJournal(const JournalSettings& settings) { m_session.SetJournal(settings); }
    JournalSettings journal() const { return m_session.Journal(); }
    int portNumber() const { return m_session.Port(); }
    int connectCount() const { return m_connectCount; }
    bool isTopmost() const { return m_topmost; }
    bool serviceDataShown() const { return m_serviceDataShown; }
    bool connected() const { return m_connected; }
    WindowRect windowRect() const { return m_windowRect; }
    bool isRegistrationRunning() const { return m_registration.Running(); }
    int registrationTimerInterval() const { return m_registration.IntervalMs(); }
    int registrationTimeLeftMs() const { return m_registration.TimeLeftMs(); }
    bool registrationFileOpen() const { return m_registration.FileOpen(); }
    // The registration settings as the dialog gets them (comment included).
    RegistrationSettings LogSettings() const { return m_registration.Settings(); }
    QString lastStatusText() const { return m_lastStatusText; }
    // The meter as the last refresh took it.
    const MeterSnapshot& lastSnapshot() const { return m_session.Last(); }
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
    // A refresh now (the session emits its snapshot, which the window shows).
    void Refresh() { m_session.Refresh(); }
    // The window's own menu commands (main_menu.cpp runs the dialogs).
    // Port selection: asks for a port (after the window shows) and reconnects.
    void RunPortSelection();
    void ToggleTopmost();
    void ToggleServiceData();
    void OnColors();
    void OnFonts();
    // "Wykres temperatury": opens the trend window, or raises it.
    void OnTrendWindow();
    // "Rejestracja do pliku": the settings dialog and the question about an
    // existing file (kv60x_dlg_registration.cpp).
    void OnLogFileSettings();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    void SetChecked(Command command, bool on);
    void SetTopmost(bool on);
    void ApplyServiceData(bool shown);
    void LayOut();
    void CaptureWindowRect();
    // Shows one snapshot of the session: display, status, trend.
    void ShowSnapshot(const MeterSnapshot& snapshot);
    void UpdateStatusText();
    // The start after launch could not open the registration file.
    void OnRegistrationStartFailed();
    bool ConnectTo(int port);

    MeterSession m_session;
    RegistrationControl m_registration{m_session};

    bool m_initialised = false;
    bool m_initialising = true;  // no layout and no rectangle capture while set
    bool m_closing = false;
    bool m_geometryPending = false;  // the loaded rectangle still needs the frame size
    bool m_inLogSettings = false;    // the settings command is running

    // Settings.
    AppSettings m_settings;  // as loaded; the live values below take precedence
    int m_startupPort = 0;   // --port / --demo
    WindowRect m_windowRect;
    bool m_topmost = false;

    // State.
    bool m_serviceDataShown = false;
    bool m_connected = false;
    int m_statusLineHeight = 20;
    int m_connectCount = 0;
    QString m_lastStatusText;
    QString m_lastServiceText;
    trendmath::TrendHistory m_trend;  // every reading of the run, for the trend window
    CWaitComDlg::Job m_portLister;

    QMenuBar* m_menuBar = nullptr;
    std::map<Command, QAction*> m_actions;
    DialogCloser* m_closer = nullptr;
    QWidget* m_client = nullptr;
    CInfoBmp* m_icon = nullptr;
    QLineEdit* m_statusText = nullptr;
    QLabel* m_serviceLabel = nullptr;
    QLineEdit* m_serviceText = nullptr;
    CColorStatic* m_display = nullptr;
    QPointer<TrendWindow> m_trendWindow;  // made on first use, a child of this window

    QTimer m_portSelectionTimer;  // one-shot
};
