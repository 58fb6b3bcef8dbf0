#include "app/widgets/kv60x_app.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGuiApplication>
#include <QScreen>
#include <QSessionManager>
#include <clocale>
#include <cstdio>

#include "app/ini_ex.h"
#include "app/signal_watcher.h"
#include "app/widgets/kv60x_dlg.h"
#include "journal/journal_location.h"
#include "serial/port_names.h"
#include "sim/demo_meter.h"
#include "ui/prompts.h"

namespace {

void DefineOptions(QCommandLineParser& p) {
    p.setApplicationDescription(QStringLiteral("KV-60x: odczyt i obsługa mierników wilgotności."));
    p.addHelpOption();
    p.addOptions({
        {QStringLiteral("service"), QStringLiteral("Tryb serwisowy.")},
        {QStringLiteral("demo"), QStringLiteral("Symulowany miernik jako COM250.")},
        {QStringLiteral("config"), QStringLiteral("Plik ustawień zamiast kv60x.ini."),
         QStringLiteral("FILE")},
        {QStringLiteral("journal"),
         QStringLiteral("Dziennik zmian mierników zamiast ~/.local/share/kv60x/journal.sqlite."),
         QStringLiteral("FILE")},
        {QStringLiteral("port"), QStringLiteral("Port: COMn lub ścieżka urządzenia."),
         QStringLiteral("COMn|DEVICE")},
    });
}

// A stored window rectangle on none of the screens (a monitor since removed,
// numbers edited by hand) gives way to the default one.
AppSettings OnSomeScreen(AppSettings s) {
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->geometry());
    if (screens.isEmpty()) return s;
    const AppSettings d;
    const WindowRect r = WindowRectOnScreens(
        WindowRect{s.windowLeft, s.windowTop, s.windowRight, s.windowBottom}, screens,
        WindowRect{d.windowLeft, d.windowTop, d.windowRight, d.windowBottom});
    s.windowLeft = r.left;
    s.windowTop = r.top;
    s.windowRight = r.right;
    s.windowBottom = r.bottom;
    return s;
}

}  // namespace

bool ParseAppOptions(const QStringList& arguments, AppOptions& options, QString& error,
                     bool* helpRequested) {
    QCommandLineParser p;
    DefineOptions(p);
    if (!p.parse(arguments)) {
        error = p.errorText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        error = QStringLiteral("Nieznany argument: %1").arg(p.positionalArguments().first());
        return false;
    }
    if (helpRequested) *helpRequested = p.isSet(QStringLiteral("help"));
    options.service = p.isSet(QStringLiteral("service"));
    options.demo = p.isSet(QStringLiteral("demo"));
    options.configFile = p.value(QStringLiteral("config"));
    options.journalFile = p.value(QStringLiteral("journal"));
    options.port = p.value(QStringLiteral("port"));
    if (p.isSet(QStringLiteral("port")) && ResolvePortArgument(options.port, &error) == 0) {
        return false;
    }
    return true;
}

QString AppUsageText() {
    QCommandLineParser p;
    DefineOptions(p);
    return p.helpText();
}

AppSettings ConstructionSettings() {
    AppSettings s;
    s.portNr = 0;
    s.windowLeft = 100;
    s.windowTop = 100;
    s.windowRight = 700;
    s.windowBottom = 500;
    s.topmost = 0;
    s.fileInterval = 1;
    return s;
}

Ckv60xApp::Ckv60xApp(AppOptions options, QStringList arguments)
    : m_options(std::move(options)), m_arguments(std::move(arguments)) {}

Ckv60xApp::~Ckv60xApp() {
    m_window.reset();
    m_ini.reset();
}

int Ckv60xApp::StartupPort() const {
    if (m_options.demo) return kDemoPort;
    if (m_options.port.isEmpty()) return 0;
    return ResolvePortArgument(m_options.port, nullptr);
}

bool Ckv60xApp::Start() {
    // Registration lines format their date and time under the user's locale.
    std::setlocale(LC_TIME, "");
    // Before anything takes time (a large configuration): a termination signal
    // from now on closes the window the normal way once it runs.
    m_signals = std::make_unique<SignalWatcher>();

    m_window = std::make_unique<Ckv60xDlg>(m_options.service);
    // The demo meter belongs to the window's session and stops with it.
    if (m_options.demo && !m_window->session().StartDemo()) return false;

    m_configPath =
        m_options.configFile.isEmpty() ? ResolveConfigPath(m_arguments) : m_options.configFile;
    m_ini = std::make_unique<CIniEx>();
    const CIniEx::OpenResult opened = m_ini->Open(m_configPath, true, true, true);
    // A file that can be read is used, also when it cannot be written back
    // (that is said at exit, and the file stays as it is).
    m_configOpened = opened == CIniEx::OpenResult::Opened || opened == CIniEx::OpenResult::ReadOnly;
    if (opened == CIniEx::OpenResult::TooLarge) ReportSettingsTooLarge();
    m_window->LoadSettings(
        OnSomeScreen(m_configOpened ? LoadAppSettings(*m_ini) : ConstructionSettings()));
    m_window->SetStartupPort(StartupPort());
    JournalSettings journal;
    journal.path = journalPath();
    journal.program = QStringLiteral("kv60x");
    journal.user = JournalUserName();
    m_window->SetJournal(journal);

    Ckv60xDlg* w = m_window.get();
    QObject::connect(m_signals.get(), &SignalWatcher::terminationRequested, w, [this, w](int) {
        m_terminated = true;
        w->CloseWindow();
    });
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, w, [this, w](QSessionManager&) {
            m_terminated = true;
            w->CloseWindow();
        });
        QObject::connect(gui, &QCoreApplication::aboutToQuit, w, [this, w] {
            m_terminated = true;
            w->CloseWindow();
        });
    }
    if (m_setup) m_setup(*m_window);
    return true;
}

void Ckv60xApp::Finish() {
    if (!m_window) return;
    AppSettings s = m_window->Settings();
    QScreen* screen = m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect g = screen->geometry();
        const WindowRect r =
            ClampWindowRect(WindowRect{s.windowLeft, s.windowTop, s.windowRight, s.windowBottom},
                            g.width(), g.height());
        s.windowLeft = r.left;
        s.windowTop = r.top;
        s.windowRight = r.right;
        s.windowBottom = r.bottom;
    }
    if (m_ini) {
        StoreAppSettings(*m_ini, s);
        if (!m_ini->Write()) ReportSettingsNotSaved(m_ini->LastWriteError());
        m_ini.reset();
    }
    m_signals.reset();
    m_window.reset();  // stops the driver and releases the port
}

void Ckv60xApp::ReportSettingsNotSaved(const FileError& error) {
    // The old file stays as it was. The user hears of it, unless the program
    // is being terminated: then nobody would answer the message.
    const QString text = QStringLiteral("Nie można zapisać ustawień");
    const QString detail = QStringLiteral("%1 (%2)").arg(m_configPath, error.Reason());
    std::fprintf(stderr, "kv60x: %s: %s\n", text.toUtf8().constData(), detail.toUtf8().constData());
    if (!m_terminated) {
        Prompts::instance().message(m_window.get(), text + QChar('\n') + detail,
                                    Prompts::Icon::Warning);
    }
}

void Ckv60xApp::ReportSettingsTooLarge() {
    const QString text =
        QStringLiteral(
            "Plik ustawień %1 jest większy niż %2 MiB. Program nie odczyta go ani nie zapisze; "
            "działa na ustawieniach domyślnych.")
            .arg(m_configPath)
            .arg(CIniEx::kMaxFileBytes / (1024 * 1024));
    std::fprintf(stderr, "kv60x: %s\n", text.toUtf8().constData());
    Prompts::instance().message(nullptr, text, Prompts::Icon::Warning);
}

QString Ckv60xApp::journalPath() const {
    return ResolveJournalPath(m_options.journalFile, m_options.configFile);
}

int Ckv60xApp::Run() {
    if (!Start()) return 1;
    m_window->exec();
    Finish();
    return 0;
}
