#pragma once

#include <QString>
#include <map>
#include <vector>

// COM numbers on this platform. The configuration keeps a COM number, so every
// serial device gets one by a fixed rule:
//   /dev/ttyS<n>   -> COM n+1   (n < 32)
//   /dev/ttyUSB<n> -> COM 33+n  (n < 32)
//   /dev/ttyACM<n> -> COM 65+n  (n < 32)
//   any other serial device: the lowest free number from 97 upward, in order
//   of device name;
//   devices registered by the program (the demo meter as COM 250, a device
//   named with --port) keep the number they were registered with.

struct PortEntry {
    int number = 0;       // COM number, 1..255
    QString description;  // the system's description, may be empty
    QString device;       // device path, e.g. /dev/ttyUSB0
};

// A serial device as the system lists it.
struct ListedDevice {
    QString device;
    QString description;
};

// The numbering rule: registered devices keep their numbers, fixed names get
// theirs, every other device the lowest free number from 97 upward in order of
// its device name. Ascending by number.
std::vector<PortEntry> NumberDevices(const std::vector<ListedDevice>& devices,
                                     const std::map<int, QString>& registered);

// COM number by the fixed rule for /dev/ttyS, ttyUSB, ttyACM; 0 for any other name.
int FixedComNumber(const QString& devicePath);

// Every present serial port (and every registered device), ascending by number.
std::vector<PortEntry> ListPortEntries();

// The port list text: one line per port, "COM%u:%s\n" with the description
// ("description – device", or the device alone) or "COM%u\n"; a trailing
// " (COMn)" of the description is cut. Returns true (a failure to list is an
// empty list).
bool ListPorts(QString& text);

// The entries shown in the port selection: "COMn (description)" or "COMn".
QStringList PortListEntries(const QString& listText);

// The device behind COM n; empty when there is none.
QString DeviceForPort(int number);

// The COM number of a device path: its fixed or listed number, or a number
// registered for it now (lowest free from 97 upward). 0 for an empty path.
int PortForDevice(const QString& devicePath);

// Makes COM n stand for devicePath (the demo meter, tests); an empty path removes it.
void RegisterPortDevice(int number, const QString& devicePath);

// "COM7" -> 7, "COM12 (x)" -> 12; a number given alone is taken too; 0 when none.
int ParsePortNumber(const QString& text);

// A --port argument as the programs take it: "COMn" (any case) or "n" with n in
// 1..255, or a device path (starting with "/"), which gets its COM number by
// PortForDevice. Blanks around it are ignored. Returns the COM number, or 0
// with *error (when given) set to the message for the user. Whether the device
// is present is not checked here.
int ResolvePortArgument(const QString& arg, QString* error);
