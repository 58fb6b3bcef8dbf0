// Start-up with a large configuration: a generated kv60x.ini of many foreign
// sections (plus the program's own three) opened, read into the settings, the
// settings stored back and the file rewritten, as start-up and exit do. The
// time of each step should stay well under a second for 50 000 sections and
// grow in proportion to the file.
//
//   build/bench/kv60x_bench_ini [SECTIONS]      (default 50000)

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/app_settings.h"
#include "app/ini_ex.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

QByteArray Generated(int sections) {
    QByteArray text;
    text.reserve(sections * 60);
    text += "[INPUT_VALUE]\r\nBACKGROUND_INPUT=13559807\r\n";
    for (int i = 0; i < sections; ++i) {
        // Other programs' sections, code page 1250 bytes among them.
        text += "[OBCA_SEKCJA_" + QByteArray::number(i) + "]\r\n";
        text += "KLUCZ=warto\xB6\xE6 " + QByteArray::number(i) + "\r\n";
        text += "INNY=" + QByteArray::number(i * 7) + "\r\n";
    }
    text += "[GENERAL]\r\nPORT_NR=3\r\n[LOG]\r\nFILE_INTERVAL=60\r\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int sections = argc > 1 ? std::atoi(argv[1]) : 50000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kv60x.ini"));
    const QByteArray text = Generated(sections);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return 1;
    f.close();

    auto start = std::chrono::steady_clock::now();
    auto ini = std::make_unique<CIniEx>();
    if (ini->Open(path, true, true, true) != CIniEx::OpenResult::Opened) return 1;
    const double open = Seconds(start);

    start = std::chrono::steady_clock::now();
    AppSettings s = LoadAppSettings(*ini);
    const double load = Seconds(start);

    start = std::chrono::steady_clock::now();
    s.portNr = 4;
    StoreAppSettings(*ini, s);
    const bool written = ini->Write();
    const double save = Seconds(start);
    ini.reset();

    QFile back(path);
    back.open(QIODevice::ReadOnly);
    const QByteArray after = back.readAll();
    const bool foreignKept =
        after.contains("KLUCZ=warto\xB6\xE6 " + QByteArray::number(sections - 1));
    std::printf(
        "%d sections, %.1f MB: open %.3f s, read settings %.4f s, store and rewrite %.3f s%s%s\n",
        sections, text.size() / 1e6, open, load, save, written ? "" : " (write FAILED)",
        foreignKept ? "" : " (foreign lines LOST)");
    return written && foreignKept ? 0 : 1;
}
