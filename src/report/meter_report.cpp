#include "report/meter_report.h"

#include "session/char_table.h"
#include "session/meter_session.h"

namespace {

MeterReportResult Failed(MeterReportResult::Status status, const QString& message) {
    MeterReportResult r;
    r.status = status;
    r.message = message;
    return r;
}

}  // namespace

MeterReportResult CollectMeterReport(MeterSession& session, const MeterReportRequest& request,
                                     const std::atomic<bool>* stop,
                                     const std::function<void(int, int)>& progress,
                                     MeterReport* report) {
    using Status = MeterReportResult::Status;
    MeterReport r = NewMeterReport(request.serviceMode);
    // Identity and state from one moment, before the long read.
    const MeterSnapshot snapshot = session.Snapshot();
    if (!snapshot.linkUp())
        return Failed(Status::MeterFailed, QStringLiteral("Brak komunikacji z urządzeniem."));
    if (!snapshot.identity.valid || !snapshot.serialNumber.valid)
        return Failed(Status::MeterFailed, QStringLiteral("Nie można odczytać ustawień"));

    if (!request.journalPath.isEmpty()) {
        QString error;
        if (!AddJournalEntries(&r, request.journalPath, snapshot.serialNumber.serialNumber,
                               request.since, request.journalBusyTimeoutMs, &error))
            return Failed(Status::InputFailed, error);
    }

    ElectrodeCoefficient electrode;
    if (!session.ReadElectrodeCoefficient(&electrode))
        return Failed(Status::MeterFailed, QStringLiteral("Nie można odczytać ustawień"));

    CharTable table(&session);
    if (!table.TakeCountFromMeter())
        return Failed(Status::MeterFailed,
                      QStringLiteral("Błąd przy próbie odczytu liczy charakterystyk"));
    const int total = table.Count();
    if (progress) progress(0, total);
    const CharTable::ReadResult read = table.ReadAll(stop, [&](int, int done) {
        if (progress) progress(done, total);
    });
    if (read.stopped) return Failed(Status::Stopped, QString());
    // A slot that cannot be read ends the report: it never stands for the
    // meter with table missing.
    if (!read.ok) return Failed(Status::MeterFailed, SlotReadFailureText(read.report));

    r.meter = ReportMeterOf(snapshot, electrode);
    AddTableSlots(&r, table);
    if (request.reference)
        CompareWithReference(&r, table, *request.reference, request.referencePath);
    *report = std::move(r);
    return MeterReportResult();
}
