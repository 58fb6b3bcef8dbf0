#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "ui/qt_translations.h"

int main(int argc, char** argv) {
    // Nothing a test runs (the journal of meter changes above all) may write to
    // the user's own data folder: it gets one of its own, removed at the end.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kv60x-tests"));
    // As in the program, so that Qt's button texts can be checked.
    InstallPolishQt();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
