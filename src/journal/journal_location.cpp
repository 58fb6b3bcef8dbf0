#include "journal/journal_location.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString ResolveJournalPath(const QString& journalOption, const QString& configOption) {
    if (!journalOption.isEmpty()) return QFileInfo(journalOption).absoluteFilePath();
    if (!configOption.isEmpty()) {
        return QFileInfo(configOption).absoluteDir().filePath(QStringLiteral("journal.sqlite"));
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("kv60x/journal.sqlite"));
}

QString JournalUserName() {
    for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString v = qEnvironmentVariable(name);
        if (!v.isEmpty()) return v;
    }
    return QStringLiteral("?");
}
