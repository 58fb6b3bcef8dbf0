#include "sim_options.h"

#include <QRegularExpression>

void AddSimulatorOptions(QCommandLineParser& p) {
    p.addOptions({
        {"model", "Model name (KV-606, KV-607, KV-608).", "model", "KV-607"},
        {"letter", "Version letter.", "letter", "A"},
        {"version", "Version major.minor (one hex digit each).", "x.y", "1.3"},
        {"serial", "Serial number.", "n", "17"},
        {"date", "Startup date YYYY-MM.", "date", "2009-08"},
        {"temperature", "Temperature in degrees Celsius.", "t", "21.5"},
        {"drift", "Amplitude of a slow temperature drift (degrees).", "a", "0"},
        {"drift-period", "Period of the drift in seconds.", "s", "600"},
        {"temperature-error", "Flag the temperature reading as erroneous."},
        {"low-voltage", "Report low supply voltage."},
        {"memory-error", "Report a startup memory error."},
        {"data-error", "Report a startup data error."},
        {"service-text", "Service data text (8 characters).", "text", "S0000000"},
        {"coefficient", "Electrode shape coefficient.", "k", "1.0"},
        {"slots", "Number of characteristic slots reported.", "n", "20"},
        {"sample-slots", "Fill this many slots with sample characteristics.", "n", "0"},
        {"silent", "Answer nothing."},
        {"answer-on-nth", "Answer only the n-th sending of a command.", "n", "0"},
        {"late", "Answer every command this many milliseconds late.", "ms", "0"},
        {"garble", "Garble answers."},
        {"truncate", "Cut answers to this many characters.", "n", "-1"},
        {"unsolicited", "Send a line of its own this often (ms).", "ms", "0"},
        {"refuse-writes", "Refuse characteristic writes with \"!C\"."},
        {"bad-checksum", "Answer characteristic reads with a bad checksum."},
        {"bad-checksum-slot", "Answer reads of this slot (1 is the first) with a bad checksum.",
         "n"},
        {"wire-speed", "Pace the line at the real 9600 baud."},
    });
}

bool ReadSimulatorOptions(const QCommandLineParser& p, SimMeterState& s, SimFaults& f,
                          int& demoSlots, QString& error) {
    s.model = p.value("model").toStdString();
    if (s.model.size() != 6 || s.model.rfind("KV-", 0) != 0) {
        error = "--model must be six characters beginning KV-";
        return false;
    }
    const QString letter = p.value("letter");
    s.versionLetter = letter.isEmpty() ? ' ' : letter.at(0).toLatin1();
    static const QRegularExpression version("^([0-9A-Fa-f])\\.([0-9A-Fa-f])$");
    const auto vm = version.match(p.value("version"));
    if (!vm.hasMatch()) {
        error = "--version must look like 1.3";
        return false;
    }
    s.versionMajor = vm.captured(1).toInt(nullptr, 16);
    s.versionMinor = vm.captured(2).toInt(nullptr, 16);
    s.serialNumber = p.value("serial").toInt();
    static const QRegularExpression date("^(\\d{4})-(\\d{1,2})$");
    const auto dm = date.match(p.value("date"));
    if (!dm.hasMatch()) {
        error = "--date must look like 2009-08";
        return false;
    }
    s.startupYear = dm.captured(1).toInt();
    s.startupMonth = dm.captured(2).toInt();
    s.temperature = p.value("temperature").toDouble();
    s.driftAmplitude = p.value("drift").toDouble();
    s.driftPeriodS = p.value("drift-period").toDouble();
    s.temperatureError = p.isSet("temperature-error");
    s.lowSupplyVoltage = p.isSet("low-voltage");
    s.startupMemoryError = p.isSet("memory-error");
    s.startupDataError = p.isSet("data-error");
    s.serviceText = p.value("service-text").toStdString();
    s.electrodeCoefficient = p.value("coefficient").toDouble();
    s.slotCount = p.value("slots").toInt();
    demoSlots = p.value("sample-slots").toInt();
    f.silent = p.isSet("silent");
    f.answerOnNth = p.value("answer-on-nth").toInt();
    f.lateMs = p.value("late").toInt();
    f.garble = p.isSet("garble");
    f.truncateTo = p.value("truncate").toInt();
    f.unsolicitedEveryMs = p.value("unsolicited").toInt();
    f.refuseCharHeader = p.isSet("refuse-writes");
    f.badChecksum = p.isSet("bad-checksum");
    for (const QString& slot : p.values("bad-checksum-slot")) {
        bool ok = false;
        const int n = slot.toInt(&ok);
        if (!ok || n < 1 || n > 256) {
            error = "--bad-checksum-slot must be a slot number from 1 to 256";
            return false;
        }
        f.badChecksumSlots.insert(n - 1);
    }
    f.wireSpeed = p.isSet("wire-speed");
    return true;
}
