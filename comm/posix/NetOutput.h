// Bytes a network device has committed to its connection but the socket has
// not taken yet: protocol messages and the second half of an escaped 0xFF.
// They leave in order, before any later data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace commapi::posix {

class TNetOutput {
public:
    enum class EResult { Done, NoRoom, Failed };

    bool Empty() const { return FSent == FBytes.size(); }
    size_t Size() const { return FBytes.size() - FSent; }
    std::vector<uint8_t>& Bytes() { return FBytes; }  // append here, then Flush

    // Sends what waits; Failed leaves the errno in `err`.
    EResult Flush(int fd, int& err);

private:
    std::vector<uint8_t> FBytes;
    size_t FSent = 0;
};

// One send that never raises SIGPIPE; the bytes taken, or -1 with errno.
long SendSome(int fd, const uint8_t* data, size_t size);

}  // namespace commapi::posix
