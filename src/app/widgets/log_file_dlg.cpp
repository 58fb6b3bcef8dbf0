#include "app/widgets/log_file_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/prompts.h"

namespace {

constexpr int kLastSecondOfDay = 86399;

// Radio order -> setting value.
constexpr int kSepValues[4] = {1, 2, 3, 0};
constexpr int kDecValues[3] = {1, 2, 0};

int SepIndex(int value) {
    for (int i = 0; i < 3; ++i) {
        if (kSepValues[i] == value) return i;
    }
    return 3;  // anything else: the locale's separator
}

int DecIndex(int value) {
    for (int i = 0; i < 2; ++i) {
        if (kDecValues[i] == value) return i;
    }
    return 2;
}

QTime TimeOfInterval(int seconds) {
    // The picker holds one day at most; a hand-edited value outside shows clamped.
    const int s = std::clamp(seconds, 0, kLastSecondOfDay);
    return QTime(s / 3600, (s % 3600) / 60, s % 60);
}

QRadioButton* Radio(const QString& text, const QString& group, QWidget* parent) {
    auto* r = new QRadioButton(text, parent);
    r->setAccessibleName(text);
    r->setAccessibleDescription(group);
    return r;
}

}  // namespace

CLogFileDlg::CLogFileDlg(const LogFileSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);

    m_logCheck = new QCheckBox(QStringLiteral("Rejestruj wyniki pomiarów"), this);
    m_logCheck->setAccessibleName(m_logCheck->text());

    m_intervalLabel = new QLabel(QStringLiteral("Interwał rejestracji"), this);
    m_interval = new QTimeEdit(this);
    m_interval->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_interval->setTimeRange(QTime(0, 0, 0), QTime(23, 59, 59));
    m_interval->setAccessibleName(m_intervalLabel->text());
    m_intervalLabel->setBuddy(m_interval);

    m_fileLabel = new QLabel(QStringLiteral("W pliku"), this);
    m_fileName = new QLineEdit(this);
    m_fileName->setAccessibleName(m_fileLabel->text());
    m_fileName->setMinimumWidth(300);
    m_fileLabel->setBuddy(m_fileName);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setAccessibleName(QStringLiteral("Wybierz plik"));
    m_browse->setAccessibleDescription(m_fileLabel->text());
    m_browse->setAutoDefault(false);
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);

    m_sepLabel = new QLabel(QStringLiteral("Separator kolumn:"), this);
    m_sepGroup = new QButtonGroup(this);
    const QString sepTexts[4] = {QStringLiteral("Tabulator"), QStringLiteral("Przecinek"),
                                 QStringLiteral("Średnik"),
                                 QStringLiteral("Wg ustawień lokalnych")};
    for (int i = 0; i < 4; ++i) {
        m_sepRadios[i] = Radio(sepTexts[i], m_sepLabel->text(), this);
        m_sepGroup->addButton(m_sepRadios[i], i);
    }
    m_sepLabel->setBuddy(m_sepRadios[0]);

    m_decLabel = new QLabel(QStringLiteral("Znak dziesiętny:"), this);
    m_decGroup = new QButtonGroup(this);
    const QString decTexts[3] = {QStringLiteral("Przecinek"), QStringLiteral("Kropka"),
                                 QStringLiteral("Wg ustawień lokalnych")};
    for (int i = 0; i < 3; ++i) {
        m_decRadios[i] = Radio(decTexts[i], m_decLabel->text(), this);
        m_decGroup->addButton(m_decRadios[i], i);
    }
    m_decLabel->setBuddy(m_decRadios[0]);

    m_commentCheck =
        new QCheckBox(QStringLiteral("Dodaj komentarz przy rozpoczęciu rejestracji:"), this);
    m_commentCheck->setAccessibleName(m_commentCheck->text());
    m_comment = new QPlainTextEdit(this);
    m_comment->setAccessibleName(QStringLiteral("Komentarz"));
    m_comment->setAccessibleDescription(m_commentCheck->text());
    m_comment->setTabChangesFocus(true);
    m_comment->setFixedHeight(m_comment->fontMetrics().lineSpacing() * 4 + 12);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_cancel = buttons->button(QDialogButtonBox::Cancel);
    m_ok->setText(QStringLiteral("OK"));
    m_cancel->setText(QStringLiteral("Anuluj"));
    m_ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLogFileDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Layout: interval and file on top, the two radio columns side by side,
    // then the comment and the buttons.
    auto* top = new QGridLayout;
    top->addWidget(m_intervalLabel, 0, 0);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(m_interval);
    intervalRow->addStretch(1);
    top->addLayout(intervalRow, 0, 1, 1, 2);
    top->addWidget(m_fileLabel, 1, 0);
    top->addWidget(m_fileName, 1, 1);
    top->addWidget(m_browse, 1, 2);
    top->setColumnStretch(1, 1);

    auto* sepColumn = new QVBoxLayout;
    sepColumn->addWidget(m_sepLabel);
    for (QRadioButton* r : m_sepRadios) sepColumn->addWidget(r);
    sepColumn->addStretch(1);
    auto* decColumn = new QVBoxLayout;
    decColumn->addWidget(m_decLabel);
    for (QRadioButton* r : m_decRadios) decColumn->addWidget(r);
    decColumn->addStretch(1);
    auto* formats = new QHBoxLayout;
    formats->addLayout(sepColumn);
    formats->addSpacing(24);
    formats->addLayout(decColumn);
    formats->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_logCheck);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(formats);
    layout->addSpacing(6);
    layout->addWidget(m_commentCheck);
    layout->addWidget(m_comment);
    layout->addWidget(buttons);

    // The settings as handed in.
    m_logCheck->setChecked(m_settings.fileLog != 0);
    m_commentCheck->setChecked(m_settings.fileCheckComment != 0);
    m_comment->setPlainText(m_settings.comment);
    m_fileName->setText(m_settings.fileName);
    m_interval->setTime(TimeOfInterval(m_settings.fileInterval));
    m_sepRadios[SepIndex(m_settings.fileSepFormat)]->setChecked(true);
    m_decRadios[DecIndex(m_settings.fileDecSeparator)]->setChecked(true);
    EnableControls();

    // State changes, not clicks: the mouse, the keyboard, a screen reader and
    // code that sets a box all have the same effect.
    connect(m_logCheck, &QCheckBox::toggled, this, &CLogFileDlg::OnLogToggled);
    connect(m_commentCheck, &QCheckBox::toggled, this, &CLogFileDlg::OnCommentToggled);
    connect(m_interval, &QTimeEdit::editingFinished, this, &CLogFileDlg::OnIntervalEdited);
    connect(m_fileName, &QLineEdit::editingFinished, this, &CLogFileDlg::OnFileNameEdited);
    connect(m_browse, &QPushButton::clicked, this, &CLogFileDlg::OnBrowse);
    connect(m_sepGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) m_settings.fileSepFormat = kSepValues[id];
    });
    connect(m_decGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) m_settings.fileDecSeparator = kDecValues[id];
    });
}

QString CLogFileDlg::WithFilterExtension(const QString& path, int filterIndex) {
    if (!QFileInfo(path).suffix().isEmpty()) return path;
    return path + (filterIndex == 1 ? QStringLiteral(".csv") : QStringLiteral(".txt"));
}

void CLogFileDlg::EnableControls() {
    const bool on = m_logCheck->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_interval, m_browse, m_fileName, m_fileLabel,
                                                      m_sepLabel, m_decLabel, m_commentCheck}) {
        w->setEnabled(on);
    }
    for (QRadioButton* r : m_sepRadios) r->setEnabled(on);
    for (QRadioButton* r : m_decRadios) r->setEnabled(on);
    m_comment->setEnabled(on && m_commentCheck->isChecked());
}

void CLogFileDlg::OnLogToggled() {
    m_settings.fileLog = m_logCheck->isChecked() ? 1 : 0;
    EnableControls();
}

void CLogFileDlg::OnCommentToggled() {
    m_settings.fileCheckComment = m_commentCheck->isChecked() ? 1 : 0;
    m_comment->setEnabled(m_logCheck->isChecked() && m_commentCheck->isChecked());
}

void CLogFileDlg::OnIntervalEdited() {
    const QTime t = m_interval->time();
    int seconds = t.isValid() ? t.hour() * 3600 + t.minute() * 60 + t.second() : 0;
    if (seconds == 0) {
        // A zero interval would write without pause: the shortest one is a second.
        m_interval->setTime(QTime(0, 0, 1));
        seconds = 1;
    }
    m_settings.fileInterval = seconds;
}

void CLogFileDlg::OnFileNameEdited() {
    m_settings.fileName = m_fileName->text();
}

void CLogFileDlg::OnBrowse() {
    Prompts::FileRequest req;
    req.title = kChooserTitle;
    req.filters = QStringList{kTextFilter, kCsvFilter};
    req.defaultSuffix = QStringLiteral("csv");
    req.initialName = m_fileName->text();
    // An existing file is a normal choice here (registration appends to it);
    // the main window asks its own question about it afterwards.
    req.confirmOverwrite = false;
    req.initialFilter = 0;
    const auto choice = Prompts::instance().saveFile(this, req);
    if (!choice || choice->path.isEmpty()) return;
    m_settings.fileName = WithFilterExtension(choice->path, choice->filterIndex);
    m_fileName->setText(m_settings.fileName);
}

void CLogFileDlg::accept() {
    // The picker and the name box count as left even when OK comes by the
    // keyboard without their losing the focus first.
    OnIntervalEdited();
    OnFileNameEdited();
    m_settings.comment = m_comment->toPlainText();
    QDialog::accept();
}
