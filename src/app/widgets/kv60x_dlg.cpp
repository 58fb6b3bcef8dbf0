#include "app/widgets/kv60x_dlg.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <chrono>

#include "app/widgets/trend_window.h"
#include "characteristics/widgets/char_dialogs.h"
#include "journal/widgets/journal_dlg.h"
#include "serial/widgets/com_dlg.h"
#include "service/widgets/service_dialogs.h"
#include "ui/about_dlg.h"
#include "ui/color_dlg.h"
#include "ui/color_static.h"
#include "ui/font_dlg.h"
#include "ui/help_window.h"
#include "ui/info_bmp.h"
#include "ui/prompts.h"
#include "ui/ui_resources.h"

namespace {

// Colours are kept as 0x00BBGGRR.
QColor FromColorRef(uint32_t v) {
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

uint32_t ToColorRef(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

// Texts carry their keyboard mnemonics ("&Widok": Alt+W); the names screen
// readers get are without the "&".
struct MenuItem {
    Ckv60xDlg::Command command;
    const char* text;  // UTF-8
};

struct MenuGroup {
    const char* title;
    bool serviceOnly;
    std::vector<MenuItem> items;
};

const std::vector<MenuGroup>& MenuGroups() {
    static const std::vector<MenuGroup> groups = {
        {"&Program", false, {{Ckv60xDlg::kCmdClose, "&Zamknij"}}},
        {"&Widok",
         false,
         {{Ckv60xDlg::kCmdColors, "&Kolory"},
          {Ckv60xDlg::kCmdFonts, "&Czcionki"},
          {Ckv60xDlg::kCmdTopmost, "&Zawsze na wierzchu"},
          {Ckv60xDlg::kCmdTrend, "&Wykres temperatury"}}},
        {"&Ustawienia",
         false,
         {{Ckv60xDlg::kCmdPort, "&Port szeregowy"},
          {Ckv60xDlg::kCmdLogFile, "&Rejestracja do pliku"}}},
        {"P&anel",
         false,
         {{Ckv60xDlg::kCmdPanelInfo, "&Informacje"},
          {Ckv60xDlg::kCmdCharTable, "&Charakterystyki wszystkich materiałów"},
          {Ckv60xDlg::kCmdCharRecord, "Charakterystyka &wybranego materiału"},
          {Ckv60xDlg::kCmdJournal, "&Historia zmian..."}}},
        {"&Serwis",
         true,
         {{Ckv60xDlg::kCmdStartupDate, "Zapis &daty uruchamiania"},
          {Ckv60xDlg::kCmdSerialNumber, "Zapis &numeru seryjnego"},
          {Ckv60xDlg::kCmdStartupMemory, "&Odczyt pamięci uruchamiania"},
          {Ckv60xDlg::kCmdServiceData, "Wyświetlaj dane &serwisowe"},
          {Ckv60xDlg::kCmdElectrode, "Współczynnik &kształtu elektrod"}}},
        {"Po&moc",
         false,
         {{Ckv60xDlg::kCmdHelp, "&Pomoc"}, {Ckv60xDlg::kCmdAbout, "&O programie"}}},
    };
    return groups;
}

}  // namespace

Ckv60xDlg::Ckv60xDlg(bool serviceMode, QWidget* parent)
    : QDialog(parent), m_serviceMode(serviceMode) {
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    setWindowIcon(AppIcon());

    m_menuBar = new QMenuBar(this);
    m_client = new QWidget(this);
    m_client->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_menuBar);
    layout->addWidget(m_client, 1);

    m_icon = new CInfoBmp(m_client);
    m_statusText = new QLineEdit(m_client);
    m_statusText->setReadOnly(true);
    // Reachable by Tab, so that a screen reader user can read the status line.
    m_statusText->setFocusPolicy(Qt::StrongFocus);
    m_statusText->setAccessibleName(QStringLiteral("Stan urządzenia"));
    m_serviceLabel = new QLabel(QStringLiteral("Dane serwisowe:"), m_client);
    m_serviceLabel->setAccessibleName(m_serviceLabel->text());
    m_serviceLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_serviceText = new QLineEdit(m_client);
    m_serviceText->setReadOnly(true);
    m_serviceText->setFocusPolicy(Qt::StrongFocus);
    m_serviceText->setAccessibleName(m_serviceLabel->text());
    m_serviceLabel->setBuddy(m_serviceText);
    m_display = new CColorStatic(m_client);
    m_display->setFocusPolicy(Qt::StrongFocus);

    // The value display of the main window: temperature with its unit, two
    // decimals, under the caption "Temperatura".
    m_display->SetMode(1);
    m_display->SetKinds(3, 3, true);
    m_display->SetPrecision(true);
    m_display->SetCaption(QStringLiteral("Temperatura"));
    m_display->setAccessibleName(QStringLiteral("Temperatura"));
    m_display->setBackgroundColor(QColor(255, 231, 206));
    m_display->setTextColor(QColor(66, 21, 0));

    // The window as constructed, before the configuration is loaded.
    m_settings.backgroundInput = 13559807;
    m_settings.textInput = 5442;
    m_settings.fileInterval = 1;
    m_windowRect = WindowRect{};

    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, &QTimer::timeout, this, &Ckv60xDlg::Refresh);
    m_registrationStartTimer.setInterval(kRegistrationStartMs);
    m_registrationStartTimer.setSingleShot(true);
    connect(&m_registrationStartTimer, &QTimer::timeout, this,
            &Ckv60xDlg::StartRegistrationIfEnabled);
    m_portSelectionTimer.setInterval(kPortSelectionDelayMs);
    m_portSelectionTimer.setSingleShot(true);
    connect(&m_portSelectionTimer, &QTimer::timeout, this, &Ckv60xDlg::RunPortSelection);
    connect(&m_registrationTimer, &QTimer::timeout, this, &Ckv60xDlg::WriteRegistrationLine);

    BuildMenu();
}

Ckv60xDlg::~Ckv60xDlg() {
    m_closing = true;
    m_refreshTimer.stop();
    m_registrationStartTimer.stop();
    m_registrationTimer.stop();
    m_portSelectionTimer.stop();
    // The trend window reads m_trend, which goes before the children do.
    delete m_trendWindow;
    // Stops the polling thread and releases the port before the widgets go.
    m_driver.Disconnect();
}

void Ckv60xDlg::LoadSettings(const AppSettings& s) {
    m_settings = s;
    m_portNr = s.portNr;
    m_configuredPort = s.portNr;
    m_windowRect = WindowRect{s.windowLeft, s.windowTop, s.windowRight, s.windowBottom};
    m_topmost = false;  // applied by Initialise through the toggle
    m_display->setBackgroundColor(FromColorRef(s.backgroundInput));
    m_display->setTextColor(FromColorRef(s.textInput));
}

AppSettings Ckv60xDlg::Settings() const {
    AppSettings s = m_settings;
    s.backgroundInput = ToColorRef(m_display->backgroundColor());
    s.textInput = ToColorRef(m_display->textColor());
    const FontDesc& f = m_display->fontDesc();
    s.fontHeightInput = f.height;
    s.fontNameInput = f.faceName;
    s.fontItalicInput = f.italic ? 1 : 0;
    s.fontWeightInput = f.weight;
    s.portNr = m_configuredPort;
    s.windowLeft = m_windowRect.left;
    s.windowTop = m_windowRect.top;
    s.windowRight = m_windowRect.right;
    s.windowBottom = m_windowRect.bottom;
    s.topmost = m_topmost ? 1 : 0;
    return s;
}

QAction* Ckv60xDlg::action(Command command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

QString Ckv60xDlg::PortOpenFailureText(int port, bool permissionDenied) {
    QString text = QStringLiteral("Nie można otworzyć portu COM%1").arg(port);
    if (permissionDenied) {
        text += QStringLiteral(
            "\nBrak uprawnień do portu: dodaj swoje konto do grupy dialout "
            "(sudo usermod -aG dialout $USER), a potem wyloguj się i zaloguj ponownie.");
    }
    return text;
}

void Ckv60xDlg::BuildMenu() {
    m_menuBar->clear();
    m_actions.clear();
    for (const MenuGroup& group : MenuGroups()) {
        if (group.serviceOnly && !m_serviceMode) continue;
        QMenu* menu = m_menuBar->addMenu(QString::fromUtf8(group.title));
        menu->setAccessibleName(QString(menu->title()).remove(QLatin1Char('&')));
        for (const MenuItem& item : group.items) {
            QAction* a = menu->addAction(QString::fromUtf8(item.text));
            m_actions[item.command] = a;
        }
    }
    auto on = [this](Command command, void (Ckv60xDlg::*slot)()) {
        if (QAction* a = action(command)) connect(a, &QAction::triggered, this, slot);
    };
    on(kCmdClose, &Ckv60xDlg::accept);
    on(kCmdColors, &Ckv60xDlg::OnColors);
    on(kCmdFonts, &Ckv60xDlg::OnFonts);
    on(kCmdTopmost, &Ckv60xDlg::ToggleTopmost);
    on(kCmdTrend, &Ckv60xDlg::OnTrendWindow);
    on(kCmdPort, &Ckv60xDlg::RunPortSelection);
    on(kCmdLogFile, &Ckv60xDlg::OnLogFileSettings);
    on(kCmdPanelInfo, &Ckv60xDlg::OnPanelInfo);
    on(kCmdCharTable, &Ckv60xDlg::OnCharacteristicsTable);
    on(kCmdCharRecord, &Ckv60xDlg::OnSelectedCharacteristic);
    on(kCmdJournal, &Ckv60xDlg::OnJournal);
    on(kCmdStartupDate, &Ckv60xDlg::OnStartupDate);
    on(kCmdSerialNumber, &Ckv60xDlg::OnSerialNumber);
    on(kCmdStartupMemory, &Ckv60xDlg::OnStartupMemory);
    on(kCmdServiceData, &Ckv60xDlg::ToggleServiceData);
    on(kCmdElectrode, &Ckv60xDlg::OnElectrodeCoefficient);
    on(kCmdHelp, &Ckv60xDlg::OnHelp);
    on(kCmdAbout, &Ckv60xDlg::OnAbout);
    for (Command checkable : {kCmdTopmost, kCmdServiceData}) {
        if (QAction* a = action(checkable)) a->setCheckable(true);
    }
    if (QAction* a = action(kCmdTopmost)) a->setChecked(m_topmost);
    if (QAction* a = action(kCmdServiceData)) a->setChecked(m_serviceDataShown);
}

void Ckv60xDlg::Initialise() {
    if (m_initialised) return;
    m_initialised = true;
    m_initialising = true;

    // The status icon shows the error picture until the first refresh.
    m_icon->ShowError();

    // Open the port, or ask for one once the window shows.
    const int startPort = m_startupPort > 0 ? m_startupPort : m_portNr;
    if (m_startupPort > 0) m_portNr = m_startupPort;
    if (startPort <= 0) {
        RunPortSelection();
    } else if (!ConnectTo(startPort)) {
        m_driver.Disconnect();
        Prompts::instance().message(
            this, PortOpenFailureText(startPort, m_driver.LastOpenPermissionDenied()),
            Prompts::Icon::Warning);
        RunPortSelection();
    }

    m_statusLineHeight = m_statusText->sizeHint().height();
    m_display->SetFontDesc(FontDesc{m_settings.fontHeightInput, m_settings.fontWeightInput,
                                    m_settings.fontItalicInput != 0, m_settings.fontNameInput,
                                    FontDesc::kCentralEuropeanCharSet});
    m_serviceDataShown = false;
    m_serviceText->hide();
    m_serviceLabel->hide();
    m_driver.SetServiceDataOn(false);

    m_initialising = false;

    // The loaded outer rectangle; the frame is added once the window manager
    // has given the window one (see showEvent).
    move(m_windowRect.left, m_windowRect.top);
    resize(std::max(1, m_windowRect.width()), std::max(1, m_windowRect.height()));
    m_geometryPending = true;

    QFont big = font();
    if (big.pixelSize() > 0) {
        big.setPixelSize(big.pixelSize() * 3);
    } else {
        big.setPointSizeF(big.pointSizeF() * 3);
    }
    m_serviceText->setFont(big);

    if (m_settings.topmost != 0) SetTopmost(true);
    setWindowTitle(kTitle);
    if (m_serviceMode) {
        BuildMenu();
        setWindowTitle(kServiceTitle);
        setAccessibleName(kServiceTitle);
        ApplyServiceData(false);
        if (QAction* a = action(kCmdTopmost)) a->setChecked(m_topmost);
    }

    m_registrationStartTimer.start();
    m_refreshTimer.start();
    LayOut();
}

int Ckv60xDlg::exec() {
    Initialise();
    // Termination asked for during the start-up steps (the port alert runs
    // before the window's own run): end now, the normal way.
    if (m_closing) return QDialog::Rejected;
    return QDialog::exec();
}

bool Ckv60xDlg::ConnectTo(int port) {
    ++m_connectCount;
    return m_driver.Connect(port);
}

void Ckv60xDlg::CloseWindow() {
    // Also when asked again: whatever opened since the first request goes too.
    m_closing = true;
    m_portSelectionTimer.stop();
    m_registrationStartTimer.stop();
    // A command that goes on after its dialog was cancelled may show another
    // one (a message, the next question): it is cancelled as soon as it shows.
    if (!m_closeFilterOn) {
        m_closeFilterOn = true;
        qApp->installEventFilter(this);
    }
    for (int i = 0; i < 16 && QApplication::activePopupWidget(); ++i) {
        QApplication::activePopupWidget()->close();
    }
    // Dialogs and message boxes open on top end first, cancelled, so that every
    // nested run returns and the window's own run can end.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d != this && d->isVisible()) d->done(QDialog::Rejected);
    }
    close();
}

// ---- port selection -------------------------------------------------------

void Ckv60xDlg::RunPortSelection() {
    if (m_closing) return;
    if (!isVisible() || m_initialising) {
        m_portSelectionTimer.start();
        return;
    }
    m_portSelectionTimer.stop();
    for (;;) {
        CComDlg dlg(m_portNr, this, m_portLister);
        if (dlg.exec() != QDialog::Accepted || m_closing) return;
        update();
        const int chosen = dlg.chosenPort();
        if (chosen <= 0) return;
        // The port in use with a working link: nothing to do. Without one (it
        // failed at start, or the meter stopped answering) choosing it again
        // is the way to try once more.
        if (chosen == m_portNr && m_driver.IsConnected() && m_driver.LinkUp()) {
            return;
        }
        m_driver.Disconnect();
        const bool opened = ConnectTo(chosen);
        // Nothing of the old link stays on the screen, not even until the next tick.
        Refresh();
        if (opened) {
            m_portNr = chosen;
            m_configuredPort = chosen;
            return;
        }
        const bool denied = m_driver.LastOpenPermissionDenied();
        m_driver.Disconnect();
        m_portNr = 0;
        Prompts::instance().message(this, PortOpenFailureText(chosen, denied),
                                    Prompts::Icon::Warning);
        if (m_closing) return;
    }
}

// ---- toggles ---------------------------------------------------------------

void Ckv60xDlg::SetTopmost(bool on) {
    m_topmost = on;
    if (QAction* a = action(kCmdTopmost)) a->setChecked(on);
    if (bool(windowFlags() & Qt::WindowStaysOnTopHint) == on) return;
    const bool wasVisible = isVisible();
    const QRect frame = frameGeometry();
    const QSize client = size();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);  // hides a visible window
    if (wasVisible) {
        move(frame.topLeft());
        resize(client);
        show();
    }
}

void Ckv60xDlg::ToggleTopmost() {
    SetTopmost(!m_topmost);
}

void Ckv60xDlg::ApplyServiceData(bool shown) {
    m_serviceDataShown = shown;
    if (QAction* a = action(kCmdServiceData)) a->setChecked(shown);
    m_serviceLabel->setVisible(shown);
    m_serviceText->setVisible(shown);
    m_driver.SetServiceDataOn(shown);
    LayOut();
}

void Ckv60xDlg::ToggleServiceData() {
    ApplyServiceData(!m_serviceDataShown);
}

// ---- layout and window rectangle ---------------------------------------------

void Ckv60xDlg::LayOut() {
    if (m_initialising) return;
    const int border = ClampBorder(style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
    const int labelWidth =
        m_serviceLabel->fontMetrics().horizontalAdvance(m_serviceLabel->text()) + 4;
    const MainLayout l =
        ComputeMainLayout(m_client->width(), m_client->height(), m_statusLineHeight,
                          m_serviceDataShown, border, labelWidth);
    m_icon->setGeometry(l.icon);
    m_statusText->setGeometry(l.statusText);
    m_serviceLabel->setGeometry(l.serviceLabel);
    m_serviceText->setGeometry(l.serviceText);
    m_display->setGeometry(l.valueDisplay);
    m_display->update();
}

void Ckv60xDlg::CaptureWindowRect() {
    // The restored window's outer rectangle follows moves and size changes.
    if (m_initialising || !isVisible() || m_geometryPending) return;
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        return;
    }
    const QRect f = frameGeometry();
    m_windowRect = WindowRect{f.x(), f.y(), f.x() + f.width(), f.y() + f.height()};
}

void Ckv60xDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Initialise();
    if (m_geometryPending) {
        // Give the stored outer size to the frame: once the window manager has
        // framed the window, the client is the outer size less the frame.
        QTimer::singleShot(0, this, [this] {
            const QRect f = frameGeometry();
            const int dw = f.width() - width();
            const int dh = f.height() - height();
            move(m_windowRect.left, m_windowRect.top);
            resize(std::max(1, m_windowRect.width() - dw), std::max(1, m_windowRect.height() - dh));
            m_geometryPending = false;
            CaptureWindowRect();
        });
    }
}

void Ckv60xDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    CaptureWindowRect();
}

void Ckv60xDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    CaptureWindowRect();
}

bool Ckv60xDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) LayOut();
    if (m_closeFilterOn && event->type() == QEvent::Show && watched != this) {
        auto* d = qobject_cast<QDialog*>(watched);
        if (d && d->isWindow()) {
            QMetaObject::invokeMethod(
                d, [d] { d->done(QDialog::Rejected); }, Qt::QueuedConnection);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Ckv60xDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // Neither key closes the program.
            setFocus();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// ---- refresh -----------------------------------------------------------------

void Ckv60xDlg::Refresh() {
    // One snapshot: the status and the records it speaks for.
    m_meter = m_driver.Snapshot();
    const bool connectedNow = m_meter.linkUp();
    m_records.serialNumber = m_meter.serialNumber;
    m_records.identity = m_meter.identity;
    m_records.condition = m_meter.condition;
    m_records.temperature = m_meter.temperature;
    m_records.serviceData = m_meter.serviceData;

    // The trend gets one entry per new reading, not one per tick.
    const int64_t steadyMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (m_trend.Feed(connectedNow, m_meter.cycles, m_records.temperature, steadyMs,
                     QDateTime::currentMSecsSinceEpoch()) &&
        m_trendWindow) {
        m_trendWindow->OnNewEntry();
    }

    if (connectedNow != m_connected) {
        m_connected = connectedNow;
        LayOut();
    }
    UpdateStatusText();

    const DisplayState d =
        ComposeDisplayState(m_connected, m_records.condition, m_records.temperature);
    if (d.hasValue) {
        m_display->SetValue(d.value);
    } else {
        m_display->SetNoValue();
    }
    m_display->SetBlink(d.blink);
}

void Ckv60xDlg::UpdateStatusText() {
    m_records.connected = m_connected;
    m_records.registrationRunning = isRegistrationRunning();
    m_records.fileInterval = m_settings.fileInterval;
    m_records.registrationFailing = m_registration.Failing();
    const StatusLine s = ComposeStatusLine(m_records);
    switch (s.icon) {
        case StatusIcon::Information:
            m_icon->ShowInformation();
            break;
        case StatusIcon::Warning:
            m_icon->ShowWarning();
            break;
        case StatusIcon::Error:
            m_icon->ShowError();
            break;
    }
    if (s.text != m_lastStatusText) {
        m_lastStatusText = s.text;
        m_statusText->setText(s.text);
        m_statusText->setCursorPosition(0);
        m_display->setFocus();
    }
    if (s.serviceText != m_lastServiceText || m_serviceText->text() != s.serviceText) {
        m_lastServiceText = s.serviceText;
        m_serviceText->setText(s.serviceText);
    }
}

// ---- menu commands -------------------------------------------------------------

void Ckv60xDlg::OnColors() {
    RunColorsCommand(this, m_display);
    if (m_trendWindow)
        m_trendWindow->SetColors(m_display->backgroundColor(), m_display->textColor());
}

void Ckv60xDlg::OnTrendWindow() {
    if (!m_trendWindow) m_trendWindow = new TrendWindow(&m_trend, this);
    m_trendWindow->SetColors(m_display->backgroundColor(), m_display->textColor());
    m_trendWindow->show();
    m_trendWindow->OnNewEntry();
    m_trendWindow->raise();
    m_trendWindow->activateWindow();
}

void Ckv60xDlg::OnFonts() {
    RunFontsCommand(this, m_display);
}

void Ckv60xDlg::OnHelp() {
    HelpWindow::ShowHelp(this);
}

void Ckv60xDlg::OnAbout() {
    ShowAboutBox(this);
}

void Ckv60xDlg::OnStartupMemory() {
    RunMemoryDlg(this, &m_driver);
}

void Ckv60xDlg::OnPanelInfo() {
    RunPanelInfoDlg(this, &m_driver);
}
void Ckv60xDlg::OnCharacteristicsTable() {
    RunCharTable(this, &m_driver, m_serviceMode, m_journal);
}
void Ckv60xDlg::OnSelectedCharacteristic() {
    RunCharRecByNumber(this, &m_driver, m_serviceMode, m_journal);
}
void Ckv60xDlg::OnJournal() {
    RunJournalDlg(this, m_journal, &m_driver, m_serviceMode);
}
void Ckv60xDlg::OnStartupDate() {
    RunCalDlg(this, &m_driver, m_journal);
}
void Ckv60xDlg::OnSerialNumber() {
    RunSerialNumberDlg(this, &m_driver, m_journal);
}
void Ckv60xDlg::OnElectrodeCoefficient() {
    RunElectrodeDlg(this, &m_driver, m_journal);
}
