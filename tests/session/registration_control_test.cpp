// Registration as the window runs it, without a window: the start after
// launch waits while the settings are being asked about, an unanswered
// question leaves the file and the settings as they were, and the interval
// stored is the one the timer keeps.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "session/registration_control.h"
#include "support/sim_fixture.h"
#include "support/test_support.h"

using testsupport::ReadFileData;
using testsupport::WriteFileData;

namespace {

class Registration : public testsupport::SessionWithSim {
protected:
    void SetUp() override {
        SessionWithSim::SetUp();
        ConnectAndWait();
        control = std::make_unique<RegistrationControl>(*session);
        control->SetStartDelay(50);
        control->SetClock([] { return std::time_t(1700000000); });
    }
    void TearDown() override {
        control.reset();
        SessionWithSim::TearDown();
    }
    RegistrationSettings On(const QString& path) const {
        RegistrationSettings s;
        s.fileLog = 1;
        s.fileName = path;
        s.fileInterval = 3600;
        return s;
    }
    // Runs the event loop for `ms`.
    static void Spin(int ms) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<RegistrationControl> control;
};

}  // namespace

TEST_F(Registration, TheStartAfterLaunchWaitsWhileTheSettingsAreOpen) {
    const QString stored = dir.filePath("stored.csv");
    WriteFileData(stored, "poprzednie\r\n");
    control->SetSettings(On(stored));
    {
        RegistrationControl::Hold hold(*control);
        control->ArmStart();
        Spin(200);
        EXPECT_FALSE(control->FileOpen());
        EXPECT_EQ(ReadFileData(stored), QByteArray("poprzednie\r\n"));
        // The user switches registration off in the dialog.
        RegistrationSettings off = control->Settings();
        off.fileLog = 0;
        EXPECT_EQ(control->Apply(off), RegistrationControl::Step::Stopped);
    }
    Spin(100);
    EXPECT_FALSE(control->FileOpen()) << "the start that came due asks the settings of now";
    EXPECT_EQ(ReadFileData(stored), QByteArray("poprzednie\r\n"));

    // Left as it was: the start that came due runs when the dialog ends.
    control->SetSettings(On(stored));
    {
        RegistrationControl::Hold hold(*control);
        control->ArmStart();
        Spin(150);
        EXPECT_FALSE(control->FileOpen());
    }
    EXPECT_TRUE(control->FileOpen());
    EXPECT_TRUE(control->Running());
    EXPECT_TRUE(ReadFileData(stored).startsWith("poprzednie\r\n"));
    EXPECT_GT(ReadFileData(stored).size(), QByteArray("poprzednie\r\n").size());
}

TEST_F(Registration, AnUnansweredQuestionLeavesTheFileAndTheSettingsAsTheyWere) {
    const QString first = dir.filePath("first.csv");
    const QString other = dir.filePath("other.csv");
    WriteFileData(other, "cudze dane\r\n");
    ASSERT_EQ(control->Apply(On(first)), RegistrationControl::Step::Running);
    const QByteArray firstBytes = ReadFileData(first);
    ASSERT_FALSE(firstBytes.isEmpty());

    RegistrationSettings chosen = On(other);
    chosen.fileCheckComment = 1;
    chosen.comment = QStringLiteral("Partia 7");
    ASSERT_EQ(control->Apply(chosen), RegistrationControl::Step::NeedsAnswer);
    EXPECT_EQ(control->Answer(RegistrationControl::FileAnswer::Dismissed),
              RegistrationControl::Step::NeedsAnswer);
    EXPECT_EQ(ReadFileData(other), QByteArray("cudze dane\r\n"));
    EXPECT_EQ(control->Settings().fileName, first);
    EXPECT_EQ(control->File().Path(), first);
    EXPECT_TRUE(control->Running()) << "what registered before goes on";
    control->Cancelled();
    EXPECT_EQ(control->Settings().fileLog, 1);

    // Answered: the new file takes over, with its comment.
    ASSERT_EQ(control->Apply(chosen), RegistrationControl::Step::NeedsAnswer);
    EXPECT_EQ(control->Answer(RegistrationControl::FileAnswer::Append),
              RegistrationControl::Step::Running);
    EXPECT_TRUE(ReadFileData(other).startsWith("cudze dane\r\n\r\nPartia 7\r\n"));
    EXPECT_EQ(ReadFileData(first), firstBytes);
}

TEST_F(Registration, AnIntervalBelowASecondIsStoredAndTimedAsOne) {
    RegistrationSettings s = On(dir.filePath("fast.csv"));
    s.fileInterval = 0;
    control->SetSettings(s);
    EXPECT_EQ(control->Settings().fileInterval, 1);
    ASSERT_EQ(control->Apply(s), RegistrationControl::Step::Running);
    EXPECT_EQ(control->IntervalMs(), 1000);
    EXPECT_EQ(control->Settings().fileInterval, 1);
}
