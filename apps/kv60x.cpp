// kv60x: the main program.
//   kv60x [--service] [--demo] [--config FILE] [--journal FILE] [--port COMn|DEVICE]

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/widgets/kv60x_app.h"
#include "app/widgets/kv60x_dlg.h"
#include "kv60x_version.h"
#include "ui/prompts.h"
#include "ui/qt_translations.h"

namespace {

// --help needs no display: it is answered before the window system is opened.
bool HelpAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h") ||
            !std::strcmp(argv[i], "--help-all"))
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (HelpAsked(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kv60x"));
        std::printf("%s", AppUsageText().toUtf8().constData());
        return 0;
    }
    // A file size limit is an error of the write that met it (the old file is
    // kept and the user told), not the end of the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv60x"));
    QApplication::setOrganizationName(QStringLiteral("kv60x"));
    QApplication::setApplicationVersion(QStringLiteral(KV60X_VERSION));
    // Qt's own dialogs and buttons speak Polish like the rest of the program.
    InstallPolishQt();

    AppOptions options;
    QString error;
    bool help = false;
    if (!ParseAppOptions(QApplication::arguments(), options, error, &help)) {
        std::fprintf(stderr, "kv60x: %s\n\n%s", qPrintable(error), qPrintable(AppUsageText()));
        return 2;
    }
    if (help) {
        std::printf("%s", AppUsageText().toUtf8().constData());
        return 0;
    }
    Ckv60xApp kv60x(options, QApplication::arguments());
    if (!kv60x.Start()) {
        Prompts::instance().message(nullptr,
                                    QStringLiteral("Nie można uruchomić symulowanego miernika."),
                                    Prompts::Icon::Critical);
        return 1;
    }
    kv60x.window()->exec();
    kv60x.Finish();
    return 0;
}
