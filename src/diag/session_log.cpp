#include "diag/session_log.h"

#include <cstring>
#include <string>

#include "diag/launch_observer.h"
#include "platform/outside_values.h"
#include "platform/platform.h"
#include "rules/conventions.h"
#include "rules/product_names.h"

namespace {

constexpr std::size_t kLogPathCapacity = 1024;

// Appends one entry. The log is best effort: without a profile folder, with
// a path that does not fit, or with a file that cannot be opened, the entry
// is skipped and the caller carries on.
void appendLogEntry(const std::string& errorText, const std::string& timeText) {
  std::string logPath = userLogFilePath(product::kSessionLogName);
  if (logPath.empty()) {
    return;
  }
  platform::FileHandle file = platform::appendPrivateFile(logPath.c_str());
  if (file == nullptr) {
    return;
  }
  // Each piece is written as data; a message is never read as a format.
  platform::writeText(file, "\r\n##### ");
  platform::writeText(file, timeText);
  platform::writeText(file, "\r\n");
  platform::writeText(file, errorText);
  platform::writeText(file, "\r\n\r\n");
  platform::writeText(file, "##############################\r\n\r\n");
  platform::closeFile(file);
}

}  // namespace

std::string userLogFilePath(const char* fileName) {
  std::string profile = platform::profileFolder();
  if (profile.empty()) {
    return std::string();
  }
  std::string logsFolder = profile + conventions::kLogsFolder;
  std::string path = logsFolder + conventions::kSeparator + fileName;
  if (path.size() + 1 > kLogPathCapacity) {
    return std::string();
  }
  platform::makeDirectory(logsFolder.c_str());
  return path;
}

namespace {

void reportError(const char* message, bool fatal) {
  std::string errorText = fatal ? "Fatal Error Launching: " : "Error Launching: ";
  errorText += message;
  std::string timeText = platform::localTimeText();
  launchObserver().reported(errorText, fatal);

  appendLogEntry(errorText, timeText);

  if (fatal) {
    platform::messageBox(errorText.c_str(), product::kExecutableName);
  }
}

}  // namespace

void logLaunchError(const char* message, bool fatal) {
  reportError(message, fatal);
  if (fatal) {
    platform::exitProcess(1);
  }
}

void reportFatalWhileEnding(const char* message) { reportError(message, true); }
