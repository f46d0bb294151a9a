// The launch: every stage, in its fixed order.
#pragma once

#include <string>

// Runs the whole launch and returns the process exit code: 0 after the
// application's main has returned and the VM is destroyed, 1 when another
// launch holds the single-instance name. Fatal failures end the process
// from inside and do not return.
int runLauncher();

// Shows the system's text for the calling thread's last error code.
void showLastError();

// The folder of the launcher's executable, without a trailing separator.
std::string findInstallDir();
