// The simulator's public face: every call forwards to its inside under the
// lock, from any thread.
#include "sim/SimService.h"

namespace sim {

namespace {

constexpr uint8_t FloodByte = 0x55;

}  // namespace

TPtySimulator::TPtySimulator(TSimOptions options)
    : FImpl(std::make_unique<TImpl>(std::move(options))) {}

TPtySimulator::~TPtySimulator() { Stop(); }

bool TPtySimulator::Start(std::string* error) { return FImpl->Start(error); }
const std::string& TPtySimulator::Path() const { return FImpl->Path; }
void TPtySimulator::Stop() { FImpl->Stop(); }
void TPtySimulator::HangUp() { FImpl->Stop(); }
bool TPtySimulator::Running() const { return FImpl->Serving; }

bool TPtySimulator::AdvanceClock(uint32_t ms) { return FImpl->AdvanceClock(int64_t(ms) * 1000); }
bool TPtySimulator::AdvanceClockUs(int64_t us) { return FImpl->AdvanceClock(us); }

std::vector<TFrame> TPtySimulator::Frames() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Frames();
}

size_t TPtySimulator::FrameCount() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Count();
}

size_t TPtySimulator::FrameCount(uint8_t code) const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.CountOf(code);
}

size_t TPtySimulator::ProbeCount() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Log.Probes();
}

bool TPtySimulator::WaitForFrames(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock guard(FImpl->Lock);
    return FImpl->FramesChanged.wait_for(guard, timeout,
                                         [&] { return FImpl->Log.Count() >= count; });
}

void TPtySimulator::ClearFrames() {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Log.Clear();
}

size_t TPtySimulator::QueuedOutputBytes() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Output.Queued();
}

size_t TPtySimulator::InputOnLine() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Receiver.Held();
}

uint64_t TPtySimulator::DroppedOutputBytes() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Output.Dropped();
}

TControllerState TPtySimulator::State() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Controller.State();
}

void TPtySimulator::SetState(const TControllerState& state) {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Controller.SetState(state);
}

void TPtySimulator::SetMode(uint8_t mode) {
    FImpl->Modify([&](TControllerState& s) { s.Mode = mode; });
}

void TPtySimulator::SetPosition(int32_t position) {
    FImpl->Modify([&](TControllerState& s) { s.Position = position; });
}

void TPtySimulator::SetTarget(int32_t target) {
    FImpl->Modify([&](TControllerState& s) { s.Target = target; });
}

void TPtySimulator::SetDrive(int16_t drive) {
    FImpl->Modify([&](TControllerState& s) { s.Drive = drive; });
}

void TPtySimulator::SetParam(int index, uint16_t word) {
    if (index < 0 || index >= ParamCount) return;
    FImpl->Modify([&](TControllerState& s) { s.Params[size_t(index)] = word; });
}

void TPtySimulator::SetBank(int bank, const TParamSet& params) {
    if (bank < 0 || bank >= BankCount) return;
    FImpl->Modify([&](TControllerState& s) { s.Banks[size_t(bank)] = params; });
}

TFaults TPtySimulator::Faults() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Faults;
}

void TPtySimulator::SetFaults(const TFaults& faults) { FImpl->SetFaults(faults); }

TPlant TPtySimulator::Plant() const {
    std::lock_guard guard(FImpl->Lock);
    return FImpl->Controller.Plant();
}

void TPtySimulator::SetPlant(const TPlant& plant) {
    std::lock_guard guard(FImpl->Lock);
    FImpl->Controller.SetPlant(plant);
}

void TPtySimulator::Inject(std::vector<uint8_t> bytes) { FImpl->Queue(std::move(bytes)); }

void TPtySimulator::Flood(size_t count) { FImpl->Queue(std::vector<uint8_t>(count, FloodByte)); }

}  // namespace sim
