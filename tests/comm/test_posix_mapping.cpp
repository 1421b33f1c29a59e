// The Linux provider's mappings that need no device: names, error codes,
// DCB <-> line settings, line counters and modem lines, the input queue.
#include <gtest/gtest.h>

#include <cerrno>

#include <sys/ioctl.h>
#include <termios.h>

#include "comm/posix/PosixCommApi.h"
#include "comm/posix/PosixErrors.h"
#include "comm/posix/PosixInputQueue.h"
#include "comm/posix/PosixLine.h"
#include "comm/posix/PosixLineIo.h"

using namespace commapi;
using namespace commapi::posix;

namespace {

TEST(DeviceNames, WindowsNamesMapToSerialDevices) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},         {"com4", "/dev/ttyS3"},       {"Com2", "/dev/ttyS1"},
        {"COM9", "/dev/ttyS8"},         {"COM10", "COM10"},           {"\\\\.\\COM12", "/dev/ttyS11"},
        {"\\\\.\\com1", "/dev/ttyS0"},  {"COM0", "COM0"},             {"COM01", "COM01"},
        {"COM1x", "COM1x"},             {"COM", "COM"},               {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/3", "/dev/pts/3"},   {"\\\\.\\COM0", "\\\\.\\COM0"}};
    for (const auto& [name, path] : cases) EXPECT_EQ(TPosixCommApi::DevicePath(name), path) << name;
}

TEST(ErrorCodes, ErrnoValuesReadAsSystemCodes) {
    const std::pair<int, DWORD> cases[] = {
        {ENOENT, 2}, {ENOTDIR, 3}, {EMFILE, 4}, {EACCES, 5},  {EBUSY, 5},    {EWOULDBLOCK, 5},
        {EBADF, 6},  {ENOMEM, 8},  {EIO, 31},   {ENXIO, 55},  {ENODEV, 55},  {EINVAL, 87},
        {ENOTTY, 1}, {0, 0},       {EXDEV, 31},
        // A network device's connection: none of these is a lost line.
        {ECONNREFUSED, 1225}, {ENETUNREACH, 1231}, {EHOSTUNREACH, 1232}, {ETIMEDOUT, 121}, {ECONNRESET, 1236}};
    for (const auto& [err, code] : cases) EXPECT_EQ(Win32Error(err), code) << err;
}

DCB Dcb(BYTE size, BYTE parity, BYTE stop, DWORD flags = DCB_fBinary) {
    DCB dcb{};
    dcb.BaudRate = 38400;
    dcb.ByteSize = size;
    dcb.Parity = parity;
    dcb.StopBits = stop;
    dcb.Flags = flags;
    dcb.XonChar = 17;
    dcb.XoffChar = 19;
    return dcb;
}

TEST(LineFromDcb, FramesLinuxCanAndCannotDo) {
    struct Case {
        BYTE size, stop;
        bool ok;
        tcflag_t csize;
        bool cstopb;
    };
    const Case cases[] = {{8, ONESTOPBIT, true, CS8, false},  {7, TWOSTOPBITS, true, CS7, true},
                          {6, ONESTOPBIT, true, CS6, false},  {5, ONE5STOPBITS, true, CS5, true},
                          {8, ONE5STOPBITS, false, 0, false}, {5, TWOSTOPBITS, false, 0, false},
                          {4, ONESTOPBIT, false, 0, false},   {9, ONESTOPBIT, false, 0, false},
                          {8, 3, false, 0, false}};
    for (const Case& c : cases) {
        TLineSettings line;
        line.cflag = CS7 | CSTOPB | CREAD;
        const TLineSettings before = line;
        const DWORD result = LineFromDcb(Dcb(c.size, NOPARITY, c.stop), line);
        if (!c.ok) {
            EXPECT_EQ(result, ERROR_INVALID_PARAMETER) << int(c.size) << "/" << int(c.stop);
            EXPECT_EQ(line.cflag, before.cflag) << "a refused DCB changes nothing";
            continue;
        }
        EXPECT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(line.cflag & CSIZE, c.csize);
        EXPECT_EQ(bool(line.cflag & CSTOPB), c.cstopb);
        EXPECT_TRUE(line.cflag & CREAD) << "other bits are kept";
        DCB back = Dcb(8, NOPARITY, ONESTOPBIT);
        DcbFromLine(line, back);
        EXPECT_EQ(back.ByteSize, c.size);
        EXPECT_EQ(back.StopBits, c.stop);
    }
}

TEST(LineFromDcb, EveryParity) {
    const std::pair<BYTE, tcflag_t> cases[] = {{NOPARITY, 0},
                                               {ODDPARITY, PARENB | PARODD},
                                               {EVENPARITY, PARENB},
                                               {MARKPARITY, PARENB | PARODD | CMSPAR},
                                               {SPACEPARITY, PARENB | CMSPAR}};
    for (const auto& [parity, bits] : cases) {
        TLineSettings line;
        line.cflag = PARENB | PARODD | CMSPAR;
        ASSERT_EQ(LineFromDcb(Dcb(8, parity, ONESTOPBIT), line), ERROR_SUCCESS);
        EXPECT_EQ(line.cflag & (PARENB | PARODD | CMSPAR), bits) << int(parity);
        DCB back{};
        DcbFromLine(line, back);
        EXPECT_EQ(back.Parity, parity);
    }
    TLineSettings line;
    EXPECT_EQ(LineFromDcb(Dcb(8, 5, ONESTOPBIT), line), ERROR_INVALID_PARAMETER);
}

TEST(LineFromDcb, SpeedsAreTakenAsGiven) {
    for (const DWORD baud : {110u, 14400u, 56000u, 128000u, 256000u}) {
        TLineSettings line;
        DCB dcb = Dcb(8, NOPARITY, ONESTOPBIT);
        dcb.BaudRate = baud;
        ASSERT_EQ(LineFromDcb(dcb, line), ERROR_SUCCESS);
        EXPECT_EQ(line.ispeed, baud);
        EXPECT_EQ(line.ospeed, baud);
    }
    TLineSettings line;
    DCB zero = Dcb(8, NOPARITY, ONESTOPBIT);
    zero.BaudRate = 0;
    EXPECT_EQ(LineFromDcb(zero, line), ERROR_INVALID_PARAMETER);
}

TEST(LineFromDcb, Handshakes) {
    TLineSettings line;
    line.iflag = IXANY;
    DCB cts = Dcb(8, NOPARITY, ONESTOPBIT, DCB_fBinary | DCB_fOutxCtsFlow | (RTS_CONTROL_HANDSHAKE << 12));
    ASSERT_EQ(LineFromDcb(cts, line), ERROR_SUCCESS);
    EXPECT_TRUE(line.cflag & CRTSCTS);
    EXPECT_FALSE(line.iflag & (IXON | IXOFF | IXANY));
    const TModemLineRequest ctsLines = DcbModemLines(cts);
    EXPECT_FALSE(ctsLines.setRts) << "the driver drives RTS in handshake mode";

    DCB xon = Dcb(8, NOPARITY, ONESTOPBIT, DCB_fBinary | DCB_fOutX | DCB_fInX | DCB_fParity);
    xon.XonChar = 'q';
    xon.XoffChar = 's';
    ASSERT_EQ(LineFromDcb(xon, line), ERROR_SUCCESS);
    EXPECT_FALSE(line.cflag & CRTSCTS);
    EXPECT_EQ(line.iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_EQ(line.cc[VSTART], 'q');
    EXPECT_EQ(line.cc[VSTOP], 's');
    DCB back{};
    DcbFromLine(line, back);
    EXPECT_EQ(back.Flags & (DCB_fOutX | DCB_fInX | DCB_fParity | DCB_fOutxCtsFlow),
              DCB_fOutX | DCB_fInX | DCB_fParity);

    const DWORD refused[] = {DCB_fOutxDsrFlow, DTR_CONTROL_HANDSHAKE << 4};
    for (const DWORD flags : refused)
        EXPECT_EQ(LineFromDcb(Dcb(8, NOPARITY, ONESTOPBIT, flags), line), ERROR_INVALID_PARAMETER) << flags;
    xon.XoffChar = xon.XonChar;
    EXPECT_EQ(LineFromDcb(xon, line), ERROR_INVALID_PARAMETER);
}

TEST(LineFromDcb, RtsControlModes) {
    struct Case {
        DWORD flags;
        bool crtscts, setRts, rtsOn;
        DWORD readBack;  // the RTS field and fOutxCtsFlow after a refresh from the line
    };
    constexpr DWORD Cts = DCB_fOutxCtsFlow;
    const Case cases[] = {
        {RTS_CONTROL_ENABLE << 12, false, true, true, RTS_CONTROL_ENABLE << 12},
        {RTS_CONTROL_DISABLE << 12, false, true, false, RTS_CONTROL_DISABLE << 12},
        {Cts | (RTS_CONTROL_HANDSHAKE << 12), true, false, false, Cts | (RTS_CONTROL_HANDSHAKE << 12)},
        {RTS_CONTROL_HANDSHAKE << 12, true, false, false, Cts | (RTS_CONTROL_HANDSHAKE << 12)},
        // toggle: with the CTS handshake the driver's; alone, RTS is down while idle
        {Cts | (RTS_CONTROL_TOGGLE << 12), true, false, false, Cts | (RTS_CONTROL_TOGGLE << 12)},
        {RTS_CONTROL_TOGGLE << 12, false, true, false, RTS_CONTROL_TOGGLE << 12}};
    for (const Case& c : cases) {
        TLineSettings line;
        const DCB dcb = Dcb(8, NOPARITY, ONESTOPBIT, DCB_fBinary | c.flags);
        ASSERT_EQ(LineFromDcb(dcb, line), ERROR_SUCCESS) << c.flags;
        EXPECT_EQ(bool(line.cflag & CRTSCTS), c.crtscts) << c.flags;
        const TModemLineRequest lines = DcbModemLines(dcb);
        EXPECT_EQ(lines.setRts, c.setRts) << c.flags;
        EXPECT_EQ(lines.rtsOn, c.rtsOn) << c.flags;
        DCB back = dcb;
        DcbFromLine(line, back);
        EXPECT_EQ(back.Flags & (DCB_fRtsControlMask | Cts), c.readBack) << c.flags;
    }
}

TEST(LineFromDcb, ModemLinesFollowTheControlModes) {
    const TModemLineRequest off = DcbModemLines(Dcb(8, NOPARITY, ONESTOPBIT, DCB_fBinary));
    EXPECT_TRUE(off.setDtr && !off.dtrOn && off.setRts && !off.rtsOn);
    const TModemLineRequest on =
        DcbModemLines(Dcb(8, NOPARITY, ONESTOPBIT, (DTR_CONTROL_ENABLE << 4) | (RTS_CONTROL_ENABLE << 12)));
    EXPECT_TRUE(on.setDtr && on.dtrOn && on.setRts && on.rtsOn);
}

TEST(RawLine, BinaryBytesPassUnchanged) {
    TLineSettings line;
    line.iflag = ICRNL | IXON | ISTRIP | INPCK | BRKINT;
    line.oflag = OPOST | ONLCR;
    line.lflag = ICANON | ECHO | ISIG | IEXTEN;
    line.cflag = HUPCL;
    MakeRaw(line);
    EXPECT_EQ(line.iflag & (ICRNL | IXON | ISTRIP | INPCK | BRKINT), 0u);
    EXPECT_EQ(line.oflag & OPOST, 0u);
    EXPECT_EQ(line.lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.cflag & HUPCL, 0u);
    EXPECT_EQ(line.cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    EXPECT_EQ(line.cc[VMIN], 1);
    EXPECT_EQ(line.cc[VTIME], 0);
}

TEST(LineEvents, CounterChangesAreErrorsAndEvents) {
    const TLineCounters base{1, 1, 1, 1, 1};
    struct Case {
        TLineCounters after;
        DWORD errors, events;
    };
    const Case cases[] = {{{1, 1, 1, 1, 1}, 0, 0},
                          {{2, 1, 1, 1, 1}, CE_FRAME, EV_ERR},
                          {{1, 2, 1, 1, 1}, CE_OVERRUN, EV_ERR},
                          {{1, 1, 2, 1, 1}, CE_RXPARITY, EV_ERR},
                          {{1, 1, 1, 2, 1}, CE_BREAK, EV_BREAK},
                          {{1, 1, 1, 1, 2}, CE_RXOVER, 0},
                          {{3, 1, 1, 2, 1}, CE_FRAME | CE_BREAK, EV_ERR | EV_BREAK}};
    for (const Case& c : cases) {
        const TLineChange change = CountersChange(base, c.after);
        EXPECT_EQ(change.errors, c.errors);
        EXPECT_EQ(change.events, c.events);
    }
    const std::pair<int, DWORD> lines[] = {
        {TIOCM_CTS, EV_CTS}, {TIOCM_DSR, EV_DSR}, {TIOCM_CD, EV_RLSD}, {TIOCM_RI, EV_RING}, {TIOCM_DTR, 0}};
    for (const auto& [bit, event] : lines) {
        EXPECT_EQ(ModemChange(0, bit), event);
        EXPECT_EQ(ModemChange(bit | TIOCM_RTS, TIOCM_RTS), event);
    }
}

TEST(InputQueue, WrapsAroundAndKeepsBytesWhenResized) {
    TInputQueue queue(4);
    EXPECT_EQ(queue.Push(reinterpret_cast<const uint8_t*>("abc"), 3), 3u);
    uint8_t out[8] = {};
    EXPECT_EQ(queue.Take(out, 2), 2u);
    EXPECT_EQ(queue.Push(reinterpret_cast<const uint8_t*>("defgh"), 5), 3u) << "only what fits";
    EXPECT_EQ(queue.Room(), 0u);
    queue.Resize(2);  // never below what is queued
    EXPECT_EQ(queue.Capacity(), 4u);
    EXPECT_EQ(queue.Take(out, 8), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 4), "cdef");
    EXPECT_EQ(queue.Count(), 0u);
    queue.Resize(8);
    EXPECT_EQ(queue.Push(reinterpret_cast<const uint8_t*>("12345678"), 8), 8u);
    queue.Clear();
    EXPECT_EQ(queue.Room(), 8u);
}

}  // namespace
