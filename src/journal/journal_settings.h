#pragma once

#include <QString>

// What a program tells the journal about itself.
struct JournalSettings {
    QString path;  // the journal file; empty: writes are not journaled (--no-journal)
    QString program;
    QString user;
    int busyTimeoutMs = 3000;  // how long to wait for another program's lock

    bool Enabled() const { return !path.isEmpty(); }
};
