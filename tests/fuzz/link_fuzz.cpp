// Fuzz target: random command sequences and random reply bytes, in random
// chunkings, fed to the controller link's receive handler through a real port
// on a pty. Invariants that a stray write would break are checked after every
// step; the sanitizers catch the rest.
//
// Input: a sequence of tokens. A tag byte with the top bit set delivers the
// next 1 + 3 * (tag & 0x7F) bytes as one receive event (more than 128 at
// once is possible); otherwise tag % 16 picks one of the twelve sends (its
// argument is the next byte), 12 ends the reply period, and 13 to 15 do nothing.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "comm/CommInt.h"
#include "link/ConsoleLine.h"
#include "link/ControllerLink.h"
#include "tests/support/LinkInsight.h"
#include "tests/support/PtyPair.h"

namespace {

void Require(bool ok) {
    if (!ok) __builtin_trap();
}

class THarness {
public:
    THarness() {
        Port.SetDeviceName(Device.SlavePath());
        consoleline::Configure(Port);
        Port.Open();
        // The wait for a quiet line after a time-out sleeps; the fuzzer calls
        // the time-out directly and would spend its time asleep.
        Link.SetQuietMs(0);
    }

    void Run(const uint8_t* data, size_t size) {
        Link.ResetToIdle();
        Link.tmrTimeout.stop();
        Inside(Link).FIdentText.clear();
        Port.PurgeIn();
        Expected = Inside(Link).FReplyExpected;
        for (size_t pos = 0; pos < size;) {
            const uint8_t tag = data[pos++];
            if (tag & 0x80) {
                const size_t length = std::min<size_t>(1 + (tag & 0x7F) * 3, size - pos);
                Deliver(data + pos, length);
                pos += length;
            } else {
                const uint8_t arg = pos < size ? data[pos++] : 0;
                Act(tag % 16, arg);
            }
            CheckInvariants();
        }
        QCoreApplication::processEvents();
    }

private:
    void Act(int action, uint8_t arg) {
        bool sent = false;
        switch (action) {
            case 0: sent = Link.SendIdentify(); break;
            case 1: sent = Link.SendSetMode(arg); break;
            case 2: sent = Link.SendGetMode(); break;
            case 3: sent = Link.SendGetTarget(); break;
            case 4: sent = Link.SendGetPosition(); break;
            case 5: sent = Link.SendSetTarget(int32_t(arg) * 0x10101 - 0x800000); break;
            case 6: sent = Link.SendGetSample(); break;
            case 7: sent = Link.SendSaveBank(arg); break;
            case 8: sent = Link.SendLoadBank(arg); break;
            case 9: sent = Link.SendReadParam(arg); break;  // any index, 6 to 255 included
            case 10: sent = Link.SendWriteParam(arg % 8, uint16_t(arg * 257)); break;
            case 11: sent = Link.SendSubCommand(int16_t(arg * 2 - 256)); break;
            case 12: Link.tmrTimeoutTimer(); break;
            default: break;
        }
        if (sent) {
            Expected = Inside(Link).FReplyExpected;
            Device.Drain(0);
        }
    }

    // One receive event carrying exactly these bytes.
    void Deliver(const uint8_t* bytes, size_t length) {
        const int32_t before = Port.InQueCount();
        Require(before >= 0);
        Device.Send(testsupport::Bytes(bytes, bytes + length));
        const int32_t want = before + int32_t(length);
        QElapsedTimer clock;
        clock.start();
        while (Port.InQueCount() < want) Require(clock.elapsed() < 5000);
        Link.UARTRxChar(&Port, want);
    }

    void CheckInvariants() {
        Require(Inside(Link).FLinkState <= lsTimedOut);
        Require(Inside(Link).FReplyExpected == Expected);  // the byte right after FReply
        if (Expected == 255)
            Require(Inside(Link).FReplyCount < TControllerLink::ReplySize);
        else
            Require(Inside(Link).FReplyCount <= Expected + 1);
        if (Inside(Link).FLinkState == lsPending) Require(Link.tmrTimeout.isActive());
        Require(Inside(Link).FIdentText.size() < TControllerLink::ReplySize);
    }

    testsupport::TPtyPair Device;
    TComm Port;
    TControllerLink Link{Port};
    uint8_t Expected = 0;
};

// Both live until the process ends and are never destroyed: at exit Qt's own
// statics are gone before any destructor of ours could run.
THarness* gHarness = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv);
    gHarness = new THarness();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    gHarness->Run(data, size);
    return 0;
}
