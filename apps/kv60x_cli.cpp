// kv60x-cli: the meter and the record files from the command line.

#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstring>
#include <memory>

#include "cli/cli.h"
#include "files/safe_file.h"

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");
// The errno of the first failed write to standard output, 0 while none failed.
std::atomic<int> g_outError{0};

// Only sets the flag; the commands look at it between their steps.
void OnStopSignal(int) {
    g_stop.store(true);
}

// Writes all of `bytes`; the errno of a failure, 0 when everything went out.
int WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

// Standard output is checked like a file: the first failed write is kept, and
// it stops a command that goes on until it is stopped (watch, log), since
// nobody reads what it prints any more.
void WriteOut(const QByteArray& bytes) {
    if (g_outError.load() != 0) return;
    if (const int error = WriteAll(STDOUT_FILENO, bytes); error != 0) {
        g_outError.store(error);
        g_stop.store(true);
    }
}

// After the command: a standard output that failed, or fails to close (a file
// on a full network disk), turns success, or differences found (whose
// listing was lost), into exit code 2 with one line. A command that failed
// already has said so in its own line.
int FinishOutput(int code) {
    int error = g_outError.load();
    // Closed from the start (">&-") with nothing written is not a failure.
    if (error == 0 && ::close(STDOUT_FILENO) != 0 && errno != EBADF && errno != EINTR)
        error = errno;
    if (error == 0 || (code != kExitOk && code != kExitDiffer)) return code;
    WriteAll(STDERR_FILENO, QStringLiteral("Błąd zapisu na standardowe wyjście (%1)\n")
                                .arg(SystemErrorText(error))
                                .toUtf8());
    return kExitUsage;
}

// A PDF report draws text, and fonts come from a QGuiApplication: the command
// "report", or any command asked for a report beside its own output
// ("--report FILE"), runs with one on the "offscreen" platform, so that no
// display is ever needed. The others keep the plain core application: no
// platform plugin loaded by `watch` or `log`, which run for days.
bool NeedsFonts(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "report") == 0) return true;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--report") == 0 || std::strncmp(argv[i], "--report=", 9) == 0)
            return true;
    }
    return false;
}

// Qt's offscreen platform asks for the runtime folder and warns on stderr when
// XDG_RUNTIME_DIR is unset (a service account, cron) although it then uses
// its own; that line is not the command's, whose stderr holds its messages
// only. Everything else goes where Qt sends it.
QtMessageHandler g_qtHandler = nullptr;
void QuietRuntimeFolder(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (g_qtHandler) g_qtHandler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> application;
    if (NeedsFonts(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        g_qtHandler = qInstallMessageHandler(QuietRuntimeFolder);
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("kv60x-cli"));
    // Qt takes the user's locale for everything; the registration file's date
    // follows LC_TIME, numbers are always printed with a full stop.
    std::setlocale(LC_NUMERIC, "C");

    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    // A closed pipe or a file size limit is an error of the write that met it,
    // reported like any other, not the end of the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);

    CliEnv env;
    env.out = WriteOut;
    env.err = [](const QByteArray& b) { WriteAll(STDERR_FILENO, b); };
    env.stop = &g_stop;
    env.progress = ::isatty(STDERR_FILENO) == 1;

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return FinishOutput(RunCli(args, env));
}
