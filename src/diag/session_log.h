// Reporting of launch failures: the per-user session log and, for a fatal
// failure, a message box and exit code 1.
#pragma once

// Appends a dated entry for message to the session log. When fatal, shows
// the error in a message box and ends the process with exit code 1; it
// returns only when fatal is false.
void logLaunchError(const char* message, bool fatal);
