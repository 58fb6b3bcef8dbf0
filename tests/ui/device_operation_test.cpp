#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "meter/kv60x_driver.h"
#include "sim/meter_simulator.h"
#include "support/scripted_prompts.h"
#include "support/sim_fixture.h"
#include "ui/device_operation.h"

using testsupport::FastTiming;
using testsupport::SimulatedMeter;

namespace {

// A small device dialog: one field, OK and Cancel, all locked while busy.
struct TestDialog {
    QDialog dialog;
    QLineEdit* edit = new QLineEdit(&dialog);
    QPushButton* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    QPushButton* cancel = new QPushButton(QStringLiteral("Anuluj"), &dialog);
    DeviceOperation op{&dialog};

    TestDialog() { op.SetLockedControls({edit, ok, cancel}); }
    bool locked() const { return !edit->isEnabled() && !ok->isEnabled() && !cancel->isEnabled(); }
    bool unlocked() const { return edit->isEnabled() && ok->isEnabled() && cancel->isEnabled(); }
};

}  // namespace

TEST(DeviceOperation, SecondStartWhileBusyIsIgnoredAndSuccessClosesWithOk) {
    ScopedPrompts prompts;
    TestDialog d;
    d.dialog.show();
    std::atomic<int> calls{0};
    std::atomic<bool> release{false};
    auto work = [&] {
        ++calls;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return true;
    };
    EXPECT_TRUE(d.op.StartWrite(work, QStringLiteral("Nie można zapisać ustawień")));
    EXPECT_TRUE(d.op.IsBusy());
    EXPECT_TRUE(d.locked());
    // OK pressed again quickly.
    EXPECT_FALSE(d.op.StartWrite(work, QStringLiteral("Nie można zapisać ustawień")));
    release = true;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }));
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(d.dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(d.dialog.isVisible());
    EXPECT_TRUE(prompts->messages.empty());
}

TEST(DeviceOperation, FailureShowsItsTextAndKeepsTheDialogOpen) {
    ScopedPrompts prompts;
    TestDialog d;
    d.dialog.show();
    d.edit->setText(QStringLiteral("12.5"));
    bool finishedOk = true;
    QObject::connect(&d.op, &DeviceOperation::finished, [&](bool ok) { finishedOk = ok; });
    ASSERT_TRUE(
        d.op.StartWrite([] { return false; }, QStringLiteral("Nie można zapisać ustawień")));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));
    EXPECT_FALSE(finishedOk);
    EXPECT_TRUE(d.dialog.isVisible());
    EXPECT_TRUE(d.unlocked());
    EXPECT_EQ(d.edit->text(), QStringLiteral("12.5"));
}

TEST(DeviceOperation, StepsStopAtTheFirstFailureWithItsOwnText) {
    ScopedPrompts prompts;
    TestDialog d;
    d.dialog.show();
    int third = 0;
    ASSERT_TRUE(
        d.op.Start({{[] { return true; }, QStringLiteral("Nie można ustawić numeru seryjnego")},
                    {[] { return false; }, QStringLiteral("Nie można zapisać typu panelu")},
                    {[&] { return ++third, true; }, QStringLiteral("x")}},
                   nullptr, true));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać typu panelu"));
    EXPECT_EQ(third, 0);
    EXPECT_TRUE(d.dialog.isVisible());
}

TEST(DeviceOperation, StopEndsBeforeTheNextStepWithoutMessageAndDescribedFailures) {
    ScopedPrompts prompts;
    TestDialog d;
    d.dialog.show();
    std::atomic<int> started{0};
    std::atomic<bool> release{false};
    auto slow = [&] {
        ++started;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return true;
    };
    bool finishedOk = true;
    QObject::connect(&d.op, &DeviceOperation::finished, [&](bool ok) { finishedOk = ok; });
    std::vector<DeviceOperation::Step> steps(5, {slow, QStringLiteral("x")});
    ASSERT_TRUE(d.op.Start(
        steps, [] { ADD_FAILURE() << "no success"; }, true));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return started.load() == 1; }));
    d.op.RequestStop();
    release = true;  // the step under way ends; no other starts
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }));
    EXPECT_EQ(started.load(), 1);
    EXPECT_TRUE(d.op.Stopped());
    EXPECT_FALSE(finishedOk);
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_TRUE(d.dialog.isVisible());
    EXPECT_TRUE(d.unlocked());

    // The next operation starts afresh; a step may describe its own failure.
    ASSERT_TRUE(d.op.Start({{[] { return true; }, QStringLiteral("a")},
                            {[] { return false; }, QStringLiteral("b"),
                             [] { return QStringLiteral("opisany błąd"); }}},
                           nullptr, false));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }));
    EXPECT_FALSE(d.op.Stopped());
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("opisany błąd"));
}

TEST(DeviceOperation, ReadFromTheSimulatedMeterFillsTheFieldOnTheUiThread) {
    ScopedPrompts prompts;
    SimMeterState state;
    state.electrodeCoefficient = 1.25;
    SimulatedMeter meter(state);
    Ckv60xDriver driver;
    driver.SetTiming(FastTiming());
    ASSERT_TRUE(driver.Connect(meter.port()));

    TestDialog d;
    d.dialog.show();
    ElectrodeCoefficient coefficient;
    bool onUiThread = false;
    ASSERT_TRUE(d.op.StartRead([&] { return driver.ReadElectrodeCoefficient(coefficient); },
                               QStringLiteral("Nie można odczytać ustawień"),
                               [&] {
                                   onUiThread = QThread::currentThread() == d.dialog.thread();
                                   d.edit->setText(QString::number(coefficient.coefficient));
                               }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !d.op.IsBusy(); }, 5000));
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(d.edit->text(), QStringLiteral("1.25"));
    EXPECT_TRUE(d.dialog.isVisible());  // a read keeps the dialog open
    EXPECT_TRUE(d.unlocked());
    driver.Disconnect();
}

TEST(DeviceOperation, ClosingWhileASilentMeterIsAskedWaitsWithEventsRunning) {
    ScopedPrompts prompts;
    SimulatedMeter meter;
    Ckv60xDriver driver;
    DriverTiming t = FastTiming();
    t.replyTimeoutMs = 120;  // 4 sendings: about half a second
    driver.SetTiming(t);
    ASSERT_TRUE(driver.Connect(meter.port()));
    SimFaults silent;
    silent.silent = true;
    meter.sim().SetFaults(silent);

    TestDialog d;
    d.dialog.show();
    ASSERT_TRUE(d.op.StartWrite([&] { return driver.WriteElectrodeCoefficient(2.5); },
                                QStringLiteral("Nie można zapisać ustawień")));
    // A timer on the UI thread must keep firing while the dialog waits.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer elapsed;
    elapsed.start();
    d.dialog.reject();  // closed while busy: returns once the worker has ended
    const qint64 ms = elapsed.elapsed();
    EXPECT_FALSE(d.op.IsBusy());
    EXPECT_GE(ms, 200);  // it really waited for the meter's attempts
    EXPECT_LT(ms, 6000);
    EXPECT_GE(ticks, 5);                              // the event loop ran meanwhile
    EXPECT_EQ(d.dialog.result(), QDialog::Rejected);  // not turned into OK afterwards
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie można zapisać ustawień"));
    driver.Disconnect();
}
