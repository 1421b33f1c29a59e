// A local file behind a device: a tty with its termios settings, modem lines
// and line counters, or (when the node is no tty) a file that only holds its
// descriptor, on which every comm call fails.
#pragma once

#include <memory>
#include <string>

#include "comm/posix/PosixDriver.h"

namespace commapi::posix {

class TTtyDriver final : public TDeviceDriver {
public:
    // Opens `path` for the Win32 access bits and, for a tty, takes the line
    // for this process alone in raw mode; null with the last error set on failure.
    static std::unique_ptr<TTtyDriver> Open(const std::string& path, DWORD desiredAccess);
    TTtyDriver(int fd, DWORD fileType, bool tty);
    ~TTtyDriver() override;

    DWORD FileType() const { return FFileType; }

    int Fd() const override { return FFd; }
    bool Serial() const override { return FTty; }
    void InitialState(DCB& dcb) override;
    DWORD ReadState(DCB& dcb) override;
    DWORD WriteState(const DCB& dcb) override;
    TReadResult Read(uint8_t* buffer, size_t size) override;
    size_t Write(const uint8_t* data, size_t size, DWORD& error) override;
    void Purge(bool output, bool input) override;
    DWORD OutputQueueBytes() const override;
    TLineChange Watch(DWORD mask) override;
    int WatchIntervalMs(DWORD mask) const override;
    DWORD Gone() const override { return FGone; }
    void Released() override;

private:
    TLineChange CheckLineCounters();

    const int FFd;
    const DWORD FFileType;
    const bool FTty;
    DWORD FGone = ERROR_SUCCESS;
    bool FRtsOnSend = false;  // the driver was asked to raise RTS while sending
    bool FHasCounters = false, FHasModemLines = false;
    TLineCounters FCounters;
    int FModemLines = 0;
};

}  // namespace commapi::posix
