// A controller link on a real port whose far end is a pty the test controls.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include "comm/CommInt.h"
#include "link/ConsoleLine.h"
#include "link/ControllerLink.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Wait.h"

// Remembers every notice of the link, in order.
class TRecordingListener : public TLinkListener {
public:
    void LinkIdentified(const QString& panelText) override { Identified.push_back(panelText); }
    void LinkModeDecoded(int mode) override { Modes.push_back(mode); }
    void LinkPositionDecoded(int32_t position) override { Positions.push_back(position); }
    void LinkTargetDecoded(int32_t target) override { Targets.push_back(target); }
    void LinkParamDecoded(int index, uint16_t word) override { Params.emplace_back(index, word); }
    void LinkSampleDecoded(const TLinkSample&) override { ++Samples; }
    void LinkStatusText(const QString& text) override { StatusTexts.push_back(text); }
    void LinkCaptionOverflow() override { ++Overflows; }
    void LinkReadError() override { ++ReadErrors; }
    void LinkTimedOut() override { ++TimedOut; }

    // Notices that carry decoded values (status texts excluded).
    size_t DecodedCount() const {
        return Identified.size() + Modes.size() + Positions.size() + Targets.size() + Params.size() +
               size_t(Samples);
    }

    std::vector<QString> Identified;
    std::vector<int> Modes;
    std::vector<int32_t> Positions;
    std::vector<int32_t> Targets;
    std::vector<std::pair<int, uint16_t>> Params;
    int Samples = 0;
    std::vector<QString> StatusTexts;
    int Overflows = 0;
    int ReadErrors = 0;
    int TimedOut = 0;
};

using testsupport::Bytes;
using testsupport::PumpFor;
using testsupport::TPtyPair;
using testsupport::WaitFor;

class LinkOnPty : public ::testing::Test {
protected:
    void SetUp() override {
        consoleline::Configure(Port);
        Port.SetDeviceName(Device.SlavePath());
        Port.Open();
        Link = std::make_unique<TControllerLink>(Port, &Listener);
    }
    void TearDown() override {
        Link.reset();
        Port.Close();
    }

    // Lets the event thread deliver OnRxChar to the link, as the window does.
    void BindReceiveHandler() {
        consoleline::Bind(Port, *Link);
    }

    // One receive event carrying exactly `bytes`: they are put on the line,
    // and once all of them wait in the port the handler is called with their count.
    void Deliver(const Bytes& bytes) {
        const int32_t before = Port.InQueCount();
        Device.Send(bytes);
        const int32_t want = before + int32_t(bytes.size());
        ASSERT_TRUE(WaitFor([&] { return Port.InQueCount() >= want; })) << "bytes did not arrive";
        Link->UARTRxChar(&Port, want);
    }

    // The frame the last send put on the line.
    Bytes Wire(size_t count) { return Device.Receive(count); }

    TPtyPair Device;
    TComm Port;
    TRecordingListener Listener;
    std::unique_ptr<TControllerLink> Link;
};
