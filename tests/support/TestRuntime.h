// The runtime the HTTP tasks need, as the program starts it: the main-thread dispatch,
// the 500 ms HTTP scheduler timer and both channels; and its orderly end. For tests and
// benchmarks that run transfers on the calling thread's message loop.
#pragma once

void StartTestRuntime();
// Stops the scheduler timer alone, for a test that drives its work itself.
void StopSchedulerTimer();
void StopTestRuntime();
