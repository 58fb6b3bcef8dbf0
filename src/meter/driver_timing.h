#pragma once

// Timing of the link. The defaults are the meter's; tests shorten them.
struct DriverTiming {
    int replyTimeoutMs = 1000;  // wait for one answer
    int attempts = 4;           // sendings of a command with retries
    int cycleSleepMs = 1000;    // pause after a complete polling cycle
    // The polling cycle is skipped while the last accepted line is at most this
    // old (the meter counts whole seconds: "at most 5 s" is 5 to 6 s).
    int idleMs = 5500;
    int charWritePauseMs = 100;   // between "CW%02X" and the data line
    int reopenIntervalMs = 1000;  // retrying a vanished device
};
