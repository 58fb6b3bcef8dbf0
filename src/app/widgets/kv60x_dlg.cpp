#include "app/widgets/kv60x_dlg.h"

#include <QAction>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QVBoxLayout>
#include <chrono>

#include "app/status_text.h"
#include "app/widgets/main_menu.h"
#include "app/widgets/trend_window.h"
#include "serial/widgets/com_dlg.h"
#include "ui/color_dlg.h"
#include "ui/color_static.h"
#include "ui/dialog_closer.h"
#include "ui/font_dlg.h"
#include "ui/info_bmp.h"
#include "ui/prompts.h"
#include "ui/ui_resources.h"

Ckv60xDlg::Ckv60xDlg(bool serviceMode, QWidget* parent) : QDialog(parent) {
    m_session.SetServiceMode(serviceMode);
    BuildControls();
    // The window as constructed, before the configuration is loaded.
    m_settings.backgroundInput = 13559807;
    m_settings.textInput = 5442;
    m_settings.fileInterval = 1;
    m_windowRect = WindowRect{};

    // The consumers of the session's snapshots: the view and the trend.
    connect(&m_session, &MeterSession::snapshotTaken, this, &Ckv60xDlg::ShowSnapshot);
    connect(&m_registration, &RegistrationControl::changed, this, &Ckv60xDlg::UpdateStatusText);
    connect(&m_registration, &RegistrationControl::startFailed, this,
            &Ckv60xDlg::OnRegistrationStartFailed);
    m_portSelectionTimer.setInterval(kPortSelectionDelayMs);
    m_portSelectionTimer.setSingleShot(true);
    connect(&m_portSelectionTimer, &QTimer::timeout, this, &Ckv60xDlg::RunPortSelection);
    m_closer = new DialogCloser(this);
    BuildMenu();
}

Ckv60xDlg::~Ckv60xDlg() {
    m_closing = true;
    m_session.StopRefresh();
    m_registration.CancelStart();
    m_portSelectionTimer.stop();
    // The trend window reads m_trend, which goes before the children do.
    delete m_trendWindow;
    // Stops the polling thread and releases the port before the widgets go.
    disconnect(&m_session, nullptr, this, nullptr);
    m_session.Disconnect();
}

void Ckv60xDlg::BuildControls() {
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
}

void Ckv60xDlg::LoadSettings(const AppSettings& s) {
    m_settings = s;
    m_session.SetConfiguredPort(s.portNr);
    m_windowRect = WindowRect{s.windowLeft, s.windowTop, s.windowRight, s.windowBottom};
    m_topmost = false;  // applied by Initialise through the toggle
    m_display->setBackgroundColor(ColorFromRef(s.backgroundInput));
    m_display->setTextColor(ColorFromRef(s.textInput));
    m_registration.SetSettings(RegistrationSettingsOf(s));
}

AppSettings Ckv60xDlg::Settings() const {
    AppSettings s = m_settings;
    s.backgroundInput = ColorToRef(m_display->backgroundColor());
    s.textInput = ColorToRef(m_display->textColor());
    const FontDesc& f = m_display->fontDesc();
    s.fontHeightInput = f.height;
    s.fontNameInput = f.faceName;
    s.fontItalicInput = f.italic ? 1 : 0;
    s.fontWeightInput = f.weight;
    s.portNr = m_session.ConfiguredPort();
    s.windowLeft = m_windowRect.left;
    s.windowTop = m_windowRect.top;
    s.windowRight = m_windowRect.right;
    s.windowBottom = m_windowRect.bottom;
    s.topmost = m_topmost ? 1 : 0;
    StoreRegistrationSettings(m_registration.Settings(), &s);
    return s;
}

void Ckv60xDlg::BuildMenu() {
    BuildMainMenu(m_menuBar, this, serviceMode(), &m_actions);
    SetChecked(kCmdTopmost, m_topmost);
    SetChecked(kCmdServiceData, m_serviceDataShown);
}

QAction* Ckv60xDlg::action(Command command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void Ckv60xDlg::SetChecked(Command command, bool on) {
    if (QAction* a = action(command)) a->setChecked(on);
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

void Ckv60xDlg::Initialise() {
    if (m_initialised) return;
    m_initialised = true;
    m_initialising = true;

    // The status icon shows the error picture until the first refresh.
    m_icon->ShowError();

    // Open the port, or ask for one once the window shows. A port that fails
    // at start keeps PORT_NR; the selection offers it again.
    const int startPort = m_startupPort > 0 ? m_startupPort : m_session.ConfiguredPort();
    if (startPort <= 0) {
        RunPortSelection();
    } else if (!ConnectTo(startPort)) {
        Prompts::instance().message(
            this, PortOpenFailureText(startPort, m_session.LastOpenPermissionDenied()),
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
    m_session.SetServiceDataOn(false);

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
    if (serviceMode()) {
        BuildMenu();
        setWindowTitle(kServiceTitle);
        setAccessibleName(kServiceTitle);
        ApplyServiceData(false);
        SetChecked(kCmdTopmost, m_topmost);
    }

    m_registration.ArmStart();
    m_session.StartRefresh();
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
    return m_session.Connect(port);
}

void Ckv60xDlg::CloseWindow() {
    m_closing = true;
    m_portSelectionTimer.stop();
    m_registration.CancelStart();
    m_closer->CloseAll();
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
        CComDlg dlg(m_session.Port(), this, m_portLister);
        if (dlg.exec() != QDialog::Accepted || m_closing) return;
        update();
        const int chosen = dlg.chosenPort();
        if (chosen <= 0) return;
        const bool tried =
            !(chosen == m_session.Port() && m_session.IsConnected() && m_session.Last().linkUp());
        if (tried) ++m_connectCount;
        const MeterSession::PortChoice choice = m_session.ChoosePort(chosen);
        if (choice != MeterSession::PortChoice::Failed) return;
        // The next start asks for a port too, unless another one opens now.
        Prompts::instance().message(
            this, PortOpenFailureText(chosen, m_session.LastOpenPermissionDenied()),
            Prompts::Icon::Warning);
        if (m_closing) return;
    }
}

// ---- toggles ---------------------------------------------------------------

void Ckv60xDlg::SetTopmost(bool on) {
    m_topmost = on;
    SetChecked(kCmdTopmost, on);
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
    SetChecked(kCmdServiceData, shown);
    m_serviceLabel->setVisible(shown);
    m_serviceText->setVisible(shown);
    m_session.SetServiceDataOn(shown);
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

// ---- the view of a snapshot ------------------------------------------------------

void Ckv60xDlg::ShowSnapshot(const MeterSnapshot& m) {
    // The trend gets one entry per new reading, not one per tick.
    const int64_t steadyMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (m_trend.Feed(m.linkUp(), m.cycles, m.temperature, steadyMs,
                     QDateTime::currentMSecsSinceEpoch()) &&
        m_trendWindow) {
        m_trendWindow->OnNewEntry();
    }
    if (m.linkUp() != m_connected) {
        m_connected = m.linkUp();
        LayOut();
    }
    UpdateStatusText();
    const DisplayState d = ComposeDisplayState(m_connected, m.condition, m.temperature);
    if (d.hasValue) {
        m_display->SetValue(d.value);
    } else {
        m_display->SetNoValue();
    }
    m_display->SetBlink(d.blink);
}

void Ckv60xDlg::UpdateStatusText() {
    StatusInputs in = StatusInputsOf(m_session.Last(), m_connected);
    in.registrationRunning = m_registration.Running();
    in.fileInterval = m_registration.Settings().fileInterval;
    in.registrationFailing = m_registration.Failing();
    const StatusLine s = ComposeStatusLine(in);
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
