// Reporting of launch failures: the per-user session log and, for a fatal
// failure, a message box and exit code 1. Each report is told to the launch
// observer first.
#pragma once

#include <string>

// The path of fileName in the user's Logs folder (USERPROFILE\Logs, or
// HOME/Logs), creating that folder when it is missing. Empty when the
// profile folder is unset or empty (an empty one would put the file at the
// root) or when the path does not fit the launcher's 1024-byte limit.
std::string userLogFilePath(const char* fileName);

// Appends a dated entry for message to the session log. When fatal, shows
// the error in a message box and ends the process with exit code 1; it
// returns only when fatal is false.
void logLaunchError(const char* message, bool fatal);

// The entry and the box of a fatal report for a launch that is already
// ending (from an exit handler): the process is not ended a second time.
void reportFatalWhileEnding(const char* message);
