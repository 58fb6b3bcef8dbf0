// kv60x: the main program.
//   kv60x [--service] [--demo] [--config FILE] [--journal FILE] [--port COMn|DEVICE]

#include <QApplication>
#include <csignal>
#include <cstdio>

#include "app/widgets/kv60x_app.h"
#include "app/widgets/kv60x_dlg.h"
#include "kv60x_version.h"
#include "ui/prompts.h"
#include "ui/qt_translations.h"

int main(int argc, char** argv) {
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
