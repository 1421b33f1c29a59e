// Small helpers on file descriptors shared by the benchmarks' bare loops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/types.h>

namespace bench {

// Sets `*error` (when given) to the step and errno's text; always false.
bool Fail(std::string* error, const char* step);
void CloseFd(int& fd);
// A tty raw, with reads that return at once.
bool MakeRaw(int fd);
// Opens a tty non-blocking and makes it raw into `fd` (which the caller
// closes, also after a failure); false with `*error` set on failure.
bool OpenRaw(const std::string& path, int& fd, std::string* error);
// Adds one to an eventfd.
void Signal(int fd);
// Sleeps until the eventfd `fd` is signalled, and takes the signal; false
// when `stop` (an eventfd, or -1) is signalled first, on an error, or after
// `timeoutMs` (-1: no limit).
bool WaitSignal(int fd, int stop, int timeoutMs);
// Sleeps in poll until `fd` has bytes and reads them; 0 when `stop` (an
// eventfd) is signalled, the line is gone or the read fails.
size_t ReadWhenReady(int fd, int stop, uint8_t* buffer, size_t size);

}  // namespace bench
