// Waiting in tests. Every wait is for a condition, with a limit generous
// enough for a loaded machine; only a test that proves something does NOT
// happen spends a fixed spell, and says so.
#pragma once

#include <functional>

namespace testsupport {

// The limit of a wait that should end at once on an idle machine.
constexpr int WaitLimitMs = 10000;

// Runs the event loop (deferred deletions included) until `done` holds;
// false when the limit passed first.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = WaitLimitMs);
// Checks `done` until it holds without running the event loop, so queued
// calls stay queued; false when the limit passed first.
bool WaitWithoutEvents(const std::function<bool()>& done, int timeoutMs = WaitLimitMs);
// Runs the event loop for `ms`: the spell in which something that must not
// happen would have happened.
void PumpFor(int ms);

}  // namespace testsupport
