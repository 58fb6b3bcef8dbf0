#include "journal/journal_location.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

QString ResolveJournalPath(const QString& journalOption, const QString& configOption) {
    if (!journalOption.isEmpty()) return QFileInfo(journalOption).absoluteFilePath();
    if (!configOption.isEmpty()) {
        return QFileInfo(configOption).absoluteDir().filePath(QStringLiteral("journal.sqlite"));
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(data).filePath(QStringLiteral("kv60x/journal.sqlite"));
}

QString JournalUserName() {
    // The account the program runs as, from the system's user database; the
    // environment only where that has no name for it (it is easier to change).
#ifdef Q_OS_UNIX
    if (const passwd* pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
#endif
    for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString v = qEnvironmentVariable(name);
        if (!v.isEmpty()) return v;
    }
    return QStringLiteral("?");
}
