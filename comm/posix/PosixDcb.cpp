// DCB <-> tty line settings.
#include <termios.h>

#include "comm/posix/PosixLine.h"

namespace commapi::posix {

static_assert(VMIN < TLineSettings::ControlChars && VTIME < TLineSettings::ControlChars &&
                  VSTART < TLineSettings::ControlChars && VSTOP < TLineSettings::ControlChars,
              "control character indices");

namespace {

bool FrameSupported(const DCB& dcb) {
    if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return false;
    if (dcb.Parity > SPACEPARITY) return false;
    switch (dcb.StopBits) {
    case ONESTOPBIT: return true;
    case ONE5STOPBITS: return dcb.ByteSize == 5;
    case TWOSTOPBITS: return dcb.ByteSize != 5;
    default: return false;
    }
}

bool HandshakeSupported(const DCB& dcb) {
    if (dcb.Flags & DCB_fOutxDsrFlow) return false;
    if (DtrControl(dcb) == DTR_CONTROL_HANDSHAKE) return false;
    return !((dcb.Flags & (DCB_fOutX | DCB_fInX)) && dcb.XonChar == dcb.XoffChar);
}

tcflag_t SizeFlag(BYTE byteSize) {
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

tcflag_t ParityFlags(BYTE parity) {
    switch (parity) {
    case ODDPARITY: return PARENB | PARODD;
    case EVENPARITY: return PARENB;
    case MARKPARITY: return PARENB | CMSPAR | PARODD;
    case SPACEPARITY: return PARENB | CMSPAR;
    default: return 0;
    }
}

BYTE ParityOf(tcflag_t cflag) {
    if (!(cflag & PARENB)) return NOPARITY;
    const bool odd = cflag & PARODD;
    if (cflag & CMSPAR) return odd ? MARKPARITY : SPACEPARITY;
    return odd ? ODDPARITY : EVENPARITY;
}

BYTE ByteSizeOf(tcflag_t cflag) {
    switch (cflag & CSIZE) {
    case CS5: return 5;
    case CS6: return 6;
    case CS7: return 7;
    default: return 8;
    }
}

}  // namespace

void MakeRaw(TLineSettings& line) {
    line.iflag &= ~uint32_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                            IXANY | INPCK | IMAXBEL | IUCLC);
    line.oflag &= ~uint32_t(OPOST);
    line.lflag &= ~uint32_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.cflag &= ~uint32_t(HUPCL);
    line.cflag |= CREAD | CLOCAL;
    line.cc[VMIN] = 1;
    line.cc[VTIME] = 0;
}

bool DcbSupported(const DCB& dcb) { return dcb.BaudRate != 0 && FrameSupported(dcb) && HandshakeSupported(dcb); }

DWORD LineFromDcb(const DCB& dcb, TLineSettings& line) {
    if (!DcbSupported(dcb)) return ERROR_INVALID_PARAMETER;
    line.ispeed = line.ospeed = dcb.BaudRate;

    line.cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
    if (dcb.StopBits != ONESTOPBIT) line.cflag |= CSTOPB;
    // Linux has one switch for both directions of the RTS/CTS handshake.
    if ((dcb.Flags & DCB_fOutxCtsFlow) || RtsControl(dcb) == RTS_CONTROL_HANDSHAKE) line.cflag |= CRTSCTS;

    line.iflag &= ~uint32_t(INPCK | IXON | IXOFF | IXANY);
    if (dcb.Flags & DCB_fParity) line.iflag |= INPCK;
    if (dcb.Flags & DCB_fOutX) line.iflag |= IXON;
    if (dcb.Flags & DCB_fInX) line.iflag |= IXOFF;
    line.cc[VSTART] = uint8_t(dcb.XonChar);
    line.cc[VSTOP] = uint8_t(dcb.XoffChar);
    return ERROR_SUCCESS;
}

void DcbFromLine(const TLineSettings& line, DCB& dcb) {
    dcb.BaudRate = line.ospeed;
    dcb.ByteSize = ByteSizeOf(line.cflag);
    dcb.Parity = ParityOf(line.cflag);
    if (!(line.cflag & CSTOPB)) dcb.StopBits = ONESTOPBIT;
    else dcb.StopBits = dcb.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;

    const bool ctsFlow = line.cflag & CRTSCTS;
    dcb.Flags = (dcb.Flags & ~(DCB_fOutxCtsFlow | DCB_fParity | DCB_fOutX | DCB_fInX)) | DCB_fBinary;
    if (ctsFlow) dcb.Flags |= DCB_fOutxCtsFlow;
    // Toggle stays toggle: with CRTSCTS it is what the handshake was asked as.
    const DWORD rts = RtsControl(dcb);
    if (ctsFlow && rts != RTS_CONTROL_TOGGLE) SetRtsControl(dcb, RTS_CONTROL_HANDSHAKE);
    else if (!ctsFlow && rts == RTS_CONTROL_HANDSHAKE) SetRtsControl(dcb, RTS_CONTROL_ENABLE);
    if (line.iflag & INPCK) dcb.Flags |= DCB_fParity;
    if (line.iflag & IXON) dcb.Flags |= DCB_fOutX;
    if (line.iflag & IXOFF) dcb.Flags |= DCB_fInX;
    dcb.XonChar = char(line.cc[VSTART]);
    dcb.XoffChar = char(line.cc[VSTOP]);
}

TModemLineRequest DcbModemLines(const DCB& dcb) {
    const DWORD dtr = DtrControl(dcb), rts = RtsControl(dcb);
    const bool rtsByDriver =
        rts == RTS_CONTROL_HANDSHAKE || (rts == RTS_CONTROL_TOGGLE && (dcb.Flags & DCB_fOutxCtsFlow));
    return {dtr != DTR_CONTROL_HANDSHAKE, dtr == DTR_CONTROL_ENABLE, !rtsByDriver, rts == RTS_CONTROL_ENABLE};
}

bool RtsRaisedWhileSending(const DCB& dcb) {
    return RtsControl(dcb) == RTS_CONTROL_TOGGLE && !(dcb.Flags & DCB_fOutxCtsFlow);
}

}  // namespace commapi::posix
