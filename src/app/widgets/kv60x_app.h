#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "app/app_settings.h"

class CIniEx;
struct FileError;
class Ckv60xDlg;
class SignalWatcher;

// Program options:
// kv60x [--service] [--demo] [--config FILE] [--journal FILE] [--port COMn|DEVICE]
struct AppOptions {
    bool service = false;
    bool demo = false;
    QString configFile;   // empty: the usual location
    QString journalFile;  // empty: beside --config, else the user's data folder
    QString port;         // empty: the configured port
};

// Parses the arguments (the first is the program). False with a message on an
// unknown option, a missing value or a --port that names no port (the rule of
// ResolvePortArgument); helpRequested when --help was given.
bool ParseAppOptions(const QStringList& arguments, AppOptions& options, QString& error,
                     bool* helpRequested = nullptr);
QString AppUsageText();

// The settings the main window has when no configuration file could be opened.
AppSettings ConstructionSettings();

// The application: loads the configuration, runs the main window until it is
// closed, then clamps the window rectangle to the screen and writes every
// setting back. --demo runs the simulated meter inside the program as COM250.
// SIGTERM, SIGINT, SIGHUP and the end of the desktop session close the window
// the normal way, so the settings are written and the port released.
class Ckv60xApp {
public:
    Ckv60xApp(AppOptions options, QStringList arguments);
    ~Ckv60xApp();

    Ckv60xApp(const Ckv60xApp&) = delete;
    Ckv60xApp& operator=(const Ckv60xApp&) = delete;

    // Runs before the main window starts (tests shorten the driver's time-outs
    // or give it a port listing here).
    void SetWindowSetup(std::function<void(Ckv60xDlg&)> setup) { m_setup = std::move(setup); }

    // Start-up, the main window's run, saving. Returns the exit code.
    int Run();

    // The steps of Run, for tests.
    bool Start();  // false only when the demo meter cannot be started
    void Finish();

    Ckv60xDlg* window() const { return m_window.get(); }
    QString configPath() const { return m_configPath; }
    QString journalPath() const;
    bool configOpened() const { return m_configOpened; }

private:
    int StartupPort() const;
    void ReportSettingsNotSaved(const FileError& error);
    // A configuration file over the size limit: said at start, never written.
    void ReportSettingsTooLarge();

    AppOptions m_options;
    QStringList m_arguments;
    QString m_configPath;
    bool m_configOpened = false;
    bool m_terminated = false;  // closed by a termination signal
    std::function<void(Ckv60xDlg&)> m_setup;
    std::unique_ptr<CIniEx> m_ini;
    std::unique_ptr<Ckv60xDlg> m_window;
    std::unique_ptr<SignalWatcher> m_signals;
};
