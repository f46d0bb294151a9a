// Path and naming conventions that differ between Windows and POSIX.
//
// The launch logic builds every path and option from these texts, so this
// header is the one place where the two platforms differ in what the
// launcher writes. The unit tests build the logic with the Windows texts
// (VELTRANA_WINDOWS_CONVENTIONS) over the in-memory platform, so the
// Windows results can be checked byte for byte on any machine.
#pragma once

#if defined(_WIN32) && !defined(VELTRANA_WINDOWS_CONVENTIONS)
#define VELTRANA_WINDOWS_CONVENTIONS 1
#endif

#include "rules/outside_path.h"

namespace conventions {

#if defined(VELTRANA_WINDOWS_CONVENTIONS)

constexpr char kSeparatorChar = '\\';
constexpr const char* kSeparator = "\\";
constexpr const char* kListSeparator = ";";
constexpr const char* kProfileVariable = "USERPROFILE";
// How paths from outside are judged (absolute, list separator).
constexpr outside_path::Style kPathStyle = outside_path::Style::Windows;

// Inside a runtime's home.
constexpr const char* kPrivateVmLibrary = "\\bin\\client\\jvm.dll";
constexpr const char* kSupportLibrary = "\\bin\\msvcr71.dll";

// Native library path option: the value is enclosed in double quotes.
constexpr const char* kLibraryPathStart = "-Djava.library.path=\".;";
constexpr const char* kLibraryPathLib = "\\lib;";
constexpr const char* kLibraryPathEnd = "\"";

// Class path entries after installDir.
constexpr const char* kInstallDirEntry = "\\;";
constexpr const char* kLibDirEntry = "\\lib\\;";
constexpr const char* kLibDirScan = "\\lib\\";
// A folder has one place in its parent: only a reparse point (a junction,
// a symbolic link, a mounted volume) leads to a folder reached elsewhere.
constexpr bool kOnlyLinksLeadBack = true;

constexpr const char* kQuickTimeSuffix = "\\QuickTime\\QTSystem\\";

// What stands before a converted path in a file URL.
constexpr const char* kFileUrlPrefix = "file:/";
// Characters a file URL's path encodes on this platform alone; a backslash
// here is the separator and becomes "/".
constexpr const char* kFileUrlEncodedExtra = "";

constexpr const char* kLogsFolder = "\\Logs";
// VELTRANA_TRACE=1: a GUI program has no console, so the trace goes to the
// Logs folder, beside the session log.
constexpr bool kTraceToLogsFolder = true;

#else  // POSIX

constexpr char kSeparatorChar = '/';
constexpr const char* kSeparator = "/";
constexpr const char* kListSeparator = ":";
constexpr const char* kProfileVariable = "HOME";
constexpr outside_path::Style kPathStyle = outside_path::Style::Posix;

constexpr const char* kPrivateVmLibrary = "/lib/server/libjvm.so";
// A POSIX runtime has no support library to pre-load.
constexpr const char* kSupportLibrary = nullptr;

// Only the Windows runtime strips quotes from path entries; on POSIX they
// would become part of the first and last entries.
constexpr const char* kLibraryPathStart = "-Djava.library.path=.:";
constexpr const char* kLibraryPathLib = "/lib:";
constexpr const char* kLibraryPathEnd = "";

constexpr const char* kInstallDirEntry = "/:";
constexpr const char* kLibDirEntry = "/lib/:";
constexpr const char* kLibDirScan = "/lib/";
// A bind mount, or a folder's hard link where a file system allows one,
// is listed as a plain folder and may lead back up.
constexpr bool kOnlyLinksLeadBack = false;

constexpr const char* kQuickTimeSuffix = "/QuickTime/QTSystem/";

// Absolute POSIX paths already start with "/".
constexpr const char* kFileUrlPrefix = "file:";
// A double quote would end the policy file's quoted text, and a backslash
// is an ordinary character of a name here, so both are encoded.
constexpr const char* kFileUrlEncodedExtra = "\"\\";

constexpr const char* kLogsFolder = "/Logs";
// VELTRANA_TRACE=1: standard error.
constexpr bool kTraceToLogsFolder = false;

#endif

}  // namespace conventions
