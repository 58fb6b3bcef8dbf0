#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

#include "journal/journal_entry.h"

namespace journaltest {

// An entry of a meter with the given serial number.
inline JournalEntry SampleEntry(int serial, JournalTarget target = JournalTarget::SerialNumber) {
    JournalEntry e;
    e.program = QStringLiteral("kv60x-cli");
    e.user = QStringLiteral("tester");
    e.meter.model = QStringLiteral("KV-606");
    e.meter.letter = QStringLiteral("A");
    e.meter.serial = serial;
    e.meter.version = QStringLiteral("1.3");
    e.target = target;
    e.before = SerialNumberValue(serial);
    e.after = SerialNumberValue(serial + 1);
    return e;
}

// Runs statements on a connection of its own (not the journal's code), e.g. to
// lay down an old schema or to hold a lock. The connection closes with the
// object.
class RawDb {
public:
    explicit RawDb(const QString& path) : m_name(QStringLiteral("raw_%1").arg(++Counter())) {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        m_db.setDatabaseName(path);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
        m_db.open();
    }
    ~RawDb() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool Exec(const QString& sql) {
        QSqlQuery q(m_db);
        return q.exec(sql);
    }
    // The first column of the first row, or an invalid QVariant.
    QVariant Value(const QString& sql) {
        QSqlQuery q(m_db);
        if (!q.exec(sql) || !q.next()) return QVariant();
        return q.value(0);
    }

private:
    static int& Counter() {
        static int n = 0;
        return n;
    }
    QString m_name;
    QSqlDatabase m_db;
};

}  // namespace journaltest
