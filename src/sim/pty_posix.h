#pragma once

#include <string>

// A pseudo-terminal pair for the simulated meter. The master side is the meter's
// end of the "cable"; the slave's path is what the program opens.
struct PtyPair {
    int master = -1;
    int keepSlave = -1;  // held open so the master never sees a hang-up between opens
    std::string slavePath;
};

// Opens a raw, non-blocking pty pair; false on failure (errno set).
bool OpenPty(PtyPair& pty);
void ClosePty(PtyPair& pty);

// Points linkPath at target, replacing an existing link atomically.
bool ReplaceSymlink(const std::string& target, const std::string& linkPath);
