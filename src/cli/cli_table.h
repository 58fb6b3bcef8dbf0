#pragma once

#include <QString>
#include <set>
#include <vector>

#include "cli/cli_args.h"
#include "records/char_rec.h"

// What the commands that take a record set file to the meter share (table
// write, table diff, commission): the file, the --slots list, the check of
// its records for writing, the slots a command covers, and the progress line.
// Each function returns -1 to go on, otherwise the exit code with its one
// line shown.
namespace cli {

// Loads the record set file; exit 2 naming it when it cannot be read.
int LoadTableFile(const CliEnv& env, const QString& path, CTableCharRec* set);

// "1,3-5" -> {1, 3, 4, 5} (1 is the first slot); false on anything else.
bool ParseSlotList(const QString& text, std::set<int>* out);
// The --slots option's list into `chosen` (left empty when the option is not
// given); exit 2 when it does not parse.
int ReadSlotList(const CliEnv& env, const CommandArgs& args, const QCommandLineOption& option,
                 std::set<int>* chosen);

// Every record of the file that would be written (the chosen ones, or all of
// the first `fileCount`) must pass the editor's validation; an empty slot (no
// curve) may be written to clear the slot, a block marked not valid is never
// sent.
int CheckTableForWrite(const CliEnv& env, const CTableCharRec& set, int fileCount,
                       const std::set<int>& chosen);

// The slots (0-based) a command covers: the chosen ones, or all that both the
// file and the meter have; exit 2 for a chosen slot beyond either.
int PlanTableWrite(const CliEnv& env, const std::set<int>& chosen, int fileCount, int meterCount,
                   std::vector<int>* todo);

// The progress line on stderr ("\rwhat: done/total"), when the environment
// asks for one; EndProgress ends a line left unfinished.
void Progress(const CliEnv& env, const QString& what, int done, int total);
void EndProgress(const CliEnv& env, int done, int total);

}  // namespace cli
