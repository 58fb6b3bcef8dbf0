#pragma once

// POSIX line settings of the serial port, kept apart so they can be checked
// without a device (pseudo-terminals ignore parity and character size).

#include <termios.h>

#include "serial/serial_port.h"

// Raw mode with the given line settings: no flow control, no parity checking,
// no character translation, reads return at once with what is queued.
void ComposeTermios(termios& tio, int baudRate, char parity, int dataBits, int stopBits);
SerialLineSettings DescribeTermios(const termios& tio);
