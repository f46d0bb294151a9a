// An in-memory Windows under the Windows layer, for the unit tests and the
// launch fuzzer.
//
// It fills the layer's table of raw calls (platform/windows/raw_calls.h) and
// answers them the way the Win32 calls and the C runtime do, failures
// included; the layer itself, the code the executable runs, stands between
// it and the launch logic. Tests set its state through the routines below
// and read what the logic did through the recordings.
//
// Model, briefly:
// - Registry: keys under HKEY_LOCAL_MACHINE by path, names compared without
//   regard to case. Values keep their type and raw bytes; the wide call
//   gives text values in UTF-16, and expandable text (REG_EXPAND_SZ) as it
//   is stored. ExpandEnvironmentStringsW expands the variables set here.
// - Files: a tree keyed by Windows path. Names are compared byte for byte;
//   listings give each entry's attributes, as FindFirstFileExW does;
//   "/" counts as "\", doubled separators and a trailing separator are
//   ignored, "." and ".." are applied, as Win32 path handling does. Paths
//   may be as long as Windows allows with long paths on (32767). A folder
//   lists its entries in the order they were added, unless a test sets the
//   listing itself.
// - GetTempPathW gives the first of TMP, TEMP and USERPROFILE that is set,
//   else C:\Windows, ending in a backslash.
// - Text-mode files turn each "\n" written into "\r\n", like the Windows C
//   runtime; binary modes write bytes as given. On a full disk what is
//   written waits in the stream's buffer: fflush fails, and fclose does not
//   report its final flush's failure, as Wine's C runtime does.
// - The ANSI code page is Windows-1252, or Japanese 932 when a test says
//   so: its lead bytes, half-width katakana and the few two-byte characters
//   the tests use (ソ 83 5C, 表 95 5C, 能 94 5C, 十 8F 5C, アプリフト). Paths
//   are split into their names character by character, as Windows does. The
//   executable's path and the variables are held in UTF-16; tests given
//   bytes stand for their characters in the code page. Names the code page
//   cannot hold are set with setWideOnlyName, and GetShortPathNameW puts
//   their short names in their place.
// - CreateMutexA leaves the last error alone for a new name.
// - Threads are recorded, not run, until the test runs them.
// - exit throws fake::ProcessExit so a test regains control.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

// Thrown by platform::exitProcess.
struct ProcessExit {
  int code;
};

// Back to an empty machine: no keys, no variables, no files, nothing
// recorded. The executable is C:\Apps\Veltrana\Veltrana.exe, the current
// directory C:\Work, the command line just the program.
void reset();

// The ANSI code page, 1252 or 932; set it before anything else, since the
// bytes tests give are read in it. reset() goes back to 1252.
void setAnsiCodePage(unsigned codePage);

// --- Process ----------------------------------------------------------------
void setModulePath(const std::string& path);
void setModulePathWide(const std::u16string& path);
// getModuleFileName fails with this error, leaving partialPath.
void failModulePath(unsigned long error, const std::string& partialPath = "");
void setCurrentDirectoryValue(const std::string& path);  // no existence check
std::string currentDirectory();

// --- Command line -------------------------------------------------------------
void setCommandLine(const std::vector<std::u16string>& args);
void failCommandLineSplit();  // splitCommandLine returns null

// --- Environment ----------------------------------------------------------------
void setEnv(const std::string& name, const std::string& value);
void setEnvWide(const std::string& name, const std::u16string& value);
void unsetEnv(const std::string& name);

// --- Registry -------------------------------------------------------------------
void addRegistryKey(const std::string& path);
// Refuses opening with "access denied" (5).
void denyRegistryKey(const std::string& path);
// What registryProblem answers (empty: none, as on Windows).
void setRegistryProblem(const std::string& problem);
// Stores raw bytes: a text value must carry its own terminator.
void setRegistryValue(const std::string& keyPath, const std::string& name, unsigned long type,
                      const std::string& bytes);
// A REG_SZ value stored with its terminator.
void setRegistryText(const std::string& keyPath, const std::string& name, const std::string& text);

// --- Files and folders ------------------------------------------------------------
// Parents are created as needed.
void addFolder(const std::string& path);
void addFile(const std::string& path, const std::string& contents = "");
// A folder entry that leads to another folder (a junction).
void addFolderLink(const std::string& path, const std::string& target);
// The names a listing returns after "." and "..", in this order. Names
// without an entry model entries that vanish between listing and use.
void setListing(const std::string& folder, const std::vector<std::string>& names);
void denyListing(const std::string& folder);
// A pipe or device: it exists, but is neither a folder nor a regular file.
void addSpecialFile(const std::string& path);
// The entry at path has a name the ANSI code page cannot hold (the test
// writes it in UTF-8). Listings give shortName in its place, and paths may
// name the entry by it; without a short name a listing gives an empty name.
void setWideOnlyName(const std::string& path, const std::string& shortName);
// The entry at path, whose name the code page holds, also has this short
// (8.3) name: GetShortPathNameW gives it, and paths may name the entry by it.
void setShortName(const std::string& path, const std::string& shortName);
// Reading the status of path fails (_stat, _access), as for a path too long
// for the ANSI calls; listing it still works.
void failStatus(const std::string& path);
void makeUndeletable(const std::string& path);
void failOpening(const std::string& path);
// The disk under folder is full: files below it are created, but nothing
// written to them reaches it (a write fails only past the stream's buffer).
void fillDisk(const std::string& folder);
// Closing the file at path fails, as when its last bytes cannot be flushed.
void failClosing(const std::string& path);

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
bool specialFileExists(const std::string& path);  // added by addSpecialFile
std::string fileContents(const std::string& path);

// --- Mutexes and threads ------------------------------------------------------------
// Another process holds a handle to a mutex of this name.
void takeMutexName(const std::string& name);
bool mutexNameTaken(const std::string& name);
void failThreadCreation();
std::size_t pendingThreadCount();
// Runs the threads created so far, in order, each to its end.
void runPendingThreads();

// --- Libraries ------------------------------------------------------------------------
// loadLibrary succeeds for any existing file unless told to fail.
void failLibrary(const std::string& path);
void exportFunction(const std::string& libraryPath, const std::string& name,
                    platform::ProcAddress address);

// --- Recordings -----------------------------------------------------------------------
struct MessageBox {
  std::string text;
  std::string caption;
};
const std::vector<MessageBox>& messageBoxes();

// Every noteworthy call in order, e.g. "regOpenKey SOFTWARE\Orrindale",
// "loadLibrary D:\Rt\jvm.dll", "openFile C:\Temp\x wb". The fake JNI adds
// its calls here too, so one list shows the whole order of a launch.
const std::vector<std::string>& events();
void recordEvent(const std::string& event);
// Index of the first event equal to text, or -1.
int eventIndex(const std::string& text);
// Number of events that start with prefix.
int countEvents(const std::string& prefix);

const std::vector<std::string>& registryKeysOpened();  // every attempt
const std::vector<std::string>& librariesLoaded();     // every attempt
const std::vector<std::string>& pathsStatted();
const std::vector<std::string>& listingsOpened();
const std::vector<unsigned long>& sleeps();

// Calls that no real program may make (a write to a failed stream, a
// listing read after close, ...). Empty when the logic behaved.
const std::vector<std::string>& misuses();
int openFileCount();
int openListingCount();

}  // namespace fake
