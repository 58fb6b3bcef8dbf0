#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>

#include "cli/cli.h"
#include "support/sim_fixture.h"

namespace clitest {

struct CliResult {
    int code = -1;
    QString out;
    QString err;
    // stderr split into its lines (no trailing empty line).
    QStringList ErrLines() const { return err.split(QChar('\n'), Qt::SkipEmptyParts); }
};

// Runs the CLI in-process with the fast test timing.
inline CliResult RunIn(const QStringList& args, const std::atomic<bool>* stop = nullptr,
                       int firstCycleMs = 3000) {
    CliResult r;
    CliEnv env;
    env.out = [&r](const QByteArray& b) { r.out += QString::fromUtf8(b); };
    env.err = [&r](const QByteArray& b) { r.err += QString::fromUtf8(b); };
    env.stop = stop;
    env.timing = testsupport::FastTiming();
    env.firstCycleTimeoutMs = firstCycleMs;
    r.code = RunCli(args, env);
    return r;
}

inline QString Com(int port) {
    return QStringLiteral("COM%1").arg(port);
}

}  // namespace clitest
