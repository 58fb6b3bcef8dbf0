// The meter report of a full table: every slot active with a curve of 15
// points, read from the simulated meter (not paced: the read is not what is
// measured), then the time after the read (the report's data, drawing the PDF,
// writing the file) and the file's size.
//
//   build/bench/kv60x_bench_report [SLOT_COUNT] [--out FILE.pdf]

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "report/meter_report.h"
#include "report/report_pdf.h"
#include "serial/port_names.h"
#include "session/meter_session.h"
#include "sim/demo_data.h"
#include "sim/meter_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int slotCount = 150;
    QTemporaryDir dir;
    QString out = dir.filePath(QStringLiteral("raport.pdf"));
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--out") && i + 1 < args.size())
            out = args[++i];
        else
            slotCount = args[i].toInt();
    }
    if (slotCount < 1 || slotCount > 150) {
        std::fprintf(stderr, "SLOT_COUNT: 1..150\n");
        return 2;
    }

    MeterSimulator sim;
    FillDemoCharacteristics(sim, slotCount);
    const int32_t now = static_cast<int32_t>(std::time(nullptr));
    for (int i = 0; i < slotCount; ++i) {
        CharRecData rec = DemoCharacteristic(i, slotCount, now);
        rec.ENABLE = 1;
        rec.ACTIVE = CharRecData::kPoints;
        for (int k = 0; k < CharRecData::kPoints; ++k) {
            rec.RH[k] = 5.0 + 2.5 * k + 0.01 * i;
            rec.VALUE[k] = 100.0 + 17.0 * k + 0.003 * k * k * (i + 1);
        }
        sim.SetSlotRecord(i, rec);
    }
    if (!sim.Start()) return 1;
    RegisterPortDevice(243, QString::fromStdString(sim.LinkPath()));
    MeterSession session;
    if (!session.Connect(243) || !session.WaitForLink(15000)) {
        std::fprintf(stderr, "no link to the simulated meter\n");
        return 1;
    }

    MeterReportRequest request;
    request.serviceMode = true;
    Clock::time_point readEnd;
    const Clock::time_point start = Clock::now();
    MeterReport report;
    const MeterReportResult r = CollectMeterReport(
        session, request, nullptr,
        [&](int done, int total) {
            if (done == total) readEnd = Clock::now();
        },
        &report);
    const Clock::time_point collected = Clock::now();
    if (!r.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(r.message));
        return 1;
    }
    QString error;
    if (!WriteReportPdf(out, report, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const Clock::time_point written = Clock::now();
    QFile file(out);
    const QByteArray pdf = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const int pages = static_cast<int>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page ") +
                                       pdf.count("/Type /Page/"));
    std::printf("read %d slots: %.3f s (simulator, not paced; not counted)\n", slotCount,
                Seconds(start, readEnd));
    std::printf("after the read: %.3f s (report data %.3f s, drawing and writing the PDF %.3f s)\n",
                Seconds(readEnd, written), Seconds(readEnd, collected),
                Seconds(collected, written));
    std::printf("file: %lld bytes (%.1f KiB), %d pages -> %s\n", static_cast<long long>(pdf.size()),
                pdf.size() / 1024.0, pages, qPrintable(QDir::toNativeSeparators(out)));
    session.Disconnect();
    return 0;
}
