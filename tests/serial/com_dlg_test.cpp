#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <atomic>
#include <thread>

#include "serial/port_names.h"
#include "serial/widgets/com_dlg.h"
#include "support/scripted_prompts.h"

namespace {

CWaitComDlg::Job Entries(QStringList entries) {
    return [entries](const std::atomic<bool>&) { return entries; };
}

}  // namespace

TEST(ComDlg, CurrentPortIsPreselectedByItsExactNumber) {
    ScopedPrompts prompts;
    CComDlg dlg(1, nullptr,
                Entries({QStringLiteral("COM10 (USB – /dev/ttyUSB0)"),
                         QStringLiteral("COM1 (Port – /dev/ttyS0)")}));
    QString label;
    QString selected;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        label = d->currentPortLabel()->text();
        selected = d->portList()->currentText();
        d->okButton()->click();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(label, QStringLiteral("Aktualnie używany port: COM1"));
    EXPECT_EQ(selected, QStringLiteral("COM1 (Port – /dev/ttyS0)"));
    EXPECT_EQ(dlg.chosenPort(), 1);
    EXPECT_TRUE(prompts->messages.empty());
}

TEST(ComDlg, OkWithoutAChoiceComplainsAndStaysOpen) {
    ScopedPrompts prompts;
    CComDlg dlg(0, nullptr, Entries({QStringLiteral("COM3"), QStringLiteral("COM33 (FT232R)")}));
    QString label;
    bool stillOpen = false;
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        label = d->currentPortLabel()->text();
        EXPECT_EQ(d->portList()->currentIndex(), -1);
        d->okButton()->click();
        stillOpen = d->isVisible();
        d->portList()->setCurrentIndex(1);
        d->okButton()->click();
    });
    ASSERT_EQ(dlg.exec(), QDialog::Accepted);
    EXPECT_EQ(label, QStringLiteral("Aktualnie żaden port nie jest używany"));
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie wybrano żadnego portu."));
    EXPECT_EQ(dlg.chosenPort(), 33);
}

TEST(ComDlg, NoPortsAndCancel) {
    ScopedPrompts prompts;
    CComDlg dlg(5, nullptr, Entries({}));
    testsupport::WhenShown<CComDlg>([&](CComDlg* d) {
        d->okButton()->click();  // nothing to choose
        d->cancelButton()->click();
    });
    EXPECT_EQ(dlg.exec(), QDialog::Rejected);
    EXPECT_EQ(dlg.chosenPort(), 0);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, QStringLiteral("Nie wybrano żadnego portu."));
}

TEST(ComDlg, RealListingShowsARegisteredDeviceWithItsPath) {
    RegisterPortDevice(250, QStringLiteral("/tmp/kv60x-test-link"));
    const QStringList entries = CWaitComDlg::ListPortEntriesText();
    RegisterPortDevice(250, QString());
    EXPECT_TRUE(entries.contains(QStringLiteral("COM250 (/tmp/kv60x-test-link)")))
        << entries.join('|').toStdString();
    // Ascending by number whatever the listing order.
    int last = 0;
    for (const QString& e : entries) {
        const int n = CComDlg::EntryPortNumber(e);
        EXPECT_GT(n, last);
        last = n;
    }
}

TEST(WaitComDlg, CancelOnlySetsTheFlagAndTheWindowClosesWhenTheListingEnds) {
    std::atomic<bool> release{false};
    CWaitComDlg wait(nullptr, [&](const std::atomic<bool>&) {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return QStringList{QStringLiteral("COM1")};
    });
    bool visibleAfterCancel = false;
    testsupport::WhenShown<CWaitComDlg>([&](CWaitComDlg* w) {
        w->cancelButton()->click();
        w->close();  // the close box asks the same way
        visibleAfterCancel = w->isVisible();
        release = true;
    });
    EXPECT_EQ(wait.exec(), QDialog::Accepted);
    EXPECT_TRUE(visibleAfterCancel);
    EXPECT_TRUE(wait.cancelRequested());
    EXPECT_EQ(wait.entries(), QStringList{QStringLiteral("COM1")});
}
