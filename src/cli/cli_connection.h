#pragma once

#include <QString>

#include "cli/cli_args.h"
#include "session/meter_session.h"

// A command of kv60x-cli and the meter: the core's MeterSession, reached with
// the command line's options, messages and exit codes. Each function returns
// -1 to go on, otherwise the exit code with its one line shown.
namespace cli {

// --demo: starts the session's simulated meter (COM250).
int StartDemo(const CliEnv& env, MeterSession& session);

// Resolves --port/--demo/--timeout (a port that is not there is a wrong
// argument), connects the session, polling the service data too when
// `serviceData`, and waits for its first complete polling cycle, for
// --timeout or the environment's bound, or until the command is stopped.
// A port that cannot be opened gets the window's lines (with the one about
// the dialout group when permission was denied).
int ConnectMeter(const CliEnv& env, const CommandArgs& args, MeterSession& session,
                 bool serviceData);

// "Błąd przy próbie odczytu liczy charakterystyk": the meter never reported
// its slot count.
QString SlotCountFailureText();

// Opens the batch's journal before the meter is touched: exit 2 with the
// journal's message ("... Nic nie zapisano do miernika.") when it cannot be
// written. Journaling off: nothing to open.
int OpenJournal(const CliEnv& env, WriteBatch& batch);

// How a write went. The meter holds the value: -1, a journal that could not
// complete the entry afterwards said on stderr. Otherwise: 2 when the journal
// stopped the write (nothing was sent) or its limits refused it, 1 with
// `meterFailure` (and the journal's note) when the meter did not confirm it.
int WriteOutcomeCode(const CliEnv& env, const WriteOutcome& outcome, const QString& meterFailure);

}  // namespace cli
