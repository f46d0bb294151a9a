// The product's names, written once: the launcher's executable and archive,
// the application's main class and the files the launcher leaves the user.
#pragma once

namespace product {

// The executable's file name (the message box's caption, the policy
// file's and the crash report's names start with it).
constexpr const char* kExecutableName = "Veltrana.exe";
// The application's archive beside the executable; also the
// single-instance name.
constexpr const char* kArchiveName = "Veltrana.jar";
// In the form FindClass takes.
constexpr const char* kMainClass = "com/kvn/vt/Veltrana";

constexpr const char* kSessionLogName = "Veltrana Session Log.txt";
constexpr const char* kTraceFileName = "Veltrana Launch Trace.txt";

}  // namespace product
