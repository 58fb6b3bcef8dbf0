// The main window while the meter's device is pulled and re-inserted a hundred
// times, with registration to file running: the window keeps answering, the
// link comes back every time, and the registration file only ever grows by whole
// lines.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <random>

#include "app/app_settings.h"
#include "app/widgets/kv60x_dlg.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"

using testsupport::FastTiming;
using testsupport::SimulatedMeter;
using testsupport::WaitUntil;

TEST(MainWindowUnplugStorm, StaysResponsiveAndRecoversEveryTime) {
    ScopedPrompts prompts;
    QTemporaryDir dir;
    const QString log = dir.filePath("storm.csv");
    SimulatedMeter meter;
    AppSettings s;
    s.portNr = meter.port();
    s.fileLog = 1;
    s.fileName = log;
    s.fileInterval = 1;
    s.fileSepFormat = 3;
    s.fileDecSeparator = 2;
    Ckv60xDlg dlg;
    dlg.session().SetTiming(FastTiming());
    dlg.SetRegistrationStartDelay(10);
    dlg.LoadSettings(s);
    dlg.Initialise();
    dlg.show();
    ASSERT_TRUE(WaitUntil([&] { return dlg.connected(); }, 5000));

    // The longest time the event loop went without running a 10 ms timer.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    ticker.start(10);

    std::mt19937 rng(99);
    qint64 lastSize = 0;
    for (int round = 0; round < 100; ++round) {
        WaitUntil([] { return false; }, static_cast<int>(rng() % 60));
        meter.sim().Unplug();
        ASSERT_TRUE(WaitUntil([&] { return !dlg.connected(); }, 3000)) << "round " << round;
        WaitUntil([] { return false; }, static_cast<int>(rng() % 60));
        ASSERT_TRUE(meter.sim().Replug());
        ASSERT_TRUE(WaitUntil([&] { return dlg.connected(); }, 5000))
            << "no recovery in round " << round;
        const qint64 size = QFileInfo(log).size();
        ASSERT_GE(size, lastSize) << "the registration file lost lines in round " << round;
        lastSize = size;
    }
    ticker.stop();
    EXPECT_LT(longestGap, 300) << "the window stopped answering for " << longestGap << " ms";
    EXPECT_TRUE(WaitUntil([&] { return dlg.lastStatusText().startsWith("KV-607A nr 17."); }, 3000));

    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(bytes.endsWith("\r\n"));
    const QList<QByteArray> lines = bytes.split('\n');
    int readings = 0, unknown = 0;
    for (QByteArray line : lines.mid(1)) {  // after the header
        if (line.isEmpty()) continue;
        ASSERT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
        const QByteArray value = line.mid(line.lastIndexOf(';') + 1);
        if (value == "???") {
            ++unknown;
        } else {
            EXPECT_EQ(value, "21.5") << line.constData();
            ++readings;
        }
    }
    EXPECT_GT(readings, 0);
    EXPECT_GT(readings + unknown, 5);
}
