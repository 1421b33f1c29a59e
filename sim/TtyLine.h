// POSIX plumbing of the simulator's line: a pty pair or an existing tty, raw.
#pragma once

#include <optional>
#include <string>

#include "sim/LineTiming.h"

namespace sim {

struct TLineFds {
    int Master = -1;  // the simulator's end (the tty itself when serving a tty)
    int Slave = -1;   // kept open on a pty so the master never sees a hang-up
    std::string Path;
};

// Both return false with a reason in *error; nothing is left open then.
bool OpenPtyPair(TLineFds& fds, std::string* error);
bool OpenTty(const std::string& path, TLineFds& fds, std::string* error);
void CloseLine(TLineFds& fds);
// The character frame the tty is set to (data bits, parity, stop bits);
// nothing when its settings cannot be read.
std::optional<TCharFrame> TtyCharFrame(int fd);

}  // namespace sim
