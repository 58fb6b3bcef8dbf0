#include "characteristics/widgets/char_rec_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>
#include <limits>

#include "characteristics/widgets/edit_char_table_dlg.h"
#include "characteristics/widgets/grid_delegate.h"
#include "records/char_rec_format.h"
#include "records/cp1250.h"
#include "records/record_files.h"
#include "session/meter_session.h"
#include "ui/device_operation.h"
#include "ui/prompts.h"

namespace {

const QString kReadFailed = QStringLiteral("Nie można odczytać ustawień");
const QString kWriteFailed = QStringLiteral("Nie można zapisać ustawień");

int32_t NowSeconds() {
    return static_cast<int32_t>(std::time(nullptr));
}

int32_t ToInt32Seconds(const QDateTime& dt) {
    const qint64 s = dt.toSecsSinceEpoch();
    return static_cast<int32_t>(std::clamp<qint64>(s, std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()));
}

QDateTimeEdit* MakeDateEdit(const QString& name, QWidget* parent) {
    auto* e = new QDateTimeEdit(parent);
    // Short date of the user's locale, changed with the spin buttons; the time of
    // day is kept but not shown.
    e->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    e->setCalendarPopup(false);
    e->setTimeSpec(Qt::LocalTime);
    // Times travel as 32-bit seconds since 1970.
    e->setMinimumDateTime(QDateTime::fromSecsSinceEpoch(0));
    e->setMaximumDateTime(QDateTime::fromSecsSinceEpoch(std::numeric_limits<int32_t>::max()));
    e->setAccessibleName(name);
    return e;
}

QLineEdit* MakeEdit(const QString& name, int maxLength, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setAccessibleName(name);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CCharRecDlg::CCharRecDlg(MeterSession* session, int number, QWidget* parent)
    : QDialog(parent),
      m_session(session),
      m_recordNumber(number),
      m_edit(session && session->ServiceMode()) {
    // Until the meter answers nothing is known of the slot but its number.
    m_edit.LoadUnread(number - 1, NowSeconds());
    BuildControls();
    m_title = QStringLiteral("Charakterystyka materiału nr %1").arg(number);
    setWindowTitle(m_title);
    StartRead();
}

CCharRecDlg::CCharRecDlg(const CharRecData& rec, bool serviceMode, QWidget* parent)
    : QDialog(parent), m_edit(serviceMode) {
    m_edit.Load(rec, rec.REC_NUMBER, NowSeconds());
    BuildControls();
    m_title = QStringLiteral("Charakterystyka materiału nr %1").arg(m_edit.Slot() + 1);
    setWindowTitle(m_title);
    FillControls();
    m_filled = true;
}

CCharRecDlg::~CCharRecDlg() {
    // Closing normally already waited; a dialog destroyed while busy waits here,
    // while its controls still exist.
    m_readOp->WaitForWorker();
    m_writeOp->WaitForWorker();
}

bool CCharRecDlg::IsBusy() const {
    return m_readOp->IsBusy() || m_writeOp->IsBusy();
}

CharRecData CCharRecDlg::Data() const {
    if (m_accepted) return *m_accepted;
    CharRecData rec = m_edit.Base();
    rec.ACTIVE = static_cast<uint8_t>(std::min<int>(rec.ACTIVE, CharRecData::kPoints));
    return rec;
}

void CCharRecDlg::BuildControls() {
    m_enable = new QCheckBox(QStringLiteral("Rekord aktywny"), this);
    m_enable->setAccessibleName(m_enable->text());
    m_resistive = new QRadioButton(QStringLiteral("rezystancyjna"), this);
    m_resistive->setAccessibleName(m_resistive->text());
    m_capacitive = new QRadioButton(QStringLiteral("pojemnościowa"), this);
    m_capacitive->setAccessibleName(m_capacitive->text());
    m_method = new QButtonGroup(this);
    m_method->addButton(m_resistive, 0);
    m_method->addButton(m_capacitive, 1);

    m_desc = MakeEdit(QStringLiteral("Opis materiału"), CharRecData::kDescLen, this);
    // Room for the whole description.
    m_desc->setMinimumWidth(m_desc->fontMetrics().horizontalAdvance(QString(32, QLatin1Char('m'))) *
                            3 / 4);
    m_certificate =
        MakeEdit(QStringLiteral("Świadectwo wzorcowania"), CharRecData::kCertificateLen, this);
    m_code = MakeEdit(QStringLiteral("Kod materiału"), CharRecData::kCodeLen, this);
    m_name = MakeEdit(QStringLiteral("Nazwa materiału"), CharRecData::kNameLen, this);
    m_createDate = MakeDateEdit(QStringLiteral("Data utworzenia charakterystyki"), this);
    m_saveDate = MakeDateEdit(QStringLiteral("Data zapisania charakterystyki"), this);

    m_password = new QCheckBox(QStringLiteral("Ochrona hasłem"), this);
    m_password->setAccessibleName(m_password->text());
    m_password->setVisible(m_edit.ServiceMode());
    m_compensation = new QCheckBox(QStringLiteral("Kompensacja temperaturowa"), this);
    m_compensation->setAccessibleName(m_compensation->text());

    m_coeffGroup = new QGroupBox(QStringLiteral("Współczynniki kompensacji temperaturowej"), this);
    m_coeffGroup->setAccessibleName(m_coeffGroup->title());
    auto* coeffLayout = new QGridLayout(m_coeffGroup);
    const char* coeffNames[] = {"A:", "B:", "C:", "D:"};
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        const QString name = QString::fromLatin1(coeffNames[k]);
        m_coeff[k] = MakeEdit(name, 0, m_coeffGroup);
        auto* label = new QLabel(name, m_coeffGroup);
        label->setBuddy(m_coeff[k]);
        coeffLayout->addWidget(label, k / 2, (k % 2) * 2);
        coeffLayout->addWidget(m_coeff[k], k / 2, (k % 2) * 2 + 1);
    }

    m_count = MakeEdit(QStringLiteral("Liczba aktywnych punktów charakterystyki"), 0, this);
    m_count->setMaximumWidth(60);

    m_points = new QTreeWidget(this);
    m_points->setAccessibleName(QStringLiteral("Punkty charakterystyki"));
    m_points->setAccessibleDescription(
        QStringLiteral("Dwukrotne kliknięcie lub klawisz F2 zmienia wybrany punkt"));
    m_points->setRootIsDecorated(false);
    m_points->setUniformRowHeights(true);
    m_points->setSelectionMode(QAbstractItemView::SingleSelection);
    m_points->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_points->setItemDelegate(new GridLineDelegate(m_points));
    m_points->setHeaderLabels(
        {QStringLiteral("Nr"), QStringLiteral("Wilgotność"), QStringLiteral("Wartość")});
    m_points->header()->setStretchLastSection(false);
    m_points->header()->setSectionsMovable(false);
    m_points->setColumnWidth(0, 30);
    m_points->setColumnWidth(1, 100);
    m_points->setColumnWidth(2, 100);
    m_points->setMinimumWidth(30 + 100 + 100 + 2 * m_points->frameWidth() + 20);

    m_import = MakeButton(QStringLiteral("Importuj"), this);
    m_export = MakeButton(QStringLiteral("Eksportuj"), this);
    m_graph = MakeButton(QStringLiteral("Wykres"), this);
    m_ok = MakeButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_ok->setAutoDefault(true);
    m_cancel = MakeButton(QStringLiteral("Anuluj"), this);

    // Layout: the record's fields on the left, the points on the right.
    auto* texts = new QGridLayout;
    int row = 0;
    auto addRow = [&](const QString& label, QWidget* w) {
        auto* l = new QLabel(label, this);
        l->setBuddy(w);
        texts->addWidget(l, row, 0);
        texts->addWidget(w, row, 1);
        ++row;
    };
    addRow(QStringLiteral("Kod materiału"), m_code);
    addRow(QStringLiteral("Nazwa materiału"), m_name);
    addRow(QStringLiteral("Opis materiału"), m_desc);
    addRow(QStringLiteral("Świadectwo wzorcowania"), m_certificate);
    addRow(QStringLiteral("Data utworzenia charakterystyki"), m_createDate);
    addRow(QStringLiteral("Data zapisania charakterystyki"), m_saveDate);

    auto* method = new QHBoxLayout;
    method->addWidget(new QLabel(QStringLiteral("Metoda pomiarowa:"), this));
    method->addWidget(m_resistive);
    method->addWidget(m_capacitive);
    method->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(m_enable);
    left->addLayout(method);
    left->addLayout(texts);
    left->addWidget(m_password);
    left->addWidget(m_compensation);
    left->addWidget(m_coeffGroup);
    left->addStretch();

    auto* countRow = new QHBoxLayout;
    auto* countLabel = new QLabel(QStringLiteral("Liczba aktywnych punktów charakterystyki"), this);
    countLabel->setBuddy(m_count);
    countRow->addWidget(countLabel);
    countRow->addWidget(m_count);
    auto* right = new QVBoxLayout;
    right->addLayout(countRow);
    right->addWidget(m_points, 1);

    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_import);
    buttons->addWidget(m_export);
    buttons->addWidget(m_graph);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    // Tab follows the layout: the record's fields top to bottom, the points,
    // then the buttons.
    const QList<QWidget*> tabOrder{
        m_enable,      m_resistive,  m_capacitive, m_code,     m_name,         m_desc,
        m_certificate, m_createDate, m_saveDate,   m_password, m_compensation, m_coeff[0],
        m_coeff[1],    m_coeff[2],   m_coeff[3],   m_count,    m_points,       m_import,
        m_export,      m_graph,      m_ok,         m_cancel};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

    m_readOp = new DeviceOperation(this);
    m_writeOp = new DeviceOperation(this);
    m_readOp->SetLockedControls(AllControls());
    m_writeOp->SetLockedControls(AllControls());
    connect(m_readOp, &DeviceOperation::finished, this, &CCharRecDlg::OnReadFinished);
    connect(m_writeOp, &DeviceOperation::finished, this, [this](bool) {
        ApplyEnablingRules();  // after a failed write the controls came back all enabled
    });

    // Every change of a field marks the record changed. State changes, not
    // clicks: the mouse, the keyboard, a screen reader and code all count.
    for (QCheckBox* b : {m_enable, m_password, m_compensation}) {
        connect(b, &QCheckBox::toggled, this, &CCharRecDlg::MarkChanged);
    }
    connect(m_enable, &QCheckBox::toggled, this, &CCharRecDlg::ApplyEnablingRules);
    connect(m_compensation, &QCheckBox::toggled, this, &CCharRecDlg::ApplyEnablingRules);
    connect(m_method, &QButtonGroup::idToggled, this, &CCharRecDlg::MarkChanged);
    for (QLineEdit* e :
         {m_desc, m_certificate, m_code, m_name, m_coeff[0], m_coeff[1], m_coeff[2], m_coeff[3]}) {
        connect(e, &QLineEdit::textChanged, this, &CCharRecDlg::MarkChanged);
    }
    connect(m_count, &QLineEdit::textChanged, this, &CCharRecDlg::RebuildPoints);
    connect(m_createDate, &QDateTimeEdit::dateTimeChanged, this, &CCharRecDlg::MarkChanged);
    connect(m_saveDate, &QDateTimeEdit::dateTimeChanged, this, &CCharRecDlg::MarkChanged);
    connect(m_points, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { EditPoint(m_points->indexOfTopLevelItem(item)); });
    // Without a mouse: F2 edits the current point (Enter stays the dialog's OK).
    auto* editKey = new QShortcut(QKeySequence(Qt::Key_F2), m_points);
    editKey->setContext(Qt::WidgetShortcut);
    connect(editKey, &QShortcut::activated, this,
            [this] { EditPoint(m_points->indexOfTopLevelItem(m_points->currentItem())); });

    connect(m_ok, &QPushButton::clicked, this, &CCharRecDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_import, &QPushButton::clicked, this, &CCharRecDlg::OnImport);
    connect(m_export, &QPushButton::clicked, this, &CCharRecDlg::OnExport);
    connect(m_graph, &QPushButton::clicked, this, &CCharRecDlg::OnGraph);
}

QList<QWidget*> CCharRecDlg::AllControls() const {
    QList<QWidget*> all{m_enable,   m_password,    m_compensation, m_resistive, m_capacitive,
                        m_desc,     m_certificate, m_code,         m_name,      m_createDate,
                        m_saveDate, m_count,       m_points,       m_import,    m_export,
                        m_graph,    m_ok,          m_cancel};
    for (QLineEdit* e : m_coeff) all.append(e);
    return all;
}

void CCharRecDlg::StartRead() {
    m_readBuffer = std::make_shared<CharRecData>();
    m_readReport = std::make_shared<CharReadReport>();
    MeterSession* session = m_session;
    const int slot = m_edit.Slot();
    std::shared_ptr<CharRecData> buffer = m_readBuffer;
    std::shared_ptr<CharReadReport> report = m_readReport;
    auto work = [session, slot, buffer, report]() {
        return session && slot >= 0 &&
               session->ReadCharacteristic(slot, buffer.get(), report.get());
    };
    // A damaged answer or one for another slot is named in the message.
    auto describe = [report]() { return CharReadFailureText(*report); };
    m_readOp->Start({DeviceOperation::Step{work, kReadFailed, describe}}, nullptr, false);
    // When no worker could be started the message was shown and the controls
    // stay empty.
}

void CCharRecDlg::OnReadFinished(bool ok) {
    // The record belongs to the slot asked for, whatever number the answer
    // carried: a write goes to the editor's slot.
    if (ok) {
        m_edit.LoadRead(*m_readBuffer, m_readReport->image, m_edit.Slot(), NowSeconds());
    } else {
        m_edit.LoadUnread(m_edit.Slot(), NowSeconds());
    }
    FillControls();
    m_filled = true;
}

void CCharRecDlg::FillControls() {
    if (!m_edit.MayShow()) {
        Prompts::instance().message(this, charrecmsg::AccessDenied(), Prompts::Icon::Warning);
        CloseRefused();
        return;
    }
    // Every control shows what the shown form holds, so that an untouched field
    // compares equal to it and keeps the record's exact value.
    const CharRecForm& shown = m_edit.Shown();
    m_enable->setChecked(shown.enableChecked);
    m_password->setChecked(shown.passwordChecked);
    m_compensation->setChecked(shown.compensationChecked);
    m_method->setExclusive(false);
    m_resistive->setChecked(shown.resistiveChecked);
    m_capacitive->setChecked(shown.capacitiveChecked);
    m_method->setExclusive(true);

    m_code->setText(shown.code);
    m_certificate->setText(shown.certificate);
    m_desc->setText(shown.desc);
    m_name->setText(shown.name);
    for (QLineEdit* e : {m_code, m_certificate, m_desc, m_name}) e->setCursorPosition(0);

    // The pickers may hold a time slightly differently (their range): the shown
    // value is what they hold.
    m_createDate->setDateTime(QDateTime::fromSecsSinceEpoch(shown.createTime));
    m_saveDate->setDateTime(QDateTime::fromSecsSinceEpoch(shown.saveTime));
    m_edit.SetShownTimes(ToInt32Seconds(m_createDate->dateTime()),
                         ToInt32Seconds(m_saveDate->dateTime()));

    m_count->setText(shown.count);
    RebuildPoints();
    for (int k = 0; k < CharRecData::kCoefficients; ++k) {
        m_coeff[k]->setText(shown.coefficient[k]);
    }
    ApplyEnablingRules();
}

void CCharRecDlg::RebuildPoints() {
    // The list shows the count's rows with the texts the record was shown
    // with; the record itself stays as it is until OK validates the form.
    // Clamping also keeps a count above 15 from the meter inside the arrays.
    const int active = std::clamp(ParseInt(m_count->text()), 2, CharRecData::kPoints);
    const CharRecForm& shown = m_edit.Shown();
    m_points->clear();
    QList<QTreeWidgetItem*> items;
    for (int i = 0; i < active; ++i) {
        items.append(new QTreeWidgetItem(
            QStringList{QString::number(i + 1), shown.humidity[i], shown.value[i]}));
    }
    m_points->addTopLevelItems(items);
    MarkChanged();
}

void CCharRecDlg::ApplyEnablingRules() {
    if (IsBusy()) return;
    const bool active = m_enable->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_password, m_compensation, m_resistive, m_capacitive, m_desc, m_certificate, m_code,
             m_name, m_createDate, m_saveDate, m_count, m_points}) {
        w->setEnabled(active);
    }
    const bool coeffs = active && m_compensation->isChecked();
    for (QLineEdit* e : m_coeff) e->setEnabled(coeffs);
    m_enable->setEnabled(true);
}

void CCharRecDlg::MarkChanged() {
    if (!m_filled || m_modified) return;
    m_modified = true;
    m_title += QLatin1Char('*');
    setWindowTitle(m_title);
}

CharRecForm CCharRecDlg::ReadForm() const {
    CharRecForm f;
    f.enableChecked = m_enable->isChecked();
    f.passwordChecked = m_password->isChecked();
    f.compensationChecked = m_compensation->isChecked();
    f.resistiveChecked = m_resistive->isChecked();
    f.capacitiveChecked = m_capacitive->isChecked();
    f.code = m_code->text();
    f.name = m_name->text();
    f.desc = m_desc->text();
    f.certificate = m_certificate->text();
    f.createTime = ToInt32Seconds(m_createDate->dateTime());
    f.saveTime = ToInt32Seconds(m_saveDate->dateTime());
    f.count = m_count->text();
    const int rows = std::min(m_points->topLevelItemCount(), CharRecData::kPoints);
    for (int i = 0; i < rows; ++i) {
        const QTreeWidgetItem* item = m_points->topLevelItem(i);
        f.humidity[i] = item->text(1);
        f.value[i] = item->text(2);
    }
    for (int k = 0; k < CharRecData::kCoefficients; ++k) f.coefficient[k] = m_coeff[k]->text();
    f.serviceMode = m_edit.ServiceMode();
    return f;
}

bool CCharRecDlg::Validate(CharRecData* out) {
    // Until the controls were filled (no read could start) nothing was shown:
    // every field is read from its text.
    const CharRecValidation v = m_filled ? m_edit.Validate(ReadForm())
                                         : ValidateCharRec(ReadForm(), m_edit.Base(), nullptr);
    if (!v.ok) {
        Prompts::instance().message(this, v.message, Prompts::Icon::Warning);
        if (v.focus == CharRecFocus::MethodRadio) m_resistive->setFocus();
        if (v.focus == CharRecFocus::CountEdit) m_count->setFocus();
        return false;
    }
    *out = v.data;
    return true;
}

void CCharRecDlg::OnOk() {
    if (IsBusy()) return;
    CharRecData validated;
    if (!Validate(&validated)) return;
    if (m_recordNumber == 0) {
        m_accepted = validated;
        QDialog::accept();
        return;
    }
    // The entry holds the slot's bytes as the opening read got them (none
    // when the read failed). A failed write changes nothing here: the next OK
    // validates the form against the record as read.
    auto write = std::make_shared<const MeterWrite>(m_edit.WriteOf(validated));
    CharRecData sent = validated;
    sent.REC_NUMBER = static_cast<uint8_t>(m_edit.Slot());
    MeterSession* session = m_session;
    auto outcome = std::make_shared<WriteOutcome>();
    auto work = [session, write, outcome]() {
        if (!session) return false;
        *outcome = session->Write(*write);
        return outcome->ok();
    };
    auto describe = [outcome]() { return outcome->Text(kWriteFailed); };
    auto written = [this, sent, outcome]() {
        m_edit.Written(sent, NowSeconds());
        m_accepted = sent;
        // The meter took it but the journal could not say so: told before
        // the window closes.
        if (!outcome->message.isEmpty())
            Prompts::instance().message(this, outcome->message, Prompts::Icon::Warning);
    };
    m_writeOp->Start({DeviceOperation::Step{work, kWriteFailed, describe}}, written, true);
}

namespace {
// The file chooser of a single record file.
Prompts::FileRequest RecordFileRequest(const QString& title) {
    Prompts::FileRequest req;
    req.title = title;
    req.filters = {QStringLiteral("Rekord (*.kvr)")};
    req.defaultSuffix = QStringLiteral("kvr");
    req.initialName = QStringLiteral("*.kvr");
    return req;
}
}  // namespace

void CCharRecDlg::OnImport() {
    const auto choice =
        Prompts::instance().openFile(this, RecordFileRequest(QStringLiteral("Importuj")));
    if (!choice) return;
    CharRecData loaded;
    if (!LoadCharRecFile(choice->path, &loaded)) {
        Prompts::instance().message(this, QStringLiteral("Błąd w trakcie odczytu charakterystyki"),
                                    Prompts::Icon::Warning);
        return;
    }
    // Dated now, for this editor's slot; outside service mode a protected
    // record is refused and the editor keeps what it holds.
    QString refusal;
    if (!m_edit.Import(loaded, NowSeconds(), &refusal)) {
        Prompts::instance().message(this, refusal, Prompts::Icon::Warning);
        return;
    }
    FillControls();
    MarkChanged();
}

void CCharRecDlg::OnExport() {
    CharRecData validated;
    if (!Validate(&validated)) return;
    const auto choice =
        Prompts::instance().saveFile(this, RecordFileRequest(QStringLiteral("Eksportuj")));
    if (!choice) return;
    if (!SaveCharRecFile(choice->path, validated)) {
        Prompts::instance().message(this, QStringLiteral("Błąd w trakcie zapisu charakterystyki"),
                                    Prompts::Icon::Warning);
    }
}

void CCharRecDlg::OnGraph() {
    CharRecData validated;
    if (!Validate(&validated)) return;
    if (validated.ENABLE == 0 || validated.ACTIVE < 2) {
        Prompts::instance().message(this, QStringLiteral("Brak danych do wyświetlenia wykresu"),
                                    Prompts::Icon::Warning);
    }
    if (graphHook) graphHook(this, validated);
}

void CCharRecDlg::EditPoint(int row) {
    if (row < 0 || row >= m_points->topLevelItemCount() || row >= CharRecData::kPoints) return;
    QTreeWidgetItem* item = m_points->topLevelItem(row);
    // The point dialog gets the exact pair; it changes only what is edited there.
    const CharRecData& base = m_edit.Base();
    CEditCharTableDlg dlg(base.RH[row], base.VALUE[row], this);
    if (dlg.exec() != QDialog::Accepted) return;
    MarkChanged();
    m_edit.SetPoint(row, dlg.Humidity(), dlg.Value());
    item->setText(1, m_edit.Shown().humidity[row]);
    item->setText(2, m_edit.Shown().value[row]);
}

void CCharRecDlg::CloseRefused() {
    // Closes with OK without the OK handling: nothing validated, nothing written.
    m_refused = true;
    if (isVisible()) {
        QTimer::singleShot(0, this, [this] { QDialog::done(QDialog::Accepted); });
    }
}

void CCharRecDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_refused) QTimer::singleShot(0, this, [this] { QDialog::done(QDialog::Accepted); });
}
