#include "characteristics/widgets/char_table_dlg.h"

#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

#include "characteristics/widgets/char_rec_dlg.h"
#include "characteristics/widgets/grid_delegate.h"
#include "records/char_rec.h"
#include "records/char_rec_format.h"
#include "records/char_rec_validation.h"
#include "records/cp1250.h"
#include "records/record_files.h"
#include "session/char_diff.h"
#include "session/meter_session.h"
#include "session/meter_write.h"
#include "ui/device_operation.h"
#include "ui/prompts.h"

namespace {

const QString kReadFailed = QStringLiteral("Nie można odczytać ustawień");
const QString kWriteFailed = QStringLiteral("Nie można zapisać ustawień");
// The rows that differ from the compared file.
const QColor kDiffersColour(255, 224, 178);
// How many differing slots the comparison's message details, and how many
// fields of each.
constexpr int kShownSlots = 3;
constexpr int kShownFields = 5;

void Warn(QWidget* parent, const QString& text) {
    Prompts::instance().message(parent, text, Prompts::Icon::Warning);
}

Prompts::FileRequest SetFileRequest(const QString& title) {
    Prompts::FileRequest req;
    req.title = title;
    req.filters = {QStringLiteral("Zbiór rekordów (*.kvz)")};
    req.defaultSuffix = QStringLiteral("kvz");
    req.initialName = QStringLiteral("*.kvz");
    return req;
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setAccessibleName(text);
    b->setAutoDefault(false);
    return b;
}

// What a failed write says: a slot the meter did not confirm as always (with
// the journal's note when it has one), otherwise why the pass stopped (the
// journal naming its file, how much of the pass reached the meter).
QString WriteFailure(const CharTable::WriteResult& r) {
    if (r.failedWrite && r.failedWrite->status == WriteStatus::MeterFailed)
        return r.failedWrite->Text(kWriteFailed);
    return r.message.isEmpty() ? kWriteFailed : r.message;
}

QString MethodText(uint8_t method) {
    if (method == 0) return QStringLiteral("rezystancyjna");
    if (method == 1) return QStringLiteral("pojemnościowa");
    return QString();
}

}  // namespace

CCharTableDlg::CCharTableDlg(MeterSession* session, QWidget* parent)
    : QDialog(parent), m_session(session), m_table(session) {
    BuildControls();
    if (m_table.TakeCountFromMeter()) {
        SetProgressRange();
        InsertNumberedRows();
        StartRead();
    } else {
        // Every slot the table has room for, none of them read.
        Warn(this, QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk"));
        SetProgressRange();
        InsertNumberedRows();
        RefreshAllRows();
    }
}

CCharTableDlg::~CCharTableDlg() {
    m_readOp->RequestStop();  // no need to read what nobody will see
    m_readOp->WaitForWorker();
    m_writeOp->WaitForWorker();
}

bool CCharTableDlg::IsBusy() const {
    return m_readOp->IsBusy() || m_writeOp->IsBusy();
}

bool CCharTableDlg::IsReading() const {
    return m_readOp->IsBusy();
}

void CCharTableDlg::SetProgressRange() {
    // A range of 0..0 would show Qt's endless busy animation: an empty table
    // shows an empty bar instead.
    m_progress->setRange(0, std::max(1, m_table.Count()));
    m_progress->setValue(0);
}

void CCharTableDlg::BuildControls() {
    setWindowTitle(QStringLiteral("Charakterystyki materiałów"));
    m_hint = new QLabel(
        QStringLiteral("W celu edycji należy dwukrotnie kliknąć na wybraną charakterystykę"), this);

    m_list = new QTreeWidget(this);
    m_list->setAccessibleName(QStringLiteral("Charakterystyki materiałów"));
    m_list->setAccessibleDescription(
        m_hint->text() + QStringLiteral(" lub nacisnąć klawisz F2; Ctrl+X, Ctrl+C, Ctrl+V: "
                                        "wytnij, kopiuj, wklej"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setItemDelegate(new GridLineDelegate(m_list));
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setHeaderLabels({QStringLiteral("Nr"), QStringLiteral("Kod"), QStringLiteral("Nazwa"),
                             QStringLiteral("Zakres"), QStringLiteral("Opis"),
                             QStringLiteral("Metoda pom."), QStringLiteral("Świadectwo wz."),
                             QStringLiteral("Aktywność")});
    // The widths are minimums: in the font in use a column is widened until
    // its heading and its longest content fit, so that nothing is cut.
    const int widths[] = {30, 40, 70, 70, 180, 90, 90};
    const QFontMetrics cells(m_list->font());
    const QFontMetrics headings(m_list->header()->font());
    const int pad = 16;
    auto chars = [&](int n) { return cells.averageCharWidth() * n + pad; };
    auto text = [&](const char* t) { return cells.horizontalAdvance(QString::fromUtf8(t)) + pad; };
    const int content[] = {text("150*"),
                           chars(CharRecData::kCodeLen),
                           chars(CharRecData::kNameLen),
                           text("100.0...100.0"),
                           chars(CharRecData::kDescLen),
                           std::max(text("pojemnościowa"), text("rezystancyjna")),
                           chars(CharRecData::kCertificateLen)};
    int total = 0;
    for (int c = 0; c < 7; ++c) {
        const int heading = headings.horizontalAdvance(m_list->headerItem()->text(c)) + pad;
        const int w = std::max({widths[c], heading, content[c]});
        m_list->setColumnWidth(c, w);
        total += w;
    }
    // "Aktywność" takes the rest of the list's width.
    const int last = std::max(
        {90, headings.horizontalAdvance(m_list->headerItem()->text(7)) + pad, text("Nieaktywna")});
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsMovable(false);
    m_list->setMinimumSize(total + last + 2 * m_list->frameWidth() + 20, 300);
    m_hint->setBuddy(m_list);

    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(QStringLiteral("Postęp"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setMaximumHeight(16);

    m_import = MakeButton(QStringLiteral("Importuj"), this);
    m_export = MakeButton(QStringLiteral("Eksportuj"), this);
    m_compare = MakeButton(QStringLiteral("Porównaj z plikiem..."), this);
    m_print = MakeButton(QStringLiteral("Drukuj"), this);
    m_ok = MakeButton(QStringLiteral("OK"), this);
    m_ok->setDefault(true);
    m_cancel = MakeButton(QStringLiteral("Anuluj"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_import);
    buttons->addWidget(m_export);
    buttons->addWidget(m_compare);
    buttons->addWidget(m_print);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_hint);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    resize(std::max(780, minimumSizeHint().width()), 480);

    // "Anuluj" stays usable while reading: it stops the read.
    m_readOp = new DeviceOperation(this);
    m_readOp->SetLockedControls({m_list, m_ok, m_import, m_export, m_compare, m_print});
    m_writeOp = new DeviceOperation(this);
    m_writeOp->SetLockedControls({m_list, m_ok, m_cancel, m_import, m_export, m_compare, m_print});
    connect(m_readOp, &DeviceOperation::finished, this, [this](bool) {
        m_progress->setValue(0);
        // The slots a failed or stopped read did not reach now say so.
        for (int i = 0; i < m_table.Count(); ++i) {
            if (!m_table.Record(i).valid) RefreshRow(i);
        }
    });
    connect(m_writeOp, &DeviceOperation::finished, this, [this](bool) { m_progress->setValue(0); });

    connect(m_list, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { EditRow(m_list->indexOfTopLevelItem(item)); });
    connect(m_list, &QTreeWidget::customContextMenuRequested, this,
            &CCharTableDlg::ShowContextMenu);
    // Without a mouse: F2 edits the selected row (Enter stays the dialog's OK),
    // Ctrl+X, Ctrl+C, Ctrl+V as in the popup, Shift+F10 opens the popup.
    auto onKey = [this](const QKeySequence& key, auto slot) {
        auto* shortcut = new QShortcut(key, m_list);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    };
    onKey(QKeySequence(Qt::Key_F2), [this] { EditRow(SelectedRow()); });
    onKey(QKeySequence::Cut, [this] { Cut(); });
    onKey(QKeySequence::Copy, [this] { Copy(); });
    onKey(QKeySequence::Paste, [this] { Paste(); });
    onKey(QKeySequence(Qt::SHIFT | Qt::Key_F10), [this] {
        QTreeWidgetItem* item = m_list->currentItem();
        const QRect row = item ? m_list->visualItemRect(item) : QRect();
        ShowContextMenu(row.isValid() ? row.center() : QPoint(0, 0));
    });
    connect(m_ok, &QPushButton::clicked, this, &CCharTableDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CCharTableDlg::OnCancel);
    connect(m_import, &QPushButton::clicked, this, &CCharTableDlg::OnImport);
    connect(m_export, &QPushButton::clicked, this, &CCharTableDlg::OnExport);
    connect(m_compare, &QPushButton::clicked, this, &CCharTableDlg::OnCompare);
    connect(m_print, &QPushButton::clicked, this, &CCharTableDlg::OnPrint);
}

void CCharTableDlg::InsertNumberedRows() {
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    const int count = m_table.Count();
    for (int i = 0; i < count; ++i) {
        QString number = QString::number(i + 1);
        if (m_table.Modified(i)) number += QLatin1Char('*');
        items.append(new QTreeWidgetItem(QStringList{number}));
    }
    m_list->addTopLevelItems(items);
}

void CCharTableDlg::RefreshRow(int i) {
    if (!ValidRow(i) || i >= m_list->topLevelItemCount()) return;
    const CharTable::Slot slot = m_table.At(i);
    const CharRecData& r = slot.rec;
    QTreeWidgetItem* item = m_list->topLevelItem(i);
    // The mark of a row that differed from the compared file.
    const QString differs = RowDifference(i);
    for (int c = 0; c < m_list->columnCount(); ++c) {
        item->setBackground(c, differs.isEmpty() ? QBrush() : QBrush(kDiffersColour));
        item->setToolTip(c, differs);
        item->setData(c, Qt::AccessibleDescriptionRole, differs);
    }
    // "*": changed here and not yet confirmed by the meter.
    item->setText(0, QString::number(i + 1) + (slot.modified ? QStringLiteral("*") : QString()));
    if (!r.valid) {
        for (int c = 1; c < 7; ++c) item->setText(c, QString());
        item->setText(7, QStringLiteral("Nieodczytana"));
        return;
    }
    item->setText(1, FixedFieldToUnicode(r.CODE, sizeof r.CODE));
    item->setText(2, FixedFieldToUnicode(r.NAME, sizeof r.NAME));
    item->setText(3, HumidityRangeText(r));
    item->setText(4, FixedFieldToUnicode(r.DESC, sizeof r.DESC));
    item->setText(5, MethodText(r.METHOD));
    item->setText(6, FixedFieldToUnicode(r.CERTIFICATE, sizeof r.CERTIFICATE));
    item->setText(7, r.ENABLE == 1 ? QStringLiteral("Aktywna") : QStringLiteral("Nieaktywna"));
}

void CCharTableDlg::RefreshAllRows() {
    const int count = m_table.Count();
    for (int i = 0; i < count; ++i) RefreshRow(i);
}

int CCharTableDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) return -1;
    return m_list->indexOfTopLevelItem(selected.front());
}

void CCharTableDlg::StartRead() {
    CharTable* table = &m_table;
    DeviceOperation* op = m_readOp;
    auto result = std::make_shared<CharTable::ReadResult>();
    auto work = [this, table, op, result]() {
        // The worker fills the table; each slot's row and the bar follow on
        // the UI thread, row by row.
        *result = table->ReadAll(op->StopFlag(), [this, op](int slot, int done) {
            op->PostToUi([this, slot, done] {
                RefreshRow(slot);
                m_progress->setValue(done);
            });
        });
        return result->ok;
    };
    // A damaged answer or one for another slot is named in the message.
    auto describe = [result]() { return CharReadFailureText(result->report); };
    m_readOp->Start({DeviceOperation::Step{work, kReadFailed, describe}}, nullptr, false);
}

void CCharTableDlg::EditRow(int row) {
    if (!ValidRow(row) || IsBusy()) return;
    const bool serviceMode = m_session && m_session->ServiceMode();
    if (!m_table.MayOpen(row, serviceMode)) {
        Warn(this, charrecmsg::AccessDenied());
        return;
    }
    // The editor's title names the slot the record goes to: this row's.
    CharRecData copy = m_table.Record(row);
    copy.REC_NUMBER = static_cast<uint8_t>(row);
    CCharRecDlg editor(copy, serviceMode, this);
    editor.graphHook = graphHook;
    if (editor.exec() != QDialog::Accepted) return;
    m_table.Edit(row, editor.Data(), editor.Modified());
    RefreshRow(row);
}

std::unique_ptr<QMenu> CCharTableDlg::CreateContextMenu() {
    if (!ValidRow(SelectedRow())) return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    QAction* cut = menu->addAction(QStringLiteral("Wytnij"), this, &CCharTableDlg::Cut);
    QAction* copy = menu->addAction(QStringLiteral("Kopiuj"), this, &CCharTableDlg::Copy);
    QAction* paste = menu->addAction(QStringLiteral("Wklej"), this, &CCharTableDlg::Paste);
    // The keys are shown here; the list's own shortcuts act on them.
    for (auto [a, key] : {std::pair{cut, QKeySequence::Cut}, std::pair{copy, QKeySequence::Copy},
                          std::pair{paste, QKeySequence::Paste}}) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WidgetShortcut);
    }
    paste->setEnabled(PasteAvailable());
    return menu;
}

void CCharTableDlg::ShowContextMenu(const QPoint& pos) {
    if (std::unique_ptr<QMenu> menu = CreateContextMenu()) {
        menu->exec(m_list->viewport()->mapToGlobal(pos));
    }
}

void CCharTableDlg::Cut() {
    const int i = SelectedRow();
    if (!ValidRow(i)) {
        Warn(this, QStringLiteral("Błąd przy próbie wycinania - niewłaściwy wiersz"));
        return;
    }
    // Only "Tak" cuts; "Nie" and no answer leave the slot alone.
    if (Prompts::instance().question(
            this, QStringLiteral("Na pewno wyciąć charakterystykę nr %1?").arg(i + 1)) !=
        Prompts::Answer::Yes) {
        return;
    }
    m_table.Cut(i);
    RefreshRow(i);
}

void CCharTableDlg::Copy() {
    // Without a row there is nothing to copy, and a cut record, which only the
    // clipboard holds now, stays pasteable.
    const int i = SelectedRow();
    if (ValidRow(i)) m_table.Copy(i);
}

void CCharTableDlg::Paste() {
    switch (m_table.Paste(SelectedRow())) {
        case CharTable::PasteResult::BadRow:
            Warn(this, QStringLiteral("Błąd przy próbie kopiowania - niewłaściwy wiersz"));
            return;
        case CharTable::PasteResult::NothingHeld:
            // Nothing copied or cut, or an unread source.
            Warn(this, QStringLiteral(
                           "Błąd przy próbie kopiowania - brak określonego wiersza do kopiowania"));
            return;
        case CharTable::PasteResult::Pasted:
            RefreshRow(SelectedRow());
            return;
    }
}

void CCharTableDlg::OnImport() {
    const auto choice =
        Prompts::instance().openFile(this, SetFileRequest(QStringLiteral("Importuj")));
    if (!choice) return;
    auto set = std::make_unique<CTableCharRec>();
    if (!LoadCharRecSetFile(choice->path, set.get())) {
        Warn(this, QStringLiteral("Błąd w trakcie odczytu charakterystyk"));
        return;
    }
    // Row i takes the file's record i, whatever slot number it carries; rows
    // beyond a shorter file become unread. Without a count from the meter the
    // file gives the count.
    m_table.Import(*set, static_cast<int32_t>(std::time(nullptr)));
    if (!m_table.CountFromMeter()) {
        SetProgressRange();
        InsertNumberedRows();
    }
    RefreshAllRows();
}

void CCharTableDlg::OnExport() {
    const auto choice =
        Prompts::instance().saveFile(this, SetFileRequest(QStringLiteral("Eksportuj")));
    if (!choice) return;
    auto set = std::make_unique<CTableCharRec>();
    m_table.Export(set.get());
    if (!SaveCharRecSetFile(choice->path, *set)) {
        Warn(this, QStringLiteral("Błąd w trakcie zapisu charakterystyk"));
    }
}

void CCharTableDlg::OnCancel() {
    if (IsReading()) {
        // What was read stays; the rest is unread.
        m_readOp->RequestStop();
        return;
    }
    reject();
}

void CCharTableDlg::reject() {
    // Closing while reading ends the read after the slot under way instead of
    // waiting for every slot; the helper then waits for that one.
    m_readOp->RequestStop();
    QDialog::reject();
}

QString CCharTableDlg::PrintTitle() {
    const MeterSnapshot meter = m_session ? m_session->Snapshot() : MeterSnapshot();
    const MeterIdentity& identity = meter.identity;
    if (!identity.valid || !meter.serialNumber.valid) {
        Warn(this, QStringLiteral("Błąd przy próbie odczytu danych panelu"));
        return QString();
    }
    const QString model = QString::fromLatin1(
        identity.model, static_cast<int>(qstrnlen(identity.model, sizeof identity.model)));
    return QStringLiteral("Spis materiałów dla: %1%2, numer seryjny: %3, data: %4")
        .arg(model, QString(QChar::fromLatin1(identity.versionLetter)))
        .arg(meter.serialNumber.serialNumber)
        .arg(QLocale().toString(QDate::currentDate(), QLocale::LongFormat));
}

void CCharTableDlg::OnPrint() {
    const QString title = PrintTitle();
    if (printHook) printHook(this, m_list, title);
}

void CCharTableDlg::OnOk() {
    if (IsBusy()) return;
    MeterSession* session = m_session;
    CharTable* table = &m_table;
    DeviceOperation* op = m_writeOp;
    auto result = std::make_shared<CharTable::WriteResult>();
    auto work = [this, session, table, op, result]() {
        if (!session) return table->ChangedSlots().empty();  // no meter: nothing can be sent
        // One journal for the whole pass, on this thread; each slot's entry is
        // stored before the slot is sent. A confirmed slot is no longer changed:
        // its row loses its "*".
        WriteBatch batch(*session);
        *result = table->WriteChanged(batch, op->StopFlag(), [this, op](int slot, int) {
            op->PostToUi([this, slot] {
                m_differences.erase(slot);
                RefreshRow(slot);
                m_progress->setValue(slot + 1);
            });
        });
        return result->ok;
    };
    auto describe = [result]() { return WriteFailure(*result); };
    // Written, but the journal could not mark an entry complete: said before
    // the window closes.
    auto written = [this, result]() {
        if (!result->message.isEmpty()) Warn(this, result->message);
    };
    m_writeOp->Start({DeviceOperation::Step{work, kWriteFailed, describe}}, written, true);
}

QString CCharTableDlg::RowDifference(int i) const {
    const auto it = m_differences.find(i);
    return it == m_differences.end() ? QString() : it->second;
}

void CCharTableDlg::OnCompare() {
    if (IsBusy()) return;
    const auto choice =
        Prompts::instance().openFile(this, SetFileRequest(QStringLiteral("Porównaj z plikiem")));
    if (!choice) return;
    auto set = std::make_shared<CTableCharRec>();
    if (!LoadCharRecSetFile(choice->path, set.get())) {
        Warn(this, QStringLiteral("Błąd w trakcie odczytu charakterystyk"));
        return;
    }
    // Rows the file holds a record for that the table has not read (a read
    // that failed or was stopped) are read first.
    std::vector<int> unread;
    for (int i = 0; i < std::min(m_table.Count(), set->Count()); ++i) {
        if (set->Get(i).valid && !m_table.Read(i)) unread.push_back(i);
    }
    if (unread.empty() || !m_session) {
        ShowComparison(*set, QString());
        return;
    }
    CharTable* table = &m_table;
    DeviceOperation* op = m_readOp;
    auto failure = std::make_shared<QString>();
    auto work = [this, table, op, unread, failure]() {
        const CharTable::ReadResult r =
            table->ReadSlots(unread, op->StopFlag(), [this, op](int slot, int done) {
                op->PostToUi([this, slot, done] {
                    RefreshRow(slot);
                    m_progress->setValue(done);
                });
            });
        // A failed read leaves its rows unread; the comparison names them and
        // why, in its one message. A stopped one compares nothing.
        if (!r.ok && !r.stopped) *failure = SlotReadFailureText(r.report);
        return !r.stopped;
    };
    m_readOp->Start(
        {DeviceOperation::Step{work, kReadFailed}},
        [this, set, failure] { ShowComparison(*set, *failure); }, false);
}

void CCharTableDlg::ShowComparison(const CTableCharRec& set, const QString& readFailure) {
    const bool serviceMode = m_session && m_session->ServiceMode();
    std::vector<int> marked;
    for (const auto& [row, text] : m_differences) marked.push_back(row);
    m_differences.clear();
    for (int row : marked) RefreshRow(row);

    std::vector<SlotDifference> differences;
    QStringList unread;
    int compared = 0;
    for (int i = 0; i < std::min(m_table.Count(), set.Count()); ++i) {
        const CharRecData rec = set.Get(i);
        if (!rec.valid) continue;  // nothing a write of the file would send
        const CharTable::Slot slot = m_table.At(i);
        if (!slot.read) {
            unread << QString::number(i + 1);
            continue;
        }
        ++compared;
        std::vector<FieldDifference> fields =
            CompareSlot(ImageBytes(slot.image), rec, i, serviceMode);
        if (!fields.empty()) differences.push_back({i, std::move(fields)});
    }
    QString text = DifferenceSummary(differences) +
                   QStringLiteral(" (porównano charakterystyk: %1).").arg(compared);
    for (size_t k = 0; k < differences.size(); ++k) {
        const SlotDifference& d = differences[k];
        QStringList names;
        for (const FieldDifference& f : d.fields) names << f.field;
        m_differences[d.slot] =
            QStringLiteral("Różni się od pliku: %1").arg(names.join(QStringLiteral(", ")));
        RefreshRow(d.slot);
        if (k >= static_cast<size_t>(kShownSlots)) continue;
        text += QStringLiteral("\n\nCharakterystyka nr %1:").arg(d.slot + 1);
        for (size_t f = 0; f < d.fields.size() && f < static_cast<size_t>(kShownFields); ++f) {
            text += QStringLiteral("\n%1: miernik \"%2\", plik \"%3\"")
                        .arg(d.fields[f].field, d.fields[f].meter, d.fields[f].file);
        }
        if (d.fields.size() > static_cast<size_t>(kShownFields))
            text += QStringLiteral("\n(pól różniących się: %1)").arg(d.fields.size());
    }
    if (differences.size() > static_cast<size_t>(kShownSlots)) {
        text += QStringLiteral("\n\nPozostałe różniące się wiersze są wyróżnione na liście.");
    }
    if (!unread.isEmpty()) {
        text += QStringLiteral("\n\nNieodczytane, nie porównano: charakterystyki nr %1")
                    .arg(unread.join(QStringLiteral(", ")));
        if (!readFailure.isEmpty()) text += QStringLiteral(" (%1)").arg(readFailure);
    }
    const bool same = differences.empty() && unread.isEmpty();
    Prompts::instance().message(this, text,
                                same ? Prompts::Icon::Information : Prompts::Icon::Warning);
}
