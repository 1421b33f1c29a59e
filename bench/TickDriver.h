// Measurement ticks without a controller: each tick puts a new velocity
// sample into the link's fields, as an accepted 'V' reply does, and runs the
// window's own plotting of it; the replot that asks for runs when the event
// loop next passes, as it does in a live measurement. Main thread only.
#pragma once

#include <cstdint>

class TMainForm;

namespace bench {

class TTickDriver {
public:
    // Velocity mode, Kf 1.0, the drive bar at 300: all three series get points.
    explicit TTickDriver(TMainForm& form);
    ~TTickDriver();
    TTickDriver(const TTickDriver&) = delete;
    TTickDriver& operator=(const TTickDriver&) = delete;

    // Begins a record of that history depth and fills every series with
    // that many points, placed as live ones are.
    void Fill(int depth);
    // One tick's work: a new sample placed on the chart.
    void Plot();
    // Runs the event loop until the queued replot and the chart's repaint
    // have happened (a bounded wait that costs no CPU); false when they did not.
    bool Settle();
    int Replots() const { return FReplots; }
    int Repaints() const { return FRepaints; }

private:
    class TPaintCounter;
    void NextSample();

    TMainForm& FForm;
    TPaintCounter* FCounter;
    uint16_t FTick = 0;
    int FReplots = 0;
    int FRepaints = 0;
};

}  // namespace bench
