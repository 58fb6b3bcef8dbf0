// kv60x-cli: the meter and the record files from the command line.

#include <unistd.h>

#include <QCoreApplication>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdio>

#include "cli/cli.h"

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

// Only sets the flag; the commands look at it between their steps.
void OnStopSignal(int) {
    g_stop.store(true);
}

void WriteAll(FILE* f, const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
    std::fflush(f);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kv60x-cli"));
    // Qt takes the user's locale for everything; the registration file's date
    // follows LC_TIME, numbers are always printed with a full stop.
    std::setlocale(LC_NUMERIC, "C");

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    CliEnv env;
    env.out = [](const QByteArray& b) { WriteAll(stdout, b); };
    env.err = [](const QByteArray& b) { WriteAll(stderr, b); };
    env.stop = &g_stop;
    env.progress = ::isatty(STDERR_FILENO) == 1;

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCli(args, env);
}
