#include "sim/pty_posix.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

bool OpenPty(PtyPair& pty) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return false;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ::close(master);
        return false;
    }
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    pty.master = master;
    pty.keepSlave = slave;
    pty.slavePath = name;
    return true;
}

void ClosePty(PtyPair& pty) {
    if (pty.keepSlave >= 0) ::close(pty.keepSlave);
    if (pty.master >= 0) ::close(pty.master);
    pty.keepSlave = pty.master = -1;
    pty.slavePath.clear();
}

bool ReplaceSymlink(const std::string& target, const std::string& linkPath) {
    const std::string tmp = linkPath + ".new";
    ::unlink(tmp.c_str());
    if (::symlink(target.c_str(), tmp.c_str()) != 0) return false;
    return ::rename(tmp.c_str(), linkPath.c_str()) == 0;
}
