// The opt-in launch trace. With VELTRANA_TRACE unset or empty nothing here
// is ever called by a stage and the launch is exactly what it is without it.
// Turned on, the trace writes one block per launch: a header, then one line
// per event the stages tell, each prefixed by the microseconds since the
// launcher started, and the time each stage took.
#pragma once

#include "diag/launch_observer.h"

// Reads VELTRANA_TRACE: "1" means the default place (standard error on
// POSIX, %USERPROFILE%\Logs\Veltrana Launch Trace.txt on Windows), any
// other text names the file to append to. Returns the trace, to be set as
// the launch observer, or null when the trace is off.
LaunchObserver* startLaunchTrace();

// Microseconds of the launcher's own work since stage 1 began, the
// trace's writing left out.
long long launcherWorkSoFar();
