#pragma once

#include <QString>

// Where the journal of meter changes lives:
// - `journalOption` (--journal FILE) when given;
// - otherwise "journal.sqlite" beside the configuration file when one was given
//   with --config (`configOption`), so tests and portable installs keep the two
//   together;
// - otherwise "kv60x/journal.sqlite" in the user's data folder
//   ($XDG_DATA_HOME, by default ~/.local/share).
// Relative paths are made absolute against the current folder.
QString ResolveJournalPath(const QString& journalOption, const QString& configOption);

// The user name an entry carries: the account the program runs as (from the
// system's user database), else the login name from the environment, "?" when
// neither names one.
QString JournalUserName();
