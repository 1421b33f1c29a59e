#include "bench/TickDriver.h"

#include <cmath>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <qcustomplot.h>

#include "chart/ChartFeed.h"
#include "chart/ChartReplot.h"
#include "record/SamplePlot.h"
#include "window/MainUnit.h"
#include "window/RadioGroup.h"
#include "window/TrackBar.h"
#include "tests/support/WindowParts.h"

namespace bench {

namespace {

constexpr int VelocityMode = 2;
constexpr uint16_t KfOne = 256;  // 8.8 fixed point
constexpr int BarPosition = 300;
constexpr int SettleLimitMs = 500;

// A velocity that moves, so the value axes keep changing as in a real run.
int16_t VelocityAt(uint32_t tick) { return int16_t(std::lround(55.0 + 12.0 * std::sin(tick * 0.03))); }

}  // namespace

// Counts the chart's paint events.
class TTickDriver::TPaintCounter : public QObject {
public:
    explicit TPaintCounter(int& repaints) : FRepaints(repaints) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++FRepaints;
        return QObject::eventFilter(watched, event);
    }

private:
    int& FRepaints;
};

TTickDriver::TTickDriver(TMainForm& form)
    : FForm(form), FCounter(new TPaintCounter(FRepaints)) {
    FForm.LinkModeDecoded(VelocityMode);  // selects the mode as a decoded reply does
    testsupport::Parts(FForm).Settings->UnitGroup()->SetItemIndex(1);  // kilo-pulses per second
    auto* bar = FForm.findChild<TTrackBar*>(QStringLiteral("tbarSubCommand"));
    bar->blockSignals(true);  // no controller to send the drive to
    bar->SetPosition(BarPosition);
    bar->blockSignals(false);
    FForm.LinkParamDecoded(1, KfOne);  // as a read reply gives it
    testsupport::Parts(FForm).Chart1->installEventFilter(FCounter);
    QObject::connect(FForm.ChartFeed()->Replot(), &TChartReplot::Drawn, FCounter, [this] { ++FReplots; });
}

TTickDriver::~TTickDriver() {
    testsupport::Parts(FForm).Chart1->removeEventFilter(FCounter);
    delete FCounter;
}

// Point by point, as the ticks would add them: a copy of a long history made
// in one go would stay in the resident size the memory figure reads.
void TTickDriver::Fill(int depth) {
    FForm.Measurement().Prepare({VelocityMode, sampleplot::vuKiloPulsesPerSec, depth});
    for (int i = 0; i < depth; ++i) Plot();
}

void TTickDriver::NextSample() {
    const uint16_t previous = FForm.Measurement().LastSample().tick;
    ++FTick;
    const int16_t velocity = VelocityAt(FTick);
    FForm.Measurement().SampleDecoded({uint16_t(FTick), previous, velocity, velocity});
}

void TTickDriver::Plot() {
    NextSample();
    FForm.Measurement().PlaceLatest();
}

bool TTickDriver::Settle() {
    const int replots = FReplots;
    const int repaints = FRepaints;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer limit;  // wakes the wait below even if nothing else comes
    limit.setSingleShot(true);
    limit.start(SettleLimitMs);
    while (FReplots == replots || FRepaints == repaints) {
        if (clock.elapsed() >= SettleLimitMs) return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace bench
