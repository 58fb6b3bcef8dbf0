#pragma once

#include <cstdint>

// Receiver of a serial port's input. The port calls it on its own I/O thread.
class CGenericDriver {
public:
    virtual ~CGenericDriver() = default;
    // One received byte, in arrival order.
    virtual void OnByteReceived(uint8_t byte) {}
    // The device failed for good (unplugged adapter, pty closed): the open
    // handle will deliver nothing more. Called once per port object.
    virtual void OnPortFailed() {}
};
