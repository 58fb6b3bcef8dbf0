// The kv60x program itself, as a user starts it from a terminal.

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

TEST(Program, HelpNeedsNoDisplay) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KV60X_BINARY), {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const char* option : {"--service", "--demo", "--config", "--journal", "--port"})
        EXPECT_TRUE(out.contains(QLatin1String(option))) << option;
}
