// The journal of meter changes with many entries: how long opening it, the
// first page of the list (all meters and one meter), counting, one entry's
// details and the history window take. The entries are generated here, in one
// transaction, 4 in 5 of them characteristic writes with both 256-byte images.
//
//   QT_QPA_PLATFORM=offscreen build/bench/kv60x_bench_journal_views [ENTRIES]

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/widgets/journal_dlg.h"
#include "app/widgets/journal_model.h"
#include "journal/journal_db.h"
#include "journal/journal_fields.h"
#include "session/meter_session.h"

namespace {

// Median of `runs` timings of fn, in milliseconds.
double MedianMs(int runs, const std::function<void()>& fn) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

bool Generate(const QString& path, int count) {
    QString error;
    if (!JournalDb::Open(path, JournalDb::Mode::Write, &error)) return false;  // the schema
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "generate");
        db.setDatabaseName(path);
        if (!db.open()) return false;
        QSqlQuery q(db);
        q.exec(QStringLiteral("BEGIN"));
        q.prepare(QStringLiteral(
            "INSERT INTO entries (time_ms, program, user_name, meter_model, meter_letter,"
            " meter_serial, meter_version, target, slot, before, after, outcome, completed_ms,"
            " message) VALUES (?, ?, 'anna', 'KV-607', 'A', ?, '1.3', ?, ?, ?, ?, ?, ?, '')"));
        QByteArray image(256, '\0');
        const qint64 t0 = 1700000000000;
        for (int i = 0; i < count; ++i) {
            const bool characteristic = i % 5 != 0;
            for (int b = 0; b < 255; ++b) image[b] = static_cast<char>((i * 7 + b) & 0xFF);
            q.addBindValue(t0 + i * 60000LL);
            q.addBindValue(i % 3 ? QStringLiteral("kv60x") : QStringLiteral("kv60x-cli"));
            q.addBindValue(1000 + i % 50);
            q.addBindValue(characteristic ? QStringLiteral("characteristic")
                                          : QStringLiteral("serial_number"));
            q.addBindValue(characteristic ? QVariant(i % 150)
                                          : QVariant(QMetaType(QMetaType::Int)));
            q.addBindValue(characteristic ? image : QByteArray::number(1000 + i % 50));
            q.addBindValue(characteristic ? image : QByteArray::number(2000 + i % 50));
            q.addBindValue(i % 97 ? QStringLiteral("confirmed") : QStringLiteral("failed"));
            q.addBindValue(t0 + i * 60000LL + 700);
            if (!q.exec()) return false;
        }
        q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("generate"));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("journal.sqlite"));
    QElapsedTimer gen;
    gen.start();
    if (!Generate(path, count)) return 1;
    std::printf("%d entries generated in %.1f s\n", count, gen.elapsed() / 1000.0);

    QString error;
    const int runs = 5;
    std::printf("open to read: %.2f ms\n",
                MedianMs(runs, [&] { JournalDb::Open(path, JournalDb::Mode::Read, &error); }));
    std::printf("open to write (with the integrity check): %.2f ms\n",
                MedianMs(runs, [&] { JournalDb::Open(path, JournalDb::Mode::Write, &error); }));
    auto db = JournalDb::Open(path, JournalDb::Mode::Read, &error);
    if (!db) return 1;
    JournalQuery all;
    std::printf("first page of 200, all meters: %.2f ms\n",
                MedianMs(runs, [&] { db->List(all, &error); }));
    JournalQuery one;
    one.serial = 1017;
    std::printf("first page of 200, one meter: %.2f ms\n",
                MedianMs(runs, [&] { db->List(one, &error); }));
    JournalQuery deep;
    deep.beforeId = count / 2;
    std::printf("a page in the middle: %.2f ms\n", MedianMs(runs, [&] { db->List(deep, &error); }));
    std::printf("count all / one meter / list of meters: %.2f / %.2f / %.2f ms\n",
                MedianMs(runs, [&] { db->Count(std::nullopt, &error); }),
                MedianMs(runs, [&] { db->Count(1017, &error); }),
                MedianMs(runs, [&] { db->Serials(&error); }));
    std::printf("one entry with its fields side by side: %.2f ms\n", MedianMs(runs, [&] {
                    if (auto e = db->Get(count / 2 + 1, &error)) JournalFieldRows(*e, true);
                }));

    JournalSettings settings;
    settings.path = path;
    MeterSession service;  // no meter: the window's lists and details only
    service.SetServiceMode(true);
    std::printf("history window opened and shown: %.2f ms\n", MedianMs(runs, [&] {
                    JournalDlg dlg(settings, &service);
                    dlg.show();
                    QApplication::processEvents();
                }));
    JournalDlg dlg(settings, &service);
    dlg.show();
    QApplication::processEvents();
    int row = 0;
    std::printf("another entry chosen in the window: %.2f ms\n", MedianMs(runs, [&] {
                    dlg.SelectRow(++row);
                    QApplication::processEvents();
                }));
    std::printf("filter to one meter in the window: %.2f ms\n", MedianMs(runs, [&] {
                    dlg.MeterFilter()->setCurrentIndex(dlg.MeterFilter()->currentIndex() % 50 + 1);
                    QApplication::processEvents();
                }));
    std::printf("scrolled to the end of 1000 rows: %.2f ms\n", MedianMs(1, [&] {
                    dlg.MeterFilter()->setCurrentIndex(0);
                    for (int i = 0; i < 5; ++i) {
                        dlg.List()->scrollToBottom();
                        QApplication::processEvents();
                    }
                }));
    return 0;
}
