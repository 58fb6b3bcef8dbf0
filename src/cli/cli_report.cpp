// The meter report as a PDF: of a connected meter (its table read, compared
// with a reference file, its journal entries) or of a set file alone.

#include <QDate>
#include <memory>

#include "cli/cli_commands.h"
#include "cli/cli_connection.h"
#include "journal/journal_location.h"
#include "records/record_files.h"
#include "report/meter_report.h"
#include "report/report_pdf.h"

namespace cli {

namespace {

const QString kReportFailed = QStringLiteral("Nie można zapisać raportu");

int LoadSet(const CliEnv& env, const QString& path, CTableCharRec* set) {
    FileError error;
    if (LoadCharRecSetFile(path, set, &error)) return -1;
    return Fail(env, kExitUsage,
                FileFailure(QStringLiteral("Błąd w trakcie odczytu charakterystyk"), path, error));
}

int Written(const CliEnv& env, const QString& path, const MeterReport& report) {
    QString error;
    if (!WriteReportPdf(path, report, &error)) return Fail(env, kExitUsage, error);
    env.Out(
        QStringLiteral("Raport (charakterystyk: %1) -> %2\n").arg(report.table.size()).arg(path));
    return kExitOk;
}

}  // namespace

int CmdReport(const CliEnv& env, const QStringList& args) {
    CommandArgs a(QStringLiteral("report"),
                  QStringLiteral("Raport miernika w PDF: identyfikacja, stan, wszystkie "
                                 "charakterystyki z wykresami, porównanie z plikiem wzorcowym i "
                                 "wpisy dziennika zmian miernika. Z plikiem zbioru charakterystyk "
                                 "zamiast miernika: raport samego pliku."));
    a.AddMeterOptions();
    a.AddPositional(QStringLiteral("PLIK.kvz"),
                    QStringLiteral("Plik zbioru charakterystyk: raport pliku, bez miernika."),
                    QStringLiteral("[PLIK.kvz]"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Zapisywany raport PDF."),
                                 QStringLiteral("PLIK.pdf"));
    const QCommandLineOption reference(
        QStringLiteral("reference"),
        QStringLiteral("Plik zbioru charakterystyk, z którym porównać każdą charakterystykę."),
        QStringLiteral("PLIK.kvz"));
    const QCommandLineOption since(QStringLiteral("since"),
                                   QStringLiteral("Wpisy dziennika zmian od tego dnia."),
                                   QStringLiteral("RRRR-MM-DD"));
    a.Add(out);
    a.Add(reference);
    a.Add(since);
    a.Add(ServiceOption());
    a.Add(JournalOption());
    if (int rc = a.Parse(env, args, 0, 1); rc >= 0) return rc;
    const bool serviceMode = a.IsSet(ServiceOption());
    const QString path = a.Value(out);
    if (path.isEmpty()) return Fail(env, kExitUsage, QStringLiteral("Podaj plik: --out PLIK.pdf"));
    FileError error;
    // Before the meter is asked for minutes: the report must have a place.
    if (!OutputPathUsable(path, &error))
        return Fail(env, kExitUsage, FileFailure(kReportFailed, path, error));

    if (!a.Positional().isEmpty()) {
        for (const QCommandLineOption* o : {&PortOption(), &DemoOption(), &TimeoutOption(),
                                            &reference, &since, &JournalOption()}) {
            if (a.IsSet(*o)) {
                return Fail(env, kExitUsage,
                            QStringLiteral("Raport pliku nie używa opcji --%1").arg(o->names()[0]));
            }
        }
        const QString setPath = a.Positional().at(0);
        auto set = std::make_unique<CTableCharRec>();
        if (int rc = LoadSet(env, setPath, set.get()); rc >= 0) return rc;
        MeterReport report = NewMeterReport(serviceMode);
        AddSetSlots(&report, *set, setPath);
        return Written(env, path, report);
    }

    MeterReportRequest request;
    request.serviceMode = serviceMode;
    if (a.IsSet(since)) {
        const QDate day = QDate::fromString(a.Value(since), QStringLiteral("yyyy-MM-dd"));
        if (!day.isValid()) {
            return Fail(
                env, kExitUsage,
                QStringLiteral("Nieprawidłowa data --since: %1 (RRRR-MM-DD)").arg(a.Value(since)));
        }
        request.since = day;
    }
    auto referenceSet = std::make_unique<CTableCharRec>();
    if (a.IsSet(reference)) {
        request.referencePath = a.Value(reference);
        if (int rc = LoadSet(env, request.referencePath, referenceSet.get()); rc >= 0) return rc;
        request.reference = referenceSet.get();
    }
    request.journalPath = ResolveJournalPath(a.Value(JournalOption()), QString());
    request.journalBusyTimeoutMs = env.journalBusyTimeoutMs;

    MeterSession session;
    session.SetServiceMode(serviceMode);
    if (int rc = ConnectMeter(env, a, session, false); rc >= 0) return rc;
    return WriteMeterReport(env, session, request, path, {}, QString());
}

int WriteMeterReport(const CliEnv& env, MeterSession& session, const MeterReportRequest& request,
                     const QString& path, const std::vector<ReportCheck>& verification,
                     const QString& verificationTitle) {
    int shown = 0, total = 0;
    MeterReport report;
    const MeterReportResult r = CollectMeterReport(
        session, request, env.stop,
        [&](int done, int count) {
            shown = done;
            total = count;
            if (env.progress && done > 0)
                env.Err(QStringLiteral("\rOdczyt charakterystyk: %1/%2").arg(done).arg(count) +
                        (done == count ? "\n" : ""));
        },
        &report);
    if (env.progress && shown > 0 && shown != total) env.Err(QStringLiteral("\n"));
    switch (r.status) {
        case MeterReportResult::Status::Done:
            break;
        case MeterReportResult::Status::Stopped:
            return Fail(env, kExitMeter, QStringLiteral("Przerwano; raport nie został zapisany."));
        case MeterReportResult::Status::MeterFailed:
            return Fail(env, kExitMeter, r.message);
        case MeterReportResult::Status::InputFailed:
            return Fail(env, kExitUsage, r.message);
    }
    if (!verificationTitle.isEmpty()) report.verificationTitle = verificationTitle;
    report.verification = verification;
    return Written(env, path, report);
}

}  // namespace cli
