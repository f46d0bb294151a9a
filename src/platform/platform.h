// The one seam between the launch logic and the operating system.
//
// Every operating-system service the launcher needs is declared here and
// nowhere else. Two layers implement it, chosen at link time:
//   platform/windows - the Windows rules (ANSI and short-name forms, the
//                      registry's expandable text, the copy-out contracts,
//                      checked writes, ...), written over a table of raw
//                      calls that platform/win32 fills with the real Win32
//                      calls and tests/fakes with an in-memory Windows
//   platform/posix   - Linux stand-ins, so the Linux build is a working launcher
// The launch logic calls only these routines.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Error codes the launch logic looks at, with their Win32 values.
constexpr unsigned long kErrorSuccess = 0;
constexpr unsigned long kErrorFileNotFound = 2;
constexpr unsigned long kErrorMoreData = 234;
constexpr unsigned long kErrorAlreadyExists = 183;

// Registry value types (Win32 values).
constexpr unsigned long kRegSz = 1;
constexpr unsigned long kRegExpandSz = 2;
constexpr unsigned long kRegBinary = 3;
constexpr unsigned long kRegDword = 4;

// Opaque handles. Null means "none" or failure.
using RegKey = void*;
using MutexHandle = void*;
using LibraryHandle = void*;
using FileHandle = void*;
using DirectoryHandle = void*;
using CommandLineHandle = void*;
using ProcAddress = void (*)();

// --- Process --------------------------------------------------------------

// Full path of the running executable (GetModuleFileNameW). The whole path
// is returned however long it is. Returns false on failure, with the last
// error set; a path with no form in the ANSI code page (below) is a failure.
bool getModuleFileName(std::string& path);

// The calling thread's last error code (GetLastError / SetLastError).
unsigned long getLastError();
void setLastError(unsigned long code);

// The system's text for an error code (FormatMessageA, user's default
// language).
std::string formatMessage(unsigned long code);

// Ends the process with the runtime library's exit, so exit handlers run.
[[noreturn]] void exitProcess(int code);

// Until unwatchProcessEnd, a process ended by any code in it (the runtime
// library's exit; on POSIX also a direct _exit) first calls handler, once,
// on the thread that ends it. The handler must not end the process itself.
void watchProcessEnd(void (*handler)());
void unwatchProcessEnd();

// --- Command line ---------------------------------------------------------

// Splits the process's wide command line (GetCommandLineW +
// CommandLineToArgvW). Fills args (element 0 is the program) and returns the
// platform's vector, to be released with releaseCommandLine; returns null
// when the command line cannot be split.
CommandLineHandle splitCommandLine(std::vector<std::u16string>& args);
void releaseCommandLine(CommandLineHandle vector);  // LocalFree

// --- Environment ----------------------------------------------------------
//
// Windows reads the executable's path and the variables in UTF-16 and hands
// them on in the ANSI code page: exactly the converted bytes when nothing is
// lost, else the path's short (8.3) form, which the code page carries (each
// entry on its own for PATH, whose entries without either form are left
// out). A value with neither form counts as unset.

// getenv: the value, or null when unset. The text stays valid until the
// same name is read again.
const char* getEnv(const char* name);

// GetEnvironmentVariable: copies the value and its terminator into buffer
// when it fits in size bytes and returns its length; when it does not fit,
// leaves the buffer untouched and returns the size needed (terminator
// included); when unset, leaves the buffer untouched and returns 0.
unsigned long getEnvironmentVariable(const char* name, char* buffer, unsigned long size);

// The folder for the launcher's temporary files (TEMP on Windows; a private
// per-user folder on POSIX), with the same contract as getEnvironmentVariable.
unsigned long getTempFolder(char* buffer, unsigned long size);

// The system's own choice of temporary folder, for when getTempFolder's
// cannot be used: on Windows the folder GetTempPath gives (TMP, TEMP, the
// profile folder, the Windows folder), without its final separator. Same
// contract as getEnvironmentVariable; 0 where the platform has no other.
unsigned long getSystemTempFolder(char* buffer, unsigned long size);

// The folders to try after those two, when neither can take a file:
// index 0, 1 ... in order, each with getEnvironmentVariable's contract,
// and 0 past the last. On POSIX the private folders after getTempFolder's
// (XDG_RUNTIME_DIR, then $HOME/.veltrana); none on Windows.
unsigned long getFurtherTempFolder(unsigned long index, char* buffer, unsigned long size);

// --- Text -----------------------------------------------------------------

// Whether the byte starts a two-byte character in the ANSI code page
// (IsDBCSLeadByteEx with CP_ACP): only in the double-byte code pages of
// East Asia. Always false on POSIX, whose UTF-8 never has a byte of '/'
// inside a character.
bool isLeadByte(unsigned char byte);

// --- Working directory ----------------------------------------------------

bool setCurrentDirectory(const char* path);   // SetCurrentDirectoryA
bool getCurrentDirectory(std::string& path);  // GetCurrentDirectoryA

// --- Registry (HKEY_LOCAL_MACHINE, KEY_READ) --------------------------------

// RegOpenKeyExA: 0 and an open key on success, any other value on failure.
long regOpenKey(const char* subKey, RegKey* key);

// Why the registry cannot be read at all, as a message for the user, or
// empty when it can. Only the POSIX layer, whose registry is a file, ever has
// a problem to report; the stage that first reads the registry checks it.
std::string registryProblem();

// RegQueryValueExA: with data null, stores the value's size in bytes in
// *size and returns 0. With a buffer, copies the value when it fits in
// *size bytes and returns 0, or returns kErrorMoreData (storing the size
// needed) when it does not. A missing value returns kErrorFileNotFound.
// type receives the value's type when not null.
long regQueryValue(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                   unsigned long* size);

// --- Files and folders ----------------------------------------------------

// _stat: 0 when a file or folder of that name exists, -1 otherwise.
// isDirectory (when not null) receives the mode's directory flag.
int statPath(const char* path, bool* isDirectory);
int unlinkFile(const char* path);  // _unlink: 0 when deleted, -1 when not
int removeFile(const char* path);  // remove
// _mkdir; on POSIX the folder is made for the user alone (mode 0700)
// whatever the umask.
int makeDirectory(const char* path);

// fopen with the runtime library's modes ("wb", "a+", ...). Text modes
// translate line ends the way the platform's runtime library does.
FileHandle openFile(const char* path, const char* mode);
// Writes the bytes as data; they are never read as a format. False when
// not all of them were written (a full disk, a failed device).
bool writeFile(FileHandle file, const char* data, std::size_t length);
// Closes the file in any case; false when what was still buffered could not
// be written out.
bool closeFile(FileHandle file);

// The launcher's own private file, written in binary mode: on POSIX it is
// never opened through a symbolic link. Otherwise like openFile(path, "wb").
FileHandle createPrivateFile(const char* path);

// The launcher's own log, opened to append to (openFile(path, "a+")). On
// POSIX never through a symbolic link, and only in a folder that belongs to
// the user and no one else may write to; null otherwise, last error set.
FileHandle appendPrivateFile(const char* path);

// Whether no one but the user and the system can change what path names:
// on POSIX, path and every folder on the way to it belong to the user or
// to root and no one else may write to them, links followed and judged the
// same. Folders above top (path lies below it) may be writable by others
// when sticky, as /tmp is, since no one can then move another's entry.
// When false the trace says which entry failed. Always true on Windows,
// where the stages keep to their own rules (no drive's root) instead.
bool trustedPlace(const char* top, const char* path);

// The short (8.3) form of an existing path (GetShortPathNameW), in the ANSI
// code page exactly, for a name a path list would otherwise cut in two.
// False when there is none, or when the platform has no short names.
bool shortPathName(const char* path, std::string& shortPath);

// A text that is the same for two paths exactly when they name the same
// folder (links followed), so that a scan can tell when a folder link leads
// back to a folder it is already in. Empty when it cannot be told.
std::string folderIdentity(const char* path);

// What a folder entry is. A listing gives it as it finds it, without
// following links; pathType follows them.
enum class EntryType {
  Folder,
  File,     // a regular file
  Link,     // a symbolic link, junction or other reparse point
  Other,    // a pipe, socket, device ...
  Unknown,  // the listing does not say; ask pathType
};

// The type of what path names, links followed (_stat): Folder, File or
// Other; Unknown when its status cannot be read.
EntryType pathType(const char* path);

// One entry of a folder listing.
struct DirectoryEntry {
  // The name to build paths with: the entry's name in the ANSI code page,
  // or its short (8.3) name when the code page cannot hold the long one.
  // Empty when it has neither, since no path can reach it then.
  std::string name;
  // The long name as the ANSI code page shows it, "?" standing for each
  // character it lacks; the same as name when that is the long name. What
  // the entry is called, for rules that go by its name.
  std::string longName;
  EntryType type = EntryType::Unknown;
};

// Directory listing: every entry, "." and ".." included, in the platform's
// order. openDirectory takes a folder path ending in the separator and
// fails (null) for a missing path or one that is not a folder.
DirectoryHandle openDirectory(const char* folder);
bool readDirectory(DirectoryHandle listing, DirectoryEntry& entry);
void closeDirectory(DirectoryHandle listing);

// --- Synchronisation and threads ------------------------------------------

// CreateMutexA with no security attributes. When the name was already
// taken the last error is kErrorAlreadyExists; it is cleared otherwise.
MutexHandle createMutex(const char* name, bool initialOwner);
bool releaseMutex(MutexHandle mutex);
bool closeHandle(MutexHandle handle);
void sleepMilliseconds(unsigned long milliseconds);

using ThreadRoutine = unsigned long (*)(void* parameter);
// CreateThread with default security and stack size, no flags. Returns
// false when no thread could be started.
bool createThread(ThreadRoutine routine, void* parameter);

// --- Dynamic libraries ----------------------------------------------------

LibraryHandle loadLibrary(const char* path);  // LoadLibraryA, null on failure
ProcAddress getProcAddress(LibraryHandle library, const char* name);

// --- User interface -------------------------------------------------------

// A modal box with no owner window and a single OK button (MB_OK); returns
// when the user has dismissed it.
void messageBox(const char* text, const char* caption);

// --- Time -----------------------------------------------------------------

// The current local time as asctime writes it: 24 characters and a line feed.
std::string localTimeText();

// --- Helpers over the calls above -------------------------------------------

// Writes all of text to file as data (writeFile).
inline bool writeText(FileHandle file, const std::string& text) {
  return writeFile(file, text.data(), text.size());
}

}  // namespace platform
