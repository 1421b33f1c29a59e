// Ctrl-C (SIGINT) and SIGTERM during a step test: the handler only raises a
// flag, which every port's thread reads between its polls and answers by
// aborting its test as a lost line would. Catch runs on the main thread; the
// handler on whichever thread the signal lands; Interrupted on any thread.
#pragma once

namespace cli {

void CatchInterrupts();
bool Interrupted();

}  // namespace cli
