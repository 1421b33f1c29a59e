// The real main window, shown on the offscreen platform, driven the way a
// user drives it: pick the port, press the buttons, type in the edits.
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QStringList>
#include <QTimer>

class TMainForm;

namespace bench {

// Sets the offscreen platform unless the caller chose one; call before the application is made.
void PreferOffscreen();

class TWindowRig {
public:
    TWindowRig();
    ~TWindowRig();
    TWindowRig(const TWindowRig&) = delete;
    TWindowRig& operator=(const TWindowRig&) = delete;

    TMainForm& Form() { return *FForm; }

    // Each returns false with the reason in Error().
    bool Connect(const std::string& path);  // again after Disconnect, too
    bool Disconnect();
    bool ChooseMode(int mode);
    bool Drive(int barPosition);
    bool StartMeasurement(int periodMs, int historyDepth);
    bool StopMeasurement();

    // Runs the event loop for that long.
    void Run(double seconds);
    // Runs the event loop until the link is idle (at most a few seconds).
    bool WaitIdle();

    // From now on, counts velocity samples the link accepts and keeps the
    // wall-clock second at which each one was accepted. A new connection
    // binds the port anew: call it again after Connect.
    void CountSamples();
    uint64_t Samples() const { return FSamples->size(); }
    const std::vector<double>& SampleTimes() const { return *FSamples; }

    const std::string& Error() const { return FError; }

private:
    bool Fail(const std::string& reason);
    void CloseMessageBox();  // presses OK on a modal box and keeps its text

    std::unique_ptr<TMainForm> FForm;
    QTimer FBoxWatch;
    QStringList FBoxTexts;
    std::shared_ptr<std::vector<double>> FSamples = std::make_shared<std::vector<double>>();
    std::string FError;
};

}  // namespace bench
