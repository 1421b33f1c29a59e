// Line settings of a Linux tty and their mapping to and from the DCB.
#pragma once

#include <cstdint>

#include "comm/CommApi.h"

namespace commapi::posix {

// The kernel's termios2, mirrored so that callers need not include the kernel
// header (it clashes with the C library's termios.h). Flag values are the
// C library's, which are the kernel's on Linux.
struct TLineSettings {
    static constexpr int ControlChars = 19;
    uint32_t iflag = 0, oflag = 0, cflag = 0, lflag = 0;
    uint8_t line = 0;
    uint8_t cc[ControlChars] = {};
    uint32_t ispeed = 0, ospeed = 0;
};

// Both return 0 or an errno value. Writing sets both speeds as given, through
// BOTHER, so any rate the driver accepts can be used.
int ReadLineSettings(int fd, TLineSettings& line);
int WriteLineSettings(int fd, const TLineSettings& line);

// Raw binary line: no echo, no line editing, no translation, no signals,
// receiver on, modem lines ignored for open and read, no hang-up on close,
// no parity check; a read returns what has arrived (at least one byte).
void MakeRaw(TLineSettings& line);

// Whether a Linux line can do what the DCB asks: not 4 data bits, 1.5 stop
// bits with more than 5 data bits, 2 with 5, DTR/DSR handshake, a zero
// speed, equal XON and XOFF characters.
bool DcbSupported(const DCB& dcb);

// Applies the DCB's speed, frame, parity check and handshakes to `line`.
// ERROR_INVALID_PARAMETER (and `line` unchanged) for what Linux cannot do
// (DcbSupported). RTS toggle with
// the CTS handshake is the handshake; see RtsRaisedWhileSending for it alone.
// DTR and RTS line levels are not part of the settings; see DcbModemLines.
DWORD LineFromDcb(const DCB& dcb, TLineSettings& line);

// Refreshes the fields of `dcb` that the line settings determine.
void DcbFromLine(const TLineSettings& line, DCB& dcb);

// The DTR and RTS levels a DCB asks for; `set` false means leave the line alone
// (the driver drives RTS in handshake modes; DTR handshake is refused by
// LineFromDcb before this is asked).
struct TModemLineRequest {
    bool setDtr, dtrOn, setRts, rtsOn;
};
TModemLineRequest DcbModemLines(const DCB& dcb);

// RTS toggle without the CTS handshake: RTS up only while sending, which only
// a driver can do (RS-485 mode); otherwise it stays down.
bool RtsRaisedWhileSending(const DCB& dcb);

}  // namespace commapi::posix
