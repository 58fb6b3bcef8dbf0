#include "app/widgets/report_dlg.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "files/safe_file.h"
#include "report/meter_report.h"
#include "report/report_pdf.h"
#include "session/meter_session.h"
#include "ui/device_operation.h"
#include "ui/prompts.h"

namespace {

const QString kTitle = QStringLiteral("Raport miernika");
const QString kNoLink = QStringLiteral("Brak komunikacji z urządzeniem.");

void Tell(QWidget* parent, const QString& text, Prompts::Icon icon = Prompts::Icon::Warning) {
    Prompts::instance().message(parent, text, icon);
}

}  // namespace

MeterReportDlg::MeterReportDlg(MeterSession* session, const QString& path, QWidget* parent)
    : QDialog(parent), m_session(session), m_path(path) {
    setWindowTitle(kTitle);
    setAccessibleName(kTitle);
    m_status = new QLabel(QStringLiteral("Odczyt charakterystyk..."), this);
    m_status->setAccessibleName(QStringLiteral("Stan raportu"));
    m_status->setMinimumWidth(360);
    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(QStringLiteral("Postęp"));
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_cancel = new QPushButton(QStringLiteral("Anuluj"), this);
    m_cancel->setAccessibleName(QStringLiteral("Anuluj"));
    m_cancel->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    // "Anuluj" stays usable while the worker runs: it stops the read.
    m_op = new DeviceOperation(this);
    connect(m_cancel, &QPushButton::clicked, this, &MeterReportDlg::reject);
    connect(m_op, &DeviceOperation::finished, this, &MeterReportDlg::OnFinished);
}

MeterReportDlg::~MeterReportDlg() {
    m_op->RequestStop();
    m_op->WaitForWorker();
}

void MeterReportDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once the window is up, so that a failure's message has it as parent.
    if (!m_started) QTimer::singleShot(0, this, &MeterReportDlg::Start);
}

void MeterReportDlg::Start() {
    if (m_started) return;
    m_started = true;
    MeterReportRequest request;
    request.serviceMode = m_session->ServiceMode();
    const JournalSettings journal = m_session->Journal();
    request.journalPath = journal.path;
    request.journalBusyTimeoutMs = journal.busyTimeoutMs;

    auto report = std::make_shared<MeterReport>();
    auto failure = std::make_shared<QString>();
    MeterSession* session = m_session;
    DeviceOperation* op = m_op;
    const QString path = m_path;
    auto collect = [session, op, request, report, failure, this]() {
        const MeterReportResult r = CollectMeterReport(
            *session, request, op->StopFlag(),
            [this, op](int done, int total) {
                op->PostToUi([this, done, total] {
                    m_progress->setRange(0, std::max(1, total));
                    m_progress->setValue(done);
                    m_status->setText(
                        QStringLiteral("Odczyt charakterystyk: %1 z %2").arg(done).arg(total));
                });
            },
            report.get());
        *failure = r.message;
        return r.ok();
    };
    auto write = [this, op, path, report, failure]() {
        op->PostToUi([this] { m_status->setText(QStringLiteral("Zapis raportu...")); });
        return WriteReportPdf(path, *report, failure.get());
    };
    auto describe = [failure]() { return *failure; };
    m_op->Start(
        {DeviceOperation::Step{collect, kNoLink, describe},
         DeviceOperation::Step{write, QString(), describe}},
        [this] { m_written = true; }, false);
}

void MeterReportDlg::reject() {
    if (m_op->IsBusy()) {
        m_cancel->setEnabled(false);
        m_op->RequestStop();  // the dialog closes when the worker has ended
        return;
    }
    QDialog::reject();
}

void MeterReportDlg::OnFinished(bool ok) {
    if (ok) {
        done(QDialog::Accepted);
        return;
    }
    // A failure has shown its message already; a stop has not.
    if (m_op->Stopped()) Tell(this, QStringLiteral("Przerwano; raport nie został zapisany."));
    done(QDialog::Rejected);
}

void RunMeterReport(QWidget* parent, MeterSession* session) {
    if (!session->Snapshot().linkUp()) {
        Tell(parent, kNoLink + QStringLiteral(" Raport nie został zapisany."));
        return;
    }
    Prompts::FileRequest req;
    req.title = kTitle;
    req.filters = QStringList{QStringLiteral("Raport PDF (*.pdf)")};
    req.defaultSuffix = QStringLiteral("pdf");
    req.initialName = QStringLiteral("raport.pdf");
    const std::optional<Prompts::FileChoice> choice = Prompts::instance().saveFile(parent, req);
    if (!choice || choice->path.isEmpty()) return;
    QString path = choice->path;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    // Before the meter is read for minutes: the report must have a place.
    FileError error;
    if (!CheckOutputTarget(path, &error)) {
        Tell(parent,
             QStringLiteral("Nie można zapisać raportu: %1 (%2)").arg(path, error.Reason()));
        return;
    }
    MeterReportDlg dlg(session, path, parent);
    dlg.exec();
    if (dlg.Written())
        Tell(parent, QStringLiteral("Raport zapisano: %1").arg(path), Prompts::Icon::Information);
}
