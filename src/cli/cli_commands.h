#pragma once

#include <QStringList>
#include <vector>

#include "cli/cli.h"
#include "report/meter_report.h"

class MeterSession;

// The commands of kv60x-cli, one function each: `args` are the words after the
// command's name. Each returns the exit code.
namespace cli {

// The meter (cli_meter.cpp; log in cli_log.cpp).
int CmdPorts(const CliEnv& env, const QStringList& args);
int CmdInfo(const CliEnv& env, const QStringList& args);
int CmdWatch(const CliEnv& env, const QStringList& args);
int CmdLog(const CliEnv& env, const QStringList& args);

// Characteristics between the meter and the record files (cli_transfer.cpp;
// table diff in cli_table_diff.cpp).
int CmdTable(const CliEnv& env, const QStringList& args);
int CmdRecord(const CliEnv& env, const QStringList& args);
// table diff: the meter's slots against a record set file, `args` after "diff".
int TableDiff(const CliEnv& env, const QStringList& args);

// Commissioning a meter: its table and service values as asked, written where
// they differ, read back and checked (cli_commission.cpp).
int CmdCommission(const CliEnv& env, const QStringList& args);

// The meter's commissioning data (cli_service.cpp).
int CmdService(const CliEnv& env, const QStringList& args);

// The record files alone (cli_files.cpp).
int CmdShow(const CliEnv& env, const QStringList& args);
int CmdConvert(const CliEnv& env, const QStringList& args);

// The journal of meter changes: list, show, restore (cli_journal.cpp).
int CmdJournal(const CliEnv& env, const QStringList& args);

// The meter report as a PDF, or the report of a set file (cli_report.cpp).
int CmdReport(const CliEnv& env, const QStringList& args);
// The report of the connected meter at `path` (its table read anew), with a
// verification list (a commission's steps) when `verificationTitle` is set.
// The exit code; "Raport ... -> path" on success.
int WriteMeterReport(const CliEnv& env, MeterSession& session, const MeterReportRequest& request,
                     const QString& path, const std::vector<ReportCheck>& verification,
                     const QString& verificationTitle);

// The usage lines of one command, from the command table (cli.cpp): what
// `table --help` and the like print.
QString CommandUsage(const QString& command);

}  // namespace cli
