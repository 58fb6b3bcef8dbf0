#pragma once

#include <QDialog>
#include <QString>

class DeviceOperation;
class MeterSession;
class QLabel;
class QProgressBar;
class QPushButton;

// "Raport miernika": the connected meter's report as a PDF. The table is read
// anew on a worker (the table window keeps its rows to itself), with the
// journal entries of the meter and its state, then the report is drawn and
// written on the same worker; the window shows the progress, "Anuluj" stops
// the read, and nothing is written unless the whole table was read. Service
// mode decides whether protected curves are shown.
class MeterReportDlg : public QDialog {
    Q_OBJECT
public:
    MeterReportDlg(MeterSession* session, const QString& path, QWidget* parent = nullptr);
    ~MeterReportDlg() override;

    // Starts the worker (once); the dialog closes when it has ended.
    void Start();

    // For tests.
    QProgressBar* Progress() const { return m_progress; }
    QPushButton* CancelButton() const { return m_cancel; }
    DeviceOperation* Operation() const { return m_op; }
    // The report was written.
    bool Written() const { return m_written; }

    // Escape or the close button while the worker runs stops it first.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnFinished(bool ok);

    MeterSession* m_session = nullptr;  // not owned
    QString m_path;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    DeviceOperation* m_op = nullptr;
    bool m_started = false;
    bool m_written = false;
};

// "Panel" -> "Raport miernika...": asks for the PDF's name (through Prompts),
// runs the dialog modally and says where the report went, or why not.
void RunMeterReport(QWidget* parent, MeterSession* session);
