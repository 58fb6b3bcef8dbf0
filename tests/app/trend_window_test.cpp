#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/widgets/kv60x_dlg.h"
#include "app/widgets/trend_window.h"
#include "session/registration.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"
#include "ui/color_static.h"
#include "ui/grab_util.h"

using namespace trendmath;
using testsupport::FastTiming;
using testsupport::ReadFileData;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;

namespace {

// Wall clock of steady time 0 in the known series: 2024-03-05 10:00:00 UTC.
constexpr int64_t kWall0 = 1709632800000LL;

// A known series over the last ten minutes, a gap in it, and one reading
// 30 minutes before the newest (seen only with the longer spans).
void FillKnownSeries(TrendHistory& h) {
    h.SetWallOffsetMs(kWall0);
    const int64_t end = 3600'000;
    h.Append(Sample{end - 1800'000, 30.0f, 0});
    h.Append(Sample{end - 300'000, 20.1f, 0});
    h.Append(Sample{end - 240'000, 22.3f, 0});
    h.Append(Sample{end - 180'000, 0.0f, Sample::kLinkDown});
    h.Append(Sample{end - 120'000, 21.25f, Sample::kError});
    h.Append(Sample{end - 60'000, 21.2f, 0});
    h.Append(Sample{end, 21.9f, 0});
}

QString Line(int64_t steadyMs, const QString& value) {
    return RegistrationDateTime(std::time_t((steadyMs + kWall0) / 1000)) +
           RegistrationSeparator(0) + value + QStringLiteral("\r\n");
}

QString Number(double v) {
    return QString::asprintf("%.01f", v).replace(QChar('.'), RegistrationDecimalSign(0));
}

int CountTrendWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += qobject_cast<TrendWindow*>(w) ? 1 : 0;
    return n;
}

}  // namespace

TEST(TrendWindow, StatisticsFollowTheSpanAndControlsCarryTheirLabels) {
    TrendHistory history;
    TrendWindow w(&history);
    w.show();
    EXPECT_EQ(w.statsLabel()->text(), QStringLiteral("Min: —  Maks: —  Średnia: —  Ostatni: —"));

    FillKnownSeries(history);
    w.OnNewEntry();
    EXPECT_EQ(w.statsLabel()->text(),
              QStringLiteral("Min: 20.1 °C  Maks: 22.3 °C  Średnia: 21.4 °C  Ostatni: 21.9 °C"));
    w.spanBox()->setCurrentIndex(1);  // 1 h: the reading of 30.0 joins in
    EXPECT_EQ(w.chart()->span(), Span::Hour1);
    EXPECT_EQ(w.statsLabel()->text(),
              QStringLiteral("Min: 20.1 °C  Maks: 30.0 °C  Średnia: 23.1 °C  Ostatni: 21.9 °C"));

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Wykres temperatury"));
    EXPECT_EQ(w.chart()->accessibleName(), QStringLiteral("Wykres temperatury"));
    EXPECT_EQ(w.spanBox()->accessibleName(), QStringLiteral("Zakres czasu:"));
    EXPECT_EQ(w.spanBox()->count(), 4);
    EXPECT_EQ(w.spanBox()->itemText(3), QStringLiteral("24 h"));
    EXPECT_EQ(w.saveImageButton()->accessibleName(), w.saveImageButton()->text());
    EXPECT_EQ(w.saveDataButton()->accessibleName(), QStringLiteral("Zapisz dane..."));
    bool labelled = false;
    for (QLabel* l : w.findChildren<QLabel*>())
        labelled |= l->text() == QStringLiteral("Zakres czasu:") && l->buddy() == w.spanBox();
    EXPECT_TRUE(labelled);
}

TEST(TrendWindow, SavesTheShownReadingsInTheRegistrationFormatAndThePicture) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    TrendHistory history;
    FillKnownSeries(history);
    TrendWindow w(&history);
    w.show();

    // A name without extension takes the chosen filter's: "Plik tekstowy".
    prompts->answerFile(dir.filePath(QStringLiteral("dane")), 1);
    w.saveDataButton()->click();
    ASSERT_EQ(prompts->fileRequests.size(), 1u);
    EXPECT_EQ(prompts->fileRequests[0].request.filters,
              (QStringList{QStringLiteral("Lista CSV (*.csv)"),
                           QStringLiteral("Plik tekstowy (*.txt)")}));
    const int64_t end = 3600'000;
    const QString expected = RegistrationHeader(RegistrationSeparator(0)) +
                             Line(end - 300'000, Number(20.1)) + Line(end - 240'000, Number(22.3)) +
                             Line(end - 180'000, QStringLiteral("???")) +
                             Line(end - 120'000, QStringLiteral("???")) +
                             Line(end - 60'000, Number(21.2)) + Line(end, Number(21.9));
    EXPECT_EQ(ReadFileData(dir.filePath(QStringLiteral("dane.txt"))), expected.toLocal8Bit());

    // A folder that does not exist: the message, no file.
    prompts->answerFile(dir.filePath(QStringLiteral("brak/dane.csv")), 0);
    w.saveDataButton()->click();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać danych"));

    prompts->answerFile(dir.filePath(QStringLiteral("obraz.png")), 1);  // the name decides
    w.saveImageButton()->click();
    EXPECT_EQ(
        prompts->fileRequests.back().request.filters,
        (QStringList{QStringLiteral("Obraz PNG (*.png)"), QStringLiteral("Dokument PDF (*.pdf)")}));
    QImage png(dir.filePath(QStringLiteral("obraz.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_GE(png.width(), 640);
    EXPECT_GE(png.height(), 400);
    prompts->answerFile(dir.filePath(QStringLiteral("obraz")), 1);
    w.saveImageButton()->click();
    EXPECT_TRUE(ReadFileData(dir.filePath(QStringLiteral("obraz.pdf"))).startsWith("%PDF"));
    EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST(TrendWindow, DrawsInTheDisplayColoursAndLeavesTheGapEmpty) {
    TrendHistory history;
    history.SetWallOffsetMs(kWall0);
    // Flat at 21 °C, a minute without link in the middle.
    for (int i = 0; i <= 600; ++i) {
        const int64_t t = int64_t(i) * 1000;
        const bool down = i >= 270 && i < 330;
        history.Append(down ? Sample{t, 0.0f, Sample::kLinkDown} : Sample{t, 21.0f, 0});
    }
    TrendWindow w(&history);
    w.resize(900, 500);
    const QColor bg(255, 231, 206), fg(66, 21, 0);
    w.SetColors(bg, fg);
    w.show();
    w.OnNewEntry();
    const QImage img = testsupport::Grab(w.chart(), QStringLiteral("trend_gap"));
    const View v = w.chart()->lastView();
    EXPECT_EQ(w.chart()->lastTrace().size(), 2u);
    EXPECT_EQ(img.pixelColor(2, 2).rgb(), bg.rgb());

    const int y = ValueToY(v, 21.0);
    const QRect before(TimeToX(v, 10'000), y - 1, TimeToX(v, 260'000) - TimeToX(v, 10'000), 3);
    const QRect gap(TimeToX(v, 271'000), v.top + 1, TimeToX(v, 328'000) - TimeToX(v, 271'000),
                    v.height - 2);
    EXPECT_GT(testsupport::CountColor(img, before, fg), before.width());
    EXPECT_EQ(testsupport::CountColor(img, gap, fg), 0);
}

// The window on the main window with a simulated meter: a drift, a link loss
// and a temperature error, one redraw at most per new reading.
TEST(TrendWindowLive, PlotsNewReadingsWithGapsForLinkLossAndErrors) {
    ScopedPrompts prompts;
    SimMeterState state;
    state.driftAmplitude = 1.5;
    state.driftPeriodS = 4.0;
    SimulatedMeter meter(state);
    AppSettings settings;
    settings.portNr = meter.port();
    Ckv60xDlg dlg(true);
    dlg.session().SetTiming(FastTiming());
    dlg.LoadSettings(settings);
    dlg.show();

    // The item follows "Zawsze na wierzchu" in the service menu too.
    QAction* item = dlg.action(Ckv60xDlg::kCmdTrend);
    ASSERT_NE(item, nullptr);
    const QList<QAction*> view = dlg.menu()->actions().at(1)->menu()->actions();
    EXPECT_EQ(view.indexOf(item), view.indexOf(dlg.action(Ckv60xDlg::kCmdTopmost)) + 1);
    item->trigger();
    TrendWindow* w = dlg.trendWindow();
    ASSERT_NE(w, nullptr);
    item->trigger();  // raised, not doubled
    EXPECT_EQ(dlg.trendWindow(), w);
    EXPECT_EQ(CountTrendWindows(), 1);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->chart()->backgroundColor(), dlg.valueDisplay()->backgroundColor());
    EXPECT_EQ(w->chart()->textColor(), dlg.valueDisplay()->textColor());

    const SampleRing& ring = dlg.trendHistory().Samples();
    ASSERT_TRUE(WaitUntil([&] { return ring.size() >= 6; }, 10000));

    // Redraws: at most one per new entry, however many 100 ms ticks pass.
    testsupport::ProcessEventsFor(50);
    const int paints0 = w->chart()->paintCount();
    const size_t entries0 = ring.size();
    testsupport::ProcessEventsFor(2000);
    const int paints = w->chart()->paintCount() - paints0;
    const int entries = int(ring.size() - entries0);
    EXPECT_GT(entries, 0);
    EXPECT_GT(paints, 0);
    EXPECT_LE(paints, entries);
    // Polling cycles complete about every 350 ms here (300 ms idle, 50 ms
    // pause) against 20 refresh ticks: entries follow the cycles, not the ticks.
    EXPECT_LE(entries, 12);

    // The drift shows.
    const SpanStats drift = w->chart()->ShownStats();
    EXPECT_GT(drift.max - drift.min, 0.5);

    // Link loss in the middle: gap entries, then readings again.
    meter.sim().Unplug();
    ASSERT_TRUE(WaitUntil([&] { return ring.back().flags == Sample::kLinkDown; }, 10000));
    ASSERT_TRUE(meter.sim().Replug());
    ASSERT_TRUE(WaitUntil([&] { return ring.back().flags == 0; }, 10000));

    // A temperature error: a flagged entry, then readings again.
    meter.sim().ModifyState([](SimMeterState& s) { s.temperatureError = true; });
    ASSERT_TRUE(WaitUntil([&] { return ring.back().flags == Sample::kError; }, 10000));
    meter.sim().ModifyState([](SimMeterState& s) { s.temperatureError = false; });
    ASSERT_TRUE(WaitUntil([&] { return ring.back().flags == 0; }, 10000));
    ASSERT_TRUE(
        WaitUntil([&] { return ring.size() >= 3 && ring[ring.size() - 3].flags == 0; }, 10000));

    w->chart()->repaint();
    testsupport::Grab(w, QStringLiteral("trend_live"));
    const std::vector<Polyline>& trace = w->chart()->lastTrace();
    const View v = w->chart()->lastView();
    EXPECT_GE(trace.size(), 3u);
    // No polyline reaches over a gap entry.
    int gaps = 0;
    for (size_t i = ring.LowerBound(v.t0); i < ring.size(); ++i) {
        if (!ring[i].IsGap()) continue;
        ++gaps;
        const int gx = TimeToX(v, ring[i].timeMs);
        for (const Polyline& line : trace) {
            EXPECT_FALSE(line.front().x() < gx && line.back().x() > gx) << "gap at x " << gx;
        }
    }
    EXPECT_GE(gaps, 2);
    dlg.CloseWindow();
}
